// What a text means as a number, computed once and kept beside the text.
// Numbers are texts in this language, so every operator asks these questions;
// a string handler answers them from this record instead of re-reading its
// text, and a value made from a number fills it in without making a text.
#pragma once

#include <cstdint>

namespace zelkscript {

// The answers of the recognizers and conversions for one text. Every field is
// a pure function of the text (never of the value kind), so two handlers with
// the same text always hold the same facts.
struct NumberFacts {
    enum Flag : uint16_t {
        IntegerText = 1u << 0,   // the text is an integer text; integerTextValue is its value
        DottedFloat = 1u << 1,   // the text contains "." and is a floating-point text
        Canonical = 1u << 2,     // the canonical number text is the text itself
        ToInteger = 1u << 3,     // conversion to integer succeeds; integerValue is the result
        ToDouble = 1u << 4,      // conversion to double succeeds; doubleValue is the result
        ToBoolean = 1u << 5,     // conversion to boolean succeeds; BooleanValue is the result
        BooleanValue = 1u << 6,
        Truthy = 1u << 7,        // the text is true as a condition
        NonEmpty = 1u << 8,
        FloatText = 1u << 9,     // the text is a floating-point text (every integer text is one)
    };

    uint16_t flags = 0;
    int64_t integerTextValue = 0;
    int64_t integerValue = 0;
    double doubleValue = 0.0;

    bool has(Flag flag) const { return (flags & flag) != 0; }
    // The text-decided number queries (a value of kind 0 answers with these).
    bool isNumberText() const { return has(NonEmpty) && (has(IntegerText) || has(DottedFloat)); }
};

// The number-ness of a value as the operators see it: the three type queries
// of the object (which also look at the value kind) and the text facts. Only a
// string-typed value with a handler has any of these set.
struct NumberView {
    bool isNumber = false;   // ZelkScriptObject::isnumber
    bool isLong = false;     // ZelkScriptObject::islong
    bool isDouble = false;   // ZelkScriptObject::isdouble
    NumberFacts facts;       // facts of the value's text (all clear for non-strings)

    // The text read as an integer text (what integer arithmetic reads).
    bool integerText(int64_t &value) const {
        value = facts.integerTextValue;
        return facts.has(NumberFacts::IntegerText);
    }
    // The same results as the "to integer" and "to double" conversions.
    bool toInteger(int64_t &value) const {
        value = facts.integerValue;
        return facts.has(NumberFacts::ToInteger);
    }
    bool toDouble(double &value) const {
        value = facts.doubleValue;
        return facts.has(NumberFacts::ToDouble);
    }
};

} // namespace zelkscript
