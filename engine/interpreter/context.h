// A context is one running interpreter: the scope stack with every variable a
// script can see, the user functions, the extensions that supply further
// functions and predefined values, the control-flow flags, the limits that
// stop runaway scripts and the streams that printing writes to. Every node of
// the syntax tree is executed against a context.
//
// Variable lookup is the hottest operation of the interpreter. Scopes keep
// their variables in a small hash-indexed table, names carry a precomputed
// hash, and a node may cache the slot it found together with the frame it
// looked from (a call's scopes, or the top level's) and two change stamps:
// the frame's, which changes whenever a binding in one of its scopes is
// added or removed, and the global level's. A cached slot is used only while
// it is certainly what a full lookup would find; calls made in between and
// returned leave the caller's caches valid.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/debugger/debugger_base.h"
#include "engine/frontend/syntax_tree.h"
#include "engine/interpreter/script_error.h"
#include "engine/interpreter/user_function.h"
#include "engine/interpreter/variable_name.h"
#include "engine/library/regex.h"
#include "engine/values/object.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

// ---------------------------------------------------------------------------
// Extensions: named suppliers of functions and predefined values.
// ---------------------------------------------------------------------------
class ZelkScriptUserExtension {
public:
    explicit ZelkScriptUserExtension(std::string name = {}) : extensionName_(std::move(name)) {}
    virtual ~ZelkScriptUserExtension() = default;

    virtual bool isEnabled() { return true; }
    virtual void reset() {}
    virtual bool hasVariable(const std::string &name) { (void)name; return false; }
    virtual ObjectRef getVariableObject(const std::string &name) { (void)name; return {}; }
    virtual bool hasValue(const std::string &name) {
        ObjectRef scratch;
        return getValue(name, scratch);
    }
    virtual bool getValue(const std::string &name, ObjectRef &result) {
        (void)name;
        result.reset();
        return false;
    }
    // The definition of a function with this name that accepts this many
    // arguments, or null.
    virtual const ZelkScriptUserFunction *findFunction(const std::string &name, size_t argumentCount) {
        (void)name;
        (void)argumentCount;
        return nullptr;
    }
    virtual bool callFunction(const std::string &name, std::vector<ObjectRef> &arguments, ObjectRef &result,
                              std::string &error, const ZelkScriptPosition &position) {
        (void)arguments;
        (void)result;
        (void)position;
        error = "user function " + name + " does not exist";
        return false;
    }
    virtual std::string summary() { return "UserExtension " + extensionName_ + "\n"; }
    virtual bool checkFinished(std::string &message) { (void)message; return true; }

    const std::string &getExtensionName() const noexcept { return extensionName_; }

protected:
    std::string extensionName_;
};

// ---------------------------------------------------------------------------
// Scopes.
// ---------------------------------------------------------------------------

// The variables of one scope: insertion-ordered entries with a hash index
// once the scope grows past a handful of names. Names are unique per scope.
class ScopeVariableTable {
public:
    ObjectRef *find(std::string_view name, uint64_t hash) noexcept;
    // The name must not be present yet.
    ObjectRef &insert(std::string_view name, uint64_t hash, ObjectRef object);
    bool erase(std::string_view name, uint64_t hash);
    void clear() noexcept;
    size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    // Names in byte-wise order.
    std::vector<std::string> sortedNames() const;

private:
    struct Entry {
        std::string name;
        uint64_t hash;
        ObjectRef object;
    };
    static constexpr size_t kLinearLimit = 8;
    void rebuildIndex();

    std::vector<Entry> entries_;
    std::vector<uint32_t> index_;  // open addressing: entry index + 1, 0 = free
};

// A post-increment or post-decrement whose effect is still due.
struct PendingPostExpression {
    ObjectRef target;
    int32_t postOperator = 0;
    NodeRef origin;  // the post-expression node that registered it, for error positions
};

class ZelkScriptScope {
public:
    ZelkScriptScope() = default;
    virtual ~ZelkScriptScope() = default;
    ZelkScriptScope(const ZelkScriptScope &) = delete;
    ZelkScriptScope &operator=(const ZelkScriptScope &) = delete;

    // Empties the scope for reuse.
    void reset(std::string scopeName);

    ScopeVariableTable variables;
    std::vector<ZelkScriptUserFunction> functions;
    std::vector<PendingPostExpression> postExpressions;
    // "::" for a global-level scope, the function name for the outermost
    // scope of a call, empty for a plain block.
    std::string name;

    // For cached lookups. A frame is a named scope with the blocks above
    // it: what a name resolves to from inside depends only on the frame's
    // scopes and the global level. `serial` is unique to each push of a
    // scope; a frame's `stamp` changes whenever a binding in one of its
    // scopes is added or removed, or one of its blocks holding variables
    // goes.
    ZelkScriptScope *frame = nullptr;
    uint64_t serial = 0;
    uint64_t stamp = 0;
};

enum class LookupMode { CurrentOnly, Visible };

// The error that ends a run when a host's run limit is reached or the host
// interrupts it. It is fatal, and nothing in a script (not even eval) turns
// it into a value.
class ZelkScriptRunLimitException : public ZelkScriptErrorException {
public:
    using ZelkScriptErrorException::ZelkScriptErrorException;
};

// Empties every plain container reachable from the roots, releasing the
// cycles among them; used when the holder of all of them goes away.
void breakContainerCycles(const std::vector<ObjectRef> &roots);

// ---------------------------------------------------------------------------
// The context.
// ---------------------------------------------------------------------------
class ZelkScriptContextBase : public ZelkScriptDebuggerBase, public ZelkScriptUserExtension {
public:
    static constexpr uint64_t kDefaultMaxLoopCount = 10000;
    static constexpr uint32_t kDefaultMaxScopeDepth = 100;

    ZelkScriptContextBase();
    ~ZelkScriptContextBase() override;
    ZelkScriptContextBase(const ZelkScriptContextBase &) = delete;
    ZelkScriptContextBase &operator=(const ZelkScriptContextBase &) = delete;

    // --- Debugger base and permission operations (virtual, as in the
    // context's own table). ---
    virtual void logLine(const std::string &text);
    virtual bool mayAccessFile(const std::string &path, char mode);
    virtual bool mayExecuteCommand(const std::string &command, std::string &error);

    // --- Variables. ---
    // Defines a variable holding null, then makes it a reference to the
    // initial value when one is given. reuseVisible: an existing visible
    // variable is reused instead of failing (auto definitions).
    virtual bool defineVariable(const std::string &name, const ObjectRef &initialValue, std::string &error,
                                bool reuseVisible = false);
    // Binds the name to the object itself (reference parameters, "=&").
    virtual bool defineReference(const std::string &name, const ObjectRef &object, std::string &error,
                                 bool visibleLookup = true);
    // Defines a new variable (current scope, or the global level for a "::"
    // name) that is the given object itself. The caller hands over a fresh
    // object nothing else holds, such as a value copy: what defineVariable
    // gives for it, without a second object to share its handler. Fails as
    // defineVariable does when the scope has the name already.
    bool defineOwnedVariable(const std::string &name, ObjectRef object, std::string &error);
    virtual bool setVariableText(const std::string &name, const std::string &text, std::string &error,
                                 bool asReference, bool defineIfMissing);
    virtual bool setVariable(const std::string &name, const ObjectRef &value, std::string &error, bool asReference,
                             bool defineIfMissing);
    virtual bool getVariableText(const std::string &name, std::string &text, std::string &error);
    virtual bool getVariable(const std::string &name, ObjectRef &result, std::string &error);
    virtual bool requestExit(int32_t exitCode, std::string &error);

    // The slot holding a variable, or null. Does not ask extensions.
    ObjectRef *findVariableSlot(const VariableName &name, LookupMode mode, ZelkScriptScope **holder = nullptr);
    // Removes the variable that the visible lookup finds.
    bool removeVariable(const std::string &name, std::string &error);

    // --- Extension fan-out: the context answers as the union of its
    // registered extensions, in registration order. ---
    bool hasVariable(const std::string &name) override;
    ObjectRef getVariableObject(const std::string &name) override;
    bool hasValue(const std::string &name) override;
    bool getValue(const std::string &name, ObjectRef &result) override;
    const ZelkScriptUserFunction *findFunction(const std::string &name, size_t argumentCount) override;
    bool callFunction(const std::string &name, std::vector<ObjectRef> &arguments, ObjectRef &result,
                      std::string &error, const ZelkScriptPosition &position) override;
    bool checkFinished(std::string &message) override;

    // Takes ownership; extensions are asked in registration order.
    void registerExtension(std::unique_ptr<ZelkScriptUserExtension> extension);
    ZelkScriptUserExtension *findExtension(const std::string &name);
    const std::vector<std::unique_ptr<ZelkScriptUserExtension>> &extensions() const { return extensions_; }
    // Bumped whenever the set of functions a call could resolve to changes
    // (a user function defined, an extension registered), so call nodes can
    // cache their resolution.
    uint64_t functionEpoch() const noexcept { return functionEpoch_; }
    void noteFunctionsChanged() noexcept { ++functionEpoch_; }

    // --- Scopes. ---
    void pushScope(std::string name = {});
    void popScope();
    // Pops scopes until the depth is at most the given one.
    void truncateScopes(size_t depth);
    ZelkScriptScope &currentScope();
    ZelkScriptScope &globalScope();
    size_t scopeDepth() const noexcept { return scopes_.size(); }
    ZelkScriptScope &scopeAt(size_t index) { return *scopes_[index]; }
    // What a cached lookup is valid for: the frame of the current scope (see
    // ZelkScriptScope), and the stamp of the global level, which changes
    // whenever a binding of a global-level scope is added or removed. A slot
    // found from inside a frame stays what a full lookup would find while
    // the frame's serial and stamp and the global stamp are unchanged: calls
    // made meanwhile and returned, and blocks entered and left without
    // variables, change none of them.
    const ZelkScriptScope *currentFrame() const noexcept { return currentFrame_; }
    uint64_t globalStamp() const noexcept { return globalStamp_; }

    // --- Post-expressions of the current scope. ---
    void addPostExpression(PendingPostExpression expression);
    size_t postExpressionMark() const { return scopes_.empty() ? 0 : scopes_.back()->postExpressions.size(); }
    // Runs the post-expressions registered from the mark on, then cuts the
    // list back to the mark.
    void runPostExpressions(size_t mark) {
        // Most statements register none: decided here without a call.
        if (!scopes_.empty() && scopes_.back()->postExpressions.size() > mark) runDuePostExpressions(mark);
    }
    // Cuts the list back without running (on an error's way out).
    void discardPostExpressions(size_t mark);

    // --- Control flow. ---
    bool returnFlag = false;
    bool breakFlag = false;
    bool continueFlag = false;
    bool exitRequested() const noexcept { return exitRequested_; }
    int32_t exitCode() const noexcept { return exitCode_; }
    void clearExitRequest() noexcept { exitRequested_ = false; }
    // A goto still looking for its label.
    const ZelkScriptGotoStatement *pendingGoto = nullptr;
    NodeRef pendingGotoHolder;
    void setPendingGoto(const ZelkScriptGotoStatement *gotoNode);
    void clearPendingGoto();
    // Labels the running script declares (filled by the declare walk).
    std::set<std::string> gotoLabels;

    // True when any of the rare per-node duties is due (debugger hooks, a
    // node budget, a deadline, an interrupt): the evaluator then takes the
    // slow path, so the common path is one test.
    bool slowPathActive() const noexcept { return slowPath_.load(std::memory_order_relaxed); }

    // --- Run limits a host sets beyond the language's own loop limit. ---
    // At most this many node evaluations per outermost run (0: no limit).
    void setNodeBudget(uint64_t nodes) noexcept;
    uint64_t nodeBudget() const noexcept { return nodeBudget_; }
    // At most this many milliseconds per outermost run (0: no limit).
    void setTimeLimitMs(uint64_t milliseconds) noexcept;
    uint64_t timeLimitMs() const noexcept { return timeLimitMs_; }
    // Asks the running script to stop at its next node. Safe from any thread.
    void requestInterrupt() noexcept;
    // Called when an outermost run starts: resets the counters and the
    // deadline, and forgets an interrupt that no run saw.
    void beginRunLimits() noexcept;
    // Called when an outermost run ends. An interrupt stays raised until
    // then, so that a run a host callback started inside the outer one ends
    // the outer one too, however the callback reports its failure.
    void endRunLimits() noexcept;
    // Milliseconds left before the run's deadline (UINT64_MAX without one),
    // so that waiting functions never sleep past it.
    uint64_t remainingRunTimeMs() noexcept;
    // Raises the run-limit error when the deadline has passed or an
    // interrupt is pending.
    void checkRunDeadline();
    // What a long pattern match asks, so that the deadline and an interrupt
    // also end a run inside one match.
    RegexLimitProbe *regexLimitProbe() noexcept { return &regexProbe_; }
    // Number of outermost runs in progress (a host callback may start one
    // inside another).
    int outermostRunDepth = 0;

    // --- Limits. ---
    uint64_t maxLoopCount = kDefaultMaxLoopCount;
    uint32_t maxScopeDepth = kDefaultMaxScopeDepth;

    // --- Streams. ---
    std::ostream *outputStream;
    std::ostream *errorStream;

    // --- Include and library bookkeeping. ---
    std::vector<std::string> includePaths;
    std::vector<std::string> libraryPaths;
    std::vector<std::string> scriptFilesRun;
    // Resolved paths of the files included so far: each runs once.
    std::vector<std::string> includeCache;

    // The statement being executed and the call nodes of the user function
    // calls in progress, for the position functions (__LINE__ and friends).
    const ZelkScriptExpressionBase *currentStatement = nullptr;
    std::vector<const ZelkScriptExpressionBase *> callNodes;

    // Code texts that eval parsed, by text, so a loop that evaluates the
    // same text does not parse it again. Bounded.
    std::map<std::string, NodeRef, std::less<>> evalCache;
    static constexpr size_t kMaxEvalCacheEntries = 256;

    // The measuring sequence around the evaluation of one child: debugger
    // hooks, execution count, gross time. The time is added also when the
    // evaluation raises, and the error passes on unchanged.
    //
    // The clock is a millisecond tick that changes every few milliseconds,
    // and reading it costs more than evaluating a small node, so it is read
    // at the end of every 16th evaluation and of every evaluation of a node
    // that may take long (calls, pattern matches); a node's start is the
    // latest reading. A tick is then charged at most 16 small evaluations
    // late (microseconds, far below its resolution), gross times still
    // include every child's, and every outermost run takes a fresh reading
    // first, so time outside runs is never counted.
    void evaluate(ZelkScriptExpressionBase &node, ObjectRef &result) {
        if (slowPath_.load(std::memory_order_relaxed)) {
            evaluateSlow(node, result);
            return;
        }
        const uint64_t start = lastTickMs_;
        ++node.profileCount;
        try {
            node.execute(result, *this);
        } catch (...) {
            addNodeTime(node, start);
            throw;
        }
        addNodeTime(node, start);
    }
    void evaluate(const NodeRef &node, ObjectRef &result) { evaluate(*node, result); }

    // Raises a script error at the node's position.
    [[noreturn]] void raiseAt(const ZelkScriptExpressionBase &node, std::string message, bool fatal = false);
    [[noreturn]] void raiseAt(const ZelkScriptPosition &position, std::string message, bool fatal = false);

protected:
    void runDuePostExpressions(size_t mark);
    void evaluateSlow(ZelkScriptExpressionBase &node, ObjectRef &result);
    void addNodeTime(ZelkScriptExpressionBase &node, uint64_t start) noexcept {
        if (node.timedExactly || (++clockSkips_ & 15u) == 0) lastTickMs_ = tickCountMs();
        node.profileTime += static_cast<int64_t>(lastTickMs_ - start);
    }
    void updateSlowPath() noexcept {
        slowPath_.store(hooksActive_ || nodeBudget_ != 0 || timeLimitMs_ != 0 ||
                            interruptRequested_.load(std::memory_order_relaxed),
                        std::memory_order_relaxed);
    }
    void checkRunLimits(ZelkScriptExpressionBase &node);
    void ensureScope();
    ObjectRef *findInScope(ZelkScriptScope &scope, const VariableName &name) {
        return scope.variables.find(name.name, name.hash);
    }

    std::vector<std::unique_ptr<ZelkScriptScope>> scopes_;
    std::vector<std::unique_ptr<ZelkScriptScope>> spareScopes_;
    std::vector<std::unique_ptr<ZelkScriptUserExtension>> extensions_;
    // A binding of this scope was added or removed, or it was left holding
    // variables: cached lookups that may have seen it are out of date.
    void noteBindingChange(ZelkScriptScope &scope, bool globalLevel) noexcept {
        ++bindingChanges_;
        scope.frame->stamp = bindingChanges_;
        if (globalLevel) globalStamp_ = bindingChanges_;
    }
    bool isGlobalLevel(const ZelkScriptScope &scope) const noexcept {
        return (!scopes_.empty() && &scope == scopes_.front().get()) || scope.name == "::";
    }
    ZelkScriptScope *currentFrame_ = nullptr;  // the top scope's frame, null without scopes
    uint64_t nextScopeSerial_ = 0;
    uint64_t bindingChanges_ = 0;
    uint64_t globalStamp_ = 0;
    uint64_t functionEpoch_ = 1;
    // The long 1 that increments add, made once per context (operations
    // never change their operands' values).
    const ObjectRef &oneObject();
    ObjectRef one_;
    // Reused for the new values that post-increments assign.
    ResultSlot postSlot_;
    // Argument lists of the calls in progress, kept with their capacity so
    // that a call allocates none (see ArgumentList in calls.cpp).
    std::vector<std::unique_ptr<std::vector<ObjectRef>>> argumentLists_;
    size_t argumentListsInUse_ = 0;
    friend class ArgumentList;
    std::vector<PendingPostExpression> postScratch_;
    bool postScratchInUse_ = false;
    std::atomic<bool> slowPath_{false};
    std::atomic<bool> interruptRequested_{false};
    uint64_t nodeBudget_ = 0;
    uint64_t nodesEvaluated_ = 0;
    uint64_t timeLimitMs_ = 0;
    uint64_t deadlineMs_ = 0;
    class DeadlineProbe final : public RegexLimitProbe {
    public:
        explicit DeadlineProbe(ZelkScriptContextBase &context) : context_(context) {}
        void check() override { context_.checkRunDeadline(); }

    private:
        ZelkScriptContextBase &context_;
    };
    DeadlineProbe regexProbe_{*this};
    // The latest clock reading of the measuring sequence.
    uint64_t lastTickMs_ = tickCountMs();
    uint32_t clockSkips_ = 0;
    bool exitRequested_ = false;
    int32_t exitCode_ = 0;
};

} // namespace zelkscript
