// The interference report in its two forms and the tool-load limit logs: lazy opening, entries,
// closing and showing.
#include "simulation/interference_reports.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "config/tool_tables.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "platform/write_faults.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "simulation/interference_messages.h"
#include "simulation/run_control.h"
#include "simulation/run_reports.h"
#include "simulation/run_ui_hooks.h"

namespace mirexa {

RunUiHooks RunUiCallbacks;

namespace {

constexpr const char* kFirstFormHeader = "<<< INTERFERENCE INFORMATION >>>\n--------------";
constexpr const char* kSecondFormHeader = "<<< INTERFERENCE2 INFORMATION >>>\n--------------";
// The longest NC line an entry takes (the line buffer holds 1,024 characters with its NUL).
constexpr std::size_t kNcLineLimit = 4096;

// A holder or head group of the report: its kinds, first to last, in the report's order.
struct KindGroup {
    int kinds[6];
    int count;
};

// The first form's groups: ARBOR (VICE, TABLE2, TABLE1, TABLE, BASIC), HEAD2 (WORK, VICE, TABLE,
// BASIC), HEAD1 (WORK, VICE, TABLE1, TABLE, BASIC), HEAD (WORK, VICE, TABLE2, TABLE1, TABLE,
// BASIC): the kinds follow the structure pairs.
constexpr KindGroup kFirstFormGroups[] = {
    {{KindOfStructurePair(kArborVice), KindOfStructurePair(kArborTable2),
      KindOfStructurePair(kArborTable1), KindOfStructurePair(kArborTable),
      KindOfStructurePair(kArborBasic)},
     5},
    {{KindOfStructurePair(kHead2Work), KindOfStructurePair(kHead2Vice),
      KindOfStructurePair(kHead2Table), KindOfStructurePair(kHead2Basic)},
     4},
    {{KindOfStructurePair(kHead1Work), KindOfStructurePair(kHead1Vice),
      KindOfStructurePair(kHead1Table1), KindOfStructurePair(kHead1Table),
      KindOfStructurePair(kHead1Basic)},
     5},
    {{KindOfStructurePair(kHeadWork), KindOfStructurePair(kHeadVice),
      KindOfStructurePair(kHeadTable2), KindOfStructurePair(kHeadTable1),
      KindOfStructurePair(kHeadTable), KindOfStructurePair(kHeadBasic)},
     6},
};

// The second form's groups, by structure pair: ARBOR (VICE, TABLE, TABLE1, TABLE2), HEAD (WORK,
// VICE, TABLE, TABLE1, TABLE2), HEAD1 (WORK, VICE, TABLE, TABLE1), HEAD2 (WORK, VICE, TABLE).
struct PairGroup {
    int pairs[5];
    int count;
};
constexpr PairGroup kSecondFormGroups[] = {
    {{kArborVice, kArborTable, kArborTable1, kArborTable2}, 4},
    {{kHeadWork, kHeadVice, kHeadTable, kHeadTable1, kHeadTable2}, 5},
    {{kHead1Work, kHead1Vice, kHead1Table, kHead1Table1}, 4},
    {{kHead2Work, kHead2Vice, kHead2Table}, 3},
};

// The tool pairs of the second form, in its order, with their names.
struct NamedPair {
    int pair;
    const char* name;
};
constexpr NamedPair kSecondFormToolPairs[] = {
    {kToolVice, "VICE"}, {kToolTable, "TABLE"}, {kToolTable1, "TABLE1"}, {kToolTable2, "TABLE2"}};

// The member name of a group kind: the part after "vs" ("ARBORvsTABLE1" -> "TABLE1").
const char* MemberName(const char* kindName) {
    const char* vs = std::strstr(kindName, "vs");
    return vs != nullptr ? vs + 2 : kindName;
}

// Appends the groups: a group's first set member as "GROUPvsMEMBER" (after the separator when
// anything came before), each further one as ",MEMBER".
template <typename IsSet>
void AppendGroup(std::string* out, const char* separator, const int* kinds, int count,
                 IsSet isSet) {
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if (!isSet(i)) {
            continue;
        }
        const char* name = GetInterferenceKindName(kinds[i]);
        if (first) {
            if (!out->empty()) {
                *out += separator;
            }
            *out += name;
            first = false;
        } else {
            *out += ',';
            *out += MemberName(name);
        }
    }
}

void Append(std::string* out, const char* separator, const char* name) {
    if (!out->empty()) {
        *out += separator;
    }
    *out += name;
}

// The NC line without its line end (and without a CR before it).
std::string NcLineText(const char* line) {
    if (line == nullptr) {
        return {};
    }
    std::size_t n = strnlen(line, kNcLineLimit);
    const void* lf = std::memchr(line, '\n', n);
    if (lf != nullptr) {
        n = static_cast<std::size_t>(static_cast<const char*>(lf) - line);
    }
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) {
        --n;
    }
    return std::string(line, n);
}

// "%d:%s\n" or "%s:%d:%s\n": the block as an entry names it.
std::string BlockText(const ReportBlock& block) {
    std::string text;
    if (block.inSubprogram != 0) {
        text = block.subprogramName != nullptr ? block.subprogramName : "";
        text += ':';
        text += std::to_string(block.subprogramLine);
    } else {
        text = std::to_string(block.mainLineNumber);
    }
    text += ':';
    text += NcLineText(block.ncLine);
    text += '\n';
    return text;
}

int BlockLineNumber(const ReportBlock& block) {
    return block.inSubprogram != 0 ? block.subprogramLine : block.mainLineNumber;
}

const char* SubprogramName(const ReportBlock& block) {
    return block.inSubprogram != 0 && block.subprogramName != nullptr ? block.subprogramName : "";
}

bool IsLastWrittenBlock(const InterferenceReportState& r, const ReportBlock& block) {
    return BlockLineNumber(block) == r.lastLineNumber &&
           (block.inSubprogram != 0 ? 1 : 0) == r.lastInSubprogram &&
           std::strncmp(SubprogramName(block), r.lastSubprogramName,
                        sizeof r.lastSubprogramName - 1) == 0;
}

void RememberWrittenBlock(InterferenceReportState& r, const ReportBlock& block) {
    r.lastLineNumber = BlockLineNumber(block);
    r.lastInSubprogram = block.inSubprogram != 0 ? 1 : 0;
    CopyMessageText(r.lastSubprogramName, sizeof r.lastSubprogramName, SubprogramName(block));
}

void ForgetWrittenBlock(InterferenceReportState& r) {
    r.lastLineNumber = 0;
    r.lastInSubprogram = -1;  // no block written yet
    r.lastSubprogramName[0] = '\0';
}

// Logs the first failure of a report's write, flush or close (the step and the system's reason)
// and marks the report failed. Call it straight after the failed call: it reads errno.
void NoteReportWriteFailure(std::int32_t* failed, const char* name, const char* step) {
    const int error = errno;
    if (*failed != 0) {
        return;
    }
    *failed = 1;
    LogReportWriteFailure(GetReportPath(name), step, error);
}

const char* InterferenceReportName(const InterferenceReportState& r) {
    return r.secondForm != 0 ? kInterferenceReport2Name : kInterferenceReportName;
}

// Writes the text to the open interference report unless a write has failed.
void WriteText(InterferenceReportState& r, const std::string& text) {
    if (r.stream == nullptr || r.writeFailed != 0 || text.empty()) {
        return;
    }
    if (WriteStream(text.data(), 1, text.size(), r.stream) != text.size()) {
        NoteReportWriteFailure(&r.writeFailed, InterferenceReportName(r), "write");
    }
}

// Puts a complete entry into the file, so that a run that ends abnormally keeps it.
void FlushInterferenceReport(InterferenceReportState& r) {
    if (r.stream != nullptr && r.writeFailed == 0 && FlushStream(r.stream) != 0) {
        NoteReportWriteFailure(&r.writeFailed, InterferenceReportName(r), "flush");
    }
}

const char* LimitLogName(std::int32_t kind) {
    return kind == kLimitLogSection ? kSectionLimitLogName : kRemovalLimitLogName;
}

// Flushes and closes the open limit log, noting a failed flush or close.
void CloseLimitLogStream(LimitLogState& log) {
    if (log.writeFailed == 0 && FlushStream(log.stream) != 0) {
        NoteReportWriteFailure(&log.writeFailed, LimitLogName(log.kind), "flush");
    }
    if (CloseStream(log.stream) != 0) {
        NoteReportWriteFailure(&log.writeFailed, LimitLogName(log.kind), "close");
    }
    log.stream = nullptr;
}

std::FILE* OpenReport(const char* name) {
    const std::string path = GetReportPath(name);
    return path.empty() ? nullptr : OpenFileStream(path, "w");
}

bool MarkerFileExists() {
    const std::string path = GetReportPath(kInterferenceReport2Name);
    struct stat info = {};
    // stat holds no handle: nothing stays open after the test.
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

ReportBlock GetCurrentReportBlock(NcSession& session) {
    ReportBlock block;
    block.mainLineNumber = session.line.mainLineNumber;
    block.ncLine = session.line.text;
    const int depth = session.subprograms.depth;
    if (depth > 0 && depth <= kSubprogramDepthMax) {
        block.inSubprogram = 1;
        block.subprogramName = session.subprograms.name[depth - 1];
        block.subprogramLine = session.subprograms.lineCounter[depth - 1];
    }
    return block;
}

std::string GetReportPath(const char* name) {
    char path[4096];
    if (!JoinPath(FileLocations.currentDirectory, name, path, sizeof path)) {
        return {};
    }
    return path;
}

void ShowReportFile(RunReports& reports, const char* path, int noViewer) {
    reports.shown.emplace_back(path);
    if (AutomaticMode.load() != 0 || noViewer != 0) {
        AppendLogEntry(std::string("Report written: ") + path + "\n");
        return;
    }
    if (RunUiCallbacks.openInViewer != nullptr) {
        RunUiCallbacks.openInViewer(path);
    }
}

std::string BuildFirstFormKindList(const InterferenceKindSet& kinds) {
    static constexpr int kPlain[] = {kKindRapid,  kKindArbor,   kKindOverLength, kKindOverChip,
                                     kKindTaper,  kKindTooFast, kKindSpindle,    kKindVice,
                                     kKindTable2, kKindTable1,  kKindTable,      kKindBasic};
    std::string out;
    for (const int kind : kPlain) {
        if (InterferenceKindSetFlag(kinds, kind) != 0) {
            Append(&out, " + ", GetInterferenceKindName(kind));
        }
    }
    for (const KindGroup& group : kFirstFormGroups) {
        AppendGroup(&out, " + ", group.kinds, group.count, [&kinds, &group](int i) {
            return InterferenceKindSetFlag(kinds, group.kinds[i]) != 0;
        });
    }
    return out;
}

std::string BuildSecondFormKindList(const InterferenceStep& s, const CheckSettings& c) {
    std::string out;
    if (c.interference == 2 && s.contact != 0) {
        if (s.rapid != 0) {
            Append(&out, "+", "RAPID(G00)");
        } else if (s.tooFast != 0) {
            Append(&out, "+", "TOO FAST");
        }
    }
    if (c.heightCheck == 3 && s.overLength != 0) {
        Append(&out, "+", "LENGTH");
    }
    if (c.chipWidthCheck == 3 && s.overChip != 0) {
        Append(&out, "+", "CHIP");
    }
    if (c.arborCheck == 4) {
        if (s.taper != 0) {
            Append(&out, "+", "TAPER");
        } else if (s.arbor != 0) {
            Append(&out, "+", "ARBOR");
        }
    }
    if (c.spindleCheck == 2 && s.spindleStopped != 0 && s.contact != 0) {
        Append(&out, "+", "SPINDLE");
    }
    auto recorded = [&s, &c](int pair) {
        return c.structurePairs[pair] == 2 && s.structure[pair] != 0;
    };
    for (const NamedPair& tool : kSecondFormToolPairs) {
        if (recorded(tool.pair)) {
            Append(&out, "+", tool.name);
        }
    }
    for (const PairGroup& group : kSecondFormGroups) {
        int kinds[5] = {};
        for (int i = 0; i < group.count; ++i) {
            kinds[i] = KindOfStructurePair(group.pairs[i]);
        }
        AppendGroup(&out, "+", kinds, group.count,
                    [&group, &recorded](int i) { return recorded(group.pairs[i]); });
    }
    return out;
}

int OpenInterference2Report(RunReports& reports, const InterferenceStep& step,
                            const CheckSettings& checks) {
    InterferenceReportState& r = reports.interference;
    if (r.stream != nullptr) {
        return r.secondForm;
    }
    if (AnyRecordChoiceApplies(step, checks) == 0) {
        return 0;
    }
    if (!MarkerFileExists()) {
        r.secondForm = 0;
        return 0;
    }
    r.secondForm = 1;
    r.stream = OpenReport(kInterferenceReport2Name);
    r.writeFailed = 0;
    WriteText(r, kSecondFormHeader);
    ForgetWrittenBlock(r);
    return r.stream != nullptr ? 1 : 0;
}

void BuildInterferenceList(RunReports& reports, const ReportBlock& block,
                           const InterferenceStep& step, const CheckSettings& checks) {
    InterferenceReportState& r = reports.interference;
    if (r.stream == nullptr || r.secondForm == 0) {
        return;
    }
    if (!IsLastWrittenBlock(r, block)) {
        WriteText(r, "\n" + BlockText(block));
        RememberWrittenBlock(r, block);
    }
    WriteText(r, BuildSecondFormKindList(step, checks) + ":");
}

void WriteInterferenceStepLine(RunReports& reports, const ReportBlock& block,
                               const InterferenceStep& step, const CheckSettings& checks,
                               const char* stepLine) {
    InterferenceReportState& r = reports.interference;
    if (r.stream == nullptr) {
        OpenInterference2Report(reports, step, checks);
    }
    if (r.stream == nullptr || r.secondForm == 0) {
        return;
    }
    BuildInterferenceList(reports, block, step, checks);
    WriteText(r, stepLine != nullptr ? stepLine : "");
    FlushInterferenceReport(r);
}

int WriteInterferenceReport(RunReports& reports, const ReportBlock& block, RunControls* controls) {
    InterferenceReportState& r = reports.interference;
    InterferenceKindSet& kinds = reports.kinds;
    // Only an unwritten event: the later moves of the same block find the count at 2.
    if (kinds.eventCount.load() != kEventRecorded) {
        return 0;
    }
    if (r.secondForm == 0) {
        if (r.stream == nullptr) {
            r.stream = OpenReport(kInterferenceReportName);
            r.writeFailed = 0;
            WriteText(r, kFirstFormHeader);
        }
        WriteText(r, "\n" + BuildFirstFormKindList(kinds) + "\n" + BlockText(block));
        FlushInterferenceReport(r);
    }
    if (controls != nullptr) {
        controls->kept.simulationState = 0;
    }
    char kindText[64];
    BuildCollisionKindText(kinds, kindText, sizeof kindText, UiLanguage.load());
    if (RunUiCallbacks.setCollisionKindText != nullptr) {
        RunUiCallbacks.setCollisionKindText(kindText);
    }
    ClearInterferenceKinds(kinds);
    if (AutomaticMode.load() == 0 && RunUiCallbacks.repaintToolPanel != nullptr) {
        RunUiCallbacks.repaintToolPanel();
    }
    if (controls != nullptr) {
        controls->kept.toolPanelPendingPaint = 1;
    }
    if (Settings.sound != 0 && RunUiCallbacks.playSystemSound != nullptr) {
        RunUiCallbacks.playSystemSound("SystemHand");
    }
    kinds.eventCount.store(kEventWritten);
    return 1;
}

int CloseInterferenceFile(RunReports& reports, const ReportBlock& block, RunControls* controls) {
    InterferenceReportState& r = reports.interference;
    if (reports.kinds.eventCount.load() == kEventRecorded) {
        WriteInterferenceReport(reports, block, controls);
    }
    ResetInterferenceKinds(reports.kinds);
    int closed = 0;
    if (r.stream != nullptr) {
        const char* name = InterferenceReportName(r);
        if (CloseStream(r.stream) != 0) {
            NoteReportWriteFailure(&r.writeFailed, name, "close");
        }
        r.stream = nullptr;
        closed = 1;
        // A report whose writing failed is shown too: it holds every entry before the failure.
        ShowReportFile(reports, GetReportPath(name).c_str(), CommandLine.noReportDisplay);
    }
    r.secondForm = 0;
    ForgetWrittenBlock(r);
    return closed;
}

std::uint32_t GetToolLoadLimitType(std::int32_t tool) {
    if (IsToolNumberInTables(tool) == 0 ||
        static_cast<std::size_t>(tool) >= ToolTableSet.loadLimits.size()) {
        return kToolLoadNone;
    }
    return ToolTableSet.loadLimits[static_cast<std::size_t>(tool)].type;
}

int OpenLimitFile(RunReports& reports, std::int32_t tool) {
    LimitLogState& log = reports.limitLog;
    const std::uint32_t type = GetToolLoadLimitType(tool);
    if (type != kToolLoadSectionLog && type != kToolLoadRemovalLog) {
        return 0;
    }
    if (log.stream != nullptr) {
        CloseLimitLogStream(log);
    }
    const bool section = type == kToolLoadSectionLog;
    log.stream = OpenReport(section ? kSectionLimitLogName : kRemovalLimitLogName);
    log.kind = section ? kLimitLogSection : kLimitLogRemoval;
    log.lineCount = 0;
    log.writeFailed = 0;
    return log.stream != nullptr ? 1 : 0;
}

void WriteLimitLogLine(RunReports& reports, std::int32_t tool, const char* line) {
    LimitLogState& log = reports.limitLog;
    if (log.stream == nullptr) {
        OpenLimitFile(reports, tool);
    }
    if (log.stream == nullptr || line == nullptr || log.writeFailed != 0) {
        return;
    }
    const std::size_t length = std::strlen(line);
    if (WriteStream(line, 1, length, log.stream) != length) {
        NoteReportWriteFailure(&log.writeFailed, LimitLogName(log.kind), "write");
        return;
    }
    ++log.lineCount;
}

int CloseLimitLog(RunReports& reports, std::int32_t currentTool) {
    LimitLogState& log = reports.limitLog;
    if (log.stream == nullptr) {
        // Nothing opened in this run: whatever an earlier run counted is not shown again.
        log.kind = kLimitLogNone;
        log.lineCount = 0;
        return 0;
    }
    CloseLimitLogStream(log);
    const int lines = log.lineCount;
    const int kind = log.kind;
    log.kind = kLimitLogNone;
    log.lineCount = 0;
    if (lines <= 0) {
        return 0;
    }
    const char* name = nullptr;
    if (kind == kLimitLogSection) {
        name = kSectionLimitLogName;
    } else if (GetToolLoadLimitType(currentTool) == kToolLoadRemovalLog) {
        name = kRemovalLimitLogName;
    }
    if (name == nullptr) {
        return 0;
    }
    ShowReportFile(reports, GetReportPath(name).c_str(), 0);
    return 1;
}

}  // namespace mirexa
