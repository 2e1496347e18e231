/*
 * can_rx.h - records of received CAN frames: the CAN channels (5 and 11)
 * and the plain CAN records that the ISO 15765 channels add in mixed format.
 */
#pragma once

#include <cstdint>

#include "passthru/link/jmsg.h"
#include "passthru/receive/rx_records.h"

namespace tenq {

// Fills `msg` from the frame: the 4-byte identifier (an 11-bit one behind two
// zero bytes), the payload, TX_MSG_TYPE for echoes, the bus error mark, and
// with `fd_bits` the CAN FD marks.  ExtraDataIndex = DataSize.
void BuildCanRecord(const JMSG &frame, uint32_t ProtocolID, bool fd_bits, PASSTHRU_MSG &msg);

// One frame taken from the ring of CAN channel `ChannelID`: a record when
// the identifier format is the channel's, else nothing.
void CanReceiveFrame(uint32_t ChannelID, uint32_t connect_flags, const JMSG &frame,
                     ReadTarget &out);

}  // namespace tenq
