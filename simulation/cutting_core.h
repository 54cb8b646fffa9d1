// The cutting core: removes from a stock the material that the current tool occupies at one pose,
// ray by ray on the three dexel families, marks the new ends with the pen and the NC line, adds
// up the removed volume, marks the changed display blocks and feeds the height and chip-width
// measures.
//
// Units: mm, mm^2 (cell weights), mm^3 (volumes). The tool is a stack of section solids of
// revolution about its axis (simulation/section_solids.h); which solids make up which shape is
// told with CutDexelGrid in the .cpp.
//
// Threads: the cut is called on one thread (the simulation thread during a run); the
// user-interface thread reads the stock only while a redraw handshake is pending. Inside a call
// the rows of the three families' windows are spread over the cutting state's threadCount threads
// of a persistent pool (platform/task_pool.h), which read the state's cutter and pose through the
// pointer the call hands them: rows are independent (each ray is cut by one thread,
// with its own row state and buffers), each row's removed volume is kept apart and the rows are
// added in row order, the dirty blocks and measures are gathered per run of rows and applied on
// the calling thread. So the ends, pens, line stamps, volumes, flags and dirty blocks are
// bit-identical whatever the thread count.
#pragma once

#include <atomic>
#include <cstdint>

#include "simulation/dexel_grid_view.h"

namespace mirexa {

struct CurrentToolRecord;
struct CuttingState;
struct NcSession;

// The values of the current tool that the section solids read (CuttingState::cutter). Filled from
// the current tool's derived geometry whenever the tool changes; tests fill it directly. Lengths in
// mm, measured from the tip along the axis; radii from the axis.
struct CutterSections {
    std::int32_t shape = {};         // ToolShapeType: 1 BALL ... 9 RADIUS, 99 KEGAKI
    double diameter = {};            // D
    double cornerRadius = {};        // r, negative for a concave corner
    double flatRadius = {};          // radius where the corner arc meets the bottom
    double cornerCentreRadius = {};  // E: radial distance of the corner-arc centre
    double cornerCentreHeight = {};  // F: its height above the tip (p1)
    double cornerTopRadius = {};     // radius where the side leaves the corner arc
    double topRadius = {};           // radius at the top of the cutting part (the body)
    double tipConeHeight = {};       // height of the tip cone (0: no cone)
    double tipAngleTangent = {};     // height per radius of the tip cone (tan of the tip angle)
    double taperCotangent = {};      // height per radius of the side taper (0: no taper)
    double taperStartHeight = {};
    double taperEndHeight = {};
    double cuttingLength = {};       // above this height a feed cut paints the new ends
    double chipWidthLimit = {};      // VERTICAL: k; the tool may not cut within D/2 - k of its axis
    double recordFlatRadius = {};    // the record's e (OVAL: radial semi-axis; RADIUS: flat part)
    double recordCornerHeight = {};  // the record's f (OVAL: axial semi-axis)
    double ovalClipLength = {};      // OVAL: where the ellipse meets the corner
    double discHeight = {};          // T-THROW: H
    double upperCornerRadius = {};   // T-THROW: upper corner radius
    double neckDiameter = {};        // T-THROW: Dn
    double sideLength = {};          // T-THROW: N = H - r - upper corner radius
    double upperRingRadius = {};     // T-THROW: Ru
    double toolLength = {};          // stick-out of the length record (reach of the window)
    std::uint8_t penBits = {};       // current pen * 16 (bits 4-7 of new ends)
};

// The section values of a selected tool: its record's shape and sizes and its derived cutter
// geometry (the corner torus, tip cone, taper and body radii), the default tool length and pen.
void LoadCutterSections(const CurrentToolRecord& tool, CutterSections* out);

// The two flag bytes and two line stamps given to the lower and upper new end of every chord:
// the pen byte (bit 0 on rapid moves) and the NC line number (negated for look-ahead replays).
// Given with each cut (CutMoveFacts); a feed cut recomputes the flag bytes per chord.
struct CutEndMarkRecord {
    std::uint8_t flags[2] = {};
    std::int32_t stamps[2] = {};
};

// The mark of a step's new ends: the pen byte, with the rapid paint (bit 0) when asked, and the NC
// line stamp on both ends.
CutEndMarkRecord MakeCutEndMark(std::uint8_t penBits, bool rapid, std::int32_t lineStamp);

// The per-pose geometry, rewritten by every call (model coordinates; CuttingState::pose).
struct CutPoseGeometry {
    double tip[3] = {};
    double axis[3] = {};        // unit, snapped
    double planeConstant = {};  // -axis . tip: axial height of x is axis . x + planeConstant
    double axisLength = {};     // length of the axis after snapping (1)
    double cuttingHeight = {};  // cutting length * axis length
    double p1[3] = {};
    double p2[3] = {};
    double p3[3] = {};
    double p4[3] = {};
    double radius = {};  // R: radius of the body above the cutting part
    double radiusSquared = {};
    double windowRadius = {};  // the farthest any section reaches from the axis
    std::int32_t low[3] = {};  // node window per model axis, clamped
    std::int32_t high[3] = {};
    std::int32_t outside = {};  // 1 when the window lay wholly outside the grid
    // 1 on a feed move: from the caller's CutMoveFacts, so that the helper threads of the passes
    // never read a move of their own thread's session.
    std::int32_t feedMove = {};
    CutEndMarkRecord mark = {};  // the caller's mark of the new ends
    // Rays of the windows with material that were cut or tested, and rays passed over because
    // the stock's material summary shows nothing where the tool reaches (for the benchmark).
    std::int64_t raysVisited = {};
    std::int64_t raysSkipped = {};
    std::int32_t memoryFailures = {};  // rays left uncut for want of memory
};

// Running totals of the cutter passes, for the benchmarks: passes made and the threads they used
// (a pass over small windows stays on the calling thread), the rays visited and passed over.
struct CuttingTotalsRecord {
    std::int64_t passes = {};
    std::int64_t threadsUsed = {};
    std::int64_t raysVisited = {};
    std::int64_t raysSkipped = {};
};

// What the cut takes from the move it cuts for: whether it is a feed move (motion type above 0;
// a feed cut paints the new ends above the cutting length) and the interpreter's cutting-on switch
// (cleared by the cut off code).
struct CutMoveFacts {
    std::int32_t feedMove = {};
    std::int32_t cuttingEnabled = 1;
    const CurrentToolRecord* tool = {};  // the tool whose shank and holder pass; none: no passes
    CutEndMarkRecord mark = {};          // the new ends' flags and line stamps
};

// Removes the state's cutter at the tool point and unit axis (work coordinates) from the model,
// leaving the pose in the state's pose. Does nothing when the model holds no grid, its useState
// is above 0 or the move's cutting-on switch is 0. The state's views are bound to the model first
// when they describe another model or stale arrays. Returns the volume removed (mm^3): the largest
// of the three families' sums plus the shank and holder passes (only those when the tool lies
// wholly outside the grid, 0 when nothing is cut). Results besides: the views' removedVolume, the
// contact, over-length and over-chip flags of the state's flags (set, never cleared here), and the
// measured edge height, tip width and RADIUS probe height of the state's measures (running maxima;
// the tool-length report line clears them). Given a session instead of the move's facts, those of
// the session's move (its motion type, its cutting-on switch and its tool) with the mark given.
// The contact flag is set when a ray lost more than a hundredth of its pitch: a tool leaving its
// own cut touches its walls only within rounding. A chord shorter than a thousandth of the pitch
// (a tool surface tangent to the ray) is not cut, so no ends are made where the tool only touches
// a ray. A tool standing on an outer face of the grid from outside (its axis along a grid axis,
// its end plane on the face) meets the rays lying in that face only in its end plane, where no
// material lies beyond them: they are not cut, as the rays crossing the face lose nothing either.
double CutStockAtToolPose(CuttingState& cutting, StockModel* model, const double point[3],
                          const double axis[3], const CutMoveFacts& move);
double CutStockAtToolPose(CuttingState& cutting, NcSession& session, StockModel* model,
                          const double point[3], const double axis[3],
                          const CutEndMarkRecord& mark);

// The cutter pass over one view's window with the state's cutter and pose (the view's key points
// and window set by CutStockAtToolPose): cuts every ray of the window, adds to
// view->removedVolume. Returns 0.
int CutDexelGrid(CuttingState& cutting, DexelGridView* view);

struct StockMaterialSummary;
// The material summary the passes keep of the stock they cut last (stock/material_summary.h):
// it describes the stock's rays whenever its model and ray stamp are the stock's.
const StockMaterialSummary& CuttingMaterialSummary();

// Releases the work buffers of the cutting passes (they are kept from call to call and grow
// with the longest ray cut) and the material summary of the stock cut last, and stops the pool's
// threads. Safe to call at any time between cuts.
void ReleaseCuttingBuffers();

}  // namespace mirexa
