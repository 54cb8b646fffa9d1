// Line scanners against hand-worked values of the C runtime's conversions, with bounded cursors,
// saturation and CRLF lines.
#include "services/line_scanner.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <string>
#include <vector>

namespace mirexa {
namespace {

enum class Scan { Double, Float, Int, NextDouble, NextFloat, NextInt };

// Runs a scanner of values of type T into a value that starts as -777; returns it as a double.
template <typename T>
double Scanned(void (*scanner)(LineCursor*, const char*, T*), LineCursor* cursor,
               const char* line) {
    T value = -777;
    scanner(cursor, line, &value);
    return value;
}

// Runs one scanner and returns its value as a double.
double RunScan(Scan scan, LineCursor* cursor, const char* line) {
    switch (scan) {
        case Scan::Double:
            return Scanned(ScanDouble, cursor, line);
        case Scan::Float:
            return Scanned(ScanFloat, cursor, line);
        case Scan::Int:
            return Scanned(ScanInt, cursor, line);
        case Scan::NextDouble:
            return Scanned(ScanNextDouble, cursor, line);
        case Scan::NextFloat:
            return Scanned(ScanNextFloat, cursor, line);
        case Scan::NextInt:
            return Scanned(ScanNextInt, cursor, line);
    }
    return -1;
}

TEST(LineScanner, SingleScansGiveValueAndCursor) {
    struct Case {
        Scan scan;
        const char* line;
        LineCursor cursorIn;
        double value;
        LineCursor cursorOut;
    };
    const Case cases[] = {
        // The cursor stays on the number's first character, so a second scan reads it again.
        {Scan::Double, "X-12.5Y3", 0, -12.5, 1},
        {Scan::Double, "X-12.5Y3", 1, -12.5, 1},
        {Scan::Double, "X-12.5Y3", 2, 12.5, 2},
        // "+" is passed over like a letter.
        {Scan::Double, "+7", 0, 7, 1},
        {Scan::Int, "+7", 0, 7, 1},
        // A lone sign or point is a number start with no number.
        {Scan::Double, "- 5", 0, 0, 0},
        {Scan::Double, ". 5", 0, 0, 0},
        {Scan::Int, "- 5", 0, 0, 0},
        // Line end with and without the line feed; a CR before it counts as the line end.
        {Scan::Double, "ABC\n", 0, 0, 3},
        {Scan::Double, "ABC", 0, 0, 0},
        {Scan::Double, "ABC\r\n", 0, 0, 3},
        {Scan::Double, "ABC\r", 0, 0, 3},
        {Scan::Int, "ABC\r\n", 0, 0, 3},
        {Scan::Double, "A\rB5", 0, 5, 3},
        // atof's decimal syntax.
        {Scan::Double, "=1.5E3\n", 0, 1500, 1},
        {Scan::Double, "2.5e-2", 0, 0.025, 0},
        {Scan::Double, "1e+2", 0, 100, 0},
        {Scan::Double, "1e", 0, 1, 0},
        {Scan::Double, "1e+x", 0, 1, 0},
        {Scan::Double, "-1.e2", 0, -100, 0},
        {Scan::Double, "R.5", 0, 0.5, 1},
        {Scan::Double, "-.5", 0, -0.5, 0},
        {Scan::Double, "3.2.1", 0, 3.2, 0},
        {Scan::Double, "--5", 0, 0, 0},
        // No hexadecimal, infinity or NaN.
        {Scan::Double, "0x1A", 0, 0, 0},
        {Scan::Double, "-inf", 0, 0, 0},
        {Scan::Double, "-nan", 0, 0, 0},
        {Scan::Double, "nan 3", 0, 3, 4},
        // atoi: sign and digits only.
        {Scan::Int, "12.7", 0, 12, 0},
        {Scan::Int, ".5", 0, 0, 0},
        {Scan::Int, "T-42abc", 0, -42, 1},
        {Scan::Int, "1e5", 0, 1, 0},
        // Saturation instead of overflow.
        {Scan::Int, "2147483647", 0, INT_MAX, 0},
        {Scan::Int, "2147483648", 0, INT_MAX, 0},
        {Scan::Int, "-2147483648", 0, INT_MIN, 0},
        {Scan::Int, "-99999999999999999999999", 0, INT_MIN, 0},
        {Scan::Int, "000000000000000000000000012", 0, 12, 0},
        {Scan::Double, "1e999", 0, DBL_MAX, 0},
        {Scan::Double, "-1e999", 0, -DBL_MAX, 0},
        {Scan::Double, "1e-999", 0, 0, 0},
        {Scan::Float, "1e39", 0, FLT_MAX, 0},
        {Scan::Float, "-1e300", 0, -FLT_MAX, 0},
        {Scan::Float, "X0.1", 0, static_cast<double>(0.1f), 1},
        // Cursors out of range are clamped into the line.
        {Scan::Double, "12", 10, 0, 2},
        {Scan::Double, "12", -5, 12, 0},
        {Scan::Int, "12\n", 1000, 0, 3},
        {Scan::NextInt, "1,2", 100, 0, 3},
        {Scan::NextDouble, "1,2", -3, 2, 2},
        // ScanNext: no comma leaves the cursor; a field without a number ends on the line feed.
        {Scan::NextDouble, "5", 0, 0, 0},
        {Scan::NextDouble, "1,A\n", 0, 0, 3},
        {Scan::NextInt, "1,x", 0, 0, 1},
        {Scan::NextFloat, "1, +2.5", 0, 2.5f, 4},
        {Scan::NextDouble, "1,\r\n", 0, 0, 2},
    };
    for (const Case& c : cases) {
        LineCursor cursor = c.cursorIn;
        double value = RunScan(c.scan, &cursor, c.line);
        EXPECT_EQ(value, c.value) << "line \"" << c.line << "\" from " << c.cursorIn;
        EXPECT_EQ(cursor, c.cursorOut) << "line \"" << c.line << "\" from " << c.cursorIn;
    }
}

TEST(LineScanner, CommaSeriesShiftOverEmptyFieldsAndStopAtTheEnd) {
    LineCursor cursor = 0;
    const char* line = "1,,3\n";
    double values[3];
    ScanDouble(&cursor, line, &values[0]);
    ScanNextDouble(&cursor, line, &values[1]);
    ScanNextDouble(&cursor, line, &values[2]);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 3);
    EXPECT_EQ(values[2], 0);

    const char* keyword = "=  10 , 20 , 30\n";
    cursor = 0;
    SkipBlanksAndEquals(&cursor, keyword);
    EXPECT_EQ(cursor, 3);
    std::int32_t ints[4];
    ScanInt(&cursor, keyword, &ints[0]);
    ScanNextInt(&cursor, keyword, &ints[1]);
    ScanNextInt(&cursor, keyword, &ints[2]);
    LineCursor beforeFourth = cursor;
    ScanNextInt(&cursor, keyword, &ints[3]);
    EXPECT_EQ(ints[0], 10);
    EXPECT_EQ(ints[1], 20);
    EXPECT_EQ(ints[2], 30);
    EXPECT_EQ(ints[3], 0);
    EXPECT_EQ(cursor, beforeFourth);
}

TEST(LineScanner, CrlfLineReadsLikeLfLine) {
    for (const char* line : {"OFFSET= 1.5, -2,3E1,7\n", "OFFSET= 1.5, -2,3E1,7\r\n"}) {
        LineCursor cursor = 6;
        SkipBlanksAndEquals(&cursor, line);
        double a = 0, b = 0, c = 0;
        float d = 0;
        std::int32_t e = -1;
        ScanDouble(&cursor, line, &a);
        ScanNextDouble(&cursor, line, &b);
        ScanNextDouble(&cursor, line, &c);
        ScanNextFloat(&cursor, line, &d);
        ScanNextInt(&cursor, line, &e);
        EXPECT_EQ(a, 1.5);
        EXPECT_EQ(b, -2);
        EXPECT_EQ(c, 30);
        EXPECT_EQ(d, 7.0f);
        EXPECT_EQ(e, 0);
        EXPECT_EQ(line[cursor], '7') << "the last comma-less call leaves the cursor";
    }
}

TEST(LineScanner, NumbersDoNotFollowADecimalCommaLocale) {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
        if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',') {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no decimal-comma locale is installed";
    }
    LineCursor cursor = 0;
    double value = 0;
    float single = 0;
    ScanDouble(&cursor, "X1.5,2.25\n", &value);
    EXPECT_EQ(value, 1.5) << chosen;
    ScanNextFloat(&cursor, "X1.5,2.25\n", &single);
    EXPECT_EQ(single, 2.25f) << chosen;
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(LineScanner, QuotedStrings) {
    struct Case {
        const char* line;
        LineCursor cursorIn;
        bool found;
        const char* text;
        LineCursor cursorOut;
    };
    const Case cases[] = {
        {"NAME \"big flat mill\" X\n", 4, true, "big flat mill", 19},
        {"N \"\"\n", 0, true, "", 3},
        {"\"a\"\r\n", 0, true, "a", 2},
        {"NAME X\n", 0, false, nullptr, 4},
        {"NAME\tX\n", 0, false, nullptr, 4},
        {"NAME", 1, false, nullptr, 4},
        {"NAME \"abc", 0, false, nullptr, 9},
        {"NAME \"ab c", 0, false, nullptr, 8},
        {"A \"b\"", 50, false, nullptr, 5},
    };
    for (const Case& c : cases) {
        std::optional<std::string> out = "previous value";
        LineCursor cursor = c.cursorIn;
        ScanQuotedString(&cursor, c.line, &out);
        ASSERT_EQ(out.has_value(), c.found) << c.line;
        if (c.found) {
            EXPECT_EQ(*out, c.text);
        }
        EXPECT_EQ(cursor, c.cursorOut) << c.line;
    }
}

TEST(LineScanner, SkipBlanksAndEqualsStopsOnEverythingElse) {
    struct Case {
        const char* line;
        LineCursor cursorIn;
        LineCursor cursorOut;
    };
    const Case cases[] = {
        {"=  10", 0, 3}, {"\t=5", 0, 0},   {" = \n", 0, 3},
        {"", 0, 0},      {"KEY = ", 3, 6}, {"AB", 9, 2},
    };
    for (const Case& c : cases) {
        LineCursor cursor = c.cursorIn;
        SkipBlanksAndEquals(&cursor, c.line);
        EXPECT_EQ(cursor, c.cursorOut) << "\"" << c.line << "\"";
    }
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

std::vector<std::string> notices;

void NoteScan(ValueScanNotice notice, std::string_view field, const void*) {
    notices.push_back((notice == ValueScanNotice::kSaturated ? "saturated " : "letters ") +
                      std::string(field));
}

// A watched line reports a field of letters without a number (whose scan takes the next field's
// number or 0) and a value that saturates; labels before their numbers and other lines are quiet,
// and the values are those an unwatched scan gives.
TEST(LineScanner, AWatchedLineReportsFieldsWithoutANumberAndSaturatedValues) {
    const struct {
        const char* line;
        Scan first;
        const char* notice;  // "" for none
        double value;
    } cases[] = {
        {" abc,25\n", Scan::Float, "letters abc", 25.0},
        {"= inf,0.25\n", Scan::Double, "letters inf", 0.25},
        {"=nan\n", Scan::Double, "letters nan", 0.0},
        {" 1e39,0\n", Scan::Float, "saturated 1e39", FLT_MAX},
        {" 1e400,0\n", Scan::Double, "saturated 1e400", DBL_MAX},
        {" D10,25\n", Scan::Float, "", 10.0},
        {" X=-4.5\n", Scan::Double, "", -4.5},
        {" ,25\n", Scan::Double, "", 25.0},
        {"12,abc,7\n", Scan::NextDouble, "letters abc", 7.0},
    };
    for (const auto& c : cases) {
        notices.clear();
        WatchValueScans(c.line, NoteScan);
        LineCursor cursor = 0;
        EXPECT_EQ(RunScan(c.first, &cursor, c.line), c.value) << c.line;
        const std::string other = c.line;  // the same text in another buffer is not watched
        LineCursor otherCursor = 0;
        RunScan(c.first, &otherCursor, other.c_str());
        WatchValueScans(nullptr, nullptr);
        EXPECT_EQ(notices, c.notice[0] == '\0' ? std::vector<std::string>{}
                                               : std::vector<std::string>{c.notice})
            << c.line;
    }
}

}  // namespace
}  // namespace mirexa
