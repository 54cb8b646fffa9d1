// Message boxes of the headless backend: every box is handed to the installed responder.
#include "platform/message_box.h"

#include <utility>

#include "platform/responder_slot.h"

namespace mirexa {

namespace {

ResponderSlot<MessageBoxResponder> MessageBoxSlot;
std::atomic<const std::atomic<int>*> endFlag{nullptr};

}  // namespace

int GetDefaultMessageBoxAnswer(unsigned style) {
    bool second = (style & MBX_DEFBUTTON2) != 0;
    switch (style & MBX_BUTTONS_MASK) {
        case MBX_OKCANCEL:
            return second ? MBX_IDCANCEL : MBX_IDOK;
        case MBX_YESNOCANCEL:
        case MBX_YESNO:
            return second ? MBX_IDNO : MBX_IDYES;
        default:
            return MBX_IDOK;
    }
}

int GetCancelMessageBoxAnswer(unsigned style) {
    switch (style & MBX_BUTTONS_MASK) {
        case MBX_OKCANCEL:
        case MBX_YESNOCANCEL:
            return MBX_IDCANCEL;
        case MBX_YESNO:
            return MBX_IDNO;
        default:
            return MBX_IDOK;
    }
}

void SetMessageBoxEndFlag(const std::atomic<int>* flag) {
    endFlag.store(flag);
}

int MessageBoxEndRequested() {
    const std::atomic<int>* flag = endFlag.load();
    return flag != nullptr && flag->load() != 0 ? 1 : 0;
}

int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   unsigned style, int lineNumber) {
    const MessageBoxResponder responder = CopyResponder(MessageBoxSlot);
    if (!responder) {
        return GetDefaultMessageBoxAnswer(style);
    }
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.style = style;
    request.lineNumber = lineNumber;
    return responder(request);
}

std::string FormatAutomaticMessageLogEntry(int lineNumber, const std::string& text) {
    std::string entry = "(" + std::to_string(lineNumber) + ") - " + text;
    if (entry.back() != '\n') {
        entry += '\n';
    }
    return entry;
}

MessageBoxResponder MakeAutomaticMessageBoxResponder(
    std::function<void(const std::string& line)> writeLogLine) {
    return [writeLogLine](const MessageBoxRequest& request) {
        int answer = GetDefaultMessageBoxAnswer(request.style);
        if (writeLogLine) {
            writeLogLine(FormatAutomaticMessageLogEntry(request.lineNumber, request.text));
        }
        return answer;
    };
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
    return SwapResponder(MessageBoxSlot, std::move(responder));
}

}  // namespace mirexa
