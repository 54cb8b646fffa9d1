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
    // The bundled English message file makes the log English; without it the log is Japanese.
    struct Language {
        const char* interference;
        const char* alarmEnd;
    };
    for (Language language :
         {Language{"(6) - TOOLvsTABLE interfered.", "Cutting ended on an alarm"},
          Language{"(6) - 工具とTABLEが干渉しています。", "アラームで切削終了"}}) {
        ASSERT_EQ(Run({kBox, "table.nc", "-X6", "-O", "table.dme"}), 0);
        log = Read("mirexa.log");
        EXPECT_NE(log.find(language.interference), std::string::npos) << log;
        EXPECT_NE(log.find(language.alarmEnd), std::string::npos) << log;
        EXPECT_FALSE(Exists("interference.txt"));
        fs::remove(scratch.At("mirexa.log"));
        fs::remove(scratch.At("mirexa7.mes"));
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

// A table-table machine whose A stroke ends at -30 deg: a move with tool vector input that tilts
// the tool from 20 to 40 deg towards +Y leaves only the solution with A positive half way, and the
// table turns C by 180 deg there. The run writes the long rotary move into the program's warning
// file, with the block's line.
TEST_F(BatchRunTest, ALongRotaryMoveIsWrittenToTheWarningFile) {
    scratch.Write("tilt.mtl",
                  "ROTARY TYPE=TABLE\nROTARY AXIS1=A\nROTARY AXIS2=C\nSTROKE RANGE(A)=-30,110\n");
    scratch.Write("tilt.nc",
                  "%\nG90 G00 X0 Y0 Z50. A0 C0\nG43.5 H1\n"
                  "G01 X0 Y0 Z50. I0 J0.34202 K0.93969 F1000.\n"
                  "G01 X0 Y0 Z50. I0 J0.64279 K0.76604\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "tilt.mtl", "tilt.nc", "-X6", "-O", "out.dme"}), 0);
    ASSERT_TRUE(Exists("tilt_warning.txt"));
    const std::string warning = Read("tilt_warning.txt");
    EXPECT_EQ(warning.rfind("<<< WARNING INFORMATION >>>\n", 0), 0u) << warning;
    EXPECT_NE(warning.find("5:G01 X0 Y0 Z50. I0 J0.64279 K0.76604\n"
                           "* Long movement of rotary axis *\n"),
              std::string::npos)
        << warning;
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
