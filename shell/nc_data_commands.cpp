// The NC data and definition-file commands: NC program selection with the optimal stock, the
// report, and the tools, controller and machine files.
#include "shell/nc_data_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tools_file.h"
#include "geometry/file_paths.h"
#include "geometry/machine_kinematics.h"
#include "geometry/program_log.h"
#include "geometry/shared_state.h"
#include "geometry/tool_length_report.h"
#include "nc/alarm_report.h"
#include "nc/data_check.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nurbs_evaluation.h"
#include "nc/plugin_queries.h"
#include "nc/plugin_slots.h"
#include "platform/message_box.h"
#include "shell/automation_steps.h"
#include "shell/file_dialogs.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/plugin_host.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_info_report.h"
#include "simulation/interference_messages.h"
#include "simulation/run_ui_hooks.h"
#include "stock/stock_shapes.h"
#include "view/display_lists.h"
#include "view/gdi_resources.h"
#include "view/tool_path.h"

namespace mirexa {

NcDataCommandHooks NcDataCommandCallbacks;
NcDataCommandState NcDataCommands;

namespace {

const NcDataCommandHooks& H() {
    return NcDataCommandCallbacks;
}

bool PresetPath() {
    return MainWindowData.presetPathFlag != 0;
}

void ClearPresetPath() {
    MainWindowData.presetPathFlag = 0;
}

bool Readable(const std::string& path) {
    std::FILE* stream = OpenFileStream(path, "rb");
    if (!stream) {
        return false;
    }
    std::fclose(stream);
    return true;
}

std::string Joined(const std::string& directory, const std::string& name) {
    std::string out(directory.size() + name.size() + 2, '\0');
    if (!JoinPath(directory, name, out.data(), out.size())) {
        return name;
    }
    out.resize(std::char_traits<char>::length(out.c_str()));
    return out;
}

// The data check of the selected program (Check Data) and what the commands read of it.
void RunDataCheckOfProgram(DataCheckExtents* out) {
    RefreshNcControllerView();
    RunNcDataCheck(MainWindow.load(), DefinitionFiles.ncProgramFile, kDataCheckAll);
    const DataCheckRecord& r = DataCheckResult;
    out->error = r.error;
    for (int i = 0; i < 3; ++i) {
        out->toolMin[i] = r.toolPointWork.min[i];
        out->toolMax[i] = r.toolPointWork.max[i];
        out->programMin[i] = r.program.min[i];
        out->programMax[i] = r.program.max[i];
    }
}

// The alarm of a data check that stopped: logged with its line in the log form (logForm 1, and
// always in automatic mode), else shown in a message box.
void ShowDataCheckAlarm(WindowHandle window, int code, int logForm) {
    InterferenceMessageContext context;
    GatherInterferenceMessageContext(0, &context);
    // The interpreter was reset after the check: the line is the one the check ended in.
    context.mainLineNumber = DataCheckResult.errorLine;
    ShowInterferenceMessage(window, logForm ? 1 : 0, DefinitionFiles.ncProgramFile.c_str(), code,
                            context);
}

// A newly selected program starts clean: no line numbers shown, neither path shown nor built,
// no held text taken for current.
void ResetForNewProgram() {
    NcLine.displayedLineNumber = 0;
    NcLine.mainLineNumber = 0;
    DisplayModes.pathDisplay = 0;
    DisplayModes.pathDisplay2 = 0;
    ToolPathDisplay.listBuilt[0] = ToolPathDisplay.listBuilt[1] = 0;
    SceneDirty.path = 0;
    SceneDirty.pathNoRotary = 0;
    ProgramIndex.fileTime = FileWriteTime{};
    // Tools of the NC communication plug-in belong to the program they came with.
    if (NcRun.pluginToolSupplied != 0) {
        NcRun.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
        ReadToolFile();
    }
    if (IsPluginLoaded(kPluginNccom, 0)) {
        LoadToolFromPluginAtStart(DefinitionFiles.ncProgramFile);
    }
}

// The NC communication plug-in switched off or on again: off, the tools file's tools come back.
void ToggleNccomCommand() {
    const int off = PluginSlots.nccomSwitchedOff.load() != 0 ? 0 : 1;
    PluginSlots.nccomSwitchedOff.store(off);
    UpdateMenuChecks();
    if (off == 0) {
        LoadToolFromPluginAtStart(DefinitionFiles.ncProgramFile);
    } else {
        NcRun.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
        ReadToolFile();
        ClearPresetPath();
        UpdateMainTitle(MainWindow.load());
    }
}

// After a definition file was read, the view draws what it now defines: the tool (tools file),
// the background and the status (controller file), the machine (machine file).
void BringViewUpToDate(unsigned command) {
    SceneDirty.tools = 1;
    if (command != IDM_TOOLS_FILE) {
        ApplyColorSettings();
        DrawStatusBar();
    }
    if (command == IDM_MACHINE_FILE) {
        MarkMachineListsDirty();
    }
}

// A batch mode of the command line: run mode or report mode 5 and above.
bool CommandLineBatchMode() {
    return CommandLine.runMode >= 5 || CommandLine.reportMode >= 5;
}

void ReportMissingProgram(const std::string& path) {
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(path + ChooseLanguageText(" - The NC data does not exist.\n",
                                                     " - NCデータが存在しません\n"));
        return;
    }
    ShowMessageBox(MainWindow.load(), path,
                   ChooseLanguageText("The NC data does not exist.", "NCデータが存在しません"),
                   MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
}

// The optimal stock of 32772: a box around the path found by the data check.
void DefineOptimalStock(WindowHandle window) {
    if (CurrentStockModel().nx != 0 &&
        ShowMessageOrLog(
            0, ChooseLanguageText("Do you update the work?", "被切削材を更新してよいですね？"),
            EDITION_NAME, MBX_YESNO | MBX_ICONQUESTION | MBX_TOPMOST) != MBX_IDYES) {
        return;
    }
    DataCheckExtents extents;
    RunDataCheckOfProgram(&extents);
    if (extents.error > 0) {
        if (CommandLine.runMode != 0) {
            AppendLogEntry(DefinitionFiles.ncProgramFile + "\n");
        }
        ShowDataCheckAlarm(window, 100 + extents.error, CommandLine.runMode != 0);
        // No stock around a path that could not be followed: an unattended run stops here.
        AutomationOutcome.selectionError = 100 + extents.error;
        RecordBatchFailure(ChooseLanguageText(
            "The optimal work was not made: the data check of the NC program stopped",
            "NCデータのチェックが止まったため、最適被切削材を作れません"));
        return;
    }
    // The pitch is chosen for the rough box, then the box is rounded to it.
    double box[6];
    ComputeOptimalStockBox(extents, Settings.workMargin, 0.0, box);
    InitialStock.kind = kStockBox;
    std::copy(box, box + 6, InitialStock.box);
    ChooseDexelPitch();
    ComputeOptimalStockBox(extents, Settings.workMargin, DexelPitch.currentPitch, InitialStock.box);
    AutomationOutcome.stockLoadResult = BuildDefinedStock(window);
}

void SelectProgramCommand(WindowHandle window, unsigned command) {
    AutomationOutcome.selectionError = 0;
    std::string path = DefinitionFiles.ncProgramFile;
    const bool preset = PresetPath() || CommandLine.ncGiven != 0;
    if (!preset) {
        std::string directory;
        if (!SelectNcFile(window, &directory, &path, ListPathReaderFilters())) {
            return;
        }
    } else if (!ResolveNcProgramPath(&path)) {
        NcRun.status.error = kNcProgramMissingError;
        AutomationOutcome.selectionError = kNcProgramMissingError;
        ReportMissingProgram(path);
        CommandLine.runMode = 0;
        ClearPresetPath();
        return;
    }
    DefinitionFiles.ncProgramFile = path;
    NcDataCommands.activePathReader = H().pathReaderSlot ? H().pathReaderSlot(path) : -1;
    ResetForNewProgram();
    ClearPresetPath();
    NcDataCommands.selectedState = NcDataCommands.selectedState == 0 ? 1 : 2;
    EnableNcProgramMenuItems();
    if (AutomaticMode.load() == 0) {
        UpdateMainTitle(MainWindow.load());
    }
    if (command == IDM_NC_SELECT_OPTIMAL_STOCK) {
        DefineOptimalStock(window);
    }
}

void ReportCommand(MessageLParam lparam) {
    AutomationOutcome.reportError = 0;
    DataCheckExtents extents;
    RunDataCheckOfProgram(&extents);
    if (extents.error == 0) {
        WriteCuttingReport(MainWindow.load(), lparam != 0 ? 1 : 0);
        return;
    }
    AutomationOutcome.reportError = extents.error;
    if (CommandLineBatchMode()) {
        OpenLogFile();
        WriteLogLine((DefinitionFiles.ncProgramFile + "\n").c_str());
    }
    ShowDataCheckAlarm(MainWindow.load(), 100 + extents.error, CommandLineBatchMode());
    if (CommandLineBatchMode()) {
        CloseLogFile();
    }
}

void DefinitionFileCommand(unsigned command) {
    AutomationOutcome.definitionResult = 0;
    std::string* target = command == IDM_TOOLS_FILE        ? &DefinitionFiles.toolsFile
                          : command == IDM_CONTROLLER_FILE ? &DefinitionFiles.controllerFile
                                                           : &DefinitionFiles.machineFile;
    if (!PresetPath()) {
        const int kind = command == IDM_TOOLS_FILE ? 0 : command == IDM_CONTROLLER_FILE ? 1 : 4;
        std::string path = *target;
        std::string directory;
        if (!SelectSettingFile(MainWindow.load(), kind, &directory, &path)) {
            return;
        }
        *target = path;
    }
    int status = 0;
    if (command == IDM_TOOLS_FILE) {
        ReadToolFile();
        UpdateMachinePosition();
        status = ToolFile.status;
    } else if (command == IDM_CONTROLLER_FILE) {
        ReadControllerFile();
        status = Controller.status;
        ReadMachineFile(0);
        ReadToolFile();
    } else {
        ReadControllerFile();
        ReadMachineFile(1);
        status = Machine.status;
        ReadToolFile();
    }
    BringViewUpToDate(command);
    ClearPresetPath();
    if (AutomaticMode.load() == 0) {
        UpdateMainTitle(MainWindow.load());
    }
    RedrawMainWindow(MainWindow.load());
    if (status == 1) {
        AutomationOutcome.definitionResult = 1;
        return;
    }
    const std::string text = *target + ChooseLanguageText(" - The definition file cannot be read.",
                                                          " - 定義ファイルを読めません");
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(text);
    } else {
        ShowMessageBox(MainWindow.load(), text, EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
    }
}

}  // namespace

void ConnectDataCheckCommands() {
    RunUiCallbacks.closeAlarmFile = CloseAlarmFile;
    RunUiCallbacks.freeNurbsBuffers = FreeNurbsBuffers;
}

int ResolveNcProgramPath(std::string* path) {
    if (path->empty()) {
        return 0;
    }
    std::vector<std::string> candidates = {*path};
    const bool bare = path->find('/') == std::string::npos && path->find('\\') == std::string::npos;
    if (bare && !Settings.ncDirectory.empty()) {
        candidates.push_back(Joined(Settings.ncDirectory, *path));
    }
    const std::size_t count = candidates.size();
    for (std::size_t i = 0; i < count; ++i) {
        candidates.push_back(candidates[i] + ".NC");
    }
    for (const std::string& candidate : candidates) {
        if (Readable(candidate)) {
            std::string found;
            *path =
                FindFileIgnoringCase(ConvertPathSeparators(candidate), &found) ? found : candidate;
            return 1;
        }
    }
    if (!DefinitionFiles.programDirectory.empty()) {
        char name[4096];
        if (GetPathFileName(*path, 1, name, sizeof name)) {
            const std::string candidate = Joined(DefinitionFiles.programDirectory, name);
            if (Readable(candidate) &&
                ShowMessageOrLog(
                    0,
                    ChooseLanguageText("Is the one of the program side folder acceptable?",
                                       "プログラム側ディレクトリのものでもよいですか？"),
                    candidate, MBX_YESNO | MBX_ICONQUESTION | MBX_TOPMOST) == MBX_IDYES) {
                *path = candidate;
                return 1;
            }
        }
    }
    return 0;
}

void ComputeOptimalStockBox(const DataCheckExtents& e, const double margin[3], double pitch,
                            double box[6]) {
    const bool empty = e.toolMin[0] > e.toolMax[0] || e.toolMin[1] > e.toolMax[1];
    double bottom = 0.0;
    double top = 0.0;
    if (!empty) {
        for (int a = 0; a < 2; ++a) {
            box[a] = e.toolMin[a] - margin[a];
            box[a + 3] = e.toolMax[a] + margin[a];
        }
        bottom = e.toolMin[2] - 10.0;
        top = e.toolMax[2];
    } else {
        for (int a = 0; a < 2; ++a) {
            box[a] = e.programMin[a] - margin[a];
            box[a + 3] = e.programMax[a] + margin[a];
        }
        top = e.programMin[2] - 5.0;
        bottom = top - 20.0;
    }
    box[2] = bottom;
    box[5] = top + margin[2];
    if (!(pitch > 0.0)) {
        return;
    }
    for (int a = 0; a < 3; ++a) {
        const double nodes = std::max(2.0, std::floor((box[a + 3] - box[a]) / pitch + 1.5));
        box[a + 3] = box[a] + (nodes - 1.0) * pitch;
    }
}

int HandleNcDataCommand(WindowHandle window, unsigned command, MessageLParam lparam) {
    switch (command) {
        case IDM_NC_SELECT:
        case IDM_NC_SELECT_OPTIMAL_STOCK:
            SelectProgramCommand(window, command);
            return 1;
        case IDM_NC_REPORT:
            ReportCommand(lparam);
            return 1;
        case IDM_TOOLS_FILE:
        case IDM_CONTROLLER_FILE:
        case IDM_MACHINE_FILE:
            DefinitionFileCommand(command);
            return 1;
        case IDM_DISABLE_NCCOM:
            ToggleNccomCommand();
            return 1;
        default:
            return 0;
    }
}

}  // namespace mirexa
