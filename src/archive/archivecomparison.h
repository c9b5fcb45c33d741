#pragma once

#include "archiverecord.h"

#include <QList>
#include <QString>
#include <optional>

// Two records of one transformer side by side: the results a repair shop looks at, each
// with its change in per cent of the earlier value.
namespace ArchiveComparison {

// A change beyond this many per cent (either way) is marked.
inline constexpr double MarkAbovePercent = 2.0;

struct Row {
    QString section;  // the test, as the main window names its page
    QString quantity; // what is compared
    QString before;   // the texts as the protocol holds them
    QString after;
    std::optional<double> changePercent; // none when a text is no number or the earlier value is 0
    bool marked = false;
};

// A result text as a number: full stop or comma as the decimal point, blanks (also the
// regional no-break ones) as digit groups; nothing for an empty text or one that is no number.
std::optional<double> parseNumber(QString text);

// (after - before) / |before| × 100; none when either is no number or before is 0.
std::optional<double> changePercent(const QString &before, const QString &after);

// Beyond MarkAbovePercent, or a value that appeared where the earlier one was 0.
bool isMarked(const QString &before, const QString &after);

// "+2.5" style, one decimal; "—" when there is no percentage.
QString changeText(const std::optional<double> &change);

// The rows for `before` and `after`, in the order of the protocol; quantities that
// neither record holds are left out.
QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after);

} // namespace ArchiveComparison
