// Key codes of the program's key messages (WM_KEYDOWN wparam) and the key state that the input
// handlers query (Ctrl and Shift held, as the real-window backend reports them or a test sets
// them). Letters and digits are their upper-case ASCII codes.
#pragma once

#include <cstdint>

namespace mirexa {

constexpr unsigned VK_CANCEL = 3;  // Ctrl-Break
constexpr unsigned VK_TAB = 9;
constexpr unsigned VK_SHIFT = 16;
constexpr unsigned VK_CONTROL = 17;
constexpr unsigned VK_MENU = 18;  // Alt
constexpr unsigned VK_PAUSE = 19;
constexpr unsigned VK_ESCAPE = 27;
constexpr unsigned VK_SPACE = 32;
constexpr unsigned VK_LEFT = 37;
constexpr unsigned VK_UP = 38;
constexpr unsigned VK_RIGHT = 39;
constexpr unsigned VK_DOWN = 40;
constexpr unsigned VK_DELETE = 46;
constexpr unsigned VK_NUMPAD0 = 96;  // .. VK_NUMPAD0 + 9
constexpr unsigned VK_F1 = 112;
constexpr unsigned VK_F2 = 113;
constexpr unsigned VK_F3 = 114;
constexpr unsigned VK_F4 = 115;
constexpr unsigned VK_F5 = 116;
constexpr unsigned VK_F6 = 117;
constexpr unsigned VK_F7 = 118;
constexpr unsigned VK_F8 = 119;
constexpr unsigned VK_F9 = 120;
constexpr unsigned VK_OEM_2 = 191;  // the "/" and "?" key

// A key message's lparam: the character typed in its low bits and, above them, Shift, Ctrl and Alt
// as they were held when the key was typed. A key's handler reads them from its message: by the
// time the program takes a quickly typed Shift+Tab, Ctrl+P or Alt+D from the queue, the user may
// have let go of the modifier. The same bits in a mouse button's WM_LBUTTONDOWN / WM_RBUTTONDOWN
// wparam are the modifiers held at the click, and Shift in a path display command's WM_COMMAND
// lparam Shift held at the key or menu choice. A window that passes a key on passes
// kKeyModifiersHeld with it (Alt only the message loop reads, for the accelerators, before any
// window has the key).
constexpr std::intptr_t kKeyCharacterMask = 0x1FFFFF;
constexpr std::intptr_t kKeyShiftHeld = std::intptr_t{1} << 24;
constexpr std::intptr_t kKeyCtrlHeld = std::intptr_t{1} << 25;
constexpr std::intptr_t kKeyAltHeld = std::intptr_t{1} << 26;
constexpr std::intptr_t kKeyModifiersHeld = kKeyShiftHeld | kKeyCtrlHeld;

// Codes 0 .. kKeyCodeCount - 1 have a state; others read as up and cannot be set.
constexpr unsigned kKeyCodeCount = 256;

// Records that a key went down (1) or up (0); the backend calls it as the keyboard reports,
// tests call it to script held keys. Any thread.
void SetKeyDownState(unsigned keyCode, int down);
// 1 while the key is held down (the asynchronous state, not the queue's).
int IsKeyDown(unsigned keyCode);
// Every key up (tests start from here).
void ReleaseAllKeys();

}  // namespace mirexa
