// Window records, per-thread message queues, cross-thread sends, timers and the message loop.
// Every record and queue is guarded by one mutex; procedures are always called without it held,
// and only on the thread that owns the window. A record is erased (from the live set) only by
// its owner, so a record found live by its owner stays live until the owner's own code destroys
// it.
#include <algorithm>
#include <unordered_set>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "platform/window_internal.h"

namespace mirexa {

namespace {

std::mutex platformMutex;
std::condition_variable queueChanged;
// The GUI thread's pump and queue (empty without a GUI backend), guarded by the mutex.
GuiPump installedPump;
std::shared_ptr<ThreadMessageQueue> pumpQueue;
std::unordered_set<PlatformWindow*> liveWindows;
// Every record ever made, destroyed ones included (small and few), so that a stale handle never
// names a new window; also the records that threads left behind when they exited.
std::vector<std::unique_ptr<PlatformWindow>> allWindows;

// The installed observer and the number of calls of it that are running.
struct ObserverSlot {
    MessageObserver observe = {};
    int running = {};
};
std::mutex observerMutex;
std::condition_variable observerIdle;
std::shared_ptr<ObserverSlot> installedObserver;
// The observers whose calls are running on this thread, innermost last.
thread_local std::vector<const ObserverSlot*> observersRunningHere;

// Wakes every thread waiting on a queue, the GUI thread's pump included; call with the mutex held.
void NotifyQueues() {
    queueChanged.notify_all();
    if (installedPump.wake) {
        installedPump.wake();
    }
}

// Releases every sender waiting on the queue with the result 0; call with the mutex held.
void AbortPendingSends(ThreadMessageQueue& queue) {
    for (auto& pending : queue.sent) {
        pending->result = 0;
        pending->done = 1;
    }
    queue.sent.clear();
    NotifyQueues();
}

// The calling thread's queue, made at its first use and closed when the thread exits.
struct ThreadQueueHolder {
    std::shared_ptr<ThreadMessageQueue> queue;
    ~ThreadQueueHolder() {
        if (queue) {
            std::lock_guard<std::mutex> lock(platformMutex);
            queue->threadGone = 1;
            queue->timers.clear();
            queue->posted.clear();
            AbortPendingSends(*queue);
        }
    }
};
thread_local ThreadQueueHolder currentQueue;

// Call with the mutex held.
ThreadMessageQueue& CurrentQueueLocked() {
    if (!currentQueue.queue) {
        currentQueue.queue = std::make_shared<ThreadMessageQueue>();
    }
    return *currentQueue.queue;
}

// 1 when the calling thread owns the record; call with the mutex held.
bool OwnedHere(const PlatformWindow& record) {
    return record.queue == currentQueue.queue;
}

// 1 while nothing may reach the window any more: not live, or being destroyed.
bool IsGoingOrGone(WindowHandle window) {
    return !FindLiveWindow(window) || window->destroying;
}

WindowProcedure ProcedureOf(const PlatformWindow& window) {
    if (window.procedure) {
        return window.procedure;
    }
    if (window.className == STATUSBAR_CLASS) {
        return StatusBarProcedure;
    }
    if (window.className == PROGRESSBAR_CLASS) {
        return ProgressBarProcedure;
    }
    return DefaultWindowProcedure;
}

// Shows the message to the installed observer, counting the call as running meanwhile.
void CallObserver(const WindowMessage& message) {
    std::shared_ptr<ObserverSlot> slot;
    {
        std::lock_guard<std::mutex> lock(observerMutex);
        if (!installedObserver) {
            return;
        }
        slot = installedObserver;
        ++slot->running;
    }
    observersRunningHere.push_back(slot.get());
    slot->observe(message);
    observersRunningHere.pop_back();
    {
        std::lock_guard<std::mutex> lock(observerMutex);
        --slot->running;
    }
    observerIdle.notify_all();
}

// Calls the window's procedure on this thread, which must own the window (0 otherwise, and for a
// window that is gone); call without the mutex.
MessageResult CallProcedure(const WindowMessage& message) {
    WindowProcedure procedure = nullptr;
    {
        std::lock_guard<std::mutex> lock(platformMutex);
        PlatformWindow* window = FindLiveWindow(message.window);
        if (!window || !OwnedHere(*window)) {
            return 0;
        }
        procedure = ProcedureOf(*window);
    }
    CallObserver(message);
    if (message.message == WM_PAINT) {
        // Cleared before the procedure runs, so that a paint that cannot draw yet may invalidate
        // the window again.
        std::lock_guard<std::mutex> lock(platformMutex);
        if (PlatformWindow* window = FindLiveWindow(message.window)) {
            window->invalid = 0;
        }
    }
    return procedure(message.window, message.message, message.wparam, message.lparam);
}

// Handles the messages that other threads had sent to this thread's windows when it was called
// (those sent meanwhile wait for the next call, so that senders that never pause cannot hold the
// thread here). A send to a window that is being destroyed is answered with 0.
void HandleSentMessages(ThreadMessageQueue& queue, std::unique_lock<std::mutex>& lock) {
    for (std::size_t count = queue.sent.size(); count > 0 && !queue.sent.empty(); --count) {
        std::shared_ptr<PendingSend> pending = queue.sent.front();
        queue.sent.pop_front();
        MessageResult result = 0;
        if (!IsGoingOrGone(pending->message.window)) {
            lock.unlock();
            result = pending->destroy ? DestroyPlatformWindow(pending->message.window)
                                      : CallProcedure(pending->message);
            lock.lock();
        }
        pending->result = result;
        pending->done = 1;
        NotifyQueues();
    }
}

// Hands the request to the target queue's thread and waits for its result, handling the sends
// to this thread's windows meanwhile (two threads sending to each other would wait forever
// otherwise). 0 at once when the target thread has exited or its loop has ended, and 0 when that
// happens, or the window's destruction begins, while waiting. Call with the mutex held, never
// for a window of this thread.
MessageResult HandToOwner(std::shared_ptr<ThreadMessageQueue> target, const WindowMessage& request,
                          int destroy, std::unique_lock<std::mutex>& lock) {
    if (target->threadGone || target->loopEnded) {
        return 0;
    }
    auto pending = std::make_shared<PendingSend>();
    pending->message = request;
    pending->destroy = destroy;
    target->sent.push_back(pending);
    NotifyQueues();
    std::shared_ptr<ThreadMessageQueue> own = currentQueue.queue;
    while (!pending->done) {
        if (own && !own->sent.empty()) {
            HandleSentMessages(*own, lock);
            continue;
        }
        queueChanged.wait(lock);
    }
    return pending->result;
}

// From the start of a destruction on: drops the posts to windows being destroyed, stops their
// timers and answers the sends waiting for them with 0. Call with the mutex held.
void CutOffDestroyingWindows(ThreadMessageQueue& queue) {
    auto& posted = queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [](const WindowMessage& m) { return IsGoingOrGone(m.window); }),
                 posted.end());
    auto& timers = queue.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [](const WindowTimer& t) { return IsGoingOrGone(t.window); }),
                 timers.end());
    for (auto it = queue.sent.begin(); it != queue.sent.end();) {
        if (IsGoingOrGone((*it)->message.window)) {
            (*it)->result = 0;
            (*it)->done = 1;
            it = queue.sent.erase(it);
        } else {
            ++it;
        }
    }
    NotifyQueues();
}

// Takes the earliest due timer of the queue and schedules its next firing.
int TakeDueTimer(ThreadMessageQueue& queue, int remove, WindowMessage* message) {
    std::uint64_t now = GetTickMilliseconds();
    WindowTimer* due = nullptr;
    for (auto& timer : queue.timers) {
        if (timer.dueMs <= now && (!due || timer.dueMs < due->dueMs)) {
            due = &timer;
        }
    }
    if (!due) {
        return 0;
    }
    *message = WindowMessage{due->window, WM_TIMER, due->id, 0};
    if (remove) {
        due->dueMs = now + due->elapseMs;
    }
    return 1;
}

// 1 when the window and every ancestor are visible and none is minimised.
bool IsShownOnScreen(const PlatformWindow* window) {
    for (; window; window = FindLiveWindow(window->parent)) {
        if (!window->visible || window->minimised) {
            return false;
        }
    }
    return true;
}

// Takes a WM_PAINT for the first invalid window of the queue that is shown; windows that were
// painted or destroyed since their invalidation leave the list. A taken window stays invalid
// until the WM_PAINT is dispatched.
int TakePaint(ThreadMessageQueue& queue, int remove, WindowMessage* message) {
    auto& pending = queue.paintPending;
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [](WindowHandle w) { return IsGoingOrGone(w) || !w->invalid; }),
                  pending.end());
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (IsShownOnScreen(*it)) {
            *message = WindowMessage{*it, WM_PAINT, 0, 0};
            if (remove) {
                pending.erase(it);
            }
            return 1;
        }
    }
    return 0;
}

// The delay until the queue's earliest timer falls due (ms), or -1 when no timer can fall due
// by itself (none, or the manual clock).
std::int64_t NextTimerDelay(const ThreadMessageQueue& queue) {
    if (queue.timers.empty() || IsManualClockOn()) {
        return -1;
    }
    std::uint64_t nextDue = queue.timers.front().dueMs;
    for (const auto& timer : queue.timers) {
        nextDue = std::min(nextDue, timer.dueMs);
    }
    std::uint64_t now = GetTickMilliseconds();
    return nextDue > now ? static_cast<std::int64_t>(nextDue - now) : 0;
}

// Takes the next posted message or due timer; 0 when there is none.
int TakeMessage(ThreadMessageQueue& queue, int remove, WindowMessage* message) {
    while (!queue.posted.empty()) {
        WindowMessage front = queue.posted.front();
        if (IsGoingOrGone(front.window)) {
            queue.posted.pop_front();
            continue;
        }
        if (remove) {
            queue.posted.pop_front();
        }
        *message = front;
        return 1;
    }
    return 0;
}

// The window's timer of that id among a queue's timers, or timers.end().
std::vector<WindowTimer>::iterator FindTimer(std::vector<WindowTimer>& timers, WindowHandle window,
                                             unsigned id) {
    return std::find_if(timers.begin(), timers.end(),
                        [&](const WindowTimer& t) { return t.window == window && t.id == id; });
}

// The window and its descendants that are not being destroyed already, parents first.
void CollectDescendants(PlatformWindow* window, std::vector<PlatformWindow*>& out) {
    if (window->destroying) {
        return;
    }
    window->destroying = 1;
    out.push_back(window);
    for (WindowHandle child : window->children) {
        CollectDescendants(child, out);
    }
}

}  // namespace

std::mutex& PlatformMutex() {
    return platformMutex;
}

void NotifyQueuesLocked() {
    NotifyQueues();
}

void SetGuiPump(const GuiPump* pump) {
    std::lock_guard<std::mutex> lock(platformMutex);
    installedPump = pump ? *pump : GuiPump{};
    CurrentQueueLocked();
    pumpQueue = pump ? currentQueue.queue : nullptr;
}

const GuiPump& GetGuiPump() {
    return installedPump;
}

void WakeAllMessageQueues() {
    std::lock_guard<std::mutex> lock(platformMutex);
    NotifyQueues();
}

PlatformWindow* FindLiveWindow(WindowHandle window) {
    return window && liveWindows.count(window) ? window : nullptr;
}

WindowHandle CreatePlatformWindow(const WindowCreateParams& params) {
    auto record = std::make_unique<PlatformWindow>();
    WindowHandle window = record.get();
    {
        std::lock_guard<std::mutex> lock(platformMutex);
        // A thread that makes windows after its message loop ended runs a loop again: sends from
        // other threads wait for it instead of being refused.
        CurrentQueueLocked().loopEnded = 0;
        PlatformWindow* parent = FindLiveWindow(params.parent);
        if (parent && (!OwnedHere(*parent) || parent->destroying)) {
            return nullptr;  // a window tree belongs to one thread and is not growing while it goes
        }
        record->queue = currentQueue.queue;
        record->procedure = params.procedure;
        record->className = params.className;
        record->text = params.text;
        record->rect = params.rect;
        record->visible = params.visible ? 1 : 0;
        record->id = params.id;
        if (parent) {
            record->parent = parent;
            parent->children.push_back(window);
        }
        liveWindows.insert(window);
        allWindows.push_back(std::move(record));
    }
    if (auto hook = GetPlatformBackendHooks().windowCreated) {
        hook(window);
    }
    if (SendWindowMessage(window, WM_CREATE, 0, 0) == -1) {
        DestroyPlatformWindow(window);
        return nullptr;
    }
    return window;
}

int DestroyPlatformWindow(WindowHandle window) {
    std::vector<PlatformWindow*> doomed;
    {
        std::unique_lock<std::mutex> lock(platformMutex);
        PlatformWindow* record = FindLiveWindow(window);
        if (!record || record->destroying) {
            return 0;  // unknown, or destroyed again from its own WM_DESTROY
        }
        if (!OwnedHere(*record)) {
            return static_cast<int>(HandToOwner(record->queue, WindowMessage{window}, 1, lock));
        }
        CollectDescendants(record, doomed);
        for (PlatformWindow* each : doomed) {
            ForgetFocusLocked(each);
        }
        CutOffDestroyingWindows(*record->queue);
    }
    for (PlatformWindow* each : doomed) {
        SendWindowMessage(each, WM_DESTROY, 0, 0);
        if (auto hook = GetPlatformBackendHooks().windowDestroyed) {
            hook(each);
        }
        // Gone at once, so that no later WM_DESTROY handler of the tree reaches it.
        std::lock_guard<std::mutex> lock(platformMutex);
        if (!liveWindows.erase(each)) {
            continue;
        }
        if (PlatformWindow* parent = FindLiveWindow(each->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), each), siblings.end());
        }
        each->children.clear();
        each->parts.clear();
        each->text.clear();
        each->lastPaint.clear();
    }
    WakeAllMessageQueues();
    return 1;
}

int IsWindowOfCallingThread(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record && OwnedHere(*record) ? 1 : 0;
}

int IsPlatformWindow(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    return FindLiveWindow(window) ? 1 : 0;
}

MessageResult DefaultWindowProcedure(WindowHandle window, unsigned message, MessageWParam,
                                     MessageLParam lparam) {
    switch (message) {
        case WM_SETTEXT: {
            std::string text = lparam ? reinterpret_cast<const char*>(lparam) : "";
            {
                std::lock_guard<std::mutex> lock(platformMutex);
                PlatformWindow* record = FindLiveWindow(window);
                if (!record) {
                    return 0;
                }
                record->text = text;
            }
            if (auto hook = GetPlatformBackendHooks().windowTextChanged) {
                hook(window, text);
            }
            return 1;
        }
        case WM_CLOSE:
            DestroyPlatformWindow(window);
            return 0;
        default:
            return 0;
    }
}

int SetPlatformWindowText(WindowHandle window, const std::string& text) {
    return SendWindowMessage(window, WM_SETTEXT, 0, reinterpret_cast<MessageLParam>(text.c_str()))
               ? 1
               : 0;
}

std::string GetPlatformWindowText(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->text : std::string();
}

int ShowPlatformWindow(WindowHandle window, int show) {
    int previous = 0;
    int sizeChange = 0;
    WindowRect restored = {};
    {
        std::lock_guard<std::mutex> lock(platformMutex);
        PlatformWindow* record = FindLiveWindow(window);
        if (!record) {
            return 0;
        }
        previous = record->visible;
        record->visible = show != SW_HIDE ? 1 : 0;

        int minimise = show == SW_MINIMIZE ? 1 : 0;
        sizeChange = record->minimised != minimise;
        record->minimised = minimise;
        restored = record->rect;
        if (record->visible && !record->minimised) {
            NotifyQueues();  // an invalid window that comes on screen gets its WM_PAINT
        }
    }
    if (auto hook = GetPlatformBackendHooks().windowShown) {
        hook(window, show != SW_HIDE ? 1 : 0);
    }
    if (sizeChange) {
        int minimised = show == SW_MINIMIZE;
        SendWindowMessage(
            window, WM_SIZE,
            static_cast<MessageWParam>(minimised ? 0 : std::max(0, restored.right - restored.left)),
            minimised ? 0 : std::max(0, restored.bottom - restored.top));
    }
    return previous;
}

int IsPlatformWindowVisible(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->visible : 0;
}

int IsPlatformWindowMinimised(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->minimised : 0;
}

int GetWindowClientRect(WindowHandle window, WindowRect* rect) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record || !rect) {
        return 0;
    }
    if (record->minimised) {
        *rect = WindowRect{};
        return 1;
    }
    *rect = WindowRect{0, 0, record->rect.right - record->rect.left,
                       record->rect.bottom - record->rect.top};
    return 1;
}

int GetPlatformWindowRect(WindowHandle window, WindowRect* rect) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record || !rect) {
        return 0;
    }
    *rect = record->rect;
    return 1;
}

int MovePlatformWindow(WindowHandle window, const WindowRect& rect) {
    int minimised = 0;
    {
        std::lock_guard<std::mutex> lock(platformMutex);
        PlatformWindow* record = FindLiveWindow(window);
        if (!record) {
            return 0;
        }
        record->rect = rect;
        minimised = record->minimised;
    }
    if (auto hook = GetPlatformBackendHooks().windowMoved) {
        hook(window, rect);
    }
    SendWindowMessage(
        window, WM_SIZE,
        static_cast<MessageWParam>(minimised ? 0 : std::max(0, rect.right - rect.left)),
        minimised ? 0 : std::max(0, rect.bottom - rect.top));
    return 1;
}

WindowHandle GetParentWindow(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->parent : nullptr;
}

std::vector<WindowHandle> GetChildWindows(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->children : std::vector<WindowHandle>();
}

std::vector<WindowHandle> GetTopLevelWindows() {
    std::lock_guard<std::mutex> lock(platformMutex);
    std::vector<WindowHandle> windows;
    for (const auto& record : allWindows) {
        if (record->parent == nullptr && liveWindows.count(record.get()) && !record->destroying) {
            windows.push_back(record.get());
        }
    }
    return windows;
}

WindowHandle GetChildWindow(WindowHandle parent, int id) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(parent);
    if (!record) {
        return nullptr;
    }
    for (WindowHandle child : record->children) {
        if (child->id == id) {
            return child;
        }
    }
    return nullptr;
}

std::string GetWindowClassName(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->className : std::string();
}

int SetWindowUserData(WindowHandle window, std::intptr_t data) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record) {
        return 0;
    }
    record->userData = data;
    return 1;
}

std::intptr_t GetWindowUserData(WindowHandle window) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->userData : 0;
}

int PostWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                      MessageLParam lparam) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record || record->destroying || record->queue->threadGone) {
        return 0;
    }
    record->queue->posted.push_back(WindowMessage{window, message, wparam, lparam});
    NotifyQueues();
    return 1;
}

MessageResult SendWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam) {
    WindowMessage request{window, message, wparam, lparam};
    std::unique_lock<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record) {
        return 0;
    }
    if (OwnedHere(*record)) {
        lock.unlock();
        return CallProcedure(request);
    }
    if (record->destroying) {
        return 0;
    }
    return HandToOwner(record->queue, request, 0, lock);
}

void PostLoopQuit(int exitCode) {
    std::lock_guard<std::mutex> lock(platformMutex);
    ThreadMessageQueue& queue = CurrentQueueLocked();
    queue.quitPending = 1;
    queue.quitCode = exitCode;
    NotifyQueues();
}

int WaitWindowMessage(WindowMessage* message) {
    std::unique_lock<std::mutex> lock(platformMutex);
    ThreadMessageQueue& queue = CurrentQueueLocked();
    queue.loopEnded = 0;
    const bool pumpHere = pumpQueue == currentQueue.queue;
    bool toolkitPolled = false;
    for (;;) {
        HandleSentMessages(queue, lock);
        if (TakeMessage(queue, PM_REMOVE, message)) {
            return 1;
        }
        if (queue.quitPending) {
            queue.quitPending = 0;
            queue.loopEnded = 1;
            AbortPendingSends(queue);
            *message =
                WindowMessage{nullptr, WM_QUIT, static_cast<MessageWParam>(queue.quitCode), 0};
            return 0;
        }
        WindowMessage low;
        if (TakePaint(queue, PM_NOREMOVE, &low) || TakeDueTimer(queue, PM_NOREMOVE, &low)) {
            // Paints and timers rank below input: the toolkit's pending input is posted here
            // first, so that a timer that is always due (a redraw slower than its period) cannot
            // keep the user's keys and clicks out.
            if (pumpHere && installedPump.poll && !toolkitPolled) {
                toolkitPolled = true;
                const GuiPump pump = installedPump;
                lock.unlock();
                pump.poll(0);
                lock.lock();
                continue;
            }
            if (TakePaint(queue, PM_REMOVE, message) || TakeDueTimer(queue, PM_REMOVE, message)) {
                return 1;
            }
        }
        if (!queue.sent.empty()) {
            continue;  // sent while the earlier ones were handled
        }
        const std::int64_t delay = NextTimerDelay(queue);
        if (pumpHere && installedPump.wait) {
            // The toolkit's own events are handled while waiting; its handlers only post here.
            const GuiPump pump = installedPump;
            lock.unlock();
            pump.wait(delay);
            lock.lock();
        } else if (delay < 0) {
            queueChanged.wait(lock);
        } else {
            queueChanged.wait_for(lock, std::chrono::milliseconds(delay));
        }
    }
}

int PeekWindowMessage(WindowMessage* message, int remove) {
    std::unique_lock<std::mutex> lock(platformMutex);
    if (pumpQueue && pumpQueue == currentQueue.queue && installedPump.poll) {
        // Without removal only sent messages may run, so the user's input stays in the toolkit.
        const GuiPump pump = installedPump;
        lock.unlock();
        pump.poll(remove == PM_NOREMOVE ? 1 : 0);
        lock.lock();
    }
    ThreadMessageQueue& queue = CurrentQueueLocked();
    HandleSentMessages(queue, lock);
    if (TakeMessage(queue, remove, message)) {
        return 1;
    }
    if (queue.quitPending) {
        *message = WindowMessage{nullptr, WM_QUIT, static_cast<MessageWParam>(queue.quitCode), 0};
        if (remove) {
            queue.quitPending = 0;
        }
        return 1;
    }
    return TakePaint(queue, remove, message) || TakeDueTimer(queue, remove, message) ? 1 : 0;
}

MessageResult DispatchWindowMessage(const WindowMessage& message) {
    if (!message.window || message.message == WM_QUIT) {
        return 0;
    }
    if (IsNativeNotification(message.message)) {
        return HandleNativeNotification(message);
    }
    return CallProcedure(message);
}

int RunMessageLoop() {
    WindowMessage message;
    while (WaitWindowMessage(&message)) {
        DispatchWindowMessage(message);
    }
    return static_cast<int>(message.wparam);
}

unsigned StartWindowTimer(WindowHandle window, unsigned id, unsigned elapseMs) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record || record->destroying) {
        return 0;
    }
    elapseMs = std::max(record->queue == pumpQueue ? kGuiTimerFloorMs : 1u, elapseMs);
    std::uint64_t due = GetTickMilliseconds() + elapseMs;
    auto& timers = record->queue->timers;
    auto found = FindTimer(timers, window, id);
    if (found == timers.end()) {
        timers.push_back(WindowTimer{window, id, elapseMs, due});
    } else {
        found->elapseMs = elapseMs;
        found->dueMs = due;
    }
    NotifyQueues();
    return id;
}

int StopWindowTimer(WindowHandle window, unsigned id) {
    std::lock_guard<std::mutex> lock(platformMutex);
    PlatformWindow* record = FindLiveWindow(window);
    if (!record) {
        return 0;
    }
    auto& timers = record->queue->timers;
    auto found = FindTimer(timers, window, id);
    if (found == timers.end()) {
        return 0;
    }
    timers.erase(found);
    return 1;
}

MessageObserver SetMessageObserver(MessageObserver observer) {
    std::unique_lock<std::mutex> lock(observerMutex);
    std::shared_ptr<ObserverSlot> previous = std::move(installedObserver);
    if (observer) {
        installedObserver = std::make_shared<ObserverSlot>();
        installedObserver->observe = std::move(observer);
    }
    if (!previous) {
        return {};
    }
    // Calls of this thread further up the stack cannot end before this one returns.
    int runningHere = static_cast<int>(
        std::count(observersRunningHere.begin(), observersRunningHere.end(), previous.get()));
    observerIdle.wait(lock, [&] { return previous->running <= runningHere; });
    return previous->observe;
}

}  // namespace mirexa
