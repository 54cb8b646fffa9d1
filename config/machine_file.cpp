// The machine definition file: the keyword table in its test order, the tilt of the rotary
// axes, the fixed angle head, the tool change route, and the steps that end every reading.
#include "config/machine_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "config/axis_label_table.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/definition_hooks.h"
#include "config/definition_keywords.h"
#include "config/machine_models.h"
#include "config/structure_models.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/program_log.h"

namespace mirexa {

MachineDefinition Machine;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 180.0 / kPi;

// TOOL BASE POINT modes that a ROTARY TYPE line sets when the settings did not.
constexpr std::int32_t kBasePointBottom = 0;
constexpr std::int32_t kBasePointArborTop = 4;

// A rotary STROKE RANGE( line whose letter is not a machine axis letter, kept until the rotary
// letters are known.
struct PendingStroke {
    char letter = {};
    double range[2] = {};
};

// What one reading collects besides the definition.
struct MachineReading {
    std::vector<PendingStroke> rotaryStrokes = {};
};

using Handler = void (*)(const char* line, MachineReading* reading);

struct MachineKeyword {
    std::string_view keyword;
    Handler handler;
};

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void ScanTriple(const char* line, LineCursor cursor, double out[3]) {
    ScanDouble(&cursor, line, &out[0]);
    ScanNextDouble(&cursor, line, &out[1]);
    ScanNextDouble(&cursor, line, &out[2]);
}

template <auto Field, LineCursor Position>
void ReadTriple(const char* line, MachineReading*) {
    ScanTriple(line, Position, Machine.*Field);
}

template <auto Field, int Index, LineCursor Position>
void ReadFloatElement(const char* line, MachineReading*) {
    LineCursor cursor = Position;
    ScanFloat(&cursor, line, &(Machine.*Field)[Index]);
}

void ReadName(const char* line, MachineReading*) {
    std::string_view name = RestOfLine(line, FindValueStart(line, 5));
    if (name.size() > kMachineNameChars) {
        name = name.substr(0, kMachineNameChars);
    }
    Machine.name.assign(name);
    if (DefinitionCallbacks.announceMachineName != nullptr) {
        DefinitionCallbacks.announceMachineName(Machine.name.c_str());
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void ReadAtcType(const char* line, MachineReading*) {
    const LineCursor start = FindValueStart(line, 9);
    if (MatchWordAt(line, start, "DIRECT")) {
        Machine.atcType = 1;
        // "DIRECT T n,m": the T word names pockets; m goes to the block interpreter.
        LineCursor p = ClampCursorToLine(line, start + 7);
        if (ToUpperAscii(line[p]) != 'T') {
            return;
        }
        ++p;
        while (line[p] == ' ') {
            ++p;
        }
        if (!IsDigit(line[p])) {
            return;
        }
        while (IsDigit(line[p])) {
            ++p;
        }
        while (line[p] == ' ') {
            ++p;
        }
        if (line[p] != ',') {
            return;
        }
        ++p;
        while (line[p] == ' ') {
            ++p;
        }
        if (!IsDigit(line[p])) {
            return;
        }
        Machine.tWordMode = 4;
        Machine.tWordNumber = ParseDecimalInt32(line + p);
    } else if (MatchWordAt(line, start, "WAIT2")) {
        Machine.atcType = 3;
    } else if (MatchWordAt(line, start, "WAIT")) {
        Machine.atcType = 2;
    }
}

void ReadRouteText(const char* line, MachineReading*) {
    std::string_view text = RestOfLine(line, FindValueStart(line, 18));
    Machine.routeText.assign(text.substr(0, std::min(text.size(), kRouteTextChars)));
}

void ReadToolChangePosition(const char* line, MachineReading*) {
    Machine.toolChangePositionGiven = 1;
    LineCursor cursor = 21;
    ScanDouble(&cursor, line, &Machine.toolChangePosition[0]);
    for (int i = 1; i < 5; ++i) {
        ScanNextDouble(&cursor, line, &Machine.toolChangePosition[i]);
    }
}

void ReadMaximumFeedrate(const char* line, MachineReading*) {
    LineCursor cursor = 17;
    ScanFloat(&cursor, line, &Machine.maxFeed[0]);
    Machine.maxFeed[1] = Machine.maxFeed[2] = Machine.maxFeed[0];
}

void ReadAxisDirection(const char* line, MachineReading*) {
    Machine.axisDirection = AxisDirectionCode(line + FindValueStart(line, 15));
}

void ReadRotaryType(const char* line, MachineReading*) {
    const int word = MatchValueWord(line, 12, {"HEAD", "TABLE", "MIX"});
    if (word < 0) {
        return;
    }
    Machine.rotaryType = word + 1;
    if (!Settings.toolBasePointGiven) {
        Settings.toolBasePoint = word == 0 ? kBasePointArborTop : kBasePointBottom;
    }
}

void ReadRotaryAxis(const char* line, int k) {
    RotaryAxisDefinition& axis = Machine.rotary[k];
    axis.direction[0] = axis.direction[1] = axis.direction[2] = 0.0;
    const char letter = ToUpperAscii(line[FindValueStart(line, 13)]);
    int own = -1;
    char defaultLetter = 0;
    if (letter == 'X' || letter == 'A') {
        own = 0, defaultLetter = 'A';
    } else if (letter == 'Y' || letter == 'B') {
        own = 1, defaultLetter = 'B';
    } else if (letter == 'Z' || letter == 'C') {
        own = 2, defaultLetter = 'C';
    }
    if (own >= 0) {
        axis.ownAxis = own;
        axis.otherAxes[0] = (own + 1) % 3;
        axis.otherAxes[1] = (own + 2) % 3;
    }
    // The controller's rotary letter wins over the machine's default letter.
    char& rotaryLetter = Controller.axes.rotaryLetters[k];
    if (defaultLetter != 0 && (rotaryLetter == kNoAxisLetter || rotaryLetter == '\0')) {
        rotaryLetter = defaultLetter;
    }
    Controller.axes.labels[3 + k][1] = rotaryLetter;
    axis.direction[axis.ownAxis] = 1.0;
}

void ReadAxisVector(const char* line, int k) {
    RotaryAxisDefinition& axis = Machine.rotary[k];
    ScanTriple(line, 13, axis.vector);
    if (axis.vector[0] != 0.0 || axis.vector[1] != 0.0 || axis.vector[2] != 0.0) {
        axis.vectorFlag = 1;
    }
}

int TableTypeWord(const char* line, LineCursor cursor) {
    const int word = MatchValueWord(line, cursor, {"PLANE", "CIRCLE", "AXIS", "LATHE"});
    return word + 1;  // anything else (NO) is 0
}

void ReadAngleHead(const char* line, MachineReading*) {
    const char letter = ToUpperAscii(line[ClampCursorToLine(line, 11)]);
    LineCursor cursor = 13;
    double value = 0;
    ScanDouble(&cursor, line, &value);
    double* angles = Machine.headAngles;
    if (letter == 'A' || letter == 'X') {
        angles[0] = value;
        if (angles[0] != 0.0 && angles[1] != 0.0) {
            angles[1] = 0.0;
        }
    } else if (letter == 'B' || letter == 'Y') {
        angles[1] = value;
        if (angles[0] != 0.0 && angles[1] != 0.0) {
            angles[0] = 0.0;
        }
    } else if (letter == 'C' || letter == 'Z') {
        angles[2] = value;
    }
}

void ReadToolHolderOffset(const char* line, MachineReading*) {
    LineCursor cursor = 19;
    ScanDouble(&cursor, line, &Machine.toolHolderOffset);
}

void ReadStrokeRange(const char* line, MachineReading* reading) {
    const char letter = ToUpperAscii(line[ClampCursorToLine(line, 13)]);
    double range[2] = {};
    LineCursor cursor = 16;
    ScanDouble(&cursor, line, &range[0]);
    ScanNextDouble(&cursor, line, &range[1]);
    Machine.anyStroke = 1;
    for (int axis = 0; axis < 3; ++axis) {
        if (ToUpperAscii(Controller.axes.coordinateLetters[axis]) == letter) {
            Machine.strokes[axis][0] = range[0];
            Machine.strokes[axis][1] = range[1];
            Machine.strokeGiven[axis] = 1;
            return;
        }
    }
    // Rotary letters are known only after the file; at most five such entries are kept.
    if (reading->rotaryStrokes.size() < 5) {
        reading->rotaryStrokes.push_back({letter, {range[0], range[1]}});
    }
}

void ReadMove(const char* line, int axis) {
    if (MatchValueWord(line, 8, {"TABLE"}) == 0) {
        Machine.tableCarries[axis] = 1;
    }
}

// The keywords in their test order; the model entries lie between TOOL HOLDER OFFSET and
// MOVE(X).
const MachineKeyword kKeywords[] = {
    {"NAME", ReadName},
    {"ATC TYPE", ReadAtcType},
    {"TOOL CHANGE ROUTE", ReadRouteText},
    {"TOOL CHANGE POSITION", ReadToolChangePosition},
    {"TOOL CHANGE TIME",
     [](const char* l, MachineReading*) {
         LineCursor cursor = 17;
         ScanFloat(&cursor, l, &Machine.toolChangeTime);
     }},
    {"RAPID(X)", ReadFloatElement<&MachineDefinition::rapid, 0, 9>},
    {"RAPID(Y)", ReadFloatElement<&MachineDefinition::rapid, 1, 9>},
    {"RAPID(Z)", ReadFloatElement<&MachineDefinition::rapid, 2, 9>},
    {"RAPID ACCELERATION(X)", ReadFloatElement<&MachineDefinition::rapidAcceleration, 0, 22>},
    {"RAPID ACCELERATION(Y)", ReadFloatElement<&MachineDefinition::rapidAcceleration, 1, 22>},
    {"RAPID ACCELERATION(Z)", ReadFloatElement<&MachineDefinition::rapidAcceleration, 2, 22>},
    {"MAXIMUM FEEDRATE(X)", ReadFloatElement<&MachineDefinition::maxFeed, 0, 20>},
    {"MAXIMUM FEEDRATE(Y)", ReadFloatElement<&MachineDefinition::maxFeed, 1, 20>},
    {"MAXIMUM FEEDRATE(Z)", ReadFloatElement<&MachineDefinition::maxFeed, 2, 20>},
    {"MAXIMUM FEEDRATE", ReadMaximumFeedrate},
    {"ACCELERATION(X)", ReadFloatElement<&MachineDefinition::acceleration, 0, 16>},
    {"ACCELERATION(Y)", ReadFloatElement<&MachineDefinition::acceleration, 1, 16>},
    {"ACCELERATION(Z)", ReadFloatElement<&MachineDefinition::acceleration, 2, 16>},
    {"MAXIMUM ACCELERATION(X)", ReadFloatElement<&MachineDefinition::acceleration, 0, 24>},
    {"MAXIMUM ACCELERATION(Y)", ReadFloatElement<&MachineDefinition::acceleration, 1, 24>},
    {"MAXIMUM ACCELERATION(Z)", ReadFloatElement<&MachineDefinition::acceleration, 2, 24>},
    {"AXIS DIRECTION", ReadAxisDirection},
    {"ROTARY TYPE", ReadRotaryType},
    {"ROTARY AXIS1", [](const char* l, MachineReading*) { ReadRotaryAxis(l, 0); }},
    {"ROTARY AXIS2", [](const char* l, MachineReading*) { ReadRotaryAxis(l, 1); }},
    {"AXIS1 ANGLE",
     [](const char* l, MachineReading*) {
         LineCursor cursor = 12;
         ScanDouble(&cursor, l, &Machine.rotary[0].tiltAngle);
     }},
    {"AXIS2 ANGLE",
     [](const char* l, MachineReading*) {
         LineCursor cursor = 12;
         ScanDouble(&cursor, l, &Machine.rotary[1].tiltAngle);
     }},
    {"AXIS1 VECTOR", [](const char* l, MachineReading*) { ReadAxisVector(l, 0); }},
    {"AXIS2 VECTOR", [](const char* l, MachineReading*) { ReadAxisVector(l, 1); }},
    {"TABLE1 TYPE",
     [](const char* l, MachineReading*) { Machine.tableType[0] = TableTypeWord(l, 11); }},
    {"TABLE TYPE",
     [](const char* l, MachineReading*) { Machine.tableType[0] = TableTypeWord(l, 11); }},
    {"TABLE2 TYPE",
     [](const char* l, MachineReading*) { Machine.tableType[1] = TableTypeWord(l, 12); }},
    {"HEAD1 TYPE",
     [](const char* l, MachineReading*) {
         if (MatchValueWord(l, 11, {"NO"}) == 0) {
             Machine.headType[0] = 0;
         }
     }},
    {"HEAD2 TYPE",
     [](const char* l, MachineReading*) {
         if (MatchValueWord(l, 11, {"NO"}) == 0) {
             Machine.headType[1] = 0;
         }
     }},
    {"ANGLE HEAD(", ReadAngleHead},
    {"TOOL DIRECTION", ReadTriple<&MachineDefinition::toolDirection, 15>},
    {"TABLE POSITION", ReadTriple<&MachineDefinition::tablePosition, 15>},
    {"TABLE OFFSET", ReadTriple<&MachineDefinition::tableOffset, 13>},
    {"HEAD POSITION", ReadTriple<&MachineDefinition::headPosition, 14>},
    {"HEAD OFFSET", ReadTriple<&MachineDefinition::headOffset, 12>},
    {"TOOL HOLDER OFFSET", ReadToolHolderOffset},
    {"MOVE(X)", [](const char* l, MachineReading*) { ReadMove(l, 0); }},
    {"MOVE(Y)", [](const char* l, MachineReading*) { ReadMove(l, 1); }},
    {"MOVE(Z)", [](const char* l, MachineReading*) { ReadMove(l, 2); }},
    {"STROKE RANGE(", ReadStrokeRange},
};

void ApplyMachineLine(const char* line, MachineReading* reading) {
    for (const MachineKeyword& entry : kKeywords) {
        if (MatchWordAt(line, 0, entry.keyword)) {
            entry.handler(line, reading);
            return;
        }
        if (entry.keyword == "TOOL HOLDER OFFSET" && ApplyMachineModelLine(line)) {
            return;
        }
    }
}

}  // namespace

int IsKnownMachineLine(const char* line) {
    for (const MachineKeyword& entry : kKeywords) {
        if (MatchWordAt(line, 0, entry.keyword)) {
            return 1;
        }
    }
    return IsMachineModelLine(line);
}

namespace {

// Step 4: the defaults of every reading of an existing file.
void ResetMachineDefaults() {
    MachineDefinition& m = Machine;
    m.toolDirection[0] = 0.0, m.toolDirection[1] = 0.0, m.toolDirection[2] = 1.0;
    m.headAngles[0] = m.headAngles[1] = m.headAngles[2] = 0.0;
    m.toolHolderOffset = 0.0;
    m.rotaryType = 0;
    m.tableCarries[0] = m.tableCarries[1] = m.tableCarries[2] = 0;
    m.tableCarriedCount = 0;
    m.headRotation = 0;
    m.tableType[0] = 1, m.tableType[1] = 2;
    m.headType[0] = 2, m.headType[1] = 2;
    m.axisDirection = 0;
    for (int i = 0; i < 5; ++i) {
        m.strokeGiven[i] = 0;
    }
    m.anyStroke = 0;
    m.rotary[0] = RotaryAxisDefinition{0, {1, 2}, {1, 0, 0}};
    m.rotary[1] = RotaryAxisDefinition{2, {0, 1}, {0, 0, 1}};
    m.routeText.clear();
    // A base point that the settings did not give follows the machine: it returns to BOTTOM
    // unless this file's ROTARY TYPE says otherwise.
    if (!Settings.toolBasePointGiven) {
        Settings.toolBasePoint = kBasePointBottom;
    }
}

// Step 11, one rotary axis tilted by an angle (deg) towards its first other axis.
void ApplyAngleTilt(RotaryAxisDefinition* axis) {
    double s = 0, c = 1;
    SinCosDegrees(axis->tiltAngle, 1, &s, &c);
    axis->angleFlag = 1;
    axis->tiltCos = c, axis->tiltSin = s;
    axis->direction[axis->ownAxis] = c;
    axis->direction[axis->otherAxes[0]] = s;
    axis->azimuthCos = 1.0, axis->azimuthSin = 0.0;
}

// Step 11, one rotary axis about X or Y tilted along a vector: the elevation from the XY plane
// and the azimuth from the own axis towards the other horizontal axis. An axis about Z has no
// azimuth plane: its vector is refused.
void ApplyVectorTilt(int k, RotaryAxisDefinition* axis) {
    if (axis->ownAxis == 2) {
        AppendLogEntry("AXIS" + std::to_string(k + 1) +
                       " VECTOR: a rotary axis about Z cannot be tilted by a vector; ignored\n");
        axis->vectorFlag = 0;
        return;
    }
    const double* v = axis->vector;
    const double r = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    const double t = std::atan2(v[2], r);  // +-90 deg for a vector along Z
    axis->tiltCos = std::cos(t), axis->tiltSin = std::sin(t);
    const int own = axis->ownAxis;
    const int other = own == 0 ? 1 : 0;
    const double p = std::atan2(v[other], v[own]);
    axis->azimuthCos = std::cos(p), axis->azimuthSin = std::sin(p);
    axis->direction[own] = axis->tiltCos * axis->azimuthCos;
    axis->direction[other] = axis->tiltCos * axis->azimuthSin;
    axis->direction[2] = axis->tiltSin;
}

void ApplyRotaryTilt() {
    for (int k = 0; k < 2; ++k) {
        if (Machine.rotary[k].tiltAngle != 0.0) {
            ApplyAngleTilt(&Machine.rotary[k]);
            break;
        }
    }
    // Only one vector is used, AXIS1 VECTOR first; an angle tilt of the same axis wins.
    for (int k = 0; k < 2; ++k) {
        RotaryAxisDefinition& axis = Machine.rotary[k];
        if (axis.vectorFlag) {
            if (!axis.angleFlag) {
                ApplyVectorTilt(k, &axis);
            }
            break;
        }
    }
}

void ApplyFixedHead() {
    MachineDefinition& m = Machine;
    const double* d = m.toolDirection;
    if (m.headAngles[0] != 0.0 || m.headAngles[1] != 0.0) {
        m.headRotation = 1;
        AnglesToRotation(m.headAngles[0], m.headAngles[1], m.headAngles[2], m.toolDirection);
    } else if (d[0] != 0.0 || d[1] != 0.0 || d[2] != 1.0) {
        m.headRotation = 1;
        DirectionToAngles(m.toolDirection, &m.headAngles[0], &m.headAngles[2]);
    }
}

// Hands the definition to the kinematics' record.
void PublishMachineToKinematics() {
    MachineGeometry& g = CurrentMachine;
    const MachineDefinition& m = Machine;
    g.rotaryType = m.rotaryType;
    for (int k = 0; k < 2; ++k) {
        RotaryAxisFrame& f = g.rotary[k];
        const RotaryAxisDefinition& a = m.rotary[k];
        f.axis = a.ownAxis;
        f.planeP = a.otherAxes[0];
        f.planeQ = a.otherAxes[1];
        f.sign = Controller.rotaryDirection[k];
        f.tiltKind = a.angleFlag ? kTiltAngle : a.vectorFlag ? kTiltVector : kTiltNone;
        f.tiltCos = a.tiltCos, f.tiltSin = a.tiltSin;
        f.azimuthCos = a.azimuthCos, f.azimuthSin = a.azimuthSin;
    }
    for (int i = 0; i < 3; ++i) {
        g.headPosition[i] = m.headPosition[i];
        g.headOffset[i] = m.headOffset[i];
        g.tablePosition[i] = m.tablePosition[i];
        g.tableOffset[i] = m.tableOffset[i];
        g.secondTableCentre[i] = m.secondTableCentre[i];
        g.toolDirection[i] = m.toolDirection[i];
    }
    g.toolDirectionTilted =
        (m.toolDirection[0] != 0.0 || m.toolDirection[1] != 0.0 || m.toolDirection[2] != 1.0);
    g.headRotation = m.headRotation;
    for (int i = 0; i < 5; ++i) {
        g.strokes.enabled[i] = m.strokeGiven[i];
        g.strokes.min[i] = m.strokes[i][0];
        g.strokes.max[i] = m.strokes[i][1];
    }
    KinematicsController.axisLetters[3] = Controller.axes.rotaryLetters[0];
    KinematicsController.axisLetters[4] = Controller.axes.rotaryLetters[1];
}

}  // namespace

std::int32_t AxisDirectionCode(const char* value) {
    struct Word {
        const char* text;
        std::int32_t code;
    };
    static const Word kWords[] = {
        {"RIGHT-Y,BACK+X", 1},  {"RIGHT-X,BACK-Y", 2},  {"RIGHT+Y,BACK-X", 3},
        {"RIGHT+Z,BACK+Y", 10}, {"RIGHT+Z,BACK+X", 11}, {"RIGHT+Z,BACK-Y", 12},
        {"RIGHT+Z,BACK-X", 13}, {"RIGHT-Z,BACK+Y", 20}, {"RIGHT-Z,BACK+X", 21},
        {"RIGHT-Z,BACK-Y", 22}, {"RIGHT-Z,BACK-X", 23}, {"RIGHT+X,BACK-Z", 30},
        {"RIGHT-Y,BACK-Z", 31}, {"RIGHT-X,BACK-Z", 32}, {"RIGHT+Y,BACK-Z", 33},
        {"RIGHT+X,BACK+Z", 40}, {"RIGHT-Y,BACK+Z", 41}, {"RIGHT-X,BACK+Z", 42},
        {"RIGHT+Y,BACK+Z", 43},
    };
    for (const Word& word : kWords) {
        if (StartsWithKeyword(value, word.text)) {
            return word.code;
        }
    }
    return 0;
}

void ParseToolChangeRoute(const std::string& text, ToolChangeRoute* route) {
    *route = ToolChangeRoute{};
    if (text.empty()) {
        route->steps = 2;
        route->moves[0][2] = 1;
        route->moves[1][0] = route->moves[1][1] = 1;
        return;
    }
    const char letters[5] = {'X', 'Y', 'Z', ToUpperAscii(Controller.axes.rotaryLetters[0]),
                             ToUpperAscii(Controller.axes.rotaryLetters[1])};
    int step = 0;
    for (char raw : text) {
        const char c = ToUpperAscii(raw);
        if (c == '-') {
            if (step + 1 >= kToolChangeRouteSteps) {
                break;  // the route holds five steps
            }
            ++step;
            continue;
        }
        int axis = -1;
        for (int i = 0; i < 5 && axis < 0; ++i) {
            // A blank rotary letter is no letter.
            if (letters[i] == c && c != ' ' && c != '\0') {
                axis = i;
            }
        }
        if (axis < 0) {
            break;
        }
        route->moves[step][axis] = 1;
    }
    route->steps = step + 1;
}

void AnglesToRotation(double ax, double ay, double az, double direction[3]) {
    double s = 0, c = 1;
    if (ax == 0.0 && ay == 0.0) {
        direction[0] = 0.0, direction[1] = 0.0, direction[2] = 1.0;
        return;
    }
    if (ax == 0.0) {
        SinCosDegrees(ay, 1, &s, &c);
        direction[0] = s, direction[1] = 0.0, direction[2] = c;
    } else {
        SinCosDegrees(ax, 1, &s, &c);
        direction[0] = 0.0, direction[1] = -s, direction[2] = c;
    }
    if (az != 0.0) {
        SinCosDegrees(az, 1, &s, &c);
        const double x = direction[0];
        const double y = direction[1];
        direction[0] = c * x - s * y;
        direction[1] = c * y + s * x;
    }
}

void DirectionToAngles(const double direction[3], double* angleX, double* angleZ) {
    const double x = direction[0];
    const double y = direction[1];
    const double z = direction[2];
    if (x == 0.0 && y == 0.0) {
        *angleX = 0.0, *angleZ = 0.0;
        return;
    }
    if (x == 0.0) {
        *angleZ = y > 0.0 ? 0.0 : 180.0;
    } else if (y == 0.0) {
        *angleZ = x > 0.0 ? 90.0 : -90.0;
    } else {
        *angleZ = std::atan(x / y) * kDegreesPerRadian;
    }
    *angleX = z == 0.0 ? 90.0 : std::atan(std::sqrt(x * x + y * y) / z) * kDegreesPerRadian;
}

void ReadMachineFileAt(const std::string& path, int clearLists) {
    MachineDefinition& m = Machine;
    // 1. Tool changer.
    m.atcType = 1;
    m.tWordMode = 0;
    m.toolChangePositionGiven = 0;
    m.toolChangePosition[3] = m.toolChangePosition[4] = 0.0;
    // 2. Write time.
    m.path = path;
    // 3. Open.
    DefinitionLineStream stream;
    if (!OpenDefinitionFile(path, &stream, &m.fileTime)) {
        m.status = -1;
        return;
    }
    // 4. Defaults; 5. model names.
    m.status = 1;
    ResetMachineDefaults();
    FreeMachineModels();
    ClearMachineModelNames(clearLists);
    // 6. The lines.
    MachineReading reading;
    m.knownLines = 0;
    while (ReadNextDefinitionLine(&stream)) {
        if (!RefuseNonFiniteLine(stream)) {
            m.knownLines += IsKnownMachineLine(stream.text);
            ApplyMachineLine(stream.text, &reading);
        }
    }
    // 8. Close.
    std::fclose(stream.file);
    // 7. Rotary stroke ranges by the rotary letters.
    for (const PendingStroke& stroke : reading.rotaryStrokes) {
        for (int k = 0; k < 2; ++k) {
            if (stroke.letter == ToUpperAscii(Controller.axes.rotaryLetters[k]) &&
                stroke.letter != ' ') {
                m.strokes[3 + k][0] = stroke.range[0];
                m.strokes[3 + k][1] = stroke.range[1];
                m.strokeGiven[3 + k] = 1;
            }
        }
    }
    if (DefinitionCallbacks.markViewDirty != nullptr) {
        DefinitionCallbacks.markViewDirty();
    }
    if (DefinitionCallbacks.markSceneRebuild != nullptr) {
        DefinitionCallbacks.markSceneRebuild();
    }
    // 9. Rotary signs.
    for (int k = 0; k < 2; ++k) {
        Controller.axes.rotarySignFlags[k] =
            ResolveRotarySignFlag(Controller.axes, Controller.axes.rotaryLetters[k]);
    }
    // 10. Centre of the second table.
    if (m.rotaryType == 2) {
        const RotaryAxisDefinition& second = m.rotary[1];
        for (int i = 0; i < 3; ++i) {
            m.secondTableCentre[i] = m.tablePosition[i];
        }
        m.secondTableCentre[second.otherAxes[0]] += m.tableOffset[second.otherAxes[0]];
        m.secondTableCentre[second.otherAxes[1]] += m.tableOffset[second.otherAxes[1]];
    }
    // 11, 12. Tilt and fixed head.
    ApplyRotaryTilt();
    ApplyFixedHead();
    PublishMachineToKinematics();
    // 13. The structure models, every vice with its offset: the copies of the last VICE offset
    // are made before the vices are loaded, not after.
    FillMissingViceOffsets();
    LoadMachineModels();
    // 14. HEIDENHAIN changes tools directly.
    if (Controller.dialect.heidenhain) {
        m.atcType = 1;
    }
    // 15. The route.
    if (m.toolChangePositionGiven) {
        ParseToolChangeRoute(m.routeText, &m.route);
    }
    // 16. Axis labels.
    InitAxisLabelTable();
    // 17, 18.
    m.tableCarriedCount = m.tableCarries[0] + m.tableCarries[1] + m.tableCarries[2];
    // 19. Frames.
    UpdateToolMatrixFromPosition();
    UpdateToolMatrixWithWorkOffset();
}

void ReadMachineFile(int clearLists) {
    ReadMachineFileAt(DefinitionFiles.machineFile, clearLists);
}

}  // namespace mirexa
