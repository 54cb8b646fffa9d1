// The program's 22 cursors as pictures (16 x 16 pixels each): their resource ids, hot spots and
// what the view uses them for. The shell registers them with the platform at start-up.
#pragma once

namespace mirexa {

constexpr int kCursorRows = 16;
constexpr int kProgramCursorCount = 22;

// One cursor of the resources.
struct CursorResource {
    int id = {};
    int hotX = {};
    int hotY = {};
    const char* const* rows = {};  // kCursorRows rows of 16 characters: '#' black, '+' white
    const char* role = {};         // what the view shows it for
};

// The 22 cursors, in id order: 238 .. 255, 257, 258, 265, 266.
extern const CursorResource ProgramCursors[kProgramCursorCount];

// Gives every cursor of the table its picture under its resource name (ResourceCursorName).
// Returns the number registered (22).
int RegisterProgramCursors();

}  // namespace mirexa
