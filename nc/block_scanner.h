// The scanner of one NC line as the controller dialects see it: the line and its cursor, what a
// dialect adds to the common word-address scanner, and the shared operations a word may call.
#pragma once

#include "nc/nc_run_state.h"

namespace mirexa {

struct NcSession;

struct NcSession;
struct ScannerDialect;

// One NC line being read: the text (NUL-terminated), the cursor on the next character to read,
// the end of the block (the line's end, or an earlier block-end character of the dialect) and
// the dialect it is read in.
struct BlockScan {
    NcSession* session = {};
    const char* line = {};
    int cursor = {};
    int end = {};
    const ScannerDialect* dialect = {};

    char At(int i) const {
        return line[i];
    }
};

// A G code as read: the integer and its decimal form (0 for none, 1 for ".1" ...), or -1 for a
// decimal part the interpreter does not list.
struct GWord {
    int number = {};
    int decimal = {};
};

// A G code (or a range of them, first to last) that a dialect reads in its own way. The handler
// returns 1 when it took the code, 0 to leave it to the common codes.
struct DialectGCode {
    int first = {};
    int last = {};
    int (*apply)(BlockScan* scan, GWord g) = {};
};

// What a controller dialect adds to or changes in the common word-address scanner. Every hook
// may be null (nothing of its own); hooks returning int return 1 when they took the word.
struct ScannerDialect {
    // Characters that end the block before the line's end (the first of any of them).
    const char* blockEnds = "";
    // Keywords and words at the cursor (on their first letter), before the common letters.
    int (*scanWord)(BlockScan* scan) = {};
    // Decimal G forms the dialect lists besides the common ones.
    int (*listsDecimal)(int number, int decimal) = {};
    // The dialect's own and differing G codes, then those it shares with other dialects, both
    // searched before the common ones.
    const DialectGCode* gCodes = {};
    int gCodeCount = {};
    const DialectGCode* sharedGCodes = {};
    int sharedGCodeCount = {};
    // M codes, after the code was stored and the wait M codes were matched.
    int (*applyM)(BlockScan* scan, int n) = {};
    // A tool word of value t before it is taken (the tool is in the magazine).
    int (*toolWord)(NcSession& session, int t) = {};
    // The H, K, L and Q letters at their place among the common letters (cursor behind the
    // letter; K only inside a canned cycle).
    int (*letterWord)(BlockScan* scan, char letter) = {};
    // An axis value (axis 0..4, sign applied) the block's dialect words take as data.
    int (*axisData)(NcSession& session, int axis, double value) = {};
    // An X value of diameter programming stays a diameter (not halved).
    int (*keepsDiameter)(NcSession& session) = {};
    // An arc centre word (axis 0..2, sign and scaling applied) after the block took it.
    void (*centreWord)(NcSession& session, int axis, double value) = {};
    // The centre words of a block carry over to the next; an F word turns a rapid block into a
    // line; P words inside a canned cycle are the dialect's own (no dwell).
    int keepsCentreWords = {};
    int feedEndsRapid = {};
    int ownsCyclePWords = {};
    // The dialect's words that complete a block before its end, and the tilted planes and shifts
    // that complete it after the block end.
    void (*finishWords)(NcSession& session) = {};
    void (*completeBlock)(NcSession& session) = {};
};

// The index of letter c among letters[0, count), or -1 (a blank or NUL is never a letter).
// Inline: the word loop asks it four times for every letter of a line.
inline int LetterIndex(char c, const char* letters, int count) {
    if (c == ' ' || c == '\0') {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (letters[i] == c) {
            return i;
        }
    }
    return -1;
}

// Puts an axis value (axis 0..4, sign applied) where the block's words and G codes direct it:
// dialect data, G10 data, local and machine coordinates, scaling and mirror centres, the tilted
// plane origin, the rotation centre, G92, the cycle depth, the reference-return points or the
// move's end.
void PlaceAxisValue(const BlockScan* scan, int axis, double value, bool alwaysIncremental);

// An axis word at the cursor (behind its letter) for axis 0..2: read, signed and placed.
void ReadAxisWord(BlockScan* scan, int axis, bool alwaysIncremental);

// G40, G41 and G42 (and the words of other dialects meaning them): the side by the plane's sense.
void SetCutterSide(NcSession& session, int code);

// Starts canned cycle n (73, 74, 76, 81 to 89): the initial level is the start on the drilling
// axis, the repeat count 1.
void StartCycle(NcSession& session, int n);

// The tool of a T word or a dialect tool call (0 .. magazine): the next tool, and the tool-change
// moves when the machine has a route.
void SelectTool(NcSession& session, int t);

// Length compensation: the effective length of offset number h (H offset plus wear), the holder
// offset of the ARBOR-TOP mode, setting the offset in force, the offset of the modal H number by
// the modal compensation sense, and the cancel (G49 and its dialect forms).
double LengthOfOffset(NcSession& session, int h);
double HolderOffset(NcSession& session);
void SetLengthOffset(NcSession& session, double value);
void ApplyModalLengthOffset(NcSession& session);
void CancelLengthCompensation(NcSession& session);

// The length axis that G17 to G19 (and G43/G44) choose by the LENGTH OFFSET TYPE.
void SelectLengthAxis(NcSession& session, int atLengthCode);

// Marks code (a G or M number) in a table of UsedCodes while they are being recorded.
inline void MarkCodeUsed(unsigned char* table, int code) {
    if (UsedCodes.recording && code >= 0 && code < kUsedCodeFlags) {
        table[code] = 1;
    }
}

// The program end of M02 and M30 (in memory runs); 1 when the program ended here.
int EndProgramByM(NcSession& session);

}  // namespace mirexa
