// guarded_call.cpp - the error line of an exception stopped at the library's
// edge.  Writes LastError through DbgMsg, nothing else.
#include "passthru/guarded_call.h"

#include <exception>

#include "j2534.h"
#include "passthru/debug.h"

namespace tenq {

int32_t FailedByException(const char *call) noexcept
{
    try {
        throw;
    } catch (const std::exception &e) {
        DbgPrintf(DBG_ERROR, "%s: %s", call, e.what());
    } catch (...) {
        DbgPrintf(DBG_ERROR, "%s: unknown exception", call);
    }
    return ERR_FAILED;
}

}  // namespace tenq
