// The command socket: a private local socket carrying one command line and one answer line.
#include "platform/command_socket.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

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

// Connects to path, waiting up to timeoutMs (ms) while the listener's queue of connections is
// full (a window that does not accept, for instance one that is stopped). A local socket's connect
// never stays in progress: it completes, or says at once that the queue is full, so the wait
// tries again every 20 ms. The socket (blocking again), or -1 with errno: EAGAIN when the queue
// stayed full, ENOENT or ECONNREFUSED when nobody listens.
int ConnectTo(const std::string& path, int timeoutMs) {
    sockaddr_un address;
    if (!MakeAddress(path, &address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EAGAIN || std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            errno = error;
            return -1;
        }
        poll(nullptr, 0, 20);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Reads one line (without its end) of at most kLongestLine characters, waiting at most timeoutMs
// (ms) in all (0: only what is there already). 1 when a line end came (or the peer closed after
// some text).
int ReadLine(int fd, int timeoutMs, std::string* line) {
    line->clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd wait = {fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(std::max<decltype(left)>(left, 0)));
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

// Writes the text and a line end; flags are send's (MSG_DONTWAIT for a writer that must not wait).
// 1 when all of it was written.
int WriteLine(int fd, const std::string& text, int flags) {
    const std::string line = text + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t put = send(fd, line.data() + done, line.size() - done, MSG_NOSIGNAL | flags);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return 0;
        }
        done += static_cast<std::size_t>(put);
    }
    return 1;
}

// 1 when the socket file is there and a window listens on it (one whose queue is full counts).
int IsListenedOn(const std::string& path) {
    const int fd = ConnectTo(path, 0);
    if (fd >= 0) {
        close(fd);
        return 1;
    }
    return errno == EAGAIN ? 1 : 0;
}

}  // namespace

int IsPrivateFolder(const std::string& folder, unsigned uid) {
    struct stat info = {};
    if (folder.empty() || lstat(folder.c_str(), &info) != 0) {
        return 0;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0 ? 1 : 0;
}

std::string CurrentDisplayName() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

std::string CommandSocketName(const std::string& display) {
    if (display.empty()) {
        return kCommandSocketName;
    }
    std::string name = display;
    // An X display "host:N.S": the screen S is not part of the display.
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos) {
        const std::size_t dot = name.find('.', colon);
        if (dot != std::string::npos) {
            name.erase(dot);
        }
    }
    std::replace(name.begin(), name.end(), '/', '_');
    return std::string(kCommandSocketName) + "-" + name;
}

std::string ChooseCommandSocketPath(const std::string& runtimeFolder,
                                    const std::string& fallbackParent, unsigned uid,
                                    const std::string& display, std::string* why) {
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
    std::string path = folder + "/" + CommandSocketName(display);
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
                                   static_cast<unsigned>(getuid()), CurrentDisplayName(), why);
}

std::vector<std::string> FindOtherCommandSockets(const std::string& path) {
    std::vector<std::string> found;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        return found;
    }
    const std::string prefix = std::string(kCommandSocketName) + "-";
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        const std::string other = folder + "/" + name;
        struct stat info = {};
        if ((name == kCommandSocketName || name.compare(0, prefix.size(), prefix) == 0) &&
            other != path && lstat(other.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            IsListenedOn(other)) {
            found.push_back(other);
        }
    }
    closedir(listing);
    std::sort(found.begin(), found.end());
    return found;
}

std::string DisplayOfCommandSocket(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t prefix = std::strlen(kCommandSocketName) + 1;
    return name.size() > prefix ? name.substr(prefix) : std::string();
}

int OpenCommandSocket(const std::string& path, int timeoutMs, CommandSocketListener* listener,
                      std::string* why) {
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
        const int other = ConnectTo(path, timeoutMs);
        if (other >= 0) {
            close(other);
            *why = path + ": another window of this user receives the commands";
            return 0;
        }
        if (errno == EAGAIN) {
            *why = path +
                   ": another window of this user listens there but takes no connections (it may "
                   "be stopped)";
            return 0;
        }
        unlink(path.c_str());  // left by a program that ended without removing it
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = std::string("socket: ") + std::strerror(errno);
        return 0;
    }
    struct stat made = {};
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || lstat(path.c_str(), &made) != 0 || listen(fd, 4) != 0) {
        *why = path + ": " + std::strerror(errno);
        close(fd);
        return 0;
    }
    listener->fd = fd;
    listener->path = path;
    listener->device = made.st_dev;
    listener->inode = made.st_ino;
    return 1;
}

int TakeCommandSocketWhenFree(const std::string& path, int retryMs, CommandSocketWatch* watch,
                              CommandSocketListener* listener) {
    struct stat info = {};
    const int present = lstat(path.c_str(), &info) == 0 ? 1 : 0;
    const unsigned long long device = present ? info.st_dev : 0;
    const unsigned long long inode = present ? info.st_ino : 0;
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
    const bool first = watch->looked == 0;
    const bool changed =
        !first && (present != watch->present || device != watch->device || inode != watch->inode);
    *watch =
        CommandSocketWatch{1, present, device, inode, first ? now + retryMs : watch->nextTryMs};
    if (first ? present != 0 : !changed && now < watch->nextTryMs) {
        return 0;
    }
    watch->nextTryMs = now + retryMs;
    std::string why;
    return OpenCommandSocket(path, 0, listener, &why);
}

void CloseCommandSocket(CommandSocketListener* listener) {
    if (listener->fd < 0) {
        return;
    }
    close(listener->fd);
    listener->fd = -1;
    // A window that took the name over meanwhile (after the file was removed) keeps its socket.
    struct stat named = {};
    if (lstat(listener->path.c_str(), &named) == 0 && S_ISSOCK(named.st_mode) &&
        named.st_dev == listener->device && named.st_ino == listener->inode) {
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
    int read = 0;
    try {
        read = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid() &&
               ReadLine(fd, 1000, line);
    } catch (const std::bad_alloc&) {
        read = 0;  // a line the memory cannot hold is refused like one that never came
    }
    if (!read) {
        close(fd);
        return 0;
    }
    *connection = fd;
    return 1;
}

int AnswerCommandConnection(int connection, const std::string& answer) {
    const int delivered = WriteLine(connection, answer, MSG_DONTWAIT);
    close(connection);
    return delivered;
}

int SendCommandLine(const std::string& path, const std::string& line, int timeoutMs,
                    std::string* answer, std::string* why) {
    const std::string waited = std::to_string((timeoutMs + 999) / 1000) + " s";
    const int fd = ConnectTo(path, timeoutMs);
    if (fd < 0) {
        if (errno == EAGAIN) {
            *why = path + ": the window took no connection within " + waited +
                   " (it may be stopped); the command was not sent";
            return 0;
        }
        *why = path + ": no window of this user is running to take the command (" +
               std::strerror(errno) + ")";
        return -1;
    }
    int got = WriteLine(fd, line, 0) && ReadLine(fd, timeoutMs, answer);
    if (!got) {
        // Giving up: once this side reads no more, the window's answer fails to reach it, and a
        // window carries out only a command whose answer reached its sender. An answer that came
        // before still counts.
        shutdown(fd, SHUT_RD);
        got = ReadLine(fd, 0, answer);
    }
    close(fd);
    if (!got) {
        *why = path + ": the window gave no answer within " + waited +
               "; the command was not carried out";
    }
    return got;
}

}  // namespace mirexa
