// What the whole-stock operations (offset, clipping, pose, removal of cut-off pieces, difference
// painting) share: growable ray work lists, the families addressed by their ray axis, the guard
// that marks a running operation, progress per row, and the finishing steps of a new model.
#pragma once

#include <atomic>
#include <cstdint>

#include "stock/dexel_intervals.h"
#include "stock/stock_model.h"

namespace mirexa {

// Result codes of the whole-stock operations besides their own (1 success, 0 nothing done).
constexpr int kStockOperationBusy = -40;          // another stock operation is running
constexpr int kStockOperationMemoryError = -41;   // the memory check or an allocation failed
constexpr int kStockOperationGridMismatch = -42;  // two models that must share a grid do not

// --- Work lists ----------------------------------------------------------------------------

// A ray work list (stock/dexel_intervals.h) that an operation keeps for its whole run and that
// is released when it goes out of scope.
struct HeldDexelWorkList {
    DexelWorkList list = {};
    HeldDexelWorkList() = default;
    ~HeldDexelWorkList();
    HeldDexelWorkList(const HeldDexelWorkList&) = delete;
    HeldDexelWorkList& operator=(const HeldDexelWorkList&) = delete;
};

// Sets every flag and line stamp of the list's count entries to 0 (unpainted, no pen, made by
// no NC line): how the offsets write every ray they rewrite.
void ZeroDexelWorkListMarks(DexelWorkList* list);

// --- Families by ray axis ------------------------------------------------------------------
// Axis 0 is the X family, 1 the Y family, 2 the Z family. A family's fast (inner) node axis is
// (axis + 1) % 3 and its slow (outer) one (axis + 2) % 3: Z rays (x, y), X rays (y, z), Y rays
// (z, x), so cell = node[slow] * count[fast] + node[fast].

DexelFamily* FamilyOfAxis(StockModel* model, int axis);
const DexelFamily& FamilyOfAxis(const StockModel& model, int axis);
int NodeCountOfAxis(const StockModel& model, int axis);
// The model's node coordinate table of the axis (mm).
const double* NodeTableOfAxis(const StockModel& model, int axis);
// The cell of the ray of family `axis` through the node with these indices (node[axis] unused).
std::int64_t CellOfNode(const StockModel& model, int axis, const int node[3]);

// True when both models have the same node counts, pitch and origin, so that their rays share
// cell indices and node coordinates.
bool StockGridsMatch(const StockModel& a, const StockModel& b);

// --- Running operation ---------------------------------------------------------------------

// Non-zero while a whole-stock operation runs on the user-interface thread. The operations
// pump messages between rows, so a command dispatched from inside one could free or replace the
// stock it works on: the shell refuses every stock-changing command while this is set, and the
// operations refuse to start inside one another.
extern std::atomic<int> StockOperationRunning;

// Holds the running-operation mark for its lifetime when it could take it.
struct StockOperationScope {
    int acquired = {};
    StockOperationScope();
    ~StockOperationScope();
    StockOperationScope(const StockOperationScope&) = delete;
    StockOperationScope& operator=(const StockOperationScope&) = delete;
};

// --- Progress, messages and finishing ------------------------------------------------------

// Starts a progress run of the operation on the main window with the two captions.
void BeginStockProgress(std::uint64_t total, const char* captionJapanese,
                        const char* captionEnglish);
// After one row of rays: adds the work, refreshes the display and, when message pumping is
// enabled, runs the message pump.
void AdvanceStockProgress(std::int64_t work);

// Shows a message box (kept on top) in the user's language through the stock hooks.
void ShowStockMessage(const char* textEnglish, const char* textJapanese, const char* captionEnglish,
                      const char* captionJapanese);

// Sets every display block of the model dirty, so that the view rebuilds all of them.
void MarkAllStockBlocksDirty(StockModel* model);

// Sets the current slot's material corners (work coordinates) to the bounds of the material's
// local extent box placed by the frame. A model without material keeps its corners.
void SetStockCornersFromExtent(StockModel* model);

// Sets the current slot's face flags from the rays: a face gets 1 when some ray with ends stops
// short of it (first end above the first node, or last end below the last node of its axis).
void SetStockFaceFlagsFromRays(StockModel* model);

}  // namespace mirexa
