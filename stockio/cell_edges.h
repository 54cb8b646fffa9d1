// Cell edge analysis of a tri-dexel stock: how material lies along the twelve edges of one grid
// cell, the corner merges that make the edges agree, the cap flags of outer faces, and the
// directed boundary segments that each face of the cell contributes to the surface.
//
// A cell is the cube between eight neighbouring grid nodes; each edge lies on one ray. Every
// function here is pure: it reads only its arguments and writes only its outputs, so cells may
// be analysed on several threads at once. The surface extraction and the view's per-block
// surface display call them in the same order and rely on the results stated here.
#pragma once

#include <cstdint>

#include "stock/grid_node_index.h"
#include "stock/stock_model.h"

namespace mirexa {

// --- Edge case codes ------------------------------------------------------------------------
// How material lies on an edge spanning [lo, hi] (mm along its ray), with the ends reported:
//   0 none                                         no ends
//   1 the whole span, no end on it                 no ends
//   2 the whole span, entry exactly at lo          lo
//   3 the whole span, exit exactly at hi           hi
//   4 the whole span, entry at lo and exit at hi   lo, hi
//   5 from an entry inside up to hi and beyond     the entry
//   6 from an entry inside to an exit at hi        the entry, hi
//   7 from below lo to an exit inside              the exit
//   8 from an entry at lo to an exit inside        lo, the exit
//   9 an interval strictly inside                  its entry and exit
//  10 an interval that ends exactly at lo          lo
//  11 an interval that starts exactly at hi        hi
constexpr int kEdgeCaseCount = 12;

// Code sets as bit masks (bit c set for code c).
constexpr unsigned kEdgeCodesEndAtLow = 1300;  // {2, 4, 8, 10}
constexpr unsigned kEdgeCodesNoLow = 2657;     // {0, 5, 6, 9, 11}: no material at the lo node
constexpr unsigned kEdgeCodesEntry = 884;      // {2, 4, 5, 6, 8, 9}: first end is an entry
constexpr unsigned kEdgeCodesFar = 984;        // {3, 4, 6, 7, 8, 9}

inline bool EdgeCodeIn(int code, unsigned mask) {
    return code >= 0 && code < kEdgeCaseCount && ((mask >> code) & 1u) != 0;
}

// One classified edge: its code and up to two reported ends (mm) with their flag bytes.
struct CellEdgeCase {
    int code = {};
    int count = {};
    double ends[2] = {};
    DexelEndFlag flags[2] = {};
};

// One interval [e0, e1] (flags f0, f1) against the span [lo, hi]. Callers use it only when the
// interval overlaps the span without covering it with room on both sides; they set code 1
// themselves when e0 < lo and e1 > hi, and code 0 when e0 > hi or e1 < lo.
void ClassifyDexelSegment(double e0, double e1, DexelEndFlag f0, DexelEndFlag f1, double lo,
                          double hi, CellEdgeCase* out);

// Several intervals (count ends, ascending, in pairs) against [lo, hi]. The intervals that fall
// into the span are merged into one code; gaps inside the span are given up. out is reset
// first; an empty ray, or one wholly above hi or below lo, leaves code 0.
void FindDexelSegmentCase(const double* ends, const DexelEndFlag* flags, int count, double lo,
                          double hi, CellEdgeCase* out);

// --- Agreement of the families at the nodes --------------------------------------------------
// The three families are cut independently, so where the surface passes through a grid node
// (a tangent ray, a floor on a node plane) one family may end a hair before the node and
// another a hair after it, or keep a sliver between two steps that the others do not see. The
// cells around such a node would then disagree about which side of the surface it lies on and
// leave a hole. The surface therefore reads every ray of every family by one rule: an end
// within the grid's slack (kNodeSlack of the pitch, the band within which the stock and its files
// put a face on a node line) of a node lies exactly on the node, and then a piece of material or
// void no longer than that (but not of zero length) vanishes with its two ends, pairwise from the
// ray's start. Ends that already sit on a node, and ends farther from every node, are never
// moved, so a ray that no node touches reads as it is stored.

// Where a tool surface passes a hair from a node, each family ends its ray a hair from the node,
// each at its own distance, and the surface would keep up to three points a few millionths of a
// millimetre apart where one is meant. The surface extraction therefore welds the points of its
// cells' loops before it cuts them into fans: a coordinate within the same slack of a node's
// takes the node's value. The weld moves points only and is the same function
// of a point everywhere, so every directed edge stays cancelled by its reverse (an edge whose two
// points fall into one vanishes with its reverse); the rays are still read by the node rule
// above, and the caps' outlines take the welded points.

// The node table of one ray axis and the distance (mm) within which ends are taken as on a node.
struct NodeSnap {
    const double* nodes = {};
    int count = {};
    double pitch = {};
    double tolerance = {};  // kNodeSlack * pitch
};
inline NodeSnap MakeNodeSnap(const StockModel& model, int axis) {
    NodeSnap snap;
    snap.nodes = axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
    snap.count = axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
    snap.pitch = model.pitch;
    snap.tolerance = kNodeSlack * model.pitch;
    return snap;
}

// v moved onto its nearest node when it lies within the tolerance of it, else v.
double SnapToNode(const NodeSnap& snap, double v);

// Whether the rule changes anything of the ray's ends that the span [lo, hi] reads: an end off
// lo or hi by at most the tolerance, or a piece of at most the tolerance near the span.
bool RayNeedsSnap(const double* ends, int count, double lo, double hi, double tolerance);

// The ray's ends read by the rule (see above) into outEnds and outFlags (count places each);
// returns the number kept (even).
int SnapRayEnds(const NodeSnap& snap, const double* ends, const DexelEndFlag* flags, int count,
                double* outEnds, DexelEndFlag* outFlags);

// The classification of one edge as the surface uses it: an empty ray gives 0; a ray of one
// interval gives 1 when it covers the span with room on both sides, 0 when it does not reach
// the span, else ClassifyDexelSegment; a ray of more ends FindDexelSegmentCase. The ray is read
// through the cell layer's accessors. With a snap, the ray is first read by the node rule.
void ClassifyCellEdge(const DexelFamily& family, std::int64_t ray, double lo, double hi,
                      CellEdgeCase* out, const NodeSnap* snap = nullptr);

// --- Edges of a cell ------------------------------------------------------------------------
// For the cell with low corner (ix, iy, iz): Xab is the X ray at (iy + a, iz + b), Yab the Y ray
// at (ix + a, iz + b), Zab the Z ray at (ix + a, iy + b).
enum CellEdgeIndex {
    kEdgeX00,
    kEdgeX10,
    kEdgeX01,
    kEdgeX11,
    kEdgeY00,
    kEdgeY01,
    kEdgeY10,
    kEdgeY11,
    kEdgeZ00,
    kEdgeZ10,
    kEdgeZ01,
    kEdgeZ11,
    kCellEdgeCount
};

// The ray axis (0 x, 1 y, 2 z) of an edge, and its offsets along the other two axes in the
// order (x, y, z) with its own axis left out: X edges (dy, dz), Y edges (dx, dz), Z (dx, dy).
inline int CellEdgeAxis(int edge) {
    return edge / 4;
}
inline void CellEdgeOffsets(int edge, int* first, int* second) {
    static constexpr int kOffsets[kCellEdgeCount][2] = {
        {0, 0}, {1, 0}, {0, 1}, {1, 1},  // X00 X10 X01 X11: (dy, dz)
        {0, 0}, {0, 1}, {1, 0}, {1, 1},  // Y00 Y01 Y10 Y11: (dx, dz)
        {0, 0}, {1, 0}, {0, 1}, {1, 1},  // Z00 Z10 Z01 Z11: (dx, dy)
    };
    *first = kOffsets[edge][0];
    *second = kOffsets[edge][1];
}

// The edges of a cell's face in the order A, B, C, D (faces 0 x-min, 1 x-max, 2 y-min, 3 y-max,
// 4 z-min, 5 z-max). The face's in-face axes are a1 = (n + 1) % 3 and a2 = (n + 2) % 3 for
// normal axis n = face / 2: A is the a1-edge at the a2 low side, B the a2-edge at the a1 high
// side, C the a1-edge at the a2 high side, D the a2-edge at the a1 low side.
extern const int kCellFaceEdges[6][4];

// --- Corner merges --------------------------------------------------------------------------

// Adds an end at a node of the edge where its material meets a surface of a perpendicular edge
// exactly at the node. lowFirst and lowSecond are the two perpendicular cell edges through the
// edge's low node, highFirst and highSecond those through its high node; the variant says how
// they meet the node: 0 the first at its high end and the second at its low end, 1 both at
// their high ends, 2 both at their low ends, 3 the first at its low end and the second at its
// high end. lo and hi are the edge's span (mm). An edge with code 0 is left as it is.
void MergeCellEdgeCases(int variant, CellEdgeCase* edge, double lo, double hi,
                        const CellEdgeCase& lowFirst, const CellEdgeCase& lowSecond,
                        const CellEdgeCase& highFirst, const CellEdgeCase& highSecond);

// One step of a cell's fixed merge order: the edge, its variant and its perpendicular edges at
// the low node and at the high node (first, second).
struct CellMergeStep {
    int edge = {};
    int variant = {};
    int lowFirst = {};
    int lowSecond = {};
    int highFirst = {};
    int highSecond = {};
};
extern const CellMergeStep kCellMergeOrder[kCellEdgeCount];

// Runs the twelve merges of a cell in their fixed order (X01, X11, Y01, Y11, X00, X10, Y00,
// Y10, Z00, Z10, Z01, Z11), each reading the codes as the earlier merges left them. low and
// high are the cell's corner coordinates (mm) on x, y, z.
void MergeCellCorners(CellEdgeCase edges[kCellEdgeCount], const double low[3],
                      const double high[3]);

// --- Material of zero width -----------------------------------------------------------------

// A ray that passes exactly through a line or point where two pieces of material touch (two
// holes side by side, a tool tangent to a face) loses the piece of zero length there, while the
// two other families' rays through that node hold it. An empty edge (code 0) whose node both
// perpendicular edges of the cell hold in their material (ends included) therefore reads a
// touch there: code 11 at its high node or 10 at its low node, as if the ray kept the piece of
// zero length; an edge held so at both nodes stays empty. The decision reads only the three rays
// through the node, so every cell around the node takes it alike. Runs on the codes as
// classified, before the corner merges; low and high are the cell's corners (mm).
void AddZeroWidthTouches(CellEdgeCase edges[kCellEdgeCount], const double low[3],
                         const double high[3]);

// --- Cap flags of outer faces ---------------------------------------------------------------

// The cap marks of the six outer grid faces, one byte per ray of the face's family (faces 0 and
// 1: X rays, 2 and 3: Y rays, 4 and 5: Z rays): 0 not visited, 1 the face cell whose low corner
// is this ray is covered by a cap rectangle, 2 not a cap cell. The extraction owns the arrays.
struct StockCapMarks {
    std::uint8_t* faces[6] = {};
};
constexpr std::uint8_t kCapMarkUnvisited = 0;
constexpr std::uint8_t kCapMarkRectangle = 1;
constexpr std::uint8_t kCapMarkNotCap = 2;

// The six face flags of cell (ix, iy, iz): 1 for a face on the outer grid boundary whose cap
// mark is 1, else 0. The cap-mark arrays are indexed by the X ray iz * ny + iy, the Y ray
// ix * nz + iz and the Z ray iy * nx + ix.
void GetCellBoundaryFlags(const StockModel& model, int ix, int iy, int iz,
                          const StockCapMarks& marks, int outFlags[6]);

// --- Face segments --------------------------------------------------------------------------

// A directed segment on a face of a cell: two points (mm, grid coordinates), their flag bytes
// and an id: the face number + 10 for a segment that crosses the face's interior, or the number
// of a neighbouring face (0..5) for a segment along one of the face's edges.
struct CellFaceSegment {
    double from[3] = {};
    double to[3] = {};
    DexelEndFlag fromFlag = {};
    DexelEndFlag toFlag = {};
    int id = {};
    // 1 when `from` is the sharp corner of a face (BuildDexelCellEdges), 2 when `to` is.
    std::uint8_t corner = {};
};

// Room for the segments of a cell's six faces: at most 4 edge segments and 4 crossing segments
// per face, each crossing in two at a sharp corner (72), with margin. A segment that would not
// fit is counted in overflow instead.
constexpr int kMaxCellSegments = 80;
struct CellSegmentList {
    CellFaceSegment segments[kMaxCellSegments] = {};
    int count = {};
    int overflow = {};
    // The cell the segments were built for, set by the cell analysis (null model: unknown). A
    // cell whose loops cannot all be closed reads its neighbours through it to close the hole.
    const StockModel* model = {};
    const StockCapMarks* marks = {};
    int cell[3] = {};
    // 1 leaves the hole closure out (the hole closure itself reads cells so).
    int noHoleClosure = {};
};
void AppendCellSegment(CellSegmentList* list, const CellFaceSegment& segment);

// The ray of family `axis` (0 X, 1 Y, 2 Z) through the grid node (the node's own index along the
// axis is not read): X rays iz * ny + iy, Y rays ix * nz + iz, Z rays iy * nx + ix.
std::int64_t RayThroughNode(const StockModel& model, int axis, const int node[3]);

// The crossing rules of a face from the codes a, b, c, d of its edges A, B, C, D: the edge
// (0 A, 1 B, 2 C, 3 D) at which the crossing segment that leaves the named edge ends, or -1
// for none. A segment leaves A and B at their last end, C and D at their first end, and ends at
// A's and B's first end or at C's and D's last end.
int FindCrossingFromA(int a, int b, int c, int d);
int FindCrossingFromB(int a, int b, int c, int d);
int FindCrossingFromC(int a, int b, int c, int d);
int FindCrossingFromD(int a, int b, int c, int d);

// Appends the segments of one face of the cell (low and high corners in mm) to the list: edge
// segments along its edges A..D and crossing segments through its interior, directed so that
// loops on opposite faces turn in opposite senses. boundaryFlags are the cell's six face flags
// (GetCellBoundaryFlags); edges the cell's twelve merged edges. A crossing segment between ends
// on two perpendicular edges, each of which the next two parallel rays beyond its edge share, turns
// at the point where the two straight sides meet (both segments marked in `corner`), when the
// list names its model and cell.
void BuildDexelCellEdges(int face, const double low[3], const double high[3],
                         const int boundaryFlags[6], const CellEdgeCase edges[kCellEdgeCount],
                         CellSegmentList* list);

}  // namespace mirexa
