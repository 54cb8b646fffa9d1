// The kinematics inputs that a cutting run keeps up to date: the run mode, the table frame of
// tool centre point control and the programmed-angles flag.
#include "simulation/run_kinematics.h"

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_source_location.h"
#include "simulation/run_control.h"

namespace mirexa {

namespace {

// Moves the program's rotary values (deg) where the machine stands by `by`: the start-side
// registers always, the block's end only on the rotary axes that the block does not name (a named
// value is already given in the new frame).
void ShiftRotaryValues(const double by[2]) {
    MotionRecord& m = CurrentMotion;
    for (int k = 0; k < 2; ++k) {
        const double d = by[k];
        if (d == 0.0) {
            continue;
        }
        const int i = 3 + k;
        CurrentMachinePose.program.axis[i] += d;
        m.start.axis[i] += d;
        m.lastPosition.axis[i] += d;
        m.startPoint.axis[i] += d;
        if (NcRun.block.axisNamed[i] == 0) {
            m.end.axis[i] += d;
            NcRun.programmed.axis[i] += d;
        }
    }
}

}  // namespace

void BeginRunKinematics(const std::string& path) {
    KinematicsMode.runMode = RunControl.runMode.load();
    CurrentNcSource = NcSourceLocation{};
    CurrentNcSource.programPath = path;
}

void EndRunKinematics() {
    KinematicsMode.runMode = 0;
    KinematicsMode.keepProgrammedAngles = 0;
}

void FollowToolCentreSwitch(BlockLoopState* loop) {
    const bool on = NcRun.modal.toolCenterPointMode != 0;
    if (on && loop->toolCentreFrame == 0) {
        const MotionPosition& program = CurrentMachinePose.program;
        const double angles[2] = {program.axis[3], program.axis[4]};
        FillTcpTableFrame(angles);
        loop->toolCentreFrame = 1;
        const double by[2] = {-TcpTable.referenceAngle[0], -TcpTable.referenceAngle[1]};
        ShiftRotaryValues(by);
    } else if (!on && loop->toolCentreFrame != 0) {
        const double by[2] = {TcpTable.referenceAngle[0], TcpTable.referenceAngle[1]};
        ShiftRotaryValues(by);
        TcpTable = TcpTableFrame{};
        loop->toolCentreFrame = 0;
    }
}

void SetKeepProgrammedAngles(int planeAngles) {
    KinematicsMode.keepProgrammedAngles = planeAngles != 0 && CurrentWorkPlane.active != 0 ? 1 : 0;
}

}  // namespace mirexa
