// channels.cpp - the channel table, the record of connected channels and
// the setup blocks.
// Owns: ChannelStatus, CANSetup, MSCANSetup, ISO9141Setup, ISO9141NoChecksum.
#include "passthru/channels.h"

#include "j2534.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/link.h"
#include "passthru/receive/iso15765_rx.h"

namespace tenq {

uint32_t ChannelStatus = 0;
CAN_SETUP CANSetup;
CAN_SETUP MSCANSetup;
ISO_SETUP ISO9141Setup;
uint32_t ISO9141NoChecksum = 0;

namespace {

using K = ChannelKind;

// The six channels.  A channel connected with MSCAN_SELECT (11 or 12) does
// not take messages that say CAN or ISO15765: those name controller 1.
// Filter slots are handed out from the top for the first channel of each
// device (3, 5, 11), from the bottom for the others.
// clang-format off
const ChannelInfo kChannels[] = {
    {3, K::KLine, JMSG_ISO9141, JMSG_ISO9141, &ISO9141Buffer, nullptr, &ISO9141Setup, nullptr,
     false, true, "ISO9141", "Cannot set ISO9141 parameters", {ISO9141, ISO14230}},
    {4, K::KLine, JMSG_ISO9141, JMSG_ISO9141, &ISO9141Buffer, nullptr, &ISO9141Setup, nullptr,
     false, false, "ISO9141", "Cannot set ISO9141 parameters", {ISO9141, ISO14230}},
    {5, K::Can, JMSG_CAN, JMSG_CAN, &CANBuffer, &CANSetup, nullptr, nullptr,
     false, true, "CAN", "Cannot set CAN DATA_RATE", {CAN, CAN_CH1, FD_CAN_CH1}},
    {6, K::Iso15765, JMSG_ISO15765, JMSG_CAN, &ISO15765Buffer, &CANSetup, nullptr, &ISO15765Rx,
     false, false, "CAN", "Cannot set ISO1575 DATA_RATE", {ISO15765, ISO15765_CH1, FD_ISO15765_CH1}},
    {11, K::Can, JMSG_MSCAN, JMSG_MSCAN, &MSCANBuffer, &MSCANSetup, nullptr, nullptr,
     true, true, "MSCAN", "Cannot set MSCAN DATA_RATE", {MSCAN, CAN_PS, CAN_CH2, FD_CAN_CH2}},
    {12, K::Iso15765, JMSG_MSISO15765, JMSG_MSCAN, &MSISO15765Buffer, &MSCANSetup, nullptr,
     &MSISO15765Rx, true, false, "MSCAN", "Cannot set MSISO15765 DATA_RATE",
     {MSISO15765, ISO15765_PS, ISO15765_CH2, FD_ISO15765_CH2}},
};
// clang-format on

struct ProtocolChannel {
    uint32_t protocol;
    uint32_t channel;
    uint32_t channel_with_mscan_select;
};

// The J2534-2 and vendor IDs name their controller themselves; only the
// plain CAN and ISO15765 IDs can be moved by MSCAN_SELECT.
constexpr ProtocolChannel kProtocolChannels[] = {
    {ISO9141, 3, 3},      {ISO14230, 4, 4},      {CAN, 5, 11},           {ISO15765, 6, 12},
    {MSCAN, 11, 11},      {CAN_PS, 11, 11},      {CAN_CH2, 11, 11},      {FD_CAN_CH2, 11, 11},
    {MSISO15765, 12, 12}, {ISO15765_PS, 12, 12}, {ISO15765_CH2, 12, 12}, {FD_ISO15765_CH2, 12, 12},
    {CAN_CH1, 5, 5},      {FD_CAN_CH1, 5, 5},    {ISO15765_CH1, 6, 6},   {FD_ISO15765_CH1, 6, 6},
};

}  // namespace

const ChannelInfo *FindChannel(uint32_t ChannelID)
{
    for (const ChannelInfo &c : kChannels) {
        if (c.id == ChannelID)
            return &c;
    }
    return nullptr;
}

uint8_t ChannelDevice(uint32_t ChannelID)
{
    const ChannelInfo *c = FindChannel(ChannelID);
    return c != nullptr ? c->device : 0;
}

uint8_t ChannelUnitDevice(uint32_t ChannelID)
{
    const ChannelInfo *c = FindChannel(ChannelID);
    return c != nullptr ? c->unit : 0;
}

bool RingReaderConnected(const RxRing &ring)
{
    for (const ChannelInfo &c : kChannels) {
        if (c.ring == &ring && ChannelConnected(c.id))
            return true;
    }
    return false;
}

uint32_t MapProtocolId(uint32_t ProtocolID, uint32_t Flags)
{
    for (const ProtocolChannel &p : kProtocolChannels) {
        if (p.protocol == ProtocolID)
            return (Flags & MSCAN_SELECT) != 0 ? p.channel_with_mscan_select : p.channel;
    }
    return ProtocolID;
}

void SetCanConnectDefaults(CAN_SETUP &s, uint32_t baud_rate, bool iso15765)
{
    s.baud_rate = baud_rate;
#ifndef TENQ_OLD_API
    s.fd_baud_rate = kDefaultFdBaudRate;
#endif
    s.interframe_delay = 0;
    s.bit_sample_point_percent = kDefaultSamplePointPercent;
    s.sync_jump_width_percent = kDefaultSyncJumpWidthPercent;
    if (!iso15765)
        return;
    s.iso15765_block_size = 0;
    s.iso15765_separation_time = 0;
    s.iso15765_bs_tx_override = kNoTxOverride;
    s.iso15765_stmin_tx_override = kNoTxOverride;
    s.iso15765_wft_max = kNoTxOverride;
    s.iso15765_tx_data_length = kDefaultTxDataLength;
#ifndef TENQ_OLD_API
    s.termination = 0;
#endif
    s.iso15765_pad_value = kDefaultPadValue;
}

void SetIsoConnectDefaults(ISO_SETUP &s, uint32_t baud_rate, uint32_t Flags)
{
    s.baud_rate = baud_rate;
    s.init_address = kDefaultInitAddress;
    s.init_type = 0;
    if (Flags & ISO9141_FORD)
        s.init_type |= kInitTypeFord;
    if (Flags & ISO9141_NO_CHECKSUM)
        s.init_type |= kInitTypeNoChecksum;
    s.p1_min = 0;
    s.p1_max = 20;
    s.p2_min = 25;
    s.p2_max = 50;
    s.p3_min = 55;
    s.p3_max = 5000;
    s.p4_min = 5;
    s.p4_max = 20;
    s.w0_min = 5;
    s.w0_max = 300;
    s.w1_min = 0;
    s.w1_max = 300;
    s.w2_min = 0;
    s.w2_max = 20;
    s.w3_min = 0;
    s.w3_max = 20;
    s.w4_min = 25;
    s.w4_max = 50;
    s.w5_min = 300;
    s.w5_max = 500;
    s.tini_l = 25;
    s.twup = 50;
    s.parity = 0;
    s.data_bits = 8;
}

void MarkChannelConnected(uint32_t ChannelID)
{
    ChannelStatus |= ChannelBit(ChannelID);
}

void MarkChannelDisconnected(uint32_t ChannelID)
{
    ChannelStatus &= ~ChannelBit(ChannelID);
}

void ForgetChannels()
{
    ChannelStatus = 0;
}

int VerifyProtocol(uint32_t Protocol, uint32_t Channel)
{
    const ChannelInfo *c = FindChannel(Channel);
    if (c == nullptr)
        return 0;
    for (uint32_t p : c->protocols) {
        if (p != 0 && p == Protocol)
            return 1;
    }
    return 0;
}

// The report names the device, not the channel: it stops the first channel
// of that device.  For the K-line that is channel 3; channel 4 keeps its
// bit, as applications connected to it have always seen.
void ChannelStoppedByAdapter(uint8_t dev)
{
    for (const ChannelInfo &c : kChannels) {
        if (c.device == dev) {
            ChannelStatus &= ~ChannelBit(c.id);
            return;
        }
    }
}

void SerializeCanSetup(const CAN_SETUP &s, uint8_t (&out)[kCanSetupSize])
{
    put_le32(out + 0, s.baud_rate);
    put_le32(out + 4, s.fd_baud_rate);
    put_le16(out + 8, s.interframe_delay);
    out[10] = s.bit_sample_point_percent;
    out[11] = s.sync_jump_width_percent;
    out[12] = s.iso15765_block_size;
    out[13] = s.iso15765_separation_time;
    out[14] = s.iso15765_bs_tx_override;
    out[15] = s.iso15765_stmin_tx_override;
    out[16] = s.iso15765_wft_max;
    out[17] = s.iso15765_tx_data_length;
    out[18] = s.termination;
    out[19] = s.iso15765_pad_value;
}

void SerializeIsoSetup(const ISO_SETUP &s, uint8_t (&out)[kIsoSetupSize])
{
    put_le32(out + 0, s.baud_rate);
    out[4] = s.init_address;
    out[5] = s.init_type;
    const uint16_t times[] = {s.p1_min, s.p1_max, s.p2_min, s.p2_max, s.p3_min, s.p3_max,
                              s.p4_min, s.p4_max, s.p5_min, s.p5_max, s.w0_min, s.w0_max,
                              s.w1_min, s.w1_max, s.w2_min, s.w2_max, s.w3_min, s.w3_max,
                              s.w4_min, s.w4_max, s.w5_min, s.w5_max, s.tini_l, s.twup};
    uint8_t *p = out + 6;
    for (uint16_t t : times) {
        put_le16(p, t);
        p += 2;
    }
    out[54] = s.parity;
    out[55] = s.data_bits;
}

int32_t SendSetupBlock(uint8_t device, const CAN_SETUP &setup, uint8_t flags)
{
    uint8_t bytes[kCanSetupSize];
    SerializeCanSetup(setup, bytes);
    return JmsgSendCmd(device, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, flags, sizeof bytes, bytes, 0);
}

int32_t SendSetupBlock(uint8_t device, const ISO_SETUP &setup, uint8_t flags)
{
    uint8_t bytes[kIsoSetupSize];
    SerializeIsoSetup(setup, bytes);
    return JmsgSendCmd(device, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, flags, sizeof bytes, bytes, 0);
}

}  // namespace tenq
