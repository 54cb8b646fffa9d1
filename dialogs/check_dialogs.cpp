// The interference check dialogs' procedures: a radio button per choice, its value in a working
// copy until OK.
#include "dialogs/check_dialogs.h"

#include <cstddef>
#include <cstdint>

#include "config/config_records.h"
#include "config/settings_define.h"
#include "dialogs/dialog_conventions.h"
#include "dialogs/dialog_frame.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

// One choice of a check: its button and the value the settings keep for it.
struct CheckChoice {
    int id;
    std::int32_t value;
};

// Dialog 272: the four checks, each a group of buttons. The same words carry different values in
// different rows ("Yes/Stop" is 2, 4, 3 and 3).
struct CutCheckRow {
    std::int32_t CheckSettings::*setting;
    CheckChoice choices[5];
    int count;
};
constexpr CutCheckRow kCutChecks[4] = {
    {&CheckSettings::interference, {{1338, 0}, {1339, 1}, {1346, 2}}, 3},
    {&CheckSettings::arborCheck, {{1341, 0}, {1343, 1}, {1342, 2}, {1344, 3}, {1354, 4}}, 5},
    {&CheckSettings::heightCheck, {{1347, 0}, {1348, 1}, {1349, 2}, {1355, 3}}, 4},
    {&CheckSettings::chipWidthCheck, {{1351, 0}, {1352, 1}, {1353, 2}, {1356, 3}}, 4},
};

// Dialog 287: the buttons of values 0, 1 and 2 of each pair are first, first + 1, first + 2, in
// the order of the pairs of the settings.
constexpr int kPairFirstIds[kStructurePairCount] = {
    1467, 1470, 1473, 1483, 1486, 1489, 1492, 1495, 1498, 1501, 1534, 1537, 1540,
    1543, 1546, 1549, 1552, 1555, 1561, 1564, 1567, 1570, 1579, 1582, 1585,
};
constexpr int kPairChoices = 3;

struct CutCheckState {
    std::int32_t values[4] = {};
};

struct StructureState {
    std::int32_t values[kStructurePairCount] = {};
};

void CheckCutCheckButtons(WindowHandle dialog, const CutCheckState& state) {
    for (int row = 0; row < 4; ++row) {
        for (int i = 0; i < kCutChecks[row].count; ++i) {
            const CheckChoice& choice = kCutChecks[row].choices[i];
            CheckDlgButton(dialog, choice.id,
                           choice.value == state.values[row] ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

void CheckPairButtons(WindowHandle dialog, const StructureState& state) {
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        for (int value = 0; value < kPairChoices; ++value) {
            CheckDlgButton(dialog, kPairFirstIds[pair] + value,
                           value == state.values[pair] ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

// The check of a clicked button: its row (or pair) and value; 0 for another control.
int FindCutChoice(int id, int* row, std::int32_t* value) {
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < kCutChecks[r].count; ++i) {
            if (kCutChecks[r].choices[i].id == id) {
                *row = r;
                *value = kCutChecks[r].choices[i].value;
                return 1;
            }
        }
    }
    return 0;
}

int FindPairChoice(int id, int* pair, std::int32_t* value) {
    for (int p = 0; p < kStructurePairCount; ++p) {
        if (id >= kPairFirstIds[p] && id < kPairFirstIds[p] + kPairChoices) {
            *pair = p;
            *value = id - kPairFirstIds[p];
            return 1;
        }
    }
    return 0;
}

// The frame both check dialogs share: the working copy is loaded and shown on WM_INITDIALOG; OK
// stores it into the settings, Cancel drops it, and every other command goes to Choose.
template <typename State, void (*Init)(WindowHandle, State&), void (*Store)(const State&),
          void (*Choose)(WindowHandle, State&, int)>
MessageResult CheckDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                           MessageLParam lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowUserData(dialog, lparam);
        BeginDialog(dialog);
        Init(dialog, *reinterpret_cast<State*>(lparam));
        return 1;
    }
    if (message != WM_COMMAND) {
        return 0;
    }
    State& state = DialogStateOf<State>(dialog);
    const int id = CommandIdOf(wparam);
    if (id == IDOK) {
        Store(state);
        UpdateStopOnCheckFlag();
        EndDialog(dialog, 1);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
    } else {
        Choose(dialog, state, id);
    }
    return 1;
}

void InitCutChecks(WindowHandle dialog, CutCheckState& state) {
    for (int row = 0; row < 4; ++row) {
        state.values[row] = Checks.*kCutChecks[row].setting;
    }
    CheckCutCheckButtons(dialog, state);
}

void StoreCutChecks(const CutCheckState& state) {
    for (int row = 0; row < 4; ++row) {
        Checks.*kCutChecks[row].setting = state.values[row];
    }
}

// A button of a row is taken, and the rows' buttons are shown again after any other command.
void ChooseCutCheck(WindowHandle dialog, CutCheckState& state, int id) {
    int row = 0;
    std::int32_t value = 0;
    if (FindCutChoice(id, &row, &value)) {
        state.values[row] = value;
    }
    CheckCutCheckButtons(dialog, state);
}

constexpr auto InterferenceCheckDlgProc =
    CheckDlgProc<CutCheckState, InitCutChecks, StoreCutChecks, ChooseCutCheck>;

void InitStructurePairs(WindowHandle dialog, StructureState& state) {
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        state.values[pair] = Checks.structurePairs[pair];
    }
    CheckPairButtons(dialog, state);
}

// Every pair is stored, whatever parts the machine has.
void StoreStructurePairs(const StructureState& state) {
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        Checks.structurePairs[pair] = state.values[pair];
    }
}

// The buttons of a pair check themselves.
void ChooseStructurePair(WindowHandle, StructureState& state, int id) {
    int pair = 0;
    std::int32_t value = 0;
    if (FindPairChoice(id, &pair, &value)) {
        state.values[pair] = value;
    }
}

constexpr auto StructureInterferenceDlgProc =
    CheckDlgProc<StructureState, InitStructurePairs, StoreStructurePairs, ChooseStructurePair>;

}  // namespace

int OpenInterferenceCheckDialog() {
    CutCheckState state;
    return OpenOutsideRun(IDD_INTERFERENCE_CHECK, InterferenceCheckDlgProc,
                          reinterpret_cast<MessageLParam>(&state));
}

int OpenStructureInterferenceDialog() {
    StructureState state;
    return OpenOutsideRun(IDD_STRUCTURE_INTERFERENCE, StructureInterferenceDlgProc,
                          reinterpret_cast<MessageLParam>(&state));
}

}  // namespace mirexa
