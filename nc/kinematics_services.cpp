// Interpreter services that set the kinematics inputs.
#include "nc/kinematics_services.h"

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/controller_dialects.h"
#include "nc/nc_run_state.h"

namespace mirexa {

namespace {

// Entries of the run's copy of the work offset table; an index outside it reads as zeros.
void ReadWorkOffsetTableEntry(int index, double out[5]) {
    for (int i = 0; i < 5; ++i) {
        out[i] = (index >= 0 && index < kWorkOffsetEntries)
                     ? NcRun.transforms.workOffsets[index].axis[i]
                     : 0.0;
    }
}

int CurrentWorkOffsetIndex() {
    return NcRun.modal.workOffsetIndex;
}

}  // namespace

void InstallWorkOffsetSource() {
    WorkOffsetSource.readEntry = ReadWorkOffsetTableEntry;
    WorkOffsetSource.currentIndex = CurrentWorkOffsetIndex;
}

void ReadCurrentWorkOffset(double out[3]) {
    const int index = NcRun.modal.workOffsetIndex;
    const MotionPosition* table = NcRun.transforms.workOffsets;
    for (int i = 0; i < 3; ++i) {
        out[i] = table[0].axis[i];
        if (index > 0 && index < kWorkOffsetEntries) {
            out[i] += table[index].axis[i];
        }
    }
}

MotionPosition ActiveWorkOrigin() {
    const int index = NcRun.modal.workOffsetIndex;
    const MotionPosition* table = NcRun.transforms.workOffsets;
    MotionPosition origin = table[0];
    if (index > 0 && index < kWorkOffsetEntries) {
        for (int i = 0; i < 5; ++i) {
            origin.axis[i] += table[index].axis[i];
        }
    }
    return origin;
}

void ApplyCurrentWorkOffset() {
    WorkOrigin = ActiveWorkOrigin();
    UpdateToolMatrixWithWorkOffset();
}

void SetToolVectorFromAngle(double angle) {
    const double length = CurrentToolValues.lengthOffset;
    double* v = CurrentToolValues.fixedHeadOffset;
    // MAZAK: the head flag is the machine's head rotation or the head angle mode set by P1.
    const bool head = CurrentMachine.headRotation || DialectState.mazakHeadAngleMode;
    if (KinematicsController.mazak && !KinematicsController.lathe && !head) {
        v[0] = 0.0, v[1] = 0.0, v[2] = length;
        return;
    }
    double s = 0, c = 1;
    SinCosDegrees(angle, 1, &s, &c);
    v[0] = s * length, v[1] = 0.0, v[2] = c * length;
}

void SetRotaryShortestPath(int on) {
    const MachineGeometry& m = CurrentMachine;
    for (int k = 0; k < 2; ++k) {
        // A locked axis, and an axis whose enabled stroke spans less than a full turn, keep
        // their flag: the shorter way round may not exist on them.
        const StrokeLimits& s = m.strokes;
        const bool limited = s.enabled[3 + k] && !(s.max[3 + k] - s.min[3 + k] >= 360.0);
        if (!m.shortestPathLock[k] && !limited) {
            KinematicsMode.shortestPath[k] = on ? 1 : 0;
        }
    }
}

}  // namespace mirexa
