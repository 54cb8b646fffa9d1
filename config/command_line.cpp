// The command line: file arguments by extension and the switches of unattended runs.
#include "config/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "config/definition_lines.h"
#include "config/tool_tables.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "stock/stock_shapes.h"

namespace mirexa {

namespace {

constexpr int kLargestFontHeight = 100;  // pixels
constexpr std::size_t kBasicModelTitleLimit = 64;

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// 1 when the name ends in ".stl" followed by a sign and a letter ("part.stl+Z").
bool EndsWithSignedAxis(std::string_view name) {
    if (name.size() < 6) {
        return false;
    }
    const char sign = name[name.size() - 2];
    return (sign == '+' || sign == '-') && IsLetter(name.back()) &&
           EndsWithNoCase(name.substr(0, name.size() - 2), ".stl");
}

// The STL import direction of a sign and an axis letter: X 1, Y 2, any other letter 3.
int AxisDirection(char sign, char letter) {
    int axis = Upper(letter) == 'X' ? 1 : Upper(letter) == 'Y' ? 2 : 3;
    return sign == '-' ? -axis : axis;
}

int FileOpensForReading(const std::string& path) {
    std::FILE* file = OpenFileStream(path, "r");
    if (!file) {
        return 0;
    }
    std::fclose(file);
    return 1;
}

// The cursor over the command line and the messages of what it refused.
struct Parser {
    std::string_view text;
    std::size_t pos = 0;
    std::vector<std::string>* messages = nullptr;
    int refused = 0;
    CommandLineOptions* o = nullptr;  // what the arguments set

    char At(std::size_t i) const {
        return i < text.size() ? text[i] : '\0';
    }
    char Peek() const {
        return At(pos);
    }
    bool AtEnd() const {
        return pos >= text.size();
    }
    void SkipBlanks() {
        while (pos < text.size() && IsBlank(text[pos])) {
            ++pos;
        }
    }
    // The index of the first blank at or behind from, or the text's end.
    std::size_t BlankFrom(std::size_t from) const {
        while (from < text.size() && !IsBlank(text[from])) {
            ++from;
        }
        return from;
    }
    void SkipToBlank() {
        pos = BlankFrom(pos);
    }
    void Refuse(const char* english, const char* japanese, std::string_view detail) {
        refused = 1;
        AppendConfigMessage(messages, english, japanese, std::string(detail));
    }
    // The token that starts at from, for messages.
    std::string_view TokenAt(std::size_t from) const {
        from = std::min(from, text.size());
        return text.substr(from, BlankFrom(from) - from);
    }
};

// The name between the double quote at the cursor and the next one; the cursor moves behind the
// closing quote. A quote that is never closed would take the rest of the line, switches and all,
// as one name: it is refused, the cursor goes to the end and the name is empty.
std::string ReadQuotedName(Parser& p) {
    const std::size_t close = p.text.find('"', p.pos + 1);
    if (close == std::string_view::npos) {
        p.Refuse("A double quote is not closed; the rest of the command line is not read",
                 "ダブルクォートが閉じていません。以降のコマンドラインは読みません",
                 p.text.substr(p.pos, 80));
        p.pos = p.text.size();
        return {};
    }
    std::string name(p.text.substr(p.pos + 1, close - p.pos - 1));
    p.pos = close + 1;
    return name;
}

void RefuseLongPath(Parser& p, std::string_view path) {
    p.Refuse("The path is too long (255 characters at most)", "パスが長すぎます (255 文字まで)",
             path.substr(0, 80));
}

// Reads a number at the cursor: an optional sign, then the decimal form of the C runtime
// without hexadecimal, infinities or NaN. The cursor moves behind it on success only.
bool ReadNumber(Parser& p, double* out) {
    std::size_t at = p.pos;
    bool negative = false;
    if (p.At(at) == '+' || p.At(at) == '-') {
        negative = p.At(at) == '-';
        ++at;
    }
    if (!IsDigit(p.At(at)) && !(p.At(at) == '.' && IsDigit(p.At(at + 1)))) {
        return false;
    }
    const char* first = p.text.data() + at;
    const char* last = p.text.data() + p.text.size();
    double value = 0.0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value)) {
        return false;
    }
    p.pos = static_cast<std::size_t>(end - p.text.data());
    *out = negative ? -value : value;
    return true;
}

// Reads minCount to maxCount numbers separated by commas. With parenthesised set the list must
// be enclosed in "(" and ")" (blanks allowed inside); otherwise the parentheses are optional.
// On failure the cursor is restored and false returned.
bool ReadNumberList(Parser& p, int minCount, int maxCount, bool parenthesised, double* out,
                    int* count) {
    const std::size_t start = p.pos;
    const bool open = p.Peek() == '(';
    if (parenthesised && !open) {
        return false;
    }
    if (open) {
        ++p.pos;
    }
    int n = 0;
    double values[8] = {};
    for (;;) {
        if (open) {
            p.SkipBlanks();
        }
        if (n == maxCount || !ReadNumber(p, &values[n])) {
            p.pos = start;
            return false;
        }
        ++n;
        if (open) {
            p.SkipBlanks();
        }
        if (p.Peek() != ',' || n == maxCount) {
            break;
        }
        ++p.pos;
    }
    if (open) {
        if (p.Peek() != ')') {
            p.pos = start;
            return false;
        }
        ++p.pos;
    }
    if (n < minCount) {
        p.pos = start;
        return false;
    }
    std::copy(values, values + n, out);
    if (count) {
        *count = n;
    }
    return true;
}

// 1 when every value (mm) lies within kStockCoordinateLimit: stocks and moves no machine holds
// are refused.
bool WithinMachineReach(const double* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!(std::fabs(values[i]) <= kStockCoordinateLimit)) {
            return false;
        }
    }
    return true;
}

// Reads an integer within [low, high]; the cursor moves behind it on success only.
bool ReadInteger(Parser& p, long long low, long long high, long long* out) {
    double value = 0.0;
    std::size_t start = p.pos;
    if (!ReadNumber(p, &value) || value != std::floor(value) || value < static_cast<double>(low) ||
        value > static_cast<double>(high)) {
        p.pos = start;
        return false;
    }
    *out = static_cast<long long>(value);
    return true;
}

// Reads a file name behind a switch: blanks are skipped, then a quoted name or one that runs to
// the next blank (or comma when stopAtComma). The extension is appended when the name does not
// end in it. False, with a message, when the name is missing or too long.
bool ReadSwitchFileName(Parser& p, bool stopAtComma, std::string_view extension, std::string* out) {
    p.SkipBlanks();
    std::string name;
    if (p.Peek() == '"') {
        name = ReadQuotedName(p);
    } else {
        std::size_t end = p.pos;
        while (end < p.text.size() && !IsBlank(p.text[end]) &&
               !(stopAtComma && p.text[end] == ',')) {
            ++end;
        }
        name = p.text.substr(p.pos, end - p.pos);
        p.pos = end;
    }
    if (name.empty()) {
        p.Refuse("A file name is missing behind a switch", "スイッチの後にファイル名がありません",
                 "");
        return false;
    }
    if (!extension.empty() && !EndsWithNoCase(name, extension)) {
        name += extension;
    }
    if (name.size() > kPathLimit) {
        RefuseLongPath(p, name);
        return false;
    }
    *out = name;
    return true;
}

void UpdateStlTransformFlag(StlImportSettings* stl) {
    int any = stl->coordinateKind == 1;
    for (int a = 0; a < 3; ++a) {
        any = any || stl->scaleFlags[a] || stl->mirrorFlags[a];
    }
    stl->transformFlag = any ? 1 : 0;
}

void SetScaleRates(StlImportSettings* stl, const double rates[3]) {
    for (int a = 0; a < 3; ++a) {
        stl->scaleRates[a] = rates[a];
        stl->scaleFlags[a] = rates[a] != 1.0 ? 1 : 0;
    }
}

bool StartsNumber(char c, char next) {
    return IsDigit(c) || ((c == '-' || c == '+' || c == '.') && (IsDigit(next) || next == '.'));
}

// The "S" option of a stock-file argument; the cursor stands behind the "S".
bool ReadScaleOption(Parser& p) {
    double centre[3] = {};
    double rates[3] = {};
    bool centreGiven = false;
    if (p.Peek() == '(') {
        if (!ReadNumberList(p, 3, 3, true, centre, nullptr)) {
            return false;
        }
        centreGiven = true;
    }
    bool ratesGiven = false;
    if (p.Peek() == '(') {
        if (!ReadNumberList(p, 3, 3, true, rates, nullptr)) {
            return false;
        }
        ratesGiven = true;
    } else if (StartsNumber(p.Peek(), p.At(p.pos + 1))) {
        if (!ReadNumber(p, &rates[0])) {
            return false;
        }
        rates[1] = rates[2] = rates[0];
        ratesGiven = true;
    }
    if (ratesGiven) {
        for (double rate : rates) {
            if (!(rate > 0.0)) {
                return false;  // a scale of 0 or below is no scale
            }
        }
        SetScaleRates(&p.o->stlImport, rates);
    } else {
        // A bare "S": the STL dialog's rates for the axes it has enabled.
        for (int a = 0; a < 3; ++a) {
            if (p.o->stlImport.dialogScaleFlags[a]) {
                p.o->stlImport.scaleRates[a] = p.o->stlImport.dialogScaleRates[a];
                p.o->stlImport.scaleFlags[a] = p.o->stlImport.scaleRates[a] != 1.0 ? 1 : 0;
            }
        }
    }
    for (int a = 0; a < 3; ++a) {
        p.o->stlImport.scaleCentres[a] = centreGiven ? centre[a] : 0.0;
    }
    return true;
}

int ParseStockArgument(Parser& p, std::string* path, int kind) {
    p.SkipBlanks();
    std::string name;
    if (p.Peek() == '"') {
        name = ReadQuotedName(p);
        if (!name.empty() && !EndsWithNoCase(name, ".dme") && !EndsWithNoCase(name, ".dmf") &&
            !EndsWithNoCase(name, ".stl")) {
            name += ".dme";
        }
    } else {
        std::size_t end = p.pos;
        while (end < p.text.size() && !IsBlank(p.text[end]) && p.text[end] != ',') {
            ++end;
        }
        name = p.text.substr(p.pos, end - p.pos);
        p.pos = end;
        if (name.empty() || EndsWithNoCase(name, ".dme") || EndsWithNoCase(name, ".dmf") ||
            EndsWithNoCase(name, ".stl")) {
            // as given
        } else if (EndsWithSignedAxis(name)) {
            // ".stl" plus a sign and an axis letter: the two are left for the direction.
            name.resize(name.size() - 2);
            p.pos -= 2;
        } else {
            name += ".dme";
        }
    }
    if (name.empty()) {
        p.Refuse("A stock file name is missing", "素材ファイル名がありません", "");
        return 0;
    }
    if (name.size() > kPathLimit) {
        RefuseLongPath(p, name);
        p.SkipToBlank();
        return 0;
    }
    if ((p.Peek() == '+' || p.Peek() == '-') && IsLetter(p.At(p.pos + 1))) {
        p.o->stlImport.referenceDirection = AxisDirection(p.Peek(), p.At(p.pos + 1));
        p.pos += 2;
    }
    while (p.Peek() == ',') {
        ++p.pos;
        const std::size_t optionStart = p.pos;
        const char c = p.Peek();
        bool ok = true;
        if (Upper(c) == 'W') {
            ++p.pos;
            p.o->stlImport.coordinateKind = 1;
            (kind == 2 ? p.o->stlImport.basicInWork : p.o->stlImport.stockInWork) = 1;
        } else if (Upper(c) == 'M' &&
                   (Upper(p.At(p.pos + 1)) == 'X' || Upper(p.At(p.pos + 1)) == 'Y' ||
                    Upper(p.At(p.pos + 1)) == 'Z')) {
            const int axis = Upper(p.At(p.pos + 1)) - 'X';
            p.pos += 2;
            double centre = 0.0;
            if (StartsNumber(p.Peek(), p.At(p.pos + 1))) {
                ok = ReadNumber(p, &centre);
            }
            if (ok) {
                p.o->stlImport.mirrorFlags[axis] = 1;
                p.o->stlImport.mirrorCentres[axis] = centre;
            }
        } else if (c == 'S') {
            ++p.pos;
            ok = ReadScaleOption(p);
        } else {
            ok = false;
        }
        if (!ok) {
            std::size_t end = optionStart;
            while (end < p.text.size() && !IsBlank(p.text[end]) && p.text[end] != ',') {
                ++end;
            }
            p.Refuse("A stock file option is not understood", "素材ファイルのオプションが不正です",
                     p.text.substr(optionStart, end - optionStart));
            p.pos = end;
        }
    }
    UpdateStlTransformFlag(&p.o->stlImport);
    *path = name;
    return 1;
}

// The definition files named by their extension, in the order of the switches -I, -IC, -T, -C,
// -M; the macro file has no switch.
struct FileKind {
    const char* extension;
    std::string DefinitionFilePaths::*path;
    std::int32_t CommandLineSwitches::*given;
};
enum FileKindIndex { kSettingsKind, kColorKind, kToolsKind, kControllerKind, kMachineKind };
const FileKind kFileKinds[] = {
    {".ini", &DefinitionFilePaths::settingsName, &CommandLineSwitches::settingsGiven},
    {".ctc", &DefinitionFilePaths::colorFile, &CommandLineSwitches::colorFileGiven},
    {".ttl", &DefinitionFilePaths::toolsFile, &CommandLineSwitches::toolsGiven},
    {".ctl", &DefinitionFilePaths::controllerFile, &CommandLineSwitches::controllerGiven},
    {".mtl", &DefinitionFilePaths::machineFile, &CommandLineSwitches::machineGiven},
    {".mac", &DefinitionFilePaths::macroFile, &CommandLineSwitches::macroGiven},
};

// A definition-file switch: the name (extension appended when missing) always replaces.
void ReadDefinitionFileSwitch(Parser& p, FileKindIndex index, bool stopAtComma) {
    const FileKind& kind = kFileKinds[index];
    std::string name;
    if (ReadSwitchFileName(p, stopAtComma, kind.extension, &name)) {
        p.o->files.*kind.path = name;
        p.o->switches.*kind.given = 1;
    }
}

// Sorts a file name by its end. Returns false for an NC program name that does not open.
bool ClassifyFileName(Parser& p, const std::string& name, int quotedDirection) {
    for (const FileKind& kind : kFileKinds) {
        if (EndsWithNoCase(name, kind.extension)) {
            if (!(p.o->switches.*kind.given)) {
                p.o->files.*kind.path = name;
                p.o->switches.*kind.given = 1;
                p.o->switches.automation |= kind.path == &DefinitionFilePaths::macroFile;
            }
            return true;
        }
    }
    if (EndsWithNoCase(name, ".dme") || EndsWithNoCase(name, ".dmf") ||
        EndsWithNoCase(name, ".stl") ||
        (name.size() >= 6 &&
         EndsWithNoCase(std::string_view(name).substr(0, name.size() - 2), ".stl")) ||
        (name.size() >= 7 &&
         EndsWithNoCase(std::string_view(name).substr(0, name.size() - 3), ".stl"))) {
        if (!p.o->switches.stockGiven) {
            std::string stock = name;
            int direction = quotedDirection;
            if (EndsWithSignedAxis(name)) {
                direction = AxisDirection(name[name.size() - 2], name[name.size() - 1]);
                stock.resize(name.size() - 2);
            }
            p.o->files.stockFile = stock;
            p.o->switches.stockGiven = 1;
            p.o->stock.kind = kStockFromFile;
            if (direction != 0) {
                p.o->stlImport.referenceDirection = direction;
            }
        }
    } else if (EndsWithNoCase(name, ".lnk")) {
        std::string target = name;
        if (!ResolveShortcut(&target)) {
            p.refused = 1;
            if (p.messages) {
                p.messages->push_back(ShortcutNotSupportedMessage(name));
            }
        }
    } else if (!p.o->switches.ncGiven) {
        if (!FileOpensForReading(name)) {
            return false;
        }
        p.o->files.ncProgramFile = name;
        p.o->switches.ncGiven = 1;
    }
    return true;
}

// A file argument. Returns false when the parse must stop (an NC name grew to the end).
bool ParseFileArgument(Parser& p) {
    const std::size_t start = p.pos;
    if (p.Peek() == '"') {
        std::string name = ReadQuotedName(p);
        int direction = 0;
        if ((p.Peek() == '+' || p.Peek() == '-') && IsLetter(p.At(p.pos + 1))) {
            direction = AxisDirection(p.Peek(), p.At(p.pos + 1));
            p.pos += 2;
        }
        if (name.size() > kPathLimit) {
            RefuseLongPath(p, name);
        } else if (!name.empty() && !ClassifyFileName(p, name, direction)) {
            p.Refuse("The NC program cannot be opened", "NCプログラムを開けません", name);
        }
        return true;
    }
    // Unquoted: a name that is no openable NC program grows over the next blank, for a path
    // with blanks. A grown name counts only when such a file exists; otherwise the first word
    // is refused and the arguments behind it are read as arguments, never as part of a name.
    const std::size_t firstEnd = p.BlankFrom(p.pos);
    std::size_t end = firstEnd;
    for (;;) {
        std::string name(p.text.substr(start, end - start));
        if (name.size() > kPathLimit) {
            break;
        }
        if ((end == firstEnd || FileOpensForReading(name)) && ClassifyFileName(p, name, 0)) {
            p.pos = end;
            return true;
        }
        if (end >= p.text.size()) {
            break;
        }
        std::size_t next = end;
        while (next < p.text.size() && IsBlank(p.text[next])) {
            ++next;
        }
        end = p.BlankFrom(next);
    }
    const std::string_view first = p.text.substr(start, firstEnd - start);
    if (first.size() > kPathLimit) {
        RefuseLongPath(p, first);
    } else {
        p.Refuse("The NC program cannot be opened", "NCプログラムを開けません", first);
    }
    p.pos = firstEnd;
    return true;
}

void RefuseSwitch(Parser& p, std::size_t switchStart) {
    p.Refuse("A switch of the command line is incomplete or out of range",
             "コマンドラインのスイッチが不完全か範囲外です", p.TokenAt(switchStart));
    p.SkipToBlank();
}

void ParseSaveSwitch(Parser& p) {
    std::string name;
    if (!ReadSwitchFileName(p, false, "", &name)) {
        return;
    }
    int kind = 1;
    if (EndsWithNoCase(name, ".stl,b2")) {
        name.resize(name.size() - 3);
        kind = 4;
    } else if (EndsWithNoCase(name, ".stl,b")) {
        name.resize(name.size() - 2);
        kind = 3;
    } else if (EndsWithNoCase(name, ".stl")) {
        kind = 2;
    } else if (const std::size_t dot = name.rfind('.');
               dot != std::string::npos && name.find(',', dot) != std::string::npos &&
               !EndsWithNoCase(name, ",b2") && !EndsWithNoCase(name, ",b")) {
        // A save kind behind the extension's comma that is not one of ",b" and ",b2" would be
        // written under another name than the one meant.
        p.Refuse("The save kind behind the comma is not known (,b or ,b2)",
                 "カンマの後の保存の種類が不明です (,b または ,b2)", name);
        return;
    } else if (!EndsWithNoCase(name, ".dme") && !EndsWithNoCase(name, ".dmf") &&
               !EndsWithNoCase(name, ",b2") && !EndsWithNoCase(name, ",b")) {
        name += ".dme";
        if (name.size() > kPathLimit) {
            RefuseLongPath(p, name);
            return;
        }
    }
    p.o->files.saveFile = name;
    p.o->switches.saveKind = kind;
}

void ParseStockSwitch(Parser& p, std::size_t switchStart) {
    double v[6] = {};
    const char letter = Upper(p.Peek());
    if (p.Peek() == '(') {
        if (!ReadNumberList(p, 6, 6, true, v, nullptr) || !WithinMachineReach(v, 6)) {
            RefuseSwitch(p, switchStart);
            return;
        }
        // Maximum corner first; corners given the other way round are sorted per axis.
        for (int a = 0; a < 3; ++a) {
            p.o->stock.box[a] = std::min(v[a], v[a + 3]);
            p.o->stock.box[a + 3] = std::max(v[a], v[a + 3]);
        }
        p.o->stock.kind = kStockBox;
    } else if ((letter == 'X' || letter == 'Y' || letter == 'Z') && p.At(p.pos + 1) == '(') {
        ++p.pos;
        if (!ReadNumberList(p, 6, 6, true, v, nullptr) || !WithinMachineReach(v, 6)) {
            RefuseSwitch(p, switchStart);
            return;
        }
        std::copy(v, v + 6, p.o->stock.cylinder);
        p.o->stock.cylinderAxis = letter - 'X';
        p.o->stock.kind = kStockCylinder;
    } else {
        std::string path;
        if (ParseStockArgument(p, &path, 1)) {
            p.o->files.stockFile = path;
            p.o->stock.kind = kStockFromFile;
            p.o->switches.stockGiven = 1;
        }
        return;
    }
    p.o->files.stockFile.clear();
    p.o->switches.stockGiven = 1;
}

// -X with a run mode digit; the cursor stands on the digit.
void ParseRunMode(Parser& p) {
    const BatchRunKind kind = BatchRunKindOfDigit(p.Peek() - '0');
    ++p.pos;
    p.o->switches.batchKind = kind;
    bool zero = false;
    if (p.Peek() == '0') {
        zero = true;
        p.o->switches.selectWithoutOptimalStock = 1;
        ++p.pos;
    }
    if (Upper(p.Peek()) == 'N') {
        ++p.pos;
        if (kind == BatchRunKind::kSkip || kind == BatchRunKind::kResult) {
            p.o->switches.reportSilent = 1;
        } else if (kind == BatchRunKind::kResultLogged && !zero) {
            p.o->switches.noReportDisplay = 1;
        }
    }
    if (BatchKindLogsRun(kind)) {
        p.o->switches.batchRun = 1;
    }
    if (kind == BatchRunKind::kResultUnseen) {
        p.o->switches.drawingSuppressed = 1;
        p.o->switches.batch = 1;
    }
}

bool ParsePaintSwitch(Parser& p) {
    const char c = Upper(p.Peek());
    int kind = 0;
    int pen = 0;
    if (c == 'P') {
        kind = 1;
    } else if (c == 'C') {
        kind = 2;
    } else if (c == 'A' && Upper(p.At(p.pos + 1)) == 'C') {
        kind = 2;
        pen = 16;
    } else if (IsDigit(p.Peek())) {
        std::size_t at = p.pos;
        while (at < p.pos + 2 && IsDigit(p.At(at))) {
            pen = pen * 10 + (p.At(at) - '0');
            ++at;
        }
        if (Upper(p.At(at)) != 'C' || pen > 15) {
            return false;
        }
        kind = 2;
    } else {
        return false;
    }
    p.o->switches.paintStock = kind;
    p.o->switches.paintPen = pen;
    p.o->switches.drawingSuppressed = 1;
    p.o->switches.batch = 1;
    return true;
}

bool ParseDifferenceSwitch(Parser& p) {
    DifferencePaintChoices choice = p.o->difference;
    choice.area = 1;
    if (p.Peek() == '+' || p.Peek() == '-') {
        choice.area = p.Peek() == '-' ? -1 : 1;
        ++p.pos;
    }
    if (!IsDigit(p.Peek()) && p.Peek() != '.') {
        return false;
    }
    if (!ReadNumber(p, &choice.margin)) {
        return false;
    }
    if (Upper(p.Peek()) != 'H' && Upper(p.Peek()) != 'N') {
        return false;
    }
    ++p.pos;
    if (Upper(p.Peek()) == 'P') {
        choice.penColor = 0;
        ++p.pos;
    } else if (IsDigit(p.Peek())) {
        int pen = p.Peek() - '0';
        ++p.pos;
        if (IsDigit(p.Peek())) {
            pen = pen * 10 + (p.Peek() - '0');
            ++p.pos;
        }
        if (pen < 1 || pen > 15) {
            return false;
        }
        choice.penColor = 1;
        choice.pen = pen;
    } else {
        return false;
    }
    choice.recolor = 1;
    if (Upper(p.Peek()) == 'K') {
        choice.recolor = 0;
        ++p.pos;
    }
    choice.offset = 0.0;
    if (p.Peek() == ',') {
        ++p.pos;
        if (!ReadNumber(p, &choice.offset)) {
            return false;
        }
    }
    choice.marginStart = choice.margin;
    p.o->difference = choice;
    p.o->switches.differencePaint = 1;
    p.o->switches.drawingSuppressed = 1;
    p.o->switches.batch = 1;
    return true;
}

// The -X family; the cursor stands behind the "X".
void ParseExecuteSwitch(Parser& p, std::size_t switchStart) {
    p.SkipBlanks();
    const char c = Upper(p.Peek());
    if (c >= '1' && c <= '6') {
        ParseRunMode(p);
        return;
    }
    if (c == 'M') {
        ++p.pos;
        if (!IsBlank(p.Peek()) && p.Peek() != '(') {
            RefuseSwitch(p, switchStart);  // not the move switch
            return;
        }
        p.SkipBlanks();
        double shift[3] = {};
        if (!ReadNumberList(p, 3, 3, false, shift, nullptr) || !WithinMachineReach(shift, 3)) {
            RefuseSwitch(p, switchStart);
            return;
        }
        std::copy(shift, shift + 3, p.o->switches.moveShift);
        p.o->switches.moveStock = 1;
        p.o->switches.batch = 1;
        return;
    }
    if (c == 'R') {
        ++p.pos;
        int axis = p.o->switches.rotateAxis;
        const char letter = Upper(p.Peek());
        if (letter == 'X' || letter == 'Y' || letter == 'Z') {
            axis = letter - 'X';
            ++p.pos;
        }
        while (IsBlank(p.Peek()) || p.Peek() == ',') {
            ++p.pos;
        }
        double angle = 0.0;
        if (!ReadNumberList(p, 1, 1, false, &angle, nullptr)) {
            RefuseSwitch(p, switchStart);
            return;
        }
        p.o->switches.rotateAxis = axis;
        p.o->switches.rotateAngle = angle;
        p.o->switches.rotateStock = 1;
        p.o->switches.batch = 1;
        p.SkipToBlank();
        return;
    }
    if (c == 'P' || c == 'D') {
        ++p.pos;
        if (!(c == 'P' ? ParsePaintSwitch(p) : ParseDifferenceSwitch(p))) {
            RefuseSwitch(p, switchStart);
            return;
        }
        p.SkipToBlank();
        return;
    }
    // An unknown run mode (-X0, -X9) or letter asks for work this program cannot do.
    RefuseSwitch(p, switchStart);
}

// A switch; the cursor stands behind the "-" or "/". Returns false when the parse must stop.
bool ParseSwitch(Parser& p) {
    const std::size_t switchStart = p.pos - 1;
    const char letter = Upper(p.Peek());
    if (p.AtEnd()) {
        return false;
    }
    ++p.pos;
    std::string name;
    switch (letter) {
        case 'I':
            if (Upper(p.Peek()) == 'C' && (IsBlank(p.At(p.pos + 1)) || p.At(p.pos + 1) == '\0')) {
                ++p.pos;
                ReadDefinitionFileSwitch(p, kColorKind, false);
            } else {
                ReadDefinitionFileSwitch(p, kSettingsKind, false);
            }
            break;
        case 'T':
            if (ReadSwitchFileName(p, true, ".ttl", &name)) {
                p.o->files.toolsFile = name;
                p.o->switches.toolsGiven = 1;
            }
            if (p.Peek() == ',') {
                ++p.pos;
                long long tool = 0;
                if (!ReadInteger(p, -2147483647LL, 2147483647LL, &tool) ||
                    tool > kMaxMagazineLimit) {
                    RefuseSwitch(p, switchStart);
                } else {
                    p.o->switches.startTool = tool < 1 ? 0 : static_cast<std::int32_t>(tool);
                }
            }
            break;
        case 'C':
            ReadDefinitionFileSwitch(p, kControllerKind, false);
            break;
        case 'M':
            ReadDefinitionFileSwitch(p, kMachineKind, false);
            break;
        case 'O':
            ParseSaveSwitch(p);
            break;
        case 'K':
            if (ParseStockArgument(p, &name, 2)) {
                p.o->files.basicModelFile = name;
                p.o->switches.basicModelGiven = 1;
                char title[kPathLimit + 1];
                if (GetPathFileName(name, 1, title, sizeof title)) {
                    p.o->files.basicModelTitle =
                        std::string(title).substr(0, kBasicModelTitleLimit);
                }
            }
            break;
        case 'D':
            ParseStockSwitch(p, switchStart);
            break;
        case 'S': {
            int machine = 0;
            if (Upper(p.Peek()) == 'M') {
                machine = 1;
                ++p.pos;
            }
            double point[5] = {};
            if (!ReadNumberList(p, 3, 5, true, point, nullptr)) {
                RefuseSwitch(p, switchStart);
                break;
            }
            std::copy(point, point + 5, p.o->controlPoint);
            p.o->controlPointMachine = machine;
            p.o->switches.controlPointGiven = 1;
            break;
        }
        case 'P': {
            double pitches[2] = {};
            if (!ReadNumberList(p, 2, 2, true, pitches, nullptr) ||
                !DexelPitchesUsable(pitches[0], pitches[1])) {
                p.Refuse(
                    "The pitch is not valid: the stock pitch is 0.001 to 100 mm, the move pitch "
                    "at least 1/100 of it",
                    "ピッチが正しくありません (素材ピッチは 0.001～100 mm、移動ピッチはその 1/100 "
                    "以上)",
                    p.TokenAt(switchStart));
                p.SkipToBlank();
                break;
            }
            p.o->pitch.currentPitch = pitches[0];
            p.o->pitch.requestedPitch = pitches[0];
            p.o->pitch.secondPitch = pitches[1];
            p.o->pitch.automatic = 0;
            p.o->pitch.secondPitchAutomatic = 0;
            p.o->switches.pitchGiven = 1;
            break;
        }
        case 'G': {
            p.SkipBlanks();
            long long processor = 0;
            if (!ReadInteger(p, -2147483647LL, 2147483647LL, &processor)) {
                RefuseSwitch(p, switchStart);
                break;
            }
            // Choosing the main thread's processor is left to the system: the switch is read
            // so that older command lines still work, and changes nothing.
            break;
        }
        case 'V':
            p.o->switches.reportMode = 1;
            if (IsDigit(p.Peek())) {
                p.o->switches.reportMode = p.Peek() == '5' ? 5 : p.Peek() == '6' ? 6 : 1;
                ++p.pos;
            }
            break;
        case 'F': {
            p.SkipBlanks();
            long long height = 0;
            if (!ReadInteger(p, -2147483647LL, 2147483647LL, &height)) {
                RefuseSwitch(p, switchStart);
                break;
            }
            p.o->switches.fontHeight =
                static_cast<std::int32_t>(std::clamp(height, 0LL, 0LL + kLargestFontHeight));
            p.SkipToBlank();
            break;
        }
        case 'N':
            p.o->switches.noMenu = 1;
            break;
        case '(': {
            --p.pos;
            double rect[4] = {};
            bool ok = ReadNumberList(p, 4, 4, true, rect, nullptr);
            for (int i = 0; ok && i < 4; ++i) {
                ok = rect[i] == std::floor(rect[i]) && std::fabs(rect[i]) <= 1e6;
            }
            if (!ok || rect[2] <= 0.0 || rect[3] <= 0.0) {
                const std::size_t close = p.text.find(')', p.pos);
                p.Refuse("The window rectangle is incomplete or has no size",
                         "ウィンドウの位置と大きさが不正です", p.TokenAt(switchStart));
                if (close == std::string_view::npos) {
                    return false;
                }
                p.pos = close + 1;
                break;
            }
            p.o->switches.windowLeft = static_cast<std::int32_t>(rect[0]);
            p.o->switches.windowTop = static_cast<std::int32_t>(rect[1]);
            p.o->switches.windowWidth = static_cast<std::int32_t>(rect[2]);
            p.o->switches.windowHeight = static_cast<std::int32_t>(rect[3]);
            p.o->switches.windowRectGiven = 1;
            break;
        }
        case 'X':
            ParseExecuteSwitch(p, switchStart);
            break;
        default:
            break;  // other letters are ignored
    }
    return true;
}

// A "/" starts a switch unless a further "/" follows before the next blank (an absolute path).
bool SlashStartsPath(const Parser& p) {
    const std::size_t end = p.BlankFrom(p.pos);
    return p.text.substr(p.pos + 1, end - p.pos - 1).find('/') != std::string_view::npos;
}

void FinishCommandLine(Parser& p) {
    CommandLineSwitches& o = p.o->switches;
    if (!o.ncGiven) {
        o.batchKind = BatchRunKind::kNone;
    }
    const bool anyOperation = o.moveStock || o.rotateStock || o.paintStock || o.differencePaint;
    if (anyOperation) {
        if (!o.stockGiven || o.saveKind == 0) {
            p.Refuse("A stock operation needs a stock and a save file (-O); it is dropped",
                     "素材の操作には素材と保存ファイル (-O) が必要です。操作は行いません", "");
            o.moveStock = o.rotateStock = o.paintStock = o.differencePaint = 0;
        }
        o.batchKind = BatchRunKind::kNone;
        o.ncGiven = 0;
    }
    const bool operationKept = o.moveStock || o.rotateStock || o.paintStock || o.differencePaint;
    if (!operationKept && o.batchKind < BatchRunKind::kReal) {
        o.saveKind = 0;
        p.o->files.saveFile.clear();
    }
    if (o.batchKind != BatchRunKind::kNone && o.reportMode > 1) {
        o.reportMode = 1;
    }
    if (o.reportMode == 6) {
        o.drawingSuppressed = 1;
        o.batch = 1;
    }
    if (o.stockGiven || o.ncGiven || anyOperation) {
        o.automation = 1;
    }
    p.o->automatic = o.automation;
}

}  // namespace

CommandLineOptions TakeCommandLineStartValues() {
    CommandLineOptions o;
    o.switches = CommandLine;
    o.files = DefinitionFiles;
    o.stock = InitialStock;
    o.stlImport = StlImport;
    o.pitch = DexelPitch;
    std::copy(Settings.controlPoint, Settings.controlPoint + 5, o.controlPoint);
    o.controlPointMachine = Settings.controlPointMachine;
    o.difference = Settings.difference;
    o.automatic = AutomaticMode.load();
    return o;
}

int ParseCommandLineOptions(std::string_view text, CommandLineOptions* options,
                            std::vector<std::string>* messages) {
    Parser p{text, 0, messages, 0, options};
    if (options->files.settingsName.empty()) {
        options->files.settingsName = "mirexa.ini";
    }
    for (;;) {
        p.SkipBlanks();
        if (p.AtEnd()) {
            break;
        }
        const char c = p.Peek();
        bool more;
        if (c == '-' || (c == '/' && !SlashStartsPath(p))) {
            ++p.pos;
            more = ParseSwitch(p);
        } else {
            more = ParseFileArgument(p);
        }
        if (!more) {
            break;
        }
    }
    FinishCommandLine(p);
    return p.refused ? 0 : 1;
}

void ApplyCommandLineOptions(const CommandLineOptions& options) {
    CommandLine = options.switches;
    DefinitionFiles = options.files;
    InitialStock = options.stock;
    StlImport = options.stlImport;
    DexelPitch = options.pitch;
    std::copy(options.controlPoint, options.controlPoint + 5, Settings.controlPoint);
    Settings.controlPointMachine = options.controlPointMachine;
    Settings.difference = options.difference;
    AutomaticMode.store(options.automatic);
}

int ParseCommandLine(std::string_view text, std::vector<std::string>* messages) {
    CommandLineOptions options = TakeCommandLineStartValues();
    const int ok = ParseCommandLineOptions(text, &options, messages);
    ApplyCommandLineOptions(options);
    return ok;
}

int ParseStockFileArgument(std::string_view text, std::size_t* cursor, std::string* path, int kind,
                           std::vector<std::string>* messages) {
    // Only the STL import options are set here; they take effect at once.
    CommandLineOptions options;
    options.stlImport = StlImport;
    Parser p{text, std::min(*cursor, text.size()), messages, 0, &options};
    int result = ParseStockArgument(p, path, kind);
    *cursor = p.pos;
    StlImport = options.stlImport;
    return result;
}

int ResolveShortcut(std::string* path) {
    (void)path;
    return 0;
}

std::string ShortcutNotSupportedMessage(const std::string& path) {
    return std::string(ChooseLanguageText(
               "Shortcut files (.lnk) are not supported here; give the path of the file itself "
               "(symbolic links work)",
               "ショートカット (.lnk) は使えません。ファイルそのもののパスを指定してください "
               "(シンボリックリンクは使えます)")) +
           ": " + path;
}

std::string JoinCommandLineArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument(argv[i] ? argv[i] : "");
        if (!text.empty()) {
            text += ' ';
        }
        const bool blank = argument.find_first_of(" \t") != std::string_view::npos;
        const bool quoted = argument.find('"') != std::string_view::npos;
        const bool isSwitch = !argument.empty() && argument[0] == '-';
        if (blank && !quoted && !isSwitch) {
            // Options behind the name ("tools.ttl,3", "blank.stl,W") stay outside the quotes.
            std::size_t lastBlank = argument.find_last_of(" \t");
            std::size_t comma = argument.find(',', lastBlank);
            std::string_view options;
            if (comma != std::string_view::npos) {
                options = argument.substr(comma);
                argument = argument.substr(0, comma);
            }
            text += '"';
            text += argument;
            text += '"';
            text += options;
        } else {
            text += argument;
        }
    }
    return text;
}

void ReportCommandLineMessages(const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        ShowMessageOrLog(0, message, "mirexa", MBX_OK | MBX_ICONWARNING);
    }
}

}  // namespace mirexa
