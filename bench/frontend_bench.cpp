// Scanner and parser throughput on a large generated script (about 1 MB):
// one pass of tokens, and a full parse into a tree. Reported as bytes per
// second.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/frontend/parser.h"

namespace {

using namespace zelkscript;

// A script that uses every kind of statement and most operators, repeated
// with fresh names until it reaches the wanted size.
std::string makeLargeScript(size_t wantedBytes) {
    std::string text;
    text.reserve(wantedBytes + 1024);
    for (int block = 0; text.size() < wantedBytes; ++block) {
        const std::string n = std::to_string(block);
        text += "// block " + n + "\n";
        text += "function compute" + n + "(a, &b, ...) {\n";
        text += "  var total = 0, items = [1..8, \"x\", 0x1F], info = {name: \"block " + n + "\"; size: 3.5e2};\n";
        text += "  for (var i = 0; i < a; i++) { total += items[i % 8] * (b - i) / 2; }\n";
        text += "  foreach (var item in items) if (item =~ \"^[0-9]+$\" && !(item in [3, 4])) total -= item; else continue;\n";
        text += "  switch (total) { case 1..3: b = \"small\"; break; default: b = (string) total }\n";
        text += "  try { info.size = textlength(info.name) << 1 | 3; } catch (var e) { print(e.what); }\n";
        text += "  while (total > 100) total = total >> 1;\n";
        text += "  return total > 0 ? info{\"name\"} : __noescape__(\"c:\\path\\" + n + "\");\n";
        text += "}\n";
        text += "result" + n + " = compute" + n + "(" + n + ", value).len() + ::global.count++;\n";
    }
    return text;
}

const std::string &largeScript() {
    static const std::string script = makeLargeScript(1 << 20);
    return script;
}

void BM_ScanLargeScript(benchmark::State &state) {
    const ZelkScriptSource source("bench.zelkscript", largeScript());
    for (auto _ : state) {
        ZelkScriptScanner scanner(source);
        size_t tokens = 0;
        while (scanner.nextToken() != TOKEN_ENDOFFILE) ++tokens;
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(largeScript().size()));
}
BENCHMARK(BM_ScanLargeScript)->Unit(benchmark::kMillisecond);

void BM_ParseLargeScript(benchmark::State &state) {
    const ZelkScriptSource source("bench.zelkscript", largeScript());
    for (auto _ : state) {
        NodeRef root = parseScript(source);
        benchmark::DoNotOptimize(root.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(largeScript().size()));
}
BENCHMARK(BM_ParseLargeScript)->Unit(benchmark::kMillisecond);

void BM_DumpLargeTree(benchmark::State &state) {
    const NodeRef root = parseScript(ZelkScriptSource("bench.zelkscript", largeScript()));
    for (auto _ : state) {
        std::string dump = root->dump(0);
        benchmark::DoNotOptimize(dump.data());
    }
}
BENCHMARK(BM_DumpLargeTree)->Unit(benchmark::kMillisecond);

} // namespace
