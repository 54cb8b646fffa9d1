// The stock display: triangle colours from end flags, chaining of a cell's segments, cap
// rectangles of the outer faces, per-block rebuilds with list names per undo slot, the style
// list, the messages held back while a rebuild runs, and a paint during a run's cut.
#include "view/stock_display.h"
#include "view/driver_memory.h"
#include "view/snapshots.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "services/shared_state.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "stock/stock_grid.h"
#include "support/test_windows.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/scene_renderer.h"
#include "view/view_hooks.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::CarveBox;
using testing::ColorNear;
using testing::LitColor;
using testing::MakeBoxStock;
using testing::OffscreenView;

constexpr DexelEndFlag kPainted = kDexelEndPainted;
constexpr DexelEndFlag Pen(int pen) {
    return static_cast<DexelEndFlag>(pen << kDexelEndPenShift);
}

// Records what the mesher emits, list by list.
struct MeshRecord {
    std::vector<std::uint32_t> opened;
    int closed = 0;
    std::vector<DexelMeshPrimitive> primitives;
};

DexelMeshOutput RecordingOutput(MeshRecord* record) {
    DexelMeshOutput output;
    output.context = record;
    output.open = [](void* c, std::uint32_t name, int) {
        static_cast<MeshRecord*>(c)->opened.push_back(name);
    };
    output.primitive = [](void* c, const DexelMeshPrimitive& p) {
        static_cast<MeshRecord*>(c)->primitives.push_back(p);
    };
    output.close = [](void* c) { ++static_cast<MeshRecord*>(c)->closed; };
    return output;
}

// The summed area (display units squared) of the primitives whose normal is +Z.
double UpwardArea(const std::vector<DexelMeshPrimitive>& primitives) {
    double area = 0.0;
    for (const DexelMeshPrimitive& p : primitives) {
        for (int t = 0; t + 2 < p.vertexCount; t += 3) {
            const double* a = p.vertices[t];
            const double* b = p.vertices[t + 1];
            const double* c = p.vertices[t + 2];
            const double z = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
            if (p.normal[2] > 0 && p.normal[0] == 0 && p.normal[1] == 0) {
                area += z / 2.0;
            }
        }
    }
    return area;
}

TEST(StockColors, TrianglesTakePaintPenOrWork) {
    EXPECT_EQ(DexelTriangleMaterial(kPainted, kPainted, kPainted), kStockMaterialPaint);
    EXPECT_EQ(DexelTriangleMaterial(kPainted | Pen(4), kPainted | Pen(4), kPainted | Pen(4)),
              kStockMaterialPaint);
    // Two painted corners are not enough: the pens decide.
    EXPECT_EQ(DexelTriangleMaterial(kPainted | Pen(2), kPainted | Pen(2), Pen(2)), 2);
    EXPECT_EQ(DexelTriangleMaterial(kPainted, kPainted, 0), 0);
    EXPECT_EQ(DexelTriangleMaterial(Pen(3), Pen(3), Pen(5)), 3);
    EXPECT_EQ(DexelTriangleMaterial(Pen(5), Pen(3), Pen(3)), 3);
    EXPECT_EQ(DexelTriangleMaterial(Pen(3), Pen(5), Pen(3)), 3);
    EXPECT_EQ(DexelTriangleMaterial(Pen(3), Pen(5), Pen(7)), 0);
    EXPECT_EQ(DexelTriangleMaterial(Pen(3), Pen(3), 0), 0);
    EXPECT_EQ(DexelTriangleMaterial(Pen(15), Pen(15), Pen(15) | 0x0E), 15);
    EXPECT_EQ(DexelRectangleMaterial(Pen(9) | kPainted), kStockMaterialPaint);
    EXPECT_EQ(DexelRectangleMaterial(Pen(9) | 0x06), 9);
    EXPECT_EQ(DexelRectangleMaterial(0), 0);
}

// --- Chaining of one cell's segments -----------------------------------------------------------

struct CellFixture {
    StockModel model;
    DexelMeshBuffers buffers;
    MeshRecord record;
    CellSegmentList segments;
    int faceFlags[6] = {};

    CellFixture() {
        EXPECT_EQ(testing::MakeBoxStock(0, std::array<double, 3>{0, 0, 0}.data(),
                                        std::array<double, 3>{2, 2, 2}.data(), 1.0, 1),
                  1);
        EXPECT_EQ(PrepareDexelMeshBuffers(StockModels[0], &buffers), 1);
        buffers.output = RecordingOutput(&record);
        buffers.listName = 7;
    }
    ~CellFixture() {
        FreeDexelMeshBuffers(&buffers);
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        FreeModelListNames(&StockListNames[0]);
    }
    void Add(double x0, double y0, double x1, double y1, int id, DexelEndFlag flag = 0) {
        CellFaceSegment s;
        s.from[0] = x0, s.from[1] = y0, s.from[2] = 1.0;
        s.to[0] = x1, s.to[1] = y1, s.to[2] = 1.0;
        s.fromFlag = s.toFlag = flag;
        s.id = id;
        AppendCellSegment(&segments, s);
    }
    void Square(double x, double y, int id, DexelEndFlag flag = 0) {  // counter-clockwise
        Add(x, y, x + 1, y, id, flag);
        Add(x + 1, y, x + 1, y + 1, id, flag);
        Add(x + 1, y + 1, x, y + 1, id, flag);
        Add(x, y + 1, x, y, id, flag);
    }
    void Draw() {
        DrawDexelFacePolygons(&buffers, faceFlags, segments);
    }
};

TEST(StockChaining, SquaresLoopsDegenerateAndOpenChains) {
    DisplayUnitFactor = 1.0;
    {
        CellFixture cell;  // a square on the face's own plane: two triangles facing +Z
        cell.Square(0, 0, 5, Pen(3));
        cell.Add(0.5, 0.5, 0.5, 0.5, 5);  // degenerate: dropped
        cell.Draw();
        ASSERT_EQ(cell.record.primitives.size(), 2u);
        for (const auto& p : cell.record.primitives) {
            EXPECT_EQ(p.vertexCount, 3);
            EXPECT_GT(p.normal[2], 0.0);
            EXPECT_EQ(p.normal[0], 0.0);
            EXPECT_EQ(p.material, 3);
        }
        EXPECT_NEAR(UpwardArea(cell.record.primitives), 1.0, 1e-12);
        EXPECT_EQ(cell.record.opened, std::vector<std::uint32_t>{7});
    }
    {
        CellFixture cell;  // two loops in one region
        cell.Square(0, 0, 5);
        cell.Square(3, 3, 5);
        cell.Draw();
        EXPECT_EQ(cell.record.primitives.size(), 4u);
        EXPECT_NEAR(UpwardArea(cell.record.primitives), 2.0, 1e-12);
    }
    {
        CellFixture cell;  // two segments only: skipped
        cell.Add(0, 0, 1, 0, 5);
        cell.Add(1, 0, 1, 1, 5);
        cell.Draw();
        EXPECT_TRUE(cell.record.primitives.empty());
        EXPECT_TRUE(cell.record.opened.empty());
    }
    {
        CellFixture cell;  // an open chain: ends, nothing drawn from it
        cell.Add(0, 0, 1, 0, 5);
        cell.Add(1, 0, 1, 1, 5);
        cell.Add(1, 1, 0, 1, 5);
        cell.Add(0, 1, 0, 0.5, 5);  // stops short of the start
        cell.Add(2, 2, 2, 3, 5);    // continues nothing
        cell.Draw();
        EXPECT_TRUE(cell.record.primitives.empty());
    }
    {
        CellFixture cell;  // segments on a face under a cap are dropped
        cell.Square(0, 0, 3);
        cell.faceFlags[3] = 1;
        cell.Draw();
        EXPECT_TRUE(cell.record.primitives.empty());
    }
    {
        CellFixture cell;  // flags per point decide each triangle's colour
        cell.Square(0, 0, 5, kPainted);
        cell.Draw();
        ASSERT_EQ(cell.record.primitives.size(), 2u);
        EXPECT_EQ(cell.record.primitives[0].material, kStockMaterialPaint);
    }
    DisplayUnitFactor = 500.0;
}

// --- Outer faces -------------------------------------------------------------------------------

TEST(StockBoundaryFaces, UniformFacesAreRectanglesAndColourBordersLeaveNoHole) {
    DisplayUnitFactor = 1.0;
    const double lo[3] = {0, 0, 0}, hi[3] = {4, 4, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    StockModel& model = StockModels[0];
    DexelMeshBuffers buffers;
    ASSERT_EQ(PrepareDexelMeshBuffers(model, &buffers), 1);
    MeshRecord record;
    const int count =
        TriangulateDexelCells(&buffers, 0, 0, 4, 0, 4, 0, 4, 11, RecordingOutput(&record));
    EXPECT_EQ(count, 6);  // one rectangle per face
    ASSERT_EQ(record.primitives.size(), 6u);
    for (const auto& p : record.primitives) {
        EXPECT_EQ(p.vertexCount, 6);
        EXPECT_EQ(p.material, 0);
    }
    EXPECT_NEAR(UpwardArea(record.primitives), 16.0, 1e-12);
    EXPECT_EQ(record.closed, 1);
    FreeDexelMeshBuffers(&buffers);
    // One Z ray's top end in pen 2: the top face splits into four rectangles around the four
    // cells at that ray, which the cell analysis draws as 8 triangles, leaving no hole. The
    // rectangles take the cells' points and each other's corners on their sides: fans of 5, 4,
    // 4 and 3 triangles.
    const std::int64_t ray = 2 * model.nx + 2;
    std::vector<std::uint8_t> flags = {0, Pen(2)};
    SetDexelCellFlags(ray, model.z.capacity, model.z.counts, model.z.flags, flags.data());
    ASSERT_EQ(PrepareDexelMeshBuffers(model, &buffers), 1);
    record = MeshRecord{};
    TriangulateDexelCells(&buffers, 0, 0, 4, 0, 4, 0, 4, 11, RecordingOutput(&record));
    EXPECT_NEAR(UpwardArea(record.primitives), 16.0, 1e-12);
    int triangles = 0;
    for (const auto& p : record.primitives) {
        if (p.normal[2] > 0 && p.normal[0] == 0 && p.normal[1] == 0) {
            triangles += p.vertexCount / 3;
            EXPECT_EQ(p.material, 0);  // one pen corner of three: the work colour
        }
    }
    EXPECT_EQ(triangles, 8 + 5 + 4 + 4 + 3);
    FreeDexelMeshBuffers(&buffers);
    DisplayUnitFactor = 500.0;
}

// --- Blocks, names and undo slots --------------------------------------------------------------

struct BlockStock {
    StockModel* model = &StockModels[0];
    StockListNameTable* table = &StockListNames[0];
};

// A 20 mm cube of 1 mm cells (20^3 cells in 4^3 blocks of 5) in an off-screen view, its 64 block
// lists built once.
class StockBlockLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view.ok());
        const double lo[3] = {0, 0, 0}, hi[3] = {20, 20, 20};
        ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 1), 1);
        ASSERT_EQ(BuildStockBlockLists(s.model, s.table, 0, 0, RecordingOutput(&record)), 64);
    }
    OffscreenView view{32, 32};
    BlockStock s;
    MeshRecord record;
};

TEST_F(StockBlockLists, EmptyBlocksAreNeverRemeshed) {
    // Inner blocks hold material but show nothing.
    EXPECT_EQ(s.model->blocks.listStates[1 * 16 + 1 * 4 + 1], 0);
    EXPECT_GT(s.model->blocks.listStates[0], 0);
    // Cut block 0 (cells 0-4 on each axis) empty: its count becomes -1.
    const double cutLo[3] = {-1, -1, -1}, cutHi[3] = {5, 5, 5};
    CarveBox(s.model, cutLo, cutHi, Pen(1));
    EXPECT_EQ(testing::CountDirtyBlocks(*s.model), 8);
    EXPECT_EQ(BuildStockBlockLists(s.model, s.table, 0, 0, RecordingOutput(&record)), 8);
    EXPECT_EQ(s.model->blocks.listStates[0], -1);
    // Dirty again: cleared without a re-mesh.
    s.model->blocks.dirty[0] = 1;
    EXPECT_EQ(BuildStockBlockLists(s.model, s.table, 0, 0, RecordingOutput(&record)), 0);
    EXPECT_EQ(s.model->blocks.dirty[0], 0);
}

// Without room for the driver's lists, a rebuild leaves the dirty blocks without lists (not
// drawn) and dirty, no frame is rendered and no larger drawable made; once there is room again,
// the next rebuild meshes them, a frame is rendered and the drawable grows.
std::uint64_t memoryRoom = 0;
TEST_F(StockBlockLists, BlocksWithoutRoomForTheirListsWaitForRoom) {
    const double cutLo[3] = {-1, -1, 12}, cutHi[3] = {21, 21, 21};
    SetDriverMemoryRoomSource([] { return memoryRoom; });
    for (const std::uint64_t room : {kDriverReserveBytes, kDriverReserveBytes + (64u << 20)}) {
        SCOPED_TRACE(room >> 20);
        memoryRoom = room;
        CarveBox(s.model, cutLo, cutHi, Pen(1));
        const int dirty = testing::CountDirtyBlocks(*s.model);
        ASSERT_GT(dirty, 0);
        record = MeshRecord{};
        const bool fits = room > kDriverReserveBytes;
        EXPECT_EQ(BuildStockBlockLists(s.model, s.table, 0, 0, RecordingOutput(&record)),
                  fits ? dirty : 0);
        EXPECT_EQ(testing::CountDirtyBlocks(*s.model), fits ? 0 : dirty);
        EXPECT_EQ(record.opened.empty(), !fits);
        // The blocks at the new floor were cut: without room they hold no list to draw.
        EXPECT_EQ(s.model->blocks.listStates[2 * 16] > 0, fits);
    }
    memoryRoom = kFrameBytes - 1;
    EXPECT_EQ(view.Render(), 0);
    memoryRoom = kFrameBytes;
    EXPECT_EQ(view.Render(), 1);
    // A larger drawable likewise: refused without room (the old one stays), made with it.
    memoryRoom = kDriverReserveBytes;
    EXPECT_EQ(ResizeGlContext(64, 48), 0);
    EXPECT_EQ(ViewContext.surface.width, 32);
    memoryRoom = kDriverReserveBytes + 64 * 48 * kDrawableBytesPerPixel;
    EXPECT_EQ(ResizeGlContext(64, 48), 1);
    EXPECT_EQ(ViewContext.surface.width, 64);
    SetDriverMemoryRoomSource(nullptr);
}

TEST(StockBlocks, NewUndoSlotsGetNamesNoOtherSlotHolds) {
    OffscreenView view(32, 32);
    ASSERT_TRUE(view.ok());
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 3), 1);
    BlockStock s;
    const DexelMeshOutput gl = GlDexelMeshOutput();
    ASSERT_GT(BuildStockBlockLists(s.model, s.table, 0, 0, gl), 0);
    const int corner = 0;  // block 0 holds three outer faces
    auto nameOf = [&](int slot, int block) {
        return s.table->names[static_cast<std::size_t>(slot) * kStockBlockListRow + block];
    };
    const std::uint32_t first = nameOf(0, corner);
    EXPECT_EQ(first, DefaultStockBlockListName(0, 0, corner));
    const double cutLo[3] = {-1, -1, -1}, cutHi[3] = {3, 3, 2};
    // Three backups and cuts: slots 1, 2, then slot 0 again.
    std::vector<std::uint32_t> names = {first};
    for (int round = 0; round < 3; ++round) {
        PushStockUndo(s.model);
        CopyPreviousListNameRow(*s.model, s.table);
        const int slot = s.model->undo.currentSlot;
        EXPECT_EQ(nameOf(slot, corner), names.back());  // shared until the block changes
        CarveBox(s.model, cutLo, cutHi, Pen(round + 1));
        ASSERT_GT(BuildStockBlockLists(s.model, s.table, 0, 0, gl), 0);
        const std::uint32_t name = nameOf(slot, corner);
        for (int other = 0; other <= s.model->undo.highestUsedSlot; ++other) {
            if (other != slot) {
                EXPECT_NE(nameOf(other, corner), name) << "round " << round;
                EXPECT_TRUE(glIsList(nameOf(other, corner))) << "round " << round;
            }
        }
        EXPECT_TRUE(glIsList(name));
        names.push_back(name);
    }
    EXPECT_EQ(s.model->undo.currentSlot, 0);  // wrapped around
    EXPECT_EQ(names, (std::vector<std::uint32_t>{first, first + 1000, first + 2000, first}));
    // Blocks the cuts never touched share one list in every slot.
    const int far = s.model->blocks.count - 1;
    EXPECT_EQ(nameOf(0, far), nameOf(1, far));
    EXPECT_EQ(nameOf(1, far), nameOf(2, far));
}

TEST(StockBlocks, TheLargestBlockNameLiesInsideTheReservation) {
    const std::uint32_t saved = DisplayListBase;
    DisplayListBase = 1000;
    EXPECT_EQ(DefaultStockBlockListName(kStockModelSlots - 1, kMaxStockUndoSlots - 1,
                                        kStockBlockListRow - 1),
              1000u + 400033u);
    EXPECT_EQ(FixedListName(kListTriad), 1001u);
    EXPECT_EQ(FixedListName(kListBasicShape), 1033u);
    EXPECT_EQ(FixedListName(34), 0u);
    // The style lists come after every block name and stay inside the reservation.
    EXPECT_GT(StyleListName(0), 1000u + 400033u);
    EXPECT_LT(StyleListName(kStockModelSlots - 1), 1000u + kReservedListNames);
    DisplayListBase = saved;
}

// --- Frames ------------------------------------------------------------------------------------

// A 60 x 60 x 20 mm box seen from straight above, filling most of the view.
struct TopView {
    OffscreenView view{120, 120};
    const double lo[3] = {-30, -30, -20};
    const double hi[3] = {30, 30, 0};
    TopView(int ringSize = 2) {
        EXPECT_TRUE(view.ok());
        DisplayUnitFactor = 40.0;  // 60 mm -> 1.5 units of the 2-unit high view
        EXPECT_EQ(MakeBoxStock(0, lo, hi, 1.0, ringSize), 1);
    }
    StockModel& Model() {
        return StockModels[0];
    }
    std::array<int, 3> Expected(const float* color) {
        const double up[3] = {0, 0, 1};
        return LitColor(color, up);
    }
};

TEST(StockFrames, TopShowsTheWorkColourPaintAndTheFloorOfACut) {
    TopView top;
    ASSERT_EQ(top.view.Render(), 1);
    const double centre[3] = {0, 0, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(centre), top.Expected(GlColors.pens[0])));
    const double outside[3] = {35, 35, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(outside), {0, 0, 0}, 0));
    // A pocket cut with pen 3: its floor shows the pen, the rest the work colour.
    const double cutLo[3] = {-10, -10, -5.5}, cutHi[3] = {10, 10, 1};
    CarveBox(&top.Model(), cutLo, cutHi, Pen(3));
    ASSERT_EQ(top.view.Render(), 1);
    const double floor[3] = {0, 0, -5.5};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(floor), top.Expected(GlColors.pens[3])));
    const double rim[3] = {20, 20, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(rim), top.Expected(GlColors.pens[0])));
    // A change that only marks blocks (as a cut during a run does) is drawn as well.
    const double second[3] = {15, 15, -2.5};
    const double secondLo[3] = {12, 12, -2.5}, secondHi[3] = {18, 18, 1};
    CarveBox(&top.Model(), secondLo, secondHi, Pen(5));
    SceneDirty.stock[top.Model().undo.currentSlot] = 0;
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(second), top.Expected(GlColors.pens[5])));
    // Wire-frames: every block is drawn again as lines, leaving the inside of a face empty.
    DisplayModes.stockStyle = kStockStyleWireFrame;
    ASSERT_EQ(top.view.Render(), 1);
    const double inside[3] = {22, 27, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(inside), {0, 0, 0}, 0));
    DisplayModes.stockStyle = kStockStyleSurfaces;
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(inside), top.Expected(GlColors.pens[0])));
    // Painting every end shows the paint colour everywhere.
    testing::SetAllEndFlags(&top.Model(), kPainted);
    MarkStockDisplayDirty(&top.Model());
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(floor), top.Expected(GlColors.paint)));
    EXPECT_TRUE(ColorNear(top.view.PixelAt(rim), top.Expected(GlColors.paint)));
}

// Painting half the top face: the colour border on the outer face shows no background.
TEST(StockFrames, ColourBordersOnOuterFacesHaveNoHoles) {
    TopView top;
    StockModel& model = top.Model();
    for (std::int64_t r = 0; r < model.z.cellCount; ++r) {
        const int ix = static_cast<int>(r % model.nx);
        if (model.nodesX[ix] < 0.5) {
            std::vector<std::uint8_t> flags = {0, kPainted};
            SetDexelCellFlags(r, model.z.capacity, model.z.counts, model.z.flags, flags.data());
        }
    }
    ASSERT_EQ(top.view.Render(), 1);
    std::set<std::array<int, 3>> seen;
    for (double x = -5.0; x <= 5.0; x += 0.25) {
        const double p[3] = {x, 3.3, 0};
        const auto pixel = top.view.PixelAt(p);
        EXPECT_GT(pixel[0] + pixel[1] + pixel[2], 60) << "hole at x " << x;
        seen.insert(pixel);
    }
    const double left[3] = {-10, 0, 0}, right[3] = {10, 0, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(left), top.Expected(GlColors.paint)));
    EXPECT_TRUE(ColorNear(top.view.PixelAt(right), top.Expected(GlColors.pens[0])));
}

// After one cut only the dirty blocks get new lists; an undo shows the older slot's lists again
// without re-meshing anything.
TEST(StockFrames, CutsRebuildDirtyBlocksAndUndoReusesOlderLists) {
    TopView top(3);
    StockModel& model = top.Model();
    StockListNameTable& table = StockListNames[0];
    ASSERT_EQ(top.view.Render(), 1);
    const int blocks = model.blocks.count;
    EXPECT_EQ(testing::CountDirtyBlocks(model), 0);
    // Back up, then cut.
    PushStockUndo(&model);
    CopyPreviousListNameRow(model, &table);
    const double cutLo[3] = {-10, -10, -5.5}, cutHi[3] = {10, 10, 1};
    CarveBox(&model, cutLo, cutHi, Pen(3));
    const int dirty = testing::CountDirtyBlocks(model);
    ASSERT_GT(dirty, 0);
    ASSERT_LT(dirty, blocks / 4);
    std::vector<std::uint8_t> wasDirty(model.blocks.dirty, model.blocks.dirty + blocks);
    ASSERT_EQ(top.view.Render(), 1);
    int renamed = 0;
    for (int b = 0; b < blocks; ++b) {
        const std::uint32_t before = table.names[b];
        const std::uint32_t after = table.names[kStockBlockListRow + b];
        if (wasDirty[static_cast<std::size_t>(b)]) {
            EXPECT_NE(before, after) << "block " << b;
            ++renamed;
        } else {
            EXPECT_EQ(before, after) << "block " << b;
        }
    }
    EXPECT_EQ(renamed, dirty);
    const double floor[3] = {0, 0, -5.5};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(floor), top.Expected(GlColors.pens[3])));
    // Undo: the first slot's lists are drawn again, nothing is rebuilt.
    PopStockUndo(&model);
    SceneDirty.stock[model.undo.currentSlot] = 1;
    MeshRecord record;
    EXPECT_EQ(BuildStockBlockLists(&model, &table, 0, 0, RecordingOutput(&record)), 0);
    ASSERT_EQ(top.view.Render(), 1);
    const double top0[3] = {0, 0, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(top0), top.Expected(GlColors.pens[0])));
}

TEST(StockFrames, EndPointStylesUseTheirColoursInTheStyleList) {
    TopView top;
    DisplayModes.stockStyle = kStockStyleZEndPoints;
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_TRUE(StyleListState[0].built);
    // Top ends of the Z rays are exits: (0.5, 0.5, 1.0), unlit. The node at (0, 0) is drawn.
    const double node[3] = {0, 0, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(node), {128, 128, 255}, 1));
    // X rays: the entry at the left side in red, the exit at the right side in pale red.
    DisplayModes.stockStyle = kStockStyleXEndPoints;
    ASSERT_EQ(top.view.Render(), 1);
    const double left[3] = {-30, 0, 0}, right[3] = {30, 0, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(left), {255, 0, 0}, 1));
    EXPECT_TRUE(ColorNear(top.view.PixelAt(right), {255, 128, 128}, 1));
    // Only the style list is drawn: the block lists were never built.
    for (int b = 0; b < top.Model().blocks.count; ++b) {
        EXPECT_EQ(top.Model().blocks.listStates[b], 0) << b;
    }
    // The diagnostic style on a grid that lacks its rays draws nothing and fails nothing.
    DisplayModes.stockStyle = kStockStyleDiagnostic;
    const double lo[3] = {0, 0, 0}, hi[3] = {4, 4, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A stock rebuilt in one undo slot does not leave its style list to another: after an undo the
// style list is built again for the slot shown.
TEST(StockFrames, TheStyleListFollowsTheUndoSlot) {
    TopView top(2);
    DisplayModes.stockStyle = kStockStyleZEndPoints;
    ASSERT_EQ(top.view.Render(), 1);
    PushStockUndo(&top.Model());
    CopyPreviousListNameRow(top.Model(), &StockListNames[0]);
    const double cutLo[3] = {-31, -31, -21}, cutHi[3] = {31, 1, 1};  // the front half removed
    CarveBox(&top.Model(), cutLo, cutHi, Pen(1));
    ASSERT_EQ(top.view.Render(), 1);
    const double front[3] = {0, -15, 0};
    EXPECT_TRUE(ColorNear(top.view.PixelAt(front), {0, 0, 0}, 0));
    PopStockUndo(&top.Model());
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_EQ(StyleListState[0].undoSlot, 0);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(front), {128, 128, 255}, 1));
}

// --- Messages during a rebuild -----------------------------------------------------------------

struct PumpLog {
    std::vector<unsigned> handled;
    std::vector<int> duringRebuild;
    int nestedRenders = 0;
    int invalidations = 0;
};
PumpLog pumpLog;

MessageResult RecordingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    if (message >= WM_USER || message == WM_COMMAND || message == WM_PAINT) {
        pumpLog.handled.push_back(message);
        pumpLog.duringRebuild.push_back(StockRebuildActive.load());
        if (message == WM_USER + 6) {
            // A handler that would paint: the renderer refuses to run inside itself.
            pumpLog.nestedRenders += RenderScene(nullptr, nullptr) == 0 ? 1 : 0;
        }
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

TEST(StockRebuild, PaintsAndStockCommandsWaitUntilTheRebuildEnds) {
    TopView top;
    pumpLog = PumpLog{};
    WindowHandle window =
        CreatePlatformWindow({.className = "pump-test", .procedure = RecordingProcedure});
    ASSERT_NE(window, nullptr);
    ViewCallbacks.invalidateView = [] { ++pumpLog.invalidations; };
    // Queued before the rebuild: a command, a paint, and a message that renders.
    PostWindowMessage(window, WM_COMMAND, 40001, 0);
    PostWindowMessage(window, WM_PAINT, 0, 0);
    PostWindowMessage(window, WM_USER + 6, 0, 0);
    MessagePumpEnabled = 1;
    UseManualClock(1, 1000000);
    ViewCallbacks.changesStock = [](const WindowMessage& m) {
        return m.message == WM_COMMAND ? 1 : 0;
    };
    for (int i = 0; i < 3; ++i) {
        AdvanceManualClock(4000);
        PumpMessagesDuringStockRebuild();  // outside a rebuild: dispatched at once
    }
    EXPECT_EQ(pumpLog.handled, (std::vector<unsigned>{WM_COMMAND, WM_PAINT, WM_USER + 6}));
    EXPECT_EQ(pumpLog.nestedRenders, 0);  // not rendering: RenderScene ran (without a stock)
    pumpLog = PumpLog{};
    PostWindowMessage(window, WM_COMMAND, 40001, 0);
    PostWindowMessage(window, WM_PAINT, 0, 0);
    PostWindowMessage(window, WM_USER + 5, 0, 0);
    NotifyNativeGeometry(window, WindowRect{0, 0, 64, 32}, 0);  // a resize by the user
    StockRebuildActive = 1;
    for (int i = 0; i < 4; ++i) {
        AdvanceManualClock(4000);
        PumpMessagesDuringStockRebuild();
    }
    // Only the harmless message ran inside the rebuild; the resize waits for its end.
    EXPECT_EQ(pumpLog.handled, (std::vector<unsigned>{WM_USER + 5}));
    WindowRect rect;
    GetPlatformWindowRect(window, &rect);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(pumpLog.duringRebuild, (std::vector<int>{1}));
    // A whole rebuild: it ends by posting the held-back messages again, in their order.
    MarkStockDisplayDirty(&top.Model());
    BuildStockDisplayLists(&top.Model(), &StockListNames[0], 0);
    EXPECT_EQ(StockRebuildActive.load(), 0);
    testing::DispatchPendingMessages();
    EXPECT_EQ(pumpLog.handled, (std::vector<unsigned>{WM_USER + 5, WM_COMMAND, WM_PAINT}));
    EXPECT_EQ(pumpLog.duringRebuild, (std::vector<int>{1, 0, 0}));
    GetPlatformWindowRect(window, &rect);
    EXPECT_EQ(rect.right, 64);
    // A render requested from inside a render only invalidates the view.
    pumpLog = PumpLog{};
    PostWindowMessage(window, WM_USER + 6, 0, 0);
    const double cutLo[3] = {-5, -5, -3.5}, cutHi[3] = {5, 5, 1};  // rows of cells to mesh
    CarveBox(&top.Model(), cutLo, cutHi, Pen(2));
    AdvanceManualClock(4000);  // the rebuild's first row may pump
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_EQ(pumpLog.nestedRenders, 1);
    EXPECT_EQ(pumpLog.invalidations, 1);
    MessagePumpEnabled = 0;
    UseManualClock(0);
    DestroyPlatformWindow(window);
}

// Waits (at most 30 s) until the condition holds; returns it.
template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// A paint while the run's thread cuts (the window exposed, shown again) draws the blocks as they
// were and leaves them marked: it reads nothing the thread writes. The run's frame meshes them.
TEST(StockRebuild, APaintWhileARunCutsLeavesTheCutBlocksToTheRunsFrame) {
    TopView top;
    StockModel& model = top.Model();
    ASSERT_EQ(top.view.Render(), 1);
    const double floor[3] = {0, 0, -5.5};
    std::atomic<int> step{0};  // 1: the thread has cut and cuts on; 2: the test has painted
    const auto cutAndDraw = [&](CuttingRun&) {
        const double cutLo[3] = {-10, -10, -5.5}, cutHi[3] = {10, 10, 1};
        CarveBox(&model, cutLo, cutHi, Pen(3));
        step = 1;
        WaitUntil([&] { return step.load() == 2; });
        RequestRedrawAndWait(WindowRun.controls);
    };
    CuttingRun& run = WindowRun;  // the window's: only its run hands the view its stock
    // However the test ends, the thread is released and joined.
    struct EndRun {
        CuttingRun& run;
        std::atomic<int>& step;
        ~EndRun() {
            step = 2;
            RequestRunAbort(WindowRun.controls);
            JoinCuttingRun(run);
            WindowRun.mode = RunMode::kIdle;
        }
    } end{run, step};
    ASSERT_EQ(StartCuttingRun(run, RunRequest{}, cutAndDraw), 1);
    ASSERT_TRUE(WaitUntil([&] { return step.load() == 1; }));
    const int cut = testing::CountDirtyBlocks(model);
    ASSERT_GT(cut, 0);
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_EQ(testing::CountDirtyBlocks(model), cut);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(floor), top.Expected(GlColors.pens[0])));
    step = 2;
    ASSERT_TRUE(WaitUntil([] { return WindowRun.controls.redrawRequest.load() != 0; }));
    ASSERT_EQ(top.view.Render(), 1);
    EXPECT_EQ(testing::CountDirtyBlocks(model), 0);
    EXPECT_TRUE(ColorNear(top.view.PixelAt(floor), top.Expected(GlColors.pens[3])));
    ServeRedrawRequest(WindowRun.controls, nullptr);
}

}  // namespace
}  // namespace mirexa
