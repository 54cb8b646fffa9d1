// The shell's answers to the view's I, J and X keys.
#include "shell/view_services.h"

#include <string>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "geometry/shared_state.h"
#include "geometry/tool_length_report.h"
#include "geometry/vector_math.h"
#include "nc/nc_line_source.h"
#include "platform/cursor.h"
#include "platform/program_start.h"
#include "shell/nc_data_commands.h"
#include "shell/stock_commands.h"
#include "stock/stock_model.h"
#include "view/gdi_resources.h"
#include "view/stock_display.h"
#include "view/view_window.h"

namespace mirexa {

namespace {

// The main window's stored copy of the motion state (its tool number unused).
MotionStateSnapshot storedPose;

void SwapWith(MotionStateSnapshot* other) {
    MachinePose& pose = CurrentMachinePose;
    std::swap(pose.program, other->program);
    std::swap(pose.machine, other->machine);
    std::swap(WorkOrigin, other->workOrigin);
    for (int i = 0; i < 3; ++i) {
        std::swap(pose.tool.point[i], other->toolPoint[i]);
        std::swap(pose.tool.axis[i], other->toolAxis[i]);
    }
    SinCosDegrees(pose.machine.axis[3], CurrentMachine.rotary[0].sign, &pose.sin1, &pose.cos1);
    SinCosDegrees(pose.machine.axis[4], CurrentMachine.rotary[1].sign, &pose.sin2, &pose.cos2);
}

// The words of an option, split at blanks and tabs.
std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (std::size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size())) {
        text->replace(at, from.size(), to);
    }
}

}  // namespace

void StoreToolPose() {
    CaptureMotionState(&storedPose);
}

int SwapToolPose(int source) {
    if (source == 1) {
        if (MotionSnapshot.toolNumber < 0) {
            return 0;
        }
        SwapWith(&MotionSnapshot);
        return 1;
    }
    SwapWith(&storedPose);
    return 1;
}

int StartSecondInstance() {
    if (AutomaticMode.load() != 0) {
        return 0;
    }
    std::vector<std::string> words = SplitWords(Settings.selfOption);
    words.insert(words.begin(), "/proc/self/exe");
    return StartDetachedProgram(words, DefinitionFiles.programDirectory);
}

int OpenNcInEditor(int line) {
    if (AutomaticMode.load() != 0 || NcDataCommands.selectedState == 0 ||
        NcDataCommands.activePathReader >= 0 || Settings.editorProgram.empty()) {
        return 0;
    }
    std::vector<std::string> words = {Settings.editorProgram};
    for (std::string word : SplitWords(Settings.editorOption)) {
        ReplaceAll(&word, "%1", DefinitionFiles.ncProgramFile);
        ReplaceAll(&word, "%2", std::to_string(line < 1 ? 1 : line));
        words.push_back(word);
    }
    return StartDetachedProgram(words, "");
}

void SelectNextStockStyle(WindowHandle view) {
    const CursorHandle previous = SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    DisplayModes.stockStyle = (DisplayModes.stockStyle + 1) % 6;
    StockModel& model = CurrentStockModel();
    if (model.nx > 0) {
        MarkStockDisplayDirty(&model);
        RedrawView(view);
    }
    SetCursorHandle(previous);
    SetIdleCursor(ViewMouseMode);
}

int HandleViewKeyCommand(WindowHandle view, unsigned command) {
    if (command == IDM_NC_EDIT) {
        OpenNcInEditor(NcLine.mainLineNumber);
        return 1;
    }
    if (command == IDM_STOCK_DISPLAY_STYLE) {
        SelectNextStockStyle(view);
        return 1;
    }
    return 0;
}

}  // namespace mirexa
