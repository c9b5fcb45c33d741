#include "crc8.h"

#include <array>

namespace {

constexpr std::array<std::uint8_t, 256> makeTable()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t reg = std::uint8_t(i);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80) ? std::uint8_t((reg << 1) ^ 0x31) : std::uint8_t(reg << 1);
        table[std::size_t(i)] = reg;
    }
    return table;
}

constexpr auto Table = makeTable();
static_assert(Table[0x01] == 0x31 && Table[0x02] == 0x62 && Table[0x10] == 0x43
              && Table[0x80] == 0x7A && Table[0xFF] == 0xAC);

} // namespace

std::uint8_t CRC8(const std::uint8_t *data, std::uint8_t length)
{
    std::uint8_t reg = 0xFF;
    for (std::uint8_t i = 0; i < length; ++i)
        reg = Table[reg ^ data[i]];
    return reg;
}
