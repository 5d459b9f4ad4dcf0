#include "app/Program.h"

#include <cstdio>

int runProgram(int, char**) {
    std::fprintf(stderr, "morveldan: the show is not assembled yet\n");
    return 1;
}
