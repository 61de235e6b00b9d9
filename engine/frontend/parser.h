// Recursive-descent parser: statements and expressions of one script text
// into a syntax tree. It pulls tokens from its scanner, never looks further
// ahead than the current token, and stops at the first error, which it raises
// as a ZelkScriptErrorException ("invalid syntax: ..."). Nesting is bounded so
// that no input, however deep, can exhaust the call stack here or in the code
// that later walks the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/frontend/scanner.h"
#include "engine/frontend/syntax_tree.h"

namespace zelkscript {

// Deepest nesting of constructs (brackets, prefix operators, operator chains,
// nested statements) a script may use. Real scripts stay far below it; it
// keeps recursion in the parser, the tree walks and the destructor bounded.
constexpr int kMaxNestingDepth = 1000;
// Most items that number and character ranges ("[1..1000]") of one parse may
// expand to, so a tiny literal cannot claim gigabytes.
constexpr int64_t kMaxRangeItems = 1000000;

class ZelkScriptParser {
public:
    explicit ZelkScriptParser(const ZelkScriptSource &source);

    // Parses the whole text. Returns the script's statement list, or an empty
    // reference when the text holds no token at all.
    NodeRef parse();
    const NodeRef &getRoot() const noexcept { return root_; }
    ZelkScriptScanner &getScanner() noexcept { return scanner_; }

    // The pieces, for callers that parse part of a text (after nextToken()).
    NodeRef parseStatementList();
    NodeRef parseStatement();
    NodeRef parseExpression();
    NodeRef parseAssignmentExpression();
    NodeRef parseConditionalExpression();

private:
    // Counts one level of nesting for as long as it lives; raises "nesting
    // too deep" when the bound is reached.
    class NestingGuard {
    public:
        explicit NestingGuard(ZelkScriptParser &parser) : parser_(parser) { parser.enterNesting(); }
        ~NestingGuard() { parser_.leaveNesting(); }
        NestingGuard(const NestingGuard &) = delete;
        NestingGuard &operator=(const NestingGuard &) = delete;

    private:
        ZelkScriptParser &parser_;
    };

    // statements
    NodeRef parseIf(const ZelkScriptCursor &start);
    NodeRef parseSwitch(const ZelkScriptCursor &start);
    NodeRef parseFor(const ZelkScriptCursor &start);
    NodeRef parseWhile(const ZelkScriptCursor &start);
    NodeRef parseUntilLoop(int32_t kind, int32_t closingKeyword);
    NodeRef parseForeach(const ZelkScriptCursor &start);
    NodeRef parseGoto();
    NodeRef parseLabel();
    NodeRef parseDeclaration();
    NodeRef parseReturn();
    NodeRef parseFunctionDefinition();
    NodeRef parseBlock();
    NodeRef parseTryCatch();

    // expressions
    [[gnu::noinline]] NodeRef parseExpressionList(NodeRef first, const ZelkScriptCursor &start);
    NodeRef parseBinary(int minimumLevel);
    NodeRef parseUnary();
    [[gnu::noinline]] NodeRef parseCast();
    NodeRef parsePostfixChain(NodeRef node, const ZelkScriptCursor &chainStart);
    NodeRef parsePrimary();
    void parseArguments(std::vector<NodeRef> &arguments);
    NodeRef parseStructureLiteral();
    NodeRef parseVectorLiteral();
    void appendRange(std::vector<ZelkScriptItemInit> &items, int64_t &index, const NodeRef &from, const NodeRef &till,
                     const ZelkScriptCursor &fromStart);

    // helpers
    void setExtent(const NodeRef &node, const ZelkScriptCursor &start) const;
    void enterNesting();
    void leaveNesting(int levels = 1) noexcept { depth_ -= levels; }
    [[noreturn]] void raiseAt(const ZelkScriptCursor &at, std::string message) const;
    int32_t token() const noexcept { return scanner_.getTokenCode(); }
    void next() { scanner_.nextToken(); }

    ZelkScriptScanner scanner_;
    NodeRef root_;
    int depth_ = 0;
    int64_t rangeItems_ = 0;
};

// Parses a whole script text; raises on the first error.
NodeRef parseScript(const ZelkScriptSource &source);

} // namespace zelkscript
