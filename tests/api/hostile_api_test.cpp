// Hostile input handed to the engine through the library's public C
// interface, as a host would hand it on: script texts nested a hundred
// thousand levels deep, huge ranges and indexes, endless numbers, NUL bytes,
// values that contain themselves, scripts that never stop. Each case ends in
// a clear message or a sound result, and the context stays usable after it.
// (The same inputs are checked below the interface by the unit tests; here
// they cross the exports, the id table and the callback bridge.)
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "api_test_host.h"

namespace {

constexpr int kHostileDepth = 100000;

// The largest range a parse may expand. The AddressSanitizer build allocates
// through its checked allocator, where a million items alone take some
// twenty seconds; it walks the same path with a tenth of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kLargestRange = 100000;
#else
constexpr int32_t kLargestRange = 1000000;
#endif

std::string repeat(const std::string &part, int times) {
    std::string text;
    text.reserve(part.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) text += part;
    return text;
}

// The peak resident size of the process, in kilobytes.
long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        hostFunctions = HostFunctions();
        char errmsg[64];
        context = api.zelkscript_createcontext(errmsg, sizeof errmsg);
        ASSERT_NE(context, 0u) << errmsg;
    }
    void TearDown() override {
        if (context) api.zelkscript_freecontext(context);
    }

    bool evaluate(const std::string &script) {
        std::vector<char> resultBuffer(1 << 16), errorBuffer(4096);
        const bool ok = api.zelkscript_evaluate_strings(context, script.c_str(), resultBuffer.data(),
                                                        static_cast<int32_t>(resultBuffer.size()), errorBuffer.data(),
                                                        static_cast<int32_t>(errorBuffer.size())) != 0;
        result = resultBuffer.data();
        error = errorBuffer.data();
        return ok;
    }
    // The context still parses and runs ordinary text after a hostile run.
    void expectContextStillWorks() {
        EXPECT_TRUE(evaluate("return 1 + 1;")) << error;
        EXPECT_EQ(result, "2");
    }
    void expectNestingError(const std::string &script) {
        EXPECT_FALSE(evaluate(script));
        EXPECT_EQ(error, "invalid syntax: nesting too deep");
        EXPECT_EQ(result, "");
        int32_t line = 0, column = 0;
        EXPECT_TRUE(api.zelkscript_context_getlasterror(context, nullptr, 0, &line, &column));
        EXPECT_EQ(line, 1);
        // The parser stops where the bound is reached, long before the end.
        EXPECT_GT(column, 0);
        EXPECT_LT(column, 10000);
        expectContextStillWorks();
    }
    std::string textOf(zelkscript_dataid id) {
        std::vector<char> value(1 << 16);
        api.zelkscript_data_tostring(context, id, value.data(), static_cast<int32_t>(value.size()));
        return value.data();
    }
    zelkscript_dataid variableId(const char *name) {
        zelkscript_dataid id = 0;
        EXPECT_TRUE(api.zelkscript_context_getvariable(context, name, &id)) << name;
        return id;
    }
    void define(const char *prototype) {
        char errmsg[256];
        ASSERT_TRUE(api.zelkscript_context_definefunction_strings(context, prototype, errmsg, sizeof errmsg))
            << errmsg;
    }

    bool evaluateWhileInterrupted(const std::string &script);

    zelkscript_contextid context = 0;
    std::string result, error;
};

// ===========================================================================
// Nesting and length
// ===========================================================================

TEST_F(HostileInput, HundredThousandNestedBracketsEndInNestingError) {
    expectNestingError("return " + repeat("(", kHostileDepth) + "1" + repeat(")", kHostileDepth) + ";");
}

TEST_F(HostileInput, HundredThousandNestedVectorLiteralsEndInNestingError) {
    expectNestingError("var v = " + repeat("[", kHostileDepth) + "1" + repeat("]", kHostileDepth) + ";");
}

TEST_F(HostileInput, HundredThousandNestedBlocksEndInNestingError) {
    expectNestingError(repeat("{", kHostileDepth) + "x = 1;" + repeat("}", kHostileDepth));
}

TEST_F(HostileInput, HundredThousandNestedIfStatementsEndInNestingError) {
    expectNestingError("var x = 0; " + repeat("if (1) ", kHostileDepth) + "x = 1; return x;");
}

TEST_F(HostileInput, HundredThousandUnaryMinusSignsEndInNestingError) {
    expectNestingError("return " + repeat("- ", kHostileDepth) + "1;");
}

TEST_F(HostileInput, DeepTextHandedInByTheHostFailsInsideEvalAndTheRunGoesOn) {
    // The hostile text reaches the parser while a script runs, already some
    // levels down the stack; eval turns the parse error into its answer.
    const std::string deep = repeat("(", kHostileDepth) + "1" + repeat(")", kHostileDepth);
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "deep", deep.c_str()));
    EXPECT_TRUE(evaluate("function f(t) { return eval(t); } return f(deep) + '|' + strlen(deep);")) << error;
    EXPECT_EQ(result, "<evalerror> Line 1 Col 1000 invalid syntax: nesting too deep|200001");
    expectContextStillWorks();
}

TEST_F(HostileInput, HundredThousandStatementsInSequenceRunToTheRightResult) {
    EXPECT_TRUE(evaluate("var x = 0;\n" + repeat("x = x + 1;\n", kHostileDepth) + "return x;")) << error;
    EXPECT_EQ(result, "100000");
    // An error after a hundred thousand lines still points at its own line.
    EXPECT_FALSE(evaluate("var y = 0;" + repeat("\n", kHostileDepth) + "return y / 0;"));
    EXPECT_EQ(error, "division by 0");
    int32_t line = 0;
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, nullptr, 0, &line, nullptr));
    EXPECT_EQ(line, kHostileDepth + 1);
}

// ===========================================================================
// Sizes a script asks for
// ===========================================================================

TEST_F(HostileInput, RangesPastAMillionItemsAreRefusedAndAMillionWorks) {
    EXPECT_FALSE(evaluate("var r = [1..100000000]; return size(r);"));
    EXPECT_EQ(error, "invalid number range");
    int32_t column = 0;
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, nullptr, 0, nullptr, &column));
    EXPECT_EQ(column, 10);
    // A refused range defines nothing: the statement never ran.
    EXPECT_FALSE(evaluate("return r;"));
    // One item past the cap is refused before anything is built.
    EXPECT_FALSE(evaluate("return size([0..1000000]);"));
    EXPECT_EQ(error, "invalid number range");

    // A million items is the most one parse may expand; the host reads the
    // vector through its id.
    const std::string items = std::to_string(kLargestRange);
    zelkscript_dataid vector = 0;
    char errmsg[256];
    ASSERT_TRUE(api.zelkscript_evaluate_dataids(
        context, ("var m = [1.." + items + "]; var n = size(m); push(m, n); return m;").c_str(), &vector, errmsg,
        sizeof errmsg))
        << errmsg;
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, vector), kLargestRange + 1);
    for (const auto &[index, text] : {std::pair{0, std::string("1")}, std::pair{kLargestRange - 1, items},
                                      std::pair{kLargestRange, items}}) {
        zelkscript_dataid element = 0;
        ASSERT_TRUE(api.zelkscript_data_vector_getelement(context, vector, index, &element));
        EXPECT_EQ(textOf(element), text) << index;
    }
    // The cap counts per parse, not per context.
    EXPECT_TRUE(evaluate("return size([1..10]);")) << error;
    EXPECT_EQ(result, "10");
    api.zelkscript_data_free(context, vector);
}

TEST_F(HostileInput, AVectorIndexOfTenToTheTwelfthFailsWithoutAllocating) {
    const long peakBefore = peakResidentKilobytes();
    EXPECT_FALSE(evaluate("var v = [7]; v[1000000000000] = 1;"));
    EXPECT_EQ(error, "vector index too large");
    EXPECT_TRUE(evaluate("try { v[1000000000000] = 1; } catch (var e) { return e.what + ',' + size(v); }")) << error;
    EXPECT_EQ(result, "vector index too large,1");
    EXPECT_FALSE(evaluate("return v[1000000000000];"));
    EXPECT_EQ(error, "vector index too large");
    // The vector the host reads is the one-element vector it was.
    const zelkscript_dataid vector = variableId("v");
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, vector), 1);
    EXPECT_EQ(textOf(vector), "[7]");
    EXPECT_LT(peakResidentKilobytes() - peakBefore, 256 * 1024);
}

// ===========================================================================
// Numbers of ten thousand digits
// ===========================================================================

TEST_F(HostileInput, TenThousandDigitLiteralsAreDoublesThatOverflowToInfinity) {
    const std::string digits(10000, '9');
    // Too long for a long, so a double; its text stays the text written.
    EXPECT_TRUE(evaluate("var big = " + digits + "; return gettype(big) + ',' + strlen(big) + ',' + isnumber(big);"))
        << error;
    EXPECT_EQ(result, "double,10000,0");
    // Arithmetic reads it as the double it is: infinity.
    EXPECT_TRUE(evaluate("return big * 2;")) << error;
    EXPECT_EQ(result, "inf");
    EXPECT_TRUE(evaluate("return (double)big;")) << error;
    EXPECT_EQ(result, "inf");
    EXPECT_FALSE(evaluate("return (int)big;"));
    EXPECT_EQ(error, "integer value expected");
    // A sign needs a number; this text is none.
    EXPECT_FALSE(evaluate("return -" + digits + ";"));
    EXPECT_EQ(error, "number required");
    // With a fraction it is a floating-point text, read to the nearest double.
    EXPECT_TRUE(evaluate("return 1 * 0." + digits + ";")) << error;
    EXPECT_EQ(result, "1");

    // The host reads the same value through its exports.
    zelkscript_dataid id = 0;
    char errmsg[256];
    ASSERT_TRUE(api.zelkscript_evaluate_dataids(context, "return big;", &id, errmsg, sizeof errmsg)) << errmsg;
    EXPECT_EQ(textOf(id), digits);
    double real = 0;
    EXPECT_TRUE(api.zelkscript_data_todouble(context, id, &real));
    EXPECT_TRUE(std::isinf(real) && real > 0);
    int32_t number = 5;
    EXPECT_FALSE(api.zelkscript_data_tolong(context, id, &number));
    EXPECT_EQ(number, 0);
    int64_t wide = 5;
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "big", &wide));
    EXPECT_EQ(wide, 0);
}

TEST_F(HostileInput, TenThousandDigitTextsConvertToInfinityOrFail) {
    const std::string digits(10000, '9');
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "t", digits.c_str()));
    // The text reads as a double (too long for a long) but is no number
    // for the operators, which want an integer text or one with a point.
    EXPECT_TRUE(evaluate("return gettype(t) + ',' + isnumber(t) + ',' + (double)t + ',' + t * 1 + ',' + (t == t * 1);"))
        << error;
    EXPECT_EQ(result, "double,0,inf,inf,0");
    EXPECT_FALSE(evaluate("return (int)t;"));
    EXPECT_EQ(error, "integer value expected");
    // "+" adds numbers only; this text is none, so it is joined.
    EXPECT_TRUE(evaluate("return strlen(t + 1);")) << error;
    EXPECT_EQ(result, "10001");

    // The context-free checks and conversions: no integer, a double of inf.
    EXPECT_FALSE(api.zelkscript_data_islong(digits.c_str()));
    EXPECT_FALSE(api.zelkscript_data_isnumber(digits.c_str()));
    int32_t number = 5;
    EXPECT_FALSE(api.zelkscript_data_getlong(digits.c_str(), &number));
    double real = 0;
    EXPECT_TRUE(api.zelkscript_data_getdouble(digits.c_str(), &real));
    EXPECT_TRUE(std::isinf(real) && real > 0);
    int64_t wide = 5;
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "t", &wide));
    real = 0;
    EXPECT_TRUE(api.zelkscript_context_getdoublevariable(context, "t", &real));
    EXPECT_TRUE(std::isinf(real) && real > 0);
    // An exponent of ten thousand digits: the script's conversions and the
    // context-free ones refuse it (its canonical text is "inf"); the
    // variable reader takes the whole text as a floating-point text.
    const std::string exponent = "1e" + digits;
    EXPECT_FALSE(api.zelkscript_data_isnumber(exponent.c_str()));
    EXPECT_FALSE(api.zelkscript_data_getlong(exponent.c_str(), &number));
    EXPECT_FALSE(api.zelkscript_data_getdouble(exponent.c_str(), &real));
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "e", exponent.c_str()));
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "e", &wide));
    real = 0;
    EXPECT_TRUE(api.zelkscript_context_getdoublevariable(context, "e", &real));
    EXPECT_TRUE(std::isinf(real) && real > 0);
    EXPECT_FALSE(evaluate("return e * 1;"));
    EXPECT_EQ(error, "double value expected");
    // Zeros in front change nothing.
    const std::string padded = std::string(10000, '0') + "42";
    EXPECT_TRUE(api.zelkscript_data_getlong(padded.c_str(), &number));
    EXPECT_EQ(number, 42);
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "p", padded.c_str()));
    EXPECT_TRUE(evaluate("return p + 1;")) << error;
    EXPECT_EQ(result, "43");
}

// ===========================================================================
// NUL bytes
// ===========================================================================

TEST_F(HostileInput, NulBytesMadeByEscapesKeepTheirLengthAcrossTheInterface) {
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "host", "ab"));
    ASSERT_TRUE(evaluate("var t = host + \"\\x00\" + host; var z = \"\\x00\";")) << error;
    EXPECT_TRUE(evaluate("return strlen(t) + ',' + strlen(z) + ',' + (t == host) + ',' + (t == 'ab' + z + 'ab')"
                         " + ',' + (t < host + z + 'ac') + ',' + (z == '') + ',' + index(t, z);"))
        << error;
    EXPECT_EQ(result, "5,1,0,1,1,0,2");

    // The counted wide string carries the whole text, NUL included.
    zelkscript_bstr wide = nullptr;
    ASSERT_TRUE(api.zelkscript_context_gettextvariable_bstr(context, "t", &wide));
    uint32_t byteLength = 0;
    std::memcpy(&byteLength, reinterpret_cast<const char *>(wide) - 4, 4);
    EXPECT_EQ(byteLength, 5 * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(wide, 5), std::wstring(L"ab\0ab", 5));
    EXPECT_EQ(wide[5], L'\0');
    // The C-string readers stop at the NUL: they cannot tell the rest.
    EXPECT_EQ(api.zelkscript_data_bstr_getsize(wide, 0), 3);
    api.zelkscript_bstr_free(wide);

    // The byte buffers receive every byte and a final NUL.
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(api.zelkscript_context_gettextvariable(context, "t", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0ab\0", 6));
    const zelkscript_dataid id = variableId("t");
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(api.zelkscript_data_tostring(context, id, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0ab\0", 6));
    EXPECT_EQ(api.zelkscript_data_gettype(context, id), 'S');
    // A duplicate is the same five bytes.
    const zelkscript_dataid copy = api.zelkscript_data_duplicate(context, id);
    ASSERT_NE(copy, 0);
    ASSERT_TRUE(api.zelkscript_context_setvariable(context, "copy", copy));
    EXPECT_TRUE(evaluate("return (copy == t) + ',' + strlen(copy);")) << error;
    EXPECT_EQ(result, "1,5");
}

TEST_F(HostileInput, NulBytesReachHostFunctionsAsTheTextBeforeThem) {
    // A text function receives C strings: the argument ends at the NUL, and
    // the library hands over no bytes past it.
    hostFunctions.texts["measure"] = [](const HostCall &call, char *out, int32_t size, char *, int32_t) {
        std::snprintf(out, static_cast<size_t>(size), "%zu:%s", call.texts[0].size(), call.texts[0].c_str());
        return true;
    };
    define("measure(text)");
    EXPECT_TRUE(evaluate("return measure(\"left\\x00right\");")) << error;
    EXPECT_EQ(result, "4:left");
    // A data-id function reads the whole value through the id.
    std::string seen;
    hostFunctions.dataIds["whole"] = [&seen](const HostCall &call, zelkscript_dataid *out, char *, int32_t) {
        char value[64];
        std::memset(value, 'x', sizeof value);
        api.zelkscript_data_tostring(call.context, call.ids[0], value, sizeof value);
        seen.assign(value, 11);
        *out = api.zelkscript_data_createlong(call.context, 11);
        return true;
    };
    char errmsg[256];
    ASSERT_TRUE(api.zelkscript_context_definefunction_dataids(context, "whole(text)", errmsg, sizeof errmsg));
    EXPECT_TRUE(evaluate("return whole(\"left\\x00right\");")) << error;
    EXPECT_EQ(result, "11");
    EXPECT_EQ(seen, std::string("left\0right\0", 11));
}

// ===========================================================================
// Values that contain themselves
// ===========================================================================

TEST_F(HostileInput, ASelfContainingStructurePrintsComparesAndFreesThroughIds) {
    ASSERT_TRUE(evaluate("var s = {a: 1}; s.me =& s;")) << error;
    EXPECT_TRUE(evaluate("return tostring(s);")) << error;
    EXPECT_EQ(result, "{a: 1, me: ...}");
    EXPECT_TRUE(evaluate("print(s); while (false) {}")) << error;
    EXPECT_EQ(result, "{a: 1, me: ...}");
    EXPECT_TRUE(evaluate("return (s == s) + ',' + (s.me == s) + ',' + s.me.me.me.a;")) << error;
    EXPECT_EQ(result, "1,1,1");
    EXPECT_FALSE(evaluate("var c = s;"));
    EXPECT_EQ(error, "value contains itself");

    const zelkscript_dataid id = variableId("s");
    EXPECT_EQ(api.zelkscript_data_gettype(context, id), '{');
    EXPECT_EQ(textOf(id), "{a: 1, me: ...}");
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, id), 2);
    zelkscript_dataid me = 0;
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, id, "me", &me));
    zelkscript_dataid meAgain = 0;
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, me, "me", &meAgain));
    EXPECT_EQ(textOf(meAgain), "{a: 1, me: ...}");
    // A deep copy of a value that contains itself cannot exist.
    EXPECT_EQ(api.zelkscript_data_duplicate(context, id), 0);
    // A returned value is a copy, which cannot be made: the run fails
    // cleanly, and the host's id for it is 0.
    zelkscript_dataid returned = 7;
    char errmsg[256];
    EXPECT_FALSE(api.zelkscript_evaluate_dataids(context, "return s;", &returned, errmsg, sizeof errmsg));
    EXPECT_STREQ(errmsg, "value contains itself");
    EXPECT_EQ(returned, 0);
    // Freeing the outer id releases the ids inside it, and ends.
    api.zelkscript_data_free(context, id);
    char debug[64];
    EXPECT_FALSE(api.zelkscript_data_debug(context, me, debug, sizeof debug));
    EXPECT_FALSE(api.zelkscript_data_debug(context, meAgain, debug, sizeof debug));
    EXPECT_TRUE(evaluate("return s.me.a;")) << error;
    EXPECT_EQ(result, "1");
    // The context is freed with the cycle still in it: the leak checker of
    // the sanitizer build watches that this releases everything.
}

TEST_F(HostileInput, ASelfContainingVectorPrintsComparesAndFreesThroughIds) {
    ASSERT_TRUE(evaluate("var v = [1]; pushreference(v, v);")) << error;
    EXPECT_TRUE(evaluate("return tostring(v) + '|' + (v == v) + '|' + size(v) + '|' + v[1][1][1][0];")) << error;
    EXPECT_EQ(result, "[1,...]|1|2|1");
    EXPECT_TRUE(evaluate("println(v); while (false) {}")) << error;
    EXPECT_EQ(result, "[1,...]\n");
    EXPECT_FALSE(evaluate("var w = []; push(w, v);"));
    EXPECT_EQ(error, "value contains itself");
    EXPECT_FALSE(evaluate("return v;"));
    EXPECT_EQ(error, "value contains itself");

    const zelkscript_dataid id = variableId("v");
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, id), 2);
    EXPECT_EQ(textOf(id), "[1,...]");
    zelkscript_dataid inner = 0;
    ASSERT_TRUE(api.zelkscript_data_vector_getelement(context, id, 1, &inner));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, inner), 2);
    EXPECT_EQ(api.zelkscript_data_duplicate(context, id), 0);
    // Pushing the vector into itself through the host copies: refused.
    EXPECT_FALSE(api.zelkscript_data_vector_pushelement(context, id, id));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, id), 2);
    // Two structures holding each other, built by the host.
    const zelkscript_dataid left = api.zelkscript_data_createstructure(context);
    const zelkscript_dataid right = api.zelkscript_data_createstructure(context);
    ASSERT_TRUE(api.zelkscript_data_structure_setmember(context, left, "other", right));
    ASSERT_TRUE(api.zelkscript_data_structure_setmember(context, right, "other", left));
    EXPECT_EQ(textOf(left), "{other: {other: ...}}");
    ASSERT_TRUE(api.zelkscript_context_setvariable(context, "pair", left));
    EXPECT_TRUE(evaluate("return (pair == pair.other.other) + tostring(pair.other);")) << error;
    EXPECT_EQ(result, "1{other: {other: ...}}");
    api.zelkscript_data_free(context, left);
    api.zelkscript_data_free(context, id);
    api.zelkscript_data_free_alluseddata(context);
    expectContextStillWorks();
}

// ===========================================================================
// Scripts that never stop
// ===========================================================================

TEST_F(HostileInput, AScriptThatEvaluatesItselfEndsWithTooManyRecursiveCalls) {
    EXPECT_TRUE(evaluate("var s = \"eval(s);\"; eval(s); return eval(s);")) << error;
    const std::string ending = "too many recursive calls";
    ASSERT_GE(result.size(), ending.size()) << result;
    EXPECT_EQ(result.substr(result.size() - ending.size()), ending) << result;
    EXPECT_EQ(result.rfind("<evalerror>", 0), 0u) << result;
    // Every level was left: a function may recurse deeply again.
    EXPECT_TRUE(evaluate("function down(n) { return n == 0 ? 0 : 1 + down(n - 1); } return down(45);")) << error;
    EXPECT_EQ(result, "45");
    // Recursion through a host callback that runs the script again ends too.
    hostFunctions.texts["again"] = [](const HostCall &call, char *out, int32_t size, char *errmsg, int32_t errsize) {
        std::vector<char> nested(1024);
        if (!api.zelkscript_evaluate_strings(call.context, "return again();", nested.data(), 1024, errmsg, errsize))
            return false;
        std::snprintf(out, static_cast<size_t>(size), "%s", nested.data());
        return true;
    };
    define("again()");
    EXPECT_FALSE(evaluate("return again();"));
    EXPECT_NE(error.find("too many recursive calls"), std::string::npos) << error;
    expectContextStillWorks();
}

TEST_F(HostileInput, NodeBudgetEndsEndlessWorkWhereverItRuns) {
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 0));  // only the budget may stop these
    ASSERT_TRUE(api.zelkscript_option_setnodebudget(context, 50000));
    const std::string budget = "run limit reached: too many evaluation steps";
    // A bare endless loop.
    EXPECT_FALSE(evaluate("while (true) {}"));
    EXPECT_EQ(error, budget);
    // Nested loops of ten thousand passes inside a function inside eval,
    // with every error caught on the way.
    EXPECT_FALSE(evaluate("function spin() { for (var i = 0; i < 10000; i++) for (var j = 0; j < 10000; j++) {} }"
                          "try { eval('try { spin(); } catch (var e) {}'); } catch (var e) { return 'caught'; }"));
    EXPECT_EQ(error, budget);
    // Inside a sort compare function, with the sort inside try.
    EXPECT_FALSE(evaluate("function slow(a, b) { while (true) {} }"
                          "try { return sort([3, 1, 2], 'slow'); } catch (var e) { return 'caught'; }"));
    EXPECT_EQ(error, budget);
    // Nested runs made by a host callback count against the same budget.
    int nestedRuns = 0;
    hostFunctions.texts["work"] = [&nestedRuns](const HostCall &call, char *out, int32_t size, char *errmsg,
                                                int32_t errsize) {
        ++nestedRuns;
        std::vector<char> nested(64);
        if (!api.zelkscript_evaluate_strings(call.context, "var n = 0; for (var i = 0; i < 5000; i++) n++; return n;",
                                             nested.data(), 64, errmsg, errsize))
            return false;
        std::snprintf(out, static_cast<size_t>(size), "%s", nested.data());
        return true;
    };
    define("work()");
    EXPECT_FALSE(evaluate("while (true) work();"));
    EXPECT_EQ(error, budget);
    EXPECT_GT(nestedRuns, 1);
    EXPECT_LT(nestedRuns, 200);
    // The budget is per outermost run: a small one still passes.
    EXPECT_TRUE(evaluate("return work();")) << error;
    EXPECT_EQ(result, "5000");
}

// Runs the script while another thread keeps asking the context to stop;
// answers whether the run succeeded.
bool HostileInput::evaluateWhileInterrupted(const std::string &script) {
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!done.load()) {
            api.zelkscript_interrupt(context);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const bool ok = evaluate(script);
    done = true;
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << script;
    return ok;
}

TEST_F(HostileInput, InterruptFromAnotherThreadEndsRunsStuckDeepInside) {
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 0));
    ASSERT_TRUE(api.zelkscript_option_settimelimit(context, 60000));  // a safety net only
    const std::vector<std::string> stuck = {
        // in a sort compare function, the sort inside try
        "function slow(a, b) { while (true) {} } try { sort([3, 1, 2], 'slow'); } catch (var e) {} return 'ran on';",
        // in eval inside a recursing function, inside try
        "function r(n) { return n == 0 ? eval('while (true) {}') : r(n - 1); }"
        " try { return r(20); } catch (var e) {} return 'ran on';",
    };
    for (const std::string &script : stuck) {
        EXPECT_FALSE(evaluateWhileInterrupted(script)) << script << " gave " << result;
        EXPECT_EQ(error, "run interrupted") << script;
        expectContextStillWorks();
    }
}

TEST_F(HostileInput, InterruptOfANestedRunEndsTheOuterRunToo) {
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 0));
    ASSERT_TRUE(api.zelkscript_option_settimelimit(context, 60000));  // a safety net only
    hostFunctions.texts["inner"] = [](const HostCall &call, char *out, int32_t size, char *errmsg, int32_t errsize) {
        std::vector<char> nested(64);
        if (!api.zelkscript_evaluate_strings(call.context, "while (true) {} return 1;", nested.data(), 64, errmsg,
                                             errsize))
            return false;
        std::snprintf(out, static_cast<size_t>(size), "%s", nested.data());
        return true;
    };
    define("inner()");
    EXPECT_FALSE(evaluateWhileInterrupted("try { inner(); } catch (var e) {} return 'ran on';")) << result;
    EXPECT_EQ(error, "run interrupted");
    expectContextStillWorks();
}

} // namespace
