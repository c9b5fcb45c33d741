#pragma once

#include "benchreadings.h"
#include "ratedvalues.h"

#include <cstdint>

class FieldSink;

// (MaterialConstant + 75) / (MaterialConstant + WindingTemperature): the factor that
// takes load losses from the winding temperature to 75 °C. Throws BenchError when the
// divisor is zero.
long double temperatureFactor(std::uint8_t materialConstant, long double windingTemperature);

// The short-circuit test on the readings of the last good packet, reduced to
// RatedCurrentHV and to 75 °C, writing each field as its step completes.
// A zero mean current falls back to the measured values silently. A zero
// RatedVoltageHV, a zero RatedPower, a zero MaterialConstant + WindingTemperature or a
// negative value under the root throws BenchError at its step; the fields of the later
// steps keep whatever they held.
void runShortCircuitTest(const BenchReadings &readings, const RatedValues &rated,
                         int currentDigits, bool onePhase, FieldSink &sink);
