// ".DME" stock files: the byte layout built in the test, round trips with spilled rays and
// frames, the legacy head, clipping to the grid with its face flags, and hostile files (bad
// counts and values, truncation at every byte) that must fail with -20 and leave nothing behind.
#include "stockio/dme_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stock_loading.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;
using testing::ScratchDirectory;

// Little-endian byte building.
struct Bytes {
    std::string data;
    template <class T>
    Bytes& Put(T value) {
        char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        data.append(raw, sizeof(T));
        return *this;
    }
    Bytes& Text(const std::string& text) {
        data += text;
        return *this;
    }
    // One cell record: count, ends, flags, stamps.
    Bytes& Cell(const std::vector<double>& ends, std::uint8_t flag = 0, std::int32_t stamp = 0) {
        Put<std::int32_t>(static_cast<std::int32_t>(ends.size()));
        for (double e : ends) {
            Put(e);
        }
        for (std::size_t i = 0; i < ends.size(); ++i) {
            Put<std::uint8_t>(flag);
        }
        for (std::size_t i = 0; i < ends.size(); ++i) {
            Put<std::int32_t>(stamp);
        }
        return *this;
    }
};

// The head of a current file with the identity frame.
Bytes DmeHead(int nx, int ny, int nz, double pitch, double x0 = 0, double y0 = 0, double z0 = 0) {
    Bytes b;
    b.Text("V1.0        ");
    const double frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (double v : frame) {
        b.Put(v);
    }
    b.Put<std::int32_t>(nx).Put<std::int32_t>(ny).Put<std::int32_t>(nz);
    b.Put(pitch).Put(x0).Put(y0).Put(z0);
    return b;
}

// The 3 x 2 x 2 full box at pitch 1 from the origin: 16 cells of one pair each.
std::string FullBoxFile() {
    Bytes b = DmeHead(3, 2, 2, 1.0);
    for (int i = 0; i < 6; ++i) {
        b.Cell({0, 1});  // Z rays
    }
    for (int i = 0; i < 6; ++i) {
        b.Cell({0, 1});  // Y rays
    }
    for (int i = 0; i < 4; ++i) {
        b.Cell({0, 2});  // X rays
    }
    return b.data;
}

std::vector<DexelRay> AllRays(const StockModel& model) {
    std::vector<DexelRay> rays;
    for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
        for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
            rays.push_back(ReadDexelRay(*f, cell));
        }
    }
    return rays;
}

int Load(const std::string& path, StockModel* model) {
    SetStockUndoRingSize(model, 2);
    return LoadStockModel(nullptr, model, path, 1.0, 0);
}

TEST(WriteDmeFile, WritesTheExactLayoutAndReadsItBack) {
    ScratchDirectory dir;
    StockModel box;
    SetStockUndoRingSize(&box, 2);
    const double extent[6] = {0, 0, 0, 2, 1, 1};
    ASSERT_EQ(CreateBoxStockIdentity(&box, extent, 1.0), 1);
    std::string path = dir.At("box.dme");
    ASSERT_EQ(WriteDmeFile(box, path), 1);
    std::string written = ReadWholeFile(path);
    EXPECT_EQ(written.size(), 632u);
    EXPECT_EQ(written, FullBoxFile());
    StockModel back;
    ASSERT_EQ(Load(path, &back), 1);
    EXPECT_TRUE(StockInvariantsHold(back, true));
    EXPECT_EQ(AllRays(back), AllRays(box));
    EXPECT_EQ(back.frameFlag, 0);
    EXPECT_EQ(back.reservedNodes[0], 2);
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(back.faceFlags->faces[f], 0) << f;
    }
    EXPECT_EQ(back.maxCorner[0], 2);
    EXPECT_EQ(back.minCorner[2], 0);
    FreeStockModel(&box);
    FreeStockModel(&back);
}

TEST(WriteDmeFile, RoundTripsSpilledRaysFlagsStampsAndTheFrame) {
    ScratchDirectory dir;
    StockModel model;
    SetStockUndoRingSize(&model, 2);
    // A turned frame with an offset; the values are already snapped, so they come back exactly.
    StockFrame frame;
    const double f[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10.5, -3, 2};
    std::copy(f, f + 12, frame.values);
    const double extent[6] = {0, 0, 0, 4, 3, 5};
    ASSERT_EQ(CreateBoxStock(&model, extent, frame, 0.5), 1);
    // A ray of 10,002 ends (heap blocks, longer than the old fixed work lists) and one with
    // painted ends and stamps.
    DexelRay many;
    for (int i = 0; i < 10002; ++i) {
        many.ends.push_back(0.0004 * i);
        many.flags.push_back(static_cast<std::uint8_t>(0x31 + i));
        many.stamps.push_back(i % 2 ? -100 - i : 100 + i);
    }
    SetDexelCell(7, model.z.capacity, model.z.counts, model.z.ends, model.z.flags,
                 model.z.lineStamps, many.ends.data(), many.flags.data(), many.stamps.data(),
                 10002);
    const double ends[2] = {1.0, 2.5};
    const std::uint8_t flags[2] = {0x51, 0xF0};
    const std::int32_t stamps[2] = {17, 4000000};
    SetDexelCellByAxis(&model, 0, 2, 3, ends, flags, stamps, 2);
    std::string path = dir.At("cut.DmE");
    ASSERT_EQ(WriteDmeFile(model, path), 1);
    std::uint64_t ends13 = 0;
    for (const DexelFamily* fam : {&model.z, &model.x, &model.y}) {
        for (std::int64_t c = 0; c < fam->cellCount; ++c) {
            ends13 += 13 * static_cast<std::uint64_t>(fam->counts[c]);
        }
    }
    const std::uint64_t cells = model.z.cellCount + model.x.cellCount + model.y.cellCount;
    EXPECT_EQ(ReadWholeFile(path).size(), 152 + 4 * cells + ends13);
    StockModel back;
    ASSERT_EQ(Load(path, &back), 1);
    EXPECT_TRUE(StockInvariantsHold(back));
    EXPECT_EQ(AllRays(back), AllRays(model));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(back.frame.values[i], f[i]);
    }
    EXPECT_EQ(back.frameFlag, 1);
    EXPECT_EQ(back.pitch, 0.5);
    EXPECT_GT(back.z.counts[7], back.z.capacity);
    // Material bounds in work coordinates: local x 0..4 turns into work y 10.5-ish range.
    EXPECT_DOUBLE_EQ(back.minCorner[1], -3);
    EXPECT_DOUBLE_EQ(back.maxCorner[1], 1);
    FreeStockModel(&model);
    FreeStockModel(&back);
}

TEST(ReadDmeStock, ReadsLegacyAndLowerCaseHeads) {
    ScratchDirectory dir;
    // Legacy: no frame, nx at byte 12.
    Bytes legacy;
    legacy.Text("OLDFILE     ");
    legacy.Put<std::int32_t>(2).Put<std::int32_t>(2).Put<std::int32_t>(2);
    legacy.Put(2.0).Put(10.0).Put(20.0).Put(30.0);
    ASSERT_EQ(legacy.data.size(), 56u);
    for (int i = 0; i < 12; ++i) {
        legacy.Cell({});
    }
    StockModel model;
    ASSERT_EQ(Load(dir.Write("old.dme", legacy.data), &model), 1);
    EXPECT_EQ(model.frame.values[0], 1);
    EXPECT_EQ(model.frame.values[9], 0);
    EXPECT_EQ(model.pitch, 2.0);
    EXPECT_EQ(model.origin[2], 30.0);
    // Without any end the bounds are the grid's.
    EXPECT_EQ(model.minCorner[0], 10.0);
    EXPECT_EQ(model.maxCorner[0], 12.0);
    FreeStockModel(&model);
    std::string lower = FullBoxFile();
    lower[0] = 'v';
    ASSERT_EQ(Load(dir.Write("lower.dme", lower), &model), 1);
    EXPECT_EQ(model.nx, 3);
    FreeStockModel(&model);
}

TEST(ReadDmeStock, ClipsEndsToTheGridAndSetsFaceFlags) {
    ScratchDirectory dir;
    Bytes b = DmeHead(2, 2, 3, 1.0);  // z nodes 0, 1, 2
    b.Cell({-0.5, 2});                // starts below the first node: clipped, reaches Z min
    b.Cell({0, 1.5});                 // ends below the last node: Z max flag
    b.Cell({-5, -3, 0.5, 2});         // a pair wholly below the grid is dropped
    b.Cell({-5, -3});                 // nothing left: the ray is empty
    for (int i = 0; i < 6 + 6; ++i) {
        b.Cell({0, 1});
    }
    StockModel model;
    ASSERT_EQ(Load(dir.Write("clip.dme", b.data), &model), 1);
    EXPECT_TRUE(StockInvariantsHold(model));
    EXPECT_EQ(ReadDexelRay(model.z, 0).ends, (std::vector<double>{0, 2}));
    EXPECT_EQ(ReadDexelRay(model.z, 0).flags, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(ReadDexelRay(model.z, 1).ends, (std::vector<double>{0, 1.5}));
    EXPECT_EQ(ReadDexelRay(model.z, 2).ends, (std::vector<double>{0.5, 2}));
    EXPECT_EQ(ReadDexelRay(model.z, 3).ends, (std::vector<double>{}));
    EXPECT_EQ(model.faceFlags->faces[4], 1);  // Z min: rays 2 and 3 do not reach it
    EXPECT_EQ(model.faceFlags->faces[5], 1);  // Z max: ray 1 ends below
    EXPECT_EQ(model.minCorner[2], -5);        // bounds before clipping
    EXPECT_EQ(model.maxCorner[2], 2);
    FreeStockModel(&model);
}

TEST(ReadDmeStock, RefusesBadHeadsBeforeAllocating) {
    ScratchDirectory dir;
    ScopedStockHooks hooks;
    static int allocations = 0;
    StockCallbacks.allowAllocation = [](std::size_t) {
        ++allocations;
        return true;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"nz -1", DmeHead(3, 2, -1, 1).data},
        {"nz 1", DmeHead(3, 2, 1, 1).data},
        {"nx 0", DmeHead(0, 2, 2, 1).data},
        {"pitch 0", DmeHead(3, 2, 2, 0).data},
        {"pitch nan", DmeHead(3, 2, 2, nan).data},
        {"origin inf", DmeHead(3, 2, 2, 1, std::numeric_limits<double>::infinity()).data},
        {"huge grid", DmeHead(2000000000, 2000000000, 2000000000, 1).data},
        {"cells beyond the file", DmeHead(100, 100, 100, 1).data + std::string(1000, '\0')},
        {"empty", ""},
        {"head only", "V1.0        "},
    };
    for (const Case& c : cases) {
        allocations = 0;
        StockModel model;
        model.nx = 5;
        EXPECT_EQ(Load(dir.Write("bad.dme", c.bytes), &model), kStockFileDataError) << c.name;
        EXPECT_EQ(model.nx, 0) << c.name;
        EXPECT_EQ(allocations, 0) << c.name;
    }
    // A frame with a NaN.
    std::string frame = FullBoxFile();
    std::memcpy(frame.data() + 12 + 8 * 4, &nan, 8);
    StockModel model;
    EXPECT_EQ(Load(dir.Write("frame.dme", frame), &model), kStockFileDataError);
}

TEST(ReadDmeStock, RefusesBadCellsAndFreesWhatWasRead) {
    ScratchDirectory dir;
    auto withZCell = [](const std::string& cell, int extra = 0) {
        Bytes b = DmeHead(3, 2, 2, 1.0);
        b.Cell({0, 1});
        b.data += cell;
        for (int i = 0; i < 4 + 6 + 4 + extra; ++i) {
            b.Cell({0, 1});
        }
        return b.data;
    };
    // A spilled ray first, so that a later failure has heap blocks to release.
    std::vector<double> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(0.05 * i);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::string cell;
    };
    const Case cases[] = {
        {"odd", Bytes().Cell({0, 0.5, 1}).data},
        {"negative", Bytes().Put<std::int32_t>(-2).data},
        {"beyond the file", Bytes().Put<std::int32_t>(1000).data},
        {"descending", Bytes().Cell({1, 0}).data},
        {"nan", Bytes().Cell({0, nan}).data},
    };
    for (const Case& c : cases) {
        Bytes spilled;
        spilled.Cell(twelve);
        StockModel model;
        std::string bytes = withZCell(spilled.data + c.cell, -1);
        EXPECT_EQ(Load(dir.Write("bad.dme", bytes), &model), kStockFileDataError) << c.name;
        EXPECT_EQ(model.nx, 0) << c.name;
        EXPECT_EQ(model.z.counts, nullptr) << c.name;
    }
}

TEST(ReadDmeStock, FailsCleanlyAtEveryTruncation) {
    ScratchDirectory dir;
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    const double extent[6] = {0, 0, 0, 2, 1, 1};
    ASSERT_EQ(CreateBoxStockIdentity(&model, extent, 0.5), 1);
    std::vector<double> ends;
    std::vector<std::uint8_t> flags(10, 3);
    std::vector<std::int32_t> stamps(10, 9);
    for (int i = 0; i < 10; ++i) {
        ends.push_back(0.1 * i);
    }
    SetDexelCell(0, model.z.capacity, model.z.counts, model.z.ends, model.z.flags,
                 model.z.lineStamps, ends.data(), flags.data(), stamps.data(), 10);
    std::string path = dir.At("full.dme");
    ASSERT_EQ(WriteDmeFile(model, path), 1);
    FreeStockModel(&model);
    const std::string bytes = ReadWholeFile(path);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        StockModel cut;
        ASSERT_EQ(Load(dir.Write("cut.dme", bytes.substr(0, size)), &cut), kStockFileDataError)
            << size;
        ASSERT_EQ(cut.nx, 0) << size;
    }
    StockModel whole;
    EXPECT_EQ(Load(dir.Write("cut.dme", bytes), &whole), 1);
    FreeStockModel(&whole);
}

TEST(WriteDmeFile, ReportsFilesThatCannotBeWritten) {
    ScratchDirectory dir;
    StockModel box;
    SetStockUndoRingSize(&box, 1);
    const double extent[6] = {0, 0, 0, 1, 1, 1};
    ASSERT_EQ(CreateBoxStockIdentity(&box, extent, 1.0), 1);
    EXPECT_EQ(WriteDmeFile(box, dir.At("missing/dir/x.dme")), 0);
    EXPECT_EQ(WriteDmeFile(box, "/dev/full"), 0);
    StockModel empty;
    EXPECT_EQ(WriteDmeFile(empty, dir.At("empty.dme")), 0);
    FreeStockModel(&box);
}

}  // namespace
}  // namespace mirexa
