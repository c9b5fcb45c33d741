#pragma once

#include <QSizeF>

// Zoom and fit arithmetic of the sheet views, kept apart from the widget so it can be tested.
// 100 % is the paper's physical size on a screen of the given logical DPI.
namespace ViewZoom {

inline constexpr int MinZoom = 2;
inline constexpr int MaxZoom = 2000;

bool isAcceptable(int percent);
double pxPerMm(int percent, double logicalDpi);
// Sheet size in screen pixels at the zoom.
QSizeF sheetSizePx(QSizeF paperMm, int percent, double dpiX, double dpiY);
// Zoom making the sheet 90 % of the view's width.
int fitToWidth(QSizeF paperMm, double viewWidthPx, double dpiX);
// The smaller of the zooms making the sheet 95 % of the view's width and of its height.
int fitToPage(QSizeF paperMm, QSizeF viewPx, double dpiX, double dpiY);
// Left/top offset of the sheet: centred when smaller than the view, else 0 less the scroll.
double sheetOffset(double sheetPx, double viewPx, int scroll);

} // namespace ViewZoom
