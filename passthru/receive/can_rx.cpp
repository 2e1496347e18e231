// can_rx.cpp - CAN records.  Writes only the caller's records.
#include "passthru/receive/can_rx.h"

#include <cstring>

namespace tenq {

namespace {
constexpr uint8_t kBusErrorIdByte = 0xFE;  // stands for the identifier of a bus error frame
}

void BuildCanRecord(const JMSG &frame, uint32_t ProtocolID, bool fd_bits, PASSTHRU_MSG &msg)
{
    const uint32_t size = frame.size <= kJmsgMaxData ? frame.size : kJmsgMaxData;
    msg.ProtocolID = ProtocolID;
    msg.TxFlags = 0;
    msg.Timestamp = RecordTimestamp(frame);
    if (frame.flags & kCanFlag29Bit) {
        msg.RxStatus = CAN_29BIT_ID;
        std::memcpy(msg.Data, frame.data, size);
        msg.DataSize = size;
    } else {
        msg.RxStatus = 0;
        msg.Data[0] = 0;
        msg.Data[1] = 0;
        std::memcpy(msg.Data + 2, frame.data, size);
        msg.DataSize = size + 2;
    }
    if (frame.type == JMSG_TYPE_DATA)
        msg.RxStatus |= TX_MSG_TYPE;
    if (fd_bits && (frame.flags & kCanFlagFd))
        msg.RxStatus |= CAN_FD_FRAME;
    if (fd_bits && (frame.flags & kCanFlagBrs))
        msg.RxStatus |= CAN_FD_BRS;
    if (frame.flags & kCanFlagBusError) {
        msg.RxStatus |= BUS_ERROR_FRAME;
        std::memset(msg.Data, kBusErrorIdByte, kCanIdBytes);
    }
    msg.ExtraDataIndex = msg.DataSize;
}

void CanReceiveFrame(uint32_t ChannelID, uint32_t connect_flags, const JMSG &frame, ReadTarget &out)
{
    if (!IdFormatAccepted(connect_flags, frame))
        return;
    BuildCanRecord(frame, ChannelID, true, out.current());
    out.deliver();
}

}  // namespace tenq
