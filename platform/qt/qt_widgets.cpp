// The widgets of window records: a top-level window is a QMainWindow whose central widget is its
// client area, the view ("Picture") shows the last presented frame, the status bar paints its
// parts, and a progress bar is a QProgressBar. Every toolkit handler only posts to the layer.
#include <qdrawutil.h>
#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QUrl>
#include <QWheelEvent>
#include <unordered_map>

#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/keys.h"
#include "platform/paint.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

std::unordered_map<WindowHandle, QPointer<QWidget>> widgetOf;  // GUI thread only

MessageLParam PackPoint(const QPoint& p) {
    return static_cast<MessageLParam>((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16));
}

// The key code of a toolkit key; 0 for keys the program has no code for.
unsigned MapKey(const QKeyEvent* event) {
    const int key = event->key();
    // The digit row by its key under X (keycodes 10-19 for 1..9, 0), whatever symbol Shift and
    // the layout make of it.
    const quint32 scan = event->nativeScanCode();
    if (scan >= 10 && scan <= 19 && !(event->modifiers() & Qt::KeypadModifier)) {
        return scan == 19 ? '0' : '1' + (scan - 10);
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const unsigned digit = static_cast<unsigned>(key - Qt::Key_0);
        return (event->modifiers() & Qt::KeypadModifier) ? VK_NUMPAD0 + digit : '0' + digit;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return 'A' + static_cast<unsigned>(key - Qt::Key_A);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F9) {
        return VK_F1 + static_cast<unsigned>(key - Qt::Key_F1);
    }
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return VK_OEM_2;
        default:
            return 0;
    }
}

// The held modifiers as the keyboard last reported them.
void NoteModifiers(Qt::KeyboardModifiers modifiers) {
    SetKeyDownState(VK_CONTROL, (modifiers & Qt::ControlModifier) ? 1 : 0);
    SetKeyDownState(VK_SHIFT, (modifiers & Qt::ShiftModifier) ? 1 : 0);
    SetKeyDownState(VK_MENU, (modifiers & Qt::AltModifier) ? 1 : 0);
}

// The modifier bits of a key or button press's message: Shift (as the caller reads it), Ctrl and
// Alt as held when the key or button went down.
std::intptr_t ModifiersHeld(const QInputEvent* event, bool shift) {
    return (shift ? kKeyShiftHeld : 0) |
           ((event->modifiers() & Qt::ControlModifier) ? kKeyCtrlHeld : 0) |
           ((event->modifiers() & Qt::AltModifier) ? kKeyAltHeld : 0);
}

// The client area of a window record: keys, mouse, wheel, focus and drops become the layer's
// messages; painting shows the retained picture (a presented frame or a replayed paint record).
class ClientWidget : public QWidget {
public:
    ClientWidget(WindowHandle window, QWidget* parent) : QWidget(parent), window_(window) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setAcceptDrops(true);
        setFocusPolicy(Qt::StrongFocus);
    }
    QImage picture;

protected:
    // Tab belongs to the program (the view uses it), not to the toolkit's focus chain.
    bool focusNextPrevChild(bool) override {
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        if (!picture.isNull()) {
            painter.drawImage(0, 0, picture);
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        NoteModifiers(event->modifiers());
        const unsigned code = MapKey(event);
        // The printable character the key gives; control characters (Tab, Ctrl+letter) give none,
        // so that Ctrl+P reads as P with Ctrl held.
        const QString text = event->text();
        const char32_t first = text.isEmpty() ? 0 : text.toUcs4().value(0);
        const MessageLParam character = first < 0x20 || first == 0x7F ? 0 : first;
        if (code == 0 && character == 0) {
            return;
        }
        if (code != 0) {
            SetKeyDownState(code, 1);
        }
        const bool shift =
            (event->modifiers() & Qt::ShiftModifier) || event->key() == Qt::Key_Backtab;
        PostWindowMessage(window_, WM_KEYDOWN, code, character | ModifiersHeld(event, shift));
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat()) {
            return;
        }
        const unsigned code = MapKey(event);
        NoteModifiers(event->modifiers());
        if (code != 0) {
            SetKeyDownState(code, 0);
            PostWindowMessage(window_, WM_KEYUP, code, 0);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
            const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
            PostWindowMessage(window_,
                              event->button() == Qt::LeftButton ? WM_LBUTTONDOWN : WM_RBUTTONDOWN,
                              static_cast<MessageWParam>(ModifiersHeld(event, shift)),
                              PackPoint(event->position().toPoint()));
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
            PostWindowMessage(window_,
                              event->button() == Qt::LeftButton ? WM_LBUTTONUP : WM_RBUTTONUP, 0,
                              PackPoint(event->position().toPoint()));
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        MessageWParam buttons = 0;
        buttons |= (event->buttons() & Qt::LeftButton) ? MK_LBUTTON : 0;
        buttons |= (event->buttons() & Qt::RightButton) ? MK_RBUTTON : 0;
        PostOrReplaceWindowMessage(window_, WM_MOUSEMOVE, buttons,
                                   PackPoint(event->position().toPoint()));
    }
    void wheelEvent(QWheelEvent* event) override {
        // angleDelta is in eighths of a degree: 120 per notch, as the program counts.
        const int delta = event->angleDelta().y();
        if (delta != 0) {
            PostWindowMessage(window_, WM_MOUSEWHEEL,
                              static_cast<MessageWParam>(static_cast<std::intptr_t>(delta)),
                              PackPoint(event->position().toPoint()));
        }
    }
    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        NotifyNativeFocus(window_);
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls()) {
            event->acceptProposedAction();
        }
    }
    void dropEvent(QDropEvent* event) override {
        std::vector<std::string> paths;
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                paths.push_back(url.toLocalFile().toStdString());
            }
        }
        if (!paths.empty()) {
            event->acceptProposedAction();
            QueueQtDrop(window_, std::move(paths));
        }
    }
    void resizeEvent(QResizeEvent* event) override;

private:
    WindowHandle window_;
};

// A top-level window: the menu bar (when the record has one) above the client area.
class FrameWidget : public QMainWindow {
public:
    explicit FrameWidget(WindowHandle window) : window_(window) {
        setCentralWidget(new ClientWidget(window, this));
    }
    // Set while the program's own rectangle is applied: the toolkit's events of that change
    // are not the user's.
    int applying = 0;
    // The record's rectangle from the widget: its position, and the client area's size.
    void ReportGeometry() {
        if (applying) {
            return;
        }
        const QWidget* client = centralWidget();
        const QPoint at = geometry().topLeft();
        const WindowRect rect{at.x(), at.y(), at.x() + client->width(), at.y() + client->height()};
        WindowRect known = {};
        GetPlatformWindowRect(window_, &known);
        const int minimised = isMinimized() ? 1 : 0;
        if (minimised != IsPlatformWindowMinimised(window_) ||
            (!minimised && (rect.left != known.left || rect.top != known.top ||
                            rect.right != known.right || rect.bottom != known.bottom))) {
            NotifyNativeGeometry(window_, rect, minimised);
        }
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();  // the program decides (WM_CLOSE)
        NotifyNativeClose(window_);
    }
    void moveEvent(QMoveEvent* event) override {
        QMainWindow::moveEvent(event);
        if (isVisible()) {
            ReportGeometry();
        }
    }
    void changeEvent(QEvent* event) override {
        QMainWindow::changeEvent(event);
        if (event->type() == QEvent::ActivationChange) {
            NotifyNativeActivate(window_, isActiveWindow() ? WA_ACTIVE : WA_INACTIVE);
        } else if (event->type() == QEvent::WindowStateChange && isVisible()) {
            ReportGeometry();
        }
    }

private:
    WindowHandle window_;
};

void ClientWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (auto* frame = dynamic_cast<FrameWidget*>(parentWidget());
        frame && frame->centralWidget() == this && frame->isVisible()) {
        frame->ReportGeometry();
    }
}

// The status bar: each part's pane, sunken unless drawn without borders, with its text.
class StatusBarWidget : public QWidget {
public:
    StatusBarWidget(WindowHandle window, QWidget* parent) : QWidget(parent), window_(window) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        const int count = GetStatusBarPartCount(window_);
        int left = 0;
        for (int i = 0; i < count; ++i) {
            const StatusBarPart part = GetStatusBarPart(window_, i);
            const int right = part.rightEdge < 0 || i == count - 1 ? width() : part.rightEdge;
            const QRect pane(left, 1, std::max(0, right - left - 2), height() - 2);
            if (!(part.flags & SBT_NOBORDERS)) {
                qDrawShadePanel(&painter, pane, palette(), !(part.flags & SBT_POPOUT), 1);
            }
            int align = kTextLeft;
            const QString text = QString::fromStdString(SplitPaneText(part.text, &align));
            const int flags = Qt::AlignVCenter | (align == kTextCenter  ? Qt::AlignHCenter
                                                  : align == kTextRight ? Qt::AlignRight
                                                                        : Qt::AlignLeft);
            painter.setPen(palette().windowText().color());
            painter.drawText(pane.adjusted(3, 0, -3, 0), flags, text);
            left = right;
        }
    }

private:
    WindowHandle window_;
};

FrameWidget* FrameOf(WindowHandle window) {
    auto it = widgetOf.find(window);
    return it == widgetOf.end() ? nullptr : dynamic_cast<FrameWidget*>(it->second.data());
}

// The widget children of the window are placed in: the client area of a top-level window.
QWidget* ClientOf(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    if (auto* frame = dynamic_cast<QMainWindow*>(widget)) {
        return frame->centralWidget();
    }
    return widget;
}

ClientWidget* ClientWidgetOf(WindowHandle window) {
    return dynamic_cast<ClientWidget*>(ClientOf(window));
}

QWidget* MakeWidget(WindowHandle window, WindowHandle parent) {
    if (QWidget* dialog = MakeQtDialogWidget(window, parent ? ClientOf(parent) : nullptr)) {
        return dialog;
    }
    if (!parent) {
        return new FrameWidget(window);
    }
    QWidget* host = ClientOf(parent);
    const std::string className = GetWindowClassName(window);
    if (className == STATUSBAR_CLASS) {
        return new StatusBarWidget(window, host);
    }
    if (className == PROGRESSBAR_CLASS) {
        auto* bar = new QProgressBar(host);
        bar->setTextVisible(false);
        return bar;
    }
    return new ClientWidget(window, host);
}

}  // namespace

QWidget* FindQtWidget(WindowHandle window) {
    auto it = widgetOf.find(window);
    return it == widgetOf.end() ? nullptr : it->second.data();
}

QMenuBar* FindQtMenuBar(WindowHandle window) {
    FrameWidget* frame = FrameOf(window);
    return frame && frame->menuWidget() ? frame->menuBar() : nullptr;
}

std::vector<WindowHandle> ListQtWindows() {
    std::vector<WindowHandle> windows;
    for (const auto& [window, widget] : widgetOf) {
        if (widget) {
            windows.push_back(window);
        }
    }
    return windows;
}

WindowHandle FindQtTopLevel(QWidget* widget) {
    QWidget* top = widget ? widget->window() : nullptr;
    for (const auto& [window, each] : widgetOf) {
        if (each == top) {
            return window;
        }
    }
    return nullptr;
}

QWidget* EnsureQtWidget(WindowHandle window) {
    if (!IsQtGuiThread() || !IsWindowOfCallingThread(window)) {
        return nullptr;
    }
    if (QWidget* existing = FindQtWidget(window)) {
        return existing;
    }
    WindowHandle parent = GetParentWindow(window);
    if (parent && !EnsureQtWidget(parent)) {
        return nullptr;
    }
    if (QWidget* made = FindQtWidget(window)) {
        return made;  // made with its parent
    }
    QWidget* widget = MakeWidget(window, parent);
    widgetOf[window] = widget;
    ApplyQtText(window);
    ApplyQtGeometry(window);
    RefreshQtControl(window);
    ApplyQtEnabled(window);
    if (parent) {
        widget->setVisible(IsPlatformWindowVisible(window) != 0);
    }
    if (GetWindowMenuBar(window)) {
        SyncQtMenuBar(window);
    }
    for (WindowHandle child : GetChildWindows(window)) {
        EnsureQtWidget(child);
    }
    ApplyQtCursor();
    return widget;
}

void DeleteQtWidget(WindowHandle window) {
    auto it = widgetOf.find(window);
    if (it == widgetOf.end()) {
        return;
    }
    QPointer<QWidget> widget = it->second;
    widgetOf.erase(it);
    delete widget.data();
}

void DeleteAllQtWidgets() {
    // Top-level widgets first: they delete their children.
    for (auto& [window, widget] : widgetOf) {
        if (widget && widget->isWindow()) {
            delete widget.data();
        }
    }
    widgetOf.clear();
}

void ApplyQtGeometry(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    WindowRect r = {};
    if (!widget || !GetPlatformWindowRect(window, &r) || ApplyQtDialogGeometry(window)) {
        return;
    }
    const int width = std::max(0, r.right - r.left);
    const int height = std::max(0, r.bottom - r.top);
    if (FrameWidget* frame = FrameOf(window)) {
        // The client area takes the record's size; the menu bar's height comes on top, as the
        // layout gives it.
        // One request for place and size, so that no half-applied state comes back as the user's.
        ++frame->applying;
        // The menu bar's own height at that width (it may wrap), not the frame's height less the
        // client's: while the frame is hidden the client keeps an old size, and that difference
        // would grow the window at each show.
        const QWidget* menu = frame->menuWidget();
        int extra = 0;
        if (menu && menu->isVisibleTo(frame)) {
            extra = menu->heightForWidth(width);
            if (extra < 0) {
                extra = menu->sizeHint().height();
            }
        }
        frame->setGeometry(r.left, r.top, width, height + std::max(0, extra));
        frame->layout()->activate();
        --frame->applying;
        return;
    }
    widget->setGeometry(r.left, r.top, width, height);
}

void ApplyQtVisibility(WindowHandle window) {
    const int visible = IsPlatformWindowVisible(window);
    if (!GetParentWindow(window)) {
        QWidget* frame = visible ? EnsureQtWidget(window) : FindQtWidget(window);
        if (!frame) {
            return;
        }
        if (!visible) {
            frame->hide();
        } else if (IsPlatformWindowMinimised(window)) {
            frame->showMinimized();
        } else if (!QtDialogWaitsForOwner(window)) {
            ApplyQtGeometry(window);
            PrepareQtDialogShow(window);
            frame->showNormal();
            FinishQtDialogShow(window);
        }
        return;
    }
    if (QWidget* widget = FindQtWidget(window)) {
        widget->setVisible(visible != 0);
    }
}

void ApplyQtText(WindowHandle window) {
    if (ApplyQtDialogText(window)) {
        return;
    }
    if (QWidget* widget = FindQtWidget(window); widget && widget->isWindow()) {
        widget->setWindowTitle(QString::fromStdString(GetPlatformWindowText(window)));
    }
}

void ApplyQtEnabled(WindowHandle window) {
    if (ApplyQtDialogEnabled(window)) {
        return;
    }
    const bool enabled = IsPlatformWindowEnabled(window) != 0;
    if (FrameWidget* frame = FrameOf(window)) {
        // The frame itself stays enabled, so that a box or dialog above it is not disabled too.
        frame->centralWidget()->setEnabled(enabled);
        if (frame->menuWidget()) {
            frame->menuWidget()->setEnabled(enabled);
        }
    } else if (QWidget* widget = FindQtWidget(window)) {
        widget->setEnabled(enabled);
    }
}

void ApplyQtFocus(WindowHandle window) {
    if (QWidget* client = ClientOf(GetFocusWindow()); client && GetFocusWindow() == window) {
        client->setFocus(Qt::OtherFocusReason);
        // The focus in another of the program's windows (a panel) brings its window to the front,
        // as the desktop does; a modal box or dialog keeps the front.
        QWidget* active = QApplication::activeWindow();
        if (active != nullptr && active != client->window() &&
            QApplication::activeModalWidget() == nullptr) {
            client->window()->activateWindow();
        }
    }
}

void RefreshQtControl(WindowHandle window) {
    if (RefreshQtDialogControl(window)) {
        return;
    }
    QWidget* widget = FindQtWidget(window);
    if (auto* bar = dynamic_cast<QProgressBar*>(widget)) {
        const ProgressBarValue value = GetProgressBarValue(window);
        bar->setRange(value.low, value.high);
        bar->setValue(value.position);
        // Long loops pump only every few seconds: the bar paints at once, at most 20 times a
        // second.
        static QElapsedTimer lastRepaint;
        if (!lastRepaint.isValid() || lastRepaint.elapsed() >= 50) {
            lastRepaint.start();
            bar->repaint();
        }
    } else if (widget) {
        widget->update();
    }
}

void ShowQtFrame(WindowHandle window, const QImage& image) {
    if (ClientWidget* client = ClientWidgetOf(window)) {
        client->picture = image;
        client->update();
    }
}

void ApplyQtPaintRecord(WindowHandle window) {
    ClientWidget* client = ClientWidgetOf(window);
    if (!client) {
        ApplyQtDialogPaintRecord(window);
        return;
    }
    if (client->picture.size() != client->size()) {
        QImage resized(client->size(), QImage::Format_RGB32);
        resized.fill(client->palette().window().color());
        client->picture = resized;
    }
    ReplayQtPaintRecord(GetLastPaintRecord(window), &client->picture);
    client->update();
}

void ApplyQtCursor() {
    static bool waiting = false;
    const CursorHandle cursor = GetCursorHandle();
    const bool wait = cursor && GetCursorName(cursor) == CURSOR_WAIT;
    if (wait != waiting) {
        waiting = wait;
        if (wait) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    const QCursor shape = MakeQtCursor(cursor);
    for (const auto& [window, widget] : widgetOf) {
        if (auto* client = dynamic_cast<ClientWidget*>(widget.data())) {
            client->setCursor(shape);
        }
    }
}

int IsQtForegroundWindow(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    return widget && widget->window()->isActiveWindow() ? 1 : 0;
}

void ActivateQtWindow(WindowHandle window) {
    // A box or dialog being answered keeps the front (the pause blink asks for the main window
    // twice a second).
    if (QApplication::activeModalWidget() != nullptr) {
        return;
    }
    if (QWidget* widget = FindQtWidget(window)) {
        ActivateQtTopLevel(widget->window());
    }
}

void SetQtWindowState(WindowHandle window, int state) {
    QWidget* widget = FindQtWidget(window);
    if (!widget) {
        return;
    }
    QWidget* frame = widget->window();
    if (state == 1) {
        frame->showMinimized();
    } else if (state == 2) {
        frame->showMaximized();
    } else {
        frame->showNormal();
    }
}

int QtPointerOverWindow(WindowHandle window, int* x, int* y) {
    ClientWidget* client = IsQtGuiThread() ? ClientWidgetOf(window) : nullptr;
    if (client == nullptr) {
        return -1;
    }
    // Over the client or a window of its own inside it; not over a window in front of it.
    const QPoint global = QCursor::pos();
    QWidget* at = QApplication::widgetAt(global);
    if (at == nullptr || (at != client && !client->isAncestorOf(at))) {
        return 0;
    }
    const QPoint local = client->mapFromGlobal(global);
    *x = local.x();
    *y = local.y();
    return 1;
}

}  // namespace mirexa
