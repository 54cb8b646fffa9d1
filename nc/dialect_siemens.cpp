// The SIEMENS dialect: orientation angles and tool vectors, TRAORI and TRAFOOF, the CYCLE800
// argument list and its tilted plane, SUPA and T="name".
#include "nc/dialect_siemens.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// An orientation word A2=, B2=, C2= (kind 2: angle), A3=, B3=, C3= (kind 3: tool vector
// component); A4= and the like are read and not used.
void ReadOrientationWord(BlockScan* scan, char letter, int kind) {
    scan->cursor += 3;
    while (scan->At(scan->cursor) == ' ' || scan->At(scan->cursor) == '\t') {
        ++scan->cursor;
    }
    const double value = ReadWordValueToBlank(&scan->cursor, scan->line);
    const int k = letter - 'A';
    SiemensOrientationInput& o = scan->session->dialect.orientation;
    if (kind == 2) {
        o.angles[k] = value;
        o.anglesGiven = 1;
    } else if (kind == 3) {
        o.vector[k] = scan->session->controller.axisReversed[k] ? -value : value;
        o.vectorGiven = 1;
    } else {
        return;
    }
    if (scan->session->controller.resetToolCenterControl == 0) {
        scan->session->run.modal.toolCenterPointMode = kToolCentreByVector;
    }
}

// CYCLE800: a complete list tilts the plane at the block's end (G68.2); the reset list ends the
// plane, the rotation and the length compensation (G69).
void ApplyCycle800(BlockScan* scan) {
    NcModalState& modal = scan->session->run.modal;
    const int result = ParseCycle800Arguments(*scan->session, &scan->cursor, scan->line);
    if (result == 1) {
        modal.gCode = 682;
        scan->session->dialect.planeMode = kWorkPlaneCycle800;
    } else if (result == 0) {
        modal.gCode = 69;
        scan->session->kinematics->plane.active = 0;
        scan->session->kinematics->plane.mode = kWorkPlaneEulerAngles;
        scan->session->dialect.planeMode = 0;
        if (scan->session->run.transforms.rotationCount > 0) {
            scan->session->run.transforms.transformState = kTransformCancel;
        }
        modal.lengthCompensation = 0;
        SetLengthOffset(*scan->session, 0.0);
    }
}

// T="name" by name, T=n by number; nothing more of the line is read.
void SelectToolByWord(BlockScan* scan) {
    int at = scan->cursor + 2;
    scan->session->run.block.stopScan = 1;
    int tool = -1;
    if (scan->At(at) == '"') {
        const char* name = scan->line + at + 1;
        const char* close = std::strchr(name, '"');
        if (close != nullptr && close < scan->line + scan->end) {
            tool = FindToolByName(name, static_cast<int>(close - name));
            tool = tool > 0 ? tool : -1;
        }
    } else {
        tool = ReadWordInteger(&at, scan->line);
    }
    if (tool >= 0 && tool <= scan->session->controller.magazineCount) {
        SelectTool(*scan->session, tool);
    }
}

// TRAORI: tool centre point control by angles with the length offset of the current tool;
// TRAFOOF ends it (and the length compensation).
void SwitchTransformation(NcSession& session, bool on) {
    NcModalState& modal = session.run.modal;
    if (on) {
        modal.gCode = 43;
        if (session.controller.resetToolCenterControl == 0) {
            modal.toolCenterPointMode = kToolCentreByAngles;
        }
        modal.lengthCompensation = 1;
        SetLengthOffsetForCurrentTool(session);
    } else if (modal.toolCenterPointMode != kToolCentreOff || modal.lengthCompensation != 0) {
        modal.gCode = 49;
        CancelLengthCompensation(session);
    }
}

int ScanSiemensWord(BlockScan* scan) {
    const char letter = scan->At(scan->cursor);
    const char next = scan->At(scan->cursor + 1);
    if ((letter == 'A' || letter == 'B' || letter == 'C') && next >= '2' && next <= '6' &&
        scan->At(scan->cursor + 2) == '=') {
        ReadOrientationWord(scan, letter, next - '0');
        return 1;
    }
    int after = 0;
    const auto keyword = [&](const char* word) {
        if (!MatchDialectKeyword(scan->line, scan->cursor, word, &after)) {
            return false;
        }
        scan->cursor = after;
        return true;
    };
    if (keyword("TRAORI")) {
        SwitchTransformation(*scan->session, true);
        return 1;
    }
    if (keyword("TRAFOOF")) {
        SwitchTransformation(*scan->session, false);
        return 1;
    }
    if (keyword("CYCLE800")) {
        ApplyCycle800(scan);
        return 1;
    }
    if (keyword("ORIEULER")) {
        scan->session->dialect.orientation.convention = 0;
        return 1;
    }
    if (keyword("ORIRPY")) {
        scan->session->dialect.orientation.convention = scan->At(scan->cursor) == '2' ? 2 : 1;
        if (scan->At(scan->cursor) == '2') {
            ++scan->cursor;
        }
        return 1;
    }
    if (keyword("SUPA")) {
        scan->session->run.block.machineCoordinateBlock = 1;
        return 1;
    }
    if (letter == 'T' && next == '=') {
        SelectToolByWord(scan);
        return 1;
    }
    return 0;
}

// The tool orientation of the block (angles by the convention, or the tool vector) reaches the
// block end as its centre words.
void FinishSiemensWords(NcSession& session) {
    const NcDialectState& d = session.dialect;
    NcBlockState& block = session.run.block;
    if (session.run.modal.toolCenterPointMode != kToolCentreByVector ||
        !(d.orientation.anglesGiven || d.orientation.vectorGiven)) {
        return;
    }
    double axis[3] = {d.orientation.vector[0], d.orientation.vector[1], d.orientation.vector[2]};
    if (d.orientation.anglesGiven) {
        ComputeToolAxisFromAngles(axis, d.orientation.angles, d.orientation.convention);
    }
    for (int i = 0; i < 3; ++i) {
        block.centreWord[i] = axis[i];
    }
    block.centreWordSeen = 1;
    block.axisWordSeen = 1;
}

// A complete CYCLE800 builds its plane after the block end; an unknown rotation order leaves
// the plane as it was.
void CompleteSiemensBlock(NcSession& session) {
    const NcDialectState& s = session.dialect;
    if (s.planeMode != kWorkPlaneCycle800) {
        return;
    }
    TiltedWorkPlane& plane = session.kinematics->plane;
    const Cycle800Arguments& a = s.cycle800;
    const int previousOrder = plane.rotationOrderCode;
    double previousAngles[3];
    std::memcpy(previousAngles, plane.planeAngles, sizeof previousAngles);
    plane.rotationOrderCode = a.rotationOrder;
    for (int i = 0; i < 3; ++i) {
        plane.planeAngles[i] = a.angles[i];
    }
    if (!BuildTiltedPlaneMatrix(session, a.swivelDigits[5])) {
        plane.rotationOrderCode = previousOrder;
        std::memcpy(plane.planeAngles, previousAngles, sizeof previousAngles);
        return;
    }
    // The plane's origin: the reference point, then the offset along the turned axes.
    for (int i = 0; i < 3; ++i) {
        plane.origin[i] = a.referencePoint[i];
        for (int k = 0; k < 3; ++k) {
            plane.origin[i] += plane.matrix[3 * k + i] * a.offset[k];
        }
    }
    plane.mode = kWorkPlaneCycle800;
    plane.active = 1;
    SetLengthOffsetForCurrentTool(session);
    session.run.modal.lengthCompensation = 1;
}

}  // namespace

const ScannerDialect SiemensScanner = {
    .blockEnds = ";",
    .scanWord = ScanSiemensWord,
    .finishWords = FinishSiemensWords,
    .completeBlock = CompleteSiemensBlock,
};

int ParseCycle800Arguments(NcSession& session, int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int at = SkipDialectBlanks(line, *cursor);
    *cursor = end;
    if (line[at] != '(') {
        return 0;  // no list: as an empty one
    }
    ++at;
    // The fields, split at the commas outside quotes, up to the closing parenthesis.
    constexpr int kFields = 15;
    int fieldStart[kFields] = {}, fieldEnd[kFields] = {};
    int count = 0;
    bool quoted = false;
    int start = at;
    int close = -1;
    for (int i = at; i < end; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ')')) {
            if (count < kFields) {
                fieldStart[count] = start;
                fieldEnd[count] = i;
            }
            ++count;
            start = i + 1;
            if (c == ')') {
                close = i;
                break;
            }
        }
    }
    if (close < 0) {
        return -1;  // cut off by the line's end: not a list
    }
    *cursor = close + 1;
    if (MatchDialectKeyword(line, at, ",\"0", nullptr)) {
        return 0;  // the reset form
    }
    if (count == 1 && SkipDialectBlanks(line, fieldStart[0]) == fieldEnd[0]) {
        return 0;  // an empty list
    }
    Cycle800Arguments& a = session.dialect.cycle800;
    a = Cycle800Arguments{};
    const auto integer = [&](int k) {
        return k < count && k < kFields
                   ? ConvertWordInteger(line + fieldStart[k], fieldEnd[k] - fieldStart[k])
                   : 0;
    };
    const auto real = [&](int k) {
        return k < count && k < kFields
                   ? ConvertWordNumber(line + fieldStart[k], fieldEnd[k] - fieldStart[k])
                   : 0.0;
    };
    a.retractionMode = integer(0);
    if (count > 1) {
        const char* q1 = std::strchr(line + fieldStart[1], '"');
        const char* q2 =
            q1 != nullptr && q1 < line + fieldEnd[1] ? std::strchr(q1 + 1, '"') : nullptr;
        if (q2 != nullptr && q2 < line + fieldEnd[1]) {
            const int length = static_cast<int>(q2 - q1 - 1);
            const int kept = length < kSwivelNameCapacity - 1 ? length : kSwivelNameCapacity - 1;
            std::memcpy(a.swivelName, q1 + 1, static_cast<size_t>(kept));
            a.swivelName[kept] = '\0';
        }
    }
    a.swivelState = integer(2);
    int state = a.swivelState < 0 ? -a.swivelState : a.swivelState;
    for (int d = 5; d >= 0; --d) {
        a.swivelDigits[d] = state % 10;
        state /= 10;
    }
    a.rotationOrder = integer(3);
    if (a.rotationOrder == 0) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        a.referencePoint[i] = real(4 + i);
        a.angles[i] = real(7 + i);
        a.offset[i] = real(10 + i);
    }
    a.direction = integer(13);
    a.retractionValue = integer(14);
    return 1;
}

}  // namespace mirexa
