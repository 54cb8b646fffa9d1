// The machine definition file (.MTL): name, tool changer, rapid and feed limits, the screen
// direction of the axes, the rotary axes with their tilt, tables and head, a fixed angle head,
// stroke limits and the structure model entries (machine_models.h), read into the
// MachineDefinition and handed to the kinematics (CurrentMachine). Read after the controller
// file, whose axis letters and reversal flags it uses.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_info.h"

namespace mirexa {

inline constexpr int kToolChangeRouteSteps = 5;
inline constexpr std::size_t kMachineNameChars = 255;
inline constexpr std::size_t kRouteTextChars = 10;

// The moves of a tool change: per step one flag per axis X, Y, Z, rotary 1, rotary 2.
struct ToolChangeRoute {
    std::int32_t steps = {};
    std::int32_t moves[kToolChangeRouteSteps][5] = {};
};

// One rotary axis as the machine file gives it.
struct RotaryAxisDefinition {
    std::int32_t ownAxis = {};              // 0 X, 1 Y, 2 Z
    std::int32_t otherAxes[2] = {1, 2};     // the two others in cyclic order
    double direction[3] = {1.0, 0.0, 0.0};  // unit direction, tilt applied
    double tiltAngle = {};                  // AXISn ANGLE (deg)
    double vector[3] = {};                  // AXISn VECTOR
    std::int32_t angleFlag = {};
    std::int32_t vectorFlag = {};
    double tiltCos = 1.0;
    double tiltSin = {};
    double azimuthCos = 1.0;
    double azimuthSin = {};
};

struct MachineDefinition {
    std::string name = {};  // at most 255 characters

    // --- Tool changer ---
    std::int32_t atcType = 1;     // 1 DIRECT, 2 WAIT, 3 WAIT2
    std::int32_t tWordMode = {};  // 0, or 4 for "DIRECT T n,m"
    std::int32_t tWordNumber = {};
    double toolChangePosition[5] = {};  // mm, deg
    std::int32_t toolChangePositionGiven = {};
    float toolChangeTime = {};   // s
    std::string routeText = {};  // at most 10 characters
    ToolChangeRoute route = {};

    // --- Feeds (mm/min) and accelerations ---
    float rapid[3] = {};
    float rapidAcceleration[3] = {};
    float maxFeed[3] = {};
    float acceleration[3] = {};

    std::int32_t axisDirection = {};  // how the machine axes lie on the screen (0 .. 43)

    // --- Rotary axes ---
    std::int32_t rotaryType = {};  // 0 none, 1 HEAD, 2 TABLE, 3 MIX
    RotaryAxisDefinition rotary[2] = {{0, {1, 2}, {1, 0, 0}}, {2, {0, 1}, {0, 0, 1}}};

    // --- Tables and head (mm) ---
    std::int32_t tableType[2] = {1, 2};  // 0 none, 1 PLANE, 2 CIRCLE, 3 AXIS, 4 LATHE
    std::int32_t headType[2] = {2, 2};   // 0 after NO, otherwise 2
    double tablePosition[3] = {};
    double tableOffset[3] = {};
    double headPosition[3] = {};
    double headOffset[3] = {};
    double secondTableCentre[3] = {};
    double toolHolderOffset = {};
    unsigned char tableCarries[3] = {};  // the table carries X, Y, Z
    std::int32_t tableCarriedCount = {};

    // --- Fixed angle head ---
    double headAngles[3] = {};  // about X, Y, Z (deg)
    double toolDirection[3] = {0.0, 0.0, 1.0};
    std::int32_t headRotation = {};

    // --- Stroke limits: X, Y, Z (mm), rotary 1, rotary 2 (deg) ---
    double strokes[5][2] = {};
    std::int32_t strokeGiven[5] = {};
    std::int32_t anyStroke = {};

    // --- File bookkeeping ---
    std::int32_t status = {};  // 1 read, -1 not opened
    std::int32_t knownLines =
        {};  // lines of the last reading the reader knows (IsKnownMachineLine)
    std::string path = {};
    FileWriteTime fileTime = {};
};
extern MachineDefinition Machine;

// 1 when the machine reader takes something from the line (a keyword of the file or a
// structure model entry); 0 for a line of plain text. A file without such a line holds nothing to
// use: no table, vice or stroke would be checked.
int IsKnownMachineLine(const char* line);

// Reads the file named by the machine path of the definition file paths; see ReadMachineFileAt.
void ReadMachineFile(int clearLists);

// Reads the machine file. A missing file: status -1 and the previous definition stays (except
// the tool changer resets of the first step). clearLists 1 empties every model list; 0 keeps a
// VICE list while its keep mark is set. At the end the definition is handed to the kinematics
// (CurrentMachine), the structure models are loaded, and the view and the axis label table are
// told through the hooks.
void ReadMachineFileAt(const std::string& path, int clearLists);

// Fills the tool change route from the text: empty, two steps (Z, then X and Y); otherwise the
// letters X, Y, Z and the two rotary letters set their flag in the current step, "-" starts a
// new step (at most 5; further steps are ignored), any other character ends the text. Blank
// rotary letters match nothing.
void ParseToolChangeRoute(const std::string& text, ToolChangeRoute* route);

// The fixed head's tool direction from its angles about X, Y and Z (deg); only one of ax and ay
// is non-zero.
void AnglesToRotation(double ax, double ay, double az, double direction[3]);
// The angles about X and about Z (deg) of a tool direction.
void DirectionToAngles(const double direction[3], double* angleX, double* angleZ);

// The code of an AXIS DIRECTION word, 0 when none matches.
std::int32_t AxisDirectionCode(const char* value);

}  // namespace mirexa
