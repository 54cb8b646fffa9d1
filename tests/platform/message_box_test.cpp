// Message boxes of the headless backend: default answers and scripted responders.
#include "platform/message_box.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "caption", MBX_YESNO | MBX_TOPMOST), MBX_IDNO);
    EXPECT_EQ(seen.text, "text");
    EXPECT_EQ(seen.caption, "caption");
    EXPECT_EQ(seen.style, MBX_YESNO | MBX_TOPMOST);
    SetMessageBoxResponder(previous);
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "caption", MBX_YESNO), MBX_IDYES);
}

}  // namespace
}  // namespace mirexa
