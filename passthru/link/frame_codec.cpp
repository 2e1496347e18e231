// frame_codec.cpp - frame records to and from the wire, and their hex dumps.
#include "passthru/link/frame_codec.h"

#include <cstdio>
#include <cstring>

namespace tenq {

void JmsgFromWire(std::span<const uint8_t> wire, JMSG &msg)
{
    std::memset(&msg, 0, sizeof msg);
    msg.id = wire[0];
    msg.size = wire[1];
    msg.dev = wire[2];
    msg.op = wire[3];
    msg.flags = wire[4];
    msg.type = wire[5];
    std::memcpy(msg.timestamp, &wire[6], sizeof msg.timestamp);
    std::memcpy(msg.data, &wire[kJmsgHeaderSize], msg.size);
}

size_t JmsgToWire(const JMSG &msg, std::span<uint8_t> wire)
{
    wire[0] = msg.id;
    wire[1] = msg.size;
    wire[2] = msg.dev;
    wire[3] = msg.op;
    wire[4] = msg.flags;
    wire[5] = msg.type;
    std::memcpy(&wire[6], msg.timestamp, sizeof msg.timestamp);
    std::memcpy(&wire[kJmsgHeaderSize], msg.data, msg.size);
    return JmsgWireSize(msg);
}

void JmsgSetHeader(JMSG &msg, uint8_t dev, uint8_t op, uint8_t type, uint8_t flags, uint8_t size)
{
    msg.id = 0;
    msg.size = size;
    msg.dev = dev;
    msg.op = op;
    msg.flags = flags;
    msg.type = type;
    std::memset(msg.timestamp, 0, sizeof msg.timestamp);
}

size_t FormatJmsgDump(const JMSG &msg, size_t max_data, char *out, size_t capacity)
{
    if (capacity == 0)
        return 0;
    int n = std::snprintf(out, capacity, "%02X %02X %02X %02X %02X %02X (%02X%02X%02X%02X)", msg.id,
                          msg.size, msg.dev, msg.op, msg.flags, msg.type, msg.timestamp[0],
                          msg.timestamp[1], msg.timestamp[2], msg.timestamp[3]);
    size_t len = n < 0 ? 0 : static_cast<size_t>(n);
    size_t shown = msg.size < max_data ? msg.size : max_data;
    if (shown > kJmsgMaxData)
        shown = kJmsgMaxData;
    for (size_t i = 0; i < shown && len + 3 < capacity; ++i)
        len += static_cast<size_t>(std::snprintf(out + len, capacity - len, " %02X", msg.data[i]));
    if (len >= capacity)
        len = capacity - 1;
    return len;
}

}  // namespace tenq
