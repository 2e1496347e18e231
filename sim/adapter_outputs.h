/*
 * adapter_outputs.h - what the simulated adapter puts out: the messages the
 * library gives it to transmit on the buses, echoed back when loopback is
 * on, and the programming voltage it drives on pin 13.
 *
 * A bus frame goes nowhere else: the simulated buses have no other nodes.
 * The echo is the frame as it would be received, type 5, op 2, in the order
 * the frames came in, so an answer to a later query (the write barrier)
 * always follows the echoes of the frames before it.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/handlers.h"

namespace orvane::sim {

// The DAC_SETUP block: millivolts LSB first, pin, filler.
constexpr size_t kDacSetupSize = 4;

struct ProgrammingVoltage {
    uint16_t millivolts = 0;
    uint8_t pin = 0;
};

struct BusDevices;

struct AdapterOutputs {
    bool loopback = false;     // echo transmitted data frames
    uint64_t transmitted = 0;  // data frames taken for the buses
    // The K-line message whose pieces are coming in, echoed whole once its
    // last piece is in: on the wire it carries the checksum the adapter adds.
    std::vector<uint8_t> kline_echo;
    // The last programming-voltage setting; none until the first.
    std::optional<ProgrammingVoltage> prog_voltage;
};

// Installs the handlers of the data frames {0x10, 0x20, 0x30, 0x40, 0x90;
// op 3, type 5} and of the programming-voltage block {0xC0, op 3, type 7}.
// The K-line setup block in `devices` says whether a checksum is added.
void add_output_handlers(HandlerTable &table, AdapterOutputs &outputs, const BusDevices &devices);

}  // namespace orvane::sim
