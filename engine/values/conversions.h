// Numbers and booleans are texts in this language, so every operator, every
// condition and every numeric argument passes through this module: the
// recognizers (allocation-free, on string views), the canonical number text,
// number formatting, the number-result rule, truthiness, the value
// conversions with their messages, and the type casts. The value-level
// conversions read the string handler's cached NumberFacts, so a value that
// was made from a number is never re-parsed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/values/number_facts.h"
#include "engine/values/object.h"

namespace zelkscript {

// ---------------------------------------------------------------------------
// Recognizers. "Whitespace" is ASCII whitespace, "digit" is ASCII 0-9; bytes
// of 128 and above are never digits, letters or whitespace.
// ---------------------------------------------------------------------------

// Integer text: optional whitespace, optional sign (whitespace may follow it),
// digits, an optional exponent that multiplies or (truncating) divides by ten,
// optional whitespace. The magnitude may reach 2^63 after a "-", so every long
// reads back from its own text. Overflow makes it no integer text.
bool parseIntegerText(std::string_view text, int64_t &value);
bool isIntegerText(std::string_view text);
// Floating-point text: optional whitespace and sign, digits with at most one
// ".", at least one digit, optional exponent, optional whitespace. Values
// beyond the double range read as infinity, below it as zero.
bool parseFloatText(std::string_view text, double &value);
bool isFloatText(std::string_view text);
// The same without the sign step.
bool parseUnsignedFloatText(std::string_view text, double &value);
// Contains "." and is a floating-point text (the "looks like a double" test).
bool isDottedFloatText(std::string_view text);
// One or more hexadecimal digits and nothing else; wraps modulo 2^64.
bool parseHexText(std::string_view text, uint64_t &value);
// Boolean word after leading whitespace: "0"/"1", TRUE/JA/YES, FALSE/NEIN/NO
// (any case), or an unsigned decimal integer with optional exponent (true
// when non-zero). end receives the offset after what was read.
bool parseBooleanWord(std::string_view text, bool &value, size_t &end);
// A boolean word followed only by whitespace.
bool parseBooleanText(std::string_view text, bool &value);
// Truthiness of a text: its boolean word when followed only by whitespace,
// false for anything else (empty, "abc", "1.5", "[...]").
bool isTrueText(std::string_view text);

// ---------------------------------------------------------------------------
// Number formatting. Both writers need no heap; the buffer must hold
// kNumberTextCapacity bytes. No NUL is written.
// ---------------------------------------------------------------------------
constexpr size_t kNumberTextCapacity = 32;

size_t formatLongTo(char *buffer, int64_t value);
std::string formatLong(int64_t value);
// Precision 6 in the shorter of fixed and scientific notation, with an
// exponent of a sign and at least three digits ("1.23457e+006", "1e-007");
// "inf", "-inf" and "nan" for the values that have no digits.
size_t formatDoubleTo(char *buffer, double value);
// The same text for the commonest doubles (0.001 <= |value| < 100000, whose
// precision-6 text is in fixed notation), made with integer arithmetic, and
// the value that text denotes in `rounded`. Answers 0 when the value is
// outside that range or its rounding is too close to call; the caller then
// takes formatDoubleTo and reads the text back.
size_t formatShortDoubleTo(char *buffer, double value, double &rounded);
std::string formatDouble(double value);
// The value that formatDouble(value) denotes: what a double is once it has
// been made a text. Infinities and NaN are returned unchanged.
double roundDoubleToText(double value);
// Integral, finite and inside the 64-bit signed range.
bool isLongValue(double value);
// True when value lies in [-2^63, 2^63) (NaN is not), so truncation to a
// 64-bit integer is defined.
bool fitsInLong(double value);

// ---------------------------------------------------------------------------
// Canonical number text: leading zeros dropped, exponent texts rewritten,
// trailing zeros and a trailing "." dropped (007 -> 7, 1e3 -> 1000,
// 2.50 -> 2.5, 3.0 -> 3). The result is a view into text or into buffer.
// ---------------------------------------------------------------------------
struct NumberTextBuffer {
    char data[kNumberTextCapacity];
};
std::string_view canonicalNumberText(std::string_view text, NumberTextBuffer &buffer);
std::string canonicalNumberText(std::string_view text);

// ---------------------------------------------------------------------------
// Text conversions (the value conversions below apply them to a value's text).
// ---------------------------------------------------------------------------
// Canonical text, then integer text, else "0x" + hexadecimal, else a
// floating-point text truncated toward zero (only inside the long range).
bool textToInteger(std::string_view text, int64_t &value);
// Canonical text read as a floating-point text.
bool textToDouble(std::string_view text, double &value);
// Canonical text, non-empty, a boolean word followed only by whitespace.
bool textToBoolean(std::string_view text, bool &value);
// Every recognizer answer for one text, for caching beside it.
NumberFacts analyzeNumberText(std::string_view text);
// The facts of the text that formatLong(value) gives, without making it.
NumberFacts makeLongFacts(int64_t value);

// ---------------------------------------------------------------------------
// Making number and text values. Each returns a new object (L-value).
// ---------------------------------------------------------------------------
ObjectRef makeLongObject(int64_t value);
ObjectRef makeDoubleObject(double value);
// A double that is integral and fits a long becomes a long (kind 4); any
// other (fractions, NaN, infinities, beyond the long range) a double (kind 5).
ObjectRef makeNumberResult(double value);
// Kind 0 unless given; the facts are worked out when first needed.
ObjectRef makeStringObject(std::string text, uint32_t kind = ValueKindNone);
// For callers that already know the text's facts (a literal node analyses its
// text once and hands the facts to every fresh object it makes).
ObjectRef makeStringObject(std::string text, uint32_t kind, const NumberFacts &facts);
// The long 1 or 0.
ObjectRef makeBoolObject(bool value);
ObjectRef makeUndefinedObject();
ObjectRef makeVectorObject();
ObjectRef makeStructureObject();

// ---------------------------------------------------------------------------
// Value conversions used by operators and system function arguments. Each
// answers false with its message; the caller decides whether that becomes a
// script error. A null reference, an undefined value and a container fail the
// numeric and boolean conversions.
// ---------------------------------------------------------------------------
bool convertToDouble(const ZelkScriptObject *value, double &result, std::string &error);    // "double value expected"
bool convertToInteger(const ZelkScriptObject *value, int64_t &result, std::string &error);  // "integer value expected"
// "value out of range <low>-<high>"; result 0 on any failure.
bool convertToIntegerInRange(const ZelkScriptObject *value, int64_t low, int64_t high, int64_t &result,
                             std::string &error);
bool convertToBoolean(const ZelkScriptObject *value, bool &result, std::string &error);  // "boolean value expected"
// Any non-null value's gettext; "string expected" for a null reference.
bool convertToString(const ZelkScriptObject *value, std::string &result, std::string &error);
// Null/undefined: new empty structure; vector: members "0", "1", ... sharing
// the elements; structure: its value copy. "cannot cast value to structure".
bool convertToStructure(const ObjectRef &value, ObjectRef &result, std::string &error);
// Null/undefined: new empty vector; vector: its value copy; structure: by
// index names when they are exactly 0..n-1, else one-member structures in name
// order. "cannot cast value to vector".
bool convertToVector(const ObjectRef &value, ObjectRef &result, std::string &error);
// Arguments that a function changes in place. "vector variable expected",
// "structure variable expected".
bool requireVectorVariable(const ZelkScriptObject *value, std::string &error);
bool requireStructureVariable(const ZelkScriptObject *value, std::string &error);

// The cast expression "(name) operand" for the names "string", "double",
// "float", "int", "long", "structure" and "vector". A null operand fails with
// "number required"; a failing conversion with its message. The caller raises
// the script error at the cast's position.
bool castValue(const std::string &castName, const ObjectRef &operand, ObjectRef &result, std::string &error);

} // namespace zelkscript
