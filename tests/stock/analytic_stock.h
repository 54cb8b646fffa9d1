// Test stocks built from analytic solids (unions of boxes, balls and Z cylinders) ray by ray, so
// that the three families agree at every node; node-sampled comparison of a model with a solid;
// and plain copies of whole models for before-and-after checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stock/stock_model.h"
#include "support/stock_invariants.h"

namespace mirexa {

// One solid: a box (min, max corners), a ball (centre, radius) or a cylinder along Z (centre
// x, y in the first two, radius, and z from lo to hi).
struct AnalyticPart {
    enum Kind { kBox, kBall, kZCylinder } kind = kBox;
    double a[3] = {};  // box min; ball or cylinder centre (cylinder: a[2] = z lo)
    double b[3] = {};  // box max; b[0] = radius (ball, cylinder), cylinder b[2] = z hi
};

struct AnalyticSolid {
    std::vector<AnalyticPart> parts = {};
    // The solid's chords on the line along `axis` through the point (the coordinate on the axis
    // is ignored): ascending, merged where they overlap or touch.
    std::vector<double> Chords(int axis, const double point[3]) const;
    // Signed distance of a point to a single part's surface (negative inside); for a union the
    // minimum over the parts (exact outside, a bound inside).
    double SignedDistance(const double point[3]) const;
};

AnalyticSolid BoxSolid(double x0, double y0, double z0, double x1, double y1, double z1);

// Builds the stock: node counts, pitch (mm), origin of node 0, identity frame, ring size 2, every
// ray filled with the solid's chords. Ends get the flag 0x21 and the stamp 7 when `marked`.
// Returns what the set-up returned (1 on success).
int BuildAnalyticStock(StockModel* model, const int nodes[3], double pitch, const double origin[3],
                       const AnalyticSolid& solid, bool marked = false);

// The ends of every ray of the three families (index 0 Z, 1 X, 2 Y by cell).
struct ModelRays {
    std::vector<std::vector<double>> family[3];
};
ModelRays CopyModelRays(const StockModel& model);

// The ray of family `axis` (0 X, 1 Y, 2 Z) at its fast and slow node indices: Z rays (x, y), X
// rays (y, z), Y rays (z, x).
DexelRay FamilyRay(const StockModel& model, int axis, int fast, int slow);

// Whether the point `at` along the ray lies inside a segment (ends included).
bool RayHolds(const std::vector<double>& ends, double at);
// The same on the model: the ray of family `axis` (0 X, 1 Y, 2 Z) through the node indices,
// at the coordinate `at` along its axis.
bool ModelHolds(const StockModel& model, int axis, const int node[3], double at);

// Checks every node of every ray of the three families: the ray holds the node exactly when the
// solid's signed distance there is negative, skipping nodes within `band` (mm) of the surface.
::testing::AssertionResult MatchesSolidAtNodes(const StockModel& model, const AnalyticSolid& solid,
                                               double band);

// True when every ray of `inner`, placed on `outer`'s grid by its node coordinates, lies inside
// material of the matching ray of `outer` (both grids share pitch and node lines).
::testing::AssertionResult ModelContains(const StockModel& outer, const StockModel& inner);

}  // namespace mirexa
