#pragma once

#include "fontspec.h"

#include <QStringList>

// Measures text with font metrics at one fixed resolution, never the screen's,
// so a sheet lays out the same headless, in a test and on paper. Fonts need a QGuiApplication.
namespace TextFitter {

inline constexpr double MeasureDpi = 1200.0;

// Height of one line of the font, in millimetres.
double lineHeightMm(const FontSpec &font);
// Width of the text in the font (as printed), in millimetres.
double textWidthMm(const FontSpec &font, const QString &text);

// The whole lines of `text` that fit in a box of widthMm x heightMm. With wordWrap the text
// breaks at blanks, and a word wider than the box breaks between letters; without it, the
// text stays one line (cut by the box when drawn). Lines that do not fit whole are dropped.
QStringList fitLines(const FontSpec &font, const QString &text, double widthMm, double heightMm,
                     bool wordWrap);

} // namespace TextFitter
