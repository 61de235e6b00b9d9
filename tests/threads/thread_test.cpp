// Several threads using the library at once, each with contexts of its own,
// as a multi-threaded host does. What the threads share is process-wide
// state inside the library: the data-id counter, the system function table
// and its signature cache, the constant evaluator of range bounds, the
// random generators, the object block pools, the host callback bridge. Every
// thread checks every result it gets; built with ThreadSanitizer the same
// runs also show any unsynchronised access to that state.
//
// The program links the library and exports the host callbacks itself, so
// the library finds them in the main program as it finds a host's.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zelkscript/zelkscript.h"

namespace fs = std::filesystem;

namespace {

constexpr int kThreads = 8;

// Evaluations per thread: 10,000 unless the build or the environment asks
// for fewer (the sanitizer builds run the whole suite and are slower).
int evaluationsPerThread() {
    if (const char *text = std::getenv("ZELKSCRIPT_THREAD_EVALUATIONS")) {
        const int count = std::atoi(text);
        if (count > 0) return count;
    }
#ifdef ZELKSCRIPT_THREAD_EVALUATIONS
    return ZELKSCRIPT_THREAD_EVALUATIONS;
#else
    return 10000;
#endif
}

std::atomic<int64_t> hostTextCalls{0};
std::atomic<int64_t> hostDataIdCalls{0};

void writeText(char *buffer, int32_t size, const std::string &text) {
    if (buffer && size > 0) std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
}

} // namespace

// ---------------------------------------------------------------------------
// Host callbacks. They keep no state but two atomic counters, so any number
// of threads may be inside them at once.
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_callfunction_strings(
    zelkscript_contextid, const char *funcname, const char *const *params, int32_t paramcount, char *result,
    int32_t resultmaxsize, char *errmsg, int32_t errmsgmaxsize) {
    hostTextCalls.fetch_add(1, std::memory_order_relaxed);
    const std::string name = funcname ? funcname : "";
    if (name == "hostjoin" && paramcount == 2) {
        writeText(result, resultmaxsize, std::string(params[0]) + ":" + params[1]);
        return 1;
    }
    if (name == "hostsquare" && paramcount == 1) {
        const long long value = std::strtoll(params[0], nullptr, 10);
        writeText(result, resultmaxsize, std::to_string(value * value));
        return 1;
    }
    writeText(errmsg, errmsgmaxsize, "error: unknown host function " + name);
    return 0;
}

// hostpair(n, &out): out becomes 3n, and the answer is the vector [n, n + 1]
// built through data ids.
extern "C" ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_callfunction_dataids(
    zelkscript_contextid contextid, const char *funcname, const zelkscript_dataid *paramdataids, int32_t paramcount,
    zelkscript_dataid *resultid, char *errmsg, int32_t errmsgmaxsize) {
    hostDataIdCalls.fetch_add(1, std::memory_order_relaxed);
    if (std::strcmp(funcname ? funcname : "", "hostpair") != 0 || paramcount != 2) {
        writeText(errmsg, errmsgmaxsize, "error: unknown host function");
        return 0;
    }
    int32_t number = 0;
    if (!zelkscript_data_tolong(contextid, paramdataids[0], &number)) {
        writeText(errmsg, errmsgmaxsize, "error: hostpair expects a number");
        return 0;
    }
    const zelkscript_dataid triple = zelkscript_data_createlong(contextid, number * 3);
    const bool assigned = zelkscript_data_setreference_value(contextid, paramdataids[1], triple) != 0;
    zelkscript_data_free(contextid, triple);
    const zelkscript_dataid pair = zelkscript_data_createvector(contextid);
    for (int32_t value : {number, number + 1}) {
        const zelkscript_dataid element = zelkscript_data_createlong(contextid, value);
        zelkscript_data_vector_pushelement(contextid, pair, element);
        zelkscript_data_free(contextid, element);
    }
    if (!assigned) {
        writeText(errmsg, errmsgmaxsize, "error: hostpair could not write its reference");
        return 0;
    }
    *resultid = pair;
    return 1;
}

namespace {

// ---------------------------------------------------------------------------
// What one thread does and finds
// ---------------------------------------------------------------------------

struct ThreadReport {
    int evaluations = 0;
    int failures = 0;
    int hostEvaluations = 0;
    std::vector<std::string> firstFailures;
    std::vector<zelkscript_dataid> ids;  // every id this thread was issued

    void fail(const std::string &what) {
        ++failures;
        if (firstFailures.size() < 5) firstFailures.push_back(what);
    }
    void expectEqual(const std::string &what, const std::string &got, const std::string &expected) {
        if (got != expected) fail(what + ": got \"" + got.substr(0, 200) + "\", expected \"" + expected + "\"");
    }
};

int64_t fibonacci(int n) { return n < 2 ? n : fibonacci(n - 1) + fibonacci(n - 2); }

std::string joinNumbers(const std::vector<int64_t> &values, const char *separator) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) text += (i ? separator : "") + std::to_string(values[i]);
    return text;
}

class ThreadWorker {
public:
    ThreadWorker(int thread, const std::string &includePath, const std::vector<std::string> &randomTable,
                 ThreadReport &report)
        : thread_(thread), includePath_(includePath), randomTable_(randomTable), report_(report) {}

    void run(int evaluations) {
        char errmsg[256];
        context_ = zelkscript_createcontext(errmsg, sizeof errmsg);
        if (!context_) {
            report_.fail(std::string("createcontext: ") + errmsg);
            return;
        }
        if (!zelkscript_context_definefunction_strings(context_, "hostjoin(a, b)", errmsg, sizeof errmsg) ||
            !zelkscript_context_definefunction_strings(context_, "hostsquare(n)", errmsg, sizeof errmsg) ||
            !zelkscript_context_definefunction_dataids(context_, "hostpair(n, &out)", errmsg, sizeof errmsg))
            report_.fail(std::string("definefunction: ") + errmsg);
        std::string result;
        if (!evaluate("function desc(a, b) { return a > b; } return 'ready';", result) || result != "ready")
            report_.fail("set-up: " + result);
        for (int i = 0; i < evaluations; ++i) {
            // Each thread walks the values in its own order.
            const int k = (i * 7 + thread_ * 131) % 1000;
            step(i % 9, k);
            ++report_.evaluations;
            // Ids that host callbacks left for the host to free.
            if (i % 500 == 499) zelkscript_data_free_alluseddata(context_);
        }
        zelkscript_freecontext(context_);
    }

private:
    bool evaluate(const std::string &script, std::string &result) {
        char resultBuffer[1024], errorBuffer[512];
        const bool ok = zelkscript_evaluate_strings(context_, script.c_str(), resultBuffer, sizeof resultBuffer,
                                                    errorBuffer, sizeof errorBuffer) != 0;
        result = ok ? resultBuffer : std::string("error: ") + errorBuffer;
        return ok;
    }
    // The script runs in a block of its own, so the variables it declares go
    // with it, unless it must define things for later runs.
    void expectScript(const std::string &what, const std::string &script, const std::string &expected,
                      bool inBlock = true) {
        std::string result;
        evaluate(inBlock ? "{ " + script + " }" : script, result);
        report_.expectEqual(what, result, expected);
    }
    zelkscript_dataid issued(zelkscript_dataid id) {
        report_.ids.push_back(id);
        return id;
    }
    std::string textOf(zelkscript_dataid id) {
        char text[256];
        zelkscript_data_tostring(context_, id, text, sizeof text);
        return text;
    }

    void step(int kind, int k) {
        const std::string K = std::to_string(k);
        switch (kind) {
        case 0: {  // user functions from an included file (read once per context), recursing
            const int n = k % 12;
            expectScript("recursion", "include('" + includePath_ + "'); return fib(" + std::to_string(n) +
                                          ") + ',' + depth(" + std::to_string(n) + ");",
                         std::to_string(fibonacci(n)) + "," + std::to_string(n), false);
            break;
        }
        case 1: {  // sort, built-in and with a script compare function
            std::vector<int64_t> values = {k % 7, (k % 5) * 3, k % 11, k % 13 + 100, -(k % 3)};
            const std::string literal = "[" + joinNumbers(values, ", ") + "]";
            std::vector<int64_t> ascending = values, descending = values;
            std::sort(ascending.begin(), ascending.end());
            std::sort(descending.begin(), descending.end(), std::greater<>());
            expectScript("sort", "var v = " + literal + "; return join(',', sort(v)) + '|' + join(',', sort(v, 'desc'));",
                         joinNumbers(ascending, ",") + "|" + joinNumbers(descending, ","));
            break;
        }
        case 2: {  // sprintf
            char expected[128];
            std::snprintf(expected, sizeof expected, "%04d|w%d|%x|%5.1f", k, k, k, k / 4.0);
            expectScript("sprintf", "return sprintf('%04d|%s|%x|%5.1f', " + K + ", 'w' + " + K + ", " + K + ", " + K +
                                        " / 4);",
                         expected);
            break;
        }
        case 3:  // split and join
            expectScript("split/join", "var parts = split('a," + K + ",b;c'); return size(parts) + '|' + join('-', parts);",
                         "3|a-" + K + "-b;c");
            break;
        case 4:  // random numbers from a seed: the same sequence on every thread
            expectScript("random", "startrandom(" + K + "); return random(1000) + ',' + random(1000000) + ',' + random(6);",
                         randomTable_[static_cast<size_t>(k)]);
            break;
        case 5:  // regular expressions
            expectScript("regex",
                         "var t = 'id' + " + K + "; return (t =~ '^id[0-9]+$') + ',' + (t =~ '^id[0-9]{3}$') + ','"
                         " + (t !~ '^x') + ',' + size(grepvalues([t, 'x', " + K + " + 'id'], '=~', '^id'));",
                         std::string("1,") + (k >= 100 ? "1" : "0") + ",1,1");
            break;
        case 6: {  // range literals whose bounds the parser evaluates as constants
            const int a = k % 50;
            const std::string A = std::to_string(a);
            const int64_t sum = static_cast<int64_t>(a + 2 * a + 3) * (a + 4) / 2;
            expectScript("ranges",
                         "var v = [" + A + ".." + A + " * 2 + 3]; var t = 0; foreach (var x in v) t += x;"
                         " return size(v) + ',' + t + ',' + size([-(" + A + ")..0]) + ',' + join('', ['a'..'e'])"
                         " + ',' + join('', [1..2 * FILE_ATTRIBUTE_SYSTEM]);",
                         std::to_string(a + 4) + "," + std::to_string(sum) + "," + std::to_string(a + 1) +
                             ",abcde,12345678");
            break;
        }
        case 7:
            stepDataIds(k);
            break;
        case 8:  // host functions served by texts and by data ids
            ++report_.hostEvaluations;
            expectScript("host functions",
                         "var r = 0; var p = hostpair(" + K + ", r); return hostjoin(" + K +
                             ", 'x') + '|' + hostsquare(" + K + ") + '|' + r + '|' + p;",
                         K + ":x|" + std::to_string(k * k) + "|" + std::to_string(3 * k) + "|[" + K + "," +
                             std::to_string(k + 1) + "]");
            break;
        }
    }

    // Values made and read through data ids on both sides.
    void stepDataIds(int k) {
        const zelkscript_dataid vector = issued(zelkscript_data_createvector(context_));
        const zelkscript_dataid elements[] = {issued(zelkscript_data_createlong(context_, k)),
                                              issued(zelkscript_data_createstring(context_, ("s" + std::to_string(k)).c_str())),
                                              issued(zelkscript_data_createdouble(context_, k + 0.5))};
        for (zelkscript_dataid element : elements) {
            if (!zelkscript_data_vector_pushelement(context_, vector, element)) report_.fail("pushelement");
            zelkscript_data_free(context_, element);
        }
        if (!zelkscript_context_setvariable(context_, "hv", vector)) report_.fail("setvariable");
        zelkscript_dataid record = 0;
        char errmsg[256];
        if (!zelkscript_evaluate_dataids(context_, "return {n: size(hv), first: hv[0] + 1, text: hv[1], half: hv[2]};",
                                         &record, errmsg, sizeof errmsg)) {
            report_.fail(std::string("evaluate_dataids: ") + errmsg);
            return;
        }
        issued(record);
        report_.expectEqual("member count", std::to_string(zelkscript_data_structure_getmembercount(context_, record)),
                            "4");
        char name[32];
        zelkscript_data_structure_getmembername(context_, record, 0, name, sizeof name);
        report_.expectEqual("first member name", name, "first");
        zelkscript_dataid member = 0;
        int32_t number = 0;
        if (!zelkscript_data_structure_getmember(context_, record, "first", &member) ||
            !zelkscript_data_tolong(context_, issued(member), &number))
            report_.fail("member first");
        report_.expectEqual("member first", std::to_string(number), std::to_string(k + 1));
        if (!zelkscript_data_structure_getmember(context_, record, "text", &member)) report_.fail("member text");
        report_.expectEqual("member text", textOf(issued(member)), "s" + std::to_string(k));
        double real = 0;
        if (!zelkscript_data_structure_getmember(context_, record, "half", &member) ||
            !zelkscript_data_todouble(context_, issued(member), &real) || real != k + 0.5)
            report_.fail("member half");
        report_.expectEqual("vector", textOf(vector),
                            "[" + std::to_string(k) + ",'s" + std::to_string(k) + "'," + std::to_string(k) + ".5]");
        zelkscript_data_free(context_, record);
        zelkscript_data_free(context_, vector);
        // Freed ids name nothing any more.
        report_.expectEqual("freed id", std::to_string(zelkscript_data_gettype(context_, record)), "0");
    }

    int thread_;
    const std::string &includePath_;
    const std::vector<std::string> &randomTable_;
    ThreadReport &report_;
    zelkscript_contextid context_ = 0;
};

// The answers of the random step for every seed, drawn on this thread first.
std::vector<std::string> drawRandomTable() {
    std::vector<std::string> table;
    const zelkscript_contextid context = zelkscript_createcontext(nullptr, 0);
    for (int seed = 0; seed < 1000; ++seed) {
        char result[128], errmsg[256];
        const std::string script =
            "startrandom(" + std::to_string(seed) + "); return random(1000) + ',' + random(1000000) + ',' + random(6);";
        zelkscript_evaluate_strings(context, script.c_str(), result, sizeof result, errmsg, sizeof errmsg);
        table.push_back(result);
    }
    zelkscript_freecontext(context);
    return table;
}

class Threads : public ::testing::Test {
protected:
    void SetUp() override {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("zelkscript-threads-" + std::to_string(::getpid()) + "-" + info->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
};

TEST_F(Threads, EightContextsEvaluateAtOnceAndEveryResultIsRight) {
    const std::string includePath = (folder / "functions.zelkscript").string();
    std::ofstream(includePath) << "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\n"
                                  "function depth(n) { return n == 0 ? 0 : 1 + depth(n - 1); }\n";
    const std::vector<std::string> randomTable = drawRandomTable();
    ASSERT_EQ(randomTable.size(), 1000u);
    ASSERT_NE(randomTable[42], randomTable[43]);

    const int evaluations = evaluationsPerThread();
    const int64_t textCallsBefore = hostTextCalls.load(), dataIdCallsBefore = hostDataIdCalls.load();
    std::vector<ThreadReport> reports(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { ThreadWorker(t, includePath, randomTable, reports[t]).run(evaluations); });
    for (std::thread &thread : threads) thread.join();

    std::vector<zelkscript_dataid> allIds;
    int hostEvaluations = 0;
    for (int t = 0; t < kThreads; ++t) {
        const ThreadReport &report = reports[t];
        EXPECT_EQ(report.evaluations, evaluations) << "thread " << t;
        EXPECT_EQ(report.failures, 0) << "thread " << t << ", first failures:\n"
                                      << ::testing::PrintToString(report.firstFailures);
        // One thread's ids only grow: the counter never goes back.
        EXPECT_TRUE(std::is_sorted(report.ids.begin(), report.ids.end())) << "thread " << t;
        allIds.insert(allIds.end(), report.ids.begin(), report.ids.end());
        hostEvaluations += report.hostEvaluations;
    }
    // No id was issued twice, whichever thread asked.
    std::sort(allIds.begin(), allIds.end());
    EXPECT_EQ(std::adjacent_find(allIds.begin(), allIds.end()), allIds.end());
    EXPECT_EQ(std::count(allIds.begin(), allIds.end(), 0), 0);
    EXPECT_EQ(hostTextCalls.load() - textCallsBefore, 2 * hostEvaluations);
    EXPECT_EQ(hostDataIdCalls.load() - dataIdCallsBefore, hostEvaluations);
}

TEST_F(Threads, AnInterruptFromAnotherThreadStopsEachRunningContext) {
    std::vector<zelkscript_contextid> contexts(kThreads);
    for (zelkscript_contextid &context : contexts) {
        context = zelkscript_createcontext(nullptr, 0);
        ASSERT_NE(context, 0u);
        ASSERT_TRUE(zelkscript_option_setmaxloopcount(context, 0));
        ASSERT_TRUE(zelkscript_option_settimelimit(context, 60000));  // a safety net only
    }
    std::vector<std::string> errors(kThreads);
    std::vector<std::atomic<bool>> finished(kThreads);
    std::vector<std::thread> runners;
    for (int t = 0; t < kThreads; ++t) {
        runners.emplace_back([&, t] {
            char result[64], errmsg[256];
            // Endless work of different kinds: a loop, recursion through
            // sort's compare function, a host function in a loop.
            static const char *const scripts[] = {
                "while (true) {}",
                "function slow(a, b) { while (true) {} } return sort([2, 1], 'slow');",
                "function f(n) { return n; } var i = 0; while (true) { i = f(i + 1); }",
            };
            zelkscript_evaluate_strings(contexts[t], scripts[t % 3], result, sizeof result, errmsg, sizeof errmsg);
            errors[t] = errmsg;
            finished[t] = true;
        });
    }
    std::thread interrupter([&] {
        for (;;) {
            bool all = true;
            for (int t = 0; t < kThreads; ++t) {
                if (finished[t]) continue;
                all = false;
                zelkscript_interrupt(contexts[t]);
            }
            if (all) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    for (std::thread &runner : runners) runner.join();
    interrupter.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(errors[t], "run interrupted") << "thread " << t;
        char result[64], errmsg[256];
        EXPECT_TRUE(zelkscript_evaluate_strings(contexts[t], "return 6 * 7;", result, sizeof result, errmsg, sizeof errmsg))
            << errmsg;
        EXPECT_STREQ(result, "42");
        zelkscript_freecontext(contexts[t]);
    }
}

TEST_F(Threads, ContextsAreCreatedUsedAndFreedOnManyThreadsAtOnce) {
    constexpr int kRounds = 150;
    // Half of the contexts are freed by whichever thread takes them from
    // here: their values were made on one thread and are released on another.
    std::mutex handedOverLock;
    std::deque<zelkscript_contextid> handedOver;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const zelkscript_contextid context = zelkscript_createcontext(nullptr, 0);
                if (!context) {
                    ++failures[t];
                    continue;
                }
                const int n = t * 1000 + round;
                char result[128], errmsg[256];
                zelkscript_context_setintvariable(context, "n", n);
                const bool ok = zelkscript_evaluate_strings(context,
                                                            "var kept = {n: n, v: [1..10]}; return n * 2 + size(kept.v);",
                                                            result, sizeof result, errmsg, sizeof errmsg) != 0;
                if (!ok || std::string(result) != std::to_string(n * 2 + 10)) ++failures[t];
                const zelkscript_dataid id = zelkscript_data_createstring(context, "held");
                if (id <= 0) ++failures[t];
                if (round % 2 == 0) {
                    zelkscript_freecontext(context);
                } else {
                    std::lock_guard<std::mutex> lock(handedOverLock);
                    handedOver.push_back(context);
                }
                zelkscript_contextid other = 0;
                {
                    std::lock_guard<std::mutex> lock(handedOverLock);
                    if (!handedOver.empty()) {
                        other = handedOver.front();
                        handedOver.pop_front();
                    }
                }
                if (other) zelkscript_freecontext(other);
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    for (zelkscript_contextid context : handedOver) zelkscript_freecontext(context);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

} // namespace
