// The view window procedure: messages, mouse tools, wheel, timers, popup commands and paint,
// and the deferral of stock-changing input while the view rebuilds its lists.
#include "view/view_window.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/keys.h"
#include "platform/pointer.h"
#include "platform/popup_menu.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "simulation/cutting_run.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/driver_memory.h"
#include "view/gdi_resources.h"
#include "view/picking.h"
#include "view/scene_renderer.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_hooks.h"

namespace mirexa {

int ViewMouseMode = kMouseModeRotate;
ViewWindowState ViewWindow;

namespace {

// The program's cursor (resource id) of each role; 0 for the system's wait and arrow cursors.
constexpr int kViewCursorIds[kViewCursorRoleCount] = {
    kCursorIdle,           // the mouse tool's cursor (replaced by the tool's role)
    0,                     // wait
    0,                     // arrow
    kCursorRotate,         // rotate, dragging
    kCursorZoomIn,         // zoom
    kCursorMove,           // pan
    kCursorMeasure1,       // measuring tool 1
    kCursorMeasure2,       // tool 2
    kCursorMeasure3,       // tool 3
    kCursorMeasure4,       // tool 4
    kCursorStockPart,      // path pick, measuring tools 5-7
    kCursorStockPart,      // stock-part tool
    kCursorStockPart2,     // second stock-part tool
    kCursorZoomRectangle,  // the rectangle tool
    kCursorDragRight,      // rubber band dragged up and right
    kCursorDragUp,         // up and left
    kCursorDragDown,       // down and right
    kCursorDragLeft,       // down and left
    kCursorSpin,           // spin
};

// The cursor role of a mouse tool.
int CursorOfMode(int mode) {
    switch (mode) {
        case 1:
            return kViewCursorMeasure;
        case 2:
            return kViewCursorTool2;
        case 3:
            return kViewCursorTool3;
        case 4:
            return kViewCursorTool4;
        case 5:
        case 6:
        case 7:
            return kViewCursorPathPick;
        case 8:
            return kViewCursorStockPart;
        case 9:
            return kViewCursorStockPartOther;
        case kMouseModeZoom:
            return kViewCursorZoom;
        case kMouseModePan:
            return kViewCursorPan;
        case kMouseModeRectangle:
            return kViewCursorRectangle;
        default:
            return kViewCursorRotate;
    }
}

int ClientX(MessageLParam lparam) {
    return static_cast<std::int16_t>(lparam & 0xFFFF);
}
int ClientY(MessageLParam lparam) {
    return static_cast<std::int16_t>((lparam >> 16) & 0xFFFF);
}

bool MoveSwitchOn() {
    return Settings.rightButtonMove == 1;
}

bool IsInputMessage(unsigned message) {
    return message == WM_KEYDOWN || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP ||
           message == WM_RBUTTONDOWN || message == WM_RBUTTONUP;
}

// Posts the input held back during a rebuild to the view again, in its order.
void ReleaseDeferredInput(WindowHandle window) {
    if (ViewWindow.deferred.empty() || IsViewRebuilding()) {
        return;
    }
    std::vector<WindowMessage> messages;
    messages.swap(ViewWindow.deferred);
    for (const WindowMessage& m : messages) {
        PostWindowMessage(window, m.message, m.wparam, m.lparam);
    }
}

void StopSpin(WindowHandle window) {
    if (ViewWindow.spinRunning) {
        StopWindowTimer(window, kViewSpinTimerId);
        ViewWindow.spinRunning = 0;
    }
}

void CloseBasisPointNote() {
    if (ViewWindow.note != nullptr) {
        DestroyPlatformWindow(ViewWindow.note);
    }
    ViewWindow.note = nullptr;
    ViewWindow.noteOpen = 0;
}

// The rubber band's corners in normalised device coordinates.
void UpdateRectangleCorners() {
    ZoomRectangleState& r = ViewWindow.rectangle;
    const double w = std::max(1, ViewWindow.size.width);
    const double h = std::max(1, ViewWindow.size.height);
    const int xs[4] = {r.startX, r.endX, r.endX, r.startX};
    const int ys[4] = {r.startY, r.startY, r.endY, r.endY};
    for (int i = 0; i < 4; ++i) {
        r.corners[i][0] = 2.0 * xs[i] / w - 1.0;
        r.corners[i][1] = 1.0 - 2.0 * ys[i] / h;
    }
}

void StartRectangle(int x, int y) {
    ZoomRectangleState& r = ViewWindow.rectangle;
    r.dragging = 1;
    r.startX = r.endX = x;
    r.startY = r.endY = y;
    UpdateRectangleCorners();
    SceneDisplay.rubberBandActive = 1;
}

void EndRectangleMode(WindowHandle window) {
    ZoomRectangleState& r = ViewWindow.rectangle;
    r.active = 0;
    r.dragging = 0;
    SceneDisplay.rubberBandActive = 0;
    ClipPointer(window, nullptr);
    ShowViewWindows(SW_SHOW);
    ViewWindow.focus = 1;
}

// Release of the rubber band: a rectangle of at least 5 x 5 pixels zooms onto its middle.
void FinishRectangle(WindowHandle window) {
    ZoomRectangleState& r = ViewWindow.rectangle;
    const int w = std::abs(r.endX - r.startX);
    const int h = std::abs(r.endY - r.startY);
    if (w < 5 || h < 5) {
        return;  // stays open and follows the cursor until the next release
    }
    const int midX = (r.startX + r.endX) / 2;
    const int midY = (r.startY + r.endY) / 2;
    ScreenToModelPoint(midX, midY, 1, CurrentView.centre);
    const int qx = ViewWindow.size.width / w;
    const int qy = ViewWindow.size.height / h;
    CurrentView.zoom *= std::max(1, std::min(qx, qy));
    CurrentView.viewChanged = 1;
    EndRectangleMode(window);
    RedrawView(window);
}

// The NC line of a picked path element into the panel's strip, with the pick sound, the editor
// jump and three flashes.
void ShowPickedPathLine() {
    if (ViewCallbacks.ncProgramSelected == nullptr || !ViewCallbacks.ncProgramSelected() ||
        ViewCallbacks.pathPickingOn == nullptr || !ViewCallbacks.pathPickingOn()) {
        return;
    }
    const int line = std::abs(PickedPointInfo);
    char text[256] = {};
    if (line > 0 && ViewCallbacks.readPathLine != nullptr) {
        ViewCallbacks.readPathLine(line, text, static_cast<int>(sizeof text));
        text[sizeof text - 1] = '\0';
    }
    if (Settings.sound && ViewCallbacks.playSound != nullptr) {
        ViewCallbacks.playSound(kViewSoundPick);
    }
    if (line > 0 && ViewCallbacks.jumpEditorToLine != nullptr) {
        ViewCallbacks.jumpEditorToLine(line);
    }
    if (ViewCallbacks.drawNcDataStrip == nullptr) {
        return;
    }
    for (int flash = 0; flash < 3; ++flash) {
        ViewCallbacks.drawNcDataStrip(text, 6);
        SleepMilliseconds(100);
        ViewCallbacks.drawNcDataStrip(text, 5);
        SleepMilliseconds(100);
    }
    ViewCallbacks.drawNcDataStrip(text, line > 0 ? 3 : 4);
}

// shiftHeld, ctrlHeld: Shift and Ctrl as the click's message has them (a Shift-click measures the
// vice, a Ctrl-click after the Ctrl latch starts a zooming drag).
void HandleLeftButtonDown(WindowHandle window, int x, int y, bool shiftHeld, bool ctrlHeld) {
    ViewWindowState& v = ViewWindow;
    if (v.noteOpen) {
        CloseBasisPointNote();
        return;
    }
    if (v.popupActive) {
        v.popupActive = 0;
        return;
    }
    if (v.rectangle.active) {
        if (!v.rectangle.dragging) {
            StartRectangle(x, y);
        }
        return;
    }
    SetMouseCapture(window);
    v.drag.pressX = x;
    v.drag.pressY = y;
    SetViewCursor(kViewCursorIdle);
    StopSpin(window);
    const int mode = ViewMouseMode;
    if (mode > 10 && mode != kMouseModeRectangle) {
        if (v.drag.rightHeld && MoveSwitchOn()) {
            ViewMouseMode = kMouseModePan;
        } else if (ctrlHeld && v.drag.ctrlLatch) {
            ViewMouseMode = kMouseModeZoom;
        } else if (MoveSwitchOn()) {
            ViewMouseMode = kMouseModeRotate;
        }
        SetViewCursor(CursorOfMode(ViewMouseMode));
        v.drag.active = 1;
        v.drag.spinSpeed = 0;
        CurrentView.lastDragX = x;
        CurrentView.lastDragY = y;
        return;
    }
    switch (mode) {
        case kMouseModeRectangle:
            // The rectangle tool draws the same rubber band as the Z key and zooms onto it.
            SetViewCursor(kViewCursorRectangle);
            v.drag.rectangleActive = 1;
            v.rectangle.active = 1;
            StartRectangle(x, y);
            break;
        case kMouseModeMeasure:
            if (PickAtCursor(x, y, shiftHeld)) {
                if (ViewCallbacks.setMeasureText != nullptr) {
                    ViewCallbacks.setMeasureText(ChooseLanguageText("Measured", "計測OK"));
                }
                if (ViewCallbacks.drawTracePanes != nullptr) {
                    ViewCallbacks.drawTracePanes(1);
                }
                RecordTracePoint();
            } else if (ViewCallbacks.setMeasureText != nullptr) {
                ViewCallbacks.setMeasureText(
                    ChooseLanguageText("Cannot measure there", "そこは計測不能です"));
            }
            RedrawView(window);
            break;
        case kMouseModeStockPartKeep:
            v.stockPartState = 1;
            break;
        case kMouseModeStockPartRemove:
            v.stockPartState = 2;
            PickAtCursor(x, y, shiftHeld);
            break;
        case kMouseModeSound:
            v.soundFlags[3] = 1;
            break;
        case kMouseModePathPick:
            if (PickAtCursor(x, y, shiftHeld)) {
                RecordTracePoint();
                RedrawView(window);
                ShowPickedPathLine();
            } else {
                RedrawView(window);
            }
            break;
        default:
            break;
    }
}

void HandleMouseMove(WindowHandle window, unsigned buttons, int x, int y) {
    ViewWindowState& v = ViewWindow;
    if (v.rectangle.active) {
        if (v.rectangle.dragging) {
            v.rectangle.endX = x;
            v.rectangle.endY = y;
            const bool right = x >= v.rectangle.startX;
            const bool down = y >= v.rectangle.startY;
            SetViewCursor(right ? (down ? kViewCursorRectangleSE : kViewCursorRectangleNE)
                                : (down ? kViewCursorRectangleSW : kViewCursorRectangleNW));
            UpdateRectangleCorners();
            RedrawView(window);
        } else {
            SetViewCursor(kViewCursorRectangle);
        }
        return;
    }
    if (v.drag.active) {
        if ((buttons & MK_LBUTTON) == 0) {
            v.drag.active = 0;
            ViewMouseMode = kMouseModeRotate;
            ReleaseMouseCapture();
            return;
        }
        // Pan while the right button is held (MOVE SWITCH on), or as toggled by a right click
        // (MOVE SWITCH off); zoom while Ctrl is held; otherwise rotate.
        if (v.drag.rightHeld && MoveSwitchOn()) {
            ViewMouseMode = kMouseModePan;
        } else if (IsKeyDown(VK_CONTROL)) {
            ViewMouseMode = kMouseModeZoom;
        } else if (ViewMouseMode != kMouseModePan || MoveSwitchOn()) {
            ViewMouseMode = kMouseModeRotate;
        }
        const std::uint64_t now = GetTickMilliseconds();
        if (MouseDragView(&CurrentView, x, y, ViewMouseMode, now)) {
            v.drag.lastMoveTick = now;
            if (ViewMouseMode == kMouseModeRotate) {
                v.drag.spinSpeed = CurrentView.lastRotationStep;
                v.drag.spinAxis = CurrentView.lastRotationAxis;
            } else {
                v.drag.spinSpeed = 0;
            }
            RedrawView(window);
        }
        return;
    }
    // The pointer over the view gives it the keyboard, wherever the user clicked last.
    if (!v.wheel.active) {
        v.focus = 1;
        if (GetFocusWindow() != window) {
            SetFocusWindow(window);
        }
    }
}

void HandleLeftButtonUp(WindowHandle window, int x, int y) {
    ViewWindowState& v = ViewWindow;
    if (v.stockPartState > 0) {
        v.stockPartState = 0;
    }
    if (v.rectangle.active) {
        if (v.rectangle.dragging) {
            v.rectangle.endX = x;
            v.rectangle.endY = y;
            UpdateRectangleCorners();
            FinishRectangle(window);
        }
        if (!v.rectangle.active) {
            v.drag.rectangleActive = 0;
        }
        return;
    }
    if (v.drag.active) {
        v.drag.active = 0;
        ViewMouseMode = kMouseModeRotate;
        ReleaseMouseCapture();
        const std::uint64_t now = GetTickMilliseconds();
        v.drag.releaseTick = now;
        if (v.drag.spinSpeed != 0 && now - v.drag.lastMoveTick < kSpinFlickMs) {
            SetViewCursor(kViewCursorSpin);
            StartWindowTimer(window, kViewSpinTimerId, kViewSpinPeriodMs);
            v.spinRunning = 1;
        }
        return;
    }
    // The release of a measuring tool.
    MeasureTraceState& trace = MeasureTrace;
    if (trace.marks != nullptr && trace.count >= 0 && trace.count < trace.capacity) {
        trace.marks[trace.count] = 0;
    }
    if (ViewCallbacks.stopSound != nullptr) {
        ViewCallbacks.stopSound();
    }
    const int tool = ViewMouseMode;
    if (tool >= 1 && tool <= 5 && v.soundFlags[tool - 1] && ViewCallbacks.playSound != nullptr) {
        ViewCallbacks.playSound(kViewSoundRelease + tool - 1);
    }
    v.measureValue = 999999.0;
    for (int& flag : v.soundFlags) {
        flag = 0;
    }
    ReleaseMouseCapture();
    SetPointerPosition(window, v.drag.pressX, v.drag.pressY);
}

void HandleRightButtonDown(WindowHandle window, int x, int y) {
    ViewWindowState& v = ViewWindow;
    if (v.stockPartState > 0) {
        ToggleStockPartSide();
        return;
    }
    v.drag.rightHeld = 1;
    if (v.drag.active) {
        const int mode = ViewMouseMode;
        if ((MoveSwitchOn() && mode > 10) || (!MoveSwitchOn() && mode == kMouseModeRotate)) {
            ViewMouseMode = kMouseModePan;
        } else {
            ViewMouseMode = kMouseModeRotate;
        }
        SetViewCursor(CursorOfMode(ViewMouseMode));
        return;
    }
    if (v.noteOpen) {
        CloseBasisPointNote();
        return;
    }
    if (x + y <= 20) {
        if (ViewCallbacks.openBasisPointNote != nullptr) {
            v.note = ViewCallbacks.openBasisPointNote(window, x, y);
            v.noteOpen = v.note != nullptr ? 1 : 0;
            v.noteJustOpened = v.noteOpen;
        }
        return;
    }
    v.measureValue = 999999.0;
    for (int& flag : v.soundFlags) {
        flag = 0;
    }
    const PopupMenu* menu =
        ViewCallbacks.viewPopupMenu != nullptr ? ViewCallbacks.viewPopupMenu() : nullptr;
    if (menu == nullptr) {
        return;
    }
    v.popupActive = 1;
    // A chosen command consumed the click that chose it; a dismissed menu leaves the flag to
    // swallow the click that dismissed it.
    if (TrackPopupMenu(*menu, x, y, window) != 0) {
        v.popupActive = 0;
    }
}

void HandleRightButtonUp() {
    ViewWindowState& v = ViewWindow;
    v.drag.rightHeld = 0;
    if (v.noteOpen) {
        if (v.noteJustOpened) {
            v.noteJustOpened = 0;  // the release of the press that opened it
        } else {
            CloseBasisPointNote();
        }
    }
    if (v.drag.active) {
        if (v.drag.ctrlLatch) {
            ViewMouseMode = kMouseModeZoom;
        } else if (MoveSwitchOn()) {
            ViewMouseMode = kMouseModeRotate;
        }
        SetViewCursor(CursorOfMode(ViewMouseMode));
        return;
    }
    if (ViewMouseMode > 10 && ViewMouseMode != kMouseModeRectangle && MoveSwitchOn()) {
        ViewMouseMode = kMouseModeRotate;
    }
}

void HandleWheel(WindowHandle window, MessageWParam wparam) {
    const auto delta = static_cast<std::intptr_t>(wparam);
    std::intptr_t steps = delta / 120;
    if (steps == 0) {
        steps = delta > 0 ? 1 : -1;
    }
    if (Settings.wheelZoomReversed) {
        steps = -steps;
    }
    steps = std::clamp<std::intptr_t>(steps, -32767, 32767);
    ZoomBySteps(&CurrentView, static_cast<std::int16_t>(steps));
    ViewWindow.wheel.lastTick = GetTickMilliseconds();
    if (!IsWindowTimerRunning(window, kViewWheelTimerId)) {
        ViewWindow.wheel.active = 1;
        StartWindowTimer(window, kViewWheelTimerId, kViewWheelPeriodMs);
    }
    RedrawView(window);
}

void HandleTimer(WindowHandle window, unsigned id) {
    ViewWindowState& v = ViewWindow;
    if (id == kViewSpinTimerId) {
        const double step = v.drag.spinSpeed * 2.5;
        if (v.drag.spinAxis == 1) {
            CurrentView.angleA =
                WrapViewAngle(CurrentView.angleA + (CurrentView.angleB > 180.0 ? -step : step));
        } else {
            CurrentView.angleB = WrapViewAngle(CurrentView.angleB + step);
        }
        UpdateViewTrig(&CurrentView);
        SceneDirty.triad = 1;
        CurrentView.viewChanged = 1;
        RedrawView(window);
    } else if (id == kViewWheelTimerId) {
        if (GetTickMilliseconds() - v.wheel.lastTick > kWheelZoomEndMs) {
            StopWindowTimer(window, kViewWheelTimerId);
            v.wheel.active = 0;
            RedrawView(window);
        }
    } else if (id == kViewAnimateTimerId) {
        v.animationCounter = (v.animationCounter + 1) % 36;
        SceneDisplay.animationCounter = v.animationCounter;
    }
}

// Commands 248 .. 261 choose the mouse tool; any other command goes on to the main window.
void HandleCommand(WindowHandle window, unsigned command) {
    ViewWindowState& v = ViewWindow;
    int mode = 0;
    int side = -1;
    switch (command) {
        case kViewCommandStockPartA:
            mode = kMouseModeStockPartKeep;
            side = 1;
            break;
        case kViewCommandStockPartB:
            mode = kMouseModeStockPartRemove;
            side = 0;
            break;
        case 250:
        case 251:
        case 252:
        case 253:
            mode = static_cast<int>(command) - 249;
            break;
        case 254:
        case 255:
        case 256:
            mode = static_cast<int>(command) - 249;
            break;
        case kViewCommandRotate:
            ViewMouseMode = kMouseModeRotate;
            v.popupActive = 0;
            SetViewCursor(kViewCursorRotate);
            return;
        case kViewCommandRectangle:
            ViewMouseMode = kMouseModeRectangle;
            v.popupActive = 0;
            SetViewCursor(kViewCursorRectangle);
            return;
        case 258:
        case 259:
        case 260:
            return;
        default: {
            WindowHandle main = GetParentWindow(window);
            if (main != nullptr) {
                PostWindowMessage(main, WM_COMMAND, command, 0);
            }
            return;
        }
    }
    ViewMouseMode = mode;
    if (side >= 0) {
        v.stockPartSide = side;
    }
    SetViewCursor(CursorOfMode(mode));
    v.popupActive = 0;
    if (!IsKeyDown(VK_CONTROL)) {
        ClearMeasureTrace();
    }
    if (ViewCallbacks.drawTracePanes != nullptr) {
        ViewCallbacks.drawTracePanes(0);
    }
}

void HandleSize(int width, int height) {
    ViewSizeState& s = ViewWindow.size;
    s.width = std::max(0, width);
    s.height = std::max(0, height);
    s.aspect = s.height > 0 ? static_cast<double>(s.width) / s.height : 1.0;
    s.stride = (s.width * 3 + 3) & ~3;
    s.size = static_cast<std::uint64_t>(s.stride) * s.height;
    if (s.width > 0 && s.height > 0 && !ResizeGlContext(s.width, s.height)) {
        // No context (or no drawable of this size): the camera and captures still follow.
        SetViewSize(&CurrentView, s.width, s.height);
        SetCaptureGeometry(s.width, s.height, &ViewCapture);
    }
    ClearViewWindow();
}

void HandlePaint(WindowHandle window) {
    if (MakeViewContextCurrent()) {
        SetViewProjection(&CurrentView);
        glMatrixMode(GL_MODELVIEW);
        const int index = std::clamp(CurrentStockIndex.load(), 0, kStockModelSlots - 1);
        if (RenderScene(CurrentViewStock(), &StockListNames[index]) == 1) {
            glFinish();
            PresentViewFrame(window);
        }
        // A shortage found while the frame was built is said once it has been shown.
        ShowPendingDisplayMemoryShortage();
    }
    // The rotary-table animation of real cutting runs.
    ViewWindowState& v = ViewWindow;
    if (WindowRun.mode.load() == RunMode::kRealCutting) {
        const bool wanted =
            (Machine.rotaryType == 2 || Machine.rotaryType == 3) &&
            (Machine.tableType[0] == 4 || Machine.tableType[1] == 4 ||
             (ViewCallbacks.tableRotationActive != nullptr && ViewCallbacks.tableRotationActive()));
        if (wanted && !v.animationRunning) {
            StartWindowTimer(window, kViewAnimateTimerId, kViewAnimatePeriodMs);
            v.animationRunning = 1;
        } else if (!wanted && v.animationRunning) {
            StopWindowTimer(window, kViewAnimateTimerId);
            v.animationRunning = 0;
            v.animationCounter = 0;
            SceneDisplay.animationCounter = 0;
        }
    }
}

}  // namespace

const char* ViewCursorName(int role) {
    static thread_local std::string name;
    if (role == kViewCursorWait) {
        return CURSOR_WAIT;
    }
    if (role < 0 || role >= kViewCursorRoleCount || kViewCursorIds[role] == 0) {
        return CURSOR_ARROW;
    }
    name = ResourceCursorName(kViewCursorIds[role]);
    return name.c_str();
}

CursorHandle GetViewRoleCursor(int role) {
    if (role == kViewCursorIdle) {
        role = CursorOfMode(ViewMouseMode);
    }
    // The program's own cursor as created at start-up; by name when the set is not there.
    CursorHandle cursor = role >= 0 && role < kViewCursorRoleCount && kViewCursorIds[role] != 0
                              ? GetViewCursor(kViewCursorIds[role])
                              : nullptr;
    return cursor != nullptr ? cursor : LoadCursorHandle(ViewCursorName(role));
}

void SetViewCursor(int role) {
    SetCursorHandle(GetViewRoleCursor(role));
}

void ResetViewWindowState() {
    ViewWindow = {};
    ViewMouseMode = kMouseModeRotate;
}

int ViewMessageChangesStock(const WindowMessage& message) {
    if (message.message == WM_COMMAND || message.message == WM_TIMER) {
        return 1;
    }
    return ViewInputChangesStock(message);
}

void InstallViewWindowCallbacks() {
    ViewCallbacks.changesStock = ViewMessageChangesStock;
    InstallPickingCallbacks();
}

int IsViewRebuilding() {
    return StockRebuildActive.load() != 0 || IsSceneRendering() ? 1 : 0;
}

int ViewInputChangesStock(const WindowMessage& message) {
    if (message.message == WM_KEYDOWN) {
        const unsigned key = static_cast<unsigned>(message.wparam);
        if (key == VK_DELETE) {
            return 1;
        }
        switch (ViewKeyCharacter(message.wparam, message.lparam)) {
            case 'B':
            case 'C':
            case 'I':
            case 'J':
            case 'T':
            case 'Q':
            case 'A':
            case '^':
            case 'P':
                return 1;
            default:
                return 0;
        }
    }
    if (message.message == WM_LBUTTONDOWN) {
        const int mode = ViewMouseMode;
        return mode == kMouseModeMeasure || mode == kMouseModePathPick ||
                       mode == kMouseModeStockPartKeep || mode == kMouseModeStockPartRemove
                   ? 1
                   : 0;
    }
    return 0;
}

int ViewKeyCharacter(MessageWParam keyCode, MessageLParam keyData) {
    const MessageLParam character = keyData & kKeyCharacterMask;
    // The view's symbol keys by the character typed: on layouts where they are shifted digits
    // (Shift+2 is "@" and Shift+6 is "^" on a US keyboard) the digit's key would hide them.
    if (character == '@' || character == '^' || character == '[' || character == ']') {
        return static_cast<int>(character);
    }
    // Digits and letters by their key, whatever other symbol Shift makes of them (Shift+7 is 7).
    if ((keyCode >= '0' && keyCode <= '9') || (keyCode >= 'A' && keyCode <= 'Z')) {
        return static_cast<int>(keyCode);
    }
    if (keyCode >= VK_NUMPAD0 && keyCode <= VK_NUMPAD0 + 9) {
        return static_cast<int>('0' + (keyCode - VK_NUMPAD0));
    }
    if (character > 0 && character < 0x110000) {
        int c = static_cast<int>(character);
        if (c >= 'a' && c <= 'z') {
            c -= 'a' - 'A';
        }
        return c;
    }
    return 0;
}

void NoteViewResized(int width, int height, int rescale) {
    if (rescale != 0 && width > 0 && height > 0) {
        SetViewSize(&CurrentView, width, height);
    }
    SceneDirty.triad = 1;
}

void MarkViewForRedraw() {
    CurrentView.viewChanged = 1;
}

void ZoomViewBySteps(int steps, std::uint64_t tick) {
    ZoomBySteps(&CurrentView, static_cast<std::int16_t>(std::clamp(steps, -32767, 32767)));
    ViewWindow.wheel.lastTick = tick;
}

int BeginViewWheelZoom() {
    if (ViewWindow.wheel.active) {
        return 0;
    }
    ViewWindow.wheel.active = 1;
    return 1;
}

int IsViewBusy() {
    return ViewWindow.wheel.active || ViewWindow.drag.active ? 1 : 0;
}

void ToggleStockPartSide() {
    ViewWindowState& v = ViewWindow;
    if (v.stockPartState == 0) {
        return;
    }
    v.stockPartState = v.stockPartState == 1 ? 2 : 1;
    v.stockPartSide = v.stockPartState == 1 ? 1 : 0;
    SetViewCursor(v.stockPartState == 1 ? kViewCursorStockPart : kViewCursorStockPartOther);
}

void NoteControlKey(int down) {
    if (ViewMouseMode == kMouseModeRectangle) {
        return;
    }
    ViewDragState& d = ViewWindow.drag;
    int mode = ViewMouseMode;
    if (down != 0) {
        d.ctrlLatch = 1;
        if (d.active && mode == kMouseModeRotate) {
            mode = kMouseModeZoom;
        }
    } else {
        d.ctrlLatch = 0;
        if (d.active ? mode == kMouseModeZoom : mode > 10) {
            mode = kMouseModeRotate;
        }
    }
    if (mode != ViewMouseMode) {
        ViewMouseMode = mode;
        SetViewCursor(CursorOfMode(mode));
    }
}

void RedrawView(WindowHandle window) {
    if (window != nullptr && IsPlatformWindow(window)) {
        SendWindowMessage(window, WM_PAINT, 0, 0);
    }
}

MessageResult ViewWndProc(WindowHandle window, unsigned message, MessageWParam wparam,
                          MessageLParam lparam) {
    // Stock-changing input that a long loop's pump dispatches in the middle of a rebuild waits
    // for its end; later input waits behind it so that the order holds.
    if (IsViewRebuilding()) {
        const WindowMessage m{window, message, wparam, lparam};
        if (ViewInputChangesStock(m) || (!ViewWindow.deferred.empty() && IsInputMessage(message))) {
            ViewWindow.deferred.push_back(m);
            return 0;
        }
    } else {
        ReleaseDeferredInput(window);
    }
    switch (message) {
        case WM_CREATE: {
            if (!ViewContext.created && !(AutomaticMode.load() && DrawingSuppressed.load())) {
                WindowRect client;
                GetWindowClientRect(window, &client);
                CreateGlContext(std::max(1, client.right), std::max(1, client.bottom));
            }
            return 1;
        }
        case WM_DESTROY:
            CloseBasisPointNote();
            PostLoopQuit(0);
            return 0;
        case WM_SIZE:
            HandleSize(static_cast<int>(wparam), static_cast<int>(lparam));
            // The whole picture is drawn again at the new size at the next wait of the loop.
            InvalidatePlatformWindow(window);
            return 1;
        case WM_ACTIVATE:
            return 0;
        case WM_SETFOCUS:
            ViewWindow.viewFocusFlag = 1;
            return 0;
        case WM_PAINT:
            HandlePaint(window);
            ReleaseDeferredInput(window);
            return 1;
        case WM_KEYDOWN:
            HandleViewKey(window, static_cast<unsigned>(wparam), ViewKeyCharacter(wparam, lparam),
                          (lparam & kKeyShiftHeld) != 0, (lparam & kKeyCtrlHeld) != 0);
            return 0;
        case WM_COMMAND:
            HandleCommand(window, static_cast<unsigned>(wparam));
            return 0;
        case WM_TIMER:
            HandleTimer(window, static_cast<unsigned>(wparam));
            return 0;
        case WM_MOUSEMOVE:
            SetPointerPosition(window, ClientX(lparam), ClientY(lparam));
            HandleMouseMove(window, static_cast<unsigned>(wparam), ClientX(lparam),
                            ClientY(lparam));
            return 0;
        case WM_LBUTTONDOWN:
            SetPointerPosition(window, ClientX(lparam), ClientY(lparam));
            HandleLeftButtonDown(window, ClientX(lparam), ClientY(lparam),
                                 (wparam & kKeyShiftHeld) != 0, (wparam & kKeyCtrlHeld) != 0);
            return 0;
        case WM_LBUTTONUP:
            HandleLeftButtonUp(window, ClientX(lparam), ClientY(lparam));
            return 0;
        case WM_RBUTTONDOWN:
            SetPointerPosition(window, ClientX(lparam), ClientY(lparam));
            HandleRightButtonDown(window, ClientX(lparam), ClientY(lparam));
            return 0;
        case WM_RBUTTONUP:
            HandleRightButtonUp();
            return 0;
        case WM_MOUSEWHEEL:
            HandleWheel(window, wparam);
            return 0;
        case WM_DROPFILES: {
            WindowHandle main = GetParentWindow(window);
            if (main != nullptr) {
                SendWindowMessage(main, WM_DROPFILES, wparam, lparam);
            }
            return 0;
        }
        case kViewCloseNote:
            CloseBasisPointNote();
            return 0;
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

}  // namespace mirexa
