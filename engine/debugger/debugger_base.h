// The debugger and profiler part of every context. The interpreter calls the
// hooks below around every node it evaluates; without a debugger attached
// they must cost one well-predicted branch, so the interpreter tests
// hooksActive() before making any virtual call. The profiler's counters live
// in the nodes themselves and are kept by the interpreter's measuring step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/platform/clock.h"

namespace zelkscript {

class ZelkScriptExpressionBase;

class ZelkScriptDebuggerBase {
public:
    virtual ~ZelkScriptDebuggerBase() = default;

    // Milliseconds since an arbitrary start (a coarse monotonic tick count).
    virtual uint64_t currentTimeMs() { return tickCountMs(); }

    // Called before a node is evaluated, after an assignment changed a named
    // variable, and when a script error is raised (with the full error text).
    virtual void onStatement(ZelkScriptExpressionBase &node) { (void)node; }
    virtual void onVariableChanged(const std::string &name) { (void)name; }
    virtual void onException(const std::string &errorInfo) { (void)errorInfo; }

    // True while a debugger front end or a trace needs the hooks called.
    bool hooksActive() const noexcept { return hooksActive_; }

    // Nesting of eval and debugger evaluations: the pre-run check and node
    // registration happen only at depth 0.
    int32_t evalDepth() const noexcept { return evalDepth_; }
    void enterEval() noexcept { ++evalDepth_; }
    void leaveEval() noexcept { --evalDepth_; }

    // Depth of the debugger's call stack; the call and loop machinery compare
    // it before and after to detect an unbalanced stack.
    size_t debuggerCallDepth() const noexcept { return callStack_.size(); }
    void pushDebuggerCall(int32_t nodeIndex) { callStack_.push_back(nodeIndex); }
    void popDebuggerCall() {
        if (!callStack_.empty()) callStack_.pop_back();
    }
    void truncateDebuggerCalls(size_t depth) {
        if (callStack_.size() > depth) callStack_.resize(depth);
    }

protected:
    bool hooksActive_ = false;
    int32_t evalDepth_ = 0;
    std::vector<int32_t> callStack_;
};

} // namespace zelkscript
