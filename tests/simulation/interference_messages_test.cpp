// Alarm texts by code and context, the mounted-tool and tool-change forms, and the box-or-log
// output with user data written as data.
#include "simulation/interference_messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "run_report_support.h"

namespace mirexa {
namespace {

using testing::RunReportTest;

InterferenceMessage Compose(int code, const InterferenceMessageContext& context,
                            const char* boxText = "/nc/part.nc") {
    InterferenceMessage message;
    EXPECT_EQ(ComposeInterferenceMessage(code, boxText, context, &message), 1) << code;
    return message;
}

InterferenceMessageContext InLanguage(int language) {
    InterferenceMessageContext context;
    context.language = language;
    return context;
}

TEST(InterferenceMessagesTest, EveryCodeOfTheTableHasBothTextsAndOthersShowNothing) {
    const std::set<int> codes = {1,   2,   3,   4,   5,   6,   7,   8,   9,  11, 12, 13,
                                 14,  17,  18,  19,  20,  21,  24,  25,  26, 27, 30, 31,
                                 32,  33,  34,  37,  38,  39,  40,  41,  42, 45, 91, 101,
                                 102, 103, 104, 105, 106, 107, 108, 109, 110};
    for (int code = -2; code <= 300; ++code) {
        InterferenceMessage message;
        const int shown = ComposeInterferenceMessage(code, "p", InLanguage(1), &message);
        EXPECT_EQ(shown, codes.count(code) ? 1 : 0) << code;
        if (shown) {
            EXPECT_NE(GetInterferenceMessageText(code, 0), nullptr) << code;
            EXPECT_STRNE(message.caption, "") << code;
            EXPECT_STREQ(message.text, "p") << code;
        } else {
            EXPECT_EQ(GetInterferenceMessageText(code, 1), nullptr) << code;
        }
    }
    // Texts as the user knows them, misspellings included.
    EXPECT_STREQ(Compose(7, InLanguage(1)).caption, "Too heavy Cutting. Tool was dameged.");
    EXPECT_STREQ(Compose(7, InLanguage(0)).caption, "工具が過負荷で破損しました");
    EXPECT_STREQ(Compose(11, InLanguage(0)).caption, "工具とバイスが干渉しています。");
    EXPECT_STREQ(Compose(45, InLanguage(1)).caption, "HEADvsBASIC interfered.");
    EXPECT_STREQ(Compose(101, InLanguage(0)).caption,
                 "G02/G03 IJK Error - 始点の半径と終点の半径が大きく異なる");
}

TEST(InterferenceMessagesTest, RapidInterferenceDependsOnRunRapidTypeAndLanguage) {
    InterferenceMessageContext context = InLanguage(1);
    EXPECT_STREQ(Compose(1, context).caption, "The tool was dameged.");
    context.duringRun = 1;
    EXPECT_STREQ(Compose(1, context).caption, "The tool was dameged. (G00 interference)");
    context.rapidType = 9;
    EXPECT_STREQ(Compose(1, context).caption, "G00 interference or it's possible");

    context = InLanguage(0);
    EXPECT_STREQ(Compose(1, context).caption, "工具が干渉しました");
    context.duringRun = 1;
    // The box of a run tells the J key; the log does not.
    InterferenceMessage message = Compose(1, context);
    EXPECT_STREQ(message.caption, "工具が破損しました(G00干渉) --- Jキーで干渉位置と往復");
    EXPECT_STREQ(message.logText, "工具が破損しました(G00干渉)");
    context.rapidType = 9;
    EXPECT_STREQ(Compose(1, context).logText, "G00干渉、もしくはその可能性あり");
}

TEST(InterferenceMessagesTest, ValuesAreFilledIntoTheirTexts) {
    InterferenceMessageContext context = InLanguage(1);
    context.overTravelLetter = 'B';
    EXPECT_STREQ(Compose(91, context).caption, "Over Stroke of B-axis!");
    context.language = 0;
    EXPECT_STREQ(Compose(91, context).caption, "B軸の可動範囲を越えました!");

    context = InLanguage(1);
    context.startCharacter = '%';
    InterferenceMessage start = Compose(103, context);
    EXPECT_STREQ(start.caption, "Start Code(%) is not Fonud !");
    EXPECT_STREQ(start.logText, "Start Code(%) is Not Found !");
    context.language = 0;
    EXPECT_STREQ(Compose(103, context).logText, "開始コード(%)が見つかりません!");

    context = InLanguage(1);
    context.column = 7;
    context.character = '%';
    EXPECT_STREQ(Compose(104, context).caption, "7\"%\" - Invalid Character!");
    EXPECT_STREQ(Compose(105, context).caption, "7th - Double decimal points!");
    context.language = 0;
    EXPECT_STREQ(Compose(104, context).caption, "7文字目\"%\" - 不正文字検出!");
    context.mainLineNumber = 120;
    EXPECT_STREQ(Compose(106, context).caption, "過剰オフセット - 円弧が反転!(120行目)");
    context.language = 1;
    EXPECT_STREQ(Compose(107, context).caption, "Over Offset - Alarm(120Line)");
    EXPECT_STREQ(Compose(108, context).caption, "NURBS Data Error!(120Line)");
}

TEST(InterferenceMessagesTest, ToolChangeFormsAfterAMountedToolShiftAreJapaneseOnly) {
    InterferenceMessageContext context = InLanguage(0);
    context.mountedToolShift = 1;
    context.previousTool = 3;
    context.currentTool = 12;
    EXPECT_STREQ(Compose(2, context).caption,
                 "工具交換(T03→T12)中にT12の工具保持具が干渉しました\n");
    EXPECT_STREQ(Compose(4, context).caption,
                 "工具交換(T03→T12)中にT12の内径無効部分で切削しました\n");
    EXPECT_STREQ(Compose(5, context).caption,
                 "工具交換(T03→T12)中にT12の工具側テーパー部が干渉しました\n");
    // Code 1 takes its form only during a run; outside it keeps the plain text.
    EXPECT_STREQ(Compose(1, context).caption, "工具が干渉しました");
    context.duringRun = 1;
    EXPECT_STREQ(Compose(1, context).logText, "工具交換(T03→T12)中にT12が干渉\n");
    context.rapidType = 9;
    EXPECT_STREQ(Compose(1, context).logText,
                 "工具交換(T03→T12)中にT12がG00干渉、もしくはその可能性あり\n");
    EXPECT_STREQ(Compose(3, context).caption, "有効刃長を越えて切削しました");
    context.language = 1;
    EXPECT_STREQ(Compose(2, context).caption, "Arbor interfered.");
}

class MountedToolMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        context_.language = 1;
        context_.currentTool = 4;
        context_.previousTool = 2;
        context_.currentToolHasList = 1;
        context_.mountedHits = hits_;
        context_.mountedHitCount = 3;
        hits_[0] = {4, 0, 0};
        hits_[1] = {7, 6, 0};
        hits_[2] = {9, 7, 0};
    }
    InterferenceMessage Format(int code) {
        InterferenceMessage message;
        EXPECT_EQ(ComposeInterferenceMessage(code, "/nc/x.nc", context_, &message), 1);
        return message;
    }
    MountedToolHit hits_[3];
    InterferenceMessageContext context_;
};

TEST_F(MountedToolMessageTest, EveryBranchNamesTheFirstToolWithAResult) {
    EXPECT_STREQ(Format(11).text, "T07 interference in selecting T04\n");
    EXPECT_STREQ(Format(11).caption, "KUSHIHA and VICE interfered");
    context_.duringRun = 1;
    EXPECT_STREQ(Format(12).text, "T07 interference during cutting by T04.\n");
    EXPECT_STREQ(Format(12).caption, "KUSHIHA and TABLE interfered");
    hits_[1].toolChange = 1;
    EXPECT_STREQ(Format(13).text, "T07 interference during tool change(T02→T04).\n");
    EXPECT_STREQ(Format(14).caption, "KUSHIHA and TABLE2 interfered");
    context_.language = 0;
    EXPECT_STREQ(Format(13).text, "工具交換(T02→T04)中にT07が干渉\n");
    EXPECT_STREQ(Format(13).caption, "くし刃とTABLE1の干渉");
    hits_[1].toolChange = 0;
    EXPECT_STREQ(Format(8).text, "T04による加工動作中にT07が干渉\n");
    EXPECT_STREQ(Format(8).logText, "くし刃干渉");
    context_.duringRun = 0;
    EXPECT_STREQ(Format(11).text, "T04選択状態でT07が干渉\n");
    // Tool 0 current: the form applies through tool 1's list.
    context_.currentTool = 0;
    context_.currentToolHasList = 0;
    context_.toolOneHasList = 1;
    EXPECT_STREQ(Format(11).text, "工具未選択状態でT07が干渉\n");
    context_.language = 1;
    EXPECT_STREQ(Format(11).text, "T07 interference when tool isn't chosen.\n");
}

TEST_F(MountedToolMessageTest, PlainTextWhenTheFormDoesNotApplyAndNothingWithoutAResult) {
    context_.sameToolPosition = 1;
    EXPECT_STREQ(Format(11).caption, "TOOLvsVICE interfered.");
    context_.sameToolPosition = 0;
    context_.currentToolHasList = 0;
    EXPECT_STREQ(Format(8).caption, "Attachment interfered");
    context_.currentToolHasList = 1;
    // Codes outside 8 and 11 to 14 never take the form.
    EXPECT_STREQ(Format(17).caption, "TOOLvsBASIC interfered.");
    hits_[1].code = 0;
    hits_[2].code = 0;
    InterferenceMessage message;
    EXPECT_EQ(ComposeInterferenceMessage(11, "x", context_, &message), 0);
    EXPECT_EQ(FormatToolChangeInterference(11, context_, &message), 0);
}

TEST(InterferenceMessagesTest, FirstStructurePairPicksTheCodeInPairOrder) {
    std::int32_t flags[kStructurePairCount] = {};
    EXPECT_EQ(FirstStructurePairCode(flags), 1);
    flags[kHeadBasic] = 1;
    EXPECT_EQ(FirstStructurePairCode(flags), 45);
    flags[kHead1Table1] = 1;
    EXPECT_EQ(FirstStructurePairCode(flags), 33);
    flags[kToolTable2] = 1;
    EXPECT_EQ(FirstStructurePairCode(flags), 12);
}

TEST(InterferenceMessagesTest, LongTextsAreCutAtACharacterBoundary) {
    char out[8];
    CopyMessageText(out, sizeof out, "工具交換");  // 3 bytes a character
    EXPECT_STREQ(out, "工具");
    char entry[12];
    EXPECT_EQ(FormatMessageLogEntry(5, "ab干渉", entry, sizeof entry), 11);
    EXPECT_STREQ(entry, "(5) - ab干");
}

using InterferenceMessageOutputTest = RunReportTest;

TEST_F(InterferenceMessageOutputTest, BoxShowsTheAlarmAsCaptionAndInItsBodyOnTop) {
    std::vector<MessageBoxRequest> boxes;
    MessageBoxResponder previous = SetMessageBoxResponder([&boxes](const MessageBoxRequest& r) {
        boxes.push_back(r);
        return MBX_IDOK;
    });
    InterferenceMessageContext context = InLanguage(1);
    context.mainLineNumber = 42;
    EXPECT_EQ(ShowInterferenceMessage(WindowHandle{}, 0, "/nc/part.nc", 2, context), 1);
    EXPECT_EQ(ShowInterferenceMessage(WindowHandle{}, 0, "/nc/part.nc", 100, context), 0);
    SetMessageBoxResponder(previous);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Arbor interfered.");
    // The reason again in the body, which every window manager shows.
    EXPECT_EQ(boxes[0].text, "Arbor interfered.\n/nc/part.nc");
    EXPECT_NE(boxes[0].style & MBX_TOPMOST, 0u);
    EXPECT_EQ(boxes[0].lineNumber, 42);
    EXPECT_EQ(LogText(), "");
}

TEST_F(InterferenceMessageOutputTest, LogEntriesCarryUserTextAsDataAndShareALine) {
    int boxes = 0;
    MessageBoxResponder previous = SetMessageBoxResponder([&boxes](const MessageBoxRequest&) {
        ++boxes;
        return MBX_IDOK;
    });
    InterferenceMessageContext context = InLanguage(1);
    context.mainLineNumber = 12;
    context.column = 3;
    context.character = '%';
    // A "%" followed by format letters: used as a format this would read missing arguments.
    ShowInterferenceMessage(WindowHandle{}, 1, "%s%n%d", 104, context);
    context.startCharacter = '%';
    ShowInterferenceMessage(WindowHandle{}, 1, "%s", 103, context);
    // Automatic mode turns a box into a log entry.
    AutomaticMode = 1;
    context.language = 0;
    context.overTravelLetter = 'Z';
    ShowInterferenceMessage(WindowHandle{}, 0, "/nc/part.nc", 91, context);
    SetMessageBoxResponder(previous);
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(LogText(),
              "(12) - 3\"%\" - Invalid Character!(12) - Start Code(%) is Not Found !"
              "(12) - Z軸の可動範囲を越えました!");
}

}  // namespace
}  // namespace mirexa
