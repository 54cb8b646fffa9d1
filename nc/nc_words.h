// NC word values: the readers that take the value behind an address letter, the conversion of a
// length to machine units, and two small text operations of the dialect parsers.
//
// Every reader takes a cursor (an index into a NUL-terminated line that stands on the first
// character of the value, just behind the letter) and the line. A value ends at the first
// character of the word terminator set ("A"-"Z", "a"-"z", "(" and "\n") or at the NUL, so a
// reader never reads past the line. At most kWordValueMax characters of a value are converted;
// a longer value text is cut there (its cursor still moves over the whole text). Numbers are
// read independently of the locale: leading blanks and tabs, an optional sign, digits with at
// most one ".", an optional exponent; the rest of the value text is ignored and a text without
// digits reads as 0. Integers saturate at the 32-bit range.
#pragma once

namespace mirexa {

struct NcSession;

// Characters of a value that are converted; the rest of a longer value text is ignored.
constexpr int kWordValueMax = 79;

// The word terminator set.
extern const char WordTerminators[];

// Reader state that lives with the interpreter's run.
struct NcWordSettings {
    // 3: every value is taken as written (real input). Otherwise the form of the last coordinate
    // read: 1 without a decimal point, 2 with one. Set from the decimal-point rule at reset.
    int inputUnitMode = 1;
    double toolDeltaLength = {};  // DL of the last tool call that gave one (mm)
    double toolDeltaRadius = {};  // DR (mm)
};

// The value up to the first terminator, as written; the cursor moves onto the terminator.
double ReadWordReal(int* cursor, const char* line);

// The integer up to the first terminator; the cursor moves onto the terminator. When the
// cursor already stands on a terminator (an address with no value), the result is 0 and the
// cursor jumps to the line's end (its NUL), so the rest of the block is not read.
int ReadWordInteger(int* cursor, const char* line);

// A value that ends at the first blank or tab in the rest of the line, else at the first ";",
// else at the first terminator, else at the line's end; taken as written. The cursor moves
// behind the value text, which may run over further words when no blank separates them.
double ReadWordValueToBlank(int* cursor, const char* line);

// A coordinate: a value without "." is divided by the least input increment, unless the input
// unit mode is 3; the mode records which form was read (1 or 2). The cursor moves onto the
// terminator.
double ReadWordCoordinate(NcSession& session, int* cursor, const char* line);

// A value without "." divided by the given increment (a value with "." as written). The cursor
// is not moved. An increment below 1 counts as 1.
double ReadWordScaled(const int* cursor, const char* line, int increment);

// A value without "." divided by 1000 in any mode. The cursor is not moved.
double ReadWordMilliAlways(const int* cursor, const char* line);

// A value without "." divided by 1000 unless the input unit mode is 3. The cursor is not moved.
double ReadWordMilli(NcSession& session, const int* cursor, const char* line);

// length (mm) times the least input increment, rounded half away from zero.
int ToMachineUnits(double length);

// The length of text[0, length) without its trailing blanks and tabs.
int SkipTrailingBlanks(int length, const char* text);

// Sets ToolDeltaLength and ToolDeltaRadius to 0, then reads up to two words "DL" or "DR" and
// their value from the text: the first "D", then the next "D" behind its letter.
void ReadLeftRightValues(NcSession& session, const char* text);

// Helpers shared with the interpreter. 1 when c belongs to the word terminator set (or is NUL).
int IsWordTerminator(char c);
// The index of the first terminator (or NUL) at or behind the cursor.
int FindWordEnd(int cursor, const char* line);
// Converts text[0, length) as a number (see above); length is cut at kWordValueMax.
double ConvertWordNumber(const char* text, int length);
int ConvertWordInteger(const char* text, int length);

}  // namespace mirexa
