// The context that the host interface creates for each host-visible context:
// the interpreter context plus what only hosts set (folder permissions, the
// host-function extension, the data-id table).
#pragma once

#include <map>
#include <string>

#include "engine/interpreter/context.h"

namespace zelkscript {

class ZelkScriptLibContext : public ZelkScriptContextBase {
public:
    ZelkScriptLibContext();
    ~ZelkScriptLibContext() override;

    bool mayExecuteCommand(const std::string &command, std::string &error) override;

    // Usable: created by zelkscript_createcontext and not freed.
    bool isUsable() const noexcept { return magic_ == kMagic; }

    // Runs nested inside host calls (a callback that runs a script) count
    // here; the context may be freed only when none is running.
    int runDepth = 0;
    bool freeRequested = false;

private:
    static constexpr uint64_t kMagic = 0x7a656c6b63747821ull;
    uint64_t magic_ = kMagic;
};

// The context behind a host's context id, or null when the id is null or
// does not name a live context.
ZelkScriptLibContext *contextFromId(uintptr_t id);

// Copies text into a caller buffer: at most size - 1 bytes and a NUL;
// nothing for a null buffer or a size of 0 or less. True when all fitted.
bool copyToCallerBuffer(std::string_view text, char *buffer, int32_t size);

} // namespace zelkscript
