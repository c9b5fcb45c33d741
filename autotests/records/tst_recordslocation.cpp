#include "recordsfixture.h"
#include "recordslocation.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestRecordsLocation : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setRecordsDirectoryForTests(QString()); }

    // What a write killed half-way leaves goes; anything the program did not make stays.
    void onlyTheTemporariesOfKilledWritesAreRemoved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("state file's temporary") << "varnek.tmp.LCqdkX" << true;
        QTest::newRow("settings file's temporary") << "varnek.ini.aBcDeF" << true;
        QTest::newRow("catalogue's temporary") << "varnek.dat.QQQQQq" << true;
        QTest::newRow("the file itself") << "varnek.dat" << false;
        QTest::newRow("an operator's backup") << "varnek.ini.backup" << false;
        QTest::newRow("a capitalised backup") << "varnek.ini.Backup" << false;
        QTest::newRow("an operator's copy in capitals") << "varnek.ini.BACKUP" << false;
        QTest::newRow("five letters") << "varnek.tmp.LCqdk" << false;
        QTest::newRow("seven letters") << "varnek.tmp.LCqdkXy" << false;
        QTest::newRow("digits") << "varnek.tmp.LC1dkX" << false;
        QTest::newRow("a name of another file") << "report.ini.LCqdkX" << false;
        QTest::newRow("a name in other letter case") << "VARNEK.tmp.LCqdkX" << false;
        QTest::newRow("a suffix after it") << "varnek.tmp.LCqdkX.txt" << false;
    }

    void onlyTheTemporariesOfKilledWritesAreRemoved()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        setRecordsDirectoryForTests(folder.path());
        QVERIFY(writeRaw(folder.filePath(name), "[1]\r\nName=ТМ"));
        QVERIFY(writeRaw(folder.filePath(QStringLiteral("varnek.tmp")), "[1]\r\n"));

        QCOMPARE(removeLeftOverTemporaries(), removed ? 1 : 0);
        QCOMPARE(QFile::exists(folder.filePath(name)), !removed);
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("varnek.tmp"))));
    }

    void foldersAndLinksOfSuchNamesStay()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        setRecordsDirectoryForTests(folder.path());
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("varnek.ini.AbCdEf")));
        const QString elsewhere = folder.filePath(QStringLiteral("precious"));
        QVERIFY(writeRaw(elsewhere, "keep"));
        QVERIFY(QFile::link(elsewhere, folder.filePath(QStringLiteral("varnek.tmp.LCqdkX"))));

        QCOMPARE(removeLeftOverTemporaries(), 0);
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("varnek.ini.AbCdEf"))).isDir());
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("varnek.tmp.LCqdkX"))).isSymLink());
        QCOMPARE(readRaw(elsewhere), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestRecordsLocation)
#include "tst_recordslocation.moc"
