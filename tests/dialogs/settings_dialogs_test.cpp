// The settings dialogs driven as a user would: OK stores exactly what was changed, Cancel
// nothing; the pitch and expand rate refuse what the program cannot use; the display levels
// survive an unchanged OK; the block skip and movie rules.
#include "dialogs/settings_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "dialogs/stock_dialogs.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "stock/stock_hooks.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

class SettingsDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPitch_ = DexelPitch;
        savedStock_ = InitialStock;
        ResetConfigurationRecords();
        ResetSettingsDialogs();
        OptionalBlockSkipFlags = OptionalBlockSkipSwitches{};
        DexelPitch = DexelPitchSettings{};
        const double box[6] = {0, 0, 0, 100, 100, 50};
        std::memcpy(InitialStock.box, box, sizeof box);
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            warnings.push_back(request.text);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        SetDialogResponder({});
        SetMessageBoxResponder({});
        StockCallbacks.availableMemoryBytes = nullptr;
        DexelPitch = savedPitch_;
        InitialStock = savedStock_;
        ResetConfigurationRecords();
        ResetSettingsDialogs();
        OptionalBlockSkipFlags = OptionalBlockSkipSwitches{};
    }
    // Runs the dialog's first round with the script, then clicks the button (OK or Cancel);
    // a refused OK is followed by Cancel in the next round.
    int Run(const std::function<int(WindowHandle)>& open, int templateId,
            const std::function<void(WindowHandle)>& script, int button) {
        SetDialogResponder([&](WindowHandle dialog, int id, int round) {
            if (id != templateId) {
                return 0;
            }
            if (round == 0) {
                script(dialog);
                testing::DispatchPendingMessages();
                ClickDlgItem(dialog, button);
                return 1;
            }
            ClickDlgItem(dialog, IDCANCEL);
            return 1;
        });
        return open(nullptr);
    }
    std::vector<std::string> warnings;

private:
    DexelPitchSettings savedPitch_;
    StockDefinition savedStock_;
};

// Every record the settings dialogs may write, as bytes.
std::string SnapshotSettings() {
    std::string bytes;
    auto add = [&](const void* data, std::size_t size) {
        bytes.append(static_cast<const char*>(data), size);
    };
    add(&ResizeOptions, sizeof ResizeOptions);
    add(&DexelPitch, sizeof DexelPitch);
    add(&OptionalBlockSkipFlags, sizeof OptionalBlockSkipFlags);
    add(&DisplayModes, sizeof DisplayModes);
    add(&Settings.expandRate, sizeof Settings.expandRate);
    add(&Settings.weldingHeight, sizeof(float) * 8);
    add(&Settings.saveDisplay, sizeof(std::int32_t) * 6);
    add(&Settings.showCommandPanel, sizeof(std::int32_t) * 2);
    add(Settings.recordTriggers, sizeof Settings.recordTriggers);
    add(&Settings.recordTriggerCount, sizeof(std::int32_t) * 3);
    return bytes;
}

struct DialogCase {
    const char* name;
    int templateId;
    int (*open)(WindowHandle);
    std::vector<int> clicks;
    std::vector<std::pair<int, const char*>> typed;
    std::function<bool()> stored;  // what OK must have stored
};

std::vector<DialogCase> DialogCases() {
    return {
        {"resize",
         IDD_RESIZE_SETTINGS,
         OpenResizeSettingsDialog,
         {128, 131},
         {},
         [] { return ResizeOptions.moveOnResize == 0 && ResizeOptions.moveOnMove == 0; }},
        {"tool parameters",
         IDD_TOOL_PARAMETERS,
         OpenToolParameterDialog,
         {},
         {{129, "2.5"}, {136, "7"}},
         [] { return Settings.weldingHeight == 2.5f && Settings.heraWidth == 7.0f; }},
        {"pitch",
         IDD_PITCH,
         OpenPitchDialog,
         {},
         {{140, "2"}, {141, "0.5"}},
         [] { return DexelPitch.requestedPitch == 2.0 && DexelPitch.secondPitch == 0.5; }},
        {"expand rate",
         IDD_EXPAND_RATE,
         OpenExpandRateDialog,
         {},
         {{164, "2.5"}},
         [] { return Settings.expandRate == 2.5; }},
        {"initial condition",
         IDD_INITIAL_CONDITION,
         OpenInitialConditionDialog,
         {210, 212},
         {},
         [] { return Settings.showCommandPanel == 1 && Settings.saveBackground == 0; }},
        {"block skip",
         IDD_OPTIONAL_BLOCK_SKIP,
         OpenOptionalBlockSkipDialog,
         {1173},
         {},
         [] {
             return OptionalBlockSkipFlags.on[5] == 1 && OptionalBlockSkipFlags.anyOn == 1 &&
                    OptionalBlockSkipFlags.on[4] == 0;
         }},
        {"display modes",
         IDD_DISPLAY_MODE,
         OpenDisplayModeDialog,
         {1394, 1398},
         {},
         [] { return DisplayModes.workMode == 2 && DisplayModes.toolMode == 2; }},
        {"movie",
         IDD_MOVIE_SETTINGS,
         OpenMovieSettingsDialog,
         {1405, 1406, 1411},
         {},
         [] {
             return Settings.recordTriggers[1] == 1 && Settings.recordTriggers[2] == 1 &&
                    Settings.recordTriggerCount == 2 && Settings.videoNameMode == 1;
         }},
    };
}

TEST_F(SettingsDialogsTest, OkStoresTheWorkingCopiesAndCancelNothing) {
    for (const DialogCase& c : DialogCases()) {
        SCOPED_TRACE(c.name);
        auto script = [&](WindowHandle dialog) {
            for (int id : c.clicks) {
                EXPECT_EQ(ClickDlgItem(dialog, id), 1) << id;
                testing::DispatchPendingMessages();
            }
            for (const auto& [id, text] : c.typed) {
                TypeDlgItemText(dialog, id, text);
            }
        };
        const std::string before = SnapshotSettings();
        EXPECT_EQ(Run(c.open, c.templateId, script, IDCANCEL), 0);
        EXPECT_EQ(SnapshotSettings(), before);
        EXPECT_EQ(Run(c.open, c.templateId, script, IDOK), 1);
        EXPECT_TRUE(c.stored());
        EXPECT_TRUE(warnings.empty());
    }
}

TEST_F(SettingsDialogsTest, PitchAndExpandRateRefuseWhatTheViewAndTheGridCannotTake) {
    const struct {
        const char* name;
        int templateId;
        int (*open)(WindowHandle);
        int field;
        const char* typed;
        std::uint64_t memory;  // bytes available; 0 unknown
    } cases[] = {
        {"pitch 0", IDD_PITCH, OpenPitchDialog, 140, "0", 0},
        {"pitch -1", IDD_PITCH, OpenPitchDialog, 140, "-1", 0},
        {"grid too large", IDD_PITCH, OpenPitchDialog, 140, "0.001", 1u << 30},
        {"rate 0", IDD_EXPAND_RATE, OpenExpandRateDialog, 164, "0", 0},
        {"rate -2", IDD_EXPAND_RATE, OpenExpandRateDialog, 164, "-2", 0},
    };
    static std::uint64_t available = 0;
    StockCallbacks.availableMemoryBytes = [] { return available; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        available = c.memory;
        warnings.clear();
        const std::string before = SnapshotSettings();
        EXPECT_EQ(
            Run(
                c.open, c.templateId,
                [&](WindowHandle dialog) { TypeDlgItemText(dialog, c.field, c.typed); }, IDOK),
            0);
        EXPECT_EQ(SnapshotSettings(), before);
        ASSERT_EQ(warnings.size(), 1u);
    }
    // The same grid fits at a coarser pitch.
    available = 1u << 30;
    EXPECT_EQ(PitchGridFitsMemory(0.001), 0);
    EXPECT_EQ(PitchGridFitsMemory(1.0), 1);
    EXPECT_EQ(PitchGridFitsMemory(0.0), 0);
}

TEST_F(SettingsDialogsTest, TheMovePitchFollowsTheRateWhileItIsAutomatic) {
    DexelPitch.secondPitchAutomatic = 1;
    DexelPitch.requestedPitch = 0.2;
    std::string shown;
    std::vector<int> enabled;
    Run(
        OpenPitchDialog, IDD_PITCH,
        [&](WindowHandle dialog) {
            TypeDlgItemText(dialog, 1174, "0.5");
            shown = GetDlgItemText(dialog, 141);
            for (int id : {140, 1172, 142, 141, 1174}) {
                enabled.push_back(IsDlgItemEnabled(dialog, id));
            }
        },
        IDCANCEL);
    EXPECT_EQ(shown, "0.100");
    EXPECT_EQ(enabled, (std::vector<int>{1, 0, 0, 0, 1}));
}

// A count takes no fraction: "0.25" in the size limit is refused, not read as 0, and the
// refusal names the field by its label in either language.
TEST_F(SettingsDialogsTest, TheSizeLimitRefusesAFractionAndTheRefusalNamesTheField) {
    DexelPitch.automatic = 1;  // the limit is typed only for the automatic pitch
    const DexelPitchSettings before = DexelPitch;
    for (int language : {0, 1}) {
        UiLanguage.store(language);
        warnings.clear();
        EXPECT_EQ(Run(
                      OpenPitchDialog, IDD_PITCH,
                      [](WindowHandle dialog) { TypeDlgItemText(dialog, 1172, "0.25"); }, IDOK),
                  0);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find(language == 1 ? "\"Maximum\" does not hold a whole number"
                                                 : "「最大」が整数ではありません"),
                  std::string::npos)
            << warnings[0];
    }
    UiLanguage.store(0);
    EXPECT_EQ(DexelPitch.sizeLimit, before.sizeLimit);
}

TEST_F(SettingsDialogsTest, TransparencyIsOfferedForTheWorkOnlyBetweenClearAndOpaque) {
    DisplayModes.workAlpha = 1.0f;
    DisplayModes.workMode = 1;
    // {semi enabled, on checked, semi checked} at opening, at level 5 after choosing
    // Transparency, and back at level 10.
    std::vector<unsigned> seen;
    auto look = [&](WindowHandle dialog) {
        seen.push_back(static_cast<unsigned>(IsDlgItemEnabled(dialog, 1394)));
        seen.push_back(IsDlgButtonChecked(dialog, 1390));
        seen.push_back(IsDlgButtonChecked(dialog, 1394));
    };
    EXPECT_EQ(Run(
                  OpenDisplayModeDialog, IDD_DISPLAY_MODE,
                  [&](WindowHandle dialog) {
                      look(dialog);
                      ScrollDlgItem(dialog, 1395, SB_THUMBPOSITION, 5);
                      testing::DispatchPendingMessages();
                      ClickDlgItem(dialog, 1394);
                      testing::DispatchPendingMessages();
                      look(dialog);
                      ScrollDlgItem(dialog, 1395, SB_THUMBPOSITION, 10);
                      testing::DispatchPendingMessages();
                      look(dialog);
                  },
                  IDOK),
              1);
    EXPECT_EQ(seen, (std::vector<unsigned>{0, 1, 0, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(DisplayModes.workMode, 1);
}

TEST_F(SettingsDialogsTest, DisplayLevelsRoundAndSemiTransparentSettlesForWorkNotTool) {
    DisplayModes.workAlpha = 0.7f;
    DisplayModes.toolAlpha = 0.9f;
    DisplayModes.machineAlpha = 0.3f;
    const DisplayModeSettings before = DisplayModes;
    int levels[3] = {};
    EXPECT_EQ(Run(
                  OpenDisplayModeDialog, IDD_DISPLAY_MODE,
                  [&](WindowHandle dialog) {
                      levels[0] = GetDlgItemScrollPos(dialog, 1395);
                      levels[1] = GetDlgItemScrollPos(dialog, 1399);
                      levels[2] = GetDlgItemScrollPos(dialog, 1401);
                  },
                  IDOK),
              1);
    EXPECT_EQ(levels[0], 7);
    EXPECT_EQ(levels[1], 9);
    EXPECT_EQ(levels[2], 3);
    EXPECT_EQ(std::memcmp(&DisplayModes, &before, sizeof before), 0);
    // Level 10 and semi-transparent: the work shows on, the tool stays semi-transparent.
    EXPECT_EQ(Run(
                  OpenDisplayModeDialog, IDD_DISPLAY_MODE,
                  [](WindowHandle dialog) {
                      ClickDlgItem(dialog, 1394);
                      ClickDlgItem(dialog, 1398);
                      ScrollDlgItem(dialog, 1395, SB_THUMBPOSITION, 10);
                      ScrollDlgItem(dialog, 1399, SB_THUMBPOSITION, 10);
                      ScrollDlgItem(dialog, 1401, SB_PAGELEFT, 0);
                  },
                  IDOK),
              1);
    EXPECT_EQ(DisplayModes.workMode, 1);
    EXPECT_EQ(DisplayModes.workAlpha, 1.0f);
    EXPECT_EQ(DisplayModes.toolMode, 2);
    EXPECT_EQ(DisplayModes.toolAlpha, 1.0f);
    EXPECT_FLOAT_EQ(DisplayModes.machineAlpha, 0.2f);
}

TEST_F(SettingsDialogsTest, MovieTimingBoxesFollowUpdateAndOneBlock) {
    std::vector<int> afterUpdate, afterUntick, atOpen;
    Run(
        OpenMovieSettingsDialog, IDD_MOVIE_SETTINGS,
        [&](WindowHandle dialog) {
            auto enabled = [&](std::vector<int>* out) {
                for (int id : {1404, 1405, 1406}) {
                    out->push_back(IsDlgItemEnabled(dialog, id));
                }
            };
            ClickDlgItem(dialog, 1406);  // 1 Block: Tool Change greys
            ClickDlgItem(dialog, 1408);  // Update: all three grey
            testing::DispatchPendingMessages();
            enabled(&afterUpdate);
            ClickDlgItem(dialog, 1408);
            testing::DispatchPendingMessages();
            enabled(&afterUntick);
        },
        IDOK);
    EXPECT_EQ(afterUpdate, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(afterUntick, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Settings.recordTriggerCount, 1);
    // Opened again with 1 Block on: Tool Change starts greyed.
    Run(
        OpenMovieSettingsDialog, IDD_MOVIE_SETTINGS,
        [&](WindowHandle dialog) {
            for (int id : {1404, 1405, 1406}) {
                atOpen.push_back(IsDlgItemEnabled(dialog, id));
            }
        },
        IDCANCEL);
    EXPECT_EQ(atOpen, (std::vector<int>{0, 1, 1}));
}

TEST_F(SettingsDialogsTest, TheStockDialogsDetailButtonSetsThePitchBeforeTheStock) {
    std::string shown;
    SetDialogResponder([&](WindowHandle dialog, int id, int round) {
        if (id == IDD_PITCH && round == 0) {
            TypeDlgItemText(dialog, 140, "0.5");
            ClickDlgItem(dialog, IDOK);
            return 1;
        }
        if (id == IDD_STOCK_TWO_POINT && round == 0) {
            ClickDlgItem(dialog, 1358);
            return 1;
        }
        if (id == IDD_STOCK_TWO_POINT) {
            shown = GetDlgItemText(dialog, 140);
            ClickDlgItem(dialog, IDCANCEL);
            return 1;
        }
        return 0;
    });
    StockBoxChoice choice;
    EXPECT_EQ(OpenTwoPointStockDialog(&choice), 0);
    EXPECT_EQ(shown, "0.500");
    EXPECT_EQ(DexelPitch.requestedPitch, 0.5);
}

TEST(VersionFigures, MemoryIsShownInKilobytesWithSeparators) {
    EXPECT_EQ(FormatStockMemoryKb(1536000), "1,500");
    EXPECT_EQ(FormatStockMemoryKb(0), "undefined ");
    EXPECT_EQ(FormatMemoryKb(16000000.0), "16,000,000");
    EXPECT_EQ(FormatMemoryKb(8.5e12), "8,500,000,000,000");  // beyond 32 bits
    EXPECT_EQ(FormatMemoryKb(-1.0), "-");
}

}  // namespace
}  // namespace mirexa
