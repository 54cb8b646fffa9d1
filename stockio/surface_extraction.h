// Surface extraction: the closed triangle surface of a tri-dexel stock, written facet by facet
// to a sink. Outer skins first (maximal rectangles on the six grid faces where the rays start or
// end exactly on the boundary, two triangles each), then the polygons of each grid cell built
// from its edge analysis, closed into loops and cut into fans. Every point is mapped from grid
// coordinates into the stock's placement by its frame.
//
// The surface is conforming: every edge of a facet is met by the same edge of a neighbouring
// facet, running the other way. A cap rectangle spans many cells, so its outline takes a vertex
// wherever another facet has one on it (a point of a cell polygon or a corner of another
// rectangle): the cells are written first, and the caps after them, each cut into a fan over
// its outline (CapRectangleTriangles). Fans never hold a triangle of zero area, which a writer
// would leave out with the points on its edges. Where two sheets of material touch along a
// line, four facets share that edge (two each way), as the two sheets are meshed apart. A wall
// on a node plane is built by the cell of material beside it: the empty cell on its other side
// leaves out the wall and its own reverse of it (see EmitDexelFaceTriangles). A wall thinner
// than the pitch between two node planes, seen by one family, is one piece: a cell that holds
// only a sheet on one of its faces leaves it to the cell behind that face, and two cells that
// each close their part of the wall with the same face polygon leave it out. Edges and corners
// between nodes that no ray passes through come out chamfered.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "stock/stock_model.h"
#include "stockio/cell_edges.h"

namespace mirexa {

// --- Orientation and placement --------------------------------------------------------------

// The orientation class of a frame's 3x3 part (entries compared exactly with 1 and -1): 1-8
// when m22 is +-1, 11-18 when m21 is, 21-28 when m20 is, else 101 (m00 = 1), 103 (m11 = 1) or
// 0. Class 1 is the identity orientation.
int ClassifyStockOrientation(const StockFrame& frame);

// How grid points are mapped into the stock's placement: p -> p.x * row 0 + p.y * row 1 +
// p.z * row 2 + offset, as the frame places the grid. Normals are mapped by the inverse of the
// 3x3 part and made unit again. A frame with a negative determinant (a mirror) would turn the
// surface inside out, so the vertex order of every facet is then reversed.
struct MeshTransform {
    int rotate = {};     // 1 when the 3x3 part is not exactly the identity
    int translate = {};  // 1 when the offset is not exactly (0, 0, 0)
    int mirrored = {};   // 1 when the determinant of the 3x3 part is negative
    double rows[9] = {};
    double inverse[9] = {};
    double offset[3] = {};  // mm
    // Per axis (three), or null: the points of a loop are welded before it is cut into a fan
    // (see MakeNodeSnap and EmitMeshFan).
    const NodeSnap* weld = {};
};
void SetMeshTransform(const StockFrame& frame, MeshTransform* transform);
// Maps a point (mm, in place) from grid coordinates into the placement.
void TransformMeshPoint(const MeshTransform& transform, double point[3]);
// Maps a unit normal (in place).
void TransformMeshNormal(const MeshTransform& transform, double normal[3]);

// --- Facet output ---------------------------------------------------------------------------

// A facet on its way to a writer, in the stock's placement (mm).
struct MeshFacet {
    double normal[3] = {};
    double vertices[3][3] = {};
    // 1: a cap facet with its outward normal given. 0: the writer computes the normal from the
    // vertex order and leaves the facet out when its area is zero.
    int normalGiven = {};
};

// Receives the facets in their order. write returns 1 when the facet was written, 0 when it was
// left out (a facet without normal and of zero area), or a negative code when writing failed,
// which stops the extraction with that code.
struct FacetSink {
    int (*write)(void* context, const MeshFacet& facet) = {};
    void* context = {};
};

// --- Extraction -----------------------------------------------------------------------------

constexpr int kMeshExtractionNoMemory = -1;  // work arrays could not be allocated
constexpr int kMeshExtractionNoModel = -2;   // the model holds no grid (nx < 2 or no arrays)

struct MeshExtractionOptions {
    // Worker threads of the cell stage; 0 takes one per processor. The facets come out in the
    // same order, byte for byte, whatever the count: slabs of cells along z are built in
    // parallel and written in z order.
    int threads = 1;
    // 1 visits every cell in order (the reference walk); 0 visits only the cells that have a ray
    // end on one of their edges, since every other cell has only full and empty edges and gives
    // nothing.
    int plainCellWalk = {};
};

// What an extraction did; the counters serve tests and benchmarks.
struct MeshExtractionStats {
    std::int64_t capFacets = {};
    std::int64_t cellFacets = {};
    std::int64_t cellsVisited = {};  // cells whose edges were classified
    std::int64_t cellsEmitted = {};  // cells with more than 2 segments, passed to emission
    // Cells whose loops could not all be closed. Fallback: crossing segments were left over,
    // and their chains were closed by the straight way back to their start (see
    // EmitDexelFaceTriangles). Leftover: only edge segments were left (segments on faces shared
    // with a neighbour cell that builds that part), no hole.
    std::int64_t fallbackCells = {};
    // Loops of the holes around fallback cells, filled (see CloseFallbackHoles).
    std::int64_t holeLoops = {};
    std::int64_t leftoverEdgeChains = {};
    // Chains of a face's in-plane polygon that could not be closed (given back to the cell
    // loops, no hole).
    std::int64_t unclosedFaceChains = {};
    std::int64_t segmentOverflows = {};  // segments beyond a cell's list capacity (dropped)
};

// Writes the closed surface of the model to the sink: the facets written (>= 0), or
// kMeshExtractionNoModel, kMeshExtractionNoMemory or the sink's negative code. The model is
// only read. stats may be null.
std::int64_t ExtractStockMesh(const StockModel& model, const FacetSink& sink,
                              const MeshExtractionOptions& options = {},
                              MeshExtractionStats* stats = nullptr);

// --- Steps of the extraction, for the view's surface display and for tests ------------------

// Per ray of one family: the first end and its flag, the last end and its flag. An empty ray
// gets the last node coordinate of its axis as first end and the first node coordinate as last
// end (flags 0), so that first > last marks it empty. Arrays of the family's cell count.
struct DexelEndMap {
    double* firstEnds = {};
    DexelEndFlag* firstFlags = {};
    double* lastEnds = {};
    DexelEndFlag* lastFlags = {};
};
// family: 0 X, 1 Y, 2 Z.
void CollectDexelEnds(const StockModel& model, int family, const DexelEndMap& map);

// The points of a surface that lie on the six outer planes of the grid (grid coordinates), kept
// per face as (a, b) in-face coordinates (a = axis (n + 1) % 3, b = axis (n + 2) % 3 for normal
// axis n = face / 2), so that a cap rectangle can find the points on its outline.
struct OuterPlanePoints {
    double planes[6] = {};  // each face's plane coordinate (its axis's first or last node)
    // Per face, sorted after FinishOuterPlanePoints: by (b, a) and by (a, b), no repeats.
    std::vector<std::array<double, 2>> byB[6];
    std::vector<std::array<double, 2>> byA[6];
};
void InitOuterPlanePoints(const StockModel& model, OuterPlanePoints* points);
// Adds a point (grid mm) to every face whose plane holds it exactly. false when memory ran out.
bool StoreOuterPlanePoint(OuterPlanePoints* points, const double p[3]);
// The same, with the quick test that most points of a surface fail inline.
inline bool AddOuterPlanePoint(OuterPlanePoints* points, const double p[3]) {
    const double* planes = points->planes;
    if (p[0] != planes[0] && p[0] != planes[1] && p[1] != planes[2] && p[1] != planes[3] &&
        p[2] != planes[4] && p[2] != planes[5]) {
        return true;
    }
    return StoreOuterPlanePoint(points, p);
}
// Sorts the points for CapRectangleTriangles. false when memory ran out.
bool FinishOuterPlanePoints(OuterPlanePoints* points);

// The triangles of the cap rectangle [a0, a1] x [b0, b1] (mm, in-face coordinates) on outer
// face `face`, as grid points (mm), three per triangle, counter-clockwise in (a, b). They fan
// over the rectangle's outline, which takes every point of the face that lies strictly inside
// one of its sides (two triangles when none does): from a corner, or from a point on a side
// when every corner has points on its sides, or around the centre when every point has. false
// when memory ran out.
bool CapRectangleTriangles(const OuterPlanePoints& points, int face, double a0, double a1,
                           double b0, double b1, std::vector<std::array<double, 3>>* triangles);

// Writes a loop of grid points as triangles, mapped into the placement: a fan from its first
// point from which no triangle has zero area (a writer would leave it out, and with it the
// points on its edges), or, when there is none, a fan around the loop's centroid. With a weld in
// the transform, the loop's points are welded first and a point that thus falls onto the one
// before it goes; a loop left with fewer than three points writes nothing. Returns the facets
// written or the sink's negative code.
std::int64_t EmitMeshFan(const MeshTransform& transform, const double* const* points, int count,
                         const FacetSink& sink);

// The polygons of one cell, chained from its segments and written as triangle fans. A face
// polygon that the cell's own loops would retrace the other way (a wall on a node plane that the
// cell only borders) is left out with its retracing, unless that would leave a crossing chain
// that cannot close. A cell that holds only a polygon of one face writes nothing; a face polygon
// that the cell across that face builds too, the other way round, is written by neither, and
// one whose crossings the loops of the cell across meet without a polygon there is not written
// (when the segments name their cell, which is then read). faceFlags
// are the cell's boundary flags; segments are in grid coordinates. A cell whose crossing
// segments do not all close into loops never leaves them out: each chain they form is closed
// by the straight way back to its start (counted in fallbackCells), and when the segments name
// their cell, the hole that this leaves against the neighbour cells is filled (see
// CloseFallbackHoles); a chain that lies in one face plane of the cell is then left to that
// fill, which the cells beside may already close. When the segments name their cell, the fans of
// its loops keep their triangles off the cell's faces (around a loop's centroid when no point of it
// allows that), so that a loop running partly along a face lays nothing over a face polygon there.
// Returns the facets written or the sink's negative code; stats may be null.
std::int64_t EmitDexelFaceTriangles(const MeshTransform& transform, const int faceFlags[6],
                                    const CellSegmentList& segments, const FacetSink& sink,
                                    MeshExtractionStats* stats);

// Whether an island edge (material strictly between its two nodes) of the family `axis`, whose
// low node is `node` (x, y, z indices), lies on a face of the grid whose other three edges are
// all empty. The cells then leave the island out, all of them alike. snaps per axis.
bool IslandHasEmptyFace(const StockModel& model, const NodeSnap snaps[3], int axis,
                        const int node[3]);

// Patterns of a cell (its twelve merged edge codes and six face flags) whose segments all lie
// on faces under a cap, so that the cell gives nothing: which segments a face yields depends
// only on the pattern, never on where the ends lie. A direct-mapped table that one thread fills
// as it goes.
constexpr int kCellPatternMemoSize = 4096;
struct CellPatternMemo {
    std::uint64_t keys[kCellPatternMemoSize] = {};  // pattern + 1; 0 for an empty entry
    std::uint8_t silent[kCellPatternMemoSize] = {};
};

// Analyses cell (ix, iy, iz) of the model from classification to segments: the cell's twelve
// edges classified and merged, its boundary flags, and its face segments appended to the list
// (which is cleared first). Every edge is classified from its ray, so a cell never depends on
// its neighbours' merges. Returns 1 when the cell has more than 2 segments to emit, 0 when a
// skip rule applies or it has fewer. allInsideSkip also skips a cell whose twelve edges are all
// full (no merge can change it, and it would be skipped after the merges). With a memo, a cell
// whose pattern is known to give only segments on capped faces is skipped before its segments
// are built.
int AnalyseStockCell(const StockModel& model, const StockCapMarks& marks, int ix, int iy, int iz,
                     int allInsideSkip, int outFaceFlags[6], CellSegmentList* segments,
                     CellPatternMemo* memo = nullptr);

}  // namespace mirexa
