/*
 * memory_device.cpp - routes the frames of the memory device.  No state.
 */
#include "sim/memory_device.h"

namespace orvane::sim {

void add_memory_device_handlers(HandlerTable &table, SdCard &card, AdapterMemory &memory)
{
    const Handler route = [&card, &memory](const Frame &in, Context &ctx) {
        if (is_memory_request(in))
            handle_memory_frame(in, ctx, memory);
        else
            handle_card_frame(in, ctx, card);
    };
    for (uint8_t op :
         {JMSG_DEV_READ, JMSG_DEV_WRITE, JMSG_DEV_OPEN, JMSG_DEV_CLOSE, JMSG_DEV_DELETE})
        table.set(JMSG_MEM, op, JMSG_TYPE_PLAIN, route);
}

}  // namespace orvane::sim
