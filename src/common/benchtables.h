#pragma once

// Sizes the window's controls, the state file, the range tables and the tests must agree
// on; each is stated here once.
inline constexpr int CurrentTransformerItemCount = 10; // cbCurrent
inline constexpr int VoltageTransformerItemCount = 3;  // cbVoltage

inline constexpr int TransformGridColumns = 12;
inline constexpr int TransformGridRows = 3;
inline constexpr int TransformGrid1Columns = 4;
inline constexpr int TransformGrid1Rows = 3;
inline constexpr int ResistenceGridColumns = 7;
inline constexpr int ResistenceGridRows = 4;
