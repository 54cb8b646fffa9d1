// The definition-file watch and the re-read chains of changed files.
#include "shell/definition_watch.h"

#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/definition_keywords.h"
#include "config/holder_file.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "platform/file_info.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "shell/hook_calls.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "simulation/cutting_run.h"
#include "view/display_lists.h"
#include "view/view_window.h"

namespace mirexa {

DefinitionWatchState DefinitionWatch;

namespace {

struct WatchedFileView {
    int status;  // 1 read, -1 not found, 0 not watched
    const std::string* path;
    const FileWriteTime* storedTime;
    const char* changedEnglish;
    const char* changedJapanese;
    const char* missingEnglish;
    const char* missingJapanese;
};

WatchedFileView ViewOf(WatchedFile file) {
    switch (file) {
        case WatchedFile::Tools:
            return {ToolFile.status,
                    &ToolFile.path,
                    &ToolFile.fileTime,
                    "Because the TTL-file has been update, it reads.",
                    "工具設定ファイルが更新されているので読み込みます。",
                    "The TTL-file is not found.",
                    "工具設定ファイルが見つかりません。"};
        case WatchedFile::Holder:
            return {StagedHolderFile.status,
                    &StagedHolderFile.path,
                    &StagedHolderFile.writeTime,
                    "Because the ATL-file has been update, it reads.",
                    "アーバー定義ファイルが更新されているので読み込みます。",
                    nullptr,
                    nullptr};
        case WatchedFile::Controller:
            return {Controller.status,
                    &Controller.path,
                    &Controller.fileTime,
                    "Because the CTL-file has been update, it reads.",
                    "コントローラー定義ファイルが更新されているので読み込みます。",
                    "The CTL-file is not found.",
                    "コントローラー定義ファイルが見つかりません。"};
        case WatchedFile::Machine:
            break;
    }
    return {Machine.status,
            &Machine.path,
            &Machine.fileTime,
            "Because the MTL-file has been update, it reads.",
            "機械定義ファイルが更新されているので読み込みます。",
            "The MTL-file is not found.",
            "機械定義ファイルが見つかりません。"};
}

void ShowWatchMessage(WindowHandle window, const char* english, const char* japanese) {
    ShowMessageBox(window, ChooseLanguageText(english, japanese), EDITION_NAME,
                   MBX_OK | MBX_ICONINFORMATION | MBX_TOPMOST);
}

void ShowWatchProblem(WindowHandle window, const std::string& text) {
    ShowMessageBox(window, text, EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
}

// Why the file at path cannot be read as a definition file (opened as the readers open it, a
// regular file that holds something): the error of the open, -1 for an empty file, or 0 when it
// can be read. *shown: the file the error is of (a file of the name in the working folder that is
// there but refused, when path, looked for beside the program after it, is not there).
int UnreadableError(const std::string& path, std::string* shown) {
    if (const int error = FindFileRefusal(path, DefinitionFiles.currentDirectory, shown)) {
        return error;
    }
    std::uint64_t size = 0;
    return GetFileSizeBytes(path, &size) && size == 0 ? -1 : 0;
}

// The message of the file shown that cannot be read: the file, the reason, and whether the
// records of an earlier reading stay in use.
std::string UnreadableText(const WatchedFileView& f, const std::string& shown, int error) {
    std::string text = shown + " - ";
    if (f.missingEnglish != nullptr && error == ENOENT) {
        text += ChooseLanguageText(f.missingEnglish, f.missingJapanese);
    } else {
        text += ChooseLanguageText("The file cannot be read: ", "ファイルを読めません: ") +
                (error < 0 ? std::string(ChooseLanguageText("empty", "空です"))
                           : DescribeFileError(error)) +
                ChooseLanguageText(".", "。");
    }
    if (f.status == 1) {
        text += ChooseLanguageText(" The definitions read before stay in use.",
                                   "前に読んだ定義をそのまま使います。");
    }
    return text;
}

// The controller or machine file's knowledge of its lines, null for the other files.
using KnownLineTest = int (*)(const char* line);
KnownLineTest KnownLineTestOf(WatchedFile file) {
    return file == WatchedFile::Controller ? IsKnownControllerLine
           : file == WatchedFile::Machine  ? IsKnownMachineLine
                                           : nullptr;
}

// 1 when the controller or machine file was read without a line its reader knows.
int ReadWithNothingUsable(WatchedFile file) {
    return file == WatchedFile::Controller ? Controller.status == 1 && Controller.knownLines == 0
           : file == WatchedFile::Machine  ? Machine.status == 1 && Machine.knownLines == 0
                                           : 0;
}

std::string NothingUsableText(const WatchedFileView& f, bool keptRecords) {
    return *f.path +
           ChooseLanguageText(" - The definition file holds nothing to use.",
                              " - 定義ファイルに使える内容がありません。") +
           (keptRecords ? ChooseLanguageText(" The definitions read before stay in use.",
                                             "前に読んだ定義をそのまま使います。")
                        : "");
}

// The re-read chain of a file that can be read; a tools file that yields no tool is taken back
// and its reason returned.
std::string ReReadKeepingTools(WindowHandle window, WatchedFile file) {
    const ToolFileReading kept = KeepToolFileReading();
    ReadChangedDefinitionFile(window, file);
    if (file != WatchedFile::Tools && file != WatchedFile::Holder) {
        return {};
    }
    if (ToolFile.status == 1 && ToolTablesHoldATool()) {
        if (ToolFile.unusableHolderFiles == 0) {
            return {};
        }
        // A holder file read again without a holder: its tools keep the holder they had.
        const std::string problem = ToolFile.holderFileProblem;
        if (file == WatchedFile::Holder && kept.file.unusableHolderFiles == 0) {
            RestoreToolFileReading(RunSession, RunKinematics, RunTools, kept);
            SceneDirty.tools.store(1);
            UpdateMachinePosition(RunKinematics);
        }
        return problem;
    }
    const std::string problem =
        ToolFile.path +
        ChooseLanguageText(
            " - The tools file holds no tool. The definitions read before stay in "
            "use.",
            " - 工具設定ファイルに工具がありません。前に読んだ定義をそのまま使います。");
    RestoreToolFileReading(RunSession, RunKinematics, RunTools, kept);
    SceneDirty.tools.store(1);
    UpdateMachinePosition(RunKinematics);
    return problem;
}

// The working directory, full length, with a trailing "/".
std::string WorkingDirectory() {
    std::error_code error;
    std::string directory = std::filesystem::current_path(error).string();
    if (error) {
        return "";
    }
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

// The view's rotary-table animation stops, as the controller it followed is read again.
void StopViewAnimation() {
    ViewWindowState& v = ViewWindow;
    if (v.animationRunning && MainWindowData.handles.view != nullptr) {
        StopWindowTimer(MainWindowData.handles.view, kViewAnimateTimerId);
    }
    v.animationRunning = 0;
    v.animationCounter = 0;
}

void FinishReRead(WindowHandle window, SoundEffect sound) {
    UpdateMainTitle(window);
    PlaySoundEffect(sound);
    CallHook(RunCallbacks.repaintToolPanel);
    RedrawMainWindow(window);
}

}  // namespace

void ReadChangedDefinitionFile(WindowHandle window, WatchedFile file) {
    switch (file) {
        case WatchedFile::Tools:
        case WatchedFile::Holder:
            ReadToolFile(RunSession, RunKinematics, RunTools);
            SceneDirty.tools.store(1);
            UpdateMachinePosition(RunKinematics);
            MarkMachineListsDirty();
            FinishReRead(window, SoundEffect::ToolChange);
            return;
        case WatchedFile::Controller:
        case WatchedFile::Machine:
            StopViewAnimation();
            ReadControllerFile(RunSession, RunKinematics);
            CallHook(StartupCallbacks.createPanelBrush);
            DrawStatusBar();
            ReadMachineFile(file == WatchedFile::Machine ? 1 : 0);
            ReadToolFile(RunSession, RunKinematics, RunTools);
            SceneDirty.tools.store(1);
            UpdateMachinePosition(RunKinematics);
            MarkMachineListsDirty();
            FinishReRead(window, SoundEffect::WorkSet);
            return;
    }
}

int CheckDefinitionFilesChanged(WindowHandle window) {
    DefinitionWatchState& w = DefinitionWatch;
    if (w.checkState == 2 || WindowRun.mode.load() != RunMode::kIdle) {
        return 0;
    }
    const std::string& start = DefinitionFiles.currentDirectory;
    const std::string here = WorkingDirectory();
    if (start.empty() || here.size() != start.size() ||
        strcasecmp(here.c_str(), start.c_str()) != 0) {
        return 0;
    }
    w.checkState = 2;
    int reRead = 0;
    for (int i = 0; i < kWatchedFileCount; ++i) {
        const auto file = static_cast<WatchedFile>(i);
        const WatchedFileView f = ViewOf(file);
        if ((f.status != 1 && f.status != -1) || f.path->empty()) {
            continue;
        }
        const FileWriteTime now = GetFileWriteTime(*f.path);
        if (w.missingReported[i] ? now == w.reportedTime[i]
                                 : f.status == 1 && now == *f.storedTime) {
            continue;  // unchanged since it was read, or since it was reported
        }
        // A file that cannot be read, or holds no line its reader knows, is not read: what was
        // read before stays in use.
        std::string shown;
        const int error = UnreadableError(*f.path, &shown);
        const KnownLineTest known = KnownLineTestOf(file);
        if (error == 0 && f.status == 1 && known != nullptr &&
            !DefinitionFileHoldsKnownLine(*f.path, known)) {
            w.missingReported[i] = 1;
            w.reportedTime[i] = now;
            ShowWatchProblem(window, NothingUsableText(f, true));
            continue;
        }
        if (error != 0) {
            w.missingReported[i] = 1;
            w.reportedTime[i] = now;
            // A holder file never read is told below, as the tools file's reading found it.
            if (file != WatchedFile::Holder || f.status == 1) {
                ShowWatchProblem(window, UnreadableText(f, shown, error));
            }
            continue;
        }
        w.missingReported[i] = 0;
        ShowWatchMessage(window, f.changedEnglish, f.changedJapanese);
        const std::string problem = ReReadKeepingTools(window, file);
        ++reRead;
        if (!problem.empty()) {
            w.missingReported[i] = 1;
            w.reportedTime[i] = now;
            w.holderProblemShown = problem;
            ShowWatchProblem(window, problem);
        }
    }
    // A controller or machine file read without anything to use (at start-up, or chosen since).
    for (int i = 0; i < kWatchedFileCount; ++i) {
        const auto file = static_cast<WatchedFile>(i);
        if (!ReadWithNothingUsable(file)) {
            w.nothingUsableShown[i] = 0;
        } else if (AutomaticMode.load() == 0 && !w.nothingUsableShown[i]) {
            w.nothingUsableShown[i] = 1;
            ShowWatchProblem(window, NothingUsableText(ViewOf(file), false));
        }
    }
    // A holder file the tools file names that gave no holder, at start-up or in a reading since.
    if (ToolFile.status != 1 || ToolFile.unusableHolderFiles == 0) {
        w.holderProblemShown.clear();
    } else if (AutomaticMode.load() == 0 && ToolFile.holderFileProblem != w.holderProblemShown) {
        w.holderProblemShown = ToolFile.holderFileProblem;
        ShowWatchProblem(window, ToolFile.holderFileProblem);
    }
    w.checkState = 1;
    return reRead;
}

}  // namespace mirexa
