// The dialog engine of the headless backend: controls made from a template, the procedure's
// messages, clicks as the user makes them, the modal loop with its owner, nesting and the
// responder.
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_windows.h"

namespace mirexa {
namespace {

constexpr ControlTemplate kControls[] = {
    {ControlKind::Edit, 10, 5, 5, 60, 12, "", nullptr, kTabStop},
    {ControlKind::CheckBox, 11, 5, 20, 60, 10, "manual", "Manual", kTabStop},
    {ControlKind::AutoCheckBox, 12, 5, 32, 60, 10, "auto", nullptr, kTabStop},
    {ControlKind::AutoRadioButton, 13, 5, 44, 30, 10, "a", nullptr, kGroupStart},
    {ControlKind::AutoRadioButton, 14, 40, 44, 30, 10, "b", nullptr, 0},
    {ControlKind::AutoRadioButton, 15, 5, 56, 30, 10, "c", nullptr, kGroupStart},
    {ControlKind::PushButton, 16, 5, 70, 40, 14, "disabled", nullptr, kDisabled},
    {ControlKind::DefPushButton, IDOK, 50, 70, 40, 14, "OK", nullptr, kTabStop},
};
const DialogTemplate kTemplate = {900, "試験", "Test", 100, 90, 0, kControls};
constexpr ControlTemplate kNestedControls[] = {
    {ControlKind::DefPushButton, IDOK, 5, 5, 40, 14, "OK", nullptr, kTabStop},
};
const DialogTemplate kNestedTemplate = {901, "入れ子", nullptr, 60, 40, 0, kNestedControls};

// What the procedure saw.
struct Seen {
    std::vector<std::string> events;
    MessageLParam param = {};
};
Seen seen;

MessageResult NestedProcedure(WindowHandle dialog, unsigned message, MessageWParam wparam,
                              MessageLParam) {
    if (message == WM_COMMAND && CommandIdOf(wparam) == IDOK) {
        EndDialog(dialog, 7);
        return 1;
    }
    return 0;
}

MessageResult Procedure(WindowHandle dialog, unsigned message, MessageWParam wparam,
                        MessageLParam lparam) {
    if (message == WM_INITDIALOG) {
        seen.param = lparam;
        seen.events.push_back("init");
        return 1;
    }
    if (message != WM_COMMAND) {
        return 0;
    }
    const int id = CommandIdOf(wparam);
    seen.events.push_back(std::to_string(id) + ":" + std::to_string(CommandCodeOf(wparam)));
    if (id == 16) {
        const int nested = RunModalDialog(kNestedTemplate, dialog, NestedProcedure, 0);
        seen.events.push_back("nested " + std::to_string(nested));
    } else if (id == IDOK) {
        EndDialog(dialog, 3);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return 1;
}

class DialogEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        seen = Seen{};
        owner = testing::MakeTestWindow(nullptr, "owner", nullptr, {0, 0, 200, 200});
    }
    void TearDown() override {
        SetDialogResponder({});
        DestroyPlatformWindow(owner);
    }
    WindowHandle owner = {};
};

TEST_F(DialogEngineTest, ControlsFollowTheTemplateAndClicksActAsTheUsersDo) {
    SetDialogBaseUnits(8, 16);
    EXPECT_EQ(DialogUnitsToPixels(5, 20, 60, 10).left, 10);
    EXPECT_EQ(DialogUnitsToPixels(5, 20, 60, 10).bottom, 60);
    SetDialogBaseUnits(6, 13);
    struct Checks {
        unsigned manual, automatic, a, b, c;
        int disabledClick;
        std::string typed;
        char bounded[5];
        int owned;
        int ownerEnabled;
    } got = {};
    SetDialogResponder([&](WindowHandle dialog, int id, int round) {
        EXPECT_EQ(id, 900);
        if (round > 0) {
            return 0;
        }
        got.owned = GetDialogOwner(dialog) == owner && GetDialogTemplate(dialog) == &kTemplate &&
                    GetControlTemplate(GetDlgItem(dialog, 14)) == &kControls[4] &&
                    GetDlgCtrlId(GetDlgItem(dialog, 14)) == 14 &&
                    GetControlTemplate(dialog) == nullptr;
        got.ownerEnabled = IsPlatformWindowEnabled(owner);
        ClickDlgItem(dialog, 11);  // manual: the procedure would have to check it
        ClickDlgItem(dialog, 12);
        ClickDlgItem(dialog, 13);
        ClickDlgItem(dialog, 14);
        ClickDlgItem(dialog, 15);
        got.disabledClick = ClickDlgItem(dialog, 16);
        TypeDlgItemText(dialog, 10, "123456789");
        testing::DispatchPendingMessages();
        got.manual = IsDlgButtonChecked(dialog, 11);
        got.automatic = IsDlgButtonChecked(dialog, 12);
        got.a = IsDlgButtonChecked(dialog, 13);
        got.b = IsDlgButtonChecked(dialog, 14);
        got.c = IsDlgButtonChecked(dialog, 15);
        got.typed = GetDlgItemText(dialog, 10);
        GetDlgItemText(dialog, 10, got.bounded, sizeof got.bounded);
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    EXPECT_EQ(RunModalDialog(kTemplate, owner, Procedure, 42), 3);
    EXPECT_EQ(seen.param, 42);
    EXPECT_EQ(got.ownerEnabled, 0);
    EXPECT_EQ(IsPlatformWindowEnabled(owner), 1);
    EXPECT_EQ(got.owned, 1);
    EXPECT_EQ(got.manual, BST_UNCHECKED);
    EXPECT_EQ(got.automatic, BST_CHECKED);
    // The automatic radio group ends where the next group starts.
    EXPECT_EQ(got.a, BST_UNCHECKED);
    EXPECT_EQ(got.b, BST_CHECKED);
    EXPECT_EQ(got.c, BST_CHECKED);
    EXPECT_EQ(got.disabledClick, 0);
    EXPECT_EQ(got.typed, "123456789");
    EXPECT_STREQ(got.bounded, "1234");
    const std::vector<std::string> expected = {"init", "10:768", "11:0", "12:0",
                                               "13:0", "14:0",   "15:0", "1:0"};
    EXPECT_EQ(seen.events, expected);
}

TEST_F(DialogEngineTest, NestedDialogsDisableTheirOwnerAndTheResponderAnswersEach) {
    std::vector<int> asked;
    int outerEnabledDuringNested = -1;
    SetDialogResponder([&](WindowHandle dialog, int id, int round) {
        asked.push_back(id);
        if (id == 901) {
            outerEnabledDuringNested = IsPlatformWindowEnabled(GetDialogOwner(dialog));
        }
        if (round > 0) {
            return 0;
        }
        if (id == 900) {
            EnableDlgItem(dialog, 16, 1);
            ClickDlgItem(dialog, 16);
        } else {
            ClickDlgItem(dialog, IDOK);
        }
        return 1;
    });
    // After the nested dialog the outer one has nothing left to do: the responder gives up and
    // the dialog is cancelled.
    EXPECT_EQ(RunModalDialog(kTemplate, owner, Procedure, 0), 0);
    EXPECT_EQ(asked, (std::vector<int>{900, 901, 900}));
    ASSERT_GE(seen.events.size(), 3u);
    EXPECT_EQ(seen.events[2], "nested 7");
    EXPECT_EQ(outerEnabledDuringNested, 0);
    EXPECT_EQ(seen.events.back(), "2:0");
}

TEST_F(DialogEngineTest, WithoutResponderTheHeadlessDialogIsCancelledAndAQuitIsKept) {
    EXPECT_EQ(RunModalDialog(kTemplate, owner, Procedure, 0), 0);
    EXPECT_EQ(seen.events.back(), "2:0");
    // A quit request met in the modal loop ends the dialog and stays for the outer loop.
    SetDialogResponder([](WindowHandle, int, int round) {
        if (round == 0) {
            PostLoopQuit(5);
        }
        return 1;
    });
    EXPECT_EQ(RunModalDialog(kTemplate, owner, Procedure, 0), 0);
    WindowMessage message;
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wparam, 5u);
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

constexpr ControlTemplate kTabControls[] = {
    {ControlKind::TabBar, 20, 5, 5, 90, 14, "", nullptr, kTabStop},
    {ControlKind::Edit, 21, 5, 25, 60, 12, "", nullptr, kTabStop},
};
const DialogTemplate kTabTemplate = {902, "タブ", nullptr, 100, 50, kDialogModeless, kTabControls};

// Refuses to leave tab 1; records every notification with the selection it saw.
MessageResult TabProcedure(WindowHandle dialog, unsigned message, MessageWParam,
                           MessageLParam lparam) {
    if (message != WM_NOTIFY) {
        return message == WM_INITDIALOG ? 1 : 0;
    }
    const NotifyHeader* header = reinterpret_cast<const NotifyHeader*>(lparam);
    const int selected = GetTabSelection(dialog, header->id);
    seen.events.push_back((header->code == TCN_SELCHANGING ? "leave " : "enter ") +
                          std::to_string(selected));
    return header->code == TCN_SELCHANGING && selected == 1 ? 1 : 0;
}

TEST_F(DialogEngineTest, TabBarsNotifyTheirDialogAndMayBeRefusedALeave) {
    WindowHandle dialog = CreateModelessDialog(kTabTemplate, owner, TabProcedure, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetTabSelection(dialog, 20), -1);
    EXPECT_EQ(InsertTabItem(dialog, 20, 0, "b"), 0);
    EXPECT_EQ(InsertTabItem(dialog, 20, 0, "a"), 0);
    EXPECT_EQ(InsertTabItem(dialog, 20, 9, "c"), 2);
    EXPECT_EQ(InsertTabItem(dialog, 21, 0, "not a tab bar"), -1);
    EXPECT_EQ(GetTabItemCount(dialog, 20), 3);
    EXPECT_EQ(GetTabItemText(dialog, 20, 0) + GetTabItemText(dialog, 20, 2), "ac");
    EXPECT_EQ(GetTabSelection(dialog, 20), 1) << "the first tab made stays selected";
    EXPECT_EQ(ClickTabItem(dialog, 20, 2), 0) << "refused";
    EXPECT_EQ(SetTabSelection(dialog, 20, 0), 1);
    EXPECT_EQ(ClickTabItem(dialog, 20, 0), 0) << "already selected";
    EXPECT_EQ(ClickTabItem(dialog, 20, 3), 0) << "no such tab";
    EXPECT_EQ(ClickTabItem(dialog, 20, 2), 1);
    EXPECT_EQ(GetTabSelection(dialog, 20), 2);
    const std::vector<std::string> expected = {"leave 1", "leave 0", "enter 2"};
    EXPECT_EQ(seen.events, expected);
    DestroyPlatformWindow(dialog);
}

}  // namespace
}  // namespace mirexa
