#include "engine/frontend/value_bridge.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zelkscript::valuebridge {

namespace {

bool isWhitespace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

size_t skipWhitespace(std::string_view text, size_t at) noexcept {
    while (at < text.size() && isWhitespace(text[at])) ++at;
    return at;
}

// Reads an exponent's digits; the count saturates so a huge exponent cannot
// overflow (any exponent above a few hundred has the same effect anyway).
size_t readExponentDigits(std::string_view text, size_t at, uint32_t &exponent) noexcept {
    exponent = 0;
    while (at < text.size() && isDigit(text[at])) {
        if (exponent < 100000) exponent = exponent * 10 + static_cast<uint32_t>(text[at] - '0');
        ++at;
    }
    return at;
}

bool readFloatingText(std::string_view text, bool allowSign, double &value) noexcept {
    if (text.empty()) return false;
    size_t at = skipWhitespace(text, 0);
    bool negative = false;
    if (allowSign && at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        at = skipWhitespace(text, at + 1);
    }
    const size_t numberStart = at;
    size_t digits = 0;
    size_t leadingDigits = 0;  // integer-part digits after leading zeros, for out-of-range results
    bool seenNonZero = false;
    while (at < text.size() && isDigit(text[at])) {
        if (text[at] != '0') seenNonZero = true;
        if (seenNonZero) ++leadingDigits;
        ++at;
        ++digits;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && isDigit(text[at])) {
            ++at;
            ++digits;
        }
    }
    if (digits == 0) return false;
    bool negativeExponent = false;
    uint32_t exponent = 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponentAt = at + 1;
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) {
            negativeExponent = text[exponentAt] == '-';
            ++exponentAt;
        }
        if (exponentAt >= text.size() || !isDigit(text[exponentAt])) return false;
        at = readExponentDigits(text, exponentAt, exponent);
    }
    const size_t numberEnd = at;
    at = skipWhitespace(text, at);
    if (at != text.size()) return false;

    double parsed = 0;
    const auto result = std::from_chars(text.data() + numberStart, text.data() + numberEnd, parsed);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the magnitude decides which.
        const int64_t magnitude =
            static_cast<int64_t>(leadingDigits) + (negativeExponent ? -static_cast<int64_t>(exponent) : exponent);
        parsed = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc() || result.ptr != text.data() + numberEnd) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

bool containsText(std::string_view text, std::string_view part) noexcept {
    return text.find(part) != std::string_view::npos;
}

bool isFloatingText(std::string_view text) noexcept {
    double ignored;
    return readFloatingText(text, true, ignored);
}

bool isIntegerText(std::string_view text) noexcept {
    int64_t ignored;
    return readIntegerText(text, ignored);
}

// Truncates toward zero when the value lies inside the 64-bit range; NaN,
// infinities and larger values are no integers.
bool truncateToInteger(double value, int64_t &result) noexcept {
    const double truncated = std::trunc(value);
    if (!(truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0)) return false;
    result = static_cast<int64_t>(truncated);
    return true;
}

} // namespace

bool readIntegerText(std::string_view text, int64_t &value) noexcept {
    if (text.empty()) return false;
    size_t at = skipWhitespace(text, 0);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        at = skipWhitespace(text, at + 1);
    }
    // The magnitude may reach 2^63 after a '-', so the smallest long reads
    // back from its own text.
    const uint64_t limit = negative ? (uint64_t{1} << 63) : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t magnitude = 0;
    size_t digits = 0;
    while (at < text.size() && isDigit(text[at])) {
        const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        ++at;
        ++digits;
    }
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponentAt = at + 1;
        bool negativeExponent = false;
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) {
            negativeExponent = text[exponentAt] == '-';
            ++exponentAt;
        }
        if (exponentAt >= text.size() || !isDigit(text[exponentAt])) return false;
        uint32_t exponent = 0;
        at = readExponentDigits(text, exponentAt, exponent);
        // Both loops end early: a zero stays zero, and a product that passes
        // the limit fails at once.
        for (uint32_t step = 0; step < exponent && magnitude != 0; ++step) {
            if (negativeExponent) {
                magnitude /= 10;
            } else {
                if (magnitude > limit / 10) return false;
                magnitude *= 10;
            }
        }
    }
    at = skipWhitespace(text, at);
    if (at != text.size()) return false;
    value = negative ? static_cast<int64_t>(uint64_t{0} - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool readFloatingPointText(std::string_view text, double &value) noexcept {
    return readFloatingText(text, true, value);
}

bool readUnsignedFloatingPointText(std::string_view text, double &value) noexcept {
    return readFloatingText(text, false, value);
}

std::string formatDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    std::string text(buffer, result.ptr);
    // Exponents are written with a sign and at least three digits.
    const size_t exponentAt = text.find('e');
    if (exponentAt != std::string::npos) {
        const size_t digitsAt = exponentAt + 2;
        const size_t digitCount = text.size() - digitsAt;
        if (digitCount < 3) text.insert(digitsAt, 3 - digitCount, '0');
    }
    return text;
}

std::string makeCanonicalNumberText(std::string_view original) {
    std::string text(original);
    const auto isFloatWithDot = [&text]() { return containsText(text, ".") && isFloatingText(text); };

    if (!text.empty() && (isIntegerText(text) || isFloatWithDot())) {
        size_t drop = 0;
        while (text.size() - drop >= 2 && text[drop] == '0' && isDigit(text[drop + 1])) ++drop;
        text.erase(0, drop);
    }
    if (containsText(text, "e") || containsText(text, "E")) {
        int64_t integer = 0;
        double floating = 0;
        if (!containsText(text, "e-") && !containsText(text, "E-") && readIntegerText(text, integer)) {
            text = std::to_string(integer);
        } else if (readUnsignedFloatingPointText(text, floating)) {
            text = formatDouble(floating);
        }
    }
    if (isFloatWithDot() && text.back() == '.') text.pop_back();
    if (isFloatWithDot() && containsText(text, ".0")) {
        double floating = 0;
        if (!readUnsignedFloatingPointText(text, floating)) return std::string(original);
        int64_t integer = 0;
        if (std::trunc(floating) == floating && truncateToInteger(floating, integer)) text = std::to_string(integer);
    }
    if (isFloatWithDot() && text.back() == '0') {
        const size_t dot = text.find('.');
        size_t end = text.size();
        while (end > dot + 2 && text[end - 1] == '0') --end;
        text.erase(end);
    }
    return text;
}

bool convertTextToInteger(std::string_view text, int64_t &value) {
    const std::string canonical = makeCanonicalNumberText(text);
    if (readIntegerText(canonical, value)) return true;
    if (canonical.size() > 2 && canonical[0] == '0' && (canonical[1] == 'x' || canonical[1] == 'X')) {
        uint64_t hex = 0;
        for (size_t at = 2; at < canonical.size(); ++at) {
            const char c = canonical[at];
            uint64_t digit;
            if (c >= '0' && c <= '9') digit = static_cast<uint64_t>(c - '0');
            else if (c >= 'a' && c <= 'f') digit = static_cast<uint64_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') digit = static_cast<uint64_t>(c - 'A' + 10);
            else return false;
            hex = (hex << 4) | digit;
        }
        value = static_cast<int64_t>(hex);
        return true;
    }
    double floating = 0;
    if (readFloatingPointText(canonical, floating)) return truncateToInteger(floating, value);
    return false;
}

bool isStringLiteralText(std::string_view text) noexcept {
    if (text.empty()) return true;
    int64_t integer;
    if (readIntegerText(text, integer)) return false;
    double floating;
    if (containsText(text, ".") && readFloatingPointText(text, floating)) return false;
    return true;
}

} // namespace zelkscript::valuebridge
