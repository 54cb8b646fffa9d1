// The axis label table: every row's labels for a renamed five-axis controller, and the one label
// that follows the OSP dialect.
#include "config/axis_label_table.h"

#include <gtest/gtest.h>

#include <string>

namespace mirexa {
namespace {

TEST(AxisLabelTable, RowsCarryTheirMarkersOnTheControllersLetters) {
    // X renamed U; rotary axes A and C.
    const char letters[5][3] = {
        {'\t', 'U', 0}, {'\t', 'Y', 0}, {'\t', 'Z', 0}, {'\t', 'A', 0}, {'\t', 'C', 0}};
    AxisLabelTableRecord table;
    BuildAxisLabelTable(letters, 0, &table);
    const char* const expected[kAxisLabelRows][kAxisLabelColumns] = {
        {"U", "Y", "Z", "A", "C"},          {"Um", "Ym", "Zm", "Am", "Cm"},
        {"Umt", "Ymt", "Zmt", "Am", "Cm"},  {"U(t)", "Y(t)", "Z(t)", "A", "C"},
        {"U(w)", "Y(w)", "Z(w)", "A", "C"}, {"U(r)", "Y(r)", "Z(r)", "A", "C"},
        {"U(p)", "C(p)", "Z", "A", "-"},    {"C(c)", "U", "Z(c)", "A", "-"},
        {"U", "C(c)", "Z(c)", "A", "-"},
    };
    for (int row = 0; row < kAxisLabelRows; ++row) {
        for (int column = 0; column < kAxisLabelColumns; ++column) {
            EXPECT_EQ(std::string(table.labels[row][column]),
                      std::string("\t") + expected[row][column])
                << "row " << row << " column " << column;
        }
    }
    BuildAxisLabelTable(letters, 1, &table);
    EXPECT_STREQ(table.labels[6][1], "\tY(p)");
}

}  // namespace
}  // namespace mirexa
