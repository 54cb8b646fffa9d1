// End-to-end runs of the built program as a process: command-line batches and macros on the
// bundled samples, in a temporary working directory, with their exit codes and outputs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/batch_run_fixture.h"
#include "support/bounded_wait.h"
#include "support/mesh_checker.h"
#include "support/sanitized_build.h"
#include "support/stl_test_meshes.h"

extern char** environ;

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::BatchRunTest;
using testing::kBox;
using testing::LeftoverTemporaries;
using testing::StockVolume;
using testing::WaitWithin;

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
    EXPECT_TRUE(LeftoverTemporaries(scratch.At("out.dme")).empty());
    // The settings file of an unattended run is left as it was.
    EXPECT_EQ(Read("mirexa.ini"),
              testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa.ini"));
}

// A blank above the part is cut away whole: its save writes nothing, the log names the file, and
// the batch exits 2.
TEST_F(BatchRunTest, AStockCutAwayWholeIsNotSaved) {
    EXPECT_EQ(Run({"-D(0,0,0,100,80,30)", "demo_part.nc", "-X6", "-O", "above.stl"}), 2);
    EXPECT_FALSE(std::filesystem::exists(scratch.At("above.stl")));
    EXPECT_NE(Read("mirexa.log").find("above.stl - "), std::string::npos);
}

// The sample pocket on the sample machine with the optimal work, as a batch: the run ends without
// an alarm and removes what the cutter sweeps inside the box, 4 mm deep from the plunge's start
// (work Z 2, the box's top) to the floor at Z -2. The box is the centre path's, X and Y -15..15:
// the contour (centre at 15 from the middle, radius 5) clears the band 10..15 from the middle,
// corners included, and the lead-in and lead-out between the middle and (15, -10) a capsule of
// radius 5 into the island the contour leaves.
TEST_F(BatchRunTest, TheSamplePocketCutsOnTheSampleMachineInItsOptimalWork) {
    ASSERT_EQ(Run({"pocket.nc", "-P(0.25,0.5)", "-X6", "-O", "pocket.dme"}), 0);
    const std::string log = Read("mirexa.log");
    for (const char* alarm : {"interfered", "Over Stroke", "干渉"}) {
        EXPECT_EQ(log.find(alarm), std::string::npos) << log;
    }
    StockModel cut;
    SetStockUndoRingSize(&cut, 1);
    ASSERT_EQ(ReadDmeStock(&cut, scratch.At("pocket.dme")), 1);
    double lo[3], hi[3];
    GetStockExtent(cut, lo, hi);
    FreeStockModel(&cut);
    // Machine coordinates: G56 holds no offset, the external offset lowers Z by 0.5 mm.
    EXPECT_NEAR(lo[0], -15.0, 0.26);
    EXPECT_NEAR(hi[1], 15.0, 0.26);
    EXPECT_NEAR(hi[2], 1.5, 0.26);
    // The area the cutter clears inside the box, on a 0.01 mm grid over the island.
    auto inCapsule = [](double x, double y) {
        const double t = std::clamp((x * 15.0 - y * 10.0) / 325.0, 0.0, 1.0);
        return std::hypot(x - 15.0 * t, y + 10.0 * t) <= 5.0;
    };
    double island = 0.0;
    for (double x = -9.995; x < 10.0; x += 0.01) {
        for (double y = -9.995; y < 10.0; y += 0.01) {
            island += inCapsule(x, y) ? 1e-4 : 0.0;
        }
    }
    // What each Z ray lost of the box's height, weighed by its cell.
    double removed = 0.0;
    ASSERT_TRUE(testing::VisitZRays(
        scratch.At("pocket.dme"),
        [&](const StockModel& model, std::int64_t, int count, const double* ends) {
            double left = 0.0;
            for (int i = 0; i + 1 < count; i += 2) {
                left += ends[i + 1] - ends[i];
            }
            removed += (hi[2] - lo[2] - left) * model.cellWeight;
        }));
    const double expected = (30.0 * 30.0 - 20.0 * 20.0 + island) * (hi[2] - (-2.5));
    EXPECT_NEAR(removed, expected, 0.03 * expected) << "island " << island;
}

// -G once chose the processor of the main thread; it is still accepted and changes nothing.
TEST_F(BatchRunTest, TheProcessorSwitchIsAcceptedAndChangesNothing) {
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "plain.dme"}), 0);
    ASSERT_EQ(Run({kBox, "-G", "3", "-XM(0,0,0)", "-O", "pinned.dme"}), 0);
    EXPECT_EQ(Read("pinned.dme"), Read("plain.dme"));
}

// The cut spread over the processors (MULTI THREAD=YES in the sample settings) saves the same
// stock, byte for byte, as the cut on one thread, at a pitch fine enough to split the steps.
TEST_F(BatchRunTest, TheSavedStockIsTheSameOnOneThreadAndOnMany) {
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-P(0.2,0.4)", "-X6", "-O", "many.dme"}), 0);
    std::string settings = Read("mirexa.ini");
    const std::string key = "MULTI THREAD=YES";
    ASSERT_NE(settings.find(key), std::string::npos);
    settings.replace(settings.find(key), key.size(), "MULTI THREAD=1");
    scratch.Write("mirexa.ini", settings);
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-P(0.2,0.4)", "-X6", "-O", "one.dme"}), 0);
    const std::string many = Read("many.dme");
    EXPECT_GT(many.size(), 1000000u);
    EXPECT_TRUE(many == Read("one.dme"));
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

// A feed into the table: a check that ends the run with an alarm.
const char* const kTableFeedProgram =
    "%\nO11\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y150. Z20. S3000 M03\n"
    "G01 Z-95. F500.\nG00 Z50.\nM30\n%\n";

// The program performs the run's end itself: a feed into a jaw of the vice (a check that pauses
// on its event) and the rapid back out of it are recorded in the interference report and the run
// goes on to its end; a feed
// into the table (a check that ends the run) is an alarm end, logged with its message.
TEST_F(BatchRunTest, InterferencesAreReportedAndAnAlarmEndIsLogged) {
    scratch.Write("jaw.nc",
                  "%\nO10\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X-15. Y40. Z20. S3000 M03\n"
                  "G01 Z-40. F500.\nG00 Z50.\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "jaw.nc", "-X6", "-O", "jaw.dme"}), 0);
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nVICE\n6:G01 Z-40. F500.\n\n"
              "VICE\n7:G00 Z50.\n");
    std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("interference.txt"), std::string::npos) << log;
    EXPECT_EQ(log.find("TABLE"), std::string::npos) << log;

    fs::remove(scratch.At("interference.txt"));
    fs::remove(scratch.At("mirexa.log"));
    scratch.Write("table.nc", kTableFeedProgram);
    // The bundled English message file makes the log English; without it the log is Japanese.
    fs::copy(std::string(MIREXA_SAMPLES) + "/mirexa7.mes", scratch.At("mirexa7.mes"));
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

// An unattended run with a record choice reports every block with an interference, not only the
// first: three rapids through the stock, run as a batch and by a macro, give three entries.
TEST_F(BatchRunTest, AnUnattendedRunReportsEveryInterferingBlock) {
    std::string settings = Read("mirexa.ini");
    const std::size_t interference = settings.find("INTERFERENCE=YES");
    ASSERT_NE(interference, std::string::npos);
    scratch.Write("mirexa.ini", settings.replace(interference, 16, "INTERFERENCE=STOP"));
    scratch.Write("rapids.nc",
                  "%\nO12\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X20. Y20. Z20. S3000 M03\nZ-2.\n"
                  "X40.\nY40.\nG00 Z50.\nM30\n%\n");
    scratch.Write("job.mac", std::string("LOAD_WORK raw.dme\r\nSELECT_NCDATA rapids.nc\r\n") +
                                 "CUT(RESULT)\r\nEXIT\r\n");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    const std::vector<std::vector<std::string>> runs = {{kBox, "rapids.nc", "-X6", "-O", "cut.dme"},
                                                        {"job.mac"}};
    for (const std::vector<std::string>& run : runs) {
        SCOPED_TRACE(run[0]);
        fs::remove(scratch.At("interference.txt"));
        ASSERT_EQ(Run(run), 0);
        EXPECT_EQ(Read("interference.txt"),
                  "<<< INTERFERENCE INFORMATION >>>\n--------------\nRAPID(G00)\n6:Z-2.\n\n"
                  "RAPID(G00)\n7:X40.\n\nRAPID(G00)\n8:Y40.\n");
    }
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

// The data check's alarm names the column its line check stopped at.
TEST_F(BatchRunTest, TheDataCheckAlarmNamesTheColumnItStoppedAt) {
    scratch.Write("vmc3.ctl", Read("vmc3.ctl") + "CODE CHECK=YES\n");
    scratch.Write("points.nc",
                  "%\nO4\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y5. Z10. S3000 M03\n"
                  "G01 Z-3..5 F100.\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "points.nc", "-V5"}), 0);
    const std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("(6) - 9文字目 - 小数点重複!"), std::string::npos) << log;
    EXPECT_FALSE(Exists("points_verify.txt"));
}

TEST_F(BatchRunTest, AnStlStockInWorkCoordinatesLandsAtTheWorkOffset) {
    // A 10 mm cube at the origin; the sample controller's G54 (-250, -180, -320.5) with the
    // external offset's Z -0.5 is current at start.
    scratch.Write("cube.stl", testing::AsciiStl(testing::BoxMesh({0, 0, 0}, {10, 10, 10})));
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
    return testing::AwaitCondition(
        [&] { return testing::ReadWholeFile(path).find(text) != std::string::npos; });
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

// Passes across the stock with one tool at Z-1: the default 8,000 run for minutes at 0.2 mm.
std::string LongCuttingProgram(int passes = 8000) {
    std::string program =
        "%\nO3000\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X0 Y0 S3000 M03\nZ5.\n"
        "G01 Z-1. F2000.\n";
    for (int i = 0; i < passes / 2; ++i) {
        program += i % 2 == 0 ? "X100.\n" : "X0.\n";
        program.append("Y").append(std::to_string((i % 800) / 10)).append(".");
        program.append(std::to_string(i % 10)).append("\n");
    }
    return program + "G00 Z50.\nM30\n%\n";
}

// SIGTERM and SIGHUP (a closed terminal) abort a run alike: exit 255, no output, and the log
// says why.
TEST_F(BatchRunTest, AnAbortSignalMidRunExits255WritesNoOutputAndIsLogged) {
    scratch.Write("long.nc", LongCuttingProgram());
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        fs::remove(scratch.At("mirexa.log"));
        const pid_t child = Start({kBox, "-P(0.2,0.2)", "long.nc", "-X6", "-O", "out.dme"});
        // The run writes the program's path into the log when it starts.
        ASSERT_TRUE(WaitForText(scratch.At("mirexa.log"), "long.nc"));
        kill(child, signalNumber);
        EXPECT_EQ(Wait(child), 255);
        EXPECT_FALSE(Exists("out.dme"));
        EXPECT_TRUE(LeftoverTemporaries(scratch.At("out.dme")).empty());
        EXPECT_NE(Read("mirexa.log").find("aborted by signal " + std::to_string(signalNumber)),
                  std::string::npos)
            << Read("mirexa.log");
    }
}

// A run started with SIGHUP ignored (under nohup) goes on through a hangup to its output.
TEST_F(BatchRunTest, AHangupThatTheStarterIgnoredLeavesTheRunGoing) {
    // Long enough that the hangup comes during the cut, short enough under a sanitizer.
    scratch.Write("long.nc", LongCuttingProgram(testing::kSanitizedBuild ? 40 : 400));
    struct sigaction ignore = {};
    struct sigaction before = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &before), 0);
    const pid_t child = Start({kBox, "-P(0.5,0.5)", "long.nc", "-X6", "-O", "out.dme"});
    sigaction(SIGHUP, &before, nullptr);
    ASSERT_TRUE(WaitForText(scratch.At("mirexa.log"), "long.nc"));
    kill(child, SIGHUP);
    EXPECT_EQ(Wait(child), 0);
    EXPECT_TRUE(Exists("out.dme"));
    EXPECT_EQ(Read("mirexa.log").find("aborted"), std::string::npos) << Read("mirexa.log");
}

TEST_F(BatchRunTest, SigtermWhileAMacroWaitsForAProgramExits255) {
    // The macro waits in a program it started; the flag file says it got there.
    scratch.Write("job.mac",
                  "LOAD_WORK raw.dme\nEXEC touch started.flag\nEXEC sleep 30\n"
                  "SAVE_WORK out.dme\nEXIT\n");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    const pid_t child = Start({"job.mac"});
    ASSERT_TRUE(testing::AwaitPath(scratch.At("started.flag")));
    kill(child, SIGTERM);
    EXPECT_EQ(Wait(child), 255);
    EXPECT_FALSE(Exists("out.dme"));
    EXPECT_NE(Read("mirexa.log").find("aborted by signal 15"), std::string::npos);
}

// Two runs saving to one name at the same time: the file is whole and is the stock of a run
// that says it saved (exit 0); a run that could not save says so (exit 2).
TEST_F(BatchRunTest, TwoRunsSavingToOneNameLandWholeAndTheExitCodesSayWhich) {
    const std::vector<std::string> boxes = {"-D(100,80,0,0,0,-30)", "-D(60,50,0,0,0,-20)"};
    std::vector<std::string> references;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const std::string name = "ref" + std::to_string(i) + ".dme";
        ASSERT_EQ(Run({boxes[i], "-P(0.25,0.25)", "-XM(0,0,0)", "-O", name}), 0);
        references.push_back(Read(name));
        ASSERT_FALSE(references.back().empty());
    }
    ASSERT_NE(references[0], references[1]);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        scratch.Write("same.dme", "older result");
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            children[i] = Start({boxes[i], "-P(0.25,0.25)", "-XM(0,0,0)", "-O", "same.dme"});
        }
        int codes[2];
        for (int i = 0; i < 2; ++i) {
            codes[i] = Wait(children[i]);
            EXPECT_TRUE(codes[i] == 0 || codes[i] == 2) << codes[i];
        }
        const std::string saved = Read("same.dme");
        const bool first = saved == references[0];
        const bool second = saved == references[1];
        ASSERT_TRUE(first || second) << "the file is no run's whole stock";
        EXPECT_EQ(codes[first ? 0 : 1], 0) << "the run whose stock is there said it failed";
        EXPECT_TRUE(LeftoverTemporaries(scratch.At("same.dme")).empty());
    }
}

// A link planted where a save might write (the old fixed work name) is never followed; a save
// past the file-size limit keeps the old output, leaves no temporary file and exits 2.
TEST_F(BatchRunTest, PlantedLinksAndTheFileSizeLimitKeepTheUsersFiles) {
    scratch.Write("victim.txt", "not a stock");
    ASSERT_EQ(symlink(scratch.At("victim.txt").c_str(), scratch.At("out.dme.new").c_str()), 0);
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "out.dme"}), 0);
    EXPECT_TRUE(Read("victim.txt") == "not a stock") << "the link was followed";
    EXPECT_FALSE(fs::is_symlink(scratch.At("out.dme")));
    EXPECT_GT(StockVolume(scratch.At("out.dme")), 0.0);

    const std::string previous = Read("out.dme");
    rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100000;  // the log fits, the stock does not
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const pid_t child = Start({"-D(100,80,0,0,0,-30)", "-XM(1,0,0)", "-O", "out.dme"});
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(Wait(child), 2);
    EXPECT_EQ(Read("out.dme"), previous);
    EXPECT_TRUE(LeftoverTemporaries(scratch.At("out.dme")).empty());
}

// Each log entry on its own line: the alarm message of a run is ended before the run's closing
// entry (the time stamp, with its full-width colon, only ever starts a line).
TEST_F(BatchRunTest, TheLogHoldsOneEntryPerLine) {
    scratch.Write("table.nc", kTableFeedProgram);
    fs::remove(scratch.At("mirexa.log"));
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Run({kBox, "table.nc", "-X6", "-O", "table.dme"}), 0);
    }
    const std::string log = Read("mirexa.log");
    std::size_t lines = 0;
    for (std::size_t begin = 0; begin < log.size();) {
        std::size_t end = log.find('\n', begin);
        ASSERT_NE(end, std::string::npos) << "the log ends inside a line";
        const std::string line = log.substr(begin, end - begin);
        const std::size_t colon = line.find("\xEF\xBC\x9A");
        EXPECT_TRUE(colon == std::string::npos ||
                    (colon == 19 && line.find("\xEF\xBC\x9A", colon + 1) == std::string::npos))
            << line;
        ++lines;
        begin = end + 1;
    }
    EXPECT_GE(lines, 6u);
    EXPECT_NE(log.find("(6) - 工具とTABLEが干渉しています。\n"), std::string::npos) << log;
}

// When mirexa.log cannot be opened (here a folder has its name), the entries of an unattended
// run go to standard error, with one notice.
TEST_F(BatchRunTest, AnUnopenableLogSendsItsEntriesToStandardError) {
    scratch.MakeDirectory("mirexa.log");
    EXPECT_EQ(Wait(Start({kBox, "-X6", "-O", "out.dme", "missing.nc"}, "errors.txt")), 2);
    const std::string errors = Read("errors.txt");
    EXPECT_NE(errors.find("mirexa.log cannot be opened"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("mirexa.log cannot be opened"),
              errors.rfind("mirexa.log cannot be opened"));
    EXPECT_NE(errors.find("missing.nc"), std::string::npos) << errors;
}

// On a terminal, an unattended run's log entries are written to standard error as well.
TEST_F(BatchRunTest, OnATerminalTheLogEntriesAlsoGoToStandardError) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    const pid_t child = Start({kBox, "-X6", "-O", "out.dme", "missing.nc"}, ptsname(terminal));
    EXPECT_EQ(Wait(child), 2);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    close(terminal);
    EXPECT_NE(Read("mirexa.log").find("missing.nc"), std::string::npos);
    EXPECT_NE(shown.find("missing.nc"), std::string::npos) << shown;
}

// A report the run cannot write (its name is taken by a folder) is work not done: exit 2.
TEST_F(BatchRunTest, AReportThatCannotBeWrittenExitsTwo) {
    scratch.MakeDirectory("demo_part_verify.txt");
    EXPECT_EQ(Run({kBox, "demo_part.nc", "-V5"}), 2);
    EXPECT_NE(Read("mirexa.log").find("demo_part_verify.txt"), std::string::npos);
}

// Without a display, work that wanted the window runs unattended and the log says so; silent
// work never wanted one.
TEST_F(BatchRunTest, WorkThatWantedTheWindowRunsUnattendedWithoutADisplay) {
    if (!MIREXA_PROGRAM_HAS_WINDOW) {
        GTEST_SKIP() << "the program was built without the real window";
    }
    const struct {
        std::vector<std::string> arguments;
        bool said;
    } runs[] = {
        {{kBox, "demo_part.nc", "-X2"}, true},
        {{kBox, "demo_part.nc"}, true},
        {{kBox, "demo_part.nc", "-X6"}, false},
    };
    for (const auto& run : runs) {
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(Run(run.arguments), 0) << run.arguments.back();
        EXPECT_EQ(Read("mirexa.log").find("ディスプレイがありません") != std::string::npos,
                  run.said)
            << run.arguments.back();
    }
}

// A display that is named but does not answer: who asked for the window is told why there is
// none, in one line on stderr, and the program ends with exit 2 before any work; silent work
// needs no display and runs.
TEST_F(BatchRunTest, ADisplayThatDoesNotAnswerRefusesTheWindowWithExitTwo) {
    if (!MIREXA_PROGRAM_HAS_WINDOW) {
        GTEST_SKIP() << "the program was built without the real window";
    }
    extraEnvironment = {"DISPLAY=:65071"};  // no X server has this number
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } runs[] = {
        {{kBox, "demo_part.nc"}, 2},
        {{kBox, "demo_part.nc", "-X4"}, 2},
        {{kBox, "demo_part.nc", "-X5"}, 2},
        {{}, 2},
        {{kBox, "demo_part.nc", "-X6", "-O", "out.dme"}, 0},
    };
    for (const auto& run : runs) {
        const std::string shown = run.arguments.empty() ? "(none)" : run.arguments.back();
        fs::remove(scratch.At("out.dme"));
        EXPECT_EQ(WaitWithin(Start(run.arguments, "stderr.txt"), std::chrono::seconds(60)),
                  run.exitCode)
            << shown;
        const std::string said = Read("stderr.txt");
        if (run.exitCode == 2) {
            EXPECT_NE(said.find("the display could not be opened"), std::string::npos) << said;
            EXPECT_NE(said.find("DISPLAY=:65071"), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        } else {
            EXPECT_TRUE(Exists("out.dme")) << shown;
        }
    }
}

TEST(ProgramHelp, HelpListsTheSwitches) {
    int status = -1;
    const std::string text = testing::CaptureProgramOutput({MIREXA_PROGRAM, "--help"}, &status);
    EXPECT_EQ(status, 0);
    for (const char* word : {"-X6", "-O FILE", "-D(", "-P(", "-V5", "-XM(", "255", "--send ID"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

// Standard output into a pipe whose reader has gone: --help and --version end with exit 1 and say
// why on stderr, instead of being ended by SIGPIPE.
TEST(ProgramHelp, AnOutputWhoseReaderHasGoneIsAnError) {
    testing::ScratchDirectory scratch;
    for (const char* option : {"--help", "--version"}) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, scratch.At("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string program = MIREXA_PROGRAM;
        std::string word = option;
        char* argv[] = {program.data(), word.data(), nullptr};
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        int status = 0;
        ASSERT_TRUE(testing::AwaitChildExit(child, &status, option));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1)
            << option << ": wait status " << status;
        EXPECT_NE(testing::ReadWholeFile(scratch.At("err")).find("could not be written"),
                  std::string::npos)
            << option;
    }
}

// Unattended runs that must come to nothing: each ends with exit 2 before any work, says why in
// the log and leaves an output of an earlier run byte for byte (a script must not take it for
// the new one).
class RefusedRunTest : public BatchRunTest {
protected:
    void ExpectRefused(const std::vector<std::string>& arguments, const std::string& logged) {
        const std::string earlier = "an earlier run's stock";
        scratch.Write("out.dme", earlier);
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(WaitWithin(Start(arguments), std::chrono::seconds(60)), 2) << logged;
        EXPECT_EQ(Read("out.dme"), earlier) << logged;
        EXPECT_NE(Read("mirexa.log").find(logged), std::string::npos) << Read("mirexa.log");
    }
    const std::vector<std::string> cut = {kBox, "demo_part.nc", "-X6", "-O", "out.dme"};
};

TEST_F(RefusedRunTest, RefusedCommandLines) {
    const struct {
        std::vector<std::string> arguments;
        const char* logged;
    } cases[] = {
        {{"typo.nc", "-X6", "-O", "out.dme"}, "typo.nc"},
        {{kBox, "demo_part.nc", "-X9", "-O", "out.dme"}, "-X9"},
        {{kBox, "\"demo_part.nc", "-X6", "-O", "out.dme"}, "\"demo_part.nc -X6"},
        {{"-D(nan,80,0,0,0,-30.5)", "demo_part.nc", "-X6", "-O", "out.dme"}, "-D(nan"},
        {{kBox, "-P(0.5,1e-9)", "demo_part.nc", "-X6", "-O", "out.dme"}, "-P(0.5,1e-9)"},
        {{kBox, "/dev/zero", "-X6", "-O", "out.dme"}, "/dev/zero"},
        {{kBox, "pipe.nc", "-X6", "-O", "out.dme"}, "pipe.nc"},  // FIFOs: never waited for
        {{kBox, "demo_part.nc", "-T", "pipe.ttl", "-X6", "-O", "out.dme"}, "pipe.ttl"},
    };
    ASSERT_EQ(mkfifo(scratch.At("pipe.nc").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(scratch.At("pipe.ttl").c_str(), 0600), 0);
    for (const auto& c : cases) {
        ExpectRefused(c.arguments, c.logged);
    }
}

// Files the settings name count like files named on the command line: one that is missing,
// empty or holds nothing to use is named in the log.
TEST_F(RefusedRunTest, UnusableDefinitionFilesAndModels) {
    const struct {
        const char* file;
        const char* content;  // null: removed
    } cases[] = {
        {"vmc3.ttl", nullptr},
        {"vmc3.ttl", ""},
        {"vmc3.ttl", "# a tools file without a tool\n"},
        {"vmc3.ctl", ""},
        {"mirexa.ini", ""},
        {"vmc3.mtl", nullptr},
        {"table.stl", nullptr},  // a machine model the machine file names
        {"table.stl", "no mesh at all"},
    };
    for (const auto& c : cases) {
        CopySamples();
        if (c.content != nullptr) {
            scratch.Write(c.file, c.content);
        } else {
            fs::remove(scratch.At(c.file));
        }
        ExpectRefused(cut, c.file);
    }
    std::vector<std::string> basic = cut;
    basic.insert(basic.end(), {"-K", "basic.stl"});
    ExpectRefused(basic, "basic.stl");
}

// Values no machine has: a tool or a holder of 1E308 mm, a stock moved by 1e308 mm, a stock
// file whose pitch is 1e-300 mm, an STL stock that encloses no volume.
TEST_F(RefusedRunTest, SizesNoMachineHas) {
    const std::string tools = Read("vmc3.ttl");
    for (const auto& [from, to] : {std::pair{"FLAT 10,25", "FLAT 1E308,25"},
                                   std::pair{"ARBOR 50,60,63,40", "ARBOR 50,60,1E308,40"}}) {
        const std::size_t at = tools.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        scratch.Write("vmc3.ttl", std::string(tools).replace(at, std::strlen(from), to));
        ExpectRefused(cut, "vmc3.ttl");
    }
    scratch.Write("vmc3.ttl", tools);
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    ExpectRefused({"raw.dme", "-XM(1e308,0,0)", "-O", "out.dme"}, "-XM(1e308");
    std::string tiny = Read("raw.dme");
    ASSERT_GT(tiny.size(), 128u);
    const double pitch = 1e-300;
    std::memcpy(tiny.data() + 120, &pitch, sizeof pitch);  // the head's pitch field
    scratch.Write("tiny.dme", tiny);
    ExpectRefused({"tiny.dme", "demo_part.nc", "-X6", "-O", "out.dme"}, "tiny.dme");
    scratch.Write("flat.stl",
                  "solid f\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n"
                  "vertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\nendsolid f\n");
    ExpectRefused({"flat.stl", "demo_part.nc", "-X6", "-O", "out.dme"}, "flat.stl");
}

// The run goes on past a subprogram that is not there and a line cut at the line limit, and the
// log says which.
TEST_F(BatchRunTest, MissingSubprogramsAndCutLinesAreLoggedAndTheRunGoesOn) {
    scratch.Write("calls.nc",
                  "%\nO10\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y40. Z20.\n"
                  "M198 P9999\nM98<GONE>\nG01 Z-1. F500. (" +
                      std::string(1100, '-') + ")\nG00 Z50.\nM30\n%\n");
    ASSERT_EQ(Run({kBox, "calls.nc", "-X6", "-O", "out.dme"}), 0);
    const std::string log = Read("mirexa.log");
    for (const char* text :
         {"(6) - ", "O9999\n", "(7) - ", "GONE\n", "calls.nc: 8 行目が 1022 文字を超えています"}) {
        EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
    }
    EXPECT_TRUE(Exists("out.dme"));
}

// A path-reader plug-in beside the program feeds the run: the move list cuts the stock the
// equivalent NC program cuts, byte for byte. A refused plug-in is logged and the run goes on.
TEST_F(BatchRunTest, APathReaderPluginCutsWhatTheEquivalentNcProgramCuts) {
    RunFromOwnFolder({{"sample_path_reader", "mxread"}, {"sample_read_version2", "mxread1"}});
    // G54 without an offset: the moves lie on the stock as they stand.
    ASSERT_TRUE(ClearG54());
    scratch.Write("slot.nc",
                  "%\nG90 G17 M03\nG00 X-10. Y20. Z5.\nG01 Z-3. F300.\nX50. Y20.\n"
                  "G03 X70. Y40. I0. J20.\nG02 X90. Y60. I20. J0.\nG01 X110.\nG00 Z50.\n%\n");
    scratch.Write("slot.mvl",
                  "# the moves of slot.nc, each on the line of its block there (the stock\n"
                  "# keeps the line that cut it)\nG0 -10 20 5\nG1 -10 20 -3 300\nG1 50 20 -3 300\n"
                  "G3 70 40 -3 50 40 -3 300\nG2 90 60 -3 90 40 -3 300\nG1 110 60 -3 300\n"
                  "G0 110 60 50\n");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    ASSERT_EQ(Run({kBox, "slot.nc", "-X6", "-O", "nc.dme"}), 0);
    ASSERT_EQ(Run({kBox, "slot.mvl", "-X6", "-O", "plugin.dme"}), 0);
    const std::string nc = Read("nc.dme");
    EXPECT_FALSE(nc.empty());
    EXPECT_TRUE(nc == Read("plugin.dme"));
    EXPECT_GT(StockVolume(scratch.At("raw.dme")) - StockVolume(scratch.At("plugin.dme")), 100.0);
    EXPECT_NE(Read("mirexa.log").find("mxread1.so (interface version 2"), std::string::npos);
}

// A stock loader plug-in reads a file of its suffix in a macro's LOAD_WORK: the sample loader
// hands the program the STL it holds, and the stock is the one that STL makes.
TEST_F(BatchRunTest, AStockLoaderPluginReadsItsOwnFiles) {
    RunFromOwnFolder({{"sample_load", "mxload"}});
    const std::string cube = testing::AsciiStl(testing::BoxMesh({0, 0, 0}, {10, 10, 10}));
    scratch.Write("cube.stl", cube);
    scratch.Write("cube.sm2", cube);
    scratch.Write("stl.mac", "LOAD_WORK cube.stl\r\nSAVE_WORK stl.dme\r\nEXIT\r\n");
    scratch.Write("plugin.mac", "LOAD_WORK cube.sm2\r\nSAVE_WORK plugin.dme\r\nEXIT\r\n");
    ASSERT_EQ(Run({"stl.mac"}), 0);
    ASSERT_EQ(Run({"plugin.mac"}), 0);
    const std::string stl = Read("stl.dme");
    EXPECT_FALSE(stl.empty());
    EXPECT_TRUE(stl == Read("plugin.dme"));
}

// The NC communication plug-in names the tool of a comment: the sample's 8 mm ball cuts a
// slot 3 mm deep with less material removed than the start tool, the 10 mm flat end mill.
TEST_F(BatchRunTest, TheNcCommunicationPluginSuppliesTheToolOfAComment) {
    ASSERT_TRUE(ClearG54());
    scratch.Write("slot.nc",
                  "%\nG90 G17 M03\n(BALL8)\nG00 X-10. Y20. Z5.\nG01 Z-3. F300.\n"
                  "X110.\nG00 Z50.\n%\n");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    ASSERT_EQ(Run({kBox, "slot.nc", "-X6", "-O", "flat.dme"}), 0);
    RunFromOwnFolder({{"sample_nccom", "mxnccom"}});
    ASSERT_EQ(Run({kBox, "slot.nc", "-X6", "-O", "ball.dme"}), 0);
    const double raw = StockVolume(scratch.At("raw.dme"));
    const double flat = raw - StockVolume(scratch.At("flat.dme"));
    const double ball = raw - StockVolume(scratch.At("ball.dme"));
    // A 10 x 3 mm section against a circular segment of radius 4 and height 3 (17.2 mm^2),
    // 1.74 to 1, seen through the sample stock's coarse dexel pitch.
    EXPECT_GT(flat / ball, 1.4);
    EXPECT_LT(flat / ball, 2.0);
}

// Plug-ins come only from the program's own folder, and only files no other user could have
// put code into: one planted in the working folder is never opened, a writable or foreign one
// is refused with its reason, and a file that is opened is named in the log before it is.
TEST_F(BatchRunTest, PlugInsAreOpenedOnlyFromTheProgramsFolderAndOnlyWhenNoOneElseCanWriteThem) {
    const std::string folder = RunFromOwnFolder({});
    const std::string beside = folder + "/mxread.so";
    const std::string planted = scratch.At("mxread.so");
    const struct {
        const char* what;
        std::string file;
        mode_t mode;
        bool foreign;
        const char* refusal;  // null: no refusal line
        bool opened;
    } cases[] = {
        {"planted in the working folder", planted, 0755, false, nullptr, false},
        {"beside the program", beside, 0755, false, nullptr, true},
        {"group-writable", beside, 0775, false, " (writable by other users)", false},
        {"writable by all", beside, 0757, false, " (writable by other users)", false},
        {"another user's", beside, 0755, true, " (owned by another user)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.foreign && geteuid() != 0) {
            continue;  // only the administrator can give a file away
        }
        fs::remove(beside);
        fs::remove(planted);
        fs::remove(scratch.At("mirexa.log"));
        // A reader of another interface version: refused once opened, harmless either way.
        fs::copy_file(std::string(MIREXA_SAMPLE_PLUGINS) + "/sample_read_version2.so", c.file);
        ASSERT_EQ(chmod(c.file.c_str(), c.mode), 0);
        if (c.foreign) {
            ASSERT_EQ(chown(c.file.c_str(), 65534, 65534), 0);
        }
        ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "out.dme"}), 0);
        const std::string log = Read("mirexa.log");
        const std::size_t named = log.find(c.file);
        EXPECT_EQ(log.find("(interface version 2") != std::string::npos, c.opened) << log;
        if (c.opened) {
            // The first line that names the file comes before its first call.
            ASSERT_NE(named, std::string::npos) << log;
            const std::string line = log.substr(named, log.find('\n', named) - named);
            EXPECT_EQ(line, c.file) << log;
        }
        if (c.refusal != nullptr) {
            EXPECT_NE(log.find(c.file + c.refusal), std::string::npos) << log;
        } else if (!c.opened) {
            EXPECT_EQ(named, std::string::npos) << log;
        }
    }
}

// An output named through a symbolic link replaces the file the link leads to (through a chain
// of links, and a link relative to its own folder): the link stays a link, the shared file gets
// the new stock and no temporary file is left beside either.
TEST_F(BatchRunTest, AnOutputNamedThroughALinkReplacesTheFileItLeadsTo) {
    scratch.MakeDirectory("shared");
    scratch.MakeDirectory("links");
    const std::string shared = scratch.At("shared/real.dme");
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
        std::string output;
    } cases[] = {
        {"an absolute link", {{"out.dme", shared}}, "out.dme"},
        {"a link relative to its folder",
         {{"links/out.dme", "../shared/real.dme"}},
         "links/out.dme"},
        {"a chain of two links",
         {{"out.dme", "hop.dme"}, {"hop.dme", "shared/real.dme"}},
         "out.dme"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scratch.Write("shared/real.dme", "an earlier stock");
        for (const auto& [link, target] : c.links) {
            fs::remove(scratch.At(link));
            ASSERT_EQ(symlink(target.c_str(), scratch.At(link).c_str()), 0);
        }
        ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", c.output}), 0);
        for (const auto& [link, target] : c.links) {
            EXPECT_TRUE(fs::is_symlink(scratch.At(link))) << link;
            EXPECT_TRUE(LeftoverTemporaries(scratch.At(link)).empty()) << link;
        }
        EXPECT_GT(StockVolume(shared), 0.0);
        EXPECT_TRUE(LeftoverTemporaries(shared).empty());
    }
}

// Reports and the log of fixed names never write through a planted link and never wait on a
// FIFO of their name. Reports kept open while they grow, appended reports and the log refuse
// such a name and say why (the log itself on standard error); a report written whole (the
// verify report, and the length report, which takes its name at the run's end) takes the name's
// place. The linked file stays as it was either way, and the run ends.
TEST_F(BatchRunTest, PlantedLinksAndFifosUnderReportNamesNeverTakeTheReport) {
    scratch.Write("jaw.nc",
                  "%\nO10\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X-15. Y40. Z20. S3000 M03\n"
                  "G01 Z-40. F500.\nG00 Z50.\nM30\n%\n");
    const std::vector<std::string> jaw = {kBox, "jaw.nc", "-X6", "-O", "jaw.dme"};
    const std::vector<std::string> verify = {kBox, "demo_part.nc", "-V5"};
    const std::vector<std::string> length = {kBox, "demo_part.nc", "-X2"};
    const std::string settings = Read("mirexa.ini");
    std::string appending = settings;
    const std::string mode = "CREATE MODE(VERIFY)=NEW";
    appending.replace(appending.find(mode), mode.size(), "CREATE MODE(VERIFY)=APPEND");
    const struct {
        const char* name;
        bool fifo;
        bool append;  // the verify report appended to
        std::vector<std::string> arguments;
        int exitCode;
        const char* reason;  // null: the report takes the name's place
    } cases[] = {
        {"interference.txt", false, false, jaw, 2, " (a symbolic link)"},
        {"interference.txt", true, false, jaw, 2, " (not a regular file)"},
        {"demo_part_verify.txt", false, true, verify, 2, " (a symbolic link)"},
        {"demo_part_verify.txt", true, true, verify, 2, " (not a regular file)"},
        {"demo_part_verify.txt", false, false, verify, 0, nullptr},
        {"demo_part_verify.txt", true, false, verify, 2, " (not a regular file)"},
        {"demo_part_length.txt", false, false, length, 0, nullptr},
        {"demo_part_length.txt", true, false, length, 2, " (not a regular file)"},
        {"mirexa.log", false, false, jaw, 0, ": a symbolic link)"},
        {"mirexa.log", true, false, jaw, 0, ": not a regular file)"},
    };
    const std::string victim = "the user's own file\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.fifo ? " as a FIFO" : " as a link") +
                     (c.append ? ", appended" : ""));
        scratch.Write("mirexa.ini", c.append ? appending : settings);
        scratch.Write("victim.txt", victim);
        fs::remove(scratch.At("mirexa.log"));
        fs::remove(scratch.At(c.name));
        if (c.fifo) {
            ASSERT_EQ(mkfifo(scratch.At(c.name).c_str(), 0600), 0);
        } else {
            ASSERT_EQ(symlink(scratch.At("victim.txt").c_str(), scratch.At(c.name).c_str()), 0);
        }
        const int code = WaitWithin(Start(c.arguments, "errors.txt"), std::chrono::seconds(60));
        EXPECT_EQ(code, c.exitCode);
        EXPECT_EQ(Read("victim.txt"), victim);
        if (c.reason == nullptr) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(scratch.At(c.name))));
            EXPECT_NE(Read(c.name).find("demo_part.nc"), std::string::npos);
        } else {
            const std::string said =
                std::string(c.name) == "mirexa.log" ? Read("errors.txt") : Read("mirexa.log");
            EXPECT_NE(said.find(c.name + std::string(c.reason)), std::string::npos) << said;
        }
        fs::remove(scratch.At(c.name));
    }
    scratch.Write("mirexa.ini", settings);
}

// A signal that comes while the output is being written aborts the run (exit 255) and leaves
// the earlier output whole: an aborted run replaces none of its outputs. A save killed outright
// leaves its temporary file; the next save of that file removes it (and only it).
TEST_F(BatchRunTest, ASaveCutOffBySignalsLeavesTheEarlierOutputAndNoTemporaryForLong) {
    const std::vector<std::string> big = {"-D(100,80,0,0,0,-30)", "-P(0.05,0.05)", "-XM(0,0,0)",
                                          "-O", "out.dme"};
    const std::string earlier = "an earlier run's stock";
    const std::string probe = testing::LeaveKilledWritersTemporary(scratch.At("probe.dme"));
    ASSERT_FALSE(probe.empty());
    if (!testing::CarriesTemporaryMark(probe)) {
        GTEST_SKIP() << "the scratch folder's file system keeps no user attributes";
    }
    fs::remove(probe);
    for (const int signalNumber : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signalNumber);
        scratch.Write("out.dme", earlier);
        const pid_t child = Start(big);
        // The save is under way once its temporary file carries the program's mark: a kill
        // between the file's creation and its mark leaves a file the program cannot tell from a
        // user's, which it rightly never removes, so the signal waits for the mark.
        auto saving = [&] {
            for (const std::string& name : LeftoverTemporaries(scratch.At("out.dme"))) {
                if (testing::CarriesTemporaryMark(scratch.At(name))) {
                    return true;
                }
            }
            return false;
        };
        ASSERT_TRUE(testing::AwaitCondition(saving, std::chrono::microseconds(200)))
            << "no save seen";
        kill(child, signalNumber);
        int status = 0;
        ASSERT_TRUE(testing::AwaitChildExit(child, &status, "the save's end by the signal"));
        EXPECT_TRUE(Read("out.dme") == earlier) << "the earlier output was replaced";
        if (signalNumber == SIGTERM) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255) << status;
            EXPECT_TRUE(LeftoverTemporaries(scratch.At("out.dme")).empty());
        }
    }
    // What the killed save left goes at the next save into its folder once it is a few minutes
    // old (a fresh one may be another writer's, not yet locked); a user's file of a similar name
    // stays.
    ASSERT_FALSE(LeftoverTemporaries(scratch.At("out.dme")).empty());
    for (const std::string& name : LeftoverTemporaries(scratch.At("out.dme"))) {
        const timespec old[2] = {{time(nullptr) - 600, 0}, {time(nullptr) - 600, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, scratch.At(name).c_str(), old, 0), 0);
    }
    scratch.Write("out.dme.backup", "the user's copy");
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "out.dme"}), 0);
    EXPECT_TRUE(LeftoverTemporaries(scratch.At("out.dme")).empty());
    EXPECT_EQ(Read("out.dme.backup"), "the user's copy");
    EXPECT_GT(StockVolume(scratch.At("out.dme")), 0.0);
}

// The length report of a run cut off by a signal or killed outright: the earlier report stays
// as it was, new or appended to, and what a killed run left beside it goes at the next run once
// it is a few minutes old. A run that ends writes its report (appended: after the earlier one).
TEST_F(BatchRunTest, ARunCutOffBySignalsLeavesTheEarlierLengthReport) {
    const std::string settings = Read("mirexa.ini");
    std::string appending = settings;
    const std::string mode = "CREATE MODE(LENGTH)=NEW";
    ASSERT_NE(appending.find(mode), std::string::npos);
    appending.replace(appending.find(mode), mode.size(), "CREATE MODE(LENGTH)=APPEND");
    const std::string earlier = "long.nc\nT01:an earlier run's line\n";
    const std::string report = scratch.At("long_length.txt");
    const struct {
        int signalNumber;
        bool append;
    } cases[] = {{SIGTERM, false}, {SIGKILL, false}, {SIGTERM, true}, {SIGKILL, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.signalNumber) + (c.append ? " appending" : " new"));
        scratch.Write("mirexa.ini", c.append ? appending : settings);
        scratch.Write("long.nc", LongCuttingProgram());
        scratch.Write("long_length.txt", earlier);
        const pid_t child = Start({kBox, "-P(0.2,0.2)", "long.nc", "-X2"});
        // The run has opened its report once the name holds something else or a file of the
        // name and more is there.
        auto opened = [&] {
            return Read("long_length.txt") != earlier || !LeftoverTemporaries(report).empty();
        };
        ASSERT_TRUE(testing::AwaitCondition(opened, std::chrono::milliseconds(2)))
            << "the run opened no report";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the cut under way
        kill(child, c.signalNumber);
        int status = 0;
        ASSERT_TRUE(testing::AwaitChildExit(child, &status, "the run's end by the signal"));
        EXPECT_TRUE(Read("long_length.txt") == earlier) << Read("long_length.txt");
        if (c.signalNumber == SIGTERM) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255) << status;
            EXPECT_TRUE(LeftoverTemporaries(report).empty());
        } else {
            ASSERT_EQ(LeftoverTemporaries(report).size(), 1u);
            const std::string name = LeftoverTemporaries(report)[0];
            const timespec old[2] = {{time(nullptr) - 600, 0}, {time(nullptr) - 600, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, scratch.At(name).c_str(), old, 0), 0);
        }
        // A short program of the same name runs to its end and writes its report.
        scratch.Write("long.nc", LongCuttingProgram(2));
        ASSERT_EQ(Run({kBox, "long.nc", "-X2"}), 0);
        const std::string written = Read("long_length.txt");
        EXPECT_EQ(written.rfind(c.append ? earlier + "long.nc\nT01:" : "long.nc\nT01:", 0), 0u)
            << written;
        EXPECT_TRUE(LeftoverTemporaries(report).empty());
    }
}

// Runs that share one log: an alarm chain another run left open is ended before this run's
// alarm, and a line naming this run's process comes before its entries. With the log
// unwritable, the closing line after an alarm still reaches standard error.
TEST_F(BatchRunTest, RunsSharingALogAreToldApartAndAnUnwritableLogKeepsTheClosingLine) {
    scratch.Write("table.nc", kTableFeedProgram);
    const std::string alarm = "(6) - 工具とTABLEが干渉しています。";
    scratch.Write("mirexa.log", "(9) - another run's alarm");
    const pid_t child = Start({kBox, "table.nc", "-X6", "-O", "table.dme"});
    ASSERT_EQ(Wait(child), 0);
    const std::string log = Read("mirexa.log");
    const std::size_t at = log.find(alarm);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("(9) - another run's alarm\n"), 0u) << log;
    EXPECT_EQ(log[at - 1], '\n') << log;
    const std::size_t mark = log.find("プロセス " + std::to_string(child) + " ");
    ASSERT_NE(mark, std::string::npos) << log;
    EXPECT_LT(mark, at) << log;

    fs::remove(scratch.At("mirexa.log"));
    scratch.MakeDirectory("mirexa.log");
    EXPECT_EQ(Wait(Start({kBox, "table.nc", "-X6", "-O", "table.dme"}, "errors.txt")), 0);
    const std::string errors = Read("errors.txt");
    EXPECT_NE(errors.find(alarm), std::string::npos) << errors;
    EXPECT_NE(errors.find("アラームで切削終了"), std::string::npos) << errors;
}

// Runs that save the stock's surface as a binary STL file.
class SavedSurfaceRunTest : public BatchRunTest {
protected:
    // The sample's ball (tool 2) without its load limit, whose alarm would stop the runs.
    void DropTheBallsLoadLimit() {
        std::string tools = Read("vmc3.ttl");
        const std::size_t limit = tools.find(" LIMIT 30%");
        ASSERT_NE(limit, std::string::npos);
        scratch.Write("vmc3.ttl", tools.erase(limit, 10));
    }

    // The saved surface's facets, checked to be closed with area vectors summing to zero.
    std::vector<MeshFacet> ClosedSurface(const std::string& name) {
        std::vector<MeshFacet> facets;
        EXPECT_TRUE(ReadBinaryStlFacets(scratch.At(name), false, &facets));
        EXPECT_TRUE(SurfaceIsClosed(facets));
        double area[3];
        SumAreaVectors(facets, area);
        EXPECT_NEAR(area[0], 0.0, 1e-3);
        EXPECT_NEAR(area[1], 0.0, 1e-3);
        EXPECT_NEAR(area[2], 0.0, 1e-3);
        return facets;
    }
};

// The demo's job (scripts/demo): the sample program cut at 0.25 mm and saved, then the saved
// stock written as a binary STL. The surface is conforming, as tools that match edges need it:
// the pocket's long walls lie on node planes, and only the cells of material build them.
// Under a sanitizer the job runs at 0.5 mm, a quarter of the rays.
TEST_F(SavedSurfaceRunTest, TheDemoJobSavesAConformingSurface) {
    const char* pitch = testing::kSanitizedBuild ? "-P(0.5,0.5)" : "-P(0.25,0.25)";
    ASSERT_EQ(Run({kBox, pitch, "demo_part.nc", "-X6", "-O", "demo.dme"}), 0);
    ASSERT_EQ(Run({"demo.dme", "-XM(0,0,0)", "-O", "demo.stl,b"}), 0);
    const std::vector<MeshFacet> facets = ClosedSurface("demo.stl");
    EXPECT_GT(facets.size(), testing::kSanitizedBuild ? 50000u : 100000u);
    EXPECT_TRUE(SurfaceIsConforming(facets));
}

// A ball-end groove whose floor passes exactly through grid nodes at some pitches (a tangent
// ray in one family, a hair off the node in the others) saves a closed STL surface holding the
// groove's exact volume: 72,000 - 60 x (4.5 pi + 3.5 x 6) with the sample's 0.5 mm Z offset.
// Under a sanitizer only the coarsest pitch runs, a seventh of the rays of all three.
TEST_F(SavedSurfaceRunTest, AGrooveSavesAClosedSurfaceOfItsVolumeAtEveryPitch) {
    DropTheBallsLoadLimit();
    scratch.Write("groove.nc",
                  "%\nG21 G90 G17\nT2 M06\nG56 G00 X-45. Y5. S3000 M03\nZ5.\nG01 Z-6. F100.\n"
                  "X45.\nG00 Z5.\nM30\n%\n");
    const double groove = 72000.0 - 60.0 * (4.5 * 3.141592653589793 + 3.5 * 6.0);
    std::vector<const char*> pitches = {"0.2", "0.125", "0.1"};
    if (testing::kSanitizedBuild) {
        pitches.resize(1);
    }
    for (const char* pitch : pitches) {
        SCOPED_TRACE(pitch);
        ASSERT_EQ(Run({"-D(30,30,0,-30,-30,-20)", std::string("-P(") + pitch + ",0.1)", "groove.nc",
                       "-X6", "-O", "g.stl,b"}),
                  0);
        EXPECT_NEAR(SignedVolume(ClosedSurface("g.stl")), groove, 10.0);
    }
}

// Crossing passes at different depths leave thin islands of material on neighbouring rays,
// where cells cannot close their loops; the saved STL surface is closed all the same and holds
// the volume of the saved stock's rays.
TEST_F(SavedSurfaceRunTest, CrossingPassesSaveClosedSurfacesOfTheStocksVolume) {
    DropTheBallsLoadLimit();
    struct Case {
        const char* tool;
        const char* pitches;
        double pitch;
        // Three passes: start X, Y, depth Z, end X, Y.
        double passes[3][5];
    };
    const Case cases[] = {
        {"T2",
         "-P(0.5,0.227)",
         0.5,
         {{-12.85, 16.9, -4.15, -4.3, -8.1},
          {10.15, 12.0, -4.45, -6.25, 2.55},
          {13.9, 5.85, -7.8, -5.35, 4.6}}},
        {"T1",
         "-P(0.5,0.291)",
         0.5,
         {{-10.4, -4.5, -5.6, 9.5, 24.2},
          {-7.0, -9.5, -1.9, 18.1, 0.1},
          {-5.7, 19.7, -1.2, 9.0, -10.9}}},
        {"T3",
         "-P(0.2,0.1355)",
         0.2,
         {{5.25, 2.75, -3.75, -19.5, 18.5},
          {15.75, -6.75, -3.0, 2.0, 3.5},
          {-21.25, -1.25, -4.25, -0.75, -12.25}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        std::string program =
            std::string("%\nG21 G90 G17\n") + c.tool + " M06\nG56 G00 X-45. Y5. S3000 M03\nZ5.\n";
        for (const auto& p : c.passes) {
            char moves[160];
            std::snprintf(moves, sizeof moves,
                          "G00 X%.2f Y%.2f\nG01 Z%.2f F100.\nX%.2f Y%.2f\nG00 Z5.\n", p[0], p[1],
                          p[2], p[3], p[4]);
            program += moves;
        }
        scratch.Write("cross.nc", program + "M30\n%\n");
        for (const char* output : {"c.stl,b", "c.dme"}) {
            ASSERT_EQ(Run({"-D(30,30,0,-30,-30,-20)", c.pitches, "cross.nc", "-X6", "-O", output}),
                      0);
        }
        // The rays' volume counts the rays on the box's sides with a whole cell each, half a
        // pitch beyond the box on its four sides (2 x 60 mm x 20 mm per pitch). The surface
        // cuts corners of at most half a pitch's depth along its edges only: it holds the rest
        // within a hundredth of a pitch over its area.
        const std::vector<MeshFacet> facets = ClosedSurface("c.stl");
        const double rays = StockVolume(scratch.At("c.dme")) - 2400.0 * c.pitch;
        EXPECT_NEAR(SignedVolume(facets), rays, 0.01 * c.pitch * SurfaceArea(facets));
    }
}

// Under every TOOL BASE POINT the NC communication plug-in's tool is put on the base point
// as the tools file's tools are: its 8 mm ball (length 50) cuts the slot a tools file's 8
// mm ball of the same length cuts when programmed the same way.
TEST_F(BatchRunTest, ThePluginsToolTakesTheBasePointAsTheFilesToolsDo) {
    ASSERT_TRUE(ClearG54());
    scratch.Write("vmc3.ttl",
                  Read("vmc3.ttl") + "MAGAZINE 5 BALL 8,20 \"BALL8\" LENGTH 50 PEN 3\n");
    // The tool's bottom 3 mm into the box for each base point: at the bottom, the ball's
    // centre (4 mm up) and the length's top (50 mm up).
    const struct {
        const char* basePoint;
        double z;
    } cases[] = {{"BOTTOM", -3.0}, {"BALL-CENTER", 1.0}, {"LENGTH-TOP", 47.0}};
    const std::string settings = Read("mirexa.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.basePoint);
        std::string changed = settings;
        const std::string key = "TOOL BASE POINT=BOTTOM";
        ASSERT_NE(changed.find(key), std::string::npos);
        changed.replace(changed.find(key), key.size(),
                        std::string("TOOL BASE POINT=") + c.basePoint);
        scratch.Write("mirexa.ini", changed);
        char moves[160];
        std::snprintf(moves, sizeof moves,
                      "G00 X-10. Y20. Z%.1f\nG01 Z%.1f F300.\nX110.\nG00 Z150.\n%%\n", c.z + 60.0,
                      c.z);
        scratch.Write("file.nc", std::string("%\nG90 G17 M03\nT5 M06\n") + moves);
        scratch.Write("plugin.nc", std::string("%\nG90 G17 M03\n(BALL8)\n") + moves);
        programPath = MIREXA_PROGRAM;  // the program without plug-ins
        ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
        ASSERT_EQ(Run({kBox, "file.nc", "-X6", "-O", "file.dme"}), 0);
        RunFromOwnFolder({{"sample_nccom", "mxnccom"}});
        ASSERT_EQ(Run({kBox, "plugin.nc", "-X6", "-O", "plugin.dme"}), 0);
        const double raw = StockVolume(scratch.At("raw.dme"));
        const double byFile = raw - StockVolume(scratch.At("file.dme"));
        const double byPlugin = raw - StockVolume(scratch.At("plugin.dme"));
        EXPECT_GT(byFile, 100.0);
        EXPECT_NEAR(byPlugin, byFile, 0.05 * byFile);
    }
}

}  // namespace
}  // namespace mirexa
