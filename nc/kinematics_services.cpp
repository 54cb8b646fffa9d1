// Interpreter services that set the kinematics inputs.
#include "nc/kinematics_services.h"

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/controller_dialects.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

// Entries of the run's copy of the work offset table; an index outside it reads as zeros.
void ReadWorkOffsetTableEntry(int index, double out[5]) {
    for (int i = 0; i < 5; ++i) {
        out[i] = (index >= 0 && index < kWorkOffsetEntries)
                     ? RunSession.run.transforms.workOffsets[index].axis[i]
                     : 0.0;
    }
}

int CurrentWorkOffsetIndex() {
    return RunSession.run.modal.workOffsetIndex;
}

}  // namespace

void InstallWorkOffsetSource() {
    WorkOffsetSource.readEntry = ReadWorkOffsetTableEntry;
    WorkOffsetSource.currentIndex = CurrentWorkOffsetIndex;
}

void ReadCurrentWorkOffset(NcSession& session, double out[3]) {
    const int index = session.run.modal.workOffsetIndex;
    const MotionPosition* table = session.run.transforms.workOffsets;
    for (int i = 0; i < 3; ++i) {
        out[i] = table[0].axis[i];
        if (index > 0 && index < kWorkOffsetEntries) {
            out[i] += table[index].axis[i];
        }
    }
}

MotionPosition ActiveWorkOrigin(NcSession& session) {
    return WorkOffsetSum(session.run.transforms.workOffsets, session.run.modal.workOffsetIndex);
}

void ApplyCurrentWorkOffset(NcSession& session) {
    session.kinematics->workOrigin = ActiveWorkOrigin(session);
    UpdateToolMatrixWithWorkOffset(session.run.transforms.workOffsets,
                                   session.run.modal.workOffsetIndex);
}

void SetToolVectorFromAngle(NcSession& session, double angle) {
    const double length = session.kinematics->toolValues.lengthOffset;
    double* v = session.kinematics->toolValues.fixedHeadOffset;
    // MAZAK: the head flag is the machine's head rotation or the head angle mode set by P1.
    const bool head = CurrentMachine.headRotation || session.dialect.mazakHeadAngleMode;
    if (KinematicsController.mazak && !KinematicsController.lathe && !head) {
        v[0] = 0.0, v[1] = 0.0, v[2] = length;
        return;
    }
    double s = 0, c = 1;
    SinCosDegrees(angle, 1, &s, &c);
    v[0] = s * length, v[1] = 0.0, v[2] = c * length;
}

void SetRotaryShortestPath(NcSession& session, int on) {
    const MachineGeometry& m = CurrentMachine;
    for (int k = 0; k < 2; ++k) {
        // A locked axis, and an axis whose enabled stroke spans less than a full turn, keep
        // their flag: the shorter way round may not exist on them.
        const StrokeLimits& s = m.strokes;
        const bool limited = s.enabled[3 + k] && !(s.max[3 + k] - s.min[3 + k] >= 360.0);
        if (!m.shortestPathLock[k] && !limited) {
            session.kinematics->modes.shortestPath[k] = on ? 1 : 0;
        }
    }
}

}  // namespace mirexa
