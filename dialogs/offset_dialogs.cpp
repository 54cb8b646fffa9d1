// The offset, work coordinate, control point and basis-point note dialogs and their openers.
#include "dialogs/offset_dialogs.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "dialogs/dialog_conventions.h"
#include "dialogs/dialog_frame.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "platform/keys.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_flags.h"
#include "simulation/interference_messages.h"
#include "simulation/mounted_tools.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/structure_checks.h"
#include "simulation/tool_length_report.h"
#include "simulation/tool_pose_step.h"
#include "view/display_lists.h"
#include "view/picking.h"
#include "view/stock_view.h"
#include "view/view_window.h"

namespace mirexa {

int ModifyControllerFile = 0;
int ControlPointCoordinateKind = 0;
unsigned PendingControllerRewrites = 0;

namespace {

constexpr int kTabBarId = 1070;
constexpr int kModifyFileId = 1131;
constexpr int kAxisLabelIds = 1189;  // 1189 .. 1193

// The largest magnitudes the memories hold: the tool offsets are floats, the work offsets doubles.
constexpr double kFloatLimit = std::numeric_limits<float>::max();
constexpr double kDoubleLimit = std::numeric_limits<double>::max();

// Dialog 234: 50 pages of 20 rows.
constexpr int kOffsetPages = 50;
constexpr int kOffsetRows = 20;
constexpr int kOffsetLabelIds = 1071;
constexpr int kOffsetValueIds = 1091;
constexpr int kOffsetWearIds = 1111;
constexpr const char* kOffsetFormat = "%9.3f";

// Dialog 263: 20 pages of 10 rows, five values per row, and the external offset.
constexpr int kWorkPages = 20;
constexpr int kWorkRows = 10;
constexpr int kStateIds = 1523;
constexpr int kWorkValueIds = 1290;
constexpr int kStylusIds = 1280;
constexpr int kExternalIds[5] = {1340, 1341, 1342, 1343, 1345};
constexpr const char* kWorkFormat = "%10.3f";

// Dialog 155.
constexpr int kKindIds[2] = {1399, 1400};  // work, machine
constexpr int kPointIds = 156;             // 156 .. 160
constexpr const char* kPointFormat = "%9.3f";
constexpr int kOverTravelCode = 91;

// Dialog 225.
constexpr int kNoteSameId = 1049;
constexpr int kNoteValueIds = 1050;  // 1050 .. 1052

// The tab bar of a paged dialog (WM_NOTIFY): a page is left only when its fields were all read
// into the working copy; the new page is then shown.
template <typename State, int (*Read)(WindowHandle, State&),
          void (*Show)(WindowHandle, const State&)>
MessageResult NotifyPageChange(WindowHandle dialog, MessageLParam lparam) {
    State& state = DialogStateOf<State>(dialog);
    const NotifyHeader* header = reinterpret_cast<const NotifyHeader*>(lparam);
    if (header->code == TCN_SELCHANGING) {
        return Read(dialog, state) ? 0 : 1;
    }
    if (header->code == TCN_SELCHANGE) {
        state.page = GetTabSelection(dialog, kTabBarId);
        Show(dialog, state);
    }
    return 1;
}

// A paged dialog: the tab bar's notifications turn the pages; the rest is the frame of a state
// dialog.
template <typename State, void (*Init)(WindowHandle, State&), int (*Read)(WindowHandle, State&),
          void (*Show)(WindowHandle, const State&), void (*Command)(WindowHandle, State&, int),
          void (*Accept)(WindowHandle, State&)>
MessageResult PagedDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                           MessageLParam lparam) {
    if (message == WM_NOTIFY) {
        return NotifyPageChange<State, Read, Show>(dialog, lparam);
    }
    return StateDlgProc<State, Init, Command, Accept>(dialog, message, wparam, lparam);
}

// The check box that says whether OK also renews the controller file.
void ShowModifyFile(WindowHandle dialog) {
    CheckDlgButton(dialog, kModifyFileId, ModifyControllerFile ? BST_CHECKED : BST_UNCHECKED);
}

// A click on that check box turns the choice over; 1 when id was the box.
int ClickModifyFile(WindowHandle dialog, int id) {
    if (id != kModifyFileId) {
        return 0;
    }
    ModifyControllerFile = 1 - ModifyControllerFile;
    ShowModifyFile(dialog);
    return 1;
}

// The letter of a controller axis (0..4) as the labels show it.
char AxisLetter(int axis) {
    return Controller.axes.labels[axis][1];
}

// The axis labels 1189..1193: the letter followed by suffix.
void ShowAxisLabels(WindowHandle dialog, const char* suffix) {
    for (int axis = 0; axis < 5; ++axis) {
        SetDlgItemText(dialog, kAxisLabelIds + axis, std::string(1, AxisLetter(axis)) + suffix);
    }
}

// A field of an offset page: the text becomes the value when it holds a number no larger than
// limit (ParseFieldNumber, with one operation when evaluate is set); otherwise the field shows
// the previous value again, the warning names it, and 0 is returned.
int ReadMemoryField(WindowHandle dialog, int id, const char* format, int evaluate, double limit,
                    double* value) {
    double parsed = 0.0;
    if (!ParseFieldNumber(GetDlgItemText(dialog, id), limit, evaluate, &parsed)) {
        SetDlgItemNumber(dialog, id, format, *value);
        SetFocusWindow(GetDlgItem(dialog, id));
        ShowDialogWarning(dialog,
                          "A field does not hold a number; its previous value is shown again.",
                          "数値ではない値があります。元の値に戻しました");
        return 0;
    }
    *value = parsed;
    return 1;
}

// Renews the memories in the controller file; a failure is told and kept for the next OK.
void RewriteControllerMemories(WindowHandle dialog, unsigned kinds) {
    const int result = UpdateCtlOffsetMemories(kinds);
    if (result == kOffsetRewriteDone) {
        PendingControllerRewrites &= ~kinds;
        return;
    }
    PendingControllerRewrites |= kinds;
    // Why, in the user's words; the file itself is always left as it was.
    const bool missing = result == kOffsetRewriteNoFile;
    const bool edited = result == kOffsetRewriteChangedOnDisk;
    const std::string english =
        std::string(missing ? "The controller file cannot be read"
                    : edited
                        ? "The controller file was changed by another program since it was read"
                        : "The controller file could not be written") +
        "; it is kept as it was. The values are kept in memory and written at the next OK.";
    const std::string japanese =
        std::string(missing  ? "CTLファイルを読めません"
                    : edited ? "CTLファイルは読み込み後に他で変更されています"
                             : "CTLファイルを書き込めません") +
        "。ファイルは元のままです。値はメモリに保持され、次のOKで書き込みます。";
    ShowDialogWarning(dialog, english.c_str(), japanese.c_str());
}

// The end of an accepted memory dialog: the controller file is renewed when it is to be modified
// and the values changed or an earlier rewrite of these kinds is still pending.
void EndMemoryDialog(WindowHandle dialog, unsigned kinds, bool changed) {
    if (ModifyControllerFile && (changed || (PendingControllerRewrites & kinds))) {
        RewriteControllerMemories(dialog, kinds);
    }
    EndDialog(dialog, 1);
}

// Plays the system alarm and then "pokin.wav" when sounds are on.
void PlayRefusalSounds() {
    if (Settings.sound) {
        PlayAlarmTone(1);
        PlaySoundEffect(SoundEffect::Pokin);
    }
}

// --- D/H offsets (234) -----------------------------------------------------------------------

struct OffsetDialogState {
    int mode = {};  // 0 D, 1 H
    int page = {};
    std::vector<float> offsets = std::vector<float>(kToolOffsetCount);
    std::vector<float> wear = std::vector<float>(kToolOffsetCount);
};

bool WearEdited() {
    return ToolOffsets.type >= 2;
}

float* LiveOffsets(int mode) {
    return mode == 0 ? ToolOffsets.d : ToolOffsets.h;
}

float* LiveWear(int mode) {
    return mode == 0 ? ToolOffsets.dWear : ToolOffsets.hWear;
}

void ShowOffsetPage(WindowHandle dialog, const OffsetDialogState& state) {
    for (int row = 0; row < kOffsetRows; ++row) {
        const int n = state.page * kOffsetRows + row + 1;
        const int ids[3] = {kOffsetLabelIds + row, kOffsetValueIds + row, kOffsetWearIds + row};
        if (n >= kToolOffsetCount) {
            for (int id : ids) {
                SetDlgItemText(dialog, id, "");
                EnableDlgItem(dialog, id, 0);
            }
            continue;
        }
        SetDlgItemText(dialog, ids[0], FormatDialogInteger(state.mode == 0 ? "D%02d" : "H%02d", n));
        SetDlgItemNumber(dialog, ids[1], kOffsetFormat, state.offsets[n]);
        EnableDlgItem(dialog, ids[0], 1);
        EnableDlgItem(dialog, ids[1], 1);
        if (WearEdited()) {
            SetDlgItemNumber(dialog, ids[2], kOffsetFormat, state.wear[n]);
            EnableDlgItem(dialog, ids[2], 1);
        } else {
            SetDlgItemText(dialog, ids[2], "");
            EnableDlgItem(dialog, ids[2], 0);
        }
    }
}

// Reads the shown page into the working arrays; 0 (nothing stored) when a field holds no number.
int ReadOffsetPage(WindowHandle dialog, OffsetDialogState& state) {
    std::array<double, 2 * kOffsetRows> read = {};
    for (int row = 0; row < kOffsetRows; ++row) {
        const int n = state.page * kOffsetRows + row + 1;
        if (n >= kToolOffsetCount) {
            continue;
        }
        read[2 * row] = state.offsets[n];
        read[2 * row + 1] = state.wear[n];
        if (!ReadMemoryField(dialog, kOffsetValueIds + row, kOffsetFormat, 0, kFloatLimit,
                             &read[2 * row]) ||
            (WearEdited() && !ReadMemoryField(dialog, kOffsetWearIds + row, kOffsetFormat, 0,
                                              kFloatLimit, &read[2 * row + 1]))) {
            return 0;
        }
    }
    for (int row = 0; row < kOffsetRows; ++row) {
        const int n = state.page * kOffsetRows + row + 1;
        if (n < kToolOffsetCount) {
            state.offsets[n] = static_cast<float>(read[2 * row]);
            state.wear[n] = static_cast<float>(read[2 * row + 1]);
        }
    }
    return 1;
}

void InitOffsetDialog(WindowHandle dialog, OffsetDialogState& state) {
    BeginDialog(dialog);
    if (state.mode == 1) {
        SetPlatformWindowText(dialog,
                              ChooseLanguageText("Setting of H-CODE", "工具長補正値(H-CODE)設定"));
    }
    const float* offsets = LiveOffsets(state.mode);
    const float* wear = LiveWear(state.mode);
    state.offsets.assign(offsets, offsets + kToolOffsetCount);
    state.wear.assign(wear, wear + kToolOffsetCount);
    for (int page = 0; page < kOffsetPages; ++page) {
        InsertTabItem(dialog, kTabBarId, page, OffsetPageLabel(page));
    }
    ShowModifyFile(dialog);
    ShowOffsetPage(dialog, state);
}

void AcceptOffsetDialog(WindowHandle dialog, OffsetDialogState& state) {
    if (!ReadOffsetPage(dialog, state)) {
        return;
    }
    float* offsets = LiveOffsets(state.mode);
    float* wear = LiveWear(state.mode);
    bool changed = false;
    for (int n = 1; n < kToolOffsetCount; ++n) {
        changed =
            changed || offsets[n] != state.offsets[n] || (WearEdited() && wear[n] != state.wear[n]);
    }
    for (int n = 0; n < kToolOffsetCount; ++n) {
        offsets[n] = state.offsets[n];
        if (WearEdited()) {
            wear[n] = state.wear[n];
        }
    }
    EndMemoryDialog(dialog, state.mode == 0 ? kRewriteDOffsets : kRewriteHOffsets, changed);
}

void OffsetDialogCommand(WindowHandle dialog, OffsetDialogState&, int id) {
    ClickModifyFile(dialog, id);
}

constexpr auto OffsetCodeDlgProc =
    PagedDlgProc<OffsetDialogState, InitOffsetDialog, ReadOffsetPage, ShowOffsetPage,
                 OffsetDialogCommand, AcceptOffsetDialog>;

// --- Work coordinates (263) -------------------------------------------------------------------

struct WorkDialogState {
    int page = {};
    int system = {};  // working CurrentWorkSystem
    std::vector<MotionPosition> table = {};
};

int WorkEntryOfRow(const WorkDialogState& state, int row) {
    return state.page * kWorkRows + row + 1;
}

// The 55 value fields of the shown page and the entry and axis each holds.
struct WorkField {
    int id;
    int entry;
    int axis;
};

std::vector<WorkField> WorkFields(const WorkDialogState& state) {
    std::vector<WorkField> fields;
    for (int row = 0; row < kWorkRows; ++row) {
        for (int axis = 0; axis < 5; ++axis) {
            fields.push_back({kWorkValueIds + 5 * row + axis, WorkEntryOfRow(state, row), axis});
        }
    }
    for (int axis = 0; axis < 5; ++axis) {
        fields.push_back({kExternalIds[axis], 0, axis});
    }
    return fields;
}

void CheckStateButtons(WindowHandle dialog, const WorkDialogState& state) {
    for (int row = 0; row < kWorkRows; ++row) {
        CheckDlgButton(dialog, kStateIds + row,
                       WorkEntryOfRow(state, row) == state.system ? BST_CHECKED : BST_UNCHECKED);
    }
}

void ShowWorkPage(WindowHandle dialog, const WorkDialogState& state) {
    const int dialect = Controller.dialect.number;
    for (int row = 0; row < kWorkRows; ++row) {
        const int entry = WorkEntryOfRow(state, row);
        EnableDlgItem(dialog, kStylusIds + row, 1);
        SetDlgItemText(dialog, kStateIds + row, WorkSystemName(entry, dialect));
    }
    for (const WorkField& field : WorkFields(state)) {
        SetDlgItemNumber(dialog, field.id, kWorkFormat,
                         state.table[static_cast<std::size_t>(field.entry)].axis[field.axis]);
    }
    CheckStateButtons(dialog, state);
}

// Evaluates the page's fields into the working table and shows each result; 0 (nothing stored)
// when a field holds no number.
int ReadWorkPage(WindowHandle dialog, WorkDialogState& state) {
    const std::vector<WorkField> fields = WorkFields(state);
    std::vector<double> values;
    for (const WorkField& field : fields) {
        double value = state.table[static_cast<std::size_t>(field.entry)].axis[field.axis];
        if (!ReadMemoryField(dialog, field.id, kWorkFormat, 1, kDoubleLimit, &value)) {
            return 0;
        }
        values.push_back(value);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        state.table[static_cast<std::size_t>(fields[i].entry)].axis[fields[i].axis] = values[i];
        SetDlgItemNumber(dialog, fields[i].id, kWorkFormat, values[i]);
    }
    return 1;
}

// A value field left: its expression evaluated into the working table and shown.
void LeaveWorkField(WindowHandle dialog, WorkDialogState& state, int id) {
    for (const WorkField& field : WorkFields(state)) {
        if (field.id != id) {
            continue;
        }
        double& stored = state.table[static_cast<std::size_t>(field.entry)].axis[field.axis];
        double value = stored;
        if (ReadMemoryField(dialog, id, kWorkFormat, 1, kDoubleLimit, &value)) {
            stored = value;
            SetDlgItemNumber(dialog, id, kWorkFormat, value);
        }
        return;
    }
}

// "Stylus Set" of a row: the last measured point's X, Y or Z alone while that key is held,
// otherwise all three, into the row's fields (they reach the table when evaluated).
void SetRowFromStylus(WindowHandle dialog, int row) {
    const MeasureTraceState& trace = MeasureTrace;
    if (trace.count < 1 || trace.points == nullptr) {
        return;
    }
    const double* point = trace.points + 3 * (trace.count - 1);
    const unsigned keys[3] = {'X', 'Y', 'Z'};
    int held = -1;
    for (int axis = 0; axis < 3 && held < 0; ++axis) {
        if (IsKeyDown(keys[axis])) {
            held = axis;
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (held < 0 || held == axis) {
            SetDlgItemNumber(dialog, kWorkValueIds + 5 * row + axis, kWorkFormat, point[axis]);
        }
    }
}

void ClickStateButton(WindowHandle dialog, WorkDialogState& state, int row) {
    const int entry = WorkEntryOfRow(state, row);
    if (entry != state.system) {
        state.system = entry;
    } else if (Controller.dialect.number != 0) {
        // Outside the plain dialect a second click leaves no system selected.
        state.system = 0;
    }
    CheckStateButtons(dialog, state);
}

void InitWorkDialog(WindowHandle dialog, WorkDialogState& state) {
    ShowAxisLabels(dialog, " ");
    BeginDialog(dialog);
    state.system = RunSession.run.modal.workOffsetIndex;
    state.table.assign(WorkOffsetTable, WorkOffsetTable + kWorkOffsetEntries);
    for (int page = 0; page < kWorkPages; ++page) {
        InsertTabItem(dialog, kTabBarId, page, FormatDialogInteger("%d", page * kWorkRows + 1));
    }
    ShowModifyFile(dialog);
    ShowWorkPage(dialog, state);
}

void AcceptWorkDialog(WindowHandle dialog, WorkDialogState& state) {
    if (!ReadWorkPage(dialog, state)) {
        return;
    }
    bool changed = false;
    for (int entry = 0; entry < kWorkOffsetEntries; ++entry) {
        for (int axis = 0; axis < 5; ++axis) {
            changed = changed || WorkOffsetTable[entry].axis[axis] !=
                                     state.table[static_cast<std::size_t>(entry)].axis[axis];
        }
    }
    SceneDirty.axes.store(1);
    const int previous = RunSession.run.modal.workOffsetIndex;
    for (int entry = 0; entry < kWorkOffsetEntries; ++entry) {
        WorkOffsetTable[entry] = state.table[static_cast<std::size_t>(entry)];
    }
    if (state.system != previous) {
        SelectWorkSystem(state.system);
    }
    // The interpreter takes the table and the system from here on.
    ResetInterpreterState(RunSession);
    EndMemoryDialog(dialog, kRewriteWorkOffsets, changed);
}

void WorkDialogCommand(WindowHandle dialog, WorkDialogState& state, int id) {
    if (ClickModifyFile(dialog, id)) {
        return;
    }
    if (id >= kStateIds && id < kStateIds + kWorkRows) {
        ClickStateButton(dialog, state, id - kStateIds);
    } else if (id >= kStylusIds && id < kStylusIds + kWorkRows) {
        SetRowFromStylus(dialog, id - kStylusIds);
    }
}

// A field left (EN_KILLFOCUS) is read at once; the rest is the paged frame.
MessageResult WorkCoordDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    if (message == WM_COMMAND && CommandCodeOf(wparam) == EN_KILLFOCUS) {
        LeaveWorkField(dialog, DialogStateOf<WorkDialogState>(dialog), CommandIdOf(wparam));
        return 1;
    }
    return PagedDlgProc<WorkDialogState, InitWorkDialog, ReadWorkPage, ShowWorkPage,
                        WorkDialogCommand, AcceptWorkDialog>(dialog, message, wparam, lparam);
}

// --- Control point (155) ----------------------------------------------------------------------

struct ControlPointState {
    int kind = {};         // working: 0 work, 1 machine
    double* staging = {};  // the stock dialog's point (work coordinates), or null
    int axes = 5;          // the fields in use
};

// The value shown in the kind for a work coordinate.
double ShownInKind(int kind, int axis, double work) {
    return kind == 1 ? work + ControlOriginOffset.axis[axis] : work;
}

void InitControlPoint(WindowHandle dialog, ControlPointState& state) {
    // The coordinates the information panel shows: its two machine displays open the dialog in
    // machine coordinates.
    ControlPointCoordinateKind = InfoPanelView.coordinateKind >= 1 ? 1 : 0;
    state.kind = ControlPointCoordinateKind;
    BeginDialog(dialog);
    ShowAxisLabels(dialog, " :");
    for (int axis = 0; axis < 5; ++axis) {
        double shown = 0.0;
        if (state.staging) {
            shown = axis < 3 ? ShownInKind(state.kind, axis, state.staging[axis]) : 0.0;
        } else {
            shown = state.kind == 1 ? RunKinematics.pose.machine.axis[axis]
                                    : RunKinematics.pose.program.axis[axis];
        }
        SetDlgItemNumber(dialog, kPointIds + axis, kPointFormat, shown);
    }
    if (state.staging) {
        // A specified point has no rotary components.
        state.axes = 3;
        for (int axis = 3; axis < 5; ++axis) {
            EnableDlgItem(dialog, kPointIds + axis, 0);
            EnableDlgItem(dialog, kAxisLabelIds + axis, 0);
        }
    }
    CheckRadioGroup(dialog, kKindIds, 2, state.kind);
}

// The fields converted to the other kind; a field that holds no number is left as it is.
void SwitchControlPointKind(WindowHandle dialog, ControlPointState& state, int kind) {
    if (kind == state.kind) {
        return;
    }
    const double sign = kind == 1 ? 1.0 : -1.0;
    for (int axis = 0; axis < state.axes; ++axis) {
        double value = 0.0;
        if (ReadDlgItemNumber(dialog, kPointIds + axis, &value)) {
            SetDlgItemNumber(dialog, kPointIds + axis, kPointFormat,
                             value + sign * ControlOriginOffset.axis[axis]);
        }
    }
    state.kind = kind;
}

// Shows the interference message of the code with the dialog as owner.
void ShowControlPointMessage(WindowHandle dialog, int code) {
    InterferenceMessageContext context;
    GatherInterferenceMessageContext(RunSession, 0, &context);
    ShowInterferenceMessage(dialog, 0, DefinitionFiles.ncProgramFile.c_str(), code, context);
}

// Steps 2 to 6 of OK from the menu, once the position is stored: 1 when the dialog may end.
int PlaceCutAndCheck(WindowHandle dialog) {
    // The tool is placed as a rapid places it.
    RunKinematics.motion.motionType = 0;
    UpdateMachinePosition(RunKinematics);
    const int outside = CheckOverTravel(RunKinematics.pose.machine.axis);
    if (outside >= 0) {
        SaveMotionState(RunSession, &WindowRun.reports.motionSnapshot);
        RedrawMainWindow(MainWindow.load());
        PlayRefusalSounds();
        ShowControlPointMessage(dialog, kOverTravelCode);
        return 0;
    }
    ToolPoseStep step;
    step.rapidMark = true;
    CuttingState& cutting = WindowRun.cutting;
    StockModel* stock = StockCommands.stockPresent ? &CurrentStockModel() : nullptr;
    const ToolPoseFindings found = CutAndCheckToolPose(cutting, RunSession, stock, step);
    const bool flagged = found.cuttingAlarm || found.interference;
    if (!found.contact && !flagged) {
        return 1;
    }
    if (StockCommands.stockPresent) {
        MarkCurrentStockDirty();
    }
    RedrawMainWindow(MainWindow.load());
    PlayRefusalSounds();
    if (flagged) {
        int alarmSound = 0;
        ShowControlPointMessage(
            dialog, ChooseAlarmCode(MakeCurrentInterferenceStep(cutting.flags, RunSession, stock),
                                    0, 0, 0, 0, &alarmSound));
    }
    return 0;
}

void AcceptControlPoint(WindowHandle dialog, ControlPointState& state) {
    double values[5] = {};
    NumberField fields[5];
    for (int axis = 0; axis < 5; ++axis) {
        values[axis] = state.staging
                           ? (axis < 3 ? ShownInKind(state.kind, axis, state.staging[axis]) : 0.0)
                           : (state.kind == 1 ? RunKinematics.pose.machine.axis[axis]
                                              : RunKinematics.pose.program.axis[axis]);
        fields[axis] = NumberField{kPointIds + axis, kPointFormat, &values[axis]};
    }
    if (!ReadNumberFields(dialog, fields, static_cast<std::size_t>(state.axes))) {
        return;
    }
    ControlPointCoordinateKind = state.kind;
    const double toWork = state.kind == 1 ? -1.0 : 0.0;
    if (state.staging) {
        for (int axis = 0; axis < 3; ++axis) {
            state.staging[axis] = values[axis] + toWork * ControlOriginOffset.axis[axis];
        }
        EndDialog(dialog, 1);
        return;
    }
    for (int axis = 0; axis < 5; ++axis) {
        const double work = values[axis] + toWork * ControlOriginOffset.axis[axis];
        RunKinematics.pose.program.axis[axis] = work;
        RunKinematics.pose.machine.axis[axis] = work + ControlOriginOffset.axis[axis];
    }
    if (PlaceCutAndCheck(dialog)) {
        EndDialog(dialog, 1);
    }
}

void ControlPointCommand(WindowHandle dialog, ControlPointState& state, int id) {
    if (int kind = IndexOfId(kKindIds, 2, id); kind >= 0) {
        SwitchControlPointKind(dialog, state, kind);
        CheckRadioGroup(dialog, kKindIds, 2, state.kind);
    }
}

constexpr auto ControlPointDlgProc =
    StateDlgProc<ControlPointState, InitControlPoint, ControlPointCommand, AcceptControlPoint>;

// --- Basis-point note (225) -------------------------------------------------------------------

MessageResult BasisPointNoteDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                                    MessageLParam) {
    switch (message) {
        case WM_INITDIALOG: {
            BeginDialog(dialog);
            bool same = true;
            for (int axis = 0; axis < 3; ++axis) {
                SetDlgItemNumber(dialog, kNoteValueIds + axis, kPointFormat,
                                 ControlOriginOffset.axis[axis]);
                same = same && ControlOriginOffset.axis[axis] == 0.0;
            }
            if (!same) {
                SetDlgItemText(dialog, kNoteSameId,
                               ChooseLanguageText("different from Machine One.",
                                                  "下記のようにズレがあります"));
            }
            return 1;
        }
        case WM_COMMAND:
            if (CommandIdOf(wparam) != IDOK && CommandIdOf(wparam) != IDCANCEL) {
                return 1;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            // The view owns the note and destroys it.
            PostWindowMessage(GetDialogOwner(dialog), kViewCloseNote, 0, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

std::string WorkSystemName(int entry, int dialect) {
    if (dialect != 0) {
        return FormatDialogInteger("%d", entry);
    }
    if (entry >= 1 && entry <= 6) {
        return FormatDialogInteger("G5%d", entry + 3);
    }
    return FormatDialogInteger("P%d", entry - 6);
}

std::string OffsetPageLabel(int page) {
    return FormatDialogInteger(page < 5 ? "%02d" : "%d", page * kOffsetRows + 1);
}

void SelectWorkSystem(int entry) {
    if (entry < 0 || entry >= kWorkOffsetEntries) {
        return;
    }
    RunSession.run.modal.workOffsetIndex = entry;
    Controller.workOffsetIndex = entry;
    StatusInputs.workOffsetIndex = entry;
    DrawStatusBar();
    for (int axis = 0; axis < 5; ++axis) {
        const double origin =
            WorkOffsetTable[0].axis[axis] + (entry > 0 ? WorkOffsetTable[entry].axis[axis] : 0.0);
        RunKinematics.pose.program.axis[axis] += ControlOriginOffset.axis[axis] - origin;
        ControlOriginOffset.axis[axis] = origin;
    }
}

int OpenOffsetCodeDialog(int mode) {
    OffsetDialogState state;
    state.mode = mode == 1 ? 1 : 0;
    return OpenOutsideRun(IDD_OFFSET_CODES, OffsetCodeDlgProc,
                          reinterpret_cast<MessageLParam>(&state));
}

int OpenWorkCoordinatesDialog() {
    WorkDialogState state;
    return OpenOutsideRun(IDD_WORK_COORDINATES, WorkCoordDlgProc,
                          reinterpret_cast<MessageLParam>(&state));
}

int OpenControlPointDialog() {
    ControlPointState state;
    return OpenOutsideRun(IDD_CONTROL_POINT, ControlPointDlgProc,
                          reinterpret_cast<MessageLParam>(&state));
}

int OpenSpecifiedPointDialog(WindowHandle owner, double point[3]) {
    ControlPointState state;
    state.staging = point;
    return Opened(OpenModalDialog(IDD_CONTROL_POINT, owner, ControlPointDlgProc,
                                  reinterpret_cast<MessageLParam>(&state)));
}

WindowHandle OpenBasisPointNote(WindowHandle view, int x, int y) {
    const DialogTemplate* note = FindDialogTemplate(IDD_BASIS_POINT_NOTE);
    if (!note) {
        return nullptr;
    }
    WindowHandle dialog = CreateModelessDialog(*note, view, BasisPointNoteDlgProc, 0);
    if (!dialog) {
        return nullptr;
    }
    // The note is a top-level window: the view's client point becomes a screen point.
    for (WindowHandle w = view; w != nullptr; w = GetParentWindow(w)) {
        WindowRect placed = {};
        GetPlatformWindowRect(w, &placed);
        if (GetParentWindow(w) != nullptr) {
            x += placed.left;
            y += placed.top;
            continue;
        }
        // A frame's sides and bottom edge are one border wide; its top holds the caption and menu.
        // A minimised window has no client area: its rectangle stands for it.
        WindowRect client = {};
        GetWindowClientRect(w, &client);
        const bool shown = client.right > 0 && client.bottom > 0;
        const int border =
            shown ? std::max(0, ((placed.right - placed.left) - client.right) / 2) : 0;
        x += placed.left + border;
        y += shown ? placed.bottom - border - client.bottom : placed.top;
    }
    const WindowRect size = DialogUnitsToPixels(0, 0, note->w, note->h);
    MovePlatformWindow(dialog, WindowRect{x, y, x + size.right, y + size.bottom});
    ShowPlatformWindow(dialog, SW_SHOW);
    return dialog;
}

void ResetOffsetDialogs() {
    ModifyControllerFile = 0;
    ControlPointCoordinateKind = 0;
    PendingControllerRewrites = 0;
}

}  // namespace mirexa
