/*
 * frame_codec.h - frames to and from the wire bytes, cutting the adapter's
 * byte stream into frames, and the hex dump of a frame for the debug channel.
 *
 * The stream carries no synchronisation: the cutter trusts each `size` byte.
 * It never looks past the bytes it holds, so a remainder shorter than a
 * header (even a lone byte) simply waits for more.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "passthru/link/jmsg.h"

namespace tenq {

// Calls `visit(std::span<const uint8_t> wire)` for every complete frame at the
// front of `stream`, in order, and returns the number of bytes they cover.
// A frame whose `size` exceeds the record's 68 data bytes is still visited
// with its full length on the wire; the visitor decides what to do with it.
template <typename Visit> size_t CutFrames(std::span<const uint8_t> stream, Visit &&visit)
{
    size_t pos = 0;
    while (stream.size() - pos >= kJmsgHeaderSize) {
        const size_t length = kJmsgHeaderSize + stream[pos + 1];
        if (stream.size() - pos < length)
            break;
        visit(stream.subspan(pos, length));
        pos += length;
    }
    return pos;
}

// True when the wire frame fits a JMSG record.
inline bool JmsgFits(std::span<const uint8_t> wire)
{
    return wire.size() >= kJmsgHeaderSize && wire[1] <= kJmsgMaxData &&
           wire.size() == kJmsgHeaderSize + wire[1];
}

// Copy a wire frame that fits (JmsgFits) into a record; the unused data
// bytes are zeroed.
void JmsgFromWire(std::span<const uint8_t> wire, JMSG &msg);

// The mirror image: a record of at most 68 data bytes into `wire`, which
// must hold its header and data.  Returns the bytes written.
size_t JmsgToWire(const JMSG &msg, std::span<uint8_t> wire);

// Header of a command frame {0, size, dev, op, flags, type, 0, 0, 0, 0}.
void JmsgSetHeader(JMSG &msg, uint8_t dev, uint8_t op, uint8_t type, uint8_t flags, uint8_t size);

// The dump "%02X ... (%02X%02X%02X%02X)" and " %02X" for each of at most
// `max_data` data bytes, cut to fit `capacity` and always terminated.
// Returns the length written.
size_t FormatJmsgDump(const JMSG &msg, size_t max_data, char *out, size_t capacity);

}  // namespace tenq
