// filter_table.cpp - the filter table and its look-ups.
// Owns: jmsg_filter_mask_msg, jmsg_filter_pattern_msg, jmsg_filter_flow_msg,
// jmsg_filter_type.
#include "passthru/filter_table.h"

#include "j2534.h"

namespace tenq {

JMSG jmsg_filter_mask_msg[kFilterSlots];
JMSG jmsg_filter_pattern_msg[kFilterSlots];
JMSG jmsg_filter_flow_msg[kFilterSlots];
uint32_t jmsg_filter_type[kFilterSlots];

namespace {

bool slot_used(int slot)
{
    return jmsg_filter_mask_msg[slot].size != 0;
}

// The frame's own size and identifier format are not compared: the mask
// covers what the application asked for.
bool mask_matches(int slot, const JMSG &frame)
{
    const JMSG &mask = jmsg_filter_mask_msg[slot];
    const JMSG &pattern = jmsg_filter_pattern_msg[slot];
    for (uint32_t i = 0; i < mask.size && i < kJmsgMaxData; ++i) {
        if ((frame.data[i] & mask.data[i]) != pattern.data[i])
            return false;
    }
    return true;
}

int32_t first_pass_slot(uint8_t dev, const JMSG &frame)
{
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        if (slot_used(slot) && jmsg_filter_mask_msg[slot].dev == dev &&
            jmsg_filter_type[slot] == PASS_FILTER && mask_matches(slot, frame))
            return slot;
    }
    return -1;
}

bool is_flow_slot(int slot)
{
    return slot_used(slot) && jmsg_filter_flow_msg[slot].size != 0 &&
           jmsg_filter_type[slot] == FLOW_CONTROL_FILTER;
}

}  // namespace

int32_t GetFirstISOFlowFilterIndex()
{
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        if (is_flow_slot(slot))
            return slot;
    }
    return -1;
}

int32_t GetISOFlowFilterIndex(const JMSG *pMsg)
{
    // Only the flow-control filters of the frame's own controller: a match
    // on the other controller's filter would deliver this controller's
    // traffic on a channel that has no filter for it.
    uint8_t iso_dev = 0;
    switch (pMsg->dev) {
    case JMSG_CAN:
    case JMSG_ISO15765: iso_dev = JMSG_ISO15765; break;
    case JMSG_MSCAN:
    case JMSG_MSISO15765: iso_dev = JMSG_MSISO15765; break;
    default: return -1;
    }
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        if (is_flow_slot(slot) && jmsg_filter_mask_msg[slot].dev == iso_dev &&
            mask_matches(slot, *pMsg))
            return slot;
    }
    return -1;
}

int32_t GetISOPassFilterIndex(const JMSG *pMsg)
{
    switch (pMsg->dev) {
    case JMSG_CAN: return first_pass_slot(JMSG_ISO15765, *pMsg);
    case JMSG_MSCAN: return first_pass_slot(JMSG_MSISO15765, *pMsg);
    default: return -1;
    }
}

int32_t GetPassFilterIndex(const JMSG *pMsg)
{
    if (pMsg->type == JMSG_TYPE_DATA)
        return 0;  // echoes of own transmissions always pass
    switch (pMsg->dev) {
    case JMSG_ISO15765: return first_pass_slot(JMSG_CAN, *pMsg);
    case JMSG_MSISO15765: return first_pass_slot(JMSG_MSCAN, *pMsg);
    default: return first_pass_slot(pMsg->dev, *pMsg);
    }
}

}  // namespace tenq
