// The cost of a host's smallest request, side by side with the embeddable
// language hosts compare us with: evaluate "return a + 1" on a warm
// interpreter and read the result as text. Both sides parse the text every
// time, as a host handing over script texts does.
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "zelkscript/zelkscript.h"

namespace {

void BM_ZelkscriptEvaluateReturnAPlusOne(benchmark::State &state) {
    char result[64], errmsg[256];
    const zelkscript_contextid context = zelkscript_createcontext(errmsg, sizeof errmsg);
    zelkscript_context_setintvariable(context, "a", 41);
    for (auto _ : state) {
        if (!zelkscript_evaluate_strings(context, "return a + 1;", result, sizeof result, errmsg, sizeof errmsg))
            state.SkipWithError(errmsg);
        benchmark::DoNotOptimize(result);
    }
    zelkscript_freecontext(context);
}
BENCHMARK(BM_ZelkscriptEvaluateReturnAPlusOne);

void BM_LuaDostringReturnAPlusOne(benchmark::State &state) {
    lua_State *lua = luaL_newstate();
    luaL_openlibs(lua);
    lua_pushinteger(lua, 41);
    lua_setglobal(lua, "a");
    for (auto _ : state) {
        if (luaL_dostring(lua, "return a + 1") != LUA_OK) state.SkipWithError(lua_tostring(lua, -1));
        // Read the answer as text, as the zelkscript side does.
        size_t length = 0;
        const char *text = lua_tolstring(lua, -1, &length);
        benchmark::DoNotOptimize(text);
        lua_pop(lua, 1);
    }
    lua_close(lua);
}
BENCHMARK(BM_LuaDostringReturnAPlusOne);

} // namespace

BENCHMARK_MAIN();
