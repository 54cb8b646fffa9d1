// INI profile reading and writing over plain files.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/file_reading.h"
#include "platform/file_replacement.h"
#include "platform/text.h"

namespace mirexa {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && (IsBlank(text[end - 1]) || text[end - 1] == '\r')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// One line of the file, without its line end; `end` is the offset just behind its line end.
struct ProfileLine {
    std::size_t begin = {};
    std::size_t end = {};
    std::string text = {};
};

std::vector<ProfileLine> SplitLines(const std::string& content) {
    std::vector<ProfileLine> lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t newline = content.find('\n', begin);
        std::size_t end = newline == std::string::npos ? content.size() : newline + 1;
        std::size_t textEnd = newline == std::string::npos ? content.size() : newline;
        if (textEnd > begin && content[textEnd - 1] == '\r') {
            --textEnd;
        }
        lines.push_back(ProfileLine{begin, end, content.substr(begin, textEnd - begin)});
        begin = end;
    }
    return lines;
}

// The section name of a "[name]" line, or false.
bool ParseSectionLine(const std::string& line, std::string* name) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != '[') {
        return false;
    }
    std::size_t close = trimmed.find(']');
    *name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// The key and value of a "key=value" line, or false.
bool ParseKeyLine(const std::string& line, std::string* key, std::string* value) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') {
        return false;
    }
    std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    *key = Trim(trimmed.substr(0, equals));
    *value = Trim(trimmed.substr(equals + 1));
    return true;
}

// Finds key in section; returns the line index or -1. *sectionFound tells whether the section
// exists and *sectionEnd is the index behind its last non-blank line.
long FindKey(const std::vector<ProfileLine>& lines, const std::string& section,
             const std::string& key, std::string* value, bool* sectionFound,
             std::size_t* sectionEnd) {
    bool inSection = false;
    *sectionFound = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        std::string lineKey;
        std::string lineValue;
        if (ParseSectionLine(lines[i].text, &name)) {
            if (inSection) {
                break;  // the section has ended
            }
            if (EqualIgnoringCase(name, section)) {
                inSection = true;
                *sectionFound = true;
                *sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!Trim(lines[i].text).empty()) {
            *sectionEnd = i + 1;
        }
        if (ParseKeyLine(lines[i].text, &lineKey, &lineValue) && EqualIgnoringCase(lineKey, key)) {
            *value = lineValue;
            return static_cast<long>(i);
        }
    }
    return -1;
}

std::string StripQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The values of the last file read, so that the many keys read from one settings file split it
// once: by the lowered section and key ("section\nkey"), the first key of the first section of
// each name, as FindKey finds them. Rebuilt whenever the bytes read differ.
struct ProfileIndex {
    int built = {};
    std::string content = {};
    std::unordered_map<std::string, std::string> values = {};
    // The hash and size of the last content that could not be indexed for want of memory (size
    // 0: none).
    std::size_t failedHash = {};
    std::size_t failedSize = {};
};
std::mutex profileIndexMutex;
ProfileIndex profileIndex;

// The file a ProfileReadScope holds: its path, the result of its one read and its values.
struct PinnedProfile {
    int scopes = {};
    std::string path = {};
    int readResult = {};
    ProfileIndex index = {};
};
PinnedProfile pinnedProfile;

std::string Lowered(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lowered;
}

std::string IndexKey(const std::string& section, const std::string& key) {
    return Lowered(section) + '\n' + Lowered(key);
}

// Builds the index of the content, line by line in place (a large file is not copied line by
// line first). 1, or 0 when the memory ran out: the index is then empty and not built.
int BuildProfileIndex(std::string content, ProfileIndex* index) {
    index->values.clear();
    index->built = 0;
    try {
        std::unordered_set<std::string> sectionsSeen;
        std::string current;
        bool inSection = false;  // in the first section of its name
        std::string text, name, key, value;
        for (std::size_t begin = 0; begin < content.size();) {
            const std::size_t newline = content.find('\n', begin);
            const std::size_t end = newline == std::string::npos ? content.size() : newline;
            text.assign(content, begin, end - begin);
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            begin = end + 1;
            if (ParseSectionLine(text, &name)) {
                current = Lowered(name);
                inSection = sectionsSeen.insert(current).second;
            } else if (inSection && ParseKeyLine(text, &key, &value)) {
                index->values.emplace(current + '\n' + Lowered(key), value);
            }
        }
        index->content = std::move(content);
    } catch (const std::bad_alloc&) {
        index->values = {};
        index->content = {};
        return 0;
    }
    index->built = 1;
    return 1;
}

bool HoldsLineEnd(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Writers of this process, one at a time (any file).
std::mutex profileWriterMutex;

// How long a writer waits for another process's write of the same folder's profiles.
constexpr auto kProfileLockPatience = std::chrono::seconds(3);
constexpr auto kProfileLockRetry = std::chrono::milliseconds(2);

// The exclusive lock of the profile's folder (flock of the folder itself, so that no lock file
// is left beside the user's files), held while alive; every writer of a profile in that folder,
// in any process, takes it around its read-modify-rename. Another holder is waited for a few
// seconds only: a program that holds it longer must not hang the one that writes.
class ProfileWriteLock {
public:
    explicit ProfileWriteLock(const std::string& target) {
        const std::size_t slash = target.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
        descriptor_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor_ < 0) {
            return;
        }
        const auto giveUp = std::chrono::steady_clock::now() + kProfileLockPatience;
        for (;;) {
            if (flock(descriptor_, LOCK_EX | LOCK_NB) == 0) {
                locked_ = true;
                return;
            }
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= giveUp) {
                inUse_ = errno == EWOULDBLOCK;
                return;
            }
            std::this_thread::sleep_for(kProfileLockRetry);
        }
    }
    ~ProfileWriteLock() {
        if (descriptor_ >= 0) {
            close(descriptor_);  // releases the lock
        }
    }
    ProfileWriteLock(const ProfileWriteLock&) = delete;
    ProfileWriteLock& operator=(const ProfileWriteLock&) = delete;
    bool locked() const {
        return locked_;
    }
    bool inUse() const {
        return inUse_;
    }

private:
    int descriptor_ = -1;
    bool locked_ = false;
    bool inUse_ = false;
};

// The content with key in section set to value, as WriteProfileValue says.
std::string ApplyProfileValue(const std::string& content, const std::string& section,
                              const std::string& key, const std::string& value) {
    const std::string lineEnd = content.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::vector<ProfileLine> lines = SplitLines(content);
    std::string oldValue;
    bool sectionFound = false;
    std::size_t sectionEnd = 0;
    long keyLine = FindKey(lines, section, key, &oldValue, &sectionFound, &sectionEnd);
    if (keyLine >= 0) {
        // Keep the key as the file spells it and the line's own end.
        const ProfileLine& line = lines[static_cast<std::size_t>(keyLine)];
        std::string spelledKey = Trim(line.text.substr(0, line.text.find('=')));
        std::size_t textEnd = line.begin + line.text.size();
        return content.substr(0, line.begin) + spelledKey + "=" + value + content.substr(textEnd);
    }
    if (sectionFound) {
        std::size_t at = lines[sectionEnd - 1].end;
        std::string before = content.substr(0, at);
        if (!before.empty() && before.back() != '\n') {
            before += lineEnd;
        }
        return before + key + "=" + value + lineEnd + content.substr(at);
    }
    std::string updated = content;
    if (!updated.empty() && updated.back() != '\n') {
        updated += lineEnd;
    }
    return updated + "[" + section + "]" + lineEnd + key + "=" + value + lineEnd;
}

// 1 when the entry can be written: no line end anywhere, a key that is not empty and holds no
// "=", a section without "]".
bool IsWritableEntry(const ProfileEntry& entry) {
    return !HoldsLineEnd(entry.section) && !HoldsLineEnd(entry.key) && !HoldsLineEnd(entry.value) &&
           !Trim(entry.key).empty() && entry.key.find('=') == std::string::npos &&
           entry.section.find(']') == std::string::npos;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path) {
    {
        std::lock_guard<std::mutex> guard(profileIndexMutex);
        const PinnedProfile& pinned = pinnedProfile;
        if (pinned.scopes > 0 && pinned.path == path) {
            if (pinned.readResult != 1) {
                return defaultValue;
            }
            auto found = pinned.index.values.find(IndexKey(section, key));
            return found == pinned.index.values.end() ? defaultValue : StripQuotes(found->second);
        }
    }
    std::string content;
    if (ReadWholeRegularFile(path, &content, kWholeFileReadLimit, AbortRule::Ignore) != 1) {
        return defaultValue;
    }
    std::lock_guard<std::mutex> guard(profileIndexMutex);
    if (!profileIndex.built || profileIndex.content != content) {
        // A file whose values did not fit the memory is not indexed again while it stays the
        // same: every key of it reads as its default at once.
        const std::size_t hash = std::hash<std::string>{}(content);
        if (profileIndex.failedHash == hash && profileIndex.failedSize == content.size()) {
            return defaultValue;
        }
        const std::size_t size = content.size();
        if (!BuildProfileIndex(std::move(content), &profileIndex)) {
            profileIndex.failedHash = hash;
            profileIndex.failedSize = size;
            return defaultValue;
        }
        profileIndex.failedSize = 0;
    }
    auto found = profileIndex.values.find(IndexKey(section, key));
    return found == profileIndex.values.end() ? defaultValue : StripQuotes(found->second);
}

ProfileReadScope::ProfileReadScope(const std::string& path) {
    std::string content;
    const int read = ReadWholeRegularFile(path, &content, kWholeFileReadLimit, AbortRule::Ignore);
    std::lock_guard<std::mutex> guard(profileIndexMutex);
    PinnedProfile& pinned = pinnedProfile;
    if (pinned.scopes > 0) {
        pinned_ = pinned.path == path;
        pinned.scopes += pinned_ ? 1 : 0;
        return;
    }
    pinned.path = path;
    pinned.readResult = read;
    if (read == 1 && !BuildProfileIndex(std::move(content), &pinned.index)) {
        pinned.readResult = -1;
        outOfMemory_ = true;
    }
    pinned.scopes = 1;
    pinned_ = true;
}

ProfileReadScope::~ProfileReadScope() {
    if (!pinned_) {
        return;
    }
    std::lock_guard<std::mutex> guard(profileIndexMutex);
    if (--pinnedProfile.scopes == 0) {
        pinnedProfile = PinnedProfile{};
    }
}

int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& path) {
    const std::string missing = "\n";  // no value can hold a line end
    std::string value = ReadProfileString(section, key, missing, path);
    if (value == missing) {
        return defaultValue;
    }
    return ParseDecimalInt32(value.c_str());
}

int WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& path) {
    return WriteProfileValues({{section, key, value}}, path);
}

int WriteProfileValues(const std::vector<ProfileEntry>& entries, const std::string& path,
                       int* inUse) {
    if (inUse != nullptr) {
        *inUse = 0;
    }
    for (const ProfileEntry& entry : entries) {
        if (!IsWritableEntry(entry)) {
            return 0;
        }
    }
    struct stat info = {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return 0;
    }
    std::lock_guard<std::mutex> writers(profileWriterMutex);
    ProfileWriteLock lock(ResolveFinalTarget(path));
    if (!lock.locked()) {
        if (inUse != nullptr) {
            *inUse = lock.inUse() ? 1 : 0;
        }
        return 0;
    }
    std::string content;
    const int read = ReadWholeRegularFile(path, &content, kWholeFileReadLimit, AbortRule::Ignore);
    if (read < 0) {
        return 0;
    }
    std::string updated = content;
    for (const ProfileEntry& entry : entries) {
        std::string current;
        bool sectionFound = false;
        std::size_t sectionEnd = 0;
        const bool same = FindKey(SplitLines(updated), entry.section, entry.key, &current,
                                  &sectionFound, &sectionEnd) >= 0 &&
                          StripQuotes(current) == entry.value;
        if (!same) {
            updated = ApplyProfileValue(updated, entry.section, entry.key, entry.value);
        }
    }
    if (read == 1 && updated == content) {
        return 1;  // every key holds its text already: the file keeps every byte
    }
    return ReplaceFileContents(path, updated, 1, -1, FileLinks::Follow, AbortRule::Ignore);
}

}  // namespace mirexa
