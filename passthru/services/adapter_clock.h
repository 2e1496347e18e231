/*
 * adapter_clock.h - the adapter's real-time clock record on the wire.
 *
 * RTC_DAY_TIME travels as it lies in memory: 12 bytes, multi-byte fields
 * least significant byte first, the filler byte included.  Nothing is
 * checked or converted; the day number and the calendar fields travel side
 * by side.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "j2534.h"

namespace tenq {

constexpr size_t kRtcWireSize = 12;

void RtcToWire(const RTC_DAY_TIME &rtc, uint8_t *out);
void RtcFromWire(const uint8_t *in, RTC_DAY_TIME &rtc);

}  // namespace tenq
