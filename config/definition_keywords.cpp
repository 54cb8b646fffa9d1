// Line walking and keyword tests shared by the definition-file readers.
#include "config/definition_keywords.h"

#include <cstring>

#include "services/file_paths.h"
#include "services/program_log.h"

namespace mirexa {

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
        return 0;
    }
    stream->end = std::ftell(stream->file);
    ++stream->lineNumber;
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
