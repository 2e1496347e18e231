// device_open.cpp - PassThruOpen and PassThruClose, the device's J2534
// entry points, and VerifyTENQBuild.  Writes the user-specified numbers;
// clears ChannelStatus at close.
#include <cstdlib>
#include <cstring>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/entry_check.h"
#include "passthru/link/link.h"

namespace tenq {

namespace {

uint32_t parse_number(const char *text)
{
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

// Takes the port or IOT number a device name gives; other names change
// nothing.  Returns the text the call's line shows.
const char *take_device_name(const char *name)
{
    if (name == nullptr)
        return nullptr;
    if (std::strncmp(name, "COM", 3) == 0) {
        UserSpecifiedCommPort = parse_number(name + 3);
    } else if (std::strncmp(name, "IOT:", 4) == 0) {
        const char *number = name + 4;
        while (*number == '0')
            ++number;
        UserSpecifiedIOTNum = parse_number(number);
        return number;
    } else if (std::strncmp(name, "J2534-2:", 8) == 0) {
        UserSpecifiedCommPort = parse_number(name + 8);
    }
    return name;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruOpen(const void *pName, uint32_t *pDeviceID)
{
    constexpr EntryCheck kEntry{.call = "PassThruOpen",
                                .null_parameter = "PassThruOpen null pointer to device ID"};
    if (int32_t rc = CheckRecords(kEntry, pDeviceID != nullptr); rc != STATUS_NOERROR)
        return rc;
    const char *shown = take_device_name(static_cast<const char *>(pName));
    if (int32_t rc = CheckAdapter(kEntry); rc != STATUS_NOERROR) {
        *pDeviceID = 0;
        return rc;
    }
    if (shown != nullptr)
        DbgPrintf(DBG_API, "PassThruOpen(%s)", shown);
    else
        DbgMsg(DBG_API, "PassThruOpen");
    *pDeviceID = UserSpecifiedIOTNum != 0 ? UserSpecifiedIOTNum : CommPortNum;
    return STATUS_NOERROR;
}

extern "C" int32_t PassThruClose(uint32_t /*DeviceID*/)
{
    if (int32_t rc = CheckAdapter({"PassThruClose"}); rc != STATUS_NOERROR)
        return rc;
    DbgMsg(DBG_API, "PassThruClose()");
    Port().close(&hCommPort);
    hCommPort = -1;
    CommPortNum = 0;
    ChannelStatus = 0;
    return STATUS_NOERROR;
}

extern "C" int32_t VerifyTENQBuild(void)
{
    return STATUS_NOERROR;
}
