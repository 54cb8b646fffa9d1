// The stop test before a line: by option and dialect, the user's stop, the comments offered to
// the NC communication plug-in and the path reader's blocks.
#include <gtest/gtest.h>

#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "nc/stop_blocks.h"
#include "nc_test_fixture.h"
#include "services/ui_hooks.h"

namespace mirexa {
namespace {

using StopBlockTest = testing::NcInterpreterTest;

int Comments = 0;
void CountComment(NcSession&) {
    ++Comments;
}
int PathReaderIndex() {
    return 0;
}

// By option and dialect; the user's stop stops whatever the line; a path reader's blocks stop only
// on the user's request or in single-block mode.
TEST_F(StopBlockTest, StopByOptionDialectUsersStopAndPathReader) {
    enum Dialect { kPlain, kSiemens, kHeidenhain };
    enum Source { kProgram, kUserStop, kPathReader, kPathReaderUserStop };
    const struct {
        int option;
        Dialect dialect;
        const char* line;
        int stop;
        Source source = kProgram;
    } cases[] = {
        {2, kPlain, "M01\n", 1},
        {2, kPlain, "N10 M1\n", 1},
        {2, kPlain, "M00\n", 1},
        {2, kPlain, "M01 M08\n", 0},  // the last M number decides
        {2, kPlain, "M08 M01\n", 1},
        {2, kPlain, "M010\n", 0},
        {2, kPlain, "G00 X1.\n", 0},
        {2, kPlain, "M01 (M08)\n", 1},  // comments are skipped
        {2, kPlain, "MX M01\n", 0},     // an M without a number ends the scan
        {2, kPlain, "M123456789012 M1\n", 1},
        {2, kPlain, "M1 M123456789012\n", 0},
        {1, kPlain, "M00\n", 1},
        {1, kPlain, "M0\n", 1},
        {1, kPlain, "M01\n", 0},
        {1, kPlain, "G04 M1 (M0)\n", 0},
        {1, kPlain, "M2 M00 M5\n", 0},
        {3, kPlain, "G00 X1.\n", 1},
        {0, kPlain, "M00\n", 0},
        {7, kPlain, "M00\n", 0},
        {4, kPlain, "G00 X1. (CHECK HERE)\n", 1},
        {4, kPlain, "G00 X1. (CHECK\n", 1},
        {4, kPlain, "G00 X1. (HECK)\n", 0},
        {1, kSiemens, "G00 ; M00\n", 0},
        {1, kPlain, "G00 ; M00\n", 1},
        {1, kHeidenhain, "L X0 M0 M3\n", 1},  // only M0 is read
        {1, kPlain, "L X0 M0 M3\n", 0},
        {2, kHeidenhain, "L X0 M1 M5\n", 1},
        {2, kHeidenhain, "L X0 M1 M5 ; M0\n", 1},
        {1, kHeidenhain, "L X0 M1\n", 0},
        {2, kPlain, "G00 X1.\n", 1, kUserStop},
        {0, kPlain, "G00 X1.\n", 1, kUserStop},
        {2, kPlain, "M01\n", 0, kPathReader},
        {2, kPlain, "M01\n", 1, kPathReaderUserStop},
        {3, kPlain, "G01 X1.\n", 1, kPathReader},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        RunSession.controller = {};
        RunSession.controller.stopOption = c.option;
        RunSession.controller.stopStrings = {"", "CHECK"};
        RunSession.controller.dialect.siemens = c.dialect == kSiemens;
        RunSession.controller.dialect.heidenhain = c.dialect == kHeidenhain;
        const bool reader = c.source == kPathReader || c.source == kPathReaderUserStop;
        const int userStop = c.source == kUserStop || c.source == kPathReaderUserStop ? 1 : 0;
        UiHooks.activePathReader = reader ? PathReaderIndex : nullptr;
        EXPECT_EQ(IsStopBlock(RunSession, c.line, userStop), c.stop)
            << "option " << c.option << ", source " << c.source;
    }
}

// Each comment offers its tool to the NC communication plug-in.
TEST_F(StopBlockTest, EachCommentOffersItsToolToThePlugin) {
    NcUpHooks.loadToolFromPlugin = CountComment;
    RunSession.controller.stopOption = 2;
    Comments = 0;
    EXPECT_EQ(IsStopBlock(RunSession, "(T1 D10)(T2) M01\n", 0), 1);
    EXPECT_EQ(Comments, 2);
    NcUpHooks = {};
}

}  // namespace
}  // namespace mirexa
