#pragma once

#include "sheet.h"

#include <QImage>
#include <QList>
#include <QString>

class QPrinter;
class SheetStore;

namespace SheetOutput {

// Prints the store's sheet as one job with the printer's copies and page range, on the
// sheet's paper in its orientation, one-sided. Returns false with a reason when there is
// nothing to print or the printer fails.
bool print(const SheetStore &store, QPrinter &printer, QString *error = nullptr);
// Several sheets as one job, pages numbered from 1 in their order for the range; each sheet on
// its own paper.
bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error = nullptr);
// Several sheets as one multi-page A4 PDF with vector text and embedded fonts.
bool writePdf(const QList<Sheet> &sheets, const QString &path, QString *error = nullptr);
// The whole paper at the given resolution, white background.
QImage renderImage(const Sheet &sheet, double dpi);

} // namespace SheetOutput
