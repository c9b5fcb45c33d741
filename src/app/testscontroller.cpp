#include "testscontroller.h"

#include "linkcontroller.h"

#include "bencherror.h"
#include "controls.h"
#include "errorreport.h"
#include "insulationtest.h"
#include "noloadtest.h"
#include "ratiotest.h"
#include "resistancetest.h"
#include "resultrecord.h"
#include "shortcircuittest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TestsController::TestsController(TForm1 &window, LinkController &link, const RatedValues &rated, const Ui::PageMain &main, const Ui::PageIdle &idle,
                                 const Ui::PageChort &shortCircuit, const Ui::PageTransformations &ratio,
                                 const Ui::PageResistence &resistance, const Ui::PageProtocol &protocol)
    : Ui::PageMain(main), Ui::PageTransformations(ratio), Ui::PageResistence(resistance),
      Ui::PageProtocol(protocol), Timer2(new QTimer(this)), m_window(window), m_link(link), m_rated(rated)
{
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(30000);
    auto guard = [this](void (TestsController::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(idle.IdleState, &QPushButton::clicked, this, guard(&TestsController::IdleStateClick));
    connect(shortCircuit.ShortState, &QPushButton::clicked, this, guard(&TestsController::ShortStateClick));
    connect(Transform, &QPushButton::clicked, this, guard(&TestsController::TransformClick));
    connect(TransformGrid, &QTableWidget::cellDoubleClicked, this, guard(&TestsController::TransformGridDblClick));
    connect(Resist, &QPushButton::clicked, this, guard(&TestsController::ResistClick));
    connect(ResistStop, &QPushButton::clicked, this, guard(&TestsController::ResistStopClick));
    // A coarse timer may fire 5 % early; the auto-stop must never cut a measurement short.
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, guard(&TestsController::Timer2Timer));
    connect(RadioGroup3, &RadioGroup::clicked, this, guard(&TestsController::RadioGroup3Click));
    connect(RadioGroup4, &RadioGroup::clicked, this, guard(&TestsController::RadioGroup4Click));
    connect(sButton1, &QPushButton::clicked, this, guard(&TestsController::sButton1Click));
    connect(Button1, &QPushButton::clicked, this, guard(&TestsController::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guard(&TestsController::Button2Click));
    for (QLineEdit *e : {RHigh15, RHigh60, RLow15, RLow60, RHL15, RHL60})
        connect(e, &QLineEdit::textChanged, this, guard(&TestsController::RIEnter));
}

void TestsController::IdleStateClick()
{
    m_link.showPendingReadouts();
    runNoLoadTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, FasNumber->itemIndex() == 0,
                  m_window.results());
}

void TestsController::ShortStateClick()
{
    m_link.showPendingReadouts();
    runShortCircuitTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, FasNumber->itemIndex() == 0,
                        m_window.results());
}

void TestsController::TransformClick()
{
    m_link.showPendingReadouts();
    runRatioTest(m_link.Readings, m_rated, m_link.Scaling.VoltageDigits, RadioGroup1->itemIndex(),
                 FasNumber->itemIndex() == 0, m_window.results());
}

void TestsController::TransformGridDblClick()
{
    clearRatioTap(RadioGroup1->itemIndex(), m_window.results());
}

namespace {
void sendCommand(LinkController &link, const ResistanceCommand &command)
{
    link.sendCommand(std::uint8_t(command.lead),
                     {reinterpret_cast<const std::uint8_t *>(command.tail.constData()), std::size_t(command.tail.size())});
}
} // namespace

void TestsController::ResistClick()
{
    m_link.stopWatchdog();
    if (cbAutoStop->isChecked())
        Timer2->start();
    Resist->setEnabled(false);
    m_link.setResistancePaused(false);
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(false);
    if (const auto cell = m_link.resistanceTarget())
        m_window.results().clear(*cell);
    const auto command = resistanceStartCommand(ResistenceRange1->itemIndex());
    if (!command)
        return;
    sendCommand(m_link, *command);
}

void TestsController::ResistStopClick()
{
    m_link.setResistancePaused(true);
    Timer2->stop();
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(true);
    sendCommand(m_link, resistanceStopCommand());
}

void TestsController::Timer2Timer()
{
    Timer2->stop();
    ResistStopClick();
}

void TestsController::RadioGroup3Click()
{
    RadioGroup4->setItemIndex(mirroredPairIndex(RadioGroup3->itemIndex()));
}

void TestsController::RadioGroup4Click()
{
    RadioGroup3->setItemIndex(mirroredPairIndex(RadioGroup4->itemIndex()));
}

void TestsController::sButton1Click()
{
    const ResultRecord &results = m_window.results();
    computeImbalances([&results](int column, int row) { return results.text(Results::resistance(column, row)); },
                      QLocale::system(), m_window.results());
}

void TestsController::Button1Click()
{
    m_link.send(serviceCommandCC());
}

void TestsController::Button2Click()
{
    m_link.send(serviceCommandB5());
}

void TestsController::RIEnter()
{
    using enum ResultId;
    ResultRecord &results = m_window.results();
    computeAbsorptionCoefficients({results.text(RHigh15), results.text(RHigh60), results.text(RLow15),
                                   results.text(RLow60), results.text(RHL15), results.text(RHL60)},
                                  results);
}
