#include "sheetstore.h"
#include "sheetview.h"
#include "viewzoom.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

Sheet a4()
{
    Sheet sheet;
    sheet.rects.append({QRectF(15.3, 15.3, 180.2, 20.4), 0.2646, true});
    return sheet;
}

struct ViewFixture {
    ViewFixture()
    {
        view.resize(600, 500);
        view.show();
    }
    int fittedWidthZoom() const
    {
        return ViewZoom::fitToWidth(QSizeF(210, 297), view.viewport()->width(), view.logicalDpiX());
    }
    SheetView view;
};

} // namespace

class TestSheetView : public QObject {
    Q_OBJECT
private slots:
    void storeAttachedBeforeItsSheetFitsItToTheWidthOnArrival();
    void finishedOrLoadedStoreKeepsTheZoom();
    void zoomOutsideTheRangeKeepsTheOldOne_data();
    void zoomOutsideTheRangeKeepsTheOldOne();
    void scrollBarsTrackTheZoomedSheet();
    void zoomKeepsThePointInTheMiddleOfTheView();
};

void TestSheetView::storeAttachedBeforeItsSheetFitsItToTheWidthOnArrival()
{
    ViewFixture f;
    QCOMPARE(f.view.frameShape(), QFrame::NoFrame);
    QCOMPARE(f.view.zoom(), 100);
    auto store = std::make_shared<SheetStore>();
    store->beginGeneration();
    f.view.setStore(store);
    QCOMPARE(f.view.zoom(), 100);
    store->setSheet(a4());
    QCOMPARE(f.view.zoom(), f.fittedWidthZoom());
    QVERIFY(f.view.zoom() != 100);

    // A later generation into the same attached store fits again.
    QVERIFY(f.view.setZoom(150));
    store->beginGeneration();
    store->setSheet(a4());
    QCOMPARE(f.view.zoom(), f.fittedWidthZoom());
}

void TestSheetView::finishedOrLoadedStoreKeepsTheZoom()
{
    ViewFixture f;
    QVERIFY(f.view.setZoom(75));
    auto finished = std::make_shared<SheetStore>();
    finished->setSheet(a4());
    f.view.setStore(finished);
    QCOMPARE(f.view.zoom(), 75);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.qrp"));
    QVERIFY(finished->save(path));
    QVERIFY(!finished->load(dir.filePath(QStringLiteral("absent.qrp"))));
    QVERIFY(finished->load(path));
    QCOMPARE(f.view.zoom(), 75);
}

void TestSheetView::zoomOutsideTheRangeKeepsTheOldOne_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("result");
    QTest::newRow("1 %") << 1 << 120;
    QTest::newRow("2 %") << 2 << 2;
    QTest::newRow("2000 %") << 2000 << 2000;
    QTest::newRow("2001 %") << 2001 << 120;
}

void TestSheetView::zoomOutsideTheRangeKeepsTheOldOne()
{
    QFETCH(int, percent);
    QFETCH(int, result);
    ViewFixture f;
    QVERIFY(f.view.setZoom(120));
    QCOMPARE(f.view.setZoom(percent), percent == result);
    QCOMPARE(f.view.zoom(), result);
}

void TestSheetView::scrollBarsTrackTheZoomedSheet()
{
    ViewFixture f;
    auto store = std::make_shared<SheetStore>();
    store->setSheet(a4());
    f.view.setStore(store);
    f.view.fitToPage();
    QCOMPARE(f.view.zoom(), ViewZoom::fitToPage(QSizeF(210, 297), QSizeF(f.view.viewport()->size()),
                                                f.view.logicalDpiX(), f.view.logicalDpiY()));
    QCOMPARE(f.view.verticalScrollBar()->maximum(), 0);
    QVERIFY(f.view.setZoom(400));
    const double sheetHeight = ViewZoom::sheetSizePx(QSizeF(210, 297), 400, f.view.logicalDpiX(),
                                                     f.view.logicalDpiX()).height();
    QVERIFY(qAbs(f.view.verticalScrollBar()->maximum() - (sheetHeight - f.view.viewport()->height())) <= 1.0);
    QVERIFY(f.view.horizontalScrollBar()->maximum() > 0);
    // Painting at a large zoom and scrolled must not trip over anything.
    f.view.verticalScrollBar()->setValue(f.view.verticalScrollBar()->maximum());
    f.view.viewport()->repaint();
}

// The operator zooms in on what is in the middle of the view, and out again from it.
void TestSheetView::zoomKeepsThePointInTheMiddleOfTheView()
{
    ViewFixture f;
    auto store = std::make_shared<SheetStore>();
    store->setSheet(a4());
    f.view.setStore(store);
    QScrollBar *h = f.view.horizontalScrollBar();
    QScrollBar *v = f.view.verticalScrollBar();
    const QSize viewport = f.view.viewport()->size();
    const auto middle = [&] {
        const QSizeF sheet = ViewZoom::sheetSizePx(QSizeF(210, 297), f.view.zoom(), f.view.logicalDpiX(),
                                                   f.view.logicalDpiX());
        return QPointF((h->value() + viewport.width() / 2.0) / sheet.width() * 210.0,
                       (v->value() + viewport.height() / 2.0) / sheet.height() * 297.0);
    };
    QVERIFY(f.view.setZoom(200));
    h->setValue(h->maximum() / 3);
    v->setValue(v->maximum() * 2 / 3);
    const QPointF before = middle(); // in millimetres of the paper
    QVERIFY(f.view.setZoom(400));
    QVERIFY(QLineF(middle(), before).length() < 0.5);
    QVERIFY(f.view.setZoom(150));
    QVERIFY(QLineF(middle(), before).length() < 0.5);

    // A newly generated sheet arrives fitted and where the view was, not moved.
    v->setValue(0);
    h->setValue(0);
    store->beginGeneration();
    f.view.setStore(store);
    store->setSheet(a4());
    QCOMPARE(f.view.zoom(), f.fittedWidthZoom());
    QCOMPARE(v->value(), 0);
}

QTEST_MAIN(TestSheetView)
#include "tst_sheetview.moc"
