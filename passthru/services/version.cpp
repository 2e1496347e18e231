// version.cpp - PassThruReadVersion and the version query it shares with
// the write barrier.  Reads TENQResponse; owns no state.
#include "passthru/services/version.h"

#include <cstdio>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"

namespace tenq {

namespace {

constexpr uint8_t kVersionSizeShort = 2;  // major and minor; longer replies carry four numbers

// The firmware text from the reply: "MM.mm" from two bytes, else four
// numbers in the order the firmware stores them (bytes 2, 3, 0, 1).
void format_firmware(const JMSG &reply, char *out)
{
    const uint8_t *d = reply.data;
    if (reply.size == kVersionSizeShort)
        std::snprintf(out, kVersionTextSize, "%02d.%02d", d[0], d[1]);
    else
        std::snprintf(out, kVersionTextSize, "%d.%d.%d.%d", d[2], d[3], d[0], d[1]);
}

int32_t read_version(char *pFirmwareVersion, char *pDllVersion, char *pApiVersion)
{
    DbgMsg(DBG_API, "PassThruReadVersion(pFW, pDLL, pAPI)");
    const int32_t rc = SendVersionQuery();
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruReadVersion: JmsgSendCmd returned %ld",
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    if (!WaitVersionReply()) {
        DbgMsg(DBG_ERROR, "PassThruReadVersion: No response");
        return ERR_FAILED;
    }
    format_firmware(TENQResponse, pFirmwareVersion);
    std::snprintf(pDllVersion, kVersionTextSize, "%02d.%02d", kDllVersionMajor, kDllVersionMinor);
    std::snprintf(pApiVersion, kVersionTextSize, "%s", kApiVersion);
    return STATUS_NOERROR;
}

}  // namespace

int32_t SendVersionQuery()
{
    MarkResponseWaiting();
    return JmsgSendCmd(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION, 0, 0, nullptr, 100);
}

bool WaitVersionReply()
{
    return JmsgWaitReply([] { return ResponseIs(JMSG_DEV_READ, JMSG_TYPE_VERSION); });
}

}  // namespace tenq

using namespace tenq;

namespace {

int32_t check_buffers(const char *pFirmwareVersion, const char *pDllVersion,
                      const char *pApiVersion)
{
    return CheckEntry({"PassThruReadVersion"}, pFirmwareVersion != nullptr &&
                                                   pDllVersion != nullptr &&
                                                   pApiVersion != nullptr);
}

}  // namespace

#ifdef TENQ_OLD_API
extern "C" int32_t PassThruReadVersion(char *pFirmwareVersion, char *pDllVersion, char *pApiVersion)
{
    return Guarded(__func__, [&] {
        const int32_t rc = check_buffers(pFirmwareVersion, pDllVersion, pApiVersion);
        if (rc != STATUS_NOERROR)
            return rc;
        return read_version(pFirmwareVersion, pDllVersion, pApiVersion);
    });
}
#else
extern "C" int32_t PassThruReadVersion(uint32_t DeviceID, char *pFirmwareVersion, char *pDllVersion,
                                       char *pApiVersion)
{
    return Guarded(__func__, [&] {
        const int32_t rc = check_buffers(pFirmwareVersion, pDllVersion, pApiVersion);
        if (rc != STATUS_NOERROR)
            return rc;
        if (!DeviceIdValid(DeviceID))
            return ERR_INVALID_DEVICE_ID;
        return read_version(pFirmwareVersion, pDllVersion, pApiVersion);
    });
}
#endif
