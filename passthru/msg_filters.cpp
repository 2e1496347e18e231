// filter_start.cpp - PassThruStartMsgFilter and PassThruStopMsgFilter.
// Writes the filter table; writes the flow-control bytes behind the caller's
// flow-control message and, for padded flow messages with
// FD_TX_LENGTH_IN_MSG, the channel's iso15765_tx_data_length.
#include <cstdint>
#include <cstring>

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/filter_table.h"
#include "passthru/link/link.h"
#include "passthru/msg_filters.h"
#include "passthru/receive/rx_clear.h"
#include "passthru/transmit/filter_frame.h"
#include "passthru/transmit/tx_frame.h"

namespace tenq {

namespace {

constexpr uint32_t kMinFilterDataSize = 4;    // the identifier bytes
constexpr uint32_t kKLinePassAllChannel = 3;  // takes masks of any length, none included

enum FilterFrame { kMask, kPattern, kFlow, kFrames };

int32_t fail(const char *text, int32_t status)
{
    DbgMsg(DBG_ERROR, text);
    return status;
}

int32_t find_free_slot(uint32_t ChannelID)
{
    const ChannelInfo *ch = FindChannel(ChannelID);
    const bool from_top = ch != nullptr && ch->filters_from_top;
    for (int i = 0; i < kFilterSlots; ++i) {
        const int slot = from_top ? kFilterSlots - 1 - i : i;
        if (jmsg_filter_mask_msg[slot].size == 0)
            return slot;
    }
    return -1;
}

// Builds one frame after logging a protocol mismatch (which does not stop it).
int32_t build(uint32_t ChannelID, uint8_t slot, uint8_t type, const PASSTHRU_MSG &msg,
              const FlowControlBytes *flow, const char *which, JMSG &frame)
{
    if (!VerifyProtocol(msg.ProtocolID, ChannelID))
        DbgPrintf(DBG_ERROR,
                  "PassThruStartMsgFilter %s filter protocol (%d) mismatch for channel ID (%d)",
                  which, static_cast<int>(msg.ProtocolID), static_cast<int>(ChannelID));
    const int32_t rc = BuildFilterFrame(ChannelID, slot, type, msg, flow, frame);
    if (rc == ERR_INVALID_CHANNEL_ID)
        return fail("PassThruStartMsgFilter invalid channel ID", rc);
    if (rc != STATUS_NOERROR && flow != nullptr)
        return fail("PassThruStartMsgFilter flow control message exceeds the maximum data size",
                    rc);
    if (rc != STATUS_NOERROR)
        return fail("PassThruStartMsgFilter mask and pattern exceed the maximum data size (68)",
                    rc);
    return STATUS_NOERROR;
}

int32_t send_and_store(uint32_t slot, const JMSG (&frames)[kFrames], uint32_t FilterType,
                       const char *failed)
{
    if (JmsgSendMsgs(frames, kFrames, kFilterSendTimeout) != 0)
        return fail(failed, ERR_FAILED);
    jmsg_filter_type[slot] = FilterType;
    jmsg_filter_mask_msg[slot] = frames[kMask];
    jmsg_filter_pattern_msg[slot] = frames[kPattern];
    jmsg_filter_flow_msg[slot] = frames[kFlow];
    return STATUS_NOERROR;
}

}  // namespace

int32_t StopMsgFilter(uint32_t ChannelID, uint32_t MsgID)
{
    if (JmsgCheckConnection() != 0)
        return fail("PassThruStopMsgFilter device not connected", ERR_DEVICE_NOT_CONNECTED);
    if (!ChannelConnected(ChannelID))
        return fail("PassThruStopMsgFilter invalid ChannelID", ERR_DEVICE_NOT_CONNECTED);
    if (MsgID >= kFilterSlots)
        return fail("PassThruStopMsgFilter invalid filter ID", ERR_INVALID_FILTER_ID);
    DbgPrintf(DBG_API, "PassThruStopMsgFilter(%ld, %ld)", static_cast<long>(ChannelID),
              static_cast<long>(MsgID));
    const uint8_t dev = ChannelDevice(ChannelID);
    if (dev == 0)
        return fail("PassThruStopMsgFilter invalid channel ID", ERR_INVALID_CHANNEL_ID);
    // The adapter keeps applying another device's filter; freeing its slot
    // here would hand it out twice.
    if (jmsg_filter_mask_msg[MsgID].size != 0 && jmsg_filter_mask_msg[MsgID].dev != dev)
        return fail("PassThruStopMsgFilter filter ID belongs to another channel",
                    ERR_INVALID_FILTER_ID);

    const uint8_t slot = static_cast<uint8_t>(MsgID);
    JMSG frames[kFrames];
    EmptyWriteFrame(frames[kMask], slot, dev, JMSG_TYPE_MASK);
    EmptyWriteFrame(frames[kPattern], slot, dev, JMSG_TYPE_PATTERN);
    EmptyWriteFrame(frames[kFlow], slot, dev, JMSG_TYPE_FLOW);
    ClearRxBuffer(ChannelID);
    return send_and_store(MsgID, frames, 0, "PassThruStopMsgFilter failed");
}

void StopFilterSlotsOf(uint32_t ChannelID)
{
    const uint8_t dev = ChannelDevice(ChannelID);
    for (uint32_t slot = 0; slot < kFilterSlots; ++slot) {
        const JMSG &mask = jmsg_filter_mask_msg[slot];
        if (mask.dev == dev && mask.size != 0)
            StopMsgFilter(ChannelID, slot);
    }
}

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruStartMsgFilter(uint32_t ChannelID, uint32_t FilterType,
                                          PASSTHRU_MSG *pMaskMsg, PASSTHRU_MSG *pPatternMsg,
                                          PASSTHRU_MSG *pFlowControlMsg, uint32_t *pMsgID)
{
    if (JmsgCheckConnection() != 0)
        return fail("PassThruStartMsgFilter device not connected", ERR_DEVICE_NOT_CONNECTED);
    if (!ChannelConnected(ChannelID))
        return fail("PassThruStartMsgFilter invalid ChannelID", ERR_DEVICE_NOT_CONNECTED);
    if (pMaskMsg == nullptr || pPatternMsg == nullptr || pMsgID == nullptr)
        return fail("PassThruStartMsgFilter null parameter", ERR_NULL_PARAMETER);
    DbgPrintf(
        DBG_API, "PassThruStartMsgFilter(%ld, %ld, pMask(%ld), pPattern(%ld), pFlow(%ld), %ld)",
        static_cast<long>(ChannelID), static_cast<long>(FilterType),
        static_cast<long>(reinterpret_cast<intptr_t>(pMaskMsg)),
        static_cast<long>(reinterpret_cast<intptr_t>(pPatternMsg)),
        static_cast<long>(reinterpret_cast<intptr_t>(pFlowControlMsg)), static_cast<long>(*pMsgID));
    if (pMaskMsg->DataSize != pPatternMsg->DataSize)
        return fail("PassThruStartMsgFilter mask and pattern not same length", ERR_INVALID_MSG);
    if (ChannelID != kKLinePassAllChannel && pMaskMsg->DataSize < kMinFilterDataSize)
        return fail("PassThruStartMsgFilter mask and pattern less than the minimum data size (4)",
                    ERR_INVALID_MSG);

    const int32_t found = find_free_slot(ChannelID);
    if (found < 0)
        return fail("PassThruStartMsgFilter exceeded filter limit", ERR_EXCEEDED_LIMIT);
    const uint8_t slot = static_cast<uint8_t>(found);

    const bool flow_filter = FilterType == FLOW_CONTROL_FILTER;
    FlowControlBytes flow{};
    CAN_SETUP *setup = nullptr;
    if (flow_filter) {
        const ChannelInfo *ch = FindChannel(ChannelID);
        if (ch == nullptr || ch->kind != ChannelKind::Iso15765)
            return fail("PassThruStartMsgFilter flow control filter on non-ISO15765 channel",
                        ERR_INVALID_CHANNEL_ID);
        if (pFlowControlMsg == nullptr)
            return fail("PassThruStartMsgFilter null flow control message pointer",
                        ERR_NULL_PARAMETER);
        if (pFlowControlMsg->DataSize != pMaskMsg->DataSize)
            return fail("PassThruStartMsgFilter mask and flow control not same length",
                        ERR_INVALID_MSG);
        setup = ch->can_setup;
        flow = {setup->iso15765_block_size, setup->iso15765_separation_time,
                PadTargetLength(*setup, *pFlowControlMsg), setup->iso15765_pad_value};
    }

    // Every frame is built and checked before the caller's message or the
    // channel changes.
    JMSG frames[kFrames];
    if (int32_t rc =
            build(ChannelID, slot, JMSG_TYPE_MASK, *pMaskMsg, nullptr, "mask", frames[kMask]);
        rc != 0)
        return rc;
    if (int32_t rc = build(ChannelID, slot, JMSG_TYPE_PATTERN, *pPatternMsg, nullptr, "pattern",
                           frames[kPattern]);
        rc != 0)
        return rc;
    if (flow_filter) {
        if (int32_t rc = build(ChannelID, slot, JMSG_TYPE_FLOW, *pFlowControlMsg, &flow, "flow",
                               frames[kFlow]);
            rc != 0)
            return rc;
        uint8_t *behind = pFlowControlMsg->Data + pFlowControlMsg->DataSize;
        std::memset(behind, 0, kFlowWriteBackBytes);
        behind[0] = kFlowControlPci;
        behind[1] = flow.block_size;
        behind[2] = flow.separation_time;
        KeepPadTargetLength(*setup, *pFlowControlMsg);
    } else {
        // Tells the adapter that the slot has no flow-control message.
        EmptyWriteFrame(frames[kFlow], slot, frames[kMask].dev, JMSG_TYPE_FLOW);
    }

    ClearRxBuffer(ChannelID);
    if (int32_t rc = send_and_store(slot, frames, FilterType, "PassThruStartMsgFilter failed");
        rc != 0)
        return rc;
    *pMsgID = slot;
    return STATUS_NOERROR;
}

extern "C" int32_t PassThruStopMsgFilter(uint32_t ChannelID, uint32_t MsgID)
{
    return StopMsgFilter(ChannelID, MsgID);
}
