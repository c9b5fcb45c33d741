#pragma once

#include "declaredvalues.h"
#include "norms.h"

#include <QHash>
#include <QList>
#include <QString>

enum class Verdict { Complies, Fails, NeedsAnalysis, NotAssessed };

// "соответствует", "не соответствует", "требует анализа", "не оценивается".
QString verdictText(Verdict verdict);

// An engineer's verdict over the program's, with the reason given.
struct VerdictOverride {
    Verdict verdict = Verdict::Complies;
    QString reason;
};

// The previous protocol of the same serial number, as plain texts.
struct PreviousRecord {
    bool present = false;
    QString label; // how the rows name it: "протокол № 12 от 03.02.2025"
    // Result texts by the state file's keys, and "FlashTemperature" when the record has it.
    QHash<QString, QString> texts;
};

struct AssessmentInput {
    // The main window's texts: results by the state file's keys ("Pxx00", "TransformGrid52",
    // "ResistenceGrid01", "RHigh60", "Temperature", ...), and by control name the nameplate
    // ("Unom", "Unom2", "Circuit"), the oil analysis ("ElectricStrength", "AcidNumber",
    // "WaterContent", "FlashTemperature"), "Material" and "FasNumber" as the chosen item's text.
    QHash<QString, QString> texts;
    TypeDeclared type;
    SerialDeclared serial;
    TestDeclared test;
    PreviousRecord previous;
    // By AssessmentRow::id.
    QHash<QString, VerdictOverride> overrides;
};

struct AssessmentRow {
    QString id;        // stable name of the check: "resistance.phases.0" (norm id, then which)
    QString normId;
    QString quantity;  // what is judged, with the tap, phase or gap
    QString measured;
    QString reference; // what it is held against, with its temperature when reduced
    QString limit;
    QString deviation; // "+1.23 %", empty when none is computed
    Verdict verdict = Verdict::NotAssessed;
    QString missing;   // what a "не оценивается" lacks
    QString note;      // the temperatures used, or why analysis is asked
    QString source;
    bool confirmed = false; // the norm's mark
    Verdict automatic = Verdict::NotAssessed;
    bool manual = false;
    QString reason;    // the engineer's, when manual

    // The verdict as shown: "не оценивается: нет паспортного P0", "соответствует (вручную: ...)".
    QString verdictLine() const;
};

// One row per check, in the order of the norms. Pure: reads nothing but its arguments.
QList<AssessmentRow> assess(const AssessmentInput &input, const NormsTable &norms);

// A result text as a number: "1.234", "  12.5", or with a decimal comma as the resistance grid
// writes it in some regions ("0,1234", "1 234,5"). Nothing for an empty or other text.
std::optional<double> resultNumber(const QString &text);

// The deviation of `measured` from `reference` in per cent, as the rows show it.
double deviationPercent(double measured, double reference);

// A norm's or a result's number as the sheet writes it: fewer decimals the larger it is,
// no trailing zeros.
QString numberText(double v);

// R(θ2) = R(θ1)·(T + θ2)/(T + θ1).
double resistanceAt(double resistance, double fromTemperature, double toTemperature, double materialConstant);

// Insulation resistance measured at `fromTemperature` as it would read at `toTemperature`,
// with `factorPer10` (1.5) per 10 °C: higher temperature, lower resistance.
double insulationAt(double resistance, double fromTemperature, double toTemperature, double factorPer10);

// The least R60 at `temperature` from a table of pairs (t1, v1, t2, v2 ...), interpolated on
// a logarithmic scale between its points; nothing outside the table.
std::optional<double> leastR60(const QList<double> &table, double temperature);
