// Stock loading: a stock file (".DME", ".DMF" or ".STL") becomes a StockModel, with its frame,
// grid, material bounds and face flags, through one dispatch and one common tail. Also the box
// transform of material bounds, the matrix file that places an STL stock, its debug dump, and
// the bounds of an STL file.
//
// Return codes of every loader: 1 loaded; kStockFileDataError for bad or unreadable data, an
// unknown file kind, or an empty mesh (the shell shows "Data Destroyed!"); any other negative
// code is a grid that cannot be built or does not fit in memory (the shell shows "Memory over!").
// On every failure the model holds nothing: its arrays are released and nx is 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/window.h"
#include "stock/stock_model.h"
#include "stockio/stl_import.h"

namespace mirexa {

constexpr int kStockFileDataError = -20;
// A grid larger than the configured cell limit, or whose node counts do not fit 32 bits.
constexpr int kStockGridTooLarge = -1;

// Settings the loaders read. The configuration fills them from its settings ("STL MATRIX",
// "CHECK MATRIX", "STL FILTER") and STL import settings before a load.
struct StockLoadSettings {
    StlImportAdjustments stlAdjustments = {};
    std::string matrixPath = {};  // frame of an imported STL stock; at most 63 characters used
    int checkMatrix = {};         // 1: LoadStockModel's caller dumps the frame to "matrix.txt"
    int stlFilter = {};           // 1: height-map imports repair isolated missed heights
    // Most rays (cells of the three families together) a loaded grid may have; larger grids
    // are refused with kStockGridTooLarge before anything is allocated.
    std::uint64_t maxGridCells = 1'000'000'000;
};
extern StockLoadSettings StockLoadOptions;

// Frees whatever the model holds, marks it empty (nx = 0) and returns code.
int AbandonStockLoad(StockModel* model, int code);

// Why a load refused its file: the loaders note it where they refuse into the load's problem text
// (null: not kept), which ReportStockLoadFailure shows behind "Data Destroyed!". Only the first
// note of a load is kept.
void NoteStockLoadProblem(std::string* problem, const std::string& reason);

// 1 when a grid of nx * ny * nz nodes has more rays (nx*ny + ny*nz + nx*nz) than
// StockLoadOptions.maxGridCells allows (counted in 64 bits).
int ExceedsGridCellLimit(std::int32_t nx, std::int32_t ny, std::int32_t nz);

// Sets up and allocates the grid whose node counts, pitch and origin a loader has set: display
// blocks of 5 x 5 x 5 cells or, with singleBlock, one block for the whole grid; then the undo
// ring and node tables. 1, or the negative code of the step that failed.
int BuildLoadedGrid(StockModel* model, bool singleBlock);

// Loads with the identity frame; see LoadStockModelFile.
int LoadStockModel(WindowHandle owner, StockModel* model, std::string_view path, double pitch,
                   int referenceDirection, std::string* problem = nullptr);

// Loads the file into the model, chosen by the path's extension (any case): ".DME" and ".DMF"
// (the frame is the given one for ".DMF"; ".DME" carries its own), ".STL" (the frame is
// replaced from the matrix file when one is set; pitch in mm; reference direction 0 standard
// conversion, +-1, +-2, +-3 height map seen from +-X, +-Y, +-Z). Any other path, a path too
// short for an extension included, is refused with kStockFileDataError. The model's previous
// contents are released first; its undo ring size is kept (the caller sets it). On success the
// tail has set the reserved group, the derived frame fields and emptied status-bar part 0. On a
// refusal *problem (cleared first; null: not kept) says why, when the reader said.
int LoadStockModelFile(WindowHandle owner, StockModel* model, std::string_view path,
                       const StockFrame& frame, double pitch, int referenceDirection,
                       std::string* problem = nullptr);

// Tells the user why a load failed, in a box kept on top (logged instead in automatic mode):
// kStockFileDataError "Data Destroyed!" (followed by " - " and the problem the load noted, when
// it noted one) with the caption "Data error"; any other negative code
// "Memory over!" with the caption "Data size error". Nothing for a result of 1 or more.
void ReportStockLoadFailure(int result, const std::string& problem = {});

// The finishing steps shared by every load: reserved group (last node indices, 0, 0.0),
// inverse orientation, negated offset and frame flag, and an empty status-bar part 0.
void FinishLoadedStock(StockModel* model);

// Replaces the box (min and max corner, in and out) by the axis-aligned bounds of its 8 corners
// placed by the frame. A box with min above max on an axis (no material) is left unchanged.
void TransformBoxToBounds(const StockFrame& frame, double minCorner[3], double maxCorner[3]);

// Reads the matrix file named by StockLoadOptions.matrixPath: 12 numbers, one per line (CRLF or
// LF), into the frame. The frame changes only when all 12 parsed, are finite and the 3x3 part
// is invertible; otherwise it is left as it was and the reason is logged. 1 when the frame was
// replaced, 0 when no file is set, it cannot be opened or it was refused.
int ReadMatrixFile(StockFrame* frame);

// With StockLoadOptions.checkMatrix on, writes the 12 frame values, "%f\n" each, to
// "matrix.txt" in the working directory. 1 written, 0 not asked for or not writable.
int WriteMatrixDebug(const StockFrame& frame);

// Bounds of every vertex of an STL file (binary vertex floats below 1e-14 taken as 0), after the
// vertex adjustments of the STL import settings when they are on. 1 with the corners set;
// kStockFileDataError when the format is unknown, the file cannot be read or holds no facet.
struct StlFileBounds {
    double minCorner[3] = {};
    double maxCorner[3] = {};
};
int GetStlFileBounds(int format, std::string_view path, StlFileBounds* bounds);

}  // namespace mirexa
