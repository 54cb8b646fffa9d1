// The dispatch of the dialog commands of the main window.
#include "dialogs/dialog_commands.h"

#include "config/config_records.h"
#include "dialogs/color_dialogs.h"
#include "dialogs/command_panel.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/tool_panel.h"
#include "resources/program_resources.h"
#include "shell/main_window.h"

namespace mirexa {

namespace {

// The view shows the new colours, modes or bands.
void RedrawViewAfter(int result) {
    if (result == 1 && MainWindowData.handles.view) {
        SendWindowMessage(MainWindowData.handles.view, WM_PAINT, 0, 0);
    }
}

// The shown flags of the panels are also what the next start shows: a dialog that changes them
// shows or hides the panels now, so that the menu's check marks and the panels agree.
template <typename Dialog>
void FollowPanelFlags(WindowHandle window, Dialog dialog) {
    const int command = Settings.showCommandPanel;
    const int tool = Settings.showToolPanel;
    dialog();
    if (Settings.showCommandPanel != command) {
        Settings.showCommandPanel = command;
        ToggleCommandPanel(window);
    }
    if (Settings.showToolPanel != tool) {
        Settings.showToolPanel = tool;
        ToggleToolPanel(window);
    }
}

}  // namespace

int HandleDialogCommand(WindowHandle window, unsigned command) {
    switch (command) {
        case IDM_VERSION_INFO:
            OpenVersionDialog(window);
            return 1;
        case IDM_RESIZE_SETTINGS:
            OpenResizeSettingsDialog(window);
            return 1;
        case IDM_TOOL_PARAMETERS:
            OpenToolParameterDialog(window);
            return 1;
        case IDM_PITCH:
            if (OpenPitchDialog(window)) {
                RepaintToolPanel(kToolPanelPaintAll);  // its title shows the move pitch
            }
            return 1;
        case IDM_EXPAND_RATE:
            OpenExpandRateDialog(window);
            return 1;
        case IDM_INITIAL_CONDITION:
            FollowPanelFlags(window, [window] { OpenInitialConditionDialog(window); });
            return 1;
        case IDM_OPTIONAL_BLOCK_SKIP:
            OpenOptionalBlockSkipDialog(window);
            return 1;
        case IDM_DISPLAY_MODE:
            RedrawViewAfter(OpenDisplayModeDialog(window));
            return 1;
        case IDM_MOVIE_SETTINGS:
            OpenMovieSettingsDialog(window);
            return 1;
        case IDM_COLOR_SETTINGS:
            RedrawViewAfter(OpenColorSettingsDialog(window));
            return 1;
        case IDM_DISCOLORATION_REGION:
            RedrawViewAfter(OpenDiscolorationDialog(window));
            return 1;
        case IDM_SHOW_COMMAND_PANEL:
            ToggleCommandPanel(window);
            return 1;
        case IDM_SHOW_TOOL_DIALOG:
            ToggleToolPanel(window);
            return 1;
        default:
            return 0;
    }
}

}  // namespace mirexa
