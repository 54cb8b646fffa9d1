// Cell edge analysis: edge classification against a set-based oracle, the merge order against
// the cell's geometry, merge transitions, the crossing rules against the face's half-turn
// symmetry, cap flags, and segment lists of single cells worked out by hand.
#include "stockio/cell_edges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "stock/stock_grid.h"
#include "support/mesh_checker.h"

namespace mirexa {
namespace {

// Ends reported by each code, by the code table.
const int kEndsOfCode[kEdgeCaseCount] = {0, 0, 1, 1, 2, 1, 2, 1, 2, 2, 1, 1};

// A one-ray family holding the given ends; flag of end i is 0x10 + i.
struct OneRay {
    std::int32_t count = 0;
    std::vector<double> ends;
    std::vector<DexelEndFlag> flags;
    std::vector<std::int32_t> stamps;
    DexelFamily family;

    explicit OneRay(const std::vector<double>& values) {
        count = static_cast<std::int32_t>(values.size());
        ends.assign(kDexelInlineCapacity, 0.0);
        flags.assign(kDexelInlineCapacity, 0);
        stamps.assign(kDexelInlineCapacity, 0);
        std::copy(values.begin(), values.end(), ends.begin());
        for (int i = 0; i < count; ++i) {
            flags[i] = static_cast<DexelEndFlag>(0x10 + i);
        }
        family.capacity = kDexelInlineCapacity;
        family.cellCount = 1;
        family.counts = &count;
        family.ends = ends.data();
        family.flags = flags.data();
        family.lineStamps = stamps.data();
    }
};

// The expected classification of intervals [a, b] (ascending, in pairs) on [lo, hi], from what
// material lies on the span: an interval ending exactly at lo from below touches lo, one
// starting exactly at hi touches hi; every other interval reaching the span is a body. Bodies
// are merged into their hull (gaps are given up) and touches then ignored; two touches alone
// fill the span; one touch alone is reported as such. An interval starting exactly at lo
// starts the hull afresh (what lay at lo before it was of zero length).
CellEdgeCase ExpectedCase(const std::vector<double>& e, double lo, double hi) {
    CellEdgeCase out;
    int firstBody = -1, lastBody = -1, touchLo = -1, touchHi = -1;
    for (int i = 0; i + 1 < static_cast<int>(e.size()); i += 2) {
        const double a = e[i], b = e[i + 1];
        if (b < lo || a > hi) {
            continue;
        }
        if (a < lo && b == lo) {
            touchLo = i;
        } else if (a == hi) {
            touchHi = touchHi < 0 ? i : touchHi;
        } else {
            firstBody = (firstBody < 0 || a == lo) ? i : firstBody;
            lastBody = i;
        }
    }
    auto flag = [](int end) { return static_cast<DexelEndFlag>(0x10 + end); };
    auto add = [&](double value, int end) {
        out.ends[out.count] = value;
        out.flags[out.count++] = flag(end);
    };
    if (firstBody < 0) {
        if (touchLo >= 0 && touchHi >= 0) {
            out.code = 1;
        } else if (touchLo >= 0) {
            out.code = 10;
            add(lo, touchLo + 1);
        } else if (touchHi >= 0) {
            out.code = 11;
            add(hi, touchHi);
        }
        return out;
    }
    const double s = e[firstBody];
    const double t = e[lastBody + 1];
    const int startAt = s < lo ? 0 : (s == lo ? 1 : 2);  // below, at lo, inside
    const int endAt = t < hi ? 0 : (t == hi ? 1 : 2);    // inside, at hi, above
    static const int kCodes[3][3] = {{7, 3, 1}, {8, 4, 2}, {9, 6, 5}};
    out.code = kCodes[startAt][endAt];
    if (startAt > 0) {
        add(s, firstBody);
    }
    if (endAt < 2) {
        add(t, lastBody + 1);
    }
    return out;
}

::testing::AssertionResult SameCase(const CellEdgeCase& got, const CellEdgeCase& want) {
    if (got.code != want.code || got.count != want.count) {
        return ::testing::AssertionFailure()
               << "code " << got.code << " with " << got.count << " ends, expected " << want.code
               << " with " << want.count;
    }
    for (int i = 0; i < got.count; ++i) {
        if (got.ends[i] != want.ends[i] || got.flags[i] != want.flags[i]) {
            return ::testing::AssertionFailure()
                   << "end " << i << " " << got.ends[i] << " flag " << int(got.flags[i])
                   << ", expected " << want.ends[i] << " flag " << int(want.flags[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

std::string ListText(const std::vector<double>& e) {
    std::string text;
    for (double v : e) {
        text += std::to_string(v) + " ";
    }
    return text;
}

// Every ascending list of n ends drawn from values (repeats allowed).
void ForEachList(const std::vector<double>& values, int n, std::vector<double>* list,
                 std::size_t from, const std::function<void(const std::vector<double>&)>& use) {
    if (static_cast<int>(list->size()) == n) {
        use(*list);
        return;
    }
    for (std::size_t i = from; i < values.size(); ++i) {
        list->push_back(values[i]);
        ForEachList(values, n, list, i, use);
        list->pop_back();
    }
}

TEST(CellEdgeClassification, OneIntervalAgainstTheCodeTable) {
    // Ends in {-1, 0, 0.5, 1, 2} against [0, 1], every ordering, through the ray dispatch (a
    // ray of two ends) and through the several-interval walk.
    int checked = 0;
    std::vector<double> list;
    ForEachList({-1, 0, 0.5, 1, 2}, 2, &list, 0, [&](const std::vector<double>& e) {
        OneRay ray(e);
        CellEdgeCase got;
        ClassifyCellEdge(ray.family, 0, 0.0, 1.0, &got);
        CellEdgeCase want = ExpectedCase(e, 0.0, 1.0);
        if (e[0] == 0.0 && e[1] == 0.0) {
            want.code = 10;  // [lo, lo] touches lo: one end, lo, with the exit's flag
            want.count = 1;
            want.ends[0] = 0.0;
            want.flags[0] = 0x11;
        }
        EXPECT_TRUE(SameCase(got, want)) << ListText(e);
        EXPECT_EQ(got.count, kEndsOfCode[got.code]) << ListText(e);
        ++checked;
    });
    EXPECT_EQ(checked, 15);

    CellEdgeCase got;
    ClassifyDexelSegment(0.0, 1.0, 3, 4, 0.0, 1.0, &got);
    EXPECT_EQ(got.code, 4);
    ClassifyDexelSegment(0.0, 0.0, 3, 4, 0.0, 1.0, &got);
    EXPECT_EQ(got.code, 10);
    EXPECT_EQ(got.flags[0], 4);
}

TEST(CellEdgeClassification, SeveralIntervalsAgainstTheMaterialOracle) {
    // Four and six ends from a set that holds both span ends, points inside and outside.
    const std::vector<double> values = {-1, 0, 0.25, 0.5, 0.75, 1, 2};
    int checked = 0;
    for (int n : {4, 6}) {
        std::vector<double> list;
        ForEachList(values, n, &list, 0, [&](const std::vector<double>& e) {
            OneRay ray(e);
            CellEdgeCase got;
            ClassifyCellEdge(ray.family, 0, 0.0, 1.0, &got);
            EXPECT_TRUE(SameCase(got, ExpectedCase(e, 0.0, 1.0))) << ListText(e);
            ++checked;
        });
    }
    EXPECT_EQ(checked, 210 + 924);

    // The edge cases named for the walk: a touch at lo and an interval starting at hi fill the
    // span; leaving and re-entering within the span is full too.
    CellEdgeCase got;
    const double touches[4] = {-1, 0, 1, 2};
    const DexelEndFlag flags[6] = {};
    FindDexelSegmentCase(touches, flags, 4, 0.0, 1.0, &got);
    EXPECT_EQ(got.code, 1);
    const double reentering[4] = {-1, 0.3, 0.6, 2};
    FindDexelSegmentCase(reentering, flags, 4, 0.0, 1.0, &got);
    EXPECT_EQ(got.code, 1);
    EXPECT_EQ(got.count, 0);
    // An interval starting exactly at lo after a touch there is taken as it stands.
    const double touchingAtLo[4] = {-1, 0, 0, 0.5};
    FindDexelSegmentCase(touchingAtLo, flags, 4, 0.0, 1.0, &got);
    EXPECT_EQ(got.code, 8);
}

// --- Merges ---------------------------------------------------------------------------------

// The two nodes of a named edge in cell-local coordinates (0 or 1 per axis), from its name.
void EdgeNodes(int edge, int low[3], int high[3]) {
    static const char* kNames[kCellEdgeCount] = {"X00", "X10", "X01", "X11", "Y00", "Y01",
                                                 "Y10", "Y11", "Z00", "Z10", "Z01", "Z11"};
    const char* name = kNames[edge];
    const int axis = name[0] - 'X';
    // Xab at (y + a, z + b), Yab at (x + a, z + b), Zab at (x + a, y + b).
    const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    low[axis] = 0;
    high[axis] = 1;
    for (int k = 0; k < 2; ++k) {
        low[others[axis][k]] = high[others[axis][k]] = name[1 + k] - '0';
    }
}

TEST(CellEdgeClassification, EndsAHairOffANodeReadAsOnTheNode) {
    // Nodes 0, 1, 2, 3 at a pitch of 1: the tolerance is the grid's slack.
    const double nodes[4] = {0.0, 1.0, 2.0, 3.0};
    const NodeSnap snap = {nodes, 4, 1.0, kNodeSlack};
    const double hair = 1e-9;   // well inside the tolerance
    const double clear = 1e-2;  // well outside it
    struct Case {
        const char* what;
        std::vector<double> ends;
        std::vector<double> read;  // the ray as the rule reads it
        int code;                  // of the span [1, 2]
    };
    const Case cases[] = {
        {"exit just below the high node", {0.5, 2.0 - hair}, {0.5, 2.0}, 3},
        {"exit just above the high node", {0.5, 2.0 + hair}, {0.5, 2.0}, 3},
        {"entry just below the low node", {1.0 - hair, 2.5}, {1.0, 2.5}, 2},
        {"entry just above the low node", {1.0 + hair, 2.5}, {1.0, 2.5}, 2},
        {"exit just below the low node touches it", {0.5, 1.0 - hair}, {0.5, 1.0}, 10},
        {"ends on the nodes stay", {1.0, 2.0}, {1.0, 2.0}, 4},
        {"ends clear of the nodes stay", {1.0 + clear, 2.0 - clear}, {1.0 + clear, 2.0 - clear}, 9},
        {"a sliver inside the span vanishes", {0.5, 1.5, 1.5 + hair, 2.5}, {0.5, 2.5}, 1},
        {"a thin island vanishes", {1.5, 1.5 + hair}, {}, 0},
        {"a thin gap across a node closes to a touch",
         {0.5, 2.0 - hair, 2.0 + hair, 2.5},
         {0.5, 2.0, 2.0, 2.5},
         3},
        {"a point on a node stays", {2.0, 2.0}, {2.0, 2.0}, 11},
    };
    for (const Case& c : cases) {
        OneRay ray(c.ends);
        std::vector<double> read(c.ends.size());
        std::vector<DexelEndFlag> flags(c.ends.size());
        const int kept = SnapRayEnds(snap, c.ends.data(), ray.flags.data(),
                                     static_cast<int>(c.ends.size()), read.data(), flags.data());
        read.resize(static_cast<std::size_t>(kept));
        EXPECT_EQ(read, c.read) << c.what;
        CellEdgeCase got;
        ClassifyCellEdge(ray.family, 0, 1.0, 2.0, &got, &snap);
        EXPECT_EQ(got.code, c.code) << c.what;
        // The edge is the plain classification of the ray as read, reported ends included.
        OneRay asRead(c.read);
        CellEdgeCase want;
        ClassifyCellEdge(asRead.family, 0, 1.0, 2.0, &want);
        EXPECT_EQ(got.code, want.code) << c.what;
        EXPECT_EQ(got.count, want.count) << c.what;
        for (int i = 0; i < got.count && i < want.count; ++i) {
            EXPECT_EQ(got.ends[i], want.ends[i]) << c.what;
        }
    }
    EXPECT_EQ(SnapToNode(snap, -hair), 0.0);
    EXPECT_EQ(SnapToNode(snap, 3.0 + hair), 3.0);
    EXPECT_EQ(SnapToNode(snap, 1.5), 1.5);
}

TEST(CellEdgeMerges, OrderAndPerpendicularEdgesFollowTheCellGeometry) {
    const int order[kCellEdgeCount] = {kEdgeX01, kEdgeX11, kEdgeY01, kEdgeY11, kEdgeX00, kEdgeX10,
                                       kEdgeY00, kEdgeY10, kEdgeZ00, kEdgeZ10, kEdgeZ01, kEdgeZ11};
    const int variants[kCellEdgeCount] = {0, 1, 0, 1, 2, 3, 2, 3, 2, 0, 3, 1};
    // Perpendicular axes in their order: X edges Z then Y, Y edges Z then X, Z edges X then Y.
    const int pairOrder[3][2] = {{2, 1}, {2, 0}, {0, 1}};
    for (int s = 0; s < kCellEdgeCount; ++s) {
        const CellMergeStep& step = kCellMergeOrder[s];
        EXPECT_EQ(step.edge, order[s]);
        EXPECT_EQ(step.variant, variants[s]) << "step " << s;
        int low[3], high[3];
        EdgeNodes(step.edge, low, high);
        const int axis = CellEdgeAxis(step.edge);
        for (int end = 0; end < 2; ++end) {
            const int* node = end == 0 ? low : high;
            const int found[2] = {end == 0 ? step.lowFirst : step.highFirst,
                                  end == 0 ? step.lowSecond : step.highSecond};
            for (int k = 0; k < 2; ++k) {
                const int p = found[k];
                EXPECT_EQ(CellEdgeAxis(p), pairOrder[axis][k]) << "step " << s;
                int pl[3], ph[3];
                EdgeNodes(p, pl, ph);
                const bool atLow = std::equal(pl, pl + 3, node);
                const bool atHigh = std::equal(ph, ph + 3, node);
                ASSERT_TRUE(atLow || atHigh) << "step " << s << " edge " << p;
                // The variant: 0 first high, second low; 1 both high; 2 both low; 3 first low,
                // second high.
                const bool wantHigh = k == 0 ? (step.variant <= 1) : (step.variant % 2 == 1);
                EXPECT_EQ(atHigh, wantHigh) << "step " << s << " perpendicular " << k;
            }
        }
    }
}

CellEdgeCase Edge(int code, std::vector<double> ends = {}, DexelEndFlag flag = 0x20) {
    CellEdgeCase e;
    e.code = code;
    e.count = static_cast<int>(ends.size());
    for (int i = 0; i < e.count; ++i) {
        e.ends[i] = ends[i];
        e.flags[i] = static_cast<DexelEndFlag>(flag + i);
    }
    return e;
}

// A representative edge of each code on [0, 1], with its ends.
CellEdgeCase EdgeOfCode(int code, DexelEndFlag flag) {
    static const std::vector<double> kEnds[kEdgeCaseCount] = {
        {}, {}, {0}, {1}, {0, 1}, {0.5}, {0.5, 1}, {0.5}, {0, 0.5}, {0.25, 0.75}, {0}, {1}};
    return Edge(code, kEnds[code], flag);
}

TEST(CellEdgeMerges, EveryConfigurationGivesAConsistentEdge) {
    // Every code of the merged edge against every code of the four perpendicular edges, in
    // every variant: the result is one of the allowed transitions, its ends match its code,
    // lie on the span and keep the edge's own interior ends; new ends sit on the nodes.
    int changed = 0;
    for (int variant = 0; variant < 4; ++variant) {
        for (int code = 0; code < kEdgeCaseCount; ++code) {
            for (int l1 = 0; l1 < kEdgeCaseCount; ++l1) {
                for (int l2 = 0; l2 < kEdgeCaseCount; ++l2) {
                    for (int h1 = 0; h1 < kEdgeCaseCount; ++h1) {
                        for (int h2 = 0; h2 < kEdgeCaseCount; ++h2) {
                            const CellEdgeCase before = EdgeOfCode(code, 0x30);
                            CellEdgeCase e = before;
                            MergeCellEdgeCases(variant, &e, 0.0, 1.0, EdgeOfCode(l1, 0x40),
                                               EdgeOfCode(l2, 0x50), EdgeOfCode(h1, 0x60),
                                               EdgeOfCode(h2, 0x70));
                            ASSERT_EQ(e.count, kEndsOfCode[e.code]);
                            if (e.code == before.code) {
                                continue;
                            }
                            ++changed;
                            const std::string from = std::to_string(before.code);
                            const std::string to = std::to_string(e.code);
                            const std::string transition = from + ">" + to;
                            static const std::vector<std::string> kAllowed = {
                                "1>2", "1>3", "1>4", "1>8", "3>4", "7>8", "5>6", "2>4", "2>8"};
                            ASSERT_NE(std::find(kAllowed.begin(), kAllowed.end(), transition),
                                      kAllowed.end())
                                << transition;
                            for (int i = 1; i < e.count; ++i) {
                                ASSERT_LE(e.ends[i - 1], e.ends[i]) << transition;
                            }
                            // Interior ends of the edge survive.
                            for (int i = 0; i < before.count; ++i) {
                                const double v = before.ends[i];
                                if (v > 0.0 && v < 1.0) {
                                    ASSERT_TRUE(std::count(e.ends, e.ends + e.count, v) == 1)
                                        << transition;
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(changed, 0);
}

TEST(CellEdgeMerges, WorkedCorners) {
    const CellEdgeCase empty = Edge(0);
    const CellEdgeCase full = Edge(1);
    // A full edge whose low node carries a touching perpendicular edge (variant 2: both meet
    // the node at their low end, so code 10 touches) becomes 2 with an end at lo and the
    // touching edge's flag; with an empty perpendicular edge at its high node it then becomes
    // 8 with both ends at lo.
    CellEdgeCase e = full;
    MergeCellEdgeCases(2, &e, 3.0, 4.0, Edge(10, {3.0}, 0x71), full, full, full);
    EXPECT_EQ(e.code, 2);
    EXPECT_EQ(e.ends[0], 3.0);
    EXPECT_EQ(e.flags[0], 0x71);
    e = full;
    MergeCellEdgeCases(2, &e, 3.0, 4.0, Edge(10, {3.0}, 0x71), full, empty, full);
    EXPECT_EQ(e.code, 8);
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(e.ends[0], 3.0);
    EXPECT_EQ(e.ends[1], 3.0);
    EXPECT_EQ(e.flags[1], 0x71);
    // Variant 1 (both at their high ends): an edge with an end at its high end (code 4, the
    // second end's flag) against a clear one (code 10 is clear at its high end) triggers.
    e = full;
    MergeCellEdgeCases(1, &e, 0.0, 1.0, full, full, Edge(4, {0, 1}, 0x10), Edge(10, {0}));
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(e.ends[0], 1.0);
    EXPECT_EQ(e.flags[0], 0x11);
    // An end at the node against a perpendicular edge that is not clear: no trigger.
    e = full;
    MergeCellEdgeCases(1, &e, 0.0, 1.0, full, full, Edge(4, {0, 1}), full);
    EXPECT_EQ(e.code, 1);
    // Code 0 is never merged.
    e = empty;
    MergeCellEdgeCases(2, &e, 0.0, 1.0, Edge(10, {0}), Edge(10, {0}), empty, empty);
    EXPECT_EQ(e.code, 0);
}

// --- Crossing rules -------------------------------------------------------------------------

// The code of an edge seen walking it the other way.
int MirrorCode(int code) {
    static const int kMirror[kEdgeCaseCount] = {0, 1, 3, 2, 4, 7, 8, 5, 6, 9, 11, 10};
    return kMirror[code];
}

TEST(CellEdgeCrossings, RulesOfOppositeEdgesAgreeUnderAHalfTurn) {
    // Turning a face by 180 degrees takes A to C and B to D and reverses their direction, so
    // the rules from C and D are those from A and B on the turned codes. Checked over every
    // combination of the four codes.
    int segments = 0;
    for (int a = 0; a < kEdgeCaseCount; ++a) {
        for (int b = 0; b < kEdgeCaseCount; ++b) {
            for (int c = 0; c < kEdgeCaseCount; ++c) {
                for (int d = 0; d < kEdgeCaseCount; ++d) {
                    const int ma = MirrorCode(c), mb = MirrorCode(d), mc = MirrorCode(a),
                              md = MirrorCode(b);
                    const int fromA = FindCrossingFromA(ma, mb, mc, md);
                    const int fromB = FindCrossingFromB(ma, mb, mc, md);
                    const int fromC = FindCrossingFromC(a, b, c, d);
                    const int fromD = FindCrossingFromD(a, b, c, d);
                    ASSERT_EQ(fromC, fromA < 0 ? -1 : (fromA + 2) % 4) << a << b << c << d;
                    ASSERT_EQ(fromD, fromB < 0 ? -1 : (fromB + 2) % 4) << a << b << c << d;
                    // A crossing leaves and reaches edges that report an end.
                    const int codes[4] = {a, b, c, d};
                    int (*rules[4])(int, int, int, int) = {FindCrossingFromA, FindCrossingFromB,
                                                           FindCrossingFromC, FindCrossingFromD};
                    for (int s = 0; s < 4; ++s) {
                        const int t = rules[s](a, b, c, d);
                        if (t >= 0) {
                            ++segments;
                            ASSERT_NE(t, s);
                            ASSERT_GT(kEndsOfCode[codes[s]], 0) << a << b << c << d;
                            ASSERT_GT(kEndsOfCode[codes[t]], 0) << a << b << c << d;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(segments, 0);
}

TEST(CellEdgeCrossings, RowsOfEachRule) {
    // From A: the exit of A (7) closes against the exit of D (7); a full A only starts a
    // segment when it ends at hi (3) and B holds no material at its low node.
    EXPECT_EQ(FindCrossingFromA(7, 0, 0, 7), 3);
    EXPECT_EQ(FindCrossingFromA(7, 5, 0, 7), 1);
    EXPECT_EQ(FindCrossingFromA(1, 0, 7, 7), -1);
    EXPECT_EQ(FindCrossingFromA(3, 5, 0, 0), 1);
    EXPECT_EQ(FindCrossingFromA(3, 0, 3, 0), 2);
    EXPECT_EQ(FindCrossingFromA(3, 0, 10, 9), 3);   // c = 10 with d in {7, 8, 9}: on to D
    EXPECT_EQ(FindCrossingFromA(10, 11, 3, 2), 1);  // a touch at lo with d = 2
    // From B.
    EXPECT_EQ(FindCrossingFromB(0, 7, 7, 0), 2);
    EXPECT_EQ(FindCrossingFromB(1, 7, 0, 0), -1);
    EXPECT_EQ(FindCrossingFromB(5, 7, 0, 0), 0);
    EXPECT_EQ(FindCrossingFromB(4, 10, 0, 10), 3);
    EXPECT_EQ(FindCrossingFromB(0, 3, 0, 7), 3);
    // From C and D.
    EXPECT_EQ(FindCrossingFromC(11, 4, 11, 0), 0);
    EXPECT_EQ(FindCrossingFromC(0, 0, 2, 7), 3);
    EXPECT_EQ(FindCrossingFromD(11, 2, 2, 11), 0);
    EXPECT_EQ(FindCrossingFromD(0, 11, 4, 11), 1);
    EXPECT_EQ(FindCrossingFromD(0, 0, 0, 2), -1);
}

// --- Cap flags ------------------------------------------------------------------------------

TEST(CellBoundaryFlags, OnlyOuterCellsUnderACapAreFlagged) {
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 4, 5, 6, 1.0, {}), 1);
    std::vector<std::uint8_t> arrays[6];
    StockCapMarks marks;
    for (int f = 0; f < 6; ++f) {
        const std::int64_t rays[3] = {model.x.cellCount, model.y.cellCount, model.z.cellCount};
        arrays[f].assign(static_cast<std::size_t>(rays[f / 2]), kCapMarkRectangle);
        marks.faces[f] = arrays[f].data();
    }
    int flags[6];
    GetCellBoundaryFlags(model, 0, 0, 0, marks, flags);
    EXPECT_EQ(std::vector<int>(flags, flags + 6), (std::vector<int>{1, 0, 1, 0, 1, 0}));
    GetCellBoundaryFlags(model, 2, 3, 4, marks, flags);
    EXPECT_EQ(std::vector<int>(flags, flags + 6), (std::vector<int>{0, 1, 0, 1, 0, 1}));
    GetCellBoundaryFlags(model, 1, 1, 1, marks, flags);
    EXPECT_EQ(std::vector<int>(flags, flags + 6), (std::vector<int>(6, 0)));
    // The mark of the cell's own ray decides: the X ray iz * ny + iy for the x faces.
    arrays[1][4 * 5 + 3] = kCapMarkNotCap;
    GetCellBoundaryFlags(model, 2, 3, 4, marks, flags);
    EXPECT_EQ(flags[1], 0);
    EXPECT_EQ(flags[3], 1);
    FreeStockModel(&model);
}

// --- Segments of single cells ---------------------------------------------------------------

struct Segment {
    int id;
    double from[3];
    double to[3];
};

// The segments of every face of cell (ix, iy, iz), flags 0, as the extraction builds them.
std::vector<Segment> CellSegments(const StockModel& model, int ix, int iy, int iz) {
    CellEdgeCase edges[kCellEdgeCount];
    const double low[3] = {model.nodesX[ix], model.nodesY[iy], model.nodesZ[iz]};
    const double high[3] = {model.nodesX[ix + 1], model.nodesY[iy + 1], model.nodesZ[iz + 1]};
    for (int edge = 0; edge < kCellEdgeCount; ++edge) {
        int p = 0, q = 0;
        CellEdgeOffsets(edge, &p, &q);
        const int axis = CellEdgeAxis(edge);
        const std::int64_t ray = axis == 0   ? std::int64_t{iz + q} * model.ny + iy + p
                                 : axis == 1 ? std::int64_t{ix + p} * model.nz + iz + q
                                             : std::int64_t{iy + q} * model.nx + ix + p;
        const DexelFamily& family = axis == 0 ? model.x : (axis == 1 ? model.y : model.z);
        ClassifyCellEdge(family, ray, low[axis], high[axis], &edges[edge]);
    }
    MergeCellCorners(edges, low, high);
    const int flags[6] = {};
    CellSegmentList list;
    for (int face = 0; face < 6; ++face) {
        BuildDexelCellEdges(face, low, high, flags, edges, &list);
    }
    std::vector<Segment> out;
    for (int i = 0; i < list.count; ++i) {
        const CellFaceSegment& s = list.segments[i];
        out.push_back({s.id, {s.from[0], s.from[1], s.from[2]}, {s.to[0], s.to[1], s.to[2]}});
    }
    return out;
}

void ExpectSegments(const std::vector<Segment>& got, const std::vector<Segment>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].id, want[i].id) << "segment " << i;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(got[i].from[k], want[i].from[k]) << "segment " << i;
            EXPECT_EQ(got[i].to[k], want[i].to[k]) << "segment " << i;
        }
    }
}

TEST(CellSegments, HalfSpaceGivesOneCrossingPerSideFace) {
    // Material z <= 0.5 in a grid from -1 to 2: cell (1, 1, 1) spans [0, 1]^3, its Z edges
    // end at 0.5 (code 7), its bottom edges are full and its top edges empty. Each side face
    // gets one crossing at z = 0.5, directed so that the cell loop turns counter-clockwise
    // seen from above once the crossings are reversed.
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 4, 4, 4, 1.0, {{{0, 0, 0}, {3, 3, 1.5}}}), 1);
    const std::vector<Segment> got = CellSegments(model, 1, 1, 1);
    ExpectSegments(got, {{10, {1, 1, 1.5}, {1, 2, 1.5}},
                         {11, {2, 2, 1.5}, {2, 1, 1.5}},
                         {12, {2, 1, 1.5}, {1, 1, 1.5}},
                         {13, {1, 2, 1.5}, {2, 2, 1.5}}});
    FreeStockModel(&model);
}

TEST(CellSegments, FloorOnANodePlaneClosesOnTheTopFace) {
    // Material up to the node plane z = 2: in cell (1, 1, 1) the Z edges end at hi (code 3)
    // and every X and Y edge is full. The side faces give their top edges, tagged with the
    // top face (5), which chain into the floor square.
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 4, 4, 4, 1.0, {{{0, 0, 0}, {3, 3, 2}}}), 1);
    ExpectSegments(CellSegments(model, 1, 1, 1), {{5, {1, 2, 2}, {1, 1, 2}},
                                                  {5, {2, 1, 2}, {2, 2, 2}},
                                                  {5, {1, 1, 2}, {2, 1, 2}},
                                                  {5, {2, 2, 2}, {1, 2, 2}}});
    FreeStockModel(&model);
}

TEST(CellSegments, CornerBlockCutsOffTheCorner) {
    // Material [0, 1.5]^3: cell (1, 1, 1) holds the block's corner. Each of its three low faces
    // gets one crossing between the ends at 1.5.
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 4, 4, 4, 1.0, {{{0, 0, 0}, {1.5, 1.5, 1.5}}}), 1);
    ExpectSegments(CellSegments(model, 1, 1, 1), {{10, {1, 1, 1.5}, {1, 1.5, 1}},
                                                  {12, {1.5, 1, 1}, {1, 1, 1.5}},
                                                  {14, {1, 1.5, 1}, {1.5, 1, 1}}});
    FreeStockModel(&model);
}

TEST(CellSegments, ListOverflowIsCountedNotWritten) {
    CellSegmentList list;
    CellFaceSegment segment;
    for (int i = 0; i < kMaxCellSegments + 3; ++i) {
        AppendCellSegment(&list, segment);
    }
    EXPECT_EQ(list.count, kMaxCellSegments);
    EXPECT_EQ(list.overflow, 3);
}

}  // namespace
}  // namespace mirexa
