#pragma once

#include "main.h"
#include "ratedvalues.h"

class LinkController;

#include <QObject>
#include <QTimer>

// The bench tests: no-load, short-circuit, ratio and winding resistance with its
// auto-stop, and the insulation's absorption coefficients. Each handler computes from the
// readings the link keeps and writes its texts through the window's name table.
class TestsController : public QObject {
    Q_OBJECT
public:
    TestsController(TForm1 &window, LinkController &link, const RatedValues &rated);

    QTimer *const Timer2; // resistance auto-stop, 30000 ms

    void IdleStateClick();
    void ShortStateClick();
    void TransformClick();
    void TransformGridDblClick();
    void ResistClick();
    void ResistStopClick();
    void Timer2Timer();
    void RadioGroup3Click();
    void RadioGroup4Click();
    void sButton1Click();
    void Button1Click();
    void Button2Click();
    void RIEnter();

private:
    TForm1 &m_window;
    const MainForms &ui;
    LinkController &m_link;
    const RatedValues &m_rated;
};
