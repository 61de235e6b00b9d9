// Callback lookup in the main program.
#include "engine/api/host_callbacks.h"

#include <dlfcn.h>

#include <atomic>

namespace zelkscript {

namespace {

std::atomic<HostCallbackResolver> installedResolver{nullptr};

// The handle of the main program, opened once: dlopen of the program itself
// only takes a reference, and the program lives as long as the process.
void *mainProgramHandle() noexcept {
    static void *const handle = dlopen(nullptr, RTLD_NOW);
    return handle;
}

} // namespace

void *findHostCallback(const char *name) noexcept {
    if (HostCallbackResolver resolver = installedResolver.load(std::memory_order_acquire)) return resolver(name);
    void *program = mainProgramHandle();
    return program ? dlsym(program, name) : nullptr;
}

void setHostCallbackResolver(HostCallbackResolver resolver) noexcept {
    installedResolver.store(resolver, std::memory_order_release);
}

} // namespace zelkscript
