// The version panel's environment lines and the other-windows list.
#include "shell/environment_info.h"

#include <cstdio>

#include "platform/default_viewer.h"
#include "platform/file_replacement.h"
#include "services/shared_state.h"
#include "shell/status_bar.h"

#ifndef MIREXA_VERSION
#define MIREXA_VERSION "0.0.0"
#endif

namespace mirexa {

namespace {

// Kilobytes as megabytes with thousands separators ("15,982 MB").
std::string Megabytes(double kb) {
    std::string digits = std::to_string(static_cast<long long>(kb / 1024.0 + 0.5));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits + " MB";
}

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

}  // namespace

std::string ProgramVersionNumber() {
    return MIREXA_VERSION;
}

EnvironmentInfo GatherEnvironmentInfo() {
    EnvironmentInfo info;
    info.os = ReadOsDescription();
    info.processors = GetProcessorInfo();
    GetMemoryStatusKb(&info.memory);
    ReadOpenGlDescription(&info.openGl);
    return info;
}

std::vector<std::string> DescribeEnvironment(const EnvironmentInfo& info) {
    const MemoryStatusKb& m = info.memory;
    auto pair = [](double free, double total) {
        return Megabytes(free) + " / " + Megabytes(total);
    };
    const std::string cpu =
        std::to_string(info.processors.count) + " x " + OrDash(info.processors.model);
    return {
        ChooseLanguageText("System: ", "システム: ") + OrDash(info.os.name),
        ChooseLanguageText("Kernel: ", "カーネル: ") + OrDash(info.os.kernel) + " " +
            info.os.machine,
        ChooseLanguageText("Processors: ", "プロセッサ: ") + cpu,
        ChooseLanguageText("Memory free/total: ", "メモリ 空き/全体: ") +
            pair(m.physicalFree, m.physicalTotal),
        ChooseLanguageText("Swap free/total: ", "スワップ 空き/全体: ") +
            pair(m.pageFileFree, m.pageFileTotal),
        ChooseLanguageText("Commit free/limit: ", "コミット 空き/上限: ") +
            pair(m.virtualFree, m.virtualTotal),
        ChooseLanguageText("OpenGL vendor: ", "OpenGL ベンダー: ") + OrDash(info.openGl.vendor),
        ChooseLanguageText("OpenGL renderer: ", "OpenGL レンダラー: ") +
            OrDash(info.openGl.renderer),
        ChooseLanguageText("OpenGL version: ", "OpenGL バージョン: ") + OrDash(info.openGl.version),
    };
}

int ListOtherWindows(WindowHandle skip, int write) {
    std::string text;
    int count = 0;
    for (WindowHandle window : GetTopLevelWindows()) {
        if (window == skip) {
            continue;
        }
        ++count;
        text += "\"" + GetPlatformWindowText(window) + "\"" + GetWindowClassName(window) + "\n";
    }
    if (!write) {
        return count;
    }
    if (!ReplaceFileContents("otherwin.txt", text, 0, -1, FileLinks::Replace)) {
        return -1;
    }
    if (AutomaticMode.load() == 0) {
        OpenInDefaultViewer("otherwin.txt");
    }
    return count;
}

}  // namespace mirexa
