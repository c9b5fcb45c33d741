#pragma once

#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// A generated page: drawing operations in millimetres from the paper's top-left corner.
// Texts are already substituted (face, symbol letters) and cut to the lines that print,
// so a sheet draws the same on every device.

struct SheetRectOp {
    QRectF rectMm;
    double penWidthMm = 0.0; // 0: no outline
    bool fillWhite = true;
    bool operator==(const SheetRectOp &) const = default;
};

struct SheetTextOp {
    QRectF rectMm;       // the label's rectangle; lines start at its top
    QRectF clipMm;       // nothing is drawn outside it
    QString family;      // installed face
    double pointSize = 10.0;
    bool bold = false;
    bool italic = false;
    bool centred = false; // else left-aligned
    bool opaque = false;  // fill rectMm with white first
    double lineHeightMm = 0.0;
    double widthScale = 1.0; // below 1: the lines are drawn condensed to this share of their width
    QStringList lines;   // the whole lines that fit, top to bottom
    bool operator==(const SheetTextOp &) const = default;
};

struct Sheet {
    QSizeF paperMm{210.0, 297.0};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    // Rectangles are drawn before texts, each list in order.
    QList<SheetRectOp> rects;
    QList<SheetTextOp> texts;
    bool operator==(const Sheet &) const = default;

    // Paper size as it lies for the orientation (landscape swaps the sides).
    QSizeF orientedPaperMm() const;
};
