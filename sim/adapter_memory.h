/*
 * adapter_memory.h - the simulated adapter's memory: 64 KiB from address 0,
 * read and written by address through the memory device (0xE0).
 *
 * A read request {op 2} carries the address and the length, most
 * significant byte first (a ninth byte may follow and is ignored) and is
 * answered with the bytes; a write {op 3, flag 0x10} carries address,
 * length and the bytes, and is answered without data.  A request that
 * leaves the area, asks for more than a reply can carry (68 bytes) or whose
 * length disagrees with its bytes is refused: a reply with the error flag
 * 0x40 and no data, as every request is in the refusing mode.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/handlers.h"
#include "sim/service_mode.h"

namespace orvane::sim {

constexpr size_t kMemoryAreaSize = 0x10000;
constexpr size_t kMemRwHeader = 8;
constexpr uint8_t kMemWriteFlag = 0x10;

struct AdapterMemory {
    ServiceMode mode = ServiceMode::Answer;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kMemoryAreaSize, 0);
};

// True for the frames of the memory device that are memory requests rather
// than file steps: a read that carries an address, a write flagged 0x10.
bool is_memory_request(const Frame &frame);

void handle_memory_frame(const Frame &in, Context &ctx, AdapterMemory &memory);

}  // namespace orvane::sim
