// Sends the program log to a test's temporary directory while the test runs, so that tests of
// paths that log write nothing outside it.
#pragma once

#include <string>

#include "services/file_paths.h"
#include "services/program_log.h"

namespace mirexa::testing {

struct ScopedLogDirectory {
    std::string saved = FileLocations.logDirectory;
    explicit ScopedLogDirectory(const std::string& directory) {
        CloseLogFile();
        FileLocations.logDirectory = directory;
    }
    ~ScopedLogDirectory() {
        CloseLogFile();
        FileLocations.logDirectory = saved;
    }
};

}  // namespace mirexa::testing
