#include "archiveexport.h"
#include "bencherror.h"
#include "cataloguefile.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"
#include "recordslocation.h"
#include "settingsfile.h"
#include "sheetoutput.h"
#include "sheetstore.h"
#include "statefile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {

// A page the size of a real protocol page in the store's format (some 7 kB, less than
// QFileDevice's write buffer, which is where a short write used to go unseen).
Sheet protocolLikeSheet()
{
    Sheet sheet;
    for (int row = 0; row < 40; ++row) {
        sheet.rects.append({QRectF(15.0, 20.0 + row * 6.0, 180.0, 6.0), 0.2646, true});
        SheetTextOp text;
        text.rectMm = QRectF(16.0, 20.5 + row * 6.0, 178.0, 5.0);
        text.clipMm = text.rectMm;
        text.family = QStringLiteral("Liberation Sans");
        text.lineHeightMm = 4.05;
        text.lines = {QStringLiteral("Ток холостого хода, %, строка %1").arg(row)};
        sheet.texts.append(text);
    }
    return sheet;
}

} // namespace

// A full disk, played without root by a limit on the size of the files this process
// writes: a write past it fails with EFBIG (SIGXFSZ ignored) as on a disk with no room.
// Every file the program replaces is tried: the three key/value files, a saved protocol
// page, the PDF and both exports.
class TestFullDisk : public QObject {
    Q_OBJECT

public:
    enum class Target { Settings, Catalogue, State, Sheet, Pdf, Csv, Json };
    Q_ENUM(Target)

private:

    static inline std::unique_ptr<QTemporaryDir> s_folder;

    static QString pathOf(Target target)
    {
        switch (target) {
        case Target::Settings:
            return SettingsFile::path();
        case Target::Catalogue:
            return CatalogueFile::path();
        case Target::State:
            return StateFile::path();
        case Target::Sheet:
            return s_folder->filePath(QStringLiteral("Протокол №12.qrp"));
        case Target::Pdf:
            return s_folder->filePath(QStringLiteral("Протокол №12.pdf"));
        case Target::Csv:
            return s_folder->filePath(QStringLiteral("Протоколы.csv"));
        case Target::Json:
            return s_folder->filePath(QStringLiteral("Протоколы.json"));
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
        case Target::Sheet:
        case Target::Pdf:
        case Target::Csv:
        case Target::Json:
            return QByteArrayLiteral("the old file, which must survive");
        }
        return {};
    }

    // The error text a failed write must give for `path`.
    static bool isErrorFor(Target target, const QString &path, const QString &error)
    {
        switch (target) {
        case Target::Settings:
        case Target::Catalogue:
        case Target::State:
            return error == QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path);
        case Target::Sheet:
        case Target::Pdf:
            return !error.isEmpty();
        case Target::Csv:
        case Target::Json:
            return error.startsWith(QStringLiteral("Файл %1 не записан: ").arg(QDir::toNativeSeparators(path)))
                && !error.endsWith(QStringLiteral(": "));
        }
        return false;
    }

    // Writes the target's new file; the error text, empty when none.
    static QString write(Target target)
    {
        QString error;
        switch (target) {
        case Target::Settings:
        case Target::Catalogue:
        case Target::State:
            try {
                writeRecord(target);
            } catch (const BenchError &e) {
                error = e.text();
            }
            break;
        case Target::Sheet: {
            SheetStore store;
            store.setSheet(protocolLikeSheet());
            if (!store.save(pathOf(target), &error) && error.isEmpty())
                error = QStringLiteral("failed without a reason");
            break;
        }
        case Target::Pdf:
            if (!SheetOutput::writePdf({protocolLikeSheet(), protocolLikeSheet()}, pathOf(target), &error)
                && error.isEmpty())
                error = QStringLiteral("failed without a reason");
            break;
        case Target::Csv:
        case Target::Json: {
            // A few hundred records, less than the write buffer holds.
            QByteArray bytes = target == Target::Csv ? QByteArrayLiteral("\xEF\xBB\xBFНомер;Тип\r\n")
                                                     : QByteArrayLiteral("[\n");
            for (int i = 0; i < 200; ++i)
                bytes += target == Target::Csv ? QStringLiteral("%1;ТМ 250/10\r\n").arg(i).toUtf8()
                                               : QStringLiteral("{\"Номер\": \"%1\"},\n").arg(i).toUtf8();
            if (!ArchiveExport::writeFile(pathOf(target), bytes, &error) && error.isEmpty())
                error = QStringLiteral("failed without a reason");
            break;
        }
        }
        return error;
    }

    static void writeRecord(Target target)
    {
        switch (target) {
        case Target::Settings:
            SettingsFile::writeText(QStringLiteral("Chief"), QStringLiteral("Сидоров А. В."));
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
        default:
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
        const QString error = write(target);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        return error;
    }

private slots:
    void init()
    {
        s_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(s_folder->isValid());
        setRecordsDirectoryForTests(s_folder->path());
    }

    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void aWriteWithoutRoomFailsAndKeepsTheOldFile_data()
    {
        QTest::addColumn<Target>("target");
        QTest::addColumn<int>("slack"); // the limit minus the size of the new file
        const QList<QPair<const char *, Target>> targets{
            {"varnek.ini", Target::Settings}, {"varnek.dat", Target::Catalogue}, {"varnek.tmp", Target::State},
            {"protocol page", Target::Sheet}, {"PDF", Target::Pdf}, {"CSV export", Target::Csv},
            {"JSON export", Target::Json}};
        for (const auto &[name, target] : targets) {
            QTest::addRow("%s, one byte short", name) << target << -1;
            QTest::addRow("%s, room for it exactly", name) << target << 0;
            QTest::addRow("%s, room to spare", name) << target << 1;
        }
    }

    // A PDF names the second it was made in; the two writes may fall in different seconds.
    static QByteArray withoutMoment(QByteArray bytes)
    {
        const qsizetype at = bytes.indexOf("/CreationDate (");
        if (at >= 0) {
            const qsizetype end = bytes.indexOf(')', at);
            if (end > at)
                bytes.remove(at, end - at + 1);
        }
        return bytes;
    }

    void aWriteWithoutRoomFailsAndKeepsTheOldFile()
    {
        QFETCH(Target, target);
        QFETCH(int, slack);
        const QString path = pathOf(target);
        const QByteArray before = oldBytes(target);

        // The new file, learnt from the same write with room enough.
        QVERIFY(writeRaw(path, before));
        QCOMPARE(write(target), QString());
        const QByteArray after = readRaw(path);
        QVERIFY(after.size() > before.size());
        QVERIFY(writeRaw(path, before));

        const QString error = writeLimited(target, rlim_t(after.size() + slack));
        if (slack < 0) {
            QVERIFY2(isErrorFor(target, path, error), qPrintable(error));
            QCOMPARE(readRaw(path), before);
        } else {
            QCOMPARE(error, QString());
            QCOMPARE(withoutMoment(readRaw(path)), withoutMoment(after));
        }
        QCOMPARE(QDir(s_folder->path()).entryList(QDir::Files), QStringList(QFileInfo(path).fileName()));
    }
};

// A GUI application, for the fonts the PDF embeds.
QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
