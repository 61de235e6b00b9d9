// A variable name as lookups want it: without a leading "::" (which makes it
// global) and with a precomputed hash, so that a node hashes its name once
// and every scope compares hashes before bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelkscript {

// 64-bit FNV-1a over the bytes of a name.
inline uint64_t hashName(std::string_view name) noexcept {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : name) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

struct VariableName {
    std::string_view name;
    uint64_t hash = 0;
    bool global = false;

    VariableName() = default;
    explicit VariableName(std::string_view rawName) {
        if (rawName.size() >= 2 && rawName[0] == ':' && rawName[1] == ':') {
            global = true;
            rawName.remove_prefix(2);
        }
        name = rawName;
        hash = hashName(rawName);
    }
};

} // namespace zelkscript
