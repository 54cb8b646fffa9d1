// Mouse cursors: loaded by name, one current cursor for the program. The program's own cursors
// carry a picture registered before (or after) they are loaded; the headless backend only records
// which cursor is current.
#pragma once

#include <string>

namespace mirexa {

struct PlatformCursor;
using CursorHandle = const PlatformCursor*;

// Built-in cursor names.
inline constexpr const char* CURSOR_ARROW = "arrow";
inline constexpr const char* CURSOR_WAIT = "wait";

// A cursor picture: `height` rows of `width` characters, one per pixel: '#' black, '+' white,
// ' ' transparent; the hot spot (hotX, hotY) counts from the top-left pixel. The rows are not
// copied: they must outlive the program's use of the cursor (static data).
struct CursorImage {
    int width = {};
    int height = {};
    int hotX = {};
    int hotY = {};
    const char* const* rows = {};
};

// 1 when the picture is well formed: 1 .. 64 pixels each way, every row exactly width
// characters of the three kinds, the hot spot inside.
int IsValidCursorImage(const CursorImage& image);

// The name of the program's cursor with a resource id ("#238").
std::string ResourceCursorName(int id);

// Gives the named cursor its picture (a cursor already loaded takes it too). 1, or 0 for an
// empty name or a picture that is not well formed (nothing changes).
int RegisterCursorImage(const std::string& name, const CursorImage& image);

// The picture of a cursor. 1, or 0 when it has none (the built-in cursors, unregistered names).
int GetCursorImage(CursorHandle cursor, CursorImage* out);

// Returns the cursor of that name, loading it at the first call (the same handle every time);
// null for an empty name.
CursorHandle LoadCursorHandle(const std::string& name);
std::string GetCursorName(CursorHandle cursor);

// Makes the cursor current and returns the previous one.
CursorHandle SetCursorHandle(CursorHandle cursor);
CursorHandle GetCursorHandle();

}  // namespace mirexa
