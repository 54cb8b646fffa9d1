// Message boxes of the headless backend (default answers, scripted and automatic responders) and
// cursor records.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cursor.h"

namespace mirexa {
namespace {

TEST(MessageBox, DefaultAnswerIsFirstButtonUnlessSecondIsDefault) {
    EXPECT_EQ(GetDefaultMessageBoxAnswer(MBX_OK), MBX_IDOK);
    EXPECT_EQ(GetDefaultMessageBoxAnswer(MBX_OKCANCEL), MBX_IDOK);
    EXPECT_EQ(GetDefaultMessageBoxAnswer(MBX_OKCANCEL | MBX_DEFBUTTON2), MBX_IDCANCEL);
    EXPECT_EQ(GetDefaultMessageBoxAnswer(MBX_YESNO | MBX_ICONQUESTION), MBX_IDYES);
    EXPECT_EQ(GetDefaultMessageBoxAnswer(MBX_YESNOCANCEL | MBX_DEFBUTTON2), MBX_IDNO);
}

TEST(MessageBox, ResponderSeesTheRequestAndAnswers) {
    MessageBoxRequest seen;
    MessageBoxResponder previous = SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        seen = request;
        return MBX_IDNO;
    });
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "caption", MBX_YESNO | MBX_TOPMOST, 42), MBX_IDNO);
    EXPECT_EQ(seen.text, "text");
    EXPECT_EQ(seen.lineNumber, 42);
    EXPECT_EQ(seen.caption, "caption");
    EXPECT_EQ(seen.style, MBX_YESNO | MBX_TOPMOST);
    SetMessageBoxResponder(previous);
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "caption", MBX_YESNO), MBX_IDYES);
}

TEST(MessageBox, AutomaticResponderLogsTheLineNumberAndTextAndTakesTheDefault) {
    std::vector<std::string> log;
    MessageBoxResponder previous = SetMessageBoxResponder(
        MakeAutomaticMessageBoxResponder([&](const std::string& line) { log.push_back(line); }));
    // The number in the entry is the NC line the message is about, never the answer.
    EXPECT_EQ(ShowMessageBox(nullptr, "Write protect", "MIREXA7", MBX_OK | MBX_TOPMOST), MBX_IDOK);
    EXPECT_EQ(ShowMessageBox(nullptr, "上書きしますか", "MIREXA7", MBX_YESNO | MBX_DEFBUTTON2, 120),
              MBX_IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, "Alarm\n", "MIREXA7", MBX_YESNOCANCEL, 7), MBX_IDYES);
    EXPECT_EQ(log, (std::vector<std::string>{"(0) - Write protect\n", "(120) - 上書きしますか\n",
                                             "(7) - Alarm\n"}));
    SetMessageBoxResponder(previous);
}

TEST(Cursor, LoadingByNameGivesOneHandleAndSetReturnsThePrevious) {
    CursorHandle wait = LoadCursorHandle(CURSOR_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(LoadCursorHandle("wait"), wait);
    EXPECT_NE(LoadCursorHandle(CURSOR_ARROW), wait);
    EXPECT_EQ(LoadCursorHandle(""), nullptr);
    EXPECT_EQ(GetCursorName(wait), "wait");
    CursorHandle before = SetCursorHandle(wait);
    EXPECT_EQ(GetCursorHandle(), wait);
    EXPECT_EQ(SetCursorHandle(before), wait);
}

}  // namespace
}  // namespace mirexa
