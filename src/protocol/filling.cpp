#include "filling.h"

#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// Fields that take their control's text as it stands.
struct Copied {
    QString field;
    QString control;
};
const Copied CopiedFields[] = {
    {u"QRLabel9"_s, u"Rem"_s},
    {u"QRLabel64"_s, u"ChiefName"_s},
    {u"QRInvestigator"_s, u"Investigator"_s},
    {u"QRChief"_s, u"Chief"_s},
    {u"QRName2"_s, u"Name"_s},
    {u"QRRepairNumber"_s, u"RepairNumber"_s},
    {u"QRYearOfRepair"_s, u"YearOfRepair"_s},
    {u"QRGroup"_s, u"Group"_s},
    {u"QRCircuit"_s, u"Circuit"_s},
    {u"QRRHigh15"_s, u"RHigh15"_s},
    {u"QRRHigh60"_s, u"RHigh60"_s},
    {u"QRKabsHigh"_s, u"KabsHigh"_s},
    {u"QRUhigh"_s, u"Uhigh"_s},
    {u"QRThigh"_s, u"Thigh"_s},
    {u"QRRLow15"_s, u"RLow15"_s},
    {u"QRRLow60"_s, u"RLow60"_s},
    {u"QRKabsLow"_s, u"KabsLow"_s},
    {u"QRUlow"_s, u"Ulow"_s},
    {u"QRTlow"_s, u"Tlow"_s},
    {u"QRRHL15"_s, u"RHL15"_s},
    {u"QRRHL60"_s, u"RHL60"_s},
    {u"QRKabsHL"_s, u"KabsHL"_s},
    {u"QRUHL"_s, u"UHL"_s},
    {u"QRTHL"_s, u"THL"_s},
    {u"QRUab00"_s, u"Uab00"_s},
    {u"QRUbc00"_s, u"Ubc00"_s},
    {u"QRUca00"_s, u"Uca00"_s},
    {u"QRIa00"_s, u"Ia00"_s},
    {u"QRIb00"_s, u"Ib00"_s},
    {u"QRIc00"_s, u"Ic00"_s},
    {u"QRIxx00"_s, u"Ixx00"_s},
    {u"QRIxx01"_s, u"Ixx01"_s},
    {u"QRPxx00"_s, u"Pxx00"_s},
    {u"QRUab10"_s, u"Uab10"_s},
    {u"QRUbc10"_s, u"Ubc10"_s},
    {u"QRUca10"_s, u"Uca10"_s},
    {u"QRUkz100"_s, u"Ukz100"_s},
    {u"QRIa10"_s, u"Ia10"_s},
    {u"QRIb10"_s, u"Ib10"_s},
    {u"QRIc10"_s, u"Ic10"_s},
    {u"QRUkz101"_s, u"Ukz101"_s},
    {u"QRUkz111"_s, u"Ukz111"_s},
    {u"QRPkz11"_s, u"Pkz11"_s},
};

const QString InducedVoltageSentence = u"Проведено испытание изоляции индуцированным напряжением 800 В при частоте 100 Гц в течение одной минуты"_s;

const QString TransformRichTexts[TransformColumnsPrinted] = {
    u"QRUI"_s, u"QRKI"_s, u"QRUII"_s, u"QRKII"_s, u"QRUIII"_s, u"QRKIII"_s,
    u"QRUIV"_s, u"QRKIV"_s, u"QRUV"_s, u"QRKV"_s, u"QRUnn"_s};
const QString ResistenceRichTexts[ResistenceColumnsPrinted] = {
    u"QRResistenceI"_s, u"QRResistenceII"_s, u"QRResistenceIII"_s,
    u"QRResistenceIV"_s, u"QRResistenceV"_s, u"QRResistenceHH"_s};

// Scheme items whose low-voltage winding is a delta: "U / D - 11" and "D / D - 0".
bool lowVoltageIsDelta(int circuitIndex)
{
    return circuitIndex == 2 || circuitIndex == 6;
}

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
    for (const Copied &c : CopiedFields)
        names.append(c.control);
    names += {u"ProtocolNumber"_s, u"TransformerWeight"_s, u"Pnom"_s, u"Unom2"_s, u"Unom"_s,
              u"Inom2"_s, u"Inom"_s, u"Freq2"_s, u"Temperature"_s, u"Ukz102"_s, u"Pkz12"_s,
              u"OilAnalysis"_s, u"ElectricStrength"_s, u"WaterContent"_s,
              u"MechanicalImpurities"_s, u"WeightedCoalContent"_s, u"Color"_s, u"AcidNumber"_s,
              u"ReactionAqueousExtract"_s, u"FlashTemperature"_s};
    names.removeDuplicates();
    return names;
}

QList<FieldValue> fillProtocol(const FillingInput &input)
{
    const auto t = [&input](const QString &control) { return input.texts.value(control); };
    QList<FieldValue> out;

    out.append(caption(u"QRIsolation"_s, input.isolationTicked ? InducedVoltageSentence : QString()));

    const bool delta = lowVoltageIsDelta(input.circuitIndex);
    out.append(widthPx(u"QRRichText6"_s, delta ? 0 : LowVoltageHeaderWidthPx));
    out.append(widthPx(u"QRRichText2"_s, delta ? LowVoltageHeaderWidthPx : 0));

    for (const Copied &c : CopiedFields)
        out.append(caption(c.field, t(c.control)));

    out.append(caption(u"QRFirm"_s, memoText(input.firm)));
    out.append(caption(u"QRConclusion"_s, memoText(input.conclusion)));

    const std::pair<QString, QString> composed[] = {
        {u"QRProtocolNumber"_s, u"Протокол №"_s + t(u"ProtocolNumber"_s) + u" испытания трансформатора "_s + t(u"Name"_s)},
        {u"QRTransformerWeight"_s, t(u"TransformerWeight"_s) + u" кг"_s},
        {u"QRPnom"_s, t(u"Pnom"_s) + u" кВА"_s},
        {u"QRUnom"_s, t(u"Unom2"_s) + u" В / "_s + t(u"Unom"_s) + u" В"_s},
        {u"QRInom"_s, t(u"Inom2"_s) + u" А / "_s + t(u"Inom"_s) + u" А"_s},
        {u"QRFreq"_s, t(u"Freq2"_s) + u" Гц"_s},
        {u"QRTemperature"_s, u"Короткое замыкание при "_s + t(u"Temperature"_s) + u" °C"_s},
        {u"QRTemperature1"_s, u"Омическое сопротивление обмоток при "_s + t(u"Temperature"_s) + u" °C"_s},
        {u"QRUkz102"_s, u"Uкз приведенное к 75°С "_s + t(u"Ukz102"_s) + u" B"_s},
        {u"QRPkz12"_s, u"Pкз приведенного к 75°С "_s + t(u"Pkz12"_s) + u" Вт"_s},
        {u"QROilAnalysis"_s, u"Анализ масла № "_s + t(u"OilAnalysis"_s)},
        {u"QRElectricStrength"_s, u"Электрическая прочность "_s + t(u"ElectricStrength"_s)},
        {u"QRWaterContent"_s, u"Содержание воды "_s + t(u"WaterContent"_s)},
        {u"QRMechanicalImpurities"_s, u"Механические примеси "_s + t(u"MechanicalImpurities"_s)},
        {u"QRWeightedCoalContent"_s, u"Содержание взвешанного угля "_s + t(u"WeightedCoalContent"_s)},
        {u"QRColor"_s, u"Цвет "_s + t(u"Color"_s)},
        {u"QRAcidNumber"_s, u"Кислотное число КОН "_s + t(u"AcidNumber"_s)},
        {u"QRReactionAqueousExtract"_s, u"Реакция водной вытяжки "_s + t(u"ReactionAqueousExtract"_s)},
        {u"QRFlashTemperature"_s, u"Температура вспышки "_s + t(u"FlashTemperature"_s)},
        {u"QRFasNumber"_s, input.fasNumber},
    };
    for (const auto &[field, text] : composed)
        out.append(caption(field, text));

    for (int c = 0; c < TransformColumnsPrinted; ++c)
        out.append(column(TransformRichTexts[c], input.transformColumns, c, 3));
    for (int c = 0; c < ResistenceColumnsPrinted; ++c)
        out.append(column(ResistenceRichTexts[c], input.resistenceColumns, c, 4));
    return out;
}
