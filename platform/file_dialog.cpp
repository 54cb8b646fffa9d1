// File dialogs of the headless backend: every request is handed to the installed responder.
#include "platform/file_dialog.h"

#include <mutex>
#include <utility>

namespace mirexa {

namespace {

std::mutex FileDialogMutex;
FileDialogResponder InstalledFileDialogResponder;

}  // namespace

FileDialogResponder SetFileDialogResponder(FileDialogResponder responder) {
    std::lock_guard<std::mutex> lock(FileDialogMutex);
    FileDialogResponder previous = std::move(InstalledFileDialogResponder);
    InstalledFileDialogResponder = std::move(responder);
    return previous;
}

int ShowFileDialog(const FileDialogRequest& request, FileDialogResult* result) {
    FileDialogResponder responder;
    {
        std::lock_guard<std::mutex> lock(FileDialogMutex);
        responder = InstalledFileDialogResponder;
    }
    FileDialogResult answer;
    answer.filterIndex = request.filterIndex;
    answer.checkBoxChecked = request.checkBoxChecked;
    if (responder) {
        answer = responder(request);
    }
    if (!answer.ok || answer.path.empty()) {
        answer.ok = 0;
        answer.path.clear();
        answer.filterIndex = request.filterIndex;
        answer.checkBoxChecked = request.checkBoxChecked;
    }
    if (result) {
        *result = answer;
    }
    return answer.ok;
}

FileDialogResponder MakeAutomaticFileDialogResponder(
    std::function<void(const std::string& line)> writeLogLine) {
    return [writeLogLine](const FileDialogRequest& request) {
        if (writeLogLine) {
            writeLogLine("file dialog cancelled: " + request.title + "\n");
        }
        return FileDialogResult{};
    };
}

}  // namespace mirexa
