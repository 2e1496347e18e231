/*
 * filter_slots.cpp - the mask, pattern and flow frame handlers.
 * Touches only the FilterSlots it was given.
 */
#include "sim/filter_slots.h"

#include "sim/bus_devices.h"

namespace orvane::sim {

namespace {
Frame FilterSlot::*member_for(uint8_t type)
{
    switch (type) {
    case JMSG_TYPE_MASK: return &FilterSlot::mask;
    case JMSG_TYPE_PATTERN: return &FilterSlot::pattern;
    default: return &FilterSlot::flow;
    }
}
}  // namespace

void add_filter_slot_handlers(HandlerTable &table, FilterSlots &filters)
{
    for (uint8_t dev : kBusDevices) {
        for (uint8_t type : {JMSG_TYPE_MASK, JMSG_TYPE_PATTERN, JMSG_TYPE_FLOW}) {
            table.set(dev, JMSG_DEV_WRITE, type, [&filters](const Frame &in, Context &) {
                if (in.id < kSimFilterSlots)
                    filters.slots[in.id].*member_for(in.type) = in;
            });
        }
    }
}

}  // namespace orvane::sim
