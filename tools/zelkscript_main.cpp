// zelkscript: the command-line runner. Runs script files and texts through
// the library's public C interface, the same way any host does, and offers
// --dump, which prints the syntax tree of a script for script authors and
// tests.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"
#include "zelkscript/zelkscript.h"

namespace {

void printUsage(FILE *out) {
    std::fprintf(out,
                 "usage: zelkscript [options] FILE [ARG...]\n"
                 "       zelkscript [options] -e TEXT\n"
                 "       zelkscript --dump FILE\n"
                 "       zelkscript --dump -e TEXT\n"
                 "options:\n"
                 "  --dump       print the syntax tree of the script instead of running it\n"
                 "  --help       show this text\n"
                 "  --version    show the library version\n");
}

bool readWholeFile(const char *path, std::string &text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Prints the dump of the script, or its syntax error as FILE:LINE:COL: message.
int dumpScript(const std::string &sourceName, std::string text) {
    using namespace zelkscript;
    try {
        const NodeRef root = parseScript(ZelkScriptSource(sourceName, std::move(text)));
        if (root) {
            const std::string dump = root->dump(0);
            std::fwrite(dump.data(), 1, dump.size(), stdout);
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const ZelkScriptErrorException &error) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", sourceName.c_str(), static_cast<int>(error.getLine()),
                     static_cast<int>(error.getColumn()), error.getMessage().c_str());
        return 1;
    }
}

} // namespace

int main(int argc, char **argv) {
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zelkscript %s\n", zelkscript_version());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--dump") == 0) {
            dump = true;
            continue;
        }
        if (!dump) break;
        if (std::strcmp(argv[i], "-e") == 0) {
            if (i + 1 >= argc) break;
            return dumpScript("-e", argv[i + 1]);
        }
        std::string text;
        if (!readWholeFile(argv[i], text)) {
            std::fprintf(stderr, "zelkscript: cannot read %s\n", argv[i]);
            return 1;
        }
        return dumpScript(argv[i], std::move(text));
    }
    printUsage(stderr);
    return 2;
}
