// cutsim: a headless run of the simulation for tests and the demo. It takes the program's own
// command line (definition files and the NC program told apart by their extensions, -D(...) for
// a box stock or a stock file, -P(pitch,movepitch), -O file[,b], -X5), reads the definition
// files, builds or loads the stock, runs the simulation thread over the NC program to its end,
// saves the cut stock and prints the step count, the removed volume and the elapsed time. The end
// of the run is the program's own: the alarm code of an alarm end (its message goes to the log)
// and the reports the run wrote are printed. A settings file named on the command line gives the
// checks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/interference_reports.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"
#include "stockio/stock_saving.h"

namespace mirexa {
namespace {

const char* const kUsage =
    "usage: cutsim [file.INI] [file.TTL] [file.CTL] [file.MTL] (-D(xmax,ymax,zmax,xmin,ymin,zmin) "
    "| stock.DME|.DMF|.STL) [-P(pitch,movepitch)] [-X5 -O out.dme] program\n";

const char* EndText(int end) {
    switch (end) {
        case kRunEndProgram:
            return "end of program";
        case kRunEndError:
            return "interpreter error";
        case kRunEndOverTravel:
            return "axis over-travel";
        case kRunEndInterference:
            return "interference";
        case kRunEndAbort:
            return "aborted";
        case kRunEndNoSource:
            return "the NC program cannot be opened";
        default:
            return "the step length is not a positive number";
    }
}

// The definition files in the start-up order: tools, controller, machine, tools again.
void ReadDefinitionFiles() {
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    const DefinitionFilePaths& files = DefinitionFiles;
    if (!files.toolsFile.empty()) {
        ReadToolFileAt(RunSession, RunKinematics, RunTools, files.toolsFile);
    }
    if (!files.controllerFile.empty()) {
        ReadControllerFileAt(RunSession, RunKinematics, files.controllerFile);
    }
    if (!files.machineFile.empty()) {
        ReadMachineFileAt(files.machineFile, 1);
        if (!files.toolsFile.empty()) {
            ReadToolFileAt(RunSession, RunKinematics, RunTools, files.toolsFile);
        }
    }
}

// The box of -D or the stock file, at the pitch of -P (or the automatic choice).
int BuildStock(StockModel* model) {
    if (CommandLine.pitchGiven == 0) {
        ChooseDexelPitch();
    }
    const double pitch = DexelPitch.currentPitch;
    SetStockUndoRingSize(model, 1);
    if (InitialStock.kind == kStockFromFile) {
        const int result = LoadStockModel(nullptr, model, DefinitionFiles.stockFile, pitch,
                                          StlImport.referenceDirection);
        if (result < 1) {
            std::fprintf(stderr, "cutsim: the stock %s cannot be loaded (%d)\n",
                         DefinitionFiles.stockFile.c_str(), result);
            return 0;
        }
        return 1;
    }
    if (CreateBoxStockIdentity(model, InitialStock.box, pitch) != 1) {
        std::fprintf(stderr, "cutsim: the box stock cannot be built at pitch %g\n", pitch);
        return 0;
    }
    return 1;
}

// Runs the simulation thread and serves its requests as the main window's timer would: a
// redraw is served at once (nothing is drawn here), a pause is resumed. The run ends as the
// program's runs end; returns the alarm code (0 none).
int RunSimulation(CuttingRun& run, StockModel* stock) {
    RunRequest request;
    request.session = &RunSession;
    request.stock = stock;
    request.programPath = DefinitionFiles.ncProgramFile;
    request.mode = RunMode::kSkipCutting;
    request.runLogFlag = 1;
    StartCuttingRun(run, std::move(request));
    while (CuttingRunFinished(run) == 0) {
        ServeRedrawRequest(run.controls, nullptr);
        if (run.controls.pauseRequest.load() != 0) {
            ResumeRun(run.controls);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    JoinCuttingRun(run);
    // No window sets a start point: an alarm or an abort returns to where the run started.
    const RunStartPoint start;
    return FinishRun(run, start, nullptr, WindowRun.controls.abortRequest.load() != 0 ? 1 : 0);
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<std::string> messages;
    ParseCommandLine(JoinCommandLineArguments(argc, argv), &messages);
    for (const std::string& m : messages) {
        std::fprintf(stderr, "cutsim: %s\n", m.c_str());
    }
    if (CommandLine.ncGiven == 0 || CommandLine.stockGiven == 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (CommandLine.settingsGiven != 0) {
        ReadSettings(&messages);
    }
    ReadDefinitionFiles();
    StockModel& stock = StockModels[0];
    CurrentStockIndex = 0;
    if (!BuildStock(&stock)) {
        return 1;
    }
    // The run starts at the control point, as the main window places the tool at start-up.
    for (int i = 0; i < 5; ++i) {
        RunKinematics.pose.program.axis[i] = Settings.controlPoint[i];
    }
    AutomaticMode = 1;  // nobody there: alarms and reports are named in the log
    DrawingSuppressed = 1;
    const double before = DexelFamilyVolume(stock, kDexelViewZ);
    const auto start = std::chrono::steady_clock::now();
    CuttingRun run;
    const int alarm = RunSimulation(run, &stock);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("run: %s\n", EndText(run.result.end));
    if (run.result.end == kRunEndError) {
        // The end of the run has reset the interpreter: its error is the alarm code's.
        std::printf("interpreter error: %d\n", alarm > 100 ? alarm - 100 : 0);
    }
    std::printf("blocks: %lld, moves: %lld, tool changes: %d\n",
                static_cast<long long>(run.result.blocks), static_cast<long long>(run.result.moves),
                run.result.toolChanges);
    std::printf("steps: %lld\n", static_cast<long long>(run.record.steps));
    std::printf("removed volume: %.3f mm3 (sum of the steps: %.3f mm3)\n",
                before - DexelFamilyVolume(stock, kDexelViewZ), run.record.removedVolume);
    std::printf("alarm steps: %lld\n", static_cast<long long>(run.record.alarmSteps));
    std::printf("alarm code: %d\n", alarm);
    for (const std::string& report : run.reports.shown) {
        std::printf("report: %s\n", report.c_str());
    }
    std::printf("elapsed: %.3f s\n", seconds);
    int status = run.result.end == kRunEndProgram ? 0 : 1;
    if (CommandLine.saveKind > 0) {
        // -O: the file's extension picks DME or STL; ",b" and ",b2" pick the STL encoding.
        const int modes[5] = {kStlWriteAscii, kStlWriteAscii, kStlWriteAscii, kStlWriteBinary,
                              kStlWriteSwapped};
        const double origin[3] = {0, 0, 0};
        const int saved = SaveStockFile(stock, DefinitionFiles.saveFile,
                                        modes[std::min(CommandLine.saveKind, 4)], 0, origin);
        if (saved == kStockSaveDone) {
            std::printf("stock saved: %s\n", DefinitionFiles.saveFile.c_str());
        } else {
            std::fprintf(stderr, "cutsim: the stock cannot be saved to %s (%d)\n",
                         DefinitionFiles.saveFile.c_str(), saved);
            status = 1;
        }
    }
    ReleaseCuttingBuffers();
    FreeStockModel(&stock);
    FreeToolTables();
    return status;
}

}  // namespace
}  // namespace mirexa

int main(int argc, char** argv) {
    return mirexa::Main(argc, argv);
}
