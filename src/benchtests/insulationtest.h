#pragma once

#include <QString>

class FieldSink;

// The six resistance texts of the insulation table (MΩ after 15 s and after 60 s).
struct InsulationTexts {
    QString RHigh15, RHigh60; // "ВН - К"
    QString RLow15, RLow60;   // "НН - К"
    QString RHL15, RHL60;     // "ВН-НН"
};

// Absorption coefficient R60 / R15 with 4 decimals, width 5; empty unless both texts
// are numbers and R15 is not 0.
QString absorptionCoefficientText(const QString &r15, const QString &r60);

// RIEnter: after any change of the six texts, KabsHigh, KabsLow and KabsHL are each
// recomputed (or emptied) from their own row, so no coefficient ever disagrees with the
// resistances beside it.
void computeAbsorptionCoefficients(const InsulationTexts &texts, FieldSink &sink);
