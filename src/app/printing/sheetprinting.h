#pragma once

#include "sheet.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <functional>

class QPainter;
class QPrinter;
class SheetStore;

// Sheets on a printer. Apart from the report engine, which needs no widget module, because
// Qt's printing support brings Qt Widgets with it.
namespace SheetPrinting {

// Prints the store's sheet as one job with the printer's copies and page range, on the
// sheet's paper in its orientation, one-sided. Returns false with a reason when there is
// nothing to print or the printer fails.
bool print(const SheetStore &store, QPrinter &printer, QString *error = nullptr);
// What a caller draws over a sheet after the renderer (a chart, say): the sheet's index in the
// list, where the paper's top-left corner falls in device pixels, and the scale.
using Overlay = std::function<void(QPainter &painter, qsizetype sheet, QPointF originPx, double pxPerMm)>;

// Several sheets as one job, pages numbered from 1 in their order for the range; each sheet on
// its own paper.
bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error = nullptr, const Overlay &overlay = {});

} // namespace SheetPrinting
