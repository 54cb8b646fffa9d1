// The reset of a run's reports at its start.
#include "simulation/run_reports.h"

#include <algorithm>
#include <cstdio>

namespace mirexa {

void ResetRunReports(RunReports& reports) {
    reports.shown.clear();
    ResetInterferenceKinds(reports.kinds);
    if (reports.limitLog.stream != nullptr) {
        std::fclose(reports.limitLog.stream);
    }
    reports.limitLog = LimitLogState{};
    RunEndFacts& end = reports.end;
    std::fill(end.savedWorkOffsets, end.savedWorkOffsets + kWorkOffsetEntries, MotionPosition{});
    end.savedWorkOffsetIndex = 1;
    end.workOffsetsSaved = 0;
    end.endProgram = MotionPosition{};
    end.endMachine = MotionPosition{};
    end.endWorkOrigin = MotionPosition{};
    end.endTool = ToolPose{};
    end.lastAlarmCode = 0;
    end.endInProgress.store(0);
}

}  // namespace mirexa
