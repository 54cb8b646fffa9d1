// The texts of interference and interpreter alarms, in English and Japanese, and their output:
// a top-most message box with the alarm as its caption, or an entry in the log when nobody is
// there to answer.
//
// Every text is composed completely from its own values before it is shown or logged; a
// composed text is data, never a format (the offending character of an NC line may be "%").
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/window.h"

namespace mirexa {

struct NcSession;

// Composed texts hold at most this many bytes with their terminating NUL; longer texts are cut
// at a character boundary.
inline constexpr std::size_t kMessageTextCapacity = 512;

// One mounted tool of the current carrier as the tool-change message reads it: its number, the
// result code of the mounted-tools pass (0 none; 5 stock, 6 vice, 7 table, 8 table 1, 9 table 2)
// and whether its result was recorded at a tool change.
struct MountedToolHit {
    std::int32_t tool = {};
    std::int32_t code = {};
    std::int32_t toolChange = {};
};

// What a message shows besides its code. The run fills it (GatherInterferenceMessageContext);
// tests fill it by hand.
struct InterferenceMessageContext {
    std::int32_t language = {};        // 0 Japanese, 1 English
    std::int32_t duringRun = {};       // a cutting run is under way (run mode above 0)
    std::int32_t rapidType = {};       // the controller's rapid positioning type; 9 may interfere
    std::int32_t mainLineNumber = {};  // the main file's line number (log entries, 106, 107)
    char overTravelLetter = ' ';       // 91: the letter of the axis out of its stroke
    char startCharacter = '%';         // 103: the controller's start and end character
    std::int32_t column = {};          // 104, 105: the column of the offending character
    char character = {};               // 104: the offending character
    // Codes 1, 2, 4 and 5 after a mounted-tool shift: the tool-change form names both tools.
    std::int32_t mountedToolShift = {};
    std::int32_t previousTool = {};
    std::int32_t currentTool = {};
    // Codes 8 and 11 to 14 take the mounted-tool form when the mounted-tools pass found no other
    // tool at the current tool's position and the current tool (or tool 1 when the current tool
    // is 0) carries a mounted-tool list.
    std::int32_t sameToolPosition = {};
    std::int32_t currentToolHasList = {};
    std::int32_t toolOneHasList = {};
    const MountedToolHit* mountedHits = {};  // in the order of the mounted-tool list
    std::int32_t mountedHitCount = {};
};

// Fills the context from the run: the language, the controller's rapid positioning type and
// start character, the main line number and the character-check position of the interpreter,
// and the letter of the axis last found out of its stroke. The mounted-tool fields stay as the
// caller set them (the mounted-tools pass knows them).
void GatherInterferenceMessageContext(NcSession& session, int duringRun,
                                      InterferenceMessageContext* context);

// A composed message in the language of its context. caption is the box's caption (the alarm
// itself), text the box's text; logText what the log receives after "(%d) - ".
struct InterferenceMessage {
    char caption[kMessageTextCapacity] = {};
    char text[kMessageTextCapacity] = {};
    char logText[kMessageTextCapacity] = {};
};

// The plain English and Japanese texts of a code, without values filled in and without the
// variants; null for a code without a message.
const char* GetInterferenceMessageText(int code, int language);

// Composes the message of an alarm code for the box (boxText as its text, normally the NC file
// path; null is taken as "") and for the log. Codes 8 and 11-14 take the mounted-tool form when
// the context calls for it. Returns 1, or 0 for a code that shows nothing (0, 100, any code
// outside the table, or the mounted-tool form when no mounted tool has a result).
int ComposeInterferenceMessage(int code, const char* boxText,
                               const InterferenceMessageContext& context, InterferenceMessage* out);

// The mounted-tool form of codes 8 and 11 to 14: the first tool of the list with a nonzero
// result names the text, the code names the caption ("KUSHIHA ..."). The log receives the
// caption. Returns 1, or 0 when no tool has a result (nothing is shown).
int FormatToolChangeInterference(int code, const InterferenceMessageContext& context,
                                 InterferenceMessage* out);

// The log entry of a message: "(line) - " and the text, without a line end (consecutive entries
// share a line), cut at a character boundary when it does not fit. Returns its length.
int FormatMessageLogEntry(int lineNumber, const char* text, char* out, std::size_t capacity);

// The common output. logSwitch 0 shows a top-most box on the window with text and caption, or,
// in automatic mode, logs the caption instead; logSwitch 1 logs logText (the caption when
// logText is empty): "(line) - " and the text are written to the log as data.
void ShowOrLogMessage(WindowHandle window, int logSwitch, const InterferenceMessage& message,
                      int lineNumber);

// Composes and shows (or logs) the message of a code. Returns 1 when something was shown or
// logged, 0 for a code that shows nothing.
int ShowInterferenceMessage(WindowHandle window, int logSwitch, const char* boxText, int code,
                            const InterferenceMessageContext& context);

// The code of the first set structure pair flag (in pair order 11, 12, 13, 14, 17, ... 45),
// or 1 when none is set. flags holds one entry per structure pair.
int FirstStructurePairCode(const std::int32_t* flags);

// Copies text (null is "") into out, capacity bytes with the NUL, cut before a UTF-8 character
// that does not fit whole.
void CopyMessageText(char* out, std::size_t capacity, const char* text);

// The message code of each structure pair, in the order of the pairs of the check settings.
extern const int StructurePairMessageCodes[];

}  // namespace mirexa
