// The check before a script runs: every call must name a function that
// exists with a fitting parameter count, so a typo fails at once with a
// "maybe you mean" suggestion instead of after half the script has run.
// Scripts that include files or use libraries are not checked, since those
// can bring in functions while the script runs.
#include <vector>

#include "engine/interpreter/calls.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/interpreter/runtime.h"
#include "engine/interpreter/suggestions.h"

namespace zelkscript {

namespace {

struct TreeFunctions {
    std::vector<ZelkScriptFunctionCall *> calls;
    std::vector<ZelkScriptFunctionDefinition *> definitions;
    bool bringsInFunctions = false;
};

// Iterative walk: trees may be deep, and this must not recurse per level.
void collectTreeFunctions(ZelkScriptExpressionBase &root, TreeFunctions &found) {
    std::vector<ZelkScriptExpressionBase *> pending{&root};
    std::vector<NodeRef> children;
    std::vector<ZelkScriptExpressionBase *> ordered;
    while (!pending.empty()) {
        ZelkScriptExpressionBase *node = pending.back();
        pending.pop_back();
        if (auto *call = dynamic_cast<ZelkScriptFunctionCall *>(node)) {
            found.calls.push_back(call);
            if (call->arguments.size() == 1 && (call->functionName == "include" || call->functionName == "uselibrary"))
                found.bringsInFunctions = true;
        } else if (auto *definition = dynamic_cast<ZelkScriptFunctionDefinition *>(node)) {
            found.definitions.push_back(definition);
        }
        node->getChildren(children);
        // Push in reverse so children are visited in source order.
        for (size_t i = children.size(); i-- > 0;)
            if (children[i]) pending.push_back(children[i].get());
        // Collection literals keep their values outside getChildren.
        if (auto *literal = dynamic_cast<ZelkScriptCollectionInit *>(node)) {
            for (size_t i = literal->items.size(); i-- > 0;)
                if (literal->items[i].value) pending.push_back(literal->items[i].value.get());
        }
    }
}

ZelkScriptFunctionDeclaration declarationOf(const ZelkScriptFunctionDefinition &definition) {
    ZelkScriptFunctionDeclaration declaration;
    declaration.name = definition.name;
    declaration.parameters = definition.parameterNames;
    declaration.referenceFlags = definition.byReference;
    declaration.variadic = definition.variadic;
    return declaration;
}

std::string_view withoutGlobalPrefix(const std::string &name) {
    std::string_view view(name);
    if (view.size() >= 2 && view[0] == ':' && view[1] == ':') view.remove_prefix(2);
    return view;
}

bool callPasses(ZelkScriptContextBase &context, const TreeFunctions &found, const ZelkScriptFunctionCall &call) {
    const size_t count = call.arguments.size();
    std::string_view name = withoutGlobalPrefix(call.functionName);
    for (const ZelkScriptFunctionDefinition *definition : found.definitions)
        if (definition->name == name && declarationAcceptsArgumentCount(declarationOf(*definition), count))
            return true;
    for (const ZelkScriptUserFunction &function : context.globalScope().functions)
        if (function.name == name && declarationAcceptsArgumentCount(function, count)) return true;
    if (context.findFunction(call.functionName, count)) return true;
    return SystemFunctionTable::instance().findSystemFunction(call.functionName, count) != nullptr;
}

} // namespace

void checkBeforeRun(ZelkScriptExpressionBase &root, ZelkScriptContextBase &context) {
    TreeFunctions found;
    collectTreeFunctions(root, found);
    if (found.bringsInFunctions) return;
    for (ZelkScriptFunctionCall *call : found.calls) {
        if (callPasses(context, found, *call)) continue;
        const std::string display = formatCallDisplay(call->functionName, call->arguments.size());
        SuggestionCollector suggestions(display);
        for (const ZelkScriptFunctionDefinition *definition : found.definitions)
            suggestions.offer(formatDefinitionDisplay(declarationOf(*definition)));
        for (size_t i = context.scopeDepth(); i-- > 0;)
            for (const ZelkScriptUserFunction &function : context.scopeAt(i).functions)
                suggestions.offer(formatCandidateDisplay(function.name, function.parameters.size(), function.variadic));
        std::vector<std::string> systemCandidates;
        std::string error;
        if (!collectSystemFunctionCandidates(SystemFunctionTable::instance(), systemCandidates, error))
            context.raiseAt(*call, error);
        for (const std::string &candidate : systemCandidates) suggestions.offer(candidate);
        std::string message = "function " + display + " not existing";
        if (!suggestions.empty()) message += " maybe you mean: " + suggestions.text();
        context.raiseAt(*call, message);
    }
}

} // namespace zelkscript
