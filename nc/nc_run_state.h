// The NC interpreter's run state: the modal state between blocks, the run status, the per-block
// words, the coordinate transforms, the reference return and the pending sub-move queues. It
// lives in one record with one reset (ResetInterpreterState, in the step driver), so that each
// puller starts from a known state. Only one puller runs at a time; nothing here is locked.
#pragma once

#include <vector>

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/compensation_state.h"

namespace mirexa {

struct NcSession;

constexpr int kNoCycle = 80;
constexpr int kUsedCodeFlags = 200;
constexpr int kCyclePointsMax = 1000;
constexpr int kRapidLegsMax = 16;
// Look-ahead entries kept for motionless or tool-axis-only blocks under compensation.
constexpr int kLookaheadQueueMax = 10000;

// Error codes of NcRunStatus.
constexpr int kNcErrorArcRadius = 1;      // arc start and end radius differ (or no arc fits)
constexpr int kNcErrorFeedZero = 2;       // cutting move with feed 0 (CHECK F0)
constexpr int kNcErrorNoStart = 3;        // the start character never appeared
constexpr int kNcErrorCharacter = 4;      // a character outside the allowed set
constexpr int kNcErrorDecimalPoints = 5;  // two decimal points in one value
constexpr int kNcErrorOffsetArc = 6;      // an offset arc's radius became negative
constexpr int kNcErrorQueueFull = 7;      // a look-ahead queue reached kLookaheadQueueMax
constexpr int kNcErrorNurbs = 8;          // a NURBS curve that cannot be read or evaluated
constexpr int kNcErrorLineTooLong = 9;    // a line longer than the line limit (cut there)
constexpr int kNcErrorPluginRecord = 10;  // a path reader's position or feed is no number
constexpr int kNcErrorHighest = kNcErrorPluginRecord;

// Motion types.
constexpr int kMotionRapid = 0;
constexpr int kMotionLine = 1;
constexpr int kMotionClockwise = 2;
constexpr int kMotionCounterClockwise = 3;
constexpr int kMotionNurbs = 132;

// The arc of the other turning sense (G02 for G03 and back), as a reversed plane reads it.
constexpr int OppositeArc(int motionType) {
    return motionType == kMotionClockwise ? kMotionCounterClockwise : kMotionClockwise;
}

// Program plane codes (NcModalState.planeCode, negative for a reversed plane).
constexpr int kPlaneXy = 17;
constexpr int kPlaneZx = 18;
constexpr int kPlaneYz = 19;

// Reference return modes (NcModalState.referenceReturnMode).
constexpr int kReturnNone = 0;
constexpr int kReturnViaIntermediate = 1;  // G28, G30
constexpr int kReturnFromReference = 2;    // G29
constexpr int kReturnCheck = 3;            // G27

// Return levels of the canned cycles (NcModalState.returnLevel).
constexpr int kReturnToRLevel = 0;         // G99
constexpr int kReturnToInitialLevel = 1;   // G98
constexpr int kReturnToSeparateLevel = 2;  // the separate return level

// Polar interpolation modes (NcModalState.polarInterpolation; 0 never set).
constexpr int kPolarOn = 1;   // G12
constexpr int kPolarOff = 2;  // G13

// Tool centre point modes (NcModalState.toolCenterPointMode).
constexpr int kToolCentreOff = 0;
constexpr int kToolCentreByAngles = 1;  // G43.4 and its dialect forms
constexpr int kToolCentreByVector = 2;  // G43.5, the SIEMENS orientation words

// Tilted work plane modes (plane.mode) the blocks leave for the block end.
constexpr int kWorkPlaneEulerAngles = 0;   // G68.2 with I, J, K
constexpr int kWorkPlaneStoredAngles = 3;  // G254
constexpr int kWorkPlaneCycle800 = 4;      // SIEMENS CYCLE800
constexpr int kWorkPlaneSpatial = 5;       // HEIDENHAIN PLANE SPATIAL

// Run end states (NcRunStatus.endState).
constexpr int kRunGoing = 0;
constexpr int kRunEndPending = 1;  // the end was read; cycle points or look-ahead moves remain
constexpr int kRunEnded = 2;

// Coordinate rotation states (NcTransformState.transformState).
constexpr int kTransformNone = 0;
constexpr int kTransformPending = 1;  // a G68 block is being read
constexpr int kTransformActive = 2;
constexpr int kTransformCancel = 3;  // G69: undone at the next move

// The axis triple of the current plane: the two plane axes and the normal (0 X, 1 Y, 2 Z).
struct PlaneAxes {
    int first = 0;
    int second = 1;
    int normal = 2;
};

// The levels of a HEIDENHAIN cycle definition (mm on the drilling axis): the first, second and
// third level and the base they are measured from.
struct HeidenhainCycleLevels {
    double first = {};
    double second = {};
    double third = {};
    double base = {};
};

struct NcModalState {
    int gCode = {};  // last G code of the block; G68.2 is 682, G53.1 531, G50.1 501, G51.1 511
    int mCode = -1;  // last M code of the block; -1 none
    int cycleCode = kNoCycle;
    int heidenhainCycleCode = kNoCycle;
    int cycleIncremental = {};
    int planeCode = kPlaneXy;  // +-17, +-18, +-19; negative for a reversed plane
    PlaneAxes plane = {};
    int incremental = {};                     // G91
    int returnLevel = kReturnToInitialLevel;  // G98, G99 or the separate level
    int workOffsetIndex = 1;
    int toolNumber = {};  // T of the block
    int nextTool = -1;
    int lengthOffsetNumber = {};  // H, 0..999
    int radiusOffsetNumber = {};  // D, 0..999
    int lengthCompensation = {};  // 1 G43, -1 G44, 0 off
    int spindleDirection = {};
    int spindleSpeed = {};
    int sequenceNumber = {};
    int programNumberWord = {};
    int feedCode = {};
    double programmedFeed = {};  // modal F (mm/min)
    double dwellTime = {};       // s
    double cyclePeck = {};       // mm, Q as written (the pecks use its magnitude)
    int cycleRepeat = 1;
    // The canned cycle's drilling-axis values as written (mm): the R word and the drilling-axis
    // word, both increments (from the initial level, from the R level) when the cycle's data are
    // incremental; the initial level where the cycle was programmed, and the separate return
    // level of return mode 2.
    double cycleRWord = {};
    double cycleDepthWord = {};
    double cycleInitialLevel = {};
    double cycleSeparateReturnLevel = {};
    HeidenhainCycleLevels heidenhainLevels = {};
    int cylindricalInterpolation = {};
    int polarInterpolation = {};  // kPolarOn, kPolarOff; 0 before either
    int diameterProgramming = {};
    int referenceReturnMode = kReturnNone;  // G28/G30, G29, G27
    int referencePointIndex = {};           // 0..3
    int compensationSide = {};              // G41/G42 by plane sign; 0 after G40
    int toolCenterPointMode = kToolCentreOff;
    int lengthCancelState = {};
};

struct NcRunStatus {
    int endState = kRunGoing;  // kRunGoing, kRunEndPending, kRunEnded
    int error = {};
    int started = {};
    int subprogramEnd = {};
    int errorPosition = {};  // 1-based column of a character check failure
    char errorCharacter = {};
};

// Words and flags of the block being interpreted; cleared at the start of every block.
struct NcBlockState {
    int dwellBlock = {};
    int axisWordSeen = {};
    int axisNamed[5] = {};  // axes named by a word of the block
    int toolWordSeen = {};
    int lengthCodeSeen = {};  // G43 or G44
    int machineCoordinateBlock = {};
    int localCoordinateBlock = {};
    int coordinateSettingBlock = {};  // G92
    int referenceKind = {};
    double centreWord[3] = {};  // I, J, K (mm)
    int centreWordSeen = {};
    int centreSource = {};  // 1 I/J/K, 2 R
    double radiusWord = {};
    int dataSetting = {};       // G10
    int dataSettingKind = {};   // L
    int dataSettingEntry = -1;  // P
    double dataValue[5] = {};   // axis words of a G10 block, applied at its end
    int dataNamed[5] = {};
    double dataRadius = {};  // R of a G10 block
    int dataRadiusSeen = {};
    int subprogramCall = {};    // 98 or 198 after M98 / M198: a following P calls
    int scalingBlock = {};      // G51
    int mirrorBlock = {};       // G51.1 (1) or G50.1 (-1)
    int rotationBlock = {};     // G68
    int rotationWord[3] = {};   // I, J, K seen in a G68 block
    int tiltedPlaneBlock = {};  // G68.2
    int tiltedSource = {};      // G68.2: M value, the source work offset (54..59)
    int tiltedTarget = {};      // G68.2: Q value, the target work offset (54..59)
    int tiltedRotaryGiven[2] = {};
    int offsetWithTableEntry = -1;  // W of a G8110 block
    int stopScan = {};              // the rest of the line is not read
    int cycleSkipped = {};          // the canned cycle is not run at this block's position
    int toolChangeSeen = {};        // the tool-change decision was asked in this block
    int toolChangeArmed = {};       // and it armed the route
    int lengthAxisFromWord = {};    // FANUC-C: the next X/Y/Z word chooses the length axis
};

// A coordinate rotation level (G68).
struct RotationLevel {
    double centre[3] = {};
    double angle = {};  // deg
    int kind = {};      // 0 plane, 1 about X (I), 2 about Y (J), 3 about Z (K)
    PlaneAxes axes = {};
    double cosine = 1.0;
    double sine = {};
    double scale = 1.0;  // scale of the level; 1 for a plain rotation
};

struct NcTransformState {
    // Scaling (G51).
    int scaling = {};
    int scalingCommon = {};
    double scaleCommonFactor = 1.0;
    double scaleFactor[3] = {1.0, 1.0, 1.0};
    int scaleEnabled[3] = {};
    double scaleCentre[3] = {};
    // Rotation stack and its state: 0 none, 1 being programmed, 2 active, 3 cancel block.
    RotationLevel rotation[2] = {};
    int rotationCount = {};
    int transformState = kTransformNone;
    RotationLevel pendingRotation = {};
    // Mirror (G51.1): per axis on flag and mirror coordinate (mm).
    int mirror[3] = {};
    double mirrorCentre[3] = {};
    // Work coordinates: the run's copy of the work offset table, the local shift of each entry
    // (G52), the coordinate-setting shift (G92) and the first G92 position of the MOVE mode.
    MotionPosition workOffsets[kWorkOffsetEntries] = {};
    MotionPosition localShift[kWorkOffsetEntries] = {};
    MotionPosition coordinateShift = {};
    int firstG92Recorded = {};
    MotionPosition firstG92Position = {};
    int savedWorkOffsetIndex = {};
    int tiltedPlaneReady = {};  // a G68.2 has set up the plane that G53.1 switches on
};

// G27 to G30: the intermediate point and the G29 target with their named axes, the kept
// reference position (the last reference move) and the program position at reset.
struct NcReferenceReturn {
    int phase = {};  // 0 none, 1 intermediate leg handed out, 2 final leg as machine target
    MotionPosition intermediate = {};
    int intermediateNamed[5] = {};
    MotionPosition g29Target = {};
    int g29Named[5] = {};
    MotionPosition keptPosition = {};
    MotionPosition runStartPoint = {};
};

struct ToolAxisMove {
    double value = {};  // mm on the tool axis
    int motionType = {};
};

struct ToolVectorChange {
    double values[4] = {};  // two tool-vector components, two orientation angles
};

// The motion of one linear axis during a rapid of positioning type 2: distance D (mm), top speed
// v (mm/s) and acceleration a (mm/s^2); the end of the acceleration t1, of the cruise t2 and of
// the move T (s); the distance covered while accelerating s1 = a t1^2 / 2 (mm). A trapezoid
// cruises between t1 and t2; a triangle has t2 = t1. D = 0: the axis stays, T = 0.
struct RapidAxisProfile {
    double distance = {};
    double speed = {};
    double acceleration = {};
    double accelerationTime = {};
    double cruiseEnd = {};
    double totalTime = {};
    double accelerationDistance = {};
    int trapezoid = {};
};

// A rapid of positioning type 2, kept between the split and its steps: the profile of X, Y and
// Z, the time of one step (s) and the ends of the move.
struct RapidStepProfile {
    RapidAxisProfile axis[3] = {};
    double stepTime = {};
    MotionPosition start = {};
    MotionPosition end = {};
};

// What a canned cycle is expanded from (the cycle's words and modes, the controller's
// clearances and the run mode); filled from the modal state for each hole block.
struct DrillingCycleInput {
    int cycleCode = kNoCycle;   // G number, or the HEIDENHAIN cycle number (200 and up)
    MotionPosition start = {};  // where the tool stands before the block
    MotionPosition hole = {};   // the block's hole position (its plane axes count)
    double rWord = {};
    double depthWord = {};
    double peck = {};  // Q, mm
    int repeat = 1;    // K or L; 0 positions only
    int incremental = {};
    int returnMode = kReturnToInitialLevel;  // or kReturnToRLevel, kReturnToSeparateLevel
    double initialLevel = {};
    double separateReturnLevel = {};
    PlaneAxes plane = {};
    int heidenhain = {};
    HeidenhainCycleLevels heidenhainLevels = {};
    double g73Clearance = 1.0;         // mm, the back-off of G73 pecks
    double g83Clearance = 1.0;         // mm, the re-approach of G83 pecks
    double clearance = {};             // mm, the CLEARANCE of this cycle code
    RunMode runMode = RunMode::kIdle;  // skip cutting and result display drill without pecks
    double levelTolerance = 0.0005;    // mm, half a least input increment
};

// The levels of a cycle on its drilling axis (mm) and the peck clearance its pecks use.
struct DrillingCycleLevels {
    double rLevel = {};
    double bottom = {};
    double returnLevel = {};
    double peckClearance = {};
};

// A cycle being handed out one hole at a time: the input, its levels, the holes still to expand,
// and where the next hole starts and lies.
struct DrillingCyclePlan {
    DrillingCycleInput input = {};
    DrillingCycleLevels levels = {};
    int holesLeft = {};
    MotionPosition nextStart = {};
    MotionPosition nextHole = {};
};

// The tool changes as the route decisions and the simulation see them: the tool on the spindle;
// the tool of the last T word read; and for WAIT2 the tool that an M06 of the current block
// mounts: the one prepared by the last T word of an earlier block (-1 none).
struct NcToolChangeState {
    int mountedTool = {};
    int lastToolWord = -1;
    int stagedTool = -1;
};

// Sub-moves that pend between calls of the step driver. Each queue has a count and an index
// (the entries already handed out); a queue is emptied when its last entry is handed out.
struct NcPendingMoves {
    // Tool-change moves: the steps of the machine's tool-change route.
    int toolChangeCount = {};
    int toolChangeIndex = {};
    // Rapid legs: positioning type 1 keeps its way points; type 2 computes the point of each
    // step from the profile (the count is then the step count).
    int rapidLegCount = {};
    int rapidLegIndex = {};
    MotionPosition rapidLeg[kRapidLegsMax] = {};
    int positioningType = {};
    RapidStepProfile rapidProfile = {};
    // Tool-axis-only and orientation-only blocks met by the compensation look-ahead.
    std::vector<ToolAxisMove> toolAxisMoves;
    int toolAxisIndex = {};
    std::vector<ToolVectorChange> toolVectors;
    int toolVectorIndex = {};
    // A work-offset change met by the look-ahead: the old origin stays current until the last
    // queued entry is handed out.
    int workOffsetChangeHeld = {};
    MotionPosition heldOldOrigin = {};
    MotionPosition heldNewOrigin = {};
    // Cycle and corner points with their motion types and the centre shared by arc points.
    int cyclePointCount = {};
    int cyclePointIndex = {};
    MotionPosition cyclePoint[kCyclePointsMax] = {};
    int cyclePointType[kCyclePointsMax] = {};
    double cycleCentre[3] = {};
    // The canned cycle whose further holes refill the cycle points.
    DrillingCyclePlan cycle = {};
};

struct NcRunState {
    NcModalState modal = {};
    NcRunStatus status = {};
    NcBlockState block = {};
    NcTransformState transforms = {};
    NcReferenceReturn reference = {};
    NcPendingMoves pending = {};
    NcToolChangeState toolChange = {};
    MotionPosition programmed = {};  // last programmed value per axis (for incremental words)
    int compensationPhase = {};      // 0 off, 1 active, 2 cancel pending
    NcCompensationState compensation = {};
    int userSwitch[2] = {};           // turning switches set by the lathe on codes
    int cuttingEnabled = 1;           // cleared by the cut off code
    int waitMCode = -1;               // index of the wait M code met in this block, -1 none
    double toolVector[2] = {};        // first two tool-vector components of the move
    double orientationAngle[2] = {};  // first two orientation angles of the move (rad)
    int dataCheckActive = {};
    int pluginToolSupplied = {};
    // NC communication queries (tool, length, holder): 2 stops that query until the next reset.
    int pluginQueryState[3] = {};
};

// The used-code record of the data check and the cutting-information report: one flag per G
// and M code below 200, kept while recording is on.
struct NcUsedCodes {
    int recording = {};
    unsigned char g[kUsedCodeFlags] = {};
    unsigned char m[kUsedCodeFlags] = {};
};
extern NcUsedCodes UsedCodes;

// Adds an entry to a look-ahead queue; 0 and error 7 when the queue holds kLookaheadQueueMax.
int PushToolAxisMove(NcSession& session, double value, int motionType);
int PushToolVectorChange(NcSession& session, const double values[4]);

// 1 while canned-cycle points pend.
int CyclePointsPending(NcSession& session);

// End of the program read (main file end, M02/M30 in memory runs, the stop character): the
// incremental mode is switched off and the end state becomes 1, or 2 when no cycle points pend.
void MarkProgramEnd(NcSession& session);

}  // namespace mirexa
