// skvres: writes the plug-in's Windows resource script and the files it names.
#include <cstdio>
#include <cstring>
#include <string>

#include "resources.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: skvres FOLDER\n\n"
                  "Writes the plug-in module's Windows resources into FOLDER: npskyv32.rc (the\n"
                  "version block with the registration data, the string table, the BUFFERING\n"
                  "bitmap and the cursors 0x6000 and 0x6001), buffering.bmp, cursor_6000.cur and\n"
                  "cursor_6001.cur. A file whose bytes would not change is left alone.");
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs("skvres: give the folder to write the resources into (see skvres --help)\n",
                   stderr);
        return 2;
    }
    std::string error;
    if (!skvres::writeResources(argv[1], &error)) {
        std::fprintf(stderr, "skvres: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
