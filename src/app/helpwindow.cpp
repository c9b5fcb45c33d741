#include "helpwindow.h"

#include "aboutwindow.h"
#include "controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

const QString HelpWindow::Caption = QStringLiteral("Руководство оператора");
const QString HelpWindow::ManualUrl = QStringLiteral("qrc:/manual/manual.html");

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), browser(new QTextBrowser(this)),
      backButton(new QPushButton(QStringLiteral("Назад"), this)),
      forwardButton(new QPushButton(QStringLiteral("Вперёд"), this)),
      contentsButton(new QPushButton(QStringLiteral("Содержание"), this)),
      aboutButton(new QPushButton(QStringLiteral("О программе"), this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(Caption);
    resize(760, 640);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setOpenExternalLinks(true);
    aboutButton->setObjectName(QStringLiteral("AboutButton"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {backButton, forwardButton, contentsButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(aboutButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser, 1);

    backButton->setEnabled(false);
    forwardButton->setEnabled(false);
    connect(browser, &QTextBrowser::backwardAvailable, backButton, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardButton, &QPushButton::setEnabled);
    connect(backButton, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(contentsButton, &QPushButton::clicked, this, [this] { showSection(QStringLiteral("contents")); });
    connect(aboutButton, &QPushButton::clicked, this, &HelpWindow::aboutRequested);
}

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
    browser->setSource(url);
    // The same page again does not scroll by itself.
    if (!section.isEmpty())
        browser->scrollToAnchor(section);
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
