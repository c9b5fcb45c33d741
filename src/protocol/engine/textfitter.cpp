#include "textfitter.h"

#include "units.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

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

// A line breaks only at blanks; a no-break space holds its neighbours together.
bool isBlank(QChar c)
{
    return c.isSpace() && c != QChar::Nbsp && c != QChar(0x2007) && c != QChar(0x202F);
}

// Lines of one paragraph, appended to `lines` until they number `limit`. A line takes whole
// words while they fit; hyphens, slashes and dashes are letters of their word. A word wider
// than the box on its own breaks between letters.
void wrapParagraph(const QFontMetricsF &metrics, const QString &paragraph, double widthPx, qsizetype limit,
                   QStringList &lines)
{
    const auto fits = [&](const QString &text) { return metrics.horizontalAdvance(text) <= widthPx; };
    QString line;
    bool holdsWord = false;
    qsizetype pos = 0;
    const qsizetype n = paragraph.size();
    while (pos < n && lines.size() < limit) {
        qsizetype wordStart = pos;
        while (wordStart < n && isBlank(paragraph.at(wordStart)))
            ++wordStart;
        qsizetype wordEnd = wordStart;
        while (wordEnd < n && !isBlank(paragraph.at(wordEnd)))
            ++wordEnd;
        const QString blanks = paragraph.mid(pos, wordStart - pos);
        QString word = paragraph.mid(wordStart, wordEnd - wordStart);
        pos = wordEnd;
        if (word.isEmpty()) { // blanks at the end stay with the last line
            line += blanks;
            break;
        }
        if (fits(line + blanks + word)) {
            line += blanks + word;
            holdsWord = true;
            continue;
        }
        // The blanks at the break belong to neither line.
        if (holdsWord) {
            lines.append(line);
            line.clear();
        }
        while (!fits(word) && lines.size() < limit) {
            QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, word);
            qsizetype cut = letters.toNextBoundary(); // at least one letter per line
            for (qsizetype next = letters.toNextBoundary(); next > 0 && fits(word.left(next));
                 next = letters.toNextBoundary())
                cut = next;
            lines.append(word.left(cut));
            word = word.mid(cut);
        }
        line = word;
        holdsWord = true;
    }
    if (lines.size() < limit && (holdsWord || !line.isEmpty() || n == 0))
        lines.append(line);
}

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

    const QFontMetricsF metrics(ReportFonts::resolve(font), &measureDevice());
    const double widthPx = qMax(0.0, Units::mmToDevice(widthMm, MeasureDpi));
    // One line beyond those printed tells whether the text goes on.
    QStringList lines;
    for (const QString &paragraph : printed.split(QRegularExpression(QStringLiteral("[\\n\\x{2028}\\x{2029}]")))) {
        if (lines.size() > maxLines)
            break;
        wrapParagraph(metrics, paragraph, widthPx, maxLines + 1, lines);
    }
    const bool more = lines.size() > maxLines;
    lines = lines.mid(0, maxLines);
    // Blanks at a break belong to neither line on paper.
    for (int i = 0; i + 1 < lines.size(); ++i) {
        while (!lines[i].isEmpty() && lines[i].back().isSpace())
            lines[i].chop(1);
    }
    if (more && !lines.isEmpty()) {
        while (!lines.back().isEmpty() && lines.back().back().isSpace())
            lines.back().chop(1);
    }
    return lines;
}

} // namespace TextFitter
