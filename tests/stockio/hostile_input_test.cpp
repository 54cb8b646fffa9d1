// Hostile input for the stock readers (".DME", ".DMF", binary, swapped and ASCII ".STL"): the
// truncation, changed-byte and long-line sweep over their seeds with the stock invariants
// checked on every loaded model; and stock saving failed at every write, flush, rename and
// close, which must keep the previous file and report the failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/write_faults.h"
#include "stock/stock_grid.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"
#include "stockio/stock_saving.h"
#include "support/hostile_test_bench.h"
#include "support/mesh_checker.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;

class StockHostileInputTest : public testing::HostileSweepTest {};

TEST_P(StockHostileInputTest, SeedsSurviveTruncationChangedBytesAndLongLines) {
    testing::HostileChecks.stock = [](const StockModel& model) -> std::string {
        const ::testing::AssertionResult held = StockInvariantsHold(model);
        return held ? "" : held.message();
    };
    SweepAndExpectNoFailure();
}

// The seeds themselves load, so the sweep's variants start from files the readers take.
TEST_P(StockHostileInputTest, SeedsLoad) {
    const testing::HostileReader* reader = testing::FindHostileReader(GetParam());
    ASSERT_NE(reader, nullptr);
    for (const std::string& seed :
         testing::ListHostileSeeds(testing::HostileSourceRoot(), *reader)) {
        SCOPED_TRACE(seed);
        StockModel model;
        SetStockUndoRingSize(&model, 1);
        EXPECT_EQ(LoadStockModel(nullptr, &model, seed, 20.0, 0), 1);
        EXPECT_TRUE(StockInvariantsHold(model));
        FreeStockModel(&model);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, StockHostileInputTest,
                         ::testing::ValuesIn(testing::HostileReaderNames("stockio")),
                         [](const auto& info) { return info.param; });

struct ScopedWriteFaults {
    ~ScopedWriteFaults() {
        DisarmWriteFaults();
    }
};

// A 4 x 4 x 4 mm block with a step, saved over an older file in every stock format.
TEST(StockSavingFaults, EveryFailedStepKeepsThePreviousFile) {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    ASSERT_EQ(
        BuildBoxUnionStock(&model, 5, 5, 5, 1.0, {{{0, 0, 0}, {4, 4, 2}}, {{0, 0, 0}, {2, 4, 4}}}),
        1);
    testing::ScratchDirectory dir;
    ScopedWriteFaults disarm;
    const double origin[3] = {1, 2, 3};
    struct Case {
        const char* name;
        int mode;
    };
    for (const Case& c :
         {Case{"stock.dme", kStlWriteBinary}, Case{"ascii.stl", kStlWriteAscii},
          Case{"binary.stl", kStlWriteBinary}, Case{"swapped.stl", kStlWriteSwapped}}) {
        SCOPED_TRACE(c.name);
        const std::string previous = "the stock saved yesterday";
        const std::string path = dir.Write(c.name, previous);
        ArmWriteFaults(0);
        ASSERT_EQ(SaveStockFile(model, path, c.mode, 1, origin, 1), kStockSaveDone);
        const int operations = CountWriteOperations();
        const std::string saved = ReadWholeFile(path);
        ASSERT_GE(operations, 3);
        for (int n = 1; n <= operations; ++n) {
            SCOPED_TRACE(::testing::Message() << "operation " << n << " of " << operations);
            dir.Write(c.name, previous);
            ArmWriteFaults(n);
            const int result = SaveStockFile(model, path, c.mode, 1, origin, 1);
            DisarmWriteFaults();
            ASSERT_EQ(WasWriteFaultInjected(), 1);
            EXPECT_EQ(result, kStockSaveWriteError);
            EXPECT_EQ(ReadWholeFile(path), previous);
            EXPECT_TRUE(testing::LeftoverTemporaries(path).empty());
        }
        dir.Write(c.name, previous);
        EXPECT_EQ(SaveStockFile(model, path, c.mode, 1, origin, 1), kStockSaveDone);
        EXPECT_EQ(ReadWholeFile(path), saved);
    }
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
