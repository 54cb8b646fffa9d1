// The controller definition file: defaults, the keyword table in its test order, and the steps
// that end every reading.
#include "config/controller_file.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/config_records.h"
#include "config/definition_hooks.h"
#include "config/definition_keywords.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "platform/file_reading.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/program_log.h"

namespace mirexa {

ControllerDefinition Controller;
std::vector<ReplaceEntry> ReplaceTable;
OptionalBlockSkipSwitches OptionalBlockSkipFlags;

namespace {

using Handler = void (*)(const char* line, ControllerDefinition* c);

// A keyword with its handler, or, for a plain switch, the field that the value word behind the
// keyword sets to a value.
struct ControllerKeyword {
    std::string_view keyword;
    Handler handler = nullptr;
    std::int32_t ControllerDefinition::*flag = nullptr;
    std::string_view word = {};
    std::int32_t value = {};
};

// A number read from the file as an int in [lo, hi]; NaN gives lo.
std::int32_t ClampToInt(double value, std::int32_t lo, std::int32_t hi) {
    if (!(value >= lo)) {
        return lo;
    }
    return value > hi ? hi : static_cast<std::int32_t>(value);
}

// The value word behind a keyword of length n.
int Word(const char* line, std::size_t n, std::initializer_list<std::string_view> words) {
    return MatchValueWord(line, static_cast<LineCursor>(n), words);
}

bool IsDigitAt(const char* line, LineCursor position) {
    return position >= 0 && ClampCursorToLine(line, position) == position &&
           line[position] >= '0' && line[position] <= '9';
}

// The unit word at the first number-start character from the position: the index of the group
// (0, 1, 2 ...) whose spelling the value has, followed by something that is not a digit.
int MatchUnitGroup(const char* line, LineCursor position,
                   std::initializer_list<std::initializer_list<std::string_view>> groups) {
    LineCursor p = ClampCursorToLine(line, position);
    while (line[p] != '\0' && std::strchr(NumberStartSet, line[p]) == nullptr) {
        ++p;
    }
    int index = 0;
    for (const auto& group : groups) {
        for (std::string_view word : group) {
            const LineCursor end = p + static_cast<LineCursor>(word.size());
            if (MatchWordAt(line, p, word) && !IsDigitAt(line, end)) {
                return index;
            }
        }
        ++index;
    }
    return -1;
}

void ReadUnitIncrement(const char* line, LineCursor position, std::int32_t* increment) {
    switch (MatchUnitGroup(line, position,
                           {{"1/100000", "0.00001", ".00001"}, {"1/1000", "0.001", ".001"}})) {
        case 0:
            *increment = 100000;
            break;
        case 1:
            *increment = 1000;
            break;
        default:
            break;
    }
}

void ReadName(const char* line, ControllerDefinition* c) {
    std::string_view text = RestOfLine(line, FindValueStart(line, 12));
    if (text.size() > kControllerNameChars) {
        text = text.substr(0, kControllerNameChars);
    }
    c->name.assign(text);
}

void ReadReplace(const char* line, ControllerDefinition*) {
    if (ReplaceTable.size() >= kReplaceTableCapacity) {
        return;
    }
    const std::string_view rest = RestOfLine(line, 7);
    const std::size_t first = rest.find_first_of("\"'");
    if (first == std::string_view::npos) {
        return;
    }
    const char quote = rest[first];
    std::size_t quotes[4] = {first};
    for (int i = 1; i < 4; ++i) {
        quotes[i] = rest.find(quote, quotes[i - 1] + 1);
        if (quotes[i] == std::string_view::npos) {
            return;
        }
    }
    ReplaceEntry entry;
    entry.from.assign(rest.substr(quotes[0] + 1, quotes[1] - quotes[0] - 1));
    entry.to.assign(rest.substr(quotes[2] + 1, quotes[3] - quotes[2] - 1));
    if (!entry.from.empty()) {
        ReplaceTable.push_back(std::move(entry));
    }
}

void ReadNameColor(const char* line, ControllerDefinition* c) {
    LineCursor cursor = 11;
    float values[6] = {};
    ScanFloat(&cursor, line, &values[0]);
    for (int i = 1; i < 6; ++i) {
        ScanNextFloat(&cursor, line, &values[i]);
    }
    for (int i = 0; i < 3; ++i) {
        c->nameColor[i] = ClampToInt(values[i], 0, 255);
        c->nameBackground[i] = ClampToInt(values[3 + i], 0, 255);
    }
}

void ReadUnit(const char* line, ControllerDefinition* c) {
    // "UNIT(" followed by anything but SCALE and DEG is another kind of unit line.
    if (line[4] == '(' || (line[4] != '\0' && line[5] == '(')) {
        return;
    }
    switch (MatchUnitGroup(
        line, 5,
        {{"1/10000", "0.0001", ".0001"}, {"1/1000", "0.001", ".001"}, {"1/100", "0.01", ".01"}})) {
        case 0:
            c->leastInputIncrement = 10000, c->coordinateTolerance = 0.00005;
            break;
        case 1:
            c->leastInputIncrement = 1000, c->coordinateTolerance = 0.0005;
            break;
        case 2:
            c->leastInputIncrement = 100, c->coordinateTolerance = 0.0005;
            break;
        default:
            break;
    }
}

void ReadDecimalPoint(const char* line, ControllerDefinition* c) {
    static const std::int32_t kRules[3] = {3, 0, 1};
    const int word = Word(line, 13, {"NORMAL", "NO", "YES"});
    c->decimalPointRule = word >= 0 ? kRules[word] : 2;
}

void ReadProduct(const char* line, ControllerDefinition* c) {
    switch (Word(line, 7, {"OSP", "MAZAK", "SIEMENS", "HEIDENHAIN"})) {
        case 0:
            c->dialect.number = 1, c->dialect.osp = 1, c->tcpProgramSide = 1;
            c->workOffsetIndex = 0, c->resetWorkOffsetIndex = 0;
            break;
        case 1:
            c->dialect.mazak = 1;
            break;
        case 2:
            c->dialect.siemens = 1, c->tcpProgramSide = 1;
            break;
        case 3:
            c->dialect.heidenhain = 1, c->tcpProgramSide = 1, c->dialect.number = 11;
            break;
        default:
            break;
    }
}

// Sets *field to values[word] when the value word behind the keyword is one of the words.
void SetByWord(const char* line, std::size_t keywordLength,
               std::initializer_list<std::string_view> words,
               std::initializer_list<std::int32_t> values, std::int32_t* field) {
    const int word = Word(line, keywordLength, words);
    if (word >= 0) {
        *field = values.begin()[word];
    }
}

void ReadInitialPlane(const char* line, ControllerDefinition* c) {
    SetByWord(line, 13, {"XY", "G17", "ZX", "G18", "YZ", "G19"}, {17, 17, 18, 18, 19, 19},
              &c->initialPlane);
}

void ReadRadiusOffsetCheck(const char* line, ControllerDefinition* c) {
    static const std::string_view kWords[4] = {"STOP", "LIST", "OPEN", "PENKI"};
    LineCursor p = FindValueStart(line, 19);
    while (line[p] != '\0') {
        int found = -1;
        for (int i = 0; i < 4 && found < 0; ++i) {
            found = MatchWordAt(line, p, kWords[i]) ? i : -1;
        }
        if (found < 0) {
            ++p;
            continue;
        }
        if (found == 0) {
            c->radiusCheckStop = 1;
        } else if (found == 3) {
            c->radiusCheckPaint = 1;
        } else {
            c->radiusCheckListMode = found;
        }
        const char* plus = std::strchr(line + p, '+');
        if (plus == nullptr) {
            break;
        }
        p = static_cast<LineCursor>(plus - line) + 1;
    }
    c->radiusCheckAny = (c->radiusCheckStop || c->radiusCheckListMode || c->radiusCheckPaint);
}

void ReadCheckChar(const char* line, ControllerDefinition* c) {
    const std::string_view rest = RestOfLine(line, 10);
    const std::size_t open = rest.find('"');
    const std::size_t close = open == std::string_view::npos ? open : rest.find('"', open + 1);
    if (close == std::string_view::npos) {
        return;
    }
    c->hasAllowedCharacters = 1;
    c->allowedCharacters.assign(rest.substr(open + 1, close - open - 1));
}

void ReadOptionalBlockSkip(const char* line, ControllerDefinition*) {
    LineCursor cursor = 19;
    float value = 0;
    ScanFloat(&cursor, line, &value);
    for (;;) {
        // Switch numbers outside 0..9 name no switch and are passed over.
        if (value >= 0.0f && value < 10.0f) {
            OptionalBlockSkipFlags.on[static_cast<int>(value)] = 1;
        }
        if (std::strchr(line + ClampCursorToLine(line, cursor), ',') == nullptr) {
            break;
        }
        // A comma with no number behind it on a last line without a line end leaves the cursor
        // on that comma: stop there instead of finding it again.
        const LineCursor before = cursor;
        ScanNextFloat(&cursor, line, &value);
        if (cursor == before) {
            break;
        }
    }
    unsigned char any = 0;
    for (unsigned char on : OptionalBlockSkipFlags.on) {
        any |= on;
    }
    OptionalBlockSkipFlags.anyOn = any ? 1 : 0;
}

void ReadStopCharacter(const char* line, ControllerDefinition* c) {
    const char* equals = std::strchr(line + 14, '=');
    if (equals == nullptr) {
        return;
    }
    const std::string_view rest = RestOfLine(line, static_cast<LineCursor>(equals - line) + 1);
    std::size_t p = 0;
    while (p < rest.size()) {
        const std::size_t begin = rest.find_first_not_of(" \t,", p);
        if (begin == std::string_view::npos) {
            break;
        }
        std::size_t end = rest.find_first_of(" \t,", begin);
        if (end == std::string_view::npos) {
            end = rest.size();
        }
        // A string longer than the table's 10 characters could never be matched as written,
        // so it is passed over rather than cut; so are strings beyond the 20th.
        if (end - begin <= kStopStringChars && c->stopStrings.size() < kStopStringCapacity) {
            c->stopStrings.emplace_back(rest.substr(begin, end - begin));
        }
        p = end;
    }
}

// The "ON CODE" or "OFF CODE" part of a LATHE or CUT line from the cursor: returns 1 for on, 0
// for off, -1 for neither; code receives the code text (up to a blank, a tab or the line end).
int ReadCodeString(const char* line, LineCursor cursor, std::string* code) {
    int on = -1;
    if (MatchWordAt(line, cursor, "ON CODE")) {
        on = 1, cursor += 7;
    } else if (MatchWordAt(line, cursor, "OFF CODE")) {
        on = 0, cursor += 8;
    } else {
        return -1;
    }
    const std::string_view rest = RestOfLine(line, cursor);
    const std::size_t begin = rest.find_first_not_of(" \t=");
    if (begin == std::string_view::npos) {
        code->clear();
        return on;
    }
    std::size_t end = rest.find_first_of(" \t", begin);
    if (end == std::string_view::npos) {
        end = rest.size();
    }
    if (end - begin > kCodeStringChars) {
        return -1;  // longer than the table holds: the line is passed over
    }
    code->assign(rest.substr(begin, end - begin));
    return on;
}

void ReadLatheCode(const char* line, ControllerDefinition* c) {
    int entry = 0;
    LineCursor cursor = 0;
    if (line[5] == ' ' || line[5] == '1') {
        cursor = line[5] == ' ' ? 6 : 7;
    } else if (line[5] == '2') {
        entry = 1, cursor = 7;
    } else {
        return;
    }
    std::string code;
    const int on = ReadCodeString(line, cursor, &code);
    if (on == 1) {
        c->latheOnCode[entry] = code;
    } else if (on == 0) {
        c->latheOffCode[entry] = code;
    }
}

void ReadCutCode(const char* line, ControllerDefinition* c) {
    std::string code;
    const int on = ReadCodeString(line, 4, &code);
    if (code.empty()) {
        return;
    }
    if (on == 1) {
        c->cutOnCode = code;
        if (c->cutOffCode.empty()) {
            c->cuttingEnabled = 0, c->resetCuttingEnabled = 0;
        }
    } else if (on == 0) {
        c->cutOffCode = code;
    }
}

// A wait-file name is only taken when it is a plain file name: it is deleted at every reading,
// so a path could name any file of the user.
bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name.size() <= kWaitFileNameChars &&
           name.find_first_of("/\\") == std::string_view::npos && name != "." && name != "..";
}

void ReadWaitMCodes(const char* line, ControllerDefinition* c) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz(\n";
    // The value ends in a line feed, which belongs to both sets.
    const std::string value = std::string(RestOfLine(line, 11)) + "\n";
    const std::string_view text(value);
    std::size_t p = 0;
    while (p < text.size()) {
        const std::size_t number = text.find_first_of(NumberStartSet, p);
        const std::size_t letter = text.find_first_of(kLetters, p);
        if (number == std::string_view::npos && letter == std::string_view::npos) {
            break;
        }
        std::size_t comma = std::string_view::npos;
        if (number < letter) {
            const std::int32_t code = ParseDecimalInt32(text.data() + number);
            if (c->waitMCodes.size() < kWaitMCodeCapacity) {
                c->waitMCodes.push_back({code, "waitfile"});
            }
            comma = text.find(',', number);
        } else if (letter < number) {
            comma = text.find(',', letter);
            std::string_view name = text.substr(
                letter, comma == std::string_view::npos ? text.size() - letter : comma - letter);
            const std::size_t last = name.find_last_not_of(" \t\r\n");
            name = last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1);
            if (!c->waitMCodes.empty() && IsPlainFileName(name)) {
                c->waitMCodes.back().fileName.assign(name);
            } else if (!c->waitMCodes.empty()) {
                AppendLogEntry("WAIT M-CODE: the file name \"" + std::string(name) +
                               "\" is not a plain file name of up to 14 characters; ignored\n");
            }
        } else {
            comma = text.find(',', number);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        p = comma;
        // Step over the comma the scan stands on.
        ++p;
    }
}

void ReadClearance(const char* line, ControllerDefinition* c) {
    // Exactly two digits: "G7" or "G8", one digit, then " CLEARANCE".
    if (!IsDigitAt(line, 2) || !MatchWordAt(line, 3, " CLEARANCE")) {
        return;
    }
    const int code = (line[1] - '0') * 10 + (line[2] - '0');
    LineCursor cursor = 13;
    ScanDouble(&cursor, line, &c->clearance[code - 70]);
}

void ReadScaleEffect(const char* line, ControllerDefinition* c) {
    const char letter = line[ClampCursorToLine(line, 13)];
    const int axis = (letter == 'X' || letter == 'x')   ? 0
                     : (letter == 'Y' || letter == 'y') ? 1
                     : (letter == 'Z' || letter == 'z') ? 2
                                                        : -1;
    if (axis >= 0 && MatchWordAt(line, FindValueStart(line, 15), "OFF")) {
        c->scaleEffect[axis] = 0;
    }
}

void ReadEndOfRecord(const char* line, ControllerDefinition* c) {
    const char* equals = std::strchr(line + 3, '=');
    if (equals == nullptr) {
        return;
    }
    const char* p = equals + 1;
    while (*p == ' ') {
        ++p;
    }
    if (*p != '\n' && *p != '\0') {
        c->endOfRecord = *p;
    }
}

void ReadType(const char* line, ControllerDefinition* c) {
    switch (Word(line, 4, {"WIRE", "LATHE"})) {
        case 0:
            c->wire = 1, c->tclVectorInterpolation = 1;
            break;
        case 1:
            c->lathe[0] = 1, c->lathe[1] = 1, c->initialPlane = 18;
            break;
        default:
            break;
    }
}

void ReadRotaryRange(const char* line, int axis, ControllerDefinition* c) {
    LineCursor cursor = 13;
    ScanDouble(&cursor, line, &c->rotaryRange[axis][0]);
    ScanNextDouble(&cursor, line, &c->rotaryRange[axis][1]);
    c->rotaryRangeGiven[axis] = 1;
}

void ReadRotaryRoute(const char* line, int axis, ControllerDefinition* c) {
    if (Word(line, 13, {"SHORTEST"}) == 0) {
        c->rotaryRoute[axis] = 1, c->rotaryRouteModal[axis] = 1;
    }
}

void ReadMemoryLine(const char* line, ControllerDefinition*) {
    OffsetLineInfo info;
    if (ParseOffsetMemoryLine(line, 0, &info)) {
        StoreOffsetMemoryValues(line, info);
    }
}

void ReadBareOffsetLine(const char* line, ControllerDefinition*) {
    OffsetLineInfo info;
    if (ParseOffsetMemoryLine(line, 1, &info)) {
        StoreOffsetMemoryValues(line, info);
    }
}

void ReadAxisCodes(const char* line, ControllerDefinition* c) {
    ApplyAxisCodeKeyword(line, &c->axes);
}

void ReadRotaryAndIncrementalLetters(const char* line, ControllerDefinition* c) {
    ApplyRotaryAndIncrementalKeyword(line, &c->axes);
}

// Marks where the offset lines lie in the table, for ClassifyControllerLine.
constexpr std::string_view kMemoryKeyword = "MEMORY";

// A number behind a keyword, scanned from a fixed position into a field (or array element).
void ScanValue(LineCursor* cursor, const char* line, float* out) {
    ScanFloat(cursor, line, out);
}
void ScanValue(LineCursor* cursor, const char* line, double* out) {
    ScanDouble(cursor, line, out);
}
void ScanValue(LineCursor* cursor, const char* line, std::int32_t* out) {
    ScanInt(cursor, line, out);
}

template <auto Field, LineCursor Position>
void ScanField(const char* line, ControllerDefinition* c) {
    LineCursor cursor = Position;
    ScanValue(&cursor, line, &(c->*Field));
}

template <auto Field, int Index, LineCursor Position>
void ScanElement(const char* line, ControllerDefinition* c) {
    LineCursor cursor = Position;
    ScanValue(&cursor, line, &(c->*Field)[Index]);
}

// The keywords in their test order: the first that the line starts with decides.
const ControllerKeyword kKeywords[] = {
    {"NAME(MAX20)", ReadName},
    {"REPLACE", ReadReplace},
    {"NAME COLOR", ReadNameColor},
    {"UNIT(SCALE)",
     [](const char* l, ControllerDefinition* c) { ReadUnitIncrement(l, 12, &c->scaleIncrement); }},
    {"UNIT(DEG)",
     [](const char* l, ControllerDefinition* c) { ReadUnitIncrement(l, 10, &c->angleIncrement); }},
    {"UNIT", ReadUnit},
    {"DECIMAL POINT", ReadDecimalPoint},
    {"PRODUCT", ReadProduct},
    {"ONLY G40",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 8, {"OFFSET", "RESET"}, {1, 2}, &c->compensationCancelMode);
     }},
    {"INITIAL PLANE", ReadInitialPlane},
    {"RETURN LEVEL",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 12, {"R", "G99", "INITIAL", "G98"}, {0, 0, 1, 1}, &c->returnLevel);
     }},
    {"CHECK F0", nullptr, &ControllerDefinition::checkF0, "YES", 1},
    {"R-TOLERANCE", ScanField<&ControllerDefinition::arcRadiusTolerance, 11>},
    {"CODE CHECK", nullptr, &ControllerDefinition::codeCheck, "YES", 1},
    {"CHECK CHAR", ReadCheckChar},
    {"CHECK RADIUS OFFSET", ReadRadiusOffsetCheck},
    {"CHECK REVERSE ARC", nullptr, &ControllerDefinition::reverseArcCheck, "YES", 1},
    {"SMOOTH ANGLE", ScanField<&ControllerDefinition::smoothAngle, 12>},
    {"WARNING LEVEL", ScanField<&ControllerDefinition::warningLevel, 13>},
    {"FEEDRATE",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 8, {"DIRECT", "INDIRECT", "AUTO1", "AUTO2"}, {0, 1, 2, 3}, &c->feedWordMode);
     }},
    {"TOOL OFFSET MEMORY",
     [](const char* l, ControllerDefinition*) {
         SetByWord(l, 18, {"A", "B", "C"}, {1, 2, 3}, &ToolOffsets.type);
     }},
    {"G10MODE",
     [](const char* l, ControllerDefinition*) {
         SetByWord(l, 7, {"FANUC-A", "FANUC-B", "FANUC-C"}, {1, 2, 3}, &ToolOffsets.type);
     }},
    {"G92MODE",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 7, {"NORMAL", "MOVE"}, {0, 1}, &c->g92Mode);
     }},
    {"G49MODE",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 7, {"NORMAL", "KEEP"}, {0, 1}, &c->g49Mode);
     }},
    // The rapid positioning type: LINE a straight line (9), ASYNC1 and ASYNC the dog-leg at
    // equal axis speeds (1), ASYNC2 each axis with its own rate and acceleration (2), UNKNOWN
    // none (0).
    {"G00MODE",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 7, {"LINE", "ASYNC1", "ASYNC2", "ASYNC", "UNKNOWN"}, {9, 1, 2, 1, 0},
                   &c->rapidType);
     }},
    {"G00PATH", nullptr, &ControllerDefinition::linearRapidPath, "LINE", 1},
    {"OPTIONAL BLOCK SKIP", ReadOptionalBlockSkip},
    {"STOP CHARACTER", ReadStopCharacter},
    {"LATHE", ReadLatheCode},
    {"CUT ", ReadCutCode},
    {"CONCAVE-ARC FEED", nullptr, &ControllerDefinition::concaveArcFeed, "KEEP", 0},
    {"STOP OPTION",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 11, {"NONE", "NORMAL", "M01", "SINGLE", "DEFINE"}, {0, 1, 2, 3, 4},
                   &c->stopOption);
     }},
    {"WAIT M-CODE", ReadWaitMCodes},
    {"CYCLE(D)",
     [](const char* l, ControllerDefinition* c) {
         LineCursor cursor = 8;
         ScanFloat(&cursor, l, &c->g83Peck);
         c->g73Peck = c->g83Peck;
     }},
    {"G73_D", ScanField<&ControllerDefinition::g73Peck, 5>},
    {"G83_D", ScanField<&ControllerDefinition::g83Peck, 5>},
    {"G7", ReadClearance},
    {"G8", ReadClearance},
    {"CYCLE(L0)", nullptr, &ControllerDefinition::ignoreL0, "IGNORE", 1},
    {"CYCLE(K0)", nullptr, &ControllerDefinition::ignoreK0, "IGNORE", 1},
    {"SCALE EFFECT(", ReadScaleEffect},
    {"SCALE(X)", ScanElement<&ControllerDefinition::scale, 0, 8>},
    {"SCALE(Y)", ScanElement<&ControllerDefinition::scale, 1, 8>},
    {"SCALE(Z)", ScanElement<&ControllerDefinition::scale, 2, 8>},
    {"ROTATION ANGLE", ScanField<&ControllerDefinition::rotationAngle, 14>},
    {"LENGTH OFFSET TYPE",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 18, {"FANUC-A", "FANUC-B", "FANUC-C"}, {0, 1, 2}, &c->lengthOffsetType);
     }},
    {"CHAR(X)", ReadAxisCodes},
    {"CHAR(Y)", ReadAxisCodes},
    {"CHAR(Z)", ReadAxisCodes},
    {"X-CODE", ReadAxisCodes},
    {"Y-CODE", ReadAxisCodes},
    {"Z-CODE", ReadAxisCodes},
    {"A-CODE", ReadAxisCodes},
    {"B-CODE", ReadAxisCodes},
    {"C-CODE", ReadAxisCodes},
    {kMemoryKeyword, ReadMemoryLine},
    {"EOR", ReadEndOfRecord},
    {"TYPE", ReadType},
    {"Z-CE COORDINATE", nullptr, &ControllerDefinition::zcCoordinate, "Z-C", 1},
    {"AUTO LENGTH OFFSET", nullptr, &ControllerDefinition::autoLengthOffset, "YES", 1},
    {"AUTO LENGTH POSITION",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 20, {"BOTTOM", "BALL-CENTER", "F-CENTER"}, {0, 1, 2}, &c->autoLengthPosition);
     }},
    {"H-CODE VALUE", nullptr, &ControllerDefinition::hCodeAuto, "AUTO", 1},
    {"AUTOMATIC TOOL OFFSET", nullptr, &ControllerDefinition::automaticToolOffset, "YES", 1},
    {"TCL VECTOR INTERPOLATION", nullptr, &ControllerDefinition::tclVectorInterpolation, "VECTOR",
     1},
    {"TCL COORDINATE", nullptr, &ControllerDefinition::tcpProgramSide, "TABLE", 0},
    {"TOOL CENTER CONTROL",
     [](const char* l, ControllerDefinition* c) {
         SetByWord(l, 19, {"NO", "TYPE1", "TYPE2"}, {0, 1, 2}, &c->toolCenterControl);
         c->resetToolCenterControl = c->toolCenterControl;
     }},
    {"ROTARY1 CHAR", ReadRotaryAndIncrementalLetters},
    {"ROTARY2 CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-X CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-Y CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-Z CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-ROTARY1 CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-ROTARY2 CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-I CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-J CHAR", ReadRotaryAndIncrementalLetters},
    {"INC-K CHAR", ReadRotaryAndIncrementalLetters},
    {"ROTARY1 ROUTE", [](const char* l, ControllerDefinition* c) { ReadRotaryRoute(l, 0, c); }},
    {"ROTARY2 ROUTE", [](const char* l, ControllerDefinition* c) { ReadRotaryRoute(l, 1, c); }},
    {"ROTARY1 DIRECTION",
     [](const char* l, ControllerDefinition* c) {
         if (Word(l, 17, {"REVERSE"}) == 0) {
             c->rotaryDirection[0] = -1;
         }
     }},
    {"ROTARY2 DIRECTION",
     [](const char* l, ControllerDefinition* c) {
         if (Word(l, 17, {"REVERSE"}) == 0) {
             c->rotaryDirection[1] = -1;
         }
     }},
    {"ROTARY1 RANGE", [](const char* l, ControllerDefinition* c) { ReadRotaryRange(l, 0, c); }},
    {"ROTARY2 RANGE", [](const char* l, ControllerDefinition* c) { ReadRotaryRange(l, 1, c); }},
    {"ANGLE DECISION", nullptr, &ControllerDefinition::fanuc2AngleDecision, "FANUC-2", 1},
    {"RUN TYPE", nullptr, &ControllerDefinition::runTypeMemory, "MEMORY", 1},
};

// The keyword entry the line starts with, or null.
const ControllerKeyword* FindControllerKeyword(const char* line) {
    for (const ControllerKeyword& entry : kKeywords) {
        if (MatchWordAt(line, 0, entry.keyword)) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsBareOffsetLetter(char c) {
    return c == 'D' || c == 'd' || c == 'H' || c == 'h' || c == 'F' || c == 'f';
}

void ApplyControllerLine(const char* line, ControllerDefinition* c) {
    if (const ControllerKeyword* entry = FindControllerKeyword(line)) {
        if (entry->handler != nullptr) {
            entry->handler(line, c);
        } else if (Word(line, entry->keyword.size(), {entry->word}) == 0) {
            c->*(entry->flag) = entry->value;
        }
    } else if (IsBareOffsetLetter(line[0])) {
        ReadBareOffsetLine(line, c);
    }
}

// Step 1: the defaults of every reading. The fields that are not reset keep their values, and
// the values derived at the end of the last reading stay until this reading derives new ones.
void ResetControllerDefinition(NcSession& session) {
    const ControllerDefinition old = Controller;
    Controller = ControllerDefinition{};
    Controller.name = old.name;
    Controller.arcRadiusTolerance = old.arcRadiusTolerance;
    Controller.smoothAngle = old.smoothAngle;
    Controller.g73Peck = old.g73Peck;
    Controller.g83Peck = old.g83Peck;
    std::memcpy(Controller.axes.labels, old.axes.labels, sizeof old.axes.labels);
    std::memcpy(Controller.axes.rotarySignFlags, old.axes.rotarySignFlags,
                sizeof old.axes.rotarySignFlags);
    std::memcpy(Controller.axes.planeCodes, old.axes.planeCodes, sizeof old.axes.planeCodes);
    std::memcpy(Controller.axes.programXyAxes, old.axes.programXyAxes,
                sizeof old.axes.programXyAxes);
    Controller.axes.toolLengthAxis = old.axes.toolLengthAxis;
    Controller.initialMachinePlane = old.initialMachinePlane;
    std::memcpy(Controller.initialPlaneAxes, old.initialPlaneAxes, sizeof old.initialPlaneAxes);

    ClearReplaceTable();
    FreeNcProgramText(session);
    OptionalBlockSkipFlags = {};
    ClearToolOffsetMemory();
    ToolOffsets.type = 3;
    for (MotionPosition& entry : WorkOffsetTable) {
        entry = {};
    }
    if (DefinitionCallbacks.clearWorkOffsetShifts != nullptr) {
        DefinitionCallbacks.clearWorkOffsetShifts(session);
    }
}

// Deletes the wait files that exist, so that a simulated wait starts from no file.
void DeleteWaitFiles() {
    for (std::size_t i = 0; i < Controller.waitMCodes.size(); ++i) {
        std::string path;
        if (!GetWaitFilePath(i, &path)) {
            continue;
        }
        std::FILE* stream = OpenRegularFile(path, "r");
        if (stream == nullptr) {
            continue;
        }
        std::fclose(stream);
        if (unlink(path.c_str()) == 0) {
            AppendLogEntry("Wait file deleted: " + path + "\n");
        }
    }
}

// Hands the values the kinematics reads to its records.
void PublishControllerToKinematics(KinematicsSessionRecords& kinematics) {
    const ControllerDefinition& c = Controller;
    InputIncrements.leastInputIncrement = c.leastInputIncrement;
    KinematicsController.heidenhain = c.dialect.heidenhain;
    KinematicsController.siemens = c.dialect.siemens;
    KinematicsController.mazak = c.dialect.mazak;
    KinematicsController.lathe = c.lathe[0];
    KinematicsController.angleDecision = c.fanuc2AngleDecision;
    KinematicsController.warningLevel = c.warningLevel;
    for (int i = 0; i < 3; ++i) {
        KinematicsController.axisLetters[i] = c.axes.programLetters[i];
    }
    KinematicsController.axisLetters[3] = c.axes.rotaryLetters[0];
    KinematicsController.axisLetters[4] = c.axes.rotaryLetters[1];
    kinematics.modes.toolCenterControl = c.toolCenterControl;
    kinematics.modes.tclCoordinate = c.tcpProgramSide;
    kinematics.modes.automaticToolOffset = c.automaticToolOffset;
    for (int k = 0; k < 2; ++k) {
        kinematics.modes.shortestPath[k] = c.rotaryRouteModal[k];
        CurrentMachine.rotary[k].sign = c.rotaryDirection[k];
    }
}

}  // namespace

void ClearReplaceTable() {
    ReplaceTable.clear();
}

void FreeNcProgramText(NcSession& session) {
    if (DefinitionCallbacks.freeNcProgramText != nullptr) {
        DefinitionCallbacks.freeNcProgramText(session);
    }
    Controller.runTypeMemory = 0;
}

int IsKnownControllerLine(const char* line) {
    if (FindControllerKeyword(line) != nullptr) {
        return 1;
    }
    OffsetLineInfo info;
    return IsBareOffsetLetter(line[0]) && ParseOffsetMemoryLine(line, 1, &info) ? 1 : 0;
}

int ClassifyControllerLine(const char* line) {
    const ControllerKeyword* entry = FindControllerKeyword(line);
    if (entry != nullptr) {
        return entry->keyword == kMemoryKeyword ? 1 : 0;
    }
    return IsBareOffsetLetter(line[0]) ? 2 : 0;
}

int GetWaitFilePath(std::size_t index, std::string* path) {
    if (index >= Controller.waitMCodes.size() ||
        !IsPlainFileName(Controller.waitMCodes[index].fileName)) {
        return 0;
    }
    char directory[4096];
    if (!GetPathDirectory(Controller.path, directory, sizeof directory)) {
        return 0;
    }
    *path = ConvertPathSeparators(directory) + Controller.waitMCodes[index].fileName;
    return 1;
}

void ReadControllerFileAt(NcSession& session, KinematicsSessionRecords& kinematics,
                          const std::string& path) {
    // 1. Defaults.
    ResetControllerDefinition(session);
    Controller.path = path;
    // 2. The write time ("no time" when the file is missing).
    // 3. Open.
    DefinitionLineStream stream;
    if (!OpenDefinitionFile(path, &stream, &Controller.fileTime)) {
        Controller.status = -1;
        return;
    }
    // 4. The lines; 5. close.
    Controller.status = 1;
    Controller.knownLines = 0;
    while (ReadNextDefinitionLine(&stream)) {
        if (!RefuseNonFiniteLine(stream)) {
            Controller.knownLines += IsKnownControllerLine(stream.text);
            ApplyControllerLine(stream.text, &Controller);
        }
    }
    std::fclose(stream.file);
    PublishControllerToKinematics(kinematics);
    // 6. Wait files.
    DeleteWaitFiles();
    // 7. Labels and rotary signs.
    ControllerAxisLetters& axes = Controller.axes;
    FillAxisLabelStrings(&axes);
    for (int k = 0; k < 2; ++k) {
        axes.rotarySignFlags[k] = ResolveRotarySignFlag(axes, axes.rotaryLetters[k]);
    }
    // 8. Plane codes and the initial plane on the machine.
    DeriveArcPlaneCodes(&axes);
    Controller.initialMachinePlane =
        SelectMachinePlane(axes.planeCodes, Controller.initialPlane, Controller.initialPlaneAxes);
    if (DefinitionCallbacks.applyControllerStartState != nullptr) {
        DefinitionCallbacks.applyControllerStartState(session);
    }
    // 9. Tool-length axis, frames and work origin.
    axes.toolLengthAxis = axes.programXyAxes[2];
    UpdateToolMatrixFromPosition();
    if (DefinitionCallbacks.applyCurrentWorkOffset != nullptr) {
        DefinitionCallbacks.applyCurrentWorkOffset(session);
    }
    // 10. FANUC-B applies lengths along the normal of the current plane.
    if (Controller.lengthOffsetType == 1) {
        axes.toolLengthAxis = Controller.initialPlaneAxes[2];
    }
    // 11. HEIDENHAIN programs have no end-of-record character and the NORMAL decimal rule.
    if (Controller.dialect.heidenhain) {
        Controller.endOfRecord = ' ';
        Controller.decimalPointRule = 3;
    }
    // 12. Redraw.
    if (DefinitionCallbacks.markViewDirty != nullptr) {
        DefinitionCallbacks.markViewDirty();
    }
}

void ReadControllerFile(NcSession& session, KinematicsSessionRecords& kinematics) {
    ReadControllerFileAt(session, kinematics, DefinitionFiles.controllerFile);
}

}  // namespace mirexa
