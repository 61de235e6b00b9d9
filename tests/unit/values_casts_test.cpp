// Truthiness, the value conversions with their messages, number results and
// the cast algorithms.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

ObjectRef text(const char *value) { return makeStringObject(value); }

ObjectRef vectorOf(std::initializer_list<ObjectRef> elements) {
    ObjectRef vector = makeVectorObject();
    std::string error;
    for (const ObjectRef &element : elements) EXPECT_TRUE(vector->pushvectorelement(element, false, error));
    return vector;
}

ObjectRef cast(const char *name, const ObjectRef &operand) {
    ObjectRef result;
    std::string error;
    EXPECT_TRUE(castValue(name, operand, result, error)) << name << ": " << error;
    return result;
}

std::string castError(const char *name, const ObjectRef &operand) {
    ObjectRef result;
    std::string error;
    EXPECT_FALSE(castValue(name, operand, result, error)) << name;
    return error;
}

} // namespace

TEST(ValuesTruthiness, ConditionsReadTheTextLeniently) {
    EXPECT_TRUE(text("1")->istrue());
    EXPECT_TRUE(text("2")->istrue());
    EXPECT_TRUE(text(" yes ")->istrue());
    EXPECT_FALSE(text("false")->istrue());
    EXPECT_FALSE(text("x")->istrue());
    EXPECT_FALSE(text("")->istrue());
    EXPECT_FALSE(text("1.5")->istrue());  // the integer reading stops at "."
    EXPECT_FALSE(text("-1")->istrue());
    EXPECT_FALSE(makeVectorObject()->istrue());
    EXPECT_FALSE(vectorOf({text("1")})->istrue());
    EXPECT_FALSE(makeStructureObject()->istrue());
    EXPECT_FALSE(makeUndefinedObject()->istrue());
    EXPECT_TRUE(makeLongObject(7)->istrue());
    EXPECT_FALSE(makeLongObject(-7)->istrue());
    EXPECT_FALSE(makeDoubleObject(2.5)->istrue());
    EXPECT_TRUE(makeDoubleObject(1e7)->istrue());  // "1e+007" reads as 10000000
    EXPECT_TRUE(makeBoolObject(true)->istrue());
    EXPECT_EQ(makeBoolObject(false)->gettext(), "0");
}

TEST(ValuesConversions, ToInteger) {
    std::string error;
    int64_t value = 0;
    const std::pair<const char *, int64_t> accepted[] = {
        {" 42 ", 42}, {"0x1f", 31}, {"0XFF", 255}, {"2.9", 2}, {"-2.9", -2}, {"1e3", 1000},
        {"007", 7},   {"5.", 5},    {"0xFFFFFFFFFFFFFFFF", -1}, {"123456789e-2", 1234570},
    };
    for (const auto &[input, expected] : accepted) {
        ASSERT_TRUE(convertToInteger(text(input).get(), value, error)) << input;
        EXPECT_EQ(value, expected) << input;
    }
    for (const char *input : {"abc", "", "0x", "0xg1", "1.5.1"}) {
        EXPECT_FALSE(convertToInteger(text(input).get(), value, error)) << input;
        EXPECT_EQ(error, "integer value expected");
    }
    EXPECT_FALSE(convertToInteger(nullptr, value, error));
    EXPECT_FALSE(convertToInteger(makeUndefinedObject().get(), value, error));
    EXPECT_FALSE(convertToInteger(makeVectorObject().get(), value, error));
    EXPECT_EQ(error, "integer value expected");
}

TEST(ValuesConversions, ToIntegerWithinBounds) {
    std::string error;
    int64_t value = 9;
    ASSERT_TRUE(convertToIntegerInRange(text("255").get(), 0, 255, value, error));
    EXPECT_EQ(value, 255);
    EXPECT_FALSE(convertToIntegerInRange(text("256").get(), 0, 255, value, error));
    EXPECT_EQ(error, "value out of range 0-255");
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(convertToIntegerInRange(text("-3").get(), -2, 2, value, error));
    EXPECT_EQ(error, "value out of range -2-2");
    value = 9;
    EXPECT_FALSE(convertToIntegerInRange(text("x").get(), 0, 1, value, error));
    EXPECT_EQ(error, "integer value expected");
    EXPECT_EQ(value, 0);
}

TEST(ValuesConversions, ToDoubleAndBoolean) {
    std::string error;
    double number = 0;
    ASSERT_TRUE(convertToDouble(text("+30.75").get(), number, error));
    EXPECT_EQ(number, 30.75);
    ASSERT_TRUE(convertToDouble(text("30").get(), number, error));
    EXPECT_EQ(number, 30.0);
    EXPECT_FALSE(convertToDouble(text("30x").get(), number, error));
    EXPECT_EQ(error, "double value expected");
    EXPECT_FALSE(convertToDouble(makeStructureObject().get(), number, error));

    bool flag = false;
    for (const char *input : {"yes", "Ja", " TRUE ", "2", "17"}) {
        ASSERT_TRUE(convertToBoolean(text(input).get(), flag, error)) << input;
        EXPECT_TRUE(flag) << input;
    }
    for (const char *input : {"no", "NEIN", "0", "0.0", "false"}) {
        ASSERT_TRUE(convertToBoolean(text(input).get(), flag, error)) << input;
        EXPECT_FALSE(flag) << input;
    }
    for (const char *input : {"maybe", "", "1.5"}) {
        EXPECT_FALSE(convertToBoolean(text(input).get(), flag, error)) << input;
        EXPECT_EQ(error, "boolean value expected");
    }
}

TEST(ValuesConversions, ToStringAndVariables) {
    std::string error;
    std::string result;
    ASSERT_TRUE(convertToString(vectorOf({text("a")}).get(), result, error));
    EXPECT_EQ(result, "['a']");
    ASSERT_TRUE(convertToString(makeUndefinedObject().get(), result, error));
    EXPECT_EQ(result, "");
    EXPECT_FALSE(convertToString(nullptr, result, error));
    EXPECT_EQ(error, "string expected");

    EXPECT_TRUE(requireVectorVariable(makeVectorObject().get(), error));
    EXPECT_FALSE(requireVectorVariable(text("x").get(), error));
    EXPECT_EQ(error, "vector variable expected");
    EXPECT_TRUE(requireStructureVariable(makeStructureObject().get(), error));
    EXPECT_FALSE(requireStructureVariable(nullptr, error));
    EXPECT_EQ(error, "structure variable expected");
}

TEST(ValuesNumberResult, IntegralDoublesBecomeLongs) {
    ObjectRef two = makeNumberResult(2.0);
    EXPECT_EQ(two->gettext(), "2");
    EXPECT_EQ(two->getvaluekind(), ValueKindLong);
    ObjectRef third = makeNumberResult(1.0 / 3);
    EXPECT_EQ(third->gettext(), "0.333333");
    EXPECT_EQ(third->getvaluekind(), ValueKindDouble);
    // The observable value of a double is the value of its text.
    double number = 0;
    std::string error;
    ASSERT_TRUE(convertToDouble(third.get(), number, error));
    EXPECT_EQ(number, 0.333333);
    ObjectRef big = makeNumberResult(1e30);
    EXPECT_EQ(big->gettext(), "1e+030");
    EXPECT_EQ(big->getvaluekind(), ValueKindDouble);
}

TEST(ValuesCasts, ScalarCasts) {
    ObjectRef asInt = cast("int", text("3.7"));
    EXPECT_EQ(asInt->gettext(), "3");
    EXPECT_STREQ(getScriptTypeName(asInt), "long");
    EXPECT_EQ(cast("long", text("-3.7"))->gettext(), "-3");

    ObjectRef asDouble = cast("double", text("3"));
    EXPECT_EQ(asDouble->gettext(), "3");
    EXPECT_STREQ(getScriptTypeName(asDouble), "double");
    EXPECT_EQ(cast("float", text("0.5"))->gettext(), "0.5");

    ObjectRef asString = cast("string", makeLongObject(12));
    EXPECT_EQ(asString->gettext(), "12");
    EXPECT_STREQ(getScriptTypeName(asString), "string");
    EXPECT_EQ(cast("string", vectorOf({text("a")}))->gettext(), "['a']");

    EXPECT_EQ(castError("int", text("abc")), "integer value expected");
    EXPECT_EQ(castError("double", text("abc")), "double value expected");
    EXPECT_EQ(castError("int", ObjectRef()), "number required");
    EXPECT_EQ(castError("string", ObjectRef()), "number required");
}

TEST(ValuesCasts, VectorToStructureSharesElements) {
    ObjectRef first = text("a");
    ObjectRef vector = makeVectorObject();
    std::string error;
    ASSERT_TRUE(vector->pushvectorelement(first, true, error));
    ASSERT_TRUE(vector->pushvectorelement(text("b"), false, error));
    ObjectRef structure = cast("structure", vector);
    EXPECT_EQ(structure->gettext(), "{0: 'a', 1: 'b'}");
    ObjectRef element, member;
    ASSERT_TRUE(vector->getvectorelement(0, element, error));
    ASSERT_TRUE(structure->getstructuremember("0", member, error));
    EXPECT_EQ(element.get(), member.get());

    EXPECT_EQ(castError("structure", ObjectRef()), "number required");
    ObjectRef converted;
    ASSERT_TRUE(convertToStructure(ObjectRef(), converted, error));
    EXPECT_EQ(converted->gettext(), "{}");
    EXPECT_EQ(cast("structure", makeUndefinedObject())->gettext(), "{}");
    EXPECT_EQ(castError("structure", text("x")), "cannot cast value to structure");
}

TEST(ValuesCasts, StructureToVector) {
    std::string error;
    ObjectRef byIndex = makeStructureObject();
    ASSERT_TRUE(byIndex->insertstructuremember("1", text("one"), error));
    ASSERT_TRUE(byIndex->insertstructuremember("0", text("zero"), error));
    EXPECT_EQ(cast("vector", byIndex)->gettext(), "['zero','one']");

    ObjectRef named = makeStructureObject();
    ASSERT_TRUE(named->insertstructuremember("x", text("1"), error));
    ASSERT_TRUE(named->insertstructuremember("0", text("2"), error));
    EXPECT_EQ(cast("vector", named)->gettext(), "[{0: 2},{x: 1}]");

    ObjectRef gap = makeStructureObject();  // two names for index 0: index 1 stays null
    ASSERT_TRUE(gap->insertstructuremember("0", text("a"), error));
    ASSERT_TRUE(gap->insertstructuremember("00", text("b"), error));
    EXPECT_EQ(cast("vector", gap)->gettext(), "['b',]");

    ObjectRef vector = vectorOf({text("1")});
    ObjectRef copy = cast("vector", vector);
    EXPECT_NE(copy->handler(), vector->handler());
    EXPECT_EQ(cast("vector", makeUndefinedObject())->gettext(), "[]");
    ObjectRef converted;
    ASSERT_TRUE(convertToVector(ObjectRef(), converted, error));
    EXPECT_EQ(converted->gettext(), "[]");
    EXPECT_EQ(castError("vector", text("x")), "cannot cast value to vector");
}

TEST(ValuesNormalize, OnlyUntypedTextsAreRewritten) {
    ObjectRef untyped = text("007");
    untyped->normalizenumbertext();
    EXPECT_EQ(untyped->gettext(), "7");
    ObjectRef zero = text("0.0");
    zero->normalizenumbertext();
    EXPECT_EQ(zero->gettext(), "0");
    ObjectRef typed = makeStringObject("007", ValueKindString);
    typed->normalizenumbertext();
    EXPECT_EQ(typed->gettext(), "007");
    ObjectRef words = text("abc");
    words->normalizenumbertext();
    EXPECT_EQ(words->gettext(), "abc");
}

TEST(ValuesLiterals, KnownFactsSkipTheScanButAnswerTheSame) {
    const NumberFacts facts = analyzeNumberText("1.50");
    ObjectRef literal = makeStringObject("1.50", ValueKindNone, facts);
    EXPECT_TRUE(literal->isdouble());
    double number = 0;
    std::string error;
    ASSERT_TRUE(convertToDouble(literal.get(), number, error));
    EXPECT_EQ(number, 1.5);
    literal->normalizenumbertext();
    EXPECT_EQ(literal->gettext(), "1.5");
    ASSERT_TRUE(literal->setstring("abc", error));  // a new text drops the known facts
    EXPECT_FALSE(literal->isnumber());
}
