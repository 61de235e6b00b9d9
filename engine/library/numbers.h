// Numbers and math: abs, the variadic min/max/sum/average, swap, the
// functions of the standard mathematics library, div/modf/fmod/fract, odd,
// round and random numbers. Every integer path is checked for overflow and
// every double-to-integer step for range, so no argument a script passes can
// reach undefined behaviour; results follow the long/double/number rules.
#pragma once

#include <cstdint>

namespace zelkscript {

// Largest bound random(m) accepts: building a value takes m / 32767
// generator draws, so the bound keeps one call short.
inline constexpr int64_t kMaxRandomBound = int64_t{1} << 31;

// The random generator of the calling thread: 15-bit values 0..32767, as
// the chunked reductions of random() expect. Each thread's generator starts
// from the process's seed, drawn once; startRandomSequence makes the
// thread's following values repeatable.
uint32_t nextRandomValue();
void startRandomSequence(uint32_t seed);

} // namespace zelkscript
