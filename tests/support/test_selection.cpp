// The end of a test program's run: a filter that selects no test fails it.
#include "support/test_selection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace mirexa::testing {

int FailWhenTheFilterSelectsNothing(int result) {
    const std::string filter = GTEST_FLAG_GET(filter);
    if (GTEST_FLAG_GET(list_tests) || filter == "*" || std::getenv("GTEST_TOTAL_SHARDS") ||
        ::testing::UnitTest::GetInstance()->test_to_run_count() > 0) {
        return result;
    }
    std::fprintf(stderr, "the filter %s selects no test\n", filter.c_str());
    return 1;
}

}  // namespace mirexa::testing
