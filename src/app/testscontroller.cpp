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

TestsController::TestsController(TForm1 &window, LinkController &link, const RatedValues &rated)
    : Timer2(new QTimer(this)), m_window(window), ui(window.forms()), m_link(link), m_rated(rated)
{
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(30000);
    auto guard = [this](void (TestsController::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(ui.IdleState, &QPushButton::clicked, this, guard(&TestsController::IdleStateClick));
    connect(ui.ShortState, &QPushButton::clicked, this, guard(&TestsController::ShortStateClick));
    connect(ui.Transform, &QPushButton::clicked, this, guard(&TestsController::TransformClick));
    connect(ui.TransformGrid, &QTableWidget::cellDoubleClicked, this, guard(&TestsController::TransformGridDblClick));
    connect(ui.Resist, &QPushButton::clicked, this, guard(&TestsController::ResistClick));
    connect(ui.ResistStop, &QPushButton::clicked, this, guard(&TestsController::ResistStopClick));
    // A coarse timer may fire 5 % early; the auto-stop must never cut a measurement short.
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, guard(&TestsController::Timer2Timer));
    connect(ui.RadioGroup3, &RadioGroup::clicked, this, guard(&TestsController::RadioGroup3Click));
    connect(ui.RadioGroup4, &RadioGroup::clicked, this, guard(&TestsController::RadioGroup4Click));
    connect(ui.sButton1, &QPushButton::clicked, this, guard(&TestsController::sButton1Click));
    connect(ui.Button1, &QPushButton::clicked, this, guard(&TestsController::Button1Click));
    connect(ui.Button2, &QPushButton::clicked, this, guard(&TestsController::Button2Click));
    for (QLineEdit *e : {ui.RHigh15, ui.RHigh60, ui.RLow15, ui.RLow60, ui.RHL15, ui.RHL60})
        connect(e, &QLineEdit::textChanged, this, guard(&TestsController::RIEnter));
}

void TestsController::IdleStateClick()
{
    m_link.showPendingReadouts();
    runNoLoadTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, ui.FasNumber->itemIndex() == 0,
                  m_window.results());
}

void TestsController::ShortStateClick()
{
    m_link.showPendingReadouts();
    runShortCircuitTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, ui.FasNumber->itemIndex() == 0,
                        m_window.results());
}

void TestsController::TransformClick()
{
    m_link.showPendingReadouts();
    runRatioTest(m_link.Readings, m_rated, m_link.Scaling.VoltageDigits, ui.RadioGroup1->itemIndex(),
                 ui.FasNumber->itemIndex() == 0, m_window.results());
}

void TestsController::TransformGridDblClick()
{
    clearRatioTap(ui.RadioGroup1->itemIndex(), m_window.results());
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
    if (ui.cbAutoStop->isChecked())
        Timer2->start();
    ui.Resist->setEnabled(false);
    m_link.setResistancePaused(false);
    for (RadioGroup *g : {ui.RadioGroup2, ui.RadioGroup3, ui.RadioGroup4, ui.ResistenceRange1})
        g->setEnabled(false);
    if (const auto cell = m_link.resistanceTarget())
        m_window.results().clear(*cell);
    const auto command = resistanceStartCommand(ui.ResistenceRange1->itemIndex());
    if (!command)
        return;
    sendCommand(m_link, *command);
}

void TestsController::ResistStopClick()
{
    m_link.setResistancePaused(true);
    Timer2->stop();
    for (RadioGroup *g : {ui.RadioGroup2, ui.RadioGroup3, ui.RadioGroup4, ui.ResistenceRange1})
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
    ui.RadioGroup4->setItemIndex(mirroredPairIndex(ui.RadioGroup3->itemIndex()));
}

void TestsController::RadioGroup4Click()
{
    ui.RadioGroup3->setItemIndex(mirroredPairIndex(ui.RadioGroup4->itemIndex()));
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
