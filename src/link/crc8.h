#pragma once

#include <cstdint>

// CRC-8 with polynomial 0x31, register starting at 0xFF, most significant bit first,
// no reflection and no final XOR: the checksum of both packet kinds and of the
// calibration frame. `length` is a byte count, as the bench's frames never exceed 255.
std::uint8_t CRC8(const std::uint8_t *data, std::uint8_t length);
