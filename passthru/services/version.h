/*
 * version.h - the adapter's version query, which also serves as the
 * completion barrier of a blocking write: the adapter answers it only after
 * it has handled every frame sent before it.
 */
#pragma once

#include <cstdint>

namespace tenq {

// Version texts of the library itself.
constexpr int kDllVersionMajor = 2;
constexpr int kDllVersionMinor = 6;
#ifdef TENQ_OLD_API
constexpr const char *kApiVersion = "02.02";
#else
constexpr const char *kApiVersion = "04.04";
#endif

// J2534 callers pass text buffers of 80 characters; nothing longer is written.
constexpr uint32_t kVersionTextSize = 80;

// Marks TENQResponse as waiting and sends the version query.  The link's
// result: 0 or ERR_FAILED.
int32_t SendVersionQuery();

// Polls the adapter until the version reply is in TENQResponse (true) or
// the reply limit has passed (false).
bool WaitVersionReply();

}  // namespace tenq
