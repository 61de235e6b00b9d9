// The numbers and math family: abs, min, max, sum, average, swap, the
// standard mathematics functions, div, fmod, modf, fract, pow, atan2, odd,
// round, random and startrandom.
#include "engine/library/numbers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/library/families.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

using Arguments = std::span<ObjectRef>;

const ObjectRef kNoArgument;

const ObjectRef &argumentAt(Arguments arguments, size_t index) {
    return index < arguments.size() ? arguments[index] : kNoArgument;
}

bool fail(std::string &error, std::string message) {
    error = std::move(message);
    return false;
}

// The number facts of a value; false for null and non-string values.
bool readNumberView(const ObjectRef &value, NumberView &view) { return value && value->readNumber(view); }

// A long whose integer reading means the same number as its double reading
// (not so for "15e-1", an integer text of 1 that reads as the double 1.5).
bool readWholeLong(const NumberView &view, double value, int64_t &integer) {
    return view.isLong && view.toInteger(integer) && static_cast<double>(integer) == value;
}

// ---------------------------------------------------------------------------
// Random numbers
// ---------------------------------------------------------------------------

// Drawn once per process, so separate runs differ while every thread's
// generator still starts from a defined state.
uint32_t processRandomSeed() {
    static const uint32_t seed = [] {
        uint32_t value = 0;
        try {
            value = std::random_device{}();
        } catch (...) {
            // No entropy source: the clock still tells runs apart.
        }
        return value ^ static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    return seed;
}

// One generator per thread: contexts on different threads never contend for
// it, and a sequence started with startrandom is not disturbed by another
// thread drawing numbers meanwhile.
struct ThreadRandomGenerator {
    std::mt19937 engine;
    bool started = false;
};

ThreadRandomGenerator &threadGenerator() {
    thread_local ThreadRandomGenerator generator;
    if (!generator.started) {
        static std::atomic<uint32_t> threadCount{0};
        const uint32_t thread = threadCount.fetch_add(1, std::memory_order_relaxed);
        generator.engine.seed(processRandomSeed() + thread * 0x9E3779B9u);
        generator.started = true;
    }
    return generator;
}

// m / 32767 draws of values modulo 32767 plus one draw modulo the rest: the
// construction that stretches the generator's 15 bits over larger bounds.
int64_t drawBelow(int64_t bound) {
    if (bound < 2) return 0;
    if (bound <= 32767) return nextRandomValue() % bound;
    int64_t total = 0;
    for (int64_t chunk = bound / 32767; chunk > 0; --chunk) total += nextRandomValue() % 32767;
    const int64_t rest = bound % 32767;
    if (rest > 1) total += nextRandomValue() % rest;
    return total;
}

// ---------------------------------------------------------------------------
// abs, min, max, sum, average, swap
// ---------------------------------------------------------------------------

bool absImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    NumberView view;
    if (readNumberView(argumentAt(arguments, 0), view)) {
        if (view.isLong) {
            int64_t value = 0;
            if (!view.toInteger(value)) return fail(error, "integer value expected");
            // The smallest long has no positive counterpart among the longs.
            if (value == std::numeric_limits<int64_t>::min()) result = makeDoubleObject(-static_cast<double>(value));
            else result = makeLongObject(value < 0 ? -value : value);
            return true;
        }
        if (view.isDouble) {
            double value = 0;
            if (!view.toDouble(value)) return fail(error, "double value expected");
            result = makeDoubleObject(std::fabs(value));
            return true;
        }
    }
    return fail(error, "function abs requires a number argument");
}

// The scan of min and max: integers while every value is a long, doubles
// from the first value that is not. Vectors stand for their elements; the
// vectors being walked are kept on a path so that one containing itself
// ends the scan instead of the stack.
class ExtremeSearch {
public:
    ExtremeSearch(bool wantMaximum, const char *message) : wantMaximum_(wantMaximum), message_(message) {}

    bool visit(const ObjectRef &value, std::string &error) {
        if (value && value->gettype() == ValueTypeVector) return visitVector(value, error);
        NumberView view;
        const bool readable = readNumberView(value, view);
        int64_t integer = 0;
        if (integerMode_ && readable && view.isLong && view.toInteger(integer)) {
            if (!best_ || (wantMaximum_ ? integer > bestInteger_ : integer < bestInteger_)) {
                bestInteger_ = integer;
                best_ = value;
            }
            return true;
        }
        double number = 0;
        if (!readable || !view.toDouble(number)) return fail(error, message_);
        if (integerMode_) {
            integerMode_ = false;
            bestDouble_ = static_cast<double>(bestInteger_);
        }
        if (!best_ || (wantMaximum_ ? number > bestDouble_ : number < bestDouble_)) {
            bestDouble_ = number;
            best_ = value;
        }
        return true;
    }

    bool finish(ObjectRef &result, std::string &error) {
        if (!best_) return fail(error, message_);
        result = best_;
        return true;
    }

private:
    bool visitVector(const ObjectRef &vector, std::string &error) {
        const ZelkScriptDataHandler *handler = vector->handler();
        if (std::find(path_.begin(), path_.end(), handler) != path_.end())
            return fail(error, "value contains itself");
        if (path_.size() >= static_cast<size_t>(kMaxContainerNesting))
            return fail(error, "value is nested too deeply");
        path_.push_back(handler);
        bool ok = true;
        if (handler && handler->plainKind() == ZelkScriptDataHandler::PlainKind::Vector) {
            // Nothing runs script code during the scan, so the elements
            // cannot change under the walk.
            const auto &elements = static_cast<const ZelkScriptObjectVectorHandler *>(handler)->elements();
            for (size_t i = 0; ok && i < elements.size(); ++i) ok = visit(elements[i], error);
        } else {
            ObjectList elements;
            ok = vector->getvectorelements(elements, error);
            for (size_t i = 0; ok && i < elements.size(); ++i) ok = visit(elements[i], error);
        }
        path_.pop_back();
        return ok;
    }

    bool wantMaximum_;
    const char *message_;
    bool integerMode_ = true;
    int64_t bestInteger_ = 0;
    double bestDouble_ = 0;
    ObjectRef best_;
    std::vector<const ZelkScriptDataHandler *> path_;
};

bool findExtreme(bool wantMaximum, const char *message, Arguments arguments, ObjectRef &result, std::string &error) {
    ExtremeSearch search(wantMaximum, message);
    for (const ObjectRef &argument : arguments)
        if (!search.visit(argument, error)) return false;
    return search.finish(result, error);
}

bool minImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    return findExtreme(false, "function min requires a number argument", arguments, result, error);
}

bool maxImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    return findExtreme(true, "function max requires a number argument", arguments, result, error);
}

// The running sum of sum and average: 64-bit integers while every argument
// is a long and the sum fits, doubles from then on.
struct NumberSum {
    bool integerMode = true;
    int64_t integer = 0;
    double number = 0;

    double asDouble() const { return integerMode ? static_cast<double>(integer) : number; }
};

bool addArguments(Arguments arguments, NumberSum &sum, std::string &error) {
    static const char *const kMessage = "function sum requires a number argument";
    if (arguments.empty()) return fail(error, kMessage);
    for (const ObjectRef &argument : arguments) {
        NumberView view;
        const bool readable = readNumberView(argument, view);
        int64_t integer = 0;
        if (sum.integerMode && readable && view.isLong && view.toInteger(integer)) {
            int64_t next = 0;
            if (!__builtin_add_overflow(sum.integer, integer, &next)) {
                sum.integer = next;
                continue;
            }
            sum.integerMode = false;
            sum.number = static_cast<double>(sum.integer) + static_cast<double>(integer);
            continue;
        }
        double number = 0;
        if (!readable || !view.toDouble(number)) return fail(error, kMessage);
        if (sum.integerMode) {
            sum.integerMode = false;
            sum.number = static_cast<double>(sum.integer);
        }
        sum.number += number;
    }
    return true;
}

bool sumImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    NumberSum sum;
    if (!addArguments(arguments, sum, error)) return false;
    result = sum.integerMode ? makeLongObject(sum.integer) : makeDoubleObject(sum.number);
    return true;
}

bool averageImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    NumberSum sum;
    if (!addArguments(arguments, sum, error)) return false;
    const int64_t count = static_cast<int64_t>(arguments.size());
    if (sum.integerMode && sum.integer % count == 0) result = makeLongObject(sum.integer / count);
    else result = makeDoubleObject(sum.asDouble() / static_cast<double>(count));
    return true;
}

// A variable arrives as its own object, which carries the name it was read
// under; a temporary value (a literal, an operator's result) has none.
bool isVariableArgument(const ObjectRef &value) { return value && value->islvalue() && !value->getname().empty(); }

bool swapImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &first = argumentAt(arguments, 0);
    const ObjectRef &second = argumentAt(arguments, 1);
    if (!isVariableArgument(first) || !isVariableArgument(second))
        return fail(error, "function swap requires references to variables");
    // Checked before anything moves, so a refused swap changes neither side.
    if (first->isconst() || second->isconst()) return fail(error, "const object must not be changed");
    ObjectRef held(new ZelkScriptObject());
    if (!held->assignreference(first, error) || !first->assignreference(second, error) ||
        !second->assignreference(held, error))
        return false;
    result.reset();
    return true;
}

// ---------------------------------------------------------------------------
// The standard mathematics functions
// ---------------------------------------------------------------------------

// The argument of a one-argument function as a double. prototype: "sin($)".
bool readMathArgument(Arguments arguments, const char *prototype, double &value, std::string &error) {
    NumberView view;
    if (!readNumberView(argumentAt(arguments, 0), view) || !view.isNumber)
        return fail(error, std::string("function ") + prototype + " requires a number argument");
    if (!view.toDouble(value)) return fail(error, "double value expected");
    return true;
}

using MathFunction = double (*)(double);

// The fractional part as std::modf gives it: signed like x, 0 for infinities.
double fractionalPart(double x) {
    double integral = 0;
    return std::modf(x, &integral);
}

template <MathFunction function>
bool applyMath(Arguments arguments, const char *prototype, ObjectRef &result, std::string &error) {
    double value = 0;
    if (!readMathArgument(arguments, prototype, value, error)) return false;
    result = makeNumberResult(function(value));
    return true;
}

// One system function per standard function; the wrappers pin the double
// overload of each <cmath> name.
#define ZELK_MATH_FUNCTION(name, expression)                                                                   \
    double name##Of(double x) { return expression; }                                                           \
    bool name##Impl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {    \
        return applyMath<&name##Of>(arguments, #name "($)", result, error);                                   \
    }

ZELK_MATH_FUNCTION(acos, std::acos(x))
ZELK_MATH_FUNCTION(asin, std::asin(x))
ZELK_MATH_FUNCTION(atan, std::atan(x))
ZELK_MATH_FUNCTION(cos, std::cos(x))
ZELK_MATH_FUNCTION(cosh, std::cosh(x))
ZELK_MATH_FUNCTION(exp, std::exp(x))
ZELK_MATH_FUNCTION(log, std::log(x))
ZELK_MATH_FUNCTION(log10, std::log10(x))
ZELK_MATH_FUNCTION(sin, std::sin(x))
ZELK_MATH_FUNCTION(sinh, std::sinh(x))
ZELK_MATH_FUNCTION(tan, std::tan(x))
ZELK_MATH_FUNCTION(tanh, std::tanh(x))
ZELK_MATH_FUNCTION(ceil, std::ceil(x))
ZELK_MATH_FUNCTION(floor, std::floor(x))
ZELK_MATH_FUNCTION(modf, std::trunc(x))
ZELK_MATH_FUNCTION(fract, fractionalPart(x))

#undef ZELK_MATH_FUNCTION

bool sqrtImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double value = 0;
    if (!readMathArgument(arguments, "sqrt($)", value, error)) return false;
    if (value < 0) return fail(error, "function sqrt requires a positive number argument");
    result = makeNumberResult(std::sqrt(value));
    return true;
}

// A long squares exactly while the square fits; anything else in doubles.
bool sqrImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double value = 0;
    if (!readMathArgument(arguments, "sqr($)", value, error)) return false;
    NumberView view;
    int64_t integer = 0, square = 0;
    if (readNumberView(arguments[0], view) && readWholeLong(view, value, integer) &&
        !__builtin_mul_overflow(integer, integer, &square)) {
        result = makeLongObject(square);
        return true;
    }
    result = makeNumberResult(value * value);
    return true;
}

bool readTwoDoubles(Arguments arguments, double &first, double &second, std::string &error) {
    return convertToDouble(argumentAt(arguments, 0).get(), first, error) &&
           convertToDouble(argumentAt(arguments, 1).get(), second, error);
}

bool fmodImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double dividend = 0, divisor = 0;
    if (!readTwoDoubles(arguments, dividend, divisor, error)) return false;
    if (divisor == 0) return fail(error, "division by 0");
    result = makeNumberResult(std::fmod(dividend, divisor));
    return true;
}

bool powImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double base = 0, exponent = 0;
    if (!readTwoDoubles(arguments, base, exponent, error)) return false;
    result = makeNumberResult(std::pow(base, exponent));
    return true;
}

bool atan2Impl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double y = 0, x = 0;
    if (!readTwoDoubles(arguments, y, x, error)) return false;
    result = makeNumberResult(std::atan2(y, x));
    return true;
}

// Integer division when both arguments are whole numbers; otherwise the
// double quotient, truncated. A fractional divisor is never truncated first
// (div(7, 0.5) is 14, not a division by 0).
bool divImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    NumberView dividendView, divisorView;
    if (!readNumberView(argumentAt(arguments, 0), dividendView) || !dividendView.isNumber ||
        !readNumberView(argumentAt(arguments, 1), divisorView) || !divisorView.isNumber)
        return fail(error, "function div($$) requires two number arguments");
    int64_t dividend = 0, divisor = 0;
    if (dividendView.isLong && divisorView.isLong && dividendView.toInteger(dividend) &&
        divisorView.toInteger(divisor)) {
        if (divisor == 0) return fail(error, "division by 0");
        // The one quotient of two longs that is no long.
        if (divisor == -1 && dividend == std::numeric_limits<int64_t>::min())
            return fail(error, "integer value expected");
        result = makeLongObject(dividend / divisor);
        return true;
    }
    double left = 0, right = 0;
    if (!dividendView.toDouble(left) || !divisorView.toDouble(right)) return fail(error, "double value expected");
    if (right == 0) return fail(error, "division by 0");
    const double quotient = std::trunc(left / right);
    if (!fitsInLong(quotient)) return fail(error, "integer value expected");
    result = makeLongObject(static_cast<int64_t>(quotient));
    return true;
}

bool oddImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t value = 0;
    if (!convertToInteger(argumentAt(arguments, 0).get(), value, error)) return false;
    result = makeLongObject(value % 2);
    return true;
}

// Doubles from 2^52 on have no fractional part left to round.
constexpr double kFirstDoubleWithoutFraction = 4503599627370496.0;

// Scaled by 10 per digit, 0.5 added, truncated toward zero, scaled back. The
// truncation stays in double arithmetic, so no value meets an integer cast.
// Values with nothing to round come back unchanged: a long exactly (through
// a double it would lose digits beyond 2^53), and a double whose scaled form
// has no fraction or overflows (adding 0.5 there would round up by one, or
// turn 1e300 with ten digits into infinity).
bool roundImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t digits = 0;
    if (arguments.size() >= 2) {
        std::string ignored;
        if (!convertToIntegerInRange(arguments[1].get(), 0, 10, digits, ignored))
            return fail(error, "function round($$) requires an integer number 0-10 as second argument");
    }
    const ObjectRef &argument = argumentAt(arguments, 0);
    NumberView view;
    double value = 0;
    if (!readNumberView(argument, view) || !view.isNumber || !view.toDouble(value))
        return fail(error, "function round($) requires a number as first argument");
    int64_t integer = 0;
    if (readWholeLong(view, value, integer)) {
        result = makeLongObject(integer);
        return true;
    }
    double scaled = value;
    for (int64_t i = 0; i < digits; ++i) scaled *= 10;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= kFirstDoubleWithoutFraction) {
        result = makeNumberResult(value);
        return true;
    }
    scaled = std::trunc(scaled + 0.5);
    for (int64_t i = 0; i < digits; ++i) scaled /= 10;
    result = makeNumberResult(scaled);
    return true;
}

bool randomImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (arguments.empty()) {
        result = makeDoubleObject(static_cast<double>(drawBelow(65536)) / 65536.0);
        return true;
    }
    int64_t bound = 0;
    if (!convertToInteger(arguments[0].get(), bound, error)) return false;
    if (bound > kMaxRandomBound) return fail(error, "function random($) requires a maximum up to 2147483648");
    result = makeLongObject(drawBelow(bound));
    return true;
}

bool startrandomImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t seed = 0;
    if (!convertToInteger(argumentAt(arguments, 0).get(), seed, error)) return false;
    startRandomSequence(static_cast<uint32_t>(static_cast<uint64_t>(seed)));
    result.reset();
    return true;
}

} // namespace

uint32_t nextRandomValue() { return threadGenerator().engine() >> 17; }

void startRandomSequence(uint32_t seed) {
    ThreadRandomGenerator &generator = threadGenerator();
    generator.engine.seed(seed);
}

void registerNumberFunctions(SystemFunctionRegistry &registry) {
    registry.addByHelpText("abs(x)", &absImpl);
    registry.addByHelpText("min(x,y,...)", &minImpl);
    registry.addByHelpText("max(x,y,...)", &maxImpl);
    registry.addByHelpText("sum(x,y,...)", &sumImpl);
    registry.addByHelpText("average(x,y,...)", &averageImpl);
    registry.addByHelpText("swap(&x,&y)", &swapImpl);
    registry.addByHelpText("acos(x)", &acosImpl);
    registry.addByHelpText("asin(x)", &asinImpl);
    registry.addByHelpText("atan(x)", &atanImpl);
    registry.addByHelpText("atan2(y,x)", &atan2Impl);
    registry.addByHelpText("cos(x)", &cosImpl);
    registry.addByHelpText("cosh(x)", &coshImpl);
    registry.addByHelpText("exp(x)", &expImpl);
    registry.addByHelpText("log(x)", &logImpl);
    registry.addByHelpText("log10(x)", &log10Impl);
    registry.addByHelpText("sin(x)", &sinImpl);
    registry.addByHelpText("sinh(x)", &sinhImpl);
    registry.addByHelpText("tan(x)", &tanImpl);
    registry.addByHelpText("tanh(x)", &tanhImpl);
    registry.addByHelpText("sqrt(x)", &sqrtImpl);
    registry.addByHelpText("sqr(x)", &sqrImpl);
    registry.addByHelpText("ceil(x)", &ceilImpl);
    registry.addByHelpText("floor(x)", &floorImpl);
    registry.addByHelpText("fract(x)", &fractImpl);
    registry.addByHelpText("div(x,y)", &divImpl);
    registry.addByHelpText("modf(x)", &modfImpl);
    registry.addByHelpText("fmod(x,y)", &fmodImpl);
    registry.addByHelpText("pow(x,y)", &powImpl);
    registry.addByHelpText("odd(x)", &oddImpl);
    registry.addByHelpText("round(x)", &roundImpl);
    registry.addByHelpText("round(x,digits)", &roundImpl);
    registry.addByHelpText("startrandom(seed)", &startrandomImpl);
    registry.addByHelpText("random()", &randomImpl);
    registry.addByHelpText("random(max)", &randomImpl);
}

} // namespace zelkscript
