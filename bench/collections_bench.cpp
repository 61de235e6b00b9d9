// Sorting and filtering of large vectors: the built-in orders on 100,000
// numbers and texts, a script compare function, and grep. The built-in sorts
// are driven through the system function table exactly as a script call
// dispatches them.
#include <benchmark/benchmark.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/interpreter/runtime.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {
namespace {

ObjectRef makeVector(ObjectList elements) {
    return ObjectRef(new ZelkScriptObject(HandlerRef(new ZelkScriptObjectVectorHandler(std::move(elements)))));
}

ObjectRef randomLongs(size_t count) {
    std::mt19937_64 random(42);
    ObjectList elements;
    elements.reserve(count);
    for (size_t i = 0; i < count; ++i) elements.push_back(makeLongObject(static_cast<int64_t>(random() % 1000000)));
    return makeVector(std::move(elements));
}

ObjectRef randomNumberTexts(size_t count) {
    std::mt19937_64 random(43);
    ObjectList elements;
    elements.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t value = random() % 1000000;
        elements.push_back(makeStringObject(i % 2 ? std::to_string(value) : std::to_string(value) + ".5"));
    }
    return makeVector(std::move(elements));
}

ObjectRef randomWords(size_t count) {
    std::mt19937_64 random(44);
    ObjectList elements;
    elements.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string word;
        const size_t length = 3 + random() % 8;
        for (size_t j = 0; j < length; ++j) word.push_back(static_cast<char>((random() % 2 ? 'a' : 'A') + random() % 26));
        elements.push_back(makeStringObject(std::move(word)));
    }
    return makeVector(std::move(elements));
}

void runSystemFunction(benchmark::State &state, const char *name, std::vector<ObjectRef> arguments) {
    const SystemFunctionEntry *entry = SystemFunctionTable::instance().findSystemFunction(name, arguments.size());
    if (!entry || !entry->implementation) {
        state.SkipWithError("function not registered");
        return;
    }
    ZelkScriptContextBase context;
    for (auto _ : state) {
        ObjectRef result;
        std::string error;
        if (!entry->implementation(context, std::span<ObjectRef>(arguments), result, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(result.get());
    }
}

void BM_SortNumericLongs100k(benchmark::State &state) { runSystemFunction(state, "sortnumeric", {randomLongs(100000)}); }
BENCHMARK(BM_SortNumericLongs100k)->Unit(benchmark::kMillisecond);

void BM_SortNumericTexts100k(benchmark::State &state) {
    runSystemFunction(state, "sortnumeric", {randomNumberTexts(100000)});
}
BENCHMARK(BM_SortNumericTexts100k)->Unit(benchmark::kMillisecond);

void BM_InverseSort100k(benchmark::State &state) { runSystemFunction(state, "inversesort", {randomLongs(100000)}); }
BENCHMARK(BM_InverseSort100k)->Unit(benchmark::kMillisecond);

void BM_SortAlphabeticWords100k(benchmark::State &state) {
    runSystemFunction(state, "sortalphabetic", {randomWords(100000)});
}
BENCHMARK(BM_SortAlphabeticWords100k)->Unit(benchmark::kMillisecond);

void BM_SortIgnoreCaseWords100k(benchmark::State &state) {
    runSystemFunction(state, "sortignorecase", {randomWords(100000)});
}
BENCHMARK(BM_SortIgnoreCaseWords100k)->Unit(benchmark::kMillisecond);

void BM_GrepValuesRange100k(benchmark::State &state) {
    runSystemFunction(state, "grepvalues",
                      {randomLongs(100000), makeStringObject(">"), makeLongObject(1000), makeStringObject("<="),
                       makeLongObject(500000)});
}
BENCHMARK(BM_GrepValuesRange100k)->Unit(benchmark::kMillisecond);

void BM_ContainsValueMiss100k(benchmark::State &state) {
    runSystemFunction(state, "containsvalue", {randomLongs(100000), makeStringObject("-1")});
}
BENCHMARK(BM_ContainsValueMiss100k)->Unit(benchmark::kMillisecond);

// A script compare function: the cost is dominated by the script calls.
void BM_SortWithCompareFunction(benchmark::State &state) {
    ZelkScriptContextBase context;
    std::string error;
    ObjectRef result;
    if (!runScriptText(context, "function ascending(a, b) { return a < b; }", "bench", result, nullptr)) {
        state.SkipWithError("defining the compare function failed");
        return;
    }
    if (!context.defineVariable("v", randomLongs(static_cast<size_t>(state.range(0))), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        if (!runScriptText(context, "return sort(v, \"ascending\").size();", "bench", result, nullptr)) {
            state.SkipWithError("sort failed");
            return;
        }
        benchmark::DoNotOptimize(result.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortWithCompareFunction)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zelkscript
