// Fuzz target for the scanner and the parser: arbitrary bytes must either
// parse into a tree or raise the script error, never crash, hang or read
// outside the text. A parsed tree is also dumped and walked, so the dump code
// and every node's source extent are exercised on the same input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"

namespace {

using namespace zelkscript;

// Visits every node and reads its source text; the tree depth is bounded by
// the parser, so the recursion is too.
size_t walkTree(const NodeRef &node, size_t textSize) {
    if (!node) return 0;
    const std::string source = node->getSourceText();
    if (source.size() > textSize) __builtin_trap();
    std::vector<NodeRef> children;
    node->getChildren(children);
    size_t count = 1;
    for (const NodeRef &child : children) count += walkTree(child, textSize);
    return count;
}

void scanEverything(const std::string &text) {
    ZelkScriptScanner scanner(ZelkScriptSource("fuzz", text));
    try {
        // Every token but the last consumes at least one byte.
        for (size_t tokens = 0; tokens <= text.size() && scanner.nextToken() != TOKEN_ENDOFFILE; ++tokens) {
        }
    } catch (const ZelkScriptErrorException &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    scanEverything(text);
    try {
        const NodeRef root = parseScript(ZelkScriptSource("fuzz", text));
        if (root) {
            walkTree(root, text.size());
            const std::string dump = root->dump(0);
            if (dump.empty()) __builtin_trap();
        }
    } catch (const ZelkScriptErrorException &error) {
        if (error.getMessage().empty()) __builtin_trap();
    }
    return 0;
}
