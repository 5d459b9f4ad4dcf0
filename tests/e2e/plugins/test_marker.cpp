// Test plug-in whose code runs as soon as it is loaded: it leaves a file named "plug-in-ran" in
// the current folder (the show's).
#include <cstdio>

namespace {

__attribute__((constructor)) void markLoaded() {
    if (std::FILE* marker = std::fopen("plug-in-ran", "w"))
        std::fclose(marker);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void Init(FILE*, int, int) {}
extern "C" __attribute__((visibility("default"))) void Draw(int, float) {}
