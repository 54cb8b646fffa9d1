// End-to-end runs of the built program as a process: command-line batches and macros on the
// bundled samples, in a temporary working directory, with their exit codes and outputs.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "geometry/scratch_directory.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stockio/dme_file.h"

extern char** environ;

namespace mirexa {
namespace {

namespace fs = std::filesystem;

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(MIREXA_SAMPLES)) {
            fs::copy(entry.path(), scratch.At(entry.path().filename().string()));
        }
    }
    // Starts the program in the scratch directory with the arguments; returns its process id.
    pid_t Start(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        std::string program = MIREXA_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, scratch.Path().c_str());
        pid_t child = 0;
        const int started =
            posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(started, 0);
        return child;
    }
    // The exit code as a shell sees it (255 for -1); -1 when the program did not exit.
    static int Wait(pid_t child) {
        int status = 0;
        if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }
    int Run(const std::vector<std::string>& arguments) {
        return Wait(Start(arguments));
    }
    std::string Read(const std::string& name) {
        return testing::ReadWholeFile(scratch.At(name));
    }
    bool Exists(const std::string& name) {
        return fs::exists(scratch.At(name));
    }
    // Every file the run left whose name holds the text (partial files of a save, for example).
    std::vector<std::string> FilesWith(const std::string& text) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.find(text) != std::string::npos) {
                names.push_back(name);
            }
        }
        return names;
    }
    testing::ScratchDirectory scratch;
};

// The box of the sample program: X 0-100, Y 0-80, Z -30.5 to 0 (maximum corner first).
const char* const kBox = "-D(100,80,0,0,0,-30.5)";

// Material of a stock file along its Z rays (mm^3), or -1 when it cannot be read.
double StockVolume(const std::string& path) {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    if (ReadDmeStock(&model, path) != 1) {
        return -1.0;
    }
    double length = 0.0;
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        const int count = model.z.counts[cell];
        const double* ends = DexelCellEnds(cell, model.z.capacity, model.z.counts, model.z.ends);
        for (int i = 0; i + 1 < count; i += 2) {
            length += ends[i + 1] - ends[i];
        }
    }
    const double volume = length * model.cellWeight;
    FreeStockModel(&model);
    return volume;
}

TEST_F(BatchRunTest, AnX6BatchWritesTheStockAndTheLogAndExitsZero) {
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-X6", "-O", "out.dme"}), 0);
    // The program removed material: facing, pocket, finish and holes.
    const double raw = StockVolume(scratch.At("raw.dme"));
    const double cut = StockVolume(scratch.At("out.dme"));
    ASSERT_GT(raw, 0.0);
    ASSERT_GT(cut, 0.0);
    EXPECT_GT(raw - cut, 10000.0);
    const std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("demo_part.nc"), std::string::npos);
    EXPECT_TRUE(FilesWith(".new").empty());
    // The settings file of an unattended run is left as it was.
    EXPECT_EQ(Read("mirexa.ini"),
              testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa.ini"));
}

TEST_F(BatchRunTest, AMacroCutsAndSavesTheSameStockAsTheBatch) {
    // The raw stock: the box moved by nothing and saved.
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    ASSERT_TRUE(Exists("raw.dme"));
    ASSERT_EQ(Run({"raw.dme", "demo_part.nc", "-X6", "-O", "batch.dme"}), 0);
    const std::string macro =
        "# the batch as a macro\r\n"
        "LOAD_TTL vmc3.ttl\r\n"
        "load_ctl vmc3.ctl\r\n"
        "LOAD_MTL \"vmc3.mtl\"\r\n"
        "LOAD_WORK raw.dme\r\n"
        "SELECT_NCDATA demo_part.nc\r\n"
        "VERIFY SILENT\r\n"
        "CUT(REAL)\r\n"
        "SAVE_WORK \"macro cut.dme\"\r\n"
        "EXIT";
    fs::remove(scratch.At("mirexa.log"));
    scratch.Write("job.mac", macro);
    ASSERT_EQ(Run({"job.mac"}), 0);
    const std::string saved = Read("macro cut.dme");
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved, Read("batch.dme"));
    EXPECT_LT(StockVolume(scratch.At("macro cut.dme")), StockVolume(scratch.At("raw.dme")));
    EXPECT_NE(Read("mirexa.log").find("demo_part.nc"), std::string::npos);
}

TEST_F(BatchRunTest, AReportBatchRunsTheDataCheckAndWritesTheReport) {
    // The sample settings name the report after the program (AUTO) and the sample template
    // lays it out.
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-V5"}), 0);
    const std::string report = Read("demo_part_verify.txt");
    EXPECT_NE(report.find("NC program      : demo_part.nc\n"), std::string::npos);
    EXPECT_NE(report.find("Tools used      : T=01,02,03,04\n"), std::string::npos);
    EXPECT_NE(report.find("  5 | T04  |"), std::string::npos);
    EXPECT_EQ(report.find('$'), std::string::npos);
    // Without the template: the fixed summary.
    fs::remove(scratch.At("verify_form.def"));
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-V5"}), 0);
    EXPECT_NE(Read("demo_part_verify.txt").find("\"verify_form.def\""), std::string::npos);
}

TEST_F(BatchRunTest, AMissingNcProgramExitsTwoWithALogLine) {
    EXPECT_EQ(Run({kBox, "-X6", "-O", "out.dme", "missing.nc"}), 2);
    EXPECT_NE(Read("mirexa.log").find("missing.nc"), std::string::npos);
    EXPECT_FALSE(Exists("out.dme"));

    fs::remove(scratch.At("mirexa.log"));
    scratch.Write("job.mac", "SELECT_NCDATA absent.nc\nEXIT\n");
    EXPECT_EQ(Run({"job.mac"}), 2);
    EXPECT_NE(Read("mirexa.log").find("absent.nc - "), std::string::npos);

    // A macro that is not there, and a stock file that is not there.
    EXPECT_EQ(Run({"nothing.mac"}), 2);
    EXPECT_EQ(Run({"nothing.dme", "demo_part.nc", "-X6", "-O", "out.dme"}), 2);
    EXPECT_FALSE(Exists("out.dme"));
}

// The program performs the run's end itself: a feed into a jaw of the vice (a check that pauses
// on its event) is recorded in the interference report and the run goes on to its end; a feed
// into the table (a check that ends the run) is an alarm end, logged with its message.
TEST_F(BatchRunTest, InterferencesAreReportedAndAnAlarmEndIsLogged) {
    scratch.Write("jaw.nc",
                  "%\nO10\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X-15. Y40. Z20. S3000 M03\n"
                  "G01 Z-40. F500.\nG00 Z50.\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "jaw.nc", "-X6", "-O", "jaw.dme"}), 0);
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nVICE\n6:G01 Z-40. F500.\n");
    std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("interference.txt"), std::string::npos) << log;
    EXPECT_EQ(log.find("TABLE"), std::string::npos) << log;

    fs::remove(scratch.At("interference.txt"));
    fs::remove(scratch.At("mirexa.log"));
    scratch.Write("table.nc",
                  "%\nO11\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y150. Z20. S3000 M03\n"
                  "G01 Z-95. F500.\nG00 Z50.\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "table.nc", "-X6", "-O", "table.dme"}), 0);
    log = Read("mirexa.log");
    EXPECT_NE(log.find("(6) - 工具とTABLEが干渉しています。"), std::string::npos) << log;
    EXPECT_NE(log.find("アラームで切削終了"), std::string::npos) << log;
    EXPECT_FALSE(Exists("interference.txt"));
}

// The program's own connections, seen from outside: the tool's name in the length report, the
// data check's alarm with its line, the stop of a batch whose optimal stock cannot be made, and an
// STL stock read in work coordinates at the work offset.
const char* const kZeroFeedProgram =
    "%\nO2\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y5. Z10. S3000 M03\nG01 Z-3. F0\n"
    "X40.\nM30\n%\n";

TEST_F(BatchRunTest, TheLengthReportNamesEachTool) {
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-X2"}), 0);
    const std::string report = Read("demo_part_length.txt");
    EXPECT_NE(report.find("T01:FLAT D10:"), std::string::npos) << report;
    EXPECT_NE(report.find("T04:DRILL D8.5:"), std::string::npos) << report;
}

TEST_F(BatchRunTest, AProgramTheDataCheckCannotFollowIsLoggedWithItsLine) {
    scratch.Write("zero.nc", kZeroFeedProgram);
    ASSERT_EQ(Run({kBox, "zero.nc", "-V5"}), 0);
    EXPECT_NE(Read("mirexa.log").find("(6) - 送り速度が0です!"), std::string::npos);
    EXPECT_FALSE(Exists("zero_verify.txt"));
    // Without a stock the batch needs the optimal one: it stops before cutting, says why and
    // exits with the file error.
    fs::remove(scratch.At("mirexa.log"));
    EXPECT_EQ(Run({"zero.nc", "-X6", "-O", "out.dme"}), 2);
    const std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("(6) - 送り速度が0です!"), std::string::npos) << log;
    EXPECT_NE(log.find("最適被切削材を作れません"), std::string::npos) << log;
    EXPECT_FALSE(Exists("out.dme"));
}

TEST_F(BatchRunTest, AnStlStockInWorkCoordinatesLandsAtTheWorkOffset) {
    // A 10 mm cube at the origin; the sample controller's G54 (-250, -180, -320.5) with the
    // external offset's Z -0.5 is current at start.
    // Each face of the unit cube, scaled by 10: its outward normal and its corners (bits x, y,
    // z) counter-clockwise seen from outside, written as two triangles.
    const char* const normals[6] = {"0 0 -1", "0 0 1", "0 -1 0", "0 1 0", "-1 0 0", "1 0 0"};
    const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    std::string stl = "solid cube\n";
    for (int face = 0; face < 6; ++face) {
        const int* f = faces[face];
        const int triangles[2][3] = {{f[0], f[1], f[2]}, {f[0], f[2], f[3]}};
        for (const auto& triangle : triangles) {
            stl += std::string("facet normal ") + normals[face] + "\nouter loop\n";
            for (const int c : triangle) {
                stl += "vertex " + std::to_string((c >> 2 & 1) * 10) + " " +
                       std::to_string((c >> 1 & 1) * 10) + " " + std::to_string((c & 1) * 10) +
                       "\n";
            }
            stl += "endloop\nendfacet\n";
        }
    }
    scratch.Write("cube.stl", stl + "endsolid cube\n");
    ASSERT_EQ(Run({"-Dcube.stl,W", "-XM(0,0,0)", "-O", "work.dme"}), 0);
    ASSERT_EQ(Run({"-Dcube.stl", "-XM(0,0,0)", "-O", "machine.dme"}), 0);
    const double expected[2][6] = {{-250, -180, -321, -240, -170, -311}, {0, 0, 0, 10, 10, 10}};
    const char* const names[2] = {"work.dme", "machine.dme"};
    for (int i = 0; i < 2; ++i) {
        StockModel model;
        SetStockUndoRingSize(&model, 1);
        ASSERT_EQ(ReadDmeStock(&model, scratch.At(names[i])), 1) << names[i];
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(model.minCorner[a], expected[i][a], 1e-9) << names[i] << " axis " << a;
            EXPECT_NEAR(model.maxCorner[a], expected[i][a + 3], 1e-9) << names[i] << " axis " << a;
        }
        FreeStockModel(&model);
    }
}

// Waits until the file holds the text (a run has reached that point); 0 after the deadline.
bool WaitForText(const std::string& path, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (testing::ReadWholeFile(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(BatchRunTest, SigtermMidRunExits255AndWritesNoOutput) {
    // A program that runs for minutes: 8,000 passes across the stock at 0.2 mm.
    std::string program =
        "%\nO3000\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X0 Y0 S3000 M03\nZ5.\n"
        "G01 Z-1. F2000.\n";
    for (int i = 0; i < 4000; ++i) {
        program += i % 2 == 0 ? "X100.\n" : "X0.\n";
        program += "Y" + std::to_string((i % 800) / 10) + "." + std::to_string(i % 10) + "\n";
    }
    program += "G00 Z50.\nM30\n%\n";
    scratch.Write("long.nc", program);
    const pid_t child = Start({kBox, "-P(0.2,0.2)", "long.nc", "-X6", "-O", "out.dme"});
    // The run writes the program's path into the log when it starts.
    ASSERT_TRUE(WaitForText(scratch.At("mirexa.log"), "long.nc"));
    kill(child, SIGTERM);
    EXPECT_EQ(Wait(child), 255);
    EXPECT_FALSE(Exists("out.dme"));
    EXPECT_TRUE(FilesWith(".new").empty());
}

TEST_F(BatchRunTest, SigtermWhileAMacroWaitsForAProgramExits255) {
    // The macro waits in a program it started; the flag file says it got there.
    scratch.Write("job.mac",
                  "LOAD_WORK raw.dme\nEXEC touch started.flag\nEXEC sleep 30\n"
                  "SAVE_WORK out.dme\nEXIT\n");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    const pid_t child = Start({"job.mac"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Exists("started.flag") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(Exists("started.flag"));
    kill(child, SIGTERM);
    EXPECT_EQ(Wait(child), 255);
    EXPECT_FALSE(Exists("out.dme"));
}

}  // namespace
}  // namespace mirexa
