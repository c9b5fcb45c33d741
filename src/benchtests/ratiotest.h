#pragma once

#include "benchreadings.h"
#include "ratedvalues.h"

class FieldSink;

inline constexpr int RatioTapCount = 5; // RadioGroup1 items "I" to "V"
inline constexpr int RatedVoltageColumn = 10; // TransformGrid column "Uном,B"

// The ratio and vector-group test for tap position `tap` (0 for "I" to 4 for "V").
// Writes Group and the cells of TransformGrid columns 2*tap ("U,B"), 2*tap + 1 ("K") and
// 10, and of TransformGrid1 columns 0 to 2; the other taps' columns are left alone, so
// the table fills up tap by tap. One phase fills row 0 only and empties rows 1 and 2.
// A tap outside 0..4 (no selection) writes nothing. voltageDigits is VoltageDigits.
void runRatioTest(const BenchReadings &readings, const RatedValues &rated, int voltageDigits,
                  int tap, bool onePhase, FieldSink &sink);

// Double click on TransformGrid: empties the two columns of `tap` in all three rows.
void clearRatioTap(int tap, FieldSink &sink);
