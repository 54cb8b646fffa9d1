// Tool change moves along the machine's route, and the stop test before a line.
#include "nc/tool_change_moves.h"

#include <cstring>
#include <string>

#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"

namespace mirexa {

namespace {

// Stop options of the controller.
constexpr int kStopNormal = 1;
constexpr int kStopM01 = 2;
constexpr int kStopSingle = 3;
constexpr int kStopDefine = 4;

// The M numbers a stop test reads have at most this many digits; longer ones stop nothing.
constexpr int kMNumberDigitsMax = 9;

// Arms the route when the tool to mount is not on the spindle.
void DecideToolChange(NcSession& session, int toMount) {
    NcBlockState& block = session.run.block;
    NcToolChangeState& tc = session.run.toolChange;
    NcPendingMoves& p = session.run.pending;
    const bool changes = toMount >= 0 && toMount != tc.mountedTool;
    if (block.toolChangeArmed) {
        // A later T word of the same block names the tool that is mounted in the end.
        if (changes) {
            tc.mountedTool = toMount;
        }
        return;
    }
    const int steps = session.controller.toolChangeRouteSteps;
    if (!changes || steps <= 0) {
        p.toolChangeCount = p.toolChangeIndex = 0;
        return;
    }
    p.toolChangeCount = steps < kToolChangeRouteSteps ? steps : kToolChangeRouteSteps;
    p.toolChangeIndex = 0;
    block.toolChangeArmed = 1;
    tc.mountedTool = toMount;
    session.run.modal.lengthCompensation = 0;
    session.kinematics->toolValues.lengthOffset = 0.0;
}

// One route step; a block step keeps the block's start and its own axis words.
void MakeToolChangeStep(NcSession& session, bool blockStep) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    m.motionType = kMotionRapid;
    m.sweep = m.length = 0.0;
    m.arcMirrorPending = 0;
    m.cycleMoveFlag = 0;
    m.lookaheadReplay = 0;
    if (!blockStep) {
        m.start = m.end;
        m.blockHasMotion = 0;
    }
    const int step = p.toolChangeIndex;
    if (step >= p.toolChangeCount || step >= kToolChangeRouteSteps) {
        p.toolChangeCount = p.toolChangeIndex = 0;
        return;
    }
    const NcControllerView& c = session.controller;
    for (int i = 0; i < 5; ++i) {
        if (!c.toolChangeRoute[step][i]) {
            continue;
        }
        const double target = c.toolChangePosition[i] - session.kinematics->workOrigin.axis[i];
        if (target != m.start.axis[i]) {
            m.blockHasMotion = 1;
        }
        m.end.axis[i] = target;
        session.run.programmed.axis[i] = target;
    }
    if (++p.toolChangeIndex >= p.toolChangeCount) {
        p.toolChangeCount = p.toolChangeIndex = 0;
    }
}

// The last M number of the line (outside comments), or -1 when none was read.
int LastMNumber(NcSession& session, const char* line, int option) {
    const NcControllerView& c = session.controller;
    const std::size_t n = strnlen(line, kNcLineCapacity);
    int last = -1;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const char ch = line[i];
        if (ch == '(') {
            if (NcUpHooks.loadToolFromPlugin != nullptr) {
                NcUpHooks.loadToolFromPlugin(session);
            }
            const void* close = std::memchr(line + i, ')', n - i);
            if (close == nullptr) {
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(close) - line);
            continue;
        }
        if (ch == ';' && (c.dialect.siemens || c.dialect.heidenhain)) {
            break;
        }
        if (ch != 'M') {
            continue;
        }
        const char next = line[i + 1];
        if (next < '0' || next > '9') {
            break;
        }
        if (c.dialect.heidenhain && !(next == '0' || (option == kStopM01 && next == '1'))) {
            continue;
        }
        int value = 0, digits = 0;
        while (i + 1 < n && line[i + 1] >= '0' && line[i + 1] <= '9') {
            if (++digits <= kMNumberDigitsMax) {
                value = value * 10 + (line[i + 1] - '0');
            }
            ++i;
        }
        last = digits <= kMNumberDigitsMax ? value : -1;
    }
    return last;
}

std::string WithoutLineEnd(const char* line) {
    std::string text(line, strnlen(line, kNcLineCapacity));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

void PrepareToolChangeMoves(NcSession& session) {
    const NcModalState& modal = session.run.modal;
    NcToolChangeState& tc = session.run.toolChange;
    NcBlockState& block = session.run.block;
    const bool m06 = modal.mCode == 6;
    if (session.controller.atcType == 3) {
        if (!m06) {
            DecideToolChange(session, -1);
            return;
        }
        // M06 mounts the tool prepared by the T words of earlier blocks; the first call decides.
        if (!block.toolChangeSeen) {
            block.toolChangeSeen = 1;
            DecideToolChange(session, tc.stagedTool);
        }
        return;
    }
    block.toolChangeSeen = 1;
    if (session.controller.atcType != 1 && !m06) {
        DecideToolChange(session, -1);
        return;
    }
    DecideToolChange(session, modal.nextTool);
}

void StepToolChangeMove(NcSession& session) {
    MakeToolChangeStep(session, false);
}

void StepFirstToolChangeMove(NcSession& session) {
    MakeToolChangeStep(session, true);
}

int IsStopBlock(NcSession& session, const char* line) {
    if (NcUpHooks.takeStopRequest != nullptr && NcUpHooks.takeStopRequest() != 0) {
        return 1;
    }
    const int option = session.controller.stopOption;
    if (option == kStopSingle) {
        return 1;
    }
    if (option != kStopNormal && option != kStopM01 && option != kStopDefine) {
        return 0;
    }
    if (UiHooks.activePathReader != nullptr && UiHooks.activePathReader() >= 0) {
        return 0;
    }
    if (option == kStopDefine) {
        for (const std::string& text : session.controller.stopStrings) {
            if (!text.empty() && std::strstr(line, text.c_str()) != nullptr) {
                return 1;
            }
        }
        return 0;
    }
    if (std::strstr(line, option == kStopNormal ? "M0" : "M") == nullptr) {
        return 0;
    }
    const int last = LastMNumber(session, line, option);
    return last == 0 || (option == kStopM01 && last == 1) ? 1 : 0;
}

int PauseAtStopBlock(NcSession& session, const char* line) {
    if (!IsStopBlock(session, line)) {
        return 1;
    }
    if (AutomaticMode.load() != 0) {
        AppendLogEntry("(" + std::to_string(session.line.mainLineNumber) + ") - " +
                       ChooseLanguageText("Stop block passed: nobody to resume the run: ",
                                          "停止ブロックを通過しました(再開する操作者なし): ") +
                       WithoutLineEnd(line) + "\n");
        return 1;
    }
    if (NcUpHooks.waitAtStopBlock == nullptr) {
        return 1;
    }
    return NcUpHooks.waitAtStopBlock(session, line) != 0 ? 1 : 0;
}

}  // namespace mirexa
