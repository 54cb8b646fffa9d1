// The tool's display list: the current tool with its holder, or every mounted tool, as surfaces
// of revolution from the tool profile's rings; and the lock that keeps the mounted-tool drawing
// and the simulation thread's mounted-tools pass from selecting tools at the same time.
#pragma once

#include <mutex>

#include "config/tool_profile.h"
#include "simulation/mounted_tools.h"
#include "view/view_hooks.h"

namespace mirexa {

// The mounted-tool drawing selects tools one after another; it holds the view's side of the
// simulation's mounted-tools owner word (MountedToolsForView) while it does.

// The rings of a profile where the tool-side colour and the arbor colour begin: the quad
// between rings i and i + 1 takes the tool-top colour while i < sideStart, the tool-side colour
// while i < holderStart, else the arbor colour. sideStart is the last ring of the cutting part;
// with a holder, holderStart is the shank's top ring (at shankTop mm, the tool length; the
// first holder ring follows it), else the ring count.
void ToolRingColorStarts(const ToolProfile& profile, int hasHolder, double shankTop, int* sideStart,
                         int* holderStart);

// Where the current tool's mesh is placed in the head's frame (mm): on a ROTARY TYPE 1 machine
// at -HEAD POSITION - HEAD OFFSET with the tool length subtracted along Z; with a TOOL
// DIRECTION at -direction * tool length; otherwise at -tool length along Z. The tool length is
// the gauge length of the current tool.
void ToolMeshPlacement(double out[3]);

// Which colour the mounted tool takes: 0 tool top, 1 arbor. In pen-colour mode (TOOL-TOP
// COLOR MODE 0) every tool takes the pen colour (returned as 2).
int MountedToolColorChoice(int toolNumber, int currentToolNumber, int penColorMode);

// List 4 (RenderScene calls them when the tools flag is set). The current tool: nothing when no
// tool is selected; in the background colour when the NC program's tool display state is 0.
void BuildCurrentToolList();
// Every tool of the mounted-tool list (MountedTools) at its station, each hanging its own length
// below it along the tool direction. Holds MountedToolsForView (polling its try-lock every
// 10 ms) while it reads the tools; each tool's profile is derived into records of its own, so
// the current tool is never changed.
void BuildMountedToolsList();

}  // namespace mirexa
