// A user's settings in the program itself: started on the headless backend in a copy of the
// samples, reading a definition file or the same settings file again keeps the colours the user
// has.
#include <gtest/gtest.h>

#include <cstring>

#include "config/config_records.h"
#include "platform/file_dialog.h"
#include "platform/window.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "user_start.h"
#include "view/gl_colors.h"

namespace mirexa {
namespace {

// Reading the controller and machine files, and the same settings file again, leaves every
// colour as it was: live, in the GL table, and in the edit set a later colour change starts from.
TEST(SettingsInTheProgram, DefinitionAndSettingsFilesKeepTheUsersColours) {
    testing::UserStart start;
    static int done = 0;
    static ColorSet before, after[3];
    static float backgroundBefore[4], backgroundAfter[3][4];
    done = 0;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || done++ != 0) {
            return;
        }
        AutomaticMode.store(0);
        before = LiveColors;
        std::memcpy(backgroundBefore, GlColors.background, sizeof backgroundBefore);
        SetFileDialogResponder([](const FileDialogRequest& request) {
            return FileDialogResult{1, request.fileName, 1, 0};
        });
        const unsigned commands[3] = {IDM_CONTROLLER_FILE, IDM_MACHINE_FILE, IDM_SETTINGS_FILE};
        for (int i = 0; i < 3; ++i) {
            MainWindowData.presetPathFlag = i < 2 ? 1 : 0;
            SendWindowMessage(m.window, WM_COMMAND, commands[i], 0);
            after[i] = LiveColors;
            std::memcpy(backgroundAfter[i], GlColors.background, sizeof backgroundBefore);
        }
        SetFileDialogResponder({});
        AutomaticMode.store(1);
    });
    ProgramStart program;
    program.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(program), 0);
    SetMessageObserver({});
    ASSERT_EQ(done > 0, true);
    const char* names[3] = {"controller file", "machine file", "settings file"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::memcmp(&after[i], &before, sizeof before), 0) << names[i];
        EXPECT_EQ(std::memcmp(backgroundAfter[i], backgroundBefore, sizeof backgroundBefore), 0)
            << names[i];
    }
    EXPECT_NE(before.work, 0u) << "the sample's work colour is not black";
    EXPECT_EQ(std::memcmp(&EditColors, &LiveColors, sizeof LiveColors), 0);
}

}  // namespace
}  // namespace mirexa
