/*
 * dbg_arg.h - how the debug lines show a 32-bit argument with "%ld": as the
 * signed 32-bit number, so that both word sizes print the same text (long is
 * 64 bits wide in the 64-bit library).
 */
#pragma once

#include <cstdint>

namespace tenq {

inline long LdArg(uint32_t value)
{
    return static_cast<long>(static_cast<int32_t>(value));
}

}  // namespace tenq
