/*
 * periodic_frame.h - the one frame that hands a periodic message to the
 * adapter.  Pure: reads the channel's setup block (pad value), writes
 * nothing but the frame.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/link/jmsg.h"

namespace tenq {

// The periodic frame of `msg` for slot `slot` of channel `ChannelID`, the
// interval in the time field.  `pad_target` is the transmit data length that
// ISO 15765 padding aims at.  With `eleven_bit_rule` the frame carries the
// top bits of Data[0] in the first identifier byte, as the start does for
// 11-bit CAN identifiers.  Touches nothing but `frame`.  STATUS_NOERROR,
// ERR_INVALID_CHANNEL_ID, or ERR_INVALID_MSG when the message does not fit
// one adapter frame or lacks its identifier bytes.
int32_t BuildPeriodicFrame(uint32_t ChannelID, const PASSTHRU_MSG &msg, uint8_t slot,
                           uint32_t interval, uint8_t pad_target, bool eleven_bit_rule,
                           JMSG &frame);

// True when the start's 11-bit rule applies to `TxFlags` on `ChannelID`:
// CAN and ISO 15765 channels, 11-bit identifiers.
bool ElevenBitRuleApplies(uint32_t ChannelID, uint32_t TxFlags);

}  // namespace tenq
