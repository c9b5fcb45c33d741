#include "recordsfixture.h"
#include "recordslocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TestRecordsLocation : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setRecordsDirectoryForTests(QString()); }

    // The program's folder is kept wherever the program may write it and every record in
    // it; anything closed sends all records to the user's folder, never some of them. Files
    // passed over are named, with both folders, so the operator does not think them lost.
    void theProgramsFolderIsKeptOnlyWhereItMayBeWritten_data()
    {
        QTest::addColumn<bool>("folderOpen");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("closed");
        QTest::addColumn<bool>("programFolder");
        QTest::addColumn<QStringList>("named");
        const QStringList none;
        QTest::newRow("portable, first start") << true << none << none << true << none;
        QTest::newRow("portable, files in use") << true << QStringList{"varnek.ini", "varnek.db"} << none << true << none;
        QTest::newRow("installed, nothing beside it") << false << none << none << false << none;
        QTest::newRow("installed with a catalogue beside it")
            << false << QStringList{"varnek.dat"} << QStringList{"varnek.dat"} << false << QStringList{"varnek.dat"};
        QTest::newRow("open folder, settings locked")
            << true << QStringList{"varnek.ini", "varnek.tmp"} << QStringList{"varnek.ini"} << false
            << QStringList{"varnek.ini", "varnek.tmp"};
        QTest::newRow("open folder, archive locked")
            << true << QStringList{"varnek.db"} << QStringList{"varnek.db"} << false << QStringList{"varnek.db"};
        QTest::newRow("other files do not count")
            << false << QStringList{"varnek.pas", "COM10"} << QStringList{"varnek.pas", "COM10"} << false << none;
    }

    void theProgramsFolderIsKeptOnlyWhereItMayBeWritten()
    {
        QFETCH(bool, folderOpen);
        QFETCH(QStringList, present);
        QFETCH(QStringList, closed);
        QFETCH(bool, programFolder);
        QFETCH(QStringList, named);
        QTemporaryDir program;
        QVERIFY(program.isValid());
        for (const QString &name : present)
            QVERIFY(writeRaw(program.filePath(name), "[1]\r\n"));
        const QString user = QDir(program.path()).absoluteFilePath(QStringLiteral("home/.local/share/transformer-bench"));
        const auto mayWrite = [&](const QString &path) {
            if (path == program.path())
                return folderOpen;
            return !closed.contains(QFileInfo(path).fileName());
        };

        const RecordsFolderChoice choice = chooseRecordsFolder(program.path(), user, mayWrite);
        QCOMPARE(choice.programFolder, programFolder);
        QCOMPARE(choice.folder, programFolder ? program.path() : user);
        QCOMPARE(choice.notice.isEmpty(), named.isEmpty());
        if (!named.isEmpty()) {
            QVERIFY2(choice.notice.contains(user), qPrintable(choice.notice));
            QVERIFY2(choice.notice.contains(program.path()), qPrintable(choice.notice));
            for (const QString &name : named)
                QVERIFY2(choice.notice.contains(name), qPrintable(choice.notice));
        }
        // Deciding writes nothing anywhere.
        QCOMPARE(QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), present.size());
    }

    // The real test of a folder, where this process is bound by permissions (not as root).
    void aFolderClosedByItsPermissionsSendsTheRecordsToTheUser()
    {
        QTemporaryDir program;
        QVERIFY(program.isValid());
        QVERIFY(writeRaw(program.filePath(QStringLiteral("varnek.ini")), "[Stend]\r\n"));
        QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto reopen = qScopeGuard([&] {
            QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        if (!permissionsAreEnforced(program.path()))
            QSKIP("this user may write into a closed folder (root); the installed program's test runs as a user");
        const RecordsFolderChoice choice = chooseRecordsFolder(
            program.path(), QStringLiteral("/nowhere/user"), [](const QString &path) { return QFileInfo(path).isWritable(); });
        QVERIFY(!choice.programFolder);
        QCOMPARE(choice.folder, QStringLiteral("/nowhere/user"));
        QVERIFY(choice.notice.contains(QStringLiteral("varnek.ini")));
    }

    // The user's data folder is made at start; when it cannot be (a file or a dangling
    // link in its place, a file above it), the reason is given for the start's notice.
    void theUsersFolderIsMadeOrTheReasonGiven_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "none" << "";
        QTest::newRow("there already") << "folder" << "";
        QTest::newRow("a file in its place") << "file" << "на её месте файл";
        QTest::newRow("a dangling link in its place") << "dangling" << "на её месте ссылка на несуществующую папку";
        QTest::newRow("a file above it") << "file above" << "файл";
        QTest::newRow("no name") << "empty" << "не известна";
    }

    void theUsersFolderIsMadeOrTheReasonGiven()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QString folder = home.filePath(QStringLiteral(".local/share/transformer-bench"));
        const QString parent = home.filePath(QStringLiteral(".local/share"));
        QVERIFY(QDir().mkpath(parent));
        if (obstacle == QStringLiteral("folder"))
            QVERIFY(QDir().mkpath(folder));
        else if (obstacle == QStringLiteral("file"))
            QVERIFY(writeRaw(folder, "not a folder"));
        else if (obstacle == QStringLiteral("dangling"))
            QVERIFY(QFile::link(home.filePath(QStringLiteral("gone")), folder));
        else if (obstacle == QStringLiteral("file above")) {
            QVERIFY(QDir(parent).removeRecursively());
            QVERIFY(writeRaw(parent, "not a folder"));
        } else if (obstacle == QStringLiteral("empty"))
            folder.clear();

        const QString problem = makeRecordsFolder(folder);
        if (reason.isEmpty()) {
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QVERIFY(QFileInfo(folder).isDir());
        } else {
            QVERIFY2(problem.contains(reason), qPrintable(problem));
        }
        // A test's folder with the same obstacle counts as such a start.
        if (!folder.isEmpty()) {
            setRecordsDirectoryForTests(folder);
            QCOMPARE(recordsFolderUsable(), reason.isEmpty());
            QCOMPARE(recordsNotice().isEmpty(), reason.isEmpty());
            if (!reason.isEmpty()) {
                QVERIFY2(recordsNotice().contains(QDir::toNativeSeparators(folder)), qPrintable(recordsNotice()));
                QVERIFY2(recordsNotice().contains(reason), qPrintable(recordsNotice()));
            }
        }
    }

    void aTestsFolderStandsForTheChoiceAndSaysNothing()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        setRecordsDirectoryForTests(folder.path());
        QCOMPARE(recordsDirectory(), folder.path());
        QCOMPARE(recordFilePath(QStringLiteral("varnek.ini")), folder.filePath(QStringLiteral("varnek.ini")));
        QCOMPARE(documentsDirectory(), folder.path());
        QVERIFY(recordsNotice().isEmpty());
    }

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
