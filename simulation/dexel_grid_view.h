// The dexel grid views: one working record per ray family of the current stock that renames
// the model's axes so that every family's rays run along the view's own w axis. The cutting
// and holder passes are written once against a view and run once per family.
//
// Axis assignment (model axes 0 x, 1 y, 2 z):
//   X view: u = y, v = z, w = x; cell of ray (iu, iv) = iv * nu + iu = iz * ny + iy
//   Y view: u = z, v = x, w = y; cell = ix * nz + iz
//   Z view: u = x, v = y, w = z; cell = iy * nx + ix
// which is each family's own cell numbering. Points and vectors in a view are in (u, v, w)
// order: component 0 is the model's uAxis coordinate, 1 the vAxis one, 2 the wAxis one.
//
// Ownership: a view only borrows the model's arrays (family arrays, node tables, block maps). It
// owns nothing and frees nothing, and it is valid while the model's working arrays stay where
// they were when it was bound; DexelGridsMatchModel tells whether they still are.
#pragma once

#include <cstdint>

#include "stock/stock_model.h"

namespace mirexa {

enum DexelViewIndex : int { kDexelViewX = 0, kDexelViewY = 1, kDexelViewZ = 2 };

struct DexelGridView {
    StockModel* model = {};
    std::int32_t uAxis = {};  // model axis numbers of u, v and the ray axis w
    std::int32_t vAxis = {};
    std::int32_t wAxis = {};
    std::int32_t nu = {};  // node counts along u and v
    std::int32_t nv = {};
    std::int32_t lastU = {};  // nu - 1 and nv - 1
    std::int32_t lastV = {};
    std::int32_t nw = {};        // node count along the ray axis
    double pitch = {};           // mm
    const double* uCoords = {};  // node coordinate tables of the model (mm)
    const double* vCoords = {};
    const double* wCoords = {};
    std::int32_t capacity = {};  // inline ends per cell of this family
    // The family's four arrays (DexelFamily layout), borrowed from the model's current slot.
    std::int32_t* counts = {};
    double* ends = {};
    std::uint8_t* flags = {};
    std::int32_t* lineStamps = {};
    // The model's node-to-display-block maps of the u and v axes (a border node maps to the
    // lower block in the low map and to the upper block in the high map).
    const std::int32_t* uBlockLow = {};
    const std::int32_t* uBlockHigh = {};
    const std::int32_t* vBlockLow = {};
    const std::int32_t* vBlockHigh = {};
    // The index window of the current pose: rays with uLo <= iu <= uHi, vLo <= iv <= vHi.
    std::int32_t uLo = {};
    std::int32_t uHi = {};
    std::int32_t vLo = {};
    std::int32_t vHi = {};
    // Which section a shank pass (0 neck, 1 taper, 2 shank) or holder pass is testing.
    std::int32_t sectionIndex = {};
    // Key points of the current pose on the tool axis and the unit axis, in view order (mm).
    double tip[3] = {};
    double p1[3] = {};
    double p2[3] = {};
    double p3[3] = {};
    double p4[3] = {};
    double axis[3] = {};
    double removedVolume = {};  // mm^3 removed from this family by the current pass
    // What the binding was made from, so that a changed model is noticed before a cut.
    std::uint32_t boundGeneration = {};
};

// Fills three views (indexed by DexelViewIndex; a cutting state's, CuttingState::views) from the
// model: axes, node counts, pitch, coordinate tables, the families' capacities and arrays and the
// block maps. The windows, key points and removed volumes are left as they were. A null model,
// or one without a grid, empties the views. A cut binds its state's views again whenever
// DexelGridsMatchModel says they are stale.
void BindDexelGridViews(StockModel* model, DexelGridView views[3]);

// 1 when the views are bound to this model and its working arrays, node counts and display
// blocks are still the ones they were bound to; 0 when they must be bound again.
int DexelGridsMatchModel(const DexelGridView views[3], const StockModel* model);

// The family of a view's ray axis in the model (X view: X family, ...).
DexelFamily* ViewFamily(StockModel* model, int viewIndex);
const DexelFamily* ViewFamily(const StockModel* model, int viewIndex);

// The material of one family (DexelViewIndex) in mm^3: each ray's length of material times the
// area it stands for (pitch^2, halved on border rows and columns), as the cutting core counts
// removed volume. 0 for a model without a grid.
double DexelFamilyVolume(const StockModel& model, int viewIndex);

// Puts a model-order point or vector into a view's (u, v, w) order.
inline void PermuteToView(const DexelGridView& view, const double model[3], double out[3]) {
    out[0] = model[view.uAxis];
    out[1] = model[view.vAxis];
    out[2] = model[view.wAxis];
}

}  // namespace mirexa
