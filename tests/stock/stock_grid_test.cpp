// Display-block partition, undo ring against a reference ring, memory accounting, allocation
// failures, frame snapping, dirty marking and the release of the basic model.
#include "stock/stock_grid.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/message_box.h"
#include "services/shared_state.h"
#include "stock/stock_shapes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

// A model with only its node counts and a pitch of 1 mm set.
StockModel NodeCounts(int nx, int ny, int nz) {
    StockModel model;
    model.nx = nx;
    model.ny = ny;
    model.nz = nz;
    model.pitch = 1.0;
    return model;
}

// Grid of nx * ny * nz nodes with display blocks only (no ring).
StockModel PartitionedGrid(int nx, int ny, int nz, bool single = false) {
    StockModel model = NodeCounts(nx, ny, nz);
    SetStockUndoRingSize(&model, 2);
    EXPECT_EQ(single ? InitStockGridSingleBlock(&model) : InitStockGridBlocks(&model), 1);
    return model;
}

TEST(PartitionStockBlocks, GrowsBlockSizesTogetherBelowAThousand) {
    struct Case {
        int n[3];
        int size[3];
        int perAxis[3];
        int lastSize[3];
    };
    const Case cases[] = {
        {{101, 51, 21}, {5, 5, 5}, {20, 10, 4}, {5, 5, 5}},
        {{501, 501, 101}, {34, 34, 34}, {15, 15, 3}, {24, 24, 32}},
        {{11, 11, 4}, {5, 5, 3}, {2, 2, 1}, {5, 5, 3}},
        {{2, 2, 2}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        StockModel model = PartitionedGrid(c.n[0], c.n[1], c.n[2]);
        const StockDisplayBlocks& b = model.blocks;
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(b.size[a], c.size[a]) << c.n[0] << " axis " << a;
            EXPECT_EQ(b.perAxis[a], c.perAxis[a]) << c.n[0] << " axis " << a;
            EXPECT_EQ(b.lastSize[a], c.lastSize[a]) << c.n[0] << " axis " << a;
            EXPECT_EQ(b.lastIndex[a], c.perAxis[a] - 1);
        }
        EXPECT_EQ(b.count, c.perAxis[0] * c.perAxis[1] * c.perAxis[2]);
        FreeStockModel(&model);
    }
    // Node-to-block maps of the first grid: border nodes belong to two blocks.
    StockModel model = PartitionedGrid(101, 51, 21);
    const int nodes[] = {0, 5, 7, 100};
    const int low[] = {0, 0, 1, 19}, high[] = {0, 1, 1, 19};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(model.blocks.lowMap[0][nodes[i]], low[i]) << nodes[i];
        EXPECT_EQ(model.blocks.highMap[0][nodes[i]], high[i]) << nodes[i];
    }
    FreeStockModel(&model);

    model = PartitionedGrid(101, 51, 21, true);
    EXPECT_EQ(model.blocks.count, 1);
    EXPECT_EQ(model.blocks.size[0], 100);
    FreeStockModel(&model);
}

TEST(PartitionStockBlocks, RandomGridsKeepEveryNodeInItsBlocks) {
    const unsigned seed = 4242;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        const int n[3] = {2 + static_cast<int>(rng() % 700), 2 + static_cast<int>(rng() % 700),
                          2 + static_cast<int>(rng() % (round % 3 == 0 ? 5 : 300))};
        StockModel model = PartitionedGrid(n[0], n[1], n[2]);
        const StockDisplayBlocks& b = model.blocks;
        ASSERT_LT(b.count, 1000);
        for (int a = 0; a < 3; ++a) {
            // Blocks cover the cells exactly.
            ASSERT_EQ((b.perAxis[a] - 1) * b.size[a] + b.lastSize[a], n[a] - 1);
            ASSERT_GE(b.lastSize[a], 1);
            ASSERT_LE(b.lastSize[a], b.size[a]);
            for (int i = 0; i < n[a]; ++i) {
                const bool border = i % b.size[a] == 0 && i > 0 && i / b.size[a] < b.perAxis[a];
                ASSERT_EQ(b.highMap[a][i] - b.lowMap[a][i], border ? 1 : 0)
                    << "grid " << n[0] << "x" << n[1] << "x" << n[2] << " axis " << a << " node "
                    << i;
                ASSERT_LE(b.lowMap[a][i] * b.size[a], i);
                ASSERT_LE(i, b.highMap[a][i] * b.size[a] + b.size[a]);
            }
        }
        FreeStockModel(&model);
    }
}

// 2e7 cells per axis start as 4e6 blocks each, whose product overflows 64 bits. The sizes must
// still grow to 2,222,223 cells (9 x 9 x 9 blocks). The block count is seen as the size of the
// dirty-byte array; the larger maps are then refused so that the test stays small. (The grid
// set-up would refuse such a grid before partitioning it.)
TEST(PartitionStockBlocks, HugeAxesReachTheBlockCapWithoutOverflow) {
    ScopedStockHooks hooks;
    StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{1} << 40; };
    static std::vector<std::size_t> requests;
    requests.clear();
    StockCallbacks.allowAllocation = [](std::size_t bytes) {
        requests.push_back(bytes);
        return bytes < (1u << 20);
    };
    StockModel model = NodeCounts(20000001, 20000001, 20000001);
    EXPECT_EQ(InitStockGridBlocks(&model), kStockGridMemoryError);
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(PartitionStockBlocks(&model, 5, 5, 5), kStockBlocksMemoryError);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0], 729u);
    EXPECT_EQ(model.blocks.dirty, nullptr);
    FreeStockModel(&model);
}

TEST(PartitionStockBlocks, RejectsAxesWithOneNode) {
    StockModel model = NodeCounts(10, 1, 10);
    EXPECT_EQ(InitStockGridBlocks(&model), kStockDefinitionError);
    model.ny = 10;
    model.pitch = 0.0;
    EXPECT_EQ(InitStockGridBlocks(&model), kStockDefinitionError);
    FreeStockModel(&model);
}

// The whole state of the current slot: every ray and the corners.
struct SlotState {
    std::vector<DexelRay> rays;
    double corners[6] = {};
    bool operator==(const SlotState& o) const {
        return rays == o.rays && std::memcmp(corners, o.corners, sizeof corners) == 0;
    }
};

SlotState ReadSlot(const StockUndoSlot& slot) {
    SlotState state;
    for (const DexelFamily* family : {&slot.z, &slot.x, &slot.y}) {
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            state.rays.push_back(ReadDexelRay(*family, cell));
        }
    }
    std::memcpy(state.corners, slot.minCorner, 3 * sizeof(double));
    std::memcpy(state.corners + 3, slot.maxCorner, 3 * sizeof(double));
    return state;
}

TEST(StockUndoRing, PushAndPopFollowAReferenceRing) {
    const unsigned seed = 777;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    // Requested sizes beyond the limits are clamped to 1 and 20.
    const int requested[] = {1, 2, 3, 4, 5, 0, -3, 20, 21, 1000};
    for (int request : requested) {
        const int size = request < 1 ? 1 : (request > 20 ? 20 : request);
        StockModel model;
        ASSERT_EQ(BuildEmptyStock(&model, 3, 2, 2, 1.0, request), 1);
        ASSERT_EQ(model.undo.size, size) << request;
        std::vector<SlotState> ring(size);
        ring[0] = ReadSlot(model.undo.slots[0]);
        int current = 0, highest = 0;
        const int sizes[] = {0, 2, 8, 10, 12, 40};
        for (int step = 0; step < 200; ++step) {
            const int op = static_cast<int>(rng() % 4);
            if (op == 0) {
                PushStockUndo(&model);
                if (size > 1) {
                    const int next = current + 1 == size ? 0 : current + 1;
                    ring[next] = ring[current];
                    current = next;
                    highest = std::max(highest, next);
                }
            } else if (op == 1) {
                PopStockUndo(&model);
                current = current - 1 < 0 ? highest : current - 1;
            } else {
                // Change one ray and the corners of the current state.
                DexelFamily* families[3] = {&model.z, &model.x, &model.y};
                DexelFamily& family = *families[rng() % 3];
                const std::int64_t cell = rng() % family.cellCount;
                const int n = sizes[rng() % std::size(sizes)];
                std::vector<double> ends(n);
                std::vector<std::uint8_t> flags(n);
                std::vector<std::int32_t> stamps(n);
                for (int i = 0; i < n; ++i) {
                    ends[i] = step + i;
                    flags[i] = static_cast<std::uint8_t>(step + i);
                    stamps[i] = -step - i;
                }
                SetDexelCell(cell, family.capacity, family.counts, family.ends, family.flags,
                             family.lineStamps, ends.data(), flags.data(), stamps.data(), n);
                model.minCorner[0] = -step;
                model.maxCorner[2] = step;
                ring[current] = ReadSlot(model.undo.slots[current]);
            }
            ASSERT_EQ(model.undo.currentSlot, current) << "size " << size << " step " << step;
            ASSERT_EQ(model.undo.highestUsedSlot, highest);
            ASSERT_TRUE(StockInvariantsHold(model)) << "size " << size << " step " << step;
            // Every used slot still holds its own state: no push or edit leaked into another.
            for (int s = 0; s <= highest; ++s) {
                ASSERT_TRUE(ReadSlot(model.undo.slots[s]) == ring[s])
                    << "size " << size << " step " << step << " slot " << s;
            }
        }
        FreeStockModel(&model);
    }
}

TEST(StockUndoRing, VisitsSlotsInOrderAndPopCyclesToTheNewest) {
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 3, 3, 3, 1.0, 3), 1);
    std::vector<int> visited;
    for (int i = 0; i < 3; ++i) {
        PushStockUndo(&model);
        visited.push_back(model.undo.currentSlot);
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(model.undo.highestUsedSlot, 2);
    PopStockUndo(&model);
    EXPECT_EQ(model.undo.currentSlot, 2);
    EXPECT_EQ(model.z.counts, model.undo.slots[2].z.counts);
    FreeStockModel(&model);
}

TEST(GetStockMemorySize, FollowsTheAccountingFormula) {
    StockModel model;
    EXPECT_EQ(GetStockMemorySize(model), 0u);
    ASSERT_EQ(BuildEmptyStock(&model, 4, 3, 2, 0.5, 3), 1);
    // Cells: Z 12, X 6, Y 8 = 26 rays of 4 + 13 * 8 bytes per slot.
    const std::uint64_t base = 3 * 120 + 3 * 48 + 3 * 6 + (4 + 3 + 2) * 8 + 3 * 26 * 108;
    EXPECT_EQ(GetStockMemorySize(model), base);
    std::vector<double> ends(12, 1.0);
    std::vector<std::uint8_t> flags(12);
    std::vector<std::int32_t> stamps(12);
    SetDexelCell(0, 8, model.z.counts, model.z.ends, model.z.flags, model.z.lineStamps, ends.data(),
                 flags.data(), stamps.data(), 12);
    SetDexelCell(5, 8, model.y.counts, model.y.ends, model.y.flags, model.y.lineStamps, ends.data(),
                 flags.data(), stamps.data(), 10);
    SetDexelCell(1, 8, model.x.counts, model.x.ends, model.x.flags, model.x.lineStamps, ends.data(),
                 flags.data(), stamps.data(), 8);
    EXPECT_EQ(GetStockMemorySize(model), base + 13 * 22);
    PushStockUndo(&model);  // the spilled rays now exist in two slots
    EXPECT_EQ(GetStockMemorySize(model), base + 2 * 13 * 22);
    FreeStockModel(&model);
    model.nx = 0;
    EXPECT_EQ(GetStockMemorySize(model), 0u);
}

// The slots allocated count, not a ring size changed after the build.
TEST(GetStockMemorySize, CountsTheSlotsAllocated) {
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 11, 11, 11, 1.0, 2), 1);
    EXPECT_EQ(GetStockMemorySize(model), 79020u);
    model.undo.size = 1000;
    EXPECT_EQ(GetStockMemorySize(model), 79020u);
    SetStockUndoRingSize(&model, 20);
    EXPECT_EQ(GetStockMemorySize(model), 79020u);
    FreeStockModel(&model);
}

TEST(AllocStockModel, EveryFailingStepReleasesWhatItTook) {
    ScopedStockHooks hooks;
    static int allowed;
    StockCallbacks.allowAllocation = [](std::size_t) { return allowed-- > 0; };
    // Allocation order: 8 display-block arrays, the slot table, 12 family arrays per slot (two
    // slots), the node tables z, y, x.
    std::vector<int> expected(8, kStockBlocksMemoryError);
    expected.push_back(-1);
    for (int slot = 0; slot < 2; ++slot) {
        for (int code = -1; code >= -12; --code) {
            expected.push_back(code);
        }
    }
    expected.insert(expected.end(), {-10001, -10002, -10003});
    const double box[6] = {0, 0, 0, 4, 3, 2};
    StockModel model;
    for (std::size_t granted = 0; granted <= expected.size(); ++granted) {
        allowed = static_cast<int>(granted);
        SetStockUndoRingSize(&model, 2);
        const int result = CreateBoxStockIdentity(&model, box, 1.0);
        if (granted == expected.size()) {
            EXPECT_EQ(result, 1);
            EXPECT_TRUE(StockInvariantsHold(model, true));
        } else {
            EXPECT_EQ(result, expected[granted]) << "allocation " << granted;
            EXPECT_EQ(model.nx, 0);
            EXPECT_EQ(model.undo.slots, nullptr);
            EXPECT_EQ(model.blocks.dirty, nullptr);
        }
    }
    FreeStockModel(&model);
    FreeStockModel(&model);  // twice is harmless
    FreeStockModel(nullptr);
}

TEST(AllocStockModel, RefusesAGridLargerThanTheMemoryAvailable) {
    ScopedStockHooks hooks;
    static std::uint64_t available;
    StockCallbacks.availableMemoryBytes = [] { return available; };
    const double box[6] = {0, 0, 0, 10, 10, 10};
    StockModel model;
    SetStockUndoRingSize(&model, 2);
    available = 50000;  // the grid needs 2 * 363 * 108 bytes and more
    EXPECT_EQ(CreateBoxStockIdentity(&model, box, 1.0), -1);
    EXPECT_EQ(model.nx, 0);
    available = 0;  // unknown: no check
    EXPECT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    FreeStockModel(&model);

    // Display-block tables of a grid are checked before anything is taken.
    static int allocations;
    StockCallbacks.allowAllocation = [](std::size_t) {
        ++allocations;
        return true;
    };
    available = 1000;
    allocations = 0;
    StockModel grid = NodeCounts(101, 51, 21);
    EXPECT_EQ(PartitionStockBlocks(&grid, 5, 5, 5), kStockBlocksMemoryError);
    EXPECT_EQ(allocations, 0);

    // A grid whose byte count exceeds 64 bits: 16 slots of 2^58 rays of 108 bytes are 27 * 2^64
    // bytes, which a wrapping sum would take for a few kilobytes.
    available = std::uint64_t{1} << 30;
    allocations = 0;
    grid.nx = grid.ny = grid.nz = 2;
    SetStockUndoRingSize(&grid, 16);
    for (DexelFamily* family : {&grid.z, &grid.x, &grid.y}) {
        family->capacity = kDexelInlineCapacity;
        family->cellCount = 1;
    }
    grid.z.cellCount = (std::int64_t{1} << 58) - 2;
    EXPECT_EQ(AllocStockModel(&grid), -1);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(grid.undo.slots, nullptr);
    FreeStockModel(&grid);
}

// A mistyped pitch on a 100 x 100 x 50 mm box asks for 1e8 to 1e9 nodes per axis. The whole
// grid is refused before anything is requested, so refusal costs the same at any node count.
TEST(CheckStockGridMemory, RefusesBeforeAnyTableIsTaken) {
    ScopedStockHooks hooks;
    StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{1} << 30; };
    static std::vector<std::size_t> requests;
    StockCallbacks.allowAllocation = [](std::size_t bytes) {
        requests.push_back(bytes);
        return bytes < (1u << 20);  // so that the test never takes a large table
    };
    const double box[6] = {0, 0, 0, 100, 100, 50};
    const double base[3] = {0, 0, 0};
    for (double pitch : {1e-6, 3e-7, 1e-7}) {
        StockModel model;
        SetStockUndoRingSize(&model, 2);
        requests.clear();
        EXPECT_EQ(CreateBoxStockIdentity(&model, box, pitch), kStockGridMemoryError) << pitch;
        EXPECT_EQ(CreateCylinderStock(&model, base, 2, 50, 50, 0, pitch), kStockGridMemoryError)
            << pitch;
        EXPECT_TRUE(requests.empty()) << pitch << ": first request " << requests[0] << " bytes";
        EXPECT_EQ(model.nx, 0);
        EXPECT_EQ(model.blocks.lowMap[0], nullptr);
        FreeStockModel(&model);
    }
}

// The check counts exactly what the set-up then requests, but for the dirty bytes, which it
// bounds by the block cap: a grid that needs one byte more than is available is refused.
TEST(CheckStockGridMemory, CountsEveryTableTheSetUpTakes) {
    ScopedStockHooks hooks;
    static std::uint64_t available, requested;
    StockCallbacks.availableMemoryBytes = [] { return available; };
    StockCallbacks.allowAllocation = [](std::size_t bytes) {
        requested += bytes;
        return true;
    };
    struct Case {
        double box[6];
        double pitch;
        int ring;
    };
    const Case cases[] = {{{0, 0, 0, 4, 3, 2}, 1.0, 1},
                          {{-5, 2, 0, 40, 30, 9}, 0.5, 2},
                          {{0, 0, 0, 3, 70, 2}, 0.25, 7},
                          {{1, 1, 1, 2, 2, 2}, 1.0, 20}};
    for (const Case& c : cases) {
        StockModel model;
        SetStockUndoRingSize(&model, c.ring);
        available = 0;  // unknown: no check
        requested = 0;
        ASSERT_EQ(CreateBoxStockIdentity(&model, c.box, c.pitch), 1);
        const std::uint64_t bytes = GetStockGridBytes(model);
        EXPECT_EQ(bytes, requested + kStockBlockListRow - model.blocks.count) << c.box[3];
        available = bytes;
        EXPECT_EQ(CheckStockGridMemory(model), 1);
        EXPECT_EQ(CreateBoxStockIdentity(&model, c.box, c.pitch), 1);
        available = bytes - 1;
        requested = 0;
        EXPECT_EQ(CreateBoxStockIdentity(&model, c.box, c.pitch), kStockGridMemoryError);
        EXPECT_EQ(requested, 0u);
        FreeStockModel(&model);
    }
}

TEST(SnapStockFrame, SnapsNearValuesAndCleansRows) {
    StockFrame frame;
    const double in[12] = {0.99995, 0.2, 3e-10,    0.3, 1.00002, 0.1,
                           0.5,     0.5, -0.99991, 1.0, 0.2,     3e-10};
    const double out[12] = {1, 0, 0, 0, 1, 0, 0, 0, -1, 1, 0.2, 0};
    std::memcpy(frame.values, in, sizeof in);
    SnapStockFrame(frame, &frame);  // in place
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(frame.values[i], out[i]) << i;
    }
    // A row without +-1 keeps its values; -0.00005 is not snapped to 0.
    const double keep[12] = {0.6, 0.8, -0.00005, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(frame.values, keep, sizeof keep);
    StockFrame snapped;
    SnapStockFrame(frame, &snapped);
    EXPECT_EQ(snapped.values[0], 0.6);
    EXPECT_EQ(snapped.values[2], -0.00005);
}

TEST(MarkDirtyBlocks, MarksExactlyTheBlocksAlongTheRay) {
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 101, 51, 21, 1.0, 2), 1);  // 20 x 10 x 4 blocks of 5
    auto dirtySet = [&] {
        std::set<std::tuple<int, int, int>> set;
        for (int i = 0; i < model.blocks.count; ++i) {
            if (model.blocks.dirty[i]) {
                set.insert({i % 20, (i / 20) % 10, i / 200});
                model.blocks.dirty[i] = 0;
            }
        }
        return set;
    };
    const double ends[] = {7.5, 9.0, 11.0, 12.0};
    MarkDirtyBlocksAlongZ(&model, 3, 4, 2, 2, ends, 4);  // z nodes 7 .. 12: blocks 1 .. 2
    EXPECT_EQ(dirtySet(),
              (std::set<std::tuple<int, int, int>>{{3, 2, 1}, {4, 2, 1}, {3, 2, 2}, {4, 2, 2}}));
    const double onBorder[] = {10.0, 10.0};  // node 10 lies on the border of blocks 1 and 2
    MarkDirtyBlocksAlongX(&model, 0, 0, 3, 3, onBorder, 2);
    EXPECT_EQ(dirtySet(), (std::set<std::tuple<int, int, int>>{{1, 0, 3}, {2, 0, 3}}));
    // Ends beyond the grid (or not numbers) are clamped to its first and last node.
    const double wild[] = {-50.0, 1e9};
    MarkDirtyBlocksAlongY(&model, 0, 0, 19, 25, wild, 2);
    std::set<std::tuple<int, int, int>> expected;
    for (int by = 0; by < 10; ++by) {
        expected.insert({19, by, 0});
    }
    EXPECT_EQ(dirtySet(), expected);
    const double nan[] = {std::nan(""), std::nan("")};
    MarkDirtyBlocksAlongY(&model, 1, 1, 2, 2, nan, 2);
    EXPECT_EQ(dirtySet(), (std::set<std::tuple<int, int, int>>{{2, 0, 1}}));
    MarkDirtyBlocksAlongY(&model, 1, 1, 2, 2, nan, 0);
    EXPECT_TRUE(dirtySet().empty());
    FreeStockModel(&model);
}

struct HookLog {
    static inline std::vector<std::string> calls;
};

TEST(ClearBasicModel, ReleasesBothModelsAndTellsTheUserOnlyWhenAsked) {
    ScopedStockHooks hooks;
    StockCallbacks.drawStatusBar = [] { HookLog::calls.push_back("status"); };
    StockCallbacks.grayMenuCommand = [](int id) {
        HookLog::calls.push_back("gray " + std::to_string(id));
    };
    StockCallbacks.showMessageBox = [](WindowHandle, const char* text, const char* caption,
                                       unsigned style) {
        HookLog::calls.push_back(std::string("box ") + caption + ": " + text +
                                 ((style & MBX_TOPMOST) ? " (top)" : ""));
        return MBX_IDOK;
    };
    const double box[6] = {0, 0, 0, 5, 5, 5};
    for (int tell : {0, 1}) {
        HookLog::calls.clear();
        SetStockUndoRingSize(&BasicModel, 1);
        ASSERT_EQ(CreateBoxStockIdentity(&BasicModel, box, 1.0), 1);
        ASSERT_EQ(CreateBoxStockIdentity(&ComparisonModel, box, 1.0), 1);
        BasicModelState.present = 1;
        BasicModelState.comparisonPresent = 1;
        BasicModelState.rebuildRequested = 1;
        std::snprintf(BasicModelState.path, sizeof BasicModelState.path, "/data/basic.dme");
        std::snprintf(BasicModelState.displayName, sizeof BasicModelState.displayName, "basic");
        const int language = UiLanguage.exchange(1);
        ClearBasicModel(nullptr, tell);
        UiLanguage = language;
        EXPECT_EQ(BasicModel.nx, 0);
        EXPECT_EQ(BasicModel.undo.slots, nullptr);
        EXPECT_EQ(ComparisonModel.undo.slots, nullptr);
        EXPECT_EQ(BasicModelState.present + BasicModelState.comparisonPresent +
                      BasicModelState.rebuildRequested,
                  0);
        EXPECT_STREQ(BasicModelState.path, "");
        EXPECT_STREQ(BasicModelState.displayName, "");
        std::vector<std::string> expected = {"gray 32893", "status"};
        if (tell) {
            expected.insert(expected.begin() + 1,
                            "box /data/basic.dme: When you use function of [Paint Difference]. "
                            "Please respecify Basic Model. (top)");
        }
        EXPECT_EQ(HookLog::calls, expected);
    }
}

}  // namespace
}  // namespace mirexa
