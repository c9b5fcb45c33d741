#pragma once

#include <QString>
#include <QStringList>

// Whether the scheme-and-group text names one of the schemes whose low-voltage winding is
// a delta, "U / D - 11" or "D / D - 0", however its blanks are typed.
bool lowVoltageIsDelta(const QString &circuit);

// The low-voltage resistance rows in the order they are measured: between the line pairs
// ab, ca, bc for a delta winding, from each line to the neutral, a0, b0, c0, for any other.
QStringList lowVoltagePairs(const QString &circuit);
