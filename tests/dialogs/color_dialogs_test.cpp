// The colour and paint dialogs driven as a user would, with a scripted colour chooser: the edit
// copy becomes live only on OK, the machine's parts decide the colour rows, the peel pens, the
// chained discoloration bands and the pen check of difference painting.
#include "dialogs/color_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/structure_models.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

class ColorDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetConfigurationRecords();
        ResetColorDialogs();
        savedMachine_ = Machine;
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            warnings.push_back(request.text);
            return MBX_IDOK;
        });
        SetColorChooserResponder([](const ColorChooserRequest& request, std::uint32_t* chosen) {
            *chosen = request.initial ^ 0x00FF00u;
            return 1;
        });
    }
    void TearDown() override {
        SetDialogResponder({});
        SetMessageBoxResponder({});
        SetColorChooserResponder({});
        Machine = savedMachine_;
        ResetConfigurationRecords();
        ResetColorDialogs();
    }
    // One round of the dialog: the script, then the button; a refused OK is cancelled after.
    void Script(int templateId, const std::function<void(WindowHandle)>& script, int button) {
        SetDialogResponder([=](WindowHandle dialog, int id, int round) {
            if (id != templateId) {
                return 0;
            }
            if (round == 0) {
                script(dialog);
                testing::DispatchPendingMessages();
            }
            ClickDlgItem(dialog, round == 0 ? button : IDCANCEL);
            return 1;
        });
    }
    std::vector<std::string> warnings;

private:
    MachineDefinition savedMachine_;
};

TEST_F(ColorDialogsTest, ChosenColoursBecomeLiveOnlyOnOk) {
    LiveColors.work = 0x102030;
    LiveColors.pens[3] = 0x405060;
    for (int button : {IDCANCEL, IDOK}) {
        std::uint32_t swatch = 0;
        Script(
            IDD_COLOR_SETTINGS,
            [&](WindowHandle dialog) {
                ClickDlgItem(dialog, 1023);  // work, by its button
                ClickDlgItem(dialog, 1032);  // pen 3, by its swatch
                ClickDlgItem(dialog, 1413);  // the tool top takes the pen colour
                testing::DispatchPendingMessages();
                GetDlgSwatchColor(dialog, 1027, &swatch);
            },
            button);
        EXPECT_EQ(OpenColorSettingsDialog(nullptr), button == IDOK ? 1 : 0);
        EXPECT_EQ(swatch, 0x10DF30u);  // the swatch shows the edit copy at once
        if (button == IDCANCEL) {
            EXPECT_EQ(LiveColors.work, 0x102030u);
            EXPECT_EQ(LiveColors.pens[3], 0x405060u);
            EXPECT_EQ(DisplayModes.toolTopColorMode, 1);
        }
    }
    EXPECT_EQ(LiveColors.work, 0x10DF30u);
    EXPECT_EQ(LiveColors.pens[3], 0x40AF60u);
    EXPECT_EQ(DisplayModes.toolTopColorMode, 0);
}

TEST_F(ColorDialogsTest, TheMachineDecidesWhichColourRowsAreThere) {
    // Rows: 24 head one-axis, 25 head two-axis, 26 head, 27 head 1, 28 head 2, 29 table
    // one-axis, 30 table, 31 table 1, 32 table 2.
    const struct {
        int rotaryType;
        int carried;
        std::vector<int> removed;
    } cases[] = {
        {1, 0, {29, 30, 31, 32}},
        {2, 3, {24, 25, 26, 27, 28}},
        {3, 1, {25, 28, 32, 29}},
        {0, 2, {24, 25}},
    };
    for (const auto& c : cases) {
        Machine.rotaryType = c.rotaryType;
        Machine.tableCarriedCount = c.carried;
        const ColorPartAvailability parts = ComputeColorPartAvailability();
        std::vector<int> removed;
        for (int row : {24, 25, 26, 27, 28, 29, 30, 31, 32}) {
            if (parts.removed[row]) {
                removed.push_back(row);
            }
        }
        std::vector<int> expected = c.removed;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(removed, expected) << c.rotaryType << " " << c.carried;
        // Nothing is loaded: every part left is greyed.
        EXPECT_EQ(parts.disabled[33], 1);
    }
}

TEST_F(ColorDialogsTest, PeelPensGiveAllPensOnlyWhenAllFifteenAreTicked) {
    const int boxes[15] = {1020, 1021, 1022, 1047, 1044, 1045, 1046, 1068,
                           1070, 1072, 1074, 1076, 1078, 1080, 1084};
    for (int ticked : {15, 14}) {
        Script(
            IDD_PEEL_PEN_COLOR,
            [&](WindowHandle dialog) {
                for (int i = 0; i < ticked; ++i) {
                    ClickDlgItem(dialog, boxes[i]);
                }
            },
            IDOK);
        PeelPenChoice choice{1, 0xFFFF};
        EXPECT_EQ(OpenPeelPenDialog(&choice), 1);
        EXPECT_EQ(choice.all, ticked == 15 ? 1 : 0);
        EXPECT_EQ(choice.pens, ticked == 15 ? 0xFFFE : 0x7FFE);
    }
    // Cancelled: the choice was cleared at opening all the same.
    Script(
        IDD_PEEL_PEN_COLOR, [](WindowHandle dialog) { ClickDlgItem(dialog, 1024); }, IDCANCEL);
    PeelPenChoice choice{1, 0xFFFF};
    EXPECT_EQ(OpenPeelPenDialog(&choice), 0);
    EXPECT_EQ(choice.all, 0);
    EXPECT_EQ(choice.pens, 0);
}

TEST_F(ColorDialogsTest, DiscolorationBandsChainAndCount) {
    // Band 3 before band 2 does nothing; band 1 cannot go off under band 2.
    const struct {
        std::vector<int> clicks;
        int count;
    } cases[] = {
        {{1023}, 0},
        {{1017, 1023}, 1},
        {{1017, 1020, 1017}, 2},
        {{1017, 1020, 1023}, 3},
    };
    for (const auto& c : cases) {
        DiscolorationRegions = DiscolorationBands{};
        Script(
            IDD_DISCOLORATION_REGION,
            [&](WindowHandle dialog) {
                for (int id : c.clicks) {
                    ClickDlgItem(dialog, id);
                    testing::DispatchPendingMessages();
                }
                TypeDlgItemText(dialog, 1018, "12.5");
            },
            IDOK);
        EXPECT_EQ(OpenDiscolorationDialog(nullptr), 1);
        EXPECT_EQ(DiscolorationRegions.count, c.count);
        EXPECT_EQ(DiscolorationRegions.upper[0], c.count > 0 ? 12.5f : 0.0f);
    }
}

TEST_F(ColorDialogsTest, DiscolorationBandsReadInTheSessionsLanguage) {
    // Each band's check box: its own text, English (ASCII) in an English session and Japanese in
    // a Japanese one, as the first band's.
    for (int english : {1, 0}) {
        UiLanguage.store(english);
        std::vector<std::string> texts;
        Script(
            IDD_DISCOLORATION_REGION,
            [&](WindowHandle dialog) {
                for (int id : {1017, 1020, 1023}) {
                    texts.push_back(GetDlgItemText(dialog, id));
                }
            },
            IDCANCEL);
        OpenDiscolorationDialog(nullptr);
        ASSERT_EQ(texts.size(), 3u);
        for (const std::string& text : texts) {
            const bool ascii =
                std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
            EXPECT_EQ(ascii, english == 1) << text;
        }
        EXPECT_NE(texts[1], texts[2]);
        EXPECT_NE(texts[1].find('2'), std::string::npos) << texts[1];
        EXPECT_NE(texts[2].find('3'), std::string::npos) << texts[2];
    }
    UiLanguage.store(0);
}

TEST_F(ColorDialogsTest, DifferencePenNumberIsCheckedOnlyForThePenKind) {
    const struct {
        const char* pen;
        int kindButton;
        int result;
        int storedPen;
    } cases[] = {
        {"16", 1360, 0, 1},
        {"0", 1360, 0, 1},
        {"15", 1360, 1, 15},
        {"", 1359, 1, 0},
    };
    for (const auto& c : cases) {
        Settings.difference = DifferencePaintChoices{};
        Settings.difference.penColor = 1;  // the pen field starts enabled
        warnings.clear();
        Script(
            IDD_PAINT_DIFFERENCE,
            [&](WindowHandle dialog) {
                TypeDlgItemText(dialog, 1361, c.pen);
                TypeDlgItemText(dialog, 1324, "0.25");
                ClickDlgItem(dialog, c.kindButton);
                ClickDlgItem(dialog, 1323);
            },
            IDOK);
        EXPECT_EQ(OpenDifferencePaintDialog(), c.result) << c.pen;
        EXPECT_EQ(Settings.difference.pen, c.storedPen) << c.pen;
        EXPECT_EQ(warnings.size(), c.result ? 0u : 1u) << c.pen;
        if (c.result) {
            EXPECT_EQ(Settings.difference.area, -1);
            EXPECT_EQ(Settings.difference.margin, 0.25);
            EXPECT_EQ(Settings.difference.penColor, c.kindButton == 1360 ? 1 : 0);
        }
    }
}

}  // namespace
}  // namespace mirexa
