// The widgets of dialog records: a dialog is a QDialog without a layout holding one widget per
// control record at its converted rectangle. Program changes of a record reach its widget with
// the widget's signals blocked; a user action writes the record (text, check) without program
// code and posts the notification the procedure expects (a tab click, which asks the dialog
// first, is made inside the layer's loop). Modal dialogs are shown, never exec'd: the layer's
// modal loop waits for them.
#include <QCheckBox>
#include <QDialog>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QWindow>

#include "platform/dialogs.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

MessageLParam PackPoint(const QPoint& p) {
    return static_cast<MessageLParam>((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16));
}

void PostNotification(WindowHandle control, unsigned code) {
    PostWindowMessage(GetParentWindow(control), WM_COMMAND,
                      MakeCommandWParam(GetDlgCtrlId(control), code),
                      reinterpret_cast<MessageLParam>(control));
}

// Mouse presses, releases, moves and the wheel of a program-drawn window become its messages, in
// its client pixels (the tool panel draws on its dialog and takes the clicks there).
bool PostMouse(WindowHandle window, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool press = event->type() == QEvent::MouseButtonPress;
            unsigned message = 0;
            if (mouse->button() == Qt::LeftButton) {
                message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            } else if (mouse->button() == Qt::RightButton) {
                message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            }
            if (message != 0) {
                PostWindowMessage(window, message, 0, PackPoint(mouse->position().toPoint()));
            }
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            MessageWParam buttons = 0;
            buttons |= (mouse->buttons() & Qt::LeftButton) ? MK_LBUTTON : 0;
            buttons |= (mouse->buttons() & Qt::RightButton) ? MK_RBUTTON : 0;
            PostOrReplaceWindowMessage(window, WM_MOUSEMOVE, buttons,
                                       PackPoint(mouse->position().toPoint()));
            return true;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta = wheel->angleDelta().y();
            if (delta != 0) {
                PostWindowMessage(window, WM_MOUSEWHEEL,
                                  static_cast<MessageWParam>(static_cast<std::intptr_t>(delta)),
                                  PackPoint(wheel->position().toPoint()));
            }
            return true;
        }
        default:
            return false;
    }
}

// The id Enter gives: the default push button's, or IDOK when there is none.
int DefaultButtonId(WindowHandle dialog) {
    for (WindowHandle control : GetChildWindows(dialog)) {
        if (GetControlKind(control) == ControlKind::DefPushButton &&
            IsPlatformWindowEnabled(control) && IsPlatformWindowVisible(control)) {
            return GetDlgCtrlId(control);
        }
    }
    return IDOK;
}

// A program-drawn window: the picture its paint records left, and its mouse as its messages.
template <typename Base>
class PaintedWidget : public Base {
public:
    PaintedWidget(WindowHandle window, QWidget* parent, Qt::WindowFlags flags = {})
        : Base(parent, flags), window_(window) {
        this->setMouseTracking(true);
    }
    QImage picture;

protected:
    bool event(QEvent* event) override {
        if (PostMouse(window_, event)) {
            return true;
        }
        return Base::event(event);
    }
    void paintEvent(QPaintEvent*) override {
        if (!picture.isNull()) {
            QPainter(this).drawImage(0, 0, picture);
        }
    }
    WindowHandle window_;
};

// A dialog: its controls are children at their pixel rectangles; what the procedure paints on
// the dialog itself (the tool panel) is kept as a picture behind them.
class DialogWidget : public PaintedWidget<QDialog> {
public:
    DialogWidget(WindowHandle dialog, QWidget* owner, bool modeless)
        : PaintedWidget(dialog, owner, modeless ? Qt::Tool : Qt::Dialog) {
        setModal(false);
        if (!modeless) {
            setWindowModality(Qt::WindowModal);
        }
    }
    bool placed = false;  // a modal dialog is centred on its owner when it first shows

    void reject() override {
        PostCommand(IDCANCEL);
    }

protected:
    // The dialog manager's keys: Enter gives the default button's command, Esc IDCANCEL.
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                PostCommand(DefaultButtonId(window_));
                return;
            case Qt::Key_Escape:
                PostCommand(IDCANCEL);
                return;
            default:
                event->ignore();
        }
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();  // the procedure decides (WM_CLOSE becomes IDCANCEL)
        NotifyNativeClose(window_);
    }
    void moveEvent(QMoveEvent* event) override {
        QDialog::moveEvent(event);
        WindowRect known = {};
        if (isVisible() && GetPlatformWindowRect(window_, &known) &&
            (known.left != x() || known.top != y())) {
            NotifyNativeGeometry(window_,
                                 WindowRect{x(), y(), x() + (known.right - known.left),
                                            y() + (known.bottom - known.top)},
                                 0);
        }
    }

private:
    void PostCommand(int id) {
        PostWindowMessage(window_, WM_COMMAND, MakeCommandWParam(id, BN_CLICKED),
                          reinterpret_cast<MessageLParam>(GetChildWindow(window_, id)));
    }
};

// Check boxes and radio buttons never change themselves: a click asks the layer, which checks
// an automatic one in its record, and the widget shows the record.
class RecordCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

class RecordRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

class RecordEdit : public QLineEdit {
public:
    RecordEdit(WindowHandle control, QWidget* parent) : QLineEdit(parent), control_(control) {
        // The user's text goes into the record first, then the dialog hears EN_CHANGE.
        connect(this, &QLineEdit::textEdited, [control](const QString& text) {
            const std::string utf8 = text.toStdString();
            DefaultWindowProcedure(control, WM_SETTEXT, 0,
                                   reinterpret_cast<MessageLParam>(utf8.c_str()));
            PostNotification(control, EN_CHANGE);
        });
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        NotifyNativeFocus(control_);
        PostNotification(control_, EN_SETFOCUS);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        PostNotification(control_, EN_KILLFOCUS);
    }

private:
    WindowHandle control_;
};

// A static text's "&" marks the letter of a keyboard shortcut, which a label has none of: the
// mark is not shown, and "&&" shows one "&".
QString WithoutMnemonicMarks(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

// Static text; a notifying one tells its dialog of a click (STN_CLICKED).
class RecordLabel : public QLabel {
public:
    RecordLabel(WindowHandle control, QWidget* parent) : QLabel(parent), control_(control) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && (GetControlStyle(control_) & kNotify)) {
            PostNotification(control_, STN_CLICKED);
        }
    }

private:
    WindowHandle control_;
};

// A colour field: filled with the colour the dialog last gave it.
class SwatchWidget : public RecordLabel {
public:
    using RecordLabel::RecordLabel;
    bool colored = false;
    QColor color;

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        if (colored) {
            painter.fillRect(rect(), color);
        }
        QLabel::paintEvent(event);
    }
};

// A client area the procedure paints.
using CustomWidget = PaintedWidget<QWidget>;

bool IsDialog(WindowHandle window) {
    return GetWindowClassName(window) == DIALOG_CLASS;
}

bool IsDialogControl(WindowHandle window) {
    return window && IsDialog(GetParentWindow(window)) && GetControlTemplate(window) != nullptr;
}

QImage* PictureOf(QWidget* widget) {
    if (auto* dialog = dynamic_cast<DialogWidget*>(widget)) {
        return &dialog->picture;
    }
    if (auto* custom = dynamic_cast<CustomWidget*>(widget)) {
        return &custom->picture;
    }
    return nullptr;
}

Qt::Alignment AlignmentOf(std::uint32_t style) {
    const Qt::Alignment horizontal = (style & kAlignRight)    ? Qt::AlignRight
                                     : (style & kAlignCenter) ? Qt::AlignHCenter
                                                              : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

QWidget* MakeControl(WindowHandle control, QWidget* host) {
    const ControlTemplate* entry = GetControlTemplate(control);
    WindowHandle dialog = GetParentWindow(control);
    const int id = GetDlgCtrlId(control);
    QWidget* widget = nullptr;
    switch (entry->kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(host);
            // Enter belongs to the dialog, which gives the default button's command.
            button->setAutoDefault(false);
            button->setDefault(entry->kind == ControlKind::DefPushButton);
            widget = button;
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::AutoCheckBox:
            widget = new RecordCheckBox(host);
            break;
        case ControlKind::RadioButton:
        case ControlKind::AutoRadioButton: {
            auto* radio = new RecordRadioButton(host);
            radio->setAutoExclusive(false);  // the layer keeps the group
            widget = radio;
            break;
        }
        case ControlKind::GroupBox: {
            // A frame and title only: the controls inside are its siblings and take the clicks,
            // whatever the order of the template.
            auto* group = new QGroupBox(host);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            group->setFocusPolicy(Qt::NoFocus);
            widget = group;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new RecordEdit(control, host);
            edit->setReadOnly((entry->style & kReadOnly) != 0);
            edit->setAlignment(AlignmentOf(entry->style));
            widget = edit;
            break;
        }
        case ControlKind::Text: {
            auto* label = new RecordLabel(control, host);
            label->setAlignment(AlignmentOf(entry->style));
            label->setWordWrap(true);  // as static texts do: a note goes on over its lines
            widget = label;
            break;
        }
        case ControlKind::Swatch: {
            auto* swatch = new SwatchWidget(control, host);
            swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            widget = swatch;
            break;
        }
        case ControlKind::TabBar: {
            auto* tabs = new QTabBar(host);
            tabs->setExpanding(false);
            tabs->setUsesScrollButtons(true);
            // The dialog may refuse the change: the click is made inside the layer's loop, and
            // the bar then shows the record's tab, whichever it is.
            QObject::connect(tabs, &QTabBar::currentChanged, [control, dialog, id](int index) {
                QueueQtLoopWork([control, dialog, id, index] {
                    ClickTabItem(dialog, id, index);
                    RefreshQtControl(control);
                });
            });
            widget = tabs;
            break;
        }
        case ControlKind::HScrollBar: {
            auto* bar = new QScrollBar(Qt::Horizontal, host);
            bar->setPageStep(1);
            // The procedure, not the bar, moves the thumb: the bar posts what the user asked for
            // and keeps showing the record's position.
            QObject::connect(bar, &QAbstractSlider::actionTriggered, [bar, dialog, id](int action) {
                unsigned code = SB_THUMBTRACK;
                switch (action) {
                    case QAbstractSlider::SliderSingleStepAdd:
                        code = SB_LINERIGHT;
                        break;
                    case QAbstractSlider::SliderSingleStepSub:
                        code = SB_LINELEFT;
                        break;
                    case QAbstractSlider::SliderPageStepAdd:
                        code = SB_PAGERIGHT;
                        break;
                    case QAbstractSlider::SliderPageStepSub:
                        code = SB_PAGELEFT;
                        break;
                    default:
                        break;
                }
                ScrollDlgItem(dialog, id, code, bar->sliderPosition());
                bar->setSliderPosition(GetDlgItemScrollPos(dialog, id));
            });
            QObject::connect(bar, &QAbstractSlider::sliderReleased, [bar, dialog, id] {
                ScrollDlgItem(dialog, id, SB_THUMBPOSITION, bar->sliderPosition());
                bar->setSliderPosition(GetDlgItemScrollPos(dialog, id));
            });
            widget = bar;
            break;
        }
        case ControlKind::Custom:
            widget = new CustomWidget(control, host);
            break;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        // A click as the layer makes it: an automatic button changes its record, then the
        // dialog hears BN_CLICKED; the widget shows the record again.
        QObject::connect(button, &QAbstractButton::clicked, [control, dialog, id] {
            ClickDlgItem(dialog, id);
            RefreshQtControl(control);
        });
    }
    if (entry->kind == ControlKind::GroupBox) {
        widget->lower();
    } else if (entry->style & kTabStop) {
        widget->setFocusPolicy(Qt::StrongFocus);
    } else if (entry->kind != ControlKind::Edit) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    widget->setObjectName(QStringLiteral("item%1").arg(id));
    return widget;
}

}  // namespace

QWidget* MakeQtDialogWidget(WindowHandle window, QWidget* host) {
    if (IsDialog(window) && !GetParentWindow(window)) {
        const DialogTemplate* dialogTemplate = GetDialogTemplate(window);
        const bool modeless = dialogTemplate && (dialogTemplate->flags & kDialogModeless);
        // The owner's widget is made first when it has none yet (the program's panels come before
        // its main window first shows), so that the dialog stands above it as its tool window.
        QWidget* owner = EnsureQtWidget(GetDialogOwner(window));
        auto* dialog = new DialogWidget(window, owner ? owner->window() : nullptr, modeless);
        if (dialogTemplate && (dialogTemplate->flags & kDialogTopmost)) {
            dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
        }
        return dialog;
    }
    if (IsDialogControl(window)) {
        return MakeControl(window, host);
    }
    return nullptr;
}

int ApplyQtDialogText(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    if (!widget || !IsDialogControl(window)) {
        return 0;
    }
    const QString text = QString::fromStdString(GetPlatformWindowText(window));
    const QSignalBlocker blocker(widget);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(WithoutMnemonicMarks(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
    return 1;
}

int RefreshQtDialogControl(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    if (!widget || !IsDialogControl(window)) {
        return 0;
    }
    WindowHandle dialog = GetParentWindow(window);
    const int id = GetDlgCtrlId(window);
    const QSignalBlocker blocker(widget);
    if (auto* swatch = dynamic_cast<SwatchWidget*>(widget)) {
        std::uint32_t color = 0;
        swatch->colored = GetDlgSwatchColor(dialog, id, &color) == 1;
        swatch->color = QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
               button && button->isCheckable()) {
        button->setChecked(IsDlgButtonChecked(dialog, id) == BST_CHECKED);
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
        const int count = GetTabItemCount(dialog, id);
        while (tabs->count() > count) {
            tabs->removeTab(tabs->count() - 1);
        }
        for (int i = 0; i < count; ++i) {
            const QString text = QString::fromStdString(GetTabItemText(dialog, id, i));
            if (i < tabs->count()) {
                tabs->setTabText(i, text);
            } else {
                tabs->addTab(text);
            }
        }
        tabs->setCurrentIndex(GetTabSelection(dialog, id));
    } else if (auto* bar = qobject_cast<QScrollBar*>(widget)) {
        int minimum = 0;
        int maximum = 0;
        if (GetDlgItemScrollRange(dialog, id, &minimum, &maximum)) {
            bar->setRange(minimum, maximum);
            bar->setValue(GetDlgItemScrollPos(dialog, id));
        }
    }
    widget->update();
    return 1;
}

int ApplyQtDialogEnabled(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    if (!widget) {
        return 0;
    }
    if (dynamic_cast<DialogWidget*>(widget)) {
        // The dialog itself stays enabled, so that a dialog it owns is not disabled with it; its
        // controls take its state.
        for (WindowHandle control : GetChildWindows(window)) {
            ApplyQtDialogEnabled(control);
        }
        return 1;
    }
    if (!IsDialogControl(window)) {
        return 0;
    }
    widget->setEnabled(IsPlatformWindowEnabled(window) &&
                       IsPlatformWindowEnabled(GetParentWindow(window)));
    return 1;
}

int ApplyQtDialogGeometry(WindowHandle window) {
    auto* dialog = dynamic_cast<DialogWidget*>(FindQtWidget(window));
    WindowRect r = {};
    if (!dialog || !GetPlatformWindowRect(window, &r)) {
        return 0;
    }
    dialog->setFixedSize(std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
    dialog->move(r.left, r.top);
    return 1;
}

int QtDialogWaitsForOwner(WindowHandle window) {
    auto* dialog = dynamic_cast<DialogWidget*>(FindQtWidget(window));
    return dialog && dialog->windowModality() == Qt::NonModal && dialog->parentWidget() &&
                   !dialog->parentWidget()->window()->isVisible()
               ? 1
               : 0;
}

void PrepareQtDialogShow(WindowHandle window) {
    auto* dialog = dynamic_cast<DialogWidget*>(FindQtWidget(window));
    if (!dialog) {
        return;
    }
    // A modeless panel the program shows (the tool and command panels, placed again after a
    // resize) leaves the keyboard where the user left it; a modal dialog takes it.
    dialog->setAttribute(Qt::WA_ShowWithoutActivating, dialog->windowModality() == Qt::NonModal);
    if (!dialog->placed && dialog->windowModality() == Qt::WindowModal && dialog->parentWidget()) {
        // Centred on the owner; the record follows as after a move by the user.
        dialog->placed = true;
        const QRect owner = dialog->parentWidget()->window()->geometry();
        const QPoint at = owner.center() - QPoint(dialog->width() / 2, dialog->height() / 2);
        dialog->move(std::max(0, at.x()), std::max(0, at.y()));
    }
}

namespace {

// Shows the dialogs that the window owns and that waited for it to show (the program's panels,
// shown before its main window first shows): mapped after their owner, they stand above it as
// its tool windows, also when it is activated, instead of behind it.
void ShowOwnedDialogs(WindowHandle owner) {
    bool shown = false;
    for (WindowHandle window : GetTopLevelWindows()) {
        auto* dialog = dynamic_cast<DialogWidget*>(FindQtWidget(window));
        if (dialog && GetDialogOwner(window) == owner && !dialog->isVisible() &&
            IsPlatformWindowVisible(window)) {
            ApplyQtVisibility(window);
            shown = true;
        }
    }
    // The keyboard stays with the owner, which has just shown, as without the panels.
    if (QWidget* frame = FindQtWidget(owner); shown && frame) {
        frame->activateWindow();
    }
}

}  // namespace

void ActivateQtTopLevel(QWidget* window) {
    window->raise();
    if (WindowHandle owner = FindQtTopLevel(window)) {
        for (WindowHandle each : GetTopLevelWindows()) {
            auto* panel = dynamic_cast<DialogWidget*>(FindQtWidget(each));
            if (panel && panel->windowModality() == Qt::NonModal && panel->isVisible() &&
                GetDialogOwner(each) == owner) {
                panel->raise();
            }
        }
    }
    window->activateWindow();
}

void FinishQtDialogShow(WindowHandle window) {
    auto* dialog = dynamic_cast<DialogWidget*>(FindQtWidget(window));
    if (!dialog) {
        ShowOwnedDialogs(window);
        return;
    }
    if (!dialog->isVisible()) {
        return;
    }
    dialog->raise();
    if (dialog->windowModality() == Qt::NonModal) {
        return;
    }
    dialog->activateWindow();
    WindowHandle focus = GetFocusWindow();
    if (focus && GetParentWindow(focus) == window) {
        if (QWidget* control = FindQtWidget(focus)) {
            control->setFocus(Qt::OtherFocusReason);
        }
    }
}

int ApplyQtDialogPaintRecord(WindowHandle window) {
    QWidget* widget = FindQtWidget(window);
    QImage* picture = PictureOf(widget);
    if (!picture) {
        return 0;
    }
    if (picture->size() != widget->size()) {
        QImage resized(widget->size(), QImage::Format_RGB32);
        resized.fill(widget->palette().window().color());
        *picture = resized;
    }
    ReplayQtPaintRecord(GetLastPaintRecord(window), picture);
    widget->update();
    return 1;
}

}  // namespace mirexa
