// Path and file services over POSIX: own path splitter, bounded outputs, case-insensitive lookup
// of existing files, and output files with creation of one missing directory level.
#include "services/file_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

FileLocationSettings FileLocations;

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Copies a text into a caller's buffer; 0 and the buffer unchanged when it does not fit.
int CopyToBuffer(const std::string& text, char* out, std::size_t capacity) {
    if (out == nullptr || text.size() >= capacity) {
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

std::string JoinPathText(std::string_view directory, std::string_view name) {
    std::string joined(directory);
    if (!joined.empty() && !IsSeparator(joined.back())) {
        joined += '/';
    }
    joined += name;
    return joined;
}

// The four parts of a path: drive ("C:"), directory (ending in its separator), file name, and
// extension (from the last "." of the last component). No part has a length limit.
struct PathParts {
    std::string_view drive = {};
    std::string_view directory = {};
    std::string_view name = {};
    std::string_view extension = {};
};

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    std::size_t lastSeparator = path.find_last_of("/\\");
    std::string_view file = path;
    if (lastSeparator != std::string_view::npos) {
        parts.directory = path.substr(0, lastSeparator + 1);
        file = path.substr(lastSeparator + 1);
    }
    std::size_t dot = file.rfind('.');
    parts.name = file.substr(0, dot);
    if (dot != std::string_view::npos) {
        parts.extension = file.substr(dot);
    }
    return parts;
}

bool PathExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A regular file that can be opened for reading (a FIFO or a device is none, and is not waited
// for).
bool IsReadableFile(const std::string& path) {
    std::FILE* stream = OpenRegularFile(path, "r");
    if (stream == nullptr) {
        return false;
    }
    std::fclose(stream);
    return true;
}

// The entry of directory whose name equals name ignoring case; the first in byte order when
// several do.
bool FindEntryIgnoringCase(const std::string& directory, const std::string& name,
                           std::string* match) {
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (EqualIgnoringCase(entry->d_name, name) && (!found || entry->d_name < *match)) {
            *match = entry->d_name;
            found = true;
        }
    }
    closedir(dir);
    return found;
}

// The path made absolute against the current directory and lexically normalised ("." and ".."
// removed), with "/" separators.
std::string MakeFullPath(std::string_view name) {
    std::string path = ConvertPathSeparators(name);
    if (path.empty() || path[0] != '/') {
        std::string base = FileLocations.currentDirectory;
        if (base.empty()) {
            std::error_code error;
            base = std::filesystem::current_path(error).string();
        }
        path = JoinPathText(ConvertPathSeparators(base), path);
    }
    return std::filesystem::path(path).lexically_normal().string();
}

// Replaces the path by the spelling of an existing file that matches it ignoring case, when
// the path itself names no readable file; false when none is readable.
bool ResolveReadableFile(std::string* path) {
    std::string found;
    if (FindFileIgnoringCase(*path, &found) && IsReadableFile(found)) {
        *path = found;
        return true;
    }
    return false;
}

}  // namespace

std::string ConvertPathSeparators(std::string_view path) {
    std::string converted(path);
    for (char& c : converted) {
        if (c == '\\') {
            c = '/';
        }
    }
    return converted;
}

int HasFileExtension(std::string_view path, std::string_view extension) {
    std::string_view own = SplitPath(path).extension;
    if (!extension.empty() && extension[0] == '.') {
        extension.remove_prefix(1);
    }
    if (own.empty()) {
        return 0;
    }
    return EqualIgnoringCase(own.substr(1), extension);
}

int FindFileIgnoringCase(std::string_view path, std::string* found) {
    std::string wanted = ConvertPathSeparators(path);
    if (wanted.empty()) {
        return 0;
    }
    if (PathExists(wanted)) {
        *found = wanted;
        return 1;
    }
    // Rebuild the path one component at a time; only a component that does not exist as
    // spelled is looked up in its directory.
    std::string built = wanted[0] == '/' ? "/" : "";
    std::size_t position = built.size();
    while (position <= wanted.size()) {
        std::size_t next = wanted.find('/', position);
        if (next == std::string::npos) {
            next = wanted.size();
        }
        std::string component = wanted.substr(position, next - position);
        if (!component.empty()) {
            std::string candidate = built + component;
            if (component != "." && component != ".." && !PathExists(candidate)) {
                std::string match;
                if (!FindEntryIgnoringCase(built, component, &match)) {
                    return 0;
                }
                candidate = built + match;
            }
            built = candidate;
        }
        if (next < wanted.size()) {
            built += '/';
        }
        position = next + 1;
    }
    if (!PathExists(built)) {
        return 0;
    }
    *found = built;
    return 1;
}

std::string DescribeFileError(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return ChooseLanguageText("not found", "見つかりません");
        case EINVAL:
            return ChooseLanguageText("not a regular file", "通常のファイルではありません");
        case EISDIR:
            return ChooseLanguageText("a folder", "フォルダーです");
        case EACCES:
        case EPERM:
            return ChooseLanguageText("no permission", "権限がありません");
        case ENOSPC:
        case EDQUOT:
            return ChooseLanguageText("the disk is full", "ディスクに空きがありません");
        case EROFS:
            return ChooseLanguageText("read-only file system",
                                      "読み取り専用のファイルシステムです");
        case EFBIG:
            return ChooseLanguageText("the file-size limit was reached",
                                      "ファイルサイズの上限に達しました");
        default:
            return errorNumber != 0 ? DescribeReadFailure(errorNumber)
                                    : ChooseLanguageText("unknown cause", "原因不明");
    }
}

int FileOpenError(const std::string& path) {
    if (path.empty()) {
        return ENOENT;
    }
    errno = 0;
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream == nullptr) {
        return errno != 0 ? errno : EINVAL;
    }
    std::fclose(stream);
    return 0;
}

int FindFileRefusal(const std::string& path, const std::string& directory,
                    std::string* refusedPath) {
    *refusedPath = path;
    const int error = FileOpenError(path);
    if (error != ENOENT || directory.empty() || path.empty() || path.back() == '/') {
        return error;
    }
    const std::size_t slash = path.rfind('/');
    const std::string there =
        directory + (slash == std::string::npos ? path : path.substr(slash + 1));
    const int thereError = FileOpenError(there);
    if (thereError == 0 || thereError == ENOENT) {
        return error;
    }
    *refusedPath = there;
    return thereError;
}

std::string MissingOrRefusedText(int error, const char* missing, const char* refused) {
    return error == 0 || error == ENOENT ? std::string(missing)
                                         : std::string(refused) + DescribeFileError(error);
}

std::FILE* OpenFileStream(std::string_view fileName, const char* mode) {
    if (fileName.empty() || mode == nullptr || mode[0] == '\0') {
        errno = EINVAL;
        return nullptr;
    }
    std::string path = ConvertPathSeparators(fileName);
    if (mode[0] != 'r') {
        // Outputs of fixed names: never through a planted link, never waiting on a FIFO.
        std::FILE* stream = OpenRegularFileForWriting(path, mode);
        if (stream == nullptr && errno != ENOENT) {
            LogOutputRefusal(path, errno);
        }
        return stream;
    }
    // Readers take regular files only: a directory, a FIFO or a device is refused.
    std::FILE* stream = OpenRegularFile(path, mode);
    if (stream == nullptr && errno == ENOENT) {
        std::string found;
        if (FindFileIgnoringCase(path, &found)) {
            stream = OpenRegularFile(found, mode);
        } else {
            errno = ENOENT;
        }
    }
    return stream;
}

int JoinPath(std::string_view directory, std::string_view name, char* out, std::size_t capacity) {
    return CopyToBuffer(JoinPathText(directory, name), out, capacity);
}

int GetPathDirectory(std::string_view path, char* out, std::size_t capacity) {
    PathParts parts = SplitPath(path);
    std::string text(parts.drive);
    text += parts.directory;
    return CopyToBuffer(text, out, capacity);
}

int GetPathFileName(std::string_view path, int withExtension, char* out, std::size_t capacity) {
    PathParts parts = SplitPath(path);
    std::string text(parts.name);
    if (withExtension != 0) {
        text += parts.extension;
    }
    return CopyToBuffer(text, out, capacity);
}

int ExpandLongPath(std::string_view source, char* out, std::size_t capacity) {
    std::string found;
    if (!FindFileIgnoringCase(source, &found)) {
        return 0;
    }
    return CopyToBuffer(found, out, capacity);
}

int ResolveDataFile(std::string_view directory, std::string_view name, char* out,
                    std::size_t capacity) {
    if (name.empty()) {
        return 0;
    }
    std::string wanted = ConvertPathSeparators(name);
    // 1. A name with a directory part is taken as it stands, relative to the current directory.
    if (wanted.find('/') != std::string::npos) {
        std::string full = MakeFullPath(wanted);
        ResolveReadableFile(&full);
        return CopyToBuffer(full, out, capacity);
    }
    // 2. The given directory.
    std::string candidate = JoinPathText(ConvertPathSeparators(directory), wanted);
    if (ResolveReadableFile(&candidate)) {
        return CopyToBuffer(candidate, out, capacity);
    }
    // 3. The current directory.
    candidate = MakeFullPath(wanted);
    if (ResolveReadableFile(&candidate)) {
        return CopyToBuffer(candidate, out, capacity);
    }
    // 4. The program directory, untested.
    candidate = JoinPathText(ConvertPathSeparators(FileLocations.programDirectory), wanted);
    ResolveReadableFile(&candidate);
    return CopyToBuffer(candidate, out, capacity);
}

std::FILE* OpenOutputFile(int append, std::string_view path, std::string_view directory,
                          int showMessage) {
    const char* mode = append != 0 ? "a" : "w";
    std::FILE* stream = OpenFileStream(path, mode);
    if (stream == nullptr && errno == ENOENT && !directory.empty()) {
        // Only the last level is created; a missing parent makes this fail too.
        mkdir(ConvertPathSeparators(directory).c_str(), 0777);
        stream = OpenFileStream(path, mode);
    }
    if (stream == nullptr && showMessage != 0) {
        ShowMessageOrLog(0, ChooseLanguageText("Write protect", "書き込み保護されています"),
                         std::string(path), MBX_OK);
    }
    return stream;
}

}  // namespace mirexa
