// The NURBS block reader: control point lines and knot lines of a G06.2 or G132 curve.
#include "nc/nurbs_blocks.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
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

int AxisOfLetter(NcSession& session, char c) {
    for (int i = 0; i < 3; ++i) {
        if (session.controller.axes.coordinateLetters[i] == c) {
            return i;
        }
    }
    return -1;
}

// An axis word of a control point as the interpreter places it: the axis sign, the increment
// from the last programmed value, diameter programming, the scaling about its centre (not in a
// G92 block). The programmed value follows.
double PlaceControlCoordinate(NcSession& session, int axis, double value) {
    if (session.controller.axisReversed[axis]) {
        value = -value;
    }
    if (session.run.modal.incremental) {
        value += session.run.programmed.axis[axis];
    }
    session.run.programmed.axis[axis] = value;
    if (axis == 0 && session.run.modal.diameterProgramming && !session.controller.dialect.osp) {
        value /= 2.0;
    }
    if (session.run.modal.gCode != 92) {
        ScaleAxisValue(session, axis, &value);
    }
    return value;
}

// Scans one line from the cursor: the knot letter, X, Y, Z, R, and on the first line P (the
// order) and F (the feed). Comments in parentheses are passed over; in the dialects where ";"
// starts a comment the line ends there.
NurbsLineWords ScanCurveLine(NcSession& session, const char* line, int cursor, char knotLetter,
                             bool first) {
    NurbsLineWords w;
    const bool semicolonComment =
        session.controller.dialect.siemens || session.controller.dialect.heidenhain;
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
        const int axis = AxisOfLetter(session, c);
        if (c == knotLetter) {
            w.knotSeen = 1;
            w.knot = ReadWordCoordinate(session, &i, line);
        } else if (axis >= 0) {
            w.named[axis] = 1;
            w.value[axis] = ReadWordCoordinate(session, &i, line);
        } else if (c == 'R') {
            w.weightSeen = 1;
            w.weight = ReadWordCoordinate(session, &i, line);
        } else if (c == 'P' && first) {
            session.nurbs.order = ReadWordInteger(&i, line);
        } else if (c == 'F' && first) {
            ApplyFeedWord(session, &i, line);
        }
    }
    return w;
}

bool HasPointWord(const NurbsLineWords& w) {
    return w.named[0] || w.named[1] || w.named[2] || w.weightSeen;
}

// The failure of a curve: no move, no curve, the interpreter error.
int FailCurve(NcSession& session, int code, const double entryEnd[3],
              const MotionPosition& entryProgrammed) {
    MotionRecord& m = session.kinematics->motion;
    for (int a = 0; a < 3; ++a) {
        m.end.axis[a] = entryEnd[a];
        m.start.axis[a] = entryEnd[a];
    }
    session.run.programmed = entryProgrammed;
    session.nurbs.pointCount = session.nurbs.knotCount = 0;
    session.run.block.axisWordSeen = 0;
    m.blockHasMotion = 0;
    session.run.status.error = kNcErrorNurbs;
    return code;
}

}  // namespace

int ReadNurbsBlocks(NcSession& session, const char* line, int cursor, char knotLetter) {
    MotionRecord& m = session.kinematics->motion;
    const double entryEnd[3] = {m.end.axis[0], m.end.axis[1], m.end.axis[2]};
    const MotionPosition entryProgrammed = session.run.programmed;
    if (!AllocNurbsBuffers(session)) {
        return FailCurve(session, kNurbsNoMemory, entryEnd, entryProgrammed);
    }
    NurbsCurveData& c = session.nurbs;
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
        const NurbsLineWords w = ScanCurveLine(session, text, at, knotLetter, first);
        const bool belongs = w.knotSeen && !(pointsDone && HasPointWord(w)) && (first || w.anyWord);
        if (!first && !w.anyWord) {
            // A blank or comment line inside the curve: passed over.
        } else if (!belongs) {
            if (!first) {
                PushBackNcLine(session, before, beforeCounter);
            }
            return FailCurve(session, kNurbsMissingKnot, entryEnd, entryProgrammed);
        } else {
            if (!pointsDone && HasPointWord(w)) {
                if (i >= kNurbsPointsMax) {
                    return FailCurve(session, kNurbsTooMany, entryEnd, entryProgrammed);
                }
                for (int a = 0; a < 3; ++a) {
                    if (w.named[a]) {
                        previous[a] = PlaceControlCoordinate(session, a, w.value[a]);
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
                    return FailCurve(session, kNurbsBadOrder, entryEnd, entryProgrammed);
                }
                c.pointCount = i;
                c.knotCount = i + c.order;
                if (c.knotCount > kNurbsKnotsMax) {
                    return FailCurve(session, kNurbsTooMany, entryEnd, entryProgrammed);
                }
            }
            if (i >= kNurbsKnotsMax) {
                return FailCurve(session, kNurbsTooMany, entryEnd, entryProgrammed);
            }
            c.knot[i] = w.knot;
            ++i;
            if (pointsDone && i >= c.knotCount) {
                break;
            }
            before = session.line;
            const int level = session.subprograms.depth - 1;
            beforeCounter = level >= 0 ? session.subprograms.lineCounter[level] : 0;
        }
        if (!ReadNextNcLine(session)) {
            return FailCurve(session, kNurbsCutOff, entryEnd, entryProgrammed);
        }
        text = session.line.text;
        at = 0;
        first = false;
    }
    const int valid = ValidateNurbsCurve(c);
    if (valid != kNurbsValid) {
        return FailCurve(session, valid, entryEnd, entryProgrammed);
    }
    // The move's start and end both hold the last control point; the curve itself is stepped
    // from the session's NURBS curve.
    for (int a = 0; a < 3; ++a) {
        m.end.axis[a] = previous[a];
        m.start.axis[a] = previous[a];
    }
    session.run.block.axisWordSeen = 1;
    for (int a = 0; a < 3; ++a) {
        session.run.block.axisNamed[a] = session.run.block.axisNamed[a] || named[a];
    }
    m.blockHasMotion = 1;
    if (session.controller.checkF0 && m.feed == 0.0) {
        session.run.status.error = kNcErrorFeedZero;
    }
    return 1;
}

}  // namespace mirexa
