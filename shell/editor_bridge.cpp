// The external editor bridge: classification of the editor program, its arguments, the window
// it is found by, and the jumps, cursor moves and closing sent to it.
#include "shell/editor_bridge.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>

#include "config/config_records.h"
#include "config/holder_file.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "nc/plugin_slots.h"
#include "platform/file_replacement.h"
#include "platform/message_box.h"
#include "platform/program_start.h"
#include "plugins/mirexa_plugin.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/editor_permission.h"
#include "shell/nc_data_commands.h"
#include "shell/plugin_host.h"
#include "shell/status_bar.h"
#include "view/view_window.h"

namespace mirexa {

EditorBridgeState EditorBridge;

namespace {

constexpr unsigned kTeraPadJumpMessage = WM_USER + 100;
constexpr unsigned kKeyDown = 40;  // the Down key's code

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The last path element in lower case, without ".exe".
std::string ProgramStem(const std::string& program) {
    std::string name = Lower(std::filesystem::path(program).filename().string());
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) {
        name.resize(name.size() - 4);
    }
    return name;
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

void Replace(std::string* text, const std::string& from, const std::string& to) {
    for (std::size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size())) {
        text->replace(at, from.size(), to);
    }
}

void SayCannotStart(WindowHandle owner, const std::string& program) {
    ShowMessageBox(
        owner,
        ChooseLanguageText("The editor could not be started: ", "エディターを起動できません: ") +
            program,
        EDITION_NAME, MBX_OK | MBX_ICONWARNING | MBX_TOPMOST);
}

// The first window the program can reach whose title begins with one of the titles (kind 1:
// ends with the title suffix); none when no such window exists, as for editors of other
// processes on this platform.
WindowHandle FindEditorWindow(const EditorBridgeState& e, const std::string& suffix) {
    for (WindowHandle window : GetTopLevelWindows()) {
        const std::string title = GetPlatformWindowText(window);
        for (const std::string& wanted : e.titles) {
            if (!wanted.empty() && title.compare(0, wanted.size(), wanted) == 0) {
                return window;
            }
        }
        if (!suffix.empty() && title.size() > suffix.size() &&
            title.compare(title.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            title.find(FileNameOf(e.ncPath)) != std::string::npos) {
            return window;
        }
    }
    return nullptr;
}

// The interpreter (simulation thread) jumps and moves the editor while the user-interface thread
// may open or close it: the state is read and changed under this mutex, and messages are sent
// to the editor with it released.
std::mutex bridgeMutex;

// The editor plug-in's export, null when it is not loaded or has none.
template <class Fn>
Fn EditorPluginExport(int index) {
    return IsPluginLoaded(kPluginEditor, 0) ? PluginExport<Fn>(kPluginEditor, 0, index) : nullptr;
}

// A copy of the linked editor, when there is one still alive (the plug-in's says it is).
int TakeLinkedEditor(EditorBridgeState* out) {
    std::lock_guard lock(bridgeMutex);
    EditorBridgeState& e = EditorBridge;
    if (e.kind == kEditorPlugin && e.linked) {
        *out = e;
        return 1;
    }
    if (!e.linked || e.window == nullptr || !IsPlatformWindow(e.window)) {
        e.linked = 0;
        e.window = nullptr;
        return 0;
    }
    *out = e;
    return 1;
}

// Whether the text is one jump macro as EditorJumpMacroText writes it.
bool IsJumpMacroText(const std::string& text) {
    constexpr char kHead[] = "moveto 0,";
    constexpr std::size_t headLength = sizeof kHead - 1;
    if (text.compare(0, headLength, kHead) != 0 || text.size() < headLength + 3) {
        return false;
    }
    const std::size_t digitsEnd = text.size() - 2;
    for (std::size_t i = headLength; i < digitsEnd; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return text.compare(digitsEnd, 2, ";\n") == 0;
}

void LogJumpMacroRefused(const std::string& macroPath) {
    AppendLogEntry(ChooseLanguageText("The editor's jump macro is not written: ",
                                      "エディターのジャンプマクロを書き込みません: ") +
                   macroPath +
                   ChooseLanguageText(" holds other text\n", " には別の内容があります\n"));
}

// Writes the jump macro for the line where JumpMacroWritable allows it, looked at again for each
// write (the file may have been replaced since the last).
void WriteJumpMacro(const EditorBridgeState& e, int line) {
    if (!e.macroPath.empty() && JumpMacroWritable(e.macroPath, e.program)) {
        ReplaceFileContents(e.macroPath, EditorJumpMacroText(line), 0, -1, FileLinks::Replace);
    }
}

}  // namespace

EditorProgramKind ClassifyEditorProgram(const std::string& program) {
    const std::string stem = ProgramStem(program);
    EditorProgramKind k;
    if (stem == "maruo") {
        k = {kEditorMacro, " - Maruo", "Maruo", 0};
    } else if (stem == "hidemaru") {
        k = {kEditorMacro, " - 秀丸", "秀丸エディタ", 0};
    } else if (stem == "terapad") {
        k.kind = kEditorTeraPad;
    } else if (stem == "k2editor") {
        k.kind = kEditorK2;
    } else if (stem == "miw") {
        k.miwQuoting = 1;
    }
    return k;
}

std::vector<std::string> EditorWindowTitles(int kind, const std::string& ncPath) {
    const std::string name = FileNameOf(ncPath);
    if (kind == kEditorTeraPad) {
        return {name + " - TeraPad", name + " * - TeraPad"};
    }
    if (kind == kEditorK2) {
        return {ncPath + " - K2Editor", name + " - K2Editor", name + "[", "[変更]" + name + "["};
    }
    return {};
}

std::string RewriteEditorOption(const std::string& option, int kind) {
    if (option != "%1") {
        return option;
    }
    if (kind == kEditorMacro || kind == kEditorK2) {
        return "/j%2 %1";
    }
    return kind == kEditorTeraPad ? "/j=%2 %1" : option;
}

std::vector<std::string> BuildEditorArguments(const std::string& option, const std::string& file,
                                              int line) {
    std::vector<std::string> words;
    for (std::string word : SplitCommandWords(option)) {
        Replace(&word, "%2", std::to_string(std::max(line, 1)));
        Replace(&word, "%1", file);
        words.push_back(word);
    }
    return words;
}

int SelectEditorMacroCommand(int slot) {
    if (slot < 0 || slot > 80) {
        return 283;
    }
    if (slot < 16) {
        return 145 + slot;
    }
    return slot <= 30 ? 189 + slot : 203 + slot;
}

std::string EditorJumpMacroText(int line) {
    return "moveto 0," + std::to_string(std::max(line, 1) - 1) + ";\n";
}

std::string EditorJumpMacroPath(const std::string& editorProgram, const std::string& macroName) {
    const std::filesystem::path macro = macroName;
    return macro.has_parent_path()
               ? macroName
               : (std::filesystem::path(editorProgram).parent_path() / macro).string();
}

int JumpMacroWritable(const std::string& macroPath, const std::string& editorProgram) {
    const std::filesystem::path macro = macroPath;
    const std::string ownName = ProgramSettings{}.editorMacroName;
    if (strcasecmp(macro.filename().c_str(), ownName.c_str()) == 0 &&
        macro.parent_path() == std::filesystem::path(editorProgram).parent_path()) {
        return 1;
    }
    std::string text;
    const int read = ReadWholeRegularFile(macroPath, &text, 64);
    return read == 0 || (read == 1 && IsJumpMacroText(text)) ? 1 : 0;
}

int ChooseEditorLine(std::int64_t pickedLine, std::int64_t currentLine) {
    const std::int64_t line =
        pickedLine != 0 ? (pickedLine < 0 ? -pickedLine : pickedLine) : currentLine;
    return static_cast<int>(std::clamp<std::int64_t>(line, 1, INT32_MAX));
}

int OpenNcInEditor(WindowHandle owner, int line) {
    const std::string path = DefinitionFiles.ncProgramFile;
    // A program read through a path-reader plug-in has no text to edit.
    if (AutomaticMode.load() != 0 || path.empty() || Settings.editorProgram.empty() ||
        NcDataCommands.selectedState == 0 || NcDataCommands.activePathReader >= 0) {
        return 0;
    }
    EditorBridgeState open;
    if (TakeLinkedEditor(&open) && strcasecmp(open.ncPath.c_str(), path.c_str()) == 0) {
        ShowPlatformWindow(open.window, SW_RESTORE);
        SetFocusWindow(open.window);
        return 1;
    }
    EditorProgramKind k = ClassifyEditorProgram(Settings.editorProgram);
    const bool pluginLoaded = IsPluginLoaded(kPluginEditor, 0) != 0;
    if (k.kind == kEditorPlain && Settings.editorKind == kEditorPlugin && pluginLoaded) {
        k.kind = kEditorPlugin;
    }
    std::vector<std::string> words = SplitCommandWords(Settings.editorProgram);
    for (const std::string& word :
         BuildEditorArguments(RewriteEditorOption(Settings.editorOption, k.kind), path, line)) {
        words.push_back(word);
    }
    // The program and its words come from the settings file whoever drives the editor later (a
    // plug-in's rewrite included): asked about first, and nothing is written before the answer.
    // The file asked about is the one that runs.
    const std::string programFile = words.empty() ? std::string() : FindProgramFile(words[0], "");
    if (programFile.empty()) {
        SayCannotStart(owner, Settings.editorProgram);
        return 0;
    }
    if (!MayStartEditorCommand(owner, Settings.editorProgram + " " + Settings.editorOption, words,
                               programFile)) {
        return 0;
    }
    if (k.kind != kEditorPlain && k.kind != kEditorPlugin && pluginLoaded) {
        ResetEditorPlugin();  // an editor the program drives itself needs no plug-in
    }
    EditorBridgeState e;
    e.kind = k.kind;
    e.ncPath = path;
    e.titles = EditorWindowTitles(k.kind, path);
    e.program = Settings.editorProgram;
    if (k.kind == kEditorMacro) {
        e.macroCommand = SelectEditorMacroCommand(Settings.editorMacroNumber);
        e.macroPath = EditorJumpMacroPath(Settings.editorProgram, Settings.editorMacroName);
        if (!JumpMacroWritable(e.macroPath, Settings.editorProgram)) {
            LogJumpMacroRefused(e.macroPath);
            e.macroPath.clear();  // the editor opens the file, but takes no line jumps
        }
        WriteJumpMacro(e, 1);
    }
    if (!StartDetachedProgram(words, "", programFile)) {
        SayCannotStart(owner, Settings.editorProgram);
        return 0;
    }
    LogEditorStart(words);
    e.canJump = k.kind >= kEditorMacro && k.kind <= kEditorK2 &&
                        !(k.kind == kEditorMacro && e.macroPath.empty())
                    ? 1
                    : 0;
    if (k.kind == kEditorPlugin) {
        if (auto find = EditorPluginExport<MxeditorFindWindowFn>(kEditorFindWindow)) {
            int linked = 0;
            find(path.c_str(), &linked);
            e.linked = linked != 0 ? 1 : 0;
        }
        e.canJump = EditorPluginExport<void*>(kEditorJump) != nullptr ||
                            EditorPluginExport<void*>(kEditorJump2) != nullptr
                        ? 1
                        : 0;
    } else if (e.canJump) {
        e.window = FindEditorWindow(e, k.titleSuffix);
        e.linked = e.window != nullptr ? 1 : 0;
    }
    std::lock_guard lock(bridgeMutex);
    EditorBridge = e;
    return 1;
}

int EditorLinked() {
    EditorBridgeState e;
    return TakeLinkedEditor(&e);
}

int EditorCanJump() {
    EditorBridgeState e;
    return TakeLinkedEditor(&e) && e.canJump;
}

void JumpEditorToLine(int line) {
    EditorBridgeState e;
    if (!TakeLinkedEditor(&e)) {
        return;
    }
    if (e.kind == kEditorPlugin) {
        const int column = 0;
        if (auto jump2 = EditorPluginExport<MxeditorJump2Fn>(kEditorJump2)) {
            jump2(&line, &column);
        } else if (auto jump = EditorPluginExport<MxeditorLineFn>(kEditorJump)) {
            jump(&line);
        }
    } else if (e.kind == kEditorMacro && !e.macroPath.empty()) {
        WriteJumpMacro(e, line);
        SendWindowMessage(e.window, WM_COMMAND, static_cast<unsigned>(e.macroCommand), 0);
    } else if (e.kind == kEditorTeraPad) {
        SendWindowMessage(e.window, kTeraPadJumpMessage, static_cast<unsigned>(line), 0);
    }
}

void MoveEditorCursor(int direction) {
    EditorBridgeState e;
    if (!TakeLinkedEditor(&e)) {
        return;
    }
    if (e.kind == kEditorPlugin) {
        const int line = static_cast<int>(RunSession.line.mainLineNumber);
        auto down2 = EditorPluginExport<MxeditorLineFn>(kEditorDown2);
        if (direction == 1) {
            if (auto top = EditorPluginExport<MxeditorPlainFn>(kEditorTop)) {
                top();
            }
        } else if (down2 != nullptr) {
            down2(&line);
        } else if (auto down = EditorPluginExport<MxeditorPlainFn>(kEditorDown)) {
            down();
        }
    } else if (e.kind == kEditorMacro) {
        if (direction == 1) {
            SendWindowMessage(e.window, WM_COMMAND, 23, 0);
        } else {
            SendWindowMessage(e.window, WM_COMMAND, 15, 0);
            SendWindowMessage(e.window, WM_KEYUP, kKeyDown, 0);
        }
    } else if (e.kind == kEditorTeraPad) {
        SendWindowMessage(e.window, kTeraPadJumpMessage, static_cast<unsigned>(direction), 0);
    }
}

void CloseEditor() {
    EditorBridgeState e;
    if (TakeLinkedEditor(&e)) {
        if (e.kind == kEditorPlugin) {
            if (auto exit = EditorPluginExport<MxeditorPlainFn>(kEditorExit)) {
                exit();
            }
        } else {
            const unsigned command = e.kind == kEditorMacro     ? 10
                                     : e.kind == kEditorTeraPad ? 42
                                                                : 17;
            SendWindowMessage(e.window, WM_COMMAND, command, 0);
        }
    }
    std::lock_guard lock(bridgeMutex);
    EditorBridge.window = nullptr;
    EditorBridge.linked = 0;
}

int OpenFileInEditor(WindowHandle owner, const std::string& program, const std::string& file) {
    if (AutomaticMode.load() != 0 || file.empty()) {
        return 0;
    }
    std::vector<std::string> words = SplitCommandWords(program);
    words.push_back(file);
    const std::string programFile = words.size() >= 2 ? FindProgramFile(words[0], "") : "";
    if (programFile.empty()) {
        SayCannotStart(owner, program);
        return 0;
    }
    if (!MayStartEditorCommand(owner, program, words, programFile)) {
        return 0;
    }
    if (!StartDetachedProgram(words, "", programFile)) {
        SayCannotStart(owner, program);
        return 0;
    }
    LogEditorStart(words);
    return 1;
}

void OpenDefinitionFileInEditor(WindowHandle owner, int which) {
    auto orDefault = [](const std::string& editor) {
        return editor.empty() ? Settings.editorProgram : editor;
    };
    const DefinitionFilePaths& d = DefinitionFiles;
    switch (which) {
        case kViewEditorSettings:
            OpenFileInEditor(owner, orDefault(Settings.settingsEditor), d.settingsPath);
            return;
        case kViewEditorVerifyForm: {
            std::error_code error;
            const std::string here = "verify_form.def";
            const std::string file = std::filesystem::exists(here, error)
                                         ? std::filesystem::absolute(here, error).string()
                                         : d.programDirectory + here;
            OpenFileInEditor(owner, orDefault(Settings.definitionEditor), file);
            return;
        }
        case kViewEditorTools:
            if (StagedHolderFile.status != 0 && !StagedHolderFile.path.empty()) {
                OpenFileInEditor(owner, orDefault(Settings.toolsEditor), StagedHolderFile.path);
            }
            OpenFileInEditor(owner, orDefault(Settings.toolsEditor), d.toolsFile);
            return;
        case kViewEditorController:
            OpenFileInEditor(owner, orDefault(Settings.controllerEditor), d.controllerFile);
            return;
        case kViewEditorMachine:
            OpenFileInEditor(owner, orDefault(Settings.machineEditor), d.machineFile);
            return;
        default:
            return;
    }
}

}  // namespace mirexa
