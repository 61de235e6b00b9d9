// Function calls as the call node, `callfunction`, the sort functions and
// the host interface make them: resolution order, argument binding, the two
// scopes of a call and the system function dispatch.
#pragma once

#include <string>
#include <vector>

#include "engine/frontend/source.h"
#include "engine/interpreter/user_function.h"
#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptContextBase;
class ZelkScriptUserExtension;
struct SystemFunctionEntry;

// The user function a call of this name and argument count runs, or null:
// the first exact match from the current scope down, else the variadic
// definition of the lowest scope that has one. A "::" name looks only at the
// global scope.
const ZelkScriptUserFunction *findUserFunction(ZelkScriptContextBase &context, const std::string &name,
                                               size_t argumentCount);

// Enters a definition into the current scope.
void defineUserFunction(ZelkScriptContextBase &context, ZelkScriptUserFunction function);

// Calls a function by name: user functions, then extensions, then the system
// function table. False with the reason in error.
bool callFunction(ZelkScriptContextBase &context, const std::string &name, std::vector<ObjectRef> &arguments,
                  ObjectRef &result, std::string &error, const ZelkScriptPosition &position);

// Runs a definition (its body, or the extension that offers it) with the
// arguments bound to its parameters, in the two scopes of a call.
bool invokeDefinition(ZelkScriptContextBase &context, const ZelkScriptUserFunction &definition,
                      std::vector<ObjectRef> &arguments, ObjectRef &result, std::string &error,
                      const ZelkScriptPosition &position, ZelkScriptUserExtension *extension);

bool callSystemFunction(ZelkScriptContextBase &context, const SystemFunctionEntry &entry,
                        std::vector<ObjectRef> &arguments, ObjectRef &result, std::string &error);

} // namespace zelkscript
