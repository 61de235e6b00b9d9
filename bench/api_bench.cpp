// The host interface's hot paths, measured through the exported functions:
// many small evaluations on one warm context, and host-function round trips
// by texts and by data ids. The benchmark program cannot export callbacks
// from its symbol table, so the callbacks are handed to the library through
// its resolver hook instead; everything else is what a host does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/api/host_callbacks.h"
#include "zelkscript/zelkscript.h"

namespace {

zelkscript_bool benchStringsCallback(zelkscript_contextid, const char *, const char *const *params, int32_t,
                                     char *result, int32_t resultmaxsize, char *, int32_t) {
    std::snprintf(result, static_cast<size_t>(resultmaxsize), "%s!", params[0]);
    return 1;
}

zelkscript_bool benchDataIdsCallback(zelkscript_contextid contextid, const char *, const zelkscript_dataid *params,
                                     int32_t, zelkscript_dataid *resultid, char *, int32_t) {
    int32_t value = 0;
    zelkscript_data_tolong(contextid, params[0], &value);
    *resultid = zelkscript_data_createlong(contextid, value + 1);
    return 1;
}

void *resolveBenchCallback(const char *name) {
    if (std::strcmp(name, "zelkscript_callback_callfunction_strings") == 0)
        return reinterpret_cast<void *>(&benchStringsCallback);
    if (std::strcmp(name, "zelkscript_callback_callfunction_dataids") == 0)
        return reinterpret_cast<void *>(&benchDataIdsCallback);
    return nullptr;
}

// 10,000 evaluations of a small script on one context per iteration.
void BM_ApiEvaluate10000SmallScripts(benchmark::State &state) {
    char result[64], errmsg[256];
    const zelkscript_contextid context = zelkscript_createcontext(errmsg, sizeof errmsg);
    zelkscript_context_setintvariable(context, "a", 41);
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            if (!zelkscript_evaluate_strings(context, "return a + 1;", result, sizeof result, errmsg, sizeof errmsg))
                state.SkipWithError(errmsg);
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    zelkscript_freecontext(context);
}
BENCHMARK(BM_ApiEvaluate10000SmallScripts)->Unit(benchmark::kMillisecond);

// One evaluation that calls a text host function 1,000 times: the cost of a
// round trip (arguments to texts, the callback, the result text back).
void BM_ApiHostFunctionRoundTripTexts(benchmark::State &state) {
    zelkscript::setHostCallbackResolver(&resolveBenchCallback);
    char result[1024], errmsg[256];
    const zelkscript_contextid context = zelkscript_createcontext(errmsg, sizeof errmsg);
    zelkscript_context_definefunction_strings(context, "shout(text)", errmsg, sizeof errmsg);
    zelkscript_evaluate_strings(context, "function run() { var s = ''; for (var i = 0; i < 1000; i++) s = shout(i); return s; }",
                                result, sizeof result, errmsg, sizeof errmsg);
    const char *script = "return run();";
    for (auto _ : state) {
        if (!zelkscript_evaluate_strings(context, script, result, sizeof result, errmsg, sizeof errmsg))
            state.SkipWithError(errmsg);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    zelkscript_freecontext(context);
    zelkscript::setHostCallbackResolver(nullptr);
}
BENCHMARK(BM_ApiHostFunctionRoundTripTexts)->Unit(benchmark::kMicrosecond);

// The same through data ids: the argument is registered (a copy), the host
// reads it and creates the result, the argument id is released.
void BM_ApiHostFunctionRoundTripDataIds(benchmark::State &state) {
    zelkscript::setHostCallbackResolver(&resolveBenchCallback);
    char result[1024], errmsg[256];
    const zelkscript_contextid context = zelkscript_createcontext(errmsg, sizeof errmsg);
    zelkscript_context_definefunction_dataids(context, "next(n)", errmsg, sizeof errmsg);
    zelkscript_evaluate_strings(context, "function run() { var s = 0; for (var i = 0; i < 1000; i++) s = next(i); return s; }",
                                result, sizeof result, errmsg, sizeof errmsg);
    const char *script = "return run();";
    for (auto _ : state) {
        if (!zelkscript_evaluate_strings(context, script, result, sizeof result, errmsg, sizeof errmsg))
            state.SkipWithError(errmsg);
        // The host owns the result ids; a real host frees them.
        zelkscript_data_free_alluseddata(context);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    zelkscript_freecontext(context);
    zelkscript::setHostCallbackResolver(nullptr);
}
BENCHMARK(BM_ApiHostFunctionRoundTripDataIds)->Unit(benchmark::kMicrosecond);

} // namespace
