// config_params.cpp - GET_CONFIG and SET_CONFIG: the table of configuration
// parameters, the channels each one is valid on, and the frame that carries
// a change to the adapter.
// Touches: CANSetup, MSCANSetup, ISO9141Setup and the option flags.
#include <cstddef>
#include <cstring>

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/ioctl/ioctl.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/link.h"
#include "passthru/options.h"

namespace tenq {

namespace {

// Which channels accept a parameter, and so which frame a change sends.
enum class Group : uint8_t {
    Rate,           // every channel: its unit's block
    CanController,  // CAN and ISO 15765 channels: the controller's block, to its CAN device
    Iso15765,       // ISO 15765 channels: the controller's block, to its ISO 15765 device
    KLine,          // the K-line channels
    Pins,           // the second controller's channels
    Option,         // any channel that passed the entry checks
};

// How a value passes between the API and the field or flag.
enum class Conv : uint8_t {
    Plain,        // the low bits that fit the field
    HalfMs,       // P times: the 04.04 API counts half milliseconds, the adapter whole ones
    Zero,         // FIVE_BAUD_MOD: only mode 0 is offered
    Flag,         // 1 is on, any other value off
    NonZeroFlag,  // 0 is off, any other value on
};

// What a parameter checks before it changes anything.
enum class Check : uint8_t { None, NonZeroRate, NotBelowNominal, J1962Pins, FiveBaudMod };

// The frame that tells the adapter of a change.
enum class Carrier : uint8_t { None, Block, Option0, Option7 };

// Which send-failure line a parameter writes.
enum class FailLine : uint8_t {
    Block,   // "Cannot set <block> <name>"
    Ioctl,   // "PassThruIoctl(<name>) failed"
    Option,  // "Cannot set/clear <name> option"
};

// A field of a setup block by position; width 0 means the parameter has none.
struct Field {
    uint8_t offset;
    uint8_t width;
};
#define CAN_FIELD(f)                                                                               \
    Field                                                                                          \
    {                                                                                              \
        offsetof(CAN_SETUP, f), sizeof(CAN_SETUP::f)                                               \
    }
#define ISO_FIELD(f)                                                                               \
    Field                                                                                          \
    {                                                                                              \
        offsetof(ISO_SETUP, f), sizeof(ISO_SETUP::f)                                               \
    }
constexpr Field kNoField{0, 0};

struct ConfigParam {
    uint32_t id;
    const char *name;  // GET line and channel-error line
    Group group;
    Field can;       // field in CANSetup / MSCANSetup
    Field iso;       // field in ISO9141Setup
    uint32_t *flag;  // option flag, or nullptr
    Conv conv;
    Check check;
    bool gettable;
    const char *set_line;  // format of the SET line, with the value; nullptr: none
    Carrier carrier;
    uint8_t option7_bit;    // Option7: the bit this parameter owns
    bool option7_when_off;  // Option7: the bit is sent while the flag is 0
    FailLine fail;
    const char *fail_name;  // name in the send-failure line
};

constexpr uint16_t kJ1962KLinePins = 0x030B;  // pins 3 and 11, the only pair the adapter offers

// Every supported parameter; anything not here is refused by both controls.
// clang-format off
const ConfigParam kParams[] = {
    {DATA_RATE, "DATA_RATE", Group::Rate, CAN_FIELD(baud_rate), ISO_FIELD(baud_rate), nullptr,
     Conv::Plain, Check::NonZeroRate, true, " DATA_RATE = %d", Carrier::Block, 0, false, FailLine::Block, "DATA_RATE"},
    {LOOPBACK, "LOOPBACK", Group::Option, kNoField, kNoField, &loopback_flag,
     Conv::Flag, Check::None, true, "  LOOPBACK", Carrier::Option0, 0, false, FailLine::Option, "LOOPBACK"},
    {NODE_ADDRESS, "NODE_ADDRESS", Group::KLine, kNoField, ISO_FIELD(init_address), nullptr,
     Conv::Plain, Check::None, true, "  NODE_ADDRESS = %02X", Carrier::Block, 0, false, FailLine::Ioctl, "NODE_ADDRESS"},
    {P1_MIN, "P1_MIN", Group::KLine, kNoField, ISO_FIELD(p1_min), nullptr,
     Conv::HalfMs, Check::None, true, " P1_MIN = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P1_MIN"},
    {P1_MAX, "P1_MAX", Group::KLine, kNoField, ISO_FIELD(p1_max), nullptr,
     Conv::HalfMs, Check::None, true, " P1_MAX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P1_MAX"},
    {P2_MIN, "P2_MIN", Group::KLine, kNoField, ISO_FIELD(p2_min), nullptr,
     Conv::HalfMs, Check::None, true, " P2_MIN = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P2_MIN"},
    {P2_MAX, "P2_MAX", Group::KLine, kNoField, ISO_FIELD(p2_max), nullptr,
     Conv::HalfMs, Check::None, true, " P2_MAX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P2_MAX"},
    {P3_MIN, "P3_MIN", Group::KLine, kNoField, ISO_FIELD(p3_min), nullptr,
     Conv::HalfMs, Check::None, true, " P3_MIN = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P3_MIN"},
    {P3_MAX, "P3_MAX", Group::KLine, kNoField, ISO_FIELD(p3_max), nullptr,
     Conv::HalfMs, Check::None, true, " P3_MAX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P3_MAX"},
    {P4_MIN, "P4_MIN", Group::KLine, kNoField, ISO_FIELD(p4_min), nullptr,
     Conv::HalfMs, Check::None, true, " P4_MIN = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P4_MIN"},
    {P4_MAX, "P4_MAX", Group::KLine, kNoField, ISO_FIELD(p4_max), nullptr,
     Conv::HalfMs, Check::None, true, " P4_MAX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "P4_MAX"},
    {W1, "W1", Group::KLine, kNoField, ISO_FIELD(w1_max), nullptr,
     Conv::Plain, Check::None, true, " W1 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W1"},
    {W2, "W2", Group::KLine, kNoField, ISO_FIELD(w2_max), nullptr,
     Conv::Plain, Check::None, true, " W2 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W2"},
    {W3, "W3", Group::KLine, kNoField, ISO_FIELD(w3_max), nullptr,
     Conv::Plain, Check::None, true, " W3 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W3"},
    {W4, "W4", Group::KLine, kNoField, ISO_FIELD(w4_min), nullptr,
     Conv::Plain, Check::None, true, " W4 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W4"},
    // TIDLE is W5 under its ISO 14230 name: one field, one set of lines.
    {W5, "W5", Group::KLine, kNoField, ISO_FIELD(w5_min), nullptr,
     Conv::Plain, Check::None, true, " W5 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W5/TIDLE"},
    {TIDLE, "W5", Group::KLine, kNoField, ISO_FIELD(w5_min), nullptr,
     Conv::Plain, Check::None, true, " W5 = %d", Carrier::Block, 0, false, FailLine::Ioctl, "W5/TIDLE"},
    {TINIL, "TINIL", Group::KLine, kNoField, ISO_FIELD(tini_l), nullptr,
     Conv::Plain, Check::None, true, " TINIL = %d", Carrier::Block, 0, false, FailLine::Ioctl, "TINIL"},
    {TWUP, "TWUP", Group::KLine, kNoField, ISO_FIELD(twup), nullptr,
     Conv::Plain, Check::None, true, " TWUP = %d", Carrier::Block, 0, false, FailLine::Ioctl, "TWUP"},
    {PARITY, "PARITY", Group::KLine, kNoField, ISO_FIELD(parity), nullptr,
     Conv::Plain, Check::None, true, " PARITY = %d", Carrier::Block, 0, false, FailLine::Ioctl, "PARITY"},
    {BIT_SAMPLE_POINT, "BIT_SAMPLE_POINT", Group::CanController, CAN_FIELD(bit_sample_point_percent), kNoField, nullptr,
     Conv::Plain, Check::None, true, " BIT_SAMPLE_POINT = %d", Carrier::Block, 0, false, FailLine::Ioctl, "BIT_SAMPLE_POINT"},
    {SYNC_JUMP_WIDTH, "SYNC_JUMP_WIDTH", Group::CanController, CAN_FIELD(sync_jump_width_percent), kNoField, nullptr,
     Conv::Plain, Check::None, true, " SYNC_JUMP_WIDTH = %d", Carrier::Block, 0, false, FailLine::Ioctl, "SYNC_JUMP_WIDTH"},
    {ISO15765_BS, "ISO15765_BS", Group::Iso15765, CAN_FIELD(iso15765_block_size), kNoField, nullptr,
     Conv::Plain, Check::None, true, " ISO15765_BS = %d", Carrier::Block, 0, false, FailLine::Ioctl, "ISO15765_BS"},
    {ISO15765_STMIN, "ISO15765_STMIN", Group::Iso15765, CAN_FIELD(iso15765_separation_time), kNoField, nullptr,
     Conv::Plain, Check::None, true, " ISO15765_STMIN = %d", Carrier::Block, 0, false, FailLine::Ioctl, "ISO15765_STMIN"},
    {DATA_BITS, "DATA_BITS", Group::KLine, kNoField, ISO_FIELD(data_bits), nullptr,
     Conv::Plain, Check::None, true, " DATA_BITS = %d", Carrier::Block, 0, false, FailLine::Ioctl, "DATA_BITS"},
    {FIVE_BAUD_MOD, "FIVE_BAUD_MOD", Group::KLine, kNoField, kNoField, nullptr,
     Conv::Zero, Check::FiveBaudMod, true, " FIVE_BAUD_MOD = %d", Carrier::None, 0, false, FailLine::Ioctl, "FIVE_BAUD_MOD"},
    {BS_TX, "BS_TX", Group::Iso15765, CAN_FIELD(iso15765_bs_tx_override), kNoField, nullptr,
     Conv::Plain, Check::None, true, " BS_TX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "BS_TX"},
    {STMIN_TX, "STMIN_TX", Group::Iso15765, CAN_FIELD(iso15765_stmin_tx_override), kNoField, nullptr,
     Conv::Plain, Check::None, true, " STMIN_TX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "STMIN_TX"},
    {ISO15765_WFT_MAX, "ISO15765_WFT_MAX", Group::Iso15765, CAN_FIELD(iso15765_wft_max), kNoField, nullptr,
     Conv::Plain, Check::None, true, " WFT_MAX = %d", Carrier::Block, 0, false, FailLine::Ioctl, "ISO15765_WFT_MAX"},
    {ISO15765_PAD_VALUE, "ISO15765_PAD_VALUE", Group::Iso15765, CAN_FIELD(iso15765_pad_value), kNoField, nullptr,
     Conv::Plain, Check::None, true, " PAD_VALUE = %d", Carrier::Block, 0, false, FailLine::Ioctl, "ISO15765_PAD_VALUE"},
    {CAN_MIXED_FORMAT, "CAN_MIXED_FORMAT", Group::Option, kNoField, kNoField, &can_mixed_format_flag,
     Conv::NonZeroFlag, Check::None, false, nullptr, Carrier::None, 0, false, FailLine::Option, "CAN_MIXED_FORMAT"},
    {J1962_PINS, "J1962_PINS", Group::Pins, kNoField, kNoField, nullptr,
     Conv::Plain, Check::J1962Pins, false, nullptr, Carrier::None, 0, false, FailLine::Ioctl, "J1962_PINS"},
    {FD_CAN_DATA_PHASE_RATE, "FD_CAN_DATA_PHASE_RATE", Group::CanController, CAN_FIELD(fd_baud_rate), kNoField, nullptr,
     Conv::Plain, Check::NotBelowNominal, true, " FD_CAN_DATA_PHASE_RATE = %d", Carrier::Block, 0, false, FailLine::Block, "FD_CAN_DATA_PHASE_RATE"},
    {FD_ISO15765_TX_DATA_LENGTH, "FD_ISO15765_TX_DATA_LENGTH", Group::Iso15765, CAN_FIELD(iso15765_tx_data_length), kNoField, nullptr,
     Conv::Plain, Check::None, true, " FD_ISO15765_TX_DATA_LENGTH = %d", Carrier::Block, 0, false, FailLine::Ioctl, "FD_ISO15765_TX_DATA_LENGTH"},
    {HS_CAN_TERMINATION, "HS_CAN_TERMINATION", Group::CanController, CAN_FIELD(termination), kNoField, nullptr,
     Conv::Plain, Check::None, true, " HS_CAN_TERMINATION = %d", Carrier::Block, 0, false, FailLine::Block, "HS_CAN_TERMINATION"},
    {MSG_TRIGGER, "MSG_TRIGGER", Group::Option, kNoField, kNoField, &msg_trigger_flag,
     Conv::Flag, Check::None, true, "  MSG_TRIGGER", Carrier::Option0, 0, false, FailLine::Option, "MSG_TRIGGER"},
    {LAST_SEGMENT_TIMESTAMP, "LAST_SEGMENT_TIMESTAMP", Group::Option, kNoField, kNoField, &last_segment_flag,
     Conv::Flag, Check::None, true, "  LAST_SEGMENT_TIMESTAMP", Carrier::None, 0, false, FailLine::Option, "LAST_SEGMENT_TIMESTAMP"},
    {BUS_ERROR_MSGS, "BUS_ERROR_MSGS", Group::Option, kNoField, kNoField, &bus_error_msgs_flag,
     Conv::Flag, Check::None, true, "  BUS_ERROR_MSGS", Carrier::Option7, kOption7BusErrors, false, FailLine::Option, "BUS_ERROR_MSGS"},
    {INTERFRAME_DELAY, "INTERFRAME_DELAY", Group::CanController, CAN_FIELD(interframe_delay), kNoField, nullptr,
     Conv::Plain, Check::None, true, " INTERFRAME_DELAY = %d", Carrier::Block, 0, false, FailLine::Ioctl, "INTERFRAME_DELAY"},
    {AUTOMATIC_SUSPEND, "AUTOMATIC_SUSPEND", Group::Option, kNoField, kNoField, &automatic_suspend_flag,
     Conv::Flag, Check::None, true, "  AUTOMATIC_SUSPEND", Carrier::Option7, kOption7NoAutoSuspend, true, FailLine::Option, "AUTOMATIC_SUSPEND"},
};
// clang-format on
#undef CAN_FIELD
#undef ISO_FIELD

const ConfigParam *find_param(uint32_t id)
{
    for (const ConfigParam &p : kParams) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

bool accepts(Group group, const ChannelInfo *u)
{
    switch (group) {
    case Group::Rate: return u != nullptr;
    case Group::CanController: return u != nullptr && u->can_setup != nullptr;
    case Group::Iso15765: return u != nullptr && u->kind == ChannelKind::Iso15765;
    case Group::KLine: return u != nullptr && u->iso_setup != nullptr;
    case Group::Pins: return u != nullptr && u->second_controller;
    case Group::Option: return true;
    }
    return false;
}

// The field a block parameter has on this unit, and where it lies.
uint8_t *field_ptr(const ConfigParam &p, const ChannelInfo &u, Field &f)
{
    if (u.iso_setup != nullptr) {
        f = p.iso;
        return reinterpret_cast<uint8_t *>(u.iso_setup) + f.offset;
    }
    f = p.can;
    return reinterpret_cast<uint8_t *>(u.can_setup) + f.offset;
}

uint32_t load_field(const ConfigParam &p, const ChannelInfo &u)
{
    Field f;
    const uint8_t *at = field_ptr(p, u, f);
    switch (f.width) {
    case 1: return *at;
    case 2: {
        uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    default: return 0;
    }
}

// Stores the low bits of `value` that the field holds.
void store_field(const ConfigParam &p, const ChannelInfo &u, uint32_t value)
{
    Field f;
    uint8_t *at = field_ptr(p, u, f);
    switch (f.width) {
    case 1: *at = static_cast<uint8_t>(value); break;
    case 2: {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(at, &v, sizeof v);
        break;
    }
    case 4: std::memcpy(at, &value, sizeof value); break;
    default: break;
    }
}

uint32_t api_to_field(Conv conv, uint32_t value)
{
#ifndef TENQ_OLD_API
    if (conv == Conv::HalfMs)
        return static_cast<uint16_t>(value) >> 1;
#else
    (void)conv;
#endif
    return value;
}

uint32_t field_to_api(Conv conv, uint32_t value)
{
#ifndef TENQ_OLD_API
    if (conv == Conv::HalfMs)
        return value * 2;
#else
    (void)conv;
#endif
    return value;
}

uint32_t get_value(const ConfigParam &p, const ChannelInfo *u)
{
    switch (p.conv) {
    case Conv::Zero: return 0;
    case Conv::Flag:
    case Conv::NonZeroFlag: return *p.flag == 1 ? 1 : 0;
    case Conv::Plain:
    case Conv::HalfMs: return field_to_api(p.conv, load_field(p, *u));
    }
    return 0;
}

int32_t send_block(const ConfigParam &p, const ChannelInfo &u)
{
    const uint8_t device = p.group == Group::Iso15765 ? u.device : u.unit;
    return u.iso_setup != nullptr ? SendSetupBlock(device, *u.iso_setup)
                                  : SendSetupBlock(device, *u.can_setup);
}

int32_t send_change(const ConfigParam &p, const ChannelInfo *u)
{
    switch (p.carrier) {
    case Carrier::None: return STATUS_NOERROR;
    case Carrier::Block: return send_block(p, *u);
    case Carrier::Option0: {
        const uint8_t flags = (loopback_flag == 1 ? kOptionLoopback : 0) |
                              (msg_trigger_flag == 1 ? kOptionMsgTrigger : 0);
        return JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_OPTIONS, flags, 0, nullptr, 0);
    }
    case Carrier::Option7: {
        const bool on = *p.flag == 1;
        const uint8_t flags = on != p.option7_when_off ? p.option7_bit : 0;
        return JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_OPTIONS7, flags, 0, nullptr, 0);
    }
    }
    return STATUS_NOERROR;
}

void report_send_failure(const ConfigParam &p, const ChannelInfo *u)
{
    switch (p.fail) {
    case FailLine::Block:
        DbgPrintf(DBG_ERROR, "Cannot set %s %s", u->unit_name, p.fail_name);
        break;
    case FailLine::Ioctl: DbgPrintf(DBG_ERROR, "PassThruIoctl(%s) failed", p.fail_name); break;
    case FailLine::Option: DbgPrintf(DBG_ERROR, "Cannot set/clear %s option", p.fail_name); break;
    }
}

bool list_usable(const SCONFIG_LIST *list)
{
    if (list == nullptr || (list->NumOfParams != 0 && list->ConfigPtr == nullptr)) {
        DbgMsg(DBG_ERROR, kIoctlNullParameter);
        return false;
    }
    return true;
}

int32_t channel_refused(const ConfigParam &p)
{
    DbgPrintf(DBG_ERROR, "Invalid channel ID for %s", p.name);
    return ERR_INVALID_CHANNEL_ID;
}

}  // namespace

int32_t IoctlGetConfig(uint32_t ChannelID, SCONFIG_LIST *list)
{
    DbgMsg(DBG_API, "  GET_CONFIG");
    if (!list_usable(list))
        return ERR_NULL_PARAMETER;
    const ChannelInfo *unit = FindChannel(ChannelID);
    for (uint32_t i = 0; i < list->NumOfParams; ++i) {
        SCONFIG &item = list->ConfigPtr[i];
        const ConfigParam *p = find_param(item.Parameter);
        if (p == nullptr || !p->gettable) {
            DbgPrintf(DBG_ERROR, "Requested Ioctl parameter (%ld) not supported",
                      LdArg(item.Parameter));
            return ERR_NOT_SUPPORTED;
        }
        DbgPrintf(DBG_API, "  %s", p->name);
        if (!accepts(p->group, unit))
            return channel_refused(*p);
        item.Value = get_value(*p, unit);
    }
    return STATUS_NOERROR;
}

int32_t IoctlSetConfig(uint32_t ChannelID, const SCONFIG_LIST *list)
{
    DbgMsg(DBG_API, "  SET_CONFIG");
    if (!list_usable(list))
        return ERR_NULL_PARAMETER;
    const ChannelInfo *unit = FindChannel(ChannelID);
    for (uint32_t i = 0; i < list->NumOfParams; ++i) {
        const SCONFIG &item = list->ConfigPtr[i];
        const uint32_t value = item.Value;
        const ConfigParam *p = find_param(item.Parameter);
        if (p == nullptr) {
            DbgPrintf(DBG_ERROR, "Requested Ioctl parameter (%ld) value (%ld) not supported",
                      LdArg(item.Parameter), LdArg(value));
            return ERR_NOT_SUPPORTED;
        }
        if (p->set_line != nullptr)
            DbgPrintf(DBG_API, p->set_line, static_cast<int>(value));
        if (p->check == Check::NonZeroRate && value == 0) {
            DbgMsg(DBG_ERROR, "Invalid DATA_RATE");
            continue;
        }
        if (!accepts(p->group, unit))
            return channel_refused(*p);
        switch (p->check) {
        case Check::NotBelowNominal:
            if (value < unit->can_setup->baud_rate) {
                DbgMsg(DBG_ERROR, "Invalid FD_CAN_DATA_PHASE_RATE");
                continue;
            }
            break;
        case Check::J1962Pins:
            if (static_cast<uint16_t>(value) != kJ1962KLinePins) {
                DbgMsg(DBG_ERROR, "Invalid pins for J1962_PINS");
                return ERR_PIN_INVALID;
            }
            continue;  // the adapter has no other pins to switch to
        case Check::FiveBaudMod:
            if (value != 0)
                return ERR_NOT_SUPPORTED;
            continue;
        case Check::None:
        case Check::NonZeroRate: break;
        }
        switch (p->conv) {
        case Conv::Flag: *p->flag = value == 1 ? 1 : 0; break;
        case Conv::NonZeroFlag: *p->flag = value != 0 ? 1 : 0; break;
        case Conv::Plain:
        case Conv::HalfMs: store_field(*p, *unit, api_to_field(p->conv, value)); break;
        case Conv::Zero: break;
        }
        if (send_change(*p, unit) != STATUS_NOERROR)
            report_send_failure(*p, unit);
    }
    return STATUS_NOERROR;
}

}  // namespace tenq
