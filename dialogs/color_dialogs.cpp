// The procedures and openers of the colour and paint dialogs.
#include "dialogs/color_dialogs.h"

#include <cstdio>

#include "config/color_file.h"
#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/structure_models.h"
#include "dialogs/dialog_conventions.h"
#include "dialogs/dialog_frame.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "view/display_lists.h"
#include "view/gdi_resources.h"
#include "view/marker_lists.h"

namespace mirexa {

// The chooser's custom colours start white.
std::uint32_t CustomColors[kCustomColorCount] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
DiscolorationBands DiscolorationRegions;

namespace {

template <typename State>
MessageLParam AsParam(State* state) {
    return reinterpret_cast<MessageLParam>(state);
}

WindowHandle Owner() {
    return MainWindow.load();
}

void SetCheck(WindowHandle dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// --- Colour settings (218) ----------------------------------------------------------------

// The rows of the dialog: button and swatch, in the template's order.
struct ColorRowIds {
    int button, swatch;
};
constexpr ColorRowIds kColorRowIds[36] = {
    {1023, 1027}, {1020, 1030}, {1021, 1031}, {1022, 1032}, {1047, 1040}, {1044, 1041},
    {1045, 1042}, {1046, 1043}, {1068, 1069}, {1070, 1071}, {1072, 1073}, {1074, 1075},
    {1076, 1077}, {1078, 1079}, {1080, 1081}, {1084, 1085}, {1025, 1029}, {1086, 1087},
    {1061, 1059}, {1063, 1062}, {1067, 1066}, {1049, 1048}, {1053, 1052}, {1051, 1050},
    {1106, 1112}, {1109, 1108}, {1104, 1105}, {1091, 1090}, {1093, 1092}, {1110, 1111},
    {1102, 1103}, {1095, 1094}, {1097, 1096}, {1098, 1100}, {1099, 1101}, {1026, 1033},
};
enum ColorRow : int {
    kRowWork = 0,  // rows 1 .. 15 are the pens
    kRowPenki = 16,
    kRowBase,
    kRowTopPath,
    kRowTopPath2,
    kRowConstruction,
    kRowToolTop,
    kRowToolSide,
    kRowArbor,
    kRowHeadOneRotary,
    kRowHeadTwoRotary,
    kRowHead,
    kRowHead1,
    kRowHead2,
    kRowTableOneRotary,
    kRowTable,
    kRowTable1,
    kRowTable2,
    kRowVice,
    kRowBasic,
    kRowBackground,
    kColorRowCount
};
constexpr int kToolTopPenBox = 1413;

// The colour of a row in a colour set.
ColorRef& ColorOfRow(ColorSet& set, int row) {
    if (row >= 1 && row <= 15) {
        return set.pens[row];
    }
    ColorRef ColorSet::*const members[kColorRowCount] = {
        &ColorSet::work,          &ColorSet::work,          &ColorSet::work,
        &ColorSet::work,          &ColorSet::work,          &ColorSet::work,
        &ColorSet::work,          &ColorSet::work,          &ColorSet::work,
        &ColorSet::work,          &ColorSet::work,          &ColorSet::work,
        &ColorSet::work,          &ColorSet::work,          &ColorSet::work,
        &ColorSet::work,          &ColorSet::penki,         &ColorSet::base,
        &ColorSet::topPath,       &ColorSet::topPath2,      &ColorSet::construction,
        &ColorSet::toolTop,       &ColorSet::toolSide,      &ColorSet::arbor,
        &ColorSet::headOneRotary, &ColorSet::headTwoRotary, &ColorSet::head,
        &ColorSet::head1,         &ColorSet::head2,         &ColorSet::tableOneRotary,
        &ColorSet::table,         &ColorSet::table1,        &ColorSet::table2,
        &ColorSet::vice,          &ColorSet::basic,         &ColorSet::background,
    };
    return set.*members[row];
}

int RowOfControl(int id) {
    for (int row = 0; row < kColorRowCount; ++row) {
        if (kColorRowIds[row].button == id || kColorRowIds[row].swatch == id) {
            return row;
        }
    }
    return -1;
}

bool Loaded(const MachineModel& model) {
    return model.facetCount > 0;
}

bool AnyLoaded(const std::vector<MachineModel>& models) {
    for (const MachineModel& model : models) {
        if (Loaded(model)) {
            return true;
        }
    }
    return false;
}

struct ColorSettingsState {
    int toolTopOwn = {};  // working: 1 the tool top has its own colour
    ColorPartAvailability parts = {};
};

void ShowToolTopChoice(WindowHandle dialog, const ColorSettingsState& state) {
    SetCheck(dialog, kToolTopPenBox, state.toolTopOwn == 0);
    EnableDlgItem(dialog, kColorRowIds[kRowToolTop].button, state.toolTopOwn);
}

void InitColorSettingsDialog(WindowHandle dialog, ColorSettingsState& state) {
    BeginDialog(dialog);
    CopyColorSettingsToEdit();
    state.toolTopOwn = DisplayModes.toolTopColorMode == 1 ? 1 : 0;
    state.parts = ComputeColorPartAvailability();
    for (int row = 0; row < kColorRowCount; ++row) {
        if (state.parts.removed[row]) {
            RemoveDlgItem(dialog, kColorRowIds[row].button);
            RemoveDlgItem(dialog, kColorRowIds[row].swatch);
        } else if (state.parts.disabled[row]) {
            EnableDlgItem(dialog, kColorRowIds[row].button, 0);
        }
    }
    ShowToolTopChoice(dialog, state);
}

void CommandColorSettingsDialog(WindowHandle dialog, ColorSettingsState& state, int id) {
    if (id == kToolTopPenBox) {
        state.toolTopOwn = 1 - state.toolTopOwn;
        ShowToolTopChoice(dialog, state);
        return;
    }
    const int row = RowOfControl(id);
    if (row < 0 || state.parts.removed[row]) {
        return;
    }
    std::uint32_t color = ColorOfRow(EditColors, row);
    if (ChooseColorDialog(dialog, &color, CustomColors)) {
        ColorOfRow(EditColors, row) = color;
        InvalidatePlatformWindow(dialog);
    }
}

void AcceptColorSettingsDialog(WindowHandle dialog, ColorSettingsState& state) {
    ApplyColorSettings();
    if (state.toolTopOwn != DisplayModes.toolTopColorMode) {
        DisplayModes.toolTopColorMode = state.toolTopOwn;
        if (DisplayModes.toolMode != 0) {
            SceneDirty.tools = 1;
        }
    }
    EndDialog(dialog, 1);
}

MessageResult ColorSettingsDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                                   MessageLParam lparam) {
    if (message == WM_CTLCOLORSTATIC) {
        const int row = RowOfControl(GetDlgCtrlId(reinterpret_cast<WindowHandle>(lparam)));
        const ColorSettingsState* state = FindDialogState<ColorSettingsState>(dialog);
        if (row < 0 || !state || state->parts.removed[row]) {
            return 0;
        }
        return kSwatchColored | ColorOfRow(EditColors, row);
    }
    return StateDlgProc<ColorSettingsState, InitColorSettingsDialog, CommandColorSettingsDialog,
                        AcceptColorSettingsDialog>(dialog, message, wparam, lparam);
}

// --- Peel pens (219) ----------------------------------------------------------------------

constexpr int kPeelPenBoxes[15] = {1020, 1021, 1022, 1047, 1044, 1045, 1046, 1068,
                                   1070, 1072, 1074, 1076, 1078, 1080, 1084};
constexpr int kPeelPenSwatches[15] = {1030, 1031, 1032, 1040, 1041, 1042, 1043, 1069,
                                      1071, 1073, 1075, 1077, 1079, 1081, 1085};
constexpr int kCheckAllBox = 1024;

struct PeelPenState {
    PeelPenChoice* choice = {};
    int flags[15] = {};
    int all = {};
};

void ShowPeelFlags(WindowHandle dialog, const PeelPenState& state) {
    for (int i = 0; i < 15; ++i) {
        SetCheck(dialog, kPeelPenBoxes[i], state.flags[i] != 0);
    }
    SetCheck(dialog, kCheckAllBox, state.all != 0);
}

void InitPeelPenDialog(WindowHandle dialog, PeelPenState& state) {
    BeginDialog(dialog);
    // The choice starts empty, whether the dialog ends with OK or not.
    *state.choice = PeelPenChoice{};
    ShowPeelFlags(dialog, state);
}

void CommandPeelPenDialog(WindowHandle dialog, PeelPenState& state, int id) {
    int pen = IndexOfId(kPeelPenBoxes, 15, id);
    if (pen < 0) {
        pen = IndexOfId(kPeelPenSwatches, 15, id);
    }
    if (pen >= 0) {
        state.flags[pen] ^= 1;
    } else if (id == kCheckAllBox) {
        state.all ^= 1;
        for (int& flag : state.flags) {
            flag = state.all;
        }
    }
    ShowPeelFlags(dialog, state);
}

void AcceptPeelPenDialog(WindowHandle dialog, PeelPenState& state) {
    int ticked = 0;
    std::uint16_t pens = 0;
    for (int i = 0; i < 15; ++i) {
        if (state.flags[i]) {
            ++ticked;
            pens = static_cast<std::uint16_t>(pens | (1u << (i + 1)));
        }
    }
    state.choice->pens = pens;
    state.choice->all = ticked == 15 ? 1 : 0;
    EndDialog(dialog, 1);
}

MessageResult PeelPenDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                             MessageLParam lparam) {
    if (message == WM_CTLCOLORSTATIC) {
        const int pen =
            IndexOfId(kPeelPenSwatches, 15, GetDlgCtrlId(reinterpret_cast<WindowHandle>(lparam)));
        return pen < 0 ? 0 : kSwatchColored | LiveColors.pens[pen + 1];
    }
    return StateDlgProc<PeelPenState, InitPeelPenDialog, CommandPeelPenDialog, AcceptPeelPenDialog>(
        dialog, message, wparam, lparam);
}

// --- Discoloration bands (217) --------------------------------------------------------------

constexpr int kBandBoxes[3] = {1017, 1020, 1023};
constexpr int kUpperFields[3] = {1018, 1022, 1025};
constexpr int kLowerFields[3] = {1019, 1021, 1024};
constexpr int kUpperPickButtons[3] = {1170, 1172, 1174};
constexpr int kLowerPickButtons[3] = {1169, 1171, 1173};
constexpr const char* kLevelFormat = "%9.3f";

struct DiscolorationState {
    int on[3] = {};
};

// Band 1 may change while band 2 is off, band 2 while band 3 is off and band 1 on, band 3 while
// band 2 is on; a band's fields and buttons work while it is on.
void ShowBands(WindowHandle dialog, const DiscolorationState& state) {
    const int changeable[3] = {!state.on[1], !state.on[2] && state.on[0], state.on[1]};
    for (int band = 0; band < 3; ++band) {
        SetCheck(dialog, kBandBoxes[band], state.on[band] != 0);
        EnableDlgItem(dialog, kBandBoxes[band], changeable[band]);
        for (int id : {kUpperFields[band], kLowerFields[band], kUpperPickButtons[band],
                       kLowerPickButtons[band]}) {
            EnableDlgItem(dialog, id, state.on[band]);
        }
    }
}

void InitDiscolorationDialog(WindowHandle dialog, DiscolorationState& state) {
    BeginDialog(dialog);
    for (int band = 0; band < 3; ++band) {
        state.on[band] = DiscolorationRegions.on[band] ? 1 : 0;
        SetDlgItemNumber(dialog, kUpperFields[band], kLevelFormat,
                         DiscolorationRegions.upper[band]);
        SetDlgItemNumber(dialog, kLowerFields[band], kLevelFormat,
                         DiscolorationRegions.lower[band]);
    }
    ShowBands(dialog, state);
}

void CommandDiscolorationDialog(WindowHandle dialog, DiscolorationState& state, int id) {
    if (int band = IndexOfId(kBandBoxes, 3, id); band >= 0) {
        state.on[band] ^= 1;
    } else if (int upper = IndexOfId(kUpperPickButtons, 3, id); upper >= 0) {
        SetDlgItemNumber(dialog, kUpperFields[upper], kLevelFormat,
                         static_cast<float>(PickedPoint[2]));
    } else if (int lower = IndexOfId(kLowerPickButtons, 3, id); lower >= 0) {
        SetDlgItemNumber(dialog, kLowerFields[lower], kLevelFormat,
                         static_cast<float>(PickedPoint[2]));
    }
    ShowBands(dialog, state);
}

void AcceptDiscolorationDialog(WindowHandle dialog, DiscolorationState& state) {
    double levels[6] = {};
    NumberField fields[6];
    for (int band = 0; band < 3; ++band) {
        levels[band] = DiscolorationRegions.upper[band];
        levels[3 + band] = DiscolorationRegions.lower[band];
        fields[band] = NumberField{kUpperFields[band], kLevelFormat, &levels[band]};
        fields[3 + band] = NumberField{kLowerFields[band], kLevelFormat, &levels[3 + band]};
    }
    if (!ReadNumberFields(dialog, fields, 6)) {
        return;
    }
    DiscolorationBands& bands = DiscolorationRegions;
    for (int band = 0; band < 3; ++band) {
        bands.on[band] = state.on[band];
        bands.upper[band] = static_cast<float>(levels[band]);
        bands.lower[band] = static_cast<float>(levels[3 + band]);
    }
    bands.count = state.on[2] ? 3 : (state.on[1] ? 2 : (state.on[0] ? 1 : 0));
    EndDialog(dialog, 1);
}

// --- Difference painting (271) ------------------------------------------------------------

constexpr int kSideIds[2] = {1322, 1323};  // plus, minus
constexpr int kKindIds[2] = {1359, 1360};  // penki, pen
constexpr int kMarginField = 1324;
constexpr int kPenField = 1361;
constexpr int kWidthField = 1420;
constexpr int kKeepColorBox = 1419;

struct DifferenceState {
    int side = 1;
    int kind = {};
    int recolor = 1;
};

void ShowDifferenceChoices(WindowHandle dialog, const DifferenceState& state) {
    CheckRadioGroup(dialog, kSideIds, 2, state.side < 0 ? 1 : 0);
    CheckRadioGroup(dialog, kKindIds, 2, state.kind);
    SetCheck(dialog, kKeepColorBox, state.recolor == 0);
    EnableDlgItem(dialog, kPenField, state.kind);
}

void InitDifferenceDialog(WindowHandle dialog, DifferenceState& state) {
    BeginDialog(dialog);
    const DifferencePaintChoices& d = Settings.difference;
    state.side = d.area < 0 ? -1 : 1;
    state.kind = d.penColor ? 1 : 0;
    state.recolor = d.recolor ? 1 : 0;
    SetDlgItemText(dialog, kPenField, FormatDialogInteger("%d", d.pen));
    SetDlgItemNumber(dialog, kMarginField, "%8.4f", d.margin);
    SetDlgItemNumber(dialog, kWidthField, "%8.3f", d.offset);
    ShowDifferenceChoices(dialog, state);
}

void CommandDifferenceDialog(WindowHandle dialog, DifferenceState& state, int id) {
    if (int side = IndexOfId(kSideIds, 2, id); side >= 0) {
        state.side = side == 0 ? 1 : -1;
    } else if (int kind = IndexOfId(kKindIds, 2, id); kind >= 0) {
        state.kind = kind;
    } else if (id == kKeepColorBox) {
        state.recolor ^= 1;
    }
    ShowDifferenceChoices(dialog, state);
}

void AcceptDifferenceDialog(WindowHandle dialog, DifferenceState& state) {
    DifferencePaintChoices& d = Settings.difference;
    // An empty or wordy pen field reads 0, as the runtime's conversion reads it.
    double pen = 0.0;
    char scratch[kNumberScratchSize] = {};
    GetDlgItemText(dialog, kPenField, scratch, static_cast<int>(sizeof scratch));
    ParseLeadingNumber(scratch, &pen);
    const int penNumber = pen >= -1e9 && pen <= 1e9 ? static_cast<int>(pen) : 0;
    if (state.kind == 1 && (penNumber < 1 || penNumber > 15)) {
        ShowDialogWarning(dialog, "Pen No = 1-15", "Pen No = 1-15");
        return;
    }
    double margin = d.margin;
    double width = d.offset;
    NumberField fields[2] = {{kMarginField, "%8.4f", &margin}, {kWidthField, "%8.3f", &width}};
    if (!ReadNumberFields(dialog, fields, 2)) {
        return;
    }
    d.pen = penNumber;
    d.area = state.side;
    d.margin = margin;
    d.penColor = state.kind;
    d.offset = width;
    d.recolor = state.recolor;
    EndDialog(dialog, 1);
}

}  // namespace

ColorPartAvailability ComputeColorPartAvailability() {
    ColorPartAvailability parts;
    const MachineStructureModels& m = StructureModels;
    auto remove = [&parts](std::initializer_list<int> rows) {
        for (int row : rows) {
            parts.removed[row] = 1;
        }
    };
    switch (Machine.rotaryType) {
        case 1:
            remove({kRowTable1, kRowTable2});
            break;
        case 2:
            remove({kRowHead1, kRowHead2});
            break;
        case 3:
            remove({kRowTable2, kRowHead2});
            break;
        default:
            break;
    }
    const int carried = Machine.tableCarriedCount;
    if (carried == 3) {
        remove({kRowHead});
    }
    if (carried > 1) {
        remove({kRowHeadOneRotary});
    }
    if (carried > 0) {
        remove({kRowHeadTwoRotary});
    }
    if (carried == 0) {
        remove({kRowTable});
    }
    if (carried < 2) {
        remove({kRowTableOneRotary});
    }
    const bool anyHead = Loaded(m.head) || Loaded(m.head1) || Loaded(m.head2);
    const bool anyTable = Loaded(m.table) || AnyLoaded(m.table1Regions) || Loaded(m.table2);
    const struct {
        int row;
        bool loaded;
    } partsLoaded[] = {
        {kRowHeadOneRotary, anyHead},
        {kRowHeadTwoRotary, anyHead},
        {kRowHead, anyHead},
        {kRowHead1, Loaded(m.head1)},
        {kRowHead2, Loaded(m.head2)},
        {kRowTableOneRotary, anyTable},
        {kRowTable, anyTable},
        {kRowTable1, AnyLoaded(m.table1Regions)},
        {kRowTable2, Loaded(m.table2)},
        {kRowVice, AnyLoaded(m.vices)},
        {kRowBasic, AnyLoaded(m.basics) || AnyLoaded(m.basicRegions)},
    };
    for (const auto& part : partsLoaded) {
        parts.disabled[part.row] = part.loaded ? 0 : 1;
    }
    return parts;
}

int OpenColorSettingsDialog(WindowHandle owner) {
    ColorSettingsState state;
    return Opened(
        OpenModalDialog(IDD_COLOR_SETTINGS, owner, ColorSettingsDlgProc, AsParam(&state)));
}

int OpenPeelPenDialog(PeelPenChoice* choice) {
    if (!choice) {
        return 0;
    }
    PeelPenState state;
    state.choice = choice;
    return Opened(OpenModalDialog(IDD_PEEL_PEN_COLOR, Owner(), PeelPenDlgProc, AsParam(&state)));
}

int OpenDiscolorationDialog(WindowHandle owner) {
    DiscolorationState state;
    return Opened(
        OpenModalDialog(IDD_DISCOLORATION_REGION, owner,
                        StateDlgProc<DiscolorationState, InitDiscolorationDialog,
                                     CommandDiscolorationDialog, AcceptDiscolorationDialog>,
                        AsParam(&state)));
}

int OpenDifferencePaintDialog() {
    DifferenceState state;
    return Opened(OpenModalDialog(IDD_PAINT_DIFFERENCE, Owner(),
                                  StateDlgProc<DifferenceState, InitDifferenceDialog,
                                               CommandDifferenceDialog, AcceptDifferenceDialog>,
                                  AsParam(&state)));
}

void ResetColorDialogs() {
    for (std::uint32_t& color : CustomColors) {
        color = 0xFFFFFF;
    }
    DiscolorationRegions = DiscolorationBands{};
}

}  // namespace mirexa
