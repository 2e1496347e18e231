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

#include "j2534.h"
#include "passthru/debug.h"
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

// One request answered through the slot: mark it, send, await the reply.
// A failed send writes "<who>: JmsgSendMsgs returned <rc>" (JmsgSendCmd for
// a command); a reply with the error flag, or none, writes `failed`.  Both
// give ERR_FAILED.  With `failed` nullptr the reply is awaited, so that it
// cannot answer a later request's wait, but its outcome does not count.
inline int32_t AwaitAnswer(int32_t sent, const char *send_name, const char *who, const char *failed)
{
    if (sent != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "%s: %s returned %ld", who, send_name, static_cast<long>(sent));
        return ERR_FAILED;
    }
    if (!AwaitMemReply() && failed != nullptr) {
        DbgMsg(DBG_ERROR, failed);
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

inline int32_t MemRequestMsgs(const JMSG *frames, uint32_t count, const char *who,
                              const char *failed)
{
    MarkMemWaiting();
    return AwaitAnswer(JmsgSendMsgs(frames, count, 0), "JmsgSendMsgs", who, failed);
}

inline int32_t MemRequestCmd(uint8_t device, uint8_t op, uint8_t flags, uint32_t size,
                             const void *data, const char *who, const char *failed)
{
    MarkMemWaiting();
    return AwaitAnswer(JmsgSendCmd(device, op, JMSG_TYPE_PLAIN, flags, size, data, 0),
                       "JmsgSendCmd", who, failed);
}

}  // namespace tenq
