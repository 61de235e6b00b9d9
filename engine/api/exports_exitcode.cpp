// The exit code a script gave with exit(), for hosts (and the runner) that
// pass it on as their own status.
#include "engine/api/export_support.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_getexitcode(zelkscript_contextid contextid,
                                                                        int32_t *exitcode) {
    if (!exitcode) return 0;
    *exitcode = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        if (!context.exitRequested()) return 0;
        *exitcode = context.exitCode();
        return 1;
    });
}
