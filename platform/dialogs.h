// Dialogs of the platform layer: templates as data, their instantiation as a dialog window with
// one child record per control, the dialog-procedure model (WM_INITDIALOG, commands, EndDialog,
// the control accessors), the modal loop on the layer's own loop, and the responder that answers
// dialogs in the headless backend.
//
// A dialog is a window of class "Dialog". Its controls are child windows of the built-in classes
// "Button", "Edit", "Static", "TabBar", "ScrollBar" and "Custom" whose state (text, check,
// enabled, visible) lives in the layer, so that both backends show the same records and the
// program's dialog procedures run unchanged on either. Everything here runs on the thread that
// owns the dialog (the user-interface thread).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/window.h"

namespace mirexa {

// --- Templates -----------------------------------------------------------------------------------

enum class ControlKind : std::uint8_t {
    PushButton,
    DefPushButton,
    CheckBox,         // manual: a click changes nothing until the procedure checks it
    AutoCheckBox,     // a click toggles the check
    RadioButton,      // manual
    AutoRadioButton,  // a click checks it and unchecks the rest of its group
    GroupBox,         // frame and title only; the controls inside are its siblings
    Edit,
    Text,
    Swatch,  // a static colour field
    TabBar,
    HScrollBar,
    Custom,  // a client area the procedure paints
};

// Control styles (bits).
enum ControlStyle : std::uint32_t {
    kGroupStart = 1,  // first control of a group (automatic radio groups end at the next one)
    kTabStop = 2,
    kDisabled = 4,
    kHidden = 8,
    kAlignRight = 16,
    kAlignCenter = 32,
    kReadOnly = 64,
    kNotify = 128,
};

// One control: position and size in dialog units, texts in UTF-8 (english null when the
// template's text serves both languages).
struct ControlTemplate {
    ControlKind kind = {};
    int id = {};
    std::int16_t x = {};
    std::int16_t y = {};
    std::int16_t w = {};
    std::int16_t h = {};
    const char* japanese = {};
    const char* english = {};
    std::uint32_t style = {};
};

// Dialog flags (bits).
constexpr std::uint32_t kDialogModeless = 1;
constexpr std::uint32_t kDialogTopmost = 2;  // the procedure places it above other windows
constexpr std::uint32_t kDialogNoCaption = 4;

struct DialogTemplate {
    int id = {};
    const char* japanese = {};  // caption of the template
    const char* english = {};   // caption set at run time in English (null: the template's kept)
    std::int16_t w = {};        // dialog units
    std::int16_t h = {};
    std::uint32_t flags = {};
    std::span<const ControlTemplate> controls = {};
};

// Dialog units to pixels with the dialog font's base units (horizontal: average character width,
// vertical: character height, pixels): x · baseX / 4 and y · baseY / 8, rounded.
void SetDialogBaseUnits(int baseX, int baseY);
WindowRect DialogUnitsToPixels(int x, int y, int w, int h);

// --- Messages and ids ----------------------------------------------------------------------------

constexpr unsigned WM_NOTIFY = 0x4E;  // lparam: const NotifyHeader*
constexpr unsigned BM_GETCHECK = 0xF0;
constexpr unsigned BM_SETCHECK = 0xF1;         // wparam: BST_ state
constexpr unsigned WM_INITDIALOG = 0x110;      // lparam: the creation parameter
constexpr unsigned WM_HSCROLL = 0x114;         // wparam: code | position << 16
constexpr unsigned WM_CTLCOLORSTATIC = 0x138;  // lparam: the static control
// Scroll bars: range (wparam minimum, lparam maximum), position (wparam), and the codes of
// WM_HSCROLL's low half.
constexpr unsigned SBM_SETPOS = 0xE0;
constexpr unsigned SBM_GETPOS = 0xE1;
constexpr unsigned SBM_SETRANGE = 0xE2;
constexpr unsigned SB_LINELEFT = 0;
constexpr unsigned SB_LINERIGHT = 1;
constexpr unsigned SB_PAGELEFT = 2;
constexpr unsigned SB_PAGERIGHT = 3;
constexpr unsigned SB_THUMBPOSITION = 4;
constexpr unsigned SB_THUMBTRACK = 5;
constexpr unsigned BST_UNCHECKED = 0;
constexpr unsigned BST_CHECKED = 1;

// Notification codes, in the high half of WM_COMMAND's wparam (the low half is the control id;
// lparam is the control).
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned STN_CLICKED = 0;
constexpr unsigned EN_SETFOCUS = 0x100;
constexpr unsigned EN_KILLFOCUS = 0x200;
constexpr unsigned EN_CHANGE = 0x300;

struct NotifyHeader {
    WindowHandle from = {};
    int id = {};
    unsigned code = {};
};

// Command ids of the standard buttons, and the results of a dialog.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

inline MessageWParam MakeCommandWParam(int id, unsigned code) {
    return (static_cast<MessageWParam>(code) << 16) | (static_cast<MessageWParam>(id) & 0xFFFF);
}
inline int CommandIdOf(MessageWParam wparam) {
    return static_cast<int>(wparam & 0xFFFF);
}
inline unsigned CommandCodeOf(MessageWParam wparam) {
    return static_cast<unsigned>((wparam >> 16) & 0xFFFF);
}

inline constexpr const char* DIALOG_CLASS = "Dialog";
inline constexpr const char* BUTTON_CLASS = "Button";
inline constexpr const char* EDIT_CLASS = "Edit";
inline constexpr const char* STATIC_CLASS = "Static";
inline constexpr const char* TABBAR_CLASS = "TabBar";
inline constexpr const char* SCROLLBAR_CLASS = "ScrollBar";
inline constexpr const char* CUSTOM_CLASS = "Custom";

// --- Dialogs -------------------------------------------------------------------------------------

// A dialog procedure: returns nonzero when it handled the message; 0 falls to the dialog's
// default handling (the close box and Esc become WM_COMMAND IDCANCEL; nothing else happens).
using DialogProcedure = WindowProcedure;

// Opens the dialog modally: creates it with its controls, sends WM_INITDIALOG with param,
// disables the owner, shows the dialog and runs the layer's loop until EndDialog; then destroys
// the dialog, enables the owner again (when it was enabled) and returns the EndDialog result.
// Nested calls (a dialog opening another with itself as owner) are allowed. A WM_QUIT met in the
// loop ends the dialog with 0 and is posted again for the outer loop. Returns -1 when the dialog
// could not be created.
//
// Who answers: an installed responder (SetDialogResponder) whenever the loop has nothing left to
// do; otherwise, on the headless backend, nobody, and the dialog is cancelled (IDCANCEL); on a
// real-window backend the user.
int RunModalDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                   DialogProcedure procedure, MessageLParam param);

// Creates a modeless dialog (hidden until shown) and sends it WM_INITDIALOG; null on failure.
WindowHandle CreateModelessDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                                  DialogProcedure procedure, MessageLParam param);

// Ends a modal dialog with the result (its loop returns it); a modeless dialog is hidden.
// 0 for a window that is not a dialog.
int EndDialog(WindowHandle dialog, int result);
// 1 once EndDialog was called for the dialog.
int IsDialogEnded(WindowHandle dialog);

// The template the dialog was made from and its owner (null for a window that is not a dialog).
const DialogTemplate* GetDialogTemplate(WindowHandle dialog);
WindowHandle GetDialogOwner(WindowHandle dialog);

// Places the dialog above every window that is not top-most.
int SetDialogTopmost(WindowHandle dialog);
int IsDialogTopmost(WindowHandle dialog);

// --- Controls ------------------------------------------------------------------------------------

WindowHandle GetDlgItem(WindowHandle dialog, int id);
// Sets the control's text through WM_SETTEXT (an edit field then notifies EN_CHANGE).
int SetDlgItemText(WindowHandle dialog, int id, const std::string& text);
std::string GetDlgItemText(WindowHandle dialog, int id);
// Copies at most size - 1 bytes of the text and a terminating zero into buffer; returns the
// number of bytes copied (0 for a missing control or a size below 1).
int GetDlgItemText(WindowHandle dialog, int id, char* buffer, int size);
// Sets (BST_CHECKED) or clears the check of a check box or radio button.
int CheckDlgButton(WindowHandle dialog, int id, unsigned check);
unsigned IsDlgButtonChecked(WindowHandle dialog, int id);
// Enables or disables the control; returns 1 when it was enabled before.
int EnableDlgItem(WindowHandle dialog, int id, int enable);
int IsDlgItemEnabled(WindowHandle dialog, int id);
// Removes the control from the dialog (it is destroyed).
int RemoveDlgItem(WindowHandle dialog, int id);
MessageResult SendDlgItemMessage(WindowHandle dialog, int id, unsigned message,
                                 MessageWParam wparam, MessageLParam lparam);
// The kind and style of a control made from a template (style 0 and kind Custom otherwise).
ControlKind GetControlKind(WindowHandle control);
std::uint32_t GetControlStyle(WindowHandle control);
// The control's id (0 for a window that is not live).
int GetDlgCtrlId(WindowHandle control);
// A swatch shows the colour its dialog gives it: WM_CTLCOLORSTATIC, sent to the dialog with the
// swatch as lparam, is answered with kSwatchColored | 0x00BBGGRR, or 0 for no colour. Backends
// ask it whenever they paint the swatch; a swatch's WM_PAINT (after the dialog or the swatch was
// invalidated) tells the backend through its controlChanged hook that the colour may have changed.
constexpr MessageResult kSwatchColored = 0x1000000;
// The colour the dialog gives its swatch: 1 with *color set, 0 when it gives none.
int GetDlgSwatchColor(WindowHandle dialog, int id, std::uint32_t* color);
// The template entry a control of a dialog was made from, or null. Answers from the moment the
// control exists, so a backend may build its widget when it is told of the new window.
const ControlTemplate* GetControlTemplate(WindowHandle control);

// --- Tab bars --------------------------------------------------------------------------------

// WM_NOTIFY codes of a tab bar: the selection is about to change (a nonzero answer keeps the
// current tab), and it has changed.
constexpr unsigned TCN_SELCHANGING = 0x552;
constexpr unsigned TCN_SELCHANGE = 0x551;

// Inserts a tab with the text at index (clamped to the tabs there are); the first tab inserted
// becomes the selected one. Returns the index, or -1 when the control is not a tab bar.
int InsertTabItem(WindowHandle dialog, int id, int index, const std::string& text);
int GetTabItemCount(WindowHandle dialog, int id);
std::string GetTabItemText(WindowHandle dialog, int id, int index);
// The selected tab, -1 when there is none.
int GetTabSelection(WindowHandle dialog, int id);
// Selects the tab without notifying anybody; returns the previous selection (-1 when the index
// is not a tab).
int SetTabSelection(WindowHandle dialog, int id, int index);

// --- What the user does -------------------------------------------------------------------------

// A click on a button as the user makes it: nothing for a control that is missing, disabled or
// hidden (0); an automatic check box toggles, an automatic radio button checks itself and
// unchecks the rest of its group; then WM_COMMAND(id, BN_CLICKED) is posted to the dialog.
int ClickDlgItem(WindowHandle dialog, int id);
// A click on a tab as the user makes it: nothing for a missing or disabled bar, an index that is
// not a tab, or the tab already selected (0); otherwise WM_NOTIFY TCN_SELCHANGING is sent to the
// dialog, and unless its answer is nonzero the tab is selected and TCN_SELCHANGE sent (1).
int ClickTabItem(WindowHandle dialog, int id, int index);
// Typing into an edit field: the text is replaced as the user would (EN_CHANGE follows).
int TypeDlgItemText(WindowHandle dialog, int id, const std::string& text);

// A scroll bar moved as the user moves it: nothing for a control that is missing, disabled or
// hidden (0); otherwise WM_HSCROLL(code | position << 16, the bar) is posted to the dialog, which
// sets the bar's position itself.
int ScrollDlgItem(WindowHandle dialog, int id, unsigned code, int position);
// The scroll bar's position (0 for a control that is not a scroll bar).
int GetDlgItemScrollPos(WindowHandle dialog, int id);
// The scroll bar's range: 1 with *minimum and *maximum set, 0 for a control that is not a scroll
// bar.
int GetDlgItemScrollRange(WindowHandle dialog, int id, int* minimum, int* maximum);

// Answers dialogs instead of a user: called with the dialog, its template id and the number of
// earlier calls for this dialog, each time its modal loop has no message left. It fills fields
// and clicks (ClickDlgItem) and returns 1, or returns 0 to give up, which cancels the dialog.
using DialogResponder = std::function<int(WindowHandle dialog, int templateId, int round)>;
// Installs the responder (an empty function removes it); returns the previous one.
DialogResponder SetDialogResponder(DialogResponder responder);

}  // namespace mirexa
