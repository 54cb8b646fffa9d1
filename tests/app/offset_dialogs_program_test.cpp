// The offset and check dialogs in the program itself: started on the headless backend in a copy
// of the samples, the machining menu's commands open their dialogs and a scripted user's choices
// reach the records; a right click in the view's top-left corner opens the basis-point note with
// the control origin, and a click on the note closes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "config/offset_memory.h"
#include "dialogs/stock_dialogs.h"
#include "geometry/machine_kinematics.h"
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
#include "stock/stock_shapes.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

struct NoteSeen {
    int opened = 0;
    std::string y;
    std::string same;
    std::string differs;  // the text for an origin off the machine origin, in the language
    int closedByClick = 0;
    int left = -1;
    int top = -1;
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

// Starts the program on the headless backend in a copy of the samples; act runs once, when the
// idle program first closes its main window.
void RunProgramActingAtClose(void (*act)()) {
    const testing::SampleWorkingDirectory scratch;
    testing::ClearEarlierProgramRun();
    SetMessageBoxResponder({});
    StartPlatformBackend(PlatformBackend::Headless);
    ConnectProgram();
    static void (*pending)() = nullptr;
    pending = act;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message == WM_CLOSE && m.window == MainWindow.load() && pending != nullptr) {
            std::exchange(pending, nullptr)();
        }
    });
    ProgramStart start;
    start.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(start), 0);
    SetMessageObserver({});
    ControlOriginOffset = MotionPosition{};
}

TEST(OffsetDialogsInTheProgram, MenuCommandsStoreTheChoicesAndTheViewOpensTheBasisPointNote) {
    noteSeen = NoteSeen{};
    RunProgramActingAtClose([] {
        SetDialogResponder(AnswerMenuDialogs);
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_INTERFERENCE_SETTINGS, 0);
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_LENGTH_OFFSETS, 0);
        SetDialogResponder({});
        noteSeen.arborCheck = Checks.arborCheck;
        noteSeen.pauseOnEvents = Checks.pauseOnEvents;
        noteSeen.h2 = ToolOffsets.h[2];
        WindowHandle view = MainWindowData.handles.view;
        SendWindowMessage(view, WM_RBUTTONDOWN, 0, 3 | (4 << 16));
        WindowHandle note = ViewWindow.note;
        if (note == nullptr || GetDialogTemplate(note) == nullptr) {
            return;
        }
        noteSeen.opened = IsPlatformWindowVisible(note);
        // The note is a top-level window placed at the clicked point of the view.
        WindowRect frame = {};
        WindowRect viewRect = {};
        WindowRect noteRect = {};
        GetPlatformWindowRect(MainWindow.load(), &frame);
        GetPlatformWindowRect(view, &viewRect);
        GetPlatformWindowRect(note, &noteRect);
        noteSeen.left = noteRect.left - frame.left - viewRect.left;
        noteSeen.top = noteRect.top - frame.top - viewRect.top;
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
    EXPECT_EQ(noteSeen.arborCheck, 4);
    EXPECT_EQ(noteSeen.pauseOnEvents, 1);
    EXPECT_EQ(noteSeen.h2, 33.5f);
    EXPECT_EQ(noteSeen.opened, 1);
    // The sample's controller has G54 (-250, -180, -320.5) active with the external Z -0.5.
    EXPECT_EQ(noteSeen.y, " -180.000");
    EXPECT_EQ(noteSeen.left, 3);
    EXPECT_EQ(noteSeen.top, 4);
    EXPECT_EQ(noteSeen.same, noteSeen.differs);
    EXPECT_EQ(noteSeen.closedByClick, 1);
}

// The dialogs that convert between work and machine coordinates, opened from the menus while the
// sample's G54 is active: what each shows and stores with that origin.
struct OriginSeen {
    int twoPointKindEnabled = -1;
    double box[6] = {};
    double boxAtZero[6] = {};
    std::string machineX;
    double programXAtStart = 0.0;
    double machineAfterTyping[3] = {};
    double programBeforeSwitch[3] = {};
    double programAfterSwitch[3] = {};
    double machineBeforeSwitch[3] = {};
    double machineAfterSwitch[3] = {};
    double origin[3] = {};
    int offsetRefusals = 0;
    int warnings = 0;
    float h2 = 0.0f;
};
OriginSeen originSeen;

// Each round runs once the dialog has handled the clicks of the round before.
int AnswerOriginDialogs(WindowHandle dialog, int templateId, int round) {
    switch (templateId) {
        case IDD_STOCK_TWO_POINT:
            originSeen.twoPointKindEnabled = IsDlgItemEnabled(dialog, 1423);
            return round == 0 ? ClickDlgItem(dialog, IDCANCEL) : 0;
        case IDD_STOCK_FROM_ORIGIN:
            return round == 0 ? ClickDlgItem(dialog, IDOK) : 0;
        case IDD_CONTROL_POINT:
            if (round == 0) {
                return ClickDlgItem(dialog, 1400);  // machine coordinates
            }
            if (round == 1) {
                originSeen.machineX = GetDlgItemText(dialog, 156);
                TypeDlgItemText(dialog, 156, "0");
                return ClickDlgItem(dialog, IDOK);
            }
            return 0;
        case IDD_WORK_COORDINATES:
            if (round == 0) {
                return ClickDlgItem(dialog, 1524);  // the second row: G55
            }
            return round == 1 ? ClickDlgItem(dialog, IDOK) : 0;
        case IDD_OFFSET_CODES: {
            // A length beyond what the memory holds, then one with trailing junk: refused, the
            // dialog stays; then one with the separators the dialogs write.
            const char* typed[3] = {"1e39", "12.5abc", "1,234.5"};
            if (round > 0) {
                originSeen.offsetRefusals += IsDialogEnded(dialog) ? 0 : 1;
            }
            if (round > 2) {
                return 0;
            }
            TypeDlgItemText(dialog, 1092, typed[round]);
            return ClickDlgItem(dialog, IDOK);
        }
        default:
            return 0;
    }
}

TEST(OffsetDialogsInTheProgram, DialogsComputeWithTheControllersActiveWorkOrigin) {
    originSeen = OriginSeen{};
    RunProgramActingAtClose([] {
        for (int axis = 0; axis < 3; ++axis) {
            originSeen.origin[axis] = ControlOriginOffset.axis[axis];
        }
        SetDialogResponder(AnswerOriginDialogs);
        WindowHandle main = MainWindow.load();
        SendWindowMessage(main, WM_COMMAND, IDM_STOCK_TWO_POINT, 0);
        SendWindowMessage(main, WM_COMMAND, IDM_STOCK_FROM_ORIGIN, 0);
        std::copy(InitialStock.box, InitialStock.box + 6, originSeen.box);
        const double zero[3] = {};
        ComputeOriginBoxCorners(InitialStock, zero, originSeen.boxAtZero);
        originSeen.programXAtStart = RunKinematics.pose.program.axis[0];
        SendWindowMessage(main, WM_COMMAND, IDM_CONTROL_POINT, 0);
        std::copy(RunKinematics.pose.machine.axis, RunKinematics.pose.machine.axis + 3,
                  originSeen.machineAfterTyping);
        std::copy(RunKinematics.pose.program.axis, RunKinematics.pose.program.axis + 3,
                  originSeen.programBeforeSwitch);
        std::copy(RunKinematics.pose.machine.axis, RunKinematics.pose.machine.axis + 3,
                  originSeen.machineBeforeSwitch);
        SendWindowMessage(main, WM_COMMAND, IDM_WORK_COORDINATES, 0);
        UpdateMachinePosition(RunKinematics);
        SetMessageBoxResponder([](const MessageBoxRequest&) {
            ++originSeen.warnings;
            return MBX_IDOK;
        });
        SendWindowMessage(main, WM_COMMAND, IDM_LENGTH_OFFSETS, 0);
        SetMessageBoxResponder({});
        originSeen.h2 = ToolOffsets.h[2];
        std::copy(RunKinematics.pose.program.axis, RunKinematics.pose.program.axis + 3,
                  originSeen.programAfterSwitch);
        std::copy(RunKinematics.pose.machine.axis, RunKinematics.pose.machine.axis + 3,
                  originSeen.machineAfterSwitch);
        SetDialogResponder({});
    });
    const double g54[3] = {-250.0, -180.0, -321.0};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(originSeen.origin[axis], g54[axis]) << axis;
        // The box from the work origin lies around the work origin, not the machine's.
        EXPECT_DOUBLE_EQ(originSeen.box[axis], originSeen.boxAtZero[axis] + g54[axis]) << axis;
        EXPECT_DOUBLE_EQ(originSeen.box[axis + 3], originSeen.boxAtZero[axis + 3] + g54[axis]);
        // G55 (-100, -180, -320.5): the program position moves, the machine stays.
        EXPECT_DOUBLE_EQ(originSeen.programAfterSwitch[axis],
                         originSeen.programBeforeSwitch[axis] + (axis == 0 ? -150.0 : 0.0));
        EXPECT_NEAR(originSeen.machineAfterSwitch[axis], originSeen.machineBeforeSwitch[axis],
                    1e-9);
    }
    EXPECT_EQ(originSeen.twoPointKindEnabled, 1);
    // Switched to machine coordinates, the control point's X is the program X plus the origin's.
    EXPECT_NEAR(std::atof(originSeen.machineX.c_str()), originSeen.programXAtStart - 250.0, 1e-3)
        << originSeen.machineX;
    // A machine X of 0 typed in the control point dialog puts the tool at machine X 0.
    EXPECT_NEAR(originSeen.machineAfterTyping[0], 0.0, 1e-9);
    // The length offset dialog refuses what its memory cannot hold and junk after a number, with
    // its warning, and takes the thousands separators it writes itself.
    EXPECT_EQ(originSeen.offsetRefusals, 2);
    EXPECT_EQ(originSeen.warnings, 2);
    EXPECT_EQ(originSeen.h2, 1234.5f);
}

}  // namespace
}  // namespace mirexa
