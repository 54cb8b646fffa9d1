// The axis labels of the information panel: nine rows of five labels built from the controller's
// axis letters whenever the machine file is read, one row for each way of showing the position.
#pragma once

namespace mirexa {

inline constexpr int kAxisLabelRows = 9;
inline constexpr int kAxisLabelColumns = 5;
inline constexpr int kAxisLabelSize = 6;  // a tab, a letter, up to three markers, the NUL

// Rows: 0 normal; 1 machine position of the control point ("m"); 2 machine position of the tool
// point ("mt" on X, Y, Z); 3 tool-tip control ("(t)" on X, Y, Z); 4 tilted work plane ("(w)");
// 5 coordinate rotation ("(r)"); 6 polar interpolation (X(p), then Y(p) in the OSP dialect and
// C(p) otherwise, Z, rotary 1, "-"); 7 cylindrical interpolation in a plane of code magnitude 18
// (C(c), X, Z(c), rotary 1, "-"); 8 cylindrical interpolation in the other planes (X, C(c), Z(c),
// rotary 1, "-"). Columns: X, Y, Z, rotary 1, rotary 2.
struct AxisLabelTableRecord {
    char labels[kAxisLabelRows][kAxisLabelColumns][kAxisLabelSize] = {};
};
extern AxisLabelTableRecord AxisLabelTable;

// Builds the table from the five axis label strings (a tab, the letter, a NUL, for X, Y, Z,
// rotary 1, rotary 2) and the dialect number (1 OSP).
void BuildAxisLabelTable(const char letters[5][3], int dialectNumber, AxisLabelTableRecord* out);

// AxisLabelTable from the controller's label strings and dialect.
void InitAxisLabelTable();

}  // namespace mirexa
