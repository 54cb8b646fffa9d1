// Picking and measuring in the 3D view: the model point under the cursor found in software by
// projecting dexel ends (or vice vertices) and choosing the one nearest the eye, the measuring
// trace with its deltas, distance and arc radii, and the rubber band of the rectangle zoom.
//
// Units: model points in mm (work coordinates); window positions in client pixels, y down;
// depths in display units towards the viewer (larger is nearer).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/window.h"
#include "stock/stock_model.h"
#include "view/camera.h"

namespace mirexa {

// Bounds of one pick's hit list.
constexpr int kMostStockHits = 10000;
constexpr int kMostViceHits = 100;
// The pixel distance within which a vice vertex is a hit.
constexpr double kViceHitRadius = 20.0;
// The front depth before any hit.
constexpr double kNoHitDepth = -99999999.0;
// The radius reported for three collinear points.
constexpr double kCollinearRadius = 100000.0;

// The current stock (StockModels[CurrentStockIndex]), or null when its slot holds no model.
StockModel* CurrentViewStock();

// One candidate of a pick.
struct PickHit {
    double point[3] = {};      // mm, work coordinates
    double depth = {};         // larger is nearer the eye
    double pixelTerm = {};     // pixel distance / DisplayUnitFactor * zoom
    std::int32_t family = {};  // 0 X, 1 Y, 2 Z rays; -1 a vice vertex
    std::int32_t a = {};       // the ray's fast and slow node index
    std::int32_t b = {};
    std::int64_t cell = {};
    std::int32_t end = {};
    std::int32_t info = {};  // the end's NC line stamp (0 for vice vertices)
};

// The one hit buffer of the view: reserved once for kMostStockHits records on the heap and
// reused by every pick (never on the stack).
std::vector<PickHit>& PickHitBuffer();

// The info word of the picked point (PickedPoint of marker_lists.h holds its coordinates).
extern std::int32_t PickedPointInfo;
// 1 when the last pick chose a stock end, 0 a vice vertex.
extern int PickedPointOnStock;

// Axis locks: at most one is set (the shell toggles them, clearing the others). With one set,
// only hits whose coordinate on that axis equals the picked point's are kept.
struct PickAxisLockState {
    int x = {};
    int y = {};
    int z = {};
};
extern PickAxisLockState PickAxisLocks;

// The pick radius in pixels: min(view height, max(1, width * zoom * 0.7 / the largest node
// count)).
double StockPickRadius(const ViewState& view, const StockModel& model);

// Collects the ends of the model near the cursor into hits (cleared first): Z rays first (node y
// outer, x inner), then X rays (z outer, y inner), then Y rays (x outer, z inner), ends in ray
// order. An end is placed by the stock frame (when not the identity), converted by
// ConvertMachineToWorkPosition and projected; points behind the eye are passed over. A hit lies
// in the square of half side r around the cursor at a distance below r. Stops at kMostStockHits.
// frontDepth gets the greatest hit depth (kNoHitDepth when none). Returns the hit count.
int PickStockSegmentEnds(const ViewState& view, const StockModel& model, int cursorX, int cursorY,
                         std::vector<PickHit>* hits, double* frontDepth);

// Collects the vertices of the loaded VICE models within kViceHitRadius pixels of the cursor,
// at most kMostViceHits. Returns the hit count.
int PickViceModelVertex(const ViewState& view, int cursorX, int cursorY, std::vector<PickHit>* hits,
                        double* frontDepth);

// Chooses among the hits (after the axis-lock filter) the one with the least
// sqrt(pixelTerm^2 + (frontDepth - depth)^2), the first among equals; -1 when none is left.
int ChooseNearestHit(const std::vector<PickHit>& hits, double frontDepth,
                     const PickAxisLockState& locks, const double picked[3]);

// Picks at the cursor of the view: in measure mode vice vertices when there is no stock, or
// shiftHeld (Shift as the click's message has it) with a VICE model loaded; otherwise the current
// stock's ends. 1 when a point is picked (a point equal to PickedPoint leaves everything as it
// was, list 28 not flagged again), 0 when nothing is near.
int PickAtCursor(int cursorX, int cursorY, bool shiftHeld);

// Fills StockCallbacks.pickStockSegmentEnds (the stock's removal picks through the view) and
// ViewCallbacks.drawSelectionRectangle.
void InstallPickingCallbacks();

// The stock point under a client point (display units, work coordinates) into point; when
// nothing is hit and fallback is set, point is moved in the view plane so that it lies under the
// cursor at its own depth. 1 when point was set from a hit, 2 by the fallback, 0 unchanged.
int ScreenToModelPoint(int x, int y, int fallback, double point[3]);

// ScreenToModelPoint at the pointer when it lies in the window's client area (0 <= x <= width,
// 0 <= y <= height); 0 when it does not.
int PickPointUnderCursor(WindowHandle window, int fallback, double point[3]);

// Planes of ArcRadiusThrough3Points.
constexpr int kArcSpace = -1;
constexpr int kArcPlaneYZ = 0;
constexpr int kArcPlaneZX = 1;
constexpr int kArcPlaneXY = 2;

// The radius of the circle through three points (the plane's dropped axis taken as 0), or
// kCollinearRadius when the determinant of the centre's system is 0.001 or less in magnitude.
double ArcRadiusThrough3Points(int plane, const double p1[3], const double p2[3],
                               const double p3[3]);

// The measuring trace. Its tables are owned by whoever binds them (the shell's start-up
// buffers); unbound, nothing is recorded.
struct MeasureTraceState {
    double* points = {};       // capacity * 3 doubles, mm
    std::uint8_t* marks = {};  // capacity bytes: 1 for a used slot
    int capacity = {};
    int count = {};
    double delta[3] = {};  // picked minus the previous point, mm
    double distance = {};  // mm
    double radii[4] = {};  // space, YZ, ZX, XY (mm)
};
extern MeasureTraceState MeasureTrace;
constexpr int kTraceCapacity = 10000;

// Binds the trace to tables of capacity points (at most kTraceCapacity are used); count 0.
void BindTraceTables(double* points, std::uint8_t* marks, int capacity);
// Empties the trace (count 0).
void ClearMeasureTrace();

// Appends the picked point to the trace and refreshes the panel (ViewHooks::drawTracePanes):
// nothing without a stock or VICE model; in measure mode with two points recorded the four radii
// through them and the picked point, else 0; below the capacity the slot is marked and the point
// stored, with deltas and distance from the previous point in measure mode (else 0), and in
// measure mode the count grows. Returns 1 when a point was stored.
int RecordTracePoint();

// Draws the rubber band of the rectangle zoom (a red line loop, width 2, at depth -1 in device
// coordinates) when its corners differ; the line width goes back to 1.
void DrawSelectionRectangle();

}  // namespace mirexa
