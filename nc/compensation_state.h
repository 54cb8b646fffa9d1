// The run state of cutter radius compensation: the two look-ahead slots (previous and last
// element, each a programmed block and its offset element), the offset element of the live block,
// the compensation radius and the line marks of the moves the look-ahead hands out. It is a part
// of the interpreter's run state (run.compensation) and is reset with it.
#pragma once

#include <vector>

#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"

namespace mirexa {

// Where the compensation stands between two calls of the step driver.
constexpr int kCompensationOff = 0;
constexpr int kCompensationAwaitStart = 1;  // G41/G42 read; no block has moved in the plane yet
constexpr int kCompensationHolding = 2;     // the last slot holds an element not yet handed out
constexpr int kCompensationCancelMove = 3;  // the cancel move (last slot) is handed out next
constexpr int kCompensationPlainBlock = 4;  // the block read last is finished as a plain block

// The source line of a move: the line number in its own file (the main file, the NC file for an
// in-memory subprogram) and the subprogram file's name, empty for those two.
struct NcMoveLine {
    int line = {};
    char file[kSubprogramNameCapacity] = {};
};

// The offset element of a block: where the compensated tool centre runs (mm), the offset radii
// of an arc (signed: negative when the offset turned the arc inside out), its length (mm) and
// the feed to run it at (mm/min).
struct OffsetElement {
    MotionPosition start = {};
    MotionPosition end = {};
    double startRadius = {};
    double endRadius = {};
    double length = {};
    double feed = {};
};

// One look-ahead slot: the programmed block as the interpreter left it, and its offset element.
struct BlockStateRecord {
    NcMoveLine line = {};
    int motionType = {};
    MotionPosition start = {};
    MotionPosition end = {};
    double centre[3] = {};
    double startRadial[3] = {};
    double endRadial[3] = {};
    double arcAxis[3] = {0, 0, 1};
    double arcFrame[3] = {};
    int arcNormalAxis = 2;
    double startRadius = {};
    double endRadius = {};
    double sweep = {};  // rad
    double length = {};
    double feed = {};            // the offset element's feed (mm/min)
    double programmedFeed = {};  // the block's own feed (mm/min), for the corner moves
    double toolVector[2] = {};   // tool-vector input of the block
    double orientationAngle[2] = {};
    OffsetElement offset = {};
};

// What the look-ahead noted of a queued tool-axis move: its line and feed.
struct LookaheadEntryNote {
    NcMoveLine line = {};
    double feed = {};
};

struct NcCompensationState {
    int stage = kCompensationOff;
    // Signed radius (mm): side x (D offset + D wear); positive with the tool left of the path.
    double radius = {};
    int side = {};              // the side of the last G41 or G42: +1 left, -1 right
    int cornerArcRequest = {};  // G39 read: the next outer corner becomes a true arc
    BlockStateRecord previous = {};
    BlockStateRecord last = {};
    OffsetElement live = {};  // the offset element of the live block
    NcMoveLine liveLine = {};
    // Corner and connecting moves queued as cycle points: their feed and line (the element after
    // the corner).
    double cornerFeed = {};
    NcMoveLine cornerLine = {};
    // The line of the move handed out by this call when the look-ahead made it.
    NcMoveLine moveLine = {};
    int moveLineValid = {};
    std::vector<LookaheadEntryNote> toolAxisNotes;  // one per queued tool-axis move
    // A block read by the look-ahead that the plain path finishes at the next call (a reference
    // return, a canned cycle, a tool change, a move of other axes): the interpreted move.
    MotionRecord plainBlock = {};
    // The radius-offset alarm: 1 once a corner could not be joined within 0.01 mm this run.
    int radiusOffsetEvent = {};
    int alarmCount = {};
    int alarmFileOpened = {};  // the alarm report was started in this run
};

}  // namespace mirexa
