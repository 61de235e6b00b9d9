// Running whole scripts: parse, the declare walk, the pre-run check and the
// root's execution, inside a guard that gives every outermost run a clean
// start (no flags left over from an earlier run) and restores the scope
// depth it began with, however the run ends.
#pragma once

#include <string>
#include <string_view>

#include "engine/frontend/syntax_tree.h"
#include "engine/interpreter/script_error.h"
#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptContextBase;

// The predefined constants (pi, e, FILE_ATTRIBUTE_...) as new constant
// objects; false for any other name.
bool lookupPredefinedConstant(std::string_view name, ObjectRef &result);

// Raises "function ... not existing" (with suggestions) for the first call
// in the tree that no function answers, unless the tree includes files or
// uses libraries.
void checkBeforeRun(ZelkScriptExpressionBase &root, ZelkScriptContextBase &context);

// Runs a parsed tree in the context: declare walk, pre-run check at eval
// depth 0, execution. Raises ZelkScriptErrorException on a script error.
// Without a context a temporary one is used.
void runSyntaxTree(const NodeRef &root, ZelkScriptContextBase *context, ObjectRef &result);

// Saves and clears the control-flow state of a context for one outermost run
// and restores it, with the scope depth, when the run ends.
class OutermostRun {
public:
    explicit OutermostRun(ZelkScriptContextBase &context);
    ~OutermostRun();
    OutermostRun(const OutermostRun &) = delete;
    OutermostRun &operator=(const OutermostRun &) = delete;

private:
    ZelkScriptContextBase &context_;
    size_t depth_;
    size_t debuggerDepth_;
    bool savedReturn_, savedBreak_, savedContinue_;
};

// Parses and runs a script text as one outermost run. On failure the error
// is in `error` and false is answered; the context keeps what the script did
// before the error.
bool runScriptText(ZelkScriptContextBase &context, std::string text, const std::string &sourceName,
                   ObjectRef &result, ZelkScriptErrorException *error);

} // namespace zelkscript
