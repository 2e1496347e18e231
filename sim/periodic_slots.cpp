/*
 * periodic_slots.cpp - the periodic frame and suspend/resume handlers.
 * Touches only the PeriodicSlots it was given.
 */
#include "sim/periodic_slots.h"

#include "sim/bus_devices.h"

namespace orvane::sim {

void add_periodic_slot_handlers(HandlerTable &table, PeriodicSlots &periodic)
{
    for (uint8_t dev : kBusDevices) {
        table.set(dev, JMSG_DEV_WRITE, JMSG_TYPE_PERIODIC, [&periodic](const Frame &in, Context &) {
            if (in.data.empty())
                ++periodic.stops;
            if (in.id < kSimPeriodicSlots)
                periodic.slots[in.id].frame = in;
        });
        // The end of a segmented ISO 15765 write is also {op 3, type 0}, with
        // flag 0x20; taken as a resume it changes nothing that was not
        // suspended.
        table.set(dev, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, [&periodic](const Frame &in, Context &) {
            if (in.flags & kPeriodicSuspendFlag)
                periodic.suspended.insert(in.dev);
            else if (in.flags & kPeriodicResumeFlag)
                periodic.suspended.erase(in.dev);
        });
    }
}

}  // namespace orvane::sim
