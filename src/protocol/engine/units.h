#pragma once

// The one conversion between millimetres, layout pixels and device pixels.
// Layout pixels are the page designer's unit: 96 per inch at zoom 100, so 76 px = 20.1 mm.
namespace Units {

inline constexpr double MmPerInch = 25.4;
inline constexpr double LayoutDpi = 96.0;

constexpr double devicePerMm(double dpi) { return dpi / MmPerInch; }
constexpr double mmToDevice(double mm, double dpi) { return mm * devicePerMm(dpi); }
constexpr double deviceToMm(double device, double dpi) { return device / devicePerMm(dpi); }
constexpr double layoutPxToMm(double px) { return deviceToMm(px, LayoutDpi); }
constexpr double mmToLayoutPx(double mm) { return mmToDevice(mm, LayoutDpi); }
// Type points (1/72 inch), for font sizes.
constexpr double pointsToMm(double pt) { return pt * MmPerInch / 72.0; }

} // namespace Units
