// The shared conventions of the dialogs: texts, placement, numbers and radio groups.
#include "dialogs/dialog_conventions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "resources/dialog_templates.h"
#include "services/shared_state.h"
#include "shell/run_commands.h"

namespace mirexa {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text without the "," that the dialogs write between groups of three digits of a number's
// integer part ("12,345.5"); false when a comma stands anywhere else ("1,5").
bool DropThousandsSeparators(const std::string& text, std::string* out) {
    out->clear();
    std::size_t run = 0;    // digits since the last comma or the start of the digits
    bool grouped = false;   // a comma was seen in this number
    bool fraction = false;  // after the number's point
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',') {
            const bool threeFollow = i + 3 < text.size() && IsDigit(text[i + 1]) &&
                                     IsDigit(text[i + 2]) && IsDigit(text[i + 3]) &&
                                     (i + 4 >= text.size() || !IsDigit(text[i + 4]));
            if (fraction || run == 0 || run > 3 || (grouped && run != 3) || !threeFollow) {
                return false;
            }
            grouped = true;
            run = 0;
            continue;
        }
        if (IsDigit(c)) {
            ++run;
        } else {
            fraction = c == '.';
            grouped = fraction && grouped;
            run = 0;
        }
        *out += c;
    }
    return true;
}

bool OnlyBlanks(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    return *text == '\0';
}

}  // namespace

int ParseFieldNumber(const std::string& text, double limit, int operation, double* value) {
    std::string plain;
    if (!DropThousandsSeparators(text, &plain)) {
        return 0;
    }
    double parsed = 0.0;
    const std::size_t end = ParseLeadingNumber(plain.c_str(), &parsed);
    if (end == 0) {
        return 0;
    }
    const char* rest = plain.c_str() + end;
    while (IsBlank(*rest)) {
        ++rest;
    }
    if (*rest != '\0') {
        // Only "a op b" may follow, where the field takes one operation.
        double b = 0.0;
        const std::size_t second =
            std::strchr("+-*/", *rest) != nullptr ? ParseLeadingNumber(rest + 1, &b) : 0;
        if (!operation || second == 0 || !OnlyBlanks(rest + 1 + second) || !std::isfinite(b)) {
            return 0;
        }
        EvaluateEditExpression(plain.c_str(), &parsed);
    }
    if (!std::isfinite(parsed) || std::fabs(parsed) > limit) {
        return 0;
    }
    *value = parsed;
    return 1;
}

int OpenModalDialog(int templateId, WindowHandle owner, DialogProcedure procedure,
                    MessageLParam param) {
    const DialogTemplate* found = FindDialogTemplate(templateId);
    return found ? RunModalDialog(*found, owner, procedure, param) : -1;
}

void BeginDialog(WindowHandle dialog) {
    const DialogTemplate* dialogTemplate = GetDialogTemplate(dialog);
    if (!dialogTemplate) {
        return;
    }
    if (UiLanguage.load() == 1) {
        if (dialogTemplate->english) {
            SetPlatformWindowText(dialog, dialogTemplate->english);
        }
        for (const ControlTemplate& control : dialogTemplate->controls) {
            // Edit fields keep their values; only labels, frames and buttons change language.
            if (control.english && control.kind != ControlKind::Edit) {
                SetDlgItemText(dialog, control.id, control.english);
            }
        }
    }
    if (dialogTemplate->flags & kDialogTopmost) {
        SetDialogTopmost(dialog);
    }
}

std::string FormatDialogNumber(const char* format, double value) {
    char scratch[kNumberScratchSize];
    std::snprintf(scratch, sizeof scratch, format, value);
    return scratch;
}

std::string FormatDialogInteger(const char* format, int value) {
    char scratch[kNumberScratchSize];
    std::snprintf(scratch, sizeof scratch, format, value);
    return scratch;
}

int SetDlgItemNumber(WindowHandle dialog, int id, const char* format, double value) {
    return SetDlgItemText(dialog, id, FormatDialogNumber(format, value));
}

std::size_t ParseLeadingNumber(const char* text, double* value) {
    *value = 0.0;
    if (!text) {
        return 0;
    }
    std::size_t start = 0;
    while (IsBlank(text[start])) {
        ++start;
    }
    // The longest prefix of the form [sign] digits [. digits] [e [sign] digits].
    std::size_t end = start;
    if (text[end] == '+' || text[end] == '-') {
        ++end;
    }
    std::size_t digits = 0;
    while (IsDigit(text[end])) {
        ++end;
        ++digits;
    }
    if (text[end] == '.') {
        ++end;
        while (IsDigit(text[end])) {
            ++end;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    char exponentSign = '+';
    if (text[end] == 'e' || text[end] == 'E') {
        std::size_t exponent = end + 1;
        if (text[exponent] == '+' || text[exponent] == '-') {
            exponentSign = text[exponent];
            ++exponent;
        }
        if (IsDigit(text[exponent])) {
            while (IsDigit(text[exponent])) {
                ++exponent;
            }
            end = exponent;
        }
    }
    // from_chars takes no leading plus sign.
    const char* first = text + start + (text[start] == '+' ? 1 : 0);
    double parsed = 0.0;
    auto [stop, error] = std::from_chars(first, text + end, parsed);
    if (error == std::errc::result_out_of_range) {
        // Beyond the double range: too large is infinite (no field takes it), too small is 0.
        const bool tiny = exponentSign == '-';
        parsed = tiny ? 0.0 : (text[start] == '-' ? -1.0 : 1.0) * HUGE_VAL;
    } else if (error != std::errc() || stop != text + end) {
        return 0;
    }
    *value = parsed;
    return end;
}

int ReadDlgItemNumber(WindowHandle dialog, int id, double* value) {
    if (!GetDlgItem(dialog, id)) {
        return 0;
    }
    return ParseFieldNumber(GetDlgItemText(dialog, id), std::numeric_limits<double>::max(), 0,
                            value);
}

namespace {

// The text of the label just before the field among the dialog's controls, without its access
// key ("(&N)", "&"), brackets, colon and blanks around it; empty when another kind of control
// comes between them or none precedes it.
std::string FieldLabel(WindowHandle dialog, int id) {
    const WindowHandle field = GetDlgItem(dialog, id);
    std::string text;
    for (WindowHandle child : GetChildWindows(dialog)) {
        if (child == field) {
            break;
        }
        text = GetWindowClassName(child) == STATIC_CLASS ? GetPlatformWindowText(child) : "";
    }
    std::string label;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "(&") == 0 && i + 3 < text.size() && text[i + 3] == ')') {
            i += 3;
        } else if (text[i] != '&') {
            label += text[i];
        }
    }
    const std::size_t first = label.find_first_not_of("( ");
    const std::size_t last = label.find_last_not_of(" :,");
    return first == std::string::npos || last < first ? "" : label.substr(first, last - first + 1);
}

// The refusal of a field that holds no number (no whole number for a count), naming the field.
void RefuseField(WindowHandle dialog, const NumberField& field) {
    const std::string label = FieldLabel(dialog, field.id);
    std::string english = "A field does not hold a number";
    std::string japanese = "数値ではない値があります";
    if (!label.empty()) {
        english = "\"" + label + "\" does not hold a " + (field.whole ? "whole number" : "number");
        japanese = "「" + label + "」が" + (field.whole ? "整数" : "数値") + "ではありません";
    }
    english += "; its previous value is shown again.";
    japanese += "。元の値に戻しました";
    ShowDialogWarning(dialog, english.c_str(), japanese.c_str());
}

}  // namespace

int ReadNumberFields(WindowHandle dialog, const NumberField* fields, std::size_t count) {
    std::vector<double> read(count);
    for (std::size_t i = 0; i < count; ++i) {
        read[i] = *fields[i].value;
        if (!ReadDlgItemNumber(dialog, fields[i].id, &read[i]) ||
            (fields[i].whole && read[i] != std::floor(read[i]))) {
            SetDlgItemNumber(dialog, fields[i].id, fields[i].format, *fields[i].value);
            SetFocusWindow(GetDlgItem(dialog, fields[i].id));
            RefuseField(dialog, fields[i]);
            return 0;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        *fields[i].value = read[i];
    }
    return 1;
}

void ShowNumberFields(WindowHandle dialog, const NumberField* fields, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        SetDlgItemNumber(dialog, fields[i].id, fields[i].format, *fields[i].value);
    }
}

void ShowDialogWarning(WindowHandle dialog, const char* english, const char* japanese) {
    ShowMessageBox(dialog, ChooseLanguageText(english, japanese),
                   ChooseLanguageText("Warning", "警告"), MBX_OK | MBX_ICONWARNING | MBX_TOPMOST);
}

int RefuseDuringRun() {
    if (!IsRunActive()) {
        return 0;
    }
    ShowMessageBox(MainWindow.load(),
                   ChooseLanguageText("This setting cannot be changed while the program runs.",
                                      "NCデータの実行中は変更できません"),
                   ChooseLanguageText("Warning", "警告"), MBX_OK | MBX_ICONWARNING | MBX_TOPMOST);
    return 1;
}

int OpenOutsideRun(int templateId, DialogProcedure procedure, MessageLParam param) {
    if (RefuseDuringRun()) {
        return 0;
    }
    return OpenModalDialog(templateId, MainWindow.load(), procedure, param) == 1 ? 1 : 0;
}

void CheckRadioGroup(WindowHandle dialog, const int* ids, std::size_t count, int chosen) {
    for (std::size_t i = 0; i < count; ++i) {
        CheckDlgButton(dialog, ids[i], static_cast<int>(i) == chosen ? BST_CHECKED : BST_UNCHECKED);
    }
}

int IndexOfId(const int* ids, std::size_t count, int id) {
    for (std::size_t i = 0; i < count; ++i) {
        if (ids[i] == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int EvaluateEditExpression(const char* text, double* value) {
    const std::size_t numberEnd = ParseLeadingNumber(text, value);
    if (!text) {
        return 0;
    }
    const char* first = std::strpbrk(text, "1234567890-.\n");
    if (!first) {
        return 0;
    }
    // The operator is looked for after the first number's own characters, so that neither a
    // leading minus nor the sign of an exponent is taken for it.
    const char* from = first + 1;
    if (text + numberEnd > from) {
        from = text + numberEnd;
    }
    const char* op = std::strpbrk(from, "-+*/");
    if (!op) {
        return 0;
    }
    double b = 0.0;
    ParseLeadingNumber(op + 1, &b);
    switch (*op) {
        case '+':
            *value += b;
            break;
        case '-':
            *value -= b;
            break;
        case '*':
            *value *= b;
            break;
        default:
            if (b != 0.0) {
                *value /= b;
            }
            break;
    }
    return 1;
}

std::string InsertThousandsSeparators(const std::string& digits) {
    std::string reversed;
    reversed.reserve(digits.size() + digits.size() / 3);
    std::size_t counted = 0;
    for (std::size_t i = digits.size(); i-- > 0;) {
        reversed += digits[i];
        if (++counted % 3 == 0 && i != 0) {
            reversed += ',';
        }
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

}  // namespace mirexa
