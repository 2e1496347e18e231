// write_frames.cpp - CAN and K-line data frames, and the data frame header.
// Touches no global state.
#include "passthru/transmit/write_frames.h"

#include <cstring>

#include "passthru/link/byteorder.h"
#include "passthru/link/frame_codec.h"

namespace tenq {

void TxFrameHeader(JMSG &frame, uint8_t dev, uint8_t flags, uint8_t size, uint32_t timeout_ms)
{
    JmsgSetHeader(frame, dev, JMSG_DEV_WRITE, JMSG_TYPE_DATA, flags, size);
    put_le32(frame.timestamp, timeout_ms);
}

bool CanTxFits(const PASSTHRU_MSG &msg)
{
    const uint32_t most = (msg.TxFlags & CAN_29BIT_ID) != 0 ? kCanMaxDataSize29 : kCanMaxDataSize11;
    return msg.DataSize >= kCanIdBytes && msg.DataSize <= most;
}

void CanTxFrame(const PASSTHRU_MSG &msg, uint8_t dev, uint32_t timeout_ms, JMSG &frame)
{
    const uint32_t skip = (msg.TxFlags & CAN_29BIT_ID) != 0 ? 0 : kCanIdBytes - kCan11BitIdBytes;
    const uint32_t size = msg.DataSize - skip;
    TxFrameHeader(frame, dev, CanFrameFlags(msg.TxFlags), static_cast<uint8_t>(size), timeout_ms);
    std::memcpy(frame.data, msg.Data + skip, size);
}

bool KLineTxFits(const PASSTHRU_MSG &msg)
{
    return msg.DataSize <= kKLineMaxDataSize;
}

bool KLineTxPiece(const PASSTHRU_MSG &msg, uint32_t &offset, uint32_t timeout_ms, JMSG &frame)
{
    // The remainder is counted here, never in the caller's DataSize: the
    // record must come back unchanged even when the call ends between pieces.
    const uint32_t left = msg.DataSize - offset;
    // Only 69 bytes or more need a further piece: a remainder of exactly 68
    // is the last piece, unflagged.
    const bool last = left <= kKLinePiece;
    const uint32_t size = last ? left : kKLinePiece;
    TxFrameHeader(frame, JMSG_ISO9141, last ? 0 : JMSG_FLAG_MORE, static_cast<uint8_t>(size),
                  timeout_ms);
    std::memcpy(frame.data, msg.Data + offset, size);
    offset += size;
    return last;
}

}  // namespace tenq
