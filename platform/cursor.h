// Mouse cursors: loaded by name, one current cursor for the program. The headless backend only
// records which cursor is current.
#pragma once

#include <string>

namespace mirexa {

struct PlatformCursor;
using CursorHandle = const PlatformCursor*;

// Built-in cursor names.
inline constexpr const char* CURSOR_ARROW = "arrow";
inline constexpr const char* CURSOR_WAIT = "wait";

// Returns the cursor of that name, loading it at the first call (the same handle every time);
// null for an empty name.
CursorHandle LoadCursorHandle(const std::string& name);
std::string GetCursorName(CursorHandle cursor);

// Makes the cursor current and returns the previous one.
CursorHandle SetCursorHandle(CursorHandle cursor);
CursorHandle GetCursorHandle();

}  // namespace mirexa
