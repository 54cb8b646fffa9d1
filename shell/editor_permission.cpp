// The user's answers on the editor commands of settings files: a Yes kept per settings file and
// command in the user's configuration folder, a No asked again at the next request, each start
// logged.
#include "shell/editor_permission.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>

#include "config/config_records.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/status_bar.h"

namespace mirexa {

namespace {

constexpr char kDefaultEditor[] = "xdg-open";

std::mutex answersMutex;
std::set<std::string> allowedCommands;  // keys (settings path, tab, command) answered Yes
bool answersRead = false;

// A field of the answers file: "\\", tab, line feed and carriage return escaped.
std::string EscapeField(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string KeyOf(const std::string& settings, const std::string& command) {
    return EscapeField(settings) + "\t" + EscapeField(command);
}

// Reads the answers file once: lines "yes", tab, the escaped settings path, tab, the escaped
// command. A line "no" (kept by earlier versions) binds nothing: the question comes again.
void ReadAnswers() {
    if (answersRead) {
        return;
    }
    answersRead = true;
    const std::string path = EditorAnswersPath();
    std::string text;
    if (path.empty() || ReadWholeRegularFile(path, &text) != 1) {
        return;
    }
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        const std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            if (line.compare(0, tab, "yes") == 0) {
                allowedCommands.insert(line.substr(tab + 1));
            }
        }
    }
}

// Keeps a Yes for this and later sessions.
void KeepYes(const std::string& key) {
    allowedCommands.insert(key);
    const std::string path = EditorAnswersPath();
    if (path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "yes\t%s\n", key.c_str());
        std::fclose(file);
    } else {
        AppendLogEntry(
            path + ChooseLanguageText(": the answer cannot be kept\n", ": 回答を保存できません\n"));
    }
}

// The words as a command line: a word with a blank or a quote is quoted.
std::string JoinWords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) {
            line += ' ';
        }
        if (word.empty() || word.find_first_of(" \t\"'") != std::string::npos) {
            line += '"' + word + '"';
        } else {
            line += word;
        }
    }
    return line;
}

}  // namespace

std::string EditorAnswersPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/mirexa/editor_commands";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/mirexa/editor_commands";
    }
    return {};
}

int MayStartEditorCommand(WindowHandle owner, const std::string& command,
                          const std::vector<std::string>& words) {
    const std::string line = JoinWords(words);
    const std::string& settingsPath = DefinitionFiles.settingsPath;
    const bool builtIn =
        command == kDefaultEditor || command == std::string(kDefaultEditor) + " %1";
    if (settingsPath.empty() || builtIn) {
        return 1;
    }
    std::error_code error;
    const std::string settings = std::filesystem::absolute(settingsPath, error).string();
    const std::string key = KeyOf(settings, command);
    {
        std::lock_guard lock(answersMutex);
        ReadAnswers();
        if (allowedCommands.count(key) != 0) {
            return 1;
        }
    }
    // Asked at every request until the answer is Yes: a No (the default, what Enter gives) is
    // never kept, so the editor is never switched off without a word.
    const int answer = ShowMessageBox(
        owner,
        ChooseLanguageText("The settings file ", "設定ファイル ") + settings +
            ChooseLanguageText(" starts this editor command:\n\n",
                               " は次のエディターコマンドを起動します:\n\n") +
            line +
            ChooseLanguageText("\n\nStart it? Yes is kept for this settings file and command; "
                               "after No you are asked again the next time the editor is opened.",
                               "\n\n起動しますか? 「はい」はこの設定ファイルとコマンドについて"
                               "保存されます。「いいえ」の場合は、次にエディターを開くときに再度"
                               "確認します。"),
        EDITION_NAME, MBX_YESNO | MBX_ICONQUESTION | MBX_DEFBUTTON2 | MBX_TOPMOST);
    if (answer != MBX_IDYES) {
        AppendLogEntry(
            ChooseLanguageText("Editor command not allowed, not started: ",
                               "許可されていないエディターコマンドのため起動しません: ") +
            line + "\n");
        return 0;
    }
    std::lock_guard lock(answersMutex);
    KeepYes(key);
    return 1;
}

void LogEditorStart(const std::vector<std::string>& words) {
    AppendLogEntry(ChooseLanguageText("Editor started: ", "エディターを起動しました: ") +
                   JoinWords(words) + "\n");
}

void ForgetEditorAnswers() {
    std::lock_guard lock(answersMutex);
    allowedCommands.clear();
    answersRead = false;
}

}  // namespace mirexa
