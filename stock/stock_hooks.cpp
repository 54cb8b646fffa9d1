// The stock model's hooks record and its guarded allocation of grid arrays.
#include "stock/stock_hooks.h"

#include <cstdlib>
#include <limits>

#include "platform/system_info.h"

namespace mirexa {

StockHooks StockCallbacks;

void* AllocateStockArray(std::uint64_t count, std::uint64_t size) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) {
        return nullptr;
    }
    std::size_t bytes = static_cast<std::size_t>(count * size);
    if (StockCallbacks.allowAllocation && !StockCallbacks.allowAllocation(bytes)) {
        return nullptr;
    }
    // At least one byte, so that an empty table still counts as allocated.
    return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

std::uint64_t GetStockAvailableMemory() {
    if (StockCallbacks.availableMemoryBytes) {
        return StockCallbacks.availableMemoryBytes();
    }
    return GetAvailableMemoryBytes();
}

bool FitsAvailableStockMemory(std::uint64_t bytes) {
    const std::uint64_t available = GetStockAvailableMemory();
    return available == 0 || bytes <= available;
}

}  // namespace mirexa
