// iso15765_rx.cpp - ISO 15765 reception and reassembly.
// Owns: ConsecutivePCI, ISO15765FlowMsg, MSISO15765FlowMsg and their flow
// states.  Reads the filter table, the CAN setup blocks and the options.
#include "passthru/receive/iso15765_rx.h"

#include <cstddef>
#include <cstring>

#include "passthru/debug.h"
#include "passthru/link/byteorder.h"
#include "passthru/options.h"
#include "passthru/receive/can_rx.h"

namespace tenq {

uint8_t ConsecutivePCI[kFilterSlots];
PASSTHRU_MSG ISO15765FlowMsg[kFilterSlots];
PASSTHRU_MSG MSISO15765FlowMsg[kFilterSlots];
FlowState ISO15765FlowState[kFilterSlots];
FlowState MSISO15765FlowState[kFilterSlots];

namespace {

// Header fields of a record, ahead of Data.
constexpr size_t kRecordHeaderSize = offsetof(PASSTHRU_MSG, Data);

// A frame as the handlers see it.
struct RxFrame {
    const JMSG &frame;
    uint32_t size;     // data bytes of the frame
    int slot;          // flow slot
    uint32_t id_len;   // L: bytes ahead of the PCI byte
    uint32_t ext;      // E: 1 with an extended address byte
    uint32_t id_size;  // I: identifier bytes, 2 or 4
    uint8_t pci;
    uint32_t status;  // RxStatus every record of the frame starts from
};

// The frame's status bits that the records of a new message carry.
uint32_t message_status(const RxFrame &f)
{
    uint32_t status = f.status;
    if (f.frame.type == JMSG_TYPE_DATA)
        status |= TX_MSG_TYPE;
    if (f.frame.flags & kCanFlagFd)
        status |= CAN_FD_FRAME;
    if (f.frame.flags & kCanFlagBrs)
        status |= CAN_FD_BRS;
    return status;
}

// Data bytes 0 to 3 the identifier (an 11-bit one behind two zero bytes),
// then the extended address byte when there is one.
void put_identifier(const RxFrame &f, PASSTHRU_MSG &msg)
{
    msg.Data[0] = 0;
    msg.Data[1] = 0;
    std::memcpy(msg.Data + kCanIdBytes - f.id_size, f.frame.data, f.id_len);
}

// Hands over the bytes a record holds: its header and DataSize data bytes.
void copy_record(const PASSTHRU_MSG &from, PASSTHRU_MSG &to)
{
    std::memcpy(&to, &from, kRecordHeaderSize + from.DataSize);
}

void deliver_message(PASSTHRU_MSG &msg, ReadTarget &out)
{
    msg.ExtraDataIndex = msg.DataSize;
    out.deliver();
}

void iso_rcv_sf(const Iso15765Rx &rx, const RxFrame &f, ReadTarget &out)
{
    uint32_t header = f.id_len + 1;
    uint32_t length = f.pci & 0x0F;
    if (f.pci == N_PCI_SF) {
        // Escape form: the length follows in a byte of its own.
        if (f.size < f.id_len + 2) {
            DbgPrintf(DBG_ERROR, "%s single frame without its length byte", rx.Name);
            return;
        }
        length = f.frame.data[f.id_len + 1];
        header = f.id_len + 2;
    }
    const uint32_t carried = f.size - header;
    if (length > carried) {
        DbgPrintf(DBG_ERROR, "%s single frame shorter than its length", rx.Name);
        return;
    }
    PASSTHRU_MSG &msg = out.current();
    msg.ProtocolID = rx.ChannelID;
    msg.RxStatus = message_status(f);
    msg.TxFlags = 0;
    msg.Timestamp = RecordTimestamp(f.frame);
    put_identifier(f, msg);
    // Padding is copied too and stays behind DataSize.
    std::memcpy(msg.Data + kCanIdBytes + f.ext, f.frame.data + header, carried);
    msg.DataSize = kCanIdBytes + f.ext + length;
    deliver_message(msg, out);
}

void iso_rcv_ff(const Iso15765Rx &rx, const RxFrame &f, ReadTarget &out)
{
    if (f.size < f.id_len + 2) {
        DbgPrintf(DBG_ERROR, "%s first frame without its length", rx.Name);
        return;
    }
    uint32_t header = f.id_len + 2;
    uint64_t length = uint32_t{f.pci & 0x0Fu} << 8 | f.frame.data[f.id_len + 1];
    if (length == 0) {
        // Escape form for messages above 4095 bytes: a 32-bit length follows.
        if (f.size < f.id_len + 6) {
            DbgPrintf(DBG_ERROR, "%s first frame without its length", rx.Name);
            return;
        }
        length = get_be32(f.frame.data + f.id_len + 2);
        header = f.id_len + 6;
    }
    const uint64_t total = length + kCanIdBytes + f.ext;
    if (total > PASSTHRU_MSG_DATA_SIZE) {
        // A partial message of the slot is dropped all the same: the sender
        // has moved on, and the consecutive frames that follow belong to the
        // message refused here.
        rx.State[f.slot] = FlowState::Idle;
        DbgPrintf(DBG_ERROR, "%s first frame length %llu exceeds the message size", rx.Name,
                  static_cast<unsigned long long>(length));
        return;
    }

    ConsecutivePCI[f.slot] = kFirstConsecutivePci;
    rx.State[f.slot] = FlowState::Collecting;
    PASSTHRU_MSG &reasm = rx.FlowMsg[f.slot];
    reasm.ProtocolID = rx.ChannelID;
    reasm.RxStatus = message_status(f);
    reasm.TxFlags = 0;
    reasm.Timestamp = RecordTimestamp(f.frame);
    reasm.ExtraDataIndex = static_cast<uint32_t>(total);
    put_identifier(f, reasm);
    const uint32_t carried = f.size - header;
    std::memcpy(reasm.Data + kCanIdBytes + f.ext, f.frame.data + header, carried);
    reasm.DataSize = kCanIdBytes + f.ext + carried;

    // The start indication carries the identifier (and the first payload
    // bytes behind its DataSize).
    PASSTHRU_MSG &indication = out.current();
    copy_record(reasm, indication);
    indication.RxStatus |= START_OF_MESSAGE;
    indication.DataSize = kCanIdBytes + f.ext;
    indication.ExtraDataIndex = 0;
    out.deliver();
}

void iso_rcv_cf(const Iso15765Rx &rx, const RxFrame &f, ReadTarget &out)
{
    if (rx.State[f.slot] != FlowState::Collecting) {
        DbgPrintf(DBG_DIAG, "%s consecutive frame without a first frame dropped", rx.Name);
        return;
    }
    uint8_t &expected = ConsecutivePCI[f.slot];
    if (f.pci != expected)
        DbgMsg(DBG_ERROR, "Flow control PCI error");
    // Counted per frame received, not resynchronised from the frame: after
    // a lost frame, every later frame of the message is reported.
    expected = static_cast<uint8_t>(N_PCI_CF | ((expected + 1) & N_PCI_SN_MASK));

    PASSTHRU_MSG &reasm = rx.FlowMsg[f.slot];
    uint32_t count = f.size - f.id_len - 1;
    if (count > PASSTHRU_MSG_DATA_SIZE - reasm.DataSize)
        count = PASSTHRU_MSG_DATA_SIZE - reasm.DataSize;
    std::memcpy(reasm.Data + reasm.DataSize, f.frame.data + f.id_len + 1, count);
    reasm.DataSize += count;
    reasm.RxStatus |= f.status & ISO15765_PADDING_ERROR;
    if (reasm.DataSize < reasm.ExtraDataIndex)
        return;

    rx.State[f.slot] = FlowState::Idle;
    PASSTHRU_MSG &msg = out.current();
    copy_record(reasm, msg);
    msg.DataSize = reasm.ExtraDataIndex;
    if (last_segment_flag == 1)
        msg.Timestamp = RecordTimestamp(f.frame);
    deliver_message(msg, out);
}

void iso_rcv_fc(const RxFrame &f)
{
    ConsecutivePCI[f.slot] = kFirstConsecutivePci;
}

void iso_rcv(const Iso15765Rx &rx, RxFrame &f, ReadTarget &out)
{
    f.status = (f.frame.flags & kCanFlag29Bit) ? CAN_29BIT_ID : 0;
    if (f.size != rx.Setup->iso15765_tx_data_length + f.id_size)
        f.status |= ISO15765_PADDING_ERROR;
    switch (f.pci & N_PCI_TYPE_MASK) {
    case N_PCI_SF: iso_rcv_sf(rx, f, out); break;
    case N_PCI_FF: iso_rcv_ff(rx, f, out); break;
    case N_PCI_CF: iso_rcv_cf(rx, f, out); break;
    case N_PCI_FC: iso_rcv_fc(f); break;
    default: DbgPrintf(DBG_ERROR, "%s Bad PCI type", rx.Name); break;
    }
}

}  // namespace

const Iso15765Rx ISO15765Rx{ISO15765,         CAN, "ISO15765", &CANSetup, ISO15765FlowMsg,
                            ISO15765FlowState};
const Iso15765Rx MSISO15765Rx{
    MSISO15765, MSCAN, "MSISO15765", &MSCANSetup, MSISO15765FlowMsg, MSISO15765FlowState};

void Iso15765ReceiveFrame(const Iso15765Rx &rx, uint32_t connect_flags, const JMSG &frame,
                          ReadTarget &out)
{
    if (!IdFormatAccepted(connect_flags, frame))
        return;
    const uint32_t size = frame.size <= kJmsgMaxData ? frame.size : kJmsgMaxData;
    const int32_t FlowIndex =
        frame.type == JMSG_TYPE_DATA ? GetFirstISOFlowFilterIndex() : GetISOFlowFilterIndex(&frame);
    if (FlowIndex >= 0) {
        const uint32_t IdLength = jmsg_filter_mask_msg[FlowIndex].size;
        // A mask of another length gives no identifier layout to cut by.
        if (IdLength >= kMinIdLength && IdLength <= kMaxIdLength && IdLength < size) {
            RxFrame f{frame,
                      size,
                      FlowIndex,
                      IdLength,
                      IdLength & 1u,
                      IdLength & 6u,
                      frame.data[IdLength],
                      0};
            iso_rcv(rx, f, out);
        }
    }
    if (can_mixed_format_flag == 1 && out.has_room() && GetISOPassFilterIndex(&frame) >= 0) {
        BuildCanRecord(frame, rx.MixedProtocolID, false, out.current());
        out.deliver();
    }
}

}  // namespace tenq
