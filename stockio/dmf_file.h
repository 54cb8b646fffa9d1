// The ".DMF" stock file: a height map (one height per XY grid node above a common bottom, with
// optional per-node end flags and line stamps), read only. The X and Y families are built from
// the heights by level crossings.
//
// Layout, little-endian, a 156-byte head then the data:
//   0: 16 bytes not interpreted;  16: 12 f64 values;  112 / 116: i32 nx / ny;  120: i32 not
//   interpreted;  124: f64 pitch;  132: f64 not interpreted;  140: f64 scale (0: heights are
//   f32, else i32 times the scale);  148: i32 layers (1: a flag byte per height, 2 or more:
//   also a 4-byte line stamp);  152: i32 single (non-zero: one height for every node).
// Data: the heights (ny rows of nx, or one), the flag bytes, the line stamps (as layers asks),
// two i32 not interpreted, the bottom in the height encoding.
// Origin: values 9 and 10 when values 0-8 are exactly the identity, else values 3 and 7; z0 is
// the bottom.
#pragma once

#include <string_view>

#include "stock/stock_model.h"

namespace mirexa {

constexpr int kDmfHeadBytes = 156;

// Reads a ".DMF" file into the model (ring size set; anything it held is released first): the
// frame is the given one snapped; nz = ceil((highest - bottom) / pitch) + 1, at least 2; each Z
// ray holds (bottom, height) as f32 values with the node's flag and stamp on the top end; a
// height below the bottom leaves its Z ray empty; the X and Y families follow from the heights.
// Material bounds (local coordinates) span the grid's XY extent and bottom..highest; face flags
// 1 except Z min. The head and the data size are validated before anything is allocated: nx
// and ny of at least 2, a pitch a stock is built with (DexelPitchUsable), a finite scale, a grid,
// heights and bottom within kStockCoordinateLimit of the origin, the whole data section inside
// the file. 1; kStockFileDataError (-20) for a file
// that cannot be read or holds bad or truncated data; kStockGridTooLarge or the grid's code when
// it cannot be built. On failure the model is released and nx is 0. The caller runs the tail.
int ReadDmfStock(StockModel* model, std::string_view path, const StockFrame& frame);

}  // namespace mirexa
