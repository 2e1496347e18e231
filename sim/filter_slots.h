/*
 * filter_slots.h - the simulated adapter's filter memory: 64 slots, each
 * holding the mask, pattern and flow frames the library last wrote to it.
 * The frames are kept whole (device, flags and all) so tests can assert
 * exactly what the adapter was told.  A slot is in use while its mask has
 * data; frames naming a slot beyond the memory are only logged.
 */
#pragma once

#include <array>
#include <cstdint>

#include "sim/handlers.h"

namespace orvane::sim {

constexpr size_t kSimFilterSlots = 64;

struct FilterSlot {
    Frame mask;
    Frame pattern;
    Frame flow;
    bool used() const { return !mask.data.empty(); }
};

struct FilterSlots {
    std::array<FilterSlot, kSimFilterSlots> slots;
};

// Installs {dev, op 3, types 1, 2 and 3} for every bus device.
void add_filter_slot_handlers(HandlerTable &table, FilterSlots &filters);

}  // namespace orvane::sim
