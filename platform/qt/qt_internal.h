// Inside of the Qt backend, shared by its files: the widgets of the window records, the work the
// GUI thread runs for other threads, the backend's service window and its modal loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/menus.h"
#include "platform/window.h"

#include "platform/cursor.h"
#include "platform/paint.h"

class QApplication;
class QCursor;
class QImage;
class QMenuBar;
class QWidget;

namespace mirexa {

// 1 on the thread that made the application object.
bool IsQtGuiThread();
// Runs the work on the GUI thread: at once there, otherwise queued to it. The work carries
// handles only and re-reads the records, which may be gone by then.
void RunOnQtGuiThread(std::function<void()> work);

// The service window: a record of the GUI thread with no widget. Calls sent to it run on the GUI
// thread inside the layer's loop; a post to it with WM_NULL only ends a wait.
WindowHandle QtServiceWindow();
// Runs the call on the GUI thread and waits for it; 0 (not run) when the GUI thread's loop has
// ended or the backend is not running.
int CallOnQtGuiThread(const std::function<void()>& call);
// Wakes the GUI thread's wait with a message that does nothing, after a toolkit handler changed
// what a modal loop waits for.
void WakeQtModalLoop();
// Runs the layer's loop until *done is set: the owner is disabled meanwhile, and a quit request
// ends the loop and is passed on to the outer loop.
void RunQtModalLoop(WindowHandle owner, const bool* done);
// Hands the dropped paths to the window as WM_DROPFILES, from inside the layer's loop.
void QueueQtDrop(WindowHandle window, std::vector<std::string> paths);
// Runs the work inside the layer's loop (GUI thread): for a toolkit handler whose user action
// calls program code (a tab click asks the dialog first).
void QueueQtLoopWork(std::function<void()> work);

// Widgets of window records (qt_widgets.cpp).
QWidget* EnsureQtWidget(WindowHandle window);
void DeleteQtWidget(WindowHandle window);
void ApplyQtGeometry(WindowHandle window);
void ApplyQtVisibility(WindowHandle window);
void ApplyQtText(WindowHandle window);
void ApplyQtEnabled(WindowHandle window);
void ApplyQtFocus(WindowHandle window);
void RefreshQtControl(WindowHandle window);
void ShowQtFrame(WindowHandle window, const QImage& image);
void ApplyQtPaintRecord(WindowHandle window);
void ApplyQtCursor();
// The pointer over the window's client widget now (pointerOverWindow): 1 with its client pixels,
// 0 elsewhere, -1 off the GUI thread or for a window with no client widget.
int QtPointerOverWindow(WindowHandle window, int* x, int* y);
void DeleteAllQtWidgets();
// Keys that the toolkit hands to a menu or another window after it closed go to the open popup
// or the focus (qt_menus.cpp).
void ForwardKeysOfClosedWindows(QApplication* application);
// The menu bar widget of a top-level window, or null.
QMenuBar* FindQtMenuBar(WindowHandle window);
// The top-level window whose widget is the given one's window, or null.
WindowHandle FindQtTopLevel(QWidget* widget);
// Every window that has a widget.
std::vector<WindowHandle> ListQtWindows();

// Widgets of dialog records (qt_dialog_widgets.cpp). MakeQtDialogWidget makes the widget of a
// dialog or of one of its controls (null for other windows); each Apply/Refresh call returns 1
// when it handled a dialog's window, 0 to leave it to the general code.
QWidget* MakeQtDialogWidget(WindowHandle window, QWidget* host);
int ApplyQtDialogText(WindowHandle window);
int RefreshQtDialogControl(WindowHandle window);
int ApplyQtDialogEnabled(WindowHandle window);
int ApplyQtDialogGeometry(WindowHandle window);
int ApplyQtDialogPaintRecord(WindowHandle window);
// 1 for a modeless dialog (a panel) whose owner's window is not shown yet: it shows when its
// owner does (a window manager keeps a tool window above its owner only when it maps after it).
int QtDialogWaitsForOwner(WindowHandle window);
// Around showing a dialog: placed on its owner before, raised with its focused control after.
void PrepareQtDialogShow(WindowHandle window);
void FinishQtDialogShow(WindowHandle window);
// Brings the top-level widget to the front with the keyboard focus, the shown panels (modeless
// dialogs) its window owns above it: a window manager keeps an owner's tool windows above it, a
// desktop without one leaves that to the program.
void ActivateQtTopLevel(QWidget* window);

// Menus (qt_menus.cpp): the window's menu bar brought up to date from its record.
void SyncQtMenuBar(WindowHandle window);
void OnQtMenuChanged(MenuHandle menu, int destroyed);
void OnQtMenuBarChanged(WindowHandle window);

// Responders of the common dialogs and the clipboard (qt_dialogs.cpp, qt_services.cpp).
void InstallQtResponders();
void RemoveQtResponders();
void PublishQtClipboard(unsigned format);
int MeasureQtText(int fontPixelHeight, const std::string& text);
// The toolkit cursor of a program cursor (its picture, or the arrow).
QCursor MakeQtCursor(CursorHandle cursor);
// Draws the paint record's operations onto the picture.
void ReplayQtPaintRecord(const std::vector<PaintOperation>& operations, QImage* picture);

}  // namespace mirexa
