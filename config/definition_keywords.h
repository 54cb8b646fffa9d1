// What the definition-file readers (controller, machine, tools) share beyond reading a line:
// walking a file line by line with the place of every physical line, and the tests of keywords
// and value words at a position of a line.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "config/definition_lines.h"
#include "platform/file_info.h"
#include "services/line_scanner.h"

namespace mirexa {

// Reads a stream with ReadDefinitionLine and keeps where each physical line lies: bytes
// [begin, end) of the stream, its line end included. The first line longer than the line buffer
// holds is logged once (its tail is never read as a line of its own). The number scans of the
// line last read are watched: a value field that holds letters and no number (the scan then
// takes the next field's number) and a value that saturates are logged with the file, the line
// and the field; the values stay as they were always read.
struct DefinitionLineStream {
    DefinitionLineStream() = default;
    DefinitionLineStream(const DefinitionLineStream&) = delete;
    DefinitionLineStream& operator=(const DefinitionLineStream&) = delete;
    ~DefinitionLineStream();

    std::FILE* file = {};
    std::string path = {};  // named in the log entry
    int lineNumber = {};
    long begin = {};
    long end = {};
    int overlongLogged = {};
    char text[kDefinitionLineSize] = {};
};

// A line of the stream that holds a value that is not a finite number (HoldsNonFiniteWord) is
// not used: logged with the file, the line and its key (the text before "=", or the line). 1
// when the line is refused.
int RefuseNonFiniteLine(const DefinitionLineStream& stream);

// 1 when the file opens and one of its lines is one `known` takes (IsKnownControllerLine,
// IsKnownMachineLine); 0 for a file of plain text, an empty one or one that does not open.
int DefinitionFileHoldsKnownLine(const std::string& path, int (*known)(const char* line));

// Stores the file's write time ("no time" when it does not exist; a name that differs only in
// case is found), then opens it for reading. Returns 1 with the stream open, 0 when it cannot
// be opened.
int OpenDefinitionFile(const std::string& path, DefinitionLineStream* stream,
                       FileWriteTime* writeTime);

// Reads the next line into stream->text. Returns 1 for a line, 0 at the end of the stream.
int ReadNextDefinitionLine(DefinitionLineStream* stream);

// The cursor limited to [0, length of the NUL-terminated line].
LineCursor ClampCursorToLine(const char* line, LineCursor cursor);

// 1 when the text at the position starts with the word (case of ASCII letters ignored); a
// position outside the line never matches.
int MatchWordAt(const char* line, LineCursor position, std::string_view word);

// SkipBlanksAndEquals from the position (clamped to the line): the value's first character.
LineCursor FindValueStart(const char* line, LineCursor position);

// Index of the first word that the value behind the position starts with, or -1.
int MatchValueWord(const char* line, LineCursor position,
                   std::initializer_list<std::string_view> words);

// The text from the cursor to the end of the line, without the line feed.
std::string_view RestOfLine(const char* line, LineCursor cursor);

}  // namespace mirexa
