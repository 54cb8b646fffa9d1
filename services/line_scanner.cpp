// Line scanners: bounded searches on a NUL-terminated line and locale-independent conversion of
// the decimal numbers they find.
#include "services/line_scanner.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "platform/text.h"

namespace mirexa {

const char NumberStartSet[14] = "1234567890-.\n";

namespace {

// The cursor moved into the line: 0 when below, the NUL's index when at or behind it. Only the
// bytes up to the cursor are looked at, so an out-of-range cursor never reads past the NUL.
LineCursor ClampCursor(LineCursor cursor, const char* line) {
    if (cursor <= 0) {
        return 0;
    }
    return static_cast<LineCursor>(strnlen(line, static_cast<std::size_t>(cursor)));
}

// A line feed, or a carriage return that stands directly before the line feed or the NUL.
bool IsLineEnd(const char* p) {
    return *p == '\n' || (*p == '\r' && (p[1] == '\n' || p[1] == '\0'));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Index of the first number-start character at or behind the cursor, or -1.
LineCursor FindNumberStart(LineCursor from, const char* line) {
    for (LineCursor i = from; line[i] != '\0'; ++i) {
        if (std::strchr(NumberStartSet, line[i]) != nullptr || IsLineEnd(line + i)) {
            return i;
        }
    }
    return -1;
}

// Index of the first wanted character at or behind from, or -1 (wanted is not the NUL).
LineCursor FindCharacter(LineCursor from, const char* line, char wanted) {
    const char* found = std::strchr(line + from, wanted);
    return found != nullptr ? static_cast<LineCursor>(found - line) : -1;
}

// Length of the decimal number at p: [-] digits [. digits] [(e|E) [+|-] digits], with at least
// one mantissa digit; 0 when there is none.
std::size_t MeasureDecimalNumber(const char* p) {
    std::size_t n = 0;
    if (p[n] == '-') {
        ++n;
    }
    std::size_t digits = 0;
    while (IsDigit(p[n])) {
        ++n;
        ++digits;
    }
    if (p[n] == '.') {
        ++n;
        while (IsDigit(p[n])) {
            ++n;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (p[n] == 'e' || p[n] == 'E') {
        std::size_t e = n + 1;
        if (p[e] == '+' || p[e] == '-') {
            ++e;
        }
        if (IsDigit(p[e])) {
            while (IsDigit(p[e])) {
                ++e;
            }
            n = e;
        }
    }
    return n;
}

// The decimal number at p, 0.0 when there is none. Out of range saturates at +-DBL_MAX.
double ConvertDouble(const char* p) {
    std::size_t length = MeasureDecimalNumber(p);
    if (length == 0) {
        return 0.0;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    // Converting a copy keeps strtod from reading hexadecimal or "inf" behind the token.
    std::string token(p, length);
    return std::clamp(strtod_l(token.c_str(), nullptr, cLocale), -DBL_MAX, DBL_MAX);
}

// Moves the cursor onto the next number start and returns the text there, or null when none.
// The value at a line end is 0, which the converters give for "\n" and "\r".
const char* StepToNumber(LineCursor* cursor, const char* line) {
    LineCursor at = ClampCursor(*cursor, line);
    *cursor = at;
    LineCursor start = FindNumberStart(at, line);
    if (start < 0) {
        return nullptr;
    }
    *cursor = start;
    return line + start;
}

// Moves the cursor onto the next comma; false when there is none (cursor then only clamped).
bool StepToComma(LineCursor* cursor, const char* line) {
    LineCursor at = ClampCursor(*cursor, line);
    *cursor = at;
    LineCursor comma = FindCharacter(at, line, ',');
    if (comma < 0) {
        return false;
    }
    *cursor = comma;
    return true;
}

// Index of the first blank or tab at or behind from, or the NUL's index.
LineCursor FindBlankOrEnd(LineCursor from, const char* line) {
    return from + static_cast<LineCursor>(std::strcspn(line + from, " \t"));
}

thread_local const char* watchedLine = nullptr;
thread_local ValueScanNoticeFunction watchReport = nullptr;
thread_local const void* watchContext = nullptr;

// The field a number scan from `from` reads: up to the next comma or the line end, blanks, "="
// and the comma it starts on trimmed.
std::string_view ScannedField(const char* line, LineCursor from) {
    const char* p = line + from;
    while (*p == ',' || *p == ' ' || *p == '\t' || *p == '=') {
        ++p;
    }
    std::size_t n = std::strcspn(p, ",\r\n");
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t')) {
        --n;
    }
    return {p, n};
}

// A watched scan from `from`: a field with letters but no number of its own is reported.
void CheckScannedField(const char* line, LineCursor from) {
    const std::string_view field = ScannedField(line, from);
    bool letters = false;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (MeasureDecimalNumber(field.data() + i) > 0) {
            return;  // a label before its number: read as it always was
        }
        letters = letters || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    }
    if (letters) {
        watchReport(ValueScanNotice::kLettersWithoutNumber, field, watchContext);
    }
}

bool Watched(const char* line) {
    return watchedLine != nullptr && line == watchedLine && watchReport != nullptr;
}

}  // namespace

void WatchValueScans(const char* line, ValueScanNoticeFunction report, const void* context) {
    watchedLine = line;
    watchReport = line != nullptr ? report : nullptr;
    watchContext = line != nullptr ? context : nullptr;
}

const char* WatchedScanLine() {
    return watchedLine;
}

void ScanDouble(LineCursor* cursor, const char* line, double* out) {
    const bool watched = Watched(line);
    if (watched) {
        CheckScannedField(line, ClampCursor(*cursor, line));
    }
    const char* number = StepToNumber(cursor, line);
    *out = number != nullptr ? ConvertDouble(number) : 0.0;
    if (watched && std::fabs(*out) == DBL_MAX) {
        watchReport(ValueScanNotice::kSaturated,
                    std::string_view(number, MeasureDecimalNumber(number)), watchContext);
    }
}

void ScanFloat(LineCursor* cursor, const char* line, float* out) {
    double value = 0.0;
    ScanDouble(cursor, line, &value);
    if (std::fabs(value) > double{FLT_MAX} && std::fabs(value) != DBL_MAX && Watched(line)) {
        watchReport(ValueScanNotice::kSaturated,
                    std::string_view(line + *cursor, MeasureDecimalNumber(line + *cursor)),
                    watchContext);
    }
    *out = static_cast<float>(std::clamp(value, -double{FLT_MAX}, double{FLT_MAX}));
}

void ScanInt(LineCursor* cursor, const char* line, std::int32_t* out) {
    const char* number = StepToNumber(cursor, line);
    *out = number != nullptr ? ParseDecimalInt32(number) : 0;
}

void ScanNextDouble(LineCursor* cursor, const char* line, double* out) {
    if (!StepToComma(cursor, line)) {
        *out = 0.0;
        return;
    }
    ScanDouble(cursor, line, out);
}

void ScanNextFloat(LineCursor* cursor, const char* line, float* out) {
    if (!StepToComma(cursor, line)) {
        *out = 0.0f;
        return;
    }
    ScanFloat(cursor, line, out);
}

void ScanNextInt(LineCursor* cursor, const char* line, std::int32_t* out) {
    if (!StepToComma(cursor, line)) {
        *out = 0;
        return;
    }
    ScanInt(cursor, line, out);
}

void ScanQuotedString(LineCursor* cursor, const char* line, std::optional<std::string>* out) {
    out->reset();
    LineCursor at = ClampCursor(*cursor, line);
    LineCursor open = FindCharacter(at, line, '"');
    if (open < 0) {
        *cursor = FindBlankOrEnd(at, line);
        return;
    }
    LineCursor inside = open + 1;
    LineCursor close = FindCharacter(inside, line, '"');
    if (close < 0) {
        *cursor = FindBlankOrEnd(inside, line);
        return;
    }
    out->emplace(line + inside, static_cast<std::size_t>(close - inside));
    *cursor = close;
}

void SkipBlanksAndEquals(LineCursor* cursor, const char* line) {
    LineCursor at = ClampCursor(*cursor, line);
    while (line[at] == ' ' || line[at] == '=') {
        ++at;
    }
    *cursor = at;
}

}  // namespace mirexa
