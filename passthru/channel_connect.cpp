// channel_connect.cpp - PassThruConnect (both API variants) and PassThruDisconnect.
// Sets and clears bits of ChannelStatus; writes the setup blocks,
// ISO9141NoChecksum and the Connect flags, fill and overflow flag of the
// receive rings; resets the K-line reception.
#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/entry_check.h"
#include "passthru/filter_table.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/msg_filters.h"
#include "passthru/periodic_msgs.h"
#include "passthru/receive/kline_rx.h"
#include "platform/ticks.h"

namespace tenq {

namespace {

constexpr uint8_t JMSG_FLAG_PASSIVE = 0x20;  // start flag: listen only
// Time the adapter takes to stop a device and report it.
constexpr uint32_t kStopReportWaitMs = 50;

#ifdef TENQ_OLD_API
// The older API has no baud-rate argument: the buses start at their usual
// rates, and the CAN blocks reach the adapter only through configuration.
constexpr uint32_t kOldApiCanBaudRate = 500000;
constexpr uint32_t kOldApiKLineBaudRate = 10400;
constexpr bool kSendCanSetupAtConnect = false;
#else
constexpr bool kSendCanSetupAtConnect = true;
#endif

constexpr uint32_t kUnsupportedProtocols[] = {J1850VPW,    J1850PWM,     SCI_A_ENGINE,
                                              SCI_A_TRANS, SCI_B_ENGINE, SCI_B_TRANS};

bool unsupported(uint32_t ChannelID)
{
    for (uint32_t p : kUnsupportedProtocols) {
        if (p == ChannelID)
            return true;
    }
    return false;
}

void connect_kline(const ChannelInfo &ch, uint32_t Flags, uint32_t baud_rate)
{
    SetIsoConnectDefaults(*ch.iso_setup, baud_rate, Flags);
    ISO9141NoChecksum = (Flags & ISO9141_NO_CHECKSUM) ? 1 : 0;
    if (SendSetupBlock(ch.unit, *ch.iso_setup) != 0)
        DbgMsg(DBG_ERROR, ch.setup_failure);
}

void connect_can(const ChannelInfo &ch, uint32_t baud_rate)
{
    SetCanConnectDefaults(*ch.can_setup, baud_rate, ch.kind == ChannelKind::Iso15765);
    if (!kSendCanSetupAtConnect)
        return;
    if (SendSetupBlock(ch.unit, *ch.can_setup) != 0)
        DbgMsg(DBG_ERROR, ch.setup_failure);
}

// Steps common to both API variants, after the arguments were checked and
// the call logged.
int32_t connect_channel(uint32_t ChannelID, uint32_t Flags, uint32_t can_baud_rate,
                        uint32_t kline_baud_rate, uint32_t *pChannelID)
{
    if (unsupported(ChannelID)) {
        DbgMsg(DBG_ERROR, "PassThruConnect protocol not supported");
        return ERR_NOT_SUPPORTED;
    }
    const ChannelInfo *ch = FindChannel(ChannelID);
    if (ch == nullptr) {
        DbgPrintf(DBG_ERROR, "PassThruConnect invalid protocol ID (%ld)",
                  static_cast<long>(ChannelID));
        return ERR_INVALID_PROTOCOL_ID;
    }
    RxRing &ring = *ch->ring;
    ring.Flags = Flags;
    // A new connection starts clean: a loss reported on the old one is not
    // its loss, nor is the rest of a K-line message the old one was dropping.
    RingReset(ring);
    ring.Overflow = 0;
    if (ch->kind == ChannelKind::KLine) {
        KLineResetReception();
        connect_kline(*ch, Flags, kline_baud_rate);
    } else {
        connect_can(*ch, can_baud_rate);
    }

    const uint8_t start_flags = (Flags & CAN_PASSIVE) ? JMSG_FLAG_PASSIVE : 0;
    const int32_t rc =
        JmsgSendCmd(ch->device, JMSG_DEV_START, JMSG_TYPE_PLAIN, start_flags, 0, nullptr, 0);
    if (rc != 0) {
        DbgPrintf(DBG_ERROR, "PassThruConnect: JmsgSendCmd returned %ld", static_cast<long>(rc));
        return ERR_FAILED;
    }
    *pChannelID = ChannelID;
    MarkChannelConnected(ChannelID);
    // Whatever an earlier user of the device left in the adapter goes.
    StopPeriodicSlotsOf(ChannelID, false);
    StopFilterSlotsOf(ChannelID);
    return STATUS_NOERROR;
}

// The search's failure is answered without a line of the call's own.
constexpr EntryCheck kConnectEntry{.call = "PassThruConnect",
                                   .null_parameter = "PassThruConnect null pointer to channel ID",
                                   .silent_not_connected = true};

// Step shared by both variants before the call is logged.
bool channel_in_use(uint32_t ChannelID)
{
    if (ChannelDevice(ChannelID) == 0 || !ChannelConnected(ChannelID))
        return false;
    DbgPrintf(DBG_ERROR, "PassThruConnect channel %ld in use", static_cast<long>(ChannelID));
    return true;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

#ifdef TENQ_OLD_API
extern "C" int32_t PassThruConnect(uint32_t ProtocolID, uint32_t Flags, uint32_t *pChannelID)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry(kConnectEntry, pChannelID != nullptr); rc != STATUS_NOERROR)
            return rc;
        const uint32_t ChannelID = MapProtocolId(ProtocolID, Flags);
        if (channel_in_use(ChannelID))
            return ERR_CHANNEL_IN_USE;
        *pChannelID = 0;
        DbgPrintf(DBG_API, "PassThruConnect(%ld, %08X, pChID)", static_cast<long>(ChannelID),
                  static_cast<unsigned>(Flags));
        return connect_channel(ChannelID, Flags, kOldApiCanBaudRate, kOldApiKLineBaudRate,
                               pChannelID);
    });
}
#else
extern "C" int32_t PassThruConnect(uint32_t DeviceID, uint32_t ProtocolID, uint32_t Flags,
                                   uint32_t BaudRate, uint32_t *pChannelID)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry(kConnectEntry, pChannelID != nullptr); rc != STATUS_NOERROR)
            return rc;
        if (!DeviceIdValid(DeviceID))
            return ERR_INVALID_DEVICE_ID;
        const uint32_t ChannelID = MapProtocolId(ProtocolID, Flags);
        if (channel_in_use(ChannelID))
            return ERR_CHANNEL_IN_USE;
        *pChannelID = 0;
        DbgPrintf(DBG_API, "PassThruConnect(%ld, %ld, %08X, %ld, pChID)",
                  static_cast<long>(DeviceID), static_cast<long>(ChannelID),
                  static_cast<unsigned>(Flags), static_cast<long>(BaudRate));
        return connect_channel(ChannelID, Flags, BaudRate, BaudRate, pChannelID);
    });
}
#endif

extern "C" int32_t PassThruDisconnect(uint32_t ChannelID)
{
    return Guarded(__func__, [&] {
        if (int32_t rc =
                CheckEntry({.call = "PassThruDisconnect", .bad_channel_shows_id = true}, ChannelID);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruDisconnect(%ld)", static_cast<long>(ChannelID));
        const uint8_t dev = ChannelDevice(ChannelID);
        if (dev == 0)
            return Refuse("PassThruDisconnect invalid channel ID", ERR_INVALID_CHANNEL_ID);
        StopPeriodicSlotsOf(ChannelID, true);
        StopFilterSlotsOf(ChannelID);
        MarkChannelDisconnected(ChannelID);
        if (FindChannel(ChannelID)->kind == ChannelKind::KLine)
            KLineResetReception();
        const int32_t rc = JmsgSendCmd(dev, JMSG_DEV_STOP, JMSG_TYPE_PLAIN, 0, 0, nullptr, 0);
        if (rc != 0) {
            DbgPrintf(DBG_ERROR, "PassThruDisconnect: JmsgSendCmd returned %ld",
                      static_cast<long>(rc));
            return ERR_FAILED;
        }
        // Takes in the adapter's stop report.
        platform::sleep_ms(kStopReportWaitMs);
        JmsgReceiveMsgs();
        return STATUS_NOERROR;
    });
}
