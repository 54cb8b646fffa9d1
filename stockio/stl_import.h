// STL import into dexels: the vertex adjustments of the import settings, the transform into a
// template stock's frame, the standard conversion that pierces every ray of a family with the
// mesh's facets, and the loading of a mesh onto the grid of an existing stock (the basic model
// of difference painting).
//
// Crossings are gathered per family in one flat list and grouped by ray once per pass, so the
// cost grows with facets times rays crossed; each ray is normalised as it is stored (sorted,
// equal ends merged, counts repaired, optionally clipped to the grid). While the import runs an
// end's flag byte tags where the crossing lay: bit 0 the ray's first grid coordinate equals the
// facet's minimum on that axis, bit 1 its maximum, bit 2 and bit 3 the same for the second grid
// coordinate. RestoreDexelCells clears the tags at the end.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/window.h"
#include "stock/stock_model.h"
#include "stockio/dexel_reconcile.h"
#include "stockio/stl_files.h"

namespace mirexa {

// Adjustments applied to every imported vertex. The configuration fills the copy in
// StockLoadOptions from its STL import settings (the command line and the STL import dialog).
struct StlImportAdjustments {
    int coordinateSystem = {};  // 0 machine, 1 work (the work offset is added)
    int scaleOn[3] = {};        // per axis x, y, z
    double scaleRate[3] = {1.0, 1.0, 1.0};
    double scaleCentre[3] = {};  // mm
    int mirrorOn[3] = {};
    double mirrorCentre[3] = {};  // mm
    int adjustmentsOn = {};       // 1: the adjustments above apply
    // 1 when the command line asked for the basic model in work coordinates (its second
    // stock-file argument): LoadStlAsDexelModel then works in work coordinates with the
    // adjustments on.
    int basicModelInWork = {};
};

// Calls from the import upward. Null hooks mean "nothing there".
struct StlImportHooks {
    // Configuration: the work offset added in work coordinates (mm): the external offset plus
    // the current work offset when its index is not 0 (X, Y, Z).
    void (*workOffset)(double out[3]) = {};
};
extern StlImportHooks StlImportCallbacks;

// From file coordinates into the local frame of a target stock.
struct StlImportTransform {
    int any = {};
    int offset = {};
    int rotation = {};
    double negatedOffset[3] = {};  // mm
    double inverse[9] = {};        // inverse of the target frame's 3x3 part, by rows
};

// Fills the transform from the stock's frame: rotation when the 3x3 part is not exactly the
// identity, offset when the frame offset is not zero.
void SetImportTransform(StlImportTransform* transform, const StockModel& stock);
// Clears the three flags.
void ResetImportTransform(StlImportTransform* transform);
// p := (p + negated offset, when set) times the inverse (when the rotation is set):
// p'_j = q_x * Inv[0][j] + q_y * Inv[1][j] + q_z * Inv[2][j].
void ApplyImportTransform(const StlImportTransform& transform, double p[3]);

// The vertex adjustments, in order: scale about the centre per axis, mirror about the mirror
// centre per axis, and in work coordinates the work offset added.
void ApplyImportScaleMirror(const StlImportAdjustments& settings, double p[3]);
// A normal under the adjustments: zeroed when the scale is not uniform (uniform: no scale flag,
// or all three with equal rates); otherwise mirrored axes change sign.
void ApplyImportMirrorToNormal(const StlImportAdjustments& settings, double n[3]);

// Where the point (only coordinates a and b are read) lies against the triangle's projection on
// the (a, b) plane, by exact comparisons: 1, 2, 3 on vertex 1, 2, 3; 4, 5, 6 inside the edge
// 1-2, 2-3, 3-1 when that edge runs parallel to axis a or b; 7 inside or on any other edge (to
// a few units of the last place of the fractions along it, so that of two triangles sharing the
// edge at least one holds a point on it); 0 outside.
int TestPointInTriangleB(const double triangle[9], int a, int b, const double p[3]);

// v / |v|, except that a vector with one zero component and two of equal magnitude becomes
// exactly +-1 in those two places (first sign positive: (1, 1) or (1, -1); negative: (-1, -1)
// or (-1, 1)). The zero vector leaves n unchanged.
void SnapDiagonalNormal(const double v[3], double n[3]);

// The node index window [first, last] of a facet's extent [low, high] on one axis: the first
// node at or above low (a node within the grid's slack below low counted), the ceil of high's
// distance from the origin over the pitch, clamped to [0, lastIndex]. False when empty.
bool GetImportRayWindow(double low, double high, double origin, double pitch, int lastIndex,
                        int* first, int* last);

// Visits the rays of the family grid (a, b) that a facet's box [lo, hi] covers, rows along b:
// ray points from the node tables, points outside the box skipped. classify(p) gives 0 for a
// miss; after a result equal to insideResult on a row, the row ends at its next miss.
// visit(ia, ib, p, result) is called for every other point.
template <class Classify, class Visit>
void VisitFacetRays(const StockModel& model, int a, int b, const double lo[3], const double hi[3],
                    int insideResult, Classify classify, Visit visit) {
    const double* nodesA = StockNodeTable(model, a);
    const double* nodesB = StockNodeTable(model, b);
    int ia0 = 0;
    int ia1 = 0;
    int ib0 = 0;
    int ib1 = 0;
    if (!GetImportRayWindow(lo[a], hi[a], model.origin[a], model.pitch,
                            StockNodeCount(model, a) - 1, &ia0, &ia1) ||
        !GetImportRayWindow(lo[b], hi[b], model.origin[b], model.pitch,
                            StockNodeCount(model, b) - 1, &ib0, &ib1)) {
        return;
    }
    for (int ib = ib0; ib <= ib1; ++ib) {
        const double pb = nodesB[ib];
        if (pb < lo[b] || pb > hi[b]) {
            continue;
        }
        bool inside = false;
        for (int ia = ia0; ia <= ia1; ++ia) {
            double p[3] = {};
            p[a] = nodesA[ia];
            p[b] = pb;
            if (p[a] < lo[a] || p[a] > hi[a]) {
                continue;
            }
            const int result = classify(p);
            if (result == 0) {
                if (inside) {
                    break;
                }
                continue;
            }
            inside = inside || result == insideResult;
            visit(ia, ib, p, result);
        }
    }
}

// One import: the file, the vertex handling and the grid it converts onto.
struct StlConversion {
    int format = {};  // StlFileFormat
    std::string_view path = {};
    const StlImportAdjustments* settings = {};  // adjustments applied when adjustmentsOn is set
    StlImportTransform transform = {};          // applied when transform.any is set
    int clipToGrid = {};                        // 1: stored rays are clipped to the grid
    int reportProgress = {};                    // 1: bytes read are added to the progress run
};

// Vertices and normal of one read facet after the adjustments and the transform. Every value
// is first taken as the binary form carries it (rounded to f32, magnitudes below 1e-14 as 0), so
// that the text and binary forms of a mesh import alike. The normal is the file's, adjusted, or
// 0. 1, or 0 when a vertex came out non-finite.
int PrepareImportFacet(const StlConversion& conversion, const double rawNormal[3],
                       const double rawVertices[9], double normal[3], double vertices[9]);

// The facets of one import pass, prepared, with the bytes read added to the progress run when
// the conversion reports progress, and the message pump run after each facet while enabled.
struct StlImportReader {
    StlFacetReader reader = {};
    std::uint64_t progressed = {};  // bytes already added to the progress run
    std::int64_t facetsRead = {};   // usable facets handed out so far
};
// 1 when open; 0 when the file cannot be read in the conversion's format.
int OpenStlImportReader(const StlConversion& conversion, StlImportReader* input);
// The next facet with finite prepared values: 1, or 0 at the end of the data.
int ReadNextImportFacet(StlImportReader* input, const StlConversion& conversion, double normal[3],
                        double vertices[9]);
void CloseStlImportReader(StlImportReader* input);

// One pass of the standard conversion into the family along axis c (axis triple (a, b, c): Z
// (0, 1, 2), X (1, 2, 0), Y (2, 0, 1)): every ray is emptied, then each facet pierces the rays
// of its bounding box (ray points from the node tables; a row ends at the first miss after an
// inside hit); the crossing value is the vertex's, the edge's interpolation, or the plane's,
// clamped to the facet's range on c. Each ray is then normalised and stored (odd rays wait in
// the state); a ray may hold any number of ends. Material bounds on c follow the crossings. 1;
// kStockFileDataError when the file cannot be read or holds no usable facet; kStockGridTooLarge
// when the crossing lists cannot be allocated.
int ConvertStlToFamily(StockModel* model, DexelReconcileState* state,
                       const StlConversion& conversion, int a, int b, int c);

// Rewrites every non-empty ray of the three families with its own ends and all flags and line
// stamps 0; the message pump runs between families while pumping is enabled.
void RestoreDexelCells(StockModel* model);

// The standard conversion of the three families, normalisation, reconciliation and the flag
// restore: the body of both loaders. 1 or the negative code of the step that failed.
int ConvertStlStandard(StockModel* model, const StlConversion& conversion);

// The checks before an STL load: the reference direction is 0 or +-1..+-3 (else
// kStockDefinitionError) and the file is an STL file (else kStockFileDataError). 1 with the
// format set.
int DetectStlImportFormat(std::string_view path, int referenceDirection, int* format);

// Runs the conversion onto the model's allocated grid: a progress run over the file size times 4
// (standard) or 2 (height map) with the captions "STL読み込み計算" / "Reading STL", face flags
// all 1, then ConvertStlStandard or ConvertStlReference (the material bounds are then the
// caller's). Progress reporting is switched on. 1; on failure the progress ends and the model is
// abandoned with the step's code.
int RunStlConversion(WindowHandle owner, StockModel* model, StlConversion conversion,
                     int referenceDirection);

// Loads a mesh onto the grid and frame of the template (pitch, origin, node counts, frame and
// its derived fields), with a ring of one slot and one display block, converting in the
// template's local frame, with the adjustments of StockLoadOptions. referenceDirection 0 is the
// standard conversion; any other the height map of that direction. The target's previous
// contents are released first. 1; kStockFileDataError
// for a path that is not ".STL" (any case), a file that is no STL or holds no facet, and a
// template without a grid; kStockGridTooLarge or the grid's code when it cannot be built. On
// failure the target holds nothing (nx 0).
int LoadStlAsDexelModel(WindowHandle owner, StockModel* target, std::string_view path,
                        const StockModel& stockTemplate, int referenceDirection);

}  // namespace mirexa
