// The Qt backend's test program: the backend started on Qt's offscreen platform (no X server) with
// the program's GUI thread being this one, in folders of this process's own, then every test
// (each bounded in time), then the backend stopped; and the helpers of qt_test_support.h.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/backend.h"
#include "platform/menus.h"
#include "platform/qt/qt_backend.h"
#include "qt_test_support.h"
#include "services/shared_state.h"
#include "support/test_selection.h"
#include "support/test_windows.h"

namespace mirexa::testing {

MessageRecord& Recorded() {
    static MessageRecord record;
    return record;
}

MessageResult RecordingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    {
        std::lock_guard<std::mutex> lock(Recorded().mutex);
        Recorded().messages.push_back(WindowMessage{window, message, wparam, lparam});
        if (message == WM_DROPFILES) {
            Recorded().drops.push_back(*reinterpret_cast<const std::vector<std::string>*>(lparam));
        }
    }
    if (message == WM_CLOSE) {
        return 0;  // the test destroys its windows itself
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

WindowHandle MakeShownWindow(int width, int height, const char* title) {
    WindowHandle window = MakeTestWindow(RecordingProcedure, title, nullptr,
                                         WindowRect{40, 40, 40 + width, 40 + height});
    ShowPlatformWindow(window, SW_SHOW);
    return window;
}

WindowHandle MakeChild(WindowHandle parent, WindowRect rect, int id) {
    return MakeTestWindow(RecordingProcedure, "", parent, rect, id, 1);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        PumpPending();
    }
    return done();
}

void PumpPending() {
    WindowMessage message;
    while (PeekWindowMessage(&message, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            DispatchWindowMessage(message);
        }
    }
}

namespace {

// The generation of the pending actions: a test's end or a give-up moves it on, which drops the
// actions still pending from before.
int actionGeneration = 0;

// One wait of WhenReady.
struct ReadyWait {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> action;
    std::chrono::steady_clock::time_point deadline;
    std::chrono::milliseconds bound;
};

void LookUntilReady(const std::shared_ptr<ReadyWait>& wait) {
    if (wait->ready()) {
        wait->action();
        return;
    }
    if (std::chrono::steady_clock::now() >= wait->deadline) {
        EndWhatTheTestOpened("waited " + std::to_string(wait->bound.count() / 1000) +
                             " s in vain for " + wait->what);
        return;
    }
    WhenIdle([wait] { LookUntilReady(wait); }, 20);
}

// Closes what the test of the generation opened, again every half second while that test goes on;
// ends the process once the deadline has passed.
void CloseWhatIsOpen(int generation, std::chrono::steady_clock::time_point deadline,
                     const std::string& why) {
    if (generation != actionGeneration) {
        return;  // the test has ended
    }
    if (std::chrono::steady_clock::now() >= deadline) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fprintf(stderr, "%s.%s did not end after it gave up: %s\n",
                     test != nullptr ? test->test_suite_name() : "?",
                     test != nullptr ? test->name() : "?", why.c_str());
        std::fflush(nullptr);
        std::_Exit(1);
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible()) {
            continue;
        }
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            menu->hide();
        } else if (auto* dialog = qobject_cast<QDialog*>(widget);
                   dialog != nullptr && dialog->windowModality() != Qt::NonModal) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    }
    if (const WindowHandle window = MainWindow.load(); window != nullptr) {
        NotifyNativeClose(window);
    }
    QTimer::singleShot(500, qApp,
                       [generation, deadline, why] { CloseWhatIsOpen(generation, deadline, why); });
}

}  // namespace

void WhenIdle(std::function<void()> action, int delayMs) {
    QTimer::singleShot(delayMs, qApp, [action = std::move(action), generation = actionGeneration] {
        if (generation != actionGeneration) {
            return;
        }
        const bool failedBefore = ::testing::Test::HasFatalFailure();
        action();
        if (!failedBefore && ::testing::Test::HasFatalFailure()) {
            EndWhatTheTestOpened("a step of the test failed");
        }
    });
}

void WhenReady(std::string what, std::function<bool()> ready, std::function<void()> action,
               std::chrono::milliseconds bound) {
    auto wait =
        std::make_shared<ReadyWait>(ReadyWait{std::move(what), std::move(ready), std::move(action),
                                              std::chrono::steady_clock::now() + bound, bound});
    WhenIdle([wait] { LookUntilReady(wait); });
}

void WhenStarted(std::function<void()> action) {
    // Started: the main window is shown and its first paint has set the title.
    WhenReady(
        "the main window shown with its title",
        [] {
            const WindowHandle window = MainWindow.load();
            QWidget* frame = window != nullptr ? FindQtWidget(window) : nullptr;
            return frame != nullptr && frame->isVisible() && !frame->windowTitle().isEmpty();
        },
        std::move(action));
}

void EndWhatTheTestOpened(const std::string& why) {
    ADD_FAILURE() << why;
    ++actionGeneration;
    CloseWhatIsOpen(actionGeneration, std::chrono::steady_clock::now() + kWaitBound, why);
}

void DropPendingActions() {
    ++actionGeneration;
}

void ChooseFileThroughMenu(unsigned command, const std::string& path) {
    // A person reaches the menu once no dialog holds the main window: on a busy machine the
    // dialog of a command before may still be open, and a command chosen inside its loop would
    // leave the main window without keys until that dialog ends.
    WhenReady(
        "the main window free of dialogs for the menu",
        [] { return IsPlatformWindowEnabled(MainWindow.load()) != 0; },
        [command, path] {
            // The command may open the dialog only once the loop takes its message.
            WhenReady(
                "a file dialog for " + path, [] { return FindTopLevel<QFileDialog>() != nullptr; },
                [path] {
                    // The path typed into the file name field, as a person does. selectFile
                    // goes to the path's folder (without it the dialog takes no other folder's
                    // file) but leaves the field as it is once it holds the keyboard, which a
                    // busy machine's dialog may have taken before this looks.
                    auto* dialog = FindTopLevel<QFileDialog>();
                    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                    ASSERT_NE(name, nullptr) << "the file dialog has no file name field";
                    dialog->selectFile(QString::fromStdString(path));
                    name->setText(QString::fromStdString(path));
                    QMetaObject::invokeMethod(dialog, "accept");
                });
            ChooseMenuCommand(MainWindow.load(), command, 0);
        });
}

}  // namespace mirexa::testing

namespace {

// The bound of a whole test: one whose waits are bounded ends well within it; one still going
// then (a loop of its own that never ends) is given up, so that the program goes on to the next.
constexpr std::chrono::seconds kTestBound{300};

// Gives up each test still going after the bound, and drops its pending actions at its end, so
// that none runs in the next test.
class TestBounds : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        const int test = ++started_;
        QTimer::singleShot(kTestBound, qApp, [this, test] {
            if (test == started_ && !ended_) {
                mirexa::testing::EndWhatTheTestOpened("the test did not end within " +
                                                      std::to_string(kTestBound.count()) + " s");
            }
        });
        ended_ = false;
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        ended_ = true;
        mirexa::testing::DropPendingActions();
    }
    int started_ = 0;
    bool ended_ = true;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestBounds);
    // No X server: Qt's offscreen platform unless another is asked for (xcb under Xvfb).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A folder of this process's own, removed at its end: the runtime directory (Qt wants one,
    // and the program's command socket lives there, apart from other test processes') and the
    // configuration, cache and data homes (the toolkit's dialogs keep their state there, not in
    // the user's home).
    std::string own = (std::filesystem::temp_directory_path() / "mirexa-qt-XXXXXX").string();
    if (mkdtemp(own.data()) == nullptr) {
        std::fprintf(stderr, "no folder of its own for the Qt tests in %s\n", own.c_str());
        return 1;
    }
    const std::pair<const char*, const char*> homes[] = {{"XDG_RUNTIME_DIR", "runtime"},
                                                         {"XDG_CONFIG_HOME", "config"},
                                                         {"XDG_CACHE_HOME", "cache"},
                                                         {"XDG_DATA_HOME", "data"}};
    for (const auto& [variable, name] : homes) {
        const std::filesystem::path home = std::filesystem::path(own) / name;
        std::filesystem::create_directory(home);
        std::filesystem::permissions(home, std::filesystem::perms::owner_all);
        qputenv(variable, QByteArray::fromStdString(home.string()));
    }
    mirexa::RegisterQtBackend();
    if (!mirexa::StartPlatformBackend(mirexa::PlatformBackend::RealWindow)) {
        std::fprintf(stderr, "the Qt backend did not start\n");
        std::filesystem::remove_all(own);
        return 1;
    }
    const int result = mirexa::testing::FailWhenTheFilterSelectsNothing(RUN_ALL_TESTS());
    mirexa::StopQtBackend();
    std::error_code ignored;
    std::filesystem::remove_all(own, ignored);
    return result;
}
