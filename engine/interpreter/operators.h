// The value operations behind the language's operators: numeric operations
// (shared by binary operators, compound assignments and post-increments),
// comparisons, and value-list matching (the `in` operator and the grep
// functions). They answer bool and write their message into the caller's
// error text, so both the evaluator and library functions can use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/values/object.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

// op is the operator's token code: + - * / % & | ^ << >>. A null operand
// gives a null result. Operands are normalised in place (their canonical
// number text), as the language defines. Integer arithmetic that overflows
// is redone in double arithmetic.
// With a slot, the result is made through it (see result_slot.h).
bool numericOperation(int32_t op, const ObjectRef &left, const ObjectRef &right, ObjectRef &result,
                      std::string &error, ResultSlot *slot = nullptr);

// op is one of == != < > (orEqual turns < and > into <= and >=). The result
// is true or false in `answer`.
bool compareValues(int32_t op, bool orEqual, const ObjectRef &left, const ObjectRef &right, bool &answer,
                   std::string &error);

// Whether the text matches an item of a value list such as "a,b,c",
// "[1-5;7]" or "1-5,9" (number sets match non-negative integers inside).
bool valueListMatches(std::string_view text, std::string_view list);

// The integer arithmetic of numericOperation for two integer operands
// (op: + - * / % & | ^ << >>), overflow redone in doubles.
bool integerOperation(int32_t op, int64_t left, int64_t right, ObjectRef &result, ResultSlot *slot,
                      std::string &error);
// The double arithmetic of numericOperation (op: + - * / and the integer
// operators, which fail here as there).
bool doubleOperation(int32_t op, double left, double right, ObjectRef &result, ResultSlot *slot, std::string &error);
// The answer of compareValues for two numbers of which one is a double.
bool compareDoubles(int32_t op, bool orEqual, double left, double right, bool &answer, std::string &error);
// The answer of compareValues for two integer operands.
bool compareIntegers(int32_t op, bool orEqual, int64_t left, int64_t right, bool &answer, std::string &error);

// `+` on two values: numeric addition when both are numbers, otherwise the
// two texts joined (null-ish operands read as the empty text).
bool addValues(const ObjectRef &left, const ObjectRef &right, ObjectRef &result, std::string &error,
               ResultSlot *slot = nullptr);

} // namespace zelkscript
