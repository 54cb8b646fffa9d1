// The common open and save file dialogs: a request (title, filters, pre-filled name, OK label,
// an optional extra check box) answered by the user in the real-window backend and by a
// responder in the headless backend (tests script it; automatic runs cancel and log).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

// Request flags. The dialog never changes the working directory, whatever the flags say.
constexpr unsigned FILEDLG_OVERWRITE_PROMPT = 0x2;  // save: ask before replacing a file
constexpr unsigned FILEDLG_HIDE_READ_ONLY = 0x4;
constexpr unsigned FILEDLG_NO_CHANGE_DIR = 0x8;
constexpr unsigned FILEDLG_FILE_MUST_EXIST = 0x1000;  // open: only an existing file is taken
constexpr unsigned FILEDLG_EXPLORER = 0x80000;
constexpr unsigned FILEDLG_ENABLE_SIZING = 0x800000;

// One entry of the file-type list: its label and its patterns ("*.NC", or "*.stl;*.STL"),
// matched without regard to case.
struct FileDialogFilter {
    std::string label = {};
    std::string patterns = {};
};

struct FileDialogRequest {
    WindowHandle owner = {};
    int save = {};           // 1 the save dialog, 0 the open dialog
    std::string title = {};  // empty: the backend's default title
    std::vector<FileDialogFilter> filters = {};
    int filterIndex = {};  // 1-based entry shown first; 0 or out of range: the first
    std::string initialDirectory = {};
    std::string fileName = {};  // pre-filled into the name box (a name or a full path)
    unsigned flags = {};
    std::string okLabel = {};        // empty: the backend's own OK label
    std::string checkBoxLabel = {};  // empty: no extra check box
    int checkBoxChecked = {};
};

struct FileDialogResult {
    int ok = {};               // 1 a file was chosen, 0 cancelled
    std::string path = {};     // the chosen path at full length
    int filterIndex = {};      // 1-based entry in force when the dialog closed
    int checkBoxChecked = {};  // the extra check box when the dialog closed
};

// Answers one dialog.
using FileDialogResponder = std::function<FileDialogResult(const FileDialogRequest& request)>;

// Installs the responder of the headless backend (an empty function cancels every dialog);
// returns the previous one. The automation installs the automatic responder for its unattended
// runs; tests install scripted ones; the dialogs a user answers wait for the real-window backend.
FileDialogResponder SetFileDialogResponder(FileDialogResponder responder);

// Shows the dialog and waits. Returns 1 with *result filled when a file was chosen; 0 when
// cancelled (then *result holds the request's filter index and check box, and no path). A chosen
// path that is empty counts as cancelled.
int ShowFileDialog(const FileDialogRequest& request, FileDialogResult* result);

// The responder of automatic mode: nobody is there to choose, so it cancels and hands
// "file dialog cancelled: " and the title to writeLogLine.
FileDialogResponder MakeAutomaticFileDialogResponder(
    std::function<void(const std::string& line)> writeLogLine);

}  // namespace mirexa
