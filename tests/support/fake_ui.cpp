// The recording main window of the tests and its fake hooks.
#include "support/fake_ui.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "shell/status_bar.h"

namespace mirexa {

FakeHookAnswers FakeAnswers;

namespace {

// The main window's part of the status refresh of other threads.
MessageResult FakeMainProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam) {
    if (message == WM_STATUS_REFRESH) {
        return HandleStatusRefresh();
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

}  // namespace

FakeUi::FakeUi() {
    FakeAnswers = FakeHookAnswers{};
    UiLanguage.store(0);
    DrawingSuppressed.store(0);
    UseManualClock(1, 0);
    ResetMessagePumpTimers();

    WindowCreateParams params;
    params.text = "main";
    params.procedure = FakeMainProcedure;
    params.rect = WindowRect{0, 0, 800, 600};
    mainWindow = CreatePlatformWindow(params);
    statusBar = CreateStatusBar(mainWindow, 1);
    SetStatusBarParts(statusBar, {100, 200, 300, 400, 500, 600, 650, 700, 750, -1});
    progressBar = CreateProgressBar(mainWindow, 2, WindowRect{0, 578, 100, 600});
    progressBar2 = CreateProgressBar(mainWindow, 3, WindowRect{100, 578, 200, 600});
    MainWindow.store(mainWindow);
    MainStatusBar.store(statusBar);
    MainProgressBar.store(progressBar);
    SecondProgressBar.store(progressBar2);

    savedHooks_ = UiHooks;
    UiHooks = ProgressHooks{};
    UiHooks.updateMainTitle = [](WindowHandle) { ++FakeAnswers.titleUpdates; };
    UiHooks.activePathReader = [] { return FakeAnswers.activePathReader; };
    UiHooks.activeReaderHasBlockCount = [] { return FakeAnswers.readerHasBlockCount; };
    UiHooks.readActiveReaderBlockCount = [](const char*, std::int32_t* count) {
        *count = FakeAnswers.readerBlockCount;
        return 1;
    };
    UiHooks.heldProgramLineCount = [] { return FakeAnswers.programLineCount; };
    UiHooks.progressName = [] { return FakeAnswers.progressName.c_str(); };
    UiHooks.batchMode = [] { return FakeAnswers.batchMode; };
    UiHooks.stopBeforeBlockRequested = [] { return FakeAnswers.stopBeforeBlock; };
    UiHooks.viewCursor = [] { return FakeAnswers.viewCursor; };

    SetMessageObserver([this](const WindowMessage& m) {
        RecordedControlCall call;
        call.window = m.window;
        call.message = m.message;
        auto text = [&m] { return m.lparam ? reinterpret_cast<const char*>(m.lparam) : ""; };
        if (m.message == SB_SETTEXT && m.window == statusBar) {
            call.part = static_cast<int>(m.wparam & SB_PART_MASK);
            call.flags = static_cast<unsigned>(m.wparam & ~MessageWParam{SB_PART_MASK});
            call.text = text();
        } else if (m.message == WM_SETTEXT) {
            call.text = text();
        } else if (m.message == PBM_SETPOS &&
                   (m.window == progressBar || m.window == progressBar2)) {
            call.value = static_cast<int>(m.wparam);
        } else {
            return;
        }
        calls.push_back(call);
    });
}

FakeUi::~FakeUi() {
    SetMessageObserver({});
    UiHooks = savedHooks_;
    MainWindow.store(nullptr);
    MainStatusBar.store(nullptr);
    MainProgressBar.store(nullptr);
    SecondProgressBar.store(nullptr);
    DestroyPlatformWindow(mainWindow);
    UseManualClock(0);
    UiLanguage.store(0);
    DrawingSuppressed.store(0);
}

std::vector<std::string> FakeUi::StatusTexts(int part) const {
    std::vector<std::string> texts;
    for (const auto& call : calls) {
        if (call.message == SB_SETTEXT && call.window == statusBar && call.part == part) {
            texts.push_back(call.text);
        }
    }
    return texts;
}

std::vector<int> FakeUi::BarPositions(WindowHandle bar) const {
    std::vector<int> positions;
    for (const auto& call : calls) {
        if (call.message == PBM_SETPOS && call.window == bar) {
            positions.push_back(call.value);
        }
    }
    return positions;
}

std::vector<std::string> FakeUi::Titles() const {
    std::vector<std::string> titles;
    for (const auto& call : calls) {
        if (call.message == WM_SETTEXT && call.window == mainWindow) {
            titles.push_back(call.text);
        }
    }
    return titles;
}

void FakeUi::ClearRecord() {
    calls.clear();
}

}  // namespace mirexa
