// Expression half of the parser: assignment, conditional, the binary operator
// levels (read by precedence climbing, which builds the same left-associative
// trees as one function per level with far fewer stack frames), prefix and
// postfix operators, primaries and collection literals with their ranges.
#include <string>

#include "engine/frontend/constant_evaluator.h"
#include "engine/frontend/parser.h"
#include "engine/frontend/value_bridge.h"

namespace zelkscript {

namespace {

bool isAssignmentOperator(int32_t code) noexcept {
    switch (code) {
    case '=':
    case TOKEN_ASSIGN_REFERENCE:
    case TOKEN_ADD_ASSIGN:
    case TOKEN_SUBTRACT_ASSIGN:
    case TOKEN_MULTIPLY_ASSIGN:
    case TOKEN_DIVIDE_ASSIGN:
    case TOKEN_MODULO_ASSIGN:
    case TOKEN_OR_ASSIGN:
    case TOKEN_AND_ASSIGN:
    case TOKEN_XOR_ASSIGN:
    case TOKEN_SHIFT_LEFT_ASSIGN:
    case TOKEN_SHIFT_RIGHT_ASSIGN: return true;
    default: return false;
    }
}

// Binding strength of the infix operators, loosest first; 0 for any other
// token.
constexpr int kLowestBinaryLevel = 4;

int getBinaryLevel(int32_t code) noexcept {
    switch (code) {
    case TOKEN_LOGICAL_OR: return 4;
    case TOKEN_LOGICAL_AND: return 5;
    case '|': return 6;
    case '^': return 7;
    case '&': return 8;
    case TOKEN_EQUAL:
    case TOKEN_NOT_EQUAL:
    case TOKEN_MATCH:
    case TOKEN_NOT_MATCH:
    case TOKEN_IN: return 9;
    case '<':
    case '>':
    case TOKEN_LESS_EQUAL:
    case TOKEN_GREATER_EQUAL: return 10;
    case TOKEN_SHIFT_LEFT:
    case TOKEN_SHIFT_RIGHT: return 11;
    case '+':
    case '-': return 12;
    case '*':
    case '/':
    case '%': return 13;
    default: return 0;
    }
}

bool isCastTypeName(const std::string &name) noexcept {
    return name == "long" || name == "double" || name == "float" || name == "int" || name == "string" ||
           name == "structure" || name == "vector";
}

bool isBareConstant(const NodeRef &node) {
    return dynamic_cast<const ZelkScriptConstValue *>(node.get()) != nullptr ||
           dynamic_cast<const ZelkScriptConstNull *>(node.get()) != nullptr;
}

bool isVariableReference(const NodeRef &node) {
    return dynamic_cast<const ZelkScriptVariableReference *>(node.get()) != nullptr;
}

} // namespace

NodeRef ZelkScriptParser::parseExpression() {
    const ZelkScriptCursor start = scanner_.tokenStart();
    NodeRef first = parseAssignmentExpression();
    if (token() != ',') return first;
    return parseExpressionList(std::move(first), start);
}

// Kept out of parseExpression, which every bracket level passes through, so
// its frame stays small.
NodeRef ZelkScriptParser::parseExpressionList(NodeRef first, const ZelkScriptCursor &start) {
    std::vector<NodeRef> items;
    items.push_back(std::move(first));
    while (token() == ',') {
        next();
        items.push_back(parseAssignmentExpression());
    }
    auto list = makeRef<ZelkScriptStatements>(std::move(items));
    setExtent(list, start);
    return list;
}

NodeRef ZelkScriptParser::parseAssignmentExpression() {
    const ZelkScriptCursor start = scanner_.tokenStart();
    NodeRef left = parseConditionalExpression();
    if (!isAssignmentOperator(token())) return left;
    const int32_t op = token();
    NestingGuard nesting(*this);  // right-associative: "a = b = c" nests
    next();
    NodeRef right = parseAssignmentExpression();
    auto node = makeRef<ZelkScriptAssignmentExpression>(op, std::move(left), std::move(right));
    setExtent(node, start);
    return node;
}

NodeRef ZelkScriptParser::parseConditionalExpression() {
    const ZelkScriptCursor start = scanner_.tokenStart();
    NodeRef condition = parseBinary(kLowestBinaryLevel);
    if (token() != '?') return condition;
    NestingGuard nesting(*this);
    next();
    NodeRef thenBranch = parseConditionalExpression();
    if (token() != ':') scanner_.raise("operator ? requires colon");
    next();
    NodeRef elseBranch = parseConditionalExpression();
    auto node = makeRef<ZelkScriptIfThenElse>('?', std::move(condition), std::move(thenBranch), std::move(elseBranch));
    setExtent(node, start);
    return node;
}

NodeRef ZelkScriptParser::parseBinary(int minimumLevel) {
    const ZelkScriptCursor start = scanner_.tokenStart();
    NodeRef left = parseUnary();
    // Every operator of a left-associative chain makes the tree one level
    // deeper, so a chain counts against the nesting bound like brackets do.
    int chainDepth = 0;
    for (int level; (level = getBinaryLevel(token())) >= minimumLevel && level > 0;) {
        const int32_t op = token();
        enterNesting();
        ++chainDepth;
        next();
        NodeRef right = parseBinary(level + 1);
        left = makeRef<ZelkScriptBinaryExpression>(op, std::move(left), std::move(right));
        setExtent(left, start);
    }
    leaveNesting(chainDepth);
    return left;
}

NodeRef ZelkScriptParser::parseUnary() {
    const ZelkScriptCursor start = scanner_.tokenStart();
    NodeRef node;
    switch (token()) {
    case '!':
    case '-':
    case '~': {
        const int32_t op = token();
        NestingGuard nesting(*this);
        next();
        NodeRef operand = parseUnary();
        node = makeRef<ZelkScriptUnaryExpression>(op, std::move(operand));
        break;
    }
    case '+': {
        NestingGuard nesting(*this);
        next();
        node = parseUnary();  // unary plus makes no node of its own
        break;
    }
    case TOKEN_INCREMENT:
    case TOKEN_DECREMENT: {
        // "++x" is exactly "x += 1".
        const int32_t op = token() == TOKEN_INCREMENT ? TOKEN_ADD_ASSIGN : TOKEN_SUBTRACT_ASSIGN;
        NestingGuard nesting(*this);
        next();
        NodeRef operand = parseUnary();
        node = makeRef<ZelkScriptAssignmentExpression>(op, std::move(operand),
                                                       makeRef<ZelkScriptConstValue>("1", false));
        break;
    }
    case '(': {
        NestingGuard nesting(*this);
        next();
        if (token() == TOKEN_IDENTIFIER && isCastTypeName(scanner_.tokenText())) {
            node = parseCast();
        } else {
            node = parseExpression();
            scanner_.expect(')');
        }
        break;
    }
    default: node = parsePrimary(); break;
    }
    setExtent(node, start);
    return parsePostfixChain(std::move(node), start);
}

// "(long) x" after the '(': kept out of parseUnary, which every bracket level
// passes through, so that frame stays small.
NodeRef ZelkScriptParser::parseCast() {
    std::string typeName = scanner_.tokenText();
    next();
    scanner_.expect(')');
    NodeRef operand = parseUnary();
    return makeRef<ZelkScriptTypeCastExpression>(std::move(typeName), std::move(operand));
}

NodeRef ZelkScriptParser::parsePostfixChain(NodeRef node, const ZelkScriptCursor &chainStart) {
    int chainDepth = 0;
    for (bool more = true; more;) {
        switch (token()) {
        case '.': {
            enterNesting();
            ++chainDepth;
            next();
            if (token() != TOKEN_IDENTIFIER) scanner_.raise("expected function call or structure key name");
            std::string name = scanner_.tokenText();
            const ZelkScriptCursor nameStart = scanner_.tokenStart();
            next();
            if (token() == '(') {
                // "obj.f(a)" is the call "f(obj, a)".
                scanner_.expect('(');
                std::vector<NodeRef> arguments;
                arguments.push_back(std::move(node));
                parseArguments(arguments);
                node = makeRef<ZelkScriptFunctionCall>(std::move(name), std::move(arguments));
            } else {
                if (name.find("::") != std::string::npos)
                    scanner_.raise("structure member name may not contain name space operator");
                node = makeRef<ZelkScriptStructureMemberReference>(std::move(node),
                                                                   makeRef<ZelkScriptConstValue>(std::move(name), true));
            }
            setExtent(node, nameStart);
            break;
        }
        case '[':
        case '{': {
            const int32_t closing = token() == '[' ? ']' : '}';
            enterNesting();
            ++chainDepth;
            next();
            NodeRef key = parseExpression();
            scanner_.expect(closing);
            if (closing == ']') node = makeRef<ZelkScriptVectorReference>(std::move(node), std::move(key));
            else node = makeRef<ZelkScriptStructureMemberReference>(std::move(node), std::move(key));
            setExtent(node, chainStart);
            break;
        }
        case TOKEN_INCREMENT:
        case TOKEN_DECREMENT: {
            const int32_t op = token();
            enterNesting();
            ++chainDepth;
            next();
            node = makeRef<ZelkScriptPostExpression>(std::move(node), op);
            setExtent(node, chainStart);
            break;
        }
        case TOKEN_IDENTIFIER:
        case TOKEN_LITERAL:
        case TOKEN_NUMBER:
            // Two operands in a row ("a b"). A bare constant is left to the
            // enclosing construct, which reports what it was missing:
            // "a = 1 b = 2" is an unseparated statement, "{a: 1 b: 2}" a
            // structure literal without its '}'.
            if (chainDepth > 0 || !isBareConstant(node)) scanner_.raise("operator or semicolon expected");
            more = false;
            break;
        default: more = false; break;
        }
    }
    leaveNesting(chainDepth);
    // The whole chain reports the place where its first operand began.
    if (chainDepth > 0) node->position = ZelkScriptPosition(chainStart, scanner_.getSourceName());
    return node;
}

NodeRef ZelkScriptParser::parsePrimary() {
    NodeRef node;
    switch (token()) {
    case TOKEN_NUMBER: node = makeRef<ZelkScriptConstValue>(scanner_.tokenText(), false); break;
    case TOKEN_LITERAL:
        node = makeRef<ZelkScriptConstValue>(scanner_.tokenText(),
                                             valuebridge::isStringLiteralText(scanner_.tokenText()));
        break;
    case TOKEN_TRUE: node = makeRef<ZelkScriptConstValue>("1", false); break;
    case TOKEN_FALSE: node = makeRef<ZelkScriptConstValue>("0", false); break;
    case TOKEN_NULL: node = makeRef<ZelkScriptConstNull>(); break;
    case TOKEN_IDENTIFIER: {
        const ZelkScriptCursor start = scanner_.tokenStart();
        std::string name = scanner_.tokenText();
        next();
        if (token() == '(') {
            NestingGuard nesting(*this);
            next();
            std::vector<NodeRef> arguments;
            parseArguments(arguments);
            node = makeRef<ZelkScriptFunctionCall>(std::move(name), std::move(arguments));
        } else {
            node = makeRef<ZelkScriptVariableReference>(std::move(name));
        }
        setExtent(node, start);
        return node;
    }
    case '{': {
        NestingGuard nesting(*this);
        return parseStructureLiteral();
    }
    case '[': {
        NestingGuard nesting(*this);
        return parseVectorLiteral();
    }
    default: scanner_.raise("unexpected token " + scanner_.tokenText());
    }
    next();
    return node;
}

void ZelkScriptParser::parseArguments(std::vector<NodeRef> &arguments) {
    while (token() != ')' && token() != TOKEN_ENDOFFILE) {
        const ZelkScriptCursor start = scanner_.tokenStart();
        NodeRef argument = parseAssignmentExpression();
        setExtent(argument, start);
        arguments.push_back(std::move(argument));
        if (token() != ',') break;
        next();
    }
    scanner_.expect(')');
}

NodeRef ZelkScriptParser::parseStructureLiteral() {
    scanner_.expect('{');
    std::vector<ZelkScriptItemInit> items;
    while (token() == TOKEN_IDENTIFIER || token() == TOKEN_LITERAL || token() == TOKEN_NUMBER) {
        if (scanner_.tokenText().find("::") != std::string::npos)
            scanner_.raise("structure field name does not allow ::");
        std::string key = scanner_.tokenText();
        next();
        scanner_.expect(':');
        NodeRef value = parseConditionalExpression();
        items.emplace_back(std::move(key), std::move(value));
        if (token() != ';' && token() != ',') break;
        next();
    }
    scanner_.expect('}');
    return makeRef<ZelkScriptCollectionInit>(ZelkScriptCollectionInit::kStructure, std::move(items));
}

NodeRef ZelkScriptParser::parseVectorLiteral() {
    scanner_.expect('[');
    std::vector<ZelkScriptItemInit> items;
    int64_t index = 0;
    while (token() != ']' && token() != TOKEN_ENDOFFILE) {
        const ZelkScriptCursor itemStart = scanner_.tokenStart();
        NodeRef item = parseConditionalExpression();
        if (token() == TOKEN_RANGE) {
            next();
            NodeRef till = parseAssignmentExpression();
            appendRange(items, index, item, till, itemStart);
        } else {
            items.emplace_back(std::to_string(index++), std::move(item));
        }
        if (token() != ',') break;
        next();
    }
    scanner_.expect(']');
    return makeRef<ZelkScriptCollectionInit>(ZelkScriptCollectionInit::kVector, std::move(items));
}

void ZelkScriptParser::appendRange(std::vector<ZelkScriptItemInit> &items, int64_t &index, const NodeRef &from,
                                   const NodeRef &till, const ZelkScriptCursor &fromStart) {
    if (!from || !till || isVariableReference(from) || isVariableReference(till))
        scanner_.raise("constant number expression expected in number range");
    const ZelkScriptConstantEvaluator &evaluator = getConstantEvaluator();
    const std::string first = evaluator.evaluateConstant(*from);
    const std::string last = evaluator.evaluateConstant(*till);

    int64_t low = 0;
    int64_t high = 0;
    if (valuebridge::convertTextToInteger(first, low) && valuebridge::convertTextToInteger(last, high)) {
        if (low > high) raiseAt(fromStart, "invalid number range");
        // Unsigned difference: the span of two 64-bit values may not fit in
        // a signed one.
        const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
        if (span >= static_cast<uint64_t>(kMaxRangeItems - rangeItems_)) raiseAt(fromStart, "invalid number range");
        rangeItems_ += static_cast<int64_t>(span) + 1;
        items.reserve(items.size() + span + 1);
        for (int64_t value = low;; ++value) {
            items.emplace_back(std::to_string(index++), makeRef<ZelkScriptConstValue>(std::to_string(value), false));
            if (value == high) break;
        }
        return;
    }
    if (first.size() != 1 || last.size() != 1) raiseAt(fromStart, "invalid character range");
    // Bytes compare unsigned, so ranges reach into the upper half ("a".."\xE4").
    const unsigned char firstByte = static_cast<unsigned char>(first[0]);
    const unsigned char lastByte = static_cast<unsigned char>(last[0]);
    if (firstByte > lastByte) raiseAt(fromStart, "invalid character range");
    const int64_t count = lastByte - firstByte + 1;
    if (count > kMaxRangeItems - rangeItems_) raiseAt(fromStart, "invalid character range");
    rangeItems_ += count;
    for (unsigned byte = firstByte; byte <= lastByte; ++byte) {
        std::string text(1, static_cast<char>(byte));
        const bool isString = valuebridge::isStringLiteralText(text);
        items.emplace_back(std::to_string(index++), makeRef<ZelkScriptConstValue>(std::move(text), isString));
    }
}

} // namespace zelkscript
