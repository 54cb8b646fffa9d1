// The section "Define" of the settings file.
#include "config/settings_define.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "config/color_file.h"
#include "config/config_hooks.h"
#include "config/definition_lines.h"
#include "config/settings_file.h"
#include "config/tool_tables.h"
#include "platform/profile.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "services/line_scanner.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"

namespace mirexa {

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr std::size_t kValueLimit = 1023;  // the reader's value buffer, without its NUL
constexpr std::size_t kProgressNameLimit = 23;
constexpr std::size_t kMatrixNameLimit = 63;
constexpr int kMaxThreads = 1024;
constexpr double kDefaultRapidFeedrate = 999999999.0;  // mm/min

bool Starts(const std::string& value, const char* word) {
    return StartsWithKeyword(value.c_str(), word) != 0;
}

void SayRefused(std::vector<std::string>* messages, const char* key, const std::string& value) {
    AppendConfigMessage(
        messages, "The settings file value is out of range; the previous value is kept",
        "設定ファイルの値が範囲外です。以前の値を使います", std::string(key) + "=" + value);
}

// The settings reader's atoi: leading blanks, a sign, digits, saturated.
std::int32_t ParseLeadingInt(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    return ParseDecimalInt32(text);
}

// A pen number behind "PEN" (1..15), else 1.
std::int32_t PenBehindWord(const std::string& value) {
    std::int32_t pen = ParseLeadingInt(value.c_str() + std::min<std::size_t>(3, value.size()));
    return pen >= 1 && pen <= 15 ? pen : 1;
}

// A display mode by the alpha of its group: exactly 1 opaque, exactly 0 hidden, else blended.
std::int32_t TranslucentMode(float alpha) {
    return alpha == 1.0f ? 1 : alpha == 0.0f ? 0 : 2;
}

float ReadAlpha(const std::string& path, const char* key) {
    double alpha = ParseLeadingDouble(ReadDefineValue(path, key, "0.5").c_str());
    return static_cast<float>(std::clamp(alpha, 0.0, 1.0));
}

void ReadPoint(const std::string& value, double* out, int count) {
    LineCursor cursor = 0;
    ScanDouble(&cursor, value.c_str(), &out[0]);
    for (int i = 1; i < count; ++i) {
        ScanNextDouble(&cursor, value.c_str(), &out[i]);
    }
}

// NEW CONTROL POINT(D) codes; unmatched words keep the old code.
void ReadControlPointChoice(const std::string& value, std::int32_t* code) {
    if (Starts(value, "BOX-TOP")) {
        *code = 0;
    } else if (Starts(value, "CURRENT")) {
        *code = 1;
    } else if (Starts(value, "SPECIFI") || Starts(value, "SPECIFY")) {  // SPECIFIED, SPECIFY
        *code = 2;
    }
}

std::int32_t HeightCheckCode(const std::string& value) {
    return Starts(value, "NO") ? 0 : Starts(value, "OUTPUT") ? 1 : Starts(value, "STOP") ? 3 : 2;
}

std::int32_t ParseYes(const std::string& text) {
    return Starts(text, "YES") ? 1 : 0;
}
std::int32_t ParseOn(const std::string& text) {
    return Starts(text, "ON") ? 1 : 0;
}
std::int32_t ParseNotOff(const std::string& text) {
    return Starts(text, "OFF") ? 0 : 1;
}
const char* FormatYes(std::int32_t value) {
    return value ? "YES" : "NO";
}
const char* FormatOn(std::int32_t value) {
    return value ? "ON" : "OFF";
}
// ARBOR CHECK as ReadCheckSettings reads it.
std::int32_t ParseArborCheck(const std::string& text) {
    return Starts(text, "YES")      ? 3
           : Starts(text, "OUTPUT") ? 1
           : Starts(text, "CUT")    ? 2
           : Starts(text, "STOP")   ? 4
                                    : 0;
}
const char* FormatArborCheck(std::int32_t value) {
    static const char* const words[] = {"NO", "OUTPUT", "CUT", "YES", "STOP"};
    return value >= 0 && value <= 4 ? words[value] : "";
}
const char* FormatHeightCheck(std::int32_t value) {
    static const char* const words[] = {"NO", "OUTPUT", "YES", "STOP"};
    return value >= 0 && value <= 3 ? words[value] : "";
}

std::int32_t StopCheckCode(const std::string& value) {
    return Starts(value, "NO") ? 0 : Starts(value, "STOP") ? 2 : 1;
}

void ReadClearance(const std::string& value, std::int32_t* mode, double* distance) {
    if (Starts(value, "NO")) {
        *mode = 0;
    } else if (Starts(value, "YES")) {
        *mode = 1;
    } else {
        *mode = 2;
        *distance = ParseLeadingDouble(value.c_str());
    }
}

// TOOL DISPLAY and MACHINE DISPLAY.
void ReadOnOffPers(const std::string& value, std::int32_t* mode) {
    if (Starts(value, "OFF")) {
        *mode = 0;
    } else if (Starts(value, "PERS")) {
        *mode = 2;
    }
}

void ReadYes(const std::string& value, std::int32_t* flag) {
    if (Starts(value, "YES")) {
        *flag = 1;
    }
}

void ReadOn(const std::string& value, std::int32_t* flag) {
    if (Starts(value, "ON")) {
        *flag = 1;
    }
}

// A pitch value (mm): refused unless finite and above 0.
bool ReadPitch(const char* text, double* pitch) {
    double value = ParseLeadingDouble(text);
    if (!(value > 0.0) || !std::isfinite(value)) {
        return false;
    }
    *pitch = value;
    return true;
}

void ReadPen(const std::string& path, const char* key, std::int32_t* pen,
             std::vector<std::string>* messages) {
    std::string value = ReadDefineValue(path, key, "0");
    std::int32_t read = ParseLeadingInt(value.c_str());
    if (read < 0 || read > 15) {
        SayRefused(messages, key, value);
        return;
    }
    *pen = read;
}

void ReadLightVector(const std::string& path, std::vector<std::string>* messages) {
    const char* key = "LIGHT VECTOR";
    std::string value = ReadDefineValue(path, key, "(0.0,0.0,1.0)");
    double light[3] = {};
    ReadPoint(value, light, 3);
    double length = std::sqrt(light[0] * light[0] + light[1] * light[1] + light[2] * light[2]);
    if (!(length > 0.0) || !std::isfinite(length)) {
        AppendConfigMessage(messages, "The light vector has no length; the light falls from above",
                            "光源ベクトルの長さが 0 です。真上からの光にします",
                            std::string(key) + "=" + value);
        light[0] = light[1] = 0.0;
        light[2] = length = 1.0;
    }
    for (int i = 0; i < 3; ++i) {
        Settings.lightVector[i] = light[i] / length;
    }
    ComputeLightAngles(Settings.lightVector, &Settings.lightAzimuth, &Settings.lightTilt);
}

void ReadRedrawInterval(const std::string& path, const char* key, std::int32_t* interval,
                        std::vector<std::string>* messages) {
    std::string value = ReadDefineValue(path, key, "5");
    std::int32_t read = ParseLeadingInt(value.c_str());
    if (read < 1) {
        AppendConfigMessage(messages, "A redraw interval below 1 is taken as 1",
                            "再描画間隔は 1 以上にします", std::string(key) + "=" + value);
        read = 1;
    }
    *interval = read;
}

void ReadPitchSettings(const std::string& path, std::vector<std::string>* messages) {
    DexelPitch.minimumPitch =
        ParseLeadingDouble(ReadDefineValue(path, "MINIMUM PITCH(WORK)", "0.01").c_str());
    if (CommandLine.pitchGiven) {
        return;
    }
    std::string work = ReadDefineValue(path, "PITCH(WORK)", "1.0");
    if (Starts(work, "AUTO")) {
        DexelPitch.automatic = 1;
        DexelPitch.currentPitch = DexelPitch.requestedPitch = 1.0;
        std::int32_t limit = ParseLeadingInt(work.c_str() + 4);
        DexelPitch.sizeLimit = limit > 0 ? limit : 20000;
    } else {
        double pitch = 0.0;
        if (ReadPitch(work.c_str(), &pitch) && DexelPitchUsable(pitch)) {
            DexelPitch.automatic = 0;
            DexelPitch.currentPitch = DexelPitch.requestedPitch = pitch;
        } else {
            SayRefused(messages, "PITCH(WORK)", work);
        }
    }
    std::string move = ReadDefineValue(path, "PITCH(MOVE)", "1.0");
    if (Starts(move, "AUTO")) {
        DexelPitch.secondPitchAutomatic = 1;
        double factor = ParseLeadingDouble(move.c_str() + 4);
        DexelPitch.secondPitchFactor =
            factor >= kLeastMovePitchShare && std::isfinite(factor) ? factor : 1.0;
        DexelPitch.secondPitch = DexelPitch.currentPitch * DexelPitch.secondPitchFactor;
    } else {
        double pitch = 0.0;
        // Against the stock pitch, or the finest one an automatic choice can make.
        const double stockPitch =
            DexelPitch.automatic == 1 ? kLeastStockPitch : DexelPitch.currentPitch;
        if (ReadPitch(move.c_str(), &pitch) && DexelPitchesUsable(stockPitch, pitch)) {
            DexelPitch.secondPitchAutomatic = 0;
            DexelPitch.secondPitch = pitch;
        } else {
            SayRefused(messages, "PITCH(MOVE)", move);
        }
    }
}

void ReadCheckSettings(const std::string& path) {
    std::string value = ReadDefineValue(path, "INTERFERENCE", "YES");
    Checks.interference = Starts(value, "NO")      ? 0
                          : Starts(value, "TOOL")  ? 1
                          : Starts(value, "ARBOR") ? 0
                          : Starts(value, "STOP")  ? 2
                                                   : 1;
    value = ReadDefineValue(path, "ARBOR CHECK", "NO");
    Checks.arborCheck = ParseArborCheck(value);
    Checks.heightCheck = HeightCheckCode(ReadDefineValue(path, "HEIGHT CHECK", "NO"));
    Checks.chipWidthCheck = HeightCheckCode(ReadDefineValue(path, "CHIP-W CHECK", "NO"));
    Checks.spindleCheck = StopCheckCode(ReadDefineValue(path, "SPINDLE CHECK", "NO"));
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        Checks.structurePairs[pair] =
            StopCheckCode(ReadDefineValue(path, StructurePairKeys[pair], "NO"));
    }
    UpdateStopOnCheckFlag();
}

void ReadDisplaySettings(const std::string& path) {
    ReadOnOffPers(ReadDefineValue(path, "TOOL DISPLAY", "ON"), &DisplayModes.toolMode);
    ReadOnOffPers(ReadDefineValue(path, "MACHINE DISPLAY", "ON"), &DisplayModes.machineMode);
    std::string value = ReadDefineValue(path, "WORK DISPLAY", "ON");
    if (Starts(value, "OFF")) {
        DisplayModes.workMode = 0;
    } else if (Starts(value, "PERS")) {
        DisplayModes.workMode = TranslucentMode(DisplayModes.workAlpha);
    }
    value = ReadDefineValue(path, "BASE DISPLAY", "OFF");
    if (Starts(value, "ON")) {
        DisplayModes.baseMode = 1;
    } else if (Starts(value, "PERS")) {
        DisplayModes.baseMode = TranslucentMode(DisplayModes.baseAlpha);
    }
    ReadOn(ReadDefineValue(path, "ROTATION CENTER DISPLAY", "OFF"),
           &DisplayModes.rotationCenterDisplay);
    ReadOn(ReadDefineValue(path, "CONSTRUCTION POINT", "OFF"), &DisplayModes.constructionPoint);
    value = ReadDefineValue(path, "BASIC AXIS", "YES");
    if (Starts(value, "NO") || Starts(value, "OFF")) {
        DisplayModes.basicAxis = 0;
    } else if (Starts(value, "ON")) {
        DisplayModes.basicAxis = 1;
    }
}

void ReadRunSettings(const std::string& path, std::vector<std::string>* messages) {
    Settings.progressName =
        CutToBytes(ReadDefineValue(path, "PROGRESS NAME", ""), kProgressNameLimit);
    // Every value but OFF switches sound on, whatever an earlier reading left.
    Settings.sound = Starts(ReadDefineValue(path, "SOUND", "OFF"), "OFF") ? 0 : 1;
    ReadYes(ReadDefineValue(path, "IGNORE G00", "NO"), &Checks.ignoreG00);
    std::string value = ReadDefineValue(path, "MULTI THREAD", "YES");
    if (Starts(value, "NO") || Starts(value, "OFF")) {
        Settings.multiThreadCount = 1;
    } else if (Starts(value, "ON") || Starts(value, "YES")) {
        Settings.multiThreadCount = std::clamp(GetProcessorCount(), 1, kMaxThreads);
    } else {
        std::int32_t threads = ParseLeadingInt(value.c_str());
        if (threads < 1 || threads > kMaxThreads) {
            AppendConfigMessage(messages, "The thread count is kept within 1 to 1024",
                                "スレッド数は 1 から 1024 の範囲にします", "MULTI THREAD=" + value);
        }
        Settings.multiThreadCount = std::clamp(threads, 1, kMaxThreads);
    }
    if (Starts(ReadDefineValue(path, "VOLUME UNIT", "mm3"), "m3")) {
        Settings.volumeUnit = 1;
    }
    Settings.offsetValue = ParseLeadingDouble(ReadDefineValue(path, "OFFSET VALUE", "5.0").c_str());
    value = ReadDefineValue(path, "STOP KEY", "CTRL");
    Settings.stopKey = Starts(value, "SPACE") ? 32 : Starts(value, "PAUSE") ? 19 : 17;
    value = ReadDefineValue(path, "ESCAPE KEY", "ESC");
    Settings.escapeKey = Starts(value, "BREAK") ? 3 : Starts(value, "PAUSE") ? 19 : 27;
    // UNDO + 1 states, bounded once here before the marks are allocated.
    value = ReadDefineValue(path, "UNDO", "1");
    const std::int64_t requested = std::int64_t{ParseLeadingInt(value.c_str())} + 1;
    const int ring = ClampStockUndoRingSize(
        static_cast<int>(std::clamp<std::int64_t>(requested, 0, kMaxStockUndoSlots + 1)));
    if (ring != requested) {
        AppendConfigMessage(messages, "The undo count is kept within the ring the stock allows",
                            "元に戻す回数を範囲内にします", "UNDO=" + value);
    }
    Settings.undoRingSize = ring;
    Settings.undoMarks.assign(static_cast<std::size_t>(ring), 0);
    DisplayModes.perspective = Starts(ReadDefineValue(path, "PERSPECTIVE", "ON"), "OFF") ? 0 : 1;
}

void ReadDifferenceSettings(const std::string& path) {
    if (CommandLine.differencePaint) {
        return;
    }
    DifferencePaintChoices& d = Settings.difference;
    if (Starts(ReadDefineValue(path, "DIFFERENCE AREA", "PLUS"), "MINUS")) {
        d.area = -1;
    }
    d.margin = ParseLeadingDouble(ReadDefineValue(path, "DIFFERENCE MARGIN", "0.1").c_str());
    d.marginStart = d.margin;
    std::string value = ReadDefineValue(path, "DIFFERENCE COLOR", "PENKI");
    if (Starts(value, "PEN") && !Starts(value, "PENKI")) {
        d.penColor = 1;
        d.pen = PenBehindWord(value);
    }
    if (Starts(ReadDefineValue(path, "DIFFERENCE KEEP SAME COLOR", "NO"), "YES")) {
        d.recolor = 0;
    }
    d.offset = ParseLeadingDouble(ReadDefineValue(path, "DIFFERENCE OFFSET", "0.0").c_str());
    value = ReadDefineValue(path, "DIFFERENCE TARGET", "NO");
    if (Starts(value, "PEN")) {
        d.targetPenGiven = 1;
        d.targetPen = PenBehindWord(value);
    }
}

}  // namespace

const SettingsColorKey SettingsColorKeys[kSettingsColorKeyCount] = {
    {"WORK COLOR", "(127,127,255)", &ColorSet::work, 0, kWorkColorGroup},
    {"BASE COLOR", "(128,128,0)", &ColorSet::base, 0, kWorkColorGroup},
    {"PEN1 COLOR", "(0,255,0)", nullptr, 1, kWorkColorGroup},
    {"PEN2 COLOR", "(255,255,0)", nullptr, 2, kWorkColorGroup},
    {"PEN3 COLOR", "(192,192,192)", nullptr, 3, kWorkColorGroup},
    {"PEN4 COLOR", "(191,191,0)", nullptr, 4, kWorkColorGroup},
    {"PEN5 COLOR", "(191,0,191)", nullptr, 5, kWorkColorGroup},
    {"PEN6 COLOR", "(0,191,191)", nullptr, 6, kWorkColorGroup},
    {"PEN7 COLOR", "(255,0,127)", nullptr, 7, kWorkColorGroup},
    {"PEN8 COLOR", "(63,63,127)", nullptr, 8, kWorkColorGroup},
    {"PEN9 COLOR", "(0,127,0)", nullptr, 9, kWorkColorGroup},
    {"PEN10 COLOR", "(127,127,0)", nullptr, 10, kWorkColorGroup},
    {"PEN11 COLOR", "(95,95,95)", nullptr, 11, kWorkColorGroup},
    {"PEN12 COLOR", "(95,95,0)", nullptr, 12, kWorkColorGroup},
    {"PEN13 COLOR", "(95,0,95)", nullptr, 13, kWorkColorGroup},
    {"PEN14 COLOR", "(0,95,95)", nullptr, 14, kWorkColorGroup},
    {"PEN15 COLOR", "(127,0,63)", nullptr, 15, kWorkColorGroup},
    {"PENKI COLOR", "(255,127,0)", &ColorSet::penki, 0, kWorkColorGroup},
    {"TOP-PATH COLOR", "(255,0,0)", &ColorSet::topPath, 0, kLineColorGroup},
    {"TOP-PATH2 COLOR", "(255,128,0)", &ColorSet::topPath2, 0, kLineColorGroup},
    {"CONSTRUCTION COLOR", "(255,255,0)", &ColorSet::construction, 0, kLineColorGroup},
    {"TOOL-TOP COLOR", "(255,0,128)", &ColorSet::toolTop, 0, kToolColorGroup},
    {"TOOL-SIDE COLOR", "(128,128,192)", &ColorSet::toolSide, 0, kToolColorGroup},
    {"ARBOR COLOR", "(0,128,0)", &ColorSet::arbor, 0, kToolColorGroup},
    {"HEAD(*) COLOR", "(113,145,113)", &ColorSet::headOneRotary, 0, kMachineColorGroup},
    {"HEAD(**) COLOR", "(163,195,163)", &ColorSet::headTwoRotary, 0, kMachineColorGroup},
    {"HEAD COLOR", "(63,95,63)", &ColorSet::head, 0, kMachineColorGroup},
    {"HEAD1 COLOR", "(63,127,63)", &ColorSet::head1, 0, kMachineColorGroup},
    {"HEAD2 COLOR", "(31,63,31)", &ColorSet::head2, 0, kMachineColorGroup},
    {"TABLE(*) COLOR", "(50,178,242)", &ColorSet::tableOneRotary, 0, kMachineColorGroup},
    {"TABLE COLOR", "(0,128,192)", &ColorSet::table, 0, kMachineColorGroup},
    {"TABLE1 COLOR", "(127,127,127)", &ColorSet::table1, 0, kMachineColorGroup},
    {"TABLE2 COLOR", "(0,63,63)", &ColorSet::table2, 0, kMachineColorGroup},
    {"VICE COLOR", "(127,127,63)", &ColorSet::vice, 0, kMachineColorGroup},
    {"BASIC COLOR", "(64,128,128)", &ColorSet::basic, 0, kMachineColorGroup},
    {"BACKGROUND", "(0,0,0)", &ColorSet::background, 0, kBackgroundGroup},
};

const SettingsColorKey* FindSettingsColorKey(const char* key) {
    for (const SettingsColorKey& entry : SettingsColorKeys) {
        if (std::strcmp(entry.key, key) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

ColorRef* SettingsColorField(ColorSet* colors, const SettingsColorKey& entry) {
    return entry.pen > 0 ? &colors->pens[entry.pen] : &(colors->*entry.field);
}

double ParseLeadingDouble(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Only the decimal form: "inf" and "nan" are no numbers here.
    if (!(*text >= '0' && *text <= '9') && *text != '.') {
        return 0.0;
    }
    const char* last = text + std::strlen(text);
    double value = 0.0;
    auto [end, error] = std::from_chars(text, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too large saturates; too small is 0.
        const char* exponent =
            std::find_if(text, last, [](char c) { return c == 'e' || c == 'E'; });
        bool tiny = exponent != last && exponent + 1 != last && exponent[1] == '-';
        value = tiny ? 0.0 : DBL_MAX;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::string CutToBytes(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    // Step back over UTF-8 continuation bytes so no character is split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

std::string ReadDefineValue(const std::string& settingsPath, const char* key,
                            const char* defaultText) {
    std::string value =
        CutToBytes(ReadProfileString("Define", key, defaultText, settingsPath), kValueLimit);
    // A value that is not a finite number would be read as 0 or as the number behind it.
    if (HoldsNonFiniteWord(value)) {
        AppendLogEntry(settingsPath + ": [Define] " + key + "=" + value +
                       ChooseLanguageText(" - the value is not a finite number; it is not used\n",
                                          " - 値が有限の数ではありません。この値は使いません\n"));
        NoteRefusedSettingsLine("Define", key, defaultText);
        return defaultText;
    }
    return value;
}

int ReadIniColor(const std::string& settingsPath, const char* key, const char* defaultText,
                 ColorRef* out) {
    return ParseColor(ReadDefineValue(settingsPath, key, defaultText).c_str(), out);
}

void UpdateStopOnCheckFlag() {
    bool pause = Checks.interference == 2 || Checks.arborCheck == 4 || Checks.heightCheck == 3 ||
                 Checks.chipWidthCheck == 3 || Checks.spindleCheck == 2;
    for (std::int32_t choice : Checks.structurePairs) {
        pause = pause || choice == 2;
    }
    Checks.pauseOnEvents = pause ? 1 : 0;
}

void ComputeLightAngles(const double light[3], double* azimuth, double* tilt) {
    const double h = std::sqrt(light[0] * light[0] + light[1] * light[1]);
    if (h == 0.0) {
        *azimuth = *tilt = 0.0;
        return;
    }
    *azimuth = std::acos(std::clamp(light[0] / h, -1.0, 1.0)) * kRadiansToDegrees;
    if (light[1] < 0.0) {
        *azimuth = 360.0 - *azimuth;
    }
    *tilt = std::asin(std::clamp(h, -1.0, 1.0)) * kRadiansToDegrees;
}

void ReadDefineDrawingAndCheckSettings(const std::string& path,
                                       std::vector<std::string>* messages) {
    ReadLightVector(path, messages);
    ReadYes(ReadDefineValue(path, "OPTIMIZE DRAWING", "YES"), &DisplayModes.optimizeDrawing);
    ReadRedrawInterval(path, "SKIP BLOCK", &Settings.skipBlock, messages);
    ReadRedrawInterval(path, "SKIP VIEW", &Settings.skipView, messages);
    ReadYes(ReadDefineValue(path, "REAL ROTATION", "NO"), &Settings.realRotation);
    ReadYes(ReadDefineValue(path, "REAL RAPID", "NO"), &Settings.realRapid);
    if (Starts(ReadDefineValue(path, "MESH MODE", "NO"), "YES")) {
        DisplayModes.stockStyle = 1;
    }
    std::string value = ReadDefineValue(path, "DISPLAY GUIDANCE", "DETAIL");
    if (Starts(value, "NO")) {
        DisplayModes.displayGuidance = 0;
    } else if (Starts(value, "YES")) {
        DisplayModes.displayGuidance = 1;
    }
    value = ReadDefineValue(path, "TARGET AREA", "NO");
    if (Starts(value, "NO")) {
        Settings.targetAreaGiven = 0;
    } else {
        Settings.targetAreaGiven = 1;
        ReadPoint(value, Settings.targetArea, 6);
    }
    ReadDefineValue(path, "COLOR MODE", "TOOL-PEN");
    DisplayModes.colorMode = 0;
    if (Starts(ReadDefineValue(path, "TOOL-TOP COLOR MODE", "SPECIFIED"), "PEN")) {
        DisplayModes.toolTopColorMode = 0;
    }
    for (const SettingsColorKey& entry : SettingsColorKeys) {
        ReadIniColor(path, entry.key, entry.defaultText, SettingsColorField(&LiveColors, entry));
    }
    DisplayModes.workAlpha = ReadAlpha(path, "WORK ALPHA");
    DisplayModes.baseAlpha = ReadAlpha(path, "BASE ALPHA");
    DisplayModes.toolAlpha = ReadAlpha(path, "TOOL ALPHA");
    DisplayModes.machineAlpha = ReadAlpha(path, "MACHINE ALPHA");
    const char* marginKeys[3] = {"WORK MARGIN(X)", "WORK MARGIN(Y)", "WORK MARGIN(Z)"};
    for (int a = 0; a < 3; ++a) {
        value = ReadDefineValue(path, marginKeys[a], "0.0");
        float margin = 0.0f;
        LineCursor cursor = 0;
        ScanFloat(&cursor, value.c_str(), &margin);
        Settings.workMargin[a] = margin;
    }
    if (!CommandLine.controlPointGiven) {
        value = ReadDefineValue(path, "CONTROL POINT", "(0.0,0.0,200.0,0.0,0.0)");
        if (value.find_first_of("Mm") != std::string::npos) {
            Settings.controlPointMachine = 1;
        }
        ReadPoint(value, Settings.controlPoint, 5);
    }
    ReadControlPointChoice(ReadDefineValue(path, "NEW CONTROL POINTD", "CURRENT"),
                           &Settings.newControlPointD);
    ReadControlPointChoice(ReadDefineValue(path, "NEW CONTROL POINT", "BOX-TOP"),
                           &Settings.newControlPoint);
    ReadPoint(ReadDefineValue(path, "SPECIFIED POINTD", "(0.0,0.0,100.0)"),
              Settings.specifiedPointD, 3);
    ReadPoint(ReadDefineValue(path, "SPECIFIED POINT", "(0.0,0.0,100.0)"), Settings.specifiedPoint,
              3);
    value = ReadDefineValue(path, "TOOL BASE POINT", "");
    const char* basePoints[5] = {"BOTTOM", "BALL-CENTER", "F-CENTER", "LENGTH-TOP", "ARBOR-TOP"};
    for (int i = 0; i < 5; ++i) {
        if (Starts(value, basePoints[i])) {
            Settings.toolBasePoint = i;
            Settings.toolBasePointGiven = 1;
            break;
        }
    }
    ReadPitchSettings(path, messages);
    struct MarkWidth {
        const char* key;
        const char* defaultText;
        float* field;
    } marks[] = {
        {"WELDING(HEIGHT)", "0.5", &Settings.weldingHeight},
        {"WELDING(WIDTH)", "5.0", &Settings.weldingWidth},
        {"GRINDER(DEPTH)", "1.0", &Settings.grinderDepth},
        {"GRINDER(WIDTH)", "3.0", &Settings.grinderWidth},
        {"PAPER(DEPTH)", "0.1", &Settings.paperDepth},
        {"PAPER(WIDTH)", "1.0", &Settings.paperWidth},
        {"BRUSH(WIDTH)", "1.0", &Settings.brushWidth},
        {"HERA(WIDTH)", "1.0", &Settings.heraWidth},
    };
    for (const MarkWidth& mark : marks) {
        double width =
            ParseLeadingDouble(ReadDefineValue(path, mark.key, mark.defaultText).c_str());
        *mark.field = static_cast<float>(std::clamp(width, -double{FLT_MAX}, double{FLT_MAX}));
    }
    ReadPen(path, "WELDING(PEN)", &Settings.weldingPen, messages);
    ReadPen(path, "GRINDER(PEN)", &Settings.grinderPen, messages);
    ReadPen(path, "PAPER(PEN)", &Settings.paperPen, messages);
    ReadCheckSettings(path);
    value = ReadDefineValue(path, "RAPID FEEDRATE", "999999999.0");
    if (Starts(value, "NO")) {
        Checks.rapidFeedrate = kDefaultRapidFeedrate;
    } else {
        double feed = ParseLeadingDouble(value.c_str());
        if (feed > 0.0) {
            Checks.rapidFeedrate = feed;
        } else {
            SayRefused(messages, "RAPID FEEDRATE", value);
        }
    }
    ReadClearance(ReadDefineValue(path, "TOOL CLEARANCE", "NO"), &Checks.toolClearanceMode,
                  &Checks.toolClearance);
    ReadClearance(ReadDefineValue(path, "ARBOR CLEARANCE", "NO"), &Checks.arborClearanceMode,
                  &Checks.arborClearance);
    ReadDisplaySettings(path);
    ReadRunSettings(path, messages);
    ReadDifferenceSettings(path);
}

void ReadDefineViewAndMagazineSettings(const std::string& path,
                                       std::vector<std::string>* messages) {
    Settings.angleA = ParseLeadingDouble(ReadDefineValue(path, "ANGLE-A", "315.0").c_str());
    Settings.angleAStart = Settings.angleA;
    Settings.angleB = ParseLeadingDouble(ReadDefineValue(path, "ANGLE-B", "45.0").c_str());
    Settings.angleBStart = Settings.angleB;
    if (ConfigCallbacks.updateViewTrig) {
        ConfigCallbacks.updateViewTrig();
    }
    Settings.expandRate = ParseLeadingDouble(ReadDefineValue(path, "EXPAND RATE", "5.0").c_str());
    std::string value = ReadDefineValue(path, "MAX MAGAZINE", "200");
    std::int32_t tools = ParseLeadingInt(value.c_str());
    if (tools < 1 || tools > kMaxMagazineLimit) {
        AppendConfigMessage(messages, "The tool count must lie within 1 to 10000; 200 is used",
                            "工具本数は 1 から 10000 です。200 にします", "MAX MAGAZINE=" + value);
        tools = kDefaultMaxMagazine;
    }
    Settings.maxMagazine = tools;
    if (!AllocToolTables(tools)) {
        AppendConfigMessage(messages, "Memory over!", "メモリが足りません",
                            "MAX MAGAZINE=" + value);
        Settings.maxMagazine = 0;
    }
    ReadYes(ReadDefineValue(path, "CHECK MAC", "NO"), &Settings.checkMac);
    ReadYes(ReadDefineValue(path, "CHECK MATRIX", "NO"), &StlImport.checkMatrix);
    StlImport.matrixFileName =
        CutToBytes(ReadDefineValue(path, "STL MATRIX", ""), kMatrixNameLimit);
}

namespace {

// One option of the menus: its key, the default the reader takes, its field, how the reader
// turns a text into the field's value and the text written for a value ("" for none).
struct DefineOption {
    const char* key;
    const char* defaultText;
    std::int32_t* (*field)();
    std::int32_t (*parse)(const std::string& text);
    const char* (*format)(std::int32_t value);
};

const DefineOption DefineOptions[] = {
    {"SOUND", "OFF", [] { return &Settings.sound; }, ParseNotOff, FormatOn},
    {"REAL ROTATION", "NO", [] { return &Settings.realRotation; }, ParseYes, FormatYes},
    {"REAL RAPID", "NO", [] { return &Settings.realRapid; }, ParseYes, FormatYes},
    {"IGNORE G00", "NO", [] { return &Checks.ignoreG00; }, ParseYes, FormatYes},
    {"ARBOR CHECK", "NO", [] { return &Checks.arborCheck; }, ParseArborCheck, FormatArborCheck},
    {"HEIGHT CHECK", "NO", [] { return &Checks.heightCheck; }, HeightCheckCode, FormatHeightCheck},
    {"CHIP-W CHECK", "NO", [] { return &Checks.chipWidthCheck; }, HeightCheckCode,
     FormatHeightCheck},
    {"CONSTRUCTION POINT", "OFF", [] { return &DisplayModes.constructionPoint; }, ParseOn,
     FormatOn},
    {"BASIC AXIS", "YES", [] { return &DisplayModes.basicAxis; },
     [](const std::string& text) -> std::int32_t {
         return Starts(text, "NO") || Starts(text, "OFF") ? 0 : 1;
     },
     FormatYes},
    {"PERSPECTIVE", "ON", [] { return &DisplayModes.perspective; }, ParseNotOff, FormatOn},
    {"OPTIMIZE DRAWING", "YES", [] { return &DisplayModes.optimizeDrawing; }, ParseYes, FormatYes},
    {"MESH MODE", "NO", [] { return &DisplayModes.stockStyle; }, ParseYes,
     [](std::int32_t value) { return value == 0 || value == 1 ? FormatYes(value) : ""; }},
};

}  // namespace

std::vector<DefineOptionChange> ListDefineOptionChanges(const std::string& settingsPath) {
    std::vector<DefineOptionChange> changes;
    for (const DefineOption& option : DefineOptions) {
        const std::int32_t value = *option.field();
        const char* text = option.format(value);
        if (*text != '\0' &&
            option.parse(ReadDefineValue(settingsPath, option.key, option.defaultText)) != value) {
            changes.push_back({option.key, text});
        }
    }
    // The structure checks of their dialog: ignore, break off or pause for each pair.
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        static const char* const words[] = {"NO", "YES", "STOP"};
        const std::int32_t value = Checks.structurePairs[pair];
        if (value >= 0 && value <= 2 &&
            StopCheckCode(ReadDefineValue(settingsPath, StructurePairKeys[pair], "NO")) != value) {
            changes.push_back({StructurePairKeys[pair], words[value]});
        }
    }
    return changes;
}

}  // namespace mirexa
