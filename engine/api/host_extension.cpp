// Host functions, constants and live-data bookkeeping of a host context.
#include "engine/api/host_extension.h"

#include <memory>
#include <new>

#include "engine/api/data_ids.h"
#include "engine/api/host_callbacks.h"
#include "engine/api/lib_context.h"
#include "engine/interpreter/function_table.h"
#include "engine/interpreter/user_function.h"
#include "engine/values/conversions.h"

namespace zelkscript {

namespace {

constexpr const char *kStringsCallbackName = "zelkscript_callback_callfunction_strings";
constexpr const char *kDataIdsCallbackName = "zelkscript_callback_callfunction_dataids";

const ZelkScriptUserFunction *findDefinition(const std::deque<ZelkScriptUserFunction> &list, const std::string &name,
                                             size_t argumentCount) {
    for (const ZelkScriptUserFunction &function : list)
        if (function.parameters.size() == argumentCount && function.name == name) return &function;
    return nullptr;
}

} // namespace

ZelkScriptLibExtension::ZelkScriptLibExtension(ZelkScriptLibContext &context)
    : ZelkScriptUserExtension("ZelkScriptLibExtension"), context_(context) {}

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

bool ZelkScriptLibExtension::hasValue(const std::string &name) { return constants_.count(name) != 0; }

bool ZelkScriptLibExtension::getValue(const std::string &name, ObjectRef &result) {
    const auto found = constants_.find(name);
    if (found == constants_.end()) {
        result.reset();
        return false;
    }
    result = makeStringObject(found->second);
    return true;
}

void ZelkScriptLibExtension::setConstant(std::string name, std::string value) {
    constants_.insert_or_assign(std::move(name), std::move(value));
}

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------

const ZelkScriptUserFunction *ZelkScriptLibExtension::findFunction(const std::string &name, size_t argumentCount) {
    if (const ZelkScriptUserFunction *function = findDefinition(textFunctions_, name, argumentCount)) return function;
    return findDefinition(dataIdFunctions_, name, argumentCount);
}

bool ZelkScriptLibExtension::defineFunction(std::string_view prototype, FunctionKind kind, std::string &error) {
    ZelkScriptUserFunction function;
    if (!parseUserFunctionPrototype(prototype, function, error)) return false;
    (kind == FunctionKind::Texts ? textFunctions_ : dataIdFunctions_).push_back(std::move(function));
    // Call nodes cache what a name resolves to; the new definition may
    // change that.
    context_.noteFunctionsChanged();
    error.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Calls
// ---------------------------------------------------------------------------

bool ZelkScriptLibExtension::callFunction(const std::string &name, std::vector<ObjectRef> &arguments,
                                          ObjectRef &result, std::string &error, const ZelkScriptPosition &) {
    result.reset();
    const ZelkScriptUserFunction *textFunction = findDefinition(textFunctions_, name, arguments.size());
    const ZelkScriptUserFunction *dataIdFunction = findDefinition(dataIdFunctions_, name, arguments.size());
    if (textFunction && dataIdFunction) {
        error = "error: function " + makeCallSignature(name, arguments.size()) + " is defined twice";
        return false;
    }
    if (textFunction) return callTextFunction(name, arguments, result, error);
    if (dataIdFunction) {
        // A copy: the host may define further functions during the call.
        const ZelkScriptUserFunction function = *dataIdFunction;
        return callDataIdFunction(function, arguments, result, error);
    }
    error = "error: function " + makeCallSignature(name, arguments.size()) + " not defined";
    return false;
}

bool ZelkScriptLibExtension::callTextFunction(const std::string &name, std::vector<ObjectRef> &arguments,
                                              ObjectRef &result, std::string &error) {
    const auto callback = findHostCallbackAs<zelkscript_callback_callfunction_strings_fn>(kStringsCallbackName);
    if (!callback) {
        error = "error: function zelkscript_callback_callfunction_strings(contextid, funcname, params, paramcount, "
                "result, resultmaxsize, errmsg, errmsgmaxsize) not found in main program";
        return false;
    }
    std::vector<std::string> texts(arguments.size());
    std::string ignored;
    for (size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i]) convertToString(arguments[i].get(), texts[i], ignored);
    std::vector<const char *> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string &text : texts) pointers.push_back(text.c_str());
    pointers.push_back(nullptr);

    ExchangeBuffer<kCallbackResultSize> resultBuffer;
    ExchangeBuffer<kCallbackErrorSize> errorBuffer;
    const bool ok = callback(contextIdOf(context_), name.c_str(), pointers.data(),
                             static_cast<int32_t>(arguments.size()), resultBuffer.bytes, resultBuffer.size,
                             errorBuffer.bytes, errorBuffer.size) != 0;
    if (ok) {
        result = makeStringObject(resultBuffer.text());
        error.clear();
    } else {
        error = errorBuffer.text();
    }
    return ok;
}

bool ZelkScriptLibExtension::callDataIdFunction(const ZelkScriptUserFunction &function,
                                                std::vector<ObjectRef> &arguments, ObjectRef &result,
                                                std::string &error) {
    const auto callback = findHostCallbackAs<zelkscript_callback_callfunction_dataids_fn>(kDataIdsCallbackName);
    if (!callback) {
        error = "error: function zelkscript_callback_callfunction_dataids(contextid, funcname, paramdataids, "
                "paramcount, resultid, errmsg, errmsgmaxsize) not found in main program";
        return false;
    }
    std::vector<int32_t> ids;
    std::vector<ObjectRef> passed;  // what each id names, for the release
    try {
        ids.resize(arguments.size());
        passed.resize(arguments.size());
    } catch (const std::bad_alloc &) {
        error = "error: out of memory";
        return false;
    }
    // Every id at or above this mark that this context holds after the call
    // was issued during it: those are the ones the call may release.
    const int64_t firstIdOfCall = peekNextDataId();
    std::string cloneError;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const ObjectRef &argument = arguments[i];
        if (!argument) continue;
        const bool byReference = i < function.referenceFlags.size() && function.referenceFlags[i];
        if (byReference) {
            // The caller's own value, so the host can change the variable.
            passed[i] = argument;
        } else {
            ObjectRef copy;
            if (!argument->clone(copy, cloneError)) {
                error = cloneError;
                for (size_t j = 0; j < i; ++j)
                    if (ids[j] >= firstIdOfCall) context_.forgetDataId(ids[j]);
                return false;
            }
            passed[i] = std::move(copy);
        }
        ids[i] = context_.registerValue(passed[i]);
    }
    const int32_t highestArgumentId = context_.highestRegisteredId();

    int32_t resultId = 0;
    ExchangeBuffer<kCallbackErrorSize> errorBuffer;
    const bool ok = callback(contextIdOf(context_), function.name.c_str(), ids.empty() ? nullptr : ids.data(),
                             static_cast<int32_t>(ids.size()), &resultId, errorBuffer.bytes, errorBuffer.size) != 0;
    if (ok) {
        // The result id stays registered: the host owns it.
        result = context_.findValue(resultId);
        error.clear();
    } else {
        error = errorBuffer.text();
    }

    // Release the argument ids and the ids the host obtained for values
    // inside the arguments during the call; ids the host held before the
    // call, and the result, stay. When the context registered nothing beyond
    // the arguments, only the arguments can need releasing.
    const auto issuedDuringCall = [&](int32_t id) { return id >= firstIdOfCall && id != resultId; };
    if (context_.highestRegisteredId() <= highestArgumentId) {
        for (int32_t id : ids)
            if (id != 0 && issuedDuringCall(id)) context_.forgetDataId(id);
    } else {
        for (const ObjectRef &value : passed)
            if (value) context_.releaseDataIdsWithin(value, issuedDuringCall);
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Live-data bookkeeping
// ---------------------------------------------------------------------------

void ZelkScriptLibExtension::recordLiveData(int32_t id, char dataType, std::string typeName) {
    liveDataTypes_.insert_or_assign(id, dataType);
    liveDataTypeNames_.insert_or_assign(id, std::move(typeName));
}

char ZelkScriptLibExtension::liveDataType(int32_t id) const {
    const auto found = liveDataTypes_.find(id);
    return found == liveDataTypes_.end() ? '\0' : found->second;
}

bool ZelkScriptLibExtension::liveDataTypeName(int32_t id, std::string &typeName) const {
    const auto found = liveDataTypeNames_.find(id);
    if (found == liveDataTypeNames_.end()) {
        typeName.clear();
        return false;
    }
    typeName = found->second;
    return true;
}

} // namespace zelkscript
