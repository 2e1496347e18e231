// kline_rx.cpp - K-line records.
// Owns the key bytes and the state of a message being discarded; reads the
// filter table and ISO9141NoChecksum.
#include "passthru/receive/kline_rx.h"

#include <cstring>

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/filter_table.h"

namespace tenq {

uint8_t ISO9141Keyword1 = 0;
uint8_t ISO9141Keyword2 = 0;
uint8_t ISO9141Address = 0;

namespace {

// Set when a message outgrew the record: its remaining pieces are dropped up
// to its last one, so that its tail never shows up as a message of its own.
bool discarding;

uint8_t data_byte(const JMSG &frame, uint32_t i)
{
    return i < frame.size && i < kJmsgMaxData ? frame.data[i] : 0;
}

// Any used K-line slot decides, whatever its filter type; with none, all pass.
// Bytes the mask covers beyond the message count as 0, as they do for frames.
bool passes_kline_filters(const PASSTHRU_MSG &msg)
{
    bool any = false;
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        const JMSG &mask = jmsg_filter_mask_msg[slot];
        if (mask.size == 0 || mask.dev != JMSG_ISO9141)
            continue;
        any = true;
        const JMSG &pattern = jmsg_filter_pattern_msg[slot];
        bool match = true;
        for (uint32_t i = 0; i < mask.size && i < kJmsgMaxData && match; ++i) {
            const uint8_t byte = i < msg.DataSize ? msg.Data[i] : 0;
            match = (byte & mask.data[i]) == pattern.data[i];
        }
        if (match)
            return true;
    }
    return !any;
}

// Takes the checksum byte off the message; false when it does not match.
bool strip_checksum(PASSTHRU_MSG &msg)
{
    msg.DataSize -= 1;
    uint8_t IsoChecksum = 0;
    for (uint32_t i = 0; i < msg.DataSize; ++i)
        IsoChecksum = static_cast<uint8_t>(IsoChecksum + msg.Data[i]);
    return IsoChecksum == msg.Data[msg.DataSize];
}

void start_indication(uint32_t ChannelID, const JMSG &frame, ReadTarget &out)
{
    discarding = false;
#ifdef TENQ_OLD_API
    (void)ChannelID;
    (void)frame;
    (void)out;
#else
    PASSTHRU_MSG &msg = out.current();
    msg.ProtocolID = ChannelID;
    msg.RxStatus = START_OF_MESSAGE;
    msg.TxFlags = 0;
    msg.Timestamp = RecordTimestamp(frame);
    msg.DataSize = 0;
    msg.ExtraDataIndex = 0;
    out.deliver();
#endif
}

void end_of_message(ReadTarget &out)
{
    PASSTHRU_MSG &msg = out.current();
    if (passes_kline_filters(msg)) {
        if (msg.DataSize != 0 && ISO9141NoChecksum == 0 && !strip_checksum(msg)) {
            DbgMsg(DBG_ERROR, "ISO9141/14230 Bad RX checksum");
            msg.DataSize = 0;
        }
        msg.ExtraDataIndex = msg.DataSize;
        if (msg.DataSize != 0) {
            out.deliver();
            return;
        }
    }
    msg.DataSize = 0;
}

}  // namespace

void KLineClearKeyBytes()
{
    ISO9141Keyword1 = 0;
    ISO9141Keyword2 = 0;
    ISO9141Address = 0;
}

void KLineResetReception()
{
    discarding = false;
}

void KLineReceiveFrame(uint32_t ChannelID, const JMSG &frame, ReadTarget &out)
{
    if (frame.flags & kKLineFlagKeyBytes) {
        ISO9141Keyword1 = data_byte(frame, 0);
        ISO9141Keyword2 = data_byte(frame, 1);
        ISO9141Address = data_byte(frame, 2);
        return;
    }
    if (frame.flags & kKLineFlagStart) {
        start_indication(ChannelID, frame, out);
        return;
    }

    const uint32_t size = frame.size <= kJmsgMaxData ? frame.size : kJmsgMaxData;
    const bool last_piece = size != kKLinePieceSize;
    PASSTHRU_MSG &msg = out.current();
    if (discarding) {
        discarding = !last_piece;
        return;
    }
    if (msg.DataSize > PASSTHRU_MSG_DATA_SIZE - size) {
        DbgMsg(DBG_ERROR, "ISO9141/14230 RX message too long");
        msg.DataSize = 0;
        discarding = !last_piece;
        return;
    }
    msg.ProtocolID = ChannelID;
    msg.RxStatus = frame.type == JMSG_TYPE_DATA ? TX_MSG_TYPE : 0;
    msg.TxFlags = 0;
    msg.Timestamp = RecordTimestamp(frame);
    std::memcpy(msg.Data + msg.DataSize, frame.data, size);
    msg.DataSize += size;
    if (!last_piece)
        return;
    end_of_message(out);
}

}  // namespace tenq
