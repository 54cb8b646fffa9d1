// Message boxes: a modal question with buttons, answered by the user in the real-window backend
// and by a responder in the headless backend (tests script it; automatic runs take the default).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/window.h"

namespace mirexa {

// Button sets (low nibble of the style).
constexpr unsigned MBX_OK = 0x0;
constexpr unsigned MBX_OKCANCEL = 0x1;
constexpr unsigned MBX_YESNOCANCEL = 0x3;
constexpr unsigned MBX_YESNO = 0x4;
constexpr unsigned MBX_BUTTONS_MASK = 0xF;
// Icons.
constexpr unsigned MBX_ICONERROR = 0x10;
constexpr unsigned MBX_ICONQUESTION = 0x20;
constexpr unsigned MBX_ICONWARNING = 0x30;
constexpr unsigned MBX_ICONINFORMATION = 0x40;
// The second button is the default answer instead of the first.
constexpr unsigned MBX_DEFBUTTON2 = 0x100;
// The box stays above every other window.
constexpr unsigned MBX_TOPMOST = 0x40000;

// Answers.
constexpr int MBX_IDOK = 1;
constexpr int MBX_IDCANCEL = 2;
constexpr int MBX_IDYES = 6;
constexpr int MBX_IDNO = 7;

struct MessageBoxRequest {
    WindowHandle owner = {};
    std::string text = {};
    std::string caption = {};
    unsigned style = {};
    int lineNumber = {};  // the NC line the message is about, 0 when none
};

// Answers one box; returns one of the MBX_ID answers.
using MessageBoxResponder = std::function<int(const MessageBoxRequest& request)>;

// The answer a user gets by pressing Enter: the first button, or the second with MBX_DEFBUTTON2.
int GetDefaultMessageBoxAnswer(unsigned style);

// The answer of a box closed without a choice, as Esc closes it: Cancel where the box has it,
// else No, else OK.
int GetCancelMessageBoxAnswer(unsigned style);

// The program's end request, which a box waiting for its user gives way to: the flag the end
// signals raise (non-zero: end). While it is raised, a box of the real window is not shown, and
// one open when it is raised closes, each with the cancel answer; the headless backend's
// responders answer at once and never wait. Null (the default): nothing ends a box. Set once at
// start-up; read from any thread.
void SetMessageBoxEndFlag(const std::atomic<int>* flag);
// 1 when the flag set above is raised; 0 otherwise.
int MessageBoxEndRequested();

// Shows a box and returns the answer. Without a responder the default answer is returned.
// lineNumber is the NC line the message is about (0 when none); only a log of the box uses it.
int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   unsigned style, int lineNumber = 0);

// The log entry of a box that nobody answers: "(lineNumber) - " and the text, ending in a line
// feed (added when the text has none).
std::string FormatAutomaticMessageLogEntry(int lineNumber, const std::string& text);

// The responder of automatic mode: nobody is there to answer, so it takes the default answer and
// hands the entry of FormatAutomaticMessageLogEntry (with the request's line number) to
// writeLogLine.
MessageBoxResponder MakeAutomaticMessageBoxResponder(
    std::function<void(const std::string& line)> writeLogLine);

// Installs the responder of the headless backend (an empty function restores the default one);
// returns the previous responder.
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);

}  // namespace mirexa
