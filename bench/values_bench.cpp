// Benchmarks of the values layer's hot paths: number texts both ways, the
// recognizers, canonical text, conversions of values made from numbers and
// from texts, number results, assignment, and container texts and copies.
#include <benchmark/benchmark.h>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

const char *const kNumberTexts[] = {"0", "42", "-12345", "3.25", "0.333333", "1e3", "007", "1.23457e+006", "abc", "2.50"};
constexpr size_t kNumberTextCount = sizeof(kNumberTexts) / sizeof(kNumberTexts[0]);

void BM_FormatLong(benchmark::State &state) {
    char buffer[kNumberTextCapacity];
    int64_t value = 1234567;
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatLongTo(buffer, value));
        value += 7919;
    }
}
BENCHMARK(BM_FormatLong);

void BM_FormatDouble(benchmark::State &state) {
    char buffer[kNumberTextCapacity];
    double value = 1.0 / 3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatDoubleTo(buffer, value));
        value *= 1.0001;
    }
}
BENCHMARK(BM_FormatDouble);

void BM_ParseIntegerText(benchmark::State &state) {
    int64_t value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseIntegerText("  -1234567 ", value));
        benchmark::DoNotOptimize(parseIntegerText("1.5", value));
    }
}
BENCHMARK(BM_ParseIntegerText);

void BM_ParseFloatText(benchmark::State &state) {
    double value = 0;
    for (auto _ : state) benchmark::DoNotOptimize(parseFloatText("0.333333", value));
}
BENCHMARK(BM_ParseFloatText);

void BM_ParseBooleanText(benchmark::State &state) {
    bool value = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseBooleanText(" yes ", value));
        benchmark::DoNotOptimize(parseBooleanText("17", value));
    }
}
BENCHMARK(BM_ParseBooleanText);

void BM_CanonicalNumberText(benchmark::State &state) {
    NumberTextBuffer buffer;
    size_t index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(canonicalNumberText(kNumberTexts[index], buffer));
        index = (index + 1) % kNumberTextCount;
    }
}
BENCHMARK(BM_CanonicalNumberText);

void BM_AnalyzeNumberText(benchmark::State &state) {
    size_t index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyzeNumberText(kNumberTexts[index]));
        index = (index + 1) % kNumberTextCount;
    }
}
BENCHMARK(BM_AnalyzeNumberText);

void BM_ToIntegerOfNumberMadeValue(benchmark::State &state) {
    const ObjectRef value = makeLongObject(123456);
    std::string error;
    int64_t result = 0;
    for (auto _ : state) benchmark::DoNotOptimize(convertToInteger(value.get(), result, error));
}
BENCHMARK(BM_ToIntegerOfNumberMadeValue);

void BM_ToIntegerOfTextValueCached(benchmark::State &state) {
    const ObjectRef value = makeStringObject("123456");
    std::string error;
    int64_t result = 0;
    for (auto _ : state) benchmark::DoNotOptimize(convertToInteger(value.get(), result, error));
}
BENCHMARK(BM_ToIntegerOfTextValueCached);

// A fresh text value each time: the first read pays for the analysis.
void BM_ToIntegerOfFreshTextValue(benchmark::State &state) {
    std::string error;
    int64_t result = 0;
    for (auto _ : state) {
        const ObjectRef value = makeStringObject("123456");
        benchmark::DoNotOptimize(convertToInteger(value.get(), result, error));
    }
}
BENCHMARK(BM_ToIntegerOfFreshTextValue);

void BM_ToDoubleOfNumberMadeValue(benchmark::State &state) {
    const ObjectRef value = makeDoubleObject(1.0 / 3);
    std::string error;
    double result = 0;
    for (auto _ : state) benchmark::DoNotOptimize(convertToDouble(value.get(), result, error));
}
BENCHMARK(BM_ToDoubleOfNumberMadeValue);

void BM_ToDoubleOfFreshTextValue(benchmark::State &state) {
    std::string error;
    double result = 0;
    for (auto _ : state) {
        const ObjectRef value = makeStringObject("0.333333");
        benchmark::DoNotOptimize(convertToDouble(value.get(), result, error));
    }
}
BENCHMARK(BM_ToDoubleOfFreshTextValue);

void BM_MakeNumberResultIntegral(benchmark::State &state) {
    double value = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(makeNumberResult(value));
        value += 1;
    }
}
BENCHMARK(BM_MakeNumberResultIntegral);

void BM_MakeNumberResultFraction(benchmark::State &state) {
    double value = 0.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(makeNumberResult(value));
        value += 1;
    }
}
BENCHMARK(BM_MakeNumberResultFraction);

// x = x + 1 as the interpreter runs it: normalise, read, add, assign.
void BM_IncrementVariable(benchmark::State &state) {
    const ObjectRef variable = makeStringObject("0");
    std::string error;
    for (auto _ : state) {
        variable->normalizenumbertext();
        NumberView view;
        variable->readNumber(view);
        int64_t value = 0;
        view.integerText(value);
        variable->assignvalue(makeLongObject(value + 1), error);
    }
    benchmark::DoNotOptimize(variable->gettext());
}
BENCHMARK(BM_IncrementVariable);

void BM_DoubleAccumulate(benchmark::State &state) {
    const ObjectRef variable = makeDoubleObject(0.5);
    std::string error;
    for (auto _ : state) {
        NumberView view;
        variable->readNumber(view);
        double value = 0;
        view.toDouble(value);
        double next = value + 0.37;
        if (next > 1000) next -= 1000;
        variable->assignvalue(makeNumberResult(next), error);
    }
}
BENCHMARK(BM_DoubleAccumulate);

ObjectRef makeMixedVector(int count) {
    ObjectRef vector = makeVectorObject();
    auto *handler = static_cast<ZelkScriptObjectVectorHandler *>(vector->handler());
    for (int i = 0; i < count; ++i) {
        switch (i % 3) {
        case 0: handler->appendElement(makeLongObject(i)); break;
        case 1: handler->appendElement(makeDoubleObject(i + 0.5)); break;
        default: handler->appendElement(makeStringObject("item " + std::to_string(i))); break;
        }
    }
    return vector;
}

ObjectRef makeMixedStructure(int count) {
    ObjectRef structure = makeStructureObject();
    auto *handler = static_cast<ZelkScriptObjectStructureHandler *>(structure->handler());
    for (int i = 0; i < count; ++i) {
        handler->setMember("member" + std::to_string(i), i % 2 ? makeLongObject(i) : makeStringObject("it's " + std::to_string(i)));
    }
    return structure;
}

void BM_VectorText1000(benchmark::State &state) {
    const ObjectRef vector = makeMixedVector(1000);
    for (auto _ : state) benchmark::DoNotOptimize(vector->gettext());
}
BENCHMARK(BM_VectorText1000);

void BM_StructureText1000(benchmark::State &state) {
    const ObjectRef structure = makeMixedStructure(1000);
    for (auto _ : state) benchmark::DoNotOptimize(structure->gettext());
}
BENCHMARK(BM_StructureText1000);

void BM_VectorValueCopy1000(benchmark::State &state) {
    const ObjectRef vector = makeMixedVector(1000);
    std::string error;
    for (auto _ : state) {
        ObjectRef copy;
        benchmark::DoNotOptimize(copyValue(vector, copy, error));
    }
}
BENCHMARK(BM_VectorValueCopy1000);

} // namespace
