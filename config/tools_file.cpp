// The tools file: header lines, MAGAZINE lines and their items, the rules applied after the
// file, and the display names of tools.
#include "config/tools_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/definition_hooks.h"
#include "config/definition_keywords.h"
#include "config/holder_file.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"

namespace mirexa {

MountedToolLayout MountedTools;
ToolFileState ToolFile;

namespace {

constexpr float kPiSingle = 3.1415927f;

// The file and write time of the last reading: the program reads the same tools file more than
// once (after the controller and machine files), and each of its problems is logged once.
std::string lastReadingPath;
FileWriteTime lastReadingTime;
bool quietReading = false;

void LogToolsReading(const std::string& text) {
    if (!quietReading) {
        AppendLogEntry(text);
    }
}
constexpr std::size_t kHeaderHolderNameChars = 255;
constexpr std::size_t kItemHolderNameChars = 1023;

// TOOL BASE POINT modes.
constexpr std::int32_t kBaseBallCenter = 1;
constexpr std::int32_t kBaseFCenter = 2;
constexpr std::int32_t kBaseLengthTop = 3;
constexpr std::int32_t kBaseArborTop = 4;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What the item readers of one line share.
struct ItemContext {
    const char* line = {};
    LineCursor cursor = {};
    std::int32_t tool = {};
    bool shapeRead = {};
    bool lineEnds = {};  // an item that takes the rest of the line
};

float ScanFirst(ItemContext* c) {
    float value = 0;
    ScanFloat(&c->cursor, c->line, &value);
    return value;
}

float ScanNext(ItemContext* c) {
    float value = 0;
    ScanNextFloat(&c->cursor, c->line, &value);
    return value;
}

// The width given behind ";": taken when a number starts behind the ";" before the next ","
// behind the cursor (or there is no such comma). Returns 0 without one.
float ScanOptionalWidth(ItemContext* c) {
    const char* line = c->line;
    const char* semicolon = std::strchr(line + c->cursor, ';');
    if (semicolon == nullptr) {
        return 0.0f;
    }
    const char* number = semicolon + 1 + std::strcspn(semicolon + 1, NumberStartSet);
    if (*number == '\0') {
        return 0.0f;
    }
    const char* comma = std::strchr(line + c->cursor, ',');
    if (comma != nullptr && comma < number) {
        return 0.0f;
    }
    c->cursor = static_cast<LineCursor>(number - line);
    float w = 0;
    ScanFloat(&c->cursor, line, &w);
    return w;
}

ToolRecord& CurrentRecord(const ItemContext& c) {
    return ToolTableSet.tools[c.tool];
}

void ReadToolName(ItemContext* c) {
    std::optional<std::string> name;
    ScanQuotedString(&c->cursor, c->line, &name);
    if (name.has_value()) {
        CurrentRecord(*c).name = *name;
    }
}

// Side angles of 90 deg or more, negative or NaN make no cutter; they are taken within
// [0, 89.99] and the file is named in the log.
float CheckedAngle(float degrees, std::int32_t tool) {
    if (degrees >= 0.0f && degrees < 90.0f) {
        return degrees;
    }
    const float taken = degrees >= 90.0f ? 89.99f : 0.0f;
    char message[160];
    std::snprintf(message, sizeof message,
                  "Tools file: tool %d has an angle of %g deg; %g deg is used\n",
                  static_cast<int>(tool), static_cast<double>(degrees), static_cast<double>(taken));
    LogToolsReading(message);
    return taken;
}

// The type of a CUTTER from its values.
std::uint32_t InferCutterType(const ToolRecord& t) {
    const bool noAngles = t.alpha == 0.0f && t.beta == 0.0f;
    if (t.d == 2.0f * t.r && noAngles) {
        return kToolBall;
    }
    if (t.d > 0.0f && t.r == 0.0f && noAngles) {
        return kToolFlat;
    }
    if (t.d > 0.0f && t.r > 0.0f && noAngles) {
        return kToolBull;
    }
    if (t.d <= 0.0f || (t.d > 0.0f && t.r > 0.0f && !noAngles)) {
        const double b = t.beta * 3.141592653589793 / 180.0;
        const double tb = TanDegrees(t.beta);
        const double d = 2.0 * t.r * (std::sin(b) * tb - tb + std::cos(b));
        if (t.r > 0.0f && t.f == t.r && t.e == 0.0f && t.alpha == 0.0f && t.beta > 0.0f &&
            std::fabs(t.d - d) < 1e-5) {
            return kToolTaperBall;
        }
    }
    return kToolGeneralCutter;
}

void ClearShapeExtras(ToolRecord* t) {
    t->alpha = t->beta = t->k = 0.0f;
}

void ReadShape(int shape, ItemContext* c) {
    ToolRecord& t = CurrentRecord(*c);
    switch (shape) {
        case 0: {  // CUTTER
            t.d = ScanFirst(c), t.r = ScanNext(c), t.e = ScanNext(c), t.f = ScanNext(c);
            t.alpha = CheckedAngle(ScanNext(c), c->tool);
            t.beta = CheckedAngle(ScanNext(c), c->tool);
            t.w = t.beta > 0.0f ? ScanOptionalWidth(c) : 0.0f;
            t.h = ScanNext(c);
            t.k = 0.0f;
            t.type = InferCutterType(t);
            if (t.w > 0.0f) {
                t.w = static_cast<float>(ClampTipWidth(t.d, t.r, t.alpha, t.beta, t.h, t.w));
            }
            break;
        }
        case 1:  // BALL
            t.type = kToolBall;
            t.d = ScanFirst(c), t.h = ScanNext(c);
            t.r = t.d / 2.0f, t.e = 0.0f, t.f = t.d / 2.0f;
            ClearShapeExtras(&t);
            break;
        case 2:  // FLAT
        case 4:  // KEGAKI
            t.type = shape == 2 ? kToolFlat : kToolKegaki;
            t.d = ScanFirst(c), t.h = ScanNext(c);
            t.r = t.e = t.f = 0.0f;
            ClearShapeExtras(&t);
            break;
        case 3:  // BULL
            t.type = kToolBull;
            t.d = ScanFirst(c), t.r = ScanNext(c), t.h = ScanNext(c);
            t.e = t.d / 2.0f - t.r, t.f = t.r;
            ClearShapeExtras(&t);
            break;
        case 5: {  // TAPERBALL
            t.type = kToolTaperBall;
            t.r = ScanFirst(c);
            t.beta = CheckedAngle(ScanNext(c), c->tool);
            t.w = ScanOptionalWidth(c);
            t.h = ScanNext(c);
            t.e = t.f = t.alpha = t.k = 0.0f;
            DeriveToolShape(&t);
            if (t.w > 0.0f) {
                t.w = static_cast<float>(ClampTipWidth(t.d, t.r, t.alpha, t.beta, t.h, t.w));
            }
            break;
        }
        case 6:  // VERTICAL
            t.type = kToolVertical;
            t.d = ScanFirst(c), t.k = ScanNext(c), t.h = ScanNext(c);
            t.r = t.e = t.f = t.alpha = t.beta = 0.0f;
            break;
        case 7:  // OVALR
        case 8:  // OVAL
            t.type = kToolOval;
            t.d = ScanFirst(c), t.f = ScanNext(c), t.e = ScanNext(c);
            t.r = shape == 7 ? ScanNext(c) : 0.0f;
            t.h = ScanNext(c);
            ClearShapeExtras(&t);
            break;
        case 9: {  // T-THROW
            t.type = kToolTThrow;
            t.d = ScanFirst(c);
            t.w = ScanOptionalWidth(c);
            t.t = ScanNext(c), t.r = ScanNext(c), t.r2 = ScanNext(c), t.neck = ScanNext(c);
            if (t.w != 0.0f && t.w != t.d) {
                t.r = t.r2 = 0.0f;
            }
            t.h = 5.0f * t.t;
            ClearShapeExtras(&t);
            t.t = std::max({t.t, t.r + t.r2, 2.0f * t.r, 2.0f * t.r2});
            break;
        }
        case 10:  // SPHERE
            t.type = kToolSphere;
            t.d = ScanFirst(c), t.neck = ScanNext(c);
            t.h = 5.0f * t.d;
            break;
        default:  // RADIUS
            t.type = kToolRadius;
            t.d = ScanFirst(c), t.r = ScanNext(c), t.f = ScanNext(c);
            t.e = static_cast<float>(CornerRadiusOffset(t.d, t.r, t.f));
            t.alpha = t.beta = t.k = 0.0f;
            t.h = t.r;
            break;
    }
    ReadToolName(c);
    if (shape == 2 && t.name.compare(0, 6, "KEGAKI") == 0) {
        t.type = kToolKegaki;
    }
}

// The load limits; l converted to a share of the cross-section when "%" follows it.
void ReadLimits(ItemContext* c, std::uint32_t type) {
    ToolLoadLimit& limit = ToolTableSet.loadLimits[c->tool];
    limit.type = type;
    const float d = CurrentRecord(*c).d;
    auto share = [d](float l) { return (d * l * d / 400.0f) * kPiSingle; };
    const char* line = c->line;
    float* l = limit.limits;
    l[0] = ScanFirst(c);
    if (std::strchr(line + c->cursor, ',') == nullptr) {
        if (std::strchr(line + c->cursor, '%') != nullptr) {
            l[0] = share(l[0]);
        }
        l[1] = l[2] = l[3] = l[0];
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            l[i] = ScanNext(c);
        }
        const char* here = line + c->cursor;
        const bool percent =
            i < 3 ? HasPercentBeforeComma(here) != 0 : std::strchr(here, '%') != nullptr;
        if (percent) {
            l[i] = share(l[i]);
        }
    }
}

void ReadFeedOptimization(ItemContext* c, LineCursor keywordEnd) {
    const char letter = c->line[ClampCursorToLine(c->line, keywordEnd + 1)];
    const int kind = letter == 'D' ? 3 : letter == 'U' ? 2 : letter == 'V' ? 1 : 0;
    FeedOptimizationTable& table = ToolTableSet.feedTables[c->tool];
    table.used[kind] = 1;
    c->cursor = ClampCursorToLine(c->line, keywordEnd + 2);
    table.levels[kind][0] = ScanFirst(c);
    int pairs = 0;
    for (int i = 0; i < 19; ++i) {
        const float step = ScanNext(c);
        if (step == 0.0f) {
            break;
        }
        table.steps[kind][i] = step;
        const float level = ScanNext(c);
        if (level == 0.0f) {
            break;
        }
        table.levels[kind][i + 1] = level;
        ++pairs;
    }
    table.pairs[kind] = pairs;
}

void ReadLayout(ItemContext* c) {
    double position[3] = {};
    ScanDouble(&c->cursor, c->line, &position[0]);
    ScanNextDouble(&c->cursor, c->line, &position[1]);
    ScanNextDouble(&c->cursor, c->line, &position[2]);
    MountedToolLayout& m = MountedTools;
    // The layout has fixed room for tool numbers 0 .. 200 and a list of 200 entries.
    if (c->tool >= kMountedToolEntries || m.count + 1 >= kMountedToolEntries) {
        LogToolsReading("Tools file: LAYOUT1 of tool " + std::to_string(c->tool) +
                        " is beyond the mounted-tool layout of 200 tools; ignored\n");
        return;
    }
    m.flags[c->tool] = 1;
    for (int k = 0; k < 3; ++k) {
        m.positions[c->tool][k] = position[k];
    }
    m.list[++m.count] = c->tool;
}

// The holder-file name behind ATL: blanks, tabs, "=" and full-width blanks passed over, the
// rest of the line up to the line feed.
std::string HolderFileName(const char* line, LineCursor cursor, std::size_t limit) {
    const char* p = line + ClampCursorToLine(line, cursor);
    for (;;) {
        if (*p == ' ' || *p == '\t' || *p == '=') {
            ++p;
        } else if (static_cast<unsigned char>(p[0]) == 0x81 &&
                   static_cast<unsigned char>(p[1]) == 0x40) {
            p += 2;
        } else {
            break;
        }
    }
    std::string_view name = RestOfLine(p, 0);
    return std::string(name.substr(0, std::min(name.size(), limit)));
}

// A holder that is not there or holds nothing usable would let its tools run without the holder
// checks: the reading counts it and keeps the first with its reason for the message of whoever
// reads the file (a batch fails, a user is told).
void NoteUnusableHolder(const std::string& problem) {
    const std::string text =
        problem + ChooseLanguageText("; its tools have no holder to check.",
                                     "。その工具のホルダーはチェックされません");
    if (ToolFile.unusableHolderFiles++ == 0) {
        ToolFile.holderFileProblem = text;
    }
}

const char* UnusableArborText() {
    return ChooseLanguageText(
        "its ARBOR line gives no usable holder (a size of zero or below, or no number)",
        "ARBOR 行に使えるホルダーがありません (0 以下の寸法か、数値でない値)");
}

void NoteHolderFile(int result, const std::string& name, const std::string& resolved) {
    if (result == kHolderFileRead) {
        return;
    }
    const std::string path = resolved.empty() ? name : resolved;
    std::string reason;
    if (result == kHolderFileBadName) {
        reason = ChooseLanguageText("the name is empty or too long", "名前が空か長すぎます");
    } else if (result == kHolderFileNoHolder) {
        reason = ChooseLanguageText("it holds no holder (no ARBOR line)",
                                    "ホルダーの定義 (ARBOR 行) がありません");
    } else if (result == kHolderFileUnusable) {
        reason = UnusableArborText();
    } else {
        struct stat info = {};
        reason = DescribeFileError(stat(path.c_str(), &info) != 0 ? errno
                                   : S_ISDIR(info.st_mode)        ? EISDIR
                                   : !S_ISREG(info.st_mode)       ? EINVAL
                                                                  : EACCES);
    }
    NoteUnusableHolder(ToolFile.path +
                       ChooseLanguageText(" - The holder file ", " - ホルダーファイル ") + path +
                       ": " + reason);
}

// An ARBOR line of the tools file itself that gives no usable holder is told as a holder file
// that gives none; the tool (0: the header's holder for every tool) is left without a holder.
void CheckOwnHolder(ArborProfile* holder, std::int32_t tool) {
    if (!holder->present || IsUsableArborProfile(*holder)) {
        return;
    }
    *holder = ArborProfile{};
    NoteUnusableHolder(ToolFile.path + " - " +
                       (tool > 0 ? ChooseLanguageText("tool ", "工具 ") + std::to_string(tool)
                                 : std::string(ChooseLanguageText("the header", "ヘッダー"))) +
                       ": " + UnusableArborText());
}

void ReadOwnHolder(ItemContext* c, std::uint32_t kind, LineCursor keywordEnd) {
    ArborProfile& holder = ToolTableSet.arbors[c->tool];
    c->cursor = keywordEnd;
    ReadArborList(kind, &c->cursor, c->line, &holder);
    if (CurrentRecord(*c).type == kToolKegaki) {
        holder.present = 0;
    }
    CheckOwnHolder(&holder, c->tool);
}

void ReadLength(ItemContext* c, std::uint32_t kind) {
    ToolLengthRecord& length = ToolTableSet.lengths[c->tool];
    float* v = length.values;
    v[0] = ScanFirst(c);
    if (kind == kToolLength2) {
        v[1] = ScanNext(c), v[2] = ScanNext(c), v[5] = ScanNext(c);
    } else if (kind == kToolLength3) {
        for (int i = 1; i < 6; ++i) {
            v[i] = ScanNext(c);
        }
    }
    if (CurrentRecord(*c).type != kToolKegaki) {
        length.kind = kind;
    }
}

// The item at the position, if any; returns false when no keyword starts there.
bool ReadItem(ItemContext* c, LineCursor position) {
    static const std::string_view kShapes[] = {"CUTTER", "BALL",      "FLAT",     "BULL",
                                               "KEGAKI", "TAPERBALL", "VERTICAL", "OVALR",
                                               "OVAL",   "T-THROW",   "SPHERE",   "RADIUS"};
    const char* line = c->line;
    if (!c->shapeRead) {
        for (int i = 0; i < 12; ++i) {
            if (MatchWordAt(line, position, kShapes[i])) {
                c->cursor = position + static_cast<LineCursor>(kShapes[i].size());
                ReadShape(i, c);
                c->shapeRead = true;
                return true;
            }
        }
    }
    auto at = [&](std::string_view word) {
        if (!MatchWordAt(line, position, word)) {
            return false;
        }
        c->cursor = position + static_cast<LineCursor>(word.size());
        return true;
    };
    const ToolPen kHighestPen = 15;
    if (at("LENGTH2")) {
        ReadLength(c, kToolLength2);
    } else if (at("LENGTH3")) {
        ReadLength(c, kToolLength3);
    } else if (at("LENGTH")) {
        ReadLength(c, kToolLength1);
    } else if (at("ARBOR3")) {
        ReadOwnHolder(c, kArborCoded, c->cursor);
    } else if (at("ARBOR2")) {
        ReadOwnHolder(c, kArborCones, c->cursor);
    } else if (at("ARBOR")) {
        ReadOwnHolder(c, kArborCylinders, c->cursor);
    } else if (at("ATL")) {
        const std::string name = HolderFileName(line, c->cursor, kItemHolderNameChars);
        std::string resolved;
        NoteHolderFile(
            ReadArborFile(name, ToolFile.path, &ToolTableSet.arbors[c->tool], nullptr, &resolved),
            name, resolved);
        c->lineEnds = true;
    } else if (at("SHIFT")) {
        ToolTableSet.shifts[c->tool] = ScanFirst(c);
    } else if (at("PEN")) {
        const float pen = ScanFirst(c);
        ToolTableSet.pens[c->tool] = pen < 1.0f          ? 0
                                     : pen > kHighestPen ? kHighestPen
                                                         : static_cast<ToolPen>(pen);
    } else if (at("LIMITS")) {
        const bool log = MatchWordAt(line, c->cursor, "P");
        ReadLimits(c, log ? kToolLoadRemovalLog : kToolLoadRemovalAlarm);
    } else if (at("LIMIT")) {
        const bool log = MatchWordAt(line, c->cursor, "P");
        ReadLimits(c, log ? kToolLoadSectionLog : kToolLoadSectionAlarm);
    } else if (at("OPT-F")) {
        ReadFeedOptimization(c, c->cursor);
    } else if (at("LAYOUT1")) {
        ReadLayout(c);
    } else if (at("NAME=")) {
        c->lineEnds = true;
    } else {
        return false;
    }
    return true;
}

// Reads the items of one line from the start position, for the tool in the context.
void ReadItems(ItemContext* c, LineCursor start) {
    const char* line = c->line;
    const LineCursor length = static_cast<LineCursor>(std::strlen(line));
    const LineCursor contentEnd = (length > 0 && line[length - 1] == '\n') ? length - 1 : length;
    LineCursor position = start;
    for (;;) {
        // The next item starts at a letter or "(" at or behind the position.
        while (position < contentEnd && !IsLetter(line[position]) && line[position] != '(') {
            ++position;
        }
        if (position >= contentEnd) {
            return;
        }
        c->cursor = position;
        if (!ReadItem(c, position)) {
            ++position;
            continue;
        }
        if (c->lineEnds) {
            return;
        }
        position = std::max(ClampCursorToLine(line, c->cursor), position + 1);
    }
}

void ClearToolsForReading() {
    MountedTools = MountedToolLayout{};
    ToolTables& t = ToolTableSet;
    for (std::size_t n = 0; n < t.tools.size(); ++n) {
        t.tools[n].present = 0;
        t.tools[n].name = std::string();  // the name's memory is released, not only forgotten
        t.lengths[n].kind = 0;
        ArborProfile& holder = t.arbors[n];
        holder.present = 0;
        holder.count = 0;
        for (int i = 0; i < kArborMaxSegments; ++i) {
            holder.diameters[i] = 0.0f;
            holder.lengths[i] = 0.0f;
        }
        t.loadLimits[n] = ToolLoadLimit{};
    }
    if (DefinitionCallbacks.setSnapshotToolNumber != nullptr) {
        DefinitionCallbacks.setSnapshotToolNumber(-1);
    }
    ToolFile.highestTool = 11;
    ToolFile.currentTool = 1;
    ToolFile.initialTool = 1;
    StagedHolderFile.status = 0;
}

// The "I" line: the start tool, when it names a tool of the tables.
void ReadStartTool(const char* line) {
    LineCursor cursor = 1;
    double value = 0;
    ScanDouble(&cursor, line, &value);
    if (value >= 1.0 && value < ToolTableSet.maxMagazine + 1.0) {
        ToolFile.currentTool = ToolFile.initialTool = static_cast<std::int32_t>(value);
    } else {
        LogToolsReading("Tools file: the start tool line \"" + std::string(RestOfLine(line, 0)) +
                        "\" names no tool of the magazine; tool 1 is kept\n");
    }
}

// Returns the tool number of a MAGAZINE line, or 0 when it is outside the tables.
std::int32_t MagazineNumber(const char* line) {
    const char* p = line + 8;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    const std::int32_t n = ParseDecimalInt32(p);
    return n >= 1 && n <= ToolTableSet.maxMagazine ? n : 0;
}

void OpenMagazineEntry(std::int32_t n) {
    ToolTables& t = ToolTableSet;
    ToolFile.highestTool = std::max(ToolFile.highestTool, n);
    t.tools[n].present = 1;
    t.lengths[n].kind = 0;
    if (ToolFile.stagedHolder.present) {
        t.arbors[n] = ToolFile.stagedHolder;
    } else {
        t.arbors[n].present = 0;
    }
    t.shifts[n] = 0.0f;
    t.pens[n] = 0;
    for (std::uint32_t& used : t.feedTables[n].used) {
        used = 0;
    }
}

// Step 5: the shift that puts every tool's length on the TOOL BASE POINT.
void ApplyBasePointShifts() {
    if (Settings.toolBasePoint == 0) {
        return;
    }
    ToolTables& t = ToolTableSet;
    for (std::int32_t n = 1; n <= t.maxMagazine; ++n) {
        if (t.tools[n].present && t.lengths[n].kind != 0) {
            t.shifts[n] += BasePointShift(n);
        }
    }
}

// The pitch of the current stock, or of the next one when there is no stock yet (mm).
double CurrentDexelPitch() {
    const int index = CurrentStockIndex.load();
    if (index >= 0 && index < kStockModelSlots && StockModels[index].nx > 0) {
        return StockModels[index].pitch;
    }
    return DexelPitch.currentPitch;
}

}  // namespace

float BasePointShift(int n) {
    const std::int32_t mode = Settings.toolBasePoint;
    if (mode == 0 || !IsToolNumberInTables(n)) {
        return 0.0f;
    }
    const ToolTables& t = ToolTableSet;
    const ToolRecord& tool = t.tools[static_cast<std::size_t>(n)];
    if (mode == kBaseBallCenter) {
        return (tool.type == kToolBall || tool.type == kToolTaperBall) ? tool.r : 0.0f;
    }
    if (mode == kBaseLengthTop) {
        return t.lengths[static_cast<std::size_t>(n)].values[0];
    }
    auto scratch = std::make_unique<CurrentToolRecord>();
    if (!DeriveToolGeometry(n, 0.0, scratch.get())) {
        return 0.0f;
    }
    if (mode == kBaseFCenter) {
        return static_cast<float>(scratch->cornerCentreHeight);
    }
    if (mode == kBaseArborTop) {
        auto profile = std::make_unique<ToolProfile>();
        BuildToolProfile(*scratch, 0.0, profile.get());
        return static_cast<float>(profile->toolTopHeight);
    }
    return 0.0f;
}

int HasPercentBeforeComma(const char* text) {
    const char* percent = std::strchr(text, '%');
    const char* comma = std::strchr(text, ',');
    return percent != nullptr && comma != nullptr && percent < comma ? 1 : 0;
}

bool FindSizeOfNoMachine(std::size_t n, std::string* what) {
    const ToolTables& t = ToolTableSet;
    const ToolRecord& tool = t.tools[n];
    const struct {
        const char* name;
        float value;
    } shape[] = {{"D", tool.d}, {"R", tool.r},         {"R2", tool.r2},     {"E", tool.e},
                 {"F", tool.f}, {"ALPHA", tool.alpha}, {"BETA", tool.beta}, {"W", tool.w},
                 {"K", tool.k}, {"T", tool.t},         {"NECK", tool.neck}, {"H", tool.h}};
    auto beyond = [](float value) { return !(std::fabs(value) <= kToolSizeLimit); };
    for (const auto& size : shape) {
        if (beyond(size.value)) {
            *what = size.name;
            return true;
        }
    }
    // A cutter of no diameter, or of a negative radius or cutting length, cuts nothing a
    // machine would (a scribing tool is a point).
    if (tool.type != kToolKegaki && !(tool.d > 0.0f)) {
        *what = "D";
        return true;
    }
    if (tool.r < 0.0f || tool.h < 0.0f) {
        *what = tool.r < 0.0f ? "R" : "H";
        return true;
    }
    if (n < t.lengths.size() && t.lengths[n].kind != 0) {
        for (float value : t.lengths[n].values) {
            if (beyond(value)) {
                *what = "LENGTH";
                return true;
            }
        }
    }
    if (n < t.arbors.size() && t.arbors[n].present) {
        const ArborProfile& holder = t.arbors[n];
        for (float value : holder.diameters) {
            if (beyond(value)) {
                *what = "HOLDER";
                return true;
            }
        }
        for (float value : holder.lengths) {
            if (beyond(value)) {
                *what = "HOLDER";
                return true;
            }
        }
    }
    return false;
}

// A tool or holder of 1E308 mm would only slow the run or change its result without a word:
// such a tool is taken out of the magazine and named in the log.
void RefuseToolsOfNoMachine(const std::string& path) {
    ToolTables& t = ToolTableSet;
    ToolFile.refusedTools = 0;
    for (std::size_t n = 0; n < t.tools.size(); ++n) {
        std::string what;
        if (t.tools[n].present && FindSizeOfNoMachine(n, &what)) {
            t.tools[n].present = 0;
            ++ToolFile.refusedTools;
            LogToolsReading(
                path + ": tool " + std::to_string(n) + " - " +
                ChooseLanguageText("a size no machine has (", "機械にありえない寸法 (") + what +
                ChooseLanguageText("); the tool is not used", ")。この工具は使いません") + "\n");
        }
    }
}

void ReadToolFileAt(NcSession& session, KinematicsSessionRecords& kinematics,
                    ToolSessionRecords& tools, const std::string& path) {
    // 1. Clear.
    ClearToolsForReading();
    ToolFile.path = path;
    // 2. Write time and open.
    DefinitionLineStream stream;
    if (!OpenDefinitionFile(path, &stream, &ToolFile.fileTime)) {
        ToolFile.status = -1;
        return;
    }
    // 3. The lines; a file read before and unchanged since is read without log entries.
    quietReading = path == lastReadingPath && ToolFile.fileTime.valid != 0 &&
                   ToolFile.fileTime == lastReadingTime;
    lastReadingPath = path;
    lastReadingTime = ToolFile.fileTime;
    ToolFile.status = 1;
    ToolFile.unusableHolderFiles = 0;
    ToolFile.holderFileProblem.clear();
    ToolFile.stagedHolder.present = 0;
    std::int32_t tool = 0;  // 0 until the first MAGAZINE line
    while (ReadNextDefinitionLine(&stream)) {
        const char* line = stream.text;
        if (line[0] == 'I') {
            ReadStartTool(line);
            continue;
        }
        if (line[0] == '#') {
            continue;
        }
        if (StartsWithKeyword(line, "MAGAZINE")) {
            tool = MagazineNumber(line);
            if (tool == 0) {
                LogToolsReading(path + ": line " + std::to_string(stream.lineNumber) +
                                " names no pocket of the magazine (1 to " +
                                std::to_string(ToolTableSet.maxMagazine) +
                                "); the rest of the file is not read\n");
                break;
            }
            OpenMagazineEntry(tool);
            ItemContext context{line, 0, tool};
            ReadItems(&context, FindValueStart(line, 10));
            continue;
        }
        if (tool == 0) {
            // Header lines; any other line before the first tool has no tool to continue.
            std::uint32_t kind = 0;
            if (StartsWithKeyword(line, "ATL")) {
                const std::string name = HolderFileName(line, 3, kHeaderHolderNameChars);
                std::string resolved;
                NoteHolderFile(
                    ReadArborFile(name, path, &ToolFile.stagedHolder, &StagedHolderFile, &resolved),
                    name, resolved);
            } else if (const int length = MatchArborKeyword(line, &kind)) {
                LineCursor cursor = length;
                ReadArborList(kind, &cursor, line, &ToolFile.stagedHolder);
                CheckOwnHolder(&ToolFile.stagedHolder, 0);
            }
            continue;
        }
        ItemContext context{line, 0, tool};
        ReadItems(&context, FindValueStart(line, 0));
    }
    std::fclose(stream.file);
    // 4. KEGAKI tools have no length; tools without a length have no holder; a tool with a
    // size no machine has is not used.
    RefuseToolsOfNoMachine(path);
    ToolTables& t = ToolTableSet;
    for (std::size_t n = 0; n < t.tools.size(); ++n) {
        if (t.tools[n].type == kToolKegaki) {
            t.lengths[n].kind = 0;
        }
        if (t.lengths[n].kind == 0) {
            t.arbors[n].present = 0;
        }
    }
    if (MountedTools.count == 1) {
        MountedTools = MountedToolLayout{};
    }
    // 5. Base point.
    ApplyBasePointShifts();
    // 6. The start tool.
    const std::int32_t start = CommandLine.startTool;
    if (start > 0) {
        if (start <= t.maxMagazine) {
            ToolFile.currentTool = ToolFile.initialTool = start;
        } else {
            LogToolsReading("The start tool " + std::to_string(start) +
                            " is not in the magazine; tool " +
                            std::to_string(ToolFile.currentTool) + " is used\n");
        }
    }
    SelectCurrentTool(session, kinematics, tools, ToolFile.currentTool, CurrentDexelPitch());
    if (DefinitionCallbacks.resetToolPanel != nullptr) {
        DefinitionCallbacks.resetToolPanel();
    }
    if (DefinitionCallbacks.clearPluginToolMark != nullptr) {
        DefinitionCallbacks.clearPluginToolMark(session);
    }
}

void ReadToolFile(NcSession& session, KinematicsSessionRecords& kinematics,
                  ToolSessionRecords& tools) {
    ReadToolFileAt(session, kinematics, tools, DefinitionFiles.toolsFile);
}

bool ToolTablesHoldATool() {
    const std::vector<ToolRecord>& tools = ToolTableSet.tools;
    return std::any_of(tools.begin(), tools.end(), [](const ToolRecord& t) { return t.present; });
}

ToolFileReading KeepToolFileReading() {
    return {ToolTableSet, ToolFile, MountedTools, StagedHolderFile};
}

void RestoreToolFileReading(NcSession& session, KinematicsSessionRecords& kinematics,
                            ToolSessionRecords& tools, const ToolFileReading& kept) {
    ToolTableSet = kept.tables;
    ToolFile = kept.file;
    MountedTools = kept.mounted;
    StagedHolderFile = kept.holder;
    SelectCurrentTool(session, kinematics, tools, ToolFile.currentTool, CurrentDexelPitch());
    if (DefinitionCallbacks.resetToolPanel != nullptr) {
        DefinitionCallbacks.resetToolPanel();
    }
}

void GetToolTypeName(const ToolRecord& tool, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) {
        return;
    }
    std::string_view name;
    if (!tool.present) {
        name = ChooseLanguageText("No Tool", "工具無し");
    } else if (!tool.name.empty()) {
        name = tool.name;
    } else {
        switch (tool.type) {
            case kToolBall:
                name = ChooseLanguageText("Ball End mill", "ボールエンドミル");
                break;
            case kToolFlat:
                name = ChooseLanguageText("Flat End mill", "フラットエンドミル");
                break;
            case kToolBull:
                name = ChooseLanguageText("Bull End mill", "ブルエンドミル");
                break;
            case kToolTaperBall:
                name = ChooseLanguageText("Taper Ball End mill", "テーパーボールエンドミル");
                break;
            case kToolVertical:
                name = ChooseLanguageText("Vertical Mill", "バーティカルミル");
                break;
            case kToolOval:
                name = tool.e > tool.d / 2.0f ? ChooseLanguageText("Oval-R Mill", "複合楕円ミル")
                                              : ChooseLanguageText("Oval Mill", "オーバルミル");
                break;
            case kToolTThrow:
                name = ChooseLanguageText("T-Throw", "Tスロー");
                break;
            case kToolRadius:
                name = ChooseLanguageText("Radius Mill", "ラジアスミル");
                break;
            case kToolKegaki:
                name = ChooseLanguageText("Kegaki Tool", "ケガキ工具");
                break;
            default:
                name = ChooseLanguageText("Other Tool", "その他の工具");
                break;
        }
    }
    std::size_t n = std::min(name.size(), capacity - 1);
    // Never cut inside a UTF-8 character: step back over continuation bytes.
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
}

}  // namespace mirexa
