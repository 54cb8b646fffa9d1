// The dialog engine of the platform layer: dialog and control records made from templates, the
// built-in control procedures, the modal loop and the responder of the headless backend.
#include "platform/dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/responder_slot.h"
#include "platform/window_internal.h"

namespace mirexa {

namespace {

struct DialogState {
    const DialogTemplate* dialogTemplate = {};
    DialogProcedure procedure = {};
    WindowHandle owner = {};
    int ended = {};
    int result = {};
    int topmost = {};
};

struct ControlState {
    ControlKind kind = ControlKind::Custom;
    std::uint32_t style = {};
    unsigned check = BST_UNCHECKED;
    int id = {};
    int scrollMin = {};  // scroll bars
    int scrollMax = 100;
    int scrollPos = {};
    std::vector<std::string> tabs = {};  // a tab bar's tab texts
    int selectedTab = -1;
};

// Dialog and control states by window, dropped on the window's WM_DESTROY.
std::mutex stateMutex;
std::unordered_map<WindowHandle, DialogState> dialogStates;
std::unordered_map<WindowHandle, ControlState> controlStates;

int baseUnitX = 6;  // pixels
int baseUnitY = 13;

ResponderSlot<DialogResponder> DialogResponderSlot;

DialogState* FindDialogLocked(WindowHandle dialog) {
    auto found = dialogStates.find(dialog);
    return found == dialogStates.end() ? nullptr : &found->second;
}

ControlState* FindControlLocked(WindowHandle control) {
    auto found = controlStates.find(control);
    return found == controlStates.end() ? nullptr : &found->second;
}

void NotifyControlChanged(WindowHandle control) {
    if (auto hook = GetPlatformBackendHooks().controlChanged) {
        hook(control);
    }
}

bool IsButtonKind(ControlKind kind) {
    return kind <= ControlKind::GroupBox;
}

bool IsRadioKind(ControlKind kind) {
    return kind == ControlKind::RadioButton || kind == ControlKind::AutoRadioButton;
}

const char* ClassOfKind(ControlKind kind) {
    if (IsButtonKind(kind)) {
        return BUTTON_CLASS;
    }
    switch (kind) {
        case ControlKind::Edit:
            return EDIT_CLASS;
        case ControlKind::Text:
        case ControlKind::Swatch:
            return STATIC_CLASS;
        case ControlKind::TabBar:
            return TABBAR_CLASS;
        case ControlKind::HScrollBar:
            return SCROLLBAR_CLASS;
        default:
            return CUSTOM_CLASS;
    }
}

MessageResult ControlProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    switch (message) {
        case BM_GETCHECK: {
            std::lock_guard<std::mutex> lock(stateMutex);
            ControlState* state = FindControlLocked(window);
            return state ? state->check : 0;
        }
        case BM_SETCHECK: {
            {
                std::lock_guard<std::mutex> lock(stateMutex);
                ControlState* state = FindControlLocked(window);
                if (!state) {
                    return 0;
                }
                state->check = wparam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
            }
            NotifyControlChanged(window);
            return 0;
        }
        case SBM_SETRANGE:
        case SBM_SETPOS:
        case SBM_GETPOS: {
            int previous = 0;
            {
                std::lock_guard<std::mutex> lock(stateMutex);
                ControlState* state = FindControlLocked(window);
                if (!state || state->kind != ControlKind::HScrollBar) {
                    return 0;
                }
                previous = state->scrollPos;
                if (message == SBM_SETRANGE) {
                    state->scrollMin = static_cast<int>(wparam);
                    state->scrollMax = std::max(state->scrollMin, static_cast<int>(lparam));
                }
                if (message == SBM_SETPOS) {
                    state->scrollPos = static_cast<int>(wparam);
                }
                state->scrollPos = std::clamp(state->scrollPos, state->scrollMin, state->scrollMax);
            }
            if (message != SBM_GETPOS) {
                NotifyControlChanged(window);
            }
            return previous;
        }
        case WM_SETTEXT: {
            MessageResult result = DefaultWindowProcedure(window, message, wparam, lparam);
            ControlState state;
            {
                std::lock_guard<std::mutex> lock(stateMutex);
                if (ControlState* found = FindControlLocked(window)) {
                    state = *found;
                }
            }
            if (state.kind == ControlKind::Edit) {
                // An edit field tells its dialog that its text changed, whoever changed it.
                SendWindowMessage(GetParentWindow(window), WM_COMMAND,
                                  MakeCommandWParam(state.id, EN_CHANGE),
                                  reinterpret_cast<MessageLParam>(window));
            }
            return result;
        }
        case WM_PAINT:
            // A swatch repaints with the colour its dialog gives it now: the backend asks again.
            if (GetControlKind(window) == ControlKind::Swatch) {
                NotifyControlChanged(window);
            }
            return DefaultWindowProcedure(window, message, wparam, lparam);
        case WM_DESTROY: {
            std::lock_guard<std::mutex> lock(stateMutex);
            controlStates.erase(window);
            return 0;
        }
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

MessageResult DialogClassProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                   MessageLParam lparam) {
    DialogProcedure procedure = nullptr;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        if (DialogState* state = FindDialogLocked(window)) {
            procedure = state->procedure;
        }
    }
    if (message == WM_DESTROY) {
        if (procedure) {
            procedure(window, message, wparam, lparam);
        }
        std::lock_guard<std::mutex> lock(stateMutex);
        dialogStates.erase(window);
        return 0;
    }
    if (procedure && message != WM_CREATE) {
        MessageResult handled = procedure(window, message, wparam, lparam);
        if (handled != 0 || message == WM_INITDIALOG) {
            return handled;
        }
    }
    if (message == WM_CLOSE) {
        // The close box cancels: the procedure decides what that means.
        PostWindowMessage(window, WM_COMMAND, MakeCommandWParam(IDCANCEL, BN_CLICKED), 0);
        return 0;
    }
    if (message == WM_COMMAND || message == WM_INITDIALOG) {
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

// Makes the dialog window and its controls and sends WM_INITDIALOG; null on failure.
WindowHandle InstantiateDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                               DialogProcedure procedure, MessageLParam param) {
    WindowCreateParams params;
    params.className = DIALOG_CLASS;
    params.text = dialogTemplate.japanese ? dialogTemplate.japanese : "";
    params.procedure = DialogClassProcedure;
    params.rect = DialogUnitsToPixels(0, 0, dialogTemplate.w, dialogTemplate.h);
    WindowHandle dialog = CreatePlatformWindow(params);
    if (!dialog) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        DialogState& state = dialogStates[dialog];
        state = DialogState{};
        state.dialogTemplate = &dialogTemplate;
        state.owner = owner;
    }
    for (const ControlTemplate& control : dialogTemplate.controls) {
        WindowCreateParams child;
        child.className = ClassOfKind(control.kind);
        child.text = control.japanese ? control.japanese : "";
        child.procedure = ControlProcedure;
        child.parent = dialog;
        child.rect = DialogUnitsToPixels(control.x, control.y, control.w, control.h);
        child.id = control.id;
        child.visible = (control.style & kHidden) ? 0 : 1;
        WindowHandle made = CreatePlatformWindow(child);
        if (!made) {
            DestroyPlatformWindow(dialog);
            return nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            controlStates[made] =
                ControlState{control.kind, control.style, BST_UNCHECKED, control.id};
        }
        if (control.style & kDisabled) {
            EnablePlatformWindow(made, 0);
        }
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        dialogStates[dialog].procedure = procedure;
    }
    MessageResult focus = SendWindowMessage(dialog, WM_INITDIALOG, 0, param);
    if (focus != 0 && IsPlatformWindow(dialog)) {
        for (WindowHandle control : GetChildWindows(dialog)) {
            if ((GetControlStyle(control) & kTabStop) && IsPlatformWindowEnabled(control) &&
                IsPlatformWindowVisible(control)) {
                SetFocusWindow(control);
                break;
            }
        }
    }
    return IsPlatformWindow(dialog) ? dialog : nullptr;
}

void PostCommand(WindowHandle dialog, int id) {
    PostWindowMessage(dialog, WM_COMMAND, MakeCommandWParam(id, BN_CLICKED),
                      reinterpret_cast<MessageLParam>(GetChildWindow(dialog, id)));
}

}  // namespace

void SetDialogBaseUnits(int baseX, int baseY) {
    baseUnitX = std::max(1, baseX);
    baseUnitY = std::max(1, baseY);
}

WindowRect DialogUnitsToPixels(int x, int y, int w, int h) {
    auto px = [](int units) {
        return static_cast<int>(std::lround(units * static_cast<double>(baseUnitX) / 4.0));
    };
    auto py = [](int units) {
        return static_cast<int>(std::lround(units * static_cast<double>(baseUnitY) / 8.0));
    };
    return WindowRect{px(x), py(y), px(x + w), py(y + h)};
}

int RunModalDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                   DialogProcedure procedure, MessageLParam param) {
    WindowHandle dialog = InstantiateDialog(dialogTemplate, owner, procedure, param);
    if (!dialog) {
        return -1;
    }
    const int ownerWasEnabled = owner ? EnablePlatformWindow(owner, 0) : 0;
    if (!IsDialogEnded(dialog)) {
        ShowPlatformWindow(dialog, SW_SHOW);
    }
    const DialogResponder responder = CopyResponder(DialogResponderSlot);
    const bool answered = responder || GetPlatformBackend() == PlatformBackend::Headless;
    int round = 0;
    int cancels = 0;
    while (!IsDialogEnded(dialog) && IsPlatformWindow(dialog)) {
        WindowMessage message;
        int got = 0;
        if (answered) {
            got = PeekWindowMessage(&message, PM_REMOVE);
            if (!got) {
                // Nothing left to do: the responder acts, or the dialog is cancelled (and ended
                // with 0 when its procedure ignores the cancel).
                if (responder && cancels == 0 && responder(dialog, dialogTemplate.id, round++)) {
                    continue;
                }
                if (cancels++ == 0) {
                    PostCommand(dialog, IDCANCEL);
                } else {
                    EndDialog(dialog, 0);
                }
                continue;
            }
        } else {
            got = WaitWindowMessage(&message) ? 1 : -1;
        }
        if (got < 0 || message.message == WM_QUIT) {
            PostLoopQuit(static_cast<int>(message.wparam));
            EndDialog(dialog, 0);
            break;
        }
        DispatchWindowMessage(message);
    }
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        if (DialogState* state = FindDialogLocked(dialog)) {
            result = state->result;
        }
    }
    DestroyPlatformWindow(dialog);
    if (owner && ownerWasEnabled) {
        EnablePlatformWindow(owner, 1);
        SetFocusWindow(owner);
    }
    return result;
}

WindowHandle CreateModelessDialog(const DialogTemplate& dialogTemplate, WindowHandle owner,
                                  DialogProcedure procedure, MessageLParam param) {
    return InstantiateDialog(dialogTemplate, owner, procedure, param);
}

int EndDialog(WindowHandle dialog, int result) {
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        DialogState* state = FindDialogLocked(dialog);
        if (!state) {
            return 0;
        }
        state->ended = 1;
        state->result = result;
    }
    ShowPlatformWindow(dialog, SW_HIDE);
    return 1;
}

int IsDialogEnded(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DialogState* state = FindDialogLocked(dialog);
    return state ? state->ended : 1;
}

const DialogTemplate* GetDialogTemplate(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DialogState* state = FindDialogLocked(dialog);
    return state ? state->dialogTemplate : nullptr;
}

WindowHandle GetDialogOwner(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DialogState* state = FindDialogLocked(dialog);
    return state ? state->owner : nullptr;
}

int SetDialogTopmost(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DialogState* state = FindDialogLocked(dialog);
    if (!state) {
        return 0;
    }
    state->topmost = 1;
    return 1;
}

int IsDialogTopmost(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DialogState* state = FindDialogLocked(dialog);
    return state ? state->topmost : 0;
}

WindowHandle GetDlgItem(WindowHandle dialog, int id) {
    return GetChildWindow(dialog, id);
}

int SetDlgItemText(WindowHandle dialog, int id, const std::string& text) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? SetPlatformWindowText(control, text) : 0;
}

std::string GetDlgItemText(WindowHandle dialog, int id) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? GetPlatformWindowText(control) : std::string();
}

int GetDlgItemText(WindowHandle dialog, int id, char* buffer, int size) {
    if (!buffer || size < 1) {
        return 0;
    }
    buffer[0] = '\0';
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control) {
        return 0;
    }
    const std::string text = GetPlatformWindowText(control);
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

int CheckDlgButton(WindowHandle dialog, int id, unsigned check) {
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control) {
        return 0;
    }
    SendWindowMessage(control, BM_SETCHECK, check, 0);
    return 1;
}

unsigned IsDlgButtonChecked(WindowHandle dialog, int id) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? static_cast<unsigned>(SendWindowMessage(control, BM_GETCHECK, 0, 0))
                   : BST_UNCHECKED;
}

int EnableDlgItem(WindowHandle dialog, int id, int enable) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? EnablePlatformWindow(control, enable ? 1 : 0) : 0;
}

int IsDlgItemEnabled(WindowHandle dialog, int id) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? IsPlatformWindowEnabled(control) : 0;
}

int RemoveDlgItem(WindowHandle dialog, int id) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? DestroyPlatformWindow(control) : 0;
}

MessageResult SendDlgItemMessage(WindowHandle dialog, int id, unsigned message,
                                 MessageWParam wparam, MessageLParam lparam) {
    WindowHandle control = GetChildWindow(dialog, id);
    return control ? SendWindowMessage(control, message, wparam, lparam) : 0;
}

ControlKind GetControlKind(WindowHandle control) {
    std::lock_guard<std::mutex> lock(stateMutex);
    ControlState* state = FindControlLocked(control);
    return state ? state->kind : ControlKind::Custom;
}

std::uint32_t GetControlStyle(WindowHandle control) {
    std::lock_guard<std::mutex> lock(stateMutex);
    ControlState* state = FindControlLocked(control);
    return state ? state->style : 0;
}

int GetDlgCtrlId(WindowHandle control) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(control);
    return record ? record->id : 0;
}

const ControlTemplate* GetControlTemplate(WindowHandle control) {
    const DialogTemplate* dialogTemplate = GetDialogTemplate(GetParentWindow(control));
    if (!dialogTemplate) {
        return nullptr;
    }
    const int id = GetDlgCtrlId(control);
    for (const ControlTemplate& entry : dialogTemplate->controls) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

namespace {

// Runs change on the state of the dialog's tab bar with that id, under the state lock; returns
// what change returns, or fallback when there is no such tab bar.
template <typename Result, typename Change>
Result WithTabBar(WindowHandle dialog, int id, Result fallback, Change change) {
    WindowHandle control = GetChildWindow(dialog, id);
    std::lock_guard<std::mutex> lock(stateMutex);
    ControlState* state = control ? FindControlLocked(control) : nullptr;
    if (!state || state->kind != ControlKind::TabBar) {
        return fallback;
    }
    return change(*state);
}

}  // namespace

int InsertTabItem(WindowHandle dialog, int id, int index, const std::string& text) {
    const int at = WithTabBar(dialog, id, -1, [&](ControlState& state) {
        const int count = static_cast<int>(state.tabs.size());
        const int where = std::clamp(index, 0, count);
        state.tabs.insert(state.tabs.begin() + where, text);
        if (state.selectedTab < 0) {
            state.selectedTab = 0;
        } else if (where <= state.selectedTab) {
            ++state.selectedTab;
        }
        return where;
    });
    if (at >= 0) {
        NotifyControlChanged(GetChildWindow(dialog, id));
    }
    return at;
}

int GetTabItemCount(WindowHandle dialog, int id) {
    return WithTabBar(dialog, id, 0,
                      [](ControlState& state) { return static_cast<int>(state.tabs.size()); });
}

std::string GetTabItemText(WindowHandle dialog, int id, int index) {
    return WithTabBar(dialog, id, std::string(), [index](ControlState& state) {
        return index >= 0 && index < static_cast<int>(state.tabs.size())
                   ? state.tabs[static_cast<std::size_t>(index)]
                   : std::string();
    });
}

int GetTabSelection(WindowHandle dialog, int id) {
    return WithTabBar(dialog, id, -1, [](ControlState& state) { return state.selectedTab; });
}

int SetTabSelection(WindowHandle dialog, int id, int index) {
    const int previous = WithTabBar(dialog, id, -1, [index](ControlState& state) {
        if (index < 0 || index >= static_cast<int>(state.tabs.size())) {
            return -1;
        }
        const int before = state.selectedTab;
        state.selectedTab = index;
        return before;
    });
    if (previous >= 0) {
        NotifyControlChanged(GetChildWindow(dialog, id));
    }
    return previous;
}

int ClickTabItem(WindowHandle dialog, int id, int index) {
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control || !IsPlatformWindowEnabled(control) || index < 0 ||
        index >= GetTabItemCount(dialog, id) || index == GetTabSelection(dialog, id)) {
        return 0;
    }
    NotifyHeader header{control, id, TCN_SELCHANGING};
    if (SendWindowMessage(dialog, WM_NOTIFY, static_cast<MessageWParam>(id),
                          reinterpret_cast<MessageLParam>(&header)) != 0) {
        return 0;
    }
    SetTabSelection(dialog, id, index);
    header.code = TCN_SELCHANGE;
    SendWindowMessage(dialog, WM_NOTIFY, static_cast<MessageWParam>(id),
                      reinterpret_cast<MessageLParam>(&header));
    return 1;
}

int ClickDlgItem(WindowHandle dialog, int id) {
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control || !IsPlatformWindowEnabled(control) || !IsPlatformWindowVisible(control)) {
        return 0;
    }
    const ControlKind kind = GetControlKind(control);
    if (kind == ControlKind::AutoCheckBox) {
        CheckDlgButton(dialog, id,
                       IsDlgButtonChecked(dialog, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    } else if (kind == ControlKind::AutoRadioButton) {
        // The group: the radio buttons from the last group start before it to the next one.
        const std::vector<WindowHandle> children = GetChildWindows(dialog);
        auto at = std::find(children.begin(), children.end(), control);
        auto first = at;
        while (first != children.begin() && !(GetControlStyle(*first) & kGroupStart)) {
            --first;
        }
        for (auto it = first; it != children.end(); ++it) {
            if (it != first && (GetControlStyle(*it) & kGroupStart)) {
                break;
            }
            if (IsRadioKind(GetControlKind(*it))) {
                SendWindowMessage(*it, BM_SETCHECK, *it == control ? BST_CHECKED : BST_UNCHECKED,
                                  0);
            }
        }
    }
    PostCommand(dialog, id);
    return 1;
}

int GetDlgSwatchColor(WindowHandle dialog, int id, std::uint32_t* color) {
    WindowHandle swatch = GetChildWindow(dialog, id);
    if (!swatch || GetControlKind(swatch) != ControlKind::Swatch) {
        return 0;
    }
    const MessageResult answer =
        SendWindowMessage(dialog, WM_CTLCOLORSTATIC, 0, reinterpret_cast<MessageLParam>(swatch));
    if ((answer & kSwatchColored) == 0) {
        return 0;
    }
    if (color) {
        *color = static_cast<std::uint32_t>(answer & 0xFFFFFF);
    }
    return 1;
}

int ScrollDlgItem(WindowHandle dialog, int id, unsigned code, int position) {
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control || GetControlKind(control) != ControlKind::HScrollBar ||
        !IsPlatformWindowEnabled(control) || !IsPlatformWindowVisible(control)) {
        return 0;
    }
    const MessageWParam wparam =
        (static_cast<MessageWParam>(static_cast<unsigned>(position) & 0xFFFF) << 16) | code;
    return PostWindowMessage(dialog, WM_HSCROLL, wparam, reinterpret_cast<MessageLParam>(control));
}

int GetDlgItemScrollPos(WindowHandle dialog, int id) {
    return static_cast<int>(SendDlgItemMessage(dialog, id, SBM_GETPOS, 0, 0));
}

int GetDlgItemScrollRange(WindowHandle dialog, int id, int* minimum, int* maximum) {
    WindowHandle control = GetChildWindow(dialog, id);
    std::lock_guard<std::mutex> lock(stateMutex);
    ControlState* state = FindControlLocked(control);
    if (!state || state->kind != ControlKind::HScrollBar) {
        return 0;
    }
    if (minimum) {
        *minimum = state->scrollMin;
    }
    if (maximum) {
        *maximum = state->scrollMax;
    }
    return 1;
}

int TypeDlgItemText(WindowHandle dialog, int id, const std::string& text) {
    WindowHandle control = GetChildWindow(dialog, id);
    if (!control || !IsPlatformWindowEnabled(control) ||
        GetControlKind(control) != ControlKind::Edit) {
        return 0;
    }
    return SetPlatformWindowText(control, text);
}

DialogResponder SetDialogResponder(DialogResponder responder) {
    return SwapResponder(DialogResponderSlot, std::move(responder));
}

}  // namespace mirexa
