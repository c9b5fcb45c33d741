#include "bencherror.h"
#include "cataloguefile.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"
#include "recordslocation.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

// A full disk, played without root by a limit on the size of the files this process
// writes: a write past it fails with EFBIG (SIGXFSZ ignored) as on a disk with no room.
class TestFullDisk : public QObject {
    Q_OBJECT

public:
    enum class Target { Settings, Catalogue, State };
    Q_ENUM(Target)

private:

    std::unique_ptr<QTemporaryDir> m_folder;

    static QString pathOf(Target target)
    {
        switch (target) {
        case Target::Settings:
            return SettingsFile::path();
        case Target::Catalogue:
            return CatalogueFile::path();
        case Target::State:
            return StateFile::path();
        }
        return {};
    }

    // The old file, small enough to pass through the write buffer in one piece.
    static QByteArray oldBytes(Target target)
    {
        switch (target) {
        case Target::Settings:
            return cp1251(QStringLiteral("[Stend]\r\nИспытал=Петров\r\nCOM=10\r\n"));
        case Target::Catalogue:
            return cp1251(QStringLiteral("[ТМ 100]\r\nНапряжение=10000\r\n"));
        case Target::State:
            return cp1251(QStringLiteral("[1]\r\nName=ТМ 100\r\n"));
        }
        return {};
    }

    static void write(Target target)
    {
        switch (target) {
        case Target::Settings:
            SettingsFile::writeChief(QStringLiteral("Сидоров А. В."));
            break;
        case Target::Catalogue: {
            TransformerType type;
            type.unom = QStringLiteral("10000");
            type.pnom = QStringLiteral("250");
            type.material = 0;
            type.fasNumber = 1;
            QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ 250"), type), CatalogueFile::SaveResult::Saved);
            break;
        }
        case Target::State:
            StateFile::write(QHash<QString, QString>{{QStringLiteral("Name"), QStringLiteral("ТМ 250")}});
            break;
        }
    }

    // Runs the write with the limit, giving the error text, empty when none.
    static QString writeLimited(Target target, rlim_t limit)
    {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit tight = old;
        tight.rlim_cur = limit;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tight);
        QString error;
        try {
            write(target);
        } catch (const BenchError &e) {
            error = e.text();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        return error;
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        setRecordsDirectoryForTests(m_folder->path());
    }

    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void aWriteWithoutRoomFailsAndKeepsTheOldFile_data()
    {
        QTest::addColumn<Target>("target");
        QTest::addColumn<int>("slack"); // the limit minus the size of the new file
        const QList<QPair<const char *, Target>> targets{
            {"varnek.ini", Target::Settings}, {"varnek.dat", Target::Catalogue}, {"varnek.tmp", Target::State}};
        for (const auto &[name, target] : targets) {
            QTest::addRow("%s, one byte short", name) << target << -1;
            QTest::addRow("%s, room for it exactly", name) << target << 0;
            QTest::addRow("%s, room to spare", name) << target << 1;
        }
    }

    void aWriteWithoutRoomFailsAndKeepsTheOldFile()
    {
        QFETCH(Target, target);
        QFETCH(int, slack);
        const QString path = pathOf(target);
        const QByteArray before = oldBytes(target);

        // The new file, learnt from the same write with room enough.
        QVERIFY(writeRaw(path, before));
        write(target);
        const QByteArray after = readRaw(path);
        QVERIFY(after.size() > before.size());
        QVERIFY(writeRaw(path, before));

        const QString error = writeLimited(target, rlim_t(after.size() + slack));
        if (slack < 0) {
            QCOMPARE(error, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path));
            QCOMPARE(readRaw(path), before);
        } else {
            QCOMPARE(error, QString());
            QCOMPARE(readRaw(path), after);
        }
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList(QFileInfo(path).fileName()));
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
