// Holder and shank checks: after the cutter passes of a cut, the neck, the neck-to-shank taper
// and the shank of the tool's length record, then the holder sections, run against the stock.
// ARBOR CHECK chooses what a contact does: 0 nothing runs; 2 (CUT) cuts the material away; 3
// (YES) and 4 (STOP) cut it away and raise the taper or arbor flag; 1 (OUTPUT) leaves the stock
// untouched and searches, in steps of 0.1 mm, the smallest neck start, taper length and holder
// start at which the parts clear the stock, for the required-tool-length report.
//
// Sections are solids of revolution about the tool axis, measured from the tip (mm): a cone
// frustum from a start radius to a top radius over a length, a cylinder when both are equal.
//  - Shank passes (length records LENGTH2 and LENGTH3 whose shank is wider than the cutter's
//    body): the neck from the neck start, a cone from the body radius to the shank radius
//    (LENGTH2) or to the neck's top radius (LENGTH3; none when the neck angle is 0); the taper
//    (LENGTH3) from the neck's top radius to the shank radius over (difference x the taper's
//    height per radius); the shank, a cylinder up to the tool length.
//  - Holder passes: the holder's envelope as the current tool derives it (radii that never
//    narrow upward, with the holder clearance applied), from the tool length upward: ARBOR a
//    cylinder per section; ARBOR2 a cone from the envelope radius below the section (the shank
//    radius for the first) to the one at its top; ARBOR3 a cylinder (code 0) or a cone to the
//    next radius. The envelope keeps every cone widening and puts the window around its wide
//    end, whether the holder as given widens or narrows.
//
// The searches keep their results in the tool-length measurements of the cut's state
// (CuttingState::measured): RequiredNeckLength is neckLu, RequiredTaperLength neckLt and
// RequiredHolderLength stickOut. They only grow while a tool is in use (the taper length until it
// becomes -1, which ends its search), step on the 0.1 mm lattice exactly, and are cleared when
// the tool's report line is written or the run starts.
//
// Threads: the simulation thread only.
#pragma once

#include <cstdint>

#include "config/current_tool.h"
#include "simulation/dexel_grid_view.h"

namespace mirexa {

struct CuttingState;
struct NcSession;

// One section of the shank or holder.
struct ShankSectionValues {
    std::int32_t index = {};      // sectionIndex: 0 neck, 1 taper, 2 shank; holder section i
    double start = {};            // mm from the tip along the axis
    double length = {};           // mm; a section of length <= 0 is skipped
    double coneStartRadius = {};  // mm at the start
    double topRadius = {};        // mm at the top
    double windowRadius = {};     // mm: the larger of the two
};

inline constexpr int kShankSectionCount = 3;
// The shank length the searches lay out (mm): beyond any stock.
inline constexpr double kSearchShankLength = 500.0;

// 1 when the tool gets shank passes: a LENGTH2 or LENGTH3 record whose shank radius exceeds the
// radius where the shank starts (the cutter's body; a T-slot cutter's neck).
int HasShankPasses(const CurrentToolRecord& tool);

// The neck, taper and shank of the tool with the neck starting at neckStart (mm). A negative
// shankLength runs the shank to the tool length, else gives it that length. Sections that do not
// apply get length 0 (the LENGTH2 taper, a LENGTH3 neck of angle 0). Returns 3, or 0 when the
// tool gets no shank passes.
int LayoutShankSections(const CurrentToolRecord& tool, double neckStart, double shankLength,
                        ShankSectionValues out[kShankSectionCount]);

// The sections of one try of the taper-length search: the neck from the neck start over
// taperLength, widening at the neck's angle (none for a length or an angle of 0), the taper
// from its top to the shank radius, and a 500 mm shank. Returns 3, 0 when the tool gets no
// shank passes, or -1 when the widened neck would exceed the shank radius.
int LayoutTaperSearchSections(const CurrentToolRecord& tool, double taperLength,
                              ShankSectionValues out[kShankSectionCount]);

// The holder sections from start (mm) upward. Returns their count (0 without a holder).
int LayoutHolderSections(const CurrentToolRecord& tool, double start,
                         ShankSectionValues out[kArborMaxSegments]);

// --- The passes ---------------------------------------------------------------------------------

// Search bounds: the neck and holder searches stop at 499.0 mm, the taper search gives -1 at
// 199.0 mm; each step is 0.1 mm.
inline constexpr double kNeckSearchLimit = 499.0;
inline constexpr double kTaperSearchLimit = 199.0;
inline constexpr double kSearchStep = 0.1;

// The shank pass over one view of the state's views: each ray of its window with material meets
// the state's section (CuttingState::shankSection, which the caller sets with the view's tip (the
// section's start point), axis, window and sectionIndex before each pass); a chord that would
// remove material is removed with the pen byte and the painted bit on both new ends, the NC line
// stamps of the cut, the removed volume added to the view and the display blocks marked. With ARBOR
// CHECK 1 the ray is only tested on a copy, and the first ray that would lose material returns 1
// with nothing stored. Otherwise 0 after the whole window.
int CheckShankInDexelGrid(CuttingState& cutting, DexelGridView* view);
// The same pass for a holder section.
int CheckArborInDexelGrid(CuttingState& cutting, DexelGridView* view);

// The shank and holder passes of one cut (the cutting core's hook) on the cut's state: reads the
// pose of the cut (its pose, in the stock's own coordinates) and ARBOR CHECK, sets its flags and,
// with ARBOR CHECK 1, its measures. ARBOR CHECK 2 to 4 cut, 3 and 4
// raise the taper flag (shank) or the arbor flag (holder) when anything was removed; any removal
// raises the contact flag. ARBOR CHECK 1 runs the three searches and leaves the stock as it was.
// Returns the volume removed (mm^3): per pass the largest of the three views' volumes, summed
// over the sections.
double RunShankAndHolderPasses(CuttingState& cutting, const CurrentToolRecord& tool,
                               StockModel* model);

// Releases the pass's ray buffers (kept from call to call).
void ReleaseHolderCheckBuffers();

}  // namespace mirexa
