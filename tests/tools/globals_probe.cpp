// The probe of scripts/check_globals: one variable of every writable kind the check must see, and
// constants it must not count.
#include "globals_probe.h"

namespace mirexa::probe {

int ProbeZeroRecord;                         // .bss
int ProbeDataRecord = 7;                     // .data
int* ProbeAddressRecord = &ProbeDataRecord;  // .data.rel (an address in its initialiser)
thread_local int ProbeThreadLocal = 4;       // .tdata
extern const int* const ProbeConstantAddress;
const int* const ProbeConstantAddress = &ProbeZeroRecord;  // .data.rel.ro: not counted
extern const int ProbeConstant;
const int ProbeConstant = 5;  // .rodata: not counted

namespace {

int* probeLocalAddress = &ProbeZeroRecord;  // .data.rel.local
thread_local int probeLocalThreadLocal;     // .tbss

}  // namespace

// Writes the file's own variables, so that the compiler keeps them.
void ProbeSet(int* value) {
    probeLocalAddress = value;
    probeLocalThreadLocal = *value;
}

// Uses every variable, so that none is left out of the object.
int ProbeUse() {
    static int calls = 0;  // a function's static: .bss
    ++calls;
    return ProbeInlineRecord + ProbeInlineThreadLocal + ProbeTemplate<int>::count +
           *probeLocalAddress + probeLocalThreadLocal + ProbeThreadLocal + *ProbeAddressRecord +
           *ProbeConstantAddress + ProbeConstant + calls;
}

}  // namespace mirexa::probe
