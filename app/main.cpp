// mirexa: entry point of the CNC machining simulator. The program starts up, opens its main
// window on the platform backend, runs its message loop and shuts down (shell/startup.h). The
// option --demo runs a demonstration of the stock model and the machine kinematics instead,
// until the batch mode replaces it in scripts/demo. Built with the GUI, a run without a run mode
// opens the real main window on the Qt backend.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program_wiring.h"
#include "config/command_line.h"
#include "config/command_line_help.h"
#include "config/structure_models.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "platform/backend.h"
#include "shell/automation_thread.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "stock/dexel_intervals.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"

#ifdef MIREXA_GUI
#include "geometry/shared_state.h"
#include "platform/qt/qt_backend.h"
#include "shell/main_window.h"
#include "view/view_hooks.h"
#endif

namespace mirexa {
namespace {

// Material volume of a model (mm^3) measured along its Z rays.
double MeasureZVolume(const StockModel& model) {
    const DexelFamily& z = model.z;
    double length = 0.0;
    for (std::int64_t cell = 0; cell < z.cellCount; ++cell) {
        const int count = z.counts[cell];
        const double* ends = DexelCellEnds(cell, z.capacity, z.counts, z.ends);
        for (int i = 0; i + 1 < count; i += 2) {
            length += ends[i + 1] - ends[i];
        }
    }
    return length * model.cellWeight;
}

// Cuts the Z rays within radius (mm) of (x, y) from the top of the box down by depth (mm) and
// returns the removed volume (mm^3).
double PlungeFlatEndMill(StockModel* model, double x, double y, double radius, double depth) {
    DexelFamily& z = model->z;
    const double top = model->maxCorner[2];
    const double cut[2] = {top - depth, top + 1.0};
    const std::uint8_t cutFlags[2] = {0x10, 0x10};
    const std::int32_t cutStamps[2] = {1, 1};
    double removed = 0.0;
    for (int iy = 0; iy < model->ny; ++iy) {
        for (int ix = 0; ix < model->nx; ++ix) {
            const double dx = model->nodesX[ix] - x, dy = model->nodesY[iy] - y;
            if (dx * dx + dy * dy > radius * radius) {
                continue;
            }
            const std::int64_t cell = std::int64_t{iy} * model->nx + ix;
            double ends[16], pieces[16];
            std::uint8_t flags[16];
            std::int32_t stamps[16], count = 0, pieceCount = 0;
            GetDexelCell(cell, z.capacity, z.counts, z.ends, z.flags, z.lineStamps, ends, flags,
                         stamps, &count);
            if (CutDexelInterval(ends, flags, stamps, &count, 16, model->pitch, model->origin[2],
                                 model->cellWeight, &removed, pieces, &pieceCount, 16, cut,
                                 cutFlags, cutStamps) == kDexelIntervalDone) {
                SetDexelCell(cell, z.capacity, z.counts, z.ends, z.flags, z.lineStamps, ends, flags,
                             stamps, count);
            }
        }
    }
    return removed;
}

int DemonstrateStocks() {
    StockModel& box = StockModels[0];
    SetStockUndoRingSize(&box, 2);
    ChooseDexelPitch();
    double pitch = DexelPitch.currentPitch;
    int result = CreateBoxStockIdentity(&box, InitialStock.box, pitch);
    if (result < 0) {
        std::printf("box stock: failed with code %d\n", result);
        return 0;
    }
    const double* b = InitialStock.box;
    double analytic = (b[3] - b[0]) * (b[4] - b[1]) * (b[5] - b[2]);
    std::printf(
        "box stock %.0f x %.0f x %.0f mm at automatic pitch %.3f mm: %d x %d x %d nodes, "
        "%.1f MiB with %d undo slots\n",
        b[3] - b[0], b[4] - b[1], b[5] - b[2], pitch, box.nx, box.ny, box.nz,
        GetStockMemorySize(box) / 1048576.0, box.undo.size);
    std::printf("  material on the Z rays %.1f mm^3 (box %.1f; every border ray counts in full)\n",
                MeasureZVolume(box), analytic);
    PushStockUndo(&box);
    std::printf("  undo state kept: slot %d of %d\n", box.undo.currentSlot, box.undo.size);
    std::printf(
        "  plunge of a 20 mm flat end mill 5 mm deep at the centre: removed %.1f mm^3 "
        "(cylinder %.1f)\n",
        PlungeFlatEndMill(&box, 50, 50, 10, 5), M_PI * 100 * 5);
    PopStockUndo(&box);
    std::printf("  undo: material on the Z rays back to %.1f mm^3\n", MeasureZVolume(box));

    StockModel& tube = StockModels[1];
    SetStockUndoRingSize(&tube, 2);
    const double* c = InitialStock.cylinder;
    const double base[3] = {c[0], c[1], c[2]};
    result =
        CreateCylinderStock(&tube, base, InitialStock.cylinderAxis, c[3], c[4] / 2, c[5] / 2, 1.0);
    if (result < 0) {
        std::printf("tube stock: failed with code %d\n", result);
        return 0;
    }
    double tubeVolume = M_PI * (c[4] * c[4] - c[5] * c[5]) / 4 * c[3];
    std::printf(
        "tube stock along X, length %.0f, diameters %.0f/%.0f mm at pitch 1 mm: %d x %d "
        "x %d nodes, material on the Z rays %.1f mm^3 (tube %.1f)\n",
        c[3], c[4], c[5], tube.nx, tube.ny, tube.nz, MeasureZVolume(tube), tubeVolume);
    FreeStockModel(&box);
    FreeStockModel(&tube);
    return 1;
}

int DemonstrateKinematics() {
    // A table-table machine: A about X under C about Z, table centre 100 mm above the origin.
    CurrentMachine = {};
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = {0, 1, 2};
    CurrentMachine.rotary[1] = {2, 0, 1};
    CurrentMachine.tablePosition[2] = 100;
    CurrentToolValues.gaugeLength = 150;
    const double moves[][5] = {{10, 20, 5, 30, 45}, {-40, 0, 12, -60, 200}, {0, 0, 0, 90, 90}};
    std::printf("table-table machine, tool length 150 mm:\n");
    for (const auto& m : moves) {
        double point[3], axis[3];
        ComputeToolTipAndAxis(m, point, axis);
        double back[3];
        ComputeMachinePositionFromToolPoint(point, m + 3, back);
        std::printf(
            "  machine (%.1f, %.1f, %.1f, A%.1f, C%.1f) -> tip (%.3f, %.3f, %.3f) "
            "axis (%.4f, %.4f, %.4f); back to (%.3f, %.3f, %.3f)\n",
            m[0], m[1], m[2], m[3], m[4], point[0], point[1], point[2], axis[0], axis[1], axis[2],
            back[0], back[1], back[2]);
    }
    return 1;
}

#ifdef MIREXA_GUI
// 1 when the arguments ask for work without a user: a run mode or stock operation (-X...), a
// report mode (-V...) or a macro file. Such runs stay on the headless backend and never need a
// display.
int AsksForUnattendedRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool slashSwitch =
            argument.size() > 1 && argument[0] == '/' && argument.find('/', 1) == std::string::npos;
        if ((argument[0] == '-' || slashSwitch) && argument.size() > 1) {
            const char letter =
                static_cast<char>(std::toupper(static_cast<unsigned char>(argument[1])));
            if (letter == 'X' || letter == 'V') {
                return 1;
            }
        }
        if (argument.size() >= 4) {
            std::string suffix = argument.substr(argument.size() - 4);
            for (char& c : suffix) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (suffix == ".mac") {
                return 1;
            }
        }
    }
    return 0;
}

// Starts the real-window backend for a run with a user, and gives the shell the desktop's
// foreground state. 1 when started; 0 (with one line on stderr) when there is no display.
int StartRealWindow() {
    std::string reason;
    if (!IsQtDisplayAvailable(&reason)) {
        std::fprintf(stderr,
                     "mirexa: no display to open the main window on (%s); use a -X run mode for a "
                     "run without one\n",
                     reason.c_str());
        return 0;
    }
    RegisterQtBackend();
    if (!StartPlatformBackend(PlatformBackend::RealWindow)) {
        std::fprintf(stderr, "mirexa: the display could not be opened\n");
        return 0;
    }
    MainWindowCallbacks.isForegroundWindow = IsQtForegroundWindow;
    MainWindowCallbacks.activateWindow = ActivateQtWindow;
    ViewCallbacks.mainWindowForeground = [] { return IsQtForegroundWindow(MainWindow.load()); };
    return 1;
}
#endif

}  // namespace
}  // namespace mirexa

// The exit code is the program's own: -1 after an aborted batch run (255 in a POSIX shell).
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", mirexa::EDITION_NAME);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(mirexa::CommandLineHelpText(), stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--demo") == 0) {
        int ok = mirexa::DemonstrateStocks() && mirexa::DemonstrateKinematics();
        return ok ? 0 : 1;
    }
    mirexa::StartPlatformBackend(mirexa::PlatformBackend::Headless);
    mirexa::ConnectProgram();
#ifdef MIREXA_GUI
    if (!mirexa::AsksForUnattendedRun(argc, argv) && !mirexa::StartRealWindow()) {
        return 1;
    }
#endif
    mirexa::ProgramStart start;
    start.commandLine = mirexa::JoinCommandLineArguments(argc, argv);
    // No user can close a window of the headless backend: it closes once it has painted, unless
    // automatic work runs.
    start.closeWhenIdle = mirexa::GetPlatformBackend() == mirexa::PlatformBackend::Headless;
    const int exitCode = mirexa::RunProgram(start);
#ifdef MIREXA_GUI
    mirexa::StopQtBackend();
#endif
    return mirexa::FinishProgramExitCode(exitCode);
}
