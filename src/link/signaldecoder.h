#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "packetframer.h"

#include <QLocale>
#include <QString>

// Form factor of a pure sine, pi / (2 sqrt 2), widened by 2 % either way: outside these
// bounds the supply is too distorted for the tests to be trusted.
inline constexpr long double FormFactorUpperBound = 1.1329351492303834L;
inline constexpr long double FormFactorLowerBound = 1.0885063198487996L;

enum class FormFactorColour {
    Unchanged,  // the form factor could not be computed: leave `Kf` and its colour alone
    Normal,     // layout colour of `Kf` and `StaticText2` (0xD3, 0xD5, 0xDC)
    OutOfRange, // red (255, 0, 0) on `Kf` and `StaticText2`
};

// Everything the readout panel and the two hidden power labels show after a good signal
// packet, named after the controls.
struct SignalTexts {
    QString Uab, Ubc, Uca;
    QString Ia, Ib, Ic;
    QString U_AB, U_BC, U_CA;
    QString Uab2;
    QString Freq; // empty while Uab is below 1 V
    QString Kf;   // meaningful only when KfColour is not Unchanged
    FormFactorColour KfColour = FormFactorColour::Unchanged;
    QString Label3, Label4;
};

struct SignalDecoding {
    BenchReadings readings;
    SignalTexts texts;
};

// Decodes a signal packet whose checksum has passed. `previous` supplies the frequency
// kept when a packet carries no period count; `onePhase` is the "Одна" choice of the
// phase count.
SignalDecoding DecodeSignalPacket(SignalPacketBytes packet, const BenchReadings &previous,
                                  const InstrumentScaling &scaling, bool onePhase,
                                  const QLocale &locale);

// Clock number 0-11 of the phase shift between the two sides, from the signed tick
// difference w1 - w3 (2.25 degrees per tick).
long double vectorGroupFromTicks(int tickDifference);

// A power reading in the regional number format: grouped digits, 2 decimals, at most
// 8 significant digits, exponent form when the integer part needs more.
QString regionalPowerText(long double value, const QLocale &locale);

// The two halves of DecodeSignalPacket: the readings, and the texts that show them. The
// texts are a function of the readings alone, so they can be made when they are shown.
BenchReadings decodeSignalReadings(SignalPacketBytes packet, const BenchReadings &previous,
                                   const InstrumentScaling &scaling, bool onePhase);
SignalTexts signalTextsOf(const BenchReadings &readings, const InstrumentScaling &scaling,
                          const QLocale &locale);

// Whether a packet measures the frequency itself (else it keeps the one before it), and
// whether it carries the mean voltage the form factor is computed from.
bool carriesPeriodCount(SignalPacketBytes packet);
bool carriesMeanVoltage(SignalPacketBytes packet);
