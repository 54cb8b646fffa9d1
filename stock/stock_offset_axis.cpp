// Z and Horizon growth sweeps and the re-synchronisation of the families they do not grow.
#include "stock/stock_offset_axis.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mirexa {

namespace {

// The destination node of a source ray: both lateral indices shifted by the margin.
void DestinationNode(const OffsetSweepGrid& grid, int axis, int fast, int slow, int node[3]) {
    node[axis] = 0;
    node[(axis + 1) % 3] = fast + grid.margin;
    node[(axis + 2) % 3] = slow + grid.margin;
}

bool InsideGrid(const int node[3], const int count[3]) {
    return node[0] >= 0 && node[0] < count[0] && node[1] >= 0 && node[1] < count[1] &&
           node[2] >= 0 && node[2] < count[2];
}

// Adds every segment of the ray, grown by h at both ends, to the destination ray at node.
void AddGrownSegments(const OffsetSweepGrid& grid, OffsetChordBatch* batch, int axis,
                      const int node[3], const double* e, int n, double h) {
    if (!InsideGrid(node, grid.count)) {
        return;
    }
    const std::int64_t cell = CellOfNode(*grid.destination, axis, node);
    for (int i = 0; i < n; i += 2) {
        AddOffsetChord(batch, axis, cell, e[i] - h, e[i + 1] + h);
    }
}

// Mode 2 for an X or Y family: copies of every ray m layers above and below in z.
void SpreadAlongZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch, int axis) {
    const int layers = ComputeZOffsetLayers(grid.value, grid.pitch);
    SweepSourceRays(grid, axis, [&](int fast, int slow, const double* e, int n) {
        int node[3] = {};
        DestinationNode(grid, axis, fast, slow, node);
        const int z = node[2];
        for (int t = -layers; t <= layers; ++t) {
            if (t != 0) {
                node[2] = z + t;
                AddGrownSegments(grid, batch, axis, node, e, n, 0.0);
            }
        }
    });
}

// Mode 3 for an X or Y family: its own rays in the same z layer within d on the other
// horizontal axis get the segments grown by the disc's half-chord.
void GrowWithinLayer(const OffsetSweepGrid& grid, OffsetChordBatch* batch, int axis) {
    const int lateral = 1 - axis;  // the other horizontal axis
    const double d2 = grid.value * grid.value;
    SweepSourceRays(grid, axis, [&](int fast, int slow, const double* e, int n) {
        int node[3] = {};
        DestinationNode(grid, axis, fast, slow, node);
        const int centre = node[lateral];
        for (int dl = -grid.k; dl <= grid.k; ++dl) {
            const double q = d2 - (dl * grid.pitch) * (dl * grid.pitch);
            if (q >= 0.0) {
                node[lateral] = centre + dl;
                AddGrownSegments(grid, batch, axis, node, e, n, std::sqrt(q));
            }
        }
    });
}

// Mode 3 from an X or Y family into the other horizontal family: the chords of a disc of
// radius d at every end, in the end's z layer, on the crossing rays within d along the axis.
void CrossWithinLayer(const OffsetSweepGrid& grid, OffsetChordBatch* batch, int axis) {
    const int target = 1 - axis;
    const double d = grid.value;
    const double* axisNodes = grid.nodes[axis];
    SweepSourceRays(grid, axis, [&](int fast, int slow, const double* e, int n) {
        int node[3] = {};
        DestinationNode(grid, axis, fast, slow, node);
        const double centre = grid.nodes[target][node[target]];
        for (int i = 0; i < n; ++i) {
            double lo = std::floor((e[i] - d - axisNodes[0]) / grid.pitch);
            double hi = std::ceil((e[i] + d - axisNodes[0]) / grid.pitch);
            lo = lo < 0.0 ? 0.0 : lo;
            hi = hi > grid.count[axis] - 1.0 ? grid.count[axis] - 1.0 : hi;
            for (int u = static_cast<int>(lo); lo <= hi && u <= static_cast<int>(hi); ++u) {
                const double along = axisNodes[u] - e[i];
                const double q = d * d - along * along;
                if (q <= 0.0) {
                    continue;
                }
                const double h = std::sqrt(q);
                node[axis] = u;
                AddOffsetChord(batch, target, CellOfNode(*grid.destination, target, node),
                               centre - h, centre + h);
            }
        }
    });
}

// Two re-synchronisation passes (source and pair axes of each) on the finished sweeps; a ray is
// written only when its ends change.
void ResyncFamilies(StockModel* model, OffsetChordBatch* batch, int source1, int pair1, int source2,
                    int pair2) {
    FlushOffsetChords(batch);
    batch->writeChangedOnly = 1;
    SyncNeighbourRayPairs(model, batch, source1, pair1);
    SyncNeighbourRayPairs(model, batch, source2, pair2);
    FlushOffsetChords(batch);
    batch->writeChangedOnly = 0;
}

}  // namespace

int ComputeZOffsetLayers(double value, double pitch) {
    const double m = std::trunc(value / pitch);
    return m > 0.0 && m <= 1073741824.0 ? static_cast<int>(m) : 0;
}

void GrowAlongZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    GrowAlongZSameFamilyZ(grid, batch);
    GrowAlongZSameFamilyY(grid, batch);
    GrowAlongZSameFamilyX(grid, batch);
    FlushOffsetChords(batch);
}

void GrowAlongZSameFamilyZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    SweepSourceRays(grid, 2, [&](int fast, int slow, const double* e, int n) {
        int node[3] = {};
        DestinationNode(grid, 2, fast, slow, node);
        AddGrownSegments(grid, batch, 2, node, e, n, grid.value);
    });
}

void GrowAlongZSameFamilyY(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    SpreadAlongZ(grid, batch, 1);
}

void GrowAlongZSameFamilyX(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    SpreadAlongZ(grid, batch, 0);
}

void GrowHorizontal(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    GrowHorizontalSameFamilyZ(grid, batch);
    GrowHorizontalSameFamilyY(grid, batch);
    GrowHorizontalYToX(grid, batch);
    GrowHorizontalSameFamilyX(grid, batch);
    GrowHorizontalXToY(grid, batch);
    FlushOffsetChords(batch);
}

void GrowHorizontalSameFamilyZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    const double d2 = grid.value * grid.value;
    const double p = grid.pitch;
    SweepSourceRays(grid, 2, [&](int fast, int slow, const double* e, int n) {
        int centre[3] = {};
        DestinationNode(grid, 2, fast, slow, centre);
        for (int dy = -grid.k; dy <= grid.k; ++dy) {
            for (int dx = -grid.k; dx <= grid.k; ++dx) {
                if ((dx * p) * (dx * p) + (dy * p) * (dy * p) <= d2) {
                    const int node[3] = {centre[0] + dx, centre[1] + dy, 0};
                    AddGrownSegments(grid, batch, 2, node, e, n, 0.0);
                }
            }
        }
    });
}

void GrowHorizontalSameFamilyY(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    GrowWithinLayer(grid, batch, 1);
}

void GrowHorizontalYToX(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    CrossWithinLayer(grid, batch, 1);
}

void GrowHorizontalSameFamilyX(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    GrowWithinLayer(grid, batch, 0);
}

void GrowHorizontalXToY(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    CrossWithinLayer(grid, batch, 0);
}

void SyncFamiliesAfterZOffset(StockModel* model, OffsetChordBatch* batch) {
    ResyncFamilies(model, batch, 2, 0, 2, 1);
}

void SyncFamiliesAfterHorizontalOffset(StockModel* model, OffsetChordBatch* batch) {
    ResyncFamilies(model, batch, 0, 2, 1, 2);
}

void SyncNeighbourRayPairs(StockModel* model, OffsetChordBatch* batch, int source, int pair) {
    const int outer = 3 - source - pair;
    const DexelFamily& family = FamilyOfAxis(*model, source);
    const int sourceCount = NodeCountOfAxis(*model, source);
    const int pairCount = NodeCountOfAxis(*model, pair);
    const int outerCount = NodeCountOfAxis(*model, outer);
    const double* sourceNodes = NodeTableOfAxis(*model, source);
    const double* pairNodes = NodeTableOfAxis(*model, pair);
    const double pitch = model->pitch;
    // Per node of the source axis: the open run of pair intervals, and the last pair that
    // reached the node (two touching overlaps can both hold it).
    std::vector<double> runLo(static_cast<std::size_t>(sourceCount));
    std::vector<double> runHi(static_cast<std::size_t>(sourceCount));
    std::vector<char> open(static_cast<std::size_t>(sourceCount));
    std::vector<int> lastPair(static_cast<std::size_t>(sourceCount));
    int node[3] = {};
    auto emit = [&](int j) {
        node[source] = j;
        AddOffsetChord(batch, pair, CellOfNode(*model, pair, node), runLo[j], runHi[j]);
        open[j] = 0;
    };
    for (int o = 0; o < outerCount; ++o) {
        node[outer] = o;
        std::fill(lastPair.begin(), lastPair.end(), -1);
        for (int i = 0; i + 1 < pairCount; ++i) {
            node[pair] = i;
            const std::int64_t cellA = CellOfNode(*model, source, node);
            node[pair] = i + 1;
            const std::int64_t cellB = CellOfNode(*model, source, node);
            const int nA = family.counts[cellA] & ~1, nB = family.counts[cellB] & ~1;
            if (nA < 2 || nB < 2) {
                continue;
            }
            // The rays are only read: the batch writes the pair family, never this one.
            const double* a = DexelCellEnds(cellA, family.capacity, family.counts, family.ends);
            const double* b = DexelCellEnds(cellB, family.capacity, family.counts, family.ends);
            int ia = 0, ib = 0;
            while (ia < nA && ib < nB) {
                const double lo = a[ia] > b[ib] ? a[ia] : b[ib];
                const double hi = a[ia + 1] < b[ib + 1] ? a[ia + 1] : b[ib + 1];
                if (lo <= hi) {
                    double first = std::floor((lo - sourceNodes[0]) / pitch) - 1.0;
                    first = first < 0.0 ? 0.0 : first;
                    for (int j = first < sourceCount ? static_cast<int>(first) : sourceCount;
                         j < sourceCount && sourceNodes[j] <= hi; ++j) {
                        if (sourceNodes[j] < lo || lastPair[j] == i) {
                            continue;
                        }
                        lastPair[j] = i;
                        if (open[j] && runHi[j] == pairNodes[i]) {
                            runHi[j] = pairNodes[i + 1];
                            continue;
                        }
                        if (open[j]) {
                            emit(j);
                        }
                        open[j] = 1;
                        runLo[j] = pairNodes[i];
                        runHi[j] = pairNodes[i + 1];
                    }
                }
                const double exitA = a[ia + 1], exitB = b[ib + 1];
                if (exitA <= exitB) {
                    ia += 2;
                }
                if (exitB <= exitA) {
                    ib += 2;
                }
            }
        }
        for (int j = 0; j < sourceCount; ++j) {
            if (open[j]) {
                emit(j);
            }
        }
        AdvanceStockProgress(pairCount);
    }
}

}  // namespace mirexa
