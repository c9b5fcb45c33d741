#include "historyseries.h"

#include "archivecomparison.h"
#include "protocolfields.h"
#include "resultrecord.h"
#include "typednumber.h"

#include <QHash>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace HistorySeries {

namespace {

const QString TapNames[] = {u"I"_s, u"II"_s, u"III"_s, u"IV"_s, u"V"_s};
constexpr int HighTaps = 5;
constexpr int LowWinding = 5; // the resistance grid's column of the LV winding
const QString RatioRows[] = {u"AB"_s, u"BC"_s, u"CA"_s};
const QString ResistanceRows[] = {u"AB"_s, u"CA"_s, u"BC"_s};
const QString GapNames[] = {u"ВН - К"_s, u"НН - К"_s, u"ВН - НН"_s};
const ResultId R15Ids[] = {ResultId::RHigh15, ResultId::RLow15, ResultId::RHL15};
const ResultId R60Ids[] = {ResultId::RHigh60, ResultId::RLow60, ResultId::RHL60};
const ResultId KabsIds[] = {ResultId::KabsHigh, ResultId::KabsLow, ResultId::KabsHL};

// The oil's results stand on the protocol after their caption (the protocol's fields).
struct OilField {
    const char16_t *id;
    const char16_t *title;
    const char16_t *unit;
    const QString &field;
    const char16_t *normId;
};
const OilField OilFields[] = {
    {u"oil.breakdown", u"Пробивное напряжение масла", u"кВ", ProtocolFields::ElectricStrength, u"oil.breakdown"},
    {u"oil.acid", u"Кислотное число масла", u"мг КОН/г", ProtocolFields::AcidNumber, u"oil.acid"},
    {u"oil.water", u"Влагосодержание масла", u"г/т", ProtocolFields::WaterContent, u"oil.water"},
    {u"oil.flash", u"Температура вспышки масла", u"°C", ProtocolFields::FlashTemperature, u"oil.flash"},
};

// One plain result of the record.
struct Single {
    const char16_t *id;
    const char16_t *title;
    const char16_t *unit;
    const char16_t *symbol;
    ResultId result;
    const char16_t *normId;
};
const Single Singles[] = {
    {u"i0.percent", u"Ток холостого хода, %", u"%", u"I0", ResultId::Ixx01, u"noload.current"},
    {u"i0", u"Ток холостого хода, А", u"А", u"I0", ResultId::Ixx00, u""},
    {u"p0", u"Потери холостого хода", u"Вт", u"P0", ResultId::Pxx00, u"losses.p0"},
    {u"uk75.percent", u"Напряжение короткого замыкания при 75 °C, %", u"%", u"uk", ResultId::Ukz112, u"uk"},
    {u"uk75", u"Напряжение короткого замыкания при 75 °C, В", u"В", u"Uк", ResultId::Ukz102, u""},
    {u"pk75", u"Потери короткого замыкания при 75 °C", u"Вт", u"Pк", ResultId::Pkz12, u"losses.pk"},
};

// The low-voltage rows read ab, ca, bc for a delta winding, a0, b0, c0 for a star.
bool lowVoltageIsDelta(const ArchiveRecord &record)
{
    const QString circuit = record.fields.value(ProtocolFields::Circuit, record.results.value(Results::quantity(ResultId::Circuit).key)).simplified();
    return circuit == u"U / D - 11" || circuit == u"D / D - 0";
}

bool sameSerial(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// An archived result, kept under its quantity's key. Read leniently: the record may come
// from another bench or another region's separator.
std::optional<double> result(const ArchiveRecord &record, ResultId id)
{
    return leadingValue(record.results.value(Results::quantity(id).key));
}

using Reader = std::function<std::optional<double>(const ArchiveRecord &)>;

struct LinePlan {
    QString name;
    QString normId;
    int tap = -1;
    int row = -1;
    Reader read;
};

struct ChartPlan {
    QString title;
    QString unit;
    QString axisTitle;
    QList<LinePlan> lines;
};

double constantOf(const Options &options)
{
    return options.materialConstant.value_or(CopperConstant);
}

QString materialName(const Options &options)
{
    if (!options.materialConstant || *options.materialConstant == CopperConstant)
        return u"медь"_s;
    if (*options.materialConstant == AluminiumConstant)
        return u"алюминий"_s;
    return u"K = "_s + QString::number(*options.materialConstant);
}

// Resistance measured at the record's winding temperature, as at ReferenceTemperature.
Reader reducedResistance(int tap, int row, double constant)
{
    return [=](const ArchiveRecord &record) -> std::optional<double> {
        const std::optional<double> r = result(record, Results::resistance(tap, row));
        const std::optional<double> theta = result(record, ResultId::Temperature);
        if (!r || !theta || constant + *theta <= 0)
            return std::nullopt;
        return *r * (constant + ReferenceTemperature) / (constant + *theta);
    };
}

Reader kabs(int gap)
{
    return [gap](const ArchiveRecord &record) -> std::optional<double> {
        if (const std::optional<double> k = result(record, KabsIds[gap]))
            return k;
        const std::optional<double> r15 = result(record, R15Ids[gap]);
        const std::optional<double> r60 = result(record, R60Ids[gap]);
        if (r15 && r60 && *r15 > 0)
            return *r60 / *r15;
        return std::nullopt;
    };
}

std::optional<ChartPlan> planOf(const QString &id, const ArchiveRecord *latest, const Options &options)
{
    for (const Single &s : Singles) {
        if (id != QStringView(s.id))
            continue;
        const ResultId key = s.result;
        const QString unit = QString::fromUtf16(s.unit);
        ChartPlan plan{QString::fromUtf16(s.title), unit, QString::fromUtf16(s.symbol) + u", "_s + unit, {}};
        plan.lines.append({plan.title, QString::fromUtf16(s.normId), -1, -1,
                           [key](const ArchiveRecord &r) { return result(r, key); }});
        return plan;
    }
    for (const OilField &o : OilFields) {
        if (id != QStringView(o.id))
            continue;
        const QString field = o.field;
        const QString prefix = ProtocolFields::find(o.field)->prefix;
        const QString unit = QString::fromUtf16(o.unit);
        ChartPlan plan{QString::fromUtf16(o.title), unit, QString::fromUtf16(o.title) + u", "_s + unit, {}};
        plan.lines.append({plan.title, QString::fromUtf16(o.normId), -1, -1,
                           [field, prefix](const ArchiveRecord &r) -> std::optional<double> {
                               QString text = r.fields.value(field).trimmed();
                               if (text.startsWith(prefix.trimmed()))
                                   text = text.mid(prefix.trimmed().size());
                               return leadingValue(text);
                           }});
        return plan;
    }
    const qsizetype dot = id.indexOf(u'.');
    const QString group = id.left(dot);
    bool ok = dot > 0;
    const int index = ok ? id.mid(dot + 1).toInt(&ok) : -1;
    if (group == u"ratio" && ok && index >= 0 && index < HighTaps) {
        ChartPlan plan{u"Коэффициент трансформации, положение "_s + TapNames[index], QString(), u"K"_s, {}};
        for (int row = 0; row < 3; ++row) {
            const ResultId key = Results::ratio(index, row);
            plan.lines.append({RatioRows[row], u"ratio.factory"_s, index, row,
                               [key](const ArchiveRecord &r) { return result(r, key); }});
        }
        return plan;
    }
    if (group == u"resistance" && ok && index >= 0 && index <= LowWinding) {
        const bool low = index == LowWinding;
        const QString reduced = u"Ом, приведено к "_s + QString::number(ReferenceTemperature) + u" °C ("_s
            + materialName(options) + u')';
        ChartPlan plan{low ? u"Сопротивление обмоток НН"_s
                           : u"Сопротивление обмоток ВН, положение "_s + TapNames[index],
                       u"Ом"_s, u"R, "_s + reduced, {}};
        const bool delta = latest && lowVoltageIsDelta(*latest);
        const QString lowRows[] = {delta ? u"ab"_s : u"a0"_s, delta ? u"ca"_s : u"b0"_s, delta ? u"bc"_s : u"c0"_s};
        for (int row = 0; row < 3; ++row)
            plan.lines.append({low ? lowRows[row] : ResistanceRows[row], u"resistance.factory"_s, index, row,
                               reducedResistance(index, row, constantOf(options))});
        return plan;
    }
    if (group == u"insulation" && ok && index >= 0 && index < 3) {
        ChartPlan plan{u"Сопротивление изоляции "_s + GapNames[index], u"МОм"_s, u"R, МОм"_s, {}};
        const ResultId k15 = R15Ids[index], k60 = R60Ids[index];
        plan.lines.append({u"R15"_s, QString(), index, -1, [k15](const ArchiveRecord &r) { return result(r, k15); }});
        plan.lines.append({u"R60"_s, u"insulation.r60"_s, index, -1,
                           [k60](const ArchiveRecord &r) { return result(r, k60); }});
        return plan;
    }
    if (id == u"kabs") {
        ChartPlan plan{u"Коэффициент абсорбции R60/R15"_s, QString(), u"Кабс"_s, {}};
        for (int gap = 0; gap < 3; ++gap)
            plan.lines.append({GapNames[gap], u"insulation.kabs"_s, gap, -1, kabs(gap)});
        return plan;
    }
    return std::nullopt;
}

template<typename Row>
QList<Row> latestRevisionsOf(const QList<Row> &rows, const QString &serialNumber,
                             const std::function<qint64(const Row &)> &msecs)
{
    // The latest revision of each protocol number replaces the ones before it.
    QHash<QString, qsizetype> latest;
    QList<Row> kept;
    for (const Row &row : rows) {
        if (!sameSerial(row.serialNumber, serialNumber))
            continue;
        const QString protocol = row.protocolNumber.trimmed();
        const auto found = latest.constFind(protocol);
        if (found == latest.cend()) {
            latest.insert(protocol, kept.size());
            kept.append(row);
        } else if (row.revision > kept[*found].revision) {
            kept[*found] = row;
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [&](const Row &a, const Row &b) {
        return msecs(a) != msecs(b) ? msecs(a) < msecs(b) : a.id < b.id;
    });
    return kept;
}

} // namespace

std::optional<double> Line::baseline() const
{
    for (const std::optional<double> &v : values) {
        if (v)
            return v;
    }
    return std::nullopt;
}

int Line::pointCount() const
{
    return int(std::count_if(values.cbegin(), values.cend(), [](const auto &v) { return v.has_value(); }));
}

bool Chart::hasData() const
{
    return std::any_of(lines.cbegin(), lines.cend(), [](const Line &l) { return l.pointCount() > 0; });
}

std::optional<std::pair<double, double>> Chart::valueRange() const
{
    std::optional<std::pair<double, double>> range;
    for (const Line &line : lines) {
        for (const std::optional<double> &v : line.values) {
            if (!v)
                continue;
            if (!range)
                range = std::pair{*v, *v};
            range->first = std::min(range->first, *v);
            range->second = std::max(range->second, *v);
        }
    }
    return range;
}

const QList<Quantity> &quantities()
{
    static const QList<Quantity> list = [] {
        QList<Quantity> q;
        for (const Single &s : Singles)
            q.append({QString::fromUtf16(s.id), QString::fromUtf16(s.title)});
        for (int tap = 0; tap < HighTaps; ++tap)
            q.append({u"ratio."_s + QString::number(tap), u"Коэффициент трансформации, положение "_s + TapNames[tap]});
        for (int tap = 0; tap < HighTaps; ++tap)
            q.append({u"resistance."_s + QString::number(tap),
                      u"Сопротивление обмоток ВН, положение "_s + TapNames[tap]});
        q.append({u"resistance."_s + QString::number(LowWinding), u"Сопротивление обмоток НН"_s});
        for (int gap = 0; gap < 3; ++gap)
            q.append({u"insulation."_s + QString::number(gap), u"Сопротивление изоляции "_s + GapNames[gap] + u", R15 и R60"_s});
        q.append({u"kabs"_s, u"Коэффициент абсорбции R60/R15"_s});
        for (const OilField &o : OilFields)
            q.append({QString::fromUtf16(o.id), QString::fromUtf16(o.title)});
        return q;
    }();
    return list;
}

QString titleOf(const QString &quantityId)
{
    for (const Quantity &q : quantities()) {
        if (q.id == quantityId)
            return q.title;
    }
    return QString();
}

QList<ArchiveRecord> recordsOf(const QList<ArchiveRecord> &records, const QString &serialNumber)
{
    return latestRevisionsOf<ArchiveRecord>(records, serialNumber,
                                            [](const ArchiveRecord &r) { return r.moment.toMSecsSinceEpoch(); });
}

QList<ArchiveSummary> summariesOf(const QList<ArchiveSummary> &summaries, const QString &serialNumber)
{
    return latestRevisionsOf<ArchiveSummary>(summaries, serialNumber, [](const ArchiveSummary &s) { return s.msecs; });
}

Chart build(const QString &quantityId, const QList<ArchiveRecord> &records, const QString &serialNumber,
            const Options &options)
{
    const QList<ArchiveRecord> chosen = recordsOf(records, serialNumber);
    Chart chart;
    chart.quantityId = quantityId;
    chart.serialNumber = serialNumber.trimmed();
    if (!chosen.isEmpty()) {
        chart.type = chosen.last().type;
        // "10000 В / 400 В": the HV rating first.
        chart.highVoltage = leadingValue(chosen.last().fields.value(ProtocolFields::Unom));
    }
    for (const ArchiveRecord &r : chosen)
        chart.records.append({r.id, r.moment, r.protocolNumber, r.revision});
    const std::optional<ChartPlan> plan = planOf(quantityId, chosen.isEmpty() ? nullptr : &chosen.last(), options);
    if (!plan)
        return chart;
    chart.title = plan->title;
    chart.unit = plan->unit;
    chart.axisTitle = plan->axisTitle;
    for (const LinePlan &ls : plan->lines) {
        Line line{ls.name, ls.normId, ls.tap, ls.row, {}};
        line.values.reserve(chosen.size());
        for (const ArchiveRecord &r : chosen)
            line.values.append(ls.read(r));
        chart.lines.append(std::move(line));
    }
    return chart;
}

QList<Quantity> quantitiesWithData(const QList<ArchiveRecord> &records, const QString &serialNumber,
                                   const Options &options)
{
    const QList<ArchiveRecord> chosen = recordsOf(records, serialNumber);
    QList<Quantity> found;
    for (const Quantity &q : quantities()) {
        if (build(q.id, chosen, serialNumber, options).hasData())
            found.append(q);
    }
    return found;
}

QStringList sheetQuantities(const QList<ArchiveRecord> &records, const QString &serialNumber, const Options &options)
{
    // Each place takes the first of its quantities that has values; the last ones fill in
    // for places left empty.
    const QList<QStringList> places = {
        {u"p0"_s}, {u"i0.percent"_s, u"i0"_s}, {u"pk75"_s}, {u"uk75.percent"_s, u"uk75"_s},
        {u"resistance.2"_s, u"resistance.0"_s, u"resistance.1"_s, u"resistance.3"_s, u"resistance.4"_s},
        {u"kabs"_s, u"insulation.0"_s},
        {u"resistance.5"_s}, {u"ratio.2"_s, u"ratio.0"_s}, {u"oil.breakdown"_s}, {u"insulation.2"_s},
    };
    constexpr int Most = 6;
    QStringList withData;
    for (const Quantity &q : quantitiesWithData(records, serialNumber, options))
        withData.append(q.id);
    QStringList chosen;
    for (const QStringList &place : places) {
        for (const QString &id : place) {
            if (withData.contains(id)) {
                chosen.append(id);
                break;
            }
        }
        if (chosen.size() == Most)
            break;
    }
    return chosen;
}

std::optional<double> leadingValue(const QString &text)
{
    return readLeadingTypedNumber(text).value;
}

} // namespace HistorySeries
