// What the program tells about its environment: its own version, the lines of the version panel
// (system, processors, memory, OpenGL driver) and the list of the other top-level windows in
// "otherwin.txt".
#pragma once

#include <string>
#include <vector>

#include "platform/system_info.h"
#include "platform/window.h"

namespace mirexa {

// The program's version ("0.1.0").
std::string ProgramVersionNumber();

// The figures the panel shows, gathered once.
struct EnvironmentInfo {
    OsDescription os = {};
    ProcessorInfo processors = {};
    MemoryStatusKb memory = {};
    OpenGlDescription openGl = {};  // empty when no GL context was current
};
// Gathers them; the OpenGL driver only when a context is current on the calling thread.
EnvironmentInfo GatherEnvironmentInfo();

// The panel's lines in the language of UiLanguage, one figure a line: program, system, kernel,
// processors, memory (physical, swap, commit), OpenGL vendor, renderer and version ("-" where
// not known). Memory in MB with thousands separators.
std::vector<std::string> DescribeEnvironment(const EnvironmentInfo& info);

// Counts the top-level windows other than `skip`. When `write` is non-zero it also writes
// "otherwin.txt" in the current directory anew, one line per window in the order they were made:
// the window's text in double quotes, then its class name ("\"MIREXA7\"MirexaMain"), and opens
// it in the desktop's viewer (unless in automatic mode). Returns the count, or -1 when the file
// could not be written (the old one, if any, left whole).
int ListOtherWindows(WindowHandle skip, int write);

}  // namespace mirexa
