// last_error.cpp - PassThruGetLastError, and PassThruGetPointer: the two
// services that never talk to the adapter.  Reads LastError only.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"

using namespace tenq;

namespace {
// J2534 applications pass 80-character buffers; the library's texts can be
// longer, so they are cut to what every caller can hold.
constexpr size_t kCallerErrorText = 80;
}  // namespace

extern "C" int32_t PassThruGetLastError(char *pErrorDescription)
{
    return Guarded(__func__, [&] {
        // Never touches the adapter: the records are all there is to check.
        if (int32_t rc = CheckRecords({"PassThruGetLastError"}, pErrorDescription != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        size_t len = std::strlen(LastError);
        if (len > kCallerErrorText - 1)
            len = kCallerErrorText - 1;
        std::memcpy(pErrorDescription, LastError, len);
        pErrorDescription[len] = '\0';
        return STATUS_NOERROR;
    });
}

// Hands its argument back unchanged: a host language without pointers that
// passes a variable by reference gets the variable's address as a number.
extern "C" int32_t PassThruGetPointer(int32_t vb_pointer)
{
    return vb_pointer;
}
