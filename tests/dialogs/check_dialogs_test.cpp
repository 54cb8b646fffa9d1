// The interference check dialogs: each button stores its row's own value, OK stores exactly the
// choices shown and recomputes the pause flag, Cancel changes nothing.
#include "dialogs/check_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "config/config_records.h"
#include "platform/dialogs.h"
#include "resources/dialog_templates.h"

namespace mirexa {
namespace {

class CheckDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Checks;
        Checks = CheckSettings{};
    }
    void TearDown() override {
        SetDialogResponder({});
        Checks = saved_;
    }
    // Clicks the buttons in order, then the closing button.
    static void Click(std::vector<int> ids, int closing) {
        SetDialogResponder([ids, closing](WindowHandle dialog, int, int round) {
            if (round > 0) {
                return 0;
            }
            for (int id : ids) {
                ClickDlgItem(dialog, id);
            }
            ClickDlgItem(dialog, closing);
            return 1;
        });
    }

private:
    CheckSettings saved_;
};

std::string Bytes(const CheckSettings& checks) {
    return std::string(reinterpret_cast<const char*>(&checks), sizeof checks);
}

TEST_F(CheckDialogsTest, EachCuttingCheckButtonStoresItsRowsValue) {
    struct Case {
        int button;
        std::int32_t CheckSettings::*setting;
        int value;
        int pauses;
    } cases[] = {
        {1346, &CheckSettings::interference, 2, 1},   {1339, &CheckSettings::interference, 1, 0},
        {1354, &CheckSettings::arborCheck, 4, 1},     {1343, &CheckSettings::arborCheck, 1, 0},
        {1342, &CheckSettings::arborCheck, 2, 0},     {1355, &CheckSettings::heightCheck, 3, 1},
        {1348, &CheckSettings::heightCheck, 1, 0},    {1356, &CheckSettings::chipWidthCheck, 3, 1},
        {1351, &CheckSettings::chipWidthCheck, 0, 0},
    };
    for (const Case& c : cases) {
        Checks = CheckSettings{};
        Checks.interference = 0;
        CheckSettings expected = Checks;
        expected.*c.setting = c.value;
        expected.pauseOnEvents = c.pauses;
        Click({c.button}, IDOK);
        EXPECT_EQ(OpenInterferenceCheckDialog(), 1);
        EXPECT_EQ(Bytes(Checks), Bytes(expected)) << c.button;
    }
}

TEST_F(CheckDialogsTest, TheStructureDialogStoresEveryPairItShowsAndCancelNothing) {
    // Pair p gets the value p % 3 through its own buttons (first + value).
    const int firsts[kStructurePairCount] = {1467, 1470, 1473, 1483, 1486, 1489, 1492, 1495, 1498,
                                             1501, 1534, 1537, 1540, 1543, 1546, 1549, 1552, 1555,
                                             1561, 1564, 1567, 1570, 1579, 1582, 1585};
    std::vector<int> clicks;
    CheckSettings expected = Checks;
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        clicks.push_back(firsts[pair] + (pair + 1) % 3);
        clicks.push_back(firsts[pair] + pair % 3);
        expected.structurePairs[pair] = pair % 3;
    }
    expected.pauseOnEvents = 1;
    const std::string before = Bytes(Checks);
    Click(clicks, IDCANCEL);
    EXPECT_EQ(OpenStructureInterferenceDialog(), 0);
    EXPECT_EQ(Bytes(Checks), before);
    Click({1346, 1354}, IDCANCEL);
    EXPECT_EQ(OpenInterferenceCheckDialog(), 0);
    EXPECT_EQ(Bytes(Checks), before);

    Click(clicks, IDOK);
    EXPECT_EQ(OpenStructureInterferenceDialog(), 1);
    EXPECT_EQ(Bytes(Checks), Bytes(expected));
}

}  // namespace
}  // namespace mirexa
