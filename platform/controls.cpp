// The built-in status bar and progress bar controls of the platform layer.
#include <algorithm>

#include "platform/backend.h"
#include "platform/window_internal.h"

namespace mirexa {

namespace {

constexpr int STATUSBAR_HEIGHT = 22;  // pixels

void NotifyControlChanged(WindowHandle control) {
    if (auto hook = GetPlatformBackendHooks().controlChanged) {
        hook(control);
    }
}

}  // namespace

MessageResult StatusBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    switch (message) {
        case WM_CREATE: {
            std::lock_guard<std::mutex> lock(PlatformMutex());
            if (PlatformWindow* record = FindLiveWindow(window)) {
                record->parts.assign(1, StatusBarPart{"", 0, -1});
            }
            return 0;
        }
        case SB_SETPARTS: {
            auto count = static_cast<std::size_t>(wparam);
            const int* edges = reinterpret_cast<const int*>(lparam);
            if (count < 1 || count > STATUSBAR_MAX_PARTS || !edges) {
                return 0;
            }
            {
                std::lock_guard<std::mutex> lock(PlatformMutex());
                PlatformWindow* record = FindLiveWindow(window);
                if (!record) {
                    return 0;
                }
                record->parts.resize(count);
                for (std::size_t i = 0; i < count; ++i) {
                    record->parts[i].rightEdge = edges[i];
                }
            }
            NotifyControlChanged(window);
            return 1;
        }
        case SB_SETTEXT: {
            auto part = static_cast<std::size_t>(wparam & SB_PART_MASK);
            {
                std::lock_guard<std::mutex> lock(PlatformMutex());
                PlatformWindow* record = FindLiveWindow(window);
                if (!record || part >= record->parts.size()) {
                    return 0;
                }
                record->parts[part].text = lparam ? reinterpret_cast<const char*>(lparam) : "";
                record->parts[part].flags =
                    static_cast<unsigned>(wparam & ~MessageWParam{SB_PART_MASK});
            }
            NotifyControlChanged(window);
            return 1;
        }
        case SB_GETPARTS: {
            std::lock_guard<std::mutex> lock(PlatformMutex());
            PlatformWindow* record = FindLiveWindow(window);
            return record ? static_cast<MessageResult>(record->parts.size()) : 0;
        }
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

MessageResult ProgressBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                   MessageLParam lparam) {
    if (message != PBM_SETRANGE && message != PBM_SETSTEP && message != PBM_SETPOS &&
        message != PBM_GETPOS) {
        return DefaultWindowProcedure(window, message, wparam, lparam);
    }
    MessageResult result = 0;
    {
        std::lock_guard<std::mutex> lock(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(window);
        if (!record) {
            return 0;
        }
        ProgressBarValue& value = record->progress;
        switch (message) {
            case PBM_SETRANGE:
                value.low = static_cast<int>(static_cast<MessageLParam>(wparam));
                value.high = std::max(value.low, static_cast<int>(lparam));
                value.position = std::clamp(value.position, value.low, value.high);
                result = 1;
                break;
            case PBM_SETSTEP:
                result = value.step;
                value.step = static_cast<int>(static_cast<MessageLParam>(wparam));
                break;
            case PBM_SETPOS:
                result = value.position;
                value.position = std::clamp(static_cast<int>(static_cast<MessageLParam>(wparam)),
                                            value.low, value.high);
                break;
            default:
                return value.position;
        }
    }
    NotifyControlChanged(window);
    return result;
}

WindowHandle CreateStatusBar(WindowHandle parent, int id) {
    WindowRect client;
    GetWindowClientRect(parent, &client);
    WindowCreateParams params;
    params.className = STATUSBAR_CLASS;
    params.parent = parent;
    params.id = id;
    params.visible = 1;
    params.rect =
        WindowRect{0, std::max(0, client.bottom - STATUSBAR_HEIGHT), client.right, client.bottom};
    return CreatePlatformWindow(params);
}

int SetStatusBarParts(WindowHandle bar, const std::vector<int>& rightEdges) {
    return SendWindowMessage(bar, SB_SETPARTS, rightEdges.size(),
                             reinterpret_cast<MessageLParam>(rightEdges.data()))
               ? 1
               : 0;
}

int SetStatusBarText(WindowHandle bar, int part, unsigned flags, const std::string& text) {
    if (part < 0 || part >= STATUSBAR_MAX_PARTS) {
        return 0;
    }
    MessageWParam wparam = static_cast<MessageWParam>(part) | (flags & ~SB_PART_MASK);
    return SendWindowMessage(bar, SB_SETTEXT, wparam, reinterpret_cast<MessageLParam>(text.c_str()))
               ? 1
               : 0;
}

StatusBarPart GetStatusBarPart(WindowHandle bar, int part) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(bar);
    if (!record || part < 0 || static_cast<std::size_t>(part) >= record->parts.size()) {
        return StatusBarPart{};
    }
    return record->parts[static_cast<std::size_t>(part)];
}

int GetStatusBarPartCount(WindowHandle bar) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(bar);
    return record ? static_cast<int>(record->parts.size()) : 0;
}

WindowHandle CreateProgressBar(WindowHandle parent, int id, const WindowRect& rect) {
    WindowCreateParams params;
    params.className = PROGRESSBAR_CLASS;
    params.parent = parent;
    params.id = id;
    params.rect = rect;
    return CreatePlatformWindow(params);
}

ProgressBarValue GetProgressBarValue(WindowHandle bar) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(bar);
    return record ? record->progress : ProgressBarValue{};
}

}  // namespace mirexa
