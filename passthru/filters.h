/*
 * filters.h - the filter table shared by all channels and the look-ups that
 * decide which receive ring a bus frame enters.
 *
 * A slot is used while its mask frame's `size` is non-zero; it belongs to the
 * channel whose device code its frames carry.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/jmsg.h"

namespace tenq {

constexpr int kFilterSlots = 64;  // the adapter's filter memory

extern JMSG jmsg_filter_mask_msg[kFilterSlots];
extern JMSG jmsg_filter_pattern_msg[kFilterSlots];
extern JMSG jmsg_filter_flow_msg[kFilterSlots];
extern uint32_t jmsg_filter_type[kFilterSlots];

constexpr uint32_t kFilterSendTimeout = 1500;
constexpr uint8_t kFlowControlPci = 0x30;  // flow control: continue to send
constexpr uint32_t kFlowFramePciBytes = 3; // 0x30, block size, separation time
// Written behind the caller's flow-control message: the three PCI bytes and
// five zeros, a whole classic flow-control frame after the identifier.
constexpr uint32_t kFlowWriteBackBytes = 8;

// What a flow frame carries behind the flow-control message's data.
struct FlowControlBytes {
    uint8_t block_size;
    uint8_t separation_time;
    uint8_t pad_target;  // transmit data length that padding aims at
    uint8_t pad_value;
};

// The mask (type 1), pattern (type 2) or flow (type 3, `flow` given) frame
// of `msg` for slot `slot` of channel `ChannelID`: 11-bit identifiers lose
// their two leading zero bytes, the K-line takes the bytes as they are.
// Touches nothing but `frame`.  STATUS_NOERROR, ERR_INVALID_CHANNEL_ID, or
// ERR_INVALID_MSG when the message lacks its identifier bytes or the frame
// would not fit the adapter's 68 data bytes.
int32_t BuildFilterFrame(uint32_t ChannelID, uint8_t slot, uint8_t type, const PASSTHRU_MSG &msg,
                         const FlowControlBytes *flow, JMSG &frame);

// The stop of one slot, as PassThruStopMsgFilter does it.
int32_t StopMsgFilter(uint32_t ChannelID, uint32_t MsgID);

// Stops every used slot of the channel's device code; results are ignored.
void StopFilterSlotsOf(uint32_t ChannelID);

// Each returns the first matching slot (0 to 63) or -1.
int32_t GetFirstISOFlowFilterIndex();
int32_t GetISOFlowFilterIndex(const JMSG *pMsg);
int32_t GetISOPassFilterIndex(const JMSG *pMsg);
int32_t GetPassFilterIndex(const JMSG *pMsg);

}  // namespace tenq
