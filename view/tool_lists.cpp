// The tool's display list: current tool or mounted tools as surfaces of revolution.
#include "view/tool_lists.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "platform/clock.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/machine_lists.h"

namespace mirexa {

namespace {

// The tool-top colour of the current tool: its pen's colour in pen-colour mode.
void ToolTopColor(int pen, float out[4]) {
    if (DisplayModes.toolTopColorMode == 0) {
        const ColorRef color = pen > 0 && pen < 16 ? LiveColors.pens[pen] : LiveColors.work;
        ColorRefToGlColor(color, DisplayModes.toolAlpha, out);
        return;
    }
    for (int i = 0; i < 4; ++i) {
        out[i] = GlColors.toolTop[i];
    }
}

// Draws a profile's rings as quads at the placement (mm), the cutting part in `top`, the shank
// in the tool-side colour and the holder in the arbor colour (or everything in `override`).
void DrawToolMesh(const ToolProfile& profile, int hasHolder, double shankTop,
                  const double placement[3], const float* top, const float* override) {
    if (profile.pointCount < 2 || profile.pointCount > kProfilePointCapacity) {
        return;
    }
    int sideStart = 0, holderStart = 0;
    ToolRingColorStarts(profile, hasHolder, shankTop, &sideStart, &holderStart);
    const int n = kProfileSweepSteps;
    auto vertex = [&](int ring, int k, double out[3]) {
        const double* v = &profile.rotatedMesh[(ring * n + k % n) * 3];
        for (int c = 0; c < 3; ++c) {
            out[c] = (v[c] + placement[c]) / DisplayUnitFactor;
        }
    };
    const float* current = nullptr;
    for (int i = 0; i + 1 < profile.pointCount; ++i) {
        const float* color = override != nullptr ? override
                             : i < sideStart     ? top
                             : i < holderStart   ? GlColors.toolSide
                                                 : GlColors.arbor;
        if (color != current) {
            SetSceneMaterial(color);
            current = color;
        }
        glBegin(GL_QUADS);
        for (int k = 0; k < n; ++k) {
            double p[4][3];
            vertex(i, k, p[0]);
            vertex(i, k + 1, p[1]);
            vertex(i + 1, k + 1, p[2]);
            vertex(i + 1, k, p[3]);
            // The normal from the diagonals (a quad next to the tip is a triangle).
            double d1[3], d2[3], normal[3];
            for (int c = 0; c < 3; ++c) {
                d1[c] = p[2][c] - p[0][c];
                d2[c] = p[3][c] - p[1][c];
            }
            normal[0] = d1[1] * d2[2] - d1[2] * d2[1];
            normal[1] = d1[2] * d2[0] - d1[0] * d2[2];
            normal[2] = d1[0] * d2[1] - d1[1] * d2[0];
            const double length =
                std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
            if (length > 0.0) {
                for (double& c : normal) {
                    c /= length;
                }
            }
            glNormal3dv(normal);
            for (const auto& corner : p) {
                glVertex3dv(corner);
            }
        }
        glEnd();
    }
}

}  // namespace

void ToolRingColorStarts(const ToolProfile& profile, int hasHolder, double shankTop, int* sideStart,
                         int* holderStart) {
    const int count = profile.pointCount;
    *sideStart = profile.cutterPointCount > 0 ? profile.cutterPointCount - 1 : 0;
    *holderStart = count;
    if (!hasHolder) {
        return;
    }
    for (int i = profile.cutterPointCount; i < count && i < kProfilePointCapacity; ++i) {
        if (profile.heights[i] == shankTop) {
            *holderStart = i;
            return;
        }
    }
}

void ToolMeshPlacement(double out[3]) {
    const double length = RunKinematics.toolValues.gaugeLength;
    if (Machine.rotaryType == 1) {
        for (int i = 0; i < 3; ++i) {
            out[i] = -Machine.headPosition[i] - Machine.headOffset[i];
        }
        out[2] -= length;
        return;
    }
    if (CurrentMachine.toolDirectionTilted) {
        for (int i = 0; i < 3; ++i) {
            out[i] = -CurrentMachine.toolDirection[i] * length;
        }
        return;
    }
    out[0] = 0.0;
    out[1] = 0.0;
    out[2] = -length;
}

int MountedToolColorChoice(int toolNumber, int currentToolNumber, int penColorMode) {
    if (penColorMode) {
        return 2;
    }
    return toolNumber == currentToolNumber ? 0 : 1;
}

void BuildCurrentToolList() {
    SceneDirty.tools = 0;
    const std::uint32_t name = FixedListName(kListTools);
    if (name == 0) {
        return;
    }
    DeleteSceneList(name);
    std::lock_guard<const MountedToolsSide> lock(MountedToolsForView);
    if (!RunTools.tool.tool.present || RunTools.profile.pointCount < 2) {
        return;  // no tool: the list stays deleted
    }
    BeginSceneList(name);
    float top[4];
    ToolTopColor(RunTools.tool.pen, top);
    const int state = ViewCallbacks.toolDisplayState ? ViewCallbacks.toolDisplayState() : 1;
    double placement[3];
    ToolMeshPlacement(placement);
    DrawToolMesh(RunTools.profile, RunTools.tool.holder.present ? 1 : 0, RunTools.tool.toolLength,
                 placement, top, state == 0 ? GlColors.background : nullptr);
    EndSceneList();
}

void BuildMountedToolsList() {
    // Wait for the mounted-tools pass to finish selecting its tools, polling every 10 ms.
    std::unique_lock<const MountedToolsSide> lock(MountedToolsForView, std::defer_lock);
    while (!lock.try_lock()) {
        SleepMilliseconds(10);
    }
    SceneDirty.tools = 0;
    if (!BeginSceneList(FixedListName(kListTools))) {
        return;
    }
    const int count = std::min(MountedTools.count, kMountedToolEntries - 1);
    const int current = RunTools.tool.derivedFrom;
    const int penMode = DisplayModes.toolTopColorMode == 0 ? 1 : 0;
    // The head's tool station: the current tool's place with its own length taken back.
    double station[3];
    ToolMeshPlacement(station);
    const double* direction = CurrentMachine.toolDirection;
    const double currentLength = RunKinematics.toolValues.gaugeLength;
    for (int c = 0; c < 3; ++c) {
        station[c] +=
            currentLength * (Machine.rotaryType == 1 ? (c == 2 ? 1.0 : 0.0) : direction[c]);
    }
    for (int i = 1; i <= count; ++i) {
        const int number = MountedTools.list[i];
        if (number < 0 || number >= kMountedToolEntries) {
            continue;
        }
        // Each tool's profile is derived into records of its own: the current tool and the
        // simulation's view of it stay as they are.
        auto tool = std::make_unique<CurrentToolRecord>();
        auto profile = std::make_unique<ToolProfile>();
        if (!DeriveToolGeometry(number, 0.0, tool.get())) {
            continue;
        }
        BuildToolProfile(*tool, 0.0, profile.get());
        // Each tool hangs its own length below its station.
        const double length = Machine.toolHolderOffset + profile->profileTop;
        double placement[3];
        for (int c = 0; c < 3; ++c) {
            placement[c] = station[c] + MountedTools.positions[number][c] - length * direction[c];
        }
        const int choice = MountedToolColorChoice(number, current, penMode);
        float top[4];
        if (choice == 2) {
            ToolTopColor(tool->pen, top);
        } else {
            const float* from = choice == 0 ? GlColors.toolTop : GlColors.arbor;
            for (int c = 0; c < 4; ++c) {
                top[c] = from[c];
            }
        }
        DrawToolMesh(*profile, tool->holder.present ? 1 : 0, tool->toolLength, placement, top,
                     nullptr);
    }
    EndSceneList();
}

}  // namespace mirexa
