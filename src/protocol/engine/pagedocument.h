#pragma once

#include "fontspec.h"
#include "sheet.h"

#include <QDate>
#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QString>
#include <QStringList>

class SheetStore;

enum class ElementKind { Label, RichText, Rectangle, SysDate };

// One element of a band. Geometry in millimetres from the band's top-left corner.
struct ReportElement {
    QString name;
    ElementKind kind = ElementKind::Label;
    QRectF geometryMm;
    FontSpec font;
    bool centred = false;  // labels: else left; rich texts and the date always centre
    bool wordWrap = true;  // labels only
    bool opaque = false;   // labels: white background
    bool framed = false;   // rectangles: an extra frame on all four sides
    QString caption;       // labels
    QStringList lines;     // rich texts, one centred paragraph each
};

// The one band of a page, printed once without a data source.
struct ReportBand {
    QString name;
    QSizeF sizeMm;
    bool alignToBottom = false;
};

// A page document as data: paper, margins, one band and its elements, addressable by name.
class PageDocument {
public:
    explicit PageDocument(const QString &name = QString());

    QString name() const { return m_name; }

    QSizeF paperMm() const { return m_paperMm; }
    void setPaperMm(QSizeF size) { m_paperMm = size; }
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation o) { m_orientation = o; }
    QMarginsF marginsMm() const { return m_marginsMm; }
    void setMarginsMm(const QMarginsF &m) { m_marginsMm = m; }

    const ReportBand &band() const { return m_band; }
    void setBand(const ReportBand &band) { m_band = band; }

    void addElement(const ReportElement &element);
    const QList<ReportElement> &elements() const { return m_elements; }
    const ReportElement *element(const QString &name) const;

    // Each returns false, changing nothing, for a name that is not on this page
    // or an element of another kind.
    bool setCaption(const QString &name, const QString &text);
    bool setLines(const QString &name, const QStringList &lines);
    bool setWidthMm(const QString &name, double mm);
    bool setWidthPx(const QString &name, double layoutPx);

    // Lays the band out on one sheet; `today` fills the date elements.
    Sheet generate(const QDate &today) const;
    // Starts the store anew (not complete), then gives it the finished sheet.
    void generateInto(SheetStore &store, const QDate &today) const;

private:
    ReportElement *find(const QString &name);

    QString m_name;
    QSizeF m_paperMm{210.0, 297.0};
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QMarginsF m_marginsMm{10.0, 10.0, 10.0, 10.0};
    ReportBand m_band;
    QList<ReportElement> m_elements;
};
