// The one step of a tool pose: end marks, cut, checks, findings.
#include "simulation/tool_pose_step.h"

#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "simulation/simulation_hooks.h"

namespace mirexa {

ToolPoseFindings CutAndCheckToolPose(NcSession& session, StockModel* stock,
                                     const ToolPoseStep& step) {
    const CutEndMarkRecord mark =
        MakeCutEndMark(CurrentCutter.penBits, step.rapidMark, step.lineStamp);
    if (!step.keepFlags) {
        ClearInterferenceFlags();
    }
    ToolPoseFindings found;
    const SimulationHooks& hooks = SimulationCallbacks;
    if (step.work == ToolPoseWork::kCutOnly) {
        const MachinePose& pose = session.kinematics->pose;
        found.removedVolume =
            CutStockAtToolPose(session, stock, step.point != nullptr ? step.point : pose.tool.point,
                               step.axis != nullptr ? step.axis : pose.tool.axis, mark);
        found.raysVisited = CutPose.raysVisited;
    } else if (hooks.currentToolHasMountedTools != nullptr &&
               hooks.currentToolHasMountedTools(session) != 0 &&
               hooks.cutAndCheckMountedTools != nullptr) {
        found.removedVolume = hooks.cutAndCheckMountedTools(session, stock, mark);
    } else {
        const MachinePose& pose = session.kinematics->pose;
        found.removedVolume =
            CutStockAtToolPose(session, stock, pose.tool.point, pose.tool.axis, mark);
        found.raysVisited = CutPose.raysVisited;
        found.plainCut = true;
        if (hooks.checkStructures != nullptr) {
            hooks.checkStructures(session);
        }
    }
    if (step.cycleMove) {
        InterferenceFlags.contact = 0;
    }
    found.contact = InterferenceFlags.contact != 0;
    found.cuttingAlarm = AnyCuttingAlarmFlagSet() != 0;
    found.interference = AnyInterferenceFlagSet() != 0;
    return found;
}

}  // namespace mirexa
