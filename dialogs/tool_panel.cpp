// The tool display panel: its layout, magazine ring, tool picture and description, its input,
// and the repaint handshake with the run.
#include "dialogs/tool_panel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "config/config_records.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "dialogs/dialog_conventions.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "nc/plugin_slots.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/editor_bridge.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/message_file.h"
#include "shell/sound_effects.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "view/display_lists.h"
#include "view/view_window.h"

namespace mirexa {

ToolPanelState ToolPanel;
std::atomic<int> PluginToolActive{0};

namespace {

constexpr int kPictureArea = 9001;  // the template's client area, painted here
constexpr unsigned kRepeatTimer = 5;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kMagenta = 0xFF00FF;
constexpr std::uint32_t kCyan = 0xFFFF00;
constexpr int kCellRows = 8;  // the most cells a description column holds

// The panel, the origin of its drawing area in its client pixels, and its texts' measures.
struct ToolPanelWindow {
    WindowHandle window = {};
    PaintPoint origin = {};
    ToolPanelLayout layout = {};
    ToolPanelMetrics metrics = {};
};
ToolPanelWindow Panel;

int SlotCount() {
    return std::max(1, ToolFile.highestTool);
}

bool Busy() {
    return PluginToolActive.load() != 0 || WindowRun.mode.load() != RunMode::kIdle;
}

// The tool the panel shows as current: during a run the one the run mounted last (the run's
// thread owns the current tool's record meanwhile), otherwise the current tool, which is the one
// the spindle holds (a run's end makes its last tool current).
int PanelCurrentTool() {
    const int mounted = WindowRun.controls.kept.mountedTool.load();
    return WindowRun.mode.load() != RunMode::kIdle && mounted >= 0 ? mounted : ToolFile.currentTool;
}

bool ToolExists(int n) {
    return IsToolNumberInTables(n) && ToolTableSet.tools[static_cast<std::size_t>(n)].present;
}

double StockPitchOrZero() {
    const StockModel& model = CurrentStockModel();
    return StockCommands.stockPresent && model.nx != 0 ? model.pitch : 0.0;
}

WindowRect Offset(const WindowRect& r, PaintPoint origin) {
    return WindowRect{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
}

bool Inside(const WindowRect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

std::string Formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void WaitBetweenSteps(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

// --- The picture --------------------------------------------------------------------------

// A point of the tool's half profile: radius and height from the tip (mm).
struct ProfilePoint {
    double r = {};
    double z = {};
};

// The cutter and shank outline from the tip upward, as the cutting core's envelope gives it.
std::vector<ProfilePoint> CutterProfile(const CurrentToolRecord& t, double length) {
    std::vector<ProfilePoint> points = {{0.0, 0.0}};
    if (t.bottomEdgeRadius > 0.0) {
        points.push_back({t.bottomEdgeRadius, t.bottomEdgeHeight});
    }
    if (t.cornerRadius > 0.0) {
        const double a0 = std::atan2(t.bottomEdgeHeight - t.cornerCentreHeight,
                                     t.bottomEdgeRadius - t.cornerCentreRadius);
        const double a1 = std::atan2(t.sideStartHeight - t.cornerCentreHeight,
                                     t.sideStartRadius - t.cornerCentreRadius);
        for (int i = 1; i < 8; ++i) {
            const double a = a0 + (a1 - a0) * i / 8.0;
            points.push_back({t.cornerCentreRadius + t.cornerRadius * std::cos(a),
                              t.cornerCentreHeight + t.cornerRadius * std::sin(a)});
        }
    }
    points.push_back({t.sideStartRadius, t.sideStartHeight});
    points.push_back({t.cuttingTopRadius, t.cuttingTopHeight});
    points.push_back({t.shankStartRadius, t.cuttingTopHeight});
    points.push_back({t.shankRadius, std::max(t.cuttingTopHeight, t.shankFullHeight)});
    points.push_back({t.shankRadius, length});
    points.push_back({0.0, length});
    return points;
}

// The width and height (mm) the picture shows by its mode; 0 when the tool has no extent.
void PictureExtent(const CurrentToolRecord& t, int mode, double* w, double* h) {
    const double m = std::max(t.tool.d / 2.0, t.shankRadius);
    const double length = t.toolLength;
    const bool lengthRecord = t.length.kind != kToolLengthNone;
    if (mode == 2) {
        *w = *h = 2.0 * m;
    } else if (mode == 1) {
        *w = 2.0 * m;
        *h = lengthRecord ? std::max(length, 2.0 * m) : 3.0 * 2.0 * m;
    } else if (!lengthRecord) {
        *w = 2.0 * m;
        *h = 3.0 * 2.0 * m;
    } else if (t.holder.present && t.holderHeightCount > 0 && t.holderRadiusCount > 0) {
        *w = 2.0 * t.holderRadii[t.holderRadiusCount - 1];
        *h = t.holderHeights[t.holderHeightCount - 1];
    } else {
        *w = 2.0 * m;
        *h = std::max(length, 2.0 * m);
    }
}

struct PictureFrame {
    double scale = {};  // pixels per mm
    double baseX = {};
    double baseY = {};
};

bool ToPixel(const PictureFrame& f, double r, double z, PaintPoint* out) {
    const double x = f.baseX + r * f.scale;
    const double y = f.baseY - z * f.scale;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6 || std::fabs(y) > 1e6) {
        return false;
    }
    *out = PaintPoint{static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
    return true;
}

void DrawOutline(PaintContext* context, const PictureFrame& frame,
                 const std::vector<ProfilePoint>& half) {
    std::vector<PaintPoint> line;
    PaintPoint p;
    for (auto it = half.rbegin(); it != half.rend(); ++it) {
        if (ToPixel(frame, -it->r, it->z, &p)) {
            line.push_back(p);
        }
    }
    for (const ProfilePoint& point : half) {
        if (ToPixel(frame, point.r, point.z, &p)) {
            line.push_back(p);
        }
    }
    context->penColor = kWhite;
    context->penStyle = kPenSolid;
    DrawPaintPolyline(context, line);
}

void DrawHolderSteps(PaintContext* context, const PictureFrame& frame, const CurrentToolRecord& t) {
    if (!t.holder.present) {
        return;
    }
    context->penColor = kWhite;
    context->brushColor = kGrey;
    context->hasBrush = 1;
    for (int i = 1; i < t.holderHeightCount && i < t.holderRadiusCount; ++i) {
        const double r = t.holderRadii[i];
        const double z0 = t.holderHeights[i - 1];
        const double z1 = t.holderHeights[i];
        PaintPoint corners[4];
        if (ToPixel(frame, -r, z0, &corners[0]) && ToPixel(frame, r, z0, &corners[1]) &&
            ToPixel(frame, r, z1, &corners[2]) && ToPixel(frame, -r, z1, &corners[3])) {
            DrawPaintPolygon(context, {corners[0], corners[1], corners[2], corners[3]});
        }
    }
}

// --- Painting the panel -------------------------------------------------------------------

void DrawArrows(PaintContext* context) {
    const int forwardStyle = ToolPanel.arrow == 1 ? 0 : SBT_POPOUT;
    const int backwardStyle = ToolPanel.arrow == -1 ? 0 : SBT_POPOUT;
    DrawStatusPane(context, Offset(Panel.layout.forwardArrow, Panel.origin), "\t>>\t",
                   static_cast<unsigned>(forwardStyle));
    DrawStatusPane(context, Offset(Panel.layout.backwardArrow, Panel.origin), "\t<<\t",
                   static_cast<unsigned>(backwardStyle));
}

// Tool n's records and derived values, without holder clearance, for drawing. The current tool
// itself is never changed by a paint: the run's thread may be cutting with it.
CurrentToolRecord ToolForDrawing(int n) {
    CurrentToolRecord tool;
    if (!DeriveToolGeometry(n, 0.0, &tool) && IsToolNumberInTables(n)) {
        const std::size_t at = static_cast<std::size_t>(n);
        tool.tool = ToolTableSet.tools[at];
        tool.length = ToolTableSet.lengths[at];
        tool.holder = ToolTableSet.arbors[at];
    }
    if (IsToolNumberInTables(n)) {
        tool.pen = ToolTableSet.pens[static_cast<std::size_t>(n)];
    }
    return tool;
}

void PaintCurrentTool(PaintContext* context) {
    const WindowRect picture = Offset(Panel.layout.picture, Panel.origin);
    FillPaintRect(context, picture, kBlack);
    const int current = PanelCurrentTool();
    const CurrentToolRecord tool = ToolForDrawing(current);
    const ToolPanelMetrics& m = Panel.metrics;
    DrawToolPicture(context, picture, current, tool, m);
    // The description: the cells right of the picture, cleared first.
    DrawStatusPane(context,
                   WindowRect{picture.right - 1 + 5, picture.top,
                              picture.right + 5 + m.cellWidth + m.holderCellWidth, picture.bottom},
                   "", SBT_NOBORDERS);
    for (const ToolDescriptionCell& cell :
         FormatToolDescription(picture, tool.tool, tool.length, tool.holder, m)) {
        DrawStatusPane(context, cell.rect, cell.text, 0);
    }
    SetPlatformWindowText(Panel.window, FormatToolPanelTitle(tool.tool, tool.holder));
}

void PaintSlots(PaintContext* context) {
    const int count = SlotCount();
    const int current = PanelCurrentTool();
    const int line = Panel.metrics.lineHeight;
    if (PluginToolActive.load() != 0) {
        for (const WindowRect& slot : Panel.layout.slots) {
            FillPaintRect(context, Offset(slot, Panel.origin), kGrey);
        }
        WindowRect middle = Offset(Panel.layout.slots[kMiddleSlot], Panel.origin);
        middle.top += 15;
        middle.bottom -= 15;
        SetPaintTextColor(context, ReadableTextColor(kRed, kGrey));
        DrawPaintText(context, middle, "TMP", kTextCenter | kTextTransparent);
    } else {
        // "Ready" lies partly below the middle slot: its last label is cleared with the slots.
        WindowRect readyLabel = Offset(Panel.layout.slots[kMiddleSlot], Panel.origin);
        readyLabel.top = readyLabel.bottom;
        readyLabel.bottom += line - 4;
        DrawStatusPane(context, readyLabel, "", SBT_NOBORDERS);
        for (int i = 0; i < kMagazineSlots; ++i) {
            const WindowRect box = Offset(Panel.layout.slots[i], Panel.origin);
            FillPaintRect(context, box, kBlack);
            const int n = MagazineSlotPosition(ToolPanel.magazinePosition, count, i);
            const std::string number = Formatted("%02.0f", n);
            if (!ToolExists(n)) {
                SetPaintTextColor(context, kCyan);
                DrawPaintText(context, box, number, kTextRight | kTextTransparent);
                continue;
            }
            if (n == current) {
                FillPaintRect(context, box, kGrey);
                SetPaintTextColor(context, ReadableTextColor(kCyan, kGrey));
                DrawPaintText(context, box, number, kTextRight | kTextTransparent);
            } else {
                DrawToolPicture(context, box, n, ToolForDrawing(n), Panel.metrics);
            }
            WindowRect below = box;
            below.top = box.bottom - line;
            SetPaintTextColor(context,
                              ReadableTextColor(kRed, n == current ? kGrey : kPaneFaceColor));
            if (n == current) {
                DrawPaintText(context, below, ChooseLanguageText("Used", "使用中"),
                              kTextCenter | kTextTransparent);
            } else if (i == kMiddleSlot) {
                below.top = box.bottom - 4;
                below.bottom = below.top + line;
                DrawPaintText(context, below, ChooseLanguageText("Ready", "待機中"),
                              kTextCenter | kTextTransparent);
                ToolPanel.readyToolNumber = n;
            }
        }
    }
}

void PaintInto(PaintContext* context, int mode) {
    SetPaintTextBackground(context, 0, 1);
    SetPaintFontHeight(context, Panel.metrics.fontHeight);
    if (mode == kToolPanelPaintTool || mode == kToolPanelPaintAll) {
        PaintCurrentTool(context);
    }
    PaintSlots(context);
    if (mode == kToolPanelPaintAll) {
        DrawArrows(context);
    }
}

// WM_PAINT: the handshake with the run, then the paint it allows.
void OnPaint() {
    PaintContext context;
    if (!BeginPaint(Panel.window, &context)) {
        return;
    }
    const bool running = WindowRun.mode.load() != RunMode::kIdle;
    int mode = 0;
    if (running && ToolPanel.paintState == 0) {
        ToolPanel.paintState = 2;
    } else if (ToolPanel.arrow == 0 && (!running || ToolPanel.paintState == 1)) {
        mode = ToolPanel.pendingMode != 0 ? ToolPanel.pendingMode : kToolPanelPaintAll;
        ToolPanel.pendingMode = 0;
        ToolPanel.paintState = 0;
    }
    if (mode != 0 && AutomaticMode.load() == 0) {
        PaintInto(&context, mode);
    }
    EndPaint(&context);
}

// --- Input --------------------------------------------------------------------------------

void ShowMagazineStep(int position) {
    ToolPanel.magazinePosition = position;
    PaintToolPanel(kToolPanelPaintSlots);
}

void TurnMagazine(int steps, int direction) {
    for (int i = 0; i < steps; ++i) {
        ShowMagazineStep(StepMagazinePosition(ToolPanel.magazinePosition, SlotCount(), direction));
        WaitBetweenSteps(ToolPanel.stepDelayMs);
    }
}

// The middle slot's tool becomes the current tool.
void MountReadyTool() {
    const int n = ToolPanel.magazinePosition;
    if (WindowRun.controls.stopKeyRequest.load() == 1 || n == ToolFile.currentTool ||
        !ToolExists(n)) {
        return;
    }
    ToolFile.currentTool = n;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, n, StockPitchOrZero());
    if (Settings.sound) {
        PlaySoundEffect(SoundEffect::ToolChange, 1);
    }
    PaintToolPanel(kToolPanelPaintTool);
    MarkAllSceneListsDirty();
    SceneDirty.tools = 1;
    if (MainWindowData.handles.view) {
        RedrawView(MainWindowData.handles.view);
    }
}

void StopArrow() {
    if (ToolPanel.arrow == 0) {
        return;
    }
    StopWindowTimer(Panel.window, kRepeatTimer);
    ToolPanel.arrow = 0;
    PaintContext context;
    if (GetPaintContext(Panel.window, &context)) {
        SetPaintFontHeight(&context, Panel.metrics.fontHeight);
        DrawArrows(&context);
        ReleasePaintContext(&context);
    }
}

void OnButtonDown(int x, int y) {
    if (Busy()) {
        return;
    }
    x -= Panel.origin.x;
    y -= Panel.origin.y;
    const ToolPanelLayout& l = Panel.layout;
    if (Inside(l.picture, x, y)) {
        ToolPanel.pictureMode = (ToolPanel.pictureMode + 1) % 3;
        PaintToolPanel(kToolPanelPaintTool);
        return;
    }
    if (Inside(l.slots[kMiddleSlot], x, y)) {
        MountReadyTool();
        return;
    }
    if (Inside(l.forwardArrow, x, y) || Inside(l.backwardArrow, x, y)) {
        ToolPanel.arrow = Inside(l.forwardArrow, x, y) ? 1 : -1;
        ToolPanel.repeatTicks = 0;
        ShowMagazineStep(
            StepMagazinePosition(ToolPanel.magazinePosition, SlotCount(), ToolPanel.arrow));
        PaintContext context;
        if (GetPaintContext(Panel.window, &context)) {
            DrawArrows(&context);
            ReleasePaintContext(&context);
        }
        StartWindowTimer(Panel.window, kRepeatTimer, 10);
        return;
    }
    // A column of the upper row turns its slot into the middle, one of the lower row likewise.
    const bool upper = y < l.slots[0].bottom;
    const bool lower = y >= l.slots[10].top;
    if (!upper && !lower) {
        return;
    }
    for (int k = 0; k < 5; ++k) {
        if (x >= l.slots[k].left && x < l.slots[k].right) {
            TurnMagazine(5 - k, upper ? -1 : 1);
            return;
        }
    }
}

void OnRepeatTimer() {
    if (ToolPanel.arrow == 0) {
        StopWindowTimer(Panel.window, kRepeatTimer);
        return;
    }
    ++ToolPanel.repeatTicks;
    if (ToolPanel.repeatTicks == 5) {
        StartWindowTimer(Panel.window, kRepeatTimer, 50);
    } else if (ToolPanel.repeatTicks > 5) {
        ShowMagazineStep(
            StepMagazinePosition(ToolPanel.magazinePosition, SlotCount(), ToolPanel.arrow));
    }
    if (ToolPanel.repeatTicks > 1001) {
        ToolPanel.repeatTicks = 200;
    }
}

void HideToolPanel() {
    Settings.showToolPanel = 0;
    UpdateMenuChecks();
    ShowPlatformWindow(Panel.window, SW_HIDE);
}

void OnCommand(int id) {
    switch (id) {
        case 1016:  // "1-st"
            if (PluginToolActive.load() == 0) {
                for (int position : FirstToolPath(ToolPanel.magazinePosition, SlotCount())) {
                    ShowMagazineStep(position);
                    WaitBetweenSteps(ToolPanel.stepDelayMs / 2);
                }
            }
            break;
        case 1015:  // "Editor"
            if (PluginToolActive.load() == 0) {
                OpenDefinitionFileInEditor(MainWindow.load(), kViewEditorTools);
            }
            break;
        case 1017:  // "Change": the tools file command reads the chosen file and says so
            if (WindowHandle main = MainWindow.load()) {
                SendWindowMessage(main, WM_COMMAND, IDM_TOOLS_FILE, 0);
            }
            RepaintToolPanel(kToolPanelPaintAll);
            break;
        case IDCANCEL:
            HideToolPanel();
            break;
        default:
            break;
    }
}

MessageResult ToolDisplayDlgProc(WindowHandle panel, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    const int x = static_cast<int>(static_cast<std::int16_t>(lparam & 0xFFFF));
    const int y = static_cast<int>(static_cast<std::int16_t>((lparam >> 16) & 0xFFFF));
    switch (message) {
        case WM_INITDIALOG: {
            Panel.window = panel;
            BeginDialog(panel);
            ToolPanel.pictureMode = 0;
            ToolPanel.arrow = 0;
            ToolPanel.repeatTicks = 0;
            CheckDlgButton(panel, 1010, BST_UNCHECKED);
            // The drawing area is the template's custom control; the panel paints it itself and
            // takes its clicks, so the control goes.
            WindowRect area = {};
            if (const ControlTemplate* c = GetControlTemplate(GetDlgItem(panel, kPictureArea))) {
                area = DialogUnitsToPixels(c->x, c->y, c->w, c->h);
            }
            RemoveDlgItem(panel, kPictureArea);
            // The area, and the panel with it, grows as far as the panel font's texts need.
            Panel.metrics = MeasureToolPanelMetrics(PanelFontHeight());
            const int width = area.right - area.left;
            const int height = area.bottom - area.top;
            int fitWidth = width;
            int fitHeight = height;
            FitToolPanelArea(Panel.metrics, &fitWidth, &fitHeight);
            // The client keeps the template's margin right of and below the area: the frame
            // grows by what the client lacks (its caption and border are the frame's own).
            const WindowRect margin = DialogUnitsToPixels(0, 0, 2, 2);
            WindowRect frame = {};
            WindowRect client = {};
            if (GetPlatformWindowRect(panel, &frame) && GetWindowClientRect(panel, &client)) {
                const int wider = area.left + fitWidth + margin.right - client.right;
                const int taller = area.top + fitHeight + margin.bottom - client.bottom;
                if (wider > 0 || taller > 0) {
                    frame.right += std::max(0, wider);
                    frame.bottom += std::max(0, taller);
                    MovePlatformWindow(panel, frame);
                }
            }
            Panel.origin = PaintPoint{area.left, area.top};
            Panel.layout = ComputeToolPanelLayout(fitWidth, fitHeight);
            return 1;
        }
        case WM_PAINT:
            OnPaint();
            return 1;
        case WM_LBUTTONDOWN:
            OnButtonDown(x, y);
            return 1;
        case WM_LBUTTONUP:
            StopArrow();
            return 1;
        case WM_MOUSEMOVE: {
            const WindowRect pressed =
                ToolPanel.arrow == 1 ? Panel.layout.forwardArrow : Panel.layout.backwardArrow;
            if (ToolPanel.arrow != 0 && !Inside(pressed, x - Panel.origin.x, y - Panel.origin.y)) {
                StopArrow();
            }
            return 1;
        }
        case WM_MOUSEWHEEL:
            if (!Busy() && !ViewWindow.spinRunning) {
                const int delta = static_cast<int>(static_cast<std::intptr_t>(wparam));
                ShowMagazineStep(WheelMagazinePosition(ToolPanel.magazinePosition, SlotCount(),
                                                       MagazineWheelSteps(delta)));
            }
            return 1;
        case WM_TIMER:
            if (wparam == kRepeatTimer) {
                OnRepeatTimer();
            }
            return 1;
        case WM_COMMAND:
            if (CommandCodeOf(wparam) == BN_CLICKED) {
                OnCommand(CommandIdOf(wparam));
            }
            return 1;
        case WM_DESTROY:
            if (Panel.window == panel) {
                Panel = ToolPanelWindow{};
                MainWindowData.handles.toolPanel = nullptr;
            }
            return 0;
        default:
            return 0;
    }
}

// The description's cells in order: label index and value.
struct Cell {
    int label;
    double value;
};

std::vector<Cell> TypeCells(const ToolRecord& t) {
    // D, Rc, V16, Rf, H24, V28, A32, V36, V40, V44, V48 and E of the tool record.
    const double D = t.d, Rc = t.r, V16 = t.r2, Rf = t.e, H24 = t.f, V28 = t.alpha, A32 = t.beta,
                 V36 = t.w, V40 = t.k, V44 = t.t, V48 = t.neck, E = t.h;
    switch (t.type) {
        case kToolBall:
        case kToolFlat:
        case kToolKegaki:
            return {{0, D}, {6, E}};
        case kToolBull:
            return {{0, D}, {1, Rc}, {6, E}};
        case kToolTaperBall: {
            std::vector<Cell> cells = {{8, Rc}, {5, A32}};
            if (V36 != 0.0) {
                cells.push_back({18, V36});
            }
            cells.push_back({6, E});
            return cells;
        }
        case kToolVertical:
            return {{0, D}, {9, V40}, {6, E}};
        case kToolOval: {
            std::vector<Cell> cells = {{0, D}, {13, H24}, {14, Rf}};
            if (Rf > D / 2.0) {
                cells.push_back({1, Rc});
            }
            cells.push_back({6, E});
            return cells;
        }
        case kToolTThrow: {
            std::vector<Cell> cells = {{0, D}};
            if (V36 != 0.0 && V36 != D) {
                cells.push_back({18, V36});
            }
            cells.insert(cells.end(), {{20, V44}, {21, Rc}, {22, V16}, {23, V48}});
            return cells;
        }
        case kToolRadius:
            return {{0, D}, {1, Rc}, {17, H24}};
        default: {
            std::vector<Cell> cells = {{0, D}};
            if (Rc != 0.0) {
                cells.push_back({1, Rc});
                if (Rc < 0.0 && H24 > 0.0) {
                    cells.push_back({3, H24});
                }
            }
            if (V28 > 0.0) {
                cells.push_back({4, V28});
            }
            if (A32 > 0.0) {
                cells.push_back({5, A32});
                if (V36 != 0.0) {
                    cells.push_back({18, V36});
                }
            }
            cells.push_back({6, E});
            return cells;
        }
    }
}

}  // namespace

ToolPanelMetrics MeasureToolPanelMetrics(int fontHeight) {
    ToolPanelMetrics m;
    m.fontHeight = std::max(1, fontHeight);
    PaintContext measure;
    measure.fontPixelHeight = m.fontHeight;
    constexpr int kPadding = 8;  // a cell's border and its text's inset on both sides
    // A line: the font's height and its line spacing (about 15 % of it).
    m.lineHeight = std::max(15, (m.fontHeight * 115 + 99) / 100);
    for (const std::string& label : ToolDimensionLabels) {
        m.cellWidth =
            std::max(m.cellWidth, MeasurePaintText(measure, label + "=888.88") + kPadding);
    }
    m.holderCellWidth =
        std::max(m.holderCellWidth, MeasurePaintText(measure, "D8=888.88") + kPadding);
    m.labelWidth = MeasurePaintText(measure, "888.88") + 4;
    return m;
}

ToolPictureLabels PlaceToolPictureLabels(const WindowRect& box, const ToolPanelMetrics& metrics) {
    const int line = metrics.lineHeight;
    const int top = box.top + 2;
    const int middle = (box.left + box.right) / 2;
    ToolPictureLabels labels;
    if (2 * metrics.labelWidth <= box.right - box.left) {
        labels.diameter = WindowRect{box.left, top, middle, top + line};
        labels.length = WindowRect{middle, top, box.right, top + line};
        labels.number = WindowRect{box.left, top + line, box.right - 2, top + 2 * line};
    } else {
        labels.diameter = WindowRect{box.left, top, box.right, top + line};
        labels.length = WindowRect{box.left, top + line, box.right, top + 2 * line};
        labels.number = WindowRect{box.left, top + 2 * line, box.right - 2, top + 3 * line};
    }
    return labels;
}

void FitToolPanelArea(const ToolPanelMetrics& metrics, int* width, int* height) {
    const int line = metrics.lineHeight;
    // Down: the description's rows within the picture (5 pixels inside the area's top and
    // bottom), and three label lines in an upper slot.
    int h = std::max({*height, 10 + kCellRows * line, 1});
    while (h / 2 - h / 12 - 5 < 3 * line + 4) {
        ++h;
    }
    // Across: a label in each slot, and the picture, its description's two columns and a gap
    // of 5 pixels left of the middle slot.
    int w = std::max(*width, 1);
    const auto fits = [&](int across) {
        const ToolPanelLayout l = ComputeToolPanelLayout(across, h);
        const int description = l.picture.right + 5 + metrics.cellWidth + metrics.holderCellWidth;
        return l.slots[0].right - l.slots[0].left >= metrics.labelWidth &&
               description + 5 <= l.slots[kMiddleSlot].left;
    };
    while (!fits(w)) {
        ++w;
    }
    *width = w;
    *height = h;
}

ToolPanelLayout ComputeToolPanelLayout(int width, int height) {
    const int w = width;
    const int h = height;
    ToolPanelLayout l;
    l.picture = WindowRect{5, 5, 2 * h / 3 - 5, h - 5};
    const int s = w / 11 + 1;
    const int upperBottom = h / 2 - h / 12;
    const int lowerTop = h / 2 + h / 12;
    for (int k = 0; k < 5; ++k) {
        const int left = w - s - 3 - k * s;
        l.slots[k] = WindowRect{left, 5, left + s - 2, upperBottom};
        l.slots[10 - k] = WindowRect{left, lowerTop, left + s - 2, h - 5};
    }
    const int slotHeight = upperBottom - 5;
    const int middleTop = h / 2 - slotHeight / 2;
    l.slots[kMiddleSlot] =
        WindowRect{l.slots[4].left - s, middleTop, l.slots[4].left - 2, middleTop + slotHeight};
    auto arrowUnder = [&](const WindowRect& slot) {
        return WindowRect{slot.left + 4, upperBottom + 3, slot.right - 4, lowerTop - 2};
    };
    l.forwardArrow = arrowUnder(l.slots[3]);
    l.backwardArrow = arrowUnder(l.slots[4]);
    return l;
}

int MagazineSlotPosition(int position, int count, int slot) {
    if (count < 1) {
        return position;
    }
    const int offset = ((position - 1 + slot - kMiddleSlot) % count + count) % count;
    return offset + 1;
}

int StepMagazinePosition(int position, int count, int direction) {
    const int next = position + direction;
    if (next > count) {
        return 1;
    }
    return next < 1 ? count : next;
}

int MagazineWheelSteps(int delta) {
    if (delta > 120 || delta < -120) {
        return delta / 120;
    }
    return delta >= 1 ? 1 : -1;
}

int WheelMagazinePosition(int position, int count, int steps) {
    const int next = position + steps;
    if (next > count) {
        return 1;
    }
    return next < 1 ? count : next;
}

std::vector<int> FirstToolPath(int position, int count) {
    std::vector<int> path;
    while (position >= 2 && static_cast<int>(path.size()) <= count) {
        position =
            count - position < position ? StepMagazinePosition(position, count, 1) : position - 1;
        path.push_back(position);
    }
    return path;
}

std::vector<ToolDescriptionCell> FormatToolDescription(const WindowRect& picture,
                                                       const ToolRecord& tool,
                                                       const ToolLengthRecord& length,
                                                       const ArborProfile& holder,
                                                       const ToolPanelMetrics& metrics) {
    std::vector<ToolDescriptionCell> cells;
    const int left = picture.right + 5;
    const int cellWidth = metrics.cellWidth;
    int top = picture.top;
    int rows = 0;
    auto add = [&](const std::string& text, int x, int width) {
        cells.push_back({WindowRect{x, top, x + width, top + metrics.lineHeight}, text});
        top += metrics.lineHeight;
        ++rows;
    };
    auto label = [](int index) {
        return index >= 0 && index < TOOL_DIMENSION_LABEL_COUNT ? ToolDimensionLabels[index]
                                                                : std::string();
    };
    for (const Cell& cell : TypeCells(tool)) {
        add(label(cell.label) + Formatted("=%6.2f", cell.value), left, cellWidth);
    }
    // The length record's cells go under the type's while the top of the last type cell
    // leaves room for them: t is that top in rows of 15 pixels from a picture top at 5 pixels.
    const int t = 5 + (rows - 1) * 15;
    const float* L = length.values;
    if (length.kind >= kToolLength2) {
        if (t <= 80) {
            add(label(10) + Formatted("=%6.2f", L[1]), left, cellWidth);
        }
        if (t <= 65) {
            add(label(11) + Formatted("=%6.2f", L[2]), left, cellWidth);
        }
        if (length.kind == kToolLength3 && t <= 35) {
            add(label(15) + Formatted("=%6.2f", L[3]), left, cellWidth);
            if (t <= 20) {
                add(label(16) + Formatted("=%6.2f", L[4]), left, cellWidth);
            }
        }
        if (t <= 50) {
            add(label(12) + Formatted("=%6.2f", L[5]), left, cellWidth);
        }
    }
    if (length.kind >= kToolLength1 && t <= 95) {
        add(label(7) + Formatted("=%6.2f", L[0]), left, cellWidth);
    }
    if (holder.present) {
        top = picture.top;
        const int column = left + cellWidth;
        for (int i = 0; i < 4 && i < kArborMaxSegments; ++i) {
            if (i > 0 && !(holder.diameters[i] > 0.0f)) {
                continue;
            }
            const std::string n = std::to_string(i + 1);
            add("D" + n + Formatted("=%6.2f", holder.diameters[i]), column,
                metrics.holderCellWidth);
            add("H" + n + Formatted("=%6.2f", holder.lengths[i]), column, metrics.holderCellWidth);
        }
    }
    return cells;
}

std::string FormatToolPanelTitle(const ToolRecord& tool, const ArborProfile& holder) {
    char name[128];
    GetToolTypeName(tool, name, sizeof name);
    std::string title = name;
    title += holder.present ? ChooseLanguageText("(Arbor Exists)", "(保持具定義有り)")
                            : ChooseLanguageText("(None Arbor)", "(保持具定義無し)");
    if (PluginToolActive.load() == 0) {
        title += " in " + ToolFile.path;
    }
    title += Formatted(ChooseLanguageText(" Move Pitch=%2.2f", " 移動ピッチ=%2.2f"),
                       DexelPitch.secondPitch);
    // The NC communication plug-in may give the program's tools.
    if (IsPluginLoaded(kPluginNccom, 0)) {
        title += " *";
    }
    return title;
}

void DrawToolPicture(PaintContext* context, const WindowRect& box, int toolNumber,
                     const CurrentToolRecord& tool, const ToolPanelMetrics& metrics) {
    if (AutomaticMode.load() != 0 || !tool.tool.present) {
        return;
    }
    double w = 0.0;
    double h = 0.0;
    PictureExtent(tool, ToolPanel.pictureMode, &w, &h);
    // A tool without extent has no scale: nothing to draw.
    if (!(w > 0.0) || !(h > 0.0) || !std::isfinite(w) || !std::isfinite(h)) {
        return;
    }
    const ToolPictureLabels labels = PlaceToolPictureLabels(box, metrics);
    const std::string number = Formatted("%02.0f", toolNumber);
    const bool numbered = PluginToolActive.load() == 0;
    // The drawing, centred, keeps clear of the tool number right-aligned beside it.
    const double centre = (box.left + box.right) / 2.0;
    double across = box.right - box.left - 10;
    if (numbered) {
        const int numberLeft = labels.number.right - MeasurePaintText(*context, number);
        across = std::min(across, 2.0 * (numberLeft - 2 - centre));
    }
    const double k = std::min((box.bottom - box.top - 10) / h, across / w);
    if (!(k > 0.0)) {
        return;
    }
    const PictureFrame frame{k, centre, box.bottom - 5.0};
    SetPaintClip(context, box);
    const double length = std::max(tool.toolLength, tool.cuttingTopHeight);
    DrawOutline(context, frame, CutterProfile(tool, length));
    DrawHolderSteps(context, frame, tool);
    if (!(tool.tool.type == kToolTaperBall && tool.length.kind != kToolLengthNone)) {
        const int cx = static_cast<int>(std::lround(frame.baseX));
        const int cy = static_cast<int>(std::lround(frame.baseY));
        const std::uint32_t pen = LiveColors.pens[std::clamp(tool.pen, 0, 15)];
        for (int d = -2; d <= 2; ++d) {
            SetPaintPixel(context, cx + d, cy, pen);
            SetPaintPixel(context, cx, cy + d, pen);
        }
    }
    const double diameter = tool.tool.type == kToolTaperBall ? tool.tool.r : tool.tool.d;
    SetPaintTextColor(context, kYellow);
    DrawPaintText(context, labels.diameter, Formatted("%5.2f", diameter),
                  kTextCenter | kTextTransparent);
    SetPaintTextColor(context, kMagenta);
    DrawPaintText(context, labels.length, Formatted("%5.2f", tool.toolLength),
                  kTextCenter | kTextTransparent);
    if (numbered) {
        SetPaintTextColor(context, kCyan);
        DrawPaintText(context, labels.number, number, kTextRight | kTextTransparent);
    }
    SetPaintClip(context, WindowRect{});
}

void PaintToolPanel(int mode) {
    if (AutomaticMode.load() != 0 || !Panel.window) {
        return;
    }
    PaintContext context;
    if (GetPaintContext(Panel.window, &context)) {
        PaintInto(&context, mode);
        ReleasePaintContext(&context);
    }
}

WindowHandle CreateToolPanel(WindowHandle mainWindow) {
    if (Panel.window && IsPlatformWindow(Panel.window)) {
        return Panel.window;
    }
    Panel = ToolPanelWindow{};
    const DialogTemplate* panelTemplate = FindDialogTemplate(IDD_TOOL_DISPLAY);
    if (!panelTemplate) {
        return nullptr;
    }
    ToolPanel.magazinePosition = std::clamp(ToolFile.currentTool, 1, SlotCount());
    return CreateModelessDialog(*panelTemplate, mainWindow, ToolDisplayDlgProc, 0);
}

void RepaintToolPanel(int mode) {
    // Another thread (the run's) only asks: the run's timer repaints on this thread.
    const WindowHandle main = MainWindow.load();
    if (main && !IsWindowOfCallingThread(main)) {
        WindowRun.controls.kept.toolPanelPendingPaint.store(1);
        return;
    }
    if (!Panel.window) {
        return;
    }
    ToolPanel.pendingMode = mode;
    ToolPanel.paintState = 1;
    SendWindowMessage(Panel.window, WM_PAINT, 0, 0);
}

void ResetToolPanelState() {
    const int delay = ToolPanel.stepDelayMs;
    ToolPanel = ToolPanelState{};
    ToolPanel.stepDelayMs = delay;
    PluginToolActive.store(0);
}

}  // namespace mirexa
