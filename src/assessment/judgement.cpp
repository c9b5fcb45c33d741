#include "judgement.h"

#include "typednumber.h"

#include <QCryptographicHash>
#include <QLocale>

#include <array>
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

QString degrees(double t)
{
    return numberText(t) + u" °C"_s;
}

// A deviation in per cent with two decimals, or as many more as it takes for the shown
// figure to stand on the same side of the limit as the value: "+0.452 %" beside "±0.45 %"
// and "не соответствует", never "+0.45 %".
QString shownPercent(double v, bool signed_, const std::function<bool(double)> &within)
{
    const bool side = within(v);
    QString digits;
    for (int decimals = 2; decimals <= 12; ++decimals) {
        digits = QLocale::c().toString(v, 'f', decimals);
        if (within(digits.toDouble()) == side)
            break;
    }
    return (signed_ && !digits.startsWith(u'-') ? u"+"_s : QString()) + digits + u" %"_s;
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

ResultReading reading(const QString &text, const TypedNumber &n, bool inFront)
{
    ResultReading r;
    r.value = n.value;
    const QString shown = u"«"_s + text.trimmed() + u"»"_s;
    if (n.problem == TypedNumber::Problem::NotANumber)
        r.problem = inFront ? u"нет числа в "_s + shown : shown + u" - не число"_s;
    else if (!n.value && n.problem != TypedNumber::Problem::Empty)
        r.problem = shown + u": "_s + n.problemText();
    return r;
}

// What a check may take a number to be.
enum class Kind {
    Positive,    // a loss, a current, a resistance, a ratio, uk: zero or less cannot be
    NotNegative, // an acid number, a water content
    Temperature, // between LeastTemperature and MostTemperature
    Any,
};

// A number a check takes, or the verdict and the words of why there is none.
struct Taken {
    std::optional<double> value;
    Verdict verdict = Verdict::NotAssessed;
    QString why;
};

// The first of `taken` without a number, one that asks for analysis before one that lacks.
const Taken *firstProblem(std::initializer_list<const Taken *> taken)
{
    const Taken *found = nullptr;
    for (const Taken *t : taken) {
        if (!t->value && (!found || (t->verdict == Verdict::NeedsAnalysis && found->verdict != Verdict::NeedsAnalysis)))
            found = t;
    }
    return found;
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
    bool onePhase() const { return text(u"FasNumber"_s) == u"Одна"_s; }
    int phaseCount() const { return onePhase() ? 1 : Phases; }
    std::optional<double> materialConstant() const;

    // The one place a result text becomes a number for a check.
    Taken result(const QString &key, const QString &name, const QString &absent, Kind kind) const;
    Taken resultText(const QString &text, const QString &name, const QString &absent, Kind kind, bool inFront = false) const;
    Taken declared(std::optional<double> v, const QString &name, const QString &absent, Kind kind) const;
    static Taken take(std::optional<double> v, const QString &problem, const QString &name, const QString &absent,
                      Kind kind, bool measured);

    AssessmentRow &add(const QString &normId, const QString &which, const QString &quantity);
    bool lacksNorm(const QString &normId);
    void notAssessed(AssessmentRow &row, const QString &missing);
    void conclude(AssessmentRow &row, const Taken &taken);
    void judgeAbove(AssessmentRow &row, double deviation, double limit); // deviation ≤ limit
    double limit(const QString &id, int index = 0) const { return norms.value(id, index); }

    void spreadOfPhases(const QString &normId, int taps, const QString *rowNames,
                        const std::function<QString(int, int)> &key);
    void resistanceAgainst(const QString &normId, const QString &whose,
                           const std::function<std::optional<double>(int, int)> &reference,
                           const Taken &referenceTemperature);
    void resistanceChecks();
    void ratioAgainst(const QString &normId, const QString &whose,
                      const std::function<std::optional<double>(int, int)> &reference, bool measured);
    void ratioAgainstTheNameplate(bool measured);
    void ratioChecks();
    void groupCheck();
    QString insulationOutsideItsNorm(const Taken &hv, const Taken &power) const;
    void insulationChecks();
    void r60Checks(const Taken &theta, const QString &outside);
    void kabsChecks(const Taken &theta, const QString &outside);
    void insulationAgainst(const QString &normId, const std::array<QString, 3> &whose,
                           const std::function<std::optional<double>(int)> &reference,
                           const Taken &referenceTemperature, const Taken &theta);
    bool previousAbsent(const QString &normId);
    void noteNearLimit(AssessmentRow &row, double used, double allowance, const QString &allowanceText);
    void referToThePrevious(const QString &normId);
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

Taken Judge::take(std::optional<double> v, const QString &problem, const QString &name, const QString &absent,
                  Kind kind, bool measured)
{
    Taken t;
    if (!v) {
        t.why = problem.isEmpty() ? absent : name + u": "_s + problem;
        return t;
    }
    if (!std::isfinite(*v)) {
        t.why = name + u": не число"_s;
        return t;
    }
    const bool impossible = (kind == Kind::Positive && *v <= 0) || (kind == Kind::NotNegative && *v < 0);
    if (impossible && !measured) {
        // A declared zero is a field left at nothing, not a property of the unit.
        t.why = absent;
        return t;
    }
    if (impossible) {
        t.verdict = Verdict::NeedsAnalysis;
        t.why = name + u' ' + numberText(*v) + u": такого значения быть не может, проверьте измерение"_s;
        return t;
    }
    if (kind == Kind::Temperature && (*v < LeastTemperature || *v > MostTemperature)) {
        t.why = name + u' ' + degrees(*v) + u" вне "_s + numberText(LeastTemperature) + u"…"_s
            + numberText(MostTemperature) + u" °C"_s;
        return t;
    }
    t.value = v;
    return t;
}

Taken Judge::resultText(const QString &text, const QString &name, const QString &absent, Kind kind, bool inFront) const
{
    const ResultReading r = inFront ? readResultInFront(text) : readResult(text);
    if (!r.value && !r.problem.isEmpty()) {
        Taken t;
        t.why = r.problem;
        return t;
    }
    return take(r.value, QString(), name, absent, kind, true);
}

Taken Judge::result(const QString &key, const QString &name, const QString &absent, Kind kind) const
{
    return resultText(in.texts.value(key), name, absent, kind);
}

Taken Judge::declared(std::optional<double> v, const QString &name, const QString &absent, Kind kind) const
{
    return take(v, QString(), name, absent, kind, false);
}

AssessmentRow &Judge::add(const QString &normId, const QString &which, const QString &quantity)
{
    const NormRow &norm = norms.norm(normId);
    AssessmentRow row;
    row.normId = normId;
    row.id = which.isEmpty() ? normId : normId + u'.' + which;
    const QString what = norm.quantity.isEmpty() ? normId : norm.quantity;
    row.quantity = quantity.isEmpty() ? what : what + u", "_s + quantity;
    row.limit = norm.limit;
    row.source = norm.source;
    row.confirmed = norm.confirmed;
    rows.append(row);
    return rows.last();
}

// A table without the norm (an empty one, or one made by hand) judges nothing by it.
bool Judge::lacksNorm(const QString &normId)
{
    if (!norms.norm(normId).id.isEmpty())
        return false;
    notAssessed(add(normId, QString(), QString()), u"нет нормы в таблице норм"_s);
    return true;
}

void Judge::notAssessed(AssessmentRow &row, const QString &missing)
{
    row.verdict = Verdict::NotAssessed;
    row.missing = missing;
}

void Judge::conclude(AssessmentRow &row, const Taken &taken)
{
    row.verdict = taken.verdict;
    row.missing = taken.why;
}

void Judge::judgeAbove(AssessmentRow &row, double deviation, double limit)
{
    const auto within = [limit](double d) { return d <= limit + Slack; };
    row.deviation = shownPercent(deviation, true, within);
    row.verdict = within(deviation) ? Verdict::Complies : Verdict::Fails;
}

// A check against the previous protocol has no rows but this one without it.
bool Judge::previousAbsent(const QString &normId)
{
    if (in.previous.present)
        return false;
    notAssessed(add(normId, QString(), QString()), u"нет предыдущего протокола этого заводского номера"_s);
    return true;
}

// The previous protocol named beside what the rows of `normId` hold against.
void Judge::referToThePrevious(const QString &normId)
{
    for (AssessmentRow &row : rows) {
        if (row.normId == normId)
            row.reference = (row.reference.isEmpty() ? QString() : row.reference + u"; "_s) + in.previous.label;
    }
}

// A change from the previous test that conforms but takes more than the norms' share of
// its allowance: a note, before a limit is reached. `used` and `allowance` in one unit.
void Judge::noteNearLimit(AssessmentRow &row, double used, double allowance, const QString &allowanceText)
{
    static const QStringList fromThePrevious = {u"resistance.previous"_s, u"ratio.previous"_s,
                                                u"insulation.previous"_s, u"oil.flash"_s};
    if (!fromThePrevious.contains(row.normId) || row.verdict != Verdict::Complies || !(allowance > 0))
        return;
    const double share = used / allowance;
    if (share > norms.nearLimitShare() + Slack)
        row.nearLimit = u"изменение занимает "_s + numberText(share * 100) + u" % допуска "_s + allowanceText;
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
    if (lacksNorm(normId))
        return;
    if (onePhase()) {
        notAssessed(add(normId, QString(), QString()), u"однофазный"_s);
        return;
    }
    if (!anyMeasured(taps, key)) {
        notAssessed(add(normId, QString(), QString()), u"нет измерений"_s);
        return;
    }
    for (int t = 0; t < taps; ++t) {
        QStringList shown, absent;
        QList<double> values;
        std::optional<Taken> problem;
        for (int r = 0; r < Phases; ++r) {
            if (text(key(t, r)).isEmpty()) {
                absent.append(rowNames[r]);
                continue;
            }
            shown.append(rowNames[r] + u' ' + text(key(t, r)));
            const Taken v = result(key(t, r), u"фаза "_s + rowNames[r], QString(), Kind::Positive);
            if (v.value)
                values.append(*v.value);
            else if (!problem || firstProblem({&*problem, &v}) == &v)
                problem = v;
        }
        if (shown.isEmpty())
            continue;
        AssessmentRow &row = add(normId, QString::number(t), tapName(t));
        row.measured = shown.join(u"; "_s);
        row.reference = u"(max - min) / max"_s;
        if (problem) {
            conclude(row, *problem);
            continue;
        }
        if (!absent.isEmpty()) {
            notAssessed(row, u"нет числа фазы "_s + absent.join(u", "_s));
            continue;
        }
        const auto [lo, hi] = std::minmax_element(values.cbegin(), values.cend());
        const double spread = (*hi - *lo) / *hi * 100;
        const double most = limit(normId);
        const auto within = [most](double d) { return d <= most + Slack; };
        row.deviation = shownPercent(spread, false, within);
        row.verdict = within(spread) ? Verdict::Complies : Verdict::Fails;
    }
}

// Each measured tap against reference resistances reduced to the winding temperature.
void Judge::resistanceAgainst(const QString &normId, const QString &whose,
                              const std::function<std::optional<double>(int, int)> &reference,
                              const Taken &referenceTemperature)
{
    const auto key = [](int t, int r) { return resistanceKey(t, r); };
    if (!anyMeasured(ResistanceTaps, key)) {
        notAssessed(add(normId, QString(), QString()), u"нет измерений"_s);
        return;
    }
    const Taken theta = result(u"Temperature"_s, u"температура обмотки"_s, u"нет температуры обмотки"_s,
                               Kind::Temperature);
    const std::optional<double> constant = materialConstant();
    for (int t = 0; t < ResistanceTaps; ++t) {
        struct Pair {
            QString name;
            double measured, reference;
        };
        QStringList measured, lacking;
        QList<Pair> pairs;
        std::optional<Taken> problem;
        for (int r = 0; r < phaseCount(); ++r) {
            if (text(resistanceKey(t, r)).isEmpty())
                continue;
            measured.append(ResistanceRowNames[r] + u' ' + text(resistanceKey(t, r)));
            const Taken m = result(resistanceKey(t, r), u"R "_s + ResistanceRowNames[r], QString(), Kind::Positive);
            if (!m.value) {
                if (!problem || firstProblem({&*problem, &m}) == &m)
                    problem = m;
                continue;
            }
            const std::optional<double> ref = reference(t, r);
            if (!ref || !std::isfinite(*ref) || *ref <= 0)
                lacking.append(ResistanceRowNames[r]);
            else
                pairs.append({ResistanceRowNames[r], *m.value, *ref});
        }
        if (measured.isEmpty())
            continue;
        AssessmentRow &row = add(normId, QString::number(t), tapName(t));
        row.measured = measured.join(u"; "_s);
        if (problem) {
            conclude(row, *problem);
            continue;
        }
        if (pairs.isEmpty()) {
            notAssessed(row, u"нет "_s + whose + u" значений"_s);
            continue;
        }
        if (!theta.value) {
            conclude(row, theta);
            continue;
        }
        if (!referenceTemperature.value) {
            conclude(row, referenceTemperature);
            continue;
        }
        if (!constant) {
            notAssessed(row, u"не выбран материал обмоток"_s);
            continue;
        }
        QStringList reduced;
        double worst = 0;
        QString worstName;
        for (const Pair &p : pairs) {
            const double at = resistanceAt(p.reference, *referenceTemperature.value, *theta.value, *constant);
            reduced.append(p.name + u' ' + numberText(at));
            const double d = deviationPercent(p.measured, at);
            if (worstName.isEmpty() || std::fabs(d) > std::fabs(worst)) {
                worst = d;
                worstName = p.name;
            }
        }
        row.reference = reduced.join(u"; "_s);
        row.note = u"приведено от "_s + degrees(*referenceTemperature.value) + u" к "_s + degrees(*theta.value)
            + u" (T = "_s + numberText(*constant) + u')';
        if (!lacking.isEmpty())
            row.note += u"; без "_s + whose + u" значения: "_s + lacking.join(u", "_s);
        const double most = limit(normId);
        const auto within = [most](double d) { return std::fabs(d) <= most + Slack; };
        row.deviation = shownPercent(worst, true, within) + u" ("_s + worstName + u')';
        row.verdict = within(worst) ? Verdict::Complies : Verdict::Fails;
        noteNearLimit(row, std::fabs(worst), most, u"±"_s + numberText(most) + u" %"_s);
    }
}

void Judge::resistanceChecks()
{
    spreadOfPhases(u"resistance.phases"_s, ResistanceTaps, ResistanceRowNames,
                   [](int t, int r) { return resistanceKey(t, r); });

    const SerialDeclared &s = in.serial;
    if (!lacksNorm(u"resistance.factory"_s)) {
        bool anyFactory = false;
        for (const auto &tap : s.resistance)
            anyFactory = anyFactory || std::any_of(tap.cbegin(), tap.cend(), [](auto v) { return v.has_value(); });
        if (!anyFactory)
            notAssessed(add(u"resistance.factory"_s, QString(), QString()), u"нет заводских значений"_s);
        else
            resistanceAgainst(u"resistance.factory"_s, u"заводских"_s,
                              [&](int t, int r) { return s.resistance[t][r]; },
                              declared(s.resistanceTemperature, u"температура заводского измерения"_s,
                                       u"нет температуры заводского измерения"_s, Kind::Temperature));
    }

    if (lacksNorm(u"resistance.previous"_s) || previousAbsent(u"resistance.previous"_s))
        return;
    const QHash<QString, QString> &p = in.previous.texts;
    resistanceAgainst(u"resistance.previous"_s, u"прежних"_s,
                      [&](int t, int r) { return readResult(p.value(resistanceKey(t, r))).value; },
                      resultText(p.value(u"Temperature"_s), u"температура прежнего измерения"_s,
                                 u"нет температуры прежнего измерения"_s, Kind::Temperature));
    referToThePrevious(u"resistance.previous"_s);
}

// The worst phase of each tap against reference ratios (the factory's, the previous test's).
void Judge::ratioAgainst(const QString &id, const QString &whose,
                         const std::function<std::optional<double>(int, int)> &reference, bool measured)
{
    bool anyReference = false;
    for (int t = 0; t < RatioTaps; ++t) {
        for (int r = 0; r < Phases; ++r)
            anyReference = anyReference || reference(t, r).has_value();
    }
    if (!anyReference) {
        notAssessed(add(id, QString(), QString()), u"нет "_s + whose + u" значений"_s);
        return;
    }
    if (!measured) {
        notAssessed(add(id, QString(), QString()), u"нет измерений"_s);
        return;
    }
    for (int t = 0; t < RatioTaps; ++t) {
        QStringList shown, refs;
        double worst = 0;
        QString worstName;
        std::optional<Taken> problem;
        for (int r = 0; r < phaseCount(); ++r) {
            if (text(ratioKey(t, r)).isEmpty())
                continue;
            shown.append(RatioRowNames[r] + u' ' + text(ratioKey(t, r)));
            const Taken m = result(ratioKey(t, r), u"K "_s + RatioRowNames[r], QString(), Kind::Positive);
            if (!m.value) {
                if (!problem || firstProblem({&*problem, &m}) == &m)
                    problem = m;
                continue;
            }
            const std::optional<double> ref = reference(t, r);
            if (!ref || !std::isfinite(*ref) || *ref <= 0)
                continue;
            refs.append(RatioRowNames[r] + u' ' + numberText(*ref));
            const double d = deviationPercent(*m.value, *ref);
            if (worstName.isEmpty() || std::fabs(d) > std::fabs(worst)) {
                worst = d;
                worstName = RatioRowNames[r];
            }
        }
        if (shown.isEmpty())
            continue;
        AssessmentRow &row = add(id, QString::number(t), tapName(t));
        row.measured = shown.join(u"; "_s);
        if (problem) {
            conclude(row, *problem);
            continue;
        }
        if (worstName.isEmpty()) {
            notAssessed(row, u"нет "_s + whose + u" значений"_s);
            continue;
        }
        row.reference = refs.join(u"; "_s);
        const double most = limit(id);
        const auto within = [most](double d) { return std::fabs(d) <= most + Slack; };
        row.deviation = shownPercent(worst, true, within) + u" ("_s + worstName + u')';
        row.verdict = within(worst) ? Verdict::Complies : Verdict::Fails;
        noteNearLimit(row, std::fabs(worst), most, u"±"_s + numberText(most) + u" %"_s);
    }
}

// Uвн / Uнн on the principal tap, one step per position off it.
void Judge::ratioAgainstTheNameplate(bool measured)
{
    const QString id = u"ratio.declared"_s;
    if (lacksNorm(id))
        return;
    if (!measured) {
        notAssessed(add(id, QString(), QString()), u"нет измерений"_s);
        return;
    }
    const QString noVoltages = u"нет номинальных напряжений Uвн, Uнн"_s;
    const Taken hv = result(u"Unom2"_s, u"Uвн"_s, noVoltages, Kind::Positive);
    const Taken lv = result(u"Unom"_s, u"Uнн"_s, noVoltages, Kind::Positive);
    // A uk that is not a positive number is no uk: a tenth of it is no tolerance.
    const Taken ukTaken = result(u"Ukz112"_s, u"uk"_s, QString(), Kind::Positive);
    const std::optional<double> uk = ukTaken.value;
    const Taken step = declared(in.type.tapStep, u"шаг регулирования"_s, u"нет шага регулирования"_s, Kind::Positive);
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
        if (const Taken *p = firstProblem({&hv, &lv})) {
            conclude(row, *p);
            continue;
        }
        if (t != PrincipalTap && !step.value) {
            conclude(row, step);
            continue;
        }
        const double stepValue = t == PrincipalTap ? 0 : *step.value;
        const double declaredRatio = *hv.value / *lv.value * (1 + (PrincipalTap - t) * stepValue / 100);
        row.reference = numberText(declaredRatio) + u" = "_s + numberText(*hv.value) + u" / "_s + numberText(*lv.value);
        if (t != PrincipalTap)
            row.reference += u" × (1 "_s + (PrincipalTap - t > 0 ? u"+ "_s : u"- "_s)
                + QString::number(std::abs(PrincipalTap - t)) + u" × "_s + numberText(stepValue) + u" %)"_s;
        double worst = 0;
        QString worstName;
        std::optional<Taken> problem;
        for (int r = 0; r < phaseCount(); ++r) {
            if (text(ratioKey(t, r)).isEmpty())
                continue;
            const Taken m = result(ratioKey(t, r), u"K "_s + RatioRowNames[r], QString(), Kind::Positive);
            if (!m.value) {
                if (!problem || firstProblem({&*problem, &m}) == &m)
                    problem = m;
                continue;
            }
            const double d = deviationPercent(*m.value, declaredRatio);
            if (worstName.isEmpty() || std::fabs(d) > std::fabs(worst)) {
                worst = d;
                worstName = RatioRowNames[r];
            }
        }
        if (problem) {
            conclude(row, *problem);
            continue;
        }
        const auto within = [tolerance](double d) { return std::fabs(d) <= tolerance + Slack; };
        row.deviation = shownPercent(worst, true, within) + u" ("_s + worstName + u')';
        row.note = uk ? u"допуск ±"_s + numberText(tolerance) + u" % (uk = "_s + numberText(*uk) + u" %)"_s
                      : u"допуск ±"_s + numberText(base) + u" %; uk не измерено"_s;
        if (t != PrincipalTap) {
            row.verdict = within(worst) ? Verdict::Complies : Verdict::NeedsAnalysis;
            if (!within(worst))
                row.missing = u"вне основного положения - по согласованию"_s;
        } else if (!uk && within(worst)) {
            // A tenth of uk may be tighter than the base figure: without uk, nothing is decided.
            notAssessed(row, u"нет измеренного uk при 75 °C"_s);
        } else {
            row.verdict = within(worst) ? Verdict::Complies : Verdict::Fails;
        }
    }
}

void Judge::ratioChecks()
{
    const auto key = [](int t, int r) { return ratioKey(t, r); };
    spreadOfPhases(u"ratio.phases"_s, RatioTaps, RatioRowNames, key);
    const bool measured = anyMeasured(RatioTaps, key);
    if (!lacksNorm(u"ratio.factory"_s))
        ratioAgainst(u"ratio.factory"_s, u"заводских"_s, [&](int t, int r) { return in.serial.ratio[t][r]; }, measured);
    if (!lacksNorm(u"ratio.previous"_s) && !previousAbsent(u"ratio.previous"_s)) {
        const QHash<QString, QString> &p = in.previous.texts;
        ratioAgainst(u"ratio.previous"_s, u"прежних"_s,
                     [&](int t, int r) { return readResult(p.value(ratioKey(t, r))).value; }, measured);
        referToThePrevious(u"ratio.previous"_s);
    }
    ratioAgainstTheNameplate(measured);
}

void Judge::groupCheck()
{
    if (lacksNorm(u"group"_s))
        return;
    AssessmentRow &row = add(u"group"_s, QString(), QString());
    if (onePhase()) {
        notAssessed(row, u"однофазный"_s);
        return;
    }
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
    const int declaredGroup = dash < 0 ? -1 : circuit.mid(dash + 1).trimmed().toInt(&ok);
    if (!ok) {
        notAssessed(row, u"нет схемы соединения с группой"_s);
        return;
    }
    bool measuredOk = false;
    const int measuredGroup = group.toInt(&measuredOk);
    row.verdict = measuredOk && measuredGroup == declaredGroup ? Verdict::Complies : Verdict::Fails;
}

// Why the R60 table and the absorption coefficient do not hold for this unit; empty when
// they do.
QString Judge::insulationOutsideItsNorm(const Taken &hv, const Taken &power) const
{
    const QString scope = u"норма для трансформаторов до "_s + numberText(MostInsulationClassV / 1000) + u" кВ и до "_s
        + numberText(MostInsulationPowerKva / 1000) + u" МВА"_s;
    if (const Taken *p = firstProblem({&hv, &power}))
        return p->why + u" ("_s + scope + u')';
    QStringList beyond;
    if (*hv.value > MostInsulationClassV + Slack)
        beyond.append(numberText(*hv.value / 1000) + u" кВ"_s);
    if (*power.value > MostInsulationPowerKva + Slack)
        beyond.append(numberText(*power.value / 1000) + u" МВА"_s);
    return beyond.isEmpty() ? QString() : scope + u", здесь "_s + beyond.join(u", "_s);
}

void Judge::r60Checks(const Taken &theta, const QString &outside)
{
    const NormRow &r60 = norms.norm(u"insulation.r60"_s);
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(r60.id, QString::number(g), GapNames[g]);
        row.measured = text(R60Keys[g]);
        const Taken m = result(R60Keys[g], u"R60"_s, u"нет R60"_s, Kind::Positive);
        if (!m.value) {
            conclude(row, m);
            continue;
        }
        if (!outside.isEmpty()) {
            notAssessed(row, outside);
            continue;
        }
        if (!theta.value) {
            conclude(row, theta);
            continue;
        }
        const std::optional<double> least = leastR60(r60.values, *theta.value);
        if (!least) {
            row.verdict = Verdict::NeedsAnalysis;
            row.missing = u"измерено при "_s + degrees(*theta.value) + u", вне таблицы нормы"_s;
            continue;
        }
        row.reference = u"не менее "_s + numberText(*least) + u" МОм при "_s + degrees(*theta.value);
        const double d = deviationPercent(*m.value, *least);
        const auto within = [](double x) { return x >= -Slack; };
        row.deviation = shownPercent(d, true, within);
        row.verdict = within(d) ? Verdict::Complies : Verdict::Fails;
    }
}

void Judge::kabsChecks(const Taken &theta, const QString &outside)
{
    const QString kabsId = u"insulation.kabs"_s;
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(kabsId, QString::number(g), GapNames[g]);
        row.measured = text(KabsKeys[g]);
        Taken k;
        if (!row.measured.isEmpty()) {
            k = result(KabsKeys[g], u"Kабс"_s, QString(), Kind::Positive);
        } else {
            const Taken r15 = result(R15Keys[g], u"R15"_s, QString(), Kind::Positive);
            const Taken r60 = result(R60Keys[g], u"R60"_s, QString(), Kind::Positive);
            QStringList absent;
            if (text(R15Keys[g]).isEmpty())
                absent.append(u"R15"_s);
            if (text(R60Keys[g]).isEmpty())
                absent.append(u"R60"_s);
            if (!absent.isEmpty()) {
                k.why = u"нет "_s + absent.join(u" и "_s);
            } else if (const Taken *p = firstProblem({&r15, &r60})) {
                k = *p;
            } else {
                k.value = *r60.value / *r15.value;
                row.measured = numberText(*k.value) + u" = "_s + text(R60Keys[g]) + u" / "_s + text(R15Keys[g]);
            }
        }
        if (!k.value) {
            conclude(row, k);
            continue;
        }
        if (!outside.isEmpty()) {
            notAssessed(row, outside);
            continue;
        }
        if (!theta.value) {
            conclude(row, theta);
            continue;
        }
        const double least = limit(kabsId, 0);
        row.reference = u"не менее "_s + numberText(least);
        const double d = deviationPercent(*k.value, least);
        const auto within = [](double x) { return x >= -Slack; };
        row.deviation = shownPercent(d, true, within);
        row.note = u"измерено при "_s + degrees(*theta.value);
        if (*theta.value < limit(kabsId, 1) - Slack || *theta.value > limit(kabsId, 2) + Slack) {
            row.verdict = Verdict::NeedsAnalysis;
            row.missing = u"измерено при "_s + degrees(*theta.value) + u", вне "_s + numberText(limit(kabsId, 1))
                + u"-"_s + numberText(limit(kabsId, 2)) + u" °C"_s;
            continue;
        }
        row.verdict = within(d) ? Verdict::Complies : Verdict::Fails;
    }
}

// R60 of each gap against reference values (the factory's, the previous test's) reduced to
// the temperature of this measurement with K2 of the factory norm's table. `whose` names the
// reference values, one and none of it: "заводских", "заводское", "заводского".
void Judge::insulationAgainst(const QString &normId, const std::array<QString, 3> &whose,
                              const std::function<std::optional<double>(int)> &reference,
                              const Taken &referenceTemperature, const Taken &theta)
{
    const NormRow &norm = norms.norm(u"insulation.factory"_s);
    bool anyReference = false;
    for (int g = 0; g < InsulationGaps; ++g)
        anyReference = anyReference || reference(g).has_value();
    if (!anyReference) {
        notAssessed(add(normId, QString(), QString()), u"нет "_s + whose[0] + u" R60"_s);
        return;
    }
    for (int g = 0; g < InsulationGaps; ++g) {
        AssessmentRow &row = add(normId, QString::number(g), GapNames[g]);
        row.measured = text(R60Keys[g]);
        const Taken m = result(R60Keys[g], u"R60"_s, u"нет R60"_s, Kind::Positive);
        const Taken factory = declared(reference(g), whose[1] + u" R60"_s, u"нет "_s + whose[2] + u" R60"_s,
                                       Kind::Positive);
        if (const Taken *p = firstProblem({&m, &factory, &referenceTemperature, &theta})) {
            conclude(row, *p);
            continue;
        }
        const Taken &factoryTemperature = referenceTemperature;
        const double difference = *theta.value - *factoryTemperature.value;
        QList<double> from;
        const std::optional<double> k2 = insulationFactor(norm.factors, std::fabs(difference), &from);
        if (!k2) {
            row.verdict = Verdict::NeedsAnalysis;
            row.missing = u"разность температур "_s + degrees(std::fabs(difference)) + u" вне таблицы K2 (до "_s
                + degrees(norm.factors.value(norm.factors.size() - 2)) + u')';
            continue;
        }
        const double at = insulationAt(*factory.value, *factoryTemperature.value, *theta.value, *k2);
        row.reference = numberText(at) + u" МОм ("_s + whose[1] + u' ' + numberText(*factory.value) + u" при "_s
            + degrees(*factoryTemperature.value) + u", приведено к "_s + degrees(*theta.value) + u')';
        row.note = u"K2 = "_s + numberText(*k2) + u" при разности "_s + degrees(std::fabs(difference));
        if (std::any_of(from.cbegin(), from.cend(), [&](double t) { return norm.factorsToConfirm.contains(t); }))
            row.note += u" (по точке таблицы K2 с отметкой «уточнить»)"_s;
        const double d = deviationPercent(*m.value, at);
        const double least = limit(normId, 0) - 100;
        const auto within = [least](double x) { return x >= least - Slack; };
        row.deviation = shownPercent(d, true, within);
        row.verdict = within(d) ? Verdict::Complies : Verdict::Fails;
        // A fall takes of the allowance, a rise nothing.
        noteNearLimit(row, std::max(0.0, -d), -least, u"-"_s + numberText(-least) + u" %"_s);
    }
}

void Judge::insulationChecks()
{
    const Taken theta = declared(in.test.insulationTemperature, u"температура измерения изоляции"_s,
                                 u"нет температуры измерения изоляции"_s, Kind::Temperature);
    const QString outside = insulationOutsideItsNorm(
        result(u"Unom2"_s, u"Uвн"_s, u"нет номинального напряжения ВН"_s, Kind::Positive),
        result(u"Pnom"_s, u"мощность"_s, u"нет номинальной мощности"_s, Kind::Positive));
    if (!lacksNorm(u"insulation.r60"_s))
        r60Checks(theta, outside);
    if (!lacksNorm(u"insulation.kabs"_s))
        kabsChecks(theta, outside);
    if (!lacksNorm(u"insulation.factory"_s)) {
        const SerialDeclared &s = in.serial;
        insulationAgainst(u"insulation.factory"_s, {u"заводских"_s, u"заводское"_s, u"заводского"_s},
                          [&](int g) { return s.r60[g]; },
                          declared(s.r60Temperature, u"температура заводского измерения"_s,
                                   u"нет температуры заводского измерения"_s, Kind::Temperature),
                          theta);
    }
    if (!lacksNorm(u"insulation.previous"_s) && !previousAbsent(u"insulation.previous"_s)) {
        const QHash<QString, QString> &p = in.previous.texts;
        insulationAgainst(u"insulation.previous"_s, {u"прежних"_s, u"прежнее"_s, u"прежнего"_s},
                          [&](int g) { return readResult(p.value(R60Keys[g])).value; },
                          declared(in.previous.insulationTemperature, u"температура прежнего измерения изоляции"_s,
                                   u"нет температуры измерения изоляции в предыдущем протоколе"_s, Kind::Temperature),
                          theta);
        referToThePrevious(u"insulation.previous"_s);
    }
}

void Judge::oilChecks()
{
    const OilState oil = in.test.oil;
    // The row of an analysis and its number; none when the row is concluded already.
    const auto start = [&](const QString &id, const QString &key, const QString &name, Kind kind) -> std::optional<double> {
        if (lacksNorm(id))
            return std::nullopt;
        AssessmentRow &row = add(id, QString(), QString());
        row.measured = text(key);
        const Taken v = resultText(row.measured, name, u"нет результата анализа"_s, kind, true);
        if (!v.value)
            conclude(row, v);
        return v.value;
    };
    const QString noState = u"не указано состояние масла"_s;
    const QString stateNote = oil == OilState::BeforeFilling ? u"масло до заливки"_s : u"масло в эксплуатации"_s;

    if (const std::optional<double> v = start(u"oil.breakdown"_s, u"ElectricStrength"_s, u"пробивное напряжение"_s, Kind::Positive)) {
        AssessmentRow &row = rows.last();
        const Taken hv = result(u"Unom2"_s, u"Uвн"_s, u"нет номинального напряжения ВН"_s, Kind::Positive);
        const QList<double> &n = norms.norm(row.normId).values;
        if (oil == OilState::Unknown) {
            notAssessed(row, noState);
        } else if (!hv.value) {
            conclude(row, hv);
        } else if (*hv.value > n.value(3) * 1000 + Slack) {
            notAssessed(row, u"нет нормы для класса выше "_s + numberText(n.value(3)) + u" кВ"_s);
        } else {
            const int band = *hv.value <= n.value(0) * 1000 + Slack ? 0 : 3;
            const double least = n.value(band + (oil == OilState::BeforeFilling ? 1 : 2));
            row.reference = u"не менее "_s + numberText(least) + u" кВ"_s;
            row.note = u"класс до "_s + numberText(n.value(band)) + u" кВ, "_s + stateNote;
            const double d = deviationPercent(*v, least);
            const auto within = [](double x) { return x >= -Slack; };
            row.deviation = shownPercent(d, true, within);
            row.verdict = within(d) ? Verdict::Complies : Verdict::Fails;
        }
    }
    if (const std::optional<double> v = start(u"oil.acid"_s, u"AcidNumber"_s, u"кислотное число"_s, Kind::NotNegative)) {
        AssessmentRow &row = rows.last();
        const QList<double> &n = norms.norm(row.normId).values;
        if (oil == OilState::Unknown) {
            notAssessed(row, noState);
        } else if (oil == OilState::BeforeFilling) {
            row.reference = u"не более "_s + numberText(n.value(0));
            row.note = stateNote;
            judgeAbove(row, deviationPercent(*v, n.value(0)), 0);
        } else {
            row.reference = u"не более "_s + numberText(n.value(1)) + u", предел "_s + numberText(n.value(2));
            row.note = stateNote;
            row.deviation = shownPercent(deviationPercent(*v, n.value(1)), true, [](double d) { return d <= Slack; });
            row.verdict = *v <= n.value(1) + Slack ? Verdict::Complies
                : *v <= n.value(2) + Slack         ? Verdict::NeedsAnalysis
                                                   : Verdict::Fails;
        }
    }
    if (const std::optional<double> v = start(u"oil.flash"_s, u"FlashTemperature"_s, u"температура вспышки"_s, Kind::Any)) {
        AssessmentRow &row = rows.last();
        const Taken before = resultText(in.previous.texts.value(u"FlashTemperature"_s), u"прежняя температура вспышки"_s,
                                        u"нет температуры вспышки в предыдущем протоколе"_s, Kind::Any, true);
        if (!in.previous.present) {
            notAssessed(row, u"нет предыдущего протокола этого заводского номера"_s);
        } else if (!before.value) {
            conclude(row, before);
        } else {
            const double fall = *before.value - *v;
            row.reference = numberText(*before.value) + u" °C, "_s + in.previous.label;
            row.deviation = u"снижение "_s + numberText(fall) + u" °C"_s;
            row.verdict = fall <= limit(row.normId) + Slack ? Verdict::Complies : Verdict::Fails;
            noteNearLimit(row, std::max(0.0, fall), limit(row.normId), numberText(limit(row.normId)) + u" °C"_s);
        }
    }
    if (const std::optional<double> v = start(u"oil.water"_s, u"WaterContent"_s, u"влагосодержание"_s, Kind::NotNegative)) {
        AssessmentRow &row = rows.last();
        const QList<double> &n = norms.norm(row.normId).values;
        const OilProtection protection = in.test.oilProtection != OilProtection::Unknown ? in.test.oilProtection
                                                                                        : in.type.oilProtection;
        // Non-sealed before filling and in service, then the same for a sealed unit when given.
        const int at = (protection == OilProtection::Sealed ? 2 : 0) + (oil == OilState::BeforeFilling ? 0 : 1);
        if (oil == OilState::Unknown) {
            notAssessed(row, noState);
        } else if (protection == OilProtection::Unknown) {
            notAssessed(row, u"не указана защита масла (герметичное исполнение или нет)"_s);
        } else if (at >= n.size()) {
            notAssessed(row, u"в нормах нет предела для герметичного исполнения"_s);
        } else {
            row.reference = u"не более "_s + numberText(n[at]) + u" г/т"_s;
            row.note = stateNote + (protection == OilProtection::Sealed ? u", герметичное исполнение"_s
                                                                        : u", негерметичное исполнение"_s);
            judgeAbove(row, deviationPercent(*v, n[at]), 0);
        }
    }
}

void Judge::declaredChecks()
{
    const TypeDeclared &d = in.type;
    const auto against = [&](const QString &id, const Taken &measured, const QString &measuredText,
                             const Taken &declaredValue, const QString &unit) -> qsizetype {
        if (lacksNorm(id))
            return -1;
        AssessmentRow &row = add(id, QString(), QString());
        row.measured = measuredText;
        if (!measured.value) {
            conclude(row, measured);
        } else if (!declaredValue.value) {
            conclude(row, declaredValue);
        } else {
            row.reference = numberText(*declaredValue.value) + unit + u" (паспорт)"_s;
            judgeAbove(row, deviationPercent(*measured.value, *declaredValue.value), limit(id));
        }
        return rows.size() - 1;
    };
    const QString noMeasurement = u"нет измерения"_s;
    const Taken p0 = result(u"Pxx00"_s, u"P0"_s, noMeasurement, Kind::Positive);
    const Taken pk = result(u"Pkz12"_s, u"Pк"_s, noMeasurement, Kind::Positive);
    const Taken declaredP0 = declared(d.p0, u"паспортное P0"_s, u"нет паспортного значения P0"_s, Kind::Positive);
    const Taken declaredPk = declared(d.pk, u"паспортное Pк"_s, u"нет паспортного значения Pк"_s, Kind::Positive);
    Taken total, declaredTotal;
    if (const Taken *p = firstProblem({&p0, &pk}))
        total = *p;
    else
        total.value = *p0.value + *pk.value;
    if (declaredP0.value && declaredPk.value)
        declaredTotal.value = *declaredP0.value + *declaredPk.value;
    else
        declaredTotal.why = u"нет паспортного значения P0 и Pк"_s;
    const QString sum = text(u"Pxx00"_s) + u" + "_s + text(u"Pkz12"_s);
    const qsizetype totalRow = against(u"losses.total"_s, total,
                                       total.value ? numberText(*total.value) + u" Вт = "_s + sum
                                       : text(u"Pxx00"_s).isEmpty() || text(u"Pkz12"_s).isEmpty() ? QString()
                                                                                                  : sum,
                                       declaredTotal, u" Вт"_s);
    // A component within its +15 % conforms only while the total stays within its +10 %.
    for (const qsizetype component : {against(u"losses.p0"_s, p0, text(u"Pxx00"_s), declaredP0, u" Вт"_s),
                                      against(u"losses.pk"_s, pk, text(u"Pkz12"_s), declaredPk, u" Вт"_s)}) {
        if (component < 0 || rows[component].verdict != Verdict::Complies)
            continue;
        AssessmentRow &row = rows[component];
        const AssessmentRow *whole = totalRow < 0 ? nullptr : &rows[totalRow];
        if (whole && whole->verdict == Verdict::Fails) {
            row.verdict = Verdict::Fails;
            row.missing = u"полные потери "_s + whole->deviation + u" сверх +"_s + numberText(limit(whole->normId))
                + u" %"_s;
        } else if (!whole || whole->verdict != Verdict::Complies) {
            row.verdict = Verdict::NotAssessed;
            row.missing = u"полные потери не оценены"_s
                + (whole && !whole->missing.isEmpty() ? u" ("_s + whole->missing + u')' : QString());
        }
    }
    against(u"noload.current"_s, result(u"Ixx01"_s, u"I0"_s, noMeasurement, Kind::Positive), text(u"Ixx01"_s),
            declared(d.i0, u"паспортное I0"_s, u"нет паспортного значения I0 %"_s, Kind::Positive), u" %"_s);

    if (lacksNorm(u"uk"_s))
        return;
    AssessmentRow &row = add(u"uk"_s, QString(), QString());
    row.measured = text(u"Ukz112"_s);
    const Taken uk = result(u"Ukz112"_s, u"uk"_s, noMeasurement, Kind::Positive);
    const Taken declaredUk = declared(d.uk, u"паспортное uk"_s, u"нет паспортного значения uk %"_s, Kind::Positive);
    if (const Taken *p = firstProblem({&uk, &declaredUk})) {
        conclude(row, *p);
        return;
    }
    const double tolerance = *declaredUk.value < limit(u"uk"_s, 0) ? limit(u"uk"_s, 1) : limit(u"uk"_s, 2);
    row.reference = numberText(*declaredUk.value) + u" % (паспорт)"_s;
    row.note = u"допуск ±"_s + numberText(tolerance) + u" %"_s;
    const double dev = deviationPercent(*uk.value, *declaredUk.value);
    const auto within = [tolerance](double x) { return std::fabs(x) <= tolerance + Slack; };
    row.deviation = shownPercent(dev, true, within);
    row.verdict = within(dev) ? Verdict::Complies : Verdict::Fails;
}

// What a row's verdict was made on, for an engineer's decision to be held against.
QString basisOf(const AssessmentRow &row)
{
    const QString made = row.measured + u'\x1f' + row.reference + u'\x1f' + row.limit + u'\x1f' + row.note
        + u'\x1f' + row.missing;
    return QString::fromLatin1(QCryptographicHash::hash(made.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
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
        row.basis = basisOf(row);
        const auto o = in.overrides.constFind(row.id);
        if (o != in.overrides.cend() && (o->basis.isEmpty() || o->basis == row.basis)) {
            row.manual = true;
            row.verdict = o->verdict;
            row.reason = o->reason;
        } else if (o != in.overrides.cend()) {
            row.dropped = *o;
        } else if (const auto d = in.dropped.constFind(row.id); d != in.dropped.cend()) {
            row.dropped = *d;
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
    if (!manual && !missing.isEmpty())
        line += u": "_s + missing;
    if (manual)
        line += u" (вручную: "_s + reason + u"; программа: "_s + verdictText(automatic) + u')';
    if (!nearLimit.isEmpty())
        line += u"; близко к пределу: "_s + nearLimit;
    if (dropped)
        line += u" (решение инженера «"_s + verdictText(dropped->verdict) + u": "_s + dropped->reason
            + u"» снято: изменились значения, на которых оно принято)"_s;
    return line;
}

QList<AssessmentRow> assess(const AssessmentInput &input, const NormsTable &norms)
{
    return Judge(input, norms).run();
}

ResultReading readResult(const QString &text)
{
    return reading(text, readTypedNumber(text), false);
}

ResultReading readResultInFront(const QString &text)
{
    return reading(text, readLeadingTypedNumber(text), true);
}

std::optional<double> resultNumber(const QString &text)
{
    return readResult(text).value;
}

double deviationPercent(double measured, double reference)
{
    return (measured - reference) / reference * 100;
}

double resistanceAt(double resistance, double fromTemperature, double toTemperature, double materialConstant)
{
    return resistance * (materialConstant + toTemperature) / (materialConstant + fromTemperature);
}

double insulationAt(double resistance, double fromTemperature, double toTemperature, double k2)
{
    return toTemperature >= fromTemperature ? resistance / k2 : resistance * k2;
}

std::optional<double> insulationFactor(const QList<double> &table, double difference, QList<double> *interpolatedFrom)
{
    QList<double> from;
    std::optional<double> factor;
    double lastDifference = 0, lastFactor = 1;
    if (difference >= 0 && difference <= Slack) {
        factor = 1;
    } else if (difference > 0) {
        for (qsizetype i = 0; i + 1 < table.size(); i += 2) {
            if (std::fabs(difference - table[i]) <= Slack) {
                from = {table[i]};
                factor = table[i + 1];
                break;
            }
            if (difference < table[i]) {
                if (lastDifference > 0)
                    from.append(lastDifference);
                from.append(table[i]);
                factor = lastFactor + (table[i + 1] - lastFactor) * (difference - lastDifference) / (table[i] - lastDifference);
                break;
            }
            lastDifference = table[i];
            lastFactor = table[i + 1];
        }
    }
    if (interpolatedFrom)
        *interpolatedFrom = factor ? from : QList<double>();
    return factor;
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
