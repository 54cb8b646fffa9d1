// The stock menu's commands: the replacement of the current stock, reading, saving, box and
// cylinder stocks, state, offset, clip, rotation, move, paint, the basic model, difference
// painting and the vice models.
#include "shell/stock_commands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_models.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/kinematics_services.h"
#include "nc/nc_session.h"
#include "nc/plugin_slots.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_steps.h"
#include "shell/file_dialogs.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "shell/status_bar.h"
#include "simulation/cutting_core.h"
#include "simulation/run_end.h"
#include "stock/difference_paint.h"
#include "stock/stock_clip.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"
#include "stock/stock_pose.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "stockio/stl_import.h"
#include "stockio/stock_loading.h"
#include "stockio/stock_saving.h"
#include "view/camera.h"
#include "view/gdi_resources.h"
#include "view/stock_view.h"
#include "view/view_window.h"

namespace mirexa {

StockCommandHooks StockCommandCallbacks;
StockCommandState StockCommands;

namespace {

const StockCommandHooks& H() {
    return StockCommandCallbacks;
}

template <typename... Params, typename... Args>
void Call(void (*hook)(Params...), Args&&... args) {
    if (hook) {
        hook(static_cast<Args&&>(args)...);
    }
}

// Runs a dialog hook; a missing dialog counts as cancelled.
template <typename... Params, typename... Args>
bool RunDialog(int (*dialog)(Params...), Args&&... args) {
    return dialog != nullptr && dialog(static_cast<Args&&>(args)...) == 1;
}

void SetStatusText(const char* english, const char* japanese) {
    SetStatusBarText(MainStatusBar.load(), STATUS_PART_MESSAGE, 0,
                     ChooseLanguageText(english, japanese));
}

bool BasicModelLoaded() {
    return BasicModelState.present || BasicModelState.comparisonPresent || BasicModel.nx != 0 ||
           ComparisonModel.nx != 0;
}

void ClearBasicModelIfLoaded() {
    if (BasicModelLoaded()) {
        ClearBasicModel(MainWindow.load(), 0);
    }
}

// Tells the user about a failure, or in automatic mode logs it as a failure of the batch.
void ReportStockFailure(const std::string& text, const char* caption) {
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(text);
        return;
    }
    ShowMessageBox(MainWindow.load(), text, caption, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
}

// The message of a failed box or cylinder build; with the pitch the grid was built for (pitch
// above -1), a pitch that is no length is named as the cause, and otherwise the pitch is given.
void ReportBuildFailure(int result, double pitch = -1.0) {
    if (result == kStockDefinitionError) {
        char text[160];
        if (pitch == -1.0) {
            std::snprintf(text, sizeof text, "%s",
                          ChooseLanguageText("The size of the work is not valid.",
                                             "被切削材の寸法が正しくありません"));
        } else if (!(pitch > 0.0 && std::isfinite(pitch))) {
            std::snprintf(text, sizeof text,
                          ChooseLanguageText("The pitch of %g mm is not valid.",
                                             "ピッチ %g mm が正しくありません"),
                          pitch);
        } else {
            std::snprintf(
                text, sizeof text,
                ChooseLanguageText("The size of the work is not valid for the pitch of "
                                   "%g mm.",
                                   "ピッチ %g mm に対して被切削材の寸法が正しくありません"),
                pitch);
        }
        ShowMessageOrLog(0, text, "Data error", MBX_OK | MBX_TOPMOST);
    } else {
        ShowMessageOrLog(0, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST);
    }
}

// Steps 5 to 7 of the replacement, for a model that holds its new stock.
// The panel's MaxX..MinZ panes show the stock's new ranges at once (no panel in automatic mode).
void ShowStockRanges() {
    if (AutomaticMode.load() == 0) {
        Call(H().redrawWorkPane);
    }
}

void FinishNewStock(StockModel* model, int applyPose) {
    if (applyPose) {
        UpdateStockPose(model);
    }
    AllocateCurrentStockListNames();
    StockCommands.stockPresent = 1;
    ShowReplacedStock(MainWindowData.handles.view);
    if (Settings.sound) {
        Call(H().playSound, kSoundStockSet);
    }
    UpdateMenuChecks();
    ShowStockRanges();
}

// The stock the last replacement took away, whole (its display lists gone), with the file it
// was read from: C brings it back (RestoreReplacedStock). One is kept at a time.
struct ReplacedStock {
    StockModel model = {};
    std::string loadedPath = {};
};
ReplacedStock Replaced;

void DropReplacedStock() {
    FreeStockModel(&Replaced.model);
    Replaced = ReplacedStock{};
}

// Steps 1 and 2: the old stock's lists go, and its grid with them unless it is kept for C (a
// user's stock, as it stands without its earlier undo states; an unattended run keeps none).
void ReleaseCurrentStock(StockModel* model) {
    if (model->nx != 0) {
        DeleteStockDisplayLists(*model);
    }
    DropReplacedStock();
    if (model->nx != 0 && AutomaticMode.load() == 0) {
        Replaced.model = *model;
        Replaced.loadedPath = StockCommands.loadedPath;
        KeepOnlyCurrentUndoSlot(&Replaced.model);
    } else {
        FreeStockModel(model);
    }
    const std::int32_t useState = model->useState;
    *model = StockModel{};
    model->useState = useState;
    StockCommands.stockPresent = 0;
    StockCommands.loadedPath.clear();
}

// The stock that stands takes the current one's place, which is kept for C in its turn: the slot's
// use state stays, and the working arrays' generation goes past the old one's so that whoever
// bound the old arrays binds again. The file name is the incoming stock's, for the caller to set.
void SwapInStock(StockModel* incoming) {
    StockModel& model = CurrentStockModel();
    const std::uint32_t generation = model.workingGeneration;
    ReleaseCurrentStock(&model);
    ClearBasicModelIfLoaded();
    const std::int32_t useState = model.useState;
    model = *incoming;
    *incoming = StockModel{};
    model.useState = useState;
    model.workingGeneration = std::max(model.workingGeneration, generation) + 1;
}

// The STL import settings of the configuration, handed to the stock loaders.
void CopyStlImportSettings() {
    StlImportAdjustments& a = StockLoadOptions.stlAdjustments;
    a.coordinateSystem = StlImport.coordinateKind;
    for (int i = 0; i < 3; ++i) {
        a.scaleOn[i] = StlImport.scaleFlags[i];
        a.scaleRate[i] = StlImport.scaleRates[i];
        a.scaleCentre[i] = StlImport.scaleCentres[i];
        a.mirrorOn[i] = StlImport.mirrorFlags[i];
        a.mirrorCentre[i] = StlImport.mirrorCentres[i];
    }
    a.adjustmentsOn = StlImport.transformFlag;
    a.basicModelInWork = StlImport.basicInWork;
    StockLoadOptions.matrixPath = StlImport.matrixFileName;
    StockLoadOptions.checkMatrix = StlImport.checkMatrix;
    StockLoadOptions.stlFilter = StlImport.stlFilter;
}

bool FileReadable(const std::string& path) {
    std::FILE* stream = OpenFileStream(path, "rb");
    if (!stream) {
        return false;
    }
    std::fclose(stream);
    return true;
}

bool HasDirectory(const std::string& path) {
    return path.find('/') != std::string::npos || path.find('\\') != std::string::npos;
}

std::string JoinPathText(const std::string& directory, const std::string& name) {
    std::string out(directory.size() + name.size() + 2, '\0');
    if (!JoinPath(directory, name, out.data(), out.size())) {
        return name;
    }
    out.resize(std::char_traits<char>::length(out.c_str()));
    return out;
}

std::string FileNameOf(const std::string& path, int withExtension) {
    std::string out(path.size() + 1, '\0');
    if (!GetPathFileName(path, withExtension, out.data(), out.size())) {
        return path;
    }
    out.resize(std::char_traits<char>::length(out.c_str()));
    return out;
}

// The stock file to read: as given; a bare name in the stock directories; else the file of the
// same name in the program's folder, after the question.
bool ResolveStockPath(std::string* path) {
    if (FileReadable(*path)) {
        std::string found;
        if (FindFileIgnoringCase(ConvertPathSeparators(*path), &found)) {
            *path = found;
        }
        return true;
    }
    if (!HasDirectory(*path)) {
        for (const std::string* directory :
             {&Settings.dmeDirectory, &Settings.secondStockDirectory}) {
            if (!directory->empty() && FileReadable(JoinPathText(*directory, *path))) {
                *path = JoinPathText(*directory, *path);
                return true;
            }
        }
    }
    if (!DefinitionFiles.programDirectory.empty()) {
        std::string candidate =
            JoinPathText(DefinitionFiles.programDirectory, FileNameOf(*path, 1));
        if (FileReadable(candidate) &&
            ShowMessageOrLog(0,
                             ChooseLanguageText("Is the one of the program side folder acceptable?",
                                                "プログラム側ディレクトリのものでもよいですか？"),
                             candidate, MBX_YESNO | MBX_ICONQUESTION | MBX_TOPMOST) == MBX_IDYES) {
            *path = candidate;
            return true;
        }
    }
    return false;
}

// Where a stock file dialog starts: the given file, else the stock files' directory ([DMEdata]).
std::string StockDialogStartPath(const std::string& file) {
    if (!file.empty()) {
        return file;
    }
    return Settings.dmeDirectory.empty() ? std::string() : Settings.dmeDirectory + "/";
}

// A stock file that is there but cannot be read (a FIFO, a folder, no permission) is told apart
// from one that is not there.
void ReportMissingStockFile(const std::string& path) {
    const std::string text = MissingOrRefusedText(
        FileOpenError(path),
        ChooseLanguageText("The Work data does not exist.", "被切削材データが存在しません"),
        ChooseLanguageText("The Work data cannot be read: ", "被切削材データを読めません: "));
    if (AutomaticMode.load() != 0) {
        RecordBatchFailure(path + " - " + text + "\n");
    } else {
        ShowMessageBox(MainWindow.load(), text, path, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
    }
}

// --- Commands --------------------------------------------------------------------------------

void ReadStockCommand(WindowHandle window) {
    AutomationOutcome.stockLoadResult = 0;
    // The automation names its stock as the command line does: no dialog asks.
    const AutomationRequest* request = CurrentAutomationRequest();
    const bool given = request != nullptr || CommandLine.stockGiven != 0;
    const bool preset = MainWindowData.presetPathFlag != 0 || given;
    std::string path;
    if (!preset) {
        path = StockDialogStartPath(!StockCommands.loadedPath.empty() ? StockCommands.loadedPath
                                                                      : DefinitionFiles.stockFile);
        if (AutomaticMode.load() != 0 ||
            !SelectStockReadFile(window, ListPluginFilters(kPluginLoad), &path)) {
            return;
        }
        // An open dialog in swing or reverse mode (its OK label "GO" or "Reverse") asks for the
        // swing or the reversal of the stock read.
        if (FileDialogs.okLabelGo &&
            !RunDialog(H().swingDialog, &StockCommands.swingSin, &StockCommands.swingCos)) {
            return;
        }
        if (FileDialogs.okLabelReverse && !RunDialog(H().reverseDialog)) {
            return;
        }
    } else {
        if (request != nullptr && !request->path.empty()) {
            DefinitionFiles.stockFile = request->path;
            InitialStock.kind = kStockFromFile;
        }
        path = DefinitionFiles.stockFile;
        if (path.empty()) {
            // A box or cylinder of the command line (-D): built without a dialog.
            if (InitialStock.kind == kStockBox || InitialStock.kind == kStockCylinder) {
                AutomationOutcome.stockLoadResult = BuildDefinedStock(window);
            }
            return;
        }
        if (!ResolveStockPath(&path)) {
            ReportMissingStockFile(path);
            return;
        }
    }
    const int slot = H().stockLoaderSlot ? H().stockLoaderSlot(path) : -1;
    const int kind = ChooseStockReadKind(path, slot);
    // The STL read settings are asked for unless a macro or the command line gave the path.
    if (kind == kStockReadStl && StlImport.stlSelect != 0 && !given && AutomaticMode.load() == 0 &&
        !RunDialog(H().stlReadDialog)) {
        return;
    }
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    EnableMainStockMenuItems(0);
    if (kind > kStockReadStl) {
        SetStatusText("Reading WORK", "WORK読み込み中");
    }
    CopyStlImportSettings();
    std::string problem;  // why the loader refused the file, when it said
    const int result = ReplaceCurrentStock(
        [&](StockModel* model) {
            if (kind >= kStockReadPlugin && kind < kStockReadPlugin + 3) {
                return H().loadStockWithPlugin ? H().loadStockWithPlugin(slot, path, model)
                                               : kStockFileDataError;
            }
            return LoadStockModel(window, model, path, DexelPitch.requestedPitch,
                                  StlImport.referenceDirection, &problem);
        },
        0);
    if (result < 0) {
        // A loader plug-in that gave nothing back refused the file: its data need not be broken.
        if (kind >= kStockReadPlugin && kind < kStockReadPlugin + 3 &&
            result == kStockFileDataError) {
            ShowMessageOrLog(
                0,
                path +
                    ChooseLanguageText(" - The stock loader plug-in did not read the file.",
                                       " - 被切削材読み込みプラグインがファイルを読みませんでした"),
                "Data error", MBX_OK | MBX_TOPMOST);
        } else {
            ReportStockLoadFailure(result, problem);
        }
        RecordBatchFailure(path + ChooseLanguageText(" - The Work data could not be read.\n",
                                                     " - 被切削材データを読めません\n"));
        SetIdleCursor(ViewMouseMode);
        return;
    }
    SetStatusText("Reading WORK1", "WORK読み込み1");
    StockModel& model = CurrentStockModel();
    SelectCurrentTool(RunSession, RunKinematics, RunTools, ToolFile.currentTool, model.pitch);
    SetStatusText("Read End", "WORK読み込み完了");
    // The start position follows the new stock.
    UpdateMachinePosition(RunKinematics);
    SetRunStartPoint(&RunCommands.startPoint, RunKinematics.pose.program);
    ApplyCurrentWorkOffset(RunSession);
    StockCommands.loadedPath = path;
    // A file the user chose and that was read is the basic model of the difference painting; a
    // file that could not be read leaves the basic model named before.
    if (!preset) {
        DefinitionFiles.basicModelFile = path;
        EnableMainMenuCommand(IDM_PAINT_DIFFERENCE, 1);
    }
    AutomationOutcome.stockLoadResult = 1;
    SetIdleCursor(ViewMouseMode);
}

void SaveStockCommand(MessageLParam lparam) {
    AutomationOutcome.saveResult = 0;
    const AutomationRequest* request = CurrentAutomationRequest();
    if (request != nullptr && !request->path.empty()) {
        DefinitionFiles.saveFile = request->path;
    }
    StockSaveChoice choice;
    if (lparam == 0) {
        // The dialog offers the stock's own file name in the stock files' directory.
        choice.path = StockDialogStartPath(StockCommands.loadedPath);
        StockCommands.saveDialogOpen = 1;
        const bool chosen =
            SelectStockSaveFile(MainWindow.load(), ListPluginFilters(kPluginSave), &choice.path,
                                &choice.kind, &choice.workCoordinates) == 1;
        StockCommands.saveDialogOpen = 0;
        if (!chosen) {
            return;
        }
    } else {
        choice.kind = static_cast<int>(lparam);
        choice.path = DefinitionFiles.saveFile;
        choice.workCoordinates = Settings.exportInWork;
    }
    const std::string path = ResolveStockSavePath(choice.path);
    const char* caption = "Save";
    if (choice.kind >= kStockSavePluginFirst && choice.kind <= kStockSavePluginLast) {
        const int slot = choice.kind - kStockSavePluginFirst;
        int level = 1;
        const int saved =
            H().saveStockWithPlugin ? H().saveStockWithPlugin(slot, &level, choice.kind, path) : -1;
        if (saved == 1) {
            AutomationOutcome.saveResult = 1;
            return;
        }
        if (saved == 0) {
            ReportStockFailure(
                path + ChooseLanguageText(" - The stock-saver plug-in did not save the work.",
                                          " - 保存プラグインが被切削材を保存しませんでした"),
                caption);
            return;
        }
        ReportStockFailure(
            path + ChooseLanguageText(" - Saving through the stock-saver plug-in is not "
                                      "supported; nothing was written.",
                                      " - 保存プラグインでの保存はできません。保存していません"),
            caption);
        return;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        ReportStockFailure(path + ChooseLanguageText(" - There is no work to save.",
                                                     " - 保存する被切削材がありません"),
                           caption);
        return;
    }
    // A stock cut away whole would be written as a file without a face: that is said instead.
    double low[3], high[3];
    GetStockExtent(model, low, high);
    if (!(low[0] <= high[0])) {
        ReportStockFailure(
            path + ChooseLanguageText(" - The work holds no material; nothing was written.",
                                      " - 被切削材に材料が残っていません。保存していません"),
            caption);
        return;
    }
    const int variant = ChooseStockSaveVariant(choice.kind);
    if (variant < 0 || (!HasFileExtension(path, ".DME") && !HasFileExtension(path, ".STL"))) {
        ReportStockFailure(
            path + ChooseLanguageText(
                       " - The name must end in .DME or .STL; nothing was written.",
                       " - ファイル名は .DME か .STL で終わる必要があります。保存していません"),
            caption);
        return;
    }
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    // In work coordinates the vertices are written relative to the work origin (mm).
    const double origin[3] = {RunKinematics.workOrigin.axis[0], RunKinematics.workOrigin.axis[1],
                              RunKinematics.workOrigin.axis[2]};
    errno = 0;
    const int written = SaveStockFile(model, path, variant, choice.workCoordinates, origin);
    const int error = errno;
    SetIdleCursor(ViewMouseMode);
    if (written != kStockSaveDone) {
        // Only a failed open, write or rename leaves its cause in errno.
        std::string cause = DescribeFileError(error);
        if (written == kStockSaveNotFinite) {
            cause = ChooseLanguageText("a coordinate is not a finite number",
                                       "座標が有限の数ではありません");
        } else if (written == kStockSaveNoMemory) {
            cause = "Memory over!";  // the stock stays whole: a later save may still succeed
        }
        ReportStockFailure(path +
                               ChooseLanguageText(" - The work could not be written: ",
                                                  " - 被切削材を書き込めません: ") +
                               cause,
                           caption);
        return;
    }
    AutomationOutcome.saveResult = 1;
}

// The box and cylinder commands: the dialog, then the stock, then the control point choice.
void DefineStockCommand(WindowHandle window, unsigned command) {
    StockBoxChoice choice;
    choice.controlPointMode = Settings.newControlPoint;
    int (*dialog)(StockBoxChoice*) = command == IDM_STOCK_TWO_POINT  ? H().twoPointDialog
                                     : command == IDM_STOCK_CYLINDER ? H().cylinderDialog
                                                                     : H().originBoxDialog;
    // The dialog writes its values into the definition; a stock refused leaves the definition
    // of the stock that stays, which the dialog shows next time and Exit writes.
    const StockDefinition before = InitialStock;
    if (!RunDialog(dialog, &choice)) {
        return;
    }
    if (command != IDM_STOCK_CYLINDER) {
        InitialStock.kind = kStockBox;
    } else {
        InitialStock.kind = kStockCylinder;
    }
    if (!BuildDefinedStock(window)) {
        InitialStock = before;
        return;
    }
    Settings.newControlPoint = choice.controlPointMode;
    static const char* const kModes[3] = {"BOX-TOP", "CURRENT", "SPECIFY"};
    const int mode =
        choice.controlPointMode >= 0 && choice.controlPointMode <= 2 ? choice.controlPointMode : 0;
    if (AutomaticMode.load() == 0 && !DefinitionFiles.settingsPath.empty()) {
        WriteProfileValue("Define", "NEW CONTROL POINT", kModes[mode],
                          DefinitionFiles.settingsPath);
    }
}

void StockStateCommand() {
    StockModel& model = CurrentStockModel();
    int state = model.useState;
    if (!RunDialog(H().stateDialog, &state)) {
        return;
    }
    model.useState = state;
    if (state != kStockDelete) {
        return;
    }
    ReleaseCurrentStock(&model);
    ClearBasicModelIfLoaded();
    model.useState = kStockAvailable;
    // Without a stock the stock menu items are greyed.
    EnableMainStockMenuItems(1);
    RedrawChangedStock(MainWindowData.handles.view);
    Call(H().redrawWorkPane);  // the ranges say "undefined" again
}

void OffsetStockCommand() {
    StockOffsetParameters parameters;
    parameters.value = Settings.offsetValue;
    if (!RunDialog(H().offsetDialog, &parameters)) {
        return;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    StockModel offset;
    SetStockUndoRingSize(&offset, Settings.undoRingSize);
    const int result = RunStockOffset(model, parameters, &offset);
    if (result != 1) {
        FreeStockModel(&offset);
        if (result < 0) {
            ReportBuildFailure(result);
        }
        return;
    }
    const std::string path = StockCommands.loadedPath;
    SwapInStock(&offset);
    StockCommands.loadedPath = path;
    FinishNewStock(&CurrentStockModel(), 0);
}

void ClipStockCommand() {
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    StockClipLimits limits;
    GetStockExtent(model, limits.minCorner, limits.maxCorner);
    if (!RunDialog(H().clipDialog, &limits)) {
        return;
    }
    const StockUndoRing ringBefore = model.undo;
    PushStockUndo(&model);
    CopyCurrentStockListNameRow();
    if (ClipStockToBox(&model, limits.minCorner, limits.maxCorner) != 1) {
        // The clip changed no ray: the state pushed for it goes again, and the stock stays whole.
        if (model.undo.currentSlot != ringBefore.currentSlot) {
            PopStockUndo(&model);
            model.undo.highestUsedSlot = ringBefore.highestUsedSlot;
        }
        ShowMessageOrLog(0, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST);
        RecordBatchFailure("Memory over!");
        return;
    }
    ClearBasicModelIfLoaded();
    SetStockCornersFromExtent(&model);
    SetStockFaceFlagsFromRays(&model);
    MarkAllStockBlocksDirty(&model);
    RedrawChangedStock(MainWindowData.handles.view);
    ShowStockRanges();
}

void RotateStockCommand(MessageLParam lparam) {
    int axis = CommandLine.rotateAxis;
    double angle = CommandLine.rotateAngle;
    if (lparam == 0 && AutomaticMode.load() == 0 && !RunDialog(H().rotateDialog, &axis, &angle)) {
        return;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    RotateStockFrame(&model.frame, axis, angle);
    RefreshStockFrame(&model);
    ClearBasicModelIfLoaded();
    SetStockCornersFromExtent(&model);
    SetRotationCentre(&CurrentView);
    WriteMatrixDebug(model.frame);
    RedrawChangedStock(MainWindowData.handles.view);
    ShowStockRanges();
    SetIdleCursor(ViewMouseMode);
}

void MoveStockCommand(MessageLParam lparam) {
    double shift[3] = {CommandLine.moveShift[0], CommandLine.moveShift[1],
                       CommandLine.moveShift[2]};
    if (lparam == 0 && AutomaticMode.load() == 0 && !RunDialog(H().moveDialog, shift)) {
        return;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    TranslateStock(&model, shift);
    SetRotationCentre(&CurrentView);
    ClearBasicModelIfLoaded();
    WriteMatrixDebug(model.frame);
    RedrawChangedStock(MainWindowData.handles.view);
    ShowStockRanges();
}

void PaintStockCommand(unsigned command) {
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    if (command == IDM_PAINT_ALL) {
        PaintWholeStock(&model);
    } else {
        StripStockPaint(&model);
    }
    MarkAllStockBlocksDirty(&model);
    RedrawChangedStock(MainWindowData.handles.view);
    if (AutomaticMode.load() == 0 && Settings.sound) {
        Call(H().playSound, kSoundPaint);
    }
}

void PeelPenCommand(MessageLParam lparam) {
    PeelPenChoice choice;
    int pen = static_cast<int>(lparam);
    if (lparam == 0 && AutomaticMode.load() != 0) {
        pen = CommandLine.paintPen;
    }
    if (pen == kPeelAllPens) {
        choice.all = 1;
    } else if (pen >= 1 && pen <= 15) {
        choice.pens = static_cast<std::uint16_t>(1u << pen);
    } else if (lparam != 0 || AutomaticMode.load() != 0 || !RunDialog(H().peelPenDialog, &choice)) {
        return;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;
    }
    if (choice.all) {
        ClearAllStockPenNumbers(&model);
    } else {
        for (int p = 1; p <= 15; ++p) {
            if (choice.pens & (1u << p)) {
                ClearStockPenNumber(&model, p);
            }
        }
    }
    MarkAllStockBlocksDirty(&model);
    RedrawChangedStock(MainWindowData.handles.view);
}

void BasicModelCommand(WindowHandle window) {
    std::string path = DefinitionFiles.basicModelFile;
    std::string directory;
    if (!SelectSettingFile(window, FILE_KIND_BASIC_MODEL, &directory, &path)) {
        return;
    }
    SelectBasicModelPath(window, path);
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return;  // read onto the stock's grid when a stock comes
    }
    const int result = LoadBasicModelForStock(model, &BasicModel);
    if (result == 1) {
        BasicModelState.present = 1;
    } else {
        ReportStockLoadFailure(result);
    }
}

DifferencePaintSettings MakeDifferencePaintSettings(const DifferencePaintChoices& c) {
    DifferencePaintSettings s;
    s.areaSign = c.area;
    s.allowance = c.margin;
    s.penMode = c.penColor;
    s.pen = c.pen;
    s.targetPenOn = c.targetPenGiven;
    s.targetPen = c.targetPen;
    s.clearPrevious = c.recolor;
    s.emphasisRadius = c.offset;
    return s;
}

void DifferenceCommand(MessageLParam lparam) {
    if (DefinitionFiles.basicModelFile.empty()) {
        return;
    }
    if (lparam == 0 && AutomaticMode.load() == 0 && !RunDialog(H().differenceDialog)) {
        return;
    }
    // A macro's DIFF paints with the choices it read, and they stay the program's.
    if (const AutomationRequest* request = CurrentAutomationRequest();
        request != nullptr && request->differenceGiven != 0) {
        Settings.difference = request->difference;
    }
    StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        ReportStockFailure(
            ChooseLanguageText("There is no work to paint.", "塗る被切削材がありません"),
            "Paint Difference");
        return;
    }
    if (model.undo.size > 1) {
        SetStatusText("Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)");
        PushStockUndo(&model);
        CopyCurrentStockListNameRow();
    }
    const int result =
        PaintDifferenceWithBasicModel(&model, MakeDifferencePaintSettings(Settings.difference));
    if (result != 1 && !BasicModelState.present) {
        ReportStockLoadFailure(result);
        RecordBatchFailure(DefinitionFiles.basicModelFile +
                           ChooseLanguageText(" - The basic model could not be read.\n",
                                              " - 基準形状を読めません\n"));
    }
    if (AutomaticMode.load() == 0) {
        SetStatusText("Generating Facets", "描画データ作成中");
    }
    RedrawChangedStock(MainWindowData.handles.view);
    SetStatusText("Ready", "Ready");
}

void ViceCommand(WindowHandle window) {
    std::string path;
    std::string directory;
    if (!SelectSettingFile(window, FILE_KIND_VICE, &directory, &path)) {
        return;
    }
    FreeViceModels();
    MachineModelNames.viceNames = {path};
    MachineModelNames.keepVice = 1;
    LoadViceModels();
    RedrawChangedStock(MainWindowData.handles.view);
    if (Settings.sound) {
        Call(H().playSound, kSoundSetUp);
    }
}

}  // namespace

// --- Shared -----------------------------------------------------------------------------------

StockModel& CurrentStockModel() {
    int index = CurrentStockIndex.load();
    if (index < 0 || index >= kStockModelSlots) {
        index = 0;
    }
    return StockModels[index];
}

int ChooseStockReadKind(const std::string& path, int pluginSlot) {
    if (HasFileExtension(path, ".DMF")) {
        return kStockReadDmf;
    }
    if (pluginSlot >= 0 && pluginSlot <= 2) {
        return kStockReadPlugin + pluginSlot;
    }
    if (HasFileExtension(path, ".DME")) {
        return kStockReadDme;
    }
    return kStockReadStl;
}

int ChooseStockSaveVariant(int kind) {
    switch (kind) {
        case 1:
        case 2:
            return 0;
        case 3:
            return 1;
        case 4:
            return 2;
        default:
            return -1;
    }
}

std::string ResolveStockSavePath(const std::string& path) {
    if (HasDirectory(path) || Settings.dmeDirectory.empty()) {
        return path;
    }
    return JoinPathText(Settings.dmeDirectory, path);
}

void RotateStockFrame(StockFrame* frame, int axis, double angleDegrees) {
    const double theta = angleDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    int i = 1;
    int j = 2;  // X: (Y, Z)
    if (axis == 1) {
        i = 2;
        j = 0;  // Y: (Z, X)
    } else if (axis == 2) {
        i = 0;
        j = 1;  // Z: (X, Y)
    }
    for (int row = 0; row < 3; ++row) {
        double* r = frame->values + 3 * row;
        const double ri = r[i];
        const double rj = r[j];
        r[i] = c * ri - s * rj;
        r[j] = c * rj + s * ri;
    }
    SnapStockFrame(*frame, frame);
}

int ReplaceCurrentStock(const std::function<int(StockModel* model)>& build, int applyPose) {
    StockModel fresh;
    SetStockUndoRingSize(&fresh, Settings.undoRingSize);
    const int result = build(&fresh);
    if (result < 0 || fresh.nx == 0) {
        FreeStockModel(&fresh);
        return result < 0 ? result : kStockDefinitionError;
    }
    SwapInStock(&fresh);
    FinishNewStock(&CurrentStockModel(), applyPose);
    return 1;
}

int DefinedStockTurnsWithTheTable() {
    if (Settings.inputInWork == 0) {
        return 0;
    }
    const double angle1 = RunKinematics.workOrigin.axis[3],
                 angle2 = RunKinematics.workOrigin.axis[4];
    const int type = CurrentMachine.rotaryType;
    return (type == 2 && (angle1 != 0.0 || angle2 != 0.0)) || (type == 3 && angle2 != 0.0) ? 1 : 0;
}

int BuildDefinedStock(WindowHandle window) {
    (void)window;
    if (InitialStock.kind == kStockBox) {
        static const char* const kEnglish[3] = {
            "The maximum and the minimum of X value are reversed.",
            "The maximum and the minimum of Y value are reversed.",
            "The maximum and the minimum of Z value are reversed."};
        static const char* const kJapanese[3] = {"X値の最大最小が逆転しています",
                                                 "Y値の最大最小が逆転しています",
                                                 "Z値の最大最小が逆転しています"};
        for (int a = 0; a < 3; ++a) {
            if (InitialStock.box[a] > InitialStock.box[a + 3]) {
                ShowMessageOrLog(0, ChooseLanguageText(kEnglish[a], kJapanese[a]), EDITION_NAME,
                                 MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
                RecordBatchFailure(
                    ChooseLanguageText("The work was not defined.", "被切削材を定義していません"));
                return 0;
            }
        }
    } else if (InitialStock.kind != kStockCylinder) {
        return 0;
    }
    EnableMainStockMenuItems(0);
    ApplyCurrentWorkOffset(RunSession);
    UpdateMachinePosition(RunKinematics);
    // The pitch chosen for a stock that is refused is not kept: the stock that stays has its own.
    const DexelPitchSettings pitchBefore = DexelPitch;
    ChooseDexelPitch();
    const double pitch = DexelPitch.currentPitch;
    const int result = ReplaceCurrentStock(
        [pitch](StockModel* model) {
            if (InitialStock.kind == kStockBox) {
                return CreateBoxStockIdentity(model, InitialStock.box, pitch);
            }
            const double* c = InitialStock.cylinder;
            const double base[3] = {c[0], c[1], c[2]};
            const int built = CreateCylinderStock(model, base, InitialStock.cylinderAxis, c[3],
                                                  c[4] / 2.0, c[5] / 2.0, pitch);
            return built < 0 ? built : 1;
        },
        DefinedStockTurnsWithTheTable());
    if (result < 0) {
        DexelPitch = pitchBefore;
        ReportBuildFailure(result, pitch);
        RecordBatchFailure(
            ChooseLanguageText("The work was not defined.", "被切削材を定義していません"));
        return 0;
    }
    UpdateMachinePosition(RunKinematics);
    return 1;
}

void SelectBasicModelPath(WindowHandle window, const std::string& path) {
    DefinitionFiles.basicModelFile = path;
    std::string title = FileNameOf(path, 1);
    // At most 64 bytes, cut at a character boundary of the UTF-8 text.
    if (title.size() > 64) {
        std::size_t cut = 64;
        while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        title.resize(cut);
    }
    DefinitionFiles.basicModelTitle = title;
    if (BasicModelLoaded()) {
        ClearBasicModel(window, 0);
    }
    std::snprintf(BasicModelState.path, sizeof BasicModelState.path, "%s", path.c_str());
    std::snprintf(BasicModelState.displayName, sizeof BasicModelState.displayName, "%s",
                  title.c_str());
    StatusInputs.basicModelTitle = title;
    DrawStatusBar();
    EnableMainMenuCommand(IDM_PAINT_DIFFERENCE, path.empty() ? 0 : 1);
}

int ReportMissingBasicModel(const std::string& path) {
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream != nullptr) {
        std::fclose(stream);
        return 1;
    }
    RecordBatchFailure(
        path +
        ChooseLanguageText(" - The basic model cannot be read: ", " - 基準形状を読めません: ") +
        DescribeReadFailure(errno));
    return 0;
}

int LoadBasicModelForStock(const StockModel& grid, StockModel* basic) {
    if (DefinitionFiles.basicModelFile.empty()) {
        return kStockFileDataError;
    }
    CopyStlImportSettings();
    const int result = LoadStlAsDexelModel(MainWindow.load(), basic, DefinitionFiles.basicModelFile,
                                           grid, StlImport.referenceDirection);
    if (result == 1) {
        std::snprintf(BasicModelState.path, sizeof BasicModelState.path, "%s",
                      DefinitionFiles.basicModelFile.c_str());
    }
    return result;
}

int HandleStockCommand(WindowHandle window, unsigned command, MessageLParam lparam) {
    if (RefusedDuringRun(command)) {
        return 1;
    }
    switch (command) {
        case IDM_STOCK_READ:
            ReadStockCommand(window);
            return 1;
        case IDM_STOCK_TWO_POINT:
        case IDM_STOCK_FROM_ORIGIN:
        case IDM_STOCK_CYLINDER:
            DefineStockCommand(window, command);
            return 1;
        case IDM_STOCK_STATE:
            StockStateCommand();
            return 1;
        case IDM_STOCK_SAVE:
            SaveStockCommand(lparam);
            return 1;
        case IDM_STOCK_ROTATE:
            RotateStockCommand(lparam);
            return 1;
        case IDM_STOCK_MOVE:
            MoveStockCommand(lparam);
            return 1;
        case IDM_STOCK_OFFSET:
            OffsetStockCommand();
            return 1;
        case IDM_STOCK_XYZ_CUT:
            ClipStockCommand();
            return 1;
        case IDM_PAINT_ALL:
        case IDM_PEEL_PAINT:
            PaintStockCommand(command);
            return 1;
        case IDM_PEEL_PEN_COLOR:
            PeelPenCommand(lparam);
            return 1;
        case IDM_BASIC_MODEL:
            BasicModelCommand(window);
            return 1;
        case IDM_PAINT_DIFFERENCE:
            DifferenceCommand(lparam);
            return 1;
        case IDM_READ_VICE_STL:
            ViceCommand(window);
            return 1;
        default:
            return 0;
    }
}

int RestoreReplacedStock() {
    StockModel& model = CurrentStockModel();
    if (Replaced.model.nx == 0 || IsRunActive() || StockOperationRunning.load() ||
        (model.nx != 0 && model.undo.highestUsedSlot > 0)) {
        return 0;
    }
    ReplacedStock back = std::move(Replaced);
    Replaced = ReplacedStock{};
    SwapInStock(&back.model);  // the stock C leaves is kept in its turn
    StockCommands.loadedPath = back.loadedPath;
    EnableMainStockMenuItems(0);
    SelectCurrentTool(RunSession, RunKinematics, RunTools, ToolFile.currentTool, model.pitch);
    UpdateMachinePosition(RunKinematics);
    FinishNewStock(&model, 0);
    return 1;
}

void ResetStockCommands() {
    StockCommands = StockCommandState{};
    DropReplacedStock();
}

}  // namespace mirexa
