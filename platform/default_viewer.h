// Opening a file in the desktop's default viewer. The real-window backend starts "xdg-open"
// with the path (without a shell); the headless backend starts nothing and records the path, so
// that tests and batch runs can see what would have been shown.
#pragma once

#include <string>
#include <vector>

namespace mirexa {

// Opens the file in the default viewer, or records it under the headless backend. Callers
// decide whether a viewer may open at all (never in automatic mode). Returns 1 when the viewer
// was started and ended well or the path was recorded, 0 when the path is empty or the viewer
// could not be started.
int OpenInDefaultViewer(const std::string& path);

// 1 when the desktop's default viewer ("xdg-open") is an executable file in a directory of PATH
// (FindProgramFile: the file OpenInDefaultViewer would start), on either backend; 0 when there is
// none.
int DefaultViewerInstalled();

// The paths recorded by the headless backend since the last call, oldest first; the record is
// emptied. Safe from any thread.
std::vector<std::string> TakeRecordedViewerOpens();

}  // namespace mirexa
