// Line walking and keyword tests shared by the definition-file readers.
#include "config/definition_keywords.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

// The notices already logged, as file, line and field. A file is read more than once (at start,
// after each change of a file read before it): the same notice is logged once. Files are read on
// the user-interface and the automation thread, hence the lock.
std::mutex loggedNoticesLock;
std::set<std::string> loggedNotices;

// The file and line of the stream for a log entry: "path: line N", "path: N 行目".
std::string LinePlace(const DefinitionLineStream& stream) {
    return stream.path + ChooseLanguageText(": line ", ": ") + std::to_string(stream.lineNumber) +
           ChooseLanguageText("", " 行目");
}

// Logs a notice of a number scan on the line of the stream `context` (a DefinitionLineStream).
void LogValueScanNotice(ValueScanNotice notice, std::string_view field, const void* context) {
    const auto& stream = *static_cast<const DefinitionLineStream*>(context);
    {
        const std::lock_guard<std::mutex> lock(loggedNoticesLock);
        if (!loggedNotices
                 .insert(stream.path + "\n" + std::to_string(stream.lineNumber) + "\n" +
                         std::string(field))
                 .second) {
            return;
        }
    }
    const std::string place = LinePlace(stream) + ": \"" + std::string(field.substr(0, 40)) + "\" ";
    AppendLogEntry(
        place + (notice == ValueScanNotice::kLettersWithoutNumber
                     ? ChooseLanguageText("holds no number; the number behind it is read "
                                          "in its place\n",
                                          "は数値ではありません。後ろの数値を読みます\n")
                     : ChooseLanguageText("is beyond the range of numbers; the largest is read\n",
                                          "は数値の範囲を超えています。最大値として読みます\n")));
}

}  // namespace

int RefuseNonFiniteLine(const DefinitionLineStream& stream) {
    const std::string_view line = RestOfLine(stream.text, 0);
    // Names and comments are text, not values.
    if (line.empty() || line[0] == '#' || StartsWithKeyword(stream.text, "NAME") ||
        !HoldsNonFiniteWord(line)) {
        return 0;
    }
    std::string_view key = line.substr(0, std::min(line.find('='), line.size()));
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) {
        key.remove_suffix(1);
    }
    AppendLogEntry(LinePlace(stream) + ": " + std::string(key.substr(0, 60)) +
                   ChooseLanguageText(" - the value is not a finite number; the line is not used\n",
                                      " - 値が有限の数ではありません。この行は使いません\n"));
    return 1;
}

int DefinitionFileHoldsKnownLine(const std::string& path, int (*known)(const char* line)) {
    DefinitionLineStream stream;
    FileWriteTime time;
    if (!OpenDefinitionFile(path, &stream, &time)) {
        return 0;
    }
    int found = 0;
    while (!found && ReadDefinitionLine(stream.file, stream.text, sizeof stream.text)) {
        found = known(stream.text);
    }
    std::fclose(stream.file);
    return found;
}

DefinitionLineStream::~DefinitionLineStream() {
    if (WatchedScanLine() == text) {
        WatchValueScans(nullptr, nullptr);
    }
}

int OpenDefinitionFile(const std::string& path, DefinitionLineStream* stream,
                       FileWriteTime* writeTime) {
    std::string actual;
    *writeTime = FindFileIgnoringCase(ConvertPathSeparators(path), &actual)
                     ? GetFileWriteTime(actual)
                     : FileWriteTime{};
    stream->path = path;
    stream->file = OpenFileStream(path, "r");
    return stream->file != nullptr ? 1 : 0;
}

int ReadNextDefinitionLine(DefinitionLineStream* stream) {
    stream->begin = std::ftell(stream->file);
    if (!ReadDefinitionLine(stream->file, stream->text, sizeof stream->text)) {
        stream->end = stream->begin;
        if (WatchedScanLine() == stream->text) {
            WatchValueScans(nullptr, nullptr);
        }
        return 0;
    }
    stream->end = std::ftell(stream->file);
    ++stream->lineNumber;
    WatchValueScans(stream->text, LogValueScanNotice, stream);
    // A line read whole differs from its bytes at most by the "\r" of its line end.
    const long kept = static_cast<long>(std::strlen(stream->text));
    if (stream->end - stream->begin - kept >= 2 && !stream->overlongLogged) {
        stream->overlongLogged = 1;
        AppendLogEntry(stream->path + ": line " + std::to_string(stream->lineNumber) +
                       " is longer than " + std::to_string(kDefinitionLineSize - 2) +
                       " characters; the rest of it is ignored\n");
    }
    return 1;
}

LineCursor ClampCursorToLine(const char* line, LineCursor cursor) {
    if (cursor <= 0) {
        return 0;
    }
    return static_cast<LineCursor>(strnlen(line, static_cast<std::size_t>(cursor)));
}

int MatchWordAt(const char* line, LineCursor position, std::string_view word) {
    if (position < 0 || ClampCursorToLine(line, position) != position) {
        return 0;
    }
    const char* p = line + position;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char a = (p[i] >= 'a' && p[i] <= 'z') ? static_cast<char>(p[i] - 32) : p[i];
        const char b =
            (word[i] >= 'a' && word[i] <= 'z') ? static_cast<char>(word[i] - 32) : word[i];
        if (p[i] == '\0' || a != b) {
            return 0;
        }
    }
    return 1;
}

LineCursor FindValueStart(const char* line, LineCursor position) {
    LineCursor cursor = ClampCursorToLine(line, position);
    SkipBlanksAndEquals(&cursor, line);
    return cursor;
}

int MatchValueWord(const char* line, LineCursor position,
                   std::initializer_list<std::string_view> words) {
    const LineCursor start = FindValueStart(line, position);
    int index = 0;
    for (std::string_view word : words) {
        if (MatchWordAt(line, start, word)) {
            return index;
        }
        ++index;
    }
    return -1;
}

std::string_view RestOfLine(const char* line, LineCursor cursor) {
    const char* p = line + ClampCursorToLine(line, cursor);
    std::size_t n = std::strlen(p);
    if (n > 0 && p[n - 1] == '\n') {
        --n;
    }
    return std::string_view(p, n);
}

}  // namespace mirexa
