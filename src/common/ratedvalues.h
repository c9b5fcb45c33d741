#pragma once

#include <cstdint>

// Rated data of the transformer under test, converted from the rated texts.
struct RatedValues {
    long double RatedPower = 0;      // kVA
    long double RatedVoltageHV = 0;  // V
    long double RatedCurrentHV = 0;  // A
    long double RatedVoltageLV = 0;  // V
    long double RatedCurrentLV = 0;  // A
    long double WindingTemperature = 0; // °C
    std::uint8_t MaterialConstant = 0;  // 235 copper, 225 aluminium
};

inline constexpr std::uint8_t CopperConstant = 235;
inline constexpr std::uint8_t AluminiumConstant = 225;
