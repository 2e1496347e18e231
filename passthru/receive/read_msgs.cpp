// read_msgs.cpp - PassThruReadMsgs: the read loop, its time limits and results.
// Takes frames from the receive rings (tail side only) and clears their
// overflow flags; the records themselves are built by can_rx, kline_rx and
// iso15765_rx.
#include <algorithm>
#include <cstdint>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/receive/can_rx.h"
#include "passthru/receive/iso15765_rx.h"
#include "passthru/receive/kline_rx.h"
#include "passthru/receive/rx_records.h"
#include "platform/ticks.h"

namespace tenq {

namespace {

// Extra time a read waits while a K-line message is under way, so that its
// last piece is not cut off by a short time-out.
constexpr uint32_t kMessageUnderWayMs = 5000;

// Longest wait for the adapter's next bytes between two polls.  A wait ends
// as soon as bytes arrive, so it costs no latency, and never outlasts the
// call's time limit; it spares an idle caller the wake-up every millisecond
// that the serial read's own time-out would cost.
constexpr uint32_t kIdleWaitMs = 20;

// Takes frames, oldest first, while the ring has any and the array has room.
// Every frame taken leaves the ring, whether or not it yields a record.
void drain(const ChannelInfo &ch, ReadTarget &out)
{
    RxRing &ring = *ch.ring;
    while (ring.Count != 0 && out.has_room()) {
        const JMSG &frame = ring.Entries[ring.TailIndex];
        switch (ch.kind) {
        case ChannelKind::KLine: KLineReceiveFrame(ch.id, frame, out); break;
        case ChannelKind::Can: CanReceiveFrame(ch.id, ring.Flags, frame, out); break;
        case ChannelKind::Iso15765: Iso15765ReceiveFrame(*ch.iso_rx, ring.Flags, frame, out); break;
        }
        ring.TailIndex = (ring.TailIndex + 1) % ring.Capacity;
        --ring.Count;
    }
}

uint32_t time_limit(uint32_t Timeout, bool message_under_way)
{
    if (!message_under_way)
        return Timeout;
    // Saturated: a wrapped sum would end a long wait early.
    return Timeout > UINT32_MAX - kMessageUnderWayMs ? UINT32_MAX : Timeout + kMessageUnderWayMs;
}

// How long to wait for input before the next poll: no longer than until the
// time limit has passed (`ElapsedTime` has not passed it yet).
uint32_t idle_wait(uint32_t limit, uint32_t ElapsedTime)
{
    return static_cast<uint32_t>(
        std::min<uint64_t>(kIdleWaitMs, uint64_t{limit} - ElapsedTime + 1));
}

int32_t ReadMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs, uint32_t Timeout)
{
    const uint32_t StartTime = platform::tick_count();
    ReadTarget out{pMsg, *pNumMsgs, 0};
    // A caller that has no room gave no record to write into.
    if (out.has_room())
        pMsg[0].DataSize = 0;
    const ChannelInfo *ch = FindChannel(ChannelID);
    int32_t Status = STATUS_NOERROR;
    bool fReceiveMsgs = false;

    while (out.has_room() && Status == STATUS_NOERROR) {
        if (ch == nullptr) {
            *pNumMsgs = 0;
            DbgMsg(DBG_ERROR, "PassThruReadMsgs invalid channel ID");
            return ERR_INVALID_CHANNEL_ID;
        }
        drain(*ch, out);
        // A lost frame is reported with the first records that reach the
        // application after it; until then the flag stays pending, so that
        // no call that delivers nothing can swallow it.
        if (ch->ring->Overflow != 0 && out.delivered != 0) {
            ch->ring->Overflow = 0;
            Status = ERR_BUFFER_OVERFLOW;
            break;
        }
        if (!out.has_room())
            break;
        const uint32_t ElapsedTime = platform::tick_count() - StartTime;
        const uint32_t limit = time_limit(Timeout, out.current().DataSize != 0);
        if (ElapsedTime > limit)
            Status = ERR_TIMEOUT;
        // The adapter is polled at least once per call, also with Timeout 0.
        if (Status == STATUS_NOERROR || (out.delivered == 0 && !fReceiveMsgs)) {
            if (!fReceiveMsgs || JmsgWaitInput(idle_wait(limit, ElapsedTime)))
                JmsgReceiveMsgs();
            Status = STATUS_NOERROR;
            fReceiveMsgs = true;
        }
    }

    if (out.delivered != 0)
        DbgPrintf(DBG_API, "PassThruReadMsgs(%ld, pMsg, %ld, %ld) returned %ld msgs",
                  static_cast<long>(ChannelID), static_cast<long>(*pNumMsgs),
                  static_cast<long>(Timeout), static_cast<long>(out.delivered));
    else
        Status = ERR_BUFFER_EMPTY;
    if (Timeout == 0 && Status == ERR_TIMEOUT)
        Status = STATUS_NOERROR;
    *pNumMsgs = out.delivered;
    return Status;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruReadMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                    uint32_t Timeout)
{
    return Guarded(__func__, [&] {
        if (int32_t rc =
                CheckEntry({"PassThruReadMsgs"}, ChannelID, pMsg != nullptr && pNumMsgs != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_READ, "PassThruReadMsgs(%ld, pMsg, %ld, %ld)", static_cast<long>(ChannelID),
                  static_cast<long>(*pNumMsgs), static_cast<long>(Timeout));
        return ReadMsgs(ChannelID, pMsg, pNumMsgs, Timeout);
    });
}
