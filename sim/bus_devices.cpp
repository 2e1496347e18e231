/*
 * bus_devices.cpp - start, stop, clear and setup handlers of the bus units.
 * Touches only the BusDevices it was given.
 */
#include "sim/bus_devices.h"

namespace orvane::sim {

void add_bus_device_handlers(HandlerTable &table, BusDevices &devices)
{
    for (uint8_t dev : kBusDevices) {
        table.set(dev, JMSG_DEV_START, JMSG_TYPE_PLAIN,
                  [&devices](const Frame &in, Context &) { devices.started[in.dev] = in.flags; });
        table.set(dev, JMSG_DEV_START, JMSG_TYPE_CLEAR,
                  [&devices](const Frame &in, Context &) { ++devices.clears[in.dev]; });
        table.set(dev, JMSG_DEV_STOP, HandlerTable::kAnyType,
                  [&devices](const Frame &in, Context &ctx) {
                      devices.started.erase(in.dev);
                      ctx.reply(Frame(in.dev, JMSG_DEV_STOP));
                  });
        table.set(dev, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, [&devices](const Frame &in, Context &) {
            devices.setup_blocks[in.dev] = in.data;
            devices.setup_flags[in.dev] = in.flags;
        });
    }
}

}  // namespace orvane::sim
