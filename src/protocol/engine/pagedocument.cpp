#include "pagedocument.h"

#include "sheetstore.h"
#include "textfitter.h"
#include "units.h"

namespace {

// The layout's pen is one layout pixel wide.
const double PenWidthMm = Units::layoutPxToMm(1.0);

SheetTextOp textOp(const ReportElement &e, const QRectF &rectMm, bool centred, QStringList lines)
{
    SheetTextOp op;
    op.rectMm = rectMm;
    op.clipMm = rectMm;
    op.family = ReportFonts::substituteFamily(e.font.family);
    op.pointSize = e.font.pointSize;
    op.bold = e.font.bold;
    op.italic = e.font.italic;
    op.centred = centred;
    op.opaque = e.kind == ElementKind::Label && e.opaque;
    op.lineHeightMm = TextFitter::lineHeightMm(e.font);
    op.lines = std::move(lines);
    return op;
}

// A one-line caption a little wider than its box ("III ступень" in its column) is
// condensed to the box's width, in the same face and size. One far too wide for that is
// cut on the right only: centred, it would lose its first letters too.
void fitOneLine(SheetTextOp &op, double textWidthMm)
{
    constexpr double NarrowestScale = 0.8; // below it letters run together
    if (textWidthMm <= op.rectMm.width())
        return;
    const double scale = op.rectMm.width() / textWidthMm;
    if (scale >= NarrowestScale)
        op.widthScale = scale;
    else
        op.centred = false;
}

} // namespace

PageDocument::PageDocument(const QString &name) : m_name(name) {}

void PageDocument::addElement(const ReportElement &element) { m_elements.append(element); }

const ReportElement *PageDocument::element(const QString &name) const
{
    for (const ReportElement &e : m_elements) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

ReportElement *PageDocument::find(const QString &name)
{
    return const_cast<ReportElement *>(std::as_const(*this).element(name));
}

bool PageDocument::setCaption(const QString &name, const QString &text)
{
    ReportElement *e = find(name);
    if (!e || e->kind != ElementKind::Label)
        return false;
    e->caption = text;
    return true;
}

bool PageDocument::setLines(const QString &name, const QStringList &lines)
{
    ReportElement *e = find(name);
    if (!e || e->kind != ElementKind::RichText)
        return false;
    e->lines = lines;
    return true;
}

bool PageDocument::setWidthMm(const QString &name, double mm)
{
    ReportElement *e = find(name);
    if (!e || !(mm >= 0.0))
        return false;
    e->geometryMm.setWidth(mm);
    return true;
}

bool PageDocument::setWidthPx(const QString &name, double layoutPx)
{
    return setWidthMm(name, Units::layoutPxToMm(layoutPx));
}

Sheet PageDocument::generate(const QDate &today) const
{
    Sheet sheet;
    sheet.paperMm = m_paperMm;
    sheet.orientation = m_orientation;

    // The band starts at the current position, the top margin of an empty sheet. A band
    // aligned to the bottom moves down to end at the bottom margin, but never up; a band
    // taller than the printable height still prints here and starts no new sheet.
    const QSizeF paper = sheet.orientedPaperMm();
    double top = m_marginsMm.top();
    if (m_band.alignToBottom)
        top = qMax(top, paper.height() - m_marginsMm.bottom() - m_band.sizeMm.height());
    const QPointF origin(m_marginsMm.left(), top);

    for (const ReportElement &e : m_elements) {
        if (e.kind != ElementKind::Rectangle)
            continue;
        const QRectF r = e.geometryMm.translated(origin);
        if (r.width() <= 0.0 || r.height() <= 0.0)
            continue;
        sheet.rects.append({r, PenWidthMm, true});
        // The extra frame falls on the outline, so it is the same line drawn once more.
        if (e.framed)
            sheet.rects.append({r, PenWidthMm, false});
    }
    for (const ReportElement &e : m_elements) {
        const QRectF r = e.geometryMm.translated(origin);
        // A width of 0 hides an element: the overlaid headers rely on it.
        if (r.width() <= 0.0 || r.height() <= 0.0)
            continue;
        switch (e.kind) {
        case ElementKind::Rectangle:
            break;
        case ElementKind::Label: {
            SheetTextOp op = textOp(e, r, e.centred,
                                    TextFitter::fitLines(e.font, e.caption, r.width(), r.height(),
                                                         e.wordWrap));
            if (!e.wordWrap)
                fitOneLine(op, TextFitter::textWidthMm(e.font, e.caption));
            sheet.texts.append(op);
            break;
        }
        case ElementKind::SysDate: {
            // Day, month, year in figures on every computer: an English "12/10/26" would be
            // read as 12 October in the workshop. A Russian system writes the same.
            const QString date = today.toString(QStringLiteral("dd.MM.yyyy"));
            sheet.texts.append(textOp(e, r, true,
                                      TextFitter::fitLines(e.font, date, r.width(), r.height(), false)));
            break;
        }
        case ElementKind::RichText: {
            // Each string is a centred paragraph of its own; together they fill from the top.
            const double lineMm = TextFitter::lineHeightMm(e.font);
            QStringList lines;
            double used = 0.0;
            for (const QString &paragraph : e.lines) {
                const double left = r.height() - used;
                QStringList part = paragraph.isEmpty()
                    ? (left + 0.01 >= lineMm ? QStringList{QString()} : QStringList{})
                    : TextFitter::fitLines(e.font, paragraph, r.width(), left, true);
                if (part.isEmpty())
                    break;
                used += part.size() * lineMm;
                lines += part;
            }
            sheet.texts.append(textOp(e, r, true, lines));
            break;
        }
        }
    }
    return sheet;
}

void PageDocument::generateInto(SheetStore &store, const QDate &today) const
{
    store.beginGeneration();
    store.setSheet(generate(today));
}
