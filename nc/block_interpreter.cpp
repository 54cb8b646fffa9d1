// The block interpreter: the word loop over one NC line and the effect of each common letter as
// it is met; the dialect in force reads its own words first.
#include "nc/block_interpreter.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "geometry/machine_kinematics.h"
#include "nc/block_end.h"
#include "nc/block_scanner.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/g_codes.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/scanner_dialects.h"
#include "nc/tool_change_moves.h"

namespace mirexa {

void ReadAxisWord(BlockScan* scan, int axis, bool alwaysIncremental) {
    double value = ReadWordCoordinate(*scan->session, &scan->cursor, scan->line);
    if (scan->session->controller.axisReversed[axis]) {
        value = -value;
    }
    NcBlockState& block = scan->session->run.block;
    if (block.dwellBlock && axis == 0) {
        return;  // G04 X: the dwell, read with the G04
    }
    if (block.lengthAxisFromWord) {
        scan->session->kinematics->modes.lengthCompensationAxis = axis;
        block.lengthAxisFromWord = 0;
    }
    PlaceAxisValue(scan, axis, value, alwaysIncremental);
}

namespace {

// The blocks whose axis words are data for a transform or an origin rather than a move: G10,
// G52, G53, G51, G51.1/G50.1, G68.2, G68 and G92. 1 when the value was taken.
int PlaceTransformValue(NcSession& session, int axis, double value, bool incremental) {
    NcBlockState& block = session.run.block;
    NcTransformState& t = session.run.transforms;
    MotionRecord& m = session.kinematics->motion;
    double* programmed = session.run.programmed.axis;
    if (block.dataSetting) {
        block.dataValue[axis] = value;
        block.dataNamed[axis] = 1;
        return 1;
    }
    if (block.localCoordinateBlock) {
        const int index = session.run.modal.workOffsetIndex;
        if (index >= 0 && index < kWorkOffsetEntries) {
            t.localShift[index].axis[axis] =
                value + (incremental ? t.localShift[index].axis[axis] : 0.0);
        }
        return 1;
    }
    if (block.machineCoordinateBlock) {
        m.end.axis[axis] = value - session.kinematics->workOrigin.axis[axis];
        programmed[axis] = m.end.axis[axis];
        return 1;
    }
    if (block.scalingBlock && axis < 3) {
        t.scaleCentre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return 1;
    }
    if (block.mirrorBlock != 0 && axis < 3) {
        t.mirror[axis] = block.mirrorBlock > 0 ? 1 : 0;
        t.mirrorCentre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return 1;
    }
    if (block.tiltedPlaneBlock && axis < 3) {
        session.kinematics->plane.origin[axis] = value;
        return 1;
    }
    if (block.rotationBlock && t.transformState == kTransformPending && axis < 3) {
        t.pendingRotation.centre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return 1;
    }
    if (block.coordinateSettingBlock) {
        programmed[axis] = value;
        m.end.axis[axis] = value;
        return 1;
    }
    return 0;
}

}  // namespace

void PlaceAxisValue(const BlockScan* scan, int axis, double value, bool alwaysIncremental) {
    const ScannerDialect& dialect = *scan->dialect;
    if (dialect.axisData != nullptr && dialect.axisData(*scan->session, axis, value)) {
        return;
    }
    NcModalState& modal = scan->session->run.modal;
    NcBlockState& block = scan->session->run.block;
    double* programmed = scan->session->run.programmed.axis;
    const bool incremental = alwaysIncremental || modal.incremental;
    block.axisWordSeen = 1;
    block.axisNamed[axis] = 1;
    if (modal.lengthCancelState == 1 && modal.gCode != 49) {
        modal.lengthCancelState = 2;
    }
    if (PlaceTransformValue(*scan->session, axis, value, incremental)) {
        return;
    }
    if (modal.cycleCode != kNoCycle && axis == modal.plane.normal) {
        // Inside a canned cycle the drilling-axis word is the hole bottom (an increment from the
        // R level under incremental data); the block moves only in the plane.
        modal.cycleDepthWord = value;
        return;
    }
    if (incremental) {
        value += programmed[axis];
    }
    if (modal.referenceReturnMode != kReturnNone && modal.referenceReturnMode != kReturnCheck) {
        // G28/G30: the intermediate point; G29: the target. The step driver makes the legs.
        programmed[axis] = value;
        if (modal.referenceReturnMode == kReturnFromReference) {
            scan->session->run.reference.g29Target.axis[axis] = value;
            scan->session->run.reference.g29Named[axis] = 1;
        } else {
            scan->session->run.reference.intermediate.axis[axis] = value;
            scan->session->run.reference.intermediateNamed[axis] = 1;
        }
        return;
    }
    programmed[axis] = value;
    const bool diameterKept =
        dialect.keepsDiameter != nullptr && dialect.keepsDiameter(*scan->session);
    if (axis == 0 && modal.diameterProgramming && !diameterKept) {
        value /= 2.0;
    }
    if (axis < 3 && modal.gCode != 92) {
        ScaleAxisValue(*scan->session, axis, &value);
    }
    scan->session->kinematics->motion.end.axis[axis] = value;
}

namespace {

// The common letters of one line on the scan, with the dialect in force.
class BlockScanner {
public:
    BlockScanner(NcSession& session, const char* line, const ScannerDialect& dialect)
        : dialect_(dialect), scan_{&session, line, 0, 0, &dialect} {}
    void Run();

private:
    char At(int i) const {
        return scan_.line[i];
    }
    int* Cursor() {
        return &scan_.cursor;
    }
    const char* Line() const {
        return scan_.line;
    }
    bool DialectLetter(char letter) {
        return dialect_.letterWord != nullptr && dialect_.letterWord(&scan_, letter);
    }
    void ReadLetter(char letter);
    void HandleM();
    void HandleT();
    void HandleRotary(int index, bool alwaysIncremental);
    void HandleCycleK();
    void HandleCentre(int axis);
    void HandleSpeed();
    void HandleLengthNumber();
    void HandleRadiusNumber();
    void HandleP();
    void HandleQ();
    void HandleL();
    void HandleR();
    bool MatchUserCode();
    void SkipComment();

    const ScannerDialect& dialect_;
    BlockScan scan_;
};

void BlockScanner::Run() {
    const char* line = scan_.line;
    const char* ends = dialect_.blockEnds;
    scan_.end = static_cast<int>(*ends != '\0' ? std::strcspn(line, ends) : std::strlen(line));
    while (scan_.cursor < scan_.end && !scan_.session->run.block.stopScan) {
        if (MatchUserCode()) {
            continue;
        }
        if (dialect_.scanWord != nullptr && dialect_.scanWord(&scan_)) {
            continue;
        }
        const char letter = At(scan_.cursor);
        if (letter == '(') {
            SkipComment();
            continue;
        }
        ++scan_.cursor;
        ReadLetter(letter);
        // Any other character (blank, "/", ";", lower-case text, unknown letters) is passed
        // over: the letters leave their value text, which the next round skips too.
    }
}

void BlockScanner::ReadLetter(char letter) {
    const NcControllerView& c = scan_.session->controller;
    const int axis = LetterIndex(letter, c.axes.coordinateLetters, 3);
    const int incremental = LetterIndex(letter, c.axes.incrementalLetters, 5);
    const int centre = LetterIndex(letter, c.axes.arcCentreLetters, 3);
    const int rotary = c.rotaryType != 0 ? LetterIndex(letter, c.axes.rotaryLetters, 2) : -1;
    if (letter == 'G') {
        ApplyGWord(&scan_);
    } else if (letter == 'M') {
        HandleM();
    } else if (letter == 'T') {
        HandleT();
    } else if (axis >= 0) {
        ReadAxisWord(&scan_, axis, false);
    } else if (incremental >= 0 && incremental < 3) {
        ReadAxisWord(&scan_, incremental, true);
    } else if (incremental >= 3) {
        HandleRotary(incremental - 3, true);
    } else if (letter == 'K' && scan_.session->run.modal.cycleCode != kNoCycle &&
               scan_.session->run.modal.toolCenterPointMode == kToolCentreOff) {
        HandleCycleK();
    } else if (centre >= 0) {
        HandleCentre(centre);
    } else if (letter == 'F') {
        ApplyFeedWord(*scan_.session, Cursor(), Line());
    } else if (letter == 'S') {
        HandleSpeed();
    } else if (letter == 'O') {
        scan_.session->run.modal.programNumberWord = ReadWordInteger(Cursor(), Line());
    } else if (letter == 'N') {
        scan_.session->run.modal.sequenceNumber = ReadWordInteger(Cursor(), Line());
    } else if (letter == 'W' && scan_.session->run.modal.gCode == 8110) {
        scan_.session->run.block.offsetWithTableEntry = ReadWordInteger(Cursor(), Line());
    } else if (letter == 'D') {
        HandleRadiusNumber();
    } else if (letter == 'H') {
        HandleLengthNumber();
    } else if (letter == 'P') {
        HandleP();
    } else if (letter == 'Q') {
        HandleQ();
    } else if (letter == 'L') {
        HandleL();
    } else if (letter == 'R') {
        HandleR();
    } else if (rotary >= 0) {
        HandleRotary(rotary, false);
    }
}

void BlockScanner::SkipComment() {
    const char* close = std::strchr(scan_.line + scan_.cursor, ')');
    scan_.cursor = close != nullptr ? static_cast<int>(close - scan_.line) + 1 : scan_.end;
}

bool BlockScanner::MatchUserCode() {
    const NcControllerView& c = scan_.session->controller;
    const char* here = scan_.line + scan_.cursor;
    const auto take = [&](const std::string& code) {
        if (code.empty() || std::strncmp(here, code.c_str(), code.size()) != 0) {
            return false;
        }
        scan_.cursor += static_cast<int>(code.size());
        return true;
    };
    for (int k = 0; k < 2; ++k) {
        if (take(c.latheOnCode[k])) {
            scan_.session->run.userSwitch[k] = 1;
            return true;
        }
        if (take(c.latheOffCode[k])) {
            scan_.session->run.userSwitch[k] = 0;
            return true;
        }
    }
    if (take(c.cutOnCode)) {
        scan_.session->run.cuttingEnabled = 1;
        return true;
    }
    if (take(c.cutOffCode)) {
        scan_.session->run.cuttingEnabled = 0;
        return true;
    }
    return false;
}

// K inside a canned cycle: the repeat count (K0 by the controller's rule), unless the dialect
// reads it otherwise.
void BlockScanner::HandleCycleK() {
    if (DialectLetter('K')) {
        return;
    }
    const int k = ReadWordInteger(Cursor(), Line());
    if (k >= 0) {
        scan_.session->run.modal.cycleRepeat =
            k == 0 ? (scan_.session->controller.ignoreK0 ? 1 : 0) : k;
    }
}

// A speed beyond the int range saturates (rpm); no number gives 0.
void BlockScanner::HandleSpeed() {
    const double speed = ReadWordReal(Cursor(), Line());
    scan_.session->run.modal.spindleSpeed = !(speed == speed)  ? 0
                                            : speed >= INT_MAX ? INT_MAX
                                            : speed <= INT_MIN ? INT_MIN
                                                               : static_cast<int>(speed);
}

void BlockScanner::HandleM() {
    int digitsEnd = scan_.cursor;
    while (At(digitsEnd) >= '0' && At(digitsEnd) <= '9') {
        ++digitsEnd;
    }
    const int n = ReadWordInteger(Cursor(), Line());
    NcModalState& modal = scan_.session->run.modal;
    NcBlockState& block = scan_.session->run.block;
    if (block.tiltedPlaneBlock && scan_.session->controller.dialect.number == kDialectNormal) {
        block.tiltedSource = n;
        return;
    }
    MarkCodeUsed(UsedCodes.m, n);
    modal.mCode = n;
    for (size_t k = 0; k < scan_.session->controller.waitMCodes.size(); ++k) {
        if (scan_.session->controller.waitMCodes[k].code == n) {
            scan_.session->run.waitMCode = static_cast<int>(k);
        }
    }
    if (dialect_.applyM != nullptr && dialect_.applyM(&scan_, n)) {
        return;
    }
    switch (n) {
        case 3:
            modal.spindleDirection = 1;
            break;
        case 4:
            modal.spindleDirection = -1;
            break;
        case 5:
            modal.spindleDirection = 0;
            break;
        case 6:
            if (scan_.session->controller.toolChangeRouteSteps > 0) {
                PrepareToolChangeMoves(*scan_.session);
            }
            break;
        case 2:
        case 30:
            EndProgramByM(*scan_.session);
            break;
        case 98:
        case 198:
            if (At(digitsEnd) == '<' &&
                scan_.session->controller.dialect.number == kDialectNormal) {
                // M98<NAME>: the name begins with a letter and ends before ">".
                scan_.cursor = digitsEnd;
                const char* name = scan_.line + scan_.cursor + 1;
                const char* close = std::strchr(name, '>');
                const bool letter =
                    (*name >= 'A' && *name <= 'Z') || (*name >= 'a' && *name <= 'z');
                if (close != nullptr && letter) {
                    OpenSubprogramByName(*scan_.session, name, static_cast<int>(close - name));
                    scan_.cursor = static_cast<int>(close - scan_.line) + 1;
                }
            } else {
                block.subprogramCall = n;
            }
            break;
        case 99:
            if (ReturnFromSubprogram(*scan_.session)) {
                block.stopScan = 1;
            }
            break;
        default:
            break;
    }
}

void BlockScanner::HandleT() {
    const int t = ReadWordInteger(Cursor(), Line());
    NcModalState& modal = scan_.session->run.modal;
    const NcControllerView& c = scan_.session->controller;
    const int digits = c.directToolDigits;
    if (digits >= 1 && digits <= 8) {
        int scale = 1;
        for (int i = 0; i < digits; ++i) {
            scale *= 10;
        }
        const int tool = t / scale, offset = t % scale;
        if (t < 0 || tool > c.magazineCount || offset >= kToolOffsetEntries) {
            return;
        }
        scan_.session->run.block.toolWordSeen = 1;
        modal.toolNumber = t;
        modal.nextTool = tool;
        scan_.session->run.toolChange.lastToolWord = tool;
        modal.lengthOffsetNumber = offset;
        if (offset != 0) {
            modal.toolNumber = tool;
            modal.lengthCompensation = 1;
            ApplyModalLengthOffset(*scan_.session);
            SelectLengthAxis(*scan_.session, 0);
        } else if (!c.autoLengthOffset) {
            if (c.g49Mode && modal.lengthCompensation != 0) {
                modal.lengthCancelState = 1;
            }
            modal.lengthCompensation = 0;
            SetLengthOffset(*scan_.session, 0.0);
        }
        return;
    }
    // A tool number outside the magazine would index past the tool tables: refused.
    if (t < 0 || t > c.magazineCount) {
        return;
    }
    if (dialect_.toolWord != nullptr && dialect_.toolWord(*scan_.session, t)) {
        return;
    }
    SelectTool(*scan_.session, t);
}

void BlockScanner::HandleRotary(int index, bool alwaysIncremental) {
    const NcControllerView& c = scan_.session->controller;
    double value = 0.0;
    if (scan_.session->words.inputUnitMode == 3) {
        value = ReadWordReal(Cursor(), Line());
    } else {
        value = ReadWordScaled(Cursor(), Line(), c.angleIncrement);
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
    }
    if (c.axes.rotarySignFlags[index]) {
        value = -value;
    }
    if (scan_.session->run.block.tiltedPlaneBlock) {
        scan_.session->run.block.tiltedRotaryGiven[index] = 1;
    }
    PlaceAxisValue(&scan_, 3 + index, value, alwaysIncremental);
}

void BlockScanner::HandleCentre(int axis) {
    NcBlockState& block = scan_.session->run.block;
    NcTransformState& t = scan_.session->run.transforms;
    if (block.scalingBlock) {
        t.scaleFactor[axis] =
            ReadWordScaled(Cursor(), Line(), scan_.session->controller.scaleIncrement);
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
        return;
    }
    if (block.tiltedPlaneBlock) {
        scan_.session->kinematics->plane.planeAngles[axis] =
            scan_.session->words.inputUnitMode == 3
                ? ReadWordReal(Cursor(), Line())
                : ReadWordScaled(Cursor(), Line(), scan_.session->controller.angleIncrement);
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
        return;
    }
    double value = ReadWordCoordinate(*scan_.session, Cursor(), Line());
    if (block.rotationBlock && t.transformState == kTransformPending) {
        if (value != 0.0) {
            t.pendingRotation.kind = axis + 1;
        }
        return;
    }
    if (scan_.session->controller.axisReversed[axis]) {
        value = -value;
    }
    if (t.scaling && t.scaleEnabled[axis]) {
        value *= t.scalingCommon ? t.scaleCommonFactor : t.scaleFactor[axis];
    }
    block.centreWord[axis] = value;
    block.centreWordSeen = 1;
    block.centreSource = 1;
    if (dialect_.centreWord != nullptr) {
        dialect_.centreWord(*scan_.session, axis, value);
    }
}

void BlockScanner::HandleLengthNumber() {
    if (DialectLetter('H')) {
        return;
    }
    int h = ReadWordInteger(Cursor(), Line());
    if (h < 0) {
        return;  // a negative offset number is refused
    }
    if (h >= kToolOffsetEntries) {
        h = 0;
    }
    scan_.session->run.modal.lengthOffsetNumber = h;
    if (h == 0) {
        if (!scan_.session->controller.autoLengthOffset) {
            SetLengthOffset(*scan_.session, 0.0);
        }
        return;
    }
    ApplyModalLengthOffset(*scan_.session);
}

void BlockScanner::HandleRadiusNumber() {
    int d = ReadWordInteger(Cursor(), Line());
    if (d < 0) {
        return;
    }
    scan_.session->run.modal.radiusOffsetNumber = d >= kToolOffsetEntries ? 0 : d;
    UpdateCompensationRadius(*scan_.session);
}

void BlockScanner::HandleP() {
    NcModalState& modal = scan_.session->run.modal;
    NcBlockState& block = scan_.session->run.block;
    if (block.scalingBlock && scan_.session->controller.dialect.number != kDialectNormal) {
        scan_.session->run.transforms.scaleCommonFactor = ReadWordReal(Cursor(), Line());
        scan_.session->run.transforms.scalingCommon = 1;
        return;
    }
    if (block.scalingBlock) {
        scan_.session->run.transforms.scaleCommonFactor =
            ReadWordScaled(Cursor(), Line(), scan_.session->controller.scaleIncrement);
        scan_.session->run.transforms.scalingCommon = 1;
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
        return;
    }
    if (block.dataSetting) {
        block.dataSettingEntry = ReadWordInteger(Cursor(), Line());
        return;
    }
    if ((modal.cycleCode != kNoCycle && !dialect_.ownsCyclePWords) || block.dwellBlock) {
        modal.dwellTime = ReadWordMilliAlways(Cursor(), Line());
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
        return;
    }
    if (block.subprogramCall != 0) {
        const int number = ReadWordInteger(Cursor(), Line());
        if (block.subprogramCall == 98) {
            EnterSubprogramFromMemory(*scan_.session, number);
        } else {
            OpenSubprogramByNumber(*scan_.session, number);
        }
        block.stopScan = 1;
        return;
    }
    if (modal.referenceReturnMode == kReturnViaIntermediate && modal.gCode == 30) {
        const int p = ReadWordInteger(Cursor(), Line());
        // Only the four reference points exist: P1 to P4.
        if (p >= 1 && p <= kReferencePoints) {
            modal.referencePointIndex = p - 1;
        }
        return;
    }
    modal.dwellTime = ReadWordMilliAlways(Cursor(), Line());
    scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
}

void BlockScanner::HandleQ() {
    NcBlockState& block = scan_.session->run.block;
    if (block.tiltedPlaneBlock) {
        block.tiltedTarget = ReadWordInteger(Cursor(), Line());
        return;
    }
    if (DialectLetter('Q')) {
        return;
    }
    scan_.session->run.modal.cyclePeck = ReadWordCoordinate(*scan_.session, Cursor(), Line());
}

void BlockScanner::HandleL() {
    NcBlockState& block = scan_.session->run.block;
    if (block.dataSetting) {
        block.dataSettingKind = ReadWordInteger(Cursor(), Line());
        return;
    }
    if (DialectLetter('L')) {
        return;
    }
    const int l = ReadWordInteger(Cursor(), Line());
    if (l < 0) {
        return;
    }
    if (l == 0 && scan_.session->run.modal.cycleCode != kNoCycle) {
        scan_.session->run.modal.cycleRepeat = scan_.session->controller.ignoreL0 ? 1 : 0;
    } else {
        scan_.session->run.modal.cycleRepeat = l;
    }
}

void BlockScanner::HandleR() {
    NcBlockState& block = scan_.session->run.block;
    NcModalState& modal = scan_.session->run.modal;
    if (block.rotationBlock && scan_.session->run.transforms.transformState == kTransformPending) {
        scan_.session->run.transforms.pendingRotation.angle =
            ReadWordScaled(Cursor(), Line(), scan_.session->controller.angleIncrement);
        scan_.cursor = FindWordEnd(scan_.cursor, scan_.line);
        return;
    }
    const double value = ReadWordCoordinate(*scan_.session, Cursor(), Line());
    if (block.dataSetting) {
        block.dataRadius = value;
        block.dataRadiusSeen = 1;
        return;
    }
    if (modal.cycleCode != kNoCycle) {
        modal.cycleRWord = value;  // the cycle expansion takes the level from it
        return;
    }
    block.radiusWord = value;
    block.centreSource = 2;
}

}  // namespace

void ApplyFeedWord(NcSession& session, int* cursor, const char* line) {
    const NcControllerView& c = session.controller;
    const int start = *cursor;
    const double value = ReadWordReal(cursor, line);
    const int textLength = *cursor - start;
    const bool indexed = c.feedWordMode == 1 || (c.feedWordMode == 2 && textLength <= 1) ||
                         (c.feedWordMode == 3 && textLength <= 2);
    double feed = value;
    if (indexed) {
        const double index = std::trunc(value);
        // An index outside the feed memory would read past it: the word is refused.
        if (!(index >= 0 && index < kFeedMemoryEntries)) {
            return;
        }
        session.run.modal.feedCode = static_cast<int>(index);
        feed = c.offsets.feedMemory != nullptr ? c.offsets.feedMemory[session.run.modal.feedCode]
                                               : 0.0;
    }
    session.kinematics->motion.feed = feed;
    session.run.modal.programmedFeed = feed;
    if (ActiveScannerDialect(session).feedEndsRapid &&
        session.kinematics->motion.motionType == kMotionRapid) {
        session.kinematics->motion.motionType = kMotionLine;
    }
}

void ClearBlockWords(NcSession& session) {
    NcModalState& modal = session.run.modal;
    modal.gCode = 0;
    modal.toolNumber = 0;
    modal.spindleSpeed = 0;
    modal.sequenceNumber = 0;
    modal.programNumberWord = 0;
    modal.mCode = -1;
    modal.cycleRepeat = 1;
}

void PublishKinematicsModes(NcSession& session) {
    const NcModalState& modal = session.run.modal;
    KinematicsModeFlags& k = session.kinematics->modes;
    k.lengthCompensation = modal.lengthCompensation != 0 ? 1 : 0;
    k.incrementalMode = modal.incremental;
    k.polarInterpolation = modal.polarInterpolation == kPolarOn ? 1 : 0;
    k.cylindricalInterpolation = modal.cylindricalInterpolation;
    k.machineCoordinateMove = session.run.block.machineCoordinateBlock;
    k.lastGCode = modal.gCode;
    k.toolCenterControl = modal.toolCenterPointMode;
    k.planeCoordinates = session.kinematics->plane.active;
    k.automaticToolOffset = session.controller.automaticToolOffset;
}

void InterpretNcBlock(NcSession& session, const char* line) {
    MotionRecord& m = session.kinematics->motion;
    m.start = m.end;
    const ScannerDialect& dialect = ActiveScannerDialect(session);
    const NcBlockState previous = session.run.block;
    session.run.block = NcBlockState{};
    // WAIT2: the T words of earlier blocks prepare the tool that an M06 of this block mounts; a
    // T word of this block prepares the next one.
    session.run.toolChange.stagedTool = session.run.toolChange.lastToolWord;
    if (dialect.keepsCentreWords) {
        for (int i = 0; i < 3; ++i) {
            session.run.block.centreWord[i] = previous.centreWord[i];
        }
    }
    session.run.waitMCode = -1;
    m.feed = session.run.modal.programmedFeed;
    ClearDialectBlock(session);
    BlockScanner scanner(session, line, dialect);
    scanner.Run();
    if (dialect.finishWords != nullptr) {
        dialect.finishWords(session);
    }
    CompleteNcBlock(session);
    if (dialect.completeBlock != nullptr) {
        dialect.completeBlock(session);
    }
    PublishKinematicsModes(session);
}

}  // namespace mirexa
