// The program's own start-up, run in this process on the headless backend in a copy of the
// samples: what the wiring gives the view, the settings and a run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/program_wiring.h"
#include "config/axis_label_table.h"
#include "config/config_records.h"
#include "geometry/scratch_directory.h"
#include "geometry/shared_state.h"
#include "geometry/tool_length_report.h"
#include "platform/backend.h"
#include "platform/window.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "stock/stock_model.h"
#include "view/camera.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

// The software rasteriser draws on the calling thread (its worker threads are not built for the
// thread sanitizer). Set before any context exists.
const int kRasteriserOnCallingThread = setenv("LP_NUM_THREADS", "0", 0);

class ProgramStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(MIREXA_SAMPLES)) {
            fs::copy(entry.path(), scratch.At(entry.path().filename().string()));
        }
        previous_ = fs::current_path();
        fs::current_path(scratch.Path());
        StartPlatformBackend(PlatformBackend::Headless);
        ConnectProgram();
    }
    void TearDown() override {
        SetMessageObserver({});
        fs::current_path(previous_);
    }
    int Run(const std::string& commandLine) {
        ProgramStart start;
        start.commandLine = commandLine;
        start.closeWhenIdle = 1;
        return RunProgram(start);
    }
    testing::ScratchDirectory scratch;

private:
    fs::path previous_;
};

TEST_F(ProgramStartupTest, TheViewWindowTakesItsSizeAndTheSettingsAngles) {
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    ini.replace(ini.find("ANGLE-A=315.0"), 13, "ANGLE-A=300.0");
    scratch.Write("mirexa.ini", ini);
    MotionSnapshot.toolNumber = 7;
    ResetViewWindowState();
    EXPECT_EQ(Run(""), 0);
    // The view's own procedure sized its camera when the main window placed it.
    EXPECT_GT(ViewWindow.size.width, 0);
    EXPECT_EQ(CurrentView.width, ViewWindow.size.width);
    EXPECT_DOUBLE_EQ(CurrentView.startAngleA, 300.0);
    EXPECT_DOUBLE_EQ(CurrentView.angleA, 300.0);
    EXPECT_DOUBLE_EQ(CurrentView.angleB, 45.0);
    // Reading the tools file emptied the saved motion state's tool; reading the machine file
    // built the axis labels.
    EXPECT_EQ(MotionSnapshot.toolNumber, -1);
    EXPECT_STREQ(AxisLabelTable.labels[1][0], "\tXm");
}

// The style key of the view, pressed as the window closes: the command it posts to the main
// window is served by the pump of a long loop.
std::atomic<int> keyPressed{0};
std::atomic<int> styleBefore{-1};

TEST_F(ProgramStartupTest, TheViewsStyleKeyReachesTheMainWindow) {
    keyPressed = 0;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || keyPressed++ != 0) {
            return;
        }
        styleBefore = DisplayModes.stockStyle;
        SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 'H', 'h');
        WindowMessage posted;
        while (PeekWindowMessage(&posted, PM_REMOVE)) {
            DispatchWindowMessage(posted);
        }
    });
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(keyPressed.load() > 0, true);
    EXPECT_EQ(DisplayModes.stockStyle, (styleBefore.load() + 1) % 6);
}

TEST_F(ProgramStartupTest, ARunKeepsAnUndoPointOfTheStockItCut) {
    ASSERT_EQ(Run("-D(100,80,0,0,0,-30.5) demo_part.nc -X6 -O out.dme"), 0);
    ASSERT_TRUE(fs::exists(scratch.At("out.dme")));
    const StockModel& stock = StockModels[CurrentStockIndex.load()];
    ASSERT_GT(stock.nx, 0);
    // The sample keeps three undo slots: the run began on a new one.
    EXPECT_EQ(stock.undo.highestUsedSlot, 1);
    EXPECT_EQ(stock.undo.currentSlot, 1);
}

}  // namespace
}  // namespace mirexa
