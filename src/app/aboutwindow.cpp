#include "aboutwindow.h"

#include "programversion.h"
#include "protocolarchive.h"
#include "recordslocation.h"

#include "ui_aboutwindow.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

const QString AboutWindow::Caption = QStringLiteral("О программе");

AboutWindow::AboutWindow(ProtocolArchive &archive, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutWindow>()), m_archive(archive)
{
    ui->setupUi(this);
    // Larger than the font the program runs with, whichever that is.
    QFont titleFont = ui->AboutTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 4);
    titleFont.setBold(true);
    ui->AboutTitle->setFont(titleFont);

    ui->AboutVersion->setText(QStringLiteral("%1, коммит %2").arg(programVersionNumber(), programCommit()));
    // The libraries it runs with may be newer than those it was built with.
    const QString runtimeQt = QString::fromLatin1(qVersion());
    ui->AboutQt->setText(runtimeQt == QLatin1String(QT_VERSION_STR)
                             ? runtimeQt
                             : QStringLiteral("%1 (собрана с %2)").arg(runtimeQt, QLatin1String(QT_VERSION_STR)));
    ui->AboutRecords->setText(QDir::toNativeSeparators(recordsDirectory()));
    ui->AboutLicence->setPlainText(licenceText());

    ui->AboutButtons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(ui->AboutButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    showArchive();
    connect(&m_archive, &ProtocolArchive::waitingChanged, this, &AboutWindow::showArchive);
}

AboutWindow::~AboutWindow() = default;

QString AboutWindow::licenceText()
{
    QFile file(QStringLiteral(":/about/copyright"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void AboutWindow::showArchive()
{
    const bool server = m_archive.settings().isServer();
    ui->AboutArchive->setText((server ? QStringLiteral("сервер %1") : QStringLiteral("файл %1"))
                              .arg(m_archive.settings().description()));
    if (!server) {
        ui->AboutWaiting->setText(QStringLiteral("нет: архив в файле, протоколы записываются сразу"));
        return;
    }
    QString waiting = QString::number(m_archive.waitingCount());
    if (!m_archive.waitingProblem().isEmpty())
        waiting += QStringLiteral(" (сервер не принимает: %1)").arg(m_archive.waitingProblem());
    ui->AboutWaiting->setText(waiting);
}
