// The stock's display lists. Surfaces and wire-frames are re-meshed per display block, only
// where the stock changed, into one list per block and undo slot; the end-point and diagnostic
// styles put the whole stock into the stock's style list. The surface of a block is the one the
// STL export writes (the same cap rectangles on the grid's outer faces and the same cell
// polygons from the cell edge analysis), coloured per triangle from the dexel end flags.
//
// Coordinates: grid points (mm) are placed by the stock's frame and divided by
// DisplayUnitFactor.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "stock/stock_model.h"
#include "stockio/cell_edges.h"
#include "stockio/surface_extraction.h"
#include "view/display_lists.h"

namespace mirexa {

// Stock display styles (MESH MODE).
enum StockDisplayStyle : int {
    kStockStyleSurfaces = 0,
    kStockStyleWireFrame = 1,
    kStockStyleXEndPoints = 2,
    kStockStyleYEndPoints = 3,
    kStockStyleZEndPoints = 4,
    kStockStyleAllEndPoints = 5,
    kStockStyleDiagnostic = 6,
};

// Material of a stock primitive: kStockMaterialPaint, or a pen 0..15 (0 the work colour).
constexpr int kStockMaterialPaint = -1;

// The colour of a triangle from the end flags of its three points: the paint colour when all
// three are painted; else, when all three carry a pen (flag >= 16) and at least two pens agree,
// that pen; else pen 0.
int DexelTriangleMaterial(DexelEndFlag f0, DexelEndFlag f1, DexelEndFlag f2);
// The colour of a cap rectangle whose corners share one flag: paint when bit 0 is set, else its
// pen (0 the work colour).
int DexelRectangleMaterial(DexelEndFlag flag);

// --- Output of the mesher --------------------------------------------------------------------

// One primitive in display units: a triangle (3 vertices) or a cap rectangle given as its two
// triangles (6 vertices), with one normal (not necessarily unit) and one material.
struct DexelMeshPrimitive {
    int vertexCount = {};
    double vertices[6][3] = {};
    double normal[3] = {};
    int material = {};
};

// Where the mesher's primitives go. open is called before the first primitive of a list (the
// list of a block with nothing to show is never opened), close after its last one.
struct DexelMeshOutput {
    void* context = {};
    void (*open)(void* context, std::uint32_t listName, int wireFrame) = {};
    void (*primitive)(void* context, const DexelMeshPrimitive& primitive) = {};
    void (*close)(void* context) = {};
};
// The OpenGL output: compiles the named list (deleting an older list of that name): surfaces as
// GL_TRIANGLES with one material call per change of colour, wire-frames as one coloured
// GL_LINE_LOOP per primitive.
DexelMeshOutput GlDexelMeshOutput();

// --- Mesh state ------------------------------------------------------------------------------

// The mesh state of one stock between PrepareDexelMeshBuffers and FreeDexelMeshBuffers: the
// placement, the first and last ends of every ray (per family) and the cap marks of the six
// outer faces (18 arrays), the memo of silent cell patterns, and the list being filled.
// A cap rectangle of an outer face: the face, its node index ranges along the face's in-face
// axes a = (n + 1) % 3 and b = (n + 2) % 3 (normal axis n) and its material colour.
struct DexelCapRectangle {
    int face = {};
    int a0 = {};
    int a1 = {};
    int b0 = {};
    int b1 = {};
    int material = {};
};

struct DexelMeshBuffers {
    const StockModel* model = {};
    MeshTransform transform = {};
    NodeSnap weld[3] = {};     // the weld of the cells' points, as the saved surface's
    DexelEndMap ends[3] = {};  // families 0 X, 1 Y, 2 Z
    StockCapMarks marks = {};
    std::unique_ptr<double[]> endValues[6] = {};
    std::unique_ptr<DexelEndFlag[]> endFlags[6] = {};
    std::unique_ptr<std::uint8_t[]> markArrays[6] = {};
    std::unique_ptr<CellPatternMemo> memo = {};
    // The cap rectangles of the range being meshed, the points on the outer planes that their
    // sides take (held: false when memory for them ran out) and a rectangle's triangles.
    std::vector<DexelCapRectangle> rectangles;
    OuterPlanePoints planePoints;
    bool planePointsHeld = {};
    std::vector<std::array<double, 3>> capTriangles;
    // The list being filled by TriangulateDexelCells.
    DexelMeshOutput output = {};
    std::uint32_t listName = {};
    int wireFrame = {};
    int opened = {};
    std::int64_t primitives = {};
};

// Sets up the mesh state for the model: its placement, its end maps and zeroed cap marks. 1, or
// 0 when the model has no grid or the arrays could not be allocated (nothing is then held).
int PrepareDexelMeshBuffers(const StockModel& model, DexelMeshBuffers* buffers);
void FreeDexelMeshBuffers(DexelMeshBuffers* buffers);

// Meshes the cells of the node ranges [x0, x1] x [y0, y1] x [z0, z1] (a block: its cells run
// from x0 to x1 - 1) into the named list through the output: the rectangles of the outer faces
// the range touches are found first (FindDexelBoundaryRectangles), then the cell polygons are
// drawn, then the rectangles (DrawDexelBoundaryRectangle). Returns the primitives emitted, 0
// when the range holds material but nothing was emitted, or -1 when no X ray of the range meets
// material along it (an empty block).
int TriangulateDexelCells(DexelMeshBuffers* buffers, int wireFrame, int x0, int x1, int y0, int y1,
                          int z0, int z1, std::uint32_t listName, const DexelMeshOutput& output);

// Finds the rectangles of outer face `face` (0 x-min .. 5 z-max) of the range: maximal
// rectangles of cells whose four corner rays end exactly on the face with one flag byte, grown
// along the face's first axis, then row by row. Their cells are marked as covered, every other
// cell of the face as left to the cell analysis (which also draws the cells where colours
// meet); the rectangles and their corners are added to the buffers' lists.
void FindDexelBoundaryRectangles(DexelMeshBuffers* buffers, int face, const int low[3],
                                 const int high[3]);

// Draws a rectangle with its face's outward normal, as the triangles of CapRectangleTriangles
// over the points noted on the outer planes (two triangles to a primitive).
void DrawDexelBoundaryRectangle(DexelMeshBuffers* buffers, const DexelCapRectangle& rectangle);

// Emits the polygons of one analysed cell: the segments are chained into loops exactly as the
// STL export chains them (a chain that does not close ends there instead of being followed
// further), cut into fans and coloured from the flag bytes of their points.
void DrawDexelFacePolygons(DexelMeshBuffers* buffers, const int faceFlags[6],
                           const CellSegmentList& segments);

// --- Lists of a stock ------------------------------------------------------------------------

// 1 while a stock rebuild runs; the message pump then holds back paints and input that could
// change the stock.
extern std::atomic<int> StockRebuildActive;

// Rebuilds the current stock's display of its current undo slot: nothing while the work display
// mode is 0; otherwise clears the slot's stock flag and re-meshes the dirty blocks (styles 0 and
// 1) or rebuilds the stock's style list (styles 2-6). stockIndex names the stock's slot.
void BuildStockDisplayLists(StockModel* model, StockListNameTable* table, int stockIndex);

// Re-meshes the dirty blocks of the current undo slot: a block whose content count is negative
// only has its dirty byte cleared; every other dirty block gets a list name that no other undo
// slot's row holds (so older slots keep their lists) and is re-meshed. Returns the blocks
// re-meshed.
int BuildStockBlockLists(StockModel* model, StockListNameTable* table, int stockIndex,
                         int wireFrame, const DexelMeshOutput& output);

// What a stock's lists were built for. The style list is valid for the undo slot and style it
// was built for; the block lists for one of the styles 0 and 1 (-1: stale, after the style list
// was used or before the first build).
struct StyleListRecord {
    int built = {};
    int undoSlot = {};
    int style = {};
    int blockStyle = -1;
};
extern StyleListRecord StyleListState[kStockModelSlots];

// Rebuilds what the current stock's display needs before a frame: the dirty blocks when the
// stock flag of the current undo slot is set or any block is dirty (a cut marks blocks without
// reaching the view's flags); every block when the block lists were built for another style or
// not at all; the style list when its slot, its style or the stock changed.
void RefreshStockDisplay(StockModel* model, StockListNameTable* table, int stockIndex);

// Sets every display block of the model dirty and the stock flag of its current undo slot (a
// new stock, new colours, a changed frame).
void MarkStockDisplayDirty(StockModel* model);

// End points of one family of the model as GL points (entries and exits in the style's two
// colours), placed by the frame, in node order.
void DrawXDexelEndPoints(const StockModel& model);
void DrawYDexelEndPoints(const StockModel& model);
void DrawZDexelEndPoints(const StockModel& model);
// The diagnostic style: the material intervals of a fixed set of rays as red lines; rays the
// grid does not have are left out.
void DrawDiagnosticDexelLines(const StockModel& model);

// List 33: the basic model's whole grid as surfaces in the base colour.
void BuildBasicShapeList();

// The message pump of a stock rebuild: every 3 s it takes one pending message; a paint, or a
// message that could change the stock, is held back and posted again when the rebuild ends.
void PumpMessagesDuringStockRebuild();

}  // namespace mirexa
