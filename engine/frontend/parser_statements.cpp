// Statement half of the parser: statement lists with their separator rule,
// declarations, function definitions, control statements, labels and blocks.
#include <unordered_set>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {

namespace {

bool containsNamespace(const std::string &name) { return name.find("::") != std::string::npos; }

} // namespace

ZelkScriptParser::ZelkScriptParser(const ZelkScriptSource &source) : scanner_(source) {}

NodeRef parseScript(const ZelkScriptSource &source) {
    ZelkScriptParser parser(source);
    return parser.parse();
}

NodeRef ZelkScriptParser::parse() {
    root_.reset();
    depth_ = 0;
    rangeItems_ = 0;
    next();
    NodeRef list = parseStatementList();
    if (token() != TOKEN_ENDOFFILE) scanner_.raise("unexpected token " + scanner_.tokenText());
    root_ = list;
    return list;
}

void ZelkScriptParser::setExtent(const NodeRef &node, const ZelkScriptCursor &start) const {
    if (node) node->setExtent(scanner_.getSourceText(), scanner_.getSourceName(), start, scanner_.tokenStart().offset);
}

void ZelkScriptParser::enterNesting() {
    if (depth_ >= kMaxNestingDepth) scanner_.raise("nesting too deep");
    ++depth_;
}

void ZelkScriptParser::raiseAt(const ZelkScriptCursor &at, std::string message) const {
    throw ZelkScriptErrorException(std::move(message), scanner_.getSourceName(), at.line, at.column);
}

NodeRef ZelkScriptParser::parseStatementList() {
    const ZelkScriptCursor listStart = scanner_.tokenStart();
    if (token() == TOKEN_ENDOFFILE) return NodeRef();
    std::vector<NodeRef> statements;
    const auto parseListedStatement = [this, &statements]() {
        const ZelkScriptCursor start = scanner_.tokenStart();
        NodeRef statement = parseStatement();
        if (!statement) return;
        statement->setStatement(true);
        setExtent(statement, start);
        statements.push_back(std::move(statement));
    };
    parseListedStatement();
    for (;;) {
        if (token() == TOKEN_ENDOFFILE || token() == '}') break;
        if (token() == ';') {
            while (token() == ';') next();
            if (token() == TOKEN_ENDOFFILE || token() == '}') break;
        } else {
            // Without a ';' only a statement that ended in '}' or a label's
            // ':' may be followed directly by the next one.
            const int32_t previous = scanner_.getPreviousTokenCode();
            if (previous != '}' && previous != ';' && previous != ':')
                scanner_.raise("unexpected token " + scanner_.tokenText());
        }
        parseListedStatement();
    }
    auto list = makeRef<ZelkScriptStatements>(std::move(statements));
    setExtent(list, listStart);
    return list;
}

NodeRef ZelkScriptParser::parseStatement() {
    const int32_t code = token();
    if (code == '}' || code == ';' || code == TOKEN_ENDOFFILE) return NodeRef();
    const ZelkScriptCursor start = scanner_.tokenStart();
    NestingGuard nesting(*this);
    NodeRef node;
    switch (code) {
    case TOKEN_IF: node = parseIf(start); break;
    case TOKEN_SWITCH: node = parseSwitch(start); break;
    case TOKEN_FOR: node = parseFor(start); break;
    case TOKEN_WHILE: node = parseWhile(start); break;
    case TOKEN_DO: node = parseUntilLoop(TOKEN_WHILE, TOKEN_WHILE); break;
    case TOKEN_REPEAT: node = parseUntilLoop(TOKEN_UNTIL, TOKEN_UNTIL); break;
    case TOKEN_FOREACH: node = parseForeach(start); break;
    case TOKEN_BREAK:
        next();
        node = makeRef<ZelkScriptLoopBreak>();
        break;
    case TOKEN_CONTINUE:
        next();
        node = makeRef<ZelkScriptLoopContinue>();
        break;
    case TOKEN_GOTO: node = parseGoto(); break;
    case TOKEN_AUTO:
    case TOKEN_VARIABLE:
    case TOKEN_UNDEFINE: node = parseDeclaration(); break;
    case TOKEN_RETURN: node = parseReturn(); break;
    case TOKEN_FUNCTION: node = parseFunctionDefinition(); break;
    case '{': node = parseBlock(); break;
    case TOKEN_TRY: node = parseTryCatch(); break;
    case TOKEN_IDENTIFIER:
        node = scanner_.isLabelAhead() ? parseLabel() : parseExpression();
        break;
    default: node = parseExpression(); break;
    }
    // Statements that stand inside other statements get their extent here;
    // those whose extent covers only their head have set it already.
    setExtent(node, start);
    return node;
}

NodeRef ZelkScriptParser::parseIf(const ZelkScriptCursor &start) {
    next();
    scanner_.expect('(');
    NodeRef condition = parseExpression();
    scanner_.expect(')');
    auto node = makeRef<ZelkScriptIfThenElse>(TOKEN_IF, std::move(condition), NodeRef(), NodeRef());
    setExtent(node, start);  // the head, up to where the body begins
    node->thenBranch = parseStatement();
    if (token() == ';') next();
    if (token() == TOKEN_ELSE) {
        next();
        node->elseBranch = parseStatement();
    }
    return node;
}

NodeRef ZelkScriptParser::parseSwitch(const ZelkScriptCursor &start) {
    next();
    scanner_.expect('(');
    NodeRef subject = parseExpression();
    scanner_.expect(')');
    auto node = makeRef<ZelkScriptSwitchStatement>(std::move(subject), std::vector<NodeRef>());
    setExtent(node, start);  // the head "switch (...)"
    scanner_.expect('{');
    // Case labels and statements share one list in source order; a case
    // label marks a place to jump to. No separator rule applies here.
    while (token() != '}' && token() != TOKEN_ENDOFFILE) {
        const ZelkScriptCursor itemStart = scanner_.tokenStart();
        NodeRef item;
        if (token() == TOKEN_CASE) {
            next();
            NodeRef from = parseExpression();
            NodeRef till;
            if (token() == TOKEN_RANGE) {
                next();
                till = parseExpression();
            }
            scanner_.expect(':');
            item = makeRef<ZelkScriptCaseStatement>(std::move(from), std::move(till), false);
        } else if (token() == TOKEN_DEFAULT) {
            next();
            scanner_.expect(':');
            item = makeRef<ZelkScriptCaseStatement>(NodeRef(), NodeRef(), true);
        } else {
            item = parseStatement();
        }
        if (item) {
            setExtent(item, itemStart);
            node->items.push_back(std::move(item));
        }
        if (token() == ';') next();
    }
    scanner_.expect('}');
    return node;
}

NodeRef ZelkScriptParser::parseFor(const ZelkScriptCursor &start) {
    next();
    scanner_.expect('(');
    // Initialisation and step are statements, so "var i = 0" may stand first.
    NodeRef initialization = parseStatement();
    scanner_.expect(';');
    NodeRef condition;
    if (token() != ';') condition = parseExpression();
    auto node = makeRef<ZelkScriptForLoop>(TOKEN_FOR, std::move(initialization), std::move(condition), NodeRef(),
                                           NodeRef());
    setExtent(node, start);  // up to the second ';'
    scanner_.expect(';');
    if (token() != ')') node->step = parseStatement();
    scanner_.expect(')');
    node->body = parseStatement();
    return node;
}

NodeRef ZelkScriptParser::parseWhile(const ZelkScriptCursor &start) {
    next();
    scanner_.expect('(');
    NodeRef condition = parseExpression();
    scanner_.expect(')');
    auto node = makeRef<ZelkScriptForLoop>(TOKEN_WHILE, NodeRef(), std::move(condition), NodeRef(), NodeRef());
    setExtent(node, start);
    node->body = parseStatement();
    return node;
}

NodeRef ZelkScriptParser::parseUntilLoop(int32_t kind, int32_t closingKeyword) {
    next();
    scanner_.expect('{');
    NodeRef body = parseStatementList();
    scanner_.expect('}');
    scanner_.expect(closingKeyword);
    scanner_.expect('(');
    NodeRef condition = parseExpression();
    scanner_.expect(')');
    return makeRef<ZelkScriptUntilLoop>(kind, std::move(condition), std::move(body));
}

NodeRef ZelkScriptParser::parseForeach(const ZelkScriptCursor &start) {
    next();
    scanner_.expect('(');
    bool declareVariable = false;
    if (token() == TOKEN_VARIABLE) {
        declareVariable = true;
        next();
    }
    if (token() != TOKEN_IDENTIFIER) scanner_.raise("foreach missing variable name");
    if (containsNamespace(scanner_.tokenText())) scanner_.raise("foreach loop variable name does not allow ::");
    std::string name = scanner_.tokenText();
    ZelkScriptPosition namePosition = scanner_.getTokenStartPosition();
    next();
    if (token() != TOKEN_IN) scanner_.raise("foreach missing keyword in");
    next();
    NodeRef collection = parseExpression();
    scanner_.expect(')');
    auto node = makeRef<ZelkScriptForeachLoop>(std::move(name), std::move(namePosition), declareVariable,
                                               std::move(collection), NodeRef());
    setExtent(node, start);
    node->body = parseStatement();
    return node;
}

NodeRef ZelkScriptParser::parseGoto() {
    next();
    if (token() != TOKEN_IDENTIFIER) scanner_.raise("goto statement requires a destination label name as argument");
    if (containsNamespace(scanner_.tokenText())) scanner_.raise("goto label name does not allow ::");
    auto node = makeRef<ZelkScriptGotoStatement>(scanner_.tokenText());
    next();
    return node;
}

NodeRef ZelkScriptParser::parseLabel() {
    if (containsNamespace(scanner_.tokenText())) scanner_.raise("goto label does not accept ::");
    auto node = makeRef<ZelkScriptGotoLabelDefinition>(scanner_.tokenText());
    next();  // the name
    next();  // the ':'
    return node;
}

NodeRef ZelkScriptParser::parseDeclaration() {
    bool automatic = false;
    if (token() == TOKEN_AUTO) {
        automatic = true;
        next();
        if (token() != TOKEN_VARIABLE && token() != TOKEN_UNDEFINE) scanner_.expect(TOKEN_VARIABLE);
    }
    const int32_t kind = token();
    next();
    if (token() != TOKEN_IDENTIFIER)
        scanner_.raise(kind == TOKEN_VARIABLE ? "var requires an identifier" : "undef requires an identifier");
    std::vector<std::string> names;
    std::vector<ZelkScriptPosition> positions;
    std::vector<NodeRef> initializers;
    std::vector<int32_t> operators;
    for (;;) {
        names.push_back(scanner_.tokenText());
        positions.push_back(scanner_.getTokenStartPosition());
        next();
        NodeRef initializer;
        int32_t assignment = '=';
        if (kind == TOKEN_VARIABLE && (token() == '=' || token() == TOKEN_ASSIGN_REFERENCE)) {
            assignment = token();
            next();
            initializer = parseAssignmentExpression();
        }
        initializers.push_back(std::move(initializer));
        operators.push_back(assignment);
        if (token() != ',') break;
        next();
        if (token() != TOKEN_IDENTIFIER) break;  // a trailing comma ends the list
    }
    return makeRef<ZelkScriptDefineVariables>(kind, std::move(names), std::move(positions), std::move(initializers),
                                              std::move(operators), automatic);
}

NodeRef ZelkScriptParser::parseReturn() {
    next();
    NodeRef value;
    if (token() != TOKEN_ENDOFFILE && token() != ';' && token() != '}') value = parseExpression();
    return makeRef<ZelkScriptFunctionReturn>(std::move(value));
}

NodeRef ZelkScriptParser::parseFunctionDefinition() {
    next();
    if (token() != TOKEN_IDENTIFIER) scanner_.raise("function identifier missing: " + scanner_.tokenText());
    std::string name = scanner_.tokenText();
    next();
    scanner_.expect('(');
    std::vector<std::string> parameters;
    std::vector<bool> byReference;
    std::unordered_set<std::string> seen;
    bool variadic = false;
    while (token() == '&' || token() == TOKEN_IDENTIFIER || token() == TOKEN_ELLIPSIS) {
        if (token() == TOKEN_ELLIPSIS) {
            variadic = true;
            next();
            break;
        }
        bool reference = false;
        if (token() == '&') {
            reference = true;
            next();
            if (token() != TOKEN_IDENTIFIER) scanner_.raise("function expects parameter name");
        }
        const std::string &parameter = scanner_.tokenText();
        if (containsNamespace(parameter)) scanner_.raise("function parameter name does not allow ::");
        if (!seen.insert(parameter).second) scanner_.raise("function parameter name duplicate used: " + parameter);
        parameters.push_back(parameter);
        byReference.push_back(reference);
        next();
        if (token() != ',') break;
        next();
        if (token() != '&' && token() != TOKEN_IDENTIFIER && token() != TOKEN_ELLIPSIS)
            scanner_.raise("function parameter requires parameter name: " + scanner_.tokenText());
    }
    scanner_.expect(')');
    scanner_.expect('{');
    NodeRef body = parseStatementList();
    scanner_.expect('}');
    return makeRef<ZelkScriptFunctionDefinition>(std::move(name), std::move(parameters), std::move(byReference),
                                                 std::move(body), variadic);
}

NodeRef ZelkScriptParser::parseBlock() {
    scanner_.expect('{');
    NodeRef body = parseStatementList();
    scanner_.expect('}');
    return makeRef<ZelkScriptEnterScope>(std::move(body));
}

NodeRef ZelkScriptParser::parseTryCatch() {
    next();
    scanner_.expect('{');
    NodeRef body = parseStatementList();
    scanner_.expect('}');
    std::string catchVariable;
    bool declareVariable = false;
    NodeRef handler;
    if (token() == TOKEN_CATCH) {
        next();
        scanner_.expect('(');
        if (token() == TOKEN_VARIABLE) {
            declareVariable = true;
            next();
        }
        if (token() != TOKEN_IDENTIFIER) scanner_.raise("catch statement requires a variable name as argument");
        if (containsNamespace(scanner_.tokenText())) scanner_.raise("catch parameter name does not allow ::");
        catchVariable = scanner_.tokenText();
        next();
        scanner_.expect(')');
        scanner_.expect('{');
        handler = parseStatementList();
        scanner_.expect('}');
    }
    return makeRef<ZelkScriptTryCatch>(std::move(body), std::move(catchVariable), declareVariable, std::move(handler));
}

} // namespace zelkscript
