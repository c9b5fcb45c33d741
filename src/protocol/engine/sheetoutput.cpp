#include "sheetoutput.h"

#include "sheetrenderer.h"
#include "sheetstore.h"
#include "units.h"
#include "wholefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPainter>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>

namespace {

QPageLayout layoutFor(const Sheet &sheet)
{
    const QPageSize size(sheet.paperMm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, sheet.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

namespace SheetOutput {

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

bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error)
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
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return failed(QStringLiteral("the printer reported an error"));
    return true;
}

bool writePdf(const QList<Sheet> &sheets, const QString &path, QString *error)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (sheets.isEmpty())
        return failed(QStringLiteral("there is no sheet to write"));
    // Made in memory (a few hundred kilobytes) and then written whole.
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        // The program puts its version on the application; the engine's other users have none.
        const QString version = QCoreApplication::applicationVersion();
        writer.setCreator(version.isEmpty() ? QStringLiteral("Transformer bench")
                                            : QStringLiteral("Transformer bench ") + version);
        writer.setPageLayout(layoutFor(sheets.first()));
        QPainter painter;
        if (!painter.begin(&writer))
            return failed(QStringLiteral("the PDF could not be started"));
        const double pxPerMm = Units::devicePerMm(writer.resolution());
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            if (i > 0) {
                writer.setPageLayout(layoutFor(sheets[i]));
                writer.newPage();
            }
            SheetRenderer::render(painter, sheets[i], QPointF(0, 0), pxPerMm);
        }
        painter.end();
    }
    QString why;
    return WholeFile::write(path, file.data(), &why) || failed(why);
}

QImage renderImage(const Sheet &sheet, double dpi)
{
    const QSizeF paper = sheet.orientedPaperMm();
    const QSize size(qMax(1, qRound(Units::mmToDevice(paper.width(), dpi))),
                     qMax(1, qRound(Units::mmToDevice(paper.height(), dpi))));
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) // too large to hold in memory
        return image;
    const int dotsPerMeter = qRound(dpi / Units::MmPerInch * 1000.0);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    SheetRenderer::render(painter, sheet, QPointF(0, 0), Units::devicePerMm(dpi));
    return image;
}

} // namespace SheetOutput
