/*
 * memory_device.h - the adapter's memory device (0xE0) carries two services
 * on the same frames: SD-card file steps and memory requests.  This router
 * hands each frame to the one it belongs to (sim/adapter_memory.h says
 * how they differ).  Both answer through device 0xE0, operation 2.
 */
#pragma once

#include "sim/adapter_memory.h"
#include "sim/handlers.h"
#include "sim/sd_card.h"

namespace orvane::sim {

void add_memory_device_handlers(HandlerTable &table, SdCard &card, AdapterMemory &memory);

}  // namespace orvane::sim
