#include "boundsheet.h"
#include "sheetstore.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <functional>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

Sheet sampleSheet()
{
    Sheet sheet;
    sheet.rects.append({QRectF(15.3, 15.3, 180.2, 20.4), 0.2646, true});
    sheet.rects.append({QRectF(15.3, 15.3, 180.2, 20.4), 0.2646, false});
    SheetTextOp text;
    text.rectMm = QRectF(16.6, 16.6, 177.5, 16.9);
    text.clipMm = text.rectMm;
    text.family = QStringLiteral("Liberation Serif");
    text.pointSize = 18;
    text.bold = true;
    text.centred = true;
    text.lineHeightMm = 7.3;
    text.widthScale = 0.93;
    text.lines = {QStringLiteral("Протокол №12"), QString(), QString::fromUtf8("Υ / Δ - 11")};
    sheet.texts.append(text);
    SheetTextOp opaque = text;
    opaque.opaque = true;
    opaque.italic = true;
    opaque.bold = false;
    opaque.centred = false;
    opaque.widthScale = 1.0;
    opaque.lines.clear();
    sheet.texts.append(opaque);
    return sheet;
}

// Offsets of the sections in the sample's file, for cutting it at each.
constexpr int HeaderEnd = 8 + 4;
constexpr int PaperEnd = HeaderEnd + 8 + 8 + 1;
constexpr int RectCountEnd = PaperEnd + 4;

QByteArray withCountAt(QByteArray data, int offset, quint32 count)
{
    const quint32 be = qToBigEndian(count);
    data.replace(offset, 4, reinterpret_cast<const char *>(&be), 4);
    return data;
}

// A file as version 1 wrote it, before texts had a width scale.
QByteArray version1File()
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    const auto string = [&out](const QString &text) {
        const QByteArray utf8 = text.toUtf8();
        out << quint32(utf8.size());
        out.writeRawData(utf8.constData(), int(utf8.size()));
    };
    out.writeRawData("BENCHSHT", 8);
    out << quint32(1) << 210.0 << 297.0 << quint8(0);
    out << quint32(1) << 15.3 << 15.3 << 180.2 << 20.4 << 0.2646 << quint8(1);
    out << quint32(1) << 16.6 << 16.6 << 177.5 << 16.9 << 16.6 << 16.6 << 177.5 << 16.9;
    string(QStringLiteral("Liberation Serif"));
    out << 18.0 << quint8(4) << 7.3 << quint32(1);
    string(QStringLiteral("Протокол №12"));
    return data;
}

} // namespace

class TestSheetStore : public QObject {
    Q_OBJECT
private slots:
    void savedSheetLoadsBackUnchanged();
    void version1FileLoadsUncondensed();
    void brokenFilesFailCleanlyAndEmptyTheStore_data();
    void brokenFilesFailCleanlyAndEmptyTheStore();
    void everyTruncationFails();
    void onlyRegularFilesWithinTheBoundLoad_data();
    void onlyRegularFilesWithinTheBoundLoad();
    void missingFileFailsWithItsReason();
    void storeBeingGeneratedIsSkippedBySaving();
    void failedSaveKeepsTheOldFile();
};

void TestSheetStore::savedSheetLoadsBackUnchanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Протокол №12.qrp"));
    SheetStore store;
    store.setSheet(sampleSheet());
    QString error;
    QVERIFY2(store.save(path, &error), qPrintable(error));

    SheetStore loaded;
    QSignalSpy changed(&loaded, &SheetStore::changed);
    QVERIFY2(loaded.load(path, &error), qPrintable(error));
    QVERIFY(loaded.isComplete());
    QCOMPARE(*loaded.sheet(), sampleSheet());
    QCOMPARE(changed.count(), 1);

    Sheet landscape = sampleSheet();
    landscape.orientation = QPageLayout::Landscape;
    QCOMPARE(SheetStore::deserialize(SheetStore::serialize(landscape))->orientation, QPageLayout::Landscape);
}

void TestSheetStore::version1FileLoadsUncondensed()
{
    QString error;
    const std::optional<Sheet> sheet = SheetStore::deserialize(version1File(), &error);
    QVERIFY2(sheet, qPrintable(error));
    QCOMPARE(sheet->rects.size(), 1);
    QCOMPARE(sheet->texts.size(), 1);
    const SheetTextOp &text = sheet->texts.first();
    QCOMPARE(text.family, QStringLiteral("Liberation Serif"));
    QVERIFY(text.centred && !text.bold);
    QCOMPARE(text.lineHeightMm, 7.3);
    QCOMPARE(text.widthScale, 1.0);
    QCOMPARE(text.lines, QStringList{QStringLiteral("Протокол №12")});
}

void TestSheetStore::brokenFilesFailCleanlyAndEmptyTheStore_data()
{
    const QByteArray good = SheetStore::serialize(sampleSheet());
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("wrong magic") << QByteArray("PK\x03\x04").append(good.mid(4));
    QTest::newRow("text file") << QByteArray("[Stend]\r\nPort=10\r\n");
    QTest::newRow("newer version") << withCountAt(good, 8, 3);
    QTest::newRow("version 0") << withCountAt(good, 8, 0);
    QTest::newRow("huge rectangle count") << withCountAt(good, PaperEnd, 0xFFFFFFFFu);
    QTest::newRow("rectangle count one too many") << withCountAt(good, PaperEnd, 3);
    QTest::newRow("huge text count") << withCountAt(good, RectCountEnd + 2 * 41, 0x7FFFFFFFu);
    QTest::newRow("huge string length") << withCountAt(good, RectCountEnd + 2 * 41 + 4 + 64, 0xFFFFFFF0u);
    // The first text's width scale follows its rectangles, face, size, flags and line height.
    const int scaleAt = RectCountEnd + 2 * 41 + 4 + 64 + 4 + 16 + 8 + 1 + 8;
    QByteArray zeroScale = good;
    zeroScale.replace(scaleAt, 8, QByteArray(8, '\0'));
    QTest::newRow("width scale zero") << zeroScale;
    QTest::newRow("trailing bytes") << QByteArray(good).append("junk");
    QByteArray nanPaper = good;
    nanPaper.replace(HeaderEnd, 8, QByteArray::fromHex("7ff8000000000000"));
    QTest::newRow("paper width not a number") << nanPaper;
    QByteArray zeroPaper = good;
    zeroPaper.replace(HeaderEnd, 8, QByteArray(8, '\0'));
    QTest::newRow("paper width zero") << zeroPaper;

    // Sound files that hold far more than a protocol page: each beyond one bound.
    using B = SheetStore::Bounds;
    const auto beyond = [&](const char *name, const std::function<void(Sheet &)> &change) {
        Sheet sheet = sampleSheet();
        change(sheet);
        QTest::newRow(name) << SheetStore::serialize(sheet);
    };
    beyond("rectangles beyond the bound", [](Sheet &s) { s.rects = QList<SheetRectOp>(B::Rects + 1, s.rects.first()); });
    beyond("texts beyond the bound", [](Sheet &s) { s.texts = QList<SheetTextOp>(B::Texts + 1, s.texts.last()); });
    beyond("lines beyond the bound", [](Sheet &s) { s.texts.first().lines = QStringList(B::Lines + 1, QString()); });
    beyond("characters beyond the bound", [](Sheet &s) {
        s.texts.first().pointSize = 10.0;
        s.texts.first().lines = {QString(qsizetype(B::Glyphs) + 1, u'Ж')};
    });
    beyond("large letters beyond the bound", [](Sheet &s) {
        s.texts.first().pointSize = 20.0; // four times the ink of 10 pt
        s.texts.first().lines = {QString(qsizetype(B::Glyphs / 4) + 1, u'Ж')};
    });
    beyond("font beyond the bound", [](Sheet &s) { s.texts.first().pointSize = B::PointSize + 0.5; });
    beyond("face name beyond the bound", [](Sheet &s) { s.texts.first().family = QString(B::FamilyName + 1, u'a'); });
    beyond("fonts beyond the bound", [](Sheet &s) {
        const SheetTextOp text = s.texts.first();
        for (qsizetype i = 0; i < B::Fonts; ++i) {
            s.texts.append(text);
            s.texts.last().pointSize = 10.0 + double(i) * 0.1;
        }
    });
    beyond("line beyond the bound", [](Sheet &s) { s.rects.first().penWidthMm = B::PenMm + 0.1; });
    beyond("filled area beyond the bound", [](Sheet &s) {
        s.rects = QList<SheetRectOp>(qsizetype(B::FilledSheets) + 1, {QRectF(0.0, 0.0, 210.0, 297.0), 0.0, true});
    });
}

void TestSheetStore::brokenFilesFailCleanlyAndEmptyTheStore()
{
    QFETCH(QByteArray, data);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.qrp"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();

    SheetStore store;
    store.setSheet(sampleSheet());
    QString error;
    QVERIFY(!store.load(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!store.hasSheet());
    QVERIFY(store.isComplete());
    // An emptied store is skipped by saving, so nothing is written over a file.
    const QString other = dir.filePath(QStringLiteral("other.qrp"));
    QVERIFY(store.save(other));
    QVERIFY(!QFile::exists(other));
}

void TestSheetStore::everyTruncationFails()
{
    const QByteArray good = SheetStore::serialize(sampleSheet());
    for (qsizetype size = 0; size < good.size(); ++size) {
        QString error;
        QVERIFY2(!SheetStore::deserialize(good.left(size), &error), qPrintable(QString::number(size)));
        QVERIFY(!error.isEmpty());
    }
    QVERIFY(SheetStore::deserialize(good));
}

// A name may lead anywhere: a device that never ends, a FIFO that never opens for a reader
// on its own, a file far larger than a protocol. Each fails at once with the store emptied.
void TestSheetStore::onlyRegularFilesWithinTheBoundLoad_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("loads");
    QTest::newRow("link to /dev/zero") << "/dev/zero" << false;
    QTest::newRow("link to /dev/urandom") << "/dev/urandom" << false;
    QTest::newRow("FIFO") << "fifo" << false;
    QTest::newRow("a folder") << "folder" << false;
    QTest::newRow("one byte beyond the bound") << "over" << false;
    QTest::newRow("a file far beyond the bound") << "huge" << false;
    QTest::newRow("a file at the bound") << "bound" << true;
    QTest::newRow("link to a file at the bound") << "bound link" << true;
}

void TestSheetStore::onlyRegularFilesWithinTheBoundLoad()
{
    QFETCH(QString, kind);
    QFETCH(bool, loads);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Протокол №12.qrp"));
    const auto writeFile = [](const QString &to, const QByteArray &bytes) {
        QFile file(to);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const qint64 bound = SheetStore::Bounds::FileBytes;
    if (kind.startsWith(u'/')) {
        if (!QFileInfo(kind).exists())
            QSKIP("no such device here");
        QVERIFY(QFile::link(kind, path));
    } else if (kind == u"fifo") {
#ifdef Q_OS_UNIX
        QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#else
        QSKIP("FIFOs are a Unix matter");
#endif
    } else if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(path).fileName()));
    } else if (kind == u"over") {
        QVERIFY(writeFile(path, boundSheetFile(bound + 1)));
    } else if (kind == u"huge") {
        // Sound in form, as a crafted file can be: a line of millions of letters.
        Sheet big = sampleSheet();
        big.texts.first().lines = {QString(4 * 1024 * 1024, u'Ж')};
        QVERIFY(writeFile(path, SheetStore::serialize(big)));
    } else if (kind == u"bound") {
        QVERIFY(writeFile(path, boundSheetFile(bound)));
        QCOMPARE(QFileInfo(path).size(), bound);
    } else if (kind == u"bound link") {
        const QString target = dir.filePath(QStringLiteral("target.qrp"));
        QVERIFY(writeFile(target, boundSheetFile(bound)));
        QVERIFY(QFile::link(target, path));
    }

    SheetStore store;
    store.setSheet(sampleSheet());
    QString error;
    QCOMPARE(store.load(path, &error), loads);
    QCOMPARE(store.hasSheet(), loads);
    QVERIFY(store.isComplete());
    if (loads)
        QCOMPARE(store.sheet()->texts.size(), SheetStore::Bounds::Texts);
    else
        QVERIFY(!error.isEmpty());
}

void TestSheetStore::missingFileFailsWithItsReason()
{
    QTemporaryDir dir;
    SheetStore store;
    store.setSheet(sampleSheet());
    QString error;
    QVERIFY(!store.load(dir.filePath(QStringLiteral("absent.qrp")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!store.hasSheet());
}

void TestSheetStore::storeBeingGeneratedIsSkippedBySaving()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.qrp"));
    SheetStore store;
    store.beginGeneration();
    QVERIFY(!store.isComplete());
    QVERIFY(store.save(path));
    QVERIFY(!QFile::exists(path));
    store.setSheet(sampleSheet());
    QVERIFY(store.isComplete());
    QVERIFY(store.save(path));
    QVERIFY(QFile::exists(path));
}

void TestSheetStore::failedSaveKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.qrp"));
    SheetStore store;
    store.setSheet(sampleSheet());
    QVERIFY(store.save(path));
    QString error;
    QVERIFY(!store.save(dir.filePath(QStringLiteral("no/such/folder/page.qrp")), &error));
    QVERIFY(!error.isEmpty());
    // A folder in place of the file.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.qrp")));
    QVERIFY(!store.save(dir.filePath(QStringLiteral("taken.qrp")), &error));
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();

#ifdef Q_OS_UNIX
    // A disk that fills up mid-write, by a file size limit that binds root too.
    Sheet larger = sampleSheet();
    for (int i = 0; i < 200; ++i)
        larger.texts.append(larger.texts.first());
    store.setSheet(larger);
    QVERIFY(SheetStore::serialize(larger).size() > 8192);
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.save(path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!saved);
    QVERIFY(!error.isEmpty());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("page.qrp")});
#endif
}

QTEST_GUILESS_MAIN(TestSheetStore)
#include "tst_sheetstore.moc"
