// A recording command sink for the automation: every command the automation sends is recorded
// with its lparam and the paths and flags it was sent with; the command's outcome (load, select,
// report, save, run end) and the length of a cutting run (in polls) are scripted by the test.
// Calls meant for the user-interface thread run on the test's thread. Restores the records the
// automation touches on destruction.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_records.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/main_window.h"
#include "shell/nc_data_commands.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"

namespace mirexa::testing {

struct SentCommand {
    unsigned command = {};
    MessageLParam lparam = {};
    // What the command found when it was handled.
    std::string stockFile = {};
    std::string ncFile = {};
    std::string saveFile = {};
    std::string toolsFile = {};
    std::string controllerFile = {};
    std::string machineFile = {};
    int stockGiven = {};
    int ncGiven = {};
    BatchRunKind batchKind = BatchRunKind::kNone;
    int reportMode = {};
    int saveKind = {};
    int batchRun = {};
    int differencePaint = {};
    int presetPath = {};
    DifferencePaintChoices difference = {};
};

struct SinkScript {
    int loadResult = 1;
    int selectionError = 0;
    int reportError = 0;
    int runEnd = kCutCompleted;
    int saveResult = 1;
    int definitionResult = 1;
    int runPolls = 3;                  // polls a cutting run stays active
    int signalAtPoll = -1;             // raise AbortSignalReceived at this poll (-1 never)
    int windowGoneAfterCommands = -1;  // the main window goes away after this many commands
    int programStatus = 0;             // what an EXEC'd program returns
    unsigned failCommand = 0;          // this command records a failure of the batch
};

struct SinkRecord {
    std::vector<SentCommand> commands = {};
    std::vector<unsigned> systemCommands = {};
    std::vector<std::pair<std::string, std::string>> programs = {};
    int donePosts = {};
    int polls = {};
    int abortRequests = {};
    int activePolls = {};  // of the current run
};

inline SinkScript Script;
inline SinkRecord Record;

class RecordingSink {
public:
    RecordingSink() {
        Script = SinkScript{};
        Record = SinkRecord{};
        savedCommandLine_ = CommandLine;
        savedFiles_ = DefinitionFiles;
        savedSettings_ = Settings;
        savedStock_ = InitialStock;
        savedAutomatic_ = AutomaticMode.load();
        savedSuppressed_ = DrawingSuppressed.load();
        savedPresetPath_ = MainWindowData.presetPathFlag;
        MainWindowData.presetPathFlag = 0;
        SetAutomationStandIn(&kStandIn);
        AutomationOutcome = AutomationOutcomeRecord{};
        BatchFailureCode.store(0);
        AbortSignalReceived.store(0);
        ResetAutomationRun();
        StatusInputs = StatusBarInputs{};
    }
    ~RecordingSink() {
        SetAutomationStandIn(nullptr);
        MainWindowData.presetPathFlag = savedPresetPath_;
        CommandLine = savedCommandLine_;
        DefinitionFiles = savedFiles_;
        Settings = savedSettings_;
        InitialStock = savedStock_;
        AutomaticMode.store(savedAutomatic_);
        DrawingSuppressed.store(savedSuppressed_);
        BatchFailureCode.store(0);
        AbortSignalReceived.store(0);
        StatusInputs = StatusBarInputs{};
        CloseLogFile();
    }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    // The command ids in the order they were sent.
    static std::vector<unsigned> Ids() {
        std::vector<unsigned> ids;
        for (const SentCommand& sent : Record.commands) {
            ids.push_back(sent.command);
        }
        return ids;
    }

private:
    // The file a command's request names, or null for a command that takes none.
    static std::string* RequestedFile(unsigned command) {
        switch (command) {
            case IDM_STOCK_READ:
                return &DefinitionFiles.stockFile;
            case IDM_STOCK_SAVE:
                return &DefinitionFiles.saveFile;
            case IDM_NC_SELECT:
            case IDM_NC_SELECT_OPTIMAL_STOCK:
                return &DefinitionFiles.ncProgramFile;
            case IDM_TOOLS_FILE:
                return &DefinitionFiles.toolsFile;
            case IDM_CONTROLLER_FILE:
                return &DefinitionFiles.controllerFile;
            case IDM_MACHINE_FILE:
                return &DefinitionFiles.machineFile;
            default:
                return nullptr;
        }
    }

    static void Send(unsigned command, MessageLParam lparam) {
        SentCommand sent;
        sent.command = command;
        sent.lparam = lparam;
        // A request's path is what the commands take (and keep) in place of the named file, and
        // a request is a preset as the command line's files are.
        const AutomationRequest* request = CurrentAutomationRequest();
        if (std::string* file = RequestedFile(command);
            file != nullptr && request != nullptr && !request->path.empty()) {
            *file = request->path;
            if (command == IDM_STOCK_READ) {
                InitialStock.kind = kStockFromFile;
            }
        }
        sent.stockFile = DefinitionFiles.stockFile;
        sent.ncFile = DefinitionFiles.ncProgramFile;
        sent.saveFile = DefinitionFiles.saveFile;
        sent.toolsFile = DefinitionFiles.toolsFile;
        sent.controllerFile = DefinitionFiles.controllerFile;
        sent.machineFile = DefinitionFiles.machineFile;
        sent.stockGiven = request != nullptr || CommandLine.stockGiven != 0 ? 1 : 0;
        sent.ncGiven = request != nullptr || CommandLine.ncGiven != 0 ? 1 : 0;
        const bool cut =
            command == IDM_CUT_REAL || command == IDM_CUT_SKIP || command == IDM_CUT_RESULT;
        sent.batchKind = request != nullptr && cut ? request->batchKind : CommandLine.batchKind;
        sent.reportMode =
            request != nullptr && command == IDM_NC_REPORT ? request->kind : CommandLine.reportMode;
        sent.saveKind = command == IDM_STOCK_SAVE ? static_cast<int>(lparam) : CommandLine.saveKind;
        sent.batchRun = request != nullptr && cut ? request->batchRun : CommandLine.batchRun;
        // A paint the automation asks for with a request is the command line's paint of the
        // difference: no dialog, and the request's choices become the program's.
        const bool paint = command == IDM_PAINT_DIFFERENCE && request != nullptr;
        sent.differencePaint = paint ? 1 : CommandLine.differencePaint;
        if (paint && request->differenceGiven != 0) {
            Settings.difference = request->difference;
        }
        sent.presetPath = request != nullptr || MainWindowData.presetPathFlag != 0 ? 1 : 0;
        sent.difference = Settings.difference;
        Record.commands.push_back(sent);
        if (command == Script.failCommand) {
            BatchFailureCode.store(kBatchExitFileError);
        }
        switch (command) {
            case IDM_STOCK_READ:
                AutomationOutcome.stockLoadResult = Script.loadResult;
                break;
            case IDM_NC_SELECT:
            case IDM_NC_SELECT_OPTIMAL_STOCK:
                AutomationOutcome.selectionError = Script.selectionError;
                break;
            case IDM_NC_REPORT:
                AutomationOutcome.reportError = Script.reportError;
                break;
            case IDM_CUT_REAL:
            case IDM_CUT_SKIP:
            case IDM_CUT_RESULT:
                Record.activePolls = Script.runPolls;
                AutomationOutcome.runEnd = Script.runEnd;
                // The run start opens the log for the logged batch kinds and takes the command
                // line's; the automation's run ignores the stop option.
                if (BatchKindLogsRun(sent.batchKind)) {
                    OpenLogFile();
                }
                if (request != nullptr) {
                    IgnoreStopOptionInBatch();
                }
                CommandLine.batchKind = BatchRunKind::kNone;
                break;
            case IDM_STOCK_SAVE:
                AutomationOutcome.saveResult = Script.saveResult;
                break;
            case IDM_TOOLS_FILE:
            case IDM_CONTROLLER_FILE:
            case IDM_MACHINE_FILE:
                AutomationOutcome.definitionResult = Script.definitionResult;
                break;
            default:
                break;
        }
    }

    CommandLineSwitches savedCommandLine_;
    DefinitionFilePaths savedFiles_;
    ProgramSettings savedSettings_;
    StockDefinition savedStock_;
    int savedAutomatic_ = 0;
    int savedSuppressed_ = 0;
    int savedPresetPath_ = 0;

    static constexpr AutomationStandIn kStandIn = {
        .runOnMainThread =
            [](const std::function<void()>& call) {
                if (Script.windowGoneAfterCommands >= 0 &&
                    static_cast<int>(Record.commands.size()) >= Script.windowGoneAfterCommands) {
                    return 0;
                }
                call();
                return 1;
            },
        .sendCommand = Send,
        .sendSystemCommand = [](unsigned code) { Record.systemCommands.push_back(code); },
        .runActive =
            [] {
                if (Record.activePolls > 0) {
                    --Record.activePolls;
                    return 1;
                }
                return 0;
            },
        .requestRunAbort =
            [] {
                ++Record.abortRequests;
                Record.activePolls = 0;
                AutomationOutcome.runEnd = kCutAborted;
            },
        .postDone = [] { ++Record.donePosts; },
        .pollPause =
            [] {
                if (Record.polls++ == Script.signalAtPoll) {
                    AbortSignalReceived.store(15);
                }
            },
        .runProgram =
            [](const std::string& program, const std::string& argument) {
                Record.programs.emplace_back(program, argument);
                return Script.programStatus;
            },
    };
};

}  // namespace mirexa::testing
