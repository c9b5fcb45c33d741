#pragma once

#include "sheet.h"

#include <QPointF>

class QPainter;

// Draws a sheet on any painter device at any scale. `originPx` is where the paper's top-left
// corner falls in device pixels, `pxPerMm` the scale (Units::devicePerMm(dpi) for 100 %).
namespace SheetRenderer {

void render(QPainter &painter, const Sheet &sheet, QPointF originPx, double pxPerMm);

} // namespace SheetRenderer
