// Exports that declare host functions: a prototype text names the function
// and its parameters; calls reach the host's exported callbacks.
#include <string>

#include "engine/api/export_support.h"
#include "engine/api/host_extension.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

zelkscript_bool defineHostFunction(zelkscript_contextid contextid, const char *prototype, char *errmsg,
                                   int32_t errmsgmaxsize, ZelkScriptLibExtension::FunctionKind kind) {
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    if (contextid == 0) {
        copyToCallerBuffer("error: contextid missing", errmsg, errmsgmaxsize);
        return 0;
    }
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        std::string error;
        if (!context.libExtension().defineFunction(textOrEmpty(prototype), kind, error)) {
            copyToCallerBuffer(error, errmsg, errmsgmaxsize);
            return 0;
        }
        return 1;
    });
}

} // namespace

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_definefunction_strings(zelkscript_contextid contextid,
                                                                                   const char *prototype,
                                                                                   char *errmsg,
                                                                                   int32_t errmsgmaxsize) {
    return defineHostFunction(contextid, prototype, errmsg, errmsgmaxsize, ZelkScriptLibExtension::FunctionKind::Texts);
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_definefunction_dataids(zelkscript_contextid contextid,
                                                                                   const char *prototype,
                                                                                   char *errmsg,
                                                                                   int32_t errmsgmaxsize) {
    return defineHostFunction(contextid, prototype, errmsg, errmsgmaxsize,
                              ZelkScriptLibExtension::FunctionKind::DataIds);
}
