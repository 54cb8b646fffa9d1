// The cut and the checks of one tool pose, the one step that the run makes at each point of a
// move, the jog at each increment and the control point dialog where it places the tool. The step
// clears the interference flags, marks the ends it makes, cuts the session's tool (or, with a
// mounted-tool list, every mounted tool) from the stock, runs the structure checks and answers
// with what it found; the caller decides what that means (an alarm step, a jog that stops, a
// point refused).
#pragma once

#include <cstdint>

namespace mirexa {

struct CuttingState;
struct NcSession;
struct StockModel;

// What a step does at its pose.
enum class ToolPoseWork : std::int32_t {
    kCutAndCheck,  // the cut of the tool or of its mounted tools, then the structure checks
    kCutOnly,      // the cut of the current tool alone (a NURBS point, a turning revolution)
};

// One step's request.
struct ToolPoseStep {
    ToolPoseWork work = ToolPoseWork::kCutAndCheck;
    // The new ends carry the tool's pen with the rapid paint, or the pen alone, and this NC line
    // stamp (0 for the ends a person's placing of the tool makes).
    bool rapidMark = false;
    std::int32_t lineStamp = 0;
    // A canned cycle's own move: the material it meets is the cycle's, not a contact.
    bool cycleMove = false;
    // The flags of the earlier poses of the same step stand (the angles of a turning revolution).
    bool keepFlags = false;
    // The tool point and unit axis in work coordinates; null: the session's pose. Used by
    // kCutOnly only.
    const double* point = nullptr;
    const double* axis = nullptr;
};

// What one step found.
struct ToolPoseFindings {
    double removedVolume = 0.0;  // mm^3 by the current tool (its shank and holder passes too)
    std::int64_t raysVisited = 0;
    bool contact = false;       // the tool removed material
    bool cuttingAlarm = false;  // arbor, taper, attachment, over-length or over-chip
    bool interference = false;  // a structure pair touched
    bool plainCut = false;      // the current tool alone was cut and checked at the pose
};

// Cuts and checks one pose of the session's tool in the stock (null or without a grid: nothing is
// cut, the checks still run) with the cutting state given: its cutter, pose and views. Leaves the
// flags of the step in the state's flags for the messages and reports that name them.
ToolPoseFindings CutAndCheckToolPose(CuttingState& cutting, NcSession& session, StockModel* stock,
                                     const ToolPoseStep& step);

}  // namespace mirexa
