// periodic_msgs.cpp - the periodic slot table and the five periodic calls.
// Owns: jmsg_periodic_msg.  Writes iso15765_tx_data_length of a setup block
// (padded messages with FD_TX_LENGTH_IN_MSG) and Data[2] of the caller's
// message (the start's 11-bit rule).
#include "passthru/periodic_msgs.h"

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/transmit/periodic_frame.h"
#include "passthru/transmit/tx_frame.h"

namespace tenq {

JMSG jmsg_periodic_msg[kPeriodicSlots];

namespace {

// The entry checks and error texts of each call.
struct CallTexts {
    EntryCheck entry;
    const char *invalid_channel;
    const char *failed;
};

// clang-format off
constexpr CallTexts kStart{
    {.call = "PassThruStartPeriodicMsg",
     .not_connected = "PassThruStartPeriodic device not connected",
     .null_parameter = "PassThruStartPeriodic null pointer to message or message ID"},
    "PassThruStartPeriodic invalid channel ID", "PassThruStartPeriodicMsg failed"};
constexpr CallTexts kUpdate{
    {.call = "PassThruUpdatePeriodicMsg",
     .not_connected = "PassThruUpdatePeriodic device not connected",
     .null_parameter = "PassThruUpdatePeriodicMsg null pointer to message"},
    "PassThruUpdatePeriodicMsg invalid channel ID", "PassThruUpdatePeriodicMsg failed"};
constexpr CallTexts kStop{
    {.call = "PassThruStopPeriodicMsg", .not_connected = "PassThruStopPeriodic device not connected"},
    "PassThruStopPeriodic invalid channel ID", "PassThruStopPeriodicMsg failed"};
constexpr CallTexts kSuspend{{.call = "PassThruSuspendPeriodic"},
                             "PassThruSuspendPeriodic invalid channel ID",
                             "PassThruSuspendPeriodic failed"};
constexpr CallTexts kResume{{.call = "PassThruResumePeriodic"},
                            "PassThruResumePeriodic invalid channel ID",
                            "PassThruResumePeriodic failed"};
// clang-format on

int32_t send(const JMSG &frame, const CallTexts &texts)
{
    if (JmsgSendMsgs(&frame, 1, kPeriodicSendTimeout) != 0)
        return Refuse(texts.failed, ERR_FAILED);
    return STATUS_NOERROR;
}

// A used slot of another device is running in the adapter for that device;
// taking it over or freeing it here would lose it.
bool used_by_other_device(uint32_t MsgID, uint8_t dev)
{
    const JMSG &slot = jmsg_periodic_msg[MsgID];
    return slot.size != 0 && slot.dev != dev;
}

uint8_t pad_target(uint32_t ChannelID, const PASSTHRU_MSG &msg)
{
    const ChannelInfo *ch = FindChannel(ChannelID);
    return ch != nullptr && ch->can_setup != nullptr ? PadTargetLength(*ch->can_setup, msg) : 0;
}

void keep_pad_target(uint32_t ChannelID, const PASSTHRU_MSG &msg)
{
    const ChannelInfo *ch = FindChannel(ChannelID);
    if (ch != nullptr && ch->kind == ChannelKind::Iso15765)
        KeepPadTargetLength(*ch->can_setup, msg);
}

int32_t build_failed(int32_t rc, const CallTexts &texts, const char *too_long)
{
    if (rc == ERR_INVALID_CHANNEL_ID)
        return Refuse(texts.invalid_channel, ERR_INVALID_CHANNEL_ID);
    return Refuse(too_long, rc);
}

int32_t suspend_or_resume(uint32_t ChannelID, uint8_t flag, const CallTexts &texts,
                          const char *name)
{
    if (int32_t rc = CheckEntry(texts.entry, ChannelID); rc != 0)
        return rc;
    const uint8_t dev = ChannelDevice(ChannelID);
    // The call has one argument; the second number shows the device it goes to.
    DbgPrintf(DBG_API, "%s(%ld, %ld)", name, static_cast<long>(ChannelID), static_cast<long>(dev));
    if (dev == 0)
        return Refuse(texts.invalid_channel, ERR_INVALID_CHANNEL_ID);
    JMSG frame;
    EmptyWriteFrame(frame, 0, dev, JMSG_TYPE_PLAIN);
    frame.flags = flag;
    return send(frame, texts);
}

}  // namespace

int32_t StopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID)
{
    if (int32_t rc = CheckEntry(kStop.entry, ChannelID); rc != 0)
        return rc;
    DbgPrintf(DBG_API, "PassThruStopPeriodicMsg(%ld, %ld)", static_cast<long>(ChannelID),
              static_cast<long>(MsgID));
    if (MsgID >= kPeriodicSlots)
        return Refuse("PassThruStopPeriodicMsg invalid message ID", ERR_INVALID_MSG_ID);
    const uint8_t dev = ChannelDevice(ChannelID);
    if (dev == 0)
        return Refuse(kStop.invalid_channel, ERR_INVALID_CHANNEL_ID);
    if (used_by_other_device(MsgID, dev))
        return Refuse("PassThruStopPeriodicMsg message ID belongs to another channel",
                      ERR_INVALID_MSG_ID);
    JMSG frame;
    EmptyWriteFrame(frame, static_cast<uint8_t>(MsgID), dev, JMSG_TYPE_PERIODIC);
    if (int32_t rc = send(frame, kStop); rc != 0)
        return rc;
    jmsg_periodic_msg[MsgID] = frame;
    return STATUS_NOERROR;
}

void StopPeriodicSlotsOf(uint32_t ChannelID, bool used_only)
{
    const uint8_t dev = ChannelDevice(ChannelID);
    for (uint32_t slot = 0; slot < kPeriodicSlots; ++slot) {
        const JMSG &frame = jmsg_periodic_msg[slot];
        if (frame.dev == dev && (!used_only || frame.size != 0))
            StopPeriodicMsg(ChannelID, slot);
    }
}

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruStartPeriodicMsg(uint32_t ChannelID, PASSTHRU_MSG *pMsg,
                                            uint32_t *pMsgID, uint32_t TimeInterval)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry(kStart.entry, ChannelID, pMsg != nullptr && pMsgID != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruStartPeriodicMsg(%ld, pMsg, %ld, %ld)",
                  static_cast<long>(ChannelID), static_cast<long>(*pMsgID),
                  static_cast<long>(TimeInterval));
        uint32_t slot = 0;
        while (slot < kPeriodicSlots && jmsg_periodic_msg[slot].size != 0)
            ++slot;
        if (slot == kPeriodicSlots)
            return Refuse("PassThruStartPeriodic exceeded periodic message limit",
                          ERR_EXCEEDED_LIMIT);

        // Everything is checked before the caller's message or the channel changes.
        JMSG frame;
        const int32_t rc =
            BuildPeriodicFrame(ChannelID, *pMsg, static_cast<uint8_t>(slot), TimeInterval,
                               pad_target(ChannelID, *pMsg), true, frame);
        if (rc != STATUS_NOERROR)
            return build_failed(rc, kStart, "PassThruStartPeriodic message does not fit a frame");
        if (ElevenBitRuleApplies(ChannelID, pMsg->TxFlags))
            pMsg->Data[2] = frame.data[0];
        keep_pad_target(ChannelID, *pMsg);

        if (int32_t sent = send(frame, kStart); sent != 0)
            return sent;
        jmsg_periodic_msg[slot] = frame;
        *pMsgID = slot;
        return STATUS_NOERROR;
    });
}

extern "C" int32_t PassThruUpdatePeriodicMsg(uint32_t ChannelID, const PASSTHRU_MSG *pMsg,
                                             uint32_t MsgID, uint32_t TimeInterval)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry(kUpdate.entry, ChannelID, pMsg != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruUpdatePeriodicMsg(%ld, pMsg, %ld, %ld)",
                  static_cast<long>(ChannelID), static_cast<long>(MsgID),
                  static_cast<long>(TimeInterval));
        if (MsgID >= kPeriodicSlots)
            return Refuse("PassThruUpatePeriodicMsg exceeded periodic message limit",
                          ERR_EXCEEDED_LIMIT);
        const uint8_t dev = ChannelDevice(ChannelID);
        if (dev == 0)
            return Refuse(kUpdate.invalid_channel, ERR_INVALID_CHANNEL_ID);
        if (used_by_other_device(MsgID, dev))
            return Refuse("PassThruUpdatePeriodicMsg message ID belongs to another channel",
                          ERR_INVALID_MSG_ID);

        JMSG frame;
        const int32_t rc =
            BuildPeriodicFrame(ChannelID, *pMsg, static_cast<uint8_t>(MsgID), TimeInterval,
                               pad_target(ChannelID, *pMsg), false, frame);
        if (rc != STATUS_NOERROR)
            return build_failed(rc, kUpdate,
                                "PassThruUpdatePeriodicMsg message does not fit a frame");
        keep_pad_target(ChannelID, *pMsg);

        if (int32_t sent = send(frame, kUpdate); sent != 0)
            return sent;
        jmsg_periodic_msg[MsgID] = frame;
        return STATUS_NOERROR;
    });
}

extern "C" int32_t PassThruStopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID)
{
    return Guarded(__func__, [&] { return StopPeriodicMsg(ChannelID, MsgID); });
}

extern "C" int32_t PassThruSuspendPeriodic(uint32_t ChannelID)
{
    return Guarded(__func__, [&] {
        return suspend_or_resume(ChannelID, JMSG_FLAG_SUSPEND, kSuspend, "PassThruSuspendPeriodic");
    });
}

extern "C" int32_t PassThruResumePeriodic(uint32_t ChannelID)
{
    return Guarded(__func__, [&] {
        return suspend_or_resume(ChannelID, JMSG_FLAG_RESUME, kResume, "PassThruResumePeriodic");
    });
}
