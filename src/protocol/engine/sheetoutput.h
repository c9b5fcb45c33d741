#pragma once

#include "sheet.h"

#include <QImage>
#include <QList>
#include <QString>


namespace SheetOutput {

// Several sheets as one multi-page A4 PDF with vector text and embedded fonts.
bool writePdf(const QList<Sheet> &sheets, const QString &path, QString *error = nullptr);
// The whole paper at the given resolution, white background.
QImage renderImage(const Sheet &sheet, double dpi);

} // namespace SheetOutput
