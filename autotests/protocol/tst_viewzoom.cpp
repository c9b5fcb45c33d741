#include "units.h"
#include "viewzoom.h"

#include <QTest>

class TestViewZoom : public QObject {
    Q_OBJECT
private slots:
    void layoutPixelsConvertAtNinetySixPerInch_data();
    void layoutPixelsConvertAtNinetySixPerInch();
    void zoomOutsideTwoToTwoThousandPercentIsRefused_data();
    void zoomOutsideTwoToTwoThousandPercentIsRefused();
    void hundredPercentIsThePapersPhysicalSize();
    void fitToWidthMakesTheSheetNinetyPercentOfTheView_data();
    void fitToWidthMakesTheSheetNinetyPercentOfTheView();
    void fitToPageTakesTheSmallerOfWidthAndHeight_data();
    void fitToPageTakesTheSmallerOfWidthAndHeight();
    void smallSheetIsCentredLargeSheetFollowsTheScrollBar_data();
    void smallSheetIsCentredLargeSheetFollowsTheScrollBar();
};

void TestViewZoom::layoutPixelsConvertAtNinetySixPerInch_data()
{
    QTest::addColumn<double>("px");
    QTest::addColumn<double>("mm");
    QTest::newRow("overlaid header width") << 76.0 << 20.108;
    QTest::newRow("one pixel of overlap") << 1.0 << 0.2646;
    QTest::newRow("cell inset") << 5.0 << 1.323;
    QTest::newRow("an inch") << 96.0 << 25.4;
    QTest::newRow("zero") << 0.0 << 0.0;
}

void TestViewZoom::layoutPixelsConvertAtNinetySixPerInch()
{
    QFETCH(double, px);
    QFETCH(double, mm);
    QVERIFY(qAbs(Units::layoutPxToMm(px) - mm) < 0.001);
    QVERIFY(qAbs(Units::mmToLayoutPx(mm) - px) < 0.01);
}

void TestViewZoom::zoomOutsideTwoToTwoThousandPercentIsRefused_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("1") << 1 << false;
    QTest::newRow("2") << 2 << true;
    QTest::newRow("100") << 100 << true;
    QTest::newRow("2000") << 2000 << true;
    QTest::newRow("2001") << 2001 << false;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("negative") << -50 << false;
}

void TestViewZoom::zoomOutsideTwoToTwoThousandPercentIsRefused()
{
    QFETCH(int, percent);
    QFETCH(bool, acceptable);
    QCOMPARE(ViewZoom::isAcceptable(percent), acceptable);
}

void TestViewZoom::hundredPercentIsThePapersPhysicalSize()
{
    // A4 at 96 dpi: 793.7 x 1122.5 screen pixels; at 200 %, twice that.
    const QSizeF a4(210.0, 297.0);
    const QSizeF at100 = ViewZoom::sheetSizePx(a4, 100, 96.0, 96.0);
    QVERIFY(qAbs(at100.width() - 793.7) < 0.1);
    QVERIFY(qAbs(at100.height() - 1122.5) < 0.1);
    const QSizeF at200 = ViewZoom::sheetSizePx(a4, 200, 120.0, 120.0);
    QVERIFY(qAbs(at200.width() - 2 * 210.0 / 25.4 * 120.0) < 0.1);
}

void TestViewZoom::fitToWidthMakesTheSheetNinetyPercentOfTheView_data()
{
    QTest::addColumn<double>("viewWidth");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("zoom");
    // 0.9 * 882 / 793.7 = 100.0 %
    QTest::newRow("exactly 100") << 882.0 << 96.0 << 100;
    QTest::newRow("half") << 441.0 << 96.0 << 50;
    QTest::newRow("high dpi halves the zoom") << 882.0 << 192.0 << 50;
    QTest::newRow("empty view") << 0.0 << 96.0 << 0;
}

void TestViewZoom::fitToWidthMakesTheSheetNinetyPercentOfTheView()
{
    QFETCH(double, viewWidth);
    QFETCH(double, dpi);
    QFETCH(int, zoom);
    QCOMPARE(ViewZoom::fitToWidth(QSizeF(210.0, 297.0), viewWidth, dpi), zoom);
}

void TestViewZoom::fitToPageTakesTheSmallerOfWidthAndHeight_data()
{
    QTest::addColumn<QSizeF>("view");
    QTest::addColumn<int>("zoom");
    // 95 % of 1000 / 793.7 = 119.7 %; 95 % of 600 / 1122.5 = 50.8 %.
    QTest::newRow("wide view: height limits") << QSizeF(1000, 600) << 51;
    // 95 % of 400 / 793.7 = 47.9 %; 95 % of 2000 / 1122.5 = 169 %.
    QTest::newRow("tall view: width limits") << QSizeF(400, 2000) << 48;
}

void TestViewZoom::fitToPageTakesTheSmallerOfWidthAndHeight()
{
    QFETCH(QSizeF, view);
    QFETCH(int, zoom);
    QCOMPARE(ViewZoom::fitToPage(QSizeF(210.0, 297.0), view, 96.0, 96.0), zoom);
}

void TestViewZoom::smallSheetIsCentredLargeSheetFollowsTheScrollBar_data()
{
    QTest::addColumn<double>("sheet");
    QTest::addColumn<double>("view");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<double>("offset");
    QTest::newRow("smaller: centred, scroll ignored") << 600.0 << 1000.0 << 30 << 200.0;
    QTest::newRow("larger, at the start") << 1200.0 << 1000.0 << 0 << 0.0;
    QTest::newRow("larger, scrolled") << 1200.0 << 1000.0 << 150 << -150.0;
}

void TestViewZoom::smallSheetIsCentredLargeSheetFollowsTheScrollBar()
{
    QFETCH(double, sheet);
    QFETCH(double, view);
    QFETCH(int, scroll);
    QFETCH(double, offset);
    QCOMPARE(ViewZoom::sheetOffset(sheet, view, scroll), offset);
}

QTEST_APPLESS_MAIN(TestViewZoom)
#include "tst_viewzoom.moc"
