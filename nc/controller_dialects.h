// Controller dialects: the keyword blocks of the OSP, SIEMENS and HEIDENHAIN controllers (cycle
// definitions and their parameters, datum shifts, tilted planes, CYCLE800, the OSP inclined-plane
// call) and the dialect state they leave for the block interpreter and the block end.
#pragma once

#include <string>

namespace mirexa {

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
    // OSP G16: the shift of the block end and last position made at the end of the block (mm).
    int ospShiftPending = {};
    double ospPendingShift[5] = {};
};
extern NcDialectState DialectState;

// Clears the dialect state (the Q table included); the interpreter reset calls it.
void ResetDialectState();
// Clears the per-block part of the dialect state; called at the start of every block.
void ClearDialectBlock();

// HEIDENHAIN ISO cycle word: the cursor stands behind the "P"; reads P01 to P05 into the cycle
// parameters by the defined cycle (73 and 83 differ from the others). Returns 1 when the word
// was one of them (cursor behind its value), 0 otherwise (cursor unchanged).
int ParseHeidenhainIsoCycleWord(int* cursor, const char* line);

// HEIDENHAIN cycle definition; the cursor stands behind "CYCL DEF" (or "CYCLDEF"). 7.0 is
// nothing; 7.1 to 7.3 "#n" select work offset n (0 .. 200), an axis word sets that axis of
// work offset 1; 247 selects the work offset of its Q339 (0 .. 200); 200 to 209 become the
// defined cycle. Q words later in the line are read as parameters. Returns 1 when the definition
// was understood; 0 for an unknown cycle number or a work offset beyond 0 .. 200 (nothing
// changed). The cursor ends at the line's end.
int ParseHeidenhainCyclDef(int* cursor, const char* line);

// Stores Q parameter n (0 .. kQParameterCount-1); Q202, Q206, Q211 and the other named
// parameters set their cycle values too, and Q339 under a defined cycle 247 selects the work
// offset. Returns 0 (nothing stored) for a number beyond the table.
int SetHeidenhainQParameter(int n, double value);

// HEIDENHAIN "PLANE"; the cursor stands behind "PLANE". SPATIAL: the SPA, SPB, SPC angles and
// SEQ (+1, -1, 0, which is also the preferred rotary sign); the plane is built at the block's end
// (G code 682). RESET: angles and the rotary values of the end and the programmed position 0,
// G code 69, the plane off. Returns 1 for SPATIAL or RESET, 0 for any other plane form (ignored).
int ParseHeidenhainPlane(int* cursor, const char* line);

// OSP "CALL OO88"; the cursor stands behind "OO88". PH is the source work offset, PP the target
// (both 0 .. 200, else the call is refused), PA and PB the rotary angles (deg), PX, PY, PZ the
// shift (mm), PCA, PCB, PCC the rotary values of the target. The target is the source plus the
// shift turned through the rotary table (both axes about their table centres; a head machine
// turns nothing), then selected as the work offset with every position register re-based.
// Returns 1 when the target was written, 0 when refused.
int ApplyOo88InclinedPlaneCall(int* cursor, const char* line);

// SIEMENS "CYCLE800("; the cursor stands behind "CYCLE800". Fills DialectState.cycle800. Returns
// 1 for a complete list (a rotation order and its values), 0 for a reset list (",\"0...") or an
// empty one, or a list cut off by the line's end. The cursor ends behind the ")" (or at the end).
int ParseCycle800Arguments(int* cursor, const char* line);

// After the block end: builds the tilted plane of a PLANE SPATIAL (mode 5) or complete CYCLE800
// (mode 4) block and publishes the SEQ sign.
void CompleteDialectBlock();

// "CALL O..." of the OSP dialect; the cursor stands on the "O". From memory the number after the
// O enters that subprogram; otherwise the word from the O to the next blank is a file name.
// Returns 1 when a level was entered.
int CallOspSubprogram(int* cursor, const char* line);

// 1 when the text at line + at begins with the keyword, with blanks between its words optional
// ("TOOL CALL" also matches "TOOLCALL"); *after is set behind it.
int MatchDialectKeyword(const char* line, int at, const char* keyword, int* after);

}  // namespace mirexa
