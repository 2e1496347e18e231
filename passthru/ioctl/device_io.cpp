// device_io.cpp - the adapter's own inputs and outputs: analogue reads,
// digital reads and writes, and the display test.
// Touches: the reply slots AdcReadings and DioReadings.
#include <cstring>

#include "passthru/debug.h"
#include "passthru/ioctl/ioctl.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/link.h"

namespace tenq {

namespace {

// The reply slots cannot tell these readings from "no reply yet": the
// adapter never reports them.
constexpr uint16_t kAdcWaiting = 0xFFFF;
constexpr uint8_t kDioWaiting = 0xFF;
constexpr uint32_t kMillivoltsPerAdcUnit = 10;

// The display test frame: command byte 2, two zero bytes, then the text.
constexpr uint8_t kLcdTextCommand = 2;
constexpr char kLcdTestText[] = "IOT Test";
constexpr uint8_t kLcdTestFrameSize = 19;

// Asks the adapter for input `input` of `dev` and waits until `landed()`
// sees the reading in its reply slot; `what` names the device in the texts.
template <typename Landed>
int32_t request_reading(uint8_t dev, uint8_t input, const char *what, Landed landed)
{
    const int32_t rc = JmsgSendCmd(dev, JMSG_DEV_READ, JMSG_TYPE_PLAIN, 0, 1, &input, 0);
    if (rc != 0) {
        DbgPrintf(DBG_ERROR, "PassThruIoctl: %s read JmsgSendCmd returned %ld", what,
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    if (!JmsgWaitReply(landed)) {
        DbgPrintf(DBG_ERROR, "PassThruIoctl %s read timeout", what);
        return ERR_TIMEOUT;
    }
    return STATUS_NOERROR;
}

}  // namespace

int32_t IoctlReadAnalog(const char *name, uint8_t input, uint32_t *pValue)
{
    DbgMsg(DBG_API, name);
    if (pValue == nullptr) {
        DbgMsg(DBG_ERROR, kIoctlNullParameter);
        return ERR_NULL_PARAMETER;
    }
    AdcReadings[input] = kAdcWaiting;
    if (int32_t rc = request_reading(JMSG_ADC, input, "ADC",
                                     [input] { return AdcReadings[input] < kAdcWaiting; });
        rc != STATUS_NOERROR)
        return rc;
    *pValue = uint32_t{AdcReadings[input]} * kMillivoltsPerAdcUnit;
    return STATUS_NOERROR;
}

int32_t IoctlReadDigital(const char *name, uint8_t input, uint32_t *pValue)
{
    DbgMsg(DBG_API, name);
    if (pValue == nullptr) {
        DbgMsg(DBG_ERROR, kIoctlNullParameter);
        return ERR_NULL_PARAMETER;
    }
    DioReadings[input] = kDioWaiting;
    if (int32_t rc = request_reading(JMSG_DIO, input, "DIO",
                                     [input] { return DioReadings[input] < kDioWaiting; });
        rc != STATUS_NOERROR)
        return rc;
    *pValue = DioReadings[input];
    return STATUS_NOERROR;
}

int32_t IoctlWriteDigital(const char *name, uint8_t output, const uint32_t *pValue)
{
    DbgMsg(DBG_API, name);
    if (pValue == nullptr) {
        DbgMsg(DBG_ERROR, kIoctlNullParameter);
        return ERR_NULL_PARAMETER;
    }
    const uint8_t data[2] = {output, static_cast<uint8_t>(*pValue)};
    const int32_t rc =
        JmsgSendCmd(JMSG_DIO, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, 0, sizeof data, data, 0);
    if (rc != 0) {
        DbgPrintf(DBG_ERROR, "PassThruIoctl: DIO write JmsgSendCmd returned %ld",
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

int32_t IoctlWriteLcdTest()
{
    JMSG msg;
    std::memset(&msg, 0, sizeof msg);
    msg.size = kLcdTestFrameSize;
    msg.dev = JMSG_LCD;
    msg.op = JMSG_DEV_WRITE;
    msg.type = JMSG_TYPE_PLAIN;
    msg.data[0] = kLcdTextCommand;
    std::memcpy(msg.data + 3, kLcdTestText, sizeof kLcdTestText);  // with its terminator
    const int32_t rc = JmsgSendMsgs(&msg, 1, 0);
    if (rc != 0) {
        DbgPrintf(DBG_ERROR, "PassThruIoctl: LCD write JmsgSendMsgs returned %ld",
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

}  // namespace tenq
