// Cursor-based scanners that take the values behind a keyword on a text line of a definition or
// settings file: numbers found in free text, comma-separated follow-on values and quoted names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirexa {

// An index into a NUL-terminated line held by the caller (up to 1,024 characters, usually with
// its trailing "\n"). The scanners read the line and move the cursor; they never read past the
// NUL. A cursor below 0 is taken as 0 and a cursor at or behind the NUL as the NUL's index; the
// clamped value is written back, so a later call starts from a valid place.
using LineCursor = std::int32_t;

// A number starts at the first of these characters: the ten digits, "-", "." and the line feed.
// "+" and blanks are passed over like any other character. A carriage return directly before
// the line feed, or as the line's last character, counts as the line end as well, so a CRLF line
// reads the same values as an LF line and the "\r" never becomes part of a value.
extern const char NumberStartSet[14];

// Number scans. Found: the cursor moves onto the number's first character (not behind it) and
// the value is read from there; at the line end the cursor stays on it and the value is 0.
// Not found (no number-start character before the NUL): the value is 0 and the cursor does not
// move.
//
// Numbers are read independently of the locale with the decimal syntax of the C runtime: an
// optional "-", digits with at most one ".", and an exponent "e" or "E" with an optional sign
// when digits follow it ("1.5E3" is 1500). Hexadecimal, "inf" and "nan" are not numbers here
// ("0x1A" reads as 0, "-inf" as 0). A value beyond the type's range saturates at its largest
// finite value with the sign; integers stop at the first character that is not a digit
// ("12.7" gives 12, ".5" gives 0).
void ScanDouble(LineCursor* cursor, const char* line, double* out);
void ScanFloat(LineCursor* cursor, const char* line, float* out);
void ScanInt(LineCursor* cursor, const char* line, std::int32_t* out);

// Step to the next "," behind the cursor, then scan as above from there. Without a further
// comma the value is 0 and the cursor does not move. Empty fields are not seen: "1,,3" read with
// ScanDouble and two ScanNextDouble gives 1, 3, 0.
void ScanNextDouble(LineCursor* cursor, const char* line, double* out);
void ScanNextFloat(LineCursor* cursor, const char* line, float* out);
void ScanNextInt(LineCursor* cursor, const char* line, std::int32_t* out);

// Takes the text between the next pair of double quotes at or behind the cursor, verbatim (no
// escapes; blanks kept), and leaves the cursor on the closing quote. Two quotes with nothing
// between give an empty string. Without an opening quote, or without a closing one, the output
// is empty (no value) and the cursor moves to the first blank or tab at or behind the cursor
// (behind the opening quote when there is one), or to the NUL.
void ScanQuotedString(LineCursor* cursor, const char* line, std::optional<std::string>* out);

// What a number scan of a watched line reports: a field (the text from the cursor, or from behind
// the comma it stepped to, up to the next comma or the line end) that holds letters and no number
// of its own, so the scan took the next field's number or 0; or a value beyond the range of its
// type that saturated.
enum class ValueScanNotice { kLettersWithoutNumber, kSaturated };
using ValueScanNoticeFunction = void (*)(ValueScanNotice notice, std::string_view field,
                                         const void* context);

// Watches the number scans of this thread on the line buffer `line` (compared by address): each
// notice above goes to `report` with `context` (the caller's record of the line, handed back
// untouched). A null line ends the watch. The scans' values do not change.
void WatchValueScans(const char* line, ValueScanNoticeFunction report,
                     const void* context = nullptr);
// The line the watch of this thread is on, or null.
const char* WatchedScanLine();

// Advances the cursor while it stands on " " or "="; stops on anything else (tab, line feed,
// NUL included).
void SkipBlanksAndEquals(LineCursor* cursor, const char* line);

}  // namespace mirexa
