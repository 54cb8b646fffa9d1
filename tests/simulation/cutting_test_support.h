// Helpers of the cutting tests: box stocks, tools given by their section values, per-family
// material volumes with the cutting core's cell weights, and a cut that keeps the volume books
// and checks the stock's invariants after every call.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "simulation/cutting_core.h"
#include "stock/stock_model.h"
#include "support/saved_globals.h"

namespace mirexa::testing {

// A box stock (min x, y, z, max x, y, z, mm) with the identity frame and the given ring size;
// fails the test when it cannot be built.
void BuildBoxStock(StockModel* model, const double box[6], double pitch, int ringSize = 1);

// Section values of simple tools (mm); the cutting length defaults to far above any stock.
CutterSections FlatTool(double diameter, double cuttingLength = 1000.0);
CutterSections BallTool(double diameter);
CutterSections BullTool(double diameter, double cornerRadius);
// A pointed tool (KEGAKI) whose tip cone rises by tipTangent per unit of radius.
CutterSections VeeTool(double diameter, double tipTangent);

// The material of one family (DexelViewIndex) in mm^3: segment lengths times the cell weight of
// the cutting core (pitch^2, halved on border rows and columns).
double FamilyMaterial(const StockModel& model, int viewIndex);

// Keeps the books of a run of cuts: the material of each family at the start and the sum of
// each view's removed volume over the calls.
struct VolumeBooks {
    double start[3] = {};
    double removed[3] = {};
    std::int64_t cuts = {};
};
void OpenVolumeBooks(const StockModel& model, VolumeBooks* books);
// Removed plus remaining equals the start, per family, to rounding.
::testing::AssertionResult VolumeBooksBalance(const StockModel& model, const VolumeBooks& books);

// The volume the last CutAndCheck removed (mm^3).
extern double LastCutVolume;

// The mark the tests' cuts give the new ends (pen 3, line 7 while a ScopedCuttingState stands).
extern CutEndMarkRecord CutMark;

// One cut as the simulation thread makes it: the flags cleared, the cut (its volume kept in
// LastCutVolume), the books kept, and the stock invariants (families in agreement when solid)
// checked.
::testing::AssertionResult CutAndCheck(StockModel* model, const double point[3],
                                       const double axis[3], VolumeBooks* books, bool solid = true);

// The Z ray at node (ix, iy): its top end, or -1e300 when it is empty.
double ZRayTop(const StockModel& model, int ix, int iy);
// 1 when the family's ray holds material strictly inside at coordinate c along it.
bool RayHasMaterialAt(const DexelFamily& family, std::int64_t cell, double c);

// The switches that decide whether a run draws (automatic mode, run log, suppressed drawing) set
// as for a user watching the window: every step may ask for a redraw.
void WatchRunDrawing();

// Restores the cutting inputs (tool, marks, checks, motion, switches, the kinematics' tool
// values) when the test ends; the tool values start cleared.
struct ScopedCuttingState {
    ScopedCuttingState();
    ~ScopedCuttingState();
    SavedGlobals saved;
};

}  // namespace mirexa::testing
