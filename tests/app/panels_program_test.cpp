// The panels and settings dialogs in the program itself: started on the headless backend in a
// copy of the samples, the menu commands show the panels and open the dialogs, the command
// panel's buttons turn the camera as the view's own keys do, and a dialog's OK reaches the
// settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "dialogs/command_panel.h"
#include "platform/color_dialog.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/environment_info.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/test_windows.h"
#include "user_start.h"
#include "view/camera.h"

namespace mirexa {
namespace {

struct Camera {
    double a, b, zoom, centre[3];
    int perspective;
    bool operator==(const Camera& o) const {
        return a == o.a && b == o.b && zoom == o.zoom && centre[0] == o.centre[0] &&
               centre[1] == o.centre[1] && centre[2] == o.centre[2] && perspective == o.perspective;
    }
};

Camera TakeCamera() {
    const ViewState& v = CurrentView;
    return Camera{
        v.angleA, v.angleB, v.zoom, {v.centre[0], v.centre[1], v.centre[2]}, v.perspective};
}

struct Seen {
    int panelShown = {};
    std::vector<Camera> byPanel;
    std::vector<Camera> byKeys;
    WindowHandle toolPanels[2] = {};
    double expandRate = {};
    int toolPanelShownAfterInitialCondition = -1;
    std::string system;
    std::string physicalTotal;
    std::string environment;
    std::string version;
    int whiteCustomColors = 0;
};
Seen seen;
int closes = 0;

// The buttons that move the camera (zoom by rectangle waits for a drag; backup and undo change
// the stock).
bool MovesCamera(const CommandPanelButton& b) {
    return b.key != 'Z' && b.key != 'C' && b.key != 'B';
}

void DriveTheProgram() {
    const WindowHandle main = MainWindow.load();
    SendWindowMessage(main, WM_COMMAND, IDM_SHOW_COMMAND_PANEL, 0);
    const WindowHandle panel = MainWindowData.handles.commandPanel;
    seen.panelShown = panel != nullptr && IsPlatformWindowVisible(panel);
    const WindowHandle view = MainWindowData.handles.view;
    ResetViewState(&CurrentView);
    const ViewState start = CurrentView;
    const DisplayModeSettings modes = DisplayModes;
    for (const CommandPanelButton& b : CommandPanelButtons) {
        if (MovesCamera(b)) {
            ClickDlgItem(panel, b.id);
            testing::DispatchPendingMessages();
            seen.byPanel.push_back(TakeCamera());
        }
    }
    CurrentView = start;
    DisplayModes = modes;
    for (const CommandPanelButton& b : CommandPanelButtons) {
        if (MovesCamera(b)) {
            SendWindowMessage(view, WM_KEYDOWN, b.key, static_cast<MessageLParam>(b.key));
            testing::DispatchPendingMessages();
            seen.byKeys.push_back(TakeCamera());
        }
    }
    // The tool panel: shown, closed, shown again: one panel throughout.
    SendWindowMessage(main, WM_COMMAND, IDM_SHOW_TOOL_DIALOG, 0);
    seen.toolPanels[0] = MainWindowData.handles.toolPanel;
    SendWindowMessage(seen.toolPanels[0], WM_CLOSE, 0, 0);
    testing::DispatchPendingMessages();
    SendWindowMessage(main, WM_COMMAND, IDM_SHOW_TOOL_DIALOG, 0);
    seen.toolPanels[1] = MainWindowData.handles.toolPanel;
    SendWindowMessage(main, WM_COMMAND, IDM_EXPAND_RATE, 0);
    seen.expandRate = Settings.expandRate;
    // Unticking the tool panel in the start-up choices hides it now as well.
    SendWindowMessage(main, WM_COMMAND, IDM_INITIAL_CONDITION, 0);
    seen.toolPanelShownAfterInitialCondition = IsPlatformWindowVisible(seen.toolPanels[1]);
    SendWindowMessage(main, WM_COMMAND, IDM_VERSION_INFO, 0);
    // The colour chooser of the colour settings offers white custom colours.
    const ColorChooserResponder chooser =
        SetColorChooserResponder([](const ColorChooserRequest& request, std::uint32_t*) {
            for (int i = 0; i < kCustomColorCount && request.customColors != nullptr; ++i) {
                seen.whiteCustomColors += request.customColors[i] == 0xFFFFFF ? 1 : 0;
            }
            return 0;
        });
    SendWindowMessage(main, WM_COMMAND, IDM_COLOR_SETTINGS, 0);
    SetColorChooserResponder(chooser);
}

TEST(PanelsInTheProgram, CommandPanelTurnsTheCameraLikeTheKeysAndDialogsStoreOnOk) {
    testing::UserStart start;
    SetDialogResponder([](WindowHandle dialog, int templateId, int round) {
        if (round > 0) {
            return 0;
        }
        if (templateId == IDD_EXPAND_RATE) {
            TypeDlgItemText(dialog, 164, "2.5");
        } else if (templateId == IDD_INITIAL_CONDITION) {
            ClickDlgItem(dialog, 213);
        } else if (templateId == IDD_COLOR_SETTINGS) {
            return ClickDlgItem(dialog, 1023);  // the first colour's button, then cancelled
        } else if (templateId == IDD_VERSION_INFO) {
            seen.system = GetDlgItemText(dialog, 1089);
            seen.physicalTotal = GetDlgItemText(dialog, 1274);
            seen.environment = GetDlgItemText(dialog, 1280);
            seen.version = GetDlgItemText(dialog, 9002);
        } else {
            return 0;
        }
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    seen = Seen{};
    closes = 0;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message == WM_CLOSE && m.window == MainWindow.load() && closes++ == 0) {
            DriveTheProgram();
        }
    });
    ProgramStart program;
    program.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(program), 0);
    SetMessageObserver({});
    SetDialogResponder({});
    ASSERT_GT(closes, 0);
    EXPECT_EQ(seen.panelShown, 1);
    ASSERT_EQ(seen.byPanel.size(), 18u);
    EXPECT_TRUE(seen.byPanel == seen.byKeys);
    // The keys did move the camera.
    EXPECT_FALSE(seen.byPanel.front() == seen.byPanel[5]);
    ASSERT_NE(seen.toolPanels[0], nullptr);
    EXPECT_EQ(seen.toolPanels[0], seen.toolPanels[1]);
    EXPECT_EQ(seen.expandRate, 2.5);
    EXPECT_EQ(seen.toolPanelShownAfterInitialCondition, 0);
    EXPECT_EQ(Settings.showToolPanel, 0);
    // The version panel names this system and counts memory past 32 bits without a sign.
    EXPECT_EQ(seen.system.rfind("OS: ", 0), 0u);
    EXPECT_EQ(seen.system.find("Windows"), std::string::npos);
    EXPECT_FALSE(seen.physicalTotal.empty());
    EXPECT_EQ(seen.physicalTotal.find('-'), std::string::npos);
    // One version: the program's own, beside its edition name, and not again below.
    EXPECT_NE(seen.version.find(ProgramVersionNumber()), std::string::npos) << seen.version;
    EXPECT_EQ(seen.environment.find(ProgramVersionNumber()), std::string::npos);
    EXPECT_EQ(seen.whiteCustomColors, kCustomColorCount);
}

}  // namespace
}  // namespace mirexa
