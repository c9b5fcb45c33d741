#include "commandline.h"
#include "programversion.h"

#include <QProcess>
#include <QTest>

// "--help" and "--version" answer and end the program with 0, even with no display;
// anything else starts the program as before.
class TstCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void installedProgramAnswersWithoutADisplay_data();
    void installedProgramAnswersWithoutADisplay();
};

void TstCommandLine::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("answerStart"); // empty: no answer, the program starts
    const QString version = QStringLiteral("transformer-bench ") + programVersion() + u'\n';
    const QString usage = QStringLiteral("Использование: transformer-bench");
    QTest::newRow("nothing") << QStringList{"transformer-bench"} << QString();
    QTest::newRow("--version") << QStringList{"transformer-bench", "--version"} << version;
    QTest::newRow("--help") << QStringList{"transformer-bench", "--help"} << usage;
    QTest::newRow("Qt's own arguments first") << QStringList{"transformer-bench", "-platform", "xcb", "--help"} << usage;
    QTest::newRow("the first of the two wins") << QStringList{"transformer-bench", "--version", "--help"} << version;
    QTest::newRow("Qt's own arguments only") << QStringList{"transformer-bench", "-platform", "offscreen"} << QString();
    QTest::newRow("an unknown argument") << QStringList{"transformer-bench", "--verbose"} << QString();
    QTest::newRow("a near miss") << QStringList{"transformer-bench", "-version"} << QString();
    QTest::newRow("the program's own name is no argument") << QStringList{"--help"} << QString();
}

void TstCommandLine::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, answerStart);
    const std::optional<QByteArray> answer = commandLineAnswer(arguments);
    QCOMPARE(answer.has_value(), !answerStart.isEmpty());
    if (answer)
        QVERIFY2(QString::fromUtf8(*answer).startsWith(answerStart), answer->constData());
}

void TstCommandLine::installedProgramAnswersWithoutADisplay_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--version") << "--version"
                               << QStringLiteral("transformer-bench %1\nQt %2\n").arg(programVersion(), qVersion());
    QTest::newRow("--help") << "--help" << QStringLiteral("  --version  ");
}

void TstCommandLine::installedProgramAnswersWithoutADisplay()
{
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(BENCH_PROGRAM), {argument});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(argument == QLatin1String("--version") ? out == expected : out.contains(expected), qPrintable(out));
    QCOMPARE(program.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
