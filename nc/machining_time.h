// The machining-time estimate of the data check: consecutive moves that continue in nearly the
// same direction at the same feed are merged, and each merged move is timed with a trapezoid or
// triangle speed profile.
//
// Units: lengths mm, feeds mm/min as programmed, speeds inside the profile mm/s, accelerations
// in g (1 g = 9,800 mm/s^2 here), times s.
#pragma once

namespace mirexa {

struct NcSession;

// Tool ordinals with a time entry: 1 .. kTimedToolOrdinalsMax (entry 0 is unused).
inline constexpr int kTimedToolOrdinalsMax = 200;

// Run totals of the data check.
struct MachiningTimeSums {
    double feedMoveTime = {};    // every merged move (lines, arcs, NURBS)
    double cuttingTime = {};     // merged moves with a feed below the rapid feed rate
    double rapidTime = {};       // the rest of the merged moves, rapids, tool changes, dwells
    double nonCuttingTime = {};  // rapids, tool changes, dwells in blocks without motion
    double feedMoveLength = {};
    double cuttingLength = {};
    double rapidLength = {};      // merged moves at rapid feed, and the rapid moves
    double rapidMoveLength = {};  // the rapid moves only
    // Time per tool ordinal (1 .. kTimedToolOrdinalsMax) in the order the tools are used.
    double toolTime[kTimedToolOrdinalsMax + 1] = {};
};

// The merged move not yet timed. length 0: nothing pends.
struct PendingTimedMove {
    double length = {};
    int motionType = {};
    double feed = {};        // mm/min
    double entrySpeed = {};  // mm/min; 0 after a stop
    double mergedStart[3] = {};
    double mergedEnd[3] = {};
    double direction[3] = {};  // of the last merged piece
    int pieces = {};
};

// What the estimate reads of the configuration; the data check fills it at its start, tests set
// it directly.
struct MachiningTimeSettings {
    double smoothAngle = 2.0;            // deg: the largest corner that still merges
    double rapidFeedrate = 999999999.0;  // mm/min: feeds at or above count as rapid
    double acceleration[3] = {};         // g, per axis X, Y, Z; <= 0: no ramp
    double rapidRate[3] = {};            // mm/min, per axis
    double rapidAcceleration[3] = {};    // g, per axis; <= 0: no ramp
};

struct MachiningTimeState {
    MachiningTimeSums sums = {};
    PendingTimedMove pending = {};
    MachiningTimeSettings settings = {};
    int toolOrdinal = 1;  // the entry of sums.toolTime the times go to (1 .. max)
};
extern MachiningTimeState MachiningTime;

// Clears the sums and the pending move (the settings stay); the tool ordinal becomes 1.
void ResetMachiningTime();

// The time (s) to travel L (mm) starting at v0, cruising at v and ending at v1 (mm/s) with
// acceleration g (in g). A speed of exactly 0 is taken as 10 mm/s. A trapezoid when the ramps
// fit in L, else a triangle peaking at sqrt(v0^2/2 + a L + v1^2/2). An acceleration <= 0 (or not
// finite) means no ramp: L / v. L <= 0 or a non-finite input gives 0; never inf or NaN.
double MoveTimeWithAcceleration(double L, double v0, double v, double v1, double g);

// Times one merged move (speeds mm/min) and adds it to the feed-move time, to the cutting or the
// rapid time by the feed test, and to the current tool ordinal's time. A single line (type 1,
// one piece) is timed along its dominant axis (largest |end - start|, X before Y before Z) with
// that axis's acceleration and the speeds scaled to it; anything else over L with X's.
void AccumulateMoveTime(int motionType, double L, double entry, double feed, double exit);

// Adds one move of the data check (length mm, direction; a zero direction stops the machine at
// the move's end) to the pending merged move, timing the pending one when this move does not
// continue it. Reads the start point, last position, feed and motion type of motion.
void MergeMoveForTime(NcSession& session, double L, const double direction[3]);

// Times the pending move with exit speed 0, adds its length, and clears it (a stop, a dwell, a
// rapid and the end of the program call it).
void FlushPendingMoveTime();

// Adds time (s) to the current tool ordinal's entry.
void AddCurrentToolTime(double seconds);

}  // namespace mirexa
