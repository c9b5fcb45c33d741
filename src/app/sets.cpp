#include "sets.h"

#include "bencherror.h"
#include "controls.h"
#include "errorreport.h"
#include "serialchannel.h"
#include "settingsfile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

#include <limits>

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

TForm2::TForm2(SerialChannel *channel, QWidget *parent) : QDialog(parent), m_channel(channel)
{
    setObjectName(QStringLiteral("Form2"));
    setModal(false);
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    QPalette p = palette();
    p.setColor(QPalette::Window, WindowColour);
    setPalette(p);
    setAutoFillBackground(true);
    setFixedSize(233, 81);

    sLabel1 = new QLabel(this);
    sLabel1->setObjectName(QStringLiteral("sLabel1"));
    sLabel1->setGeometry(8, 14, 40, 16);
    sLabel3 = new QLabel(QStringLiteral("COM"), this);
    sLabel3->setObjectName(QStringLiteral("sLabel3"));
    sLabel3->setGeometry(56, 14, 28, 16);
    ComNum = new QSpinBox(this);
    ComNum->setObjectName(QStringLiteral("ComNum"));
    ComNum->setGeometry(84, 10, 57, 22);
    ComNum->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    ComNum->setSingleStep(1);
    sButton1 = new QPushButton(this);
    sButton1->setObjectName(QStringLiteral("sButton1"));
    sButton1->setGeometry(150, 8, 75, 25);

    sLabel2 = new QLabel(this);
    sLabel2->setObjectName(QStringLiteral("sLabel2"));
    sLabel2->setGeometry(8, 50, 48, 16);
    sEdit1 = new QLineEdit(this);
    sEdit1->setObjectName(QStringLiteral("sEdit1"));
    sEdit1->setGeometry(62, 47, 79, 21);
    sButton2 = new QPushButton(this);
    sButton2->setObjectName(QStringLiteral("sButton2"));
    sButton2->setGeometry(150, 45, 75, 25);

    // The dialog answers to its buttons only; Enter in a field must not press "OK" behind
    // the operator's back.
    sButton1->setAutoDefault(false);
    sButton2->setAutoDefault(false);
    connect(sButton1, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton1Click(); }); });
    connect(sButton2, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton2Click(); }); });

    FormCreate();
}

void TForm2::FormCreate()
{
    setWindowTitle(QStringLiteral("Настройки порта"));
    sLabel1->setText(QStringLiteral("Порт"));
    sLabel2->setText(QStringLiteral("Скорость"));
    sButton1->setText(QStringLiteral("OK"));
    sButton2->setText(QStringLiteral("Отмена"));
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        runGuarded([this] { FormShow(); });
}

void TForm2::FormShow()
{
    ComNum->setValue(m_channel->PortNum());
    sEdit1->setText(QString::number(m_channel->UserBaudrate()));
}

// The port is left closed: the next measuring page, or the watchdog if it runs, opens it
// with the new settings.
void TForm2::sButton1Click()
{
    SerialChannel *channel = m_channel;
    channel->ClosePort();
    ComNum->interpretText();
    channel->setPortNum(ComNum->value());
    channel->setUserBaudrate(speedOf(sEdit1->text()));
    SettingsFile::writePort(channel->PortNum(), channel->UserBaudrate());
    hide();
}

void TForm2::sButton2Click()
{
    hide();
}
