// The ".DME" stock file: a complete dump of a tri-dexel stock (frame, grid, and every ray of the
// Z, Y and X families with ends, end flags and line stamps), read and written.
//
// Layout, little-endian: "V1.0" and eight blanks (12 bytes); the frame as 12 f64; nx, ny, nz as
// i32; the pitch and the grid origin as f64; then the cells of the Z family (nx * ny, index
// iy * nx + ix), the Y family (nx * nz, index ix * nz + iz) and the X family (ny * nz, index
// iz * ny + iy). A cell is an i32 count c, c f64 ends, c u8 flags and c i32 line stamps. A file
// whose first four bytes are not "V1.0" (any case) is the legacy form: no frame (identity), nx
// at byte 12.
#pragma once

#include <cstdio>
#include <string_view>

#include "stock/stock_model.h"
#include "stockio/binary_file.h"

namespace mirexa {

// Bytes of the head of a current file, up to the first cell.
constexpr int kDmeHeadBytes = 152;

// What reading one family finds about its material along the ray axis.
struct DexelFamilyBounds {
    double highest = -99999999999.0;  // highest last end (before clipping to the grid)
    double lowest = 99999999999.0;    // lowest first end
    int belowUpper = {};              // 1: some ray's material ends below the upper grid bound
    int aboveLower = {};              // 1: some ray's material starts above the lower grid bound
};

// Reads every cell of the family (whose arrays are allocated and empty) from the input. Each
// cell is checked before it is stored: a count that is negative, odd or larger than the bytes
// left can hold, non-finite ends and descending ends make the read fail.
// Ends are clipped to [lower, upper] pair by pair (pairs outside are dropped; an end moved to a
// bound keeps flag 0 and stamp 0). A ray left empty by the clip counts as not reaching either
// bound. 1, or 0 on bad or missing data (cells read so far stay stored; the caller frees the
// model).
int ReadDexelFamily(BinaryInput* input, DexelFamily* family, double lower, double upper,
                    DexelFamilyBounds* bounds);

// Writes every cell of the family (its current arrays) in the cell layout. 1, or 0 when the
// stream refused a write.
int WriteDexelFamily(std::FILE* stream, const DexelFamily& family);

// Reads a ".DME" file into the model (whose ring size is set; anything it held is released
// first): frame (snapped), grid, the three families, material bounds in local coordinates and
// face flags. The head is validated before anything is allocated: node counts of at least 2, a
// pitch a stock is built with (DexelPitchUsable), a finite frame, a grid within
// kStockCoordinateLimit of the origin, and at least 4 bytes per cell left in the file. Material
// bounds of a family without any end fall back to the grid's bounds on that axis. 1;
// kStockFileDataError (-20) for a file that cannot be read or holds bad or truncated data; the
// grid's negative code when it cannot be built. On failure the model is released and nx is 0. The
// caller transforms the bounds and runs the common tail. A refusal notes why in *problem (null:
// not kept).
int ReadDmeStock(StockModel* model, std::string_view path, std::string* problem = nullptr);

// Writes the model (its current undo slot) as a ".DME" file. 1, or 0 when the model holds no
// grid or the file cannot be written completely.
int WriteDmeFile(const StockModel& model, std::string_view path);
// The same bytes into an open stream (its buffer is set here, so call it before any other use
// of the stream); the stream is neither flushed nor closed. 1, or 0 when a write failed or the
// model holds no grid.
int WriteDmeStream(const StockModel& model, std::FILE* stream);

}  // namespace mirexa
