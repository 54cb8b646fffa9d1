// The render tool: settings and definition files, a stock, an optional NC run, one frame
// rendered off screen and written as a PNG.
#include "render_tool.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/settings_define.h"
#include "config/settings_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/run_control.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stock_loading.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/machine_lists.h"
#include "view/scene_renderer.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_hooks.h"

namespace mirexa {

namespace {

// Numbers separated by commas; false unless exactly `count` finite numbers were read.
bool ParseNumbers(const std::string& text, int count, double* out) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < count; ++i) {
        const auto result = std::from_chars(p, end, out[i]);
        if (result.ec != std::errc() || !std::isfinite(out[i])) {
            return false;
        }
        p = result.ptr;
        if (i + 1 < count) {
            if (p == end || *p != ',') {
                return false;
            }
            ++p;
        }
    }
    return p == end;
}

bool ParseInt(const std::string& text, int* out) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *out);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string Absolute(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code ignored;
    return std::filesystem::absolute(path, ignored).string();
}

// Keeps the working directory of the caller.
struct WorkingDirectory {
    std::filesystem::path saved = std::filesystem::current_path();
    ~WorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(saved, ignored);
    }
};

// The largest extent (mm) of the current stock's material, or 0.
double StockExtent(const StockModel& model) {
    if (model.nx == 0 || model.maxCorner == nullptr) {
        return 0.0;
    }
    double extent = 0.0;
    for (int i = 0; i < 3; ++i) {
        extent = std::max(extent, model.maxCorner[i] - model.minCorner[i]);
    }
    return extent;
}

int MakeStock(const RenderToolOptions& o, std::string* message) {
    StockModel* model = &StockModels[0];
    CurrentStockIndex = 0;
    FreeStockModel(model);
    *model = StockModel{};
    SetStockUndoRingSize(model, Settings.undoRingSize);
    double pitch = o.pitch;
    if (pitch > 0.0) {
        // As the command line's pitch does: fixed, not chosen from the stock's size.
        DexelPitch.currentPitch = DexelPitch.requestedPitch = pitch;
        DexelPitch.automatic = 0;
    } else {
        if (o.boxGiven) {
            for (int i = 0; i < 6; ++i) {
                InitialStock.box[i] = o.box[i];
            }
        }
        ChooseDexelPitch();
        pitch = DexelPitch.currentPitch;
    }
    if (o.movePitch > 0.0) {
        DexelPitch.secondPitch = o.movePitch;
        DexelPitch.secondPitchAutomatic = 0;
    }
    int result = 0;
    if (!o.stock.empty()) {
        StockFrame identity;
        identity.values[0] = identity.values[4] = identity.values[8] = 1.0;
        result = LoadStockModelFile(nullptr, model, o.stock, identity, pitch, 0);
    } else {
        const double* box = o.boxGiven ? o.box : InitialStock.box;
        result = CreateBoxStockIdentity(model, box, pitch);
    }
    if (result != 1) {
        *message = "the stock could not be made (code " + std::to_string(result) + ")";
        return 0;
    }
    if (!AllocateModelListNames(*model, &StockListNames[0])) {
        *message = "no memory for the stock's list names";
        return 0;
    }
    return 1;
}

// Runs the simulation thread over the program as a result run (the run of F5 and of a batch)
// and serves its requests as the main window's timer does (nothing is drawn meanwhile; the
// picture comes after the run). Returns how the run ended (SimulationRunEnd).
int RunProgram(StockModel* stock) {
    // The run starts at the control point, as the main window places the tool at start-up.
    for (int i = 0; i < 5; ++i) {
        RunKinematics.pose.program.axis[i] = Settings.controlPoint[i];
    }
    // The picture is of the cut, not of the checks: no check may end the run before the program
    // does (the tool change route from the control point meets the machine's structures).
    Checks.interference = 0;
    Checks.spindleCheck = 0;
    Checks.heightCheck = 0;
    Checks.chipWidthCheck = 0;
    Checks.arborCheck = 0;
    for (std::int32_t& pair : Checks.structurePairs) {
        pair = 0;
    }
    UpdateStopOnCheckFlag();
    DrawingSuppressed = 1;
    CuttingRun run;
    RunRequest request;
    request.runLogFlag = 1;
    request.session = &RunSession;
    request.stock = stock;
    request.programPath = DefinitionFiles.ncProgramFile;
    request.mode = RunMode::kResult;
    StartCuttingRun(run, std::move(request), [](CuttingRun& r) { RunCutting(r); });
    while (CuttingRunFinished(run) == 0) {
        ServeRedrawRequest(run.controls, nullptr);
        if (run.controls.pauseRequest.load() != 0) {
            ResumeRun(run.controls);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    JoinCuttingRun(run);
    DrawingSuppressed = 0;
    ReleaseCuttingBuffers();
    return run.result.end;
}

}  // namespace

const char* RenderToolUsage() {
    return "usage: render [options] OUTPUT.png\n"
           "  --settings FILE     settings file (its directory becomes the working directory)\n"
           "  --tools FILE --controller FILE --machine FILE   definition files (--machine none:\n"
           "                      no machine, even when the settings name one)\n"
           "  --stock FILE        stock file (.DME, .DMF, .STL)\n"
           "  --box X0,Y0,Z0,X1,Y1,Z1   box stock (mm); default: the settings' INITIAL SIZE\n"
           "  --pitch P[,M]       dexel pitch and move pitch (mm), as -P(P,M) on the program's\n"
           "                      command line; default: chosen as the program does\n"
           "  --program FILE      NC program to cut before the picture\n"
           "  --size WxH          picture size in pixels (default 800x600)\n"
           "  --orientation CODE  AXIS DIRECTION code 0-43 (default: the machine's)\n"
           "  --angles A,B        view angles in degrees (default: ANGLE-A, ANGLE-B)\n"
           "  --zoom Z            zoom factor of the view (default 1: the stock fills it)\n"
           "  --style N           stock display style 0-6 (default: MESH MODE)\n"
           "  --tool N            tool to select\n";
}

int ParseRenderToolArguments(const std::vector<std::string>& arguments, RenderToolOptions* o,
                             std::string* error) {
    *o = RenderToolOptions{};
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.size() < 2 || a[0] != '-' || a[1] != '-') {
            if (!o->output.empty()) {
                *error = "more than one output: " + a;
                return 0;
            }
            o->output = a;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            *error = a + " needs a value";
            return 0;
        }
        const std::string& v = arguments[++i];
        bool ok = true;
        if (a == "--settings") {
            o->settings = v;
        } else if (a == "--tools") {
            o->tools = v;
        } else if (a == "--controller") {
            o->controller = v;
        } else if (a == "--machine") {
            o->machine = v;
        } else if (a == "--stock") {
            o->stock = v;
        } else if (a == "--program") {
            o->program = v;
        } else if (a == "--box") {
            ok = ParseNumbers(v, 6, o->box);
            o->boxGiven = 1;
        } else if (a == "--pitch") {
            double pitches[2] = {};
            ok = v.find(',') == std::string::npos ? ParseNumbers(v, 1, pitches)
                                                  : ParseNumbers(v, 2, pitches) && pitches[1] > 0.0;
            ok = ok && pitches[0] > 0.0;
            o->pitch = pitches[0];
            o->movePitch = pitches[1];
        } else if (a == "--zoom") {
            ok = ParseNumbers(v, 1, &o->zoom) && o->zoom > 0.0;
        } else if (a == "--size") {
            const std::size_t x = v.find('x');
            ok = x != std::string::npos && ParseInt(v.substr(0, x), &o->width) &&
                 ParseInt(v.substr(x + 1), &o->height) && o->width >= 1 && o->height >= 1 &&
                 o->width <= 8192 && o->height <= 8192;
        } else if (a == "--orientation") {
            ok = ParseInt(v, &o->orientation) && o->orientation >= 0 && o->orientation <= 99;
        } else if (a == "--angles") {
            ok = ParseNumbers(v, 2, o->angles);
            o->anglesGiven = 1;
        } else if (a == "--style") {
            ok = ParseInt(v, &o->style) && o->style >= 0 && o->style <= 6;
        } else if (a == "--tool") {
            ok = ParseInt(v, &o->tool) && o->tool >= 0;
        } else {
            *error = "unknown option " + a;
            return 0;
        }
        if (!ok) {
            *error = "bad value for " + a + ": " + v;
            return 0;
        }
    }
    if (o->output.empty()) {
        *error = "no output file";
        return 0;
    }
    return 1;
}

int RunRenderTool(const RenderToolOptions& given, std::string* message) {
    WorkingDirectory restore;
    RenderToolOptions o = given;
    const bool noMachine = o.machine == "none";
    if (noMachine) {
        o.machine.clear();
    }
    for (std::string* path :
         {&o.settings, &o.tools, &o.controller, &o.machine, &o.stock, &o.program, &o.output}) {
        *path = Absolute(*path);
    }
    // Messages of the readers go to the standard error stream; nobody answers them.
    const MessageBoxResponder previous =
        SetMessageBoxResponder([](const MessageBoxRequest& request) {
            std::fprintf(stderr, "render: %s: %s\n", request.caption.c_str(), request.text.c_str());
            return GetDefaultMessageBoxAnswer(request.style);
        });
    struct RestoreResponder {
        MessageBoxResponder previous;
        ~RestoreResponder() {
            SetMessageBoxResponder(previous);
        }
    } restoreResponder{previous};

    // 1. Settings and definition files. Model files named in the machine file are relative to
    // the working directory: the settings file's directory, else the machine file's.
    ResetConfigurationRecords();
    InstallNcServiceHooks();
    InstallViewDefinitionCallbacks();
    std::error_code ignored;
    if (!o.settings.empty()) {
        const std::filesystem::path directory = std::filesystem::path(o.settings).parent_path();
        std::filesystem::current_path(directory, ignored);
        DefinitionFiles.settingsName = o.settings;
        std::vector<std::string> messages;
        if (!ReadSettingsFrom(directory.string(), o.settings, &messages)) {
            *message = "settings file not read: " + o.settings;
            return 2;
        }
    } else {
        if (!o.machine.empty() && !noMachine) {
            std::filesystem::current_path(std::filesystem::path(o.machine).parent_path(), ignored);
        }
        // Every setting takes its default (colours included): the settings are looked for at a
        // path that cannot exist, below a file.
        DefinitionFiles.settingsName = "/dev/null/mirexa.ini";
        ReadSettingsFrom(std::filesystem::current_path(ignored).string(), "", nullptr);
        DefinitionFiles.toolsFile.clear();
        DefinitionFiles.controllerFile.clear();
        DefinitionFiles.machineFile.clear();
    }
    if (!o.tools.empty()) {
        DefinitionFiles.toolsFile = o.tools;
    }
    if (!o.controller.empty()) {
        DefinitionFiles.controllerFile = o.controller;
    }
    if (noMachine) {
        DefinitionFiles.machineFile.clear();
    } else if (!o.machine.empty()) {
        DefinitionFiles.machineFile = o.machine;
    }
    if (!DefinitionFiles.toolsFile.empty()) {
        ReadToolFile(RunSession, RunKinematics, RunTools);
    }
    if (!DefinitionFiles.controllerFile.empty()) {
        ReadControllerFile(RunSession, RunKinematics);
        if (Controller.status != 1) {
            *message = "controller file not read: " + DefinitionFiles.controllerFile;
            return 2;
        }
    }
    if (!DefinitionFiles.machineFile.empty()) {
        ReadMachineFile(1);
        if (Machine.status != 1) {
            *message = "machine file not read: " + DefinitionFiles.machineFile;
            return 2;
        }
    }
    if (!DefinitionFiles.toolsFile.empty()) {
        ReadToolFile(RunSession, RunKinematics, RunTools);
        if (ToolFile.status != 1) {
            *message = "tools file not read: " + DefinitionFiles.toolsFile;
            return 2;
        }
    }

    // 2. The stock and the tool.
    if (!MakeStock(o, message)) {
        return 3;
    }
    StockModel& stock = StockModels[0];
    if (o.tool >= 0) {
        SelectCurrentTool(RunSession, RunKinematics, RunTools, o.tool, stock.pitch);
    }

    // 3. The NC program, run to its end by the simulation thread as a batch run does.
    if (!o.program.empty()) {
        DefinitionFiles.ncProgramFile = o.program;
        const int end = RunProgram(&stock);
        if (end != kRunEndProgram) {
            *message = "the NC run ended early (" + std::to_string(end) + "): " + o.program;
            return 4;
        }
    }

    // 4. The view: sized from the stock, turned as asked, everything flagged.
    if (!CreateGlContext(o.width, o.height)) {
        *message = "no off-screen OpenGL context";
        return 5;
    }
    struct DestroyContext {
        ~DestroyContext() {
            DestroyGlContext();
        }
    } destroyContext;
    FillGlColorTable(LiveColors, DisplayModes);
    if (o.style >= 0) {
        DisplayModes.stockStyle = o.style;
    }
    const double extent = StockExtent(stock);
    DisplayUnitFactor = extent > 0.0 ? extent : 500.0;
    DefaultTableRadius = extent > 0.0 ? extent / 2.0 : 80.0;
    ViewState& view = CurrentView;
    view.startAngleA = o.anglesGiven ? o.angles[0] : Settings.angleA;
    view.startAngleB = o.anglesGiven ? o.angles[1] : Settings.angleB;
    ResetViewState(&view);
    view.orientationCode = o.orientation >= 0 ? o.orientation : Machine.axisDirection;
    view.perspective = DisplayModes.perspective != 0 ? 1 : 0;
    SetViewSize(&view, o.width, o.height);
    SetRotationCentre(&view);
    view.zoom = o.zoom;
    MarkAllSceneListsDirty();
    MarkStockDisplayDirty(&stock);

    // 5. One frame, captured before any swap, written as PNG.
    MakeViewContextCurrent();
    SetViewProjection(&view);
    RenderScene(&stock, &StockListNames[0]);
    std::vector<std::uint8_t> pixels(ViewCapture.size);
    if (!ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size())) {
        *message = "the pixels could not be read";
        return 6;
    }
    const int written =
        SavePngImage(o.output.c_str(), pixels.data(), ViewCapture.stride, o.width, o.height);
    if (written != kPngWritten) {
        *message = "the PNG could not be written: " + o.output;
        return 6;
    }
    FreeModelListNames(&StockListNames[0]);
    FreeStockModel(&stock);
    stock = StockModel{};
    return 0;
}

}  // namespace mirexa
