#include "engine/interpreter/function_table.h"

#include <limits>

#include "engine/library/families.h"

namespace zelkscript {
namespace {

std::string_view trimBlanks(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view nameOfHelpText(std::string_view helpText) {
    std::size_t open = helpText.find('(');
    return open == std::string_view::npos ? helpText : helpText.substr(0, open);
}

// True when `prototype` is `name` + "(" + ...: only such forms can answer a
// call of that name, whatever their wildcards would match.
bool prototypeNamesFunction(std::string_view prototype, std::string_view name) {
    return prototype.size() > name.size() && prototype[name.size()] == '(' &&
           prototype.starts_with(name);
}

} // namespace

std::string deriveDispatchPrototype(std::string_view helpText) {
    const std::string invalid(kInvalidDispatchPrototype);
    std::size_t open = helpText.find('(');
    if (open == std::string_view::npos || open == 0) return invalid;
    std::size_t close = helpText.find(')', open + 1);
    if (close == std::string_view::npos || close + 1 != helpText.size()) return invalid;

    std::string prototype(helpText.substr(0, open + 1));
    std::string_view parameters = helpText.substr(open + 1, close - open - 1);
    if (!trimBlanks(parameters).empty()) {
        while (true) {
            std::size_t comma = parameters.find(',');
            bool last = comma == std::string_view::npos;
            std::string_view parameter = trimBlanks(parameters.substr(0, comma));
            if (parameter == "...") {
                if (!last) return invalid;
                prototype += '*';
            } else if (parameter.find('.') != std::string_view::npos) {
                return invalid;
            } else {
                prototype += '$';
            }
            if (last) break;
            parameters.remove_prefix(comma + 1);
        }
    }
    prototype += ')';
    return prototype;
}

std::string makeCallSignature(std::string_view name, std::size_t argumentCount) {
    std::string signature;
    signature.reserve(name.size() + argumentCount + 2);
    signature.append(name);
    signature += '(';
    signature.append(argumentCount, '$');
    signature += ')';
    return signature;
}

bool matchDispatchPrototype(std::string_view prototype, std::string_view signature) {
    // Greedy matching with one remembered star: on a mismatch the last star
    // takes one more character. Linear in practice, quadratic at worst.
    std::size_t p = 0, s = 0;
    std::size_t starAt = std::string_view::npos, resumeAt = 0;
    while (s < signature.size()) {
        if (p < prototype.size() && prototype[p] == '*') {
            starAt = p++;
            resumeAt = s;
        } else if (p < prototype.size() && prototype[p] == signature[s]) {
            ++p;
            ++s;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            s = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < prototype.size() && prototype[p] == '*') ++p;
    return p == prototype.size();
}

bool SystemFunctionRegistry::attach(SystemFunctionEntry &entry, SystemFunctionImpl implementation) {
    if (implementation == nullptr) {
        table_.registrationErrors_.push_back("null implementation registered for " + std::string(entry.helpText));
        return false;
    }
    if (entry.implementation != nullptr && entry.implementation != implementation) {
        table_.registrationErrors_.push_back("second implementation registered for " +
                                             std::string(entry.helpText));
        return false;
    }
    entry.implementation = implementation;
    return true;
}

bool SystemFunctionRegistry::addByHelpText(std::string_view helpText, SystemFunctionImpl implementation) {
    for (SystemFunctionEntry &entry : table_.entries_) {
        if (entry.helpText == helpText) return attach(entry, implementation);
    }
    table_.registrationErrors_.push_back("no system function with help text " + std::string(helpText));
    return false;
}

bool SystemFunctionRegistry::addByPrototype(std::string_view prototype, SystemFunctionImpl implementation) {
    bool found = false, attached = true;
    if (prototype != kInvalidDispatchPrototype) {
        for (SystemFunctionEntry &entry : table_.entries_) {
            if (entry.prototype != prototype) continue;
            found = true;
            attached = attach(entry, implementation) && attached;
        }
    }
    if (!found) {
        table_.registrationErrors_.push_back("no system function with prototype " + std::string(prototype));
        return false;
    }
    return attached;
}

SystemFunctionTable::SystemFunctionTable(std::span<const std::string_view> helpTexts,
                                         const RegisterImplementations &registerImplementations)
    : cacheSlots_(std::make_unique<std::atomic<std::uint64_t>[]>(kCacheSlots)) {
    // Entries keep views into ownedTexts_, so it is filled completely before
    // the first view is taken and never grows afterwards.
    ownedTexts_.reserve(helpTexts.size());
    for (std::string_view text : helpTexts) ownedTexts_.emplace_back(text);

    entries_.reserve(ownedTexts_.size());
    for (const std::string &text : ownedTexts_) {
        SystemFunctionEntry &entry = entries_.emplace_back();
        entry.index = static_cast<std::uint32_t>(entries_.size() - 1);
        entry.helpText = text;
        entry.name = nameOfHelpText(text);
        entry.prototype = deriveDispatchPrototype(text);
        if (entry.prototype == kInvalidDispatchPrototype) continue;
        for (char c : std::string_view(entry.prototype).substr(entry.name.size())) {
            if (c == '$') ++entry.parameterCount;
            if (c == '*') entry.variadic = true;
        }
    }
    // The first walk of the table enters every prototype without "*"; of two
    // equal ones the earlier form answers.
    for (const SystemFunctionEntry &entry : entries_) {
        if (entry.prototype != kInvalidDispatchPrototype && !entry.variadic) {
            cacheSignature(entry, entry.parameterCount);
        }
    }

    if (registerImplementations) {
        SystemFunctionRegistry registry(*this);
        registerImplementations(registry);
    }
}

const SystemFunctionTable &SystemFunctionTable::instance() {
    static const SystemFunctionTable table(systemFunctionHelpTexts(), registerSystemFunctionFamilies);
    return table;
}

std::size_t SystemFunctionTable::hashSignature(std::string_view name, std::size_t argumentCount) {
    std::size_t hash = std::hash<std::string_view>{}(name) ^ (argumentCount * 0x9E3779B97F4A7C15ull);
    return hash ^ (hash >> 29);
}

const SystemFunctionEntry *SystemFunctionTable::findCachedSignature(std::string_view name,
                                                                    std::size_t argumentCount) const {
    if (argumentCount > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    std::size_t slot = hashSignature(name, argumentCount);
    for (std::size_t probe = 0; probe < kMaxProbes; ++probe, ++slot) {
        std::uint64_t value = cacheSlots_[slot % kCacheSlots].load(std::memory_order_acquire);
        if (value == 0) return nullptr;
        const SystemFunctionEntry &entry = entries_[(value >> 32) - 1];
        if ((value & 0xFFFFFFFFu) == argumentCount && entry.name == name) return &entry;
    }
    return nullptr;
}

void SystemFunctionTable::cacheSignature(const SystemFunctionEntry &entry, std::size_t argumentCount) const {
    if (argumentCount > std::numeric_limits<std::uint32_t>::max()) return;
    if (cachedCount_.load(std::memory_order_relaxed) >= kMaxCachedSignatures) return;
    const std::uint64_t wanted = (std::uint64_t{entry.index} + 1) << 32 | argumentCount;
    std::size_t slot = hashSignature(entry.name, argumentCount);
    for (std::size_t probe = 0; probe < kMaxProbes; ++probe, ++slot) {
        std::atomic<std::uint64_t> &cell = cacheSlots_[slot % kCacheSlots];
        std::uint64_t value = cell.load(std::memory_order_acquire);
        if (value == 0) {
            if (cell.compare_exchange_strong(value, wanted, std::memory_order_acq_rel)) {
                cachedCount_.fetch_add(1, std::memory_order_relaxed);
                return;
            }
            // Another thread filled the slot first; look at what it wrote.
        }
        if (value == wanted) return;
        const SystemFunctionEntry &other = entries_[(value >> 32) - 1];
        if ((value & 0xFFFFFFFFu) == argumentCount && other.name == entry.name) return;  // keep the earlier
    }
}

const SystemFunctionEntry *SystemFunctionTable::findSystemFunction(std::string_view name,
                                                                   std::size_t argumentCount) const {
    if (name.empty()) return nullptr;
    if (const SystemFunctionEntry *cached = findCachedSignature(name, argumentCount)) return cached;
    const SystemFunctionEntry *found = walkForSystemFunction(name, argumentCount);
    if (found != nullptr) cacheSignature(*found, argumentCount);
    return found;
}

const SystemFunctionEntry *SystemFunctionTable::walkForSystemFunction(std::string_view name,
                                                                      std::size_t argumentCount) const {
    if (name.empty()) return nullptr;
    // Fixed forms first: they are in the cache before any call is resolved,
    // so a variable form earlier in the table never answers a call that a
    // fixed form takes, whichever calls came first.
    for (const SystemFunctionEntry &entry : entries_) {
        if (!entry.variadic && entry.parameterCount == argumentCount &&
            prototypeNamesFunction(entry.prototype, name)) {
            return &entry;
        }
    }
    std::string signature;  // built for the first variable form of that name only
    for (const SystemFunctionEntry &entry : entries_) {
        if (!entry.variadic || !prototypeNamesFunction(entry.prototype, name)) continue;
        if (signature.empty()) signature = makeCallSignature(name, argumentCount);
        if (matchDispatchPrototype(entry.prototype, signature)) return &entry;
    }
    return nullptr;
}

std::vector<const SystemFunctionEntry *> SystemFunctionTable::unimplementedEntries() const {
    std::vector<const SystemFunctionEntry *> missing;
    for (const SystemFunctionEntry &entry : entries_) {
        if (entry.implementation == nullptr) missing.push_back(&entry);
    }
    return missing;
}

std::size_t SystemFunctionTable::cachedSignatureCount() const {
    return cachedCount_.load(std::memory_order_relaxed);
}

} // namespace zelkscript
