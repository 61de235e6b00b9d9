// The process-wide source of data ids. Ids are unique across every context
// of the process and never reused, so a stale id can never name another
// value. The counter is atomic: contexts used by different threads issue ids
// at the same time without a lock.
#pragma once

#include <cstdint>

namespace zelkscript {

// The next id (the first ever is 1), or 0 once the 32-bit range is spent:
// from then on nothing more can be registered in this process.
int32_t issueDataId() noexcept;

// The id the next issueDataId() would give (it may be past the range). Ids
// issued later by any thread are at least this.
int64_t peekNextDataId() noexcept;

// Moves the counter, for tests that must reach the end of the range.
void setNextDataIdForTesting(int64_t next) noexcept;

} // namespace zelkscript
