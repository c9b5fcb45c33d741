#include "judgement.h"

#include "numbersyntax.h"

#include <QLocale>

#include <functional>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Deviations are computed from decimal texts: one exactly at its limit must not fail by
// the last bit of a binary fraction.
constexpr double Slack = 1e-9;

const QString TapNames[ResistanceTaps] = {u"I"_s, u"II"_s, u"III"_s, u"IV"_s, u"V"_s, u"НН"_s};
const QString ResistanceRowNames[Phases] = {u"AB"_s, u"CA"_s, u"BC"_s};
const QString RatioRowNames[Phases] = {u"AB"_s, u"BC"_s, u"CA"_s};
const QString GapNames[InsulationGaps] = {u"ВН-К"_s, u"НН-К"_s, u"ВН-НН"_s};
const QString R15Keys[InsulationGaps] = {u"RHigh15"_s, u"RLow15"_s, u"RHL15"_s};
const QString R60Keys[InsulationGaps] = {u"RHigh60"_s, u"RLow60"_s, u"RHL60"_s};
const QString KabsKeys[InsulationGaps] = {u"KabsHigh"_s, u"KabsLow"_s, u"KabsHL"_s};


QString percent(double v)
{
    return (v >= 0 ? u"+"_s : QString()) + QLocale::c().toString(v, 'f', 2) + u" %"_s;
}

QString degrees(double t)
{
    return numberText(t) + u" °C"_s;
}

QString tapName(int tap)
{
    return tap == ResistanceTaps - 1 ? u"обмотка НН"_s : u"положение "_s + TapNames[tap];
}

QString resistanceKey(int tap, int row)
{
    return u"ResistenceGrid"_s + QString::number(tap) + QString::number(row);
}

QString ratioKey(int tap, int row)
{
    return u"TransformGrid"_s + QString::number(2 * tap + 1) + QString::number(row);
}

// The checks of one judgement, written row by row.
class Judge {
public:
    Judge(const AssessmentInput &input, const NormsTable &norms) : in(input), norms(norms) {}

    QList<AssessmentRow> run();

private:
    const AssessmentInput &in;
    const NormsTable &norms;
    QList<AssessmentRow> rows;

    QString text(const QString &key) const { return in.texts.value(key).trimmed(); }
    std::optional<double> value(const QString &key) const { return resultNumber(in.texts.value(key)); }
    bool onePhase() const { return text(u"FasNumber"_s) == u"Одна"_s; }
    int phaseCount() const { return onePhase() ? 1 : Phases; }
    std::optional<double> materialConstant() const;
    std::optional<double> windingTemperature() const { return value(u"Temperature"_s); }

    AssessmentRow &add(const QString &normId, const QString &which, const QString &quantity);
    void notAssessed(AssessmentRow &row, const QString &missing);
    void judgeAbove(AssessmentRow &row, double deviation, double limit); // deviation ≤ limit
    double limit(const QString &id, int index = 0) const { return norms.value(id, index); }

    void spreadOfPhases(const QString &normId, int taps, const QString *rowNames,
                        const std::function<QString(int, int)> &key);
    void resistanceAgainst(const QString &normId, const QString &whose,
                           const std::function<std::optional<double>(int, int)> &reference,
                           std::optional<double> referenceTemperature);
    void resistanceChecks();
    void ratioChecks();
    void groupCheck();
    void insulationChecks();
    void oilChecks();
    void declaredChecks();
    bool anyMeasured(int taps, const std::function<QString(int, int)> &key) const;
};

std::optional<double> Judge::materialConstant() const
{
    const QString material = text(u"Material"_s);
    if (material == u"медь"_s)
        return 235;
    if (material == u"алюминий"_s)
        return 225;
    return std::nullopt;
}

AssessmentRow &Judge::add(const QString &normId, const QString &which, const QString &quantity)
{
    const NormRow &norm = norms.norm(normId);
    AssessmentRow row;
    row.normId = normId;
    row.id = which.isEmpty() ? normId : normId + u'.' + which;
    row.quantity = quantity.isEmpty() ? norm.quantity : norm.quantity + u", "_s + quantity;
    row.limit = norm.limit;
    row.source = norm.source;
    row.confirmed = norm.confirmed;
    rows.append(row);
    return rows.last();
}

void Judge::notAssessed(AssessmentRow &row, const QString &missing)
{
    row.verdict = Verdict::NotAssessed;
    row.missing = missing;
}

void Judge::judgeAbove(AssessmentRow &row, double deviation, double limit)
{
    row.deviation = percent(deviation);
    row.verdict = deviation <= limit + Slack ? Verdict::Complies : Verdict::Fails;
}

bool Judge::anyMeasured(int taps, const std::function<QString(int, int)> &key) const
{
    for (int t = 0; t < taps; ++t) {
        for (int r = 0; r < Phases; ++r) {
            if (!text(key(t, r)).isEmpty())
                return true;
        }
    }
    return false;
}

// The three phases of each measured tap against each other: (max - min) / max, as the
// resistance page's own "%" computes it.
void Judge::spreadOfPhases(const QString &normId, int taps, const QString *rowNames,
                           const std::function<QString(int, int)> &key)
{
    if (onePhase())
        return;
    if (!anyMeasured(taps, key)) {
        notAssessed(add(normId, QString(), QString()), u"нет измерений"_s);
        return;
    }
    for (int t = 0; t < taps; ++t) {
        QStringList shown, missing;
        QList<double> values;
        for (int r = 0; r < Phases; ++r) {
            const std::optional<double> v = value(key(t, r));
            if (v)
                values.append(*v);
            else
                missing.append(rowNames[r]);
            if (!text(key(t, r)).isEmpty())
                shown.append(rowNames[r] + u' ' + text(key(t, r)));
        }
        if (shown.isEmpty())
            continue;
        AssessmentRow &row = add(normId, QString::number(t), tapName(t));
        row.measured = shown.join(u"; "_s);
        row.reference = u"(max - min) / max"_s;
        if (!missing.isEmpty()) {
            notAssessed(row, u"нет числа фазы "_s + missing.join(u", "_s));
            continue;
        }
        const auto [lo, hi] = std::minmax_element(values.cbegin(), values.cend());
        if (*hi <= 0) {
            notAssessed(row, u"нет ненулевых значений"_s);
            continue;
        }
        row.deviation = QLocale::c().toString((*hi - *lo) / *hi * 100, 'f', 2) + u" %"_s;
        row.verdict = (*hi - *lo) / *hi * 100 <= limit(normId) + Slack ? Verdict::Complies : Verdict::Fails;
    }
}

// Each measured tap against reference resistances reduced to the winding temperature.
void Judge::resistanceAgainst(const QString &normId, const QString &whose,
                              const std::function<std::optional<double>(int, int)> &reference,
                              std::optional<double> referenceTemperature)
{
    const auto key = [](int t, int r) { return resistanceKey(t, r); };
    if (!anyMeasured(ResistanceTaps, key)) {
        notAssessed(add(normId, QString(), QString()), u"нет измерений"_s);
        return;
    }
    const std::optional<double> theta = windingTemperature();
    const std::optional<double> constant = materialConstant();
    for (int t = 0; t < ResistanceTaps; ++t) {
        QStringList measured, reduced, lacking;
        double worst = 0;
        QString worstName;
        bool anyPair = false;
        for (int r = 0; r < phaseCount(); ++r) {
            const std::optional<double> m = value(resistanceKey(t, r));
            if (!text(resistanceKey(t, r)).isEmpty())
                measured.append(ResistanceRowNames[r] + u' ' + text(resistanceKey(t, r)));
            const std::optional<double> ref = reference(t, r);
            if (!m)
                continue;
            if (!ref || *ref <= 0) {
                lacking.append(ResistanceRowNames[r]);
                continue;
            }
            if (!theta || !referenceTemperature || !constant)
                continue;
            const double at = resistanceAt(*ref, *referenceTemperature, *theta, *constant);
            reduced.append(ResistanceRowNames[r] + u' ' + numberText(at));
            const double d = deviationPercent(*m, at);
            if (!anyPair || std::fabs(d) > std::fabs(worst)) {
                worst = d;
                worstName = ResistanceRowNames[r];
            }
            anyPair = true;
        }
        if (measured.isEmpty())
            continue;
        AssessmentRow &row = add(normId, QString::number(t), tapName(t));
        row.measured = measured.join(u"; "_s);
        if (lacking.size() == measured.size() || (!anyPair && theta && referenceTemperature && constant)) {
            notAssessed(row, u"нет "_s + whose + u" значений"_s);
            continue;
        }
        if (!theta) {
            notAssessed(row, u"нет температуры обмотки"_s);
            continue;
        }
        if (!referenceTemperature) {
            notAssessed(row, u"нет температуры "_s + whose + u" измерения"_s);
            continue;
        }
        if (!constant) {
            notAssessed(row, u"не выбран материал обмоток"_s);
            continue;
        }
        row.reference = reduced.join(u"; "_s);
        row.note = u"приведено от "_s + degrees(*referenceTemperature) + u" к "_s + degrees(*theta)
            + u" (T = "_s + numberText(*constant) + u')';
        if (!lacking.isEmpty())
            row.note += u"; без "_s + whose + u" значения: "_s + lacking.join(u", "_s);
        row.deviation = percent(worst) + u" ("_s + worstName + u')';
        row.verdict = std::fabs(worst) <= limit(normId) + Slack ? Verdict::Complies : Verdict::Fails;
    }
}

void Judge::resistanceChecks()
{
    spreadOfPhases(u"resistance.phases"_s, ResistanceTaps, ResistanceRowNames,
                   [](int t, int r) { return resistanceKey(t, r); });

    const SerialDeclared &s = in.serial;
    bool anyFactory = false;
    for (const auto &tap : s.resistance)
        anyFactory = anyFactory || std::any_of(tap.cbegin(), tap.cend(), [](auto v) { return v.has_value(); });
    if (!anyFactory)
        notAssessed(add(u"resistance.factory"_s, QString(), QString()), u"нет заводских значений"_s);
    else
        resistanceAgainst(u"resistance.factory"_s, u"заводских"_s,
                          [&](int t, int r) { return s.resistance[t][r]; }, s.resistanceTemperature);

    if (!in.previous.present) {
        notAssessed(add(u"resistance.previous"_s, QString(), QString()),
                    u"нет предыдущего протокола этого заводского номера"_s);
        return;
    }
    const QHash<QString, QString> &p = in.previous.texts;
    resistanceAgainst(u"resistance.previous"_s, u"прежних"_s,
                      [&](int t, int r) { return resultNumber(p.value(resistanceKey(t, r))); },
                      resultNumber(p.value(u"Temperature"_s)));
    for (AssessmentRow &row : rows) {
        if (row.normId == u"resistance.previous"_s)
            row.reference = (row.reference.isEmpty() ? QString() : row.reference + u"; "_s) + in.previous.label;
    }
}

void Judge::ratioChecks()
{
    const auto key = [](int t, int r) { return ratioKey(t, r); };
    spreadOfPhases(u"ratio.phases"_s, RatioTaps, RatioRowNames, key);

    const SerialDeclared &s = in.serial;
    const bool measured = anyMeasured(RatioTaps, key);

    // Against the factory: the worst phase of each tap.
    bool anyFactory = false;
    for (const auto &tap : s.ratio)
        anyFactory = anyFactory || std::any_of(tap.cbegin(), tap.cend(), [](auto v) { return v.has_value(); });
    if (!anyFactory) {
        notAssessed(add(u"ratio.factory"_s, QString(), QString()), u"нет заводских значений"_s);
    } else if (!measured) {
        notAssessed(add(u"ratio.factory"_s, QString(), QString()), u"нет измерений"_s);
    } else {
        for (int t = 0; t < RatioTaps && measured; ++t) {
            QStringList shown, refs;
            double worst = 0;
            QString worstName;
            bool any = false;
            for (int r = 0; r < phaseCount(); ++r) {
                const std::optional<double> m = value(ratioKey(t, r));
                if (!text(ratioKey(t, r)).isEmpty())
                    shown.append(RatioRowNames[r] + u' ' + text(ratioKey(t, r)));
                if (!m || !s.ratio[t][r] || *s.ratio[t][r] <= 0)
                    continue;
                refs.append(RatioRowNames[r] + u' ' + numberText(*s.ratio[t][r]));
                const double d = deviationPercent(*m, *s.ratio[t][r]);
                if (!any || std::fabs(d) > std::fabs(worst)) {
                    worst = d;
                    worstName = RatioRowNames[r];
                }
                any = true;
            }
            if (shown.isEmpty())
                continue;
            AssessmentRow &row = add(u"ratio.factory"_s, QString::number(t), tapName(t));
            row.measured = shown.join(u"; "_s);
            if (!any) {
                notAssessed(row, u"нет заводских значений"_s);
                continue;
            }
            row.reference = refs.join(u"; "_s);
            row.deviation = percent(worst) + u" ("_s + worstName + u')';
            row.verdict = std::fabs(worst) <= limit(u"ratio.factory"_s) + Slack ? Verdict::Complies : Verdict::Fails;
        }
    }

    // Against the nameplate: Uвн / Uнн on the principal tap, one step per position off it.
    const QString id = u"ratio.declared"_s;
    if (!measured) {
        notAssessed(add(id, QString(), QString()), u"нет измерений"_s);
        return;
    }
    const std::optional<double> hv = value(u"Unom2"_s);
    const std::optional<double> lv = value(u"Unom"_s);
    const std::optional<double> uk = value(u"Ukz112"_s);
    const double base = limit(id, 0);
    const double tolerance = uk ? std::min(base, *uk / limit(id, 1)) : base;
    for (int t = 0; t < RatioTaps; ++t) {
        QStringList shown;
        for (int r = 0; r < phaseCount(); ++r) {
            if (!text(ratioKey(t, r)).isEmpty())
                shown.append(RatioRowNames[r] + u' ' + text(ratioKey(t, r)));
        }
        if (shown.isEmpty())
            continue;
        AssessmentRow &row = add(id, QString::number(t), tapName(t));
        row.measured = shown.join(u"; "_s);
        if (!hv || !lv || *hv <= 0 || *lv <= 0) {
            notAssessed(row, u"нет номинальных напряжений Uвн, Uнн"_s);
            continue;
        }
        if (t != PrincipalTap && !in.type.tapStep) {
            notAssessed(row, u"нет шага регулирования"_s);
            continue;
        }
        const double step = t == PrincipalTap ? 0 : *in.type.tapStep;
        const double declared = *hv / *lv * (1 + (PrincipalTap - t) * step / 100);
        row.reference = numberText(declared) + u" = "_s + numberText(*hv) + u" / "_s + numberText(*lv);
        if (t != PrincipalTap)
            row.reference += u" × (1 "_s + (PrincipalTap - t > 0 ? u"+ "_s : u"- "_s)
                + QString::number(std::abs(PrincipalTap - t)) + u" × "_s + numberText(step) + u" %)"_s;
        double worst = 0;
        QString worstName;
        bool any = false;
        for (int r = 0; r < phaseCount(); ++r) {
            const std::optional<double> m = value(ratioKey(t, r));
            if (!m)
                continue;
            const double d = deviationPercent(*m, declared);
            if (!any || std::fabs(d) > std::fabs(worst)) {
                worst = d;
                worstName = RatioRowNames[r];
            }
            any = true;
        }
        if (!any) {
            notAssessed(row, u"нет числа в измерениях"_s);
            continue;
        }
        row.deviation = percent(worst) + u" ("_s + worstName + u')';
        const bool within = std::fabs(worst) <= tolerance + Slack;
        row.note = uk ? u"допуск ±"_s + numberText(tolerance) + u" % (uk = "_s + numberText(*uk) + u" %)"_s
                      : u"допуск ±"_s + numberText(base) + u" %; uk не измерено"_s;
        if (t != PrincipalTap) {
            row.verdict = within ? Verdict::Complies : Verdict::NeedsAnalysis;
            if (!within)
                row.note += u"; вне основного положения - по согласованию"_s;
        } else if (!uk && within) {
            // A tenth of uk may be tighter than the base figure: without uk, nothing is decided.
            notAssessed(row, u"нет измеренного uk при 75 °C"_s);
        } else {
            row.verdict = within ? Verdict::Complies : Verdict::Fails;
        }
    }
}

void Judge::groupCheck()
{
    if (onePhase())
        return;
    AssessmentRow &row = add(u"group"_s, QString(), QString());
    const QString group = text(u"Group"_s);
    const QString circuit = text(u"Circuit"_s);
    row.measured = group;
    row.reference = circuit;
    if (group.isEmpty()) {
        notAssessed(row, u"нет измеренной группы"_s);
        return;
    }
    const qsizetype dash = circuit.lastIndexOf(u'-');
    bool ok = false;
    const int declared = dash < 0 ? -1 : circuit.mid(dash + 1).trimmed().toInt(&ok);
    if (!ok) {
        notAssessed(row, u"нет схемы соединения с группой"_s);
        return;
    }
    bool measuredOk = false;
    const int measured = group.toInt(&measuredOk);
    row.verdict = measuredOk && measured == declared ? Verdict::Complies : Verdict::Fails;
}

void Judge::insulationChecks()
{
    const std::optional<double> theta = in.test.insulationTemperature;
    const NormRow &r60 = norms.norm(u"insulation.r60"_s);
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(r60.id, QString::number(g), GapNames[g]);
        const std::optional<double> m = value(R60Keys[g]);
        row.measured = text(R60Keys[g]);
        if (!m) {
            notAssessed(row, u"нет R60"_s);
            continue;
        }
        if (!theta) {
            notAssessed(row, u"нет температуры измерения изоляции"_s);
            continue;
        }
        const std::optional<double> least = leastR60(r60.values, *theta);
        if (!least) {
            row.verdict = Verdict::NeedsAnalysis;
            row.note = u"измерено при "_s + degrees(*theta) + u", вне таблицы нормы"_s;
            continue;
        }
        row.reference = u"не менее "_s + numberText(*least) + u" МОм при "_s + degrees(*theta);
        const double d = deviationPercent(*m, *least);
        row.deviation = percent(d);
        row.verdict = d >= -Slack ? Verdict::Complies : Verdict::Fails;
    }

    const QString kabsId = u"insulation.kabs"_s;
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(kabsId, QString::number(g), GapNames[g]);
        std::optional<double> k = value(KabsKeys[g]);
        row.measured = text(KabsKeys[g]);
        if (!k) {
            const std::optional<double> r15 = value(R15Keys[g]), r60v = value(R60Keys[g]);
            if (r15 && r60v && *r15 > 0) {
                k = *r60v / *r15;
                row.measured = numberText(*k) + u" = "_s + text(R60Keys[g]) + u" / "_s + text(R15Keys[g]);
            }
        }
        if (!k) {
            notAssessed(row, u"нет R15 и R60"_s);
            continue;
        }
        if (!theta) {
            notAssessed(row, u"нет температуры измерения изоляции"_s);
            continue;
        }
        const double least = limit(kabsId, 0);
        row.reference = u"не менее "_s + numberText(least);
        const double d = deviationPercent(*k, least);
        row.deviation = percent(d);
        if (*theta < limit(kabsId, 1) - Slack || *theta > limit(kabsId, 2) + Slack) {
            row.verdict = Verdict::NeedsAnalysis;
            row.note = u"измерено при "_s + degrees(*theta) + u", вне "_s + numberText(limit(kabsId, 1))
                + u"-"_s + numberText(limit(kabsId, 2)) + u" °C"_s;
            continue;
        }
        row.note = u"измерено при "_s + degrees(*theta);
        row.verdict = d >= -Slack ? Verdict::Complies : Verdict::Fails;
    }

    const QString factoryId = u"insulation.factory"_s;
    const SerialDeclared &s = in.serial;
    if (std::none_of(s.r60.cbegin(), s.r60.cend(), [](auto v) { return v.has_value(); })) {
        notAssessed(add(factoryId, QString(), QString()), u"нет заводских R60"_s);
        return;
    }
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(factoryId, QString::number(g), GapNames[g]);
        const std::optional<double> m = value(R60Keys[g]);
        row.measured = text(R60Keys[g]);
        if (!m) {
            notAssessed(row, u"нет R60"_s);
        } else if (!s.r60[g] || *s.r60[g] <= 0) {
            notAssessed(row, u"нет заводского R60"_s);
        } else if (!s.r60Temperature) {
            notAssessed(row, u"нет температуры заводского измерения"_s);
        } else if (!theta) {
            notAssessed(row, u"нет температуры измерения изоляции"_s);
        } else {
            const double at = insulationAt(*s.r60[g], *s.r60Temperature, *theta, limit(factoryId, 1));
            row.reference = numberText(at) + u" МОм (заводское "_s + numberText(*s.r60[g]) + u" при "_s
                + degrees(*s.r60Temperature) + u", приведено к "_s + degrees(*theta) + u')';
            const double d = deviationPercent(*m, at);
            row.deviation = percent(d);
            row.verdict = d >= limit(factoryId, 0) - 100 - Slack ? Verdict::Complies : Verdict::Fails;
        }
    }
}

// A leading number of a free text such as "52 кВ" or "0,02".
std::optional<double> leadingNumber(QString text)
{
    text = text.trimmed().replace(u',', u'.');
    long double v = 0;
    if (text.isEmpty() || readLeadingNumber(text, v) == 0)
        return std::nullopt;
    return double(v);
}

void Judge::oilChecks()
{
    const OilState oil = in.test.oil;
    const auto start = [&](const QString &id, const QString &key, std::optional<double> &v) -> AssessmentRow * {
        AssessmentRow &row = add(id, QString(), QString());
        row.measured = text(key);
        v = leadingNumber(text(key));
        if (row.measured.isEmpty()) {
            notAssessed(row, u"нет результата анализа"_s);
            return nullptr;
        }
        if (!v) {
            notAssessed(row, u"нет числа в «"_s + row.measured + u"»"_s);
            return nullptr;
        }
        return &row;
    };
    const QString noState = u"не указано состояние масла"_s;
    const QString stateNote = oil == OilState::BeforeFilling ? u"масло до заливки"_s : u"масло в эксплуатации"_s;

    std::optional<double> v;
    if (AssessmentRow *row = start(u"oil.breakdown"_s, u"ElectricStrength"_s, v)) {
        const std::optional<double> hv = value(u"Unom2"_s);
        const QList<double> &n = norms.norm(row->normId).values;
        int band = -1;
        if (hv && *hv > 0)
            band = *hv <= n[0] * 1000 + Slack ? 0 : *hv <= n[3] * 1000 + Slack ? 3 : -2;
        if (oil == OilState::Unknown) {
            notAssessed(*row, noState);
        } else if (band == -1) {
            notAssessed(*row, u"нет номинального напряжения ВН"_s);
        } else if (band == -2) {
            notAssessed(*row, u"нет нормы для класса выше "_s + numberText(n[3]) + u" кВ"_s);
        } else {
            const double least = n[band + (oil == OilState::BeforeFilling ? 1 : 2)];
            row->reference = u"не менее "_s + numberText(least) + u" кВ"_s;
            row->note = u"класс до "_s + numberText(n[band]) + u" кВ, "_s + stateNote;
            const double d = deviationPercent(*v, least);
            row->deviation = percent(d);
            row->verdict = d >= -Slack ? Verdict::Complies : Verdict::Fails;
        }
    }
    if (AssessmentRow *row = start(u"oil.acid"_s, u"AcidNumber"_s, v)) {
        const QList<double> &n = norms.norm(row->normId).values;
        if (oil == OilState::Unknown) {
            notAssessed(*row, noState);
        } else if (oil == OilState::BeforeFilling) {
            row->reference = u"не более "_s + numberText(n[0]);
            row->note = stateNote;
            judgeAbove(*row, deviationPercent(*v, n[0]), 0);
        } else {
            row->reference = u"не более "_s + numberText(n[1]) + u", предел "_s + numberText(n[2]);
            row->note = stateNote;
            row->deviation = percent(deviationPercent(*v, n[1]));
            row->verdict = *v <= n[1] + Slack ? Verdict::Complies
                : *v <= n[2] + Slack          ? Verdict::NeedsAnalysis
                                              : Verdict::Fails;
        }
    }
    {
        AssessmentRow *row = start(u"oil.flash"_s, u"FlashTemperature"_s, v);
        const std::optional<double> before = leadingNumber(in.previous.texts.value(u"FlashTemperature"_s));
        if (row && !in.previous.present) {
            notAssessed(*row, u"нет предыдущего протокола этого заводского номера"_s);
        } else if (row && !before) {
            notAssessed(*row, u"нет температуры вспышки в предыдущем протоколе"_s);
        } else if (row) {
            const double fall = *before - *v;
            row->reference = numberText(*before) + u" °C, "_s + in.previous.label;
            row->deviation = u"снижение "_s + numberText(fall) + u" °C"_s;
            row->verdict = fall <= limit(row->normId) + Slack ? Verdict::Complies : Verdict::Fails;
        }
    }
    if (AssessmentRow *row = start(u"oil.water"_s, u"WaterContent"_s, v)) {
        const QList<double> &n = norms.norm(row->normId).values;
        if (oil == OilState::Unknown) {
            notAssessed(*row, noState);
        } else {
            const double most = n[oil == OilState::BeforeFilling ? 0 : 1];
            row->reference = u"не более "_s + numberText(most) + u" г/т"_s;
            row->note = stateNote;
            judgeAbove(*row, deviationPercent(*v, most), 0);
        }
    }
}

void Judge::declaredChecks()
{
    const TypeDeclared &d = in.type;
    const auto against = [&](const QString &id, std::optional<double> measured, const QString &measuredText,
                             std::optional<double> declared, const QString &lacking, const QString &unit) {
        AssessmentRow &row = add(id, QString(), QString());
        row.measured = measuredText;
        if (!measured) {
            notAssessed(row, u"нет измерения"_s);
        } else if (!declared || *declared <= 0) {
            notAssessed(row, u"нет паспортного значения "_s + lacking);
        } else {
            row.reference = numberText(*declared) + unit + u" (паспорт)"_s;
            judgeAbove(row, deviationPercent(*measured, *declared), limit(id));
        }
    };
    const std::optional<double> p0 = value(u"Pxx00"_s), pk = value(u"Pkz12"_s);
    std::optional<double> total, declaredTotal;
    if (p0 && pk)
        total = *p0 + *pk;
    if (d.p0 && d.pk)
        declaredTotal = *d.p0 + *d.pk;
    against(u"losses.total"_s, total, total ? numberText(*total) + u" Вт = "_s + text(u"Pxx00"_s) + u" + "_s + text(u"Pkz12"_s) : QString(),
            declaredTotal, u"P0 и Pк"_s, u" Вт"_s);
    against(u"losses.p0"_s, p0, text(u"Pxx00"_s), d.p0, u"P0"_s, u" Вт"_s);
    against(u"losses.pk"_s, pk, text(u"Pkz12"_s), d.pk, u"Pк"_s, u" Вт"_s);
    against(u"noload.current"_s, value(u"Ixx01"_s), text(u"Ixx01"_s), d.i0, u"I0 %"_s, u" %"_s);

    AssessmentRow &row = add(u"uk"_s, QString(), QString());
    const std::optional<double> uk = value(u"Ukz112"_s);
    row.measured = text(u"Ukz112"_s);
    if (!uk) {
        notAssessed(row, u"нет измерения"_s);
    } else if (!d.uk || *d.uk <= 0) {
        notAssessed(row, u"нет паспортного значения uk %"_s);
    } else {
        const double tolerance = *d.uk < limit(u"uk"_s, 0) ? limit(u"uk"_s, 1) : limit(u"uk"_s, 2);
        row.reference = numberText(*d.uk) + u" % (паспорт)"_s;
        row.note = u"допуск ±"_s + numberText(tolerance) + u" %"_s;
        const double dev = deviationPercent(*uk, *d.uk);
        row.deviation = percent(dev);
        row.verdict = std::fabs(dev) <= tolerance + Slack ? Verdict::Complies : Verdict::Fails;
    }
}

QList<AssessmentRow> Judge::run()
{
    resistanceChecks();
    ratioChecks();
    groupCheck();
    insulationChecks();
    oilChecks();
    declaredChecks();

    // The rows in the norms' order, each check's own rows kept together.
    const QStringList order = NormsTable::ids();
    std::stable_sort(rows.begin(), rows.end(), [&](const AssessmentRow &a, const AssessmentRow &b) {
        return order.indexOf(a.normId) < order.indexOf(b.normId);
    });
    for (AssessmentRow &row : rows) {
        row.automatic = row.verdict;
        const auto o = in.overrides.constFind(row.id);
        if (o != in.overrides.cend()) {
            row.manual = true;
            row.verdict = o->verdict;
            row.reason = o->reason;
        }
    }
    return rows;
}

} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complies:
        return u"соответствует"_s;
    case Verdict::Fails:
        return u"не соответствует"_s;
    case Verdict::NeedsAnalysis:
        return u"требует анализа"_s;
    case Verdict::NotAssessed:
        break;
    }
    return u"не оценивается"_s;
}

QString AssessmentRow::verdictLine() const
{
    QString line = verdictText(verdict);
    if (verdict == Verdict::NotAssessed && !manual && !missing.isEmpty())
        line += u": "_s + missing;
    if (manual)
        line += u" (вручную: "_s + reason + u"; программа: "_s + verdictText(automatic) + u')';
    return line;
}

QList<AssessmentRow> assess(const AssessmentInput &input, const NormsTable &norms)
{
    return Judge(input, norms).run();
}

std::optional<double> resultNumber(const QString &text)
{
    QString t = text.trimmed();
    t.remove(u' ');
    t.remove(QChar(0x00A0));
    t.remove(QChar(0x202F));
    const qsizetype comma = t.indexOf(u','), point = t.indexOf(u'.');
    if (comma >= 0 && point >= 0)
        t.remove(comma < point ? u',' : u'.'); // the first of the two groups digits
    t.replace(u',', u'.');
    long double v = 0;
    if (t.isEmpty() || !readPlainNumber(t, v) || !std::isfinite(double(v)))
        return std::nullopt;
    return double(v);
}

double deviationPercent(double measured, double reference)
{
    return (measured - reference) / reference * 100;
}

double resistanceAt(double resistance, double fromTemperature, double toTemperature, double materialConstant)
{
    return resistance * (materialConstant + toTemperature) / (materialConstant + fromTemperature);
}

double insulationAt(double resistance, double fromTemperature, double toTemperature, double factorPer10)
{
    return resistance / std::pow(factorPer10, (toTemperature - fromTemperature) / 10);
}

std::optional<double> leastR60(const QList<double> &table, double temperature)
{
    for (qsizetype i = 0; i + 1 < table.size(); i += 2) {
        if (std::fabs(temperature - table[i]) <= Slack)
            return table[i + 1];
        if (i + 3 < table.size() && temperature > table[i] && temperature < table[i + 2]) {
            const double share = (temperature - table[i]) / (table[i + 2] - table[i]);
            return table[i + 1] * std::pow(table[i + 3] / table[i + 1], share);
        }
    }
    return std::nullopt;
}

QString numberText(double v)
{
    const double magnitude = std::fabs(v);
    const int decimals = magnitude >= 1000 ? 1 : magnitude >= 100 ? 2 : magnitude >= 1 ? 3 : 4;
    QString text = QLocale::c().toString(v, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}
