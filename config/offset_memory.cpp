// The offset memories: the MEMORY lines read into the tables, and the tables written back into
// the controller file through a checked temporary copy, a ".bak" copy and an atomic replace.
#include "config/offset_memory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/definition_keywords.h"
#include "config/offset_tables.h"
#include "platform/file_replacement.h"
#include "services/file_paths.h"

namespace mirexa {

ToolOffsetMemory ToolOffsets;
float FeedMemory[kFeedMemoryCount];
ReferencePoint ReferencePoints[kReferencePointCount];

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number starts here: a digit, or "-" or "." followed by a digit or ".".
bool IsNumberAt(const char* p) {
    if (IsDigit(p[0])) {
        return true;
    }
    return (p[0] == '-' || p[0] == '.') && (IsDigit(p[1]) || p[1] == '.');
}

// The position behind the number that starts at the cursor.
LineCursor SkipNumber(const char* line, LineCursor cursor) {
    const char* p = line + cursor;
    if (*p == '-') {
        ++p;
    }
    while (IsDigit(*p) || *p == '.') {
        ++p;
    }
    if ((*p == 'e' || *p == 'E') &&
        (IsDigit(p[1]) || ((p[1] == '+' || p[1] == '-') && IsDigit(p[2])))) {
        p += 2;
        while (IsDigit(*p)) {
            ++p;
        }
    }
    return static_cast<LineCursor>(p - line);
}

// The entry number behind the cursor: found, finite and within [0, last] after truncation; the
// cursor then stands behind it. The range is checked on the double, before any conversion.
bool ReadEntryNumber(const char* line, LineCursor* cursor, int last, std::int32_t* number) {
    LineCursor c = ClampCursorToLine(line, *cursor);
    double value = 0;
    ScanDouble(&c, line, &value);
    if (!IsNumberAt(line + c) || !(value >= 0.0) || !(value < last + 1.0)) {
        return false;
    }
    *number = static_cast<std::int32_t>(value);
    *cursor = SkipNumber(line, c);
    return true;
}

std::string FormatFixed(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string TrimFixed(std::string text) {
    std::size_t end = text.size();
    while (end > 1 && text[end - 1] == '0') {
        --end;
    }
    if (end > 1 && text[end - 1] == '.') {
        --end;
    }
    text.resize(end);
    return text;
}

std::string FormatNumber(const char* prefix, int number, int width) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%0*d", prefix, width, number);
    return buffer;
}

// The MEMORY line of a tool offset, or "" when the entry is zero and has no line.
std::string FormatToolOffsetLine(OffsetLineKind kind, int n) {
    const bool d = kind == kOffsetLineD;
    const float offset = d ? ToolOffsets.d[n] : ToolOffsets.h[n];
    const float wear = d ? ToolOffsets.dWear[n] : ToolOffsets.hWear[n];
    const std::string head = FormatNumber(d ? "MEMORY D" : "MEMORY H", n, 2) + "= ";
    if (ToolOffsets.type == 1) {
        return offset != 0.0f ? head + FormatFixed(offset) : std::string();
    }
    if (offset == 0.0f && wear == 0.0f) {
        return std::string();
    }
    return head + FormatFixed(offset) + "," + FormatFixed(wear);
}

bool IsZeroEntry(int entry) {
    for (double v : WorkOffsetTable[entry].axis) {
        if (v != 0.0) {
            return false;
        }
    }
    return true;
}

// The MEMORY line of a work offset entry under the given head, or "" for an all-zero entry.
std::string FormatWorkOffsetLine(const std::string& head, int entry) {
    return IsZeroEntry(entry) ? std::string()
                              : head + FormatOffsetTuple(WorkOffsetTable[entry].axis);
}

// The head that an entry without a line gets when appended.
std::string AppendedWorkHead(int entry) {
    if (entry == 0) {
        return "MEMORY EXOFS= ";
    }
    if (entry <= 6 && Controller.dialect.number == 0) {
        return FormatNumber("MEMORY G5", entry + 3, 1) + "= ";
    }
    return FormatNumber("MEMORY WK", entry, 1) + "= ";
}

bool Renews(const OffsetLineInfo& info, unsigned kinds) {
    switch (info.kind) {
        case kOffsetLineD:
            return (kinds & kRewriteDOffsets) != 0;
        case kOffsetLineH:
            return (kinds & kRewriteHOffsets) != 0;
        case kOffsetLineExternal:
        case kOffsetLineWork:
        case kOffsetLineG5:
            return (kinds & kRewriteWorkOffsets) != 0;
        default:
            return false;
    }
}

// The renewed text of a recognised line (without line end); "" drops it.
std::string RenewLine(const OffsetLineInfo& info) {
    switch (info.kind) {
        case kOffsetLineD:
        case kOffsetLineH:
            return FormatToolOffsetLine(info.kind, info.number);
        case kOffsetLineExternal:
            return FormatWorkOffsetLine("MEMORY EXOFS= ", 0);
        case kOffsetLineWork:
            return FormatWorkOffsetLine(FormatNumber("MEMORY WK", info.number, 1) + "= ",
                                        info.number);
        case kOffsetLineG5:
            return FormatWorkOffsetLine(FormatNumber("MEMORY G5", info.number, 1) + "= ",
                                        info.number - 3);
        default:
            return std::string();
    }
}

struct RewriteBatchState {
    int depth = {};
    int backupMade = {};
};
RewriteBatchState RewriteBatch;

}  // namespace

int ParseOffsetMemoryLine(const char* line, int bare, OffsetLineInfo* info) {
    *info = OffsetLineInfo{};
    LineCursor cursor = 0;
    if (bare) {
        // The number must start right after the letter.
        if (!IsNumberAt(line + 1)) {
            return 0;
        }
        cursor = 0;
    } else {
        cursor = FindValueStart(line, 6);
    }
    OffsetLineKind kind = kOffsetLineNone;
    int last = 0;
    if (MatchWordAt(line, cursor, "D")) {
        kind = kOffsetLineD, last = kToolOffsetCount - 1;
    } else if (MatchWordAt(line, cursor, "H")) {
        kind = kOffsetLineH, last = kToolOffsetCount - 1;
    } else if (MatchWordAt(line, cursor, "F")) {
        kind = kOffsetLineF, last = kFeedMemoryCount - 1;
    } else if (bare) {
        return 0;
    } else if (MatchWordAt(line, cursor, "EXOFS")) {
        info->kind = kOffsetLineExternal;
        info->values = cursor + 5;
        return 1;
    } else if (MatchWordAt(line, cursor, "WK")) {
        cursor += 2;
        if (!ReadEntryNumber(line, &cursor, kWorkOffsetEntries - 1, &info->number)) {
            return 0;
        }
        info->kind = kOffsetLineWork;
        info->values = cursor;
        return 1;
    } else if (MatchWordAt(line, cursor, "G5")) {
        const char digit = line[ClampCursorToLine(line, cursor + 2)];
        if (digit < '4' || digit > '9') {
            return 0;
        }
        info->kind = kOffsetLineG5;
        info->number = digit - '0';
        info->values = cursor + 3;
        return 1;
    } else if (MatchWordAt(line, cursor, "REF-PT")) {
        cursor = ClampCursorToLine(line, cursor + 6);
        info->number = 1;
        if (IsDigit(line[cursor])) {
            if (line[cursor] < '1' || line[cursor] > '4') {
                return 0;
            }
            info->number = line[cursor] - '0';
            ++cursor;
        }
        info->kind = kOffsetLineReference;
        info->values = cursor;
        return 1;
    } else {
        return 0;
    }
    cursor += 1;
    if (!ReadEntryNumber(line, &cursor, last, &info->number)) {
        return 0;
    }
    info->kind = kind;
    info->values = cursor;
    return 1;
}

void StoreOffsetMemoryValues(const char* line, const OffsetLineInfo& info) {
    LineCursor cursor = info.values;
    const int n = info.number;
    switch (info.kind) {
        case kOffsetLineD:
        case kOffsetLineH: {
            const bool d = info.kind == kOffsetLineD;
            float offset = 0, wear = 0;
            ScanFloat(&cursor, line, &offset);
            // A wear value follows the offset behind a comma, a blank or a tab.
            LineCursor p = SkipNumber(line, cursor);
            if (line[p] == ',' || line[p] == ' ' || line[p] == '\t') {
                while (line[p] == ',' || line[p] == ' ' || line[p] == '\t') {
                    ++p;
                }
                if (IsNumberAt(line + p)) {
                    ScanFloat(&p, line, &wear);
                }
            }
            (d ? ToolOffsets.d : ToolOffsets.h)[n] = offset;
            (d ? ToolOffsets.dWear : ToolOffsets.hWear)[n] = wear;
            break;
        }
        case kOffsetLineF:
            ScanFloat(&cursor, line, &FeedMemory[n]);
            break;
        case kOffsetLineExternal:
        case kOffsetLineWork:
        case kOffsetLineG5: {
            const int entry = info.kind == kOffsetLineExternal ? 0
                              : info.kind == kOffsetLineG5     ? n - 3
                                                               : n;
            double* values = WorkOffsetTable[entry].axis;
            ScanDouble(&cursor, line, &values[0]);
            for (int i = 1; i < 5; ++i) {
                ScanNextDouble(&cursor, line, &values[i]);
            }
            break;
        }
        case kOffsetLineReference: {
            ReferencePoints[n - 1].present = 1;
            float* values = ReferencePoints[n - 1].axis;
            ScanFloat(&cursor, line, &values[0]);
            for (int i = 1; i < 5; ++i) {
                ScanNextFloat(&cursor, line, &values[i]);
            }
            break;
        }
        default:
            break;
    }
}

void ClearToolOffsetMemory() {
    const std::int32_t type = ToolOffsets.type;
    ToolOffsets = ToolOffsetMemory{};
    ToolOffsets.type = type;
}

std::string FormatOffsetTuple(const double values[5]) {
    std::string text = "(";
    for (int i = 0; i < 5; ++i) {
        text += TrimFixed(FormatFixed(values[i]));
        text += i < 4 ? "," : ")";
    }
    return text;
}

std::string RewriteOffsetMemoryText(std::string_view content, unsigned kinds) {
    std::string out;
    out.reserve(content.size() + 256);
    std::vector<unsigned char> seenTool[2] = {std::vector<unsigned char>(kToolOffsetCount),
                                              std::vector<unsigned char>(kToolOffsetCount)};
    std::vector<unsigned char> seenWork(kWorkOffsetEntries);
    std::size_t lfEnds = 0;
    std::size_t crlfEnds = 0;
    bool lastHasEnd = true;

    // The lines are taken exactly as the controller reader takes them.
    DefinitionLineStream stream;
    std::string copy(content);
    stream.file = content.empty() ? nullptr : fmemopen(copy.data(), copy.size(), "r");
    while (stream.file != nullptr && ReadNextDefinitionLine(&stream)) {
        const std::string_view raw =
            content.substr(static_cast<std::size_t>(stream.begin),
                           static_cast<std::size_t>(stream.end - stream.begin));
        std::string_view ending;
        if (raw.size() >= 2 && raw.substr(raw.size() - 2) == "\r\n") {
            ending = "\r\n", ++crlfEnds;
        } else if (!raw.empty() && raw.back() == '\n') {
            ending = "\n", ++lfEnds;
        }
        lastHasEnd = !ending.empty();

        OffsetLineInfo info;
        const int kind = ClassifyControllerLine(stream.text);
        if (kind == 0 || !ParseOffsetMemoryLine(stream.text, kind == 2, &info) ||
            !Renews(info, kinds)) {
            out.append(raw);
            continue;
        }
        if (info.kind == kOffsetLineD || info.kind == kOffsetLineH) {
            seenTool[info.kind == kOffsetLineD ? 0 : 1][info.number] = 1;
        } else {
            seenWork[info.kind == kOffsetLineExternal ? 0
                     : info.kind == kOffsetLineG5     ? info.number - 3
                                                      : info.number] = 1;
        }
        const std::string renewed = RenewLine(info);
        if (!renewed.empty()) {
            out += renewed;
            out.append(ending);
        }
    }
    if (stream.file != nullptr) {
        std::fclose(stream.file);
    }

    std::vector<std::string> appended;
    for (int k = 0; k < 2; ++k) {
        if ((kinds & (k == 0 ? kRewriteDOffsets : kRewriteHOffsets)) == 0) {
            continue;
        }
        for (int n = 1; n < kToolOffsetCount; ++n) {
            if (!seenTool[k][n]) {
                std::string line = FormatToolOffsetLine(k == 0 ? kOffsetLineD : kOffsetLineH, n);
                if (!line.empty()) {
                    appended.push_back(std::move(line));
                }
            }
        }
    }
    if ((kinds & kRewriteWorkOffsets) != 0) {
        for (int entry = 0; entry < kWorkOffsetEntries; ++entry) {
            if (!seenWork[entry] && !IsZeroEntry(entry)) {
                appended.push_back(FormatWorkOffsetLine(AppendedWorkHead(entry), entry));
            }
        }
    }
    if (!appended.empty()) {
        const char* ending = crlfEnds > lfEnds ? "\r\n" : "\n";
        if (!lastHasEnd && !out.empty()) {
            out += ending;
        }
        for (const std::string& line : appended) {
            out += line;
            out += ending;
        }
    }
    return out;
}

int UpdateCtlOffsetMemories(unsigned kinds) {
    std::string path = Controller.path.empty() ? DefinitionFiles.controllerFile : Controller.path;
    std::string actual;
    if (!FindFileIgnoringCase(ConvertPathSeparators(path), &actual)) {
        return kOffsetRewriteNoFile;
    }
    if (!(GetFileWriteTime(actual) == Controller.fileTime)) {
        return kOffsetRewriteChangedOnDisk;
    }
    struct stat info = {};
    std::string content;
    std::FILE* stream = std::fopen(actual.c_str(), "rb");
    if (stream == nullptr || fstat(fileno(stream), &info) != 0) {
        if (stream != nullptr) {
            std::fclose(stream);
        }
        return kOffsetRewriteNoFile;
    }
    char buffer[8192];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        content.append(buffer, count);
    }
    const bool readFailed = std::ferror(stream) != 0;
    std::fclose(stream);
    if (readFailed) {
        return kOffsetRewriteNoFile;
    }
    const mode_t mode = info.st_mode & 07777;

    const std::string renewed = RewriteOffsetMemoryText(content, kinds);
    FileReplacement replacement;
    if (!BeginFileReplacement(actual, &replacement, static_cast<int>(mode)) ||
        !WriteAllBytes(replacement.descriptor, renewed.data(), renewed.size())) {
        AbandonFileReplacement(&replacement);
        return kOffsetRewriteWriteFailed;
    }
    const bool backup = RewriteBatch.depth == 0 || !RewriteBatch.backupMade;
    if (backup && !ReplaceFileContents(actual + ".bak", content, 1, static_cast<int>(mode),
                                       FileLinks::Replace)) {
        AbandonFileReplacement(&replacement);
        return kOffsetRewriteBackupFailed;
    }
    if (!FinishFileReplacement(&replacement, 1)) {
        return kOffsetRewriteReplaceFailed;
    }
    if (RewriteBatch.depth > 0) {
        RewriteBatch.backupMade = 1;
    }
    Controller.fileTime = GetFileWriteTime(actual);
    return kOffsetRewriteDone;
}

int UpdateCtlToolOffsets(int kind) {
    return UpdateCtlOffsetMemories(kind == 0 ? kRewriteDOffsets : kRewriteHOffsets);
}

int UpdateCtlWorkOffsets() {
    return UpdateCtlOffsetMemories(kRewriteWorkOffsets);
}

void BeginOffsetRewriteBatch() {
    if (RewriteBatch.depth++ == 0) {
        RewriteBatch.backupMade = 0;
    }
}

void EndOffsetRewriteBatch() {
    if (RewriteBatch.depth > 0) {
        --RewriteBatch.depth;
    }
}

}  // namespace mirexa
