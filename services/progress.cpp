// Progress display and message pumps. The run state is guarded by one mutex; the display is
// changed after the mutex is released, because a display update from the simulation thread waits
// for the user-interface thread, which may itself be updating the progress.
#include "services/progress.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <mutex>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/file_info.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"

namespace mirexa {

namespace {

std::mutex progressMutex;
ProgressState mainProgress;
ProgressState secondProgress;
MessagePumpTimers pumpTimers;
MessagePumpTimers pumpWaitTimers;

bool HookSays(int (*hook)()) {
    return hook && hook() != 0;
}

bool InBatchMode() {
    return HookSays(UiHooks.batchMode);
}

// A path-reader plug-in reads the selected NC file.
bool ReaderIsActive() {
    return UiHooks.activePathReader && UiHooks.activePathReader() >= 0;
}

bool ActiveReaderLacksBlockCount() {
    return ReaderIsActive() && !HookSays(UiHooks.activeReaderHasBlockCount);
}

std::int64_t HeldProgramLines() {
    return UiHooks.heldProgramLineCount ? UiHooks.heldProgramLineCount() : 0;
}

std::uint64_t FileSizeOrZero(const char* fileName) {
    std::uint64_t size = 0;
    if (fileName) {
        GetFileSizeBytes(fileName, &size);  // a failed query counts as size 0
    }
    return size;
}

// Per-mille of the run, rounded; clamped so a counter far above the total cannot overflow.
std::int32_t ComputePerMille(const ProgressState& state) {
    double value = static_cast<double>(state.work.load()) * state.scale + 0.5;
    constexpr double most = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, 0.0, most));
}

void ResetRun(ProgressState& state, std::uint64_t total) {
    state.total = std::max<std::uint64_t>(1, total);
    state.scale = 1000.0 / static_cast<double>(state.total);
    state.work.store(0);
    state.lastShown = 0;
    state.firstUpdateDone = 0;
}

void AddWork(ProgressState& state, std::int64_t n) {
    std::uint64_t current = state.work.load();
    std::uint64_t next;
    do {
        if (n >= 0) {
            auto add = static_cast<std::uint64_t>(n);
            next = current > std::numeric_limits<std::uint64_t>::max() - add
                       ? std::numeric_limits<std::uint64_t>::max()
                       : current + add;
        } else {
            std::uint64_t take = static_cast<std::uint64_t>(-(n + 1)) + 1;
            next = current > take ? current - take : 0;
        }
    } while (!state.work.compare_exchange_weak(current, next));
}

std::string FormatPercent(std::int32_t perMille) {
    char text[PROGRESS_TEXT_CAPACITY];
    FormatProgressText(text, "%5.1f%c", perMille / 10.0, '%');
    return text;
}

// Cuts text to at most bytes bytes without splitting a UTF-8 character.
std::string CutOnCharacterBoundary(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return text.substr(0, cut);
}

// "caption:percent" and the stop mark; the caption is shortened so that the whole text fits.
void BuildTitleText(const std::string& caption, std::int32_t perMille, bool stop,
                    char (&title)[PROGRESS_TEXT_CAPACITY]) {
    std::string suffix = ":" + FormatPercent(perMille);
    if (stop) {
        suffix += ChooseLanguageText("-STOP!", "-停止!");
    }
    std::size_t room =
        PROGRESS_TEXT_CAPACITY - 1 > suffix.size() ? PROGRESS_TEXT_CAPACITY - 1 - suffix.size() : 0;
    std::string shown = CutOnCharacterBoundary(caption, room);
    FormatProgressText(title, "%s%s", shown.c_str(), suffix.c_str());
}

void SetProgressBar(WindowHandle bar, int position) {
    SendWindowMessage(bar, PBM_SETPOS, static_cast<MessageWParam>(position), 0);
}

void StartProgressBar(WindowHandle bar) {
    SendWindowMessage(bar, PBM_SETRANGE, 0, PROGRESS_BAR_MAX);
    SendWindowMessage(bar, PBM_SETSTEP, 1, 0);
    SetProgressBar(bar, 0);
    ShowPlatformWindow(bar, SW_SHOW);
}

void RebuildMainTitle(WindowHandle window) {
    if (UiHooks.updateMainTitle) {
        UiHooks.updateMainTitle(window);
    }
}

std::uint32_t PumpOnce(MessagePumpTimers& timers, bool restoreCursor) {
    timers.nowMs = static_cast<std::uint32_t>(GetTickMilliseconds());
    timers.elapsedMs = timers.nowMs - timers.lastDispatchMs;
    if (timers.elapsedMs <= MESSAGE_PUMP_INTERVAL_MS) {
        return timers.elapsedMs;
    }
    if (PeekWindowMessage(&timers.message, PM_REMOVE)) {
        if (timers.message.message == WM_QUIT) {
            // The loop that ends the program must still see its quit request.
            PostLoopQuit(static_cast<int>(timers.message.wparam));
        } else {
            DispatchWindowMessage(timers.message);
            if (restoreCursor && UiHooks.viewCursor) {
                SetCursorHandle(UiHooks.viewCursor());
            }
        }
    }
    timers.lastDispatchMs = timers.nowMs;
    return timers.nowMs;
}

}  // namespace

int FormatProgressText(char (&buffer)[PROGRESS_TEXT_CAPACITY], const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, PROGRESS_TEXT_CAPACITY, format, arguments);
    va_end(arguments);
    if (length < 0 || length >= PROGRESS_TEXT_CAPACITY) {
        buffer[0] = '\0';
        return -1;
    }
    return length;
}

void BeginProgress(WindowHandle titleWindow, int mode, std::uint64_t total, const char* fileName,
                   int factor, const char* captionJapanese, const char* captionEnglish) {
    // 1. The total by mode.
    std::uint64_t runTotal = 1;
    if (mode == PROGRESS_MODE_TOTAL) {
        runTotal = total;
    } else if (mode == PROGRESS_MODE_READER_BLOCKS) {
        std::int32_t count = 0;
        if (UiHooks.readActiveReaderBlockCount &&
            UiHooks.readActiveReaderBlockCount(fileName, &count) && count > 0) {
            runTotal = static_cast<std::uint64_t>(count);
        }
    } else if (mode == PROGRESS_MODE_PROGRAM_LINES) {
        std::int64_t lines = HeldProgramLines();
        runTotal = lines > 0 ? static_cast<std::uint64_t>(lines) : 1;
    } else {
        std::uint64_t size = FileSizeOrZero(fileName);
        auto multiplier = static_cast<std::uint64_t>(std::max(0, factor));
        bool overflows =
            multiplier != 0 && size > std::numeric_limits<std::uint64_t>::max() / multiplier;
        runTotal = overflows ? std::numeric_limits<std::uint64_t>::max() : size * multiplier;
    }
    const char* english = captionEnglish ? captionEnglish : "";
    const char* japanese = captionJapanese ? captionJapanese : "";
    std::string userCaption = ChooseLanguageText(english, japanese);
    const char* name = UiHooks.progressName ? UiHooks.progressName() : nullptr;
    std::string caption = name && *name ? std::string(name) : userCaption;
    bool batch = InBatchMode();
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        // 2. Reset.
        ResetRun(mainProgress, runTotal);
        mainProgress.advanceCount = 0;
        mainProgress.rewritePeriod = 1;
        mainProgress.lastRewriteMs = GetTickMilliseconds();
        mainProgress.titleWindow = titleWindow;
        mainProgress.titleText[0] = '\0';
        // 3. The caption.
        mainProgress.caption = caption;
        if (!batch) {
            mainProgress.statusText = userCaption;
        }
    }
    // 4. Batch mode: the caption in the title and nothing else.
    if (batch) {
        SetPlatformWindowText(titleWindow, caption);
        return;
    }
    // 5. The status text in the main title, and the main bar.
    RebuildMainTitle(titleWindow);
    StartProgressBar(MainProgressBar.load());
}

void BeginProgressForNcFile(WindowHandle titleWindow, const char* ncFileName,
                            const char* captionJapanese, const char* captionEnglish) {
    if (ReaderIsActive()) {
        if (HookSays(UiHooks.activeReaderHasBlockCount)) {
            BeginProgress(titleWindow, PROGRESS_MODE_READER_BLOCKS, 0, ncFileName, 1,
                          captionJapanese, captionEnglish);
        }
        return;
    }
    BeginProgress(titleWindow,
                  HeldProgramLines() >= 1 ? PROGRESS_MODE_PROGRAM_LINES : PROGRESS_MODE_FILE_SIZE,
                  0, ncFileName, 1, captionJapanese, captionEnglish);
}

void AddProgressWork(std::int64_t n) {
    AddWork(mainProgress, n);
}

void IncrementProgressWork() {
    AddWork(mainProgress, 1);
}

std::uint32_t GetProgressWork() {
    return static_cast<std::uint32_t>(mainProgress.work.load());
}

void UpdateProgress(int force) {
    bool titleMode = DrawingSuppressed.load() != 0;
    std::string percent;
    std::string title;
    WindowHandle titleWindow = nullptr;
    int barPosition = -1;
    bool primeBar = false;
    bool paceTitle = false;
    std::int32_t p = 0;
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        ProgressState& state = mainProgress;
        p = ComputePerMille(state);
        titleWindow = state.titleWindow;
        bool first = p == 0 && !state.firstUpdateDone;
        if (first) {
            state.firstUpdateDone = 1;
            if (titleMode) {
                BuildTitleText(state.caption, 0, false, state.titleText);
                title = state.titleText;
            } else {
                state.percentText = FormatPercent(0);
                percent = state.percentText;
                primeBar = true;
            }
        } else if (!force && p <= state.lastShown) {
            return;
        } else if (!titleMode) {
            state.percentText = FormatPercent(p);
            percent = state.percentText;
            barPosition = p;
            state.lastShown = p;
        } else {
            ++state.advanceCount;
            if (state.advanceCount < state.rewritePeriod &&
                p - state.lastShown <= PROGRESS_TITLE_JUMP && p < 1000) {
                state.lastShown = p;
                return;
            }
            bool stop = HookSays(UiHooks.stopBeforeBlockRequested);
            BuildTitleText(state.caption, p, stop, state.titleText);
            title = state.titleText;
            paceTitle = true;
        }
    }
    if (!titleMode) {
        WindowHandle bar = MainProgressBar.load();
        SetStatusBarText(MainStatusBar.load(), 1, 0, percent);
        if (primeBar) {
            // Moving the bar away and back makes it repaint at 0.
            SetProgressBar(bar, 10);
            SetProgressBar(bar, 0);
        } else {
            SetProgressBar(bar, barPosition);
        }
        return;
    }
    SetPlatformWindowText(titleWindow, title);
    if (!paceTitle) {
        return;
    }
    for (int i = 0; i < 10; ++i) {
        SleepMilliseconds(1);  // lets the title repaint
    }
    std::lock_guard<std::mutex> lock(progressMutex);
    ProgressState& state = mainProgress;
    std::uint64_t now = GetTickMilliseconds();
    std::uint64_t elapsed = std::max<std::uint64_t>(1, now - state.lastRewriteMs);
    // Pace so that about one rewrite happens per PROGRESS_TITLE_PERIOD_MS.
    std::int64_t period = static_cast<std::int64_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(state.rewritePeriod) * PROGRESS_TITLE_PERIOD_MS / elapsed,
        std::numeric_limits<std::int32_t>::max()));
    state.advanceCount = 0;
    state.rewritePeriod = std::max<std::int64_t>(1, period);
    state.lastRewriteMs = now;
    state.lastShown = p;
}

void UpdateProgressForActiveReader(int force) {
    if (!ActiveReaderLacksBlockCount()) {
        UpdateProgress(force);
    }
}

void EndProgress() {
    WindowHandle titleWindow;
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        mainProgress.percentText.clear();
        mainProgress.statusText.clear();
        titleWindow = mainProgress.titleWindow;
    }
    // While drawing is suppressed the window keeps what it shows (the title keeps its last
    // "caption:percent"); the run's texts are forgotten all the same, so that a title rebuilt or
    // a part restored later does not show a run that has ended.
    if (DrawingSuppressed.load()) {
        return;
    }
    WindowHandle bar = MainStatusBar.load();
    SetStatusBarText(bar, 0, SBT_NOBORDERS, "");
    SetStatusBarText(bar, 1, SBT_NOBORDERS, "");
    ShowPlatformWindow(MainProgressBar.load(), SW_HIDE);
    RebuildMainTitle(titleWindow);
}

void EndProgressForActiveReader() {
    if (!ActiveReaderLacksBlockCount()) {
        EndProgress();
    }
}

void RestoreProgressText() {
    std::string percent;
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        percent = mainProgress.percentText;
    }
    SetStatusBarText(MainStatusBar.load(), 1, percent.empty() ? SBT_NOBORDERS : 0, percent);
}

void BeginProgress2(WindowHandle, const char* fileName, std::int64_t heldLength) {
    std::uint64_t total =
        heldLength >= 0 ? static_cast<std::uint64_t>(heldLength) : FileSizeOrZero(fileName);
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        ResetRun(secondProgress, total);
    }
    if (!InBatchMode()) {
        StartProgressBar(SecondProgressBar.load());
    }
}

void AddProgressWork2(std::int64_t n) {
    AddWork(secondProgress, n);
}

void UpdateProgress2(int force) {
    bool titleMode = DrawingSuppressed.load() != 0;
    std::int32_t p;
    bool first;
    {
        std::lock_guard<std::mutex> lock(progressMutex);
        ProgressState& state = secondProgress;
        p = ComputePerMille(state);
        first = !state.firstUpdateDone;
        state.firstUpdateDone = 1;
        bool advanced = force || p > state.lastShown;
        if (titleMode) {
            // The title shows only the main run; the nested run just keeps count.
            if (advanced) {
                state.lastShown = p;
            }
            return;
        }
        if (!first) {
            if (!advanced) {
                return;
            }
            state.lastShown = p;
        }
    }
    WindowHandle bar = SecondProgressBar.load();
    if (first) {
        SetProgressBar(bar, p + 10);
    }
    SetProgressBar(bar, p);
}

void EndProgress2() {
    if (!DrawingSuppressed.load()) {
        SetStatusBarText(MainStatusBar.load(), 2, SBT_NOBORDERS, "");
    }
    ShowPlatformWindow(SecondProgressBar.load(), SW_HIDE);
}

std::string GetProgressStatusText() {
    std::lock_guard<std::mutex> lock(progressMutex);
    return mainProgress.statusText;
}

std::int32_t GetProgressPerMille() {
    std::lock_guard<std::mutex> lock(progressMutex);
    return ComputePerMille(mainProgress);
}

std::int32_t GetProgressPerMille2() {
    std::lock_guard<std::mutex> lock(progressMutex);
    return ComputePerMille(secondProgress);
}

std::uint32_t PumpMessagesEvery3s() {
    return PumpOnce(pumpTimers, false);
}

std::uint32_t PumpMessagesEvery3sWait() {
    return PumpOnce(pumpWaitTimers, true);
}

void ResetMessagePumpTimers() {
    pumpTimers = MessagePumpTimers{};
    pumpWaitTimers = MessagePumpTimers{};
}

}  // namespace mirexa
