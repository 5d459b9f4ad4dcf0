// Linked into every program of a sanitizer build. The GL vendor libraries and Mesa's driver are
// unloaded when the display closes; LeakSanitizer reports at exit, when the memory they kept no
// longer belongs to a named module and no suppression can match it. Loaded here first with
// RTLD_NODELETE, they stay until the process ends (later loads and unloads only count references).
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void keepGlDriverLoaded() {
    const char* const libraries[] = {"libGLX_mesa.so.0", "libEGL_mesa.so.0", MORVELDAN_GL_DRIVER};
    for (const char* library : libraries)
        dlopen(library, RTLD_LAZY | RTLD_NODELETE);
}

} // namespace
