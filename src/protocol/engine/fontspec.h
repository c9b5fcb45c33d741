#pragma once

#include <QFont>
#include <QString>

// A font as the layout names it: the typeface the layout asks for, not the one that draws it.
struct FontSpec {
    QString family = QStringLiteral("Arial");
    double pointSize = 10.0;
    bool bold = false;
    bool italic = false;

    bool operator==(const FontSpec &) const = default;
};

// Typeface substitution, the same for measuring, the screen, paper and PDF.
namespace ReportFonts {

// The installed face that draws a layout typeface ("Arial" -> "Liberation Sans", ...).
QString substituteFamily(const QString &layoutFamily);
// True for the symbol typeface, whose Latin letters print as Greek ones.
bool isSymbolFamily(const QString &layoutFamily);
// Latin letters to the Greek letters the symbol encoding puts at the same codes.
QString symbolToGreek(const QString &text);
// Text as it prints in the given layout typeface.
QString printedText(const QString &layoutFamily, const QString &text);
// A QFont of the substituted face, unhinted so that it measures alike at every resolution.
QFont resolve(const FontSpec &wanted);

} // namespace ReportFonts
