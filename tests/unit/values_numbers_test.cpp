// Recognizers, number formatting, canonical number text, and the agreement of
// the cached number facts with the plain text algorithms.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

int64_t readInteger(std::string_view text) {
    int64_t value = -777;
    EXPECT_TRUE(parseIntegerText(text, value)) << text;
    return value;
}

double readFloat(std::string_view text) {
    double value = -777;
    EXPECT_TRUE(parseFloatText(text, value)) << text;
    return value;
}

} // namespace

TEST(ValuesRecognizers, IntegerTextAcceptsSignsBlanksAndExponents) {
    EXPECT_EQ(readInteger("12"), 12);
    EXPECT_EQ(readInteger("  -3  "), -3);
    EXPECT_EQ(readInteger("- 3"), -3);
    EXPECT_EQ(readInteger("+7"), 7);
    EXPECT_EQ(readInteger("1e3"), 1000);
    EXPECT_EQ(readInteger("15e-1"), 1);
    EXPECT_EQ(readInteger("-15E-1"), -1);
    EXPECT_EQ(readInteger("1e-007"), 0);
    EXPECT_EQ(readInteger("007"), 7);
    for (const char *text : {"", " ", "1.5", "0x1F", "12abc", "1e", "1e+", "--1", "+", "1 2", "e5"}) {
        EXPECT_FALSE(isIntegerText(text)) << text;
    }
}

TEST(ValuesRecognizers, IntegerTextBoundariesAreExact) {
    EXPECT_EQ(readInteger("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_FALSE(isIntegerText("9223372036854775808"));
    EXPECT_FALSE(isIntegerText("922337203685477581e1"));
    EXPECT_EQ(readInteger("922337203685477580e1"), 9223372036854775800);
}

TEST(ValuesRecognizers, FloatTextNeedsOneDigitAndAWholeExponent) {
    EXPECT_DOUBLE_EQ(readFloat("5."), 5.0);
    EXPECT_DOUBLE_EQ(readFloat(".5"), 0.5);
    EXPECT_DOUBLE_EQ(readFloat(" - 2.5e1 "), -25.0);
    EXPECT_DOUBLE_EQ(readFloat("+30.75"), 30.75);
    double value = 0;
    for (const char *text : {"", ".", "-.", "1e", "1.5e-", "1.2.3", "abc", "0x10", "inf", "nan", "1,5"}) {
        EXPECT_FALSE(parseFloatText(text, value)) << text;
    }
    EXPECT_FALSE(parseUnsignedFloatText("-1.5", value));
    EXPECT_FALSE(parseUnsignedFloatText("+1.5", value));
    EXPECT_TRUE(parseUnsignedFloatText(" 1.5 ", value));
    EXPECT_TRUE(isDottedFloatText("1.5"));
    EXPECT_FALSE(isDottedFloatText("15"));
    EXPECT_FALSE(isDottedFloatText("1.5.1"));
}

TEST(ValuesRecognizers, HexTextIsDigitsOnlyAndWraps) {
    uint64_t value = 0;
    EXPECT_TRUE(parseHexText("1f", value));
    EXPECT_EQ(value, 31u);
    EXPECT_TRUE(parseHexText("1FFFFFFFFFFFFFFFF", value));  // 17 digits: the top one falls off
    EXPECT_EQ(value, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_FALSE(parseHexText("", value));
    EXPECT_FALSE(parseHexText(" 1f", value));
    EXPECT_FALSE(parseHexText("1g", value));
}

TEST(ValuesRecognizers, BooleanWords) {
    struct Case {
        const char *text;
        bool recognised;
        bool value;
    };
    const Case cases[] = {
        {"0", true, false},     {"1", true, true},      {" yes ", true, true},  {"Ja", true, true},
        {"TRUE", true, true},   {"tRuE", true, true},   {"no", true, false},    {"NEIN", true, false},
        {"False", true, false}, {"17", true, true},     {"00", true, false},    {"2e3", true, true},
        {"5e-1", true, false},  {"maybe", false, false}, {"", false, false},    {"  ", false, false},
        {"-1", false, false},   {"1.5", false, false},  {"yes!", false, false}, {"yes\xE4", false, false},
    };
    for (const Case &c : cases) {
        bool value = !c.value;
        EXPECT_EQ(parseBooleanText(c.text, value), c.recognised) << c.text;
        if (c.recognised) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    // The word ends at a byte of 128 or above; reading stops there.
    bool value = false;
    size_t end = 0;
    ASSERT_TRUE(parseBooleanWord("yes\xE4", value, end));
    EXPECT_EQ(end, 3u);
    // A run longer than 19 bytes is no word, even if it begins like one.
    EXPECT_FALSE(parseBooleanText("yesyesyesyesyesyesyes", value));
}

TEST(ValuesFormatting, LongTextIsPlainDecimal) {
    EXPECT_EQ(formatLong(0), "0");
    EXPECT_EQ(formatLong(-42), "-42");
    EXPECT_EQ(formatLong(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(ValuesFormatting, DoubleTextHasPrecisionSixAndThreeExponentDigits) {
    EXPECT_EQ(formatDouble(1.0 / 3.0), "0.333333");
    EXPECT_EQ(formatDouble(1234567), "1.23457e+006");
    EXPECT_EQ(formatDouble(0.0001), "0.0001");
    EXPECT_EQ(formatDouble(0.00001), "1e-005");
    EXPECT_EQ(formatDouble(1e-7), "1e-007");
    EXPECT_EQ(formatDouble(123456), "123456");
    EXPECT_EQ(formatDouble(999999.5), "1e+006");
    EXPECT_EQ(formatDouble(1e100), "1e+100");
    EXPECT_EQ(formatDouble(-2.5e-300), "-2.5e-300");
    EXPECT_EQ(formatDouble(2.5), "2.5");
    EXPECT_EQ(formatDouble(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(formatDouble(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(formatDouble(std::nan("")), "nan");
    EXPECT_EQ(formatDouble(-std::nan("")), "nan");
}

TEST(ValuesFormatting, RoundingGivesTheValueOfTheText) {
    EXPECT_EQ(roundDoubleToText(1.0 / 3.0), 0.333333);
    EXPECT_EQ(roundDoubleToText(1234567.0), 1234570.0);
    EXPECT_EQ(roundDoubleToText(2.0000001), 2.0);
    EXPECT_TRUE(std::isinf(roundDoubleToText(std::numeric_limits<double>::infinity())));
}

TEST(ValuesCanonical, DesignedExamples) {
    const std::pair<const char *, const char *> cases[] = {
        {"007", "7"},        {"1e3", "1000"},   {"2.50", "2.5"},       {"5.", "5"},         {"3.0", "3"},
        {"0.0", "0"},        {"-3.0", "-3.0"},  {"-007", "-007"},      {"0.5", "0.5"},      {"1.500", "1.5"},
        {"12.0500", "12.05"}, {"1.5e-3", "0.0015"}, {"-1.5e-3", "-1.5e-3"}, {"1e-007", "1e-007"}, {"abc", "abc"},
        {"", ""},            {"00.5", "0.5"},   {"1.5E3", "1500"},     {"0x1f", "0x1f"},    {" 007", " 007"},
    };
    for (const auto &[input, expected] : cases) EXPECT_EQ(canonicalNumberText(input), expected) << input;
}

TEST(ValuesCanonical, TrailingZerosOfAnExponentAreDigits) {
    // Stripping them would turn 2.5e10 into 25.
    EXPECT_EQ(canonicalNumberText("2.5e10"), "2.5e+010");
    EXPECT_EQ(canonicalNumberText("-1.5e10"), "-1.5e10");
    double value = 0;
    ASSERT_TRUE(textToDouble("2.5e10", value));
    EXPECT_EQ(value, 2.5e10);
    ASSERT_TRUE(textToDouble("-1.5e10", value));
    EXPECT_EQ(value, -1.5e10);
}

TEST(ValuesCanonical, IntegralValuesBeyondTheLongRangeKeepTheirDigits) {
    EXPECT_EQ(canonicalNumberText("100000000000000000000.0"), "100000000000000000000.0");
    EXPECT_EQ(canonicalNumberText("4.0"), "4");
}

// The cached facts must be exactly what the text algorithms say, whichever way
// the value was made: that is what keeps the fast paths unobservable.
namespace {

void expectFactsMatchText(ZelkScriptObjectStringHandler &handler) {
    const NumberFacts cached = handler.facts();
    const std::string text = handler.text();
    const NumberFacts fresh = analyzeNumberText(text);
    EXPECT_EQ(cached.flags, fresh.flags) << text;
    if (fresh.has(NumberFacts::IntegerText)) {
        EXPECT_EQ(cached.integerTextValue, fresh.integerTextValue) << text;
    }
    if (fresh.has(NumberFacts::ToInteger)) {
        EXPECT_EQ(cached.integerValue, fresh.integerValue) << text;
    }
    if (fresh.has(NumberFacts::ToDouble)) {
        EXPECT_TRUE(cached.doubleValue == fresh.doubleValue ||
                    (std::isnan(cached.doubleValue) && std::isnan(fresh.doubleValue)))
            << text;
    }
    int64_t integer = 0;
    EXPECT_EQ(fresh.has(NumberFacts::ToInteger), textToInteger(text, integer)) << text;
    if (fresh.has(NumberFacts::ToInteger)) {
        EXPECT_EQ(fresh.integerValue, integer) << text;
    }
    // The double conversion straight from its definition: the canonical text
    // read as a floating-point text, bit for bit (negative zero included).
    double number = 0;
    EXPECT_EQ(fresh.has(NumberFacts::ToDouble), parseFloatText(canonicalNumberText(text), number)) << text;
    if (fresh.has(NumberFacts::ToDouble) && !std::isnan(number)) {
        EXPECT_EQ(std::signbit(cached.doubleValue), std::signbit(number)) << text;
        EXPECT_EQ(cached.doubleValue, number) << text;
    }
    bool boolean = false;
    EXPECT_EQ(fresh.has(NumberFacts::ToBoolean), textToBoolean(text, boolean)) << text;
    EXPECT_EQ(fresh.has(NumberFacts::Truthy), isTrueText(text)) << text;
    EXPECT_EQ(fresh.has(NumberFacts::Canonical), canonicalNumberText(text) == text) << text;
}

} // namespace

TEST(ValuesNumberFacts, NumberMadeValuesAgreeWithTheirTexts) {
    for (const char *text : {"-0", "0", "-0.0", "- 0", "0e5", "-0e5", "  12 ", "+7", "1e3", "-15e-1", "9007199254740993",
                             "0.25", "-0.5", "3.25", "1.05", "2.50", "0x1f", "yes", "abc", "", "1e999", "1.0e999"}) {
        Ref<ZelkScriptObjectStringHandler> handler = makeRef<ZelkScriptObjectStringHandler>(std::string(text));
        expectFactsMatchText(*handler);
    }
    std::vector<int64_t> longs = {0, 1, -1, 2, 9, 10, 255, -999999, 1000000, 123456789012345678,
                                  std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()};
    std::vector<double> doubles = {0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 1.0 / 3, 2.0000001, 999999.4, 999999.6,
                                   1e6, 1e-7, 5e-5, 1.05, -1.05, 0.05, 100.5, 1.5e10, -2.5e-300, 1e300,
                                   std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                   std::nan(""), std::numeric_limits<double>::denorm_min(), 9.3e18, -9.3e18};
    std::mt19937_64 random(12345);
    for (int i = 0; i < 2000; ++i) {
        longs.push_back(static_cast<int64_t>(random()) >> (random() % 64));
        const double magnitude = std::ldexp(static_cast<double>(random() % 1000000) / 1000.0, int(random() % 80) - 40);
        doubles.push_back(random() % 2 ? magnitude : -magnitude);
    }
    for (int64_t value : longs) {
        Ref<ZelkScriptObjectStringHandler> handler = ZelkScriptObjectStringHandler::makeLong(value);
        expectFactsMatchText(*handler);
        EXPECT_EQ(handler->text(), formatLong(value));
    }
    for (double value : doubles) {
        Ref<ZelkScriptObjectStringHandler> handler = ZelkScriptObjectStringHandler::makeDouble(value);
        expectFactsMatchText(*handler);
        EXPECT_EQ(handler->text(), formatDouble(value));
    }
}

namespace {

// The fast fixed-notation formatter must give exactly the text and value of
// the general path (precision-6 text, read back), or decline.
void expectShortFormatAgrees(double value, int &declined) {
    char fast[kNumberTextCapacity];
    double rounded = 0;
    const size_t length = formatShortDoubleTo(fast, value, rounded);
    if (length == 0) {
        ++declined;
        return;
    }
    char general[kNumberTextCapacity];
    const size_t generalLength = formatDoubleTo(general, value);
    ASSERT_EQ(std::string_view(fast, length), std::string_view(general, generalLength)) << value;
    double expected = 0;
    std::from_chars(general, general + generalLength, expected, std::chars_format::general);
    ASSERT_EQ(rounded, expected) << value;
}

} // namespace

TEST(ValuesFormatting, ShortDoubleFormatMatchesTheGeneralPath) {
    int declined = 0;
    // Values a script makes every day, and the edges of the fixed range.
    for (double value : {0.1, 0.25, 1.5, 2.675, 3.14159265, 99999.4, 99999.5, 99999.96, 0.001, 0.0009999999,
                         0.00099999996, 9.9999996, 9.99999949, 1.0000005, 123.4565, 0.12345650000000001, 1e5, 1e-3,
                         -0.5, -1234.5678, 300.0000001, 0.30000000000000004})
        expectShortFormatAgrees(value, declined);
    // Every result of small decimal arithmetic, as loops over money or
    // coordinates produce them.
    for (int i = -3000; i <= 3000; ++i)
        for (double step : {0.1, 0.25, 0.01, 0.3, 1.0 / 3.0})
            expectShortFormatAgrees(i * step + 0.5, declined);
    // Random values across the range and at scale boundaries.
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> exponent(-3.5, 5.2);
    for (int i = 0; i < 200000; ++i) {
        double value = std::pow(10.0, exponent(random));
        expectShortFormatAgrees((i & 1) ? -value : value, declined);
    }
    // Declining must stay rare, or the fast path buys nothing.
    EXPECT_LT(declined, 20000);
}
