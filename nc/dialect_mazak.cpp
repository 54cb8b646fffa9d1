// The MAZAK dialect: the head angle mode word, G10.9, G122.1 and G123.1, and T0 after a tool
// word of the same block.
#include "nc/dialect_mazak.h"

#include "nc/controller_dialects.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// P1 sets the head angle mode, P0 clears it; other values are ignored.
int ScanMazakWord(BlockScan* scan) {
    if (scan->At(scan->cursor) != 'P' ||
        !(scan->session->run.block.toolWordSeen || scan->session->run.block.lengthCodeSeen)) {
        return 0;
    }
    ++scan->cursor;
    const int p = ReadWordInteger(&scan->cursor, scan->line);
    if (p == 0 || p == 1) {
        scan->session->dialect.mazakHeadAngleChanged =
            scan->session->dialect.mazakHeadAngleMode != p;
        scan->session->dialect.mazakHeadAngleMode = p;
    }
    return 1;
}

int ListsDecimal(int number, int decimal) {
    return (decimal == 1 && (number == 122 || number == 123)) || (decimal == 9 && number == 10);
}

// G10.9: the X that follows gives the diameter mode (0 radius, 1 diameter); G10 itself is the
// common data setting.
int StartDiameterModeWord(BlockScan* scan, GWord g) {
    if (g.decimal != 9) {
        return 0;
    }
    scan->session->dialect.diameterModeWord = 1;
    return 1;
}

// G122.1 radius, G123.1 diameter programming; the plain forms are nothing.
int SwitchDiameterProgramming(BlockScan* scan, GWord g) {
    if (g.decimal == 1) {
        scan->session->run.modal.diameterProgramming = g.number == 123 ? 1 : 0;
    }
    return 1;
}

const DialectGCode MazakGCodes[] = {
    {10, 10, StartDiameterModeWord},
    {122, 123, SwitchDiameterProgramming},
};

// T0 after a tool word of the same block does not undo the tool.
int PassesToolWord(NcSession& session, int t) {
    return t == 0 && session.run.block.toolWordSeen;
}

int TakeDiameterModeAxis(NcSession& session, int axis, double value) {
    if (!session.dialect.diameterModeWord || axis != 0) {
        return 0;
    }
    session.run.modal.diameterProgramming = value != 0.0 ? 1 : 0;
    return 1;
}

// A changed head angle mode turns the head offset vector by the block's rotary value.
void FinishMazakWords(NcSession& session) {
    if (session.dialect.mazakHeadAngleChanged && session.controller.automaticToolOffset) {
        SetToolVectorFromAngle(session, session.kinematics->motion.end.axis[3]);
    }
}

}  // namespace

const ScannerDialect MazakScanner = {
    .scanWord = ScanMazakWord,
    .listsDecimal = ListsDecimal,
    .gCodes = MazakGCodes,
    .gCodeCount = sizeof MazakGCodes / sizeof MazakGCodes[0],
    .toolWord = PassesToolWord,
    .axisData = TakeDiameterModeAxis,
    .finishWords = FinishMazakWords,
};

}  // namespace mirexa
