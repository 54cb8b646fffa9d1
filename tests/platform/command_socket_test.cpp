// The command socket: the private folder it may live in (the runtime folder, else a fallback made
// closed to others), one listener per path (a stale socket is taken over, a live one is not), the
// socket's mode, and one line there and one answer back.
#include "platform/command_socket.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

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
        const std::string path = ChooseCommandSocketPath(c.runtime, scratch.Path(), Me(), &why);
        EXPECT_EQ(path, c.expected + "/" + kCommandSocketName) << c.runtime;
    }
    EXPECT_EQ(ModeOf(fallback) & 0777, 0700u);
    // A fallback folder others may enter is not used.
    ASSERT_EQ(chmod(fallback.c_str(), 0755), 0);
    EXPECT_EQ(ChooseCommandSocketPath(open, scratch.Path(), Me(), &why), "");
    EXPECT_NE(why.find("closed to others"), std::string::npos) << why;
    // Nor one of another user (or a folder too deep for a socket's address).
    EXPECT_EQ(IsPrivateFolder(runtime, Me() + 1), 0);
    const std::string deep = scratch.At(std::string(120, 'x'));
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    EXPECT_EQ(ChooseCommandSocketPath(deep, open, Me(), &why), "");
    EXPECT_NE(why.find("too long"), std::string::npos) << why;
}

TEST(CommandSocket, OneLineThereAndOneAnswerBackOnePathOneListener) {
    testing::ScratchDirectory scratch;
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0700), 0);
    const std::string path = scratch.At(kCommandSocketName);
    std::string why;
    std::string answer;
    EXPECT_EQ(SendCommandLine(path, "32819", 500, &answer, &why), 0);
    EXPECT_NE(why.find("no window"), std::string::npos) << why;

    // A socket left by a program that ended is taken over.
    CommandSocketListener stale;
    ASSERT_EQ(OpenCommandSocket(path, &stale, &why), 1) << why;
    close(stale.fd);
    CommandSocketListener listener;
    ASSERT_EQ(OpenCommandSocket(path, &listener, &why), 1) << why;
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);
    // A live one is not.
    CommandSocketListener second;
    EXPECT_EQ(OpenCommandSocket(path, &second, &why), 0);
    EXPECT_NE(why.find("another window"), std::string::npos) << why;

    std::string received;
    std::thread window([&] {
        int connection = -1;
        for (int i = 0; i < 50 && connection < 0; ++i) {
            std::string line;
            if (AcceptCommandLine(listener, 100, &connection, &line)) {
                received = line;
            }
        }
        if (connection >= 0) {
            AnswerCommandConnection(connection, "refused: a dialog is open");
        }
    });
    EXPECT_EQ(SendCommandLine(path, "32819", 5000, &answer, &why), 1) << why;
    window.join();
    EXPECT_EQ(received, "32819");
    EXPECT_EQ(answer, "refused: a dialog is open");
    CloseCommandSocket(&listener);
    EXPECT_EQ(ModeOf(path), 0u);  // removed
    // A file of that name that is no socket is left alone.
    scratch.Write(kCommandSocketName, "keep");
    EXPECT_EQ(OpenCommandSocket(path, &listener, &why), 0);
    EXPECT_EQ(testing::ReadWholeFile(path), "keep");
}

}  // namespace
}  // namespace mirexa
