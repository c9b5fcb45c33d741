#pragma once

#include "archiverecord.h"
#include "norms.h"

#include <QList>
#include <QString>
#include <optional>

// Two records of one transformer side by side: the results a repair shop looks at, each
// with its change in per cent of the earlier value, marked when the change breaks the
// quantity's own norm (resistance after reduction to one temperature, R60 with K2, losses
// and currents by their tolerances), the norm named beside it.
namespace ArchiveComparison {

// The flat rule that held before each quantity had its norm: a change beyond this many per
// cent (either way).
inline constexpr double MarkAbovePercent = 2.0;

struct Row {
    QString section;  // the test, as the main window names its page
    QString quantity; // what is compared
    QString before;   // the texts as the protocol holds them
    QString after;
    std::optional<double> changePercent; // none when a text is no number or the earlier value is 0
    bool marked = false;
    // The norm the change is held against (an id of the norms table); empty for a quantity
    // without one, which is never marked.
    QString normId;
    // Beside a marked change: what was held against what, and the norm with its source
    // ("ранее приведено к 25 °C: 0.5126 Ом, изменение +2.41 %; отличается не более чем на
    // 2 % ... (РД 34.45-51.300-97 §6)"). Beside a change the norm could not judge: why
    // ("не сравнивается: нет температуры обмотки в протоколе «Ранее»"). Empty otherwise.
    QString norm;
};

// What the comparison needs beyond the two records.
struct Context {
    NormsTable norms = NormsTable::shipped();
    // The material's constant T of R(θ2) = R(θ1)·(T + θ2)/(T + θ1): 235 copper, 225 aluminium.
    std::optional<double> materialConstant;
    // °C at which each test's insulation was measured (kept with the judgement's inputs).
    std::optional<double> insulationTemperatureBefore;
    std::optional<double> insulationTemperatureAfter;
};

// The norms in force, the winding material (the record's, else its type's in the catalogue)
// and the insulation temperatures kept for the two tests. Reads files; never throws.
Context contextInForce(const ArchiveRecord &before, const ArchiveRecord &after);

// A result text as a number: full stop or comma as the decimal point, blanks (also the
// regional no-break ones) as digit groups; nothing for an empty text or one that is no number.
std::optional<double> parseNumber(QString text);

// (after - before) / |before| × 100; none when either is no number or before is 0.
std::optional<double> changePercent(const QString &before, const QString &after);

// The flat rule: beyond MarkAbovePercent, or a value that appeared where the earlier one was 0.
bool isMarked(const QString &before, const QString &after);

// "+2.5" style, one decimal; "—" when there is no percentage.
QString changeText(const std::optional<double> &change);

// The rows for `before` and `after`, in the order of the protocol; quantities that
// neither record holds are left out. Pure.
QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after, const Context &context);

// The same with contextInForce().
QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after);

} // namespace ArchiveComparison
