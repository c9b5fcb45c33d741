#pragma once

#include "sheet.h"

#include <QImage>
#include <QList>
#include <QString>


namespace SheetOutput {

// What a PDF names as its creator, printed or saved: "Transformer bench" and the version
// the program puts on its application object ("Transformer bench 1.0.0 (fbb7b02)").
QString pdfCreator();

// Several sheets as one multi-page A4 PDF with vector text and embedded fonts, titled
// `title` ("Протокол №12").
bool writePdf(const QList<Sheet> &sheets, const QString &path, QString *error = nullptr,
              const QString &title = QString());
// The whole paper at the given resolution, white background.
QImage renderImage(const Sheet &sheet, double dpi);

} // namespace SheetOutput
