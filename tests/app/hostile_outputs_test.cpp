// End-to-end runs of the built program against hostile surroundings: outputs that are FIFOs or
// links to them, a log another program holds locked or that cannot take its entries, file names
// that hold line breaks, an EXEC child that ignores SIGTERM or would inherit ignored signals, and
// memory that runs out after the up-front checks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/batch_run_fixture.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::kBox;
using testing::WaitWithin;

class HostileOutputTest : public testing::BatchRunTest {};

// An output that is a FIFO, or a link to one, is refused as no regular file: it stays what it
// was, nothing is written into it and the batch fails.
TEST_F(HostileOutputTest, AnOutputThatIsNoRegularFileIsRefused) {
    ASSERT_EQ(mkfifo(scratch.At("pipe.stl").c_str(), 0600), 0);
    ASSERT_EQ(symlink("pipe.stl", scratch.At("link.stl").c_str()), 0);
    for (const char* output : {"pipe.stl", "link.stl"}) {
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(WaitWithin(Start({kBox, "demo_part.nc", "-X6", "-O", output}),
                             std::chrono::seconds(60)),
                  2)
            << output;
        EXPECT_NE(Read("mirexa.log")
                      .find(std::string(output) +
                            " - 被切削材を書き込めません: 通常のファイルではありません"),
                  std::string::npos)
            << Read("mirexa.log");
        struct stat info = {};
        EXPECT_TRUE(lstat(scratch.At("pipe.stl").c_str(), &info) == 0 && S_ISFIFO(info.st_mode))
            << output;
        EXPECT_TRUE(fs::is_symlink(scratch.At("link.stl"))) << output;
    }
}

// A reader that holds mirexa.log locked is waited for a few seconds, then the entries are written
// without the lock (said once); an abort signal ends such a wait.
TEST_F(HostileOutputTest, ALockedLogStopsNoRun) {
    scratch.Write("mirexa.log", "");
    const int holder = open(scratch.At("mirexa.log").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_SH), 0);
    EXPECT_EQ(
        WaitWithin(Start({kBox, "demo_part.nc", "-X6", "-O", "out.stl"}), std::chrono::seconds(30)),
        0);
    const std::string log = Read("mirexa.log");
    const std::string notice = "mirexa.log が他のプログラムにロックされています";
    EXPECT_NE(log.find(notice), std::string::npos) << log;
    EXPECT_EQ(log.find(notice), log.rfind(notice)) << log;
    EXPECT_NE(log.find("切削終了"), std::string::npos) << log;

    const pid_t child = Start({kBox, "demo_part.nc", "-X6", "-O", "out2.stl"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    kill(child, SIGTERM);
    EXPECT_EQ(WaitWithin(child, std::chrono::seconds(60)), 255);
    close(holder);
    EXPECT_NE(Read("mirexa.log").find("aborted by signal 15"), std::string::npos);
}

// An aborted macro does not wait for an EXEC child that ignores SIGTERM: it is killed.
TEST_F(HostileOutputTest, AnExecChildThatIgnoresTheAbortIsKilled) {
    scratch.Write("hold.sh", "trap '' TERM\n: > started\nexec sleep 60\n");
    scratch.Write("hold.mac", "EXEC /bin/sh hold.sh\r\nEXIT\r\n");
    const pid_t child = Start({"hold.mac"});
    ASSERT_TRUE(testing::AwaitPath(scratch.At("started")));
    kill(child, SIGTERM);
    EXPECT_EQ(WaitWithin(child, std::chrono::seconds(60)), 255);
    EXPECT_NE(Read("mirexa.log").find("終了コードは 137"), std::string::npos) << Read("mirexa.log");
}

// An EXEC child starts with the signals the program ignores for itself (a write to a reader that
// has gone, a write past the file-size limit) at their default, so that its own pipelines end as
// they would without the program.
TEST_F(HostileOutputTest, AnExecChildStartsWithTheWriteSignalsAtTheirDefault) {
    scratch.Write("status.sh", "grep SigIgn /proc/self/status >ignored.txt\n");
    scratch.Write("status.mac", "EXEC /bin/sh status.sh\r\nEXIT\r\n");
    EXPECT_EQ(WaitWithin(Start({"status.mac"}), std::chrono::seconds(60)), 0);
    const std::string line = Read("ignored.txt");
    ASSERT_EQ(line.rfind("SigIgn:", 0), 0u) << line;
    const unsigned long long ignored = std::stoull(line.substr(7), nullptr, 16);
    for (const int signalNumber : {SIGPIPE, SIGXFSZ}) {
        EXPECT_EQ(ignored & (1ULL << (signalNumber - 1)), 0u) << "signal " << signalNumber;
    }
}

// A save removes, in its folder, only the temporary files that a killed save of the program left,
// and names each in the log: the user's files of like names stay, however old.
TEST_F(HostileOutputTest, ASaveRemovesOnlyTheTemporaryFilesAKilledSaveLeft) {
    const std::string killed = testing::LeaveKilledWritersTemporary(scratch.At("out.dme"));
    ASSERT_FALSE(killed.empty());
    if (!testing::CarriesTemporaryMark(killed)) {
        GTEST_SKIP() << "the scratch folder's file system keeps no user attributes";
    }
    testing::AgeFile(killed, 3600);
    const char* users[] = {"notes.mirexa-backup", "old.dme.mirexa-Ab12Cd"};
    for (const char* name : users) {
        testing::AgeFile(scratch.Write(name, name), 3600);
    }
    EXPECT_EQ(WaitWithin(Start({kBox, "-XM(0,0,0)", "-O", "out.dme"}), std::chrono::seconds(60)),
              0);
    EXPECT_FALSE(fs::exists(killed));
    for (const char* name : users) {
        EXPECT_EQ(Read(name), name);
    }
    const std::string log = Read("mirexa.log");
    const std::size_t entry = log.find("中断された保存の一時ファイルを削除しました: ");
    ASSERT_NE(entry, std::string::npos) << log;
    const std::string line = log.substr(entry, log.find('\n', entry) - entry);
    EXPECT_NE(line.find("/" + fs::path(killed).filename().string()), std::string::npos) << log;
}

// Every name the file system takes is saved: a name that leaves no room for the temporary file's
// mark beside it (249 and 255 bytes, one of them cut inside a character of three bytes) is saved
// whole, and no temporary file is left.
TEST_F(HostileOutputTest, ANameAsLongAsTheFileSystemTakesIsSaved) {
    std::string japanese;
    for (int i = 0; i < 83; ++i) {
        japanese += "あ";
    }
    const std::string names[] = {std::string(245, 'n') + ".dme", std::string(251, 'm') + ".dme",
                                 japanese + ".dme"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        EXPECT_EQ(Run({kBox, "-XM(0,0,0)", "-O", name}), 0) << Read("mirexa.log");
        EXPECT_GT(fs::file_size(scratch.At(name)), 0u);
    }
    for (const auto& entry : fs::directory_iterator(scratch.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".mirexa-"), std::string::npos)
            << entry.path();
    }
}

// A log that opens but takes no entry (the file-size limit) sends its entries to standard error,
// after one line saying why.
TEST_F(HostileOutputTest, EntriesTheLogDidNotTakeGoToStandardError) {
    constexpr rlim_t kLimit = 1 << 20;
    scratch.Write("mirexa.log", std::string(kLimit, 'x'));
    const pid_t child = StartWithLimit({kBox, "missing.nc", "-X6", "-O", "out.stl"}, RLIMIT_FSIZE,
                                       kLimit, "stderr.txt");
    EXPECT_EQ(WaitWithin(child, std::chrono::seconds(30)), 2);
    const std::string error = Read("stderr.txt");
    const std::string notice = "mirexa.log cannot be written (mirexa.log: ";
    EXPECT_NE(error.find(notice + "ファイルサイズの上限に達しました)"), std::string::npos) << error;
    EXPECT_EQ(error.find(notice), error.rfind(notice)) << error;
    EXPECT_NE(error.find("NCプログラムを開けません: missing.nc"), std::string::npos) << error;
}

// A file name that holds line breaks writes one entry, with the breaks escaped: it cannot start
// lines of its own that pass for entries.
TEST_F(HostileOutputTest, LineBreaksInAFileNameWriteNoEntriesOfTheirOwn) {
    const std::string name = "no\n2000/01/01 00:00:00：切削終了\r.nc";
    EXPECT_EQ(WaitWithin(Start({kBox, name, "-X6", "-O", "out.stl"}), std::chrono::seconds(30)), 2);
    const std::string log = Read("mirexa.log");
    EXPECT_EQ(log.find("\n2000/01/01"), std::string::npos) << log;
    EXPECT_EQ(log.find('\r'), std::string::npos) << log;
    EXPECT_NE(log.find("no\\n2000/01/01 00:00:00：切削終了\\r.nc"), std::string::npos) << log;
}

// Memory that runs out after the up-front checks ends the work with a log line and exit 2, not
// an abort: an NC program that a memory run cannot hold, settings whose values do not fit.
TEST_F(HostileOutputTest, MemoryThatRunsOutEndsTheWorkWithALogLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer's shadow memory alone is larger than any address-space limit the test can set.
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#endif
    const std::string controller = Read("vmc3.ctl");
    {
        // 150 MB of comment lines, run from memory.
        scratch.Write("vmc3.ctl", controller + "RUN TYPE=MEMORY\r\n");
        std::ofstream program(scratch.At("big.nc"), std::ios::binary);
        program << "%\nO1000\nG90 G0 X0 Y0 Z50\n";
        const std::string line = "(" + std::string(98, 'X') + ")\n";
        for (int i = 0; i < 1500000; ++i) {
            program << line;
        }
        program << "M30\n%\n";
    }
    const pid_t run =
        StartWithLimit({kBox, "big.nc", "-X6", "-O", "out.stl"}, RLIMIT_AS, rlim_t{300} << 20);
    EXPECT_EQ(WaitWithin(run, std::chrono::seconds(60)), 2);
    fs::remove(scratch.At("big.nc"));
    std::string log = Read("mirexa.log");
    EXPECT_NE(log.find("big.nc - NCプログラムが大きすぎてメモリに置けません"), std::string::npos)
        << log;
    EXPECT_NE(log.find("(0) - Memory over!"), std::string::npos) << log;
    EXPECT_EQ(log.find("開始コード"), std::string::npos) << log;
    EXPECT_FALSE(Exists("out.stl"));

    // 1.2 million keys in a 20 MB settings file.
    scratch.Write("vmc3.ctl", controller);
    {
        std::ofstream settings(scratch.At("mirexa.ini"), std::ios::binary | std::ios::app);
        settings << "[Filler]\n";
        char line[32];
        for (int i = 0; i < 1200000; ++i) {
            settings.write(line, std::snprintf(line, sizeof line, "KEY%08d=VALUE\n", i));
        }
    }
    fs::remove(scratch.At("mirexa.log"));
    const pid_t read = StartWithLimit({kBox, "demo_part.nc", "-X6", "-O", "out.stl"}, RLIMIT_AS,
                                      rlim_t{200} << 20);
    EXPECT_EQ(WaitWithin(read, std::chrono::seconds(60)), 2);
    log = Read("mirexa.log");
    EXPECT_NE(log.find("Memory over! (" + scratch.At("mirexa.ini") + ")"), std::string::npos)
        << log;
    EXPECT_FALSE(Exists("out.stl"));
}

}  // namespace
}  // namespace mirexa
