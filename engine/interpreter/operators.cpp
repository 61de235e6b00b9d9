// Numeric operations, comparisons and value lists. Numbers are texts in this
// language, but the values layer keeps a number beside every text it made,
// so these read NumberViews and never format or re-parse on the common path.
#include "engine/interpreter/operators.h"

#include <cmath>
#include <limits>

#include "engine/frontend/tokens.h"
#include "engine/values/conversions.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

namespace {

// Shift counts of 64 or more push every bit out; a negative count shifts the
// other way. Both are defined here rather than left to the hardware.
int64_t shiftLeft(int64_t value, int64_t count);

int64_t shiftRight(int64_t value, int64_t count) {
    if (count < 0) return count == std::numeric_limits<int64_t>::min() ? 0 : shiftLeft(value, -count);
    if (count >= 64) return value < 0 ? -1 : 0;
    return value >> count;
}

int64_t shiftLeft(int64_t value, int64_t count) {
    if (count < 0) return count == std::numeric_limits<int64_t>::min() ? (value < 0 ? -1 : 0) : shiftRight(value, -count);
    if (count >= 64) return 0;
    return static_cast<int64_t>(static_cast<uint64_t>(value) << count);
}



bool isNullish(const ObjectRef &value) { return !value || value->isnull(); }

bool answerFromOrder(int32_t op, bool orEqual, int order, bool &answer, std::string &error) {
    switch (op) {
    case TOKEN_EQUAL: answer = order == 0; break;
    case TOKEN_NOT_EQUAL: answer = order != 0; break;
    case '<': answer = order < 0 || (orEqual && order == 0); break;
    case '>': answer = order > 0 || (orEqual && order == 0); break;
    case TOKEN_LESS_EQUAL: answer = order <= 0; break;
    case TOKEN_GREATER_EQUAL: answer = order >= 0; break;
    default: error = "illegal number compare operator"; return false;
    }
    return true;
}

} // namespace

bool doubleOperation(int32_t op, double a, double b, ObjectRef &result, ResultSlot *slot, std::string &error) {
    switch (op) {
    case '+': setNumberResult(result, slot, a + b); return true;
    case '-': setNumberResult(result, slot, a - b); return true;
    case '*': setNumberResult(result, slot, a * b); return true;
    case '/':
        if (b == 0) {
            error = "division by 0";
            return false;
        }
        setNumberResult(result, slot, a / b);
        return true;
    case '%': error = "operator % requires integer numbers"; return false;
    case '&':
    case '|':
    case '^':
    case TOKEN_SHIFT_LEFT:
    case TOKEN_SHIFT_RIGHT: error = "operation requires integer numbers"; return false;
    default: error = "invalid number operation"; return false;
    }
}

bool integerOperation(int32_t op, int64_t a, int64_t b, ObjectRef &result, ResultSlot *slot, std::string &error) {
    int64_t value = 0;
    switch (op) {
    case '+':
        if (__builtin_add_overflow(a, b, &value)) {
            setDoubleResult(result, slot, static_cast<double>(a) + static_cast<double>(b));
            return true;
        }
        break;
    case '-':
        if (__builtin_sub_overflow(a, b, &value)) {
            setDoubleResult(result, slot, static_cast<double>(a) - static_cast<double>(b));
            return true;
        }
        break;
    case '*':
        if (__builtin_mul_overflow(a, b, &value)) {
            setDoubleResult(result, slot, static_cast<double>(a) * static_cast<double>(b));
            return true;
        }
        break;
    case '/':
        if (b == 0) {
            error = "division by 0";
            return false;
        }
        if (b == 1) {
            value = a;
            break;
        }
        // The one quotient a long cannot hold: answer in doubles, as the
        // other overflows do.
        if (b == -1 && a == std::numeric_limits<int64_t>::min()) {
            setDoubleResult(result, slot, -static_cast<double>(a));
            return true;
        }
        if (a % b == 0) {
            value = a / b;
            break;
        }
        setNumberResult(result, slot, static_cast<double>(a) / static_cast<double>(b));
        return true;
    case '%':
        if (b == 0) {
            error = "division by 0";
            return false;
        }
        if (b == -1) {
            value = 0;
            break;
        }
        value = a % b;
        // The remainder takes the sign of the divisor.
        if (value != 0 && ((value < 0) != (b < 0))) value += b;
        break;
    case '&': value = a & b; break;
    case '|': value = a | b; break;
    case '^': value = a ^ b; break;
    case TOKEN_SHIFT_LEFT: value = shiftLeft(a, b); break;
    case TOKEN_SHIFT_RIGHT: value = shiftRight(a, b); break;
    default: error = "invalid number operation"; return false;
    }
    setLongResult(result, slot, value);
    return true;
}

bool numericOperation(int32_t op, const ObjectRef &left, const ObjectRef &right, ObjectRef &result,
                      std::string &error, ResultSlot *slot) {
    if (!left || !right) {
        result.reset();
        return true;
    }
    left->normalizenumbertext();
    right->normalizenumbertext();
    if (left->isnull() || right->isnull()) {
        error = "undefined value";
        return false;
    }
    NumberView a, b;
    left->readNumber(a);
    right->readNumber(b);
    if (a.isLong && b.isLong) {
        int64_t x = 0, y = 0;
        if (!a.integerText(x) || !b.integerText(y)) {
            error = "number expected";
            return false;
        }
        return integerOperation(op, x, y, result, slot, error);
    }
    double x = 0, y = 0;
    if (!a.toDouble(x) || !b.toDouble(y)) {
        error = "double value expected";
        return false;
    }
    return doubleOperation(op, x, y, result, slot, error);
}

bool addValues(const ObjectRef &left, const ObjectRef &right, ObjectRef &result, std::string &error,
               ResultSlot *slot) {
    // Null-ish operands read as the empty text; the others are used as they
    // are, without taking another reference.
    ObjectRef emptyA, emptyB;
    const ObjectRef &a = isNullish(left) ? (emptyA = makeStringObject(std::string())) : left;
    const ObjectRef &b = isNullish(right) ? (emptyB = makeStringObject(std::string())) : right;
    NumberView viewA, viewB;
    a->readNumber(viewA);
    b->readNumber(viewB);
    if (viewA.isNumber && viewB.isNumber) return numericOperation('+', a, b, result, error, slot);
    std::string scratchA, scratchB;
    std::string_view textA = a->viewText(scratchA);
    std::string_view textB = b->viewText(scratchB);
    std::string joined;
    joined.reserve(textA.size() + textB.size());
    joined.append(textA);
    joined.append(textB);
    setTextResult(result, slot, std::move(joined));
    return true;
}

bool compareValues(int32_t op, bool orEqual, const ObjectRef &left, const ObjectRef &right, bool &answer,
                   std::string &error) {
    const bool equality = op == TOKEN_EQUAL || op == TOKEN_NOT_EQUAL;
    const bool leftNull = isNullish(left), rightNull = isNullish(right);
    if (leftNull || rightNull) {
        if (equality) {
            bool same = leftNull && rightNull;
            answer = op == TOKEN_EQUAL ? same : !same;
            return true;
        }
        if (!left || !right) {
            error = "number expected";
            return false;
        }
    }
    int order = 0;  // <0, 0, >0
    NumberView a, b;
    left->readNumber(a);
    right->readNumber(b);
    if (a.isNumber && b.isNumber) {
        if (!a.isDouble && !b.isDouble) {
            int64_t x = 0, y = 0;
            if (!a.toInteger(x) || !b.toInteger(y)) {
                error = "integer value expected";
                return false;
            }
            order = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            double x = 0, y = 0;
            if (!a.toDouble(x) || !b.toDouble(y)) {
                error = "double value expected";
                return false;
            }
            // NaN compares unordered: neither less, greater nor equal.
            if (std::isnan(x) || std::isnan(y)) {
                answer = op == TOKEN_NOT_EQUAL;
                return true;
            }
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
    } else {
        if (!equality && (left->gettype() != ValueTypeString || right->gettype() != ValueTypeString)) {
            error = "numbers or casted strings expected";
            return false;
        }
        std::string scratchA, scratchB;
        std::string_view textA = left->viewText(scratchA);
        std::string_view textB = right->viewText(scratchB);
        int c = textA.compare(textB);
        order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return answerFromOrder(op, orEqual, order, answer, error);
}

bool compareDoubles(int32_t op, bool orEqual, double left, double right, bool &answer, std::string &error) {
    // NaN compares unordered: neither less, greater nor equal.
    if (std::isnan(left) || std::isnan(right)) {
        answer = op == TOKEN_NOT_EQUAL;
        return true;
    }
    return answerFromOrder(op, orEqual, left < right ? -1 : (left > right ? 1 : 0), answer, error);
}

bool compareIntegers(int32_t op, bool orEqual, int64_t left, int64_t right, bool &answer, std::string &error) {
    return answerFromOrder(op, orEqual, left < right ? -1 : (left > right ? 1 : 0), answer, error);
}

// ---------------------------------------------------------------------------
// Value lists
// ---------------------------------------------------------------------------

namespace {

bool isListSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimListSpace(std::string_view text) {
    while (!text.empty() && isListSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isListSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A non-negative integer of a number set: digits and an optional exponent,
// 32-bit. Reads from pos; pos is left after what was read.
bool readListInteger(std::string_view text, size_t &pos, int64_t &value) {
    size_t start = pos;
    int64_t v = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        v = v * 10 + (text[pos] - '0');
        if (v > 2147483647) return false;
        ++pos;
    }
    if (pos == start) return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t at = pos + 1;
        bool negative = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
        size_t digitsStart = at;
        int64_t exponent = 0;
        while (at < text.size() && isDigit(text[at])) {
            if (exponent < 100) exponent = exponent * 10 + (text[at] - '0');
            ++at;
        }
        if (at == digitsStart) return false;
        for (int64_t i = 0; i < exponent; ++i) {
            if (negative) {
                v /= 10;
                if (v == 0) break;
            } else {
                if (v == 0) break;
                v *= 10;
                if (v > 2147483647) return false;
            }
        }
        pos = at;
    }
    value = v;
    return true;
}

bool textAsListInteger(std::string_view text, int64_t &value) {
    text = trimListSpace(text);
    if (text.empty()) return false;
    size_t pos = 0;
    return readListInteger(text, pos, value) && pos == text.size();
}

// Whether the item is a number set, and if so whether it holds the value.
bool numberSetHolds(std::string_view item, int64_t value, bool &isNumberSet) {
    isNumberSet = false;
    size_t pos = 0;
    bool holds = false;
    bool any = false;
    while (true) {
        while (pos < item.size() && isListSpace(item[pos])) ++pos;
        int64_t from = 0;
        if (!readListInteger(item, pos, from)) return false;
        int64_t till = from;
        size_t afterFrom = pos;
        while (pos < item.size() && isListSpace(item[pos])) ++pos;
        if (pos < item.size() && item[pos] == '-') {
            ++pos;
            while (pos < item.size() && isListSpace(item[pos])) ++pos;
            if (!readListInteger(item, pos, till)) return false;
        } else {
            pos = afterFrom;
        }
        any = true;
        if (value >= from && value <= till) holds = true;
        while (pos < item.size() && isListSpace(item[pos])) ++pos;
        if (pos >= item.size()) break;
        if (item[pos] != ';' && item[pos] != ',') return false;
        ++pos;
    }
    isNumberSet = any;
    return holds;
}

} // namespace

bool valueListMatches(std::string_view text, std::string_view list) {
    if (list.size() >= 2 && list.front() == '[' && list.back() == ']') list = list.substr(1, list.size() - 2);
    if (list.find('-') == std::string_view::npos && list.find(text) == std::string_view::npos) return false;
    const char separator = list.find(',') != std::string_view::npos ? ',' : ';';
    int64_t number = 0;
    const bool textIsInteger = textAsListInteger(text, number);
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(separator, start);
        if (end == std::string_view::npos) end = list.size();
        std::string_view item = list.substr(start, end - start);
        bool isNumberSet = false;
        if (textIsInteger) {
            bool holds = numberSetHolds(item, number, isNumberSet);
            if (isNumberSet) {
                if (holds) return true;
                start = end + 1;
                continue;
            }
        }
        if (trimListSpace(item) == text) return true;
        start = end + 1;
    }
    return false;
}

} // namespace zelkscript
