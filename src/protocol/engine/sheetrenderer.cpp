#include "sheetrenderer.h"

#include "units.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

namespace SheetRenderer {

void render(QPainter &painter, const Sheet &sheet, QPointF originPx, double pxPerMm)
{
    const auto toDevice = [&](const QRectF &mm) {
        return QRectF(originPx.x() + mm.x() * pxPerMm, originPx.y() + mm.y() * pxPerMm,
                      mm.width() * pxPerMm, mm.height() * pxPerMm);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    for (const SheetRectOp &op : sheet.rects) {
        const QRectF r = toDevice(op.rectMm);
        if (op.fillWhite)
            painter.fillRect(r, Qt::white);
        if (op.penWidthMm > 0.0) {
            // Never thinner than a device pixel, so small zooms keep their lines.
            QPen pen(Qt::black, qMax(1.0, op.penWidthMm * pxPerMm));
            pen.setJoinStyle(Qt::MiterJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r);
        }
    }

    // Point sizes are taken at the device's logical resolution; scale them to the sheet's.
    const double logicalDpi = painter.device() ? painter.device()->logicalDpiY() : Units::LayoutDpi;
    const double fontScale = pxPerMm * Units::MmPerInch / logicalDpi;
    painter.setPen(Qt::black);
    for (const SheetTextOp &op : sheet.texts) {
        const QRectF r = toDevice(op.rectMm);
        if (op.opaque)
            painter.fillRect(r, Qt::white);
        if (op.lines.isEmpty())
            continue;
        QFont font(op.family);
        font.setPointSizeF(qMax(0.01, op.pointSize * fontScale));
        font.setBold(op.bold);
        font.setItalic(op.italic);
        font.setHintingPreference(QFont::PreferNoHinting);
        painter.save();
        painter.setClipRect(toDevice(op.clipMm), Qt::IntersectClip);
        painter.setFont(font);
        const double lineHeight = op.lineHeightMm * pxPerMm;
        const int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip
            | (op.centred ? Qt::AlignHCenter : Qt::AlignLeft);
        // Condensed lines are laid out in a box as much wider as they are narrowed.
        painter.translate(r.x(), 0.0);
        painter.scale(op.widthScale, 1.0);
        const double width = r.width() / op.widthScale;
        for (qsizetype i = 0; i < op.lines.size(); ++i) {
            const QRectF line(0.0, r.y() + i * lineHeight, width, lineHeight);
            painter.drawText(line, flags, op.lines[i]);
        }
        painter.restore();
    }
    painter.restore();
}

} // namespace SheetRenderer
