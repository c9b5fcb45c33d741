#pragma once

#include "main.h"
#include "settingsfile.h"

#include <QObject>

class LinkController;
class TForm2;
class TForm5;

// "Настройки" and "Юстировка": the port settings and the calibration of the bench.
class DialogsController : public QObject, private Ui::Form1 {
    Q_OBJECT
public:
    DialogsController(LinkController &link, const Ui::Form1 &form, TForm2 &portSettings, TForm5 &calibration);

    void sBitBtn3Click();
    void GaugeClick();
    void portSettingsChosen(const PortSettings &settings);

private:
    LinkController &m_link;
    TForm2 *const Form2;
    TForm5 *const Form5;
};
