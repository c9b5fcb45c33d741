#include "declaredstore.h"

#include "cataloguefile.h"
#include "keyvaluefile.h"
#include "typednumber.h"
#include "recordslocation.h"

#include <QLocale>

#include <cmath>

using namespace Qt::StringLiterals;

namespace DeclaredStore {

namespace {

const QString TapNames[ResistanceTaps] = {u"I"_s, u"II"_s, u"III"_s, u"IV"_s, u"V"_s, u"НН"_s};
const QString ResistanceRows[Phases] = {u"AB"_s, u"CA"_s, u"BC"_s};
const QString RatioRows[Phases] = {u"AB"_s, u"BC"_s, u"CA"_s};
const QString Gaps[InsulationGaps] = {u"ВН-К"_s, u"НН-К"_s, u"ВН-НН"_s};
const QString ResistanceTemperatureKey = u"R, температура °C"_s;
const QString R60TemperatureKey = u"R60, температура °C"_s;
const QString InsulationTemperatureKey = u"Температура изоляции, °C"_s;
const QString OilKey = u"Масло"_s;
const QString OilBeforeFilling = u"до заливки"_s;
const QString OilInService = u"в эксплуатации"_s;
const QString OverridesKey = u"Решений"_s;
const QString ProtectionKey = u"Защита масла"_s;
const QString Sealed = u"герметичное"_s;
const QString NotSealed = u"негерметичное"_s;
// More overrides than a test has rows: a hand-edited count beyond it is not believed.
constexpr int MostOverrides = 1000;

QString overrideKey(int index)
{
    return u"Решение."_s + QString::number(index);
}

// What the decision was made on (AssessmentRow::basis); none in a file from before.
QString basisKey(int index)
{
    return u"Основа решения."_s + QString::number(index);
}

OilProtection protectionOf(const QString &text)
{
    const QString t = text.trimmed().toLower();
    return t == Sealed ? OilProtection::Sealed : t == NotSealed ? OilProtection::Open : OilProtection::Unknown;
}

QString protectionText(OilProtection p)
{
    return p == OilProtection::Sealed ? Sealed : p == OilProtection::Open ? NotSealed : QString();
}

QStringList serialKeys()
{
    QStringList keys;
    for (int t = 0; t < ResistanceTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            keys.append(resistanceKey(t, r));
    keys.append(ResistanceTemperatureKey);
    for (int t = 0; t < RatioTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            keys.append(ratioKey(t, r));
    for (int g = 0; g < InsulationGaps; ++g)
        keys.append(r60Key(g));
    keys.append(R60TemperatureKey);
    return keys;
}

std::optional<Verdict> verdictOf(const QString &text)
{
    for (Verdict v : {Verdict::Complies, Verdict::Fails, Verdict::NeedsAnalysis, Verdict::NotAssessed}) {
        if (verdictText(v) == text)
            return v;
    }
    return std::nullopt;
}

} // namespace

QString path()
{
    return recordFilePath(FileName);
}

QString resistanceKey(int tap, int row)
{
    return u"R "_s + TapNames[tap] + u' ' + ResistanceRows[row];
}

QString ratioKey(int tap, int row)
{
    return u"K "_s + TapNames[tap] + u' ' + RatioRows[row];
}

QString r60Key(int gap)
{
    return u"R60 "_s + Gaps[gap];
}

std::optional<double> declaredNumber(const QString &text)
{
    return readTypedNumber(text).value;
}

QString declaredText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 12) : QString();
}

TypeDeclared loadType(const QString &typeName)
{
    const QHash<QString, QString> v = CatalogueFile::loadDeclared(typeName);
    TypeDeclared d;
    d.p0 = declaredNumber(v.value(CatalogueFile::DeclaredP0Key));
    d.pk = declaredNumber(v.value(CatalogueFile::DeclaredPkKey));
    d.i0 = declaredNumber(v.value(CatalogueFile::DeclaredI0Key));
    d.uk = declaredNumber(v.value(CatalogueFile::DeclaredUkKey));
    d.tapStep = declaredNumber(v.value(CatalogueFile::DeclaredTapStepKey));
    d.oilProtection = protectionOf(v.value(CatalogueFile::DeclaredOilProtectionKey));
    return d;
}

bool saveType(const QString &typeName, const TypeDeclared &d)
{
    return CatalogueFile::saveDeclared(typeName, {
        {CatalogueFile::DeclaredP0Key, declaredText(d.p0)},
        {CatalogueFile::DeclaredPkKey, declaredText(d.pk)},
        {CatalogueFile::DeclaredI0Key, declaredText(d.i0)},
        {CatalogueFile::DeclaredUkKey, declaredText(d.uk)},
        {CatalogueFile::DeclaredTapStepKey, declaredText(d.tapStep)},
        {CatalogueFile::DeclaredOilProtectionKey, protectionText(d.oilProtection)},
    });
}

QString serialSection(const QString &serial)
{
    return u"Заводской № "_s + serial.trimmed();
}

QString testSection(const QString &serial, const QString &protocolNumber)
{
    return u"Испытание "_s + serial.trimmed() + u" / протокол "_s + protocolNumber.trimmed();
}

bool canStore(const QString &serial, const QString &protocolNumber)
{
    return !serial.trimmed().isEmpty() && KeyValueFile::isFitSectionName(testSection(serial, protocolNumber));
}

SerialDeclared loadSerial(const QString &serial)
{
    SerialDeclared d;
    if (!canStore(serial))
        return d;
    const QHash<QString, QString> v = KeyValueFile(path()).readValues(serialSection(serial), serialKeys());
    for (int t = 0; t < ResistanceTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            d.resistance[t][r] = declaredNumber(v.value(resistanceKey(t, r)));
    d.resistanceTemperature = declaredNumber(v.value(ResistanceTemperatureKey));
    for (int t = 0; t < RatioTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            d.ratio[t][r] = declaredNumber(v.value(ratioKey(t, r)));
    for (int g = 0; g < InsulationGaps; ++g)
        d.r60[g] = declaredNumber(v.value(r60Key(g)));
    d.r60Temperature = declaredNumber(v.value(R60TemperatureKey));
    return d;
}

void saveSerial(const QString &serial, const SerialDeclared &d)
{
    if (!canStore(serial))
        return;
    KeyValueFile::Entries e;
    for (int t = 0; t < ResistanceTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            e.append({resistanceKey(t, r), declaredText(d.resistance[t][r])});
    e.append({ResistanceTemperatureKey, declaredText(d.resistanceTemperature)});
    for (int t = 0; t < RatioTaps; ++t)
        for (int r = 0; r < Phases; ++r)
            e.append({ratioKey(t, r), declaredText(d.ratio[t][r])});
    for (int g = 0; g < InsulationGaps; ++g)
        e.append({r60Key(g), declaredText(d.r60[g])});
    e.append({R60TemperatureKey, declaredText(d.r60Temperature)});
    KeyValueFile(path()).writeValues(serialSection(serial), e);
}

TestRecord loadTest(const QString &serial, const QString &protocolNumber)
{
    TestRecord record;
    if (!canStore(serial, protocolNumber))
        return record;
    const KeyValueFile file(path());
    const QString section = testSection(serial, protocolNumber);
    const QHash<QString, QString> v = file.readValues(section, {InsulationTemperatureKey, OilKey, ProtectionKey,
                                                                OverridesKey});
    record.declared.insulationTemperature = declaredNumber(v.value(InsulationTemperatureKey));
    const QString oil = v.value(OilKey);
    record.declared.oil = oil == OilBeforeFilling ? OilState::BeforeFilling
        : oil == OilInService                     ? OilState::InService
                                                  : OilState::Unknown;
    record.declared.oilProtection = protectionOf(v.value(ProtectionKey));
    const int count = std::clamp(KeyValueFile::parseInteger(v.value(OverridesKey)).value_or(0), 0, MostOverrides);
    QStringList keys;
    for (int i = 1; i <= count; ++i)
        keys << overrideKey(i) << basisKey(i);
    const QHash<QString, QString> o = file.readValues(section, keys);
    for (int i = 1; i <= count; ++i) {
        // "id|verdict|reason": the reason may hold the bar itself.
        const QString text = o.value(overrideKey(i));
        const qsizetype first = text.indexOf(u'|');
        const qsizetype second = first < 0 ? -1 : text.indexOf(u'|', first + 1);
        if (second < 0)
            continue;
        const std::optional<Verdict> verdict = verdictOf(text.mid(first + 1, second - first - 1));
        if (verdict && first > 0)
            record.overrides.insert(text.left(first), {*verdict, text.mid(second + 1), o.value(basisKey(i))});
    }
    return record;
}

void saveTest(const QString &serial, const QString &protocolNumber, const TestRecord &record)
{
    if (!canStore(serial, protocolNumber))
        return;
    const OilState oil = record.declared.oil;
    KeyValueFile::Entries e{
        {InsulationTemperatureKey, declaredText(record.declared.insulationTemperature)},
        {OilKey, oil == OilState::BeforeFilling ? OilBeforeFilling : oil == OilState::InService ? OilInService : QString()},
        {ProtectionKey, protectionText(record.declared.oilProtection)},
        {OverridesKey, QString::number(record.overrides.size())},
    };
    QStringList ids = record.overrides.keys();
    ids.sort();
    for (int i = 0; i < ids.size(); ++i) {
        const VerdictOverride &o = record.overrides.value(ids[i]);
        // One line: a line break in the reason would end the value.
        QString reason = o.reason;
        reason.replace(u'\r', u' ').replace(u'\n', u' ');
        e.append({overrideKey(i + 1), ids[i] + u'|' + verdictText(o.verdict) + u'|' + reason});
        e.append({basisKey(i + 1), o.basis});
    }
    KeyValueFile(path()).writeValues(testSection(serial, protocolNumber), e);
}

} // namespace DeclaredStore
