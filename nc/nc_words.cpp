// NC word values: readers behind an address letter, machine units and the DL/DR words.
#include "nc/nc_words.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "geometry/vector_math.h"
#include "nc/nc_session.h"

namespace mirexa {

const char WordTerminators[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz(\n";

int IsWordTerminator(char c) {
    return c == '\0' || std::strchr(WordTerminators, c) != nullptr;
}

int FindWordEnd(int cursor, const char* line) {
    int i = cursor < 0 ? 0 : cursor;
    while (!IsWordTerminator(line[i])) {
        ++i;
    }
    return i;
}

namespace {

// The value text cut to the conversion buffer, with leading blanks and tabs and one sign taken
// off. Returns the index of the first character after the sign in buffer and the sign.
struct NumberText {
    char buffer[kWordValueMax + 1] = {};
    int length = {};
    int start = {};
    bool negative = {};
};

void PrepareNumberText(const char* text, int length, NumberText* out) {
    if (length > kWordValueMax) {
        length = kWordValueMax;
    }
    if (length < 0) {
        length = 0;
    }
    std::memcpy(out->buffer, text, static_cast<size_t>(length));
    out->buffer[length] = '\0';
    out->length = length;
    int i = 0;
    while (i < length && (out->buffer[i] == ' ' || out->buffer[i] == '\t')) {
        ++i;
    }
    if (i < length && (out->buffer[i] == '+' || out->buffer[i] == '-')) {
        out->negative = out->buffer[i] == '-';
        ++i;
    }
    out->start = i;
}

bool HasDecimalPoint(const char* text, int length) {
    return std::memchr(text, '.', static_cast<size_t>(length < 0 ? 0 : length)) != nullptr;
}

}  // namespace

double ConvertWordNumber(const char* text, int length) {
    NumberText t;
    PrepareNumberText(text, length, &t);
    double value = 0.0;
    const char* first = t.buffer + t.start;
    const char* last = t.buffer + t.length;
    // A sign after the sign, "inf", "nan" and hexadecimal are not numbers here.
    if (first < last && (*first == '.' || (*first >= '0' && *first <= '9'))) {
        const auto result = std::from_chars(first, last, value, std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range) {
            value = 0.0;
        }
    }
    return t.negative ? -value : value;
}

int ConvertWordInteger(const char* text, int length) {
    NumberText t;
    PrepareNumberText(text, length, &t);
    long long value = 0;
    for (int i = t.start; i < t.length && t.buffer[i] >= '0' && t.buffer[i] <= '9'; ++i) {
        value = value * 10 + (t.buffer[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (t.negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(value);
}

double ReadWordReal(int* cursor, const char* line) {
    const int end = FindWordEnd(*cursor, line);
    const double value = ConvertWordNumber(line + *cursor, end - *cursor);
    *cursor = end;
    return value;
}

int ReadWordInteger(int* cursor, const char* line) {
    if (IsWordTerminator(line[*cursor])) {
        *cursor += static_cast<int>(std::strlen(line + *cursor));
        return 0;
    }
    const int end = FindWordEnd(*cursor, line);
    const int value = ConvertWordInteger(line + *cursor, end - *cursor);
    *cursor = end;
    return value;
}

double ReadWordValueToBlank(int* cursor, const char* line) {
    const char* rest = line + *cursor;
    const char* blank = std::strpbrk(rest, " \t");
    const char* semicolon = std::strchr(rest, ';');
    int end = 0;
    if (blank != nullptr) {
        end = static_cast<int>(blank - line);
    } else if (semicolon != nullptr) {
        end = static_cast<int>(semicolon - line);
    } else {
        end = FindWordEnd(*cursor, line);
    }
    // The conversion stops at the first letter of a following word.
    const int numberEnd = FindWordEnd(*cursor, line);
    const double value = ConvertWordNumber(rest, (numberEnd < end ? numberEnd : end) - *cursor);
    *cursor = end;
    return value;
}

namespace {

// The value text up to the terminator, scaled by the increment when it has no ".".
double ReadScaledText(int cursor, const char* line, int increment, int* end) {
    *end = FindWordEnd(cursor, line);
    const int length = *end - cursor;
    const double value = ConvertWordNumber(line + cursor, length);
    if (HasDecimalPoint(line + cursor, length)) {
        return value;
    }
    return value / static_cast<double>(increment < 1 ? 1 : increment);
}

}  // namespace

double ReadWordCoordinate(NcSession& session, int* cursor, const char* line) {
    int end = 0;
    double value = 0.0;
    if (session.words.inputUnitMode == 3) {
        end = FindWordEnd(*cursor, line);
        value = ConvertWordNumber(line + *cursor, end - *cursor);
    } else {
        value = ReadScaledText(*cursor, line, InputIncrements.leastInputIncrement, &end);
        session.words.inputUnitMode = HasDecimalPoint(line + *cursor, end - *cursor) ? 2 : 1;
    }
    *cursor = end;
    return value;
}

double ReadWordScaled(const int* cursor, const char* line, int increment) {
    int end = 0;
    return ReadScaledText(*cursor, line, increment, &end);
}

double ReadWordMilliAlways(const int* cursor, const char* line) {
    return ReadWordScaled(cursor, line, 1000);
}

double ReadWordMilli(NcSession& session, const int* cursor, const char* line) {
    return ReadWordScaled(cursor, line, session.words.inputUnitMode == 3 ? 1 : 1000);
}

int ToMachineUnits(double length) {
    return RoundToInputIncrements(length);
}

int SkipTrailingBlanks(int length, const char* text) {
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) {
        --length;
    }
    return length;
}

void ReadLeftRightValues(NcSession& session, const char* text) {
    session.words.toolDeltaLength = 0.0;
    session.words.toolDeltaRadius = 0.0;
    const char* p = text;
    for (int word = 0; word < 2; ++word) {
        p = std::strchr(p, 'D');
        if (p == nullptr) {
            return;
        }
        ++p;
        if (*p == 'L' || *p == 'R') {
            double* target =
                *p == 'L' ? &session.words.toolDeltaLength : &session.words.toolDeltaRadius;
            int cursor = static_cast<int>(p - text) + 1;
            *target = ReadWordReal(&cursor, text);
            ++p;
        }
    }
}

}  // namespace mirexa
