// rx_records.cpp - time stamps and the identifier format test of received frames.
// Reads TimestampMsec; touches no other state.
#include "passthru/receive/rx_records.h"

#include "passthru/link/byteorder.h"
#include "passthru/options.h"

namespace tenq {

uint32_t RecordTimestamp(const JMSG &frame)
{
    const uint32_t count = get_be32(frame.timestamp);
    if (TimestampMsec == 1)
        return count >> 8;
    // 64 bits: the count times 1000 passes 32 bits after about 17 seconds; the
    // result wraps with the adapter's counter, as applications expect.
    return static_cast<uint32_t>((uint64_t{count} * 1000u) >> 8);
}

bool IdFormatAccepted(uint32_t connect_flags, const JMSG &frame)
{
    if (connect_flags & CAN_ID_BOTH)
        return true;
    const bool is_29bit = (frame.flags & kCanFlag29Bit) != 0;
    const bool want_29bit = (connect_flags & CAN_29BIT_ID) != 0;
    return is_29bit == want_29bit;
}

}  // namespace tenq
