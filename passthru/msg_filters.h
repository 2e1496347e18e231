/*
 * msg_filters.h - starting and stopping filters: PassThruStartMsgFilter and
 * PassThruStopMsgFilter, and the stops that connects, disconnects and
 * CLEAR_MSG_FILTERS make.
 */
#pragma once

#include <cstdint>

namespace tenq {

constexpr uint32_t kFilterSendTimeout = 1500;
// Written behind the caller's flow-control message: the three PCI bytes and
// five zeros, a whole classic flow-control frame after the identifier.
constexpr uint32_t kFlowWriteBackBytes = 8;

// The stop of one slot, as PassThruStopMsgFilter does it.
int32_t StopMsgFilter(uint32_t ChannelID, uint32_t MsgID);

// Stops every used slot of the channel's device code; results are ignored.
void StopFilterSlotsOf(uint32_t ChannelID);

}  // namespace tenq
