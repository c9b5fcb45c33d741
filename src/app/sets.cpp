#include "sets.h"
#include "ui_portsettings.h"

#include "bencherror.h"
#include "controls.h"
#include "errorreport.h"

namespace {

// The speed as a whole number: optional sign and decimal digits, blanks around them
// tolerated, and it must fit an int. A speed of 0 or below would be stored and make
// every later opening of the port fail, so it is refused here, where it was typed.
int speedOf(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw BenchError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (value <= 0)
        throw BenchError(QStringLiteral("Скорость '%1' недопустима: она должна быть больше нуля.").arg(text));
    return value;
}

} // namespace

TForm2::TForm2(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::PortSettingsForm>())
{
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    setBackgroundColour(this, WindowColour);
    ui->setupUi(this);
    setFixedSize(size());
    // The dialog answers to its buttons only; Enter in a field must not press "OK" behind
    // the operator's back.
    connect(ui->sButton1, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton1Click(); }); });
    connect(ui->sButton2, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton2Click(); }); });
}

TForm2::~TForm2() = default;

void TForm2::showSettings(const PortSettings &settings)
{
    ui->ComNum->setValue(settings.portNum);
    ui->sEdit1->setText(QString::number(settings.userBaudrate));
}

PortSettings TForm2::chosenSettings()
{
    ui->ComNum->interpretText();
    PortSettings settings;
    settings.portNum = ui->ComNum->value();
    settings.userBaudrate = speedOf(ui->sEdit1->text());
    return settings;
}

// A refused speed keeps the dialog open with nothing taken.
void TForm2::sButton1Click()
{
    emit settingsChosen(chosenSettings());
}

void TForm2::sButton2Click()
{
    hide();
}
