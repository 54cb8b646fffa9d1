// Difference painting: the comparison model, the marking pass and the painting of marked ends.
#include "stock/difference_paint.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "services/program_log.h"
#include "services/progress.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_offset.h"
#include "stock/stock_operation_support.h"
#include "stock/stock_shapes.h"

namespace mirexa {

ComparisonModelBuild ComparisonBuild;

namespace {

// How far beyond its first and last node a grown comparison ray may reach (mm).
constexpr double kComparisonRangeSlack = 0.1;

// The mark arrays index their families Z, X, Y.
int MarkIndexOfAxis(int axis) {
    return axis == 2 ? 0 : axis + 1;
}

// Calls change(flags, count) for every ray with ends of the three families (Z, X, Y, rows in
// cell order) on a copy of its flags, and writes the copy back when change returns true.
template <class Change>
void ChangeRayFlags(StockModel* model, Change change) {
    std::vector<std::uint8_t> flags;
    for (int axis : {2, 0, 1}) {
        DexelFamily* family = FamilyOfAxis(model, axis);
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            const int n = family->counts[cell];
            if (n < 1) {
                continue;
            }
            flags.resize(static_cast<std::size_t>(n));
            GetDexelCellFlags(cell, family->capacity, family->counts, family->flags, flags.data());
            if (change(axis, cell, flags.data(), n)) {
                SetDexelCellFlags(cell, family->capacity, family->counts, family->flags,
                                  flags.data());
            }
        }
    }
}

int PenOf(std::uint8_t flag) {
    return flag >> kDexelEndPenShift;
}

// Bytes of the mark arrays for the model: the inline layout and the blocks of spilled rays.
std::uint64_t MarkArrayBytes(const StockModel& model) {
    std::uint64_t bytes = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const DexelFamily& family = FamilyOfAxis(model, axis);
        bytes += static_cast<std::uint64_t>(family.cellCount) *
                 (static_cast<std::uint64_t>(family.capacity) + sizeof(std::int32_t));
        for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
            if (family.counts[cell] > family.capacity) {
                bytes += static_cast<std::uint64_t>(family.counts[cell]);
            }
        }
    }
    return bytes;
}

void ReleaseComparisonModel() {
    FreeStockModel(&ComparisonModel);
    ComparisonModel = StockModel{};
    BasicModelState.comparisonPresent = 0;
}

// Builds ComparisonModel on the current stock's grid from the basic model. 1 or a negative
// code (the comparison model then holds nothing).
int BuildComparisonModel(const StockModel& current, const StockModel& basic,
                         const DifferencePaintSettings& settings) {
    ReleaseComparisonModel();
    StockModel& comparison = ComparisonModel;
    SetStockUndoRingSize(&comparison, 1);
    comparison.nx = current.nx;
    comparison.ny = current.ny;
    comparison.nz = current.nz;
    comparison.pitch = current.pitch;
    comparison.frame = current.frame;
    for (int a = 0; a < 3; ++a) {
        comparison.origin[a] = current.origin[a];
    }
    // The grid set-up and the allocation check the memory available first.
    int result = InitStockGridBlocks(&comparison);
    if (result == 1) {
        result = AllocStockModel(&comparison);
    }
    if (result != 1) {
        ReleaseComparisonModel();
        return kStockOperationMemoryError;  // every set-up failure on a valid grid is memory
    }
    CopyDexelModelWithMargin(basic, 0, &comparison);
    if (settings.allowance != 0.0) {
        const double value = settings.areaSign * settings.allowance;
        const int k = ComputeOffsetCellRadius(value, basic.pitch);
        BeginStockProgress(OffsetProgressTotal(basic, comparison, kOffsetModeNormal, value),
                           "差分データ作成中", "Creating Difference");
        result =
            k < 0 ? kStockDefinitionError : OffsetComparisonModel(basic, k, value, &comparison);
        EndProgress();
        if (result != 1) {
            ReleaseComparisonModel();
            return result;
        }
    }
    ClearAllDexelFlags(&comparison);
    RefreshStockFrame(&comparison);
    BasicModelState.comparisonPresent = 1;
    ComparisonBuild.areaSign = settings.areaSign;
    ComparisonBuild.allowance = settings.allowance;
    ++ComparisonBuild.builds;
    return 1;
}

// Marks every end of the current stock that differs from the comparison ray of its cell.
void MarkDifferences(const StockModel& current, const StockModel& comparison, int areaSign,
                     DexelFlagCopies* marks) {
    std::vector<std::uint8_t> rayMarks;
    for (int axis : {2, 0, 1}) {
        const DexelFamily& rays = FamilyOfAxis(current, axis);
        const DexelFamily& reference = FamilyOfAxis(comparison, axis);
        const int m = MarkIndexOfAxis(axis);
        const int fastCount = NodeCountOfAxis(current, (axis + 1) % 3);
        const int slowCount = NodeCountOfAxis(current, (axis + 2) % 3);
        for (int slow = 0; slow < slowCount; ++slow) {
            for (int fast = 0; fast < fastCount; ++fast) {
                const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
                const int n = rays.counts[cell];
                if (n < 1) {
                    continue;
                }
                const double* e = DexelCellEnds(cell, rays.capacity, rays.counts, rays.ends);
                const int rn = reference.counts[cell] & ~1;
                const double* r =
                    DexelCellEnds(cell, reference.capacity, reference.counts, reference.ends);
                rayMarks.assign(static_cast<std::size_t>(n), 0);
                bool any = false;
                for (int i = 0; i < n; ++i) {
                    bool inside = false;
                    for (int j = 0; j < rn && !inside; j += 2) {
                        inside = areaSign == 1 ? (r[j] <= e[i] && e[i] <= r[j + 1])
                                               : (r[j] < e[i] && e[i] < r[j + 1]);
                    }
                    const bool marked = areaSign == 1 ? !inside : inside;
                    rayMarks[static_cast<std::size_t>(i)] = marked ? 1 : 0;
                    any = any || marked;
                }
                if (any) {
                    SetDexelCellFlags(cell, marks->capacity[m], marks->counts[m], marks->marks[m],
                                      rayMarks.data());
                }
            }
            AdvanceStockProgress(1);
        }
    }
}

void ClearPreviousMarks(StockModel* current, const DifferencePaintSettings& settings) {
    if (settings.penMode == 1 && !settings.targetPenOn) {
        ClearStockPenNumber(current, settings.pen);
    } else if (settings.penMode != 1 && settings.targetPenOn) {
        ClearPaintBitsOfPen(current, settings.targetPen);
    } else if (settings.penMode != 1) {
        StripStockPaint(current);
    }
}

}  // namespace

int PaintDifferenceWithBasicModel(StockModel* current, const DifferencePaintSettings& settings) {
    if (current->nx == 0) {
        return kStockDefinitionError;
    }
    if (!BasicModelState.present || BasicModel.nx == 0) {
        if (!StockCallbacks.loadBasicModel) {
            return kStockDefinitionError;
        }
        const int loaded = StockCallbacks.loadBasicModel(*current, &BasicModel);
        if (loaded != 1) {
            BasicModel.nx = 0;
            return loaded < 0 ? loaded : kStockDefinitionError;
        }
        BasicModelState.present = 1;
    }
    const int result = PaintDifference(current, BasicModel, settings);
    if (result == 1) {
        MarkAllStockBlocksDirty(current);
    } else if (result == kStockOperationMemoryError) {
        // Counted: unattended work that ran out of memory saves nothing and exits 2.
        NoteMemoryShortage();
        ShowStockMessage("Memory over!", "Memory over!", "Data size error", "Data size error");
    } else if (result == kStockOperationGridMismatch) {
        ShowStockMessage("The basic model does not lie on the grid of the stock.",
                         "基準形状がワークのグリッドと一致しません。", "Invalid", "無効");
    }
    return result;
}

int PaintDifference(StockModel* current, const StockModel& basic,
                    const DifferencePaintSettings& settings) {
    if (current->nx == 0 || !current->undo.slots || basic.nx == 0 || !basic.undo.slots) {
        return kStockDefinitionError;
    }
    if (!StockGridsMatch(*current, basic)) {
        return kStockOperationGridMismatch;
    }
    StockOperationScope scope;
    if (!scope.acquired) {
        return kStockOperationBusy;
    }
    // a. The comparison model, rebuilt when its sign, allowance or grid changed.
    if (ComparisonModel.nx == 0 || !ComparisonModel.undo.slots ||
        ComparisonBuild.areaSign != settings.areaSign ||
        ComparisonBuild.allowance != settings.allowance ||
        !StockGridsMatch(ComparisonModel, *current)) {
        const int built = BuildComparisonModel(*current, basic, settings);
        if (built != 1) {
            return built;
        }
    }
    // b. Marks of the ends that differ.
    DexelFlagCopies marks;
    if (!FitsAvailableStockMemory(MarkArrayBytes(*current)) ||
        AllocDexelFlagCopies(&marks, *current) != 1) {
        return kStockOperationMemoryError;
    }
    if (SnapshotStockFlags(*current, &marks) != 1) {
        FreeDexelFlagCopies(&marks);
        return kStockOperationMemoryError;
    }
    BeginStockProgress(static_cast<std::uint64_t>(current->nx) + current->ny + current->nz,
                       "差分反映中", "Painting Difference");
    MarkDifferences(*current, ComparisonModel, settings.areaSign, &marks);
    EndProgress();
    // c. and d.
    if (settings.clearPrevious) {
        ClearPreviousMarks(current, settings);
    }
    if (settings.emphasisRadius > 0.0) {
        PaintEmphasis(current, settings.emphasisRadius, marks, settings);
    } else {
        ApplySavedMarks(current, marks, settings);
    }
    FreeDexelFlagCopies(&marks);
    return 1;
}

int OffsetComparisonModel(const StockModel& source, int k, double value, StockModel* destination) {
    OffsetChordBatch batch;
    const int prepared = PrepareOffsetChordBatch(&batch, destination, value <= 0.0 ? 1 : 0);
    if (prepared != 1) {
        return prepared;
    }
    if (value > 0.0) {
        batch.clipToRange = 1;
        for (int axis = 0; axis < 3; ++axis) {
            const double* nodes = NodeTableOfAxis(*destination, axis);
            batch.rangeLo[axis] = nodes[0] - kComparisonRangeSlack;
            batch.rangeHi[axis] =
                nodes[NodeCountOfAxis(*destination, axis) - 1] + kComparisonRangeSlack;
        }
    }
    SweepOffsetBalls(MakeOffsetSweepGrid(source, *destination, 0, k, value), &batch);
    if (batch.failed) {
        return kStockOperationMemoryError;
    }
    return CleanOffsetCells(destination);
}

void ClearAllDexelFlags(StockModel* model) {
    ChangeRayFlags(model, [](int, std::int64_t, std::uint8_t* flags, int n) {
        std::memset(flags, 0, static_cast<std::size_t>(n));
        return true;
    });
}

void ClearPaintBitsOfPen(StockModel* model, int pen) {
    ChangeRayFlags(model, [pen](int, std::int64_t, std::uint8_t* flags, int n) {
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            if (PenOf(flags[i]) == pen && (flags[i] & kDexelEndPainted) != 0) {
                flags[i] = static_cast<std::uint8_t>(flags[i] & ~kDexelEndPainted);
                changed = true;
            }
        }
        return changed;
    });
}

std::uint8_t PaintDifferenceFlag(std::uint8_t flag, const DifferencePaintSettings& settings) {
    if (settings.penMode == 1) {
        return static_cast<std::uint8_t>((flag & kDexelEndLowBits) |
                                         ((settings.pen & 0x0F) << kDexelEndPenShift));
    }
    return static_cast<std::uint8_t>(flag | kDexelEndPainted);
}

void ApplySavedMarks(StockModel* model, const DexelFlagCopies& marks,
                     const DifferencePaintSettings& settings) {
    ChangeRayFlags(model, [&](int axis, std::int64_t cell, std::uint8_t* flags, int n) {
        const int m = MarkIndexOfAxis(axis);
        const std::uint8_t* mark =
            DexelCellFlags(cell, marks.capacity[m], marks.counts[m], marks.marks[m]);
        bool changed = false;
        for (int i = 0; i < n && marks.counts[m][cell] == n; ++i) {
            if (mark[i] && (!settings.targetPenOn || PenOf(flags[i]) == settings.targetPen)) {
                const std::uint8_t painted = PaintDifferenceFlag(flags[i], settings);
                changed = changed || painted != flags[i];
                flags[i] = painted;
            }
        }
        return changed;
    });
}

void PaintEmphasis(StockModel* model, double radius, const DexelFlagCopies& marks,
                   const DifferencePaintSettings& settings) {
    BeginStockProgress(
        static_cast<std::uint64_t>(model->z.cellCount + model->x.cellCount + model->y.cellCount),
        "強調範囲反映中", "Painting emphasis");
    for (int axis : {2, 0, 1}) {
        const DexelFamily& rays = FamilyOfAxis(*model, axis);
        const int m = MarkIndexOfAxis(axis);
        const int fastAxis = (axis + 1) % 3, slowAxis = (axis + 2) % 3;
        const int fastCount = NodeCountOfAxis(*model, fastAxis);
        const int slowCount = NodeCountOfAxis(*model, slowAxis);
        for (int slow = 0; slow < slowCount; ++slow) {
            for (int fast = 0; fast < fastCount; ++fast) {
                const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
                const int n = rays.counts[cell];
                if (n < 1 || marks.counts[m][cell] != n) {
                    continue;
                }
                const std::uint8_t* mark =
                    DexelCellFlags(cell, marks.capacity[m], marks.counts[m], marks.marks[m]);
                for (int i = 0; i < n; ++i) {
                    if (!mark[i]) {
                        continue;
                    }
                    double point[3] = {};
                    point[fastAxis] = NodeTableOfAxis(*model, fastAxis)[fast];
                    point[slowAxis] = NodeTableOfAxis(*model, slowAxis)[slow];
                    // Painting changes flags only, so the ray's ends stay where they are.
                    point[axis] = DexelCellEnds(cell, rays.capacity, rays.counts, rays.ends)[i];
                    MarkEndsInSphere(model, point, radius, settings);
                }
            }
            AdvanceStockProgress(fastCount);
        }
    }
    EndProgress();
}

void MarkEndsInSphere(StockModel* model, const double point[3], double radius,
                      const DifferencePaintSettings& settings) {
    int first[3] = {}, last[3] = {};
    for (int a = 0; a < 3; ++a) {
        const double origin = NodeTableOfAxis(*model, a)[0];
        double lo = std::floor((point[a] - radius - origin) / model->pitch);
        double hi = std::ceil((point[a] + radius - origin) / model->pitch);
        lo = lo < 0.0 ? 0.0 : lo;
        hi = hi > NodeCountOfAxis(*model, a) - 1.0 ? NodeCountOfAxis(*model, a) - 1.0 : hi;
        if (!(lo <= hi)) {
            return;
        }
        first[a] = static_cast<int>(lo);
        last[a] = static_cast<int>(hi);
    }
    const double r2 = radius * radius;
    std::vector<std::uint8_t> flags;
    for (int axis : {2, 0, 1}) {
        DexelFamily* rays = FamilyOfAxis(model, axis);
        const int fastAxis = (axis + 1) % 3, slowAxis = (axis + 2) % 3;
        int node[3] = {};
        for (node[slowAxis] = first[slowAxis]; node[slowAxis] <= last[slowAxis]; ++node[slowAxis]) {
            for (node[fastAxis] = first[fastAxis]; node[fastAxis] <= last[fastAxis];
                 ++node[fastAxis]) {
                const std::int64_t cell = CellOfNode(*model, axis, node);
                const int n = rays->counts[cell];
                if (n < 1) {
                    continue;
                }
                const double du =
                    NodeTableOfAxis(*model, fastAxis)[node[fastAxis]] - point[fastAxis];
                const double dv =
                    NodeTableOfAxis(*model, slowAxis)[node[slowAxis]] - point[slowAxis];
                const double* e = DexelCellEnds(cell, rays->capacity, rays->counts, rays->ends);
                flags.resize(static_cast<std::size_t>(n));
                GetDexelCellFlags(cell, rays->capacity, rays->counts, rays->flags, flags.data());
                bool changed = false;
                for (int i = 0; i < n; ++i) {
                    const double dw = e[i] - point[axis];
                    if (du * du + dv * dv + dw * dw <= r2) {
                        const std::uint8_t painted = PaintDifferenceFlag(flags[i], settings);
                        changed = changed || painted != flags[i];
                        flags[i] = painted;
                    }
                }
                if (changed) {
                    SetDexelCellFlags(cell, rays->capacity, rays->counts, rays->flags,
                                      flags.data());
                }
            }
        }
    }
}

}  // namespace mirexa
