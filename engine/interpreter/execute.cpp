// What each statement node does when it runs. Control flow travels as flags
// in the context (return, break, continue, exit, a pending goto) that every
// compound statement inspects after each child. Scopes, loop flags and the
// const flag of a foreach variable are restored by guards on every way out,
// including errors and exit, so a failed run never leaves the context in a
// state the next run would trip over.
#include <climits>

#include "engine/interpreter/context.h"
#include "engine/interpreter/exception_structure.h"
#include "engine/interpreter/operators.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

namespace {

// Restores the scope depth, the debugger's call depth and the loop flags of
// the enclosing statement when a loop or block is left by an error.
class LoopGuard {
public:
    LoopGuard(ZelkScriptContextBase &context, bool saveLoopFlags)
        : context_(context), depth_(context.scopeDepth()), debuggerDepth_(context.debuggerCallDepth()),
          savedBreak_(context.breakFlag), savedContinue_(context.continueFlag), restoreFlags_(saveLoopFlags) {
        if (saveLoopFlags) context.breakFlag = context.continueFlag = false;
    }
    ~LoopGuard() {
        if (active_) {
            context_.truncateScopes(depth_);
            context_.truncateDebuggerCalls(debuggerDepth_);
            restoreFlags();
        }
    }
    LoopGuard(const LoopGuard &) = delete;
    LoopGuard &operator=(const LoopGuard &) = delete;

    // The normal way out: pop the loop's scope, restore the flags and report
    // whether the stack is as it was.
    bool leave() {
        active_ = false;
        context_.popScope();
        restoreFlags();
        bool balanced = context_.scopeDepth() == depth_ && context_.debuggerCallDepth() == debuggerDepth_;
        if (!balanced) {
            context_.truncateScopes(depth_);
            context_.truncateDebuggerCalls(debuggerDepth_);
        }
        return balanced;
    }

private:
    void restoreFlags() {
        if (restoreFlags_) {
            context_.breakFlag = savedBreak_;
            context_.continueFlag = savedContinue_;
        }
    }

    ZelkScriptContextBase &context_;
    size_t depth_;
    size_t debuggerDepth_;
    bool savedBreak_;
    bool savedContinue_;
    bool restoreFlags_;
    bool active_ = true;
};

// Evaluates a condition: a null result counts as `nullMeaning`; anything
// else must convert to a boolean.
bool evaluateCondition(ZelkScriptContextBase &context, ZelkScriptExpressionBase &owner, const NodeRef &condition,
                       bool nullMeaning) {
    if (!condition) return nullMeaning;
    ObjectRef value;
    context.evaluate(condition, value);
    if (!value) return nullMeaning;
    bool truth = false;
    std::string error;
    if (!convertToBoolean(value.get(), truth, error)) context.raiseAt(owner, error);
    return truth;
}

// Runs a statement and its due post-expressions; on an error the
// post-expressions it registered are dropped rather than left for later.
void runStatement(ZelkScriptContextBase &context, const NodeRef &statement, ObjectRef &result) {
    const size_t mark = context.postExpressionMark();
    const ZelkScriptExpressionBase *enclosing = context.currentStatement;
    context.currentStatement = statement.get();
    try {
        context.evaluate(statement, result);
    } catch (...) {
        context.discardPostExpressions(mark);
        context.currentStatement = enclosing;
        throw;
    }
    context.runPostExpressions(mark);
    context.currentStatement = enclosing;
}

enum class LoopStep { Continue, Stop };

// What a loop does after its body ran: exit and return end it, break ends
// it, continue is consumed, a pending goto ends it so an enclosing statement
// list can look for the label.
LoopStep afterLoopBody(ZelkScriptContextBase &context, const ObjectRef &bodyValue, ObjectRef &result) {
    if (context.exitRequested()) {
        result.reset();
        return LoopStep::Stop;
    }
    if (context.returnFlag) {
        result = bodyValue;
        return LoopStep::Stop;
    }
    if (context.breakFlag) {
        context.breakFlag = context.continueFlag = false;
        return LoopStep::Stop;
    }
    if (context.continueFlag) context.continueFlag = false;
    if (context.pendingGoto) return LoopStep::Stop;
    return LoopStep::Continue;
}

} // namespace

// ---------------------------------------------------------------------------
// Statement lists and goto
// ---------------------------------------------------------------------------

void ZelkScriptStatements::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    const size_t count = statements.size();
    uint64_t gotoCount = 0;
    ObjectRef last;
    size_t i = 0;
    while (i < count) {
        if (const NodeRef &statement = statements[i]) runStatement(context, statement, last);
        if (context.pendingGoto) {
            const std::string &label = context.pendingGoto->labelName;
            size_t target = count;
            for (size_t j = 0; j < count; ++j) {
                auto *definition = dynamic_cast<ZelkScriptGotoLabelDefinition *>(statements[j].get());
                if (!definition || definition->labelName != label) continue;
                if (target != count)
                    context.raiseAt(*definition, "label is defined twice in same scope: " + label, true);
                target = j;
            }
            if (target == count) {
                result = std::move(last);
                return;
            }
            ++gotoCount;
            context.clearPendingGoto();
            if (gotoCount > context.maxLoopCount) context.raiseAt(*statements[target], "goto loop never ending", true);
            i = target + 1;
            continue;
        }
        if (context.exitRequested()) {
            result.reset();
            return;
        }
        if (context.returnFlag || context.breakFlag || context.continueFlag) {
            result = std::move(last);
            return;
        }
        ++i;
    }
    result = std::move(last);
}

void ZelkScriptGotoStatement::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    context.setPendingGoto(this);
    result.reset();
}

void ZelkScriptGotoLabelDefinition::declare(ZelkScriptContextBase &context) {
    if (!labelName.empty()) context.gotoLabels.insert(labelName);
}

void ZelkScriptGotoLabelDefinition::execute(ObjectRef &result, ZelkScriptContextBase &) { result.reset(); }

void ZelkScriptLoopBreak::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    context.breakFlag = true;
    result.reset();
}

void ZelkScriptLoopContinue::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    context.continueFlag = true;
    result.reset();
}

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------

void ZelkScriptDefineVariables::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    std::string error;
    for (size_t i = 0; i < names.size(); ++i) {
        const ZelkScriptPosition &where = i < positions.size() ? positions[i] : position;
        if (kind == TOKEN_UNDEFINE) {
            if (!context.removeVariable(names[i], error)) context.raiseAt(where, error);
            continue;
        }
        ObjectRef value;
        if (i < initializers.size() && initializers[i]) {
            context.evaluate(initializers[i], value);
            const bool byReference = i < assignmentOperators.size() && assignmentOperators[i] == TOKEN_ASSIGN_REFERENCE;
            if (!byReference && value && !value->isexternal()) {
                ObjectRef copy;
                if (!copyValue(value, copy, error)) context.raiseAt(where, error);
                // A fresh copy becomes the variable itself.
                if (copy && !automatic) {
                    if (!context.defineOwnedVariable(names[i], std::move(copy), error)) context.raiseAt(where, error);
                    continue;
                }
                value = std::move(copy);
            }
        }
        if (!context.defineVariable(names[i], value, error, automatic)) context.raiseAt(where, error);
    }
    result.reset();
    if (!names.empty() && kind != TOKEN_UNDEFINE) {
        if (ObjectRef *slot = context.findVariableSlot(VariableName(names.back()), LookupMode::Visible))
            result = *slot;
    }
}

void ZelkScriptFunctionDefinition::execute(ObjectRef &result, ZelkScriptContextBase &) { result.reset(); }

// ---------------------------------------------------------------------------
// Conditionals and blocks
// ---------------------------------------------------------------------------

void ZelkScriptIfThenElse::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!condition) context.raiseAt(*this, "condition expected", true);
    const size_t mark = context.postExpressionMark();
    ObjectRef value;
    context.evaluate(condition, value);
    if (!value) context.raiseAt(*this, "condition expected", true);
    bool truth = false;
    std::string error;
    if (!convertToBoolean(value.get(), truth, error)) context.raiseAt(*this, error);
    const bool isIf = kind == TOKEN_IF;
    if (isIf) context.runPostExpressions(mark);
    const NodeRef &branch = truth ? thenBranch : elseBranch;
    if (branch)
        context.evaluate(branch, result);
    else
        result = makeLongObject(0);
    if (isIf) context.runPostExpressions(mark);
}

void ZelkScriptEnterScope::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    LoopGuard guard(context, false);
    context.pushScope();
    ObjectRef value;
    if (body) context.evaluate(body, value);
    guard.leave();
    result = std::move(value);
}

// ---------------------------------------------------------------------------
// Loops
// ---------------------------------------------------------------------------

void ZelkScriptForLoop::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    LoopGuard guard(context, true);
    context.pushScope();
    result.reset();
    const size_t mark = context.postExpressionMark();
    ObjectRef scratch;
    if (initialization) {
        context.evaluate(initialization, scratch);
        context.runPostExpressions(mark);
    }
    uint64_t passes = 0;
    while (true) {
        const bool holds = evaluateCondition(context, *this, condition, true);
        context.runPostExpressions(mark);
        if (!holds) break;
        if (passes > context.maxLoopCount) context.raiseAt(*this, "loop never ending");
        ++passes;
        ObjectRef bodyValue;
        if (body) {
            context.evaluate(body, bodyValue);
            context.runPostExpressions(mark);
        }
        if (afterLoopBody(context, bodyValue, result) == LoopStep::Stop) break;
        if (step) {
            context.evaluate(step, scratch);
            context.runPostExpressions(mark);
        }
    }
    if (!guard.leave()) context.raiseAt(*this, "wrong scope after for loop");
}

void ZelkScriptUntilLoop::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    LoopGuard guard(context, true);
    context.pushScope();
    result.reset();
    const size_t mark = context.postExpressionMark();
    const bool whileTrue = kind == TOKEN_WHILE;
    uint64_t passes = 0;
    while (true) {
        if (passes > context.maxLoopCount) context.raiseAt(*this, "loop never ending");
        ++passes;
        ObjectRef bodyValue;
        if (body) {
            context.evaluate(body, bodyValue);
            context.runPostExpressions(mark);
        }
        if (afterLoopBody(context, bodyValue, result) == LoopStep::Stop) break;
        const bool holds = evaluateCondition(context, *this, condition, true);
        context.runPostExpressions(mark);
        if (holds != whileTrue) break;
    }
    if (!guard.leave()) context.raiseAt(*this, "wrong scope after loop");
}

void ZelkScriptForeachLoop::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!collection) context.raiseAt(*this, "collection missing in foreach loop");
    LoopGuard guard(context, true);
    context.pushScope();
    result.reset();
    std::string error;
    if (declareVariable && !context.defineVariable(variableName, ObjectRef(), error))
        context.raiseAt(variablePosition, error);
    const size_t mark = context.postExpressionMark();
    ObjectRef items;
    context.evaluate(collection, items);
    int64_t vectorSize = 0;
    NameList memberNames;
    const bool overVector = items && items->gettype() == ValueTypeVector;
    const bool overStructure = items && items->gettype() == ValueTypeStructure;
    if (overVector) {
        if (!items->vectorsize(vectorSize, error)) context.raiseAt(*this, error);
    } else if (overStructure) {
        if (!items->getstructurefields(memberNames, error)) context.raiseAt(*this, error);
    }
    const int64_t passCount = overVector ? vectorSize : static_cast<int64_t>(memberNames.size());

    ObjectRef variable;
    if (!context.getVariable(variableName, variable, error) || !variable)
        context.raiseAt(variablePosition, "foreach variable not defined: " + variableName);
    // The loop variable cannot be assigned while the body runs; its own
    // const flag comes back on every way out.
    struct ConstRestore {
        ObjectRef variable;
        bool saved;
        bool detach;
        ~ConstRestore() {
            variable->setconst(saved);
            if (detach) {
                // The variable outlives the loop: give it its own copy of the
                // last element so that later assignments to it do not write
                // into the collection.
                ObjectRef copy;
                std::string ignored;
                if (copyValue(variable, copy, ignored) && copy && !variable->isexternal()) {
                    bool constant = variable->isconst();
                    variable->setconst(false);
                    variable->assignreference(copy, ignored);
                    variable->setconst(constant);
                }
            }
        }
    } restore{variable, variable->isconst(), !declareVariable};
    variable->setconst(true);
    context.runPostExpressions(mark);

    for (int64_t pass = 0; pass < passCount; ++pass) {
        ObjectRef element;
        if (overVector) {
            // A body that shrinks the vector ends the loop instead of
            // growing it back through element access.
            int64_t currentSize = 0;
            if (!items->vectorsize(currentSize, error)) context.raiseAt(*this, error);
            if (pass >= currentSize) break;
            if (!items->accessvectorelement(pass, element, error)) context.raiseAt(*this, error);
        } else {
            element = makeStringObject(memberNames[static_cast<size_t>(pass)]);
        }
        variable->setconst(false);
        bool bound = variable->assignreference(element, error);
        variable->setconst(true);
        if (!bound) context.raiseAt(*this, error);
        ObjectRef bodyValue;
        if (body) {
            context.evaluate(body, bodyValue);
            context.runPostExpressions(mark);
        }
        if (afterLoopBody(context, bodyValue, result) == LoopStep::Stop) break;
    }
    if (!guard.leave()) context.raiseAt(*this, "wrong scope after foreach loop");
}

// ---------------------------------------------------------------------------
// Switch
// ---------------------------------------------------------------------------

void ZelkScriptCaseStatement::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    ObjectRef first;
    if (from) context.evaluate(from, first);
    if (!till) {
        result = std::move(first);
        return;
    }
    ObjectRef last;
    context.evaluate(till, last);
    ObjectRef range = makeVectorObject();
    auto *handler = static_cast<ZelkScriptObjectVectorHandler *>(range->handler());
    handler->appendElement(std::move(first));
    handler->appendElement(std::move(last));
    result = std::move(range);
}

namespace {

// The key a case value enters the lookup table with: its canonical number
// text, so "case 5.0:" and "case 5:" are the same key, as they are when the
// subject is compared.
std::string caseKey(std::string_view text) { return canonicalNumberText(text); }

bool constantText(const NodeRef &node, std::string &text) {
    auto *constant = dynamic_cast<ZelkScriptConstValue *>(node.get());
    if (!constant) return false;
    text = constant->text;
    return true;
}

void buildCaseLookup(ZelkScriptSwitchStatement &node) {
    auto &table = node.caseLookup;
    for (size_t i = 0; i < node.items.size(); ++i) {
        auto *label = dynamic_cast<ZelkScriptCaseStatement *>(node.items[i].get());
        if (!label) continue;
        if (label->isDefault) return;
        std::string from, till;
        if (!constantText(label->from, from)) return;
        if (!label->till) {
            table.emplace(caseKey(from), i);
            continue;
        }
        if (!constantText(label->till, till)) return;
        int64_t low = 0, high = 0, span = 0;
        if (textToInteger(from, low) && textToInteger(till, high)) {
            if (low > high) continue;
            if (__builtin_sub_overflow(high, low, &span) || span > 20) return;
            for (int64_t v = low; v <= high; ++v) table.emplace(formatLong(v), i);
            continue;
        }
        if (from.size() == 1 && till.size() == 1) {
            unsigned first = static_cast<unsigned char>(from[0]), last = static_cast<unsigned char>(till[0]);
            for (unsigned c = first; c <= last; ++c) table.emplace(std::string(1, static_cast<char>(c)), i);
            continue;
        }
        return;
    }
}

bool caseMatches(ZelkScriptContextBase &context, ZelkScriptExpressionBase &owner, const ObjectRef &label,
                 const ObjectRef &subject, const std::string &subjectText) {
    const bool labelNull = !label || label->isnull();
    const bool subjectNull = !subject || subject->isnull();
    std::string error;
    if (label && label->gettype() == ValueTypeVector) {
        ObjectRef low, high;
        label->getvectorelement(0, low, error);
        label->getvectorelement(1, high, error);
        bool above = false, below = false;
        if (!compareValues(TOKEN_LESS_EQUAL, true, low, subject, above, error) ||
            !compareValues(TOKEN_LESS_EQUAL, true, subject, high, below, error))
            context.raiseAt(owner, error);
        return above && below;
    }
    if (labelNull || subjectNull) return labelNull && subjectNull;
    label->normalizenumbertext();
    std::string scratch;
    return label->viewText(scratch) == subjectText;
}

} // namespace

void ZelkScriptSwitchStatement::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    const size_t mark = context.postExpressionMark();
    ObjectRef value;
    std::string subjectText;
    if (subject) {
        context.evaluate(subject, value);
        if (value) {
            value->normalizenumbertext();
            subjectText = value->gettext();
        }
    }
    context.runPostExpressions(mark);
    if (!lookupBuilt) {
        buildCaseLookup(*this);
        lookupBuilt = true;
    }
    size_t start = 0;
    if (auto found = caseLookup.find(subjectText); found != caseLookup.end()) start = found->second;

    size_t selected = items.size();
    for (size_t i = start; i < items.size(); ++i) {
        auto *label = dynamic_cast<ZelkScriptCaseStatement *>(items[i].get());
        if (!label) continue;
        if (label->isDefault) {
            selected = i;
            break;
        }
        ObjectRef labelValue;
        context.evaluate(items[i], labelValue);
        context.runPostExpressions(mark);
        if (caseMatches(context, *this, labelValue, value, subjectText)) {
            selected = i;
            break;
        }
    }
    result.reset();
    context.breakFlag = false;
    for (size_t i = selected; i < items.size(); ++i) {
        if (!items[i] || dynamic_cast<ZelkScriptCaseStatement *>(items[i].get())) continue;
        ObjectRef statementValue;
        runStatement(context, items[i], statementValue);
        if (context.exitRequested()) {
            result.reset();
            return;
        }
        if (context.returnFlag) {
            result = std::move(statementValue);
            break;
        }
        if (context.breakFlag || context.continueFlag || context.pendingGoto) break;
    }
    context.breakFlag = false;
}

// ---------------------------------------------------------------------------
// Return and try/catch
// ---------------------------------------------------------------------------

void ZelkScriptFunctionReturn::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    const size_t mark = context.postExpressionMark();
    ObjectRef handed;
    if (value) {
        ObjectRef computed;
        context.evaluate(value, computed);
        std::string error;
        if (!copyValueInto(computed, handed, resultSlot, error)) context.raiseAt(*this, error);
    }
    context.runPostExpressions(mark);
    context.returnFlag = true;
    result = std::move(handed);
}

[[noreturn]] void raiseUnresolvedGoto(ZelkScriptContextBase &context, const ZelkScriptExpressionBase &where) {
    std::string label = context.pendingGoto ? context.pendingGoto->labelName : std::string();
    context.clearPendingGoto();
    if (context.gotoLabels.count(label))
        context.raiseAt(where, "goto to label not allowed: " + label, true);
    context.raiseAt(where, "goto label not found: " + label, true);
}

void ZelkScriptTryCatch::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    const size_t depth = context.scopeDepth();
    const size_t debuggerDepth = context.debuggerCallDepth();
    ObjectRef value;
    try {
        if (body) context.evaluate(body, value);
        if (context.pendingGoto) raiseUnresolvedGoto(context, *this);
        result = std::move(value);
        return;
    } catch (const ZelkScriptErrorException &error) {
        context.truncateScopes(depth);
        context.truncateDebuggerCalls(debuggerDepth);
        if (error.isFatal()) throw;
        ObjectRef caught = makeExceptionStructure(error);
        result.reset();
        if (!handler && catchVariable.empty()) return;
        LoopGuard guard(context, false);
        context.pushScope();
        std::string message;
        if (!catchVariable.empty()) {
            if (declareVariable) {
                if (!context.defineVariable(catchVariable, caught, message)) context.raiseAt(*this, message);
            } else {
                ObjectRef target;
                if (!context.getVariable(catchVariable, target, message) || !target)
                    context.raiseAt(*this, "variable " + catchVariable + " is not defined", true);
                if (!target->assignvalue(caught, message)) context.raiseAt(*this, message);
            }
        }
        ObjectRef handled;
        if (handler) context.evaluate(handler, handled);
        guard.leave();
        result = std::move(handled);
    }
}

} // namespace zelkscript
