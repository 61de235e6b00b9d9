// Recognizers, number formatting, canonical number text and the facts cache:
// the text-level half of conversions.h. Everything here works on string views
// and stack buffers; hostile texts (10,000 digits, exponents of a billion,
// NUL bytes) are read in one bounded pass.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/values/conversions.h"

namespace zelkscript {

namespace {

constexpr uint64_t kLongMaxMagnitude = uint64_t{1} << 63;  // |INT64_MIN|
// An exponent beyond this many decades overflows or zeroes any non-zero
// 64-bit magnitude; larger exponents are clamped to it while reading.
constexpr int64_t kExponentClamp = 1000000;

inline bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

inline size_t skipSpaces(std::string_view text, size_t i) {
    while (i < text.size() && isSpace(static_cast<unsigned char>(text[i]))) ++i;
    return i;
}

inline bool contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

// Reads digits and an optional exponent from position i as an unsigned
// magnitude no larger than limit. A positive exponent multiplies by ten (and
// fails as soon as the limit is passed), a negative one divides with
// truncation (and stops once the magnitude is zero), so a huge exponent costs
// no more than twenty steps. Fails without digits, on overflow, or on an
// exponent marker without digits. i is left after what was read.
bool readDecimalMagnitude(std::string_view text, size_t &i, uint64_t limit, uint64_t &magnitude) {
    const size_t n = text.size();
    if (i >= n || !isDigit(static_cast<unsigned char>(text[i]))) return false;
    uint64_t value = 0;
    while (i < n && isDigit(static_cast<unsigned char>(text[i]))) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
        ++i;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i >= n || !isDigit(static_cast<unsigned char>(text[i]))) return false;
        int64_t exponent = 0;
        while (i < n && isDigit(static_cast<unsigned char>(text[i]))) {
            if (exponent < kExponentClamp) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (negativeExponent) {
            for (int64_t k = 0; k < exponent && value != 0; ++k) value /= 10;
        } else {
            for (int64_t k = 0; k < exponent && value != 0; ++k) {
                if (value > limit / 10) return false;
                value *= 10;
            }
        }
    }
    magnitude = value;
    return true;
}

// The decimal exponent of the leading significant digit of a validated
// floating-point span, saturated; used only to tell overflow from underflow.
int64_t estimateDecimalMagnitude(std::string_view span) {
    size_t i = 0;
    const size_t n = span.size();
    int64_t integerDigits = 0;
    bool seenNonZero = false;
    while (i < n && isDigit(static_cast<unsigned char>(span[i]))) {
        if (span[i] != '0') seenNonZero = true;
        if (seenNonZero && integerDigits < kExponentClamp) ++integerDigits;
        ++i;
    }
    int64_t position = integerDigits - 1;
    if (i < n && span[i] == '.') {
        ++i;
        if (!seenNonZero) {
            int64_t zeros = 0;
            while (i < n && span[i] == '0') {
                if (zeros < kExponentClamp) ++zeros;
                ++i;
            }
            position = -zeros - 1;
        }
        while (i < n && isDigit(static_cast<unsigned char>(span[i]))) ++i;
    }
    int64_t exponent = 0;
    if (i < n && (span[i] == 'e' || span[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < n && (span[i] == '+' || span[i] == '-')) negative = span[i++] == '-';
        while (i < n && isDigit(static_cast<unsigned char>(span[i]))) {
            if (exponent < 10 * kExponentClamp) exponent = exponent * 10 + (span[i] - '0');
            ++i;
        }
        if (negative) exponent = -exponent;
    }
    return position + exponent;
}

// Text-to-double of a span already validated as digits, "." and exponent.
double convertFloatSpan(std::string_view span) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(span.data(), span.data() + span.size(), value,
                                           std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // The standard conversion gives infinity above the double range and
        // zero below it; from_chars leaves the value untouched instead.
        return estimateDecimalMagnitude(span) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
}

// Where a floating-point text's number lies, once the text is validated.
struct FloatSpan {
    size_t start = 0;  // first digit or "."
    size_t end = 0;    // after the last digit of the number (exponent included)
    bool negative = false;
};

// Validates a floating-point text without converting it: most callers only
// need to know whether a text is one.
bool scanFloatText(std::string_view text, bool allowSign, FloatSpan &span) {
    const size_t n = text.size();
    if (n == 0) return false;
    size_t i = skipSpaces(text, 0);
    span.negative = false;
    if (allowSign && i < n && (text[i] == '+' || text[i] == '-')) {
        span.negative = text[i] == '-';
        i = skipSpaces(text, i + 1);
    }
    span.start = i;
    size_t digits = 0;
    while (i < n && isDigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (i >= n || !isDigit(static_cast<unsigned char>(text[i]))) return false;
        while (i < n && isDigit(static_cast<unsigned char>(text[i]))) ++i;
    }
    span.end = i;
    return skipSpaces(text, i) == n;
}

double convertFloatText(std::string_view text, const FloatSpan &span) {
    const double magnitude = convertFloatSpan(text.substr(span.start, span.end - span.start));
    return span.negative ? -magnitude : magnitude;
}

bool parseFloatTextImpl(std::string_view text, bool allowSign, double &value) {
    FloatSpan span;
    if (!scanFloatText(text, allowSign, span)) return false;
    value = convertFloatText(text, span);
    return true;
}

bool equalsIgnoreCase(std::string_view word, std::string_view upper) {
    if (word.size() != upper.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

bool onlySpacesFrom(std::string_view text, size_t i) { return skipSpaces(text, i) == text.size(); }

std::string_view writeLong(NumberTextBuffer &buffer, int64_t value) {
    return {buffer.data, formatLongTo(buffer.data, value)};
}
std::string_view writeDouble(NumberTextBuffer &buffer, double value) {
    return {buffer.data, formatDoubleTo(buffer.data, value)};
}

bool hasExponentMarker(std::string_view text) { return contains(text, 'e') || contains(text, 'E'); }

} // namespace

// ---------------------------------------------------------------------------
// Recognizers
// ---------------------------------------------------------------------------

bool parseIntegerText(std::string_view text, int64_t &value) {
    const size_t n = text.size();
    if (n == 0) return false;
    size_t i = skipSpaces(text, 0);
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        i = skipSpaces(text, i + 1);
    }
    uint64_t magnitude = 0;
    if (!readDecimalMagnitude(text, i, negative ? kLongMaxMagnitude : kLongMaxMagnitude - 1, magnitude)) return false;
    if (!onlySpacesFrom(text, i)) return false;
    // Two's complement negation of the magnitude: exact for 2^63 as well.
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool isIntegerText(std::string_view text) {
    int64_t ignored = 0;
    return parseIntegerText(text, ignored);
}

bool parseFloatText(std::string_view text, double &value) { return parseFloatTextImpl(text, true, value); }

bool parseUnsignedFloatText(std::string_view text, double &value) { return parseFloatTextImpl(text, false, value); }

bool isFloatText(std::string_view text) {
    FloatSpan span;
    return scanFloatText(text, true, span);
}

bool isDottedFloatText(std::string_view text) { return contains(text, '.') && isFloatText(text); }

bool parseHexText(std::string_view text, uint64_t &value) {
    if (text.empty()) return false;
    uint64_t result = 0;
    for (const char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        result = (result << 4) | digit;  // unsigned: wraps modulo 2^64
    }
    value = result;
    return true;
}

bool parseBooleanWord(std::string_view text, bool &value, size_t &end) {
    const size_t n = text.size();
    const size_t start = skipSpaces(text, 0);
    if (start >= n) return false;
    // The word: at most 19 bytes, up to whitespace, the end or a byte >= 128.
    size_t stop = start;
    while (stop < n && stop - start < 19) {
        const unsigned char c = static_cast<unsigned char>(text[stop]);
        if (isSpace(c) || c >= 128) break;
        ++stop;
    }
    const std::string_view word = text.substr(start, stop - start);
    if (word == "0" || equalsIgnoreCase(word, "FALSE") || equalsIgnoreCase(word, "NEIN") ||
        equalsIgnoreCase(word, "NO")) {
        value = false;
        end = stop;
        return true;
    }
    if (word == "1" || equalsIgnoreCase(word, "TRUE") || equalsIgnoreCase(word, "JA") ||
        equalsIgnoreCase(word, "YES")) {
        value = true;
        end = stop;
        return true;
    }
    size_t i = start;
    uint64_t magnitude = 0;
    if (!readDecimalMagnitude(text, i, kLongMaxMagnitude - 1, magnitude)) return false;
    value = magnitude != 0;
    end = i;
    return true;
}

bool parseBooleanText(std::string_view text, bool &value) {
    size_t end = 0;
    bool word = false;
    if (!parseBooleanWord(text, word, end) || !onlySpacesFrom(text, end)) return false;
    value = word;
    return true;
}

bool isTrueText(std::string_view text) {
    bool value = false;
    return parseBooleanText(text, value) && value;
}

// ---------------------------------------------------------------------------
// Formatting
// ---------------------------------------------------------------------------

size_t formatLongTo(char *buffer, int64_t value) {
    const auto result = std::to_chars(buffer, buffer + kNumberTextCapacity, value);
    return static_cast<size_t>(result.ptr - buffer);
}

std::string formatLong(int64_t value) {
    char buffer[kNumberTextCapacity];
    return std::string(buffer, formatLongTo(buffer, value));
}

size_t formatDoubleTo(char *buffer, double value) {
    if (std::isnan(value)) {
        std::memcpy(buffer, "nan", 3);
        return 3;
    }
    if (std::isinf(value)) {
        if (value < 0) {
            std::memcpy(buffer, "-inf", 4);
            return 4;
        }
        std::memcpy(buffer, "inf", 3);
        return 3;
    }
    // %g with precision 6 (to_chars general is specified as printf's %g); the
    // exponent then gets at least three digits, as the scripts have always
    // seen it, whatever the C library would print.
    const auto result = std::to_chars(buffer, buffer + kNumberTextCapacity, value, std::chars_format::general, 6);
    size_t length = static_cast<size_t>(result.ptr - buffer);
    const char *marker = static_cast<const char *>(std::memchr(buffer, 'e', length));
    if (marker != nullptr) {
        const size_t digitsStart = static_cast<size_t>(marker - buffer) + 2;  // after "e+" / "e-"
        const size_t digitCount = length - digitsStart;
        if (digitCount < 3) {
            const size_t pad = 3 - digitCount;
            std::memmove(buffer + digitsStart + pad, buffer + digitsStart, digitCount);
            std::memset(buffer + digitsStart, '0', pad);
            length += pad;
        }
    }
    return length;
}

size_t formatShortDoubleTo(char *buffer, double value, double &rounded) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    static constexpr int64_t kIntegerPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    const bool negative = value < 0;
    const double magnitude = negative ? -value : value;
    if (!(magnitude >= 1e-3 && magnitude < 1e5)) return 0;  // also NaN
    // Decimal exponent of the magnitude: -3..4.
    int exponent = 4;
    if (magnitude < 1) {
        exponent = magnitude >= 0.1 ? -1 : (magnitude >= 0.01 ? -2 : -3);
    } else {
        while (exponent > 0 && magnitude < kPowers[exponent]) --exponent;
    }
    // Six significant digits: scale so they stand before the point. The
    // product carries at most one rounding error (below 1e-9 here), so a
    // fraction clearly away from one half rounds as the exact value would.
    const int decimals = 5 - exponent;  // 1..8
    const double scaled = magnitude * kPowers[decimals];
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 - 1e-7 && fraction < 0.5 + 1e-7) return 0;
    int64_t digits = static_cast<int64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    if (digits >= 1000000) return 0;  // rounded up to seven digits: let the general path decide
    int64_t divisor = kIntegerPowers[decimals];
    rounded = static_cast<double>(digits) / static_cast<double>(divisor);  // exact quotient, correctly rounded
    if (negative) rounded = -rounded;
    // %g drops trailing zeros of the fraction, and the point with them.
    int fractionDigits = decimals;
    while (fractionDigits > 0 && digits % 10 == 0 && digits != 0) {
        digits /= 10;
        divisor /= 10;
        --fractionDigits;
    }
    size_t length = 0;
    if (negative) buffer[length++] = '-';
    length += formatLongTo(buffer + length, digits / divisor);
    if (fractionDigits > 0) {
        buffer[length++] = '.';
        int64_t rest = digits % divisor;
        for (int i = fractionDigits; i-- > 0;) {
            buffer[length + static_cast<size_t>(i)] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        length += static_cast<size_t>(fractionDigits);
    }
    return length;
}

std::string formatDouble(double value) {
    char buffer[kNumberTextCapacity];
    return std::string(buffer, formatDoubleTo(buffer, value));
}

double roundDoubleToText(double value) {
    if (!std::isfinite(value)) return value;
    char buffer[kNumberTextCapacity];
    double rounded = value;
    if (formatShortDoubleTo(buffer, value, rounded) != 0) return rounded;
    const size_t length = formatDoubleTo(buffer, value);
    std::from_chars(buffer, buffer + length, rounded, std::chars_format::general);
    return rounded;
}

bool fitsInLong(double value) {
    // -2^63 and 2^63 are exact doubles; NaN fails both comparisons.
    return value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}

bool isLongValue(double value) { return fitsInLong(value) && std::trunc(value) == value; }

// ---------------------------------------------------------------------------
// Canonical number text. Every step either trims the text or replaces it by a
// short number text, so the result is a view into the input or into the
// caller's buffer and no step allocates.
// ---------------------------------------------------------------------------

std::string_view canonicalNumberText(std::string_view text, NumberTextBuffer &buffer) {
    std::string_view s = text;
    int64_t integer = 0;
    double number = 0;

    // 1. Leading zeros of a number text go (007 -> 7; 0.5 stays).
    if ((!s.empty() && parseIntegerText(s, integer)) || isDottedFloatText(s)) {
        while (s.size() >= 2 && s[0] == '0' && isDigit(static_cast<unsigned char>(s[1]))) s.remove_prefix(1);
    }
    // 2. Exponent texts become plain texts: integers without a negative
    //    exponent their integer text, unsigned ones the double text.
    if (hasExponentMarker(s)) {
        const bool negativeExponent =
            s.find("e-") != std::string_view::npos || s.find("E-") != std::string_view::npos;
        if (!negativeExponent && parseIntegerText(s, integer)) {
            s = writeLong(buffer, integer);
        } else if (parseUnsignedFloatText(s, number)) {
            s = writeDouble(buffer, number);
        }
    }
    // 3. A final "." goes (5. -> 5).
    if (isDottedFloatText(s) && s.back() == '.') s.remove_suffix(1);
    // 4. An integral value written with ".0" becomes its integer text; a
    //    signed text here leaves the whole input unchanged (-3.0 stays).
    if (isDottedFloatText(s) && s.find(".0") != std::string_view::npos) {
        if (!parseUnsignedFloatText(s, number)) return text;
        // Only integral values inside the long range have an integer text;
        // larger ones keep their digits.
        if (isLongValue(number)) s = writeLong(buffer, static_cast<int64_t>(number));
    }
    // 5. Trailing zeros after the "." go, one digit stays (1.500 -> 1.5).
    //    Not for texts with an exponent: there the zeros are exponent digits
    //    ("1.5e+010" must not become "1.5e+01").
    if (isDottedFloatText(s) && s.back() == '0' && !hasExponentMarker(s)) {
        const size_t dot = s.find('.');
        size_t keep = s.size();
        while (keep > dot + 2 && s[keep - 1] == '0') --keep;
        s = s.substr(0, keep);
    }
    return s;
}

std::string canonicalNumberText(std::string_view text) {
    NumberTextBuffer buffer;
    return std::string(canonicalNumberText(text, buffer));
}

// ---------------------------------------------------------------------------
// Text conversions
// ---------------------------------------------------------------------------

namespace {

bool canonicalToInteger(std::string_view canonical, int64_t &value) {
    if (parseIntegerText(canonical, value)) return true;
    if (canonical.size() > 2 && canonical[0] == '0' && (canonical[1] == 'x' || canonical[1] == 'X')) {
        uint64_t bits = 0;
        if (!parseHexText(canonical.substr(2), bits)) return false;
        value = static_cast<int64_t>(bits);  // modular, as the hexadecimal text wraps
        return true;
    }
    double number = 0;
    // Truncation is defined only inside the long range: NaN, infinities and
    // larger magnitudes are no integer.
    if (!parseFloatText(canonical, number) || !fitsInLong(number)) return false;
    value = static_cast<int64_t>(number);
    return true;
}

bool canonicalToBoolean(std::string_view canonical, bool &value) {
    return !canonical.empty() && parseBooleanText(canonical, value);
}

} // namespace

bool textToInteger(std::string_view text, int64_t &value) {
    NumberTextBuffer buffer;
    return canonicalToInteger(canonicalNumberText(text, buffer), value);
}

bool textToDouble(std::string_view text, double &value) {
    NumberTextBuffer buffer;
    return parseFloatText(canonicalNumberText(text, buffer), value);
}

bool textToBoolean(std::string_view text, bool &value) {
    NumberTextBuffer buffer;
    return canonicalToBoolean(canonicalNumberText(text, buffer), value);
}

NumberFacts makeLongFacts(int64_t value) {
    // The text of a long is its integer text: canonical, an integer for both
    // conversions, a boolean when not negative (true unless zero; a "-" is no
    // boolean word).
    NumberFacts facts;
    facts.flags = NumberFacts::IntegerText | NumberFacts::FloatText | NumberFacts::Canonical | NumberFacts::ToInteger |
                  NumberFacts::ToDouble | NumberFacts::NonEmpty;
    if (value >= 0) {
        facts.flags |= NumberFacts::ToBoolean;
        if (value != 0) facts.flags |= NumberFacts::BooleanValue | NumberFacts::Truthy;
    }
    facts.integerTextValue = value;
    facts.integerValue = value;
    facts.doubleValue = static_cast<double>(value);  // the correctly rounded value of the text
    return facts;
}

namespace {

// A short text of an optional "-" and digits without a leading zero (or "0"):
// the commonest number text, whose facts need no general analysis.
bool isSimpleIntegerText(std::string_view text) {
    size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    const size_t digits = text.size() - i;
    if (digits == 0 || digits > 18) return false;
    if (text[i] == '0') return digits == 1 && i == 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// An optional "-", an integer part without leading zeros, "." and a fraction
// that neither begins nor ends with "0" ("3.25", "-0.5"): canonical as it
// stands, no integer text and no boolean, so only its value is to be read.
bool isSimpleDecimalText(std::string_view text) {
    size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    const size_t integerStart = i;
    while (i < text.size() && isDigit(static_cast<unsigned char>(text[i]))) ++i;
    const size_t integerDigits = i - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == '0')) return false;
    if (i >= text.size() || text[i] != '.') return false;
    const size_t fractionStart = ++i;
    while (i < text.size() && isDigit(static_cast<unsigned char>(text[i]))) ++i;
    return i == text.size() && i > fractionStart && text[fractionStart] != '0' && text.back() != '0';
}

} // namespace

NumberFacts analyzeNumberText(std::string_view text) {
    if (isSimpleIntegerText(text)) {
        int64_t value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return makeLongFacts(value);
    }
    NumberFacts facts;
    if (isSimpleDecimalText(text)) {
        const size_t start = text[0] == '-' ? 1 : 0;
        const double magnitude = convertFloatSpan(text.substr(start));
        facts.doubleValue = start ? -magnitude : magnitude;
        facts.flags = NumberFacts::NonEmpty | NumberFacts::FloatText | NumberFacts::DottedFloat |
                      NumberFacts::Canonical | NumberFacts::ToDouble;
        if (fitsInLong(facts.doubleValue)) {
            facts.flags |= NumberFacts::ToInteger;
            facts.integerValue = static_cast<int64_t>(facts.doubleValue);
        }
        return facts;
    }

    if (!text.empty()) facts.flags |= NumberFacts::NonEmpty;
    if (parseIntegerText(text, facts.integerTextValue)) facts.flags |= NumberFacts::IntegerText;
    else facts.integerTextValue = 0;
    if (isFloatText(text)) {
        facts.flags |= NumberFacts::FloatText;
        if (contains(text, '.')) facts.flags |= NumberFacts::DottedFloat;
    }

    NumberTextBuffer buffer;
    const std::string_view canonical = canonicalNumberText(text, buffer);
    if (canonical == text) facts.flags |= NumberFacts::Canonical;

    // The double reading serves both conversions; an exponent-free integer
    // text within 2^53 has exactly its integer value as double (zero excepted:
    // "-0" reads as negative zero).
    int64_t integer = 0;
    const bool integerText = parseIntegerText(canonical, integer);
    double number = 0;
    bool floatText;
    if (integerText && integer != 0 && !hasExponentMarker(canonical) && integer > -(int64_t{1} << 53) &&
        integer < (int64_t{1} << 53)) {
        floatText = true;
        number = static_cast<double>(integer);
    } else {
        floatText = parseFloatText(canonical, number);
    }
    if (floatText) {
        facts.flags |= NumberFacts::ToDouble;
        facts.doubleValue = number;
    }
    if (integerText) {
        facts.flags |= NumberFacts::ToInteger;
        facts.integerValue = integer;
    } else if (canonical.size() > 2 && canonical[0] == '0' && (canonical[1] == 'x' || canonical[1] == 'X')) {
        uint64_t bits = 0;
        if (parseHexText(canonical.substr(2), bits)) {
            facts.flags |= NumberFacts::ToInteger;
            facts.integerValue = static_cast<int64_t>(bits);
        }
    } else if (floatText && fitsInLong(number)) {
        facts.flags |= NumberFacts::ToInteger;
        facts.integerValue = static_cast<int64_t>(number);
    }

    bool boolean = false;
    if (canonicalToBoolean(canonical, boolean)) {
        facts.flags |= NumberFacts::ToBoolean;
        if (boolean) facts.flags |= NumberFacts::BooleanValue;
    }
    if (isTrueText(text)) facts.flags |= NumberFacts::Truthy;
    return facts;
}

} // namespace zelkscript
