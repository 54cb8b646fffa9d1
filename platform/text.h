// Byte-level text helpers shared by the readers of every layer: comparing names without regard
// to ASCII case and reading a saturating decimal integer.
#pragma once

#include <cstdint>
#include <string_view>

namespace mirexa {

// 1 when the texts are equal ignoring the case of ASCII letters (other bytes compare exactly).
int EqualIgnoringCase(std::string_view a, std::string_view b);

// The decimal integer at the start of a NUL-terminated text: an optional "+" or "-", then digits
// up to the first other character, saturated to the int32 range; 0 when there are no digits.
std::int32_t ParseDecimalInt32(const char* text);

}  // namespace mirexa
