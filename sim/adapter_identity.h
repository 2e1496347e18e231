/*
 * adapter_identity.h - what the simulated adapter says about itself: its
 * firmware version and serial number, the answers the library's device
 * search relies on.  Also the adapter's stop command, which it takes without
 * a word.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/handlers.h"

namespace orvane::sim {

// Firmware 1.07 in the two-byte form; tests that need the four-byte form set it.
inline const std::vector<uint8_t> kDefaultVersion{1, 7};
constexpr uint32_t kDefaultSerialNumber = 12345678;

// The serial-number reply: 12 data bytes, the number in bytes 8 to 11.
constexpr size_t kDeviceInfoSize = 12;
constexpr size_t kSerialNumberOffset = 8;

struct AdapterIdentity {
    std::vector<uint8_t> version = kDefaultVersion;
    uint32_t serial_number = kDefaultSerialNumber;
    // Test knob: answer the version query with this many data bytes instead
    // (the version bytes cut short or padded with zeros).
    std::optional<uint8_t> version_reply_size;
};

// Installs the handlers of the stop command {0xF0, op 1}, the version query
// {0xF0, op 2, type 13} and the serial-number query {0xF0, op 2, type 8}.
void add_identity_handlers(HandlerTable &table, AdapterIdentity &identity);

}  // namespace orvane::sim
