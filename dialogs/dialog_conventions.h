// What every dialog of the program shares: the English texts set over the Japanese template,
// top-most placement, numbers into and out of edit fields through a 25-character scratch, the
// warning box, radio groups checked by the procedure, and the edit-field expression evaluator.
#pragma once

#include <cstddef>
#include <string>

#include "platform/dialogs.h"

namespace mirexa {

// The number scratch: every number shown is formatted into 25 characters (24 and the zero), and
// every field is read back through it, so that at most 24 characters of a field count.
constexpr std::size_t kNumberScratchSize = 25;

// Opens the template of that id modally with the procedure (the owner disabled meanwhile);
// returns the dialog's result, or -1 when there is no such template.
int OpenModalDialog(int templateId, WindowHandle owner, DialogProcedure procedure,
                    MessageLParam param = 0);

// Steps 1 and 2 of every opening: in English (UiLanguage 1) the template's English caption and
// control texts replace the Japanese ones; a template marked top-most is placed on top.
void BeginDialog(WindowHandle dialog);

// A number formatted with the printf format (one double, or one int for FormatDialogInteger),
// cut to 24 characters.
std::string FormatDialogNumber(const char* format, double value);
std::string FormatDialogInteger(const char* format, int value);
// Sets the field to the formatted number.
int SetDlgItemNumber(WindowHandle dialog, int id, const char* format, double value);

// The leading decimal number of a text as the runtime's text-to-double conversion reads it
// (leading blanks skipped, an optional sign, digits with one point, an exponent), independent
// of the locale. Returns the number of characters consumed (0 when the text holds no number;
// *value is then 0).
std::size_t ParseLeadingNumber(const char* text, double* value);

// The whole text of a number field as a number: 1 with *value set, or 0 (*value untouched).
// Blanks around the number and "," between groups of three digits of its integer part (as
// InsertThousandsSeparators writes them) are allowed; with operation set also one operation of
// EvaluateEditExpression. Anything else after the number ("12.5abc", "1,5"), a number that is
// not finite and one beyond limit in magnitude are refused.
int ParseFieldNumber(const std::string& text, double limit, int operation, double* value);

// Reads the field by ParseFieldNumber (any finite double).
int ReadDlgItemNumber(WindowHandle dialog, int id, double* value);

// A number field of a dialog: its id, its printf format and the value it shows; whole set for
// a count, which takes no fraction.
struct NumberField {
    int id = {};
    const char* format = "%8.3f";
    double* value = {};
    int whole = 0;
};

// Reads every field; only when all hold a number (a whole one where whole is set) are the values
// stored (1). Otherwise the first field that holds none shows its previous value again, the
// warning box names it by its label, and nothing is stored (0): the dialog stays open.
int ReadNumberFields(WindowHandle dialog, const NumberField* fields, std::size_t count);
// Fills every field from its value.
void ShowNumberFields(WindowHandle dialog, const NumberField* fields, std::size_t count);

// The warning box of the dialogs: owned by the dialog, kept on top, caption "Warning" ("警告").
void ShowDialogWarning(WindowHandle dialog, const char* english, const char* japanese);

// A dialog that changes what a running program reads as it goes (offsets, the position, the
// checks) is not opened while a program runs: 1 after telling the user so, 0 when no program
// runs.
int RefuseDuringRun();

// Such a dialog over the main window, param its working copy: 1 when it ended with OK; 0 when
// it was refused during a run, cancelled or has no template.
int OpenOutsideRun(int templateId, DialogProcedure procedure, MessageLParam param);

// Checks the button of the group at index chosen and unchecks the others.
void CheckRadioGroup(WindowHandle dialog, const int* ids, std::size_t count, int chosen);
// The index of the group's button with that id, or -1.
int IndexOfId(const int* ids, std::size_t count, int id);

// A number field's text that may hold one operation: "a+b", "a-b", "a*b" or "a/b". *value is
// the first number, or the result of the operation (a divisor of 0 leaves the first number).
// Returns 1 when the text held an operator, 0 for a plain number or none. A leading minus sign
// and the sign of an exponent ("1e-3") belong to the number, not to an operator.
int EvaluateEditExpression(const char* text, double* value);

// The digits with a "," before every group of three counted from the right: "1234567" gives
// "1,234,567", "123" stays. For non-negative integers formatted with "%d".
std::string InsertThousandsSeparators(const std::string& digits);

}  // namespace mirexa
