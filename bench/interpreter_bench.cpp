// Script-level benchmarks of the interpreter's hot paths: arithmetic loops,
// nested loops, text building, structure member access, recursive calls and
// system function calls in a loop. Each iteration runs a whole script in a
// warm context, so parse time is included but small next to the loop.
#include <benchmark/benchmark.h>

#include "engine/interpreter/context.h"
#include "engine/interpreter/runtime.h"

using namespace zelkscript;

namespace {

void runScript(benchmark::State &state, const char *text) {
    ZelkScriptContextBase context;
    for (auto _ : state) {
        ObjectRef result;
        ZelkScriptErrorException error("", "", 0, 0);
        // A block, so that each run defines its variables afresh.
        if (!runScriptText(context, std::string("{ ") + text + " }", "", result, &error)) {
            state.SkipWithError(error.getMessage().c_str());
            return;
        }
        benchmark::DoNotOptimize(result);
    }
}

} // namespace

static void BM_ArithmeticLoop(benchmark::State &state) {
    runScript(state, "var s = 0; for (var i = 0; i < 10000; i++) { s = s + i * 2 - 1; } return s;");
}
BENCHMARK(BM_ArithmeticLoop);

static void BM_NestedLoop(benchmark::State &state) {
    runScript(state,
              "var s = 0; for (var i = 0; i < 100; i++) { for (var j = 0; j < 100; j++) { s += j; } } return s;");
}
BENCHMARK(BM_NestedLoop);

static void BM_FloatLoop(benchmark::State &state) {
    runScript(state, "var x = 0.5; for (var i = 0; i < 10000; i++) { x = x * 1.0001 + 0.25; } return x;");
}
BENCHMARK(BM_FloatLoop);

static void BM_StringConcatenation(benchmark::State &state) {
    runScript(state, "var s = ''; for (var i = 0; i < 2000; i++) { s += 'ab'; } return s;");
}
BENCHMARK(BM_StringConcatenation);

static void BM_StructureMemberAccess(benchmark::State &state) {
    runScript(state, "var p = {x: 1, y: 2}; for (var i = 0; i < 10000; i++) { p.x = p.x + p.y; } return p.x;");
}
BENCHMARK(BM_StructureMemberAccess);

static void BM_RecursiveCalls(benchmark::State &state) {
    runScript(state, "function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); } return fib(18);");
}
BENCHMARK(BM_RecursiveCalls);

static void BM_SystemFunctionCallsInLoop(benchmark::State &state) {
    runScript(state, "var t = ''; for (var i = 0; i < 10000; i++) { t = gettype(i); } return t;");
}
BENCHMARK(BM_SystemFunctionCallsInLoop);
