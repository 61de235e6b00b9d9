// The three number readings the parser needs from the value layer: whether a
// string literal spells an integer or a floating-point number (such literals
// are stored like number constants), and a text's 64-bit integer value (for
// the bounds of number ranges). Kept behind this small adapter so the front
// end does not depend on the value layer's object model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelkscript::valuebridge {

// An optionally signed run of digits with an optional exponent, blanks
// allowed around it; the value must fit 64 bits (down to -2^63).
bool readIntegerText(std::string_view text, int64_t &value) noexcept;
// Digits with an optional '.', at least one digit, optional exponent.
bool readFloatingPointText(std::string_view text, double &value) noexcept;
bool readUnsignedFloatingPointText(std::string_view text, double &value) noexcept;
// The normalised form a text takes before it is read as a number ("007" is
// "7", "1e3" is "1000", "2.50" is "2.5").
std::string makeCanonicalNumberText(std::string_view text);
// A double as six significant digits, exponent with at least three digits.
std::string formatDouble(double value);
// The text's integer value: an integer text, a "0x" hexadecimal text, or a
// floating-point text truncated toward zero (when it lies in the 64-bit range).
bool convertTextToInteger(std::string_view text, int64_t &value);

// A string literal whose text is empty or spells no number keeps the string
// flag; "12" or "1.5" is stored like the number constant.
bool isStringLiteralText(std::string_view text) noexcept;

} // namespace zelkscript::valuebridge
