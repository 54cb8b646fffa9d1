// The Qt backend's test program: the backend started on Qt's offscreen platform (no X server) with
// the program's GUI thread being this one, then every test, then the backend stopped.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFileDialog>
#include <cstdlib>
#include <filesystem>
#include <string>

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

void WhenIdle(std::function<void()> action, int delayMs) {
    QTimer::singleShot(delayMs, qApp, std::move(action));
}

void WhenStarted(std::function<void()> action, int tries) {
    // Started: the main window is shown and its first paint has set the title. A loaded machine
    // can take seconds to get there; after about a minute the action runs anyway, and what it
    // checks says what is missing.
    const WindowHandle window = MainWindow.load();
    QWidget* frame = window != nullptr ? FindQtWidget(window) : nullptr;
    if ((frame == nullptr || !frame->isVisible() || frame->windowTitle().isEmpty()) &&
        tries < 3000) {
        QTimer::singleShot(20, qApp, [action = std::move(action), tries]() mutable {
            WhenStarted(std::move(action), tries + 1);
        });
        return;
    }
    action();
}

namespace {

// Answers the file dialog with the path once it shows (the command may open it only when the
// loop takes its message); gives up after about ten seconds.
void AnswerFileDialog(const std::string& path, int tries) {
    auto* dialog = FindTopLevel<QFileDialog>();
    if (dialog == nullptr) {
        ASSERT_LT(tries, 500) << "no file dialog showed for " << path;
        WhenIdle([path, tries] { AnswerFileDialog(path, tries + 1); }, 20);
        return;
    }
    dialog->selectFile(QString::fromStdString(path));
    QMetaObject::invokeMethod(dialog, "accept");
}

}  // namespace

void ChooseFileThroughMenu(unsigned command, const std::string& path) {
    WhenIdle([path] { AnswerFileDialog(path, 0); });
    ChooseMenuCommand(MainWindow.load(), command);
}

}  // namespace mirexa::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No X server: Qt's offscreen platform unless another is asked for (xcb under Xvfb); a
    // runtime directory of our own keeps Qt quiet.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::string runtime =
        (std::filesystem::temp_directory_path() / "mirexa-qt-runtime").string();
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    mirexa::RegisterQtBackend();
    if (!mirexa::StartPlatformBackend(mirexa::PlatformBackend::RealWindow)) {
        std::fprintf(stderr, "the Qt backend did not start\n");
        return 1;
    }
    const int result = mirexa::testing::FailWhenTheFilterSelectsNothing(RUN_ALL_TESTS());
    mirexa::StopQtBackend();
    return result;
}
