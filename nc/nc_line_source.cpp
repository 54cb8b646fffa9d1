// The NC line source: main file, subprogram files and the in-memory program, with line numbers,
// replacements, the character check and the optional block skip.
#include "nc/nc_line_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "geometry/machine_kinematics.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_source_location.h"
#include "nc/nc_words.h"
#include "nc/plugin_queries.h"
#include "platform/file_reading.h"
#include "platform/system_info.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"

namespace mirexa {

NcProgramIndex ProgramIndex;
std::atomic<int> SubprogramDepthShown{0};
NcHooks NcUpHooks;

namespace {

constexpr int kCutLinesLoggedMax = 10;

// The length of the session's subprogram level when its text is held in memory, else -1.
std::int64_t HeldSubprogramLength(NcSession& session) {
    const int depth = session.subprograms.depth;
    if (depth == 0 || !session.subprograms.fromMemory[depth - 1]) {
        return -1;
    }
    const int entry = session.subprograms.entry[depth - 1];
    return (entry >= 0 && entry < ProgramIndex.count)
               ? ProgramIndex.length[static_cast<size_t>(entry)]
               : -1;
}

// The level shown to other threads and the second progress bar follow the session's subprogram
// levels, except in a session whose levels are hidden (one that runs beside a waiting run).
void ShowLevelEntered(NcSession& session, int depth, const char* path) {
    if (session.source.levelsHidden == 0) {
        SubprogramDepthShown.store(depth);
        BeginProgress2(MainWindow.load(), path, HeldSubprogramLength(session));
    }
}

void ShowLevelLeft(NcSession& session, int depth, bool endBar) {
    if (session.source.levelsHidden == 0) {
        if (endBar) {
            EndProgress2();
        }
        SubprogramDepthShown.store(depth);
    }
}

// Reads one physical line of a stream into out (capacity kNcLineTextMax + 1): at most
// kNcLineTextMax characters are kept, the rest of the physical line is dropped; the line end
// and one "\r" before it are not kept. A line that runs on past kLineTailLimit bytes ends the
// file there. Returns the bytes consumed, or -1 at the end of the stream with nothing read and
// on the abort request (tested every kAbortTestInterval bytes of a line).
long ReadPhysicalLine(NcSession& session, std::FILE* stream, char* out, int* kept) {
    long consumed = 0;
    int n = 0;
    int c = 0;
    int lastByte = 0;
    session.source.lastLineCut = 0;
    while ((c = std::getc(stream)) != EOF) {
        ++consumed;
        if (c == '\n') {
            break;
        }
        lastByte = c;
        if (n < kNcLineTextMax) {
            out[n++] = static_cast<char>(c);
        }
        if (consumed % kAbortTestInterval == 0) {
            if (ReadAbortRequested()) {
                *kept = 0;
                out[0] = '\0';
                return -1;
            }
            if (consumed > kLineTailLimit) {
                std::fseek(stream, 0, SEEK_END);
                session.source.lastLineCut = 2;
                break;
            }
        }
    }
    if (consumed == 0) {
        *kept = 0;
        out[0] = '\0';
        return -1;
    }
    // A "\r" that ended the physical line is its line end, not text. Test the last character
    // kept only when nothing was dropped behind it.
    const long textBytes = consumed - (c == '\n' ? 1 : 0);
    if (n > 0 && out[n - 1] == '\r' && (c == '\n' || c == EOF) && textBytes == n) {
        --n;
    }
    // Text was dropped unless all that is missing is the "\r" of a line end.
    if (session.source.lastLineCut == 0 && textBytes > kNcLineTextMax &&
        !(textBytes == kNcLineTextMax + 1 && lastByte == '\r')) {
        session.source.lastLineCut = 1;
    }
    out[n] = '\0';
    *kept = n;
    return consumed;
}

// Logs a line of the file at path that the last read cut (the first few of a program).
void LogCutLine(NcSession& session, const char* path, int lineNumber) {
    if (session.source.lastLineCut == 0 || session.source.cutLinesLogged >= kCutLinesLoggedMax) {
        return;
    }
    ++session.source.cutLinesLogged;
    const std::string number = std::to_string(lineNumber);
    const std::string limit = std::to_string(kNcLineTextMax);
    const bool wholeFile = session.source.lastLineCut == 2;
    const std::string text =
        UiLanguage.load() == 1
            ? "line " + number + " is longer than " + limit + " characters; " +
                  (wholeFile ? "the rest of the file is not read" : "the block is not run")
            : number + " 行目が " + limit + " 文字を超えています。" +
                  (wholeFile ? "以降のファイルは読みません" : "このブロックは実行しません");
    AppendLogEntry(std::string(path) + ": " + text + "\n");
}

int CompensationOff(NcSession& session) {
    return session.run.compensationPhase == 0;
}

int InRunWithEditor(NcSession& session) {
    return session.kinematics->modes.runMode != RunMode::kIdle &&
           NcUpHooks.editorLinked != nullptr && NcUpHooks.editorLinked();
}

int EditorCanJump(NcSession& session) {
    return InRunWithEditor(session) && NcUpHooks.editorCanJump != nullptr &&
           NcUpHooks.editorCanJump();
}

void AdvanceEditor(NcSession& session) {
    if (InRunWithEditor(session) && NcUpHooks.advanceEditorLine != nullptr) {
        NcUpHooks.advanceEditorLine();
    }
}

void ShowEditorLine(NcSession& session, int line) {
    if (EditorCanJump(session) && NcUpHooks.showEditorLine != nullptr) {
        NcUpHooks.showEditorLine(line);
    }
}

// Adds the "\n" that every line handed on ends in.
void TerminateLine(NcSession& session) {
    int n = static_cast<int>(std::strlen(session.line.text));
    if (n > kNcLineTextMax) {
        n = kNcLineTextMax;
    }
    session.line.text[n] = '\n';
    session.line.text[n + 1] = '\0';
    session.line.length = n + 1;
}

// The caller has checked that the name fits.
void CopyName(char (&target)[kSubprogramNameCapacity], const char* name, int length) {
    std::memcpy(target, name, static_cast<size_t>(length));
    target[length] = '\0';
}

// One raw line from the current level into line.text (without line end). Returns 1 with a
// line, 0 when the level (or the program) ended.
int ReadRawLine(NcSession& session) {
    int kept = 0;
    const int depth = session.subprograms.depth;
    if (depth == 0) {
        const long consumed =
            session.source.mainFile != nullptr
                ? ReadPhysicalLine(session, session.source.mainFile, session.line.text, &kept)
                : -1;
        if (consumed < 0) {
            MarkProgramEnd(session);
            if (session.controller.dialect.heidenhain && session.run.status.endState == kRunEnded) {
                SetRotaryShortestPath(session, 0);
            }
            return 0;
        }
        ++session.line.mainLineNumber;
        LogCutLine(session, session.source.programPath.c_str(), session.line.mainLineNumber);
        if (CompensationOff(session)) {
            ++session.line.displayedLineNumber;
        }
        AdvanceEditor(session);
        AddProgressWork(consumed);
        return 1;
    }
    const int level = depth - 1;
    if (session.subprograms.fromMemory[level]) {
        const int entry = session.subprograms.entry[level];
        const bool valid = entry >= 0 && entry < ProgramIndex.count;
        const int position = session.subprograms.position[level];
        const long offset =
            valid ? static_cast<long>(ProgramIndex.startOffset[entry]) + position : 0;
        if (!valid || offset >= ProgramIndex.endOffset[static_cast<size_t>(entry)] ||
            offset >= static_cast<long>(ProgramIndex.text.size())) {
            // The stored subprogram ran out without a return: leave it like a file that ended.
            EndSubprogramLevel(session);
            return 0;
        }
        const char* source = ProgramIndex.text.data() + offset;
        const size_t available = ProgramIndex.text.size() - static_cast<size_t>(offset);
        const size_t length = strnlen(source, available);
        kept = static_cast<int>(length > static_cast<size_t>(kNcLineTextMax) ? kNcLineTextMax
                                                                             : length);
        session.source.lastLineCut = length > static_cast<size_t>(kNcLineTextMax) ? 1 : 0;
        std::memcpy(session.line.text, source, static_cast<size_t>(kept));
        session.line.text[kept] = '\0';
        session.line.subprogramLineNumber = ++session.subprograms.lineCounter[level];
        if (CompensationOff(session)) {
            ++session.line.displayedLineNumber;
        }
        if (position == 0) {
            ShowEditorLine(session, session.line.subprogramLineNumber);
        } else {
            AdvanceEditor(session);
        }
        session.subprograms.position[level] += static_cast<int>(length) + 1;
        if (depth == 1) {
            AddProgressWork2(static_cast<std::int64_t>(length) + 1);
        }
        return 1;
    }
    const long consumed =
        session.subprograms.stream[level] != nullptr
            ? ReadPhysicalLine(session, session.subprograms.stream[level], session.line.text, &kept)
            : -1;
    if (consumed < 0) {
        EndSubprogramLevel(session);
        return 0;
    }
    ++session.subprograms.lineCounter[level];
    LogCutLine(session, session.subprograms.name[level], session.subprograms.lineCounter[level]);
    if (CompensationOff(session)) {
        ++session.line.displayedLineNumber;
    }
    if (depth == 1) {
        AddProgressWork2(consumed);
    }
    return 1;
}

// The first word of a stored line for the index: the first letter, "(" or ";", or the letter
// behind an N. Returns its index, or -1 at the line end.
int FindFirstWord(const char* line) {
    static const char kWordStart[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz(;";
    static const char kAfterSequence[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz(";
    const size_t i = std::strcspn(line, kWordStart);
    if (line[i] == '\0') {
        return -1;
    }
    if (line[i] != 'N' && line[i] != 'n') {
        return static_cast<int>(i);
    }
    const size_t j = i + 1 + std::strcspn(line + i + 1, kAfterSequence);
    return line[j] == '\0' ? -1 : static_cast<int>(j);
}

// Where the interpreter stands once a line is handed out, for the long rotary move warning file
// (written while the line's block is interpreted or stepped): the program path, the innermost
// subprogram's name and line inside one, the main file's line and the block text with its line
// end.
void NoteLineSource(NcSession& session) {
    NcSourceLocation& source = session.location;
    source.programPath = session.source.programPath;
    const int depth = session.subprograms.depth;
    source.inSubprogram = depth > 0 ? 1 : 0;
    if (depth > 0 && depth <= kSubprogramDepthMax) {
        source.subprogramName = session.subprograms.name[depth - 1];
        source.subprogramLine = session.subprograms.lineCounter[depth - 1];
    } else {
        source.subprogramName.clear();
        source.subprogramLine = 0;
    }
    source.mainLine = session.line.mainLineNumber;
    source.blockText.assign(session.line.text,
                            ::strnlen(session.line.text, sizeof session.line.text));
    while (!source.blockText.empty() &&
           (source.blockText.back() == '\n' || source.blockText.back() == '\r')) {
        source.blockText.pop_back();
    }
    source.blockText += '\n';
}

}  // namespace

int OpenNcProgramSource(NcSession& session, const std::string& path) {
    CloseNcProgramSource(session);
    DiscardPushedBackLine(session);
    session.source.programPath = path;
    session.source.cutLinesLogged = 0;
    if (!GetPathDirectory(path, session.subprograms.directory,
                          sizeof session.subprograms.directory)) {
        session.subprograms.directory[0] = '\0';
    }
    session.source.mainFile = OpenFileStream(path, "rb");
    return session.source.mainFile != nullptr ? 1 : 0;
}

void CloseNcProgramSource(NcSession& session) {
    if (session.source.mainFile != nullptr) {
        std::fclose(session.source.mainFile);
        session.source.mainFile = nullptr;
    }
    for (int i = 0; i < kSubprogramDepthMax; ++i) {
        if (session.subprograms.stream[i] != nullptr) {
            std::fclose(session.subprograms.stream[i]);
            session.subprograms.stream[i] = nullptr;
        }
        session.subprograms.fromMemory[i] = 0;
    }
    ShowLevelLeft(session, 0, session.subprograms.depth > 0);
    session.subprograms.depth = 0;
}

void PushBackNcLine(NcSession& session, const NcLineBuffer& previous, int previousLevelCounter) {
    session.source.pushedBackLine = session.line;
    session.source.pushedBackLine.lineHeld = 0;
    session.source.pushedBackDepth = session.subprograms.depth;
    session.source.pushedBackPending = 1;
    const int level = session.subprograms.depth - 1;
    if (level >= 0) {
        session.source.pushedBackLevelCounter = session.subprograms.lineCounter[level];
        session.subprograms.lineCounter[level] = previousLevelCounter;
    }
    const int held = session.line.lineHeld;
    session.line = previous;
    session.line.lineHeld = held;
}

void DiscardPushedBackLine(NcSession& session) {
    session.source.pushedBackPending = 0;
}

namespace {

// A block cut at the line limit would run as another block than the one written: it is refused
// as an alarm of its line. Returns 0, the line reading's answer.
int RaiseLongBlockAlarm(NcSession& session) {
    session.run.status.error = kNcErrorLineTooLong;
    session.run.status.errorPosition = kNcLineTextMax + 1;
    session.run.status.errorCharacter = session.line.text[kNcLineTextMax - 1];
    TerminateLine(session);
    return 0;
}

}  // namespace

int ReadNextNcLine(NcSession& session) {
    if (session.line.lineHeld) {
        session.line.lineHeld = 0;
        NoteLineSource(session);
        return 1;
    }
    if (session.source.pushedBackPending) {
        session.source.pushedBackPending = 0;
        session.line = session.source.pushedBackLine;
        const int level = session.subprograms.depth - 1;
        if (level >= 0 && session.subprograms.depth == session.source.pushedBackDepth) {
            session.subprograms.lineCounter[level] = session.source.pushedBackLevelCounter;
        }
        NoteLineSource(session);
        return 1;
    }
    // A path reader hands records instead of lines.
    if (ActivePathReaderSlot() >= 0) {
        if (!ReadPluginPathLine(session)) {
            return 0;
        }
        NoteLineSource(session);
        return 1;
    }
    for (;;) {
        if (!ReadRawLine(session)) {
            return 0;
        }
        // A block cut at the line limit would run as another block than the one written: it
        // is refused as an alarm of its line.
        if (session.source.lastLineCut != 0) {
            return RaiseLongBlockAlarm(session);
        }
        int length = static_cast<int>(std::strlen(session.line.text));
        // Lines of the in-memory text had their replacements when the text was built.
        const bool fromMemory = session.subprograms.depth > 0 &&
                                session.subprograms.fromMemory[session.subprograms.depth - 1];
        if (!session.controller.replacements.empty() && !fromMemory &&
            !ApplyReplaceTable(session, &length, session.line.text, kNcLineTextMax + 1)) {
            // A replacement that lengthens the block past the limit: the block would run cut.
            return RaiseLongBlockAlarm(session);
        }
        if (session.controller.codeCheck) {
            int position = 0;
            if (CheckNcLineCharacters(session, session.line.text, &position)) {
                TerminateLine(session);
                return 0;
            }
        }
        if (session.controller.blockSkipAny && IsBlockSkipped(session, session.line.text)) {
            continue;
        }
        TerminateLine(session);
        NoteLineSource(session);
        return 1;
    }
}

int CheckNcLineCharacters(NcSession& session, const char* line, int* position) {
    int end = static_cast<int>(std::strcspn(line, "\r\n"));
    const std::string& allowed = session.controller.allowedCharacters;
    const bool anyCharacter = !session.controller.hasAllowedCharacters || allowed.empty();
    bool inComment = false;
    int points = 0;
    for (int i = 0; i < end; ++i) {
        const char c = line[i];
        if (inComment && c != ')') {
            continue;
        }
        if (c == '(') {
            inComment = true;
        } else if (c == ')' && inComment) {
            inComment = false;
        }
        const bool digit = c >= '0' && c <= '9';
        if (!anyCharacter && !digit && allowed.find(c) == std::string::npos) {
            session.run.status.error = kNcErrorCharacter;
            session.run.status.errorPosition = i + 1;
            session.run.status.errorCharacter = c;
            *position = i + 1;
            return 1;
        }
        if ((c >= 'A' && c <= 'Z') || c == '#') {
            points = 0;
        } else if (c == '.' && ++points == 2) {
            session.run.status.error = kNcErrorDecimalPoints;
            session.run.status.errorPosition = i + 1;
            session.run.status.errorCharacter = c;
            *position = i + 1;
            return 1;
        }
    }
    return 0;
}

int IsBlockSkipped(NcSession& session, const char* line) {
    if (line[0] != '/') {
        return 0;
    }
    const char c = line[1];
    const int index = (c >= '1' && c <= '9') ? c - '0' : 0;
    return session.controller.blockSkip[index] ? 1 : 0;
}

int ApplyReplaceTable(NcSession& session, int* length, char* line, int capacity) {
    const std::vector<ReplaceEntry>& table = session.controller.replacements;
    const int n = *length;
    int matchPosition[kReplaceMatchesMax];
    int matchEntry[kReplaceMatchesMax];
    int matches = 0;
    for (int pos = 0; pos < n && matches < kReplaceMatchesMax;) {
        int found = -1;
        for (size_t e = 0; e < table.size() && e < static_cast<size_t>(kReplaceEntriesMax); ++e) {
            const std::string& from = table[e].from;
            if (!from.empty() && pos + static_cast<int>(from.size()) <= n &&
                std::memcmp(line + pos, from.data(), from.size()) == 0) {
                found = static_cast<int>(e);
                break;
            }
        }
        if (found < 0) {
            ++pos;
            continue;
        }
        matchPosition[matches] = pos;
        matchEntry[matches] = found;
        ++matches;
        // The character right behind a match never starts another match.
        pos += static_cast<int>(table[static_cast<size_t>(found)].from.size()) + 1;
    }
    if (matches == 0) {
        return 1;
    }
    std::string result;
    result.reserve(static_cast<size_t>(n) + 16);
    int from = 0;
    for (int k = 0; k < matches; ++k) {
        const ReplaceEntry& entry = table[static_cast<size_t>(matchEntry[k])];
        result.append(line + from, static_cast<size_t>(matchPosition[k] - from));
        result.append(entry.to);
        from = matchPosition[k] + static_cast<int>(entry.from.size());
    }
    result.append(line + from, static_cast<size_t>(n - from));
    const int limit = capacity - 1;
    const int kept =
        static_cast<int>(result.size()) < limit ? static_cast<int>(result.size()) : limit;
    std::memcpy(line, result.data(), static_cast<size_t>(kept));
    line[kept] = '\0';
    *length = kept;
    return static_cast<int>(result.size()) <= limit ? 1 : 0;
}

void FreeNcProgramIndex(NcSession& session) {
    ProgramIndex = NcProgramIndex{};
    for (int i = 0; i < kSubprogramDepthMax; ++i) {
        session.subprograms.fromMemory[i] = 0;
    }
}

namespace {

std::int64_t HeldProgramLineCount() {
    return ProgramIndex.text.empty() ? 0 : ProgramIndex.lineCount;
}

}  // namespace

void InstallNcProgressHooks() {
    UiHooks.heldProgramLineCount = HeldProgramLineCount;
}

namespace {

// Reads the open NC file into ProgramIndex (whose file fields are set): 1, or -1 when its text
// grows past kNcIndexTextLimit. Throws std::bad_alloc when the memory runs out.
int FillNcProgramIndex(NcSession& session, std::FILE* stream, const std::string& path) {
    NcProgramIndex& index = ProgramIndex;
    // Room for the text as the file holds it (and a little for replacements), at once.
    index.text.reserve(static_cast<std::size_t>(index.fileSize + index.fileSize / 16 + 1024));
    index.programNumber.assign(kSubprogramIndexMax, 0);
    index.startOffset.assign(kSubprogramIndexMax, 0);
    index.firstLine.assign(kSubprogramIndexMax, 0);
    index.length.assign(kSubprogramIndexMax, 0);
    index.endOffset.assign(kSubprogramIndexMax, 0);
    if (!GetPathDirectory(path, session.subprograms.directory,
                          sizeof session.subprograms.directory)) {
        session.subprograms.directory[0] = '\0';
    }
    enum { kMain = 0, kBetween = 1, kInside = 2 };
    int state = kMain;
    int fileLine = 0;
    int currentStart = 0, currentLength = 0, currentNumber = 0, currentFirst = 0;
    char line[kNcLineTextMax + 1];
    int kept = 0;
    long consumed = 0;
    while ((consumed = ReadPhysicalLine(session, stream, line, &kept)) >= 0) {
        // Offsets into the text are ints: a program beyond them is not held in memory.
        if (index.text.size() > static_cast<std::size_t>(kNcIndexTextLimit)) {
            return -1;
        }
        ++fileLine;
        if (index.count == 0 && state == kMain) {
            index.mainLength += consumed;
        }
        int length = kept;
        bool fits = session.source.lastLineCut == 0;
        if (!session.controller.replacements.empty() &&
            !ApplyReplaceTable(session, &length, line, kNcLineTextMax + 1)) {
            fits = false;
        }
        const int offset = static_cast<int>(index.text.size());
        index.text.insert(index.text.end(), line, line + length);
        // A line longer than the limit, as written or after its replacements, is stored one
        // character longer than a line can be, so reading it raises the long-block alarm.
        if (!fits) {
            index.text.insert(index.text.end(), kNcLineTextMax + 1 - length, ' ');
            length = kNcLineTextMax + 1;
        }
        index.text.push_back('\0');
        const int stored = length + 1;
        const int w = FindFirstWord(line);
        const char c = w >= 0 ? line[w] : '\0';
        const char* after = w >= 0 ? line + w + 1 : "";
        if (c == 'O' && state != kMain) {
            currentNumber = ConvertWordInteger(after, FindWordEnd(0, after));
            currentStart = offset;
            currentLength = stored;
            currentFirst = fileLine - 1;
            state = kInside;
        } else if (c == 'M' &&
                   (std::strncmp(after, "30", 2) == 0 || std::strncmp(after, "02", 2) == 0)) {
            currentLength += stored;
            state = kBetween;
        } else if (state == kInside && ((c == 'M' && std::strncmp(after, "99", 2) == 0) ||
                                        (session.controller.dialect.osp && c == 'R' &&
                                         std::strncmp(after, "TS", 2) == 0))) {
            if (c == 'M') {
                currentLength += stored;
            }
            if (index.count < kSubprogramIndexMax) {
                const size_t k = static_cast<size_t>(index.count);
                index.programNumber[k] = currentNumber;
                index.startOffset[k] = currentStart;
                index.firstLine[k] = currentFirst;
                index.length[k] = currentLength;
                index.endOffset[k] = offset + stored;
                ++index.count;
            }
            state = kBetween;
        } else {
            currentLength += stored;
        }
    }
    index.lineCount = fileLine;
    return 1;
}

}  // namespace

int LoadNcProgramIndex(NcSession& session, const std::string& path) {
    const FileWriteTime time = GetFileWriteTime(path);
    std::uint64_t size = 0;
    GetFileSizeBytes(path, &size);
    if (time.valid && time == ProgramIndex.fileTime && size == ProgramIndex.fileSize &&
        path == ProgramIndex.path) {
        return 1;
    }
    FreeNcProgramIndex(session);
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream == nullptr) {
        return 0;
    }
    ProgramIndex.fileTime = time;
    ProgramIndex.fileSize = size;
    ProgramIndex.path = path;
    // The text is held whole, with room to grow: a program the memory left cannot take twice is
    // refused before it is read, and memory that runs out while reading refuses it too.
    const std::uint64_t available = GetAvailableMemoryBytes();
    int filled = -1;
    if (available == 0 || size <= available / 2) {
        try {
            filled = FillNcProgramIndex(session, stream, path);
        } catch (const std::bad_alloc&) {
            filled = -1;
        }
    }
    std::fclose(stream);
    if (filled < 0) {
        FreeNcProgramIndex(session);
        NoteMemoryShortage();
        AppendLogEntry(path +
                       ChooseLanguageText(" - The NC program is too large to be held in memory.\n",
                                          " - NCプログラムが大きすぎてメモリに置けません\n"));
        return -1;
    }
    return 1;
}

int FindSubprogram(int number) {
    for (int i = 0; i < ProgramIndex.count; ++i) {
        if (ProgramIndex.programNumber[static_cast<size_t>(i)] == number) {
            return i;
        }
    }
    return -1;
}

namespace {

// Why the last subprogram file did not open (0 when none was tried or it was not there).
int subprogramOpenError = 0;

// Logs a subprogram call the run passes over (it goes on with the next block).
void LogMissingSubprogram(NcSession& session, const std::string& name) {
    std::string text =
        session.subprograms.depth >= kSubprogramDepthMax
            ? ChooseLanguageText("Subprograms nested too deeply, the call is passed over: ",
                                 "サブプログラムの呼び出しが深すぎます。呼び出しを飛ばします: ")
            : ChooseLanguageText("Subprogram not found, the call is passed over: ",
                                 "サブプログラムが見つかりません。呼び出しを飛ばします: ");
    // A file that is there but does not open (a FIFO, a folder) is named with its reason.
    if (session.subprograms.depth < kSubprogramDepthMax && subprogramOpenError != 0 &&
        subprogramOpenError != ENOENT) {
        text = ChooseLanguageText("Subprogram cannot be read (", "サブプログラムを読めません (") +
               DescribeFileError(subprogramOpenError) +
               ChooseLanguageText("), the call is passed over: ", ")。呼び出しを飛ばします: ");
    }
    subprogramOpenError = 0;
    AppendLogEntry("(" + std::to_string(session.line.mainLineNumber) + ") - " + text + name + "\n");
}

// OpenSubprogramByName without the log line.
int TryOpenSubprogramFile(NcSession& session, const char* name, int nameLength) {
    const int depth = session.subprograms.depth;
    if (depth >= kSubprogramDepthMax || nameLength <= 0 || nameLength >= kSubprogramNameCapacity) {
        return 0;
    }
    const std::string fileName(name, static_cast<size_t>(nameLength));
    char path[kNcPathCapacity];
    if (!JoinPath(session.subprograms.directory, fileName, path, sizeof path)) {
        return 0;
    }
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream == nullptr) {
        // The first reason counts: a second name tried is mostly not there at all.
        if (subprogramOpenError == 0 || subprogramOpenError == ENOENT) {
            subprogramOpenError = errno;
        }
        return 0;
    }
    subprogramOpenError = 0;
    std::memcpy(session.subprograms.path, path, sizeof path);
    session.subprograms.stream[depth] = stream;
    session.subprograms.fromMemory[depth] = 0;
    session.subprograms.lineCounter[depth] = 0;
    session.subprograms.entry[depth] = -1;
    session.subprograms.position[depth] = 0;
    CopyName(session.subprograms.name[depth], name, nameLength);
    session.subprograms.depth = depth + 1;
    ShowLevelEntered(session, depth + 1, path);
    return 1;
}

}  // namespace

int OpenSubprogramByName(NcSession& session, const char* name, int nameLength) {
    if (TryOpenSubprogramFile(session, name, nameLength)) {
        return 1;
    }
    LogMissingSubprogram(session, std::string(name, static_cast<size_t>(std::max(nameLength, 0))));
    return 0;
}

int OpenSubprogramByNumber(NcSession& session, int number) {
    char name[kSubprogramNameCapacity];
    std::snprintf(name, sizeof name, "O%d", number);
    if (TryOpenSubprogramFile(session, name, static_cast<int>(std::strlen(name)))) {
        return 1;
    }
    const std::string first = name;
    if (number >= 0 && number < 1000) {
        std::snprintf(name, sizeof name, "O%04d", number);
        if (TryOpenSubprogramFile(session, name, static_cast<int>(std::strlen(name)))) {
            return 1;
        }
    }
    LogMissingSubprogram(session, first);
    return 0;
}

int EnterSubprogramFromMemory(NcSession& session, int number) {
    const int depth = session.subprograms.depth;
    if (!session.controller.runTypeMemory || depth >= kSubprogramDepthMax) {
        return 0;
    }
    const int entry = FindSubprogram(number);
    if (entry < 0) {
        LogMissingSubprogram(session, "O" + std::to_string(number));
        return 0;
    }
    std::snprintf(session.subprograms.name[depth], kSubprogramNameCapacity,
                  number >= 0 && number < 1000 ? "O%04d" : "O%d", number);
    session.subprograms.stream[depth] = nullptr;
    session.subprograms.fromMemory[depth] = 1;
    session.subprograms.lineCounter[depth] = ProgramIndex.firstLine[static_cast<size_t>(entry)];
    session.subprograms.entry[depth] = entry;
    session.subprograms.position[depth] = 0;
    session.subprograms.depth = depth + 1;
    ShowLevelEntered(session, depth + 1, nullptr);
    return 1;
}

namespace {

// Pops the innermost level and closes its file.
void PopLevel(NcSession& session) {
    const int level = session.subprograms.depth - 1;
    if (session.subprograms.stream[level] != nullptr) {
        std::fclose(session.subprograms.stream[level]);
        session.subprograms.stream[level] = nullptr;
    }
    session.subprograms.fromMemory[level] = 0;
    session.subprograms.depth = level;
    ShowLevelLeft(session, level, level == 0);
}

}  // namespace

int ReturnFromSubprogram(NcSession& session) {
    if (session.subprograms.depth == 0) {
        return 0;
    }
    PopLevel(session);
    const int depth = session.subprograms.depth;
    if (depth == 0) {
        session.line.subprogramLineNumber = session.line.mainLineNumber;
    } else {
        session.line.subprogramLineNumber = session.subprograms.lineCounter[depth - 1];
    }
    if (depth == 0 || session.subprograms.fromMemory[depth - 1]) {
        ShowEditorLine(session, session.line.subprogramLineNumber);
    }
    return 1;
}

void EndSubprogramLevel(NcSession& session) {
    if (session.subprograms.depth == 0) {
        session.run.status.endState = kRunEndPending;
        return;
    }
    PopLevel(session);
}

}  // namespace mirexa
