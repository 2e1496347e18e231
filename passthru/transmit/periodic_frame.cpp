// periodic_frame.cpp - building the frame of a periodic message per channel.
// Reads the channel's setup block (pad value); no other state.
#include <cstring>

#include "passthru/channels.h"
#include "passthru/link/byteorder.h"
#include "passthru/periodic_msgs.h"
#include "passthru/transmit/periodic_frame.h"
#include "passthru/transmit/tx_frame.h"

namespace tenq {

namespace {

// Up to this message size an ISO 15765 periodic message is a classic single
// frame with one PCI byte; above it the CAN FD escape form (0x00, length).
constexpr uint32_t kClassicSingleFrameMaxDataSize = 11;
constexpr uint8_t kClassicPayloadMask = 0x0F;
constexpr uint8_t kIdTopBits = 0xC0;

bool is_can_device(uint8_t dev)
{
    return dev == JMSG_CAN || dev == JMSG_MSCAN;
}

bool is_iso15765_device(uint8_t dev)
{
    return dev == JMSG_ISO15765 || dev == JMSG_MSISO15765;
}

int32_t build_kline(const PASSTHRU_MSG &msg, JMSG &frame)
{
    if (msg.DataSize > kJmsgMaxData)
        return ERR_INVALID_MSG;
    frame.size = static_cast<uint8_t>(msg.DataSize);
    std::memcpy(frame.data, msg.Data, msg.DataSize);
    return STATUS_NOERROR;
}

int32_t build_can(const PASSTHRU_MSG &msg, JMSG &frame)
{
    if (msg.DataSize < kCanIdBytes)
        return ERR_INVALID_MSG;
    const uint32_t skip = (msg.TxFlags & CAN_29BIT_ID) ? 0 : kCanIdBytes - kCan11BitIdBytes;
    const uint32_t len = msg.DataSize - skip;
    if (len > kJmsgMaxData)
        return ERR_INVALID_MSG;
    frame.size = static_cast<uint8_t>(len);
    std::memcpy(frame.data, msg.Data + skip, len);
    frame.flags = CanFrameFlags(msg.TxFlags);
    return STATUS_NOERROR;
}

int32_t build_iso15765(const PASSTHRU_MSG &msg, uint8_t pad_target, uint8_t pad_value, JMSG &frame)
{
    const uint32_t ext = (msg.TxFlags & ISO15765_ADDR_TYPE) ? 1 : 0;
    const uint32_t id_bytes = (msg.TxFlags & CAN_29BIT_ID) ? kCanIdBytes : kCan11BitIdBytes;
    if (msg.DataSize < kCanIdBytes + ext)
        return ERR_INVALID_MSG;
    const uint32_t payload = msg.DataSize - kCanIdBytes - ext;
    const uint32_t pci = msg.DataSize <= kClassicSingleFrameMaxDataSize ? 1 : 2;
    const uint32_t unpadded = ext + pci + payload;
    uint32_t behind = unpadded;
    if (msg.TxFlags & ISO15765_FRAME_PAD)
        behind = PaddedLength(behind, pad_target);
    if (id_bytes + behind > kJmsgMaxData)
        return ERR_INVALID_MSG;

    uint8_t *p = frame.data;
    std::memcpy(p, msg.Data + kCanIdBytes - id_bytes, id_bytes + ext);
    p += id_bytes + ext;
    if (pci == 1) {
        *p++ = static_cast<uint8_t>(payload & kClassicPayloadMask);
    } else {
        *p++ = 0x00;
        *p++ = static_cast<uint8_t>(payload);
    }
    std::memcpy(p, msg.Data + kCanIdBytes + ext, payload);
    std::memset(p + payload, pad_value, behind - unpadded);
    frame.size = static_cast<uint8_t>(id_bytes + behind);
    frame.flags = CanFrameFlags(msg.TxFlags);
    if (ext)
        frame.flags |= JMSG_FLAG_EXT_ADDR;
    return STATUS_NOERROR;
}

}  // namespace

bool ElevenBitRuleApplies(uint32_t ChannelID, uint32_t TxFlags)
{
    const uint8_t dev = ChannelDevice(ChannelID);
    return (is_can_device(dev) || is_iso15765_device(dev)) && !(TxFlags & CAN_29BIT_ID);
}

int32_t BuildPeriodicFrame(uint32_t ChannelID, const PASSTHRU_MSG &msg, uint8_t slot,
                           uint32_t interval, uint8_t pad_target, bool eleven_bit_rule, JMSG &frame)
{
    const uint8_t dev = ChannelDevice(ChannelID);
    if (dev == 0)
        return ERR_INVALID_CHANNEL_ID;
    EmptyWriteFrame(frame, slot, dev, JMSG_TYPE_PERIODIC);
    put_le32(frame.timestamp, interval);
    // Beyond the record there is nothing to read, and the sums below stay small.
    if (msg.DataSize > PASSTHRU_MSG_DATA_SIZE)
        return ERR_INVALID_MSG;

    int32_t rc;
    if (is_can_device(dev))
        rc = build_can(msg, frame);
    else if (is_iso15765_device(dev))
        rc = build_iso15765(msg, pad_target, FindChannel(ChannelID)->can_setup->iso15765_pad_value,
                            frame);
    else
        rc = build_kline(msg, frame);
    if (rc != STATUS_NOERROR)
        return rc;
    // Both CAN forms put Data[2], the first byte of an 11-bit identifier, first.
    if (eleven_bit_rule && ElevenBitRuleApplies(ChannelID, msg.TxFlags))
        frame.data[0] = static_cast<uint8_t>(msg.Data[2] | (msg.Data[0] & kIdTopBits));
    return STATUS_NOERROR;
}

}  // namespace tenq
