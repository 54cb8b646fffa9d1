// Starting another program without a shell and without waiting for it.
#include "platform/program_start.h"

#include <spawn.h>
#include <sys/wait.h>

#include <new>
#include <system_error>
#include <thread>

extern char** environ;

namespace mirexa {

int StartDetachedProgram(std::vector<std::string> words, const std::string& directory) {
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
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
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
