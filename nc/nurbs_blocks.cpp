// The NURBS block reader: control point lines and knot lines of a G06.2 or G132 curve.
#include "nc/nurbs_blocks.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// The words of one curve line.
struct NurbsLineWords {
    int anyWord = {};   // something besides blanks and comments stood on the line
    int knotSeen = {};  // the knot letter
    double knot = {};
    int named[3] = {};  // X, Y, Z
    double value[3] = {};
    int weightSeen = {};
    double weight = {};
};

int AxisOfLetter(char c) {
    for (int i = 0; i < 3; ++i) {
        if (NcController.axes.coordinateLetters[i] == c) {
            return i;
        }
    }
    return -1;
}

// An axis word of a control point as the interpreter places it: the axis sign, the increment
// from the last programmed value, diameter programming, the scaling about its centre (not in a
// G92 block). The programmed value follows.
double PlaceControlCoordinate(int axis, double value) {
    if (NcController.axisReversed[axis]) {
        value = -value;
    }
    if (NcRun.modal.incremental) {
        value += NcRun.programmed.axis[axis];
    }
    NcRun.programmed.axis[axis] = value;
    if (axis == 0 && NcRun.modal.diameterProgramming && !NcController.dialect.osp) {
        value /= 2.0;
    }
    if (NcRun.modal.gCode != 92) {
        ScaleAxisValue(axis, &value);
    }
    return value;
}

// Scans one line from the cursor: the knot letter, X, Y, Z, R, and on the first line P (the
// order) and F (the feed). Comments in parentheses are passed over; in the dialects where ";"
// starts a comment the line ends there.
NurbsLineWords ScanCurveLine(const char* line, int cursor, char knotLetter, bool first) {
    NurbsLineWords w;
    const bool semicolonComment = NcController.dialect.siemens || NcController.dialect.heidenhain;
    int i = cursor;
    while (line[i] != '\0' && line[i] != '\n') {
        const char c = line[i];
        if (c == '(') {
            const char* close = std::strchr(line + i, ')');
            if (close == nullptr) {
                break;
            }
            i = static_cast<int>(close - line) + 1;
            continue;
        }
        if (c == ';' && semicolonComment) {
            break;
        }
        if (c != ' ' && c != '\t' && c != '\r') {
            w.anyWord = 1;
        }
        ++i;
        if (c < 'A' || c > 'Z') {
            continue;
        }
        const int axis = AxisOfLetter(c);
        if (c == knotLetter) {
            w.knotSeen = 1;
            w.knot = ReadWordCoordinate(&i, line);
        } else if (axis >= 0) {
            w.named[axis] = 1;
            w.value[axis] = ReadWordCoordinate(&i, line);
        } else if (c == 'R') {
            w.weightSeen = 1;
            w.weight = ReadWordCoordinate(&i, line);
        } else if (c == 'P' && first) {
            NurbsCurve.order = ReadWordInteger(&i, line);
        } else if (c == 'F' && first) {
            ApplyFeedWord(&i, line);
        }
    }
    return w;
}

bool HasPointWord(const NurbsLineWords& w) {
    return w.named[0] || w.named[1] || w.named[2] || w.weightSeen;
}

// The failure of a curve: no move, no curve, the interpreter error.
int FailCurve(int code, const double entryEnd[3], const MotionPosition& entryProgrammed) {
    MotionRecord& m = CurrentMotion;
    for (int a = 0; a < 3; ++a) {
        m.end.axis[a] = entryEnd[a];
        m.start.axis[a] = entryEnd[a];
    }
    NcRun.programmed = entryProgrammed;
    NurbsCurve.pointCount = NurbsCurve.knotCount = 0;
    NcRun.block.axisWordSeen = 0;
    m.blockHasMotion = 0;
    NcRun.status.error = kNcErrorNurbs;
    return code;
}

}  // namespace

int ReadNurbsBlocks(const char* line, int cursor, char knotLetter) {
    MotionRecord& m = CurrentMotion;
    const double entryEnd[3] = {m.end.axis[0], m.end.axis[1], m.end.axis[2]};
    const MotionPosition entryProgrammed = NcRun.programmed;
    if (!AllocNurbsBuffers()) {
        return FailCurve(kNurbsNoMemory, entryEnd, entryProgrammed);
    }
    NurbsCurveData& c = NurbsCurve;
    c.order = kNurbsOrderDefault;
    c.pointCount = c.knotCount = 0;
    double previous[3] = {entryEnd[0], entryEnd[1], entryEnd[2]};
    int named[3] = {};  // the axes some control point named
    // The curve's last line, put back in place when a line that is not the curve's is pushed
    // back.
    NcLineBuffer before = {};
    int beforeCounter = 0;
    const char* text = line;
    int at = cursor;
    bool first = true;
    bool pointsDone = false;
    int i = 0;
    for (;;) {
        const NurbsLineWords w = ScanCurveLine(text, at, knotLetter, first);
        const bool belongs = w.knotSeen && !(pointsDone && HasPointWord(w)) && (first || w.anyWord);
        if (!first && !w.anyWord) {
            // A blank or comment line inside the curve: passed over.
        } else if (!belongs) {
            if (!first) {
                PushBackNcLine(before, beforeCounter);
            }
            return FailCurve(kNurbsMissingKnot, entryEnd, entryProgrammed);
        } else {
            if (!pointsDone && HasPointWord(w)) {
                if (i >= kNurbsPointsMax) {
                    return FailCurve(kNurbsTooMany, entryEnd, entryProgrammed);
                }
                for (int a = 0; a < 3; ++a) {
                    if (w.named[a]) {
                        previous[a] = PlaceControlCoordinate(a, w.value[a]);
                        named[a] = 1;
                    }
                }
                c.x[i] = previous[0];
                c.y[i] = previous[1];
                c.z[i] = previous[2];
                c.weight[i] = w.weightSeen ? w.weight : 1.0;
            } else if (!pointsDone) {
                // The first knot line: the order must hold before it sizes the knot vector.
                pointsDone = true;
                if (c.order < kNurbsOrderMin || c.order > kNurbsOrderMax) {
                    return FailCurve(kNurbsBadOrder, entryEnd, entryProgrammed);
                }
                c.pointCount = i;
                c.knotCount = i + c.order;
                if (c.knotCount > kNurbsKnotsMax) {
                    return FailCurve(kNurbsTooMany, entryEnd, entryProgrammed);
                }
            }
            if (i >= kNurbsKnotsMax) {
                return FailCurve(kNurbsTooMany, entryEnd, entryProgrammed);
            }
            c.knot[i] = w.knot;
            ++i;
            if (pointsDone && i >= c.knotCount) {
                break;
            }
            before = NcLine;
            const int level = Subprograms.depth - 1;
            beforeCounter = level >= 0 ? Subprograms.lineCounter[level] : 0;
        }
        if (!ReadNextNcLine()) {
            return FailCurve(kNurbsCutOff, entryEnd, entryProgrammed);
        }
        text = NcLine.text;
        at = 0;
        first = false;
    }
    const int valid = ValidateNurbsCurve(c);
    if (valid != kNurbsValid) {
        return FailCurve(valid, entryEnd, entryProgrammed);
    }
    // The move's start and end both hold the last control point; the curve itself is stepped
    // from NurbsCurve.
    for (int a = 0; a < 3; ++a) {
        m.end.axis[a] = previous[a];
        m.start.axis[a] = previous[a];
    }
    NcRun.block.axisWordSeen = 1;
    for (int a = 0; a < 3; ++a) {
        NcRun.block.axisNamed[a] = NcRun.block.axisNamed[a] || named[a];
    }
    m.blockHasMotion = 1;
    if (NcController.checkF0 && m.feed == 0.0) {
        NcRun.status.error = kNcErrorFeedZero;
    }
    return 1;
}

}  // namespace mirexa
