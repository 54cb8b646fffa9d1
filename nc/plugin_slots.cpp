// The plug-in export table and the families' export words.
#include "nc/plugin_slots.h"

#include <cstring>

namespace mirexa {

PluginSlotTable PluginSlots;

namespace {

struct FamilyWords {
    const char* word;
    int slots;
    const char* exports[kPluginExportsMax + 1];
};

// The export words of each family, in lookup order; VERSION (ours) last.
const FamilyWords kFamilies[kPluginFamilies] = {
    {"mxread",
     3,
     {"SUFFIX", "INIT", "KIND", "PATHCOLOR", "TOTALBLOCK", "OPEN", "TOOL", "TOOLLEN", "ARBOR",
      "STARTPOINT", "PATH", "PATHIJK", "CLOSE", "FREE", "VERSION"}},
    {"mxsim",
     3,
     {"MENUITEM", "INIT", "PARAMETER", "PATHTYPE", "GETWORK", "START", "GETTOOL", "GETTOOLLEN",
      "GETARBOR", "CUTWORK", "END", "FREE", "VERSION"}},
    {"mxload",
     3,
     {"SUFFIX", "INIT", "KIND", "PARAMETER", "STARTPOINT", "GETWORKSIZE", "LOADWORK", "FREE",
      "VERSION"}},
    {"mxmod", 3, {"MENUITEM", "INIT", "PARAMETER", "GETBASICMODEL", "MODWORK", "FREE", "VERSION"}},
    {"mxsave",
     3,
     {"SUFFIX", "INIT", "KIND", "PARAMETER", "GETBASICMODEL", "GETSAVELEVEL", "SAVEWORK", "FREE",
      "VERSION"}},
    {"mxnccom",
     1,
     {"TOOL", "TOOLF", "INIT", "TOOLLEN", "TOOLLENF", "ARBOR", "ARBORF", "FREE", "VERSION"}},
    {"mxeditor",
     1,
     {"FINDWINDOW", "EXECPROGRAM", "EXECOPTION", "TOP", "DOWN", "DOWN2", "JUMP", "JUMP2", "EXIT",
      "VERSION"}},
    {"mxsync", 1, {"GET", "PUT", "INIT", "GETNAME", "FREE", "VERSION"}},
};

bool ValidFamily(int family) {
    return family >= 0 && family < kPluginFamilies;
}

}  // namespace

const char* PluginFamilyWord(int family) {
    return ValidFamily(family) ? kFamilies[family].word : "";
}

int PluginFamilySlotCount(int family) {
    return ValidFamily(family) ? kFamilies[family].slots : 0;
}

const char* PluginExportWord(int family, int index) {
    if (!ValidFamily(family) || index < 0 || index >= kPluginExportsMax) {
        return nullptr;
    }
    return kFamilies[family].exports[index];
}

int PluginExportCount(int family) {
    int n = 0;
    while (PluginExportWord(family, n) != nullptr) {
        ++n;
    }
    return n;
}

int FindPluginExportIndex(int family, const char* word) {
    for (int i = 0; PluginExportWord(family, i) != nullptr; ++i) {
        if (std::strcmp(PluginExportWord(family, i), word) == 0) {
            return i;
        }
    }
    return -1;
}

int IsPluginLoaded(int family, int slot) {
    if (!ValidFamily(family) || slot < 0 || slot >= kPluginSlotsMax) {
        return 0;
    }
    const PluginFamilySlots& f = PluginSlots.family[family];
    return slot < f.count && f.slot[slot].module != nullptr ? 1 : 0;
}

std::string TakePluginText(const char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return {};
    }
    return std::string(buffer, strnlen(buffer, static_cast<std::size_t>(capacity - 1)));
}

}  // namespace mirexa
