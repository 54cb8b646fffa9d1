// The main window's title and status-bar texts, in English when UiLanguage is 1 and in Japanese
// otherwise.
#include "shell/status_bar.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/controls.h"
#include "platform/window.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/nc_data_commands.h"
#include "shell/run_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/run_control.h"
#include "view/camera.h"

namespace mirexa {

StatusBarInputs StatusInputs;

namespace {

constexpr int STATUS_BAR_ID = 1;
constexpr int PROGRESS_BAR_ID = 2;
constexpr int SECOND_PROGRESS_BAR_ID = 3;

// What other threads asked the user-interface thread to do.
struct PendingRefresh {
    std::vector<StatusInputsChange> changes = {};
    int drawBar = {};
    WindowHandle titleWindow = {};
    WindowHandle postedTo = {};  // the main window a WM_STATUS_REFRESH is on its way to
};
std::mutex refreshMutex;
PendingRefresh pendingRefresh;

// 1 on the thread of the status bar (of the main window while there is no bar).
bool OnInterfaceThread() {
    WindowHandle bar = MainStatusBar.load();
    return IsWindowOfCallingThread(bar ? bar : MainWindow.load()) != 0;
}

// Posts WM_STATUS_REFRESH to the main window unless one is on its way; call with refreshMutex.
int PostRefreshLocked() {
    WindowHandle main = MainWindow.load();
    if (pendingRefresh.postedTo == main && IsPlatformWindow(main)) {
        return 1;
    }
    pendingRefresh.postedTo = PostWindowMessage(main, WM_STATUS_REFRESH, 0, 0) ? main : nullptr;
    return pendingRefresh.postedTo ? 1 : 0;
}

// Queues a request of another thread and posts it.
int QueueRefresh(StatusInputsChange change, int drawBar, WindowHandle titleWindow) {
    std::lock_guard<std::mutex> lock(refreshMutex);
    if (change) {
        pendingRefresh.changes.push_back(std::move(change));
    }
    pendingRefresh.drawBar |= drawBar;
    if (titleWindow) {
        pendingRefresh.titleWindow = titleWindow;
    }
    return PostRefreshLocked();
}

// Takes what is waiting and runs its changes; on the user-interface thread.
PendingRefresh RunWaitingChanges() {
    PendingRefresh taken;
    {
        std::lock_guard<std::mutex> lock(refreshMutex);
        taken = std::move(pendingRefresh);
        pendingRefresh = PendingRefresh{};
    }
    for (auto& change : taken.changes) {
        change(StatusInputs);
    }
    return taken;
}

// The name with extension of a path written with "/" or "\".
std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Text(const char* english, const char* japanese) {
    return ChooseLanguageText(english, japanese);
}

std::string RunModeTitle(const StatusBarInputs& in) {
    switch (in.runMode) {
        case RunMode::kIdle: {
            std::string caption = GetProgressStatusText();
            return caption.empty() ? "" : " - " + caption;
        }
        case RunMode::kRealCutting:
            return " - " + Text("Cutting : Real:", "加工 : 実切削:") + std::to_string(in.skipView);
        case RunMode::kSkipCutting:
            return " - " + Text("Cutting : Skip:", "加工 : スキップ:") +
                   std::to_string(in.skipBlock);
        case RunMode::kResult:
            return " - " + Text("Cutting : Result", "加工 : 結果表示");
    }
    return "";
}

std::string StopKindText(const StatusBarInputs& in) {
    if (in.offsetAlarm) {
        return "OFFSET ALARM";
    }
    if (!in.interferenceEventRecorded) {
        return Text("STOP", "停止");
    }
    return in.interferenceKindText;
}

std::string BasicModelText(const StatusBarInputs& in) {
    std::string text = Text("Basic:", "基準:");
    text += in.basicModelTitle.empty() ? "NONE" : in.basicModelTitle;
    if (in.differencePaintSide == 1) {
        text += " + -";
    } else if (in.differencePaintSide == 2) {
        text += " +";
    } else if (in.differencePaintSide > 2) {
        text += " -";
    }
    return text;
}

std::string DisplayFlagsText(const StatusBarInputs& in) {
    std::string text = Text("Disp", "描画");
    if (in.viewFollowsTableAxes) {
        text += "[";
    } else {
        text += in.machineHasLinearTableAxes ? " " : "|";
    }
    text += in.perspective ? "●" : "○";
    if (in.rotaryType != 1) {
        text += in.viewFollowsRotaryAxes ? "]" : " ";
    } else {
        text += "|";
    }
    return text;
}

std::string WorkpieceText(const StatusBarInputs& in) {
    int index = in.workOffsetIndex;
    if (index == 0) {
        return Text("No Workpiece", "座標系なし");
    }
    if (in.dialect != 0) {
        return Text("Workpiece", "座標系") + std::to_string(index);
    }
    if (index <= 6) {
        return Text("Workpiece(G5", "座標系(G5") + std::to_string(index + 3) + ")";  // G54..G59
    }
    return Text("Workpiece(P", "座標系(P") + std::to_string(index - 6) + ")";
}

std::string MachiningModeText(const StatusBarInputs& in) {
    bool named = in.alternativeModeNames != 0;
    if (in.toolCenterPointMode == 1) {
        return in.siemensDialect ? Text("TCL(AXIS-ROT)", "先端点制御(AXIS-ROT)")
                                 : Text("TCL TYPE1", "先端点制御タイプ1");
    }
    if (in.toolCenterPointMode == 2) {
        if (!in.siemensDialect) {
            return Text("TCL TYPE2", "先端点制御タイプ2");
        }
        switch (in.toolCenterPointAngleForm) {
            case -1:
                return Text("TCL(VECTOR)", "先端点制御(VECTOR)");
            case 0:
                return Text("TCL(EULER)", "先端点制御(EULER)");
            case 1:
                return Text("TCL(RPY)", "先端点制御(RPY)");
            case 2:
                return Text("TCL(RPY2)", "先端点制御(RPY2)");
            default:  // an angle form without a name of its own: the plain type 2 text
                return Text("TCL TYPE2", "先端点制御タイプ2");
        }
    }
    if (in.tiltedWorkPlane) {
        return Text("Work Plane", "傾斜面加工");
    }
    if (in.coordinateRotation) {
        return Text("Coordinate Rotation", named ? "傾斜加工(G127)" : "3次元座標変換");
    }
    if (in.polarInterpolation) {
        return Text("Polar Coordinate", named ? "座標変換(G137)" : "極座標補間");
    }
    if (in.cylindricalInterpolation) {
        bool cz = in.planeCode == 18 || in.planeCode == -18;
        if (cz) {
            return Text("Cylindrical(C-Z)", named ? "側面創成加工(外面選択)" : "円筒補間(CZ)");
        }
        return Text("Cylindrical(Z-C)", named ? "側面創成加工(内面選択)" : "円筒補間(ZC)");
    }
    return Text("Normal", "通常加工モード");
}

}  // namespace

void ReadProgramStatus(StatusBarInputs* in) {
    in->machineName = Machine.name;
    in->ncProgramPath = NcDataCommands.selectedState != 0 ? DefinitionFiles.ncProgramFile : "";
    in->toolsFilePath = DefinitionFiles.toolsFile;
    in->controllerFilePath = DefinitionFiles.controllerFile;
    in->machineFilePath = DefinitionFiles.machineFile;
    in->viewFollowsTableAxes = SceneFollow.followLinearAxes;
    in->machineHasLinearTableAxes = Machine.tableCarriedCount > 0 ? 1 : 0;
    in->perspective = CurrentView.perspective;
    in->rotaryType = Machine.rotaryType;
    in->viewFollowsRotaryAxes = SceneFollow.followRotaryAxes;
    in->runMode = WindowRun.mode.load();
    in->skipView = RunRedrawInterval(RunMode::kRealCutting);
    in->skipBlock = RunRedrawInterval(RunMode::kSkipCutting);
    // A paused run: the thread waits before its block until G or the abort.
    in->stopPending =
        in->runMode != RunMode::kIdle && WindowRun.controls.pauseRequest.load() != 0 ? 1 : 0;
    in->pauseBlinkOn = WindowRun.controls.pauseBlink.load() != 0 ? 1 : 0;
    in->interferenceEventRecorded = WindowRun.reports.kinds.eventCount.load() != 0 ? 1 : 0;
}

void ReadInterpreterStatus(StatusBarInputs* in) {
    const NcModalState& modal = RunSession.run.modal;
    in->workOffsetIndex = modal.workOffsetIndex;
    in->dialect = Controller.dialect.number;
    in->siemensDialect = Controller.dialect.siemens;
    in->toolCenterPointMode = modal.toolCenterPointMode;
    in->tiltedWorkPlane = RunKinematics.plane.active;
    in->coordinateRotation = RunSession.run.transforms.transformState == 2 ? 1 : 0;
    in->polarInterpolation = modal.polarInterpolation;
    in->cylindricalInterpolation = modal.cylindricalInterpolation;
    in->planeCode = modal.planeCode;
}

void CopyInterpreterStatus(const StatusBarInputs& from, StatusBarInputs* to) {
    to->workOffsetIndex = from.workOffsetIndex;
    to->dialect = from.dialect;
    to->siemensDialect = from.siemensDialect;
    to->toolCenterPointMode = from.toolCenterPointMode;
    to->toolCenterPointAngleForm = from.toolCenterPointAngleForm;
    to->tiltedWorkPlane = from.tiltedWorkPlane;
    to->coordinateRotation = from.coordinateRotation;
    to->polarInterpolation = from.polarInterpolation;
    to->cylindricalInterpolation = from.cylindricalInterpolation;
    to->planeCode = from.planeCode;
}

void RefreshStatusInputs() {
    ReadProgramStatus(&StatusInputs);
    if (WindowRun.mode.load() == RunMode::kIdle) {
        ReadInterpreterStatus(&StatusInputs);
    }
}

void ShowProgramStatus(WindowHandle mainWindow) {
    RefreshStatusInputs();
    UpdateMainTitle(mainWindow);
    DrawStatusBar();
}

void RefreshInterpreterStatus() {
    StatusBarInputs seen;
    ReadInterpreterStatus(&seen);
    RequestStatusBarRefresh([seen](StatusBarInputs& in) { CopyInterpreterStatus(seen, &in); });
}

int CreateMainStatusBar(WindowHandle mainWindow) {
    WindowHandle bar = CreateStatusBar(mainWindow, STATUS_BAR_ID);
    const std::vector<int> edges = {120, 190, 300, 420, 520, 640, 760, 880, 960, -1};
    if (!bar || !SetStatusBarParts(bar, edges)) {
        return 0;
    }
    WindowRect barRect = {};
    GetWindowClientRect(bar, &barRect);
    // The progress bars lie over parts 0 and 2.
    WindowHandle progress =
        CreateProgressBar(bar, PROGRESS_BAR_ID, WindowRect{2, 2, edges[0] - 2, barRect.bottom - 2});
    WindowHandle second = CreateProgressBar(
        bar, SECOND_PROGRESS_BAR_ID, WindowRect{edges[1] + 2, 2, edges[2] - 2, barRect.bottom - 2});
    if (!progress || !second) {
        DestroyPlatformWindow(bar);
        return 0;
    }
    MainStatusBar.store(bar);
    MainProgressBar.store(progress);
    SecondProgressBar.store(second);
    return 1;
}

void ConnectProgressToMainTitle() {
    UiHooks.updateMainTitle = UpdateMainTitle;
}

namespace {

void BuildMainTitle(WindowHandle window) {
    const StatusBarInputs& in = StatusInputs;
    // 1. Leave the title alone while drawing is suppressed during a run or a stock operation.
    if (DrawingSuppressed.load() && (in.runMode != RunMode::kIdle || in.stockOperationRunning)) {
        return;
    }
    // 2. The machine, 3. the NC program(s), 4. the definition files, 5. the run mode.
    std::string title = in.machineName.empty() ? EDITION_NAME : in.machineName;
    title += " - ";
    title += in.ncProgramPath.empty() ? Text("Not Selected", "NCデータ未選択")
                                      : FileNameOf(in.ncProgramPath);
    if (!in.secondNcPath.empty()) {
        title += "/" + FileNameOf(in.secondNcPath);
    }
    title += "(" + FileNameOf(in.toolsFilePath) + "," + FileNameOf(in.controllerFilePath) + "," +
             FileNameOf(in.machineFilePath) + ")";
    title += RunModeTitle(in);
    SetPlatformWindowText(window, title);
}

void DrawStatusParts() {
    StatusBarInputs& in = StatusInputs;
    WindowHandle bar = MainStatusBar.load();
    auto set = [bar](int part, const std::string& text) { SetStatusBarText(bar, part, 0, text); };
    bool suppressed = DrawingSuppressed.load() != 0;

    if (in.stopPending) {
        set(STATUS_PART_STOP_KIND, StopKindText(in));
        set(STATUS_PART_STOP_KEYS, in.pauseBlinkOn ? "G or ESC" : "");
    } else {
        for (int part : {2, 3, 4, 5, 6}) {
            set(part, "");
        }
    }

    if (in.macro.running) {
        set(STATUS_PART_MACRO, Text("Runnning MAC:", "マクロ実行中:") + in.macro.currentLine);
    } else if (in.macro.breakCount >= 1 && !suppressed) {
        set(STATUS_PART_MACRO, Text("Break Macro:", "マクロ中断:") + in.macro.currentLine);
        in.macro.breakCount = 0;
    } else if (in.macro.completed && !suppressed) {
        set(STATUS_PART_MACRO, Text("Complete Macro", "マクロ正常終了"));
        in.macro.completed = 0;
    }

    set(STATUS_PART_BASIC, BasicModelText(in));
    set(STATUS_PART_DISPLAY, DisplayFlagsText(in));
    set(STATUS_PART_WORKPIECE, WorkpieceText(in));
    set(STATUS_PART_MODE, MachiningModeText(in));
}

}  // namespace

void UpdateMainTitle(WindowHandle window) {
    if (!IsPlatformWindow(window)) {
        return;
    }
    if (!IsWindowOfCallingThread(window)) {
        QueueRefresh({}, 0, window);
        return;
    }
    RunWaitingChanges();
    BuildMainTitle(window);
}

int DrawStatusBar() {
    if (!OnInterfaceThread()) {
        QueueRefresh({}, 1, nullptr);
        return 0;
    }
    RunWaitingChanges();
    DrawStatusParts();
    return 1;
}

int RequestStatusBarRefresh(StatusInputsChange change) {
    if (!OnInterfaceThread()) {
        return QueueRefresh(std::move(change), 1, nullptr);
    }
    RunWaitingChanges();
    if (change) {
        change(StatusInputs);
    }
    DrawStatusParts();
    return 1;
}

int HandleStatusRefresh() {
    if (!OnInterfaceThread()) {
        return 0;
    }
    PendingRefresh taken = RunWaitingChanges();
    if (taken.titleWindow && IsWindowOfCallingThread(taken.titleWindow)) {
        BuildMainTitle(taken.titleWindow);
    }
    if (taken.drawBar) {
        DrawStatusParts();
    }
    return 1;
}

}  // namespace mirexa
