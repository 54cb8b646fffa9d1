// Whether this build runs under AddressSanitizer or ThreadSanitizer, whose instrumented code runs
// several times slower than the optimised build's. The heaviest geometry checks run lighter
// inputs there (coarser pitches, fewer random cuts): the sanitizers look for memory faults and
// races, which the lighter inputs reach through the same code, while the optimised build checks
// the geometry of the full inputs.
#pragma once

namespace mirexa::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace mirexa::testing
