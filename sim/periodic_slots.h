/*
 * periodic_slots.h - the simulated adapter's periodic memory: 100 slots,
 * each holding the periodic frame the library last wrote to it (its
 * interval in ms, least significant byte first, in the time field), and the
 * devices whose periodic messages are suspended.  A frame without data
 * stops its slot.  The simulator does not repeat the messages on a bus.
 */
#pragma once

#include <array>
#include <cstdint>
#include <set>

#include "sim/handlers.h"

namespace orvane::sim {

constexpr size_t kSimPeriodicSlots = 100;
constexpr uint8_t kPeriodicSuspendFlag = 0x10;
constexpr uint8_t kPeriodicResumeFlag = 0x20;

struct PeriodicSlot {
    Frame frame;
    bool used() const { return !frame.data.empty(); }
    uint32_t interval_ms() const { return frame.timestamp_le(); }
};

struct PeriodicSlots {
    std::array<PeriodicSlot, kSimPeriodicSlots> slots;
    std::set<uint8_t> suspended;  // devices
    int stops = 0;                // stop frames received, free slots included
};

// Installs {dev, op 3, type 4} (start, update, stop) and {dev, op 3, type 0}
// (suspend with flag 0x10, resume with 0x20) for every bus device.
void add_periodic_slot_handlers(HandlerTable &table, PeriodicSlots &periodic);

}  // namespace orvane::sim
