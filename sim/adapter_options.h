/*
 * adapter_options.h - the simulated adapter's option frames {0xF0, op 3,
 * type 0 or 7, no data} and what it makes of them.
 *
 * What the library sends decides the meaning:
 * - Frame 0 always carries both the loopback (0x40) and the message-trigger
 *   (0x80) bit as the library currently has them, so the adapter takes it
 *   as the whole state of both options.  The timer reset is the same frame
 *   with 0x20 alone; a frame with 0x20 resets the timer and leaves the two
 *   options as they were, or a bus monitor that resets the timer would
 *   silently end loopback.
 * - Frame 7 carries one parameter's bit at a time, and a 0 from "bus errors
 *   off" cannot be told from a 0 from "automatic suspend on".  So the
 *   adapter can only take the frame as the whole state of both: 0x10 bus
 *   errors on, 0x80 automatic suspension off.  A frame that sets one of the
 *   two therefore resets the other to its default.
 * Loopback drives the echo of AdapterOutputs.
 */
#pragma once

#include <cstdint>
#include <vector>

#include "sim/adapter_outputs.h"
#include "sim/handlers.h"

namespace orvane::sim {

// Option frame types and bits.
constexpr uint8_t kOptionFrame0 = 0;
constexpr uint8_t kOptionFrame7 = 7;
constexpr uint8_t kOptionResetTimer = 0x20;     // frame 0
constexpr uint8_t kOptionLoopback = 0x40;       // frame 0
constexpr uint8_t kOptionMsgTrigger = 0x80;     // frame 0
constexpr uint8_t kOptionBusErrors = 0x10;      // frame 7
constexpr uint8_t kOptionNoAutoSuspend = 0x80;  // frame 7

struct OptionFrame {
    uint8_t type;
    uint8_t flags;
    bool operator==(const OptionFrame &) const = default;
};

struct AdapterOptions {
    bool msg_trigger = false;
    bool bus_errors = false;
    bool automatic_suspend = true;
    int timer_resets = 0;
    std::vector<OptionFrame> frames;  // every option frame, in order
};

// Installs {0xF0, op 3, type 0} and {0xF0, op 3, type 7}.  The loopback bit
// goes to `outputs.loopback`.
void add_option_handlers(HandlerTable &table, AdapterOptions &options, AdapterOutputs &outputs);

}  // namespace orvane::sim
