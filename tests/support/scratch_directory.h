// A temporary directory for file tests, removed with everything in it when the test ends, and
// small helpers to make and read files in it.
#pragma once

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_replacement.h"

namespace mirexa::testing {

class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "mirexa-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory";
        }
        root_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const {
        return root_;
    }
    // The absolute path of a name inside the directory.
    std::string At(const std::string& relative) const {
        return root_ + "/" + relative;
    }
    // Writes a file, creating its directories; returns its absolute path.
    std::string Write(const std::string& relative, const std::string& content = "x") const {
        std::filesystem::path path = At(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    void MakeDirectory(const std::string& relative) const {
        std::filesystem::create_directories(At(relative));
    }

private:
    std::string root_;
};

#ifdef MIREXA_SAMPLES
// Copies every file of the bundled samples into the directory (over files of the same name).
inline void CopySamplesInto(const ScratchDirectory& scratch) {
    for (const auto& entry : std::filesystem::directory_iterator(MIREXA_SAMPLES)) {
        std::filesystem::copy(entry.path(), scratch.At(entry.path().filename().string()),
                              std::filesystem::copy_options::overwrite_existing);
    }
}

// A scratch directory holding a copy of the bundled samples, the working directory while it
// lives (the program reads its definitions and writes its files there).
class SampleWorkingDirectory : public ScratchDirectory {
public:
    SampleWorkingDirectory() {
        CopySamplesInto(*this);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(Path());
    }
    ~SampleWorkingDirectory() {
        std::filesystem::current_path(previous_);
    }

private:
    std::filesystem::path previous_;
};
#endif

// The whole content of a file, "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The temporary files a replacement of the file at path left beside it: names of the form
// "<file name>.mirexa-XXXXXX" (six letters or digits) in its folder.
inline std::vector<std::string> LeftoverTemporaries(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string prefix = target.filename().string() + ".mirexa-";
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0 &&
            std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                        [](unsigned char c) { return std::isalnum(c) != 0; })) {
            names.push_back(name);
        }
    }
    return names;
}

// Makes the file at path last written the given number of seconds ago.
inline void AgeFile(const std::string& path, int seconds) {
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

// 1 when the file carries the mark the program gives its temporary files; a file system without
// user attributes keeps none, and there the program never removes a leftover.
inline int CarriesTemporaryMark(const std::string& path) {
    char value[1];
    return getxattr(path.c_str(), "user.mirexa.temporary", value, 0) >= 0 ? 1 : 0;
}

// Leaves a replacement of the file at path as a writer killed before its rename leaves it (its
// temporary file written, no longer locked, never renamed). Returns the temporary file's path
// ("" when none could be made).
inline std::string LeaveKilledWritersTemporary(const std::string& path) {
    FileReplacement killed;
    if (!BeginFileReplacement(path, &killed) || !WriteAllBytes(killed.descriptor, "half", 4)) {
        return {};
    }
    close(killed.descriptor);  // the lock goes with the process
    return killed.temporary;
}

}  // namespace mirexa::testing
