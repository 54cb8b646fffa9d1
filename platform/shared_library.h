// Shared objects loaded at run time (plug-ins): open by path, look an exported symbol up, close.
// A thin layer over dlopen/dlsym/dlclose that reports failures as text instead of leaving them in
// the loader's thread-local error state.
#pragma once

#include <string>

namespace mirexa {

// An open shared object; null when none.
using SharedLibraryHandle = void*;

// Opens the shared object at path with every symbol bound at once (a library with an unresolved
// symbol is refused here, not at its first call) and kept local to it. Returns the handle, or
// null with the loader's reason in *error (when error is not null). A path without "/" is taken
// relative to the working directory, never from the system's library search path.
SharedLibraryHandle OpenSharedLibrary(const std::string& path, std::string* error);

// The address of the exported symbol, or null when the library does not export it (or the
// handle or name is null).
void* FindSharedLibrarySymbol(SharedLibraryHandle library, const char* name);

// Closes the library; its code may be unmapped afterwards, so no pointer into it may be used
// again. Returns 1, 0 for a null handle or when the loader refused.
int CloseSharedLibrary(SharedLibraryHandle library);

}  // namespace mirexa
