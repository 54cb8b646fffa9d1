// Binding of the three dexel grid views to a stock model, and the check that a binding still
// describes the model's working arrays.
#include "simulation/dexel_grid_view.h"

namespace mirexa {

namespace {

// Model axes (u, v, w) of each view.
constexpr int kViewAxes[3][3] = {{1, 2, 0}, {2, 0, 1}, {0, 1, 2}};

int NodeCount(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

const double* NodeTable(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}

}  // namespace

const DexelFamily* ViewFamily(const StockModel* model, int viewIndex) {
    return viewIndex == kDexelViewX ? &model->x
                                    : (viewIndex == kDexelViewY ? &model->y : &model->z);
}

DexelFamily* ViewFamily(StockModel* model, int viewIndex) {
    return viewIndex == kDexelViewX ? &model->x
                                    : (viewIndex == kDexelViewY ? &model->y : &model->z);
}

void BindDexelGridViews(StockModel* model, DexelGridView views[3]) {
    const bool empty = model == nullptr || model->nx < 2 || model->ny < 2 || model->nz < 2;
    for (int k = 0; k < 3; ++k) {
        DexelGridView& view = views[k];
        view.uAxis = kViewAxes[k][0];
        view.vAxis = kViewAxes[k][1];
        view.wAxis = kViewAxes[k][2];
        if (empty) {
            // Nothing to visit: the windows of an empty view never hold a ray.
            view.model = model;
            view.nu = view.nv = view.nw = 0;
            view.lastU = view.lastV = -1;
            view.uCoords = view.vCoords = view.wCoords = nullptr;
            view.counts = nullptr;
            view.ends = nullptr;
            view.flags = nullptr;
            view.lineStamps = nullptr;
            view.uBlockLow = view.uBlockHigh = view.vBlockLow = view.vBlockHigh = nullptr;
            view.boundGeneration = model != nullptr ? model->workingGeneration : 0;
            continue;
        }
        view.model = model;
        view.nu = NodeCount(*model, view.uAxis);
        view.nv = NodeCount(*model, view.vAxis);
        view.nw = NodeCount(*model, view.wAxis);
        view.lastU = view.nu - 1;
        view.lastV = view.nv - 1;
        view.pitch = model->pitch;
        view.uCoords = NodeTable(*model, view.uAxis);
        view.vCoords = NodeTable(*model, view.vAxis);
        view.wCoords = NodeTable(*model, view.wAxis);
        const DexelFamily* family = ViewFamily(model, k);
        view.capacity = family->capacity;
        view.counts = family->counts;
        view.ends = family->ends;
        view.flags = family->flags;
        view.lineStamps = family->lineStamps;
        view.uBlockLow = model->blocks.lowMap[view.uAxis];
        view.uBlockHigh = model->blocks.highMap[view.uAxis];
        view.vBlockLow = model->blocks.lowMap[view.vAxis];
        view.vBlockHigh = model->blocks.highMap[view.vAxis];
        view.boundGeneration = model->workingGeneration;
    }
}

int DexelGridsMatchModel(const DexelGridView views[3], const StockModel* model) {
    if (model == nullptr) {
        return 0;
    }
    for (int k = 0; k < 3; ++k) {
        const DexelGridView& view = views[k];
        if (view.model != model || view.boundGeneration != model->workingGeneration) {
            return 0;
        }
        if (view.nu == 0) {
            // Bound while the model had no grid: it must still have none.
            if (model->nx >= 2 && model->ny >= 2 && model->nz >= 2) {
                return 0;
            }
            continue;
        }
        const DexelFamily* family = ViewFamily(model, k);
        if (view.counts != family->counts || view.ends != family->ends ||
            view.flags != family->flags || view.lineStamps != family->lineStamps ||
            view.capacity != family->capacity) {
            return 0;
        }
        if (view.nu != NodeCount(*model, view.uAxis) || view.nv != NodeCount(*model, view.vAxis) ||
            view.nw != NodeCount(*model, view.wAxis) || view.pitch != model->pitch ||
            view.uCoords != NodeTable(*model, view.uAxis) ||
            view.vCoords != NodeTable(*model, view.vAxis) ||
            view.wCoords != NodeTable(*model, view.wAxis)) {
            return 0;
        }
        if (view.uBlockLow != model->blocks.lowMap[view.uAxis] ||
            view.uBlockHigh != model->blocks.highMap[view.uAxis] ||
            view.vBlockLow != model->blocks.lowMap[view.vAxis] ||
            view.vBlockHigh != model->blocks.highMap[view.vAxis]) {
            return 0;
        }
    }
    return 1;
}

double DexelFamilyVolume(const StockModel& model, int viewIndex) {
    if (model.nx < 2 || model.ny < 2 || model.nz < 2) {
        return 0.0;
    }
    const int* axes = kViewAxes[viewIndex];
    const int nu = NodeCount(model, axes[0]), nv = NodeCount(model, axes[1]);
    const DexelFamily& family = *ViewFamily(&model, viewIndex);
    const double pitch2 = model.pitch * model.pitch;
    double total = 0.0;
    for (int iv = 0; iv < nv; ++iv) {
        const double vWeight = (iv == 0 || iv == nv - 1) ? pitch2 / 2.0 : pitch2;
        double row = 0.0;
        for (int iu = 0; iu < nu; ++iu) {
            const std::int64_t cell = std::int64_t{iv} * nu + iu;
            const int n = family.counts[cell];
            const double* e = DexelCellEnds(cell, family.capacity, family.counts, family.ends);
            double length = 0.0;
            for (int k = 0; k + 1 < n; k += 2) {
                length += e[k + 1] - e[k];
            }
            row += length * ((iu == 0 || iu == nu - 1) ? vWeight / 2.0 : vWeight);
        }
        total += row;
    }
    return total;
}

}  // namespace mirexa
