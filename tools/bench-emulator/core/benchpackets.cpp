#include "benchpackets.h"

#include "crc8.h"
#include "packetframer.h"

#include <QLocale>

#include <bit>
#include <cmath>
#include <limits>

namespace BenchPackets {

namespace {

// One count of a power accumulator in watts before the current ratio, multiplied in
// the order the program's decoder uses.
const long double WattsPerCount = 16384.0L * 1.633L / 4000 / 2048 / 65;

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

// acc = round(mean * 16000 * sqrt(768)), the inverse of mean = acc / 16000 / sqrt(768).
bool meanAccumulator(double mean, std::uint32_t &out, QString *error)
{
    if (!std::isfinite(mean) || mean < 0)
        return fail(error, QStringLiteral("the rectified mean must be a finite value of 0 or more, not %1")
                               .arg(number(mean)));
    const long double perVolt = 16000 * std::sqrt(768.0L);
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
    return squareAccumulator(name, value, perUnit / ratio, 16000, out, error);
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
bool encodeFrequency(const std::optional<double> &frequency, SignalRaw &raw, QString *error)
{
    const long double start = WindowStartTick;
    raw.counts[0] = WindowStartTick;
    if (!frequency) {
        raw.counts[1] = WindowStartTick;
        raw.counts[2] = 0;
        return true;
    }
    const double f = *frequency;
    if (!std::isfinite(f) || f < 0)
        return fail(error, QStringLiteral("the frequency must be a finite value of 0 or more, not %1").arg(number(f)));
    const long double maxTicks = std::numeric_limits<std::uint16_t>::max() - start;
    if (f == 0) {
        // No period within a window of one nominal period: exactly 0 Hz.
        raw.counts[1] = std::uint16_t(start + 160);
        raw.counts[2] = 1;
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
    raw.counts[1] = std::uint16_t(start + bestTicks);
    raw.counts[2] = std::uint16_t(bestPeriods + 1);
    return true;
}

// w1 - w3 ticks of 2.25 degrees; the shift is brought into [0, 360) first so that the
// difference always stays within one period.
bool encodePhase(double degrees, SignalRaw &raw, QString *error)
{
    if (!std::isfinite(degrees))
        return fail(error, QStringLiteral("the phase shift must be a finite value"));
    double shift = std::fmod(degrees, 360.0);
    if (shift < 0)
        shift += 360.0;
    const long ticks = std::lround(shift / 2.25);
    raw.counts[3] = std::uint16_t(raw.counts[1] - ticks);
    return true;
}

void putBigEndian(QByteArray &out, int offset, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i)
        out[offset + i] = char((v >> (8 * (width - 1 - i))) & 0xFF);
}

std::uint8_t crcOf(const QByteArray &bytes, int offset, int length)
{
    return CRC8(reinterpret_cast<const std::uint8_t *>(bytes.constData()) + offset, std::uint8_t(length));
}

} // namespace

std::optional<SignalRaw> encodeSignal(const SignalValues &v, const InstrumentRatios &r, QString *error)
{
    SignalRaw raw;
    auto &a = raw.accumulators;
    const unsigned cr = r.CurrentRatio;
    const unsigned vr = r.VoltageRatio;
    const bool ok = squareAccumulator("Uab", v.Uab, 1, 6000, a[0], error)
            && squareAccumulator("Ubc", v.Ubc, 1, 6000, a[1], error)
            && squareAccumulator("Uca", v.Uca, 1, 6000, a[2], error)
            && ratioAccumulator("Ia", v.Ia, cr, 65, a[3], error)
            && ratioAccumulator("Ib", v.Ib, cr, 65, a[4], error)
            && ratioAccumulator("Ic", v.Ic, cr, 65, a[5], error)
            && ratioAccumulator("U2ab", v.U2ab, vr, 2, a[6], error)
            && ratioAccumulator("U2bc", v.U2bc, vr, 2, a[7], error)
            && ratioAccumulator("U2ca", v.U2ca, vr, 2, a[8], error)
            && powerAccumulator("P1", v.P1, cr, raw.P1, error)
            && powerAccumulator("P2", v.P2, cr, raw.P2, error)
            && meanAccumulator(v.UabMean, raw.UabMean, error)
            && encodeFrequency(v.Frequency, raw, error)
            && encodePhase(v.PhaseShift, raw, error);
    if (!ok)
        return std::nullopt;
    return raw;
}

QByteArray signalPacket(const SignalRaw &raw)
{
    QByteArray out(SignalPacketSize, '\0');
    out[0] = char(SignalKind);
    int offset = 1;
    for (std::uint32_t acc : raw.accumulators) {
        putBigEndian(out, offset, acc, 4);
        offset += 4;
    }
    putBigEndian(out, 37, std::uint32_t(raw.P1), 4);
    putBigEndian(out, 41, std::uint32_t(raw.P2), 4);
    for (int i = 0; i < 4; ++i)
        putBigEndian(out, 45 + 2 * i, raw.counts[std::size_t(i)], 2);
    constexpr int at = checksumOffset(PacketKind::Signal);
    out[at] = char(crcOf(out, 1, at - 1));
    putBigEndian(out, 54, raw.UabMean, 4);
    return out;
}

QByteArray resistancePacket(float ohms, std::uint8_t spare)
{
    return resistancePacketBits(std::bit_cast<std::uint32_t>(ohms), spare);
}

QByteArray resistancePacketBits(std::uint32_t bits, std::uint8_t spare)
{
    QByteArray out(ResistancePacketSize, '\0');
    out[0] = char(ResistanceKind);
    putBigEndian(out, 1, bits, 4);
    out[5] = char(spare);
    constexpr int at = checksumOffset(PacketKind::Resistance);
    out[at] = char(crcOf(out, 1, at - 1));
    return out;
}

QByteArray calibrationFrame(std::uint8_t command, std::uint8_t selector, float value)
{
    QByteArray out(CalibrationFrameSize, '\0');
    out[0] = char(command);
    out[1] = char(selector);
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[2 + i] = char((bits >> (8 * i)) & 0xFF);
    out[6] = char(crcOf(out, 0, 6));
    return out;
}

namespace {
int checksumOffset(const QByteArray &packet)
{
    if (packet.size() == SignalPacketSize && std::uint8_t(packet[0]) == SignalKind)
        return ::checksumOffset(PacketKind::Signal);
    if (packet.size() == ResistancePacketSize && std::uint8_t(packet[0]) == ResistanceKind)
        return ::checksumOffset(PacketKind::Resistance);
    return -1;
}
} // namespace

QByteArray withBrokenChecksum(QByteArray packet)
{
    const int at = checksumOffset(packet);
    if (at > 0)
        packet[at] = char(std::uint8_t(packet[at]) ^ 0x5A);
    return packet;
}

bool checksumMatches(const QByteArray &packet)
{
    const int at = checksumOffset(packet);
    return at > 0 && crcOf(packet, 1, at - 1) == std::uint8_t(packet[at]);
}

} // namespace BenchPackets
