// The log's exact line bytes under an injected clock, its directory handling, the
// message-or-log service, and entries written from several threads at once.
#include "services/program_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;
using testing::ScratchDirectory;

// 2024-03-02 09:05:03 local time.
int FixedTime(std::tm* out) {
    *out = std::tm{};
    out->tm_year = 2024 - 1900;
    out->tm_mon = 2;
    out->tm_mday = 2;
    out->tm_hour = 9;
    out->tm_min = 5;
    out->tm_sec = 3;
    return 1;
}

const std::string kStamp = "2024/03/02 09:05:03\xEF\xBC\x9A";

class ProgramLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocations_ = FileLocations;
        savedAutomatic_ = AutomaticMode.load();
        FileLocations = {};
        FileLocations.logDirectory = scratch_.At("logs");
        previousTime_ = SetLogTimeSource(&FixedTime);
        previousResponder_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            boxes_.push_back(request);
            return MBX_IDCANCEL;
        });
    }
    void TearDown() override {
        CloseLogFile();
        SetMessageBoxResponder(previousResponder_);
        SetLogTimeSource(previousTime_);
        FileLocations = savedLocations_;
        AutomaticMode = savedAutomatic_;
    }
    std::string LogText() const {
        return ReadWholeFile(scratch_.At("logs/mirexa.log"));
    }

    ScratchDirectory scratch_;
    std::vector<MessageBoxRequest> boxes_;

private:
    FileLocationSettings savedLocations_;
    int savedAutomatic_ = 0;
    LogTimeSource previousTime_ = nullptr;
    MessageBoxResponder previousResponder_;
};

TEST_F(ProgramLogTest, EntriesCarryTheStampAndStartTheirOwnLines) {
    WriteLogLine("dropped while closed\n");
    ASSERT_EQ(OpenLogFile(), 1) << "the missing log directory is created";
    EXPECT_EQ(LogFile.path, scratch_.At("logs/mirexa.log"));
    WriteLogLine("start\n");
    WriteLogLine("half ");
    WriteLogLine("工具\n");
    ASSERT_EQ(OpenLogFile(), 1) << "a second open keeps the open stream";
    CloseLogFile();
    EXPECT_EQ(LogFile.stream, nullptr);
    WriteLogLine("dropped after close\n");
    // An entry without its line end is ended by the next time-stamped entry.
    EXPECT_EQ(LogText(), kStamp + "start\n" + kStamp + "half \n" + kStamp + "工具\n");

    ASSERT_EQ(OpenLogFile(), 1);
    WriteLogLine("appended\n");
    CloseLogFile();
    EXPECT_EQ(LogText(),
              kStamp + "start\n" + kStamp + "half \n" + kStamp + "工具\n" + kStamp + "appended\n");
}

// Alarm messages chain on one line; the next time-stamped entry ends that line. When another
// run wrote last (here its alarm chain is left open), this run's next entry, stamped or not,
// starts a line of its own behind a stamped line that names this run's process.
TEST_F(ProgramLogTest, AStampedEntryEndsAnOpenChainOfMessagesAndRunsAreToldApart) {
    AppendLogText("(6) - first");
    AppendLogText("(7) - second");
    AppendLogEntry("end\n");
    const std::string own = "(6) - first(7) - second\n" + kStamp + "end\n";
    EXPECT_EQ(LogText(), own);
    const std::string process = " " + std::to_string(getpid()) + " ";
    for (const bool stamped : {true, false}) {
        SCOPED_TRACE(stamped ? "a stamped entry" : "an alarm message");
        scratch_.Write("logs/mirexa.log", own + "(9) - another run's alarm");
        ASSERT_EQ(OpenLogFile(), 1);
        if (stamped) {
            WriteLogLine("next\n");
        } else {
            AppendLogText("(8) - this run's alarm");
        }
        WriteLogLine("last\n");
        CloseLogFile();
        const std::string text = LogText();
        const std::string other = own + "(9) - another run's alarm\n" + kStamp;
        ASSERT_EQ(text.substr(0, other.size()), other) << text;
        const std::size_t markEnd = text.find('\n', other.size());
        ASSERT_NE(markEnd, std::string::npos) << text;
        EXPECT_NE(text.substr(other.size(), markEnd - other.size()).find(process),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.substr(markEnd + 1),
                  (stamped ? kStamp + "next\n" : "(8) - this run's alarm\n") + kStamp + "last\n")
            << text;
    }
}

TEST_F(ProgramLogTest, UnreachableLogDirectoryDropsEntries) {
    FileLocations.logDirectory = scratch_.At("two/levels");
    EXPECT_EQ(OpenLogFile(), 0);
    EXPECT_EQ(LogFile.stream, nullptr);
    WriteLogLine("nowhere\n");
    AppendLogEntry("nowhere either\n");
    EXPECT_FALSE(std::filesystem::exists(scratch_.At("two")));
}

TEST_F(ProgramLogTest, MessagesGoToTheBoxOrInAutomaticModeToTheLog) {
    AutomaticMode = 0;
    EXPECT_EQ(ShowMessageOrLog(0, "Check the file", "MIREXA7", MBX_OKCANCEL), MBX_IDCANCEL);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Check the file");
    EXPECT_EQ(boxes_[0].caption, "MIREXA7");
    EXPECT_EQ(boxes_[0].style, MBX_OKCANCEL | MBX_TOPMOST);
    EXPECT_EQ(boxes_[0].owner, MainWindow.load());
    EXPECT_EQ(boxes_[0].lineNumber, 0);
    ShowMessageOrLog(31, "Line alarm", "MIREXA7", MBX_OK);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].lineNumber, 31) << "the box hears which NC line it is about";

    AutomaticMode = 1;
    EXPECT_EQ(ShowMessageOrLog(0, "No line", "MIREXA7", MBX_OK), MBX_IDOK);
    EXPECT_EQ(ShowMessageOrLog(57, "Alarm\n", "MIREXA7", MBX_YESNO | MBX_DEFBUTTON2), MBX_IDNO);
    EXPECT_EQ(ShowMessageOrLog(-1, "", "MIREXA7", MBX_YESNO), MBX_IDYES);
    EXPECT_EQ(boxes_.size(), 2u) << "no box in automatic mode";
    EXPECT_EQ(LogFile.stream, nullptr) << "a closed log is closed again after the entry";
    EXPECT_EQ(LogText(),
              kStamp + "(0) - No line\n" + kStamp + "(57) - Alarm\n" + kStamp + "(-1) - \n");

    ASSERT_EQ(OpenLogFile(), 1);
    ShowMessageOrLog(3, "While open", "MIREXA7", MBX_OK);
    EXPECT_NE(LogFile.stream, nullptr) << "an open log stays open";
    CloseLogFile();

    // The automatic responder of the platform writes the very same entry.
    std::string before = LogText();
    AutomaticMode = 0;
    SetMessageBoxResponder(
        MakeAutomaticMessageBoxResponder([](const std::string& entry) { AppendLogEntry(entry); }));
    EXPECT_EQ(ShowMessageOrLog(57, "Alarm\n", "MIREXA7", MBX_YESNO | MBX_DEFBUTTON2), MBX_IDNO);
    EXPECT_EQ(LogText(), before + kStamp + "(57) - Alarm\n");
}

TEST_F(ProgramLogTest, EntriesFromSeveralThreadsStayWhole) {
    constexpr int kThreads = 4;
    constexpr int kEntries = 200;
    ASSERT_EQ(OpenLogFile(), 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string entry = "thread " + std::to_string(t) + " entry\n";
            for (int i = 0; i < kEntries; ++i) {
                if (i % 2 == 0) {
                    WriteLogLine(entry.c_str());
                } else {
                    AppendLogEntry(entry);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    CloseLogFile();
    std::string text = LogText();
    std::vector<int> counts(kThreads, 0);
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = text.find('\n', position);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(position, end - position);
        ASSERT_EQ(line.rfind(kStamp, 0), 0u) << line;
        ASSERT_GT(line.size(), kStamp.size() + 7);
        int thread = line[kStamp.size() + 7] - '0';
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << line;
        ASSERT_EQ(line, kStamp + "thread " + std::to_string(thread) + " entry");
        ++counts[thread];
        position = end + 1;
    }
    for (int count : counts) {
        EXPECT_EQ(count, kEntries);
    }
}

}  // namespace
}  // namespace mirexa
