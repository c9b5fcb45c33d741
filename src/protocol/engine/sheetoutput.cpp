#include "sheetoutput.h"

#include "sheetrenderer.h"
#include "sheetstore.h"
#include "units.h"
#include "wholefile.h"

#include <QBuffer>
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
    // A range that leaves out the only sheet prints nothing, as asked.
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 1)
        return true;

    // Print systems that cannot make copies themselves get the sheet repeated.
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("the printer could not start the job");
        return false;
    }
    const double pxPerMm = Units::devicePerMm(printer.resolution());
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QPointF origin = paper.topLeft() - page.topLeft();
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            break;
        SheetRenderer::render(painter, *sheet, origin, pxPerMm);
    }
    const bool ok = painter.end() && printer.printerState() != QPrinter::Error;
    if (!ok && error)
        *error = QStringLiteral("the printer reported an error");
    return ok;
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
        writer.setCreator(QStringLiteral("Transformer bench"));
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
