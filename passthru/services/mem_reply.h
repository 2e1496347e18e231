/*
 * mem_reply.h - waiting for the adapter's memory device (0xE0).
 *
 * SD-card file steps, memory requests and the security relay are all
 * answered through the memory reply slot (MemStatus, MemSize, MemData), one
 * reply per request or per batch.  The slot is marked before the request is
 * sent, so a reply can never be missed between the send and the wait.
 */
#pragma once

#include <cstdint>

#include "passthru/link/link.h"

namespace tenq {

inline void MarkMemWaiting()
{
    MemStatus = kMemWaiting;
}

// Polls until the memory reply arrives or more than 14999 ms have passed.
// True for a reply without the error flag.
inline bool AwaitMemReply()
{
    JmsgWaitReply([] { return MemStatus != kMemWaiting; });
    return MemStatus == kMemReceived;
}

}  // namespace tenq
