/*
 * adapter_clock.cpp - the clock's read and write handlers.  Touches only the
 * AdapterClock it is given.
 */
#include "sim/adapter_clock.h"

#include <algorithm>

namespace orvane::sim {

void add_clock_handlers(HandlerTable &table, AdapterClock &clock)
{
    table.set(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_RTC, [&clock](const Frame &, Context &ctx) {
        if (clock.mode == ServiceMode::Silent)
            return;
        Frame f(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_RTC);
        if (clock.mode == ServiceMode::Answer)
            f.data.assign(clock.value.begin(), clock.value.end());
        ctx.reply(std::move(f));
    });

    table.set(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_RTC, [&clock](const Frame &in, Context &ctx) {
        if (clock.mode != ServiceMode::Answer || in.data.size() != kClockSize)
            return;
        std::copy(in.data.begin(), in.data.end(), clock.value.begin());
        ctx.reply(Frame(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_RTC));
    });
}

}  // namespace orvane::sim
