// The task pool: every task of a batch runs exactly once, on a worker number below the batch's
// worker count, never two at a time on one worker; batches of changing sizes follow each other
// at once, and a stopped pool starts again.
#include "platform/task_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

}  // namespace
}  // namespace mirexa
