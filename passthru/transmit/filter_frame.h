/*
 * filter_frame.h - the mask, pattern and flow frames that carry a filter to
 * the adapter.  Pure: nothing but the frame is written.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/link/jmsg.h"

namespace tenq {

constexpr uint8_t kFlowControlPci = 0x30;   // flow control: continue to send
constexpr uint32_t kFlowFramePciBytes = 3;  // 0x30, block size, separation time

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

}  // namespace tenq
