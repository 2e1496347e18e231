// error_text.cpp - PassThruGetLastError.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"

using namespace tenq;

namespace {
// J2534 applications pass 80-character buffers; the library's texts can be
// longer, so they are cut to what every caller can hold.
constexpr size_t kCallerErrorText = 80;
}  // namespace

extern "C" int32_t PassThruGetLastError(char *pErrorDescription)
{
    if (pErrorDescription == nullptr) {
        DbgMsg(DBG_ERROR, "PassThruGetLastError null parameter");
        return ERR_NULL_PARAMETER;
    }
    size_t len = std::strlen(LastError);
    if (len > kCallerErrorText - 1)
        len = kCallerErrorText - 1;
    std::memcpy(pErrorDescription, LastError, len);
    pErrorDescription[len] = '\0';
    return STATUS_NOERROR;
}
