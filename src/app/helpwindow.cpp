#include "helpwindow.h"

#include "aboutwindow.h"
#include "controls.h"

#include "ui_helpwindow.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>

const QString HelpWindow::Caption = QStringLiteral("Руководство оператора");
const QString HelpWindow::ManualUrl = QStringLiteral("qrc:/manual/manual.html");

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::HelpWindow>())
{
    ui->setupUi(this);
    connect(ui->HelpBrowser, &QTextBrowser::backwardAvailable, ui->HelpBack, &QPushButton::setEnabled);
    connect(ui->HelpBrowser, &QTextBrowser::forwardAvailable, ui->HelpForward, &QPushButton::setEnabled);
    connect(ui->HelpBack, &QPushButton::clicked, ui->HelpBrowser, &QTextBrowser::backward);
    connect(ui->HelpForward, &QPushButton::clicked, ui->HelpBrowser, &QTextBrowser::forward);
    connect(ui->HelpContents, &QPushButton::clicked, this, [this] { showSection(QStringLiteral("contents")); });
    connect(ui->AboutButton, &QPushButton::clicked, this, &HelpWindow::aboutRequested);
}

HelpWindow::~HelpWindow() = default;

// A key event, not a shortcut: a window's shortcut would take Esc from the window
// "О программе" opened over it as well.
void HelpWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpWindow::showSection(const QString &section)
{
    m_section = section;
    QUrl url(ManualUrl);
    if (!section.isEmpty())
        url.setFragment(section);
    ui->HelpBrowser->setSource(url);
    // The same page again does not scroll by itself.
    if (!section.isEmpty())
        ui->HelpBrowser->scrollToAnchor(section);
}

HelpController::HelpController(ProtocolArchive &archive, QObject *parent)
    : QObject(parent), m_archive(archive)
{
    qApp->installEventFilter(this);
}

HelpController::~HelpController()
{
    qApp->removeEventFilter(this);
    delete m_window;
}

QString HelpController::sectionFor(const QWidget *widget)
{
    static const QHash<QString, QString> sections{
        {QStringLiteral("Main"), QStringLiteral("catalogue")},
        {QStringLiteral("Idle"), QStringLiteral("idle")},
        {QStringLiteral("Chort"), QStringLiteral("short")},
        {QStringLiteral("Transformations"), QStringLiteral("ratio")},
        {QStringLiteral("Resistence"), QStringLiteral("resistance")},
        {QStringLiteral("sTabSheet6"), QStringLiteral("protocol-page")},
        {QStringLiteral("Form2"), QStringLiteral("port")},
        {QStringLiteral("Form4"), QStringLiteral("preview")},
        {QStringLiteral("Form5"), QStringLiteral("calibration")},
        {QStringLiteral("ArchiveWindow"), QStringLiteral("archive")},
        {QStringLiteral("ArchiveCompareWindow"), QStringLiteral("compare")},
        {QStringLiteral("HistoryWindow"), QStringLiteral("history")},
        {QStringLiteral("AssessmentWindow"), QStringLiteral("assessment")},
        {QStringLiteral("AboutWindow"), QStringLiteral("about")},
        {QStringLiteral("HelpWindow"), QStringLiteral("contents")},
    };
    for (const QWidget *w = widget; w != nullptr; w = w->parentWidget()) {
        const auto found = sections.constFind(w->objectName());
        if (found != sections.constEnd())
            return *found;
        // The left column and the status bar serve every page: the page tells.
        if (w->objectName() == QLatin1String("Form1")) {
            if (const auto *pages = w->findChild<PageControl *>(QStringLiteral("PageControl1")))
                if (const QWidget *page = pages->activePage())
                    return sections.value(page->objectName(), QStringLiteral("main-window"));
            return QStringLiteral("main-window");
        }
    }
    return QString();
}

HelpWindow *HelpController::makeWindow(QWidget *parent)
{
    auto *window = new HelpWindow(parent);
    connect(window, &HelpWindow::aboutRequested, this, [this, window] { showAbout(window); });
    return window;
}

HelpWindow *HelpController::showHelp(const QString &section)
{
    HelpWindow *window = nullptr;
    if (QWidget *modal = QApplication::activeModalWidget()) {
        window = makeWindow(modal);
        window->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        if (m_window == nullptr)
            m_window = makeWindow(nullptr);
        window = m_window;
    }
    window->showSection(section);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

AboutWindow *HelpController::showAbout(QWidget *parent)
{
    auto *about = new AboutWindow(m_archive, parent);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
    return about;
}

bool HelpController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F1 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            showHelp(sectionFor(static_cast<QWidget *>(watched)));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
