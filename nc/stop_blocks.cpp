// The stop test before a line: whether a run is to stop before it (a stop the user asked for,
// M00, M01, every block, or the controller's stop strings).
#include "nc/stop_blocks.h"

#include <cstring>
#include <string>

#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "services/ui_hooks.h"

namespace mirexa {

namespace {

// Stop options of the controller.
constexpr int kStopNormal = 1;
constexpr int kStopM01 = 2;
constexpr int kStopSingle = 3;
constexpr int kStopDefine = 4;

// The M numbers a stop test reads have at most this many digits; longer ones stop nothing.
constexpr int kMNumberDigitsMax = 9;

// The last M number of the line (outside comments), or -1 when none was read.
int LastMNumber(NcSession& session, const char* line, int option) {
    const NcControllerView& c = session.controller;
    const std::size_t n = strnlen(line, kNcLineCapacity);
    int last = -1;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const char ch = line[i];
        if (ch == '(') {
            if (NcUpHooks.loadToolFromPlugin != nullptr) {
                NcUpHooks.loadToolFromPlugin(session);
            }
            const void* close = std::memchr(line + i, ')', n - i);
            if (close == nullptr) {
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(close) - line);
            continue;
        }
        if (ch == ';' && (c.dialect.siemens || c.dialect.heidenhain)) {
            break;
        }
        if (ch != 'M') {
            continue;
        }
        const char next = line[i + 1];
        if (next < '0' || next > '9') {
            break;
        }
        if (c.dialect.heidenhain && !(next == '0' || (option == kStopM01 && next == '1'))) {
            continue;
        }
        int value = 0, digits = 0;
        while (i + 1 < n && line[i + 1] >= '0' && line[i + 1] <= '9') {
            if (++digits <= kMNumberDigitsMax) {
                value = value * 10 + (line[i + 1] - '0');
            }
            ++i;
        }
        last = digits <= kMNumberDigitsMax ? value : -1;
    }
    return last;
}

}  // namespace

int IsStopBlock(NcSession& session, const char* line, int userStop) {
    if (userStop != 0) {
        return 1;
    }
    const int option = session.controller.stopOption;
    if (option == kStopSingle) {
        return 1;
    }
    if (option != kStopNormal && option != kStopM01 && option != kStopDefine) {
        return 0;
    }
    if (UiHooks.activePathReader != nullptr && UiHooks.activePathReader() >= 0) {
        return 0;
    }
    if (option == kStopDefine) {
        for (const std::string& text : session.controller.stopStrings) {
            if (!text.empty() && std::strstr(line, text.c_str()) != nullptr) {
                return 1;
            }
        }
        return 0;
    }
    if (std::strstr(line, option == kStopNormal ? "M0" : "M") == nullptr) {
        return 0;
    }
    const int last = LastMNumber(session, line, option);
    return last == 0 || (option == kStopM01 && last == 1) ? 1 : 0;
}

}  // namespace mirexa
