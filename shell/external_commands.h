// The commands without a menu item that another program sends to the running main window: the
// receiver (a thread listening on the user's private command socket while the real window is
// open), the main window's decision on each command, and the sender (`mirexa --send ID`).
//
// Threads. The receiver thread only reads the socket and sends WM_EXTERNAL_COMMAND to the main
// window; the decision, its answer to the sender and the command itself run on the user-interface
// thread.
#pragma once

#include <string>

#include "platform/window.h"

namespace mirexa {

// The message the receiver sends the main window: wparam the command id, lparam an int* with the
// sender's connection (null when nobody waits for an answer). Returns one of the kExternal answers.
inline constexpr unsigned WM_EXTERNAL_COMMAND = WM_USER + 310;

// The main window's answers to a sent command.
inline constexpr int kExternalAccepted = 1;
inline constexpr int kExternalNotSendable = 2;  // not one of the commands another program sends
inline constexpr int kExternalRunActive = 3;    // a cutting run is active
inline constexpr int kExternalDialogOpen = 4;   // a dialog or box waits for the user
inline constexpr int kExternalBusy = 5;         // automatic work drives the window
inline constexpr int kExternalNoWindow = 6;     // the main window is not there (or closing)

// 1 for the commands another program may send: 122, 128, 32794, 32812, 32819, 32872, 32879 and
// 32883.
int IsExternalCommand(unsigned command);

// The main window's decision on a sent command (user-interface thread): refused as the menus
// are while a run is active, while a modal dialog or box is open (the window is disabled) and
// while automatic work drives the window. The answer goes to the sender's connection (*connection,
// then closed and set to -1) when there is one; an accepted command is posted to the window as
// WM_COMMAND only when that answer reached its sender (one that gave up waiting said the command
// was not carried out). Returns the decision.
int AcceptExternalCommand(WindowHandle window, unsigned command, int* connection);

// The answer's text for the sender ("ok", or "refused: " and the reason).
std::string DescribeExternalAnswer(int answer);

// Starts the receiver on the user's command socket of this display (user-interface thread, real
// window only). A socket another window of the user holds is taken by the receiver when it is
// free (that window ended): the log says so at the start and when it is taken. No private place
// for a socket leaves the window without a receiver and says why in the log. Returns 1 when the
// receiver runs (listening or waiting for the socket).
int StartExternalCommandReceiver();
// Stops the receiver and removes its socket (user-interface thread, while the main window still
// answers: the receiver may be waiting on it).
void StopExternalCommandReceiver();

// `mirexa --send ID`: sends the command to the user's window on this process's display, else to
// the user's only window, and prints the answer. Returns the exit code: 0 accepted, 1 refused by
// the window, 2 a bad id, no window to send to, or a window that took no connection or gave no
// answer within kCommandSocketPatienceMs (then the command is not carried out).
int SendExternalCommand(const std::string& idText);

}  // namespace mirexa
