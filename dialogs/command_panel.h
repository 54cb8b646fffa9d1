// The command panel: a modeless column of 21 buttons beside the main window, each acting as a
// key of the 3D view, with captions from the message file's short forms. It lives from the main
// window's creation to its destruction; its menu command shows and hides it.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include "platform/window.h"

namespace mirexa {

inline constexpr int kCommandPanelButtons = 21;

// One button: its control id, the view key it sends (a virtual-key code, which is also the
// key's character) and its caption entry (1 .. 21 of CommandPanelCaptions).
struct CommandPanelButton {
    int id = {};
    unsigned key = {};
    int caption = {};
};
extern const CommandPanelButton CommandPanelButtons[kCommandPanelButtons];

// The button of a control id, or null.
const CommandPanelButton* FindCommandPanelButton(int id);

// Makes the panel (hidden) with the main window as owner; null when it cannot be made.
WindowHandle CreateCommandPanel(WindowHandle mainWindow);

}  // namespace mirexa
