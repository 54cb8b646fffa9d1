// A recording stand-in for the shell's main window: a main window (which answers the status
// refresh requests of other threads) with a ten-part status bar and the two progress bars, a
// manual clock at 0, a trace of every status text, bar position and title set, and fake hooks
// whose answers the test sets. Restores the program-wide switches on destruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"
#include "services/ui_hooks.h"

namespace mirexa {

struct RecordedControlCall {
    WindowHandle window = {};
    unsigned message = {};
    int part = {};          // status bar part
    unsigned flags = {};    // status bar SBT_ flags
    std::string text = {};  // status bar or window text
    int value = {};         // progress bar position
};

// Answers of the fake hooks; reset by every FakeUi.
struct FakeHookAnswers {
    int activePathReader = -1;
    int readerHasBlockCount = 0;
    std::int32_t readerBlockCount = 0;
    std::int64_t programLineCount = 0;
    std::string progressName = {};
    int batchMode = 0;
    int stopBeforeBlock = 0;
    int titleUpdates = 0;  // calls of updateMainTitle
    CursorHandle viewCursor = {};
};
extern FakeHookAnswers FakeAnswers;

class FakeUi {
public:
    FakeUi();
    ~FakeUi();
    FakeUi(const FakeUi&) = delete;
    FakeUi& operator=(const FakeUi&) = delete;

    // Texts set on a status bar part, in order.
    std::vector<std::string> StatusTexts(int part) const;
    // Positions set on a progress bar, in order.
    std::vector<int> BarPositions(WindowHandle bar) const;
    // Texts set on the main window, in order.
    std::vector<std::string> Titles() const;
    void ClearRecord();

    WindowHandle mainWindow = {};
    WindowHandle statusBar = {};
    WindowHandle progressBar = {};
    WindowHandle progressBar2 = {};
    std::vector<RecordedControlCall> calls = {};

private:
    ProgressHooks savedHooks_ = {};
};

}  // namespace mirexa
