// The offset and check dialogs in the program itself: started on the headless backend in a copy
// of the samples, the machining menu's commands open their dialogs and a scripted user's choices
// reach the records; a right click in the view's top-left corner opens the basis-point note with
// the control origin, and a click on the note closes it.
#include <gtest/gtest.h>

#include <string>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "config/offset_memory.h"
#include "platform/backend.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "support/scratch_directory.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

struct NoteSeen {
    int closes = 0;
    int opened = 0;
    std::string y;
    std::string same;
    std::string differs;  // the text for an origin off the machine origin, in the language
    int closedByClick = 0;
    int arborCheck = -1;
    int pauseOnEvents = -1;
    float h2 = -1.0f;
};

// The user's answers to the check and offset dialogs.
int AnswerMenuDialogs(WindowHandle dialog, int templateId, int round) {
    if (round > 0) {
        return 0;
    }
    if (templateId == IDD_INTERFERENCE_CHECK) {
        ClickDlgItem(dialog, 1354);  // holder check: Yes/Stop
    } else if (templateId == IDD_OFFSET_CODES) {
        TypeDlgItemText(dialog, 1092, "33.5");  // H02
    } else {
        return 0;
    }
    ClickDlgItem(dialog, IDOK);
    return 1;
}
NoteSeen noteSeen;

TEST(OffsetDialogsInTheProgram, MenuCommandsStoreTheChoicesAndTheViewOpensTheBasisPointNote) {
    const testing::SampleWorkingDirectory scratch;
    ResetConfigurationRecords();
    AutomaticMode.store(0);
    DrawingSuppressed.store(0);
    SetMessageBoxResponder({});
    StartPlatformBackend(PlatformBackend::Headless);
    ConnectProgram();
    noteSeen = NoteSeen{};
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || noteSeen.closes++ != 0) {
            return;
        }
        SetDialogResponder(AnswerMenuDialogs);
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_INTERFERENCE_SETTINGS, 0);
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_LENGTH_OFFSETS, 0);
        SetDialogResponder({});
        noteSeen.arborCheck = Checks.arborCheck;
        noteSeen.pauseOnEvents = Checks.pauseOnEvents;
        noteSeen.h2 = ToolOffsets.h[2];
        WindowHandle view = MainWindowData.handles.view;
        ControlOriginOffset.axis[1] = -40;
        SendWindowMessage(view, WM_RBUTTONDOWN, 0, 3 | (4 << 16));
        WindowHandle note = ViewWindow.note;
        if (note == nullptr || GetDialogTemplate(note) == nullptr) {
            return;
        }
        noteSeen.opened = IsPlatformWindowVisible(note);
        noteSeen.y = GetDlgItemText(note, 1051);
        noteSeen.same = GetDlgItemText(note, 1049);
        noteSeen.differs =
            ChooseLanguageText("different from Machine One.", "下記のようにズレがあります");
        SendWindowMessage(note, WM_LBUTTONDOWN, 0, 0);
        WindowMessage pending;
        while (PeekWindowMessage(&pending, PM_REMOVE)) {
            DispatchWindowMessage(pending);
            if (ViewWindow.note == nullptr) {
                break;
            }
        }
        noteSeen.closedByClick = ViewWindow.note == nullptr && !IsPlatformWindow(note);
    });
    ProgramStart start;
    start.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(start), 0);
    SetMessageObserver({});
    ControlOriginOffset = MotionPosition{};
    EXPECT_EQ(noteSeen.arborCheck, 4);
    EXPECT_EQ(noteSeen.pauseOnEvents, 1);
    EXPECT_EQ(noteSeen.h2, 33.5f);
    EXPECT_EQ(noteSeen.opened, 1);
    EXPECT_EQ(noteSeen.y, "  -40.000");
    EXPECT_EQ(noteSeen.same, noteSeen.differs);
    EXPECT_EQ(noteSeen.closedByClick, 1);
}

}  // namespace
}  // namespace mirexa
