// The interpreter's view of the configuration: values taken from the settings and tool tables,
// and tools found by name.
#include "nc/nc_controller_view.h"

#include <gtest/gtest.h>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

class NcControllerViewTest : public ::testing::Test {
protected:
    void TearDown() override {
        FreeToolTables();
        Settings = {};
        RunSession.controller = {};
    }
};

TEST_F(NcControllerViewTest, ToolsAreFoundByTheirExactName) {
    ASSERT_EQ(AllocToolTables(6), 1);
    ToolTableSet.tools[2].name = "DRILL";  // not present: never found
    ToolTableSet.tools[3] = {};
    ToolTableSet.tools[3].present = 1;
    ToolTableSet.tools[3].name = "DRILL";
    ToolTableSet.tools[5].present = 1;
    ToolTableSet.tools[5].name = "DRILL 6";
    EXPECT_EQ(FindToolByName("DRILL", 5), 3);
    EXPECT_EQ(FindToolByName("DRILL 6MM", 7), 5);
    EXPECT_EQ(FindToolByName("DRIL", 4), 0);
    EXPECT_EQ(FindToolByName("", 0), 0);
    EXPECT_EQ(FindToolByName("DRILL", -1), 0);
    FreeToolTables();
    EXPECT_EQ(FindToolByName("DRILL", 5), 0);
}

TEST_F(NcControllerViewTest, RefreshTakesTheSettingsAndTheMagazine) {
    Settings.toolBasePoint = 4;
    Settings.maxMagazine = 30;
    RefreshNcControllerView(RunSession);
    EXPECT_EQ(RunSession.controller.toolBasePoint, 4);
    EXPECT_EQ(RunSession.controller.magazineCount, 30);
    ASSERT_EQ(AllocToolTables(12), 1);
    RefreshNcControllerView(RunSession);
    EXPECT_EQ(RunSession.controller.magazineCount, 12);
}

}  // namespace
}  // namespace mirexa
