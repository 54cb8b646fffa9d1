// The view window's keys: navigation, display modes, run keys, editors, stock backup, undo and
// unused-part removal, and the clipboard and PNG snapshots.
#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "geometry/orientation_frames.h"
#include "platform/backend.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_timer.h"
#include "stock/cut_off_removal.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/marker_lists.h"
#include "view/picking.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/stock_view.h"
#include "view/tool_path.h"
#include "view/view_hooks.h"
#include "view/view_window.h"

namespace mirexa {

namespace {

void SetStatusText(int part, const char* english, const char* japanese) {
    WindowHandle bar = MainStatusBar.load();
    if (bar != nullptr) {
        SetStatusBarText(bar, part, 0, ChooseLanguageText(english, japanese));
    }
}

bool BatchMinimised() {
    return AutomaticMode.load() != 0;
}

bool MainWindowInFront() {
    return ViewCallbacks.mainWindowForeground == nullptr || ViewCallbacks.mainWindowForeground();
}

bool NcProgramSelected() {
    return ViewCallbacks.ncProgramSelected != nullptr && ViewCallbacks.ncProgramSelected();
}

void CallHook(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

void OpenEditor(int which) {
    if (ViewCallbacks.openDefinitionEditor != nullptr) {
        ViewCallbacks.openDefinitionEditor(which);
    }
}

void UpdateTitle() {
    if (ViewCallbacks.updateTitle != nullptr) {
        ViewCallbacks.updateTitle();
    } else if (UiHooks.updateMainTitle != nullptr) {
        UiHooks.updateMainTitle(MainWindow.load());
    }
}

// The current stock's slot after an undo push or pop: the slot's display is rebuilt from its list
// names. Every reader of its arrays rebinds on its own (the cut's views see the model's working
// generation change).
void AfterUndoSlotChange(StockModel* model) {
    const int slot = model->undo.currentSlot;
    if (slot >= 0 && slot < kMaxStockUndoSlots) {
        SceneDirty.stock[slot] = 1;
    }
}

// B: a new undo slot holding the current state.
void BackUpStock() {
    if (WindowRun.mode.load() != RunMode::kIdle || !CanPushRunUndoPoint()) {
        return;
    }
    SetStatusText(0, "Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)");
    PushRunUndoPoint();
}

// C without Ctrl: back to the previous slot; from a stock without earlier states, back to the
// stock a replacement took away.
void UndoStock() {
    StockModel* model = CurrentViewStock();
    if (WindowRun.mode.load() != RunMode::kIdle || StockOperationRunning.load()) {
        return;
    }
    if (model == nullptr || model->undo.highestUsedSlot <= 0) {
        if (ViewCallbacks.restoreReplacedStock != nullptr &&
            ViewCallbacks.restoreReplacedStock() == 1) {
            ViewWindow.unusedPartShown = 0;
        }
        return;
    }
    PopStockUndo(model);
    AfterUndoSlotChange(model);
    ViewWindow.unusedPartShown = 0;
    CallHook(ViewCallbacks.drawStockRangePanes);
}

// The next display mode 2 -> 1 -> 0 -> 2; a semi-transparent mode with an alpha of 0 or 1
// shows nothing different from opaque, so it becomes 1 (for the tool an alpha of 0 gives 0).
int NextDisplayMode(int mode, float alpha, bool tool) {
    int next = mode <= 0 ? 2 : mode - 1;
    if (next == 2) {
        if (tool && alpha == 0.0f) {
            next = 0;
        } else if (alpha == 0.0f || alpha == 1.0f) {
            next = 1;
        }
    }
    return next;
}

void CycleDisplayMode(int character) {
    switch (character) {
        case 'T':
            DisplayModes.toolMode =
                NextDisplayMode(DisplayModes.toolMode, DisplayModes.toolAlpha, true);
            if (DisplayModes.toolMode > 0) {
                SceneDirty.tools = 1;
            }
            break;
        case 'Q':
            DisplayModes.machineMode =
                NextDisplayMode(DisplayModes.machineMode, DisplayModes.machineAlpha, false);
            MarkMachineListsDirty();
            break;
        case 'A': {
            StockModel* model = CurrentViewStock();
            if (model == nullptr) {
                return;
            }
            DisplayModes.workMode =
                NextDisplayMode(DisplayModes.workMode, DisplayModes.workAlpha, false);
            MarkStockDisplayDirty(model);
            break;
        }
        case '^':
            if (!BasicModelState.present &&
                (ViewCallbacks.loadBasicModel == nullptr || ViewCallbacks.loadBasicModel() != 1 ||
                 !BasicModelState.present)) {
                return;
            }
            DisplayModes.baseMode =
                NextDisplayMode(DisplayModes.baseMode, DisplayModes.baseAlpha, false);
            SceneDirty.basicShape = 1;
            break;
        default:
            return;
    }
    CallHook(ViewCallbacks.updateMenuChecks);
}

// Ctrl+P: the view as "tmp.png", opened with the desktop's viewer.
void SaveViewPng() {
    const CaptureGeometry& g = ViewCapture;
    if (g.size == 0) {
        return;
    }
    std::vector<std::uint8_t> pixels(g.size);
    if (!ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size())) {
        return;
    }
    if (SavePngImage("tmp.png", pixels.data(), g.stride, g.width, g.height) == kPngWritten &&
        ViewCallbacks.openWithShell != nullptr) {
        ViewCallbacks.openWithShell("tmp.png");
    }
}

void PutLittleEndian(std::uint8_t* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The run keys that act while a run mode is active.
void StepRedrawInterval(int direction) {
    const RunMode mode = WindowRun.mode.load();
    if (mode != RunMode::kRealCutting && mode != RunMode::kSkipCutting) {
        return;
    }
    StepRunRedrawInterval(mode, direction);
    UpdateTitle();
}

// Tab and Shift+Tab, as in the main window.
void NextRunMode(bool backwards) {
    const RunMode mode = WindowRun.mode.load();
    if (!NcProgramSelected() || mode == RunMode::kIdle) {
        return;  // from no run mode nothing: starting a run is a run command's work
    }
    WindowRun.mode.store(StepRunMode(mode, backwards));
    UpdateTitle();
}

// F1 .. F4: help, the settings file and the definition files in their editors; ctrl: Ctrl as the
// key's message has it (Ctrl+F1, Ctrl+F2).
void OpenEditorKey(unsigned keyCode, bool ctrl) {
    switch (keyCode) {
        case VK_F1:
            if (ctrl && !BatchMinimised()) {
                SetViewCursor(kViewCursorArrow);
                ShowMessageBox(
                    MainWindow.load(),
                    ChooseLanguageText("Please reboot MIREXA for reflection of setting after edit",
                                       "編集後、設定を反映するにはMIREXAを再起動して下さい。"),
                    ChooseLanguageText("Editing INI-FILE", "初期設定ファイルの編集"),
                    MBX_OK | MBX_TOPMOST);
                OpenEditor(kViewEditorSettings);
            } else {
                CallHook(ViewCallbacks.openHelpPage);
            }
            break;
        case VK_F2:
            OpenEditor(ctrl && !BatchMinimised() ? kViewEditorVerifyForm : kViewEditorTools);
            break;
        case VK_F3:
            OpenEditor(kViewEditorController);
            break;
        case VK_F4:
            OpenEditor(kViewEditorMachine);
            break;
        default:
            break;
    }
}

// The keys that act at once, without a redraw; returns true when the key was one of them.
bool HandleImmediateKey(WindowHandle window, unsigned keyCode, int character, bool shiftHeld,
                        bool ctrlHeld) {
    WindowHandle main = GetParentWindow(window);
    const RunMode runMode = WindowRun.mode.load();
    // The abort key ("ESCAPE KEY"); the pause key ("STOP KEY") is the main window's, held.
    if (keyCode == static_cast<unsigned>(Settings.escapeKey) && runMode != RunMode::kIdle &&
        !DrawingSuppressed.load()) {
        if (ViewCallbacks.abortRun != nullptr) {
            ViewCallbacks.abortRun(main);
        } else {
            AbortRunFromView(main);
        }
        return true;
    }
    if (keyCode >= VK_F1 && keyCode <= VK_F4) {
        if (keyCode == VK_F1) {
            StopWindowTimer(window, kViewSpinTimerId);
            ViewWindow.spinRunning = 0;
        }
        OpenEditorKey(keyCode, ctrlHeld);
        return true;
    }
    if (keyCode >= VK_F5 && keyCode <= VK_F7) {
        static constexpr unsigned kCommands[3] = {kMainCommandCutResult, kMainCommandPath,
                                                  kMainCommandPathNoRot};
        if (NcProgramSelected() && main != nullptr) {
            PostWindowMessage(main, WM_COMMAND, kCommands[keyCode - VK_F5], 0);
        }
        return true;
    }
    if (keyCode == VK_RIGHT || keyCode == VK_LEFT) {
        StepRedrawInterval(keyCode == VK_RIGHT ? 1 : -1);
        return true;
    }
    if (keyCode == VK_TAB) {
        NextRunMode(shiftHeld);
        return true;
    }
    switch (character) {
        case 'G':
            if (WindowRun.controls.pendingStop.load() && main != nullptr) {
                if (ViewCallbacks.resumeRun != nullptr) {
                    ViewCallbacks.resumeRun(main);
                } else {
                    StartRunTimer(main);
                }
            }
            return true;
        case 'E':
            if (main != nullptr) {
                PostWindowMessage(main, WM_COMMAND, kMainCommandEditNc, 0);
            }
            return true;
        case 'H':
            if (main != nullptr) {
                PostWindowMessage(main, WM_COMMAND, kMainCommandNextStyle, 0);
            }
            return true;
        case 'X':
            CallHook(ViewCallbacks.startSecondInstance);
            return true;
        case 'Z':
            ViewWindow.rectangle.active = 1;
            ViewWindow.rectangle.dragging = 0;
            ShowViewWindows(SW_HIDE);
            SetViewCursor(kViewCursorRectangle);
            return true;
        default:
            return false;
    }
}

// B .. P: the keys that end with a redraw. Returns false for a key that is none of them.
// shiftHeld, ctrlHeld: Shift and Ctrl as the key's message has them (Shift+Delete, Shift+7,
// Ctrl+C, Ctrl+P).
bool HandleRedrawKey(WindowHandle window, unsigned keyCode, int character, bool shiftHeld,
                     bool ctrlHeld) {
    const bool fromPanel = ViewWindow.fromPanel != 0;
    if (keyCode == VK_DELETE) {
        StockModel* model = CurrentViewStock();
        if (model != nullptr && WindowRun.mode.load() == RunMode::kIdle &&
            !StockOperationRunning.load()) {
            RemoveUnusedPartAtCursor(window, shiftHeld);
        }
        return true;
    }
    switch (character) {
        case 'B':
            BackUpStock();
            return true;
        case 'C':
            if (ctrlHeld && MainWindowInFront() && !BatchMinimised()) {
                CopyViewToClipboard();
            } else {
                UndoStock();
            }
            return true;
        case 'F':
            SetRotationCentre(&CurrentView);
            CurrentView.zoom = 1.0;
            CurrentView.viewChanged = 1;
            return true;
        case 'R':
            CurrentView.angleA = CurrentView.startAngleA;
            CurrentView.angleB = CurrentView.startAngleB;
            UpdateViewTrig(&CurrentView);
            SceneDirty.triad = 1;
            SetRotationCentre(&CurrentView);
            CurrentView.zoom = 1.0;
            CurrentView.viewChanged = 1;
            return true;
        case 'D':
        case 'U':
        case 'W':
        case 'S':
        case 'M':
            if (!fromPanel) {
                PickPointUnderCursor(window, 1, CurrentView.centre);
            }
            if (character == 'D' || character == 'U') {
                const double b = CurrentView.angleB + (character == 'D' ? 10.0 : -10.0);
                CurrentView.angleB = b < 0.0 ? b + 360.0 : (b > 360.0 ? b - 360.0 : b);
                UpdateViewTrig(&CurrentView);
                SceneDirty.triad = 1;
            } else if (character == 'W' || character == 'S') {
                const double rate = Settings.expandRate > 0.0 ? Settings.expandRate : 5.0;
                CurrentView.zoom =
                    character == 'W' ? CurrentView.zoom * rate : CurrentView.zoom / rate;
            }
            CurrentView.viewChanged = 1;
            return true;
        case '[':
            if (Machine.tableCarriedCount > 0) {
                SceneFollow.followLinearAxes = SceneFollow.followLinearAxes ? 0 : 1;
                SetRotationCentre(&CurrentView);
                CallHook(ViewCallbacks.drawStatusBar);
            }
            return true;
        case ']':
            if (Machine.rotaryType != 1) {
                SceneFollow.followRotaryAxes = SceneFollow.followRotaryAxes ? 0 : 1;
                SetRotationCentre(&CurrentView);
                CallHook(ViewCallbacks.drawStatusBar);
            }
            return true;
        case 'I':
        case 'J':
            // The shell answers 0 for J while the window's run's snapshot holds no tool.
            if (DisplayModes.toolMode > 0 && ViewCallbacks.swapToolPose != nullptr &&
                ViewCallbacks.swapToolPose(character == 'I' ? 0 : 1) == 1) {
                CallHook(ViewCallbacks.drawAxisValuePanes);
            }
            return true;
        case 'T':
        case 'Q':
        case 'A':
        case '^':
            CycleDisplayMode(character);
            return true;
        case '@':
            CurrentView.perspective = CurrentView.perspective ? 0 : 1;
            DisplayModes.perspective = CurrentView.perspective;
            CurrentView.viewChanged = 1;
            CallHook(ViewCallbacks.drawStatusBar);
            CallHook(ViewCallbacks.updateMenuChecks);
            ClearViewWindow();
            return true;
        case 'P':
            if (ctrlHeld && MainWindowInFront() && !BatchMinimised()) {
                SaveViewPng();
            } else if (StockModel* model = CurrentViewStock()) {
                MarkStockDisplayDirty(model);
            }
            return true;
        default:
            break;
    }
    if (character >= '0' && character <= '9') {
        if (!fromPanel) {
            PickPointUnderCursor(window, 1, CurrentView.centre);
        }
        ApplyViewAngleKey(character, shiftHeld);
        CurrentView.viewChanged = 1;
        return true;
    }
    return false;
}

}  // namespace

int ApplyViewAngleKey(int character, int shiftHeld) {
    ViewState& view = CurrentView;
    const double a = view.angleA;
    const double b = view.angleB;
    double newA = a;
    double newB = b;
    switch (character) {
        case '1':
            newA = 225.0;
            break;
        case '2':
            newA = 135.0;
            break;
        case '3':
            newA = 45.0;
            break;
        case '4':
            newA = 315.0;
            break;
        case '5':
            newA = b > 180.0 ? a + 15.0 : a - 15.0;
            if (newA < 0.0) {
                newA += 360.0;
            }
            break;
        case '6':
            newA = b > 180.0 ? a - 15.0 : a + 15.0;
            if (newA >= 360.0) {
                newA -= 360.0;
            }
            break;
        case '7':
            newA = WrapViewAngle(a + 180.0);
            if (shiftHeld) {
                newB = WrapViewAngle(b + 180.0);
            }
            break;
        case '8':
            newA = 0.0;
            newB = 90.0;
            break;
        case '9':
            newA = 270.0;
            newB = 90.0;
            break;
        case '0':
            newA = 0.0;
            newB = 0.0;
            break;
        default:
            return 0;
    }
    const bool fixed = character == '8' || character == '9' || character == '0';
    if (fixed && newA == a && newB == b && !ViewWindow.drag.ctrlLatch) {
        return 0;
    }
    view.angleA = newA;
    view.angleB = newB;
    UpdateViewTrig(&view);
    SceneDirty.triad = 1;
    view.viewChanged = 1;
    if (ViewWindow.drag.ctrlLatch) {
        ViewWindow.drag.ctrlLatch = 0;
        view.zoom = 1.0;
    }
    return 1;
}

int CopyViewToClipboard() {
    const CaptureGeometry& g = ViewCapture;
    if (g.size == 0 || g.width < 1 || g.height < 1) {
        return 0;
    }
    constexpr std::size_t kHeaderBytes = 40;
    std::vector<std::uint8_t> block(kHeaderBytes + g.size, 0);
    std::uint8_t* h = block.data();
    PutLittleEndian(h, 40, 4);
    PutLittleEndian(h + 4, static_cast<std::uint32_t>(g.width), 4);
    PutLittleEndian(h + 8, static_cast<std::uint32_t>(g.height), 4);
    PutLittleEndian(h + 12, 1, 2);   // planes
    PutLittleEndian(h + 14, 24, 2);  // bits per pixel
    PutLittleEndian(h + 16, 0, 4);   // no compression
    PutLittleEndian(h + 20, static_cast<std::uint32_t>(g.size), 4);
    ShowViewWindows(SW_HIDE);
    const int read = ReadViewPixels(kPixelsBgr, block.data() + kHeaderBytes, g.size);
    ShowViewWindows(SW_SHOW);
    if (!read) {
        return 0;
    }
    EmptyClipboard();
    return SetClipboardData(CLIPBOARD_DIB, std::move(block));
}

int RemoveUnusedPartAtCursor(WindowHandle window, int keepPicked) {
    StockModel* model = CurrentViewStock();
    int x = 0;
    int y = 0;
    if (model == nullptr || !GetPointerOverWindow(window, &x, &y)) {
        return 0;
    }
    const int slotBefore = model->undo.currentSlot;
    double position[3] = {};
    const int mode = keepPicked ? kRemoveAllButPicked : kRemovePickedPiece;
    const int result = RemoveCutOffPieceAtCursor(model, mode, x, y, position);
    if (result != 0) {
        for (int i = 0; i < 3; ++i) {
            PickedPoint[i] = position[i];
        }
        SceneDirty.pickedPoint = 2;
    }
    if (result == 1) {
        SetStatusText(0, "Deleting", "削除処理中");
        if (model->undo.currentSlot != slotBefore) {
            CopyPreviousListNameRow(*model, &StockListNames[CurrentStockIndex.load()]);
        }
        AfterUndoSlotChange(model);
        SetStatusText(0, "Generating Facets", "描画データ作成中");
    }
    ViewWindow.unusedPartShown = 0;
    return result;
}

void AbortRunFromView(WindowHandle mainWindow) {
    AbortWindowJob();
    WindowRun.controls.pauseBlink.store(0);
    SetStatusText(3, "", "");
    if (mainWindow != nullptr && !IsWindowTimerRunning(mainWindow, kViewRunTimerId)) {
        StartWindowTimer(mainWindow, kViewRunTimerId, kViewRunTimerPeriodMs);
    }
}

void FinishViewRedrawKey(WindowHandle window) {
    SceneDirty.triad = 1;
    CurrentView.viewChanged = 1;
    if (!(WindowRun.mode.load() != RunMode::kIdle && WindowRun.controls.pendingStop.load())) {
        RedrawView(window);
    }
    SetStatusText(0, "", "");
    SetViewCursor(kViewCursorIdle);
}

void HandleViewKey(WindowHandle window, unsigned keyCode, int character, bool shiftHeld,
                   bool ctrlHeld) {
    ViewWindowState& v = ViewWindow;
    // 1. Nothing while the rectangle mode is on.
    if (v.rectangle.active) {
        return;
    }
    // 2. Ctrl latches (and turns a rotating drag into a zoom); during a run it may be the stop
    // key too.
    if (keyCode == VK_CONTROL && ViewMouseMode != kMouseModeRectangle) {
        NoteControlKey(1);
        if (WindowRun.mode.load() == RunMode::kIdle) {
            return;
        }
    }
    // 3. Nothing during a drag.
    if (v.drag.active || v.drag.rectangleActive) {
        return;
    }
    // 4. The view takes the focus; keys match by their character.
    v.focus = 1;
    if (HandleImmediateKey(window, keyCode, character, shiftHeld, ctrlHeld)) {
        return;
    }
    SetViewCursor(kViewCursorWait);
    if (!HandleRedrawKey(window, keyCode, character, shiftHeld, ctrlHeld)) {
        SetViewCursor(kViewCursorIdle);
        return;
    }
    FinishViewRedrawKey(window);
}

}  // namespace mirexa
