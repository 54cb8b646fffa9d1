// The plug-in host: loading, checking, initialising, menus, release and unloading of the
// plug-in families, and the shell's calls of stock loaders and savers.
#include "shell/plugin_host.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "config/config_records.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "nc/plugin_slots.h"
#include "platform/profile.h"
#include "platform/shared_library.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/file_dialogs.h"
#include "shell/stock_commands.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"
#include "stockio/stock_loading.h"
#include "stockio/stock_saving.h"

namespace mirexa {
namespace {

// Buffers handed to a plug-in are larger than the interface's sizes and zeroed, so that a
// plug-in that writes a little too much harms nothing; what comes back is cut at the
// interface's size.
constexpr int kSpareBuffer = 512;

struct FamilyRules {
    std::vector<const char*> deciding;                // the first export(s): any decides
    std::vector<std::vector<const char*>> accepting;  // every group needs one of its exports
};

const FamilyRules& RulesOf(int family) {
    static const std::array<FamilyRules, kPluginFamilies> rules = {{
        {{"SUFFIX"}, {{"KIND"}, {"PATH", "PATHIJK"}}},
        {{"MENUITEM"}, {{"GETWORK"}, {"CUTWORK"}}},
        {{"SUFFIX"}, {{"KIND"}, {"GETWORKSIZE"}, {"LOADWORK"}}},
        {{"MENUITEM"}, {{"MODWORK"}}},
        {{"SUFFIX"}, {{"KIND"}, {"SAVEWORK"}}},
        {{"TOOL", "TOOLF"}, {{"TOOL", "TOOLF"}}},
        {{"FINDWINDOW"}, {{"FINDWINDOW"}}},
        {{"GET", "PUT"}, {{"GET", "PUT"}}},
    }};
    return rules[static_cast<std::size_t>(family)];
}

std::string ExportName(int family, const char* word, int underscore) {
    std::string name = underscore ? "_" : "";
    for (const char* c = PluginFamilyWord(family); *c != '\0'; ++c) {
        name += static_cast<char>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
    }
    return name + word;
}

void Report(std::vector<std::string>* messages, const std::string& file,
            const std::string& reason) {
    const std::string line =
        ChooseLanguageText("Plug-in not used: ", "プラグインを使用しません: ") + file + " (" +
        reason + ")";
    if (messages != nullptr) {
        messages->push_back(line);
    } else {
        AppendLogEntry(line + "\n");
    }
}

void* Export(const PluginSlot& slot, int family, const char* word) {
    const int index = FindPluginExportIndex(family, word);
    return index >= 0 ? slot.exports[index] : nullptr;
}

// Checks an opened object and resolves its exports; "" when it is accepted, else the reason.
std::string ResolveExports(int family, PluginSlot* slot) {
    const FamilyRules& rules = RulesOf(family);
    auto found = [&](int underscore) {
        for (const char* word : rules.deciding) {
            if (FindSharedLibrarySymbol(slot->module,
                                        ExportName(family, word, underscore).c_str()) != nullptr) {
                return true;
            }
        }
        return false;
    };
    if (found(0)) {
        slot->underscore = 0;
    } else if (found(1)) {
        slot->underscore = 1;
    } else {
        return "no " + ExportName(family, rules.deciding[0], 0) + " export";
    }
    for (int i = 0; i < PluginExportCount(family); ++i) {
        slot->exports[i] = FindSharedLibrarySymbol(
            slot->module,
            ExportName(family, PluginExportWord(family, i), slot->underscore).c_str());
    }
    for (const auto& group : rules.accepting) {
        const bool any = std::any_of(group.begin(), group.end(), [&](const char* word) {
            return Export(*slot, family, word) != nullptr;
        });
        if (!any) {
            return "no " + ExportName(family, group[0], slot->underscore) + " export";
        }
    }
    if (auto version = reinterpret_cast<MirexaVersionFn>(Export(*slot, family, "VERSION"))) {
        int v = 0;
        version(&v);
        if (v != MIREXA_PLUGIN_INTERFACE_VERSION) {
            return "interface version " + std::to_string(v) + ", this program uses " +
                   std::to_string(MIREXA_PLUGIN_INTERFACE_VERSION);
        }
    }
    return {};
}

std::string FindPluginFile(const std::vector<std::string>& directories, const std::string& base) {
    for (const std::string& directory : directories) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::path(directory) / (base + ".so");
        if (std::filesystem::is_regular_file(path, error)) {
            return path.string();
        }
    }
    return {};
}

// Why a plug-in file may not be loaded: another user could have put code into it. "" when
// it is a regular file of this user (or of the system's administrator) that nobody else may
// write.
std::string UnsafePluginFileReason(const std::string& file) {
    struct stat info = {};
    if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return "not a regular file";
    }
    if (info.st_uid != geteuid() && info.st_uid != 0) {
        return "owned by another user";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "writable by other users";
    }
    return {};
}

void LoadFamily(int family, const std::vector<std::string>& directories,
                std::vector<std::string>* messages) {
    PluginFamilySlots& f = PluginSlots.family[family];
    const int slots = PluginFamilySlotCount(family);
    const int names = slots > 1 ? 4 : 1;
    for (int n = 0; n < names && f.count < slots; ++n) {
        const std::string base =
            std::string(PluginFamilyWord(family)) + (n > 0 ? std::to_string(n) : "");
        const std::string file = FindPluginFile(directories, base);
        if (file.empty()) {
            continue;
        }
        const std::string unsafe = UnsafePluginFileReason(file);
        if (!unsafe.empty()) {
            Report(messages, file, unsafe);
            continue;
        }
        if (messages == nullptr) {
            // Opening runs the plug-in's own code: a plug-in that ends the program is named.
            AppendLogEntry(ChooseLanguageText("Plug-in loaded: ", "プラグインを読み込みます: ") +
                           file + "\n");
        }
        std::string error;
        PluginSlot slot;
        slot.module = OpenSharedLibrary(file, &error);
        if (slot.module == nullptr) {
            Report(messages, file, error);
            continue;
        }
        slot.file = file;
        const std::string reason = ResolveExports(family, &slot);
        if (!reason.empty()) {
            // A refused object is unloaded at once: its code is not kept mapped.
            CloseSharedLibrary(slot.module);
            Report(messages, file, reason);
            continue;
        }
        f.slot[f.count++] = std::move(slot);
    }
}

std::string AskSuffixes(MirexaSuffixFn suffix) {
    char list[kSpareBuffer] = {};
    suffix(list);
    return TakePluginText(list, MIREXA_PLUGIN_SUFFIX_SIZE);
}

void AskReaderColors(int slot) {
    PluginSlot& s = PluginSlots.family[kPluginRead].slot[slot];
    auto colors = PluginExport<MxreadPathColorFn>(kPluginRead, slot, kReadPathColor);
    if (colors == nullptr) {
        return;
    }
    int count = 0;
    std::uint32_t values[MIREXA_PLUGIN_PATH_COLORS * 4] = {};
    colors(&count, values);
    s.colorCount = std::clamp(count, 0, MIREXA_PLUGIN_PATH_COLORS);
    std::copy(values, values + MIREXA_PLUGIN_PATH_COLORS, s.colors);
}

void ForEachLoaded(std::initializer_list<int> families, void (*action)(int family, int slot)) {
    for (int family : families) {
        for (int slot = 0; slot < PluginSlots.family[family].count; ++slot) {
            if (IsPluginLoaded(family, slot)) {
                action(family, slot);
            }
        }
    }
}

void UnloadSlot(PluginSlot* slot) {
    CloseSharedLibrary(slot->module);
    const std::string file = slot->file;
    *slot = PluginSlot{};
    slot->file = file;
}

std::string AskName(int family, int slot, int language) {
    const int index = FindPluginExportIndex(
        family, family == kPluginSim || family == kPluginMod ? "MENUITEM" : "KIND");
    auto name = PluginExport<MirexaNameFn>(family, slot, index);
    if (name == nullptr) {
        return {};
    }
    char buffer[kSpareBuffer] = {};
    name(&language, buffer);
    return TakePluginText(buffer, MIREXA_PLUGIN_NAME_SIZE);
}

void InsertItem(MenuHandle bar, int submenu, int position, unsigned id, const std::string& text,
                unsigned state) {
    const MenuHandle menu = bar != nullptr ? GetSubMenuHandle(bar, submenu) : nullptr;
    if (menu == nullptr) {
        return;
    }
    MenuEntryInfo item;
    item.command = id;
    item.caption = text;
    item.state = state;
    InsertMenuEntry(menu, std::min(position, GetMenuEntryCount(menu)), item);
}

std::string TemporaryStockPath(const char* suffix) {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "mirexa-stock-XXXXXX").string() + suffix;
    const int descriptor = mkstemps(pattern.data(), static_cast<int>(std::strlen(suffix)));
    if (descriptor < 0) {
        return {};
    }
    close(descriptor);
    return pattern;
}

}  // namespace

std::vector<std::string> PluginSearchDirectories() {
    std::vector<std::string> directories;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && program.has_parent_path()) {
        directories.push_back(program.parent_path().string());
    }
    return directories;
}

void LoadPluginsFrom(const std::vector<std::string>& directories,
                     std::vector<std::string>* messages) {
    UnloadPlugins();
    for (int family = 0; family < kPluginFamilies; ++family) {
        LoadFamily(family, directories, messages);
    }
    for (int slot = 0; slot < PluginSlots.family[kPluginRead].count; ++slot) {
        if (auto suffix = PluginExport<MirexaSuffixFn>(kPluginRead, slot, kReadSuffix)) {
            PluginSlots.family[kPluginRead].slot[slot].suffixes = AskSuffixes(suffix);
        }
        AskReaderColors(slot);
    }
    for (int family : {kPluginLoad, kPluginSave}) {
        for (int slot = 0; slot < PluginSlots.family[family].count; ++slot) {
            if (auto suffix = PluginExport<MirexaSuffixFn>(family, slot, 0)) {
                PluginSlots.family[family].slot[slot].suffixes = AskSuffixes(suffix);
            }
        }
    }
}

void LoadPlugins() {
    LoadPluginsFrom(PluginSearchDirectories(), nullptr);
}

std::string SimulationPluginMenuText(const std::string& name, int slot, int language) {
    if (slot == 0 || slot == 1) {
        const std::string key = slot == 0 ? "F8" : "F9";
        return name + (language == 0 ? " or " + key + "キー" : " or " + key);
    }
    return name;
}

void InitPluginsAndMenus(MenuHandle bar, int language, std::vector<std::string>* messages) {
    for (int family : {kPluginRead, kPluginSim, kPluginLoad, kPluginMod, kPluginSave, kPluginNccom,
                       kPluginSync}) {
        PluginFamilySlots& f = PluginSlots.family[family];
        for (int slot = 0; slot < f.count; ++slot) {
            PluginSlot& s = f.slot[slot];
            if (s.module == nullptr) {
                continue;
            }
            // 1. INIT; a refusal unloads the plug-in, its slot stays counted.
            if (auto init = reinterpret_cast<MirexaInitFn>(Export(s, family, "INIT"))) {
                int ok = 0;
                init(&ok);
                if (ok == 0) {
                    Report(messages, s.file, "refused by its INIT");
                    UnloadSlot(&s);
                    continue;
                }
            }
            // 2.-5. Names and menu items.
            switch (family) {
                case kPluginRead:
                case kPluginLoad:
                case kPluginSave:
                    s.name = AskName(family, slot, language);
                    break;
                case kPluginSim:
                    s.name = AskName(family, slot, language);
                    s.menuText = SimulationPluginMenuText(s.name, slot, language);
                    InsertItem(bar, kMachiningMenuPosition, 6 + slot,
                               kSimulationPluginFirstId + static_cast<unsigned>(slot), s.menuText,
                               MENU_GRAYED);
                    break;
                case kPluginMod:
                    s.name = AskName(family, slot, language);
                    s.menuText = s.name;
                    InsertItem(bar, kStockMenuPosition, 12 + slot,
                               kStockModifierFirstId + static_cast<unsigned>(slot), s.menuText,
                               MENU_GRAYED);
                    break;
                case kPluginNccom:
                    s.menuText =
                        language == 0 ? "mxnccom.dllの無効化(&N)" : "Disable mxnccom.dll(&N)";
                    InsertItem(bar, kSettingFilesMenuPosition, 0, kNccomMenuId, s.menuText,
                               MENU_ENABLED);
                    break;
                default:
                    break;
            }
        }
    }
}

void CallPluginFreeFunctions() {
    ForEachLoaded(
        {kPluginRead, kPluginSim, kPluginLoad, kPluginMod, kPluginSave, kPluginNccom, kPluginSync},
        [](int family, int slot) {
            const PluginSlot& s = PluginSlots.family[family].slot[slot];
            if (auto release = reinterpret_cast<MirexaFreeFn>(Export(s, family, "FREE"))) {
                release();
            }
        });
}

void UnloadPlugins() {
    for (PluginFamilySlots& f : PluginSlots.family) {
        for (PluginSlot& s : f.slot) {
            CloseSharedLibrary(s.module);
            s = PluginSlot{};
        }
        f.count = 0;
    }
    PluginSlots.nccomSwitchedOff.store(0);
    PluginSlots.syncPanesEnabled.store(0);
}

void ResetEditorPlugin() {
    PluginFamilySlots& f = PluginSlots.family[kPluginEditor];
    CloseSharedLibrary(f.slot[0].module);
    f.slot[0] = PluginSlot{};
    f.count = 0;
    std::string option =
        ReadProfileString("ExecEditor", "EXEC_OPTION", "%1", DefinitionFiles.settingsPath);
    Settings.editorOption = option.substr(0, MIREXA_PLUGIN_TEXT_SIZE);
}

std::vector<PathReaderFilter> ListPluginFilters(int family) {
    std::vector<PathReaderFilter> plugins;
    const PluginFamilySlots& f = PluginSlots.family[family];
    for (int slot = 0; slot < f.count; ++slot) {
        plugins.push_back(PathReaderFilter{.name = f.slot[slot].name,
                                           .suffixes = f.slot[slot].suffixes,
                                           .loaded = IsPluginLoaded(family, slot)});
    }
    return plugins;
}

std::vector<PathReaderFilter> ListPathReaderFilters() {
    return ListPluginFilters(kPluginRead);
}

int FindPluginSuffixSlot(int family, const std::string& path) {
    for (int slot = 0; slot < PluginSlots.family[family].count; ++slot) {
        if (MatchExtensionList(IsPluginLoaded(family, slot), path,
                               PluginSlots.family[family].slot[slot].suffixes)) {
            return slot;
        }
    }
    return -1;
}

int SaveStockWithPlugin(int slot, int* saveLevel, int kind, const std::string& path) {
    auto save = PluginExport<MxsaveSaveWorkFn>(kPluginSave, slot, kSaveWork);
    if (save == nullptr || saveLevel == nullptr) {
        return -1;
    }
    *saveLevel = 1;
    if (auto parameter = PluginExport<MxsaveParameterFn>(kPluginSave, slot, kSaveParameter)) {
        parameter(saveLevel, &kind);
    }
    const StockModel& model = CurrentStockModel();
    if (!StockCommands.stockPresent || model.nx == 0) {
        return 0;
    }
    const std::string stockFile = TemporaryStockPath(".dme");
    if (stockFile.empty()) {
        return 0;
    }
    const double origin[3] = {0, 0, 0};
    int ok = 0;
    if (SaveStockFile(model, stockFile, 0, 0, origin) == kStockSaveDone) {
        save(path.c_str(), stockFile.c_str(), saveLevel, &ok);
    }
    std::error_code error;
    std::filesystem::remove(stockFile, error);
    return ok != 0 ? 1 : 0;
}

int LoadStockWithPlugin(int slot, const std::string& path, StockModel* model) {
    auto load = PluginExport<MxloadLoadWorkFn>(kPluginLoad, slot, kLoadWork);
    if (load == nullptr || model == nullptr) {
        return kStockFileDataError;
    }
    const std::string stockFile = TemporaryStockPath(".stl");
    if (stockFile.empty()) {
        return kStockFileDataError;
    }
    int ok = 0;
    load(path.c_str(), stockFile.c_str(), &ok);
    const int result = ok != 0
                           ? LoadStockModel(nullptr, model, stockFile, DexelPitch.requestedPitch,
                                            StlImport.referenceDirection)
                           : kStockFileDataError;
    std::error_code error;
    std::filesystem::remove(stockFile, error);
    return result;
}

int SyncOffsetsAvailable(int get) {
    return IsPluginLoaded(kPluginSync, 0) && PluginSlots.syncPanesEnabled.load() != 0 &&
           PluginExport<MxsyncTransferFn>(kPluginSync, 0, get ? kSyncGet : kSyncPut) != nullptr;
}

int SynchronizeOffsets(int get) {
    if (!SyncOffsetsAvailable(get)) {
        return 0;
    }
    auto transfer = PluginExport<MxsyncTransferFn>(kPluginSync, 0, get ? kSyncGet : kSyncPut);
    static_assert(MIREXA_SYNC_TOOL_OFFSETS + 1 == kToolOffsetCount);
    static_assert(MIREXA_SYNC_WORK_OFFSETS + 1 == kWorkOffsetEntries);
    // Copies, so that a plug-in never writes into the live tables past what it was given.
    ToolOffsetMemory tools = ToolOffsets;
    std::vector<float> work(5 * MIREXA_SYNC_WORK_OFFSETS, 0.0f);
    for (int n = 0; n < MIREXA_SYNC_WORK_OFFSETS; ++n) {
        for (int axis = 0; axis < 3; ++axis) {
            work[5 * n + axis] = static_cast<float>(WorkOffsetTable[n + 1].axis[axis]);
        }
    }
    int changed = 0;
    transfer(tools.d + 1, tools.dWear + 1, tools.h + 1, tools.hWear + 1, work.data(), &changed);
    if (!get) {
        return 1;
    }
    std::copy(tools.d, tools.d + kToolOffsetCount, ToolOffsets.d);
    std::copy(tools.dWear, tools.dWear + kToolOffsetCount, ToolOffsets.dWear);
    std::copy(tools.h, tools.h + kToolOffsetCount, ToolOffsets.h);
    std::copy(tools.hWear, tools.hWear + kToolOffsetCount, ToolOffsets.hWear);
    for (int n = 0; n < MIREXA_SYNC_WORK_OFFSETS; ++n) {
        for (int axis = 0; axis < 3; ++axis) {
            WorkOffsetTable[n + 1].axis[axis] = work[5 * n + axis];
        }
    }
    if (changed != 0) {
        UpdateCtlToolOffsets(0);
        UpdateCtlToolOffsets(1);
        UpdateCtlWorkOffsets();
    }
    return 1;
}

}  // namespace mirexa
