// The NC line source: one line at a time from the main NC file, a subprogram file or the
// in-memory copy of the program, with line numbers, text replacements, the character check and
// the optional block skip; the in-memory program index and the subprogram stack.
//
// Lines: a physical line longer than kNcLineTextMax characters (without its line end) is cut
// there and the rest of the physical line is dropped, so the next line read is the next
// physical line and the line numbers stay right; the first few cut lines of a program are
// logged. A line that runs on past kLineTailLimit bytes ends its file, and the abort request
// (ReadAbortRequested) ends a read at once. A line handed on always ends in one "\n" and a NUL;
// a "\r" directly before the line end is dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_info.h"

namespace mirexa {

struct NcSession;

constexpr int kNcLineCapacity = 1024;
constexpr int kNcLineTextMax = kNcLineCapacity - 2;  // characters before the "\n" and NUL
constexpr int kSubprogramIndexMax = 1000;
constexpr int kSubprogramDepthMax = 4;
constexpr int kSubprogramNameCapacity = 32;
constexpr int kNcPathCapacity = 256;
constexpr int kReplaceMatchesMax = 32;

struct NcLineBuffer {
    char text[kNcLineCapacity] = {};
    int length = {};  // characters in text, after the replacements
    int mainLineNumber = {};
    int displayedLineNumber = {};
    int subprogramLineNumber = {};
    // Set by the simulation thread when it read the line itself while stopping before a block:
    // the next read hands on that same line.
    int lineHeld = {};
};

// The NC file held in memory (memory run type): every line after replacement with a NUL in
// place of its line end, and the subprograms found in it.
struct NcProgramIndex {
    std::vector<char> text;
    std::int64_t mainLength = {};  // bytes up to the first line that ends the main program
    int count = {};
    std::vector<int> programNumber;  // kSubprogramIndexMax entries once allocated
    std::vector<int> startOffset;
    std::vector<int> firstLine;  // file line of the "O" line, minus one
    std::vector<int> length;
    std::vector<int> endOffset;  // offset in text behind the subprogram's last line (its return)
    std::int64_t lineCount = {};
    FileWriteTime fileTime = {};
    std::uint64_t fileSize = {};
    std::string path;  // the file the text was built from
};
extern NcProgramIndex ProgramIndex;

struct SubprogramStack {
    int depth = {};  // 0 main program; a call at kSubprogramDepthMax is refused
    std::FILE* stream[kSubprogramDepthMax] = {};
    int fromMemory[kSubprogramDepthMax] = {};
    int lineCounter[kSubprogramDepthMax] = {};
    char name[kSubprogramDepthMax][kSubprogramNameCapacity] = {};
    int entry[kSubprogramDepthMax] = {};
    int position[kSubprogramDepthMax] = {};
    char directory[kNcPathCapacity] = {};  // the NC file's directory with its separator
    char path[kNcPathCapacity] = {};       // the last subprogram file opened
};
// The subprogram depth kept for other threads (the run timer's progress bars read it while the
// run's thread enters and leaves levels).
extern std::atomic<int> SubprogramDepthShown;

// The main NC file of the run.
struct NcProgramSource {
    std::string programPath;
    std::FILE* mainFile = {};
    // A line handed back by PushBackNcLine, with the subprogram level it was read at and that
    // level's line counter behind it.
    int pushedBackPending = {};
    NcLineBuffer pushedBackLine = {};
    int pushedBackDepth = {};
    int pushedBackLevelCounter = {};
    // What the last physical line read dropped: 0 nothing, 1 text behind the line limit, 2 also
    // the rest of the file; and how many cut lines of the program were logged.
    int lastLineCut = {};
    int cutLinesLogged = {};
    // 1: the subprogram levels are neither published (SubprogramDepthShown) nor shown in the
    // second progress bar, which belong to a run that waits while this session pulls.
    int levelsHidden = {};
};

// Upward calls of the line source and the interpreter; a null hook means nothing there.
struct NcHooks {
    // Editor bridge: 1 when an editor is linked (and can jump to lines, for the second hook).
    int (*editorLinked)() = {};
    int (*editorCanJump)() = {};
    void (*advanceEditorLine)() = {};
    void (*showEditorLine)(int lineNumber) = {};
    // Shell: redraw the status bar, and the information panel (its axis labels too).
    void (*redrawStatus)() = {};
    void (*redrawPanel)() = {};
    // NC communication plug-in: offers the tool named by the current line.
    void (*loadToolFromPlugin)(NcSession& session) = {};
    // Shell: repaints the tool display panel when it is shown (a plug-in's tool was mounted).
    // Any thread.
    void (*repaintToolPanel)() = {};
};
extern NcHooks NcUpHooks;

// Opens the NC program for a run (closing one still open) and sets the subprogram directory;
// 1 on success, 0 when it cannot be opened.
int OpenNcProgramSource(NcSession& session, const std::string& path);
// Closes the main file and every open subprogram file; the stack is emptied.
void CloseNcProgramSource(NcSession& session);

// Reads the next line into line. 1: a line to interpret. 0: end of the program, end of a
// subprogram file (the level was popped), or a failed character check (error 4 or 5 set).
int ReadNextNcLine(NcSession& session);

// Hands the line in the session's line back to the line source, for a reader that read one line too
// far: the next ReadNextNcLine hands it on again, with its own text and line numbers, without
// reading. Until then the session's line holds `previous` (the line before it, as the caller kept
// it) and the current level's line counter is `previousLevelCounter`, so that the block that ended
// there keeps its own numbers. A second push-back before the next read replaces the first.
void PushBackNcLine(NcSession& session, const NcLineBuffer& previous, int previousLevelCounter);
// Forgets a pushed-back line (a new run, a new source).
void DiscardPushedBackLine(NcSession& session);

// (Re)builds ProgramIndex from the NC file when its write time or size changed. Lines are
// stored after the replacements, which are not applied again when they are read back. 1 when the
// index holds the file, 0 when the file cannot be read, -1 when it is too large to be held in
// memory: twice its size is more than the memory available, the memory ran out while it was
// read, or its text grew past kNcIndexTextLimit bytes (logged and counted by
// NoteMemoryShortage). The index is empty unless 1 is returned.
inline constexpr int kNcIndexTextLimit = 1 << 30;
int LoadNcProgramIndex(NcSession& session, const std::string& path);
// Frees the in-memory text and its index, and the in-memory flags of the subprogram levels.
void FreeNcProgramIndex(NcSession& session);
// Fills the progress hooks with the held program's line count and the current subprogram
// level's stored length.
void InstallNcProgressHooks();
// Index of the first subprogram with that number, or -1.
int FindSubprogram(int number);

// Character check of a line (without its trailing "\r" and "\n"): 1 when the line breaks the
// rules (error 4 or 5 set in the run status with position and character), else 0.
int CheckNcLineCharacters(NcSession& session, const char* line, int* position);
// 1 when the line is dropped by an optional block skip switch.
int IsBlockSkipped(NcSession& session, const char* line);
// Applies the controller's replacements to line[0, *length) in place; the line is cut at
// capacity - 1 characters and kept NUL-terminated. At most kReplaceMatchesMax matches per line.
// Returns 1 when the replaced text fits, 0 when it was cut.
int ApplyReplaceTable(NcSession& session, int* length, char* line, int capacity);

// Subprogram levels. Each returns 1 when the level was entered, 0 when the call was refused or
// failed (the stack is then unchanged): at kSubprogramDepthMax levels, for a name longer than
// kSubprogramNameCapacity - 1 characters or a path that does not fit kNcPathCapacity, for a
// file that does not open (found without regard to case) or an unknown number. A refused call
// is logged with the subprogram's name (the first name tried for a number) and the main
// program's line number.
int OpenSubprogramByName(NcSession& session, const char* name, int nameLength);
int OpenSubprogramByNumber(NcSession& session, int number);
int EnterSubprogramFromMemory(NcSession& session, int number);
// Return by M99 (ignored at depth 0); 1 when a level was left.
int ReturnFromSubprogram(NcSession& session);
// Return by an end of program inside a subprogram ("END PGM", or the end of its file).
void EndSubprogramLevel(NcSession& session);

}  // namespace mirexa
