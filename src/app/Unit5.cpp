#include "Unit5.h"

#include "bencherror.h"
#include "calibrationframe.h"
#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"
#include "serialchannel.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>

namespace {

QFrame *makeGroup(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(x, y, w, h);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QCheckBox *makeCheckBox(QWidget *parent, const char *name, int x, int y, int w)
{
    auto *c = new QCheckBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(x, y, w, 17);
    return c;
}

QLineEdit *makeEdit(QWidget *parent, const char *name, int x, int y, const QString &text)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, 81, 21);
    return e;
}

QLabel *makeUnit(QWidget *parent, const char *name, int x, int y)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, 50, 16);
    return l;
}

RadioGroup *makeRadioGroup(QWidget *parent, const char *name, int x, int y, int w, int h,
                           const QStringList &items, int columns)
{
    auto *g = new RadioGroup(QString(), items, columns, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(x, y, w, h);
    g->setItemIndex(0);
    return g;
}

} // namespace

TForm5::TForm5(SerialChannel *channel, ModalRunner modalRunner, QWidget *parent)
    : QDialog(parent), m_channel(channel), m_modalRunner(std::move(modalRunner))
{
    setObjectName(QStringLiteral("Form5"));
    setModal(true);
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    QPalette p = palette();
    p.setColor(QPalette::Window, WindowColour);
    setPalette(p);
    setAutoFillBackground(true);
    setFixedSize(281, 315);

    VoltageGroupBox = makeGroup(this, "VoltageGroupBox", 8, 8, 265, 73);
    VoltageCheckBox = makeCheckBox(VoltageGroupBox, "VoltageCheckBox", 8, 6, 120);
    VoltageRadioGroup = makeRadioGroup(VoltageGroupBox, "VoltageRadioGroup", 8, 28, 108, 37,
                                       {QStringLiteral("400"), QStringLiteral("100")}, 2);
    VoltageEdit = makeEdit(VoltageGroupBox, "VoltageEdit", 120, 38, QStringLiteral("400"));
    VoltageLabel = makeUnit(VoltageGroupBox, "VoltageLabel", 208, 41);

    CurrentGroupBox = makeGroup(this, "CurrentGroupBox", 8, 88, 265, 61);
    CurrentCheckBox = makeCheckBox(CurrentGroupBox, "CurrentCheckBox", 8, 6, 120);
    CurrentEdit = makeEdit(CurrentGroupBox, "CurrentEdit", 120, 30, QStringLiteral("5"));
    CurrentLabel = makeUnit(CurrentGroupBox, "CurrentLabel", 208, 33);

    ResistenceGroupBox = makeGroup(this, "ResistenceGroupBox", 8, 156, 265, 103);
    ResistenceCheckBox = makeCheckBox(ResistenceGroupBox, "ResistenceCheckBox", 8, 6, 120);
    ResistenceRadioGroup = makeRadioGroup(
        ResistenceGroupBox, "ResistenceRadioGroup", 8, 28, 108, 67,
        {QStringLiteral("200"), QStringLiteral("20"), QStringLiteral("2"), QStringLiteral("0.2"),
         QStringLiteral("0.01")},
        2);
    ResistenceEdit = makeEdit(ResistenceGroupBox, "ResistenceEdit", 120, 51, QStringLiteral("200"));
    ResistenceLabel = makeUnit(ResistenceGroupBox, "ResistenceLabel", 208, 54);

    GaugeButton = new QPushButton(this);
    GaugeButton->setObjectName(QStringLiteral("GaugeButton"));
    GaugeButton->setGeometry(8, 266, 265, 27);
    GaugeButton->setAutoDefault(false);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setGeometry(0, 297, 281, 18);

    for (QCheckBox *box : {VoltageCheckBox, CurrentCheckBox, ResistenceCheckBox})
        connect(box, &QCheckBox::clicked, this, [this] { runGuarded([this] { VoltageCheckBoxClick(); }); });
    connect(ResistenceRadioGroup, &RadioGroup::clicked, this,
            [this] { runGuarded([this] { ResistenceRadioGroupClick(); }); });
    connect(GaugeButton, &QPushButton::clicked, this, [this] { runGuarded([this] { GaugeButtonClick(); }); });

    FormCreate();
}

void TForm5::FormCreate()
{
    setWindowTitle(QStringLiteral("Юстировка стенда"));
    VoltageCheckBox->setText(QStringLiteral("Напряжение"));
    VoltageLabel->setText(QStringLiteral("Вольт"));
    CurrentCheckBox->setText(QStringLiteral("Ток"));
    CurrentLabel->setText(QStringLiteral("Ампер"));
    ResistenceCheckBox->setText(QStringLiteral("Сопротивление"));
    ResistenceLabel->setText(QStringLiteral("Ом"));
    GaugeButton->setText(QStringLiteral("Юстировать"));
}

void TForm5::ShowModal()
{
    if (m_modalRunner)
        m_modalRunner(*this);
    else
        exec();
}

// The dialog is modal, so within the program it becomes the active window only by being
// shown. Coming back to it from its own message box or from another program must not
// drop the quantity the operator has ticked.
void TForm5::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        runGuarded([this] { FormActivate(); });
}

void TForm5::FormActivate()
{
    for (QCheckBox *box : {VoltageCheckBox, CurrentCheckBox, ResistenceCheckBox})
        box->setChecked(false);
    VoltageCheckBoxClick();
    ResistenceRadioGroupClick();
}

// One quantity at a time: a ticked box locks the other two until it is unticked.
void TForm5::VoltageCheckBoxClick()
{
    const bool voltage = VoltageCheckBox->isChecked();
    const bool current = CurrentCheckBox->isChecked();
    const bool resistance = ResistenceCheckBox->isChecked();
    if (voltage) {
        CurrentCheckBox->setEnabled(false);
        ResistenceCheckBox->setEnabled(false);
    }
    if (current) {
        VoltageCheckBox->setEnabled(false);
        ResistenceCheckBox->setEnabled(false);
    }
    if (resistance) {
        CurrentCheckBox->setEnabled(false);
        VoltageCheckBox->setEnabled(false);
    }
    for (QWidget *w : {static_cast<QWidget *>(VoltageRadioGroup), static_cast<QWidget *>(VoltageEdit),
                       static_cast<QWidget *>(VoltageLabel)})
        w->setEnabled(voltage);
    CurrentEdit->setEnabled(current);
    CurrentLabel->setEnabled(current);
    for (QWidget *w : {static_cast<QWidget *>(ResistenceRadioGroup), static_cast<QWidget *>(ResistenceEdit),
                       static_cast<QWidget *>(ResistenceLabel)})
        w->setEnabled(resistance);
    if (!voltage && !current && !resistance) {
        GaugeButton->setEnabled(false);
        for (QCheckBox *box : {VoltageCheckBox, CurrentCheckBox, ResistenceCheckBox})
            box->setEnabled(true);
    } else {
        GaugeButton->setEnabled(true);
    }
}

void TForm5::ResistenceRadioGroupClick()
{
    const int item = ResistenceRadioGroup->itemIndex();
    if (item >= 0)
        ResistenceEdit->setText(ResistenceRadioGroup->items().at(item));
}

// A reference that is not a number is refused rather than sent: the bench would take
// whatever arrived as its new calibration.
void TForm5::GaugeButtonClick()
{
    CalibrationQuantity quantity = CalibrationQuantity::Voltage;
    int item = 0;
    QLineEdit *edit = nullptr;
    if (VoltageCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Voltage;
        item = VoltageRadioGroup->itemIndex();
        edit = VoltageEdit;
    } else if (CurrentCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Current;
        edit = CurrentEdit;
    } else if (ResistenceCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Resistance;
        item = ResistenceRadioGroup->itemIndex();
        edit = ResistenceEdit;
    } else {
        return;
    }

    const CalibrationBuild build = buildCalibrationFrame(quantity, item, edit->text());
    switch (build.outcome) {
    case CalibrationBuild::Outcome::Ready:
        break;
    case CalibrationBuild::Outcome::NotANumber:
        Prompts::current().showMessage(this, InputErrorCaption,
                                       notANumberMessage(edit->text(), EntryField::Plain),
                                       PromptIcon::Error);
        edit->setFocus();
        edit->selectAll();
        return;
    case CalibrationBuild::Outcome::Overflow:
        throw BenchError(QStringLiteral("Floating point overflow"));
    case CalibrationBuild::Outcome::Underflow:
        throw BenchError(QStringLiteral("Floating point underflow"));
    case CalibrationBuild::Outcome::NoChannel:
        return;
    }

    sendPausedCommand(*m_channel, build.frame[0], build.frame.data() + 1, int(build.frame.size()) - 1);
}
