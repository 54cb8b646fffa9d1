// The information panel's layout, pane texts and painting, the state other threads publish for it,
// and the hooks through which the run, the view and the interpreter ask it to redraw.
#include "shell/info_panel.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <mutex>

#include "config/axis_label_table.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/offset_tables.h"
#include "config/settings_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/backend.h"
#include "platform/paint.h"
#include "platform/pointer.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/manual_jog.h"
#include "shell/nc_data_commands.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "stock/stock_model.h"
#include "view/picking.h"
#include "view/view_hooks.h"

namespace mirexa {

InfoPanelState InfoPanelView;
std::uint32_t InfoPanelBackground = 0xC0C0C0;

namespace {

// What other threads published, under its mutex.
struct PublishedPanelState {
    double program[5] = {};
    double machine[5] = {};
    double toolPoint[3] = {};
    int workOffsetIndex = {};  // the work coordinate system of the pose (modal index)
    int blockPublished = {};
    std::int64_t lineNumber = {};
    std::string lineText = {};
    int stripPublished = {};
    int stripState = {};
    std::string stripText = {};
};
std::mutex publishedMutex;
PublishedPanelState published;

// The stock's pitch and extents, as last read while no run was cutting, and the work origin of
// the pose shown.
struct StockRangeSeen {
    int present = {};
    double pitch = {};
    double max[3] = {};
    double min[3] = {};
    double workOrigin[3] = {};  // mm
};

// The panel's two windows; any thread may ask them to redraw.
std::atomic<WindowHandle> panelWindows[2] = {};

std::uint32_t Rgb(const std::int32_t c[3]) {
    return static_cast<std::uint32_t>(c[0] & 0xFF) | static_cast<std::uint32_t>(c[1] & 0xFF) << 8 |
           static_cast<std::uint32_t>(c[2] & 0xFF) << 16;
}

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The panes under construction: the layout's cells (main-window client pixels) become panes of
// the strip window (right of the column, above the view) or of the column window.
struct PaneList {
    const InfoPanelInputs& in;
    std::vector<PanelPane>* panes;
    int clientRight;
    int clientBottom;
    int strip;  // the strip's height (pixels)

    PanelPane Make(int id, const PanelRect& cell, std::string text, unsigned style) const {
        PanelPane pane;
        pane.id = id;
        // Each cell is in its own window's pixels: the strip's two, and the column's.
        const bool strip = id == kPaneStripCaption || id == kPaneStripText;
        pane.window = strip ? kPanelStrip : kPanelColumn;
        pane.rect = WindowRect{cell.left, cell.top, cell.right > 0 ? cell.right : clientRight,
                               cell.bottom > 0 ? cell.bottom : std::max(0, clientBottom - strip)};
        pane.text = std::move(text);
        pane.style = InfoPanelView.pressedPane == id && style == kPaneRaised ? kPaneSunken : style;
        return pane;
    }
    void Add(int id, const PanelRect& cell, std::string text, unsigned style) const {
        panes->push_back(Make(id, cell, std::move(text), style));
    }
    const char* Pick(const char* english, const char* japanese) const {
        return in.english ? english : japanese;
    }
    std::string Value(double value) const {
        return FormatPanelValue(in.increment, value);
    }
};

void AddStrip(const PaneList& list, const InfoPanelLayout& layout) {
    const InfoPanelInputs& in = list.in;
    std::string caption;
    std::string text;
    switch (in.stripState) {
        case 0:
            caption = list.Pick("\tNcdata\t", "\tNCﾃﾞｰﾀ\t");
            text = list.Pick("- Not Selected -", "- 未選択 -");
            break;
        case 1:
            caption = list.Pick("\tNcdata\t", "\tNCﾃﾞｰﾀ\t");
            text = in.ncPath;
            break;
        case 2:
            caption = std::string("\t\t").append(std::to_string(in.lineNumber)).append(":");
            text = in.lineText;
            break;
        case 3:
            text = list.Pick("Not Cut", "そこは選択中のNCデータで切削されていません");
            break;
        case 4:
            text = "-";
            break;
        case 6:
            text = in.lineText;
            break;
        default:
            break;
    }
    list.Add(kPaneStripCaption, layout.header[0], caption, kPaneSunken);
    list.Add(kPaneStripText, layout.header[1], text, kPaneSunken);
    if (in.stripState == 6) {
        // The picked line's number over the caption: yellow for a negative pick, else red.
        const std::int64_t line = in.pickedLine < 0 ? -in.pickedLine : in.pickedLine;
        PanelPane number =
            list.Make(kPaneStripCaption, layout.header[0],
                      std::string("\t").append(std::to_string(line)).append(": "), kPaneFlat);
        number.textColor = in.pickedLine < 0 ? 0x00FFFF : 0x0000FF;
        number.coloured = 1;
        list.panes->push_back(number);
    }
}

void AddAxes(const PaneList& list, const InfoPanelLayout& layout) {
    const InfoPanelInputs& in = list.in;
    // The frame of the column, then the controller's name in its colours.
    list.Add(kPaneNone, layout.frame[0], "", kPaneRaised);
    PanelPane title = list.Make(kPaneTitle, layout.title[0], "\t" + in.controllerName, kPaneFlat);
    title.textColor = in.nameColor;
    title.coloured = 1;
    list.panes->push_back(title);
    const char* captions[3][2] = {{"\tControl Point", "\t制御点座標値"},
                                  {"\tMachine(Ctrl-Pt)", "\t機械座標(指令位置)"},
                                  {"\tMachine(Tool-Pt)", "\t機械座標(工具先端)"}};
    const int kind = std::clamp(in.coordinateKind, 0, 2);
    list.Add(kPaneCaption, layout.title[1], list.Pick(captions[kind][0], captions[kind][1]),
             kPaneRaised);
    for (int axis = 0; axis < std::clamp(in.jogRows, 0, kPanelAxisCount); ++axis) {
        const PanelRect* cells = layout.axisCells[axis];
        list.Add(kPaneJogPlus + axis, cells[0], "\t+", kPaneRaised);
        list.Add(kPaneJogMinus + axis, cells[1], "\t-", kPaneRaised);
        list.Add(kPaneAxisLabel + axis, cells[2], in.labels[axis], kPaneSunken);
        list.Add(kPaneAxisValue + axis, cells[3], list.Value(in.values[axis]), kPaneSunken);
    }
}

void AddButtons(const PaneList& list, const InfoPanelLayout& layout) {
    const InfoPanelInputs& in = list.in;
    list.Add(kPaneDCode, layout.belowAxes[0], list.Pick("\tD-Code", "\t径補正値"), kPaneRaised);
    list.Add(kPaneHCode, layout.belowAxes[1], list.Pick("\tH-Code", "\t長補正値"), kPaneRaised);
    list.Add(kPaneWorkpiece, layout.belowAxes[2], list.Pick("\tWorkpiece", "\tﾜｰｸ座標"),
             kPaneRaised);
    if (in.syncGet) {
        list.Add(kPaneSyncGet, layout.belowAxes[3], "\tGET", kPaneRaised);
    }
    if (in.syncPut) {
        list.Add(kPaneSyncPut, layout.belowAxes[4], "\tPUT", kPaneRaised);
    }
    // The stop-mode selector (modes 2, 3, 4, then 0), the active one sunken; then STOP and ESC.
    const PanelRect* selector[4] = {&layout.thirdRow[0], &layout.thirdRow[1], &layout.thirdRow[2],
                                    &layout.fourthRow[0]};
    const char* names[4][2] = {{"\tM01", "\tM01"},
                               {"\tSingle", "\tｼﾝｸﾞﾙ"},
                               {"\tDefine", "\t指定"},
                               {"\tNone", "\tﾉﾝｽﾄｯﾌﾟ"}};
    for (int k = 0; k < 4; ++k) {
        list.Add(kPaneStopMode + k, *selector[k], list.Pick(names[k][0], names[k][1]),
                 in.stopMode == kStopModeOfPane[k] ? kPaneSunken : kPaneRaised);
    }
    if (in.stopPending) {
        list.Add(kPaneRun, layout.fourthRow[1], in.pauseBlinkOn ? "\tGO" : "", kPaneRaised);
        list.Add(kPaneEscape, layout.fourthRow[2], "", kPaneRaised);
    } else {
        const unsigned style = in.runActive ? kPaneRaised : kPaneSunken;
        list.Add(kPaneRun, layout.fourthRow[1], "\tSTOP", style);
        list.Add(kPaneEscape, layout.fourthRow[2], "\tESC", style);
    }
}

// A radius pane: its magnitude, or the text for a straight line through the points.
std::string RadiusText(const PaneList& list, double radius, const char* straight, bool zeroDash) {
    const double magnitude = std::fabs(radius);
    if (magnitude >= 10000.0) {
        return straight;
    }
    if (zeroDash && magnitude == 0.0) {
        return "\t-";
    }
    return list.Value(magnitude);
}

void AddMeasuredData(const PaneList& list, const InfoPanelLayout& layout) {
    const InfoPanelInputs& in = list.in;
    list.Add(kPaneMeasuredCaption, layout.valueLeft[0],
             list.Pick("\tMeasured Data", "\t計測位置のデータ"), kPaneFlat);
    list.Add(kPaneCountLabel, layout.valueLeft[1], list.Pick("\tCount", "\t点数"), kPaneSunken);
    char count[32];
    std::snprintf(count, sizeof count, "\t\t%5d", in.traceCount);
    list.Add(kPaneTraceCount, layout.valueRight[1], count, kPaneSunken);
    for (int axis = 0; axis < 3; ++axis) {
        list.Add(
            kPaneUnit + axis, layout.valueLeft[2 + axis],
            std::string("\t").append(in.axisLetters[axis]).append(in.unitLabelWork ? "w" : "m"),
            kPaneFlat);
        std::string value = "\t-";
        if (in.traceCount > 0) {
            value =
                std::string(in.blockMarks[axis] ? "*" : "").append(list.Value(in.tracePoint[axis]));
        }
        list.Add(kPaneTrace + axis, layout.valueRight[2 + axis], value, kPaneSunken);
    }
    const char* labels[8][2] = {{"\tDelta-X", "\tX増分"},   {"\tDelta-Y", "\tY増分"},
                                {"\tDelta-Z", "\tZ増分"},   {"\tDis", "\t距離"},
                                {"\tR(2D-X)", "\tR(2D-X)"}, {"\tR(2D-Y)", "\tR(2D-Y)"},
                                {"\tR(2D-Z)", "\tR(2D-Z)"}, {"\tR(3D)", "\tR(3D)"}};
    for (int k = 0; k < 8; ++k) {
        list.Add(kPaneMeasureLabel + k, layout.valueLeft[5 + k],
                 list.Pick(labels[k][0], labels[k][1]), kPaneSunken);
        std::string value = "\t-";
        if (in.traceCount > 0) {
            if (k < 3) {
                value = list.Value(in.delta[k]);
            } else if (k == 3) {
                value = list.Value(in.distance);
            } else if (k < 7) {
                value = RadiusText(list, in.radii[k - 3], "\t*PLANE*", false);  // YZ, ZX, XY
            } else {
                value = RadiusText(list, in.radii[0], "\t*LINE*", true);
            }
        }
        list.Add(kPaneMeasure + k, layout.valueRight[5 + k], value, kPaneSunken);
    }
}

void AddStock(const PaneList& list, const InfoPanelLayout& layout) {
    const InfoPanelInputs& in = list.in;
    list.Add(kPaneWork, layout.extraLeft[0], list.Pick("\tWork\t", "\t被切削材\t"), kPaneRaised);
    list.Add(kPanePitch, layout.extraRight[0],
             Printf(list.Pick("\tPitch:%5.3f\t", "\t精度:%5.3f\t"), in.pitch), kPaneRaised);
    const char* names[6] = {"\tMaxX", "\tMaxY", "\tMaxZ", "\tMinX", "\tMinY", "\tMinZ"};
    for (int k = 0; k < 6; ++k) {
        list.Add(kPaneMinMaxLabel + k, layout.extraLeft[1 + k],
                 std::string(names[k]) + (in.minMaxWork ? "w" : "m"), kPaneFlat);
        const double value = k < 3 ? in.stockMax[k] : in.stockMin[k - 3];
        list.Add(kPaneRange + k, layout.extraRight[1 + k],
                 in.hasStock ? list.Value(value) : "\tundefined", kPaneSunken);
    }
}

WindowHandle MainPanelParent() {
    return MainWindowData.handles.main;
}

MessageResult InfoPanelWndProc(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    switch (message) {
        case WM_PAINT:
            PaintInfoPanelWindow(window);
            return 0;
        case WM_DESTROY: {
            WindowHandle expected = window;
            panelWindows[GetWindowUserData(window) == kPanelStrip ? kPanelStrip : kPanelColumn]
                .compare_exchange_strong(expected, nullptr);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
            // A click on a pane leaves the keyboard here; the keys are the main window's.
            return SendWindowMessage(MainPanelParent(), message, wparam, lparam);
        case WM_MOUSEMOVE:
            // The held jog button repeats while the pointer stays on it.
            SetPointerPosition(window, static_cast<int>(lparam & 0xFFFF),
                               static_cast<int>((lparam >> 16) & 0xFFFF));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            SetPointerPosition(window, static_cast<int>(lparam & 0xFFFF),
                               static_cast<int>((lparam >> 16) & 0xFFFF));
            HandleInfoPanelMouse(static_cast<int>(GetWindowUserData(window)), message,
                                 static_cast<int>(lparam & 0xFFFF),
                                 static_cast<int>((lparam >> 16) & 0xFFFF));
            return 0;
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

}  // namespace

int PanelFontHeight() {
    return CommandLine.fontHeight > 0 ? CommandLine.fontHeight : kDefaultPanelFontHeight;
}

int PanelStripHeight(int fontHeight) {
    return std::max(NC_STRIP_HEIGHT, PanelRowHeight(fontHeight) + 5);
}

std::string FormatPanelValue(int increment, double value) {
    const char* format = increment == 1000  ? "\t\t%9.3f"
                         : increment == 100 ? "\t\t%8.2f"
                                            : "\t\t%10.4f";
    return Printf(format, value);
}

int SelectAxisLabelRow(int coordinateKind, int toolTipControl, int tiltedPlane, int rotation,
                       int polar, int cylindrical, int planeCode) {
    if (coordinateKind == 1 || coordinateKind == 2) {
        return coordinateKind;
    }
    if (toolTipControl) {
        return 3;
    }
    if (tiltedPlane) {
        return 4;
    }
    if (rotation) {
        return 5;
    }
    if (polar) {
        return 6;
    }
    if (cylindrical) {
        return planeCode == 18 || planeCode == -18 ? 7 : 8;
    }
    return 0;
}

namespace {

std::vector<PanelPane> PanesOfLayout(const InfoPanelInputs& in, const InfoPanelLayout& layout) {
    std::vector<PanelPane> panes;
    const PaneList list{in, &panes, in.clientRight, in.clientBottom, layout.header[0].bottom};
    AddStrip(list, layout);
    AddAxes(list, layout);
    AddButtons(list, layout);
    AddMeasuredData(list, layout);
    AddStock(list, layout);
    return panes;
}

// Every cell of the column.
std::vector<PanelRect*> ColumnCells(InfoPanelLayout& l) {
    std::vector<PanelRect*> cells = {&l.frame[0], &l.frame[1], &l.title[0], &l.title[1]};
    const auto add = [&cells](PanelRect* first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            cells.push_back(first + i);
        }
    };
    add(&l.axisCells[0][0], kPanelAxisCount * 4);
    add(l.belowAxes, std::size(l.belowAxes));
    add(l.thirdRow, std::size(l.thirdRow));
    add(l.fourthRow, std::size(l.fourthRow));
    add(l.valueLeft, kPanelValueRows);
    add(l.valueRight, kPanelValueRows);
    add(l.extraLeft, kPanelExtraRows);
    add(l.extraRight, kPanelExtraRows);
    return cells;
}

int Scaled(int value, double scale) {
    return static_cast<int>(std::lround(value * scale));
}

// The panel's scales in the panel font: sx the column's pixels per layout unit across, sy down.
struct PanelScale {
    double sx = 1.0;
    double sy = 1.0;
};

// The inputs of the widest texts the panel can show for these inputs' font, language, value
// format, rows and buttons: every caption of the three coordinate kinds, the values filled to
// their format's width, stock and measured data present and absent, and the widest axis label.
// The column sized for them keeps its width while the values and modes change.
std::vector<InfoPanelInputs> WidestPanelTexts(const InfoPanelInputs& in) {
    std::vector<InfoPanelInputs> samples;
    for (int kind = 0; kind < 3; ++kind) {
        for (int filled = 0; filled < 2; ++filled) {
            InfoPanelInputs sample = in;
            sample.coordinateKind = kind;
            sample.stopPending = 0;
            sample.hasStock = filled;
            sample.traceCount = filled ? 88888 : 0;
            const double widest = -8888.8888;
            std::fill(std::begin(sample.values), std::end(sample.values), widest);
            std::fill(std::begin(sample.tracePoint), std::end(sample.tracePoint), widest);
            std::fill(std::begin(sample.blockMarks), std::end(sample.blockMarks), filled);
            std::fill(std::begin(sample.delta), std::end(sample.delta), widest);
            std::fill(std::begin(sample.radii), std::end(sample.radii), widest);
            std::fill(std::begin(sample.stockMax), std::end(sample.stockMax), widest);
            std::fill(std::begin(sample.stockMin), std::end(sample.stockMin), widest);
            sample.distance = widest;
            sample.pitch = 8.888;
            // A tab, the widest letter and a marker: wider than any axis label.
            for (std::string& label : sample.labels) {
                label.assign("\tW(w)");
            }
            for (std::string& letter : sample.axisLetters) {
                letter.assign(1, 'W');
            }
            samples.push_back(sample);
        }
    }
    return samples;
}

// The scales that give every column pane's widest text room in its cell (its border and inset
// included) and every row the panel font's line: at the default font the column is
// INFO_PANEL_WIDTH wide, and a larger font widens it as far as its texts need.
PanelScale MeasurePanelScale(const InfoPanelInputs& in, const InfoPanelLayout& layout) {
    PanelScale scale;
    const int fontHeight = PanelFontHeight();
    PaintContext measure;
    measure.fontPixelHeight = fontHeight;
    constexpr int kPadding = 8;  // the pane's border and the text's inset on both sides
    scale.sx = static_cast<double>(INFO_PANEL_WIDTH) / std::max(1, layout.panelWidth);
    for (const InfoPanelInputs& sample : WidestPanelTexts(in)) {
        for (const PanelPane& pane : PanesOfLayout(sample, layout)) {
            const int width = pane.rect.right - pane.rect.left;
            if (pane.window != kPanelColumn || pane.id == kPaneTitle || width <= 0) {
                continue;
            }
            // A tab inside a text (a marked trace value's "*\t\t") parts it: its parts side
            // by side need the room.
            int align = kTextLeft;
            std::string text = SplitPaneText(pane.text, &align);
            text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
            const int needed = MeasurePaintText(measure, text) + kPadding;
            scale.sx = std::max(scale.sx, static_cast<double>(needed) / width);
        }
    }
    scale.sy = std::max(1.0, PanelRowHeight(fontHeight) / static_cast<double>(kPanelRowUnits));
    return scale;
}

// The scales for these inputs, measured once for each font, language, format, row count and
// buttons (the panel is built at every paint and click).
PanelScale FittedPanelScale(const InfoPanelInputs& in, const InfoPanelLayout& layout) {
    struct Fitted {
        std::string key;
        PanelScale scale;
    };
    thread_local Fitted last;
    std::string key =
        std::to_string(PanelFontHeight()) + "/" + std::to_string(in.english) + "/" +
        std::to_string(in.increment) + "/" + std::to_string(in.jogRows) + "/" +
        std::to_string(in.syncGet) + std::to_string(in.syncPut) + "/" +
        std::to_string(reinterpret_cast<std::uintptr_t>(GetPlatformBackendHooks().measureText));
    if (last.key != key) {
        last.scale = MeasurePanelScale(in, layout);
        last.key = key;
    }
    return last.scale;
}

// The panel's cells in the panel font's measures: the column's cells spread over the column
// window, as wide as its widest texts need, and their rows as high as the font's lines; the
// strip's caption lies over the column and its text beside it.
InfoPanelLayout FitInfoPanelLayout(const InfoPanelInputs& in) {
    InfoPanelLayout layout;
    BuildInfoPanelLayout(in.jogRows, &layout);
    const PanelScale scale = FittedPanelScale(in, layout);
    for (PanelRect* cell : ColumnCells(layout)) {
        *cell = PanelRect{Scaled(cell->left, scale.sx), Scaled(cell->top, scale.sy),
                          Scaled(cell->right, scale.sx), Scaled(cell->bottom, scale.sy)};
    }
    layout.panelWidth = Scaled(layout.panelWidth, scale.sx);
    layout.panelHeight = Scaled(layout.panelHeight, scale.sy);
    const int strip = PanelStripHeight(PanelFontHeight());
    layout.header[0] = {0, 0, layout.panelWidth, strip};
    layout.header[1] = {layout.panelWidth, 0, 0, strip};
    return layout;
}

}  // namespace

std::vector<PanelPane> BuildInfoPanelPanes(const InfoPanelInputs& in) {
    return PanesOfLayout(in, FitInfoPanelLayout(in));
}

InfoPanelExtent ComputeInfoPanelExtent(const InfoPanelInputs& in) {
    InfoPanelLayout layout = FitInfoPanelLayout(in);
    int bottom = 0;
    for (const PanelRect* cell : ColumnCells(layout)) {
        bottom = std::max(bottom, cell->bottom);
    }
    // The layout's own margin below its last row (its 5 units at the column's top).
    return InfoPanelExtent{layout.panelWidth, layout.header[0].bottom,
                           bottom + layout.title[0].top};
}

InfoPanelExtent CurrentInfoPanelExtent() {
    return ComputeInfoPanelExtent(PanelFormatInputs());
}

int FindPanelPane(const std::vector<PanelPane>& panes, int window, int x, int y) {
    for (const PanelPane& pane : panes) {
        if (pane.id != kPaneNone && pane.window == window && x >= pane.rect.left &&
            x < pane.rect.right && y >= pane.rect.top && y < pane.rect.bottom) {
            return pane.id;
        }
    }
    return kPaneNone;
}

void PublishPanelPose() {
    std::lock_guard<std::mutex> lock(publishedMutex);
    std::copy(RunKinematics.pose.program.axis, RunKinematics.pose.program.axis + 5,
              published.program);
    std::copy(RunKinematics.pose.machine.axis, RunKinematics.pose.machine.axis + 5,
              published.machine);
    std::copy(RunKinematics.pose.tool.point, RunKinematics.pose.tool.point + 3,
              published.toolPoint);
    published.workOffsetIndex = RunSession.run.modal.workOffsetIndex;
}

void PublishPanelBlock(std::int64_t lineNumber, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(publishedMutex);
        published.blockPublished = 1;
        published.lineNumber = lineNumber;
        published.lineText = text;
    }
    RequestInfoPanelRedraw();
}

void PublishPanelStrip(int state, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(publishedMutex);
        published.stripPublished = 1;
        published.stripState = state;
        published.stripText = text;
    }
    RequestInfoPanelRedraw();
}

InfoPanelInputs PanelFormatInputs() {
    InfoPanelInputs in;
    in.english = UiLanguage.load() == 1 ? 1 : 0;
    in.increment = Controller.leastInputIncrement;
    const ControllerAxisLetters& axes = Controller.axes;
    in.jogRows = 3 + (axes.rotaryLetters[0] != kNoAxisLetter ? 1 : 0) +
                 (axes.rotaryLetters[1] != kNoAxisLetter ? 1 : 0);
    in.syncGet = SyncOffsetsAvailable(1);
    in.syncPut = SyncOffsetsAvailable(0);
    return in;
}

InfoPanelInputs CollectInfoPanelInputs() {
    InfoPanelInputs in = PanelFormatInputs();
    InfoPanelState& panel = InfoPanelView;
    const bool idle = WindowRun.mode.load() == RunMode::kIdle;
    if (idle) {
        PublishPanelPose();  // no worker moves the pose: the panel reads it itself
    }
    PublishedPanelState seen;
    {
        std::lock_guard<std::mutex> lock(publishedMutex);
        seen = published;
        published.blockPublished = 0;
        published.stripPublished = 0;
    }
    // What was published changes the strip on this thread.
    if (seen.blockPublished) {
        panel.stripState = 2;
        panel.currentLine = seen.lineNumber;
        panel.lineText = seen.lineText;
        panel.pickedLine = 0;
    }
    if (seen.stripPublished) {
        panel.stripState = seen.stripState;
        panel.lineText = seen.stripText;
        if (seen.stripState == 4) {
            panel.pickedLine = 0;
        }
    }
    const ControllerAxisLetters& axes = Controller.axes;
    panel.jogRows = in.jogRows;
    in.coordinateKind = panel.coordinateKind;
    const NcModalState& modal = RunSession.run.modal;
    // The interpreter's modes are read while it does not run (during a run, the normal row).
    int row = idle ? SelectAxisLabelRow(panel.coordinateKind, modal.toolCenterPointMode,
                                        RunKinematics.plane.active, 0, modal.polarInterpolation,
                                        modal.cylindricalInterpolation, modal.planeCode)
                   : SelectAxisLabelRow(panel.coordinateKind, 0, 0, 0, 0, 0, 17);
    for (int axis = 0; axis < 5; ++axis) {
        const char* label = AxisLabelTable.labels[row][axis];
        if (label[0] != 0) {
            in.labels[axis] = label;
        }
        if (panel.coordinateKind == 0) {
            in.values[axis] = seen.program[axis];
        } else {
            in.values[axis] = seen.machine[axis];
        }
    }
    if (panel.coordinateKind == 2) {
        std::copy(seen.toolPoint, seen.toolPoint + 3, in.values);
    }
    for (int axis = 0; axis < 3; ++axis) {
        in.axisLetters[axis] = std::string(1, axes.labels[axis][1]);
    }
    in.controllerName = Controller.name;
    in.nameColor = Rgb(Controller.nameColor);
    in.stopMode = Controller.stopOption;
    in.runActive = idle ? 0 : 1;
    in.stopPending = WindowRun.controls.pauseRequest.load() != 0 ? 1 : 0;
    in.pauseBlinkOn = WindowRun.controls.pauseBlink.load() != 0 ? 1 : 0;
    // The stock's extents, as last read while no run was cutting the stock, and the work origin
    // (the external offset plus the entry of the work coordinate system the pose shown was in),
    // which follows the run's systems as the pose does.
    static StockRangeSeen seenStock;
    if (idle) {
        const StockModel& stock = CurrentStockModel();
        seenStock.present = StockCommands.stockPresent && stock.maxCorner != nullptr ? 1 : 0;
        seenStock.pitch = stock.pitch;
        if (seenStock.present) {
            std::copy(stock.maxCorner, stock.maxCorner + 3, seenStock.max);
            std::copy(stock.minCorner, stock.minCorner + 3, seenStock.min);
        }
    }
    const int index = std::clamp(seen.workOffsetIndex, 0, kWorkOffsetEntries - 1);
    for (int axis = 0; axis < 3; ++axis) {
        seenStock.workOrigin[axis] =
            WorkOffsetTable[0].axis[axis] + (index > 0 ? WorkOffsetTable[index].axis[axis] : 0.0);
    }
    // The measured data: the last trace point, in work coordinates when the unit labels say so.
    in.unitLabelWork = panel.unitLabelWork;
    std::copy(panel.blockMarks, panel.blockMarks + 3, in.blockMarks);
    const MeasureTraceState& trace = MeasureTrace;
    in.traceCount = trace.points != nullptr ? trace.count : 0;
    if (in.traceCount > 0) {
        const double* last = trace.points + 3 * (in.traceCount - 1);
        for (int axis = 0; axis < 3; ++axis) {
            in.tracePoint[axis] =
                last[axis] - (panel.unitLabelWork ? seenStock.workOrigin[axis] : 0.0);
        }
        std::copy(trace.delta, trace.delta + 3, in.delta);
        in.distance = trace.distance;
        std::copy(trace.radii, trace.radii + 4, in.radii);
    }
    // The stock: its pitch and extents, in work coordinates when the min/max labels say so.
    in.hasStock = seenStock.present;
    in.pitch = seenStock.pitch;
    in.minMaxWork = panel.minMaxWork;
    for (int axis = 0; axis < 3 && in.hasStock; ++axis) {
        const double shift = panel.minMaxWork ? seenStock.workOrigin[axis] : 0.0;
        in.stockMax[axis] = seenStock.max[axis] - shift;
        in.stockMin[axis] = seenStock.min[axis] - shift;
    }
    // The strip.
    if (panel.stripState == 0 && !DefinitionFiles.ncProgramFile.empty() &&
        NcDataCommands.selectedState != 0) {
        panel.stripState = 1;
    }
    if (panel.stripState == 1) {
        panel.currentLine = 1;
        panel.pickedLine = 0;
    }
    in.stripState = panel.stripState;
    in.ncPath = DefinitionFiles.ncProgramFile;
    in.lineNumber = panel.currentLine;
    in.pickedLine = panel.pickedLine;
    in.lineText = panel.lineText;
    WindowRect client = {};
    if (GetWindowClientRect(MainPanelParent(), &client)) {
        in.clientRight = client.right;
        in.clientBottom = std::max(0, client.bottom - MainWindowData.statusBarHeight);
    }
    return in;
}

void CreatePanelBackground() {
    InfoPanelBackground = Rgb(Controller.nameBackground);
}

int CreateInfoPanel(WindowHandle mainWindow) {
    InfoPanelView.painted = 0;  // the new panel's first paint is still to come
    for (int which : {kPanelStrip, kPanelColumn}) {
        WindowCreateParams params;
        params.className = INFO_PANEL_CLASS;
        params.procedure = InfoPanelWndProc;
        params.parent = mainWindow;
        params.id = which == kPanelStrip ? INFO_STRIP_WINDOW_ID : INFO_COLUMN_WINDOW_ID;
        params.visible = 1;
        WindowHandle window = CreatePlatformWindow(params);
        if (window == nullptr) {
            return 0;
        }
        SetWindowUserData(window, which);
        panelWindows[which].store(window);
    }
    PlaceInfoPanel(mainWindow);
    return 1;
}

WindowHandle GetInfoPanelWindow(int which) {
    WindowHandle window = panelWindows[which == kPanelStrip ? kPanelStrip : kPanelColumn].load();
    return IsPlatformWindow(window) ? window : nullptr;
}

void PlaceInfoPanel(WindowHandle mainWindow) {
    WindowRect client = {};
    GetWindowClientRect(mainWindow, &client);
    const int statusHeight = MainWindowData.statusBarHeight;
    const InfoPanelExtent extent = CurrentInfoPanelExtent();
    if (WindowHandle strip = GetInfoPanelWindow(kPanelStrip)) {
        MovePlatformWindow(strip, WindowRect{0, 0, std::max(0, client.right), extent.stripHeight});
    }
    if (WindowHandle column = GetInfoPanelWindow(kPanelColumn)) {
        MovePlatformWindow(column,
                           WindowRect{0, extent.stripHeight, extent.columnWidth,
                                      std::max(extent.stripHeight, client.bottom - statusHeight)});
    }
}

void RequestInfoPanelRedraw() {
    for (int which : {kPanelStrip, kPanelColumn}) {
        WindowHandle window = panelWindows[which].load();
        if (window != nullptr) {
            InvalidatePlatformWindow(window);
        }
    }
}

void DrawInfoPanelNow() {
    for (int which : {kPanelStrip, kPanelColumn}) {
        WindowHandle window = panelWindows[which].load();
        if (window != nullptr && InvalidatePlatformWindow(window) &&
            IsWindowOfCallingThread(window)) {
            UpdatePlatformWindow(window);
        }
    }
}

void PaintInfoPanelWindow(WindowHandle window) {
    PaintContext context;
    if (!BeginPaint(window, &context)) {
        return;
    }
    if (!DrawingSuppressed.load()) {
        const int which = static_cast<int>(GetWindowUserData(window));
        SetPaintFontHeight(&context, PanelFontHeight());
        WindowRect client = {};
        GetWindowClientRect(window, &client);
        FillPaintRect(&context, client, InfoPanelBackground);
        for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
            if (pane.window != which) {
                continue;
            }
            if (pane.coloured) {
                // Coloured texts lie on panes: their colour is kept only where it can be read.
                SetPaintTextColor(&context, ReadableTextColor(pane.textColor, kPaneFaceColor));
                SetPaintTextBackground(&context, 0, 1);
                int align = kTextLeft;
                std::string text = SplitPaneText(pane.text, &align);
                DrawPaintText(&context, pane.rect, text, align);
                SetPaintTextColor(&context, 0);
            } else {
                DrawStatusPane(&context, pane.rect, pane.text, pane.style);
            }
        }
    }
    EndPaint(&context);
    if (!InfoPanelView.painted) {
        InfoPanelView.painted = 1;
        if (Settings.sound) {
            PlaySoundEffect(SoundEffect::ToolChange);
        }
    }
}

void InstallInfoPanelHooks() {
    MainWindowHooks& main = MainWindowCallbacks;
    main.preparePanelContext = [](WindowHandle window) { CreateInfoPanel(window); };
    main.paintInfoPanel = DrawInfoPanelNow;
    main.drawStopModeLabels = RequestInfoPanelRedraw;
    main.panelClick = HandleMainWindowPanelClick;
    main.jogRepeat = JogRepeatTick;
    StartupCallbacks.createPanelBrush = CreatePanelBackground;
    // Run commands (user-interface thread; the pose is read in the redraw handshake or idle).
    RunHooks& run = RunCallbacks;
    run.drawAxisValuePanes = [] {
        PublishPanelPose();
        RequestInfoPanelRedraw();
    };
    run.drawRunPanes = RequestInfoPanelRedraw;
    run.drawNcDataLine = RequestInfoPanelRedraw;
    run.drawPanelAfterRun = [] { PublishPanelStrip(1, ""); };
    // The run's thread: it publishes and asks; the panel draws on its own thread.
    RunUiHooks& ui = RunUiCallbacks;
    ui.drawRunPane = [](int, const char*, int) { RequestInfoPanelRedraw(); };
    ui.showPanelBlock = [](int lineNumber, const char* text) {
        PublishPanelBlock(lineNumber, text != nullptr ? text : "");
    };
    ui.drawStopModeSelector = RequestInfoPanelRedraw;
    NcUpHooks.redrawPanel = RequestInfoPanelRedraw;
    // The view (user-interface thread).
    ViewHooks& view = ViewCallbacks;
    view.drawTracePanes = [](int) { RequestInfoPanelRedraw(); };
    view.drawStockRangePanes = RequestInfoPanelRedraw;
    view.drawAxisValuePanes = [] {
        PublishPanelPose();
        RequestInfoPanelRedraw();
    };
    view.setMeasureText = [](const char*) { RequestInfoPanelRedraw(); };
    view.drawNcDataStrip = [](const char* text, int state) {
        InfoPanelView.pickedLine = PickedPointInfo;
        const std::string line = text != nullptr ? text : "";
        // After the flashes a line that was found stays shown; "Not Cut" only without one.
        PublishPanelStrip(state == 3 && !line.empty() ? 6 : state, line);
        DrawInfoPanelNow();
    };
    StockCommandCallbacks.redrawWorkPane = RequestInfoPanelRedraw;
}

}  // namespace mirexa
