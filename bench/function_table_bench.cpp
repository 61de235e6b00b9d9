// System function lookup: the cached path every call of a built-in takes, the
// uncached walk a first call takes, and the suggestion search that follows a
// call of an unknown function.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/interpreter/function_table.h"
#include "engine/interpreter/suggestions.h"

namespace zelkscript {
namespace {

void BM_FindSystemFunctionFixedFormCached(benchmark::State &state) {
    const SystemFunctionTable &table = SystemFunctionTable::instance();
    for (auto _ : state) benchmark::DoNotOptimize(table.findSystemFunction("mid", 3));
}
BENCHMARK(BM_FindSystemFunctionFixedFormCached)->ThreadRange(1, 2);

void BM_FindSystemFunctionVariableFormCached(benchmark::State &state) {
    const SystemFunctionTable &table = SystemFunctionTable::instance();
    for (auto _ : state) benchmark::DoNotOptimize(table.findSystemFunction("concat", 5));
}
BENCHMARK(BM_FindSystemFunctionVariableFormCached)->ThreadRange(1, 2);

void BM_FindSystemFunctionMiss(benchmark::State &state) {
    const SystemFunctionTable &table = SystemFunctionTable::instance();
    for (auto _ : state) benchmark::DoNotOptimize(table.findSystemFunction("nosuchfunction", 2));
}
BENCHMARK(BM_FindSystemFunctionMiss);

// The first call of a variable form near the end of the table: the full walk.
void BM_WalkForSystemFunctionCold(benchmark::State &state) {
    const SystemFunctionTable &table = SystemFunctionTable::instance();
    for (auto _ : state) benchmark::DoNotOptimize(table.walkForSystemFunction("playmidi", 6));
}
BENCHMARK(BM_WalkForSystemFunctionCold);

void BM_BuildSystemFunctionTable(benchmark::State &state) {
    for (auto _ : state) {
        SystemFunctionTable table(systemFunctionHelpTexts());
        benchmark::DoNotOptimize(table.size());
    }
}
BENCHMARK(BM_BuildSystemFunctionTable);

void BM_SuggestSystemFunctions(benchmark::State &state) {
    std::vector<std::string> candidates;
    std::string error;
    collectSystemFunctionCandidates(SystemFunctionTable::instance(), candidates, error);
    const std::string wanted = formatCallDisplay("mid", 4);
    for (auto _ : state) benchmark::DoNotOptimize(suggestFunctions(wanted, candidates));
}
BENCHMARK(BM_SuggestSystemFunctions);

} // namespace
} // namespace zelkscript
