// Five-axis runs through the simulation thread on machines read from their machine files: under
// tool centre point control with a length offset the tool tip stands on the programmed point, the
// over-travel check judges that machine position, and TCL COORDINATE TABLE turns the programmed
// point with the table. The oracle turns vectors by Rodrigues rotations about the axes the
// machine file names, apart from the kinematics code.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/offset_memory.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "support/definition_state.h"
#include "support/kinematics_test_support.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"
#include "support/tool_records.h"

namespace mirexa {
namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// A machine as its file describes it, and the same geometry for the oracle.
struct TestMachine {
    const char* name;
    const char* file;
    int head;         // 1: both rotary axes carry the spindle; 0: both carry the table
    char letters[3];  // program letters of rotary axis 1 and 2
    double axis1[3], axis2[3];
    double headPosition[3], headOffset[3], tablePosition[3], tableOffset[3];
};

const TestMachine kHeadHead = {
    "head-head",
    "ROTARY TYPE=HEAD\nROTARY AXIS1=C\nROTARY AXIS2=A\nHEAD POSITION=0,0,150\n"
    "HEAD OFFSET=0,20,-10\nTOOL HOLDER OFFSET=0\n",
    1,
    "CA",
    {0, 0, 1},
    {1, 0, 0},
    {0, 0, 150},
    {0, 20, -10},
    {},
    {}};

const TestMachine kTableTable = {
    "table-table",
    "ROTARY TYPE=TABLE\nROTARY AXIS1=A\nROTARY AXIS2=C\nTABLE POSITION=10,-20,-200\n"
    "TABLE OFFSET=15,5,0\nTOOL HOLDER OFFSET=0\n",
    0,
    "AC",
    {1, 0, 0},
    {0, 0, 1},
    {},
    {},
    {10, -20, -200},
    {15, 5, 0}};

// The tool tip of machine position m (X, Y, Z, rotary 1, rotary 2) with gauge length g: for the
// head, the tip seen from the head's pivot turned by axis 2, less the head offset, turned by axis
// 1; for the table, the point where the tip stands carried into the turned table's frame (axis
// 1 about the table position, axis 2 about the table position moved by its offset).
void OracleTip(const TestMachine& k, const double m[5], double g, double tip[3]) {
    double v[3];
    if (k.head != 0) {
        const double gauge[3] = {-k.headPosition[0], -k.headPosition[1], -(k.headPosition[2] + g)};
        testing::Rodrigues(k.axis2, m[4] * kDegree, gauge, v);
        for (int i = 0; i < 3; ++i) {
            v[i] -= k.headOffset[i];
        }
        testing::Rodrigues(k.axis1, m[3] * kDegree, v, v);
        for (int i = 0; i < 3; ++i) {
            tip[i] = m[i] + v[i];
        }
        return;
    }
    const double gauge[3] = {m[0] - k.tablePosition[0], m[1] - k.tablePosition[1],
                             m[2] - g - k.tablePosition[2]};
    testing::Rodrigues(k.axis1, m[3] * kDegree, gauge, v);
    // The offset of axis 2 across the axis only.
    const double* to = k.tableOffset;
    const double along = to[0] * k.axis2[0] + to[1] * k.axis2[1] + to[2] * k.axis2[2];
    double across[3];
    for (int i = 0; i < 3; ++i) {
        across[i] = to[i] - along * k.axis2[i];
        v[i] -= across[i];
    }
    testing::Rodrigues(k.axis2, m[4] * kDegree, v, v);
    for (int i = 0; i < 3; ++i) {
        tip[i] = v[i] + across[i] + k.tablePosition[i];
    }
}

class FiveAxisRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        GiveRunRequest(TestRun, WindowRunRequest());
        ASSERT_EQ(AllocToolTables(4), 1);
        testing::PutTestTool(1, kToolFlat, 6.0f);
        DexelPitch.secondPitch = 0.5;
        CurrentStockIndex = -1;
        DrawingSuppressed = 1;
    }
    void TearDown() override {
        FreeToolTables();
        RunTools.tool = CurrentToolRecord{};
        RunKinematics.modes = mode_;
        ToolOffsets = offsets_;
        RunKinematics.pose = MachinePose{};
        RunKinematics.tcp = TcpTableFrame{};
        CurrentStockIndex = stockIndex_;
        WindowRun.mode = RunMode::kIdle;
        DrawingSuppressed = 0;
    }
    // Reads the controller and machine files (the machine's with extra lines), mounts tool 1 and
    // runs the program from Z 100 at zero angles as a result run;
    // returns the run's end.
    int Run(const TestMachine& k, const std::string& program, const std::string& controller = "",
            const std::string& machineLines = "") {
        ReadControllerFileAt(RunSession, RunKinematics, scratch_.Write("five.ctl", controller));
        ReadMachineFileAt(scratch_.Write("five.mtl", k.file + machineLines), 1);
        // Program positions of the arbor top: the tool's shift is its gauge length, as the tools
        // file gives it with TOOL BASE POINT ARBOR-TOP, and so is its length offset.
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        gauge_ = RunKinematics.toolValues.gaugeLength;
        ToolTableSet.shifts[1] = static_cast<float>(gauge_);
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        ToolOffsets.h[1] = static_cast<float>(gauge_);
        ToolOffsets.hWear[1] = 0.0f;
        DefinitionFiles.ncProgramFile = scratch_.Write("five.nc", program);
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 100.0;
        WindowRun.mode = runMode_;
        RunTestCut();
        return TestRun.result.end;
    }
    static std::string Angles(const TestMachine& k, double a1, double a2) {
        return std::string(" ") + k.letters[0] + std::to_string(a1) + " " + k.letters[1] +
               std::to_string(a2);
    }
    ::testing::AssertionResult TipAt(const TestMachine& k, const double expected[3]) {
        double tip[3];
        OracleTip(k, RunKinematics.pose.machine.axis, gauge_, tip);
        for (int i = 0; i < 3; ++i) {
            if (!(std::fabs(tip[i] - expected[i]) < 1e-9)) {
                return ::testing::AssertionFailure()
                       << "tip " << tip[0] << ", " << tip[1] << ", " << tip[2] << " for "
                       << expected[0] << ", " << expected[1] << ", " << expected[2];
            }
        }
        return ::testing::AssertionSuccess();
    }

    testing::ScratchDirectory scratch_;
    double gauge_ = 0.0;
    RunMode runMode_ = RunMode::kResult;  // the mode Run cuts in
    testing::ScopedRunDefinitions definitions_;
    KinematicsModeFlags mode_ = RunKinematics.modes;
    ToolOffsetMemory offsets_ = ToolOffsets;
    int stockIndex_ = CurrentStockIndex.load();
};

// G43.4 with H: the tip stands on the programmed point at several rotary positions, on both
// kinds of machine; G43.5 carries the same length.
TEST_F(FiveAxisRunTest, ToolCentrePointPutsTheTipOnTheProgrammedPoint) {
    const double angles[][2] = {{0, 0}, {30, 45}, {-20, 120}, {45, -90}, {10, 200}};
    for (const TestMachine* k : {&kHeadHead, &kTableTable}) {
        for (const char* code : {"G43.4", "G43.5"}) {
            for (const auto& a : angles) {
                SCOPED_TRACE(std::string(k->name) + " " + code + Angles(*k, a[0], a[1]));
                const std::string program =
                    std::string("%\nG90 G00 X0 Y0 Z100.") + Angles(*k, 0, 0) + "\n" + code +
                    " H1\nG01 X12. " + "Y-7. Z3." + Angles(*k, a[0], a[1]) + " F2000.\nM30\n%\n";
                ASSERT_EQ(Run(*k, program), kRunEndProgram);
                ASSERT_GT(gauge_, 1.0);
                const double expected[3] = {12.0, -7.0, 3.0};
                EXPECT_TRUE(TipAt(*k, expected));
                EXPECT_NEAR(RunKinematics.pose.machine.axis[3], a[0], 1e-9);
                EXPECT_NEAR(RunKinematics.pose.machine.axis[4], a[1], 1e-9);
            }
        }
    }
}

// A head-head move to X 400 under G43.4: the machine X at its end, worked out from the oracle,
// lies just inside an X stroke that ends 0.01 mm beyond it and just outside one that ends 0.01 mm
// before it. On the way X only grows, so the end decides.
TEST_F(FiveAxisRunTest, OverTravelJudgesTheMachinePositionOfTheTip) {
    const TestMachine& k = kHeadHead;
    // Machine X = tip X - (the tip seen from the machine position at C 45, A 30).
    ASSERT_EQ(Run(k, "%\nM30\n%\n"), kRunEndProgram);
    const double zero[5] = {0, 0, 0, 45.0, 30.0};
    double offset[3];
    OracleTip(k, zero, gauge_, offset);
    const double machineX = 400.0 - offset[0];
    const std::string program =
        "%\nG90 G00 X0 Y0 Z100. C0 A0\nG43.4 H1\nG01 X400. Y10. Z30. C45. "
        "A30. F2000.\nM30\n%\n";
    const struct {
        double strokeEnd;
        int end;
    } cases[] = {{machineX + 0.01, kRunEndProgram}, {machineX - 0.01, kRunEndOverTravel}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strokeEnd);
        const std::string stroke = "STROKE RANGE(X)=-1000," + std::to_string(c.strokeEnd) + "\n";
        EXPECT_EQ(Run(k, program, "", stroke), c.end);
        if (c.end == kRunEndOverTravel) {
            EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), 0);
        }
    }
}

// TCL COORDINATE TABLE, tool centre point control switched on with the table at C 90: the machine
// stays where it stands, the rotary values count from there, and the programmed point is turned
// with the table (about the axis-2 centre, the table position moved by its offset).
TEST_F(FiveAxisRunTest, TableCoordinatesTurnTheProgrammedPointWithTheTable) {
    const TestMachine& k = kTableTable;
    // (12, 5) turned by 90 deg about the centre (10 + 15, -20 + 5).
    const double turned[3] = {5.0, -28.0, 3.0};
    const std::string start = "%\nG90 G00 X12. Y5. Z100. A0 C90.\nG43.4 H1\n";
    const struct {
        const char* moves;
        double c;  // the machine's C at the end
    } cases[] = {{"G01 X12. Y5. Z3. F2000.\n", 90.0}, {"G01 X12. Y5. Z3. C10. F2000.\n", 100.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moves);
        ASSERT_EQ(Run(k, start + c.moves + "M30\n%\n", "TCL COORDINATE=TABLE\n"), kRunEndProgram);
        EXPECT_EQ(TestRun.result.resyncs, 1);
        EXPECT_NEAR(RunKinematics.pose.machine.axis[4], c.c, 1e-9);
        EXPECT_TRUE(TipAt(k, turned));
    }
}

// G49 in a block that moves Z after G43.4 on a head whose axes meet at the spindle's gauge
// point: the program position starts from the tool point moved back by the length offset, so X
// and Y, which the block does not name, stay where the machine stands.
TEST_F(FiveAxisRunTest, G49InAMoveKeepsTheAxesItDoesNotName) {
    TestMachine k = kHeadHead;
    k.file = "ROTARY TYPE=HEAD\nROTARY AXIS1=C\nROTARY AXIS2=A\nTOOL HOLDER OFFSET=0\n";
    const std::string move =
        "%\nG90 G00 X0 Y0 Z100. C0 A0\nG43.4 H1\nG01 X12. Y-7. Z3. C45. A30. F2000.\n";
    ASSERT_EQ(Run(k, move + "M30\n%\n"), kRunEndProgram);
    const MotionPosition tilted = RunKinematics.pose.machine;
    ASSERT_GT(std::hypot(tilted.axis[0] - 12.0, tilted.axis[1] + 7.0), 1.0);
    ASSERT_EQ(Run(k, move + "G49 G00 Z150.\nM30\n%\n"), kRunEndProgram);
    EXPECT_NEAR(RunKinematics.pose.machine.axis[0], tilted.axis[0], 1e-9);
    EXPECT_NEAR(RunKinematics.pose.machine.axis[1], tilted.axis[1], 1e-9);
    EXPECT_NEAR(RunKinematics.pose.machine.axis[2], 150.0, 1e-9);
}

// The machine position of every step.
std::vector<MotionPosition>* RecordedSteps = nullptr;
void RecordStep() {
    RecordedSteps->push_back(RunKinematics.pose.machine);
}

// G43.5 moves from A +-30 at several C to a tool vector tilted 30 deg at several azimuths, near
// the half turn too: the steps, solved near each other, and the block's end, solved by the
// interpreter near the move's start, lie on the same turn of C: the last step turns neither
// rotary axis by a whole turn (nor by more than 2 deg).
TEST_F(FiveAxisRunTest, AToolVectorMoveEndsOnTheTurnOfItsSteps) {
    std::vector<MotionPosition> steps;
    RecordedSteps = &steps;
    const StepWatch watch(RecordStep);
    runMode_ = RunMode::kRealCutting;  // the mode the watch needs
    const double s = std::sin(30 * kDegree), c = std::cos(30 * kDegree);
    for (const double azimuth : {10.0, 170.0, 182.0, 350.0}) {
        for (const double a : {30.0, -30.0}) {
            for (const double c0 : {0.0, 170.0, 185.0}) {
                steps.clear();
                const std::string program = "%\nG90 G00 X0 Y0 Z100. A" + std::to_string(a) + " C" +
                                            std::to_string(c0) + "\nG43.5 H1\nG01 X1. Y0 Z100. I" +
                                            std::to_string(s * std::sin(azimuth * kDegree)) + " J" +
                                            std::to_string(-s * std::cos(azimuth * kDegree)) +
                                            " K" + std::to_string(c) + " F1000.\nM30\n%\n";
                SCOPED_TRACE(program);
                ASSERT_EQ(Run(kTableTable, program), kRunEndProgram);
                ASSERT_GT(steps.size(), 100u);
                const std::size_t n = steps.size();
                EXPECT_LT(std::fabs(steps[n - 1].axis[4] - steps[n - 2].axis[4]), 2.0);
                EXPECT_LT(std::fabs(steps[n - 1].axis[3] - steps[n - 2].axis[3]), 2.0);
            }
        }
    }
}

}  // namespace
}  // namespace mirexa
