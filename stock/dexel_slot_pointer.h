// The heap pointer of a spilled dexel cell, kept in the first 8 bytes of the cell's slot of a
// family array. Read and written with memcpy: the slot is an array of doubles, bytes or ints,
// never a pointer object, and need not be aligned for one.
#pragma once

#include <cstring>

namespace mirexa {

template <class T>
T* LoadSlotPointer(const void* slot) {
    T* pointer = nullptr;
    std::memcpy(&pointer, slot, sizeof pointer);
    return pointer;
}

inline void StoreSlotPointer(void* slot, const void* pointer) {
    std::memcpy(slot, &pointer, sizeof pointer);
}

}  // namespace mirexa
