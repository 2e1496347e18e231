// device_open.cpp - PassThruOpen and PassThruClose, the device's J2534
// entry points, and VerifyTENQBuild.  Writes the user-specified numbers;
// clears ChannelStatus at close.
#include <cstdlib>
#include <cstring>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/link/link.h"

namespace tenq {

namespace {

uint32_t parse_number(const char *text)
{
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruOpen(const void *pName, uint32_t *pDeviceID)
{
    if (pDeviceID == nullptr) {
        DbgMsg(DBG_ERROR, "PassThruOpen null pointer to device ID");
        return ERR_NULL_PARAMETER;
    }
    const char *name = static_cast<const char *>(pName);
    const char *shown = name;
    if (name != nullptr) {
        if (std::strncmp(name, "COM", 3) == 0) {
            UserSpecifiedCommPort = parse_number(name + 3);
        } else if (std::strncmp(name, "IOT:", 4) == 0) {
            shown = name + 4;
            while (*shown == '0')
                ++shown;
            UserSpecifiedIOTNum = parse_number(shown);
        } else if (std::strncmp(name, "J2534-2:", 8) == 0) {
            UserSpecifiedCommPort = parse_number(name + 8);
        }
    }
    if (JmsgCheckConnection() != 0) {
        *pDeviceID = 0;
        DbgMsg(DBG_ERROR, "PassThruOpen device not connected");
        return ERR_DEVICE_NOT_CONNECTED;
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
    if (JmsgCheckConnection() != 0) {
        DbgMsg(DBG_ERROR, "PassThruClose device not connected");
        return ERR_DEVICE_NOT_CONNECTED;
    }
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
