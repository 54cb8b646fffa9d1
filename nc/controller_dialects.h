// Controller dialects: the state the dialect files leave for the block interpreter and the block
// end, its resets, and the keyword match and number readers the dialects share.
#pragma once

#include <string>

namespace mirexa {

struct NcSession;

// Q parameters Q0 .. Q1999. A Q number beyond the table is refused (nothing stored).
constexpr int kQParameterCount = 2000;
// Work offset indices a dialect word may select (entry 0 is the external offset alone).
constexpr int kDialectWorkOffsetMax = 200;
// Characters of a CYCLE800 swivel data record name that are kept.
constexpr int kSwivelNameCapacity = 32;

// The parameters of the HEIDENHAIN cycle definition (mm, s, mm/min). The Q table keeps every
// parameter given; Q200, Q201, Q202, Q203, Q204, Q206 and Q211 also set the named values.
struct HeidenhainCycleParameters {
    double setUpClearance = {};   // Q200, or P01 of an ISO cycle
    double depth = {};            // Q201, or P02
    double plungingDepth = {};    // Q202, or P03 of cycles 73 and 83
    double surface = {};          // Q203: the level the others are measured from
    double secondClearance = {};  // Q204: the return level above the surface
    double dwell = {};            // Q211, or P03/P04 (s)
    double feed = {};             // Q206, or P04/P05 (mm/min); 0: keep the programmed feed
    double q[kQParameterCount] = {};
    unsigned char qGiven[kQParameterCount] = {};
};

// The CYCLE800 argument list as read. The swivel state keeps its six decimal digits, from the
// hundred-thousands (digit 0) to the units (digit 5, the incremental flag of the plane matrix).
struct Cycle800Arguments {
    int retractionMode = {};
    char swivelName[kSwivelNameCapacity] = {};
    int swivelState = {};
    int swivelDigits[6] = {};
    int rotationOrder = {};         // RotationOrderCode
    double referencePoint[3] = {};  // X0, Y0, Z0 (mm)
    double angles[3] = {};          // A, B, C (deg)
    double offset[3] = {};          // X1, Y1, Z1 (mm)
    int direction = {};
    int retractionValue = {};
};

// SIEMENS orientation input of the current block: the orientation angles A2, B2, C2 (deg), the
// tool vector A3, B3, C3, the angle convention (0 ORIEULER, 1 ORIRPY, 2 ORIRPY2, modal) and
// which form the block gave.
struct SiemensOrientationInput {
    double angles[3] = {};
    double vector[3] = {};
    int convention = {};
    int anglesGiven = {};
    int vectorGiven = {};
};

// The OSP plane code under which a G469 block builds its tilted plane.
constexpr int kOspTiltedPlaneCode = 313;

// Dialect state of a run; ResetDialectState sets it back at the interpreter reset.
struct NcDialectState {
    HeidenhainCycleParameters cycle = {};
    // HEIDENHAIN circle centre (pole) in program coordinates (mm): set by CC and by I, J, K; it
    // carries over from block to block.
    double circleCentre[3] = {};
    // The block being read: circle-centre mode (CC), a DR direction was given, the block is a
    // circle whose centre is the circle centre, a polar block (LP, CP) with its words.
    int centreMode = {};
    int directionGiven = {};
    int circleBlock = {};
    int polarBlock = {};  // 1 LP, 2 CP
    int polarRadiusGiven = {};
    int polarAngleGiven = {};
    int polarAngleIncremental = {};
    int polarRadiusIncremental = {};
    double polarRadius = {};  // mm, modal
    double polarAngle = {};   // deg, modal
    // Tilted planes: PLANE SPATIAL (mode 5) and CYCLE800 (mode 4) of the block, built at its end.
    int planeMode = {};
    int planeSequence = {};  // SEQ: 1 +, -1 -, 0 none
    Cycle800Arguments cycle800 = {};
    SiemensOrientationInput orientation = {};
    // MAZAK: G10.9 makes the next X the diameter mode (0 radius, 1 diameter); P1 after a T or
    // G43 in the block sets the head angle mode (modal).
    int diameterModeWord = {};
    int mazakHeadAngleMode = {};
    // OSP: G15 or G16 of the block (an H then selects the work offset); G71 (a Z then gives the
    // separate return level).
    int ospWorkOffsetWord = {};
    int ospReturnLevelWord = {};
    // OSP: the mode G138 sets and G136 ends (modal); X values are not halved while it is on.
    int ospG138Mode = {};
    // OSP tilted plane (G469): the plane code taken from the controller by P1 and replaced by a
    // Q word while it is non-zero (modal; only code 313 builds the plane); the block is a G469
    // block; its P1 switches the plane on.
    int ospPlaneCode = {};
    int ospPlaneBlock = {};
    int ospPlaneSwitchOn = {};
    // The plane origin (mm) and angles (deg) before the G469 block, restored when it builds
    // nothing.
    double ospPlaneOriginBefore[3] = {};
    double ospPlaneAnglesBefore[3] = {};
    // OSP G127 started a rotation in this block: a B word gives its angle (deg).
    int ospRotationBlock = {};
    // MAZAK: the head angle mode changed in this block (the head offset vector is refreshed).
    int mazakHeadAngleChanged = {};
    // OSP G16: the shift of the block end and last position made at the end of the block (mm).
    int ospShiftPending = {};
    double ospPendingShift[5] = {};
};

// Clears the dialect state (the Q table included); the interpreter reset calls it.
void ResetDialectState(NcSession& session);
// Clears the per-block part of the dialect state; called at the start of every block.
void ClearDialectBlock(NcSession& session);

// 1 when the text at line + at begins with the keyword, with blanks between its words optional
// ("TOOL CALL" also matches "TOOLCALL"); *after is set behind it.
int MatchDialectKeyword(const char* line, int at, const char* keyword, int* after);

// The readers of the dialects' keyword arguments. A blank is " " or a tab.
bool IsDialectBlank(char c);
bool IsDialectDigit(char c);
// The index of the first character at or behind `at` that is not a blank.
int SkipDialectBlanks(const char* line, int at);
// A number at line + *at after blanks and an optional "=": sign, digits, one ".", exponent. The
// cursor moves behind it; no digits read 0 and leave the cursor behind the blanks.
double ReadDialectNumber(const char* line, int* at);
// A non-negative integer at line + *at after blanks and an optional "="; -1 when there are no
// digits (cursor unchanged). Saturates far beyond every table (the callers bound it).
int ReadDialectIndex(const char* line, int* at);

}  // namespace mirexa
