// zelkscript: the command-line runner. Runs script files and texts through
// the library's public C interface, the same way any host does.
#include <cstdio>
#include <cstring>

#include "zelkscript/zelkscript.h"

namespace {

void printUsage(FILE *out) {
    std::fprintf(out,
                 "usage: zelkscript [options] FILE [ARG...]\n"
                 "       zelkscript [options] -e TEXT\n"
                 "options:\n"
                 "  --help       show this text\n"
                 "  --version    show the library version\n");
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zelkscript %s\n", zelkscript_version());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
    }
    printUsage(stderr);
    return 2;
}
