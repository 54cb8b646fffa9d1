// Closure of the holes around cells that fall back: the cluster of such cells, the facets of
// the cells around it, the open edges among them and the fans that fill the loops they form.
#include "stockio/cell_hole_closure.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#include "stockio/stl_files.h"

namespace mirexa {

namespace {

using Point = std::array<double, 3>;
using Triangle = std::array<Point, 3>;
using CellKey = std::array<int, 3>;  // (iz, iy, ix): ordered as the walk visits the cells

// A cluster larger than this is taken as it stands (its hole may stay open).
constexpr std::size_t kMaxClusterCells = 256;

// What one cell writes, in grid coordinates, and whether it fell back.
struct CellRecord {
    bool fallback = false;
    std::vector<Triangle> facets;
};

// Keeps the facets with the writers' rule: a facet of zero area is left out.
int KeepTriangle(void* context, const MeshFacet& facet) {
    const double* v = &facet.vertices[0][0];
    const double vertices[9] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
    double normal[3];
    if (!ComputeStlFacetNormal(vertices, normal)) {
        return 0;
    }
    Triangle t;
    for (int i = 0; i < 3; ++i) {
        t[i] = {facet.vertices[i][0], facet.vertices[i][1], facet.vertices[i][2]};
    }
    static_cast<std::vector<Triangle>*>(context)->push_back(t);
    return 1;
}

// The two triangles of a cell's face under a cap, turned as the cap's rectangle.
void AddCapSquare(int face, const double low[3], const double high[3],
                  std::vector<Triangle>* facets) {
    const int n = face / 2;
    const int a = (n + 1) % 3;
    const int b = (n + 2) % 3;
    Point corners[4];
    const bool aHigh[4] = {false, true, true, false};
    const bool bHigh[4] = {false, false, true, true};
    for (int c = 0; c < 4; ++c) {
        corners[c][n] = (face & 1) ? high[n] : low[n];
        corners[c][a] = aHigh[c] ? high[a] : low[a];
        corners[c][b] = bHigh[c] ? high[b] : low[b];
    }
    static const int kMaxOrder[2][3] = {{0, 1, 2}, {0, 2, 3}};
    static const int kMinOrder[2][3] = {{0, 2, 1}, {0, 3, 2}};
    for (int t = 0; t < 2; ++t) {
        const int* order = (face & 1) ? kMaxOrder[t] : kMinOrder[t];
        facets->push_back({corners[order[0]], corners[order[1]], corners[order[2]]});
    }
}

void CellCorners(const StockModel& model, const CellKey& key, double low[3], double high[3]) {
    low[0] = model.nodesX[key[2]];
    low[1] = model.nodesY[key[1]];
    low[2] = model.nodesZ[key[0]];
    high[0] = model.nodesX[key[2] + 1];
    high[1] = model.nodesY[key[1] + 1];
    high[2] = model.nodesZ[key[0] + 1];
}

// The facets a cell writes (its own hole closure left out) and the cap squares on its faces.
CellRecord ReadCell(const StockModel& model, const StockCapMarks& marks, const CellKey& key) {
    CellRecord record;
    auto segments = std::make_unique<CellSegmentList>();
    int flags[6] = {};
    if (AnalyseStockCell(model, marks, key[2], key[1], key[0], 1, flags, segments.get())) {
        segments->noHoleClosure = 1;
        MeshExtractionStats stats;
        const MeshTransform identity;
        EmitDexelFaceTriangles(identity, flags, *segments, {KeepTriangle, &record.facets}, &stats);
        record.fallback = stats.fallbackCells > 0;
    }
    GetCellBoundaryFlags(model, key[2], key[1], key[0], marks, flags);
    double low[3], high[3];
    CellCorners(model, key, low, high);
    for (int face = 0; face < 6; ++face) {
        if (flags[face] != 0) {
            AddCapSquare(face, low, high, &record.facets);
        }
    }
    return record;
}

// The closed boxes of the cluster's cells; whether one holds both points.
struct ClusterBoxes {
    std::vector<std::array<double, 6>> boxes;

    bool Hold(const Point& u, const Point& v) const {
        for (const std::array<double, 6>& box : boxes) {
            bool inside = true;
            for (int a = 0; a < 3 && inside; ++a) {
                inside =
                    u[a] >= box[a] && u[a] <= box[3 + a] && v[a] >= box[a] && v[a] <= box[3 + a];
            }
            if (inside) {
                return true;
            }
        }
        return false;
    }
};

// The edges that fill the hole: for every edge inside the cluster whose facets do not cancel,
// the edges that cancel it. Edges along an axis are compared piece by piece along their line,
// as caps and cells meet there with vertices on one side only.
std::vector<std::pair<Point, Point>> FindHoleEdges(const std::map<CellKey, CellRecord>& cells,
                                                   const ClusterBoxes& region) {
    // Per line along an axis: how the net count of edges running up the axis changes at each
    // coordinate.
    std::map<std::tuple<int, double, double>, std::map<double, int>> lines;
    std::map<std::pair<Point, Point>, int> others;  // net count of first -> second
    for (const auto& entry : cells) {
        for (const Triangle& t : entry.second.facets) {
            for (int e = 0; e < 3; ++e) {
                const Point& u = t[e];
                const Point& v = t[(e + 1) % 3];
                int axis = -1;
                for (int a = 0; a < 3; ++a) {
                    if (u[(a + 1) % 3] == v[(a + 1) % 3] && u[(a + 2) % 3] == v[(a + 2) % 3]) {
                        axis = a;
                    }
                }
                if (axis >= 0) {
                    std::map<double, int>& changes =
                        lines[{axis, u[(axis + 1) % 3], u[(axis + 2) % 3]}];
                    const int up = u[axis] < v[axis] ? 1 : -1;
                    changes[std::min(u[axis], v[axis])] += up;
                    changes[std::max(u[axis], v[axis])] -= up;
                } else if (u < v) {
                    ++others[{u, v}];
                } else {
                    --others[{v, u}];
                }
            }
        }
    }
    std::vector<std::pair<Point, Point>> hole;
    for (const auto& [key, net] : others) {
        if (net == 0 || !region.Hold(key.first, key.second)) {
            continue;
        }
        for (int i = 0; i < (net > 0 ? net : -net); ++i) {
            hole.push_back(net > 0 ? std::make_pair(key.second, key.first) : key);
        }
    }
    for (const auto& [key, changes] : lines) {
        const int axis = std::get<0>(key);
        Point p, q;
        p[(axis + 1) % 3] = q[(axis + 1) % 3] = std::get<1>(key);
        p[(axis + 2) % 3] = q[(axis + 2) % 3] = std::get<2>(key);
        int net = 0;  // over the piece from the previous coordinate to this one
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            if (it != changes.begin() && net != 0) {
                p[axis] = std::prev(it)->first;
                q[axis] = it->first;
                if (region.Hold(p, q)) {
                    for (int k = 0; k < (net > 0 ? net : -net); ++k) {
                        hole.push_back(net > 0 ? std::make_pair(q, p) : std::make_pair(p, q));
                    }
                }
            }
            net += it->second;
        }
    }
    return hole;
}

// Writes a loop as a fan (see EmitMeshFan).
std::int64_t EmitLoop(const MeshTransform& transform, const std::vector<Point>& loop,
                      const FacetSink& sink) {
    std::vector<const double*> points;
    for (const Point& p : loop) {
        points.push_back(p.data());
    }
    return EmitMeshFan(transform, points.data(), static_cast<int>(points.size()), sink);
}

// CloseFallbackHoles without the guard against a failed allocation.
std::int64_t FillClusterHoles(const StockModel& model, const StockCapMarks& marks,
                              const int cell[3], const MeshTransform& transform,
                              const FacetSink& sink, MeshExtractionStats* stats) {
    std::map<CellKey, CellRecord> cells;
    auto read = [&](const CellKey& key) -> const CellRecord& {
        auto found = cells.find(key);
        if (found == cells.end()) {
            found = cells.emplace(key, ReadCell(model, marks, key)).first;
        }
        return found->second;
    };
    const CellKey start = {cell[2], cell[1], cell[0]};
    std::vector<CellKey> cluster = {start};
    const int last[3] = {model.nz - 2, model.ny - 2, model.nx - 2};
    for (std::size_t i = 0; i < cluster.size(); ++i) {
        const CellKey centre = cluster[i];
        for (int dz = -1; dz <= 1; ++dz) {
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const CellKey key = {centre[0] + dz, centre[1] + dy, centre[2] + dx};
                    bool inside = true;
                    for (int a = 0; a < 3; ++a) {
                        inside = inside && key[a] >= 0 && key[a] <= last[a];
                    }
                    if (!inside) {
                        continue;
                    }
                    const bool known = cells.count(key) != 0;
                    if (read(key).fallback && !known && key != start &&
                        cluster.size() < kMaxClusterCells) {
                        if (key < start) {
                            return 0;  // an earlier cell of the cluster fills the hole
                        }
                        cluster.push_back(key);
                    }
                }
            }
        }
    }
    ClusterBoxes region;
    for (const CellKey& key : cluster) {
        double low[3], high[3];
        CellCorners(model, key, low, high);
        region.boxes.push_back({low[0], low[1], low[2], high[0], high[1], high[2]});
    }
    const std::vector<std::pair<Point, Point>> hole = FindHoleEdges(cells, region);
    // Chains the hole's edges into loops, each edge once.
    std::multimap<Point, std::size_t> leaving;
    for (std::size_t i = 0; i < hole.size(); ++i) {
        leaving.emplace(hole[i].first, i);
    }
    std::vector<bool> used(hole.size(), false);
    std::int64_t written = 0;
    for (std::size_t s = 0; s < hole.size(); ++s) {
        if (used[s]) {
            continue;
        }
        used[s] = true;
        std::vector<Point> loop = {hole[s].first};
        Point at = hole[s].second;
        bool closed = true;
        while (at != loop.front()) {
            auto [first, end] = leaving.equal_range(at);
            auto next = first;
            while (next != end && used[next->second]) {
                ++next;
            }
            if (next == end) {
                closed = false;
                break;
            }
            used[next->second] = true;
            loop.push_back(at);
            at = hole[next->second].second;
        }
        if (!closed || loop.size() < 3) {
            continue;
        }
        const std::int64_t result = EmitLoop(transform, loop, sink);
        if (result < 0) {
            return result;
        }
        written += result;
        if (stats != nullptr) {
            ++stats->holeLoops;
        }
    }
    return written;
}

}  // namespace

std::int64_t CloseFallbackHoles(const StockModel& model, const StockCapMarks& marks,
                                const int cell[3], const MeshTransform& transform,
                                const FacetSink& sink, MeshExtractionStats* stats) {
    try {
        return FillClusterHoles(model, marks, cell, transform, sink, stats);
    } catch (const std::bad_alloc&) {
        return kMeshExtractionNoMemory;
    }
}

}  // namespace mirexa
