// The kinds of a cutting run: the run mode the windows, the run and the interpreter follow, and
// the batch kinds of the command line's -X switch and the automation's cut requests, with the one
// mapping between them and the Tab keys' step through the modes.
#pragma once

#include <cstdint>

namespace mirexa {

// The run mode of a cutting run (the run's mode, the kinematics' copy, the title). The
// numbers are the modes' own order: real cutting draws every step, skip cutting every few lines,
// the result run only at its end.
enum class RunMode : std::int32_t {
    kIdle = 0,         // no run
    kRealCutting = 1,  // IDM_CUT_REAL
    kSkipCutting = 2,  // IDM_CUT_SKIP
    kResult = 3,       // IDM_CUT_RESULT: cutting, then the result
};

// The batch kind of a run the automation starts: the digit of the command line's -X switch,
// which the macro's cuts use as well. The numbers are the digits, and the kinds are ordered by
// them: each test of "kind N or more" in the program means the same digits.
enum class BatchRunKind : std::int32_t {
    kNone = 0,          // no -X switch, or a run the user started
    kSelectOnly = 1,    // -X1: select the program (with the optimal stock), run nothing
    kReal = 2,          // -X2, CUT(REAL)
    kSkip = 3,          // -X3, CUT(SKIP)
    kResult = 4,        // -X4, CUT(RESULT)
    kResultLogged = 5,  // -X5, CUT(RESULT) SILENT: logged, the batch ends after it
    kResultUnseen = 6,  // -X6, a silent macro cut: logged and drawn nowhere
};

// The batch kind of an -X digit (0 .. 6); kNone for any other number.
BatchRunKind BatchRunKindOfDigit(int digit);

// The run mode a batch kind runs in: kIdle for kNone and kSelectOnly, which run nothing; the
// three result kinds all run as kResult.
RunMode RunModeOfBatchKind(BatchRunKind kind);

// A batch run logs: it writes the program's name to the log at its start and draws nothing on
// request (-X5, -X6).
inline bool BatchKindLogsRun(BatchRunKind kind) {
    return kind >= BatchRunKind::kResultLogged;
}

// The Tab keys of the main window and the view during a run: Tab goes on from real cutting to
// skip cutting to the result run, Shift+Tab (backwards) goes back; each stops at its end (the
// result run, real cutting) and no mode is left from kIdle, since starting a run is a run
// command's work.
RunMode StepRunMode(RunMode mode, bool backwards);

}  // namespace mirexa
