// Structure and fixture check of the tool and its holder: ring posing per pair rotation, the
// BASIC copy of the position, and the generator segments against the table-side models.
#include "simulation/structure_checks.h"

#include <algorithm>
#include <vector>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/nc_session.h"
#include "simulation/cutting_state.h"
#include "simulation/head_interference.h"
#include "simulation/interference_flags.h"
#include "simulation/structure_scan.h"

namespace mirexa {

namespace {

// How the rings of a pair are turned before they are moved to the tip.
enum RingTurn : int { kTurnNone = 0, kTurnFirst = 1, kTurnBoth = 2, kTurnGivenAngles = 3 };

// The rings and outline box at one placement and turn, posed on first need.
struct PosedRings {
    bool placed = false;  // turn, angles, tip and box are set
    bool ready = false;   // the points are posed
    int turn = kTurnNone;
    double angles[2] = {};  // kTurnGivenAngles (deg)
    double trig[4] = {};    // kTurnFirst, kTurnBoth: the placement's sines and cosines
    double tip[3] = {};
    double boxMin[3] = {};
    double boxMax[3] = {};
    std::vector<double> points;  // rings firstRing .. endRing - 1, RingPointCount each
};

// The turn by both rotary angles of given sines and cosines, in the order of the tool axis map:
// on a HEAD machine the second axis first, else the first axis first.
void TurnByBothAngles(const double trig[4], const double v[3], double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    double turned[3];
    if (m.rotaryType == 1) {
        RotateAboutRotaryAxis(m, 1, v, trig[2], trig[3], turned);
        RotateAboutRotaryAxis(m, 0, turned, trig[0], trig[1], out);
    } else {
        RotateAboutRotaryAxis(m, 0, v, trig[0], trig[1], turned);
        RotateAboutRotaryAxis(m, 1, turned, trig[2], trig[3], out);
    }
}

void Turn(const PosedRings& p, const double v[3], double out[3]) {
    switch (p.turn) {
        case kTurnFirst:
            RotateAboutRotaryAxis(CurrentMachine, 0, v, p.trig[0], p.trig[1], out);
            return;
        case kTurnBoth:
            TurnByBothAngles(p.trig, v, out);
            return;
        case kTurnGivenAngles:
            RotateVectorByRotaryAngles(p.angles, v, out);
            return;
        default:
            std::copy(v, v + 3, out);
            return;
    }
}

void Place(const PosedRings& p, const double v[3], double out[3]) {
    double turned[3];
    Turn(p, v, turned);
    Vec3Add(p.tip, turned, out);
}

void PoseBox(const SweepOutline& outline, PosedRings* p) {
    double corners[24];
    ListBoxCorners(outline.boxMin, outline.boxMax, corners);
    for (int k = 0; k < 3; ++k) {
        p->boxMin[k] = 1e12;
        p->boxMax[k] = -1e12;
    }
    for (int c = 0; c < 8; ++c) {
        double q[3];
        Place(*p, corners + 3 * c, q);
        for (int k = 0; k < 3; ++k) {
            p->boxMin[k] = std::min(p->boxMin[k], q[k]);
            p->boxMax[k] = std::max(p->boxMax[k], q[k]);
        }
    }
    p->placed = true;
}

void PoseRings(const SweepOutline& outline, int endRing, PosedRings* p) {
    const int points = (endRing - outline.firstRing) * RingPointCount;
    p->points.resize(static_cast<std::size_t>(points) * 3);
    const double* source = outline.rings + std::int64_t{outline.firstRing} * RingPointCount * 3;
    for (int n = 0; n < points; ++n) {
        Place(*p, source + 3 * n, &p->points[3 * n]);
    }
    if (outline.counters != nullptr) {
        outline.counters->posedPoints += points;
    }
    p->ready = true;
}

// The turn of a kind for the machine's rotary type, when a rotary angle is not 0.
int KindTurn(int kind, int rotaryType) {
    switch (kind) {
        case kStructureTable1:
            return rotaryType == 2 ? kTurnFirst : kTurnBoth;
        case kStructureTable:
            return rotaryType == 1 ? kTurnBoth : kTurnFirst;
        default:
            return kTurnBoth;
    }
}

// 1 when a generator segment of the posed rings meets a facet of the model.
int RingsHitModel(const PosedRings& p, int ringPairs, const StructureModelRef& ref,
                  SweepCheckCounters* counters) {
    const MachineModel& model = *ref.model;
    const bool freeBox = ref.freeMin != nullptr && ref.freeMax != nullptr;
    for (int i = 0; i < ringPairs; ++i) {
        const double* lower = &p.points[std::size_t{3} * i * RingPointCount];
        const double* upper = lower + 3 * RingPointCount;
        for (int j = 0; j < RingPointCount; ++j) {
            const double* p0 = lower + 3 * j;
            const double* p1 = upper + 3 * j;
            double lo[3], hi[3];
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(p0[k], p1[k]);
                hi[k] = std::max(p0[k], p1[k]);
            }
            if (!BoxesOverlap(lo, hi, model.min, model.max) ||
                (freeBox && BoxStrictlyInside(lo, hi, ref.freeMin, ref.freeMax))) {
                continue;
            }
            if (counters != nullptr) {
                ++counters->segmentTests;
            }
            if (SegmentHitsStructureModel(p0, p1, model)) {
                return 1;
            }
        }
    }
    return 0;
}

// The settings and flags of the five kinds, in StructureKind order, for the tool and the holder.
constexpr StructurePair kToolPairs[kStructureKindCount] = {kToolVice, kToolTable2, kToolTable1,
                                                           kToolTable, kToolBasic};
constexpr StructurePair kArborPairs[kStructureKindCount] = {kArborVice, kArborTable2, kArborTable1,
                                                            kArborTable, kArborBasic};

}  // namespace

StepCheckRecords SessionCheckRecords(const KinematicsSessionRecords& kinematics,
                                     const ToolSessionRecords& tools) {
    return {&kinematics.pose, &kinematics.toolValues, &tools.profile};
}

StepCheckRecords SessionCheckRecords(NcSession& session) {
    return {&session.kinematics->pose, &session.kinematics->toolValues, &session.tools->profile};
}

int CheckSweepAgainstStructure(CuttingState& cutting, const StepCheckRecords& records,
                               int firstRing, int endRing, const double boxMin[3],
                               const double boxMax[3], const double position[3]) {
    const StructurePair* pairs = firstRing == 0 ? kToolPairs : kArborPairs;
    int mask = 0;
    for (int kind = 0; kind < kStructureKindCount; ++kind) {
        if (Checks.structurePairs[pairs[kind]] > 0) {
            mask |= 1 << kind;
        }
    }
    if (mask == 0) {
        return 0;
    }
    const ToolProfile& profile = *records.profile;
    SweepOutline outline;
    outline.rings = profile.rotatedMesh;
    outline.ringCount = std::min(profile.pointCount, kProfilePointCapacity);
    outline.firstRing = firstRing;
    outline.endRing = endRing;
    std::copy(boxMin, boxMin + 3, outline.boxMin);
    std::copy(boxMax, boxMax + 3, outline.boxMax);
    outline.counters = &cutting.sweepChecks;
    SweepPlacement at;
    std::copy(position, position + 3, at.machine);
    const MachinePose& pose = *records.pose;
    at.machine[3] = pose.machine.axis[3];
    at.machine[4] = pose.machine.axis[4];
    const int hits = SweepHitsStructures(records, outline, at, mask, StructureModels);
    for (int kind = 0; kind < kStructureKindCount; ++kind) {
        if (hits & (1 << kind)) {
            cutting.flags.structure[pairs[kind]] = 1;
        }
    }
    return 0;
}

int CheckSweepAgainstStructure(CuttingState& cutting, NcSession& session, int firstRing,
                               int endRing, const double boxMin[3], const double boxMax[3],
                               const double position[3]) {
    return CheckSweepAgainstStructure(cutting, SessionCheckRecords(session), firstRing, endRing,
                                      boxMin, boxMax, position);
}

int AnyToolPairOn(int holder) {
    const StructurePair* pairs = holder ? kArborPairs : kToolPairs;
    for (int kind = 0; kind < kStructureKindCount; ++kind) {
        if (Checks.structurePairs[pairs[kind]] > 0) {
            return 1;
        }
    }
    return 0;
}

void CheckStructuresAtStep(CuttingState& cutting, const StepCheckRecords& records,
                           const StockModel* stock) {
    const ToolProfile& p = *records.profile;
    const MachinePose& pose = *records.pose;
    const double* position = pose.machine.axis;
    if (AnyToolPairOn(0)) {
        CheckSweepAgainstStructure(cutting, records, 0, p.cutterPointCount, p.cutterMin,
                                   p.cutterMax, position);
    }
    if (AnyToolPairOn(1) && p.holderBoxGrown && p.cutterPointCount >= 1) {
        CheckSweepAgainstStructure(cutting, records, p.cutterPointCount - 1, p.pointCount,
                                   p.holderMin, p.holderMax, position);
    }
    CheckHead2Model(cutting, pose, stock);
    CheckHead1Model(cutting, pose, stock);
    CheckHeadModel(cutting, pose, stock);
}

void CheckStructuresAtStep(CuttingState& cutting, NcSession& session, const StockModel* stock) {
    CheckStructuresAtStep(cutting, SessionCheckRecords(session), stock);
}

void ComputeSweepTip(const KinematicsToolValues& toolValues, const double machine[5],
                     double tip[3]) {
    double axis[3];
    ComputeToolTipAndAxis(CurrentMachine, toolValues, machine, tip, axis);
}

void ComputeSweepTip(NcSession& session, const double machine[5], double tip[3]) {
    ComputeSweepTip(session.kinematics->toolValues, machine, tip);
}

void MakeBasicPlacement(const double machine[5], double out[5]) {
    std::copy(machine, machine + 5, out);
    for (int k = 0; k < 3; ++k) {
        if (Machine.tableCarries[k]) {
            out[k] = 0.0;
        }
    }
    if (CurrentMachine.rotaryType == 2) {
        out[3] = 0.0;
        out[4] = 0.0;
    } else if (CurrentMachine.rotaryType == 3) {
        out[4] = 0.0;
    }
}

int SweepHitsStructures(NcSession& session, const SweepOutline& outline,
                        const SweepPlacement& placement, int kindMask,
                        const MachineStructureModels& models) {
    return SweepHitsStructures(SessionCheckRecords(session), outline, placement, kindMask, models);
}

int SweepHitsStructures(const StepCheckRecords& records, const SweepOutline& outline,
                        const SweepPlacement& placement, int kindMask,
                        const MachineStructureModels& models) {
    const int endRing = std::min(outline.endRing, outline.ringCount);
    if (outline.rings == nullptr || outline.firstRing < 0 || endRing - outline.firstRing < 2) {
        return 0;
    }
    const int ringPairs = endRing - outline.firstRing - 1;
    const double* m = placement.machine;
    const bool turned = m[3] != 0.0 || m[4] != 0.0;
    thread_local PosedRings posed[4];  // by RingTurn, for the placement
    thread_local PosedRings basic;
    for (PosedRings& p : posed) {
        p.placed = p.ready = false;
    }
    basic.placed = basic.ready = false;
    const KinematicsToolValues& toolValues = *records.toolValues;
    const MachinePose& pose = *records.pose;
    const double trig[4] = {pose.sin1, pose.cos1, pose.sin2, pose.cos2};
    double tip[3];
    ComputeSweepTip(toolValues, m, tip);
    int hits = 0;
    for (int kind = 0; kind < kStructureKindCount; ++kind) {
        if ((kindMask & (1 << kind)) == 0) {
            continue;
        }
        StructureModelList list;
        if (GatherStructureModels(models, kind, &list) == 0) {
            continue;
        }
        PosedRings* p = nullptr;
        if (kind == kStructureBasic) {
            p = &basic;
            if (!p->placed) {
                double copy[5];
                MakeBasicPlacement(m, copy);
                ComputeSweepTip(toolValues, copy, p->tip);
                p->angles[0] = copy[3];
                p->angles[1] = copy[4];
                p->turn = (copy[3] != 0.0 || copy[4] != 0.0) ? kTurnGivenAngles : kTurnNone;
                PoseBox(outline, p);
            }
        } else {
            const int turn = turned ? KindTurn(kind, CurrentMachine.rotaryType) : kTurnNone;
            p = &posed[turn];
            if (!p->placed) {
                p->turn = turn;
                std::copy(trig, trig + 4, p->trig);
                std::copy(tip, tip + 3, p->tip);
                PoseBox(outline, p);
            }
        }
        for (int n = 0; n < list.count; ++n) {
            const StructureModelRef& ref = list.entries[n];
            if (!BoxesOverlap(p->boxMin, p->boxMax, ref.model->min, ref.model->max)) {
                continue;
            }
            // A free box excuses its own model only: an outline strictly inside it cannot touch
            // that model.
            if (ref.freeMin != nullptr && ref.freeMax != nullptr &&
                BoxStrictlyInside(p->boxMin, p->boxMax, ref.freeMin, ref.freeMax)) {
                continue;
            }
            // The rings are posed only when the outline's box reaches a model.
            if (!p->ready) {
                PoseRings(outline, endRing, p);
            }
            if (RingsHitModel(*p, ringPairs, ref, outline.counters)) {
                hits |= 1 << kind;
                break;
            }
        }
    }
    return hits;
}

}  // namespace mirexa
