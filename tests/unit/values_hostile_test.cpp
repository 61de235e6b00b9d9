// Faults the values layer guards against: the smallest long, doubles that do
// not fit a long, containers that contain themselves or nest without end,
// hostile number texts and NUL bytes, absurd vector indexes. Each of these
// crashed, hung or was undefined in the straightforward implementation.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

ObjectRef text(std::string value) { return makeStringObject(std::move(value)); }

constexpr int64_t kMinLong = std::numeric_limits<int64_t>::min();
constexpr int64_t kMaxLong = std::numeric_limits<int64_t>::max();

} // namespace

TEST(ValuesMended, EveryLongRoundTripsThroughItsText) {
    int64_t value = 0;
    ASSERT_TRUE(parseIntegerText("-9223372036854775808", value));
    EXPECT_EQ(value, kMinLong);
    EXPECT_FALSE(isIntegerText("-922337203685477580.8e1"));
    ASSERT_TRUE(parseIntegerText("-922337203685477580e1", value));
    EXPECT_EQ(value, -9223372036854775800);
    EXPECT_FALSE(isIntegerText("-9223372036854775809"));
    EXPECT_FALSE(isIntegerText("+9223372036854775808"));

    for (int64_t number : {kMinLong, kMinLong + 1, int64_t{-1}, int64_t{0}, kMaxLong}) {
        ObjectRef fromText = text(formatLong(number));
        EXPECT_TRUE(fromText->islong()) << number;
        std::string error;
        int64_t back = 0;
        ASSERT_TRUE(convertToInteger(fromText.get(), back, error)) << number;
        EXPECT_EQ(back, number);
        EXPECT_STREQ(getScriptTypeName(fromText), "long");
        NumberView view;
        ASSERT_TRUE(fromText->readNumber(view));
        ASSERT_TRUE(view.integerText(back));
        EXPECT_EQ(back, number);
    }
}

TEST(ValuesMended, DoublesOutsideTheLongRangeStayDoubles) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char *> cases[] = {
        {std::nan(""), "nan"}, {inf, "inf"}, {-inf, "-inf"},
        {9223372036854775808.0, "9.22337e+018"}, {-1e19, "-1e+019"}, {1e300, "1e+300"},
    };
    for (const auto &[value, expected] : cases) {
        ObjectRef result = makeNumberResult(value);
        EXPECT_EQ(result->gettext(), expected);
        EXPECT_EQ(result->getvaluekind(), ValueKindDouble) << expected;
    }
    ObjectRef smallest = makeNumberResult(-9223372036854775808.0);
    EXPECT_EQ(smallest->getvaluekind(), ValueKindLong);
    EXPECT_EQ(smallest->gettext(), "-9223372036854775808");
}

TEST(ValuesMended, OutOfRangeDoublesAreNoIntegers) {
    std::string error;
    int64_t value = 0;
    for (const ObjectRef &operand : {text("1e30"), text("-1e19"), text("9223372036854775808.5"),
                                     makeDoubleObject(1e30), makeDoubleObject(std::nan("")),
                                     makeDoubleObject(-std::numeric_limits<double>::infinity())}) {
        EXPECT_FALSE(convertToInteger(operand.get(), value, error)) << operand->gettext();
        EXPECT_EQ(error, "integer value expected");
    }
    ObjectRef result;
    EXPECT_FALSE(castValue("int", text("1e30"), result, error));
    EXPECT_EQ(error, "integer value expected");
    // Just inside the range still truncates.
    ASSERT_TRUE(convertToInteger(text("-9223372036854775808.0").get(), value, error));
    EXPECT_EQ(value, kMinLong);
}

TEST(ValuesMended, ContainersThatContainThemselvesPrintAndFailCleanly) {
    std::string error;
    ObjectRef structure = makeStructureObject();
    ObjectRef place;
    ASSERT_TRUE(structure->accessstructuremember("a", place, error));
    ASSERT_TRUE(place->setstring("1", error));
    ASSERT_TRUE(structure->accessstructuremember("me", place, error));
    ASSERT_TRUE(place->assignreference(structure, error));  // s.me =& s
    ASSERT_TRUE(structure->accessstructuremember("me2", place, error));
    ASSERT_TRUE(place->assignreference(structure, error));

    EXPECT_EQ(structure->gettext(), "{a: 1, me: ..., me2: ...}");
    EXPECT_EQ(structure->getquotedtext(), "{a: 1, me: ..., me2: ...}");
    EXPECT_FALSE(structure->istrue());
    EXPECT_NE(structure->dump().find("FIELDS(3)= a me me2"), std::string::npos);

    ObjectRef copy;
    EXPECT_FALSE(copyValue(structure, copy, error));
    EXPECT_EQ(error, "value contains itself");
    EXPECT_FALSE(structure->clone(copy, error));
    EXPECT_EQ(error, "value contains itself");
    ObjectRef target = text("unchanged");
    EXPECT_FALSE(target->assignvalue(structure, error));
    EXPECT_EQ(target->gettext(), "unchanged");
    EXPECT_FALSE(castValue("structure", structure, copy, error));
    EXPECT_EQ(error, "value contains itself");

    // A vector and a structure holding each other.
    ObjectRef vector = makeVectorObject();
    ASSERT_TRUE(vector->pushvectorelement(structure, true, error));
    ASSERT_TRUE(structure->accessstructuremember("v", place, error));
    ASSERT_TRUE(place->assignreference(vector, error));
    EXPECT_EQ(vector->gettext(), "[{a: 1, me: ..., me2: ..., v: ...}]");
    EXPECT_FALSE(copyValue(vector, copy, error));
    EXPECT_EQ(error, "value contains itself");

    // Break the cycles so the test does not leak.
    ASSERT_TRUE(structure->removestructuremember("me", error));
    ASSERT_TRUE(structure->removestructuremember("me2", error));
    ASSERT_TRUE(structure->removestructuremember("v", error));
}

TEST(ValuesMended, SharedButAcyclicValuesAreWrittenInFull) {
    std::string error;
    ObjectRef shared = makeVectorObject();
    ASSERT_TRUE(shared->pushvectorelement(text("x"), false, error));
    ObjectRef outer = makeVectorObject();
    ASSERT_TRUE(outer->pushvectorelement(shared, true, error));
    ASSERT_TRUE(outer->pushvectorelement(shared, true, error));
    EXPECT_EQ(outer->gettext(), "[['x'],['x']]");
    ObjectRef copy;
    ASSERT_TRUE(copyValue(outer, copy, error));
    EXPECT_EQ(copy->gettext(), "[['x'],['x']]");
}

TEST(ValuesMended, DeepNestingIsBoundedAndReleasedWithoutRecursion) {
    std::string error;
    ObjectRef root = makeVectorObject();
    ObjectRef current = root;
    constexpr int kDepth = 200000;
    for (int level = 0; level < kDepth; ++level) {
        ObjectRef next;
        ASSERT_TRUE(current->accessvectorelement(0, next, error));
        ASSERT_TRUE(next->assignvalue(makeVectorObject(), error));
        current = next;
    }
    const std::string rendered = root->gettext();
    EXPECT_EQ(rendered.size(), 2 * kMaxContainerNesting + 3u);
    EXPECT_NE(rendered.find("[...]"), std::string::npos);
    ObjectRef copy;
    EXPECT_FALSE(copyValue(root, copy, error));
    EXPECT_EQ(error, "value is nested too deeply");
    EXPECT_FALSE(root->clone(copy, error));
    EXPECT_EQ(error, "value is nested too deeply");
    // A structure chain released through clear() and through destruction.
    current.reset();
    root->clear();
    EXPECT_TRUE(root->isnull());

    ObjectRef structure = makeStructureObject();
    current = structure;
    for (int level = 0; level < kDepth; ++level) {
        ObjectRef next;
        ASSERT_TRUE(current->accessstructuremember("next", next, error));
        ASSERT_TRUE(next->assignvalue(makeStructureObject(), error));
        current = next;
    }
    current.reset();
    structure.reset();  // must not overflow the stack
    SUCCEED();
}

TEST(ValuesMended, NestingWithinTheLimitStillCopies) {
    std::string error;
    ObjectRef root = makeVectorObject();
    ObjectRef current = root;
    for (int level = 1; level < kMaxContainerNesting; ++level) {
        ObjectRef next;
        ASSERT_TRUE(current->accessvectorelement(0, next, error));
        ASSERT_TRUE(next->assignvalue(makeVectorObject(), error));
        current = next;
    }
    ObjectRef copy;
    ASSERT_TRUE(copyValue(root, copy, error)) << error;
    EXPECT_EQ(copy->gettext().find("..."), std::string::npos);
    EXPECT_EQ(copy->gettext(), root->gettext());
}

TEST(ValuesMended, HostileNumberTextsAreReadInBoundedTime) {
    const auto start = std::chrono::steady_clock::now();
    const std::string nines(10000, '9');
    const std::string paddedOne = std::string(10000, '0') + "1";
    const std::string longFraction = "0." + std::string(10000, '0') + "1";
    const std::string longExponent = "1e" + std::string(10000, '9');

    EXPECT_FALSE(isIntegerText(nines));
    double number = 0;
    ASSERT_TRUE(parseFloatText(nines, number));
    EXPECT_TRUE(std::isinf(number));
    int64_t value = 0;
    ASSERT_TRUE(parseIntegerText(paddedOne, value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(parseFloatText(longFraction, number));
    EXPECT_EQ(number, 0.0);
    EXPECT_FALSE(isIntegerText(longExponent));
    ASSERT_TRUE(parseFloatText(longExponent, number));
    EXPECT_TRUE(std::isinf(number));
    ASSERT_TRUE(parseFloatText("-1e-999999999", number));
    EXPECT_EQ(number, 0.0);

    EXPECT_FALSE(isIntegerText("1e999999999"));
    ASSERT_TRUE(parseIntegerText("0e999999999999999999999999", value));
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(parseIntegerText("5e-99999999999999999999", value));
    EXPECT_EQ(value, 0);
    bool flag = true;
    ASSERT_TRUE(parseBooleanText("0e999999999", flag));
    EXPECT_FALSE(flag);
    EXPECT_FALSE(parseBooleanText("1e999999999", flag));

    // Whole-value paths over the same texts.
    std::string error;
    for (const std::string &hostile : {nines, paddedOne, longFraction, longExponent, std::string("1e999999999"),
                                       std::string("1.0e999999999")}) {
        ObjectRef operand = text(hostile);
        operand->isnumber();
        operand->istrue();
        convertToInteger(operand.get(), value, error);
        convertToDouble(operand.get(), number, error);
        operand->normalizenumbertext();
        operand->getquotedtext();
    }
    ObjectRef overflow = text("1e999999999");
    overflow->normalizenumbertext();
    EXPECT_EQ(overflow->gettext(), "inf");
    EXPECT_FALSE(overflow->isnumber());
    EXPECT_FALSE(convertToDouble(overflow.get(), number, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ValuesMended, NulBytesAreOrdinaryBytes) {
    const std::string withNul("12\0 3", 5);
    EXPECT_FALSE(isIntegerText(withNul));
    double number = 0;
    EXPECT_FALSE(parseFloatText(withNul, number));
    bool flag = false;
    EXPECT_FALSE(parseBooleanText(std::string("yes\0", 4), flag));
    ObjectRef value = text(withNul);
    EXPECT_FALSE(value->isnumber());
    EXPECT_EQ(value->gettext(), withNul);
    EXPECT_EQ(value->getquotedtext(), "'12\\0 3'");
    ObjectRef structure = makeStructureObject();
    std::string error;
    ASSERT_TRUE(structure->insertstructuremember(std::string("a\0b", 3), value, error));
    EXPECT_EQ(structure->gettext(), "{'a\\0b': '12\\0 3'}");
    ObjectRef copy;
    ASSERT_TRUE(copyValue(structure, copy, error));
    EXPECT_EQ(copy->gettext(), structure->gettext());
}

TEST(ValuesMended, AbsurdVectorIndexesFailInsteadOfExhaustingMemory) {
    ObjectRef vector = makeVectorObject();
    ObjectRef element;
    std::string error;
    EXPECT_FALSE(vector->accessvectorelement(1000000000000, element, error));
    EXPECT_EQ(error, "vector index too large");
    EXPECT_FALSE(vector->insertvectorelement(kMaxLong, text("x"), error));
    EXPECT_EQ(error, "vector index too large");
    int64_t size = -1;
    ASSERT_TRUE(vector->vectorsize(size, error));
    EXPECT_EQ(size, 0);
    ASSERT_TRUE(vector->removevectorelement(kMinLong, kMaxLong, error));
    ASSERT_TRUE(vector->getvectorelement(kMinLong, element, error));
    EXPECT_FALSE(element);
}
