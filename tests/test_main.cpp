// The main of the subsystems' test programs: the tests selected, and a failure when a filter
// selects none.
#include <gtest/gtest.h>

#include "support/test_selection.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return mirexa::testing::FailWhenTheFilterSelectsNothing(RUN_ALL_TESTS());
}
