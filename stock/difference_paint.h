// Difference painting: the current stock is compared ray by ray with the comparison model (the
// basic model on the same grid, grown or shrunk by the allowance, kept while the area and the
// allowance stay the same) and painted where it stands outside the grown model (PLUS) or lies
// strictly inside the shrunk one (MINUS), optionally widened to every end within a radius.
#pragma once

#include <cstdint>

#include "stock/stock_model.h"

namespace mirexa {

// The command's settings ("DIFFERENCE ..." keys of the settings file and the dialog
// IDD_PAINT_DIFFERENCE), handed in by the caller.
struct DifferencePaintSettings {
    int areaSign = 1;           // +1 PLUS (stock left outside), -1 MINUS (cut too deep)
    double allowance = 0.1;     // mm; a negative value swaps growing and shrinking
    int penMode = 0;            // 0 the paint bit (PENKI), 1 the difference pen
    int pen = 1;                // 1..15
    int targetPenOn = 0;        // 1: only ends of the target pen are painted
    int targetPen = 1;          // 1..15
    int clearPrevious = 1;      // 1: earlier difference colour is cleared first
    double emphasisRadius = 0;  // mm; above 0 every end within it of a marked end is painted
};

// What the comparison model was last built with. The sign starts at 0, so that the first
// painting builds it; `builds` counts the builds.
struct ComparisonModelBuild {
    int areaSign = 0;
    double allowance = 0.1;
    std::int64_t builds = 0;
};
extern ComparisonModelBuild ComparisonBuild;

// The command on the stock side: loads BasicModel onto the current stock's grid through the
// loadBasicModel hook when none is loaded (a failure ends here with its code), runs
// PaintDifference, reports a memory shortage ("Memory over!", also counted by
// NoteMemoryShortage) or a basic model off the stock's grid in a message box, and on success
// marks every display block dirty. The caller shows the
// dialog and pushes an undo state before.
int PaintDifferenceWithBasicModel(StockModel* current, const DifferencePaintSettings& settings);

// Paints the differences between the current stock and the basic model:
//  a. (re)builds ComparisonModel unless it holds a model on the current grid built with the
//     same sign and allowance;
//  b. marks the ends of every ray against the comparison ray of the same cell (progress
//     "差分反映中" / "Painting Difference", one unit per row);
//  c. clears earlier marks when asked (pen mode without target: the difference pen's number;
//     paint mode with target: the paint bit of the target pen's ends; paint mode without
//     target: every paint bit; pen mode with target: nothing);
//  d. paints the marked ends (ApplySavedMarks), or around them (PaintEmphasis).
// Only flags of the current stock change, never counts or end values. Returns 1;
// kStockOperationGridMismatch when the basic model's node counts, pitch or origin differ from
// the stock's (nothing is read); kStockOperationMemoryError when the comparison model or the
// mark arrays (with their blocks of long rays) do not fit (the comparison model is then released,
// nx = 0, and the stock is unchanged); kStockOperationBusy inside another stock operation;
// kStockDefinitionError without a stock or basic model.
int PaintDifference(StockModel* current, const StockModel& basic,
                    const DifferencePaintSettings& settings);

// The offset of a comparison model on the basic model's own grid: the destination holds the
// copy of the source; d > 0 grows with the Normal ball sweeps clamped to the grid, every ray
// then cut to [first node - 0.1, last node + 0.1] of its axis; d <= 0 shrinks. Then the
// clean-up. 1, or kStockOperationMemoryError.
int OffsetComparisonModel(const StockModel& source, int k, double value, StockModel* destination);

// Every ray's flags set to 0.
void ClearAllDexelFlags(StockModel* model);
// Clears the paint bit of every end whose pen number is `pen`.
void ClearPaintBitsOfPen(StockModel* model, int pen);
// The flag of a painted end: pen mode (flag & 0x0F) | pen << 4, paint mode flag | 1.
std::uint8_t PaintDifferenceFlag(std::uint8_t flag, const DifferencePaintSettings& settings);
// Paints every marked end (only those of the target pen when one is set).
void ApplySavedMarks(StockModel* model, const DexelFlagCopies& marks,
                     const DifferencePaintSettings& settings);
// For every marked end, paints every end within the emphasis radius of it (the target pen does
// not apply). Progress "強調範囲反映中" / "Painting emphasis" per row.
void PaintEmphasis(StockModel* model, double radius, const DexelFlagCopies& marks,
                   const DifferencePaintSettings& settings);
// Paints every end whose point lies within radius of the point (local mm, ends included).
void MarkEndsInSphere(StockModel* model, const double point[3], double radius,
                      const DifferencePaintSettings& settings);

}  // namespace mirexa
