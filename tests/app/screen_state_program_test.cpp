// What the screen shows follows each change at once, in the program itself (headless backend, a
// copy of the samples): the NC strip is drawn again when a program is selected, and the status
// bar's display part when the view's perspective key changes the perspective.
#include <gtest/gtest.h>

#include <string>

#include "platform/controls.h"
#include "platform/window.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "support/test_windows.h"
#include "user_start.h"

namespace mirexa {
namespace {

struct Seen {
    int done = {};
    int stripInvalid[2] = {-1, -1};
    std::string display[2];
};
Seen seen;

std::string DisplayPart() {
    return GetStatusBarPart(MainStatusBar.load(), STATUS_PART_DISPLAY).text;
}

TEST(ScreenStateInTheProgram, StripAndStatusBarFollowTheirChangesAtOnce) {
    testing::UserStart start;
    seen = Seen{};
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || seen.done++ != 0) {
            return;
        }
        AutomaticMode.store(0);
        WindowHandle strip = GetInfoPanelWindow(kPanelStrip);
        testing::DispatchPendingMessages();  // the panel painted as it stands
        seen.stripInvalid[0] = IsPlatformWindowInvalid(strip);
        DefinitionFiles.ncProgramFile = "demo_part.nc";
        MainWindowData.presetPathFlag = 1;
        SendWindowMessage(m.window, WM_COMMAND, IDM_NC_SELECT, 0);
        seen.stripInvalid[1] = IsPlatformWindowInvalid(strip);
        // "@" in the view, twice: the perspective on and off, and its mark in the status bar.
        for (std::string& shown : seen.display) {
            SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 0, '@');
            shown = DisplayPart();
        }
        AutomaticMode.store(1);
    });
    ProgramStart program;
    program.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(program), 0);
    SetMessageObserver({});
    ASSERT_EQ(seen.done > 0, true);
    EXPECT_EQ(seen.stripInvalid[0], 0);
    EXPECT_EQ(seen.stripInvalid[1], 1) << "the strip is drawn again with the program";
    EXPECT_FALSE(seen.display[0].empty());
    EXPECT_NE(seen.display[0], seen.display[1]) << seen.display[0];
}

}  // namespace
}  // namespace mirexa
