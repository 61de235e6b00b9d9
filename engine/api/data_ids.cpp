// The process-wide data-id counter.
#include "engine/api/data_ids.h"

#include <atomic>
#include <limits>

namespace zelkscript {

namespace {

// 64 bits wide so that it never wraps: once it passes the 32-bit range it
// only keeps answering 0.
std::atomic<int64_t> nextDataId{1};

} // namespace

int32_t issueDataId() noexcept {
    const int64_t id = nextDataId.fetch_add(1, std::memory_order_relaxed);
    if (id <= 0 || id > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(id);
}

int64_t peekNextDataId() noexcept { return nextDataId.load(std::memory_order_relaxed); }

void setNextDataIdForTesting(int64_t next) noexcept { nextDataId.store(next, std::memory_order_relaxed); }

} // namespace zelkscript
