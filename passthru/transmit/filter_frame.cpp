// filter_frame.cpp - building the mask, pattern and flow frames of a filter.
// No state.
#include <cstring>

#include "passthru/channels.h"
#include "passthru/filter_table.h"
#include "passthru/transmit/filter_frame.h"
#include "passthru/transmit/tx_frame.h"

namespace tenq {

int32_t BuildFilterFrame(uint32_t ChannelID, uint8_t slot, uint8_t type, const PASSTHRU_MSG &msg,
                         const FlowControlBytes *flow, JMSG &frame)
{
    const uint8_t dev = ChannelDevice(ChannelID);
    if (dev == 0)
        return ERR_INVALID_CHANNEL_ID;
    EmptyWriteFrame(frame, slot, dev, type);
    // Beyond the record there is nothing to read, and the sums below stay small.
    if (msg.DataSize > PASSTHRU_MSG_DATA_SIZE)
        return ERR_INVALID_MSG;

    const bool kline = dev == JMSG_ISO9141;
    if (!kline && msg.DataSize < kCanIdBytes)
        return ERR_INVALID_MSG;
    const uint32_t skip =
        (kline || (msg.TxFlags & CAN_29BIT_ID)) ? 0 : kCanIdBytes - kCan11BitIdBytes;

    // The bytes as they stand in the message, flow-control bytes and padding
    // included; padding counts what follows the four identifier bytes.
    uint32_t total = msg.DataSize;
    if (flow != nullptr) {
        total += kFlowFramePciBytes;
        if ((msg.TxFlags & ISO15765_FRAME_PAD) && total >= kCanIdBytes)
            total = kCanIdBytes + PaddedLength(total - kCanIdBytes, flow->pad_target);
    }
    if (total - skip > kJmsgMaxData)
        return ERR_INVALID_MSG;

    uint8_t bytes[kJmsgMaxData + kCanIdBytes];
    std::memcpy(bytes, msg.Data, msg.DataSize);
    if (flow != nullptr) {
        uint8_t *p = bytes + msg.DataSize;
        *p++ = kFlowControlPci;
        *p++ = flow->block_size;
        *p++ = flow->separation_time;
        const uint32_t unpadded = msg.DataSize + kFlowFramePciBytes;
        std::memset(p, flow->pad_value, total - unpadded);
    }
    frame.size = static_cast<uint8_t>(total - skip);
    std::memcpy(frame.data, bytes + skip, frame.size);
    frame.flags = kline ? 0 : CanFrameFlags(msg.TxFlags);
    return STATUS_NOERROR;
}

}  // namespace tenq
