// The host interface's context and the helpers every export shares.
#include "engine/api/lib_context.h"

#include <cstring>

namespace zelkscript {

ZelkScriptLibContext::ZelkScriptLibContext() = default;

ZelkScriptLibContext::~ZelkScriptLibContext() { magic_ = 0; }

// Scripts run by a host may run commands: the host decided to run them.
bool ZelkScriptLibContext::mayExecuteCommand(const std::string &, std::string &error) {
    error.clear();
    return true;
}

ZelkScriptLibContext *contextFromId(uintptr_t id) {
    if (id == 0) return nullptr;
    auto *context = reinterpret_cast<ZelkScriptLibContext *>(id);
    return context->isUsable() ? context : nullptr;
}

bool copyToCallerBuffer(std::string_view text, char *buffer, int32_t size) {
    if (!buffer || size <= 0) return false;
    const size_t capacity = static_cast<size_t>(size) - 1;
    const size_t count = text.size() < capacity ? text.size() : capacity;
    if (count) std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return text.size() < static_cast<size_t>(size);
}

} // namespace zelkscript
