// The message file "mirexa7.mes": when it is found, the interface switches to English
// (UiLanguage 1): every caption of the main menu is replaced in menu order, the command panel's
// button captions take their English short forms and the tool-dimension labels their English
// texts. Without it nothing changes and the interface stays Japanese.
//
// File format (text, CRLF or LF). Empty lines and lines that begin with "#" are skipped
// everywhere. The menu part holds one entry per caption in menu order: "[caption]", " caption"
// or "  caption" (the forms only show the reader the level; the program takes the entries in
// order); other lines are skipped. The panel part follows: 22 lines, the first the whole caption
// 0, each later one giving the first four characters of captions 1 to 21, whose accelerator
// part stays. Lines are taken up to 79 characters.
//
// Threads. User-interface thread only.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "platform/menus.h"

namespace mirexa {

inline constexpr const char* MESSAGE_FILE_NAME = "mirexa7.mes";
constexpr std::size_t MESSAGE_LINE_MAX_CHARS = 79;
constexpr int COMMAND_PANEL_CAPTION_COUNT = 22;
constexpr int TOOL_DIMENSION_LABEL_COUNT = 24;

// The command panel's button captions and the tool dialogs' dimension labels (UTF-8), in the
// language of UiLanguage.
extern std::array<std::string, COMMAND_PANEL_CAPTION_COUNT> CommandPanelCaptions;
extern std::array<std::string, TOOL_DIMENSION_LABEL_COUNT> ToolDimensionLabels;
// Gives both their Japanese defaults.
void ResetMessageTexts();

// A message file being read: its text and the place of the next line.
struct MessageFileReader {
    std::string text = {};
    std::size_t position = {};
};

// Reads the next menu entry into *caption: returns 1 for a "[" line (the text up to a closing
// "]"), 2 for a line that begins with one blank, 3 for two blanks (the rest after them), and 0
// at the end of the file. Lines lose their CR and LF and are cut to MESSAGE_LINE_MAX_CHARS
// characters (never inside a UTF-8 character).
int ReadMessageLine(MessageFileReader* reader, std::string* caption);
// Reads the next line of the panel part (skipping empty and "#" lines); 0 at the end of the file.
int ReadMessagePanelLine(MessageFileReader* reader, std::string* line);

// Caption i (1 .. 21) of the command panel with its text before "(" replaced by the first four
// characters of line, padded with blanks when the line is shorter.
std::string ReplaceCaptionHead(const std::string& caption, const std::string& line);

// Applies the text of a message file: UiLanguage becomes 1; the menu's captions in menu order
// (top-level captions and nested submenus by position, command items of each submenu in turn,
// separators taking no entry; states kept); the panel captions; the English tool labels. When
// the entries end early, the remaining captions stay as they are. Without a menu (no menu bar)
// the entries of the main menu resource are passed over.
void ApplyMessageText(MenuHandle menu, const std::string& text);

// The message file's path: in the working directory, then in the program's directory; "" when
// neither has one.
std::string FindMessageFile();
// Gives the texts their defaults, then applies the message file when there is one. Returns 1
// when one was applied.
int LoadMessageFile(MenuHandle menu);

// Before the program says anything: an English message file in the current directory or beside
// the program makes the interface English (UiLanguage 1) for every message from the start; one
// of that name that cannot be read (a FIFO, a folder) is named in the log with the reason, and
// the interface stays Japanese. Returns 1 when the file was found.
int ChooseInterfaceLanguage();

}  // namespace mirexa
