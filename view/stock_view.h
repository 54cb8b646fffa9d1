// The view's side of a stock change made by the stock commands or a run: the stock's display
// lists and list names, the display scale and the rotation centre, the redraw.
#pragma once

#include "platform/window.h"

namespace mirexa {

struct StockModel;

// With the view's GL context current, deletes every display list of the model's stock slot that
// exists (1,000 per undo slot, ring size + 1 slots, from the stock-block base + 34). Nothing
// without a context.
void DeleteStockDisplayLists(const StockModel& model);

// The list-name table of the current stock for its undo ring; 1, or 0 when it could not be had.
int AllocateCurrentStockListNames();

// The new current stock is in place: DisplayUnitFactor from its largest extent (mm), every scene
// list and the stock's blocks dirty, the rotation centre on the stock and the zoom reset, then
// the view redrawn.
void ShowReplacedStock(WindowHandle view);

// A new undo slot of the current stock shares the previous slot's list names.
void CopyCurrentStockListNameRow();

// The stock of the current undo slot is rebuilt at the next paint (when a stock exists).
void MarkCurrentStockDirty();

// The stock, its cells or its frame changed (a cut, paint, move or turn): every block of the
// current undo slot is meshed again at the next paint, which follows at once.
void RedrawChangedStock(WindowHandle view);

// The undo point of a run: 1 when the current stock can take one (an undo ring of two slots or
// more, no stock operation running).
int CanPushRunUndoPoint();
// A new undo slot holding the current stock, sharing the previous slot's list names.
void PushRunUndoPoint();

}  // namespace mirexa
