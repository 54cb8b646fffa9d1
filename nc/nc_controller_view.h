// The controller, machine, tool and settings values that the NC interpreter reads, gathered in
// one record so that the interpreter reads its configuration in one place.
#pragma once

#include <string>
#include <vector>

#include "config/controller_file.h"
#include "config/machine_file.h"

namespace mirexa {

struct NcSession;

// Dialect numbers of the controller (PRODUCT, NcDialect::number).
constexpr int kDialectNormal = 0;  // also MAZAK and SIEMENS, told apart by their flags
constexpr int kDialectOsp = 1;
constexpr int kDialectHeidenhain = 11;

// Capacities of the controller's tables as the interpreter indexes them.
constexpr int kReplaceEntriesMax = 30;
constexpr int kToolOffsetEntries = 1000;  // D and H numbers 0..999
constexpr int kFeedMemoryEntries = 1000;  // F numbers 0..999
constexpr int kReferencePoints = 4;
constexpr int kCycleClearanceCodes = 20;  // G70 .. G89

// The offset memories the interpreter reads and writes (D and H offsets with their wear, the F
// memory). The arrays belong to the configuration; null pointers read as 0 and take no writes.
struct NcOffsetMemoryView {
    float* dOffset = {};  // kToolOffsetEntries each
    float* dWear = {};
    float* hOffset = {};
    float* hWear = {};
    const float* feedMemory = {};  // kFeedMemoryEntries
    int memoryType = 3;            // 1 A, 2 B, 3 C
};

// The current tool as the length offsets read it (mm).
struct NcCurrentToolView {
    int number = {};
    int type = {};                   // 1 BALL, 4 TAPERBALL have a ball radius
    double cornerRadius = {};        // the ball radius of ball tools
    double cornerCentreHeight = {};  // F-centre
    double length = {};              // LENGTH value
    double arborTop = {};            // top of the tool profile
};

// The controller's settings keep the names of ControllerDefinition (and the machine's those of
// MachineDefinition), so that one search finds every reader of a setting; the rest are values
// the view derives or takes from other records, named for what they hold.
struct NcControllerView {
    // Dialect: number and flags.
    NcDialect dialect = {};

    // Numbers: the decimal-point rule (3 NORMAL: every value as written) and the least input
    // increments of angles and scale factors (the coordinate increment is InputIncrements).
    int decimalPointRule = {};
    int angleIncrement = 1000;
    int scaleIncrement = 1000;

    // Line source.
    std::vector<ReplaceEntry> replacements;  // at most kReplaceEntriesMax, in table order
    int codeCheck = {};                      // 1: every line must pass the character check
    int hasAllowedCharacters = {};           // 0, or an empty set: any character is allowed
    std::string allowedCharacters;           // allowed besides the digits
    unsigned char blockSkip[10] = {};        // "/" (0) and "/1".."/9"
    int blockSkipAny = {};
    char endOfRecord = ' ';  // a line starting with it starts and ends the program; blank: none
    int runTypeMemory = {};  // 1: the program runs from its in-memory copy

    // Code strings matched in a line before its letters: lathe on/off for the two turning
    // switches, cut on/off for the cutting switch (empty: none); and the wait M codes.
    std::string latheOnCode[2];
    std::string latheOffCode[2];
    std::string cutOnCode;
    std::string cutOffCode;
    int resetCuttingEnabled = 1;
    std::vector<WaitMCode> waitMCodes;

    // Checks.
    double arcRadiusTolerance = 1000000.0;  // mm, arc start and end radius may differ below this
    int checkF0 = {};

    // Cutter compensation: error 6 for an offset arc turned inside out (CHECK REVERSE ARC), the
    // feed of concave offset arcs (CONCAVE-ARC FEED), the cancel of a G40 without motion (ONLY
    // G40: 1 OFFSET, 2 RESET) and the radius-offset alarm (CHECK RADIUS OFFSET; 1 LIST or 2 OPEN
    // also write it to the alarm report).
    int reverseArcCheck = {};
    int concaveArcFeed = 1;
    int compensationCancelMode = 1;
    int radiusCheckAny = {};
    int radiusCheckListMode = {};

    // Planes and letters: the controller's axis letters and plane codes (the plane codes of the
    // machine planes XY, ZX and YZ, the coordinate, arc centre, rotary and incremental letters),
    // and per machine axis 0..2 whether its coordinate word counts the other way.
    int initialPlane = 17;
    ControllerAxisLetters axes = {};
    int axisReversed[3] = {};

    // Length offsets: 0 FANUC-A, 1 FANUC-B, 2 FANUC-C.
    int lengthOffsetType = {};
    int autoLengthOffset = {};
    int autoLengthPosition = {};  // 0 BOTTOM, 1 BALL-CENTER, 2 F-CENTER
    int automaticToolOffset = {};
    int hCodeAuto = {};

    // Modes.
    int feedWordMode = {};  // 0 DIRECT, 1 INDIRECT, 2 AUTO1, 3 AUTO2
    int g92Mode = {};       // 1 MOVE: the first G92 of a run moves no origin
    int g49Mode = {};       // 1 KEEP
    int resetToolCenterControl = {};
    int returnLevel = 1;  // 1 initial level (G98), 0 R level (G99)
    int ignoreL0 = {};
    int ignoreK0 = {};
    double rotationAngle = {};     // deg, the default angle of a G68 without R
    int ospTiltedPlaneCode = 313;  // OSP: the plane code that G469 P1 takes (313 builds it)
    double scale[3] = {1.0, 1.0, 1.0};
    int scaleEffect[3] = {1, 1, 1};
    int lathe[2] = {};
    int wire = {};

    // Reference points (machine coordinates) with a flag for each point a MEMORY REF-PT line set.
    double referencePoint[kReferencePoints][5] = {};
    int referencePointPresent[kReferencePoints] = {};

    // Offset memories.
    NcOffsetMemoryView offsets = {};

    // Machine and tools file.
    int rotaryType = {};
    double machineFixedLength = {};  // mm, the machine's fixed length value
    int magazineCount = 200;         // tools 1..magazineCount exist
    int toolChangeRouteSteps = {};   // 0: no tool-change route
    NcCurrentToolView currentTool = {};
    int directToolDigits = {};  // > 0: T carries tool and offset number with this many digits
    double toolHolderOffset = {};
    int toolBasePoint = {};  // settings: 0 BOTTOM .. 4 ARBOR-TOP

    // Canned cycles: the peck clearances of G73 and G83 (mm; the HEIDENHAIN cycles from 200
    // replace both for the rest of a run) and the CLEARANCE of each cycle code from G70 (mm).
    double g73Peck = 1.0;
    double g83Peck = 1.0;
    double clearance[kCycleClearanceCodes] = {};

    // Rapid positioning: the type (0 none, 1 dog-leg, 2 per-axis profile, 9 straight), G00PATH
    // LINE, the rapid rate (mm/min) and acceleration (as the machine file gives it; x 1000 is
    // mm/s^2) of X, Y and Z, and the step length of the simulation (mm).
    int rapidType = {};
    int linearRapidPath = {};
    double rapid[3] = {};
    double rapidAcceleration[3] = {};
    double stepLength = 1.0;

    // Tool change: ATC TYPE (1 T, 2 WAIT, 3 WAIT2), the tool change position (machine
    // coordinates, mm and deg) and per route step the axes that move (toolChangeRouteSteps).
    int atcType = 1;
    double toolChangePosition[5] = {};
    int toolChangeRoute[kToolChangeRouteSteps][5] = {};

    // Stops: STOP OPTION (0 NONE, 1 NORMAL, 2 M01, 3 SINGLE, 4 DEFINE) and the DEFINE strings.
    int stopOption = {};
    std::vector<std::string> stopStrings;
};

// The values in force. Tests and the trace tool may set fields directly.

// Fills the session's controller view from the configuration records (settings, tool tables,
// controller, machine and current tool). The pullers call it before ResetInterpreterState, after
// the definition files were read.
void RefreshNcControllerView(NcSession& session);

// Fills the hooks through which the definition-file readers reach the interpreter (dropping the
// held program, the start state and work origin after a controller reading, the length offset
// of a selected tool), the work offset source of the frames and the progress hooks. Called once
// at start-up.
void InstallNcServiceHooks();

// The 1-based number of the first present tool of the tool tables whose name is exactly
// name[0, length); 0 when there is none.
int FindToolByName(const char* name, int length);

}  // namespace mirexa
