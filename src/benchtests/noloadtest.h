#pragma once

#include "benchreadings.h"
#include "ratedvalues.h"

class FieldSink;

// The no-load test on the readings of the last good packet. Writes Uab00, Ubc00, Uca00,
// Ia00, Ib00, Ic00, Ixx00, Ixx01, Pxx00. A zero RatedCurrentLV throws BenchError after
// Ia00, Pxx00 and Ixx00 have their new texts and the rest are empty.
// currentDigits is CurrentDigits; onePhase is item 0 ("Одна") of FasNumber.
void runNoLoadTest(const BenchReadings &readings, const RatedValues &rated, int currentDigits,
                   bool onePhase, FieldSink &sink);
