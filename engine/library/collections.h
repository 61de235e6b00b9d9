// Collections as wholes: keys and values, membership tests, element editing,
// grep filters, sorting (engine/library/sort.h) and `callfunction`. The
// membership tests are shared with code outside the system functions; the
// guard below bounds the C++ recursion of system functions that run script
// functions, because such calls push no scope and so escape the scope-depth
// limit (a compare function that is itself `sort` would recurse unbounded).
#pragma once

#include <cstddef>
#include <string>

#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptContextBase;

// Counts, per thread, the system function calls that are running script
// functions. Construct one around such a call and ask `allowed` before
// calling: beyond the context's scope-depth limit the answer is no.
class NestedScriptCallGuard {
public:
    static constexpr const char *kMessage = "too many recursive calls";

    NestedScriptCallGuard();
    ~NestedScriptCallGuard();
    NestedScriptCallGuard(const NestedScriptCallGuard &) = delete;
    NestedScriptCallGuard &operator=(const NestedScriptCallGuard &) = delete;

    bool allowed(const ZelkScriptContextBase &context) const;

private:
    size_t depth_;
};

// Whether a call of `name` with this many arguments finds a function: a user
// function, an extension's function or a system function.
bool scriptFunctionExists(ZelkScriptContextBase &context, const std::string &name, size_t argumentCount);

// `containskey`: a structure member named by the key's text (a member that
// was only accessed and never assigned does not count), or a vector index
// from 0 to size-1 that the key converts to. False for a null or empty key,
// a null collection and any other value. Fails only when an external
// container's handler fails.
bool collectionContainsKey(const ObjectRef &collection, const ObjectRef &key, bool &found, std::string &error);

// `containsvalue`: an element (vector) or member value (structure) whose text
// equals the value's text byte for byte; for any other value whether the
// value's text occurs in its text. False for a null or empty value and a null
// collection.
bool collectionContainsValue(const ObjectRef &collection, const ObjectRef &value, bool &found, std::string &error);

} // namespace zelkscript
