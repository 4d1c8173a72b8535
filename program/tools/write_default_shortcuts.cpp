// Writes the shortcuts file that ships beside the program, with the same
// writer the program uses, so the first start finds a valid file.
#include <cstdio>

#include "shortcuts_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_default_shortcuts <shortcuts.ini>\n");
        return 2;
    }
    const std::string bytes = brimlow::FormatShortcuts(brimlow::ShippedRows());
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: cannot write the file\n", argv[1]);
        return 1;
    }
    return 0;
}
