/*
 * rx_records.h - what every receive handler shares: the caller's array as
 * the reader's work area, the conversion of adapter time stamps and the
 * identifier format test of the CAN controllers.
 *
 * The record at the current position (index = records delivered so far) is
 * where the next message is built; once a record is delivered the next one,
 * if the array has room for it, starts empty.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/link/jmsg.h"

namespace tenq {

// Frame flag bits from the CAN controllers.
constexpr uint8_t kCanFlagFd = 0x01;        // CAN FD frame
constexpr uint8_t kCanFlagBrs = 0x02;       // CAN FD frame with bit-rate switch
constexpr uint8_t kCanFlag29Bit = 0x10;     // 4 identifier bytes ahead of the payload
constexpr uint8_t kCanFlagBusError = 0x40;  // bus error frame

constexpr uint32_t kCanIdBytes = 4;  // a record always begins with a 4-byte identifier

struct ReadTarget {
    PASSTHRU_MSG *msgs;
    uint32_t room;       // records the caller's array holds
    uint32_t delivered;  // records delivered so far

    bool has_room() const { return delivered < room; }
    PASSTHRU_MSG &current() { return msgs[delivered]; }

    // The record at the current position is complete.
    void deliver()
    {
        ++delivered;
        if (has_room())
            msgs[delivered].DataSize = 0;
    }
};

// The frame's time stamp (1/256 ms, most significant byte first) in the unit
// the application chose: microseconds, or milliseconds after TIMESTAMP_MSEC.
uint32_t RecordTimestamp(const JMSG &frame);

// Whether a channel connected with `connect_flags` accepts the frame's
// identifier format (11-bit, 29-bit, or both with CAN_ID_BOTH).
bool IdFormatAccepted(uint32_t connect_flags, const JMSG &frame);

}  // namespace tenq
