#include "instrumentranges.h"

#include "benchtables.h"

#include <array>

namespace {

struct CurrentRow {
    const char *text;
    CurrentRange range;
};

struct VoltageRow {
    const char *text;
    VoltageRange range;
};

constexpr std::array<CurrentRow, CurrentTransformerItemCount> CurrentRows{{
    {"Не используется", {1, 3}},
    {"15А/5А", {3, 2}},
    {"50А/5А", {10, 2}},
    {"100А/5А", {20, 1}},
    {"150А/5А", {30, 1}},
    {"200А/5А", {40, 1}},
    {"250А/5А", {50, 0}},
    {"300А/5А", {60, 0}},
    {"350А/5А", {70, 0}},
    {"400А/5А", {80, 0}},
}};

constexpr std::array<VoltageRow, VoltageTransformerItemCount> VoltageRows{{
    {"Не используется", {1, 2}},
    {"10кВ/100В", {100, 0}},
    {"35кВ/100В", {350, 0}},
}};

// A list made longer than its rows would end in rows without a text.
static_assert(CurrentRows.back().text && VoltageRows.back().text);

template <typename Rows>
QStringList itemTexts(const Rows &rows)
{
    QStringList texts;
    for (const auto &row : rows)
        texts << QString::fromUtf8(row.text);
    return texts;
}

template <typename Rows>
auto rangeAt(const Rows &rows, int itemIndex) -> std::optional<decltype(rows[0].range)>
{
    if (itemIndex < 0 || std::size_t(itemIndex) >= rows.size())
        return std::nullopt;
    return rows[std::size_t(itemIndex)].range;
}

} // namespace

QStringList currentTransformerItems()
{
    return itemTexts(CurrentRows);
}

QStringList voltageTransformerItems()
{
    return itemTexts(VoltageRows);
}

std::optional<CurrentRange> currentRangeAt(int itemIndex)
{
    return rangeAt(CurrentRows, itemIndex);
}

std::optional<VoltageRange> voltageRangeAt(int itemIndex)
{
    return rangeAt(VoltageRows, itemIndex);
}

void applyCurrentRange(InstrumentScaling &scaling, int itemIndex)
{
    if (const auto range = currentRangeAt(itemIndex)) {
        scaling.CurrentRatio = range->ratio;
        scaling.CurrentDigits = range->digits;
    }
}

void applyVoltageRange(InstrumentScaling &scaling, int itemIndex)
{
    if (const auto range = voltageRangeAt(itemIndex)) {
        scaling.VoltageRatio = range->ratio;
        scaling.VoltageDigits = range->digits;
    }
}
