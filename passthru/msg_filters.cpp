// msg_filters.cpp - PassThruStartMsgFilter and PassThruStopMsgFilter.
// Writes the filter table; writes the flow-control bytes behind the caller's
// flow-control message and, for padded flow messages with
// FD_TX_LENGTH_IN_MSG, the channel's iso15765_tx_data_length.
#include <cstdint>
#include <cstring>

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/filter_table.h"
#include "passthru/guarded_call.h"
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
        return Refuse("PassThruStartMsgFilter invalid channel ID", rc);
    if (rc != STATUS_NOERROR && flow != nullptr)
        return Refuse("PassThruStartMsgFilter flow control message exceeds the maximum data size",
                      rc);
    if (rc != STATUS_NOERROR)
        return Refuse("PassThruStartMsgFilter mask and pattern exceed the maximum data size (68)",
                      rc);
    return STATUS_NOERROR;
}

int32_t send_and_store(uint32_t slot, const JMSG (&frames)[kFrames], uint32_t FilterType,
                       const char *failed)
{
    if (JmsgSendMsgs(frames, kFrames, kFilterSendTimeout) != 0)
        return Refuse(failed, ERR_FAILED);
    jmsg_filter_type[slot] = FilterType;
    jmsg_filter_mask_msg[slot] = frames[kMask];
    jmsg_filter_pattern_msg[slot] = frames[kPattern];
    jmsg_filter_flow_msg[slot] = frames[kFlow];
    return STATUS_NOERROR;
}

// One filter start on its way: the call's arguments, then what the checks
// found and the frames built.
struct FilterStart {
    uint32_t ChannelID;
    uint32_t FilterType;
    const PASSTHRU_MSG *mask;
    const PASSTHRU_MSG *pattern;
    PASSTHRU_MSG *flow_msg;  // flow-control filters: written behind its data
    uint8_t slot = 0;
    CAN_SETUP *setup = nullptr;  // flow-control filters: the channel's block
    FlowControlBytes flow{};
    JMSG frames[kFrames]{};

    bool flow_filter() const { return FilterType == FLOW_CONTROL_FILTER; }
};

// The arguments against each other and the channel, and a free slot.
int32_t check_start(FilterStart &f)
{
    if (f.mask->DataSize != f.pattern->DataSize)
        return Refuse("PassThruStartMsgFilter mask and pattern not same length", ERR_INVALID_MSG);
    if (f.ChannelID != kKLinePassAllChannel && f.mask->DataSize < kMinFilterDataSize)
        return Refuse("PassThruStartMsgFilter mask and pattern less than the minimum data size (4)",
                      ERR_INVALID_MSG);
    const int32_t found = find_free_slot(f.ChannelID);
    if (found < 0)
        return Refuse("PassThruStartMsgFilter exceeded filter limit", ERR_EXCEEDED_LIMIT);
    f.slot = static_cast<uint8_t>(found);
    if (!f.flow_filter())
        return STATUS_NOERROR;

    const ChannelInfo *ch = FindChannel(f.ChannelID);
    if (ch == nullptr || ch->kind != ChannelKind::Iso15765)
        return Refuse("PassThruStartMsgFilter flow control filter on non-ISO15765 channel",
                      ERR_INVALID_CHANNEL_ID);
    if (f.flow_msg == nullptr)
        return Refuse("PassThruStartMsgFilter null flow control message pointer",
                      ERR_NULL_PARAMETER);
    if (f.flow_msg->DataSize != f.mask->DataSize)
        return Refuse("PassThruStartMsgFilter mask and flow control not same length",
                      ERR_INVALID_MSG);
    f.setup = ch->can_setup;
    f.flow = {f.setup->iso15765_block_size, f.setup->iso15765_separation_time,
              PadTargetLength(*f.setup, *f.flow_msg), f.setup->iso15765_pad_value};
    return STATUS_NOERROR;
}

// Every frame is built and checked before the caller's message or the
// channel changes.
int32_t build_start(FilterStart &f)
{
    if (int32_t rc =
            build(f.ChannelID, f.slot, JMSG_TYPE_MASK, *f.mask, nullptr, "mask", f.frames[kMask]);
        rc != STATUS_NOERROR)
        return rc;
    if (int32_t rc = build(f.ChannelID, f.slot, JMSG_TYPE_PATTERN, *f.pattern, nullptr, "pattern",
                           f.frames[kPattern]);
        rc != STATUS_NOERROR)
        return rc;
    if (f.flow_filter())
        return build(f.ChannelID, f.slot, JMSG_TYPE_FLOW, *f.flow_msg, &f.flow, "flow",
                     f.frames[kFlow]);
    // Tells the adapter that the slot has no flow-control message.
    EmptyWriteFrame(f.frames[kFlow], f.slot, f.frames[kMask].dev, JMSG_TYPE_FLOW);
    return STATUS_NOERROR;
}

// The flow-control bytes go behind the caller's message, the receive buffer
// is cleared, and the frames are sent and kept.
int32_t commit_start(FilterStart &f)
{
    if (f.flow_filter()) {
        uint8_t *behind = f.flow_msg->Data + f.flow_msg->DataSize;
        std::memset(behind, 0, kFlowWriteBackBytes);
        behind[0] = kFlowControlPci;
        behind[1] = f.flow.block_size;
        behind[2] = f.flow.separation_time;
        KeepPadTargetLength(*f.setup, *f.flow_msg);
    }
    ClearRxBuffer(f.ChannelID);
    return send_and_store(f.slot, f.frames, f.FilterType, "PassThruStartMsgFilter failed");
}

}  // namespace

int32_t StopMsgFilter(uint32_t ChannelID, uint32_t MsgID)
{
    if (int32_t rc = CheckEntry({"PassThruStopMsgFilter"}, ChannelID); rc != STATUS_NOERROR)
        return rc;
    if (MsgID >= kFilterSlots)
        return Refuse("PassThruStopMsgFilter invalid filter ID", ERR_INVALID_FILTER_ID);
    DbgPrintf(DBG_API, "PassThruStopMsgFilter(%ld, %ld)", static_cast<long>(ChannelID),
              static_cast<long>(MsgID));
    const uint8_t dev = ChannelDevice(ChannelID);
    if (dev == 0)
        return Refuse("PassThruStopMsgFilter invalid channel ID", ERR_INVALID_CHANNEL_ID);
    // The adapter keeps applying another device's filter; freeing its slot
    // here would hand it out twice.
    if (jmsg_filter_mask_msg[MsgID].size != 0 && jmsg_filter_mask_msg[MsgID].dev != dev)
        return Refuse("PassThruStopMsgFilter filter ID belongs to another channel",
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
    return Guarded(__func__, [&] {
        if (int32_t rc =
                CheckEntry({"PassThruStartMsgFilter"}, ChannelID,
                           pMaskMsg != nullptr && pPatternMsg != nullptr && pMsgID != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API,
                  "PassThruStartMsgFilter(%ld, %ld, pMask(%ld), pPattern(%ld), pFlow(%ld), %ld)",
                  static_cast<long>(ChannelID), static_cast<long>(FilterType),
                  static_cast<long>(reinterpret_cast<intptr_t>(pMaskMsg)),
                  static_cast<long>(reinterpret_cast<intptr_t>(pPatternMsg)),
                  static_cast<long>(reinterpret_cast<intptr_t>(pFlowControlMsg)),
                  static_cast<long>(*pMsgID));
        FilterStart start{ChannelID, FilterType, pMaskMsg, pPatternMsg, pFlowControlMsg};
        if (int32_t rc = check_start(start); rc != STATUS_NOERROR)
            return rc;
        if (int32_t rc = build_start(start); rc != STATUS_NOERROR)
            return rc;
        if (int32_t rc = commit_start(start); rc != STATUS_NOERROR)
            return rc;
        *pMsgID = start.slot;
        return STATUS_NOERROR;
    });
}

extern "C" int32_t PassThruStopMsgFilter(uint32_t ChannelID, uint32_t MsgID)
{
    return Guarded(__func__, [&] { return StopMsgFilter(ChannelID, MsgID); });
}
