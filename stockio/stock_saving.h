// Saving a stock: the complete tri-dexel model as a ".DME" file, or its extracted surface as an
// ".STL" file in one of the three STL encodings. A save never leaves a half-written file under
// the target name: the file is written beside it under a temporary name of its own
// (platform/file_replacement.h) and put in place only when every write, the count's seek and the
// close succeeded.
#pragma once

#include <string_view>

#include "stock/stock_model.h"

namespace mirexa {

// Results of SaveStockFile.
constexpr int kStockSaveDone = 1;
constexpr int kStockSaveNotStockPath = 0;  // neither ".DME" nor ".STL": nothing written
constexpr int kStockSaveOpenError = -1;    // the file could not be created (unwritable path)
constexpr int kStockSaveWriteError = -2;   // a write, seek, close or the final rename failed
constexpr int kStockSaveNoModel = -3;      // the model holds no grid
constexpr int kStockSaveNoMemory = -4;     // the memory ran out while the file was written
constexpr int kStockSaveNotFinite = -5;    // a surface coordinate is not finite: nothing written

// Saves the model (only read) to the path, whose type follows from its last four characters,
// compared without regard to case: ".DME" writes the model (its current undo slot) with
// WriteDmeFile; ".STL" writes the surface of ExtractStockMesh, in the encoding writeMode
// (kStlWriteAscii, kStlWriteBinary or kStlWriteSwapped; ignored for ".DME"). With relative set
// and an origin other than exactly (0, 0, 0), every STL vertex is written minus the origin (mm).
// threads is the extraction's worker count (0: one per processor); the file is the same for
// every count. On failure the file that the path named before is left as it was, and nothing
// else remains. Returns one of the codes above; the caller tells the user (or logs it in
// automatic mode). After kStockSaveOpenError and kStockSaveWriteError, errno tells why.
int SaveStockFile(const StockModel& model, std::string_view path, int writeMode, int relative,
                  const double origin[3], int threads = 0);

}  // namespace mirexa
