// The readers of untrusted input behind one table: each entry names a reader, the subsystem whose
// hostile-input sweep runs it and the companion files it opens beside its input, and feeds one
// file to it. The sweeps of the tests and the fuzz targets both run this table, so a new reader
// joins both with one entry (and a seed folder tests/fuzz/corpus/<name>/).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "stock/stock_model.h"

namespace mirexa::testing {

// Seeds up to this size are truncated at every offset by every reader's sweep.
inline constexpr std::size_t kShortSeedBytes = 1024;

struct HostileReader {
    const char* name = {};  // target and corpus folder name: "settings", "dme", ...
    const char* subsystem =
        {};  // the sweep that runs it: "config", "stockio", "nc", "simulation", "shell"
    const char* inputName = {};  // the file name the input is written under
    // The longest line the reader keeps, in characters; 0 for a binary format (no long lines).
    int lineCharacters = {};
    // The sweep truncates a seed of more than kShortSeedBytes at every truncationStride-th
    // offset: readers that read their file many times over (the settings reader reads it once
    // per key) would otherwise take minutes. Fuzzing covers the offsets between.
    int truncationStride = 1;
    // Files (relative to the source root) copied beside the input: holder files, structure
    // models, subprograms, the definition files an NC run needs.
    std::vector<std::string> companions = {};
    // Runs the reader on the file, its folder the working directory. "" when the reader kept
    // its contract, else what it broke (a count beyond the file's size, a model left half
    // built, a broken invariant).
    std::string (*feed)(const std::string& path) = {};
};

// Every reader, in a fixed order.
const std::vector<HostileReader>& GetHostileReaders();
// The entry named name, or null.
const HostileReader* FindHostileReader(std::string_view name);

// Checks of the readers' results that only the tests have (null: not checked).
struct HostileResultChecks {
    // A loaded stock model (also called for an empty one); "" or the broken invariant.
    std::string (*stock)(const StockModel& model) = {};
    // After every call of the step driver; "" or the broken invariant.
    std::string (*ncCall)() = {};
};
extern HostileResultChecks HostileChecks;

// Makes a new empty directory for a bench: in /dev/shm when it can be written (the sweeps
// rewrite their input file thousands of times, which a disk file system pays for in discards),
// else in TMPDIR or /tmp. Returns its path, "" when none can be made.
std::string MakeHostileBenchDirectory();

// Makes workDirectory/<name>/ for every reader with its companions copied from sourceRoot, sends
// the log there and answers every message box with its default. 1, or 0 when a folder or a
// companion cannot be made (the message goes to stderr).
int PrepareHostileBench(const std::string& sourceRoot, const std::string& workDirectory);

// Writes the bytes as the reader's input in its folder, makes the folder the working directory,
// feeds the file and returns what the feed returns (or why the input could not be written).
std::string FeedHostileInput(const HostileReader& reader, std::string_view bytes);

// The paths of the seed files of a reader, tests/fuzz/corpus/<name>/*, sorted by name.
std::vector<std::string> ListHostileSeeds(const std::string& sourceRoot,
                                          const HostileReader& reader);

// The whole content of a file, "" when it cannot be read.
std::string ReadHostileFile(const std::string& path);

}  // namespace mirexa::testing
