// Display-list numbering of the 3D view, the dirty flags that ask for list rebuilds, and the
// per-stock tables of block list names (one row of 1,000 names per undo slot).
//
// Every list name lies inside one reservation of consecutive names made when the view's
// context is created (DisplayListBase is its first name): the fixed scene lists at base + 1 ..
// base + 33, the stock block lists at base + 34 + stock * 20,000 + k * 1,000 + block, and one
// style list per stock slot after them. A name never depends on what else the context holds.
#pragma once

#include <atomic>
#include <cstdint>

#include "stock/stock_model.h"

namespace mirexa {

// Fixed lists (offsets from DisplayListBase).
enum DisplayListId : int {
    kListTriad = 1,
    kListAxes = 2,
    kListMachineBase = 3,
    kListTools = 4,
    kListHead = 11,
    kListHeadX = 12,
    kListHeadY = 13,
    kListHeadZ = 14,
    kListHeadXY = 15,
    kListHeadYZ = 16,
    kListHeadXZ = 17,
    kListHead1 = 18,
    kListHead2 = 19,
    kListTable = 21,
    kListTableX = 22,
    kListTableY = 23,
    kListTableZ = 24,
    kListTable1 = 25,
    kListTable2 = 26,
    kListVice = 27,
    kListPickedPoint = 28,
    kListRotationCentre = 30,
    kListPath = 31,
    kListPathNoRotary = 32,
    kListBasicShape = 33,
};

constexpr std::uint32_t kStockListOffset = 34;
constexpr std::uint32_t kStockListsPerStock = kMaxStockUndoSlots * kStockBlockListRow;  // 20,000
constexpr std::uint32_t kStockBlockListsEnd =
    kStockListOffset + kStockModelSlots * kStockListsPerStock;  // 400,034
// The style lists (the whole stock as end points or diagnostic lines), one per stock slot.
constexpr std::uint32_t kStyleListOffset = kStockBlockListsEnd;
// Names reserved with one glGenLists call.
constexpr std::uint32_t kReservedListNames = kStyleListOffset + kStockModelSlots;

// First name of the reservation; 0 while the view has no context.
extern std::uint32_t DisplayListBase;

// The GL name of a fixed list; 0 without a reservation.
std::uint32_t FixedListName(int id);
// The default name of a stock block: base + 34 + stock * 20,000 + slot * 1,000 + block.
std::uint32_t DefaultStockBlockListName(int stockIndex, int undoSlot, int block);
// The style list of a stock slot (a name no block list ever takes).
std::uint32_t StyleListName(int stockIndex);

// What asks which lists to be rebuilt at the next paint. Each byte is set non-zero by whoever
// changes what a list shows and cleared by the list's builder. Other threads may set them.
struct SceneDirtyFlags {
    std::atomic<std::uint8_t> triad{1};  // list 1: view size or rotation changed
    std::atomic<std::uint8_t> axes{1};   // list 2
    std::atomic<std::uint8_t> machineBase{};
    std::atomic<std::uint8_t> path{};
    std::atomic<std::uint8_t> pathNoRotary{};
    std::atomic<std::uint8_t> tools{};
    std::atomic<std::uint8_t> headParts{};  // lists 11-17
    std::atomic<std::uint8_t> head1{};
    std::atomic<std::uint8_t> head2{};
    std::atomic<std::uint8_t> tableParts{};  // lists 21-24
    std::atomic<std::uint8_t> table1{};
    std::atomic<std::uint8_t> table2{};
    std::atomic<std::uint8_t> vice{};
    // 0 no picked point, 2 rebuild list 28 (its builder then sets 1), 1 list 28 is drawn.
    std::atomic<std::uint8_t> pickedPoint{};
    std::atomic<std::uint8_t> basicShape{};
    // The stock display of each undo slot of the current stock.
    std::atomic<std::uint8_t> stock[kMaxStockUndoSlots] = {};
};
extern SceneDirtyFlags SceneDirty;

// Sets every flag of a group of lists that a new machine, new tools or new colours make stale.
void MarkMachineListsDirty();
void MarkAllSceneListsDirty();

// One stock slot's list names: rows (undo slots) of kStockBlockListRow names.
struct StockListNameTable {
    std::uint32_t* names = {};  // rows * kStockBlockListRow entries; owned, freed below
    std::int32_t rows = {};
};
// The tables of the 20 stock slots, owned by the view.
extern StockListNameTable StockListNames[kStockModelSlots];

// Allocates the table for the model's undo ring (ring size rows; an earlier table is freed
// first) and fills the first block-count entries of row 0 with the default names of the current
// stock index (CurrentStockIndex, not the slot the model lives in: callers allocate for the
// current stock). 1, or 0 when the memory could not be had or the model has no blocks (the
// table is then empty).
int AllocateModelListNames(const StockModel& model, StockListNameTable* table);
// Copies the previous undo slot's row (at slot 0, the row of the highest used slot) into the
// current slot's row, block-count entries, so that the new slot shares every list until a block
// changes. Nothing when the table has no such rows.
void CopyPreviousListNameRow(const StockModel& model, StockListNameTable* table);
// Frees the table's names (null-safe).
void FreeModelListNames(StockListNameTable* table);

}  // namespace mirexa
