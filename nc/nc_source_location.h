// Where the interpreter stands in the NC program: the file, the subprogram and the line handed out
// last, kept for the entries of the run's long rotary move warning file.
#pragma once

#include <string>

namespace mirexa {

// Set by the line source each time it hands out a line; reset at the start of a cutting run. Each
// NC session keeps its own, so a tool path or a data check interpreting beside a paused run leaves
// the run's warning entries pointing at the run's lines.
struct NcSourceLocation {
    std::string programPath;  // the NC program file; the warning file is named after it
    int inSubprogram = {};
    std::string subprogramName;
    int subprogramLine = {};
    int mainLine = {};
    std::string blockText;  // the block text with its own line end
};

}  // namespace mirexa
