#include "main.h"

#include "formlink.h"

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

void TForm1::setupTests()
{
    auto guard = [this](void (TForm1::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(IdleState, &QPushButton::clicked, this, guard(&TForm1::IdleStateClick));
    connect(ShortState, &QPushButton::clicked, this, guard(&TForm1::ShortStateClick));
    connect(Transform, &QPushButton::clicked, this, guard(&TForm1::TransformClick));
    connect(TransformGrid, &QTableWidget::cellDoubleClicked, this, guard(&TForm1::TransformGridDblClick));
    connect(Resist, &QPushButton::clicked, this, guard(&TForm1::ResistClick));
    connect(ResistStop, &QPushButton::clicked, this, guard(&TForm1::ResistStopClick));
    // A coarse timer may fire 5 % early; the auto-stop must never cut a measurement short.
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, guard(&TForm1::Timer2Timer));
    connect(RadioGroup3, &RadioGroup::clicked, this, guard(&TForm1::RadioGroup3Click));
    connect(RadioGroup4, &RadioGroup::clicked, this, guard(&TForm1::RadioGroup4Click));
    connect(sButton1, &QPushButton::clicked, this, guard(&TForm1::sButton1Click));
    connect(Button1, &QPushButton::clicked, this, guard(&TForm1::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guard(&TForm1::Button2Click));
    for (QLineEdit *e : {RHigh15, RHigh60, RLow15, RLow60, RHL15, RHL60})
        connect(e, &QLineEdit::textChanged, this, guard(&TForm1::RIEnter));
}

// A test computes from the latest packet while the readouts may still wait for the screen
// pacer: written first, the screen shows what the result was computed from.
void TForm1::showPendingReadouts()
{
    if (Link->hasPending)
        writeLinkScreen();
}

void TForm1::IdleStateClick()
{
    showPendingReadouts();
    WindowSink sink(this);
    runNoLoadTest(Readings, Rated, Scaling.CurrentDigits, FasNumber->itemIndex() == 0, sink);
}

void TForm1::ShortStateClick()
{
    showPendingReadouts();
    WindowSink sink(this);
    runShortCircuitTest(Readings, Rated, Scaling.CurrentDigits, FasNumber->itemIndex() == 0, sink);
}

void TForm1::TransformClick()
{
    showPendingReadouts();
    WindowSink sink(this);
    runRatioTest(Readings, Rated, Scaling.VoltageDigits, RadioGroup1->itemIndex(),
                 FasNumber->itemIndex() == 0, sink);
}

void TForm1::TransformGridDblClick()
{
    WindowSink sink(this);
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

void TForm1::ResistClick()
{
    Timer1->stop();
    if (cbAutoStop->isChecked())
        Timer2->start();
    Resist->setEnabled(false);
    setResistancePaused(false);
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(false);
    ResistenceGrid->setCell(RadioGroup2->itemIndex(), RadioGroup3->itemIndex(), QString());
    const auto command = resistanceStartCommand(ResistenceRange1->itemIndex());
    if (!command)
        return;
    sendCommand(VaComm1, *command);
}

void TForm1::ResistStopClick()
{
    setResistancePaused(true);
    Timer2->stop();
    for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
        g->setEnabled(true);
    sendCommand(VaComm1, resistanceStopCommand());
}

void TForm1::Timer2Timer()
{
    Timer2->stop();
    ResistStopClick();
}

void TForm1::RadioGroup3Click()
{
    RadioGroup4->setItemIndex(mirroredPairIndex(RadioGroup3->itemIndex()));
}

void TForm1::RadioGroup4Click()
{
    RadioGroup3->setItemIndex(mirroredPairIndex(RadioGroup4->itemIndex()));
}

void TForm1::sButton1Click()
{
    WindowSink sink(this);
    computeImbalances([this](int column, int row) { return ResistenceGrid->cell(column, row); },
                      QLocale::system(), sink);
}

void TForm1::Button1Click()
{
    const QByteArray bytes = serviceCommandCC();
    VaComm1->SendBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

void TForm1::Button2Click()
{
    const QByteArray bytes = serviceCommandB5();
    VaComm1->SendBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

void TForm1::RIEnter()
{
    WindowSink sink(this);
    computeAbsorptionCoefficients({RHigh15->text(), RHigh60->text(), RLow15->text(), RLow60->text(),
                                   RHL15->text(), RHL60->text()},
                                  sink);
}
