// Constant expressions evaluated while parsing (the bounds of number ranges
// in vector literals). Only literals, operators, parentheses and the
// predefined constants qualify: anything else would run script code at
// parse time, outside the host's permissions. Each evaluation uses its own
// small context, so parsers on several threads never share state.
#pragma once

#include "engine/interpreter/context.h"

namespace zelkscript {

class ZelkScriptConstContext final : public ZelkScriptContextBase {
public:
    bool hasVariable(const std::string &) override { return false; }
};

// Installs the interpreter's constant evaluator for the parser (once per
// process; later calls do nothing).
void installConstantEvaluator();

} // namespace zelkscript
