// The command socket: a private local socket carrying one command line and one answer line.
#include "platform/command_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace mirexa {

namespace {

constexpr std::size_t kLongestLine = 64;

// The address of path; 0 when the path does not fit the address.
int MakeAddress(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) {
        return 0;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return 1;
}

int ConnectTo(const std::string& path) {
    sockaddr_un address;
    if (!MakeAddress(path, &address)) {
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Reads one line (without its end) of at most kLongestLine characters, waiting at most timeoutMs
// (ms) in all. 1 when a line end came (or the peer closed after some text).
int ReadLine(int fd, int timeoutMs, std::string* line) {
    line->clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return 0;
        }
        pollfd wait = {fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return 0;
        }
        char c = 0;
        const ssize_t got = recv(fd, &c, 1, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return line->empty() ? 0 : 1;
        }
        if (c == '\n') {
            return 1;
        }
        if (c != '\r') {
            line->push_back(c);
        }
        if (line->size() > kLongestLine) {
            return 0;
        }
    }
}

void WriteLine(int fd, const std::string& text) {
    const std::string line = text + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t put = send(fd, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return;
        }
        done += static_cast<std::size_t>(put);
    }
}

}  // namespace

int IsPrivateFolder(const std::string& folder, unsigned uid) {
    struct stat info = {};
    if (folder.empty() || lstat(folder.c_str(), &info) != 0) {
        return 0;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0 ? 1 : 0;
}

std::string ChooseCommandSocketPath(const std::string& runtimeFolder,
                                    const std::string& fallbackParent, unsigned uid,
                                    std::string* why) {
    std::string folder;
    if (IsPrivateFolder(runtimeFolder, uid)) {
        folder = runtimeFolder;
    } else {
        folder = fallbackParent + "/mirexa-" + std::to_string(uid);
        // Made closed to others; one that is there already must be the user's own and closed.
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            *why = folder + ": " + std::strerror(errno);
            return {};
        }
        if (!IsPrivateFolder(folder, uid)) {
            *why = folder + ": not a folder of this user closed to others";
            return {};
        }
    }
    std::string path = folder + "/" + kCommandSocketName;
    sockaddr_un address;
    if (!MakeAddress(path, &address)) {
        *why = path + ": the path is too long for a socket";
        return {};
    }
    return path;
}

std::string ChooseCommandSocketPath(std::string* why) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return ChooseCommandSocketPath(runtime != nullptr ? runtime : "", "/tmp",
                                   static_cast<unsigned>(getuid()), why);
}

int OpenCommandSocket(const std::string& path, CommandSocketListener* listener, std::string* why) {
    sockaddr_un address;
    if (!MakeAddress(path, &address)) {
        *why = path + ": the path is too long for a socket";
        return 0;
    }
    struct stat info = {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            *why = path + ": there is a file of that name that is no socket";
            return 0;
        }
        const int other = ConnectTo(path);
        if (other >= 0) {
            close(other);
            *why = path + ": another window of this user receives the commands";
            return 0;
        }
        unlink(path.c_str());  // left by a program that ended without removing it
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = std::string("socket: ") + std::strerror(errno);
        return 0;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, 4) != 0) {
        *why = path + ": " + std::strerror(errno);
        close(fd);
        return 0;
    }
    listener->fd = fd;
    listener->path = path;
    return 1;
}

void CloseCommandSocket(CommandSocketListener* listener) {
    if (listener->fd < 0) {
        return;
    }
    close(listener->fd);
    listener->fd = -1;
    // Nobody else took the name over while this listener answered on it.
    struct stat named = {};
    if (lstat(listener->path.c_str(), &named) == 0 && S_ISSOCK(named.st_mode)) {
        unlink(listener->path.c_str());
    }
}

int AcceptCommandLine(const CommandSocketListener& listener, int timeoutMs, int* connection,
                      std::string* line) {
    pollfd wait = {listener.fd, POLLIN, 0};
    if (listener.fd < 0 || poll(&wait, 1, timeoutMs) <= 0) {
        return 0;
    }
    const int fd = accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid() ||
        !ReadLine(fd, 1000, line)) {
        close(fd);
        return 0;
    }
    *connection = fd;
    return 1;
}

void AnswerCommandConnection(int connection, const std::string& answer) {
    WriteLine(connection, answer);
    close(connection);
}

int SendCommandLine(const std::string& path, const std::string& line, int timeoutMs,
                    std::string* answer, std::string* why) {
    const int fd = ConnectTo(path);
    if (fd < 0) {
        *why = path + ": no window of this user is running to take the command (" +
               std::strerror(errno) + ")";
        return 0;
    }
    WriteLine(fd, line);
    const int got = ReadLine(fd, timeoutMs, answer);
    close(fd);
    if (!got) {
        *why = path + ": the window gave no answer";
    }
    return got;
}

}  // namespace mirexa
