// The context's scope stack, lookup order, extension fan-out and the
// isolation of one outermost run from the next.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "engine/frontend/parser.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/runtime.h"
#include "engine/values/conversions.h"

using namespace zelkscript;

namespace {

std::string runText(ZelkScriptContextBase &context, const std::string &text, bool *ok = nullptr) {
    ObjectRef result;
    ZelkScriptErrorException error("", "", 0, 0);
    bool succeeded = runScriptText(context, text, "", result, &error);
    if (ok) *ok = succeeded;
    if (!succeeded) return "error: " + error.getMessage();
    return result ? result->gettext() : std::string("<null>");
}

// An extension that supplies one constant and one variable.
class SampleExtension : public ZelkScriptUserExtension {
public:
    explicit SampleExtension(std::string name, std::string constant)
        : ZelkScriptUserExtension(std::move(name)), constant_(std::move(constant)) {}
    bool getValue(const std::string &name, ObjectRef &result) override {
        if (name != constant_) return ZelkScriptUserExtension::getValue(name, result);
        result = makeStringObject(getExtensionName());
        return true;
    }

private:
    std::string constant_;
};

} // namespace

TEST(ContextScopes, FirstDefinitionCreatesTheGlobalScope) {
    ZelkScriptContextBase context;
    EXPECT_EQ(context.scopeDepth(), 0u);
    std::string error;
    ASSERT_TRUE(context.defineVariable("x", makeLongObject(1), error));
    EXPECT_EQ(context.scopeDepth(), 1u);
    EXPECT_EQ(context.globalScope().name, "::");
    context.popScope();
    context.popScope();  // popping an empty stack does nothing
    EXPECT_EQ(context.scopeDepth(), 0u);
}

TEST(ContextScopes, DefinitionShadowingAndDuplicates) {
    ZelkScriptContextBase context;
    std::string error;
    ASSERT_TRUE(context.defineVariable("x", makeLongObject(1), error));
    EXPECT_FALSE(context.defineVariable("x", makeLongObject(2), error));
    EXPECT_EQ(error, "variable is defined multiple: x");
    context.pushScope();
    ASSERT_TRUE(context.defineVariable("x", makeLongObject(2), error));
    ObjectRef value;
    ASSERT_TRUE(context.getVariable("x", value, error));
    EXPECT_EQ(value->gettext(), "2");
    context.popScope();
    ASSERT_TRUE(context.getVariable("x", value, error));
    EXPECT_EQ(value->gettext(), "1");
}

TEST(ContextScopes, FunctionsSeeGlobalsButNotTheirCallersLocals) {
    ZelkScriptContextBase context;
    std::string error;
    ASSERT_TRUE(context.defineVariable("g", makeLongObject(1), error));
    context.pushScope("caller");
    ASSERT_TRUE(context.defineVariable("local", makeLongObject(2), error));
    ASSERT_TRUE(context.defineVariable("g", makeLongObject(3), error));
    context.pushScope("callee");
    ObjectRef value;
    EXPECT_FALSE(context.getVariable("local", value, error));
    EXPECT_EQ(error, "variable is not defined");
    ASSERT_TRUE(context.getVariable("g", value, error));
    EXPECT_EQ(value->gettext(), "1");
    ASSERT_TRUE(context.defineVariable("::made", makeLongObject(4), error));
    context.popScope();
    context.popScope();
    ASSERT_TRUE(context.getVariable("made", value, error));
    EXPECT_EQ(value->gettext(), "4");
}

TEST(ContextScopes, ManyVariablesInOneScopeStayFindable) {
    ZelkScriptContextBase context;
    std::string error;
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(context.defineVariable("v" + std::to_string(i), makeLongObject(i), error));
    ASSERT_TRUE(context.removeVariable("v17", error));
    ObjectRef value;
    for (int i = 0; i < 500; ++i) {
        bool found = context.getVariable("v" + std::to_string(i), value, error);
        EXPECT_EQ(found, i != 17) << i;
        if (found) {
            EXPECT_EQ(value->gettext(), std::to_string(i));
        }
    }
}

TEST(ContextExtensions, ValuesComeFromTheFirstExtensionThatKnowsThem) {
    ZelkScriptContextBase context;
    context.registerExtension(std::make_unique<SampleExtension>("first", "shared"));
    context.registerExtension(std::make_unique<SampleExtension>("second", "shared"));
    context.registerExtension(std::make_unique<SampleExtension>("third", "own"));
    ObjectRef value;
    ASSERT_TRUE(context.getValue("shared", value));
    EXPECT_EQ(value->gettext(), "first");
    ASSERT_TRUE(context.getValue("own", value));
    EXPECT_EQ(value->gettext(), "third");
    EXPECT_FALSE(context.hasValue("none"));
    EXPECT_EQ(context.findExtension("second")->getExtensionName(), "second");
    std::vector<ObjectRef> arguments;
    std::string error;
    EXPECT_FALSE(context.callFunction("f", arguments, value, error, ZelkScriptPosition()));
    EXPECT_EQ(error, "user function f does not exist");
    // Scripts read extension values as constants.
    EXPECT_EQ(runText(context, "return own;"), "third");
    EXPECT_EQ(runText(context, "own = 1;"), "error: const object must not be changed");
}

TEST(OutermostRuns, AnUncaughtErrorLeavesNoScopeBehind) {
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "var g = 1; { { var inner = 2; throwexception('x'); } }"), "error: x");
    const size_t depth = context.scopeDepth();
    // The next run defines at the global level, not in a dead block.
    EXPECT_EQ(runText(context, "var after = 3; return after;"), "3");
    EXPECT_EQ(context.scopeDepth(), depth);
    ObjectRef value;
    std::string error;
    ASSERT_TRUE(context.findVariableSlot(VariableName("after"), LookupMode::CurrentOnly));
    EXPECT_EQ(runText(context, "return isvariabledefined('inner');"), "0");
}

TEST(OutermostRuns, ReturnAndExitDoNotCutTheNextRunShort) {
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "return 1;"), "1");
    EXPECT_EQ(runText(context, "var a = 1; a = 2; return a;"), "2");
    EXPECT_EQ(runText(context, "exit(4);"), "<null>");
    EXPECT_TRUE(context.exitRequested());
    EXPECT_EQ(runText(context, "var b = 1; b = 5; return b;"), "5");
}

TEST(OutermostRuns, APendingPostIncrementOfAFailedStatementIsDropped) {
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "var x = 1; var y = x++ + undefinedname;"), "error: variable not defined: undefinedname");
    EXPECT_EQ(runText(context, "return x;"), "1");
    EXPECT_EQ(runText(context, "x++; return x;"), "2");
}

TEST(OutermostRuns, VariableCachesFollowRedefinitions) {
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "var x = 1; function f() { return x; } return f();"), "1");
    // A later run shadows nothing but rebinds: the cached slot must follow.
    EXPECT_EQ(runText(context, "undef x; var x = 2; return f();"), "2");
    EXPECT_EQ(runText(context, "var r = 'r'; for (var i = 0; i < 3; i++) { var x = i; r += x; } return r + x;"),
              "r0122");
}

TEST(RunLimits, ANodeBudgetEndsARunThatNoTryOrEvalCanCatch) {
    ZelkScriptContextBase context;
    context.setNodeBudget(20000);
    EXPECT_EQ(runText(context, "var n = 0; for (var i = 0; i < 10000; i++) { for (var j = 0; j < 10000; j++) { n++; } }"),
              "error: run limit reached: too many evaluation steps");
    EXPECT_EQ(runText(context, "try { while (true) { } } catch (var e) { return 'caught'; }"),
              "error: run limit reached: too many evaluation steps");
    EXPECT_EQ(runText(context, "return eval('var k = 0; for (var i = 0; i < 10000; i++) { for (var j = 0; j < 10000; j++) { k++; } }');"),
              "error: run limit reached: too many evaluation steps");
    // The budget counts per run: a small script after a stopped one runs.
    EXPECT_EQ(runText(context, "return 1 + 1;"), "2");
    context.setNodeBudget(0);
    EXPECT_EQ(runText(context, "var total = 0; for (var i = 0; i < 3000; i++) { total++; } return total;"), "3000");
}

TEST(RunLimits, ATimeLimitEndsALongRun) {
    ZelkScriptContextBase context;
    context.setTimeLimitMs(50);
    EXPECT_EQ(runText(context, "for (var i = 0; i < 10000; i++) { for (var j = 0; j < 10000; j++) { } }"),
              "error: run limit reached: time is up");
    EXPECT_EQ(runText(context, "return 3;"), "3");
}

TEST(RunLimits, AnotherThreadCanInterruptARun) {
    ZelkScriptContextBase context;
    std::thread interrupter([&context] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        context.requestInterrupt();
    });
    EXPECT_EQ(runText(context, "for (var i = 0; i < 10000; i++) { for (var j = 0; j < 10000; j++) { } }"),
              "error: run interrupted");
    interrupter.join();
    EXPECT_EQ(runText(context, "return 4;"), "4");
}

TEST(RunLimits, TheLoopLimitIsAdjustable) {
    ZelkScriptContextBase context;
    context.maxLoopCount = 5;
    EXPECT_EQ(runText(context, "var n = 0; while (n < 6) { n++; } return n;"), "6");
    EXPECT_EQ(runText(context, "var m = 0; while (m < 7) { m++; } return m;"), "error: loop never ending");
}

TEST(RunLimits, ALongPatternMatchEndsAtTheTimeLimitAndAnInterrupt) {
    // A 5,000-byte literal tried at each of a million positions takes
    // seconds inside one match; the run's limit must still end it.
    const std::string script =
        "var s = 'a'; for (var i = 0; i < 20; i++) { s += s; } var n = mid(s, 0, 5000) + 'b'; ";
    const auto start = std::chrono::steady_clock::now();
    {
        ZelkScriptContextBase context;
        context.setTimeLimitMs(100);
        EXPECT_EQ(runText(context, script + "return s =~ n;"), "error: run limit reached: time is up");
    }
    {
        ZelkScriptContextBase context;
        context.setTimeLimitMs(100);
        EXPECT_EQ(runText(context, script + "try { return grepvalues([s], '=~', n); } catch (var e) { return 'x'; }"),
                  "error: run limit reached: time is up");
    }
    {
        ZelkScriptContextBase context;
        std::thread interrupter([&context] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            context.requestInterrupt();
        });
        EXPECT_EQ(runText(context, script + "return s =~ n;"), "error: run interrupted");
        interrupter.join();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    // Watching the limits during a match changes nothing in what it finds.
    ZelkScriptContextBase context;
    context.setTimeLimitMs(60000);
    EXPECT_EQ(runText(context, "return ('xaby' =~ 'a(b)?y') + ',' + (\"ab\\ncd\" =~ '^cd') + ',' + ('x' !~ 'y');"),
              "1,0,1");
}

// The per-node counters: counts are exact, and the time of a call that takes
// long lands on the call and its ancestors, never on a node evaluated later.
TEST(NodeProfile, CountsAreExactAndALongCallKeepsItsTime) {
    ZelkScriptContextBase context;
    NodeRef root = parseScript(ZelkScriptSource("", "var n = 0; for (var i = 0; i < 40; i++) { n = n + i; } "
                                                    "sleep(60); var after = 0; for (var k = 0; k < 40; k++) { after++; }"));
    ObjectRef result;
    {
        OutermostRun run(context);
        runSyntaxTree(root, &context, result);
    }
    std::vector<ZelkScriptExpressionBase *> nodes;
    std::vector<ZelkScriptExpressionBase *> pending{root.get()};
    while (!pending.empty()) {
        ZelkScriptExpressionBase *node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        std::vector<NodeRef> children;
        node->getChildren(children);
        for (const NodeRef &child : children)
            if (child) pending.push_back(child.get());
    }
    const std::string &script = root->sourceText->bytes;
    const size_t laterStart = script.find("var after");
    int64_t sleepTime = -1, laterTime = 0;
    uint32_t additions = 0;
    for (ZelkScriptExpressionBase *node : nodes) {
        if (!node->sourcePointer) continue;
        const std::string_view source(node->sourcePointer, node->sourceLength);
        if (node->getClassName() == "ZelkScriptFunctionCall") sleepTime = node->profileTime;
        if (source == "n + i") additions = node->profileCount;
        // Every node of the statements after the sleep.
        if (static_cast<size_t>(node->sourcePointer - script.data()) >= laterStart) laterTime += node->profileTime;
    }
    EXPECT_EQ(additions, 40u);
    EXPECT_GE(sleepTime, 50);
    EXPECT_LT(laterTime, 50);
}

TEST(RunLimits, SleepingDoesNotOutlastTheTimeLimit) {
    ZelkScriptContextBase context;
    context.setTimeLimitMs(100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runText(context, "sleep(60000);"), "error: run limit reached: time is up");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
