// User function definitions: what a script's `function` statement, a host's
// prototype text or `callfunction` declares. The declaration part (name and
// parameters) is kept apart from the body so that prototype texts can be
// parsed and checked by code that never touches syntax-tree nodes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/values/ref.h"

namespace zelkscript {

class ZelkScriptExpressionBase;
using NodeRef = Ref<ZelkScriptExpressionBase>;

struct ZelkScriptFunctionDeclaration {
    std::string name;
    std::vector<std::string> parameters;  // in order, without the leading "&"
    std::vector<bool> referenceFlags;     // one per parameter: declared with "&"
    bool variadic = false;                // the list ended with "..."
};

// One definition, held by value in the function list of the scope that
// defined it. A definition made from a host's prototype text has no body.
struct ZelkScriptUserFunction : ZelkScriptFunctionDeclaration {
    NodeRef body;
};

// A name the scanner reads as one identifier: an ASCII letter, "_" or "::"
// first, then letters, digits, "_" and "::" pairs; ":::" anywhere, a single
// ":" or a trailing "::" are refused.
bool isValidVariableName(std::string_view text);

// Parses "name(parameter, parameter, ...)" into `out` (its body is left as it
// is). Fails with "invalid user function definition: " + text, or with
// "... in user function definition is only allowed at end: " + text.
bool parseUserFunctionPrototype(std::string_view text, ZelkScriptFunctionDeclaration &out,
                                std::string &error);

// Whether a call with `argumentCount` arguments fits the declaration when
// scripts are checked before they run: exactly the parameter count, or at
// least it for a variadic declaration.
bool declarationAcceptsArgumentCount(const ZelkScriptFunctionDeclaration &declaration,
                                     std::size_t argumentCount);

} // namespace zelkscript
