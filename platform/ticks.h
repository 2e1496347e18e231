/*
 * ticks.h - the millisecond tick counter and sleeps of the library.
 *
 * The tick count is a 32-bit millisecond counter that wraps; callers compare
 * unsigned differences.  A test installs its own Clock to drive time instead
 * of sleeping, so 15-second time-outs run in no time.
 */
#pragma once

#include <cstdint>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual uint32_t tick_count() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;
};

// Milliseconds from CLOCK_MONOTONIC, truncated to 32 bits (or the test clock).
uint32_t tick_count();

// Sleep at least `ms` milliseconds (or advance the test clock).
void sleep_ms(uint32_t ms);

// Install a clock; nullptr restores the real one.  Not thread-safe: set it
// before the code under test runs.
void set_clock(Clock *clock);

}  // namespace platform
