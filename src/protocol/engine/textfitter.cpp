#include "textfitter.h"

#include "units.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <QTextOption>

namespace {

const QPaintDevice &measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(TextFitter::MeasureDpi / Units::MmPerInch * 1000.0);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

double toMm(double devicePx) { return Units::deviceToMm(devicePx, TextFitter::MeasureDpi); }

// A tolerance for the rounding of the layout's millimetres.
constexpr double SlackMm = 0.01;

} // namespace

namespace TextFitter {

double lineHeightMm(const FontSpec &font)
{
    return toMm(QFontMetricsF(ReportFonts::resolve(font), &measureDevice()).lineSpacing());
}

double textWidthMm(const FontSpec &font, const QString &text)
{
    const QFontMetricsF metrics(ReportFonts::resolve(font), &measureDevice());
    return toMm(metrics.horizontalAdvance(ReportFonts::printedText(font.family, text)));
}

QStringList fitLines(const FontSpec &font, const QString &text, double widthMm, double heightMm,
                     bool wordWrap)
{
    const double lineMm = lineHeightMm(font);
    if (lineMm <= 0.0 || heightMm + SlackMm < lineMm || text.isEmpty())
        return {};
    const int maxLines = int((heightMm + SlackMm) / lineMm);
    const QString printed = ReportFonts::printedText(font.family, text);
    if (!wordWrap) {
        QString one = printed;
        one.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return {one};
    }

    QString laid = printed;
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laid, ReportFonts::resolve(font), &measureDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const double widthPx = qMax(0.0, Units::mmToDevice(widthMm, MeasureDpi));
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(widthPx);
        if (lines.size() < maxLines) {
            QString part = laid.mid(line.textStart(), line.textLength());
            part.remove(QChar::LineSeparator);
            lines.append(part);
        }
    }
    layout.endLayout();
    // Blanks at a break belong to neither line on paper.
    for (int i = 0; i + 1 < lines.size(); ++i) {
        while (!lines[i].isEmpty() && lines[i].back().isSpace())
            lines[i].chop(1);
    }
    if (lines.size() < layout.lineCount() && !lines.isEmpty()) {
        while (!lines.back().isEmpty() && lines.back().back().isSpace())
            lines.back().chop(1);
    }
    return lines;
}

} // namespace TextFitter
