// Fuzz target: evaluates arbitrary text through the public C interface on a
// fresh context, with a node budget and a time limit so that any script ends.
// File writes stay in the temporary folder (the default rule), and nothing
// may crash, hang, leak or corrupt memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zelkscript/zelkscript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Keep inputs small: the budget bounds the work, the size the parse.
    if (size > 16384) return 0;
    std::string script(reinterpret_cast<const char *>(data), size);
    char error[512];
    zelkscript_contextid context = zelkscript_createcontext(error, sizeof error);
    if (!context) return 0;
    zelkscript_option_setnodebudget(context, 200000);
    zelkscript_option_settimelimit(context, 2000);
    std::vector<char> result(4096);
    zelkscript_evaluate_strings(context, script.c_str(), result.data(), static_cast<int32_t>(result.size()), error,
                                sizeof error);
    // A second run on the same context must start clean whatever the first
    // one left behind.
    zelkscript_evaluate_strings(context, "return 1 + 1;", result.data(), static_cast<int32_t>(result.size()), error,
                                sizeof error);
    zelkscript_freecontext(context);
    return 0;
}
