// The clipboard: one block of bytes per format, owned by the clipboard once it is set. The
// headless backend keeps the blocks in memory; any thread may use it.
#pragma once

#include <cstdint>
#include <vector>

namespace mirexa {

// Formats: the program fixes the device-independent bitmap's value.
constexpr unsigned CLIPBOARD_TEXT = 1;  // UTF-8 text, NUL-terminated
constexpr unsigned CLIPBOARD_DIB = 8;   // a 40-byte bitmap info header, then the pixel rows

// Removes every block.
void EmptyClipboard();
// Puts the block on the clipboard under the format (replacing an earlier one); the clipboard
// takes it over. 0 for format 0.
int SetClipboardData(unsigned format, std::vector<std::uint8_t> data);
// Copies the block of the format into out: 1, or 0 (out emptied) when there is none.
int GetClipboardData(unsigned format, std::vector<std::uint8_t>* out);

}  // namespace mirexa
