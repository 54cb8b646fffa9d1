// Colour values and the colour file.
#include "config/color_file.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/definition_lines.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/line_scanner.h"

namespace mirexa {

namespace {

// One colour component: clamped in double first, so no out-of-range value reaches the integer
// conversion.
int ColorComponent(double value) {
    if (!(value > 0.0)) {
        return 0;  // also NaN
    }
    if (value >= 255.0) {
        return 255;
    }
    return static_cast<int>(value);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A keyword of the colour file and its field: a member, or a pen number when pen > 0.
struct ColorFileKeyword {
    const char* keyword;
    ColorRef ColorSet::*field;
    int pen;
};

// Left column, then right column, the pens from 15 down to 1. No keyword is a prefix of another.
const ColorFileKeyword kColorFileKeywords[] = {
    {"WORK COLOR", &ColorSet::work, 0},
    {"PENKI COLOR", &ColorSet::penki, 0},
    {"TOOL-TOP COLOR", &ColorSet::toolTop, 0},
    {"TOOL-SIDE COLOR", &ColorSet::toolSide, 0},
    {"ARBOR COLOR", &ColorSet::arbor, 0},
    {"HEAD COLOR", &ColorSet::head, 0},
    {"HEAD1 COLOR", &ColorSet::head1, 0},
    {"HEAD2 COLOR", &ColorSet::head2, 0},
    {"TABLE COLOR", &ColorSet::table, 0},
    {"TABLE1 COLOR", &ColorSet::table1, 0},
    {"TABLE2 COLOR", &ColorSet::table2, 0},
    {"VICE COLOR", &ColorSet::vice, 0},
    {"BASIC COLOR", &ColorSet::basic, 0},
    {"TOP-PATH COLOR", &ColorSet::topPath, 0},
    {"CUT-PATH COLOR", &ColorSet::topPath2, 0},
    {"CONSTRUCTION COLOR", &ColorSet::construction, 0},
    {"BACKGROUND COLOR", &ColorSet::background, 0},
    {"PEN15 COLOR", nullptr, 15},
    {"PEN14 COLOR", nullptr, 14},
    {"PEN13 COLOR", nullptr, 13},
    {"PEN12 COLOR", nullptr, 12},
    {"PEN11 COLOR", nullptr, 11},
    {"PEN10 COLOR", nullptr, 10},
    {"PEN9 COLOR", nullptr, 9},
    {"PEN8 COLOR", nullptr, 8},
    {"PEN7 COLOR", nullptr, 7},
    {"PEN6 COLOR", nullptr, 6},
    {"PEN5 COLOR", nullptr, 5},
    {"PEN4 COLOR", nullptr, 4},
    {"PEN3 COLOR", nullptr, 3},
    {"PEN2 COLOR", nullptr, 2},
    {"PEN1 COLOR", nullptr, 1},
};

}  // namespace

int ParseColor(const char* text, ColorRef* out) {
    std::string_view value(text);
    while (!value.empty() && IsSpace(value.front())) {
        value.remove_prefix(1);
    }
    while (!value.empty() && IsSpace(value.back())) {
        value.remove_suffix(1);
    }
    if (EqualIgnoringCase(value, "BLACK")) {
        *out = 0;
        return 1;
    }
    if (EqualIgnoringCase(value, "WHITE")) {
        *out = 0x00FFFFFF;
        return 1;
    }
    double rgb[3] = {};
    LineCursor cursor = 0;
    ScanDouble(&cursor, text, &rgb[0]);
    ScanNextDouble(&cursor, text, &rgb[1]);
    ScanNextDouble(&cursor, text, &rgb[2]);
    *out = MakeColorRef(ColorComponent(rgb[0]), ColorComponent(rgb[1]), ColorComponent(rgb[2]));
    return 1;
}

void CopyColorSettingsToEdit() {
    EditColors = LiveColors;
}

void RestoreColorSettingsFromEdit() {
    LiveColors = EditColors;
}

int ReadColorFile(const std::string& path) {
    std::FILE* file = OpenFileStream(path, "r");
    if (!file) {
        return 0;
    }
    CopyColorSettingsToEdit();
    char line[kDefinitionLineSize];
    while (ReadDefinitionLine(file, line, sizeof line)) {
        for (const ColorFileKeyword& entry : kColorFileKeywords) {
            if (!StartsWithKeyword(line, entry.keyword)) {
                continue;
            }
            // The value starts behind the keyword and its separator (blanks and "="); a line
            // that is only the keyword has an empty value.
            LineCursor cursor = static_cast<LineCursor>(std::strlen(entry.keyword));
            SkipBlanksAndEquals(&cursor, line);
            ColorRef* field =
                entry.pen > 0 ? &EditColors.pens[entry.pen] : &(EditColors.*entry.field);
            ParseColor(line + cursor, field);
            break;
        }
    }
    std::fclose(file);
    return 1;
}

}  // namespace mirexa
