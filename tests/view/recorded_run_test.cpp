// A headless session that records a cut: the simulation thread runs a slot program through
// the run's hooks (the recording starts with the run), the test serves each redraw request as
// the main window's timer does (render the view off screen, then the frame), and the end of the
// run stops the recording. The file must read whole, show the cut progressing, and pass ffprobe.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/settings_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "support/avi_file_reader.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"
#include "view/avi_recording.h"
#include "view/camera.h"
#include "view/gl_colors.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

testing::OffscreenView* ActiveView = nullptr;
int RedrawsServed = 0;

// What the main window's timer does for a redraw request: paint the view, then the frame.
void RenderAndRecord() {
    ++RedrawsServed;
    EXPECT_EQ(ActiveView->Render(), 1);
    RunUiCallbacks.writeAviFrame();
}

TEST(RecordedRun, ACutSlotIsRecordedAsAPlayableVideo) {
    testing::ScratchDirectory dir;
    for (const char* name : {"vmc3.ttl", "vmc3.ctl", "bt40_er32.hld"}) {
        std::filesystem::copy_file(std::string(MIREXA_SAMPLES) + "/" + name, dir.At(name));
    }
    // A U-shaped slot 3 mm deep in G56, which holds no offset of its own in the sample controller.
    dir.Write("slot.nc",
              "%\nO3000 (SLOT)\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X-12. Y-8. S3000 M03\n"
              "Z5.\nG01 Z-3. F500.\nX12.\nY8.\nX-12.\nG00 Z20.\nM30\n%\n");
    testing::OffscreenView view(64, 48);
    ASSERT_TRUE(view.ok());
    ActiveView = &view;

    // Settings at their defaults, the sample tools and controller.
    ResetConfigurationRecords();
    InstallNcServiceHooks();
    DefinitionFiles.settingsName = "/dev/null/mirexa.ini";
    ReadSettingsFrom(dir.Path(), "", nullptr);
    DefinitionFiles.toolsFile = dir.At("vmc3.ttl");
    DefinitionFiles.controllerFile = dir.At("vmc3.ctl");
    DefinitionFiles.machineFile.clear();
    ReadToolFile(RunSession, RunKinematics, RunTools);
    ReadControllerFile(RunSession, RunKinematics);
    ASSERT_EQ(ToolFile.status, 1);
    ASSERT_EQ(Controller.status, 1);
    // Distinct colours: the floor the tool cuts shows its pen, the top the work colour.
    testing::SetTestColors();
    DisplayModes.toolMode = 0;
    ToolTableSet.pens[1] = 3;

    // A 60 x 60 x 10 mm block under the slot, seen from above.
    const double lo[3] = {-30, -30, -10}, hi[3] = {30, 30, 0};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    DisplayUnitFactor = 60.0;
    SetViewSize(&CurrentView, 64, 48);
    SetRotationCentre(&CurrentView);

    // Record every NC line; a redraw after every block.
    Settings.videoDirectory = dir.Path();
    Settings.videoNameMode = 1;
    Settings.lapDialog = 1;
    Settings.recordTriggers[kAviTriggerBlock] = 1;
    Settings.recordTriggerCount = 1;
    Settings.skipBlock = 1;
    DefinitionFiles.ncProgramFile = dir.At("slot.nc");
    AutomaticMode = 0;
    // The first rapid goes from the control point across the block: no rapid check, so that the
    // run cuts the whole slot.
    Checks.interference = 0;
    SimulationCallbacks = SimulationHooks{};
    RunUiCallbacks = RunUiHooks{};
    InstallAviRecordingHooks();

    // The run, served as the main window serves it.
    StockModel& stock = StockModels[0];
    BindDexelGridViews(&stock, TestRun.cutting.views);
    for (int i = 0; i < 5; ++i) {
        RunKinematics.pose.program.axis[i] = Settings.controlPoint[i];
    }
    WindowRun.mode = RunMode::kSkipCutting;
    DrawingSuppressed = 0;
    RedrawsServed = 0;
    StartTestCut();
    ServeTestCutToItsEnd(
        [] {
            ServeRedrawRequest(WindowRun.controls, RenderAndRecord);
            if (WindowRun.controls.pauseRequest.load() != 0) {
                ResumeRun(WindowRun.controls);
            }
        },
        std::chrono::milliseconds(1));
    // The end of the run: a last frame of the finished cut, then the file is closed.
    RenderAndRecord();
    RunUiCallbacks.stopAviRecording();
    WindowRun.mode = RunMode::kIdle;
    ReleaseCuttingBuffers();
    const int end = TestRun.result.end;
    const double removed = ReadRunStatus().removedVolume;
    SimulationCallbacks = SimulationHooks{};
    RunUiCallbacks = RunUiHooks{};
    ActiveView = nullptr;
    ResetConfigurationRecords();
    ASSERT_EQ(end, kRunEndProgram);
    EXPECT_GT(removed, 0.0);

    const std::string video = dir.At("slot.AVI");
    const testing::AviFileFacts f = testing::ReadAviFile(video);
    EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
    EXPECT_EQ(f.width, 64);
    EXPECT_EQ(f.height, 48);
    EXPECT_EQ(f.rate, 5u);
    ASSERT_GE(f.frames.size(), 5u);
    EXPECT_LE(f.frames.size(), static_cast<std::size_t>(RedrawsServed));
    // The slot appears: the finished cut does not look like the uncut block.
    EXPECT_NE(f.frames.front(), f.frames.back());
    if (testing::HaveFfprobe()) {
        const testing::ProbeResult probe = testing::ProbeWithFfprobe(video);
        ASSERT_EQ(probe.ok, 1) << probe.output;
        EXPECT_EQ(probe.frames, static_cast<int>(f.frames.size()));
        EXPECT_EQ(probe.width, 64);
        EXPECT_EQ(probe.height, 48);
        EXPECT_EQ(probe.rate, "5/1");
    }
}

}  // namespace
}  // namespace mirexa
