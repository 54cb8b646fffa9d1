// The brief of the current tool that the tool-length report line and the motion snapshot read:
// its number, where it came from and the parts of it the report names.
#pragma once

namespace mirexa {

// Filled whenever a tool becomes current: by the simulation thread from the tools file, and by
// the NC communication plug-in queries when a plug-in gives the tool; the shell clears the
// plug-in mark when another program is chosen or NC communication is switched off.
struct CurrentToolBrief {
    int number = 1;       // tool number
    int fromPlugin = {};  // 1: given by an NC communication plug-in
    int hasHolder = {};   // 1: a holder outline (an ARBOR profile or a holder file)
    int lengthKind = {};  // length record: 1 LENGTH, 2 LENGTH2, 3 LENGTH3, 0 none
    int shapeType = {};   // 5 VERTICAL and 9 RADIUS get a tip part; see ToolRecord
};
extern CurrentToolBrief CurrentToolState;

}  // namespace mirexa
