#include "benchpackets.h"

#include "packetlayout.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace BenchPackets {

namespace {

using namespace PacketLayout;

// One count of a power accumulator in watts before the current ratio.
const long double WattsPerCount = wattsOfCount(1);

QString number(long double v)
{
    return QLocale::c().toString(double(v), 'g', 10);
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// acc = round((value * scale)^2 * factor), the inverse of value = sqrt(acc / factor) / scale.
bool squareAccumulator(const char *name, double value, long double scale, long double factor,
                       std::uint32_t &out, QString *error)
{
    if (!std::isfinite(value) || value < 0)
        return fail(error, QStringLiteral("%1 must be a finite value of 0 or more, not %2")
                               .arg(QLatin1String(name), number(value)));
    const long double x = value * scale;
    const long double acc = std::round(x * x * factor);
    const long double max = std::numeric_limits<std::uint32_t>::max();
    if (acc > max)
        return fail(error, QStringLiteral("%1 = %2 is beyond the accumulator's range (at most %3)")
                               .arg(QLatin1String(name), number(value),
                                    number(std::sqrt(max / factor) / scale)));
    out = std::uint32_t(acc);
    return true;
}

// acc = round(mean * 16000 * sqrt(768)), the inverse of the decoder's mean.
bool meanAccumulator(double mean, std::uint32_t &out, QString *error)
{
    if (!std::isfinite(mean) || mean < 0)
        return fail(error, QStringLiteral("the rectified mean must be a finite value of 0 or more, not %1")
                               .arg(number(mean)));
    const long double perVolt = SecondarySquareScale * std::sqrt(MeanRootFactor);
    const long double acc = std::round(mean * perVolt);
    const long double max = std::numeric_limits<std::uint32_t>::max();
    if (acc > max)
        return fail(error, QStringLiteral("the rectified mean %1 is beyond the accumulator's range (at most %2)")
                               .arg(number(mean), number(max / perVolt)));
    out = std::uint32_t(acc);
    return true;
}

// `value` on the primary side, carried as its secondary value; a ratio of 0 carries only 0.
bool ratioAccumulator(const char *name, double value, unsigned ratio, long double perUnit,
                      std::uint32_t &out, QString *error)
{
    if (ratio == 0) {
        if (value != 0)
            return fail(error, QStringLiteral("%1 = %2 cannot be carried with a ratio of 0")
                                   .arg(QLatin1String(name), number(value)));
        out = 0;
        return true;
    }
    return squareAccumulator(name, value, perUnit / ratio, SecondarySquareScale, out, error);
}

bool powerAccumulator(const char *name, double watts, unsigned ratio, std::int32_t &out, QString *error)
{
    if (!std::isfinite(watts))
        return fail(error, QStringLiteral("%1 must be a finite value").arg(QLatin1String(name)));
    if (ratio == 0) {
        if (watts != 0)
            return fail(error, QStringLiteral("%1 = %2 cannot be carried with a current ratio of 0")
                                   .arg(QLatin1String(name), number(watts)));
        out = 0;
        return true;
    }
    const long double acc = std::round(watts / ratio / WattsPerCount);
    const long double lo = std::numeric_limits<std::int32_t>::min();
    const long double hi = std::numeric_limits<std::int32_t>::max();
    if (acc < lo || acc > hi)
        return fail(error, QStringLiteral("%1 = %2 W is beyond the accumulator's range (at most %3 W either way)")
                               .arg(QLatin1String(name), number(watts), number(hi * WattsPerCount * ratio)));
    out = std::int32_t(acc);
    return true;
}

// w2 - 1 whole periods between ticks w0 and w1. The number of periods is chosen so that
// the tick count gives the frequency back as closely as the 16-bit counter allows.
bool encodeFrequency(const std::optional<double> &frequency, SignalFields &raw, QString *error)
{
    const long double start = WindowStartTick;
    raw.w0 = WindowStartTick;
    if (!frequency) {
        raw.w1 = WindowStartTick;
        raw.w2 = 0;
        return true;
    }
    const double f = *frequency;
    if (!std::isfinite(f) || f < 0)
        return fail(error, QStringLiteral("the frequency must be a finite value of 0 or more, not %1").arg(number(f)));
    const long double maxTicks = std::numeric_limits<std::uint16_t>::max() - start;
    if (f == 0) {
        // No period within a window of one nominal period: exactly 0 Hz.
        raw.w1 = std::uint16_t(start + TicksPerSecond / 50);
        raw.w2 = 1;
        return true;
    }
    long double bestError = std::numeric_limits<long double>::infinity();
    long double bestTicks = 0;
    int bestPeriods = 0;
    for (int periods = 1; periods < std::numeric_limits<std::uint16_t>::max(); ++periods) {
        const long double ticks = std::round(periods * (long double)TicksPerSecond / f);
        if (ticks > maxTicks)
            break;
        if (ticks < 1)
            continue;
        const long double err = std::fabs(periods * (long double)TicksPerSecond / ticks - f);
        if (err < bestError) {
            bestError = err;
            bestTicks = ticks;
            bestPeriods = periods;
            if (err <= f * 1e-12L)
                break;
        }
    }
    if (bestPeriods == 0)
        return fail(error, QStringLiteral("the frequency %1 Hz is below what the tick counter can carry (%2 Hz)")
                               .arg(number(f), number(TicksPerSecond / maxTicks)));
    raw.w1 = std::uint16_t(start + bestTicks);
    raw.w2 = std::uint16_t(bestPeriods + 1);
    return true;
}

// w1 - w3 ticks of 2.25 degrees; the shift is brought into [0, 360) first so that the
// difference always stays within one period.
bool encodePhase(double degrees, SignalFields &raw, QString *error)
{
    if (!std::isfinite(degrees))
        return fail(error, QStringLiteral("the phase shift must be a finite value"));
    double shift = std::fmod(degrees, 360.0);
    if (shift < 0)
        shift += 360.0;
    const long ticks = std::lround(shift / double(DegreesPerTick));
    raw.w3 = std::uint16_t(raw.w1 - ticks);
    return true;
}

} // namespace

std::optional<SignalFields> encodeSignal(const SignalValues &v, const InstrumentRatios &r, QString *error)
{
    SignalFields raw;
    const unsigned cr = r.CurrentRatio;
    const unsigned vr = r.VoltageRatio;
    const long double first = FirstVoltageSquareScale;
    const bool ok = squareAccumulator("Uab", v.Uab, 1, first, raw.Uab, error)
            && squareAccumulator("Ubc", v.Ubc, 1, first, raw.Ubc, error)
            && squareAccumulator("Uca", v.Uca, 1, first, raw.Uca, error)
            && ratioAccumulator("Ia", v.Ia, cr, CurrentScale, raw.Ia, error)
            && ratioAccumulator("Ib", v.Ib, cr, CurrentScale, raw.Ib, error)
            && ratioAccumulator("Ic", v.Ic, cr, CurrentScale, raw.Ic, error)
            && ratioAccumulator("U2ab", v.U2ab, vr, SecondVoltageScale, raw.U2ab, error)
            && ratioAccumulator("U2bc", v.U2bc, vr, SecondVoltageScale, raw.U2bc, error)
            && ratioAccumulator("U2ca", v.U2ca, vr, SecondVoltageScale, raw.U2ca, error)
            && powerAccumulator("P1", v.P1, cr, raw.P1, error)
            && powerAccumulator("P2", v.P2, cr, raw.P2, error)
            && meanAccumulator(v.UabMean, raw.UabMean, error)
            && encodeFrequency(v.Frequency, raw, error)
            && encodePhase(v.PhaseShift, raw, error);
    if (!ok)
        return std::nullopt;
    return raw;
}

} // namespace BenchPackets
