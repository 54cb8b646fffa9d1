// The view's side of a stock change: display lists, list names, scale, centre and redraw.
#include "view/stock_view.h"
#include "view/kept_stock_frame.h"

#include <GL/gl.h>

#include <algorithm>

#include "config/config_records.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stock/stock_operation_support.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/picking.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_window.h"

namespace mirexa {

namespace {

int CurrentSlot() {
    const int index = CurrentStockIndex.load();
    return index >= 0 && index < kStockModelSlots ? index : 0;
}

void MarkStockSlotDirty(const StockModel& model) {
    const int slot = model.undo.currentSlot;
    if (slot >= 0 && slot < kMaxStockUndoSlots) {
        SceneDirty.stock[slot] = 1;
    }
}

}  // namespace

void DeleteStockDisplayLists(const StockModel& model) {
    if (DisplayListBase == 0 || !MakeViewContextCurrent()) {
        return;
    }
    const int slots = std::min(model.undo.size + 1, kMaxStockUndoSlots);
    const int stock = CurrentSlot();
    for (int slot = 0; slot < slots; ++slot) {
        for (int block = 0; block < kStockBlockListRow; ++block) {
            const std::uint32_t name = DefaultStockBlockListName(stock, slot, block);
            if (glIsList(name)) {
                glDeleteLists(name, 1);
                ++SceneListGeneration;
            }
        }
    }
}

int AllocateCurrentStockListNames() {
    return AllocateModelListNames(StockModels[CurrentSlot()], &StockListNames[CurrentSlot()]);
}

void ShowReplacedStock(WindowHandle view) {
    StockModel& model = StockModels[CurrentSlot()];
    if (model.nx > 0 && model.maxCorner != nullptr && model.minCorner != nullptr) {
        double extent = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            extent = std::max(extent, model.maxCorner[axis] - model.minCorner[axis]);
        }
        if (extent > 0.0) {
            DisplayUnitFactor = extent;
        }
    }
    MarkAllSceneListsDirty();
    for (auto& slot : SceneDirty.stock) {
        slot = 1;
    }
    // A new grid starts with clean blocks, and the lists of the old stock are gone: every block
    // of the new one is meshed, whatever the lists were last built for.
    StyleListState[CurrentSlot()] = StyleListRecord{};
    if (model.nx > 0) {
        MarkStockDisplayDirty(&model);
    }
    SetRotationCentre(&CurrentView);
    CurrentView.zoom = 1.0;
    CurrentView.viewChanged = 1;
    RedrawView(view);
}

void CopyCurrentStockListNameRow() {
    CopyPreviousListNameRow(StockModels[CurrentSlot()], &StockListNames[CurrentSlot()]);
}

void MarkCurrentStockDirty() {
    const StockModel& model = StockModels[CurrentSlot()];
    if (model.nx > 0) {
        MarkStockSlotDirty(model);
    }
}

void RedrawChangedStock(WindowHandle view) {
    // The block lists hold points through the stock's frame: a moved or turned stock, like a
    // changed one, is meshed again in every block.
    StockModel& model = StockModels[CurrentSlot()];
    if (model.nx > 0) {
        MarkStockDisplayDirty(&model);
    }
    CurrentView.viewChanged = 1;
    RedrawView(view);
}

int CanPushRunUndoPoint() {
    const StockModel* model = CurrentViewStock();
    return Settings.undoRingSize >= 2 && model != nullptr && !StockOperationRunning.load() ? 1 : 0;
}

void PushRunUndoPoint() {
    StockModel* model = CurrentViewStock();
    if (model == nullptr) {
        return;
    }
    PushStockUndo(model);
    CopyPreviousListNameRow(*model, &StockListNames[CurrentSlot()]);
    MarkStockSlotDirty(*model);
}

}  // namespace mirexa
