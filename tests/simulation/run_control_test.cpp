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

// Waits until the worker has set the flag to the value; a wait in vain fails, naming the flag,
// and aborts the run so that the worker ends. Whether the flag came.
bool WaitFor(RunControls& controls, const std::atomic<std::int32_t>& flag, std::int32_t value,
             const char* name) {
    if (!testing::AwaitCondition([&] { return flag.load() == value; },
                                 std::chrono::milliseconds(1))) {
        ADD_FAILURE() << "waited in vain for " << name << " " << value;
        RequestRunAbort(controls);
        return false;
    }
    return true;
}

class RunControlTest : public ::testing::Test {
protected:
    RunControls controls_;
    WorkerThread worker_;
    void SetUp() override {
        ResetRunStatus();
    }
    void TearDown() override {
        RequestRunAbort(controls_);
        JoinWorkerThread(&worker_);
        ResetRunStatus();
    }
    bool WaitFor(const std::atomic<std::int32_t>& flag, std::int32_t value, const char* name) {
        return mirexa::WaitFor(controls_, flag, value, name);
    }
};

TEST_F(RunControlTest, RedrawsAreServedOneByOneAndAbortEndsAWait) {
    std::vector<int> results;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            results.push_back(RequestRedrawAndWait(controls_));
        }
        // The host never serves this one: the abort ends the wait and the worker clears it.
        results.push_back(RequestRedrawAndWait(controls_));
    });
    int served = 0;
    while (served < 3 && WaitFor(controls_.redrawRequest, 1, "the redraw request")) {
        served += ServeRedrawRequest(controls_, nullptr);
    }
    WaitFor(controls_.redrawRequest, 1, "the redraw request");
    RequestRunAbort(controls_);
    worker.join();
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(controls_.redrawRequest.load(), 0);
}

TEST_F(RunControlTest, PauseResumesAndAbortsWithoutSteppingOn) {
    std::atomic<int> result{-1};
    controls_.pendingStop = 1;
    controls_.stopKeyRequest = 1;
    std::thread worker([&] { result = WaitAtStopBlock(controls_); });
    WaitFor(controls_.pauseRequest, 1, "the pause request");
    EXPECT_EQ(controls_.pauseBlink.load(), 1);
    ResumeRun(controls_);
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(controls_.pendingStop.load(), 0);
    EXPECT_EQ(controls_.stopKeyRequest.load(), 0);

    // Abort while paused: the abort is stored before the pause is released, so the worker
    // never takes the release for a resume.
    std::thread second([&] { result = WaitAtStopBlock(controls_); });
    WaitFor(controls_.pauseRequest, 1, "the pause request");
    RequestRunAbort(controls_);
    second.join();
    EXPECT_EQ(result.load(), 0);
    // A pause asked for after the abort does not wait at all.
    EXPECT_EQ(WaitAtStopBlock(controls_), 0);
    EXPECT_EQ(controls_.pauseRequest.load(), 0);
}

// Each run has its own controls: an abort ends the waits of its own run only, and a resume
// releases only its own pause.
TEST_F(RunControlTest, AnAbortOrAResumeReachesOnlyItsOwnRun) {
    RunControls other;
    std::atomic<int> ownResult{-1};
    std::atomic<int> otherResult{-1};
    std::thread own([&] { ownResult = RequestRedrawAndWait(controls_); });
    std::thread paused([&] { otherResult = WaitAtStopBlock(other); });
    WaitFor(controls_.redrawRequest, 1, "the redraw request");
    mirexa::WaitFor(other, other.pauseRequest, 1, "the other run's pause request");
    RequestRunAbort(controls_);
    own.join();
    EXPECT_EQ(ownResult.load(), 0);
    EXPECT_EQ(otherResult.load(), -1) << "the other run still waits at its stop block";
    EXPECT_EQ(other.pauseRequest.load(), 1);
    EXPECT_EQ(other.abortRequest.load(), 0);
    ResumeRun(other);
    paused.join();
    EXPECT_EQ(otherResult.load(), 1);
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
            resumed += WaitAtStopBlock(controls_);
        }
    });
    for (int i = 0; i < 20 && WaitFor(controls_.pauseRequest, 1, "the pause request"); ++i) {
        ResumeRun(controls_);
        // The next pause may only be seen once this one has been left.
        if (!testing::AwaitCondition([&] { return resumed.load() != i; },
                                     std::chrono::microseconds(0))) {
            ADD_FAILURE() << "waited in vain for the worker to leave pause " << i;
            RequestRunAbort(controls_);
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
                  [this] {
                      while (RequestRedrawAndWait(controls_) != 0) {
                      }
                  },
                  0, 1),
              1);
    WaitFor(controls_.redrawRequest, 1, "the redraw request");
    RequestRunAbort(controls_);
    JoinWorkerThread(&worker_);
    EXPECT_EQ(HasWorkerThread(worker_), 0);
    EXPECT_EQ(controls_.redrawRequest.load(), 0);
}

}  // namespace
}  // namespace mirexa
