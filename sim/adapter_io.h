/*
 * adapter_io.h - the simulated adapter's analogue inputs and digital pins.
 *
 * An analogue read {0xB0, op 2, data: input} is answered {0xB0, op 2, data:
 * input, reading LSB, MSB} in units of 10 mV.  Input 0 measures the
 * programming-voltage output, so it reports the voltage last set through
 * the DAC block (0 until one was set); the other inputs report what a test
 * gave them.
 *
 * The two digital pins are wired back to themselves: a write {0xD0, op 3,
 * data: pin, level} sets the pin, a read {0xD0, op 2, data: pin} is answered
 * {0xD0, op 2, data: pin, level}.  A test may also drive a pin as an input.
 * Requests for inputs the adapter does not have go unanswered.
 */
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "sim/adapter_outputs.h"
#include "sim/handlers.h"

namespace orvane::sim {

constexpr size_t kAnalogInputs = 16;
constexpr uint8_t kProgVoltageInput = 0;
constexpr uint8_t kVbattInput = 1;
constexpr uint16_t kDefaultVbatt = 1250;  // 12.5 V in 10 mV units
constexpr uint8_t kFirstDigitalPin = 1;
constexpr uint8_t kLastDigitalPin = 2;

struct AdapterIo {
    // Readings in 10 mV units; input 0 follows the programming voltage instead.
    std::array<uint16_t, kAnalogInputs> analog{0, kDefaultVbatt};
    std::array<uint8_t, kLastDigitalPin + 1> pins{};  // indexed by pin number
    std::vector<std::pair<uint8_t, uint8_t>> writes;  // every digital write: pin, level
};

// Installs {0xB0, op 2, type 0}, {0xD0, op 2, type 0} and {0xD0, op 3,
// type 0}.  `outputs` is read for the programming voltage.
void add_io_handlers(HandlerTable &table, AdapterIo &io, const AdapterOutputs &outputs);

}  // namespace orvane::sim
