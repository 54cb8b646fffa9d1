// The stock dialogs' procedures and their openers.
#include "dialogs/stock_dialogs.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "dialogs/dialog_conventions.h"
#include "dialogs/dialog_frame.h"
#include "dialogs/offset_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "platform/profile.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/run_commands.h"
#include "stock/stock_shapes.h"

namespace mirexa {

int StockCoordinateKind = 0;
StockTransformParameters StockTransform;
int StockOffsetDirection = kOffsetModeNormal;

namespace {

constexpr int kCoordinateIds[2] = {1423, 1424};
constexpr int kControlPointIds[3] = {1242, 1243, 1244};
constexpr int kCylinderAxisIds[3] = {1374, 1376, 1378};
constexpr int kBoxIds[6] = {142, 143, 144, 145, 146, 147};
constexpr int kBaseIds[3] = {1370, 1371, 1372};
constexpr int kCylinderSizeIds[3] = {1381, 1382, 1384};
constexpr int kPitchId = 140;
constexpr int kDetailId = 1358;
constexpr int kControlPointButtonId = 1245;
constexpr int kSpecifiedPointId = 1246;
constexpr int kAxisIds[3] = {1141, 1142, 1143};
constexpr int kAngleId = 1148;
constexpr int kSwingCentreIds[3] = {1146, 1147, 1149};
constexpr int kShiftIds[3] = {1045, 1046, 1047};
constexpr int kOffsetDirectionIds[3] = {204, 205, 207};  // modes 1, 2, 3
constexpr int kOffsetValueId = 206;
constexpr int kClipMaxIds[3] = {1016, 1018, 1019};
constexpr int kClipMinIds[3] = {1015, 1017, 1020};
constexpr int kStateIds[3] = {1398, 1397, 1396};  // states 0, 1, 2
constexpr int kReverseDirectionIds[2] = {161, 162};
constexpr int kKeepIds[3] = {1330, 1331, 1332};
constexpr int kScaleIds[3] = {1425, 1426, 1427};
constexpr int kRateIds[3] = {1428, 1429, 1430};
constexpr int kScaleCentreIds[3] = {1431, 1432, 1433};
constexpr int kMirrorIds[3] = {1434, 1435, 1436};
constexpr int kMirrorCentreIds[3] = {1437, 1438, 1439};
constexpr int kReferenceIds[7] = {1397, 1401, 1402, 1403, 1404, 1399, 1400};
constexpr int kReferenceValues[7] = {0, 1, -1, 2, -2, 3, -3};
// Dialog 286, per axis: the placement buttons (-1, 0, 1), the size and the two margins.
constexpr int kPlacementIds[3][3] = {{1460, 1461, 1462}, {1470, 1471, 1472}, {1480, 1481, 1482}};
constexpr int kSideFieldIds[3][3] = {{1464, 1466, 1468}, {1474, 1476, 1478}, {1484, 1486, 1488}};
constexpr const char* kCoordinateFormat = "%8.3f";

WindowHandle Owner() {
    return MainWindow.load();
}

int ChoiceIndex(int value, int count) {
    return value >= 0 && value < count ? value : 0;
}

bool ControlOriginIsZero() {
    return ControlOriginOffset.axis[0] == 0.0 && ControlOriginOffset.axis[1] == 0.0 &&
           ControlOriginOffset.axis[2] == 0.0;
}

double SinglePrecision(double value) {
    return static_cast<double>(static_cast<float>(value));
}

// English dialogs relabel their OK button.
void RelabelOk(WindowHandle dialog, const char* label) {
    if (UiLanguage.load() == 1) {
        SetDlgItemText(dialog, IDOK, label);
    }
}

std::string FormatPoint(const char* format, const double point[3]) {
    char text[128];
    std::snprintf(text, sizeof text, format, point[0], point[1], point[2]);
    return text;
}

// --- The control point ---------------------------------------------------------------------

// "Control Point" of the stock definition dialogs: the nested dialog's point becomes the
// specified point, shown in 1246 and written to the settings file at once (kept even when the
// stock dialog is cancelled afterwards).
void AskSpecifiedPoint(WindowHandle dialog) {
    double staging[3];
    for (int axis = 0; axis < 3; ++axis) {
        staging[axis] = Settings.specifiedPoint[axis];
    }
    if (!OpenSpecifiedPointDialog(dialog, staging)) {
        return;
    }
    for (int axis = 0; axis < 3; ++axis) {
        Settings.specifiedPoint[axis] = staging[axis];
    }
    const std::string text = FormatPoint("(%.3f,%.3f,%.3f)", staging);
    SetDlgItemText(dialog, kSpecifiedPointId, text);
    if (AutomaticMode.load() == 0 && !DefinitionFiles.settingsPath.empty()) {
        WriteProfileValue("Define", "SPECIFIED POINT", text, DefinitionFiles.settingsPath);
    }
}

// The pitch field and the specified point, shared by dialogs 148, 278 and 286.
void ShowPitchAndPoint(WindowHandle dialog) {
    SetDlgItemNumber(dialog, kPitchId, "%5.3f", DexelPitch.requestedPitch);
    EnableDlgItem(dialog, kPitchId, DexelPitch.automatic ? 0 : 1);
    SetDlgItemText(dialog, kSpecifiedPointId,
                   FormatPoint("( %.3f, %.3f, %.3f )", Settings.specifiedPoint));
}

// --- Two-point box and cylinder (148, 278) ---------------------------------------------------

struct DefineDialogState {
    StockBoxChoice* choice = {};
    int cylinder = {};
    int kind = {};  // working StockCoordinateKind
    int mode = {};  // working control point mode
    int axis = {};  // working cylinder axis
};

// The coordinate fields of the dialog with the stored machine values they show.
struct CoordinateField {
    int id;
    int axis;
    double* stored;
};

std::vector<CoordinateField> CoordinateFields(const DefineDialogState& state) {
    std::vector<CoordinateField> fields;
    if (state.cylinder) {
        for (int axis = 0; axis < 3; ++axis) {
            fields.push_back({kBaseIds[axis], axis, &InitialStock.cylinder[axis]});
        }
    } else {
        for (int i = 0; i < 6; ++i) {
            fields.push_back({kBoxIds[i], i % 3, &InitialStock.box[i]});
        }
    }
    return fields;
}

// The shown value of a machine coordinate in the working kind.
double ShownCoordinate(const DefineDialogState& state, int axis, double machine) {
    return state.kind == 1 ? machine - ControlOriginOffset.axis[axis] : machine;
}

void CheckDefineGroups(WindowHandle dialog, const DefineDialogState& state) {
    CheckRadioGroup(dialog, kCoordinateIds, 2, state.kind);
    CheckRadioGroup(dialog, kControlPointIds, 3, state.mode);
    if (state.cylinder) {
        CheckRadioGroup(dialog, kCylinderAxisIds, 3, state.axis);
    }
}

void InitDefineDialog(WindowHandle dialog, DefineDialogState& state) {
    BeginDialog(dialog);
    state.kind = StockCoordinateKind == 1 ? 1 : 0;
    state.mode = ChoiceIndex(state.choice->controlPointMode, 3);
    state.axis = ChoiceIndex(InitialStock.cylinderAxis, 3);
    if (ControlOriginIsZero()) {
        EnableDlgItem(dialog, kCoordinateIds[0], 0);
        EnableDlgItem(dialog, kCoordinateIds[1], 0);
    }
    for (const CoordinateField& field : CoordinateFields(state)) {
        SetDlgItemNumber(dialog, field.id, kCoordinateFormat,
                         ShownCoordinate(state, field.axis, *field.stored));
    }
    if (state.cylinder) {
        for (int i = 0; i < 3; ++i) {
            SetDlgItemNumber(dialog, kCylinderSizeIds[i], kCoordinateFormat,
                             InitialStock.cylinder[3 + i]);
        }
    }
    ShowPitchAndPoint(dialog);
    CheckDefineGroups(dialog, state);
}

// A change of the coordinate kind converts the numbers shown, so that the point they name stays
// where it was (a field that holds no number is left as it is).
void SwitchCoordinateKind(WindowHandle dialog, DefineDialogState& state, int kind) {
    if (kind == state.kind) {
        return;
    }
    const double sign = kind == 1 ? -1.0 : 1.0;
    for (const CoordinateField& field : CoordinateFields(state)) {
        double value = 0.0;
        if (ReadDlgItemNumber(dialog, field.id, &value)) {
            SetDlgItemNumber(dialog, field.id, kCoordinateFormat,
                             value + sign * ControlOriginOffset.axis[field.axis]);
        }
    }
    state.kind = kind;
}

// "Detail": the pitch settings, stored at their OK (kept even when the stock dialog is cancelled
// afterwards); the pitch field then shows the pitch they give.
void AskPitchSettings(WindowHandle dialog) {
    if (OpenPitchDialog(dialog) == 1) {
        SetDlgItemNumber(dialog, kPitchId, "%5.3f", DexelPitch.requestedPitch);
        EnableDlgItem(dialog, kPitchId, DexelPitch.automatic ? 0 : 1);
    }
}

void AcceptDefineDialog(WindowHandle dialog, DefineDialogState& state) {
    const std::vector<CoordinateField> coordinates = CoordinateFields(state);
    std::vector<double> values;
    for (const CoordinateField& field : coordinates) {
        values.push_back(ShownCoordinate(state, field.axis, *field.stored));
    }
    double sizes[3] = {InitialStock.cylinder[3], InitialStock.cylinder[4],
                       InitialStock.cylinder[5]};
    double pitch = DexelPitch.requestedPitch;
    std::vector<NumberField> fields;
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        fields.push_back({coordinates[i].id, kCoordinateFormat, &values[i]});
    }
    if (state.cylinder) {
        for (int i = 0; i < 3; ++i) {
            fields.push_back({kCylinderSizeIds[i], kCoordinateFormat, &sizes[i]});
        }
    }
    if (!DexelPitch.automatic) {
        fields.push_back({kPitchId, "%5.3f", &pitch});
    }
    if (!ReadNumberFields(dialog, fields.data(), fields.size())) {
        return;
    }
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        const int axis = coordinates[i].axis;
        *coordinates[i].stored =
            state.kind == 1 ? values[i] + ControlOriginOffset.axis[axis] : values[i];
    }
    if (state.cylinder) {
        for (int i = 0; i < 3; ++i) {
            InitialStock.cylinder[3 + i] = sizes[i];
        }
        InitialStock.cylinderAxis = state.axis;
    }
    DexelPitch.requestedPitch = pitch;
    StockCoordinateKind = state.kind;
    state.choice->controlPointMode = state.mode;
    EndDialog(dialog, 1);
}

void CommandDefineDialog(WindowHandle dialog, DefineDialogState& state, int id) {
    if (int kind = IndexOfId(kCoordinateIds, 2, id); kind >= 0) {
        SwitchCoordinateKind(dialog, state, kind);
    } else if (int mode = IndexOfId(kControlPointIds, 3, id); mode >= 0) {
        state.mode = mode;
    } else if (int axis = IndexOfId(kCylinderAxisIds, 3, id); axis >= 0 && state.cylinder) {
        state.axis = axis;
    } else if (id == kControlPointButtonId) {
        AskSpecifiedPoint(dialog);
    } else if (id == kDetailId) {
        AskPitchSettings(dialog);
    }
    CheckDefineGroups(dialog, state);
}

int OpenDefineDialog(int templateId, StockBoxChoice* choice, int cylinder) {
    if (!choice) {
        return 0;
    }
    DefineDialogState state;
    state.choice = choice;
    state.cylinder = cylinder;
    return Opened(OpenModalDialog(
        templateId, Owner(),
        StateDlgProc<DefineDialogState, InitDefineDialog, CommandDefineDialog, AcceptDefineDialog>,
        reinterpret_cast<MessageLParam>(&state)));
}

// --- Box against the work origin (286) --------------------------------------------------------

struct OriginDialogState {
    StockBoxChoice* choice = {};
    int placement[3] = {};  // working -1, 0, 1 per axis
};

void CheckOriginGroups(WindowHandle dialog, const OriginDialogState& state) {
    for (int axis = 0; axis < 3; ++axis) {
        CheckRadioGroup(dialog, kPlacementIds[axis], 3, state.placement[axis] + 1);
    }
    CheckRadioGroup(dialog, kControlPointIds, 3, ChoiceIndex(state.choice->controlPointMode, 3));
}

void AcceptOriginDialog(WindowHandle dialog, OriginDialogState& state) {
    double values[3][3];
    double pitch = DexelPitch.requestedPitch;
    std::vector<NumberField> fields;
    for (int axis = 0; axis < 3; ++axis) {
        values[axis][0] = InitialStock.sideSize[axis];
        values[axis][1] = InitialStock.sideLowMargin[axis];
        values[axis][2] = InitialStock.sideHighMargin[axis];
        for (int k = 0; k < 3; ++k) {
            fields.push_back({kSideFieldIds[axis][k], kCoordinateFormat, &values[axis][k]});
        }
    }
    if (!DexelPitch.automatic) {
        fields.push_back({kPitchId, "%5.3f", &pitch});
    }
    if (!ReadNumberFields(dialog, fields.data(), fields.size())) {
        return;
    }
    for (int axis = 0; axis < 3; ++axis) {
        InitialStock.sideReference[axis] = state.placement[axis];
        InitialStock.sideSize[axis] = values[axis][0];
        InitialStock.sideLowMargin[axis] = values[axis][1];
        InitialStock.sideHighMargin[axis] = values[axis][2];
    }
    ComputeOriginBoxCorners(InitialStock, ControlOriginOffset.axis, InitialStock.box);
    DexelPitch.requestedPitch = pitch;
    EndDialog(dialog, 1);
}

void InitOriginDialog(WindowHandle dialog, OriginDialogState& state) {
    BeginDialog(dialog);
    for (int axis = 0; axis < 3; ++axis) {
        const int reference = InitialStock.sideReference[axis];
        state.placement[axis] = reference < 0 ? -1 : (reference > 0 ? 1 : 0);
        SetDlgItemNumber(dialog, kSideFieldIds[axis][0], kCoordinateFormat,
                         InitialStock.sideSize[axis]);
        SetDlgItemNumber(dialog, kSideFieldIds[axis][1], kCoordinateFormat,
                         InitialStock.sideLowMargin[axis]);
        SetDlgItemNumber(dialog, kSideFieldIds[axis][2], kCoordinateFormat,
                         InitialStock.sideHighMargin[axis]);
    }
    ShowPitchAndPoint(dialog);
    CheckOriginGroups(dialog, state);
}

void CommandOriginDialog(WindowHandle dialog, OriginDialogState& state, int id) {
    if (int mode = IndexOfId(kControlPointIds, 3, id); mode >= 0) {
        // Stored at the click, so that a cancelled dialog keeps it.
        state.choice->controlPointMode = mode;
        Settings.newControlPoint = mode;
    } else if (id == kControlPointButtonId) {
        AskSpecifiedPoint(dialog);
    } else if (id == kDetailId) {
        AskPitchSettings(dialog);
    } else {
        for (int axis = 0; axis < 3; ++axis) {
            if (int placement = IndexOfId(kPlacementIds[axis], 3, id); placement >= 0) {
                state.placement[axis] = placement - 1;
            }
        }
    }
    CheckOriginGroups(dialog, state);
}

// --- Move, rotate, offset, XYZ cut, state (224, 280, 201, 216, 281) -------------------------

// A dialog of number fields and at most one radio group, whose choice is a working copy until
// OK.
struct ChoiceDialogState {
    const int* ids = {};  // the group's buttons (count 0: no group)
    int count = {};
    int choice = {};   // working index
    int* stored = {};  // the index stored on OK (null without a group)
    std::vector<NumberField> fields = {};
    const char* okLabel = {};  // English relabelling of OK, or null
};

void InitChoiceDialog(WindowHandle dialog, ChoiceDialogState& state) {
    BeginDialog(dialog);
    if (state.okLabel) {
        RelabelOk(dialog, state.okLabel);
    }
    state.choice = state.stored ? ChoiceIndex(*state.stored, state.count) : 0;
    ShowNumberFields(dialog, state.fields.data(), state.fields.size());
    CheckRadioGroup(dialog, state.ids, static_cast<std::size_t>(state.count), state.choice);
}

void CommandChoiceDialog(WindowHandle dialog, ChoiceDialogState& state, int id) {
    if (int index = IndexOfId(state.ids, static_cast<std::size_t>(state.count), id); index >= 0) {
        state.choice = index;
        CheckRadioGroup(dialog, state.ids, static_cast<std::size_t>(state.count), state.choice);
    }
}

void AcceptChoiceDialog(WindowHandle dialog, ChoiceDialogState& state) {
    if (ReadNumberFields(dialog, state.fields.data(), state.fields.size())) {
        if (state.stored) {
            *state.stored = state.choice;
        }
        EndDialog(dialog, 1);
    }
}

constexpr DialogProcedure ChoiceDlgProc =
    StateDlgProc<ChoiceDialogState, InitChoiceDialog, CommandChoiceDialog, AcceptChoiceDialog>;

// --- Swing (235) ------------------------------------------------------------------------------

struct SwingDialogState {
    int axis = {};
    int withoutZ = {};
};

void EnableSwingCentres(WindowHandle dialog, int axis) {
    for (int i = 0; i < 3; ++i) {
        EnableDlgItem(dialog, kSwingCentreIds[i], i == axis ? 0 : 1);
    }
    CheckRadioGroup(dialog, kAxisIds, 3, axis);
}

void AcceptSwingDialog(WindowHandle dialog, SwingDialogState& state) {
    double centre[3] = {StockTransform.swingCentre[0], StockTransform.swingCentre[1],
                        StockTransform.swingCentre[2]};
    double angle = StockTransform.swingAngle;
    const NumberField fields[4] = {{kSwingCentreIds[0], kCoordinateFormat, &centre[0]},
                                   {kSwingCentreIds[1], kCoordinateFormat, &centre[1]},
                                   {kSwingCentreIds[2], kCoordinateFormat, &centre[2]},
                                   {kAngleId, kCoordinateFormat, &angle}};
    if (!ReadNumberFields(dialog, fields, 4)) {
        return;
    }
    StockTransform.swingAxis = state.axis;
    for (int i = 0; i < 3; ++i) {
        StockTransform.swingCentre[i] = SinglePrecision(centre[i]);
    }
    StockTransform.swingAngle = SinglePrecision(angle);
    EndDialog(dialog, 1);
}

void InitSwingDialog(WindowHandle dialog, SwingDialogState& state) {
    BeginDialog(dialog);
    RelabelOk(dialog, "GO(&O)");
    state.axis = ChoiceIndex(StockTransform.swingAxis, 3);
    const int kind = StockTransform.stockOpenKind;
    if (kind == 1 || kind >= 6) {
        // These files cannot be swung about Z.
        RemoveDlgItem(dialog, kAxisIds[2]);
        state.withoutZ = 1;
        if (state.axis == 2) {
            state.axis = 0;
        }
    }
    for (int i = 0; i < 3; ++i) {
        SetDlgItemNumber(dialog, kSwingCentreIds[i], kCoordinateFormat,
                         StockTransform.swingCentre[i]);
    }
    SetDlgItemNumber(dialog, kAngleId, kCoordinateFormat, StockTransform.swingAngle);
    EnableSwingCentres(dialog, state.axis);
}

void CommandSwingDialog(WindowHandle dialog, SwingDialogState& state, int id) {
    if (int axis = IndexOfId(kAxisIds, 3, id); axis >= 0 && !(axis == 2 && state.withoutZ)) {
        state.axis = axis;
        EnableSwingCentres(dialog, state.axis);
    }
}

// --- Reverse (159) ----------------------------------------------------------------------------

struct ReverseDialogState {
    int direction = {};  // working index: 0 X, 1 Y
    int keep[3] = {};
};

void CheckReverseControls(WindowHandle dialog, const ReverseDialogState& state) {
    CheckRadioGroup(dialog, kReverseDirectionIds, 2, state.direction);
    for (int i = 0; i < 3; ++i) {
        CheckDlgButton(dialog, kKeepIds[i], state.keep[i] ? BST_CHECKED : BST_UNCHECKED);
    }
}

void InitReverseDialog(WindowHandle dialog, ReverseDialogState& state) {
    BeginDialog(dialog);
    RelabelOk(dialog, "GO(&G)");
    state.direction = StockTransform.reverseDirection == 2 ? 1 : 0;
    for (int i = 0; i < 3; ++i) {
        state.keep[i] = StockTransform.keepFlags[i] ? 1 : 0;
        // A height map keeps no colours.
        if (StockTransform.stockOpenKind == 2) {
            EnableDlgItem(dialog, kKeepIds[i], 0);
        }
    }
    CheckReverseControls(dialog, state);
}

void CommandReverseDialog(WindowHandle dialog, ReverseDialogState& state, int id) {
    if (int direction = IndexOfId(kReverseDirectionIds, 2, id); direction >= 0) {
        state.direction = direction;
    } else if (int keep = IndexOfId(kKeepIds, 3, id); keep >= 0) {
        state.keep[keep] = 1 - state.keep[keep];
    }
    CheckReverseControls(dialog, state);
}

void AcceptReverseDialog(WindowHandle dialog, ReverseDialogState& state) {
    StockTransform.reverseDirection = state.direction + 1;
    for (int i = 0; i < 3; ++i) {
        StockTransform.keepFlags[i] = state.keep[i];
    }
    EndDialog(dialog, 1);
}

// --- STL read settings (282) ------------------------------------------------------------------

struct StlDialogState {
    int kind = {};
    int scale[3] = {};
    int mirror[3] = {};
    int reference = {};  // index into kReferenceValues
};

void ShowStlChoices(WindowHandle dialog, const StlDialogState& state) {
    CheckRadioGroup(dialog, kCoordinateIds, 2, state.kind);
    CheckRadioGroup(dialog, kReferenceIds, 7, state.reference);
    for (int axis = 0; axis < 3; ++axis) {
        CheckDlgButton(dialog, kScaleIds[axis], state.scale[axis] ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kMirrorIds[axis], state.mirror[axis] ? BST_CHECKED : BST_UNCHECKED);
        EnableDlgItem(dialog, kRateIds[axis], state.scale[axis]);
        EnableDlgItem(dialog, kScaleCentreIds[axis], state.scale[axis]);
        EnableDlgItem(dialog, kMirrorCentreIds[axis], state.mirror[axis]);
    }
}

void AcceptStlDialog(WindowHandle dialog, StlDialogState& state) {
    double rates[3];
    double scaleCentres[3];
    double mirrorCentres[3];
    std::vector<NumberField> fields;
    for (int axis = 0; axis < 3; ++axis) {
        rates[axis] = StlImport.scaleRates[axis];
        scaleCentres[axis] = StlImport.scaleCentres[axis];
        mirrorCentres[axis] = StlImport.mirrorCentres[axis];
        // Only the fields of the chosen transforms are read; the others keep their values.
        if (state.scale[axis]) {
            fields.push_back({kRateIds[axis], "%8.5f", &rates[axis]});
            fields.push_back({kScaleCentreIds[axis], "%8.4f", &scaleCentres[axis]});
        }
        if (state.mirror[axis]) {
            fields.push_back({kMirrorCentreIds[axis], "%8.4f", &mirrorCentres[axis]});
        }
    }
    if (!ReadNumberFields(dialog, fields.data(), fields.size())) {
        return;
    }
    StlImport.coordinateKind = state.kind;
    int anyTransform = state.kind == 1;
    for (int axis = 0; axis < 3; ++axis) {
        StlImport.scaleFlags[axis] = state.scale[axis];
        StlImport.mirrorFlags[axis] = state.mirror[axis];
        StlImport.scaleRates[axis] = rates[axis];
        StlImport.scaleCentres[axis] = scaleCentres[axis];
        StlImport.mirrorCentres[axis] = mirrorCentres[axis];
        anyTransform |= state.scale[axis] | state.mirror[axis];
    }
    StlImport.transformFlag = anyTransform ? 1 : 0;
    StlImport.referenceDirection = kReferenceValues[state.reference];
    EndDialog(dialog, 1);
}

void InitStlDialog(WindowHandle dialog, StlDialogState& state) {
    BeginDialog(dialog);
    state.kind = StlImport.coordinateKind == 1 ? 1 : 0;
    state.reference = 0;
    for (int i = 0; i < 7; ++i) {
        if (kReferenceValues[i] == StlImport.referenceDirection) {
            state.reference = i;
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        state.scale[axis] = StlImport.scaleFlags[axis] ? 1 : 0;
        state.mirror[axis] = StlImport.mirrorFlags[axis] ? 1 : 0;
        SetDlgItemNumber(dialog, kRateIds[axis], "%8.5f", StlImport.scaleRates[axis]);
        SetDlgItemNumber(dialog, kScaleCentreIds[axis], "%8.4f", StlImport.scaleCentres[axis]);
        SetDlgItemNumber(dialog, kMirrorCentreIds[axis], "%8.4f", StlImport.mirrorCentres[axis]);
    }
    if (ControlOriginIsZero()) {
        EnableDlgItem(dialog, kCoordinateIds[0], 0);
        EnableDlgItem(dialog, kCoordinateIds[1], 0);
    }
    ShowStlChoices(dialog, state);
}

void CommandStlDialog(WindowHandle dialog, StlDialogState& state, int id) {
    if (int kind = IndexOfId(kCoordinateIds, 2, id); kind >= 0) {
        state.kind = kind;
    } else if (int reference = IndexOfId(kReferenceIds, 7, id); reference >= 0) {
        state.reference = reference;
    } else if (int scale = IndexOfId(kScaleIds, 3, id); scale >= 0) {
        state.scale[scale] = 1 - state.scale[scale];
    } else if (int mirror = IndexOfId(kMirrorIds, 3, id); mirror >= 0) {
        state.mirror[mirror] = 1 - state.mirror[mirror];
    }
    ShowStlChoices(dialog, state);
}

}  // namespace

void ComputeOriginBoxCorners(const StockDefinition& stock, const double origin[3], double box[6]) {
    for (int axis = 0; axis < 3; ++axis) {
        const double size = stock.sideSize[axis];
        const int reference = stock.sideReference[axis];
        const double low = reference < 0 ? 0.0 : (reference > 0 ? -size : -size / 2.0);
        box[axis] = origin[axis] + low - stock.sideLowMargin[axis];
        box[axis + 3] = origin[axis] + low + size + stock.sideHighMargin[axis];
    }
}

int OpenTwoPointStockDialog(StockBoxChoice* choice) {
    return OpenDefineDialog(IDD_STOCK_TWO_POINT, choice, 0);
}

int OpenCylinderStockDialog(StockBoxChoice* choice) {
    return OpenDefineDialog(IDD_STOCK_CYLINDER, choice, 1);
}

int OpenOriginStockDialog(StockBoxChoice* choice) {
    if (!choice) {
        return 0;
    }
    OriginDialogState state;
    state.choice = choice;
    return Opened(OpenModalDialog(
        IDD_STOCK_FROM_ORIGIN, Owner(),
        StateDlgProc<OriginDialogState, InitOriginDialog, CommandOriginDialog, AcceptOriginDialog>,
        reinterpret_cast<MessageLParam>(&state)));
}

int OpenStockMoveDialog(double shift[3]) {
    ChoiceDialogState state;
    for (int axis = 0; axis < 3; ++axis) {
        state.fields.push_back({kShiftIds[axis], kCoordinateFormat, &shift[axis]});
    }
    return Opened(OpenModalDialog(IDD_STOCK_MOVE, Owner(), ChoiceDlgProc,
                                  reinterpret_cast<MessageLParam>(&state)));
}

int OpenStockRotateDialog(int* axis, double* angle) {
    double typed = *angle;
    ChoiceDialogState state;
    state.ids = kAxisIds;
    state.count = 3;
    state.stored = axis;
    state.fields.push_back({kAngleId, kCoordinateFormat, &typed});
    state.okLabel = "GO(&O)";
    if (!Opened(OpenModalDialog(IDD_STOCK_ROTATE, Owner(), ChoiceDlgProc,
                                reinterpret_cast<MessageLParam>(&state)))) {
        return 0;
    }
    *angle = SinglePrecision(typed);
    return 1;
}

int OpenStockOffsetDialog(StockOffsetParameters* parameters) {
    int direction = ChoiceIndex(StockOffsetDirection - 1, 3);
    double value = parameters->value;
    ChoiceDialogState state;
    state.ids = kOffsetDirectionIds;
    state.count = 3;
    state.stored = &direction;
    state.fields.push_back({kOffsetValueId, kCoordinateFormat, &value});
    state.okLabel = "GO(&G)";
    if (!Opened(OpenModalDialog(IDD_STOCK_OFFSET, Owner(), ChoiceDlgProc,
                                reinterpret_cast<MessageLParam>(&state)))) {
        return 0;
    }
    StockOffsetDirection = direction + 1;
    parameters->mode = StockOffsetDirection;
    parameters->value = value;
    // The next offset dialog starts from this value.
    Settings.offsetValue = value;
    return 1;
}

int OpenStockClipDialog(StockClipLimits* limits) {
    ChoiceDialogState state;
    for (int axis = 0; axis < 3; ++axis) {
        state.fields.push_back({kClipMaxIds[axis], kCoordinateFormat, &limits->maxCorner[axis]});
    }
    for (int axis = 0; axis < 3; ++axis) {
        state.fields.push_back({kClipMinIds[axis], kCoordinateFormat, &limits->minCorner[axis]});
    }
    return Opened(OpenModalDialog(IDD_XYZ_CUT, Owner(), ChoiceDlgProc,
                                  reinterpret_cast<MessageLParam>(&state)));
}

int OpenStockStateDialog(int* state) {
    ChoiceDialogState dialogState;
    dialogState.ids = kStateIds;
    dialogState.count = 3;
    dialogState.stored = state;
    return Opened(OpenModalDialog(IDD_STOCK_STATE, Owner(), ChoiceDlgProc,
                                  reinterpret_cast<MessageLParam>(&dialogState)));
}

int OpenSwingDialog(double* sinAngle, double* cosAngle) {
    SwingDialogState state;
    if (!Opened(OpenModalDialog(
            IDD_SWING, Owner(),
            StateDlgProc<SwingDialogState, InitSwingDialog, CommandSwingDialog, AcceptSwingDialog>,
            reinterpret_cast<MessageLParam>(&state)))) {
        return 0;
    }
    const double radians = StockTransform.swingAngle * std::numbers::pi / 180.0;
    *sinAngle = std::sin(radians);
    *cosAngle = std::cos(radians);
    return 1;
}

int OpenReverseDialog() {
    ReverseDialogState state;
    return Opened(OpenModalDialog(IDD_REVERSE_SETTINGS, Owner(),
                                  StateDlgProc<ReverseDialogState, InitReverseDialog,
                                               CommandReverseDialog, AcceptReverseDialog>,
                                  reinterpret_cast<MessageLParam>(&state)));
}

int OpenStlReadDialog() {
    StlDialogState state;
    return Opened(OpenModalDialog(
        IDD_STL_READ_SETTINGS, Owner(),
        StateDlgProc<StlDialogState, InitStlDialog, CommandStlDialog, AcceptStlDialog>,
        reinterpret_cast<MessageLParam>(&state)));
}

void ResetStockDialogs() {
    StockCoordinateKind = 0;
    StockTransform = StockTransformParameters{};
    StockOffsetDirection = kOffsetModeNormal;
}

}  // namespace mirexa
