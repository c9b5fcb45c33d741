#include "Unit5.h"
#include "ui_calibration.h"

#include "bencherror.h"
#include "calibrationframe.h"
#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"
#include "linkcontroller.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>

TForm5::TForm5(LinkController &link, ModalRunner modalRunner, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::CalibrationForm>()), m_link(link),
      m_modalRunner(std::move(modalRunner))
{
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    setBackgroundColour(this, WindowColour);
    ui->setupUi(this);
    setFixedSize(size());

    for (QCheckBox *box : {ui->VoltageCheckBox, ui->CurrentCheckBox, ui->ResistenceCheckBox})
        connect(box, &QCheckBox::clicked, this, [this] { runGuarded([this] { VoltageCheckBoxClick(); }); });
    connect(ui->ResistenceRadioGroup, &RadioGroup::clicked, this,
            [this] { runGuarded([this] { ResistenceRadioGroupClick(); }); });
    connect(ui->GaugeButton, &QPushButton::clicked, this, [this] { runGuarded([this] { GaugeButtonClick(); }); });
}

TForm5::~TForm5() = default;

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
    for (QCheckBox *box : {ui->VoltageCheckBox, ui->CurrentCheckBox, ui->ResistenceCheckBox})
        box->setChecked(false);
    VoltageCheckBoxClick();
    ResistenceRadioGroupClick();
}

// One quantity at a time: a ticked box locks the other two until it is unticked.
void TForm5::VoltageCheckBoxClick()
{
    const bool voltage = ui->VoltageCheckBox->isChecked();
    const bool current = ui->CurrentCheckBox->isChecked();
    const bool resistance = ui->ResistenceCheckBox->isChecked();
    if (voltage) {
        ui->CurrentCheckBox->setEnabled(false);
        ui->ResistenceCheckBox->setEnabled(false);
    }
    if (current) {
        ui->VoltageCheckBox->setEnabled(false);
        ui->ResistenceCheckBox->setEnabled(false);
    }
    if (resistance) {
        ui->CurrentCheckBox->setEnabled(false);
        ui->VoltageCheckBox->setEnabled(false);
    }
    for (QWidget *w : {static_cast<QWidget *>(ui->VoltageRadioGroup), static_cast<QWidget *>(ui->VoltageEdit),
                       static_cast<QWidget *>(ui->VoltageLabel)})
        w->setEnabled(voltage);
    ui->CurrentEdit->setEnabled(current);
    ui->CurrentLabel->setEnabled(current);
    for (QWidget *w : {static_cast<QWidget *>(ui->ResistenceRadioGroup), static_cast<QWidget *>(ui->ResistenceEdit),
                       static_cast<QWidget *>(ui->ResistenceLabel)})
        w->setEnabled(resistance);
    if (!voltage && !current && !resistance) {
        ui->GaugeButton->setEnabled(false);
        for (QCheckBox *box : {ui->VoltageCheckBox, ui->CurrentCheckBox, ui->ResistenceCheckBox})
            box->setEnabled(true);
    } else {
        ui->GaugeButton->setEnabled(true);
    }
}

void TForm5::ResistenceRadioGroupClick()
{
    const int item = ui->ResistenceRadioGroup->itemIndex();
    if (item >= 0)
        ui->ResistenceEdit->setText(ui->ResistenceRadioGroup->items().at(item));
}

// A reference that is not a number is refused rather than sent: the bench would take
// whatever arrived as its new calibration.
void TForm5::GaugeButtonClick()
{
    CalibrationQuantity quantity = CalibrationQuantity::Voltage;
    int item = 0;
    QLineEdit *edit = nullptr;
    if (ui->VoltageCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Voltage;
        item = ui->VoltageRadioGroup->itemIndex();
        edit = ui->VoltageEdit;
    } else if (ui->CurrentCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Current;
        edit = ui->CurrentEdit;
    } else if (ui->ResistenceCheckBox->isChecked()) {
        quantity = CalibrationQuantity::Resistance;
        item = ui->ResistenceRadioGroup->itemIndex();
        edit = ui->ResistenceEdit;
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

    m_link.sendCommand(build.frame[0], std::span<const std::uint8_t>(build.frame).subspan(1));
}
