// Scope stack, variables, extension fan-out and the error raising of a
// context. Lookup order and messages are part of the language: scripts rely
// on a function not seeing its caller's locals, on "::" reaching the global
// level, and on the exact texts of the failures.
#include "engine/interpreter/context.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "engine/interpreter/const_context.h"
#include "engine/interpreter/permissions.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

#include <unordered_set>

namespace zelkscript {

// ---------------------------------------------------------------------------
// ScopeVariableTable
// ---------------------------------------------------------------------------

ObjectRef *ScopeVariableTable::find(std::string_view name, uint64_t hash) noexcept {
    if (index_.empty()) {
        for (Entry &entry : entries_)
            if (entry.hash == hash && entry.name == name) return &entry.object;
        return nullptr;
    }
    const size_t mask = index_.size() - 1;
    for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
        uint32_t at = index_[slot];
        if (at == 0) return nullptr;
        Entry &entry = entries_[at - 1];
        if (entry.hash == hash && entry.name == name) return &entry.object;
    }
}

ObjectRef &ScopeVariableTable::insert(std::string_view name, uint64_t hash, ObjectRef object) {
    entries_.push_back(Entry{std::string(name), hash, std::move(object)});
    if (entries_.size() > kLinearLimit) {
        if (index_.size() < entries_.size() * 2) {
            rebuildIndex();
        } else {
            const size_t mask = index_.size() - 1;
            size_t slot = static_cast<size_t>(hash) & mask;
            while (index_[slot] != 0) slot = (slot + 1) & mask;
            index_[slot] = static_cast<uint32_t>(entries_.size());
        }
    }
    return entries_.back().object;
}

bool ScopeVariableTable::erase(std::string_view name, uint64_t hash) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].hash == hash && entries_[i].name == name) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            if (!index_.empty()) rebuildIndex();
            return true;
        }
    }
    return false;
}

void ScopeVariableTable::clear() noexcept {
    entries_.clear();
    index_.clear();
}

void ScopeVariableTable::rebuildIndex() {
    index_.clear();
    if (entries_.size() <= kLinearLimit) return;
    size_t capacity = 16;
    while (capacity < entries_.size() * 4) capacity *= 2;
    index_.assign(capacity, 0);
    const size_t mask = capacity - 1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t slot = static_cast<size_t>(entries_[i].hash) & mask;
        while (index_[slot] != 0) slot = (slot + 1) & mask;
        index_[slot] = static_cast<uint32_t>(i + 1);
    }
}

std::vector<std::string> ScopeVariableTable::sortedNames() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const Entry &entry : entries_) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

void ZelkScriptScope::reset(std::string scopeName) {
    variables.clear();
    functions.clear();
    postExpressions.clear();
    name = std::move(scopeName);
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

ZelkScriptContextBase::ZelkScriptContextBase()
    : ZelkScriptUserExtension("ZelkScriptContext"), outputStream(&std::cout), errorStream(&std::cerr) {
    // Range bounds in the scripts this context parses are evaluated by the
    // interpreter's own rules.
    installConstantEvaluator();
}

ZelkScriptContextBase::~ZelkScriptContextBase() {
    // Extensions may hold values that reach back into scopes; they go first,
    // then the scopes with their variables.
    extensions_.clear();
    evalCache.clear();
    std::vector<ObjectRef> roots;
    for (auto &scope : scopes_)
        for (const std::string &name : scope->variables.sortedNames())
            if (ObjectRef *slot = scope->variables.find(name, hashName(name))) roots.push_back(*slot);
    breakContainerCycles(roots);
    scopes_.clear();
    currentFrame_ = nullptr;
    spareScopes_.clear();
}

// Containers that hold themselves (through reference assignment) would keep
// each other alive for ever. Nothing outside a context can hold its values
// once it is gone, so the containers it reaches are emptied, which releases
// every cycle among them.
void breakContainerCycles(const std::vector<ObjectRef> &roots) {
    std::vector<ZelkScriptDataHandler *> containers;
    std::unordered_set<ZelkScriptDataHandler *> seen;
    std::vector<ZelkScriptObject *> pending;
    for (const ObjectRef &root : roots)
        if (root) pending.push_back(root.get());
    while (!pending.empty()) {
        ZelkScriptObject *object = pending.back();
        pending.pop_back();
        ZelkScriptDataHandler *handler = object->handler();
        if (!handler || !seen.insert(handler).second) continue;
        if (handler->plainKind() == ZelkScriptDataHandler::PlainKind::Vector) {
            containers.push_back(handler);
            for (const ObjectRef &element : static_cast<ZelkScriptObjectVectorHandler *>(handler)->elements())
                if (element) pending.push_back(element.get());
        } else if (handler->plainKind() == ZelkScriptDataHandler::PlainKind::Structure) {
            containers.push_back(handler);
            for (const auto &member : static_cast<ZelkScriptObjectStructureHandler *>(handler)->members())
                if (member.second) pending.push_back(member.second.get());
        }
    }
    // Keep every container alive until all are emptied, so that releasing
    // one does not free another that is still on the list.
    std::vector<HandlerRef> keep(containers.begin(), containers.end());
    std::string ignored;
    for (ZelkScriptDataHandler *handler : containers) {
        if (handler->plainKind() == ZelkScriptDataHandler::PlainKind::Vector)
            static_cast<ZelkScriptObjectVectorHandler *>(handler)->clear(ignored);
        else
            static_cast<ZelkScriptObjectStructureHandler *>(handler)->clear(ignored);
    }
}

void ZelkScriptContextBase::logLine(const std::string &text) {
    if (errorStream) *errorStream << text << '\n';
}

// Outside a host, files may be read and inspected anywhere but written only
// in the temporary folder; the host interface's context replaces this rule.
bool ZelkScriptContextBase::mayAccessFile(const std::string &path, char mode) {
    return baseFileAccessAllowed(path, mode);
}

bool ZelkScriptContextBase::mayExecuteCommand(const std::string &command, std::string &error) {
    error = "no permission to execute command " + command;
    return false;
}

// ---------------------------------------------------------------------------
// Scopes
// ---------------------------------------------------------------------------

void ZelkScriptContextBase::ensureScope() {
    if (scopes_.empty()) pushScope("::");
}

void ZelkScriptContextBase::pushScope(std::string name) {
    std::unique_ptr<ZelkScriptScope> scope;
    if (!spareScopes_.empty()) {
        scope = std::move(spareScopes_.back());
        spareScopes_.pop_back();
    } else {
        scope = std::make_unique<ZelkScriptScope>();
    }
    // A named scope is a call boundary (or a new global level) and starts a
    // frame; a block joins the frame below it, and being empty changes no
    // lookup made from there.
    scope->serial = ++nextScopeSerial_;
    scope->frame = name.empty() && !scopes_.empty() ? scopes_.back()->frame : scope.get();
    scope->stamp = 0;
    scope->name = std::move(name);
    currentFrame_ = scope->frame;
    scopes_.push_back(std::move(scope));
}

void ZelkScriptContextBase::popScope() {
    if (scopes_.empty()) return;
    // Slots found in a block that goes are gone; a frame that goes is never
    // current again (its serial goes with it), unless it is a global level.
    ZelkScriptScope &top = *scopes_.back();
    if (!top.variables.empty()) {
        const bool globalLevel = isGlobalLevel(top);
        if (top.name.empty() || globalLevel) noteBindingChange(top, globalLevel);
    }
    std::unique_ptr<ZelkScriptScope> scope = std::move(scopes_.back());
    scopes_.pop_back();
    currentFrame_ = scopes_.empty() ? nullptr : scopes_.back()->frame;
    if (!scope->functions.empty()) ++functionEpoch_;
    // Releasing the variables may run arbitrary destructors (host data); the
    // scope is already off the stack when that happens.
    scope->reset({});
    if (spareScopes_.size() < 64) spareScopes_.push_back(std::move(scope));
}

void ZelkScriptContextBase::truncateScopes(size_t depth) {
    while (scopes_.size() > depth) popScope();
}

ZelkScriptScope &ZelkScriptContextBase::currentScope() {
    ensureScope();
    return *scopes_.back();
}

ZelkScriptScope &ZelkScriptContextBase::globalScope() {
    ensureScope();
    return *scopes_.front();
}

// ---------------------------------------------------------------------------
// Lookup
// ---------------------------------------------------------------------------

ObjectRef *ZelkScriptContextBase::findVariableSlot(const VariableName &name, LookupMode mode,
                                                   ZelkScriptScope **holder) {
    if (scopes_.empty()) return nullptr;
    const size_t count = scopes_.size();
    if (name.global) {
        for (size_t i = count; i-- > 0;) {
            ZelkScriptScope &scope = *scopes_[i];
            if (i != 0 && scope.name != "::") continue;
            if (ObjectRef *slot = findInScope(scope, name)) {
                if (holder) *holder = &scope;
                return slot;
            }
        }
        return nullptr;
    }
    if (mode == LookupMode::CurrentOnly) {
        ZelkScriptScope &scope = *scopes_.back();
        ObjectRef *slot = findInScope(scope, name);
        if (slot && holder) *holder = &scope;
        return slot;
    }
    // A function sees its own blocks down to its call boundary, then only the
    // global level: never the locals of its caller.
    for (size_t i = count; i-- > 0;) {
        ZelkScriptScope &scope = *scopes_[i];
        if (ObjectRef *slot = findInScope(scope, name)) {
            if (holder) *holder = &scope;
            return slot;
        }
        if (!scope.name.empty()) break;
    }
    for (size_t i = count; i-- > 0;) {
        ZelkScriptScope &scope = *scopes_[i];
        if (i != 0 && scope.name != "::") continue;
        if (ObjectRef *slot = findInScope(scope, name)) {
            if (holder) *holder = &scope;
            return slot;
        }
    }
    return nullptr;
}

bool ZelkScriptContextBase::getVariable(const std::string &name, ObjectRef &result, std::string &error) {
    VariableName key(name);
    if (ObjectRef *slot = findVariableSlot(key, LookupMode::Visible)) {
        result = *slot;
        error.clear();
        return true;
    }
    if (!key.global) {
        for (auto &extension : extensions_) {
            if (extension->hasVariable(name)) {
                result = extension->getVariableObject(name);
                error.clear();
                return true;
            }
        }
    }
    result.reset();
    error = "variable is not defined";
    return false;
}

bool ZelkScriptContextBase::getVariableText(const std::string &name, std::string &text, std::string &error) {
    ObjectRef value;
    if (!getVariable(name, value, error)) return false;
    return convertToString(value.get(), text, error);
}

bool ZelkScriptContextBase::defineVariable(const std::string &name, const ObjectRef &initialValue,
                                           std::string &error, bool reuseVisible) {
    VariableName key(name);
    ObjectRef *slot = findVariableSlot(key, reuseVisible ? LookupMode::Visible : LookupMode::CurrentOnly);
    ObjectRef found;
    if (slot) {
        found = *slot;
    } else if (reuseVisible && !key.global) {
        for (auto &extension : extensions_) {
            if (extension->hasVariable(name)) {
                found = extension->getVariableObject(name);
                break;
            }
        }
    }
    if ((slot || found) && !reuseVisible) {
        error = "variable is defined multiple: " + name;
        return false;
    }
    if (!slot && !found) {
        ZelkScriptScope &scope = key.global ? globalScope() : currentScope();
        ObjectRef object = makeRef<ZelkScriptObject>();
        object->setname(std::string(key.name));
        noteBindingChange(scope, isGlobalLevel(scope));
        scope.variables.insert(key.name, key.hash, object);
        found = std::move(object);
    }
    if (!found) {
        // An extension answered for the name but gave no object.
        error = "variable is not defined";
        return false;
    }
    found->setlvalue(true);
    if (initialValue) {
        if (!found->assignreference(initialValue, error)) return false;
    }
    error.clear();
    return true;
}

bool ZelkScriptContextBase::defineOwnedVariable(const std::string &name, ObjectRef object, std::string &error) {
    VariableName key(name);
    if (findVariableSlot(key, LookupMode::CurrentOnly)) {
        error = "variable is defined multiple: " + name;
        return false;
    }
    ZelkScriptScope &scope = key.global ? globalScope() : currentScope();
    object->setname(std::string(key.name));
    object->setlvalue(true);
    noteBindingChange(scope, isGlobalLevel(scope));
    scope.variables.insert(key.name, key.hash, std::move(object));
    error.clear();
    return true;
}

bool ZelkScriptContextBase::defineReference(const std::string &name, const ObjectRef &object, std::string &error,
                                            bool visibleLookup) {
    VariableName key(name);
    ObjectRef *slot = findVariableSlot(key, visibleLookup ? LookupMode::Visible : LookupMode::CurrentOnly);
    if (slot) {
        // Rebinding in place keeps every cached slot pointing at the binding.
        *slot = object;
    } else {
        ZelkScriptScope &scope = key.global ? globalScope() : currentScope();
        noteBindingChange(scope, isGlobalLevel(scope));
        scope.variables.insert(key.name, key.hash, object);
    }
    error.clear();
    return true;
}

bool ZelkScriptContextBase::setVariableText(const std::string &name, const std::string &text, std::string &error,
                                            bool asReference, bool defineIfMissing) {
    return setVariable(name, makeStringObject(text), error, asReference, defineIfMissing);
}

bool ZelkScriptContextBase::setVariable(const std::string &name, const ObjectRef &value, std::string &error,
                                        bool asReference, bool defineIfMissing) {
    VariableName key(name);
    if (ObjectRef *slot = findVariableSlot(key, LookupMode::Visible)) {
        ObjectRef target = *slot;
        if (!target) {
            error = "variable is not defined";
            return false;
        }
        bool ok = asReference ? target->assignreference(value, error) : target->assignvalue(value, error);
        if (ok) error.clear();
        return ok;
    }
    if (!defineIfMissing) {
        error = "variable is not defined";
        return false;
    }
    return defineVariable(name, value, error, false);
}

bool ZelkScriptContextBase::removeVariable(const std::string &name, std::string &error) {
    VariableName key(name);
    ZelkScriptScope *holder = nullptr;
    if (!findVariableSlot(key, LookupMode::Visible, &holder) || !holder) {
        error = "variable is not defined";
        return false;
    }
    noteBindingChange(*holder, isGlobalLevel(*holder));
    holder->variables.erase(key.name, key.hash);
    error.clear();
    return true;
}

bool ZelkScriptContextBase::requestExit(int32_t code, std::string &error) {
    exitRequested_ = true;
    exitCode_ = code;
    error.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Extension fan-out
// ---------------------------------------------------------------------------

void ZelkScriptContextBase::registerExtension(std::unique_ptr<ZelkScriptUserExtension> extension) {
    if (!extension) return;
    extensions_.push_back(std::move(extension));
    ++functionEpoch_;
}

ZelkScriptUserExtension *ZelkScriptContextBase::findExtension(const std::string &name) {
    for (auto &extension : extensions_)
        if (extension->getExtensionName() == name) return extension.get();
    return nullptr;
}

bool ZelkScriptContextBase::hasVariable(const std::string &name) {
    for (auto &extension : extensions_)
        if (extension->hasVariable(name)) return true;
    return false;
}

ObjectRef ZelkScriptContextBase::getVariableObject(const std::string &name) {
    for (auto &extension : extensions_) {
        ObjectRef object = extension->getVariableObject(name);
        if (object) return object;
    }
    return {};
}

bool ZelkScriptContextBase::hasValue(const std::string &name) {
    for (auto &extension : extensions_)
        if (extension->hasValue(name)) return true;
    return false;
}

bool ZelkScriptContextBase::getValue(const std::string &name, ObjectRef &result) {
    for (auto &extension : extensions_)
        if (extension->getValue(name, result)) return true;
    result.reset();
    return false;
}

const ZelkScriptUserFunction *ZelkScriptContextBase::findFunction(const std::string &name, size_t argumentCount) {
    for (auto &extension : extensions_)
        if (const ZelkScriptUserFunction *function = extension->findFunction(name, argumentCount)) return function;
    return nullptr;
}

bool ZelkScriptContextBase::callFunction(const std::string &name, std::vector<ObjectRef> &arguments,
                                         ObjectRef &result, std::string &error, const ZelkScriptPosition &position) {
    for (auto &extension : extensions_)
        if (extension->findFunction(name, arguments.size()))
            return extension->callFunction(name, arguments, result, error, position);
    error = "user function " + name + " does not exist";
    return false;
}

bool ZelkScriptContextBase::checkFinished(std::string &message) {
    for (auto &extension : extensions_) {
        std::string text;
        if (!extension->checkFinished(text)) {
            message += text;
            message += '\n';
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Post-expressions
// ---------------------------------------------------------------------------

void ZelkScriptContextBase::addPostExpression(PendingPostExpression expression) {
    currentScope().postExpressions.push_back(std::move(expression));
}

void ZelkScriptContextBase::discardPostExpressions(size_t mark) {
    if (scopes_.empty()) return;
    auto &list = scopes_.back()->postExpressions;
    if (list.size() > mark) list.resize(mark);
}

// ---------------------------------------------------------------------------
// Goto
// ---------------------------------------------------------------------------

const ObjectRef &ZelkScriptContextBase::oneObject() {
    if (!one_) one_ = makeLongObject(1);
    return one_;
}

void ZelkScriptContextBase::setPendingGoto(const ZelkScriptGotoStatement *gotoNode) {
    pendingGoto = gotoNode;
    pendingGotoHolder = NodeRef(const_cast<ZelkScriptGotoStatement *>(gotoNode));
}

void ZelkScriptContextBase::clearPendingGoto() {
    pendingGoto = nullptr;
    pendingGotoHolder.reset();
}

// ---------------------------------------------------------------------------
// Errors and the slow evaluation path
// ---------------------------------------------------------------------------

void ZelkScriptContextBase::raiseAt(const ZelkScriptPosition &position, std::string message, bool fatal) {
    ZelkScriptErrorException error(std::move(message), position.sourceName, position.line, position.column, fatal);
    if (hooksActive_) onException(error.getInfo());
    throw error;
}

void ZelkScriptContextBase::raiseAt(const ZelkScriptExpressionBase &node, std::string message, bool fatal) {
    raiseAt(node.getPosition(), std::move(message), fatal);
}

void ZelkScriptContextBase::setNodeBudget(uint64_t nodes) noexcept {
    nodeBudget_ = nodes;
    updateSlowPath();
}

void ZelkScriptContextBase::setTimeLimitMs(uint64_t milliseconds) noexcept {
    timeLimitMs_ = milliseconds;
    updateSlowPath();
}

void ZelkScriptContextBase::requestInterrupt() noexcept {
    interruptRequested_.store(true, std::memory_order_relaxed);
    slowPath_.store(true, std::memory_order_relaxed);
}

void ZelkScriptContextBase::beginRunLimits() noexcept {
    lastTickMs_ = tickCountMs();
    nodesEvaluated_ = 0;
    deadlineMs_ = timeLimitMs_ ? currentTimeMs() + timeLimitMs_ : 0;
    interruptRequested_.store(false, std::memory_order_relaxed);
    updateSlowPath();
}

void ZelkScriptContextBase::endRunLimits() noexcept {
    interruptRequested_.store(false, std::memory_order_relaxed);
    updateSlowPath();
}

uint64_t ZelkScriptContextBase::remainingRunTimeMs() noexcept {
    if (!deadlineMs_) return UINT64_MAX;
    const uint64_t now = currentTimeMs();
    return now >= deadlineMs_ ? 0 : deadlineMs_ - now;
}

void ZelkScriptContextBase::checkRunDeadline() {
    if (interruptRequested_.load(std::memory_order_relaxed)) {
        throw ZelkScriptRunLimitException("run interrupted", std::string(), 0, 0, true);
    }
    if (deadlineMs_ && currentTimeMs() > deadlineMs_)
        throw ZelkScriptRunLimitException("run limit reached: time is up", std::string(), 0, 0, true);
}

void ZelkScriptContextBase::checkRunLimits(ZelkScriptExpressionBase &node) {
    const ZelkScriptPosition &at = node.getPosition();
    if (interruptRequested_.load(std::memory_order_relaxed)) {
        throw ZelkScriptRunLimitException("run interrupted", at.sourceName, at.line, at.column, true);
    }
    if (nodeBudget_ && ++nodesEvaluated_ > nodeBudget_)
        throw ZelkScriptRunLimitException("run limit reached: too many evaluation steps", at.sourceName, at.line,
                                          at.column, true);
    if (deadlineMs_ && currentTimeMs() > deadlineMs_)
        throw ZelkScriptRunLimitException("run limit reached: time is up", at.sourceName, at.line, at.column, true);
}

void ZelkScriptContextBase::evaluateSlow(ZelkScriptExpressionBase &node, ObjectRef &result) {
    checkRunLimits(node);
    if (hooksActive_) onStatement(node);
    const uint64_t start = currentTimeMs();
    ++node.profileCount;
    try {
        node.execute(result, *this);
    } catch (...) {
        node.profileTime += static_cast<int64_t>(currentTimeMs() - start);
        lastTickMs_ = tickCountMs();
        if (hooksActive_) onVariableChanged({});
        throw;
    }
    node.profileTime += static_cast<int64_t>(currentTimeMs() - start);
    lastTickMs_ = tickCountMs();
    if (hooksActive_) onVariableChanged({});
}

} // namespace zelkscript
