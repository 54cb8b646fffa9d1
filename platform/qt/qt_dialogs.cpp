// The responders of the Qt backend: message boxes, file and colour dialogs and popup menus shown
// with the toolkit and waited for in the layer's own modal loop, so that timers and other threads'
// sends keep flowing meanwhile. A request from another thread runs on the GUI thread through the
// service window; when that thread's loop has ended, the request gets its default answer.
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <functional>

#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/popup_menu.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

// The top-level widget a box or dialog stands above: the owner's, or none.
QWidget* OwnerWidget(WindowHandle owner) {
    QWidget* widget = FindQtWidget(owner);
    return widget ? widget->window() : nullptr;
}

// How often an open box, dialog or menu looks at the program's end request (ms): a signal's
// handler can only raise a flag, and nothing else wakes the loop it waits in.
constexpr int kEndRequestPollMs = 100;

// Calls close once the program's end request is raised, looking every kEndRequestPollMs while
// the watch lives.
class EndRequestWatch {
public:
    explicit EndRequestWatch(std::function<void()> close) {
        timer_.setInterval(kEndRequestPollMs);
        QObject::connect(&timer_, &QTimer::timeout, [this, close = std::move(close)] {
            if (!ended_ && MessageBoxEndRequested()) {
                ended_ = true;
                close();
            }
        });
        timer_.start();
    }
    bool Ended() const {
        return ended_;
    }

private:
    QTimer timer_;
    bool ended_ = false;
};

// The toolkit's dialog of the kind, which closes the popups open at its end (its file name
// completion list, which its file system model may show after the last key; its owner took no
// input meanwhile) before it hides itself: the X server has then taken the end of the popup's
// keyboard grab by the time the dialog is gone from the screen. Closed with the dialog, after
// it, the popup would go only at the program's next pass of its loop, after the work the dialog
// was asked for, and a key typed once the dialog had gone (Alt and a menu's letter) would reach
// the popup and be lost.
template <typename Dialog>
class PopupsClosedFirst : public Dialog {
public:
    using Dialog::Dialog;
    void done(int result) override {
        for (int i = 0; i < 16 && QApplication::activePopupWidget() != nullptr; ++i) {
            QApplication::activePopupWidget()->hide();
        }
        Dialog::done(result);
    }
};

// Opens the toolkit dialog (never exec) in front and waits for its end in the layer's modal
// loop, the owner disabled meanwhile; the dialog is hidden again on return and the owner's window
// takes the keyboard back (without a window manager the focus would go to no window at all). An
// end request raised while it is open closes it as Esc would. Returns 1 when it was closed so.
int OpenAndWait(QDialog* dialog, WindowHandle owner) {
    bool done = false;
    QObject::connect(dialog, &QDialog::finished, [&done] {
        done = true;
        WakeQtModalLoop();
    });
    const EndRequestWatch watch([dialog] { dialog->done(QDialog::Rejected); });
    dialog->open();
    // In front with the keyboard focus: a desktop without a window manager gives it none by
    // itself.
    ActivateQtTopLevel(dialog);
    RunQtModalLoop(owner, &done);
    dialog->hide();
    if (QWidget* window = OwnerWidget(owner); window != nullptr && window->isVisible()) {
        ActivateQtTopLevel(window);
    }
    return watch.Ended() ? 1 : 0;
}

// Runs the answer on the GUI thread; the fallback stands when that cannot be done.
template <typename Answer, typename Ask>
Answer AskOnGuiThread(Ask ask, Answer fallback) {
    Answer answer = fallback;
    if (!CallOnQtGuiThread([&] { answer = ask(); })) {
        return fallback;
    }
    return answer;
}

// The buttons of a box style, in order, with their answers.
struct BoxButton {
    QMessageBox::StandardButton button;
    int answer;
};
std::vector<BoxButton> BoxButtons(unsigned style) {
    switch (style & MBX_BUTTONS_MASK) {
        case MBX_OKCANCEL:
            return {{QMessageBox::Ok, MBX_IDOK}, {QMessageBox::Cancel, MBX_IDCANCEL}};
        case MBX_YESNOCANCEL:
            return {{QMessageBox::Yes, MBX_IDYES},
                    {QMessageBox::No, MBX_IDNO},
                    {QMessageBox::Cancel, MBX_IDCANCEL}};
        case MBX_YESNO:
            return {{QMessageBox::Yes, MBX_IDYES}, {QMessageBox::No, MBX_IDNO}};
        default:
            return {{QMessageBox::Ok, MBX_IDOK}};
    }
}

QMessageBox::Icon BoxIcon(unsigned style) {
    switch (style & 0xF0) {
        case MBX_ICONERROR:
            return QMessageBox::Critical;
        case MBX_ICONQUESTION:
            return QMessageBox::Question;
        case MBX_ICONWARNING:
            return QMessageBox::Warning;
        case MBX_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// Room a title bar takes besides its caption (px): the window's icon and its close, maximise and
// minimise buttons, with the frame's margins.
constexpr int kTitleBarAllowance = 160;

// A box sizes itself to its text and buttons; a short text under a long caption ("Memory over!"
// under "Data size error") would leave the title bar too narrow, and the window manager would
// elide the caption. A spacer across the box's last row keeps it as wide as the caption in a
// bold title font needs.
void FitBoxToCaption(QMessageBox* box, const QString& caption) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (grid == nullptr || caption.isEmpty()) {
        return;
    }
    QFont font = box->font();
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(caption) + kTitleBarAllowance;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

int AskMessageBox(const MessageBoxRequest& request) {
    if (!IsQtGuiThread()) {
        return AskOnGuiThread([&] { return AskMessageBox(request); },
                              GetDefaultMessageBoxAnswer(request.style));
    }
    // The program is ending (an end signal came): no box holds that up.
    const int cancelled = GetCancelMessageBoxAnswer(request.style);
    if (MessageBoxEndRequested()) {
        return cancelled;
    }
    QMessageBox box(BoxIcon(request.style), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton,
                    OwnerWidget(request.owner));
    const std::vector<BoxButton> buttons = BoxButtons(request.style);
    const int fallback = GetDefaultMessageBoxAnswer(request.style);
    for (const BoxButton& each : buttons) {
        QPushButton* button = box.addButton(each.button);
        if (each.answer == fallback) {
            box.setDefaultButton(button);
        }
    }
    // Esc gives Cancel, or No where there is no Cancel, or the only button.
    for (const BoxButton& each : buttons) {
        if (each.answer == cancelled) {
            box.setEscapeButton(each.button);
        }
    }
    if (request.style & MBX_TOPMOST) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    FitBoxToCaption(&box, box.windowTitle());
    // An end request that comes while the box is open closes it as Esc would.
    if (OpenAndWait(&box, request.owner) != 0) {
        return cancelled;
    }
    const auto clicked = box.standardButton(box.clickedButton());
    for (const BoxButton& each : buttons) {
        if (each.button == clicked) {
            return each.answer;
        }
    }
    return fallback;
}

// "Label (*.a *.b)": the toolkit reads the patterns from the last parentheses. A label that
// ends with its own patterns ("NC-File(*.NC)") shows them once.
QString FilterName(const FileDialogFilter& filter) {
    QString patterns = QString::fromStdString(filter.patterns);
    QString label = QString::fromStdString(filter.label);
    const QString own = "(" + patterns + ")";
    if (label.endsWith(own, Qt::CaseInsensitive)) {
        label.chop(own.size());
        label = label.trimmed();
    }
    patterns.replace(';', ' ');
    return label + " (" + patterns.simplified() + ")";
}

FileDialogResult AskFileDialog(const FileDialogRequest& request) {
    FileDialogResult cancelled;
    cancelled.filterIndex = request.filterIndex;
    cancelled.checkBoxChecked = request.checkBoxChecked;
    if (!IsQtGuiThread()) {
        return AskOnGuiThread([&] { return AskFileDialog(request); }, cancelled);
    }
    // The program is ending: no dialog holds that up.
    if (MessageBoxEndRequested()) {
        return cancelled;
    }
    // Without a folder of its own the dialog starts in the working folder, not in the toolkit's
    // shared history of another program.
    const QString folder = request.initialDirectory.empty()
                               ? QDir::currentPath()
                               : QString::fromStdString(request.initialDirectory);
    PopupsClosedFirst<QFileDialog> dialog(OwnerWidget(request.owner),
                                          QString::fromStdString(request.title), folder);
    // The toolkit's own dialog: it takes the extra check box, and its filters ignore case.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!(request.flags & FILEDLG_OVERWRITE_PROMPT)) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    QStringList names;
    for (const FileDialogFilter& filter : request.filters) {
        names << FilterName(filter);
    }
    if (!names.isEmpty()) {
        dialog.setNameFilters(names);
        const int index = request.filterIndex >= 1 && request.filterIndex <= names.size()
                              ? request.filterIndex
                              : 1;
        dialog.selectNameFilter(names[index - 1]);
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(QString::fromStdString(request.fileName));
    }
    if (!request.okLabel.empty()) {
        dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(request.okLabel));
    }
    QCheckBox* checkBox = nullptr;
    if (!request.checkBoxLabel.empty()) {
        checkBox = new QCheckBox(QString::fromStdString(request.checkBoxLabel), &dialog);
        checkBox->setObjectName(QStringLiteral("extraCheckBox"));
        checkBox->setChecked(request.checkBoxChecked != 0);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            grid->addWidget(checkBox, grid->rowCount(), 0, 1, -1);
        }
    }
    OpenAndWait(&dialog, request.owner);
    const QStringList chosen = dialog.selectedFiles();
    if (dialog.result() != QDialog::Accepted || chosen.isEmpty()) {
        return cancelled;
    }
    FileDialogResult result;
    result.ok = 1;
    result.path = chosen.front().toStdString();
    result.filterIndex = names.isEmpty() ? 0 : names.indexOf(dialog.selectedNameFilter()) + 1;
    result.checkBoxChecked = checkBox && checkBox->isChecked() ? 1 : 0;
    return result;
}

QColor ToQColor(std::uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

std::uint32_t FromQColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

// The toolkit's colour chooser with the program's 16 custom colours, which come back whatever the
// answer: the user may have set some before cancelling, and they are kept for the next opening.
int AskColor(const ColorChooserRequest& request, std::uint32_t* chosen) {
    if (!IsQtGuiThread()) {
        return AskOnGuiThread([&] { return AskColor(request, chosen); }, 0);
    }
    if (MessageBoxEndRequested()) {
        return 0;
    }
    if (request.customColors) {
        for (int i = 0; i < kCustomColorCount; ++i) {
            QColorDialog::setCustomColor(i, ToQColor(request.customColors[i]));
        }
    }
    PopupsClosedFirst<QColorDialog> dialog(ToQColor(request.initial), OwnerWidget(request.owner));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    OpenAndWait(&dialog, request.owner);
    if (request.customColors) {
        for (int i = 0; i < kCustomColorCount; ++i) {
            request.customColors[i] = FromQColor(QColorDialog::customColor(i));
        }
    }
    if (dialog.result() != QDialog::Accepted) {
        return 0;
    }
    *chosen = FromQColor(dialog.selectedColor());
    return 1;
}

unsigned AskPopupMenu(const PopupMenu& menu, int, int) {
    if (!IsQtGuiThread()) {
        return AskOnGuiThread([&] { return AskPopupMenu(menu, 0, 0); }, 0u);
    }
    if (MessageBoxEndRequested()) {
        return 0;
    }
    QMenu popup;
    for (const PopupMenuItem& item : menu.items) {
        if (item.command == 0) {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(QString::fromStdString(item.text));
        action->setData(item.command);
        action->setEnabled(!item.grayed);
        action->setCheckable(item.checked != 0);
        action->setChecked(item.checked != 0);
    }
    unsigned chosen = 0;
    bool done = false;
    QObject::connect(&popup, &QMenu::triggered,
                     [&chosen](QAction* action) { chosen = action->data().toUInt(); });
    QObject::connect(&popup, &QMenu::aboutToHide, [&done] {
        done = true;
        WakeQtModalLoop();
    });
    // An end request closes the menu as a click beside it would.
    const EndRequestWatch watch([&popup] { popup.close(); });
    // The menu opens where the pointer is: the right click that asked for it.
    popup.popup(QCursor::pos());
    RunQtModalLoop(nullptr, &done);
    return watch.Ended() ? 0 : chosen;
}

}  // namespace

void InstallQtResponders() {
    SetMessageBoxResponder(AskMessageBox);
    SetFileDialogResponder(AskFileDialog);
    SetPopupMenuResponder(AskPopupMenu);
    SetColorChooserResponder(AskColor);
}

void RemoveQtResponders() {
    SetMessageBoxResponder({});
    SetFileDialogResponder({});
    SetPopupMenuResponder({});
    SetColorChooserResponder({});
}

}  // namespace mirexa
