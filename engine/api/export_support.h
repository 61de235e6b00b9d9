// What every export does the same way: no exception may leave the library,
// and a context stays alive while an export (or a callback it reached) is
// still working in it, even when the host frees it from inside a callback.
// Export bodies are written as lambdas and handed to these wrappers, so each
// of those rules lives in one place.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "engine/api/lib_context.h"

namespace zelkscript {

// Counts one export in progress on a context; the last one out destroys a
// context that was freed meanwhile.
class ContextUse {
public:
    explicit ContextUse(ZelkScriptLibContext &context) noexcept : context_(context) { ++context.useDepth; }
    ~ContextUse() {
        if (--context_.useDepth == 0 && context_.freeRequested) delete &context_;
    }
    ContextUse(const ContextUse &) = delete;
    ContextUse &operator=(const ContextUse &) = delete;

private:
    ZelkScriptLibContext &context_;
};

// Runs an export body; any exception becomes the failure answer.
template <class Result, class Body>
Result guardExport(Result failure, Body &&body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

// Runs an export body on a usable context, held alive for the duration. An
// unusable context or an exception gives the failure answer.
template <class Result, class Body>
Result withContext(uintptr_t contextid, Result failure, Body &&body) noexcept {
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context) return failure;
    try {
        ContextUse use(*context);
        return std::forward<Body>(body)(*context);
    } catch (...) {
        return failure;
    }
}

// The same for exports that answer nothing.
template <class Body>
void withContextVoid(uintptr_t contextid, Body &&body) noexcept {
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context) return;
    try {
        ContextUse use(*context);
        std::forward<Body>(body)(*context);
    } catch (...) {
    }
}

// Texts from a host: null reads as empty.
inline const char *textOrEmpty(const char *text) { return text ? text : ""; }

} // namespace zelkscript
