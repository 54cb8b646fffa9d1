// Removal of cut-off pieces: segment counting, the mark arrays, the pick, the flood fill over
// crossing segments and the deletion by mode.
#include "stock/cut_off_removal.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/cursor.h"
#include "services/progress.h"
#include "stock/grid_node_index.h"
#include "stock/material_summary.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"

namespace mirexa {

namespace {

// Hits the view reports at most.
constexpr int kMostPickedEnds = 10000;

int SegmentsOf(const DexelFamily& family, std::int64_t cell) {
    const int n = family.counts[cell];
    return n < 2 ? 0 : n / 2;
}

std::uint8_t& MarkOf(UnusedPartMarks* marks, int family, std::int64_t cell, int segment) {
    return marks->marks[family][marks->firstSegment[family][cell] + segment];
}

// The first segment of the ray holding the point (within slack), or -1. Exits are ascending, so
// the first exit at or above the point is found by bisection.
int SegmentHolding(const double* e, int segments, double point, double slack) {
    int lo = 0, hi = segments;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (e[2 * mid + 1] < point - slack) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo < segments && e[2 * lo] <= point + slack ? lo : -1;
}

void SetWaitCursor() {
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
}

}  // namespace

std::int64_t CountDexelSegments(const StockModel& model, std::int32_t* maxX, std::int32_t* maxY,
                                std::int32_t* maxZ) {
    std::int32_t* most[3] = {maxX, maxY, maxZ};
    std::int64_t total = 0;
    for (int family = 0; family < 3; ++family) {
        const DexelFamily& rays = FamilyOfAxis(model, family);
        std::int32_t largest = 0;
        for (std::int64_t cell = 0; cell < rays.cellCount; ++cell) {
            const int segments = SegmentsOf(rays, cell);
            total += segments;
            largest = segments > largest ? segments : largest;
        }
        if (most[family]) {
            *most[family] = largest;
        }
    }
    return total;
}

std::uint64_t UnusedPartMarksBytes(const StockModel& model) {
    const std::uint64_t segments =
        static_cast<std::uint64_t>(CountDexelSegments(model, nullptr, nullptr, nullptr));
    std::uint64_t bytes = segments * (1 + sizeof(SegmentStackEntry));
    for (int family = 0; family < 3; ++family) {
        const std::uint64_t cells =
            static_cast<std::uint64_t>(FamilyOfAxis(model, family).cellCount);
        bytes += (cells + 1) * sizeof(std::int64_t) + cells * sizeof(std::int32_t);
    }
    return bytes;
}

int AllocUnusedPartMarks(const StockModel& model, UnusedPartMarks* marks) {
    *marks = UnusedPartMarks{};
    if (!FitsAvailableStockMemory(UnusedPartMarksBytes(model))) {
        return kStockOperationMemoryError;
    }
    std::int64_t total = 0;
    bool ok = true;
    for (int family = 0; family < 3 && ok; ++family) {
        const DexelFamily& rays = FamilyOfAxis(model, family);
        const std::uint64_t cells = static_cast<std::uint64_t>(rays.cellCount);
        marks->firstSegment[family] =
            static_cast<std::int64_t*>(AllocateStockArray(cells + 1, sizeof(std::int64_t)));
        marks->remaining[family] =
            static_cast<std::int32_t*>(AllocateStockArray(cells, sizeof(std::int32_t)));
        ok = marks->firstSegment[family] && marks->remaining[family];
        if (!ok) {
            break;
        }
        std::int64_t first = 0;
        for (std::int64_t cell = 0; cell < rays.cellCount; ++cell) {
            marks->firstSegment[family][cell] = first;
            first += SegmentsOf(rays, cell);
        }
        marks->firstSegment[family][rays.cellCount] = first;
        marks->marks[family] =
            static_cast<std::uint8_t*>(AllocateStockArray(static_cast<std::uint64_t>(first), 1));
        ok = marks->marks[family] != nullptr;
        total += first;
    }
    if (ok) {
        marks->stack = static_cast<SegmentStackEntry*>(
            AllocateStockArray(static_cast<std::uint64_t>(total), sizeof(SegmentStackEntry)));
        ok = marks->stack != nullptr;
    }
    if (!ok) {
        FreeUnusedPartMarks(marks);
        return kStockOperationMemoryError;
    }
    marks->totalSegments = total;
    marks->stackCapacity = total;
    return 1;
}

void ClearUnusedPartMarks(const StockModel& model, UnusedPartMarks* marks) {
    for (int family = 0; family < 3; ++family) {
        const DexelFamily& rays = FamilyOfAxis(model, family);
        for (std::int64_t cell = 0; cell < rays.cellCount; ++cell) {
            marks->remaining[family][cell] = SegmentsOf(rays, cell);
        }
        const std::int64_t segments = marks->firstSegment[family][rays.cellCount];
        for (std::int64_t i = 0; i < segments; ++i) {
            marks->marks[family][i] = kSegmentUnvisited;
        }
    }
    marks->stackCount = 0;
}

void FreeUnusedPartMarks(UnusedPartMarks* marks) {
    for (int family = 0; family < 3; ++family) {
        std::free(marks->firstSegment[family]);
        std::free(marks->marks[family]);
        std::free(marks->remaining[family]);
    }
    std::free(marks->stack);
    *marks = UnusedPartMarks{};
}

int PickStockSegmentAtCursor(int x, int y, double outPosition[3], DexelSegmentAddress* outAddress) {
    if (!StockCallbacks.pickStockSegmentEnds) {
        return 0;
    }
    std::vector<DexelEndPick> hits(kMostPickedEnds);
    double greatestDepth = -99999999.0;
    int count =
        StockCallbacks.pickStockSegmentEnds(x, y, hits.data(), kMostPickedEnds, &greatestDepth);
    count = count > kMostPickedEnds ? kMostPickedEnds : count;
    int best = -1;
    double bestScore = 0;
    for (int i = 0; i < count; ++i) {
        const double behind = greatestDepth - hits[i].depth;
        const double score = std::sqrt(hits[i].distance * hits[i].distance + behind * behind);
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    if (best < 0) {
        return 0;
    }
    for (int a = 0; a < 3; ++a) {
        outPosition[a] = hits[best].position[a];
    }
    *outAddress = hits[best].address;
    return 1;
}

int FloodFillConnectedSegments(const StockModel& model, const DexelSegmentAddress& seed,
                               UnusedPartMarks* marks) {
    // a. The seed must name an existing segment.
    const int family = seed.family;
    if (family < 0 || family > 2) {
        return kFloodFillInvalidSeed;
    }
    const int fastCount = NodeCountOfAxis(model, (family + 1) % 3);
    const int slowCount = NodeCountOfAxis(model, (family + 2) % 3);
    if (seed.a < 0 || seed.a >= fastCount || seed.b < 0 || seed.b >= slowCount ||
        seed.cell != static_cast<std::int64_t>(seed.b) * fastCount + seed.a || seed.index < 0 ||
        seed.index >= SegmentsOf(FamilyOfAxis(model, family), seed.cell)) {
        return kFloodFillInvalidSeed;
    }
    --marks->remaining[family][seed.cell];
    // b. Depth first: process the current segment, then take the top of the stack.
    SegmentStackEntry current;
    current.cell = seed.cell;
    current.index = seed.index;
    current.family = family;
    for (std::int64_t processed = 0;; ++processed) {
        MarkOf(marks, current.family, current.cell, current.index) = kSegmentProcessed;
        VisitConnectedSegments(model, current, marks);
        if (processed % kFloodPollInterval == 0) {
            AdvanceStockProgress(processed == 0 ? 1 : kFloodPollInterval);
            if (StockCallbacks.stopKeyDown && StockCallbacks.stopKeyDown()) {
                return kFloodFillStopped;
            }
            SetWaitCursor();
        }
        if (marks->stackCount == 0) {
            return TestUnmarkedSegments(model, *marks) ? kFloodFillPartsRemain
                                                       : kFloodFillWholeStock;
        }
        current = marks->stack[--marks->stackCount];
    }
}

void VisitConnectedSegments(const StockModel& model, const SegmentStackEntry& segment,
                            UnusedPartMarks* marks) {
    const int family = segment.family;
    const int fast = (family + 1) % 3, slow = (family + 2) % 3;
    const DexelFamily& rays = FamilyOfAxis(model, family);
    const int fastCount = NodeCountOfAxis(model, fast);
    const double* e = DexelCellEnds(segment.cell, rays.capacity, rays.counts, rays.ends);
    const double s0 = e[2 * segment.index], s1 = e[2 * segment.index + 1];
    const double p = model.pitch;
    const double* axisNodes = NodeTableOfAxis(model, family);
    const int n = NodeCountOfAxis(model, family);
    double first = NodeIndexAtOrAbove(s0, axisNodes[0], p);
    double last = NodeIndexAtOrBelow(s1, axisNodes[0], p);
    first = first < 0.0 ? 0.0 : first;
    last = last > n - 1.0 ? n - 1.0 : last;
    if (!(first <= last)) {
        return;  // the segment covers no node of its axis
    }
    const double slack = kNodeSlack * p;
    int node[3] = {};
    node[fast] = static_cast<int>(segment.cell % fastCount);
    node[slow] = static_cast<int>(segment.cell / fastCount);
    for (int t = static_cast<int>(first); t <= static_cast<int>(last); ++t) {
        node[family] = t;
        for (const int crossing : {fast, slow}) {
            const std::int64_t cell = CellOfNode(model, crossing, node);
            std::int32_t& remaining = marks->remaining[crossing][cell];
            if (remaining <= 0) {
                continue;
            }
            const DexelFamily& other = FamilyOfAxis(model, crossing);
            const int found = SegmentHolding(
                DexelCellEnds(cell, other.capacity, other.counts, other.ends),
                SegmentsOf(other, cell), NodeTableOfAxis(model, crossing)[node[crossing]], slack);
            if (found < 0) {
                continue;
            }
            std::uint8_t& mark = MarkOf(marks, crossing, cell, found);
            if (mark != kSegmentUnvisited) {
                continue;
            }
            mark = kSegmentOnStack;
            --remaining;
            SegmentStackEntry& entry = marks->stack[marks->stackCount++];
            entry.cell = cell;
            entry.index = found;
            entry.family = crossing;
        }
    }
}

int TestUnmarkedSegments(const StockModel& model, const UnusedPartMarks& marks) {
    for (int family = 0; family < 3; ++family) {
        const std::int64_t segments =
            marks.firstSegment[family][FamilyOfAxis(model, family).cellCount];
        for (std::int64_t i = 0; i < segments; ++i) {
            if (marks.marks[family][i] == kSegmentUnvisited) {
                return 1;
            }
        }
    }
    return 0;
}

int DeleteMarkedSegments(StockModel* model, int mode, const UnusedPartMarks& marks) {
    MarkStockRaysChanged(model);
    const std::uint8_t doomed = mode == kRemovePickedPiece ? kSegmentProcessed : kSegmentUnvisited;
    const StockDisplayBlocks& blocks = model->blocks;
    HeldDexelWorkList held;
    DexelWorkList& ray = held.list;
    for (int family = 0; family < 3; ++family) {
        DexelFamily* rays = FamilyOfAxis(model, family);
        const int fast = (family + 1) % 3, slow = (family + 2) % 3;
        const int fastCount = NodeCountOfAxis(*model, fast);
        for (std::int64_t cell = 0; cell < rays->cellCount; ++cell) {
            const int segments = SegmentsOf(*rays, cell);
            const std::uint8_t* mark = marks.marks[family] + marks.firstSegment[family][cell];
            bool any = false;
            for (int s = 0; s < segments && !any; ++s) {
                any = mark[s] == doomed;
            }
            if (!any) {
                continue;
            }
            if (LoadDexelWorkList(*rays, cell, &ray) != 1) {
                return kStockOperationMemoryError;
            }
            const int a = static_cast<int>(cell % fastCount);
            const int b = static_cast<int>(cell / fastCount);
            int w = 0;
            for (int s = 0; s < segments; ++s) {
                if (mark[s] != doomed) {
                    for (int i = 2 * s; i < 2 * s + 2; ++i, ++w) {
                        ray.ends[w] = ray.ends[i];
                        ray.flags[w] = ray.flags[i];
                        ray.lineStamps[w] = ray.lineStamps[i];
                    }
                } else if (blocks.lowMap[fast] && blocks.lowMap[slow]) {
                    const double piece[2] = {ray.ends[2 * s], ray.ends[2 * s + 1]};
                    const int f1 = blocks.lowMap[fast][a], l1 = blocks.highMap[fast][a];
                    const int f2 = blocks.lowMap[slow][b], l2 = blocks.highMap[slow][b];
                    if (family == 0) {
                        MarkDirtyBlocksAlongX(model, f1, l1, f2, l2, piece, 2);
                    } else if (family == 1) {
                        MarkDirtyBlocksAlongY(model, f1, l1, f2, l2, piece, 2);
                    } else {
                        MarkDirtyBlocksAlongZ(model, f1, l1, f2, l2, piece, 2);
                    }
                }
            }
            ray.count = w;
            StoreDexelWorkList(rays, cell, ray);
        }
    }
    return 1;
}

int RemoveCutOffPiece(StockModel* model, int mode, const DexelSegmentAddress& seed) {
    if (model->nx == 0 || !model->undo.slots ||
        (mode != kRemoveAllButPicked && mode != kRemovePickedPiece)) {
        return kStockDefinitionError;
    }
    StockOperationScope scope;
    if (!scope.acquired) {
        return kStockOperationBusy;
    }
    const std::int64_t total = CountDexelSegments(*model, nullptr, nullptr, nullptr);
    UnusedPartMarks marks;
    if (AllocUnusedPartMarks(*model, &marks) != 1) {
        return kStockOperationMemoryError;
    }
    if (mode == kRemoveAllButPicked) {
        BeginStockProgress(static_cast<std::uint64_t>(total), "残す部分検索中", "Searching Remain");
    } else {
        BeginStockProgress(static_cast<std::uint64_t>(total), "削除部検索中", "Searching Unused");
    }
    ClearUnusedPartMarks(*model, &marks);
    SetWaitCursor();
    int result = FloodFillConnectedSegments(*model, seed, &marks);
    EndProgress();
    if (result == kFloodFillPartsRemain) {
        PushStockUndo(model);
        if (DeleteMarkedSegments(model, mode, marks) != 1) {
            result = kStockOperationMemoryError;
        }
    }
    FreeUnusedPartMarks(&marks);
    return result;
}

int RemoveCutOffPieceAtCursor(StockModel* model, int mode, int x, int y, double outPosition[3]) {
    double position[3] = {};
    DexelSegmentAddress seed;
    if (PickStockSegmentAtCursor(x, y, position, &seed) != 1) {
        return 0;
    }
    if (outPosition) {
        for (int a = 0; a < 3; ++a) {
            outPosition[a] = position[a];
        }
    }
    seed.index /= 2;  // the picked end's segment
    const int result = RemoveCutOffPiece(model, mode, seed);
    if (result == kFloodFillWholeStock) {
        if (mode == kRemoveAllButPicked) {
            ShowStockMessage("The Whole is selected for used part",
                             "全てが残る対象になっています。", "Invalid", "無効");
        } else {
            ShowStockMessage("The Whole is selected for disused part.",
                             "全てが削除対象になっています。", "Invalid", "無効");
        }
    } else if (result == kStockOperationMemoryError) {
        ShowStockMessage("Memory over!", "Memory over!", "Data size error", "Data size error");
    }
    return result;
}

}  // namespace mirexa
