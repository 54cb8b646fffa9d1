// Macro files: keyword matching, arguments, the DIFF and EXEC grammars, line reading, and the run
// of a macro file through the automation's commands.
#include "shell/macro_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

#include "platform/file_reading.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/automation_thread.h"
#include "shell/nc_data_commands.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell/worker_threads.h"

namespace mirexa {

const MacroKeyword MacroKeywords[kMacroKeywordCount] = {
    {"LOAD_WORK", MacroCommand::kLoadWork},
    {"SAVE_WORK", MacroCommand::kSaveWork},
    {"SELECT_NCDATA", MacroCommand::kSelectNcData},
    {"SELECT_BASIC_MODEL", MacroCommand::kSelectBasicModel},
    {"LOAD_TTL", MacroCommand::kLoadTtl},
    {"LOAD_CTL", MacroCommand::kLoadCtl},
    {"LOAD_MTL", MacroCommand::kLoadMtl},
    {"VERIFY SILENT", MacroCommand::kVerifySilent},
    {"VERIFY", MacroCommand::kVerify},
    {"CUT(REAL)", MacroCommand::kCutReal},
    {"CUT(SKIP)", MacroCommand::kCutSkip},
    {"CUT(RESULT)", MacroCommand::kCutResult},
    {"DIFF", MacroCommand::kDiff},
    {"MINIMIZE_WINDOW", MacroCommand::kMinimizeWindow},
    {"MAXIMIZE_WINDOW", MacroCommand::kMaximizeWindow},
    {"RESTORE_WINDOW", MacroCommand::kRestoreWindow},
    {"EXEC", MacroCommand::kExec},
    {"EXIT", MacroCommand::kExit},
};

namespace {

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlankOrTab(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlankOrTab(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view StripLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// 1 when the line starts with the keyword, compared without regard to case over its length.
bool StartsWithKeyword(std::string_view line, std::string_view keyword) {
    return line.size() >= keyword.size() &&
           EqualIgnoringCase(line.substr(0, keyword.size()), keyword);
}

// A number in the "C" locale without exponent at text[*pos]; moves *pos behind it.
bool ReadFixedNumber(std::string_view text, std::size_t* pos, double* out) {
    const char* first = text.data() + *pos;
    const char* last = text.data() + text.size();
    double value = 0.0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (error != std::errc() || end == first) {
        return false;
    }
    *pos += static_cast<std::size_t>(end - first);
    *out = value;
    return true;
}

char UpperAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) {
        return '\0';
    }
    char c = text[pos];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDigitAt(std::string_view text, std::size_t pos) {
    return pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
}

}  // namespace

MacroLine ParseMacroLine(std::string_view line) {
    MacroLine parsed;
    line = StripLineEnd(line);
    if (line.empty() || line.front() == '#') {
        return parsed;
    }
    for (const MacroKeyword& keyword : MacroKeywords) {
        std::string_view text = keyword.text;
        if (!StartsWithKeyword(line, text)) {
            continue;
        }
        parsed.command = keyword.command;
        std::string_view rest = line.substr(text.size());
        parsed.rest = std::string(rest);
        parsed.hasArgument = GetMacroArgument(rest, &parsed.argument) != kNoMacroArgument ? 1 : 0;
        if (keyword.command == MacroCommand::kCutResult) {
            // "SILEN" one character behind the keyword: exactly one separator.
            parsed.resultSilent = rest.size() >= 6 && EqualIgnoringCase(rest.substr(1, 5), "SILEN");
        }
        return parsed;
    }
    return parsed;
}

std::size_t GetMacroArgument(std::string_view text, std::string* out) {
    text = StripLineEnd(text);
    if (text.empty() || !IsBlankOrTab(text.front())) {
        return kNoMacroArgument;
    }
    std::size_t pos = 0;
    while (pos < text.size() && IsBlankOrTab(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '"') {
        const std::size_t close = text.find('"', pos + 1);
        if (close == std::string_view::npos || close == pos + 1) {
            return kNoMacroArgument;
        }
        *out = std::string(text.substr(pos + 1, close - pos - 1));
        return close + 1;
    }
    std::string_view value = TrimBlanks(text.substr(pos));
    if (value.empty()) {
        return kNoMacroArgument;
    }
    *out = std::string(value);
    return static_cast<std::size_t>(value.data() + value.size() - text.data());
}

int ParseDiffArgument(std::string_view text, DifferencePaintChoices* out) {
    text = TrimBlanks(StripLineEnd(text));
    DifferencePaintChoices choice = *out;
    std::size_t pos = 0;
    choice.area = 1;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        choice.area = text[pos] == '-' ? -1 : 1;
        ++pos;
    }
    if (!ReadFixedNumber(text, &pos, &choice.margin) || !std::isfinite(choice.margin) ||
        choice.margin < 0.0) {
        return 0;
    }
    if (UpperAt(text, pos) != 'H' && UpperAt(text, pos) != 'N') {
        return 0;
    }
    ++pos;
    if (UpperAt(text, pos) == 'P') {
        choice.penColor = 0;
        ++pos;
    } else if (IsDigitAt(text, pos)) {
        int pen = text[pos++] - '0';
        if (IsDigitAt(text, pos)) {
            pen = pen * 10 + (text[pos++] - '0');
        }
        if (pen < 1 || pen > 15) {
            return 0;
        }
        choice.penColor = 1;
        choice.pen = pen;
    } else {
        return 0;
    }
    choice.recolor = 1;
    if (UpperAt(text, pos) == 'K') {
        choice.recolor = 0;
        ++pos;
    }
    choice.offset = 0.0;
    if (pos < text.size() && text[pos] == ',') {
        ++pos;
        if (pos < text.size() && text[pos] == '+') {
            ++pos;  // from_chars takes no plus sign
        }
        if (!ReadFixedNumber(text, &pos, &choice.offset) || !std::isfinite(choice.offset)) {
            return 0;
        }
    }
    if (pos != text.size()) {
        return 0;
    }
    choice.marginStart = choice.margin;
    *out = choice;
    return 1;
}

int SplitExecArgument(std::string_view text, std::string* program, std::string* argument) {
    text = StripLineEnd(text);
    if (text.empty() || !IsBlankOrTab(text.front())) {
        return 0;
    }
    text = TrimBlanks(text);
    if (text.empty()) {
        return 0;
    }
    std::size_t end = 0;
    std::string name;
    if (text.front() == '"') {
        const std::size_t close = text.find('"', 1);
        if (close == std::string_view::npos || close == 1) {
            return 0;
        }
        name = std::string(text.substr(1, close - 1));
        end = close + 1;
    } else {
        while (end < text.size() && !IsBlankOrTab(text[end])) {
            ++end;
        }
        name = std::string(text.substr(0, end));
    }
    *program = name;
    *argument = std::string(TrimBlanks(text.substr(end)));
    return 1;
}

int ReadMacroLine(std::FILE* stream, std::string* line) {
    line->clear();
    bool any = false;
    bool tooLong = false;
    long consumed = 0;
    for (;;) {
        int c = std::fgetc(stream);
        if (c == EOF) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        // An endless line ends the file; the abort request ends the read.
        if (++consumed % kAbortTestInterval == 0) {
            if (ReadAbortRequested()) {
                line->clear();
                return 0;
            }
            if (consumed > kLineTailLimit) {
                std::fseek(stream, 0, SEEK_END);
                tooLong = true;
                break;
            }
        }
        if (!tooLong) {
            line->push_back(static_cast<char>(c));
            // One more than the limit may be a CR before the LF.
            if (line->size() > kMacroLineLimit + 1) {
                tooLong = true;
                line->clear();
            }
        }
    }
    if (!any) {
        return 0;
    }
    if (tooLong) {
        return -1;
    }
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    if (line->size() > kMacroLineLimit) {
        line->clear();
        return -1;
    }
    return 1;
}

namespace {

// The macro's state in status-bar part 9 (drawn unless drawing is suppressed).
void ShowMacroState(int running, int breakCount, int completed, const std::string& line) {
    RunOnMainThread([&] {
        MacroRunState& state = StatusInputs.macro;
        state.running = running;
        state.breakCount = breakCount;
        state.completed = completed;
        state.currentLine = line;
        if (DrawingSuppressed.load() == 0) {
            DrawStatusBar();
        }
    });
}

void LogMacroProblem(int lineNumber, const std::string& text) {
    AppendLogEntry("(" + std::to_string(lineNumber) + ") - " + text + "\n");
}

const std::string* ArgumentOf(const MacroLine& line) {
    return line.hasArgument ? &line.argument : nullptr;
}

void RunDiffLine(const MacroLine& line, int lineNumber) {
    // The argument is read over the choices that stand, and a bad one sends nothing.
    AutomationRequest request;
    if (line.hasArgument) {
        if (!RunOnMainThread([&] { request.difference = Settings.difference; })) {
            return;
        }
        if (!ParseDiffArgument(line.argument, &request.difference)) {
            LogMacroProblem(lineNumber, "DIFF " + line.argument +
                                            ChooseLanguageText(
                                                ": the argument is not understood; nothing painted",
                                                ": 引数が正しくありません。塗りません"));
            return;
        }
        request.differenceGiven = 1;
    }
    SendAutomationRequest(IDM_PAINT_DIFFERENCE, 1, request);
}

void RunExecLine(const MacroLine& line, int lineNumber) {
    std::string program;
    std::string argument;
    if (!SplitExecArgument(line.rest, &program, &argument)) {
        LogMacroProblem(lineNumber, ChooseLanguageText("EXEC without a program",
                                                       "EXEC にプログラムがありません"));
        return;
    }
    // A program started here that runs a macro starting it again would never end.
    if (ExecNestingDepth() >= kExecDepthLimit) {
        RecordBatchFailure("(" + std::to_string(lineNumber) + ") - EXEC " + program + ": " +
                           std::to_string(kExecDepthLimit) +
                           ChooseLanguageText(" macros started one another already; the program "
                                              "is not started",
                                              " 段の EXEC の中のため、プログラムを起動しません"));
        return;
    }
    const int status = RunAutomationProgram(program, argument);
    if (WorkerShutdownRequested.load() != 0 || AbortSignalReceived.load() != 0) {
        // The window closed (or its display went away) or a signal aborted the work while the
        // program ran, and the program was ended with everything it started: work not done; the
        // lines after this one are not run, and the log names them.
        const int signalNumber = AbortSignalReceived.load();
        const std::string why =
            signalNumber != 0
                ? ChooseLanguageText(": ended, the work was aborted by signal ",
                                     ": シグナルで中断されたため終了しました: シグナル ") +
                      std::to_string(signalNumber)
                : ChooseLanguageText(": ended, the window was closed or its display went away",
                                     ": ウィンドウが閉じられたか画面が失われたため終了しました");
        const std::string ended = status >= 0 ? ChooseLanguageText("; the program's status: ",
                                                                   "。プログラムの終了コードは ") +
                                                    std::to_string(status)
                                              : std::string();
        RecordBatchFailure("(" + std::to_string(lineNumber) + ") - EXEC " + program + why + ended);
        AutomationRun.breakCount = std::max(AutomationRun.breakCount, 1);
    } else if (status < 0) {
        LogMacroProblem(lineNumber,
                        "EXEC " + program +
                            ChooseLanguageText(": the program cannot be started; skipped",
                                               ": プログラムを起動できません。スキップします"));
    } else if (status != 0) {
        LogMacroProblem(lineNumber, "EXEC " + program +
                                        ChooseLanguageText(": the program ended with status ",
                                                           ": プログラムの終了コードは ") +
                                        std::to_string(status));
    }
}

void SendSystemCommand(unsigned code) {
    RunOnMainThread([code] { SendAutomationSystemCommand(code); });
}

// Runs one line; returns 1 for EXIT.
int RunMacroLine(const MacroLine& line, int lineNumber) {
    const bool silent = DrawingSuppressed.load() != 0;
    switch (line.command) {
        case MacroCommand::kMacroNone:
            break;
        case MacroCommand::kLoadWork:
            LoadStockStep(ArgumentOf(line), 1);
            break;
        case MacroCommand::kSaveWork:
            SaveStockStep(1, ArgumentOf(line));
            break;
        case MacroCommand::kSelectNcData:
            SelectNcStep(ArgumentOf(line), 0);
            break;
        case MacroCommand::kSelectBasicModel:
            if (line.hasArgument) {
                RunOnMainThread([&] { SelectBasicModelPath(MainWindow.load(), line.argument); });
                ReportMissingBasicModel(line.argument);
            }
            break;
        case MacroCommand::kLoadTtl:
            DefinitionFileStep(IDM_TOOLS_FILE, ArgumentOf(line));
            break;
        case MacroCommand::kLoadCtl:
            DefinitionFileStep(IDM_CONTROLLER_FILE, ArgumentOf(line));
            break;
        case MacroCommand::kLoadMtl:
            DefinitionFileStep(IDM_MACHINE_FILE, ArgumentOf(line));
            break;
        case MacroCommand::kVerifySilent:
            ReportStep(silent ? 6 : 5, 1);
            break;
        case MacroCommand::kVerify:
            if (silent) {
                ReportStep(6, 1);
            } else {
                ReportStep(1, 0);
            }
            break;
        case MacroCommand::kCutReal:
            RunCutStep(CutKind::kReal, 0);
            break;
        case MacroCommand::kCutSkip:
            RunCutStep(CutKind::kSkip, 0);
            break;
        case MacroCommand::kCutResult:
            RunCutStep(CutKind::kResult, line.resultSilent);
            break;
        case MacroCommand::kDiff:
            RunDiffLine(line, lineNumber);
            break;
        case MacroCommand::kMinimizeWindow:
            SendSystemCommand(SC_MINIMIZE);
            break;
        case MacroCommand::kMaximizeWindow:
            SendSystemCommand(SC_MAXIMIZE);
            break;
        case MacroCommand::kRestoreWindow:
            SendSystemCommand(SC_RESTORE);
            break;
        case MacroCommand::kExec:
            RunExecLine(line, lineNumber);
            break;
        case MacroCommand::kExit:
            return 1;
    }
    return 0;
}

// The definition file a LOAD_ line reads, as the bit of CheckMacroDefinitionFiles; 0 for other
// lines.
unsigned LoadedDefinitionFile(MacroCommand command) {
    return command == MacroCommand::kLoadTtl   ? kMacroLoadedTools
           : command == MacroCommand::kLoadCtl ? kMacroLoadedController
           : command == MacroCommand::kLoadMtl ? kMacroLoadedMachine
                                               : 0u;
}

// The lines that work with the definition files: a cut, a verification or a save.
bool IsMacroWork(MacroCommand command) {
    switch (command) {
        case MacroCommand::kCutReal:
        case MacroCommand::kCutSkip:
        case MacroCommand::kCutResult:
        case MacroCommand::kVerify:
        case MacroCommand::kVerifySilent:
        case MacroCommand::kSaveWork:
            return true;
        default:
            return false;
    }
}

// After a break (a cut that ended on an alarm or was aborted, a line not run) the lines left are
// named in the log; a save among them did not happen, which fails the unattended work.
void LogLinesNotRun(std::FILE* stream, int lineNumber) {
    std::string text;
    int result = 0;
    bool saveSkipped = false;
    while ((result = ReadMacroLine(stream, &text)) != 0) {
        ++lineNumber;
        if (result < 0 || text.empty() || text[0] == '#') {
            continue;
        }
        const MacroCommand command = ParseMacroLine(text).command;
        if (command == MacroCommand::kExit) {
            break;
        }
        saveSkipped = saveSkipped || command == MacroCommand::kSaveWork;
        LogMacroProblem(
            lineNumber,
            ChooseLanguageText("not run after the break: ", "中断のため実行しません: ") + text);
    }
    if (saveSkipped) {
        RecordBatchFailure(ChooseLanguageText(
            "The macro stopped before its SAVE_WORK: the work was not saved",
            "マクロが SAVE_WORK の前で終了したため、被切削材は保存されていません"));
    }
}

}  // namespace

int RunMacroFile() {
    std::string macroPath;
    int stockNamed = 0;
    if (!RunOnMainThread([&] {
            macroPath = DefinitionFiles.macroFile;
            stockNamed = CommandLine.stockGiven;
        })) {
        return 0;
    }
    // 1. The command line's stock first.
    if (stockNamed && LoadStockStep(nullptr, 1) != 1) {
        PostAutomationDone();
        return 0;
    }
    // The macro file, line by line.
    errno = 0;
    std::FILE* stream = OpenFileStream(macroPath, "rb");
    if (!stream) {
        const int error = errno != 0 ? errno : ENOENT;
        RecordBatchFailure(macroPath +
                           ChooseLanguageText(" - The macro file cannot be opened: ",
                                              " - マクロファイルを開けません: ") +
                           DescribeFileError(error));
        ShowMacroState(0, 1, 0, macroPath);
        return 0;
    }
    // 3, 4.
    std::string text;
    std::string shown;
    int lineNumber = 0;
    int exitLine = 0;
    int result = 0;
    unsigned replaced = 0;  // definition files a LOAD_ line read
    bool definitionsChecked = false;
    while (!AutomationRun.stopped && (result = ReadMacroLine(stream, &text)) != 0) {
        ++lineNumber;
        if (result < 0) {
            // The steps behind a line not run would work on what it did not load, select or
            // save: the macro stops there.
            RecordBatchFailure("(" + std::to_string(lineNumber) + ") - " +
                               ChooseLanguageText("The macro line is longer than 1,024 "
                                                  "characters; it is not run and the macro stops",
                                                  "マクロの行が 1,024 文字を超えています。"
                                                  "実行せず、マクロを終了します"));
            AutomationRun.breakCount = std::max(AutomationRun.breakCount, 1);
            break;
        }
        shown = text;
        ShowMacroState(1, 0, 0, shown);
        const MacroLine line = ParseMacroLine(text);
        replaced |= LoadedDefinitionFile(line.command);
        // The first work of the macro: the definition files it rests on must have been read,
        // or it would cut, check or save with values nobody asked for.
        if (!definitionsChecked && IsMacroWork(line.command)) {
            definitionsChecked = true;
            if (!CheckMacroDefinitionFiles(replaced)) {
                LogMacroProblem(lineNumber,
                                ChooseLanguageText("not run: ", "実行しません: ") + text);
                AutomationRun.breakCount = std::max(AutomationRun.breakCount, 1);
                break;
            }
        }
        if (RunMacroLine(line, lineNumber)) {
            exitLine = 1;
            break;
        }
        if (AutomationRun.breakCount > 0 || AbortSignalled()) {
            break;
        }
    }
    // The lines after a break are named, also when an abort signal or the window's end stopped
    // the macro.
    if (!exitLine && (AutomationRun.breakCount > 0 || AutomationRun.stopped)) {
        LogLinesNotRun(stream, lineNumber);
    }
    std::fclose(stream);
    AutomationEndLogged.store(1);
    const int broken = AutomationRun.breakCount > 0 || AutomationRun.stopped;
    ShowMacroState(0, broken ? std::max(1, AutomationRun.breakCount) : 0,
                   broken || exitLine ? 0 : 1, shown);
    if (exitLine && !AutomationRun.stopped) {
        PostAutomationDone();
    }
    return 0;
}

}  // namespace mirexa
