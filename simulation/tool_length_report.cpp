// The tool-length report line (both languages) and the motion state snapshot.
#include "simulation/tool_length_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"

namespace mirexa {

namespace {

// The margin added to printed lengths and heights (mm).
constexpr double kLengthMargin = 1.0;

// A line under construction: appends formatted text, never past the capacity.
struct LineText {
    char* out = {};
    int capacity = {};
    int length = {};

    void Append(const char* format, ...) {
        if (length >= capacity - 1) {
            return;
        }
        va_list arguments;
        va_start(arguments, format);
        const int written = std::vsnprintf(
            out + length, static_cast<std::size_t>(capacity - length), format, arguments);
        va_end(arguments);
        if (written > 0) {
            length = std::min(length + written, capacity - 1);
        }
    }
};

// Cuts a UTF-8 text of the given length back to its last whole character.
void DropPartialCharacter(char* text, std::size_t length) {
    std::size_t lead = length;
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return;
    }
    const unsigned char first = static_cast<unsigned char>(text[lead - 1]);
    const std::size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length - (lead - 1) < needed) {
        text[lead - 1] = '\0';
    }
}

bool Asked(int check) {
    return check == kToolLengthCheckOutput;
}

}  // namespace

void ClearToolLengthMeasurements(ToolLengthMeasurements& measured) {
    measured = ToolLengthMeasurements{};
}

void FormatToolLengthReportLine(const ToolLengthReportOutput& report,
                                const ToolLengthMeasurements& m, char* out, int capacity) {
    if (out == nullptr || capacity < 1) {
        return;
    }
    out[0] = '\0';
    LineText line{out, capacity, 0};
    const CurrentToolBrief& tool = CurrentToolState;
    const bool english = UiLanguage.load(std::memory_order_relaxed) == 1;
    char name[256] = {};
    if (UiHooks.currentToolTypeName != nullptr) {
        UiHooks.currentToolTypeName(name, sizeof name);
        name[sizeof name - 1] = '\0';
        DropPartialCharacter(name, std::strlen(name));
    }
    if (tool.fromPlugin) {
        line.Append("TMP:%s", name);
    } else {
        line.Append("T%02d:%s", tool.number, name);
    }
    if (Asked(report.arborCheck)) {
        if (tool.hasHolder) {
            line.Append(english ? ":Length=%8.3f" : ":突出=%8.3f以上", m.stickOut + kLengthMargin);
        } else {
            line.Append("%s", english ? ":ARBOR not defined " : ":ARBOR未定義（算出不能） ");
        }
        if (tool.lengthKind >= 2) {
            const double lu = m.neckLu + kLengthMargin;
            if (m.neckSearch[0] == m.neckSearch[1]) {
                line.Append(
                    "%s", english ? ":Lu= Unsettled or Lt= Unsettled" : ":首下= 不定 or Lt= 不定");
            } else if (m.neckLt < 0.0) {
                line.Append(english ? ":Lu=%7.3f or Lt= NG" : ":首下=%7.3f or Lt= NG", lu);
            } else {
                line.Append(english ? ":Lu=%7.3f or Lt=%7.3f" : ":首下=%7.3f or Lt=%7.3f以上", lu,
                            m.neckLt + kLengthMargin);
            }
        }
    }
    if (Asked(report.heightCheck)) {
        line.Append(english ? ":Height=%8.3f" : ":刃長=%8.3f以上", m.edgeHeight + kLengthMargin);
    }
    if (Asked(report.chipWidthCheck)) {
        if (tool.shapeType == 5) {
            line.Append(english ? ":TipW=%8.3f" : ":チップ幅=%8.3f以上", m.tipWidth);
        } else if (tool.shapeType == 9) {
            line.Append(english ? ":CenterH=%8.3f" : ":中心高さ=%8.3f以上", m.centreHeight);
        } else {
            line.Append("%s", english ? ":NOT VERTICAL " : ":NOT VERTICAL（算出不能）");
        }
    }
    // The line end always fits: it replaces the last character of a line cut at the capacity.
    if (line.length >= capacity - 1 && capacity >= 2) {
        line.length = capacity - 2;
    }
    if (capacity >= 2) {
        out[line.length] = '\n';
        out[line.length + 1] = '\0';
    }
}

int WriteToolLengthReportLine(const ToolLengthReportOutput& report,
                              ToolLengthMeasurements& measured) {
    const bool asked =
        Asked(report.arborCheck) || Asked(report.heightCheck) || Asked(report.chipWidthCheck);
    if (!asked || report.batchKind >= BatchRunKind::kResult || !measured.lineDue) {
        return 0;
    }
    char line[kToolLengthLineCapacity];
    FormatToolLengthReportLine(report, measured, line, sizeof line);
    int result = -1;
    if (report.stream != nullptr && std::fputs(line, report.stream) >= 0) {
        result = 1;
    }
    ClearToolLengthMeasurements(measured);
    return result;
}

namespace {

void Capture(const MachinePose& pose, const MotionPosition& workOrigin, MotionStateSnapshot* out) {
    out->program = pose.program;
    out->machine = pose.machine;
    out->workOrigin = workOrigin;
    for (int i = 0; i < 3; ++i) {
        out->toolPoint[i] = pose.tool.point[i];
        out->toolAxis[i] = pose.tool.axis[i];
    }
}

}  // namespace

void CaptureMotionState(const KinematicsSessionRecords& records, MotionStateSnapshot* out) {
    Capture(records.pose, records.workOrigin, out);
}

void CaptureMotionState(NcSession& session, MotionStateSnapshot* out) {
    Capture(session.kinematics->pose, session.kinematics->workOrigin, out);
}

void SaveMotionState(const KinematicsSessionRecords& records, MotionStateSnapshot* snapshot) {
    snapshot->toolNumber = CurrentToolState.number;
    CaptureMotionState(records, snapshot);
}

void SaveMotionState(NcSession& session, MotionStateSnapshot* snapshot) {
    snapshot->toolNumber = CurrentToolState.number;
    CaptureMotionState(session, snapshot);
}

}  // namespace mirexa
