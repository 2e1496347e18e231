/*
 * registry_options.h - the options of the library's own registry entry:
 * the first of sub-keys 0 to 31 of HKLM\Software\PassThruSupport.04.04 whose
 * "Name" is one of the adapter's device names.
 */
#pragma once

#include <cstdint>

namespace tenq {

// 1 when the value "Debug" exists in the entry.
uint32_t AllowDebug();

// 1 when the value "SuppressPopups" exists in the entry.
uint32_t SuppressPopups();

// The IOT number of the value "IOT", 0 when there is none.
uint32_t CheckIOTNumInRegistry();

}  // namespace tenq
