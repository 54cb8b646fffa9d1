// Whether an editor command that a settings file names may start: until the user allows it, each
// time a settings file's command would run the user sees the command line and answers; a Yes is
// kept for that settings file and command (outside the job folder, so a folder cannot answer for
// the user), a No only refuses that start, and every start is logged.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

// The file the answers are kept in: "mirexa/editor_commands" under $XDG_CONFIG_HOME (an
// absolute path), else under "$HOME/.config"; empty when neither is set (answers then last as
// long as the process).
std::string EditorAnswersPath();

// Asks, unless it was allowed before, whether the editor command of the current settings file
// may start: `command` is what the settings give (program and option as written, the key of the
// answer), `words` the program and arguments that would run (shown to the user). A command the
// settings file does not name (no settings file, or the built-in "xdg-open" with "%1") needs no
// answer. The question's default is No; a No is not kept (the next request asks again) and is
// logged as not started. Returns 1 when the command may start.
int MayStartEditorCommand(WindowHandle owner, const std::string& command,
                          const std::vector<std::string>& words);

// Logs the start of an editor with its command line.
void LogEditorStart(const std::vector<std::string>& words);

// Forgets the answers this process holds (tests; the file stays as it is).
void ForgetEditorAnswers();

}  // namespace mirexa
