// Removal of cut-off pieces: separated boxes whose faces lie half a pitch off the node lines, so
// that every family measures their analytic volume exactly; seeds, stops and refusals; the pick.
#include "stock/cut_off_removal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analytic_stock.h"
#include "services/shared_state.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

constexpr double kPitch = 0.5;

AnalyticPart Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return BoxSolid(x0, y0, z0, x1, y1, z1).parts[0];
}

// Three boxes at least two pitches apart, every face half a pitch off the node lines.
const AnalyticPart kBoxA = Box(0.75, 0.75, 0.75, 3.25, 3.25, 3.25);
const AnalyticPart kBoxB = Box(4.25, 0.75, 0.75, 7.25, 3.25, 4.25);
const AnalyticPart kBoxC = Box(0.75, 4.25, 0.75, 3.25, 6.75, 2.25);

double BoxVolume(const AnalyticPart& b) {
    return (b.b[0] - b.a[0]) * (b.b[1] - b.a[1]) * (b.b[2] - b.a[2]);
}

// Material length times the ray's cross-section, over one family (mm^3).
double FamilyVolume(const StockModel& m, int axis) {
    const DexelFamily& f = axis == 2 ? m.z : (axis == 0 ? m.x : m.y);
    double volume = 0;
    for (std::int64_t c = 0; c < f.cellCount; ++c) {
        const DexelRay ray = ReadDexelRay(f, c);
        for (std::size_t i = 0; i + 1 < ray.ends.size(); i += 2) {
            volume += (ray.ends[i + 1] - ray.ends[i]) * m.cellWeight;
        }
    }
    return volume;
}

DexelSegmentAddress SeedAt(const StockModel& m, int family, int a, int b, int index) {
    DexelSegmentAddress seed;
    seed.family = family;
    seed.a = a;
    seed.b = b;
    const int fastCount = family == 0 ? m.ny : (family == 1 ? m.nz : m.nx);
    seed.cell = static_cast<std::int64_t>(b) * fastCount + a;
    seed.index = index;
    return seed;
}

// Node index of a coordinate on the grid from 0.
int Node(double coordinate) {
    return static_cast<int>(coordinate / kPitch);
}

class RemovalTest : public ::testing::Test {
protected:
    void TearDown() override {
        FreeStockModel(&model);
        FreeStockModel(&expected);
    }
    void Build(StockModel* m, const std::vector<AnalyticPart>& parts) {
        AnalyticSolid solid;
        solid.parts = parts;
        const int nodes[3] = {17, 17, 17};
        const double origin[3] = {0, 0, 0};
        ASSERT_EQ(BuildAnalyticStock(m, nodes, kPitch, origin, solid, true), 1);
    }
    ::testing::AssertionResult SameAs(const std::vector<AnalyticPart>& parts) {
        Build(&expected, parts);
        for (int axis = 0; axis < 3; ++axis) {
            const DexelFamily& got = axis == 2 ? model.z : (axis == 0 ? model.x : model.y);
            const DexelFamily& want =
                axis == 2 ? expected.z : (axis == 0 ? expected.x : expected.y);
            for (std::int64_t c = 0; c < got.cellCount; ++c) {
                if (!(ReadDexelRay(got, c) == ReadDexelRay(want, c))) {
                    return ::testing::AssertionFailure() << "axis " << axis << " cell " << c;
                }
            }
        }
        return ::testing::AssertionSuccess();
    }
    StockModel model;
    StockModel expected;
};

TEST_F(RemovalTest, DeleteTakesExactlyThePickedBox) {
    Build(&model, {kBoxA, kBoxB, kBoxC});
    double before[3];
    for (int a = 0; a < 3; ++a) {
        before[a] = FamilyVolume(model, a);
    }
    // A Z segment of box B: x = 5, y = 2.
    const int result =
        RemoveCutOffPiece(&model, kRemovePickedPiece, SeedAt(model, 2, Node(5), Node(2), 0));
    ASSERT_EQ(result, kFloodFillPartsRemain);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(before[a] - FamilyVolume(model, a), BoxVolume(kBoxB)) << "family " << a;
    }
    EXPECT_TRUE(SameAs({kBoxA, kBoxC}));  // the others untouched, marks and all
    EXPECT_EQ(StockOperationRunning.load(), 0);
    // The deletion was undoable.
    EXPECT_EQ(model.undo.currentSlot, 1);
    PopStockUndo(&model);
    EXPECT_TRUE(SameAs({kBoxA, kBoxB, kBoxC}));
}

TEST_F(RemovalTest, ShiftDeleteKeepsOnlyThePickedBoxWhateverTheSeed) {
    // Seeds in box C from each family and from a ray's second segment: the X ray at
    // y = 2, z = 1 holds A and B, its second segment is B's.
    const struct {
        int family, a, b, index;
        std::vector<AnalyticPart> kept;
    } cases[] = {
        {2, Node(2), Node(5), 0, {kBoxC}}, {0, Node(5), Node(1), 0, {kBoxC}},
        {1, Node(1), Node(2), 1, {kBoxC}},  // Y ray x = 2, z = 1: A, then C
        {0, Node(2), Node(1), 1, {kBoxB}}, {0, Node(2), Node(1), 0, {kBoxA}},
    };
    for (const auto& c : cases) {
        FreeStockModel(&model);
        Build(&model, {kBoxA, kBoxB, kBoxC});
        ASSERT_EQ(RemoveCutOffPiece(&model, kRemoveAllButPicked,
                                    SeedAt(model, c.family, c.a, c.b, c.index)),
                  kFloodFillPartsRemain)
            << "family " << c.family;
        EXPECT_TRUE(SameAs(c.kept)) << "family " << c.family << " index " << c.index;
        EXPECT_TRUE(StockInvariantsHold(model, true));
    }
}

TEST_F(RemovalTest, OnePieceIsTheWholeStockAndChangesNothing) {
    Build(&model, {kBoxA, kBoxB});
    ASSERT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, SeedAt(model, 2, Node(2), Node(2), 0)),
              kFloodFillPartsRemain);
    // What remains is one piece: a fill from it finds the whole stock, for both modes.
    for (int mode : {kRemoveAllButPicked, kRemovePickedPiece}) {
        EXPECT_EQ(RemoveCutOffPiece(&model, mode, SeedAt(model, 1, Node(2), Node(5), 0)),
                  kFloodFillWholeStock);
    }
    EXPECT_TRUE(SameAs({kBoxB}));
    EXPECT_EQ(model.undo.currentSlot, 1);  // no push for a refused deletion
}

TEST_F(RemovalTest, InvalidSeedsStopsAndRefusalsChangeNothing) {
    Build(&model, {kBoxA, kBoxB});
    const DexelSegmentAddress good = SeedAt(model, 2, Node(2), Node(2), 0);
    std::vector<DexelSegmentAddress> bad(6, good);
    bad[0].family = 3;
    bad[1].a = model.nx;
    bad[2].b = -1;
    bad[3].cell += 1;                    // does not match its node indices
    bad[4].index = 1;                    // the ray has one segment
    bad[5] = SeedAt(model, 2, 0, 0, 0);  // an empty ray
    for (const DexelSegmentAddress& seed : bad) {
        EXPECT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, seed), kFloodFillInvalidSeed);
    }
    {
        ScopedStockHooks hooks;
        StockCallbacks.stopKeyDown = [] { return 1; };
        EXPECT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, good), kFloodFillStopped);
    }
    {
        ScopedStockHooks hooks;
        StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{100}; };
        EXPECT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, good), kStockOperationMemoryError);
    }
    {
        StockOperationScope running;
        EXPECT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, good), kStockOperationBusy);
    }
    EXPECT_EQ(RemoveCutOffPiece(&model, 2, good), kStockDefinitionError);
    EXPECT_TRUE(SameAs({kBoxA, kBoxB}));
    EXPECT_EQ(model.undo.currentSlot, 0);
}

TEST_F(RemovalTest, TouchingAtANodeConnectsAndNodelessSegmentsAreNeverFound) {
    ASSERT_EQ(BuildEmptyStock(&model, 9, 9, 9, 1.0, 2), 1);
    auto put = [&](DexelFamily* f, std::int64_t cell, std::vector<double> ends) {
        const std::vector<std::uint8_t> flags(ends.size());
        const std::vector<std::int32_t> stamps(ends.size());
        SetDexelCell(cell, f->capacity, f->counts, f->ends, f->flags, f->lineStamps, ends.data(),
                     flags.data(), stamps.data(), static_cast<int>(ends.size()));
    };
    put(&model.z, 2 * 9 + 2, {0, 3});      // Z ray x = 2, y = 2 ending on node z = 3
    put(&model.x, 3 * 9 + 2, {2, 4});      // X ray y = 2, z = 3 starting on node x = 2
    put(&model.z, 6 * 9 + 6, {1.2, 1.7});  // between z nodes 1 and 2: covers no node
    put(&model.z, 7 * 9 + 7, {0, 5});      // a separate piece
    UnusedPartMarks marks;
    ASSERT_EQ(AllocUnusedPartMarks(model, &marks), 1);
    ClearUnusedPartMarks(model, &marks);
    EXPECT_EQ(FloodFillConnectedSegments(model, SeedAt(model, 2, 2, 2, 0), &marks),
              kFloodFillPartsRemain);
    EXPECT_EQ(marks.marks[0][marks.firstSegment[0][3 * 9 + 2]], kSegmentProcessed);
    EXPECT_EQ(marks.marks[2][marks.firstSegment[2][6 * 9 + 6]], kSegmentUnvisited);
    // A lone segment of a crossing ray is connected only when it holds the crossing point.
    EXPECT_EQ(marks.marks[2][marks.firstSegment[2][2 * 9 + 3]], kSegmentUnvisited);
    // From the nodeless segment nothing is found.
    ClearUnusedPartMarks(model, &marks);
    EXPECT_EQ(FloodFillConnectedSegments(model, SeedAt(model, 2, 6, 6, 0), &marks),
              kFloodFillPartsRemain);
    EXPECT_EQ(marks.marks[2][marks.firstSegment[2][2 * 9 + 2]], kSegmentUnvisited);
    FreeUnusedPartMarks(&marks);
    // Delete of the touching pair keeps the nodeless segment; Shift+Delete removes it.
    ASSERT_EQ(RemoveCutOffPiece(&model, kRemovePickedPiece, SeedAt(model, 0, 2, 3, 0)),
              kFloodFillPartsRemain);
    EXPECT_EQ(model.z.counts[2 * 9 + 2], 0);
    EXPECT_EQ(model.x.counts[3 * 9 + 2], 0);
    EXPECT_EQ(model.z.counts[6 * 9 + 6], 2);
    ASSERT_EQ(RemoveCutOffPiece(&model, kRemoveAllButPicked, SeedAt(model, 2, 7, 7, 0)),
              kFloodFillPartsRemain);
    EXPECT_EQ(model.z.counts[6 * 9 + 6], 0);
    EXPECT_EQ(model.z.counts[7 * 9 + 7], 2);
    EXPECT_TRUE(StockInvariantsHold(model));
}

TEST_F(RemovalTest, MarksStayBelowTheStocksOwnSize) {
    // Rays with many segments spill to the heap; the marks still fit in the bytes of one undo
    // state (a ring of one slot).
    ASSERT_EQ(BuildEmptyStock(&model, 6, 6, 6, 1.0, 1), 1);
    std::vector<double> comb;
    for (int i = 0; i < 200; ++i) {
        comb.push_back(i * 0.02);
        comb.push_back(i * 0.02 + 0.01);
    }
    const std::vector<std::uint8_t> flags(comb.size());
    const std::vector<std::int32_t> stamps(comb.size());
    for (std::int64_t c = 0; c < model.z.cellCount; ++c) {
        SetDexelCell(c, model.z.capacity, model.z.counts, model.z.ends, model.z.flags,
                     model.z.lineStamps, comb.data(), flags.data(), stamps.data(),
                     static_cast<int>(comb.size()));
    }
    EXPECT_LE(UnusedPartMarksBytes(model), GetStockMemorySize(model));
    FreeStockModel(&model);
    Build(&model, {kBoxA, kBoxB, kBoxC});
    EXPECT_LE(UnusedPartMarksBytes(model), GetStockMemorySize(model) / model.undo.size);
}

// --- The pick and the messages at a cursor point --------------------------------------------

std::vector<DexelEndPick> FakeHits;
std::vector<std::string> ShownTexts;

int FakePick(int, int, DexelEndPick* hits, int capacity, double* greatestDepth) {
    *greatestDepth = 0;
    int n = 0;
    for (const DexelEndPick& hit : FakeHits) {
        if (n < capacity) {
            hits[n++] = hit;
            *greatestDepth = hit.depth > *greatestDepth ? hit.depth : *greatestDepth;
        }
    }
    return n;
}

int RecordBox(WindowHandle, const char* text, const char* caption, unsigned) {
    ShownTexts.push_back(std::string(text) + " | " + caption);
    return 1;
}

TEST_F(RemovalTest, CursorPicksTheNearestFrontEndAndReportsAWholeStock) {
    ScopedStockHooks hooks;
    StockCallbacks.pickStockSegmentEnds = FakePick;
    StockCallbacks.showMessageBox = RecordBox;
    const int language = UiLanguage.exchange(1);
    Build(&model, {kBoxA, kBoxB});
    FakeHits.clear();
    ShownTexts.clear();
    double position[3] = {};
    EXPECT_EQ(RemoveCutOffPieceAtCursor(&model, kRemovePickedPiece, 5, 5, position), 0);

    // Two ends at the same score: the first wins. Its end index 1 is segment 0 of box A's ray.
    DexelEndPick hitA;
    hitA.address = SeedAt(model, 2, Node(2), Node(2), 1);
    hitA.position[0] = 2;
    hitA.depth = 1.0;
    hitA.distance = 0.5;
    DexelEndPick hitB = hitA;
    hitB.address = SeedAt(model, 2, Node(5), Node(2), 1);
    hitB.position[0] = 5;
    DexelEndPick behind = hitA;  // nearer on screen but further back
    behind.depth = 0.2;
    behind.distance = 0.1;
    FakeHits = {behind, hitA, hitB};
    ASSERT_EQ(RemoveCutOffPieceAtCursor(&model, kRemovePickedPiece, 5, 5, position),
              kFloodFillPartsRemain);
    EXPECT_EQ(position[0], 2.0);
    EXPECT_TRUE(SameAs({kBoxB}));
    EXPECT_TRUE(ShownTexts.empty());

    FakeHits = {hitB};
    EXPECT_EQ(RemoveCutOffPieceAtCursor(&model, kRemovePickedPiece, 5, 5, nullptr),
              kFloodFillWholeStock);
    EXPECT_EQ(RemoveCutOffPieceAtCursor(&model, kRemoveAllButPicked, 5, 5, nullptr),
              kFloodFillWholeStock);
    EXPECT_EQ(ShownTexts,
              (std::vector<std::string>{"The Whole is selected for disused part. | Invalid",
                                        "The Whole is selected for used part | Invalid"}));
    UiLanguage.store(language);
}

}  // namespace
}  // namespace mirexa
