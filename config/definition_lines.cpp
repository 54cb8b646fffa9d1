// Line reading and keyword tests shared by the configuration readers.
#include "config/definition_lines.h"

#include "platform/file_reading.h"
#include "platform/text.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

char FoldCase(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

int ReadDefinitionLine(std::FILE* file, char* line, std::size_t capacity) {
    std::size_t length = 0;
    const std::size_t limit = capacity - 2;  // room for "\n" and the NUL
    bool any = false;
    bool newline = false;
    long consumed = 0;
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') {
            newline = true;
            break;
        }
        if (length < limit) {
            line[length++] = static_cast<char>(c);
        }
        // An endless line (no text file of ours) or the abort request: the rest of the file is
        // left unread.
        if (++consumed % kAbortTestInterval == 0 &&
            (consumed > kLineTailLimit || ReadAbortRequested())) {
            std::fseek(file, 0, SEEK_END);
            if (ReadAbortRequested()) {
                line[0] = '\0';
                return 0;
            }
            break;
        }
    }
    if (length > 0 && line[length - 1] == '\r') {
        --length;
    }
    if (newline) {
        line[length++] = '\n';
    }
    line[length] = '\0';
    return any ? 1 : 0;
}

int StartsWithKeyword(const char* text, const char* keyword) {
    for (std::size_t i = 0; keyword[i] != '\0'; ++i) {
        if (text[i] == '\0' || FoldCase(text[i]) != FoldCase(keyword[i])) {
            return 0;
        }
    }
    return 1;
}

int HoldsNonFiniteWord(std::string_view text) {
    static const std::string_view kWords[] = {"NAN", "INF", "INFINITY"};
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find_first_of(" \t=,()\r\n", at);
        std::string_view word = text.substr(at, end == std::string_view::npos ? end : end - at);
        if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
            word.remove_prefix(1);
        }
        for (std::string_view w : kWords) {
            if (EqualIgnoringCase(word, w)) {
                return 1;
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        at = end + 1;
    }
    return 0;
}

void AppendConfigMessage(std::vector<std::string>* messages, const char* english,
                         const char* japanese, const std::string& detail) {
    if (!messages) {
        return;
    }
    std::string message = ChooseLanguageText(english, japanese);
    if (!detail.empty()) {
        message += ": " + detail;
    }
    messages->push_back(message);
}

}  // namespace mirexa
