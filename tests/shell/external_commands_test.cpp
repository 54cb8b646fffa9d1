// The receiver of other programs' commands when the system refuses its thread. The case runs in
// the CTest entry external_commands_without_a_thread, which refuses every thread; elsewhere it is
// skipped.
#include "shell/external_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/command_socket.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

// The window goes on without a receiver: the log says once why, and no socket is left that
// nobody answers on.
TEST(ExternalCommandsWithoutThreads, TheWindowGoesOnWithoutAReceiver) {
    if (std::getenv("NO_THREADS_REFUSE") == nullptr) {
        GTEST_SKIP() << "threads are not refused here";
    }
    testing::ScratchDirectory scratch;  // private (0700): the socket's folder
    setenv("XDG_RUNTIME_DIR", scratch.Path().c_str(), 1);
    testing::ScopedLogDirectory log{scratch.Path()};
    EXPECT_EQ(StartExternalCommandReceiver(), 0);
    StopExternalCommandReceiver();
    CloseLogFile();
    const std::string logged = testing::ReadWholeFile(scratch.At("mirexa.log"));
    const std::string line = "No commands from other programs: the system refused a thread";
    EXPECT_NE(logged.find(line), std::string::npos) << logged;
    EXPECT_EQ(logged.find(line), logged.rfind(line)) << logged;
    EXPECT_FALSE(std::filesystem::exists(scratch.At(kCommandSocketName)));
}

}  // namespace
}  // namespace mirexa
