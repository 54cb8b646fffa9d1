// Message boxes, file dialogs and popup menus on the Qt backend: each is answered by a click, and
// while one is open the layer's loop keeps running, so other threads' sends are answered and a
// box asked for by a worker thread shows on the GUI thread.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/popup_menu.h"
#include "qt_test_support.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::MakeShownWindow;
using testing::PumpPending;
using testing::PumpUntil;
using testing::Recorded;
using testing::WhenIdle;

// Clicks the standard button of the box (NoButton: presses Esc) once it shows.
void AnswerBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    testing::WhenReady(
        "a message box", [] { return testing::FindTopLevel<QMessageBox>() != nullptr; },
        [button, text] {
            auto* box = testing::FindTopLevel<QMessageBox>();
            if (text) {
                *text = box->text();
            }
            if (button == QMessageBox::NoButton) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(button)->click();
            }
        });
}

class QtDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorded().Clear();
        owner = MakeShownWindow(300, 200);
    }
    void TearDown() override {
        DestroyPlatformWindow(owner);
        PumpPending();
    }
    WindowHandle owner = {};
};

TEST_F(QtDialogsTest, AMessageBoxGivesTheAnswerOfTheButtonClicked) {
    struct Case {
        unsigned style;
        QMessageBox::StandardButton click;  // NoButton: Esc
        int answer;
    };
    const Case cases[] = {
        {MBX_OK, QMessageBox::Ok, MBX_IDOK},
        {MBX_OK, QMessageBox::NoButton, MBX_IDOK},
        {MBX_OKCANCEL, QMessageBox::Cancel, MBX_IDCANCEL},
        {MBX_OKCANCEL | MBX_ICONWARNING, QMessageBox::NoButton, MBX_IDCANCEL},
        {MBX_YESNO | MBX_ICONQUESTION, QMessageBox::Yes, MBX_IDYES},
        {MBX_YESNO | MBX_DEFBUTTON2, QMessageBox::NoButton, MBX_IDNO},
        {MBX_YESNOCANCEL | MBX_TOPMOST, QMessageBox::No, MBX_IDNO},
    };
    for (const Case& c : cases) {
        QString shown;
        AnswerBox(c.click, &shown);
        EXPECT_EQ(ShowMessageBox(owner, "工具が見つかりません", "MIREXA7", c.style), c.answer)
            << c.style << " " << c.click;
        EXPECT_EQ(shown, QString::fromUtf8("工具が見つかりません"));
        EXPECT_EQ(IsPlatformWindowEnabled(owner), 1) << "the owner is enabled again";
    }
}

// A short text under a longer caption: the box is as wide as a title bar needs to show the
// whole caption (in a bold title font, with an icon and three buttons of about 30 px beside it).
TEST_F(QtDialogsTest, ABoxIsWideEnoughForItsWholeCaption) {
    int width = 0;
    int needed = 0;
    testing::WhenReady(
        "a message box shown",
        [] {
            auto* box = testing::FindTopLevel<QMessageBox>();
            return box != nullptr && box->isVisible();
        },
        [&] {
            auto* box = testing::FindTopLevel<QMessageBox>();
            QFont font = box->font();
            font.setBold(true);
            needed = QFontMetrics(font).horizontalAdvance(box->windowTitle()) + 4 * 30;
            width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
    EXPECT_EQ(ShowMessageBox(owner, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST),
              MBX_IDOK);
    EXPECT_GE(width, needed);
}

TEST_F(QtDialogsTest, WhileABoxIsOpenTheOwnerIsDisabledAndWorkersAndTimersGoOn) {
    StartWindowTimer(owner, 7, 20);
    std::atomic<int> sendResult{-1};
    std::thread worker;
    int ownerEnabledMeanwhile = -1;
    WhenIdle([&] {
        ownerEnabledMeanwhile = IsPlatformWindowEnabled(owner);
        worker = std::thread([&] {
            sendResult.store(static_cast<int>(SendWindowMessage(owner, WM_USER + 5, 0, 0)));
        });
    });
    // The box is answered only once the worker's send came back and the owner's timer ticked a
    // few times: both ran inside the box's modal loop.
    testing::WhenReady(
        "the worker's send back and three ticks of the owner's timer",
        [&] { return sendResult.load() >= 0 && Recorded().Of(WM_TIMER).size() >= 3; },
        [] { testing::FindTopLevel<QMessageBox>()->button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(ShowMessageBox(owner, "text", "caption", MBX_OK), MBX_IDOK);
    worker.join();
    EXPECT_EQ(ownerEnabledMeanwhile, 0);
    EXPECT_EQ(sendResult.load(), 0);  // the recording procedure's default answer
    EXPECT_EQ(Recorded().Of(WM_USER + 5).size(), 1u);
    StopWindowTimer(owner, 7);
}

TEST_F(QtDialogsTest, ABoxAskedByAWorkerShowsOnTheGuiThread) {
    std::atomic<int> answer{0};
    std::thread worker(
        [&] { answer.store(ShowMessageBox(owner, "from the run", "caption", MBX_YESNO)); });
    // The box runs inside this thread's pump (the worker's send is handled there), so it is
    // answered from a toolkit timer once it shows.
    AnswerBox(QMessageBox::No);
    ASSERT_TRUE(PumpUntil([&] { return answer.load() != 0; }));
    worker.join();
    EXPECT_EQ(answer.load(), MBX_IDNO);
}

// The program's end request (an end signal) closes an open box, file dialog, colour chooser or
// popup menu at once with the answer of Esc, and none asked for after it is shown at all. A
// watchdog closes what is still open two seconds on (nothing lives that long here), so that one
// the request fails to close fails the test instead of hanging it.
TEST_F(QtDialogsTest, AnEndRequestClosesAnOpenBoxDialogOrMenuAsCancelledAndShowsNoOther) {
    std::uint32_t colour = 0x123456;
    std::uint32_t custom[16] = {};
    PopupMenu menu;
    menu.items = {{257, "Rotate"}};
    FileDialogRequest request;
    request.owner = owner;
    request.title = "Select NC data";
    FileDialogResult result;
    const auto box = [this](unsigned style) {
        return [this, style] {
            return static_cast<unsigned>(ShowMessageBox(owner, "vice.stl is missing", "", style));
        };
    };
    const auto shown = [] {
        return testing::FindTopLevel<QDialog>() != nullptr ||
               testing::FindTopLevel<QMenu>() != nullptr;
    };
    const struct {
        const char* name;
        std::function<unsigned()> ask;
        unsigned answer;
    } cases[] = {
        {"OK box", box(MBX_OK | MBX_ICONWARNING), MBX_IDOK},
        {"OK/Cancel box", box(MBX_OKCANCEL), MBX_IDCANCEL},
        {"Yes/No box", box(MBX_YESNO | MBX_ICONQUESTION), MBX_IDNO},
        {"Yes/No/Cancel box", box(MBX_YESNOCANCEL | MBX_TOPMOST), MBX_IDCANCEL},
        {"file dialog", [&] { return static_cast<unsigned>(ShowFileDialog(request, &result)); }, 0},
        {"colour chooser",
         [&] { return static_cast<unsigned>(ChooseColorDialog(owner, &colour, custom)); }, 0},
        {"popup menu", [&] { return TrackPopupMenu(menu, 10, 10, owner); }, 0},
    };
    QTimer watchdog;
    watchdog.setInterval(2000);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (auto* dialog = testing::FindTopLevel<QDialog>(); dialog != nullptr) {
            dialog->reject();
        }
        if (auto* popup = testing::FindTopLevel<QMenu>(); popup != nullptr) {
            popup->hide();
        }
    });
    watchdog.start();
    std::atomic<int> endRequest{0};
    SetMessageBoxEndFlag(&endRequest);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        endRequest.store(0);
        bool opened = false;
        WhenIdle([&] {
            opened = shown();
            endRequest.store(15);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.ask(), c.answer);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        EXPECT_TRUE(opened);
        PumpPending();
        EXPECT_FALSE(shown()) << "still open";
        EXPECT_EQ(IsPlatformWindowEnabled(owner), 1);
        // Raised already: answered without anything shown.
        auto again = std::make_shared<bool>(false);
        WhenIdle([again, &shown] { *again = shown(); });
        EXPECT_EQ(c.ask(), c.answer);
        PumpPending();
        EXPECT_FALSE(*again);
    }
    EXPECT_EQ(colour, 0x123456u);
    SetMessageBoxEndFlag(nullptr);
}

TEST_F(QtDialogsTest, AFileDialogTakesTheRequestAndGivesTheChoice) {
    testing::ScratchDirectory scratch;
    scratch.Write("part.NC");
    scratch.Write("other.nc");
    scratch.Write("tools.ttl");
    FileDialogRequest request;
    request.owner = owner;
    request.title = "Select NC data";
    request.filters = {{"Tools (*.TTL)", "*.TTL"}, {"NC data", "*.nc;*.tap"}};
    request.filterIndex = 2;
    request.initialDirectory = scratch.Path();
    request.fileName = "part.NC";
    request.okLabel = "&GO";
    request.checkBoxLabel = "ワーク座標系で処理";
    request.checkBoxChecked = 1;
    request.flags = FILEDLG_FILE_MUST_EXIST;
    QString acceptText, filterShown;
    WhenIdle([&] {
        auto* dialog = testing::FindTopLevel<QFileDialog>();
        ASSERT_NE(dialog, nullptr);
        acceptText = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
        filterShown = dialog->selectedNameFilter();
        auto* box = dialog->findChild<QCheckBox*>("extraCheckBox");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogResult result;
    ASSERT_EQ(ShowFileDialog(request, &result), 1);
    EXPECT_EQ(result.path, scratch.At("part.NC"));
    EXPECT_EQ(result.filterIndex, 2);
    EXPECT_EQ(result.checkBoxChecked, 0);
    EXPECT_EQ(acceptText, "&GO");
    EXPECT_EQ(filterShown, "NC data (*.nc *.tap)");

    // Cancel keeps the request's filter and check box.
    WhenIdle([] { testing::FindTopLevel<QFileDialog>()->reject(); });
    EXPECT_EQ(ShowFileDialog(request, &result), 0);
    EXPECT_TRUE(result.path.empty());
    EXPECT_EQ(result.filterIndex, 2);
    EXPECT_EQ(result.checkBoxChecked, 1);
}

// Records whether a popup was open when the watched dialog went from the screen.
class PopupAtHide : public QObject {
public:
    bool hidden = false;
    bool popupOpen = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && !hidden) {
            hidden = true;
            popupOpen = QApplication::activePopupWidget() != nullptr;
        }
        return false;
    }
};

// A file dialog accepted while its file name completion list is open (its file system model shows
// it when a folder's names come in, after the last key on a busy machine): the list has closed
// before the dialog goes, or a key typed once the dialog is gone would go to the list.
TEST_F(QtDialogsTest, AFileDialogClosesItsCompletionListBeforeItGoes) {
    testing::ScratchDirectory scratch;
    scratch.Write("part.nc");
    scratch.Write("pocket.nc");
    FileDialogRequest request;
    request.owner = owner;
    request.title = "Select NC data";
    request.initialDirectory = scratch.Path();
    PopupAtHide watch;
    QWidget* list = nullptr;
    WhenIdle([&] {
        auto* dialog = testing::FindTopLevel<QFileDialog>();
        ASSERT_NE(dialog, nullptr);
        auto* completer = dialog->findChild<QCompleter*>();
        ASSERT_NE(completer, nullptr);
        list = completer->popup();
        list->show();
        dialog->installEventFilter(&watch);
        QMetaObject::invokeMethod(dialog, "reject");
    });
    FileDialogResult result;
    EXPECT_EQ(ShowFileDialog(request, &result), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(watch.hidden);
    EXPECT_FALSE(watch.popupOpen) << "the completion list was open as the dialog went";
}

TEST_F(QtDialogsTest, APopupMenuPostsTheChosenCommand) {
    PopupMenu menu;
    menu.items = {{257, "Rotate"}, {0, ""}, {250, "Grey", 0, 1}, {254, "Fit"}};
    WhenIdle([] {
        auto* popup = testing::FindTopLevel<QMenu>();
        ASSERT_NE(popup, nullptr);
        EXPECT_FALSE(popup->actions()[2]->isEnabled());
        popup->actions()[3]->trigger();
        popup->hide();
    });
    EXPECT_EQ(TrackPopupMenu(menu, 10, 10, owner), 254u);
    PumpPending();
    ASSERT_EQ(Recorded().Of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(Recorded().Of(WM_COMMAND)[0].wparam, 254u);

    WhenIdle([] { testing::FindTopLevel<QMenu>()->hide(); });
    EXPECT_EQ(TrackPopupMenu(menu, 10, 10, owner), 0u);
}

}  // namespace
}  // namespace mirexa
