/*
 * ticks.cpp - the millisecond tick counter and sleeps.
 *
 * Owns the installed test clock, the only global state here.  CLOCK_MONOTONIC
 * rather than the wall clock, so that time-outs survive the clock being set.
 */
#include "platform/ticks.h"

#include <time.h>

#include <atomic>
#include <cerrno>

namespace platform {

namespace {

// Atomic so that a thread started by the code under test (the simulator's,
// say) reads either the old or the new clock, never a torn pointer.
std::atomic<Clock *> test_clock{nullptr};

}  // namespace

uint32_t tick_count()
{
    if (Clock *clock = test_clock.load(std::memory_order_acquire))
        return clock->tick_count();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Truncation to 32 bits is the wrap that callers expect.
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void sleep_ms(uint32_t ms)
{
    if (Clock *clock = test_clock.load(std::memory_order_acquire)) {
        clock->sleep_ms(ms);
        return;
    }
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal handler of the host program must not cut our sleeps short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void set_clock(Clock *clock)
{
    test_clock.store(clock, std::memory_order_release);
}

}  // namespace platform
