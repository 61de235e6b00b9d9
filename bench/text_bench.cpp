// Benchmarks of the text family: split, join and replace on large texts (all
// must stay linear), and the small calls that scripts make in loops (mid,
// index, length), driven through the system function table as a call node
// drives them.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/values/conversions.h"

using namespace zelkscript;

namespace {

SystemFunctionImpl implementationOf(std::string_view name, size_t argumentCount) {
    const SystemFunctionEntry *entry = SystemFunctionTable::instance().findSystemFunction(name, argumentCount);
    return entry ? entry->implementation : nullptr;
}

// About `bytes` bytes of comma-separated words of 1 to 16 letters.
std::string makeWordList(size_t bytes) {
    std::string text;
    text.reserve(bytes + 32);
    unsigned seed = 12345;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        const size_t length = 1 + (seed >> 16) % 16;
        if (!text.empty()) text += ',';
        for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + (seed >> (i % 8)) % 26);
    }
    return text;
}

void BM_SplitLargeText(benchmark::State &state) {
    const SystemFunctionImpl split = implementationOf("split", 2);
    ZelkScriptContextBase context;
    std::vector<ObjectRef> arguments = {makeStringObject(makeWordList(static_cast<size_t>(state.range(0)))),
                                        makeStringObject(",")};
    std::string error;
    for (auto _ : state) {
        ObjectRef result;
        if (!split(context, arguments, result, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SplitLargeText)->Arg(1 << 16)->Arg(1 << 20)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

void BM_JoinLargeVector(benchmark::State &state) {
    const SystemFunctionImpl split = implementationOf("split", 1);
    const SystemFunctionImpl join = implementationOf("join", 2);
    ZelkScriptContextBase context;
    std::vector<ObjectRef> splitArguments = {makeStringObject(makeWordList(static_cast<size_t>(state.range(0))))};
    ObjectRef vector;
    std::string error;
    split(context, splitArguments, vector, error);
    std::vector<ObjectRef> arguments = {makeStringObject(", "), vector};
    for (auto _ : state) {
        ObjectRef result;
        if (!join(context, arguments, result, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_JoinLargeVector)->Arg(1 << 16)->Arg(1 << 20)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

void BM_ReplaceLargeText(benchmark::State &state) {
    const SystemFunctionImpl replace = implementationOf("replace", 3);
    ZelkScriptContextBase context;
    std::vector<ObjectRef> arguments = {makeStringObject(makeWordList(static_cast<size_t>(state.range(0)))),
                                        makeStringObject(","), makeStringObject(" ;; ")};
    std::string error;
    for (auto _ : state) {
        ObjectRef result;
        if (!replace(context, arguments, result, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ReplaceLargeText)->Arg(1 << 16)->Arg(1 << 20)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

// A needle that matches everywhere but in its last byte.
void BM_IndexHostileNeedle(benchmark::State &state) {
    const SystemFunctionImpl index = implementationOf("index", 2);
    ZelkScriptContextBase context;
    const size_t size = static_cast<size_t>(state.range(0));
    std::string needle(size / 4, 'a');
    needle.back() = 'b';
    std::vector<ObjectRef> arguments = {makeStringObject(std::string(size, 'a')), makeStringObject(needle)};
    std::string error;
    for (auto _ : state) {
        ObjectRef result;
        index(context, arguments, result, error);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_IndexHostileNeedle)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_MidSmall(benchmark::State &state) {
    const SystemFunctionImpl mid = implementationOf("mid", 3);
    ZelkScriptContextBase context;
    std::vector<ObjectRef> arguments = {makeStringObject("the quick brown fox jumps"), makeLongObject(4),
                                        makeLongObject(5)};
    std::string error;
    for (auto _ : state) {
        ObjectRef result;
        mid(context, arguments, result, error);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_MidSmall);

void BM_LengthOfVector(benchmark::State &state) {
    const SystemFunctionImpl length = implementationOf("length", 1);
    ZelkScriptContextBase context;
    ObjectRef vector = makeVectorObject();
    std::string error;
    for (int i = 0; i < 100; ++i) vector->pushvectorelement(makeLongObject(i), false, error);
    std::vector<ObjectRef> arguments = {vector};
    for (auto _ : state) {
        ObjectRef result;
        length(context, arguments, result, error);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_LengthOfVector);

} // namespace
