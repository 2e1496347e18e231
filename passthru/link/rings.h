/*
 * rings.h - the receive rings, one per channel family.
 *
 * The dispatch of the device link appends; PassThruReadMsgs takes from the
 * tail.  A full ring drops the new frame and raises its overflow flag once,
 * which the reader reports and clears.
 */
#pragma once

#include <cstdint>

#include "passthru/link/jmsg.h"

namespace tenq {

constexpr uint32_t kBusRingCapacity = 4096;   // CAN and ISO 15765 rings
constexpr uint32_t kKLineRingCapacity = 256;  // K-line ring

struct RxRing {
    JMSG *Entries;
    uint32_t Capacity;
    uint32_t Count;      // records held
    uint32_t HeadIndex;  // next slot to write
    uint32_t TailIndex;  // next slot to read
    uint32_t Overflow;   // a frame was lost since the reader last reported it
    uint32_t Flags;      // the channel's Connect flags
    const char *OverflowText;
    // The ISO 15765 rings report an overflow always; the others only while a
    // channel that reads them is connected (either K-line channel for the
    // K-line ring), since nobody reads them otherwise.
    bool ReportAlways;
};

extern RxRing CANBuffer;
extern RxRing ISO15765Buffer;
extern RxRing MSCANBuffer;
extern RxRing MSISO15765Buffer;
extern RxRing ISO9141Buffer;

// Append a copy of `msg`; a full ring drops it (see above).
void RingAppend(RxRing &ring, const JMSG &msg);

// Empty the ring; its overflow flag and Connect flags stay.
void RingReset(RxRing &ring);

}  // namespace tenq
