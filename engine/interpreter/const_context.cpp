// The parser's constant evaluator backed by the interpreter, so a range bound
// such as [1..2*8] or [0..pi] means exactly what it would mean in a script.
#include "engine/interpreter/const_context.h"

#include <mutex>

#include "engine/frontend/constant_evaluator.h"
#include "engine/interpreter/runtime.h"

namespace zelkscript {

namespace {

constexpr const char *kNotConstant = "invalid syntax: constant number expression expected in number range";

// Raises unless every node of the expression is a constant form. Recursion
// is bounded by the parser's nesting limit.
void requireConstantExpression(const ZelkScriptExpressionBase &node) {
    auto refuse = [&node]() {
        const ZelkScriptPosition &at = node.getPosition();
        throw ZelkScriptErrorException(kNotConstant, at.sourceName, at.line, at.column);
    };
    if (dynamic_cast<const ZelkScriptConstValue *>(&node) || dynamic_cast<const ZelkScriptConstNull *>(&node)) return;
    if (const auto *variable = dynamic_cast<const ZelkScriptVariableReference *>(&node)) {
        ObjectRef ignored;
        if (!lookupPredefinedConstant(variable->variableName, ignored)) refuse();
        return;
    }
    if (const auto *unary = dynamic_cast<const ZelkScriptUnaryExpression *>(&node)) {
        if (!unary->operand) refuse();
        requireConstantExpression(*unary->operand);
        return;
    }
    if (const auto *binary = dynamic_cast<const ZelkScriptBinaryExpression *>(&node)) {
        if (!binary->left || !binary->right) refuse();
        requireConstantExpression(*binary->left);
        requireConstantExpression(*binary->right);
        return;
    }
    if (const auto *cast = dynamic_cast<const ZelkScriptTypeCastExpression *>(&node)) {
        if (!cast->operand) refuse();
        requireConstantExpression(*cast->operand);
        return;
    }
    refuse();
}

class InterpreterConstantEvaluator final : public ZelkScriptConstantEvaluator {
public:
    std::string evaluateConstant(const ZelkScriptExpressionBase &node) const override {
        requireConstantExpression(node);
        ZelkScriptConstContext context;
        ObjectRef value;
        // The evaluation caches nothing that matters in the nodes (literal
        // facts only), and the tree is not yet shared with anyone.
        context.evaluate(const_cast<ZelkScriptExpressionBase &>(node), value);
        return value ? value->gettext() : std::string();
    }
};

} // namespace

void installConstantEvaluator() {
    static InterpreterConstantEvaluator evaluator;
    static std::once_flag once;
    std::call_once(once, [] { setConstantEvaluator(&evaluator); });
}

} // namespace zelkscript
