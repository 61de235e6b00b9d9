// Exports that create and free contexts and run script text. No exception
// leaves an export: each body runs inside a catch-all that turns a failure
// into false and a message.
#include <exception>
#include <new>
#include <sstream>

#include "engine/api/lib_context.h"
#include "engine/interpreter/runtime.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

// Redirects a context's output stream for the duration of one evaluation.
class OutputCapture {
public:
    explicit OutputCapture(ZelkScriptContextBase &context) : context_(context), saved_(context.outputStream) {
        context.outputStream = &buffer_;
    }
    ~OutputCapture() { context_.outputStream = saved_; }
    std::string text() const { return buffer_.str(); }

private:
    ZelkScriptContextBase &context_;
    std::ostream *saved_;
    std::ostringstream buffer_;
};

// Keeps a context alive while a script runs in it, even if a host callback
// asks to free it; the last run out frees it.
class RunningContext {
public:
    explicit RunningContext(ZelkScriptLibContext &context) : context_(context) { ++context.runDepth; }
    ~RunningContext() {
        if (--context_.runDepth == 0 && context_.freeRequested) delete &context_;
    }

private:
    ZelkScriptLibContext &context_;
};

} // namespace

extern "C" ZELKSCRIPT_API zelkscript_contextid zelkscript_createcontext(char *errmsg, int32_t errmsgmaxsize) {
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    try {
        return reinterpret_cast<zelkscript_contextid>(new ZelkScriptLibContext());
    } catch (...) {
        copyToCallerBuffer("error: cannot create context", errmsg, errmsgmaxsize);
        return 0;
    }
}

extern "C" ZELKSCRIPT_API void zelkscript_freecontext(zelkscript_contextid contextid) {
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context) return;
    try {
        if (context->runDepth > 0) {
            // Freed from inside a callback: the running script still uses it.
            context->freeRequested = true;
            return;
        }
        delete context;
    } catch (...) {
    }
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_strings(zelkscript_contextid contextid,
                                                                     const char *script, char *result,
                                                                     int32_t resultmaxsize, char *errmsg,
                                                                     int32_t errmsgmaxsize) {
    copyToCallerBuffer("", result, resultmaxsize);
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context || context->freeRequested) return 0;
    try {
        RunningContext running(*context);
        OutputCapture capture(*context);
        ObjectRef value;
        ZelkScriptErrorException failure("", "", 0, 0);
        bool ok = runScriptText(*context, script ? script : "", std::string(), value, &failure);
        std::string text;
        if (ok) {
            if (value) text = value->gettext();
            else text = capture.text();
        }
        copyToCallerBuffer(text, result, resultmaxsize);
        copyToCallerBuffer(ok ? std::string() : failure.getMessage(), errmsg, errmsgmaxsize);
        return ok ? 1 : 0;
    } catch (const std::exception &failure) {
        copyToCallerBuffer(std::string("error: ") + failure.what(), errmsg, errmsgmaxsize);
    } catch (...) {
        copyToCallerBuffer("error: unknown failure", errmsg, errmsgmaxsize);
    }
    return 0;
}
