// The user's answers on the editor commands of settings files: asked once per settings file and
// command, kept in the user's configuration folder, each start logged.
#include "shell/editor_permission.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

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
std::map<std::string, int> answers;  // key: settings path, "\n", command; 1 yes, 0 no
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

// Reads the answers file once: lines "yes" or "no", tab, the escaped settings path, tab, the
// escaped command.
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
            const std::string answer = line.substr(0, tab);
            if (answer == "yes" || answer == "no") {
                answers[line.substr(tab + 1)] = answer == "yes" ? 1 : 0;
            }
        }
    }
}

void KeepAnswer(const std::string& key, int allowed) {
    answers[key] = allowed;
    const std::string path = EditorAnswersPath();
    if (path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\t%s\n", allowed ? "yes" : "no", key.c_str());
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
    int allowed = -1;
    {
        std::lock_guard lock(answersMutex);
        ReadAnswers();
        const auto found = answers.find(key);
        allowed = found != answers.end() ? found->second : -1;
    }
    if (allowed < 0) {
        const int answer = ShowMessageBox(
            owner,
            ChooseLanguageText("The settings file ", "設定ファイル ") + settings +
                ChooseLanguageText(" starts this editor command:\n\n",
                                   " は次のエディターコマンドを起動します:\n\n") +
                line +
                ChooseLanguageText("\n\nStart it? The answer is kept for this settings file and "
                                   "command.",
                                   "\n\n起動しますか? この回答はこの設定ファイルとコマンドについて"
                                   "保存されます。"),
            EDITION_NAME, MBX_YESNO | MBX_ICONQUESTION | MBX_DEFBUTTON2 | MBX_TOPMOST);
        allowed = answer == MBX_IDYES ? 1 : 0;
        std::lock_guard lock(answersMutex);
        KeepAnswer(key, allowed);
    }
    if (!allowed) {
        AppendLogEntry(
            ChooseLanguageText("Editor command not allowed, not started: ",
                               "許可されていないエディターコマンドのため起動しません: ") +
            line + "\n");
    }
    return allowed;
}

void LogEditorStart(const std::vector<std::string>& words) {
    AppendLogEntry(ChooseLanguageText("Editor started: ", "エディターを起動しました: ") +
                   JoinWords(words) + "\n");
}

void ForgetEditorAnswers() {
    std::lock_guard lock(answersMutex);
    answers.clear();
    answersRead = false;
}

}  // namespace mirexa
