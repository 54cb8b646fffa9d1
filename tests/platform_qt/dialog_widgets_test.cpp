// Dialogs on the Qt backend: every template opens as widgets inside its dialog and closes by its
// keys in both languages; each control kind follows its record both ways; the colour chooser is
// answered on screen and keeps its custom colours.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColorDialog>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTest>

#include "dialogs/dialog_conventions.h"
#include "platform/color_dialog.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_internal.h"
#include "qt_test_support.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"

namespace mirexa {
namespace {

using testing::MakeShownWindow;
using testing::PumpPending;
using testing::WhenIdle;

// The dialog of the template on screen, or null.
QDialog* OpenDialogWidget(const DialogTemplate& dialogTemplate) {
    return dialogTemplate.controls.empty()
               ? testing::FindTopLevel<QDialog>()
               : testing::ShownDialogWith(dialogTemplate.controls[0].id);
}

template <typename T = QWidget>
T* Item(QWidget* dialog, int id) {
    return dialog->findChild<T*>(QStringLiteral("item%1").arg(id));
}

// Every click ends the dialog with the control's id, Cancel with 0.
MessageResult EndOnClick(WindowHandle dialog, unsigned message, MessageWParam wparam,
                         MessageLParam) {
    if (message == WM_INITDIALOG) {
        BeginDialog(dialog);
        return 1;
    }
    if (message == WM_COMMAND && CommandCodeOf(wparam) == BN_CLICKED) {
        EndDialog(dialog, CommandIdOf(wparam) == IDCANCEL ? 0 : CommandIdOf(wparam));
        return 1;
    }
    return 0;
}

class QtDialogWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = MakeShownWindow(400, 300);
    }
    void TearDown() override {
        UiLanguage.store(0);
        DestroyPlatformWindow(owner);
        PumpPending();
    }
    WindowHandle owner = {};
};

TEST_F(QtDialogWidgetsTest, EveryTemplateOpensInsideItsDialogAndClosesByItsKeysInBothLanguages) {
    enum Closing { kEscape, kEnter, kCloseBox };
    int index = 0;
    for (int language : {0, 1}) {
        UiLanguage.store(language);
        for (const DialogTemplate* dialogTemplate : AllDialogTemplates()) {
            SCOPED_TRACE("dialog " + std::to_string(dialogTemplate->id) + " language " +
                         std::to_string(language));
            const Closing closing = static_cast<Closing>(index++ % 3);
            // Enter gives the default button's command (IDOK when there is none).
            int defaultId = IDOK;
            for (const ControlTemplate& c : dialogTemplate->controls) {
                if (c.kind == ControlKind::DefPushButton) {
                    defaultId = c.id;
                    break;
                }
            }
            int widgets = 0;
            int outside = 0;
            int covered = 0;
            int textsDiffer = 0;
            int clipped = 0;
            QString title;
            WhenIdle([&] {
                QDialog* dialog = OpenDialogWidget(*dialogTemplate);
                ASSERT_NE(dialog, nullptr);
                title = dialog->windowTitle();
                for (const ControlTemplate& c : dialogTemplate->controls) {
                    QWidget* item = Item(dialog, c.id);
                    if (!item) {
                        continue;
                    }
                    ++widgets;
                    outside += dialog->rect().contains(item->geometry()) ? 0 : 1;
                    // A click in the middle of a control reaches it, not a frame drawn over it.
                    if (c.kind != ControlKind::GroupBox && item->isVisible()) {
                        QWidget* hit = dialog->childAt(item->geometry().center());
                        covered += hit == item || item->isAncestorOf(hit) ? 0 : 1;
                    }
                    QString shown;
                    const char* text =
                        language == 1 && c.english ? c.english : (c.japanese ? c.japanese : "");
                    QString expected = QString::fromUtf8(text);
                    if (auto* b = qobject_cast<QAbstractButton*>(item)) {
                        shown = b->text();
                        // A push button's whole text fits inside its margins.
                        if (qobject_cast<QPushButton*>(item) != nullptr) {
                            QString bare = shown;
                            bare.remove(u'&');
                            const int needed =
                                b->fontMetrics().horizontalAdvance(bare) +
                                2 * b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
                            if (needed > b->width()) {
                                ++clipped;
                                ADD_FAILURE() << "button " << c.id << " \"" << bare.toStdString()
                                              << "\" needs " << needed << " of " << b->width();
                            }
                        }
                    } else if (auto* l = qobject_cast<QLabel*>(item)) {
                        shown = l->text();
                        expected.remove(u'&');  // a label shows no shortcut mark
                        // The whole text fits the label, over its lines where it has more.
                        const int needed = l->heightForWidth(l->width());
                        if (!shown.isEmpty() && needed > l->height() + 1) {
                            ++clipped;
                            ADD_FAILURE() << "label " << c.id << " \"" << shown.toStdString()
                                          << "\" needs " << needed << " of " << l->height();
                        }
                    } else if (auto* g = qobject_cast<QGroupBox*>(item)) {
                        shown = g->title();
                    } else {
                        continue;
                    }
                    textsDiffer += shown == expected ? 0 : 1;
                }
                QWidget* focus = dialog->focusWidget() ? dialog->focusWidget() : dialog;
                if (closing == kEscape) {
                    QTest::keyClick(focus, Qt::Key_Escape);
                } else if (closing == kEnter) {
                    QTest::keyClick(focus, Qt::Key_Return);
                } else {
                    dialog->close();
                }
            });
            const int result = RunModalDialog(*dialogTemplate, owner, EndOnClick, 0);
            EXPECT_EQ(result, closing == kEnter ? defaultId : 0) << closing;
            EXPECT_EQ(widgets, static_cast<int>(dialogTemplate->controls.size()));
            EXPECT_EQ(outside, 0);
            EXPECT_EQ(covered, 0);
            EXPECT_EQ(textsDiffer, 0);
            EXPECT_EQ(clipped, 0);
            const char* caption = language == 1 && dialogTemplate->english
                                      ? dialogTemplate->english
                                      : dialogTemplate->japanese;
            EXPECT_EQ(title, QString::fromUtf8(caption ? caption : ""));
            EXPECT_EQ(OpenDialogWidget(*dialogTemplate), nullptr) << "the dialog is gone";
        }
    }
}

// One control of each kind the user acts on.
constexpr ControlTemplate kControls[] = {
    {ControlKind::DefPushButton, IDOK, 10, 100, 40, 14, "OK", nullptr, kTabStop},
    {ControlKind::PushButton, IDCANCEL, 60, 100, 40, 14, "Cancel", nullptr, kTabStop},
    {ControlKind::CheckBox, 10, 10, 10, 60, 10, "manual", nullptr, kTabStop},
    {ControlKind::AutoCheckBox, 11, 80, 10, 60, 10, "auto", nullptr, kTabStop},
    {ControlKind::AutoRadioButton, 12, 10, 25, 60, 10, "a", nullptr, kGroupStart | kTabStop},
    {ControlKind::AutoRadioButton, 13, 80, 25, 60, 10, "b", nullptr, 0},
    {ControlKind::Edit, 14, 10, 40, 60, 12, "", nullptr, kGroupStart | kTabStop},
    {ControlKind::HScrollBar, 15, 80, 40, 60, 10, "", nullptr, 0},
    {ControlKind::Swatch, 16, 10, 60, 30, 12, "", nullptr, kNotify},
    {ControlKind::Text, 17, 80, 60, 60, 10, "label", nullptr, 0},
};
constexpr DialogTemplate kControlsDialog = {9901, "controls", nullptr, 160, 120, 0, kControls};

struct Heard {
    std::vector<std::pair<int, unsigned>> commands;  // id, code
    std::vector<unsigned> scrolls;                   // code | position << 16
};
Heard heard;
std::uint32_t swatchColor = 0x00336699;  // the colour the procedure gives its swatch

MessageResult ControlsProcedure(WindowHandle dialog, unsigned message, MessageWParam wparam,
                                MessageLParam) {
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessage(dialog, 15, SBM_SETRANGE, 0, 10);
            SendDlgItemMessage(dialog, 15, SBM_SETPOS, 3, 0);
            SetDlgItemText(dialog, 14, "12.5");
            return 1;
        case WM_CTLCOLORSTATIC:
            return kSwatchColored | swatchColor;
        case WM_HSCROLL:
            heard.scrolls.push_back(static_cast<unsigned>(wparam));
            return 1;
        case WM_COMMAND:
            heard.commands.emplace_back(CommandIdOf(wparam), CommandCodeOf(wparam));
            if (CommandIdOf(wparam) == IDOK || CommandIdOf(wparam) == IDCANCEL) {
                EndDialog(dialog, CommandIdOf(wparam) == IDOK);
            }
            return 1;
        default:
            return 0;
    }
}

bool HeardCommand(int id, unsigned code) {
    for (const auto& [i, c] : heard.commands) {
        if (i == id && c == code) {
            return true;
        }
    }
    return false;
}

TEST_F(QtDialogWidgetsTest, EachControlKindFollowsItsRecordBothWays) {
    heard = Heard{};
    swatchColor = 0x00336699;
    WindowHandle dialog = {};
    QDialog* widget = nullptr;
    std::string editText;
    unsigned checks[4] = {};
    bool shownAtOpening[4] = {};
    bool shownLater[4] = {};
    bool repainted = false;
    WhenIdle([&] {
        widget = OpenDialogWidget(kControlsDialog);
        ASSERT_NE(widget, nullptr);
        dialog = FindQtTopLevel(widget);
        // The program's values are on screen.
        shownAtOpening[0] = Item<QLineEdit>(widget, 14)->text() == "12.5";
        auto* bar = Item<QScrollBar>(widget, 15);
        shownAtOpening[1] = bar->value() == 3 && bar->minimum() == 0 && bar->maximum() == 10;
        shownAtOpening[2] = Item<QWidget>(widget, 16)->grab().toImage().pixelColor(15, 6) ==
                            QColor(0x99, 0x66, 0x33);
        shownAtOpening[3] = widget->windowTitle() == "controls";
        // What the user does.
        for (int id : {10, 11, 13}) {
            QTest::mouseClick(Item(widget, id), Qt::LeftButton, {}, QPoint(5, 5));
        }
        Item<QLineEdit>(widget, 14)->setFocus();
        QTest::keyClicks(Item(widget, 14), "7");
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);  // leaving the field
        QApplication::sendEvent(Item(widget, 14), &leave);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QTest::mouseClick(Item(widget, 16), Qt::LeftButton, {}, QPoint(5, 5));
        WhenIdle(
            [&] {
                editText = GetDlgItemText(dialog, 14);
                for (int i = 0; i < 4; ++i) {
                    checks[i] = IsDlgButtonChecked(dialog, 10 + i);
                }
                // The program's changes reach the widgets.
                CheckDlgButton(dialog, 10, BST_CHECKED);
                EnableDlgItem(dialog, 14, 0);
                SetDlgItemText(dialog, 17, "changed");
                shownLater[0] = Item<QAbstractButton>(widget, 10)->isChecked();
                shownLater[1] = !Item(widget, 14)->isEnabled();
                shownLater[2] = Item<QLabel>(widget, 17)->text() == "changed";
                shownLater[3] = Item<QScrollBar>(widget, 15)->value() == 3;
                // A swatch repainted shows the colour its dialog gives it then.
                swatchColor = 0x00FF0000;
                InvalidatePlatformWindow(dialog);
                WhenIdle(
                    [&] {
                        repainted = Item<QWidget>(widget, 16)->grab().toImage().pixelColor(15, 6) ==
                                    QColor(0, 0, 0xFF);
                        QTest::keyClick(widget, Qt::Key_Return);
                    },
                    100);
            },
            100);
    });
    EXPECT_EQ(RunModalDialog(kControlsDialog, owner, ControlsProcedure, 0), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(shownAtOpening[i]) << i;
        EXPECT_TRUE(shownLater[i]) << i;
    }
    EXPECT_TRUE(repainted);
    // A manual check box waits for its procedure; automatic buttons change themselves.
    const unsigned expectedChecks[4] = {BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, BST_CHECKED};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(checks[i], expectedChecks[i]) << 10 + i;
    }
    EXPECT_EQ(editText, "12.57");
    const struct {
        int id;
        unsigned code;
    } notifications[] = {{10, BN_CLICKED}, {11, BN_CLICKED},   {13, BN_CLICKED},
                         {14, EN_CHANGE},  {14, EN_KILLFOCUS}, {16, STN_CLICKED}};
    for (const auto& n : notifications) {
        EXPECT_TRUE(HeardCommand(n.id, n.code)) << n.id << " " << n.code;
    }
    // The bar asked for one step to the right and stayed where the procedure keeps it.
    ASSERT_EQ(heard.scrolls.size(), 1u);
    EXPECT_EQ(heard.scrolls[0], SB_LINERIGHT | (4u << 16));
}

constexpr ControlTemplate kTabs[] = {
    {ControlKind::TabBar, 20, 5, 5, 150, 14, "", nullptr, kTabStop},
    {ControlKind::DefPushButton, IDOK, 60, 40, 40, 14, "OK", nullptr, kTabStop},
};
constexpr DialogTemplate kTabsDialog = {9902, "tabs", nullptr, 160, 60, 0, kTabs};

// The tab bar's notifications with the selection the record had at each.
std::vector<std::pair<unsigned, int>> tabNotes;
bool refuseTabChange = false;

MessageResult TabsProcedure(WindowHandle dialog, unsigned message, MessageWParam wparam,
                            MessageLParam lparam) {
    switch (message) {
        case WM_INITDIALOG:
            for (const char* name : {"G54", "G55", "G56"}) {
                InsertTabItem(dialog, 20, GetTabItemCount(dialog, 20), name);
            }
            return 1;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NotifyHeader*>(lparam);
            tabNotes.emplace_back(header->code, GetTabSelection(dialog, 20));
            return header->code == TCN_SELCHANGING && refuseTabChange ? 1 : 0;
        }
        case WM_COMMAND:
            if (CommandIdOf(wparam) == IDOK || CommandIdOf(wparam) == IDCANCEL) {
                EndDialog(dialog, CommandIdOf(wparam) == IDOK);
            }
            return 1;
        default:
            return 0;
    }
}

TEST_F(QtDialogWidgetsTest, ATabClickAsksTheDialogWhichMayKeepTheTab) {
    tabNotes.clear();
    refuseTabChange = false;
    QStringList texts;
    int shownAfterRefusal = -1;
    WhenIdle([&] {
        QDialog* widget = OpenDialogWidget(kTabsDialog);
        ASSERT_NE(widget, nullptr);
        auto* tabs = Item<QTabBar>(widget, 20);
        for (int i = 0; i < tabs->count(); ++i) {
            texts << tabs->tabText(i);
        }
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        WhenIdle(
            [&, widget, tabs] {
                refuseTabChange = true;
                QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
                WhenIdle(
                    [&, widget, tabs] {
                        shownAfterRefusal = tabs->currentIndex();
                        QTest::keyClick(widget, Qt::Key_Return);
                    },
                    100);
            },
            100);
    });
    EXPECT_EQ(RunModalDialog(kTabsDialog, owner, TabsProcedure, 0), 1);
    EXPECT_EQ(texts, QStringList({"G54", "G55", "G56"}));
    // The dialog heard the change with the old tab still selected, then with the new one; the
    // refused change left the record and the bar on the tab before.
    const std::vector<std::pair<unsigned, int>> expected = {
        {TCN_SELCHANGING, 0}, {TCN_SELCHANGE, 1}, {TCN_SELCHANGING, 1}};
    EXPECT_EQ(tabNotes, expected);
    EXPECT_EQ(shownAfterRefusal, 1);
}

TEST_F(QtDialogWidgetsTest, TheColourChooserAnswersAndKeepsTheCustomColours) {
    std::uint32_t custom[kCustomColorCount] = {};
    custom[2] = 0x00102030;
    struct Case {
        bool accept;
        QColor pick;
        std::uint32_t expected;  // the colour afterwards
        int result;
    };
    const Case cases[] = {
        {true, QColor(0x0A, 0x14, 0x1E), 0x001E140A, 1},
        {false, QColor(0xFF, 0, 0), 0x001E140A, 0},
    };
    std::uint32_t color = 0x00FFFFFF;
    QColor customShown[2];
    int round = 0;
    for (const Case& c : cases) {
        WhenIdle([&] {
            auto* chooser = testing::FindTopLevel<QColorDialog>();
            ASSERT_NE(chooser, nullptr);
            customShown[round] = QColorDialog::customColor(2);
            QColorDialog::setCustomColor(5, QColor(1, 2, 3));
            chooser->setCurrentColor(c.pick);
            if (c.accept) {
                chooser->accept();
            } else {
                QTest::keyClick(chooser, Qt::Key_Escape);
            }
        });
        EXPECT_EQ(ChooseColorDialog(owner, &color, custom), c.result) << round;
        EXPECT_EQ(color, c.expected) << round;
        EXPECT_EQ(IsPlatformWindowEnabled(owner), 1);
        ++round;
    }
    // The program's custom colours were offered, and the one the user set was kept.
    EXPECT_EQ(customShown[0], QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(customShown[1], QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(custom[5], 0x00030201u);
}

}  // namespace
}  // namespace mirexa
