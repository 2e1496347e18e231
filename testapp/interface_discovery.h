/*
 * interface_discovery.h - the J2534 interfaces registered on this machine.
 *
 * Reads the sub-keys of Software\PassThruSupport.04.04 under
 * HKEY_LOCAL_MACHINE through the registry layer.  Qt-free; the form shows
 * the result.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// At most this many interfaces are listed.
constexpr uint32_t kMaxInterfaces = 32;
// Size of the buffers the values are read into, terminator included.
constexpr uint32_t kInterfaceTextSize = 256;

struct InterfaceEntry {
    std::string name;     // "Name"
    std::string library;  // "FunctionLibrary"
    std::string vendor;   // "Vendor"
};

struct Discovery {
    enum Failure { kNone, kSoftwareKey, kPassThruKey } failure = kNone;
    int32_t error = 0;  // registry error number of the failed open
    std::vector<InterfaceEntry> interfaces;
};

Discovery discover_interfaces();

// The list-box line of an interface: vendor, four blanks, name, five blanks,
// the library in parentheses.
std::string interface_line(const InterfaceEntry &entry);
