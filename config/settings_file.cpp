// The settings file: location, section order, the sections other than "Define", the stock
// values and the information panel layout.
#include "config/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "config/color_file.h"
#include "config/config_hooks.h"
#include "config/definition_lines.h"
#include "config/settings_define.h"
#include "config/settings_writer.h"
#include "config/tool_tables.h"
#include "platform/file_reading.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/line_scanner.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

InfoPanelLayout InfoPanel;

namespace {

constexpr std::size_t kSuffixLimit = 9;           // the suffix fields hold 9 characters and a NUL
constexpr std::size_t kNcFilePatternLimit = 258;  // the NC file pattern field
// Bits of ProgramSettings::stockValuesUnplaced.
constexpr std::int32_t kUnplacedBox = 1;
constexpr std::int32_t kUnplacedCylinder = 2;

// Reads the keys of one section of the settings file.
struct SectionReader {
    const std::string& path;
    const char* section;

    std::string Text(const char* key, const char* defaultText) const {
        return CutToBytes(ReadProfileString(section, key, defaultText, path), 1023);
    }
    int Int(const char* key, int defaultValue) const {
        return ReadProfileInt(section, key, defaultValue, path);
    }
};

bool Starts(const std::string& value, const char* word) {
    return StartsWithKeyword(value.c_str(), word) != 0;
}

void ReadWord(const std::string& value, const char* word, std::int32_t code, std::int32_t* out) {
    if (Starts(value, word)) {
        *out = code;
    }
}

std::string WithSlash(std::string directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

bool HasDirectoryPart(const std::string& name) {
    return name.find_first_of("/\\") != std::string::npos;
}

bool Opens(const std::string& path) {
    std::FILE* file = OpenFileStream(path, "r");
    if (!file) {
        return false;
    }
    std::fclose(file);
    return true;
}

// Resolves a data-file name against directory (see ResolveDataFile); refuses a path that does not
// fit the path fields. Returns the path, or "" with a message.
std::string ResolveSettingsPath(const std::string& directory, const std::string& name,
                                const char* key, std::vector<std::string>* messages) {
    char path[kPathLimit + 1];
    if (name.empty()) {
        return "";
    }
    if (!ResolveDataFile(directory, name, path, sizeof path)) {
        AppendConfigMessage(messages, "The path is too long (255 characters at most)",
                            "パスが長すぎます (255 文字まで)",
                            std::string(key) + "=" + name.substr(0, 80));
        return "";
    }
    return path;
}

// The position of the n-th comma (1-based) at or behind from, or npos.
std::size_t NthComma(const std::string& value, std::size_t from, int n) {
    std::size_t at = from;
    for (int i = 0; i < n; ++i) {
        at = value.find(',', i == 0 ? at : at + 1);
        if (at == std::string::npos) {
            return at;
        }
    }
    return at;
}

// Reads count numbers: the first behind position start, each further one behind the next comma.
// False when a comma is missing.
bool ReadCommaNumbers(const std::string& value, std::size_t start, int count, double* out) {
    std::size_t at = start;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            at = value.find(',', at);
            if (at == std::string::npos) {
                return false;
            }
            ++at;
        }
        out[i] = ParseLeadingDouble(value.c_str() + std::min(at, value.size()));
    }
    return true;
}

// The first of the letters (without regard to case) at or behind from, or npos.
std::size_t FindFirstLetter(const std::string& value, std::size_t from, const char* letters) {
    for (std::size_t i = from; i < value.size(); ++i) {
        char c = value[i];
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (std::strchr(letters, c) != nullptr && c != '\0') {
            return i;
        }
    }
    return std::string::npos;
}

// One axis of INITIAL SIZE2: the reference word at the first of letters behind from, then three
// numbers each behind the next comma. Returns the position of the last comma used, or npos.
std::size_t ReadPlacementAxis(const std::string& value, std::size_t from, const char* letters,
                              const char* low, const char* high, std::int32_t* reference,
                              double numbers[3]) {
    const std::size_t word = FindFirstLetter(value, from, letters);
    if (word == std::string::npos) {
        return word;
    }
    const char* text = value.c_str() + word;
    *reference = StartsWithKeyword(text, low) ? -1 : StartsWithKeyword(text, high) ? 1 : 0;
    std::size_t comma = word;
    for (int i = 0; i < 3; ++i) {
        comma = value.find(',', comma + (i == 0 ? 0 : 1));
        if (comma == std::string::npos) {
            return comma;
        }
        numbers[i] = ParseLeadingDouble(value.c_str() + comma + 1);
    }
    return comma;
}

void ReadDmeSection(const SectionReader& r, std::vector<std::string>* messages) {
    Settings.dmeDirectory = r.Text("Target_DMEdir", DefinitionFiles.currentDirectory.c_str());
    Settings.secondStockDirectory = Settings.dmeDirectory;
    ReadWord(r.Text("STL SELECT", "ON"), "OFF", 0, &StlImport.stlSelect);
    if (!CommandLine.stockGiven) {
        const std::string axis = r.Text("STL AXIS", "NO");
        const char* words[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
        const int codes[6] = {1, -1, 2, -2, 3, -3};
        for (int i = 0; i < 6; ++i) {
            ReadWord(axis, words[i], codes[i], &StlImport.referenceDirection);
        }
    }
    ReadWord(r.Text("STL FILTER", "OFF"), "ON", 1, &StlImport.stlFilter);
    ReadWord(r.Text("STL CHECK", "OFF"), "ON", 1, &StlImport.stlCheck);
    if (Starts(r.Text("IMPORT COORDINATE", "MACHINE"), "WORK")) {
        StlImport.coordinateKind = 1;
        StlImport.stockInWork = 1;
        StlImport.transformFlag = 1;
    }
    ReadWord(r.Text("EXPORT COORDINATE", "MACHINE"), "WORK", 1, &Settings.exportInWork);
    ReadWord(r.Text("INPUT COORDINATE", "MACHINE"), "WORK", 1, &Settings.inputInWork);
    struct StockValue {
        const char* key;
        const char* defaultText;
        int kind;
        int (*parse)(const char*, StockDefinition*);
        std::string (*format)(const StockDefinition&);
    } values[] = {
        {"INITIAL SIZE", "(0,0,0,100,100,30)", kStockBox, ParseInitialSizeSetting,
         FormatInitialSizeSetting},
        {"INITIAL SIZE2", "(LEFT,100,0,0,FRONT,200,0,0,BOTTOM,50,0,0)", kStockOriginBased,
         ParseInitialSize2Setting, FormatInitialSize2Setting},
        {"CYLINDER", "X(-80,0,0,80,100,40)", kStockCylinder, ParseCylinderSetting,
         FormatCylinderSetting},
    };
    for (const StockValue& v : values) {
        if (CommandLine.stockGiven && InitialStock.kind == v.kind) {
            continue;  // the command line defined this stock
        }
        const std::string text = r.Text(v.key, v.defaultText);
        // A line refused counts as a missing one: its default stands, placed as the file's values
        // are; the line itself stays as the user wrote it.
        if (!v.parse(text.c_str(), &InitialStock)) {
            AppendConfigMessage(
                messages,
                "The stock value lacks its parenthesis or commas; the default "
                "stands and the line is kept as written",
                "素材の値に括弧かカンマがありません。既定値を使い、行はそのまま残します",
                std::string(v.key) + "=" + text);
            // The window shows the message in a box; the log keeps the line as well (an
            // unattended start logs the message itself).
            if (AutomaticMode.load() == 0) {
                AppendLogEntry(r.path + ": [DMEdata] " + v.key + "=" + text +
                               ChooseLanguageText(" - refused; the default stands\n",
                                                  " - 使えません。既定値を使います\n"));
            }
            v.parse(v.defaultText, &InitialStock);
            NoteRefusedSettingsLine("DMEdata", v.key, v.format(InitialStock));
        }
        if (Settings.inputInWork != 0 && v.kind != kStockOriginBased) {
            Settings.stockValuesUnplaced |= v.kind == kStockBox ? kUnplacedBox : kUnplacedCylinder;
        }
    }
    std::string basic = DefinitionFiles.basicModelFile;
    if (CommandLine.basicModelGiven) {
        basic = ResolveSettingsPath("", basic, "-K", messages);
    } else {
        std::string name = r.Text("BASIC MODEL", "");
        if (name.empty()) {
            name = r.Text("BASIC DME", "");
        }
        basic = ResolveSettingsPath(Settings.dmeDirectory, name, "BASIC MODEL", messages);
    }
    if (!basic.empty()) {
        DefinitionFiles.basicModelFile = basic;
        Settings.basicModelPresent = 1;
    }
}

void ReadOutputSection(const SectionReader& r) {
    Settings.logDirectory = r.Text("Target_LOGdir", "");
    Settings.lengthDirectory = r.Text("Target_LENGTHdir", "");
    Settings.verifyDirectory = r.Text("Target_VERIFYdir", "");
    Settings.verifySuffix = CutToBytes(r.Text("VERIFY SUFFIX", "txt"), kSuffixLimit);
    ReadWord(r.Text("CREATE MODE(LENGTH)", "NEW"), "APPEN", 1, &Settings.createModeLength);
    ReadWord(r.Text("CREATE MODE(VERIFY)", "NEW"), "APPEN", 1, &Settings.createModeVerify);
    const std::string length = r.Text("NAMING MODE(LENGTH)", "NO");
    ReadWord(length, "FIXED", 1, &Settings.namingModeLength);
    ReadWord(length, "AUTO", 2, &Settings.namingModeLength);
    ReadWord(r.Text("NAMING MODE(VERIFY)", "FIXED"), "AUTO", 2, &Settings.namingModeVerify);
}

void ReadOptimizeSection(const SectionReader& r) {
    Settings.volumeValueKind = Starts(r.Text("V-VALUE", "VOLUME"), "TORQUE") ? 1 : 0;
    Settings.optimizeCut = Starts(r.Text("OPT-CUT", "OPTIMIZE"), "NO") ? 0 : 1;
    std::string value = r.Text("OPT-AIRCUT", "ESCAPE");
    Settings.optimizeAirCut = Starts(value, "NO")        ? 0
                              : Starts(value, "ESCAPE")  ? 1
                              : Starts(value, "MAXOPTF") ? 2
                                                         : 3;
    value = r.Text("CUT-DATA", "NO");
    Settings.cutData = Starts(value, "NO")       ? 0
                       : Starts(value, "YES")    ? 1
                       : Starts(value, "BINARY") ? 3
                                                 : 2;
    Settings.cutDataNameMode = Starts(r.Text("CUT-DATA NAME MODE", "FIXED"), "AUTO") ? 1 : 0;
    Settings.cutDataSuffixText = CutToBytes(r.Text("CUT-DATA SUFFIX(TXT)", "TXT"), kSuffixLimit);
    Settings.cutDataSuffixBinary = CutToBytes(r.Text("CUT-DATA SUFFIX(BIN)", "BIN"), kSuffixLimit);
    value = r.Text("OPT-NC", "OPEN");
    Settings.optimizedNc = Starts(value, "NO") ? 0 : Starts(value, "YES") ? 1 : 2;
    Settings.optimizedNcNameMode = Starts(r.Text("OPT-NC NAME MODE", "FIXED"), "AUTO") ? 1 : 0;
    Settings.optimizedNcSuffix = CutToBytes(r.Text("OPT-NC SUFFIX", "ONC"), kSuffixLimit);
    r.Text("V-APPROACH", "0.1");  // accepted without effect
    Settings.approachValue = 0.0;
    float width = 0.0f;
    float height = 0.0f;
    LineCursor cursor = 0;
    ScanFloat(&cursor, r.Text("ESCAPE-WIDTH", "0.0").c_str(), &width);
    cursor = 0;
    ScanFloat(&cursor, r.Text("ESCAPE-HEIGHT", "3.0").c_str(), &height);
    Settings.escapeWidth = width;
    Settings.escapeHeight = height;
    Settings.optimizedNcDirectory = r.Text("Target_OPT-NCdir", "");
    Settings.cutDataDirectory = r.Text("Target_CUT-DATAdir", "");
}

void ReadDefinitionFileNames(const SectionReader& r, std::vector<std::string>* messages) {
    struct DefinitionFile {
        const char* key;
        const char* defaultName;
        std::int32_t CommandLineSwitches::*given;
        std::string DefinitionFilePaths::*path;
        const std::string* directory;
    } files[] = {
        {"TOOL_TABLE", "atc.ttl", &CommandLineSwitches::toolsGiven, &DefinitionFilePaths::toolsFile,
         &Settings.ttlDirectory},
        {"CONTROLLER_TABLE", "hanuc.ctl", &CommandLineSwitches::controllerGiven,
         &DefinitionFilePaths::controllerFile, &Settings.ctlDirectory},
        {"MACHINE_TABLE", "oguma.mtl", &CommandLineSwitches::machineGiven,
         &DefinitionFilePaths::machineFile, &Settings.mtlDirectory},
    };
    for (const DefinitionFile& f : files) {
        if (CommandLine.*f.given) {
            DefinitionFiles.*f.path =
                ResolveSettingsPath("", DefinitionFiles.*f.path, f.key, messages);
        } else {
            DefinitionFiles.*f.path =
                ResolveSettingsPath(*f.directory, r.Text(f.key, f.defaultName), f.key, messages);
        }
    }
}

void ReadEditorSection(const SectionReader& r) {
    Settings.editorProgram = r.Text("EXEC_PROGRAM", "xdg-open");
    if (ConfigCallbacks.editorProgram && ConfigCallbacks.editorProgram(&Settings.editorProgram)) {
        Settings.editorKind = kEditorPlugin;
    }
    Settings.editorOption = r.Text("EXEC_OPTION", "%1");
    if (ConfigCallbacks.editorOption) {
        ConfigCallbacks.editorOption(&Settings.editorOption);
    }
    Settings.editorMacroNumber = ParseDecimalInt32(r.Text("EXEC_MACRO_NO", "-1").c_str());
    Settings.editorMacroName = r.Text("EXEC_MACRO_NAME", "MIREXAJUMP.MAC");
    Settings.selectOpen = 0;
    Settings.closeEnd = 0;
    ReadWord(r.Text("SELECT OPEN", "NO"), "YES", 1, &Settings.selectOpen);
    ReadWord(r.Text("CLOSE END", "NO"), "YES", 1, &Settings.closeEnd);
    const char* program = Settings.editorProgram.c_str();
    Settings.toolsEditor = r.Text("EXEC_TTL_EDITOR", program);
    Settings.controllerEditor = r.Text("EXEC_CTL_EDITOR", program);
    Settings.machineEditor = r.Text("EXEC_MTL_EDITOR", program);
    Settings.settingsEditor = r.Text("EXEC_INI_EDITOR", program);
    Settings.definitionEditor = r.Text("EXEC_DEF_EDITOR", program);
}

void ReadVideoSection(const SectionReader& r) {
    Settings.videoDirectory = r.Text("Target_VIDEOdir", DefinitionFiles.currentDirectory.c_str());
    // TIMING names one recording trigger: TOOL, AXIS, BLOCK or UPDATE; NO names none.
    const std::string timing = r.Text("TIMING", "NO");
    const char* triggers[4] = {"TOOL", "AXIS", "BLOCK", "UPDATE"};
    Settings.recordTriggerCount = 0;
    for (int i = 0; i < 4; ++i) {
        ReadWord(timing, triggers[i], 1, &Settings.recordTriggers[i]);
        Settings.recordTriggerCount += Settings.recordTriggers[i];
    }
    Settings.videoNameMode = Starts(r.Text("NAME MODE", "FIXED"), "AUTO") ? 1 : 0;
    ReadWord(r.Text("LAP DIALOG", "NO"), "YES", 1, &Settings.lapDialog);
}

void ReadMouseSection(const SectionReader& r) {
    const std::string move = r.Text("MOVE SWITCH", "RBUTTONCLICK");
    ReadWord(move, "RBUTTONDOWN", 1, &Settings.rightButtonMove);
    ReadWord(move, "RBUTTONCLICK", 0, &Settings.rightButtonMove);
    ReadWord(r.Text("WHEEL ZOOM", "NO"), "REVERSE", 1, &Settings.wheelZoomReversed);
}

void ReadSaveSection(const SectionReader& r) {
    Settings.saveDisplay = r.Int("DISPLAY", 1);
    Settings.saveWorkColor = r.Int("WORK COLOR", 1);
    Settings.saveToolColor = r.Int("TOOL COLOR", 1);
    Settings.saveMachineColor = r.Int("MACHINE COLOR", 1);
    Settings.saveLineColor = r.Int("LINE COLOR", 1);
    Settings.saveBackground = r.Int("BACKGROUND", 1);
    if (!CommandLine.windowRectGiven) {
        Settings.windowX = r.Int("X", -1);
        Settings.windowY = r.Int("Y", -1);
        Settings.windowHeight = r.Int("HEIGHT", -1);
        Settings.windowWidth = r.Int("WIDE", -1);
    }
    Settings.windowShow = r.Int("SHOW", 1);
    Settings.showCommandPanel = r.Int("VIEW_P", 0);
    Settings.showToolPanel = r.Int("VIEW_T", 0);
}

void ReadCommandLineColorFile(std::vector<std::string>* messages) {
    if (!CommandLine.colorFileGiven) {
        return;
    }
    const std::string& name = DefinitionFiles.colorFile;
    const std::string path =
        HasDirectoryPart(name) ? name : DefinitionFiles.currentDirectory + name;
    if (ReadColorFile(path)) {
        RestoreColorSettingsFromEdit();
    } else {
        AppendConfigMessage(messages, "The colour file cannot be read",
                            "カラーファイルを読めません", path);
    }
    CommandLine.colorFileGiven = 0;
}

// Step 1 to 5 of locating: the current and program directories, the settings path, the help.
void LocateSettingsFile(const std::string& currentDirectory, const std::string& programPath,
                        std::vector<std::string>* messages) {
    DefinitionFiles.currentDirectory = WithSlash(currentDirectory);
    DefinitionFiles.programPath = programPath;
    char directory[kPathLimit + 1];
    if (GetPathDirectory(programPath, directory, sizeof directory) && directory[0] != '\0') {
        DefinitionFiles.programDirectory = directory;
    } else {
        DefinitionFiles.programDirectory = DefinitionFiles.currentDirectory;
    }
    FileLocations.currentDirectory = DefinitionFiles.currentDirectory;
    FileLocations.programDirectory = DefinitionFiles.programDirectory;
    const std::string& name = DefinitionFiles.settingsName;
    std::string path = HasDirectoryPart(name) ? name : DefinitionFiles.currentDirectory + name;
    if (!Opens(path) && !HasDirectoryPart(name)) {
        path = DefinitionFiles.programDirectory + name;
    }
    if (path.size() > kPathLimit) {
        AppendConfigMessage(messages, "The path is too long (255 characters at most)",
                            "パスが長すぎます (255 文字まで)", path.substr(0, 80));
        path.clear();
    }
    DefinitionFiles.settingsPath = path;
    const char* help = "HELP/index.htm";
    DefinitionFiles.helpPath = Opens(help) ? help : DefinitionFiles.programDirectory + help;
}

}  // namespace

void BuildInfoPanelLayout(int axisCount, InfoPanelLayout* layout) {
    const int n = std::clamp(axisCount, 3, kPanelAxisCount);
    InfoPanelLayout l;
    l.header[0] = {140, 0, 220, 15};
    l.header[1] = {220, 0, 0, 15};
    l.frame[0] = {0, 0, 140, 0};
    l.frame[1] = {1, 1, 139, 0};
    l.panelWidth = 140;
    l.panelHeight = 190;
    l.title[0] = {5, 5, 135, 20};
    l.title[1] = {5, 22, 135, 37};
    const int columns[5] = {5, 20, 35, 65, 135};
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 4; ++c) {
            l.axisCells[i][c] = {columns[c], 37 + 15 * i, columns[c + 1], 52 + 15 * i};
        }
    }
    const int r = 37 + 15 * n;
    l.belowAxes[0] = {5, r, 70, r + 15};
    l.belowAxes[1] = {70, r, 135, r + 15};
    l.belowAxes[2] = {5, r + 15, 70, r + 30};
    l.belowAxes[3] = {71, r + 15, 103, r + 30};
    l.belowAxes[4] = {103, r + 15, 135, r + 30};
    const int third[4] = {5, 48, 91, 135};
    const int fourth[4] = {5, 55, 95, 135};
    for (int c = 0; c < 3; ++c) {
        l.thirdRow[c] = {third[c], r + 35, third[c + 1], r + 50};
        l.fourthRow[c] = {fourth[c], r + 50, fourth[c + 1], r + 65};
    }
    for (int i = 0; i < kPanelValueRows; ++i) {
        const int top = r + 68 + 15 * i;
        l.valueLeft[i] = {5, top, i == 0 ? 135 : 65, top + 15};
        if (i > 0) {
            l.valueRight[i] = {65, top, 135, top + 15};
        }
    }
    const int extraTop = l.valueLeft[kPanelValueRows - 1].bottom + 3;
    for (int j = 0; j < kPanelExtraRows; ++j) {
        const int top = extraTop + 15 * j;
        l.extraLeft[j] = {5, top, 65, top + 15};
        l.extraRight[j] = {65, top, 135, top + 15};
    }
    *layout = l;
}

int ParseInitialSizeSetting(const char* text, StockDefinition* stock) {
    const std::string value(text);
    const std::size_t open = value.find('(');
    double box[6] = {};
    if (open == std::string::npos || !ReadCommaNumbers(value, open + 1, 6, box)) {
        return 0;
    }
    std::copy(box, box + 6, stock->box);
    return 1;
}

int ParseInitialSize2Setting(const char* text, StockDefinition* stock) {
    const std::string value(text);
    std::int32_t references[3] = {};
    double numbers[3][3] = {};
    // X from the start, Y from the third comma, Z behind the Y numbers (from the seventh comma).
    std::size_t end =
        ReadPlacementAxis(value, 0, "LRC", "LEFT", "RIGHT", &references[0], numbers[0]);
    const std::size_t third = NthComma(value, 0, 3);
    if (end == std::string::npos || third == std::string::npos) {
        return 0;
    }
    end = ReadPlacementAxis(value, third + 1, "FBC", "FRONT", "BACK", &references[1], numbers[1]);
    const std::size_t seventh = NthComma(value, 0, 7);
    if (end == std::string::npos || seventh == std::string::npos) {
        return 0;
    }
    end = ReadPlacementAxis(value, seventh + 1, "BTC", "BOTTOM", "TOP", &references[2], numbers[2]);
    if (end == std::string::npos) {
        return 0;
    }
    for (int a = 0; a < 3; ++a) {
        stock->sideReference[a] = references[a];
        stock->sideSize[a] = numbers[a][0];
        stock->sideLowMargin[a] = numbers[a][1];
        stock->sideHighMargin[a] = numbers[a][2];
    }
    return 1;
}

int ParseCylinderSetting(const char* text, StockDefinition* stock) {
    const std::string value(text);
    const std::size_t axis = FindFirstLetter(value, 0, "XYZ");
    if (axis == std::string::npos) {
        return 1;  // no axis letter: the cylinder stays as it was
    }
    const std::size_t open = value.find('(', axis);
    double cylinder[6] = {};
    if (open == std::string::npos || !ReadCommaNumbers(value, open + 1, 6, cylinder)) {
        return 0;
    }
    char letter = value[axis];
    letter = letter >= 'a' ? static_cast<char>(letter - 'a' + 'A') : letter;
    stock->cylinderAxis = letter - 'X';
    std::copy(cylinder, cylinder + 6, stock->cylinder);
    return 1;
}

void NoteRefusedSettingsLine(const char* section, const char* key, const std::string& standing) {
    for (RefusedSettingsLine& line : Settings.refusedLines) {
        if (line.section == section && line.key == key) {
            line.standing = standing;
            return;
        }
    }
    Settings.refusedLines.push_back({section, key, standing});
}

bool KeepsRefusedSettingsLine(const char* section, const char* key, const std::string& value) {
    for (const RefusedSettingsLine& line : Settings.refusedLines) {
        if (line.section == section && line.key == key) {
            return line.standing == value;
        }
    }
    return false;
}

int ReadSettingsFrom(const std::string& currentDirectory, const std::string& programPath,
                     std::vector<std::string>* messages) {
    Settings.refusedLines.clear();  // the lines of the file read now are noted as it is read
    LocateSettingsFile(currentDirectory, programPath, messages);
    BuildInfoPanelLayout(kPanelAxisCount, &InfoPanel);
    const std::string& path = DefinitionFiles.settingsPath;
    // Some hundred keys from one state of the file, read once.
    const ProfileReadScope oneRead(path);
    if (oneRead.outOfMemory()) {
        LogMemoryShortage(path);  // its values were not taken: the defaults stand
    }
    const char* here = DefinitionFiles.currentDirectory.c_str();

    SectionReader table{path, "Table"};
    Settings.ttlDirectory = table.Text("Target_TTLdir", here);
    Settings.ctlDirectory = table.Text("Target_CTLdir", here);
    Settings.mtlDirectory = table.Text("Target_MTLdir", here);
    ReadDmeSection(SectionReader{path, "DMEdata"}, messages);
    const SectionReader nc{path, "NCdata"};
    Settings.ncDirectory = nc.Text("Target_NCdir", here);
    Settings.ncFilePattern = CutToBytes(nc.Text("Target_NCfile", "*.NC"), kNcFilePatternLimit);
    ReadOutputSection(SectionReader{path, "OUTPUTdata"});
    FileLocations.logDirectory = Settings.logDirectory;
    ReadOptimizeSection(SectionReader{path, "Optimize"});
    ReadDefineDrawingAndCheckSettings(path, messages);
    ReadDefinitionFileNames(table, messages);
    ReadEditorSection(SectionReader{path, "ExecEditor"});
    Settings.selfOption = SectionReader{path, "ExecSelf"}.Text("EXEC_OPTION", kDefaultSelfOption);
    ReadDefineViewAndMagazineSettings(path, messages);
    ReadVideoSection(SectionReader{path, "Video"});
    ReadMouseSection(SectionReader{path, "Mouse"});
    ReadSaveSection(SectionReader{path, "Save"});
    ReadCommandLineColorFile(messages);
    if (CommandLine.batch) {
        DisplayModes.toolMode = 0;
        DisplayModes.pathDisplay = 0;
        DisplayModes.pathDisplay2 = 0;
        Settings.showToolPanel = 0;
    }
    if (CommandLine.startTool > Settings.maxMagazine) {
        AppendConfigMessage(
            messages, "The start tool is beyond MAX MAGAZINE; the tools file's own tool is used",
            "開始工具番号が MAX MAGAZINE を超えています。工具ファイルの工具を使います",
            std::to_string(CommandLine.startTool));
        CommandLine.startTool = 0;
    }
    return !path.empty() && SettingsFileHoldsValues(path) ? 1 : 0;
}

int SettingsFileTooLarge(const std::string& path) {
    struct stat info = {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                   static_cast<std::uint64_t>(info.st_size) > kWholeFileReadLimit
               ? 1
               : 0;
}

int SettingsFileHoldsValues(const std::string& path) {
    std::string content;
    if (ReadWholeRegularFile(path, &content) != 1) {
        return 0;
    }
    // A "key=value" line behind a "[section]" line, blanks before either allowed.
    bool inSection = false;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find('\n', begin);
        end = end == std::string::npos ? content.size() : end;
        const std::size_t first = content.find_first_not_of(" \t", begin);
        if (first < end) {
            if (content[first] == '[') {
                inSection = true;
            } else if (inSection && content[first] != ';' && content[first] != '=' &&
                       content.find('=', first) < end) {
                return 1;
            }
        }
        begin = end + 1;
    }
    return 0;
}

void PlaceSettingsStockAtWorkOrigin(const double origin[3]) {
    ProgramSettings& s = Settings;
    if (s.inputInWork == 0 || s.stockValuesUnplaced == 0) {
        return;
    }
    for (int axis = 0; axis < 3; ++axis) {
        s.stockValuesOrigin[axis] = origin[axis];
        if (s.stockValuesUnplaced & kUnplacedBox) {
            InitialStock.box[axis] += origin[axis];
            InitialStock.box[axis + 3] += origin[axis];
        }
        if (s.stockValuesUnplaced & kUnplacedCylinder) {
            InitialStock.cylinder[axis] += origin[axis];
        }
    }
    s.stockValuesUnplaced = 0;
}

StockDefinition StockValuesOfSettingsFile() {
    StockDefinition values = InitialStock;
    const ProgramSettings& s = Settings;
    if (s.inputInWork == 0) {
        return values;
    }
    // Values still unplaced are the file's as they were read.
    for (int axis = 0; axis < 3; ++axis) {
        if (!(s.stockValuesUnplaced & kUnplacedBox)) {
            values.box[axis] -= s.stockValuesOrigin[axis];
            values.box[axis + 3] -= s.stockValuesOrigin[axis];
        }
        if (!(s.stockValuesUnplaced & kUnplacedCylinder)) {
            values.cylinder[axis] -= s.stockValuesOrigin[axis];
        }
    }
    return values;
}

int ReadSettings(std::vector<std::string>* messages) {
    std::error_code error;
    std::string current = std::filesystem::current_path(error).string();
    std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    // Memory that runs out while the settings are read is logged (exit 2 in a batch), not an
    // abort.
    try {
        return ReadSettingsFrom(current, program, messages);
    } catch (const std::bad_alloc&) {
        LogMemoryShortage(DefinitionFiles.settingsPath);
        return 0;
    }
}

}  // namespace mirexa
