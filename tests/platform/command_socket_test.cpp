// The command socket: the private folder it may live in (the runtime folder, else a fallback made
// closed to others), a name per display, one listener per path (a stale socket is taken over, a
// live one is not, and only its maker removes it), the socket's mode, one line there and one
// answer back, and a window that takes no connection or answers too late.
#include "platform/command_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/scratch_directory.h"

namespace mirexa {
namespace {

unsigned Me() {
    return static_cast<unsigned>(getuid());
}

mode_t ModeOf(const std::string& path) {
    struct stat info = {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(CommandSocket, ThePlaceIsAFolderOfTheUserClosedToOthers) {
    testing::ScratchDirectory scratch;
    const std::string runtime = scratch.At("runtime");
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    const std::string open = scratch.At("open");
    ASSERT_EQ(mkdir(open.c_str(), 0755), 0);
    ASSERT_EQ(symlink(runtime.c_str(), scratch.At("link").c_str()), 0);
    std::string why;
    struct Case {
        std::string runtime;
        std::string expected;  // the socket's folder; empty: none
    };
    const std::string fallback = scratch.Path() + "/mirexa-" + std::to_string(Me());
    const Case cases[] = {
        {runtime, runtime},                 // a private runtime folder
        {open, fallback},                   // one others may enter: the fallback
        {scratch.At("link"), fallback},     // a link: the fallback
        {"", fallback},                     // none set
        {scratch.At("missing"), fallback},  // none there
    };
    for (const Case& c : cases) {
        const std::string path = ChooseCommandSocketPath(c.runtime, scratch.Path(), Me(), "", &why);
        EXPECT_EQ(path, c.expected + "/" + kCommandSocketName) << c.runtime;
    }
    EXPECT_EQ(ModeOf(fallback) & 0777, 0700u);
    // A fallback folder others may enter is not used.
    ASSERT_EQ(chmod(fallback.c_str(), 0755), 0);
    EXPECT_EQ(ChooseCommandSocketPath(open, scratch.Path(), Me(), "", &why), "");
    EXPECT_NE(why.find("closed to others"), std::string::npos) << why;
    // Nor one of another user (or a folder too deep for a socket's address).
    EXPECT_EQ(IsPrivateFolder(runtime, Me() + 1), 0);
    const std::string deep = scratch.At(std::string(120, 'x'));
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    EXPECT_EQ(ChooseCommandSocketPath(deep, open, Me(), "", &why), "");
    EXPECT_NE(why.find("too long"), std::string::npos) << why;
}

// A private folder for the sockets, and the path of the socket without a display in it.
class CommandSocketFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chmod(scratch.Path().c_str(), 0700), 0);
    }
    testing::ScratchDirectory scratch;
    const std::string path = scratch.At(kCommandSocketName);
    std::string why;
};

TEST_F(CommandSocketFolder, OneLineThereAndOneAnswerBackOnePathOneListener) {
    std::string answer;
    EXPECT_EQ(SendCommandLine(path, "32819", 500, &answer, &why), -1);
    EXPECT_NE(why.find("no window"), std::string::npos) << why;

    // A socket left by a program that ended is taken over.
    CommandSocketListener stale;
    ASSERT_EQ(OpenCommandSocket(path, 500, &stale, &why), 1) << why;
    close(stale.fd);
    CommandSocketListener listener;
    ASSERT_EQ(OpenCommandSocket(path, 500, &listener, &why), 1) << why;
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);
    // A live one is not.
    CommandSocketListener second;
    EXPECT_EQ(OpenCommandSocket(path, 500, &second, &why), 0);
    EXPECT_NE(why.find("another window"), std::string::npos) << why;

    std::string received;
    int delivered = 0;
    std::thread window([&] {
        int connection = -1;
        for (int i = 0; i < 50 && connection < 0; ++i) {
            std::string line;
            if (AcceptCommandLine(listener, 100, &connection, &line)) {
                received = line;
            }
        }
        if (connection >= 0) {
            delivered = AnswerCommandConnection(connection, "refused: a dialog is open");
        }
    });
    EXPECT_EQ(SendCommandLine(path, "32819", 5000, &answer, &why), 1) << why;
    window.join();
    EXPECT_EQ(received, "32819");
    EXPECT_EQ(answer, "refused: a dialog is open");
    EXPECT_EQ(delivered, 1);
    CloseCommandSocket(&listener);
    EXPECT_EQ(ModeOf(path), 0u);  // removed
    // A file of that name that is no socket is left alone.
    scratch.Write(kCommandSocketName, "keep");
    EXPECT_EQ(OpenCommandSocket(path, 500, &listener, &why), 0);
    EXPECT_EQ(testing::ReadWholeFile(path), "keep");
}

// Each display has its own socket (one display whatever its screen); a sender without a window on
// its display finds the sockets other windows listen on, not the ones left by ended programs.
TEST_F(CommandSocketFolder, EachDisplayHasItsOwnSocket) {
    const std::pair<std::string, std::string> names[] = {
        {"", "mirexa-commands"},
        {":1", "mirexa-commands-:1"},
        {":1.0", "mirexa-commands-:1"},
        {"host:10.2", "mirexa-commands-host:10"},
        {"wayland-0", "mirexa-commands-wayland-0"},
        {"/tmp/launch/org:0", "mirexa-commands-_tmp_launch_org:0"},
    };
    for (const auto& [display, name] : names) {
        EXPECT_EQ(CommandSocketName(display), name) << display;
    }
    auto at = [&](const std::string& display) {
        return ChooseCommandSocketPath(scratch.Path(), "/nonexistent", Me(), display, &why);
    };
    CommandSocketListener windows[3];
    ASSERT_EQ(OpenCommandSocket(at(":0"), 500, &windows[0], &why), 1) << why;
    ASSERT_EQ(OpenCommandSocket(at(":1"), 500, &windows[1], &why), 1) << why;
    ASSERT_EQ(OpenCommandSocket(at(":2"), 500, &windows[2], &why), 1) << why;
    close(windows[2].fd);  // a program that ended without removing its socket
    scratch.Write("mirexa-commands-:3", "no socket");
    EXPECT_EQ(FindOtherCommandSockets(at(":9")), (std::vector<std::string>{at(":0"), at(":1")}));
    EXPECT_EQ(FindOtherCommandSockets(at(":1")), std::vector<std::string>{at(":0")});
    EXPECT_EQ(DisplayOfCommandSocket(at(":1")), ":1");
    EXPECT_EQ(DisplayOfCommandSocket(at("")), "");
    CloseCommandSocket(&windows[0]);
    CloseCommandSocket(&windows[1]);
}

// A window removes at its end only the socket it made: one that another window made under the
// name meanwhile stays.
TEST_F(CommandSocketFolder, AWindowRemovesOnlyItsOwnSocket) {
    CommandSocketListener first;
    ASSERT_EQ(OpenCommandSocket(path, 500, &first, &why), 1) << why;
    ASSERT_EQ(unlink(path.c_str()), 0);
    CommandSocketListener second;
    ASSERT_EQ(OpenCommandSocket(path, 500, &second, &why), 1) << why;
    CloseCommandSocket(&first);
    CommandSocketListener third;
    EXPECT_EQ(OpenCommandSocket(path, 500, &third, &why), 0);
    EXPECT_NE(why.find("another window"), std::string::npos) << why;
    CloseCommandSocket(&second);
    EXPECT_EQ(ModeOf(path), 0u);
}

// A window that found the socket taken takes it once its holder ends, and until then does not
// knock at the holder's door: no probing connection while the holder's file stays, one every
// retry period (a holder that ended without removing its file is taken over then).
TEST_F(CommandSocketFolder, ASecondWindowTakesTheSocketWhenItsHolderEnds) {
    CommandSocketListener holder;
    ASSERT_EQ(OpenCommandSocket(path, 500, &holder, &why), 1) << why;
    CommandSocketWatch watch;
    CommandSocketListener second;
    const int hour = 3600 * 1000;
    for (int look = 0; look < 3; ++look) {
        EXPECT_EQ(TakeCommandSocketWhenFree(path, hour, &watch, &second), 0);
    }
    int probe = -1;
    std::string line;
    EXPECT_EQ(AcceptCommandLine(holder, 0, &probe, &line), 0);
    EXPECT_EQ(second.fd, -1);
    CloseCommandSocket(&holder);
    ASSERT_EQ(TakeCommandSocketWhenFree(path, hour, &watch, &second), 1);
    std::string answer;
    std::thread sender([&] { SendCommandLine(path, "32819", 5000, &answer, &why); });
    int connection = -1;
    ASSERT_EQ(AcceptCommandLine(second, 5000, &connection, &line), 1);
    EXPECT_EQ(line, "32819");
    AnswerCommandConnection(connection, "ok");
    sender.join();
    EXPECT_EQ(answer, "ok");

    // A holder that ended without removing its file: the first look only notes the file, a
    // retry (here at once) takes it over.
    close(second.fd);
    CommandSocketWatch late;
    CommandSocketListener third;
    EXPECT_EQ(TakeCommandSocketWhenFree(path, 0, &late, &third), 0);
    EXPECT_EQ(TakeCommandSocketWhenFree(path, 0, &late, &third), 1);
    CloseCommandSocket(&third);
}

// A window that does not accept (stopped): a sender and a second window give up after their
// limit, and a sender that gave up waiting for the answer gets none later, so that the window
// knows not to carry its command out.
TEST_F(CommandSocketFolder, NobodyWaitsLongerThanItsLimitOnAWindowThatDoesNotAccept) {
    CommandSocketListener stopped;
    ASSERT_EQ(OpenCommandSocket(path, 500, &stopped, &why), 1) << why;
    std::string answer;
    // The sender gives up on the answer; the line stays queued for the window.
    EXPECT_EQ(SendCommandLine(path, "32794", 200, &answer, &why), 0);
    EXPECT_NE(why.find("not carried out"), std::string::npos) << why;
    int connection = -1;
    std::string line;
    ASSERT_EQ(AcceptCommandLine(stopped, 1000, &connection, &line), 1);
    EXPECT_EQ(line, "32794");
    EXPECT_EQ(AnswerCommandConnection(connection, "ok"), 0);
    // Connections nobody accepts fill the queue (its length plus one).
    std::vector<int> queued;
    for (int i = 0; i < 16; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        queued.push_back(fd);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            break;
        }
    }
    ASSERT_EQ(errno, EAGAIN);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommandLine(path, "32794", 300, &answer, &why), 0);
    EXPECT_NE(why.find("took no connection"), std::string::npos) << why;
    CommandSocketListener second;
    EXPECT_EQ(OpenCommandSocket(path, 300, &second, &why), 0);
    EXPECT_NE(why.find("takes no connections"), std::string::npos) << why;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    for (const int fd : queued) {
        close(fd);
    }
    CloseCommandSocket(&stopped);
}

}  // namespace
}  // namespace mirexa
