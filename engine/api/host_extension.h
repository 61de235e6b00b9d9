// The host-function extension of a host context: functions whose bodies are
// host code (reached through the exported callbacks, by texts or by data
// ids), the constants the host sets, and the bookkeeping of live data. The
// interpreter asks it like any other extension, after user functions and
// before the system functions.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/interpreter/context.h"

namespace zelkscript {

class ZelkScriptLibContext;

class ZelkScriptLibExtension : public ZelkScriptUserExtension {
public:
    explicit ZelkScriptLibExtension(ZelkScriptLibContext &context);

    // Constants read like variables; each read yields a fresh value, so
    // nothing a script does can change the constant.
    bool hasValue(const std::string &name) override;
    bool getValue(const std::string &name, ObjectRef &result) override;
    void setConstant(std::string name, std::string value);

    // A host function of this name taking exactly this many arguments: the
    // text functions first, then the data-id functions.
    const ZelkScriptUserFunction *findFunction(const std::string &name, size_t argumentCount) override;
    // Calls the host: the text or the data-id callback of the definition.
    bool callFunction(const std::string &name, std::vector<ObjectRef> &arguments, ObjectRef &result,
                      std::string &error, const ZelkScriptPosition &position) override;

    enum class FunctionKind { Texts, DataIds };
    // Parses the prototype and adds the definition. Defining a name and
    // count again is allowed; a call then fails if both kinds define it.
    bool defineFunction(std::string_view prototype, FunctionKind kind, std::string &error);

    // What zelkscript_livedata_create recorded for an id; kept for the life
    // of the context, also after the id is freed.
    void recordLiveData(int32_t id, char dataType, std::string typeName);
    char liveDataType(int32_t id) const;
    // False when the id has no recorded type name.
    bool liveDataTypeName(int32_t id, std::string &typeName) const;

private:
    bool callTextFunction(const std::string &name, std::vector<ObjectRef> &arguments, ObjectRef &result,
                          std::string &error);
    bool callDataIdFunction(const ZelkScriptUserFunction &function, std::vector<ObjectRef> &arguments,
                            ObjectRef &result, std::string &error);

    ZelkScriptLibContext &context_;
    // Deques: a definition keeps its address while later ones are added,
    // also during a call that defines more functions.
    std::deque<ZelkScriptUserFunction> textFunctions_;
    std::deque<ZelkScriptUserFunction> dataIdFunctions_;
    std::map<std::string, std::string, std::less<>> constants_;
    std::unordered_map<int32_t, char> liveDataTypes_;
    std::unordered_map<int32_t, std::string> liveDataTypeNames_;
};

} // namespace zelkscript
