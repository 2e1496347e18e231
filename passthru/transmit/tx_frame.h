/*
 * tx_frame.h - the pieces that every frame the library prepares for the bus
 * shares: the flag bits a message's TxFlags give its frame, and the padding
 * of ISO 15765 frames up to a length the bus can carry.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/link/jmsg.h"

namespace tenq {

// Flag bits of a CAN or ISO 15765 frame to the adapter.
constexpr uint8_t JMSG_FLAG_FD = 0x01;        // CAN FD frame
constexpr uint8_t JMSG_FLAG_BRS = 0x02;       // bit-rate switch (FD frames only)
constexpr uint8_t JMSG_FLAG_29BIT = 0x10;     // 29-bit identifier
constexpr uint8_t JMSG_FLAG_EXT_ADDR = 0x20;  // extended address byte follows the identifier

// Bytes of the identifier in a message's Data on the CAN channels.
constexpr uint32_t kCanIdBytes = 4;
// An 11-bit identifier travels as the last two of them.
constexpr uint32_t kCan11BitIdBytes = 2;

// A zeroed frame that writes into table slot `slot` of device `dev`: the
// start of every filter and periodic frame, and the whole of a stop.
void EmptyWriteFrame(JMSG &frame, uint8_t slot, uint8_t dev, uint8_t type);

// The identifier and FD bits of a frame for a CAN or ISO 15765 channel.
uint8_t CanFrameFlags(uint32_t TxFlags);

// Bytes behind the identifier once padded: one at a time while they are
// fewer than `tx_data_length` and not a length a CAN frame can have.
uint32_t PaddedLength(uint32_t behind_id, uint32_t tx_data_length);

// The transmit data length that padding aims at: a message with
// FD_TX_LENGTH_IN_MSG carries it in the low byte of ExtraDataIndex.
uint8_t PadTargetLength(const CAN_SETUP &setup, const PASSTHRU_MSG &msg);

// A padded message with FD_TX_LENGTH_IN_MSG sets the channel's transmit
// data length for good.
void KeepPadTargetLength(CAN_SETUP &setup, const PASSTHRU_MSG &msg);

}  // namespace tenq
