// The machine file's structure model entries.
#include "config/machine_models.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "config/definition_keywords.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

MachineModelEntries MachineModelNames;
std::atomic<int> UnusableMachineModels{0};

namespace {

// Where a model line writes: a single slot, the BASIC list or the VICE list.
constexpr int kBasicList = -1;
constexpr int kViceList = -2;

struct ModelKeyword {
    std::string_view keyword;
    LineCursor cursor;
    int target;  // a MachineModelSlot, kBasicList or kViceList
};

const ModelKeyword kOffsetKeywords[] = {
    {"BASIC MODEL OFFSET", 19, kBasicList},      {"VICE MODEL OFFSET", 18, kViceList},
    {"TABLE MODEL OFFSET", 19, kModelTable},     {"TABLE(X) MODEL OFFSET", 22, kModelTableX},
    {"TABLE(Y) MODEL OFFSET", 22, kModelTableY}, {"TABLE(Z) MODEL OFFSET", 22, kModelTableZ},
    {"TABLE1 MODEL OFFSET", 20, kModelTable1},   {"TABLE2 MODEL OFFSET", 20, kModelTable2},
    {"HEAD MODEL OFFSET", 18, kModelHead},       {"HEAD(XYZ) MODEL OFFSET", 23, kModelHead},
    {"HEAD(X) MODEL OFFSET", 21, kModelHeadX},   {"HEAD(Y) MODEL OFFSET", 21, kModelHeadY},
    {"HEAD(Z) MODEL OFFSET", 21, kModelHeadZ},   {"HEAD(XY) MODEL OFFSET", 22, kModelHeadXY},
    {"HEAD(YX) MODEL OFFSET", 22, kModelHeadXY}, {"HEAD(YZ) MODEL OFFSET", 22, kModelHeadYZ},
    {"HEAD(ZY) MODEL OFFSET", 22, kModelHeadYZ}, {"HEAD(ZX) MODEL OFFSET", 22, kModelHeadZX},
    {"HEAD(XZ) MODEL OFFSET", 22, kModelHeadZX}, {"HEAD1 MODEL OFFSET", 19, kModelHead1},
    {"HEAD2 MODEL OFFSET", 19, kModelHead2},
};

const ModelKeyword kNameKeywords[] = {
    {"BASIC MODEL", 12, kBasicList},      {"VICE MODEL", 11, kViceList},
    {"TABLE MODEL", 12, kModelTable},     {"TABLE(X) MODEL", 15, kModelTableX},
    {"TABLE(Y) MODEL", 15, kModelTableY}, {"TABLE(Z) MODEL", 15, kModelTableZ},
    {"TABLE1 MODEL", 13, kModelTable1},   {"TABLE2 MODEL", 13, kModelTable2},
    {"HEAD MODEL", 11, kModelHead},       {"HEAD(XYZ) MODEL", 16, kModelHead},
    {"HEAD(X) MODEL", 14, kModelHeadX},   {"HEAD(Y) MODEL", 14, kModelHeadY},
    {"HEAD(Z) MODEL", 14, kModelHeadZ},   {"HEAD(XY) MODEL", 15, kModelHeadXY},
    {"HEAD(YX) MODEL", 15, kModelHeadXY}, {"HEAD(YZ) MODEL", 15, kModelHeadYZ},
    {"HEAD(ZY) MODEL", 15, kModelHeadYZ}, {"HEAD(ZX) MODEL", 15, kModelHeadZX},
    {"HEAD(XZ) MODEL", 15, kModelHeadZX}, {"HEAD1 MODEL", 12, kModelHead1},
    {"HEAD2 MODEL", 12, kModelHead2},
};

// The caption of the box of a model that cannot be used, in the interface's language.
const char* UnreadableCaption() {
    return ChooseLanguageText("The file does not exist or cannot be read!",
                              "ファイルが存在しないか読めない状態です!");
}

void ReadOffset(const char* line, LineCursor cursor, double out[3]) {
    ScanDouble(&cursor, line, &out[0]);
    ScanNextDouble(&cursor, line, &out[1]);
    ScanNextDouble(&cursor, line, &out[2]);
}

void ApplyOffsetLine(const char* line, const ModelKeyword& entry) {
    MachineModelEntries& m = MachineModelNames;
    if (entry.target == kBasicList) {
        ReadOffset(line, entry.cursor, m.basicOffset);
    } else if (entry.target == kViceList) {
        if (!m.viceKept && m.viceOffsetCount < static_cast<int>(kModelListCapacity)) {
            ReadOffset(line, entry.cursor, m.viceOffsets[m.viceOffsetCount]);
            ++m.viceOffsetCount;
        }
    } else {
        ReadOffset(line, entry.cursor, m.slotOffsets[entry.target]);
    }
}

// A name that can be taken: not longer than a name field and readable (the user is told when
// it is not).
bool AcceptModelName(const std::string& name) {
    if (name.size() > kModelNameChars) {
        ShowMessageOrLog(0, name.substr(0, kModelNameChars) + "... (longer than 255 characters)",
                         UnreadableCaption(), MBX_OK | MBX_ICONWARNING);
        return false;
    }
    return CheckFileReadable(name) == 1;
}

void ApplyNameLine(const char* line, const ModelKeyword& entry) {
    MachineModelEntries& m = MachineModelNames;
    const std::string name(RestOfLine(line, FindValueStart(line, entry.cursor)));
    if (entry.target == kBasicList || entry.target == kViceList) {
        std::vector<std::string>& list = entry.target == kBasicList ? m.basicNames : m.viceNames;
        if ((entry.target == kViceList && m.viceKept) || list.size() >= kModelListCapacity) {
            return;
        }
        if (AcceptModelName(name)) {
            list.push_back(name);
        }
        return;
    }
    m.slots[entry.target] = AcceptModelName(name) ? name : std::string();
}

}  // namespace

int CheckFileReadable(const std::string& path) {
    std::FILE* stream = OpenRegularFile(path, "r");
    if (stream != nullptr) {
        std::fclose(stream);
        return 1;
    }
    const std::string reason = DescribeReadFailure(errno);
    UnusableMachineModels.fetch_add(1);
    ShowMessageOrLog(0, path + " - " + reason, UnreadableCaption(), MBX_OK | MBX_ICONWARNING);
    return 0;
}

void ClearMachineModelNames(int clearLists) {
    UnusableMachineModels.store(0);
    MachineModelEntries& m = MachineModelNames;
    m.basicNames.clear();
    if (clearLists) {
        m.keepVice = 0;
    }
    // A kept VICE list keeps its offsets with its names, so the kept vices stay where they were.
    m.viceKept = !clearLists && m.keepVice;
    if (!m.viceKept) {
        m.viceNames.clear();
        m.viceOffsetCount = 0;
        for (auto& offset : m.viceOffsets) {
            offset[0] = offset[1] = offset[2] = 0.0;
        }
    }
    for (int i = 0; i < kModelSlotCount; ++i) {
        m.slots[i].clear();
        m.slotOffsets[i][0] = m.slotOffsets[i][1] = m.slotOffsets[i][2] = 0.0;
    }
    m.basicOffset[0] = m.basicOffset[1] = m.basicOffset[2] = 0.0;
}

int HasMachineModels() {
    const MachineModelEntries& m = MachineModelNames;
    if (!m.basicNames.empty() || !m.viceNames.empty()) {
        return 1;
    }
    for (const std::string& slot : m.slots) {
        if (!slot.empty()) {
            return 1;
        }
    }
    return 0;
}

int IsMachineModelLine(const char* line) {
    auto starts = [line](const auto& table) {
        for (const ModelKeyword& entry : table) {
            if (MatchWordAt(line, 0, entry.keyword)) {
                return true;
            }
        }
        return false;
    };
    return starts(kOffsetKeywords) || starts(kNameKeywords) ? 1 : 0;
}

int ApplyMachineModelLine(const char* line) {
    for (const ModelKeyword& entry : kOffsetKeywords) {
        if (MatchWordAt(line, 0, entry.keyword)) {
            ApplyOffsetLine(line, entry);
            return 1;
        }
    }
    for (const ModelKeyword& entry : kNameKeywords) {
        if (MatchWordAt(line, 0, entry.keyword)) {
            ApplyNameLine(line, entry);
            return 1;
        }
    }
    return 0;
}

void FillMissingViceOffsets() {
    MachineModelEntries& m = MachineModelNames;
    const int models = static_cast<int>(m.viceNames.size());
    if (m.viceOffsetCount < 1 || models <= m.viceOffsetCount) {
        return;
    }
    for (int i = m.viceOffsetCount; i < models; ++i) {
        for (int k = 0; k < 3; ++k) {
            m.viceOffsets[i][k] = m.viceOffsets[m.viceOffsetCount - 1][k];
        }
    }
    m.viceOffsetCount = models;
}

}  // namespace mirexa
