#pragma once

#include "sheet.h"

#include <QList>
#include <QString>

class QPrinter;
class SheetStore;

// Sheets on a printer. Apart from the report engine, which needs no widget module, because
// Qt's printing support brings Qt Widgets with it.
namespace SheetPrinting {

// Prints the store's sheet as one job with the printer's copies and page range, on the
// sheet's paper in its orientation, one-sided. Returns false with a reason when there is
// nothing to print or the printer fails.
bool print(const SheetStore &store, QPrinter &printer, QString *error = nullptr);
// Several sheets as one job, pages numbered from 1 in their order for the range; each sheet on
// its own paper.
bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error = nullptr);

} // namespace SheetPrinting
