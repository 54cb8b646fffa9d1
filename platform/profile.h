// INI profile files ("[Section]" lines and "Key=Value" lines): reading with defaults and writing
// values through one atomic replace of the file, one writer of a file at a time. The settings
// are the user's, not an output of aborted work: the program's abort request neither cuts their
// reads short nor keeps their writes from replacing the file (AbortRule::Ignore).
#pragma once

#include <string>
#include <vector>

namespace mirexa {

// The sidecar beside a profile that its writers lock: path + this suffix. It is made by the first
// write and left in place.

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

// While alive, ReadProfileString and ReadProfileInt of path answer from the file as it was when
// the scope began, read once: a reader of many keys (the settings) pays one read instead of one
// per key, and sees one state of the file. Writes made meanwhile are not seen by those reads.
// Scopes of one path nest; a scope of another path while one is alive changes nothing. A file
// whose values do not fit the memory left answers every key with its default, and outOfMemory
// says so.
class ProfileReadScope {
public:
    explicit ProfileReadScope(const std::string& path);
    ~ProfileReadScope();
    ProfileReadScope(const ProfileReadScope&) = delete;
    ProfileReadScope& operator=(const ProfileReadScope&) = delete;
    bool outOfMemory() const {
        return outOfMemory_;
    }

private:
    bool pinned_ = false;
    bool outOfMemory_ = false;
};

// Sets key in section to value: replaces the key's first line, or adds the key at the end of the
// section, or adds the section at the end of the file (which is made when missing). The file
// keeps its line ends (CRLF when it has any, else LF) and every other byte. Written to a
// temporary file beside it and renamed over it, so a failure leaves the old file whole and a
// reader sees the old or the new file. Writers take turns: one at a time in this process, and,
// through an exclusive flock of the file's folder, one at a time across processes from the
// reading of the file to its rename, so that no writer loses the keys of another (no lock file
// is made). A writer waits about three seconds for another process's lock and then gives up.
// A path that is a symbolic link keeps its link: the file it leads to is written. Returns 1 on
// success, 0 on failure (also for a path that is a directory, a folder that cannot be opened or
// locked, a value, key or section that holds a line end, a key that is empty or holds "=", or a
// section that holds "]").
int WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& path);

// One value to write: key in section set to value.
struct ProfileEntry {
    std::string section = {};
    std::string key = {};
    std::string value = {};
};

// Sets every entry as WriteProfileValue does, in the order given (a later entry of the same key
// wins), through one replacement of the file: the file then holds all of the entries or, on a
// failure, none of them. An entry whose key already holds the value (as ReadProfileString reads
// it) leaves its line as it is; when no entry changes anything, an existing file is not
// rewritten at all. Returns 1, or 0 on the failures WriteProfileValue names (nothing is written
// when any entry cannot be); *inUse (when given) is 1 when the failure was another process
// holding the lock past the wait, else 0.
int WriteProfileValues(const std::vector<ProfileEntry>& entries, const std::string& path,
                       int* inUse = nullptr);

}  // namespace mirexa
