// iso15765_tx.cpp - the ISO 15765 transmit state machine: one handler per
// frame kind, each checking its state first.  Touches no global state.
#include "passthru/transmit/iso15765_tx.h"

#include <algorithm>
#include <cstring>

#include "passthru/transmit/tx_frame.h"
#include "passthru/transmit/write_frames.h"

namespace tenq {

namespace {

uint32_t payload_size(const Iso15765Tx &tx)
{
    return tx.msg->DataSize - kCanIdBytes - tx.addr_bytes;
}

uint32_t frame_timeout(const Iso15765Tx &tx)
{
    return std::max(tx.timeout_ms, kSegmentTimeoutFloorMs);
}

// Header and the identifier and address bytes every frame begins with;
// returns where the PCI byte goes.
uint8_t begin_frame(const Iso15765Tx &tx, JMSG &frame, uint32_t timeout_ms)
{
    TxFrameHeader(frame, tx.dev, tx.flags, 0, timeout_ms);
    const uint8_t head = static_cast<uint8_t>(tx.id_bytes + tx.addr_bytes);
    std::memcpy(frame.data, tx.msg->Data + kCanIdBytes - tx.id_bytes, head);
    return head;
}

// Pads up to the next length a CAN frame can have, L at most.  The
// extended-address byte counts as data here: it travels in the CAN payload.
void pad_frame(const Iso15765Tx &tx, JMSG &frame)
{
    if (!tx.pad)
        return;
    const uint32_t padded = tx.id_bytes + PaddedLength(frame.size - tx.id_bytes, tx.tx_dl);
    std::memset(frame.data + frame.size, tx.pad_value, padded - frame.size);
    frame.size = static_cast<uint8_t>(padded);
}

bool is_single_frame(const PASSTHRU_MSG &msg, uint32_t tx_dl)
{
    return msg.DataSize <= tx_dl + 3 &&
           (msg.DataSize <= kIsoTpFdEscapeLimit || msg.DataSize <= tx_dl + 2);
}

IsoTxFrame send_sf(Iso15765Tx &tx, JMSG &frame)
{
    if (tx.state != IsoTxState::Ready)
        return IsoTxFrame::None;
    const uint32_t p = payload_size(tx);
    uint8_t pos = begin_frame(tx, frame, tx.timeout_ms);
    if (tx.msg->DataSize <= kIsoTpShortSfMax) {
        frame.data[pos++] = static_cast<uint8_t>(N_PCI_SF | p);
    } else {
        // CAN FD escape form: a zero PCI nibble, the length in the next byte.
        frame.data[pos++] = N_PCI_SF;
        frame.data[pos++] = static_cast<uint8_t>(p);
    }
    std::memcpy(frame.data + pos, tx.msg->Data + kCanIdBytes + tx.addr_bytes, p);
    frame.size = static_cast<uint8_t>(pos + p);
    pad_frame(tx, frame);
    tx.state = IsoTxState::Idle;
    tx.msg = nullptr;
    return IsoTxFrame::Single;
}

IsoTxFrame send_ff(Iso15765Tx &tx, JMSG &frame)
{
    if (tx.state != IsoTxState::Ready)
        return IsoTxFrame::None;
    const uint32_t p = payload_size(tx);
    uint8_t pos = begin_frame(tx, frame, frame_timeout(tx));
    frame.data[pos++] = static_cast<uint8_t>(N_PCI_FF | ((p >> 8) & 0x0F));
    frame.data[pos++] = static_cast<uint8_t>(p);
    const uint32_t carried = tx.tx_dl - tx.addr_bytes - 2u;
    std::memcpy(frame.data + pos, tx.msg->Data + kCanIdBytes + tx.addr_bytes, carried);
    frame.size = static_cast<uint8_t>(pos + carried);
    // A first frame is always full, so padding never adds to it.
    tx.data_index = kCanIdBytes + tx.addr_bytes + carried;
    tx.sn = kFirstConsecutivePci;
    tx.state = IsoTxState::Sending;
    return IsoTxFrame::First;
}

IsoTxFrame send_cf(Iso15765Tx &tx, JMSG &frame)
{
    if (tx.state != IsoTxState::Sending)
        return IsoTxFrame::None;
    uint8_t pos = begin_frame(tx, frame, frame_timeout(tx));
    frame.data[pos++] = tx.sn;
    tx.sn = static_cast<uint8_t>(N_PCI_CF | ((tx.sn + 1) & N_PCI_SN_MASK));
    const uint32_t room = tx.tx_dl - tx.addr_bytes - 1u;
    const uint32_t left = tx.msg->DataSize - tx.data_index;
    // Copy only what the message holds: reading `room` bytes from the last
    // position could run past the caller's record.
    const uint32_t carried = std::min(room, left);
    std::memcpy(frame.data + pos, tx.msg->Data + tx.data_index, carried);
    frame.size = static_cast<uint8_t>(pos + carried);
    tx.data_index += carried;
    if (tx.data_index < tx.msg->DataSize)
        return IsoTxFrame::Consecutive;
    frame.flags |= JMSG_FLAG_LAST_CF;
    pad_frame(tx, frame);
    tx.state = IsoTxState::Terminating;
    return IsoTxFrame::LastConsecutive;
}

IsoTxFrame send_end(Iso15765Tx &tx, JMSG &frame)
{
    if (tx.state != IsoTxState::Terminating)
        return IsoTxFrame::None;
    TxFrameHeader(frame, tx.dev, JMSG_FLAG_END, 0, 0);
    frame.type = JMSG_TYPE_PLAIN;
    tx.state = IsoTxState::Idle;
    tx.msg = nullptr;
    return IsoTxFrame::Terminating;
}

}  // namespace

uint32_t Iso15765TxDataLength(const PASSTHRU_MSG &msg, uint32_t channel_length)
{
    if ((msg.TxFlags & CAN_FD_FRAME) == 0)
        return kIsoTpClassicLength;
    if ((msg.TxFlags & FD_TX_LENGTH_IN_MSG) != 0)
        return msg.ExtraDataIndex;
    return channel_length;
}

bool Iso15765TxFits(const PASSTHRU_MSG &msg, uint32_t tx_dl)
{
    const uint32_t addr = (msg.TxFlags & ISO15765_ADDR_TYPE) != 0 ? 1 : 0;
    if (tx_dl < kIsoTpClassicLength || tx_dl > kIsoTpMaxFdLength)
        return false;
    if (msg.DataSize < kCanIdBytes + addr || msg.DataSize > PASSTHRU_MSG_DATA_SIZE)
        return false;
    return msg.DataSize - kCanIdBytes - addr <= kIsoTpMaxPayload;
}

void Iso15765TxStart(Iso15765Tx &tx, const PASSTHRU_MSG &msg, uint8_t dev, uint8_t tx_dl,
                     uint8_t pad_value, uint32_t timeout_ms)
{
    tx = Iso15765Tx{};
    tx.msg = &msg;
    tx.dev = dev;
    tx.flags = CanFrameFlags(msg.TxFlags);
    tx.id_bytes =
        static_cast<uint8_t>((msg.TxFlags & CAN_29BIT_ID) != 0 ? kCanIdBytes : kCan11BitIdBytes);
    if ((msg.TxFlags & ISO15765_ADDR_TYPE) != 0) {
        tx.flags |= JMSG_FLAG_EXT_ADDR;
        tx.addr_bytes = 1;
    }
    tx.tx_dl = tx_dl;
    tx.pad_value = pad_value;
    tx.pad = (msg.TxFlags & ISO15765_FRAME_PAD) != 0;
    tx.timeout_ms = timeout_ms;
    tx.state = IsoTxState::Ready;
}

IsoTxFrame Iso15765TxNext(Iso15765Tx &tx, JMSG &frame)
{
    switch (tx.state) {
    case IsoTxState::Idle: return IsoTxFrame::None;
    case IsoTxState::Ready:
        return is_single_frame(*tx.msg, tx.tx_dl) ? send_sf(tx, frame) : send_ff(tx, frame);
    case IsoTxState::Sending: return send_cf(tx, frame);
    case IsoTxState::Terminating: return send_end(tx, frame);
    }
    return IsoTxFrame::None;
}

}  // namespace tenq
