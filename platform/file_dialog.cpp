// File dialogs of the headless backend: every request is handed to the installed responder.
#include "platform/file_dialog.h"

#include <utility>

#include "platform/responder_slot.h"

namespace mirexa {

namespace {

ResponderSlot<FileDialogResponder> FileDialogSlot;

}  // namespace

FileDialogResponder SetFileDialogResponder(FileDialogResponder responder) {
    return SwapResponder(FileDialogSlot, std::move(responder));
}

int ShowFileDialog(const FileDialogRequest& request, FileDialogResult* result) {
    const FileDialogResponder responder = CopyResponder(FileDialogSlot);
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
