// A temporary directory for file tests, removed with everything in it when the test ends, and
// small helpers to make and read files in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

// The whole content of a file, "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace mirexa::testing
