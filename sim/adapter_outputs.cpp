/*
 * adapter_outputs.cpp - bus data frames, their echoes, and the programming
 * voltage.  Touches only the AdapterOutputs it was given.
 */
#include "sim/adapter_outputs.h"

#include "sim/bus_devices.h"
#include "sim/bus_traffic.h"

namespace orvane::sim {

namespace {

// Flags a received CAN frame can carry: FD, bit-rate switch, 29-bit.  The
// transmit-only bits (extended address, last consecutive frame) mean other
// things on received frames, and K-line pieces carry none.
constexpr uint8_t kCanEchoFlags = 0x01 | 0x02 | 0x10;

Frame echo_of(const Frame &in)
{
    const uint8_t flags =
        in.dev == JMSG_ISO9141 ? 0 : static_cast<uint8_t>(in.flags & kCanEchoFlags);
    return Frame(in.dev, JMSG_DEV_READ, JMSG_TYPE_DATA, in.data, flags);
}

// The library's K-line pieces: more of the same message follows.
constexpr uint8_t kKLineMorePieces = 0x20;
// init_type bit of the K-line setup block: no checksum on the line.
constexpr uint8_t kKLineNoChecksum = 0x80;
constexpr size_t kInitTypeOffset = 5;

bool kline_checksum_added(const BusDevices &devices)
{
    auto block = devices.setup_blocks.find(JMSG_ISO9141);
    return block == devices.setup_blocks.end() || block->second.size() <= kInitTypeOffset ||
           (block->second[kInitTypeOffset] & kKLineNoChecksum) == 0;
}

}  // namespace

void add_output_handlers(HandlerTable &table, AdapterOutputs &outputs, const BusDevices &devices)
{
    for (uint8_t dev : kBusDevices) {
        table.set(dev, JMSG_DEV_WRITE, JMSG_TYPE_DATA,
                  [&outputs, &devices](const Frame &in, Context &ctx) {
                      ++outputs.transmitted;
                      if (!outputs.loopback)
                          return;
                      if (in.dev != JMSG_ISO9141) {
                          ctx.reply(echo_of(in));
                          return;
                      }
                      outputs.kline_echo.insert(outputs.kline_echo.end(), in.data.begin(),
                                                in.data.end());
                      if (in.flags & kKLineMorePieces)
                          return;
                      std::vector<uint8_t> message = std::move(outputs.kline_echo);
                      outputs.kline_echo.clear();
                      if (kline_checksum_added(devices))
                          message.push_back(kline_checksum(message));
                      for (const Frame &piece : kline_frames(message, 0, JMSG_TYPE_DATA))
                          ctx.reply(piece);
                  });
    }

    table.set(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, [&outputs](const Frame &in, Context &) {
        // A short block would be a library fault; the adapter keeps its setting.
        if (in.data.size() < kDacSetupSize)
            return;
        outputs.prog_voltage =
            ProgrammingVoltage{static_cast<uint16_t>(in.data[0] | (in.data[1] << 8)), in.data[2]};
    });
}

}  // namespace orvane::sim
