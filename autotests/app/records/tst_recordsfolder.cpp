#include "restartfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

// A records folder that cannot be made (a file or a dangling link in its place, HOME
// unset or closed) is said once, at start, in the status bar: no box follows at every
// field left, nor at close, where a shutdown's SIGTERM would wait on it.
class TstRecordsFolder : public QObject {
    Q_OBJECT
private slots:
    void anUnusableRecordsFolderIsSaidOnceAtStartAndNeverAgain_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("a file in its place") << false;
        QTest::newRow("a dangling link in its place") << true;
    }

    void anUnusableRecordsFolderIsSaidOnceAtStartAndNeverAgain()
    {
        QFETCH(bool, link);
        RestartFixture f;
        QVERIFY(f.isValid());
        const QString folder = f.filePath(QStringLiteral("transformer-bench"));
        if (link) {
            QVERIFY(QFile::link(f.filePath(QStringLiteral("gone")), folder));
        } else {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        setRecordsDirectoryForTests(folder);
        QVERIFY(f.start());
        TForm1 *w = f.form;
        const QString notice = f.shown(QStringLiteral("StatusBarMain"));
        QVERIFY2(notice.contains(folder) && notice.contains(QStringLiteral("не сохраняются")), qPrintable(notice));

        f.typeInto(w->control<QLineEdit>("Investigator"), QStringLiteral("Сидоров"), w->control<QLineEdit>("ProtocolNumber"));
        f.click(w->control<QCheckBox>("cbAutoStop"));
        QCOMPARE(f.messageTexts(), QString());
        QVERIFY(f.close());
        QCOMPARE(f.messageTexts(), QString());
        // Nothing was made in the folder's place.
        QCOMPARE(QFileInfo(folder).isDir(), false);
    }
};

QTEST_MAIN(TstRecordsFolder)
#include "tst_recordsfolder.moc"
