// The task pool: every task of a batch runs exactly once, on a worker number below the batch's
// worker count, never two at a time on one worker; batches of changing sizes follow each other
// at once, and a stopped pool starts again; a worker done with its own share takes the others'
// tasks, and a batch after a pause wakes the sleeping helpers.
#include "platform/task_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace mirexa {
namespace {

struct BatchRecord {
    std::vector<std::atomic<int>> runs;
    std::atomic<int> busy[64] = {};
    std::atomic<int> badWorker{0};
    std::atomic<int> overlap{0};
    int workers = 1;
};

void RecordTask(void* context, int task, int worker) {
    BatchRecord& r = *static_cast<BatchRecord*>(context);
    if (worker < 0 || worker >= r.workers) {
        r.badWorker = 1;
        return;
    }
    if (r.busy[worker].exchange(1) != 0) {
        r.overlap = 1;
    }
    r.runs[task].fetch_add(1);
    // A little work, so that helpers really take tasks side by side.
    volatile double x = task;
    for (int i = 0; i < 200; ++i) {
        x = x * 1.0000001 + 1.0;
    }
    r.busy[worker] = 0;
}

TEST(TaskPoolTest, EveryTaskRunsOnceOnOneOfTheBatchsWorkers) {
    const struct {
        int workers;
        int count;
    } cases[] = {{1, 5}, {8, 0}, {8, 1}, {3, 200}, {8, 1000}, {2, 7}, {100, 300}, {0, 4}};
    TaskPool pool;
    for (int round = 0; round < 3; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "round " << round << " workers " << c.workers << " tasks " << c.count);
            BatchRecord record;
            record.runs = std::vector<std::atomic<int>>(static_cast<std::size_t>(c.count));
            record.workers = std::clamp(c.workers, 1, TaskPoolWorkerLimit());
            RunPooledTasks(&pool, c.workers, c.count, RecordTask, &record);
            for (int t = 0; t < c.count; ++t) {
                ASSERT_EQ(record.runs[static_cast<std::size_t>(t)].load(), 1) << "task " << t;
            }
            EXPECT_EQ(record.badWorker.load(), 0);
            EXPECT_EQ(record.overlap.load(), 0);
        }
        if (round == 1) {
            StopTaskPool(&pool);
            EXPECT_EQ(pool.state, nullptr);
        }
    }
    StopTaskPool(&pool);
    StopTaskPool(&pool);  // a stopped pool stops again harmlessly
}

struct HeldBatch {
    bool holdFirst = false;  // task 0 waits for all others, else every task for a second worker
    int count = 0;
    std::atomic<int> finished{0};
    std::atomic<std::uint64_t> workersSeen{0};
    std::atomic<int> timedOut{0};
};

// A task that cannot end alone: task 0 holding its worker leaves the rest of its share to the
// other workers; a task waiting for a second worker fails when the helpers stay asleep.
void HoldTask(void* context, int task, int worker) {
    HeldBatch& b = *static_cast<HeldBatch*>(context);
    b.workersSeen.fetch_or(std::uint64_t{1} << worker);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (b.holdFirst ? task == 0 && b.finished.load() < b.count - 1
                       : __builtin_popcountll(b.workersSeen.load()) < 2) {
        if (std::chrono::steady_clock::now() > end) {
            b.timedOut = 1;
            break;
        }
        std::this_thread::yield();
    }
    b.finished.fetch_add(1);
}

TEST(TaskPoolTest, WorkersTakeABusyWorkersShareAndWakeAfterAPause) {
    if (TaskPoolWorkerLimit() < 2) {
        GTEST_SKIP() << "one processor";
    }
    // Pauses below, about and far above the helpers' spin before they sleep.
    const struct {
        bool holdFirst;
        int workers, count, pauseMicroseconds;
    } cases[] = {{true, 2, 2, 0},      {true, 2, 8, 0},     {true, 2, 40, 5000},
                 {false, 4, 16, 0},    {false, 4, 16, 150}, {false, 4, 16, 300},
                 {false, 4, 16, 5000}, {false, 2, 4, 20000}};
    TaskPool pool;
    for (const auto& c : cases) {
        std::this_thread::sleep_for(std::chrono::microseconds(c.pauseMicroseconds));
        HeldBatch batch;
        batch.holdFirst = c.holdFirst;
        batch.count = c.count;
        RunPooledTasks(&pool, c.workers, c.count, HoldTask, &batch);
        EXPECT_EQ(batch.timedOut.load(), 0)
            << c.holdFirst << " " << c.count << " tasks after " << c.pauseMicroseconds << " us";
        EXPECT_EQ(batch.finished.load(), c.count);
    }
    StopTaskPool(&pool);
}

}  // namespace
}  // namespace mirexa
