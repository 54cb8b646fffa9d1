// The default viewer: xdg-open on a desktop, a record of the paths when headless.
#include "platform/default_viewer.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>

#include "platform/backend.h"
#include "platform/program_start.h"

extern char** environ;

namespace mirexa {

namespace {

std::mutex recordLock;
std::vector<std::string> recorded;

}  // namespace

int OpenInDefaultViewer(const std::string& path) {
    if (path.empty()) {
        return 0;
    }
    if (GetPlatformBackend() == PlatformBackend::Headless) {
        const std::lock_guard<std::mutex> guard(recordLock);
        recorded.push_back(path);
        return 1;
    }
    const char* argv[3] = {"xdg-open", path.c_str(), nullptr};
    posix_spawnattr_t attributes;
    if (!InitProgramStartAttributes(&attributes, 0)) {
        return 0;
    }
    pid_t child = 0;
    const int started = posix_spawnp(&child, "xdg-open", nullptr, &attributes,
                                     const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    if (started != 0) {
        return 0;
    }
    // xdg-open hands the file to the viewer and returns; the child is reaped here.
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return 0;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
}

int DefaultViewerInstalled() {
    return FindProgramFile("xdg-open", "").empty() ? 0 : 1;
}

std::vector<std::string> TakeRecordedViewerOpens() {
    const std::lock_guard<std::mutex> guard(recordLock);
    std::vector<std::string> out;
    out.swap(recorded);
    return out;
}

}  // namespace mirexa
