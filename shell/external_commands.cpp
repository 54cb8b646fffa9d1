// The commands another program sends to the running main window: the receiver thread, the main
// window's decision, and the sender.
#include "shell/external_commands.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_socket.h"
#include "resources/program_resources.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/worker_threads.h"

namespace mirexa {

namespace {

// In ascending order, as the sender lists them.
constexpr unsigned kSendableCommands[] = {
    IDM_RESIZE_SETTINGS,
    IDM_TOOL_PARAMETERS,
    IDM_SOUND,
    IDM_EXPAND_RATE,
    IDM_DISCOLORATION_REGION,
    IDM_STOCK_DISPLAY_STYLE,
    IDM_OPTIMIZE_DRAWING,
    IDM_SHOW_TOOL,
};

constexpr int kPollMs = 200;  // how often the receiver looks for its stop (ms)
// How often a window whose socket another window holds tries it while its file stays (ms).
constexpr int kRetakeMs = 5000;

WorkerThread receiverThread;
// The receiver thread's while it runs (and the user-interface thread's before and after): the
// socket path, its listener, closed while another window holds the socket, and the watch on it.
std::string socketPath;
CommandSocketListener listener;
CommandSocketWatch socketWatch;
std::atomic<int> receiverStopping{0};

// The command id of a line: decimal digits only; 0 when the line is none.
unsigned ReadCommandId(const std::string& text) {
    unsigned id = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, id);
    return text.empty() || error != std::errc{} || stop != end ? 0 : id;
}

// A window that started while another held the display's socket takes it when that window ends.
void TakeFreedSocket() {
    if (TakeCommandSocketWhenFree(socketPath, kRetakeMs, &socketWatch, &listener)) {
        AppendLogEntry("Commands from other programs are taken now: " + socketPath + "\n");
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

void ReceiveExternalCommands() {
    while (receiverStopping.load() == 0 && WorkerShutdownRequested.load() == 0) {
        if (listener.fd < 0) {
            TakeFreedSocket();
            continue;
        }
        int connection = -1;
        // Memory that runs out drops the command in hand with an empty answer (an answer's text
        // is made before its connection is closed); the window and its receiver go on.
        try {
            std::string line;
            if (!AcceptCommandLine(listener, kPollMs, &connection, &line)) {
                continue;
            }
            const unsigned id = ReadCommandId(line);
            if (!IsExternalCommand(id)) {
                AnswerCommandConnection(connection, DescribeExternalAnswer(kExternalNotSendable));
                continue;
            }
            // The window decides on its own thread and answers there. A window that is gone (or
            // closing) leaves the connection to this thread.
            const WindowHandle main = MainWindow.load();
            if (IsPlatformWindow(main)) {
                SendWindowMessage(main, WM_EXTERNAL_COMMAND, id,
                                  reinterpret_cast<MessageLParam>(&connection));
            }
            if (connection >= 0) {
                AnswerCommandConnection(connection, DescribeExternalAnswer(kExternalNoWindow));
            }
        } catch (const std::bad_alloc&) {
            if (connection >= 0) {
                AnswerCommandConnection(connection, std::string());
            }
            LogMemoryShortage("a command from another program");
        }
    }
}

}  // namespace

int IsExternalCommand(unsigned command) {
    return std::find(std::begin(kSendableCommands), std::end(kSendableCommands), command) !=
                   std::end(kSendableCommands)
               ? 1
               : 0;
}

namespace {

int DecideExternalCommand(WindowHandle window, unsigned command) {
    if (!IsExternalCommand(command)) {
        return kExternalNotSendable;
    }
    if (receiverStopping.load() != 0 || !MainWindowData.ready || !IsPlatformWindow(window)) {
        return kExternalNoWindow;
    }
    if (IsRunActive()) {
        return kExternalRunActive;
    }
    // A modal dialog or box disables its owner, the main window, until it closes.
    if (!IsPlatformWindowEnabled(window)) {
        return kExternalDialogOpen;
    }
    if (HasWorkerThread(AutomationThread) && !IsWorkerThreadFinished(AutomationThread)) {
        return kExternalBusy;
    }
    return kExternalAccepted;
}

}  // namespace

int AcceptExternalCommand(WindowHandle window, unsigned command, int* connection) {
    const int answer = DecideExternalCommand(window, command);
    int delivered = 1;
    if (connection != nullptr && *connection >= 0) {
        delivered = AnswerCommandConnection(*connection, DescribeExternalAnswer(answer));
        *connection = -1;
    }
    if (answer == kExternalAccepted && delivered) {
        PostWindowMessage(window, WM_COMMAND, command, 0);
    }
    return answer;
}

std::string DescribeExternalAnswer(int answer) {
    switch (answer) {
        case kExternalAccepted:
            return "ok";
        case kExternalNotSendable:
            return "refused: not a command another program may send";
        case kExternalRunActive:
            return "refused: a cutting run is active";
        case kExternalDialogOpen:
            return "refused: a dialog is open";
        case kExternalBusy:
            return "refused: automatic work drives the window";
        default:
            return "refused: the main window is not there";
    }
}

int StartExternalCommandReceiver() {
    if (HasWorkerThread(receiverThread)) {
        return 1;
    }
    std::string why;
    socketPath = ChooseCommandSocketPath(&why);
    if (socketPath.empty()) {
        AppendLogEntry("No commands from other programs: " + why + "\n");
        return 0;
    }
    // A socket another window holds is taken by the receiver once that window ends.
    socketWatch = CommandSocketWatch{};
    if (!OpenCommandSocket(socketPath, kCommandSocketPatienceMs, &listener, &why)) {
        AppendLogEntry("No commands from other programs for now: " + why +
                       "; this window takes them when the socket is free\n");
    }
    receiverStopping.store(0);
    // A thread the system refuses (-1) leaves the window without a receiver; it goes on.
    if (CreateWorkerThread(&receiverThread, ReceiveExternalCommands, 0, 1) != 1) {
        CloseCommandSocket(&listener);
        AppendLogEntry("No commands from other programs: the system refused a thread for them\n");
        return 0;
    }
    return 1;
}

void StopExternalCommandReceiver() {
    if (!HasWorkerThread(receiverThread)) {
        return;
    }
    receiverStopping.store(1);
    // The receiver may be waiting for this thread's answer to a command.
    WaitForWorkerThread(&receiverThread);
    if (WorkerThreadRanOutOfMemory(receiverThread)) {
        LogMemoryShortage("commands from other programs");  // it stopped taking them then
    }
    CloseCommandSocket(&listener);
}

int SendExternalCommand(const std::string& idText) {
    const unsigned id = ReadCommandId(idText);
    if (!IsExternalCommand(id)) {
        std::string sendable;
        for (const unsigned command : kSendableCommands) {
            sendable += (sendable.empty() ? "" : ", ") + std::to_string(command);
        }
        std::fprintf(stderr, "mirexa: %s is not a command another program may send (%s)\n",
                     idText.c_str(), sendable.c_str());
        return 2;
    }
    std::string why;
    const std::string path = ChooseCommandSocketPath(&why);
    std::string answer;
    int sent = path.empty() ? 0
                            : SendCommandLine(path, std::to_string(id), kCommandSocketPatienceMs,
                                              &answer, &why);
    if (sent < 0) {
        // No window on this display: the user's only window takes the command.
        const std::vector<std::string> others = FindOtherCommandSockets(path);
        if (others.size() == 1) {
            sent = SendCommandLine(others[0], std::to_string(id), kCommandSocketPatienceMs, &answer,
                                   &why);
        } else if (others.size() > 1) {
            std::string displays;
            for (const std::string& other : others) {
                const std::string display = DisplayOfCommandSocket(other);
                displays += (displays.empty() ? "" : ", ") + (display.empty() ? "none" : display);
            }
            why = "no window of this user runs on the display " + CurrentDisplayName() +
                  "; its windows run on the displays " + displays +
                  " (send from one of them, or with DISPLAY set to it)";
        }
    }
    if (sent != 1) {
        std::fprintf(stderr, "mirexa: %s\n", why.c_str());
        return 2;
    }
    std::printf("%s\n", answer.c_str());
    return answer == "ok" ? 0 : 1;
}

}  // namespace mirexa
