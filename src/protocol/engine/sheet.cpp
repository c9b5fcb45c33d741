#include "sheet.h"

QSizeF Sheet::orientedPaperMm() const
{
    const double shortSide = qMin(paperMm.width(), paperMm.height());
    const double longSide = qMax(paperMm.width(), paperMm.height());
    return orientation == QPageLayout::Landscape ? QSizeF(longSide, shortSide)
                                                 : QSizeF(shortSide, longSide);
}
