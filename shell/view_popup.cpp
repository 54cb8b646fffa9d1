// The view's popup menu from its resource, and the NC line of a picked path point.
#include "shell/view_popup.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "config/config_records.h"
#include "nc/nc_session.h"
#include "nc/plugin_queries.h"
#include "nc/plugin_slots.h"
#include "resources/view_popup_menu.h"
#include "services/shared_state.h"
#include "shell/nc_data_commands.h"
#include "simulation/cutting_run.h"

namespace mirexa {

namespace {

PopupMenu ViewPopup;
int ViewPopupMade = 0;

// A reader that never says it has ended must not hang the view: no program has more elements.
constexpr long kMaxReaderElements = 50'000'000;

int ReadReaderElement(int slot, const std::string& path, int line, std::string* text) {
    auto open = PluginExport<MxreadOpenFn>(kPluginRead, slot, kReadOpen);
    auto close = PluginExport<MxreadCloseFn>(kPluginRead, slot, kReadClose);
    const int reason = 3;
    if (open == nullptr) {
        return 0;
    }
    if (close != nullptr) {
        close(&reason);
    }
    open(path.c_str());
    int number = 0;
    int found = 0;
    PluginPathRecord record;
    for (long n = 0; n < kMaxReaderElements && FetchPluginPathRecord(RunSession, &record); ++n) {
        // Numbered as the line source numbers a reader's records.
        number = record.lineNumber != 0 ? record.lineNumber : number + 1;
        if (number == line) {
            *text = FormatPickedPathElement(record.type, record.end.axis);
            found = 1;
            break;
        }
    }
    if (close != nullptr) {
        close(&reason);
    }
    return found;
}

}  // namespace

void CreateViewPopupMenu() {
    int count = 0;
    const PopupResourceLine* lines = FindViewPopupResource(&count);
    const bool english = UiLanguage.load() == 1;
    ViewPopup.items.clear();
    for (int i = 0; i < count; ++i) {
        PopupMenuItem item;
        item.command = lines[i].command;
        if (item.command != 0) {
            item.text = english ? lines[i].captionEnglish : lines[i].captionJapanese;
        }
        ViewPopup.items.push_back(item);
    }
    ViewPopupMade = 1;
}

const PopupMenu* GetViewPopupMenu() {
    return ViewPopupMade ? &ViewPopup : nullptr;
}

void ResetViewPopupMenu() {
    ViewPopup = PopupMenu{};
    ViewPopupMade = 0;
}

int ReadNcProgramLine(const std::string& path, int line, std::size_t capacity, std::string* text) {
    text->clear();
    std::ifstream file(path, std::ios::binary);
    if (!file || line < 1) {
        return 0;
    }
    std::string read;
    for (int n = 1; std::getline(file, read); ++n) {
        if (n == line) {
            while (!read.empty() && (read.back() == '\r' || read.back() == '\n')) {
                read.pop_back();
            }
            *text = read.substr(0, capacity > 0 ? capacity - 1 : 0);
            return 1;
        }
    }
    return 0;
}

std::string FormatPickedPathElement(int type, const double end[3]) {
    static const char* const kKinds[5] = {"RAPID    ", "LINE     ", "ARC(CW)  ", "ARC(CCW) ",
                                          "OTHER    "};
    char text[128] = {};
    std::snprintf(text, sizeof text, "%s%9.3f,%9.3f,%9.3f",
                  kKinds[type >= 0 && type < 4 ? type : 4], end[0], end[1], end[2]);
    return text;
}

int PathPickingOn() {
    if (NcDataCommands.selectedState == 0 || DefinitionFiles.ncProgramFile.empty()) {
        return 0;
    }
    if (ActivePathReaderSlot() < 0) {
        return 1;
    }
    return WindowRun.mode.load() == RunMode::kIdle ? 1 : 0;
}

int ReadPickedPathLine(int lineStamp, char* text, int capacity) {
    if (text == nullptr || capacity <= 0) {
        return 0;
    }
    text[0] = '\0';
    const int line = lineStamp < 0 ? -lineStamp : lineStamp;
    if (line == 0 || !PathPickingOn()) {
        return 0;
    }
    std::string found;
    const int slot = ActivePathReaderSlot();
    const int ok = slot >= 0 ? ReadReaderElement(slot, DefinitionFiles.ncProgramFile, line, &found)
                             : ReadNcProgramLine(DefinitionFiles.ncProgramFile, line,
                                                 static_cast<std::size_t>(capacity), &found);
    if (!ok) {
        return 0;
    }
    const std::size_t n = std::min(found.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(text, found.data(), n);
    text[n] = '\0';
    return 1;
}

}  // namespace mirexa
