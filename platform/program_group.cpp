// Programs started as the leader of a process group of their own, and the list of the groups
// started, for the program's end.
#include "platform/program_group.h"

#include <dirent.h>
#include <signal.h>
#include <spawn.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/program_start.h"

namespace mirexa {

namespace {

// The groups started and not yet forgotten (0: a free slot). A macro's EXEC runs one program at
// a time; the room is for programs that other threads may start some day.
constexpr int kGroupSlots = 16;
std::atomic<pid_t> startedGroups[kGroupSlots] = {};

int NoteStartedGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : startedGroups) {
        pid_t none = 0;
        if (slot.compare_exchange_strong(none, group)) {
            return 1;
        }
    }
    return 0;
}

// Waits until no group of the list has a process left, at most the patience; 1 when none has.
int WaitForStartedGroupsToEnd(std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
        bool alive = false;
        for (std::atomic<pid_t>& slot : startedGroups) {
            const pid_t group = slot.load();
            alive = alive || (group > 0 && IsProgramGroupAlive(group));
        }
        if (!alive) {
            return 1;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

pid_t StartProgramGroup(char* const argv[], char* const envp[]) {
    posix_spawnattr_t attributes;
    if (!InitProgramStartAttributes(&attributes, POSIX_SPAWN_SETPGROUP)) {
        return -1;
    }
    // Group 0: the child's own process id becomes its group's id.
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], nullptr, &attributes, argv, envp);
    posix_spawnattr_destroy(&attributes);
    if (started != 0) {
        return -1;
    }
    if (!NoteStartedGroup(child)) {
        // A group the program could not end with itself is not left running.
        SignalProgramGroup(child, SIGKILL);
        return -1;
    }
    return child;
}

int SignalProgramGroup(pid_t group, int signalNumber) {
    return group > 0 && kill(-group, signalNumber) == 0 ? 1 : 0;
}

int IsProgramGroupAlive(pid_t group) {
    if (group <= 0 || (kill(-group, 0) != 0 && errno != EPERM)) {
        return 0;
    }
    // The group still has a process; one that ended and that nobody reaps (an orphan where the
    // first process of the system does not reap) is no longer running.
    DIR* processes = opendir("/proc");
    if (processes == nullptr) {
        return 1;
    }
    int running = 0;
    while (const dirent* entry = readdir(processes)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
            continue;
        }
        char stat[512] = {};
        const std::string path = std::string("/proc/") + entry->d_name + "/stat";
        std::FILE* file = std::fopen(path.c_str(), "r");
        if (file == nullptr) {
            continue;  // ended meanwhile
        }
        const std::size_t read = std::fread(stat, 1, sizeof stat - 1, file);
        std::fclose(file);
        // "pid (name) state ppid pgrp ...": the name may hold anything, so the fields are read
        // after its last ')'.
        const char* close = std::strrchr(stat, ')');
        char state = 0;
        long parent = 0;
        long processGroup = 0;
        if (read > 0 && close != nullptr &&
            std::sscanf(close + 1, " %c %ld %ld", &state, &parent, &processGroup) == 3 &&
            processGroup == group && state != 'Z' && state != 'X') {
            running = 1;
            break;
        }
    }
    closedir(processes);
    return running;
}

void ForgetProgramGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : startedGroups) {
        pid_t expected = group;
        slot.compare_exchange_strong(expected, 0);
    }
}

int CountStartedProgramGroups() {
    int count = 0;
    for (std::atomic<pid_t>& slot : startedGroups) {
        count += slot.load() > 0 ? 1 : 0;
    }
    return count;
}

int EndStartedProgramGroups(std::chrono::milliseconds patience,
                            std::chrono::milliseconds killPatience) {
    for (std::atomic<pid_t>& slot : startedGroups) {
        SignalProgramGroup(slot.load(), SIGTERM);
    }
    if (WaitForStartedGroupsToEnd(patience)) {
        return 0;
    }
    int killed = 0;
    for (std::atomic<pid_t>& slot : startedGroups) {
        const pid_t group = slot.load();
        if (group > 0 && IsProgramGroupAlive(group)) {
            killed += SignalProgramGroup(group, SIGKILL);
        }
    }
    WaitForStartedGroupsToEnd(killPatience);
    return killed;
}

}  // namespace mirexa
