// The message file: reading its entries and applying them to the menu, the command panel's
// captions and the tool-dimension labels.
#include "shell/message_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/backend.h"
#include "platform/file_reading.h"
#include "resources/main_menu.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

std::array<std::string, COMMAND_PANEL_CAPTION_COUNT> CommandPanelCaptions;
std::array<std::string, TOOL_DIMENSION_LABEL_COUNT> ToolDimensionLabels;

namespace {

constexpr std::array<const char*, COMMAND_PANEL_CAPTION_COUNT> DefaultPanelCaptions = {
    "メニュー", "初期(&R)", "最大(&F)", "ｽﾞｰﾑ(&Z)", "拡大(&W)", "縮小(&S)", "第１(&1)", "第２(&2)",
    "第３(&3)", "第４(&4)", "-15 (&5)", "+15 (&6)", "後ろ(&7)", " XZ (&8)", " YZ (&9)", " XY (&0)",
    "上側(&U)", "下側(&D)", "描画(&P)", "遠近(&@)", "戻す(&C)", "保存(&B)"};

constexpr std::array<const char*, TOOL_DIMENSION_LABEL_COUNT> DefaultToolLabels = {
    "直径", "角Ｒ", "Ｅ幅", "Ｆ高", "底角", "側角", "有効", "突出", "TopR", "Cp-w", "首下", "Tp-L",
    "Ｓ径", "ARad", "BRad", "Aang", "Bang", "    ", "内高", "上径", "厚み", "下Ｒ", "上Ｒ", "軸径"};

// The English labels the message file sets, by index; the others keep their defaults.
struct IndexedLabel {
    int index;
    const char* text;
};
constexpr IndexedLabel EnglishToolLabels[] = {
    {0, "Dia "},  {1, "C-r "},  {2, "E-w "},  {3, "F-h "},  {4, "BotA"},  {5, "SidA"},
    {6, " H  "},  {7, "Len "},  {10, " Lu "}, {11, " Lt "}, {12, " Ds "}, {17, " Hi "},
    {18, " Du "}, {20, " Th "}, {21, "Crl "}, {22, "Cru "}, {23, " Ra "}};

// The byte length of the first count UTF-8 characters of text (all of it when shorter).
std::size_t Utf8Prefix(const std::string& text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < text.size() && chars < count; ++chars) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
            ++i;
        }
    }
    return i;
}

std::size_t Utf8Length(const std::string& text) {
    std::size_t chars = 0;
    for (unsigned char c : text) {
        chars += (c & 0xC0) != 0x80;
    }
    return chars;
}

// The next line without CR or LF, cut to the line limit; 0 at the end of the text.
int NextLine(MessageFileReader* reader, std::string* line) {
    if (!reader || reader->position >= reader->text.size()) {
        return 0;
    }
    std::size_t end = reader->text.find('\n', reader->position);
    if (end == std::string::npos) {
        end = reader->text.size();
    }
    *line = reader->text.substr(reader->position, end - reader->position);
    reader->position = end + 1;
    while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) {
        line->pop_back();
    }
    line->resize(Utf8Prefix(*line, MESSAGE_LINE_MAX_CHARS));
    return 1;
}

bool IsSkipped(const std::string& line) {
    return line.empty() || line[0] == '#' || line[0] == '\r';
}

// Hands out the menu entries in order; once they run out, hands out nothing more.
struct EntrySource {
    MessageFileReader* reader;
    int ended = 0;
    int Next(std::string* caption) {
        if (!ended && ReadMessageLine(reader, caption) == 0) {
            ended = 1;
        }
        return ended ? 0 : 1;
    }
};

void SetCaption(MenuHandle menu, int position, EntrySource* entries) {
    std::string caption;
    if (entries->Next(&caption)) {
        SetMenuEntryCaption(menu, static_cast<unsigned>(position), MENU_BYPOSITION, caption);
    }
}

// The captions of a submenu's items in order: a nested submenu's own caption, then its items.
void ApplyToSubmenu(MenuHandle menu, EntrySource* entries) {
    const int count = GetMenuEntryCount(menu);
    for (int j = 0; j < count; ++j) {
        const int state = GetMenuEntryState(menu, static_cast<unsigned>(j), MENU_BYPOSITION);
        if (state < 0 || (state & MENU_SEPARATOR)) {
            continue;
        }
        SetCaption(menu, j, entries);
        if (state & MENU_POPUP) {
            ApplyToSubmenu(GetSubMenuHandle(menu, j), entries);
        }
    }
}

}  // namespace

void ResetMessageTexts() {
    for (int i = 0; i < COMMAND_PANEL_CAPTION_COUNT; ++i) {
        CommandPanelCaptions[i] = DefaultPanelCaptions[i];
    }
    for (int i = 0; i < TOOL_DIMENSION_LABEL_COUNT; ++i) {
        ToolDimensionLabels[i] = DefaultToolLabels[i];
    }
}

int ReadMessageLine(MessageFileReader* reader, std::string* caption) {
    std::string line;
    while (NextLine(reader, &line)) {
        if (IsSkipped(line)) {
            continue;
        }
        if (line[0] == '[') {
            std::size_t end = line.size() > 1 && line.back() == ']' ? line.size() - 1 : line.size();
            *caption = line.substr(1, end - 1);
            return 1;
        }
        if (line[0] == ' ') {
            const int blanks = line.size() > 1 && line[1] == ' ' ? 2 : 1;
            *caption = line.substr(static_cast<std::size_t>(blanks));
            return blanks + 1;
        }
    }
    return 0;
}

int ReadMessagePanelLine(MessageFileReader* reader, std::string* line) {
    while (NextLine(reader, line)) {
        if (!IsSkipped(*line)) {
            return 1;
        }
    }
    return 0;
}

std::string ReplaceCaptionHead(const std::string& caption, const std::string& line) {
    std::string head = line.substr(0, Utf8Prefix(line, 4));
    head.append(4 - Utf8Length(head), ' ');
    const std::size_t open = caption.find('(');
    return open == std::string::npos ? head : head + caption.substr(open);
}

void ApplyMessageText(MenuHandle menu, const std::string& text) {
    UiLanguage.store(1);
    MessageFileReader reader{text, 0};
    EntrySource entries{&reader};
    // Without a menu bar the menu part is passed over on a copy of the main menu, so that the
    // panel part starts where it does with the menu (its lines may begin with a blank too).
    MenuHandle target = IsMenuHandle(menu) ? menu : LoadMenuResource(IDR_MAIN_MENU);
    const int count = GetMenuEntryCount(target);
    for (int i = 0; i < count; ++i) {
        SetCaption(target, i, &entries);
        ApplyToSubmenu(GetSubMenuHandle(target, i), &entries);
    }
    if (target != menu) {
        DestroyMenuHandle(target);
    }
    std::string line;
    for (int i = 0; i < COMMAND_PANEL_CAPTION_COUNT && ReadMessagePanelLine(&reader, &line); ++i) {
        CommandPanelCaptions[i] = i == 0 ? line : ReplaceCaptionHead(CommandPanelCaptions[i], line);
    }
    for (const IndexedLabel& label : EnglishToolLabels) {
        ToolDimensionLabels[label.index] = label.text;
    }
}

std::string FindMessageFile() {
    std::string directories[] = {"", DefinitionFiles.programDirectory};
    for (const std::string& directory : directories) {
        std::string path = directory + MESSAGE_FILE_NAME;
        if (std::FILE* probe = OpenRegularFile(path, "rb")) {
            std::fclose(probe);
            return path;
        }
    }
    return {};
}

int LoadMessageFile(MenuHandle menu) {
    // The defaults first: without the file they are the texts, and the file's captions keep
    // their mnemonics from them.
    ResetMessageTexts();
    const std::string path = FindMessageFile();
    // A regular file of bounded size only: a FIFO or device there must not hold up the start.
    std::string text;
    const int applied = !path.empty() && ReadWholeRegularFile(path, &text) == 1 ? 1 : 0;
    if (applied) {
        ApplyMessageText(menu, text);
    }
    SetInterfaceLanguage(UiLanguage.load() == 1 ? 1 : 0);
    return applied;
}

int ChooseInterfaceLanguage() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    std::vector<std::string> directories = {""};
    if (!error) {
        directories.push_back(program.parent_path().string() + "/");
    }
    for (const std::string& directory : directories) {
        const std::string path = directory + MESSAGE_FILE_NAME;
        std::string text;
        errno = 0;
        const int read = ReadWholeRegularFile(path, &text);
        if (read == 1) {
            UiLanguage.store(1);
            return 1;
        }
        if (read < 0) {
            AppendLogEntry(
                path +
                ChooseLanguageText(" - The message file cannot be read: ",
                                   " - メッセージファイルを読めません: ") +
                DescribeFileError(errno) +
                ChooseLanguageText("; the interface stays Japanese.\n", "。日本語で表示します\n"));
            return 0;
        }
    }
    return 0;
}

}  // namespace mirexa
