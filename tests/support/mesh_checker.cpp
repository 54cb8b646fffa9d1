// Surface checks for tests: volume, area balance, normals and T-junction tolerant closure, and a
// binary STL decoder written from the byte layout, independent of the program's reader.
#include "support/mesh_checker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

#include "support/stock_invariants.h"

namespace mirexa {

namespace {

void Cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// (v2 - v1) x (v3 - v1) of a facet.
void FacetCross(const MeshFacet& f, double out[3]) {
    double a[3];
    double b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = f.vertices[1][i] - f.vertices[0][i];
        b[i] = f.vertices[2][i] - f.vertices[0][i];
    }
    Cross(a, b, out);
}

double Length(const double v[3]) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

int CollectFacet(void* context, const MeshFacet& facet) {
    auto* facets = static_cast<std::vector<MeshFacet>*>(context);
    MeshFacet kept = facet;
    if (!facet.normalGiven) {
        double n[3];
        FacetCross(facet, n);
        const double length = Length(n);
        if (!(length > 0.0)) {
            return 0;
        }
        for (int i = 0; i < 3; ++i) {
            kept.normal[i] = n[i] / length;
        }
    }
    facets->push_back(kept);
    return 1;
}

using Point = std::array<double, 3>;

Point VertexOf(const MeshFacet& f, int v) {
    return {f.vertices[v][0], f.vertices[v][1], f.vertices[v][2]};
}

std::string Describe(const Point& p) {
    std::ostringstream text;
    text.precision(9);
    text << "(" << p[0] << ", " << p[1] << ", " << p[2] << ")";
    return text.str();
}

}  // namespace

FacetSink CollectFacets(std::vector<MeshFacet>* facets) {
    return FacetSink{CollectFacet, facets};
}

double SignedVolume(const std::vector<MeshFacet>& facets) {
    double volume = 0.0;
    for (const MeshFacet& f : facets) {
        double c[3];
        Cross(f.vertices[1], f.vertices[2], c);
        volume += f.vertices[0][0] * c[0] + f.vertices[0][1] * c[1] + f.vertices[0][2] * c[2];
    }
    return volume / 6.0;
}

void SumAreaVectors(const std::vector<MeshFacet>& facets, double out[3]) {
    out[0] = out[1] = out[2] = 0.0;
    for (const MeshFacet& f : facets) {
        double c[3];
        FacetCross(f, c);
        for (int i = 0; i < 3; ++i) {
            out[i] += 0.5 * c[i];
        }
    }
}

double SurfaceArea(const std::vector<MeshFacet>& facets) {
    double area = 0.0;
    for (const MeshFacet& f : facets) {
        double c[3];
        FacetCross(f, c);
        area += 0.5 * Length(c);
    }
    return area;
}

::testing::AssertionResult SameFacets(const std::vector<MeshFacet>& a,
                                      const std::vector<MeshFacet>& b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << a.size() << " facets against " << b.size();
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(a[i].normal, b[i].normal, sizeof a[i].normal) != 0 ||
            std::memcmp(a[i].vertices, b[i].vertices, sizeof a[i].vertices) != 0 ||
            a[i].normalGiven != b[i].normalGiven) {
            return ::testing::AssertionFailure() << "facet " << i << " differs";
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult NormalsAgreeWithVertexOrder(const std::vector<MeshFacet>& facets) {
    for (std::size_t i = 0; i < facets.size(); ++i) {
        const MeshFacet& f = facets[i];
        double c[3];
        FacetCross(f, c);
        const double area2 = Length(c);
        const double normalLength = Length(f.normal);
        if (!(area2 > 0.0)) {
            return ::testing::AssertionFailure() << "facet " << i << " has zero area";
        }
        if (std::fabs(normalLength - 1.0) > 1e-6) {
            return ::testing::AssertionFailure()
                   << "facet " << i << " normal length " << normalLength;
        }
        const double cosine =
            (c[0] * f.normal[0] + c[1] * f.normal[1] + c[2] * f.normal[2]) / area2;
        if (cosine < 1.0 - 1e-6) {
            return ::testing::AssertionFailure()
                   << "facet " << i << " normal disagrees with its vertex order (cos " << cosine
                   << ") at " << Describe(VertexOf(f, 0));
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SurfaceIsClosed(const std::vector<MeshFacet>& facets) {
    // Axis-parallel edges by line: (axis, the two other coordinates) -> (from, to) along it.
    std::map<std::tuple<int, double, double>, std::vector<std::pair<double, double>>> lines;
    // Other edges: net count of u -> v minus v -> u, keyed by the ordered pair.
    std::map<std::pair<Point, Point>, int> others;
    for (const MeshFacet& f : facets) {
        for (int e = 0; e < 3; ++e) {
            const Point u = VertexOf(f, e);
            const Point v = VertexOf(f, (e + 1) % 3);
            int axis = -1;
            for (int a = 0; a < 3; ++a) {
                if (u[(a + 1) % 3] == v[(a + 1) % 3] && u[(a + 2) % 3] == v[(a + 2) % 3]) {
                    axis = a;
                }
            }
            if (axis >= 0) {
                lines[{axis, u[(axis + 1) % 3], u[(axis + 2) % 3]}].push_back({u[axis], v[axis]});
            } else if (u < v) {
                ++others[{u, v}];
            } else {
                --others[{v, u}];
            }
        }
    }
    for (const auto& [key, count] : others) {
        if (count != 0) {
            return ::testing::AssertionFailure()
                   << "edge " << Describe(key.first) << " - " << Describe(key.second)
                   << " is unmatched (net " << count << ")";
        }
    }
    for (const auto& [key, edges] : lines) {
        std::vector<double> stops;
        for (const auto& [from, to] : edges) {
            stops.push_back(from);
            stops.push_back(to);
        }
        std::sort(stops.begin(), stops.end());
        stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
        // Net direction over each piece between consecutive stops.
        std::vector<int> net(stops.size(), 0);
        for (const auto& [from, to] : edges) {
            const auto lo = std::lower_bound(stops.begin(), stops.end(), std::min(from, to));
            const auto hi = std::lower_bound(stops.begin(), stops.end(), std::max(from, to));
            const int sign = from < to ? 1 : -1;
            for (auto it = lo; it != hi; ++it) {
                net[static_cast<std::size_t>(it - stops.begin())] += sign;
            }
        }
        for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
            if (net[i] != 0) {
                const int axis = std::get<0>(key);
                Point p = {0, 0, 0};
                p[axis] = stops[i];
                p[(axis + 1) % 3] = std::get<1>(key);
                p[(axis + 2) % 3] = std::get<2>(key);
                return ::testing::AssertionFailure()
                       << "open along axis " << axis << " from " << Describe(p) << " to "
                       << stops[i + 1] << " (net " << net[i] << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

namespace {

// A directed edge u -> v of a facet.
struct FacetEdge {
    Point u;
    Point v;
    std::size_t facet;
    bool operator<(const FacetEdge& o) const {
        return std::tie(u, v, facet) < std::tie(o.u, o.v, o.facet);
    }
};

// The angle (radians) about the edge u -> v at which facet f leaves it, towards its vertex off
// the edge.
double AngleAboutEdge(const Point& u, const Point& v, const MeshFacet& f) {
    Point w = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const Point p = VertexOf(f, k);
        if (p != u && p != v) {
            w = p;
        }
    }
    const double d[3] = {v[0] - u[0], v[1] - u[1], v[2] - u[2]};
    const double r[3] = {w[0] - u[0], w[1] - u[1], w[2] - u[2]};
    // A basis (e1, e2) across the edge: e1 along the axis least aligned with it.
    int least = 0;
    for (int a = 1; a < 3; ++a) {
        least = std::fabs(d[a]) < std::fabs(d[least]) ? a : least;
    }
    double e1[3] = {0, 0, 0};
    e1[least] = 1.0;
    double e2[3] = {d[1] * e1[2] - d[2] * e1[1], d[2] * e1[0] - d[0] * e1[2],
                    d[0] * e1[1] - d[1] * e1[0]};
    const double e1x[3] = {e2[1] * d[2] - e2[2] * d[1], e2[2] * d[0] - e2[0] * d[2],
                           e2[0] * d[1] - e2[1] * d[0]};
    return std::atan2(r[0] * e2[0] + r[1] * e2[1] + r[2] * e2[2],
                      r[0] * e1x[0] + r[1] * e1x[1] + r[2] * e1x[2]);
}

// Two pieces of material touching along the edge u -> v: the four facets on it (forward, u ->
// v, and back) leave it at four distinct angles and alternate, forward and back, around it. A
// wall built twice over (two facets at one angle) or a piece closed against itself is not so.
bool TouchingSheets(const Point& u, const Point& v, const std::vector<MeshFacet>& facets,
                    const std::size_t forward[2], const std::size_t back[2]) {
    std::pair<double, int> around[4];
    for (int i = 0; i < 2; ++i) {
        around[i] = {AngleAboutEdge(u, v, facets[forward[i]]), 1};
        around[2 + i] = {AngleAboutEdge(u, v, facets[back[i]]), -1};
    }
    std::sort(around, around + 4);
    for (int i = 0; i < 4; ++i) {
        const auto& next = around[(i + 1) % 4];
        const double gap =
            i == 3 ? next.first + 2 * M_PI - around[i].first : next.first - around[i].first;
        if (gap < 1e-9 || next.second == around[i].second) {
            return false;
        }
    }
    return true;
}

}  // namespace

::testing::AssertionResult SurfaceIsConforming(const std::vector<MeshFacet>& facets, int sheets) {
    // Directed edges u -> v with their facets, sorted so that each edge's count and its
    // opposite's are found.
    std::vector<FacetEdge> edges;
    edges.reserve(3 * facets.size());
    for (std::size_t i = 0; i < facets.size(); ++i) {
        for (int e = 0; e < 3; ++e) {
            edges.push_back({VertexOf(facets[i], e), VertexOf(facets[i], (e + 1) % 3), i});
        }
    }
    std::sort(edges.begin(), edges.end());
    auto rangeOf = [&](const Point& u, const Point& v) {
        const auto lo = std::lower_bound(edges.begin(), edges.end(), FacetEdge{u, v, 0});
        auto hi = lo;
        while (hi != edges.end() && hi->u == u && hi->v == v) {
            ++hi;
        }
        return std::make_pair(lo, hi);
    };
    std::size_t unmatched = 0;
    double length = 0.0;
    std::string first;
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i;
        while (j < edges.size() && edges[j].u == edges[i].u && edges[j].v == edges[i].v) {
            ++j;
        }
        const Point& u = edges[i].u;
        const Point& v = edges[i].v;
        const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(j - i);
        const auto back = rangeOf(v, u);
        const std::ptrdiff_t opposite = back.second - back.first;
        bool sound = count == opposite && count <= sheets;
        if (sound && count == 2 && u < v) {
            const std::size_t forward[2] = {edges[i].facet, edges[i + 1].facet};
            const std::size_t backward[2] = {back.first->facet, (back.first + 1)->facet};
            sound = TouchingSheets(u, v, facets, forward, backward);
        }
        if (!sound) {
            unmatched += static_cast<std::size_t>(std::max<std::ptrdiff_t>(count - opposite, 0));
            const double d[3] = {v[0] - u[0], v[1] - u[1], v[2] - u[2]};
            length +=
                static_cast<double>(std::max<std::ptrdiff_t>(count - opposite, 0)) * Length(d);
            if (first.empty()) {
                first = Describe(u) + " -> " + Describe(v) + " " + std::to_string(count) +
                        " times, back " + std::to_string(opposite) + " times";
            }
        }
        i = j;
    }
    if (!first.empty()) {
        return ::testing::AssertionFailure()
               << unmatched << " directed edges unmatched (" << length << " mm), first " << first;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SurfaceHasNoNearVertices(const std::vector<MeshFacet>& facets,
                                                    double distance) {
    // The distinct positions in buckets of the distance's size: a pair closer than it on every
    // axis lies in the same bucket or in neighbouring ones.
    std::vector<Point> points;
    points.reserve(3 * facets.size());
    for (const MeshFacet& f : facets) {
        for (int v = 0; v < 3; ++v) {
            points.push_back(VertexOf(f, v));
        }
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    using Bucket = std::array<std::int64_t, 3>;
    auto bucketOf = [&](const Point& p) {
        return Bucket{static_cast<std::int64_t>(std::floor(p[0] / distance)),
                      static_cast<std::int64_t>(std::floor(p[1] / distance)),
                      static_cast<std::int64_t>(std::floor(p[2] / distance))};
    };
    std::map<Bucket, std::vector<std::size_t>> buckets;
    for (std::size_t i = 0; i < points.size(); ++i) {
        buckets[bucketOf(points[i])].push_back(i);
    }
    std::size_t pairs = 0;
    double closest = distance;
    std::pair<Point, Point> shown;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Bucket b = bucketOf(points[i]);
        for (int n = 0; n < 27; ++n) {
            const auto near =
                buckets.find({b[0] + n % 3 - 1, b[1] + n / 3 % 3 - 1, b[2] + n / 9 - 1});
            if (near == buckets.end()) {
                continue;
            }
            for (const std::size_t j : near->second) {
                const double apart = std::max({std::fabs(points[j][0] - points[i][0]),
                                               std::fabs(points[j][1] - points[i][1]),
                                               std::fabs(points[j][2] - points[i][2])});
                if (j > i && apart < distance) {
                    ++pairs;
                    if (apart < closest) {
                        closest = apart;
                        shown = {points[i], points[j]};
                    }
                }
            }
        }
    }
    if (pairs == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << pairs << " pairs of vertices closer than " << distance << " mm, the closest "
           << Describe(shown.first) << " and " << Describe(shown.second) << " (" << closest
           << " mm apart)";
}

::testing::AssertionResult ReadBinaryStlFacets(const std::string& path, bool byteSwapped,
                                               std::vector<MeshFacet>* facets) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 84) {
        return ::testing::AssertionFailure() << path << " holds " << bytes.size() << " bytes";
    }
    auto word = [&](std::size_t at) {
        unsigned char b[4];
        std::memcpy(b, bytes.data() + at, 4);
        if (byteSwapped) {
            std::swap(b[0], b[3]);
            std::swap(b[1], b[2]);
        }
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    };
    const std::uint32_t count = word(80);
    if (bytes.size() != 84 + 50 * static_cast<std::size_t>(count)) {
        return ::testing::AssertionFailure()
               << path << " has " << bytes.size() << " bytes for a count of " << count;
    }
    facets->clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 84 + 50 * static_cast<std::size_t>(i);
        float values[12];
        for (int k = 0; k < 12; ++k) {
            const std::uint32_t bits = word(at + 4 * k);
            std::memcpy(&values[k], &bits, 4);
        }
        MeshFacet f;
        f.normalGiven = 1;
        for (int k = 0; k < 3; ++k) {
            f.normal[k] = values[k];
            for (int v = 0; v < 3; ++v) {
                f.vertices[v][k] = values[3 + 3 * v + k];
            }
        }
        if (bytes[at + 48] != 0 || bytes[at + 49] != 0) {
            return ::testing::AssertionFailure() << "facet " << i << " attribute is not 0";
        }
        facets->push_back(f);
    }
    return ::testing::AssertionSuccess();
}

int BuildBoxUnionStock(StockModel* model, int nx, int ny, int nz, double pitch,
                       const std::vector<SolidBox>& boxes, DexelEndFlag flag) {
    const int built = BuildEmptyStock(model, nx, ny, nz, pitch, 1);
    if (built != 1) {
        return built;
    }
    const int counts[3] = {nx, ny, nz};
    // Axis of the rays, then the two other axes in the order of SetDexelCellByAxis (i1, i2):
    // Z (x, y), Y (z, x), X (y, z).
    const int families[3][3] = {{2, 0, 1}, {1, 2, 0}, {0, 1, 2}};
    for (const auto& family : families) {
        const int axis = family[0];
        const int a1 = family[1];
        const int a2 = family[2];
        for (int i2 = 0; i2 < counts[a2]; ++i2) {
            for (int i1 = 0; i1 < counts[a1]; ++i1) {
                const double c1 = i1 * pitch;
                const double c2 = i2 * pitch;
                std::vector<std::pair<double, double>> pieces;
                for (const SolidBox& box : boxes) {
                    if (box.min[a1] <= c1 && c1 <= box.max[a1] && box.min[a2] <= c2 &&
                        c2 <= box.max[a2]) {
                        pieces.push_back({box.min[axis], box.max[axis]});
                    }
                }
                std::sort(pieces.begin(), pieces.end());
                std::vector<double> ends;
                for (const auto& [lo, hi] : pieces) {
                    if (!ends.empty() && lo <= ends.back()) {
                        ends.back() = std::max(ends.back(), hi);
                    } else {
                        ends.push_back(lo);
                        ends.push_back(hi);
                    }
                }
                const std::vector<DexelEndFlag> flags(ends.size(), flag);
                const std::vector<std::int32_t> stamps(ends.size(), 0);
                SetDexelCellByAxis(model, axis, i1, i2, ends.data(), flags.data(), stamps.data(),
                                   static_cast<int>(ends.size()));
            }
        }
    }
    return 1;
}

double BoxUnionVolume(const std::vector<SolidBox>& boxes) {
    std::vector<double> stops[3];
    for (const SolidBox& box : boxes) {
        for (int a = 0; a < 3; ++a) {
            stops[a].push_back(box.min[a]);
            stops[a].push_back(box.max[a]);
        }
    }
    for (auto& s : stops) {
        std::sort(s.begin(), s.end());
        s.erase(std::unique(s.begin(), s.end()), s.end());
    }
    double volume = 0.0;
    for (std::size_t i = 0; i + 1 < stops[0].size(); ++i) {
        for (std::size_t j = 0; j + 1 < stops[1].size(); ++j) {
            for (std::size_t k = 0; k + 1 < stops[2].size(); ++k) {
                const double centre[3] = {0.5 * (stops[0][i] + stops[0][i + 1]),
                                          0.5 * (stops[1][j] + stops[1][j + 1]),
                                          0.5 * (stops[2][k] + stops[2][k + 1])};
                for (const SolidBox& box : boxes) {
                    if (box.min[0] < centre[0] && centre[0] < box.max[0] &&
                        box.min[1] < centre[1] && centre[1] < box.max[1] &&
                        box.min[2] < centre[2] && centre[2] < box.max[2]) {
                        volume += (stops[0][i + 1] - stops[0][i]) *
                                  (stops[1][j + 1] - stops[1][j]) * (stops[2][k + 1] - stops[2][k]);
                        break;
                    }
                }
            }
        }
    }
    return volume;
}

}  // namespace mirexa
