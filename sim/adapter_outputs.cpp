/*
 * adapter_outputs.cpp - bus data frames, their echoes, and the programming
 * voltage.  Touches only the AdapterOutputs it was given.
 */
#include "sim/adapter_outputs.h"

#include "sim/bus_devices.h"

namespace orvane::sim {

namespace {

// Flags a received CAN frame can carry: FD, bit-rate switch, 29-bit.  The
// transmit-only bits (extended address, last consecutive frame) mean other
// things on received frames, and K-line pieces carry none.
constexpr uint8_t kCanEchoFlags = 0x01 | 0x02 | 0x10;

Frame echo_of(const Frame &in)
{
    const uint8_t flags = in.dev == JMSG_ISO9141 ? 0 : static_cast<uint8_t>(in.flags & kCanEchoFlags);
    return Frame(in.dev, JMSG_DEV_READ, JMSG_TYPE_DATA, in.data, flags);
}

}  // namespace

void add_output_handlers(HandlerTable &table, AdapterOutputs &outputs)
{
    for (uint8_t dev : kBusDevices) {
        table.set(dev, JMSG_DEV_WRITE, JMSG_TYPE_DATA, [&outputs](const Frame &in, Context &ctx) {
            ++outputs.transmitted;
            if (outputs.loopback)
                ctx.reply(echo_of(in));
        });
    }

    table.set(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, [&outputs](const Frame &in, Context &) {
        // A short block would be a library fault; the adapter keeps its setting.
        if (in.data.size() < kDacSetupSize)
            return;
        outputs.prog_voltage = ProgrammingVoltage{
            static_cast<uint16_t>(in.data[0] | (in.data[1] << 8)), in.data[2]};
    });
}

}  // namespace orvane::sim
