// The program's start-up wiring: fills every hooks record through which a lower subsystem calls
// up with the real function, and names the hooks still waiting for a feature not built yet.
#pragma once

#include <cstddef>
#include <vector>

namespace mirexa {

// Fills every hooks record of the program. main calls it once after the backend started and
// before RunProgram; calling it again changes nothing.
void ConnectProgram();

// A hooks record of the program: its name, its global (or the record a getter returns) and its
// size in bytes. Every field of a record is one function pointer.
struct HookRecordEntry {
    const char* name = {};
    const void* address = {};
    std::size_t size = {};
};

// A hook left empty by ConnectProgram because the feature that fills it is not built yet.
struct WaitingHook {
    const char* record = {};
    const char* field = {};
    std::size_t offset = {};  // bytes from the start of the record
    const char* feature = {};
};

// Every hooks record of the program.
const std::vector<HookRecordEntry>& ListHookRecords();

// The hooks ConnectProgram leaves empty, each with the feature it waits for.
const std::vector<WaitingHook>& ListWaitingHooks();

}  // namespace mirexa
