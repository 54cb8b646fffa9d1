// Stock pose on a turned table: the frame of a freshly built stock turned by the work origin's
// rotary angles about the table axes, with the derived frame fields refreshed.
#pragma once

#include "stock/stock_model.h"

namespace mirexa {

// Turns the model's StockFrame by the rotary angles of the work origin (deg, with the direction
// signs of CurrentMachine's rotary axes), by CurrentMachine's rotary type:
//  - 2 (table-table): each orientation row r becomes R2(R1(r)), the offset o becomes
//    R2(R1(o - TP) - TO) + TO + TP (TP table position, TO table offset);
//  - 3 (mixed): each row becomes R2(r), the offset R2(o - TP) + TP;
//  - any other type: the frame is unchanged.
// R1 turns about rotary axis 1 with its tilt, R2 plainly in axis 2's plane. Then, for every type,
// the inverse orientation, negated offset and frame flag are recomputed (RefreshStockFrame) and
// the current slot's material corners are set from the turned material. The turn compounds: the
// caller applies it once, to a stock just built with the identity frame.
void UpdateStockPose(StockModel* model);

}  // namespace mirexa
