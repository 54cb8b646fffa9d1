// Path records and tools from the path-reader and NC communication plug-ins.
#include "nc/plugin_queries.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/current_tool_brief.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"
#include "nc/arc_geometry.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/plugin_slots.h"
#include "services/program_log.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "stock/stock_model.h"

namespace mirexa {

PluginPathRecord PluginPath;
int PluginToolMounts = 0;

namespace {

// The dexel pitch a selected tool is derived for: the current stock's, else the requested one.
double ToolSelectionPitch() {
    const int index = CurrentStockIndex.load();
    if (index >= 0 && index < kStockModelSlots && StockModels[index].nx > 0) {
        return StockModels[index].pitch;
    }
    return DexelPitch.currentPitch;
}

int ClampPen(int pen) {
    return std::clamp(pen, 0, 15);
}

// A length answer (kind, three values and the staged triple) into a length record.
void TakeLengthAnswer(int kind, const float values[3], const float staged[3],
                      ToolLengthRecord* record) {
    *record = ToolLengthRecord{};
    record->kind = kind >= 1 && kind <= 3 ? static_cast<std::uint32_t>(kind) : 0u;
    std::copy(values, values + 3, record->values);
    record->values[3] = staged[0];
    if (kind == 3) {
        record->values[4] = staged[1];
        record->values[5] = staged[2];
    }
}

// The lists a holder answer is written into: twice the interface's sizes and zeroed, so that a
// plug-in that writes a little too far harms nothing.
struct HolderLists {
    float diameters[2 * (kArborMaxSegments + 1)] = {};
    float lengths[2 * kArborMaxSegments] = {};
    std::int32_t codes[2 * kArborMaxSegments] = {};
};

// A holder answer into a holder record, its count kept within the lists.
void TakeArborAnswer(int present, int kind, int count, const HolderLists& lists,
                     ArborProfile* out) {
    const float* diameters = lists.diameters;
    const float* lengths = lists.lengths;
    const std::int32_t* codes = lists.codes;
    ArborProfile a;
    a.present = present != 0 ? 1u : 0u;
    a.kind = kind >= 0 && kind <= 2 ? static_cast<std::uint32_t>(kind) : 0u;
    a.count = std::clamp(count, 0, kArborMaxSegments);
    std::copy(diameters, diameters + kArborMaxSegments + 1, a.diameters);
    std::copy(lengths, lengths + kArborMaxSegments, a.lengths);
    std::copy(codes, codes + kArborMaxSegments, a.codes);
    *out = a;
}

// A start point of the reader that is no number: the run ends on an alarm at its first record.
bool startPointRefused = false;
// Plug-in tools refused and logged; the log names the first few.
int refusedToolsLogged = 0;
constexpr int kRefusedToolsLoggedMax = 10;

// A plug-in's tool (tool 0) is held to the tools file's bounds, and a cutter needs a diameter:
// another is taken out of the tables, not mounted, and named in the log. True when refused.
bool RefusePluginToolOfNoMachine() {
    ToolRecord& tool = ToolTableSet.tools[0];
    std::string what;
    if (!tool.present) {
        return false;  // no tool of the plug-in's to hold to the bounds
    }
    if (!FindSizeOfNoMachine(0, &what)) {
        if (tool.type == kToolKegaki || tool.d > 0.0f) {
            return false;
        }
        what = "D";
    }
    tool.present = 0;
    ToolTableSet.arbors[0].present = 0;
    if (refusedToolsLogged++ < kRefusedToolsLoggedMax) {
        AppendLogEntry(
            ChooseLanguageText("Plug-in tool", "プラグインの工具") + std::string(" - ") +
            ChooseLanguageText("a size no machine has (", "機械にありえない寸法 (") + what +
            ChooseLanguageText("); the tool is not used\n", ")。この工具は使いません\n"));
    }
    return true;
}

bool AllFinite(const double* values, int n) {
    return std::all_of(values, values + n, [](double v) { return std::isfinite(v); });
}

// Tool 0 (the plug-in's) becomes the current tool.
void MountPluginTool(NcSession& session) {
    ++PluginToolMounts;
    SelectCurrentTool(session, *session.kinematics, *session.tools, 0, ToolSelectionPitch());
    RefreshNcControllerView(session);
}

const char* MoveName(int type) {
    switch (type) {
        case 0:
            return "RAPID";
        case 1:
            return "LINE";
        case 2:
            return "ARC(CW)";
        case 3:
            return "ARC(CCW)";
        default:
            return "OTHER";
    }
}

// The readable form of a record in the line buffer.
void FormatRecordLine(NcSession& session, const PluginPathRecord& r) {
    const double* p = r.end.axis;
    char* text = session.line.text;
    const std::size_t capacity = sizeof session.line.text - 1;
    int n = 0;
    if (r.type >= MIREXA_PATH_TOOL_CHANGE) {
        n = std::snprintf(text, capacity, "TOOL:%d", r.type - MIREXA_PATH_TOOL_CHANGE);
    } else if (r.type == 0) {
        n = std::snprintf(text, capacity, "RAPID:%9.3f,%9.3f,%9.3f", p[0], p[1], p[2]);
    } else {
        n = std::snprintf(text, capacity, "%s:%9.3f,%9.3f,%9.3f , FEED=%9.3f", MoveName(r.type),
                          p[0], p[1], p[2], r.feed);
    }
    n = std::clamp(n, 0, static_cast<int>(capacity) - 1);
    text[n] = '\n';
    text[n + 1] = '\0';
    session.line.length = n + 1;
}

// The three NC communication queries with the given exports and first argument; states[3] are
// in/out. Returns 1 when the tool answered.
struct NccomExports {
    MxnccomToolFn tool = {};
    MxnccomToolLenFn length = {};
    MxnccomArborFn arbor = {};
};

int AskNccom(NcSession& session, const NccomExports& x, const char* text, int states[3]) {
    if (!IsToolNumberInTables(0)) {
        return 0;
    }
    int answered = 0;
    int toolAnswered = 0;
    if (x.tool != nullptr && states[0] != 2) {
        // A work copy of the current tool, which the plug-in may change.
        const ToolRecord& current = session.tools->tool.tool;
        PluginToolAnswer a;
        a.type = static_cast<int>(current.type);
        a.d = current.d;
        a.r = current.r;
        a.e = current.e;
        a.f = current.f;
        a.alpha = current.alpha;
        a.beta = current.beta;
        a.h = current.h;
        float extra[3] = {current.w, current.t, current.neck};
        float length = static_cast<float>(session.tools->tool.toolLength);
        int color = session.tools->tool.pen;
        int state = 0;
        x.tool(text, &a.type, &a.d, &a.r, &a.e, &a.f, &a.alpha, &a.beta, &a.h, extra, a.name,
               &length, &color, &state);
        states[0] = state;
        if (state > 0) {
            a.extra = extra[0];
            a.r2 = a.r;
            a.further[1] = extra[1];
            a.further[2] = extra[2];
            TakePluginToolAnswer(a, &ToolTableSet.tools[0]);
            ToolTableSet.pens[0] = ClampPen(color);
            ToolTableSet.lengths[0] = ToolLengthRecord{};
            ToolTableSet.lengths[0].kind = kToolLength1;
            ToolTableSet.lengths[0].values[0] = length;
            // The plug-in's tool is the current one and no other waits for a tool change.
            session.run.toolChange.mountedTool = 0;
            session.run.toolChange.stagedTool = 0;
            session.run.pluginToolSupplied = 1;
            CurrentToolState.fromPlugin = 1;
            toolAnswered = 1;
            answered = 1;
        }
    }
    if (x.length != nullptr && states[1] != 2) {
        const ToolLengthRecord& current = ToolTableSet.lengths[0];
        int kind = static_cast<int>(current.kind);
        float values[3] = {current.values[0], current.values[1], current.values[2]};
        float staged[3] = {current.values[3], current.values[4], current.values[5]};
        int state = 0;
        x.length(text, &kind, &values[0], &values[1], &values[2], staged, &state);
        states[1] = state;
        if (state > 0) {
            TakeLengthAnswer(kind, values, staged, &ToolTableSet.lengths[0]);
            answered = 1;
        }
    }
    if (x.arbor != nullptr && states[2] != 2) {
        ArborProfile& holder = ToolTableSet.arbors[0];
        int present = static_cast<int>(holder.present);
        int kind = static_cast<int>(holder.kind);
        int count = holder.count;
        HolderLists lists;
        std::copy(std::begin(holder.diameters), std::end(holder.diameters), lists.diameters);
        std::copy(std::begin(holder.lengths), std::end(holder.lengths), lists.lengths);
        std::copy(std::begin(holder.codes), std::end(holder.codes), lists.codes);
        int state = 0;
        x.arbor(text, &present, &kind, &count, lists.diameters, lists.lengths, lists.codes, &state);
        states[2] = state;
        if (state > 0) {
            TakeArborAnswer(present, kind, count, lists, &holder);
            answered = 1;
        }
    }
    if (answered != 0 && RefusePluginToolOfNoMachine()) {
        session.run.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
        return 0;
    }
    if (session.run.pluginToolSupplied != 0 && answered != 0) {
        // The tool's length put on the TOOL BASE POINT as a tools file's tools are.
        ToolTableSet.shifts[0] = BasePointShift(0);
        MountPluginTool(session);
        // The panel shows the tool in use: a comment of a running program may have changed it.
        if (NcUpHooks.repaintToolPanel != nullptr) {
            NcUpHooks.repaintToolPanel();
        }
    }
    return toolAnswered;
}

}  // namespace

int ActivePathReaderSlot() {
    if (UiHooks.activePathReader == nullptr) {
        return -1;
    }
    const int slot = UiHooks.activePathReader();
    return IsPluginLoaded(kPluginRead, slot) ? slot : -1;
}

int FetchPluginPathRecord(NcSession& session, PluginPathRecord* record) {
    const int r = ActivePathReaderSlot();
    if (r < 0) {
        return 0;
    }
    PluginPathRecord next;
    // The end starts at the current end: a reader that leaves an axis alone keeps it.
    next.end = session.kinematics->motion.end;
    next.more = 1;
    if (auto path = PluginExport<MxreadPathFn>(kPluginRead, r, kReadPath)) {
        path(&next.lineNumber, &next.type, next.reserved1, next.end.axis, next.centre, &next.plane,
             &next.feed, next.reserved2, &next.reserved3, &next.more);
    } else if (auto ijk = PluginExport<MxreadPathIjkFn>(kPluginRead, r, kReadPathIjk)) {
        ijk(&next.lineNumber, &next.type, next.end.axis, next.toolAxis, &next.feed, next.reserved2,
            &next.reserved3, &next.more);
        next.plane = 17;
        next.toolAxisForm = 1;
    } else {
        return 0;
    }
    *record = next;
    return next.more != 0 ? 1 : 0;
}

int ReadPluginPathLine(NcSession& session) {
    if (!FetchPluginPathRecord(session, &PluginPath)) {
        MarkProgramEnd(session);
        if (session.controller.dialect.heidenhain && session.run.status.endState == 2) {
            SetRotaryShortestPath(session, 0);
        }
        return 0;
    }
    if (ActiveReaderHasBlockCount()) {
        AddProgressWork(1);
    }
    const bool compensationOff = session.run.compensationPhase == 0;
    if (PluginPath.lineNumber != 0) {
        session.line.mainLineNumber = PluginPath.lineNumber;
        if (compensationOff) {
            session.line.displayedLineNumber = PluginPath.lineNumber;
        }
    } else {
        ++session.line.mainLineNumber;
        if (compensationOff) {
            ++session.line.displayedLineNumber;
        }
    }
    FormatRecordLine(session, PluginPath);
    return 1;
}

void InterpretPluginPathRecord(NcSession& session, const PluginPathRecord& record) {
    MotionRecord& m = session.kinematics->motion;
    NcModalState& modal = session.run.modal;
    m.start = m.end;
    session.run.block = NcBlockState{};
    session.run.waitMCode = -1;
    // 1. A tool change, no motion.
    if (record.type >= MIREXA_PATH_TOOL_CHANGE) {
        modal.toolNumber = record.type - MIREXA_PATH_TOOL_CHANGE;
        if (modal.toolNumber >= 0) {
            modal.nextTool = modal.toolNumber;
        }
        m.blockHasMotion = 0;
        return;
    }
    // A type the interface does not know moves nowhere.
    if (record.type < kMotionRapid || record.type > kMotionCounterClockwise) {
        m.blockHasMotion = 0;
        return;
    }
    // A position, centre or feed that is no number, a start point that was none, or a cutting
    // move without a feed ends the run as an alarm of the record's line.
    const bool arc = record.type == kMotionClockwise || record.type == kMotionCounterClockwise;
    if (startPointRefused || !AllFinite(record.end.axis, 5) || !std::isfinite(record.feed) ||
        (arc && !AllFinite(record.centre, 3)) ||
        (record.toolAxisForm && !AllFinite(record.toolAxis, 3))) {
        startPointRefused = false;
        session.run.status.error = kNcErrorPluginRecord;
        m.blockHasMotion = 0;
        return;
    }
    if (record.type != kMotionRapid && !(record.feed > 0.0)) {
        session.run.status.error = kNcErrorFeedZero;
        m.blockHasMotion = 0;
        return;
    }
    // 2. The move. Records carry no spindle words: the spindle of a reader's program turns.
    if (modal.spindleDirection == 0) {
        modal.spindleDirection = 1;
    }
    m.motionType = record.type;
    m.end = record.end;
    m.feed = record.feed;
    modal.programmedFeed = record.feed;
    session.run.block.axisWordSeen = 1;
    m.blockHasMotion = 1;
    if (record.plane == 17 || record.plane == 18 || record.plane == 19) {
        modal.planeCode = record.plane;
        SelectPlaneAxes(session);
    }
    // 3. The tool-axis form: the axis decides the rotary values, with the tool centre point
    // control on and the length compensated.
    if (record.toolAxisForm) {
        double angles[2] = {m.end.axis[3], m.end.axis[4]};
        if (SolveRotaryAnglesNc(*session.kinematics, record.toolAxis, angles)) {
            m.end.axis[3] = angles[0];
            m.end.axis[4] = angles[1];
        }
        modal.toolCenterPointMode = 2;
        modal.lengthCompensation = 1;
    }
    // 4. Arcs as a text arc with centre offsets from the start.
    if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        ArcWords words;
        words.centreSource = kCentreOffsets;
        for (int i = 0; i < 3; ++i) {
            words.offsets[i] = record.centre[i] - m.start.axis[i];
        }
        const int increment = InputIncrements.leastInputIncrement;
        ComputeArcGeometry(modal.plane, words, session.controller.arcRadiusTolerance,
                           1.0 / (increment > 0 ? increment : 1000), &m, &session.run.status.error);
    }
    session.run.programmed = m.end;
    PublishKinematicsModes(session);
}

void TakePluginToolAnswer(const PluginToolAnswer& a, ToolRecord* record) {
    ToolRecord t;
    int type = a.type;
    t.w = 0.0f;
    if (type > MIREXA_TOOL_EXTRA) {
        type -= MIREXA_TOOL_EXTRA;
        t.w = a.extra;
    }
    t.present = 1;
    t.type = static_cast<std::uint32_t>(std::max(type, 0));
    t.d = a.d;
    t.r = a.r;
    t.e = a.e;
    t.f = a.f;
    t.alpha = a.alpha;
    t.beta = a.beta;
    t.h = a.h;
    t.k = a.further[0];
    if (type == kToolTThrow) {
        t.r2 = a.r2;
        t.t = a.further[1];
        t.neck = a.further[2];
    }
    t.name = TakePluginText(a.name, MIREXA_PLUGIN_TEXT_SIZE);
    DeriveToolShape(&t);
    *record = t;
}

void ReadToolsFromPlugin(NcSession& session) {
    const int r = ActivePathReaderSlot();
    if (r < 0 || !IsToolNumberInTables(0)) {
        return;
    }
    int toolSet = 0;
    // 2-4. The tool.
    if (auto tool = PluginExport<MxreadToolFn>(kPluginRead, r, kReadTool)) {
        PluginToolAnswer a;
        float corner[2] = {};
        float taper[2] = {};
        float further[2] = {};
        float shift = -1.0f;
        int pen = -1;
        tool(&a.type, &a.d, corner, &a.e, &a.f, &a.alpha, taper, further, &a.h, a.name, &shift,
             &pen);
        if (a.type >= 0) {
            a.r = corner[0];
            a.r2 = corner[1];
            a.beta = taper[0];
            a.extra = taper[1];
            a.further[0] = further[0];
            a.further[1] = further[0];
            a.further[2] = further[1];
            TakePluginToolAnswer(a, &ToolTableSet.tools[0]);
            if (shift >= 0.0f) {
                ToolTableSet.shifts[0] = shift;
            }
            if (pen >= 0) {
                ToolTableSet.pens[0] = ClampPen(pen);
            }
            ToolTableSet.lengths[0] = ToolLengthRecord{};
            ToolTableSet.arbors[0] = ArborProfile{};
            toolSet = 1;
        }
    }
    // 5. Length and holder.
    if (auto length = PluginExport<MxreadToolLenFn>(kPluginRead, r, kReadToolLen)) {
        int kind = static_cast<int>(ToolTableSet.lengths[0].kind);
        float values[3] = {};
        float staged[3] = {};
        length(&kind, &values[0], &values[1], &values[2], staged);
        TakeLengthAnswer(kind, values, staged, &ToolTableSet.lengths[0]);
    }
    if (auto arbor = PluginExport<MxreadArborFn>(kPluginRead, r, kReadArbor)) {
        int present = 0;
        int kind = 0;
        int count = 0;
        HolderLists lists;
        arbor(&present, &kind, &count, lists.diameters, lists.lengths, lists.codes);
        TakeArborAnswer(present, kind, count, lists, &ToolTableSet.arbors[0]);
    }
    // 6. The tool becomes current.
    if (toolSet && !RefusePluginToolOfNoMachine()) {
        MountPluginTool(session);
        session.run.toolChange.mountedTool = 0;
    }
    // 7. The start point into every position register.
    if (auto start = PluginExport<MxreadStartPointFn>(kPluginRead, r, kReadStartPoint)) {
        MotionPosition p = session.kinematics->pose.program;
        start(p.axis);
        startPointRefused = !AllFinite(p.axis, 5);
        if (startPointRefused) {
            return;
        }
        session.kinematics->pose.program = p;
        MotionRecord& m = session.kinematics->motion;
        m.start = m.end = m.lastPosition = m.startPoint = p;
        session.run.programmed = p;
        session.run.reference.runStartPoint = p;
        session.run.reference.keptPosition = p;
    }
}

int OpenPathReaderForRun(NcSession& session, const char* path) {
    const int r = ActivePathReaderSlot();
    if (r < 0) {
        return 0;
    }
    PluginPath = PluginPathRecord{};
    startPointRefused = false;
    if (auto open = PluginExport<MxreadOpenFn>(kPluginRead, r, kReadOpen)) {
        open(path != nullptr ? path : "");
    }
    ReadToolsFromPlugin(session);
    return 1;
}

void ClosePathReaderAfterRun() {
    const int r = ActivePathReaderSlot();
    if (auto close = PluginExport<MxreadCloseFn>(kPluginRead, r, kReadClose)) {
        const int reason = 3;
        close(&reason);
    }
}

int ActiveReaderHasBlockCount() {
    const int r = ActivePathReaderSlot();
    return PluginExport<MxreadTotalBlockFn>(kPluginRead, r, kReadTotalBlock) != nullptr ? 1 : 0;
}

int ReadActiveReaderBlockCount(const char* fileName, std::int32_t* count) {
    const int r = ActivePathReaderSlot();
    auto total = PluginExport<MxreadTotalBlockFn>(kPluginRead, r, kReadTotalBlock);
    if (total == nullptr || count == nullptr) {
        return 0;
    }
    std::int32_t n = 0;
    total(fileName != nullptr ? fileName : "", &n);
    *count = n > 0 ? n : 1;
    return 1;
}

void LoadToolFromPlugin(NcSession& session) {
    if (PluginSlots.nccomSwitchedOff.load() != 0) {
        return;
    }
    NccomExports x;
    x.tool = PluginExport<MxnccomToolFn>(kPluginNccom, 0, kNccomTool);
    if (x.tool == nullptr) {
        return;
    }
    x.length = PluginExport<MxnccomToolLenFn>(kPluginNccom, 0, kNccomToolLen);
    x.arbor = PluginExport<MxnccomArborFn>(kPluginNccom, 0, kNccomArbor);
    AskNccom(session, x, session.line.text, session.run.pluginQueryState);
}

void LoadToolFromPluginAtStart(NcSession& session, const std::string& path) {
    if (PluginSlots.nccomSwitchedOff.load() != 0) {
        return;
    }
    NccomExports x;
    x.tool = PluginExport<MxnccomToolFn>(kPluginNccom, 0, kNccomToolF);
    x.length = PluginExport<MxnccomToolLenFn>(kPluginNccom, 0, kNccomToolLenF);
    x.arbor = PluginExport<MxnccomArborFn>(kPluginNccom, 0, kNccomArborF);
    int states[3] = {};
    if (AskNccom(session, x, path.c_str(), states)) {
        session.run.pluginToolSupplied = 1;
    }
}

}  // namespace mirexa
