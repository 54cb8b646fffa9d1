// The command panel's procedure: captions at creation, clicks turned into view keys, the focus
// given back to the main window, and its show and hide.
#include "dialogs/command_panel.h"

#include "config/config_records.h"
#include "dialogs/dialog_conventions.h"
#include "platform/dialogs.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/message_file.h"
#include "view/view_window.h"

namespace mirexa {

const CommandPanelButton CommandPanelButtons[kCommandPanelButtons] = {
    {165, 'R', 1},  {184, 'F', 2},  {223, 'Z', 3},  {218, 'W', 4},  {222, 'S', 5},  {175, '1', 6},
    {176, '2', 7},  {177, '3', 8},  {178, '4', 9},  {217, '5', 10}, {214, '6', 11}, {215, '7', 12},
    {216, '8', 13}, {219, '9', 14}, {224, '0', 15}, {182, 'U', 16}, {183, 'D', 17}, {185, 'P', 18},
    {186, '@', 19}, {221, 'C', 20}, {220, 'B', 21},
};

namespace {

// Backup and undo change the stock, not the camera: they keep the view's own handling of the
// point under the cursor.
bool KeepsCursorPoint(int id) {
    return id == 220 || id == 221;
}

void SendPanelKey(const CommandPanelButton& button) {
    WindowHandle view = MainWindowData.handles.view;
    if (!view) {
        return;
    }
    const bool fromPanel = !KeepsCursorPoint(button.id);
    if (fromPanel) {
        ViewWindow.fromPanel = 1;
    }
    // The key goes with its character, so that keys without a letter code ("@") are read too.
    SendWindowMessage(view, WM_KEYDOWN, button.key, static_cast<MessageLParam>(button.key));
    if (fromPanel) {
        ViewWindow.fromPanel = 0;
    }
}

void HideCommandPanel(WindowHandle panel) {
    Settings.showCommandPanel = 0;
    ShowPlatformWindow(panel, SW_HIDE);
    UpdateMenuChecks();
}

MessageResult CommandPanelDlgProc(WindowHandle panel, unsigned message, MessageWParam wparam,
                                  MessageLParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetPlatformWindowText(panel, CommandPanelCaptions[0]);
            for (const CommandPanelButton& button : CommandPanelButtons) {
                SetDlgItemText(panel, button.id, CommandPanelCaptions[button.caption]);
            }
            return 1;
        case WM_MOVE:
            if (WindowHandle owner = GetDialogOwner(panel)) {
                SetFocusWindow(owner);
            }
            return 0;
        case WM_COMMAND: {
            if (CommandCodeOf(wparam) != BN_CLICKED) {
                return 1;
            }
            const int id = CommandIdOf(wparam);
            if (id == IDOK) {
                SetFocusWindow(MainWindowData.handles.view);
            } else if (id == IDCANCEL) {
                HideCommandPanel(panel);
            } else if (const CommandPanelButton* button = FindCommandPanelButton(id)) {
                SendPanelKey(*button);
            }
            return 1;
        }
        default:
            return 0;
    }
}

}  // namespace

const CommandPanelButton* FindCommandPanelButton(int id) {
    for (const CommandPanelButton& button : CommandPanelButtons) {
        if (button.id == id) {
            return &button;
        }
    }
    return nullptr;
}

WindowHandle CreateCommandPanel(WindowHandle mainWindow) {
    const DialogTemplate* panelTemplate = FindDialogTemplate(IDD_COMMAND_PANEL);
    if (!panelTemplate) {
        return nullptr;
    }
    return CreateModelessDialog(*panelTemplate, mainWindow, CommandPanelDlgProc, 0);
}

}  // namespace mirexa
