// security_relay.cpp - PassThruSecurity: hands a seed/key request to the
// adapter and returns the key it computed.  The library holds no key, seed
// or algorithm of its own.  Touches the memory reply slot, through which the
// adapter answers.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/services/mem_reply.h"

namespace tenq {

namespace {

int32_t relay(uint8_t Level, const uint8_t *pFixed, const uint8_t *pSeed, uint8_t *pKey)
{
    SECURITY_DATA request;
    std::memset(&request, 0, sizeof request);
    request.level = Level;
    std::memcpy(request.fixed, pFixed, sizeof request.fixed);
    std::memcpy(request.seed, pSeed, sizeof request.seed);
    if (MemRequestCmd(JMSG_SECURITY, JMSG_DEV_READ, 0, sizeof request, &request, "PassThruSecurity",
                      "PassThruSecurity: Error") != STATUS_NOERROR)
        return ERR_FAILED;
    // A short reply would hand out bytes of an earlier reply as the key.
    if (MemSize < sizeof request.key) {
        DbgPrintf(DBG_ERROR, "PassThruSecurity: reply of %u bytes, %u expected",
                  static_cast<unsigned>(MemSize), static_cast<unsigned>(sizeof request.key));
        return ERR_FAILED;
    }
    std::memcpy(pKey, MemData, sizeof request.key);
    return STATUS_NOERROR;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruSecurity(uint8_t Level, const uint8_t *pFixed, const uint8_t *pSeed,
                                    uint8_t *pKey)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruSecurity"},
                                    pFixed != nullptr && pSeed != nullptr && pKey != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruSecurity(%ld, ...)", static_cast<long>(Level));
        return relay(Level, pFixed, pSeed, pKey);
    });
}
