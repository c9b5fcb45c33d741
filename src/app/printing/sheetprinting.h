#pragma once

#include "sheet.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <functional>

class QPainter;
class QPrinter;
class SheetStore;

// Sheets on a printer. Apart from the report engine, which needs no widget module, because
// Qt's printing support brings Qt Widgets with it.
namespace SheetPrinting {

// Prints the store's sheet as one job with the printer's copies and page range, on the
// sheet's paper in its orientation, one-sided. Returns false with a reason in Russian
// (failureReason()) when there is nothing to print or the printer fails.
bool print(const SheetStore &store, QPrinter &printer, QString *error = nullptr);
// What a caller draws over a sheet after the renderer (a chart, say): the sheet's index in the
// list, where the paper's top-left corner falls in device pixels, and the scale.
using Overlay = std::function<void(QPainter &painter, qsizetype sheet, QPointF originPx, double pxPerMm)>;

// Several sheets as one job, pages numbered from 1 in their order for the range; each sheet on
// its own paper.
bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error = nullptr, const Overlay &overlay = {});

// Why a job on `printer` could not be printed, as the system tells it, for the operator: the
// file or folder that cannot be written, no printer in the system, the print service (CUPS)
// not answering, a chosen printer that is gone or reported an error. One sentence.
QString failureReason(const QPrinter &printer);

// What failureReason() goes by besides the printer's file and name.
struct PrintSystem {
    QStringList printers;       // the printers the system offers
    bool serviceAnswers = true; // the print service takes connections
};
PrintSystem printSystem();
// The same for a job into `outputFile` (empty: onto the printer `printerName`, empty for the
// system's default).
QString failureReason(const QString &outputFile, const QString &printerName, const PrintSystem &system);

} // namespace SheetPrinting
