// Finding the callbacks a host program exports. Hosts define them as plain
// functions of the main program under fixed names; the library looks them up
// in the program's dynamic symbol table when it needs one, so a host that
// serves no host functions or live data need not define any. A missing
// callback is a failure with a message naming it, never a crash.
//
// Callbacks write into buffers that the library lends them. Each call gets
// its own zeroed buffers, so a callback that answers without writing leaves
// an empty text (never an earlier call's), and nested calls cannot overwrite
// each other; what a callback wrote is read with the buffer's size as bound.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "zelkscript/zelkscript.h"

namespace zelkscript {

// The exported function of the main program with this name, or null.
void *findHostCallback(const char *name) noexcept;

// Looks callbacks up elsewhere than in the main program (null restores the
// normal lookup). For programs that cannot export symbols, such as the
// engine's benchmarks.
using HostCallbackResolver = void *(*)(const char *name);
void setHostCallbackResolver(HostCallbackResolver resolver) noexcept;

template <class Function>
Function findHostCallbackAs(const char *name) noexcept {
    return reinterpret_cast<Function>(findHostCallback(name));
}

// The text a callback left in a buffer: up to its first NUL, at most size
// bytes.
inline std::string readExchangeBuffer(const char *buffer, size_t size) {
    size_t length = 0;
    while (length < size && buffer[length] != '\0') ++length;
    return std::string(buffer, length);
}

// A zeroed buffer for one callback call.
template <size_t Size>
struct ExchangeBuffer {
    char bytes[Size] = {};
    static constexpr int32_t size = static_cast<int32_t>(Size);
    std::string text() const { return readExchangeBuffer(bytes, Size); }
};

// Buffer sizes hosts are promised.
constexpr size_t kCallbackResultSize = 1024;
constexpr size_t kCallbackErrorSize = 256;
constexpr size_t kCallbackMemberNameSize = 256;

} // namespace zelkscript
