#include "viewzoom.h"

#include "units.h"

#include <QtGlobal>

#include <cmath>

namespace ViewZoom {

bool isAcceptable(int percent) { return percent >= MinZoom && percent <= MaxZoom; }

double pxPerMm(int percent, double logicalDpi)
{
    return Units::devicePerMm(logicalDpi) * percent / 100.0;
}

QSizeF sheetSizePx(QSizeF paperMm, int percent, double dpiX, double dpiY)
{
    return QSizeF(paperMm.width() * pxPerMm(percent, dpiX), paperMm.height() * pxPerMm(percent, dpiY));
}

namespace {

// The zoom at which `mm` of paper spans `px` screen pixels; 0 when nothing can fit.
int zoomFor(double px, double mm, double dpi)
{
    const double full = Units::mmToDevice(mm, dpi);
    if (!(full > 0.0) || !(px > 0.0))
        return 0;
    const double percent = px / full * 100.0;
    return percent > 1e6 ? 1000000 : int(std::lround(percent));
}

} // namespace

int fitToWidth(QSizeF paperMm, double viewWidthPx, double dpiX)
{
    return zoomFor(0.90 * viewWidthPx, paperMm.width(), dpiX);
}

int fitToPage(QSizeF paperMm, QSizeF viewPx, double dpiX, double dpiY)
{
    return qMin(zoomFor(0.95 * viewPx.width(), paperMm.width(), dpiX),
                zoomFor(0.95 * viewPx.height(), paperMm.height(), dpiY));
}

double sheetOffset(double sheetPx, double viewPx, int scroll)
{
    return sheetPx < viewPx ? (viewPx - sheetPx) / 2.0 : -double(scroll);
}

} // namespace ViewZoom
