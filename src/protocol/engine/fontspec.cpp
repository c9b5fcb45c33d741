#include "fontspec.h"

namespace ReportFonts {

QString substituteFamily(const QString &layoutFamily)
{
    const QString f = layoutFamily.trimmed();
    if (f.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    if (f.startsWith(QLatin1String("Times New Roman"), Qt::CaseInsensitive) || isSymbolFamily(f))
        return QStringLiteral("Liberation Serif");
    return f;
}

bool isSymbolFamily(const QString &layoutFamily)
{
    return layoutFamily.trimmed().compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
}

QString symbolToGreek(const QString &text)
{
    // The symbol encoding's Greek letters at the codes of A..Z and a..z; the letters it has no
    // Greek for (J, V/v, j) hold the variant forms that encoding puts there.
    static const char16_t upper[26] = {
        u'Α', u'Β', u'Χ', u'Δ', u'Ε', u'Φ', u'Γ', u'Η', u'Ι', u'ϑ', u'Κ', u'Λ', u'Μ',
        u'Ν', u'Ο', u'Π', u'Θ', u'Ρ', u'Σ', u'Τ', u'Υ', u'ς', u'Ω', u'Ξ', u'Ψ', u'Ζ'};
    static const char16_t lower[26] = {
        u'α', u'β', u'χ', u'δ', u'ε', u'φ', u'γ', u'η', u'ι', u'ϕ', u'κ', u'λ', u'μ',
        u'ν', u'ο', u'π', u'θ', u'ρ', u'σ', u'τ', u'υ', u'ϖ', u'ω', u'ξ', u'ψ', u'ζ'};
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(upper[u - u'A']);
        else if (u >= u'a' && u <= u'z')
            c = QChar(lower[u - u'a']);
    }
    return out;
}

QString printedText(const QString &layoutFamily, const QString &text)
{
    return isSymbolFamily(layoutFamily) ? symbolToGreek(text) : text;
}

QFont resolve(const FontSpec &wanted)
{
    QFont font(substituteFamily(wanted.family));
    font.setPointSizeF(wanted.pointSize);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

} // namespace ReportFonts
