// Starting another program without a shell and without waiting for it.
#pragma once

#include <string>
#include <vector>

namespace mirexa {

// Starts words[0] (looked up on PATH when it has no "/") with the other words as its arguments,
// in directory when one is given, without a shell and without waiting; the program's exit status
// is collected by a detached thread, so it leaves no zombie. Returns 1 when it was started, 0 for
// no words or when it could not be started.
int StartDetachedProgram(std::vector<std::string> words, const std::string& directory);

// The words of a command or option text, split at blanks and tabs (no quoting: a word that holds
// a blank, such as a file name, is added as a word of its own by the caller).
std::vector<std::string> SplitCommandWords(const std::string& text);

}  // namespace mirexa
