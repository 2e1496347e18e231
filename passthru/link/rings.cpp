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

// clang-format off
RxRing CANBuffer{can_entries, kBusRingCapacity, 0, 0, 0, 0, 0, "CAN buffer overflow", false};
RxRing ISO15765Buffer{iso15765_entries, kBusRingCapacity, 0, 0, 0, 0, 0,
                      "ISO15765 buffer overflow", true};
RxRing MSCANBuffer{mscan_entries, kBusRingCapacity, 0, 0, 0, 0, 0, "MSCAN buffer overflow", false};
RxRing MSISO15765Buffer{msiso15765_entries, kBusRingCapacity, 0, 0, 0, 0, 0,
                        "MSISO15765 buffer overflow", true};
RxRing ISO9141Buffer{iso9141_entries, kKLineRingCapacity, 0, 0, 0, 0, 0,
                     "ISO9141 buffer overflow", false};
// clang-format on

void RingAppend(RxRing &ring, const JMSG &msg)
{
    if (ring.Count >= ring.Capacity) {
        if (ring.Overflow == 0 && (ring.ReportAlways || RingReaderConnected(ring))) {
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
