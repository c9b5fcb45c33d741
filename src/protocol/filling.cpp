#include "filling.h"

#include "circuitscheme.h"
#include "protocolfields.h"

#include <iterator>

using namespace Qt::StringLiterals;

namespace {

const QString InducedVoltageSentence = u"Проведено испытание изоляции индуцированным напряжением 800 В при частоте 100 Гц в течение одной минуты"_s;

const QString TransformRichTexts[TransformColumnsPrinted] = {
    u"QRUI"_s, u"QRKI"_s, u"QRUII"_s, u"QRKII"_s, u"QRUIII"_s, u"QRKIII"_s,
    u"QRUIV"_s, u"QRKIV"_s, u"QRUV"_s, u"QRKV"_s, u"QRUnn"_s};
const QString ResistenceRichTexts[ResistenceColumnsPrinted] = {
    u"QRResistenceI"_s, u"QRResistenceII"_s, u"QRResistenceIII"_s,
    u"QRResistenceIV"_s, u"QRResistenceV"_s, u"QRResistenceHH"_s};

FieldValue caption(const QString &field, const QString &text)
{
    return {field, FieldValue::Kind::Caption, text, {}, 0};
}

FieldValue widthPx(const QString &field, int px)
{
    return {field, FieldValue::Kind::WidthPx, {}, {}, px};
}

// A missing column or cell gives empty lines, so every rich text keeps its rows.
FieldValue column(const QString &field, const QList<QStringList> &columns, int index, int rows)
{
    QStringList lines = columns.value(index);
    lines.resize(rows);
    return {field, FieldValue::Kind::Lines, {}, lines, 0};
}

} // namespace

QString memoText(const QString &plainText)
{
    if (plainText.isEmpty())
        return QString();
    QStringList lines = plainText.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines.join(u' ');
}

QStringList fillingControlNames()
{
    QStringList names;
    for (const ProtocolFields::Field &f : ProtocolFields::copied())
        names.append(f.control);
    names.append(u"ProtocolNumber"_s);
    for (const ProtocolFields::Field &f : ProtocolFields::composed())
        names.append(f.control);
    for (const ProtocolFields::TwoSided &f : ProtocolFields::twoSided())
        names += {f.highControl, f.lowControl};
    names.removeDuplicates();
    return names;
}

QList<FieldValue> fillProtocol(const FillingInput &input)
{
    const auto t = [&input](const QString &control) { return input.texts.value(control); };
    QList<FieldValue> out;

    out.append(caption(u"QRIsolation"_s, input.isolationTicked ? InducedVoltageSentence : QString()));

    const bool delta = lowVoltageIsDelta(t(ProtocolFields::CircuitControl));
    out.append(widthPx(u"QRRichText6"_s, delta ? 0 : LowVoltageHeaderWidthPx));
    out.append(widthPx(u"QRRichText2"_s, delta ? LowVoltageHeaderWidthPx : 0));

    for (const ProtocolFields::Field &f : ProtocolFields::copied())
        out.append(caption(f.name, t(f.control)));

    out.append(caption(u"QRFirm"_s, memoText(input.firm)));
    out.append(caption(ProtocolFields::Conclusion, memoText(input.conclusion)));

    out.append(caption(ProtocolFields::ProtocolNumber, u"Протокол №"_s + t(u"ProtocolNumber"_s)
                                                 + u" испытания трансформатора "_s + t(u"Name"_s)));
    for (const ProtocolFields::Field &f : ProtocolFields::composed())
        out.append(caption(f.name, f.prefix + t(f.control) + f.suffix));
    for (const ProtocolFields::TwoSided &f : ProtocolFields::twoSided())
        out.append(caption(f.name, t(f.highControl) + f.unit + ProtocolFields::SideSeparator
                                       + t(f.lowControl) + f.unit));
    out.append(caption(ProtocolFields::FasNumber, input.fasNumber));

    for (int c = 0; c < TransformColumnsPrinted; ++c)
        out.append(column(TransformRichTexts[c], input.transformColumns, c, 3));
    for (int c = 0; c < ResistenceColumnsPrinted; ++c)
        out.append(column(ResistenceRichTexts[c], input.resistenceColumns, c, 4));
    return out;
}
