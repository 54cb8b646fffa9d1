// Whether a command that a settings file names (the editor, the second instance of the view's X
// key) may start: until the user allows it, each time a settings file's command would run the user
// sees the command line and answers; a Yes is kept for that settings file, that command and the
// files it runs as they are now (outside the job folder, so a folder cannot answer for the user),
// a No only refuses that start, and every start is logged.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

// A command of the settings file as the question shows it and a Yes binds it.
struct SettingsCommand {
    std::string section = {};             // its settings section ("ExecEditor", "ExecSelf")
    std::string text = {};                // what the settings give (the key of the answer)
    std::vector<std::string> words = {};  // the program and arguments that would run (shown)
    // The files whose content it runs, as absolute paths: the program file first (none for the
    // program's own second instance, which runs itself), then files its words name (a macro); a
    // Yes holds for them as they are now (FileIdentity), another is asked for.
    std::vector<std::string> boundFiles = {};
};

// The file the answers are kept in: "mirexa/editor_commands" under $XDG_CONFIG_HOME (an
// absolute path), else under "$HOME/.config"; empty when neither is set (answers then last as
// long as the process). Lines "allowed", tab, then the escaped section, settings path, command
// and the bound files with their identities, tab-separated. The lines "yes" of earlier versions
// (settings path and command, no files) and "no" bind nothing: such a command is asked for again.
std::string EditorAnswersPath();

// Asks, unless it was allowed before, whether the command of the current settings file may start.
// No settings file needs no answer. The question's default is No; a No is not kept (the next
// request asks again) and is logged as not started. A command allowed before whose bound files
// are not the ones allowed then (another program unpacked in the same place) is asked for again,
// and the question says so. Returns 1 when the command may start.
int MayStartSettingsCommand(WindowHandle owner, const SettingsCommand& command);

// The editor command of the settings file (program and option as written: the key of the
// answer), which would run `words` from programFile (FindProgramFile of words[0]). The built-in
// "xdg-open" with "%1" needs no answer. Returns 1 when the command may start.
int MayStartEditorCommand(WindowHandle owner, const std::string& command,
                          const std::vector<std::string>& words, const std::string& programFile);

// Logs the start of an editor with its command line.
void LogEditorStart(const std::vector<std::string>& words);

// The words as one command line, a word with a blank or a quote in quotes (as the questions and
// the log show them).
std::string JoinCommandWords(const std::vector<std::string>& words);

// Forgets the answers this process holds (tests; the file stays as it is).
void ForgetEditorAnswers();

}  // namespace mirexa
