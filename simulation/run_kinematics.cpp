// The kinematics inputs that a cutting run keeps up to date: the run mode, the table frame of
// tool centre point control and the programmed-angles flag.
#include "simulation/run_kinematics.h"

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_source_location.h"
#include "simulation/run_control.h"

namespace mirexa {

namespace {

// Moves the program's rotary values (deg) where the machine stands by `by`: the start-side
// registers always, the block's end only on the rotary axes that the block does not name (a named
// value is already given in the new frame).
void ShiftRotaryValues(NcSession& session, const double by[2]) {
    MotionRecord& m = session.kinematics->motion;
    for (int k = 0; k < 2; ++k) {
        const double d = by[k];
        if (d == 0.0) {
            continue;
        }
        const int i = 3 + k;
        session.kinematics->pose.program.axis[i] += d;
        m.start.axis[i] += d;
        m.lastPosition.axis[i] += d;
        m.startPoint.axis[i] += d;
        if (session.run.block.axisNamed[i] == 0) {
            m.end.axis[i] += d;
            session.run.programmed.axis[i] += d;
        }
    }
}

}  // namespace

void BeginRunKinematics(NcSession& session, const std::string& path, RunMode mode,
                        BatchRunKind batchKind) {
    session.kinematics->modes.runMode = mode;
    session.kinematics->modes.batchKind = batchKind;
    session.location = NcSourceLocation{};
    session.location.programPath = path;
}

void EndRunKinematics(NcSession& session) {
    session.kinematics->modes.runMode = RunMode::kIdle;
    session.kinematics->modes.batchKind = BatchRunKind::kNone;
    session.kinematics->modes.keepProgrammedAngles = 0;
}

void FollowToolCentreSwitch(NcSession& session, BlockLoopState* loop) {
    const bool on = session.run.modal.toolCenterPointMode != 0;
    if (on && loop->toolCentreFrame == 0) {
        const MotionPosition& program = session.kinematics->pose.program;
        const double angles[2] = {program.axis[3], program.axis[4]};
        FillTcpTableFrame(*session.kinematics, angles);
        loop->toolCentreFrame = 1;
        const double by[2] = {-session.kinematics->tcp.referenceAngle[0],
                              -session.kinematics->tcp.referenceAngle[1]};
        ShiftRotaryValues(session, by);
    } else if (!on && loop->toolCentreFrame != 0) {
        const double by[2] = {session.kinematics->tcp.referenceAngle[0],
                              session.kinematics->tcp.referenceAngle[1]};
        ShiftRotaryValues(session, by);
        session.kinematics->tcp = TcpTableFrame{};
        loop->toolCentreFrame = 0;
    }
}

void SetKeepProgrammedAngles(NcSession& session, int planeAngles) {
    session.kinematics->modes.keepProgrammedAngles =
        planeAngles != 0 && session.kinematics->plane.active != 0 ? 1 : 0;
}

}  // namespace mirexa
