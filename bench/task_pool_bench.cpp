// Cost of the task pool: batches of 64 tasks, back to back, as the cut of a fine-pitch step hands
// them out to 8 workers; the tasks are empty (the pool's own cost per batch) or about a
// microsecond of arithmetic each (near a cutting task's size at 0.1 mm), on 1 to 8 workers. Reports
// batches per second; with work, the parallel efficiency (the one-worker time of a batch over the
// workers' time) shows as `efficiency`.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/task_pool.h"

namespace mirexa {
namespace {

constexpr int kBatchTasks = 64;

// Arithmetic turns per task; the batch's one-worker time is measured, not assumed.
void WorkTask(void* context, int, int) {
    const int turns = *static_cast<const int*>(context);
    volatile double x = 1.0;
    for (int i = 0; i < turns; ++i) {
        x = x * 1.0000001 + 1e-9;
    }
}

double SecondsOfBatch(int turns, int tasks) {
    const auto start = std::chrono::steady_clock::now();
    for (int t = 0; t < tasks; ++t) {
        WorkTask(&turns, t, 0);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Arguments: the workers, the arithmetic turns per task (0: empty tasks).
void BM_PooledBatches(benchmark::State& state) {
    const int workers = static_cast<int>(state.range(0));
    int turns = static_cast<int>(state.range(1));
    const int tasks = kBatchTasks;
    TaskPool pool;
    RunPooledTasks(&pool, workers, tasks, WorkTask, &turns);  // start the helpers
    double serial = 0.0;
    for (int i = 0; i < 20; ++i) {
        serial += SecondsOfBatch(turns, tasks);
    }
    serial /= 20.0;
    std::int64_t batches = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        RunPooledTasks(&pool, workers, tasks, WorkTask, &turns);
        ++batches;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    StopTaskPool(&pool);
    state.counters["batches_per_s"] = static_cast<double>(batches) / wall;
    if (turns > 0) {
        state.counters["efficiency"] =
            serial * static_cast<double>(batches) / (wall * static_cast<double>(workers));
    }
}
BENCHMARK(BM_PooledBatches)
    ->ArgNames({"workers", "turns"})
    ->ArgsProduct({{1, 2, 4, 8}, {0, 500}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mirexa
