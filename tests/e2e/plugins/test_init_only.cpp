// Test plug-in without a Draw export; its Init must never run.
#include <cstdio>

extern "C" __attribute__((visibility("default"))) void Init(FILE*, int, int) {
    std::fputs("test_init_only: Init ran\n", stderr);
}
