// Whole-script runs and the guard that isolates one run from the next.
#include "engine/interpreter/runtime.h"

#include <exception>
#include <memory>
#include <new>

#include "engine/frontend/parser.h"
#include "engine/interpreter/context.h"

namespace zelkscript {

OutermostRun::OutermostRun(ZelkScriptContextBase &context)
    // The global scope is made before the depth is noted: it belongs to the
    // context, not to this run, and must outlive it.
    : context_(context), depth_((context.globalScope(), context.scopeDepth())), debuggerDepth_(context.debuggerCallDepth()),
      savedReturn_(context.returnFlag), savedBreak_(context.breakFlag), savedContinue_(context.continueFlag) {
    // A return, break, goto or exit of an earlier run must not cut this one
    // short.
    context.returnFlag = context.breakFlag = context.continueFlag = false;
    context.clearPendingGoto();
    context.clearExitRequest();
    // Limits count per outermost run; nested runs (callbacks that run
    // scripts) share the outer run's budget.
    if (context.outermostRunDepth++ == 0) context.beginRunLimits();
}

OutermostRun::~OutermostRun() {
    if (--context_.outermostRunDepth == 0) context_.endRunLimits();
    context_.truncateScopes(depth_);
    context_.truncateDebuggerCalls(debuggerDepth_);
    context_.discardPostExpressions(0);
    context_.clearPendingGoto();
    context_.returnFlag = savedReturn_;
    context_.breakFlag = savedBreak_;
    context_.continueFlag = savedContinue_;
}

void runSyntaxTree(const NodeRef &root, ZelkScriptContextBase *context, ObjectRef &result) {
    result.reset();
    if (!root) return;
    std::unique_ptr<ZelkScriptContextBase> temporary;
    if (!context) {
        temporary = std::make_unique<ZelkScriptContextBase>();
        context = temporary.get();
    }
    context->clearPendingGoto();
    root->declare(*context);
    if (context->evalDepth() == 0) checkBeforeRun(*root, *context);
    context->evaluate(*root, result);
    if (context->pendingGoto) {
        std::string label = context->pendingGoto->labelName;
        context->clearPendingGoto();
        if (context->gotoLabels.count(label)) context->raiseAt(*root, "goto to label not allowed " + label, true);
        context->raiseAt(*root, "goto label not found " + label, true);
    }
}

bool runScriptText(ZelkScriptContextBase &context, std::string text, const std::string &sourceName,
                   ObjectRef &result, ZelkScriptErrorException *error) {
    result.reset();
    OutermostRun run(context);
    try {
        NodeRef root = parseScript(ZelkScriptSource(sourceName, std::move(text)));
        runSyntaxTree(root, &context, result);
        return true;
    } catch (const ZelkScriptErrorException &failure) {
        if (error) *error = failure;
    } catch (const std::bad_alloc &) {
        if (error) *error = ZelkScriptErrorException("exception occured: out of memory", sourceName, 0, 0);
    } catch (const std::exception &failure) {
        if (error)
            *error = ZelkScriptErrorException(std::string("exception occured: ") + failure.what(), sourceName, 0, 0);
    }
    result.reset();
    return false;
}

} // namespace zelkscript
