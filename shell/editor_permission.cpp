// The user's answers on the commands of settings files: a Yes kept per settings file, command and
// the files it runs in the user's configuration folder, a No asked again at the next request,
// each start logged.
#include "shell/editor_permission.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>

#include "config/config_records.h"
#include "platform/file_info.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/status_bar.h"

namespace mirexa {

namespace {

constexpr char kDefaultEditor[] = "xdg-open";

constexpr char kEditorSection[] = "ExecEditor";

std::mutex answersMutex;
std::set<std::string> allowedCommands;  // answers' keys (CommandKey, tab, bound files) of a Yes
std::set<std::string> earlierCommands;  // CommandKey of every Yes, kept or from earlier versions
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

// The section, settings path and command text, escaped and tab-separated.
std::string CommandKey(const SettingsCommand& command, const std::string& settings) {
    return EscapeField(command.section) + "\t" + EscapeField(settings) + "\t" +
           EscapeField(command.text);
}

// The bound files as they are now, each "path=identity" (or "=missing"), one escaped field.
std::string BoundFilesField(const SettingsCommand& command) {
    std::string files;
    for (const std::string& path : command.boundFiles) {
        FileIdentity identity;
        files += (files.empty() ? "" : "\n") + path + "=" +
                 (GetFileIdentity(path, &identity) ? DescribeFileIdentity(identity) : "missing");
    }
    return EscapeField(files);
}

// How the question and the log name a section's command.
struct CommandWords {
    const char* section;
    const char* english;  // in the question
    const char* logged;   // at the head of the log's line
    const char* japanese;
};
constexpr CommandWords kCommandWords[] = {
    {kEditorSection, "editor command", "Editor command", "エディターコマンド"},
    {"ExecSelf", "second instance of the program", "Second instance",
     "プログラムの 2 つ目のインスタンス"},
};

std::string InLanguage(const std::string& english, const std::string& japanese) {
    return ChooseLanguageText(english.c_str(), japanese.c_str());
}

const CommandWords& WordsOf(const SettingsCommand& command) {
    for (const CommandWords& words : kCommandWords) {
        if (command.section == words.section) {
            return words;
        }
    }
    return kCommandWords[0];
}

// Reads the answers file once: lines "allowed", tab, an answer's key. The "yes" lines of earlier
// versions (settings path and editor command, no files) allow nothing now; they and the allowed
// lines of files since changed only make the question say that the command was allowed before.
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
        if (tab == std::string::npos) {
            continue;
        }
        const std::string kind = line.substr(0, tab);
        const std::string key = line.substr(tab + 1);
        if (kind == "allowed" && key.find('\t') != std::string::npos) {
            allowedCommands.insert(key);
            earlierCommands.insert(key.substr(0, key.rfind('\t')));
        } else if (kind == "yes") {
            earlierCommands.insert(std::string(kEditorSection) + "\t" + key);
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
        std::fprintf(file, "allowed\t%s\n", key.c_str());
        std::fclose(file);
    } else {
        AppendLogEntry(
            path + ChooseLanguageText(": the answer cannot be kept\n", ": 回答を保存できません\n"));
    }
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

int MayStartSettingsCommand(WindowHandle owner, const SettingsCommand& command) {
    const std::string line = JoinCommandWords(command.words);
    const std::string& settingsPath = DefinitionFiles.settingsPath;
    if (settingsPath.empty()) {
        return 1;
    }
    std::error_code error;
    const std::string settings = std::filesystem::absolute(settingsPath, error).string();
    const std::string commandKey = CommandKey(command, settings);
    const std::string key = commandKey + "\t" + BoundFilesField(command);
    bool allowedBefore = false;
    {
        std::lock_guard lock(answersMutex);
        ReadAnswers();
        if (allowedCommands.count(key) != 0) {
            return 1;
        }
        allowedBefore = earlierCommands.count(commandKey) != 0;
    }
    const CommandWords& words = WordsOf(command);
    // Asked at every request until the answer is Yes: a No (the default, what Enter gives) is
    // never kept, so the command is never switched off without a word.
    const std::string changed =
        allowedBefore ? ChooseLanguageText(
                            "It was allowed before, but not for the files it runs now (or "
                            "by an earlier version, which did not note them).\n\n",
                            "以前に許可されていますが、現在実行するファイルは許可したときのもの"
                            "ではありません (または記録しない以前の版で許可されました)。\n\n")
                      : std::string();
    const int answer = ShowMessageBox(
        owner,
        ChooseLanguageText("The settings file ", "設定ファイル ") + settings +
            InLanguage(std::string(" starts this ") + words.english + ":\n\n",
                       std::string(" は次の") + words.japanese + "を起動します:\n\n") +
            line + "\n\n" + changed +
            ChooseLanguageText("Start it? Yes is kept for this settings file, this command and the "
                               "files it runs as they are now; after No you are asked again the "
                               "next time.",
                               "起動しますか? 「はい」はこの設定ファイルとコマンド、および現在の"
                               "実行ファイルについて保存されます。「いいえ」の場合は、次回に再度"
                               "確認します。"),
        EDITION_NAME, MBX_YESNO | MBX_ICONQUESTION | MBX_DEFBUTTON2 | MBX_TOPMOST);
    // The Yes is for the files as they were while the question showed: one replaced meanwhile
    // is not started (the next request asks about it).
    const bool unchanged =
        answer == MBX_IDYES && commandKey + "\t" + BoundFilesField(command) == key;
    if (!unchanged) {
        AppendLogEntry(InLanguage(std::string(words.logged) +
                                      (answer == MBX_IDYES ? " changed while asked, not started: "
                                                           : " not allowed, not started: "),
                                  std::string(answer == MBX_IDYES ? "確認中に変更された"
                                                                  : "許可されていない") +
                                      words.japanese + "のため起動しません: ") +
                       line + "\n");
        return 0;
    }
    std::lock_guard lock(answersMutex);
    earlierCommands.insert(commandKey);
    KeepYes(key);
    return 1;
}

int MayStartEditorCommand(WindowHandle owner, const std::string& command,
                          const std::vector<std::string>& words, const std::string& programFile) {
    if (command == kDefaultEditor || command == std::string(kDefaultEditor) + " %1") {
        return 1;
    }
    SettingsCommand request;
    request.section = kEditorSection;
    request.text = command;
    request.words = words;
    request.boundFiles = {programFile};
    return MayStartSettingsCommand(owner, request);
}

std::string JoinCommandWords(const std::vector<std::string>& words) {
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

void LogEditorStart(const std::vector<std::string>& words) {
    AppendLogEntry(ChooseLanguageText("Editor started: ", "エディターを起動しました: ") +
                   JoinCommandWords(words) + "\n");
}

void ForgetEditorAnswers() {
    std::lock_guard lock(answersMutex);
    allowedCommands.clear();
    earlierCommands.clear();
    answersRead = false;
}

}  // namespace mirexa
