// The end of a test program's run: a filter that selects no test fails it, so that a test entry
// whose filter no longer names a test does not pass without running anything.
#pragma once

namespace mirexa::testing {

// The result of RUN_ALL_TESTS, or 1 (said on standard error) when a filter was given and
// selected no test. A shard of a sharded run may hold no test and passes.
int FailWhenTheFilterSelectsNothing(int result);

}  // namespace mirexa::testing
