// The accelerator table, the string table and the key-to-character map of the resources.
#include "resources/program_resources.h"

namespace mirexa {

namespace {

constexpr AcceleratorEntry Accelerators[] = {
    {VK_OEM_2, 1, IDM_VERSION_INFO},  // Alt+"?" and Alt+"/" share the key
    {'D', 1, IDM_NC_CHECK_DATA},      // no menu bar mnemonic uses D or M
    {'M', 1, IDM_NC_CHECK_MIN_MAX},
};

struct StringEntry {
    int id = {};
    const char* text = {};
};
constexpr StringEntry Strings[] = {
    {IDS_EDITION_NAME, "MIREXA7"},
};

}  // namespace

int MapKeyToCharacter(unsigned keyCode) {
    if ((keyCode >= '0' && keyCode <= '9') || (keyCode >= 'A' && keyCode <= 'Z')) {
        return static_cast<int>(keyCode);
    }
    if (keyCode == VK_SPACE) {
        return ' ';
    }
    if (keyCode == VK_OEM_2) {
        return '/';
    }
    return 0;
}

unsigned FindAccelerator(unsigned keyCode, int altHeld) {
    for (const AcceleratorEntry& entry : Accelerators) {
        if (entry.keyCode == keyCode && (entry.alt != 0) == (altHeld != 0)) {
            return entry.command;
        }
    }
    return 0;
}

std::string LoadResourceString(int id) {
    for (const StringEntry& entry : Strings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

}  // namespace mirexa
