// Linked into every program of a sanitizer build. Mesa unloads its GL driver when the display
// closes; LeakSanitizer reports at exit, when the memory the driver kept no longer belongs to a
// named module and no suppression can match it. Loaded here first with RTLD_NODELETE, the driver
// stays until the process ends (Mesa's later loads and unloads of it only count references).
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void keepGlDriverLoaded() {
    dlopen(MORVELDAN_GL_DRIVER, RTLD_LAZY | RTLD_NODELETE);
}

} // namespace
