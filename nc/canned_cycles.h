// Canned drilling and tapping cycles: a hole block expanded into its rapid and feed points on the
// drilling axis, one hole per fill of the cycle point queue, so that every hole of a repeat gets
// the same sequence however many points a hole takes.
#pragma once

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"

namespace mirexa {

struct NcSession;

// A hole sets at most this many points before its peck loop stops adding passes.
constexpr int kCyclePeckPointLimit = 995;

// The levels of a cycle on its drilling axis:
// - plain dialects: incremental data give R level = initial level + R word and bottom = R level +
//   drilling-axis word; absolute data take the words as they are;
// - HEIDENHAIN below cycle 200: R level = initial level, bottom = initial - R word + depth word;
// - HEIDENHAIN from cycle 200: R level = first + base, bottom = second + base.
// The return level follows the return mode (R level, initial level, separate level), HEIDENHAIN
// cycles from 200 return to third + base, and a repeat count above 1 always returns to the
// initial level. The peck clearance: G83_D for the deep peck cycles, G73_D for G73, and in the
// HEIDENHAIN dialect below 200: 0.6 mm when |Q| <= 30, else the smaller of |Q| / 50 and 7.
DrillingCycleLevels ComputeDrillingCycleLevels(const DrillingCycleInput& in);

// The points of one hole at `hole` (its plane axes) for a tool standing at `start`, written into
// types (0 rapid, 1 feed) and points (capacity kCyclePointsMax each, owned by the caller). The
// points keep the start's rotary axes. In order:
// 1. a rapid to the hole at the start's drilling level when the hole lies elsewhere in the plane
//    (a repeat count of 0 ends the hole here);
// 2. a rapid to the R level when the tool stands elsewhere; a rapid to R level - CLEARANCE when
//    the cycle code has one;
// 3. drilling: a feed to the bottom (74, 76, 81, 82, 84 to 199, 201, 202, 206, 207, 209); deep
//    pecks (83, 200, 203) with a rapid back to the R level and a rapid re-approach to the last
//    depth + clearance before each further peck; high-speed pecks (73) with a rapid back-off by
//    the clearance. Pecks go |Q| deep; Q = 0, run modes 2 and 3 drill in one feed. Pecks stop
//    while the last depth lies within the level tolerance of the bottom, or when
//    kCyclePeckPointLimit points stand; the last feed always ends at the bottom. Other codes
//    drill nothing;
// 4. the retract: a rapid to the return level (73, 76, 81, 82, 83, 86, 200 to 203), else a feed
//    to the R level and, unless the return mode is 0, a rapid to the return level.
// Returns the count of points (at most kCyclePointsMax).
int ExpandDrillingHole(const DrillingCycleInput& in, const DrillingCycleLevels& levels,
                       const MotionPosition& start, const MotionPosition& hole, int* types,
                       MotionPosition* points);

// Expands the hole block in the session's motion (from its start to its end in the plane) with the
// cycle of the modal state into the cycle point queue: the first hole now, the further holes of
// a repeat count one by one as the queue drains (ExpandNextDrillingHole). In the HEIDENHAIN
// dialect from cycle 200 the controller's G73 and G83 clearances take the first level. Returns
// the count of points queued (0: nothing to do at this position).
int ExpandDrillingCycle(NcSession& session);

// 1 while holes of the current cycle block remain to be expanded.
int DrillingHolesPending(NcSession& session);

// Expands the next hole of the current cycle block into the (drained) cycle point queue; the
// programmed position follows to where that hole leaves the tool. Returns the count of points.
int ExpandNextDrillingHole(NcSession& session);

}  // namespace mirexa
