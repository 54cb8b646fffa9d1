// The run's video recording: file names, the triggers, captures of a resized view cropped or
// padded into the first frame's size, the end of a recording at its size limit or on a failed
// write (each reported, the file still whole), and files that ffprobe reads.
#include "view/avi_recording.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "platform/write_faults.h"
#include "services/shared_state.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_hooks.h"
#include "support/avi_file_reader.h"
#include "support/saved_globals.h"
#include "support/scratch_directory.h"
#include "view/snapshots.h"
#include "view/view_hooks.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::AviFileFacts;
using testing::ReadAviFile;

// The fake view: pixel (x, row from the top) is blue x, green row, red the frame tag; the row
// padding is 0xEE, which must never reach a frame.
int FrameTag = 1;
void FakePixels(unsigned, int format, int width, int height, std::uint8_t* out) {
    EXPECT_EQ(format, kPixelsBgr);
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int r = 0; r < height; ++r) {
        std::uint8_t* row = out + static_cast<std::size_t>(r) * stride;
        std::fill(row, row + stride, std::uint8_t{0xEE});
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x);
            row[3 * x + 1] = static_cast<std::uint8_t>(height - 1 - r);
            row[3 * x + 2] = static_cast<std::uint8_t>(FrameTag);
        }
    }
}

int PanelShows = 0;
int PanelHides = 0;

class AviRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_.Keep(Settings, DefinitionFiles, ViewCapture, ViewPixelSource, CaptureReadBuffer);
        directory_ = scratch_.Path();
        Settings.videoDirectory = directory_.string();
        Settings.ncDirectory = (directory_ / "nc").string();
        Settings.videoNameMode = 1;
        Settings.lapDialog = 1;
        for (auto& t : Settings.recordTriggers) {
            t = 0;
        }
        DefinitionFiles.ncProgramFile = (directory_ / "nc" / "part.nc").string();
        SetCaptureGeometry(40, 30, &ViewCapture);
        ViewPixelSource = FakePixels;
        CaptureReadBuffer = 0;
        ViewCallbacks = ViewHooks{};
        WindowRun.controls.kept.simulationState = 1;
        RunSession.run.status.error = 0;
        ResetRunStatus();
        ToolFile.currentTool = 1;
        RunKinematics.pose = MachinePose{};
        AviRecorder.sizeLimit = kAviDefaultSizeLimit;
        AutomaticMode = 0;
        FrameTag = 1;
        previousResponder_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            messages_.push_back(request.text);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        DisarmWriteFaults();
        StopAviRecording();
        AviRecorder.sizeLimit = kAviDefaultSizeLimit;
        SetMessageBoxResponder(previousResponder_);
        saved_.Restore();
        ViewCallbacks = ViewHooks{};
        WindowRun.controls.kept.simulationState = 1;
        ResetRunStatus();
        RunKinematics.pose = MachinePose{};
    }
    void Triggers(int tool, int axis, int block, int update) {
        const int t[4] = {tool, axis, block, update};
        Settings.recordTriggerCount = 0;
        for (int i = 0; i < 4; ++i) {
            Settings.recordTriggers[i] = t[i];
            Settings.recordTriggerCount += t[i];
        }
    }
    std::string Video() const {
        return (directory_ / "part.AVI").string();
    }
    // Stops the recording and reads the file; fails the test when it is not whole.
    AviFileFacts Finish() {
        EXPECT_EQ(StopAviRecording(), 1);
        AviFileFacts f = ReadAviFile(Video());
        EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
        return f;
    }

    testing::ScratchDirectory scratch_;
    fs::path directory_;
    std::vector<std::string> messages_;
    MessageBoxResponder previousResponder_;
    testing::SavedGlobals saved_;
};

TEST_F(AviRecordingTest, FilesAreNamedAfterTheProgramOrFixedAndFallBackToTheNcFolder) {
    char name[64];
    const struct {
        const char* program;
        int mode;
        const char* expected;
    } cases[] = {
        {"/data/nc/part.nc", 1, "part.AVI"},
        {"/data/nc/part", 1, "part.AVI"},
        {"/data/nc/a.b.nc", 1, "a.AVI"},
        {"C:\\cam\\x.y.NC", 1, "x.AVI"},
        {"/data/nc/part.nc", 0, "MIREXA.AVI"},
        {"", 1, "MIREXA.AVI"},
        {"", 0, "MIREXA.AVI"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        DefinitionFiles.ncProgramFile = c.program;
        ASSERT_EQ(MakeAviFileName(name, sizeof name, c.mode), 1);
        EXPECT_STREQ(name, c.expected);
    }
    // Bounded: a name that does not fit leaves the buffer alone.
    DefinitionFiles.ncProgramFile = "/d/" + std::string(100, 'p') + ".nc";
    std::strcpy(name, "kept");
    EXPECT_EQ(MakeAviFileName(name, sizeof name, 1), 0);
    EXPECT_STREQ(name, "kept");
    EXPECT_EQ(MakeAviFileName(name, 10, 0), 0);

    char path[300];
    DefinitionFiles.ncProgramFile = "/d/part.nc";
    Settings.videoDirectory = "/videos";
    ASSERT_EQ(MakeAviFilePath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/videos/part.AVI");
    Settings.videoDirectory.clear();
    Settings.ncDirectory = "/nc/";
    ASSERT_EQ(MakeAviFilePath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/nc/part.AVI");
    // A path longer than a path field is refused and reported; nothing is recorded.
    Triggers(0, 0, 0, 1);
    Settings.ncDirectory = "/" + std::string(300, 'n');
    EXPECT_EQ(StartAviRecording(), kAviNameTooLong);
    EXPECT_EQ(AviRecorder.recording.load(), 0);
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(AviRecordingTest, StartNeedsATriggerReplacesAnOldFileAndReportsWhatCannotBeCreated) {
    // TIMING NO: nothing recorded, no file.
    EXPECT_EQ(StartAviRecording(), kAviNotEnabled);
    EXPECT_EQ(WriteAviFrame(), 0);
    EXPECT_FALSE(fs::exists(Video()));
    // An old file of that name is replaced.
    std::ofstream(Video()) << "an older recording";
    Triggers(0, 0, 0, 1);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    EXPECT_EQ(WriteAviFrame(), 1);
    // Until the new recording is finished, the old one stays whole.
    EXPECT_EQ(testing::ReadWholeFile(Video()), "an older recording");
    EXPECT_EQ(Finish().totalFrames, 1u);
    // A folder that does not exist: the code of the failure, recording off for the run.
    Settings.videoDirectory = (directory_ / "missing").string();
    EXPECT_EQ(StartAviRecording(), kAviCannotCreate);
    EXPECT_EQ(WriteAviFrame(), 0);
    EXPECT_EQ(StopAviRecording(), 1);
    // A run that ends before its first frame leaves an empty, readable file.
    Settings.videoDirectory = directory_.string();
    ASSERT_EQ(StartAviRecording(), kAviOk);
    const AviFileFacts f = Finish();
    EXPECT_EQ(f.totalFrames, 0u);
    EXPECT_EQ(f.width, 40);
}

TEST_F(AviRecordingTest, TriggersFireOnChangeAlarmsForceAFrameAndUpdateWritesEveryCall) {
    // AXIS only: the first call (the remembered axis starts unset), then only real tilts.
    Triggers(0, 1, 0, 0);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    int frames = 0;
    for (int i = 0; i < 5; ++i) {
        frames += WriteAviFrame();
        ToolFile.currentTool = 2 + i;  // tool and line changes are no trigger here
        PublishRunBlock(10 + i, 10 + i, "G01 X1.");
    }
    EXPECT_EQ(frames, 1);
    RunKinematics.pose.tool.axis[0] = 0.5;
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(WriteAviFrame(), 0);
    // An alarm step or an interpreter error forces a frame, though nothing changed.
    WindowRun.controls.kept.simulationState = 4;
    EXPECT_EQ(WriteAviFrame(), 1);
    WindowRun.controls.kept.simulationState = 1;
    EXPECT_EQ(WriteAviFrame(), 0);
    RunSession.run.status.error = 7;
    EXPECT_EQ(WriteAviFrame(), 1);
    RunSession.run.status.error = 0;
    AviFileFacts f = Finish();
    EXPECT_EQ(f.totalFrames, 4u);
    EXPECT_EQ(f.rate, 1u);
    EXPECT_EQ(f.scale, 1u);

    // TOOL only.
    Triggers(1, 0, 0, 0);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(WriteAviFrame(), 0);
    ToolFile.currentTool = 9;
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(Finish().rate, 1u);

    // BLOCK: the innermost subprogram's line counts, though the main line stays.
    Triggers(0, 0, 1, 0);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    PublishRunBlock(5, 20, "M98 P100");
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(WriteAviFrame(), 0);
    PublishRunBlock(6, 20, "G01 X2.");
    EXPECT_EQ(WriteAviFrame(), 1);
    f = Finish();
    EXPECT_EQ(f.totalFrames, 2u);
    EXPECT_EQ(f.rate, 5u);

    // UPDATE: every call.
    Triggers(0, 0, 0, 1);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(WriteAviFrame(), 1);
    }
    f = Finish();
    EXPECT_EQ(f.totalFrames, 6u);
    EXPECT_EQ(f.rate, 5u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(AviRecordingTest, AResizedViewIsCroppedOrPaddedIntoTheFirstFramesSize) {
    Triggers(0, 0, 0, 1);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    // The view is resized before the first frame: that frame fixes the size.
    SetCaptureGeometry(41, 30, &ViewCapture);
    const int sizes[][2] = {{41, 30}, {70, 50}, {13, 9}, {41, 31}, {1, 1}, {41, 30}};
    for (const auto& size : sizes) {
        SetCaptureGeometry(size[0], size[1], &ViewCapture);
        ++FrameTag;
        ASSERT_EQ(WriteAviFrame(), 1);
    }
    const AviFileFacts f = Finish();
    ASSERT_EQ(f.frames.size(), 6u);
    EXPECT_EQ(f.width, 41);
    EXPECT_EQ(f.height, 30);
    const int stride = 124;  // 41 * 3 = 123, padded
    for (std::size_t i = 0; i < f.frames.size(); ++i) {
        SCOPED_TRACE(i);
        const int width = sizes[i][0];
        const int height = sizes[i][1];
        const std::vector<std::uint8_t>& frame = f.frames[i];
        ASSERT_EQ(frame.size(), static_cast<std::size_t>(stride * 30));
        int wrong = 0;
        for (int r = 0; r < 30; ++r) {
            const int top = 29 - r;  // the frame's row counted from the top
            for (int x = 0; x < 41; ++x) {
                const std::uint8_t* p = frame.data() + r * stride + 3 * x;
                const bool inside = x < width && top < height;
                const int expected[3] = {inside ? x : 0, inside ? top : 0,
                                         inside ? static_cast<int>(i) + 2 : 0};
                wrong += p[0] != expected[0] || p[1] != expected[1] || p[2] != expected[2];
            }
            wrong += frame[r * stride + 123] != 0;  // padding
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(AviRecordingTest, TheSizeLimitAndAFailedWriteEndTheRecordingWithAReport) {
    Triggers(0, 0, 0, 1);
    // 40 x 30 frames of 3,600 bytes: room for exactly 3 within the limit.
    AviRecorder.sizeLimit = 224 + 8 + 3 * (3600 + 8 + 16);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    int frames = 0;
    for (int i = 0; i < 10; ++i) {
        frames += WriteAviFrame();
    }
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(AviRecorder.recording.load(), 0);
    EXPECT_EQ(AviRecorder.stopCode, kAviSizeLimit);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("size limit"), std::string::npos);
    EXPECT_NE(messages_[0].find(Video()), std::string::npos);
    AviFileFacts f = Finish();  // the run's own stop finds nothing more to do
    EXPECT_EQ(f.totalFrames, 3u);
    EXPECT_EQ(messages_.size(), 1u);

    // A write that fails (the pixels of the second frame): the first frame stays readable.
    AviRecorder.sizeLimit = kAviDefaultSizeLimit;
    messages_.clear();
    ASSERT_EQ(StartAviRecording(), kAviOk);
    ArmWriteFaults(5, kWriteFaultWrite);  // headers, head 1, pixels 1, head 2, pixels 2
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(WriteAviFrame(), 0);
    DisarmWriteFaults();
    EXPECT_EQ(WriteAviFrame(), 0);
    EXPECT_EQ(AviRecorder.stopCode, kAviWriteFailed);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("could not be written"), std::string::npos);
    f = Finish();
    EXPECT_EQ(f.totalFrames, 1u);
}

TEST_F(AviRecordingTest, PanelsAreHiddenForEachCaptureUnlessLapDialogIsOn) {
    PanelShows = PanelHides = 0;
    ViewCallbacks.panelEnabled = [](int) { return 1; };
    ViewCallbacks.showPanel = [](int, int show) { ++(show ? PanelShows : PanelHides); };
    Triggers(0, 0, 0, 1);
    Settings.lapDialog = 0;
    ASSERT_EQ(StartAviRecording(), kAviOk);
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(PanelHides, 2);
    EXPECT_EQ(PanelShows, 2);
    Settings.lapDialog = 1;
    EXPECT_EQ(WriteAviFrame(), 1);
    EXPECT_EQ(PanelHides, 2);
    Finish();
}

TEST_F(AviRecordingTest, FfprobeReadsTheFrameCountSizeAndRate) {
    if (!testing::HaveFfprobe()) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    SetCaptureGeometry(41, 30, &ViewCapture);
    Triggers(0, 0, 1, 0);
    ASSERT_EQ(StartAviRecording(), kAviOk);
    for (int line = 1; line <= 7; ++line) {
        PublishRunBlock(line, line, "G01");
        ++FrameTag;
        ASSERT_EQ(WriteAviFrame(), 1);
    }
    Finish();
    const testing::ProbeResult probe = testing::ProbeWithFfprobe(Video());
    ASSERT_EQ(probe.ok, 1) << probe.output;
    EXPECT_EQ(probe.frames, 7);
    EXPECT_EQ(probe.width, 41);
    EXPECT_EQ(probe.height, 30);
    EXPECT_EQ(probe.rate, "5/1");
}

TEST_F(AviRecordingTest, TheRunHooksStartRecordAndStop) {
    SimulationCallbacks = SimulationHooks{};
    RunUiCallbacks = RunUiHooks{};
    InstallAviRecordingHooks();
    Triggers(0, 0, 0, 1);
    SimulationCallbacks.startVideoRecording();
    RunUiCallbacks.writeAviFrame();
    RunUiCallbacks.writeAviFrame();
    RunUiCallbacks.stopAviRecording();
    EXPECT_EQ(AviRecorder.recording.load(), 0);
    EXPECT_EQ(ReadAviFile(Video()).totalFrames, 2u);
    SimulationCallbacks = SimulationHooks{};
    RunUiCallbacks = RunUiHooks{};
}

}  // namespace
}  // namespace mirexa
