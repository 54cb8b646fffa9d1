// Display-list numbering, the scene's dirty flags and the stock list-name tables.
#include "view/display_lists.h"

#include <cstdlib>
#include <cstring>

namespace mirexa {

std::uint32_t DisplayListBase = 0;
SceneDirtyFlags SceneDirty;
StockListNameTable StockListNames[kStockModelSlots];

std::uint32_t FixedListName(int id) {
    if (DisplayListBase == 0 || id < 1 || id >= static_cast<int>(kStockListOffset)) {
        return 0;
    }
    return DisplayListBase + static_cast<std::uint32_t>(id);
}

std::uint32_t DefaultStockBlockListName(int stockIndex, int undoSlot, int block) {
    return DisplayListBase + kStockListOffset +
           static_cast<std::uint32_t>(stockIndex) * kStockListsPerStock +
           static_cast<std::uint32_t>(undoSlot) * kStockBlockListRow +
           static_cast<std::uint32_t>(block);
}

std::uint32_t StyleListName(int stockIndex) {
    return DisplayListBase + kStyleListOffset + static_cast<std::uint32_t>(stockIndex);
}

void MarkMachineListsDirty() {
    SceneDirty.machineBase = 1;
    SceneDirty.headParts = 1;
    SceneDirty.head1 = 1;
    SceneDirty.head2 = 1;
    SceneDirty.tableParts = 1;
    SceneDirty.table1 = 1;
    SceneDirty.table2 = 1;
    SceneDirty.vice = 1;
}

void MarkAllSceneListsDirty() {
    MarkMachineListsDirty();
    SceneDirty.triad = 1;
    SceneDirty.axes = 1;
    SceneDirty.tools = 1;
    SceneDirty.path = 1;
    SceneDirty.pathNoRotary = 1;
    SceneDirty.basicShape = 1;
}

int AllocateModelListNames(const StockModel& model, StockListNameTable* table) {
    FreeModelListNames(table);
    const int rows = model.undo.size < 1 ? 1 : model.undo.size;
    if (model.blocks.count < 1 || rows > kMaxStockUndoSlots) {
        return 0;
    }
    auto* names = static_cast<std::uint32_t*>(
        std::calloc(static_cast<std::size_t>(rows) * kStockBlockListRow, sizeof(std::uint32_t)));
    if (names == nullptr) {
        return 0;
    }
    int stock = CurrentStockIndex.load();
    if (stock < 0 || stock >= kStockModelSlots) {
        stock = 0;
    }
    const int count =
        model.blocks.count < kStockBlockListRow ? model.blocks.count : kStockBlockListRow;
    for (int block = 0; block < count; ++block) {
        names[block] = DefaultStockBlockListName(stock, 0, block);
    }
    table->names = names;
    table->rows = rows;
    return 1;
}

void CopyPreviousListNameRow(const StockModel& model, StockListNameTable* table) {
    const int current = model.undo.currentSlot;
    const int previous = current == 0 ? model.undo.highestUsedSlot : current - 1;
    if (table->names == nullptr || current < 0 || current >= table->rows || previous < 0 ||
        previous >= table->rows || previous == current) {
        return;
    }
    const int count =
        model.blocks.count < kStockBlockListRow ? model.blocks.count : kStockBlockListRow;
    if (count < 1) {
        return;
    }
    std::memcpy(table->names + static_cast<std::size_t>(current) * kStockBlockListRow,
                table->names + static_cast<std::size_t>(previous) * kStockBlockListRow,
                static_cast<std::size_t>(count) * sizeof(std::uint32_t));
}

void FreeModelListNames(StockListNameTable* table) {
    std::free(table->names);
    table->names = nullptr;
    table->rows = 0;
}

}  // namespace mirexa
