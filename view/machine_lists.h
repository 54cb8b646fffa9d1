// Builders of the machine's display lists: the base models, the table and head parts, the
// rotary tables and heads (from their STL files, or default solids where a rotary part has no
// file) and the vices; with the list and material helpers the other builders share.
//
// Every builder deletes its list when it exists, compiles it anew and clears its dirty flag.
// Lengths are drawn in display units (mm / DisplayUnitFactor).
#pragma once

#include <cstdint>

namespace mirexa {

// The radius R (mm) that sizes the default rotary tables; 80 at start, set by the shell from
// the stock's size whenever a stock is made.
extern double DefaultTableRadius;

// --- Helpers of every builder ---------------------------------------------------------------

// Deletes the named list when it exists (nothing for name 0).
void DeleteSceneList(std::uint32_t name);
// 1 when the fixed list id (display_lists.h) was built in the current context and not deleted
// since.
int IsFixedListBuilt(int id);
// Forgets which fixed lists were built; called when the context that holds them goes.
void ForgetBuiltFixedLists();
// Deletes the named list when it exists and opens it for compiling. 0 without a list base.
int BeginSceneList(std::uint32_t name);
void EndSceneList();
// Sets diffuse and ambient of both faces to the colour.
void SetSceneMaterial(const float rgba[4]);
// Draws an STL file's facets as triangles at the offset (mm), in display units. Nothing for a
// file that is not readable as STL.
void DrawStlModel(const char* path, const double offset[3]);

// The outline radius (mm) of the current tool's last profile ring; 0 when no tool is selected
// or its profile is empty.
double CurrentToolOutlineRadius();

// --- Builders (RenderScene calls them when their flag is set) -------------------------------

void BuildMachineBaseModelsList();  // list 3
void BuildTablePartLists();         // lists 21-24
void BuildViceList();               // list 27
void BuildHeadPartLists();          // lists 11-17
void BuildHead1PartList();          // list 18
void BuildHead2PartList();          // list 19
void BuildTable1PartList();         // list 25
void BuildTable2PartList();         // list 26

}  // namespace mirexa
