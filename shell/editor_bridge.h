// The external editor bridge: the settings' editor started on the NC program or a definition
// file, and, where the editor's window is one the program can reach, line jumps, cursor moves and
// closing. Programs are started without a shell, each argument passed as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

// Editor kinds: 0 any other program (started, no line jumps), 1 the macro-driven editors
// ("hidemaru", "maruo"), 2 "terapad", 3 "k2editor"; kEditorPlugin (99) an editor the editor
// plug-in drives (it finds the window, jumps, moves the cursor and closes it).
inline constexpr int kEditorPlain = 0;
inline constexpr int kEditorMacro = 1;
inline constexpr int kEditorTeraPad = 2;
inline constexpr int kEditorK2 = 3;

// What the program name tells: the kind, the title suffix and program caption of kind 1, and
// whether the editor wants its file argument's closing quote at the very end ("miw").
struct EditorProgramKind {
    int kind = kEditorPlain;
    std::string titleSuffix = {};
    std::string caption = {};
    int miwQuoting = 0;
};
// Classifies by the last path element without ".exe", without regard to case.
EditorProgramKind ClassifyEditorProgram(const std::string& program);

// The window titles an editor of the kind shows for the NC path (kind 1: its title suffix is
// matched separately): kind 2 two, kind 3 four, else none.
std::vector<std::string> EditorWindowTitles(int kind, const std::string& ncPath);

// The option string as the editor wants it: exactly "%1" becomes "/j%2 %1" for kinds 1 and 3 and
// "/j=%2 %1" for kind 2; anything else stays.
std::string RewriteEditorOption(const std::string& option, int kind);

// The editor's arguments: the option split at blanks, "%1" the file (one argument however many
// blanks or quotes its name holds) and "%2" the line (at least 1).
std::vector<std::string> BuildEditorArguments(const std::string& option, const std::string& file,
                                              int line);

// The macro command id of kind 1 for the macro slot: 283 with no slot (negative), 145 + n below
// 16, 189 + n for 16 .. 30, 203 + n for 31 .. 80, 283 beyond.
int SelectEditorMacroCommand(int slot);

// The jump macro's text for a line: "moveto 0,<line - 1>;\n", line 0 taken as 1.
std::string EditorJumpMacroText(int line);

// The jump macro's file of kind 1: the macro name, in the editor program's folder when the name
// has no folder of its own.
std::string EditorJumpMacroPath(const std::string& editorProgram, const std::string& macroName);

// Whether the jump macro may be written at the path without losing a file of the user's: under
// the macro's own name (the settings' default) in the editor program's folder, or where there is
// no file, or over a file that holds one jump macro already. 1 or 0.
int JumpMacroWritable(const std::string& macroPath, const std::string& editorProgram);

// The state of the editor the NC program was opened in.
struct EditorBridgeState {
    int kind = kEditorPlain;
    WindowHandle window = {};  // the editor's window when one was found
    std::string ncPath = {};   // the NC program it was opened on
    int linked = 0;            // 1 when the window was found
    int canJump = 0;           // 1 for kinds 1-3
    int macroCommand = 283;
    std::string macroPath = {};  // kind 1: the jump macro file beside the editor program
    std::string program = {};    // the editor program it was started as (the settings' words)
    std::vector<std::string> titles = {};
};
// Changed and read under the bridge's own lock by the functions below (the interpreter jumps the
// editor from the simulation thread); tests read it between calls.
extern EditorBridgeState EditorBridge;

// The line the editor opens the NC program at: the path line picked in the view (its magnitude;
// a pick's sign only tells its colour) when there is one, else the current line, at least 1.
int ChooseEditorLine(std::int64_t pickedLine, std::int64_t currentLine);

// Starts the editor on the NC program at the line (the picked path line's magnitude when given,
// else the current line, at least 1); when it is already open on the same program (compared
// without regard to case) its window comes to the front instead. The command is asked about
// (MayStartEditorCommand) before anything else, an editor plug-in's too; nothing is written
// before it is allowed, and the jump macro only where JumpMacroWritable allows it (a refusal is
// logged, and the editor then takes no line jumps). The editor's window is looked
// for once among the windows the program can reach, without waiting. Nothing in automatic mode
// or without an NC program. When the editor cannot be started a message box owned by `owner`
// says so. Returns 1 when started or brought to the front.
int OpenNcInEditor(WindowHandle owner, int line);

// 1 while an editor is linked (its window found and alive); 1 when it can also jump to lines.
// Any thread.
int EditorLinked();
int EditorCanJump();

// Makes a linked editor show the line (kinds 1 and 2); nothing otherwise.
void JumpEditorToLine(int line);
// Moves a linked editor's cursor to the top (direction 1) or one line down. Any thread, as the
// jump.
void MoveEditorCursor(int direction);
// Asks a linked editor to close and forgets it. The editor saves or asks as it does itself:
// nothing is killed, so no edit is lost.
void CloseEditor();

// Opens a definition file in the editor program (its words split at blanks, the file one
// argument more); a message box owned by `owner` says when it cannot be started. Nothing in
// automatic mode. Returns 1 when started.
int OpenFileInEditor(WindowHandle owner, const std::string& program, const std::string& file);

// The view's editor keys: which is one of the kViewEditor values of the view.
void OpenDefinitionFileInEditor(WindowHandle owner, int which);

}  // namespace mirexa
