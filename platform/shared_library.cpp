// Shared objects over dlopen/dlsym/dlclose.
#include "platform/shared_library.h"

#include <dlfcn.h>

namespace mirexa {

SharedLibraryHandle OpenSharedLibrary(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) {
            *error = "empty path";
        }
        return nullptr;
    }
    // dlopen searches the library path for a bare name; "./" keeps it to the working directory.
    const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "cannot be loaded";
    }
    return library;
}

void* FindSharedLibrarySymbol(SharedLibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(library, name);
}

int CloseSharedLibrary(SharedLibraryHandle library) {
    if (library == nullptr) {
        return 0;
    }
    return dlclose(library) == 0 ? 1 : 0;
}

}  // namespace mirexa
