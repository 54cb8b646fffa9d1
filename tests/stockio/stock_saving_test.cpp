// Stock saving: the STL encodings checked byte by byte and through the mesh checker, the path
// endings, the relative origin, and failures that must keep the previous file.
#include "stockio/stock_saving.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "stock/dexel_intervals.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"
#include "support/mesh_checker.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::LeftoverTemporaries;
using testing::ReadWholeFile;
using testing::ScratchDirectory;

const double kNoOrigin[3] = {0, 0, 0};

// A 10 x 10 x 10 mm block with a node-aligned pocket and an off-node step, placed by a frame
// with a quarter turn and an offset.
struct PocketedStock {
    StockModel model;
    PocketedStock() {
        const std::vector<SolidBox> boxes = {{{0, 0, 0}, {10, 10, 6.5}},
                                             {{0, 0, 0}, {2, 10, 10}},
                                             {{6, 0, 0}, {10, 10, 10}},
                                             {{0, 0, 0}, {10, 3, 10}},
                                             {{0, 7, 0}, {10, 10, 10}}};
        EXPECT_EQ(BuildBoxUnionStock(&model, 11, 11, 11, 1.0, boxes), 1);
        model.frame = {{0, -1, 0, 1, 0, 0, 0, 0, 1, 100, 50, -20}};
    }
    ~PocketedStock() {
        FreeStockModel(&model);
    }
};

std::vector<MeshFacet> ExtractInMemory(const StockModel& model) {
    std::vector<MeshFacet> facets;
    EXPECT_GE(ExtractStockMesh(model, CollectFacets(&facets)), 0);
    return facets;
}

TEST(StockSaving, UntouchedBoxIsA684ByteBinaryFile) {
    ScratchDirectory dir;
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    const double box[6] = {0, 0, 0, 30, 20, 10};
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 2.0), 1);
    const std::string path = dir.At("box.STL");
    ASSERT_EQ(SaveStockFile(model, path, kStlWriteBinary, 0, kNoOrigin, 1), kStockSaveDone);
    const std::string bytes = ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), 684u);
    EXPECT_EQ(bytes.substr(0, 80), std::string(80, ' '));
    EXPECT_EQ(DetectStlFormat(path), kStlFormatBinary);
    std::vector<MeshFacet> facets;
    ASSERT_TRUE(ReadBinaryStlFacets(path, false, &facets));
    EXPECT_TRUE(NormalsAgreeWithVertexOrder(facets));
    EXPECT_TRUE(SurfaceIsClosed(facets));
    EXPECT_DOUBLE_EQ(SignedVolume(facets), 6000.0);
    EXPECT_TRUE(LeftoverTemporaries(path).empty());
    FreeStockModel(&model);
}

TEST(StockSaving, BinaryFilesHoldEveryFacetInBothByteOrders) {
    ScratchDirectory dir;
    PocketedStock stock;
    const std::vector<MeshFacet> memory = ExtractInMemory(stock.model);
    ASSERT_GT(memory.size(), 12u);
    const std::string plain = dir.At("pocket.STL");
    const std::string swapped = dir.At("swapped.stl");
    ASSERT_EQ(SaveStockFile(stock.model, plain, kStlWriteBinary, 0, kNoOrigin, 1), kStockSaveDone);
    ASSERT_EQ(SaveStockFile(stock.model, swapped, kStlWriteSwapped, 0, kNoOrigin, 3),
              kStockSaveDone);
    EXPECT_EQ(ReadWholeFile(plain).size(), 84 + 50 * memory.size());
    EXPECT_EQ(DetectStlFormat(plain), kStlFormatBinary);
    EXPECT_EQ(DetectStlFormat(swapped), kStlFormatSwapped);
    std::vector<MeshFacet> fromPlain;
    std::vector<MeshFacet> fromSwapped;
    ASSERT_TRUE(ReadBinaryStlFacets(plain, false, &fromPlain));
    ASSERT_TRUE(ReadBinaryStlFacets(swapped, true, &fromSwapped));
    ASSERT_EQ(fromPlain.size(), memory.size());
    ASSERT_EQ(fromSwapped.size(), memory.size());
    for (std::size_t i = 0; i < memory.size(); ++i) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(fromPlain[i].vertices[v][k],
                          static_cast<double>(static_cast<float>(memory[i].vertices[v][k])));
            }
        }
    }
    EXPECT_TRUE(SameFacets(fromPlain, fromSwapped));
    // The placed surface in the file is closed, conforming, outward and of the material's
    // volume.
    EXPECT_TRUE(SurfaceIsClosed(fromPlain));
    EXPECT_TRUE(SurfaceIsConforming(fromPlain));
    EXPECT_TRUE(NormalsAgreeWithVertexOrder(fromPlain));
    EXPECT_NEAR(SignedVolume(fromPlain), SignedVolume(memory), 1e-3);
}

TEST(StockSaving, RelativeOriginShiftsVerticesAndZeroChangesNothing) {
    ScratchDirectory dir;
    PocketedStock stock;
    const double zero[3] = {0, 0, 0};
    const double origin[3] = {100, 50, -20};
    ASSERT_EQ(SaveStockFile(stock.model, dir.At("a.STL"), kStlWriteBinary, 0, zero, 1),
              kStockSaveDone);
    ASSERT_EQ(SaveStockFile(stock.model, dir.At("b.STL"), kStlWriteBinary, 1, zero, 1),
              kStockSaveDone);
    EXPECT_EQ(ReadWholeFile(dir.At("a.STL")), ReadWholeFile(dir.At("b.STL")));
    ASSERT_EQ(SaveStockFile(stock.model, dir.At("c.STL"), kStlWriteBinary, 1, origin, 1),
              kStockSaveDone);
    std::vector<MeshFacet> placed, shifted;
    ASSERT_TRUE(ReadBinaryStlFacets(dir.At("a.STL"), false, &placed));
    ASSERT_TRUE(ReadBinaryStlFacets(dir.At("c.STL"), false, &shifted));
    ASSERT_EQ(placed.size(), shifted.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(shifted[i].vertices[v][k], placed[i].vertices[v][k] - origin[k], 1e-4);
            }
        }
    }
}

TEST(StockSaving, AsciiFileReadsBackCompletely) {
    ScratchDirectory dir;
    PocketedStock stock;
    const std::vector<MeshFacet> memory = ExtractInMemory(stock.model);
    const std::string path = dir.At("pocket.Stl");
    ASSERT_EQ(SaveStockFile(stock.model, path, kStlWriteAscii, 0, kNoOrigin, 1), kStockSaveDone);
    const std::string text = ReadWholeFile(path);
    EXPECT_EQ(text.substr(0, 6), "solid\n");
    EXPECT_EQ(text.substr(text.size() - 9), "endsolid\n");
    EXPECT_EQ(DetectStlFormat(path), kStlFormatAscii);
    const int count = CountStlFacets(kStlFormatAscii, path);
    ASSERT_EQ(count, static_cast<int>(memory.size()));
    std::vector<StlFacet> facets(static_cast<std::size_t>(count));
    double minCorner[3], maxCorner[3];
    const double offset[3] = {0, 0, 0};
    ASSERT_EQ(
        ReadStlFacets(kStlFormatAscii, count, path, offset, minCorner, maxCorner, facets.data()),
        count);
    std::vector<MeshFacet> read(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(facets[i].values[3 + 3 * v + k], memory[i].vertices[v][k], 1e-6);
                read[i].vertices[v][k] = facets[i].values[3 + 3 * v + k];
            }
        }
    }
    // The vertices as written in text still meet edge for edge.
    EXPECT_TRUE(SurfaceIsConforming(read));
}

TEST(StockSaving, TheEndingOfThePathChoosesTheFile) {
    ScratchDirectory dir;
    PocketedStock stock;
    EXPECT_EQ(SaveStockFile(stock.model, dir.At("x.STL.bak"), kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveNotStockPath);
    EXPECT_EQ(SaveStockFile(stock.model, "STL", kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveNotStockPath);
    EXPECT_EQ(SaveStockFile(stock.model, "", kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveNotStockPath);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    // The same surface whatever the case of the ending and the thread count.
    ASSERT_EQ(SaveStockFile(stock.model, dir.At("a.stl"), kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveDone);
    ASSERT_EQ(SaveStockFile(stock.model, dir.At("b.sTl"), kStlWriteBinary, 0, kNoOrigin, 3),
              kStockSaveDone);
    EXPECT_EQ(ReadWholeFile(dir.At("a.stl")), ReadWholeFile(dir.At("b.sTl")));
    StockModel empty;
    EXPECT_EQ(SaveStockFile(empty, dir.At("e.STL"), kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveNoModel);
    EXPECT_FALSE(std::filesystem::exists(dir.At("e.STL")));
}

TEST(StockSaving, FailuresAreReportedAndKeepThePreviousFile) {
    ScratchDirectory dir;
    PocketedStock stock;
    // A directory that does not exist: nothing can be created.
    EXPECT_EQ(SaveStockFile(stock.model, dir.At("missing/a.STL"), kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveOpenError);
    EXPECT_EQ(SaveStockFile(stock.model, dir.At("missing/a.DME"), kStlWriteBinary, 0, kNoOrigin, 1),
              kStockSaveOpenError);
    EXPECT_FALSE(std::filesystem::exists(dir.At("missing")));
    // A link planted under the old fixed work name is never followed.
    const std::string target = dir.Write("full.STL", "previous surface");
    const std::string victim = dir.Write("victim.txt", "victim");
    ASSERT_EQ(symlink(victim.c_str(), (target + ".new").c_str()), 0);
    EXPECT_EQ(SaveStockFile(stock.model, target, kStlWriteBinary, 0, kNoOrigin, 1), kStockSaveDone);
    EXPECT_EQ(ReadWholeFile(victim), "victim");
    EXPECT_NE(ReadWholeFile(target), "previous surface");
    // A full disk (a file-size limit, its signal ignored): every format keeps the previous file.
    rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;
    for (const char* name : {"full.STL", "full.stl", "full.DME"}) {
        const std::string path = dir.Write(name, "previous");
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int mode = std::strcmp(name, "full.stl") == 0 ? kStlWriteAscii : kStlWriteBinary;
        const int result = SaveStockFile(stock.model, path, mode, 0, kNoOrigin, 1);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(result, kStockSaveWriteError) << name;
        EXPECT_EQ(ReadWholeFile(path), "previous") << name;
        EXPECT_TRUE(LeftoverTemporaries(path).empty()) << name;
    }
    std::signal(SIGXFSZ, previousHandler);
}

// Every ray of the three families, the frame and the grid agree.
void ExpectSameStock(const StockModel& a, const StockModel& b, const char* what) {
    ASSERT_EQ(a.nx, b.nx) << what;
    ASSERT_EQ(a.ny, b.ny) << what;
    ASSERT_EQ(a.nz, b.nz) << what;
    EXPECT_EQ(a.pitch, b.pitch) << what;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.origin[i], b.origin[i]) << what;
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(a.frame.values[i], b.frame.values[i]) << what;
    }
    const DexelFamily* families[3][2] = {{&a.z, &b.z}, {&a.x, &b.x}, {&a.y, &b.y}};
    for (const auto& pair : families) {
        ASSERT_EQ(pair[0]->cellCount, pair[1]->cellCount) << what;
        for (std::int64_t r = 0; r < pair[0]->cellCount; ++r) {
            ASSERT_EQ(ReadDexelRay(*pair[0], r), ReadDexelRay(*pair[1], r)) << what << " ray " << r;
        }
    }
}

// Cuts [lo, hi] out of one Z ray, stamping the new ends.
void CutZRay(StockModel* model, int ix, int iy, double lo, double hi, std::int32_t stamp) {
    const std::int64_t ray = std::int64_t{iy} * model->nx + ix;
    DexelFamily& z = model->z;
    const int count = z.counts[ray];
    std::vector<double> ends(static_cast<std::size_t>(count) + 2);
    std::vector<std::uint8_t> flags(ends.size());
    std::vector<std::int32_t> stamps(ends.size());
    int n = 0;
    GetDexelCell(ray, z.capacity, z.counts, z.ends, z.flags, z.lineStamps, ends.data(),
                 flags.data(), stamps.data(), &n);
    std::vector<double> removed(ends.size());
    std::int32_t removedCount = 0;
    std::int32_t kept = n;
    double volume = 0;
    const double cut[2] = {lo, hi};
    const std::uint8_t cutFlags[2] = {0x31, 0x51};
    const std::int32_t cutStamps[2] = {stamp, stamp + 1};
    ASSERT_EQ(
        CutDexelInterval(ends.data(), flags.data(), stamps.data(), &kept,
                         static_cast<std::int32_t>(ends.size()), model->pitch, model->origin[2],
                         model->cellWeight, &volume, removed.data(), &removedCount,
                         static_cast<std::int32_t>(removed.size()), cut, cutFlags, cutStamps),
        1);
    SetDexelCell(ray, z.capacity, z.counts, z.ends, z.flags, z.lineStamps, ends.data(),
                 flags.data(), stamps.data(), kept);
}

TEST(StockSaving, DmeFilesReloadEveryKindOfStock) {
    ScratchDirectory dir;
    testing::ScopedLogDirectory log(dir.Path());
    std::vector<StockModel> models(4);
    for (StockModel& model : models) {
        SetStockUndoRingSize(&model, 1);
    }
    const double box[6] = {-5, 0, 2, 15, 12.5, 9};
    ASSERT_EQ(CreateBoxStockIdentity(&models[0], box, 0.5), 1);
    const double base[3] = {0, 0, 0};
    ASSERT_GE(CreateCylinderStock(&models[1], base, 2, 8, 6, 2, 0.5), 0);
    // A stock loaded from the surface of another.
    {
        PocketedStock pocketed;
        const std::string stl = dir.At("pocket.STL");
        ASSERT_EQ(SaveStockFile(pocketed.model, stl, kStlWriteBinary, 0, kNoOrigin, 1),
                  kStockSaveDone);
        ASSERT_EQ(LoadStockModel(nullptr, &models[2], stl, 0.5, 0), 1);
    }
    // A cut box, with a ray of more ends than fit inline, painted and stamped ends.
    ASSERT_EQ(CreateBoxStockIdentity(&models[3], box, 0.5), 1);
    for (int k = 0; k < 6; ++k) {
        CutZRay(&models[3], 7, 4, 3.0 + k, 3.4 + k, 100 + 10 * k);
    }
    ASSERT_GT(models[3].z.counts[4 * models[3].nx + 7], kDexelInlineCapacity);
    models[3].frame = {{0, 1, 0, -1, 0, 0, 0, 0, 1, 20, 30, -4}};
    const char* names[4] = {"box", "cylinder", "loaded", "cut"};
    for (int k = 0; k < 4; ++k) {
        const std::string path = dir.At(std::string(names[k]) + (k % 2 ? ".dme" : ".Dme"));
        ASSERT_EQ(SaveStockFile(models[k], path, kStlWriteBinary, 0, kNoOrigin, 1), kStockSaveDone)
            << names[k];
        StockModel back;
        SetStockUndoRingSize(&back, 1);
        ASSERT_EQ(ReadDmeStock(&back, path), 1) << names[k];
        ExpectSameStock(models[k], back, names[k]);
        EXPECT_TRUE(StockInvariantsHold(back));
        FreeStockModel(&back);
        FreeStockModel(&models[k]);
    }
}

}  // namespace
}  // namespace mirexa
