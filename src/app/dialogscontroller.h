#pragma once

#include "main.h"

#include <QObject>

class TForm2;
class TForm5;

// "Настройки" and "Юстировка": the port settings and the calibration of the bench.
class DialogsController : public QObject, private Ui::Form1 {
    Q_OBJECT
public:
    DialogsController(TForm1 &window, const Ui::Form1 &form, TForm2 &portSettings, TForm5 &calibration);

    void sBitBtn3Click();
    void GaugeClick();

private:
    TForm1 &m_window;
    TForm2 *const Form2;
    TForm5 *const Form5;
};
