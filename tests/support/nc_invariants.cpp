// Invariants of the NC interpreter's run state.
#include "support/nc_invariants.h"

#include <cmath>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/rapid_legs.h"

namespace mirexa::testing {

namespace {

bool Finite(const MotionPosition& p) {
    for (double v : p.axis) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

bool InRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

}  // namespace

std::string CheckNcInvariants() {
    const NcModalState& modal = RunSession.run.modal;
    const MotionRecord& m = RunKinematics.motion;
    if (strnlen(RunSession.line.text, kNcLineCapacity) >= static_cast<size_t>(kNcLineCapacity)) {
        return "line buffer not terminated";
    }
    if (!InRange(RunSession.subprograms.depth, 0, kSubprogramDepthMax)) {
        return "subprogram depth out of range";
    }
    for (int i = 0; i < kSubprogramDepthMax; ++i) {
        const bool open = i < RunSession.subprograms.depth;
        if (!open &&
            (RunSession.subprograms.stream[i] != nullptr || RunSession.subprograms.fromMemory[i])) {
            return "a closed subprogram level still holds a source";
        }
        if (open && RunSession.subprograms.fromMemory[i] &&
            !InRange(RunSession.subprograms.entry[i], 0, ProgramIndex.count - 1)) {
            return "an in-memory level names no subprogram";
        }
        if (open && !RunSession.subprograms.fromMemory[i] &&
            RunSession.subprograms.stream[i] == nullptr) {
            return "a file level has no file";
        }
    }
    const int plane = modal.planeCode < 0 ? -modal.planeCode : modal.planeCode;
    static const PlaneAxes kTriples[3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    if (!InRange(plane, 17, 19)) {
        return "plane code out of range";
    }
    const PlaneAxes& expected = kTriples[plane - 17];
    if (modal.plane.first != expected.first || modal.plane.second != expected.second ||
        modal.plane.normal != expected.normal) {
        return "plane axes do not match the plane code";
    }
    const int cycle = modal.cycleCode;
    if (!(cycle == kNoCycle || cycle == 73 || cycle == 74 || cycle == 76 ||
          InRange(cycle, 81, 89) || InRange(cycle, 200, 209))) {
        return "unknown canned cycle";
    }
    if (!InRange(modal.workOffsetIndex, 0, kWorkOffsetEntries - 1) ||
        !InRange(modal.lengthOffsetNumber, 0, kToolOffsetEntries - 1) ||
        !InRange(modal.radiusOffsetNumber, 0, kToolOffsetEntries - 1) ||
        !InRange(modal.referencePointIndex, 0, kReferencePoints - 1) ||
        !InRange(modal.referenceReturnMode, 0, 3) ||
        !InRange(RunSession.run.reference.phase, 0, 2) ||
        !InRange(modal.feedCode, 0, kFeedMemoryEntries - 1)) {
        return "a table index of the modal state is out of range";
    }
    if (!InRange(modal.nextTool, -1, RunSession.controller.magazineCount)) {
        return "next tool outside the magazine";
    }
    if (!InRange(RunSession.run.status.endState, 0, 2) ||
        !InRange(RunSession.run.status.error, 0, kNcErrorHighest)) {
        return "run status out of range";
    }
    const NcTransformState& t = RunSession.run.transforms;
    if (!InRange(t.rotationCount, 0, 2) || !InRange(t.transformState, 0, 3)) {
        return "rotation stack out of range";
    }
    const NcPendingMoves& p = RunSession.run.pending;
    const int legsMax = p.positioningType == kRapidProfile ? kRapidStepsMax : kRapidLegsMax;
    if (!InRange(p.rapidLegIndex, 0, p.rapidLegCount) || p.rapidLegCount > legsMax ||
        !InRange(p.cyclePointIndex, 0, p.cyclePointCount) || p.cyclePointCount > kCyclePointsMax ||
        !InRange(p.toolChangeIndex, 0, p.toolChangeCount) ||
        p.toolChangeCount > kToolChangeRouteSteps || p.cycle.holesLeft < 0 ||
        !InRange(p.toolAxisIndex, 0, static_cast<int>(p.toolAxisMoves.size())) ||
        p.toolAxisMoves.size() > static_cast<size_t>(kLookaheadQueueMax) ||
        !InRange(p.toolVectorIndex, 0, static_cast<int>(p.toolVectors.size())) ||
        p.toolVectors.size() > static_cast<size_t>(kLookaheadQueueMax)) {
        return "a queue index lies outside its queue";
    }
    if (!Finite(m.start) || !Finite(m.end) || !Finite(m.lastPosition) || !Finite(m.startPoint) ||
        !Finite(RunSession.run.programmed) || !Finite(RunKinematics.workOrigin)) {
        return "a position is not finite";
    }
    const int type = m.motionType;
    if (!(InRange(type, 0, 3) || type == kMotionNurbs)) {
        return "unknown motion type";
    }
    if ((type == 2 || type == 3) && m.blockHasMotion) {
        if (!(m.sweep >= 0.0 && m.sweep <= 2 * M_PI + 1e-12) || !(m.length >= 0.0)) {
            return "arc sweep or length out of range";
        }
        for (const double* v : {m.startRadial, m.endRadial}) {
            const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            if (!(n == 0.0 || std::fabs(n - 1.0) < 1e-9)) {
                return "arc radial vector is not a unit vector";
            }
        }
    }
    if (RunSession.controller.dialect.number == kDialectNormal && !p.workOffsetChangeHeld) {
        MotionPosition origin;
        ComputeWorkOrigin(RunSession, modal.workOffsetIndex, &origin);
        for (int i = 0; i < 5; ++i) {
            if (std::fabs(origin.axis[i] - RunKinematics.workOrigin.axis[i]) > 1e-9) {
                return "work origin differs from its offsets and shifts";
            }
        }
    }
    if (RunKinematics.modes.lengthCompensation != (modal.lengthCompensation != 0 ? 1 : 0)) {
        return "length compensation not published to the kinematics";
    }
    return "";
}

}  // namespace mirexa::testing
