#include "testscontroller.h"

#include "linkcontroller.h"

#include "bencherror.h"
#include "controls.h"
#include "errorreport.h"
#include "fieldsink.h"
#include "insulationtest.h"
#include "noloadtest.h"
#include "ratiotest.h"
#include "resistancetest.h"
#include "serialchannel.h"
#include "shortcircuittest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// Writes the calculations' texts straight into the controls of the same name, so a
// step that fails leaves the fields written before it showing their new texts.
class WindowSink : public FieldSink {
public:
    explicit WindowSink(const TForm1 *window) : m_window(window) {}

    void setText(const QString &field, const QString &text) override
    {
        QWidget *w = m_window->control(field);
        if (auto *label = qobject_cast<QLabel *>(w))
            label->setText(text);
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->setText(text);
        else
            throw BenchError(QStringLiteral("Нет поля ") + field);
    }

    void setCell(const QString &grid, int column, int row, const QString &text) override
    {
        StringGrid *g = m_window->grid(grid);
        if (!g)
            throw BenchError(QStringLiteral("Нет таблицы ") + grid);
        g->setCell(column, row, text);
    }

private:
    const TForm1 *m_window;
};

} // namespace

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
    WindowSink sink(&m_window);
    runNoLoadTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, FasNumber->itemIndex() == 0, sink);
}

void TestsController::ShortStateClick()
{
    m_link.showPendingReadouts();
    WindowSink sink(&m_window);
    runShortCircuitTest(m_link.Readings, m_rated, m_link.Scaling.CurrentDigits, FasNumber->itemIndex() == 0, sink);
}

void TestsController::TransformClick()
{
    m_link.showPendingReadouts();
    WindowSink sink(&m_window);
    runRatioTest(m_link.Readings, m_rated, m_link.Scaling.VoltageDigits, RadioGroup1->itemIndex(),
                 FasNumber->itemIndex() == 0, sink);
}

void TestsController::TransformGridDblClick()
{
    WindowSink sink(&m_window);
    clearRatioTap(RadioGroup1->itemIndex(), sink);
}

namespace {
void sendCommand(SerialChannel *channel, const ResistanceCommand &command)
{
    sendPausedCommand(*channel, std::uint8_t(command.lead),
                      reinterpret_cast<const std::uint8_t *>(command.tail.constData()),
                      int(command.tail.size()));
}
} // namespace

void TestsController::ResistClick()
{
    m_link.Timer1->stop();
    if (cbAutoStop->isChecked())
        Timer2->start();
    Resist->setEnabled(false);
    m_link.setResistancePaused(false);
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(false);
    ResistenceGrid->setCell(RadioGroup2->itemIndex(), RadioGroup3->itemIndex(), QString());
    const auto command = resistanceStartCommand(ResistenceRange1->itemIndex());
    if (!command)
        return;
    sendCommand(m_link.VaComm1, *command);
}

void TestsController::ResistStopClick()
{
    m_link.setResistancePaused(true);
    Timer2->stop();
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(true);
    sendCommand(m_link.VaComm1, resistanceStopCommand());
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
    WindowSink sink(&m_window);
    computeImbalances([this](int column, int row) { return ResistenceGrid->cell(column, row); },
                      QLocale::system(), sink);
}

void TestsController::Button1Click()
{
    const QByteArray bytes = serviceCommandCC();
    m_link.VaComm1->SendBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

void TestsController::Button2Click()
{
    const QByteArray bytes = serviceCommandB5();
    m_link.VaComm1->SendBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

void TestsController::RIEnter()
{
    WindowSink sink(&m_window);
    computeAbsorptionCoefficients({RHigh15->text(), RHigh60->text(), RLow15->text(), RLow60->text(),
                                   RHL15->text(), RHL60->text()},
                                  sink);
}
