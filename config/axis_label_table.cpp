// The information panel's axis label table, rebuilt from the controller's axis letters.
#include "config/axis_label_table.h"

#include <cstdio>

#include "config/controller_file.h"

namespace mirexa {

AxisLabelTableRecord AxisLabelTable;

namespace {

// One label: a tab, the letter and the marker text, cut to the label's size.
void SetLabel(char* out, char letter, const char* marker) {
    std::snprintf(out, kAxisLabelSize, "\t%c%s", letter, marker);
}

}  // namespace

void BuildAxisLabelTable(const char letters[5][3], int dialectNumber, AxisLabelTableRecord* out) {
    *out = AxisLabelTableRecord{};
    const char x = letters[0][1], y = letters[1][1], z = letters[2][1];
    const char a = letters[3][1], b = letters[4][1];
    // Rows 0 to 5: the letters with the row's marker on X, Y, Z (rows 1 on all five).
    static const char* const kLinearMarkers[6] = {"", "m", "mt", "(t)", "(w)", "(r)"};
    for (int row = 0; row < 6; ++row) {
        const char* rotaryMarker = row == 1 || row == 2 ? "m" : "";
        SetLabel(out->labels[row][0], x, kLinearMarkers[row]);
        SetLabel(out->labels[row][1], y, kLinearMarkers[row]);
        SetLabel(out->labels[row][2], z, kLinearMarkers[row]);
        SetLabel(out->labels[row][3], a, rotaryMarker);
        SetLabel(out->labels[row][4], b, rotaryMarker);
    }
    // Row 6: polar interpolation.
    SetLabel(out->labels[6][0], x, "(p)");
    SetLabel(out->labels[6][1], dialectNumber == 1 ? 'Y' : 'C', "(p)");
    SetLabel(out->labels[6][2], z, "");
    SetLabel(out->labels[6][3], a, "");
    SetLabel(out->labels[6][4], '-', "");
    // Rows 7 and 8: cylindrical interpolation, the angle as C.
    SetLabel(out->labels[7][0], 'C', "(c)");
    SetLabel(out->labels[7][1], x, "");
    SetLabel(out->labels[8][0], x, "");
    SetLabel(out->labels[8][1], 'C', "(c)");
    for (int row = 7; row < 9; ++row) {
        SetLabel(out->labels[row][2], z, "(c)");
        SetLabel(out->labels[row][3], a, "");
        SetLabel(out->labels[row][4], '-', "");
    }
}

void InitAxisLabelTable() {
    BuildAxisLabelTable(Controller.axes.labels, Controller.dialect.number, &AxisLabelTable);
}

}  // namespace mirexa
