// Reading definition and settings text files line by line into the fixed 1,024-byte line of the
// line scanners, with CRLF and LF line ends read alike; keyword tests and reader messages.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mirexa {

inline constexpr std::size_t kDefinitionLineSize = 1024;

// Reads the next line of file into line (capacity bytes, at least 2). The line keeps its "\n"
// when it had one; a "\r" before it (or at the end of the file) is removed. A line longer than
// capacity - 2 characters keeps its first capacity - 2 characters and its "\n"; the rest of it
// is skipped, never read as a line of its own. A NUL byte inside a line ends the text the
// scanners see. A line that runs on past kLineTailLimit bytes ends the file (what was kept is
// returned, nothing more is read), and so does the abort request (ReadAbortRequested), tested
// every kAbortTestInterval bytes of a line. Returns 1 when a line was read, 0 at the end of the
// file or on the abort request (line is then "").
int ReadDefinitionLine(std::FILE* file, char* line, std::size_t capacity);

// 1 when text starts with keyword, comparing as many characters as the keyword has without
// regard to the case of ASCII letters; else 0.
int StartsWithKeyword(const char* text, const char* keyword);

// 1 when text holds a word that would name a value that is not a finite number ("nan", "inf",
// "infinity", with a sign or not, in any case) between blanks, "=", ",", "(" and ")"; else 0.
// The scanners would read such a word as 0 or take the next number in its place.
int HoldsNonFiniteWord(std::string_view text);

// Appends "text: detail" to *messages (when not null), the text in the user's language. The
// readers collect their messages this way; the shell shows them.
void AppendConfigMessage(std::vector<std::string>* messages, const char* english,
                         const char* japanese, const std::string& detail);

}  // namespace mirexa
