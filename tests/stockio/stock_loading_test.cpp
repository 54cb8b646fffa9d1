// Stock loading: dispatch by extension, the STL grid from the mesh bounds, the matrix file and
// its dump, box bounds under a frame, and the refusals that must leave the slot empty.
#include "stockio/stock_loading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "stockio/stl_import.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"
#include "support/stl_test_meshes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::BinaryStl;
using testing::BoxMesh;
using testing::ReadWholeFile;
using testing::ScratchDirectory;

// Restores the load settings when a test ends.
struct ScopedLoadSettings {
    StockLoadSettings saved = StockLoadOptions;
    ~ScopedLoadSettings() {
        StockLoadOptions = saved;
    }
};

// Runs the test body in a directory and returns to the previous one.
struct ScopedWorkingDirectory {
    std::filesystem::path previous = std::filesystem::current_path();
    explicit ScopedWorkingDirectory(const std::string& path) {
        std::filesystem::current_path(path);
    }
    ~ScopedWorkingDirectory() {
        std::filesystem::current_path(previous);
    }
};

int Load(const std::string& path, StockModel* model, double pitch = 1.0, int direction = 0) {
    SetStockUndoRingSize(model, 2);
    return LoadStockModel(nullptr, model, path, pitch, direction);
}

TEST(LoadStockModelFile, ChoosesTheReaderByExtensionInAnyCase) {
    ScratchDirectory dir;
    testing::ScopedLogDirectory log(dir.Path());
    StockModel box;
    SetStockUndoRingSize(&box, 1);
    const double extent[6] = {0, 0, 0, 2, 2, 2};
    ASSERT_EQ(CreateBoxStockIdentity(&box, extent, 1.0), 1);
    ASSERT_EQ(WriteDmeFile(box, dir.At("a.dme")), 1);
    FreeStockModel(&box);
    std::string mesh = BinaryStl(BoxMesh({0, 0, 0}, {2, 2, 2}));
    StockModel model;
    EXPECT_EQ(Load(dir.At("a.dme"), &model), 1);
    EXPECT_EQ(Load(dir.Write("b.sTl", mesh), &model), 1);
    EXPECT_EQ(model.nx, 3);
    // The DME reader refuses STL bytes: the extension decided.
    EXPECT_EQ(Load(dir.Write("c.Dme", mesh), &model), kStockFileDataError);
    EXPECT_EQ(model.nx, 0);
    // Any other file kind, and paths too short for an extension, load nothing and say so.
    for (const std::string& path : {dir.Write("d.txt", mesh), std::string("x"), std::string(""),
                                    dir.Write("e.stl.bak", mesh)}) {
        model.nx = 7;
        EXPECT_EQ(Load(path, &model), kStockFileDataError) << path;
        EXPECT_EQ(model.nx, 0) << path;
    }
    FreeStockModel(&model);
}

TEST(LoadStockModelFile, SizesTheStlGridFromTheMeshBounds) {
    ScratchDirectory dir;
    StockModel model;
    ASSERT_EQ(Load(dir.Write("a.stl", BinaryStl(BoxMesh({-0.5f, 2.7f, 0}, {3, 5, 1}))), &model), 1);
    EXPECT_EQ(model.origin[0], -1);
    EXPECT_EQ(model.origin[1], 2);
    EXPECT_EQ(model.origin[2], 0);
    EXPECT_EQ(model.nx, 5);  // -1 .. 3
    EXPECT_EQ(model.ny, 4);  // 2 .. 5
    EXPECT_TRUE(StockInvariantsHold(model, true));
    EXPECT_EQ(model.reservedNodes[0], model.lastNode[0]);
    // A mesh 0.001 thick still gets two nodes.
    ASSERT_EQ(Load(dir.Write("b.stl", BinaryStl(BoxMesh({0, 0, 0}, {4, 4, 0.001f}))), &model), 1);
    EXPECT_EQ(model.nz, 2);
    // Reference mode starts at the minimum itself.
    ASSERT_EQ(Load(dir.At("a.stl"), &model, 1.0, 3), 1);
    EXPECT_EQ(model.origin[0], -0.5f);
    FreeStockModel(&model);
}

TEST(LoadStockModelFile, RefusesMeshesItCannotPlaceOnAGrid) {
    ScratchDirectory dir;
    ScopedLoadSettings settings;
    std::string cube = dir.Write("cube.stl", BinaryStl(BoxMesh({0, 0, 0}, {10, 10, 10})));
    StockModel model;
    EXPECT_EQ(Load(dir.Write("none.stl", "neither text nor binary"), &model), kStockFileDataError);
    EXPECT_EQ(model.nx, 0);
    EXPECT_EQ(Load(dir.Write("empty.stl", BinaryStl({})), &model), kStockFileDataError);
    EXPECT_EQ(Load(cube, &model, 0.0), kStockDefinitionError);
    EXPECT_EQ(Load(cube, &model, std::nan("")), kStockDefinitionError);
    EXPECT_EQ(Load(cube, &model, 1.0, 4), kStockDefinitionError);
    // More rays than the limit: refused before anything is allocated.
    ScopedStockHooks hooks;
    static int allocations = 0;
    allocations = 0;
    StockCallbacks.allowAllocation = [](std::size_t) {
        ++allocations;
        return true;
    };
    StockLoadOptions.maxGridCells = 100;
    EXPECT_EQ(Load(cube, &model, 1.0), kStockGridTooLarge);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(Load(cube, &model, 1e-9), kStockGridTooLarge);
    StockLoadOptions.maxGridCells = StockLoadSettings{}.maxGridCells;
    // Memory refused: the allocation's code, not success with an empty slot.
    StockCallbacks.allowAllocation = [](std::size_t) { return false; };
    const int code = Load(cube, &model, 1.0);
    EXPECT_LT(code, 0);
    EXPECT_NE(code, kStockFileDataError);
    EXPECT_EQ(model.nx, 0);
}

TEST(ReadMatrixFile, PlacesTheStockOnlyWithTwelveUsableNumbers) {
    ScratchDirectory dir;
    testing::ScopedLogDirectory log(dir.Path());
    ScopedLoadSettings settings;
    std::string cube = dir.Write("cube.stl", BinaryStl(BoxMesh({0, 0, 0}, {4, 4, 4})));
    StockLoadOptions.matrixPath =
        dir.Write("shift.txt", "1\r\n0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n1\r\n10\r\n0\r\n0\r\n");
    StockModel model;
    ASSERT_EQ(Load(cube, &model), 1);
    EXPECT_EQ(model.frameFlag, 1);
    EXPECT_EQ(model.frame.values[9], 10);
    EXPECT_EQ(model.negatedOffset[0], -10);
    EXPECT_EQ(model.minCorner[0], 10);
    EXPECT_EQ(model.maxCorner[0], 14);
    EXPECT_EQ(model.maxCorner[1], 4);
    FreeStockModel(&model);
    StockFrame frame;
    frame.values[0] = 42;
    for (const std::string& bad : {std::string("1\n0\n0\n0\n1\n0\n0\n0\n1\n10\n0\n"),
                                   std::string("1\n0\n0\n0\n1\n0\n0\n0\nx\n10\n0\n0\n"),
                                   std::string("1\n0\n0\n0\n1\n0\n0\n0\ninf\n10\n0\n0\n"),
                                   std::string("1\n2\n3\n2\n4\n6\n0\n0\n1\n10\n0\n0\n")}) {
        StockLoadOptions.matrixPath = dir.Write("bad.txt", bad);
        EXPECT_EQ(ReadMatrixFile(&frame), 0) << bad;
        EXPECT_EQ(frame.values[0], 42) << bad;
    }
    StockLoadOptions.matrixPath = dir.At("missing.txt");
    EXPECT_EQ(ReadMatrixFile(&frame), 0);
    StockLoadOptions.matrixPath.clear();
    EXPECT_EQ(ReadMatrixFile(&frame), 0);
}

TEST(WriteMatrixDebug, DumpsTheFrameWhenAsked) {
    ScratchDirectory dir;
    ScopedLoadSettings settings;
    ScopedWorkingDirectory here(dir.Path());
    StockFrame frame;
    frame.values[0] = frame.values[4] = frame.values[8] = 1;
    frame.values[10] = -2.5;
    EXPECT_EQ(WriteMatrixDebug(frame), 0);
    EXPECT_FALSE(std::filesystem::exists("matrix.txt"));
    StockLoadOptions.checkMatrix = 1;
    ASSERT_EQ(WriteMatrixDebug(frame), 1);
    EXPECT_EQ(ReadWholeFile("matrix.txt"),
              "1.000000\n0.000000\n0.000000\n0.000000\n1.000000\n0.000000\n"
              "0.000000\n0.000000\n1.000000\n0.000000\n-2.500000\n0.000000\n");
}

TEST(TransformBoxToBounds, TakesTheBoundsOfThePlacedCorners) {
    StockFrame identity;
    identity.values[0] = identity.values[4] = identity.values[8] = 1;
    double lo[3] = {1, 2, 3};
    double hi[3] = {4, 6, 8};
    TransformBoxToBounds(identity, lo, hi);
    EXPECT_EQ(std::vector<double>(lo, lo + 3), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(std::vector<double>(hi, hi + 3), (std::vector<double>{4, 6, 8}));
    // 90 degrees about Z: local x runs along work y, local y along work -x.
    StockFrame turn;
    const double f[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0};
    std::copy(f, f + 12, turn.values);
    TransformBoxToBounds(turn, lo, hi);
    EXPECT_EQ(std::vector<double>(lo, lo + 3), (std::vector<double>{-6, 1, 3}));
    EXPECT_EQ(std::vector<double>(hi, hi + 3), (std::vector<double>{-2, 4, 8}));
    // A box without material (min above max) stays as it is.
    double emptyLo[3] = {1e11, 1e11, 1e11};
    double emptyHi[3] = {-1e11, -1e11, -1e11};
    TransformBoxToBounds(turn, emptyLo, emptyHi);
    EXPECT_EQ(emptyLo[0], 1e11);
}

TEST(LoadStockModelFile, KeepsAHeightMapFromBelowInPlaceThroughADmeRoundTrip) {
    ScratchDirectory dir;
    // Bounds 0.3 .. 5.2 in z: looking from -Z the grid's top node lies exactly on the maximum.
    std::string mesh = dir.Write("m.stl", BinaryStl(BoxMesh({0, 0, 0.3f}, {3, 2, 5.2f})));
    StockModel model;
    ASSERT_EQ(Load(mesh, &model, 1.0, -3), 1);
    EXPECT_EQ(model.nodesZ[model.nz - 1], 5.2f);
    EXPECT_EQ(model.nodesZ[0], model.origin[2]);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    ASSERT_EQ(WriteDmeFile(model, dir.At("m.dme")), 1);
    StockModel back;
    ASSERT_EQ(Load(dir.At("m.dme"), &back), 1);
    EXPECT_EQ(back.origin[2], model.origin[2]);
    for (std::int64_t cell = 0; cell < model.x.cellCount; ++cell) {
        ASSERT_EQ(ReadDexelRay(back.x, cell), ReadDexelRay(model.x, cell)) << cell;
    }
    FreeStockModel(&model);
    FreeStockModel(&back);
}

TEST(ReportStockLoadFailure, NamesDataAndMemoryFailures) {
    std::vector<MessageBoxRequest> shown;
    MessageBoxResponder previous = SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        shown.push_back(request);
        return MBX_IDOK;
    });
    ReportStockLoadFailure(1);
    ReportStockLoadFailure(kStockFileDataError);
    ReportStockLoadFailure(-10002);
    SetMessageBoxResponder(previous);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Data Destroyed!");
    EXPECT_EQ(shown[0].caption, "Data error");
    EXPECT_EQ(shown[1].text, "Memory over!");
    EXPECT_EQ(shown[1].caption, "Data size error");
    EXPECT_NE(shown[1].style & MBX_TOPMOST, 0u);
}

}  // namespace
}  // namespace mirexa
