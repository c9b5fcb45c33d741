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
        fitToWidth();
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
    if (!ViewZoom::isAcceptable(percent))
        return false;
    if (percent != m_zoom) {
        m_zoom = percent;
        emit zoomChanged(percent);
    }
    updateScrollBars();
    viewport()->update();
    return true;
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
