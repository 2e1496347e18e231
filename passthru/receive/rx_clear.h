/*
 * rx_clear.h - emptying a channel's receive buffer, in the library and in
 * the adapter.  Behind the CLEAR_RX_BUFFER I/O control, and done by every
 * filter start and stop so that no frame judged by the old filters is read
 * after the change.
 */
#pragma once

#include <cstdint>

namespace tenq {

// Takes in what the adapter already sent, tells the channel's unit to drop
// its receive buffer (CAN channels; the K-line has none to clear), polls
// once more and empties the channel's ring; its overflow flag stays.
// Writes the I/O control's name line first.  STATUS_NOERROR, or
// ERR_INVALID_CHANNEL_ID for anything but the six channels.  A clear frame
// that cannot be sent is only logged.
int32_t ClearRxBuffer(uint32_t ChannelID);

}  // namespace tenq
