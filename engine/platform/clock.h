// Millisecond tick count for the node counters and the time functions.
// The interpreter reads it once for every node it evaluates, so it must
// cost a few nanoseconds: CLOCK_MONOTONIC_COARSE is served from the vDSO
// without a system call and has the 1-10 ms resolution a tick count implies.
#pragma once

#include <cstdint>
#include <ctime>

namespace zelkscript {

inline uint64_t tickCountMs() noexcept {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

} // namespace zelkscript
