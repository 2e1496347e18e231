// device_info.cpp - GET_DEVICE_INFO and GET_PROTOCOL_INFO: fixed tables of
// what the adapter offers, answered without adapter traffic.
// Reads: SerialNumber.
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/filter_table.h"
#include "passthru/ioctl/ioctl.h"
#include "passthru/link/jmsg.h"
#include "passthru/periodic_msgs.h"

namespace tenq {

namespace {

struct InfoEntry {
    uint32_t parameter;
    uint32_t value;
    const uint32_t *source;  // read at answer time instead of `value`
    const char *line;        // GET_DEVICE_INFO line; the protocol table writes none
};

// The support words are the values applications have always read from this
// adapter; they are not derived from anything the library knows.
// clang-format off
const InfoEntry kDeviceInfo[] = {
    {SERIAL_NUMBER, 0, &SerialNumber, "  SERIAL_NUMBER"},
    // The K-line lines have always said ISO1941; log readers match on them.
    {ISO9141_SUPPORTED, 0x10001, nullptr, "  ISO1941_SUPPORTED"},
    {ISO14230_SUPPORTED, 0x10001, nullptr, "  ISO1941_SUPPORTED"},
    {CAN_SUPPORTED, 0x20001, nullptr, "  CAN_SUPPORTED"},
    {ISO15765_SUPPORTED, 0x20001, nullptr, "  CAN_SUPPORTED"},
    {ANALOG_IN_SUPPORTED, 0x20000, nullptr, "  ANALOG_IN_SUPPORTED"},
    {ISO9141_SIMULTANEOUS, 0x10001, nullptr, "  ISO1941_SIMULTANEOUS"},
    {ISO14230_SIMULTANEOUS, 0x10001, nullptr, "  ISO1941_SIMULTANEOUS"},
    {CAN_SIMULTANEOUS, 0x20001, nullptr, "  CAN_SIMULTANEOUS"},
    {ISO15765_SIMULTANEOUS, 0x20001, nullptr, "  CAN_SIMULTANEOUS"},
    {ANALOG_IN_SIMULTANEOUS, 0x20000, nullptr, "  ANALOG_IN_SIMULTANEOUS"},
    {PART_NUMBER, 2003, nullptr, "  PART_NUMBER"},
    {FD_CAN_SUPPORTED, 0x20000, nullptr, "  FD_CAN_SUPPORTED"},
    {FD_ISO15765_SUPPORTED, 0x20000, nullptr, "  FD_CAN_SUPPORTED"},
    {FD_CAN_SIMULTANEOUS, 0x20000, nullptr, "  FD_CAN_SIMULTANEOUS"},
    {FD_ISO15765_SIMULTANEOUS, 0x20000, nullptr, "  FD_CAN_SIMULTANEOUS"},
};

// The limits of the filter and periodic tables and of the analogue inputs.
const InfoEntry kProtocolInfo[] = {
    {MAX_PASS_FILTER, kFilterSlots, nullptr, nullptr},
    {MAX_FILTER_MSG_LENGTH, kJmsgMaxData, nullptr, nullptr},
    {MAX_PERIODIC_MSGS, kPeriodicSlots, nullptr, nullptr},
    {MAX_PERIODIC_MSG_LENGTH, kJmsgMaxData, nullptr, nullptr},
    {CAN_11_29_IDS_SUPPORTED, 1, nullptr, nullptr},
    {CAN_MIXED_FORMAT_SUPPORTED, 1, nullptr, nullptr},
    {MAX_FLOW_CONTROL_FILTER, kFilterSlots, nullptr, nullptr},
    {MAX_AD_ACTIVE_CHANNELS, 2, nullptr, nullptr},
    {MAX_AD_SAMPLE_RATE, 1000, nullptr, nullptr},
    {MAX_AD_SAMPLES_PER_READING, 1, nullptr, nullptr},
    {AD_SAMPLE_RESOLUTION, 12, nullptr, nullptr},
    {AD_INPUT_RANGE_LOW, 0, nullptr, nullptr},
    {AD_INPUT_RANGE_HIGH, 20000, nullptr, nullptr},
    {TIMESTAMP_RESOLUTION, 1, nullptr, nullptr},
};
// clang-format on

template <size_t N> const InfoEntry *find(const InfoEntry (&table)[N], uint32_t parameter)
{
    for (const InfoEntry &e : table) {
        if (e.parameter == parameter)
            return &e;
    }
    return nullptr;
}

// Answers the list in order and stops at the first parameter it does not
// know; the items after it are left as they were.
template <size_t N> int32_t answer(const InfoEntry (&table)[N], SPARAM_LIST *list)
{
    if (list == nullptr || (list->NumOfParams != 0 && list->ParamPtr == nullptr)) {
        DbgMsg(DBG_ERROR, kIoctlNullParameter);
        return ERR_NULL_PARAMETER;
    }
    for (uint32_t i = 0; i < list->NumOfParams; ++i) {
        SPARAM &item = list->ParamPtr[i];
        item.Supported = 1;
        const InfoEntry *e = find(table, item.Parameter);
        if (e == nullptr) {
            item.Supported = 0;
            DbgPrintf(DBG_ERROR, "Requested Ioctl parameter (%ld) not supported",
                      LdArg(item.Parameter));
            return ERR_NOT_SUPPORTED;
        }
        if (e->line != nullptr)
            DbgMsg(DBG_API, e->line);
        item.Value = e->source != nullptr ? *e->source : e->value;
    }
    return STATUS_NOERROR;
}

}  // namespace

int32_t IoctlGetDeviceInfo(SPARAM_LIST *list)
{
    DbgMsg(DBG_API, "  GET_DEVICE_INFO");
    return answer(kDeviceInfo, list);
}

int32_t IoctlGetProtocolInfo(SPARAM_LIST *list)
{
    DbgMsg(DBG_API, "  GET_PROTOCOL_INFO");
    return answer(kProtocolInfo, list);
}

}  // namespace tenq
