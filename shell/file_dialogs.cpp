// The file dialogs' filters, titles, labels and remembered filter indices, and the suffix-list
// rules of the path-reader plug-ins.
#include "shell/file_dialogs.h"

#include <filesystem>
#include <system_error>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "platform/text.h"
#include "services/shared_state.h"

namespace mirexa {

FileDialogState FileDialogs;

namespace {

struct KindTexts {
    const char* filterEnglish;
    const char* filterJapanese;
    const char* pattern;
    const char* titleEnglish;
    const char* titleJapanese;
};

constexpr KindTexts SettingKinds[SETTING_FILE_KIND_COUNT] = {
    {"TTL(*.TTL)", "工具設定ﾌｧｲﾙ(*.TTL)", "*.TTL", "TTL", "工具設定ファイル"},
    {"CTL(*.CTL)", "ｺﾝﾄﾛ-ﾗ定義ﾌｧｲﾙ(*.CTL)", "*.CTL", "CTL", "コントローラ定義ファイル"},
    {"DME(*.DME)", "DMEﾌｧｲﾙ(*.DME)", "*.DME", "Work", "被切削材定義ファイル"},
    {"NC-data(*.NC)", "出力NCﾃﾞ-ﾀﾌｧｲﾙ(*.NC)", "*.NC", "", ""},
    {"MTL(*.MTL)", "機械定義ﾌｧｲﾙ(*.MTL)", "*.MTL", "MTL", "機械定義ファイル"},
    {"STL Format(*.STL)", "STLﾌｫｰﾏｯﾄ(*.STL)", "*.STL", "Basic Model", "基準形状ファイル"},
    {"VICE(*.STL)", "VICE形状定義ﾌｧｲﾙ(*.STL)", "*.STL", "VICE", "VICE形状定義ファイル"},
};

constexpr KindTexts SaveKinds[SAVE_FILE_KIND_COUNT] = {
    {"", "", "", "", ""},
    {"DME(*.DME)", "被切削材定義ﾌｧｲﾙ(*.DME)", "*.DME", "Save Work", "形状データを保存"},
    {"NC-data File(*.NC)", "出力NCﾃﾞ-ﾀﾌｧｲﾙ(*.NC)", "*.NC", "Save NC-data", "NCデータを保存"},
    {"Image File(*.PNG)", "画像ﾌｧｲﾙ(*.PNG)", "*.PNG", "Save Image", "画像保存"},
};

const KindTexts* Find(const KindTexts* table, int count, int kind) {
    return kind >= 0 && kind < count ? &table[kind] : nullptr;
}

FileDialogFilter FilterOf(const KindTexts* texts, int language) {
    if (!texts || !*texts->pattern) {
        return {};
    }
    return {language == 1 ? texts->filterEnglish : texts->filterJapanese, texts->pattern};
}

std::string TitleOf(const KindTexts* texts, int language) {
    return texts ? (language == 1 ? texts->titleEnglish : texts->titleJapanese) : "";
}

int Language() {
    return UiLanguage.load() == 1 ? 1 : 0;
}

bool WorkOriginIsZero() {
    return RunKinematics.workOrigin.axis[0] == 0.0 && RunKinematics.workOrigin.axis[1] == 0.0 &&
           RunKinematics.workOrigin.axis[2] == 0.0;
}

std::string FileNameOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* WorkCheckBoxLabel() {
    return Language() == 1 ? "Process in work coordinates" : "ワーク座標系で処理";
}

// Runs the dialog; on OK stores the path and its directory and returns 1 with the result.
int Run(const FileDialogRequest& request, std::string* directory, std::string* path,
        FileDialogResult* result) {
    if (!ShowFileDialog(request, result)) {
        return 0;
    }
    if (path) {
        *path = result->path;
    }
    if (directory) {
        *directory = TrimTrailingChars(result->path);
    }
    return 1;
}

// The folder the settings name for a kind of file (empty: none).
std::string SettingFolderOf(int kind) {
    switch (kind) {
        case FILE_KIND_TOOLS:
            return Settings.ttlDirectory;
        case FILE_KIND_CONTROLLER:
            return Settings.ctlDirectory;
        case FILE_KIND_MACHINE:
            return Settings.mtlDirectory;
        case FILE_KIND_STOCK:
            return Settings.dmeDirectory;
        case FILE_KIND_NC_OUTPUT:
            return Settings.ncDirectory;
        default:
            return {};
    }
}

// A dialog starts in the folder of the path it is given, else in the folder the settings name
// for its kind, else in the working folder: never where the toolkit last was (another program's
// history).
FileDialogRequest BaseRequest(WindowHandle owner, const std::string* path,
                              const std::string& kindFolder) {
    FileDialogRequest request;
    request.owner = owner;
    if (path) {
        request.fileName = *path;
        request.initialDirectory = TrimTrailingChars(*path);
    }
    if (request.initialDirectory.empty()) {
        request.initialDirectory = kindFolder;
    }
    if (request.initialDirectory.empty()) {
        std::error_code error;
        request.initialDirectory = std::filesystem::current_path(error).string();
    }
    return request;
}

}  // namespace

void ResetFileDialogs() {
    FileDialogs = FileDialogState{};
}

FileDialogFilter SettingFileFilter(int kind, int language) {
    return FilterOf(Find(SettingKinds, SETTING_FILE_KIND_COUNT, kind), language);
}

std::string SettingFileTitle(int kind, int language) {
    return TitleOf(Find(SettingKinds, SETTING_FILE_KIND_COUNT, kind), language);
}

FileDialogFilter SaveFileFilter(int kind, int language) {
    return FilterOf(Find(SaveKinds, SAVE_FILE_KIND_COUNT, kind), language);
}

std::string SaveFileTitle(int kind, int language) {
    return TitleOf(Find(SaveKinds, SAVE_FILE_KIND_COUNT, kind), language);
}

std::string BuildFilterPattern(const std::string& suffixes) {
    if (suffixes.find(';') == std::string::npos) {
        return "*" + suffixes;
    }
    std::string pattern;
    for (char c : suffixes) {
        if (c == '.') {
            pattern += "*.";
        } else {
            pattern += c;
        }
    }
    return pattern;
}

void BuildFilterString(const std::vector<PathReaderFilter>& readers,
                       std::vector<FileDialogFilter>* filters) {
    for (const PathReaderFilter& reader : readers) {
        if (reader.loaded) {
            filters->push_back({reader.name, BuildFilterPattern(reader.suffixes)});
        }
    }
}

std::vector<FileDialogFilter> NcFileFilters(const std::string& pattern, int language,
                                            const std::vector<PathReaderFilter>& readers) {
    const bool english = language == 1;
    const std::string patterns = pattern.empty() ? "*" : pattern;
    std::vector<FileDialogFilter> filters = {
        {std::string(english ? "user specified files" : "ユーザー指定") + " (" + patterns + ")",
         patterns},
        {english ? "NC-File(*.NC)" : "NCファイル(*.NC)", "*.NC"},
        {english ? "All(*.*)" : "すべてのﾌｧｲﾙ(*.*)", "*.*"},
    };
    BuildFilterString(readers, &filters);
    return filters;
}

int MatchExtensionList(int loaded, const std::string& fileName, const std::string& list) {
    if (!loaded) {
        return 0;
    }
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string_view item(list.data() + start, end - start);
        if (!item.empty() && item.size() <= fileName.size() &&
            EqualIgnoringCase(std::string_view(fileName).substr(fileName.size() - item.size()),
                              item)) {
            return 1;
        }
        start = end + 1;
    }
    return 0;
}

std::string TrimTrailingChars(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int SelectSettingFile(WindowHandle owner, int kind, std::string* directory, std::string* path,
                      const std::vector<FileDialogFilter>& extraFilters) {
    const int language = Language();
    FileDialogRequest request = BaseRequest(owner, path, SettingFolderOf(kind));
    request.title = SettingFileTitle(kind, language);
    if (FileDialogFilter filter = SettingFileFilter(kind, language); !filter.patterns.empty()) {
        request.filters.push_back(filter);
    }
    request.filters.insert(request.filters.end(), extraFilters.begin(), extraFilters.end());
    request.flags =
        FILEDLG_EXPLORER | FILEDLG_FILE_MUST_EXIST | FILEDLG_NO_CHANGE_DIR | FILEDLG_HIDE_READ_ONLY;
    const int slot = kind >= 0 && kind < SETTING_FILE_KIND_COUNT ? kind : -1;
    request.filterIndex = slot >= 0 ? FileDialogs.settingFilterIndex[slot] : 0;
    const int workBox = kind == FILE_KIND_BASIC_MODEL && !WorkOriginIsZero();
    if (workBox) {
        request.flags |= FILEDLG_ENABLE_SIZING;
        request.checkBoxLabel = WorkCheckBoxLabel();
        request.checkBoxChecked = StlImport.coordinateKind == 1 ? 1 : 0;
        request.okLabel = language == 1 ? "&OK" : "これを基準に";
    } else if (FileDialogs.okLabelGo || FileDialogs.okLabelReverse || FileDialogs.okLabelBasis) {
        if (FileDialogs.okLabelGo) {
            request.okLabel = language == 1 ? "&GO" : "これを振る";
        } else if (FileDialogs.okLabelReverse) {
            request.okLabel = language == 1 ? "&Reverse" : "これを反転";
        } else {
            request.okLabel = language == 1 ? "&OK" : "これを基準に";
        }
        if (FileDialogs.pendingNameSet) {
            request.fileName = FileDialogs.pendingName;
            FileDialogs.pendingNameSet = 0;
        }
    }
    FileDialogResult result;
    if (!Run(request, directory, path, &result)) {
        return 0;
    }
    if (slot >= 0) {
        FileDialogs.settingFilterIndex[slot] = result.filterIndex;
    }
    if (kind == FILE_KIND_STOCK) {
        FileDialogs.stockLoaderFilterIndex = result.filterIndex;
    }
    if (workBox) {
        StlImport.coordinateKind = result.checkBoxChecked ? 1 : 0;
    }
    return 1;
}

int SelectSaveFile(WindowHandle owner, int kind, std::string* directory, std::string* path,
                   const std::vector<FileDialogFilter>& extraFilters) {
    const int language = Language();
    FileDialogRequest request = BaseRequest(owner, path,
                                            kind == SAVE_KIND_STOCK     ? Settings.dmeDirectory
                                            : kind == SAVE_KIND_NC_DATA ? Settings.ncDirectory
                                                                        : std::string());
    request.save = 1;
    request.fileName = path ? FileNameOfPath(*path) : std::string();
    request.title = SaveFileTitle(kind, language);
    if (FileDialogFilter filter = SaveFileFilter(kind, language); !filter.patterns.empty()) {
        request.filters.push_back(filter);
    }
    request.filters.insert(request.filters.end(), extraFilters.begin(), extraFilters.end());
    request.flags = FILEDLG_EXPLORER | FILEDLG_NO_CHANGE_DIR | FILEDLG_HIDE_READ_ONLY |
                    FILEDLG_OVERWRITE_PROMPT;
    const int slot = kind >= 0 && kind < SAVE_FILE_KIND_COUNT ? kind : -1;
    request.filterIndex = slot >= 0 ? FileDialogs.saveFilterIndex[slot] : 0;
    const int workBox = !WorkOriginIsZero();
    if (workBox) {
        request.flags |= FILEDLG_ENABLE_SIZING;
        request.checkBoxLabel = WorkCheckBoxLabel();
        request.checkBoxChecked = FileDialogs.saveCheckBox;
    }
    FileDialogResult result;
    if (!Run(request, directory, path, &result)) {
        return 0;
    }
    if (workBox) {
        FileDialogs.saveCheckBox = result.checkBoxChecked ? 1 : 0;
    }
    if (slot >= 0) {
        FileDialogs.saveFilterIndex[slot] = result.filterIndex;
    }
    return 1;
}

int SelectStockReadFile(WindowHandle owner, const std::vector<PathReaderFilter>& loaders,
                        std::string* path) {
    const bool english = Language() == 1;
    std::vector<FileDialogFilter> extra = {
        {english ? "DMF(*.DMF)" : "DMFﾌｧｲﾙ(*.DMF)", "*.DMF"},
        {english ? "STL(*.STL)" : "STLﾌｧｲﾙ(*.STL)", "*.STL"},
    };
    BuildFilterString(loaders, &extra);
    extra.push_back({english ? "All(*.*)" : "すべてのﾌｧｲﾙ(*.*)", "*.*"});
    std::string directory;
    return SelectSettingFile(owner, FILE_KIND_STOCK, &directory, path, extra);
}

int SelectStockSaveFile(WindowHandle owner, const std::vector<PathReaderFilter>& savers,
                        std::string* path, int* kind, int* workCoordinates) {
    const bool english = Language() == 1;
    // The save kind of each entry of the list, from entry 1 on.
    std::vector<int> kinds = {1, 2, 3};
    std::vector<FileDialogFilter> extra = {
        {english ? "STL ASCII(*.STL)" : "STLﾌｧｲﾙ ASCII(*.STL)", "*.STL"},
        {english ? "STL Binary(*.STL)" : "STLﾌｧｲﾙ ﾊﾞｲﾅﾘ(*.STL)", "*.STL"},
    };
    for (std::size_t slot = 0; slot < savers.size(); ++slot) {
        if (savers[slot].loaded) {
            extra.push_back({savers[slot].name, BuildFilterPattern(savers[slot].suffixes)});
            kinds.push_back(7 + static_cast<int>(slot));
        }
    }
    std::string chosen = path ? *path : std::string();
    std::string directory;
    if (!SelectSaveFile(owner, SAVE_KIND_STOCK, &directory, &chosen, extra)) {
        return 0;
    }
    const int entry = FileDialogs.saveFilterIndex[SAVE_KIND_STOCK];
    int saveKind =
        entry >= 1 && entry <= static_cast<int>(kinds.size()) ? kinds[entry - 1] : kinds[0];
    const std::string name = FileNameOfPath(chosen);
    if (saveKind <= 3) {
        // The name's extension decides between DME and STL (a DME written under ".stl" would
        // open nowhere); the chosen type decides ASCII or binary STL.
        if (name.find('.') == std::string::npos) {
            chosen += saveKind == 1 ? ".dme" : ".stl";  // as names are written here
        } else if (MatchExtensionList(1, name, ".STL") && saveKind == 1) {
            saveKind = 2;
        } else if (MatchExtensionList(1, name, ".DME")) {
            saveKind = 1;
        }
    }
    if (path) {
        *path = chosen;
    }
    if (kind) {
        *kind = saveKind;
    }
    if (workCoordinates) {
        *workCoordinates = WorkOriginIsZero() ? 0 : FileDialogs.saveCheckBox;
    }
    return 1;
}

int SelectNcFile(WindowHandle owner, std::string* directory, std::string* path,
                 const std::vector<PathReaderFilter>& readers) {
    const int language = Language();
    FileDialogRequest request = BaseRequest(owner, path, Settings.ncDirectory);
    request.title = language == 1 ? "NC DATA FILE" : "NCデータファイル";
    request.filters = NcFileFilters(Settings.ncFilePattern, language, readers);
    request.flags = FILEDLG_FILE_MUST_EXIST | FILEDLG_NO_CHANGE_DIR | FILEDLG_HIDE_READ_ONLY;
    request.filterIndex = FileDialogs.ncFilterIndex;
    FileDialogResult result;
    if (!Run(request, directory, path, &result)) {
        return 0;
    }
    FileDialogs.ncFilterIndex = result.filterIndex;
    return 1;
}

}  // namespace mirexa
