#include "sheetoutput.h"
#include "sheetstore.h"

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
    void emptyStoreIsNotPrinted();
    void pdfOfSeveralSheetsIsOneFile();
    void pdfNamesTheProgramsVersion();
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
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (fromPage > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(fromPage, fromPage);
    }
    SheetStore store;
    store.setSheet(boxSheet());
    QString error;
    QVERIFY2(SheetOutput::print(store, printer, &error), qPrintable(error));
    if (printedPages == 0) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    const QString info = pdfInfo(path);
    QCOMPARE(pages(info), printedPages);
    QVERIFY2(info.contains(landscape ? QStringLiteral("842 x 595") : QStringLiteral("595 x 842")), qPrintable(info));
}

void TestSheetOutput::emptyStoreIsNotPrinted()
{
    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("none.pdf")));
    SheetStore store;
    QString error;
    QVERIFY(!SheetOutput::print(store, printer, &error));
    QVERIFY(!error.isEmpty());
    store.beginGeneration();
    QVERIFY(!SheetOutput::print(store, printer, &error));
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
    const bool written = SheetOutput::writePdf({boxSheet()}, path);
    QCoreApplication::setApplicationVersion(QString());
    QVERIFY(written);
    QVERIFY2(pdfInfo(path).contains(QRegularExpression(QStringLiteral("^Creator: +Transformer bench 1\\.2\\.3 \\(abcdef0\\)$"),
                                                        QRegularExpression::MultilineOption)),
             qPrintable(pdfInfo(path)));
}

QTEST_MAIN(TestSheetOutput)
#include "tst_sheetoutput.moc"
