// The dialogs' number helpers: formatting within the 24-character scratch, reading a field's
// whole number, the edit-field expression evaluator and the thousands separators.
#include "dialogs/dialog_conventions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "resources/dialog_templates.h"

namespace mirexa {
namespace {

TEST(DialogNumbers, FormattedNumbersAreCutTo24Characters) {
    EXPECT_EQ(FormatDialogNumber("%8.3f", 5.0), "   5.000");
    EXPECT_EQ(FormatDialogNumber("%8.3f", 1e30).size(), 24u);
    EXPECT_EQ(FormatDialogInteger("%10d", 42), "        42");
}

TEST(DialogNumbers, TheLeadingNumberIsReadAsTheRuntimeReadsIt) {
    const struct {
        const char* text;
        std::size_t consumed;
        double value;
    } cases[] = {
        {"12.5abc", 4, 12.5}, {"abc", 0, 0.0},    {"  -3e2x", 6, -300.0}, {"+.5", 3, 0.5},
        {"1e", 1, 1.0},       {"-", 0, 0.0},      {"", 0, 0.0},           {"7.", 2, 7.0},
        {"1e-3", 4, 0.001},   {"1e-999", 6, 0.0}, {" \t 42 ", 5, 42.0},   {".", 0, 0.0},
    };
    for (const auto& c : cases) {
        double value = -1.0;
        EXPECT_EQ(ParseLeadingNumber(c.text, &value), c.consumed) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

MessageResult NoProcedure(WindowHandle, unsigned, MessageWParam, MessageLParam) {
    return 0;
}

TEST(DialogNumbers, AFieldIsReadWholeAndTextWithoutJustAFiniteNumberIsRefused) {
    const struct {
        const char* typed;
        int read;
        double value;  // the value afterwards, 99 when refused
    } cases[] = {
        {"12.5abc", 0, 99.0},
        {"  -7 ", 1, -7.0},
        {"abc", 0, 99.0},
        {"", 0, 99.0},
        {"1e999", 0, 99.0},
        {"-", 0, 99.0},
        {"1,5", 0, 99.0},
        {"50,000", 1, 50000.0},
        {"-1,234,567.25", 1, -1234567.25},
        {"1234,567", 0, 99.0},
        {"1,2345", 0, 99.0},
        {"1.500,000", 0, 99.0},
        {"3+4", 0, 99.0},  // an operation only where the field takes one
        // 30 characters: all of them are read.
        {"123456789012345678901234567890", 1, 123456789012345678901234567890.0},
    };
    WindowHandle dialog =
        CreateModelessDialog(*FindDialogTemplate(IDD_STOCK_MOVE), nullptr, NoProcedure, 0);
    ASSERT_NE(dialog, nullptr);
    for (const auto& c : cases) {
        SetDlgItemText(dialog, 1045, c.typed);
        double value = 99.0;
        EXPECT_EQ(ReadDlgItemNumber(dialog, 1045, &value), c.read) << c.typed;
        EXPECT_DOUBLE_EQ(value, c.value) << c.typed;
    }
    DestroyPlatformWindow(dialog);
}

TEST(DialogNumbers, AFieldNumberIsRefusedBeyondTheLimitAndTakesOneOperationWhereAllowed) {
    const float largest = std::numeric_limits<float>::max();
    const struct {
        const char* text;
        double limit;
        int operation;
        int read;
        double value;
    } cases[] = {
        {"1e39", largest, 0, 0, 99.0}, {"-1e38", largest, 0, 1, -1e38},
        {"1e39", 1e300, 0, 1, 1e39},   {"10+2,000", 1e9, 1, 1, 2010.0},
        {"10 * 3 ", 1e9, 1, 1, 30.0},  {"10+2x", 1e9, 1, 0, 99.0},
        {"10+", 1e9, 1, 0, 99.0},      {"1e300*1e300", 1e308, 1, 0, 99.0},
    };
    for (const auto& c : cases) {
        double value = 99.0;
        EXPECT_EQ(ParseFieldNumber(c.text, c.limit, c.operation, &value), c.read) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

TEST(DialogNumbers, TheEvaluatorTakesOneOperationAfterTheFirstNumber) {
    const struct {
        const char* text;
        int result;
        double value;
    } cases[] = {
        {"100+2.5", 1, 102.5}, {"8/0", 1, 8.0},    {"-5", 0, -5.0}, {"2*-3", 1, -6.0},
        {"-5-3", 1, -8.0},     {"1e-3", 0, 0.001},  // the exponent's sign is no operator
        {"12", 0, 12.0},       {"abc", 0, 0.0},    {"6/4", 1, 1.5}, {" 3 - 1", 1, 2.0},
    };
    for (const auto& c : cases) {
        double value = -99.0;
        EXPECT_EQ(EvaluateEditExpression(c.text, &value), c.result) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

TEST(DialogNumbers, ThousandsSeparatorsGroupFromTheRight) {
    const struct {
        const char* digits;
        const char* expected;
    } cases[] = {{"1234567", "1,234,567"},
                 {"123", "123"},
                 {"1000", "1,000"},
                 {"0", "0"},
                 {"123456", "123,456"},
                 {"1234567890", "1,234,567,890"},
                 {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(InsertThousandsSeparators(c.digits), c.expected);
    }
}

}  // namespace
}  // namespace mirexa
