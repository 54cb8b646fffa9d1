// The menu bar of a top-level window, brought up to date from the layer's menu record after every
// change: items, separators and submenus in the record's order, captions, grey and check states.
// A chosen item goes back through ChooseMenuCommand; opening a menu posts WM_MENUSELECT. Keys
// that reach a menu or another window after it closed go where the keyboard is.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <memory>

#include "platform/keys.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

const char* const kCommandProperty = "mirexaCommand";
const char* const kMenuProperty = "mirexaMenu";

MenuEntryInfo EntryAt(MenuHandle menu, int position) {
    MenuEntryInfo info;
    GetMenuEntryInfo(menu, static_cast<unsigned>(position), MENU_BYPOSITION, &info);
    return info;
}

// 1 when the toolkit's actions have the record's kinds, commands and submenus in its order.
bool SameShape(const QList<QAction*>& actions, MenuHandle menu, int count) {
    if (actions.size() != count) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const MenuEntryInfo info = EntryAt(menu, i);
        const QAction* action = actions[i];
        if (info.separator != (action->isSeparator() ? 1 : 0)) {
            return false;
        }
        if (info.submenu) {
            if (!action->menu() || action->menu()->property(kMenuProperty).value<void*>() !=
                                       static_cast<void*>(info.submenu)) {
                return false;
            }
        } else if (action->menu() ||
                   (!info.separator &&
                    action->property(kCommandProperty).toUInt() != info.command)) {
            return false;
        }
    }
    return true;
}

void RemoveActions(QWidget* target) {
    for (QAction* action : target->actions()) {
        target->removeAction(action);
        if (QMenu* submenu = action->menu()) {
            delete submenu;
        } else {
            delete action;
        }
    }
}

void AddAction(QWidget* target, MenuHandle menu, int position, WindowHandle window) {
    const MenuEntryInfo info = EntryAt(menu, position);
    if (info.separator) {
        auto* separator = new QAction(target);
        separator->setSeparator(true);
        target->addAction(separator);
        return;
    }
    if (info.submenu) {
        auto* submenu = new QMenu(target);
        submenu->setProperty(kMenuProperty, QVariant::fromValue<void*>(info.submenu));
        QObject::connect(submenu, &QMenu::aboutToShow,
                         [window] { PostWindowMessage(window, WM_MENUSELECT, 0, 0); });
        target->addAction(submenu->menuAction());
        return;
    }
    auto* action = new QAction(target);
    const unsigned command = info.command;
    action->setProperty(kCommandProperty, command);
    // The command keeps Shift as held at the choice (a Shift-chosen path display hides rapids).
    QObject::connect(action, &QAction::triggered, [window, command] {
        const bool shift = (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0;
        ChooseMenuCommand(window, command, shift ? kKeyShiftHeld : 0);
    });
    target->addAction(action);
}

// Brings the target's actions up to date with the menu record, submenus included.
void SyncActions(QWidget* target, MenuHandle menu, WindowHandle window) {
    const int count = std::max(0, GetMenuEntryCount(menu));
    if (!SameShape(target->actions(), menu, count)) {
        RemoveActions(target);
        for (int i = 0; i < count; ++i) {
            AddAction(target, menu, i, window);
        }
    }
    const QList<QAction*> actions = target->actions();
    for (int i = 0; i < count; ++i) {
        const MenuEntryInfo info = EntryAt(menu, i);
        QAction* action = actions[i];
        if (info.separator) {
            continue;
        }
        action->setText(QString::fromStdString(info.caption));
        action->setEnabled((info.state & (MENU_GRAYED | MENU_DISABLED)) == 0);
        const bool checked = (info.state & MENU_CHECKED) != 0;
        action->setCheckable(checked);
        action->setChecked(checked);
        if (info.submenu) {
            SyncActions(action->menu(), info.submenu, window);
        }
    }
}

// Until the toolkit has handled a menu's closing, the X server hands the keys typed meanwhile to
// the menu's window (its keyboard grab), and the toolkit gives them to the closed menu, which
// drops them: on a busy machine the second Esc of Esc, Esc ended there, the menu bar stayed in
// its keyboard mode and took the user's next Esc for itself. A closed dialog's popup (its file
// name completion list) is alike, and so is a key that the toolkit routes to a widget of a
// window closed meanwhile. Such a key goes to the open popup, else to the widget with the focus,
// as if it had been typed there.
class ClosedWindowKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(target);
        if (widget == nullptr || widget->window()->isVisible()) {
            return false;
        }
        QWidget* receiver = QApplication::activePopupWidget();
        if (receiver == nullptr) {
            receiver = QApplication::focusWidget();
        }
        if (receiver == nullptr || receiver == widget || !receiver->window()->isVisible()) {
            return false;
        }
        const std::unique_ptr<QEvent> key(event->clone());
        QApplication::sendEvent(receiver, key.get());
        return true;
    }
};

}  // namespace

void ForwardKeysOfClosedWindows(QApplication* application) {
    application->installEventFilter(new ClosedWindowKeys(application));
}

void SyncQtMenuBar(WindowHandle window) {
    auto* frame = dynamic_cast<QMainWindow*>(FindQtWidget(window));
    if (!frame) {
        return;
    }
    const MenuHandle menu = GetWindowMenuBar(window);
    const int hadBar = frame->menuWidget() ? 1 : 0;
    if (!menu) {
        if (hadBar) {
            delete frame->menuWidget();
            ApplyQtGeometry(window);
        }
        return;
    }
    QMenuBar* bar = frame->menuBar();
    if (bar->property(kMenuProperty).value<void*>() != static_cast<void*>(menu)) {
        RemoveActions(bar);
        bar->setProperty(kMenuProperty, QVariant::fromValue<void*>(menu));
    }
    SyncActions(bar, menu, window);
    if (!hadBar) {
        ApplyQtGeometry(window);  // the client area keeps the record's size under the new bar
    }
}

void OnQtMenuChanged(MenuHandle, int) {
    RunOnQtGuiThread([] {
        for (WindowHandle window : ListQtWindows()) {
            if (GetWindowMenuBar(window) || FindQtMenuBar(window)) {
                SyncQtMenuBar(window);
            }
        }
    });
}

void OnQtMenuBarChanged(WindowHandle window) {
    RunOnQtGuiThread([window] { SyncQtMenuBar(window); });
}

}  // namespace mirexa
