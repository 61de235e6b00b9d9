// Token streams for the tricky lexical cases, lexical error messages with
// their positions, and the position texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/frontend/scanner.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {
namespace {

struct Token {
    int32_t code;
    std::string text;
    bool operator==(const Token &other) const { return code == other.code && text == other.text; }
};

std::ostream &operator<<(std::ostream &out, const Token &token) {
    return out << "{" << getTokenName(token.code) << ", \"" << token.text << "\"}";
}

std::vector<Token> scanAll(const std::string &text) {
    ZelkScriptScanner scanner(ZelkScriptSource("test", text));
    std::vector<Token> tokens;
    while (scanner.nextToken() != TOKEN_ENDOFFILE) tokens.push_back({scanner.getTokenCode(), scanner.getTokenText()});
    return tokens;
}

// The message and position of the error that scanning the whole text raises.
std::string scanError(const std::string &text) {
    try {
        scanAll(text);
    } catch (const ZelkScriptErrorException &error) {
        return std::to_string(error.getLine()) + ":" + std::to_string(error.getColumn()) + " " + error.getMessage();
    }
    return "no error";
}

Token number(const std::string &text) { return {TOKEN_NUMBER, text}; }
Token name(const std::string &text) { return {TOKEN_IDENTIFIER, text}; }
Token literal(const std::string &text) { return {TOKEN_LITERAL, text}; }
Token op(int32_t code, const std::string &text) { return {code, text}; }

TEST(FrontendScannerTest, EmptyTextsEndAtOnceAndKeepEnding) {
    for (const char *text : {"", "   \t\r\n", "// only a comment", "/* block */ // and line\n"}) {
        ZelkScriptScanner scanner(ZelkScriptSource("x", text));
        EXPECT_EQ(scanner.nextToken(), TOKEN_ENDOFFILE) << text;
        EXPECT_EQ(scanner.nextToken(), TOKEN_ENDOFFILE) << text;
    }
    ZelkScriptScanner noText(ZelkScriptSource("x", SourceTextRef()));
    EXPECT_EQ(noText.getTokenCode(), TOKEN_ENDOFFILE);
    EXPECT_EQ(noText.nextToken(), TOKEN_ENDOFFILE);
    EXPECT_EQ(noText.nextToken(), TOKEN_ENDOFFILE);
}

TEST(FrontendScannerTest, NulByteEndsTheText) {
    const std::string text("a b\0c d", 7);
    EXPECT_EQ(scanAll(text), (std::vector<Token>{name("a"), name("b")}));
    // Also inside a literal: the string then never ends.
    EXPECT_EQ(scanError(std::string("\"ab\0\"", 5)), "1:1 invalid syntax: string is not ending before end of line");
}

TEST(FrontendScannerTest, LinesAndColumnsCountCrLfOnce) {
    ZelkScriptScanner scanner(ZelkScriptSource("x", "a\r\n  b\rc\n\td"));
    std::vector<std::pair<int32_t, int32_t>> positions;
    while (scanner.nextToken() != TOKEN_ENDOFFILE)
        positions.emplace_back(scanner.tokenStart().line, scanner.tokenStart().column);
    // A lone CR resets the column without counting a line; a tab is one column.
    EXPECT_EQ(positions, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 3}, {2, 1}, {3, 2}}));
}

TEST(FrontendScannerTest, OffsetsAreByteIndexes) {
    ZelkScriptScanner scanner(ZelkScriptSource("x", "ab  \"\xC3\xA4\" cd"));
    scanner.nextToken();
    scanner.nextToken();
    EXPECT_EQ(scanner.tokenStart().offset, 4u);
    scanner.nextToken();
    EXPECT_EQ(scanner.tokenStart().offset, 9u);
    EXPECT_EQ(scanner.tokenStart().column, 10);  // bytes, not characters
}

TEST(FrontendScannerTest, IdentifiersNamespacesAndKeywords) {
    EXPECT_EQ(scanAll("a::b ::a _x1 Var IF While undef var"),
              (std::vector<Token>{name("a::b"), name("::a"), name("_x1"), name("Var"), name("IF"), name("While"),
                                  op(TOKEN_UNDEFINE, "undef"), op(TOKEN_VARIABLE, "var")}));
    EXPECT_EQ(scanAll("a : b"), (std::vector<Token>{name("a"), op(':', ":"), name("b")}));
    EXPECT_EQ(scanAll("a:b"), (std::vector<Token>{name("a"), op(':', ":"), name("b")}));
    for (const char *bad : {"a::", "::", "a:::b", "a::::b"})
        EXPECT_EQ(scanError(bad), "1:1 invalid syntax: invalid namespace in identifier") << bad;
    const std::vector<std::pair<std::string, int32_t>> keywords = {
        {"auto", TOKEN_AUTO},   {"break", TOKEN_BREAK},     {"case", TOKEN_CASE},         {"catch", TOKEN_CATCH},
        {"continue", TOKEN_CONTINUE}, {"default", TOKEN_DEFAULT}, {"do", TOKEN_DO},       {"else", TOKEN_ELSE},
        {"false", TOKEN_FALSE}, {"for", TOKEN_FOR},         {"foreach", TOKEN_FOREACH},   {"function", TOKEN_FUNCTION},
        {"goto", TOKEN_GOTO},   {"if", TOKEN_IF},           {"in", TOKEN_IN},             {"null", TOKEN_NULL},
        {"repeat", TOKEN_REPEAT}, {"return", TOKEN_RETURN}, {"switch", TOKEN_SWITCH},     {"true", TOKEN_TRUE},
        {"try", TOKEN_TRY},     {"undef", TOKEN_UNDEFINE},  {"until", TOKEN_UNTIL},       {"var", TOKEN_VARIABLE},
        {"while", TOKEN_WHILE},
    };
    for (const auto &[word, code] : keywords) {
        EXPECT_EQ(scanAll(word), (std::vector<Token>{op(code, word)})) << word;
        EXPECT_EQ(scanAll(word + "x"), (std::vector<Token>{name(word + "x")})) << word;
    }
    // Bytes above 127 are no letters.
    EXPECT_EQ(scanError("ab\xE4"), "1:3 invalid syntax: invalid character found: \xE4");
}

TEST(FrontendScannerTest, OperatorsByLongestMatch) {
    EXPECT_EQ(scanAll("x<<=1"), (std::vector<Token>{name("x"), op(TOKEN_SHIFT_LEFT_ASSIGN, "<<="), number("1")}));
    EXPECT_EQ(scanAll("a=&b"), (std::vector<Token>{name("a"), op(TOKEN_ASSIGN_REFERENCE, "=&"), name("b")}));
    EXPECT_EQ(scanAll("a=-1"), (std::vector<Token>{name("a"), op('=', "="), op('-', "-"), number("1")}));
    const std::vector<std::pair<std::string, int32_t>> operators = {
        {"==", TOKEN_EQUAL},       {"!=", TOKEN_NOT_EQUAL},       {"<=", TOKEN_LESS_EQUAL},
        {">=", TOKEN_GREATER_EQUAL}, {"=~", TOKEN_MATCH},         {"!~", TOKEN_NOT_MATCH},
        {"=&", TOKEN_ASSIGN_REFERENCE}, {"&&", TOKEN_LOGICAL_AND}, {"||", TOKEN_LOGICAL_OR},
        {"<<", TOKEN_SHIFT_LEFT},  {">>", TOKEN_SHIFT_RIGHT},     {"++", TOKEN_INCREMENT},
        {"--", TOKEN_DECREMENT},   {"+=", TOKEN_ADD_ASSIGN},      {"-=", TOKEN_SUBTRACT_ASSIGN},
        {"*=", TOKEN_MULTIPLY_ASSIGN}, {"/=", TOKEN_DIVIDE_ASSIGN}, {"%=", TOKEN_MODULO_ASSIGN},
        {"|=", TOKEN_OR_ASSIGN},   {"&=", TOKEN_AND_ASSIGN},      {"^=", TOKEN_XOR_ASSIGN},
        {"<<=", TOKEN_SHIFT_LEFT_ASSIGN}, {">>=", TOKEN_SHIFT_RIGHT_ASSIGN}, {"..", TOKEN_RANGE},
        {"...", TOKEN_ELLIPSIS},
    };
    for (const auto &[text, code] : operators) {
        EXPECT_EQ(scanAll(text), (std::vector<Token>{op(code, text)})) << text;
        EXPECT_EQ(getTokenName(code), text);
    }
    for (const char *single : {"(", ")", "[", "]", "{", "}", "=", "?", ",", ";", "*", "/", "%", "+", "-", "!", "<",
                               ">", "&", "|", "^", "~", ".", ":"}) {
        EXPECT_EQ(scanAll(single), (std::vector<Token>{op(static_cast<unsigned char>(single[0]), single)})) << single;
    }
    EXPECT_EQ(scanAll("...."), (std::vector<Token>{op(TOKEN_ELLIPSIS, "..."), op('.', ".")}));
    EXPECT_EQ(scanError("a # b"), "1:3 invalid syntax: invalid character found: #");
}

TEST(FrontendScannerTest, HexadecimalLiteralsBecomeDecimalAndWrap) {
    EXPECT_EQ(scanAll("0x1F 0X10 0x 0xff"), (std::vector<Token>{number("31"), number("16"), number("0"), number("255")}));
    EXPECT_EQ(scanAll("0xFFFFFFFFFFFFFFFF"), (std::vector<Token>{number("-1")}));
    EXPECT_EQ(scanAll("0x8000000000000000"), (std::vector<Token>{number("-9223372036854775808")}));
    // Seventeen digits: the first one is shifted out.
    EXPECT_EQ(scanAll("0x17FFFFFFFFFFFFFFF"), (std::vector<Token>{number("9223372036854775807")}));
    EXPECT_EQ(scanAll("00x1"), (std::vector<Token>{number("00"), name("x1")}));
    EXPECT_EQ(scanError("0x1g"), "1:1 invalid syntax: invalid character found: g");
    EXPECT_EQ(scanError("  0xZ"), "1:3 invalid syntax: invalid character found: Z");
}

TEST(FrontendScannerTest, DecimalFractionsAndExponents) {
    EXPECT_EQ(scanAll("1.5e-3 2E10 7e+2 0.25"),
              (std::vector<Token>{number("1.5e-3"), number("2E10"), number("7e+2"), number("0.25")}));
    EXPECT_EQ(scanAll("1e"), (std::vector<Token>{number("1"), name("e")}));
    EXPECT_EQ(scanAll("1e+"), (std::vector<Token>{number("1"), name("e"), op('+', "+")}));
    EXPECT_EQ(scanAll("1.e5"), (std::vector<Token>{number("1"), op('.', "."), name("e5")}));
    EXPECT_EQ(scanAll("1..5"), (std::vector<Token>{number("1"), op(TOKEN_RANGE, ".."), number("5")}));
    EXPECT_EQ(scanAll("1."), (std::vector<Token>{number("1"), op('.', ".")}));
    EXPECT_EQ(scanAll("12abc"), (std::vector<Token>{number("12"), name("abc")}));
    // Written forms are kept, however large.
    EXPECT_EQ(scanAll("123456789012345678901234567890"), (std::vector<Token>{number("123456789012345678901234567890")}));
}

TEST(FrontendScannerTest, QuotedLiteralsAndEscapes) {
    EXPECT_EQ(scanAll("\"it's\" 'say \"hi\"'"), (std::vector<Token>{literal("it's"), literal("say \"hi\"")}));
    EXPECT_EQ(scanAll(R"("\n\r\t\b\f\"\'\\\q\0\a")"), (std::vector<Token>{literal("\n\r\t\b\f\"'\\q0a")}));
    EXPECT_EQ(scanAll(R"("\x41\x{42}\x{000041}\X4a")"), (std::vector<Token>{literal("ABAJ")}));
    EXPECT_EQ(scanAll(R"("\x414")"), (std::vector<Token>{literal("A4")}));  // at most two plain digits
    EXPECT_EQ(scanAll(R"("\xZ" "\x{}" "\X")"), (std::vector<Token>{literal("\\xZ"), literal("\\x{}"), literal("\\X")}));
    EXPECT_EQ(scanAll(R"("\xff")"), (std::vector<Token>{literal("\xFF")}));
    EXPECT_EQ(scanError(R"(x = "\x{100}")"), "1:5 invalid syntax: \\xHH too large");
    EXPECT_EQ(scanError(R"("\x{41")"), "1:1 invalid syntax: \\x{ missing closing }");
    EXPECT_EQ(scanError("\"ab\ncd\""), "1:1 invalid syntax: string is not ending before end of line");
    EXPECT_EQ(scanError("\"ab\rcd\""), "1:1 invalid syntax: string is not ending before end of line");
    EXPECT_EQ(scanError("a\n 'abc"), "2:2 invalid syntax: string is not ending before end of line");
    EXPECT_EQ(scanError("\"abc\\"), "1:1 invalid syntax: string is not ending before end of line");
}

TEST(FrontendScannerTest, SpecialStringForms) {
    EXPECT_EQ(scanAll("__multiline__(\"a\nb\")"), (std::vector<Token>{literal("a\nb")}));
    EXPECT_EQ(scanAll("__multiline__(\"a\r\nb\rc\")"), (std::vector<Token>{literal("a\nb\rc")}));
    EXPECT_EQ(scanAll(R"(__noescape__("a\nb\"))"), (std::vector<Token>{literal("a\\nb\\")}));
    EXPECT_EQ(scanAll(R"(__noescape__(__escape__("\t")))"), (std::vector<Token>{literal("\t")}));
    EXPECT_EQ(scanAll("__noescape__ ( /* c */ __multiline__ (// c\n '\\x\n' ) )"),
              (std::vector<Token>{literal("\\x\n")}));
    EXPECT_EQ(scanAll("__singleline__('a') __multilinex"), (std::vector<Token>{literal("a"), name("__multilinex")}));
    EXPECT_EQ(scanError("__multiline__(__singleline__(\"a\nb\"))"),
              "1:1 invalid syntax: string is not ending before end of line");
    EXPECT_EQ(scanError("__multiline__(\"a\nb"), "1:1 invalid syntax: __multiline__ string is not ending before end of code");
    EXPECT_EQ(scanError("__escape__x"), "1:1 invalid syntax: __escape__ missing (");
    EXPECT_EQ(scanError("__multiline__ \"a\""), "1:1 invalid syntax: __multiline__ missing (");
    EXPECT_EQ(scanError("__noescape__(\"a\""), "1:1 invalid syntax: __noescape__ string missing closing )");
    EXPECT_EQ(scanError("__multiline__(x)"),
              "1:1 invalid syntax: __multiline__ string missing closing ) before end of code");
    EXPECT_EQ(scanError("__singleline__(\"a\" x"),
              "1:1 invalid syntax: __singleline__ string missing closing ) before end of line");
    // The innermost open form names the missing parenthesis.
    EXPECT_EQ(scanError("__multiline__(__escape__(\"a\")"),
              "1:1 invalid syntax: __multiline__ string missing closing ) before end of code");
    EXPECT_EQ(scanError("__multiline__(__escape__(\"a\" ))x"), "no error");
}

TEST(FrontendScannerTest, DeeplyNestedStringFormsNeedNoRecursion) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "__escape__(";
    text += "\"deep\"";
    text.append(100000, ')');
    EXPECT_EQ(scanAll(text), (std::vector<Token>{literal("deep")}));
}

TEST(FrontendScannerTest, Comments) {
    EXPECT_EQ(scanAll("/*/ x"), (std::vector<Token>{name("x")}));
    EXPECT_EQ(scanAll("a/**/b/* * / **/c// d\ne"), (std::vector<Token>{name("a"), name("b"), name("c"), name("e")}));
    EXPECT_EQ(scanAll("a / b"), (std::vector<Token>{name("a"), op('/', "/"), name("b")}));
    // An unclosed comment is reported at the token read before it, with the
    // comment's own start line.
    EXPECT_EQ(scanError("x\n\n  y /* open\n\n"), "3:3 invalid syntax: block comment started in line 3 not closed by */");
    EXPECT_EQ(scanError("/* open"), "1:1 invalid syntax: block comment started in line 1 not closed by */");
}

TEST(FrontendScannerTest, LabelLookAheadSkipsBlanksOnly) {
    const auto labelAfterFirstToken = [](const std::string &text) {
        ZelkScriptScanner scanner(ZelkScriptSource("x", text));
        scanner.nextToken();
        return scanner.isLabelAhead();
    };
    EXPECT_TRUE(labelAfterFirstToken("name: x"));
    EXPECT_TRUE(labelAfterFirstToken("name \r\n\t: x"));
    EXPECT_TRUE(labelAfterFirstToken("name:"));
    EXPECT_FALSE(labelAfterFirstToken("name ::x"));
    EXPECT_FALSE(labelAfterFirstToken("name /* c */ :"));
    EXPECT_FALSE(labelAfterFirstToken("name = 1"));
    EXPECT_FALSE(labelAfterFirstToken("name"));
}

TEST(FrontendScannerTest, PreviousTokenAndExpect) {
    ZelkScriptScanner scanner(ZelkScriptSource("file.zs", "f ( x"));
    scanner.nextToken();
    scanner.expect(TOKEN_IDENTIFIER);
    EXPECT_EQ(scanner.getPreviousTokenCode(), TOKEN_IDENTIFIER);
    scanner.expect('(');
    try {
        scanner.expect(')');
        FAIL() << "expect did not raise";
    } catch (const ZelkScriptErrorException &error) {
        EXPECT_EQ(error.getMessage(), "invalid syntax: missing )");
        EXPECT_EQ(error.getFileName(), "file.zs");
        EXPECT_EQ(error.getLine(), 1);
        EXPECT_EQ(error.getColumn(), 5);
        EXPECT_FALSE(error.isFatal());
    }
    try {
        scanner.expect(TOKEN_IN);
        FAIL() << "expect did not raise";
    } catch (const ZelkScriptErrorException &error) {
        EXPECT_EQ(error.getMessage(), "invalid syntax: missing IN");
    }
}

TEST(FrontendScannerTest, TokenNames) {
    EXPECT_EQ(getTokenName(TOKEN_ENDOFFILE), "Endoffile");
    EXPECT_EQ(getTokenName(TOKEN_LITERAL), "LITERAL");
    EXPECT_EQ(getTokenName(TOKEN_NUMBER), "NUMBER");
    EXPECT_EQ(getTokenName(TOKEN_IDENTIFIER), "IDENTIFIER");
    EXPECT_EQ(getTokenName(TOKEN_UNDEFINE), "UNDEFINE");
    EXPECT_EQ(getTokenName(TOKEN_VARIABLE), "VARIABLE");
    EXPECT_EQ(getTokenName(TOKEN_IN), "IN");
    EXPECT_EQ(getTokenName('('), "(");
    EXPECT_EQ(getTokenName('@'), "@");
}

TEST(FrontendScannerTest, PositionTexts) {
    ZelkScriptPosition position(12, 5, 0, "scripts/sub/x.zelkscript");
    EXPECT_EQ(formatShortPosition(position), "L12C5");
    EXPECT_EQ(formatLongPosition(position), "scripts/sub/x.zelkscript L12C5");
    EXPECT_EQ(formatBaseNamePosition(position), "x.zelkscript L12C5");
    position.sourceName.clear();
    EXPECT_EQ(formatLongPosition(position), "L12C5");
    EXPECT_EQ(formatBaseNamePosition(position), "L12C5");
    position.line = 0;
    EXPECT_EQ(formatShortPosition(position), "");

    ZelkScriptScanner scanner(ZelkScriptSource("dir/s.zs", "\n  abc"));
    scanner.nextToken();
    EXPECT_EQ(scanner.getShortPositionText(), "L2C3");
    EXPECT_EQ(scanner.getLongPositionText(), "dir/s.zs L2C3");
    EXPECT_EQ(scanner.getBaseNamePositionText(), "s.zs L2C3");
}

TEST(FrontendScannerTest, ErrorTexts) {
    const ZelkScriptErrorException located("boom", "x.zelkscript", 3, 5);
    EXPECT_STREQ(located.what(), "boom");
    EXPECT_EQ(located.getPositionText(), "x.zelkscript Line 3 Col 5");
    EXPECT_EQ(located.getInfo(), "x.zelkscript Line 3 Col 5 boom");
    EXPECT_EQ(ZelkScriptErrorException("boom", "", 4, 9).getInfo(), "Line 4 Col 9 boom");
    EXPECT_EQ(ZelkScriptErrorException("boom", "f", 0, 9).getInfo(), "f boom");
    EXPECT_EQ(ZelkScriptErrorException("boom", "", 4, 0).getInfo(), "boom");
    EXPECT_TRUE(ZelkScriptErrorException("boom", "", 1, 1, true).isFatal());
}

} // namespace
} // namespace zelkscript
