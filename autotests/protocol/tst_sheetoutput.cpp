#include "sheetoutput.h"
#include "sheetprinting.h"
#include "sheetstore.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

namespace {

Sheet boxSheet()
{
    Sheet sheet;
    sheet.rects.append({QRectF(15.3, 15.3, 180.2, 20.4), 0.2646, true});
    SheetTextOp text;
    text.rectMm = QRectF(16.6, 16.6, 177.5, 16.9);
    text.clipMm = text.rectMm;
    text.family = QStringLiteral("Liberation Sans");
    text.centred = true;
    text.lineHeightMm = 4.05;
    text.lines = {QStringLiteral("Испытан")};
    sheet.texts.append(text);
    return sheet;
}

QString pdfInfo(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page of a PDF, in order.
QStringList pageTexts(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    process.waitForFinished(30000);
    QStringList texts = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!texts.isEmpty() && texts.last().trimmed().isEmpty())
        texts.removeLast();
    for (QString &text : texts)
        text = text.simplified();
    return texts;
}

int pages(const QString &info)
{
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

class TestSheetOutput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void printingHonoursCopiesRangeAndOrientation_data();
    void printingHonoursCopiesRangeAndOrientation();
    void everyJobIsOnTheSheetsPaperOneSided_data();
    void everyJobIsOnTheSheetsPaperOneSided();
    void severalSheetsPrintAsOneJobInTheirOrder_data();
    void severalSheetsPrintAsOneJobInTheirOrder();
    void emptyStoreIsNotPrinted();
    void pdfOfSeveralSheetsIsOneFile();
    void pdfNamesTheProgramsVersion();
    void filesAreTheSameUnderAnyLocale();
    void printFailuresSayWhy_data();
    void printFailuresSayWhy();
};

void TestSheetOutput::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
}

void TestSheetOutput::printingHonoursCopiesRangeAndOrientation_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<int>("printedPages");
    QTest::newRow("one copy") << 1 << 0 << false << 1;
    QTest::newRow("three copies") << 3 << 0 << false << 3;
    QTest::newRow("range from page 1") << 1 << 1 << false << 1;
    QTest::newRow("range past the only sheet") << 1 << 2 << false << 0;
    // The orientation is the sheet's: a landscape sheet prints landscape.
    QTest::newRow("landscape") << 1 << 0 << true << 1;
}

void TestSheetOutput::printingHonoursCopiesRangeAndOrientation()
{
    QFETCH(int, copies);
    QFETCH(int, fromPage);
    QFETCH(bool, landscape);
    QFETCH(int, printedPages);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCopyCount(copies);
    if (fromPage > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(fromPage, fromPage);
    }
    Sheet sheet = boxSheet();
    sheet.orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    SheetStore store;
    store.setSheet(sheet);
    QString error;
    QVERIFY2(SheetPrinting::print(store, printer, &error), qPrintable(error));
    if (printedPages == 0) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    const QString info = pdfInfo(path);
    QCOMPARE(pages(info), printedPages);
    QVERIFY2(info.contains(landscape ? QStringLiteral("842 x 595") : QStringLiteral("595 x 842")), qPrintable(info));
}

void TestSheetOutput::everyJobIsOnTheSheetsPaperOneSided_data()
{
    QTest::addColumn<int>("printerPaper");
    QTest::addColumn<bool>("printerLandscape");
    QTest::addColumn<bool>("sheetLandscape");
    QTest::addColumn<QString>("pagePoints");
    // A Letter page is 279.4 mm high: an A4 sheet would lose its last 6 mm of print.
    QTest::newRow("Letter") << int(QPageSize::Letter) << false << false << "595 x 842";
    QTest::newRow("Legal, landscape") << int(QPageSize::Legal) << true << false << "595 x 842";
    QTest::newRow("A5") << int(QPageSize::A5) << false << false << "595 x 842";
    QTest::newRow("landscape sheet on portrait A4") << int(QPageSize::A4) << false << true << "842 x 595";
}

void TestSheetOutput::everyJobIsOnTheSheetsPaperOneSided()
{
    QFETCH(int, printerPaper);
    QFETCH(bool, printerLandscape);
    QFETCH(bool, sheetLandscape);
    QFETCH(QString, pagePoints);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::PageSizeId(printerPaper)));
    printer.setPageOrientation(printerLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDuplex(QPrinter::DuplexLongSide);
    Sheet sheet = boxSheet();
    sheet.orientation = sheetLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    QString error;
    QVERIFY2(SheetPrinting::print(QList<Sheet>{sheet}, printer, &error), qPrintable(error));
    const QString info = pdfInfo(path);
    QVERIFY2(info.contains(pagePoints), qPrintable(info));
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
    QCOMPARE(printer.duplex(), QPrinter::DuplexNone);
}

void TestSheetOutput::severalSheetsPrintAsOneJobInTheirOrder_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<int>("toPage");
    QTest::addColumn<QStringList>("printed");
    QTest::newRow("both") << 1 << true << 0 << 0 << QStringList{"first", "second"};
    QTest::newRow("two copies collated") << 2 << true << 0 << 0
                                         << QStringList{"first", "second", "first", "second"};
    QTest::newRow("two copies uncollated") << 2 << false << 0 << 0
                                           << QStringList{"first", "first", "second", "second"};
    QTest::newRow("range of page 2") << 1 << true << 2 << 2 << QStringList{"second"};
    QTest::newRow("range of page 1") << 1 << true << 1 << 1 << QStringList{"first"};
    QTest::newRow("range past both") << 1 << true << 3 << 4 << QStringList{};
    QTest::newRow("pages 2 and 1 listed") << 1 << true << -1 << 0 << QStringList{"first", "second"};
}

void TestSheetOutput::severalSheetsPrintAsOneJobInTheirOrder()
{
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(int, fromPage);
    QFETCH(int, toPage);
    QFETCH(QStringList, printed);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("both.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCopyCount(copies);
    printer.setCollateCopies(collate);
    if (fromPage > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(fromPage, toPage);
    } else if (fromPage < 0) { // a list typed in the dialog
        printer.setPrintRange(QPrinter::PageRange);
        printer.setPageRanges(QPageRanges::fromString(QStringLiteral("2,1")));
    }
    QList<Sheet> sheets{boxSheet(), boxSheet()};
    sheets[0].texts[0].lines = {QStringLiteral("first")};
    sheets[1].texts[0].lines = {QStringLiteral("second")};
    QString error;
    QVERIFY2(SheetPrinting::print(sheets, printer, &error), qPrintable(error));
    if (printed.isEmpty()) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    QCOMPARE(pageTexts(path), printed);
}

void TestSheetOutput::emptyStoreIsNotPrinted()
{
    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("none.pdf")));
    SheetStore store;
    QString error;
    QVERIFY(!SheetPrinting::print(store, printer, &error));
    QVERIFY(!error.isEmpty());
    store.beginGeneration();
    QVERIFY(!SheetPrinting::print(store, printer, &error));
}

void TestSheetOutput::pdfOfSeveralSheetsIsOneFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("both.pdf"));
    QVERIFY(SheetOutput::writePdf({boxSheet(), boxSheet(), boxSheet()}, path));
    QCOMPARE(pages(pdfInfo(path)), 3);
    QString error;
    QVERIFY(!SheetOutput::writePdf({}, path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!SheetOutput::writePdf({boxSheet()}, dir.filePath(QStringLiteral("no/folder/x.pdf")), &error));
    // The earlier file is untouched by the failures.
    QCOMPARE(pages(pdfInfo(path)), 3);
}

// The version the program sets on its application object reaches the PDF's creator.
void TestSheetOutput::pdfNamesTheProgramsVersion()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("versioned.pdf"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3 (abcdef0)"));
    const bool written = SheetOutput::writePdf({boxSheet()}, path, nullptr, QStringLiteral("Протокол №7"));
    QCoreApplication::setApplicationVersion(QString());
    QVERIFY(written);
    QVERIFY2(pdfInfo(path).contains(QRegularExpression(QStringLiteral("^Title: +Протокол №7$"),
                                                        QRegularExpression::MultilineOption)),
             qPrintable(pdfInfo(path)));
    QVERIFY2(pdfInfo(path).contains(QRegularExpression(QStringLiteral("^Creator: +Transformer bench 1\\.2\\.3 \\(abcdef0\\)$"),
                                                        QRegularExpression::MultilineOption)),
             qPrintable(pdfInfo(path)));
}

// A workshop PC runs under Russian regional settings, which Qt's application object hands to
// the C library: the PDF and the sheet file come out the same there as under C, but for the
// moment of writing and the document's random identity a PDF carries.
void TestSheetOutput::filesAreTheSameUnderAnyLocale()
{
    QTemporaryDir dir;
    Sheet sheet = boxSheet();
    sheet.texts.first().lines = {QStringLiteral("14.4 Ом 0,512")};
    sheet.texts.first().lineHeightMm = 4.05;
    const QByteArray before = std::setlocale(LC_ALL, nullptr);
    const auto written = [&](const char *locale, QByteArray *pdf, QByteArray *stored) {
        if (!std::setlocale(LC_ALL, locale))
            return false;
        const QString name = dir.filePath(QString::fromLatin1(locale));
        SheetStore store;
        store.setSheet(sheet);
        const bool ok = SheetOutput::writePdf({sheet, sheet}, name + QStringLiteral(".pdf"), nullptr,
                                              QStringLiteral("Протокол №7"))
            && store.save(name + QStringLiteral(".qrp"));
        std::setlocale(LC_ALL, before.constData());
        QFile a(name + QStringLiteral(".pdf")), b(name + QStringLiteral(".qrp"));
        if (!ok || !a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
            return false;
        // The moment of writing and the identity are the only parts that may differ.
        static const QRegularExpression moment(QStringLiteral("D:\\d{14}[^)]*|\\d{4}-\\d\\d-\\d\\dT[0-9:.+Z-]*"
                                                               "|uuid:[0-9a-f-]+|/ID \\[[^\\]]*\\]"));
        *pdf = QString::fromLatin1(a.readAll()).replace(moment, QStringLiteral("-")).toLatin1();
        *stored = b.readAll();
        return true;
    };
    QByteArray pdfInC, sheetInC, pdfInRussian, sheetInRussian;
    QVERIFY(written("C", &pdfInC, &sheetInC));
    if (!written("ru_RU.UTF-8", &pdfInRussian, &sheetInRussian))
        QSKIP("the locale ru_RU.UTF-8 is not made here (scripts/deps.sh makes it)");
    QVERIFY(pdfInC.size() > 1000);
    QVERIFY(pdfInC == pdfInRussian);
    QVERIFY(!sheetInC.isEmpty());
    QVERIFY(sheetInC == sheetInRussian);
}

// A failed job says what stood in its way, as the file system or the print system tells it.
void TestSheetOutput::printFailuresSayWhy_data()
{
    QTest::addColumn<QString>("file"); // within a temporary folder holding the folder "sub"
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QStringList>("printers");
    QTest::addColumn<bool>("serviceAnswers");
    QTest::addColumn<QString>("reason"); // %1: the temporary folder
    const QStringList one = {QStringLiteral("Kyocera")};
    QTest::newRow("no folder") << "no/such/p.pdf" << "" << one << true << "Папки «%1/no/such» нет.";
    QTest::newRow("a folder named as the file") << "sub" << "" << one << true << "«%1/sub» — папка, а не файл.";
    QTest::newRow("no printer") << "" << "" << QStringList() << true << "В системе не установлен ни один принтер.";
    QTest::newRow("no print service") << "" << "" << QStringList() << false
                                      << "Служба печати (CUPS) не отвечает: принтеры недоступны.";
    QTest::newRow("a printer that is gone") << "" << "HP" << one << true << "Принтера «HP» в системе нет.";
    QTest::newRow("no default printer") << "" << "" << one << true
                                        << "Принтер не выбран, а принтер по умолчанию в системе не задан.";
    QTest::newRow("the printer refused") << "" << "Kyocera" << one << true << "Принтер «Kyocera» не принял задание.";
}

void TestSheetOutput::printFailuresSayWhy()
{
    QFETCH(QString, file);
    QFETCH(QString, printer);
    QFETCH(QStringList, printers);
    QFETCH(bool, serviceAnswers);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString path = file.isEmpty() ? QString() : dir.filePath(file);
    QCOMPARE(SheetPrinting::failureReason(path, printer, {printers, serviceAnswers}),
             reason.replace(QStringLiteral("%1"), QDir::toNativeSeparators(dir.path())));
}

QTEST_MAIN(TestSheetOutput)
#include "tst_sheetoutput.moc"
