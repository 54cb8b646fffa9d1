// The procedures and openers of the single-group settings dialogs.
#include "dialogs/settings_dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "dialogs/dialog_conventions.h"
#include "dialogs/dialog_frame.h"
#include "platform/system_info.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/environment_info.h"
#include "shell/main_window.h"
#include "shell/stock_commands.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "view/avi_recording.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/stock_display.h"

namespace mirexa {

ResizeOptionFlags ResizeOptions;

namespace {

template <typename State>
MessageLParam AsParam(State* state) {
    return reinterpret_cast<MessageLParam>(state);
}

double SinglePrecision(double value) {
    return static_cast<double>(static_cast<float>(value));
}

// The stock the program has now, or null.
const StockModel* PresentStock() {
    const StockModel& model = CurrentStockModel();
    return StockCommands.stockPresent && model.nx != 0 ? &model : nullptr;
}

// --- Version and environment (103) ---------------------------------------------------------

constexpr unsigned kVersionTimer = 1;
constexpr unsigned kVersionTimerPeriodMs = 1000;
constexpr int kEnvironmentLines = 1280;
constexpr int kVersionLabel = 9002;

// Fills the figures: everything at opening, the free memory and the window count on each tick.
void ShowVersionFigures(WindowHandle dialog, int opening) {
    MemoryStatusKb memory;
    GetMemoryStatusKb(&memory);
    if (opening) {
        const EnvironmentInfo info = GatherEnvironmentInfo();
        SetDlgItemText(dialog, 1089, "OS: " + info.os.name);
        // The program's one version, beside its edition name.
        SetDlgItemText(dialog, kVersionLabel,
                       ChooseLanguageText("Version ", "バージョン ") + ProgramVersionNumber());
        std::string lines;
        for (const std::string& line : DescribeEnvironment(info)) {
            lines += line + "\n";
        }
        SetDlgItemText(dialog, kEnvironmentLines, lines);
        const StockModel* stock = PresentStock();
        SetDlgItemText(dialog, 1279, FormatStockMemoryKb(stock ? GetStockMemorySize(*stock) : 0));
        SetDlgItemText(dialog, 1274, FormatMemoryKb(memory.physicalTotal));
        SetDlgItemText(dialog, 1276, FormatMemoryKb(memory.virtualTotal));
    }
    SetDlgItemText(dialog, 1275, FormatMemoryKb(memory.physicalFree));
    SetDlgItemText(dialog, 1277, FormatMemoryKb(memory.virtualFree));
    const int windows = ListOtherWindows(GetDialogOwner(dialog), 0);
    SetDlgItemText(dialog, 1278, std::to_string(std::max(0, windows)));
}

MessageResult VersionDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                             MessageLParam) {
    switch (message) {
        case WM_INITDIALOG:
            BeginDialog(dialog);
            ShowVersionFigures(dialog, 1);
            StartWindowTimer(dialog, kVersionTimer, kVersionTimerPeriodMs);
            return 1;
        case WM_TIMER:
            if (wparam == kVersionTimer) {
                ShowVersionFigures(dialog, 0);
            }
            return 1;
        case WM_COMMAND: {
            const int id = CommandIdOf(wparam);
            if (CommandCodeOf(wparam) == BN_CLICKED && (id == IDOK || id == IDCANCEL)) {
                StopWindowTimer(dialog, kVersionTimer);
                EndDialog(dialog, id);
            }
            return 1;
        }
        default:
            return 0;
    }
}

// --- Resize behaviour (127) -------------------------------------------------------------------

constexpr int kMoveOnResizeIds[2] = {127, 128};  // Yes, No
constexpr int kMoveOnMoveIds[2] = {130, 131};
constexpr int kAutoResizeIds[2] = {126, 124};

struct ResizeState {
    ResizeOptionFlags working = {};
};

void CheckResizeGroups(WindowHandle dialog, const ResizeState& state) {
    CheckRadioGroup(dialog, kMoveOnResizeIds, 2, state.working.moveOnResize ? 0 : 1);
    CheckRadioGroup(dialog, kMoveOnMoveIds, 2, state.working.moveOnMove ? 0 : 1);
}

void InitResizeDialog(WindowHandle dialog, ResizeState& state) {
    BeginDialog(dialog);
    state.working = ResizeOptions;
    // The stock drawing always follows the view's size: that group has no choice to make.
    for (int id : kAutoResizeIds) {
        EnableDlgItem(dialog, id, 0);
    }
    CheckResizeGroups(dialog, state);
}

void CommandResizeDialog(WindowHandle dialog, ResizeState& state, int id) {
    if (int choice = IndexOfId(kMoveOnResizeIds, 2, id); choice >= 0) {
        state.working.moveOnResize = choice == 0 ? 1 : 0;
    } else if (int move = IndexOfId(kMoveOnMoveIds, 2, id); move >= 0) {
        state.working.moveOnMove = move == 0 ? 1 : 0;
    }
    CheckResizeGroups(dialog, state);
}

void AcceptResizeDialog(WindowHandle dialog, ResizeState& state) {
    ResizeOptions = state.working;
    EndDialog(dialog, 1);
}

// --- Number dialogs: tool parameters (137), expand rate (162) --------------------------------

// The special tools' parameters in the order of the dialog's fields 129 .. 136.
float* const kToolParameterValues[8] = {
    &Settings.weldingHeight, &Settings.weldingWidth, &Settings.grinderDepth, &Settings.grinderWidth,
    &Settings.paperDepth,    &Settings.paperWidth,   &Settings.brushWidth,   &Settings.heraWidth,
};

struct ToolParameterState {
    double values[8] = {};
    NumberField fields[8] = {};
};

void InitToolParameterDialog(WindowHandle dialog, ToolParameterState& state) {
    BeginDialog(dialog);
    for (int i = 0; i < 8; ++i) {
        state.values[i] = *kToolParameterValues[i];
        state.fields[i] = NumberField{129 + i, "%4.2f", &state.values[i]};
    }
    ShowNumberFields(dialog, state.fields, 8);
}

void AcceptToolParameterDialog(WindowHandle dialog, ToolParameterState& state) {
    if (!ReadNumberFields(dialog, state.fields, 8)) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        *kToolParameterValues[i] = static_cast<float>(state.values[i]);
    }
    EndDialog(dialog, 1);
}

struct ExpandRateState {
    double rate = {};
};

constexpr int kExpandRateId = 164;

void InitExpandRateDialog(WindowHandle dialog, ExpandRateState& state) {
    BeginDialog(dialog);
    state.rate = Settings.expandRate;
    SetDlgItemNumber(dialog, kExpandRateId, "%4.2f", state.rate);
}

void AcceptExpandRateDialog(WindowHandle dialog, ExpandRateState& state) {
    NumberField field{kExpandRateId, "%4.2f", &state.rate};
    if (!ReadNumberFields(dialog, &field, 1)) {
        return;
    }
    if (!(state.rate > 0.0)) {
        // The zoom steps multiply and divide by the rate: 0 or less would leave no view.
        SetDlgItemNumber(dialog, kExpandRateId, "%4.2f", Settings.expandRate);
        ShowDialogWarning(dialog, "The expand rate must be greater than 0.",
                          "拡大率は0より大きくしてください。");
        state.rate = Settings.expandRate;
        return;
    }
    Settings.expandRate = state.rate;
    EndDialog(dialog, 1);
}

// --- Pitch (139) --------------------------------------------------------------------------------

constexpr int kPitchField = 140;
constexpr int kAutoPitchBox = 1171;
constexpr int kSizeLimitField = 1172;
constexpr int kMinimumPitchField = 142;
constexpr int kMovePitchField = 141;
constexpr int kAutoMovePitchBox = 1173;
constexpr int kMoveRateField = 1174;
constexpr int kPitchMark = 1175;
constexpr int kMovePitchMark = 1176;

struct PitchState {
    int automatic = {};
    int moveAutomatic = {};
    int ready = {};  // the fields are filled: edit notifications may recompute
};

// The enabled fields and the provisional marks of the working choices.
void ShowPitchChoices(WindowHandle dialog, const PitchState& state) {
    CheckDlgButton(dialog, kAutoPitchBox, state.automatic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kAutoMovePitchBox, state.moveAutomatic ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItem(dialog, kPitchField, state.automatic ? 0 : 1);
    EnableDlgItem(dialog, kSizeLimitField, state.automatic ? 1 : 0);
    EnableDlgItem(dialog, kMinimumPitchField, state.automatic ? 1 : 0);
    EnableDlgItem(dialog, kMovePitchField, state.moveAutomatic ? 0 : 1);
    EnableDlgItem(dialog, kMoveRateField, state.moveAutomatic ? 1 : 0);
    const bool japanese = UiLanguage.load() != 1;
    SetDlgItemText(dialog, kPitchMark, japanese && state.automatic ? "(仮)" : "");
    SetDlgItemText(dialog, kMovePitchMark,
                   japanese && state.automatic && state.moveAutomatic ? "(仮)" : "");
}

// The move pitch from the shown pitch and rate, while the automatic move pitch is on.
void RecomputeMovePitch(WindowHandle dialog, const PitchState& state) {
    if (!state.moveAutomatic) {
        return;
    }
    double pitch = 0.0;
    double rate = 0.0;
    ReadDlgItemNumber(dialog, kPitchField, &pitch);
    ReadDlgItemNumber(dialog, kMoveRateField, &rate);
    SetDlgItemNumber(dialog, kMovePitchField, "%5.3f", pitch * rate);
}

void InitPitchDialog(WindowHandle dialog, PitchState& state) {
    BeginDialog(dialog);
    const DexelPitchSettings& p = DexelPitch;
    state.automatic = p.automatic == 1 ? 1 : 0;
    state.moveAutomatic = p.secondPitchAutomatic == 1 ? 1 : 0;
    SetDlgItemNumber(dialog, kPitchField, "%5.3f", p.requestedPitch);
    SetDlgItemText(dialog, kSizeLimitField, FormatDialogInteger("%10d", p.sizeLimit));
    SetDlgItemNumber(dialog, kMinimumPitchField, "%5.3f", p.minimumPitch);
    SetDlgItemNumber(dialog, kMovePitchField, "%5.3f", p.secondPitch);
    SetDlgItemNumber(dialog, kMoveRateField, "%5.3f", p.secondPitchFactor);
    ShowPitchChoices(dialog, state);
    state.ready = 1;
}

void CommandPitchDialog(WindowHandle dialog, PitchState& state, int id) {
    if (id == kAutoPitchBox) {
        state.automatic = 1 - state.automatic;
    } else if (id == kAutoMovePitchBox) {
        state.moveAutomatic = 1 - state.moveAutomatic;
        RecomputeMovePitch(dialog, state);
    }
    ShowPitchChoices(dialog, state);
}

// The pitch the next stock takes with these settings (the automatic choice made on a copy).
double PitchOfNextStock(const DexelPitchSettings& settings) {
    const DexelPitchSettings saved = DexelPitch;
    DexelPitch = settings;
    ChooseDexelPitch();
    const double pitch = DexelPitch.currentPitch;
    DexelPitch = saved;
    return pitch;
}

void AcceptPitchDialog(WindowHandle dialog, PitchState& state) {
    DexelPitchSettings next = DexelPitch;
    double limit = next.sizeLimit;
    double rate = next.secondPitchFactor;
    NumberField fields[5] = {
        {kSizeLimitField, "%10.0f", &limit, 1},
        {kPitchField, "%5.3f", &next.requestedPitch},
        {kMinimumPitchField, "%5.3f", &next.minimumPitch},
        {kMovePitchField, "%5.3f", &next.secondPitch},
        {kMoveRateField, "%5.3f", &rate},
    };
    if (!ReadNumberFields(dialog, fields, 5)) {
        return;
    }
    if (!(next.requestedPitch > 0.0) || next.secondPitch < 0.0) {
        ShowDialogWarning(dialog, "The pitch is 0.0 or less.", "ピッチが0.0以下になっています。");
        return;
    }
    next.sizeLimit =
        static_cast<int>(std::clamp(std::trunc(limit), 0.0, static_cast<double>(INT32_MAX)));
    next.secondPitchFactor = SinglePrecision(rate);
    next.automatic = state.automatic;
    next.secondPitchAutomatic = state.moveAutomatic;
    if (!PitchGridFitsMemory(PitchOfNextStock(next))) {
        ShowDialogWarning(dialog, "The work does not fit in memory at this pitch.",
                          "このピッチでは被切削材がメモリに収まりません。");
        return;
    }
    DexelPitch = next;
    EndDialog(dialog, 1);
}

MessageResult PitchDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                           MessageLParam lparam) {
    if (message == WM_COMMAND && CommandIdOf(wparam) == kMoveRateField &&
        CommandCodeOf(wparam) == EN_CHANGE) {
        const PitchState* state = FindDialogState<PitchState>(dialog);
        if (state && state->ready) {
            RecomputeMovePitch(dialog, *state);
        }
        return 1;
    }
    return StateDlgProc<PitchState, InitPitchDialog, CommandPitchDialog, AcceptPitchDialog>(
        dialog, message, wparam, lparam);
}

// --- Check-box dialogs: initial condition (207), optional block skip (236) --------------------

struct FlagsState {
    const int* ids = {};
    int count = {};
    int working[10] = {};
    void (*load)(int* flags) = {};
    void (*store)(const int* flags) = {};
};

void ShowFlags(WindowHandle dialog, const FlagsState& state) {
    for (int i = 0; i < state.count; ++i) {
        CheckDlgButton(dialog, state.ids[i], state.working[i] ? BST_CHECKED : BST_UNCHECKED);
    }
}

void InitFlagsDialog(WindowHandle dialog, FlagsState& state) {
    BeginDialog(dialog);
    state.load(state.working);
    ShowFlags(dialog, state);
}

void CommandFlagsDialog(WindowHandle dialog, FlagsState& state, int id) {
    if (int at = IndexOfId(state.ids, static_cast<std::size_t>(state.count), id); at >= 0) {
        state.working[at] = state.working[at] ? 0 : 1;
    }
    ShowFlags(dialog, state);
}

void AcceptFlagsDialog(WindowHandle dialog, FlagsState& state) {
    state.store(state.working);
    EndDialog(dialog, 1);
}

int OpenFlagsDialog(int templateId, WindowHandle owner, FlagsState* state) {
    return Opened(OpenModalDialog(
        templateId, owner,
        StateDlgProc<FlagsState, InitFlagsDialog, CommandFlagsDialog, AcceptFlagsDialog>,
        AsParam(state)));
}

// Dialog 207: position and size, command panel, tool panel, then the colour groups work, tool,
// machine, line and background.
constexpr int kStartupIds[8] = {209, 210, 213, 211, 214, 216, 215, 212};
std::int32_t* const kStartupFlags[8] = {
    &Settings.saveDisplay,   &Settings.showCommandPanel, &Settings.showToolPanel,
    &Settings.saveWorkColor, &Settings.saveToolColor,    &Settings.saveMachineColor,
    &Settings.saveLineColor, &Settings.saveBackground,
};

constexpr int kBlockSkipIds[10] = {1168, 1169, 1170, 1171, 1172, 1173, 1174, 1175, 1176, 1177};

// --- Display modes (279) --------------------------------------------------------------------

struct DisplayRow {
    int on, off, semi, bar;
    std::int32_t* mode;
    float* alpha;
};
// Work, basic model, tool and holder, machine: the order in which OK applies them.
const DisplayRow kDisplayRows[4] = {
    {1390, 1393, 1394, 1395, &DisplayModes.workMode, &DisplayModes.workAlpha},
    {1403, 1404, 1405, 1406, &DisplayModes.baseMode, &DisplayModes.baseAlpha},
    {1391, 1396, 1398, 1399, &DisplayModes.toolMode, &DisplayModes.toolAlpha},
    {1392, 1397, 1400, 1401, &DisplayModes.machineMode, &DisplayModes.machineAlpha},
};
constexpr int kDisplayLevels = 10;

struct DisplayModeState {
    int mode[4] = {};
    int level[4] = {};
};

// A semi-transparent work or basic model that is wholly opaque or wholly clear is shown on or
// off instead.
int SettledMode(int mode, float alpha) {
    if (mode == 2 && alpha == 1.0f) {
        return 1;
    }
    if (mode == 2 && alpha == 0.0f) {
        return 0;
    }
    return mode;
}

// The marks show what OK stores: the work and the basic model offer "Transparency" only at a
// level between wholly clear and wholly opaque, and show such a choice at the ends as off or on.
void CheckDisplayModes(WindowHandle dialog, const DisplayModeState& state) {
    for (int i = 0; i < 4; ++i) {
        const int ids[3] = {kDisplayRows[i].off, kDisplayRows[i].on, kDisplayRows[i].semi};
        int shown = state.mode[i];
        if (i < 2) {
            const int level = state.level[i];
            EnableDlgItem(dialog, kDisplayRows[i].semi, level > 0 && level < kDisplayLevels);
            shown = SettledMode(shown, static_cast<float>(level) / 10.0f);
        }
        CheckRadioGroup(dialog, ids, 3, shown);
    }
}

void InitDisplayModeDialog(WindowHandle dialog, DisplayModeState& state) {
    BeginDialog(dialog);
    for (int i = 0; i < 4; ++i) {
        const DisplayRow& row = kDisplayRows[i];
        state.mode[i] = std::clamp(*row.mode, 0, 2);
        state.level[i] = DisplayLevelOfAlpha(*row.alpha);
        SendDlgItemMessage(dialog, row.bar, SBM_SETRANGE, 0, kDisplayLevels);
        SendDlgItemMessage(dialog, row.bar, SBM_SETPOS, static_cast<MessageWParam>(state.level[i]),
                           0);
    }
    CheckDisplayModes(dialog, state);
}

void CommandDisplayModeDialog(WindowHandle dialog, DisplayModeState& state, int id) {
    for (int i = 0; i < 4; ++i) {
        const int ids[3] = {kDisplayRows[i].off, kDisplayRows[i].on, kDisplayRows[i].semi};
        if (int mode = IndexOfId(ids, 3, id); mode >= 0) {
            state.mode[i] = mode;
        }
    }
    CheckDisplayModes(dialog, state);
}

void ScrollDisplayLevel(WindowHandle dialog, DisplayModeState& state, WindowHandle bar,
                        MessageWParam wparam) {
    const int id = GetDlgCtrlId(bar);
    for (int i = 0; i < 4; ++i) {
        if (kDisplayRows[i].bar != id) {
            continue;
        }
        int& level = state.level[i];
        switch (wparam & 0xFFFF) {
            case SB_LINELEFT:
            case SB_PAGELEFT:
                level = std::max(0, level - 1);
                break;
            case SB_LINERIGHT:
            case SB_PAGERIGHT:
                level = std::min(kDisplayLevels, level + 1);
                break;
            case SB_THUMBPOSITION:
            case SB_THUMBTRACK:
                level = std::clamp(static_cast<int>((wparam >> 16) & 0xFFFF), 0, kDisplayLevels);
                break;
            default:
                break;
        }
        SendDlgItemMessage(dialog, id, SBM_SETPOS, static_cast<MessageWParam>(level), 0);
    }
    CheckDisplayModes(dialog, state);
}

void AcceptDisplayModeDialog(WindowHandle dialog, DisplayModeState& state) {
    DisplayModeSettings& m = DisplayModes;
    for (int i = 0; i < 4; ++i) {
        const DisplayRow& row = kDisplayRows[i];
        const bool levelChanged = state.level[i] != DisplayLevelOfAlpha(*row.alpha);
        if (!levelChanged && state.mode[i] == *row.mode) {
            continue;
        }
        if (levelChanged) {
            *row.alpha = static_cast<float>(state.level[i]) / 10.0f;
        }
        switch (i) {
            case 0:
                if (levelChanged) {
                    SetWorkPenColors(LiveColors, m);
                    if (StockCommands.stockPresent && CurrentStockModel().nx != 0) {
                        MarkStockDisplayDirty(&CurrentStockModel());
                    }
                }
                *row.mode = SettledMode(state.mode[i], *row.alpha);
                break;
            case 1:
                if (levelChanged) {
                    SceneDirty.basicShape = 1;
                    ColorRefToGlColor(LiveColors.base, m.baseAlpha, GlColors.base);
                }
                *row.mode = SettledMode(state.mode[i], *row.alpha);
                break;
            case 2:
                SceneDirty.tools = 1;
                if (levelChanged) {
                    SetToolColors(LiveColors, m);
                }
                *row.mode = state.mode[i];
                break;
            default:
                MarkMachineListsDirty();
                if (levelChanged) {
                    SetMachineColors(LiveColors, m);
                }
                *row.mode = state.mode[i];
                break;
        }
    }
    EndDialog(dialog, 1);
}

MessageResult DisplayModeDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    if (message == WM_HSCROLL) {
        if (DisplayModeState* state = FindDialogState<DisplayModeState>(dialog)) {
            ScrollDisplayLevel(dialog, *state, reinterpret_cast<WindowHandle>(lparam), wparam);
        }
        return 1;
    }
    return StateDlgProc<DisplayModeState, InitDisplayModeDialog, CommandDisplayModeDialog,
                        AcceptDisplayModeDialog>(dialog, message, wparam, lparam);
}

// --- Movie settings (284) -------------------------------------------------------------------

constexpr int kToolChangeBox = 1404;
constexpr int kAxisChangeBox = 1405;
constexpr int kBlockBox = 1406;
constexpr int kUpdateBox = 1408;
constexpr int kMovieNameText = 1410;
constexpr int kAutoNameBox = 1411;
constexpr int kKeepDialogBox = 1412;

struct MovieState {
    int triggers[4] = {};  // tool change, axis change, each block, each redraw
    int autoName = {};
    int keepDialog = {};
};

void ShowMovieName(WindowHandle dialog, const MovieState& state) {
    char name[kPathLimit + 1] = {};
    MakeAviFileName(name, sizeof name, state.autoName);
    SetDlgItemText(dialog, kMovieNameText, name);
}

void CheckMovieBoxes(WindowHandle dialog, const MovieState& state) {
    const int ids[6] = {kToolChangeBox, kAxisChangeBox, kBlockBox,
                        kUpdateBox,     kAutoNameBox,   kKeepDialogBox};
    const int flags[6] = {state.triggers[0], state.triggers[1], state.triggers[2],
                          state.triggers[3], state.autoName,    state.keepDialog};
    for (int i = 0; i < 6; ++i) {
        CheckDlgButton(dialog, ids[i], flags[i] ? BST_CHECKED : BST_UNCHECKED);
    }
}

void InitMovieDialog(WindowHandle dialog, MovieState& state) {
    BeginDialog(dialog);
    for (int i = 0; i < 4; ++i) {
        state.triggers[i] = Settings.recordTriggers[i] ? 1 : 0;
    }
    state.autoName = Settings.videoNameMode == 1 ? 1 : 0;
    state.keepDialog = Settings.lapDialog ? 1 : 0;
    const int block = state.triggers[kAviTriggerBlock];
    const int update = state.triggers[kAviTriggerUpdate];
    EnableDlgItem(dialog, kToolChangeBox, block || update ? 0 : 1);
    EnableDlgItem(dialog, kAxisChangeBox, update ? 0 : 1);
    EnableDlgItem(dialog, kBlockBox, update ? 0 : 1);
    CheckMovieBoxes(dialog, state);
    ShowMovieName(dialog, state);
}

void CommandMovieDialog(WindowHandle dialog, MovieState& state, int id) {
    int* triggers = state.triggers;
    switch (id) {
        case kToolChangeBox:
        case kAxisChangeBox:
            triggers[id == kToolChangeBox ? 0 : 1] ^= 1;
            break;
        case kBlockBox:
            triggers[kAviTriggerBlock] ^= 1;
            EnableDlgItem(dialog, kToolChangeBox,
                          !triggers[kAviTriggerBlock] && !triggers[kAviTriggerUpdate] ? 1 : 0);
            break;
        case kUpdateBox: {
            triggers[kAviTriggerUpdate] ^= 1;
            const int enable = triggers[kAviTriggerUpdate] ? 0 : 1;
            for (int box : {kToolChangeBox, kAxisChangeBox, kBlockBox}) {
                EnableDlgItem(dialog, box, enable);
            }
            break;
        }
        case kAutoNameBox:
            state.autoName ^= 1;
            ShowMovieName(dialog, state);
            break;
        case kKeepDialogBox:
            state.keepDialog ^= 1;
            break;
        default:
            break;
    }
    CheckMovieBoxes(dialog, state);
}

void AcceptMovieDialog(WindowHandle dialog, MovieState& state) {
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        Settings.recordTriggers[i] = state.triggers[i];
        count += state.triggers[i];
    }
    Settings.recordTriggerCount = count;
    Settings.videoNameMode = state.autoName;
    Settings.lapDialog = state.keepDialog;
    EndDialog(dialog, 1);
}

}  // namespace

std::string FormatStockMemoryKb(std::uint64_t bytes) {
    if (bytes == 0) {
        return "undefined ";
    }
    return InsertThousandsSeparators(std::to_string(bytes >> 10));
}

std::string FormatMemoryKb(double kb) {
    if (!std::isfinite(kb) || kb < 0.0 || kb >= 9.2e18) {
        return "-";
    }
    return InsertThousandsSeparators(std::to_string(static_cast<std::int64_t>(kb)));
}

int PitchGridFitsMemory(double pitch) {
    if (!std::isfinite(pitch) || !(pitch > 0.0)) {
        return 0;
    }
    double extent[3] = {};
    if (const StockModel* stock = PresentStock()) {
        extent[0] = stock->lastNode[0] * stock->pitch;
        extent[1] = stock->lastNode[1] * stock->pitch;
        extent[2] = stock->lastNode[2] * stock->pitch;
    } else {
        for (int a = 0; a < 3; ++a) {
            extent[a] = std::fabs(InitialStock.box[a + 3] - InitialStock.box[a]);
        }
    }
    StockModel probe;
    std::int32_t* nodes[3] = {&probe.nx, &probe.ny, &probe.nz};
    for (int a = 0; a < 3; ++a) {
        const double n = std::max(2.0, std::trunc(extent[a] / pitch + 1.5));
        if (!(n <= static_cast<double>(std::numeric_limits<std::int32_t>::max() / 2))) {
            return 0;
        }
        *nodes[a] = static_cast<std::int32_t>(n);
    }
    SetStockUndoRingSize(&probe, Settings.undoRingSize);
    return CheckStockGridMemory(probe) == 1 ? 1 : 0;
}

int DisplayLevelOfAlpha(float alpha) {
    const double level = std::round(static_cast<double>(alpha) * 10.0);
    if (!(level >= 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(level, static_cast<double>(kDisplayLevels)));
}

int OpenVersionDialog(WindowHandle owner) {
    return Opened(OpenModalDialog(IDD_VERSION_INFO, owner, VersionDlgProc));
}

int OpenResizeSettingsDialog(WindowHandle owner) {
    ResizeState state;
    return Opened(OpenModalDialog(
        IDD_RESIZE_SETTINGS, owner,
        StateDlgProc<ResizeState, InitResizeDialog, CommandResizeDialog, AcceptResizeDialog>,
        AsParam(&state)));
}

int OpenToolParameterDialog(WindowHandle owner) {
    ToolParameterState state;
    return Opened(
        OpenModalDialog(IDD_TOOL_PARAMETERS, owner,
                        StateDlgProc<ToolParameterState, InitToolParameterDialog,
                                     NoCommand<ToolParameterState>, AcceptToolParameterDialog>,
                        AsParam(&state)));
}

int OpenPitchDialog(WindowHandle owner) {
    PitchState state;
    return Opened(OpenModalDialog(IDD_PITCH, owner, PitchDlgProc, AsParam(&state)));
}

int OpenExpandRateDialog(WindowHandle owner) {
    ExpandRateState state;
    return Opened(OpenModalDialog(IDD_EXPAND_RATE, owner,
                                  StateDlgProc<ExpandRateState, InitExpandRateDialog,
                                               NoCommand<ExpandRateState>, AcceptExpandRateDialog>,
                                  AsParam(&state)));
}

int OpenInitialConditionDialog(WindowHandle owner) {
    FlagsState state;
    state.ids = kStartupIds;
    state.count = 8;
    state.load = [](int* flags) {
        for (int i = 0; i < 8; ++i) {
            flags[i] = *kStartupFlags[i] ? 1 : 0;
        }
    };
    state.store = [](const int* flags) {
        for (int i = 0; i < 8; ++i) {
            *kStartupFlags[i] = flags[i];
        }
    };
    return OpenFlagsDialog(IDD_INITIAL_CONDITION, owner, &state);
}

int OpenOptionalBlockSkipDialog(WindowHandle owner) {
    FlagsState state;
    state.ids = kBlockSkipIds;
    state.count = 10;
    state.load = [](int* flags) {
        for (int i = 0; i < 10; ++i) {
            flags[i] = OptionalBlockSkipFlags.on[i] ? 1 : 0;
        }
    };
    state.store = [](const int* flags) {
        unsigned char any = 0;
        for (int i = 0; i < 10; ++i) {
            OptionalBlockSkipFlags.on[i] = static_cast<unsigned char>(flags[i]);
            any |= static_cast<unsigned char>(flags[i]);
        }
        OptionalBlockSkipFlags.anyOn = any ? 1 : 0;
    };
    return OpenFlagsDialog(IDD_OPTIONAL_BLOCK_SKIP, owner, &state);
}

int OpenDisplayModeDialog(WindowHandle owner) {
    DisplayModeState state;
    return Opened(OpenModalDialog(IDD_DISPLAY_MODE, owner, DisplayModeDlgProc, AsParam(&state)));
}

int OpenMovieSettingsDialog(WindowHandle owner) {
    MovieState state;
    return Opened(OpenModalDialog(
        IDD_MOVIE_SETTINGS, owner,
        StateDlgProc<MovieState, InitMovieDialog, CommandMovieDialog, AcceptMovieDialog>,
        AsParam(&state)));
}

void ResetSettingsDialogs() {
    ResizeOptions = ResizeOptionFlags{};
}

}  // namespace mirexa
