// The file a program's name starts: a name with a folder, or the first executable of PATH, with
// its links resolved; that file runs even when PATH would now find another.
#include "platform/program_start.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/bounded_wait.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

TEST(ProgramStart, TheProgramFileIsTheOneThatWouldRun) {
    testing::ScratchDirectory scratch;
    const std::string script = "#!/bin/sh\necho \"$0 $*\" >\"${0%/*}/../ran.$$\"\n";
    for (const char* folder : {"first", "second", "job"}) {
        fs::create_directories(scratch.At(folder));
    }
    scratch.Write("first/plain.txt", "not a program\n");
    scratch.Write("second/plain.txt", script);
    scratch.Write("second/ed", script);
    scratch.Write("job/ed.sh", script);
    for (const char* file : {"second/plain.txt", "second/ed", "job/ed.sh"}) {
        chmod(scratch.At(file).c_str(), 0755);
    }
    fs::create_symlink(scratch.At("second/ed"), scratch.At("first/ed-link"));
    const std::string saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (scratch.At("first") + ":" + scratch.At("second")).c_str(), 1);
    const std::string canonical = fs::canonical(scratch.Path()).string();
    struct Case {
        const char* word;
        const char* directory;  // under the scratch folder; "" the working folder
        std::string file;       // under the canonical scratch folder; "" none
    } cases[] = {
        {"plain.txt", "", "/second/plain.txt"},  // the first one that may run
        {"ed-link", "", "/second/ed"},           // links resolved
        {"./ed.sh", "job", "/job/ed.sh"},        // relative to the folder it runs in
        {"./ed.sh", "first", ""},
        {"missing", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const std::string directory = *c.directory ? scratch.At(c.directory) : std::string();
        EXPECT_EQ(FindProgramFile(c.word, directory), c.file.empty() ? "" : canonical + c.file)
            << c.word << " in " << c.directory;
    }
    // The file found runs, whatever PATH finds meanwhile (here nothing).
    const std::string found = FindProgramFile("ed", "");
    setenv("PATH", scratch.At("first").c_str(), 1);
    ASSERT_EQ(StartDetachedProgram({"ed", "one"}, scratch.At("job"), found), 1);
    setenv("PATH", saved.c_str(), 1);
    std::string ran;
    ASSERT_TRUE(testing::AwaitCondition([&] {
        for (const auto& entry : fs::directory_iterator(scratch.Path())) {
            if (entry.path().filename().string().rfind("ran.", 0) == 0) {
                ran = testing::ReadWholeFile(entry.path().string());
                return ran.find('\n') != std::string::npos;
            }
        }
        return false;
    }));
    EXPECT_EQ(ran, canonical + "/second/ed one\n");
}

// A program started from a process that ignores SIGPIPE and SIGXFSZ (as the program does for
// itself) starts with both at their default.
TEST(ProgramStart, TheStartedProgramHasTheWriteSignalsAtTheirDefault) {
    testing::ScratchDirectory scratch;
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before[2] = {};
    const int signals[2] = {SIGPIPE, SIGXFSZ};
    for (int i = 0; i < 2; ++i) {
        sigaction(signals[i], &ignore, &before[i]);
    }
    const int started = StartDetachedProgram(
        {"/bin/sh", "-c", "grep SigIgn /proc/self/status >ignored.tmp && mv ignored.tmp ignored"},
        scratch.Path());
    for (int i = 0; i < 2; ++i) {
        sigaction(signals[i], &before[i], nullptr);
    }
    ASSERT_EQ(started, 1);
    ASSERT_TRUE(testing::AwaitPath(scratch.At("ignored")));
    const std::string line = testing::ReadWholeFile(scratch.At("ignored"));
    ASSERT_EQ(line.rfind("SigIgn:", 0), 0u) << line;
    const unsigned long long ignored = std::stoull(line.substr(7), nullptr, 16);
    for (const int signalNumber : signals) {
        EXPECT_EQ(ignored & (1ULL << (signalNumber - 1)), 0u) << "signal " << signalNumber;
    }
}

}  // namespace
}  // namespace mirexa
