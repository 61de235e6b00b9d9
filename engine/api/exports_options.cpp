// Exports that set a context's options: file permissions per folder,
// include paths, and the run limits a host puts on scripts beyond the
// language's own loop limit.
#include <algorithm>
#include <limits>
#include <string>

#include "engine/api/export_support.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_setpermission_fileaccess_folder(
    zelkscript_contextid contextid, const char *folder, const char *permissions) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        context.addFolderPermission(textOrEmpty(folder), textOrEmpty(permissions));
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_setpermission_fileaccess_all(
    zelkscript_contextid contextid, const char *permissions) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        context.addFolderPermission("*", textOrEmpty(permissions));
        return 1;
    });
}

// Paths compare exactly: on this system /srv/Inc and /srv/inc are two
// folders.
extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_addincludepath(zelkscript_contextid contextid,
                                                                          const char *folder) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        const std::string path = textOrEmpty(folder);
        auto &paths = context.includePaths;
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_setmaxloopcount(zelkscript_contextid contextid,
                                                                           int64_t count) {
    if (count < 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        // 0 lifts the limit; a loop is then bounded only by the node budget
        // or the time limit, if the host set one.
        context.maxLoopCount = count == 0 ? std::numeric_limits<uint64_t>::max() : static_cast<uint64_t>(count);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_setnodebudget(zelkscript_contextid contextid,
                                                                         int64_t nodes) {
    if (nodes < 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        context.setNodeBudget(static_cast<uint64_t>(nodes));
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_option_settimelimit(zelkscript_contextid contextid,
                                                                        int64_t milliseconds) {
    if (milliseconds < 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        context.setTimeLimitMs(static_cast<uint64_t>(milliseconds));
        return 1;
    });
}

// Called from another thread while the context runs: it touches nothing but
// the context's atomic interrupt request (no use count, no allocation).
extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_interrupt(zelkscript_contextid contextid) {
    if (contextid == 0) return 0;
    auto *context = reinterpret_cast<ZelkScriptLibContext *>(contextid);
    if (!context->isAlive()) return 0;
    context->requestInterrupt();
    return 1;
}
