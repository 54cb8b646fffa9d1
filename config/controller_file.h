// The controller definition file (.CTL): how the simulated controller reads its programs
// (dialect, units, modes, checks, canned cycles, stop options, code strings, rotary routes, text
// replacements), read into the ControllerDefinition; its offset memories are in offset_memory.h
// and its axis letters in axis_letters.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/axis_letters.h"
#include "platform/file_info.h"

namespace mirexa {

struct NcSession;

struct KinematicsSessionRecords;

// The dialect: number 0 for the plain dialect and for MAZAK and SIEMENS, 1 OSP, 11 HEIDENHAIN,
// and the four dialect flags.
struct NcDialect {
    std::int32_t number = {};
    std::int32_t osp = {};
    std::int32_t mazak = {};
    std::int32_t siemens = {};
    std::int32_t heidenhain = {};
};

// One text replacement applied to every NC line: from is at least one character, to may be
// empty (the from-text is then deleted).
struct ReplaceEntry {
    std::string from = {};
    std::string to = {};
};
inline constexpr std::size_t kReplaceTableCapacity = 30;
// At most kReplaceTableCapacity entries, tried in order by the NC line source.
extern std::vector<ReplaceEntry> ReplaceTable;

// The optional block skip switches: 0 is the plain "/", 1 to 9 are "/1" to "/9".
struct OptionalBlockSkipSwitches {
    unsigned char on[10] = {};
    unsigned char anyOn = {};
};
extern OptionalBlockSkipSwitches OptionalBlockSkipFlags;

// An M code that waits for a file; the file is looked for in the controller file's folder.
inline constexpr std::size_t kWaitFileNameChars = 14;
struct WaitMCode {
    std::int32_t code = {};
    std::string fileName = {};  // a plain file name of at most 14 characters
};

inline constexpr std::size_t kControllerNameChars = 256;
inline constexpr std::size_t kStopStringCapacity = 20;
inline constexpr std::size_t kStopStringChars = 10;
inline constexpr std::size_t kCodeStringChars = 20;
inline constexpr std::size_t kWaitMCodeCapacity = 10;

struct ControllerDefinition {
    // --- Identity ---
    std::string name = {};  // at most 256 characters; kept between readings
    std::int32_t nameColor[3] = {255, 0, 0};
    std::int32_t nameBackground[3] = {255, 255, 0};

    // --- Units ---
    std::int32_t leastInputIncrement = 1000;  // LeastInputIncrement: units per mm
    double coordinateTolerance = 0.0005;      // mm
    std::int32_t angleIncrement = 1000;
    std::int32_t scaleIncrement = 1000;
    std::int32_t decimalPointRule = {};  // 0 NO, 1 YES, 2 other, 3 NORMAL

    // --- Dialect ---
    NcDialect dialect = {};
    std::int32_t tcpProgramSide = 1;        // 1 program side, 0 table side (TCL COORDINATE TABLE)
    std::int32_t ospTiltedPlaneCode = 313;  // OSP: the plane code that G469 P1 takes

    // --- Modes ---
    std::int32_t compensationCancelMode = 1;   // 1 OFFSET, 2 RESET (ONLY G40)
    std::int32_t initialPlane = 17;            // 17, 18, 19: modal plane and the reset plane
    std::int32_t returnLevel = 1;              // 0 R level, 1 initial level
    std::int32_t feedWordMode = {};            // 0 DIRECT, 1 INDIRECT, 2 AUTO1, 3 AUTO2
    std::int32_t g92Mode = {};                 // 0 NORMAL, 1 MOVE
    std::int32_t g49Mode = {};                 // 0 NORMAL, 1 KEEP
    std::int32_t rapidType = {};               // G00MODE: 0, 1 dog-leg, 2 profile, 9 line
    std::int32_t linearRapidPath = {};         // G00PATH LINE
    std::int32_t lengthOffsetType = {};        // 0 FANUC-A, 1 FANUC-B, 2 FANUC-C
    std::int32_t toolCenterControl = {};       // 0 NO, 1 TYPE1, 2 TYPE2 (current)
    std::int32_t resetToolCenterControl = {};  // restored by an interpreter reset
    std::int32_t autoLengthOffset = {};
    std::int32_t autoLengthPosition = {};  // 0 BOTTOM, 1 BALL-CENTER, 2 F-CENTER
    std::int32_t hCodeAuto = {};
    std::int32_t automaticToolOffset = {};
    std::int32_t tclVectorInterpolation = {};
    std::int32_t wire = {};
    std::int32_t lathe[2] = {};
    std::int32_t zcCoordinate = {};
    std::int32_t fanuc2AngleDecision = {};
    std::int32_t concaveArcFeed = 1;

    // --- Checks ---
    std::int32_t checkF0 = {};
    float arcRadiusTolerance = 1000000.0f;  // mm; kept between readings
    std::int32_t codeCheck = {};
    int hasAllowedCharacters = {};
    std::string allowedCharacters = {};  // besides the digits
    std::int32_t radiusCheckStop = {};
    std::int32_t radiusCheckListMode = {};  // 1 LIST, 2 OPEN
    std::int32_t radiusCheckPaint = {};
    std::int32_t radiusCheckAny = {};
    std::int32_t reverseArcCheck = {};
    float smoothAngle = 2.0f;  // deg; kept between readings
    std::int32_t warningLevel = 1;

    // --- Canned cycles ---
    float g73Peck = 1.0f;       // mm; kept between readings
    float g83Peck = 1.0f;       // mm; kept between readings
    double clearance[20] = {};  // mm, per cycle code G70..G89
    std::int32_t ignoreL0 = {};
    std::int32_t ignoreK0 = {};

    // --- Scaling and rotation ---
    double scale[3] = {1.0, 1.0, 1.0};
    std::int32_t scaleEffect[3] = {1, 1, 1};
    double rotationAngle = {};  // deg

    // --- Stop and skip ---
    std::int32_t stopOption = {};               // 0 NONE, 1 NORMAL, 2 M01, 3 SINGLE, 4 DEFINE
    std::vector<std::string> stopStrings = {};  // at most 20 of at most 10 characters
    char endOfRecord = ' ';

    // --- Code strings (at most 20 characters each) ---
    std::string latheOnCode[2] = {};
    std::string latheOffCode[2] = {};
    std::string cutOnCode = {};
    std::string cutOffCode = {};
    std::int32_t cuttingEnabled = 1;
    std::int32_t resetCuttingEnabled = 1;

    // --- Wait M codes ---
    std::vector<WaitMCode> waitMCodes = {};  // at most 10

    // --- Rotary axes ---
    unsigned char rotaryRoute[2] = {};       // configured SHORTEST
    unsigned char rotaryRouteModal[2] = {};  // the copy the interpreter changes
    signed char rotaryDirection[2] = {1, 1};
    double rotaryRange[2][2] = {};  // deg, in file order
    std::int32_t rotaryRangeGiven[2] = {};

    // --- Program memory ---
    std::int32_t runTypeMemory = {};

    // --- Axis letters and plane codes ---
    ControllerAxisLetters axes = {};
    // The initial plane as chosen on the machine (signed 17, 18, 19) and its axis triple.
    std::int32_t initialMachinePlane = 17;
    std::int32_t initialPlaneAxes[3] = {0, 1, 2};

    // --- Work offset selection ---
    std::int32_t workOffsetIndex = 1;       // current: 1 is G54, 0 none
    std::int32_t resetWorkOffsetIndex = 1;  // restored by an interpreter reset

    // --- File bookkeeping ---
    std::int32_t status = {};  // 1 read, -1 not opened
    std::int32_t knownLines =
        {};                 // lines of the last reading the reader knows (IsKnownControllerLine)
    std::string path = {};  // the file last read
    FileWriteTime fileTime = {};
};
extern ControllerDefinition Controller;

// 1 when the controller reader takes something from the line: a keyword of the file, or a bare
// offset line that parses; 0 for a line of plain text. A file without such a line holds nothing
// to use (the defaults would stand in for the controller without a word).
int IsKnownControllerLine(const char* line);

// Reads the file named by the controller path of the definition file paths. See
// ReadControllerFileAt.
void ReadControllerFile(NcSession& session, KinematicsSessionRecords& kinematics);

// Resets the ControllerDefinition to its defaults (the name, the arc radius tolerance, the
// smooth angle and the two peck amounts keep their values), clears the replacements, drops the
// program held in memory, clears the tool offsets, the work offsets and the clearances, then
// reads the file. Stores the file's write time ("no time" for a missing file). Missing file:
// status -1, the defaults stay and nothing is derived (plane codes and labels stay as they
// were). Otherwise status 1; after the file: deletes the wait files that exist in the
// controller file's folder (logged), derives the axis labels, rotary signs, plane codes and
// tool-length axis, and hands the result to the kinematics and, through the hooks, to the NC
// interpreter and the view.
void ReadControllerFileAt(NcSession& session, KinematicsSessionRecords& kinematics,
                          const std::string& path);

// Empties ReplaceTable.
void ClearReplaceTable();

// Drops the NC program held in memory (through the hooks) and clears the RUN TYPE MEMORY flag.
void FreeNcProgramText(NcSession& session);

// How the controller reader takes a line: 1 for a "MEMORY" line, 2 for a bare offset line
// (starts with "D", "H" or "F" and matches no keyword), 0 for any other line. The offset
// rewriter decides with this which lines are offset lines.
int ClassifyControllerLine(const char* line);

// The path of wait file i of the controller (in the controller file's folder); 0 when i is
// not an entry.
int GetWaitFilePath(std::size_t index, std::string* path);

}  // namespace mirexa
