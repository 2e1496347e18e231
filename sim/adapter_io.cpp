/*
 * adapter_io.cpp - analogue and digital handlers.  Touches only the
 * AdapterIo it was given; reads the programming voltage of AdapterOutputs.
 */
#include "sim/adapter_io.h"

namespace orvane::sim {

namespace {

constexpr uint16_t kMillivoltsPerUnit = 10;

bool is_pin(uint8_t pin)
{
    return pin >= kFirstDigitalPin && pin <= kLastDigitalPin;
}

}  // namespace

void add_io_handlers(HandlerTable &table, AdapterIo &io, const AdapterOutputs &outputs)
{
    table.set(
        JMSG_ADC, JMSG_DEV_READ, JMSG_TYPE_PLAIN, [&io, &outputs](const Frame &in, Context &ctx) {
            if (in.data.empty() || in.data[0] >= kAnalogInputs)
                return;
            const uint8_t input = in.data[0];
            uint16_t reading = io.analog[input];
            if (input == kProgVoltageInput)
                reading = outputs.prog_voltage
                              ? outputs.prog_voltage->millivolts / kMillivoltsPerUnit
                              : 0;
            ctx.reply(
                Frame(JMSG_ADC, JMSG_DEV_READ, JMSG_TYPE_PLAIN,
                      {input, static_cast<uint8_t>(reading), static_cast<uint8_t>(reading >> 8)}));
        });

    table.set(JMSG_DIO, JMSG_DEV_READ, JMSG_TYPE_PLAIN, [&io](const Frame &in, Context &ctx) {
        if (in.data.empty() || !is_pin(in.data[0]))
            return;
        ctx.reply(
            Frame(JMSG_DIO, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {in.data[0], io.pins[in.data[0]]}));
    });

    table.set(JMSG_DIO, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, [&io](const Frame &in, Context &) {
        if (in.data.size() < 2 || !is_pin(in.data[0]))
            return;
        io.pins[in.data[0]] = in.data[1];
        io.writes.emplace_back(in.data[0], in.data[1]);
    });
}

}  // namespace orvane::sim
