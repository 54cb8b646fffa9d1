// Start and end of the Qt backend, the GUI pump through which the layer's loop runs Qt, the hooks
// the layer calls on every change of a record, and the service window with the modal loop.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

#include "platform/backend.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

// Set on the GUI thread at start, read by any thread.
std::atomic<QAbstractEventDispatcher*> guiDispatcher{nullptr};
std::atomic<WindowHandle> serviceWindow{nullptr};
QApplication* application = nullptr;  // GUI thread only
QTimer* dueTimer = nullptr;           // wakes a wait when a layer timer falls due
// Drops waiting for the layer's loop, oldest first (GUI thread only).
std::deque<std::pair<WindowHandle, std::vector<std::string>>> pendingDrops;
// Work of toolkit handlers waiting for the layer's loop, oldest first (GUI thread only).
std::deque<std::function<void()>> pendingWork;

// What the program says when the display cannot be opened or goes away, and whether the
// application object is being made (any thread).
std::atomic<void (*)(int, const std::string&)> displayLossHandler{nullptr};
std::atomic<int> toolkitStarting{0};
QtMessageHandler previousMessageHandler = nullptr;

// Every message of the toolkit. A fatal one (at start: no connection to the display) and the
// warning that the connection to the X server broke are the toolkit's last words before it ends
// the process; the program says its own and ends there with exit 2 instead.
void OnToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (previousMessageHandler != nullptr) {
        previousMessageHandler(type, context, text);
    }
    if (type != QtFatalMsg &&
        !(type == QtWarningMsg && text.startsWith(QLatin1String("The X11 connection broke")))) {
        return;
    }
    if (auto* say = displayLossHandler.load()) {
        say(toolkitStarting.load(), text.toStdString());
    }
    _exit(2);
}

// argc and argv outlive the application object, as Qt requires.
int applicationArgc = 1;
char applicationName[] = "mirexa";
char* applicationArgv[] = {applicationName, nullptr};

constexpr unsigned kServiceCall = WM_USER + 700;  // lparam: const std::function<void()>*
constexpr unsigned kServiceDrop = WM_USER + 701;  // the oldest pending drop
constexpr unsigned kServiceWork = WM_USER + 702;  // the oldest pending work

MessageResult ServiceProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    switch (message) {
        case kServiceCall:
            (*reinterpret_cast<const std::function<void()>*>(lparam))();
            return 1;
        case kServiceDrop: {
            if (pendingDrops.empty()) {
                return 0;
            }
            auto drop = std::move(pendingDrops.front());
            pendingDrops.pop_front();
            return SendWindowMessage(drop.first, WM_DROPFILES, 0,
                                     reinterpret_cast<MessageLParam>(&drop.second));
        }
        case kServiceWork: {
            if (pendingWork.empty()) {
                return 0;
            }
            std::function<void()> work = std::move(pendingWork.front());
            pendingWork.pop_front();
            work();
            return 1;
        }
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

// --- The pump --------------------------------------------------------------------------------

void PumpWake() {
    if (QAbstractEventDispatcher* dispatcher = guiDispatcher.load()) {
        dispatcher->wakeUp();
    }
}

// The longest a wait sleeps without a layer timer due: a wake-up that went astray inside the
// toolkit then delays the user's input and the panels' paints by this at most, never for ever.
constexpr std::int64_t kLongestPumpWaitMs = 250;

void PumpWait(std::int64_t timeoutMs) {
    dueTimer->start(static_cast<int>(std::clamp<std::int64_t>(
        timeoutMs < 0 ? kLongestPumpWaitMs : timeoutMs, 0, kLongestPumpWaitMs)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    dueTimer->stop();
}

void PumpPoll(int excludeInput) {
    if (!excludeInput) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The toolkit parks the user's input that such a pass read from the X server, and takes it
    // only in a pass that the X connection's wake-up starts: without another wake-up the next
    // wait would sleep with the keys and clicks parked until the user does something else (the
    // window seems frozen). The wake-up makes the next full pass take them.
    PumpWake();
}

const GuiPump qtPump = {PumpWake, PumpWait, PumpPoll};

// --- Hooks of the window records ---------------------------------------------------------------

void OnWindowCreated(WindowHandle window) {
    // Top-level windows get their widget when first shown (a hidden message window never does);
    // a child gets one at once when its parent has one.
    if (IsQtGuiThread() && GetParentWindow(window) && FindQtWidget(GetParentWindow(window))) {
        EnsureQtWidget(window);
    }
}

void OnWindowDestroyed(WindowHandle window) {
    RunOnQtGuiThread([window] { DeleteQtWidget(window); });
}

void OnTextChanged(WindowHandle window, const std::string&) {
    RunOnQtGuiThread([window] { ApplyQtText(window); });
}

void OnShown(WindowHandle window, int) {
    RunOnQtGuiThread([window] { ApplyQtVisibility(window); });
}

void OnMoved(WindowHandle window, const WindowRect&) {
    RunOnQtGuiThread([window] { ApplyQtGeometry(window); });
}

void OnControlChanged(WindowHandle window) {
    RunOnQtGuiThread([window] { RefreshQtControl(window); });
}

void OnEnabled(WindowHandle window, int) {
    RunOnQtGuiThread([window] { ApplyQtEnabled(window); });
}

void OnFocusChanged(WindowHandle window) {
    RunOnQtGuiThread([window] { ApplyQtFocus(window); });
}

// The view draws on the GUI thread only; its rows come bottom up in BGR.
void OnFramePresented(WindowHandle window, const PresentedFrame& frame) {
    if (!IsQtGuiThread()) {
        return;
    }
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* row = frame.pixels + std::size_t(frame.height - 1 - y) * frame.stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < frame.width; ++x) {
            out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        }
    }
    ShowQtFrame(window, image);
}

void OnPainted(WindowHandle window, const std::vector<PaintOperation>&) {
    RunOnQtGuiThread([window] { ApplyQtPaintRecord(window); });
}

void OnCursorChanged() {
    RunOnQtGuiThread([] { ApplyQtCursor(); });
}

void OnClipboardChanged(unsigned format) {
    RunOnQtGuiThread([format] { PublishQtClipboard(format); });
}

// Qt's own Japanese texts, installed while the interface is Japanese.
QTranslator* japaneseTexts = nullptr;

void OnLanguageChanged(int english) {
    if (!english && japaneseTexts == nullptr) {
        auto* translator = new QTranslator;
        if (translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"),
                             QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator);
            japaneseTexts = translator;
        } else {
            delete translator;
        }
    } else if (english && japaneseTexts != nullptr) {
        QCoreApplication::removeTranslator(japaneseTexts);
        delete japaneseTexts;
        japaneseTexts = nullptr;
    }
}

int StartQtBackend() {
    if (application) {
        return 1;
    }
    if (!IsQtDisplayAvailable(nullptr)) {
        return 0;
    }
    // Under X11 the xcb platform; Debian's Qt has no Wayland plug-in unless one is installed.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") != nullptr) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    // The plain Unix event dispatcher rather than the glib one: it takes every X event waiting
    // in the connection's queue after each pass. The glib one takes them only when its
    // post-event source saw a wake-up, and that source can use up the wake-up of the thread that
    // reads the X connection within the same pass: the window then sleeps with keys, clicks and
    // exposures waiting until some other event comes (it seems frozen). The layer's loop pumps
    // Qt itself, so nothing needs glib's main context. Programs started later (the viewer, the
    // editor) get the environment as it was.
    const bool glibChosen = std::getenv("QT_NO_GLIB") == nullptr;
    setenv("QT_NO_GLIB", "1", 1);
    if (previousMessageHandler == nullptr) {
        previousMessageHandler = qInstallMessageHandler(OnToolkitMessage);
    }
    toolkitStarting.store(1);
    application = new QApplication(applicationArgc, applicationArgv);
    toolkitStarting.store(0);
    if (glibChosen) {
        unsetenv("QT_NO_GLIB");
    }
    // A fixed font, so that metrics are the same on every machine; fontconfig supplies the CJK
    // glyphs of the Japanese captions from the installed IPA font.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    // Dialog units follow that font: the average width of the Latin letters, rounded,
    // and the line height (pixels).
    const QFontMetrics metrics(QApplication::font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    SetDialogBaseUnits((letters / 26 + 1) / 2, metrics.height());
    QApplication::setQuitOnLastWindowClosed(false);
    ForwardKeysOfClosedWindows(application);
    dueTimer = new QTimer;
    dueTimer->setSingleShot(true);
    dueTimer->setTimerType(Qt::PreciseTimer);
    guiDispatcher.store(QAbstractEventDispatcher::instance(QThread::currentThread()));
    SetGuiPump(&qtPump);
    WindowCreateParams params;
    params.className = "MirexaQtService";
    params.procedure = ServiceProcedure;
    serviceWindow.store(CreatePlatformWindow(params));
    MenuBackendHooks menuHooks;
    menuHooks.menuChanged = OnQtMenuChanged;
    menuHooks.menuBarChanged = OnQtMenuBarChanged;
    SetMenuBackendHooks(menuHooks);
    InstallQtResponders();
    return 1;
}

int ScreenWorkArea(WindowRect* out) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return 0;
    }
    const QRect area = screen->availableGeometry();
    *out =
        WindowRect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    return 1;
}

const RealWindowBackend qtBackend = {
    StartQtBackend,
    PlatformBackendHooks{OnWindowCreated, OnWindowDestroyed, OnTextChanged, OnShown, OnMoved,
                         OnControlChanged, OnEnabled, OnFocusChanged, OnFramePresented, OnPainted,
                         MeasureQtText, OnCursorChanged, OnClipboardChanged, OnLanguageChanged,
                         ScreenWorkArea, QtPointerOverWindow},
};

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

int IsQtDisplayNamed() {
    return EnvironmentSet("QT_QPA_PLATFORM") || EnvironmentSet("WAYLAND_DISPLAY") ||
                   EnvironmentSet("DISPLAY")
               ? 1
               : 0;
}

int IsQtDisplayAvailable(std::string* reason) {
    if (EnvironmentSet("QT_QPA_PLATFORM") || EnvironmentSet("WAYLAND_DISPLAY")) {
        return 1;
    }
    if (!EnvironmentSet("DISPLAY")) {
        if (reason) {
            *reason = "DISPLAY is not set";
        }
        return 0;
    }
    // A local X display (":N" or ":N.S") must answer on its socket: the toolkit would end the
    // process when it cannot connect. Other forms (host:N) are left to the toolkit.
    const std::string display = std::getenv("DISPLAY");
    if (display[0] != ':') {
        return 1;
    }
    const std::string number = display.substr(1, display.find('.') - 1);
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (int abstract = 0; abstract < 2; ++abstract) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            break;
        }
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        // The abstract name starts with a NUL byte and is the path itself.
        std::memcpy(address.sun_path + abstract, path.c_str(),
                    std::min(path.size(), sizeof address.sun_path - 1 - abstract));
        const socklen_t length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + abstract + path.size());
        const int connected = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
        close(fd);
        if (connected) {
            return 1;
        }
    }
    if (reason) {
        *reason = "the X server of DISPLAY=" + display + " does not answer";
    }
    return 0;
}

void SetQtDisplayLossHandler(void (*handler)(int starting, const std::string& message)) {
    displayLossHandler.store(handler);
}

void RegisterQtBackend() {
    RegisterRealWindowBackend(&qtBackend);
}

void StopQtBackend() {
    if (!application || !IsQtGuiThread()) {
        return;
    }
    RemoveQtResponders();
    SetMenuBackendHooks(MenuBackendHooks{});
    if (WindowHandle service = serviceWindow.exchange(nullptr)) {
        DestroyPlatformWindow(service);
    }
    DeleteAllQtWidgets();
    pendingDrops.clear();
    pendingWork.clear();
    SetGuiPump(nullptr);
    guiDispatcher.store(nullptr);
    delete dueTimer;
    dueTimer = nullptr;
    StartPlatformBackend(PlatformBackend::Headless);
    delete application;
    application = nullptr;
}

bool IsQtGuiThread() {
    return application && QThread::currentThread() == application->thread();
}

void RunOnQtGuiThread(std::function<void()> work) {
    if (!application) {
        return;
    }
    if (IsQtGuiThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

WindowHandle QtServiceWindow() {
    return serviceWindow.load();
}

int CallOnQtGuiThread(const std::function<void()>& call) {
    WindowHandle service = serviceWindow.load();
    if (!service) {
        return 0;
    }
    return SendWindowMessage(service, kServiceCall, 0, reinterpret_cast<MessageLParam>(&call)) ? 1
                                                                                               : 0;
}

void WakeQtModalLoop() {
    PostWindowMessage(serviceWindow.load(), WM_NULL, 0, 0);
}

void RunQtModalLoop(WindowHandle owner, const bool* done) {
    const int wasEnabled = owner ? EnablePlatformWindow(owner, 0) : 0;
    WindowMessage message;
    int quit = 0;
    while (!*done) {
        if (!WaitWindowMessage(&message)) {
            quit = 1;
            break;
        }
        DispatchWindowMessage(message);
    }
    if (wasEnabled) {
        EnablePlatformWindow(owner, 1);
    }
    if (quit) {
        PostLoopQuit(static_cast<int>(message.wparam));
    }
}

void QueueQtDrop(WindowHandle window, std::vector<std::string> paths) {
    pendingDrops.emplace_back(window, std::move(paths));
    if (!PostWindowMessage(serviceWindow.load(), kServiceDrop, 0, 0)) {
        pendingDrops.pop_back();
    }
}

void QueueQtLoopWork(std::function<void()> work) {
    pendingWork.push_back(std::move(work));
    if (!PostWindowMessage(serviceWindow.load(), kServiceWork, 0, 0)) {
        pendingWork.pop_back();
    }
}

}  // namespace mirexa
