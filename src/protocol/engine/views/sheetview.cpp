#include "sheetview.h"

#include "sheetrenderer.h"
#include "sheetstore.h"
#include "viewzoom.h"

#include <QPainter>
#include <QScrollBar>

SheetView::SheetView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
}

SheetView::~SheetView() = default;

void SheetView::setStore(std::shared_ptr<SheetStore> store)
{
    disconnect(m_storeConnection);
    m_store = std::move(store);
    m_fitOnArrival = m_store && !m_store->isComplete();
    if (m_store)
        m_storeConnection = connect(m_store.get(), &SheetStore::changed, this, &SheetView::storeChanged);
    updateScrollBars();
    viewport()->update();
}

void SheetView::storeChanged()
{
    if (!m_store)
        return;
    if (!m_store->isComplete()) {
        m_fitOnArrival = true;
    } else if (m_fitOnArrival && m_store->hasSheet()) {
        m_fitOnArrival = false;
        // A new sheet is shown from where it was scrolled, not from a point of the old one.
        zoomTo(ViewZoom::fitToWidth(paperMm(), viewport()->width(), logicalDpiX()), false);
    }
    updateScrollBars();
    viewport()->update();
}

QSizeF SheetView::paperMm() const
{
    const Sheet *sheet = m_store ? m_store->sheet() : nullptr;
    return sheet ? sheet->orientedPaperMm() : QSizeF(210.0, 297.0);
}

bool SheetView::setZoom(int percent)
{
    return zoomTo(percent, true);
}

bool SheetView::zoomTo(int percent, bool keepCentre)
{
    if (!ViewZoom::isAcceptable(percent))
        return false;
    const QPointF centre = centreShare();
    const bool changed = percent != m_zoom;
    m_zoom = percent;
    updateScrollBars();
    if (changed && keepCentre) {
        const QSizeF sheet = ViewZoom::sheetSizePx(paperMm(), m_zoom, logicalDpiX(), logicalDpiX());
        horizontalScrollBar()->setValue(qRound(centre.x() * sheet.width() - viewport()->width() / 2.0));
        verticalScrollBar()->setValue(qRound(centre.y() * sheet.height() - viewport()->height() / 2.0));
    }
    if (changed)
        emit zoomChanged(percent);
    viewport()->update();
    return true;
}

QPointF SheetView::centreShare() const
{
    const QSizeF sheet = ViewZoom::sheetSizePx(paperMm(), m_zoom, logicalDpiX(), logicalDpiX());
    const auto share = [](double sheetPx, int viewPx, int scroll) {
        const double at = viewPx / 2.0 - ViewZoom::sheetOffset(sheetPx, viewPx, scroll);
        return sheetPx > 0.0 ? qBound(0.0, at / sheetPx, 1.0) : 0.5;
    };
    return {share(sheet.width(), viewport()->width(), horizontalScrollBar()->value()),
            share(sheet.height(), viewport()->height(), verticalScrollBar()->value())};
}

void SheetView::fitToWidth()
{
    setZoom(ViewZoom::fitToWidth(paperMm(), viewport()->width(), logicalDpiX()));
}

void SheetView::fitToPage()
{
    setZoom(ViewZoom::fitToPage(paperMm(), QSizeF(viewport()->size()), logicalDpiX(), logicalDpiY()));
}

void SheetView::updateScrollBars()
{
    const QSizeF sheet = ViewZoom::sheetSizePx(paperMm(), m_zoom, logicalDpiX(), logicalDpiX());
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, qCeil(sheet.width()) - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(qMax(1, view.width() / 20));
    verticalScrollBar()->setRange(0, qMax(0, qCeil(sheet.height()) - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(qMax(1, view.height() / 20));
}

void SheetView::paintEvent(QPaintEvent *)
{
    const Sheet *sheet = m_store && m_store->isComplete() ? m_store->sheet() : nullptr;
    if (!sheet)
        return;
    const QSizeF size = ViewZoom::sheetSizePx(paperMm(), m_zoom, logicalDpiX(), logicalDpiX());
    const QPointF origin(
        ViewZoom::sheetOffset(size.width(), viewport()->width(), horizontalScrollBar()->value()),
        ViewZoom::sheetOffset(size.height(), viewport()->height(), verticalScrollBar()->value()));
    QPainter painter(viewport());
    painter.fillRect(QRectF(origin, size), Qt::white);
    // One scale for both axes keeps the paper's proportions on a screen of unequal DPI.
    SheetRenderer::render(painter, *sheet, origin, ViewZoom::pxPerMm(m_zoom, logicalDpiX()));
}

void SheetView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SheetView::scrollContentsBy(int, int) { viewport()->update(); }
