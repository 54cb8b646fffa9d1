// The path-reader and NC communication queries with in-process stand-ins for a plug-in's
// exports: records traced as moves, the plane of the tool-axis form, tool changes, the tool,
// length and start point of a reader, and the query states of the NC communication plug-in.
#include "nc/plugin_queries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "config/current_tool.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/plugin_slots.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"
#include "services/ui_hooks.h"

namespace mirexa {
namespace {

// What the stand-in reader hands out, one record per PATH or PATHIJK call.
struct FakeRecord {
    int line;
    int type;
    double end[3];
    double centre[3];
    double feed;
};
std::vector<FakeRecord> Records;
std::size_t NextRecord = 0;
int Calls[4] = {};  // nccom TOOL, TOOLLEN, ARBOR; reader OPEN
int NccomToolState = 1;

void FakePath(int* line, int* type, void*, double* end, double* centre, int* plane, double* feed,
              char*, int*, int* more) {
    if (NextRecord >= Records.size()) {
        *more = 0;
        return;
    }
    const FakeRecord& r = Records[NextRecord++];
    *line = r.line;
    *type = r.type;
    for (int i = 0; i < 3; ++i) {
        end[i] = r.end[i];
        centre[i] = r.centre[i];
    }
    *plane = 17;
    *feed = r.feed;
}

void FakePathIjk(int* line, int* type, double* end, double* axis, double* feed, char*, int*,
                 int* more) {
    int plane = 18;
    double centre[3];
    FakePath(line, type, nullptr, end, centre, &plane, feed, nullptr, nullptr, more);
    axis[0] = axis[1] = 0.0;
    axis[2] = 1.0;
}

class PluginQueriesTest : public testing::NcInterpreterTest {
protected:
    void SetUp() override {
        NcInterpreterTest::SetUp();
        ASSERT_EQ(AllocToolTables(5), 1);
        Records.clear();
        NextRecord = 0;
        std::memset(Calls, 0, sizeof Calls);
        NccomToolState = 1;
        UiHooks.activePathReader = [] { return 0; };
    }
    void TearDown() override {
        // The stand-ins are no shared objects: the table is emptied, never unloaded.
        for (PluginFamilySlots& f : PluginSlots.family) {
            f = PluginFamilySlots{};
        }
        FreeToolTables();
        NcInterpreterTest::TearDown();
    }
    // Installs a stand-in in slot 0 of the family with the given exports.
    static PluginSlot& Install(int family, std::initializer_list<std::pair<int, void*>> exports) {
        PluginFamilySlots& f = PluginSlots.family[family];
        f.count = 1;
        f.slot[0] = PluginSlot{};
        f.slot[0].module = &f;  // any non-null handle marks the slot loaded
        for (const auto& [index, address] : exports) {
            f.slot[0].exports[index] = address;
        }
        return f.slot[0];
    }
};

TEST_F(PluginQueriesTest, ReaderRecordsRunAsBlocksWithTheirArcsAndToolChanges) {
    Install(kPluginRead, {{kReadPath, reinterpret_cast<void*>(FakePath)}});
    Records = {{10, 0, {0, 0, 0}, {}, 0},
               {11, 1005, {}, {}, 0},
               {12, 2, {10, 10, 0}, {10, 0, 0}, 100},
               {0, 1, {10, 20, -1}, {}, 100}};
    // The program file is never read: the reader stands in for it.
    EXPECT_EQ(Trace("G01 X99. Y99.\n"), Move(10, 0, 0, 0, 0, 0) +
                                            Arc(12, 2, 10, 10, 0, 10, 0, 0, M_PI / 2, 100) +
                                            Move(13, 1, 10, 20, -1, 100) + "END state 2 error 0\n");

    // The tool change record names tool 5 for the block and prepares it.
    ResetInterpreterState(RunSession);
    PluginPathRecord change;
    change.type = 1005;
    InterpretPluginPathRecord(RunSession, change);
    EXPECT_EQ(RunSession.run.modal.toolNumber, 5);
    EXPECT_EQ(RunSession.run.modal.nextTool, 5);
    EXPECT_EQ(RunKinematics.motion.blockHasMotion, 0);
}

TEST_F(PluginQueriesTest, AReaderWithOnlyTheToolAxisFormGivesTheXyPlane) {
    Install(kPluginRead, {{kReadPathIjk, reinterpret_cast<void*>(FakePathIjk)}});
    Records = {{1, 1, {5, 0, 0}, {}, 50}, {2, 3, {0, 5, 0}, {0, 0, 0}, 50}};
    PluginPathRecord r;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(FetchPluginPathRecord(RunSession, &r), 1);
        EXPECT_EQ(r.plane, 17);
        EXPECT_EQ(r.toolAxisForm, 1);
    }
    EXPECT_EQ(FetchPluginPathRecord(RunSession, &r), 0);
    // Without a reader of the slot there is nothing to fetch.
    UiHooks.activePathReader = [] { return 1; };
    EXPECT_EQ(ActivePathReaderSlot(), -1);
}

// TOOL of a reader: the staged pairs, the extra size of a type above 100, and a name without
// its end; then the start point in every register.
TEST_F(PluginQueriesTest, AReadersToolAndStartPointBecomeCurrent) {
    static const MxreadToolFn tool = [](int* type, float* d, float* corner, float*, float*, float*,
                                        float* taper, float* further, float* h, char* name, float*,
                                        int* pen) {
        *type = 105;
        *d = 12.0f;
        corner[0] = 1.0f;
        corner[1] = 9.0f;  // T-THROW only
        taper[0] = 3.0f;
        taper[1] = 4.5f;
        further[0] = 2.0f;
        *h = 30.0f;
        std::memset(name, 'N', MIREXA_PLUGIN_TEXT_SIZE + 10);
        *pen = 99;
    };
    static const MxreadStartPointFn start = [](double* p) {
        p[0] = 1.0;
        p[1] = 2.0;
        p[2] = 3.0;
    };
    Install(kPluginRead, {{kReadTool, reinterpret_cast<void*>(tool)},
                          {kReadStartPoint, reinterpret_cast<void*>(start)},
                          {kReadPath, reinterpret_cast<void*>(FakePath)}});
    ASSERT_EQ(OpenPathReaderForRun(RunSession, "/w/part.mvl"), 1);
    const ToolRecord& t = ToolTableSet.tools[0];
    EXPECT_EQ(t.type, 5u);
    EXPECT_EQ(t.d, 12.0f);
    EXPECT_EQ(t.r, 1.0f);
    EXPECT_EQ(t.r2, 0.0f);
    EXPECT_EQ(t.beta, 3.0f);
    EXPECT_EQ(t.w, 4.5f);
    EXPECT_EQ(t.k, 2.0f);
    EXPECT_EQ(t.name, std::string(MIREXA_PLUGIN_TEXT_SIZE - 1, 'N'));
    EXPECT_EQ(ToolTableSet.pens[0], 15);
    EXPECT_EQ(RunTools.tool.derivedFrom, 0);
    const MotionPosition* registers[] = {
        &RunKinematics.pose.program, &RunKinematics.motion.start,
        &RunKinematics.motion.end,   &RunKinematics.motion.lastPosition,
        &RunSession.run.programmed,  &RunSession.run.reference.runStartPoint};
    for (const MotionPosition* p : registers) {
        EXPECT_EQ(p->axis[0], 1.0);
        EXPECT_EQ(p->axis[2], 3.0);
    }
}

// The NC communication plug-in: type 101 is a BALL with an extra size; state 2 of the tool
// query stops only that query, until the interpreter is reset.
TEST_F(PluginQueriesTest, NcCommunicationToolsAndTheirQueryStates) {
    static const MxnccomToolFn tool = [](const char*, int* type, float* d, float*, float*, float*,
                                         float*, float*, float* h, float* extra, char* name,
                                         float* length, int*, int* state) {
        ++Calls[0];
        *type = 101;
        *d = 6.0f;
        *h = 15.0f;
        extra[0] = 0.25f;
        std::strcpy(name, "B6");
        *length = 40.0f;
        *state = NccomToolState;
    };
    static const MxnccomToolLenFn length = [](const char*, int* kind, float* v1, float*, float*,
                                              float*, int* state) {
        ++Calls[1];
        *kind = 1;
        *v1 = 44.0f;
        *state = 2;
    };
    static const MxnccomArborFn arbor = [](const char*, int*, int*, int*, float*, float*,
                                           std::int32_t*, int* state) {
        ++Calls[2];
        *state = 0;
    };
    Install(kPluginNccom, {{kNccomTool, reinterpret_cast<void*>(tool)},
                           {kNccomToolLen, reinterpret_cast<void*>(length)},
                           {kNccomArbor, reinterpret_cast<void*>(arbor)}});
    NccomToolState = 2;
    // The tool display panel shows each tool the plug-in mounts.
    static int repaints = 0;
    repaints = 0;
    NcUpHooks.repaintToolPanel = [] { ++repaints; };
    LoadToolFromPlugin(RunSession);
    EXPECT_EQ(repaints, 1);
    const ToolRecord& t = ToolTableSet.tools[0];
    EXPECT_EQ(t.type, static_cast<std::uint32_t>(kToolBall));
    EXPECT_EQ(t.w, 0.25f);
    EXPECT_EQ(t.r, 3.0f);  // derived for a BALL
    EXPECT_EQ(t.name, "B6");
    EXPECT_EQ(ToolTableSet.lengths[0].values[0], 44.0f);
    EXPECT_EQ(RunSession.run.pluginToolSupplied, 1);
    EXPECT_EQ(RunTools.tool.derivedFrom, 0);
    LoadToolFromPlugin(RunSession);
    // Tool and length said 2: only the holder is asked again.
    EXPECT_EQ(Calls[0], 1);
    EXPECT_EQ(Calls[1], 1);
    EXPECT_EQ(Calls[2], 2);
    ResetInterpreterState(RunSession);
    LoadToolFromPlugin(RunSession);
    EXPECT_EQ(Calls[0], 2);
    // Switched off from its menu item, the plug-in is not asked.
    PluginSlots.nccomSwitchedOff.store(1);
    LoadToolFromPlugin(RunSession);
    EXPECT_EQ(Calls[0], 2);
    PluginSlots.nccomSwitchedOff.store(0);
    NcUpHooks.repaintToolPanel = nullptr;
}

}  // namespace
}  // namespace mirexa
