// The tool profile: the current tool's outline as (radius, height) points from the tip upward
// (cutter, shank, holder), swept about the tool axis into a mesh of 36 steps, with the boxes of
// the cutting part and of the holder part, the profile top and the tool-top height.
#pragma once

#include <cstdint>

#include "config/current_tool.h"

namespace mirexa {

inline constexpr int kProfilePointCapacity = 46;
inline constexpr int kProfileSweepSteps = 36;  // 10 degrees each
inline constexpr int kProfileMeshDoubles = kProfilePointCapacity * kProfileSweepSteps * 3;

// Fixed arrays: the point counts are bounded by the sampling limits, so nothing is allocated
// per selection or per reading of the tools file.
struct ToolProfile {
    double radii[kProfilePointCapacity] = {};    // mm
    double heights[kProfilePointCapacity] = {};  // mm from the tip
    std::int32_t cutterPointCount = {};          // points 0 .. count - 1 form the cutting part
    std::int32_t pointCount = {};                // all points
    std::int32_t vertexCount = {};               // pointCount * 36
    // Vertex v of profile point i at sweep step k is mesh[(i * 36 + k) * 3 ...]: the swept
    // mesh, the same turned for an angled head, and an array kept for the drawing code.
    double mesh[kProfileMeshDoubles] = {};
    double rotatedMesh[kProfileMeshDoubles] = {};
    double drawingMesh[kProfileMeshDoubles] = {};
    double cutterMin[3] = {};
    double cutterMax[3] = {};
    double cutterCorners[24] = {};
    int holderBoxGrown = {};
    double holderMin[3] = {};
    double holderMax[3] = {};
    double holderCorners[24] = {};
    double profileTop = {};     // the last height
    double toolTopHeight = {};  // TOOL HOLDER OFFSET + profile top (also the kinematics' G)
    int droppedPoints = {};     // points beyond the capacity (0 for every valid tool)
};

// The tool one interpretation mounts: the selected tool and its profile. The run owns one
// (RunTools); the tool path owns its own and binds it on its thread.
struct ToolSessionRecords {
    CurrentToolRecord tool = {};
    ToolProfile profile = {};
};
// The tool records of the run's session (RunSession).
extern ToolSessionRecords RunTools;

// Builds the profile of a tool from its derived values at the dexel pitch (mm; 0 or less
// samples the arcs with their fewest points), turned for the machine's angled head. A tool that
// is not present gives the tool-top height 0 and nothing else. SelectCurrentTool hands the
// tool-top height of the current tool to the kinematics and marks the display lists.
void BuildToolProfile(const CurrentToolRecord& tool, double pitch, ToolProfile* profile);

// (x, y) turned by a degrees: exactly (-y, x) at 90 and (y, -x) at -90.
void RotatePointDegrees(double a, double x, double y, double* outX, double* outY);

}  // namespace mirexa
