// Cell edge analysis: edge classification, corner merges, cap flags and the directed segments of
// a cell's faces. The rule tables are kept in the order of their rules, one branch per rule.
#include "stockio/cell_edges.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mirexa {

namespace {

void SetEdgeCase(CellEdgeCase* out, int code) {
    out->code = code;
    out->count = 0;
}

void SetEdgeCase(CellEdgeCase* out, int code, double end, DexelEndFlag flag) {
    out->code = code;
    out->count = 1;
    out->ends[0] = end;
    out->flags[0] = flag;
}

void SetEdgeCase(CellEdgeCase* out, int code, double first, DexelEndFlag firstFlag, double second,
                 DexelEndFlag secondFlag) {
    out->code = code;
    out->count = 2;
    out->ends[0] = first;
    out->flags[0] = firstFlag;
    out->ends[1] = second;
    out->flags[1] = secondFlag;
}

// The second reported end becomes (end, flag); the first stays.
void SetSecondEnd(CellEdgeCase* out, int code, double end, DexelEndFlag flag) {
    out->code = code;
    out->count = 2;
    out->ends[1] = end;
    out->flags[1] = flag;
}

// Whether a code is one of the listed codes.
template <int... Codes>
bool CodeIs(int code) {
    return ((code == Codes) || ...);
}

// How a perpendicular edge meets a node: at its high end (atHigh) or at its low end.
bool TouchesNode(int code, bool atHigh) {
    return atHigh ? code == 11 : code == 10;
}

bool HasEndAtNode(int code, bool atHigh) {
    return atHigh ? CodeIs<3, 4, 6>(code) : CodeIs<2, 4, 8>(code);
}

bool ClearOfNode(int code, bool atHigh) {
    return code == 0 || (atHigh ? code == 10 : code == 11);
}

// The flag of the edge's end at the node: its second end when it meets the node at its high end
// with two ends (codes 4 and 6), else its first.
DexelEndFlag FlagAtNode(const CellEdgeCase& edge, bool atHigh) {
    return (atHigh && edge.count == 2) ? edge.flags[1] : edge.flags[0];
}

// Whether a node triggers a merge, and the flag of the new end when it does.
bool NodeTriggers(const CellEdgeCase& first, bool firstAtHigh, const CellEdgeCase& second,
                  bool secondAtHigh, DexelEndFlag* flag) {
    const bool firstMeets =
        TouchesNode(first.code, firstAtHigh) || HasEndAtNode(first.code, firstAtHigh);
    const bool secondMeets =
        TouchesNode(second.code, secondAtHigh) || HasEndAtNode(second.code, secondAtHigh);
    const bool triggered =
        TouchesNode(first.code, firstAtHigh) || TouchesNode(second.code, secondAtHigh) ||
        (HasEndAtNode(first.code, firstAtHigh) && ClearOfNode(second.code, secondAtHigh)) ||
        (HasEndAtNode(second.code, secondAtHigh) && ClearOfNode(first.code, firstAtHigh));
    if (triggered) {
        *flag = firstMeets    ? FlagAtNode(first, firstAtHigh)
                : secondMeets ? FlagAtNode(second, secondAtHigh)
                              : DexelEndFlag{0};
    }
    return triggered;
}

}  // namespace

// --- Classification -------------------------------------------------------------------------

void ClassifyDexelSegment(double e0, double e1, DexelEndFlag f0, DexelEndFlag f1, double lo,
                          double hi, CellEdgeCase* out) {
    *out = CellEdgeCase{};
    if (lo > e0) {
        if (e1 >= hi) {
            SetEdgeCase(out, 3, hi, f1);
        } else if (e1 == lo) {
            SetEdgeCase(out, 10, lo, f1);
        } else {
            SetEdgeCase(out, 7, e1, f1);
        }
    } else if (e0 > lo) {
        if (e0 == hi) {
            SetEdgeCase(out, 11, hi, f0);
        } else if (e1 > hi) {
            SetEdgeCase(out, 5, e0, f0);
        } else if (e1 == hi) {
            SetEdgeCase(out, 6, e0, f0, e1, f1);
        } else {
            SetEdgeCase(out, 9, e0, f0, e1, f1);
        }
    } else if (e0 == lo) {
        if (e1 > hi) {
            SetEdgeCase(out, 2, lo, f0);
        } else if (e1 == hi) {
            SetEdgeCase(out, 4, lo, f0, hi, f1);
        } else if (e1 != lo) {
            SetEdgeCase(out, 8, lo, f0, e1, f1);
        } else {
            SetEdgeCase(out, 10, lo, f1);
        }
    }
}

void FindDexelSegmentCase(const double* ends, const DexelEndFlag* flags, int count, double lo,
                          double hi, CellEdgeCase* out) {
    *out = CellEdgeCase{};
    if (count < 2 || ends[0] > hi || ends[count - 1] < lo) {
        return;
    }
    for (int i = 0; i + 1 < count; i += 2) {
        const double a = ends[i];
        const double b = ends[i + 1];
        const DexelEndFlag fa = flags[i];
        const DexelEndFlag fb = flags[i + 1];
        if (a == lo) {
            if (b == hi) {
                SetEdgeCase(out, 4, lo, fa, hi, fb);
                return;
            }
            if (b > hi) {
                SetEdgeCase(out, 2, lo, fa);
                return;
            }
            SetEdgeCase(out, 8, lo, fa, b, fb);
            continue;
        }
        if (a < lo) {
            if (b < lo) {
                continue;
            }
            if (b == lo) {
                SetEdgeCase(out, 10, lo, fb);
                continue;
            }
            if (b < hi) {
                SetEdgeCase(out, 7, b, fb);
                continue;
            }
            if (b == hi) {
                SetEdgeCase(out, 3, hi, fb);
            } else {
                SetEdgeCase(out, 1);
            }
            return;
        }
        if (a == hi) {
            if (out->code == 0) {
                SetEdgeCase(out, 11, hi, fa);
            } else if (out->code == 10) {
                SetEdgeCase(out, 1);  // the empty span between two touches is filled
            }
            return;
        }
        if (a > hi) {
            return;
        }
        // The interval starts inside the span; the code so far is 0, 7, 8, 9 or 10.
        const int so = out->code;
        if (b > hi) {
            if (so == 0 || so == 10) {
                SetEdgeCase(out, 5, a, fa);
            } else if (so == 7) {
                SetEdgeCase(out, 1);
            } else if (so == 8) {
                out->code = 2;  // keeps its first end, lo
                out->count = 1;
            } else if (so == 9) {
                out->code = 5;  // keeps the earlier entry
                out->count = 1;
            }
            return;
        }
        if (b == hi) {
            if (so == 0 || so == 10) {
                SetEdgeCase(out, 6, a, fa, b, fb);
            } else if (so == 7) {
                SetEdgeCase(out, 3, hi, fb);
            } else if (so == 8) {
                SetSecondEnd(out, 4, hi, fb);
            } else if (so == 9) {
                SetSecondEnd(out, 6, b, fb);
            }
            return;
        }
        // Strictly inside.
        if (so == 0 || so == 10) {
            SetEdgeCase(out, 9, a, fa, b, fb);
        } else if (so == 7) {
            SetEdgeCase(out, 7, b, fb);  // the reported exit moves on
        } else if (so == 8 || so == 9) {
            SetSecondEnd(out, so, b, fb);
        }
    }
}

double SnapToNode(const NodeSnap& snap, double v) {
    if (snap.count < 1 || !(snap.pitch > 0.0)) {
        return v;
    }
    const double index = std::nearbyint((v - snap.nodes[0]) / snap.pitch);
    if (!(index >= -1.0 && index <= snap.count)) {
        return v;
    }
    // The table's nodes near the estimate: the estimate may be one off by rounding.
    const int k = static_cast<int>(index);
    for (int j = std::max(k - 1, 0); j <= std::min(k + 1, snap.count - 1); ++j) {
        if (std::fabs(v - snap.nodes[j]) <= snap.tolerance) {
            return snap.nodes[j];
        }
    }
    return v;
}

namespace {

// An end that the rule would move within the span's reading: off lo or hi by at most the
// tolerance.
inline bool NearSpanNode(double e, double lo, double hi, double tolerance) {
    return (e != lo && std::fabs(e - lo) <= tolerance) ||
           (e != hi && std::fabs(e - hi) <= tolerance);
}

}  // namespace

bool RayNeedsSnap(const double* ends, int count, double lo, double hi, double tolerance) {
    const double windowLow = lo - 2.0 * tolerance;
    const double windowHigh = hi + 2.0 * tolerance;
    for (int i = 0; i < count; ++i) {
        const double e = ends[i];
        if (e < windowLow) {
            continue;
        }
        if (e > windowHigh) {
            break;
        }
        if (NearSpanNode(e, lo, hi, tolerance)) {
            return true;
        }
        if (i + 1 < count && ends[i + 1] != e && ends[i + 1] - e <= tolerance) {
            return true;
        }
    }
    return false;
}

int SnapRayEnds(const NodeSnap& snap, const double* ends, const DexelEndFlag* flags, int count,
                double* outEnds, DexelEndFlag* outFlags) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const double e = SnapToNode(snap, ends[i]);
        if (kept > 0 && e != outEnds[kept - 1] && e - outEnds[kept - 1] <= snap.tolerance) {
            --kept;  // the thin piece vanishes with both its ends
            continue;
        }
        outEnds[kept] = e;
        outFlags[kept] = flags[i];
        ++kept;
    }
    return kept;
}

namespace {

// ClassifyCellEdge on a plain list of ends.
void ClassifyEnds(const double* ends, const DexelEndFlag* flags, int count, double lo, double hi,
                  CellEdgeCase* out) {
    if (count < 2) {
        *out = CellEdgeCase{};
        return;
    }
    if (count > 2) {
        FindDexelSegmentCase(ends, flags, count, lo, hi, out);
        return;
    }
    *out = CellEdgeCase{};
    if (ends[0] < lo && ends[1] > hi) {
        SetEdgeCase(out, 1);
    } else if (!(ends[0] > hi || ends[1] < lo)) {
        ClassifyDexelSegment(ends[0], ends[1], flags[0], flags[1], lo, hi, out);
    }
}

}  // namespace

void ClassifyCellEdge(const DexelFamily& family, std::int64_t ray, double lo, double hi,
                      CellEdgeCase* out, const NodeSnap* snap) {
    const int count = family.counts[ray];
    if (count < 2) {
        *out = CellEdgeCase{};
        return;
    }
    const double* ends = DexelCellEnds(ray, family.capacity, family.counts, family.ends);
    const DexelEndFlag* flags = DexelCellFlags(ray, family.capacity, family.counts, family.flags);
    if (snap == nullptr) {
        ClassifyEnds(ends, flags, count, lo, hi, out);
        return;
    }
    if (count == 2) {
        // Most edges: one interval well past the span or well clear of it, or with its ends
        // away from the span's nodes, which the rule leaves as it is.
        const double e0 = ends[0];
        const double e1 = ends[1];
        const double tolerance = snap->tolerance;
        const double margin = 2.0 * tolerance;
        if (e0 < lo - margin && e1 > hi + margin) {
            *out = CellEdgeCase{};
            SetEdgeCase(out, 1);
            return;
        }
        if (e1 < lo - margin || e0 > hi + margin) {
            *out = CellEdgeCase{};
            return;
        }
        if (!NearSpanNode(e0, lo, hi, tolerance) && !NearSpanNode(e1, lo, hi, tolerance) &&
            !(e1 != e0 && e1 - e0 <= tolerance)) {
            ClassifyEnds(ends, flags, count, lo, hi, out);
            return;
        }
    }
    if (!RayNeedsSnap(ends, count, lo, hi, snap->tolerance)) {
        ClassifyEnds(ends, flags, count, lo, hi, out);
        return;
    }
    constexpr int kInline = 32;
    double inlineEnds[kInline];
    DexelEndFlag inlineFlags[kInline];
    std::vector<double> heapEnds;
    std::vector<DexelEndFlag> heapFlags;
    double* snapped = inlineEnds;
    DexelEndFlag* snappedFlags = inlineFlags;
    if (count > kInline) {
        heapEnds.resize(static_cast<std::size_t>(count));
        heapFlags.resize(static_cast<std::size_t>(count));
        snapped = heapEnds.data();
        snappedFlags = heapFlags.data();
    }
    const int kept = SnapRayEnds(*snap, ends, flags, count, snapped, snappedFlags);
    ClassifyEnds(snapped, snappedFlags, kept, lo, hi, out);
}

// --- Cell geometry tables -------------------------------------------------------------------

const int kCellFaceEdges[6][4] = {
    {kEdgeY00, kEdgeZ01, kEdgeY01, kEdgeZ00},  // 0, x = x_i
    {kEdgeY10, kEdgeZ11, kEdgeY11, kEdgeZ10},  // 1, x = x_i+1
    {kEdgeZ00, kEdgeX01, kEdgeZ10, kEdgeX00},  // 2, y = y_j
    {kEdgeZ01, kEdgeX11, kEdgeZ11, kEdgeX10},  // 3, y = y_j+1
    {kEdgeX00, kEdgeY10, kEdgeX10, kEdgeY00},  // 4, z = z_k
    {kEdgeX01, kEdgeY11, kEdgeX11, kEdgeY01},  // 5, z = z_k+1
};

// The perpendicular edges at each node are the two other-axis edges of the cell through that
// node: for X edges the Z edge then the Y edge, for Y edges the Z edge then the X edge, for Z
// edges the X edge then the Y edge.
const CellMergeStep kCellMergeOrder[kCellEdgeCount] = {
    {kEdgeX01, 0, kEdgeZ00, kEdgeY01, kEdgeZ10, kEdgeY11},
    {kEdgeX11, 1, kEdgeZ01, kEdgeY01, kEdgeZ11, kEdgeY11},
    {kEdgeY01, 0, kEdgeZ00, kEdgeX01, kEdgeZ01, kEdgeX11},
    {kEdgeY11, 1, kEdgeZ10, kEdgeX01, kEdgeZ11, kEdgeX11},
    {kEdgeX00, 2, kEdgeZ00, kEdgeY00, kEdgeZ10, kEdgeY10},
    {kEdgeX10, 3, kEdgeZ01, kEdgeY00, kEdgeZ11, kEdgeY10},
    {kEdgeY00, 2, kEdgeZ00, kEdgeX00, kEdgeZ01, kEdgeX10},
    {kEdgeY10, 3, kEdgeZ10, kEdgeX00, kEdgeZ11, kEdgeX10},
    {kEdgeZ00, 2, kEdgeX00, kEdgeY00, kEdgeX01, kEdgeY01},
    {kEdgeZ10, 0, kEdgeX00, kEdgeY10, kEdgeX01, kEdgeY11},
    {kEdgeZ01, 3, kEdgeX10, kEdgeY00, kEdgeX11, kEdgeY01},
    {kEdgeZ11, 1, kEdgeX10, kEdgeY10, kEdgeX11, kEdgeY11},
};

// --- Corner merges --------------------------------------------------------------------------

void MergeCellEdgeCases(int variant, CellEdgeCase* edge, double lo, double hi,
                        const CellEdgeCase& lowFirst, const CellEdgeCase& lowSecond,
                        const CellEdgeCase& highFirst, const CellEdgeCase& highSecond) {
    if (edge->code == 0) {
        return;
    }
    // Variant: whether the first and the second perpendicular edge meet the node at their high
    // end (0: high, low; 1: high, high; 2: low, low; 3: low, high).
    static const bool kFirstAtHigh[4] = {true, true, false, false};
    static const bool kSecondAtHigh[4] = {false, true, false, true};
    const int v = (variant >= 0 && variant < 4) ? variant : 0;
    const bool firstAtHigh = kFirstAtHigh[v];
    const bool secondAtHigh = kSecondAtHigh[v];

    DexelEndFlag flag = 0;
    if (NodeTriggers(lowFirst, firstAtHigh, lowSecond, secondAtHigh, &flag)) {
        if (edge->code == 1) {
            SetEdgeCase(edge, 2, lo, flag);
        } else if (edge->code == 3) {
            SetEdgeCase(edge, 4, lo, flag, edge->ends[0], edge->flags[0]);
        } else if (edge->code == 7) {
            SetEdgeCase(edge, 8, lo, flag, edge->ends[0], edge->flags[0]);
        }
    }
    if (NodeTriggers(highFirst, firstAtHigh, highSecond, secondAtHigh, &flag)) {
        if (edge->code == 1) {
            SetEdgeCase(edge, 3, hi, flag);
        } else if (edge->code == 5) {
            SetEdgeCase(edge, 6, edge->ends[0], edge->flags[0], hi, flag);
        } else if (edge->code == 2) {
            SetEdgeCase(edge, 4, edge->ends[0], edge->flags[0], hi, flag);
        }
    } else if (edge->code == 2 && (highFirst.code == 0 || highSecond.code == 0)) {
        // A zero-length piece at lo, so that the end at lo closes against the empty side.
        SetEdgeCase(edge, 8, edge->ends[0], edge->flags[0], edge->ends[0], edge->flags[0]);
    }
}

void MergeCellCorners(CellEdgeCase edges[kCellEdgeCount], const double low[3],
                      const double high[3]) {
    for (const CellMergeStep& step : kCellMergeOrder) {
        const int axis = CellEdgeAxis(step.edge);
        MergeCellEdgeCases(step.variant, &edges[step.edge], low[axis], high[axis],
                           edges[step.lowFirst], edges[step.lowSecond], edges[step.highFirst],
                           edges[step.highSecond]);
    }
}

// --- Material of zero width -----------------------------------------------------------------

namespace {

// Whether an edge's material holds its high or low node (ends included).
bool HoldsNode(int code, bool atHigh) {
    return atHigh ? CodeIs<1, 2, 3, 4, 5, 6, 11>(code) : CodeIs<1, 2, 3, 4, 7, 8, 10>(code);
}

}  // namespace

void AddZeroWidthTouches(CellEdgeCase edges[kCellEdgeCount], const double low[3],
                         const double high[3]) {
    static const bool kFirstAtHigh[4] = {true, true, false, false};
    static const bool kSecondAtHigh[4] = {false, true, false, true};
    int codes[kCellEdgeCount];
    for (int e = 0; e < kCellEdgeCount; ++e) {
        codes[e] = edges[e].code;
    }
    for (const CellMergeStep& step : kCellMergeOrder) {
        if (codes[step.edge] != 0) {
            continue;
        }
        const bool firstAtHigh = kFirstAtHigh[step.variant];
        const bool secondAtHigh = kSecondAtHigh[step.variant];
        const bool atLow = HoldsNode(codes[step.lowFirst], firstAtHigh) &&
                           HoldsNode(codes[step.lowSecond], secondAtHigh);
        const bool atHigh = HoldsNode(codes[step.highFirst], firstAtHigh) &&
                            HoldsNode(codes[step.highSecond], secondAtHigh);
        const int axis = CellEdgeAxis(step.edge);
        if (atLow && !atHigh) {
            SetEdgeCase(&edges[step.edge], 10, low[axis], 0);
        } else if (atHigh && !atLow) {
            SetEdgeCase(&edges[step.edge], 11, high[axis], 0);
        }
    }
}

// --- Cap flags ------------------------------------------------------------------------------

void GetCellBoundaryFlags(const StockModel& model, int ix, int iy, int iz,
                          const StockCapMarks& marks, int outFlags[6]) {
    const std::int64_t rays[3] = {
        static_cast<std::int64_t>(iz) * model.ny + iy,  // X ray: faces 0, 1
        static_cast<std::int64_t>(ix) * model.nz + iz,  // Y ray: faces 2, 3
        static_cast<std::int64_t>(iy) * model.nx + ix,  // Z ray: faces 4, 5
    };
    const int index[3] = {ix, iy, iz};
    const int nodes[3] = {model.nx, model.ny, model.nz};
    for (int axis = 0; axis < 3; ++axis) {
        const std::uint8_t* low = marks.faces[2 * axis];
        const std::uint8_t* high = marks.faces[2 * axis + 1];
        outFlags[2 * axis] =
            (index[axis] == 0 && low != nullptr && low[rays[axis]] == kCapMarkRectangle) ? 1 : 0;
        outFlags[2 * axis + 1] = (index[axis] == nodes[axis] - 2 && high != nullptr &&
                                  high[rays[axis]] == kCapMarkRectangle)
                                     ? 1
                                     : 0;
    }
}

// --- Face segments --------------------------------------------------------------------------

std::int64_t RayThroughNode(const StockModel& model, int axis, const int node[3]) {
    if (axis == 0) {
        return static_cast<std::int64_t>(node[2]) * model.ny + node[1];
    }
    if (axis == 1) {
        return static_cast<std::int64_t>(node[0]) * model.nz + node[2];
    }
    return static_cast<std::int64_t>(node[1]) * model.nx + node[0];
}

void AppendCellSegment(CellSegmentList* list, const CellFaceSegment& segment) {
    if (list->count >= kMaxCellSegments) {
        ++list->overflow;
        return;
    }
    list->segments[list->count++] = segment;
}

// Edge letters of the crossing rules.
namespace {
constexpr int kA = 0, kB = 1, kC = 2, kD = 3, kNone = -1;
}

int FindCrossingFromA(int a, int b, int c, int d) {
    if (!CodeIs<7, 8, 9>(a) && !(a == 10 && CodeIs<1, 2, 3, 4, 7, 8>(d))) {
        if (CodeIs<3, 4, 6>(a) && EdgeCodeIn(b, kEdgeCodesNoLow)) {
            if (CodeIs<5, 6, 9, 11>(b)) {
                return kB;
            }
            if (EdgeCodeIn(c, kEdgeCodesFar) || (c == 10 && !CodeIs<7, 8, 9>(d))) {
                return kC;
            }
            if (EdgeCodeIn(d, kEdgeCodesFar)) {
                return kD;
            }
        }
        return kNone;
    }
    if (EdgeCodeIn(b, kEdgeCodesEntry) || (b == 11 && !CodeIs<0, 7, 8, 9, 10>(c))) {
        return kB;
    }
    if (EdgeCodeIn(c, kEdgeCodesFar) || (c == 10 && !CodeIs<0, 7, 8, 9, 10>(d))) {
        return kC;
    }
    if (EdgeCodeIn(d, kEdgeCodesFar) || (d == 10 && a != 9)) {
        return kD;
    }
    return kNone;
}

int FindCrossingFromB(int a, int b, int c, int d) {
    if (!CodeIs<7, 8, 9>(b) && !(b == 10 && a >= 1 && a <= 6)) {
        if (CodeIs<3, 4, 6>(b) && CodeIs<0, 7, 8, 9, 10>(c)) {
            if (c != 0) {
                return kC;
            }
            if (EdgeCodeIn(d, kEdgeCodesFar) || (d == 10 && !CodeIs<5, 6, 9>(a))) {
                return kD;
            }
            if (EdgeCodeIn(a, kEdgeCodesEntry)) {
                return kA;
            }
        }
        return kNone;
    }
    if (EdgeCodeIn(c, kEdgeCodesFar) || (c == 10 && !CodeIs<0, 7, 8, 9, 10>(d))) {
        return kC;
    }
    if (EdgeCodeIn(d, kEdgeCodesFar) || (d == 10 && !EdgeCodeIn(a, kEdgeCodesNoLow))) {
        return kD;
    }
    if (EdgeCodeIn(a, kEdgeCodesEntry) || (a == 11 && b != 9)) {
        return kA;
    }
    return kNone;
}

int FindCrossingFromC(int a, int b, int c, int d) {
    if (!CodeIs<5, 6, 9>(c) && !(c == 11 && b >= 1 && b <= 6)) {
        if (CodeIs<2, 4, 8>(c) && CodeIs<0, 7, 8, 9, 10>(d)) {
            if (d != 0) {
                return kD;
            }
            if (EdgeCodeIn(a, kEdgeCodesEntry) || (a == 11 && !CodeIs<5, 6, 9>(b))) {
                return kA;
            }
            if (EdgeCodeIn(b, kEdgeCodesEntry)) {
                return kB;
            }
        }
        return kNone;
    }
    if (EdgeCodeIn(d, kEdgeCodesFar) || (d == 10 && !EdgeCodeIn(a, kEdgeCodesNoLow))) {
        return kD;
    }
    if (EdgeCodeIn(a, kEdgeCodesEntry) || (a == 11 && !EdgeCodeIn(b, kEdgeCodesNoLow))) {
        return kA;
    }
    if (EdgeCodeIn(b, kEdgeCodesEntry) || (b == 11 && c != 9)) {
        return kB;
    }
    return kNone;
}

int FindCrossingFromD(int a, int b, int c, int d) {
    if (!CodeIs<5, 6, 9>(d) && !(d == 11 && CodeIs<1, 2, 3, 4, 7, 8>(c))) {
        if (EdgeCodeIn(a, kEdgeCodesNoLow) && CodeIs<2, 4, 8>(d)) {
            if (a != 0) {
                return kA;
            }
            if (EdgeCodeIn(b, kEdgeCodesEntry) || (b == 11 && !CodeIs<7, 8, 9>(c))) {
                return kB;
            }
            if (EdgeCodeIn(c, kEdgeCodesFar)) {
                return kC;
            }
        }
        return kNone;
    }
    if (EdgeCodeIn(a, kEdgeCodesEntry) || (a == 11 && !EdgeCodeIn(b, kEdgeCodesNoLow))) {
        return kA;
    }
    if (EdgeCodeIn(b, kEdgeCodesEntry) || (b == 11 && !CodeIs<0, 7, 8, 9, 10>(c))) {
        return kB;
    }
    if (EdgeCodeIn(c, kEdgeCodesFar) || (c == 10 && d != 9)) {
        return kC;
    }
    return kNone;
}

namespace {

// One face of a cell seen in its own axes: normal axis n, in-face axes a1 and a2, plane
// coordinate and the spans of the in-face axes (mm).
struct FaceFrame {
    int normal = {};
    int a1 = {};
    int a2 = {};
    double plane = {};
    const double* low = {};
    const double* high = {};

    // The point at value v (mm) along edge k (0 A, 1 B, 2 C, 3 D).
    void Place(int k, double v, double out[3]) const {
        out[normal] = plane;
        if (k == kA || k == kC) {
            out[a1] = v;
            out[a2] = (k == kA) ? low[a2] : high[a2];
        } else {
            out[a1] = (k == kB) ? high[a1] : low[a1];
            out[a2] = v;
        }
    }
    double EdgeLow(int k) const {
        return (k == kA || k == kC) ? low[a1] : low[a2];
    }
    double EdgeHigh(int k) const {
        return (k == kA || k == kC) ? high[a1] : high[a2];
    }
};

// The corner edges of each face edge: P at its low node and Q at its high node, with whether
// the corner is at the corner edge's high end.
struct CornerEdges {
    int p = {};
    bool pAtHigh = {};
    int q = {};
    bool qAtHigh = {};
};
const CornerEdges kCorners[4] = {
    {kD, false, kB, false},  // A
    {kA, true, kC, true},    // B
    {kD, true, kB, true},    // C
    {kA, false, kC, false},  // D
};

// Whether face `other` holds material on an edge it does not share with face `face`.
bool OtherFaceHolds(int face, int other, const CellEdgeCase edges[kCellEdgeCount]) {
    for (const int edge : kCellFaceEdges[other]) {
        bool shared = false;
        for (const int own : kCellFaceEdges[face]) {
            shared = shared || own == edge;
        }
        if (!shared && edges[edge].code != 0) {
            return true;
        }
    }
    return false;
}

// Appends an edge segment along edge k from value lowValue to highValue (mm, lowValue on the
// low side), tagged with the face's own number or with the neighbouring face.
void AppendEdgeSegment(const FaceFrame& frame, int face, int neighbour, bool ownTagged, int k,
                       double lowValue, DexelEndFlag lowFlag, double highValue,
                       DexelEndFlag highFlag, CellSegmentList* list) {
    // The walk passes A and B upwards and C and D downwards. On even faces a neighbour-tagged
    // segment runs with the walk and an own-tagged one against it; odd faces the other way.
    const bool walkUp = (k == kA || k == kB);
    const bool odd = (face & 1) != 0;
    const bool upwards = (walkUp != ownTagged) != odd;
    CellFaceSegment segment;
    segment.id = ownTagged ? face : neighbour;
    if (upwards) {
        frame.Place(k, lowValue, segment.from);
        frame.Place(k, highValue, segment.to);
        segment.fromFlag = lowFlag;
        segment.toFlag = highFlag;
    } else {
        frame.Place(k, highValue, segment.from);
        frame.Place(k, lowValue, segment.to);
        segment.fromFlag = highFlag;
        segment.toFlag = lowFlag;
    }
    AppendCellSegment(list, segment);
}

// Whether the point of the face's plane lies inside the face, farther than `margin` (mm) from
// its edges: a point on an edge would be a point of the neighbouring face's outline that that
// face does not have.
bool InsideFace(const FaceFrame& frame, const double p[3], double margin) {
    for (const int axis : {frame.a1, frame.a2}) {
        if (!(p[axis] > frame.low[axis] + margin && p[axis] < frame.high[axis] - margin)) {
            return false;
        }
    }
    return true;
}

// How many rays beyond a face edge must end where it ends for the face's material to be taken
// as bounded there by a line across that edge.
constexpr int kStraightSideRays = 2;

// Whether the material of the face's plane is bounded at the end v (mm) of its edge k by the line
// through v across the edge: the parallel rays of the plane at the next kStraightSideRays nodes
// beyond the edge, on the side away from the cell, end at v too (within a billionth of the pitch).
bool EndsOnStraightSide(const CellSegmentList& list, const FaceFrame& frame, int face, int k,
                        double v) {
    const StockModel& model = *list.model;
    const bool alongA1 = (k == kA || k == kC);
    const int axis = alongA1 ? frame.a1 : frame.a2;
    const int across = alongA1 ? frame.a2 : frame.a1;
    const int step = (k == kA || k == kD) ? -1 : 1;
    const int counts[3] = {model.nx, model.ny, model.nz};
    int node[3] = {list.cell[0], list.cell[1], list.cell[2]};
    node[frame.normal] += face & 1;
    node[across] += step > 0 ? 1 : 0;
    const DexelFamily& family = axis == 0 ? model.x : (axis == 1 ? model.y : model.z);
    const double tolerance = 1e-9 * model.pitch;
    for (int i = 0; i < kStraightSideRays; ++i) {
        node[across] += step;
        if (node[across] < 0 || node[across] >= counts[across]) {
            return false;
        }
        const std::int64_t ray = RayThroughNode(model, axis, node);
        const int count = family.counts[ray];
        const double* ends = DexelCellEnds(ray, family.capacity, family.counts, family.ends);
        bool found = false;
        for (int j = 0; j < count && !found; ++j) {
            found = std::fabs(ends[j] - v) <= tolerance;
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

}  // namespace

void BuildDexelCellEdges(int face, const double low[3], const double high[3],
                         const int boundaryFlags[6], const CellEdgeCase edges[kCellEdgeCount],
                         CellSegmentList* list) {
    FaceFrame frame;
    frame.normal = face / 2;
    frame.a1 = (frame.normal + 1) % 3;
    frame.a2 = (frame.normal + 2) % 3;
    frame.plane = (face & 1) ? high[frame.normal] : low[frame.normal];
    frame.low = low;
    frame.high = high;
    // The other face of the cell on which each edge lies: A on the a2-min face, B on the a1-max
    // face, C on the a2-max face, D on the a1-min face.
    const int neighbour[4] = {2 * frame.a2, 2 * frame.a1 + 1, 2 * frame.a2 + 1, 2 * frame.a1};
    const CellEdgeCase* e[4];
    int code[4];
    for (int k = 0; k < 4; ++k) {
        e[k] = &edges[kCellFaceEdges[face][k]];
        code[k] = e[k]->code;
    }
    const bool ownFlagged = boundaryFlags[face] != 0;

    // Edge segments, A to D.
    for (int k = 0; k < 4; ++k) {
        const CellEdgeCase& edge = *e[k];
        bool othersEmpty = true;
        for (int j = 0; j < 4; ++j) {
            othersEmpty = othersEmpty && (j == k || code[j] == 0);
        }
        const CornerEdges& corner = kCorners[k];
        const CellEdgeCase& p = *e[corner.p];
        const CellEdgeCase& q = *e[corner.q];
        const bool pHasEnd = HasEndAtNode(p.code, corner.pAtHigh);
        const bool qHasEnd = HasEndAtNode(q.code, corner.qAtHigh);
        const double lo = frame.EdgeLow(k);
        const double hi = frame.EdgeHigh(k);
        if (boundaryFlags[neighbour[k]] != 0) {
            if (edge.code == 9 && !ownFlagged && !othersEmpty) {
                AppendEdgeSegment(frame, face, neighbour[k], true, k, edge.ends[0], edge.flags[0],
                                  edge.ends[1], edge.flags[1], list);
            }
            continue;
        }
        switch (edge.code) {
            case 1:
                if (pHasEnd && qHasEnd) {
                    AppendEdgeSegment(frame, face, neighbour[k], false, k, lo,
                                      FlagAtNode(p, corner.pAtHigh), hi,
                                      FlagAtNode(q, corner.qAtHigh), list);
                }
                break;
            case 4:
            case 6:
                AppendEdgeSegment(frame, face, neighbour[k], false, k, edge.ends[0], edge.flags[0],
                                  edge.ends[1], edge.flags[1], list);
                break;
            case 2:
            case 5:
                if (qHasEnd) {
                    AppendEdgeSegment(frame, face, neighbour[k], false, k, edge.ends[0],
                                      edge.flags[0], hi, FlagAtNode(q, corner.qAtHigh), list);
                }
                break;
            case 3:
            case 7:
                if (pHasEnd) {
                    AppendEdgeSegment(frame, face, neighbour[k], false, k, lo,
                                      FlagAtNode(p, corner.pAtHigh), edge.ends[0], edge.flags[0],
                                      list);
                }
                break;
            case 8:
            case 9:
                // An island on a face without other material is a line of it, no polygon; the
                // cell's loop still runs along it when the other face of the edge builds a polygon
                // that the island bounds.
                if (!ownFlagged && (!othersEmpty || OtherFaceHolds(face, neighbour[k], edges))) {
                    AppendEdgeSegment(frame, face, neighbour[k], true, k, edge.ends[0],
                                      edge.flags[0], edge.ends[1], edge.flags[1], list);
                }
                break;
            default:  // 0, 10, 11
                break;
        }
    }

    // Crossing segments: from the end of the source edge that the walk leaves last to the end
    // of the target edge that it reaches first. Even faces store them target to source.
    int (*const rules[4])(int, int, int, int) = {FindCrossingFromA, FindCrossingFromB,
                                                 FindCrossingFromC, FindCrossingFromD};
    for (int s = 0; s < 4; ++s) {
        const int t = rules[s](code[0], code[1], code[2], code[3]);
        if (t == kNone || e[s]->count == 0 || e[t]->count == 0) {
            continue;
        }
        const int sourceEnd = (s == kA || s == kB) ? e[s]->count - 1 : 0;
        const int targetEnd = (t == kA || t == kB) ? 0 : e[t]->count - 1;
        double source[3];
        double target[3];
        frame.Place(s, e[s]->ends[sourceEnd], source);
        frame.Place(t, e[t]->ends[targetEnd], target);
        const DexelEndFlag sourceFlag = e[s]->flags[sourceEnd];
        const DexelEndFlag targetFlag = e[t]->flags[targetEnd];
        CellFaceSegment segment;
        segment.id = face + 10;
        const bool odd = (face & 1) != 0;
        const double* from = odd ? source : target;
        const double* to = odd ? target : source;
        segment.fromFlag = odd ? sourceFlag : targetFlag;
        segment.toFlag = odd ? targetFlag : sourceFlag;
        // Between ends on two perpendicular edges, where the face's material is bounded by a
        // straight line across each edge (a box face inside the cell, a flat floor meeting a
        // wall), its outline turns at the lines' meeting point rather than cutting the corner.
        const bool perpendicular = (s == kA || s == kC) != (t == kA || t == kC);
        double corner[3] = {};
        const bool split = perpendicular && list->model != nullptr &&
                           EndsOnStraightSide(*list, frame, face, s, e[s]->ends[sourceEnd]) &&
                           EndsOnStraightSide(*list, frame, face, t, e[t]->ends[targetEnd]);
        if (split) {
            // The corner takes the source end's value along the source edge and the target end's
            // along the target edge.
            const int sourceAxis = (s == kA || s == kC) ? frame.a1 : frame.a2;
            const int targetAxis = (t == kA || t == kC) ? frame.a1 : frame.a2;
            corner[frame.normal] = frame.plane;
            corner[sourceAxis] = source[sourceAxis];
            corner[targetAxis] = target[targetAxis];
        }
        if (split && InsideFace(frame, corner, kNodeSlack * list->model->pitch)) {
            CellFaceSegment first = segment;
            CellFaceSegment second = segment;
            for (int i = 0; i < 3; ++i) {
                first.from[i] = from[i];
                first.to[i] = corner[i];
                second.from[i] = corner[i];
                second.to[i] = to[i];
            }
            first.toFlag = segment.fromFlag;
            first.corner = 2;
            second.corner = 1;
            AppendCellSegment(list, first);
            AppendCellSegment(list, second);
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            segment.from[i] = from[i];
            segment.to[i] = to[i];
        }
        AppendCellSegment(list, segment);
    }
}

}  // namespace mirexa
