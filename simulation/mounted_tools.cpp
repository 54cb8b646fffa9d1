// The mounted-tools pass and the owner word of the current tool's selection.
#include "simulation/mounted_tools.h"

#include <algorithm>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/clock.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/holder_checks.h"
#include "simulation/interference_flags.h"
#include "simulation/simulation_hooks.h"
#include "simulation/structure_checks.h"
#include "stock/stock_model.h"

namespace mirexa {

std::atomic<std::int32_t> MountedToolBusyFlags{kMountedToolsFree};

namespace {

bool IsSide(std::int32_t owner) {
    return owner == kMountedToolsSimulation || owner == kMountedToolsView;
}

bool InLayout(int tool) {
    return tool >= 0 && tool < kMountedToolEntries;
}

int ListedTool(int i) {
    return MountedTools.list[i];
}

int ListCount() {
    return std::clamp(MountedTools.count, 0, kMountedToolEntries - 1);
}

bool Present(int tool) {
    return InLayout(tool) && IsToolNumberInTables(tool) &&
           ToolTableSet.tools[static_cast<std::size_t>(tool)].present != 0;
}

bool SameStation(int a, int b) {
    const double* p = MountedTools.positions[a];
    const double* q = MountedTools.positions[b];
    return p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
}

// Makes the tool current, derived at the pitch of the stock the pass cuts.
void MakeCurrent(CuttingState& cutting, NcSession& session, const StockModel* stock, int tool) {
    SelectCurrentTool(session, *session.kinematics, *session.tools, tool,
                      ToolDerivationPitch(stock));
    LoadCutterSections(session.tools->tool, &cutting.cutter);
}

// A step of a canned cycle's move: its contacts are cleared.
void ApplyCycleContactRule(InterferenceFlagSet& flags, bool cycleMove) {
    if (cycleMove && flags.contact == 1) {
        flags.contact = 0;
    }
}

// The tool rings of the selected tool at a machine position. The selection (MakeCurrent) fills
// the session's tool records, so the rings are those.
void CheckToolRings(CuttingState& cutting, NcSession& session, const double machine[5]) {
    const ToolProfile& p = session.tools->profile;
    CheckSweepAgainstStructure(cutting, SessionCheckRecords(session), 0, p.cutterPointCount,
                               p.cutterMin, p.cutterMax, machine);
}

// Cuts the current tool at a machine position (its tip and axis by the kinematics).
void CutAt(CuttingState& cutting, NcSession& session, StockModel* stock, const double machine[5],
           const CutEndMarkRecord& mark) {
    double point[3], axis[3];
    ComputeToolTipAndAxis(*session.kinematics, machine, point, axis);
    CutStockAtToolPose(cutting, session, stock, point, axis, mark);
}

// The structure codes with their TOOL pair, in the order they take precedence.
struct CodePair {
    std::int32_t code;
    StructurePair pair;
};
constexpr CodePair kCodePairs[] = {{kMountedViceHit, kToolVice},
                                   {kMountedTable2Hit, kToolTable2},
                                   {kMountedTable1Hit, kToolTable1},
                                   {kMountedTableHit, kToolTable}};

int ResultCode(const InterferenceFlagSet& f) {
    for (const CodePair& c : kCodePairs) {
        if (f.structure[c.pair]) {
            return c.code;
        }
    }
    return f.contact != 0 && Checks.arborCheck != 2 ? kMountedStockContact : kMountedNoResult;
}

// Returns the code recorded.
int RecordResult(MountedToolResults& results, const InterferenceFlagSet& f,
                 const NcSession& session, int tool, const double machine[5]) {
    MountedToolResultRecord& r = results[tool];
    r.code = ResultCode(f);
    r.arbor = f.arbor;
    r.taper = f.taper;
    r.overLength = f.overLength;
    r.overChip = f.overChip;
    r.vice = f.structure[kToolVice];
    r.table = f.structure[kToolTable];
    r.table1 = f.structure[kToolTable1];
    r.table2 = f.structure[kToolTable2];
    r.interpreterWord = session.run.modal.gCode;
    r.mainLineNumber = session.line.mainLineNumber;
    std::copy(machine, machine + 5, r.machine);
    return r.code;
}

// The flag a recorded code raises.
void RaiseCodeFlag(InterferenceFlagSet& flags, int code) {
    if (code == kMountedStockContact) {
        flags.attachment = 1;
    }
    for (const CodePair& c : kCodePairs) {
        if (c.code == code) {
            flags.structure[c.pair] = 1;
        }
    }
}

int ToolIfListed(const CurrentToolRecord& current) {
    const int tool = current.derivedFrom;
    return InLayout(tool) ? tool : -1;
}

}  // namespace

// --- The owner word ---------------------------------------------------------------------------

int TryTakeMountedTools(std::int32_t owner) {
    if (!IsSide(owner)) {
        return 0;
    }
    std::int32_t expected = kMountedToolsFree;
    return MountedToolBusyFlags.compare_exchange_strong(expected, owner, std::memory_order_acquire,
                                                        std::memory_order_relaxed)
               ? 1
               : 0;
}

void TakeMountedTools(std::int32_t owner) {
    if (!IsSide(owner)) {
        return;
    }
    while (!TryTakeMountedTools(owner)) {
        SleepMilliseconds(kMountedToolPollMs);
    }
}

int ReleaseMountedTools(std::int32_t owner) {
    std::int32_t expected = owner;
    return IsSide(owner) && MountedToolBusyFlags.compare_exchange_strong(
                                expected, kMountedToolsFree, std::memory_order_release,
                                std::memory_order_relaxed)
               ? 1
               : 0;
}

void MountedToolsSide::lock() const {
    TakeMountedTools(owner);
}

bool MountedToolsSide::try_lock() const {
    return TryTakeMountedTools(owner) == 1;
}

void MountedToolsSide::unlock() const {
    ReleaseMountedTools(owner);
}

// --- Results ----------------------------------------------------------------------------------

void ClearMountedToolResults(MountedToolResults& results) {
    for (MountedToolResultRecord& record : results) {
        record = MountedToolResultRecord{};
    }
}

// --- The pass ---------------------------------------------------------------------------------

int CurrentToolHasMountedTools(const CurrentToolRecord& current) {
    const int tool = ToolIfListed(current);
    return tool >= 0 && ListCount() > 0 && MountedTools.flags[tool] != 0 ? 1 : 0;
}

int CurrentToolHasMountedTools(NcSession& session) {
    return CurrentToolHasMountedTools(session.tools->tool);
}

void MountedToolPosition(const double base[5], int tool, int current, double out[5]) {
    std::copy(base, base + 5, out);
    if (!InLayout(tool) || !InLayout(current)) {
        return;
    }
    for (int k = 0; k < 3; ++k) {
        out[k] += MountedTools.positions[tool][k] - MountedTools.positions[current][k];
    }
    const auto shift = [](int n) {
        return IsToolNumberInTables(n) ? double{ToolTableSet.shifts[static_cast<std::size_t>(n)]}
                                       : 0.0;
    };
    const double difference = shift(current) - shift(tool);
    const MachineGeometry& m = CurrentMachine;
    for (int k = 0; k < 3; ++k) {
        out[k] += difference * (m.toolDirectionTilted ? m.toolDirection[k] : (k == 2 ? 1.0 : 0.0));
    }
}

double CutAndCheckMountedTools(CuttingState& cutting, NcSession& session, StockModel* stock,
                               const CutEndMarkRecord& stepMark) {
    const int current = ToolIfListed(session.tools->tool);
    if (current < 0) {
        return 0.0;
    }
    const KinematicsSessionRecords& kinematics = *session.kinematics;
    const MachinePose& pose = kinematics.pose;
    const bool cycleMove =
        session.run.modal.cycleCode != kNoCycle && kinematics.motion.cycleMoveFlag != 0;
    InterferenceFlagSet& flags = cutting.flags;
    // 1. The owner word; this pass's results only.
    TakeMountedTools(kMountedToolsSimulation);
    int passCode = kMountedNoResult;  // the last code a tool recorded in this pass
    // The step's line stamp marks the new ends of every tool; the flags are each tool's.
    CutEndMarkRecord mark = stepMark;
    const int count = ListCount();
    bool sameStation = false;
    for (int i = 1; i <= count; ++i) {
        const int tool = ListedTool(i);
        if (!InLayout(tool)) {
            continue;
        }
        cutting.mountedResults[tool].code = kMountedNoResult;
        if (tool != current && Present(tool) && SameStation(tool, current)) {
            sameStation = true;
        }
    }
    // 2. The base position.
    double base[5];
    std::copy(pose.machine.axis, pose.machine.axis + 5, base);
    const bool toolPairs = AnyToolPairOn(0) != 0;
    // 3. The other tools at their own stations.
    if (Checks.arborCheck != 0 || toolPairs) {
        for (int i = 1; i <= count; ++i) {
            const int tool = ListedTool(i);
            if (tool == current || !Present(tool) || SameStation(tool, current)) {
                continue;
            }
            MakeCurrent(cutting, session, stock, tool);
            double machine[5];
            MountedToolPosition(base, tool, current, machine);
            ClearInterferenceFlags(flags);
            mark.flags[0] = mark.flags[1] =
                static_cast<std::uint8_t>(cutting.cutter.penBits | kDexelEndPainted);
            CutAt(cutting, session, stock, machine, mark);
            ApplyCycleContactRule(flags, cycleMove);
            if (toolPairs) {
                CheckToolRings(cutting, session, machine);
            }
            if (const int code =
                    RecordResult(cutting.mountedResults, flags, session, tool, machine);
                code != kMountedNoResult) {
                passCode = code;
            }
        }
    }
    // 4. The current tool at the step's pose.
    MakeCurrent(cutting, session, stock, current);
    ClearInterferenceFlags(flags);
    const bool rapid = kinematics.motion.motionType <= 0;
    mark.flags[0] = mark.flags[1] =
        static_cast<std::uint8_t>(cutting.cutter.penBits | (rapid ? kDexelEndPainted : 0));
    const double currentVolume =
        CutStockAtToolPose(cutting, session, stock, pose.tool.point, pose.tool.axis, mark);
    ApplyCycleContactRule(flags, cycleMove);
    CheckStructuresAtStep(cutting, SessionCheckRecords(kinematics, *session.tools), stock);
    // 5. The tools at the current station.
    if (sameStation) {
        for (int i = 1; i <= count; ++i) {
            const int tool = ListedTool(i);
            if (tool == current || !Present(tool) || !SameStation(tool, current)) {
                continue;
            }
            MakeCurrent(cutting, session, stock, tool);
            double machine[5];
            MountedToolPosition(base, tool, current, machine);
            CutAt(cutting, session, stock, machine, mark);
            ApplyCycleContactRule(flags, cycleMove);
            if (toolPairs) {
                CheckToolRings(cutting, session, machine);
            }
        }
        MakeCurrent(cutting, session, stock, current);
    }
    // 6. The other tools' results.
    if (passCode != kMountedNoResult) {
        flags.contact = 1;
        for (int i = 1; i <= count; ++i) {
            const int tool = ListedTool(i);
            if (InLayout(tool) && tool != current) {
                RaiseCodeFlag(flags, cutting.mountedResults[tool].code);
            }
        }
    }
    ReleaseMountedTools(kMountedToolsSimulation);
    // The tool-load limit of the step is the current tool's.
    return currentVolume;
}

void InstallInterferenceCheckHooks() {
    SimulationCallbacks.shankAndHolderPasses = RunShankAndHolderPasses;
}

}  // namespace mirexa
