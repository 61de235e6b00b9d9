// The system function table: one help text per callable form of every
// built-in function, the dispatch prototype derived from each, the lookup of
// a call (name and argument count) and the implementation each library family
// attaches to its forms. The table is built once per process and is read-only
// afterwards, apart from the signature cache, which many threads fill at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/values/ref.h"

namespace zelkscript {

class ZelkScriptContextBase;
class ZelkScriptObject;
using ObjectRef = Ref<ZelkScriptObject>;

// One system function implementation. It answers false with a message in
// `error` to fail the call; `result` starts as null.
using SystemFunctionImpl = bool (*)(ZelkScriptContextBase &context, std::span<ObjectRef> arguments,
                                    ObjectRef &result, std::string &error);

// The prototype of a help text that cannot be dispatched.
inline constexpr std::string_view kInvalidDispatchPrototype = "<error>";

// The help texts of every system function form, in table order: grouped by
// name, the forms of one name next to each other.
std::span<const std::string_view> systemFunctionHelpTexts();

// "mid(text,pos,len)" gives "mid($$$)": one "$" per parameter (a leading "&"
// does not change that) and "*" for a final "...". A parameter holding any
// other ".", a "..." that is not last, a missing "(" or ")", an empty name or
// text after the ")" give kInvalidDispatchPrototype.
std::string deriveDispatchPrototype(std::string_view helpText);

// name + "(" + one "$" per argument + ")": the key of system-function
// dispatch and the text of the "function not found" messages.
std::string makeCallSignature(std::string_view name, std::size_t argumentCount);

// Matches a dispatch prototype against a call signature; "*" stands for any
// run of characters, every other byte for itself. Iterative, so the cost is
// bounded by the product of the two lengths even for hostile texts.
bool matchDispatchPrototype(std::string_view prototype, std::string_view signature);

struct SystemFunctionEntry {
    std::uint32_t index = 0;        // table position; stable for the life of the table
    std::string_view helpText;      // as scripts see it in suggestions and reports
    std::string_view name;          // the help text up to its "("
    std::string prototype;          // dispatch prototype, or kInvalidDispatchPrototype
    std::uint32_t parameterCount = 0; // named parameters ("$" in the prototype)
    bool variadic = false;          // the prototype ends in "*)"
    SystemFunctionImpl implementation = nullptr; // null until a family registers it
};

class SystemFunctionTable;

// Handed to each library family while the table is built: it attaches the
// family's implementations to the table's forms. An unknown help text or
// prototype, or a form that gets a second implementation, is recorded in the
// table's registration errors (a unit test keeps that list empty).
class SystemFunctionRegistry {
public:
    // Attaches `implementation` to the form with exactly this help text.
    bool addByHelpText(std::string_view helpText, SystemFunctionImpl implementation);
    // Attaches `implementation` to every form with this dispatch prototype
    // ("concat($*)"), so one function can serve its variable form.
    bool addByPrototype(std::string_view prototype, SystemFunctionImpl implementation);

private:
    friend class SystemFunctionTable;
    explicit SystemFunctionRegistry(SystemFunctionTable &table) : table_(table) {}
    bool attach(SystemFunctionEntry &entry, SystemFunctionImpl implementation);

    SystemFunctionTable &table_;
};

class SystemFunctionTable {
public:
    using RegisterImplementations = std::function<void(SystemFunctionRegistry &)>;

    // Builds a table from any list of help texts (the texts are copied).
    // Every prototype without "*" enters the signature cache here, so that
    // the answer for a call never depends on which calls came before it.
    explicit SystemFunctionTable(std::span<const std::string_view> helpTexts,
                                 const RegisterImplementations &registerImplementations = {});
    SystemFunctionTable(const SystemFunctionTable &) = delete;
    SystemFunctionTable &operator=(const SystemFunctionTable &) = delete;

    // The process-wide table: systemFunctionHelpTexts() with every library
    // family registered. Built on first use; safe to call from any thread.
    static const SystemFunctionTable &instance();

    std::size_t size() const { return entries_.size(); }
    const SystemFunctionEntry &entry(std::size_t index) const { return entries_[index]; }
    std::span<const SystemFunctionEntry> entries() const { return entries_; }

    // The form that answers a call of `name` with `argumentCount` arguments,
    // or null. An exact form wins; otherwise the first variable form in table
    // order whose prototype matches the call signature. Resolved calls are
    // cached: a repeated call costs one hash lookup and allocates nothing.
    const SystemFunctionEntry *findSystemFunction(std::string_view name,
                                                  std::size_t argumentCount) const;

    // The uncached walk the cache is filled from: the first fixed form in
    // table order with that name and count, else the first variable form
    // whose prototype matches the call signature. For tests and benchmarks.
    const SystemFunctionEntry *walkForSystemFunction(std::string_view name,
                                                     std::size_t argumentCount) const;

    // Forms without an implementation, in table order. A call of one of them
    // fails with "function not implemented: " + name.
    std::vector<const SystemFunctionEntry *> unimplementedEntries() const;

    // Messages of registrations that named no form or a form twice.
    const std::vector<std::string> &registrationErrors() const { return registrationErrors_; }

    // Number of call signatures in the cache (exact forms and resolved calls).
    std::size_t cachedSignatureCount() const;

private:
    friend class SystemFunctionRegistry;

    // The signature cache is an open-addressing hash table of atomic slots,
    // so that lookups from any number of threads take no lock: a slot holds
    // (table position + 1) << 32 | argument count, and the name is compared
    // through the entry. Slots are only ever filled, never changed, and a key
    // always maps to the same value, so racing inserts agree.
    static constexpr std::size_t kCacheSlots = 8192;
    // A script can call a variable form with ever new argument counts; past
    // this many cached calls (half the slots), new ones are answered by the
    // walk uncached, which keeps memory fixed and probe runs short.
    static constexpr std::size_t kMaxCachedSignatures = kCacheSlots / 2;
    static constexpr std::size_t kMaxProbes = 64;

    static std::size_t hashSignature(std::string_view name, std::size_t argumentCount);
    const SystemFunctionEntry *findCachedSignature(std::string_view name, std::size_t argumentCount) const;
    void cacheSignature(const SystemFunctionEntry &entry, std::size_t argumentCount) const;

    std::vector<std::string> ownedTexts_;
    std::vector<SystemFunctionEntry> entries_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> cacheSlots_;
    mutable std::atomic<std::size_t> cachedCount_{0};
    std::vector<std::string> registrationErrors_;
};

} // namespace zelkscript
