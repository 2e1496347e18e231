/*
 * filter_table.h - the filter table shared by all channels and the look-ups
 * that decide which receive ring a bus frame enters.
 *
 * A slot is used while its mask frame's `size` is non-zero; it belongs to the
 * channel whose device code its frames carry.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/link/jmsg.h"

namespace tenq {

constexpr int kFilterSlots = 64;  // the adapter's filter memory

extern JMSG jmsg_filter_mask_msg[kFilterSlots];
extern JMSG jmsg_filter_pattern_msg[kFilterSlots];
extern JMSG jmsg_filter_flow_msg[kFilterSlots];
extern uint32_t jmsg_filter_type[kFilterSlots];

// Each returns the first matching slot (0 to 63) or -1.
int32_t GetFirstISOFlowFilterIndex();
int32_t GetISOFlowFilterIndex(const JMSG *pMsg);
int32_t GetISOPassFilterIndex(const JMSG *pMsg);
int32_t GetPassFilterIndex(const JMSG *pMsg);

}  // namespace tenq
