// Starting another program without a shell and without waiting for it.
#include "platform/program_start.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

extern char** environ;

namespace mirexa {

namespace {

// The absolute path of a regular file the user may execute, links resolved; empty otherwise.
std::string ExecutableFile(const std::filesystem::path& path) {
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(path.c_str(), X_OK) != 0) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? std::string() : resolved.string();
}

}  // namespace

void IgnoreBrokenPipeSignal() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

int InitProgramStartAttributes(posix_spawnattr_t* attributes, short flags) {
    if (posix_spawnattr_init(attributes) != 0) {
        return 0;
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(attributes, &defaults);
    posix_spawnattr_setflags(attributes, static_cast<short>(flags | POSIX_SPAWN_SETSIGDEF));
    return 1;
}

std::string FindProgramFile(const std::string& word, const std::string& directory) {
    if (word.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path base =
        directory.empty() ? std::filesystem::current_path(error) : std::filesystem::path(directory);
    if (word.find('/') != std::string::npos) {
        return ExecutableFile(base / word);
    }
    const char* variable = std::getenv("PATH");
    const std::string folders = variable != nullptr ? variable : "/bin:/usr/bin";
    for (std::size_t begin = 0; begin <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', begin), folders.size());
        const std::string folder = folders.substr(begin, end - begin);
        begin = end + 1;
        const std::string found = ExecutableFile(base / (folder.empty() ? "." : folder) / word);
        if (!found.empty()) {
            return found;
        }
    }
    return {};
}

int StartDetachedProgram(std::vector<std::string> words, const std::string& directory,
                         const std::string& programFile) {
    if (words.empty()) {
        return 0;
    }
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    }
    posix_spawnattr_t attributes;
    if (!InitProgramStartAttributes(&attributes, 0)) {
        posix_spawn_file_actions_destroy(&actions);
        return 0;
    }
    pid_t child = 0;
    const char* file = programFile.empty() ? argv[0] : programFile.c_str();
    const int started = posix_spawnp(&child, file, &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return 0;
    }
    // A thread reaps the child when it ends; without one (the system refused it) the child is
    // reaped with the program.
    try {
        std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return 1;
}

std::vector<std::string> SplitCommandWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

}  // namespace mirexa
