// The frame of a dialog procedure that keeps its working copies in a state record: the record
// arrives with WM_INITDIALOG and stays the dialog's user data; OK, Cancel and the other clicks go
// to the handlers the dialog names.
#pragma once

#include "platform/dialogs.h"

namespace mirexa {

template <typename State>
State& DialogStateOf(WindowHandle dialog) {
    return *reinterpret_cast<State*>(GetWindowUserData(dialog));
}

// The state, or null before WM_INITDIALOG brought it (a backend may ask a swatch's colour, and a
// field notify its text, while the dialog is being made).
template <typename State>
State* FindDialogState(WindowHandle dialog) {
    return reinterpret_cast<State*>(GetWindowUserData(dialog));
}

// init fills the dialog; accept handles OK (ending the dialog with 1 only when everything was
// stored); Cancel ends it with 0 and stores nothing; command handles every other click by
// control id. Other notifications (an edit field's) are left alone: fields are read on OK.
template <typename State, void (*Init)(WindowHandle, State&),
          void (*Command)(WindowHandle, State&, int), void (*Accept)(WindowHandle, State&)>
MessageResult StateDlgProc(WindowHandle dialog, unsigned message, MessageWParam wparam,
                           MessageLParam lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowUserData(dialog, lparam);
        Init(dialog, *reinterpret_cast<State*>(lparam));
        return 1;
    }
    if (message != WM_COMMAND) {
        return 0;
    }
    if (CommandCodeOf(wparam) != BN_CLICKED) {
        return 1;
    }
    State& state = DialogStateOf<State>(dialog);
    const int id = CommandIdOf(wparam);
    if (id == IDOK) {
        Accept(dialog, state);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
    } else {
        Command(dialog, state, id);
    }
    return 1;
}

// The command handler of a dialog whose only buttons are OK and Cancel.
template <typename State>
void NoCommand(WindowHandle, State&, int) {}

// A dialog's result as the hooks give it: 1 for OK, 0 otherwise (-1, no dialog, included).
inline int Opened(int result) {
    return result == 1 ? 1 : 0;
}

}  // namespace mirexa
