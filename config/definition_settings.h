// The values that the definition-file readers take from the settings file and the command line,
// in one place.
#pragma once

#include <string>

namespace mirexa {

// The paths of the controller, machine and tools files.
std::string GetControllerFilePath();
std::string GetMachineFilePath();
std::string GetToolFilePath();

}  // namespace mirexa
