#include "aboutwindow.h"

#include "programversion.h"
#include "protocolarchive.h"
#include "recordslocation.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString AboutWindow::Caption = QStringLiteral("О программе");

namespace {

QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

AboutWindow::AboutWindow(ProtocolArchive &archive, QWidget *parent)
    : QDialog(parent), versionLabel(valueLabel(QStringLiteral("AboutVersion"), this)),
      qtLabel(valueLabel(QStringLiteral("AboutQt"), this)),
      recordsLabel(valueLabel(QStringLiteral("AboutRecords"), this)),
      archiveLabel(valueLabel(QStringLiteral("AboutArchive"), this)),
      waitingLabel(valueLabel(QStringLiteral("AboutWaiting"), this)), licence(new QPlainTextEdit(this)),
      m_archive(archive)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(Caption);
    resize(560, 470);

    auto *title = new QLabel(QStringLiteral("Стенд испытания трансформаторов"), this);
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto *purpose = new QLabel(QStringLiteral("Программа стенда испытания силовых трансформаторов: "
                                              "опыты холостого хода и короткого замыкания, коэффициент "
                                              "трансформации, сопротивление обмоток, протокол испытаний и его архив."),
                               this);
    purpose->setWordWrap(true);

    versionLabel->setText(QStringLiteral("%1, коммит %2").arg(programVersionNumber(), programCommit()));
    // The libraries it runs with may be newer than those it was built with.
    const QString runtimeQt = QString::fromLatin1(qVersion());
    qtLabel->setText(runtimeQt == QLatin1String(QT_VERSION_STR)
                         ? runtimeQt
                         : QStringLiteral("%1 (собрана с %2)").arg(runtimeQt, QLatin1String(QT_VERSION_STR)));
    recordsLabel->setText(QDir::toNativeSeparators(recordsDirectory()));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Версия:"), versionLabel);
    form->addRow(QStringLiteral("Qt:"), qtLabel);
    form->addRow(QStringLiteral("Папка записей:"), recordsLabel);
    form->addRow(QStringLiteral("Архив протоколов:"), archiveLabel);
    form->addRow(QStringLiteral("Ожидают отправки:"), waitingLabel);

    licence->setObjectName(QStringLiteral("AboutLicence"));
    licence->setReadOnly(true);
    licence->setPlainText(licenceText());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(purpose);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Условия распространения:"), this));
    layout->addWidget(licence, 1);
    layout->addWidget(buttons);

    showArchive();
    connect(&m_archive, &ProtocolArchive::waitingChanged, this, &AboutWindow::showArchive);
}

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
    archiveLabel->setText((server ? QStringLiteral("сервер %1") : QStringLiteral("файл %1"))
                              .arg(m_archive.settings().description()));
    if (!server) {
        waitingLabel->setText(QStringLiteral("нет: архив в файле, протоколы записываются сразу"));
        return;
    }
    QString waiting = QString::number(m_archive.waitingCount());
    if (!m_archive.waitingProblem().isEmpty())
        waiting += QStringLiteral(" (сервер не принимает: %1)").arg(m_archive.waitingProblem());
    waitingLabel->setText(waiting);
}
