/*
 * channels.h - the six channels, which of them are connected, and the setup
 * blocks of the two CAN controllers and the K-line.
 *
 * A ChannelID is the number of a channel family: 3 and 4 (K-line), 5 and 6
 * (CAN and ISO 15765 on controller 1), 11 and 12 (on controller 2).  Bit
 * (1 << ChannelID) of ChannelStatus is set while the channel is connected.
 * The setup blocks are process-wide: closing the device does not reset them.
 */
#pragma once

#include <cstdint>

#include "passthru/link/rings.h"

namespace tenq {

extern uint32_t ChannelStatus;

constexpr uint32_t ChannelBit(uint32_t ChannelID)
{
    return uint32_t{1} << (ChannelID % 32);
}

inline bool ChannelConnected(uint32_t ChannelID)
{
    return (ChannelStatus & ChannelBit(ChannelID)) != 0;
}

// Connecting, disconnecting and closing the device.
void MarkChannelConnected(uint32_t ChannelID);
void MarkChannelDisconnected(uint32_t ChannelID);
void ForgetChannels();

// The adapter reported that bus device `dev` stopped.
void ChannelStoppedByAdapter(uint8_t dev);

// Setup block of a CAN controller; sent field by field, LSB first (20 bytes).
struct CAN_SETUP {
    uint32_t baud_rate;
    uint32_t fd_baud_rate;
    uint16_t interframe_delay;
    uint8_t bit_sample_point_percent;
    uint8_t sync_jump_width_percent;
    uint8_t iso15765_block_size;
    uint8_t iso15765_separation_time;
    uint8_t iso15765_bs_tx_override;
    uint8_t iso15765_stmin_tx_override;
    uint8_t iso15765_wft_max;
    uint8_t iso15765_tx_data_length;
    uint8_t termination;
    uint8_t iso15765_pad_value;
};
constexpr uint32_t kCanSetupSize = 20;

// Setup block of the K-line; timing values in ms, sent LSB first (56 bytes).
struct ISO_SETUP {
    uint32_t baud_rate;
    uint8_t init_address;
    uint8_t init_type;
    uint16_t p1_min, p1_max, p2_min, p2_max, p3_min, p3_max, p4_min, p4_max, p5_min, p5_max;
    uint16_t w0_min, w0_max, w1_min, w1_max, w2_min, w2_max, w3_min, w3_max, w4_min, w4_max;
    uint16_t w5_min, w5_max;
    uint16_t tini_l;
    uint16_t twup;
    uint8_t parity;
    uint8_t data_bits;
};
constexpr uint32_t kIsoSetupSize = 56;

extern CAN_SETUP CANSetup;    // controller 1: channels 5 and 6
extern CAN_SETUP MSCANSetup;  // controller 2: channels 11 and 12
extern ISO_SETUP ISO9141Setup;
extern uint32_t ISO9141NoChecksum;

// The wire form of the blocks.
void SerializeCanSetup(const CAN_SETUP &setup, uint8_t (&out)[kCanSetupSize]);
void SerializeIsoSetup(const ISO_SETUP &setup, uint8_t (&out)[kIsoSetupSize]);

// Send a block in its wire form to `device` as a setup frame with `flags`.
// 0 or ERR_FAILED, as JmsgSendCmd.
int32_t SendSetupBlock(uint8_t device, const CAN_SETUP &setup, uint8_t flags = 0);
int32_t SendSetupBlock(uint8_t device, const ISO_SETUP &setup, uint8_t flags = 0);

enum class ChannelKind : uint8_t { KLine, Can, Iso15765 };

struct Iso15765Rx;  // passthru/receive/iso15765_rx.h

// Everything the library needs to know of one channel; the one table of
// them lives in channels.cpp.
struct ChannelInfo {
    uint32_t id;  // the ChannelID: 3, 4, 5, 6, 11 or 12
    ChannelKind kind;
    uint8_t device;  // device code of the channel's frames
    // The device of the unit the channel runs on: it takes the unit's setup
    // block, receive clears and D2 flow control (0x10 for channels 5 and 6,
    // 0x30 for 11 and 12, 0x90 for the K-line).
    uint8_t unit;
    RxRing *ring;
    CAN_SETUP *can_setup;      // the CAN controller's block; nullptr on the K-line
    ISO_SETUP *iso_setup;      // the K-line block; nullptr on CAN
    const Iso15765Rx *iso_rx;  // the ISO 15765 receive side; nullptr elsewhere
    bool second_controller;
    bool filters_from_top;      // free filter slots are searched from slot 63 down
    const char *unit_name;      // names the unit in configuration lines
    const char *setup_failure;  // line of a connect whose setup block cannot be sent
    uint32_t protocols[4];      // protocol IDs whose messages fit the channel (0: none)
};

// The channel `ChannelID` names, or nullptr for anything but the six.
const ChannelInfo *FindChannel(uint32_t ChannelID);

// Its device code and its unit's, 0 for anything but the six channels.
uint8_t ChannelDevice(uint32_t ChannelID);
uint8_t ChannelUnitDevice(uint32_t ChannelID);

// True while a channel that reads `ring` is connected.
bool RingReaderConnected(const RxRing &ring);

// The ChannelID that PassThruConnect gives a protocol ID; MSCAN_SELECT in
// `Flags` moves CAN and ISO15765 (and only those two IDs) to controller 2.
// An ID that names no channel comes back unchanged for the caller to refuse.
uint32_t MapProtocolId(uint32_t ProtocolID, uint32_t Flags);

// Values a connect gives its unit's setup block.
constexpr uint32_t kDefaultFdBaudRate = 2000000;
constexpr uint8_t kDefaultSamplePointPercent = 80;
constexpr uint8_t kDefaultSyncJumpWidthPercent = 20;
constexpr uint8_t kNoTxOverride = 0xFF;      // BS_TX, STMIN_TX, WFT_MAX: the adapter decides
constexpr uint8_t kDefaultTxDataLength = 8;  // classic CAN frames
constexpr uint8_t kDefaultPadValue = 0xCC;
constexpr uint8_t kDefaultInitAddress = 0x33;
constexpr uint8_t kInitTypeFord = 0x40;
constexpr uint8_t kInitTypeNoChecksum = 0x80;

// A CAN connect sets the first five fields only and leaves the ISO 15765
// fields as an earlier ISO 15765 connect or configuration set them; an
// ISO 15765 connect sets all of them.  The older API variant leaves the
// data-phase rate and the termination to configuration.
void SetCanConnectDefaults(CAN_SETUP &setup, uint32_t baud_rate, bool iso15765);
// The K-line block with the init bits that `Flags` asks for; p5 is not set.
void SetIsoConnectDefaults(ISO_SETUP &setup, uint32_t baud_rate, uint32_t Flags);

// 1 when a message with `Protocol` fits channel `Channel`, else 0.  Callers
// only log a mismatch; the message is used all the same.
int VerifyProtocol(uint32_t Protocol, uint32_t Channel);

}  // namespace tenq
