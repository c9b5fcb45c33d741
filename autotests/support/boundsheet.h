#pragma once

#include "sheetstore.h"

#include <QString>

#include <cmath>

// The heaviest protocol file the store still loads: every count at its bound, the texts
// spread over the most fonts, the whole page filled, and padded to exactly `bytes` bytes of
// file (at most SheetStore::Bounds::FileBytes) with three-byte letters in the last lines
// and long face names that no font has, which the renderer must look up and fall back from.
inline QByteArray boundSheetFile(qint64 bytes = SheetStore::Bounds::FileBytes)
{
    using B = SheetStore::Bounds;
    Sheet sheet;
    const double side = std::sqrt(B::FilledSheets * 210.0 * 297.0 / double(B::Rects)) * 0.99;
    for (qsizetype i = 0; i < B::Rects; ++i)
        sheet.rects.append({QRectF(double(i % 20) * 10.0, double(i % 29) * 10.0, side, side), 0.0, true});
    const qsizetype perText = qsizetype(B::Glyphs) / B::Texts;
    for (qsizetype i = 0; i < B::Texts; ++i) {
        SheetTextOp text;
        text.rectMm = QRectF(10.0, 10.0 + double(i % 60) * 4.5, 190.0, 8.0);
        text.clipMm = QRectF(0.0, 0.0, 210.0, 297.0);
        const qsizetype font = i % B::Fonts;
        text.family = font % 2 ? QStringLiteral("Liberation Sans") : QStringLiteral("Liberation Serif");
        text.pointSize = 10.0 - double(font) * 0.01;
        text.lineHeightMm = 4.0;
        text.lines = {QString(perText / 2, u'Ш'), QString(perText - perText / 2, u'Ш')};
        sheet.texts.append(text);
    }
    // Long names for some fonts (their texts share them), then letters one byte longer in
    // the lines, from the last, until the file has the size asked for.
    auto size = [&] { return qint64(SheetStore::serialize(sheet).size()); };
    for (qsizetype font = 0; font < B::Fonts; ++font) {
        const QString name = QStringLiteral("Нет такого шрифта ") + QString::number(font);
        const QString longName = name + QString(B::FamilyName - name.size(), u'中');
        const qint64 grows = qint64(B::Texts / B::Fonts + 1) * (longName.toUtf8().size() - 32);
        if (size() + grows > bytes)
            break;
        for (qsizetype i = font; i < B::Texts; i += B::Fonts)
            sheet.texts[i].family = longName;
    }
    const qint64 missing = bytes - size();
    for (qint64 k = 0; k < missing; ++k)
        sheet.texts[B::Texts - 1 - k / (perText / 2)].lines.first()[k % (perText / 2)] = u'中';
    return SheetStore::serialize(sheet);
}
