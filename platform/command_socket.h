// The command socket: a local (AF_UNIX) stream socket through which another program of the same
// user hands the running main window one line (a command) and reads one line back (the answer).
// Nobody but the owning user can reach it: it lives in a folder only the user may enter, is made
// with mode 0600, and every connection's peer is checked to be the same user.
#pragma once

#include <string>

namespace mirexa {

// The socket's file name inside its folder.
inline constexpr const char* kCommandSocketName = "mirexa-commands";

// A folder a private socket may live in: a real folder (no link) owned by uid that neither the
// group nor others may enter or write.
int IsPrivateFolder(const std::string& folder, unsigned uid);

// The socket's path: in runtimeFolder (the user's $XDG_RUNTIME_DIR) when that is a private folder,
// else in fallbackParent/mirexa-<uid> (made with mode 0700 when missing, and used only when it is
// then a private folder). Empty, with *why set, when neither can be used.
std::string ChooseCommandSocketPath(const std::string& runtimeFolder,
                                    const std::string& fallbackParent, unsigned uid,
                                    std::string* why);
// The same for this process: $XDG_RUNTIME_DIR, /tmp, the real user id.
std::string ChooseCommandSocketPath(std::string* why);

// The listening end. fd is -1 while closed.
struct CommandSocketListener {
    int fd = -1;
    std::string path = {};
};

// Listens on path. A socket file that is there already is taken over only when nobody answers on
// it (a program that ended without removing it); one that answers belongs to a running window:
// 0 then, and *why says so. Returns 1 when listening.
int OpenCommandSocket(const std::string& path, CommandSocketListener* listener, std::string* why);
// Stops listening and removes the socket file (when it is still this listener's).
void CloseCommandSocket(CommandSocketListener* listener);

// Waits up to timeoutMs (ms) for a connection of the same user and reads its one line (at most
// 64 characters, without the line end), waiting at most 1 s for it. Returns 1 with *connection
// open (answer it with AnswerCommandConnection); 0 when nothing came in time or the connection was
// another user's or sent no line (it is closed then).
int AcceptCommandLine(const CommandSocketListener& listener, int timeoutMs, int* connection,
                      std::string* line);
// Writes the answer and a line end, and closes the connection.
void AnswerCommandConnection(int connection, const std::string& answer);

// Connects to path, sends the line and waits up to timeoutMs (ms) for the one-line answer.
// Returns 1 with *answer; 0 with *why when nobody listens there or nothing came back.
int SendCommandLine(const std::string& path, const std::string& line, int timeoutMs,
                    std::string* answer, std::string* why);

}  // namespace mirexa
