// Hostile input to the front end: nesting depth, range sizes, byte ranges,
// escape values, constant-only range bounds and many parsers at once. Each
// case ends in a clear error or a sound tree, never a crash.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/frontend/constant_evaluator.h"
#include "engine/frontend/parser.h"
#include "engine/frontend/value_bridge.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {
namespace {

struct Outcome {
    std::string message;
    int32_t line = 0;
    int32_t column = 0;
};

Outcome parseOutcome(const std::string &text) {
    try {
        parseScript(ZelkScriptSource("deep", text));
    } catch (const ZelkScriptErrorException &error) {
        return {error.getMessage(), error.getLine(), error.getColumn()};
    }
    return {"no error"};
}

std::string repeat(const std::string &part, int times) {
    std::string text;
    text.reserve(part.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) text += part;
    return text;
}

// Opening text repeated, an operand, then the closing text repeated.
std::string nest(const std::string &open, const std::string &inner, const std::string &close, int depth) {
    return repeat(open, depth) + inner + repeat(close, depth);
}

TEST(FrontendLimitsTest, HundredThousandNestingLevelsFailCleanly) {
    constexpr int kHostileDepth = 100000;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"parentheses", nest("(", "1", ")", kHostileDepth)},
        {"vector literals", "x = " + nest("[", "1", "]", kHostileDepth)},
        {"structure literals", "x = " + nest("{a:", "1", "}", kHostileDepth)},
        {"blocks", nest("{", "x", "}", kHostileDepth)},
        {"negation", repeat("!", kHostileDepth) + "x"},
        {"minus", repeat("- ", kHostileDepth) + "x"},
        {"prefix increments", repeat("++", kHostileDepth) + "x"},
        {"casts", repeat("(int)", kHostileDepth) + "x"},
        {"if statements", repeat("if (a) ", kHostileDepth) + "x = 1"},
        {"while statements", repeat("while (a) ", kHostileDepth) + "x = 1"},
        {"assignments", repeat("a = ", kHostileDepth) + "1"},
        {"conditionals", repeat("c ? ", kHostileDepth) + "1" + repeat(" : 2", kHostileDepth)},
        {"operator chain", "x = 1" + repeat(" + 1", kHostileDepth)},
        {"index chain", "x = a" + repeat("[0]", kHostileDepth)},
        {"member chain", "x = a" + repeat(".b", kHostileDepth)},
        {"call arguments", nest("f(", "1", ")", kHostileDepth)},
        {"index expressions", "x = " + nest("a[", "0", "]", kHostileDepth)},
    };
    for (const auto &[name, text] : cases) {
        const Outcome outcome = parseOutcome(text);
        EXPECT_EQ(outcome.message, "invalid syntax: nesting too deep") << name;
        EXPECT_EQ(outcome.line, 1) << name;
    }
}

TEST(FrontendLimitsTest, NestingErrorPointsWhereTheBoundWasReached) {
    // The statement takes one level, each parenthesis one more: the 1000th
    // parenthesis is the first one refused.
    const Outcome outcome = parseOutcome(nest("(", "1", ")", 5000));
    EXPECT_EQ(outcome.message, "invalid syntax: nesting too deep");
    EXPECT_EQ(outcome.column, kMaxNestingDepth);
    // Text after the refused construct does not matter.
    EXPECT_EQ(parseOutcome(nest("(", "1", ")", kMaxNestingDepth - 2)).message, "no error");
}

TEST(FrontendLimitsTest, NestingBelowTheBoundParses) {
    const int depth = kMaxNestingDepth - 10;
    EXPECT_EQ(parseOutcome(nest("(", "1", ")", depth)).message, "no error");
    EXPECT_EQ(parseOutcome(nest("{", "x", "}", depth)).message, "no error");
    EXPECT_EQ(parseOutcome("x = " + nest("[", "1", "]", depth)).message, "no error");
    EXPECT_EQ(parseOutcome(repeat("!", depth) + "x").message, "no error");
    EXPECT_EQ(parseOutcome("x = 1" + repeat(" + 1", depth)).message, "no error");
    // Long lists are flat, not deep: many statements and many items are fine.
    EXPECT_EQ(parseOutcome(repeat("x = 1;\n", 50000)).message, "no error");
    EXPECT_EQ(parseOutcome("f(" + repeat("1, ", 50000) + "1)").message, "no error");
    // A deep tree dumps and is destroyed without trouble.
    const NodeRef root = parseScript(ZelkScriptSource("deep", nest("(", "-x", ")", depth)));
    EXPECT_NE(root->dump(0).find("UNARY -"), std::string::npos);
}

TEST(FrontendLimitsTest, RangeExpansionIsCapped) {
    const Outcome huge = parseOutcome("x = [1..100000000]");
    EXPECT_EQ(huge.message, "invalid number range");
    EXPECT_EQ(huge.column, 6);
    // The cap counts all ranges of a parse together.
    EXPECT_EQ(parseOutcome("x = [1..600000]; y = [1..400001]").message, "invalid number range");
    // The span of the widest range does not overflow.
    EXPECT_EQ(parseOutcome("x = [-9223372036854775807 - 1..9223372036854775807]").message, "invalid number range");
    EXPECT_EQ(parseOutcome("x = [9223372036854775806..9223372036854775807]").message, "no error");

    const NodeRef root = parseScript(ZelkScriptSource("r", "x = [1..100000]"));
    auto *statements = dynamic_cast<ZelkScriptStatements *>(root.get());
    ASSERT_NE(statements, nullptr);
    auto *assignment = dynamic_cast<ZelkScriptAssignmentExpression *>(statements->statements[0].get());
    ASSERT_NE(assignment, nullptr);
    auto *vector = dynamic_cast<ZelkScriptCollectionInit *>(assignment->right.get());
    ASSERT_NE(vector, nullptr);
    ASSERT_EQ(vector->items.size(), 100000u);
    EXPECT_EQ(vector->items.back().key, "99999");
    EXPECT_EQ(dynamic_cast<ZelkScriptConstValue *>(vector->items.back().value.get())->text, "100000");
}

// The vector literal of "x = [...]" as items "key=text".
std::vector<std::string> vectorItems(const std::string &text) {
    const NodeRef root = parseScript(ZelkScriptSource("r", text));
    auto *statements = dynamic_cast<ZelkScriptStatements *>(root.get());
    auto *assignment = dynamic_cast<ZelkScriptAssignmentExpression *>(statements->statements[0].get());
    auto *vector = dynamic_cast<ZelkScriptCollectionInit *>(assignment->right.get());
    std::vector<std::string> items;
    for (const ZelkScriptItemInit &item : vector->items)
        items.push_back(item.key + "=" + dynamic_cast<ZelkScriptConstValue *>(item.value.get())->text);
    return items;
}

TEST(FrontendLimitsTest, CharacterRangesCompareBytesUnsigned) {
    const std::vector<std::string> upper = vectorItems(R"(x = ["a".."\xE4"])");
    ASSERT_EQ(upper.size(), 0xE4u - 'a' + 1);
    EXPECT_EQ(upper.front(), "0=a");
    EXPECT_EQ(upper.back(), "131=\xE4");
    EXPECT_EQ(vectorItems(R"(x = ["\xFE".."\xFF"])"), (std::vector<std::string>{"0=\xFE", "1=\xFF"}));
    const Outcome backwards = parseOutcome(R"(x = ["\xFF".."\x01"])");
    EXPECT_EQ(backwards.message, "invalid character range");
    EXPECT_EQ(backwards.column, 6);
}

TEST(FrontendLimitsTest, BracedHexEscapeSaturates) {
    // Read with wrapping 32-bit arithmetic these digits would give 0x41 ("A").
    EXPECT_EQ(parseOutcome(R"(x = "\x{10000000041}")").message, "invalid syntax: \\xHH too large");
    EXPECT_EQ(parseOutcome("x = \"\\x{" + std::string(10000, 'F') + "}\"").message, "invalid syntax: \\xHH too large");
    EXPECT_EQ(parseOutcome("x = \"\\x{" + std::string(10000, '0') + "41}\"").message, "no error");
}

TEST(FrontendLimitsTest, RangeBoundsMustBeConstant) {
    const std::string refused = "invalid syntax: constant number expression expected in number range";
    EXPECT_EQ(parseOutcome(R"(x = [1..eval("var k = 3; 3")])").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..f()]").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..-n]").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..n + 1]").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..a[0]]").message, refused);
    EXPECT_EQ(parseOutcome("x = [(k = 2)..3]").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..1.5 + 1]").message, refused);
    EXPECT_EQ(parseOutcome("x = [1..5 / 0]").message, "division by 0");

    const Outcome located = parseOutcome("x = [1..2 *\n  size]");
    EXPECT_EQ(located.message, refused);
    EXPECT_EQ(located.line, 2);
    EXPECT_EQ(located.column, 3);

    EXPECT_EQ(vectorItems("x = [-2..(1 + 1) * 1]"),
              (std::vector<std::string>{"0=-2", "1=-1", "2=0", "3=1", "4=2"}));
    EXPECT_EQ(vectorItems("x = [10 % 3..7 / 2, 2 - 5..-2]"),
              (std::vector<std::string>{"0=1", "1=2", "2=3", "3=-3", "4=-2"}));
    EXPECT_EQ(vectorItems("x = [\"0x2\"..+3]"), (std::vector<std::string>{"0=2", "1=3"}));
}

TEST(FrontendLimitsTest, InstalledEvaluatorDecidesRangeBounds) {
    class FixedEvaluator : public ZelkScriptConstantEvaluator {
    public:
        std::string evaluateConstant(const ZelkScriptExpressionBase &node) const override {
            if (dynamic_cast<const ZelkScriptFunctionCall *>(&node)) return "3";
            return getDefaultConstantEvaluator().evaluateConstant(node);
        }
    };
    static const FixedEvaluator evaluator;
    setConstantEvaluator(&evaluator);
    const std::vector<std::string> items = vectorItems("x = [1..maxlevel()]");
    setConstantEvaluator(nullptr);
    EXPECT_EQ(items, (std::vector<std::string>{"0=1", "1=2", "2=3"}));
    EXPECT_EQ(&getConstantEvaluator(), &getDefaultConstantEvaluator());
    // A plain variable is refused before any evaluator is asked.
    setConstantEvaluator(&evaluator);
    const Outcome variable = parseOutcome("x = [1..n]");
    setConstantEvaluator(nullptr);
    EXPECT_EQ(variable.message, "invalid syntax: constant number expression expected in number range");
}

TEST(FrontendLimitsTest, ParsersRunInParallel) {
    const std::string script = "function f(a) { return [1..20, \"a\"..\"e\"]; }\n" + repeat("x = f(1) + y.z[2];\n", 200);
    const std::string expected = parseScript(ZelkScriptSource("p", script))->dump(0);
    std::vector<std::thread> threads;
    std::vector<int> matches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t]() {
            for (int round = 0; round < 20; ++round)
                if (parseScript(ZelkScriptSource("p", script))->dump(0) == expected) ++matches[t];
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(matches, (std::vector<int>{20, 20, 20, 20}));
}

TEST(FrontendLimitsTest, NumberReadingHasNoOverflow) {
    int64_t value = 0;
    EXPECT_TRUE(valuebridge::readIntegerText("-9223372036854775808", value));
    EXPECT_EQ(value, INT64_MIN);
    EXPECT_FALSE(valuebridge::readIntegerText("9223372036854775808", value));
    EXPECT_TRUE(valuebridge::readIntegerText(" 15e-1 ", value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(valuebridge::readIntegerText("0e99999999999999999999", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(valuebridge::readIntegerText("7e-99999999999999999999", value));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(valuebridge::readIntegerText("1e99999999999999999999", value));
    EXPECT_FALSE(valuebridge::convertTextToInteger("1e30", value));
    EXPECT_FALSE(valuebridge::convertTextToInteger("nan", value));
    EXPECT_TRUE(valuebridge::convertTextToInteger("-2.9", value));
    EXPECT_EQ(value, -2);
    EXPECT_TRUE(valuebridge::convertTextToInteger("0x1f", value));
    EXPECT_EQ(value, 31);
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("007"), "7");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("1e3"), "1000");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("2.50"), "2.5");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("5."), "5");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("3.0"), "3");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("-3.0"), "-3.0");
    EXPECT_EQ(valuebridge::makeCanonicalNumberText("1.5e-3"), "0.0015");
    EXPECT_EQ(valuebridge::formatDouble(1234567), "1.23457e+006");
    EXPECT_EQ(valuebridge::formatDouble(1e-7), "1e-007");
    // A 10,000-digit number is a number token like any other.
    EXPECT_EQ(parseOutcome("x = " + std::string(10000, '9') + ";").message, "no error");
}

} // namespace
} // namespace zelkscript
