// The plug-in export table: for every family the loaded shared objects, their resolved exports
// and what they told at start-up (names, suffix lists, path colours). The plug-in host fills it
// on the user-interface thread before any run; the interpreter, the runs and the shell read it.
// The interface itself (names, argument layouts, calling rules) is plugins/mirexa_plugin.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/shared_library.h"
#include "plugins/mirexa_plugin.h"

namespace mirexa {

// The families, in the order they are loaded, initialised and freed.
enum PluginFamily : int {
    kPluginRead = 0,    // mxread: path readers
    kPluginSim = 1,     // mxsim: simulation add-ons
    kPluginLoad = 2,    // mxload: stock loaders
    kPluginMod = 3,     // mxmod: stock modifiers
    kPluginSave = 4,    // mxsave: stock savers
    kPluginNccom = 5,   // mxnccom: NC communication
    kPluginEditor = 6,  // mxeditor: editor bridge
    kPluginSync = 7,    // mxsync: offset synchronisation
    kPluginFamilies = 8,
};

inline constexpr int kPluginSlotsMax = 3;     // slots of a multi-slot family
inline constexpr int kPluginExportsMax = 16;  // export words of the largest family, VERSION too

// Export indices of the families whose exports the program calls (the order of the family's
// export words, see PluginExportWord).
enum MxreadExport : int {
    kReadSuffix,
    kReadInit,
    kReadKind,
    kReadPathColor,
    kReadTotalBlock,
    kReadOpen,
    kReadTool,
    kReadToolLen,
    kReadArbor,
    kReadStartPoint,
    kReadPath,
    kReadPathIjk,
    kReadClose,
    kReadFree,
};
enum MxnccomExport : int {
    kNccomTool,
    kNccomToolF,
    kNccomInit,
    kNccomToolLen,
    kNccomToolLenF,
    kNccomArbor,
    kNccomArborF,
    kNccomFree,
};
enum MxsaveExport : int {
    kSaveSuffix,
    kSaveInit,
    kSaveKind,
    kSaveParameter,
    kSaveBasicModel,
    kSaveLevel,
    kSaveWork,
    kSaveFree,
};
enum MxloadExport : int {
    kLoadSuffix,
    kLoadInit,
    kLoadKind,
    kLoadParameter,
    kLoadStartPoint,
    kLoadWorkSize,
    kLoadWork,
    kLoadFree,
};
enum MxeditorExport : int {
    kEditorFindWindow,
    kEditorExecProgram,
    kEditorExecOption,
    kEditorTop,
    kEditorDown,
    kEditorDown2,
    kEditorJump,
    kEditorJump2,
    kEditorExit,
};
enum MxsyncExport : int {
    kSyncGet,
    kSyncPut,
    kSyncInit,
    kSyncGetName,
    kSyncFree,
};

struct PluginSlot {
    SharedLibraryHandle module = {};  // null: empty, refused, or freed
    void* exports[kPluginExportsMax] = {};
    int underscore = {};        // 1 when the exports are spelled with a leading "_"
    std::string file = {};      // the shared object's path
    std::string name = {};      // from KIND or MENUITEM, cut at MIREXA_PLUGIN_NAME_SIZE - 1
    std::string menuText = {};  // mxsim, mxmod: the inserted item's text
    std::string suffixes = {};  // from SUFFIX, cut at MIREXA_PLUGIN_SUFFIX_SIZE - 1
    int colorCount = {};        // from PATHCOLOR, 0 .. MIREXA_PLUGIN_PATH_COLORS
    std::uint32_t colors[MIREXA_PLUGIN_PATH_COLORS] = {};
};

struct PluginFamilySlots {
    int count = {};  // accepted objects, 0 .. kPluginSlotsMax (a refused INIT keeps its place)
    PluginSlot slot[kPluginSlotsMax] = {};
};

struct PluginSlotTable {
    PluginFamilySlots family[kPluginFamilies] = {};
    // The NC communication plug-in's menu item switched it off (checked "Disable" item).
    std::atomic<int> nccomSwitchedOff = {};
    // The synchronisation plug-in's answer to the machine name: its GET and PUT panes are on.
    std::atomic<int> syncPanesEnabled = {};
};
extern PluginSlotTable PluginSlots;

// The family's word ("mxread") and its number of slots (3 or 1).
const char* PluginFamilyWord(int family);
int PluginFamilySlotCount(int family);
// The export words of the family in lookup order ("SUFFIX", "INIT", ...), ending with
// "VERSION"; null past the end.
const char* PluginExportWord(int family, int index);
int PluginExportCount(int family);
// The index of the word in the family's list, or -1.
int FindPluginExportIndex(int family, const char* word);

// The export of a loaded slot as its function type; null when the slot is empty or the export
// is missing.
template <class Fn>
Fn PluginExport(int family, int slot, int index) {
    if (family < 0 || family >= kPluginFamilies || slot < 0 || slot >= kPluginSlotsMax ||
        index < 0 || index >= kPluginExportsMax) {
        return nullptr;
    }
    const PluginSlot& s = PluginSlots.family[family].slot[slot];
    if (s.module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(s.exports[index]);
}

// 1 when the slot holds a loaded object (below the family's count, not refused).
int IsPluginLoaded(int family, int slot);

// A text that a plug-in wrote into a buffer of `capacity` bytes: up to the first NUL, and never
// past capacity - 1 bytes however the plug-in filled it.
std::string TakePluginText(const char* buffer, int capacity);

}  // namespace mirexa
