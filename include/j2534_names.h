/*
 * j2534_names.h - the names of the J2534 identifiers, for debug lines and
 * for the test application's lists and read-outs.
 *
 * One constant table, grouped by kind of identifier.  Each entry is built
 * from the macro of j2534.h by one helper macro, so the number comes from
 * j2534.h and the name is the macro's own spelling: the two cannot drift
 * apart.  A number means different things in different kinds (0x10000 is
 * READ_CH1_VOLTAGE and MSG_TRIGGER), so every look-up takes the kind.
 * Header-only and constexpr; no state, no allocation.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "j2534.h"

enum class IdKind : uint8_t {
    Status,        // result of every call
    Protocol,      // ProtocolID
    ConnectFlag,   // Flags of PassThruConnect
    TxFlag,        // TxFlags
    RxStatus,      // RxStatus bits
    Ioctl,         // IoctlID
    ConfigParam,   // SCONFIG.Parameter
    DeviceInfo,    // SPARAM.Parameter of GET_DEVICE_INFO
    ProtocolInfo,  // SPARAM.Parameter of GET_PROTOCOL_INFO
    FilterType,    // FilterType of PassThruStartMsgFilter
    ProgVoltage,   // special Voltage values of PassThruSetProgrammingVoltage
};

struct IdName {
    IdKind kind;
    uint32_t value;
    const char *name;
};

// No cast on `id`: a macro whose value did not fit 32 unsigned bits would be
// a narrowing error here rather than a silently wrong number.
#define J2534_ID_NAME(kind, id)                                                                    \
    IdName                                                                                         \
    {                                                                                              \
        IdKind::kind, id, #id                                                                      \
    }

inline constexpr IdName kJ2534Ids[] = {
    J2534_ID_NAME(Status, STATUS_NOERROR),
    J2534_ID_NAME(Status, ERR_NOT_SUPPORTED),
    J2534_ID_NAME(Status, ERR_INVALID_CHANNEL_ID),
    J2534_ID_NAME(Status, ERR_INVALID_PROTOCOL_ID),
    J2534_ID_NAME(Status, ERR_NULL_PARAMETER),
    J2534_ID_NAME(Status, ERR_INVALID_IOCTL_VALUE),
    J2534_ID_NAME(Status, ERR_INVALID_FLAGS),
    J2534_ID_NAME(Status, ERR_FAILED),
    J2534_ID_NAME(Status, ERR_DEVICE_NOT_CONNECTED),
    J2534_ID_NAME(Status, ERR_TIMEOUT),
    J2534_ID_NAME(Status, ERR_INVALID_MSG),
    J2534_ID_NAME(Status, ERR_INVALID_TIME_INTERVAL),
    J2534_ID_NAME(Status, ERR_EXCEEDED_LIMIT),
    J2534_ID_NAME(Status, ERR_INVALID_MSG_ID),
    J2534_ID_NAME(Status, ERR_DEVICE_IN_USE),
    J2534_ID_NAME(Status, ERR_INVALID_IOCTL_ID),
    J2534_ID_NAME(Status, ERR_BUFFER_EMPTY),
    J2534_ID_NAME(Status, ERR_BUFFER_FULL),
    J2534_ID_NAME(Status, ERR_BUFFER_OVERFLOW),
    J2534_ID_NAME(Status, ERR_PIN_INVALID),
    J2534_ID_NAME(Status, ERR_CHANNEL_IN_USE),
    J2534_ID_NAME(Status, ERR_MSG_PROTOCOL_ID),
    J2534_ID_NAME(Status, ERR_INVALID_FILTER_ID),
    J2534_ID_NAME(Status, ERR_NO_FLOW_CONTROL),
    J2534_ID_NAME(Status, ERR_NOT_UNIQUE),
    J2534_ID_NAME(Status, ERR_INVALID_BAUDRATE),
    J2534_ID_NAME(Status, ERR_INVALID_DEVICE_ID),

    // SPCAN and SPISO15765 stay listed although the library refuses them:
    // the test application offers them.
    J2534_ID_NAME(Protocol, J1850VPW),
    J2534_ID_NAME(Protocol, J1850PWM),
    J2534_ID_NAME(Protocol, ISO9141),
    J2534_ID_NAME(Protocol, ISO14230),
    J2534_ID_NAME(Protocol, CAN),
    J2534_ID_NAME(Protocol, ISO15765),
    J2534_ID_NAME(Protocol, SCI_A_ENGINE),
    J2534_ID_NAME(Protocol, SCI_A_TRANS),
    J2534_ID_NAME(Protocol, SCI_B_ENGINE),
    J2534_ID_NAME(Protocol, SCI_B_TRANS),
    J2534_ID_NAME(Protocol, MSCAN),
    J2534_ID_NAME(Protocol, MSISO15765),
    J2534_ID_NAME(Protocol, SPCAN),
    J2534_ID_NAME(Protocol, SPISO15765),
    J2534_ID_NAME(Protocol, CAN_PS),
    J2534_ID_NAME(Protocol, ISO15765_PS),
    J2534_ID_NAME(Protocol, CAN_CH1),
    J2534_ID_NAME(Protocol, CAN_CH2),
    J2534_ID_NAME(Protocol, ISO15765_CH1),
    J2534_ID_NAME(Protocol, ISO15765_CH2),
    J2534_ID_NAME(Protocol, FD_CAN_CH1),
    J2534_ID_NAME(Protocol, FD_CAN_CH2),
    J2534_ID_NAME(Protocol, FD_ISO15765_CH1),
    J2534_ID_NAME(Protocol, FD_ISO15765_CH2),

    J2534_ID_NAME(ConnectFlag, CAN_29BIT_ID),
    J2534_ID_NAME(ConnectFlag, ISO9141_NO_CHECKSUM),
    J2534_ID_NAME(ConnectFlag, ISO14230_P3_MIN),
    J2534_ID_NAME(ConnectFlag, CAN_ID_BOTH),
    J2534_ID_NAME(ConnectFlag, ISO9141_K_LINE_ONLY),
    J2534_ID_NAME(ConnectFlag, CAN_PASSIVE),
    J2534_ID_NAME(ConnectFlag, ISO9141_FORD),
    J2534_ID_NAME(ConnectFlag, MSCAN_SELECT),

    J2534_ID_NAME(TxFlag, ISO15765_FRAME_PAD),
    J2534_ID_NAME(TxFlag, ISO15765_ADDR_TYPE),
    J2534_ID_NAME(TxFlag, CAN_29BIT_ID),
    J2534_ID_NAME(TxFlag, CAN_FD_BRS),
    J2534_ID_NAME(TxFlag, CAN_FD_FRAME),
    J2534_ID_NAME(TxFlag, BLOCKING_WRITE),
    J2534_ID_NAME(TxFlag, FD_TX_LENGTH_IN_MSG),
    J2534_ID_NAME(TxFlag, ISO9141_NO_L_LINE_TX),

    J2534_ID_NAME(RxStatus, TX_MSG_TYPE),
    J2534_ID_NAME(RxStatus, START_OF_MESSAGE),
    J2534_ID_NAME(RxStatus, ISO15765_PADDING_ERROR),
    J2534_ID_NAME(RxStatus, CAN_29BIT_ID),
    J2534_ID_NAME(RxStatus, CAN_FD_BRS),
    J2534_ID_NAME(RxStatus, CAN_FD_FRAME),
    J2534_ID_NAME(RxStatus, BUS_ERROR_FRAME),

    J2534_ID_NAME(Ioctl, GET_CONFIG),
    J2534_ID_NAME(Ioctl, SET_CONFIG),
    J2534_ID_NAME(Ioctl, READ_VBATT),
    J2534_ID_NAME(Ioctl, FIVE_BAUD_INIT),
    J2534_ID_NAME(Ioctl, FAST_INIT),
    J2534_ID_NAME(Ioctl, CLEAR_TX_BUFFER),
    J2534_ID_NAME(Ioctl, CLEAR_RX_BUFFER),
    J2534_ID_NAME(Ioctl, CLEAR_PERIODIC_MSGS),
    J2534_ID_NAME(Ioctl, CLEAR_MSG_FILTERS),
    J2534_ID_NAME(Ioctl, CLEAR_FUNCT_MSG_LOOKUP_TABLE),
    J2534_ID_NAME(Ioctl, ADD_TO_FUNCT_MSG_LOOKUP_TABLE),
    J2534_ID_NAME(Ioctl, DELETE_FROM_FUNCT_MSG_LOOKUP_TABLE),
    J2534_ID_NAME(Ioctl, READ_PROG_VOLTAGE),
    J2534_ID_NAME(Ioctl, GET_DEVICE_INFO),
    J2534_ID_NAME(Ioctl, GET_PROTOCOL_INFO),
    J2534_ID_NAME(Ioctl, READ_CH1_VOLTAGE),
    J2534_ID_NAME(Ioctl, READ_CH2_VOLTAGE),
    J2534_ID_NAME(Ioctl, READ_CH3_VOLTAGE),
    J2534_ID_NAME(Ioctl, READ_CH4_VOLTAGE),
    J2534_ID_NAME(Ioctl, READ_CH5_VOLTAGE),
    J2534_ID_NAME(Ioctl, WRITE_LCD_TEST),
    J2534_ID_NAME(Ioctl, READ_CH7_VOLTAGE),
    J2534_ID_NAME(Ioctl, READ_CH8_VOLTAGE),
    J2534_ID_NAME(Ioctl, RESET_TIMER),
    J2534_ID_NAME(Ioctl, TIMESTAMP_MSEC),
    J2534_ID_NAME(Ioctl, TIMESTAMP_USEC),
    J2534_ID_NAME(Ioctl, CAN_D2_FLOW_CONTROL),
    J2534_ID_NAME(Ioctl, READ_DIO1),
    J2534_ID_NAME(Ioctl, READ_DIO2),
    J2534_ID_NAME(Ioctl, WRITE_DIO1),
    J2534_ID_NAME(Ioctl, WRITE_DIO2),
    J2534_ID_NAME(Ioctl, RESERVED_10500),
    J2534_ID_NAME(Ioctl, RESERVED_10501),

    J2534_ID_NAME(ConfigParam, DATA_RATE),
    J2534_ID_NAME(ConfigParam, LOOPBACK),
    J2534_ID_NAME(ConfigParam, NODE_ADDRESS),
    J2534_ID_NAME(ConfigParam, NETWORK_LINE),
    J2534_ID_NAME(ConfigParam, P1_MIN),
    J2534_ID_NAME(ConfigParam, P1_MAX),
    J2534_ID_NAME(ConfigParam, P2_MIN),
    J2534_ID_NAME(ConfigParam, P2_MAX),
    J2534_ID_NAME(ConfigParam, P3_MIN),
    J2534_ID_NAME(ConfigParam, P3_MAX),
    J2534_ID_NAME(ConfigParam, P4_MIN),
    J2534_ID_NAME(ConfigParam, P4_MAX),
    J2534_ID_NAME(ConfigParam, W1),
    J2534_ID_NAME(ConfigParam, W2),
    J2534_ID_NAME(ConfigParam, W3),
    J2534_ID_NAME(ConfigParam, W4),
    J2534_ID_NAME(ConfigParam, W5),
    J2534_ID_NAME(ConfigParam, TIDLE),
    J2534_ID_NAME(ConfigParam, TINIL),
    J2534_ID_NAME(ConfigParam, TWUP),
    J2534_ID_NAME(ConfigParam, PARITY),
    J2534_ID_NAME(ConfigParam, BIT_SAMPLE_POINT),
    J2534_ID_NAME(ConfigParam, SYNC_JUMP_WIDTH),
    J2534_ID_NAME(ConfigParam, W0),
    J2534_ID_NAME(ConfigParam, T1_MAX),
    J2534_ID_NAME(ConfigParam, T2_MAX),
    J2534_ID_NAME(ConfigParam, T4_MAX),
    J2534_ID_NAME(ConfigParam, T5_MAX),
    J2534_ID_NAME(ConfigParam, ISO15765_BS),
    J2534_ID_NAME(ConfigParam, ISO15765_STMIN),
    J2534_ID_NAME(ConfigParam, DATA_BITS),
    J2534_ID_NAME(ConfigParam, FIVE_BAUD_MOD),
    J2534_ID_NAME(ConfigParam, BS_TX),
    J2534_ID_NAME(ConfigParam, STMIN_TX),
    J2534_ID_NAME(ConfigParam, T3_MAX),
    J2534_ID_NAME(ConfigParam, ISO15765_WFT_MAX),
    J2534_ID_NAME(ConfigParam, ISO15765_PAD_VALUE),
    J2534_ID_NAME(ConfigParam, CAN_MIXED_FORMAT),
    J2534_ID_NAME(ConfigParam, J1962_PINS),
    J2534_ID_NAME(ConfigParam, FD_CAN_DATA_PHASE_RATE),
    J2534_ID_NAME(ConfigParam, FD_ISO15765_TX_DATA_LENGTH),
    J2534_ID_NAME(ConfigParam, HS_CAN_TERMINATION),
    J2534_ID_NAME(ConfigParam, MSG_TRIGGER),
    J2534_ID_NAME(ConfigParam, LAST_SEGMENT_TIMESTAMP),
    J2534_ID_NAME(ConfigParam, BUS_ERROR_MSGS),
    J2534_ID_NAME(ConfigParam, INTERFRAME_DELAY),
    J2534_ID_NAME(ConfigParam, AUTOMATIC_SUSPEND),

    J2534_ID_NAME(DeviceInfo, SERIAL_NUMBER),
    J2534_ID_NAME(DeviceInfo, ISO9141_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, ISO14230_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, CAN_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, ISO15765_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, ANALOG_IN_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, ISO9141_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, ISO14230_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, CAN_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, ISO15765_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, ANALOG_IN_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, PART_NUMBER),
    J2534_ID_NAME(DeviceInfo, FD_CAN_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, FD_ISO15765_SUPPORTED),
    J2534_ID_NAME(DeviceInfo, FD_CAN_SIMULTANEOUS),
    J2534_ID_NAME(DeviceInfo, FD_ISO15765_SIMULTANEOUS),

    J2534_ID_NAME(ProtocolInfo, MAX_PASS_FILTER),
    J2534_ID_NAME(ProtocolInfo, MAX_FILTER_MSG_LENGTH),
    J2534_ID_NAME(ProtocolInfo, MAX_PERIODIC_MSGS),
    J2534_ID_NAME(ProtocolInfo, MAX_PERIODIC_MSG_LENGTH),
    J2534_ID_NAME(ProtocolInfo, CAN_11_29_IDS_SUPPORTED),
    J2534_ID_NAME(ProtocolInfo, CAN_MIXED_FORMAT_SUPPORTED),
    J2534_ID_NAME(ProtocolInfo, MAX_FLOW_CONTROL_FILTER),
    J2534_ID_NAME(ProtocolInfo, MAX_AD_ACTIVE_CHANNELS),
    J2534_ID_NAME(ProtocolInfo, MAX_AD_SAMPLE_RATE),
    J2534_ID_NAME(ProtocolInfo, MAX_AD_SAMPLES_PER_READING),
    J2534_ID_NAME(ProtocolInfo, AD_SAMPLE_RESOLUTION),
    J2534_ID_NAME(ProtocolInfo, AD_INPUT_RANGE_LOW),
    J2534_ID_NAME(ProtocolInfo, AD_INPUT_RANGE_HIGH),
    J2534_ID_NAME(ProtocolInfo, TIMESTAMP_RESOLUTION),

    J2534_ID_NAME(FilterType, PASS_FILTER),
    J2534_ID_NAME(FilterType, BLOCK_FILTER),
    J2534_ID_NAME(FilterType, FLOW_CONTROL_FILTER),

    J2534_ID_NAME(ProgVoltage, SHORT_TO_GROUND),
    J2534_ID_NAME(ProgVoltage, VOLTAGE_OFF),
};

#undef J2534_ID_NAME

// Name of `value` among the identifiers of `kind`; nullptr when it has none.
constexpr const char *j2534_name(IdKind kind, uint32_t value)
{
    for (const IdName &id : kJ2534Ids)
        if (id.kind == kind && id.value == value)
            return id.name;
    return nullptr;
}

// Value of the identifier of `kind` spelt exactly `name` (case counts).
constexpr std::optional<uint32_t> j2534_value(IdKind kind, std::string_view name)
{
    for (const IdName &id : kJ2534Ids)
        if (id.kind == kind && name == id.name)
            return id.value;
    return std::nullopt;
}
