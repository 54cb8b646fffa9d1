// The command socket: a local (AF_UNIX) stream socket through which another program of the same
// user hands the running main window one line (a command) and reads one line back (the answer).
// Nobody but the owning user can reach it: it lives in a folder only the user may enter, is made
// with mode 0600, and every connection's peer is checked to be the same user.
#pragma once

#include <string>
#include <vector>

namespace mirexa {

// The socket's file name inside its folder, for a process without a display.
inline constexpr const char* kCommandSocketName = "mirexa-commands";

// How long a window waits for another window's socket, and a sender for the window, to take a
// connection, and a sender waits for the answer (ms).
inline constexpr int kCommandSocketPatienceMs = 10000;

// The display this process shows its windows on, as its environment names it: DISPLAY, else
// WAYLAND_DISPLAY; empty when neither is set.
std::string CurrentDisplayName();

// The socket's file name for a display: kCommandSocketName alone without one, else followed by
// "-" and the display without its screen number (":1.0" and ":1" are one display), a character
// that has no place in a file name ('/') replaced by '_'. Each display has its own window.
std::string CommandSocketName(const std::string& display);

// A folder a private socket may live in: a real folder (no link) owned by uid that neither the
// group nor others may enter or write.
int IsPrivateFolder(const std::string& folder, unsigned uid);

// The socket's path for the display: in runtimeFolder (the user's $XDG_RUNTIME_DIR) when that is
// a private folder, else in fallbackParent/mirexa-<uid> (made with mode 0700 when missing, and
// used only when it is then a private folder). Empty, with *why set, when neither can be used.
std::string ChooseCommandSocketPath(const std::string& runtimeFolder,
                                    const std::string& fallbackParent, unsigned uid,
                                    const std::string& display, std::string* why);
// The same for this process: $XDG_RUNTIME_DIR, /tmp, the real user id, CurrentDisplayName().
std::string ChooseCommandSocketPath(std::string* why);

// The other sockets of the folder of path, in name order, on which a window listens (one left by
// a program that ended is not among them; one whose window takes no connections is).
std::vector<std::string> FindOtherCommandSockets(const std::string& path);
// The display whose window listens on the socket (from its name; empty for kCommandSocketName).
std::string DisplayOfCommandSocket(const std::string& path);

// The listening end. fd is -1 while closed; device and inode are those of the socket file it
// made, so that it removes no socket another window made under the name meanwhile.
struct CommandSocketListener {
    int fd = -1;
    std::string path = {};
    unsigned long long device = {};
    unsigned long long inode = {};
};

// Listens on path. A socket file that is there already is taken over only when nobody listens on
// it (a program that ended without removing it). One a window listens on is not: 0 then, and *why
// says so; that takes up to timeoutMs (ms) when the window takes no connections (it is stopped
// and its queue of connections is full). Returns 1 when listening.
int OpenCommandSocket(const std::string& path, int timeoutMs, CommandSocketListener* listener,
                      std::string* why);
// What a window that found the socket taken remembers of its file between looks.
struct CommandSocketWatch {
    int looked = {};   // 1 after the first look
    int present = {};  // the file was there at the last look
    unsigned long long device = {};
    unsigned long long inode = {};
    long long nextTryMs = {};  // on the steady clock (ms)
};

// Listens on path once it is free, without troubling the window that holds it: the first call
// only notes the file (and tries when there is none); a later call tries when the file went or is
// another since the last look (its window ended, another took the name), else only every retryMs
// (ms; a window that ended without removing it). A try waits for no window (OpenCommandSocket
// with no time). Returns 1 when listening.
int TakeCommandSocketWhenFree(const std::string& path, int retryMs, CommandSocketWatch* watch,
                              CommandSocketListener* listener);
// Stops listening and removes the socket file when it is still the one this listener made.
void CloseCommandSocket(CommandSocketListener* listener);

// Waits up to timeoutMs (ms) for a connection of the same user and reads its one line (at most
// 64 characters, without the line end), waiting at most 1 s for it. Returns 1 with *connection
// open (answer it with AnswerCommandConnection); 0 when nothing came in time or the connection was
// another user's or sent no line (it is closed then).
int AcceptCommandLine(const CommandSocketListener& listener, int timeoutMs, int* connection,
                      std::string* line);
// Writes the answer and a line end without waiting, and closes the connection. Returns 1 when the
// answer reached the sender while it still waited for it; 0 when the sender had given up (then it
// has said that its command was not carried out, and the caller must not carry it out).
int AnswerCommandConnection(int connection, const std::string& answer);

// Connects to path, waiting up to timeoutMs (ms) for the window to take the connection, sends the
// line and waits up to timeoutMs for the one-line answer. Returns 1 with *answer; -1 with *why
// when nobody listens there; 0 with *why when the window took no connection or gave no answer in
// time (then the window does not carry the command out: an answer it writes after this gave up
// does not reach the sender, see AnswerCommandConnection).
int SendCommandLine(const std::string& path, const std::string& line, int timeoutMs,
                    std::string* answer, std::string* why);

}  // namespace mirexa
