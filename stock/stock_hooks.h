// Calls from the stock model upward (status bar, menu, message box) and its view of the
// machine's memory. The shell fills the hooks at start-up; tests fill them with fakes. A null
// hook does nothing, or uses the platform facility where there is one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window.h"

namespace mirexa {

struct StockModel;

// Where a dexel end or segment lies: family 0 X, 1 Y, 2 Z (the ray's axis); the ray's fast node
// index a and slow node index b (X rays y, z; Y rays z, x; Z rays x, y); its cell; and the index
// of the end or of the segment within the ray, as the context says.
struct DexelSegmentAddress {
    std::int32_t family = {};
    std::int32_t a = {};
    std::int32_t b = {};
    std::int64_t cell = {};
    std::int32_t index = {};
};

// One dexel end the view found near the cursor.
struct DexelEndPick {
    double position[3] = {};  // mm, work coordinates
    double depth = {};        // window depth of the projected end
    double distance = {};     // scaled screen distance to the cursor
    std::int32_t lineStamp = {};
    DexelSegmentAddress address = {};  // index: the end within its ray
};

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
    // View: writes up to `capacity` ends of the current stock near the cursor (client pixels of
    // the view) into hits, Z family first, then X, then Y, rays and ends in order; returns their
    // count and the greatest depth among them. Null: nothing is ever picked.
    int (*pickStockSegmentEnds)(int x, int y, DexelEndPick* hits, int capacity,
                                double* greatestDepth) = {};
    // Shell: 1 when the stop key is held down while the main window is the foreground window.
    // Null: never.
    int (*stopKeyDown)() = {};
    // Stock files: loads the basic model file onto the grid of `grid` (same node counts, pitch
    // and origin) into `basic`; returns 1, or a negative code with basic->nx = 0. Null: no
    // loader, the basic model cannot be loaded.
    int (*loadBasicModel)(const StockModel& grid, StockModel* basic) = {};
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
