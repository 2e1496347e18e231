// adapter_clock.cpp - PassThruReadRTC and PassThruWriteRTC: the adapter's
// real-time clock.  Touches TENQResponse.
#include "passthru/services/adapter_clock.h"

#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/link.h"

namespace tenq {

void RtcToWire(const RTC_DAY_TIME &rtc, uint8_t *out)
{
    put_le32(out, static_cast<uint32_t>(rtc.jdn));
    put_le16(out + 4, rtc.year);
    out[6] = rtc.month;
    out[7] = rtc.day;
    out[8] = rtc.hour;
    out[9] = rtc.min;
    out[10] = rtc.sec;
    out[11] = rtc.pad;
}

void RtcFromWire(const uint8_t *in, RTC_DAY_TIME &rtc)
{
    rtc.jdn = static_cast<int32_t>(get_le32(in));
    rtc.year = get_le16(in + 4);
    rtc.month = in[6];
    rtc.day = in[7];
    rtc.hour = in[8];
    rtc.min = in[9];
    rtc.sec = in[10];
    rtc.pad = in[11];
}

namespace {

int32_t read_rtc(RTC_DAY_TIME *pRTC)
{
    MarkResponseWaiting();
    const int32_t rc = JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_RTC, 0, 0, nullptr, 0);
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruReadRTC: JmsgSendCmd returned %ld", static_cast<long>(rc));
        return ERR_FAILED;
    }
    if (!JmsgWaitReply([] { return ResponseIs(JMSG_DEV_READ, JMSG_TYPE_RTC); })) {
        DbgMsg(DBG_ERROR, "PassThruReadRTC: No response");
        return ERR_FAILED;
    }
    // A short reply would hand out bytes of whatever reply came before it.
    if (TENQResponse.size < kRtcWireSize) {
        DbgPrintf(DBG_ERROR, "PassThruReadRTC: reply of %u bytes, %u expected",
                  static_cast<unsigned>(TENQResponse.size), static_cast<unsigned>(kRtcWireSize));
        return ERR_FAILED;
    }
    RtcFromWire(TENQResponse.data, *pRTC);
    return STATUS_NOERROR;
}

int32_t write_rtc(const RTC_DAY_TIME *pRTC)
{
    uint8_t wire[kRtcWireSize];
    RtcToWire(*pRTC, wire);
    MarkResponseWaiting();
    const int32_t rc =
        JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_WRITE, JMSG_TYPE_RTC, 0, sizeof wire, wire, 0);
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruWriteRTC: JmsgSendCmd returned %ld", static_cast<long>(rc));
        return ERR_FAILED;
    }
    // Setting the clock takes the adapter longer than its other requests.
    if (!JmsgWaitReply([] { return ResponseIs(JMSG_DEV_WRITE, JMSG_TYPE_RTC); },
                       kClockWriteLimitMs)) {
        DbgMsg(DBG_ERROR, "PassThruWriteRTC: No response");
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruReadRTC(RTC_DAY_TIME *pRTC)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruReadRTC"}, pRTC != nullptr); rc != STATUS_NOERROR)
            return rc;
        DbgMsg(DBG_API, "PassThruReadRTC(pRTC)");
        return read_rtc(pRTC);
    });
}

extern "C" int32_t PassThruWriteRTC(const RTC_DAY_TIME *pRTC)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruWriteRTC"}, pRTC != nullptr); rc != STATUS_NOERROR)
            return rc;
        DbgMsg(DBG_API, "PassThruWriteRTC(pRTC)");
        return write_rtc(pRTC);
    });
}
