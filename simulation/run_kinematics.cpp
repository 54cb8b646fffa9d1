// The kinematics inputs that a cutting run keeps up to date: run mode, source location, the
// table frame of tool centre point control and the programmed-angles flag.
#include "simulation/run_kinematics.h"

#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
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

void NoteNcSourceLocation() {
    NcSourceLocation& source = CurrentNcSource;
    const int depth = Subprograms.depth;
    source.inSubprogram = depth > 0 ? 1 : 0;
    if (depth > 0 && depth <= kSubprogramDepthMax) {
        source.subprogramName = Subprograms.name[depth - 1];
        source.subprogramLine = Subprograms.lineCounter[depth - 1];
    } else {
        source.subprogramName.clear();
        source.subprogramLine = 0;
    }
    source.mainLine = NcLine.mainLineNumber;
    const int length = NcLine.length > 0 && NcLine.length < kNcLineCapacity ? NcLine.length : 0;
    source.blockText.assign(NcLine.text, static_cast<std::size_t>(length));
    while (!source.blockText.empty() &&
           (source.blockText.back() == '\n' || source.blockText.back() == '\r' ||
            source.blockText.back() == '\0')) {
        source.blockText.pop_back();
    }
    source.blockText += '\n';
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
