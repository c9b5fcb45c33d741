#include "benchpresets.h"

#include <numbers>

double sineRectifiedMean(double rms)
{
    return rms * 2 * std::numbers::sqrt2 / std::numbers::pi;
}

QList<BenchPreset> benchPresets()
{
    // Rated currents: 14.43 A (10 kV side), 360.8 A (0.4 kV side). A current transformer
    // 15 A / 5 A and a voltage transformer 10 kV / 100 V are in use for the three tests.
    const InstrumentRatios bench{3, 100};

    // No-load: 0.4 kV side fed at rated voltage, 10 kV side open. About 2.1 % no-load
    // current and 742 W losses; at this power factor one wattmeter reads negative.
    SignalValues idle;
    idle.Uab = 400.2;
    idle.Ubc = 399.6;
    idle.Uca = 400.9;
    idle.U2ab = 10006;
    idle.U2bc = 9991;
    idle.U2ca = 10018;
    idle.Ia = 8.42;
    idle.Ib = 6.05;
    idle.Ic = 8.61;
    idle.P1 = -1152;
    idle.P2 = 1894;
    idle.Frequency = 49.98;
    idle.PhaseShift = 330;
    idle.UabMean = 360.3;

    // Short-circuit: 10 kV side fed, 0.4 kV side shorted, the first voltage channels on the
    // fed side. Near rated current; 4.5 % short-circuit voltage and 3.7 kW at 75 degrees
    // once reduced, measured cold at 20 degrees.
    SignalValues shortCircuit;
    shortCircuit.Uab = 440.6;
    shortCircuit.Ubc = 439.2;
    shortCircuit.Uca = 441.0;
    shortCircuit.Ia = 14.12;
    shortCircuit.Ib = 14.05;
    shortCircuit.Ic = 14.15;
    shortCircuit.P1 = -1536;
    shortCircuit.P2 = 4443;
    shortCircuit.Frequency = 50.0;
    shortCircuit.PhaseShift = 0;
    shortCircuit.UabMean = 396.7;

    // Ratio: 0.4 kV side fed at a quarter of its voltage, ratio 25 at the middle tap.
    SignalValues ratio;
    ratio.Uab = 100.4;
    ratio.Ubc = 100.1;
    ratio.Uca = 100.6;
    ratio.U2ab = 2510;
    ratio.U2bc = 2503;
    ratio.U2ca = 2516;
    ratio.Ia = 0.91;
    ratio.Ib = 0.66;
    ratio.Ic = 0.93;
    ratio.P1 = -70;
    ratio.P2 = 118;
    ratio.Frequency = 50.0;
    ratio.PhaseShift = 330;
    ratio.UabMean = 90.39;

    // Nothing connected: no input, no period counted.
    const SignalValues zero;

    return {
        {QStringLiteral("idle"), QStringLiteral("no-load test, 0.4 kV side at 400 V"), idle, bench},
        {QStringLiteral("short"), QStringLiteral("short-circuit test, 10 kV side near rated current"),
         shortCircuit, bench},
        {QStringLiteral("ratio"), QStringLiteral("ratio and vector group test, 0.4 kV side at 100 V"), ratio,
         bench},
        {QStringLiteral("zero"), QStringLiteral("no input at all"), zero, InstrumentRatios{1, 1}},
    };
}

std::optional<BenchPreset> findBenchPreset(QStringView name)
{
    for (const BenchPreset &p : benchPresets())
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return std::nullopt;
}
