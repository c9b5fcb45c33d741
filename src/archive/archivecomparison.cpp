#include "archivecomparison.h"

#include "cataloguefile.h"
#include "circuitscheme.h"
#include "declaredstore.h"
#include "judgement.h"
#include "protocolfields.h"
#include "statefile.h"

#include <QLocale>
#include <cmath>

using namespace Qt::StringLiterals;

namespace ArchiveComparison {

namespace {

// Rounding noise of the division must not mark a change exactly at its limit.
constexpr double Tolerance = 1e-9;

// How a quantity's change is judged.
enum class Rule {
    None,       // no norm: shown, never marked
    Within,     // |change| within the norm's per cent
    Rise,       // a rise within the norm's per cent; a fall is no fault (losses, currents)
    Uk,         // |change| within uk's tolerance, chosen by the uk itself
    Resistance, // |change| within per cent, the earlier value reduced to the later temperature
    Insulation, // not below the norm's share of the earlier value reduced with K2
    AtMost,     // the later value within the norm's figure (the imbalance of phases)
    AtLeast,    // the later value not below the norm's figure (the absorption coefficient)
};

// The imbalance is written with its sign of per cent ("0.50 %").
std::optional<double> numberOf(QString text)
{
    text = text.trimmed();
    if (text.endsWith(u'%'))
        text.chop(1);
    return parseNumber(text);
}

QString signedPercent(double v)
{
    const QString digits = QLocale::c().toString(v, 'f', 2);
    return (v >= 0 ? u"+"_s : QString()) + digits + u" %"_s;
}

QString degrees(double t)
{
    return numberText(t) + u" °C"_s;
}

std::optional<double> temperatureOf(const std::optional<double> &t)
{
    if (!t || !std::isfinite(*t) || *t < LeastTemperature || *t > MostTemperature)
        return std::nullopt;
    return t;
}

// The marks and the words of one row.
struct Judged {
    bool marked = false;
    QString norm;
};

Judged notCompared(const QString &why)
{
    return {false, u"не сравнивается: "_s + why};
}

Judged held(bool broken, const QString &detail, const NormRow &norm)
{
    if (!broken)
        return {};
    return {true, detail + u"; "_s + norm.limit + u" ("_s + norm.source + u')'};
}

// The uk in per cent a record holds, reduced to 75 °C when it has that.
std::optional<double> ukOf(const ArchiveRecord &record)
{
    for (const QString &key : {u"Ukz112"_s, u"Ukz111"_s}) {
        const std::optional<double> v = numberOf(record.results.value(key));
        if (v && *v > 0)
            return v;
    }
    return std::nullopt;
}

const QString BeforeName = u"в протоколе «Ранее»"_s;
const QString AfterName = u"в протоколе «Теперь»"_s;

Judged judge(Rule rule, const NormRow &norm, double a, double b, const ArchiveRecord &before,
             const ArchiveRecord &after, const Context &context)
{
    if (rule == Rule::None)
        return {};
    if (norm.id.isEmpty())
        return notCompared(u"нет нормы в таблице норм"_s);
    const double limit = norm.values.value(0);
    const auto relative = [&](double reference) { return (b - reference) / std::fabs(reference) * 100.0; };
    switch (rule) {
    case Rule::AtMost:
        return held(b > limit + Tolerance, u"теперь "_s + numberText(b) + u" %"_s, norm);
    case Rule::AtLeast: {
        const std::optional<double> t = temperatureOf(context.insulationTemperatureAfter);
        if (t && (*t < norm.values.value(1) - Tolerance || *t > norm.values.value(2) + Tolerance))
            return notCompared(u"изоляция измерена при "_s + degrees(*t) + u", норма - при "_s
                               + numberText(norm.values.value(1)) + u"-"_s + numberText(norm.values.value(2)) + u" °C"_s);
        return held(b < limit - Tolerance, u"теперь "_s + numberText(b), norm);
    }
    default:
        break;
    }
    // The rules of a change: an earlier 0 leaves no per cent, and anything after it is a change.
    if (a == 0.0)
        return held(b != 0.0, u"ранее 0"_s, norm);
    switch (rule) {
    case Rule::Within: {
        const double change = relative(a);
        return held(std::fabs(change) > limit + Tolerance, u"изменение "_s + signedPercent(change), norm);
    }
    case Rule::Rise: {
        const double change = relative(a);
        return held(change > limit + Tolerance, u"рост "_s + signedPercent(change), norm);
    }
    case Rule::Uk: {
        // The tolerance of the uk the unit has: the earlier test's, else the later one's; the
        // tighter of the two when neither holds it.
        std::optional<double> uk = ukOf(before);
        if (!uk)
            uk = ukOf(after);
        const double tolerance = !uk ? std::min(norm.values.value(1), norm.values.value(2))
            : *uk < norm.values.value(0)  ? norm.values.value(1)
                                          : norm.values.value(2);
        const double change = relative(a);
        return held(std::fabs(change) > tolerance + Tolerance,
                    u"изменение "_s + signedPercent(change) + u", допуск ±"_s + numberText(tolerance) + u" %"_s
                        + (uk ? u" (uk "_s + numberText(*uk) + u" %)"_s : u" (uk не известно)"_s),
                    norm);
    }
    case Rule::Resistance: {
        const std::optional<double> from = temperatureOf(numberOf(before.results.value(u"Temperature"_s)));
        const std::optional<double> to = temperatureOf(numberOf(after.results.value(u"Temperature"_s)));
        if (!from || !to)
            return notCompared(u"нет температуры обмотки "_s + (!from ? BeforeName : AfterName));
        if (std::fabs(*from - *to) <= Tolerance) {
            const double change = relative(a);
            return held(std::fabs(change) > limit + Tolerance,
                        u"изменение "_s + signedPercent(change) + u" при одной температуре "_s + degrees(*to), norm);
        }
        if (!context.materialConstant)
            return notCompared(u"не известен материал обмоток для приведения к одной температуре"_s);
        const double reduced = resistanceAt(a, *from, *to, *context.materialConstant);
        const double change = relative(reduced);
        return held(std::fabs(change) > limit + Tolerance,
                    u"ранее приведено от "_s + degrees(*from) + u" к "_s + degrees(*to) + u" (T = "_s
                        + numberText(*context.materialConstant) + u"): "_s + numberText(reduced)
                        + u" Ом, изменение "_s + signedPercent(change),
                    norm);
    }
    case Rule::Insulation: {
        const std::optional<double> from = temperatureOf(context.insulationTemperatureBefore);
        const std::optional<double> to = temperatureOf(context.insulationTemperatureAfter);
        if (!from || !to)
            return notCompared(u"нет температуры измерения изоляции "_s + (!from ? BeforeName : AfterName));
        const QList<double> &factors = context.norms.norm(u"insulation.factory"_s).factors;
        const double difference = std::fabs(*to - *from);
        const std::optional<double> k2 = insulationFactor(factors, difference);
        if (!k2)
            return notCompared(u"разность температур "_s + degrees(difference) + u" вне таблицы K2"_s);
        const double reduced = insulationAt(a, *from, *to, *k2);
        const double change = relative(reduced);
        return held(change < limit - 100 - Tolerance,
                    u"ранее приведено от "_s + degrees(*from) + u" к "_s + degrees(*to) + u" (K2 = "_s
                        + numberText(*k2) + u"): "_s + numberText(reduced) + u" МОм, изменение "_s
                        + signedPercent(change),
                    norm);
    }
    default:
        return {};
    }
}

const QStringList &tapNames()
{
    static const QStringList names = {QStringLiteral("I ступень"), QStringLiteral("II ступень"),
                                      QStringLiteral("III ступень"), QStringLiteral("IV ступень"),
                                      QStringLiteral("V ступень")};
    return names;
}

// The scheme as printed, or as the window held it for a record without pages.
QString circuitOf(const ArchiveRecord &record)
{
    return record.fields.value(ProtocolFields::Circuit, record.results.value(ProtocolFields::CircuitControl));
}

} // namespace

std::optional<double> parseNumber(QString text)
{
    text.remove(u' ');
    text.remove(QChar(0x00A0));
    text.remove(QChar(0x202F));
    text.remove(u'\t');
    if (text.isEmpty())
        return std::nullopt;
    const qsizetype comma = text.lastIndexOf(u',');
    const qsizetype point = text.lastIndexOf(u'.');
    if (comma >= 0 && point >= 0) {
        // Both: the later one is the decimal point, the other groups digits.
        text.remove(comma < point ? u',' : u'.');
    }
    text.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> changePercent(const QString &before, const QString &after)
{
    const std::optional<double> a = parseNumber(before);
    const std::optional<double> b = parseNumber(after);
    if (!a || !b || *a == 0.0)
        return std::nullopt;
    return (*b - *a) / std::fabs(*a) * 100.0;
}

bool isMarked(const QString &before, const QString &after)
{
    const std::optional<double> a = parseNumber(before);
    const std::optional<double> b = parseNumber(after);
    if (!a || !b)
        return false;
    if (*a == 0.0)
        return *b != 0.0;
    const std::optional<double> change = changePercent(before, after);
    return std::fabs(*change) > MarkAbovePercent + Tolerance;
}

QString changeText(const std::optional<double> &change)
{
    if (!change)
        return QStringLiteral("—");
    double value = std::round(*change * 10.0) / 10.0;
    if (value == 0.0)
        value = 0.0; // no "-0.0"
    const QString digits = QString::number(value, 'f', 1);
    return value > 0 ? u'+' + digits : digits;
}

Context contextInForce(const ArchiveRecord &before, const ArchiveRecord &after)
{
    Context context;
    context.norms = loadNorms().table;
    for (const ArchiveRecord *record : {&after, &before}) {
        const QString material = record->results.value(u"Material"_s).trimmed();
        if (material == u"медь"_s)
            context.materialConstant = 235;
        else if (material == u"алюминий"_s)
            context.materialConstant = 225;
        if (context.materialConstant)
            break;
    }
    if (!context.materialConstant) {
        TransformerType type;
        if (CatalogueFile::loadType(after.type, type) && type.material >= 0)
            context.materialConstant = type.material == 0 ? 235 : 225;
    }
    context.insulationTemperatureBefore =
        DeclaredStore::loadTest(before.serialNumber, before.protocolNumber).declared.insulationTemperature;
    context.insulationTemperatureAfter =
        DeclaredStore::loadTest(after.serialNumber, after.protocolNumber).declared.insulationTemperature;
    return context;
}

QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after)
{
    return compare(before, after, contextInForce(before, after));
}

QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after, const Context &context)
{
    QList<Row> rows;
    const auto add = [&](const QString &section, const QString &quantity, const QString &key, Rule rule,
                         const QString &normId) {
        const QString a = before.results.value(key).trimmed();
        const QString b = after.results.value(key).trimmed();
        if (a.isEmpty() && b.isEmpty())
            return;
        const std::optional<double> x = numberOf(a);
        const std::optional<double> y = numberOf(b);
        Row row{section, quantity, a, b, std::nullopt, false, rule == Rule::None ? QString() : normId, QString()};
        if (x && y) {
            if (*x != 0.0)
                row.changePercent = (*y - *x) / std::fabs(*x) * 100.0;
            const Judged judged = judge(rule, context.norms.norm(normId), *x, *y, before, after, context);
            row.marked = judged.marked;
            row.norm = judged.norm;
        }
        rows.append(row);
    };

    const QString noLoad = QStringLiteral("Холостой ход");
    const QString current = u"noload.current"_s;
    add(noLoad, QStringLiteral("Ток холостого хода, А"), QStringLiteral("Ixx00"), Rule::Rise, current);
    add(noLoad, QStringLiteral("Ток холостого хода, %"), QStringLiteral("Ixx01"), Rule::Rise, current);
    add(noLoad, QStringLiteral("Потери холостого хода, Вт"), QStringLiteral("Pxx00"), Rule::Rise, u"losses.p0"_s);

    const QString shortCircuit = QStringLiteral("Короткое замыкание");
    add(shortCircuit, QStringLiteral("Uкз приведенное к Iном, В"), QStringLiteral("Ukz101"), Rule::Uk, u"uk"_s);
    add(shortCircuit, QStringLiteral("Uкз, %"), QStringLiteral("Ukz111"), Rule::Uk, u"uk"_s);
    add(shortCircuit, QStringLiteral("Uкз приведенное к 75°С, В"), QStringLiteral("Ukz102"), Rule::Uk, u"uk"_s);
    add(shortCircuit, QStringLiteral("Pкз, Вт"), QStringLiteral("Pkz11"), Rule::Rise, u"losses.pk"_s);
    add(shortCircuit, QStringLiteral("Pкз приведенное к 75°С, Вт"), QStringLiteral("Pkz12"), Rule::Rise, u"losses.pk"_s);

    const QString ratio = QStringLiteral("Коэффициент трансформации");
    const QStringList ratioPairs = {QStringLiteral("Uab"), QStringLiteral("Ubc"), QStringLiteral("Uca")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < ratioPairs.size(); ++row)
            add(ratio, QStringLiteral("K, %1, %2").arg(tapNames()[tap], ratioPairs[row]),
                StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row), Rule::Within, u"ratio.previous"_s);
    }

    const QString resistance = QStringLiteral("Омическое сопротивление");
    const QString previousResistance = u"resistance.previous"_s;
    const QString phases = u"resistance.phases"_s;
    const QStringList highPairs = {QStringLiteral("AB"), QStringLiteral("CA"), QStringLiteral("BC")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < highPairs.size(); ++row)
            add(resistance, QStringLiteral("R, %1, %2, Ом").arg(tapNames()[tap], highPairs[row]),
                StateFile::gridKey(StateFile::ResistenceGrid, tap, row), Rule::Resistance, previousResistance);
        add(resistance, QStringLiteral("Небаланс, %1, %").arg(tapNames()[tap]),
            StateFile::gridKey(StateFile::ResistenceGrid, tap, 3), Rule::AtMost, phases);
    }
    const QStringList lowPairs = lowVoltagePairs(circuitOf(after));
    for (int row = 0; row < lowPairs.size(); ++row)
        add(resistance, QStringLiteral("R обмоток НН, %1, Ом").arg(lowPairs[row]),
            StateFile::gridKey(StateFile::ResistenceGrid, 5, row), Rule::Resistance, previousResistance);
    add(resistance, QStringLiteral("Небаланс обмоток НН, %"), StateFile::gridKey(StateFile::ResistenceGrid, 5, 3),
        Rule::AtMost, phases);

    const QString insulation = QStringLiteral("Испытание изоляции");
    const struct { const char *caption; const char *key15; const char *key60; const char *kabs; } sides[] = {
        {"ВН - К", "RHigh15", "RHigh60", "KabsHigh"},
        {"НН - К", "RLow15", "RLow60", "KabsLow"},
        {"ВН - НН", "RHL15", "RHL60", "KabsHL"},
    };
    for (const auto &side : sides) {
        const QString caption = QString::fromUtf8(side.caption);
        add(insulation, QStringLiteral("Rизоляции %1, 15 сек., МОм").arg(caption), QString::fromLatin1(side.key15),
            Rule::None, QString());
        add(insulation, QStringLiteral("Rизоляции %1, 60 сек., МОм").arg(caption), QString::fromLatin1(side.key60),
            Rule::Insulation, u"insulation.previous"_s);
        add(insulation, QStringLiteral("Кабс 60/15 %1").arg(caption), QString::fromLatin1(side.kabs), Rule::AtLeast,
            u"insulation.kabs"_s);
    }
    return rows;
}

} // namespace ArchiveComparison
