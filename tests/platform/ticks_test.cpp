// ticks_test.cpp - the tick counter and the clock seam.
#include "platform/ticks.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

uint32_t monotonic_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// Signed 32-bit difference: non-negative means `later` did not go back, even
// across the wrap of the counter.
int32_t since(uint32_t earlier, uint32_t later)
{
    return static_cast<int32_t>(later - earlier);
}

class FakeClock : public platform::Clock {
  public:
    uint32_t now = 0xFFFFFF00u;  // close to the wrap
    uint32_t slept = 0;
    uint32_t tick_count() override { return now; }
    void sleep_ms(uint32_t ms) override
    {
        slept += ms;
        now += ms;
    }
};

TEST(Ticks, RealCounterIsMonotonicMillisecondsOfTheMonotonicClock)
{
    uint32_t before = monotonic_ms();
    uint32_t previous = platform::tick_count();
    for (int i = 0; i < 10000; ++i) {
        uint32_t now = platform::tick_count();
        ASSERT_GE(since(previous, now), 0);
        previous = now;
    }
    platform::sleep_ms(0);
    platform::sleep_ms(2);
    uint32_t after = monotonic_ms();
    uint32_t last = platform::tick_count();
    EXPECT_GE(since(previous, last), 0);
    // Same clock and unit as CLOCK_MONOTONIC in ms, not seconds or wall time.
    EXPECT_GE(since(before, previous), 0);
    EXPECT_GE(since(last, monotonic_ms()), 0);
    EXPECT_GE(since(after, last), 0);
}

TEST(Ticks, TestClockReplacesAndIsRestored)
{
    FakeClock fake;
    platform::set_clock(&fake);
    EXPECT_EQ(platform::tick_count(), 0xFFFFFF00u);
    platform::sleep_ms(15000);  // returns at once: the fake only advances
    EXPECT_EQ(fake.slept, 15000u);
    EXPECT_EQ(platform::tick_count(), 0xFFFFFF00u + 15000u);
    fake.now = 42;
    EXPECT_EQ(platform::tick_count(), 42u);

    platform::set_clock(nullptr);
    uint32_t before = monotonic_ms();
    uint32_t real = platform::tick_count();
    uint32_t after = monotonic_ms();
    EXPECT_GE(since(before, real), 0);
    EXPECT_GE(since(real, after), 0);
    platform::sleep_ms(1);
    EXPECT_EQ(fake.slept, 15000u);  // no longer consulted
}

}  // namespace
