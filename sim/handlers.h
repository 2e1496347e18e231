/*
 * handlers.h - how the simulated adapter answers a frame.
 *
 * Every frame received is looked up by (dev, op, type) in a table of
 * handlers; a handler may change the state of its own concern (adapter
 * identity, setup blocks, filters, files...) and reply through the Context.
 * Each concern lives in its own file with its state struct and a function
 * that adds its handlers to the table, so a new concern adds a file rather
 * than editing a dispatcher.  Frames without a handler are only logged.
 *
 * Handlers run on the simulator's thread with the simulator's state lock
 * held; they must not block.
 */
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "sim/frame.h"

namespace orvane::sim {

class Context {
  public:
    virtual ~Context() = default;
    // Sends `frame` to the library, stamped with the simulator's time,
    // behind everything sent before.  Honours the silent and delay knobs.
    virtual void reply(Frame frame) = 0;
    // Simulator time in 1/256 ms since start, as the adapter stamps frames.
    virtual uint32_t now_ticks() const = 0;
};

using Handler = std::function<void(const Frame &in, Context &ctx)>;

class HandlerTable {
  public:
    static constexpr int kAnyType = -1;

    // Installs `handler` for frames {dev, op, type}; kAnyType matches every
    // type not given its own handler.  Replaces an earlier one for the key.
    void set(uint8_t dev, uint8_t op, int type, Handler handler);
    void remove(uint8_t dev, uint8_t op, int type);
    // The handler for `frame`, or null.
    const Handler *find(const Frame &frame) const;

  private:
    static uint32_t key(uint8_t dev, uint8_t op, int type);
    std::map<uint32_t, Handler> table_;
};

}  // namespace orvane::sim
