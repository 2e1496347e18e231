/*
 * periodic_msgs.h - periodic messages: the adapter repeats each one at its own
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
#include "passthru/link/jmsg.h"

namespace tenq {

constexpr int kPeriodicSlots = 100;  // the adapter's periodic memory
constexpr uint32_t kPeriodicSendTimeout = 1500;

// Flag bits of the suspend and resume frames (op 3, type 0).
constexpr uint8_t JMSG_FLAG_SUSPEND = 0x10;
constexpr uint8_t JMSG_FLAG_RESUME = 0x20;

extern JMSG jmsg_periodic_msg[kPeriodicSlots];

// The stop of one slot, as PassThruStopPeriodicMsg does it.
int32_t StopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID);

// Stops every slot of the channel's device code: used ones only, or every
// slot that ever carried the code.  Results are ignored.
void StopPeriodicSlotsOf(uint32_t ChannelID, bool used_only);

}  // namespace tenq
