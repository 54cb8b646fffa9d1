// Calls from the stock model upward (status bar, menu, message box) and its view of the
// machine's memory. The shell fills the hooks at start-up; tests fill them with fakes. A null
// hook does nothing, or uses the platform facility where there is one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window.h"

namespace mirexa {

struct StockHooks {
    // Rewrites the main window's status bar from the current state.
    void (*drawStatusBar)() = {};
    // Grays (disables) a menu command of the main window.
    void (*grayMenuCommand)(int commandId) = {};
    // Shows a message box; null uses the platform's ShowMessageBox.
    int (*showMessageBox)(WindowHandle owner, const char* text, const char* caption,
                          unsigned style) = {};
    // Bytes of memory still available; null uses GetAvailableMemoryBytes.
    std::uint64_t (*availableMemoryBytes)() = {};
    // Consulted before every grid, ring and table allocation of the stock model; returning
    // false makes that allocation fail. Null allows every allocation.
    bool (*allowAllocation)(std::size_t bytes) = {};
};
extern StockHooks StockCallbacks;

// Zeroed allocation of count elements of size bytes for grid arrays, ring slots and tables;
// null on overflow of the byte count, refusal by the hook or exhaustion. Release with std::free.
void* AllocateStockArray(std::uint64_t count, std::uint64_t size);

// Bytes available for a new grid (through the hook when set); 0 when unknown.
std::uint64_t GetStockAvailableMemory();
// The memory check made before a grid, ring or table is allocated: true when the bytes fit
// what GetStockAvailableMemory reports, or when that is unknown.
bool FitsAvailableStockMemory(std::uint64_t bytes);

}  // namespace mirexa
