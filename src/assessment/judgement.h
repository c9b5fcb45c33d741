#pragma once

#include "declaredvalues.h"
#include "norms.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

enum class Verdict { Complies, Fails, NeedsAnalysis, NotAssessed };

// "соответствует", "не соответствует", "требует анализа", "не оценивается".
QString verdictText(Verdict verdict);

// An engineer's verdict over the program's, with the reason given, and the values it was
// made on (AssessmentRow::basis): when they change, the decision no longer holds.
struct VerdictOverride {
    Verdict verdict = Verdict::Complies;
    QString reason;
    QString basis; // empty: made before decisions kept their values, taken as made on these

    bool operator==(const VerdictOverride &) const = default;
};

// The previous protocol of the same serial number, as plain texts.
struct PreviousRecord {
    bool present = false;
    QString label; // how the rows name it: "протокол № 12 от 03.02.2025"
    // Result texts by the state file's keys, and "FlashTemperature" when the record has it.
    QHash<QString, QString> texts;
    // °C at which its insulation was measured, as kept with that test's inputs.
    std::optional<double> insulationTemperature;
};

struct AssessmentInput {
    // The main window's texts: results by the state file's keys ("Pxx00", "TransformGrid52",
    // "ResistenceGrid01", "RHigh60", "Temperature", ...), and by control name the nameplate
    // ("Unom", "Unom2", "Pnom" in kVA, "Circuit"), the oil analysis ("ElectricStrength", "AcidNumber",
    // "WaterContent", "FlashTemperature"), "Material" and "FasNumber" as the chosen item's text.
    QHash<QString, QString> texts;
    TypeDeclared type;
    SerialDeclared serial;
    TestDeclared test;
    PreviousRecord previous;
    // By AssessmentRow::id.
    QHash<QString, VerdictOverride> overrides;
    // Decisions dropped because their values changed, by row id: their rows say so.
    QHash<QString, VerdictOverride> dropped;
};

// Temperatures a winding, its insulation or a factory report can have: one outside is a
// typing error (-235 °C would make a reduction divide by zero).
inline constexpr double LeastTemperature = -60;
inline constexpr double MostTemperature = 150;
// The R60 table and the absorption coefficient hold for oil-filled units up to these.
inline constexpr double MostInsulationClassV = 35000;
inline constexpr double MostInsulationPowerKva = 10000;

struct AssessmentRow {
    QString id;        // stable name of the check: "resistance.phases.0" (norm id, then which)
    QString normId;
    QString quantity;  // what is judged, with the tap, phase or gap
    QString measured;
    QString reference; // what it is held against, with its temperature when reduced
    QString limit;
    QString deviation; // "+1.23 %", empty when none is computed
    Verdict verdict = Verdict::NotAssessed;
    // What a "не оценивается" lacks, why analysis is asked, or why a verdict is not the one
    // the row's own limit gives ("полные потери +11.00 % сверх +10 %").
    QString missing;
    QString note;      // the temperatures used, or why analysis is asked
    QString source;
    bool confirmed = false; // the norm's mark
    Verdict automatic = Verdict::NotAssessed;
    bool manual = false;
    QString reason;    // the engineer's, when manual
    // A digest of what the verdict was made on (measured, reference, limit, note).
    QString basis;
    // An engineer's decision made on other values, no longer applied.
    std::optional<VerdictOverride> dropped;
    // A change from the previous test within its allowance but taking more of it than the
    // norms' share: how much ("изменение занимает 85 % допуска ±2 %"). Beside the verdict,
    // which it never changes.
    QString nearLimit;

    // The verdict as shown: "не оценивается: нет паспортного P0", "соответствует (вручную: ...)",
    // "соответствует (решение инженера «...» снято: изменились значения, на которых оно принято)",
    // "соответствует; близко к пределу: изменение занимает 85 % допуска ±2 %".
    QString verdictLine() const;
};

// One row per check, in the order of the norms. Pure: reads nothing but its arguments.
// A table without a norm gives that norm's row "не оценивается".
QList<AssessmentRow> assess(const AssessmentInput &input, const NormsTable &norms);

// The judgement's one reading of result texts: a result ("  600.0", "0,1234" as the
// resistance grid writes it in some regions, "1 234,5"), or the number in front of an oil
// analysis' text ("52 кВ"). `problem` says why there is no number: empty for an empty text.
struct ResultReading {
    std::optional<double> value;
    QString problem; // "«1e400 кВ»: число вне допустимого диапазона"
};
ResultReading readResult(const QString &text);
ResultReading readResultInFront(const QString &text);
std::optional<double> resultNumber(const QString &text);

// The deviation of `measured` from `reference` in per cent, as the rows show it.
double deviationPercent(double measured, double reference);

// A norm's or a result's number as the sheet writes it: fewer decimals the larger it is,
// no trailing zeros.
QString numberText(double v);

// R(θ2) = R(θ1)·(T + θ2)/(T + θ1).
double resistanceAt(double resistance, double fromTemperature, double toTemperature, double materialConstant);

// Insulation resistance measured at `fromTemperature` as it would read at `toTemperature`,
// with the factor K2 of their difference: higher temperature, lower resistance.
double insulationAt(double resistance, double fromTemperature, double toTemperature, double k2);

// K2 for a difference of temperatures from the norm's table of pairs (Δθ1, K1, Δθ2, K2 ...),
// straight between its points, 1 at no difference; nothing beyond its last point.
// `interpolatedFrom` gets the table's points the value was taken from.
std::optional<double> insulationFactor(const QList<double> &table, double difference,
                                       QList<double> *interpolatedFrom = nullptr);

// The least R60 at `temperature` from a table of pairs (t1, v1, t2, v2 ...), interpolated on
// a logarithmic scale between its points; nothing outside the table.
std::optional<double> leastR60(const QList<double> &table, double temperature);
