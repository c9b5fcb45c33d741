#include "resistancedecoder.h"

#include "fixedpoint.h"
#include "packetlayout.h"

#include <bit>
#include <cstdint>

long double resistanceValue(ResistancePacketBytes packet)
{
    const std::uint32_t pattern = PacketLayout::bigEndian32(packet.data() + PacketLayout::OhmsOffset);
    const bool allExponentBits = (pattern & 0x7F800000u) == 0x7F800000u;
    const bool quietBit = pattern & 0x00400000u;
    const bool mantissa = pattern & 0x007FFFFFu;
    if (allExponentBits && mantissa && !quietBit)
        return 0;
    return std::bit_cast<float>(pattern);
}

QString resistanceText(long double resistance, int rangeIndex, const QLocale &locale)
{
    QString text = fixedText(resistance, rangeIndex + 1);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

ResistanceDecoding DecodeResistancePacket(ResistancePacketBytes packet, int rangeIndex,
                                          const QLocale &locale)
{
    ResistanceDecoding out;
    out.Resistance = resistanceValue(packet);
    out.text = resistanceText(out.Resistance, rangeIndex, locale);
    return out;
}
