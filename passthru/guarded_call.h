/*
 * guarded_call.h - keeping C++ exceptions inside the library.
 *
 * The callers of the exported functions are C programs and programs in
 * other languages: an exception that left the library would end them.  Each
 * exported call that returns a status runs its body through Guarded, which
 * turns an exception that gets that far (in practice std::bad_alloc) into
 * ERR_FAILED and an 'E' line "<call>: <what>".
 */
#pragma once

#include <cxxabi.h>

#include <cstdint>

namespace tenq {

// For use inside a catch block only: the 'E' line for the exception being
// handled; returns ERR_FAILED.
int32_t FailedByException(const char *call) noexcept;

template <class Body> int32_t Guarded(const char *call, Body &&body)
{
    try {
        return body();
    } catch (abi::__forced_unwind &) {
        throw;  // a cancelled thread unwinds to its end; stopping it there aborts
    } catch (...) {
        return FailedByException(call);
    }
}

}  // namespace tenq
