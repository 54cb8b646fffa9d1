// The shell's answers to the view's I, J and X keys.
#include "shell/view_services.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "config/settings_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "platform/cursor.h"
#include "platform/program_start.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/editor_bridge.h"
#include "shell/editor_permission.h"
#include "shell/info_panel.h"
#include "shell/nc_data_commands.h"
#include "shell/run_commands.h"
#include "shell/stock_commands.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_model.h"
#include "view/gdi_resources.h"
#include "view/stock_display.h"
#include "view/view_window.h"

namespace mirexa {

namespace {

// The main window's stored copy of the motion state (its tool number unused).
MotionStateSnapshot storedPose;

void SwapWith(MotionStateSnapshot* other) {
    MachinePose& pose = RunKinematics.pose;
    std::swap(pose.program, other->program);
    std::swap(pose.machine, other->machine);
    std::swap(RunKinematics.workOrigin, other->workOrigin);
    for (int i = 0; i < 3; ++i) {
        std::swap(pose.tool.point[i], other->toolPoint[i]);
        std::swap(pose.tool.axis[i], other->toolAxis[i]);
    }
    SinCosDegrees(pose.machine.axis[3], CurrentMachine.rotary[0].sign, &pose.sin1, &pose.cos1);
    SinCosDegrees(pose.machine.axis[4], CurrentMachine.rotary[1].sign, &pose.sin2, &pose.cos2);
}

}  // namespace

void StoreToolPose() {
    CaptureMotionState(RunSession, &storedPose);
}

int SwapToolPose(int source) {
    if (source == 1) {
        MotionStateSnapshot& snapshot = WindowRun.reports.motionSnapshot;
        if (snapshot.toolNumber < 0) {
            return 0;
        }
        SwapWith(&snapshot);
        return 1;
    }
    SwapWith(&storedPose);
    return 1;
}

int StartSecondInstance() {
    if (AutomaticMode.load() != 0) {
        return 0;
    }
    const std::string& directory = DefinitionFiles.programDirectory;
    std::vector<std::string> words = SplitCommandWords(Settings.selfOption);
    // Words the settings file chose (not the built-in option) are asked for as the editor
    // command is: they may name a macro that runs programs, or a file the instance replaces.
    // A Yes holds for the files they name as those are now.
    if (Settings.selfOption != kDefaultSelfOption) {
        SettingsCommand command;
        command.section = "ExecSelf";
        command.text = Settings.selfOption;
        command.words = words;
        command.words.insert(command.words.begin(), DefinitionFiles.programPath);
        for (const std::string& word : words) {
            std::error_code error;
            const std::filesystem::path file = std::filesystem::path(directory) / word;
            if (std::filesystem::is_regular_file(file, error)) {
                command.boundFiles.push_back(std::filesystem::absolute(file, error).string());
            }
        }
        if (!MayStartSettingsCommand(MainWindow.load(), command)) {
            return 0;
        }
    }
    words.insert(words.begin(), "/proc/self/exe");
    if (!StartDetachedProgram(words, directory)) {
        return 0;
    }
    words.front() = DefinitionFiles.programPath;
    AppendLogEntry(
        ChooseLanguageText("Second instance started: ", "2 つ目のインスタンスを起動しました: ") +
        JoinCommandWords(words) + "\n");
    return 1;
}

void SelectNextStockStyle(WindowHandle view) {
    const CursorHandle previous = SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    DisplayModes.stockStyle = (DisplayModes.stockStyle + 1) % 6;
    StockModel& model = CurrentStockModel();
    if (model.nx > 0) {
        MarkStockDisplayDirty(&model);
        RedrawView(view);
    }
    SetCursorHandle(previous);
    SetIdleCursor(ViewMouseMode);
}

int HandleViewKeyCommand(WindowHandle view, unsigned command) {
    if (command == IDM_NC_EDIT) {
        // The line the strip shows for a picked path element, else the current line.
        OpenNcInEditor(MainWindow.load(),
                       ChooseEditorLine(InfoPanelView.pickedLine, RunSession.line.mainLineNumber));
        return 1;
    }
    if (command == IDM_STOCK_DISPLAY_STYLE) {
        SelectNextStockStyle(view);
        return 1;
    }
    return 0;
}

}  // namespace mirexa
