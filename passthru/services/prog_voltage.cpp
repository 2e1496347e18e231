// prog_voltage.cpp - PassThruSetProgrammingVoltage: the adapter's
// programmable output on pin 13.  Owns no state; the adapter keeps the value.
#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/link.h"
#include "platform/ticks.h"

using namespace tenq;

namespace {

constexpr uint32_t kHighestPin = 16;       // J1962 connector pins
constexpr uint32_t kProgrammingPin = 13;   // the only pin the adapter drives
constexpr uint32_t kMaxMillivolts = 5000;  // the output's ceiling
constexpr uint32_t kSettleMs = 500;        // the output needs this to reach its level
constexpr uint32_t kDacSetupSize = sizeof(DAC_SETUP);

// Checks the connection, logs the call, then checks the pin before the
// voltage; on success the value to send is in `millivolts`.
int32_t check_arguments(uint32_t PinNumber, uint32_t Voltage, uint16_t &millivolts)
{
    if (int32_t rc = CheckAdapter({"PassThruSetProgrammingVoltage"}); rc != STATUS_NOERROR)
        return rc;
    DbgPrintf(DBG_API, "PassThruSetProgrammingVoltage(%ld, %ld)", LdArg(PinNumber), LdArg(Voltage));
    if (PinNumber > kHighestPin) {
        DbgMsg(DBG_ERROR, "PassThruSetProgrammingVoltage invalid pin number");
        return ERR_PIN_INVALID;
    }
    if (PinNumber != kProgrammingPin) {
        DbgMsg(DBG_ERROR, "PassThruSetProgrammingVoltage pin number not supported");
        return ERR_NOT_SUPPORTED;
    }
    // Both specials switch the output off; the adapter cannot short it to ground.
    if (Voltage == SHORT_TO_GROUND || Voltage == VOLTAGE_OFF) {
        millivolts = 0;
        return STATUS_NOERROR;
    }
    if (Voltage > kMaxMillivolts) {
        DbgMsg(DBG_ERROR, "PassThruSetProgrammingVoltage voltage exceeded limit");
        return ERR_EXCEEDED_LIMIT;
    }
    millivolts = static_cast<uint16_t>(Voltage);
    return STATUS_NOERROR;
}

int32_t set_voltage(uint32_t PinNumber, uint16_t millivolts)
{
    // DAC_SETUP as it lies in memory: voltage LSB first, pin, a zero filler.
    uint8_t block[kDacSetupSize] = {};
    put_le16(block, millivolts);
    block[2] = static_cast<uint8_t>(PinNumber);
    const int32_t rc =
        JmsgSendCmd(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, 0, kDacSetupSize, block, 0);
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruSetProgrammingVoltage: JmsgSendCmd returned %ld",
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    platform::sleep_ms(kSettleMs);
    return STATUS_NOERROR;
}

}  // namespace

#ifdef TENQ_OLD_API
extern "C" int32_t PassThruSetProgrammingVoltage(uint32_t PinNumber, uint32_t Voltage)
{
    return Guarded(__func__, [&] {
        uint16_t millivolts = 0;
        if (int32_t rc = check_arguments(PinNumber, Voltage, millivolts); rc != STATUS_NOERROR)
            return rc;
        return set_voltage(PinNumber, millivolts);
    });
}
#else
extern "C" int32_t PassThruSetProgrammingVoltage(uint32_t DeviceID, uint32_t PinNumber,
                                                 uint32_t Voltage)
{
    return Guarded(__func__, [&] {
        uint16_t millivolts = 0;
        if (int32_t rc = check_arguments(PinNumber, Voltage, millivolts); rc != STATUS_NOERROR)
            return rc;
        if (!DeviceIdValid(DeviceID))
            return ERR_INVALID_DEVICE_ID;
        return set_voltage(PinNumber, millivolts);
    });
}
#endif
