#include "platform/SharedLibrary.h"

#include <dlfcn.h>

// dlopen searches the system's library folders for a name without a slash.
std::string showLibraryFile(const std::string& path) {
    return path.find('/') == std::string::npos ? "./" + path : path;
}

bool SharedLibrary::open(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* reason = dlerror();
        error_ = reason ? reason : "unknown reason";
    }
    return handle_ != nullptr;
}

void* SharedLibrary::symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}
