// Holder outlines: the ARBOR list forms and the holder file.
#include "config/holder_file.h"

#include <cmath>
#include <cstdio>

#include "config/definition_lines.h"
#include "services/file_paths.h"

namespace mirexa {

HolderFileState StagedHolderFile;

int MatchArborKeyword(const char* line, std::uint32_t* kind) {
    if (StartsWithKeyword(line, "ARBOR3")) {
        *kind = kArborCoded;
        return 6;
    }
    if (StartsWithKeyword(line, "ARBOR2")) {
        *kind = kArborCones;
        return 6;
    }
    if (StartsWithKeyword(line, "ARBOR")) {
        *kind = kArborCylinders;
        return 5;
    }
    return 0;
}

int ReadArborList(std::uint32_t kind, LineCursor* cursor, const char* line, ArborProfile* profile) {
    *profile = ArborProfile{};
    profile->present = 1;
    profile->kind = kind;
    float d = 0.0f;
    float length = 0.0f;
    if (kind == kArborCylinders) {
        for (int i = 0; i < kArborMaxSegments; ++i) {
            i == 0 ? ScanFloat(cursor, line, &d) : ScanNextFloat(cursor, line, &d);
            if (d == 0.0f) {
                break;
            }
            ScanNextFloat(cursor, line, &length);
            profile->diameters[i] = d;
            profile->lengths[i] = length;
            profile->count = i + 1;
        }
    } else if (kind == kArborCones) {
        // Up to ten segments take eleven diameters; the eleventh closes the tenth segment.
        for (int i = 0; i <= kArborMaxSegments; ++i) {
            i == 0 ? ScanFloat(cursor, line, &d) : ScanNextFloat(cursor, line, &d);
            profile->diameters[i] = d;
            if (i > 0 && profile->lengths[i - 1] == 0.0f && d == 0.0f) {
                profile->count = i - 1;
                break;
            }
            if (i == kArborMaxSegments) {
                profile->count = kArborMaxSegments;
                break;
            }
            ScanNextFloat(cursor, line, &length);
            profile->lengths[i] = length;
            profile->count = i + 1;
        }
    } else {
        ScanFloat(cursor, line, &d);
        profile->diameters[0] = d;
        for (int i = 0; i < kArborMaxSegments; ++i) {
            float code = 0.0f;
            float next = 0.0f;
            ScanNextFloat(cursor, line, &length);
            ScanNextFloat(cursor, line, &code);
            ScanNextFloat(cursor, line, &next);
            if (length == 0.0f && next == 0.0f) {
                break;
            }
            profile->lengths[i] = length;
            // The integer part, kept within the int range for absurd values.
            profile->codes[i] = code >= 2147483520.0f    ? 2147483520
                                : code <= -2147483520.0f ? -2147483520
                                                         : static_cast<std::int32_t>(code);
            profile->diameters[i + 1] = next;
            profile->count = i + 1;
        }
    }
    return profile->count;
}

int IsUsableArborProfile(const ArborProfile& profile) {
    if (profile.count < 1 || profile.count > kArborMaxSegments) {
        return 0;
    }
    const int diameters = profile.kind == kArborCylinders ? profile.count : profile.count + 1;
    for (int i = 0; i < diameters; ++i) {
        const float d = profile.diameters[i];
        if (!std::isfinite(d) || d < 0.0f || (profile.kind == kArborCylinders && !(d > 0.0f))) {
            return 0;
        }
    }
    for (int i = 0; i < profile.count; ++i) {
        if (!std::isfinite(profile.lengths[i]) || !(profile.lengths[i] > 0.0f)) {
            return 0;
        }
    }
    return 1;
}

int ReadArborFile(const std::string& name, const std::string& toolsFilePath, ArborProfile* profile,
                  HolderFileState* staged, std::string* resolvedPath) {
    *profile = ArborProfile{};
    std::string path = name;
    if (!name.empty() && name.find_first_of("/\\") == std::string::npos) {
        char directory[kHolderPathLimit + 1];
        char joined[kHolderPathLimit + 1];
        if (!GetPathDirectory(toolsFilePath, directory, sizeof directory) ||
            !JoinPath(directory, name, joined, sizeof joined)) {
            path.clear();
        } else {
            path = joined;
        }
    }
    if (path.empty() || path.size() > kHolderPathLimit) {
        if (staged) {
            *staged = HolderFileState{name, FileWriteTime{}, kHolderFileMissing};
        }
        return kHolderFileBadName;
    }
    if (resolvedPath) {
        *resolvedPath = path;
    }
    if (staged) {
        staged->path = path;
        staged->writeTime = GetFileWriteTime(ConvertPathSeparators(path));
    }
    std::FILE* file = OpenFileStream(path, "r");
    if (!file) {
        if (staged) {
            staged->status = kHolderFileMissing;
        }
        return kHolderFileMissing;
    }
    if (staged) {
        staged->status = kHolderFileRead;
    }
    int result = kHolderFileNoHolder;
    char line[kDefinitionLineSize];
    while (ReadDefinitionLine(file, line, sizeof line)) {
        if (line[0] == '#') {
            continue;
        }
        std::uint32_t kind = 0;
        int keywordLength = MatchArborKeyword(line, &kind);
        if (keywordLength > 0) {
            LineCursor cursor = keywordLength;
            ReadArborList(kind, &cursor, line, profile);
            result = kHolderFileRead;
            if (HoldsNonFiniteWord(line) || !IsUsableArborProfile(*profile)) {
                *profile = ArborProfile{};
                result = kHolderFileUnusable;
            }
            break;  // a holder file holds one holder: the first
        }
    }
    std::fclose(file);
    return result;
}

}  // namespace mirexa
