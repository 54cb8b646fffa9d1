// The invariant checker that stock tests run after every operation, and a plain copy of one
// ray for comparisons with reference models.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stock/stock_hooks.h"
#include "stock/stock_model.h"

namespace mirexa {

// One ray copied out of a family: ends with the flag and stamp that belong to each.
struct DexelRay {
    std::vector<double> ends;
    std::vector<std::uint8_t> flags;
    std::vector<std::int32_t> stamps;
    bool operator==(const DexelRay& other) const = default;
};

DexelRay ReadDexelRay(const DexelFamily& family, std::int64_t cell);

// Checks, over every used undo slot: ring state and working pointers; family sizes; every ray
// an even count of finite, non-descending ends; spilled rays with their own
// heap blocks (never shared between rays, slots or families); node tables; the display-block
// partition and its node-to-block maps. With solid set, also that the Z, X and Y rays through
// every node agree on whether it is material (up to a rounding slack at the surface).
// A model with nx == 0 passes.
::testing::AssertionResult StockInvariantsHold(const StockModel& model, bool solid = false);

// An allocated grid with every ray empty: nx * ny * nz nodes from the origin 0, the given pitch
// (mm) and ring size. Returns what the set-up returned (1 on success).
int BuildEmptyStock(StockModel* model, int nx, int ny, int nz, double pitch, int ringSize);

// Restores the stock hooks when the test ends.
struct ScopedStockHooks {
    StockHooks saved = StockCallbacks;
    ~ScopedStockHooks() {
        StockCallbacks = saved;
    }
};

}  // namespace mirexa
