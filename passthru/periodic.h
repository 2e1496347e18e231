/*
 * periodic.h - periodic messages: the adapter repeats each one at its own
 * interval; the library only hands it over as one frame naming a slot of the
 * table below and keeps a copy of that frame.  The slot number is the
 * message ID the application sees.
 *
 * A slot is used while its frame's `size` is non-zero and belongs to the
 * device code its frame carries; a stopped slot keeps that code.  The table
 * is shared by all channels (channels 3 and 4 share device 0x90 and so
 * their slots).
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/jmsg.h"

namespace tenq
{

constexpr int kPeriodicSlots = 100; // the adapter's periodic memory
constexpr uint32_t kPeriodicSendTimeout = 1500;

// Flag bits of the suspend and resume frames (op 3, type 0).
constexpr uint8_t JMSG_FLAG_SUSPEND = 0x10;
constexpr uint8_t JMSG_FLAG_RESUME = 0x20;

extern JMSG jmsg_periodic_msg[kPeriodicSlots];

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

// The stop of one slot, as PassThruStopPeriodicMsg does it.
int32_t StopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID);

// Stops every slot of the channel's device code: used ones only, or every
// slot that ever carried the code.  Results are ignored.
void StopPeriodicSlotsOf(uint32_t ChannelID, bool used_only);

} // namespace tenq
