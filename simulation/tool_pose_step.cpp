// The one step of a tool pose: end marks, cut, checks, findings.
#include "simulation/tool_pose_step.h"

#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/interference_flags.h"
#include "simulation/mounted_tools.h"
#include "simulation/structure_checks.h"

namespace mirexa {

ToolPoseFindings CutAndCheckToolPose(CuttingState& cutting, NcSession& session, StockModel* stock,
                                     const ToolPoseStep& step) {
    const CutEndMarkRecord mark =
        MakeCutEndMark(cutting.cutter.penBits, step.rapidMark, step.lineStamp);
    InterferenceFlagSet& flags = cutting.flags;
    if (!step.keepFlags) {
        ClearInterferenceFlags(flags);
    }
    ToolPoseFindings found;
    if (step.work == ToolPoseWork::kCutOnly) {
        const MachinePose& pose = session.kinematics->pose;
        found.removedVolume = CutStockAtToolPose(
            cutting, session, stock, step.point != nullptr ? step.point : pose.tool.point,
            step.axis != nullptr ? step.axis : pose.tool.axis, mark);
        found.raysVisited = cutting.pose.raysVisited;
    } else if (CurrentToolHasMountedTools(session.tools->tool) != 0) {
        found.removedVolume = CutAndCheckMountedTools(cutting, session, stock, mark);
    } else {
        const MachinePose& pose = session.kinematics->pose;
        found.removedVolume =
            CutStockAtToolPose(cutting, session, stock, pose.tool.point, pose.tool.axis, mark);
        found.raysVisited = cutting.pose.raysVisited;
        found.plainCut = true;
        CheckStructuresAtStep(cutting, SessionCheckRecords(*session.kinematics, *session.tools),
                              stock);
    }
    if (step.cycleMove) {
        flags.contact = 0;
    }
    found.contact = flags.contact != 0;
    found.cuttingAlarm = AnyCuttingAlarmFlagSet(flags) != 0;
    found.interference = AnyInterferenceFlagSet(flags) != 0;
    return found;
}

}  // namespace mirexa
