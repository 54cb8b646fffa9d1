// A persistent pool of helper threads that runs batches of numbered tasks for a caller that takes
// part itself: the work of one cutting step spread over the processors without a thread per step.
//
// A batch is tasks 0 .. count-1 run on up to `workers` threads: the caller is worker 0, helper i
// is worker i. Each task runs exactly once, on one worker; a worker runs one task at a time, so a
// task may use the scratch of its worker number without a lock. RunPooledTasks returns when every
// task has returned, and everything the tasks wrote is then visible to the caller; no helper
// touches the batch after that. Worker w is given the contiguous share of tasks
// count*w/workers .. count*(w+1)/workers-1 and runs it in order; a worker done with its share
// takes what is left of the others'. So a caller that numbers its tasks alike from batch to
// batch finds the same data on the same thread (and in its cache) as long as no worker lags. Which
// worker runs a task still varies: a result that must not depend on threads is to be kept per
// task and combined by the caller in task order.
//
// A task may throw std::bad_alloc (and nothing else): the worker that ran it catches it, the task's
// remaining work is lost, the batch's other tasks run as usual and the batch answers 0, so that
// memory running out on a helper thread fails the caller's work instead of ending the program.
//
// Helpers start on first use and stay; when the system refuses one (threads or memory), no more
// are asked for and batches run on those there are. Between batches they spin for a short while
// (the next step usually follows at once), then sleep until a batch wakes them. One caller at a
// time.
#pragma once

namespace mirexa {

using PooledTask = void (*)(void* context, int task, int worker);

struct TaskPoolState;
struct TaskPool {
    TaskPoolState* state = {};
};

// The most workers a batch may ask for: the processors the process may run on, at most 64.
int TaskPoolWorkerLimit();

// Runs the batch; `workers` is clamped to 1 .. TaskPoolWorkerLimit() and to the task count. With
// one worker, or one task, everything runs on the caller in task order and no helper is started.
// Returns 1 when every task ran to its end, 0 when one or more ran out of memory.
int RunPooledTasks(TaskPool* pool, int workers, int count, PooledTask task, void* context);

// Stops and joins the helpers and frees the pool's state; the next batch starts them again.
void StopTaskPool(TaskPool* pool);

}  // namespace mirexa
