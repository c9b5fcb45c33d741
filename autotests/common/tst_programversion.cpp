#include "programversion.h"

#include <QRegularExpression>
#include <QTest>

class TestProgramVersion : public QObject {
    Q_OBJECT

private slots:
    // The number is the project's, the commit one git gave at build time (or "unknown" in a
    // copy without its history), and records carry both in one text.
    void theVersionIsTheProjectsNumberAndTheCommit()
    {
        QCOMPARE(programVersionNumber(), QStringLiteral(PROJECT_VERSION_TEXT));
        QVERIFY2(QRegularExpression(QStringLiteral("\\A(?:[0-9a-f]{7,40}(?:-dirty)?|unknown)\\z"))
                     .match(programCommit()).hasMatch(),
                 qPrintable(programCommit()));
        QCOMPARE(programVersion(), QStringLiteral("%1 (%2)").arg(programVersionNumber(), programCommit()));
    }
};

QTEST_GUILESS_MAIN(TestProgramVersion)
#include "tst_programversion.moc"
