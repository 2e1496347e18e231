// tx_frame.cpp - frame flags and ISO 15765 padding of prepared frames.
// Writes iso15765_tx_data_length of a setup block (KeepPadTargetLength).
#include "passthru/transmit/tx_frame.h"

#include <cstring>

#include "passthru/receive/can_fd.h"

namespace tenq {

void EmptyWriteFrame(JMSG &frame, uint8_t slot, uint8_t dev, uint8_t type)
{
    std::memset(&frame, 0, sizeof frame);
    frame.id = slot;
    frame.dev = dev;
    frame.op = JMSG_DEV_WRITE;
    frame.type = type;
}

uint8_t CanFrameFlags(uint32_t TxFlags)
{
    uint8_t flags = 0;
    if (TxFlags & CAN_29BIT_ID)
        flags |= JMSG_FLAG_29BIT;
    if (TxFlags & CAN_FD_FRAME) {
        flags |= JMSG_FLAG_FD;
        // A bit-rate switch means nothing on a classic frame.
        if (TxFlags & CAN_FD_BRS)
            flags |= JMSG_FLAG_BRS;
    }
    return flags;
}

uint32_t PaddedLength(uint32_t behind_id, uint32_t tx_data_length)
{
    while (behind_id < tx_data_length && !can_fd_valid_data_length(behind_id))
        ++behind_id;
    return behind_id;
}

namespace {
bool takes_length_from_msg(const PASSTHRU_MSG &msg)
{
    return (msg.TxFlags & ISO15765_FRAME_PAD) && (msg.TxFlags & FD_TX_LENGTH_IN_MSG);
}
}  // namespace

uint8_t PadTargetLength(const CAN_SETUP &setup, const PASSTHRU_MSG &msg)
{
    if (takes_length_from_msg(msg))
        return static_cast<uint8_t>(msg.ExtraDataIndex);
    return setup.iso15765_tx_data_length;
}

void KeepPadTargetLength(CAN_SETUP &setup, const PASSTHRU_MSG &msg)
{
    if (takes_length_from_msg(msg))
        setup.iso15765_tx_data_length = static_cast<uint8_t>(msg.ExtraDataIndex);
}

}  // namespace tenq
