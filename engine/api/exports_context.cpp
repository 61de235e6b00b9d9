// Exports that create and free contexts and exchange variables and
// constants with them by text, number and data id.
#include <string>

#include "engine/api/bstr.h"
#include "engine/api/export_support.h"
#include "engine/api/host_extension.h"
#include "engine/values/conversions.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

bool hasName(const char *name) { return name && *name; }

// Defines or rebinds a variable to a new value, as the host's set exports do.
bool setVariableValue(ZelkScriptLibContext &context, const char *name, const ObjectRef &value) {
    if (!hasName(name)) return false;
    std::string ignored;
    return context.setVariable(name, value, ignored, true, true);
}

// The variable's whole text, for the number readers: false when it cannot
// be read or is empty.
bool readVariableText(ZelkScriptLibContext &context, const char *name, std::string &text) {
    if (!hasName(name)) return false;
    std::string ignored;
    return context.getVariableText(name, text, ignored) && !text.empty();
}

} // namespace

extern "C" ZELKSCRIPT_API zelkscript_contextid zelkscript_createcontext(char *errmsg, int32_t errmsgmaxsize) {
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    try {
        return contextIdOf(*new ZelkScriptLibContext());
    } catch (...) {
        copyToCallerBuffer("error: cannot create context", errmsg, errmsgmaxsize);
        return 0;
    }
}

extern "C" ZELKSCRIPT_API void zelkscript_freecontext(zelkscript_contextid contextid) {
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context) return;
    try {
        if (context->useDepth > 0) {
            // Freed from inside a callback: the export that reached the
            // callback still works in the context and destroys it on its way
            // out.
            context->freeRequested = true;
            return;
        }
        delete context;
    } catch (...) {
    }
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_setconstant(zelkscript_contextid contextid,
                                                                        const char *name, const char *value) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        if (!hasName(name)) return 0;
        context.libExtension().setConstant(name, textOrEmpty(value));
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_settextvariable(zelkscript_contextid contextid,
                                                                            const char *name, const char *value) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        return setVariableValue(context, name, makeStringObject(textOrEmpty(value)));
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_setintvariable(zelkscript_contextid contextid,
                                                                           const char *name, int64_t value) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        return setVariableValue(context, name, makeLongObject(value));
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_setdoublevariable(zelkscript_contextid contextid,
                                                                              const char *name, double value) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        return setVariableValue(context, name, makeDoubleObject(value));
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_gettextvariable(zelkscript_contextid contextid,
                                                                            const char *name, char *value,
                                                                            int32_t valuemaxsize) {
    if (!value || valuemaxsize <= 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        copyToCallerBuffer("", value, valuemaxsize);
        if (!hasName(name)) return 0;
        std::string text, error;
        if (!context.getVariableText(name, text, error)) {
            copyToCallerBuffer(error, value, valuemaxsize);
            return 0;
        }
        copyToCallerBuffer(text, value, valuemaxsize);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_gettextvariable_bstr(zelkscript_contextid contextid,
                                                                                 const char *name,
                                                                                 zelkscript_bstr *value) {
    if (!value) return 0;
    *value = nullptr;
    if (!hasName(name)) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        std::string text, ignored;
        if (!context.getVariableText(name, text, ignored)) return 0;
        *value = allocateCountedWideText(text);
        return *value != nullptr;
    });
}

// The whole text is converted: a number followed by anything else is no
// number, however long the text.
extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_getintvariable(zelkscript_contextid contextid,
                                                                           const char *name, int64_t *value) {
    if (!value) return 0;
    *value = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        std::string text;
        int64_t number = 0;
        if (!readVariableText(context, name, text) || !parseIntegerText(text, number)) return 0;
        *value = number;
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_getdoublevariable(zelkscript_contextid contextid,
                                                                              const char *name, double *value) {
    if (!value) return 0;
    *value = 0.0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        std::string text;
        double number = 0.0;
        if (!readVariableText(context, name, text) || !parseFloatText(text, number)) return 0;
        *value = number;
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_setvariable(zelkscript_contextid contextid,
                                                                        const char *name, zelkscript_dataid dataid) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        return setVariableValue(context, name, context.findValue(dataid));
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_getvariable(zelkscript_contextid contextid,
                                                                        const char *name, zelkscript_dataid *dataid) {
    if (!dataid) return 0;
    *dataid = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        if (!hasName(name)) return 0;
        ObjectRef value;
        std::string ignored;
        if (!context.getVariable(name, value, ignored)) return 0;
        *dataid = context.registerValue(value);
        return 1;
    });
}
