// The NC data and definition-file commands: NC program selection with the optimal stock, the
// report, and the tools, controller and machine files.
#include "shell/nc_data_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool_brief.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/alarm_report.h"
#include "nc/data_check.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "nc/plugin_queries.h"
#include "nc/plugin_slots.h"
#include "platform/cursor.h"
#include "platform/default_viewer.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/definition_watch.h"
#include "shell/file_dialogs.h"
#include "shell/hook_calls.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/option_commands.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_info_report.h"
#include "simulation/interference_messages.h"
#include "simulation/run_ui_hooks.h"
#include "stock/stock_shapes.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gdi_resources.h"
#include "view/tool_path.h"
#include "view/view_window.h"

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

// The data check of the selected program (Check Data).
DataCheckOutcome RunDataCheckOfProgram() {
    RefreshNcControllerView(RunSession);
    return RunNcDataCheck(RunSession, MainWindow.load(), DefinitionFiles.ncProgramFile,
                          kDataCheckAll);
}

// The extents the optimal stock is made from.
DataCheckExtents ExtentsOfCheck(const DataCheckOutcome& outcome) {
    DataCheckExtents out;
    out.error = outcome.error;
    for (int i = 0; i < 3; ++i) {
        out.cutMin[i] = outcome.cutting.min[i];
        out.cutMax[i] = outcome.cutting.max[i];
        out.pathMin[i] = outcome.toolPoint.min[i];
        out.pathMax[i] = outcome.toolPoint.max[i];
    }
    return out;
}

// The alarm of a data check that stopped: logged with its line in the log form (logForm 1, and
// always in automatic mode), else shown in a message box. The line, column and character are
// the check's own.
void ShowDataCheckAlarm(WindowHandle window, const DataCheckOutcome& outcome, int logForm) {
    InterferenceMessageContext context;
    GatherInterferenceMessageContext(RunSession, 0, &context);
    context.mainLineNumber = outcome.errorLine;
    context.column = outcome.errorColumn;
    context.character = outcome.errorCharacter;
    ShowInterferenceMessage(window, logForm ? 1 : 0, DefinitionFiles.ncProgramFile.c_str(),
                            100 + outcome.error, context);
}

// A newly selected program starts clean: no line numbers shown, neither path shown nor built,
// no held text taken for current; the NC communication plug-in, when it is there and on, gives
// the program's tools.
void ResetForNewProgram() {
    RunSession.line.displayedLineNumber = 0;
    RunSession.line.mainLineNumber = 0;
    DisplayModes.pathDisplay = 0;
    DisplayModes.pathDisplay2 = 0;
    ToolPathDisplay.listBuilt[0] = ToolPathDisplay.listBuilt[1] = 0;
    SceneDirty.path = 0;
    SceneDirty.pathNoRotary = 0;
    ProgramIndex.fileTime = FileWriteTime{};
    // Tools of the NC communication plug-in belong to the program they came with.
    if (RunSession.run.pluginToolSupplied != 0) {
        RunSession.run.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
        ReadToolFile(RunSession, RunKinematics, RunTools);
    }
    if (IsPluginLoaded(kPluginNccom, 0)) {
        LoadToolFromPluginAtStart(RunSession, DefinitionFiles.ncProgramFile);
    }
}

// After a definition file was read, the view draws what it now defines: the tool (tools file),
// the background and the status (controller file), the machine (machine file).
void BringViewUpToDate(unsigned command) {
    SceneDirty.tools = 1;
    if (command != IDM_TOOLS_FILE) {
        // The colours are the settings file's and the user's, never a definition file's.
        RecreateBackgroundBrush();
        DrawStatusBar();
    }
    if (command == IDM_MACHINE_FILE) {
        MarkMachineListsDirty();
    }
}

// A batch mode of the command line: run mode or report mode 5 and above.
bool CommandLineBatchMode() {
    return CommandLine.batchKind >= BatchRunKind::kResultLogged || CommandLine.reportMode >= 5;
}

// A program that is there but cannot be read (a FIFO, /dev/stdin, a folder, no permission) is
// told apart from one that is not there.
void ReportMissingProgram(const std::string& path) {
    const std::string text = MissingOrRefusedText(
        FileOpenError(path),
        ChooseLanguageText("The NC data does not exist.", "NCデータが存在しません"),
        ChooseLanguageText("The NC program cannot be read: ", "NCプログラムを読めません: "));
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(path + " - " + text + "\n");
        return;
    }
    ShowMessageBox(MainWindow.load(), path, text, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
}

// The optimal stock of 32772: a box around the path found by the data check.
void DefineOptimalStock(WindowHandle window) {
    if (CurrentStockModel().nx != 0 &&
        ShowMessageOrLog(
            0, ChooseLanguageText("Do you update the work?", "被切削材を更新してよいですね？"),
            EDITION_NAME, MBX_YESNO | MBX_ICONQUESTION | MBX_TOPMOST) != MBX_IDYES) {
        return;
    }
    const DataCheckOutcome check = RunDataCheckOfProgram();
    const DataCheckExtents extents = ExtentsOfCheck(check);
    if (extents.error > 0) {
        if (CommandLine.batchKind != BatchRunKind::kNone) {
            AppendLogEntry(DefinitionFiles.ncProgramFile + "\n");
        }
        ShowDataCheckAlarm(window, check, CommandLine.batchKind != BatchRunKind::kNone);
        // No stock around a path that could not be followed: an unattended run stops here.
        AutomationOutcome.selectionError = 100 + extents.error;
        RecordBatchFailure(ChooseLanguageText(
            "The optimal work was not made: the data check of the NC program stopped",
            "NCデータのチェックが止まったため、最適被切削材を作れません"));
        return;
    }
    // The pitch is chosen for the rough box, then the box is rounded to it.
    double box[6];
    if (!ComputeOptimalStockBox(extents, Settings.workMargin, 0.0, box)) {
        const char* text =
            ChooseLanguageText("The NC program makes no move: no optimal work is made.",
                               "NCデータに移動がないため、最適被切削材を作れません");
        if (AutomaticMode.load() != 0) {
            RecordBatchFailure(DefinitionFiles.ncProgramFile + " - " + text);
        } else {
            ShowMessageBox(window, DefinitionFiles.ncProgramFile, text,
                           MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
        }
        return;
    }
    // The settings' definition and pitch take the box only while it is built: a box refused
    // leaves those of the stock that stays, which the dialogs show and Exit writes.
    const StockDefinition definitionBefore = InitialStock;
    const DexelPitchSettings pitchBefore = DexelPitch;
    InitialStock.kind = kStockBox;
    std::copy(box, box + 6, InitialStock.box);
    ChooseDexelPitch();
    ComputeOptimalStockBox(extents, Settings.workMargin, DexelPitch.currentPitch, InitialStock.box);
    AutomationOutcome.stockLoadResult = BuildDefinedStock(window);
    if (AutomationOutcome.stockLoadResult != 1) {
        InitialStock = definitionBefore;
        DexelPitch = pitchBefore;
    }
}

void SelectProgramCommand(WindowHandle window, unsigned command) {
    AutomationOutcome.selectionError = 0;
    // The automation names its program as the command line does: no dialog asks.
    const AutomationRequest* request = CurrentAutomationRequest();
    if (request != nullptr && !request->path.empty()) {
        DefinitionFiles.ncProgramFile = request->path;
    }
    std::string path = DefinitionFiles.ncProgramFile;
    const bool preset = PresetPath() || CommandLine.ncGiven != 0 || request != nullptr;
    if (!preset) {
        std::string directory;
        if (!SelectNcFile(window, &directory, &path, ListPathReaderFilters())) {
            return;
        }
        // A FIFO, a device or a folder chosen in the dialog is refused as the command line
        // refuses it: a run would find no program in it.
        if (const int error = FileOpenError(path)) {
            ShowMessageBox(MainWindow.load(),
                           path +
                               ChooseLanguageText(" - The NC program cannot be read: ",
                                                  " - NCプログラムを読めません: ") +
                               DescribeFileError(error),
                           EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
            return;
        }
    } else if (!ResolveNcProgramPath(&path)) {
        RunSession.run.status.error = kNcProgramMissingError;
        AutomationOutcome.selectionError = kNcProgramMissingError;
        ReportMissingProgram(path);
        CommandLine.batchKind = BatchRunKind::kNone;
        ClearPresetPath();
        return;
    }
    if (MainWindowData.presetPathFlag == 1) {
        CallHook(MainWindowCallbacks.activateWindow, window);  // a drop or a macro
    }
    DefinitionFiles.ncProgramFile = path;
    NcDataCommands.activePathReader = H().pathReaderSlot ? H().pathReaderSlot(path) : -1;
    ResetForNewProgram();
    ClearPresetPath();
    NcDataCommands.selectedState = NcDataCommands.selectedState == 0 ? 1 : 2;
    EnableNcProgramMenuItems();
    PublishSelectedFiles();
    if (!MainWindowUnseen()) {
        UpdateMainTitle(MainWindow.load());
        // The strip shows the new program from its first line.
        InfoPanelView.stripState = 0;
        RequestInfoPanelRedraw();
    }
    if (command == IDM_NC_SELECT_OPTIMAL_STOCK && !MainWindowData.droppedStockFlag) {
        DefineOptimalStock(window);
    }
    if (AutomaticMode.load() == 0 && Settings.selectOpen && MainWindow.load()) {
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_NC_EDIT, 0);
    }
}

// Check Data and Check Min-Max: the data check of the selected program, its results shown (or
// logged in automatic mode), or its alarm.
void DataCheckCommand(int mode) {
    if (NcDataCommands.selectedState == 0 || IsRunActive()) {
        return;  // nothing to check, or the interpreter is the run's
    }
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    RefreshNcControllerView(RunSession);
    const DataCheckOutcome check =
        RunNcDataCheck(RunSession, MainWindow.load(), DefinitionFiles.ncProgramFile, mode);
    SetIdleCursor(ViewMouseMode);
    if (check.error > 0) {
        ShowDataCheckAlarm(MainWindow.load(), check, 0);
        return;
    }
    ShowMessageOrLog(0, FormatDataCheckSummary(DataCheckResult, mode),
                     mode == kDataCheckAll
                         ? ChooseLanguageText("Check Data", "データチェック")
                         : ChooseLanguageText("Check Min-Max", "最大最小チェック"),
                     MBX_OK | MBX_ICONINFORMATION | MBX_TOPMOST);
}

// Reads every setting of the settings file named by DefinitionFiles.settingsName from a clean
// start (the command line's values and the program's files stay), then the definition files it
// names, and brings the view, the menus and the title up to date. 1 when the file held settings.
int ReadSettingsAgain(WindowHandle window) {
    const CommandLineSwitches commandLine = CommandLine;
    const DefinitionFilePaths files = DefinitionFiles;
    ResetConfigurationRecords();
    CommandLine = commandLine;
    DefinitionFiles = files;
    std::vector<std::string> messages;
    const int read = ReadSettings(&messages);
    ReportCommandLineMessages(messages);
    ReadToolFile(RunSession, RunKinematics, RunTools);
    ReadControllerFile(RunSession, RunKinematics);
    PlaceSettingsStockAtWorkOrigin(ControlOriginOffset.axis);
    ReadMachineFile(1);
    ReadToolFile(RunSession, RunKinematics, RunTools);
    UpdateMachinePosition(RunKinematics);
    ShowLiveColors();
    CurrentView.perspective = DisplayModes.perspective;
    MarkAllSceneListsDirty();
    UpdateMenuChecks();
    PublishSelectedFiles();
    UpdateMainTitle(window);
    DrawStatusBar();
    RedrawMainWindow(window);
    return read;
}

void SettingsFileCommand(WindowHandle window) {
    FileDialogRequest request;
    request.owner = window;
    request.title = ChooseLanguageText("Settings file", "設定ファイル");
    request.filters = {{ChooseLanguageText("Settings(*.ini)", "設定ファイル(*.ini)"), "*.ini"},
                       {ChooseLanguageText("All(*.*)", "すべて(*.*)"), "*.*"}};
    request.fileName = DefinitionFiles.settingsPath;
    request.initialDirectory = TrimTrailingChars(DefinitionFiles.settingsPath);
    request.flags = FILEDLG_FILE_MUST_EXIST | FILEDLG_NO_CHANGE_DIR;
    FileDialogResult result;
    if (ShowFileDialog(request, &result)) {
        SwitchSettingsFile(window, result.path);
    }
}

void ShowOpenFailure(const std::string& text, const std::string& path) {
    ShowMessageOrLog(0, text + "\n" + path, EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
}

void AppendExtent(std::string* out, const char* name, const DataCheckExtent& e) {
    char line[256];
    if (e.min[0] > e.max[0]) {
        std::snprintf(line, sizeof line, "%s: -\n", name);
    } else {
        std::snprintf(line, sizeof line, "%s: X %.3f .. %.3f  Y %.3f .. %.3f  Z %.3f .. %.3f\n",
                      name, e.min[0], e.max[0], e.min[1], e.max[1], e.min[2], e.max[2]);
    }
    *out += line;
}

// The numbers whose flag is set, as "1, 2, 5" ("-" for none).
std::string ListUsedNumbers(const unsigned char* used, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (used[i]) {
            out += (out.empty() ? "" : ", ") + std::to_string(i);
        }
    }
    return out.empty() ? "-" : out;
}

std::string FormatSeconds(double seconds) {
    const long long total = seconds > 0.0 && seconds < 1e12 ? std::llround(seconds) : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}

void ReportCommand(MessageLParam lparam) {
    AutomationOutcome.reportError = 0;
    const DataCheckOutcome check = RunDataCheckOfProgram();
    if (check.error == 0) {
        WriteCuttingReport(RunSession, MainWindow.load(), lparam != 0 ? 1 : 0);
        return;
    }
    AutomationOutcome.reportError = check.error;
    // The automation's request gives the report mode in place of the command line's.
    const AutomationRequest* request = CurrentAutomationRequest();
    const bool batch = request != nullptr ? CommandLine.batchKind >= BatchRunKind::kResultLogged ||
                                                request->kind >= 5
                                          : CommandLineBatchMode();
    if (batch) {
        OpenLogFile();
        WriteLogLine((DefinitionFiles.ncProgramFile + "\n").c_str());
    }
    ShowDataCheckAlarm(MainWindow.load(), check, batch);
    if (batch) {
        CloseLogFile();
    }
}

void DefinitionFileCommand(unsigned command) {
    AutomationOutcome.definitionResult = 0;
    std::string* target = command == IDM_TOOLS_FILE        ? &DefinitionFiles.toolsFile
                          : command == IDM_CONTROLLER_FILE ? &DefinitionFiles.controllerFile
                                                           : &DefinitionFiles.machineFile;
    const AutomationRequest* request = CurrentAutomationRequest();
    if (request != nullptr && !request->path.empty()) {
        *target = request->path;
    }
    if (!PresetPath() && request == nullptr) {
        const int kind = command == IDM_TOOLS_FILE ? 0 : command == IDM_CONTROLLER_FILE ? 1 : 4;
        std::string path = *target;
        std::string directory;
        if (!SelectSettingFile(MainWindow.load(), kind, &directory, &path)) {
            return;
        }
        *target = path;
    } else {
        CallHook(MainWindowCallbacks.activateWindow, MainWindow.load());
    }
    int status = 0;
    int knownLines = 1;  // a chosen controller or machine file of plain text holds nothing
    if (command == IDM_TOOLS_FILE) {
        ReadToolFile(RunSession, RunKinematics, RunTools);
        UpdateMachinePosition(RunKinematics);
        status = ToolFile.status;
    } else if (command == IDM_CONTROLLER_FILE) {
        ReadControllerFile(RunSession, RunKinematics);
        status = Controller.status;
        knownLines = Controller.knownLines;
        ReadMachineFile(0);
        ReadToolFile(RunSession, RunKinematics, RunTools);
    } else {
        ReadControllerFile(RunSession, RunKinematics);
        ReadMachineFile(1);
        status = Machine.status;
        knownLines = Machine.knownLines;
        ReadToolFile(RunSession, RunKinematics, RunTools);
    }
    BringViewUpToDate(command);
    ClearPresetPath();
    PublishSelectedFiles();
    if (!MainWindowUnseen()) {
        UpdateMainTitle(MainWindow.load());
    }
    RedrawMainWindow(MainWindow.load());
    // A chosen tools file whose holder file gives no holder is reported as an unreadable one.
    const bool holderMissing = command == IDM_TOOLS_FILE && ToolFile.unusableHolderFiles > 0;
    if (status == 1 && !holderMissing && knownLines > 0) {
        AutomationOutcome.definitionResult = 1;
        return;
    }
    const std::string text =
        status != 1 ? *target + ChooseLanguageText(" - The definition file cannot be read.",
                                                   " - 定義ファイルを読めません")
        : holderMissing
            ? ToolFile.holderFileProblem
            : *target + ChooseLanguageText(" - The definition file holds nothing to use.",
                                           " - 定義ファイルに使える内容がありません。");
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(text);
    } else {
        ShowMessageBox(MainWindow.load(), text, EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
        if (holderMissing) {
            DefinitionWatch.holderProblemShown = text;  // told once
        } else if (status == 1) {
            DefinitionWatch.nothingUsableShown[static_cast<int>(
                command == IDM_CONTROLLER_FILE ? WatchedFile::Controller : WatchedFile::Machine)] =
                1;
        }
    }
}

}  // namespace

int SwitchSettingsFile(WindowHandle window, const std::string& path) {
    if (AutomaticMode.load() == 0 && IsPlatformWindow(window)) {
        SaveMainWindowSettings(window);
    }
    const std::string previous = DefinitionFiles.settingsName;
    if (!SettingsFileHoldsValues(path)) {
        // A file too large to be read is not called empty: its values may well be there.
        ShowOpenFailure(
            SettingsFileTooLarge(path)
                ? ChooseLanguageText("The settings file is too large (over 64 MB); the settings "
                                     "file in use stays.",
                                     "設定ファイルが大きすぎます (64 MB 超)。使用中の設定ファイル"
                                     "のままにします")
                : ChooseLanguageText("The file holds no settings; the settings file in use "
                                     "stays.",
                                     "設定がないファイルです。使用中の設定ファイルのままにします"),
            path);
        return 0;
    }
    // An absolute path: the reader takes a name with a directory part as it stands.
    DefinitionFiles.settingsName =
        path.find('/') == std::string::npos ? DefinitionFiles.currentDirectory + path : path;
    if (ReadSettingsAgain(window) == 1) {
        return 1;
    }
    DefinitionFiles.settingsName = previous;
    ReadSettingsAgain(window);
    return 0;
}

void PublishSelectedFiles() {
    StatusBarInputs& in = StatusInputs;
    in.ncProgramPath = NcDataCommands.selectedState != 0 ? DefinitionFiles.ncProgramFile : "";
    in.toolsFilePath = DefinitionFiles.toolsFile;
    in.controllerFilePath = DefinitionFiles.controllerFile;
    in.machineFilePath = DefinitionFiles.machineFile;
    in.machineName = Machine.name;
}

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

int ComputeOptimalStockBox(const DataCheckExtents& e, const double margin[3], double pitch,
                           double box[6]) {
    const auto empty = [](const double* low, const double* high) {
        return low[0] > high[0] || low[1] > high[1] || low[2] > high[2];
    };
    const bool cuts = !empty(e.cutMin, e.cutMax);
    if (!cuts && empty(e.pathMin, e.pathMax)) {
        return 0;
    }
    const double* low = cuts ? e.cutMin : e.pathMin;
    const double* high = cuts ? e.cutMax : e.pathMax;
    for (int a = 0; a < 2; ++a) {
        box[a] = low[a] - margin[a];
        box[a + 3] = high[a] + margin[a];
    }
    if (cuts) {
        box[2] = low[2] - 10.0;
        box[5] = high[2] + margin[2];
    } else {
        box[5] = low[2] - 5.0;
        box[2] = box[5] - 20.0;
    }
    if (!(pitch > 0.0)) {
        return 1;
    }
    for (int a = 0; a < 3; ++a) {
        const double nodes = std::max(2.0, std::ceil((box[a + 3] - box[a]) / pitch - 1e-9) + 1.0);
        if (a < 2) {
            box[a + 3] = box[a] + (nodes - 1.0) * pitch;
        } else {
            box[2] = box[5] - (nodes - 1.0) * pitch;
        }
    }
    return 1;
}

std::string FormatDataCheckSummary(const DataCheckRecord& r, int mode) {
    std::string out;
    AppendExtent(&out, ChooseLanguageText("Program", "プログラム座標"), r.program);
    AppendExtent(&out, ChooseLanguageText("Machine", "機械座標"), r.machine);
    AppendExtent(&out, ChooseLanguageText("Tool point (work)", "工具先端点(ワーク)"),
                 r.toolPointWork);
    if (mode != kDataCheckAll) {
        return out;
    }
    char line[256];
    const bool fed = r.minFeed <= r.maxFeed;
    std::snprintf(line, sizeof line, "%s: %.1f / %.1f / %.1f\n",
                  ChooseLanguageText("Feed max / cutting max / min (mm/min)",
                                     "送り 最大 / 切削最大 / 最小 (mm/min)"),
                  r.maxFeed, r.maxCuttingFeed, fed ? r.minFeed : 0.0);
    out += line;
    std::snprintf(line, sizeof line, "%s: %.0f\n",
                  ChooseLanguageText("Spindle max (min-1)", "主軸回転数 最大 (min-1)"),
                  r.maxSpindle > 0.0 ? r.maxSpindle : 0.0);
    out += line;
    std::string tools;
    for (int i = 1; i <= r.toolCount && i <= kTimedToolOrdinalsMax; ++i) {
        if (r.toolList[i] > 0) {
            tools += (tools.empty() ? "T" : ", T") + std::to_string(r.toolList[i]);
        }
    }
    out += ChooseLanguageText("Tools in order of use: ", "使用工具順: ");
    out += (tools.empty() ? "-" : tools) + (r.toolListFull ? " ...\n" : "\n");
    out += "D: " + ListUsedNumbers(r.dUsed, kDataCheckOffsetNumbers) + "\n";
    out += "H: " + ListUsedNumbers(r.hUsed, kDataCheckOffsetNumbers) + "\n";
    const MachiningTimeSums& t = MachiningTime.sums;
    out += ChooseLanguageText("Machining time: ", "加工時間: ") +
           FormatSeconds(t.feedMoveTime + t.nonCuttingTime);
    out += ChooseLanguageText(" (cutting ", " (切削 ") + FormatSeconds(t.cuttingTime) + ")\n";
    return out;
}

int OpenHelpPage() {
    if (AutomaticMode.load() != 0) {
        return 0;
    }
    const std::string& page = DefinitionFiles.helpPath;
    if (page.empty() || !Readable(page)) {
        ShowOpenFailure(
            ChooseLanguageText("The help page cannot be found.", "ヘルプページが見つかりません"),
            page);
        return 0;
    }
    if (!DefaultViewerInstalled()) {
        ShowOpenFailure(
            ChooseLanguageText("There is no viewer to show the help page (xdg-open).",
                               "ヘルプページを表示するビューアー(xdg-open)がありません"),
            page);
        return 0;
    }
    if (!OpenInDefaultViewer(page)) {
        ShowOpenFailure(ChooseLanguageText("The viewer could not open the help page.",
                                           "ビューアーがヘルプページを開けません"),
                        page);
        return 0;
    }
    return 1;
}

int HandleNcDataCommand(WindowHandle window, unsigned command, MessageLParam lparam) {
    if (RefusedDuringRun(command)) {
        return 1;
    }
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
        case IDM_SETTINGS_FILE:
            SettingsFileCommand(window);
            return 1;
        case IDM_NC_CHECK_DATA:
        case IDM_NC_CHECK_MIN_MAX:
            DataCheckCommand(command == IDM_NC_CHECK_DATA ? kDataCheckAll : kDataCheckMinMax);
            return 1;
        case IDM_HELP:
        case IDM_HOME_PAGE:
            // The program has no web site of its own: its home page is the manual it comes with.
            OpenHelpPage();
            return 1;
        case IDM_VERSION_INFO:
            if (H().versionDialog) {
                H().versionDialog();
            }
            return 1;
        case IDM_EXIT:
            // As the close box: a run still going is ended before the window goes.
            SendWindowMessage(window, WM_CLOSE, 0, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace mirexa
