#pragma once

#include <QString>

#include <array>
#include <optional>

// What the norms need beyond the measured results. Every value is optional: a check whose
// input is missing says so instead of guessing it.

// How the oil is kept from the air: the water limits differ.
enum class OilProtection { Unknown, Sealed, Open };

// From the type's nameplate, kept with the type in the catalogue.
struct TypeDeclared {
    std::optional<double> p0;      // no-load losses, W
    std::optional<double> pk;      // load losses at 75 °C, W
    std::optional<double> i0;      // no-load current, %
    std::optional<double> uk;      // short-circuit voltage, %
    std::optional<double> tapStep; // voltage step between tap positions, %
    OilProtection oilProtection = OilProtection::Unknown;

    bool operator==(const TypeDeclared &) const = default;
};

inline constexpr int ResistanceTaps = 6; // I .. V and the LV winding, as ResistenceGrid
inline constexpr int RatioTaps = 5;      // I .. V, as TransformGrid
inline constexpr int Phases = 3;         // AB, BC, CA (ResistenceGrid rows: AB, CA, BC)
inline constexpr int InsulationGaps = 3; // ВН-К, НН-К, ВН-НН
// The principal tap position (III), whose ratio is the nameplate's Uвн / Uнн.
inline constexpr int PrincipalTap = 2;

// From the factory's test report of one transformer, kept by its serial number.
struct SerialDeclared {
    // [tap][row] in the rows of ResistenceGrid, ohm, at resistanceTemperature.
    std::array<std::array<std::optional<double>, Phases>, ResistanceTaps> resistance{};
    std::optional<double> resistanceTemperature;
    // [tap][row] in the rows of TransformGrid (AB, BC, CA).
    std::array<std::array<std::optional<double>, Phases>, RatioTaps> ratio{};
    // R60 of ВН-К, НН-К, ВН-НН, MΩ, at r60Temperature.
    std::array<std::optional<double>, InsulationGaps> r60{};
    std::optional<double> r60Temperature;

    bool operator==(const SerialDeclared &) const = default;
};

enum class OilState { Unknown, BeforeFilling, InService };

// Of this test, beside what the main window holds.
struct TestDeclared {
    std::optional<double> insulationTemperature; // °C when the insulation was measured
    OilState oil = OilState::Unknown;
    // The protection this unit has when it differs from its type's (a sealed tank refitted
    // with a conservator); Unknown: as the type declares.
    OilProtection oilProtection = OilProtection::Unknown;

    bool operator==(const TestDeclared &) const = default;
};
