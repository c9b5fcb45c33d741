#pragma once

#include "main.h"

#include <QObject>

class TForm3;

// "Протокол": the window's texts and tables filled into the protocol document, which
// then shows its preview.
class ProtocolController : public QObject {
    Q_OBJECT
public:
    ProtocolController(const TForm1 &window, TForm3 &document);

    void PreviwClick();

private:
    const TForm1 &m_window;
    const MainForms &ui;
    TForm3 *const Form3;
};
