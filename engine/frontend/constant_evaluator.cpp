#include "engine/frontend/constant_evaluator.h"

#include <atomic>
#include <cmath>
#include <cstdint>

#include "engine/frontend/syntax_tree.h"
#include "engine/frontend/value_bridge.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {

namespace {

const char kNotConstant[] = "invalid syntax: constant number expression expected in number range";

[[noreturn]] void raiseAt(const ZelkScriptExpressionBase &node, const char *message) {
    const ZelkScriptPosition &position = node.getPosition();
    throw ZelkScriptErrorException(message, position.sourceName, position.line, position.column);
}

// A number result: integral values in the 64-bit range become integer
// texts, everything else the double text.
std::string formatNumberResult(double value) {
    const double truncated = std::trunc(value);
    if (truncated == value && truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0)
        return std::to_string(static_cast<int64_t>(truncated));
    return valuebridge::formatDouble(value);
}

class DefaultConstantEvaluator final : public ZelkScriptConstantEvaluator {
public:
    std::string evaluateConstant(const ZelkScriptExpressionBase &node) const override {
        if (const auto *constant = dynamic_cast<const ZelkScriptConstValue *>(&node)) return constant->text;
        if (dynamic_cast<const ZelkScriptConstNull *>(&node)) return std::string();
        if (const auto *unary = dynamic_cast<const ZelkScriptUnaryExpression *>(&node)) {
            if (unary->unaryOperator != '-' || !unary->operand) raiseAt(node, kNotConstant);
            const int64_t value = evaluateInteger(*unary->operand);
            if (value == INT64_MIN) return formatNumberResult(-static_cast<double>(value));
            return std::to_string(-value);
        }
        if (const auto *binary = dynamic_cast<const ZelkScriptBinaryExpression *>(&node)) {
            if (!binary->left || !binary->right) raiseAt(node, kNotConstant);
            const int32_t op = binary->binaryOperator;
            if (op != '+' && op != '-' && op != '*' && op != '/' && op != '%') raiseAt(node, kNotConstant);
            const int64_t a = evaluateInteger(*binary->left);
            const int64_t b = evaluateInteger(*binary->right);
            return computeInteger(node, op, a, b);
        }
        raiseAt(node, kNotConstant);
    }

private:
    int64_t evaluateInteger(const ZelkScriptExpressionBase &node) const {
        const std::string text = evaluateConstant(node);
        int64_t value = 0;
        if (!valuebridge::readIntegerText(valuebridge::makeCanonicalNumberText(text), value))
            raiseAt(node, kNotConstant);
        return value;
    }

    // Overflow falls back to double arithmetic, as for any script expression.
    static std::string computeInteger(const ZelkScriptExpressionBase &node, int32_t op, int64_t a, int64_t b) {
        int64_t result = 0;
        switch (op) {
        case '+':
            if (__builtin_add_overflow(a, b, &result)) return formatNumberResult(double(a) + double(b));
            return std::to_string(result);
        case '-':
            if (__builtin_sub_overflow(a, b, &result)) return formatNumberResult(double(a) - double(b));
            return std::to_string(result);
        case '*':
            if (__builtin_mul_overflow(a, b, &result)) return formatNumberResult(double(a) * double(b));
            return std::to_string(result);
        case '/':
            if (b == 0) raiseAt(node, "division by 0");
            if (b == 1) return std::to_string(a);
            if (b == -1 && a == INT64_MIN) return formatNumberResult(-double(a));
            if (a % b == 0) return std::to_string(a / b);
            return formatNumberResult(double(a) / double(b));
        default:
            if (b == 0) raiseAt(node, "division by 0");
            if (b == -1) return "0";
            return std::to_string(a % b);
        }
    }
};

const DefaultConstantEvaluator kDefaultEvaluator;
std::atomic<const ZelkScriptConstantEvaluator *> installedEvaluator{nullptr};

} // namespace

const ZelkScriptConstantEvaluator &getDefaultConstantEvaluator() noexcept { return kDefaultEvaluator; }

const ZelkScriptConstantEvaluator &getConstantEvaluator() noexcept {
    const ZelkScriptConstantEvaluator *evaluator = installedEvaluator.load(std::memory_order_acquire);
    return evaluator ? *evaluator : kDefaultEvaluator;
}

void setConstantEvaluator(const ZelkScriptConstantEvaluator *evaluator) noexcept {
    installedEvaluator.store(evaluator, std::memory_order_release);
}

} // namespace zelkscript
