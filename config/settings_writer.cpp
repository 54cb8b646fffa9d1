// Writing the settings back into the settings file.
#include "config/settings_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>

#include "config/definition_lines.h"
#include "config/settings_define.h"
#include "config/settings_file.h"
#include "platform/profile.h"
#include "services/file_paths.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

// The values of the settings writer, gathered so that the file is replaced once with all of
// them.
struct SettingsWriter {
    std::vector<ProfileEntry> entries = {};

    // A line the reader refused stays as the user wrote it while its default still stands.
    void Write(const char* section, const char* key, const std::string& value) {
        if (KeepsRefusedSettingsLine(section, key, value)) {
            return;
        }
        entries.push_back({section, key, value});
    }
    void WriteInt(const char* section, const char* key, int value) {
        Write(section, key, std::to_string(value));
    }
    void WriteColor(const char* key) {
        const SettingsColorKey* entry = FindSettingsColorKey(key);
        Write("Define", key, FormatColorSetting(*SettingsColorField(&LiveColors, *entry)));
    }
    void WriteAlpha(const char* key, float alpha) {
        char text[32];
        auto result = std::to_chars(text, text + sizeof text, static_cast<double>(alpha),
                                    std::chars_format::fixed, 1);
        Write("Define", key, std::string(text, result.ptr));
    }
    // The words the reader takes: 0 "OFF", 2 "PERS", any other "ON".
    void WriteDisplayMode(const char* key, int mode) {
        Write("Define", key, mode == 0 ? "OFF" : mode == 2 ? "PERS" : "ON");
    }
};

void AppendNumbers(std::string* text, const double* values, int count) {
    for (int i = 0; i < count; ++i) {
        *text += FormatStockNumber(values[i]);
        *text += i + 1 < count ? "," : ")";
    }
}

}  // namespace

std::string FormatStockNumber(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && value >= -2147483648.0 &&
        value <= 2147483647.0) {
        return std::to_string(static_cast<int>(value));
    }
    if (!std::isfinite(value)) {
        return "0";
    }
    char text[400];  // the fixed form of the largest double with six decimals fits
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    std::string formatted(text, result.ptr);
    while (!formatted.empty() && formatted.back() == '0') {
        formatted.pop_back();
    }
    if (!formatted.empty() && formatted.back() == '.') {
        formatted.pop_back();
    }
    return formatted == "-0" || formatted.empty() ? "0" : formatted;
}

std::string FormatInitialSizeSetting(const StockDefinition& stock) {
    std::string text = "(";
    AppendNumbers(&text, stock.box, 6);
    return text;
}

std::string FormatInitialSize2Setting(const StockDefinition& stock) {
    const char* words[3][2] = {{"(LEFT,", "(RIGHT,"}, {"FRONT,", "BACK,"}, {"BOTTOM,", "TOP,"}};
    std::string text;
    for (int a = 0; a < 3; ++a) {
        const char* centre = a == 0 ? "(CENTER," : "CENTER,";
        const int reference = stock.sideReference[a];
        text += reference == -1 ? words[a][0] : reference == 1 ? words[a][1] : centre;
        const double numbers[3] = {stock.sideSize[a], stock.sideLowMargin[a],
                                   stock.sideHighMargin[a]};
        for (int i = 0; i < 3; ++i) {
            text += FormatStockNumber(numbers[i]);
            text += a == 2 && i == 2 ? ")" : ",";
        }
    }
    return text;
}

std::string FormatCylinderSetting(const StockDefinition& stock) {
    std::string text = stock.cylinderAxis == 0 ? "X(" : stock.cylinderAxis == 1 ? "Y(" : "Z(";
    AppendNumbers(&text, stock.cylinder, 6);
    return text;
}

std::string FormatColorSetting(ColorRef color) {
    return "(" + std::to_string(color & 0xFF) + "," + std::to_string((color >> 8) & 0xFF) + "," +
           std::to_string((color >> 16) & 0xFF) + ")";
}

int SaveSettingsToIni(const MainWindowPlacement& placement, std::vector<std::string>* messages) {
    if (CommandLine.batch || AutomaticMode.load() != 0) {
        return 1;
    }
    SettingsWriter w;
    ProgramSettings& s = Settings;
    // 1-3: the window and the panels.
    w.WriteInt("Save", "DISPLAY", s.saveDisplay);
    if (s.saveDisplay == 1 && !placement.minimised) {
        s.windowX = placement.left;
        s.windowY = placement.top;
        s.windowHeight = placement.bottom - placement.top;
        s.windowWidth = placement.right - placement.left;
        w.WriteInt("Save", "SHOW", placement.showCommand);
        w.WriteInt("Save", "X", s.windowX);
        w.WriteInt("Save", "Y", s.windowY);
        w.WriteInt("Save", "HEIGHT", s.windowHeight);
        w.WriteInt("Save", "WIDE", s.windowWidth);
    }
    w.WriteInt("Save", "VIEW_P", s.showCommandPanel);
    w.WriteInt("Save", "VIEW_T", s.showToolPanel);
    // 4-8: the colour groups.
    w.WriteInt("Save", "WORK COLOR", s.saveWorkColor);
    if (s.saveWorkColor == 1) {
        w.WriteColor("WORK COLOR");
        for (int pen = 1; pen <= 15; ++pen) {
            w.WriteColor(("PEN" + std::to_string(pen) + " COLOR").c_str());
        }
        w.WriteColor("PENKI COLOR");
        w.WriteColor("BASE COLOR");
    }
    w.WriteInt("Save", "TOOL COLOR", s.saveToolColor);
    if (s.saveToolColor == 1) {
        w.Write("Define", "TOOL-TOP COLOR MODE",
                DisplayModes.toolTopColorMode ? "SPECIFIED" : "PEN COLOR");
        for (const char* key : {"TOOL-TOP COLOR", "TOOL-SIDE COLOR", "ARBOR COLOR"}) {
            w.WriteColor(key);
        }
    }
    w.WriteInt("Save", "MACHINE COLOR", s.saveMachineColor);
    if (s.saveMachineColor == 1) {
        for (const char* key : {"HEAD(*) COLOR", "HEAD(**) COLOR", "HEAD COLOR", "HEAD1 COLOR",
                                "HEAD2 COLOR", "TABLE(*) COLOR", "TABLE COLOR", "TABLE1 COLOR",
                                "TABLE2 COLOR", "VICE COLOR", "BASIC COLOR"}) {
            w.WriteColor(key);
        }
    }
    w.WriteInt("Save", "LINE COLOR", s.saveLineColor);
    if (s.saveLineColor != 0) {
        for (const char* key : {"TOP-PATH COLOR", "TOP-PATH2 COLOR", "CONSTRUCTION COLOR"}) {
            w.WriteColor(key);
        }
    }
    w.WriteInt("Save", "BACKGROUND", s.saveBackground);
    if (s.saveBackground == 1) {
        w.WriteColor("BACKGROUND");
    }
    // 9: the alphas of the kept groups, and their display modes (off, on, semi-transparent) so
    // that the next start shows what the display-mode dialog chose.
    if (s.saveWorkColor == 1) {
        w.WriteAlpha("WORK ALPHA", DisplayModes.workAlpha);
        w.WriteDisplayMode("WORK DISPLAY", DisplayModes.workMode);
        w.WriteDisplayMode("BASE DISPLAY", DisplayModes.baseMode);
    }
    if (s.saveToolColor == 1) {
        w.WriteAlpha("TOOL ALPHA", DisplayModes.toolAlpha);
        w.WriteDisplayMode("TOOL DISPLAY", DisplayModes.toolMode);
    }
    if (s.saveMachineColor == 1) {
        w.WriteAlpha("MACHINE ALPHA", DisplayModes.machineAlpha);
        w.WriteDisplayMode("MACHINE DISPLAY", DisplayModes.machineMode);
    }
    // 10: the stock.
    const StockDefinition stock = StockValuesOfSettingsFile();
    w.Write("DMEdata", "INITIAL SIZE", FormatInitialSizeSetting(stock));
    w.Write("DMEdata", "INITIAL SIZE2", FormatInitialSize2Setting(stock));
    w.Write("DMEdata", "CYLINDER", FormatCylinderSetting(stock));
    const std::string& path = DefinitionFiles.settingsPath;
    // 11: the options the menus switch, where they changed.
    for (const DefineOptionChange& change : ListDefineOptionChanges(path)) {
        w.Write("Define", change.key, change.text);
    }
    int inUse = 0;
    errno = 0;
    if (!WriteProfileValues(w.entries, path, &inUse)) {
        if (inUse != 0) {
            AppendConfigMessage(
                messages, "The settings file is in use by another program and was not written",
                "設定ファイルは他のプログラムが使用中のため書き込みませんでした", path);
            return 0;
        }
        // The cause the failed write left (a full or read-only disk, no permission).
        const int error = errno;
        AppendConfigMessage(messages, "The settings file cannot be written",
                            "設定ファイルに書き込めません",
                            error != 0 ? path + " (" + DescribeFileError(error) + ")" : path);
        return 0;
    }
    return 1;
}

}  // namespace mirexa
