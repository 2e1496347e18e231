// device_open.cpp - PassThruOpen and PassThruClose, the device's J2534
// entry points, and VerifyTENQBuild.  No state of its own.
#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"

using namespace tenq;

extern "C" int32_t PassThruOpen(const void *pName, uint32_t *pDeviceID)
{
    return Guarded(__func__, [&] {
        constexpr EntryCheck kEntry{.call = "PassThruOpen",
                                    .null_parameter = "PassThruOpen null pointer to device ID"};
        if (int32_t rc = CheckRecords(kEntry, pDeviceID != nullptr); rc != STATUS_NOERROR)
            return rc;
        const char *shown = TakeDeviceName(static_cast<const char *>(pName));
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
    });
}

extern "C" int32_t PassThruClose(uint32_t /*DeviceID*/)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckAdapter({"PassThruClose"}); rc != STATUS_NOERROR)
            return rc;
        DbgMsg(DBG_API, "PassThruClose()");
        JmsgForgetPort();
        ForgetChannels();
        return STATUS_NOERROR;
    });
}

extern "C" int32_t VerifyTENQBuild(void)
{
    return STATUS_NOERROR;
}
