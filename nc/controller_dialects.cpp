// Controller dialects: the dialect state of a run with its resets, the keyword match and the
// number readers the dialects share.
#include "nc/controller_dialects.h"

#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

bool IsDialectBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDialectDigit(char c) {
    return c >= '0' && c <= '9';
}

int SkipDialectBlanks(const char* line, int at) {
    while (IsDialectBlank(line[at])) {
        ++at;
    }
    return at;
}

// A number at line + *at after blanks and an optional "=": sign, digits, one ".", exponent. The
// cursor moves behind it; no digits read 0 and leave the cursor behind the blanks.
double ReadDialectNumber(const char* line, int* at) {
    int i = SkipDialectBlanks(line, *at);
    if (line[i] == '=') {
        i = SkipDialectBlanks(line, i + 1);
    }
    const int start = i;
    if (line[i] == '+' || line[i] == '-') {
        ++i;
    }
    bool digits = false;
    while (IsDialectDigit(line[i]) || line[i] == '.') {
        digits = digits || IsDialectDigit(line[i]);
        ++i;
    }
    if (!digits) {
        *at = start;
        return 0.0;
    }
    if ((line[i] == 'e' || line[i] == 'E') &&
        (IsDialectDigit(line[i + 1]) ||
         ((line[i + 1] == '+' || line[i + 1] == '-') && IsDialectDigit(line[i + 2])))) {
        i += 2;
        while (IsDialectDigit(line[i])) {
            ++i;
        }
    }
    *at = i;
    return ConvertWordNumber(line + start, i - start);
}

// A non-negative integer at line + *at after blanks; -1 when there are no digits. Saturates far
// beyond every table (the callers bound it).
int ReadDialectIndex(const char* line, int* at) {
    int i = SkipDialectBlanks(line, *at);
    if (line[i] == '=') {
        i = SkipDialectBlanks(line, i + 1);
    }
    if (!IsDialectDigit(line[i])) {
        return -1;
    }
    long value = 0;
    while (IsDialectDigit(line[i])) {
        if (value < 1000000) {
            value = value * 10 + (line[i] - '0');
        }
        ++i;
    }
    *at = i;
    return static_cast<int>(value);
}

void ResetDialectState(NcSession& session) {
    session.dialect = NcDialectState{};
    session.run.modal.heidenhainLevels =
        HeidenhainCycleLevels{};  // the levels of the cleared cycle
}

void ClearDialectBlock(NcSession& session) {
    NcDialectState& s = session.dialect;
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
    s.ospPlaneBlock = 0;
    s.ospPlaneSwitchOn = 0;
    s.ospRotationBlock = 0;
    s.mazakHeadAngleChanged = 0;
    s.ospShiftPending = 0;
}

int MatchDialectKeyword(const char* line, int at, const char* keyword, int* after) {
    int i = at;
    for (const char* k = keyword; *k != '\0'; ++k) {
        if (*k == ' ') {
            i = SkipDialectBlanks(line, i);
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

}  // namespace mirexa
