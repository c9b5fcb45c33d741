#pragma once

#include "main.h"

#include <QObject>

class TForm3;

// "Протокол": the window's texts and tables filled into the protocol document, which
// then shows its preview.
class ProtocolController : public QObject,
                           private Ui::PageMain,
                           private Ui::PageTransformations,
                           private Ui::PageResistence,
                           private Ui::PageProtocol {
    Q_OBJECT
public:
    ProtocolController(const TForm1 &window, const Ui::PageMain &main,
                       const Ui::PageTransformations &ratio, const Ui::PageResistence &resistance,
                       const Ui::PageProtocol &protocol, TForm3 &document);

    void PreviwClick();

private:
    const TForm1 &m_window;
    TForm3 *const Form3;
};
