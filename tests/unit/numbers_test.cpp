// The random generator behind random() and startrandom(): its value range,
// repeatable sequences, and its behaviour when several threads draw at once.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "engine/library/numbers.h"

using namespace zelkscript;

namespace {

std::vector<uint32_t> drawValues(size_t count) {
    std::vector<uint32_t> values(count);
    for (uint32_t &value : values) value = nextRandomValue();
    return values;
}

} // namespace

TEST(NumbersRandom, ValuesUseFifteenBits) {
    startRandomSequence(12345);
    uint32_t largest = 0;
    std::set<uint32_t> distinct;
    for (uint32_t value : drawValues(20000)) {
        largest = std::max(largest, value);
        distinct.insert(value);
    }
    EXPECT_LE(largest, 32767u);
    // All 15 bits are in use, and the values spread over the range.
    EXPECT_GT(largest, 32000u);
    EXPECT_GT(distinct.size(), 14000u);
}

TEST(NumbersRandom, SeedingRepeatsTheSequence) {
    startRandomSequence(99);
    const std::vector<uint32_t> first = drawValues(50);
    startRandomSequence(99);
    EXPECT_EQ(drawValues(50), first);
    startRandomSequence(100);
    EXPECT_NE(drawValues(50), first);
}

// Each thread draws from its own generator: a thread that seeds gets its
// sequence whatever the other threads draw meanwhile.
TEST(NumbersRandom, ThreadsKeepTheirOwnSequences) {
    startRandomSequence(7);
    const std::vector<uint32_t> expected = drawValues(5000);
    constexpr int kThreads = 4;
    std::vector<std::vector<uint32_t>> seeded(kThreads);
    std::vector<std::vector<uint32_t>> unseeded(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            unseeded[t] = drawValues(16);
            startRandomSequence(7);
            seeded[t] = drawValues(5000);
        });
    }
    for (std::thread &thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seeded[t], expected) << "thread " << t;
    // Threads that did not seed start from different states.
    std::set<std::vector<uint32_t>> starts(unseeded.begin(), unseeded.end());
    EXPECT_EQ(starts.size(), static_cast<size_t>(kThreads));
}
