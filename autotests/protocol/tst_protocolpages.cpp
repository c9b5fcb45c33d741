#include "report.h"
#include "sheetoutput.h"
#include "sheetstore.h"
#include "units.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate Today(2026, 3, 14);
constexpr double Dpi = 300.0;
// The band's top-left corner on the paper: both bands start at the top margin.
const QPointF BandOrigin(10.0, 10.0);

QPoint toPx(double xMm, double yMm)
{
    return QPoint(int(Units::mmToDevice(xMm, Dpi)), int(Units::mmToDevice(yMm, Dpi)));
}

bool isDark(QRgb pixel) { return qGray(pixel) < 128; }

// Dark pixels within an area given in millimetres of the paper.
int darkPixels(const QImage &image, const QRectF &mm)
{
    const QPoint a = toPx(mm.left(), mm.top());
    const QPoint b = toPx(mm.right(), mm.bottom());
    int count = 0;
    for (int y = qMax(0, a.y()); y <= qMin(image.height() - 1, b.y()); ++y) {
        for (int x = qMax(0, a.x()); x <= qMin(image.width() - 1, b.x()); ++x)
            count += isDark(image.pixel(x, y));
    }
    return count;
}

QRectF paperRect(const TForm3 &form, const char *name)
{
    const ReportElement *e = form.element(QString::fromLatin1(name));
    return e ? e->geometryMm.translated(BandOrigin) : QRectF();
}

const SheetTextOp *textAt(const Sheet &sheet, const QRectF &paperMm)
{
    for (const SheetTextOp &op : sheet.texts) {
        if (op.rectMm == paperMm)
            return &op;
    }
    return nullptr;
}

QString runTool(const QString &tool, const QStringList &args)
{
    QProcess process;
    process.start(tool, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestProtocolPages : public QObject {
    Q_OBJECT
private slots:
    void elementsSitWhereTheLayoutPutsThem_data();
    void elementsSitWhereTheLayoutPutsThem();
    void fixedTextsKeepTheirLookAlikeLetters();
    void variableFieldsStartEmpty();
    void everyNameIsUniqueAcrossBothPages();
    void settersReachElementsByNameAndKindOnly();
    void eachPageIsOneSheetFromTheTopMargin();
    void bottomAlignedBandNeverRisesAboveThePosition();
    void overlaidHeaderWithWidthZeroDisappears();
    void schemeAndDatePrintAsOnPaper();
    void oneLineCaptionTooWideIsCondensedToFit();
    void previewHookSeesTheNewStoreBeforeGeneration();
    void renderedPagesPutLinesAndTextsInTheirCells_data();
    void renderedPagesPutLinesAndTextsInTheirCells();
    void pdfHoldsTwoA4PagesWithTheFixedTexts();
};

void TestProtocolPages::elementsSitWhereTheLayoutPutsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRectF>("geometry");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<bool>("wordWrap");
    QTest::addColumn<bool>("opaque");
    const QString arial = QStringLiteral("Arial");
    const QString timesCyr = QStringLiteral("Times New Roman Cyr");
    QTest::newRow("firm") << "QRFirm" << QRectF(6.6, 6.6, 177.5, 16.9) << timesCyr << 18.0 << true << false << true << true << false;
    QTest::newRow("protocol title") << "QRProtocolNumber" << QRectF(6.3, 16.1, 178.1, 8.2) << "Times New Roman" << 14.0 << true << false << true << true << false;
    QTest::newRow("scope caption, one line") << "QRLabel6" << QRectF(6.6, 25.7, 31.8, 6.9) << timesCyr << 12.0 << false << true << false << false << false;
    QTest::newRow("type value, one line") << "QRName2" << QRectF(51.6, 47.6, 42.6, 6.9) << timesCyr << 12.0 << true << false << false << false << false;
    QTest::newRow("group, opaque") << "QRGroup" << QRectF(148.2, 67.5, 36.0, 5.6) << timesCyr << 12.0 << true << false << false << true << true;
    QTest::newRow("scheme in Symbol") << "QRCircuit" << QRectF(148.2, 80.7, 36.0, 5.6) << "Symbol" << 12.0 << true << false << false << true << false;
    QTest::newRow("ratio heading") << "QRLabel8" << QRectF(5.3, 92.6, 180.2, 5.6) << arial << 13.0 << true << false << true << true << true;
    // Cells: inset 1.3 mm left, right and top, 2.6 mm less high.
    QTest::newRow("ratio data cell") << "QRKI" << QRectF(33.1, 112.4, 12.2, 13.5) << arial << 10.0 << false << false << true << true << false;
    QTest::newRow("no-load data cell") << "QRUab00" << QRectF(6.6, 160.1, 16.2, 5.6) << arial << 10.0 << false << false << true << true << false;
    QTest::newRow("short-circuit losses") << "QRPkz11" << QRectF(169.3, 199.7, 14.9, 5.6) << arial << 10.0 << false << false << true << true << false;
    QTest::newRow("resistance header, 19.1 high") << "QRRichText13" << QRectF(6.6, 254.2, 20.2, 19.1) << arial << 10.0 << true << false << true << true << false;
    QTest::newRow("overlaid header") << "QRRichText2" << QRectF(141.6, 254.5, 20.1, 18.8) << arial << 10.0 << true << false << true << true << false;
    QTest::newRow("insulation corner") << "QRLabel4" << QRectF(6.6, 17.2, 26.8, 13.5) << arial << 10.0 << true << false << true << true << false;
    QTest::newRow("insulation data") << "QRTHL" << QRectF(152.1, 48.9, 32.1, 5.6) << arial << 10.0 << false << false << true << true << false;
    QTest::newRow("induced voltage") << "QRIsolation" << QRectF(5.3, 129.1, 180.2, 10.8) << arial << 13.0 << true << false << true << true << true;
    QTest::newRow("conclusion") << "QRConclusion" << QRectF(5.3, 155.6, 180.2, 94.5) << arial << 10.0 << false << false << false << true << true;
    QTest::newRow("date") << "QRSysData1" << QRectF(6.6, 259.3, 57.1, 5.6) << arial << 10.0 << false << false << true << false << false;
    QTest::newRow("chief") << "QRChief" << QRectF(127.0, 259.3, 57.1, 5.6) << arial << 10.0 << false << false << false << true << false;
}

void TestProtocolPages::elementsSitWhereTheLayoutPutsThem()
{
    QFETCH(QString, name);
    QFETCH(QRectF, geometry);
    TForm3 form;
    const ReportElement *e = form.element(name);
    QVERIFY(e);
    QVERIFY2(qAbs(e->geometryMm.x() - geometry.x()) < 1e-6 && qAbs(e->geometryMm.y() - geometry.y()) < 1e-6
                 && qAbs(e->geometryMm.width() - geometry.width()) < 1e-6
                 && qAbs(e->geometryMm.height() - geometry.height()) < 1e-6,
             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(e->geometryMm.x()).arg(e->geometryMm.y())
                            .arg(e->geometryMm.width()).arg(e->geometryMm.height())));
    QTEST(e->font.family, "family");
    QTEST(e->font.pointSize, "points");
    QTEST(e->font.bold, "bold");
    QTEST(e->font.italic, "italic");
    if (e->kind == ElementKind::Label) {
        QTEST(e->centred, "centred");
        QTEST(e->wordWrap, "wordWrap");
        QTEST(e->opaque, "opaque");
    }
}

void TestProtocolPages::fixedTextsKeepTheirLookAlikeLetters()
{
    TForm3 form;
    const Sheet page1 = form.StendReport.generate(Today);
    QStringList texts;
    for (const SheetTextOp &op : page1.texts)
        texts << op.lines.join(QLatin1Char('|'));
    // Voltage header of the short-circuit table: Cyrillic "кз", Latin "B".
    QVERIFY(texts.contains(QStringLiteral("Uкз, ") + QChar(0x0042)));
    // Losses: Cyrillic "хх"; current: Latin "xx".
    QVERIFY(texts.contains(QStringLiteral("P") + QChar(0x0445) + QChar(0x0445) + QStringLiteral(", Вт")));
    QVERIFY(texts.contains(QStringLiteral("Ixx, ") + QChar(0x0410)));
    // Phase headers: Latin in the no-load table, Cyrillic in the short-circuit table.
    QCOMPARE(texts.count(QStringLiteral("A")), 1);
    QCOMPARE(texts.count(QString(QChar(0x0410))), 1);
    QCOMPARE(texts.count(QString(QChar(0x0421))), 1);
    QVERIFY(texts.contains(QStringLiteral("Uab|Ubc|Uca")));
    QCOMPARE(form.element(QStringLiteral("QRRichText6"))->lines, QStringList({"a0", "b0", "c0", "%"}));
    QCOMPARE(form.element(QStringLiteral("QRRichText2"))->lines, QStringList({"ab", "ca", "bc", "%"}));
    QCOMPARE(form.element(QStringLiteral("QRLabel1"))->caption, QStringLiteral("  Заводской №"));
    QCOMPARE(form.element(QStringLiteral("QRLabel4"))->caption, QStringLiteral(" "));
}

void TestProtocolPages::variableFieldsStartEmpty()
{
    TForm3 form;
    for (const char *name : {"QRFirm", "QRProtocolNumber", "QRLabel9", "QRName2", "QRCircuit", "QRTemperature",
                             "QRUab00", "QRPkz11", "QRUkz102", "QRLabel64", "QRChief", "QRConclusion",
                             "QRIsolation", "QROilAnalysis", "QRRHigh15"})
        QVERIFY2(form.element(QString::fromLatin1(name))->caption.isEmpty(), name);
    for (const char *name : {"QRUI", "QRKV", "QRUnn", "QRResistenceI", "QRResistenceHH"})
        QVERIFY2(form.element(QString::fromLatin1(name))->lines.isEmpty(), name);
}

void TestProtocolPages::everyNameIsUniqueAcrossBothPages()
{
    // A name on both pages would let a setter write the wrong one.
    TForm3 form;
    QSet<QString> names;
    for (const PageDocument *page : {&form.StendReport, &form.StendReport2}) {
        for (const ReportElement &e : page->elements()) {
            QVERIFY2(!e.name.isEmpty(), qPrintable(page->name()));
            QVERIFY2(!names.contains(e.name), qPrintable(e.name));
            names.insert(e.name);
        }
    }
}

void TestProtocolPages::settersReachElementsByNameAndKindOnly()
{
    TForm3 form;
    QVERIFY(form.setCaption(QStringLiteral("QRFirm"), QStringLiteral("Завод")));
    QVERIFY(form.setCaption(QStringLiteral("QRChief"), QStringLiteral("Иванов")));
    QVERIFY(form.setLines(QStringLiteral("QRUI"), {"1", "", "3"}));
    QVERIFY(!form.setCaption(QStringLiteral("QRNoSuchLabel"), QStringLiteral("x")));
    QVERIFY(!form.setCaption(QStringLiteral("QRUI"), QStringLiteral("x")));
    QVERIFY(!form.setLines(QStringLiteral("QRFirm"), {"x"}));
    QCOMPARE(form.element(QStringLiteral("QRFirm"))->caption, QStringLiteral("Завод"));
    QCOMPARE(form.element(QStringLiteral("QRUI"))->lines, QStringList({"1", "", "3"}));
    QVERIFY(form.setWidthPx(QStringLiteral("QRRichText6"), 76));
    QVERIFY(qAbs(form.element(QStringLiteral("QRRichText6"))->geometryMm.width() - 20.1) < 0.01);
    // Empty lines keep the rows below in place.
    const Sheet page1 = form.StendReport.generate(Today);
    const SheetTextOp *ui = textAt(page1, paperRect(form, "QRUI"));
    QVERIFY(ui);
    QCOMPARE(ui->lines, QStringList({"1", "", "3"}));
}

void TestProtocolPages::eachPageIsOneSheetFromTheTopMargin()
{
    TForm3 form;
    for (PageDocument *page : {&form.StendReport, &form.StendReport2}) {
        QVERIFY(page->band().sizeMm.height() > 277.0);
        const Sheet sheet = page->generate(Today);
        QCOMPARE(sheet.paperMm, QSizeF(210, 297));
        QCOMPARE(sheet.orientation, QPageLayout::Portrait);
        // The topmost element of each page sits 5.3 mm into the band, the lowest ends inside the margin.
        double top = 1000.0, bottom = 0.0;
        for (const SheetRectOp &r : sheet.rects) {
            top = qMin(top, r.rectMm.top());
            bottom = qMax(bottom, r.rectMm.bottom());
        }
        for (const SheetTextOp &t : sheet.texts)
            top = qMin(top, t.rectMm.top());
        QVERIFY(qAbs(top - 15.3) < 1e-9);
        QVERIFY(bottom <= 287.0 + 1e-9);
    }
    QVERIFY(form.StendReport.band().alignToBottom);
}

void TestProtocolPages::bottomAlignedBandNeverRisesAboveThePosition()
{
    PageDocument page(QStringLiteral("short"));
    ReportElement box;
    box.name = QStringLiteral("Box");
    box.kind = ElementKind::Rectangle;
    box.geometryMm = QRectF(0, 0, 10, 10);
    page.addElement(box);
    page.setBand({QStringLiteral("Band"), QSizeF(190, 100), true});
    QCOMPARE(page.generate(Today).rects.first().rectMm.top(), 297.0 - 10.0 - 100.0);
    page.setBand({QStringLiteral("Band"), QSizeF(190, 100), false});
    QCOMPARE(page.generate(Today).rects.first().rectMm.top(), 10.0);
    page.setBand({QStringLiteral("Band"), QSizeF(190, 400), true});
    QCOMPARE(page.generate(Today).rects.first().rectMm.top(), 10.0);
}

void TestProtocolPages::overlaidHeaderWithWidthZeroDisappears()
{
    TForm3 form;
    QVERIFY(form.setWidthPx(QStringLiteral("QRRichText6"), 76));
    QVERIFY(form.setWidthPx(QStringLiteral("QRRichText2"), 0));
    const Sheet sheet = form.StendReport.generate(Today);
    QStringList overlaid;
    for (const SheetTextOp &op : sheet.texts) {
        if (op.rectMm.topLeft() == QPointF(151.6, 264.5))
            overlaid << op.lines.join(QLatin1Char(','));
    }
    QCOMPARE(overlaid, QStringList{QStringLiteral("a0,b0,c0,%")});
}

void TestProtocolPages::schemeAndDatePrintAsOnPaper()
{
    TForm3 form;
    QVERIFY(form.setCaption(QStringLiteral("QRCircuit"), QStringLiteral("U / D - 11")));
    const Sheet page1 = form.StendReport.generate(Today);
    const SheetTextOp *scheme = textAt(page1, paperRect(form, "QRCircuit"));
    QVERIFY(scheme);
    QCOMPARE(scheme->lines, QStringList{QString::fromUtf8("Υ / Δ - 11")});
    QCOMPARE(scheme->family, QStringLiteral("Liberation Serif"));

    const Sheet page2 = form.StendReport2.generate(Today);
    const SheetTextOp *date = textAt(page2, paperRect(form, "QRSysData1"));
    QVERIFY(date);
    QCOMPARE(date->lines, QStringList{QStringLiteral("14.03.2026")});
    if (QLocale::system().language() == QLocale::Russian)
        QCOMPARE(date->lines.first(), QLocale::system().toString(Today, QLocale::ShortFormat));
    QVERIFY(date->centred);
}

// The ratio table's tap headers are wider than their boxes at 9 pt: they print whole and
// centred, condensed to the box.
void TestProtocolPages::oneLineCaptionTooWideIsCondensedToFit()
{
    TForm3 form;
    const Sheet sheet = form.StendReport.generate(Today);
    QHash<QString, const SheetTextOp *> byText;
    for (const SheetTextOp &op : sheet.texts) {
        if (op.lines.size() == 1)
            byText.insert(op.lines.first(), &op);
    }
    for (const char *tap : {"II ступень", "III ступень", "IV ступень", "V ступень"}) {
        const SheetTextOp *op = byText.value(QString::fromUtf8(tap));
        QVERIFY2(op && op->centred, tap);
        QVERIFY2(op->widthScale >= 0.8 && op->widthScale < 1.0, tap);
    }
    for (const char *fits : {"I ступень", "K", "Uнн.ном"}) {
        const SheetTextOp *op = byText.value(QString::fromUtf8(fits));
        QVERIFY2(op && op->centred && op->widthScale == 1.0, fits);
    }

    // Drawn with nothing to clip it, the widest keeps within its box and fills most of it.
    Sheet alone;
    SheetTextOp widest = *byText.value(QString::fromUtf8("III ступень"));
    widest.clipMm = QRectF(QPointF(0, 0), alone.paperMm);
    alone.texts.append(widest);
    const QImage image = SheetOutput::renderImage(alone, Dpi);
    const QPoint from = toPx(0.0, widest.rectMm.top());
    const QPoint to = toPx(0.0, widest.rectMm.top() + widest.lineHeightMm);
    int first = image.width(), last = -1;
    for (int y = from.y(); y < to.y(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isDark(image.pixel(x, y))) {
                first = qMin(first, x);
                last = qMax(last, x);
            }
        }
    }
    QVERIFY(first >= toPx(widest.rectMm.left() - 0.2, 0.0).x());
    QVERIFY(last <= toPx(widest.rectMm.right() + 0.2, 0.0).x());
    QVERIFY(last - first >= 0.9 * (toPx(widest.rectMm.right(), 0.0).x() - toPx(widest.rectMm.left(), 0.0).x()));
}

void TestProtocolPages::previewHookSeesTheNewStoreBeforeGeneration()
{
    TForm3 form;
    std::shared_ptr<SheetStore> seen;
    bool completeWhenSeen = true;
    form.StendReportPreview = [&](const std::shared_ptr<SheetStore> &store) {
        seen = store;
        completeWhenSeen = store->isComplete() || store->hasSheet();
    };
    form.previewStendReport(Today);
    QVERIFY(seen);
    QVERIFY(!completeWhenSeen);
    QCOMPARE(seen, form.stendReportStore());
    QVERIFY(seen->isComplete() && seen->hasSheet());

    const auto first = seen;
    form.previewStendReport(Today);
    QVERIFY(form.stendReportStore() != first);
    QVERIFY(first->hasSheet()); // the preview may still show the old one until it attaches the new

    const auto page2 = form.prepareStendReport2(Today);
    QCOMPARE(page2, form.stendReport2Store());
    QVERIFY(page2->isComplete() && page2->hasSheet());
    QVERIFY(form.prepareStendReport2(Today) != page2);
}

void TestProtocolPages::renderedPagesPutLinesAndTextsInTheirCells_data()
{
    // Vertical edges (x) checked at a height y inside the rectangle, all in paper millimetres.
    QTest::addColumn<int>("page");
    QTest::addColumn<double>("edgeX");
    QTest::addColumn<double>("atY");
    QTest::newRow("title box, left") << 1 << 15.3 << 25.0;
    QTest::newRow("title box, right") << 1 << 195.5 << 25.0;
    QTest::newRow("rating boxes meet") << 1 << 105.2 << 70.0;
    QTest::newRow("ratio c1 left") << 1 << 25.9 << 130.0;
    QTest::newRow("no-load c8 left") << 1 << 163.5 << 172.0;
    QTest::newRow("short-circuit c7 left") << 1 << 135.7 << 212.0;
    QTest::newRow("resistance c7 left") << 1 << 172.7 << 275.0;
    QTest::newRow("insulation c5 left") << 2 << 160.8 << 60.0;
    QTest::newRow("middle signature box") << 2 << 74.8 << 275.0;
}

void TestProtocolPages::renderedPagesPutLinesAndTextsInTheirCells()
{
    QFETCH(int, page);
    QFETCH(double, edgeX);
    QFETCH(double, atY);
    TForm3 form;
    QVERIFY(form.setCaption(QStringLiteral("QRUab00"), QStringLiteral("398.4")));
    QVERIFY(form.setCaption(QStringLiteral("QRUab10"), QStringLiteral("12.5 wraps onto a line that never prints")));
    QVERIFY(form.setCaption(QStringLiteral("QRUHL"), QStringLiteral("2.5")));
    const Sheet sheet = (page == 1 ? form.StendReport : form.StendReport2).generate(Today);
    const QImage image = SheetOutput::renderImage(sheet, Dpi);
    QCOMPARE(image.size(), QSize(2480, 3508));

    QVERIFY2(darkPixels(image, QRectF(edgeX - 0.5, atY, 1.0, 0.0)) > 0, "edge not within half a millimetre");
    // Beside the edge (1.0..1.2 mm away, inside cells) the paper is white.
    QCOMPARE(darkPixels(image, QRectF(edgeX + 1.0, atY, 0.2, 0.0)), 0);

    const auto inset = [&](const char *name) { return paperRect(form, name); };
    if (page == 1) {
        QVERIFY(darkPixels(image, inset("QRUab00")) > 50);
        QCOMPARE(darkPixels(image, inset("QRUbc00")), 0);
        // Only the first line of a wrapping cell text prints: nothing below it in the cell.
        const QRectF wrapped = inset("QRUab10");
        QVERIFY(darkPixels(image, wrapped) > 50);
        QCOMPARE(darkPixels(image, QRectF(wrapped.left(), wrapped.top() + 4.3, wrapped.width(), 2.0)), 0);
    } else {
        QVERIFY(darkPixels(image, inset("QRUHL")) > 20);
        QCOMPARE(darkPixels(image, inset("QRUlow")), 0);
    }
}

void TestProtocolPages::pdfHoldsTwoA4PagesWithTheFixedTexts()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        QSKIP("pdftotext/pdfinfo (poppler-utils) are not installed");

    TForm3 form;
    QVERIFY(form.setCaption(QStringLiteral("QRCircuit"), QStringLiteral("U / D - 11")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("protocol.pdf"));
    QString error;
    QVERIFY2(SheetOutput::writePdf({form.StendReport.generate(Today), form.StendReport2.generate(Today)}, path, &error),
             qPrintable(error));

    const QString info = runTool(pdfinfo, {path});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)?"))),
             qPrintable(info));
    // pdffonts columns end in: emb sub uni object generation.
    const QStringList fonts = runTool(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    for (const QString &font : fonts) {
        const QStringList columns = font.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY2(columns.size() > 5 && columns.at(columns.size() - 5) == QLatin1String("yes"), qPrintable(font));
    }

    // Compare without blanks: the text layer's spacing is the extractor's, the letters are ours.
    const auto squeeze = [](QString s) { return s.remove(QRegularExpression(QStringLiteral("\\s"))); };
    const QString text = squeeze(runTool(pdftotext, {QStringLiteral("-raw"), path, QStringLiteral("-")}));
    QVERIFY(!text.isEmpty());
    int checked = 0;
    for (const PageDocument *page : {&form.StendReport, &form.StendReport2}) {
        for (const ReportElement &e : page->elements()) {
            for (const QString &fixed : QStringList(e.caption) + e.lines) {
                const QString printed = squeeze(fixed);
                if (printed.isEmpty() || e.name == QLatin1String("QRCircuit"))
                    continue;
                QVERIFY2(text.contains(printed), qPrintable(e.name + QLatin1Char(' ') + fixed));
                ++checked;
            }
        }
    }
    QVERIFY(checked > 60);
    QVERIFY(text.contains(QString::fromUtf8("Υ/Δ-11")));
}

QTEST_MAIN(TestProtocolPages)
#include "tst_protocolpages.moc"
