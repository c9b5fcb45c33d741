// Renders the port settings and the calibration dialog as the operator first sees them:
// dialog_screenshots <output folder>. Not a test; built on request only, to compare the
// dialogs before and after a change of their forms.

#include "programwindows.h"
#include "recordslocation.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());

    int failures = 0;
    {
        ProgramContext context;
        context.deviceFolder = dir.path();
        ProgramWindows windows(context);
        windows.form1.show();
        windows.form1.control<QPushButton>("sBitBtn3")->click(); // "Настройки"
        QTest::qWait(100);
        const QString ports = QDir(out).filePath(QStringLiteral("port-settings.png"));
        failures += windows.form2.grab().save(ports) ? 0 : 1;
        std::printf("%s\n", qPrintable(ports));

        windows.form5.show();
        QTest::qWait(100);
        const QString calibration = QDir(out).filePath(QStringLiteral("calibration.png"));
        failures += windows.form5.grab().save(calibration) ? 0 : 1;
        std::printf("%s\n", qPrintable(calibration));
    }
    setRecordsDirectoryForTests(QString());
    return failures;
}
