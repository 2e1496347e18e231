// rings.cpp - storage and appending of the receive rings.
// Owns: CANBuffer, ISO15765Buffer, MSCANBuffer, MSISO15765Buffer, ISO9141Buffer.
#include "passthru/link/rings.h"

#include "passthru/channels.h"
#include "passthru/debug.h"

namespace tenq {

namespace {
JMSG can_entries[kBusRingCapacity];
JMSG iso15765_entries[kBusRingCapacity];
JMSG mscan_entries[kBusRingCapacity];
JMSG msiso15765_entries[kBusRingCapacity];
JMSG iso9141_entries[kKLineRingCapacity];
}  // namespace

// The ISO 15765 rings always report an overflow; the others only while a
// channel that reads them is connected, since nobody reads them otherwise.
// The K-line ring serves both K-line channels, so either one counts.
RxRing CANBuffer{can_entries,           kBusRingCapacity, 0, 0, 0, 0, 0,
                 "CAN buffer overflow", ChannelBit(5)};
RxRing ISO15765Buffer{
    iso15765_entries, kBusRingCapacity, 0, 0, 0, 0, 0, "ISO15765 buffer overflow", 0};
RxRing MSCANBuffer{mscan_entries,           kBusRingCapacity, 0, 0, 0, 0, 0,
                   "MSCAN buffer overflow", ChannelBit(11)};
RxRing MSISO15765Buffer{
    msiso15765_entries, kBusRingCapacity, 0, 0, 0, 0, 0, "MSISO15765 buffer overflow", 0};
RxRing ISO9141Buffer{iso9141_entries,           kKLineRingCapacity,           0, 0, 0, 0, 0,
                     "ISO9141 buffer overflow", ChannelBit(3) | ChannelBit(4)};

void RingAppend(RxRing &ring, const JMSG &msg)
{
    if (ring.Count >= ring.Capacity) {
        const bool read = ring.LineChannels == 0 || (ChannelStatus & ring.LineChannels) != 0;
        if (ring.Overflow == 0 && read) {
            DbgMsg(DBG_ERROR, ring.OverflowText);
            ring.Overflow = 1;
        }
        return;
    }
    ring.Entries[ring.HeadIndex] = msg;
    ring.HeadIndex = (ring.HeadIndex + 1) % ring.Capacity;
    ++ring.Count;
}

void RingReset(RxRing &ring)
{
    ring.Count = 0;
    ring.HeadIndex = 0;
    ring.TailIndex = 0;
}

}  // namespace tenq
