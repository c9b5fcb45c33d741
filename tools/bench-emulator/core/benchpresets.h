#pragma once

#include "benchpackets.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Readings of a 10/0.4 kV 250 kVA distribution transformer (Dyn11) as the bench would see
// them during a test, with the instrument transformer ratios they are meant for.
struct BenchPreset {
    QString name;
    QString description;
    SignalValues values;
    InstrumentRatios ratios;
};

// "idle", "short", "ratio" and "zero", in that order.
QList<BenchPreset> benchPresets();

std::optional<BenchPreset> findBenchPreset(QStringView name);

// The rectified mean of a pure sine of the given RMS value (form factor pi / (2 sqrt 2)).
double sineRectifiedMean(double rms);
