// The view window's popup menu, made from its resource in the interface's language, and path
// picking: the NC line of a path point picked in the view, read from the NC program's text or
// asked of its path reader.
//
// Threads. User-interface thread only.
#pragma once

#include <string>

#include "platform/popup_menu.h"

namespace mirexa {

// Makes the popup from its resource with the captions of the interface's language (UiLanguage);
// made again when called again. The main window makes it at creation outside automatic mode.
void CreateViewPopupMenu();
// The popup for the view's right click; null until it was made.
const PopupMenu* GetViewPopupMenu();
// Forgets the popup (tests).
void ResetViewPopupMenu();

// Line `line` (1 is the first) of a text file, without its CR or LF, cut at `capacity` - 1
// bytes; 1 when the file has that line, 0 when it does not open or is shorter.
int ReadNcProgramLine(const std::string& path, int line, std::size_t capacity, std::string* text);

// A path reader's element as the NC-data strip shows a pick: "RAPID    ", "LINE     ",
// "ARC(CW)  ", "ARC(CCW) " or "OTHER    " by its type (0 to 3, anything else), then the end
// point as "%9.3f,%9.3f,%9.3f".
std::string FormatPickedPathElement(int type, const double end[3]);

// 1 when a picked path point can show its NC line: an NC program is selected, and it is plain NC
// text, or its path reader is not held by a run (looking a line up reopens the reader, which
// would lose a run's place in it, paused or not).
int PathPickingOn();

// The NC line of a line stamp into text (at most capacity - 1 bytes and a NUL): the line of the
// selected NC program's text, or, with a path reader, the reader reopened and its elements
// fetched up to that line and shown as FormatPickedPathElement does (the reader is closed after).
// 1 when found; 0 with an empty text otherwise.
int ReadPickedPathLine(int lineStamp, char* text, int capacity);

}  // namespace mirexa
