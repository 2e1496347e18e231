// ioctl.cpp - PassThruIoctl: the entry checks, the dispatch by identifier,
// and the controls that are one frame or one flag: the buffer, periodic and
// filter clears, the timer, the time-stamp unit and the D2 flow control.
// Touches: TimestampMsec; the clears go through the receive-clear, periodic
// and filter code.
#include "passthru/ioctl/ioctl.h"
#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/filter_table.h"
#include "passthru/guarded_call.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/link.h"
#include "passthru/msg_filters.h"
#include "passthru/options.h"
#include "passthru/periodic_msgs.h"
#include "passthru/receive/rx_clear.h"

namespace tenq {

namespace {

// Setup-frame flag of CAN_D2_FLOW_CONTROL; every other setup frame sends 0.
constexpr uint8_t kSetupD2FlowControl = 0x80;

// Analogue inputs as the adapter numbers them.
constexpr uint8_t kAdcProgVoltage = 0;
constexpr uint8_t kAdcVbatt = 1;
constexpr uint8_t kAdcCh2 = 2;
constexpr uint8_t kAdcCh3 = 3;
constexpr uint8_t kAdcCh1 = 4;

struct IoctlCall {
    uint32_t ChannelID;
    uint8_t device;  // the channel's device code; 0 for none
    void *pInput;
    void *pOutput;
};

int32_t not_supported(const IoctlCall &)
{
    DbgMsg(DBG_ERROR, "Ioctl function not supported");
    return ERR_NOT_SUPPORTED;
}

int32_t clear_tx_buffer(const IoctlCall &c)
{
    DbgMsg(DBG_API, "  CLEAR_TX_BUFFER");
    // Frames handed to the adapter are on their way; there is nothing left to drop.
    if (c.device == 0) {
        DbgMsg(DBG_ERROR, "Invalid channel ID for CLEAR_TX_BUFFER");
        return ERR_INVALID_CHANNEL_ID;
    }
    return STATUS_NOERROR;
}

// Stopped periodic slots keep their device code, so they are stopped again:
// the adapter hears of every slot the channel ever used.  A call without a
// channel (ChannelID 0) owns no slot: free slots carry device code 0 too.
int32_t clear_periodic_msgs(const IoctlCall &c)
{
    DbgMsg(DBG_API, "  CLEAR_PERIODIC_MSGS");
    if (c.device != 0)
        StopPeriodicSlotsOf(c.ChannelID, false);
    return STATUS_NOERROR;
}

int32_t clear_msg_filters(const IoctlCall &c)
{
    DbgMsg(DBG_API, "  CLEAR_MSG_FILTERS");
    if (c.device != 0)
        StopFilterSlotsOf(c.ChannelID);
    return STATUS_NOERROR;
}

int32_t reset_timer(const IoctlCall &)
{
    DbgMsg(DBG_API, "  RESET_TIMER");
    // The timer bit goes alone: this frame does not restate the loopback or
    // message-trigger options.
    if (JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_OPTIONS, kOptionResetTimer, 0, nullptr,
                    0) != 0)
        DbgMsg(DBG_ERROR, "Cannot RESET_TIMER");
    return STATUS_NOERROR;
}

int32_t timestamp_msec(const IoctlCall &)
{
    DbgMsg(DBG_API, "  TIMESTAMP_MSEC");
    TimestampMsec = 1;
    return STATUS_NOERROR;
}

int32_t timestamp_usec(const IoctlCall &)
{
    DbgMsg(DBG_API, "  TIMESTAMP_USEC");
    TimestampMsec = 0;
    return STATUS_NOERROR;
}

int32_t can_d2_flow_control(const IoctlCall &c)
{
    DbgMsg(DBG_API, "  CAN_D2_FLOW_CONTROL");
    const ChannelInfo *ch = FindChannel(c.ChannelID);
    if (ch == nullptr || ch->kind != ChannelKind::Can)
        return ERR_INVALID_PROTOCOL_ID;
    if (SendSetupBlock(c.device, *ch->can_setup, kSetupD2FlowControl) != 0)
        DbgMsg(DBG_ERROR, "Cannot setup CAN_D2_FLOW_CONTROL");
    return STATUS_NOERROR;
}

uint32_t *word(void *p)
{
    return static_cast<uint32_t *>(p);
}

struct IoctlEntry {
    uint32_t id;
    bool channel_test;  // the channel must be connected (unless ChannelID is 0)
    int32_t (*run)(const IoctlCall &);
};

// Every identifier the library knows; any other is not supported after the
// channel test.  The adapter's own inputs and outputs and the information
// tables need no channel.
// clang-format off
const IoctlEntry kIoctls[] = {
    {0, true, not_supported},
    {GET_CONFIG, true, [](const IoctlCall &c) {
        return IoctlGetConfig(c.ChannelID, static_cast<SCONFIG_LIST *>(c.pInput)); }},
    {SET_CONFIG, true, [](const IoctlCall &c) {
        return IoctlSetConfig(c.ChannelID, static_cast<SCONFIG_LIST *>(c.pInput)); }},
    {READ_VBATT, false, [](const IoctlCall &c) {
        return IoctlReadAnalog("  READ_VBATT", kAdcVbatt, word(c.pOutput)); }},
    {FIVE_BAUD_INIT, true, [](const IoctlCall &c) {
        return IoctlFiveBaudInit(c.ChannelID, static_cast<SBYTE_ARRAY *>(c.pInput),
                                 static_cast<SBYTE_ARRAY *>(c.pOutput)); }},
    {FAST_INIT, true, [](const IoctlCall &c) {
        return IoctlFastInit(c.ChannelID, static_cast<PASSTHRU_MSG *>(c.pInput),
                             static_cast<PASSTHRU_MSG *>(c.pOutput)); }},
    {6, true, not_supported},
    {CLEAR_TX_BUFFER, true, clear_tx_buffer},
    // The filter calls clear with null records too, so none is looked at.
    {CLEAR_RX_BUFFER, true, [](const IoctlCall &c) { return ClearRxBuffer(c.ChannelID); }},
    {CLEAR_PERIODIC_MSGS, true, clear_periodic_msgs},
    {CLEAR_MSG_FILTERS, true, clear_msg_filters},
    {CLEAR_FUNCT_MSG_LOOKUP_TABLE, true, not_supported},
    {ADD_TO_FUNCT_MSG_LOOKUP_TABLE, true, not_supported},
    {DELETE_FROM_FUNCT_MSG_LOOKUP_TABLE, true, not_supported},
    {READ_PROG_VOLTAGE, false, [](const IoctlCall &c) {
        return IoctlReadAnalog("  READ_PROG_VOLTAGE", kAdcProgVoltage, word(c.pOutput)); }},
    {GET_DEVICE_INFO, false, [](const IoctlCall &c) {
        return IoctlGetDeviceInfo(static_cast<SPARAM_LIST *>(c.pOutput)); }},
    {GET_PROTOCOL_INFO, false, [](const IoctlCall &c) {
        return IoctlGetProtocolInfo(static_cast<SPARAM_LIST *>(c.pOutput)); }},
    {READ_CH1_VOLTAGE, false, [](const IoctlCall &c) {
        return IoctlReadAnalog("  READ_CH1_VOLTAGE", kAdcCh1, word(c.pOutput)); }},
    {READ_CH2_VOLTAGE, false, [](const IoctlCall &c) {
        return IoctlReadAnalog("  READ_CH2_VOLTAGE", kAdcCh2, word(c.pOutput)); }},
    {READ_CH3_VOLTAGE, false, [](const IoctlCall &c) {
        return IoctlReadAnalog("  READ_CH3_VOLTAGE", kAdcCh3, word(c.pOutput)); }},
    {READ_CH4_VOLTAGE, false, not_supported},
    {READ_CH5_VOLTAGE, false, not_supported},
    {WRITE_LCD_TEST, false, [](const IoctlCall &) { return IoctlWriteLcdTest(); }},
    {READ_CH7_VOLTAGE, false, not_supported},
    {READ_CH8_VOLTAGE, false, not_supported},
    {RESET_TIMER, false, reset_timer},
    {TIMESTAMP_MSEC, false, timestamp_msec},
    {TIMESTAMP_USEC, false, timestamp_usec},
    {CAN_D2_FLOW_CONTROL, true, can_d2_flow_control},
    {READ_DIO1, false, [](const IoctlCall &c) {
        return IoctlReadDigital("  READ_DIO1", 1, word(c.pOutput)); }},
    {READ_DIO2, false, [](const IoctlCall &c) {
        return IoctlReadDigital("  READ_DIO2", 2, word(c.pOutput)); }},
    {WRITE_DIO1, false, [](const IoctlCall &c) {
        return IoctlWriteDigital("  WRITE_DIO1", 1, word(c.pInput)); }},
    {WRITE_DIO2, false, [](const IoctlCall &c) {
        return IoctlWriteDigital("  WRITE_DIO2", 2, word(c.pInput)); }},
    {RESERVED_10500, false, not_supported},
    {RESERVED_10501, false, not_supported},
};
// clang-format on

const IoctlEntry *find_ioctl(uint32_t id)
{
    for (const IoctlEntry &e : kIoctls) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruIoctl(uint32_t ChannelID, uint32_t IoctlID, void *pInput, void *pOutput)
{
    return Guarded(__func__, [&] {
        constexpr EntryCheck kEntry{"PassThruIoctl"};
        if (int32_t rc = CheckAdapter(kEntry); rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruIoctl(%ld, %ld, pInput, pOutput)", LdArg(ChannelID),
                  LdArg(IoctlID));
        const IoctlEntry *entry = find_ioctl(IoctlID);
        const bool channel_test = entry == nullptr || entry->channel_test;
        if (channel_test && ChannelID != 0) {
            if (int32_t rc = CheckChannel(kEntry, ChannelID); rc != STATUS_NOERROR)
                return rc;
        }
        const IoctlCall call{ChannelID, ChannelDevice(ChannelID), pInput, pOutput};
        return entry != nullptr ? entry->run(call) : not_supported(call);
    });
}
