// INI profile files ("[Section]" lines and "Key=Value" lines): reading with defaults and writing
// one value through an atomic replace of the file.
#pragma once

#include <string>

namespace mirexa {

// The value of key in section of the file at path, or defaultValue when the file, the section or
// the key is missing. Section and key match without regard to ASCII case; the first match wins.
// Blanks around the value, a pair of enclosing quotes and the line's CR are not part of it. Lines
// starting with ";" are comments.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path);

// The value as a decimal integer (optional sign, digits up to the first other character,
// saturated to the int range; 0 when it has no digits), or defaultValue when the key is missing.
int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path);

// Sets key in section to value: replaces the key's first line, or adds the key at the end of the
// section, or adds the section at the end of the file (which is made when missing). The file
// keeps its line ends (CRLF when it has any, else LF) and every other byte. Written to a
// temporary file beside it and renamed over it, so a failure leaves the old file whole. Returns
// 1 on success, 0 on failure (also for a value, key or section that holds a line end, a key that
// is empty or holds "=", or a section that holds "]").
int WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& path);

}  // namespace mirexa
