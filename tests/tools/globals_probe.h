// The check of the program's globals (scripts/check_globals) is tested on this probe: one
// variable of each kind that gets a section of its own, defined in this header.
#pragma once

namespace mirexa::probe {

// An inline variable: a COMDAT group of its own in every object that uses it.
inline int ProbeInlineRecord = 1;
// An inline thread_local.
inline thread_local int ProbeInlineThreadLocal = 2;

// A template's static member, one per instantiation.
template <typename T>
struct ProbeTemplate {
    static int count;
};
template <typename T>
int ProbeTemplate<T>::count = 3;

}  // namespace mirexa::probe
