// Renders the manual's window at a section and the window "О программе" for the README:
// help_screenshots <output folder>. Not a test; built on request only.

#include "aboutwindow.h"
#include "helpwindow.h"
#include "programwindows.h"
#include "recordslocation.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("transformer-bench"));
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());

    int failures = 0;
    {
        ProgramWindows windows;
        HelpWindow *help = windows.help.showHelp(QStringLiteral("idle"));
        help->resize(760, 560);
        QTest::qWait(200);
        help->showSection(QStringLiteral("idle"));
        QTest::qWait(100);
        const QString helpPath = QDir(out).filePath(QStringLiteral("help-window.png"));
        failures += help->grab().save(helpPath) ? 0 : 1;
        std::printf("%s\n", qPrintable(helpPath));

        AboutWindow *about = windows.help.showAbout(help);
        QTest::qWait(200);
        const QString aboutPath = QDir(out).filePath(QStringLiteral("about-window.png"));
        failures += about->grab().save(aboutPath) ? 0 : 1;
        std::printf("%s\n", qPrintable(aboutPath));
    }
    setRecordsDirectoryForTests(QString());
    return failures;
}
