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

namespace {

QPageLayout layoutFor(const Sheet &sheet)
{
    const QPageSize size(sheet.paperMm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, sheet.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

namespace SheetOutput {

QString pdfCreator()
{
    // The engine's other users (the tools) put no version on their application.
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("Transformer bench") : QStringLiteral("Transformer bench ") + version;
}

bool writePdf(const QList<Sheet> &sheets, const QString &path, QString *error, const QString &title)
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
        writer.setCreator(pdfCreator());
        writer.setTitle(title);
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
