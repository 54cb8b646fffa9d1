// The cell stage of the surface extraction: candidate cells found from the ray ends, work units
// of row bands per slab, and the pipeline that builds units on worker threads and writes them in
// order.
#include "stockio/surface_cell_walk.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/system_info.h"

namespace mirexa {

namespace {

// The cells are processed in work units: bands of up to kBandRows cell rows (iy) of one slab
// (iz), in (iz, band) order, which is the order of their facets.
constexpr int kBandRows = 32;

// What every unit of the cell stage reads.
struct CellStage {
    const StockModel* model = {};
    const StockCapMarks* marks = {};
    const MeshTransform* transform = {};  // the cells' own: grid coordinates
    const MeshTransform* placement = {};  // the frame's, applied on the way to the sink
    bool plain = {};
    int bands = {};  // per slab
    int units = {};
    // Sparse walk: the Z and Y rays with an end on an edge of each unit's cells, bucketed by
    // unit (entries offsets[u] .. offsets[u + 1] - 1).
    std::vector<std::int64_t> zOffsets;
    std::vector<std::int64_t> zRays;
    std::vector<std::int64_t> yOffsets;
    std::vector<std::int64_t> yRays;

    int FirstRow(int band) const {
        return band * kBandRows;
    }
    // The last cell row of a band.
    int LastRow(int band) const {
        return std::min(FirstRow(band) + kBandRows, model->ny - 1) - 1;
    }
};

// The cells along an axis whose closed span [nodes[k], nodes[k + 1]] holds v: k0..k1 (one cell,
// or two when v is on an inner node or so near it that the cells take it as on the node). false
// when v lies outside the grid.
bool CellsHoldingEnd(const double* nodes, int n, double pitch, double v, int* k0, int* k1) {
    const double near = kNodeSlack * pitch;
    if (!(v >= nodes[0] - near && v <= nodes[n - 1] + near)) {
        return false;
    }
    const double estimate = std::floor((v - nodes[0]) / pitch);
    int k = estimate < 0 ? 0 : (estimate > n - 2 ? n - 2 : static_cast<int>(estimate));
    while (k > 0 && nodes[k] > v) {
        --k;
    }
    while (k < n - 2 && nodes[k + 1] <= v) {
        ++k;
    }
    *k1 = (k < n - 2 && nodes[k + 1] - v <= near) ? k + 1 : k;
    *k0 = (v - nodes[k] <= near && k > 0) ? k - 1 : k;
    return true;
}

// Buckets the rays of a family by the units whose cells have one of their ends on an edge.
// unitsOfEnd(ray, end value, emit) calls emit(unit) for each such unit, in ascending order.
template <class UnitsOfEnd>
bool BucketRayEnds(const CellStage& stage, const DexelFamily& family, UnitsOfEnd unitsOfEnd,
                   std::vector<std::int64_t>* offsets, std::vector<std::int64_t>* rays) {
    try {
        offsets->assign(static_cast<std::size_t>(stage.units) + 1, 0);
        std::vector<std::int64_t> fill;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) {
                for (int u = 0; u < stage.units; ++u) {
                    (*offsets)[u + 1] += (*offsets)[u];
                }
                rays->assign(static_cast<std::size_t>(offsets->back()), 0);
                fill.assign(offsets->begin(), offsets->end() - 1);
            }
            for (std::int64_t r = 0; r < family.cellCount; ++r) {
                const int count = family.counts[r];
                if (count < 1) {
                    continue;
                }
                const double* ends = DexelCellEnds(r, family.capacity, family.counts, family.ends);
                int previous = -1;  // the last unit listed for this ray
                for (int i = 0; i < count; ++i) {
                    unitsOfEnd(r, ends[i], [&](int unit) {
                        if (unit == previous) {
                            return;
                        }
                        previous = unit;
                        if (pass == 0) {
                            ++(*offsets)[unit + 1];
                        } else {
                            (*rays)[fill[unit]++] = r;
                        }
                    });
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Buckets the Z rays (their ends give the slabs, their place the rows) and the Y rays (their
// ends give the rows, their plane the slabs).
bool BucketStockEnds(CellStage* stage) {
    const StockModel& model = *stage->model;
    const int slabs = model.nz - 1;
    const int rows = model.ny - 1;
    auto zUnits = [&](std::int64_t r, double v, auto emit) {
        int k0 = 0, k1 = 0;
        if (!CellsHoldingEnd(model.nodesZ, model.nz, model.pitch, v, &k0, &k1)) {
            return;
        }
        const int iy = static_cast<int>(r / model.nx);
        const int b0 = std::max(iy - 1, 0) / kBandRows;
        const int b1 = std::min(iy, rows - 1) / kBandRows;
        for (int k = k0; k <= k1; ++k) {
            for (int b = b0; b <= b1; ++b) {
                emit(k * stage->bands + b);
            }
        }
    };
    auto yUnits = [&](std::int64_t r, double v, auto emit) {
        int k0 = 0, k1 = 0;
        if (!CellsHoldingEnd(model.nodesY, model.ny, model.pitch, v, &k0, &k1)) {
            return;
        }
        const int iz = static_cast<int>(r % model.nz);
        const int s0 = std::max(iz - 1, 0);
        const int s1 = std::min(iz, slabs - 1);
        for (int k = s0; k <= s1; ++k) {
            for (int b = k0 / kBandRows; b <= k1 / kBandRows; ++b) {
                emit(k * stage->bands + b);
            }
        }
    };
    return BucketRayEnds(*stage, model.z, zUnits, &stage->zOffsets, &stage->zRays) &&
           BucketRayEnds(*stage, model.y, yUnits, &stage->yOffsets, &stage->yRays);
}

// The candidate cells of one unit as a bitmap over its rows and the columns (ix), bit
// (iy - first row) * (nx - 1) + ix.
class UnitCandidates {
public:
    bool Prepare(const StockModel& model) {
        columns_ = model.nx - 1;
        const std::int64_t bits = static_cast<std::int64_t>(columns_) * kBandRows;
        try {
            words_.assign(static_cast<std::size_t>((bits + 63) / 64), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void MarkUnit(const CellStage& stage, int unit) {
        const StockModel& model = *stage.model;
        const int iz = unit / stage.bands;
        const int band = unit % stage.bands;
        firstRow_ = stage.FirstRow(band);
        lastRow_ = stage.LastRow(band);
        for (std::int64_t e = stage.zOffsets[unit]; e < stage.zOffsets[unit + 1]; ++e) {
            const std::int64_t r = stage.zRays[e];
            const int ix = static_cast<int>(r % model.nx);
            const int iy = static_cast<int>(r / model.nx);
            Mark(ix - 1, ix, iy - 1, iy);
        }
        // X rays (iy, iz + dz) of the slab's two planes; ray iy lies on rows iy - 1 and iy.
        for (int dz = 0; dz < 2; ++dz) {
            for (int iy = firstRow_; iy <= lastRow_ + 1; ++iy) {
                const std::int64_t r = static_cast<std::int64_t>(iz + dz) * model.ny + iy;
                ForEachEndCells(model.x, r, model.nodesX, model.nx, model.pitch,
                                [&](int k0, int k1) { Mark(k0, k1, iy - 1, iy); });
            }
        }
        // Y rays (ix, iz + dz): ray ix lies on columns ix - 1 and ix.
        for (std::int64_t e = stage.yOffsets[unit]; e < stage.yOffsets[unit + 1]; ++e) {
            const std::int64_t r = stage.yRays[e];
            const int ix = static_cast<int>(r / model.nz);
            ForEachEndCells(model.y, r, model.nodesY, model.ny, model.pitch,
                            [&](int k0, int k1) { Mark(ix - 1, ix, k0, k1); });
        }
    }

    // Calls visit(ix, iy) for every marked cell in (iy, ix) order and clears the marks; stops
    // (clearing the rest) when visit returns false.
    template <class Visit>
    bool Drain(Visit visit) {
        for (std::size_t w = 0; w < words_.size(); ++w) {
            std::uint64_t word = words_[w];
            words_[w] = 0;
            while (word != 0) {
                const int bit = __builtin_ctzll(word);
                word &= word - 1;
                const std::int64_t cell = static_cast<std::int64_t>(w) * 64 + bit;
                const int ix = static_cast<int>(cell % columns_);
                const int iy = firstRow_ + static_cast<int>(cell / columns_);
                if (!visit(ix, iy)) {
                    std::fill(words_.begin() + static_cast<std::ptrdiff_t>(w), words_.end(), 0);
                    return false;
                }
            }
        }
        return true;
    }

private:
    // Marks the cells of columns ix0..ix1 and rows iy0..iy1, clipped to the unit.
    void Mark(int ix0, int ix1, int iy0, int iy1) {
        ix0 = std::max(ix0, 0);
        ix1 = std::min(ix1, columns_ - 1);
        iy0 = std::max(iy0, firstRow_);
        iy1 = std::min(iy1, lastRow_);
        for (int iy = iy0; iy <= iy1; ++iy) {
            for (int ix = ix0; ix <= ix1; ++ix) {
                const std::int64_t bit = static_cast<std::int64_t>(iy - firstRow_) * columns_ + ix;
                words_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
            }
        }
    }

    // Calls mark(k0, k1) with the cells along the ray that hold each of its ends.
    template <class MarkCells>
    static void ForEachEndCells(const DexelFamily& family, std::int64_t r, const double* nodes,
                                int n, double pitch, MarkCells mark) {
        const int count = family.counts[r];
        if (count < 1) {
            return;
        }
        const double* ends = DexelCellEnds(r, family.capacity, family.counts, family.ends);
        for (int i = 0; i < count; ++i) {
            int k0 = 0, k1 = 0;
            if (CellsHoldingEnd(nodes, n, pitch, ends[i], &k0, &k1)) {
                mark(k0, k1);
            }
        }
    }

    int columns_ = 0;
    int firstRow_ = 0;
    int lastRow_ = 0;
    std::vector<std::uint64_t> words_;
};

// The cells' facets on their way to the writer: they come in grid coordinates; each of their
// points on an outer plane is noted for the caps, and the facet is placed by the frame.
struct PlacingSink {
    const MeshTransform* transform = {};
    OuterPlanePoints* points = {};
    FacetSink target;
};

int WritePlacedFacet(void* context, const MeshFacet& facet) {
    auto* placing = static_cast<PlacingSink*>(context);
    for (int v = 0; v < 3; ++v) {
        if (!AddOuterPlanePoint(placing->points, facet.vertices[v])) {
            return kMeshExtractionNoMemory;
        }
    }
    const MeshTransform& transform = *placing->transform;
    if (!transform.rotate && !transform.translate) {
        return placing->target.write(placing->target.context, facet);  // placed as it is
    }
    MeshFacet placed = facet;
    if (placing->transform->mirrored) {
        for (int k = 0; k < 3; ++k) {
            std::swap(placed.vertices[1][k], placed.vertices[2][k]);
        }
    }
    for (double* vertex : placed.vertices) {
        TransformMeshPoint(*placing->transform, vertex);
    }
    return placing->target.write(placing->target.context, placed);
}

// The work space of one thread of the cell stage.
struct CellScratch {
    UnitCandidates candidates;
    CellSegmentList segments;
    CellPatternMemo memo;
};

// Analyses and emits one cell. Returns the facets written or a negative code.
std::int64_t ProcessCell(const CellStage& stage, int ix, int iy, int iz, CellScratch* scratch,
                         const FacetSink& sink, MeshExtractionStats* stats) {
    ++stats->cellsVisited;
    int faceFlags[6] = {};
    if (!AnalyseStockCell(*stage.model, *stage.marks, ix, iy, iz, stage.plain ? 0 : 1, faceFlags,
                          &scratch->segments, stage.plain ? nullptr : &scratch->memo)) {
        return 0;
    }
    ++stats->cellsEmitted;
    stats->segmentOverflows += scratch->segments.overflow;
    return EmitDexelFaceTriangles(*stage.transform, faceFlags, scratch->segments, sink, stats);
}

// The cells of one unit in (iy, ix) order. Returns the facets written or a negative code.
std::int64_t ProcessUnit(const CellStage& stage, int unit, CellScratch* scratch,
                         const FacetSink& sink, MeshExtractionStats* stats) {
    const StockModel& model = *stage.model;
    const int iz = unit / stage.bands;
    const int band = unit % stage.bands;
    std::int64_t written = 0;
    if (stage.plain) {
        for (int iy = stage.FirstRow(band); iy <= stage.LastRow(band); ++iy) {
            const std::int64_t r0 = static_cast<std::int64_t>(iz) * model.ny + iy;
            const std::int64_t r1 = r0 + model.ny;
            const std::int32_t* counts = model.x.counts;
            if (counts[r0] == 0 && counts[r0 + 1] == 0 && counts[r1] == 0 && counts[r1 + 1] == 0) {
                continue;  // no material on the row's X edges
            }
            for (int ix = 0; ix + 1 < model.nx; ++ix) {
                const std::int64_t result = ProcessCell(stage, ix, iy, iz, scratch, sink, stats);
                if (result < 0) {
                    return result;
                }
                written += result;
            }
        }
        return written;
    }
    scratch->candidates.MarkUnit(stage, unit);
    std::int64_t failure = 0;
    scratch->candidates.Drain([&](int ix, int iy) {
        const std::int64_t result = ProcessCell(stage, ix, iy, iz, scratch, sink, stats);
        if (result < 0) {
            failure = result;
            return false;
        }
        written += result;
        return true;
    });
    return failure < 0 ? failure : written;
}

// ProcessUnit on any thread: memory that runs out in the unit fails the surface
// (kMeshExtractionNoMemory), not the program.
std::int64_t ProcessUnitOrFail(const CellStage& stage, int unit, CellScratch* scratch,
                               const FacetSink& sink, MeshExtractionStats* stats) {
    try {
        return ProcessUnit(stage, unit, scratch, sink, stats);
    } catch (const std::bad_alloc&) {
        return kMeshExtractionNoMemory;
    }
}

void AddStats(MeshExtractionStats* total, const MeshExtractionStats& part) {
    total->cellsVisited += part.cellsVisited;
    total->cellsEmitted += part.cellsEmitted;
    total->fallbackCells += part.fallbackCells;
    total->holeLoops += part.holeLoops;
    total->leftoverEdgeChains += part.leftoverEdgeChains;
    total->unclosedFaceChains += part.unclosedFaceChains;
    total->segmentOverflows += part.segmentOverflows;
}

int AppendToBuffer(void* context, const MeshFacet& facet) {
    auto* buffer = static_cast<std::vector<MeshFacet>*>(context);
    try {
        buffer->push_back(facet);
    } catch (const std::bad_alloc&) {
        return kMeshExtractionNoMemory;
    }
    return 1;
}

// A thread's scratch, or null when it cannot be allocated.
std::unique_ptr<CellScratch> MakeScratch(const CellStage& stage) {
    std::unique_ptr<CellScratch> scratch(new (std::nothrow) CellScratch);
    if (scratch && !stage.plain && !scratch->candidates.Prepare(*stage.model)) {
        scratch.reset();
    }
    return scratch;
}

// Adds a unit's points on the outer planes to the whole surface's. false when memory ran out.
bool MergeOuterPlanePoints(const OuterPlanePoints& unit, OuterPlanePoints* all) {
    try {
        for (int face = 0; face < 6; ++face) {
            all->byB[face].insert(all->byB[face].end(), unit.byB[face].begin(),
                                  unit.byB[face].end());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// What UnitPipeline::Run returns when no worker thread could be started.
constexpr std::int64_t kNoWorkerStarted = std::numeric_limits<std::int64_t>::min();

// Units built by worker threads into buffers and written by the calling thread in order. At
// most `window` units are built ahead of the one being written.
class UnitPipeline {
public:
    UnitPipeline(const CellStage& stage, int threads, const FacetSink& sink,
                 OuterPlanePoints* points)
        : stage_(stage), threads_(threads), sink_(sink), points_(points) {
        window_ = 4 * threads;
        slots_.resize(static_cast<std::size_t>(window_));
    }

    // Returns the facets written or a negative code (kNoWorkerStarted when the system gave no
    // thread at all: nothing was written); stats gathers the units' counters.
    std::int64_t Run(MeshExtractionStats* stats) {
        std::vector<std::thread> workers;
        // The system may give fewer threads than asked (a memory limit): the units are built on
        // those there are.
        try {
            workers.reserve(static_cast<std::size_t>(threads_));
            for (int t = 0; t < threads_; ++t) {
                workers.emplace_back([this] { Work(); });
            }
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
        if (workers.empty()) {
            return kNoWorkerStarted;
        }
        std::int64_t written = 0;
        for (int u = 0; u < stage_.units && written >= 0; ++u) {
            Slot slot;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                Slot& ready = slots_[u % window_];
                changed_.wait(lock, [&] { return ready.ready && ready.unit == u; });
                slot = std::move(ready);
                ready = Slot{};
                written_ = u + 1;
            }
            changed_.notify_all();
            AddStats(stats, slot.stats);
            if (slot.status < 0) {
                written = slot.status;
                break;
            }
            if (!MergeOuterPlanePoints(slot.points, points_)) {
                written = kMeshExtractionNoMemory;
                break;
            }
            for (const MeshFacet& facet : slot.facets) {
                const int result = sink_.write(sink_.context, facet);
                if (result < 0) {
                    written = result;
                    break;
                }
                written += result;
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers) {
            worker.join();
        }
        return written;
    }

private:
    struct Slot {
        bool ready = false;
        int unit = -1;
        std::int64_t status = 0;
        std::vector<MeshFacet> facets;  // placed
        OuterPlanePoints points;        // the unit's points on the outer planes
        MeshExtractionStats stats;
    };

    void Work() {
        std::unique_ptr<CellScratch> scratch = MakeScratch(stage_);
        for (;;) {
            int u = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] {
                    return stop_ || next_ >= stage_.units || next_ < written_ + window_;
                });
                if (stop_ || next_ >= stage_.units) {
                    return;
                }
                u = next_++;
            }
            Slot slot;
            slot.unit = u;
            if (!scratch) {
                slot.status = kMeshExtractionNoMemory;
            } else {
                std::copy(points_->planes, points_->planes + 6, slot.points.planes);
                PlacingSink placing;
                placing.transform = stage_.placement;
                placing.points = &slot.points;
                placing.target = {AppendToBuffer, &slot.facets};
                const std::int64_t result = ProcessUnitOrFail(
                    stage_, u, scratch.get(), {WritePlacedFacet, &placing}, &slot.stats);
                slot.status = result < 0 ? result : 0;
            }
            slot.ready = true;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                slots_[u % window_] = std::move(slot);
            }
            changed_.notify_all();
        }
    }

    const CellStage& stage_;
    int threads_ = 1;
    FacetSink sink_;
    OuterPlanePoints* points_ = {};
    int window_ = 1;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    int next_ = 0;     // next unit to build
    int written_ = 0;  // units handed to the sink
    bool stop_ = false;
};

}  // namespace

std::int64_t WriteStockCellSurfaces(const StockModel& model, const StockCapMarks& marks,
                                    const MeshTransform& transform,
                                    const MeshExtractionOptions& options, const FacetSink& sink,
                                    OuterPlanePoints* points, MeshExtractionStats* stats) {
    // The cells' own transform leaves grid coordinates as they are, but for the weld of the
    // points of their loops.
    NodeSnap weld[3];
    for (int axis = 0; axis < 3; ++axis) {
        weld[axis] = MakeNodeSnap(model, axis);
    }
    MeshTransform grid;
    grid.weld = weld;
    CellStage stage;
    stage.model = &model;
    stage.marks = &marks;
    stage.transform = &grid;
    stage.placement = &transform;
    stage.plain = options.plainCellWalk != 0;
    stage.bands = (model.ny - 2) / kBandRows + 1;
    stage.units = (model.nz - 1) * stage.bands;
    if (!stage.plain && !BucketStockEnds(&stage)) {
        return kMeshExtractionNoMemory;
    }
    int threads = options.threads > 0 ? options.threads : GetProcessorCount();
    threads = std::max(1, std::min(threads, stage.units));
    if (threads > 1) {
        UnitPipeline pipeline(stage, threads, sink, points);
        MeshExtractionStats unitStats;
        const std::int64_t written = pipeline.Run(&unitStats);
        if (written != kNoWorkerStarted) {
            AddStats(stats, unitStats);
            return written;
        }
        // No thread to be had: the units are built here, one after the other.
    }
    std::unique_ptr<CellScratch> scratch = MakeScratch(stage);
    if (!scratch) {
        return kMeshExtractionNoMemory;
    }
    PlacingSink placing;
    placing.transform = &transform;
    placing.points = points;
    placing.target = sink;
    std::int64_t written = 0;
    for (int u = 0; u < stage.units; ++u) {
        const std::int64_t result =
            ProcessUnitOrFail(stage, u, scratch.get(), {WritePlacedFacet, &placing}, stats);
        if (result < 0) {
            return result;
        }
        written += result;
    }
    return written;
}

}  // namespace mirexa
