// The task pool: every task of a batch runs exactly once, on a worker number below the batch's
// worker count, never two at a time on one worker; batches of changing sizes follow each other
// at once, a stopped pool starts again, and a task that runs out of memory fails only its batch.
// A stress run of thousands of tiny batches checks that no batch loses a task or hangs, and that
// no task runs after its batch returned.
#include "platform/task_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <random>
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
            EXPECT_EQ(RunPooledTasks(&pool, c.workers, c.count, RecordTask, &record), 1);
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

// A batch whose tasks run out of memory, on the caller's share or a helper's.
struct ShortBatch {
    std::vector<std::atomic<int>> runs;
    std::vector<int> failing;  // the tasks that throw std::bad_alloc
};

void ShortTask(void* context, int task, int) {
    ShortBatch& b = *static_cast<ShortBatch*>(context);
    b.runs[static_cast<std::size_t>(task)].fetch_add(1);
    if (std::find(b.failing.begin(), b.failing.end(), task) != b.failing.end()) {
        throw std::bad_alloc();
    }
}

// A task that runs out of memory fails its batch (0), on whichever worker it ran, without ending
// the program or the other tasks; the next batch of the pool runs whole again (1).
TEST(TaskPoolTest, ATaskThatRunsOutOfMemoryFailsItsBatchOnly) {
    const struct {
        int workers;
        int count;
        std::vector<int> failing;
    } cases[] = {
        {1, 6, {2}},           // the caller alone
        {8, 64, {0, 40, 63}},  // the caller's first task, and helpers' unless stolen
    };
    TaskPool pool;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "workers " << c.workers << " failing " << c.failing.size());
        for (int batch = 0; batch < 2; ++batch) {
            ShortBatch b;
            b.runs = std::vector<std::atomic<int>>(static_cast<std::size_t>(c.count));
            b.failing = batch == 0 ? c.failing : std::vector<int>{};
            EXPECT_EQ(RunPooledTasks(&pool, c.workers, c.count, ShortTask, &b),
                      b.failing.empty() ? 1 : 0)
                << "batch " << batch;
            for (int t = 0; t < c.count; ++t) {
                ASSERT_EQ(b.runs[static_cast<std::size_t>(t)].load(), 1) << "task " << t;
            }
        }
    }
    StopTaskPool(&pool);
}

// Ends the process with a message when a test body outlives its cap: a pool that lost a task
// never returns, and a hung test tells nothing.
class HangWatch {
public:
    HangWatch(int capSeconds, const char* what)
        : thread_([this, capSeconds, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::seconds(capSeconds),
                                  [this] { return quit_; })) {
                  std::fprintf(stderr, "%s: still running after %d s, a batch never returned\n",
                               what, capSeconds);
                  std::abort();
              }
          }) {}
    ~HangWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool quit_ = false;
    std::thread thread_;
};

// One tiny batch of the stress run: tasks count themselves and check that their batch has not
// returned yet; the non-atomic marks must be visible to the caller when the batch returns.
struct StressBatch {
    std::vector<int> marks;  // written by the tasks, read by the caller after the batch
    std::atomic<int> runs{0};
    std::atomic<int> returned{0};
    std::atomic<int> lateRuns{0};
    std::atomic<int> badWorker{0};
    int workers = 1;
    int spin = 0;  // work per task, in loop turns
};

void StressTask(void* context, int task, int worker) {
    StressBatch& b = *static_cast<StressBatch*>(context);
    if (b.returned.load() != 0) {
        b.lateRuns.fetch_add(1);
    }
    if (worker < 0 || worker >= b.workers) {
        b.badWorker.fetch_add(1);
    }
    volatile int x = 0;
    for (int i = 0; i < b.spin; ++i) {
        x = x + i;
    }
    b.marks[static_cast<std::size_t>(task)] += 1;
    b.runs.fetch_add(1);
}

#if defined(__SANITIZE_THREAD__)
constexpr int kStressBatches = 1500;  // ThreadSanitizer runs the threads about ten times slower
#else
constexpr int kStressBatches = 8000;
#endif

// Runs batches of the sizes and worker counts that break a scheduler: none, one task, fewer
// tasks than workers, exactly the workers, a few per worker and many; worker counts that grow
// and shrink from batch to batch, pauses long enough for the helpers to fall asleep, and stops
// of the idle pool in between. Returns the batches that went wrong (and prints the first).
int RunStress(TaskPool* pool, unsigned seed, int batches) {
    std::mt19937 random(seed);
    const int limit = TaskPoolWorkerLimit();
    const int counts[] = {0, 1, 2, 3, limit - 1, limit, limit + 1, 17, 64, 257};
    int failures = 0;
    for (int i = 0; i < batches; ++i) {
        StressBatch b;
        const int count = counts[random() % std::size(counts)];
        const int asked = static_cast<int>(random() % static_cast<unsigned>(limit + 2));
        b.workers = std::clamp(asked, 1, limit);
        b.spin = random() % 4 == 0 ? static_cast<int>(random() % 2000) : 0;
        b.marks.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
        RunPooledTasks(pool, asked, count, StressTask, &b);
        b.returned.store(1);
        const bool once = std::all_of(b.marks.begin(), b.marks.end(), [](int m) { return m == 1; });
        if (!once || b.runs.load() != count || b.badWorker.load() != 0) {
            if (failures++ == 0) {
                ADD_FAILURE() << "seed " << seed << " batch " << i << ": " << count << " tasks on "
                              << asked << " workers ran " << b.runs.load() << " times";
            }
        }
        switch (random() % 64) {
            case 0:
                StopTaskPool(pool);  // the helpers are idle: spinning or asleep
                break;
            case 1:
                std::this_thread::sleep_for(
                    std::chrono::microseconds(300));  // let them fall asleep
                break;
            default:
                break;  // the next batch at once
        }
        // A task of this batch that runs now would see `returned`; give a straggler the chance.
        if (b.lateRuns.load() != 0 && failures++ == 0) {
            ADD_FAILURE() << "seed " << seed << " batch " << i << ": a task ran after return";
        }
    }
    return failures;
}

TEST(TaskPoolTest, ThousandsOfTinyBatchesLoseNoTaskAndNeverHang) {
    HangWatch watch(60, "TaskPoolTest.ThousandsOfTinyBatchesLoseNoTaskAndNeverHang");
    const unsigned seed = 20261207;
    std::printf("seed %u\n", seed);
    TaskPool pool;
    EXPECT_EQ(RunStress(&pool, seed, kStressBatches), 0);
    StopTaskPool(&pool);
    // Two callers, each with its own pool, side by side.
    TaskPool first;
    TaskPool second;
    int failures[2] = {};
    std::thread other([&] { failures[1] = RunStress(&second, seed + 1, kStressBatches / 4); });
    failures[0] = RunStress(&first, seed + 2, kStressBatches / 4);
    other.join();
    EXPECT_EQ(failures[0] + failures[1], 0);
    StopTaskPool(&first);
    StopTaskPool(&second);
}

TEST(TaskPoolTest, APoolStoppedRightAfterItsFirstBatchJoinsItsHelpers) {
    HangWatch watch(60, "TaskPoolTest.APoolStoppedRightAfterItsFirstBatchJoinsItsHelpers");
    for (int round = 0; round < 50; ++round) {
        TaskPool pool;
        StressBatch b;
        b.workers = TaskPoolWorkerLimit();
        b.marks.assign(static_cast<std::size_t>(b.workers), 0);
        RunPooledTasks(&pool, b.workers, b.workers, StressTask, &b);
        // Some helpers may still be starting: the stop must neither wait for a batch nor hang.
        StopTaskPool(&pool);
        ASSERT_EQ(b.runs.load(), b.workers) << "round " << round;
        ASSERT_EQ(pool.state, nullptr);
    }
}

}  // namespace
}  // namespace mirexa
