// The NC line source: main file, subprogram files and the in-memory program, with line numbers,
// replacements, the character check and the optional block skip.
#include "nc/nc_line_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_source_location.h"
#include "nc/nc_words.h"
#include "nc/plugin_queries.h"
#include "platform/file_reading.h"
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

// The level shown to other threads and the second progress bar follow the session's subprogram
// levels, except in a session whose levels are hidden (one that runs beside a waiting run).
void ShowLevelEntered(int depth, const char* path) {
    if (NcSource.levelsHidden == 0) {
        SubprogramDepthShown.store(depth);
        BeginProgress2(MainWindow.load(), path);
    }
}

void ShowLevelLeft(int depth, bool endBar) {
    if (NcSource.levelsHidden == 0) {
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
long ReadPhysicalLine(std::FILE* stream, char* out, int* kept) {
    long consumed = 0;
    int n = 0;
    int c = 0;
    int lastByte = 0;
    NcSource.lastLineCut = 0;
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
                NcSource.lastLineCut = 2;
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
    if (NcSource.lastLineCut == 0 && textBytes > kNcLineTextMax &&
        !(textBytes == kNcLineTextMax + 1 && lastByte == '\r')) {
        NcSource.lastLineCut = 1;
    }
    out[n] = '\0';
    *kept = n;
    return consumed;
}

// Logs a line of the file at path that the last read cut (the first few of a program).
void LogCutLine(const char* path, int lineNumber) {
    if (NcSource.lastLineCut == 0 || NcSource.cutLinesLogged >= kCutLinesLoggedMax) {
        return;
    }
    ++NcSource.cutLinesLogged;
    const std::string number = std::to_string(lineNumber);
    const std::string limit = std::to_string(kNcLineTextMax);
    const bool wholeFile = NcSource.lastLineCut == 2;
    const std::string text =
        UiLanguage.load() == 1
            ? "line " + number + " is longer than " + limit + " characters; " +
                  (wholeFile ? "the rest of the file is not read" : "the block is not run")
            : number + " 行目が " + limit + " 文字を超えています。" +
                  (wholeFile ? "以降のファイルは読みません" : "このブロックは実行しません");
    AppendLogEntry(std::string(path) + ": " + text + "\n");
}

int CompensationOff() {
    return NcRun.compensationPhase == 0;
}

int InRunWithEditor() {
    return KinematicsMode.runMode >= kRunModeRealCutting && NcUpHooks.editorLinked != nullptr &&
           NcUpHooks.editorLinked();
}

int EditorCanJump() {
    return InRunWithEditor() && NcUpHooks.editorCanJump != nullptr && NcUpHooks.editorCanJump();
}

void AdvanceEditor() {
    if (InRunWithEditor() && NcUpHooks.advanceEditorLine != nullptr) {
        NcUpHooks.advanceEditorLine();
    }
}

void ShowEditorLine(int line) {
    if (EditorCanJump() && NcUpHooks.showEditorLine != nullptr) {
        NcUpHooks.showEditorLine(line);
    }
}

// Adds the "\n" that every line handed on ends in.
void TerminateLine() {
    int n = static_cast<int>(std::strlen(NcLine.text));
    if (n > kNcLineTextMax) {
        n = kNcLineTextMax;
    }
    NcLine.text[n] = '\n';
    NcLine.text[n + 1] = '\0';
    NcLine.length = n + 1;
}

// The caller has checked that the name fits.
void CopyName(char (&target)[kSubprogramNameCapacity], const char* name, int length) {
    std::memcpy(target, name, static_cast<size_t>(length));
    target[length] = '\0';
}

// One raw line from the current level into NcLine.text (without line end). Returns 1 with a
// line, 0 when the level (or the program) ended.
int ReadRawLine() {
    int kept = 0;
    const int depth = Subprograms.depth;
    if (depth == 0) {
        const long consumed = NcSource.mainFile != nullptr
                                  ? ReadPhysicalLine(NcSource.mainFile, NcLine.text, &kept)
                                  : -1;
        if (consumed < 0) {
            MarkProgramEnd();
            if (NcController.dialect.heidenhain && NcRun.status.endState == kRunEnded) {
                SetRotaryShortestPath(0);
            }
            return 0;
        }
        ++NcLine.mainLineNumber;
        LogCutLine(NcSource.programPath.c_str(), NcLine.mainLineNumber);
        if (CompensationOff()) {
            ++NcLine.displayedLineNumber;
        }
        AdvanceEditor();
        AddProgressWork(consumed);
        return 1;
    }
    const int level = depth - 1;
    if (Subprograms.fromMemory[level]) {
        const int entry = Subprograms.entry[level];
        const bool valid = entry >= 0 && entry < ProgramIndex.count;
        const int position = Subprograms.position[level];
        const long offset =
            valid ? static_cast<long>(ProgramIndex.startOffset[entry]) + position : 0;
        if (!valid || offset >= ProgramIndex.endOffset[static_cast<size_t>(entry)] ||
            offset >= static_cast<long>(ProgramIndex.text.size())) {
            // The stored subprogram ran out without a return: leave it like a file that ended.
            EndSubprogramLevel();
            return 0;
        }
        const char* source = ProgramIndex.text.data() + offset;
        const size_t available = ProgramIndex.text.size() - static_cast<size_t>(offset);
        const size_t length = strnlen(source, available);
        kept = static_cast<int>(length > static_cast<size_t>(kNcLineTextMax) ? kNcLineTextMax
                                                                             : length);
        NcSource.lastLineCut = length > static_cast<size_t>(kNcLineTextMax) ? 1 : 0;
        std::memcpy(NcLine.text, source, static_cast<size_t>(kept));
        NcLine.text[kept] = '\0';
        NcLine.subprogramLineNumber = ++Subprograms.lineCounter[level];
        if (CompensationOff()) {
            ++NcLine.displayedLineNumber;
        }
        if (position == 0) {
            ShowEditorLine(NcLine.subprogramLineNumber);
        } else {
            AdvanceEditor();
        }
        Subprograms.position[level] += static_cast<int>(length) + 1;
        if (depth == 1) {
            AddProgressWork2(static_cast<std::int64_t>(length) + 1);
        }
        return 1;
    }
    const long consumed = Subprograms.stream[level] != nullptr
                              ? ReadPhysicalLine(Subprograms.stream[level], NcLine.text, &kept)
                              : -1;
    if (consumed < 0) {
        EndSubprogramLevel();
        return 0;
    }
    ++Subprograms.lineCounter[level];
    LogCutLine(Subprograms.name[level], Subprograms.lineCounter[level]);
    if (CompensationOff()) {
        ++NcLine.displayedLineNumber;
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
void NoteLineSource() {
    NcSourceLocation& source = CurrentNcSource;
    source.programPath = NcSource.programPath;
    const int depth = Subprograms.depth;
    source.inSubprogram = depth > 0 ? 1 : 0;
    if (depth > 0 && depth <= kSubprogramDepthMax) {
        source.subprogramName = Subprograms.name[depth - 1];
        source.subprogramLine = Subprograms.lineCounter[depth - 1];
    } else {
        source.subprogramName.clear();
        source.subprogramLine = 0;
    }
    source.mainLine = NcLine.mainLineNumber;
    source.blockText.assign(NcLine.text, ::strnlen(NcLine.text, sizeof NcLine.text));
    while (!source.blockText.empty() &&
           (source.blockText.back() == '\n' || source.blockText.back() == '\r')) {
        source.blockText.pop_back();
    }
    source.blockText += '\n';
}

}  // namespace

int OpenNcProgramSource(const std::string& path) {
    CloseNcProgramSource();
    DiscardPushedBackLine();
    NcSource.programPath = path;
    NcSource.cutLinesLogged = 0;
    if (!GetPathDirectory(path, Subprograms.directory, sizeof Subprograms.directory)) {
        Subprograms.directory[0] = '\0';
    }
    NcSource.mainFile = OpenFileStream(path, "rb");
    return NcSource.mainFile != nullptr ? 1 : 0;
}

void CloseNcProgramSource() {
    if (NcSource.mainFile != nullptr) {
        std::fclose(NcSource.mainFile);
        NcSource.mainFile = nullptr;
    }
    for (int i = 0; i < kSubprogramDepthMax; ++i) {
        if (Subprograms.stream[i] != nullptr) {
            std::fclose(Subprograms.stream[i]);
            Subprograms.stream[i] = nullptr;
        }
        Subprograms.fromMemory[i] = 0;
    }
    ShowLevelLeft(0, Subprograms.depth > 0);
    Subprograms.depth = 0;
}

void PushBackNcLine(const NcLineBuffer& previous, int previousLevelCounter) {
    NcSource.pushedBackLine = NcLine;
    NcSource.pushedBackLine.lineHeld = 0;
    NcSource.pushedBackDepth = Subprograms.depth;
    NcSource.pushedBackPending = 1;
    const int level = Subprograms.depth - 1;
    if (level >= 0) {
        NcSource.pushedBackLevelCounter = Subprograms.lineCounter[level];
        Subprograms.lineCounter[level] = previousLevelCounter;
    }
    const int held = NcLine.lineHeld;
    NcLine = previous;
    NcLine.lineHeld = held;
}

void DiscardPushedBackLine() {
    NcSource.pushedBackPending = 0;
}

int ReadNextNcLine() {
    if (NcLine.lineHeld) {
        NcLine.lineHeld = 0;
        NoteLineSource();
        return 1;
    }
    if (NcSource.pushedBackPending) {
        NcSource.pushedBackPending = 0;
        NcLine = NcSource.pushedBackLine;
        const int level = Subprograms.depth - 1;
        if (level >= 0 && Subprograms.depth == NcSource.pushedBackDepth) {
            Subprograms.lineCounter[level] = NcSource.pushedBackLevelCounter;
        }
        NoteLineSource();
        return 1;
    }
    // A path reader hands records instead of lines.
    if (ActivePathReaderSlot() >= 0) {
        if (!ReadPluginPathLine()) {
            return 0;
        }
        NoteLineSource();
        return 1;
    }
    for (;;) {
        if (!ReadRawLine()) {
            return 0;
        }
        // A block cut at the line limit would run as another block than the one written: it
        // is refused as an alarm of its line.
        if (NcSource.lastLineCut != 0) {
            NcRun.status.error = kNcErrorLineTooLong;
            NcRun.status.errorPosition = kNcLineTextMax + 1;
            NcRun.status.errorCharacter = NcLine.text[kNcLineTextMax - 1];
            TerminateLine();
            return 0;
        }
        int length = static_cast<int>(std::strlen(NcLine.text));
        // Lines of the in-memory text had their replacements when the text was built.
        const bool fromMemory =
            Subprograms.depth > 0 && Subprograms.fromMemory[Subprograms.depth - 1];
        if (!NcController.replacements.empty() && !fromMemory) {
            ApplyReplaceTable(&length, NcLine.text, kNcLineTextMax + 1);
        }
        if (NcController.codeCheck) {
            int position = 0;
            if (CheckNcLineCharacters(NcLine.text, &position)) {
                TerminateLine();
                return 0;
            }
        }
        if (NcController.blockSkipAny && IsBlockSkipped(NcLine.text)) {
            continue;
        }
        TerminateLine();
        NoteLineSource();
        return 1;
    }
}

int CheckNcLineCharacters(const char* line, int* position) {
    int end = static_cast<int>(std::strcspn(line, "\r\n"));
    const std::string& allowed = NcController.allowedCharacters;
    const bool anyCharacter = !NcController.hasAllowedCharacters || allowed.empty();
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
            NcRun.status.error = kNcErrorCharacter;
            NcRun.status.errorPosition = i + 1;
            NcRun.status.errorCharacter = c;
            *position = i + 1;
            return 1;
        }
        if ((c >= 'A' && c <= 'Z') || c == '#') {
            points = 0;
        } else if (c == '.' && ++points == 2) {
            NcRun.status.error = kNcErrorDecimalPoints;
            NcRun.status.errorPosition = i + 1;
            NcRun.status.errorCharacter = c;
            *position = i + 1;
            return 1;
        }
    }
    return 0;
}

int IsBlockSkipped(const char* line) {
    if (line[0] != '/') {
        return 0;
    }
    const char c = line[1];
    const int index = (c >= '1' && c <= '9') ? c - '0' : 0;
    return NcController.blockSkip[index] ? 1 : 0;
}

void ApplyReplaceTable(int* length, char* line, int capacity) {
    const std::vector<ReplaceEntry>& table = NcController.replacements;
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
        return;
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
}

void FreeNcProgramIndex() {
    ProgramIndex = NcProgramIndex{};
    for (int i = 0; i < kSubprogramDepthMax; ++i) {
        Subprograms.fromMemory[i] = 0;
    }
}

namespace {

std::int64_t HeldProgramLineCount() {
    return ProgramIndex.text.empty() ? 0 : ProgramIndex.lineCount;
}

std::int64_t HeldSubprogramLength() {
    const int depth = Subprograms.depth;
    if (depth == 0 || !Subprograms.fromMemory[depth - 1]) {
        return -1;
    }
    const int entry = Subprograms.entry[depth - 1];
    return (entry >= 0 && entry < ProgramIndex.count)
               ? ProgramIndex.length[static_cast<size_t>(entry)]
               : -1;
}

}  // namespace

void InstallNcProgressHooks() {
    UiHooks.heldProgramLineCount = HeldProgramLineCount;
    UiHooks.heldSubprogramLength = HeldSubprogramLength;
}

int LoadNcProgramIndex(const std::string& path) {
    const FileWriteTime time = GetFileWriteTime(path);
    std::uint64_t size = 0;
    GetFileSizeBytes(path, &size);
    if (time.valid && time == ProgramIndex.fileTime && size == ProgramIndex.fileSize &&
        path == ProgramIndex.path) {
        return 1;
    }
    FreeNcProgramIndex();
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream == nullptr) {
        return 0;
    }
    NcProgramIndex& index = ProgramIndex;
    index.fileTime = time;
    index.fileSize = size;
    index.path = path;
    index.programNumber.assign(kSubprogramIndexMax, 0);
    index.startOffset.assign(kSubprogramIndexMax, 0);
    index.firstLine.assign(kSubprogramIndexMax, 0);
    index.length.assign(kSubprogramIndexMax, 0);
    index.endOffset.assign(kSubprogramIndexMax, 0);
    if (!GetPathDirectory(path, Subprograms.directory, sizeof Subprograms.directory)) {
        Subprograms.directory[0] = '\0';
    }
    enum { kMain = 0, kBetween = 1, kInside = 2 };
    int state = kMain;
    int fileLine = 0;
    int currentStart = 0, currentLength = 0, currentNumber = 0, currentFirst = 0;
    char line[kNcLineTextMax + 1];
    int kept = 0;
    long consumed = 0;
    while ((consumed = ReadPhysicalLine(stream, line, &kept)) >= 0) {
        // Offsets into the text are ints: a program beyond them is not held in memory.
        if (index.text.size() > static_cast<std::size_t>(kNcIndexTextLimit)) {
            std::fclose(stream);
            FreeNcProgramIndex();
            AppendLogEntry(
                path + ChooseLanguageText(" - The NC program is too large to be held in memory.\n",
                                          " - NCプログラムが大きすぎてメモリに置けません\n"));
            return 0;
        }
        ++fileLine;
        if (index.count == 0 && state == kMain) {
            index.mainLength += consumed;
        }
        int length = kept;
        if (!NcController.replacements.empty()) {
            ApplyReplaceTable(&length, line, kNcLineTextMax + 1);
        }
        const int offset = static_cast<int>(index.text.size());
        index.text.insert(index.text.end(), line, line + length);
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
        } else if (state == kInside &&
                   ((c == 'M' && std::strncmp(after, "99", 2) == 0) ||
                    (NcController.dialect.osp && c == 'R' && std::strncmp(after, "TS", 2) == 0))) {
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
    std::fclose(stream);
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
void LogMissingSubprogram(const std::string& name) {
    std::string text =
        Subprograms.depth >= kSubprogramDepthMax
            ? ChooseLanguageText("Subprograms nested too deeply, the call is passed over: ",
                                 "サブプログラムの呼び出しが深すぎます。呼び出しを飛ばします: ")
            : ChooseLanguageText("Subprogram not found, the call is passed over: ",
                                 "サブプログラムが見つかりません。呼び出しを飛ばします: ");
    // A file that is there but does not open (a FIFO, a folder) is named with its reason.
    if (Subprograms.depth < kSubprogramDepthMax && subprogramOpenError != 0 &&
        subprogramOpenError != ENOENT) {
        text = ChooseLanguageText("Subprogram cannot be read (", "サブプログラムを読めません (") +
               DescribeFileError(subprogramOpenError) +
               ChooseLanguageText("), the call is passed over: ", ")。呼び出しを飛ばします: ");
    }
    subprogramOpenError = 0;
    AppendLogEntry("(" + std::to_string(NcLine.mainLineNumber) + ") - " + text + name + "\n");
}

// OpenSubprogramByName without the log line.
int TryOpenSubprogramFile(const char* name, int nameLength) {
    const int depth = Subprograms.depth;
    if (depth >= kSubprogramDepthMax || nameLength <= 0 || nameLength >= kSubprogramNameCapacity) {
        return 0;
    }
    const std::string fileName(name, static_cast<size_t>(nameLength));
    char path[kNcPathCapacity];
    if (!JoinPath(Subprograms.directory, fileName, path, sizeof path)) {
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
    std::memcpy(Subprograms.path, path, sizeof path);
    Subprograms.stream[depth] = stream;
    Subprograms.fromMemory[depth] = 0;
    Subprograms.lineCounter[depth] = 0;
    Subprograms.entry[depth] = -1;
    Subprograms.position[depth] = 0;
    CopyName(Subprograms.name[depth], name, nameLength);
    Subprograms.depth = depth + 1;
    ShowLevelEntered(depth + 1, path);
    return 1;
}

}  // namespace

int OpenSubprogramByName(const char* name, int nameLength) {
    if (TryOpenSubprogramFile(name, nameLength)) {
        return 1;
    }
    LogMissingSubprogram(std::string(name, static_cast<size_t>(std::max(nameLength, 0))));
    return 0;
}

int OpenSubprogramByNumber(int number) {
    char name[kSubprogramNameCapacity];
    std::snprintf(name, sizeof name, "O%d", number);
    if (TryOpenSubprogramFile(name, static_cast<int>(std::strlen(name)))) {
        return 1;
    }
    const std::string first = name;
    if (number >= 0 && number < 1000) {
        std::snprintf(name, sizeof name, "O%04d", number);
        if (TryOpenSubprogramFile(name, static_cast<int>(std::strlen(name)))) {
            return 1;
        }
    }
    LogMissingSubprogram(first);
    return 0;
}

int EnterSubprogramFromMemory(int number) {
    const int depth = Subprograms.depth;
    if (!NcController.runTypeMemory || depth >= kSubprogramDepthMax) {
        return 0;
    }
    const int entry = FindSubprogram(number);
    if (entry < 0) {
        LogMissingSubprogram("O" + std::to_string(number));
        return 0;
    }
    std::snprintf(Subprograms.name[depth], kSubprogramNameCapacity,
                  number >= 0 && number < 1000 ? "O%04d" : "O%d", number);
    Subprograms.stream[depth] = nullptr;
    Subprograms.fromMemory[depth] = 1;
    Subprograms.lineCounter[depth] = ProgramIndex.firstLine[static_cast<size_t>(entry)];
    Subprograms.entry[depth] = entry;
    Subprograms.position[depth] = 0;
    Subprograms.depth = depth + 1;
    ShowLevelEntered(depth + 1, nullptr);
    return 1;
}

namespace {

// Pops the innermost level and closes its file.
void PopLevel() {
    const int level = Subprograms.depth - 1;
    if (Subprograms.stream[level] != nullptr) {
        std::fclose(Subprograms.stream[level]);
        Subprograms.stream[level] = nullptr;
    }
    Subprograms.fromMemory[level] = 0;
    Subprograms.depth = level;
    ShowLevelLeft(level, level == 0);
}

}  // namespace

int ReturnFromSubprogram() {
    if (Subprograms.depth == 0) {
        return 0;
    }
    PopLevel();
    const int depth = Subprograms.depth;
    if (depth == 0) {
        NcLine.subprogramLineNumber = NcLine.mainLineNumber;
    } else {
        NcLine.subprogramLineNumber = Subprograms.lineCounter[depth - 1];
    }
    if (depth == 0 || Subprograms.fromMemory[depth - 1]) {
        ShowEditorLine(NcLine.subprogramLineNumber);
    }
    return 1;
}

void EndSubprogramLevel() {
    if (Subprograms.depth == 0) {
        NcRun.status.endState = kRunEndPending;
        return;
    }
    PopLevel();
}

}  // namespace mirexa
