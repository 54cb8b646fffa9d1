// The task pool: helpers that spin briefly, then sleep on their own condition variable;
// tasks are claimed through one atomic word that carries the batch number, so a helper that
// wakes late can never take a task of a later batch with the earlier batch's function.
#include "platform/task_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/system_info.h"

namespace mirexa {

// One helper thread and its own wake-up, so that a batch wakes only the helpers it uses.
struct TaskPoolHelper {
    std::thread thread;
    std::condition_variable wake;
    bool sleeping = {};  // under the pool's mutex
};

struct TaskPoolState {
    std::mutex mutex;
    std::vector<std::unique_ptr<TaskPoolHelper>> helpers;  // helper i runs as worker i + 1
    bool stop = {};                                        // under the mutex
    // The batch, written under the mutex together with the move of `generation`.
    PooledTask task = {};
    void* context = {};
    int count = {};
    int workers = {};
    std::atomic<std::uint32_t> generation{0};
    // The batch number in the high half, the next unclaimed task in the low half.
    std::atomic<std::uint64_t> claim{0};
    std::atomic<int> remaining{0};
    std::atomic<int> stopping{0};
};

namespace {

constexpr int kMaxWorkers = 64;
// How long a helper spins for the next batch before it sleeps (us): a cutting step is followed
// by the next within microseconds, a pause or the end of a run leaves the helpers asleep.
constexpr int kSpinMicroseconds = 100;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Claims and runs tasks of batch `generation` until none is left.
void RunClaimedTasks(TaskPoolState* s, std::uint32_t generation, PooledTask task, void* context,
                     int count, int worker) {
    for (;;) {
        std::uint64_t word = s->claim.load(std::memory_order_acquire);
        for (;;) {
            if (static_cast<std::uint32_t>(word >> 32) != generation ||
                static_cast<std::int64_t>(word & 0xffffffffu) >= count) {
                return;
            }
            if (s->claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel)) {
                break;
            }
        }
        task(context, static_cast<int>(word & 0xffffffffu), worker);
        s->remaining.fetch_sub(1, std::memory_order_acq_rel);
    }
}

// A helper that took part in the last batch spins for the next one a while before it sleeps; one
// that a batch left out sleeps until a batch wants it.
void HelperLoop(TaskPoolState* s, TaskPoolHelper* self, int worker, std::uint32_t seen) {
    bool spin = false;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        for (int spins = 1; spin && s->generation.load(std::memory_order_acquire) == seen &&
                            s->stopping.load(std::memory_order_relaxed) == 0;
             ++spins) {
            CpuRelax();
            if (spins % 64 == 0 && std::chrono::steady_clock::now() - start >
                                       std::chrono::microseconds(kSpinMicroseconds)) {
                break;
            }
        }
        PooledTask task = nullptr;
        void* context = nullptr;
        int count = 0;
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            const auto wanted = [&] {
                return s->stop || (s->generation.load() != seen && worker < s->workers);
            };
            if (!wanted()) {
                self->sleeping = true;
                self->wake.wait(lock, wanted);
                self->sleeping = false;
            }
            if (s->stop) {
                return;
            }
            seen = s->generation.load();
            task = s->task;
            context = s->context;
            count = s->count;
        }
        RunClaimedTasks(s, seen, task, context, count, worker);
        spin = true;
    }
}

}  // namespace

int TaskPoolWorkerLimit() {
    // Asked once: the count is read from a system file, and every cutting step asks.
    static const int limit = std::clamp(GetProcessorCount(), 1, kMaxWorkers);
    return limit;
}

void RunPooledTasks(TaskPool* pool, int workers, int count, PooledTask task, void* context) {
    workers = std::clamp(workers, 1, TaskPoolWorkerLimit());
    if (workers == 1 || count <= 1) {
        for (int t = 0; t < count; ++t) {
            task(context, t, 0);
        }
        return;
    }
    if (pool->state == nullptr) {
        pool->state = new TaskPoolState;
    }
    TaskPoolState* s = pool->state;
    std::uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        while (static_cast<int>(s->helpers.size()) < workers - 1) {
            const int worker = static_cast<int>(s->helpers.size()) + 1;
            auto helper = std::make_unique<TaskPoolHelper>();
            helper->thread = std::thread(HelperLoop, s, helper.get(), worker, s->generation.load());
            s->helpers.push_back(std::move(helper));
        }
        generation = s->generation.load() + 1;
        s->task = task;
        s->context = context;
        s->count = count;
        s->workers = workers;
        s->remaining.store(count, std::memory_order_relaxed);
        s->claim.store(std::uint64_t{generation} << 32, std::memory_order_relaxed);
        s->generation.store(generation, std::memory_order_release);
        for (int h = 0; h < workers - 1; ++h) {
            if (s->helpers[h]->sleeping) {
                s->helpers[h]->wake.notify_one();
            }
        }
    }
    RunClaimedTasks(s, generation, task, context, count, 0);
    for (int spins = 1; s->remaining.load(std::memory_order_acquire) != 0; ++spins) {
        CpuRelax();
        if (spins % 1024 == 0) {
            std::this_thread::yield();
        }
    }
}

void StopTaskPool(TaskPool* pool) {
    TaskPoolState* s = pool->state;
    if (s == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->stop = true;
        s->stopping.store(1, std::memory_order_relaxed);
    }
    for (auto& helper : s->helpers) {
        helper->wake.notify_one();
    }
    for (auto& helper : s->helpers) {
        helper->thread.join();
    }
    delete s;
    pool->state = nullptr;
}

}  // namespace mirexa
