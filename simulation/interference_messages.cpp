// The alarm texts by code, their variants (tool-change and mounted-tool forms, the Japanese
// caption suffix of a rapid-move interference), and the box-or-log output.
#include "simulation/interference_messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "geometry/rotary_solutions.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

const int StructurePairMessageCodes[kStructurePairCount] = {11, 12, 13, 14, 17, 18, 19, 20, 21,
                                                            24, 25, 26, 27, 30, 31, 32, 33, 34,
                                                            37, 38, 39, 40, 41, 42, 45};

namespace {

struct MessageEntry {
    int code;
    const char* english;
    const char* japanese;
};

// The plain texts. Codes with values (91, 103 to 108) hold their formats; the composer fills
// them with its own format strings, never with a text that carries user data.
constexpr MessageEntry kMessages[] = {
    {1, "The tool was dameged. (G00 interference)", "工具が破損しました(G00干渉)"},
    {2, "Arbor interfered.", "工具保持具が干渉しました"},
    {3, "Cut in an invalid part of tool length.", "有効刃長を越えて切削しました"},
    {4, "Cut in an invalid part of bottom.", "内径の無効部分で切削しました"},
    {5, "Tool side (*tapa*) interfered.", "工具側テーパ部が干渉しました"},
    {6, "RAPID Interference(Too fast Feedrate).", "早送り干渉(送り速度が速すぎます)"},
    {7, "Too heavy Cutting. Tool was dameged.", "工具が過負荷で破損しました"},
    {8, "Attachment interfered", "アタッチメントが干渉しました"},
    {9, "Spindle Stop", "主軸回転停止中に干渉しました"},
    {11, "TOOLvsVICE interfered.", "工具とバイスが干渉しています。"},
    {12, "TOOLvsTABLE2 interfered.", "工具とTABLE2が干渉しています。"},
    {13, "TOOLvsTABLE1 interfered.", "工具とTABLE1が干渉しています。"},
    {14, "TOOLvsTABLE interfered.", "工具とTABLEが干渉しています。"},
    {17, "TOOLvsBASIC interfered.", "TOOLとBASICが干渉しています。"},
    {18, "ARBORvsVICE interfered.", "ARBORとVICEが干渉しています。"},
    {19, "ARBORvsTABLE2 interfered.", "ARBORとTABLE2が干渉しています。"},
    {20, "ARBORvsTABLE1 interfered.", "ARBORとTABLE1が干渉しています。"},
    {21, "ARBORvsTABLE interfered.", "ARBORとTABLEが干渉しています。"},
    {24, "ARBORvsBASIC interfered.", "ARBORとBASICが干渉しています。"},
    {25, "HEAD2vsWORK interfered.", "HEAD2とWORKが干渉しています。"},
    {26, "HEAD2vsVICE interfered.", "HEAD2とVICEが干渉しています。"},
    {27, "HEAD2vsTABLE interfered.", "HEAD2とTABLEが干渉しています。"},
    {30, "HEAD2vsBASIC interfered.", "HEAD2とBASICが干渉しています。"},
    {31, "HEAD1vsWORK interfered.", "HEAD1とWORKが干渉しています。"},
    {32, "HEAD1vsVICE interfered.", "HEAD1とVICEが干渉しています。"},
    {33, "HEAD1vsTABLE1 interfered.", "HEAD1とTABLE1が干渉しています。"},
    {34, "HEAD1vsTABLE interfered.", "HEAD1とTABLEが干渉しています。"},
    {37, "HEAD1vsBASIC interfered.", "HEAD1とBASICが干渉しています。"},
    {38, "HEADvsWORK interfered.", "HEADとWORKが干渉しています。"},
    {39, "HEADvsVICE interfered.", "HEADとVICEが干渉しています。"},
    {40, "HEADvsTABLE2 interfered.", "HEADとTABLE2が干渉しています。"},
    {41, "HEADvsTABLE1 interfered.", "HEADとTABLE1が干渉しています。"},
    {42, "HEADvsTABLE interfered.", "HEADとTABLEが干渉しています。"},
    {45, "HEADvsBASIC interfered.", "HEADとBASICが干渉しています。"},
    {91, "Over Stroke of %c-axis!", "%c軸の可動範囲を越えました!"},
    {101, "G02/G03 IJK Error - Invalid IJK Value.",
     "G02/G03 IJK Error - 始点の半径と終点の半径が大きく異なる"},
    {102, "Zero Feedrate!", "送り速度が0です!"},
    {103, "Start Code(%s) is Not Found !", "開始コード(%s)が見つかりません!"},
    {104, "%d\"%c\" - Invalid Character!", "%d文字目\"%c\" - 不正文字検出!"},
    {105, "%dth - Double decimal points!", "%d文字目 - 小数点重複!"},
    {106, "Over Offset - Reverse Arc!(%dLine)", "過剰オフセット - 円弧が反転!(%d行目)"},
    {107, "Over Offset - Alarm(%dLine)", "過剰オフセット - アラーム(%d行目)"},
    {108, "NURBS Data Error!(%dLine)", "NURBSデータエラー!(%d行目)"},
    {109, "The block is longer than %d characters!", "ブロックが %d 文字を超えています!"},
    {110, "The path reader gave a position or feed that is not a number!",
     "パスリーダーの位置または送り速度が数値ではありません!"},
};

// Code 1 outside a run, and during a run with rapid positioning type 9.
constexpr const char* kRapidOutsideRun[2] = {"工具が干渉しました", "The tool was dameged."};
constexpr const char* kRapidPossible[2] = {"G00干渉、もしくはその可能性あり",
                                           "G00 interference or it's possible"};
constexpr const char* kRapidCaptionSuffix = " --- Jキーで干渉位置と往復";
constexpr int kPossibleRapidType = 9;

// The Japanese tool-change forms of codes 1, 2, 4 and 5 (previous tool, current tool, current
// tool).
constexpr const char* kToolChangeRapid = "工具交換(T%02d→T%02d)中にT%02dが干渉\n";
constexpr const char* kToolChangeRapidPossible =
    "工具交換(T%02d→T%02d)中にT%02dがG00干渉、もしくはその可能性あり\n";
constexpr const char* kToolChangeArbor =
    "工具交換(T%02d→T%02d)中にT%02dの工具保持具が干渉しました\n";
constexpr const char* kToolChangeBottom =
    "工具交換(T%02d→T%02d)中にT%02dの内径無効部分で切削しました\n";
constexpr const char* kToolChangeTaper =
    "工具交換(T%02d→T%02d)中にT%02dの工具側テーパー部が干渉しました\n";

// The captions of the mounted-tool form, by code.
struct MountedCaption {
    int code;
    const char* english;
    const char* japanese;
};
constexpr MountedCaption kMountedCaptions[] = {
    {11, "KUSHIHA and VICE interfered", "くし刃とバイスの干渉"},
    {12, "KUSHIHA and TABLE interfered", "くし刃とTABLEの干渉"},
    {13, "KUSHIHA and TABLE1 interfered", "くし刃とTABLE1の干渉"},
    {14, "KUSHIHA and TABLE2 interfered", "くし刃とTABLE2の干渉"},
    {8, "KUSHIHA interfered", "くし刃干渉"},
};

// snprintf into a text field, with the field's own bounded copy rules on overflow.
void FormatText(char* out, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void FormatText(char* out, std::size_t capacity, const char* format, ...) {
    char buffer[kMessageTextCapacity * 2];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    CopyMessageText(out, capacity, buffer);
}

const MessageEntry* FindMessage(int code) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

bool English(const InterferenceMessageContext& context) {
    return context.language == 1;
}

bool MountedFormApplies(int code, const InterferenceMessageContext& c) {
    const bool mountedCode = code == 8 || (code >= 11 && code <= 14);
    return mountedCode && c.sameToolPosition == 0 &&
           (c.currentToolHasList != 0 || (c.currentTool == 0 && c.toolOneHasList != 0));
}

// The Japanese tool-change form of codes 1 (during a run), 2, 4 and 5; null for other codes.
const char* ToolChangeForm(int code, const InterferenceMessageContext& c) {
    switch (code) {
        case 1:
            if (c.duringRun == 0) {
                return nullptr;
            }
            return c.rapidType == kPossibleRapidType ? kToolChangeRapidPossible : kToolChangeRapid;
        case 2:
            return kToolChangeArbor;
        case 4:
            return kToolChangeBottom;
        case 5:
            return kToolChangeTaper;
        default:
            return nullptr;
    }
}

}  // namespace

void CopyMessageText(char* out, std::size_t capacity, const char* text) {
    if (capacity == 0) {
        return;
    }
    std::size_t n = text != nullptr ? std::strlen(text) : 0;
    if (n >= capacity) {
        n = capacity - 1;
        // Step back over continuation bytes to the start of the character that did not fit.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    if (n > 0) {
        std::memmove(out, text, n);
    }
    out[n] = '\0';
}

const char* GetInterferenceMessageText(int code, int language) {
    const MessageEntry* entry = FindMessage(code);
    if (entry == nullptr) {
        return nullptr;
    }
    return language == 1 ? entry->english : entry->japanese;
}

void GatherInterferenceMessageContext(NcSession& session, int duringRun,
                                      InterferenceMessageContext* context) {
    context->language = UiLanguage.load() == 1 ? 1 : 0;
    context->duringRun = duringRun != 0 ? 1 : 0;
    context->rapidType = Controller.rapidType;
    context->startCharacter = Controller.endOfRecord;
    context->mainLineNumber = session.line.mainLineNumber;
    context->column = session.run.status.errorPosition;
    context->character = session.run.status.errorCharacter;
    context->overTravelLetter = OverTravelLetter;
}

int FirstStructurePairCode(const std::int32_t* flags) {
    if (flags != nullptr) {
        for (int pair = 0; pair < kStructurePairCount; ++pair) {
            if (flags[pair] != 0) {
                return StructurePairMessageCodes[pair];
            }
        }
    }
    return 1;
}

int FormatToolChangeInterference(int code, const InterferenceMessageContext& c,
                                 InterferenceMessage* out) {
    *out = InterferenceMessage{};
    const MountedToolHit* hit = nullptr;
    for (int i = 0; c.mountedHits != nullptr && i < c.mountedHitCount; ++i) {
        if (c.mountedHits[i].code != 0) {
            hit = &c.mountedHits[i];
            break;
        }
    }
    const MountedCaption* caption = nullptr;
    for (const MountedCaption& entry : kMountedCaptions) {
        if (entry.code == code) {
            caption = &entry;
        }
    }
    if (hit == nullptr || caption == nullptr) {
        return 0;
    }
    const bool english = English(c);
    const int k = hit->tool;
    const std::size_t size = sizeof out->text;
    if (hit->toolChange != 0) {
        if (english) {
            FormatText(out->text, size, "T%02d interference during tool change(T%02d→T%02d).\n", k,
                       c.previousTool, c.currentTool);
        } else {
            FormatText(out->text, size, "工具交換(T%02d→T%02d)中にT%02dが干渉\n", c.previousTool,
                       c.currentTool, k);
        }
    } else if (c.duringRun != 0) {
        if (english) {
            FormatText(out->text, size, "T%02d interference during cutting by T%02d.\n", k,
                       c.currentTool);
        } else {
            FormatText(out->text, size, "T%02dによる加工動作中にT%02dが干渉\n", c.currentTool, k);
        }
    } else if (c.currentTool != 0) {
        if (english) {
            FormatText(out->text, size, "T%02d interference in selecting T%02d\n", k,
                       c.currentTool);
        } else {
            FormatText(out->text, size, "T%02d選択状態でT%02dが干渉\n", c.currentTool, k);
        }
    } else if (english) {
        FormatText(out->text, size, "T%02d interference when tool isn't chosen.\n", k);
    } else {
        FormatText(out->text, size, "工具未選択状態でT%02dが干渉\n", k);
    }
    CopyMessageText(out->caption, sizeof out->caption,
                    english ? caption->english : caption->japanese);
    CopyMessageText(out->logText, sizeof out->logText, out->caption);
    return 1;
}

int ComposeInterferenceMessage(int code, const char* boxText, const InterferenceMessageContext& c,
                               InterferenceMessage* out) {
    *out = InterferenceMessage{};
    if (MountedFormApplies(code, c)) {
        return FormatToolChangeInterference(code, c, out);
    }
    const MessageEntry* entry = FindMessage(code);
    if (entry == nullptr) {
        return 0;
    }
    const bool english = English(c);
    const int language = english ? 1 : 0;
    const char* plain = english ? entry->english : entry->japanese;
    char* caption = out->caption;
    const std::size_t size = sizeof out->caption;
    switch (code) {
        case 1:
            if (c.duringRun == 0) {
                CopyMessageText(caption, size, kRapidOutsideRun[language]);
            } else if (c.rapidType == kPossibleRapidType) {
                CopyMessageText(caption, size, kRapidPossible[language]);
            } else {
                CopyMessageText(caption, size, plain);
            }
            break;
        case 91:
            if (english) {
                FormatText(caption, size, "Over Stroke of %c-axis!", c.overTravelLetter);
            } else {
                FormatText(caption, size, "%c軸の可動範囲を越えました!", c.overTravelLetter);
            }
            break;
        case 103: {
            const char start[2] = {c.startCharacter, '\0'};
            if (english) {
                FormatText(caption, size, "Start Code(%s) is not Fonud !", start);
                FormatText(out->logText, sizeof out->logText, "Start Code(%s) is Not Found !",
                           start);
            } else {
                FormatText(caption, size, "開始コード(%s)が見つかりません!", start);
                CopyMessageText(out->logText, sizeof out->logText, caption);
            }
            break;
        }
        case 104:
            if (english) {
                FormatText(caption, size, "%d\"%c\" - Invalid Character!", c.column, c.character);
            } else {
                FormatText(caption, size, "%d文字目\"%c\" - 不正文字検出!", c.column, c.character);
            }
            break;
        case 105:
            if (english) {
                FormatText(caption, size, "%dth - Double decimal points!", c.column);
            } else {
                FormatText(caption, size, "%d文字目 - 小数点重複!", c.column);
            }
            break;
        case 106:
            if (english) {
                FormatText(caption, size, "Over Offset - Reverse Arc!(%dLine)", c.mainLineNumber);
            } else {
                FormatText(caption, size, "過剰オフセット - 円弧が反転!(%d行目)", c.mainLineNumber);
            }
            break;
        case 107:
            if (english) {
                FormatText(caption, size, "Over Offset - Alarm(%dLine)", c.mainLineNumber);
            } else {
                FormatText(caption, size, "過剰オフセット - アラーム(%d行目)", c.mainLineNumber);
            }
            break;
        case 108:
            if (english) {
                FormatText(caption, size, "NURBS Data Error!(%dLine)", c.mainLineNumber);
            } else {
                FormatText(caption, size, "NURBSデータエラー!(%d行目)", c.mainLineNumber);
            }
            break;
        case 109:
            if (english) {
                FormatText(caption, size, "The block is longer than %d characters!", c.column - 1);
            } else {
                FormatText(caption, size, "ブロックが %d 文字を超えています!", c.column - 1);
            }
            break;
        default:
            CopyMessageText(caption, size, plain);
            break;
    }
    // The Japanese tool-change form replaces the text after a mounted-tool shift.
    const char* toolChange = english || c.mountedToolShift == 0 ? nullptr : ToolChangeForm(code, c);
    if (toolChange != nullptr) {
        FormatText(caption, size, toolChange, c.previousTool, c.currentTool, c.currentTool);
    }
    if (out->logText[0] == '\0') {
        CopyMessageText(out->logText, sizeof out->logText, caption);
    }
    // In Japanese, the box of a rapid-move interference during a run tells how to see where.
    if (code == 1 && c.duringRun != 0 && !english) {
        char withSuffix[kMessageTextCapacity];
        FormatText(withSuffix, sizeof withSuffix, "%s%s", caption, kRapidCaptionSuffix);
        CopyMessageText(caption, size, withSuffix);
    }
    CopyMessageText(out->text, sizeof out->text, boxText != nullptr ? boxText : "");
    return 1;
}

int FormatMessageLogEntry(int lineNumber, const char* text, char* out, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    FormatText(out, capacity, "(%d) - %s", lineNumber, text != nullptr ? text : "");
    return static_cast<int>(std::strlen(out));
}

void ShowOrLogMessage(WindowHandle window, int logSwitch, const InterferenceMessage& message,
                      int lineNumber) {
    if (logSwitch == 0 && AutomaticMode.load() == 0) {
        // The reason stands in the body too: a window manager may show no caption.
        std::string body = message.caption;
        if (message.text[0] != '\0') {
            body.append("\n").append(message.text);
        }
        ShowMessageBox(window, body, message.caption, MBX_OK | MBX_TOPMOST, lineNumber);
        return;
    }
    char entry[kMessageTextCapacity + 32];
    const char* text = message.logText[0] != '\0' ? message.logText : message.caption;
    FormatMessageLogEntry(lineNumber, text, entry, sizeof entry);
    AppendLogText(entry);
}

int ShowInterferenceMessage(WindowHandle window, int logSwitch, const char* boxText, int code,
                            const InterferenceMessageContext& context) {
    InterferenceMessage message;
    if (ComposeInterferenceMessage(code, boxText, context, &message) == 0) {
        return 0;
    }
    ShowOrLogMessage(window, logSwitch, message, context.mainLineNumber);
    return 1;
}

}  // namespace mirexa
