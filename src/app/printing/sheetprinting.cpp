#include "sheetprinting.h"

#include "sheetrenderer.h"
#include "sheetstore.h"
#include "units.h"

#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace SheetPrinting {

bool print(const SheetStore &store, QPrinter &printer, QString *error)
{
    const Sheet *sheet = store.sheet();
    if (!sheet || !store.isComplete()) {
        if (error)
            *error = QStringLiteral("there is no sheet to print");
        return false;
    }
    return print(QList<Sheet>{*sheet}, printer, error);
}

bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error, const Overlay &overlay)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (sheets.isEmpty())
        return failed(QStringLiteral("there is no sheet to print"));
    // The range counts the job's sheets from 1; one that leaves them all out prints nothing, as asked.
    QList<const Sheet *> chosen;
    const bool ranged = printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty();
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (!ranged || printer.pageRanges().contains(int(i) + 1))
            chosen.append(&sheets[i]);
    }
    if (chosen.isEmpty())
        return true;

    // Print systems that cannot make copies themselves get the sheets repeated.
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QList<const Sheet *> order;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            order += chosen;
    } else {
        for (const Sheet *sheet : chosen)
            order += QList<const Sheet *>(copies, sheet);
    }

    // The sheet's own paper, one-sided, whatever the printer's default or the dialog's choice:
    // on Letter the bottom of an A4 sheet is cut, and the back of a sheet stays blank.
    printer.setDuplex(QPrinter::DuplexNone);
    const auto setPaper = [&printer](const Sheet &sheet) {
        printer.setPageSize(QPageSize(sheet.paperMm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
        printer.setPageOrientation(sheet.orientation);
    };
    setPaper(*order.first());
    QPainter painter;
    if (!painter.begin(&printer))
        return failed(QStringLiteral("the printer could not start the job"));
    for (qsizetype i = 0; i < order.size(); ++i) {
        const Sheet &sheet = *order[i];
        if (i > 0) {
            const Sheet &before = *order[i - 1];
            if (sheet.paperMm != before.paperMm || sheet.orientation != before.orientation)
                setPaper(sheet);
            if (!printer.newPage())
                break;
        }
        const double pxPerMm = Units::devicePerMm(printer.resolution());
        const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
        const QRectF page = printer.pageRect(QPrinter::DevicePixel);
        SheetRenderer::render(painter, sheet, paper.topLeft() - page.topLeft(), pxPerMm);
        if (overlay)
            overlay(painter, &sheet - sheets.data(), paper.topLeft() - page.topLeft(), pxPerMm);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return failed(QStringLiteral("the printer reported an error"));
    return true;
}

} // namespace SheetPrinting
