// device_search.cpp - the lazy device search behind every entry point:
// JmsgCheckConnection probes the COM ports for the adapter.
// Owns: the user-specified numbers, SerialNumber, the pop-up flags.  Opens
// and closes the port through the device link.
#include "passthru/device_search.h"

#include <cstdlib>
#include <cstring>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/link.h"
#include "passthru/registry_options.h"
#include "platform/message_box.h"
#include "platform/ticks.h"

namespace tenq {

uint32_t UserSpecifiedCommPort = 0;
uint32_t UserSpecifiedIOTNum = 0;
uint32_t SerialNumber = 0;
uint32_t fSuppressPopups = 0;
uint32_t fNotDetectedPopup = 0;

namespace {

constexpr uint8_t kVersionSizeShort = 2;
constexpr uint8_t kVersionSizeLong = 4;
constexpr uint8_t kSerialMinSize = 12;  // the serial number lies in data bytes 8 to 11

// One probe of the search: true when the adapter answered on `port`, which
// then stays open.
bool probe_port(uint32_t port)
{
    if (!JmsgOpenPort(port))
        return false;
    DbgPrintf(DBG_DIAG, "Looking for Orvane on COM%d port", static_cast<int>(port));
    // Stop whatever the adapter was doing and drop what it had queued, so
    // the probe starts on a frame boundary.
    JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_STOP, JMSG_TYPE_PLAIN, 0, 0, nullptr, 0);
    platform::sleep_ms(kProbeSettleMs);
    Port().ioctl(&hCommPort, COM_IOCTL_PURGE, nullptr, nullptr);
    platform::sleep_ms(kProbePurgeMs);
    MarkResponseWaiting();
    if (JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION, 0, 0, nullptr, 0) != 0) {
        JmsgClosePort();
        return false;
    }
    platform::sleep_ms(kProbeSettleMs);
    JmsgReceiveMsgs();
    if (ResponseIs(JMSG_DEV_READ, JMSG_TYPE_VERSION) &&
        (TENQResponse.size == kVersionSizeShort || TENQResponse.size == kVersionSizeLong))
        return true;
    JmsgClosePort();
    return false;
}

void read_serial_number()
{
    if (JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_DEVICE_INFO, 0, 0, nullptr, 0) != 0)
        return;
    platform::sleep_ms(kProbeSettleMs);
    JmsgReceiveMsgs();
    if (ResponseIs(JMSG_DEV_READ, JMSG_TYPE_DEVICE_INFO) && TENQResponse.size >= kSerialMinSize)
        SerialNumber = get_be32(&TENQResponse.data[8]);
}

bool search()
{
    // A stale number would file one adapter's data under another's.
    SerialNumber = 0;
    uint32_t first = UserSpecifiedCommPort != 0 ? UserSpecifiedCommPort : kSearchTopPort;
    uint32_t last = UserSpecifiedCommPort != 0 ? UserSpecifiedCommPort : 1;
    for (uint32_t port = first; port >= last && port != 0; --port) {
        if (probe_port(port)) {
            read_serial_number();
            return true;
        }
    }
    return false;
}

uint32_t parse_number(const char *text)
{
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace

const char *TakeDeviceName(const char *name)
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

int32_t JmsgCheckConnection()
{
    if (hCommPort != -1)
        return STATUS_NOERROR;
    fSuppressPopups = SuppressPopups();
    if (AllowDebug())
        OpenDebugChannel();
    if (UserSpecifiedIOTNum == 0)
        UserSpecifiedIOTNum = CheckIOTNumInRegistry();
    if (CommPortNum != 0)
        return STATUS_NOERROR;  // a remembered port is reopened by the next frame sent
    if (UserSpecifiedIOTNum == 0 && search())
        return STATUS_NOERROR;
    if (fNotDetectedPopup == 0 && fSuppressPopups == 0) {
        platform::message_box("Orvane not detected", "ERROR");
        fNotDetectedPopup = 1;
    }
    JmsgForgetPort();
    return ERR_DEVICE_NOT_CONNECTED;
}

bool DeviceIdValid(uint32_t DeviceID)
{
    return DeviceID == CommPortNum || DeviceID == UserSpecifiedIOTNum;
}

}  // namespace tenq
