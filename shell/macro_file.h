// Macro files: the keywords of the automation's macro language, the reading of one line into a
// command with its argument, the DIFF and EXEC arguments, and the run of a whole macro file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "config/config_records.h"

namespace mirexa {

// The commands of the macro language. kMacroNone: a comment, an empty line or a line that starts
// with no keyword (all ignored).
enum class MacroCommand : int {
    kMacroNone = 0,
    kLoadWork,
    kSaveWork,
    kSelectNcData,
    kSelectBasicModel,
    kLoadTtl,
    kLoadCtl,
    kLoadMtl,
    kVerifySilent,
    kVerify,
    kCutReal,
    kCutSkip,
    kCutResult,
    kDiff,
    kMinimizeWindow,
    kMaximizeWindow,
    kRestoreWindow,
    kExec,
    kExit,
};

// The keyword table in the order lines are matched against it ("VERIFY SILENT" before "VERIFY").
struct MacroKeyword {
    const char* text = {};
    MacroCommand command = {};
};
inline constexpr int kMacroKeywordCount = 18;
extern const MacroKeyword MacroKeywords[kMacroKeywordCount];

// The longest macro line (characters, without its line end). A longer line is not run at all:
// running its first 1,024 characters would act on a cut path, and its rest would be read as a
// line of its own.
inline constexpr std::size_t kMacroLineLimit = 1024;

// One line of a macro, read by ParseMacroLine.
struct MacroLine {
    MacroCommand command = {};
    // The keyword's argument (GetMacroArgument); hasArgument 0 when there is none.
    int hasArgument = {};
    std::string argument = {};
    // CUT(RESULT): 1 when the text one character behind the keyword starts with "SILEN" (case
    // ignored), the result run that writes the log.
    int resultSilent = {};
    // The text behind the keyword as it stands (EXEC splits it itself).
    std::string rest = {};
};

// Reads one line (without its line end; a trailing CR is dropped too). A line starting with "#"
// is a comment. Keywords stand at the start of the line and match without regard to case over
// their own length, so a line that starts with a keyword matches it whatever follows. Lines
// matching no keyword give kMacroNone.
MacroLine ParseMacroLine(std::string_view line);

// The argument behind a keyword: text must start with a blank or tab (else there is none);
// blanks and tabs are skipped; a double-quoted argument runs to the closing quote and may hold
// blanks (no closing quote: no argument); an unquoted one is the rest of the text without the
// line end and without trailing blanks and tabs. An empty argument is none. Returns the index in
// text behind the argument (behind the closing quote), or kNoMacroArgument with *out unchanged.
inline constexpr std::size_t kNoMacroArgument = static_cast<std::size_t>(-1);
std::size_t GetMacroArgument(std::string_view text, std::string* out);

// Reads the argument of DIFF, "[+|-]tol{H|N}{P|nn}[K][,value]", from its start: the sign (none:
// +) gives the area, tol the allowance (mm), H or N is passed over, P paints with the paint colour
// and nn (1 to 15, one or two digits) with that pen, K keeps earlier difference colours, and the
// value behind "," (0 when absent) is the emphasis radius (mm). Numbers are read in the "C"
// locale. Returns 1 with *out updated, or 0 (*out unchanged) for text that does not follow the
// grammar or holds more behind it.
int ParseDiffArgument(std::string_view text, DifferencePaintChoices* out);

// Splits the text behind EXEC into the program and its one argument: after at least one blank
// or tab, a program in double quotes runs to the closing quote, an unquoted one to the next
// blank or tab; the rest, without its leading and trailing blanks and tabs, is the one argument
// (empty: none). Returns 1, or 0 when there is no program (nothing, no separating blank, or an
// open quote).
int SplitExecArgument(std::string_view text, std::string* program, std::string* argument);

// Reads the next line of a macro file into *line without its line end (LF or CR LF; the last line
// may have none). Returns 1 for a line, 0 at the end of the file, and -1 for a line longer than
// kMacroLineLimit, which is read to its end and left out (*line then empty); a line that runs on
// past kLineTailLimit bytes also ends the file. The abort request (ReadAbortRequested) ends the
// read as the end of the file.
int ReadMacroLine(std::FILE* stream, std::string* line);

// Runs the macro file named by DefinitionFiles.macroFile with the automation's commands
// (automation_thread.h): first loads the command line's stock when one was named (a failed load
// ends the macro and the program's automatic work), then runs line by line until EXIT, the end of
// the file, a break (an alarm or an abort in a cut) or an abort signal. A file that cannot be
// opened is a failure of the batch (logged, exit code 2), shown as a break. Returns 0.
int RunMacroFile();

}  // namespace mirexa
