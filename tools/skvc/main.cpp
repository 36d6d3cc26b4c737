#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::puts("usage: skvc COMMAND [ARGS]\n\ncommands:\n  dump FILE   list the objects of a movie stream");
        return argc < 2 ? 2 : 0;
    }
    std::fprintf(stderr, "skvc: unknown command '%s'; run 'skvc --help' for the list.\n", argv[1]);
    return 2;
}
