// The parser: operator precedence and associativity, statement forms and
// separators, every syntax error with its exact message and position, node
// extents, statement flags and literal flags.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {
namespace {

NodeRef parseText(const std::string &text) { return parseScript(ZelkScriptSource("test.zs", text)); }

// "line:column message" of the error the text raises.
std::string parseError(const std::string &text) {
    try {
        parseText(text);
    } catch (const ZelkScriptErrorException &error) {
        return std::to_string(error.getLine()) + ":" + std::to_string(error.getColumn()) + " " + error.getMessage();
    }
    return "no error";
}

// A compact prefix form of an expression tree, for structure checks.
std::string render(const NodeRef &node) {
    if (!node) return "_";
    ZelkScriptExpressionBase *raw = node.get();
    if (auto *n = dynamic_cast<ZelkScriptConstValue *>(raw)) return n->isString ? "'" + n->text + "'" : n->text;
    if (dynamic_cast<ZelkScriptConstNull *>(raw)) return "null";
    if (auto *n = dynamic_cast<ZelkScriptVariableReference *>(raw)) return n->variableName;
    if (auto *n = dynamic_cast<ZelkScriptBinaryExpression *>(raw))
        return "(" + getTokenName(n->binaryOperator) + " " + render(n->left) + " " + render(n->right) + ")";
    if (auto *n = dynamic_cast<ZelkScriptAssignmentExpression *>(raw))
        return "(" + getTokenName(n->assignmentOperator) + " " + render(n->left) + " " + render(n->right) + ")";
    if (auto *n = dynamic_cast<ZelkScriptUnaryExpression *>(raw))
        return "(u" + getTokenName(n->unaryOperator) + " " + render(n->operand) + ")";
    if (auto *n = dynamic_cast<ZelkScriptPostExpression *>(raw))
        return "(post" + getTokenName(n->postOperator) + " " + render(n->operand) + ")";
    if (auto *n = dynamic_cast<ZelkScriptTypeCastExpression *>(raw)) return "(" + n->typeName + " " + render(n->operand) + ")";
    if (auto *n = dynamic_cast<ZelkScriptIfThenElse *>(raw))
        return "(? " + render(n->condition) + " " + render(n->thenBranch) + " " + render(n->elseBranch) + ")";
    if (auto *n = dynamic_cast<ZelkScriptStructureMemberReference *>(raw))
        return "(. " + render(n->structure) + " " + render(n->member) + ")";
    if (auto *n = dynamic_cast<ZelkScriptVectorReference *>(raw))
        return "([] " + render(n->vector) + " " + render(n->index) + ")";
    if (auto *n = dynamic_cast<ZelkScriptFunctionCall *>(raw)) {
        std::string text = "(call " + n->functionName;
        for (const NodeRef &argument : n->arguments) text += " " + render(argument);
        return text + ")";
    }
    if (auto *n = dynamic_cast<ZelkScriptCollectionInit *>(raw)) {
        std::string text = n->kind == ZelkScriptCollectionInit::kVector ? "[" : "{";
        for (const ZelkScriptItemInit &item : n->items) text += " " + item.key + "=" + render(item.value);
        return text + (n->kind == ZelkScriptCollectionInit::kVector ? " ]" : " }");
    }
    if (auto *n = dynamic_cast<ZelkScriptStatements *>(raw)) {
        std::string text = "(list";
        for (const NodeRef &statement : n->statements) text += " " + render(statement);
        return text + ")";
    }
    return std::string("<") + std::string(node->getClassName()) + ">";
}

// The single statement of a one-statement script.
NodeRef onlyStatement(const std::string &text) {
    NodeRef root = parseText(text);
    auto *list = dynamic_cast<ZelkScriptStatements *>(root.get());
    if (!list || list->statements.size() != 1) return NodeRef();
    return list->statements[0];
}

std::string renderExpression(const std::string &text) { return render(onlyStatement(text)); }

// The single statement as a node of the given class (empty when it is not).
template <class Node>
Ref<Node> statementAs(const std::string &text) {
    return dynamicRefCast<Node>(onlyStatement(text));
}

TEST(FrontendParserTest, BinaryPrecedenceAndAssociativity) {
    EXPECT_EQ(renderExpression("a = b = c"), "(= a (= b c))");
    EXPECT_EQ(renderExpression("a - b - c"), "(- (- a b) c)");
    EXPECT_EQ(renderExpression("1 + 2 * 3"), "(+ 1 (* 2 3))");
    EXPECT_EQ(renderExpression("a * b + c * d - e"), "(- (+ (* a b) (* c d)) e)");
    EXPECT_EQ(renderExpression("p < q == r < s"), "(== (< p q) (< r s))");
    EXPECT_EQ(renderExpression("p & q == r"), "(& p (== q r))");
    EXPECT_EQ(renderExpression("x in v && y"), "(&& (IN x v) y)");
    EXPECT_EQ(renderExpression("a || b && c | d ^ e & f"), "(|| a (&& b (| c (^ d (& e f)))))");
    EXPECT_EQ(renderExpression("a << 1 + 2 < b >> 3"), "(< (<< a (+ 1 2)) (>> b 3))");
    EXPECT_EQ(renderExpression("s =~ p != t !~ q"), "(!~ (!= (=~ s p) t) q)");
    EXPECT_EQ(renderExpression("a % b / c"), "(/ (% a b) c)");
    EXPECT_EQ(renderExpression("x <<= y |= z"), "(<<= x (|= y z))");
    EXPECT_EQ(renderExpression("a =& b"), "(=& a b)");
}

TEST(FrontendParserTest, ConditionalOperator) {
    EXPECT_EQ(renderExpression("c ? 1 : d ? 2 : 3"), "(? c 1 (? d 2 3))");
    EXPECT_EQ(renderExpression("c ? d ? 1 : 2 : 3"), "(? c (? d 1 2) 3)");
    EXPECT_EQ(renderExpression("x = a || b ? 1 : 2"), "(= x (? (|| a b) 1 2))");
    EXPECT_EQ(parseError("c ? x = 1 : 2"), "1:7 invalid syntax: operator ? requires colon");
    EXPECT_EQ(parseError("c ? 1 2"), "1:7 invalid syntax: operator ? requires colon");
    EXPECT_EQ(parseError("c ? d 2"), "1:7 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("c ? 1 ;"), "1:7 invalid syntax: operator ? requires colon");
}

TEST(FrontendParserTest, UnaryAndPostfixOperators) {
    EXPECT_EQ(renderExpression("+x"), "x");
    EXPECT_EQ(renderExpression("--x"), "(-= x 1)");
    EXPECT_EQ(renderExpression("++a.b"), "(+= (. a 'b') 1)");
    EXPECT_EQ(renderExpression("x--"), "(post-- x)");
    EXPECT_EQ(renderExpression("-a[0]"), "(u- ([] a 0))");
    EXPECT_EQ(renderExpression("!a.b"), "(u! (. a 'b'))");
    EXPECT_EQ(renderExpression("-x++"), "(u- (post++ x))");
    EXPECT_EQ(renderExpression("~-!x"), "(u~ (u- (u! x)))");
    EXPECT_EQ(renderExpression("a.b.c"), "(. (. a 'b') 'c')");
    EXPECT_EQ(renderExpression("a[1][2]"), "([] ([] a 1) 2)");
    EXPECT_EQ(renderExpression("a{k}.f()"), "(call f (. a k))");
    EXPECT_EQ(renderExpression("f(x).y"), "(. (call f x) 'y')");
    EXPECT_EQ(renderExpression("obj.len()"), "(call len obj)");
    EXPECT_EQ(renderExpression("obj.ns::f(1, 2)"), "(call ns::f obj 1 2)");
    EXPECT_EQ(renderExpression("s{\"a b\"}"), "(. s 'a b')");
    EXPECT_EQ(renderExpression("(a)[1]"), "([] a 1)");
    EXPECT_EQ(renderExpression("(s).name"), "(. s 'name')");
    EXPECT_EQ(renderExpression("f(1, 2,)"), "(call f 1 2)");
    EXPECT_EQ(renderExpression("f()"), "(call f)");
    EXPECT_EQ(renderExpression("::g(a = 1, b)"), "(call ::g (= a 1) b)");
}

TEST(FrontendParserTest, Casts) {
    EXPECT_EQ(renderExpression("(long) s"), "(long s)");
    EXPECT_EQ(renderExpression("(long) +1"), "(long 1)");
    EXPECT_EQ(renderExpression("(string)(int) x[0]"), "(string (int ([] x 0)))");
    EXPECT_EQ(renderExpression("(longer)"), "longer");
    EXPECT_EQ(renderExpression("(Long)"), "Long");
    EXPECT_EQ(renderExpression("(double) a + b"), "(+ (double a) b)");
    for (const char *type : {"long", "double", "float", "int", "string", "structure", "vector"})
        EXPECT_EQ(renderExpression(std::string("(") + type + ")x"), std::string("(") + type + " x)");
    EXPECT_EQ(parseError("(int + 1)"), "1:6 invalid syntax: missing )");
}

TEST(FrontendParserTest, ConstantsAndStringFlags) {
    EXPECT_EQ(renderExpression("\"12\" + 12"), "(+ 12 12)");
    EXPECT_EQ(renderExpression("\"12a\" + \"\""), "(+ '12a' '')");
    EXPECT_EQ(renderExpression("\"1.5\" + \" 7 \" + \"1e3\" + \"1.\""), "(+ (+ (+ 1.5  7 ) 1e3) 1.)");
    EXPECT_EQ(renderExpression("\"1e400\" + \".5\" + \"x.5\""), "(+ (+ '1e400' .5) 'x.5')");
    EXPECT_EQ(renderExpression("true + false + null"), "(+ (+ 1 0) null)");
    EXPECT_EQ(renderExpression("0x1F"), "31");
}

TEST(FrontendParserTest, CollectionLiterals) {
    EXPECT_EQ(renderExpression("x = []"), "(= x [ ])");
    EXPECT_EQ(renderExpression("x = {}"), "(= x { })");
    EXPECT_EQ(renderExpression("x = [1..3, 7,]"), "(= x [ 0=1 1=2 2=3 3=7 ])");
    EXPECT_EQ(renderExpression("x = [\"a\"..\"c\"]"), "(= x [ 0='a' 1='b' 2='c' ])");
    EXPECT_EQ(renderExpression("x = [\"0\"..\"2\"]"), "(= x [ 0=0 1=1 2=2 ])");
    EXPECT_EQ(renderExpression("x = [1..1]"), "(= x [ 0=1 ])");
    EXPECT_EQ(renderExpression("x = [-2..0, 0x2..3]"), "(= x [ 0=-2 1=-1 2=0 3=2 4=3 ])");
    EXPECT_EQ(renderExpression("x = [a ? 1 : 2, f(y)]"), "(= x [ 0=(? a 1 2) 1=(call f y) ])");
    EXPECT_EQ(renderExpression("x = {a: 1; \"b c\": 2, 3: [1..2],}"), "(= x { a=1 b c=2 3=[ 0=1 1=2 ] })");
    EXPECT_EQ(parseError("x = {a::b: 1}"), "1:6 invalid syntax: structure field name does not allow ::");
    EXPECT_EQ(parseError("x = {a: 1 b: 2}"), "1:11 invalid syntax: missing }");
    EXPECT_EQ(parseError("x = {a 1}"), "1:8 invalid syntax: missing :");
    EXPECT_EQ(parseError("x = [1 2]"), "1:8 invalid syntax: missing ]");
    EXPECT_EQ(parseError("x = [a 2]"), "1:8 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("x = [1, 2"), "1:10 invalid syntax: missing ]");
    EXPECT_EQ(parseError("x = {a: b = 1}"), "1:11 invalid syntax: missing }");
}

TEST(FrontendParserTest, RangeErrors) {
    // Range errors carry no syntax prefix and point at the range's start.
    EXPECT_EQ(parseError("x = [7, 3..1]"), "1:9 invalid number range");
    EXPECT_EQ(parseError("x = [\"ab\"..\"c\"]"), "1:6 invalid character range");
    EXPECT_EQ(parseError("x = [\"c\"..\"a\"]"), "1:6 invalid character range");
    EXPECT_EQ(parseError("x = [10..\"c\"]"), "1:6 invalid character range");
    EXPECT_EQ(renderExpression("x = [1..\"3\", \"8\"..9]"), "(= x [ 0=1 1=2 2=3 3=8 4=9 ])");
    EXPECT_EQ(parseError("x = [x..3]"), "1:10 invalid syntax: constant number expression expected in number range");
    EXPECT_EQ(parseError("x = [1..y]"), "1:10 invalid syntax: constant number expression expected in number range");
    EXPECT_EQ(parseError("x = [1..]"), "1:9 invalid syntax: unexpected token ]");
}

TEST(FrontendParserTest, ExpressionErrors) {
    EXPECT_EQ(parseError("a b"), "1:3 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("a \"s\""), "1:3 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("f(1) 2"), "1:6 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("a[0] 1"), "1:6 invalid syntax: operator or semicolon expected");
    // After a bare constant the enclosing construct reports the error.
    EXPECT_EQ(parseError("a = 1 b = 2"), "1:7 invalid syntax: unexpected token b");
    EXPECT_EQ(parseError("x = \"s\" 'd'"), "1:9 invalid syntax: unexpected token d");
    EXPECT_EQ(parseError("a +"), "1:4 invalid syntax: unexpected token ");
    EXPECT_EQ(parseError("a = ;"), "1:5 invalid syntax: unexpected token ;");
    EXPECT_EQ(parseError("a.1"), "1:3 invalid syntax: expected function call or structure key name");
    EXPECT_EQ(parseError("a.b::c = 1"), "1:8 invalid syntax: structure member name may not contain name space operator");
    EXPECT_EQ(parseError("f(a, b"), "1:7 invalid syntax: missing )");
    EXPECT_EQ(parseError("(a"), "1:3 invalid syntax: missing )");
    EXPECT_EQ(parseError("a[1"), "1:4 invalid syntax: missing ]");
    EXPECT_EQ(parseError("a{1"), "1:4 invalid syntax: missing }");
    EXPECT_EQ(parseError("x = ]"), "1:5 invalid syntax: unexpected token ]");
}

TEST(FrontendParserTest, StatementListsAndSeparators) {
    EXPECT_FALSE(parseText(""));
    EXPECT_FALSE(parseText("  // nothing\n/* at all */"));
    EXPECT_EQ(render(parseText(";")), "(list)");
    EXPECT_EQ(render(parseText(";;;x = 1;;")), "(list (= x 1))");
    EXPECT_EQ(render(parseText("if (x) { y = 1 } z = 2")), "(list (? x <ZelkScriptEnterScope> _) (= z 2))");
    EXPECT_EQ(render(parseText("label1: x = 1")), "(list <ZelkScriptLabel> (= x 1))");
    EXPECT_EQ(render(parseText("try { } x = 1")), "(list <trycatch> (= x 1))");
    EXPECT_EQ(render(parseText("function f() { } f()")), "(list <ZelkScriptFunctionDefinition> (call f))");
    EXPECT_EQ(render(parseText("a = 1, b")), "(list (list (= a 1) b))");
    EXPECT_EQ(parseError("}"), "1:1 invalid syntax: unexpected token }");
    EXPECT_EQ(parseError("x = 1; }"), "1:8 invalid syntax: unexpected token }");
    EXPECT_EQ(parseError("do { } while (x) y = 1"), "1:18 invalid syntax: unexpected token y");
    EXPECT_EQ(parseError("break b = 2"), "1:7 invalid syntax: unexpected token b");
    EXPECT_EQ(parseError("x = 1 // c\n)"), "2:1 invalid syntax: unexpected token )");
}

TEST(FrontendParserTest, IfElseAndLoops) {
    const NodeRef ifElse = onlyStatement("if (a) b = 1; else b = 2;");
    auto *node = dynamic_cast<ZelkScriptIfThenElse *>(ifElse.get());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->kind, TOKEN_IF);
    EXPECT_EQ(render(node->thenBranch), "(= b 1)");
    EXPECT_EQ(render(node->elseBranch), "(= b 2)");
    EXPECT_EQ(parseError("if (a) b = 1;; else b = 2"), "1:16 invalid syntax: unexpected token else");
    EXPECT_EQ(parseError("if a"), "1:4 invalid syntax: missing (");

    auto loop = statementAs<ZelkScriptForLoop>("for (;;) { }");
    ASSERT_NE(loop, nullptr);
    EXPECT_FALSE(loop->initialization);
    EXPECT_FALSE(loop->condition);
    EXPECT_FALSE(loop->step);
    EXPECT_TRUE(loop->body);
    loop = statementAs<ZelkScriptForLoop>("for (var i = 0; i < 3; i++) x += i");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->kind, TOKEN_FOR);
    EXPECT_NE(dynamic_cast<ZelkScriptDefineVariables *>(loop->initialization.get()), nullptr);
    EXPECT_EQ(render(loop->condition), "(< i 3)");
    EXPECT_EQ(render(loop->step), "(post++ i)");
    EXPECT_EQ(render(loop->body), "(+= x i)");
    loop = statementAs<ZelkScriptForLoop>("while (a) a--");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->kind, TOKEN_WHILE);
    EXPECT_EQ(render(loop->condition), "a");
    EXPECT_EQ(parseError("while () x"), "1:8 invalid syntax: unexpected token )");
    EXPECT_EQ(parseError("for (i = 0; i < 3) x"), "1:18 invalid syntax: missing ;");

    auto until = statementAs<ZelkScriptUntilLoop>("repeat { x++ } until (x > 3)");
    ASSERT_NE(until, nullptr);
    EXPECT_EQ(until->kind, TOKEN_UNTIL);
    EXPECT_EQ(render(until->body), "(list (post++ x))");
    EXPECT_EQ(parseError("do x++ while (a)"), "1:4 invalid syntax: missing {");
    EXPECT_EQ(parseError("do { x++ } until (a)"), "1:12 invalid syntax: missing WHILE");
    EXPECT_EQ(parseError("repeat { x++ } while (a)"), "1:16 invalid syntax: missing UNTIL");

    auto foreach = statementAs<ZelkScriptForeachLoop>("foreach (var k in keys(s)) n++");
    ASSERT_NE(foreach, nullptr);
    EXPECT_TRUE(foreach->declareVariable);
    EXPECT_EQ(foreach->variableName, "k");
    EXPECT_EQ(foreach->variablePosition.column, 14);
    EXPECT_EQ(foreach->variablePosition.sourceName, "test.zs");
    EXPECT_EQ(parseError("foreach (1 in v) x"), "1:10 invalid syntax: foreach missing variable name");
    EXPECT_EQ(parseError("foreach (a::b in v) x"), "1:10 invalid syntax: foreach loop variable name does not allow ::");
    EXPECT_EQ(parseError("foreach (k of v) x"), "1:12 invalid syntax: foreach missing keyword in");
}

TEST(FrontendParserTest, Declarations) {
    auto define = statementAs<ZelkScriptDefineVariables>("var a, b = 2, k =& d;");
    ASSERT_NE(define, nullptr);
    EXPECT_EQ(define->kind, TOKEN_VARIABLE);
    EXPECT_EQ(define->names, (std::vector<std::string>{"a", "b", "k"}));
    EXPECT_EQ(define->assignmentOperators, (std::vector<int32_t>{'=', '=', TOKEN_ASSIGN_REFERENCE}));
    EXPECT_FALSE(define->initializers[0]);
    EXPECT_EQ(render(define->initializers[1]), "2");
    EXPECT_EQ(render(define->initializers[2]), "d");
    EXPECT_EQ(define->positions[2].column, 15);
    EXPECT_FALSE(define->automatic);

    define = statementAs<ZelkScriptDefineVariables>("auto undef a::b, c");
    ASSERT_NE(define, nullptr);
    EXPECT_EQ(define->kind, TOKEN_UNDEFINE);
    EXPECT_TRUE(define->automatic);
    EXPECT_EQ(define->names, (std::vector<std::string>{"a::b", "c"}));
    EXPECT_EQ(render(parseText("var a,")), "(list <ZelkScriptDefineVariables>)");
    EXPECT_EQ(parseError("undef a = 1"), "1:9 invalid syntax: unexpected token =");
    EXPECT_EQ(parseError("auto x = 1"), "1:6 invalid syntax: missing VARIABLE");
    EXPECT_EQ(parseError("var 1"), "1:5 invalid syntax: var requires an identifier");
    EXPECT_EQ(parseError("undef;"), "1:6 invalid syntax: undef requires an identifier");
}

TEST(FrontendParserTest, FunctionDefinitions) {
    auto function = statementAs<ZelkScriptFunctionDefinition>("function f(a, &b, ...) { }");
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function->name, "f");
    EXPECT_EQ(function->parameterNames, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(function->byReference, (std::vector<bool>{false, true}));
    EXPECT_TRUE(function->variadic);
    EXPECT_EQ(render(function->body), "(list)");
    EXPECT_EQ(parseError("function f(a, a) { }"), "1:15 invalid syntax: function parameter name duplicate used: a");
    EXPECT_EQ(parseError("function f(a, ) { }"), "1:15 invalid syntax: function parameter requires parameter name: )");
    EXPECT_EQ(parseError("function (a) { }"), "1:10 invalid syntax: function identifier missing: (");
    EXPECT_EQ(parseError("function f(& 1) { }"), "1:14 invalid syntax: function expects parameter name");
    EXPECT_EQ(parseError("function f(a::b) { }"), "1:12 invalid syntax: function parameter name does not allow ::");
    EXPECT_EQ(parseError("function f(..., a) { }"), "1:15 invalid syntax: missing )");
    EXPECT_EQ(parseError("function f(a) x"), "1:15 invalid syntax: missing {");
    EXPECT_EQ(parseError("function f(a) { x"), "1:18 invalid syntax: missing }");
}

TEST(FrontendParserTest, LabelsGotoSwitchTry) {
    EXPECT_EQ(parseError("a::b: x = 1"), "1:1 invalid syntax: goto label does not accept ::");
    EXPECT_EQ(parseError("name /* c */ : x = 1"), "1:14 invalid syntax: unexpected token :");
    EXPECT_EQ(parseError("goto 5"), "1:6 invalid syntax: goto statement requires a destination label name as argument");
    EXPECT_EQ(parseError("goto a::b"), "1:6 invalid syntax: goto label name does not allow ::");
    auto jump = statementAs<ZelkScriptGotoStatement>("goto end");
    ASSERT_NE(jump, nullptr);
    EXPECT_EQ(jump->labelName, "end");

    auto switchNode = statementAs<ZelkScriptSwitchStatement>("switch (x) { case 1..3: y = 1; break; default: y = 0 }");
    ASSERT_NE(switchNode, nullptr);
    ASSERT_EQ(switchNode->items.size(), 5u);
    auto *range = dynamic_cast<ZelkScriptCaseStatement *>(switchNode->items[0].get());
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(render(range->from), "1");
    EXPECT_EQ(render(range->till), "3");
    auto *fallback = dynamic_cast<ZelkScriptCaseStatement *>(switchNode->items[3].get());
    ASSERT_NE(fallback, nullptr);
    EXPECT_TRUE(fallback->isDefault);
    EXPECT_TRUE(switchNode->caseLookup.empty());
    // No separator rule inside a switch body.
    EXPECT_EQ(parseError("switch (x) { case 1: a = 1 b = 2 }"), "no error");
    EXPECT_EQ(parseError("switch (x) { case 1: a = c b = 2 }"), "1:28 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("switch (x) { case 1: break break }"), "no error");
    EXPECT_EQ(parseError("switch (x) { case 1 break }"), "1:21 invalid syntax: missing :");
    EXPECT_EQ(parseError("switch (x) { default break }"), "1:22 invalid syntax: missing :");

    auto tryCatch = statementAs<ZelkScriptTryCatch>("try { f() } catch (var e) { g() }");
    ASSERT_NE(tryCatch, nullptr);
    EXPECT_EQ(tryCatch->catchVariable, "e");
    EXPECT_TRUE(tryCatch->declareVariable);
    EXPECT_EQ(render(tryCatch->handler), "(list (call g))");
    EXPECT_EQ(parseError("try { } catch (1) { }"), "1:16 invalid syntax: catch statement requires a variable name as argument");
    EXPECT_EQ(parseError("try { } catch (::e) { }"), "1:16 invalid syntax: catch parameter name does not allow ::");
    EXPECT_EQ(parseError("try f()"), "1:5 invalid syntax: missing {");
    EXPECT_EQ(parseError("return x 2"), "1:10 invalid syntax: operator or semicolon expected");
    EXPECT_EQ(parseError("return 1 2"), "1:10 invalid syntax: unexpected token 2");
    EXPECT_EQ(render(parseText("{ return } return;")), "(list <ZelkScriptEnterScope> <ZelkScriptFunctionReturn>)");
}

TEST(FrontendParserTest, ErrorsCarryTheSourceName) {
    try {
        parseScript(ZelkScriptSource("dir/s.zelkscript", "x = 1;\n  y ="));
        FAIL() << "no error";
    } catch (const ZelkScriptErrorException &error) {
        EXPECT_EQ(error.getFileName(), "dir/s.zelkscript");
        EXPECT_EQ(error.getInfo(), "dir/s.zelkscript Line 2 Col 6 invalid syntax: unexpected token ");
    }
}

TEST(FrontendParserTest, StatementExtentsAndSourceTexts) {
    const auto firstStatementText = [](const std::string &text) {
        NodeRef root = parseText(text);
        auto *list = dynamic_cast<ZelkScriptStatements *>(root.get());
        return list && !list->statements.empty() ? list->statements[0]->getSourceText() : std::string("?");
    };
    EXPECT_EQ(firstStatementText("x = 1 ; y"), "x = 1 ");
    EXPECT_EQ(firstStatementText("if (a > 1) { b } else c"), "if (a > 1) ");
    EXPECT_EQ(firstStatementText("while (a) b;"), "while (a) ");
    EXPECT_EQ(firstStatementText("foreach (k in v) { }"), "foreach (k in v) ");
    EXPECT_EQ(firstStatementText("for (i = 0; i < 3; i++) x"), "for (i = 0; i < 3");
    EXPECT_EQ(firstStatementText("do { x } while (y); z"), "do { x } while (y)");
    EXPECT_EQ(firstStatementText("repeat { x } until (y)"), "repeat { x } until (y)");
    EXPECT_EQ(firstStatementText("switch (x) { case 1: }"), "switch (x) ");
    EXPECT_EQ(firstStatementText("try { a } catch (e) { b } c"), "try { a } catch (e) { b } ");
    EXPECT_EQ(firstStatementText("var a = 1, b;"), "var a = 1, b");
    EXPECT_EQ(firstStatementText("name: x"), "name: ");

    auto switchNode = statementAs<ZelkScriptSwitchStatement>("switch (x) { case 1 .. 2 : y; default: }");
    ASSERT_NE(switchNode, nullptr);
    EXPECT_EQ(switchNode->items[0]->getSourceText(), "case 1 .. 2 : ");
    EXPECT_EQ(switchNode->items[2]->getSourceText(), "default: ");

    // The statement inside an if still gets its own extent and position.
    auto ifNode = statementAs<ZelkScriptIfThenElse>("if (a)\n  break;");
    ASSERT_NE(ifNode, nullptr);
    EXPECT_EQ(ifNode->thenBranch->getSourceText(), "break");
    EXPECT_EQ(ifNode->thenBranch->getPosition().line, 2);
    EXPECT_EQ(ifNode->thenBranch->getPosition().column, 3);
}

TEST(FrontendParserTest, ExpressionExtentsAndPositions) {
    // Every operator node of a chain knows where it starts.
    auto outer = statementAs<ZelkScriptBinaryExpression>("  a - b - c");
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->getSourceText(), "a - b - c");
    EXPECT_EQ(outer->left->getSourceText(), "a - b ");
    EXPECT_EQ(outer->left->getPosition().column, 3);
    EXPECT_EQ(outer->right->getSourceText(), "c");

    // A parenthesised expression keeps the extent of its inside.
    auto sum = statementAs<ZelkScriptBinaryExpression>("(a + b) * c");
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(sum->left->getSourceText(), "a + b");

    // A postfix chain reports the position of its first operand; a member
    // name's extent starts at the name.
    const auto assignment = statementAs<ZelkScriptAssignmentExpression>("x = s[1].name");
    ASSERT_NE(assignment, nullptr);
    auto *member = dynamic_cast<ZelkScriptStructureMemberReference *>(assignment->right.get());
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->getPosition().column, 5);
    EXPECT_EQ(member->getSourceText(), "name");
    EXPECT_EQ(member->structure->getSourceText(), "s[1]");
    EXPECT_EQ(member->structure->getPosition().column, 5);

    auto call = statementAs<ZelkScriptFunctionCall>("f(a + 1, b)");
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->arguments[0]->getSourceText(), "a + 1");
    EXPECT_EQ(call->getSourceText(), "f(a + 1, b)");
}

TEST(FrontendParserTest, StatementFlagsAndClassAnswers) {
    NodeRef root = parseText("x = 1; if (a) y = 2; f();");
    auto *list = dynamic_cast<ZelkScriptStatements *>(root.get());
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isStatement());
    EXPECT_TRUE(list->statements[0]->isStatement());
    auto *ifNode = dynamic_cast<ZelkScriptIfThenElse *>(list->statements[1].get());
    ASSERT_NE(ifNode, nullptr);
    EXPECT_FALSE(ifNode->thenBranch->isStatement());  // not directly in a list
    EXPECT_FALSE(ifNode->condition->isStatement());
    EXPECT_TRUE(ifNode->isStatement());
    EXPECT_TRUE(list->statements[2]->isStatement());

    EXPECT_FALSE(onlyStatement("{ }")->isStatement());
    EXPECT_FALSE(onlyStatement("function f() { }")->isStatement());
    EXPECT_TRUE(onlyStatement("x ? 1 : 2")->isStatement());
    EXPECT_EQ(onlyStatement("try { }")->getClassName(), "trycatch");
    EXPECT_EQ(onlyStatement("goto x")->getClassName(), "ZelkScriptGoto");
    EXPECT_EQ(onlyStatement("x:")->getClassName(), "ZelkScriptLabel");
}

TEST(FrontendParserTest, ChildrenInDeclaredOrder) {
    std::vector<NodeRef> children;
    EXPECT_EQ(onlyStatement("if (a) b; else c")->getChildren(children), 3u);
    EXPECT_EQ(render(children[2]), "c");
    EXPECT_EQ(onlyStatement("if (a) b")->getChildren(children), 2u);
    EXPECT_EQ(onlyStatement("for (;;) x")->getChildren(children), 4u);
    EXPECT_FALSE(children[0]);
    EXPECT_EQ(render(children[3]), "x");
    EXPECT_EQ(onlyStatement("switch (s) { case 1: x }")->getChildren(children), 2u);  // items, not the subject
    EXPECT_EQ(onlyStatement("x = [1, 2]")->getChildren(children), 2u);
    const NodeRef literal = children[1];
    EXPECT_EQ(literal->getChildren(children), 0u);  // literal items are not children
    EXPECT_EQ(onlyStatement("var a = 1, b")->getChildren(children), 2u);
    EXPECT_FALSE(children[1]);
    EXPECT_EQ(onlyStatement("break")->getChildren(children), 0u);
    EXPECT_TRUE(children.empty());
}

TEST(FrontendParserTest, ExtentIsSetOnce) {
    ZelkScriptConstValue node("1", false);
    const SourceTextRef text = makeRef<ZelkScriptSourceText>("abcdef");
    node.setExtent(text, "n", ZelkScriptCursor{1, 2, 1}, 3);
    node.setExtent(text, "other", ZelkScriptCursor{1, 1, 0}, 6);
    EXPECT_EQ(node.getSourceText(), "bc");
    EXPECT_EQ(node.getPosition().sourceName, "n");

    ZelkScriptConstValue backwards("1", false);
    backwards.setExtent(text, "n", ZelkScriptCursor{1, 5, 4}, 2);
    EXPECT_EQ(backwards.getSourceText(), "");
    ZelkScriptConstValue pastEnd("1", false);
    pastEnd.setExtent(text, "n", ZelkScriptCursor{1, 9, 8}, 20);
    EXPECT_TRUE(pastEnd.hasExtent());
    EXPECT_EQ(pastEnd.getSourceText(), "");
    ZelkScriptConstValue clipped("1", false);
    clipped.setExtent(text, "n", ZelkScriptCursor{1, 5, 4}, 200);
    EXPECT_EQ(clipped.getSourceText(), "ef");
}

TEST(FrontendParserTest, BaseExecuteRaisesNotImplemented) {
    // A node class that does not run itself gets the base behaviour.
    class BareNode : public ZelkScriptExpressionBase {
    public:
        std::string_view getClassName() const override { return "BareNode"; }
        void appendDump(std::string &out, int) const override { out += "BARE\n"; }
    };
    BareNode node;
    node.setExtent(makeRef<ZelkScriptSourceText>("\n  x"), "f.zs", ZelkScriptCursor{2, 3, 3}, 4);
    // The result slot stays empty, and its destructor would need the value
    // type, so it lives in plain storage. The base never touches the
    // context; any storage stands in for one.
    alignas(Ref<ZelkScriptObject>) unsigned char resultStorage[sizeof(Ref<ZelkScriptObject>)];
    auto &result = *new (resultStorage) Ref<ZelkScriptObject>();
    alignas(64) unsigned char contextStorage[256] = {};
    try {
        node.execute(result, *reinterpret_cast<ZelkScriptContextBase *>(contextStorage));
        FAIL() << "no error";
    } catch (const ZelkScriptErrorException &error) {
        EXPECT_EQ(error.getMessage(), "not implemented");
        EXPECT_EQ(error.getFileName(), "f.zs");
        EXPECT_EQ(error.getLine(), 2);
        EXPECT_EQ(error.getColumn(), 3);
    }
}

} // namespace
} // namespace zelkscript
