// rx_clear.cpp - the receive clear.  Resets the count, head and tail of one
// receive ring and the K-line reception; sends the clear frame.
#include "passthru/receive/rx_clear.h"

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/receive/kline_rx.h"

namespace tenq {

int32_t ClearRxBuffer(uint32_t ChannelID)
{
    DbgMsg(DBG_API, "  CLEAR_RX_BUFFER");
    JmsgReceiveMsgs();
    const ChannelInfo *ch = FindChannel(ChannelID);
    if (ch == nullptr) {
        DbgMsg(DBG_ERROR, "Invalid channel ID for CLEAR_RX_BUFFER");
        return ERR_INVALID_CHANNEL_ID;
    }
    const bool kline = ch->kind == ChannelKind::KLine;
    if (!kline) {
        const int32_t rc = JmsgSendCmd(ch->unit, JMSG_DEV_START, JMSG_TYPE_CLEAR, 0, 0, nullptr, 0);
        if (rc != 0)
            DbgPrintf(DBG_ERROR, "PassThruIoctl: JmsgSendCmd returned %ld", static_cast<long>(rc));
    }
    JmsgReceiveMsgs();
    RingReset(*ch->ring);
    if (kline)
        KLineResetReception();
    return STATUS_NOERROR;
}

}  // namespace tenq
