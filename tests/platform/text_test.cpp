// The saturating decimal reader shared by the profile and line readers, at its sign and range
// edges.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace mirexa {
namespace {

TEST(ParseDecimalInt32, ReadsSignAndDigitsAndSaturatesAtTheInt32Range) {
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t least = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"300", 300},
        {"+7", 7},
        {"-25", -25},
        {"12.7", 12},
        {"2147483647", most},
        {"2147483648", most},
        {"99999999999999999999", most},
        {"-2147483648", least},
        {"-2147483649", least},
        {"-99999999999999999999", least},
        {"", 0},
        {"-", 0},
        {"+-3", 0},
        {" 5", 0},
        {".5", 0},
        {"\n", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDecimalInt32(c.text), c.expected) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace mirexa
