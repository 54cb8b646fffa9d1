// The tool and holder outline against the table-side models: a flat end mill lowered onto a box
// vice, the rings joined only within their range, the pair turns by rotary type, the BASIC copy
// of the position, and the basic models' free boxes.
#include "simulation/structure_checks.h"
#include "stock/stock_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "simulation/mounted_tools.h"
#include "simulation/simulation_hooks.h"
#include "simulation/structure_scan.h"
#include "structure_test_support.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::BoxModel;
using testing::PutFlatTool;
using testing::ScopedCheckState;
using testing::SetMachineAngles;

constexpr int kVice = 1 << kStructureVice;
constexpr int kTable = 1 << kStructureTable;
constexpr int kTable1 = 1 << kStructureTable1;
constexpr int kBasic = 1 << kStructureBasic;
constexpr int kAllKinds = (1 << kStructureKindCount) - 1;

class SweepTest : public ::testing::Test {
protected:
    ScopedCheckState state;

    // A flat end mill of 10 mm, 20 mm cutting height, made current with its profile.
    void SetUp() override {
        PutFlatTool(1, 10, 20);
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
        ASSERT_GE(RunTools.profile.cutterPointCount, 2);
    }
    static SweepOutline ToolOutline() {
        const ToolProfile& p = RunTools.profile;
        SweepOutline o;
        o.rings = p.rotatedMesh;
        o.ringCount = p.pointCount;
        o.firstRing = 0;
        o.endRing = p.cutterPointCount;
        std::copy(p.cutterMin, p.cutterMin + 3, o.boxMin);
        std::copy(p.cutterMax, p.cutterMax + 3, o.boxMax);
        return o;
    }
    // The machine position that puts the tool tip at (x, y, z) with the current angles. The
    // tip is a turn of the position plus a constant: tip(M) = R M + c, so M = R^T (p - c).
    static SweepPlacement TipAt(double x, double y, double z) {
        SweepPlacement at;
        at.machine[3] = RunKinematics.pose.machine.axis[3];
        at.machine[4] = RunKinematics.pose.machine.axis[4];
        double c[3], columns[3][3];
        ComputeSweepTip(RunSession, at.machine, c);
        for (int k = 0; k < 3; ++k) {
            SweepPlacement unit = at;
            unit.machine[k] = 1.0;
            ComputeSweepTip(RunSession, unit.machine, columns[k]);
        }
        const double d[3] = {x - c[0], y - c[1], z - c[2]};
        for (int k = 0; k < 3; ++k) {
            at.machine[k] = 0.0;
            for (int i = 0; i < 3; ++i) {
                at.machine[k] += (columns[k][i] - c[i]) * d[i];
            }
        }
        return at;
    }
};

TEST_F(SweepTest, FlatEndMillLoweredOntoABoxVice) {
    const double lo[3] = {0, 0, 0}, hi[3] = {100, 50, 30};
    StructureModels.vices.push_back(BoxModel(lo, hi));
    const SweepOutline tool = ToolOutline();
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(50, 25, 31), kAllKinds, StructureModels),
              0);
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(50, 25, 30), kAllKinds, StructureModels),
              kVice);
    EXPECT_EQ(
        SweepHitsStructures(RunSession, tool, TipAt(50, 25, 29.99), kAllKinds, StructureModels),
        kVice);
    // Beside the vice: 1 mm clear of its side face, then its edge against the jaw's side.
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(106, 25, 10), kAllKinds, StructureModels),
              0);
    EXPECT_EQ(
        SweepHitsStructures(RunSession, tool, TipAt(104.99, 25, 10), kAllKinds, StructureModels),
        kVice);
    // The kind is not asked for: nothing is tested.
    SweepCheckCounters counters;
    SweepOutline counted = tool;
    counted.counters = &counters;
    EXPECT_EQ(SweepHitsStructures(RunSession, counted, TipAt(50, 25, 20), kTable, StructureModels),
              0);
    EXPECT_EQ(counters.posedPoints, 0);
}

TEST_F(SweepTest, OnlyTheRingsOfTheRangeAreJoined) {
    // Three hand-made rings of one point each repeated: ring 2 reaches down into the model, but
    // rings 0 and 1 stay above it.
    std::vector<double> rings(3 * RingPointCount * 3);
    const double heights[3] = {50, 40, -10};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < RingPointCount; ++j) {
            rings[3 * (i * RingPointCount + j) + 2] = heights[i];
        }
    }
    const double lo[3] = {-10, -10, 0}, hi[3] = {10, 10, 10};
    StructureModels.vices.push_back(BoxModel(lo, hi));
    SweepOutline o;
    o.rings = rings.data();
    o.ringCount = 3;
    o.boxMin[2] = -10;
    o.boxMax[2] = 50;
    const SweepPlacement at = TipAt(0, 0, 0);
    o.firstRing = 0;
    o.endRing = 2;
    EXPECT_EQ(SweepHitsStructures(RunSession, o, at, kAllKinds, StructureModels), 0);
    o.endRing = 3;
    EXPECT_EQ(SweepHitsStructures(RunSession, o, at, kAllKinds, StructureModels), kVice);
    // An end beyond the rings held is limited to them (the array holds exactly three).
    o.firstRing = 1;
    o.endRing = 4;
    EXPECT_EQ(SweepHitsStructures(RunSession, o, at, kAllKinds, StructureModels), kVice);
    // A single ring joins nothing and poses nothing.
    SweepCheckCounters counters;
    o.counters = &counters;
    o.firstRing = 2;
    o.endRing = 3;
    EXPECT_EQ(SweepHitsStructures(RunSession, o, at, kAllKinds, StructureModels), 0);
    EXPECT_EQ(counters.posedPoints, 0);
}

TEST_F(SweepTest, PairTurnsOnATableMachine) {
    // A on X, C on Z; on a TABLE machine the TABLE1 model turns by A only, the vice by both.
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = {0, 1, 2};
    CurrentMachine.rotary[1] = {2, 0, 1};
    SetMachineAngles(90, 90);
    // A turns the tool axis (0, 0, 1) to (0, -1, 0); C then to (1, 0, 0).
    const SweepPlacement at = TipAt(0, 0, 0);
    double tip[3];
    ComputeSweepTip(RunSession, at.machine, tip);
    ASSERT_NEAR(tip[0], 0.0, 1e-9);
    ASSERT_NEAR(tip[1], 0.0, 1e-9);
    ASSERT_NEAR(tip[2], 0.0, 1e-9);
    // Collars around the tool's 5 mm radius: across the A-turned tool, across the A, C-turned
    // one.
    const double ylo[3] = {-8, -12, -8}, yhi[3] = {8, -8, 8};
    const double xlo[3] = {8, -8, -8}, xhi[3] = {12, 8, 8};
    StructureModels.table1Regions.push_back(BoxModel(ylo, yhi));
    StructureModels.vices.push_back(BoxModel(ylo, yhi));
    const SweepOutline tool = ToolOutline();
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, at, kAllKinds, StructureModels), kTable1);
    StructureModels.vices[0] = BoxModel(xlo, xhi);
    StructureModels.table1Regions[0] = BoxModel(xlo, xhi);
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, at, kAllKinds, StructureModels), kVice);
    // The TABLE model turns by A only on this machine as well.
    StructureModels.table = BoxModel(ylo, yhi);
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, at, kTable, StructureModels), kTable);
    // With both angles exactly 0 nothing turns: the tool stands upright over the models.
    SetMachineAngles(0, 0);
    const double ulo[3] = {-8, -8, 8}, uhi[3] = {8, 8, 12};
    StructureModels.vices[0] = BoxModel(ulo, uhi);
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(0, 0, 0), kAllKinds, StructureModels),
              kVice);
}

TEST_F(SweepTest, TheBasicModelsSeeTheToolWithoutTheAxesTheTableCarries) {
    // The table carries X: the base sees the tool at X = 0 wherever the program is.
    Machine.tableCarries[0] = 1;
    const double lo[3] = {-20, -20, -20}, hi[3] = {20, 20, 0};
    StructureModels.basics.push_back(BoxModel(lo, hi));
    StructureModels.basicFreeBoxes = {-1e11, -1e11, 0, 1e11, 1e11, 1e11};
    StructureModels.vices.push_back(BoxModel(lo, hi));
    const SweepOutline tool = ToolOutline();
    SweepPlacement at = TipAt(0, 0, -1);
    at.machine[0] = 500;
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, at, kAllKinds, StructureModels), kBasic);
    double copy[5];
    MakeBasicPlacement(at.machine, copy);
    EXPECT_EQ(copy[0], 0.0);
    EXPECT_EQ(copy[1], at.machine[1]);
    // On a TABLE machine the copy also drops both angles, on a MIX machine the second.
    const double turned[5] = {1, 2, 3, 40, 50};
    CurrentMachine.rotaryType = 2;
    MakeBasicPlacement(turned, copy);
    EXPECT_EQ(copy[3], 0.0);
    EXPECT_EQ(copy[4], 0.0);
    CurrentMachine.rotaryType = 3;
    MakeBasicPlacement(turned, copy);
    EXPECT_EQ(copy[3], 40.0);
    EXPECT_EQ(copy[4], 0.0);
}

TEST_F(SweepTest, EachBasicFreeBoxExcusesOnlyItsOwnModel) {
    // Model 1 lies below its free box (z >= 0 is free of it); model 2 stands where the tool is.
    const double alo[3] = {-50, -50, -40}, ahi[3] = {50, 50, 0};
    const double blo[3] = {20, -5, 0}, bhi[3] = {30, 5, 40};
    StructureModels.basics.push_back(BoxModel(alo, ahi));
    StructureModels.basics.push_back(BoxModel(blo, bhi));
    StructureModels.basicFreeBoxes = {-1e11, -1e11, 0,     1e11, 1e11, 1e11,
                                      -1e11, -1e11, -1e11, 20,   1e11, 1e11};
    SweepCheckCounters counters;
    SweepOutline tool = ToolOutline();
    tool.counters = &counters;
    // The tool's side at x = 25 meets model 2 although it lies inside model 1's free box.
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(22, 0, 10), kBasic, StructureModels),
              kBasic);
    // Inside both free boxes: no segment is tested at all.
    counters = SweepCheckCounters{};
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(0, 0, 10), kBasic, StructureModels), 0);
    EXPECT_EQ(counters.segmentTests, 0);
    // Resting on model 1's top face, the boundary of its free box: tested, and touching.
    EXPECT_EQ(SweepHitsStructures(RunSession, tool, TipAt(0, 0, 0), kBasic, StructureModels),
              kBasic);
    EXPECT_GT(counters.segmentTests, 0);
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

using testing::BoxModel;
using testing::PutFlatTool;
using testing::ScopedCheckState;

// The checks of a step against the structure: TOOL and ARBOR settings and flags.
class SweepFlags : public ::testing::Test {
protected:
    ScopedCheckState state;
    void SetUp() override {
        PutFlatTool(1, 10, 20);
        testing::PutLengthRecord(1, kToolLength1, {50});
        testing::PutHolder(1, kArborCylinders, {40}, {30});
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
        ClearInterferenceFlags(TestRun.cutting.flags);
    }
    // The machine position whose tool tip is at (x, y, z), no rotary axes.
    static void TipAt(double x, double y, double z) {
        double* m = RunKinematics.pose.machine.axis;
        m[0] = m[1] = m[2] = 0.0;
        double tip[3];
        ComputeSweepTip(RunSession, m, tip);
        m[0] = x - tip[0], m[1] = y - tip[1], m[2] = z - tip[2];
    }
};

TEST_F(SweepFlags, ToolRingsRaiseToolFlagsAndHolderRingsArborFlags) {
    const double lo[3] = {0, 0, 0}, hi[3] = {100, 50, 30};
    StructureModels.vices.push_back(BoxModel(lo, hi));
    StructureModels.table = BoxModel(lo, hi);
    for (StructurePair p : {kToolVice, kArborVice, kToolTable, kArborTable}) {
        Checks.structurePairs[p] = 1;
    }
    // The tip 10 mm into the vice: the cutting part only.
    TipAt(50, 25, 20);
    CheckStructuresAtStep(TestRun.cutting, RunSession, CurrentStockSlot());
    const auto& f = TestRun.cutting.flags.structure;
    EXPECT_EQ(f[kToolVice], 1);
    EXPECT_EQ(f[kToolTable], 1);
    EXPECT_EQ(f[kArborVice], 0);
    EXPECT_EQ(f[kArborTable], 0);
    // The holder (from 50 mm above the tip, 20 mm radius) down onto the vice beside the tool:
    // only the holder's rings reach it.
    ClearInterferenceFlags(TestRun.cutting.flags);
    TipAt(115, 25, -21);
    CheckStructuresAtStep(TestRun.cutting, RunSession, CurrentStockSlot());
    EXPECT_EQ(f[kToolVice], 0);
    EXPECT_EQ(f[kArborVice], 1);
    EXPECT_EQ(f[kArborTable], 1);
    // A pair switched off is not tested, however much its models overlap.
    ClearInterferenceFlags(TestRun.cutting.flags);
    Checks.structurePairs[kArborTable] = 0;
    CheckStructuresAtStep(TestRun.cutting, RunSession, CurrentStockSlot());
    EXPECT_EQ(f[kArborVice], 1);
    EXPECT_EQ(f[kArborTable], 0);
    // A single ring joins nothing and raises nothing.
    ClearInterferenceFlags(TestRun.cutting.flags);
    const ToolProfile& p = RunTools.profile;
    EXPECT_EQ(
        CheckSweepAgainstStructure(TestRun.cutting, RunSession, p.pointCount - 1, p.pointCount,
                                   p.holderMin, p.holderMax, RunKinematics.pose.machine.axis),
        0);
    EXPECT_EQ(AnyInterferenceFlagSet(TestRun.cutting.flags), 0);
}

// The step's check through the installed hook on a second session (a copy of the run's records,
// after which the run's pose and tool move elsewhere) raises what the same check raised on the
// run's records at that pose, and leaves the run's pose and tool as they were.
TEST_F(SweepFlags, TheHookChecksTheSessionItIsGivenNotTheBoundRecords) {
    struct Case {
        const char* name;
        int rotaryType;
        double angles[2];
        double tip[3];       // where the tool tip stands (unturned) or the machine position
        double vice[6];      // its box (low, high corners) relative to the tool tip
        StructurePair pair;  // the pair switched on and expected raised
    } cases[] = {
        {"tool rings", 0, {0, 0}, {50, 25, 20}, {-50, -25, -20, 50, 25, 10}, kToolVice},
        {"holder rings", 0, {0, 0}, {115, 25, -21}, {-115, -25, 21, -15, 25, 51}, kArborVice},
        // A on X, C on Z of a TABLE machine: the tool lies along +X, into a collar the upright
        // tool would miss.
        {"turned tool", 2, {90, 90}, {0, 0, 0}, {8, -8, -8, 12, 8, 8}, kToolVice},
    };
    const SimulationHooks saved = SimulationCallbacks;
    InstallInterferenceCheckHooks();
    PutFlatTool(2, 1, 1);
    // Tool 1 sits on a carrier, tool 2 does not.
    MountedTools.count = 1;
    MountedTools.list[1] = 1;
    MountedTools.flags[1] = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CurrentMachine.rotaryType = c.rotaryType;
        CurrentMachine.rotary[0] = {0, 1, 2};
        CurrentMachine.rotary[1] = {2, 0, 1};
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
        testing::SetMachineAngles(c.angles[0], c.angles[1]);
        if (c.rotaryType == 0) {
            TipAt(c.tip[0], c.tip[1], c.tip[2]);
        } else {
            std::copy(c.tip, c.tip + 3, RunKinematics.pose.machine.axis);
        }
        double tip[3], lo[3], hi[3];
        ComputeSweepTip(RunSession, RunKinematics.pose.machine.axis, tip);
        for (int k = 0; k < 3; ++k) {
            lo[k] = tip[k] + c.vice[k];
            hi[k] = tip[k] + c.vice[3 + k];
        }
        StructureModels.vices.assign(1, BoxModel(lo, hi));
        Checks = CheckSettings{};
        Checks.structurePairs[c.pair] = 1;
        ClearInterferenceFlags(TestRun.cutting.flags);
        CheckStructuresAtStep(TestRun.cutting, RunSession, CurrentStockSlot());
        const InterferenceFlagSet onRun = TestRun.cutting.flags;
        ASSERT_EQ(onRun.structure[c.pair], 1);

        // The second session stands where the run stood; the run moves away with a tiny tool.
        auto other = std::make_unique<NcSession>();
        CopyNcSessionState(other.get(), RunSession);
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 2, 0.0);
        testing::SetMachineAngles(0, 0);
        TipAt(1000, 1000, 1000);
        const MachinePose runPose = RunKinematics.pose;
        const int runTool = RunTools.tool.derivedFrom;
        ClearInterferenceFlags(TestRun.cutting.flags);
        CheckStructuresAtStep(TestRun.cutting, RunSession, CurrentStockSlot());
        EXPECT_EQ(AnyInterferenceFlagSet(TestRun.cutting.flags), 0)
            << "the run's own pose is clear";

        CheckStructuresAtStep(TestRun.cutting, *other, CurrentStockSlot());
        EXPECT_EQ(
            std::memcmp(TestRun.cutting.flags.structure, onRun.structure, sizeof onRun.structure),
            0);
        EXPECT_EQ(std::memcmp(&RunKinematics.pose, &runPose, sizeof runPose), 0);
        EXPECT_EQ(RunTools.tool.derivedFrom, runTool);
        EXPECT_EQ(CurrentToolHasMountedTools(*other), 1);
        EXPECT_EQ(CurrentToolHasMountedTools(RunSession), 0);
    }
    SimulationCallbacks = saved;
}

}  // namespace
}  // namespace mirexa
