// Starting another program without a shell and without waiting for it.
#pragma once

#include <spawn.h>

#include <string>
#include <vector>

namespace mirexa {

// Makes a write to a pipe or socket whose reader has gone (a display that closed its connection,
// a pipe into a program that ended) fail as a write (EPIPE), handled where it happens, instead
// of ending the process silently with SIGPIPE. Call once at the program's start.
void IgnoreBrokenPipeSignal();

// Initialises the attributes of a program about to be started with the flags given, and with
// the signals the program ignores for itself (SIGPIPE, SIGXFSZ) set back to their default in the
// child: an ignored signal stays ignored across exec, and would change how the child's own
// writes and pipelines end. 1 when the attributes were initialised (destroy them after the start).
int InitProgramStartAttributes(posix_spawnattr_t* attributes, short flags);

// Starts words[0] (looked up on PATH when it has no "/") with the other words as its arguments,
// in directory when one is given, without a shell and without waiting; the program's exit status
// is collected by a detached thread, so it leaves no zombie. With a programFile (an absolute
// path, as FindProgramFile gives) that file runs instead of the lookup's, words[0] still its
// name. Returns 1 when it was started, 0 for no words or when it could not be started.
int StartDetachedProgram(std::vector<std::string> words, const std::string& directory,
                         const std::string& programFile = "");

// The file StartDetachedProgram would run for the word in directory (empty: the working folder):
// a word with a "/" names it, relative to that folder; a word without is looked up in the folders
// of PATH ("/bin:/usr/bin" when PATH is not set; an empty entry is the folder), the first regular
// file the user may execute. Its absolute path with every link resolved; empty when there is
// none.
std::string FindProgramFile(const std::string& word, const std::string& directory);

// The words of a command or option text, split at blanks and tabs (no quoting: a word that holds
// a blank, such as a file name, is added as a word of its own by the caller).
std::vector<std::string> SplitCommandWords(const std::string& text);

}  // namespace mirexa
