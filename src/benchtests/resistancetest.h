#pragma once

#include "packetlayout.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class FieldSink;
class QLocale;

inline constexpr int ResistanceRangeCount = 5; // ResistenceRange1: "200" .. "0.01" ohms
inline constexpr int ResistancePauseMs = 1000;
inline constexpr int ResistanceAutoStopMs = 30000;
inline constexpr int ImbalanceRow = 3;
inline constexpr int ResistanceTapCount = 6; // RadioGroup2: "I" .. "V", "HH"

// A command of the winding-resistance measurement: `lead` goes out, then a blocking pause
// of ResistancePauseMs, then every byte received meanwhile is drained and thrown away
// (the bench's packets from before the command must not reach the table), then `tail`.
struct ResistanceCommand {
    char lead = char(PacketLayout::ResistanceCommandLead);
    QByteArray tail;
};

// Start in range `rangeIndex` (the item index of ResistenceRange1).
// No command for an index outside 0..4: nothing sensible can be sent without a range.
std::optional<ResistanceCommand> resistanceStartCommand(int rangeIndex);

// Stop the measurement.
ResistanceCommand resistanceStopCommand();

// Hidden service buttons, sent at once without a pause: Button1 "CC" and Button2 "B5".
QByteArray serviceCommandCC();
QByteArray serviceCommandB5();

// RadioGroup3 ("AB", "CA", "BC") and RadioGroup4 ("A0", "B0", "C0") name the same rows:
// the index to select in one group when the other shows `index`; -1 for no selection.
int mirroredPairIndex(int index);

// Reads a resistance cell written with the regional decimal separator of `locale`.
bool readRegionalNumber(const QString &text, const QLocale &locale, long double &value);

// The imbalance of one column from its three resistance texts: (max - min) / max in per
// cent, rounded to 5 significant digits, two decimals, with the separators of `locale`,
// followed by " %". Empty when a text is not a number or max is 0.
QString imbalanceText(const QString &r0, const QString &r1, const QString &r2,
                      const QLocale &locale);

// sButton1Click: the imbalance of every ResistenceGrid column, each computed on its own,
// written into row 3 of its column. `cell(column, row)` gives the grid's texts.
void computeImbalances(const std::function<QString(int column, int row)> &cell,
                       const QLocale &locale, FieldSink &sink);
