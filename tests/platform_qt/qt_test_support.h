// Helpers of the Qt backend's tests: a window whose procedure records what it receives, the
// layer's pump run until a condition holds, and toolkit actions run once the layer's loop waits
// (for answering a box or dialog that the test itself opened), each wait bounded.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qt/qt_backend.h"
#include "platform/window.h"
#include "support/bounded_wait.h"

namespace mirexa::testing {

// Every message the recording windows received, in order (any thread may read it).
struct MessageRecord {
    std::mutex mutex;
    std::vector<WindowMessage> messages;
    std::vector<std::vector<std::string>> drops;  // WM_DROPFILES paths, copied during the call

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex);
        messages.clear();
        drops.clear();
    }
    std::vector<WindowMessage> Of(unsigned message) {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<WindowMessage> found;
        for (const WindowMessage& m : messages) {
            if (m.message == message) {
                found.push_back(m);
            }
        }
        return found;
    }
};
MessageRecord& Recorded();

// Records the message (and a drop's paths), then handles it as the default procedure does.
MessageResult RecordingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam);

// A recording top-level window of the given client size at (40, 40), shown.
WindowHandle MakeShownWindow(int width, int height, const char* title = "test");
// A recording child with the rectangle, shown.
WindowHandle MakeChild(WindowHandle parent, WindowRect rect, int id = 1);

// Takes and dispatches the layer's messages (pumping the toolkit) until done() holds or the time
// runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWaitBound);
// Pumps what is pending now.
void PumpPending();

// Runs the action on the GUI thread once the layer's loop waits in the toolkit again: the way a
// test answers a box or dialog it opened itself. An action that fails fatally (an ASSERT) ends
// what the test opened (EndWhatTheTestOpened), so that the call the test waits in returns; an
// action still pending when its test ends, or gives up, is dropped.
void WhenIdle(std::function<void()> action, int delayMs = 0);
// Runs the action as WhenIdle does once ready() holds, looking every 20 ms. When it does not hold
// within the bound, fails the test, saying what it waited for, and ends what the test opened.
void WhenReady(std::string what, std::function<bool()> ready, std::function<void()> action,
               std::chrono::milliseconds bound = kWaitBound);
// Runs the action once the program started by RunProgram has shown its main window and its first
// paint has set the title: the first step of a test that drives the whole program.
void WhenStarted(std::function<void()> action);

// Gives the test up: fails it with the text, drops its pending actions, and closes its open menus
// and modal dialogs (as Esc does) and the program's main window, again every half second while
// the test goes on. A test still going the wait bound later ends the process with the text:
// nothing else would end it.
void EndWhatTheTestOpened(const std::string& why);
// Drops the pending actions of the test that has ended.
void DropPendingActions();

// Chooses the main window's menu command and answers its file dialog, once it shows inside the
// command's modal loop, with the path.
void ChooseFileThroughMenu(unsigned command, const std::string& path);

// The first visible top-level widget of the type T, or null.
template <typename T>
T* FindTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

// The shown dialog that holds the control of that id (the panels are dialogs too), or null.
inline QDialog* ShownDialogWith(int id) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() &&
            dialog->findChild<QWidget*>(QStringLiteral("item%1").arg(id))) {
            return dialog;
        }
    }
    return nullptr;
}

}  // namespace mirexa::testing
