// Shared by the tests of the alarm messages, the interference decisions and reports and the end
// of a run: a scratch working directory, the program-wide switches and records these tests change
// (restored afterwards), recording fakes of the shell's hooks, and the reports of the test's run.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/interference_reports.h"
#include "simulation/run_reports.h"
#include "simulation/run_ui_hooks.h"
#include "support/scratch_directory.h"

namespace mirexa::testing {

// What the fake hooks saw, in order ("viewer <path>", "sound SystemHand", "kind <text>",
// "toolpanel").
struct HookRecord {
    std::mutex mutex;
    std::vector<std::string> calls;
    void Add(const std::string& call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(call);
    }
    std::size_t Size() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.size();
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }
};
inline HookRecord Hooks;

// Closes the files a run's reports hold open and clears what they recorded (the motion snapshot
// and the tool-length output stay).
inline void CloseRunReportFiles(RunReports& reports) {
    if (reports.interference.stream != nullptr) {
        std::fclose(reports.interference.stream);
    }
    reports.interference = InterferenceReportState{};
    if (reports.limitLog.stream != nullptr) {
        std::fclose(reports.limitLog.stream);
    }
    reports.limitLog = LimitLogState{};
    CloseWarningFile(reports.warningFile);
    reports.shown.clear();
    ResetInterferenceKinds(reports.kinds);
}

// A test with the working directory and the log directory in a scratch directory, the shell's
// hooks recording, a user present (not automatic), Japanese, sounds on, and every check off.
class RunReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocations_ = FileLocations;
        FileLocations.currentDirectory = scratch_.Path();
        FileLocations.logDirectory = scratch_.Path();
        savedAutomatic_ = AutomaticMode.load();
        savedLanguage_ = UiLanguage.load();
        AutomaticMode = 0;
        UiLanguage = 0;
        savedChecks_ = Checks;
        Checks = CheckSettings{};
        Checks.interference = 0;
        savedSound_ = Settings.sound;
        Settings.sound = 1;
        savedNoReportDisplay_ = CommandLine.noReportDisplay;
        CommandLine.noReportDisplay = 0;
        savedHooks_ = RunUiCallbacks;
        RunUiCallbacks = RunUiHooks{};
        RunUiCallbacks.openInViewer = [](const char* path) {
            Hooks.Add(std::string("viewer ") + path);
        };
        RunUiCallbacks.playSystemSound = [](const char* name) {
            Hooks.Add(std::string("sound ") + name);
        };
        RunUiCallbacks.setCollisionKindText = [](const char* text) {
            Hooks.Add(std::string("kind ") + text);
        };
        RunUiCallbacks.repaintToolPanel = [] { Hooks.Add("toolpanel"); };
        Hooks.Take();
        CloseLogFile();
    }
    void TearDown() override {
        CloseRunReportFiles(reports_);
        CloseLogFile();
        RunUiCallbacks = savedHooks_;
        CommandLine.noReportDisplay = savedNoReportDisplay_;
        Settings.sound = savedSound_;
        Checks = savedChecks_;
        UiLanguage = savedLanguage_;
        AutomaticMode = savedAutomatic_;
        FileLocations = savedLocations_;
    }

    std::string Path(const std::string& name) const {
        return scratch_.At(name);
    }
    std::string Read(const std::string& name) const {
        return ReadWholeFile(scratch_.At(name));
    }
    std::string LogText() const {
        return ReadWholeFile(scratch_.At("mirexa.log"));
    }

    ScratchDirectory scratch_;
    // The test's run (on RunSession and the current stock) and its reports.
    std::unique_ptr<CuttingRun> run_ = std::make_unique<CuttingRun>();
    RunReports& reports_ = run_->reports;

private:
    FileLocationSettings savedLocations_;
    int savedAutomatic_ = 0;
    int savedLanguage_ = 0;
    CheckSettings savedChecks_;
    std::int32_t savedSound_ = 0;
    std::int32_t savedNoReportDisplay_ = 0;
    RunUiHooks savedHooks_;
};

}  // namespace mirexa::testing
