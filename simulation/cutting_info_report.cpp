// The cutting-information report: template expansion, the fixed summary, the report's path and
// the writing of the file.
#include "simulation/cutting_info_report.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "platform/default_viewer.h"
#include "platform/file_info.h"
#include "platform/file_reading.h"
#include "platform/file_replacement.h"
#include "platform/write_faults.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

// Keywords in their matching order: a longer keyword comes before any keyword that is its
// prefix.
enum class Key {
    DCode,
    HCode,
    TCode,
    GCodeW,
    GCode,
    MCode,
    Nc,
    Ttl,
    Ctl,
    Mtl,
    LenR,
    LenF,
    Len1,
    Len2,
    Len,
    EpInfo,
    TimeR,
    TimeF,
    Time1,
    Time2,
    Time,
    TimR,
    TimF,
    Tim1,
    Tim2,
    Tim,
    Extent,  // $MAX.. and $MIN.. of the six extents
    MaxS,
    MaxF2,
    MaxF,
    MinF,
    RapidFeedrate,
    RapidF,
    Size,
    Lines,
    ExOfs,
    G5,
    Wk,
};

// The extents by their keyword middle: W2 tool point less work origin, E2 tool point less the
// external offset, 2 tool point, W program, E machine less the external offset, plain machine.
enum ExtentKind {
    kToolPointWork,
    kToolPointExternal,
    kToolPoint,
    kProgram,
    kMachineExternal,
    kMachine
};

struct KeywordEntry {
    const char* text;
    Key key;
    int axis;     // 0 X, 1 Y, 2 Z for axis keywords
    int kind;     // ExtentKind for extents
    int maximum;  // 1 maximum, 0 minimum
};

std::vector<KeywordEntry> BuildKeywordTable() {
    std::vector<KeywordEntry> t = {
        {"$DCODE", Key::DCode, 0, 0, 0}, {"$HCODE", Key::HCode, 0, 0, 0},
        {"$TCODE", Key::TCode, 0, 0, 0}, {"$GCODEW", Key::GCodeW, 0, 0, 0},
        {"$GCODE", Key::GCode, 0, 0, 0}, {"$MCODE", Key::MCode, 0, 0, 0},
        {"$NC", Key::Nc, 0, 0, 0},       {"$TTL", Key::Ttl, 0, 0, 0},
        {"$CTL", Key::Ctl, 0, 0, 0},     {"$MTL", Key::Mtl, 0, 0, 0},
        {"$LENR", Key::LenR, 0, 0, 0},   {"$LENF", Key::LenF, 0, 0, 0},
        {"$LEN1", Key::Len1, 0, 0, 0},   {"$LEN2", Key::Len2, 0, 0, 0},
        {"$LEN", Key::Len, 0, 0, 0},     {"$EP_INFO", Key::EpInfo, 0, 0, 0},
        {"$TIMER", Key::TimeR, 0, 0, 0}, {"$TIMEF", Key::TimeF, 0, 0, 0},
        {"$TIME1", Key::Time1, 0, 0, 0}, {"$TIME2", Key::Time2, 0, 0, 0},
        {"$TIME", Key::Time, 0, 0, 0},   {"$TIMR", Key::TimR, 0, 0, 0},
        {"$TIMF", Key::TimF, 0, 0, 0},   {"$TIM1", Key::Tim1, 0, 0, 0},
        {"$TIM2", Key::Tim2, 0, 0, 0},   {"$TIM", Key::Tim, 0, 0, 0},
    };
    return t;
}

// The table with its generated extent keywords; built once.
const std::vector<KeywordEntry>& KeywordTable() {
    static const std::vector<std::string> extentNames = [] {
        std::vector<std::string> names;
        static const char* const kSuffix[6] = {"2W", "2E", "2", "W", "E", ""};
        static const char kAxes[3] = {'X', 'Y', 'Z'};
        for (int maximum = 1; maximum >= 0; --maximum) {
            for (int kind = 0; kind < 6; ++kind) {
                for (int axis = 0; axis < 3; ++axis) {
                    names.push_back(std::string(maximum ? "$MAX" : "$MIN") + kAxes[axis] +
                                    kSuffix[kind]);
                }
            }
        }
        return names;
    }();
    static const std::vector<KeywordEntry> table = [] {
        std::vector<KeywordEntry> t = BuildKeywordTable();
        int n = 0;
        for (int maximum = 1; maximum >= 0; --maximum) {
            for (int kind = 0; kind < 6; ++kind) {
                for (int axis = 0; axis < 3; ++axis) {
                    t.push_back({extentNames[static_cast<size_t>(n++)].c_str(), Key::Extent, axis,
                                 kind, maximum});
                }
            }
            if (maximum) {
                t.push_back({"$MAXS", Key::MaxS, 0, 0, 0});
            }
        }
        const std::vector<KeywordEntry> tail = {
            {"$MAXF2", Key::MaxF2, 0, 0, 0},    {"$MAXF", Key::MaxF, 0, 0, 0},
            {"$MINF", Key::MinF, 0, 0, 0},      {"$RAPIDFEEDRATE", Key::RapidFeedrate, 0, 0, 0},
            {"$RAPIDFX", Key::RapidF, 0, 0, 0}, {"$RAPIDFY", Key::RapidF, 1, 0, 0},
            {"$RAPIDFZ", Key::RapidF, 2, 0, 0}, {"$SIZE", Key::Size, 0, 0, 0},
            {"$LINES", Key::Lines, 0, 0, 0},    {"$EXOFS", Key::ExOfs, 0, 0, 0},
            {"$G5", Key::G5, 0, 0, 0},          {"$WK", Key::Wk, 0, 0, 0},
        };
        t.insert(t.end(), tail.begin(), tail.end());
        return t;
    }();
    return table;
}

// "%<width>d".
void AppendInt(std::string* out, long long value, int width) {
    char digits[32];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    const int length = static_cast<int>(r.ptr - digits);
    if (length < width) {
        out->append(static_cast<size_t>(width - length), ' ');
    }
    out->append(digits, static_cast<size_t>(length));
}

// "%<width>.3f" without regard to the locale. A value whose fixed form is wider than the column
// (or than kFixedFormMax without one), such as 1e79 mm, is written in scientific form with as
// many digits as fit, so the report keeps its columns.
constexpr int kFixedFormMax = 20;
void AppendFixed(std::string* out, double value, int width) {
    char digits[400];
    std::to_chars_result r =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
    int length = r.ec == std::errc{} ? static_cast<int>(r.ptr - digits) : 0;
    const int room = width > 0 ? width : kFixedFormMax;
    for (int precision = room; length > room && precision >= 0; --precision) {
        r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific,
                          precision);
        length = r.ec == std::errc{} ? static_cast<int>(r.ptr - digits) : 0;
    }
    if (length < width) {
        out->append(static_cast<size_t>(width - length), ' ');
    }
    out->append(digits, static_cast<size_t>(length));
}

// Flags from..to (inclusive) as "%02d" joined by ",", or "None".
void AppendList(std::string* out, const unsigned char* flags, int from, int to) {
    bool any = false;
    char text[16];
    for (int i = from; i <= to; ++i) {
        if (flags[i] == 0) {
            continue;
        }
        std::snprintf(text, sizeof text, "%s%02d", any ? "," : "", i);
        out->append(text);
        any = true;
    }
    if (!any) {
        out->append("None");
    }
}

// "(%9.3f,%9.3f,%9.3f,%9.3f,%9.3f)" of a work offset entry.
void AppendOffset(std::string* out, const MotionPosition& p) {
    out->push_back('(');
    for (int i = 0; i < 5; ++i) {
        if (i > 0) {
            out->push_back(',');
        }
        AppendFixed(out, p.axis[i], 9);
    }
    out->push_back(')');
}

double ExtentValue(const CuttingReportInputs& in, int kind, int axis, int maximum) {
    const DataCheckRecord& c = in.check;
    const double external = in.workOffsets[0].axis[axis];
    auto pick = [&](const DataCheckExtent& e) { return maximum ? e.max[axis] : e.min[axis]; };
    switch (kind) {
        case kToolPointWork:
            return pick(c.toolPointWork);
        case kToolPointExternal:
            return pick(c.toolPoint) - external;
        case kToolPoint:
            return pick(c.toolPoint);
        case kProgram:
            return pick(c.program);
        case kMachineExternal:
            return pick(c.machine) - external;
        default:
            return pick(c.machine);
    }
}

// Truncation of a feed to "%7d", held to the int range.
long long TruncateFeed(double v) {
    if (!(v == v)) {
        return 0;
    }
    return static_cast<long long>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// Non-cutting plus feed-move time, each rounded (s).
double TotalSeconds(const MachiningTimeSums& t) {
    return static_cast<double>(RoundForReport(t.nonCuttingTime)) + RoundForReport(t.feedMoveTime);
}

// One line (without its end past `length`) expanded into *out.
void ExpandLine(const char* line, size_t length, const CuttingReportInputs& in,
                unsigned char* gUsed, std::string* out) {
    const std::vector<KeywordEntry>& table = KeywordTable();
    const MachiningTimeSums& t = in.times;
    size_t pos = 0;
    while (pos < length) {
        const void* found = std::memchr(line + pos, '$', length - pos);
        if (found == nullptr) {
            out->append(line + pos, length - pos);
            return;
        }
        const size_t dollar = static_cast<size_t>(static_cast<const char*>(found) - line);
        out->append(line + pos, dollar - pos);
        pos = dollar;
        const KeywordEntry* match = nullptr;
        for (const KeywordEntry& k : table) {
            const size_t n = std::strlen(k.text);
            if (n <= length - pos && std::memcmp(line + pos, k.text, n) == 0) {
                if (k.key == Key::GCodeW && in.normalDialect == 0) {
                    continue;
                }
                match = &k;
                break;
            }
        }
        if (match == nullptr) {
            // Not a keyword: the "$" goes with the character after it, within the line.
            pos = std::min(length, pos + 2);
            if (pos >= length) {
                out->push_back('\n');
            }
            continue;
        }
        pos += std::strlen(match->text);
        switch (match->key) {
            case Key::DCode:
                AppendList(out, in.check.dUsed, 1, kDataCheckOffsetNumbers - 1);
                break;
            case Key::HCode:
                AppendList(out, in.check.hUsed, 1, kDataCheckOffsetNumbers - 1);
                break;
            case Key::TCode: {
                const int last =
                    std::min(in.magazineCount, static_cast<int>(in.check.tUsed.size()) - 1);
                if (last >= 1) {
                    AppendList(out, in.check.tUsed.data(), 1, last);
                } else {
                    out->append("None");
                }
                break;
            }
            case Key::GCodeW:
                AppendList(out, gUsed, 54, 59);
                std::fill(gUsed + 54, gUsed + 60, 0);
                break;
            case Key::GCode:
                AppendList(out, gUsed, 0, kUsedCodeFlags - 1);
                break;
            case Key::MCode:
                AppendList(out, in.mUsed, 0, kUsedCodeFlags - 1);
                break;
            case Key::Nc:
                out->append(in.ncPath);
                break;
            case Key::Ttl:
                out->append(in.toolsPath);
                break;
            case Key::Ctl:
                out->append(in.controllerPath);
                break;
            case Key::Mtl:
                out->append(in.machinePath);
                break;
            case Key::LenR:
                AppendInt(out, RoundForReport(t.rapidLength), 7);
                break;
            case Key::LenF:
                AppendInt(out, RoundForReport(t.cuttingLength), 7);
                break;
            case Key::Len1:
                AppendInt(out, RoundForReport(t.rapidMoveLength), 7);
                break;
            case Key::Len2:
                AppendInt(out, RoundForReport(t.feedMoveLength), 7);
                break;
            case Key::Len:
                AppendInt(out,
                          static_cast<long long>(RoundForReport(t.rapidMoveLength)) +
                              RoundForReport(t.feedMoveLength),
                          7);
                break;
            case Key::EpInfo: {
                const int count = std::clamp(in.check.toolCount, 0, kTimedToolOrdinalsMax);
                char text[64];
                for (int k = 1; k <= count; ++k) {
                    const int tool = in.check.toolList[k];
                    std::snprintf(text, sizeof text,
                                  tool >= 100 ? "%3d | T%3d |" : "%3d | T%02d  |", k, tool);
                    out->append(text);
                    AppendElapsedTime(out, RoundForReport(t.toolTime[k]));
                    out->push_back('\n');
                }
                break;
            }
            case Key::TimeR:
                AppendInt(out, RoundForReport(t.rapidTime), 7);
                break;
            case Key::TimeF:
                AppendInt(out, RoundForReport(t.cuttingTime), 7);
                break;
            case Key::Time1:
                AppendInt(out, RoundForReport(t.nonCuttingTime), 7);
                break;
            case Key::Time2:
                AppendInt(out, RoundForReport(t.feedMoveTime), 7);
                break;
            case Key::Time:
                AppendInt(out, static_cast<long long>(TotalSeconds(t)), 7);
                break;
            case Key::TimR:
                AppendElapsedTime(out, RoundForReport(t.rapidTime));
                break;
            case Key::TimF:
                AppendElapsedTime(out, RoundForReport(t.cuttingTime));
                break;
            case Key::Tim1:
                AppendElapsedTime(out, RoundForReport(t.nonCuttingTime));
                break;
            case Key::Tim2:
                AppendElapsedTime(out, RoundForReport(t.feedMoveTime));
                break;
            case Key::Tim:
                AppendElapsedTime(out, RoundForReport(TotalSeconds(t) - 0.5));
                break;
            case Key::Extent:
                AppendFixed(out, ExtentValue(in, match->kind, match->axis, match->maximum), 9);
                break;
            case Key::MaxS:
                AppendInt(out, TruncateFeed(in.check.maxSpindle), 8);
                break;
            case Key::MaxF2:
                AppendInt(out, TruncateFeed(in.check.maxCuttingFeed), 7);
                break;
            case Key::MaxF:
                AppendInt(out, TruncateFeed(in.check.maxFeed), 7);
                break;
            case Key::MinF:
                AppendInt(out, TruncateFeed(in.check.minFeed), 7);
                break;
            case Key::RapidFeedrate:
                if (in.rapidFeedrate == 999999999.0) {
                    out->append("NO");
                } else {
                    AppendInt(out, TruncateFeed(in.rapidFeedrate), 7);
                }
                break;
            case Key::RapidF:
                AppendInt(out, TruncateFeed(in.machineRapid[match->axis]), 7);
                break;
            case Key::Size: {
                // Any size, 32-bit or not, in the same nine columns.
                AppendInt(out,
                          static_cast<long long>(std::min<std::uint64_t>(in.ncFileSize, LLONG_MAX)),
                          9);
                break;
            }
            case Key::Lines:
                AppendInt(out, in.ncLineCount, 8);
                break;
            case Key::ExOfs:
                AppendOffset(out, in.workOffsets[0]);
                break;
            case Key::G5:
                // One digit: 4 .. 9 name G54 .. G59 (entries 1 .. 6).
                if (pos < length && line[pos] >= '0' && line[pos] <= '9') {
                    const int n = line[pos] - '0';
                    ++pos;
                    if (n >= 4) {
                        AppendOffset(out, in.workOffsets[n - 3]);
                    }
                }
                break;
            case Key::Wk: {
                // Up to three digits naming entry 0 .. 200.
                int number = 0;
                int digits = 0;
                while (pos < length && digits < 3 && line[pos] >= '0' && line[pos] <= '9') {
                    const int next = number * 10 + (line[pos] - '0');
                    if (digits == 2 && next >= kWorkOffsetEntries) {
                        break;
                    }
                    number = next;
                    ++digits;
                    ++pos;
                }
                if (digits > 0 && number < kWorkOffsetEntries) {
                    AppendOffset(out, in.workOffsets[number]);
                }
                break;
            }
        }
        if (pos >= length) {
            out->push_back('\n');
        }
    }
}

// The most bytes of a report template: a larger file is no template, and its expansion would
// only fill the memory.
constexpr std::size_t kTemplateSizeLimit = std::size_t{1} << 20;

// The whole file, *ok 1; or *ok 0 for a file that does not open, fails or whose reading the
// abort request ended, -1 for one larger than the template limit.
std::string ReadWholeFile(const std::string& path, int* ok) {
    *ok = 0;
    std::FILE* f = OpenFileStream(path, "rb");
    if (f == nullptr) {
        return {};
    }
    std::string text;
    char buffer[4096];
    size_t n = 0;
    bool bounded = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (text.size() + n > kTemplateSizeLimit || ReadAbortRequested()) {
            bounded = false;
            break;
        }
        text.append(buffer, n);
    }
    *ok = bounded && std::ferror(f) == 0 ? 1 : 0;
    if (!bounded && text.size() + n > kTemplateSizeLimit) {
        *ok = -1;
    }
    std::fclose(f);
    return *ok == 1 ? text : std::string();
}

int CountLines(const std::string& path) {
    std::FILE* f = OpenFileStream(path, "rb");
    if (f == nullptr) {
        return 0;
    }
    long long lines = 0;
    int last = '\n';
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && !ReadAbortRequested()) {
        lines += std::count(buffer, buffer + n, '\n');
        last = static_cast<unsigned char>(buffer[n - 1]);
    }
    std::fclose(f);
    if (last != '\n') {
        ++lines;
    }
    return static_cast<int>(std::min<long long>(lines, INT_MAX));
}

bool Exists(const std::string& path) {
    std::FILE* f = OpenFileStream(path, "rb");
    if (f == nullptr) {
        return false;
    }
    std::fclose(f);
    return true;
}

std::string Joined(const std::string& directory, const std::string& name) {
    std::string out(directory.size() + name.size() + 2, '\0');
    if (!JoinPath(directory, name, out.data(), out.size())) {
        return name;
    }
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace

std::int32_t RoundForReport(double value) {
    if (!(value == value)) {
        return 0;
    }
    const double v = std::clamp(value + 0.5, -2147483648.0, 2147483647.0);
    return static_cast<std::int32_t>(v);
}

void AppendElapsedTime(std::string* out, std::int32_t seconds) {
    const std::int32_t s = std::max<std::int32_t>(0, seconds);
    const int hours = s / 3600;
    char text[48];
    std::snprintf(text, sizeof text, hours > 99 ? " %d:%02d:%02d" : " %02d:%02d:%02d", hours,
                  s / 60 % 60, s % 60);
    out->append(text);
}

void WriteElapsedTime(std::FILE* stream, std::int32_t seconds) {
    std::string text;
    AppendElapsedTime(&text, seconds);
    std::fputs(text.c_str(), stream);
}

std::string ExpandReportTemplate(const std::string& text, const CuttingReportInputs& in) {
    unsigned char gUsed[kUsedCodeFlags];
    std::copy(in.gUsed, in.gUsed + kUsedCodeFlags, gUsed);
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        ExpandLine(text.data() + start, next - start, in, gUsed, &out);
        start = next;
    }
    return out;
}

std::string FormatFixedSummary(const CuttingReportInputs& in, int templateTooLarge) {
    const bool en = in.english != 0;
    const MachiningTimeSums& t = in.times;
    const DataCheckExtent& m = in.check.machine;
    std::string out = en ? "<<< \"" + in.ncPath + "\" Cutting Information >>>\n"
                         : "<<< \"" + in.ncPath + "\" の加工情報出力 >>>\n";
    if (templateTooLarge) {
        out += en ? "※:\"verify_form.def\" is too large (over 1 MB).\n"
                  : "※:\"verify_form.def\"が大きすぎます (1 MB 超)。一部適当に出力しておきます。\n";
    } else {
        out += en ? "※:\"verify_form.def\" is not found.\n"
                  : "※:\"verify_form.def\"が見つかりません。一部適当に出力しておきます。\n";
    }
    out += en ? "Length of Rapid Path:" : "早送り長さ:";
    AppendInt(&out, RoundForReport(t.rapidMoveLength), 7);
    out += en ? "\nLength of Feed Path:" : "\n切削送り長さ:";
    AppendInt(&out, RoundForReport(t.feedMoveLength), 7);
    out += en ? "\nTime:" : "\n全加工時間:";
    AppendInt(&out, static_cast<long long>(TotalSeconds(t)), 7);
    const double* rows[2] = {m.max, m.min};
    const char* const labels[2] = {en ? "\nMaximum X:" : "\n最大 X:",
                                   en ? "\nMinimum X:" : "\n最小 X:"};
    for (int r = 0; r < 2; ++r) {
        out += labels[r];
        AppendFixed(&out, rows[r][0], 9);
        out += " ,Y:";
        AppendFixed(&out, rows[r][1], 9);
        out += " ,Z:";
        AppendFixed(&out, rows[r][2], 9);
    }
    out += "\n";
    return out;
}

void CollectCuttingReportInputs(NcSession& session, CuttingReportInputs* in) {
    in->times = MachiningTime.sums;
    in->check = DataCheckResult;
    std::copy(UsedCodes.g, UsedCodes.g + kUsedCodeFlags, in->gUsed);
    std::copy(UsedCodes.m, UsedCodes.m + kUsedCodeFlags, in->mUsed);
    std::copy(WorkOffsetTable, WorkOffsetTable + kWorkOffsetEntries, in->workOffsets);
    in->magazineCount = session.controller.magazineCount;
    in->normalDialect = session.controller.dialect.number == kDialectNormal &&
                                session.controller.dialect.mazak == 0 &&
                                session.controller.dialect.siemens == 0
                            ? 1
                            : 0;
    in->rapidFeedrate = Checks.rapidFeedrate;
    for (int i = 0; i < 3; ++i) {
        in->machineRapid[i] = Machine.rapid[i];
    }
    const DefinitionFilePaths& f = DefinitionFiles;
    in->ncPath = f.ncProgramFile;
    in->toolsPath = f.toolsFile;
    in->controllerPath = f.controllerFile;
    in->machinePath = f.machineFile;
    in->ncFileSize = 0;
    GetFileSizeBytes(ConvertPathSeparators(f.ncProgramFile), &in->ncFileSize);
    in->ncLineCount = CountLines(f.ncProgramFile);
    in->english = UiLanguage.load() == 1 ? 1 : 0;
}

std::string ComposeCuttingReportPath(const std::string& ncPath) {
    std::string path;
    if (Settings.namingModeVerify == 2) {
        const size_t cut = ncPath.find_last_of("./\\");
        path = cut != std::string::npos && ncPath[cut] == '.' ? ncPath.substr(0, cut) : ncPath;
        path += "_verify.";
    } else {
        path = Joined(Settings.verifyDirectory, "verify.");
    }
    return path + Settings.verifySuffix;
}

int FindReportTemplate(std::string* path) {
    const std::string& current = FileLocations.currentDirectory;
    const std::string here =
        current.empty() ? std::string(kReportTemplateName) : Joined(current, kReportTemplateName);
    if (Exists(here)) {
        *path = here;
        return 1;
    }
    std::string directory = FileLocations.programDirectory;
    if (directory.empty()) {
        directory = DefinitionFiles.programDirectory;
    }
    if (!directory.empty()) {
        const std::string there = Joined(directory, kReportTemplateName);
        if (Exists(there)) {
            *path = there;
            return 1;
        }
    }
    return 0;
}

std::string ComposeCuttingReport(const std::string& templatePath, const CuttingReportInputs& in) {
    int readOk = 0;
    const std::string text =
        templatePath.empty() ? std::string() : ReadWholeFile(templatePath, &readOk);
    return readOk == 1 ? ExpandReportTemplate(text, in) : FormatFixedSummary(in, readOk < 0);
}

int WriteCuttingReportFile(const std::string& reportPath, int append,
                           const std::string& templatePath, const CuttingReportInputs& in) {
    const std::string report = ComposeCuttingReport(templatePath, in);
    char directory[4096] = {};
    GetPathDirectory(reportPath, directory, sizeof directory);
    if (append == 0) {
        // A new report replaces the old one whole, or the old one stays.
        const std::string path = ConvertPathSeparators(reportPath);
        if (directory[0] != '\0') {
            mkdir(ConvertPathSeparators(directory).c_str(), 0777);  // one level, as for appending
        }
        FileReplacement replacement;
        const char* failedStep = nullptr;
        // A name of the fixed pattern: a link planted there is replaced, never followed; a FIFO
        // or device there is refused.
        if (!BeginFileReplacement(path, &replacement, -1, FileLinks::Replace)) {
            LogOutputRefusal(reportPath, errno);
            return 0;
        }
        if (!WriteAllBytes(replacement.descriptor, report.data(), report.size())) {
            failedStep = "write";
            AbandonFileReplacement(&replacement);
        } else if (!FinishFileReplacement(&replacement, 0)) {
            failedStep = "replace";
        }
        if (failedStep != nullptr) {
            LogReportWriteFailure(reportPath, failedStep, errno);
            return 0;
        }
        return 1;
    }
    std::FILE* out = OpenOutputFile(append, reportPath, directory, 1);
    if (out == nullptr) {
        LogReportWriteFailure(reportPath, "open", errno);
        return 0;
    }
    // Every step is checked: a report cut short by a full disk is reported, never taken as
    // written.
    const char* failedStep = nullptr;
    int error = 0;
    if (WriteStream(report.data(), 1, report.size(), out) != report.size()) {
        failedStep = "write";
        error = errno;
    } else if (FlushStream(out) != 0) {
        failedStep = "flush";
        error = errno;
    }
    if (CloseStream(out) != 0 && failedStep == nullptr) {
        failedStep = "close";
        error = errno;
    }
    if (failedStep != nullptr) {
        LogReportWriteFailure(reportPath, failedStep, error);
        return 0;
    }
    return 1;
}

int WriteCuttingReport(NcSession& session, WindowHandle owner, int silent) {
    (void)owner;
    CuttingReportInputs in;
    CollectCuttingReportInputs(session, &in);
    const std::string path = ComposeCuttingReportPath(in.ncPath);
    std::string templatePath;
    FindReportTemplate(&templatePath);
    if (!WriteCuttingReportFile(path, Settings.createModeVerify == 1 ? 1 : 0, templatePath, in)) {
        return 0;
    }
    if (silent == 0 && AutomaticMode.load() == 0) {
        OpenInDefaultViewer(path);
    }
    return 1;
}

}  // namespace mirexa
