// Controller dialects: HEIDENHAIN cycle definitions, Q parameters, datum shifts and PLANE, the
// SIEMENS CYCLE800 argument list and the OSP inclined-plane and subprogram calls.
#include "nc/controller_dialects.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"

namespace mirexa {

NcDialectState DialectState;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int SkipBlanks(const char* line, int at) {
    while (IsBlank(line[at])) {
        ++at;
    }
    return at;
}

// A number at line + *at after blanks and an optional "=": sign, digits, one ".", exponent. The
// cursor moves behind it; no digits read 0 and leave the cursor behind the blanks.
double ReadNumberAt(const char* line, int* at) {
    int i = SkipBlanks(line, *at);
    if (line[i] == '=') {
        i = SkipBlanks(line, i + 1);
    }
    const int start = i;
    if (line[i] == '+' || line[i] == '-') {
        ++i;
    }
    bool digits = false;
    while (IsDigit(line[i]) || line[i] == '.') {
        digits = digits || IsDigit(line[i]);
        ++i;
    }
    if (!digits) {
        *at = start;
        return 0.0;
    }
    if ((line[i] == 'e' || line[i] == 'E') &&
        (IsDigit(line[i + 1]) ||
         ((line[i + 1] == '+' || line[i + 1] == '-') && IsDigit(line[i + 2])))) {
        i += 2;
        while (IsDigit(line[i])) {
            ++i;
        }
    }
    *at = i;
    return ConvertWordNumber(line + start, i - start);
}

// A non-negative integer at line + *at after blanks; -1 when there are no digits. Saturates far
// beyond every table (the callers bound it).
int ReadIndexAt(const char* line, int* at) {
    int i = SkipBlanks(line, *at);
    if (line[i] == '=') {
        i = SkipBlanks(line, i + 1);
    }
    if (!IsDigit(line[i])) {
        return -1;
    }
    long value = 0;
    while (IsDigit(line[i])) {
        if (value < 1000000) {
            value = value * 10 + (line[i] - '0');
        }
        ++i;
    }
    *at = i;
    return static_cast<int>(value);
}

// Selects work offset entry 0 .. 200: entry 0 leaves the external offset alone as the origin.
// The position registers are re-based as for G54. 0 for an index beyond the table.
int SelectDialectWorkOffset(int index) {
    if (index < 0 || index > kDialectWorkOffsetMax) {
        return 0;
    }
    if (index == 0) {
        NcRun.modal.workOffsetIndex = 0;
        ReapplyWorkOrigin();
        return 1;
    }
    return ChangeWorkOffset(index);
}

// The levels of the cycles from 200: first (set-up clearance), second (depth), third (second
// set-up clearance) above the surface (base).
void PublishCycleLevels() {
    const HeidenhainCycleParameters& p = DialectState.cycle;
    HeidenhainCycleLevels& l = NcRun.modal.heidenhainLevels;
    l.first = p.setUpClearance;
    l.second = p.depth;
    l.third = p.secondClearance;
    l.base = p.surface;
}

// Reads every "Qn=value" of line from `at` on.
void ReadQWords(const char* line, int at) {
    for (int i = at; line[i] != '\0';) {
        if (line[i] == ';') {
            return;
        }
        if (line[i] == 'Q' && IsDigit(line[i + 1])) {
            int j = i + 1;
            const int n = ReadIndexAt(line, &j);
            j = SkipBlanks(line, j);
            if (line[j] == '=') {
                const double value = ReadNumberAt(line, &j);
                SetHeidenhainQParameter(n, value);
            }
            i = j > i ? j : i + 1;
            continue;
        }
        ++i;
    }
}

}  // namespace

void ResetDialectState() {
    DialectState = NcDialectState{};
    PublishCycleLevels();
}

void ClearDialectBlock() {
    NcDialectState& s = DialectState;
    s.centreMode = 0;
    s.directionGiven = 0;
    s.circleBlock = 0;
    s.polarBlock = 0;
    s.polarRadiusGiven = 0;
    s.polarAngleGiven = 0;
    s.polarAngleIncremental = 0;
    s.polarRadiusIncremental = 0;
    s.planeMode = 0;
    s.orientation.anglesGiven = 0;
    s.orientation.vectorGiven = 0;
    s.diameterModeWord = 0;
    s.ospWorkOffsetWord = 0;
    s.ospReturnLevelWord = 0;
    s.ospShiftPending = 0;
}

int MatchDialectKeyword(const char* line, int at, const char* keyword, int* after) {
    int i = at;
    for (const char* k = keyword; *k != '\0'; ++k) {
        if (*k == ' ') {
            i = SkipBlanks(line, i);
            continue;
        }
        if (line[i] != *k) {
            return 0;
        }
        ++i;
    }
    if (after != nullptr) {
        *after = i;
    }
    return 1;
}

int SetHeidenhainQParameter(int n, double value) {
    if (n < 0 || n >= kQParameterCount) {
        return 0;
    }
    HeidenhainCycleParameters& p = DialectState.cycle;
    NcModalState& modal = NcRun.modal;
    p.q[n] = value;
    p.qGiven[n] = 1;
    switch (n) {
        case 200:
            p.setUpClearance = value;
            break;
        case 201:
            p.depth = value;
            break;
        case 202:
            p.plungingDepth = value;
            modal.cyclePeck = value;
            break;
        case 203:
            p.surface = value;
            break;
        case 204:
            p.secondClearance = value;
            break;
        case 206:
            p.feed = value;
            break;
        case 211:
            p.dwell = value;
            modal.dwellTime = value;
            break;
        case 339:
            if (modal.heidenhainCycleCode == 247) {
                const int index =
                    value >= 0.0 && value <= kDialectWorkOffsetMax ? static_cast<int>(value) : -1;
                SelectDialectWorkOffset(index);
            }
            break;
        default:
            break;
    }
    PublishCycleLevels();
    return 1;
}

int ParseHeidenhainIsoCycleWord(int* cursor, const char* line) {
    int at = *cursor;
    if (line[at] == '0') {
        ++at;  // P01 .. P05: the leading 0 is skipped
    }
    if (line[at] < '1' || line[at] > '5' || IsDigit(line[at + 1])) {
        return 0;
    }
    const int word = line[at] - '0';
    ++at;
    HeidenhainCycleParameters& p = DialectState.cycle;
    NcModalState& modal = NcRun.modal;
    const bool peckCycle = modal.heidenhainCycleCode == 73 || modal.heidenhainCycleCode == 83;
    switch (word) {
        case 1:
            p.setUpClearance = ReadWordMilli(&at, line);
            modal.cycleRWord = p.setUpClearance;
            at = FindWordEnd(at, line);
            break;
        case 2:
            p.depth = ReadWordCoordinate(&at, line);
            modal.cycleDepthWord = p.depth;
            NcRun.block.axisWordSeen = 1;
            break;
        case 3:
            if (peckCycle) {
                p.plungingDepth = ReadWordCoordinate(&at, line);
                modal.cyclePeck = p.plungingDepth;
            } else {
                p.dwell = ReadWordMilliAlways(&at, line);
                modal.dwellTime = p.dwell;
                at = FindWordEnd(at, line);
            }
            break;
        case 4:
            if (peckCycle) {
                p.dwell = ReadWordMilliAlways(&at, line);
                modal.dwellTime = p.dwell;
                at = FindWordEnd(at, line);
            } else {
                p.feed = ReadWordReal(&at, line);
            }
            break;
        default:
            if (!peckCycle) {
                return 0;  // P05 only belongs to the peck cycles
            }
            p.feed = ReadWordReal(&at, line);
            break;
    }
    PublishCycleLevels();
    *cursor = at;
    return 1;
}

int ParseHeidenhainCyclDef(int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int at = SkipBlanks(line, *cursor);
    *cursor = end;
    NcModalState& modal = NcRun.modal;
    if (line[at] == '7' && line[at + 1] == '.') {
        const char sub = line[at + 2];
        if (sub == '0' && !IsDigit(line[at + 3])) {
            return 1;  // the datum shift header
        }
        if (sub < '1' || sub > '3' || IsDigit(line[at + 3])) {
            return 0;
        }
        at = SkipBlanks(line, at + 3);
        if (line[at] == '#') {
            ++at;
            return SelectDialectWorkOffset(ReadIndexAt(line, &at));
        }
        for (int axis = 0; axis < 3; ++axis) {
            if (line[at] == NcController.axisLetter[axis]) {
                ++at;
                const double value = ReadWordCoordinate(&at, line);
                NcRun.transforms.workOffsets[1].axis[axis] = value;
                if (modal.workOffsetIndex == 1) {
                    ReapplyWorkOrigin();
                } else {
                    ChangeWorkOffset(1);
                }
                return 1;
            }
        }
        return 0;
    }
    const int number = ReadIndexAt(line, &at);
    if (number == 247) {
        modal.heidenhainCycleCode = 247;
        ReadQWords(line, at);
        return 1;
    }
    if (number >= 200 && number <= 209) {
        modal.heidenhainCycleCode = number;
        ReadQWords(line, at);
        return 1;
    }
    return 0;
}

int ParseHeidenhainPlane(int* cursor, const char* line) {
    int at = SkipBlanks(line, *cursor);
    const int end = static_cast<int>(std::strlen(line));
    NcDialectState& s = DialectState;
    MotionRecord& m = CurrentMotion;
    if (MatchDialectKeyword(line, at, "SPATIAL", &at)) {
        static const char* const kWords[3] = {"SPA", "SPB", "SPC"};
        for (int k = 0; k < 3; ++k) {
            const char* word = std::strstr(line + at, kWords[k]);
            int i = word != nullptr ? static_cast<int>(word - line) + 3 : -1;
            CurrentWorkPlane.planeAngles[k] = i >= 0 ? ReadNumberAt(line, &i) : 0.0;
        }
        s.planeSequence = 0;
        if (const char* seq = std::strstr(line + at, "SEQ")) {
            const char sign = seq[3];
            s.planeSequence = sign == '+' ? 1 : sign == '-' ? -1 : 0;
        }
        s.planeMode = 5;
        NcRun.modal.gCode = 682;
        *cursor = end;
        return 1;
    }
    if (MatchDialectKeyword(line, at, "RESET", &at)) {
        for (double& a : CurrentWorkPlane.planeAngles) {
            a = 0.0;
        }
        for (int k = 3; k < 5; ++k) {
            m.end.axis[k] = 0.0;
            NcRun.programmed.axis[k] = 0.0;
        }
        NcRun.modal.gCode = 69;
        CurrentWorkPlane.active = 0;
        CurrentWorkPlane.mode = 0;
        s.planeMode = 0;
        s.planeSequence = 0;
        KinematicsMode.preferredRotarySign = 0;
        *cursor = end;
        return 1;
    }
    *cursor = end;
    return 0;
}

int ApplyOo88InclinedPlaneCall(int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int source = NcRun.modal.workOffsetIndex;
    int target = -1;
    double angles[2] = {};
    double shift[3] = {};
    double rotaryValue[3] = {};  // PCA, PCB, PCC: the values of the rotary axes A, B, C
    int rotaryGiven[3] = {};
    for (int i = *cursor; i < end;) {
        if (line[i] != 'P') {
            ++i;
            continue;
        }
        int at = i + 1;
        const char a = line[at], b = line[at + 1];
        if (a == 'C' && (b == 'A' || b == 'B' || b == 'C')) {
            at += 2;
            rotaryValue[b - 'A'] = ReadNumberAt(line, &at);
            rotaryGiven[b - 'A'] = 1;
        } else if (a == 'H' || a == 'P') {
            ++at;
            const int index = ReadIndexAt(line, &at);
            (a == 'H' ? source : target) = index;
        } else if (a == 'A' || a == 'B') {
            ++at;
            angles[a - 'A'] = ReadNumberAt(line, &at);
        } else if (a == 'X' || a == 'Y' || a == 'Z') {
            ++at;
            shift[a - 'X'] = ReadNumberAt(line, &at);
        } else if (a == 'C') {
            ++at;
            ReadNumberAt(line, &at);  // PC: kept by the control, not used by the simulation
        }
        i = at > i ? at : i + 1;
    }
    *cursor = end;
    // Entry 0 is the external offset, which the call must not overwrite.
    if (source < 0 || source > kDialectWorkOffsetMax || target < 1 ||
        target > kDialectWorkOffsetMax) {
        return 0;
    }
    MotionPosition* offsets = NcRun.transforms.workOffsets;
    const MotionPosition from = offsets[source];
    double point[3];
    for (int i = 0; i < 3; ++i) {
        point[i] = from.axis[i] + shift[i];
    }
    double turned[3] = {point[0], point[1], point[2]};
    if (CurrentMachine.rotaryType == 2 || CurrentMachine.rotaryType == 3) {
        double s1 = 0, c1 = 1, s2 = 0, c2 = 1;
        SinCosDegrees(angles[0], CurrentMachine.rotary[0].sign, &s1, &c1);
        SinCosDegrees(angles[1], CurrentMachine.rotary[1].sign, &s2, &c2);
        TurnPointWithTable(point, s1, c1, s2, c2, turned);
    }
    MotionPosition& to = offsets[target];
    for (int i = 0; i < 3; ++i) {
        to.axis[i] = turned[i];
    }
    for (int k = 0; k < 2; ++k) {
        const char letter = NcController.rotaryLetter[k];
        const int slot = letter >= 'A' && letter <= 'C' ? letter - 'A' : -1;
        to.axis[3 + k] = slot >= 0 && rotaryGiven[slot] ? rotaryValue[slot] : from.axis[3 + k];
    }
    if (NcRun.modal.workOffsetIndex == target) {
        ReapplyWorkOrigin();
        return 1;
    }
    return ChangeWorkOffset(target);
}

int ParseCycle800Arguments(int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int at = SkipBlanks(line, *cursor);
    *cursor = end;
    if (line[at] != '(') {
        return 0;  // no list: as an empty one
    }
    ++at;
    // The fields, split at the commas outside quotes, up to the closing parenthesis.
    constexpr int kFields = 15;
    int fieldStart[kFields] = {}, fieldEnd[kFields] = {};
    int count = 0;
    bool quoted = false;
    int start = at;
    int close = -1;
    for (int i = at; i < end; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ')')) {
            if (count < kFields) {
                fieldStart[count] = start;
                fieldEnd[count] = i;
            }
            ++count;
            start = i + 1;
            if (c == ')') {
                close = i;
                break;
            }
        }
    }
    if (close < 0) {
        return -1;  // cut off by the line's end: not a list
    }
    *cursor = close + 1;
    if (MatchDialectKeyword(line, at, ",\"0", nullptr)) {
        return 0;  // the reset form
    }
    if (count == 1 && SkipBlanks(line, fieldStart[0]) == fieldEnd[0]) {
        return 0;  // an empty list
    }
    Cycle800Arguments& a = DialectState.cycle800;
    a = Cycle800Arguments{};
    const auto integer = [&](int k) {
        return k < count && k < kFields
                   ? ConvertWordInteger(line + fieldStart[k], fieldEnd[k] - fieldStart[k])
                   : 0;
    };
    const auto real = [&](int k) {
        return k < count && k < kFields
                   ? ConvertWordNumber(line + fieldStart[k], fieldEnd[k] - fieldStart[k])
                   : 0.0;
    };
    a.retractionMode = integer(0);
    if (count > 1) {
        const char* q1 = std::strchr(line + fieldStart[1], '"');
        const char* q2 =
            q1 != nullptr && q1 < line + fieldEnd[1] ? std::strchr(q1 + 1, '"') : nullptr;
        if (q2 != nullptr && q2 < line + fieldEnd[1]) {
            const int length = static_cast<int>(q2 - q1 - 1);
            const int kept = length < kSwivelNameCapacity - 1 ? length : kSwivelNameCapacity - 1;
            std::memcpy(a.swivelName, q1 + 1, static_cast<size_t>(kept));
            a.swivelName[kept] = '\0';
        }
    }
    a.swivelState = integer(2);
    int state = a.swivelState < 0 ? -a.swivelState : a.swivelState;
    for (int d = 5; d >= 0; --d) {
        a.swivelDigits[d] = state % 10;
        state /= 10;
    }
    a.rotationOrder = integer(3);
    if (a.rotationOrder == 0) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        a.referencePoint[i] = real(4 + i);
        a.angles[i] = real(7 + i);
        a.offset[i] = real(10 + i);
    }
    a.direction = integer(13);
    a.retractionValue = integer(14);
    return 1;
}

void CompleteDialectBlock() {
    NcDialectState& s = DialectState;
    TiltedWorkPlane& plane = CurrentWorkPlane;
    MotionRecord& m = CurrentMotion;
    NcModalState& modal = NcRun.modal;
    if (s.ospShiftPending) {
        for (int i = 0; i < 5; ++i) {
            m.end.axis[i] += s.ospPendingShift[i];
            m.lastPosition.axis[i] += s.ospPendingShift[i];
        }
        s.ospShiftPending = 0;
    }
    if (s.planeMode == 5) {
        BuildRotationFromAngles();
        // The rotary axes stay where the machine holds them; the moves that follow turn them.
        for (int k = 3; k < 5; ++k) {
            m.end.axis[k] = CurrentMachinePose.machine.axis[k] - WorkOrigin.axis[k];
        }
        plane.mode = 5;
        plane.active = 1;
        modal.lengthCompensation = 1;
        KinematicsMode.preferredRotarySign = s.planeSequence;
        return;
    }
    if (s.planeMode == 4) {
        const Cycle800Arguments& a = s.cycle800;
        const int previousOrder = plane.rotationOrderCode;
        double previousAngles[3];
        std::memcpy(previousAngles, plane.planeAngles, sizeof previousAngles);
        plane.rotationOrderCode = a.rotationOrder;
        for (int i = 0; i < 3; ++i) {
            plane.planeAngles[i] = a.angles[i];
        }
        if (!BuildTiltedPlaneMatrix(a.swivelDigits[5])) {
            // An unknown rotation order leaves the plane as it was.
            plane.rotationOrderCode = previousOrder;
            std::memcpy(plane.planeAngles, previousAngles, sizeof previousAngles);
            return;
        }
        // The plane's origin: the reference point, then the offset along the turned axes.
        for (int i = 0; i < 3; ++i) {
            plane.origin[i] = a.referencePoint[i];
            for (int k = 0; k < 3; ++k) {
                plane.origin[i] += plane.matrix[3 * k + i] * a.offset[k];
            }
        }
        plane.mode = 4;
        plane.active = 1;
        SetLengthOffsetForCurrentTool();
        modal.lengthCompensation = 1;
    }
}

int CallOspSubprogram(int* cursor, const char* line) {
    int at = *cursor;
    if (line[at] != 'O') {
        return 0;
    }
    int stop = at;
    while (line[stop] != '\0' && !IsBlank(line[stop]) && line[stop] != '\r' && line[stop] != '\n' &&
           line[stop] != ';') {
        ++stop;
    }
    *cursor = stop;
    if (NcController.runTypeMemory) {
        int digits = at + 1;
        const int number = ReadIndexAt(line, &digits);
        return number >= 0 ? EnterSubprogramFromMemory(number) : 0;
    }
    return OpenSubprogramByName(line + at, stop - at);
}

}  // namespace mirexa
