// The run's handshakes between a worker and a scripted host thread: redraws served and
// aborted, pauses resumed and aborted, the published status, and the abort at shutdown.
#include "simulation/run_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/worker_thread.h"
#include "support/bounded_wait.h"

namespace mirexa {
namespace {

class RunControlTest : public ::testing::Test {
protected:
    WorkerThread worker_;
    void SetUp() override {
        ResetRunControlFlags();
        ResetRunStatus();
    }
    void TearDown() override {
        RequestRunAbort();
        JoinWorkerThread(&worker_);
        ResetRunControlFlags();
        ResetRunStatus();
    }
};

// Waits until the worker has set the flag to the value; a wait in vain fails, naming the flag,
// and aborts the run so that the worker ends. Whether the flag came.
bool WaitFor(const std::atomic<std::int32_t>& flag, std::int32_t value, const char* name) {
    if (!testing::AwaitCondition([&] { return flag.load() == value; },
                                 std::chrono::milliseconds(1))) {
        ADD_FAILURE() << "waited in vain for " << name << " " << value;
        RequestRunAbort();
        return false;
    }
    return true;
}

TEST_F(RunControlTest, RedrawsAreServedOneByOneAndAbortEndsAWait) {
    std::vector<int> results;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            results.push_back(RequestRedrawAndWait());
        }
        // The host never serves this one: the abort ends the wait and the worker clears it.
        results.push_back(RequestRedrawAndWait());
    });
    int served = 0;
    while (served < 3 && WaitFor(RunControl.redrawRequest, 1, "the redraw request")) {
        EXPECT_EQ(RunControl.viewRedrawRequest.load(), 0);
        served += ServeRedrawRequest(nullptr);
    }
    WaitFor(RunControl.redrawRequest, 1, "the redraw request");
    RequestRunAbort();
    worker.join();
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(RunControl.redrawRequest.load(), 0);
}

TEST_F(RunControlTest, PauseResumesAndAbortsWithoutSteppingOn) {
    std::atomic<int> result{-1};
    RunControl.pendingStop = 1;
    RunControl.stopKeyRequest = 1;
    std::thread worker([&] { result = WaitAtStopBlock(); });
    WaitFor(RunControl.pauseRequest, 1, "the pause request");
    EXPECT_EQ(RunControl.pauseBlink.load(), 1);
    ResumeRun();
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(RunControl.pendingStop.load(), 0);
    EXPECT_EQ(RunControl.stopKeyRequest.load(), 0);

    // Abort while paused: the abort is stored before the pause is released, so the worker
    // never takes the release for a resume.
    std::thread second([&] { result = WaitAtStopBlock(); });
    WaitFor(RunControl.pauseRequest, 1, "the pause request");
    RequestRunAbort();
    second.join();
    EXPECT_EQ(result.load(), 0);
    // A pause asked for after the abort does not wait at all.
    EXPECT_EQ(WaitAtStopBlock(), 0);
    EXPECT_EQ(RunControl.pauseRequest.load(), 0);
}

TEST_F(RunControlTest, PublishedBlockTextIsBoundedAndLosesOnlyItsLineEnd) {
    PublishRunBlock(12, 10, "G01 X10 Y5\r\n");
    RunStatusSnapshot s = ReadRunStatus();
    EXPECT_STREQ(s.blockText, "G01 X10 Y5");
    EXPECT_EQ(s.lineNumber, 12);
    EXPECT_EQ(s.mainLineNumber, 10);
    PublishRunBlock(1, 1, "");
    EXPECT_STREQ(ReadRunStatus().blockText, "");
    PublishRunBlock(1, 1, nullptr);
    EXPECT_STREQ(ReadRunStatus().blockText, "");
    // A line cut without its line end keeps every character, up to 255.
    PublishRunBlock(2, 2, "M30");
    EXPECT_STREQ(ReadRunStatus().blockText, "M30");
    const std::string longLine(1022, 'X');
    PublishRunBlock(3, 3, longLine.c_str());
    EXPECT_EQ(std::string(ReadRunStatus().blockText), std::string(255, 'X'));
    PublishRunProgress(10, 2.5);
    PublishRunProgress(5, 0.5);
    s = ReadRunStatus();
    EXPECT_EQ(s.steps, 15);
    EXPECT_DOUBLE_EQ(s.removedVolume, 3.0);
}

// A waiting worker goes on the moment the host answers, not at its next look at the flags: 20
// pauses, each resumed as soon as it is seen, take far less than 20 of the 100 ms periods in
// which a sleeping poll would notice the resume.
TEST_F(RunControlTest, WaitsWakeWhenTheHostAnswers) {
    std::atomic<int> resumed{0};
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            resumed += WaitAtStopBlock();
        }
    });
    for (int i = 0; i < 20 && WaitFor(RunControl.pauseRequest, 1, "the pause request"); ++i) {
        ResumeRun();
        // The next pause may only be seen once this one has been left.
        if (!testing::AwaitCondition([&] { return resumed.load() != i; },
                                     std::chrono::microseconds(0))) {
            ADD_FAILURE() << "waited in vain for the worker to leave pause " << i;
            RequestRunAbort();
            break;
        }
    }
    worker.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(resumed.load(), 20);
    EXPECT_LT(elapsed, std::chrono::milliseconds(20 * kPauseLookMs / 2));
}

// Shutdown during a run on the shell's worker thread: the abort releases the worker from its
// redraw wait, then the thread is joined.
TEST_F(RunControlTest, AbortReleasesAWorkerSoItCanBeJoined) {
    ASSERT_EQ(CreateWorkerThread(
                  &worker_,
                  [] {
                      while (RequestRedrawAndWait() != 0) {
                      }
                  },
                  0, 1),
              1);
    WaitFor(RunControl.redrawRequest, 1, "the redraw request");
    RequestRunAbort();
    JoinWorkerThread(&worker_);
    EXPECT_EQ(HasWorkerThread(worker_), 0);
    EXPECT_EQ(RunControl.redrawRequest.load(), 0);
}

}  // namespace
}  // namespace mirexa
