// The bounds of a number range in a vector literal ("[1..10]") are computed
// while parsing. The parser asks one process-wide evaluator for the value of a
// bound; the interpreter installs the real one, and until then a small
// built-in evaluator handles constant arithmetic on integers. Only constant
// expressions qualify: evaluating anything else at parse time would run
// script code outside the host's control.
#pragma once

#include <string>

namespace zelkscript {

class ZelkScriptExpressionBase;

class ZelkScriptConstantEvaluator {
public:
    virtual ~ZelkScriptConstantEvaluator() = default;
    // The value text of a constant expression, or a raised
    // ZelkScriptErrorException. Must keep no state: parsers on several
    // threads call it at once.
    virtual std::string evaluateConstant(const ZelkScriptExpressionBase &node) const = 0;
};

// The evaluator in use; never null.
const ZelkScriptConstantEvaluator &getConstantEvaluator() noexcept;
// Installs an evaluator that must outlive every parse; null restores the
// built-in one.
void setConstantEvaluator(const ZelkScriptConstantEvaluator *evaluator) noexcept;

// The built-in evaluator: literals, unary minus, and + - * / % on integers.
// Anything else raises "invalid syntax: constant number expression expected in
// number range" at the offending node.
const ZelkScriptConstantEvaluator &getDefaultConstantEvaluator() noexcept;

} // namespace zelkscript
