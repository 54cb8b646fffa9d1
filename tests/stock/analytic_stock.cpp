// Analytic test solids turned into dexel stocks, and comparisons of models with them.
#include "analytic_stock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <utility>

#include "stock/stock_grid.h"
#include "support/stock_invariants.h"

namespace mirexa {

namespace {

const DexelFamily& Family(const StockModel& m, int axis) {
    return axis == 2 ? m.z : (axis == 0 ? m.x : m.y);
}

int Count(const StockModel& m, int axis) {
    return axis == 0 ? m.nx : (axis == 1 ? m.ny : m.nz);
}

std::int64_t Cell(const StockModel& m, int axis, const int node[3]) {
    const int fast = (axis + 1) % 3, slow = (axis + 2) % 3;
    return static_cast<std::int64_t>(node[slow]) * Count(m, fast) + node[fast];
}

double NodeAt(const StockModel& m, int axis, int i) {
    return i * m.pitch + m.origin[axis];
}

void AddChord(std::vector<std::pair<double, double>>* out, double lo, double hi) {
    if (lo <= hi) {
        out->push_back({lo, hi});
    }
}

}  // namespace

std::vector<double> AnalyticSolid::Chords(int axis, const double point[3]) const {
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    std::vector<std::pair<double, double>> pieces;
    for (const AnalyticPart& part : parts) {
        if (part.kind == AnalyticPart::kBox) {
            if (point[u] >= part.a[u] && point[u] <= part.b[u] && point[v] >= part.a[v] &&
                point[v] <= part.b[v]) {
                AddChord(&pieces, part.a[axis], part.b[axis]);
            }
        } else if (part.kind == AnalyticPart::kBall) {
            const double du = point[u] - part.a[u], dv = point[v] - part.a[v];
            const double q = part.b[0] * part.b[0] - du * du - dv * dv;
            if (q >= 0) {
                const double h = std::sqrt(q);
                AddChord(&pieces, part.a[axis] - h, part.a[axis] + h);
            }
        } else {
            const double r = part.b[0];
            if (axis == 2) {
                const double dx = point[0] - part.a[0], dy = point[1] - part.a[1];
                if (dx * dx + dy * dy <= r * r) {
                    AddChord(&pieces, part.a[2], part.b[2]);
                }
            } else if (point[2] >= part.a[2] && point[2] <= part.b[2]) {
                const int other = axis == 0 ? 1 : 0;
                const double dv = point[other] - part.a[other];
                const double q = r * r - dv * dv;
                if (q >= 0) {
                    const double h = std::sqrt(q);
                    AddChord(&pieces, part.a[axis] - h, part.a[axis] + h);
                }
            }
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
    return ends;
}

double AnalyticSolid::SignedDistance(const double p[3]) const {
    double best = std::numeric_limits<double>::infinity();
    for (const AnalyticPart& part : parts) {
        double s = 0;
        if (part.kind == AnalyticPart::kBox) {
            double outside = 0, inside = -std::numeric_limits<double>::infinity();
            for (int a = 0; a < 3; ++a) {
                const double d = std::max(part.a[a] - p[a], p[a] - part.b[a]);
                outside += d > 0 ? d * d : 0;
                inside = std::max(inside, d);
            }
            s = outside > 0 ? std::sqrt(outside) : inside;
        } else if (part.kind == AnalyticPart::kBall) {
            const double d[3] = {p[0] - part.a[0], p[1] - part.a[1], p[2] - part.a[2]};
            s = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) - part.b[0];
        } else {
            const double radial = std::hypot(p[0] - part.a[0], p[1] - part.a[1]) - part.b[0];
            const double axial = std::max(part.a[2] - p[2], p[2] - part.b[2]);
            if (radial > 0 && axial > 0) {
                s = std::hypot(radial, axial);
            } else {
                s = std::max(radial, axial);
            }
        }
        best = std::min(best, s);
    }
    return best;
}

AnalyticSolid BoxSolid(double x0, double y0, double z0, double x1, double y1, double z1) {
    AnalyticSolid solid;
    AnalyticPart box;
    box.kind = AnalyticPart::kBox;
    box.a[0] = x0, box.a[1] = y0, box.a[2] = z0;
    box.b[0] = x1, box.b[1] = y1, box.b[2] = z1;
    solid.parts.push_back(box);
    return solid;
}

int BuildAnalyticStock(StockModel* model, const int nodes[3], double pitch, const double origin[3],
                       const AnalyticSolid& solid, bool marked) {
    FreeStockModel(model);
    *model = StockModel{};
    model->nx = nodes[0];
    model->ny = nodes[1];
    model->nz = nodes[2];
    model->pitch = pitch;
    for (int a = 0; a < 3; ++a) {
        model->origin[a] = origin[a];
    }
    model->frame.values[0] = model->frame.values[4] = model->frame.values[8] = 1.0;
    SetStockUndoRingSize(model, 2);
    int result = InitStockGridBlocks(model);
    if (result == 1) {
        result = AllocStockModel(model);
    }
    if (result != 1) {
        return result;
    }
    for (int axis = 0; axis < 3; ++axis) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        const DexelFamily& family = Family(*model, axis);
        int node[3] = {};
        for (node[v] = 0; node[v] < Count(*model, v); ++node[v]) {
            for (node[u] = 0; node[u] < Count(*model, u); ++node[u]) {
                double point[3] = {};
                point[u] = NodeAt(*model, u, node[u]);
                point[v] = NodeAt(*model, v, node[v]);
                const std::vector<double> ends = solid.Chords(axis, point);
                if (ends.empty()) {
                    continue;
                }
                const std::vector<std::uint8_t> flags(ends.size(), marked ? 0x21 : 0);
                const std::vector<std::int32_t> stamps(ends.size(), marked ? 7 : 0);
                SetDexelCell(Cell(*model, axis, node), family.capacity, family.counts, family.ends,
                             family.flags, family.lineStamps, ends.data(), flags.data(),
                             stamps.data(), static_cast<int>(ends.size()));
            }
        }
    }
    return 1;
}

ModelRays CopyModelRays(const StockModel& model) {
    ModelRays rays;
    const DexelFamily* families[3] = {&model.z, &model.x, &model.y};
    for (int f = 0; f < 3; ++f) {
        for (std::int64_t cell = 0; cell < families[f]->cellCount; ++cell) {
            rays.family[f].push_back(ReadDexelRay(*families[f], cell).ends);
        }
    }
    return rays;
}

DexelRay FamilyRay(const StockModel& model, int axis, int fast, int slow) {
    int node[3] = {};
    node[(axis + 1) % 3] = fast;
    node[(axis + 2) % 3] = slow;
    return ReadDexelRay(Family(model, axis), Cell(model, axis, node));
}

bool RayHolds(const std::vector<double>& ends, double at) {
    for (std::size_t i = 0; i + 1 < ends.size(); i += 2) {
        if (ends[i] <= at && at <= ends[i + 1]) {
            return true;
        }
    }
    return false;
}

bool ModelHolds(const StockModel& model, int axis, const int node[3], double at) {
    return RayHolds(ReadDexelRay(Family(model, axis), Cell(model, axis, node)).ends, at);
}

::testing::AssertionResult MatchesSolidAtNodes(const StockModel& model, const AnalyticSolid& solid,
                                               double band) {
    std::ostringstream out;
    int problems = 0;
    int node[3] = {};
    for (node[2] = 0; node[2] < model.nz; ++node[2]) {
        for (node[1] = 0; node[1] < model.ny; ++node[1]) {
            for (node[0] = 0; node[0] < model.nx; ++node[0]) {
                const double p[3] = {NodeAt(model, 0, node[0]), NodeAt(model, 1, node[1]),
                                     NodeAt(model, 2, node[2])};
                const double s = solid.SignedDistance(p);
                if (std::fabs(s) <= band) {
                    continue;
                }
                for (int axis = 0; axis < 3; ++axis) {
                    if (ModelHolds(model, axis, node, p[axis]) != (s < 0) && ++problems <= 8) {
                        out << "family " << axis << " at (" << p[0] << ", " << p[1] << ", " << p[2]
                            << ") signed distance " << s << "\n";
                    }
                }
            }
        }
    }
    if (problems == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problems << " node(s) differ:\n" << out.str();
}

::testing::AssertionResult ModelContains(const StockModel& outer, const StockModel& inner) {
    int problems = 0;
    std::ostringstream out;
    for (int axis = 0; axis < 3; ++axis) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        int node[3] = {};
        for (node[v] = 0; node[v] < Count(inner, v); ++node[v]) {
            for (node[u] = 0; node[u] < Count(inner, u); ++node[u]) {
                const std::vector<double> ends =
                    ReadDexelRay(Family(inner, axis), Cell(inner, axis, node)).ends;
                int at[3] = {};
                for (int a : {u, v}) {
                    at[a] = static_cast<int>(
                        std::lround((NodeAt(inner, a, node[a]) - outer.origin[a]) / outer.pitch));
                }
                const std::vector<double> host =
                    ReadDexelRay(Family(outer, axis), Cell(outer, axis, at)).ends;
                for (std::size_t i = 0; i + 1 < ends.size(); i += 2) {
                    bool inside = false;
                    for (std::size_t j = 0; j + 1 < host.size(); j += 2) {
                        inside = inside || (host[j] <= ends[i] && ends[i + 1] <= host[j + 1]);
                    }
                    if (!inside && ++problems <= 8) {
                        out << "family " << axis << " segment [" << ends[i] << ", " << ends[i + 1]
                            << "] not inside\n";
                    }
                }
            }
        }
    }
    if (problems == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problems << " segment(s) outside:\n" << out.str();
}

}  // namespace mirexa
