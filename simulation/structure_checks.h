// Structure and fixture check of the tool and its holder: the outline rings of the tool profile
// posed at a machine position and their generator segments (point j of ring i to point j of ring
// i + 1) tested against the VICE, TABLE2, TABLE1, TABLE and BASIC models.
//
// Frame of the rings: the profile's rings are measured from the tool tip along the tool axis
// (mm). A ring point is posed as tip + turn(point), where tip is the tool point that the forward
// kinematics gives for the machine position and angles, and turn is the pair's rotation (none
// when both rotary angles are exactly 0):
//   VICE, TABLE2   both rotary angles
//   TABLE1         the first angle only on a TABLE machine (ROTARY TYPE 2), else both
//   TABLE          both on a HEAD machine (ROTARY TYPE 1), else the first angle only
//   BASIC          both, by the BASIC copy: the machine position with each axis the table
//                  carries (MOVE(X/Y/Z) = TABLE) set to 0, and on a TABLE machine both angles,
//                  on a MIX machine the second angle, set to 0; the tip is taken at that copy.
// The outline box of a pair is the unposed box's eight corners posed the same way.
//
// Threads: the simulation thread (and the control-point dialog while no run is active).
#pragma once

#include <cstdint>

#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"

namespace mirexa {

struct CuttingState;
struct NcSession;
struct StockModel;

// Points per outline ring.
inline constexpr int RingPointCount = kProfileSweepSteps;

// --- The checks of a step
// -------------------------------------------------------------------------

// What a check of a step reads of its session: the step's pose (its rotary angles and their
// cached sines and cosines), the tool values of the kinematics and the tool's profile.
struct StepCheckRecords {
    const MachinePose* pose = {};
    const KinematicsToolValues* toolValues = {};
    const ToolProfile* profile = {};
};
// The records of a session.
StepCheckRecords SessionCheckRecords(const KinematicsSessionRecords& kinematics,
                                     const ToolSessionRecords& tools);
StepCheckRecords SessionCheckRecords(NcSession& session);

// Tests rings firstRing .. endRing - 1 of the records' (or the session's) tool profile (each joined
// to the next) at the machine position (X, Y, Z, mm) and the rotary angles of the records' pose.
// firstRing 0 takes the TOOL pair settings and flags ("TOOL-VICE CHECK" ...), a larger one the
// ARBOR ones. boxMin and boxMax bound the unposed outline. Each pair whose setting is on and whose
// models exist is tested; a hit sets its structure flag in the state's flags (at most one flag
// per pair and call), and the state's sweep counters count the work. Returns 0.
int CheckSweepAgainstStructure(CuttingState& cutting, const StepCheckRecords& records,
                               int firstRing, int endRing, const double boxMin[3],
                               const double boxMax[3], const double position[3]);
int CheckSweepAgainstStructure(CuttingState& cutting, NcSession& session, int firstRing,
                               int endRing, const double boxMin[3], const double boxMax[3],
                               const double position[3]);

// 1 when any TOOL pair (tool 0) or ARBOR pair (tool 1) is on.
int AnyToolPairOn(int holder);

// The structure checks of one step (the simulation thread's hook): the tool rings (the cutting
// part), the holder rings (from the cutting part's last ring to the top, shank included) at the
// machine position of the records' pose, each only when one of its pairs is on, then the three
// head checks at that pose against the stock given (the step's), all on the state given. Given a
// session, its records.
void CheckStructuresAtStep(CuttingState& cutting, const StepCheckRecords& records,
                           const StockModel* stock);
void CheckStructuresAtStep(CuttingState& cutting, NcSession& session, const StockModel* stock);

// Counters for tests: segments scanned against a model, ring points posed
// (CuttingState::sweepChecks).
struct SweepCheckCounters {
    std::int64_t segmentTests = {};
    std::int64_t posedPoints = {};
};

// The outline to test: rings [firstRing, endRing) of a ring array (RingPointCount points of
// three doubles per ring, ringCount rings held), with the box of the unposed outline, and where
// the work of its test is counted (null: not counted).
struct SweepOutline {
    const double* rings = {};
    std::int32_t ringCount = {};
    std::int32_t firstRing = {};
    std::int32_t endRing = {};
    double boxMin[3] = {};
    double boxMax[3] = {};
    SweepCheckCounters* counters = {};
};

// Where and how the outline stands: the machine position (X, Y, Z, rotary 1, rotary 2; mm,
// deg). The rotations of the pairs read the sines and cosines of the records' pose (or the
// session's), which must be those of these angles.
struct SweepPlacement {
    double machine[5] = {};
};

// Tests the outline against the models of every kind whose bit (1 << StructureKind) is set in
// kindMask, in the order VICE, TABLE2, TABLE1, TABLE, BASIC, the tool point by the records' tool
// values. Per kind the first hit ends the kind. Joins ring i
// to ring i + 1 for i = firstRing .. endRing - 2 only, with endRing limited to the rings held;
// fewer than two rings test nothing. Returns the mask of the kinds hit.
int SweepHitsStructures(const StepCheckRecords& records, const SweepOutline& outline,
                        const SweepPlacement& placement, int kindMask,
                        const MachineStructureModels& models);
int SweepHitsStructures(NcSession& session, const SweepOutline& outline,
                        const SweepPlacement& placement, int kindMask,
                        const MachineStructureModels& models);

// The tool point of the forward kinematics for a machine position (mm) with the tool values.
void ComputeSweepTip(const KinematicsToolValues& toolValues, const double machine[5],
                     double tip[3]);
void ComputeSweepTip(NcSession& session, const double machine[5], double tip[3]);

// The BASIC copy of a machine position (see the file comment).
void MakeBasicPlacement(const double machine[5], double out[5]);

}  // namespace mirexa
