// The definition-file watch: when the main window is activated, painted or moved, a tools,
// holder, controller or machine file changed since it was read is read again, with a message.
#pragma once

#include <string>

#include "platform/file_info.h"
#include "platform/window.h"

namespace mirexa {

// The files watched, in the order they are checked.
enum class WatchedFile : int { Tools = 0, Holder = 1, Controller = 2, Machine = 3 };
inline constexpr int kWatchedFileCount = 4;

struct DefinitionWatchState {
    int checkState = 0;  // 2 while a check runs (a box it shows re-activates the window), 1 after
    // Per watched file: 1 once it was reported unreadable (missing, no regular file, empty, or
    // read without anything to use), with its last-write time then; it is tried again when that
    // time changes (a file that comes back is read), and the flag is cleared once it is read.
    int missingReported[kWatchedFileCount] = {};
    FileWriteTime reportedTime[kWatchedFileCount] = {};
    // The holder-file problem of the tools file's reading the user was last told of.
    std::string holderProblemShown = {};
    // Per watched file: 1 once the user was told that its reading held nothing to use.
    int nothingUsableShown[kWatchedFileCount] = {};
};
extern DefinitionWatchState DefinitionWatch;

// The checks of one call. Skipped whole (returns 0) while a run is active, while a check runs
// (re-entry from its own message boxes), or when the working directory is no longer the one the
// program started in (a file dialog moved it; the relative definition paths would not match).
// Otherwise each file in turn: when it was read and its last-write time differs from the one
// stored at the reading, the message "Because the TTL-file has been update, it reads." (ATL,
// CTL, MTL), then the re-read chain of that file. A file that cannot be read (missing, no
// regular file, empty) is not read: the records in use stay and a message names the file and
// the reason, once until the file changes again; a tools file read again without a tool is
// taken back the same way. A holder file the tools file names that gave no holder is told to a
// user once per problem (an unattended run fails on it instead). Returns the number of files
// read again.
int CheckDefinitionFilesChanged(WindowHandle window);

// The re-read chains, in the order each reads: tools file; holder: tools file; controller:
// controller, machine (without models), tools; machine: controller, machine (with models),
// tools. Each ends with the title, the sound and a redraw. Exposed for the view's editor keys.
void ReadChangedDefinitionFile(WindowHandle window, WatchedFile file);

}  // namespace mirexa
