// The tool-length report line: golden lines in both languages, the margins, the parts each
// check asks for, one line per cut, a missing stream, long names; the motion state snapshot.
#include "simulation/tool_length_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

std::string ToolName;

void NameHook(char* out, std::size_t capacity) {
    std::strncpy(out, ToolName.c_str(), capacity);  // may leave it unterminated when too long
}

class ToolLengthReportLine : public ::testing::Test {
protected:
    // The report output of the test's run.
    ToolLengthReportOutput output_;

    void SetUp() override {
        savedHooks_ = UiHooks;
        savedLanguage_ = UiLanguage.load();
        UiHooks.currentToolTypeName = NameHook;
        ToolName = "Vertical Mill";
        CurrentToolState = {};
        CurrentToolState.number = 7;
        CurrentToolState.hasHolder = 1;
        CurrentToolState.lengthKind = 2;
        CurrentToolState.shapeType = 5;
        output_ = {};
        output_.arborCheck = output_.heightCheck = output_.chipWidthCheck = kToolLengthCheckOutput;
        report_ = std::fopen(dir_.At("report.txt").c_str(), "w+");
        ASSERT_NE(report_, nullptr);
        output_.stream = report_;
        Measure();
    }
    void TearDown() override {
        std::fclose(report_);
        UiHooks = savedHooks_;
        UiLanguage = savedLanguage_;
        output_ = {};
        ClearToolLengthMeasurements(TestRun.cutting.measured);
        CurrentToolState = {};
    }

    // Measured values of a cut: a line is due.
    static void Measure() {
        ToolLengthMeasurements& m = TestRun.cutting.measured;
        m.lineDue = 1;
        m.stickOut = 52.25;
        m.neckLu = 20.0;
        m.neckLt = 31.5;
        m.neckSearch[0] = 0.0;
        m.neckSearch[1] = 499.0;
        m.edgeHeight = 9.125;
        m.tipWidth = 3.5;
        m.centreHeight = 1.75;
    }

    // The lines written so far.
    std::string Written() {
        std::fflush(report_);
        return testing::ReadWholeFile(dir_.At("report.txt"));
    }

    std::string Line(int language) {
        UiLanguage = language;
        char line[kToolLengthLineCapacity];
        FormatToolLengthReportLine(output_, TestRun.cutting.measured, line, sizeof line);
        return line;
    }

    testing::ScratchDirectory dir_;
    std::FILE* report_ = {};
    ProgressHooks savedHooks_ = {};
    int savedLanguage_ = {};
};

TEST_F(ToolLengthReportLine, GoldenLinesInBothLanguages) {
    EXPECT_EQ(Line(1),
              "T07:Vertical Mill:Length=  53.250:Lu= 21.000 or Lt= 32.500:Height=  10.125"
              ":TipW=   3.500\n");
    ToolName = "バーティカルミル";
    EXPECT_EQ(Line(0),
              "T07:バーティカルミル:突出=  53.250以上:首下= 21.000 or Lt= 32.500以上"
              ":刃長=  10.125以上:チップ幅=   3.500以上\n");
    // A radius tool reports its centre height, any other type that nothing can be said.
    CurrentToolState.shapeType = 9;
    EXPECT_NE(Line(1).find(":CenterH=   1.750\n"), std::string::npos);
    EXPECT_NE(Line(0).find(":中心高さ=   1.750以上\n"), std::string::npos);
    CurrentToolState.shapeType = 1;
    EXPECT_NE(Line(1).find(":NOT VERTICAL \n"), std::string::npos);
    EXPECT_NE(Line(0).find(":NOT VERTICAL（算出不能）\n"), std::string::npos);
    // A tool given by a communication plug-in has no number.
    CurrentToolState.fromPlugin = 1;
    ToolName = "Vertical Mill";
    EXPECT_EQ(Line(1).substr(0, 18), "TMP:Vertical Mill:");
}

TEST_F(ToolLengthReportLine, NeckPartFollowsTheLengthRecordAndTheSearch) {
    output_.heightCheck = output_.chipWidthCheck = 0;
    CurrentToolState.lengthKind = 1;
    EXPECT_EQ(Line(1), "T07:Vertical Mill:Length=  53.250\n");
    CurrentToolState.lengthKind = 3;
    TestRun.cutting.measured.neckLt = -0.5;
    EXPECT_EQ(Line(1), "T07:Vertical Mill:Length=  53.250:Lu= 21.000 or Lt= NG\n");
    EXPECT_EQ(Line(0), "T07:Vertical Mill:突出=  53.250以上:首下= 21.000 or Lt= NG\n");
    TestRun.cutting.measured.neckSearch[0] = TestRun.cutting.measured.neckSearch[1] = 499.0;
    EXPECT_EQ(Line(1), "T07:Vertical Mill:Length=  53.250:Lu= Unsettled or Lt= Unsettled\n");
    EXPECT_EQ(Line(0), "T07:Vertical Mill:突出=  53.250以上:首下= 不定 or Lt= 不定\n");
    // Without a holder the length cannot be given, the neck part still is.
    CurrentToolState.hasHolder = 0;
    EXPECT_EQ(Line(1), "T07:Vertical Mill:ARBOR not defined :Lu= Unsettled or Lt= Unsettled\n");
    EXPECT_EQ(Line(0), "T07:Vertical Mill:ARBOR未定義（算出不能） :首下= 不定 or Lt= 不定\n");
}

TEST_F(ToolLengthReportLine, OneLinePerCutAndOnlyWhenAskedFor) {
    UiLanguage = 1;
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), 1);
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), 0);  // no new cut
    const std::string once = Written();
    EXPECT_EQ(std::count(once.begin(), once.end(), '\n'), 1);
    EXPECT_EQ(TestRun.cutting.measured.stickOut, 0.0);
    EXPECT_EQ(TestRun.cutting.measured.tipWidth, 0.0);
    EXPECT_EQ(TestRun.cutting.measured.lineDue, 0);
    // No check asks for output, or a run mode of 4 and above: nothing, and the values stay.
    Measure();
    output_.arborCheck = 2;
    output_.heightCheck = output_.chipWidthCheck = 3;
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), 0);
    output_.heightCheck = kToolLengthCheckOutput;
    output_.batchKind = BatchRunKind::kResult;
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), 0);
    EXPECT_EQ(TestRun.cutting.measured.stickOut, 52.25);
    output_.batchKind = BatchRunKind::kSkip;
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), 1);
    EXPECT_EQ(Written(), once + "T07:Vertical Mill:Height=  10.125\n");
}

TEST_F(ToolLengthReportLine, MissingStreamStillClearsTheValues) {
    output_.stream = nullptr;
    EXPECT_EQ(WriteToolLengthReportLine(output_, TestRun.cutting.measured), -1);
    EXPECT_EQ(TestRun.cutting.measured.lineDue, 0);
    EXPECT_EQ(TestRun.cutting.measured.neckLu, 0.0);
    EXPECT_EQ(Written(), "");
}

TEST_F(ToolLengthReportLine, LongNamesAreBounded) {
    ToolName = std::string(300, 'N');
    const std::string line = Line(1);
    EXPECT_EQ(line.substr(0, 4), "T07:");
    EXPECT_EQ(line.find(std::string(256, 'N')), std::string::npos);
    EXPECT_EQ(line.back(), '\n');
    // A name cut inside a character loses that character, not the text after it.
    ToolName = std::string(254, 'N') + "工具";
    const std::string cut = Line(1);
    EXPECT_EQ(cut.substr(0, 4 + 254 + 1), "T07:" + std::string(254, 'N') + ":");
    // A tiny buffer still gets a terminated line end.
    char tiny[6];
    FormatToolLengthReportLine(output_, TestRun.cutting.measured, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "T07:\n");
}

TEST(MotionSnapshot, SavesTheCurrentMotionState) {
    const MachinePose savedPose = RunKinematics.pose;
    const MotionPosition savedOrigin = RunKinematics.workOrigin;
    CurrentToolState.number = 12;
    for (int i = 0; i < 5; ++i) {
        RunKinematics.pose.program.axis[i] = 10 + i;
        RunKinematics.pose.machine.axis[i] = 20 + i;
        RunKinematics.workOrigin.axis[i] = 30 + i;
    }
    for (int i = 0; i < 3; ++i) {
        RunKinematics.pose.tool.point[i] = 40 + i;
        RunKinematics.pose.tool.axis[i] = i == 1 ? 1.0 : 0.0;
    }
    EXPECT_EQ(MotionStateSnapshot{}.toolNumber, -1);
    MotionStateSnapshot snapshot;
    SaveMotionState(RunSession, &snapshot);
    EXPECT_EQ(snapshot.toolNumber, 12);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(snapshot.program.axis[i], 10 + i);
        EXPECT_EQ(snapshot.machine.axis[i], 20 + i);
        EXPECT_EQ(snapshot.workOrigin.axis[i], 30 + i);
    }
    EXPECT_EQ(snapshot.toolPoint[2], 42);
    EXPECT_EQ(snapshot.toolAxis[1], 1.0);
    RunKinematics.pose = savedPose;
    RunKinematics.workOrigin = savedOrigin;
    CurrentToolState = {};
}

// The records forms save the given records' pose and work origin, exactly as the session forms do
// with those records in the session, and leave the run's records as they stood.
TEST(MotionSnapshot, RecordsFormsSaveTheGivenRecordsOnly) {
    KinematicsSessionRecords given;
    for (int i = 0; i < 5; ++i) {
        given.pose.program.axis[i] = 10 + i;
        given.pose.machine.axis[i] = 20 + i;
        given.workOrigin.axis[i] = 30 + i;
    }
    for (int i = 0; i < 3; ++i) {
        given.pose.tool.point[i] = 40 + i;
        given.pose.tool.axis[i] = i == 0 ? 1.0 : 0.0;
    }
    CurrentToolState.number = 5;
    const MachinePose boundPose = RunKinematics.pose;
    const MotionPosition boundOrigin = RunKinematics.workOrigin;
    auto same = [](const MotionStateSnapshot& a, const MotionStateSnapshot& b) {
        return a.toolNumber == b.toolNumber &&
               std::memcmp(&a.program, &b.program, sizeof a.program) == 0 &&
               std::memcmp(&a.machine, &b.machine, sizeof a.machine) == 0 &&
               std::memcmp(&a.workOrigin, &b.workOrigin, sizeof a.workOrigin) == 0 &&
               std::memcmp(a.toolPoint, b.toolPoint, sizeof a.toolPoint) == 0 &&
               std::memcmp(a.toolAxis, b.toolAxis, sizeof a.toolAxis) == 0;
    };
    struct Form {
        const char* name;
        void (*fromGiven)(const KinematicsSessionRecords& records, MotionStateSnapshot* out);
        void (*fromSession)(NcSession& session, MotionStateSnapshot* out);
    };
    const Form forms[] = {
        {"capture",
         [](const KinematicsSessionRecords& r, MotionStateSnapshot* out) {
             CaptureMotionState(r, out);
         },
         [](NcSession& s, MotionStateSnapshot* out) { CaptureMotionState(s, out); }},
        {"save",
         [](const KinematicsSessionRecords& r, MotionStateSnapshot* out) {
             SaveMotionState(r, out);
         },
         [](NcSession& s, MotionStateSnapshot* out) { SaveMotionState(s, out); }},
    };
    for (const Form& form : forms) {
        MotionStateSnapshot saved;
        form.fromGiven(given, &saved);
        EXPECT_EQ(std::memcmp(&boundPose, &RunKinematics.pose, sizeof boundPose), 0) << form.name;
        EXPECT_EQ(std::memcmp(&boundOrigin, &RunKinematics.workOrigin, sizeof boundOrigin), 0)
            << form.name;
        EXPECT_EQ(saved.machine.axis[4], 24) << form.name;
        EXPECT_EQ(saved.workOrigin.axis[0], 30) << form.name;
        EXPECT_EQ(saved.toolPoint[1], 41) << form.name;
        MotionStateSnapshot fromSession = saved;
        NcSession session;
        *session.kinematics = given;
        form.fromSession(session, &fromSession);
        EXPECT_TRUE(same(saved, fromSession)) << form.name;
        EXPECT_EQ(saved.toolNumber, std::string(form.name) == "save" ? 5 : -1) << form.name;
    }
    CurrentToolState = {};
}

}  // namespace
}  // namespace mirexa
