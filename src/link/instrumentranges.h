#pragma once

#include <QStringList>

#include <cstdint>
#include <optional>

// Ratio and display decimals of the instrument transformers in use. All zero until the
// two range lists have been applied once; the decoder then reads zero currents, powers
// and second-channel voltages, which is what an unknown range should show.
struct InstrumentScaling {
    std::uint8_t CurrentRatio = 0;
    std::uint8_t CurrentDigits = 0;
    std::uint16_t VoltageRatio = 0;
    std::uint8_t VoltageDigits = 0;
};

struct CurrentRange {
    std::uint8_t ratio;
    std::uint8_t digits;
};

struct VoltageRange {
    std::uint16_t ratio;
    std::uint8_t digits;
};

// Item texts of the two drop-down lists, in item order.
QStringList currentTransformerItems();
QStringList voltageTransformerItems();

// The row of an item index; nothing for an index outside the list (no item selected).
std::optional<CurrentRange> currentRangeAt(int itemIndex);
std::optional<VoltageRange> voltageRangeAt(int itemIndex);

// What the change handlers of `cbCurrent` and `cbVoltage` do: set the pair of the
// selected row, or leave both values as they are when the index matches no row.
void applyCurrentRange(InstrumentScaling &scaling, int itemIndex);
void applyVoltageRange(InstrumentScaling &scaling, int itemIndex);
