// device_search.cpp - the lazy device search behind every entry point:
// JmsgCheckConnection probes the COM ports for the adapter.
// Owns: hCommPort, CommPortNum, the user-specified numbers, SerialNumber,
// the pop-up flags.
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

int32_t hCommPort = -1;
uint32_t CommPortNum = 0;
uint32_t UserSpecifiedCommPort = 0;
uint32_t UserSpecifiedIOTNum = 0;
uint32_t SerialNumber = 0;
uint32_t fSuppressPopups = 0;
uint32_t fNotDetectedPopup = 0;

namespace {

constexpr uint8_t kVersionSizeShort = 2;
constexpr uint8_t kVersionSizeLong = 4;
constexpr uint8_t kSerialMinSize = 12;  // the serial number lies in data bytes 8 to 11

void close_port()
{
    Port().close(&hCommPort);
    hCommPort = -1;
}

// One probe of the search: true when the adapter answered on `port`, which
// then stays open.
bool probe_port(uint32_t port)
{
    CommPortNum = port;
    com_buf_len = 0;
    if (Port().open(&hCommPort, port, kAdapterBaud, 8, 1, 0) != 0) {
        close_port();
        return false;
    }
    DbgPrintf(DBG_DIAG, "Looking for Orvane on COM%d port", static_cast<int>(port));
    // Stop whatever the adapter was doing and drop what it had queued, so
    // the probe starts on a frame boundary.
    JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_STOP, JMSG_TYPE_PLAIN, 0, 0, nullptr, 0);
    platform::sleep_ms(kProbeSettleMs);
    Port().ioctl(&hCommPort, COM_IOCTL_PURGE, nullptr, nullptr);
    platform::sleep_ms(kProbePurgeMs);
    MarkResponseWaiting();
    if (JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION, 0, 0, nullptr, 0) != 0) {
        close_port();
        return false;
    }
    platform::sleep_ms(kProbeSettleMs);
    JmsgReceiveMsgs();
    if (ResponseIs(JMSG_DEV_READ, JMSG_TYPE_VERSION) &&
        (TENQResponse.size == kVersionSizeShort || TENQResponse.size == kVersionSizeLong))
        return true;
    close_port();
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

}  // namespace

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
    hCommPort = -1;
    CommPortNum = 0;
    return ERR_DEVICE_NOT_CONNECTED;
}

bool DeviceIdValid(uint32_t DeviceID)
{
    return DeviceID == CommPortNum || DeviceID == UserSpecifiedIOTNum;
}

}  // namespace tenq
