#include "signaldecoder.h"

#include "fixedpoint.h"
#include "packetlayout.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

std::uint32_t unsigned32(const std::uint8_t *packet, int offset)
{
    return PacketLayout::bigEndian32(packet + offset);
}

std::int32_t signed32(const std::uint8_t *packet, int offset)
{
    return std::int32_t(unsigned32(packet, offset));
}

std::uint32_t accumulator(const std::uint8_t *packet, PacketLayout::Accumulator a)
{
    return unsigned32(packet, PacketLayout::accumulatorOffset(a));
}

int ticks(const std::uint8_t *packet, PacketLayout::Tick w)
{
    return PacketLayout::bigEndian16(packet + PacketLayout::tickOffset(w));
}

long double roundHalfEven(long double x)
{
    const long double down = std::floor(x);
    const long double fraction = x - down;
    if (fraction > 0.5L)
        return down + 1;
    if (fraction < 0.5L)
        return down;
    return std::fmod(down, 2.0L) == 0 ? down : down + 1;
}

long double power(std::int32_t accumulator, std::uint8_t currentRatio)
{
    return PacketLayout::wattsOfCount(accumulator) * currentRatio;
}

long double current(std::uint32_t accumulator, std::uint8_t currentRatio)
{
    return std::sqrt(accumulator / PacketLayout::SecondarySquareScale) / PacketLayout::CurrentScale
           * currentRatio;
}

long double secondVoltage(std::uint32_t accumulator, std::uint16_t voltageRatio)
{
    return std::sqrt(accumulator / PacketLayout::SecondarySquareScale) / PacketLayout::SecondVoltageScale
           * voltageRatio;
}

long double firstVoltage(std::uint32_t accumulator)
{
    return std::sqrt(accumulator / PacketLayout::FirstVoltageSquareScale);
}

} // namespace

long double vectorGroupFromTicks(int tickDifference)
{
    long double x = tickDifference * PacketLayout::DegreesPerTick;
    // One turn added is not enough for shifts below -360 degrees: they would give
    // negative clock numbers.
    if (x < 0)
        x += 360 * std::ceil(-x / 360);
    if (x > 360)
        x = std::fmod(roundHalfEven(x), 360.0L);
    x = roundHalfEven(x / 30);
    if (x == 12)
        x = 0;
    return x;
}

QString regionalPowerText(long double value, const QLocale &locale)
{
    constexpr int Precision = 8;
    constexpr int Decimals = 2;
    if (!std::isfinite(value))
        return fixedText(value, Decimals);

    // Rounded to the second decimal, or to eight significant digits where that is coarser.
    const int decimals = std::min(Decimals, Precision - 1 - decimalExponent(value));
    const std::string digits = roundedDecimalDigits(std::fabs(value), decimals);
    const bool allZero = digits.find_first_not_of('0') == std::string::npos;
    const int roundedExponent = allZero ? 0 : int(digits.size()) - 1 - decimals;
    if (roundedExponent + 1 > Precision) {
        std::string mantissa = digits.substr(0, std::size_t(Precision));
        while (mantissa.size() > 1 && mantissa.back() == '0')
            mantissa.pop_back();
        QString text = std::signbit(value) ? QStringLiteral("-") : QString();
        text += QLatin1Char(mantissa[0]);
        if (mantissa.size() > 1)
            text += locale.decimalPoint() + QString::fromLatin1(mantissa.substr(1).c_str());
        return text + QLatin1Char('E') + QString::number(roundedExponent);
    }
    QString text = fixedText(value, decimals);
    if (decimals == 0)
        text += QLatin1Char('.');
    text += QString(Decimals - decimals, QLatin1Char('0'));
    return regionalNumberText(text, locale);
}

bool carriesPeriodCount(SignalPacketBytes packet)
{
    return ticks(packet.data(), PacketLayout::W2) != 0;
}

bool carriesMeanVoltage(SignalPacketBytes packet)
{
    return unsigned32(packet.data(), PacketLayout::UabMeanOffset) != 0;
}

BenchReadings decodeSignalReadings(SignalPacketBytes packet, const BenchReadings &previous,
                                   const InstrumentScaling &scaling, bool onePhase)
{
    const std::uint8_t *p = packet.data();
    BenchReadings r;

    using namespace PacketLayout;
    const int w0 = ticks(p, W0);
    const int w1 = ticks(p, W1);
    const int w2 = ticks(p, W2);
    const int w3 = ticks(p, W3);

    r.Frequency = previous.Frequency;
    if (w2 != 0) {
        const long double periods = (long double)(w2 - 1) * TicksPerSecond;
        r.Frequency = w1 == w0 ? 0 : periods / (w1 - w0);
    }
    r.PhaseGroup = vectorGroupFromTicks(w1 - w3);

    r.P1 = power(signed32(p, P1Offset), scaling.CurrentRatio);
    r.P2 = power(signed32(p, P2Offset), scaling.CurrentRatio);
    r.UabMean = unsigned32(p, UabMeanOffset) / SecondarySquareScale / std::sqrt(MeanRootFactor);
    r.Uab = firstVoltage(accumulator(p, Uab));
    r.Ubc = firstVoltage(accumulator(p, Ubc));
    r.Uca = firstVoltage(accumulator(p, Uca));
    r.Ia = current(accumulator(p, Ia), scaling.CurrentRatio);
    r.Ib = current(accumulator(p, Ib), scaling.CurrentRatio);
    r.Ic = current(accumulator(p, Ic), scaling.CurrentRatio);
    r.U2ab = secondVoltage(accumulator(p, U2ab), scaling.VoltageRatio);
    r.U2bc = secondVoltage(accumulator(p, U2bc), scaling.VoltageRatio);
    r.U2ca = secondVoltage(accumulator(p, U2ca), scaling.VoltageRatio);

    r.Ptotal = r.P1 + r.P2;
    r.Iavg = r.Ia / 3 + r.Ib / 3 + r.Ic / 3;
    r.Uavg = r.Uab / 3 + r.Ubc / 3 + r.Uca / 3;

    r.Kab = r.Uab != 0 ? r.U2ab / r.Uab : 0;
    r.Kbc = r.Ubc != 0 ? r.U2bc / r.Ubc : 0;
    r.Kca = r.Uca != 0 ? r.U2ca / r.Uca : 0;

    // Ia and P1 already carry the current ratio; applying it again would scale the
    // one-phase results by the ratio a second time.
    if (onePhase) {
        r.Uavg = r.Uab;
        r.Iavg = r.Ia;
        r.Ptotal = r.P1;
    }
    return r;
}

SignalTexts signalTextsOf(const BenchReadings &r, const InstrumentScaling &scaling,
                          const QLocale &locale)
{
    SignalTexts t;
    t.Label3 = regionalPowerText(r.P1, locale);
    t.Label4 = regionalPowerText(r.P2, locale);
    t.Uab2 = fixedText(r.UabMean, 1);
    t.Uab = fixedText(r.Uab, PrimaryVoltageDigits);
    t.Ubc = fixedText(r.Ubc, PrimaryVoltageDigits);
    t.Uca = fixedText(r.Uca, PrimaryVoltageDigits);
    t.Ia = fixedText(r.Ia, scaling.CurrentDigits);
    t.Ib = fixedText(r.Ib, scaling.CurrentDigits);
    t.Ic = fixedText(r.Ic, scaling.CurrentDigits);
    t.U_AB = fixedText(r.U2ab, scaling.VoltageDigits);
    t.U_BC = fixedText(r.U2bc, scaling.VoltageDigits);
    t.U_CA = fixedText(r.U2ca, scaling.VoltageDigits);
    if (r.Uab >= 1)
        t.Freq = fixedText(r.Frequency, 2);
    if (r.UabMean != 0) {
        const long double k = r.Uab / r.UabMean;
        t.Kf = fixedText(k, 4);
        t.KfColour = k > FormFactorUpperBound || k < FormFactorLowerBound
                         ? FormFactorColour::OutOfRange
                         : FormFactorColour::Normal;
    }
    return t;
}

SignalDecoding DecodeSignalPacket(SignalPacketBytes packet, const BenchReadings &previous,
                                  const InstrumentScaling &scaling, bool onePhase,
                                  const QLocale &locale)
{
    SignalDecoding out;
    out.readings = decodeSignalReadings(packet, previous, scaling, onePhase);
    out.texts = signalTextsOf(out.readings, scaling, locale);
    return out;
}
