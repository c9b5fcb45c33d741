#include "assessmentsheet.h"

#include "pagedocument.h"
#include "textfitter.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double MarginMm = 10.0;
constexpr double WidthMm = 297.0 - 2 * MarginMm;
constexpr double HeightMm = 210.0 - 2 * MarginMm;
constexpr double InsetMm = 1.0;
constexpr double FooterMm = 12.0;
// Rows are measured a little narrower and laid a little taller than their labels: a height of
// exactly n lines may round to n - 1 lines when the label fits its text again, and a screen's
// glyphs run wider than the measure's.
constexpr double WrapSlackMm = 1.0;
constexpr double HeightSlackMm = 0.5;

struct SheetColumn {
    QString caption;
    double widthMm;
};
const SheetColumn Columns[] = {
    {u"Проверка"_s, 55}, {u"Измерено"_s, 38}, {u"Сравнивается с"_s, 44}, {u"Норма"_s, 44},
    {u"Отклонение"_s, 20}, {u"Заключение"_s, 42}, {u"Источник"_s, 34},
};
constexpr int ColumnCount = int(std::size(Columns));

const FontSpec TitleFont{u"Arial"_s, 13, true, false};
const FontSpec TextFont{u"Arial"_s, 9, false, false};
const FontSpec CellFont{u"Arial"_s, 7.5, false, false};
const FontSpec HeadFont{u"Arial"_s, 7.5, true, false};
const FontSpec VerdictFont{u"Arial"_s, 7.5, true, false};
const FontSpec ManualFont{u"Arial"_s, 7.5, true, true};

QStringList cellTexts(const AssessmentRow &row)
{
    QString reference = row.reference;
    if (!row.note.isEmpty())
        reference += (reference.isEmpty() ? QString() : u"; "_s) + row.note;
    return {row.quantity, row.measured, reference, row.limit, row.deviation, row.verdictLine(),
            row.source + (row.confirmed ? QString() : u" (уточнить)"_s)};
}

double linesHeightMm(const FontSpec &font, const QString &text, double widthMm)
{
    const int lines = int(TextFitter::fitLines(font, text, widthMm - 2 * InsetMm - WrapSlackMm, 10000, true).size());
    return std::max(1, lines) * TextFitter::lineHeightMm(font);
}

ReportElement label(const QString &name, const QRectF &r, const FontSpec &font, const QString &text, bool centred = false)
{
    ReportElement e;
    e.name = name;
    e.kind = ElementKind::Label;
    e.geometryMm = r;
    e.font = font;
    e.centred = centred;
    e.caption = text;
    return e;
}

ReportElement box(const QRectF &r)
{
    ReportElement e;
    e.kind = ElementKind::Rectangle;
    e.geometryMm = r;
    return e;
}

class Pages {
public:
    explicit Pages(const AssessmentSheetHeader &header) : m_header(header) {}

    void addRow(int index, const AssessmentRow &row)
    {
        const QStringList texts = cellTexts(row);
        double h = 0;
        for (int c = 0; c < ColumnCount; ++c)
            h = std::max(h, linesHeightMm(c == 5 ? VerdictFont : CellFont, texts[c], Columns[c].widthMm));
        h += 2 * InsetMm + HeightSlackMm;
        if (m_pages.isEmpty() || m_y + h > HeightMm - FooterMm)
            newPage();
        double x = 0;
        for (int c = 0; c < ColumnCount; ++c) {
            const QRectF cell(x, m_y, Columns[c].widthMm, h);
            m_pages.last().addElement(box(cell));
            const FontSpec &font = c != 5 ? CellFont : row.manual ? ManualFont : VerdictFont;
            m_pages.last().addElement(label(u"Row%1.%2"_s.arg(index).arg(c),
                                            cell.adjusted(InsetMm, InsetMm, -InsetMm, -InsetMm), font, texts[c]));
            x += Columns[c].widthMm;
        }
        m_y += h;
    }

    QList<PageDocument> finish()
    {
        if (m_pages.isEmpty())
            newPage();
        const double bottom = HeightMm - FooterMm + 2;
        for (int i = 0; i < m_pages.size(); ++i) {
            QString footer = u"Лист "_s + QString::number(i + 1) + u" из "_s + QString::number(m_pages.size())
                + u". Заключение в словах; «вручную» - решение инженера с его причиной."_s;
            if (i == m_pages.size() - 1)
                footer += u"    Заключение о годности: ______________________    Подпись: ______________"_s;
            m_pages[i].addElement(label(u"Footer"_s, QRectF(0, bottom, WidthMm, FooterMm - 2), TextFont, footer));
        }
        return m_pages;
    }

private:
    void newPage()
    {
        PageDocument page(u"Assessment"_s + QString::number(m_pages.size() + 1));
        page.setOrientation(QPageLayout::Landscape);
        page.setMarginsMm(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm));
        page.setBand({u"Band"_s, QSizeF(WidthMm, HeightMm), false});
        m_y = 0;
        if (m_pages.isEmpty()) {
            page.addElement(label(u"Title"_s, QRectF(0, 0, WidthMm, 8), TitleFont,
                                  assessmentSheetTitle(m_header.protocolNumber), true));
            const QString about = u"Тип: "_s + m_header.type + u"    Заводской №: "_s + m_header.serialNumber;
            page.addElement(label(u"About"_s, QRectF(0, 9, WidthMm, 5), TextFont, about, true));
            page.addElement(label(u"Norms"_s, QRectF(0, 14.5, WidthMm, 5), TextFont, m_header.norms, true));
            page.addElement(ReportElement{u"Date"_s, ElementKind::SysDate, QRectF(WidthMm - 40, 0, 40, 5), TextFont});
            m_y = 21;
            if (!m_header.approval.isEmpty()) {
                page.addElement(label(u"Approval"_s, QRectF(0, 20, WidthMm, 5), TextFont, m_header.approval, true));
                m_y = 26.5;
            }
        }
        double x = 0;
        const double h = TextFitter::lineHeightMm(HeadFont) + 2 * InsetMm;
        for (int c = 0; c < ColumnCount; ++c) {
            const QRectF cell(x, m_y, Columns[c].widthMm, h);
            page.addElement(box(cell));
            page.addElement(label(u"Head"_s + QString::number(c), cell.adjusted(InsetMm, InsetMm, -InsetMm, -InsetMm),
                                  HeadFont, Columns[c].caption, true));
            x += Columns[c].widthMm;
        }
        m_y += h;
        m_pages.append(page);
    }

    AssessmentSheetHeader m_header;
    QList<PageDocument> m_pages;
    double m_y = 0;
};

} // namespace

QString assessmentSheetTitle(const QString &protocolNumber)
{
    return u"Оценка результатов испытаний к протоколу №"_s + protocolNumber;
}

QList<PageDocument> assessmentPages(const AssessmentSheetHeader &header, const QList<AssessmentRow> &rows)
{
    Pages pages(header);
    for (int i = 0; i < rows.size(); ++i)
        pages.addRow(i, rows[i]);
    return pages.finish();
}
