// Benchmarks of sprintf: the format walk on a typical mixed format, on a
// long text, on wide padded fields, and sprintf called from a script loop.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/runtime.h"
#include "engine/library/format.h"
#include "engine/values/conversions.h"

using namespace zelkscript;

namespace {

void BM_SprintfMixed(benchmark::State &state) {
    const std::vector<ObjectRef> arguments = {makeStringObject("%s=%5d (%08x) %.2f [%-6s]|%c"),
                                              makeStringObject("name"),
                                              makeLongObject(123456),
                                              makeLongObject(48879),
                                              makeDoubleObject(3.14159),
                                              makeStringObject("ab"),
                                              makeLongObject(65)};
    std::string output;
    std::string error;
    for (auto _ : state) {
        output.clear();
        benchmark::DoNotOptimize(formatArguments("sprintf", arguments, output, error));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SprintfMixed);

// Number arguments given as texts, as scripts mostly hand them over.
void BM_SprintfNumberTexts(benchmark::State &state) {
    const std::vector<ObjectRef> arguments = {makeStringObject("%d,%d,%f"), makeStringObject("42"),
                                              makeStringObject("-17"), makeStringObject("2.5")};
    std::string output;
    std::string error;
    for (auto _ : state) {
        output.clear();
        benchmark::DoNotOptimize(formatArguments("sprintf", arguments, output, error));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SprintfNumberTexts);

void BM_SprintfLongText(benchmark::State &state) {
    const std::vector<ObjectRef> arguments = {makeStringObject("<%s>"),
                                              makeStringObject(std::string(static_cast<size_t>(state.range(0)), 'x'))};
    std::string output;
    std::string error;
    for (auto _ : state) {
        output.clear();
        benchmark::DoNotOptimize(formatArguments("sprintf", arguments, output, error));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SprintfLongText)->Arg(1 << 10)->Arg(1 << 20);

void BM_SprintfWideField(benchmark::State &state) {
    const std::vector<ObjectRef> arguments = {makeStringObject("%*d|%-*s"), makeLongObject(state.range(0)),
                                              makeLongObject(7), makeLongObject(state.range(0)),
                                              makeStringObject("abc")};
    std::string output;
    std::string error;
    for (auto _ : state) {
        output.clear();
        benchmark::DoNotOptimize(formatArguments("sprintf", arguments, output, error));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_SprintfWideField)->Arg(100)->Arg(100000);

// 1,000 sprintf calls from a script loop, through the call machinery.
void BM_SprintfScriptLoop(benchmark::State &state) {
    const std::string script =
        "var i; var s; for (i = 0; i < 1000; i++) s = sprintf('%05d:%s:%.3f', i, 'item', i / 7); return s;";
    for (auto _ : state) {
        ZelkScriptContextBase context;
        ObjectRef result;
        ZelkScriptErrorException error("", "", 0, 0);
        if (!runScriptText(context, script, "", result, &error)) state.SkipWithError(error.getMessage().c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SprintfScriptLoop);

} // namespace
