// Function calls: resolution (user functions, then extensions, then the
// system function table), argument binding with reference parameters and the
// trailing "...", the two scopes a call pushes, the depth limit, and the
// function call node with its per-node resolution cache.
#include "engine/interpreter/calls.h"

#include <exception>
#include <new>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

bool isGlobalName(const std::string &name) { return name.size() >= 2 && name[0] == ':' && name[1] == ':'; }

// Restores the return flag and the scope depth of the caller on every way
// out of a call.
class CallGuard {
public:
    CallGuard(ZelkScriptContextBase &context, size_t depth)
        : context_(context), depth_(depth), savedReturn_(context.returnFlag) {
        context.returnFlag = false;
    }
    ~CallGuard() {
        context_.truncateScopes(depth_);
        context_.returnFlag = savedReturn_;
    }
    CallGuard(const CallGuard &) = delete;
    CallGuard &operator=(const CallGuard &) = delete;

private:
    ZelkScriptContextBase &context_;
    size_t depth_;
    bool savedReturn_;
};

// Records the call node for the position functions while the call runs.
class CallNodeEntry {
public:
    CallNodeEntry(ZelkScriptContextBase &context, const ZelkScriptExpressionBase *node) : context_(context) {
        context.callNodes.push_back(node);
    }
    ~CallNodeEntry() { context_.callNodes.pop_back(); }
    CallNodeEntry(const CallNodeEntry &) = delete;
    CallNodeEntry &operator=(const CallNodeEntry &) = delete;

private:
    ZelkScriptContextBase &context_;
};

} // namespace

// The argument values of one call, in a list the context keeps for reuse: a
// call allocates no list of its own, and nested calls take the next one.
class ArgumentList {
public:
    ArgumentList(ZelkScriptContextBase &context, size_t count) : context_(context) {
        auto &lists = context.argumentLists_;
        if (context.argumentListsInUse_ == lists.size()) lists.push_back(std::make_unique<std::vector<ObjectRef>>());
        values_ = lists[context.argumentListsInUse_++].get();
        values_->resize(count);
    }
    ~ArgumentList() {
        values_->clear();
        --context_.argumentListsInUse_;
    }
    ArgumentList(const ArgumentList &) = delete;
    ArgumentList &operator=(const ArgumentList &) = delete;

    std::vector<ObjectRef> &values() { return *values_; }

private:
    ZelkScriptContextBase &context_;
    std::vector<ObjectRef> *values_;
};

const ZelkScriptUserFunction *findUserFunction(ZelkScriptContextBase &context, const std::string &name,
                                               size_t argumentCount) {
    const bool global = isGlobalName(name);
    std::string_view wanted(name);
    if (global) wanted.remove_prefix(2);
    const ZelkScriptUserFunction *variadicFallback = nullptr;
    const size_t depth = context.scopeDepth();
    for (size_t i = depth; i-- > 0;) {
        if (global && i != 0) continue;
        for (const ZelkScriptUserFunction &function : context.scopeAt(i).functions) {
            if (function.name != wanted) continue;
            if (function.variadic) {
                variadicFallback = &function;
            } else if (function.parameters.size() == argumentCount) {
                return &function;
            }
        }
    }
    return variadicFallback;
}

void defineUserFunction(ZelkScriptContextBase &context, ZelkScriptUserFunction function) {
    auto &functions = context.currentScope().functions;
    // Running the same definition again (a host evaluating a script once
    // more) replaces it instead of piling up copies that every call would
    // have to scan past.
    for (ZelkScriptUserFunction &existing : functions) {
        if (existing.name == function.name && existing.parameters.size() == function.parameters.size() &&
            existing.variadic == function.variadic) {
            existing = std::move(function);
            context.noteFunctionsChanged();
            return;
        }
    }
    functions.push_back(std::move(function));
    context.noteFunctionsChanged();
}

bool invokeDefinition(ZelkScriptContextBase &context, const ZelkScriptUserFunction &definition,
                      std::vector<ObjectRef> &arguments, ObjectRef &result, std::string &error,
                      const ZelkScriptPosition &position, ZelkScriptUserExtension *extension) {
    const size_t depth = context.scopeDepth();
    // Native code (sorting with a compare function, callfunction) reaches
    // here without the call node's check, so the limit is enforced here too.
    if (depth >= context.maxScopeDepth) {
        error = "too many recursive calls";
        return false;
    }
    CallGuard guard(context, depth);
    // Binding runs no script code, so the definition is read in place; only
    // the body is held, since running it may redefine the function.
    const ZelkScriptUserFunction &function = definition;
    const NodeRef body = definition.body;
    const bool variadic = definition.variadic;
    context.pushScope(function.name);
    const size_t parameterCount = function.parameters.size();
    for (size_t i = 0; i < parameterCount; ++i) {
        const std::string &parameter = function.parameters[i];
        const bool byReference = i < function.referenceFlags.size() && function.referenceFlags[i];
        bool ok = true;
        if (i < arguments.size() && byReference) {
            ok = context.defineReference(parameter, arguments[i], error, false);
        } else if (i < arguments.size()) {
            const ObjectRef &value = arguments[i];
            if (value && !value->isexternal()) {
                ObjectRef copy;
                if (!copyValue(value, copy, error)) return false;
                ok = copy ? context.defineOwnedVariable(parameter, std::move(copy), error)
                          : context.defineVariable(parameter, copy, error, false);
            } else {
                ok = context.defineVariable(parameter, value, error, false);
            }
        } else {
            ok = context.defineVariable(parameter, ObjectRef(), error, false);
        }
        if (!ok) return false;
    }
    if (variadic) {
        ObjectRef all = makeVectorObject();
        auto *vector = static_cast<ZelkScriptObjectVectorHandler *>(all->handler());
        vector->reserveElements(arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            const bool named = i < parameterCount;
            const bool byReference = named && i < function.referenceFlags.size() && function.referenceFlags[i];
            if (named && !byReference && arguments[i] && !arguments[i]->isexternal()) {
                ObjectRef copy;
                if (!copyValue(arguments[i], copy, error)) return false;
                vector->appendElement(std::move(copy));
            } else {
                vector->appendElement(arguments[i]);
            }
        }
        if (!context.defineVariable(function.name, all, error, false)) return false;
    }
    context.pushScope();
    bool ok = true;
    if (extension) {
        // The name is copied: the extension may change its definitions.
        const std::string name = function.name;
        ok = extension->callFunction(name, arguments, result, error, position);
    } else if (body) {
        context.evaluate(body, result);
        if (context.pendingGoto) {
            // A goto may not leave a function body.
            std::string label = context.pendingGoto->labelName;
            context.clearPendingGoto();
            context.raiseAt(position,
                            (context.gotoLabels.count(label) ? "goto to label not allowed: " : "goto label not found: ") +
                                label,
                            true);
        }
    }
    return ok;
}

bool callFunction(ZelkScriptContextBase &context, const std::string &name, std::vector<ObjectRef> &arguments,
                  ObjectRef &result, std::string &error, const ZelkScriptPosition &position) {
    result.reset();
    error.clear();
    if (name.empty()) {
        error = "function call requires a function name";
        return false;
    }
    if (const ZelkScriptUserFunction *function = findUserFunction(context, name, arguments.size())) {
        if (!function->body) {
            error = "function has no implementation " + name;
            return false;
        }
        return invokeDefinition(context, *function, arguments, result, error, position, nullptr);
    }
    for (const auto &extension : context.extensions()) {
        if (const ZelkScriptUserFunction *function = extension->findFunction(name, arguments.size()))
            return invokeDefinition(context, *function, arguments, result, error, position, extension.get());
    }
    if (const SystemFunctionEntry *entry = SystemFunctionTable::instance().findSystemFunction(name, arguments.size()))
        return callSystemFunction(context, *entry, arguments, result, error);
    error = "function not found: " + makeCallSignature(name, arguments.size());
    return false;
}

bool callSystemFunction(ZelkScriptContextBase &context, const SystemFunctionEntry &entry,
                        std::vector<ObjectRef> &arguments, ObjectRef &result, std::string &error) {
    if (!entry.implementation) {
        error = "function not implemented: " + std::string(entry.name);
        return false;
    }
    return entry.implementation(context, std::span<ObjectRef>(arguments), result, error);
}

// ---------------------------------------------------------------------------
// The call node
// ---------------------------------------------------------------------------

void ZelkScriptFunctionCall::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    const size_t mark = context.postExpressionMark();
    ArgumentList argumentList(context, arguments.size());
    std::vector<ObjectRef> &values = argumentList.values();
    for (size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i]) context.evaluate(arguments[i], values[i]);
    context.runPostExpressions(mark);
    if (context.scopeDepth() >= context.maxScopeDepth) context.raiseAt(*this, "too many recursive calls");

    const size_t depth = context.scopeDepth();
    const size_t debuggerDepth = context.debuggerCallDepth();
    std::string error;
    bool ok = false;
    result.reset();
    try {
        // What a name resolves to changes only when functions are defined or
        // extensions registered; until then the node reuses its answer.
        if (cacheContext != &context || cacheEpoch != context.functionEpoch()) {
            cacheContext = &context;
            cacheEpoch = context.functionEpoch();
            cachedUser = findUserFunction(context, functionName, values.size());
            cachedExtension = nullptr;
            cachedSystem = nullptr;
            if (!cachedUser) {
                for (const auto &extension : context.extensions()) {
                    if (extension->findFunction(functionName, values.size())) {
                        cachedExtension = extension.get();
                        break;
                    }
                }
                if (!cachedExtension)
                    cachedSystem = SystemFunctionTable::instance().findSystemFunction(functionName, values.size());
            }
        }
        CallGuard guard(context, depth);
        if (cachedUser) {
            if (!cachedUser->body) {
                error = "function has no implementation " + functionName;
            } else {
                CallNodeEntry entry(context, this);
                ok = invokeDefinition(context, *cachedUser, values, result, error, getPosition(), nullptr);
            }
        } else if (cachedExtension) {
            const ZelkScriptUserFunction *function = cachedExtension->findFunction(functionName, values.size());
            if (function) {
                CallNodeEntry entry(context, this);
                ok = invokeDefinition(context, *function, values, result, error, getPosition(), cachedExtension);
            }
            else
                error = "function not found: " + makeCallSignature(functionName, values.size());
        } else if (cachedSystem) {
            ok = callSystemFunction(context, *cachedSystem, values, result, error);
        } else if (functionName.empty()) {
            error = "function call requires a function name";
        } else {
            error = "function not found: " + makeCallSignature(functionName, values.size());
        }
        if (context.scopeDepth() != depth || context.debuggerCallDepth() != debuggerDepth) {
            context.truncateDebuggerCalls(debuggerDepth);
            error = "wrong scope after function call";
            ok = false;
        }
    } catch (const ZelkScriptErrorException &) {
        throw;
    } catch (const std::bad_alloc &) {
        context.raiseAt(*this, "exception occured: out of memory");
    } catch (const std::exception &failure) {
        const char *what = failure.what();
        context.raiseAt(*this, std::string("exception occured: ") + (what && *what ? what : "unknown"));
    }
    if (!ok) {
        if (error.empty()) error = "function not existing: " + makeCallSignature(functionName, values.size());
        context.raiseAt(*this, error);
    }
}

// ---------------------------------------------------------------------------
// The declare walk
// ---------------------------------------------------------------------------

void ZelkScriptFunctionDefinition::declare(ZelkScriptContextBase &context) {
    ZelkScriptUserFunction function;
    function.name = name;
    function.parameters = parameterNames;
    function.referenceFlags = byReference;
    function.variadic = variadic;
    function.body = body;
    defineUserFunction(context, std::move(function));
    if (body) body->declare(context);
}

void ZelkScriptStatements::declare(ZelkScriptContextBase &context) {
    for (const NodeRef &statement : statements)
        if (statement) statement->declare(context);
}

} // namespace zelkscript
