/*
 * adapter_clock.h - the simulated adapter's real-time clock, read {0xF0,
 * op 2, type 14} and set {0xF0, op 3, type 14} as the 12 bytes of the
 * library's clock record (day number, year, month, day, hour, minute,
 * second, filler; multi-byte fields least significant byte first).
 *
 * The clock stands still: a read returns exactly the 12 bytes last set, so
 * a test can compare them.  It starts at day 2460311, 2024-01-01 00:00:00.
 *
 * The adapter has no refusal that the library could see in a clock reply,
 * so refusing answers a read without data and does not answer a write.  A
 * write that does not carry 12 bytes is not answered either.
 */
#pragma once

#include <array>
#include <cstdint>

#include "sim/handlers.h"
#include "sim/service_mode.h"

namespace orvane::sim {

constexpr size_t kClockSize = 12;
inline constexpr std::array<uint8_t, kClockSize> kClockStart{0x97, 0x8A, 0x25, 0x00,  // 2460311
                                                             0xE8, 0x07,              // 2024
                                                             1,    1,    0,    0,    0, 0};

struct AdapterClock {
    ServiceMode mode = ServiceMode::Answer;
    std::array<uint8_t, kClockSize> value = kClockStart;
};

void add_clock_handlers(HandlerTable &table, AdapterClock &clock);

}  // namespace orvane::sim
